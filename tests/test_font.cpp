// The bitmap font and the closing picture, drawn on the window.
#include "RenderTestWindow.h"
#include "app/Font.h"

#include <gtest/gtest.h>

#include <string>

using rendertest::At;

namespace
{
bool fontReady()
{
    static bool built = false;
    if (!built)
    {
        glWindow.SetCurrent();
        BuildFont();
        built = true;
    }
    return base != 0;
}

// Clears the window to black, sets pixel drawing and the raster position at (x, y) (y down).
void prepare(int x, int y)
{
    glWindow.SetCurrent();
    glWindow.InitOrtho();
    CResource::UseProgram(0);
    glDisable(GL_TEXTURE_2D);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(1, 1, 1);
    glRasterPos2i(x, y);
}

std::vector<std::uint8_t> picture()
{
    std::vector<std::uint8_t> pic;
    glWindow.ReadPicture(pic);
    return pic;
}

int lit(const std::vector<std::uint8_t>& pic)
{
    int n = 0;
    for (std::size_t i = 0; i < pic.size(); i += 3)
        n += pic[i] > 0 || pic[i + 1] > 0 || pic[i + 2] > 0;
    return n;
}

float rasterX()
{
    GLfloat pos[4] = {};
    glGetFloatv(GL_CURRENT_RASTER_POSITION, pos);
    return pos[0];
}
} // namespace

TEST(Font, PrintDrawsGlyphsAndAdvancesByTheirWidths)
{
    RENDER_NEED(rendertest::Level::Resources);
    ASSERT_TRUE(fontReady());
    prepare(100, 200);
    const float x0 = rasterX();
    glPrint("M");
    const float oneWidth = rasterX() - x0;
    EXPECT_NEAR(oneWidth, 14.0f, 1.0f) << "Liberation Mono at 24 px advances 0.6 em";

    prepare(100, 200);
    glPrint("Score %d!", 42);
    EXPECT_FLOAT_EQ(rasterX() - x0, 9 * oneWidth) << "one advance per character of \"Score 42!\"";
    const auto pic = picture();
    EXPECT_GT(lit(pic), 100);
    // The glyphs sit on the baseline at y 200, within the printed span.
    int inside = 0, outside = 0;
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x)
            if (At(pic, 1024, x, y).max() > 0)
                (x >= 98 && x < 100 + 9 * 15 && y > 200 - 24 && y < 200 + 8 ? inside : outside)++;
    EXPECT_GT(inside, 100);
    EXPECT_EQ(outside, 0);
}

TEST(Font, NullFormatDrawsNothing)
{
    RENDER_NEED(rendertest::Level::Resources);
    ASSERT_TRUE(fontReady());
    prepare(100, 200);
    const float x0 = rasterX();
    glPrint(nullptr);
    EXPECT_FLOAT_EQ(rasterX(), x0);
    EXPECT_EQ(lit(picture()), 0);
}

TEST(Font, CharactersOutsideTheFontCallNoOtherList)
{
    RENDER_NEED(rendertest::Level::Resources);
    ASSERT_TRUE(fontReady());
    // A list of someone else's right where character 200 would land: it paints the window.
    const GLuint foreign = base - 32 + 200;
    ASSERT_FALSE(glIsList(foreign));
    glNewList(foreign, GL_COMPILE);
    glBegin(GL_QUADS);
    glVertex2i(0, 0);
    glVertex2i(1024, 0);
    glVertex2i(1024, 768);
    glVertex2i(0, 768);
    glEnd();
    glEndList();
    prepare(100, 200);
    glPrint("%c%c", 200, '\n');
    EXPECT_EQ(lit(picture()), 0);
    glDeleteLists(foreign, 1);
}

TEST(Font, LongTextIsCutAtTheBuffer)
{
    RENDER_NEED(rendertest::Level::Resources);
    ASSERT_TRUE(fontReady());
    prepare(0, 100);
    glPrint("M");
    const float one = rasterX();
    const std::string longText(1000, 'i');
    prepare(0, 100);
    glPrint("%s", longText.c_str());
    EXPECT_FLOAT_EQ(rasterX(), 255 * one);
}

TEST(Outro, ShowsTheClosingPictureUprightAndLeavesTheCornerBlack)
{
    RENDER_NEED(rendertest::Level::Resources);
    std::vector<std::uint8_t> shown;
    // Something else drew on the window before, with another clear colour and in outlines.
    glWindow.SetCurrent();
    glClearColor(0.9f, 0.9f, 0.9f, 1);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    outro();
    glWindow.ReadPicture(shown);
    ASSERT_EQ(shown.size(), 1024u * 768u * 3u);
    EXPECT_EQ(At(shown, 1024, 1023, 767).max(), 0);
    EXPECT_EQ(At(shown, 1024, 1023, 300).max(), 0) << "the last column keeps the clear colour";
    EXPECT_EQ(At(shown, 1024, 500, 767).max(), 0) << "the last row keeps the clear colour";

    int w = 0, h = 0;
    std::vector<std::uint8_t> jpeg;
    std::string error;
    ASSERT_TRUE(ReadJpeg("slutt.jpg", w, h, jpeg, error)) << error;
    ASSERT_EQ(w, 1024);
    ASSERT_EQ(h, 768);
    // The quad is 1023 x 767 pixels for a 1024 x 768 picture: nearly 1:1, so rows and columns
    // match within the resampling's blur. Compare the mean of the upper and lower halves: an
    // upside-down picture would swap them.
    double diff = 0, upperShown = 0, lowerShown = 0, upperFile = 0, lowerFile = 0;
    long n = 0;
    for (int y = 8; y < 760; y += 4)
        for (int x = 8; x < 1016; x += 4)
        {
            const int a = At(shown, 1024, x, y).g, b = At(jpeg, 1024, x, y).g;
            diff += std::abs(a - b);
            ++n;
            (y < 384 ? upperShown : lowerShown) += a;
            (y < 384 ? upperFile : lowerFile) += b;
        }
    EXPECT_LT(diff / n, 6.0) << "the picture is shown unchanged";
    EXPECT_GT(upperFile, lowerFile * 1.1) << "the closing picture's sky is brighter than its ground";
    EXPECT_GT(upperShown, lowerShown * 1.1);
}
