#include "formats/IHLF.h"

#include "app/platform/FileAccess.h"
#include "app/platform/LittleEndian.h"
#include "math/random.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace ihlf
{
namespace
{
float getFloat(const std::uint8_t* p) { return le::LoadFloat(p); }

const char* statusText(Status s)
{
    switch (s)
    {
    case Status::Ok:
        return "ok";
    case Status::Repaired:
        return "some quads were dropped";
    case Status::Empty:
        return "the file is empty";
    case Status::NotWhole:
        return "its size is not a whole number of 160-byte quad records";
    case Status::TooLarge:
        return "it holds more quad records than the island can take";
    case Status::Garbage:
        return "its values are not an island's";
    case Status::Unreadable:
        return "cannot read the file";
    }
    return "?";
}

// The first value of a corner outside what an island holds, as "position.y = nan", or "".
std::string cornerFault(const corner_t& k)
{
    struct Field
    {
        const char* name;
        float value;
    };
    const Field fields[10] = {{"position.x", k.pos.x},
                              {"position.y", k.pos.y},
                              {"position.z", k.pos.z},
                              {"normal.x", k.normal.x},
                              {"normal.y", k.normal.y},
                              {"normal.z", k.normal.z},
                              {"s0", k.s0},
                              {"t0", k.t0},
                              {"t1", k.t1},
                              {"s1", k.s1}};
    for (const Field& f : fields)
        // Written so that NaN fails it too.
        if (!(std::fabs(f.value) <= kMaxValue))
        {
            char buf[96];
            std::snprintf(buf, sizeof buf, "%s = %g", f.name, static_cast<double>(f.value));
            return buf;
        }
    return "";
}

std::string sizeFault(Status st, std::uint64_t size)
{
    const std::string bytes = std::to_string(size) + " bytes";
    switch (st)
    {
    case Status::Empty:
        return "empty file: no quads";
    case Status::NotWhole:
        return "size " + bytes + " is not a multiple of the 160-byte quad record";
    case Status::TooLarge:
        return "size " + bytes + " holds more than the " + std::to_string(kMaxQuads) +
               " quads an island can take: it is not read";
    default:
        return std::string(statusText(st)) + " (" + bytes + ")";
    }
}

Status sizeStatus(std::uint64_t size)
{
    if (size == 0)
        return Status::Empty;
    if (size % kQuadBytes != 0)
        return Status::NotWhole;
    if (size / kQuadBytes > kMaxQuads)
        return Status::TooLarge;
    return Status::Ok;
}
} // namespace

Status Parse(const std::uint8_t* bytes, std::size_t size, std::vector<quad_t>& quads, std::string* fault)
{
    quads.clear();
    if (fault)
        fault->clear();
    const Status st = sizeStatus(size);
    if (st != Status::Ok)
    {
        if (fault)
            *fault = sizeFault(st, size);
        return st;
    }
    const std::size_t n = size / kQuadBytes;
    quads.reserve(n);
    std::size_t bad = 0, firstBad = 0;
    int firstCorner = 0;
    std::string firstField;
    for (std::size_t q = 0; q < n; ++q)
    {
        quad_t quad;
        std::string why;
        int badCorner = -1;
        for (int c = 0; c < 4; ++c)
        {
            const std::uint8_t* p = bytes + q * kQuadBytes + static_cast<std::size_t>(c) * kCornerBytes;
            corner_t& k = quad.corner[c];
            k.pos = svect3f(getFloat(p), getFloat(p + 4), getFloat(p + 8));
            k.normal = svect3f(getFloat(p + 12), getFloat(p + 16), getFloat(p + 20));
            k.s0 = getFloat(p + 24);
            k.t0 = getFloat(p + 28);
            k.t1 = getFloat(p + 32);
            k.s1 = getFloat(p + 36);
            if (badCorner < 0 && !(why = cornerFault(k)).empty())
                badCorner = c;
        }
        if (badCorner < 0)
        {
            quads.push_back(quad);
            continue;
        }
        if (bad++ == 0)
        {
            firstBad = q;
            firstCorner = badCorner;
            firstField = why;
        }
    }
    if (bad == 0)
        return Status::Ok;
    const bool garbage = bad * kGarbageShare > n;
    if (fault)
    {
        char buf[320];
        std::snprintf(buf, sizeof buf,
                      "%zu of %zu quads hold a value that is not a finite number or lies beyond any island "
                      "(first: quad %zu, corner %d, %s)%s",
                      bad, n, firstBad, firstCorner, firstField.c_str(),
                      garbage ? ": the file is not an island and is not used" : ": they are dropped");
        *fault = buf;
    }
    if (garbage)
    {
        quads.clear();
        return Status::Garbage;
    }
    return Status::Repaired;
}

Status ReadFile(const std::string& name, std::vector<quad_t>& quads, std::string& error)
{
    quads.clear();
    error.clear();
    // The size decides first, so a hostile size is refused before anything is read or allocated.
    std::uint64_t size = 0;
    std::FILE* f = OpenDataFile(name, std::numeric_limits<std::uint64_t>::max(), size, error);
    if (!f)
        return Status::Unreadable;
    Status st = sizeStatus(size);
    if (st != Status::Ok)
    {
        error = "\"" + name + "\": " + sizeFault(st, size);
        std::fclose(f);
        return st;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    if (got != bytes.size())
    {
        error = "\"" + name + "\": read " + std::to_string(got) + " of " + std::to_string(size) + " bytes";
        return Status::Unreadable;
    }
    std::string fault;
    st = Parse(bytes.data(), bytes.size(), quads, &fault);
    if (st != Status::Ok)
        error = "\"" + name + "\": " + fault;
    return st;
}

const double treeveclist[kTrees][3] = {
    {33.1316375732, 55.6630897522, 7.39094114304},    {-0.298711597919, 33.3756332397, 1.57763433456},
    {-32.3240890503, 13.6531925201, 78.0187149048},   {-34.0406036377, 26.0224990845, 60.0838928223},
    {-20.532207489, 36.316280365, 46.5245246887},     {-9.30611801147, 45.2709846497, 42.0339660645},
    {-20.532207489, 36.316280365, 46.5245246887},     {-38.4938964844, 23.8553924561, 46.5243606567},
    {-20.532207489, 36.316280365, 46.5245246887},     {-38.4938964844, 23.8553924561, 46.5243606567},
    {-50.0230293274, 14.1893844604, 72.5707931519},   {-52.3162002563, 21.3523178101, 55.9067344666},
    {-38.4938964844, 23.8553924561, 46.5243606567},   {-52.3162002563, 21.3523178101, 55.9067344666},
    {-38.4938964844, 23.8553924561, 46.5243606567},   {-47.4761581421, 21.7561340332, 42.0348434448},
    {-57.7609634399, 19.7970695496, 42.9229431152},   {-47.4761581421, 21.7561340332, 42.0348434448},
    {-57.7609634399, 19.7970695496, 42.9229431152},   {-69.097946167, 12.4709320068, 60.4567184448},
    {-57.7609634399, 19.7970695496, 42.9229431152},   {-16.041759491, 40.3213233948, 30.8078727722},
    {-27.2678222656, 34.4819374084, 21.8270149231},   {-7.06089496613, 34.6587486267, 8.35572624207},
    {-38.5392684937, 14.2057647705, 8.35893058777},   {-43.2037506104, 20.463924408, 28.6663608551},
    {-38.5392684937, 14.2057647705, 8.35893058777},   {22.3268146515, 36.7513427734, -14.0528593063},
    {-0.298711597919, 33.3756332397, 1.57763433456},  {15.3921470642, 30.2275390625, -27.5690574646},
    {1.91995334625, 30.6055526733, -27.5676727295},   {1.91997718811, 27.6881523132, -34.3043365479},
    {17.8634796143, 19.5994110107, -41.3435783386},   {1.91997718811, 27.6881523132, -34.3043365479},
    {-29.5130329132, 22.5014839172, -0.625118851662}, {-31.7582359314, 20.6570129395, -18.5868225098},
    {-36.2486572266, 20.9169425964, -34.3033218384},  {-40.7391357422, 19.140455246, -20.8320579529},
    {-59.2329444885, 13.2079181671, -32.3954544067},  {-36.2486572266, 20.9169425964, -34.3033218384},
    {-31.7582321167, 16.8275356293, -45.5293884277},  {-6.91063451767, 16.5363693237, -63.5940208435},
    {-14.4506940842, 11.0389518738, -70.8436050415},  {-23.6002693176, 14.5246353149, -63.2194290161},
};

svect3f TreePosition(int n)
{
    if (n < 0 || n >= kTrees)
        return svect3f();
    const double* row = treeveclist[n];
    return svect3f(static_cast<float>(row[0]), static_cast<float>(row[1] - 1.0), static_cast<float>(row[2]));
}

void SetTreeLevels(CTree& tree, float a, float b, const float r[4])
{
    tree.SetLevel(0, 10 + b, 0.8f, 4, 3, 2 + a, 0.07f, 0.08f, false);
    tree.SetLevel(1, 4, 0.4f, 3, 3, 2 + r[0], 0.07f, 0.08f, false);
    tree.SetLevel(2, 2, 0.2f, 2, 5, 2 + r[1], 0.07f, 0.08f, false);
    tree.SetLevel(3, 1.2f, 0.1f, 2, 3, 2 + r[2], 0.07f, 0.08f, false);
    tree.SetLevel(4, 0.6f, 0.06f, 2, 0, 3 + r[3], 0.07f, 0.08f, true);
}

int GrowForest(CTree::Sink& trunks, CTree::Sink& leaves)
{
    int grown = 0;
    for (int n = 0; n < kTrees; ++n)
    {
        CTree tree;
        const svect3f p = TreePosition(n);
        tree.SetPos(p.x, p.y, p.z);
        const float a = rnd(0, 6);
        const float b = rnd(0, 2);
        float r[4];
        // Each level's draw comes just before that level is set; no other draw sits between.
        for (float& ri : r)
            ri = rnd(0, 1);
        SetTreeLevels(tree, a, b, r);
        if (!tree.Generate())
            continue;
        // Rendering draws nothing, so emitting the leaves here rather than after all trunks
        // gives the same lists while only one tree is alive at a time.
        tree.RenderTrunk(trunks);
        tree.RenderLeaf(leaves);
        ++grown;
    }
    return grown;
}
} // namespace ihlf
