#pragma once
// CBass plays the piece's one track and is its clock. The track is decoded whole before the
// window opens (libmpg123) and played, looping, by OpenAL Soft, which reports the position being
// heard with the output's latency taken into account (SDL's audio where OpenAL cannot be had,
// with the heard position estimated). Every doThis reads the position the next picture is for
// and the spectrum of the 1024 samples that end there.
//
// Live, the position is the sound heard now plus the time until the frame being drawn is on
// screen and half the time it stays there (measured over the recent frames, see
// playback::PresentLead), minus --av-offset: the picture then shows what is heard while it is up. Capture
// mode drives the position from the frame counter instead, with nothing added; without an audio device the
// position follows a monotonic wall clock from start. All clock readings go through the clock seam
// (app/platform/Clock.h).
//
// The sound device is opened, played and closed on a thread of its own, so that a sound server
// that stops answering can hold up nothing but that thread: the frame loop only takes the
// thread's latest report (PlaybackClock decides what to make of it), start-up goes on silently
// when the device does not open in time, and stop gives up on a close that does not return.
#include "audio/Fft1024.h"
#include "audio/PcmTrack.h"
#include "audio/PlaybackClock.h"

#include <cstdint>
#include <memory>
#include <string>

class CBass
{
public:
    CBass();
    ~CBass();
    CBass(const CBass&) = delete;
    CBass& operator=(const CBass&) = delete;

    // Decodes the track; false with a reason naming the file when it is missing or undecodable.
    bool Open(const char* file, std::string& error);
    // Where start() begins playing, in seconds of the track (the --start option).
    void SetStartSeconds(double s) { startSeconds = s; }
    // Live play: how much later than the sound the picture is shown, in ms (--av-offset).
    void SetAvOffsetMs(double ms) { avOffsetMs = ms; }
    double AvOffsetMs() const { return avOffsetMs; }
    // Begins opening the sound device on its thread, so that it is ready when the music starts;
    // returns at once. Live play only; start() does it if nobody did.
    void PrepareOutput();
    // Starts playing the track opened by Open (opening it first if needed) at the start position.
    void start(const char* file);
    void doThis();
    // Tells the clock that the frame drawn since the latest doThis is now presented, so that the
    // next frames are drawn ahead by what the recent frames took. Live play only; the sequencer
    // calls it right after presenting.
    void FramePresented();
    float range(int a, int b) const { return SpectrumRange(fft, a, b); }
    int ms() const { return msecs; }
    // Ends playing and closes the device; true when it closed. A close that does not return
    // within kCloseWaitMs is left to itself on the device thread (false); the process must then
    // end without running the sound library's exit-time clean-up (see VQ_Main).
    bool stop();
    static constexpr int kCloseWaitMs = 500;
    // After a stop that gave up: waits up to `ms` for the device thread to finish after all.
    bool WaitStopped(int ms);

    const PcmTrack& Track() const { return *track; }
    bool Silent() const { return clock.CurrentMode() == playback::PlaybackClock::Mode::Silent; }
    playback::PlaybackClock::Mode ClockMode() const { return clock.CurrentMode(); }
    // The position heard now as the clock has it (seconds, before the lead is added), and the
    // lead added for drawing (ms). For tests and --verbose.
    double HeardSeconds() const { return clockFrame / PcmTrack::kRate; }
    double LeadMs() const { return static_cast<double>(lead.Micros()) / 1000.0; }

    std::uint32_t stream = 0;  // 1 while a track plays (live or silent), 0 before start
    std::uint64_t bytePos = 0; // position in bytes of 16-bit stereo
    float fft[1024] = {};      // 0..511 spectrum, 512..1023 stay 0
    float seconds = 0.0f;
    int msecs = 0;
    float animStart = 0.0f; // set by the dance scene, read by the animation tracks

    // SDL's estimate of the heard frame (see playback::EstimatedHeardFrame). Exposed for tests.
    static std::uint64_t HeardFrame(std::uint64_t handedFrame, std::int64_t callbackMicros,
                                    std::int64_t nowMicros, std::uint64_t latencyFrames,
                                    std::uint64_t periodFrames, std::uint64_t notBefore)
    {
        return playback::EstimatedHeardFrame(handedFrame, callbackMicros, nowMicros, latencyFrames,
                                             periodFrames, notBefore);
    }

private:
    struct Shared;
    static void DeviceThread(std::shared_ptr<Shared> s);
    void SetPosition(double frame);
    void LiveReading(std::int64_t now);

    std::shared_ptr<PcmTrack> track;
    std::string openedFile;
    Fft1024 spectrum;
    std::shared_ptr<Shared> shared; // with the device thread
    double startSeconds = 0.0;
    double avOffsetMs = 0.0;
    playback::PlaybackClock clock{1.0};
    playback::PresentLead lead;
    std::uint64_t sentSerial = 0;
    double clockFrame = 0.0;         // the clock's latest position (heard now)
    double drawnFrame = -1.0;        // the latest position drawn, live
    std::int64_t readMicros = -1;    // the latest live doThis
    std::int64_t presentMicros = -1; // the latest frame presented
    bool abandoned = false;
    bool noDevice = false;
};

extern CBass bass;
