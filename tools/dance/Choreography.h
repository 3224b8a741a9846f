#pragma once
// MrKalv's dance: an eight-bar routine that travels about the floor in front of the fixed camera,
// every step landing on a beat, and the AHLF key frames that sample it.
//
// The piece's animation clock counts animation frames from the dance scene's first frame:
// frame = fps x (music time - scene start). The routine is laid on the track's beat grid from
// there. Key times are frames, the first key at 0, the last at the routine's length (a repeat of
// the first, so the loop closes without a jump). Every beat and half-beat is a key, so the poses
// struck on the beat are keys, never blends; the track's remaining keys go, one by one, where a
// straight blend between the keys there are would stray furthest from the movement: the lifted
// feet, the punches, the spin.
#include "CalfRig.h"
#include "DanceCamera.h"

#include "formats/HlfFormats.h"

#include <array>
#include <vector>

namespace dance
{
// The routine's length: one eight-bar phrase, as the track's dance phrases are.
constexpr int kRoutineBeats = 32;

struct LoopPlan
{
    double framesPerBeat = 0; // animation frames per beat
    int beatsPerBar = 4;
    int beats = 0;        // loop length in beats (whole bars)
    int maxKeys = 150;    // a track's capacity
    double startBeat = 0; // beat position (on the track's grid) at animation frame 0; the
                          // routine starts on the downbeat of the bar this falls in
    double loopFrames() const { return beats * framesPerBeat; }
};

// The routine's loop on the track's grid: bpm and beatZero describe the grid, sceneStart is the
// music time of the animation clock's zero. Exits when a track of maxKeys keys cannot hold a key
// on every half-beat of it.
LoopPlan PlanLoop(double bpm, double beatZeroSeconds, int beatsPerBar, double sceneStartSeconds, int fps,
                  int maxKeys);

// Where he dances: the floor's height, and the camera he plays to.
struct Stage
{
    double floorY = -8.0;
    Vec3 camera = DanceCamera::kEye;
};

// World matrices of all parts at a beat position of the routine (beats from its first downbeat,
// taken modulo kRoutineBeats). The matrices are rigid; the models are written at his world size.
std::array<Mat4, kPartCount> PoseAt(double beat, const Stage& stage);

// Where his feet are at a beat position: the ankles in world units, and whether each sole is on
// the floor.
struct Footing
{
    Vec3 ankle[2]; // left, right
    bool down[2];
};
Footing FootingAt(double beat, const Stage& stage);

// One track per part, keys on every half-beat of the loop and the rest where they are needed.
std::array<std::vector<hlf::AhlfKey>, kPartCount> BuildTracks(const LoopPlan& plan, const Stage& stage);
} // namespace dance
