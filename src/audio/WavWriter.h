#pragma once
// A 16-bit stereo 44.1 kHz WAV file written while a capture runs. Every Append rewrites the header
// to match the samples on disk and flushes, so a capture that is interrupted, killed or stopped by
// a full disk leaves a valid file holding exactly the audio of its complete frames.
#include <cstdint>
#include <cstdio>
#include <string>

class WavWriter
{
public:
    WavWriter() = default;
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;
    ~WavWriter();

    // Creates (or replaces) the file with an empty data chunk.
    bool Open(const std::string& path, std::string& error);
    // Adds `frames` interleaved stereo frames. On a failed write the file is cut back to the
    // frames written before, its header still true.
    bool Append(const std::int16_t* samples, std::size_t frames, std::string& error);
    bool Close(std::string& error);
    std::uint64_t Frames() const { return frames; }

private:
    bool WriteHeader();

    std::FILE* file = nullptr;
    std::string name;
    std::uint64_t frames = 0;
};
