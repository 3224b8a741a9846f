// The HLF writers and parsers against each other: what a generator writes, the piece reads back
// unchanged, and the bytes sit where the loaders of the format expect them.
#include "formats/HlfParse.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace hlf;

namespace
{
std::int32_t i32At(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                                     static_cast<std::uint32_t>(b[at + 3]) << 24);
}
float f32At(const std::vector<std::uint8_t>& b, std::size_t at)
{
    const std::uint32_t u = static_cast<std::uint32_t>(i32At(b, at));
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

KhlfModel sampleModel()
{
    KhlfModel m;
    for (int i = 0; i < 5; ++i)
    {
        KhlfVertex v;
        v.pos = svect3f(float(i), -2.5f * i, 1e-3f * i);
        v.normal = svect3f(0, 1, float(-i));
        v.s = 0.25f * i;
        v.t = 1 - 0.125f * i;
        m.vertices.push_back(v);
    }
    KhlfFace quad;
    quad.type = 1;
    quad.index[0] = 0, quad.index[1] = 1, quad.index[2] = 2, quad.index[3] = 3;
    KhlfFace tri;
    tri.type = 0;
    tri.index[0] = 4, tri.index[1] = 3, tri.index[2] = 0;
    KhlfFace odd; // any type other than 1 is a triangle
    odd.type = 200;
    odd.index[0] = 2, odd.index[1] = 4, odd.index[2] = 1;
    m.faces = {quad, tri, odd};
    return m;
}
} // namespace

TEST(HlfWriters, KhlfRoundTripAndLayout)
{
    const KhlfModel m = sampleModel();
    const auto bytes = WriteKHLF(m);
    // Header, 32-byte vertices, then one 9-byte quad and two 7-byte triangles.
    ASSERT_EQ(bytes.size(), 8u + 5 * 32 + 9 + 7 + 7);
    EXPECT_EQ(i32At(bytes, 0), 5);
    EXPECT_EQ(i32At(bytes, 4), 3);
    EXPECT_EQ(f32At(bytes, 8 + 32 * 2 + 4), -5.0f);       // vertex 2, pos.y
    EXPECT_EQ(f32At(bytes, 8 + 32 * 3 + 28), 1 - 0.375f); // vertex 3, t
    EXPECT_EQ(bytes[8 + 160], 1);
    EXPECT_EQ(bytes[8 + 160 + 9], 0);

    KhlfModel back;
    std::string fault;
    ASSERT_TRUE(ParseKHLF("m.khlf", bytes, back, fault)) << fault;
    ASSERT_EQ(back.vertices.size(), m.vertices.size());
    EXPECT_EQ(0, std::memcmp(back.vertices.data(), m.vertices.data(), 5 * sizeof(KhlfVertex)));
    ASSERT_EQ(back.faces.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(back.faces[i].type, m.faces[i].type);
        for (int k = 0; k < m.faces[i].corners(); ++k)
            EXPECT_EQ(back.faces[i].index[k], m.faces[i].index[k]);
    }
}

TEST(HlfWriters, AhlfRoundTripAndLayout)
{
    std::vector<AhlfKey> keys(3);
    for (int i = 0; i < 3; ++i)
    {
        keys[i].time = 10.0f * i;
        for (int e = 0; e < 16; ++e)
            keys[i].matrix[e] = float(i * 100 + e) / 7;
    }
    const auto bytes = WriteAHLF(keys);
    ASSERT_EQ(bytes.size(), 3u * 68);
    EXPECT_EQ(f32At(bytes, 68), 10.0f);
    EXPECT_EQ(f32At(bytes, 68 + 4 + 3 * 4), keys[1].matrix[3]);
    std::vector<AhlfKey> back;
    std::string fault;
    ASSERT_TRUE(ParseAHLF("a.ahlf", bytes, back, fault)) << fault;
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(0, std::memcmp(back.data(), keys.data(), 3 * sizeof(AhlfKey)));
}

TEST(HlfWriters, OhlfRoundTrip)
{
    const std::vector<OhlfPart> parts = {{"MrKalv/head.khlf", "MrKalv/head.jpg", "MrKalv/head.ahlf"},
                                         {"MrKalv/hat.khlf", "MrKalv/hat.jpg", "?"}};
    const std::string text = WriteOHLF(parts);
    EXPECT_EQ(text.substr(0, 18), "MrKalv/head.khlf\r\n");
    std::vector<OhlfPart> back;
    std::string fault;
    ASSERT_TRUE(ParseOHLF("o.ohlf", text, back, fault)) << fault;
    ASSERT_EQ(back.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i)
    {
        EXPECT_EQ(back[i].model, parts[i].model);
        EXPECT_EQ(back[i].texture, parts[i].texture);
        EXPECT_EQ(back[i].anim, parts[i].anim);
    }
}

TEST(HlfWriters, ChlfRoundTripAndLayout)
{
    std::vector<ChlfNode> nodes(4);
    for (int i = 0; i < 4; ++i)
    {
        nodes[i].time = 1000 * i - 5;
        nodes[i].eye = svect3f(1.5f * i, 2, 3);
        nodes[i].center = svect3f(-1, float(i), 0.5f);
        nodes[i].up = svect3f(0, 1, 0.01f * i);
        nodes[i].fade = 0.2f * i;
    }
    const auto bytes = WriteCHLF(nodes, 1234);
    ASSERT_EQ(bytes.size(), 8u + 4 * 44);
    EXPECT_EQ(i32At(bytes, 0), 4);
    EXPECT_EQ(i32At(bytes, 4), 1234);
    EXPECT_EQ(i32At(bytes, 8 + 44), 995);
    EXPECT_EQ(f32At(bytes, 8 + 44 * 3 + 40), nodes[3].fade);
    std::vector<ChlfNode> back;
    std::string fault;
    std::int32_t second = 0;
    ASSERT_TRUE(ParseCHLF("c.chlf", bytes, back, fault, &second)) << fault;
    EXPECT_EQ(second, 1234);
    ASSERT_EQ(back.size(), 4u);
    EXPECT_EQ(0, std::memcmp(back.data(), nodes.data(), 4 * sizeof(ChlfNode)));
}
