#include "app/platform/CDemoHandler.h"

#include <gtest/gtest.h>

#include <cmath>

using Slot = CDemoHandler::Slot;

namespace
{
float below(float v) { return std::nextafter(v, -1e9f); }
float above(float v) { return std::nextafter(v, 1e9f); }
} // namespace

TEST(Timeline, BoundariesDrawNothing)
{
    for (float b : {50.8f, 80.8f, 123.0f, 126.0f})
        EXPECT_EQ(CDemoHandler::TimelineSlot(b), Slot::Nothing) << b;
}

TEST(Timeline, StrictWindowsAroundEveryBoundary)
{
    EXPECT_EQ(CDemoHandler::TimelineSlot(below(50.8f)), Slot::Landscape);
    EXPECT_EQ(CDemoHandler::TimelineSlot(above(50.8f)), Slot::Vortex);
    EXPECT_EQ(CDemoHandler::TimelineSlot(below(80.8f)), Slot::Vortex);
    EXPECT_EQ(CDemoHandler::TimelineSlot(above(80.8f)), Slot::Dance);
    EXPECT_EQ(CDemoHandler::TimelineSlot(below(123.0f)), Slot::Dance);
    EXPECT_EQ(CDemoHandler::TimelineSlot(above(123.0f)), Slot::Outro);
    EXPECT_EQ(CDemoHandler::TimelineSlot(below(126.0f)), Slot::Outro);
    EXPECT_EQ(CDemoHandler::TimelineSlot(above(126.0f)), Slot::Quit);
}

TEST(Timeline, ComparesInSinglePrecision)
{
    // 50.8 as a double lies above the float 50.8f; once the clock is a float it is the boundary.
    const double t = 50.8;
    EXPECT_EQ(CDemoHandler::TimelineSlot(static_cast<float>(t)), Slot::Nothing);
    EXPECT_EQ(CDemoHandler::TimelineSlot(static_cast<float>(80.8)), Slot::Nothing);
}

TEST(Timeline, BeforeTheStartIsLandscape)
{
    EXPECT_EQ(CDemoHandler::TimelineSlot(-3.0f), Slot::Landscape);
    EXPECT_EQ(CDemoHandler::TimelineSlot(0.0f), Slot::Landscape);
    EXPECT_EQ(CDemoHandler::TimelineSlot(1e9f), Slot::Quit);
}
