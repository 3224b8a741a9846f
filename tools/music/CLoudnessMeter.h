#pragma once
// Integrated loudness after ITU-R BS.1770 (LUFS): K-weighting (high shelf + low cut), mean square
// of 400 ms blocks overlapping by 75 %, an absolute gate at -70 LUFS and a relative gate 10 LU
// below the loudness of the blocks that passed it. Both channels weigh 1.0.
#include "music/StereoBuffer.h"

class CLoudnessMeter
{
public:
    // Returns -inf (as -200) when every block is below the absolute gate.
    static double Integrated(const StereoBuffer& buf, double rate);
    // Gain of the K-weighting filters at f Hz (for checking them).
    static double WeightingGain(double f, double rate);
};
