#include "audio/CBass.h"
#include "audio/PcmTrack.h"
#include "audio/Fft1024.h"
#include "support/TestAudio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
std::string tempPath(const char* name)
{
    return std::string("/tmp/vq_test_audio_") + std::to_string(getpid()) + "_" + name;
}

PcmTrack trackOf(const std::vector<std::int16_t>& s)
{
    PcmTrack t;
    t.samples = s;
    return t;
}
} // namespace

TEST(Fft1024, FullScaleSineAtBinCentreReadsTwo)
{
    Fft1024 sp;
    float fft[Fft1024::kBins];
    for (int bin : {2, 3, 10, 100})
    {
        std::vector<float> mono(Fft1024::kSize);
        for (int i = 0; i < Fft1024::kSize; ++i)
            mono[i] = static_cast<float>(std::sin(2 * M_PI * bin * i / Fft1024::kSize));
        sp.ComputeMono(mono.data(), fft);
        EXPECT_NEAR(fft[bin], 2.0f, 1e-3) << bin;
        int peak = 0;
        for (int k = 0; k < Fft1024::kBins; ++k)
        {
            EXPECT_GE(fft[k], 0.0f);
            if (fft[k] > fft[peak])
                peak = k;
        }
        EXPECT_EQ(peak, bin);
    }
}

TEST(Fft1024, ReadsTheFramesEndingAtThePosition)
{
    // Silence, then a sine from frame 44100 on: the window ending before the sine sees nothing,
    // one ending a full window later sees the sine at full level.
    std::vector<std::int16_t> s(2 * 44100, 0);
    const auto sine = SineStereo(3 * 44100.0 / 1024, 1.0, 0.5);
    s.insert(s.end(), sine.begin(), sine.end());
    const PcmTrack t = trackOf(s);
    Fft1024 sp;
    float fft[Fft1024::kBins];
    sp.Compute(t, 44100, fft);
    EXPECT_LT(SpectrumRange(fft, 2, 3), 1e-4f);
    sp.Compute(t, 44100 + 4096, fft);
    EXPECT_NEAR(fft[3], 2.0f, 0.01f);
    // Before the track's start counts as silence, not as a read before the buffer.
    sp.Compute(t, 10, fft);
    EXPECT_LT(fft[3], 1e-4f);
}

TEST(Fft1024, RangeIsSumOverDifference)
{
    float fft[1024] = {};
    fft[2] = 0.25f;
    fft[3] = 0.5f;
    fft[4] = 1.0f;
    EXPECT_FLOAT_EQ(SpectrumRange(fft, 2, 3), 0.75f); // divisor b - a = 1
    EXPECT_FLOAT_EQ(SpectrumRange(fft, 2, 4), 0.875f);
    EXPECT_FLOAT_EQ(SpectrumRange(fft, 4, 2), 0.0f); // nothing summed
}

TEST(Mp3, DecodesAnEncodedTrackToItsLength)
{
    const std::string path = tempPath("sine.mp3");
    ASSERT_TRUE(EncodeMp3ForTest(path, SineStereo(440, 0.5, 2.0)));
    PcmTrack t;
    std::string error;
    ASSERT_TRUE(DecodeMp3(path, t, error)) << error;
    // The encoder adds at most a frame or two of padding.
    EXPECT_NEAR(t.seconds(), 2.0, 0.1);
    float peak = 0;
    for (std::int16_t v : t.samples)
        peak = std::max(peak, std::fabs(v / 32768.0f));
    EXPECT_NEAR(peak, 0.5f, 0.08f);
    std::remove(path.c_str());
}

TEST(Mp3, MissingAndGarbageFilesAreRefusedByName)
{
    PcmTrack t;
    std::string error;
    EXPECT_FALSE(DecodeMp3("/nonexistent/track.mp3", t, error));
    EXPECT_NE(error.find("/nonexistent/track.mp3"), std::string::npos);
    const std::string path = tempPath("garbage.mp3");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    for (int i = 0; i < 5000; ++i)
        std::fputc((i * 7919) & 0x7F, f); // never a frame sync
    std::fclose(f);
    error.clear();
    EXPECT_FALSE(DecodeMp3(path, t, error));
    EXPECT_NE(error.find(path), std::string::npos);
    std::remove(path.c_str());
}

