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
    va_list again;
    va_copy(again, ap);
    const int n = std::vsnprintf(buf, sizeof buf, f, ap);
    va_end(ap);
    std::string out;
    if (n < 0)
        out = buf;
    else if (static_cast<std::size_t>(n) < sizeof buf)
        out.assign(buf, static_cast<std::size_t>(n));
    else
    {
        // Longer than the buffer (a long file name, a long table row): format again at full length.
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(&out[0], out.size(), f, again);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(again);
    return out;
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

// The first of n values that is not a finite number, or -1.
int firstNonFinite(const float* v, int n)
{
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(v[i]))
            return i;
    return -1;
}

// Counts records of one kind of fault and remembers the first, for a one-line report.
struct FirstOf
{
    long long count = 0;
    std::size_t record = 0;
    std::string field;
    double value = 0;
    void add(std::size_t rec, const std::string& fieldName, double v)
    {
        if (count++ == 0)
        {
            record = rec;
            field = fieldName;
            value = v;
        }
    }
    // "key 3, matrix[5] = nan"
    std::string first(const char* what) const
    {
        return FormatText("%s %zu, %s = %g", what, record, field.c_str(), value);
    }
};

const char* const kAxis[3] = {"x", "y", "z"};

std::string vectorField(const char* name, int axis) { return std::string(name) + "." + kAxis[axis]; }

double length(double x, double y, double z) { return std::sqrt(x * x + y * y + z * z); }
} // namespace

const char* DegenerateView(const svect3f& eye, const svect3f& center, const svect3f& up)
{
    const float all[9] = {eye.x, eye.y, eye.z, center.x, center.y, center.z, up.x, up.y, up.z};
    if (firstNonFinite(all, 9) >= 0)
        return "a value is not a finite number";
    // In double: float differences of far-apart points may overflow.
    const double dx = static_cast<double>(center.x) - eye.x, dy = static_cast<double>(center.y) - eye.y,
                 dz = static_cast<double>(center.z) - eye.z;
    const double ux = up.x, uy = up.y, uz = up.z;
    const double view = length(dx, dy, dz), upLength = length(ux, uy, uz);
    if (!(view > 1e-6))
        return "the eye sits on the centre";
    if (!(upLength > 1e-6))
        return "the up vector is zero";
    const double side = length(dy * uz - dz * uy, dz * ux - dx * uz, dx * uy - dy * ux);
    // Within 0.06 degrees of the line of sight the picture's roll is left to rounding.
    if (!(side > 1e-3 * view * upLength))
        return "the up vector points along the line of sight";
    return nullptr;
}

