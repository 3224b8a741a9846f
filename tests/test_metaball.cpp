// Metaballs: the marching-cubes tables, closed meshes, the field of a ball, VertexInterp, the
// level test, the phase clock, stale cells, and one Render under Xvfb.
#include "app/platform/CInput.h"
#include "app/platform/Clock.h"
#include "app/platform/GLWindow.h"
#include "procedural/CMetaBall.h"
#include "procedural/MarchingCubesTables.h"
#include "support/WindowAtExit.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <tuple>

namespace
{
using CMetaBall = CDemoHandler::CMetaBall;
using Key = std::tuple<long, long, long>;

Key key(const float p[3], float scale)
{
    return Key(std::lround(p[0] * scale), std::lround(p[1] * scale), std::lround(p[2] * scale));
}

struct EdgeCounts
{
    int triangles = 0;
    int unpaired = 0;    // undirected edges not shared by exactly two triangles
    int misoriented = 0; // directed edges not met exactly once each way
};

// Every edge of a closed, consistently wound mesh is used once in each direction.
EdgeCounts checkClosed(const CMetaBall& m, float scale)
{
    std::map<std::pair<Key, Key>, int> directed;
    EdgeCounts r;
    for (int c : m.FilledCells())
    {
        const CMetaBall::cell_t& cell = m.cells[static_cast<std::size_t>(c)];
        for (int t = 0; t < static_cast<int>(cell.count); ++t)
        {
            ++r.triangles;
            for (int v = 0; v < 3; ++v)
                ++directed[{key(cell.tri[t].p[v], scale), key(cell.tri[t].p[(v + 1) % 3], scale)}];
        }
    }
    for (const auto& e : directed)
    {
        const auto back = directed.find({e.first.second, e.first.first});
        const int reverse = back == directed.end() ? 0 : back->second;
        if (e.second + reverse != 2)
            ++r.unpaired;
        if (e.second != 1 || reverse != 1)
            ++r.misoriented;
    }
    return r;
}

void clearField(CMetaBall& m) { std::memset(m.mesh, 0, sizeof m.mesh); }
} // namespace

TEST(MarchingCubes, TablesAgreeWithTheCornerNumbering)
{
    EXPECT_EQ(marching::edgeTable[1], 0x109);
    const int row1[4] = {0, 8, 3, -1};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(marching::triTable[1][i], row1[i]);
    for (int index = 0; index < 256; ++index)
    {
        // An edge is cut exactly when its corners fall on different sides.
        int cut = 0;
        for (int e = 0; e < 12; ++e)
        {
            const int a = marching::kEdgeCorner[e][0], b = marching::kEdgeCorner[e][1];
            if (((index >> a) & 1) != ((index >> b) & 1))
                cut |= 1 << e;
        }
        EXPECT_EQ(marching::edgeTable[index], cut) << index;
        int used = 0, n = 0;
        while (n < 16 && marching::triTable[index][n] != -1)
            used |= 1 << marching::triTable[index][n++];
        EXPECT_EQ(n % 3, 0) << index;
        EXPECT_LE(n, 15) << index;
        EXPECT_EQ(used, cut) << index;
    }
}

TEST(MarchingCubes, RandomSolidsGiveClosedConsistentlyWoundMeshes)
{
    // Points of 3 inside a box, 0 elsewhere: every vertex is an exact edge midpoint, so a single
    // wrong table entry shows up as an open or doubly used edge.
    auto m = std::make_unique<CMetaBall>();
    std::mt19937 gen(12345);
    for (int trial = 0; trial < 40; ++trial)
    {
        clearField(*m);
        for (int i = 5; i < 13; ++i)
            for (int j = 5; j < 13; ++j)
                for (int k = 5; k < 13; ++k)
                    m->mesh[i][j][k].value = (gen() & 1) ? 3.0f : 0.0f;
        m->isolevel = 1.5f;
        ASSERT_GT(m->Polygonise(), 0);
        const EdgeCounts e = checkClosed(*m, 2.0f);
        EXPECT_EQ(e.unpaired, 0) << "trial " << trial;
        EXPECT_EQ(e.misoriented, 0) << "trial " << trial;
    }
}