TEST(Mp3, TheFilesOwnFormatIsToldBesideThePlaybackFormat)
{
    struct Case
    {
        const char* name;
        int rate, channels;
    };
    for (const Case& c :
         {Case{"stereo.mp3", 44100, 2}, Case{"mono.mp3", 44100, 1}, Case{"fast.mp3", 48000, 2}})
    {
        const std::string path = tempPath(c.name);
        const std::vector<std::int16_t> samples(static_cast<std::size_t>(c.rate * c.channels), 500);
        ASSERT_TRUE(EncodeMp3ForTest(path, samples, 96, c.rate, c.channels)) << c.name;
        PcmTrack t;
        Mp3Source source;
        std::string error;
        ASSERT_TRUE(DecodeMp3(path, t, error, &source)) << error;
        EXPECT_EQ(source.rate, c.rate) << c.name;
        EXPECT_EQ(source.channels, c.channels) << c.name;
        EXPECT_FALSE(source.mixed) << c.name;
        // Whatever the file, the track plays as 44.1 kHz stereo of the file's length.
        EXPECT_NEAR(t.seconds(), 1.0, 0.1) << c.name;
        std::remove(path.c_str());
    }
}

TEST(Mp3, NoRegularFileNeverReachesTheDecoder)
{
    const std::string fifo = tempPath("fifo.mp3");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    PcmTrack t;
    std::string error;
    EXPECT_FALSE(DecodeMp3(fifo, t, error)); // a blocking open would wait here for ever
    EXPECT_EQ(error, "\"" + fifo + "\": is not a regular file");
    std::remove(fifo.c_str());
}

TEST(Wav, WritesTheRequestedSpan)
{
    PcmTrack t = trackOf(SineStereo(100, 0.3, 1.0));
    const std::string path = tempPath("span.wav");
    std::string error;
    ASSERT_TRUE(WriteWav(path, t, 1000, 22050, error)) << error;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_TRUE(f);
    std::fseek(f, 0, SEEK_END);
    EXPECT_EQ(std::ftell(f), 44 + 22050 * 4);
    std::fseek(f, 44, SEEK_SET);
    std::int16_t first[2];
    ASSERT_EQ(std::fread(first, 2, 2, f), 2u);
    EXPECT_EQ(first[0], t.samples[2000]);
    std::fclose(f);
    // A span past the end is cut to what exists.
    ASSERT_TRUE(WriteWav(path, t, 44000, 1000, error));
    f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    EXPECT_EQ(std::ftell(f), 44 + 100 * 4);
    std::fclose(f);
    std::remove(path.c_str());
}

TEST(HeardPosition, SubtractsDeviceLatencyAndNeverGoesBack)
{
    const std::uint64_t period = 1024, latency = 2048;
    // At the callback itself, the sound heard is two periods behind what was handed over.
    EXPECT_EQ(CBass::HeardFrame(100000, 5000, 5000, latency, period, 0), 100000u - latency);
    // 10 ms later the wall clock has carried it 441 frames on.
    EXPECT_EQ(CBass::HeardFrame(100000, 5000, 15000, latency, period, 0), 100000u - latency + 441);
    // A late next callback does not let the clock run past the block that was handed over.
    EXPECT_EQ(CBass::HeardFrame(100000, 5000, 1005000, latency, period, 0), 100000u - latency + period);
    // Never backwards, and never below zero at the start.
    EXPECT_EQ(CBass::HeardFrame(100000, 5000, 5000, latency, period, 99000), 99000u);
    EXPECT_EQ(CBass::HeardFrame(1000, 0, 0, latency, period, 0), 0u);
}

TEST(CBassState, ZeroBeforeStart)
{
    CBass b;
    b.doThis(); // not started: nothing moves
    EXPECT_EQ(b.seconds, 0.0f);
    EXPECT_EQ(b.ms(), 0);
    for (float v : b.fft)
        EXPECT_EQ(v, 0.0f);
    EXPECT_EQ(b.range(2, 3), 0.0f);
}
