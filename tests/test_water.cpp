// The sea: the in-place box filter (plain and fast, bit for bit), border windows, heights,
// encoding, the clamped far edge, and MakeNormalMap's frames, textures and list under Xvfb.
// The generator is about 185 MB and always lives on the heap.
#include "app/platform/Clock.h"
#include "app/platform/GLWindow.h"
#include "math/random.h"
#include "procedural/CWaterNorm.h"
#include "procedural/SeaFilter.h"
#include "render/CPBuffer.h"
#include "support/WindowAtExit.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace
{
using CWaterNorm = CDemoHandler::CWaterNorm;
constexpr int N = seafilter::kN;
constexpr std::size_t kGridFloats = static_cast<std::size_t>(N) * N;

class Sea : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { sea = std::make_unique<CWaterNorm>(); }
    static void TearDownTestSuite() { sea.reset(); }
    static std::unique_ptr<CWaterNorm> sea;
};
std::unique_ptr<CWaterNorm> Sea::sea;

float* grid(CWaterNorm& s, int layer, int octave) { return &s.heights[layer][octave][0][0]; }
} // namespace

TEST(SeaFilter, BorderWindowsAverageOnlyTheirInGridSamples)
{
    for (int radius : {1, 10})
    {
        std::vector<float> direct(kGridFloats, 0.0f);
        direct[0] = 1.0f; // only (0, 0) is set; it is the first point visited
        std::vector<std::vector<float>> fast(4, direct);
        seafilter::BoxFilterDirect(direct.data(), radius);
        const float expected = radius == 1 ? 1.0f / 4.0f : 1.0f / 121.0f;
        EXPECT_EQ(direct[0], expected) << radius;

        float* grids[4] = {fast[0].data(), fast[1].data(), fast[2].data(), fast[3].data()};
        seafilter::BoxFilter4(grids, radius, 2);
        for (int l = 0; l < 4; ++l)
            EXPECT_EQ(0, std::memcmp(fast[l].data(), direct.data(), kGridFloats * sizeof(float))) << radius;
    }
    // The far corner: (512, 512) with radius 1 averages 4 samples of which only it is 1.
    std::vector<float> g(kGridFloats, 0.0f);
    g[kGridFloats - 1] = 1.0f;
    seafilter::BoxFilterDirect(g.data(), 1);
    // Earlier points took their share of it already: (511, 511) saw 1 of 9.
    EXPECT_EQ(g[(N - 2) * N + (N - 2)], 1.0f / 9.0f);
}

TEST(SeaFilter, InPlaceOrderIsNotASeparableFilter)
{
    // (0, 1) is visited after (0, 0) and sees its filtered value: 0.25 / 6, not the 1 / 6 a
    // two-buffer filter would give; (1, 1) likewise gets more than a ninth's share of nothing.
    std::vector<float> g(kGridFloats, 0.0f);
    g[0] = 1.0f;
    seafilter::BoxFilterDirect(g.data(), 1);
    EXPECT_EQ(g[1], 0.25f / 6.0f);
    EXPECT_NE(g[1 * N + 1], 1.0f / 9.0f);
}

TEST_F(Sea, FastFilterMatchesThePlainOneBitForBit)
{
    vq_srand(20240601);
    sea->MakeNoise();
    // Keep the noise of every octave and layer, filter it both ways.
    std::vector<float> noise(16 * kGridFloats);
    for (int l = 0; l < 4; ++l)
        for (int k = 0; k < 4; ++k)
            std::memcpy(&noise[(l * 4 + k) * kGridFloats], grid(*sea, l, k), kGridFloats * sizeof(float));

    for (int threads : {1, 2})
    {
        for (int l = 0; l < 4; ++l)
            for (int k = 0; k < 4; ++k)
                std::memcpy(grid(*sea, l, k), &noise[(l * 4 + k) * kGridFloats], kGridFloats * sizeof(float));
        std::vector<int> frames;
        sea->FilterOctaves([&frames](int n) { frames.push_back(n); }, threads);
        ASSERT_EQ(frames.size(), 4u) << "one step as each octave is filtered in every layer";
        for (int n = 0; n < 4; ++n)
            EXPECT_EQ(frames[static_cast<std::size_t>(n)], n);

        std::vector<float> plain(kGridFloats);
        for (int l = 0; l < 4; ++l)
        {
            for (int k = 0; k < 4; ++k)
            {
                std::memcpy(plain.data(), &noise[(l * 4 + k) * kGridFloats], kGridFloats * sizeof(float));
                seafilter::BoxFilterDirect(plain.data(), CWaterNorm::kRadius[k]);
                ASSERT_EQ(0, std::memcmp(plain.data(), grid(*sea, l, k), kGridFloats * sizeof(float)))
                    << "layer " << l << " octave " << k << " threads " << threads;
            }
        }
    }
}

