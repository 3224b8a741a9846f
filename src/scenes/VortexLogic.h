#pragma once
// The vortex scene's rules without GL: the ring's profile and quads, the logo grid, the beat jump,
// the per-frame motions of "interp" and "spos", the rings' flight and respawn, and the credit
// flashes. CVortex emits what these compute; tests check them without a context.
#include "app/platform/Timeline.h"
#include "math/svect3f.h"

#include <cstdint>
#include <vector>

namespace vortex
{
constexpr int kRingSlots = 30; // room in the scene; only the first kRingsUsed fly
constexpr int kRingsUsed = 5;
constexpr int kProfileSteps = 12; // points around the ring's profile
constexpr int kRingSegments = 11; // the ring is open: 11 of the 12 steps, 330 degrees
constexpr float kInnerRadius = 12.0f, kOuterRadius = 14.0f, kRingDepth = -6.0f;
constexpr float kRingSpeed = 60.0f;                // units per second towards the viewer
constexpr float kRingRestart = -120.0f;            // depth a ring starts again from once it passed the viewer
constexpr float kJumpLevel = timeline::kJumpLevel; // bass level a beat must exceed to move the camera
constexpr std::uint32_t kJumpGapMs =
    timeline::kJumpGapMs; // at least this long (strictly more) between two jumps
constexpr float kLogoStep = 0.01f;

// One flying ring (the scene's ring_t), as it was when its flight began at music time `since`.
struct Ring
{
    svect3f pos;        // position; z runs from far away towards 0
    float angle = 0.0f; // turn about the view axis, degrees
    float speed = 0.0f; // turn rate, degrees per second
    double since = 0.0; // seconds of music time
};

// The profile: for step s, [s][0] at depth 0 and [s][1] at depth -6. The angle step is 6.28 / 12
// (the ring's own constant, a little short of a full turn), sine and cosine in double precision.
void RingProfile(svect3f inner[kProfileSteps][2], svect3f outer[kProfileSteps][2]);

struct Quad
{
    svect3f corner[4];
};
// The ring list's quads in drawing order: per segment the inner wall, the outer wall and the
// front face, then the two end caps (step 11, then step 0). 11 x 3 + 2 = 35 quads.
std::vector<Quad> RingQuads(const svect3f inner[kProfileSteps][2], const svect3f outer[kProfileSteps][2]);

// Lower-left corners of the logo grid's cells in list order (u outer, v inner). The loops run in
// single precision "while < 1.0" in steps of 0.01; the rounding leaves the sum after 100 steps
// just below 1, so each loop runs 101 times: 101 x 101 cells reaching 1.01.
struct Cell
{
    float u, v;
};
std::vector<Cell> LogoGridCells();

// The beat jump: a level strictly above 2.0 and strictly more than 400 ms since the last jump.
bool BeatJumpDue(float level, std::uint32_t now, std::uint32_t lastJump);
// The new sway phase from one draw of the piece's generator: 0 to 62.7 in steps of 0.1.
float JumpPhase(int draw);

// "spos" components (one step a tick): moved by step in their direction, then clamped to [0, 1], turning
// round at each end (falling = true means moving down).
void StepClamped(float& value, bool& falling, float step);
// "interp": moved by step, turning round once past 0 or 1 but never clamped, so it overshoots
// by up to one step.
void StepBouncing(float& value, bool& falling, float step);

// Where a ring is at music time t: kRingSpeed units a second nearer than at `since`, turned by its
// rate, so the flight is smooth at any frame rate.
svect3f RingPosition(const Ring& ring, double t);
float RingAngle(const Ring& ring, double t);
// A tick's test: a ring whose depth at t has passed 0 starts again at -120 at t, with four draws
// in this order: angle, x, y, turn rate. Returns true when it started again.
bool RespawnRing(Ring& ring, double t, int (*draw)());

// The credit cards come in after beat jumps, one at a time, code first, then graphics, taking turns.
struct CreditFlash
{
    int card = -1;           // 0 = code, 1 = graphics, -1 = none yet
    std::uint32_t start = 0; // music milliseconds when the card comes in
    int shown = 0;           // cards started so far
};
constexpr std::uint32_t kCreditMs = 1400;    // a card's whole life on screen
constexpr std::uint32_t kCreditGapMs = 4000; // from one card's start to the earliest next one
// Half a beat: a card comes in on the off-beat after the jump, between two kicks, so the flash of
// the kick does not hide its first moment.
constexpr std::uint32_t kCreditDelayMs =
    static_cast<std::uint32_t>(30000.0 / timeline::kBpm); // 234 ms at 128 beats a minute
// A jump at `now` brings in the next card half a beat later, unless the last one came in less than
// kCreditGapMs before (the names should not flicker). True when it did.
bool CreditOnJump(CreditFlash& flash, std::uint32_t now);
// Opacity of the card at `now`: full as it comes in, held, then fading; 0 outside its life.
float CreditAlpha(const CreditFlash& flash, std::uint32_t now);
} // namespace vortex
