#pragma once
// Records what a PulseAudio sink plays, through its monitor, and tells for every recorded frame
// when the server says it is heard, on the monotonic clock (CLOCK_MONOTONIC, the clock of
// std::chrono::steady_clock, which the piece measures with too).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class PulseMonitor
{
public:
    PulseMonitor();
    ~PulseMonitor();
    PulseMonitor(const PulseMonitor&) = delete;
    PulseMonitor& operator=(const PulseMonitor&) = delete;

    // Connects to `server` (a PULSE_SERVER string) and records `source` (44.1 kHz 16-bit stereo)
    // until Stop. False with a reason when the server does not answer within a few seconds.
    bool Start(const std::string& server, const std::string& source, std::string& error);
    void Stop();

    // Interleaved L, R of everything recorded so far (after Stop: all of it).
    std::vector<std::int16_t> Samples() const;
    // Monotonic seconds at which recorded frame 0 is heard, from the server's own timing of the
    // stream (median over the whole recording); NaN when no timing arrived.
    double FrameZeroSeconds() const;
    // The same from the readings of the last `seconds` only: a stall of the server shifts the
    // recording against the clock, and this is the mapping since.
    double RecentFrameZeroSeconds(double seconds) const;
    // The same from the moments the data arrived here; arrival comes a little before hearing
    // when the sink renders ahead, so this bounds the server's figure from below.
    double FrameZeroArrivalSeconds() const;
    // When the latest data arrived, and how many frames had arrived by then.
    double LastArrival(std::size_t& frames) const;
    // Frames lost because the server's buffer overflowed (the recording would be shifted).
    std::uint64_t Overflows() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// Monotonic seconds, on the clock the recording is timed on.
double MonotonicSeconds();
