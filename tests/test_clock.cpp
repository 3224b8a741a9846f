// The clock seam: live readings, the capture clock driven by the frame count, and exact frame
// rates that keep picture and sound on the same sample however long a capture runs.
#include "app/platform/Clock.h"

#include <gtest/gtest.h>

#include <string>

using vqclock::FrameRate;

TEST(Clock, CaptureDrivesEveryReading)
{
    // Live first: readings start above zero and never run backwards.
    const auto a = vqclock::timeGetTime();
    EXPECT_GE(a, 1000u);
    EXPECT_GE(vqclock::timeGetTime(), a);
    vqclock::enterCapture(25.0, 60.0, true, 1234);
    vqclock::setCaptureFrame(0);
    const auto t0 = vqclock::timeGetTime();
    vqclock::setCaptureFrame(50);
    EXPECT_EQ(vqclock::timeGetTime() - t0, 2000u);
    EXPECT_DOUBLE_EQ(vqclock::captureMusicSeconds(), 62.0);
    EXPECT_EQ(vqclock::calendarTime(), 1234);
}

TEST(FrameRate, ReadsWholeDecimalAndFractionalRatesExactly)
{
    FrameRate r;
    ASSERT_TRUE(vqclock::ParseFrameRate("30", r));
    EXPECT_EQ(r.num, 30);
    EXPECT_EQ(r.den, 1);
    ASSERT_TRUE(vqclock::ParseFrameRate("29.97", r));
    EXPECT_EQ(r.num, 2997);
    EXPECT_EQ(r.den, 100);
    ASSERT_TRUE(vqclock::ParseFrameRate("60000/1001", r));
    EXPECT_EQ(r.num, 60000);
    EXPECT_EQ(r.den, 1001);
    ASSERT_TRUE(vqclock::ParseFrameRate("50/2", r)) << "reduced";
    EXPECT_EQ(r.num, 25);
    EXPECT_EQ(r.den, 1);
    ASSERT_TRUE(vqclock::ParseFrameRate("0.5", r));
    EXPECT_EQ(r.num, 1);
    EXPECT_EQ(r.den, 2);
    for (const char* bad : {"", "0", "0/5", "5/0", "-30", "30fps", "1e3", "1001", "1000.5", "3/", "/3",
                            "2..5", "30/1.5", "1234567890/1", " 30"})
        EXPECT_FALSE(vqclock::ParseFrameRate(bad, r)) << "\"" << bad << "\"";
    EXPECT_TRUE(vqclock::ParseFrameRate("1000", r));
}

TEST(CaptureClock, FramesLandOnWholeSamplesWithoutDrift)
{
    FrameRate ntsc;
    ASSERT_TRUE(vqclock::ParseFrameRate("60000/1001", ntsc));
    vqclock::enterCapture(ntsc, 10.0, true, 1);
    const std::uint64_t start = 441000;
    EXPECT_EQ(vqclock::captureSample(0), start);
    // 7560 frames of 60000/1001 are exactly 126.126 s: 5,562,156.6 samples, rounded.
    EXPECT_EQ(vqclock::captureSample(7560), start + 5562157u);
    // Every frame is the exact sample, not a sum of rounded steps: no frame drifts by even one.
    for (std::uint64_t f : {1u, 2u, 999u, 1001u, 3003u, 7559u})
    {
        const double exact = static_cast<double>(f) * 44100.0 * 1001.0 / 60000.0;
        EXPECT_EQ(vqclock::captureSample(f) - start, static_cast<std::uint64_t>(exact + 0.5)) << f;
    }
    vqclock::setCaptureFrame(7560);
    EXPECT_DOUBLE_EQ(vqclock::captureMusicSeconds(), (441000.0 + 5562157.0) / 44100.0);
}

TEST(CaptureClock, ThirtyFramesASecondAreEverySecondFrameOfSixty)
{
    FrameRate thirty{30, 1}, sixty{60, 1};
    std::vector<std::uint64_t> a, b;
    vqclock::enterCapture(thirty, 59.5, true, 1);
    for (std::uint64_t f = 0; f < 300; ++f)
        a.push_back(vqclock::captureSample(f));
    vqclock::enterCapture(sixty, 59.5, true, 1);
    for (std::uint64_t f = 0; f < 600; f += 2)
        b.push_back(vqclock::captureSample(f));
    EXPECT_EQ(a, b);
    // And a capture that starts later on the same grid shows the same samples.
    vqclock::enterCapture(thirty, 60.5, true, 1);
    EXPECT_EQ(vqclock::captureSample(0), a[30]);
}

TEST(CaptureClock, SubFramesOfAWholeShutterAreTheFramesOfAFasterCapture)
{
    FrameRate ntsc{30000, 1001}, faster{120000, 1001}, half{180, 1};
    std::vector<std::uint64_t> blurred, fast;
    vqclock::enterCapture(ntsc, 70.0, true, 1);
    vqclock::setShutter(4, FrameRate{360, 1});
    for (std::uint64_t f = 0; f < 50; ++f)
        for (int j = 0; j < 4; ++j)
        {
            vqclock::setCaptureFrame(f, j);
            blurred.push_back(vqclock::captureSample());
        }
    vqclock::enterCapture(faster, 70.0, true, 1);
    for (std::uint64_t f = 0; f < 200; ++f)
    {
        vqclock::setCaptureFrame(f);
        fast.push_back(vqclock::captureSample());
    }
    EXPECT_EQ(blurred, fast);

    // A half-open shutter spreads the same four pictures over the first half of each interval.
    vqclock::enterCapture(FrameRate{30, 1}, 70.0, true, 1);
    vqclock::setShutter(4, half);
    vqclock::setCaptureFrame(10, 3);
    EXPECT_EQ(vqclock::captureSample(), 3087000u + 14700u + 551u) << "3/4 of half of 1470 samples, rounded";
    EXPECT_EQ(vqclock::captureSample(10), 3087000u + 14700u) << "a frame's own sample ignores its sub-frames";
}
