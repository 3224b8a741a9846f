#include "app/platform/CInput.h"

#include <gtest/gtest.h>

TEST(Input, Keys)
{
    CInput in;
    EXPECT_EQ(in.Pressed(VK_PRIOR), 0);
    in.SetKey(VK_LEFT, true);
    EXPECT_EQ(in.Pressed(VK_LEFT), 1);
    in.SetKey(VK_LEFT, false);
    EXPECT_EQ(in.Pressed(VK_LEFT), 0);
    // Codes outside the table are ignored, never written.
    in.SetKey(-1, true);
    in.SetKey(256, true);
    EXPECT_EQ(in.Pressed(256), 0);
}

TEST(Input, ATapBetweenTwoFramesIsTakenOnce)
{
    CInput in;
    EXPECT_FALSE(in.TakePress(VK_F1));
    // Down and up again before the frame looked: the key reads up, the press is still there.
    in.SetKey(VK_F1, true);
    in.CountPress(VK_F1);
    in.SetKey(VK_F1, false);
    EXPECT_EQ(in.Pressed(VK_F1), 0);
    EXPECT_TRUE(in.TakePress(VK_F1));
    EXPECT_FALSE(in.TakePress(VK_F1)) << "taken once";
    // Two presses before a frame toggle once: the frame acts on "pressed since", not on a count.
    in.CountPress(VK_F1);
    in.CountPress(VK_F1);
    EXPECT_TRUE(in.TakePress(VK_F1));
    EXPECT_FALSE(in.TakePress(VK_F1));
    in.CountPress(-1);
    in.CountPress(256);
    EXPECT_FALSE(in.TakePress(256));
}
