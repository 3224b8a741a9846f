#include "app/platform/CInput.h"
#include "app/platform/Clock.h"

#include <gtest/gtest.h>

TEST(Input, KeysAndLatch)
{
    CInput in;
    EXPECT_EQ(in.Pressed(VK_PRIOR), 0);
    EXPECT_EQ(in.Held(VK_PRIOR), 0);
    in.SetKey(VK_LEFT, true);
    in.SetHeld(VK_LEFT);
    EXPECT_EQ(in.Pressed(VK_LEFT), 1);
    EXPECT_EQ(in.Held(VK_LEFT), 1);
    in.SetKey(VK_LEFT, true); // auto-repeat clears the latch
    EXPECT_EQ(in.Held(VK_LEFT), 0);
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

TEST(Clock, CaptureDrivesEveryReading)
{
    // Live first: readings start above zero and never run backwards.
    const auto a = vqclock::timeGetTime();
    EXPECT_GE(a, 1000u);
    EXPECT_GE(vqclock::timeGetTime(), a);
    vqclock::enterCapture(25.0, 60.0, true, 1234);
    vqclock::setCaptureFrame(0);
    const auto t0 = vqclock::timeGetTime();
    vqclock::setCaptureFrame(50);
    EXPECT_EQ(vqclock::timeGetTime() - t0, 2000u);
    EXPECT_DOUBLE_EQ(vqclock::captureMusicSeconds(), 62.0);
    EXPECT_EQ(vqclock::calendarTime(), 1234);
}
