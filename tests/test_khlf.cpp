// KHLF: the parser against damaged files, and CKHLFModel's display lists drawn into a target.
#include "HlfGlTarget.h"
#include "app/platform/Verbose.h"
#include "formats/CKHLFModel.h"
#include "formats/HlfParse.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace hlf;

namespace
{
KhlfVertex vertex(float x, float y, float z = 0, svect3f n = svect3f(0, 0, 1))
{
    KhlfVertex v;
    v.pos = svect3f(x, y, z);
    v.normal = n;
    v.s = x;
    v.t = y;
    return v;
}

KhlfFace face(std::uint8_t type, std::int16_t a, std::int16_t b, std::int16_t c, std::int16_t d = 0)
{
    KhlfFace f;
    f.type = type;
    f.index[0] = a, f.index[1] = b, f.index[2] = c, f.index[3] = d;
    return f;
}

// A square of side 1 around the origin, corners counter-clockwise from bottom-left.
KhlfModel square(std::uint8_t type)
{
    KhlfModel m;
    m.vertices = {vertex(-0.5f, -0.5f), vertex(0.5f, -0.5f), vertex(0.5f, 0.5f), vertex(-0.5f, 0.5f)};
    m.faces = {face(type, 0, 1, 2, 3)};
    return m;
}

void putI32(std::vector<std::uint8_t>& b, std::size_t at, std::int32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
}

// Every index of a parsed model lies inside its vertex array.
void expectIndicesInside(const KhlfModel& m)
{
    for (const KhlfFace& f : m.faces)
        for (int k = 0; k < f.corners(); ++k)
        {
            EXPECT_GE(f.index[k], 0);
            EXPECT_LT(static_cast<std::size_t>(f.index[k]), m.vertices.size());
        }
}

std::string writeTemp(const std::vector<std::uint8_t>& bytes)
{
    char name[] = "/tmp/vq_khlf_XXXXXX";
    const int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    close(fd);
    std::string error;
    EXPECT_TRUE(WriteFileBytes(name, bytes, error)) << error;
    return name;
}
} // namespace

TEST(KhlfParse, EmptyModelIsSoundAndEmptyFileIsNamed)
{
    KhlfModel m;
    std::string fault;
    EXPECT_TRUE(ParseKHLF("zero.khlf", WriteKHLF(KhlfModel()), m, fault)) << fault;
    EXPECT_TRUE(m.vertices.empty() && m.faces.empty());

    EXPECT_FALSE(ParseKHLF("empty.khlf", std::vector<std::uint8_t>(), m, fault));
    EXPECT_EQ(fault, "\"empty.khlf\": empty file: no 8-byte header (V, F)");
}

TEST(KhlfParse, TypeByteOneIsAQuadEverythingElseATriangle)
{
    KhlfModel src;
    src.vertices = {vertex(0, 0), vertex(1, 0), vertex(1, 1), vertex(0, 1)};
    for (int type : {0, 1, 2, 255})
        src.faces.push_back(face(static_cast<std::uint8_t>(type), 3, 2, 1, 0));
    const auto bytes = WriteKHLF(src);
    EXPECT_EQ(bytes.size(), 8u + 4 * 32 + 7 + 9 + 7 + 7);
    KhlfModel m;
    std::string fault;
    ASSERT_TRUE(ParseKHLF("t.khlf", bytes, m, fault)) << fault;
    ASSERT_EQ(m.faces.size(), 4u);
    EXPECT_EQ(m.faces[0].corners(), 3);
    EXPECT_EQ(m.faces[1].corners(), 4);
    EXPECT_EQ(m.faces[2].corners(), 3);
    EXPECT_EQ(m.faces[3].type, 255);
    EXPECT_EQ(m.faces[3].index[2], 1); // the 7-byte records kept the stream in step
}

TEST(KhlfParse, FacesWithAnIndexOutsideTheVerticesAreDroppedAndReportedOnce)
{
    KhlfModel src;
    src.vertices = {vertex(0, 0), vertex(1, 0), vertex(1, 1)};
    src.faces = {face(0, 0, 1, 2), face(0, 0, 3, 2), face(1, 0, 1, 2, -1), face(0, 2, 1, 0)};
    KhlfModel m;
    std::string fault;
    EXPECT_FALSE(ParseKHLF("bad.khlf", WriteKHLF(src), m, fault));
    ASSERT_EQ(m.faces.size(), 2u);
    EXPECT_EQ(m.faces[1].index[0], 2);
    EXPECT_EQ(fault, "\"bad.khlf\": 2 face(s) with a vertex index outside 0..2 dropped "
                     "(first: face 1, corner 1, index 3)");

    // No vertices at all: every face is broken.
    src.vertices.clear();
    EXPECT_FALSE(ParseKHLF("novert.khlf", WriteKHLF(src), m, fault));
    EXPECT_TRUE(m.faces.empty());
    EXPECT_NE(fault.find("4 face(s)"), std::string::npos) << fault;
}

