#pragma once
// ByteReader walks a byte block little-endian, field by field. A read that would step past the
// end fails, leaves the position where it was and sets nothing, so a parser can never read
// outside its input whatever the file announces.
#include "app/platform/LittleEndian.h"
#include "math/svect3f.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace hlf
{
class ByteReader
{
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : p(data), n(data ? size : 0) {}

    std::size_t pos() const { return at; }
    std::size_t size() const { return n; }
    std::size_t remaining() const { return n - at; }
    bool atEnd() const { return at == n; }

    // Steps over n bytes, all or nothing.
    bool skip(std::size_t count)
    {
        if (remaining() < count)
            return false;
        at += count;
        return true;
    }
    bool u8(std::uint8_t& v)
    {
        if (remaining() < 1)
            return false;
        v = p[at++];
        return true;
    }
    bool u32(std::uint32_t& v)
    {
        if (remaining() < 4)
            return false;
        v = le::Load32(p + at);
        at += 4;
        return true;
    }
    bool i32(std::int32_t& v)
    {
        std::uint32_t u;
        if (!u32(u))
            return false;
        v = static_cast<std::int32_t>(u);
        return true;
    }
    bool i16(std::int16_t& v)
    {
        if (remaining() < 2)
            return false;
        v = static_cast<std::int16_t>(le::Load16(p + at));
        at += 2;
        return true;
    }
    bool f32(float& v)
    {
        std::uint32_t u;
        if (!u32(u))
            return false;
        std::memcpy(&v, &u, 4);
        return true;
    }
    // All three or nothing.
    bool vec(svect3f& v)
    {
        if (remaining() < 12)
            return false;
        f32(v.x);
        f32(v.y);
        f32(v.z);
        return true;
    }

private:
    const std::uint8_t* p;
    std::size_t n;
    std::size_t at = 0;
};
} // namespace hlf
