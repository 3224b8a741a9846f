#pragma once
// One way of putting the track out to the sound device. Only the player's device thread makes
// these calls: any of them may take as long as the sound server makes it, and the frame loop
// must never wait for that.
#include <memory>
#include <string>

struct PcmTrack;

class AudioOutput
{
public:
    virtual ~AudioOutput() = default; // closes the device

    // Plays the track, looping, from `frame` (within the track) on, at once.
    virtual void PlayFrom(double frame) = 0;
    // How many frames the device holds beyond the one heard now: a frame handed over now is
    // heard that much later.
    virtual double LatencyFrames() = 0;
    // The frame of the track heard now (within the track, fractional); false until it is known.
    virtual bool Heard(double& frame) = 0;
    // False once the device went away (server gone, card unplugged).
    virtual bool Connected() = 0;
    // What plays the sound, for the one line that says so.
    virtual std::string Describe() const = 0;
};

// OpenAL Soft with the source-latency extension: the whole track is one looping buffer and the
// server reports the playing offset and its latency together. Null with a reason otherwise.
std::unique_ptr<AudioOutput> OpenOpenAlOutput(std::shared_ptr<const PcmTrack> track, std::string& why);
// SDL's audio callback, where OpenAL is not to be had. SDL says only when it asks for a block,
// so the heard position is an estimate from the device's period. Null with a reason otherwise.
std::unique_ptr<AudioOutput> OpenSdlOutput(std::shared_ptr<const PcmTrack> track, std::string& why);
