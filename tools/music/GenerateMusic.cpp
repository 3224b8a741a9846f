// vqmusicgen <data folder> [--wav FILE FROM TO] [--stems]
// Composes, renders and masters the piece's track and writes "vqmusikk_best4.mp3" into the data
// folder; then decodes the file again and prints the bass figures the picture reacts to.
// --stems prints every track's loudness per section (a balancing aid).
// --wav also writes the mastered mix between FROM and TO seconds as a WAV file (for listening).
#include "music/CLoudnessMeter.h"
#include "music/CSong.h"
#include "music/Master.h"
#include "music/Mixer.h"
#include "music/Mp3Encoder.h"
#include "music/Tempo.h"

#include "app/platform/DataNames.h"
#include "audio/Analysis.h"
#include "audio/PcmTrack.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace
{
constexpr const char* kOutput = datafile::kMusic;
constexpr double kTargetLufs = -14.0;
constexpr double kCeiling = 0.87; // -1.2 dBFS: room for the encoder's overshoot (up to 0.1 dB on the kicks)
constexpr int kBitrate = 192;

double since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

PcmTrack toPcm(const StereoBuffer& b, std::size_t first, std::size_t count)
{
    PcmTrack t;
    t.samples.resize(count * 2);
    for (std::size_t i = 0; i < count; ++i)
    {
        t.samples[2 * i] = static_cast<std::int16_t>(std::lround(b.l[first + i] * 32767.0f));
        t.samples[2 * i + 1] = static_cast<std::int16_t>(std::lround(b.r[first + i] * 32767.0f));
    }
    return t;
}

int run(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: vqmusicgen <data folder> [--wav FILE FROM TO] [--stems]\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::string wavPath;
    bool stems = false;
    double wavFrom = 0.0, wavTo = 0.0;
    for (int i = 2; i < argc; ++i)
    {
        const std::string a = argv[i];
        if (a == "--wav" && i + 3 < argc)
        {
            wavPath = argv[i + 1];
            wavFrom = std::atof(argv[i + 2]);
            wavTo = std::atof(argv[i + 3]);
            i += 3;
        }
        else if (a == "--stems")
            stems = true;
        else
        {
            std::fprintf(stderr, "vqmusicgen: unknown or incomplete argument \"%s\"\n", a.c_str());
            return 2;
        }
    }

    const auto t0 = std::chrono::steady_clock::now();
    const CSong song = CSong::Compose();
    std::vector<StemLevels> levels;
    StereoBuffer mix = RenderMix(song, kTrackSeconds, kTrackRate, stems ? &levels : nullptr);
    const double renderSeconds = since(t0);
    const MasterReport rep = MasterTrack(mix, kTargetLufs, kCeiling, kTrackRate);
    const double masterSeconds = since(t0) - renderSeconds;
    for (const StemLevels& st : levels)
        std::printf("  %-12s intro %6.1f  vortex %6.1f  dance %6.1f  ending %6.1f LUFS before mastering, "
                    "%.2f s cpu\n",
                    st.track.c_str(), st.lufs[0], st.lufs[1], st.lufs[2], st.lufs[3], st.cpuSeconds);
    std::printf(
        "vqmusicgen: %.1f BPM, %.2f s; mix %.2f LUFS, gain %+.2f dB, final %.2f LUFS, peak %.4f (%.2f dBFS), "
        "%lld frames limited (at most %.2f dB)\n",
        kTrackBpm, kTrackSeconds, rep.mixLufs, rep.gainDb, rep.finalLufs, rep.peak,
        20.0 * std::log10(rep.peak), rep.limitedFrames, rep.maxReductionDb);

    std::string error;
    if (!wavPath.empty())
    {
        const auto first = static_cast<std::size_t>(std::max(0.0, wavFrom) * kTrackRate);
        const auto last =
            std::min(mix.frames(), static_cast<std::size_t>(std::max(wavFrom, wavTo) * kTrackRate));
        const PcmTrack excerpt = toPcm(mix, first, last - first);
        if (!WriteWav(wavPath, excerpt, 0, excerpt.frames(), error))
        {
            std::fprintf(stderr, "vqmusicgen: %s\n", error.c_str());
            return 1;
        }
    }

    const std::string path = dir + "/" + kOutput;
    if (!EncodeMp3(mix, kTrackRate, kBitrate, path, error))
    {
        std::fprintf(stderr, "vqmusicgen: %s\n", error.c_str());
        return 1;
    }
    const double encodeSeconds = since(t0) - renderSeconds - masterSeconds;

    // Read the file back the way the piece will, and report what the picture will see.
    PcmTrack decoded;
    if (!DecodeMp3(path, decoded, error))
    {
        std::fprintf(stderr, "vqmusicgen: the file just written does not decode: %s\n", error.c_str());
        return 1;
    }
    int peak = 0;
    for (std::int16_t s : decoded.samples)
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    std::printf("vqmusicgen: wrote %s: %.3f s decoded (%zu frames), decoded peak %d / 32767; "
                "render %.1f s, master %.1f s, encode %.1f s\n",
                path.c_str(), decoded.seconds(), decoded.frames(), peak, renderSeconds, masterSeconds,
                encodeSeconds);
    std::printf("%-8s %7s %7s %7s %7s %6s %6s\n", "section", "mean", "p95", "max", ">0.6", "jumps", "rises");
    for (const BassSectionStats& s : AnalyzeBassSections(decoded))
        std::printf("%-8s %7.3f %7.3f %7.3f %6.1f%% %6d %6d\n", s.name.c_str(), s.mean, s.p95, s.max,
                    100.0 * s.shareAbove, s.jumps, s.rises);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    try
    {
        return run(argc, argv);
    }
    catch (const std::exception& e)
    {
        // The song's texts are parsed at run time; a typo there must stop the build loudly.
        std::fprintf(stderr, "vqmusicgen: %s\n", e.what());
        return 1;
    }
}
