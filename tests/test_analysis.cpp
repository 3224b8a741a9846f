// The track analysis behind vqdemo --analyze: section split, percentiles, the vortex jump rule and
// the floor flash count, on level sequences made up for the purpose.
#include "audio/Analysis.h"
#include "audio/PcmTrack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
std::vector<float> flat(double seconds, float v)
{
    return std::vector<float>(static_cast<std::size_t>(seconds * kAnalysisFps), v);
}

void set(std::vector<float>& l, double t, float v)
{
    l[static_cast<std::size_t>(std::llround(t * kAnalysisFps))] = v;
}
} // namespace

TEST(Analysis, SplitsAtTheSceneBoundaries)
{
    std::vector<float> l = flat(130.0, 0.1f);
    for (std::size_t i = 0; i < l.size(); ++i)
    {
        const double t = static_cast<double>(i) / kAnalysisFps;
        l[i] = t < 50.8 ? 0.1f : t < 80.8 ? 0.2f : t < 123.0 ? 0.3f : 0.4f;
    }
    const std::vector<BassSectionStats> s = AnalyzeBassSections(l, 130.0);
    ASSERT_EQ(s.size(), 4u);
    const char* names[4] = {"intro", "vortex", "dance", "ending"};
    const float values[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    for (int k = 0; k < 4; ++k)
    {
        EXPECT_EQ(s[k].name, names[k]);
        EXPECT_FLOAT_EQ(s[k].mean, values[k]) << names[k];
        EXPECT_FLOAT_EQ(s[k].max, values[k]) << names[k];
    }
    EXPECT_EQ(s[0].frames, 3048); // 0 .. 50.8 s at 60 frames per second
    EXPECT_EQ(s[1].frames, 1800);
    EXPECT_EQ(s[2].frames, 2532);
    EXPECT_EQ(s[3].frames, 420);
    EXPECT_DOUBLE_EQ(s[3].end, 130.0);
}

TEST(Analysis, PercentileShareAndRises)
{
    std::vector<float> l = flat(130.0, 0.0f);
    // Dance: 100 frames from 81 s: 90 at 0.1 and 10 separate frames at 1.0.
    for (int i = 0; i < 2532; ++i)
        l[static_cast<std::size_t>(4848 + i)] = 0.1f;
    for (int k = 0; k < 10; ++k)
        set(l, 81.0 + k, 1.0f);
    set(l, 90.5, 0.6f); // exactly 0.6 is no flash
    const BassSectionStats d = AnalyzeBassSections(l, 130.0)[2];
    EXPECT_EQ(d.rises, 10);
    EXPECT_NEAR(d.shareAbove, 10.0 / 2532.0, 1e-12);
    EXPECT_FLOAT_EQ(d.p95, 0.1f);
    EXPECT_FLOAT_EQ(d.max, 1.0f);
}

TEST(Analysis, VortexJumpNeedsMoreThanTwoAndFourHundredMilliseconds)
{
    std::vector<float> l = flat(130.0, 0.5f);
    set(l, 51.0, 2.5f);
    set(l, 51.3, 2.5f);  // 300 ms later: no second jump
    set(l, 51.5, 2.0f);  // not strictly above 2.0
    set(l, 51.45, 2.1f); // 450 ms after the last jump: counts
    set(l, 60.0, 2.01f);
    set(l, 60.4, 2.2f); // exactly 400 ms: not more than 400
    EXPECT_EQ(AnalyzeBassSections(l, 130.0)[1].jumps, 3);
    // Each section starts counting afresh: a beat just before 50.8 s does not block one just after.
    std::vector<float> m = flat(130.0, 0.0f);
    set(m, 50.75, 3.0f);
    set(m, 50.8, 3.0f);
    const std::vector<BassSectionStats> s = AnalyzeBassSections(m, 130.0);
    EXPECT_EQ(s[0].jumps, 1);
    EXPECT_EQ(s[1].jumps, 1);
}

TEST(Analysis, LevelsComeFromTheSpectrumEndingAtEachFrame)
{
    // A 108 Hz tone starting at 1.0 s: silent before, the band level of a sine between bins 2 and 3 after.
    PcmTrack t;
    t.samples.assign(3 * 44100 * 2, 0);
    for (std::size_t i = 44100; i < 3 * 44100; ++i)
    {
        const auto v = static_cast<std::int16_t>(16384.0 * std::sin(2.0 * M_PI * 107.666 * i / 44100.0));
        t.samples[2 * i] = v;
        t.samples[2 * i + 1] = v;
    }
    const std::vector<float> l = BassLevels(t);
    ASSERT_EQ(l.size(), 180u);
    EXPECT_EQ(l[60], 0.0f);            // the window ends exactly where the tone starts
    EXPECT_GT(l[62], 1.5f);            // 33 ms later the window is full of it
    EXPECT_NEAR(l[120], 1.70f, 0.05f); // half scale, half a bin off both centres: 2 x 0.5 x 2 x 0.85
}
