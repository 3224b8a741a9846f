#pragma once
// vqdemo --analyze: the bass level range(2, 3) of the track, per timeline section, measured with
// the piece's own spectrum code at 60 frames per second of music time. Runs in the data folder.
// Returns the exit status.
#include "app/platform/Timeline.h"

#include <string>
#include <vector>

struct PcmTrack;

// Figures of one timeline section.
struct BassSectionStats
{
    std::string name;
    double start = 0.0; // seconds, inclusive
    double end = 0.0;   // seconds, exclusive (the last section ends with the track)
    int frames = 0;     // analysis frames in the section
    float mean = 0.0f;
    float p95 = 0.0f; // nearest-rank 95th percentile
    float max = 0.0f;
    double shareAbove = 0.0; // share of frames above 0.6 (the dance floor's flash level)
    int jumps = 0;           // frames above 2.0 more than 400 ms after the previous jump (the vortex camera)
    int rises = 0;           // times the level crosses 0.6 upwards (separate floor flashes)
};

constexpr double kAnalysisFps = 60.0;
using timeline::kFlashLevel;
using timeline::kJumpLevel;
constexpr double kJumpGapSeconds = timeline::kJumpGapMs / 1000.0;

// range(2, 3) at t = i / 60 s for every i with t below the track's length, each from the spectrum
// of the 1024 frames ending at frame round(t * 44100).
std::vector<float> BassLevels(const PcmTrack& track);
// The four timeline sections: intro 0..50.8 s, vortex 50.8..80.8 s, dance 80.8..123 s, ending from 123 s.
std::vector<BassSectionStats> AnalyzeBassSections(const PcmTrack& track);
// The same from levels already computed by BassLevels (the track length bounds the last section).
std::vector<BassSectionStats> AnalyzeBassSections(const std::vector<float>& levels, double trackSeconds);

int RunAnalyze();
