#include "audio/AudioOutput.h"
#include "audio/PcmTrack.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <cmath>
#include <cstring>

namespace
{
// OpenAL Soft falls back on a backend that plays into nothing when no real one opens; a clock
// from it would only be the wall clock in disguise.
constexpr const char* kNullBackendName = "No Output";

class OpenAlOutput : public AudioOutput
{
public:
    ~OpenAlOutput() override
    {
        if (source)
        {
            alSourceStop(source);
            alDeleteSources(1, &source);
        }
        if (buffer)
            alDeleteBuffers(1, &buffer);
        if (context)
        {
            alcMakeContextCurrent(nullptr);
            alcDestroyContext(context);
        }
        if (device)
            alcCloseDevice(device);
    }

    bool Open(std::shared_ptr<const PcmTrack> t, std::string& why)
    {
        track = std::move(t);
        device = alcOpenDevice(nullptr);
        if (!device)
        {
            why = "OpenAL found no sound device";
            return false;
        }
        // The full name says which output it is (the sound server's sink, or the silent one).
        const char* name = alcIsExtensionPresent(device, "ALC_ENUMERATE_ALL_EXT")
                               ? alcGetString(device, ALC_ALL_DEVICES_SPECIFIER)
                               : alcGetString(device, ALC_DEVICE_SPECIFIER);
        deviceName = name ? name : "";
        if (deviceName == kNullBackendName)
        {
            why = "OpenAL found only its silent output";
            return false;
        }
        const ALCint attributes[] = {ALC_FREQUENCY, PcmTrack::kRate, 0};
        context = alcCreateContext(device, attributes);
        if (!context || !alcMakeContextCurrent(context))
        {
            why = "OpenAL cannot play on " + deviceName;
            return false;
        }
        if (!alIsExtensionPresent("AL_SOFT_source_latency"))
        {
            why = "OpenAL cannot tell the output's latency";
            return false;
        }
        getSourcedv = reinterpret_cast<LPALGETSOURCEDVSOFT>(alGetProcAddress("alGetSourcedvSOFT"));
        canDisconnect = alcIsExtensionPresent(device, "ALC_EXT_disconnect");
        alGetError();
        alGenBuffers(1, &buffer);
        alBufferData(buffer, AL_FORMAT_STEREO16, track->samples.data(),
                     static_cast<ALsizei>(track->samples.size() * sizeof(std::int16_t)), PcmTrack::kRate);
        alGenSources(1, &source);
        alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
        alSourcei(source, AL_LOOPING, AL_TRUE);
        // The music's own stereo, not placed in a 3-D scene.
        if (alIsExtensionPresent("AL_SOFT_direct_channels"))
            alSourcei(source, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
        alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(source, AL_POSITION, 0, 0, 0);
        if (!getSourcedv || alGetError() != AL_NO_ERROR)
        {
            why = "OpenAL cannot hold the track";
            return false;
        }
        return true;
    }

    void PlayFrom(double frame) override
    {
        const ALint f = static_cast<ALint>(std::floor(frame));
        ALint state = 0;
        alGetSourcei(source, AL_SOURCE_STATE, &state);
        // An offset given to a source that is not playing takes effect when it starts.
        alSourcei(source, AL_SAMPLE_OFFSET, f);
        if (state != AL_PLAYING)
            alSourcePlay(source);
        playing = true;
    }

    double LatencyFrames() override
    {
        double v[2] = {0, 0};
        getSourcedv(source, AL_SEC_OFFSET_LATENCY_SOFT, v);
        return v[1] * PcmTrack::kRate;
    }

    bool Heard(double& frame) override
    {
        if (!playing)
            return false;
        // The offset is what the mixer has reached; the latency is how long the server takes
        // to play out what it already holds. One call gives both for the same moment.
        double v[2] = {0, 0};
        getSourcedv(source, AL_SEC_OFFSET_LATENCY_SOFT, v);
        const double frames = static_cast<double>(track->frames());
        double f = std::fmod((v[0] - v[1]) * PcmTrack::kRate, frames);
        if (f < 0)
            f += frames;
        frame = f;
        return true;
    }

    bool Connected() override
    {
        if (canDisconnect)
        {
            ALCint connected = ALC_TRUE;
            alcGetIntegerv(device, ALC_CONNECTED, 1, &connected);
            if (!connected)
                return false;
        }
        // A looping source stops only when its device gave up.
        ALint state = 0;
        alGetSourcei(source, AL_SOURCE_STATE, &state);
        return !playing || state == AL_PLAYING;
    }

    std::string Describe() const override { return "OpenAL Soft on " + deviceName; }

private:
    std::shared_ptr<const PcmTrack> track;
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    ALuint buffer = 0, source = 0;
    LPALGETSOURCEDVSOFT getSourcedv = nullptr;
    bool canDisconnect = false;
    bool playing = false;
    std::string deviceName;
};
} // namespace

std::unique_ptr<AudioOutput> OpenOpenAlOutput(std::shared_ptr<const PcmTrack> track, std::string& why)
{
    std::unique_ptr<OpenAlOutput> out(new OpenAlOutput);
    if (!out->Open(std::move(track), why))
        return nullptr;
    return out;
}
