// The loading bar: where it ends after each step, and what a step draws on the window.
#include "RenderTestWindow.h"
#include "app/LoadingBar.h"

#include <gtest/gtest.h>

using rendertest::At;

TEST(LoadingBar, GrowsFromNothingToItsFullWidth)
{
    EXPECT_EQ(LoadingBar::BarEnd(0), 40);
    EXPECT_EQ(LoadingBar::BarEnd(1), 99);
    EXPECT_EQ(LoadingBar::BarEnd(LoadingBar::kSteps - 1), 925);
}

TEST(LoadingBar, TheLastStepShowsTheBarInsideItsOutline)
{
    RENDER_NEED(rendertest::Level::Window);
    // Whatever was drawn before (outlines, a program, lighting) must not leak into the bar.
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glEnable(GL_LIGHTING);
    LoadingBar bar;
    std::vector<std::uint8_t> pic;
    for (int n = 0; n < LoadingBar::kSteps; ++n)
        bar.Show(n);
    glWindow.ReadPicture(pic);
    auto white = [&](int x, int y) { return At(pic, 1024, x, y).r > 200; };
    EXPECT_TRUE(white(900, 384)) << "inside the bar";
    EXPECT_TRUE(white(60, 384)) << "inside the bar";
    EXPECT_FALSE(white(950, 384)) << "past its end at 925";
    EXPECT_TRUE(white(981, 384) || white(982, 384)) << "the outline";
    EXPECT_FALSE(white(600, 300)) << "outside it all";
}

TEST(LoadingBar, StepsOutsideTheBarDrawNothing)
{
    RENDER_NEED(rendertest::Level::Window);
    glWindow.SetCurrent();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    LoadingBar bar;
    bar.Show(-1);
    bar.Show(LoadingBar::kSteps);
    std::vector<std::uint8_t> pic;
    glWindow.ReadPicture(pic);
    EXPECT_EQ(At(pic, 1024, 500, 384).max(), 0);
}
