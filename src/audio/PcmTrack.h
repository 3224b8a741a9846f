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

// What an MP3 file itself holds, before decoding turns it into the playback format.
struct Mp3Source
{
    long rate = 0;      // sample rate of the first frame, Hz
    int channels = 0;   // 1 or 2, of the first frame
    bool mixed = false; // later frames change the rate or the channel count
};

// An MP3 file larger than this is refused unread: an hour of the highest bit rate is less.
constexpr std::uint64_t kMaxMp3FileBytes = std::uint64_t(160) << 20;

// Decodes an MP3 file completely with libmpg123 into 44.1 kHz 16-bit stereo (mono is doubled).
// On failure returns false and puts a one-line reason (naming the file) into error. A name that
// is no regular file, or a file over kMaxMp3FileBytes, is refused before decoding. `source`, when
// given, receives the file's own format.
bool DecodeMp3(const std::string& path, PcmTrack& out, std::string& error, Mp3Source* source = nullptr);

// Writes frames [first, first + count) of the track as a 16-bit stereo WAV file.
bool WriteWav(const std::string& path, const PcmTrack& track, std::size_t first, std::size_t count,
              std::string& error);
