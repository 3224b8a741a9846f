#include "music/Master.h"

#include "music/CLoudnessMeter.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

long long LimitPeaks(StereoBuffer& buf, double ceiling, double lookahead, double release, double rate,
                     double* deepestGain)
{
    double deepest = 1.0;
    const std::size_t n = buf.frames();
    const auto look = static_cast<std::size_t>(std::max(1.0, std::round(lookahead * rate)));
    std::vector<double> need(n);
    for (std::size_t i = 0; i < n; ++i)
    {
        const double p = std::max(std::fabs(buf.l[i]), std::fabs(buf.r[i]));
        need[i] = p > ceiling ? ceiling / p : 1.0;
    }
    // Sliding minimum of the needed gain over [i, i + look] (monotonic deque).
    std::vector<double> ahead(n);
    std::deque<std::size_t> q;
    std::size_t next = 0;
    for (std::size_t i = 0; i < n; ++i)
    {
        while (next < n && next <= i + look)
        {
            while (!q.empty() && need[q.back()] >= need[next])
                q.pop_back();
            q.push_back(next++);
        }
        while (q.front() < i)
            q.pop_front();
        ahead[i] = need[q.front()];
    }
    // Release: gain may fall at once but rises smoothly; then a moving average over the look-ahead
    // turns the steps into ramps that still arrive under every peak's limit.
    const double rel = 1.0 - std::exp(-1.0 / (release * rate));
    double g = 1.0, sum = 0.0;
    std::vector<double> held(n);
    long long limited = 0;
    for (std::size_t i = 0; i < n; ++i)
    {
        g = std::min(ahead[i], g + (1.0 - g) * rel);
        held[i] = g;
        sum += g;
        if (i >= look)
            sum -= held[i - look];
        const double window = static_cast<double>(std::min(i + 1, look));
        const double gain = std::min(sum / window, ahead[i]);
        if (gain < 0.9988) // deeper than 0.01 dB
            ++limited;
        deepest = std::min(deepest, gain);
        buf.l[i] = static_cast<float>(buf.l[i] * gain);
        buf.r[i] = static_cast<float>(buf.r[i] * gain);
        // Float rounding must not push a sample past the ceiling.
        const auto c = static_cast<float>(ceiling);
        buf.l[i] = std::clamp(buf.l[i], -c, c);
        buf.r[i] = std::clamp(buf.r[i], -c, c);
    }
    if (deepestGain)
        *deepestGain = deepest;
    return limited;
}

MasterReport MasterTrack(StereoBuffer& buf, double targetLufs, double ceiling, double rate)
{
    MasterReport rep;
    rep.mixLufs = CLoudnessMeter::Integrated(buf, rate);
    if (rep.mixLufs <= -199.0)
        return rep; // silence: nothing to normalise
    const StereoBuffer original = buf;
    double gainDb = targetLufs - rep.mixLufs;
    for (int pass = 0; pass < 4; ++pass)
    {
        const auto g = static_cast<float>(std::pow(10.0, gainDb / 20.0));
        for (std::size_t i = 0; i < buf.frames(); ++i)
        {
            buf.l[i] = original.l[i] * g;
            buf.r[i] = original.r[i] * g;
        }
        double deepest = 1.0;
        rep.limitedFrames = LimitPeaks(buf, ceiling, 0.003, 0.06, rate, &deepest);
        rep.maxReductionDb = -20.0 * std::log10(deepest);
        rep.finalLufs = CLoudnessMeter::Integrated(buf, rate);
        rep.gainDb = gainDb;
        if (std::fabs(rep.finalLufs - targetLufs) < 0.05)
            break;
        gainDb += targetLufs - rep.finalLufs;
    }
    rep.peak = 0.0;
    for (std::size_t i = 0; i < buf.frames(); ++i)
        rep.peak = std::max(
            {rep.peak, static_cast<double>(std::fabs(buf.l[i])), static_cast<double>(std::fabs(buf.r[i]))});
    return rep;
}
