// The glow filter on the real GL: what it adds, what it leaves alone, and the state it leaves.
// bass is never started here, so range(2, 3) is whatever the tests put into its spectrum.
#include "RenderTestWindow.h"
#include "audio/CBass.h"
#include "render/CBloom.h"

#include <gtest/gtest.h>

#include <cmath>

using rendertest::At;
using rendertest::Pixel;
using rendertest::ReadTarget;

namespace
{
void setLevel(float level)
{
    // range(2, 3) is the sum of bins 2 and 3.
    bass.fft[2] = level * 0.5f;
    bass.fft[3] = level * 0.5f;
}

// The scene's picture: black with a square of the given grey at x0..x1, y0..y1 (y down).
struct Scene
{
    CPBuffer src, dst;
    GLuint dstTex = 0;
    Scene()
    {
        glWindow.SetCurrent();
        src.Init(1024, 1024);
        dst.Init(1024, 1024);
        dst.SetOrtho();
        glEnable(GL_TEXTURE_2D);
        glGenTextures(1, &dstTex);
        glBindTexture(GL_TEXTURE_2D, dstTex);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    }
    ~Scene()
    {
        src.Remove();
        dst.Remove();
        setLevel(0);
    }
    void Square(int x0, int y0, int x1, int y1, float grey = 1.0f)
    {
        src.SetOrtho();
        rendertest::DrawSquare(x0, y0, x1, y1, grey);
    }
    std::vector<std::uint8_t> ToBuffer(float strength)
    {
        bloom.Bloom_pBuff(&src, &dst, dstTex, strength);
        return ReadTarget();
    }
    std::vector<std::uint8_t> ToScreen(float unused = 0.0f, float level = 0.5f)
    {
        bloom.Bloom_screen(&src, unused, level);
        std::vector<std::uint8_t> pic;
        glWindow.ReadPicture(pic);
        return pic;
    }
};

int maxOutside(const std::vector<std::uint8_t>& pic, int w, int h, int x0, int y0, int x1, int y1, int margin)
{
    int m = 0;
    for (int y = 0; y < h; y += 2)
        for (int x = 0; x < w; x += 2)
        {
            if (x >= x0 - margin && x < x1 + margin && y >= y0 - margin && y < y1 + margin)
                continue;
            m = std::max(m, At(pic, w, x, y).max());
        }
    return m;
}
} // namespace

TEST(CBloomOffsets, SevenBySevenGridOfSteps)
{
    float o[2 * CBloom::kTaps];
    CBloom::BlurOffsets(o);
    EXPECT_FLOAT_EQ(o[0], -3 * 0.000976f);
    EXPECT_FLOAT_EQ(o[1], -3 * 0.000976f);
    // Entry 7 i + j = ((i - 3) step, (j - 3) step).
    EXPECT_FLOAT_EQ(o[2 * (7 * 1 + 5)], -2 * 0.000976f);
    EXPECT_FLOAT_EQ(o[2 * (7 * 1 + 5) + 1], 2 * 0.000976f);
    EXPECT_FLOAT_EQ(o[2 * 24], 0.0f);
    EXPECT_FLOAT_EQ(o[2 * 24 + 1], 0.0f);
    EXPECT_FLOAT_EQ(o[2 * 48], 3 * 0.000976f);
    EXPECT_FLOAT_EQ(o[2 * 48 + 1], 3 * 0.000976f);
}

// First, while no Bloom_screen has run: the buffer variant runs at bright-pass level 1.0, and
// after a Bloom_screen at whatever level that set.
TEST(CBloom, BufferVariantUsesTheLevelTheScreenVariantLastSet)
{
    RENDER_NEED(rendertest::Level::Bloom);
    Scene s;
    setLevel(1.0f);
    s.Square(480, 480, 544, 544, 0.5f); // mid grey: below the knee at level 1.0, above it at 0.5
    const int before = maxOutside(s.ToBuffer(1.0f), 1024, 1024, 480, 480, 544, 544, 2);
    EXPECT_EQ(before, 0) << "level 1.0 keeps nothing of a mid grey";
    s.ToScreen(0.0f, 0.5f);
    s.Square(480, 480, 544, 544, 0.5f);
    const int after = maxOutside(s.ToBuffer(1.0f), 1024, 1024, 480, 480, 544, 544, 2);
    EXPECT_GT(after, 4) << "level 0.5 from Bloom_screen lets the grey glow";
}

