#include "procedural/CWaterNorm.h"

#include "app/platform/Clock.h"
#include "math/random.h"
#include "procedural/SeaFilter.h"
#include "render/CPBuffer.h"

#include <GL/glew.h>
#include <GL/glu.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

using CWaterNorm = CDemoHandler::CWaterNorm;

namespace
{
// Runs job(0) .. job(count - 1), the upper half on a second thread when threads >= 2. The jobs
// must not share outputs; each one's result is the same whichever thread runs it.
template <class Job> void runSplit(int count, int threads, Job job)
{
    if (threads < 2 || count < 2)
    {
        for (int i = 0; i < count; ++i)
            job(i);
        return;
    }
    const int half = count / 2;
    std::thread worker(
        [&]
        {
            for (int i = half; i < count; ++i)
                job(i);
        });
    for (int i = 0; i < half; ++i)
        job(i);
    worker.join();
}

// The triangles (151 MB) are written once and read back only by tests: streaming stores keep
// them from evicting the heights and sums, and spare reading the lines before writing them. The
// cell's 36 floats go straight from registers: a wide load of values just stored one by one
// would wait for those stores to retire.
void storeCell(CWaterNorm::tri* dst, const svect3f (&v)[6], const svect3f& n1, const svect3f& n2)
{
    const float f[36] = {v[0].x, v[0].y, v[0].z, v[1].x, v[1].y, v[1].z, v[2].x, v[2].y, v[2].z,
                         n1.x,   n1.y,   n1.z,   n1.x,   n1.y,   n1.z,   n1.x,   n1.y,   n1.z,
                         v[3].x, v[3].y, v[3].z, v[4].x, v[4].y, v[4].z, v[5].x, v[5].y, v[5].z,
                         n2.x,   n2.y,   n2.z,   n2.x,   n2.y,   n2.z,   n2.x,   n2.y,   n2.z};
    static_assert(sizeof f == 2 * sizeof(CWaterNorm::tri), "a cell is two triangles");
#if defined(__SSE2__)
    float* d = reinterpret_cast<float*>(dst);
    for (int i = 0; i < 36; i += 4)
        _mm_stream_ps(d + i, _mm_setr_ps(f[i], f[i + 1], f[i + 2], f[i + 3]));
#else
    std::memcpy(dst, f, sizeof f);
#endif
}

void finishStores()
{
#if defined(__SSE2__)
    _mm_sfence();
#endif
}
} // namespace

CWaterNorm::CWaterNorm() = default;

float CWaterNorm::rndn(float a, float b)
{
    const float r = static_cast<float>(vq_rand() / 32767.0);
    return (b - a) * r + a;
}

void CWaterNorm::MakeNoise()
{
    constexpr int kBlocksMax = kSize / 2 + 1;
    float value[kBlocksMax];
    for (int l = 0; l < kLayers; ++l)
    {
        for (int k = 0; k < kOctaves; ++k)
        {
            const int b = kBlock[k];
            for (int x0 = 0; x0 < kSize; x0 += b)
            {
                // One draw per block, in block-column order; then the block row is filled.
                int blocks = 0;
                for (int z0 = 0; z0 < kSize; z0 += b)
                    value[blocks++] = rndn(0, 1);
                float* first = heights[l][k][x0];
                for (int i = 0; i < blocks; ++i)
                    std::fill(first + i * b, first + std::min((i + 1) * b, kSize), value[i]);
                for (int x = x0 + 1; x < std::min(x0 + b, kSize); ++x)
                    std::copy(first, first + kSize, heights[l][k][x]);
            }
        }
    }
}

void CWaterNorm::FilterOctaves(const std::function<void(int)>& progress, int threads)
{
    seafilter::Workspace workspace;
    for (int k = 0; k < kOctaves; ++k)
    {
        float* const grids[kLayers] = {&heights[0][k][0][0], &heights[1][k][0][0], &heights[2][k][0][0],
                                       &heights[3][k][0][0]};
        seafilter::BoxFilter4(grids, kRadius[k], threads, &workspace);
        if (progress)
            progress(k);
    }
}

void CWaterNorm::FilterOctaveDirect(int layer, int octave)
{
    if (layer < 0 || layer >= kLayers || octave < 0 || octave >= kOctaves)
        return;
    seafilter::BoxFilterDirect(&heights[layer][octave][0][0], kRadius[octave]);
}

void CWaterNorm::Combine()
{
    for (int l = 0; l < kLayers; ++l)
    {
        for (int x = 0; x < kSize; ++x)
        {
            for (int z = 0; z < kSize; ++z)
            {
                const float o0 = heights[l][0][x][z], o1 = heights[l][1][x][z];
                const float o2 = heights[l][2][x][z], o3 = heights[l][3][x][z];
                const float h = static_cast<float>(0.5 * o2 + o3 + 0.125 * o1 + 0.125 * o0);
                heights[l][4][x][z] = static_cast<float>(h * 6.0);
            }
        }
    }
}

