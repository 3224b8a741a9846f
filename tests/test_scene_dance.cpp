// The dance scene end to end: the program captures a few frames of it headless, once as built and
// once from a data folder whose character list is empty. The second run shows the floor alone:
// its tiles must carry their colours where the camera sees them, and the cave must close the
// picture (the target's white clear colour never shows). The difference between the runs is the
// character: he must be there, standing on the floor in the middle of the picture.
#include "app/PngFile.h"

#include "support/RunProgram.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace
{
std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::vector<std::string> entries(const std::string& dir)
{
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str()))
    {
        while (const dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                out.push_back(e->d_name);
        closedir(d);
    }
    return out;
}

struct Rgb
{
    double r = 0, g = 0, b = 0;
};

// The dance camera: gluLookAt((3, 9, -6.6), (-0.05, 0, -29.6), (0, 1, 0)), 45 degrees on the
// square target, which the bloom squeezes onto the 1024 x 768 window.
void project(double x, double y, double z, double& px, double& py)
{
    const double ex = 3, ey = 9, ez = -6.6;
    double fx = -0.05 - ex, fy = 0 - ey, fz = -29.6 - ez;
    const double fl = std::sqrt(fx * fx + fy * fy + fz * fz);
    fx /= fl, fy /= fl, fz /= fl;
    double sx = -fz, sz = fx; // f x (0, 1, 0), y component 0
    const double sl = std::sqrt(sx * sx + sz * sz);
    sx /= sl, sz /= sl;
    const double ux = -sz * fy, uy = sz * fx - sx * fz, uz = sx * fy; // s x f
    const double dx = x - ex, dy = y - ey, dz = z - ez;
    const double depth = dx * fx + dy * fy + dz * fz;
    const double t = std::tan(22.5 * 3.14159265358979 / 180.0);
    const double nx = (dx * sx + dz * sz) / depth / t, ny = (dx * ux + dy * uy + dz * uz) / depth / t;
    px = (nx + 1.0) * 0.5 * 1024.0;
    py = (1.0 - (ny + 1.0) * 0.5) * 768.0;
}

class DanceScene : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (env("VQ_BINARY").empty() || env("VQ_DATA_DIR").empty())
            GTEST_SKIP() << "VQ_BINARY or VQ_DATA_DIR not set (run through ctest)";
        dir = "/tmp/vq_scene_dance_" + std::to_string(getpid());
        std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "/with' '" + dir + "/without'").c_str());
    }
    void TearDown() override
    {
        if (!dir.empty())
            std::system(("rm -rf '" + dir + "'").c_str());
    }

    // The data folder as built, but MrKalv.ohlf lists no part.
    std::string dataWithoutDancer()
    {
        const std::string data = env("VQ_DATA_DIR"), d = dir + "/data";
        mkdir(d.c_str(), 0755);
        mkdir((d + "/MrKalv").c_str(), 0755);
        for (const std::string& e : entries(data))
        {
            if (e == "MrKalv")
                continue;
            EXPECT_EQ(symlink((data + "/" + e).c_str(), (d + "/" + e).c_str()), 0) << e;
        }
        for (const std::string& e : entries(data + "/MrKalv"))
        {
            if (e == "MrKalv.ohlf")
                continue;
            EXPECT_EQ(symlink((data + "/MrKalv/" + e).c_str(), (d + "/MrKalv/" + e).c_str()), 0) << e;
        }
        std::ofstream(d + "/MrKalv/MrKalv.ohlf").close();
        return d;
    }

    int capture(const std::string& out, const std::string& args)
    {
        const ProgramResult r = RunProgram("--capture '" + out + "' " + args, out + "/log.txt");
        output = r.output;
        return r.status;
    }

    bool frame(const std::string& out, int index, std::vector<std::uint8_t>& rgb)
    {
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%05d.png", index);
        int w = 0, h = 0;
        std::string error;
        if (!ReadPng(out + name, w, h, rgb, error))
        {
            ADD_FAILURE() << error;
            return false;
        }
        return w == 1024 && h == 768;
    }

    std::string dir, output;
};

// Mean colour of the 7 x 7 pixels around (x, y).
Rgb sample(const std::vector<std::uint8_t>& rgb, double x, double y)
{
    Rgb c;
    int n = 0;
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx)
        {
            const int px = static_cast<int>(x) + dx, py = static_cast<int>(y) + dy;
            if (px < 0 || py < 0 || px >= 1024 || py >= 768)
                continue;
            const std::uint8_t* p =
                &rgb[(static_cast<std::size_t>(py) * 1024 + static_cast<std::size_t>(px)) * 3];
            c.r += p[0], c.g += p[1], c.b += p[2];
            ++n;
        }
    if (n > 0)
        c.r /= n, c.g /= n, c.b /= n;
    return c;
}
} // namespace

