#pragma once
// The one little-endian coding of the piece's files (HLF models and tracks, the island, BMP, WAV):
// values by bytes, so nothing depends on the host's byte order or a struct's padding. The loaders
// read with Load*; writers (the generators, the capture's WAV) collect bytes in a ByteWriter.
#include <cstdint>
#include <cstring>
#include <vector>

namespace le
{
inline std::uint16_t Load16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t Load32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline float LoadFloat(const std::uint8_t* p)
{
    const std::uint32_t u = Load32(p);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

class ByteWriter
{
public:
    void u8(std::uint8_t v) { bytes.push_back(v); }
    void u16(std::uint16_t v)
    {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void i16(std::int16_t v) { u16(static_cast<std::uint16_t>(v)); }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f32(float v)
    {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        u32(u);
    }
    void text(const char* s, std::size_t n) { bytes.insert(bytes.end(), s, s + n); }

    std::vector<std::uint8_t> bytes;
};
} // namespace le
