#include "procedural/CMetaBall.h"

#include "procedural/MarchingCubesTables.h"

#include <GL/glew.h>

#include <cmath>
#include <cstring>

using CMetaBall = CDemoHandler::CMetaBall;

CMetaBall::CMetaBall() : cells(new cell_t[static_cast<std::size_t>(kGrid) * kGrid * kGrid]())
{
    std::memset(mesh, 0, sizeof mesh);
    filled.reserve(static_cast<std::size_t>(kCellsAxis) * kCellsAxis * kCellsAxis);
}

void CMetaBall::VertexInterp(float x1, float y1, float z1, float x2, float y2, float z2, float val1,
                             float val2, float& x, float& y, float& z) const
{
    // The differences are float, as the grid stores them; the tolerance is 0.00001.
    const double eps = 0.00001;
    if (std::fabs(isolevel - val1) < eps)
    {
        x = x1;
        y = y1;
        z = z1;
        return;
    }
    if (std::fabs(isolevel - val2) < eps)
    {
        x = x2;
        y = y2;
        z = z2;
        return;
    }
    if (std::fabs(val1 - val2) < eps)
    {
        x = x1;
        y = y1;
        z = z1;
        return;
    }
    const double mu = (static_cast<double>(isolevel) - val1) / (static_cast<double>(val2) - val1);
    x = static_cast<float>(x1 + mu * (static_cast<double>(x2) - x1));
    y = static_cast<float>(y1 + mu * (static_cast<double>(y2) - y1));
    z = static_cast<float>(z1 + mu * (static_cast<double>(z2) - z1));
}

// VertexInterp of an edge's position and of its normal at once: both take the same branch and
// the same mu, so computing them together gives exactly the two calls' results.
void CMetaBall::InterpEdge(float x1, float y1, float z1, float x2, float y2, float z2, const gridpoint& a,
                           const gridpoint& b, float pos[3], float nrm[3]) const
{
    const double eps = 0.00001;
    const float val1 = a.value, val2 = b.value;
    const bool first = std::fabs(isolevel - val1) < eps;
    const bool second = !first && std::fabs(isolevel - val2) < eps;
    if (first || (!second && std::fabs(val1 - val2) < eps))
    {
        pos[0] = x1, pos[1] = y1, pos[2] = z1;
        nrm[0] = a.dx, nrm[1] = a.dy, nrm[2] = a.dz;
        return;
    }
    if (second)
    {
        pos[0] = x2, pos[1] = y2, pos[2] = z2;
        nrm[0] = b.dx, nrm[1] = b.dy, nrm[2] = b.dz;
        return;
    }
    const double mu = (static_cast<double>(isolevel) - val1) / (static_cast<double>(val2) - val1);
    pos[0] = static_cast<float>(x1 + mu * (static_cast<double>(x2) - x1));
    pos[1] = static_cast<float>(y1 + mu * (static_cast<double>(y2) - y1));
    pos[2] = static_cast<float>(z1 + mu * (static_cast<double>(z2) - z1));
    nrm[0] = static_cast<float>(a.dx + mu * (static_cast<double>(b.dx) - a.dx));
    nrm[1] = static_cast<float>(a.dy + mu * (static_cast<double>(b.dy) - a.dy));
    nrm[2] = static_cast<float>(a.dz + mu * (static_cast<double>(b.dz) - a.dz));
}

void CMetaBall::AddMetaToMesh(float x, float y, float z, int start, int end)
{
    const float R = static_cast<float>(end - 1);
    const int ix = static_cast<int>(x), iy = static_cast<int>(y), iz = static_cast<int>(z);
    for (int di = start; di < end; ++di)
    {
        const int gi = di + ix;
        if (gi < 0 || gi >= kGrid)
            continue;
        const float fx = static_cast<float>(gi) - x;
        for (int dj = start; dj < end; ++dj)
        {
            const int gj = dj + iy;
            if (gj < 0 || gj >= kGrid)
                continue;
            const float fy = static_cast<float>(gj) - y;
            for (int dk = start; dk < end; ++dk)
            {
                const int gk = dk + iz;
                if (gk < 0 || gk >= kGrid)
                    continue;
                const float fz = static_cast<float>(gk) - z;
                const float dist = std::sqrt(fx * fx + fy * fy + fz * fz);
                if (dist > R)
                    continue;
                gridpoint& p = mesh[gi][gj][gk];
                p.dx += fx;
                p.dy += fy;
                p.dz += fz;
                p.value += R - dist;
            }
        }
    }
}

