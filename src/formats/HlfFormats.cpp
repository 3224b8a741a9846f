#include "formats/HlfFormats.h"

#include "app/platform/LittleEndian.h"

#include "app/platform/FileAccess.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace hlf
{
namespace
{
// Little-endian serialisation, field by field, independent of the host's struct padding.
class ByteWriter : public le::ByteWriter
{
public:
    void vec(const svect3f& v)
    {
        f32(v.x);
        f32(v.y);
        f32(v.z);
    }
};
} // namespace

std::vector<std::uint8_t> WriteKHLF(const KhlfModel& model)
{
    ByteWriter w;
    w.i32(static_cast<std::int32_t>(model.vertices.size()));
    w.i32(static_cast<std::int32_t>(model.faces.size()));
    for (const KhlfVertex& v : model.vertices)
    {
        w.vec(v.pos);
        w.vec(v.normal);
        w.f32(v.s);
        w.f32(v.t);
    }
    for (const KhlfFace& f : model.faces)
    {
        w.u8(f.type);
        for (int k = 0; k < f.corners(); ++k)
            w.i16(f.index[k]);
    }
    return w.bytes;
}

std::vector<std::uint8_t> WriteAHLF(const std::vector<AhlfKey>& keys)
{
    ByteWriter w;
    for (const AhlfKey& k : keys)
    {
        w.f32(k.time);
        for (float m : k.matrix)
            w.f32(m);
    }
    return w.bytes;
}

std::string WriteOHLF(const std::vector<OhlfPart>& parts)
{
    std::string s;
    for (const OhlfPart& p : parts)
        s += p.model + "\r\n" + p.texture + "\r\n" + p.anim + "\r\n";
    return s;
}

std::vector<std::uint8_t> WriteIHLF(const std::vector<IhlfQuad>& quads)
{
    ByteWriter w;
    for (const IhlfQuad& q : quads)
        for (const IhlfCorner& c : q.corner)
        {
            w.vec(c.pos);
            w.vec(c.normal);
            w.f32(c.s0);
            w.f32(c.t0);
            w.f32(c.t1);
            w.f32(c.s1);
        }
    return w.bytes;
}

std::vector<std::uint8_t> WriteCHLF(const std::vector<ChlfNode>& nodes, std::int32_t secondWord)
{
    ByteWriter w;
    w.i32(static_cast<std::int32_t>(nodes.size()));
    w.i32(secondWord);
    for (const ChlfNode& n : nodes)
    {
        w.i32(n.time);
        w.vec(n.eye);
        w.vec(n.center);
        w.vec(n.up);
        w.f32(n.fade);
    }
    return w.bytes;
}

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
    {
        error = "\"" + path + "\": cannot be written (" + std::strerror(errno) + ")";
        return false;
    }
    const std::size_t n = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
    if (std::fclose(f) != 0 || n != bytes.size())
    {
        error = "\"" + path + "\": write failed";
        return false;
    }
    return true;
}

bool WriteFileText(const std::string& path, const std::string& text, std::string& error)
{
    return WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()), error);
}

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error,
                   std::uint64_t maxBytes)
{
    return ReadDataFile(path, maxBytes, bytes, error);
}
} // namespace hlf
