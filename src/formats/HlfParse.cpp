#include "formats/HlfParse.h"

#include "formats/ByteReader.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace hlf
{
std::string FormatText(const char* f, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, f);
    std::vsnprintf(buf, sizeof buf, f, ap);
    va_end(ap);
    return buf;
}

namespace
{

// Collects the faults of one file into the single line the caller reports.
class Faults
{
public:
    explicit Faults(const std::string& fileName) : name(fileName) {}
    void add(const std::string& s)
    {
        if (!text.empty())
            text += "; ";
        text += s;
    }
    bool finish(std::string& fault) const
    {
        if (text.empty())
        {
            fault.clear();
            return true;
        }
        fault = "\"" + name + "\": " + text;
        return false;
    }

private:
    const std::string& name;
    std::string text;
};

std::string indexRange(std::int32_t v)
{
    return v > 0 ? FormatText("0..%d", v - 1) : std::string("the empty range (V = 0)");
}
} // namespace

bool ParseKHLF(const std::string& name, const std::uint8_t* data, std::size_t size, KhlfModel& out,
               std::string& fault)
{
    out = KhlfModel();
    Faults faults(name);
    ByteReader r(data, size);
    std::int32_t v = 0, f = 0;
    if (!r.i32(v) || !r.i32(f))
    {
        faults.add(size == 0 ? std::string("empty file: no 8-byte header (V, F)")
                             : FormatText("%zu bytes: shorter than the 8-byte header (V, F)", size));
        return faults.finish(fault);
    }
    if (v < 0 || f < 0)
    {
        faults.add(v < 0 ? FormatText("vertex count V = %d is negative", v)
                         : FormatText("face count F = %d is negative", f));
        return faults.finish(fault);
    }

    const std::uint64_t vertexBytes = 32ull * static_cast<std::uint64_t>(v);
    std::size_t vertices = static_cast<std::size_t>(v);
    if (vertexBytes > r.remaining())
    {
        vertices = r.remaining() / 32;
        faults.add(FormatText("vertex count V = %d needs %llu bytes, but only %zu follow the header: "
                          "%zu vertices and no faces are loaded",
                          v, static_cast<unsigned long long>(vertexBytes), r.remaining(), vertices));
    }
    out.vertices.resize(vertices);
    for (KhlfVertex& vx : out.vertices)
    {
        r.vec(vx.pos);
        r.vec(vx.normal);
        r.f32(vx.s);
        r.f32(vx.t);
    }
    if (vertices < static_cast<std::size_t>(v))
        return faults.finish(fault);

    // Reserve only what the remaining bytes can hold (7 bytes per face at least).
    out.faces.reserve(std::min(static_cast<std::size_t>(f), r.remaining() / 7));
    int broken = 0, firstFace = 0, firstCorner = 0, firstIndex = 0;
    std::int32_t complete = 0;
    bool cut = false;
    for (std::int32_t i = 0; i < f && !cut; ++i)
    {
        KhlfFace face;
        if (!r.u8(face.type))
        {
            cut = true;
            break;
        }
        bool inRange = true;
        for (int k = 0; k < face.corners(); ++k)
        {
            if (!r.i16(face.index[k]))
            {
                cut = true;
                break;
            }
            if (inRange && (face.index[k] < 0 || face.index[k] >= v))
            {
                if (broken == 0)
                {
                    firstFace = i;
                    firstCorner = k;
                    firstIndex = face.index[k];
                }
                inRange = false;
            }
        }
        if (cut)
            break;
        ++complete;
        if (inRange)
            out.faces.push_back(face);
        else
            ++broken;
    }
    if (cut)
        faults.add(FormatText("face count F = %d, but the file (%zu bytes) ends after %d complete faces", f, size,
                          complete));
    if (broken > 0)
        faults.add(
            FormatText("%d face(s) with a vertex index outside %s dropped (first: face %d, corner %d, index %d)",
                   broken, indexRange(v).c_str(), firstFace, firstCorner, firstIndex));
    if (!cut && !r.atEnd())
        faults.add(FormatText("%zu bytes follow the last of the F = %d faces", r.remaining(), f));
    return faults.finish(fault);
}