TEST(KhlfParse, CountsBeyondTheFileOrNegative)
{
    const auto good = WriteKHLF(square(1));
    KhlfModel m;
    std::string fault;

    auto b = good;
    putI32(b, 0, 5); // one vertex more than stored: the face block would start inside the data
    EXPECT_FALSE(ParseKHLF("v.khlf", b, m, fault));
    EXPECT_TRUE(m.faces.empty());
    EXPECT_EQ(m.vertices.size(), 4u);
    EXPECT_NE(fault.find("vertex count V = 5"), std::string::npos) << fault;

    b = good;
    putI32(b, 4, 2); // one face more than stored
    EXPECT_FALSE(ParseKHLF("f.khlf", b, m, fault));
    EXPECT_EQ(m.faces.size(), 1u);
    EXPECT_NE(fault.find("ends after 1 complete faces"), std::string::npos) << fault;

    for (std::int32_t v : {-1, INT_MIN, INT_MAX})
    {
        b = good;
        putI32(b, 0, v);
        EXPECT_FALSE(ParseKHLF("v.khlf", b, m, fault)) << v;
        EXPECT_TRUE(m.faces.empty());
        expectIndicesInside(m);
    }
    b = good;
    putI32(b, 4, -7);
    EXPECT_FALSE(ParseKHLF("f.khlf", b, m, fault));
    EXPECT_EQ(fault, "\"f.khlf\": face count F = -7 is negative");
    EXPECT_TRUE(m.vertices.empty() && m.faces.empty());

    b = good;
    b.push_back(0);
    EXPECT_FALSE(ParseKHLF("tail.khlf", b, m, fault));
    EXPECT_EQ(m.faces.size(), 1u);
    EXPECT_NE(fault.find("1 bytes follow"), std::string::npos) << fault;
}

TEST(KhlfParse, TruncatedAtEveryByte)
{
    KhlfModel src = square(1);
    src.faces.push_back(face(0, 0, 1, 2));
    const auto good = WriteKHLF(src);
    for (std::size_t n = 0; n < good.size(); ++n)
    {
        // An exact-size copy, so a read past the end is caught by the sanitizer build.
        const std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        KhlfModel m;
        std::string fault;
        EXPECT_FALSE(ParseKHLF("cut.khlf", cut, m, fault)) << n;
        EXPECT_EQ(fault.rfind("\"cut.khlf\": ", 0), 0u) << fault;
        EXPECT_LE(m.faces.size(), 1u);
        expectIndicesInside(m);
    }
}

// Every float of a parsed model is a finite number, whatever the file held.
void expectAllFinite(const KhlfModel& m)
{
    for (const KhlfVertex& v : m.vertices)
        for (float x : {v.pos.x, v.pos.y, v.pos.z, v.normal.x, v.normal.y, v.normal.z, v.s, v.t})
            EXPECT_TRUE(std::isfinite(x));
}

