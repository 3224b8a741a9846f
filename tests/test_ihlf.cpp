// IHLF island files: the record layout, round trips, hostile sizes, and CIHLF_Object's lists
// and messages (the GL part in a hidden window, under Xvfb).
#include "app/platform/Clock.h"
#include "app/platform/GLWindow.h"
#include "app/platform/Verbose.h"
#include "formats/CIHLF_Object.h"
#include "formats/IHLF.h"
#include "math/random.h"
#include "support/WindowAtExit.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
ihlf::quad_t sampleQuad(float base)
{
    ihlf::quad_t q;
    for (int c = 0; c < 4; ++c)
    {
        const float b = base + 10.0f * c;
        q.corner[c].pos = svect3f(b + 1, b + 2, b + 3);
        q.corner[c].normal = svect3f(b + 4, b + 5, b + 6);
        q.corner[c].s0 = b + 7;
        q.corner[c].t0 = b + 8;
        q.corner[c].s1 = b + 9;
        q.corner[c].t1 = b + 9.5f;
    }
    return q;
}

float floatAt(const std::vector<std::uint8_t>& bytes, std::size_t offset)
{
    const std::uint32_t u = bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
                            static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

std::string tempPath(const char* name)
{
    return std::string(::testing::TempDir()) + "vq_ihlf_" + std::to_string(getpid()) + "_" + name;
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty())
    {
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    std::fclose(f);
}

bool sameQuad(const ihlf::quad_t& a, const ihlf::quad_t& b)
{
    for (int c = 0; c < 4; ++c)
    {
        const ihlf::corner_t &x = a.corner[c], &y = b.corner[c];
        if (!(x.pos == y.pos && x.normal == y.normal && x.s0 == y.s0 && x.t0 == y.t0 && x.s1 == y.s1 &&
              x.t1 == y.t1))
            return false;
    }
    return true;
}
} // namespace

TEST(IhlfFormat, CornerLayoutStoresTheSecondPairTFirst)
{
    std::vector<ihlf::quad_t> quads(1);
    quads[0].corner[2].s1 = 0.75f;
    quads[0].corner[2].t1 = 0.25f;
    quads[0].corner[2].s0 = 0.5f;
    quads[0].corner[2].pos = svect3f(1, 2, 3);
    std::vector<std::uint8_t> bytes;
    bytes = hlf::WriteIHLF(quads);
    ASSERT_EQ(bytes.size(), 160u);
    const std::size_t c2 = 80;
    EXPECT_EQ(floatAt(bytes, c2 + 0), 1.0f);
    EXPECT_EQ(floatAt(bytes, c2 + 8), 3.0f);
    EXPECT_EQ(floatAt(bytes, c2 + 24), 0.5f);
    EXPECT_EQ(floatAt(bytes, c2 + 32), 0.25f);
    EXPECT_EQ(floatAt(bytes, c2 + 36), 0.75f);
}

TEST(IhlfFormat, RoundTripThroughTheWriter)
{
    std::vector<ihlf::quad_t> quads = {sampleQuad(0), sampleQuad(100), sampleQuad(-50.5f)};
    const std::string path = tempPath("round.ihlf");
    std::string error;
    ASSERT_TRUE(hlf::WriteFileBytes(path, hlf::WriteIHLF(quads), error)) << error;
    std::vector<ihlf::quad_t> back;
    ASSERT_EQ(ihlf::ReadFile(path, back, error), ihlf::Status::Ok) << error;
    ASSERT_EQ(back.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(sameQuad(quads[i], back[i])) << i;
    std::remove(path.c_str());
}

TEST(IhlfFormat, HostileSizesAreRefusedBeforeAnythingIsRead)
{
    std::vector<ihlf::quad_t> quads;
    std::vector<std::uint8_t> bytes(161, 0);
    EXPECT_EQ(ihlf::Parse(bytes.data(), 0, quads), ihlf::Status::Empty);
    EXPECT_EQ(ihlf::Parse(bytes.data(), 159, quads), ihlf::Status::NotWhole);
    EXPECT_EQ(ihlf::Parse(bytes.data(), 161, quads), ihlf::Status::NotWhole);
    EXPECT_TRUE(quads.empty());
    EXPECT_EQ(ihlf::Parse(bytes.data(), 160, quads), ihlf::Status::Ok);
    EXPECT_EQ(quads.size(), 1u);

    // A sparse file one record over the limit: refused from its size alone.
    const std::string path = tempPath("huge.ihlf");
    writeBytes(path, {});
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>((ihlf::kMaxQuads + 1) * ihlf::kQuadBytes)), 0);
    std::string error;
    EXPECT_EQ(ihlf::ReadFile(path, quads, error), ihlf::Status::TooLarge);
    EXPECT_NE(error.find(path), std::string::npos);
    std::remove(path.c_str());

    EXPECT_EQ(ihlf::ReadFile(tempPath("missing.ihlf"), quads, error), ihlf::Status::Unreadable);
    EXPECT_NE(error.find("missing.ihlf"), std::string::npos);
    EXPECT_NE(error.find("No such file"), std::string::npos);
}

