// The vortex scene end to end. In process: Setup builds its cube maps (rows as the files store
// them), programs, textures and lists in its own buffer, and one frame draws white background,
// black outlines and a coloured blob there. As a user sees it: the program captures a few frames
// headless, and every frame shows the same through the glow.
#include "RenderTestWindow.h"
#include "app/PngFile.h"
#include "audio/CBass.h"
#include "resource/CTexture.h"
#include "scenes/CVortex.h"

#include "support/RunProgram.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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

struct FrameCensus
{
    double white = 0; // share of near-white pixels
    long dark = 0; // dark grey to black, unsaturated: the ring outlines (the glow greys them on loud beats)
    long blob = 0; // saturated pixels where blue or green leads red: the blob (the logo leans red)
};

FrameCensus census(const std::vector<std::uint8_t>& rgb)
{
    FrameCensus c;
    long white = 0;
    const std::size_t n = rgb.size() / 3;
    for (std::size_t i = 0; i < n; ++i)
    {
        const int r = rgb[3 * i], g = rgb[3 * i + 1], b = rgb[3 * i + 2];
        const int mx = std::max({r, g, b}), mn = std::min({r, g, b});
        white += mn >= 230;
        c.dark += mx <= 170 && mx - mn <= 30;
        c.blob += mx >= 60 && std::max(g, b) - r >= 40;
    }
    c.white = static_cast<double>(white) / static_cast<double>(n);
    return c;
}

struct Counts
{
    long white = 0, black = 0, blob = 0;
};

Counts strictCounts(const std::vector<std::uint8_t>& rgb)
{
    Counts c;
    for (std::size_t i = 0; i < rgb.size(); i += 3)
    {
        const int r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
        const int mx = std::max({r, g, b}), mn = std::min({r, g, b});
        c.white += mn >= 250;
        c.black += mx <= 10;
        c.blob += mx >= 60 && std::max(g, b) - r >= 40;
    }
    return c;
}

class VortexScene : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (env("VQ_BINARY").empty())
            GTEST_SKIP() << "VQ_BINARY not set (run through ctest)";
        dir = "/tmp/vq_scene_vortex_" + std::to_string(getpid());
        std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
    }
    void TearDown() override
    {
        if (!dir.empty())
            std::system(("rm -rf '" + dir + "'").c_str());
    }

    // Runs a capture; returns the exit status and keeps the program's output.
    int capture(const std::string& args)
    {
        const ProgramResult r = RunProgram("--capture '" + dir + "' " + args, dir + "/log.txt");
        output = r.output;
        return r.status;
    }

    bool frame(int index, std::vector<std::uint8_t>& rgb)
    {
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%05d.png", index);
        int w = 0, h = 0;
        std::string error;
        if (!ReadPng(dir + name, w, h, rgb, error))
        {
            ADD_FAILURE() << error;
            return false;
        }
        EXPECT_EQ(w, 1024);
        EXPECT_EQ(h, 768);
        return true;
    }

    std::string dir, output;
};
} // namespace