namespace
{
// The geometric normal of a face (unnormalised, in double), from its first three corners or, for
// a quad, its two diagonals.
void faceNormal(const KhlfModel& m, const KhlfFace& f, double n[3])
{
    auto p = [&](int k) { return m.vertices[static_cast<std::size_t>(f.index[k])].pos; };
    const bool quad = f.corners() == 4;
    const svect3f a = quad ? p(2) - p(0) : p(1) - p(0);
    const svect3f b = quad ? p(3) - p(1) : p(2) - p(0);
    n[0] = static_cast<double>(a.y) * b.z - static_cast<double>(a.z) * b.y;
    n[1] = static_cast<double>(a.z) * b.x - static_cast<double>(a.x) * b.z;
    n[2] = static_cast<double>(a.x) * b.y - static_cast<double>(a.y) * b.x;
}

// Keeps every value of the model a finite number (see ParseKHLF).
void repairKhlfValues(KhlfModel& m, Faults& faults)
{
    FirstOf badPos, badNormal, badTex;
    std::vector<char> posBad(m.vertices.size(), 0), normalBad(m.vertices.size(), 0);
    for (std::size_t i = 0; i < m.vertices.size(); ++i)
    {
        KhlfVertex& v = m.vertices[i];
        const float pos[3] = {v.pos.x, v.pos.y, v.pos.z};
        const float normal[3] = {v.normal.x, v.normal.y, v.normal.z};
        const float tex[2] = {v.s, v.t};
        if (const int k = firstNonFinite(pos, 3); k >= 0)
        {
            badPos.add(i, vectorField("position", k), pos[k]);
            posBad[i] = 1;
            v.pos = svect3f(0, 0, 0);
        }
        if (const int k = firstNonFinite(normal, 3); k >= 0)
        {
            badNormal.add(i, vectorField("normal", k), normal[k]);
            normalBad[i] = 1;
        }
        if (const int k = firstNonFinite(tex, 2); k >= 0)
        {
            badTex.add(i, k == 0 ? "s" : "t", tex[k]);
            if (!std::isfinite(v.s))
                v.s = 0;
            if (!std::isfinite(v.t))
                v.t = 0;
        }
    }
    if (badPos.count == 0 && badNormal.count == 0 && badTex.count == 0)
        return;

    std::size_t dropped = 0;
    if (badPos.count > 0)
    {
        const auto usesBad = [&](const KhlfFace& f)
        {
            for (int k = 0; k < f.corners(); ++k)
                if (posBad[static_cast<std::size_t>(f.index[k])])
                    return true;
            return false;
        };
        const std::size_t before = m.faces.size();
        m.faces.erase(std::remove_if(m.faces.begin(), m.faces.end(), usesBad), m.faces.end());
        dropped = before - m.faces.size();
        faults.add(FormatText("%lld vertex position(s) are not finite numbers (first: %s): the %zu face(s) "
                              "that use them are dropped",
                              badPos.count, badPos.first("vertex").c_str(), dropped));
    }
    if (badNormal.count > 0)
    {
        // A normal is rebuilt from the faces it lights: the sum of their geometric normals.
        std::vector<double> sum(3 * m.vertices.size(), 0.0);
        for (const KhlfFace& f : m.faces)
        {
            double n[3];
            faceNormal(m, f, n);
            for (int k = 0; k < f.corners(); ++k)
                for (int c = 0; c < 3; ++c)
                    sum[3 * static_cast<std::size_t>(f.index[k]) + static_cast<std::size_t>(c)] += n[c];
        }
        for (std::size_t i = 0; i < m.vertices.size(); ++i)
        {
            if (!normalBad[i])
                continue;
            const double* n = &sum[3 * i];
            const double len = length(n[0], n[1], n[2]);
            m.vertices[i].normal = len > 0 && std::isfinite(len) ? svect3f(static_cast<float>(n[0] / len),
                                                                           static_cast<float>(n[1] / len),
                                                                           static_cast<float>(n[2] / len))
                                                                 : svect3f(0, 0, 0);
        }
        faults.add(
            FormatText("%lld vertex normal(s) are not finite numbers (first: %s): each is rebuilt from "
                       "the faces around its vertex",
                       badNormal.count, badNormal.first("vertex").c_str()));
    }
    if (badTex.count > 0)
        faults.add(
            FormatText("%lld vertex texture coordinate pair(s) hold a value that is not a finite number "
                       "(first: %s): such values become 0",
                       badTex.count, badTex.first("vertex").c_str()));
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
    if (v > kKhlfMaxVertices)
        faults.add(
            FormatText("vertex count V = %d exceeds the capacity of %d vertices (the 16-bit indices reach "
                       "no further): the first %d are loaded",
                       v, kKhlfMaxVertices, kKhlfMaxVertices));

    const std::uint64_t vertexBytes = 32ull * static_cast<std::uint64_t>(v);
    std::size_t vertices = static_cast<std::size_t>(v);
    if (vertexBytes > r.remaining())
    {
        vertices = r.remaining() / 32;
        faults.add(FormatText("vertex count V = %d needs %llu bytes, but only %zu follow the header: "
                              "%zu vertices and no faces are loaded",
                              v, static_cast<unsigned long long>(vertexBytes), r.remaining(),
                              std::min(vertices, static_cast<std::size_t>(kKhlfMaxVertices))));
    }
    const bool cutInVertices = vertices < static_cast<std::size_t>(v);
    const std::size_t kept = std::min(vertices, static_cast<std::size_t>(kKhlfMaxVertices));
    out.vertices.resize(kept);
    for (KhlfVertex& vx : out.vertices)
    {
        r.vec(vx.pos);
        r.vec(vx.normal);
        r.f32(vx.s);
        r.f32(vx.t);
    }
    if (cutInVertices)
    {
        repairKhlfValues(out, faults);
        return faults.finish(fault);
    }
    r.skip(32 * (vertices - kept)); // vertices past the capacity: no index can reach them

    const std::int32_t faceCount = std::min(f, static_cast<std::int32_t>(kKhlfMaxFaces));
    if (f > kKhlfMaxFaces)
        faults.add(FormatText("face count F = %d exceeds the capacity of %d faces: the first %d are read", f,
                              kKhlfMaxFaces, kKhlfMaxFaces));
    const std::int32_t indexLimit = static_cast<std::int32_t>(kept);
    // Reserve only what the remaining bytes can hold (7 bytes per face at least).
    out.faces.reserve(std::min(static_cast<std::size_t>(faceCount), r.remaining() / 7));
    int broken = 0, firstFace = 0, firstCorner = 0, firstIndex = 0;
    std::int32_t complete = 0;
    bool cut = false;
    for (std::int32_t i = 0; i < faceCount && !cut; ++i)
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
            if (inRange && (face.index[k] < 0 || face.index[k] >= indexLimit))
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
        faults.add(FormatText("face count F = %d, but the file (%zu bytes) ends after %d complete faces", f,
                              size, complete));
    if (broken > 0)
        faults.add(FormatText(
            "%d face(s) with a vertex index outside %s dropped (first: face %d, corner %d, index %d)", broken,
            indexRange(indexLimit).c_str(), firstFace, firstCorner, firstIndex));
    if (!cut && !r.atEnd() && f <= kKhlfMaxFaces)
        faults.add(FormatText("%zu bytes follow the last of the F = %d faces", r.remaining(), f));
    repairKhlfValues(out, faults);
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
    const std::size_t stored = std::min(whole, static_cast<std::size_t>(kAhlfMaxKeys));
    ByteReader r(data, size);
    out.reserve(stored);
    FirstOf bad;
    for (std::size_t i = 0; i < stored; ++i)
    {
        AhlfKey k;
        r.f32(k.time);
        for (float& m : k.matrix)
            r.f32(m);
        // A key that is not all numbers would blend its NaN into every frame near it.
        if (!std::isfinite(k.time))
            bad.add(i, "time", k.time);
        else if (const int e = firstNonFinite(k.matrix, 16); e >= 0)
            bad.add(i, FormatText("matrix[%d]", e), k.matrix[e]);
        else
            out.push_back(k);
    }
    if (bad.count > 0)
        faults.add(
            FormatText("%lld key(s) hold a value that is not a finite number (first: %s): they are dropped",
                       bad.count, bad.first("key").c_str()));

    const std::size_t n = out.size();
    float maxtime = 0;
    bool reportedOrder = false;
    for (std::size_t i = 0; i < n; ++i)
    {
        const float t = out[i].time;
        if (i > 0 && t < out[i - 1].time && !reportedOrder)
        {
            faults.add(FormatText("key %zu time %g lies before key %zu time %g", i, static_cast<double>(t),
                                  i - 1, static_cast<double>(out[i - 1].time)));
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
    int skipped = 0;
    while (!emptyLine)
    {
        if (out.size() + static_cast<std::size_t>(skipped) == static_cast<std::size_t>(kOhlfMaxParts))
        {
            std::string next;
            if (nextLine(next) && !next.empty())
                faults.add(FormatText("more than %d parts: the lines from line %d on are not read",
                                      kOhlfMaxParts, lineNo));
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
            int bad = -1;
            std::size_t column = 0;
            for (int k = 0; k < 3 && bad < 0; ++k)
                for (std::size_t c = 0; c < line[k].size() && bad < 0; ++c)
                {
                    const unsigned char b = static_cast<unsigned char>(line[k][c]);
                    if ((b < 0x20 && b != '\t') || b == 0x7f)
                    {
                        bad = k;
                        column = c;
                    }
                }
            if (bad >= 0)
            {
                // The name would be cut at a NUL and open some other file than the one it shows.
                faults.add(FormatText("part %zu (from line %d): its %s name holds the control byte 0x%02x at "
                                      "column %zu: it is not loaded",
                                      out.size() + static_cast<std::size_t>(skipped) + 1, first, kLine[bad],
                                      static_cast<unsigned char>(line[bad][column]), column + 1));
                ++skipped;
                continue;
            }
            out.push_back(
                OhlfPart{MapBackslashes(line[0]), MapBackslashes(line[1]), MapBackslashes(line[2])});
            continue;
        }
        if (got > 0)
            faults.add(
                FormatText("part %zu (from line %d) is cut short by %s before its %s line: it is not loaded",
                           out.size() + static_cast<std::size_t>(skipped) + 1, first,
                           eof ? "the end of the file" : "an empty line", kLine[got]));
        if (eof)
            break;
    }
    if (emptyLine && anythingLeft())
        faults.add(FormatText("line %d is empty, so the lines after it are not read", lineNo));
    if (out.empty() && skipped == 0)
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
        faults.add(FormatText(
            "node count N = %d needs %llu bytes, but only %zu follow the header: %zu nodes are loaded", n,
            44ull * static_cast<unsigned long long>(n), r.remaining(), have));
        count = have;
    }
    else if (n <= kChlfMaxNodes && r.remaining() != count * 44)
        faults.add(
            FormatText("%zu bytes follow the last of the N = %d nodes", r.remaining() - count * 44, n));
    out.reserve(count);
    std::vector<std::size_t> record; // file record of each kept node, for the messages
    FirstOf nonFinite, degenerate, fadeOut;
    std::string degenerateWhy;
    for (std::size_t i = 0; i < count; ++i)
    {
        ChlfNode node;
        r.i32(node.time);
        r.vec(node.eye);
        r.vec(node.center);
        r.vec(node.up);
        r.f32(node.fade);
        const float values[10] = {node.eye.x,    node.eye.y, node.eye.z, node.center.x, node.center.y,
                                  node.center.z, node.up.x,  node.up.y,  node.up.z,     node.fade};
        static const char* const kField[10] = {"eye.x",    "eye.y", "eye.z", "centre.x", "centre.y",
                                               "centre.z", "up.x",  "up.y",  "up.z",     "fade"};
        if (const int k = firstNonFinite(values, 10); k >= 0)
        {
            nonFinite.add(i, kField[k], values[k]);
            continue;
        }
        if (const char* why = DegenerateView(node.eye, node.center, node.up))
        {
            if (degenerate.count == 0)
                degenerateWhy = why;
            degenerate.add(i, "", 0);
            continue;
        }
        if (node.fade < kChlfMinFade || node.fade > kChlfMaxFade)
        {
            fadeOut.add(i, "fade", node.fade);
            node.fade = std::clamp(node.fade, kChlfMinFade, kChlfMaxFade);
        }
        out.push_back(node);
        record.push_back(i);
    }
    if (nonFinite.count > 0)
        faults.add(
            FormatText("%lld node(s) hold a value that is not a finite number (first: %s): they are dropped",
                       nonFinite.count, nonFinite.first("node").c_str()));
    if (degenerate.count > 0)
        faults.add(FormatText("%lld node(s) give no view (first: node %zu, where %s): they are dropped",
                              degenerate.count, degenerate.record, degenerateWhy.c_str()));
    if (fadeOut.count > 0)
        faults.add(
            FormatText("%lld fade value(s) lie outside %g..%g (first: %s): each is held at the nearer end",
                       fadeOut.count, static_cast<double>(kChlfMinFade), static_cast<double>(kChlfMaxFade),
                       fadeOut.first("node").c_str()));
    for (std::size_t i = 1; i < out.size(); ++i)
        if (out[i].time <= out[i - 1].time)
        {
            faults.add(FormatText("node %zu time %d ms does not come after node %zu time %d ms", record[i],
                                  out[i].time, record[i - 1], out[i - 1].time));
            break;
        }
    return faults.finish(fault);
}

namespace
{
template <typename Out, typename Parse>
bool loadWith(const std::string& path, std::uint64_t maxBytes, Out& out, std::string& fault, Parse parse)
{
    const std::string file = MapBackslashes(path);
    std::vector<std::uint8_t> bytes;
    if (!ReadFileBytes(file, bytes, fault, maxBytes))
    {
        out = Out();
        return false;
    }
    return parse(file, bytes.data(), bytes.size(), out, fault);
}
} // namespace

bool LoadKHLF(const std::string& path, KhlfModel& out, std::string& fault)
{
    return loadWith(path, kKhlfMaxFileBytes, out, fault,
                    [](const std::string& n, const std::uint8_t* d, std::size_t s, KhlfModel& o,
                       std::string& f) { return ParseKHLF(n, d, s, o, f); });
}

bool LoadAHLF(const std::string& path, std::vector<AhlfKey>& out, std::string& fault)
{
    return loadWith(path, kAhlfMaxFileBytes, out, fault,
                    [](const std::string& n, const std::uint8_t* d, std::size_t s, std::vector<AhlfKey>& o,
                       std::string& f) { return ParseAHLF(n, d, s, o, f); });
}

bool LoadOHLF(const std::string& path, std::vector<OhlfPart>& out, std::string& fault)
{
    return loadWith(path, kOhlfMaxFileBytes, out, fault,
                    [](const std::string& n, const std::uint8_t* d, std::size_t s, std::vector<OhlfPart>& o,
                       std::string& f) { return ParseOHLF(n, d, s, o, f); });
}

bool LoadCHLF(const std::string& path, std::vector<ChlfNode>& out, std::string& fault)
{
    return loadWith(path, kChlfMaxFileBytes, out, fault,
                    [](const std::string& n, const std::uint8_t* d, std::size_t s, std::vector<ChlfNode>& o,
                       std::string& f) { return ParseCHLF(n, d, s, o, f); });
}

std::string MapBackslashes(std::string name)
{
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}
} // namespace hlf