namespace
{
// A flat quad of the island's kind: 2.5 units wide, unit normals, coordinates as the generator's.
ihlf::quad_t islandQuad(float x)
{
    ihlf::quad_t q;
    const float dx[4] = {0, 0, 2.5f, 2.5f}, dz[4] = {0, 2.5f, 2.5f, 0};
    for (int c = 0; c < 4; ++c)
    {
        ihlf::corner_t& k = q.corner[c];
        k.pos = svect3f(x + dx[c], 20, dz[c]);
        k.normal = svect3f(0, 1, 0);
        k.s0 = k.pos.x / 12;
        k.t0 = k.pos.z / 12;
        k.s1 = k.t1 = 0.5f;
    }
    return q;
}

std::vector<ihlf::quad_t> islandQuads(std::size_t n)
{
    std::vector<ihlf::quad_t> quads;
    for (std::size_t i = 0; i < n; ++i)
        quads.push_back(islandQuad(2.5f * static_cast<float>(i)));
    return quads;
}
} // namespace

TEST(IhlfFormat, QuadsWithValuesNoIslandHasAreDroppedAndGarbageIsRefused)
{
    std::vector<ihlf::quad_t> quads = islandQuads(20);
    quads[3].corner[2].pos.y = NAN;
    quads[11].corner[0].s1 = 1e9f;
    auto bytes = hlf::WriteIHLF(quads);
    std::vector<ihlf::quad_t> out;
    std::string fault;
    EXPECT_EQ(ihlf::Parse(bytes.data(), bytes.size(), out, &fault), ihlf::Status::Repaired);
    EXPECT_EQ(out.size(), 18u);
    EXPECT_NE(fault.find("2 of 20 quads hold a value that is not a finite number or lies beyond any island "
                         "(first: quad 3, corner 2, position.y = nan): they are dropped"),
              std::string::npos)
        << fault;
    for (const ihlf::quad_t& q : out)
        for (const ihlf::corner_t& c : q.corner)
            for (float v :
                 {c.pos.x, c.pos.y, c.pos.z, c.normal.x, c.normal.y, c.normal.z, c.s0, c.t0, c.s1, c.t1})
                ASSERT_TRUE(std::fabs(v) <= ihlf::kMaxValue);

    // More than one quad in ten out of bounds: not an island at all.
    quads[5].corner[1].normal.x = -INFINITY;
    bytes = hlf::WriteIHLF(quads);
    EXPECT_EQ(ihlf::Parse(bytes.data(), bytes.size(), out, &fault), ihlf::Status::Garbage);
    EXPECT_TRUE(out.empty());
    EXPECT_NE(fault.find("the file is not an island and is not used"), std::string::npos) << fault;

    // Random bytes the size of the generated island (5631 quads): recognised, whatever the seed.
    for (unsigned seed : {1u, 2u, 3u})
    {
        std::srand(seed);
        std::vector<std::uint8_t> noise(5631 * ihlf::kQuadBytes);
        for (std::uint8_t& b : noise)
            b = static_cast<std::uint8_t>(std::rand() >> 7);
        EXPECT_EQ(ihlf::Parse(noise.data(), noise.size(), out, &fault), ihlf::Status::Garbage) << seed;
    }

    // Sound quads: Ok, and no fault text.
    bytes = hlf::WriteIHLF(islandQuads(3));
    EXPECT_EQ(ihlf::Parse(bytes.data(), bytes.size(), out, &fault), ihlf::Status::Ok);
    EXPECT_EQ(fault, "");
}

