// The generated "vqmusikk_best4.mp3" in the data folder, decoded the way the piece decodes it:
// length, clipping, loudness, the beat grid, the silence before the program quits, and the bass
// level each scene reacts to, kick by kick as the song places them.
#include "audio/Analysis.h"
#include "audio/Fft1024.h"
#include "audio/PcmTrack.h"
#include "music/CLoudnessMeter.h"
#include "music/CSong.h"
#include "music/Tempo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace
{
struct Decoded
{
    PcmTrack track;
    std::vector<float> levels;
    std::string error;
};

const Decoded& decoded()
{
    static const Decoded d = []
    {
        Decoded out;
        const char* dir = std::getenv("VQ_DATA_DIR");
        if (!dir)
        {
            out.error = "VQ_DATA_DIR is not set";
            return out;
        }
        if (!DecodeMp3(std::string(dir) + "/vqmusikk_best4.mp3", out.track, out.error))
            return out;
        out.levels = BassLevels(out.track);
        return out;
    }();
    return d;
}

#define REQUIRE_TRACK()                                                                                      \
    if (!decoded().error.empty())                                                                            \
    FAIL() << "the generated track is needed (build the assets_music target): " << decoded().error

float levelAt(double t)
{
    const auto i = static_cast<std::size_t>(std::llround(t * kAnalysisFps));
    return i < decoded().levels.size() ? decoded().levels[i] : 0.0f;
}

float maxLevel(double from, double to)
{
    float m = 0.0f;
    for (double t = std::ceil(from * kAnalysisFps) / kAnalysisFps; t < to; t += 1.0 / kAnalysisFps)
        m = std::max(m, levelAt(t));
    return m;
}

float minLevel(double from, double to)
{
    float m = 1e9f;
    for (double t = std::ceil(from * kAnalysisFps) / kAnalysisFps; t < to; t += 1.0 / kAnalysisFps)
        m = std::min(m, levelAt(t));
    return m;
}

// The level a kick lifts the band to: its highest frame within 100 ms of the hit.
float kickLevel(double beat) { return maxLevel(BeatToSeconds(beat), BeatToSeconds(beat) + 0.1); }

const std::vector<NoteEvent>& hardKicks()
{
    static const std::vector<NoteEvent> k = CSong::Compose().Find("kick.hard")->notes;
    return k;
}

double peakDbfs(std::size_t fromFrame, std::size_t toFrame)
{
    const PcmTrack& t = decoded().track;
    int peak = 0;
    for (std::size_t i = 2 * fromFrame; i < 2 * std::min(toFrame, t.frames()); ++i)
        peak = std::max(peak, std::abs(static_cast<int>(t.samples[i])));
    return peak > 0 ? 20.0 * std::log10(peak / 32768.0) : -200.0;
}
} // namespace

TEST(MusicTrack, LengthIsExactAndBeforeTheLoop)
{
    REQUIRE_TRACK();
    const double s = decoded().track.seconds();
    EXPECT_GE(s, 127.0);
    EXPECT_LE(s, 135.0);
    // Gapless decoding gives back exactly the rendered frames: the beat grid starts at frame 0.
    EXPECT_EQ(decoded().track.frames(), static_cast<std::size_t>(std::llround(kTrackSeconds * kTrackRate)));
}

TEST(MusicTrack, NoClippingAndStandardLoudness)
{
    REQUIRE_TRACK();
    const PcmTrack& t = decoded().track;
    int peak = 0;
    for (std::int16_t v : t.samples)
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    EXPECT_LT(peak, 32768 * std::pow(10.0, -1.0 / 20.0)) << "decoded peak " << peak << " is above -1 dBFS";
    StereoBuffer b(t.frames());
    for (std::size_t i = 0; i < t.frames(); ++i)
    {
        b.l[i] = t.samples[2 * i] / 32768.0f;
        b.r[i] = t.samples[2 * i + 1] / 32768.0f;
    }
    EXPECT_NEAR(CLoudnessMeter::Integrated(b, PcmTrack::kRate), -14.0, 0.5);
    // The end fades to silence, so the player's loop (should it ever come) does not click.
    for (std::size_t i = t.frames() - 441; i < t.frames(); ++i)
        ASSERT_LT(std::abs(t.samples[2 * i]), 64);
}

TEST(MusicTrack, EndingDiesAwayBeforeTheProgramQuits)
{
    REQUIRE_TRACK();
    const auto frame = [](double s) { return static_cast<std::size_t>(std::llround(s * kTrackRate)); };
    // The program ends at 126 s: what plays from 125.8 s on is already below -60 dBFS, every sample.
    EXPECT_LT(peakDbfs(frame(125.8), decoded().track.frames()), -60.0);
    // ... and it got there by fading, not by stopping: the final chord still sounds after the hit,
    // and the last half second before the silence is already quiet.
    EXPECT_GT(peakDbfs(frame(123.5), frame(124.0)), -20.0);
    EXPECT_LT(peakDbfs(frame(125.3), frame(125.8)), -30.0);
}

