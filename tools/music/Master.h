#pragma once
// Mastering: bring the mix to the target integrated loudness, then keep every sample under the
// ceiling with a look-ahead peak limiter (the limiter's small loudness loss is made up by
// iterating the gain).
#include "music/StereoBuffer.h"

struct MasterReport
{
    double mixLufs = 0.0;        // before mastering
    double gainDb = 0.0;         // make-up gain applied before the limiter
    double finalLufs = 0.0;      // after limiting
    double peak = 0.0;           // largest absolute sample after limiting
    long long limitedFrames = 0; // frames the limiter turned down by more than 0.01 dB
    double maxReductionDb = 0.0;
};

// Look-ahead limiter: gain reaches its target before the peak arrives (no overshoot), recovers
// with `release` seconds. Returns the number of frames turned down by more than 0.01 dB; the
// smallest gain applied goes to *deepestGain when given.
long long LimitPeaks(StereoBuffer& buf, double ceiling, double lookahead, double release, double rate,
                     double* deepestGain = nullptr);

MasterReport MasterTrack(StereoBuffer& buf, double targetLufs, double ceiling, double rate);
