#include "audio/WavWriter.h"

#include "audio/PcmTrack.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace
{
constexpr long kHeaderBytes = 44;
constexpr int kFrameBytes = PcmTrack::kChannels * 2;

void put32(unsigned char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}
void put16(unsigned char* p, std::uint16_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
} // namespace

WavWriter::~WavWriter()
{
    std::string ignored;
    Close(ignored);
}

bool WavWriter::WriteHeader()
{
    const std::uint32_t data = static_cast<std::uint32_t>(frames * kFrameBytes);
    unsigned char h[kHeaderBytes];
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + data);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 1); // PCM
    put16(h + 22, PcmTrack::kChannels);
    put32(h + 24, PcmTrack::kRate);
    put32(h + 28, PcmTrack::kRate * kFrameBytes);
    put16(h + 32, kFrameBytes);
    put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, data);
    const long end = kHeaderBytes + static_cast<long>(frames * kFrameBytes);
    return std::fseek(file, 0, SEEK_SET) == 0 && std::fwrite(h, 1, sizeof h, file) == sizeof h &&
           std::fseek(file, end, SEEK_SET) == 0 && std::fflush(file) == 0;
}

bool WavWriter::Open(const std::string& path, std::string& error)
{
    std::string ignored;
    Close(ignored);
    name = path;
    frames = 0;
    file = std::fopen(path.c_str(), "wb");
    if (!file || !WriteHeader())
    {
        error = "\"" + path + "\": cannot be written (" + std::strerror(errno) + ")";
        if (file)
            std::fclose(file);
        file = nullptr;
        return false;
    }
    return true;
}

bool WavWriter::Append(const std::int16_t* samples, std::size_t count, std::string& error)
{
    if (!file)
    {
        error = "\"" + name + "\": not open";
        return false;
    }
    // Samples are little-endian on every machine this builds for.
    const std::size_t wrote = std::fwrite(samples, kFrameBytes, count, file);
    const std::uint64_t before = frames;
    frames += wrote;
    if (wrote == count && WriteHeader())
        return true;
    const int why = errno;
    frames = before;
    std::fflush(file);
    if (ftruncate(fileno(file), kHeaderBytes + static_cast<long>(frames * kFrameBytes)) != 0)
        std::fprintf(stderr, "\"%s\": cannot be cut back (%s)\n", name.c_str(), std::strerror(errno));
    WriteHeader();
    error = "\"" + name + "\": write failed (" + std::strerror(why) + ")";
    return false;
}

bool WavWriter::Close(std::string& error)
{
    if (!file)
        return true;
    const bool ok = WriteHeader() && std::fclose(file) == 0;
    file = nullptr;
    if (!ok)
        error = "\"" + name + "\": write failed (" + std::strerror(errno) + ")";
    return ok;
}
