#pragma once
// The one seam through which the piece reads time. Live, the millisecond clock follows a
// monotonic wall clock; in capture mode it is driven by the frame counter, so that every clock
// reading, every music position and every seed are the same in two captures of the same span.
#include <cstdint>

namespace vqclock
{
// Milliseconds on the piece's clock (what the scenes call timeGetTime). Starts at 1000 when the
// process starts, so no reading is ever 0 (0 means "no frame yet" to some scenes).
std::uint32_t timeGetTime();

// Monotonic microseconds since process start, never affected by capture mode; for measuring.
std::int64_t monotonicMicros();

// Calendar time in seconds, for seeding the generator (the piece's time(NULL)). In capture mode
// with a seed, the seed.
long calendarTime();

// Capture mode: frame f shows music time startSeconds + f / fps, and the millisecond clock
// advances by 1000 / fps per frame.
void enterCapture(double fps, double startSeconds, bool haveSeed, unsigned seed);
bool captureMode();
void setCaptureFrame(std::uint64_t frame);
std::uint64_t captureFrame();
double captureMusicSeconds();
} // namespace vqclock

// The scenes' spelling of the millisecond clock.
inline std::uint32_t timeGetTime()
{
    return vqclock::timeGetTime();
}