TEST(KhlfParse, ValuesThatAreNotNumbersNeverReachTheModel)
{
    // Two triangles sharing the edge 1-2: a flat square in the z = 0 plane, facing +z.
    KhlfModel src;
    src.vertices = {vertex(0, 0), vertex(1, 0), vertex(0, 1), vertex(1, 1), vertex(5, 5)};
    src.faces = {face(0, 0, 1, 2), face(0, 1, 3, 2), face(0, 2, 3, 4)};
    KhlfModel m;
    std::string fault;

    // A position that is no number: every face using the vertex goes, the others stay.
    KhlfModel bad = src;
    bad.vertices[4].pos.y = NAN;
    EXPECT_FALSE(ParseKHLF("pos.khlf", WriteKHLF(bad), m, fault));
    EXPECT_EQ(m.faces.size(), 2u);
    EXPECT_NE(fault.find("1 vertex position(s) are not finite numbers (first: vertex 4, position.y = nan): "
                         "the 1 face(s) that use them are dropped"),
              std::string::npos)
        << fault;
    expectAllFinite(m);

    // A normal that is no number is rebuilt from the faces that use its vertex: here +z.
    bad = src;
    bad.vertices[1].normal = svect3f(INFINITY, 0, NAN);
    bad.vertices[3].normal.x = NAN;
    EXPECT_FALSE(ParseKHLF("normal.khlf", WriteKHLF(bad), m, fault));
    EXPECT_EQ(m.faces.size(), 3u);
    EXPECT_NE(fault.find("2 vertex normal(s) are not finite numbers (first: vertex 1, normal.x = inf)"),
              std::string::npos)
        << fault;
    for (int i : {1, 3})
    {
        EXPECT_NEAR(m.vertices[static_cast<std::size_t>(i)].normal.x, 0.0f, 1e-6f) << i;
        EXPECT_NEAR(m.vertices[static_cast<std::size_t>(i)].normal.y, 0.0f, 1e-6f) << i;
        EXPECT_NEAR(m.vertices[static_cast<std::size_t>(i)].normal.z, 1.0f, 1e-6f) << i;
    }
    EXPECT_EQ(m.vertices[0].normal, src.vertices[0].normal) << "sound normals stay as stored";

    // A texture coordinate that is no number becomes 0; the rest of the vertex stays.
    bad = src;
    bad.vertices[2].t = -INFINITY;
    EXPECT_FALSE(ParseKHLF("tex.khlf", WriteKHLF(bad), m, fault));
    EXPECT_EQ(m.vertices[2].t, 0.0f);
    EXPECT_EQ(m.vertices[2].s, src.vertices[2].s);
    EXPECT_NE(fault.find("first: vertex 2, t = -inf"), std::string::npos) << fault;

    // All of it at once, in every vertex: nothing to draw, nothing that is not a number.
    bad = src;
    for (KhlfVertex& v : bad.vertices)
    {
        v.pos = v.normal = svect3f(NAN, NAN, NAN);
        v.s = v.t = NAN;
    }
    EXPECT_FALSE(ParseKHLF("allnan.khlf", WriteKHLF(bad), m, fault));
    EXPECT_TRUE(m.faces.empty());
    expectAllFinite(m);
    EXPECT_EQ(fault.find('\n'), std::string::npos) << "one line: " << fault;
}

TEST(KhlfParse, VertexAndFaceCapacities)
{
    // One vertex past what 16-bit indices reach: the first 32768 are kept and the faces still read.
    KhlfModel big;
    big.vertices.resize(kKhlfMaxVertices + 1, vertex(0, 0));
    big.faces = {face(0, 0, 1, 32767)};
    KhlfModel m;
    std::string fault;
    EXPECT_FALSE(ParseKHLF("many.khlf", WriteKHLF(big), m, fault));
    EXPECT_EQ(m.vertices.size(), static_cast<std::size_t>(kKhlfMaxVertices));
    EXPECT_EQ(m.faces.size(), 1u);
    EXPECT_NE(fault.find("vertex count V = 32769 exceeds the capacity of 32768"), std::string::npos) << fault;
    EXPECT_EQ(fault.find("bytes follow"), std::string::npos) << fault;

    KhlfModel faces;
    faces.vertices = {vertex(0, 0), vertex(1, 0), vertex(0, 1)};
    faces.faces.resize(kKhlfMaxFaces + 2, face(0, 0, 1, 2));
    EXPECT_FALSE(ParseKHLF("faces.khlf", WriteKHLF(faces), m, fault));
    EXPECT_EQ(m.faces.size(), static_cast<std::size_t>(kKhlfMaxFaces));
    EXPECT_NE(fault.find("face count F = 131074 exceeds the capacity of 131072 faces"), std::string::npos)
        << fault;
    faces.faces.resize(kKhlfMaxFaces);
    EXPECT_TRUE(ParseKHLF("full.khlf", WriteKHLF(faces), m, fault)) << fault;
}

TEST(KhlfLoad, AFileFarLargerThanAnyModelIsRefusedUnread)
{
    // 3 GB, sparse: reading it would take the memory of a small machine.
    const std::string file = writeTemp(WriteKHLF(square(1)));
    ASSERT_EQ(truncate(file.c_str(), off_t(3) << 30), 0);
    KhlfModel m;
    std::string fault;
    EXPECT_FALSE(LoadKHLF(file, m, fault));
    EXPECT_TRUE(m.vertices.empty() && m.faces.empty());
    EXPECT_NE(fault.find(file), std::string::npos) << fault;
    EXPECT_NE(fault.find("3221225472 bytes"), std::string::npos) << fault;
    EXPECT_NE(fault.find("it is not read"), std::string::npos) << fault;

    // The largest file the capacities allow is read.
    ASSERT_EQ(truncate(file.c_str(), static_cast<off_t>(kKhlfMaxFileBytes)), 0);
    EXPECT_FALSE(LoadKHLF(file, m, fault));
    EXPECT_EQ(fault.find("it is not read"), std::string::npos) << fault;
    EXPECT_EQ(m.faces.size(), 1u);
    std::remove(file.c_str());
}

