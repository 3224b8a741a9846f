#pragma once
// The recorded camera flight of the landscape ("vq_accumcam.chlf"): a slow approach over the sea,
// a pass along the forest, a turn around the castle and a rise to an overview of the island, with
// the picture fading in from black at the start and out to white into the cut at 50.8 s.
//
// The player interpolates linearly between nodes and only strictly between two node times, so
// the flight is a smooth spline sampled densely, with its first node before 0 ms and its last
// after the cut, and every frame of the scene finds a pair.
#include "IslandTerrain.h"
#include "formats/HlfFormats.h"

#include <vector>

namespace landscape
{
// Node times are 37 ms off the round tenths: a frame whose music time equals a node time matches
// no pair and keeps the previous camera, and captures at the usual frame rates land on round
// tenths of a second.
constexpr int kFlightFirstMs = -163;
constexpr int kFlightLastMs = 51037;
constexpr int kFlightStepMs = 100;
constexpr int kSceneEndMs = 50800;

// "fade" as the fade program reads it: 0 black, 1 the picture as it is, 2 white.
float FlightFade(double ms);

struct FlightKey
{
    double ms;
    double eye[3];
    double center[3];
};
// The flight's key positions, in time order.
const std::vector<FlightKey>& FlightKeys();

// Eye and look-at point at a music time (ms), by a smooth spline through the keys.
void FlightAt(double ms, double eye[3], double center[3]);

std::vector<hlf::ChlfNode> BuildCameraFlight();
} // namespace landscape