TEST(VortexSetup, BuildsEverythingInItsBufferAndDrawsTheSceneThere)
{
    RENDER_NEED(rendertest::Level::Bloom);
    auto* v = new CDemoHandler::CVortex;
    v->Setup();
    EXPECT_TRUE(glWindow.IsCurrent()) << "Setup must leave the window current";
    EXPECT_NE(res.envMapProg, 0u);
    EXPECT_NE(res.logoProg, 0u);
    EXPECT_GE(v->interpLoc, 0);
    EXPECT_GE(v->sposLoc, 0);
    EXPECT_GE(v->strLoc, 0);
    EXPECT_NE(v->ringList, 0u);
    EXPECT_NE(v->logoList, 0u);
    EXPECT_EQ(v->sposX, 0.0f);
    EXPECT_EQ(v->sposY, 0.5f);

    v->sceneBuf.SetCurrent("test_vortex");
    // Every face holds its picture with the rows as the file stores them (bottom row first).
    const std::pair<const char*, unsigned> cubes[] = {{"water_d2.bmp", v->waterCube},
                                                      {"PlasmaSlime.bmp", v->slimeCube}};
    for (const auto& [file, cube] : cubes)
    {
        BitmapImage img;
        std::string error;
        ASSERT_EQ(ReadBitmap(file, img, error), 0) << error;
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
        for (GLenum face : {GL_TEXTURE_CUBE_MAP_POSITIVE_X, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z})
        {
            std::vector<std::uint8_t> texels(img.rgb.size());
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glGetTexImage(face, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
            EXPECT_TRUE(texels == img.rgb) << file << " face " << face;
        }
    }
    glBindTexture(GL_TEXTURE_CUBE_MAP, v->waterCube);
    for (CTexture* t : {&res.logoTex, &res.codeTex, &res.gfxTex})
    {
        t->Bind();
        GLint minFilter = 0, magFilter = 0, w = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        EXPECT_EQ(minFilter, GL_NEAREST);
        EXPECT_EQ(magFilter, GL_NEAREST);
        EXPECT_GT(w, 0) << "texture without an image";
    }
    GLfloat spos[3] = {-1, -1, -1};
    glGetUniformfv(res.logoProg, v->sposLoc, spos);
    EXPECT_EQ(spos[0], 0.5f);
    EXPECT_EQ(spos[1], 0.5f);
    EXPECT_EQ(spos[2], 0.0f);
    glWindow.SetCurrent();

    // One tick steps the logo and the blob's blend; then one frame. Before the glow the scene's own
    // picture is plain: white, pure black lines, the blob.
    v->Tick(CDemoHandler::Tick{3050, 3050.0 / 60, 50833, 0.0f});
    bass.seconds = static_cast<float>(3050.0 / 60); // no music plays here: the frame's time by hand
    v->Render();
    EXPECT_TRUE(glWindow.IsCurrent()) << "Render must leave the window current";
    v->sceneBuf.SetCurrent("test_vortex");
    const Counts c = strictCounts(rendertest::ReadTarget());
    glWindow.SetCurrent();
    EXPECT_GT(c.white, 1024L * 1024 / 2);
    EXPECT_GT(c.black, 3000);
    EXPECT_GT(c.blob, 3000);
    EXPECT_EQ(v->sposX, 0.03f);
    EXPECT_EQ(v->interp, 0.02f);
    delete v;
}

TEST_F(VortexScene, FramesShowWhiteTunnelBlackRingsAndAColouredBlob)
{
    const int frames = 3;
    ASSERT_EQ(capture("--fps 10 --start 60 --frames " + std::to_string(frames) + " --seed 1"), 0) << output;
    EXPECT_NE(output.find("vortex"), std::string::npos) << output;

    std::vector<std::uint8_t> first, rgb;
    for (int i = 0; i < frames; ++i)
    {
        ASSERT_TRUE(frame(i, rgb));
        const FrameCensus c = census(rgb);
        EXPECT_GT(c.white, 0.35) << "frame " << i << ": the white background is missing";
        EXPECT_GT(c.dark, 1500) << "frame " << i << ": the rings' black outlines are missing";
        EXPECT_GT(c.blob, 3000) << "frame " << i << ": the coloured blob is missing";
        std::printf("frame %d: white %.2f, outline pixels %ld, blob pixels %ld\n", i, c.white, c.dark,
                    c.blob);
        if (i == 0)
            first = rgb;
    }
    // The rings fly and the blob melts: the last frame is not the first again.
    long changed = 0;
    for (std::size_t p = 0; p < rgb.size(); ++p)
        changed += std::abs(static_cast<int>(rgb[p]) - static_cast<int>(first[p])) > 24;
    EXPECT_GT(changed, static_cast<long>(rgb.size() / 100));
}
