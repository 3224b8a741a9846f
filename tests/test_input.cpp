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