TEST(MetaBall, BlobWellInsideTheGridIsClosed)
{
    auto m = std::make_unique<CMetaBall>();
    m->AddMetaToMesh(18.3f, 21.7f, 20.2f, -8, 9);
    m->AddMetaToMesh(24.1f, 19.6f, 22.9f, -6, 7);
    m->AddMetaToMesh(21.0f, 26.4f, 17.5f, -6, 7);
    m->isolevel = 1.5f;
    const int tris = m->Polygonise();
    EXPECT_GT(tris, 500);
    const EdgeCounts e = checkClosed(*m, 4096.0f);
    EXPECT_EQ(e.triangles, tris);
    EXPECT_EQ(e.unpaired, 0);
    EXPECT_EQ(e.misoriented, 0);
}

TEST(MetaBall, LoneBallIsASphereWithOutwardNormals)
{
    auto m = std::make_unique<CMetaBall>();
    const float cx = 20.5f, cy = 21.25f, cz = 19.75f;
    m->AddMetaToMesh(cx, cy, cz, -8, 9); // reach 8: surface radius 8 - 1.5
    m->isolevel = 1.5f;
    ASSERT_GT(m->Polygonise(), 0);
    for (int c : m->FilledCells())
    {
        const CMetaBall::cell_t& cell = m->cells[static_cast<std::size_t>(c)];
        for (int t = 0; t < static_cast<int>(cell.count); ++t)
            for (int v = 0; v < 3; ++v)
            {
                const float* p = cell.tri[t].p[v];
                float n[3] = {cell.tri[t].n[v][0], cell.tri[t].n[v][1], cell.tri[t].n[v][2]};
                const float dx = p[0] - cx, dy = p[1] - cy, dz = p[2] - cz;
                const float r = std::sqrt(dx * dx + dy * dy + dz * dz);
                ASSERT_NEAR(r, 6.5f, 0.1f);
                CMetaBall::NormalForDrawing(n);
                ASSERT_GT((n[0] * dx + n[1] * dy + n[2] * dz) / r, 0.98f);
            }
    }
}

TEST(MetaBall, FieldOfOneBall)
{
    auto m = std::make_unique<CMetaBall>();
    m->AddMetaToMesh(10.0f, 10.0f, 10.0f, -6, 7);
    EXPECT_FLOAT_EQ(m->mesh[10][10][10].value, 6.0f);
    // Exactly at the reach: counted with nothing added to the value, but its offset is.
    EXPECT_EQ(m->mesh[16][10][10].value, 0.0f);
    EXPECT_EQ(m->mesh[16][10][10].dx, 6.0f);
    EXPECT_EQ(m->mesh[10][4][10].dy, -6.0f);
    // Just past it: untouched.
    EXPECT_EQ(m->mesh[16][11][10].dx, 0.0f);
    EXPECT_FLOAT_EQ(m->mesh[13][14][10].value, 1.0f);

    // Near a corner of the grid the cube is clipped, not written outside.
    clearField(*m);
    m->AddMetaToMesh(0.5f, 41.5f, 40.9f, -8, 9);
    EXPECT_GT(m->mesh[0][41][41].value, 7.0f);
    EXPECT_EQ(m->mesh[9][41][41].value, 0.0f);
}

TEST(MetaBall, VertexInterpFollowsItsFourCases)
{
    auto m = std::make_unique<CMetaBall>();
    m->isolevel = 1.5f;
    float x, y, z;
    m->VertexInterp(0, 0, 0, 2, 4, 6, 1.5f, 3.0f, x, y, z); // at the first end
    EXPECT_EQ(x, 0.0f);
    m->VertexInterp(0, 0, 0, 2, 4, 6, 3.0f, 1.500001f, x, y, z); // at the second end
    EXPECT_EQ(x, 2.0f);
    EXPECT_EQ(z, 6.0f);
    m->VertexInterp(0, 0, 0, 2, 4, 6, 1.0f, 1.000001f, x, y, z); // no difference to divide by
    EXPECT_EQ(y, 0.0f);
    m->VertexInterp(1, 1, 1, 2, 3, 5, 1.0f, 3.0f, x, y, z); // a quarter of the way
    EXPECT_FLOAT_EQ(x, 1.25f);
    EXPECT_FLOAT_EQ(y, 1.5f);
    EXPECT_FLOAT_EQ(z, 2.0f);
    m->VertexInterp(1, 1, 1, 2, 3, 5, 3.0f, 1.0f, x, y, z); // runs from the first corner
    EXPECT_FLOAT_EQ(x, 1.75f);
}

