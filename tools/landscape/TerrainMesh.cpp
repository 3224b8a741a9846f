#include "TerrainMesh.h"

#include "Noise.h"
#include "Shaping.h"

#include <algorithm>
#include <cmath>

namespace landscape
{
namespace
{
using vqtools::smoothstep;

hlf::IhlfCorner corner(const IslandTerrain& terrain, double x, double z)
{
    hlf::IhlfCorner c;
    double n[3];
    terrain.Normal(x, z, n);
    c.pos = svect3f(static_cast<float>(x), static_cast<float>(terrain.Height(x, z)), static_cast<float>(z));
    c.normal = svect3f(static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2]));
    c.s0 = static_cast<float>(x / kDetailTile);
    c.t0 = static_cast<float>(z / kDetailTile);
    c.s1 = static_cast<float>(MaterialS(x));
    c.t1 = static_cast<float>(MaterialT(z));
    return c;
}
} // namespace

std::vector<double> GridLines(double lo, double hi, std::vector<double> knots, double spacing, double minGap)
{
    std::sort(knots.begin(), knots.end());
    std::vector<double> fixed{lo};
    for (double k : knots)
        if (k - fixed.back() >= minGap && hi - k >= minGap)
            fixed.push_back(k);
    fixed.push_back(hi);

    std::vector<double> lines;
    for (std::size_t i = 0; i + 1 < fixed.size(); ++i)
    {
        const double a = fixed[i], b = fixed[i + 1];
        const int steps = std::max(1, static_cast<int>(std::ceil((b - a) / spacing - 0.25)));
        for (int s = 0; s < steps; ++s)
            lines.push_back(a + (b - a) * s / steps);
    }
    lines.push_back(hi);
    return lines;
}

std::vector<hlf::IhlfQuad> BuildTerrainQuads(const IslandTerrain& terrain)
{
    std::vector<double> kx, kz;
    for (const IslandTerrain::Point& p : terrain.TreePoints())
    {
        kx.push_back(p.x);
        kz.push_back(p.z);
    }
    const double minGap = 0.3;
    const std::vector<double> xs = GridLines(kTerrainX0, kTerrainX0 + kTerrainSize, kx, kGridSpacing, minGap);
    const std::vector<double> zs = GridLines(kTerrainZ0, kTerrainZ0 + kTerrainSize, kz, kGridSpacing, minGap);

    // Corners are computed once per grid vertex and shared by the four quads around it.
    const std::size_t nx = xs.size(), nz = zs.size();
    std::vector<hlf::IhlfCorner> grid(nx * nz);
    for (std::size_t i = 0; i < nx; ++i)
        for (std::size_t j = 0; j < nz; ++j)
            grid[i * nz + j] = corner(terrain, xs[i], zs[j]);

    std::vector<hlf::IhlfQuad> quads;
    for (std::size_t i = 0; i + 1 < nx; ++i)
        for (std::size_t j = 0; j + 1 < nz; ++j)
        {
            // Counter-clockwise seen from above: (x0, z0), (x0, z1), (x1, z1), (x1, z0).
            const hlf::IhlfCorner* c[4] = {&grid[i * nz + j], &grid[i * nz + j + 1],
                                           &grid[(i + 1) * nz + j + 1], &grid[(i + 1) * nz + j]};
            float top = c[0]->pos.y;
            for (const hlf::IhlfCorner* k : c)
                top = std::max(top, k->pos.y);
            if (top < kHiddenBelow)
                continue;
            hlf::IhlfQuad q;
            for (int k = 0; k < 4; ++k)
                q.corner[k] = *c[k];
            quads.push_back(q);
        }
    return quads;
}

MaterialWeights MaterialAt(const IslandTerrain& terrain, double x, double z)
{
    const double h = terrain.Height(x, z);
    double dx, dz;
    terrain.Gradient(x, z, dx, dz);
    const double slope = std::sqrt(dx * dx + dz * dz);
    const float fx = static_cast<float>(x), fz = static_cast<float>(z);
    const double n1 = vqtools::fbm2(fx / 7.0f + 50.0f, fz / 7.0f + 50.0f, 4, 777u) - 0.5;
    const double n2 = vqtools::fbm2(fx / 5.0f + 90.0f, fz / 5.0f + 90.0f, 4, 778u) - 0.5;

    // A band of shingle along the water line, uneven in width.
    const double gravel = 1.0 - smoothstep(kSeaLevel + 2.0, kSeaLevel + 4.5, h + n1 * 3.0);
    // Bare rock on the steep faces and the bald summit.
    double steep = smoothstep(0.8, 1.25, slope + n2 * 0.5);
    steep = std::max(steep, smoothstep(47.0, 53.0, h + n2 * 6.0));
    const double rock = steep * (1.0 - gravel);
    return {rock, std::max(0.0, 1.0 - rock - gravel), gravel};
}

vqtools::Image BuildMaterialMap(const IslandTerrain& terrain, int size)
{
    vqtools::Image img(size, size);
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i)
        {
            const double s = (i + 0.5) / size, t = 1.0 - (j + 0.5) / size;
            const MaterialWeights w =
                MaterialAt(terrain, kTerrainX0 + s * kTerrainSize, kTerrainZ0 + t * kTerrainSize);
            int r = static_cast<int>(std::lround(w.rock * 255));
            int b = static_cast<int>(std::lround(w.gravel * 255));
            r = std::clamp(r, 0, 255);
            b = std::clamp(b, 0, 255 - r);
            std::uint8_t* p = img.at(i, j);
            p[0] = static_cast<std::uint8_t>(r);
            p[1] = static_cast<std::uint8_t>(255 - r - b);
            p[2] = static_cast<std::uint8_t>(b);
        }
    return img;
}
} // namespace landscape
