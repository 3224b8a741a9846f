#include "audio/CBass.h"

#include "app/platform/Clock.h"

#include <SDL.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

CBass bass;

namespace
{
bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Whether any sound server or sound card could be there. Asking SDL on a machine without either
// makes the ALSA library print a page of errors before SDL gives up.
bool mayHaveAudio()
{
    if (SDL_getenv("SDL_AUDIODRIVER") || SDL_getenv("PULSE_SERVER") || exists("/dev/snd"))
        return true;
    if (const char* run = SDL_getenv("XDG_RUNTIME_DIR"))
        return exists(std::string(run) + "/pulse/native") || exists(std::string(run) + "/pipewire-0");
    return false;
}
} // namespace

struct CBass::Device
{
    SDL_AudioDeviceID id = 0;
    std::mutex lock;
    std::uint64_t nextFrame = 0;      // total frames handed over so far (not wrapped)
    std::uint64_t handedFrame = 0;    // first frame of the latest callback's block
    std::int64_t callbackMicros = -1; // when that callback ran
    std::uint64_t periodFrames = 0;
    const PcmTrack* track = nullptr;
};

CBass::CBass() = default;
CBass::~CBass()
{
    stop();
}

bool CBass::Open(const char* file, std::string& error)
{
    if (!DecodeMp3(file, track, error))
        return false;
    openedFile = file;
    return true;
}

std::uint64_t CBass::HeardFrame(std::uint64_t handedFrame, std::int64_t callbackMicros, std::int64_t nowMicros,
                                std::uint64_t latencyFrames, std::uint64_t periodFrames, std::uint64_t notBefore)
{
    std::int64_t elapsed = nowMicros - callbackMicros;
    if (elapsed < 0)
        elapsed = 0;
    std::uint64_t advance = static_cast<std::uint64_t>(elapsed) * PcmTrack::kRate / 1000000;
    // Between callbacks the wall clock carries the position, but never past the block that was
    // handed over: if the next callback is late, the sound is late too.
    if (advance > periodFrames)
        advance = periodFrames;
    const std::uint64_t base = handedFrame > latencyFrames ? handedFrame - latencyFrames : 0;
    const std::uint64_t heard = base + advance;
    return heard < notBefore ? notBefore : heard;
}

void CBass::Callback(void* user, std::uint8_t* out, int len)
{
    Device* d = static_cast<Device*>(user);
    const PcmTrack& t = *d->track;
    const std::size_t frames = t.frames();
    const std::size_t want = static_cast<std::size_t>(len) / (PcmTrack::kChannels * 2);
    std::int16_t* dst = reinterpret_cast<std::int16_t*>(out);
    std::uint64_t first;
    {
        std::lock_guard<std::mutex> g(d->lock);
        first = d->nextFrame;
        d->handedFrame = first;
        d->callbackMicros = vqclock::monotonicMicros();
        d->nextFrame += want;
    }
    // The stream loops at its end, as the piece always has.
    for (std::size_t i = 0; i < want; ++i)
    {
        const std::size_t f = static_cast<std::size_t>((first + i) % frames);
        dst[2 * i] = t.samples[2 * f];
        dst[2 * i + 1] = t.samples[2 * f + 1];
    }
}

void CBass::start(const char* file)
{
    if (stream)
        return;
    if (openedFile != file)
    {
        std::string error;
        if (!Open(file, error))
        {
            std::fprintf(stderr, "music: %s\n", error.c_str());
            return;
        }
    }
    stream = 1;
    const std::uint64_t startFrame =
        static_cast<std::uint64_t>(std::llround(startSeconds * PcmTrack::kRate)) % track.frames();
    lastHeard = startFrame;
    if (vqclock::captureMode())
        return;

    silent = true;
    silentStartMicros = vqclock::monotonicMicros();
    if (!mayHaveAudio())
    {
        std::fprintf(stderr, "music: no audio device on this machine; playing silently\n");
        return;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
    {
        std::fprintf(stderr, "music: no audio device (%s); playing silently\n", SDL_GetError());
        return;
    }
    device.reset(new Device);
    device->track = &track;
    device->nextFrame = startFrame;
    device->handedFrame = startFrame;
    SDL_AudioSpec want{}, have{};
    want.freq = PcmTrack::kRate;
    want.format = AUDIO_S16SYS;
    want.channels = PcmTrack::kChannels;
    want.samples = 1024; // about 23 ms a period
    want.callback = &CBass::Callback;
    want.userdata = device.get();
    device->id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device->id == 0)
    {
        std::fprintf(stderr, "music: no audio device (%s); playing silently\n", SDL_GetError());
        device.reset();
        return;
    }
    device->periodFrames = have.samples;
    silent = false;
    SDL_PauseAudioDevice(device->id, 0);
}

void CBass::SetPosition(std::uint64_t frame)
{
    lastHeard = frame;
    const std::uint64_t looped = frame % track.frames();
    bytePos = looped * PcmTrack::kChannels * 2;
    seconds = static_cast<float>(static_cast<double>(looped) / PcmTrack::kRate);
    msecs = static_cast<int>(seconds * 1000.0f);
    spectrum.Compute(track, static_cast<std::size_t>(looped), fft);
}

void CBass::doThis()
{
    if (!stream)
        return;
    if (vqclock::captureMode())
    {
        SetPosition(vqclock::captureSample());
        return;
    }
    const std::int64_t now = vqclock::monotonicMicros();
    if (silent)
    {
        const std::uint64_t start = static_cast<std::uint64_t>(std::llround(startSeconds * PcmTrack::kRate));
        SetPosition(start + static_cast<std::uint64_t>(now - silentStartMicros) * PcmTrack::kRate / 1000000);
        return;
    }
    std::uint64_t handed, period;
    std::int64_t when;
    {
        std::lock_guard<std::mutex> g(device->lock);
        handed = device->handedFrame;
        when = device->callbackMicros;
        period = device->periodFrames;
    }
    if (when < 0)
    {
        SetPosition(lastHeard); // the device has not asked for sound yet
        return;
    }
    // The device still holds about two periods when it asks for the next block.
    SetPosition(HeardFrame(handed, when, now, 2 * period, period, lastHeard));
}

void CBass::stop()
{
    if (device)
    {
        SDL_CloseAudioDevice(device->id);
        device.reset();
    }
    stream = 0;
}