bool ParseAHLF(const std::string& name, const std::uint8_t* data, std::size_t size, std::vector<AhlfKey>& out,
               std::string& fault)
{
    out.clear();
    Faults faults(name);
    const std::size_t whole = size / 68, rest = size % 68;
    if (size == 0)
        faults.add("empty file: no keys");
    if (rest != 0)
        faults.add(
            FormatText("size %zu bytes is not a multiple of the 68-byte key: the last %zu bytes are ignored",
                   size, rest));
    if (whole > static_cast<std::size_t>(kAhlfMaxKeys))
        faults.add(FormatText("holds %zu keys, more than the capacity of %d: the first %d are loaded", whole,
                          kAhlfMaxKeys, kAhlfMaxKeys));
    const std::size_t n = std::min(whole, static_cast<std::size_t>(kAhlfMaxKeys));
    ByteReader r(data, size);
    out.resize(n);
    for (AhlfKey& k : out)
    {
        r.f32(k.time);
        for (float& m : k.matrix)
            r.f32(m);
    }

    float maxtime = 0;
    bool reportedOrder = false, reportedNan = false;
    for (std::size_t i = 0; i < n; ++i)
    {
        const float t = out[i].time;
        if (!std::isfinite(t) && !reportedNan)
        {
            faults.add(FormatText("key %zu has the time %g", i, static_cast<double>(t)));
            reportedNan = true;
        }
        if (i > 0 && t < out[i - 1].time && !reportedOrder)
        {
            faults.add(FormatText("key %zu time %g lies before key %zu time %g", i, static_cast<double>(t), i - 1,
                              static_cast<double>(out[i - 1].time)));
            reportedOrder = true;
        }
        if (t > maxtime)
            maxtime = t;
    }
    if (n > 0 && maxtime == 0)
        faults.add(
            "every key time is at or below 0: the track cannot loop and applies nothing once time runs");
    return faults.finish(fault);
}

bool ParseOHLF(const std::string& name, const std::uint8_t* data, std::size_t size,
               std::vector<OhlfPart>& out, std::string& fault)
{
    out.clear();
    Faults faults(name);
    std::size_t pos = 0;
    int lineNo = 0;
    // One line without its LF or CR LF; false at the end of the text.
    auto nextLine = [&](std::string& line)
    {
        if (pos >= size)
            return false;
        std::size_t end = pos;
        while (end < size && data[end] != '\n')
            ++end;
        std::size_t stop = end;
        if (stop > pos && data[stop - 1] == '\r')
            --stop;
        line.assign(reinterpret_cast<const char*>(data) + pos, stop - pos);
        pos = end < size ? end + 1 : size;
        ++lineNo;
        return true;
    };
    auto anythingLeft = [&]()
    {
        for (std::size_t i = pos; i < size; ++i)
            if (data[i] != '\n' && data[i] != '\r' && data[i] != ' ' && data[i] != '\t')
                return true;
        return false;
    };

    static const char* const kLine[3] = {"model", "texture", "animation"};
    bool emptyLine = false;
    while (!emptyLine)
    {
        if (out.size() == static_cast<std::size_t>(kOhlfMaxParts))
        {
            std::string next;
            if (nextLine(next) && !next.empty())
                faults.add(FormatText("more than %d parts: the lines from line %d on are not read", kOhlfMaxParts,
                                  lineNo));
            return faults.finish(fault);
        }
        const int first = lineNo + 1;
        std::string line[3];
        int got = 0;
        bool eof = false;
        for (; got < 3; ++got)
        {
            if (!nextLine(line[got]))
            {
                eof = true;
                break;
            }
            if (line[got].empty())
            {
                emptyLine = true;
                break;
            }
        }
        if (got == 3)
        {
            out.push_back(
                OhlfPart{MapBackslashes(line[0]), MapBackslashes(line[1]), MapBackslashes(line[2])});
            continue;
        }
        if (got > 0)
            faults.add(
                FormatText("part %zu (from line %d) is cut short by %s before its %s line: it is not loaded",
                       out.size() + 1, first, eof ? "the end of the file" : "an empty line", kLine[got]));
        if (eof)
            break;
    }
    if (emptyLine && anythingLeft())
        faults.add(FormatText("line %d is empty, so the lines after it are not read", lineNo));
    if (out.empty())
        faults.add("no parts");
    return faults.finish(fault);
}