TEST(SeaFilter, EveryRadiusMatchesOnUnevenData)
{
    // Values of very different sizes make the rounding of each sum depend on its order.
    vq_srand(7);
    std::vector<std::vector<float>> data(4, std::vector<float>(kGridFloats));
    for (auto& g : data)
        for (float& v : g)
            v = rnd(0, 1) * (vq_rand() % 3 == 0 ? 1000.0f : 0.001f);
    for (int radius : {2, 3, 5})
    {
        std::vector<std::vector<float>> fast = data;
        float* grids[4] = {fast[0].data(), fast[1].data(), fast[2].data(), fast[3].data()};
        seafilter::BoxFilter4(grids, radius, 2);
        std::vector<float> plain = data[2];
        seafilter::BoxFilterDirect(plain.data(), radius);
        EXPECT_EQ(0, std::memcmp(plain.data(), fast[2].data(), kGridFloats * sizeof(float))) << radius;
    }
}

TEST_F(Sea, NoiseIsBlocksOfOneDrawEach)
{
    vq_srand(11);
    sea->MakeNoise();
    // Octave 0 of layer 0: 2 x 2 blocks; the first two draws are blocks (0, 0) and (0, 2).
    vq_srand(11);
    const float first = CWaterNorm::rndn(0, 1), second = CWaterNorm::rndn(0, 1);
    EXPECT_EQ(sea->heights[0][0][1][1], first);
    EXPECT_EQ(sea->heights[0][0][0][2], second);
    // Blocks starting at 512 cover only row / column 512.
    EXPECT_NE(sea->heights[0][3][511][0], sea->heights[0][3][512][0]);
    EXPECT_EQ(sea->heights[0][3][496][0], sea->heights[0][3][511][15]);
}

TEST_F(Sea, HeightsStayWithinTheirRangeAndNormalsPointUp)
{
    vq_srand(99);
    sea->Generate();
    float lo = 1e9f, hi = -1e9f;
    for (int l = 0; l < 4; ++l)
        for (int x = 0; x < N; ++x)
            for (int z = 0; z < N; ++z)
            {
                lo = std::min(lo, sea->heights[l][4][x][z]);
                hi = std::max(hi, sea->heights[l][4][x][z]);
            }
    EXPECT_GE(lo, 0.0f);
    EXPECT_LE(hi, 10.5f);
    EXPECT_GT(hi - lo, 1.0f);
    for (int l = 0; l < 4; ++l)
        for (int i = 0; i < 512; i += 37)
            for (int j = 0; j < 512; j += 41)
                for (int t = 0; t < 2; ++t)
                    ASSERT_EQ(sea->tris[l][i][j][t].norm[0].y, 1.0f);

    std::vector<std::uint8_t> rgb(512 * 512 * 3);
    for (int l = 0; l < 4; ++l)
    {
        sea->FillImage(l, rgb.data());
        for (std::size_t i = 1; i < rgb.size(); i += 3)
            ASSERT_GE(rgb[i], 127) << "layer " << l << " texel " << i / 3;
    }
}

