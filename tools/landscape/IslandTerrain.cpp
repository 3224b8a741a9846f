#include "IslandTerrain.h"

#include "Noise.h"
#include "Shaping.h"
#include "formats/IHLF.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace landscape
{
namespace
{
constexpr double kPi = 3.14159265358979323846;
// Centre of the island's outline; the forest table leans to the west of the origin.
constexpr double kCentreX = -14.0, kCentreZ = 6.0;

using vqtools::smoothstep;

// Radius of the coastline in the direction a (radians), measured from the island's centre:
// an irregular outline, wider where the forest reaches far out.
double coastRadius(double a)
{
    const double wobble = vqtools::fbm2(static_cast<float>(std::cos(a) * 2.2 + 5.0),
                                        static_cast<float>(std::sin(a) * 2.2 + 5.0), 3, 4711u);
    return 84.0 + (wobble - 0.5) * 34.0;
}
} // namespace

IslandTerrain::IslandTerrain()
{
    castle = {26.0, 44.0, 41.0, 18.0};

    // The island object's own table: the forest stands where the island file's reader plants it.
    for (const double* r : ihlf::treeveclist)
    {
        bool seen = false;
        for (const Point& p : trees)
            seen = seen || (std::fabs(p.x - r[0]) < 1e-3 && std::fabs(p.z - r[2]) < 1e-3);
        if (!seen)
            trees.push_back({r[0], r[2], r[1]});
    }

    std::vector<ThinPlateSpline::Sample> samples;
    for (const Point& p : trees)
        samples.push_back({p.x, p.z, p.y});
    // The plateau: its centre and a ring at its edge, all at ground level.
    samples.push_back({castle.x, castle.z, castle.y});
    for (int k = 0; k < 6; ++k)
    {
        const double a = k * kPi / 3;
        samples.push_back(
            {castle.x + std::cos(a) * castle.radius, castle.z + std::sin(a) * castle.radius, castle.y});
    }
    // Shore just under the water, then the sea floor.
    const int ringPoints = 28;
    for (int k = 0; k < ringPoints; ++k)
    {
        const double a = 2 * kPi * k / ringPoints;
        const double r = coastRadius(a);
        samples.push_back({kCentreX + std::cos(a) * r, kCentreZ + std::sin(a) * r, kSeaLevel - 1.5});
        samples.push_back({kCentreX + std::cos(a) * (r + 34), kCentreZ + std::sin(a) * (r + 34), -6.0});
    }
    std::string error;
    if (!spline.Fit(samples, error))
    {
        std::fprintf(stderr, "landscape: island terrain: %s\n", error.c_str());
        std::exit(1);
    }
}

double IslandTerrain::TreeDistance(double x, double z) const
{
    double best = 1e30;
    for (const Point& p : trees)
        best = std::min(best, (p.x - x) * (p.x - x) + (p.z - z) * (p.z - z));
    return std::sqrt(best);
}

double IslandTerrain::Height(double x, double z) const
{
    double h = spline.Evaluate(x, z);

    // Hills and hollows between the trees; none under a tree or on the plateau.
    const float fx = static_cast<float>(x), fz = static_cast<float>(z);
    const double broad = (vqtools::fbm2(fx / 38.0f + 100.0f, fz / 38.0f + 100.0f, 5, 9001u) - 0.5) * 14.0;
    const double fine = (vqtools::fbm2(fx / 9.0f + 300.0f, fz / 9.0f + 300.0f, 3, 9002u) - 0.5) * 2.0;
    const double dc = std::hypot(x - castle.x, z - castle.z);
    const double mask =
        smoothstep(0.0, 14.0, TreeDistance(x, z)) * smoothstep(castle.radius, castle.radius + 14.0, dc);
    h += (broad + fine) * mask;

    // The plateau is flat.
    const double flat = 1.0 - smoothstep(castle.radius, castle.radius + 9.0, dc);
    h += (castle.y - h) * flat;

    // Far out the sea floor levels off instead of following the spline's trend.
    const double r = std::hypot(x - kCentreX, z - kCentreZ);
    h += (-8.0 - h) * smoothstep(130.0, 160.0, r);
    return h;
}

void IslandTerrain::Gradient(double x, double z, double& dx, double& dz) const
{
    const double e = 0.25;
    dx = (Height(x + e, z) - Height(x - e, z)) / (2 * e);
    dz = (Height(x, z + e) - Height(x, z - e)) / (2 * e);
}

void IslandTerrain::Normal(double x, double z, double n[3]) const
{
    double dx, dz;
    Gradient(x, z, dx, dz);
    const double len = std::sqrt(dx * dx + 1 + dz * dz);
    n[0] = -dx / len;
    n[1] = 1 / len;
    n[2] = -dz / len;
}
} // namespace landscape
