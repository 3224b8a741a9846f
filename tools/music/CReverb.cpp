#include "music/CReverb.h"

#include "music/CBiquad.h"

#include <cmath>
#include <vector>

namespace
{
// Delay lengths tuned at 44.1 kHz (mutually prime-ish, spread over 25..37 ms).
constexpr int kCombs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr int kAllpasses[4] = {556, 441, 341, 225};
constexpr int kSpread = 23;

struct Comb
{
    std::vector<float> line;
    std::size_t pos = 0;
    float store = 0.0f;
    float Process(float in, float feedback, float damp)
    {
        const float out = line[pos];
        store = out * (1.0f - damp) + store * damp;
        line[pos] = in + store * feedback;
        if (++pos == line.size())
            pos = 0;
        return out;
    }
};

struct Allpass
{
    std::vector<float> line;
    std::size_t pos = 0;
    float Process(float in)
    {
        const float buffered = line[pos];
        const float out = buffered - in;
        line[pos] = in + buffered * 0.5f;
        if (++pos == line.size())
            pos = 0;
        return out;
    }
};

struct Channel
{
    Comb combs[8];
    Allpass allpasses[4];
    Channel(int extra, double scale)
    {
        for (int i = 0; i < 8; ++i)
            combs[i].line.assign(static_cast<std::size_t>((kCombs[i] + extra) * scale), 0.0f);
        for (int i = 0; i < 4; ++i)
            allpasses[i].line.assign(static_cast<std::size_t>((kAllpasses[i] + extra) * scale), 0.0f);
    }
    float Process(float in, float feedback, float damp)
    {
        float sum = 0.0f;
        for (Comb& c : combs)
            sum += c.Process(in, feedback, damp);
        for (Allpass& a : allpasses)
            sum = a.Process(sum);
        return sum;
    }
};
} // namespace

CReverb::CReverb(double roomSize, double damping, double preDelaySeconds, double r)
    : room(roomSize), damp(damping), preDelay(preDelaySeconds), rate(r)
{
}

void CReverb::Process(StereoBuffer& buf)
{
    const double scale = rate / 44100.0;
    Channel left(0, scale), right(kSpread, scale);
    const auto feedback = static_cast<float>(0.7 + 0.28 * room);
    const auto d = static_cast<float>(0.4 * damp);
    std::vector<float> pre(static_cast<std::size_t>(std::max(1.0, preDelay * rate)), 0.0f);
    std::size_t prePos = 0;
    CBiquad lowCut = CBiquad::HighPass(220.0, 0.7, rate);
    const float inputGain = 0.015f; // the comb bank sums eight loud lines
    for (std::size_t i = 0; i < buf.frames(); ++i)
    {
        const float in = static_cast<float>(lowCut.Process(0.5 * (buf.l[i] + buf.r[i])));
        const float delayed = pre[prePos];
        pre[prePos] = in;
        if (++prePos == pre.size())
            prePos = 0;
        const float x = delayed * inputGain;
        buf.l[i] = left.Process(x, feedback, d);
        buf.r[i] = right.Process(x, feedback, d);
    }
}