TEST(IhlfFormat, TheGeneratedIslandIsSoundAndFarFromTheBounds)
{
    const char* data = std::getenv("VQ_DATA_DIR");
    if (!data)
        GTEST_SKIP() << "VQ_DATA_DIR not set (run through ctest)";
    std::vector<ihlf::quad_t> quads;
    std::string error;
    ASSERT_EQ(ihlf::ReadFile(std::string(data) + "/oy_notfinal2.ihlf", quads, error), ihlf::Status::Ok)
        << error;
    ASSERT_GT(quads.size(), 1000u);
    EXPECT_LT(quads.size() * 4, ihlf::kMaxQuads) << "the capacity leaves room for a larger island";
    float largest = 0;
    for (const ihlf::quad_t& q : quads)
        for (const ihlf::corner_t& c : q.corner)
            for (float v :
                 {c.pos.x, c.pos.y, c.pos.z, c.normal.x, c.normal.y, c.normal.z, c.s0, c.t0, c.s1, c.t1})
                largest = std::max(largest, std::fabs(v));
    EXPECT_LT(largest * 10, ihlf::kMaxValue);
}

// --- CIHLF_Object in a hidden window ---

namespace
{
bool openWindow(std::string& why)
{
    static int state = 0; // 0 untried, 1 open, 2 failed
    static std::string reason;
    if (state == 0)
    {
        // Capture mode sends faults to standard error instead of a modal box.
        vqclock::enterCapture(30.0, 0.0, true, 1);
        WindowOptions o;
        o.hidden = true;
        state = glWindow.Init(1024, 768, 32, o, reason) ? 1 : 2;
        if (state == 1)
            CloseWindowAtExit();
    }
    why = reason;
    return state == 1;
}
} // namespace

#define NEED_WINDOW()                                                                                        \
    do                                                                                                       \
    {                                                                                                        \
        std::string why_;                                                                                    \
        if (!openWindow(why_))                                                                               \
            FAIL() << "cannot open a window: " << why_;                                                      \
    } while (0)

TEST(IhlfObject, OneRecordBuildsTheTerrainAndTheForest)
{
    NEED_WINDOW();
    std::vector<ihlf::quad_t> quads(1);
    for (int c = 0; c < 4; ++c)
    {
        quads[0].corner[c].pos = svect3f(static_cast<float>(c), 0, 1);
        quads[0].corner[c].normal = svect3f(0, 1, 0);
        quads[0].corner[c].s0 = 0.1f;
        quads[0].corner[c].t0 = 0.2f;
    }
    quads[0].corner[3].t1 = 0.25f; // stored at offset 32
    quads[0].corner[3].s1 = 0.75f; // stored at offset 36
    quads[0].corner[3].normal = svect3f(0, 0, 1);
    const std::string path = tempPath("one.ihlf");
    std::string error;
    ASSERT_TRUE(hlf::WriteFileBytes(path, hlf::WriteIHLF(quads), error)) << error;

    g_verbose = true;
    testing::internal::CaptureStdout();
    CIHLF_Object island;
    ASSERT_TRUE(island.Load(path.c_str()));
    const std::string out = testing::internal::GetCapturedStdout();
    g_verbose = false;
    EXPECT_NE(out.find("elements: 1\n"), std::string::npos) << out;

    EXPECT_TRUE(glIsList(island.terrainlist));
    EXPECT_TRUE(glIsList(island.treelist));
    EXPECT_TRUE(glIsList(island.leaflist));
    // The lists were made in the piece's order: bark, leaves, terrain.
    EXPECT_LT(island.treelist, island.leaflist);
    EXPECT_LT(island.leaflist, island.terrainlist);

    // The last corner's state after each list shows what was sent.
    GLfloat tc[4], n[3];
    island.Render();
    glActiveTexture(GL_TEXTURE1);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, tc);
    EXPECT_FLOAT_EQ(tc[0], 0.75f);
    EXPECT_FLOAT_EQ(tc[1], 0.25f);
    glActiveTexture(GL_TEXTURE0);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, tc);
    EXPECT_FLOAT_EQ(tc[0], 0.1f);
    EXPECT_FLOAT_EQ(tc[1], 0.2f);
    glGetFloatv(GL_CURRENT_NORMAL, n);
    EXPECT_FLOAT_EQ(n[2], 1.0f);

    island.RenderTrees(); // ends with the trunk's closing pair (1, 0.5)
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, tc);
    EXPECT_FLOAT_EQ(tc[0], 1.0f);
    EXPECT_FLOAT_EQ(tc[1], 0.5f);
    island.RenderLeaf(); // ends with the last leaf's corner (0, 1)
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, tc);
    EXPECT_FLOAT_EQ(tc[0], 0.0f);
    EXPECT_FLOAT_EQ(tc[1], 1.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    std::remove(path.c_str());
}

