#pragma once
// Renders every track of the song, ducks the pumping tracks under the kicks and sums them with the
// delay and reverb returns into one stereo mix (before mastering).
#include "music/CSong.h"
#include "music/StereoBuffer.h"

#include <string>
#include <vector>

// Sidechain shape per frame, 0..1: jumps to 1 within a few ms of each kick and recovers over
// kPumpRelease seconds. A ducked track is scaled by 1 - depth * curve.
constexpr double kPumpRelease = 0.28;
std::vector<float> PumpCurve(const std::vector<double>& beats, std::size_t frames, double rate);

// Loudness (LUFS) of each track's dry contribution in each section, and the processor time its
// rendering took: for balancing the mix and keeping the build fast.
struct StemLevels
{
    std::string track;
    double lufs[CSong::kSectionCount];
    double cpuSeconds;
};

// With stems non-null, also measures every track per section (slower; a tuning aid).
StereoBuffer RenderMix(const CSong& song, double seconds, double rate,
                       std::vector<StemLevels>* stems = nullptr);