TEST_F(DanceScene, ColouredFloorInAClosedCaveAndTheDancerOnIt)
{
    // Three frames: from the second one on the tiles light the scene.
    const std::string args = "--fps 25 --start 85 --frames 3 --seed 1";
    ASSERT_EQ(capture(dir + "/with", args + " --data '" + env("VQ_DATA_DIR") + "'"), 0) << output;
    EXPECT_NE(output.find("dance"), std::string::npos) << output;
    ASSERT_EQ(capture(dir + "/without", args + " --data '" + dataWithoutDancer() + "'"), 0) << output;

    for (int index : {1, 2})
    {
        std::vector<std::uint8_t> with, without;
        ASSERT_TRUE(frame(dir + "/with", index, with));
        ASSERT_TRUE(frame(dir + "/without", index, without));

        // The floor: tile [p][q] (p along x, q along z) has the colour (p, q, 2p) / 7 at some
        // brightness. The camera sees rows q = 0..3; red and blue grow along x, green along z.
        const double s = 4.7428575;
        Rgb tile[7][4];
        std::set<long> colours;
        for (int p = 1; p < 7; ++p)
            for (int q = 0; q < 4; ++q)
            {
                double px = 0, py = 0;
                project(-8.76 + (p - 3) * s + s / 2, -8.0, -28.33 + (q - 3) * s + s / 2, px, py);
                if (px < 8 || py < 8 || px > 1016 || py > 760)
                    continue;
                tile[p][q] = sample(without, px, py);
                colours.insert(std::lround(tile[p][q].r / 8) * 1000000 +
                               std::lround(tile[p][q].g / 8) * 1000 + std::lround(tile[p][q].b / 8));
            }
        EXPECT_GE(colours.size(), 10u) << "frame " << index << ": the tiles do not carry their own colours";
        double blueHigh = 0, blueLow = 0, redHigh = 0, redLow = 0;
        for (int q = 0; q < 2; ++q)
        {
            blueHigh += tile[6][q].b, blueLow += tile[2][q].b;
            redHigh += tile[6][q].r, redLow += tile[2][q].r;
        }
        EXPECT_GT(blueHigh, blueLow + 20) << "frame " << index << ": blue does not grow along x";
        EXPECT_GT(redHigh, redLow + 10) << "frame " << index << ": red does not grow along x";
        double greenNear = 0, greenFar = 0;
        for (int p = 4; p < 7; ++p)
            greenNear += tile[p][3].g, greenFar += tile[p][0].g;
        EXPECT_GT(greenNear, greenFar + 10) << "frame " << index << ": green does not grow along z";

        // The cave closes the picture: above the floor's far edge (which the camera sees at about
        // y = 430) nothing shows the white of the empty target. (Flashing tiles may glow white.)
        long white = 0;
        for (std::size_t i = 0; i < static_cast<std::size_t>(1024 * 400 * 3); i += 3)
            white += without[i] == 255 && without[i + 1] == 255 && without[i + 2] == 255;
        EXPECT_LT(white, 1024 * 400 / 500) << "frame " << index << ": the cave leaves holes";

        // The dancer: what differs between the runs, in one figure standing on the floor.
        long changed = 0;
        int x0 = 1024, x1 = -1, y0 = 768, y1 = -1;
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x)
            {
                const std::size_t i = (static_cast<std::size_t>(y) * 1024 + static_cast<std::size_t>(x)) * 3;
                int d = 0;
                for (int c = 0; c < 3; ++c)
                    d += std::abs(static_cast<int>(with[i + c]) - static_cast<int>(without[i + c]));
                if (d < 60)
                    continue;
                ++changed;
                x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
        std::printf("frame %d: %zu tile colours, dancer %ld pixels in x %d..%d, y %d..%d\n", index,
                    colours.size(), changed, x0, x1, y0, y1);
        ASSERT_GT(changed, 8000) << "frame " << index << ": no dancer in the picture";
        // About 13 units tall and near the camera: half the picture's height or more, feet in its
        // lower part, near the middle across.
        EXPECT_GT(y1 - y0, 768 / 2) << "frame " << index;
        EXPECT_GT(y1, 768 * 3 / 4) << "frame " << index;
        EXPECT_GT((x0 + x1) / 2, 1024 / 4) << "frame " << index;
        EXPECT_LT((x0 + x1) / 2, 1024 * 3 / 4) << "frame " << index;
    }
}
