#pragma once
// The one seam through which the piece reads time. Live, the millisecond clock follows a
// monotonic wall clock; in capture mode it is driven by the frame counter, so that every clock
// reading, every music position and every seed are the same in two captures of the same span.
#include <cstdint>
#include <string>

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

// A frame rate as an exact fraction, num / den frames per second (60000/1001 for "59.94").
struct FrameRate
{
    std::int64_t num = 0, den = 1;
    double value() const { return static_cast<double>(num) / static_cast<double>(den); }
};
// Reads "30", "29.97" (exactly 2997/100) or "60000/1001", reduced to lowest terms. False unless
// it is such a number with 0 < rate <= 1000.
bool ParseFrameRate(const std::string& text, FrameRate& out);

// Capture mode: frame f shows the music sample start + round(f x 44100 x den / num), counted in
// whole samples so that no frame drifts from the sound however long the capture runs; the
// millisecond clock advances likewise by round(f x 1000 x den / num).
void enterCapture(const FrameRate& fps, double startSeconds, bool haveSeed, unsigned seed);
// The same with a rate in frames per second (whole or decimal), for tests.
void enterCapture(double fps, double startSeconds, bool haveSeed, unsigned seed);
bool captureMode();
// Motion blur: each frame is the mean of `subframes` pictures taken across the first `angle`
// degrees (a fraction, 360 = the whole interval) of its time; sub-frame j of frame f shows the
// sample start + round((f + j x angle / 360 / subframes) x 44100 x den / num), so with 360 degrees
// it is frame f x subframes + j of a capture at subframes times the rate.
void setShutter(int subframes, const FrameRate& angle);
void setCaptureFrame(std::uint64_t frame, int subframe = 0);
std::uint64_t captureFrame();
// The music sample (44.1 kHz frame of the track, not wrapped) of a capture frame's first
// sub-frame, and of the current sub-frame; and the current one's music time in seconds.
std::uint64_t captureSample(std::uint64_t frame);
std::uint64_t captureSample();
double captureMusicSeconds();
} // namespace vqclock

// The scenes' spelling of the millisecond clock.
inline std::uint32_t timeGetTime() { return vqclock::timeGetTime(); }
