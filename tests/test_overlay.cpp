// The F1 overlay: its frame timing, and as a user sees it in a capture: absent unless asked for,
// confined to its corner when asked for, and a missing font leaves it empty with one warning.
#include "app/Overlay.h"
#include "app/PngFile.h"
#include "support/RunProgram.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace
{
std::string tempDir(const char* tag)
{
    const std::string d = "/tmp/vq_overlay_" + std::string(tag) + "_" + std::to_string(getpid());
    std::system(("rm -rf '" + d + "' && mkdir -p '" + d + "'").c_str());
    return d;
}

std::vector<std::uint8_t> frame(const std::string& dir, int f)
{
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%05d.png", f);
    int w = 0, h = 0;
    std::vector<std::uint8_t> rgb;
    std::string error;
    EXPECT_TRUE(ReadPng(dir + name, w, h, rgb, error)) << error;
    EXPECT_EQ(w, 1024);
    return rgb;
}

// The panel covers x 8..388, y 8..120 of the 1024 x 768 picture.
bool inPanel(std::size_t pixel)
{
    const std::size_t x = pixel % 1024, y = pixel / 1024;
    return x >= 8 && x < 388 && y >= 8 && y < 146;
}

// Captures two frames of the dance scene into dir; environment: "NAME=value ..." for the program.
std::string capture(const std::string& dir, const std::string& extra, const std::string& environment = "")
{
    const std::string log = dir + ".log";
    const std::string cmd = "env " + environment + " '" + std::getenv("VQ_BINARY") + "' --capture '" + dir +
                            "' --fps 30 --start 100 --frames 2 --seed 3 " + extra + " > '" + log + "' 2>&1";
    const int raw = std::system(cmd.c_str());
    const std::string output = ReadWholeFile(log);
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << output;
    std::remove(log.c_str());
    return output;
}

long linesWith(const std::string& text, const std::string& word)
{
    long n = 0;
    std::size_t start = 0;
    while (start < text.size())
    {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        n += text.substr(start, end - start).find(word) != std::string::npos;
        start = end + 1;
    }
    return n;
}
} // namespace

TEST(Overlay, FrameTimeIsTheLastGapAndTheRateItsSmoothedInverse)
{
    Overlay o;
    EXPECT_EQ(o.FrameMillis(), 0.0);
    EXPECT_EQ(o.FramesPerSecond(), 0.0) << "nothing to say before two frames";
    o.CountFrame(1000000);
    EXPECT_EQ(o.FramesPerSecond(), 0.0);
    for (int i = 1; i <= 200; ++i)
        o.CountFrame(1000000 + i * 20000); // 20 ms apart
    EXPECT_DOUBLE_EQ(o.FrameMillis(), 20.0);
    EXPECT_NEAR(o.FramesPerSecond(), 50.0, 1e-6);
    o.CountFrame(1000000 + 200 * 20000 + 100000); // one slow frame of 100 ms
    EXPECT_DOUBLE_EQ(o.FrameMillis(), 100.0);
    EXPECT_GT(o.FramesPerSecond(), 40.0) << "one slow frame dents the rate, it does not make it 10";
    EXPECT_LT(o.FramesPerSecond(), 50.0);
    o.CountFrame(1000000 + 200 * 20000 + 100000); // a clock that did not move counts nothing
    EXPECT_DOUBLE_EQ(o.FrameMillis(), 100.0);
}

TEST(Overlay, OnlyWhenAskedAndOnlyInItsCorner)
{
    if (!std::getenv("VQ_BINARY"))
        GTEST_SKIP() << "VQ_BINARY not set (run through ctest)";
    const std::string plain = tempDir("plain"), shown = tempDir("shown");
    capture(plain, "");
    capture(shown, "--overlay");
    for (int f = 0; f < 2; ++f)
    {
        const auto a = frame(plain, f), b = frame(shown, f);
        ASSERT_EQ(a.size(), b.size());
        long outside = 0, bright = 0;
        for (std::size_t p = 0; p < a.size() / 3; ++p)
        {
            const bool same = std::equal(a.begin() + 3 * p, a.begin() + 3 * p + 3, b.begin() + 3 * p);
            if (!inPanel(p))
                outside += !same;
            else
                bright += b[3 * p] > 240 && b[3 * p + 1] > 240 && b[3 * p + 2] > 240;
        }
        EXPECT_EQ(outside, 0) << "frame " << f << ": the overlay drew outside its corner";
        EXPECT_GT(bright, 500) << "frame " << f << ": white text in the dark cave's corner";
    }
    std::system(("rm -rf '" + plain + "' '" + shown + "'").c_str());
}

TEST(Overlay, WithoutAFontItIsEmptyAndSaysSoOnce)
{
    if (!std::getenv("VQ_BINARY"))
        GTEST_SKIP() << "VQ_BINARY not set (run through ctest)";
    const std::string dir = tempDir("nofaces");
    {
        // A fontconfig that knows no font at all.
        std::ofstream conf(dir + ".conf");
        conf << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>\n"
                "<dir>"
             << dir << "/none</dir>\n<cachedir>" << dir << "/cache</cachedir>\n</fontconfig>\n";
    }
    const std::string out = capture(dir, "--overlay", "FONTCONFIG_FILE='" + dir + ".conf'");
    EXPECT_EQ(linesWith(out, "font"), 1) << out;
    EXPECT_EQ(linesWith(out, "captured 2 frames"), 1) << "and otherwise a capture as always: " << out;
    long bright = 0;
    const auto b = frame(dir, 1);
    for (std::size_t p = 0; p < b.size() / 3; ++p)
        bright += inPanel(p) && b[3 * p] > 240 && b[3 * p + 1] > 240 && b[3 * p + 2] > 240;
    EXPECT_EQ(bright, 0) << "no glyphs without a font";
    std::system(("rm -rf '" + dir + "' '" + dir + ".conf'").c_str());
}