void CWaterNorm::BuildTriangles(int threads)
{
    runSplit(kLayers, threads,
             [this](int l)
             {
                 const auto& H = heights[l][4];
                 auto h = [&H](int x, int z) { return H[x][z] * 10.0f; };
                 auto& acc = normals[l];
                 std::fill(&acc[0][0], &acc[0][0] + kCells * kCells, svect3f());
                 for (int i = 0; i < kCells; ++i)
                 {
                     // The far edge (x or z = 512) has no texel of its own: its corners add to the last.
                     const int i1 = std::min(i + 1, kCells - 1);
                     for (int j = 0; j < kCells; ++j)
                     {
                         const int j1 = std::min(j + 1, kCells - 1);
                         const float fi = static_cast<float>(i), fj = static_cast<float>(j);
                         const svect3f v[6] = {svect3f(fi, h(i, j), fj),
                                               svect3f(fi, h(i, j + 1), fj + 1),
                                               svect3f(fi + 1, h(i + 1, j), fj),
                                               svect3f(fi + 1, h(i + 1, j), fj),
                                               svect3f(fi + 1, h(i + 1, j + 1), fj + 1),
                                               svect3f(fi, h(i, j + 1), fj + 1)};
                         const svect3f n1 = (v[1] - v[0]) % (v[2] - v[0]);
                         const svect3f n2 = (v[3] - v[4]) % (v[5] - v[4]);
                         storeCell(tris[l][i][j], v, n1, n2);
                         // Each corner adds its triangle's normal to its grid point, corner by corner.
                         acc[i][j] += n1;
                         acc[i][j1] += n1;
                         acc[i1][j] += n1;
                         acc[i1][j] += n2;
                         acc[i1][j1] += n2;
                         acc[i][j1] += n2;
                     }
                 }
                 finishStores();
             });
}

void CWaterNorm::EncodeNormals(int threads)
{
    runSplit(kLayers, threads,
             [this](int l)
             {
                 svect3f* n = &normals[l][0][0];
                 for (int i = 0; i < kCells * kCells; ++i)
                 {
                     svect3f& v = n[i];
                     v.unit();
                     v = svect3f((v.x + 1.0f) / 2.0f, (v.y + 1.0f) / 2.0f, (v.z + 1.0f) / 2.0f);
                 }
             });
}

void CWaterNorm::FillImage(int layer, std::uint8_t* rgb) const
{
    if (layer < 0 || layer >= kLayers)
        return;
    auto byte = [](float c)
    {
        const int v = static_cast<int>(c * 255.0f);
        return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
    };
    for (int z = 0; z < kCells; ++z)
    {
        for (int x = 0; x < kCells; ++x)
        {
            const svect3f& c = normals[layer][x][z];
            std::uint8_t* p = rgb + (static_cast<std::size_t>(z) * kCells + x) * 3;
            p[0] = byte(c.x);
            p[1] = byte(c.y);
            p[2] = byte(c.z);
        }
    }
}

void CWaterNorm::Generate(const std::function<void(int)>& progress, int threads)
{
    MakeNoise();
    FilterOctaves(progress, threads);
    Combine();
    BuildTriangles(threads);
    EncodeNormals(threads);
}

void CWaterNorm::CompileList()
{
    displist = glGenLists(1);
    glNewList(displist, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    static const int corner[6][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int a = 0; a < 256; ++a)
    {
        for (int b = 0; b < 256; ++b)
        {
            for (const auto& c : corner)
            {
                const int p = a + c[0], q = b + c[1];
                glTexCoord2f(static_cast<float>(p) / 256.0f, static_cast<float>(q) / 256.0f);
                glColor4f(heights[0][4][2 * p][2 * q], heights[1][4][2 * p][2 * q],
                          heights[2][4][2 * p][2 * q], heights[3][4][2 * p][2 * q]);
                glVertex3f(static_cast<float>((p - 128) * 2), 8.0f, static_cast<float>((q - 128) * 2));
            }
        }
    }
    glEnd();
    glEndList();
}

void CWaterNorm::MakeNormalMap(unsigned tex0, unsigned tex1, unsigned tex2, unsigned tex3, CPBuffer* target,
                               const std::function<void(int)>& progress)
{
    vq_srand(static_cast<unsigned>(vqclock::calendarTime()));
    const auto step = [&progress](int n)
    {
        if (progress)
            progress(n);
    };
    MakeNoise();
    FilterOctaves(progress);
    Combine();
    step(kOctaves);

    if (target)
        target->SetCurrent();
    BuildTriangles();
    step(kOctaves + 1);
    EncodeNormals();
    step(kOctaves + 2);

    std::vector<std::uint8_t> image(static_cast<std::size_t>(kCells) * kCells * 3);
    const unsigned tex[kLayers] = {tex0, tex1, tex2, tex3};
    glActiveTexture(GL_TEXTURE0);
    for (int l = 0; l < kLayers; ++l)
    {
        FillImage(l, image.data());
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, tex[l]);
        gluBuild2DMipmaps(GL_TEXTURE_2D, 4, kCells, kCells, GL_RGB, GL_UNSIGNED_BYTE, image.data());
    }
    CompileList();
    step(kOctaves + 3);
}

void CWaterNorm::Render()
{
    if (displist)
        glCallList(displist);
}
