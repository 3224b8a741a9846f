// Pictures averaged in linear light: the supersampling reduction and the shutter's mean.
#include "app/Resample.h"

#include <gtest/gtest.h>

TEST(LinearAccumulator, AveragesInLinearLightNotInCodedBytes)
{
    LinearAccumulator a;
    a.Reset(1, 1);
    a.Add({0, 0, 0}, 1);
    a.Add({255, 255, 255}, 1);
    std::vector<std::uint8_t> out;
    a.Result(out);
    ASSERT_EQ(out.size(), 3u);
    // Half the light of white is sRGB 188, not the 128 a byte average would give.
    EXPECT_EQ(out[0], 188);
    EXPECT_EQ(a.Count(), 2);
}

TEST(LinearAccumulator, OnePictureComesBackUnchanged)
{
    std::vector<std::uint8_t> pic(4 * 3 * 3);
    for (std::size_t i = 0; i < pic.size(); ++i)
        pic[i] = static_cast<std::uint8_t>(i * 23 % 256);
    LinearAccumulator a;
    a.Reset(4, 3);
    a.Add(pic, 1);
    std::vector<std::uint8_t> out;
    a.Result(out);
    EXPECT_EQ(out, pic) << "decoding and coding again must not lose a code";
    // Every code survives the round trip, the dark end included.
    std::vector<std::uint8_t> ramp(256 * 3);
    for (int i = 0; i < 256; ++i)
        ramp[3 * i] = ramp[3 * i + 1] = ramp[3 * i + 2] = static_cast<std::uint8_t>(i);
    a.Reset(256, 1);
    a.Add(ramp, 1);
    a.Result(out);
    EXPECT_EQ(out, ramp);
}

TEST(LinearAccumulator, ReducesEachBlockOfALargerPictureToOnePixel)
{
    // 4 x 2 pixels reduced by 2: the left block black and white in a checker, the right all grey.
    const std::vector<std::uint8_t> big = {0,   0,   0,   255, 255, 255, 90, 90, 90, 90, 90, 90,
                                           255, 255, 255, 0,   0,   0,   90, 90, 90, 90, 90, 90};
    LinearAccumulator a;
    a.Reset(2, 1);
    a.Add(big, 2);
    std::vector<std::uint8_t> out;
    a.Result(out);
    ASSERT_EQ(out.size(), 6u);
    EXPECT_EQ(out[0], 188);
    EXPECT_EQ(out[3], 90);
    // A picture too small for the size asked is ignored, not read past its end.
    a.Reset(2, 1);
    a.Add(std::vector<std::uint8_t>(5, 0), 2);
    EXPECT_EQ(a.Count(), 0);
}
