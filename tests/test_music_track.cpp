// The generated "vqmusikk_best4.mp3" in the data folder, decoded the way the piece decodes it:
// length, clipping, loudness, the beat grid, and the bass level each scene reacts to.
#include "audio/Analysis.h"
#include "audio/PcmTrack.h"
#include "music/CLoudnessMeter.h"
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
    EXPECT_LT(peak, 32767 * 0.97) << "decoded peak " << peak;
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

TEST(MusicTrack, VortexBeatsMakeTheCameraJump)
{
    REQUIRE_TRACK();
    const std::vector<BassSectionStats> s = AnalyzeBassSections(decoded().levels, decoded().track.seconds());
    EXPECT_GE(s[1].jumps, 6);
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
    // Most of the vortex kicks clear the jump level with room to spare.
    int strong = 0, kicks = 0;
    for (int b = kVortexStartBeat; b < kDanceStartBeat - 1; ++b, ++kicks)
        strong += maxLevel(BeatToSeconds(b), BeatToSeconds(b) + 0.1) > kJumpLevel * 1.1f;
    EXPECT_GE(strong, kicks * 9 / 10);
}

TEST(MusicTrack, DanceFloorFlashesOnKicksOnly)
{
    REQUIRE_TRACK();
    int lifted = 0, fell = 0, beats = 0;
    for (int b = kDanceStartBeat; b < kEndingStartBeat; ++b, ++beats)
    {
        const double t = BeatToSeconds(b);
        lifted += maxLevel(t, t + 0.1) > kFlashLevel;
        fell += minLevel(t + 0.2, t + kSecondsPerBeat - 0.03) < kFlashLevel;
    }
    EXPECT_GE(lifted, beats * 95 / 100) << lifted << " of " << beats << " kicks lift the level above 0.6";
    EXPECT_GE(fell, beats * 95 / 100)
        << "the level falls back below 0.6 after only " << fell << " of " << beats;
    const std::vector<BassSectionStats> s = AnalyzeBassSections(decoded().levels, decoded().track.seconds());
    EXPECT_LT(s[2].shareAbove, 0.4);
    EXPECT_GE(s[2].rises, beats * 9 / 10);
}