TEST(MetaBall, CornerExactlyAtTheLevelDoesNotSetItsBit)
{
    auto m = std::make_unique<CMetaBall>();
    m->isolevel = 1.5f;
    for (int n = 0; n < 8; ++n)
    {
        const int* o = marching::kCornerOffset[n];
        m->mesh[3 + o[0]][4 + o[1]][5 + o[2]].value = 3.0f;
    }
    m->mesh[3][4][5].value = 1.5f;
    EXPECT_EQ(m->CubeIndex(3, 4, 5), 0);
    m->mesh[3][4][5].value = 1.4999f;
    EXPECT_EQ(m->CubeIndex(3, 4, 5), 1);
    m->mesh[4][5][6].value = 0.0f; // corner 6
    EXPECT_EQ(m->CubeIndex(3, 4, 5), 1 | 64);
}

TEST(MetaBall, CellTrianglesAreTheEdgeInterpolations)
{
    // One cell below the level at corner 0 only: triangle (0, 8, 3) from the corner's edges.
    auto m = std::make_unique<CMetaBall>();
    for (int n = 0; n < 8; ++n)
    {
        const int* o = marching::kCornerOffset[n];
        CMetaBall::gridpoint& g = m->mesh[7 + o[0]][8 + o[1]][9 + o[2]];
        g.value = 2.0f + 0.1f * n;
        g.dx = 0.3f * n;
        g.dy = 1.0f - 0.2f * n;
        g.dz = 0.7f;
    }
    m->mesh[7][8][9].value = 0.4f;
    // Surround the cell with points above the level so only it is cut... its neighbours are cut
    // too, but the record of (7, 8, 9) holds its own triangle.
    m->isolevel = 1.5f;
    m->Polygonise();
    const CMetaBall::cell_t& cell = m->Cell(7, 8, 9);
    ASSERT_EQ(cell.count, 1.0f);
    const int edges[3] = {0, 8, 3};
    for (int v = 0; v < 3; ++v)
    {
        const int a = marching::kEdgeCorner[edges[v]][0], b = marching::kEdgeCorner[edges[v]][1];
        const int* oa = marching::kCornerOffset[a];
        const int* ob = marching::kCornerOffset[b];
        const CMetaBall::gridpoint& ga = m->mesh[7 + oa[0]][8 + oa[1]][9 + oa[2]];
        const CMetaBall::gridpoint& gb = m->mesh[7 + ob[0]][8 + ob[1]][9 + ob[2]];
        float p[3], n[3];
        m->VertexInterp(7.0f + oa[0], 8.0f + oa[1], 9.0f + oa[2], 7.0f + ob[0], 8.0f + ob[1], 9.0f + ob[2],
                        ga.value, gb.value, p[0], p[1], p[2]);
        m->VertexInterp(ga.dx, ga.dy, ga.dz, gb.dx, gb.dy, gb.dz, ga.value, gb.value, n[0], n[1], n[2]);
        for (int c = 0; c < 3; ++c)
        {
            EXPECT_EQ(cell.tri[0].p[v][c], p[c]) << v << "," << c;
            EXPECT_EQ(cell.tri[0].n[v][c], n[c]) << v << "," << c;
        }
    }
}

TEST(MetaBall, CellsOfTheLastFrameAreEmptiedAndTheLastLayerStaysEmpty)
{
    auto m = std::make_unique<CMetaBall>();
    m->AddMetaToMesh(10.0f, 10.0f, 10.0f, -6, 7);
    m->isolevel = 1.5f;
    ASSERT_GT(m->Polygonise(), 0);
    const std::vector<int> before = m->FilledCells();
    clearField(*m);
    m->AddMetaToMesh(30.0f, 30.0f, 30.0f, -6, 7);
    ASSERT_GT(m->Polygonise(), 0);
    for (int c : before)
        EXPECT_EQ(m->cells[static_cast<std::size_t>(c)].count, 0.0f);
    // A ball swinging past the far faces leaves the records of index 41 empty.
    clearField(*m);
    m->AddMetaToMesh(40.0f, 40.0f, 40.0f, -8, 9);
    ASSERT_GT(m->Polygonise(), 0);
    for (int a = 0; a < CMetaBall::kGrid; ++a)
        for (int b = 0; b < CMetaBall::kGrid; ++b)
        {
            EXPECT_EQ(m->Cell(41, a, b).count, 0.0f);
            EXPECT_EQ(m->Cell(a, 41, b).count, 0.0f);
            EXPECT_EQ(m->Cell(a, b, 41).count, 0.0f);
        }
}

