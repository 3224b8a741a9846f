#pragma once
// CBass plays the piece's one track and is its clock. The track is decoded whole before the
// window opens (libmpg123), played by SDL's audio device, looping, and every doThis reads back
// the position of the audio actually being heard and the spectrum of the 1024 samples that end
// there. Capture mode drives the position from the frame counter instead; without an audio
// device the position follows a monotonic wall clock from start. All clock readings go through
// the clock seam (app/Clock.h).
#include "audio/PcmTrack.h"
#include "audio/Fft1024.h"

#include <cstdint>
#include <memory>
#include <string>

class CBass
{
public:
    CBass();
    ~CBass();

    // Decodes the track; false with a reason naming the file when it is missing or undecodable.
    bool Open(const char* file, std::string& error);
    // Where start() begins playing, in seconds of the track (the --start option).
    void SetStartSeconds(double s) { startSeconds = s; }
    // Starts playing the track opened by Open (opening it first if needed) at the start position.
    void start(const char* file);
    void doThis();
    float range(int a, int b) const { return SpectrumRange(fft, a, b); }
    int ms() const { return msecs; }
    void stop();

    const PcmTrack& Track() const { return track; }
    bool Silent() const { return silent; }

    std::uint32_t stream = 0;       // 1 while a track plays (live or silent), 0 before start
    std::uint64_t bytePos = 0;      // heard position in bytes of 16-bit stereo
    float fft[1024] = {};           // 0..511 spectrum, 512..1023 stay 0
    float seconds = 0.0f;
    int msecs = 0;
    float animStart = 0.0f;         // set by the dance scene, read by the animation tracks

    // Heard frame for an audio callback at callbackMicros that handed over the frames starting at
    // handedFrame, read at nowMicros, with latencyFrames still held by the device; never less
    // than notBefore. Exposed for tests; the live clock is built on it.
    static std::uint64_t HeardFrame(std::uint64_t handedFrame, std::int64_t callbackMicros, std::int64_t nowMicros,
                                    std::uint64_t latencyFrames, std::uint64_t periodFrames, std::uint64_t notBefore);

private:
    struct Device;
    static void Callback(void* user, std::uint8_t* out, int len);
    void SetPosition(std::uint64_t frame);

    PcmTrack track;
    std::string openedFile;
    Fft1024 spectrum;
    std::unique_ptr<Device> device;
    double startSeconds = 0.0;
    bool silent = false;
    std::int64_t silentStartMicros = 0;
    std::uint64_t lastHeard = 0;
};

extern CBass bass;
