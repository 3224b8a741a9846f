// Mastering and delivery: the loudness meter, the peak limiter, normalisation, and the MP3
// round trip that must keep every frame where it was rendered.
#include "audio/PcmTrack.h"
#include "music/CLoudnessMeter.h"
#include "music/Master.h"
#include "music/Mp3Encoder.h"
#include "music/Voice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace
{
constexpr double kRate = 44100.0;

StereoBuffer tone(double seconds, double hz, double left, double right)
{
    StereoBuffer b(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < b.frames(); ++i)
    {
        const double s = std::sin(2.0 * M_PI * hz * static_cast<double>(i) / kRate);
        b.l[i] = static_cast<float>(s * left);
        b.r[i] = static_cast<float>(s * right);
    }
    return b;
}

double peakOf(const StereoBuffer& b)
{
    double p = 0.0;
    for (std::size_t i = 0; i < b.frames(); ++i)
        p = std::max({p, std::fabs(static_cast<double>(b.l[i])), std::fabs(static_cast<double>(b.r[i]))});
    return p;
}

std::string tempPath(const char* name) { return "/tmp/vq_test_" + std::to_string(getpid()) + "_" + name; }
} // namespace

TEST(Loudness, FullScaleSineReadsTheReferenceLevel)
{
    // The reference: a 0 dBFS 1 kHz sine in one channel reads -3.01 LUFS, in both 0.0 LUFS.
    EXPECT_NEAR(CLoudnessMeter::Integrated(tone(5.0, 1000.0, 1.0, 0.0), kRate), -3.01, 0.05);
    EXPECT_NEAR(CLoudnessMeter::Integrated(tone(5.0, 1000.0, 1.0, 1.0), kRate), 0.0, 0.05);
    EXPECT_NEAR(CLoudnessMeter::Integrated(tone(5.0, 1000.0, 0.1, 0.1), kRate), -20.0, 0.05);
    // K-weighting: the low cut takes most of 20 Hz away, the shelf lifts the highs by about 4 dB.
    EXPECT_LT(CLoudnessMeter::WeightingGain(20.0, kRate), 0.5);
    EXPECT_NEAR(20.0 * std::log10(CLoudnessMeter::WeightingGain(10000.0, kRate)), 4.0, 0.3);
}

TEST(Loudness, GatesIgnoreSilenceAndQuietPassages)
{
    StereoBuffer b = tone(10.0, 1000.0, 0.1, 0.1);
    for (std::size_t i = b.frames() / 2; i < b.frames(); ++i)
        b.l[i] = b.r[i] = 0.0f; // second half silent: below the absolute gate
    // 47 whole 400 ms blocks of tone pass, the 3 straddling the change pass at 3/4, 1/2 and 1/4
    // power, the silent ones are gated away.
    const double expected = -20.0 + 10.0 * std::log10(48.5 / 50.0);
    EXPECT_NEAR(CLoudnessMeter::Integrated(b, kRate), expected, 0.03);
    StereoBuffer c = tone(10.0, 1000.0, 0.1, 0.1);
    for (std::size_t i = c.frames() / 2; i < c.frames(); ++i)
    {
        c.l[i] *= 0.01f; // -40 dB: below the relative gate
        c.r[i] *= 0.01f;
    }
    EXPECT_NEAR(CLoudnessMeter::Integrated(c, kRate), expected, 0.03);
    EXPECT_LT(CLoudnessMeter::Integrated(StereoBuffer(44100), kRate), -100.0);
}

