#include "app/platform/Clock.h"
#include "audio/AudioOutput.h"
#include "audio/PcmTrack.h"
#include "audio/PlaybackClock.h"

#include <SDL.h>

#include <cmath>
#include <mutex>

namespace
{
class SdlOutput : public AudioOutput
{
public:
    ~SdlOutput() override
    {
        if (id)
            SDL_CloseAudioDevice(id);
    }

    bool Open(std::shared_ptr<const PcmTrack> t, std::string& why)
    {
        track = std::move(t);
        if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        {
            why = std::string("SDL has no audio (") + SDL_GetError() + ")";
            return false;
        }
        SDL_AudioSpec want{}, have{};
        want.freq = PcmTrack::kRate;
        want.format = AUDIO_S16SYS;
        want.channels = PcmTrack::kChannels;
        want.samples = 1024; // about 23 ms a period
        want.callback = &SdlOutput::Callback;
        want.userdata = this;
        id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (id == 0)
        {
            why = std::string("SDL cannot open a sound device (") + SDL_GetError() + ")";
            return false;
        }
        const char* d = SDL_GetCurrentAudioDriver();
        driver = d ? d : "unknown";
        periodFrames = have.samples;
        latencyFrames = periodFrames * static_cast<std::uint64_t>(playback::SdlLatencyPeriods(d));
        return true;
    }

    void PlayFrom(double frame) override
    {
        {
            std::lock_guard<std::mutex> g(lock);
            nextFrame = static_cast<std::uint64_t>(std::floor(frame));
            handedFrame = nextFrame;
            callbackMicros = -1;
        }
        SDL_PauseAudioDevice(id, 0);
        playing = true;
    }

    double LatencyFrames() override { return static_cast<double>(latencyFrames); }

    bool Heard(double& frame) override
    {
        std::uint64_t handed;
        std::int64_t when;
        {
            std::lock_guard<std::mutex> g(lock);
            handed = handedFrame;
            when = callbackMicros;
        }
        if (!playing || when < 0)
            return false;
        const std::uint64_t heard = playback::EstimatedHeardFrame(handed, when, vqclock::monotonicMicros(),
                                                                  latencyFrames, periodFrames, 0);
        frame = static_cast<double>(heard % track->frames());
        return true;
    }

    bool Connected() override { return SDL_GetAudioDeviceStatus(id) != SDL_AUDIO_STOPPED || !playing; }

    std::string Describe() const override
    {
        return "SDL audio (" + driver + "), its heard position estimated as " +
               std::to_string(latencyFrames / periodFrames) + " period(s) of " +
               std::to_string(periodFrames) + " frames";
    }

private:
    static void Callback(void* user, std::uint8_t* out, int len)
    {
        SdlOutput* o = static_cast<SdlOutput*>(user);
        const PcmTrack& t = *o->track;
        const std::size_t frames = t.frames();
        const std::size_t want = static_cast<std::size_t>(len) / (PcmTrack::kChannels * 2);
        std::int16_t* dst = reinterpret_cast<std::int16_t*>(out);
        std::uint64_t first;
        {
            std::lock_guard<std::mutex> g(o->lock);
            first = o->nextFrame;
            o->handedFrame = first;
            o->callbackMicros = vqclock::monotonicMicros();
            o->nextFrame += want;
        }
        for (std::size_t i = 0; i < want; ++i)
        {
            const std::size_t f = static_cast<std::size_t>((first + i) % frames);
            dst[2 * i] = t.samples[2 * f];
            dst[2 * i + 1] = t.samples[2 * f + 1];
        }
    }

    std::shared_ptr<const PcmTrack> track;
    SDL_AudioDeviceID id = 0;
    std::string driver;
    std::uint64_t periodFrames = 0, latencyFrames = 0;
    bool playing = false;
    std::mutex lock;
    std::uint64_t nextFrame = 0;      // the next frame to hand over (counts on past the end)
    std::uint64_t handedFrame = 0;    // first frame of the latest callback's block
    std::int64_t callbackMicros = -1; // when that callback ran
};
} // namespace

std::unique_ptr<AudioOutput> OpenSdlOutput(std::shared_ptr<const PcmTrack> track, std::string& why)
{
    std::unique_ptr<SdlOutput> out(new SdlOutput);
    if (!out->Open(std::move(track), why))
        return nullptr;
    return out;
}
