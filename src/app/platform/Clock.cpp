#include "app/platform/Clock.h"

#include "app/platform/Timeline.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <numeric>

namespace
{
const auto g_start = std::chrono::steady_clock::now();
bool g_capture = false;
vqclock::FrameRate g_fps{60, 1};
std::uint64_t g_startSample = 0;
bool g_haveSeed = false;
unsigned g_seed = 0;
std::uint64_t g_frame = 0;
int g_subframe = 0, g_subframes = 1;
vqclock::FrameRate g_angle{360, 1};
constexpr std::uint32_t kClockBase = 1000;

// round((frame + subframe x angle / 360 / subframes) x unitsPerSecond x den / num), half up, in
// integers: the frame and its sub-frame as one fraction, so no step is rounded on its own.
std::uint64_t framesToUnits(std::uint64_t frame, int subframe, std::int64_t unitsPerSecond)
{
    using u128 = unsigned __int128;
    const u128 perFrame = static_cast<u128>(g_subframes) * 360u * static_cast<std::uint64_t>(g_angle.den);
    const u128 position = static_cast<u128>(frame) * perFrame +
                          static_cast<u128>(subframe) * static_cast<std::uint64_t>(g_angle.num);
    const u128 n =
        position * static_cast<std::uint64_t>(unitsPerSecond) * static_cast<std::uint64_t>(g_fps.den);
    const u128 d = perFrame * static_cast<std::uint64_t>(g_fps.num);
    return static_cast<std::uint64_t>((n + d / 2) / d);
}

// Whole digits, for the parts of a frame rate.
bool digits(const std::string& s, std::size_t from, std::size_t to)
{
    if (from >= to)
        return false;
    for (std::size_t i = from; i < to; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}
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
        return kClockBase + static_cast<std::uint32_t>(framesToUnits(g_frame, g_subframe, 1000));
    return kClockBase + static_cast<std::uint32_t>(monotonicMicros() / 1000);
}

long calendarTime()
{
    if (g_capture && g_haveSeed)
        return static_cast<long>(g_seed);
    return static_cast<long>(std::time(nullptr));
}

bool ParseFrameRate(const std::string& text, FrameRate& out)
{
    // At most 9 digits a part keeps every product of the capture clock inside 64 bits.
    if (text.empty() || text.size() > 19)
        return false;
    std::int64_t num = 0, den = 1;
    const std::size_t slash = text.find('/'), dot = text.find('.');
    if (slash != std::string::npos)
    {
        if (!digits(text, 0, slash) || !digits(text, slash + 1, text.size()) || slash > 9 ||
            text.size() - slash - 1 > 9)
            return false;
        num = std::atoll(text.substr(0, slash).c_str());
        den = std::atoll(text.substr(slash + 1).c_str());
    }
    else if (dot != std::string::npos)
    {
        const std::size_t decimals = text.size() - dot - 1;
        if (!digits(text, 0, dot) || !digits(text, dot + 1, text.size()) || dot > 9 || decimals > 9)
            return false;
        num = std::atoll((text.substr(0, dot) + text.substr(dot + 1)).c_str());
        for (std::size_t i = 0; i < decimals; ++i)
            den *= 10;
    }
    else
    {
        if (!digits(text, 0, text.size()) || text.size() > 9)
            return false;
        num = std::atoll(text.c_str());
    }
    if (num <= 0 || den <= 0 || num > 1000 * den)
        return false;
    const std::int64_t g = std::gcd(num, den);
    out = FrameRate{num / g, den / g};
    return true;
}

void enterCapture(const FrameRate& fps, double startSeconds, bool haveSeed, unsigned seed)
{
    g_capture = true;
    g_fps = fps;
    g_startSample =
        static_cast<std::uint64_t>(std::llround(std::max(0.0, startSeconds) * timeline::kTrackRate));
    g_haveSeed = haveSeed;
    g_seed = seed;
    g_frame = 0;
    g_subframe = 0;
    g_subframes = 1;
    g_angle = FrameRate{360, 1};
}

void enterCapture(double fps, double startSeconds, bool haveSeed, unsigned seed)
{
    FrameRate r{std::llround(fps * 1000.0), 1000};
    const std::int64_t g = std::gcd(r.num, r.den);
    enterCapture(FrameRate{r.num / g, r.den / g}, startSeconds, haveSeed, seed);
}

bool captureMode() { return g_capture; }

void setShutter(int subframes, const FrameRate& angle)
{
    g_subframes = subframes > 0 ? subframes : 1;
    g_angle = angle;
}

void setCaptureFrame(std::uint64_t frame, int subframe)
{
    g_frame = frame;
    g_subframe = subframe;
}

std::uint64_t captureFrame() { return g_frame; }

std::uint64_t captureSample(std::uint64_t frame)
{
    return g_startSample + framesToUnits(frame, 0, timeline::kTrackRate);
}

std::uint64_t captureSample()
{
    return g_startSample + framesToUnits(g_frame, g_subframe, timeline::kTrackRate);
}

double captureMusicSeconds() { return static_cast<double>(captureSample()) / timeline::kTrackRate; }
} // namespace vqclock