TEST(Limiter, HoldsTheCeilingAndLeavesQuietMaterialAlone)
{
    StereoBuffer b = tone(2.0, 100.0, 0.5, 0.5);
    const StereoBuffer quiet = b;
    EXPECT_EQ(LimitPeaks(b, 0.88, 0.003, 0.06, kRate), 0);
    for (std::size_t i = 0; i < b.frames(); ++i)
        ASSERT_EQ(b.l[i], quiet.l[i]);
    // Bursts far over the ceiling, including one at the very first and last frames.
    for (std::size_t at : {std::size_t{0}, std::size_t{30000}, std::size_t{60000}, b.frames() - 1})
        for (std::size_t k = at; k < std::min(b.frames(), at + 300); ++k)
        {
            b.l[k] *= 4.0f;
            b.r[k] *= -3.0f;
        }
    double deepest = 1.0;
    EXPECT_GT(LimitPeaks(b, 0.88, 0.003, 0.06, kRate, &deepest), 0);
    EXPECT_LE(peakOf(b), 0.88);
    EXPECT_NEAR(deepest, 0.88 / 2.0, 0.01); // the loudest burst peaks at 2.0
    // Half a second after a burst the signal is back to its own level.
    EXPECT_NEAR(b.l[30300 + 22050], quiet.l[30300 + 22050], 1e-3);
}

TEST(Master, ReachesTheTargetLoudnessUnderTheCeiling)
{
    // A loud, peaky signal: a 60 Hz tone with kick-like bursts.
    StereoBuffer b = tone(8.0, 60.0, 0.2, 0.2);
    Voice kick;
    kick.type = Instrument::Kick;
    kick.pitchStart = 250;
    kick.pitchEnd = 105;
    kick.hold = 0.035;
    kick.ampTau = 0.045;
    for (int k = 0; k < 16; ++k)
    {
        Note n;
        n.start = k * 0.46875;
        n.vel = 3.0f;
        RenderNote(kick, n, static_cast<std::uint64_t>(k), b, kRate);
    }
    const MasterReport r = MasterTrack(b, -14.0, 0.88, kRate);
    EXPECT_NEAR(r.finalLufs, -14.0, 0.1);
    EXPECT_NEAR(CLoudnessMeter::Integrated(b, kRate), -14.0, 0.1);
    EXPECT_LE(peakOf(b), 0.88);
    EXPECT_DOUBLE_EQ(r.peak, peakOf(b));
}

TEST(Mp3, RoundTripKeepsLengthAndTiming)
{
    // Clicks at known frames must come back at the same frames: the Info frame's delay and
    // padding let the decoder trim exactly what the encoder added.
    const std::size_t frames = 3 * 44100 + 123;
    StereoBuffer b(frames);
    const std::size_t marks[3] = {4410, 50000, 120000};
    for (std::size_t m : marks)
        for (std::size_t k = 0; k < 200; ++k)
        {
            const auto v =
                static_cast<float>(0.8 * std::sin(2.0 * M_PI * 1000.0 * k / kRate) * (1.0 - k / 200.0));
            b.l[m + k] = v;
            b.r[m + k] = v;
        }
    const std::string path = tempPath("roundtrip.mp3");
    std::string error;
    ASSERT_TRUE(EncodeMp3(b, 44100, 192, path, error)) << error;
    PcmTrack t;
    ASSERT_TRUE(DecodeMp3(path, t, error)) << error;
    std::remove(path.c_str());
    EXPECT_EQ(t.frames(), frames);
    for (std::size_t m : marks)
    {
        // The first sample past half the click's height marks it (frame m + 4 in the input);
        // codec pre-echo stays far below that.
        std::size_t onset = 0;
        for (std::size_t i = m > 2000 ? m - 2000 : 0; i < m + 400; ++i)
            if (std::abs(t.samples[2 * i]) > 13107)
            {
                onset = i;
                break;
            }
        EXPECT_NEAR(static_cast<double>(onset), static_cast<double>(m + 4), 2.0) << "click at frame " << m;
    }
}

TEST(Mp3, ReportsAnUnwritableTarget)
{
    StereoBuffer b(44100);
    std::string error;
    EXPECT_FALSE(EncodeMp3(b, 44100, 192, "/nonexistent-dir/x.mp3", error));
    EXPECT_NE(error.find("/nonexistent-dir/x.mp3"), std::string::npos) << error;
}