TEST(IhlfObject, ElementCountOnlyWhenVerbose)
{
    NEED_WINDOW();
    const std::string path = tempPath("quiet.ihlf");
    std::string error;
    ASSERT_TRUE(hlf::WriteFileBytes(path, hlf::WriteIHLF(std::vector<ihlf::quad_t>(2)), error));
    g_verbose = false;
    testing::internal::CaptureStdout();
    CIHLF_Object island;
    EXPECT_TRUE(island.Load(path.c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    std::remove(path.c_str());
}

TEST(IhlfObject, DroppedQuadsAreReportedAndGarbageBuildsNothing)
{
    NEED_WINDOW();
    std::vector<ihlf::quad_t> quads = islandQuads(20);
    quads[7].corner[3].pos.x = INFINITY;
    const std::string path = tempPath("repaired.ihlf");
    writeBytes(path, hlf::WriteIHLF(quads));
    testing::internal::CaptureStderr();
    CIHLF_Object island;
    EXPECT_TRUE(island.Load(path.c_str()));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("CIHLF_Object: \"" + path + "\": 1 of 20 quads"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_TRUE(glIsList(island.terrainlist));

    std::vector<std::uint8_t> noise(20 * ihlf::kQuadBytes);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
    writeBytes(path, noise);
    testing::internal::CaptureStderr();
    CIHLF_Object garbage;
    EXPECT_FALSE(garbage.Load(path.c_str()));
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("not an island"), std::string::npos) << err;
    EXPECT_EQ(garbage.terrainlist, 0u);
    EXPECT_EQ(garbage.treelist, 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    std::remove(path.c_str());
}

TEST(IhlfObject, FaultsAreReportedAndBuildNothing)
{
    NEED_WINDOW();
    struct Case
    {
        const char* name;
        std::size_t size;
        const char* expect;
    };
    const Case cases[] = {{"empty.ihlf", 0, "Feil 1\n"},
                          {"short.ihlf", 159, "Feil 2\n"},
                          {"long.ihlf", 161, "Feil 2\n"},
                          {"absent.ihlf", 0, "absent.ihlf"}};
    for (const Case& c : cases)
    {
        const std::string path = tempPath(c.name);
        if (std::strcmp(c.name, "absent.ihlf") != 0)
            writeBytes(path, std::vector<std::uint8_t>(c.size, 0));
        vq_srand(31);
        const int expectedDraw = vq_rand();
        vq_srand(31);
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        CIHLF_Object island;
        EXPECT_FALSE(island.Load(path.c_str()));
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_NE(err.find(c.expect), std::string::npos) << c.name << ": " << err;
        EXPECT_NE(err.find(c.name), std::string::npos) << err;
        EXPECT_EQ(island.terrainlist, 0u);
        EXPECT_EQ(island.treelist, 0u);
        EXPECT_EQ(island.leaflist, 0u);
        // No tree was grown: the generator is untouched.
        EXPECT_EQ(vq_rand(), expectedDraw);
        // The render calls call nothing.
        island.Render();
        island.RenderTrees();
        island.RenderLeaf();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        std::remove(path.c_str());
    }
}
