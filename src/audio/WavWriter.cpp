#include "audio/WavWriter.h"

#include "app/platform/LittleEndian.h"
#include "audio/PcmTrack.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace
{
constexpr long kHeaderBytes = 44;
constexpr int kFrameBytes = PcmTrack::kChannels * 2;

} // namespace

WavWriter::~WavWriter()
{
    std::string ignored;
    Close(ignored);
}

bool WavWriter::WriteHeader()
{
    const std::uint32_t data = static_cast<std::uint32_t>(frames * kFrameBytes);
    le::ByteWriter h;
    h.text("RIFF", 4);
    h.u32(36 + data);
    h.text("WAVEfmt ", 8);
    h.u32(16);
    h.u16(1); // PCM
    h.u16(PcmTrack::kChannels);
    h.u32(PcmTrack::kRate);
    h.u32(PcmTrack::kRate * kFrameBytes);
    h.u16(kFrameBytes);
    h.u16(16);
    h.text("data", 4);
    h.u32(data);
    const long end = kHeaderBytes + static_cast<long>(frames * kFrameBytes);
    return std::fseek(file, 0, SEEK_SET) == 0 &&
           std::fwrite(h.bytes.data(), 1, h.bytes.size(), file) == h.bytes.size() &&
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