void CMetaBall::BuildField(float a)
{
    std::memset(mesh, 0, sizeof mesh);
    AddMetaToMesh(21 + 2 * std::cos(a), 21 + 2 * std::sin(2 * a), 20 + 4 * std::sin(3 * a), -6, 7);
    AddMetaToMesh(21 + 8 * std::cos(a), 21 + 8 * std::sin(2 * a), 20 + 8 * std::sin(a), -6, 7);
    AddMetaToMesh(21 + 16 * std::cos(2 * a), 21 + 12 * std::sin(4 * a), 20 + 16 * std::sin(2 * a), -6, 7);
    AddMetaToMesh(21 + 12 * std::cos(2 * a), 21 + 12 * std::sin(a), 20 + 12 * std::sin(2 * a), -8, 9);
    AddMetaToMesh(21 + 12 * std::cos(4 * a), 21 + 6 * std::sin(a), 20 + 12 * std::sin(5 * a), -8, 9);
    AddMetaToMesh(21 + 12 * std::cos(4 * a), 21 + 6 * std::sin(2 * a), 20 + 12 * std::sin(4 * a), -6, 7);
    AddMetaToMesh(21 + 12 * std::cos(2 * a), 21 + 6 * std::sin(3 * a), 20 + 12 * std::sin(3 * a), -6, 7);
    AddMetaToMesh(21 + 12 * std::cos(4 * a), 21 + 6 * std::sin(a), 20 + 12 * std::sin(2 * a), -6, 7);
}

void CMetaBall::AdvancePhase() { angle = static_cast<float>(seconds - origin) + boost; }

void CMetaBall::TickBoost(bool pageUp)
{
    if (pageUp)
        boost += 1.0f / (5.0f * CDemoHandler::kTickRate);
}

int CMetaBall::CubeIndex(int i, int j, int k) const
{
    int index = 0;
    for (int n = 0; n < 8; ++n)
    {
        const int* o = marching::kCornerOffset[n];
        if (mesh[i + o[0]][j + o[1]][k + o[2]].value < isolevel)
            index |= 1 << n;
    }
    return index;
}

namespace
{
// Below-level flags of every grid point, so a cell's index is eight byte reads, and per grid row
// along k whether every point of it is below the level: a row of cells whose four corner rows are
// all below holds no surface and is skipped whole (most of the grid).
struct BelowLevel
{
    unsigned char below[CMetaBall::kGrid][CMetaBall::kGrid][CMetaBall::kGrid];
    bool allBelow[CMetaBall::kGrid][CMetaBall::kGrid];

    bool RowEmpty(int i, int j) const
    {
        return allBelow[i][j] && allBelow[i + 1][j] && allBelow[i][j + 1] && allBelow[i + 1][j + 1];
    }
};

void markBelow(const CMetaBall::gridpoint (&mesh)[CMetaBall::kGrid][CMetaBall::kGrid][CMetaBall::kGrid],
               float isolevel, BelowLevel& out)
{
    for (int i = 0; i < CMetaBall::kGrid; ++i)
        for (int j = 0; j < CMetaBall::kGrid; ++j)
        {
            unsigned char all = 1;
            for (int k = 0; k < CMetaBall::kGrid; ++k)
            {
                const unsigned char b = mesh[i][j][k].value < isolevel ? 1 : 0;
                out.below[i][j][k] = b;
                all &= b;
            }
            out.allBelow[i][j] = all != 0;
        }
}

// Cube indices of the row of cells (i, j, 0..40) without branches; returns a bit per cut cell
// (index neither 0 nor 255), so that only those are visited, in k order.
std::uint64_t rowCubes(const BelowLevel& flags, int i, int j, unsigned char (&cube)[CMetaBall::kCellsAxis])
{
    const unsigned char* b00 = flags.below[i][j];
    const unsigned char* b10 = flags.below[i + 1][j];
    const unsigned char* b01 = flags.below[i][j + 1];
    const unsigned char* b11 = flags.below[i + 1][j + 1];
    std::uint64_t cut = 0;
    for (int k = 0; k < CMetaBall::kCellsAxis; ++k)
    {
        cube[k] = static_cast<unsigned char>(b00[k] | b10[k] << 1 | b10[k + 1] << 2 | b00[k + 1] << 3 |
                                             b01[k] << 4 | b11[k] << 5 | b11[k + 1] << 6 | b01[k + 1] << 7);
        cut |= static_cast<std::uint64_t>(static_cast<unsigned char>(cube[k] + 1) > 1) << k;
    }
    return cut;
}
} // namespace

