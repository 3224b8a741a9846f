#include "support/TrackMatch.h"

#include "audio/PcmTrack.h"

#include <cstdlib>

bool MatchInTrack(const std::vector<std::int16_t>& rec, long recCentre, const PcmTrack& track,
                  long expectedLag, long search, long& lag)
{
    constexpr long kWindow = 4096;
    const long recFrames = static_cast<long>(rec.size() / 2);
    const long trackFrames = static_cast<long>(track.frames());
    const long from = recCentre - kWindow / 2, to = recCentre + kWindow / 2;
    if (from < 0 || to > recFrames)
        return false;
    double best = 1e300, energy = 0;
    for (long l = expectedLag - search; l <= expectedLag + search; ++l)
    {
        if (from + l < 0 || to + l > trackFrames)
            continue;
        double ssd = 0, e = 0;
        for (long i = from; i < to && ssd < best; ++i)
        {
            const double d = static_cast<double>(rec[2 * i]) - track.samples[2 * (i + l)];
            ssd += d * d;
            e += static_cast<double>(rec[2 * i]) * rec[2 * i];
        }
        if (ssd < best)
        {
            best = ssd;
            lag = l;
            energy = e;
        }
    }
    // The samples agree to a rounding step or two, not merely look alike.
    return energy > 0 && best <= 0.01 * energy;
}

bool LocateFrame(const std::vector<std::int16_t>& rec, const PcmTrack& track, long firstPlayed, long frame,
                 double& recIndex, std::string& why)
{
    const long recFrames = static_cast<long>(rec.size() / 2);
    long onset = 0;
    while (onset < recFrames && std::abs(rec[2 * onset]) + std::abs(rec[2 * onset + 1]) < 64)
        ++onset;
    if (onset == recFrames)
    {
        why = "the recording is silent";
        return false;
    }
    const long lag0 = firstPlayed - onset;
    long lag = 0;
    if (!MatchInTrack(rec, frame - lag0, track, lag0, PcmTrack::kRate / 2, lag))
    {
        why = "the recording does not match the track there";
        return false;
    }
    recIndex = static_cast<double>(frame - lag);
    return true;
}
