// The WAV a capture writes as it goes: a valid header after every block, and a failed write that
// leaves the file as it was before it.
#include "audio/WavWriter.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{
std::vector<unsigned char> slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t le32(const std::vector<unsigned char>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::string tempPath(const char* tag)
{
    return std::string(::testing::TempDir()) + "/vq_wav_" + tag + "_" + std::to_string(getpid()) + ".wav";
}
} // namespace

TEST(WavWriter, TheHeaderMatchesTheSamplesAfterEveryAppend)
{
    const std::string path = tempPath("grow");
    WavWriter w;
    std::string e;
    ASSERT_TRUE(w.Open(path, e)) << e;
    std::vector<unsigned char> b = slurp(path);
    ASSERT_EQ(b.size(), 44u) << "an empty but valid file from the start";
    EXPECT_EQ(std::memcmp(b.data(), "RIFF", 4), 0);
    EXPECT_EQ(le32(b, 40), 0u);

    std::vector<std::int16_t> block(2 * 1470);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::int16_t>(i * 7);
    for (int n = 1; n <= 3; ++n)
    {
        ASSERT_TRUE(w.Append(block.data(), 1470, e)) << e;
        // Read while still open: what a killed capture would leave.
        b = slurp(path);
        ASSERT_EQ(b.size(), 44u + 1470u * 4 * n);
        EXPECT_EQ(le32(b, 40), 1470u * 4 * n) << "data chunk size after block " << n;
        EXPECT_EQ(le32(b, 4), 36u + 1470u * 4 * n);
        EXPECT_EQ(le32(b, 24), 44100u);
    }
    EXPECT_EQ(w.Frames(), 3u * 1470u);
    ASSERT_TRUE(w.Close(e)) << e;
    b = slurp(path);
    EXPECT_EQ(b[44 + 2], static_cast<unsigned char>(7)) << "the samples themselves, little-endian";
    std::remove(path.c_str());
}

TEST(WavWriter, AFullDeviceIsReportedNotHidden)
{
    if (access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    WavWriter w;
    std::string e;
    // /dev/full takes the open and refuses every write with "No space left on device".
    EXPECT_FALSE(w.Open("/dev/full", e));
    EXPECT_NE(e.find("/dev/full"), std::string::npos) << e;
    EXPECT_FALSE(w.Append(nullptr, 0, e));
}