TEST(MusicTrack, IntroGlowBreathesGently)
{
    REQUIRE_TRACK();
    const std::vector<BassSectionStats> s = AnalyzeBassSections(decoded().levels, decoded().track.seconds());
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].name, "intro");
    EXPECT_LT(s[0].shareAbove, 0.10);
    EXPECT_LT(s[0].p95, 0.6f);
    EXPECT_GT(s[0].mean, 0.02f); // not dead either
    EXPECT_EQ(s[0].jumps, 0);
}

TEST(MusicTrack, VortexCameraJumpsOnAccentsOnly)
{
    REQUIRE_TRACK();
    const std::vector<BassSectionStats> s = AnalyzeBassSections(decoded().levels, decoded().track.seconds());
    // Jumps mark bars and phrases, not every beat: a 2 Hz cut would flash for 30 s.
    EXPECT_GE(s[1].jumps, 6);
    EXPECT_LE(s[1].jumps, 20);
    // The drop lands on 50.8 s: the first jump-level frame is the first kick.
    double first = -1.0;
    for (double t = kVortexStartSeconds - 1.0; t < kVortexStartSeconds + 1.0; t += 1.0 / kAnalysisFps)
        if (levelAt(t) > kJumpLevel)
        {
            first = t;
            break;
        }
    EXPECT_GE(first, kVortexStartSeconds);
    EXPECT_LT(first, kVortexStartSeconds + 0.06);
    // Accented kicks clear the jump level with room to spare, the others stay well under it, and
    // every one of them still lifts the glow past 0.6.
    ASSERT_FALSE(hardKicks().empty());
    float accent = 0.0f;
    for (const NoteEvent& e : hardKicks())
        accent = std::max(accent, e.vel);
    int accents = 0;
    for (const NoteEvent& e : hardKicks())
    {
        const float level = kickLevel(e.beat);
        EXPECT_GT(level, kFlashLevel) << "kick at beat " << e.beat;
        if (e.vel == accent)
        {
            ++accents;
            EXPECT_GT(level, kJumpLevel * 1.1f) << "accented kick at beat " << e.beat;
        }
        else
            EXPECT_LT(level, kJumpLevel * 0.9f) << "plain kick at beat " << e.beat;
    }
    EXPECT_GE(accents, 6);
    // Nothing but an accent makes the camera jump: every frame above the jump level lies just
    // after one.
    int stray = 0;
    double firstStray = 0.0;
    for (double t = kVortexStartSeconds; t < kDanceStartSeconds; t += 1.0 / kAnalysisFps)
    {
        if (levelAt(t) <= kJumpLevel)
            continue;
        bool nearAccent = false;
        for (const NoteEvent& e : hardKicks())
        {
            const double d = t - BeatToSeconds(e.beat);
            nearAccent = nearAccent || (e.vel == accent && d > -0.02 && d < 0.2);
        }
        if (!nearAccent && stray++ == 0)
            firstStray = t;
    }
    EXPECT_EQ(stray, 0) << "frames above the jump level away from an accent, the first at " << firstStray
                        << " s";
}

TEST(MusicTrack, VortexIsWideAndBright)
{
    REQUIRE_TRACK();
    const PcmTrack& t = decoded().track;
    const auto from = static_cast<std::size_t>(kVortexStartSeconds * kTrackRate);
    const auto to = static_cast<std::size_t>(kDanceStartSeconds * kTrackRate);
    // Left/right correlation: a mono kick-and-bass loop sits near 1.
    double lr = 0.0, ll = 0.0, rr = 0.0;
    for (std::size_t i = from; i < to; ++i)
    {
        const double l = t.samples[2 * i], r = t.samples[2 * i + 1];
        lr += l * r;
        ll += l * l;
        rr += r * r;
    }
    EXPECT_LT(lr / std::sqrt(ll * rr), 0.92);
    // Cymbals and the bright synths: a share of the spectrum's power above 3 kHz.
    Fft1024 spectrum;
    float fft[Fft1024::kBins];
    double high = 0.0, all = 0.0;
    for (std::size_t end = from + Fft1024::kSize; end <= to; end += Fft1024::kSize)
    {
        spectrum.Compute(t, end, fft);
        for (int k = 1; k < Fft1024::kBins; ++k)
        {
            const double p = static_cast<double>(fft[k]) * fft[k];
            all += p;
            high += k * static_cast<double>(kTrackRate) / Fft1024::kSize >= 3000.0 ? p : 0.0;
        }
    }
    EXPECT_GT(high / all, 0.02);
}

TEST(MusicTrack, DanceFloorFlashesOnKicksOnly)
{
    REQUIRE_TRACK();
    int beats = 0;
    for (int b = kDanceStartBeat; b < kEndingStartBeat; ++b, ++beats)
    {
        // Every kick flashes the floor, and the floor falls dark again before the next one.
        const double t = BeatToSeconds(b);
        EXPECT_GT(maxLevel(t, t + 0.1), kFlashLevel)
            << "the kick at beat " << b << " does not flash the floor";
        EXPECT_LT(minLevel(t + 0.2, t + kSecondsPerBeat - 0.03), kFlashLevel)
            << "the floor stays lit after the kick at beat " << b;
    }
    const std::vector<BassSectionStats> s = AnalyzeBassSections(decoded().levels, decoded().track.seconds());
    EXPECT_LT(s[2].shareAbove, 0.4);
    EXPECT_GE(s[2].rises, beats * 9 / 10);
}
