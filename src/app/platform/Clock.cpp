#include "app/platform/Clock.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace
{
const auto g_start = std::chrono::steady_clock::now();
bool g_capture = false;
double g_fps = 60.0;
double g_startSeconds = 0.0;
bool g_haveSeed = false;
unsigned g_seed = 0;
std::uint64_t g_frame = 0;
constexpr std::uint32_t kClockBase = 1000;
} // namespace

namespace vqclock
{
std::int64_t monotonicMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - g_start)
        .count();
}

std::uint32_t timeGetTime()
{
    if (g_capture)
        return kClockBase + static_cast<std::uint32_t>(std::llround(static_cast<double>(g_frame) * 1000.0 / g_fps));
    return kClockBase + static_cast<std::uint32_t>(monotonicMicros() / 1000);
}

long calendarTime()
{
    if (g_capture && g_haveSeed)
        return static_cast<long>(g_seed);
    return static_cast<long>(std::time(nullptr));
}

void enterCapture(double fps, double startSeconds, bool haveSeed, unsigned seed)
{
    g_capture = true;
    g_fps = fps;
    g_startSeconds = startSeconds;
    g_haveSeed = haveSeed;
    g_seed = seed;
    g_frame = 0;
}

bool captureMode()
{
    return g_capture;
}

void setCaptureFrame(std::uint64_t frame)
{
    g_frame = frame;
}

std::uint64_t captureFrame()
{
    return g_frame;
}

double captureMusicSeconds()
{
    return g_startSeconds + static_cast<double>(g_frame) / g_fps;
}
} // namespace vqclock
