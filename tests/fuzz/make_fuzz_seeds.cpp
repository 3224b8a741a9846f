// Writes the binary seeds of the fuzz targets into <folder>/<target>/: small sound files of each
// format, made by the piece's own writers, from which the fuzzer grows its damaged ones.
//   make_fuzz_seeds <folder>
#include "formats/HlfFormats.h"

#include "Image.h" // tools/common

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
std::string folder;

void put(const std::string& target, const std::string& name, const std::vector<std::uint8_t>& bytes)
{
    const std::string dir = folder + "/" + target;
    mkdir(dir.c_str(), 0755);
    std::string error;
    if (!hlf::WriteFileBytes(dir + "/" + name, bytes, error))
    {
        std::fprintf(stderr, "make_fuzz_seeds: %s\n", error.c_str());
        std::exit(1);
    }
}

std::vector<std::uint8_t> fileBytes(const std::string& path)
{
    std::vector<std::uint8_t> b;
    std::string error;
    if (!hlf::ReadFileBytes(path, b, error))
    {
        std::fprintf(stderr, "make_fuzz_seeds: %s\n", error.c_str());
        std::exit(1);
    }
    std::remove(path.c_str());
    return b;
}

void putU32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    folder = argv[1];
    mkdir(folder.c_str(), 0755);

    hlf::KhlfModel model;
    for (int i = 0; i < 4; ++i)
    {
        hlf::KhlfVertex v;
        v.pos = svect3f(static_cast<float>(i & 1), static_cast<float>(i >> 1), 0);
        v.normal = svect3f(0, 0, 1);
        v.s = v.pos.x;
        v.t = v.pos.y;
        model.vertices.push_back(v);
    }
    hlf::KhlfFace quad, tri;
    quad.type = 1;
    quad.index[0] = 0, quad.index[1] = 1, quad.index[2] = 3, quad.index[3] = 2;
    tri.index[0] = 0, tri.index[1] = 1, tri.index[2] = 2;
    model.faces = {quad, tri};
    put("khlf", "quad_and_triangle.khlf", hlf::WriteKHLF(model));
    put("khlf", "empty.khlf", hlf::WriteKHLF(hlf::KhlfModel()));

    std::vector<hlf::AhlfKey> keys(3);
    for (int i = 0; i < 3; ++i)
    {
        keys[static_cast<std::size_t>(i)].time = 10.0f * static_cast<float>(i);
        keys[static_cast<std::size_t>(i)].matrix[3] = static_cast<float>(i);
    }
    put("ahlf", "three_keys.ahlf", hlf::WriteAHLF(keys));

    std::vector<hlf::ChlfNode> nodes(3);
    for (int i = 0; i < 3; ++i)
    {
        hlf::ChlfNode& n = nodes[static_cast<std::size_t>(i)];
        n.time = 1000 * i;
        n.eye = svect3f(static_cast<float>(i), 10, 30);
        n.center = svect3f(0, 0, 0);
        n.up = svect3f(0, 1, 0);
        n.fade = 0.5f * static_cast<float>(i);
    }
    put("chlf", "three_nodes.chlf", hlf::WriteCHLF(nodes));

    std::vector<hlf::IhlfQuad> quads(2);
    for (std::size_t q = 0; q < quads.size(); ++q)
        for (int c = 0; c < 4; ++c)
        {
            hlf::IhlfCorner& k = quads[q].corner[c];
            k.pos = svect3f(2.5f * static_cast<float>(q + static_cast<std::size_t>(c >> 1)), 20,
                            2.5f * static_cast<float>(c & 1));
            k.normal = svect3f(0, 1, 0);
            k.s0 = k.pos.x / 12;
            k.t0 = k.pos.z / 12;
            k.s1 = k.t1 = 0.5f;
        }
    put("ihlf", "two_quads.ihlf", hlf::WriteIHLF(quads));

    vqtools::Image picture(8, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            picture.set(x, y, {x / 7.0f, y / 3.0f, 0.5f});
    std::string error;
    const std::string scratch = folder + "/scratch";
    if (!vqtools::WriteBmp(scratch, picture, error))
    {
        std::fprintf(stderr, "make_fuzz_seeds: %s\n", error.c_str());
        return 1;
    }
    const std::vector<std::uint8_t> bmp = fileBytes(scratch);
    put("bmp", "8x4.bmp", bmp);
    // The same picture with the 124-byte header other writers use.
    std::vector<std::uint8_t> v5(14 + 124 + bmp.size() - 54, 0);
    std::copy(bmp.begin(), bmp.begin() + 54, v5.begin());
    std::copy(bmp.begin() + 54, bmp.end(), v5.begin() + 14 + 124);
    putU32(v5, 2, static_cast<std::uint32_t>(v5.size()));
    putU32(v5, 10, 14 + 124);
    putU32(v5, 14, 124);
    put("bmp", "8x4_v5.bmp", v5);

    if (!vqtools::WriteJpeg(scratch, picture, 80, error))
    {
        std::fprintf(stderr, "make_fuzz_seeds: %s\n", error.c_str());
        return 1;
    }
    put("jpeg", "8x4.jpg", fileBytes(scratch));
    return 0;
}