TEST(KhlfModel, QuadAndTriangleAreDrawnAsStoredInWhite)
{
    HLF_NEED_GL();
    CKHLFModel quad, tri;
    quad.Compile(square(1));
    tri.Compile(square(0)); // the same four indices, read as a triangle: only corners 0, 1, 2

    hlftest::Target target(64);
    glColor3f(1, 0, 0);
    quad.Render();
    float c[4];
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_EQ(c[0], 1.0f);
    EXPECT_EQ(c[1], 1.0f);
    EXPECT_EQ(c[2], 1.0f);
    EXPECT_EQ(target.At(0.3f, -0.3f), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(target.At(-0.3f, 0.3f), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(target.At(0.8f, 0.8f), (std::vector<int>{0, 0, 0}));

    glClear(GL_COLOR_BUFFER_BIT);
    tri.Render();
    EXPECT_EQ(target.At(0.3f, -0.3f), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(target.At(-0.3f, 0.3f), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(KhlfModel, NormalLinesFollowTheModelsOwnAxes)
{
    HLF_NEED_GL();
    KhlfModel m;
    m.vertices = {vertex(0.02f, 0, 0, svect3f(0, 5, 0)), vertex(-0.9f, -0.9f), vertex(-0.8f, -0.9f)};
    m.faces = {face(0, 0, 1, 2)};
    CKHLFModel model;
    model.Compile(m);
    hlftest::Target target(64);
    model.RenderNormals();
    // From (0.02, 0, 0) up to (0.02, 0.5, 0): along y, not along z.
    EXPECT_EQ(target.At(0.02f, 0.25f), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(target.At(0.02f, 0.75f), (std::vector<int>{0, 0, 0}));
}

TEST(KhlfModel, LoadBuildsListsFromWhatIsValidAndReportsOnce)
{
    HLF_NEED_GL();
    KhlfModel src = square(1);
    src.faces.push_back(face(0, 0, 1, 99));
    const std::string file = writeTemp(WriteKHLF(src));
    CKHLFModel model;
    testing::internal::CaptureStderr();
    model.Load(file.c_str());
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "CKHLFModel: \"" + file +
                       "\": 1 face(s) with a vertex index outside 0..3 dropped "
                       "(first: face 1, corner 2, index 99)\n");
    EXPECT_TRUE(glIsList(model.displist));
    hlftest::Target target(64);
    model.Render();
    EXPECT_EQ(target.At(0, 0), (std::vector<int>{255, 255, 255}));

    // A missing file still gives two valid lists; drawing them sets the colour and nothing else.
    CKHLFModel missing;
    testing::internal::CaptureStderr();
    missing.Load("/nonexistent/none.khlf");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("none.khlf"), std::string::npos);
    EXPECT_TRUE(glIsList(missing.displist) && glIsList(missing.normlist));
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(0, 0, 1);
    missing.Render();
    float c[4];
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_EQ(c[2], 1.0f);
    EXPECT_EQ(c[0], 1.0f);
    EXPECT_EQ(target.At(0, 0), (std::vector<int>{0, 0, 0}));
    std::remove(file.c_str());
}

TEST(KhlfModel, NormalTraceOnlyWhenVerbose)
{
    HLF_NEED_GL();
    KhlfModel src;
    src.vertices = {vertex(0, 0, 0, svect3f(0, 0, 1)), vertex(1, 0, 0, svect3f(0.5f, -0.25f, 1e-7f)),
                    vertex(1, 1, 0, svect3f(1.0f / 3, 100000, 1234567))};
    src.faces = {face(0, 0, 1, 2), face(7, 2, 2, 0)};
    const std::string file = writeTemp(WriteKHLF(src));
    CKHLFModel model;
    testing::internal::CaptureStdout();
    model.Load(file.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    g_verbose = true;
    testing::internal::CaptureStdout();
    model.Load(file.c_str());
    g_verbose = false;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "0 0 1\n"
                                                      "0.5 -0.25 1e-07\n"
                                                      "0.333333 100000 1.23457e+06\n"
                                                      "0.333333 100000 1.23457e+06\n"
                                                      "0.333333 100000 1.23457e+06\n"
                                                      "0 0 1\n");
    std::remove(file.c_str());
}
