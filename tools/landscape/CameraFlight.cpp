#include "CameraFlight.h"
#include "Shaping.h"

#include <algorithm>
#include <cmath>

namespace landscape
{
namespace
{
using vqtools::smoothstep;

// Cubic Hermite through the keys with Catmull-Rom slopes for uneven key spacing: the path and
// its velocity are continuous, so the camera never jerks at a key.
void spline(const std::vector<FlightKey>& keys, double ms, bool centre, double out[3])
{
    auto value = [&](std::size_t i, int c) { return centre ? keys[i].center[c] : keys[i].eye[c]; };
    const std::size_t n = keys.size();
    if (ms <= keys.front().ms)
    {
        for (int c = 0; c < 3; ++c)
            out[c] = value(0, c);
        return;
    }
    if (ms >= keys.back().ms)
    {
        for (int c = 0; c < 3; ++c)
            out[c] = value(n - 1, c);
        return;
    }
    std::size_t i = 0;
    while (keys[i + 1].ms < ms)
        ++i;
    const double t0 = keys[i].ms, t1 = keys[i + 1].ms, h = t1 - t0;
    const double u = (ms - t0) / h;
    const double h00 = 2 * u * u * u - 3 * u * u + 1, h10 = u * u * u - 2 * u * u + u;
    const double h01 = -2 * u * u * u + 3 * u * u, h11 = u * u * u - u * u;
    for (int c = 0; c < 3; ++c)
    {
        auto slope = [&](std::size_t k)
        {
            const std::size_t a = k == 0 ? 0 : k - 1, b = std::min(n - 1, k + 1);
            return (value(b, c) - value(a, c)) / (keys[b].ms - keys[a].ms);
        };
        out[c] = h00 * value(i, c) + h10 * h * slope(i) + h01 * value(i + 1, c) + h11 * h * slope(i + 1);
    }
}
} // namespace

float FlightFade(double ms)
{
    // In from black over the first three seconds; out to white over the last four.
    const double in = smoothstep(0.0, 3000.0, ms);
    const double out = smoothstep(kSceneEndMs - 4000.0, kSceneEndMs, ms);
    return static_cast<float>(in + out);
}

const std::vector<FlightKey>& FlightKeys()
{
    // The sun stands in the south-west (-x, -z): the flight keeps to that side of what it
    // shows, so the faces it looks at are lit.
    static const std::vector<FlightKey> keys = {
        // Low over the open sea to the south-west, drifting in towards the island.
        {-1000, {-205, 15, -200}, {-40, 22, -10}},
        {6000, {-160, 14, -150}, {-40, 22, -10}},
        {12000, {-115, 17, -98}, {-45, 22, 0}},
        // Along the forested west side, northwards, looking in among the trees.
        {17000, {-96, 24, -32}, {-40, 22, 0}},
        {22000, {-92, 32, 30}, {-35, 24, 45}},
        // Rising over the north-western woods with the castle ahead.
        {26500, {-62, 52, 78}, {10, 42, 50}},
        // Round the castle from the north-west to the south-west, above the tree tops.
        {30000, {-26, 68, 72}, {26, 46, 44}},
        {33500, {-22, 72, 30}, {26, 46, 40}},
        {37000, {-8, 74, -2}, {26, 46, 40}},
        // Pulling back and up over the southern woods until the whole island lies below.
        {41000, {-20, 95, -50}, {15, 30, 30}},
        {46000, {-35, 150, -120}, {-5, 15, 0}},
        {51500, {-45, 230, -190}, {-20, 10, -20}},
    };
    return keys;
}

void FlightAt(double ms, double eye[3], double center[3])
{
    spline(FlightKeys(), ms, false, eye);
    spline(FlightKeys(), ms, true, center);
}

std::vector<hlf::ChlfNode> BuildCameraFlight()
{
    std::vector<hlf::ChlfNode> nodes;
    for (int ms = kFlightFirstMs; ms <= kFlightLastMs; ms += kFlightStepMs)
    {
        double eye[3], center[3];
        FlightAt(ms, eye, center);
        hlf::ChlfNode n;
        n.time = ms;
        n.eye = svect3f(static_cast<float>(eye[0]), static_cast<float>(eye[1]), static_cast<float>(eye[2]));
        n.center = svect3f(static_cast<float>(center[0]), static_cast<float>(center[1]),
                           static_cast<float>(center[2]));
        n.up = svect3f(0, 1, 0); // the horizon stays level
        n.fade = FlightFade(ms);
        nodes.push_back(n);
    }
    return nodes;
}
} // namespace landscape
