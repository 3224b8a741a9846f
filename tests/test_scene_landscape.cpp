// The landscape end to end: frames captured headless through the piece's own capture mode show a
// real, moving picture that fades in from black and out to white; and the sea's layer cross-fade.
#include "app/PngFile.h"
#include "scenes/CCamRecord.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace
{
struct Picture
{
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;

    double MeanLuma() const
    {
        double sum = 0;
        for (std::size_t i = 0; i < rgb.size(); i += 3)
            sum += 0.299 * rgb[i] + 0.587 * rgb[i + 1] + 0.114 * rgb[i + 2];
        return sum / (rgb.size() / 3);
    }
    double LumaDeviation() const
    {
        const double mean = MeanLuma();
        double sum = 0;
        for (std::size_t i = 0; i < rgb.size(); i += 3)
        {
            const double l = 0.299 * rgb[i] + 0.587 * rgb[i + 1] + 0.114 * rgb[i + 2] - mean;
            sum += l * l;
        }
        return std::sqrt(sum / (rgb.size() / 3));
    }
    // Colours counted at 5 bits per channel.
    std::size_t Colours() const
    {
        std::set<int> seen;
        for (std::size_t i = 0; i < rgb.size(); i += 3)
            seen.insert((rgb[i] >> 3) << 10 | (rgb[i + 1] >> 3) << 5 | (rgb[i + 2] >> 3));
        return seen.size();
    }
    // Share of pixels whose green clearly leads (the island's shrub and leaves).
    double GreenShare() const
    {
        std::size_t n = 0;
        for (std::size_t i = 0; i < rgb.size(); i += 3)
            n += rgb[i + 1] > rgb[i] + 15 && rgb[i + 1] > rgb[i + 2] + 15;
        return static_cast<double>(n) / (rgb.size() / 3);
    }
};

class LandscapeCapture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!std::getenv("VQ_BINARY") || !std::getenv("VQ_DATA_DIR"))
            GTEST_SKIP() << "VQ_BINARY or VQ_DATA_DIR not set (run through ctest)";
        char dir[] = "/tmp/vq_landscape_capture_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        root = dir;
    }
    void TearDown() override
    {
        if (!root.empty())
            std::system(("rm -rf '" + root + "'").c_str());
    }

    // Captures `frames` frames at 10 fps from music time `start`; fails the test when the program
    // fails or a frame is missing.
    std::vector<Picture> Capture(double start, int frames)
    {
        const std::string out = root + "/s" + std::to_string(static_cast<int>(start * 10));
        const std::string cmd = std::string("'") + std::getenv("VQ_BINARY") + "' --data '" +
                                std::getenv("VQ_DATA_DIR") + "' --capture '" + out + "' --fps 10 --start " +
                                std::to_string(start) + " --frames " + std::to_string(frames) +
                                " --seed 1 > '" + root + "/log' 2>&1";
        const int status = std::system(cmd.c_str());
        EXPECT_EQ(status, 0) << cmd;
        std::vector<Picture> pictures;
        for (int f = 0; f < frames; ++f)
        {
            char name[32];
            std::snprintf(name, sizeof name, "/frame_%05d.png", f);
            Picture p;
            std::string error;
            if (!ReadPng(out + name, p.width, p.height, p.rgb, error))
            {
                ADD_FAILURE() << error;
                return {};
            }
            pictures.push_back(std::move(p));
        }
        return pictures;
    }

    std::string root;
};
} // namespace

TEST_F(LandscapeCapture, MidFlightFramesShowTheIslandAndMove)
{
    const std::vector<Picture> frames = Capture(20.0, 3);
    ASSERT_EQ(frames.size(), 3u);
    for (const Picture& p : frames)
    {
        EXPECT_EQ(p.width, 1024);
        EXPECT_EQ(p.height, 768);
        EXPECT_GT(p.LumaDeviation(), 20.0) << "a flat picture";
        EXPECT_GT(p.Colours(), 500u) << "too few colours for a landscape";
        EXPECT_GT(p.GreenShare(), 0.1) << "no island in view";
    }
    double moved = 0;
    for (std::size_t i = 0; i < frames[0].rgb.size(); ++i)
        moved += std::abs(frames[0].rgb[i] - frames[2].rgb[i]);
    EXPECT_GT(moved / frames[0].rgb.size(), 1.0) << "the camera does not move";
}

TEST_F(LandscapeCapture, FadesInFromBlackAndOutToWhite)
{
    const std::vector<Picture> first = Capture(0.0, 1);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_LT(first[0].MeanLuma(), 4.0) << "the first frame is not black";

    const std::vector<Picture> last = Capture(50.7, 1);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_GT(last[0].MeanLuma(), 245.0) << "the scene does not end in white";
}

TEST(LandscapeSea, CrossFadeAdvancesByTimeAndRestartsExactlyAtZero)
{
    using Scene = CDemoHandler::CCamRecord;
    int layer = 0;
    float interp = 0.0f;
    Scene::AdvanceSea(layer, interp, 100.0f);
    EXPECT_FLOAT_EQ(interp, 0.5f);
    EXPECT_EQ(layer, 0);
    Scene::AdvanceSea(layer, interp, 100.0f); // exactly 1.0: not past it yet
    EXPECT_FLOAT_EQ(interp, 1.0f);
    EXPECT_EQ(layer, 0);
    Scene::AdvanceSea(layer, interp, 130.0f); // 1.65: restarts at 0, whatever the overshoot
    EXPECT_EQ(interp, 0.0f);
    EXPECT_EQ(layer, 1);

    // The layers run 0, 1, 2, 3, 0, ... and the one after 3 is 0.
    for (int expected : {2, 3, 0, 1})
    {
        Scene::AdvanceSea(layer, interp, 250.0f);
        EXPECT_EQ(layer, expected);
    }
    EXPECT_EQ(Scene::NextLayer(3), 0);
    EXPECT_EQ(Scene::NextLayer(0), 1);
    // A long stall moves on by one layer only.
    Scene::AdvanceSea(layer, interp, 5000.0f);
    EXPECT_EQ(layer, 2);
    EXPECT_EQ(interp, 0.0f);
}