TEST_F(Sea, TrianglesAndTheirSumsFollowTheCells)
{
    vq_srand(5);
    sea->MakeNoise();
    sea->FilterOctaves();
    sea->Combine();
    sea->BuildTriangles();
    const int l = 2;
    auto h = [&](int x, int z) { return sea->heights[l][4][x][z] * 10.0f; };
    const CWaterNorm::tri* t = sea->tris[l][300][7];
    EXPECT_EQ(t[0].vert[0], svect3f(300, h(300, 7), 7));
    EXPECT_EQ(t[0].vert[1], svect3f(300, h(300, 8), 8));
    EXPECT_EQ(t[0].vert[2], svect3f(301, h(301, 7), 7));
    EXPECT_EQ(t[1].vert[0], svect3f(301, h(301, 7), 7));
    EXPECT_EQ(t[1].vert[1], svect3f(301, h(301, 8), 8));
    EXPECT_EQ(t[1].vert[2], svect3f(300, h(300, 8), 8));
    EXPECT_EQ(t[0].norm[2], (t[0].vert[1] - t[0].vert[0]) % (t[0].vert[2] - t[0].vert[0]));
    EXPECT_EQ(t[1].norm[0], (t[1].vert[0] - t[1].vert[1]) % (t[1].vert[2] - t[1].vert[1]));

    // The sums are the stored triangles' normals added corner by corner in cell order, each
    // corner at its (integer) x and z, the far edge on the last texel.
    std::vector<svect3f> sums(512 * 512);
    for (int i = 0; i < 512; ++i)
        for (int j = 0; j < 512; ++j)
            for (const CWaterNorm::tri& tr : sea->tris[l][i][j])
                for (int c = 0; c < 3; ++c)
                {
                    const int x = std::min(static_cast<int>(tr.vert[c].x), 511);
                    const int z = std::min(static_cast<int>(tr.vert[c].z), 511);
                    sums[static_cast<std::size_t>(x) * 512 + z] += tr.norm[c];
                }
    EXPECT_EQ(0, std::memcmp(sums.data(), &sea->normals[l][0][0], sums.size() * sizeof(svect3f)));
}

TEST_F(Sea, AllOnesCombineToTenAndAHalf)
{
    for (int l = 0; l < 4; ++l)
        for (int k = 0; k < 4; ++k)
            std::fill(grid(*sea, l, k), grid(*sea, l, k) + kGridFloats, 1.0f);
    sea->Combine();
    EXPECT_EQ(sea->heights[0][4][0][0], 10.5f);
    EXPECT_EQ(sea->heights[3][4][512][512], 10.5f);
}

TEST_F(Sea, FlatSeaEncodesStraightUpAndTheFarEdgeIsClamped)
{
    for (int l = 0; l < 4; ++l)
        std::fill(grid(*sea, l, 4), grid(*sea, l, 4) + kGridFloats, 5.0f);
    sea->BuildTriangles();
    // Six triangles touch an inner point; the last column also takes the far edge's corners.
    EXPECT_EQ(sea->normals[1][200][300], svect3f(0, 6, 0));
    EXPECT_EQ(sea->normals[1][511][300], svect3f(0, 9, 0));
    EXPECT_EQ(sea->normals[1][300][511], svect3f(0, 9, 0));
    EXPECT_EQ(sea->normals[1][0][0], svect3f(0, 1, 0));
    sea->EncodeNormals();
    std::vector<std::uint8_t> rgb(512 * 512 * 3);
    for (int l = 0; l < 4; ++l)
    {
        sea->FillImage(l, rgb.data());
        for (std::size_t i = 0; i < rgb.size(); i += 3)
        {
            ASSERT_EQ(rgb[i], 127);
            ASSERT_EQ(rgb[i + 1], 255);
            ASSERT_EQ(rgb[i + 2], 127);
        }
    }
    // Building again starts from zero sums.
    sea->BuildTriangles();
    EXPECT_EQ(sea->normals[2][200][300], svect3f(0, 6, 0));
}

