#pragma once
// Room reverb for the send bus: eight damped comb filters and four allpasses per channel in the
// Schroeder-Moorer arrangement, the right channel's delays a little longer for width, after a
// short pre-delay and a low cut (the reverb adds air, never bass).
#include "music/StereoBuffer.h"

class CReverb
{
public:
    CReverb(double roomSize, double damping, double preDelaySeconds, double rate);
    // Replaces the buffer's content with its reverberation (100 % wet).
    void Process(StereoBuffer& buf);

private:
    double room;
    double damp;
    double preDelay;
    double rate;
};
