#pragma once
// A decoded track held whole in memory: interleaved 16-bit stereo at 44.1 kHz, the form the
// playback callback, the spectrum and the capture's WAV writer all read.
#include <cstdint>
#include <string>
#include <vector>

struct PcmTrack
{
    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;

    std::vector<std::int16_t> samples; // interleaved L, R
    std::size_t frames() const { return samples.size() / kChannels; }
    double seconds() const { return static_cast<double>(frames()) / kRate; }
};

// Decodes an MP3 file completely with libmpg123 into 44.1 kHz 16-bit stereo (mono is doubled).
// On failure returns false and puts a one-line reason (naming the file) into error.
bool DecodeMp3(const std::string& path, PcmTrack& out, std::string& error);

// Writes frames [first, first + count) of the track as a 16-bit stereo WAV file.
bool WriteWav(const std::string& path, const PcmTrack& track, std::size_t first, std::size_t count,
              std::string& error);
