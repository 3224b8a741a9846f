#include "scenes/VortexLogic.h"

#include <cmath>

namespace vortex
{
void RingProfile(svect3f inner[kProfileSteps][2], svect3f outer[kProfileSteps][2])
{
    for (int s = 0; s < kProfileSteps; ++s)
    {
        const float theta = (static_cast<float>(s) / kProfileSteps) * 6.28f;
        const double c = std::cos(static_cast<double>(theta)), sn = std::sin(static_cast<double>(theta));
        for (int d = 0; d < 2; ++d)
        {
            const float z = d == 0 ? 0.0f : kRingDepth;
            inner[s][d] =
                svect3f(static_cast<float>(kInnerRadius * c), static_cast<float>(kInnerRadius * sn), z);
            outer[s][d] =
                svect3f(static_cast<float>(kOuterRadius * c), static_cast<float>(kOuterRadius * sn), z);
        }
    }
}

std::vector<Quad> RingQuads(const svect3f inner[kProfileSteps][2], const svect3f outer[kProfileSteps][2])
{
    std::vector<Quad> quads;
    for (int s = 0; s < kRingSegments; ++s)
    {
        quads.push_back({{inner[s][0], inner[s][1], inner[s + 1][1], inner[s + 1][0]}});
        quads.push_back({{outer[s][0], outer[s][1], outer[s + 1][1], outer[s + 1][0]}});
        quads.push_back({{inner[s][0], outer[s][0], outer[s + 1][0], inner[s + 1][0]}});
    }
    const int last = kProfileSteps - 1;
    quads.push_back({{inner[last][0], inner[last][1], outer[last][1], outer[last][0]}});
    quads.push_back({{inner[0][0], inner[0][1], outer[0][1], outer[0][0]}});
    return quads;
}

std::vector<Cell> LogoGridCells()
{
    std::vector<Cell> cells;
    cells.reserve(101 * 101);
    // Single precision on purpose: the grid's size comes from the float sums.
    for (float u = 0.0f; u < 1.0f; u += kLogoStep)
        for (float v = 0.0f; v < 1.0f; v += kLogoStep)
            cells.push_back({u, v});
    return cells;
}

bool BeatJumpDue(float level, std::uint32_t now, std::uint32_t lastJump)
{
    return level > kJumpLevel && now - lastJump > kJumpGapMs;
}

float JumpPhase(int draw) { return static_cast<float>(draw % 628) / 10.0f; }

void StepClamped(float& value, bool& falling, float step)
{
    value += falling ? -step : step;
    if (value > 1.0f)
    {
        value = 1.0f;
        falling = true;
    }
    if (value < 0.0f)
    {
        value = 0.0f;
        falling = false;
    }
}

void StepBouncing(float& value, bool& falling, float step)
{
    value += falling ? -step : step;
    if (value > 1.0f)
        falling = true;
    if (value < 0.0f)
        falling = false;
}

svect3f RingPosition(const Ring& ring, double t)
{
    return svect3f(ring.pos.x, ring.pos.y, ring.pos.z + kRingSpeed * static_cast<float>(t - ring.since));
}

float RingAngle(const Ring& ring, double t)
{
    return ring.angle + ring.speed * static_cast<float>(t - ring.since);
}

bool RespawnRing(Ring& ring, double t, int (*draw)())
{
    if (RingPosition(ring, t).z <= 0.0f)
        return false;
    ring.since = t;
    ring.pos.z = kRingRestart;
    ring.angle = static_cast<float>(draw() % 360);
    ring.pos.x = static_cast<float>(draw() % 10) / 10.0f - 0.5f;
    ring.pos.y = static_cast<float>(draw() % 10) / 10.0f - 0.5f;
    ring.speed = static_cast<float>((draw() % 10) * 20);
    return true;
}

bool CreditOnJump(CreditFlash& flash, std::uint32_t now)
{
    if (flash.card >= 0 && now + kCreditDelayMs - flash.start < kCreditGapMs)
        return false;
    flash.card = flash.shown % 2;
    flash.start = now + kCreditDelayMs;
    ++flash.shown;
    return true;
}

float CreditAlpha(const CreditFlash& flash, std::uint32_t now)
{
    if (flash.card < 0 || now < flash.start)
        return 0.0f;
    const std::uint32_t t = now - flash.start;
    if (t >= kCreditMs)
        return 0.0f;
    // Full strength on the beat itself, held, then fading out.
    const std::uint32_t fadeFrom = kCreditMs / 2;
    if (t < fadeFrom)
        return 1.0f;
    return static_cast<float>(kCreditMs - t) / (kCreditMs - fadeFrom);
}
} // namespace vortex
