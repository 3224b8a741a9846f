#include "audio/Analysis.h"

#include "app/platform/DataNames.h"
#include "app/platform/Timeline.h"
#include "audio/Fft1024.h"
#include "audio/PcmTrack.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace
{

struct SectionBounds
{
    const char* name;
    double start;
    double end;
};
// The picture's timeline; the ending runs to the end of the track.
using timeline::kDanceStart;
using timeline::kEndingStart;
using timeline::kVortexStart;
const SectionBounds kSections[4] = {{"intro", 0.0, kVortexStart},
                                    {"vortex", kVortexStart, kDanceStart},
                                    {"dance", kDanceStart, kEndingStart},
                                    {"ending", kEndingStart, std::numeric_limits<double>::infinity()}};

BassSectionStats summarise(const SectionBounds& s, const std::vector<float>& levels, double trackSeconds)
{
    BassSectionStats st;
    st.name = s.name;
    st.start = s.start;
    st.end = std::min(s.end, trackSeconds);
    std::vector<float> in;
    double lastJump = -std::numeric_limits<double>::infinity();
    bool above = false;
    for (std::size_t i = 0; i < levels.size(); ++i)
    {
        const double t = static_cast<double>(i) / kAnalysisFps;
        if (t < s.start || t >= s.end)
            continue;
        const float v = levels[i];
        in.push_back(v);
        if (v > kJumpLevel && t - lastJump > kJumpGapSeconds)
        {
            ++st.jumps;
            lastJump = t;
        }
        const bool now = v > kFlashLevel;
        if (now && !above)
            ++st.rises;
        above = now;
    }
    st.frames = static_cast<int>(in.size());
    if (in.empty())
        return st;
    double sum = 0.0;
    int count = 0;
    for (float v : in)
    {
        sum += v;
        if (v > kFlashLevel)
            ++count;
    }
    st.mean = static_cast<float>(sum / static_cast<double>(in.size()));
    st.shareAbove = static_cast<double>(count) / static_cast<double>(in.size());
    std::sort(in.begin(), in.end());
    const auto rank = static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(in.size())));
    st.p95 = in[std::max<std::size_t>(rank, 1) - 1];
    st.max = in.back();
    return st;
}
} // namespace

std::vector<float> BassLevels(const PcmTrack& track)
{
    std::vector<float> levels;
    Fft1024 spectrum;
    float fft[Fft1024::kBins];
    const double seconds = track.seconds();
    for (std::size_t i = 0;; ++i)
    {
        const double t = static_cast<double>(i) / kAnalysisFps;
        if (t >= seconds)
            break;
        const auto end = static_cast<std::size_t>(std::llround(t * PcmTrack::kRate));
        spectrum.Compute(track, end, fft);
        levels.push_back(SpectrumRange(fft, 2, 3));
    }
    return levels;
}

std::vector<BassSectionStats> AnalyzeBassSections(const std::vector<float>& levels, double trackSeconds)
{
    std::vector<BassSectionStats> out;
    for (const SectionBounds& s : kSections)
        out.push_back(summarise(s, levels, trackSeconds));
    return out;
}

std::vector<BassSectionStats> AnalyzeBassSections(const PcmTrack& track)
{
    return AnalyzeBassSections(BassLevels(track), track.seconds());
}

int RunAnalyze()
{
    PcmTrack track;
    std::string error;
    if (!DecodeMp3(datafile::kMusic, track, error))
    {
        std::fprintf(stderr, "vqdemo --analyze: %s\n", error.c_str());
        return 1;
    }
    std::printf("\"%s\": %.3f s, %zu frames; range(2, 3) at %.0f frames per second of music time\n",
                datafile::kMusic, track.seconds(), track.frames(), kAnalysisFps);
    std::printf("%-8s %8s %8s %7s %7s %7s %7s %8s %6s %6s\n", "section", "from", "to", "frames", "mean",
                "p95", "max", ">0.6", "jumps", "rises");
    for (const BassSectionStats& s : AnalyzeBassSections(track))
        std::printf("%-8s %8.2f %8.2f %7d %7.3f %7.3f %7.3f %7.1f%% %6d %6d\n", s.name.c_str(), s.start,
                    s.end, s.frames, s.mean, s.p95, s.max, 100.0 * s.shareAbove, s.jumps, s.rises);
    std::printf("jumps: level above %.1f more than %.0f ms after the previous jump (vortex camera); "
                "rises: upward crossings of %.1f (dance floor flashes)\n",
                kJumpLevel, kJumpGapSeconds * 1000.0, kFlashLevel);
    return 0;
}