bool ParseCHLF(const std::string& name, const std::uint8_t* data, std::size_t size,
               std::vector<ChlfNode>& out, std::string& fault, std::int32_t* secondWord)
{
    out.clear();
    Faults faults(name);
    ByteReader r(data, size);
    std::int32_t n = 0, second = 0;
    if (!r.i32(n) || !r.i32(second))
    {
        faults.add(size == 0 ? std::string("empty file: no 8-byte header")
                             : FormatText("%zu bytes: shorter than the 8-byte header", size));
        return faults.finish(fault);
    }
    if (secondWord)
        *secondWord = second;
    if (n < 0)
    {
        faults.add(FormatText("node count N = %d is negative", n));
        return faults.finish(fault);
    }
    std::size_t count = static_cast<std::size_t>(n);
    if (n > kChlfMaxNodes)
    {
        faults.add(FormatText("node count N = %d exceeds the capacity of %d nodes", n, kChlfMaxNodes));
        count = kChlfMaxNodes;
    }
    const std::size_t have = r.remaining() / 44;
    if (have < count)
    {
        faults.add(
            FormatText("node count N = %d needs %llu bytes, but only %zu follow the header: %zu nodes are loaded",
                   n, 44ull * static_cast<unsigned long long>(n), r.remaining(), have));
        count = have;
    }
    else if (n <= kChlfMaxNodes && r.remaining() != count * 44)
        faults.add(FormatText("%zu bytes follow the last of the N = %d nodes", r.remaining() - count * 44, n));
    out.resize(count);
    for (ChlfNode& node : out)
    {
        r.i32(node.time);
        r.vec(node.eye);
        r.vec(node.center);
        r.vec(node.up);
        r.f32(node.fade);
    }
    for (std::size_t i = 1; i < count; ++i)
        if (out[i].time <= out[i - 1].time)
        {
            faults.add(FormatText("node %zu time %d ms does not come after node %zu time %d ms", i, out[i].time,
                              i - 1, out[i - 1].time));
            break;
        }
    return faults.finish(fault);
}

namespace
{
template <typename Out, typename Parse>
bool loadWith(const std::string& path, Out& out, std::string& fault, Parse parse)
{
    const std::string file = MapBackslashes(path);
    std::vector<std::uint8_t> bytes;
    if (!ReadFileBytes(file, bytes, fault))
    {
        out = Out();
        return false;
    }
    return parse(file, bytes.data(), bytes.size(), out, fault);
}
} // namespace

bool LoadKHLF(const std::string& path, KhlfModel& out, std::string& fault)
{
    return loadWith(path, out, fault,
                    [](const std::string& n, const std::uint8_t* d, std::size_t s, KhlfModel& o,
                       std::string& f) { return ParseKHLF(n, d, s, o, f); });
}

bool LoadAHLF(const std::string& path, std::vector<AhlfKey>& out, std::string& fault)
{
    return loadWith(path, out, fault,
                    [](const std::string& n, const std::uint8_t* d, std::size_t s, std::vector<AhlfKey>& o,
                       std::string& f) { return ParseAHLF(n, d, s, o, f); });
}

bool LoadOHLF(const std::string& path, std::vector<OhlfPart>& out, std::string& fault)
{
    return loadWith(path, out, fault,
                    [](const std::string& n, const std::uint8_t* d, std::size_t s, std::vector<OhlfPart>& o,
                       std::string& f) { return ParseOHLF(n, d, s, o, f); });
}

bool LoadCHLF(const std::string& path, std::vector<ChlfNode>& out, std::string& fault)
{
    return loadWith(path, out, fault,
                    [](const std::string& n, const std::uint8_t* d, std::size_t s, std::vector<ChlfNode>& o,
                       std::string& f) { return ParseCHLF(n, d, s, o, f); });
}

std::string MapBackslashes(std::string name)
{
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}
} // namespace hlf
