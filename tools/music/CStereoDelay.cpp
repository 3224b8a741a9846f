#include "music/CStereoDelay.h"

#include "music/CBiquad.h"

#include <cmath>
#include <vector>

CStereoDelay::CStereoDelay(double seconds, double fb, double r)
    : length(static_cast<std::size_t>(std::lround(seconds * r))), feedback(fb), rate(r)
{
    if (length < 1)
        length = 1;
}

void CStereoDelay::Process(StereoBuffer& buf)
{
    std::vector<float> lineL(length, 0.0f), lineR(length, 0.0f);
    CBiquad toneL = CBiquad::LowPass(3500.0, 0.7, rate), toneR = CBiquad::LowPass(3500.0, 0.7, rate);
    CBiquad cutL = CBiquad::HighPass(250.0, 0.7, rate), cutR = CBiquad::HighPass(250.0, 0.7, rate);
    std::size_t pos = 0;
    for (std::size_t i = 0; i < buf.frames(); ++i)
    {
        const float outL = lineL[pos], outR = lineR[pos];
        const float in = 0.5f * (buf.l[i] + buf.r[i]);
        // Ping-pong: the input enters the left line only; each line feeds the other.
        lineL[pos] = static_cast<float>(cutL.Process(toneL.Process(in + feedback * outR)));
        lineR[pos] = static_cast<float>(cutR.Process(toneR.Process(feedback * outL)));
        buf.l[i] = outL;
        buf.r[i] = outR;
        if (++pos == length)
            pos = 0;
    }
}