int CMetaBall::Polygonise()
{
    // Only the records of last frame's cells can hold a count; every other record is empty.
    for (int c : filled)
        cells[static_cast<std::size_t>(c)].count = 0;
    filled.clear();

    BelowLevel flags;
    markBelow(mesh, isolevel, flags);
    int total = 0;
    for (int i = 0; i < kCellsAxis; ++i)
        for (int j = 0; j < kCellsAxis; ++j)
        {
            if (flags.RowEmpty(i, j))
                continue;
            unsigned char cube[kCellsAxis];
            for (std::uint64_t cut = rowCubes(flags, i, j, cube); cut != 0; cut &= cut - 1)
            {
                const int k = __builtin_ctzll(cut);
                total += PolygoniseCell(i, j, k, cube[k]);
            }
        }
    return total;
}

int CMetaBall::PolygoniseCell(int i, int j, int k, int index)
{
    const gridpoint* g[8];
    for (int n = 0; n < 8; ++n)
    {
        const int* o = marching::kCornerOffset[n];
        g[n] = &mesh[i + o[0]][j + o[1]][k + o[2]];
    }
    // The surface's crossing on every edge the cube index cuts.
    const float ci[2] = {static_cast<float>(i), static_cast<float>(i + 1)};
    const float cj[2] = {static_cast<float>(j), static_cast<float>(j + 1)};
    const float ck[2] = {static_cast<float>(k), static_cast<float>(k + 1)};
    float vp[12][3], vn[12][3];
    for (unsigned bits = static_cast<unsigned>(marching::edgeTable[index]); bits != 0; bits &= bits - 1)
    {
        const int e = __builtin_ctz(bits);
        const int a = marching::kEdgeCorner[e][0], b = marching::kEdgeCorner[e][1];
        const int* oa = marching::kCornerOffset[a];
        const int* ob = marching::kCornerOffset[b];
        InterpEdge(ci[oa[0]], cj[oa[1]], ck[oa[2]], ci[ob[0]], cj[ob[1]], ck[ob[2]], *g[a], *g[b], vp[e],
                   vn[e]);
    }

    const int c = Index(i, j, k);
    cell_t& cell = cells[static_cast<std::size_t>(c)];
    const int* row = marching::triTable[index];
    int n = 0;
    for (int t = 0; row[t] != -1 && n < kMaxTris; t += 3, ++n)
    {
        triangle_t& tri = cell.tri[n];
        for (int v = 0; v < 3; ++v)
        {
            const int e = row[t + v];
            // Float by float: the edge values were just stored that way, and a wider load of them
            // would wait for the stores to retire.
            for (int q = 0; q < 3; ++q)
            {
                tri.p[v][q] = vp[e][q];
                tri.n[v][q] = vn[e][q];
            }
        }
    }
    cell.count = static_cast<float>(n);
    if (n > 0)
        filled.push_back(c);
    return n;
}

void CMetaBall::NormalForDrawing(float n[3])
{
    const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(len > 0.0f))
    {
        n[0] = 0.0f;
        n[1] = 1.0f;
        n[2] = 0.0f;
        return;
    }
    n[0] /= len;
    n[1] /= len;
    n[2] /= len;
}

void CMetaBall::Draw()
{
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glBegin(GL_TRIANGLES);
    for (int c : filled)
    {
        cell_t& cell = cells[static_cast<std::size_t>(c)];
        for (int t = 0; static_cast<float>(t) < cell.count; ++t)
        {
            triangle_t& tri = cell.tri[t];
            for (int v = 0; v < 3; ++v)
                NormalForDrawing(tri.n[v]);
            for (int v = 0; v < 3; ++v)
            {
                glNormal3f(tri.n[v][0], tri.n[v][1], tri.n[v][2]);
                glVertex3f(tri.p[v][0] - 21, tri.p[v][1] - 21, tri.p[v][2] - 21);
            }
        }
    }
    glEnd();
}

void CMetaBall::Render()
{
    // The phase first: the field is built for the frame's own moment, not the previous frame's,
    // so the blob is the same at a given moment whatever the frame rate.
    AdvancePhase();
    BuildField(angle);
    isolevel = 1.5f;
    Polygonise();
    Draw();
}