TEST_F(Sea, SlopesTiltTheNormalAwayFromTheRise)
{
    // Heights rising along x: the normal leans towards -x, and the texel's red drops below 127.
    for (int l = 0; l < 4; ++l)
        for (int x = 0; x < N; ++x)
            std::fill(&sea->heights[l][4][x][0], &sea->heights[l][4][x][0] + N, 0.01f * x);
    sea->BuildTriangles();
    EXPECT_LT(sea->tris[0][10][10][0].norm[0].x, 0.0f);
    sea->EncodeNormals();
    std::vector<std::uint8_t> rgb(512 * 512 * 3);
    sea->FillImage(0, rgb.data());
    const std::size_t texel = (static_cast<std::size_t>(100) * 512 + 50) * 3; // row z = 100, column x = 50
    EXPECT_LT(rgb[texel], 127);
    EXPECT_EQ(rgb[texel + 2], 127);
}

// --- MakeNormalMap in a hidden window with an off-screen target ---

TEST(SeaGL, MakeNormalMapFillsTexturesAndListInTheTarget)
{
    const unsigned seed = 4242;
    vqclock::enterCapture(30.0, 0.0, true, seed); // the seed stands in for the calendar time
    WindowOptions o;
    o.hidden = true;
    std::string why;
    ASSERT_TRUE(glWindow.Init(1024, 768, 32, o, why)) << why;
    CloseWindowAtExit();
    CPBuffer target;
    target.Init(1024, 1024);
    ASSERT_TRUE(target.Valid());
    target.SetCurrent();
    GLuint tex[4];
    glGenTextures(4, tex);
    for (GLuint t : tex)
    {
        glBindTexture(GL_TEXTURE_2D, t);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    }

    std::vector<int> steps;
    auto sea = std::make_unique<CWaterNorm>();
    sea->MakeNormalMap(tex[0], tex[1], tex[2], tex[3], &target, [&](int n) { steps.push_back(n); });

    // A step as each part of the work finishes, in order: four octaves, then the rest.
    ASSERT_EQ(steps.size(), static_cast<std::size_t>(CWaterNorm::kProgressSteps));
    for (int i = 0; i < CWaterNorm::kProgressSteps; ++i)
        EXPECT_EQ(steps[static_cast<std::size_t>(i)], i);

    // The target is current, and the list and textures are filled.
    EXPECT_TRUE(target.IsCurrent());
    EXPECT_TRUE(glIsList(sea->displist));
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE0);
    std::vector<std::uint8_t> expected(512 * 512 * 3), got(512 * 512 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int l = 0; l < 4; ++l)
    {
        glBindTexture(GL_TEXTURE_2D, tex[l]);
        GLint w0 = 0, w1 = 0, w9 = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w0);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &w1);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 9, GL_TEXTURE_WIDTH, &w9);
        EXPECT_EQ(w0, 512);
        EXPECT_EQ(w1, 256);
        EXPECT_EQ(w9, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, got.data());
        sea->FillImage(l, expected.data());
        EXPECT_EQ(0, std::memcmp(got.data(), expected.data(), got.size())) << "layer " << l;
    }

    // The seed came from the piece's calendar clock: the same seed gives the same sea.
    auto again = std::make_unique<CWaterNorm>();
    vq_srand(seed);
    again->MakeNoise();
    again->FilterOctaves();
    again->Combine();
    EXPECT_EQ(0, std::memcmp(again->heights, sea->heights, sizeof sea->heights));

    // The list draws the 256 x 256 cells with the heights as colours: feed it back.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-300, 300, -300, 300, -300, 300);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(90, 1, 0, 0); // face on: the sea lies in the plane y = 8
    std::vector<GLfloat> fb(256 * 256 * 2 * 12 + 16);
    glFeedbackBuffer(static_cast<GLsizei>(fb.size()), GL_3D, fb.data());
    glRenderMode(GL_FEEDBACK);
    sea->Render();
    const GLint used = glRenderMode(GL_RENDER);
    EXPECT_EQ(used, 256 * 256 * 2 * 11);
    if (used > 0)
    {
        // First triangle, first corner: grid corner (0, 0) at (-256, 8, -256).
        EXPECT_EQ(fb[0], static_cast<GLfloat>(GL_POLYGON_TOKEN));
        EXPECT_EQ(fb[1], 3.0f);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    target.Remove();
}