TEST(CBloom, AWhiteSquareGlowsAroundItselfOnTheWindow)
{
    RENDER_NEED(rendertest::Level::Bloom);
    Scene s;
    s.Square(496, 496, 528, 528);
    setLevel(1.0f);
    const auto pic = s.ToScreen();
    // The square lands at x 496..528, y 372..396 on the 4:3 window.
    const int near = At(pic, 1024, 512, 410).max(), nearer = At(pic, 1024, 512, 402).max();
    const int side = At(pic, 1024, 470, 384).max(), far = At(pic, 1024, 512, 560).max();
    EXPECT_EQ(At(pic, 1024, 512, 384).max(), 255);
    EXPECT_GT(nearer, 20) << "glow right below the square";
    EXPECT_GT(near, 8);
    EXPECT_GT(side, 8);
    EXPECT_GE(nearer, near) << "the glow fades with distance";
    EXPECT_LT(far, near);
    EXPECT_EQ(At(pic, 1024, 10, 10).max(), 0) << "no glow far away";
}

TEST(CBloom, InSilenceThePictureIsUnchanged)
{
    RENDER_NEED(rendertest::Level::Bloom);
    Scene s;
    setLevel(0.0f);
    s.Square(300, 200, 700, 260);
    const auto buf = s.ToBuffer(1.0f);
    s.src.SetCurrent("test_src");
    const auto original = ReadTarget();
    ASSERT_EQ(buf.size(), original.size());
    int worst = 0;
    for (std::size_t i = 0; i < buf.size(); ++i)
        worst = std::max(worst, std::abs(int(buf[i]) - int(original[i])));
    EXPECT_LE(worst, 1) << "Bloom_pBuff with range(2, 3) = 0 copies the source";

    const auto screen = s.ToScreen();
    // The source squeezed onto the window: the bar at y 200..260 becomes 150..195.
    EXPECT_EQ(At(screen, 1024, 500, 170).max(), 255);
    EXPECT_EQ(maxOutside(screen, 1024, 768, 300, 150, 700, 195, 2), 0) << "no glow at all";
}

TEST(CBloom, StrengthScalesTheGlowOfTheBufferVariant)
{
    RENDER_NEED(rendertest::Level::Bloom);
    Scene s;
    setLevel(0.5f);
    s.Square(496, 496, 528, 528);
    const int one = At(s.ToBuffer(1.0f), 1024, 512, 540).max();
    s.Square(496, 496, 528, 528);
    const int two = At(s.ToBuffer(2.0f), 1024, 512, 540).max();
    EXPECT_GT(one, 4);
    EXPECT_NEAR(two, 2 * one, 3);
}

TEST(CBloom, TheSecondArgumentOfBloomScreenChangesNothing)
{
    RENDER_NEED(rendertest::Level::Bloom);
    Scene s;
    setLevel(1.0f);
    s.Square(100, 100, 400, 300);
    const auto a = s.ToScreen(0.0f);
    s.Square(100, 100, 400, 300);
    const auto b = s.ToScreen(123.0f);
    EXPECT_EQ(a, b);
}

TEST(CBloom, ScreenVariantLeavesWindowUnitOneAndTheAdditiveProgram)
{
    RENDER_NEED(rendertest::Level::Bloom);
    Scene s;
    s.Square(0, 0, 10, 10);
    bloom.Bloom_screen(&s.src, 0.0f, 0.5f);
    EXPECT_TRUE(glWindow.IsCurrent());
    GLint unit = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    EXPECT_EQ(unit, GL_TEXTURE1);
    EXPECT_EQ(glGetHandleARB(GL_PROGRAM_OBJECT_ARB), res.additiveProg);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<unsigned>(bound), res.screenTex2) << "the window's own name is bound again";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(CBloom, BufferVariantLeavesTheDestinationCurrent)
{
    RENDER_NEED(rendertest::Level::Bloom);
    Scene s;
    s.Square(0, 0, 10, 10);
    bloom.Bloom_pBuff(&s.src, &s.dst, s.dstTex, 1.0f);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<unsigned>(bound), s.dstTex);
    EXPECT_TRUE(s.dst.IsCurrent());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