TEST(MetaBall, ZeroLengthNormalIsDrawnUp)
{
    float zero[3] = {0, 0, 0};
    CMetaBall::NormalForDrawing(zero);
    EXPECT_EQ(zero[0], 0.0f);
    EXPECT_EQ(zero[1], 1.0f);
    EXPECT_EQ(zero[2], 0.0f);
    float n[3] = {3, 0, -4};
    CMetaBall::NormalForDrawing(n);
    EXPECT_FLOAT_EQ(n[0], 0.6f);
    EXPECT_FLOAT_EQ(n[2], -0.8f);
}

TEST(MetaBall, EightBallsOfTheFirstFrame)
{
    auto m = std::make_unique<CMetaBall>();
    m->BuildField(0.0f);
    // At phase 0 ball 4 (reach 8) sits at (33, 21, 20) and ball 1 at (23, 21, 20).
    EXPECT_GT(m->mesh[33][21][20].value, 8.0f - 0.001f);
    EXPECT_GT(m->mesh[23][21][20].value, 6.0f - 0.001f);
    m->isolevel = 1.5f;
    EXPECT_GT(m->Polygonise(), 1000);
}

TEST(MetaBall, PhaseIsAFunctionOfMusicTimeFromItsOrigin)
{
    auto m = std::make_unique<CMetaBall>();
    m->origin = 50.8;
    m->seconds = 50.8;
    m->AdvancePhase();
    EXPECT_EQ(m->angle, 0.0f);
    m->seconds = 51.3;
    m->AdvancePhase();
    EXPECT_FLOAT_EQ(m->angle, 0.5f);
    // The same moment gives the same phase whatever came before it.
    m->seconds = 60.0;
    m->AdvancePhase();
    m->seconds = 51.3;
    m->AdvancePhase();
    EXPECT_FLOAT_EQ(m->angle, 0.5f);
    // Page Up adds a fifth more for each second (60 ticks) it is held.
    for (int i = 0; i < CDemoHandler::kTickRate; ++i)
        m->TickBoost(true);
    m->TickBoost(false);
    m->AdvancePhase();
    EXPECT_NEAR(m->angle, 0.5f + 0.2f, 1e-5f);
}

TEST(MetaBallGL, RenderDrawsEveryTriangleWithUnitNormals)
{
    vqclock::enterCapture(30.0, 0.0, true, 1);
    WindowOptions o;
    o.hidden = true;
    std::string why;
    ASSERT_TRUE(glWindow.Init(1024, 768, 32, o, why)) << why;
    CloseWindowAtExit();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-30, 30, -30, 30, -30, 30);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(30, 1, 1, 0);

    auto m = std::make_unique<CMetaBall>();
    std::vector<GLfloat> fb(1 << 22);
    glFeedbackBuffer(static_cast<GLsizei>(fb.size()), GL_3D, fb.data());
    glRenderMode(GL_FEEDBACK);
    m->Render();
    const GLint used = glRenderMode(GL_RENDER);
    ASSERT_GT(used, 0);
    int drawn = 0;
    for (GLint i = 0; i < used;)
    {
        ASSERT_EQ(fb[static_cast<std::size_t>(i)], static_cast<GLfloat>(GL_POLYGON_TOKEN));
        const int n = static_cast<int>(fb[static_cast<std::size_t>(i) + 1]);
        i += 2 + 3 * n;
        ++drawn;
    }
    int stored = 0;
    for (int c : m->FilledCells())
        stored += static_cast<int>(m->cells[static_cast<std::size_t>(c)].count);
    EXPECT_EQ(drawn, stored);
    EXPECT_GT(stored, 1000);

    GLfloat n[3];
    glGetFloatv(GL_CURRENT_NORMAL, n);
    EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5);
    GLint mode[2];
    glGetIntegerv(GL_POLYGON_MODE, mode);
    EXPECT_EQ(mode[0], GL_FILL);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
