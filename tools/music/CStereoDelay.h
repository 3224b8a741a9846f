#pragma once
// Ping-pong echo for the send bus: the first repeat comes from the left, the next from the right,
// each one darker and thinner than the last, so echoes never muddy the low end.
#include "music/StereoBuffer.h"

class CStereoDelay
{
public:
    CStereoDelay(double seconds, double feedback, double rate);
    // Replaces the buffer's content with the echoes of it (100 % wet).
    void Process(StereoBuffer& buf);

private:
    std::size_t length;
    double feedback;
    double rate;
};
