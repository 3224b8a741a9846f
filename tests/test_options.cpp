#include "app/Options.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
bool parse(std::vector<const char*> args, Options& o, std::string& error)
{
    args.insert(args.begin(), "vqdemo");
    return ParseOptions(static_cast<int>(args.size()), const_cast<char**>(args.data()), o, error);
}
} // namespace

TEST(Options, CaptureLine)
{
    Options o;
    std::string e;
    ASSERT_TRUE(
        parse({"--capture", "out", "--fps", "30", "--start", "60.5", "--frames", "3", "--seed", "9"}, o, e))
        << e;
    EXPECT_EQ(o.captureDir, "out");
    EXPECT_EQ(o.fps.num, 30);
    EXPECT_EQ(o.fps.den, 1);
    EXPECT_EQ(o.start, 60.5);
    EXPECT_EQ(o.frames, 3);
    EXPECT_TRUE(o.haveSeed);
    EXPECT_EQ(o.seed, 9u);
}

TEST(Options, Refusals)
{
    for (auto args : std::vector<std::vector<const char*>>{
             {"--bogus"},
             {"--start"},
             {"--start", "abc"},
             {"--start", "-1"},
             {"--capture", "d"},
             {"--capture", "d", "--fps", "0"},
             {"--capture", "d", "--fps", "10", "--until", "5", "--frames", "3"},
             {"--frames", "3"},
             {"--capture", "d", "--fps", "10", "--frames", "2.5"}})
    {
        Options o;
        std::string e;
        EXPECT_FALSE(parse(args, o, e)) << args[0];
        EXPECT_FALSE(e.empty());
    }
}

TEST(Options, AValueMayBeJoinedToItsOption)
{
    Options o;
    std::string e;
    ASSERT_TRUE(parse({"--capture=out", "--fps=30", "--start=60.5", "--frames", "3", "--data=/a=b"}, o, e))
        << e;
    EXPECT_EQ(o.captureDir, "out");
    EXPECT_EQ(o.fps.num, 30);
    EXPECT_EQ(o.fps.den, 1);
    EXPECT_EQ(o.start, 60.5);
    EXPECT_EQ(o.frames, 3);
    EXPECT_EQ(o.dataDir, "/a=b") << "only the first = splits";

    for (auto args : std::vector<std::vector<const char*>>{{"--windowed=1"}, {"--start="}, {"--bogus=1"}})
    {
        Options r;
        EXPECT_FALSE(parse(args, r, e)) << args[0];
        EXPECT_EQ(e.find('\n'), std::string::npos) << "one line: " << e;
    }
}

TEST(Options, PlainPlay)
{
    Options o;
    std::string e;
    ASSERT_TRUE(parse({"--windowed", "--start", "125.5", "--data", "/x", "--verbose"}, o, e));
    EXPECT_TRUE(o.windowed);
    EXPECT_TRUE(o.verbose);
    EXPECT_EQ(o.dataDir, "/x");
    EXPECT_TRUE(o.captureDir.empty());
}

TEST(Options, AvOffsetForLivePlayOnly)
{
    Options o;
    std::string e;
    ASSERT_TRUE(parse({"--windowed", "--av-offset", "-80"}, o, e)) << e;
    EXPECT_EQ(o.avOffsetMs, -80.0);
    ASSERT_TRUE(parse({"--av-offset=35.5"}, o, e)) << e;
    EXPECT_EQ(o.avOffsetMs, 35.5);
    Options fresh;
    EXPECT_EQ(fresh.avOffsetMs, 0.0);
    for (auto args :
         std::vector<std::vector<const char*>>{{"--av-offset", "soon"},
                                               {"--av-offset", "1001"},
                                               {"--av-offset", "-5000"},
                                               {"--capture", "d", "--fps", "10", "--av-offset", "20"}})
    {
        Options r;
        e.clear();
        EXPECT_FALSE(parse(args, r, e)) << args[0];
        EXPECT_NE(e.find("--av-offset"), std::string::npos) << e;
    }
}

TEST(Options, DesktopConventions)
{
    Options o;
    std::string e;
    EXPECT_EQ(o.fullscreen, Fullscreen::Desktop) << "no mode switch unless asked";
    EXPECT_TRUE(o.vsync);
    ASSERT_TRUE(parse({"--fullscreen=mode", "--display", "1", "--no-vsync", "--version"}, o, e)) << e;
    EXPECT_EQ(o.fullscreen, Fullscreen::Mode);
    EXPECT_EQ(o.display, 1);
    EXPECT_FALSE(o.vsync);
    EXPECT_TRUE(o.version);
    Options d;
    ASSERT_TRUE(parse({"--fullscreen", "desktop"}, d, e)) << e;
    EXPECT_EQ(d.fullscreen, Fullscreen::Desktop);

    for (auto args : std::vector<std::vector<const char*>>{{"--fullscreen", "tv"},
                                                           {"--fullscreen"},
                                                           {"--display", "-1"},
                                                           {"--display", "x"},
                                                           {"--windowed", "--fullscreen", "mode"},
                                                           {"--no-vsync=1"}})
    {
        Options r;
        EXPECT_FALSE(parse(args, r, e)) << args[0];
        EXPECT_EQ(e.find('\n'), std::string::npos) << "one line: " << e;
    }
}
