#include "CaveModel.h"

#include "DanceCamera.h"
#include "DanceMath.h"
#include "MeshBuilder.h"
#include "Noise.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace dance
{
namespace
{
using vqtools::Rgb;

// The vault: an ellipsoid around floor and camera, its lower half pressed flat into the ground.
const Vec3 kCentre{-6.5, -8.6, -25.0};
const Vec3 kRadii{29.0, 31.0, 29.0};

// Floor rectangle (x0, z0, x1, z1) with the margin the ground keeps flat around it.
constexpr double kFloorX0 = -23.0, kFloorX1 = 10.0, kFloorZ0 = -42.6, kFloorZ1 = -9.1;

double outsideFloor(double x, double z)
{
    const double dx = std::max({kFloorX0 - x, 0.0, x - kFloorX1});
    const double dz = std::max({kFloorZ0 - z, 0.0, z - kFloorZ1});
    return std::sqrt(dx * dx + dz * dz);
}

double groundAt(double x, double z)
{
    // Flat under the floor; rolling, up to about a unit high, from two units beyond its edge.
    const double away = Smoothstep(1.5, 6.0, outsideFloor(x, z));
    const double bumps = vqtools::fbm2(static_cast<float>(x * 0.12), static_cast<float>(z * 0.12), 3, 901);
    return kCaveGroundY + away * 1.2 * bumps;
}

Vec3 vaultPoint(double u, double v)
{
    // v: 0 at the top of the roof, 0.72 just below the foot of the wall, 1 under the floor's
    // middle. The wall gets most of the rings; the flat ground needs few.
    const double theta = v < 0.72 ? Radians(100.0) * (v / 0.72) : Radians(100.0 + 80.0 * (v - 0.72) / 0.28);
    const double phi = 2.0 * kPi * u;
    const Vec3 dir{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
    // Rock: broad bulges and ledges plus a rough surface; the same noise on both ends of the
    // seam (u = 0 and u = 1 give the same direction).
    const float fx = static_cast<float>(dir.x), fy = static_cast<float>(dir.y),
                fz = static_cast<float>(dir.z);
    const double broad = vqtools::fbm3(fx * 1.6f, fy * 1.6f, fz * 1.6f, 4, 311) - 0.5;
    const double ledges = std::fabs(vqtools::fbm3(fx * 4.0f, fy * 7.0f, fz * 4.0f, 3, 312) - 0.5);
    const double rough = vqtools::fbm3(fx * 11.0f, fy * 11.0f, fz * 11.0f, 2, 313) - 0.5;
    const double k = 1.0 + 0.3 * broad - 0.14 * ledges + 0.05 * rough;
    Vec3 p{kCentre.x + kRadii.x * dir.x * k, kCentre.y + kRadii.y * dir.y * k,
           kCentre.z + kRadii.z * dir.z * k};
    const double g = groundAt(p.x, p.z);
    if (p.y < g)
        p.y = g;
    return p;
}

// A rounded boulder resting on the ground, lumpy from its own noise.
void addBoulder(MeshBuilder& m, Vec3 at, Vec3 size, double yaw, std::uint32_t seed)
{
    const Mat4 xf = Mat4::Translate(at) * Mat4::RotY(yaw);
    m.AddGrid(
        [size, seed](double u, double v)
        {
            const double phi = 2.0 * kPi * u, theta = kPi * v;
            const Vec3 d{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
            const double k =
                0.8 + 0.4 * vqtools::fbm3(static_cast<float>(d.x * 1.8), static_cast<float>(d.y * 1.8),
                                          static_cast<float>(d.z * 1.8), 3, seed);
            // Flattened underneath so it sits rather than balances.
            return Vec3{d.x * size.x * k, std::max(d.y, -0.35) * size.y * k, d.z * size.z * k};
        },
        11, 7, xf, {0.0, 0.0, 2.0, 1.5});
}

// A stalactite hanging from the roof point above (x, z).
void addStalactite(MeshBuilder& m, double x, double z, double length, double radius)
{
    // Find the roof above (x, z): walk up the vault's column of directions.
    const Vec3 rel{x - kCentre.x, 0.0, z - kCentre.z};
    const double u = std::fmod(std::atan2(rel.z, rel.x) / (2.0 * kPi) + 1.0, 1.0);
    double top = kCentre.y + kRadii.y;
    double best = 1e9;
    for (int i = 1; i < 200; ++i)
    {
        const double v = 0.72 * i / 200.0;
        const Vec3 p = vaultPoint(u, v);
        const double d = std::hypot(p.x - x, p.z - z);
        if (d < best)
        {
            best = d;
            top = p.y;
        }
    }
    const Mat4 xf = Mat4::Translate({x, top + 1.0, z}) * Mat4::RotX(kPi);
    m.AddLathe({{length, 0.0}, {length * 0.6, radius * 0.35}, {length * 0.25, radius * 0.8}, {0.0, radius}},
               1.0, 1.0, xf, 8, 2, {0.0, 0.0, 1.0, 2.0});
}
// The planes of the fixed camera's view with a wide margin (35 degrees instead of 22.5), so
// rounding or a slightly different set-up never opens a hole.
std::vector<MeshBuilder::Plane> viewPlanes()
{
    const Vec3 eye = DanceCamera::kEye, f = DanceCamera::Forward(), s = DanceCamera::Side(),
               u = DanceCamera::Up();
    const double half = Radians(35.0);
    const double c = std::cos(half), sn = std::sin(half);
    std::vector<MeshBuilder::Plane> planes;
    // Inward normals of the four side planes, and a plane just behind the eye.
    for (const Vec3& side : {s, s * -1.0, u, u * -1.0})
    {
        const Vec3 n = f * sn + side * -c;
        planes.push_back({n, -Dot(n, eye)});
    }
    planes.push_back({f, -Dot(f, eye) + 0.5});
    return planes;
}
} // namespace

CaveAsset BuildCave()
{
    MeshBuilder m;
    m.AddGrid(vaultPoint, 52, 26, Mat4(), {0.0, 0.0, 9.0, 5.0}, true);

    // Boulders along the back and the right, where the camera sees past the floor's edges.
    struct Rock
    {
        Vec3 at, size;
        double yaw;
    };
    const Rock rocks[] = {
        {{14.5, kCaveGroundY, -40.0}, {4.2, 3.2, 3.6}, 0.4},
        {{15.5, kCaveGroundY, -31.0}, {3.0, 2.2, 3.2}, 1.1},
        {{13.0, kCaveGroundY, -47.0}, {3.8, 4.6, 3.4}, 2.0},
        {{3.0, kCaveGroundY, -48.5}, {5.0, 3.0, 3.0}, 0.2},
        {{-12.0, kCaveGroundY, -49.0}, {4.0, 3.6, 3.0}, 0.9},
        {{-26.5, kCaveGroundY, -44.0}, {4.5, 5.0, 4.0}, 1.7},
        {{-29.0, kCaveGroundY, -30.0}, {3.5, 3.0, 4.5}, 2.6},
        {{17.0, kCaveGroundY, -20.0}, {3.0, 2.4, 3.0}, 0.7},
    };
    std::uint32_t seed = 700;
    for (const Rock& r : rocks)
        addBoulder(m, r.at, r.size, r.yaw, seed++);

    // Stalactites over the back of the cave, in the top of the picture.
    const double stal[][4] = {{-14.0, -46.0, 6.0, 1.3}, {-6.0, -49.0, 4.5, 1.1},  {2.0, -47.0, 7.0, 1.5},
                              {9.0, -44.0, 5.0, 1.2},   {-20.0, -40.0, 5.5, 1.3}, {12.0, -36.0, 4.0, 1.0},
                              {-2.0, -44.0, 3.5, 0.9},  {-10.0, -42.0, 3.0, 0.8}};
    for (const auto& s : stal)
        addStalactite(m, s[0], s[1], s[2], s[3]);

    m.CullOutside(viewPlanes());

    CaveAsset out;
    out.model = m.Model();
    out.triangles = m.Triangles();
    return out;
}

namespace
{
// Tiling Voronoi cells: one feature point per lattice cell of a period x period grid, kept off the
// cell edges.
vqtools::CellularHit voronoi(float x, float y, int period, std::uint32_t seed)
{
    return vqtools::cellular2(x, y, seed, period, {0.1f, 0.8f, 1, 1u});
}
} // namespace

vqtools::Image BuildCaveTexture(int size)
{
    const float n = static_cast<float>(size);
    const std::size_t count = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
    std::vector<float> height(count);
    std::vector<Rgb> albedo(count);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            const float u = x / n, v = y / n;
            // Every noise tiles with the picture: its period equals its frequency in lattice units.
            const float wu = vqtools::fbm2(u * 3.0f, v * 3.0f, 3, 502, 3) - 0.5f;
            const float wv = vqtools::fbm2(u * 3.0f + 17.0f, v * 3.0f, 3, 505, 3) - 0.5f;
            // Broken rock: angular slabs (Voronoi cells, slightly warped) split by dark cracks,
            // each slab tilted its own way and shaded its own tone; smaller chips inside them.
            const vqtools::CellularHit big = voronoi(u * 6.0f + wu * 2.2f, v * 6.0f + wv * 2.2f, 6, 520);
            const vqtools::CellularHit chip = voronoi(u * 19.0f + wu, v * 19.0f + wv, 19, 530);
            const float slabTone = vqtools::hash2(big.cx, big.cy, 521);
            const float tiltX = vqtools::hash2(big.cx, big.cy, 522) - 0.5f,
                        tiltY = vqtools::hash2(big.cx, big.cy, 523) - 0.5f;
            // Only some slab borders open into cracks; elsewhere the slabs merge.
            const float open =
                static_cast<float>(Smoothstep(0.4, 0.6, vqtools::fbm2(u * 6.0f, v * 6.0f, 2, 524, 6)));
            const float crack =
                open * static_cast<float>(1.0 - Smoothstep(0.0, 0.06 + 0.05 * open, big.f2 - big.f1));
            const float chipEdge = static_cast<float>(1.0 - Smoothstep(0.0, 0.1, chip.f2 - chip.f1));
            const float tone = vqtools::fbm2(u * 4.0f, v * 4.0f, 5, 501, 4);
            const float strata = 0.5f + 0.5f * std::sin((v * 5.0f + wu * 1.5f) * 6.2831853f);
            const float grain = vqtools::valueNoise2(u * 160.0f, v * 160.0f, 504, 160);
            const float speck = vqtools::hash2(x, y, 509) > 0.985f ? 1.0f : 0.0f;

            const Rgb dark{0.25f, 0.23f, 0.22f}, light{0.64f, 0.6f, 0.55f}, ochre{0.62f, 0.45f, 0.28f};
            const float t = std::clamp(0.35f + 0.3f * slabTone + 0.9f * (tone - 0.5f), 0.0f, 1.0f);
            Rgb c{dark.r + (light.r - dark.r) * t, dark.g + (light.g - dark.g) * t,
                  dark.b + (light.b - dark.b) * t};
            const float o = 0.5f * strata * std::clamp(wv * 3.0f + 0.4f, 0.0f, 1.0f);
            c = {c.r + (ochre.r - c.r) * o, c.g + (ochre.g - c.g) * o, c.b + (ochre.b - c.b) * o};
            const float shade =
                (0.9f + 0.2f * grain) * (1.0f - 0.75f * crack) * (1.0f - 0.2f * chipEdge) + 0.25f * speck;
            const std::size_t i =
                static_cast<std::size_t>(y) * static_cast<std::size_t>(size) + static_cast<std::size_t>(x);
            albedo[i] = {c.r * shade, c.g * shade, c.b * shade};
            // Height: each slab a tilted plane bulging to its middle, chips on it, cracks cut in.
            const float dxp = u * 6.0f + wu * 2.2f - big.px, dyp = v * 6.0f + wv * 2.2f - big.py;
            const float lumps = vqtools::fbm2(u * 10.0f, v * 10.0f, 4, 525, 10);
            height[i] = 0.35f * (tiltX * dxp + tiltY * dyp) - 0.2f * big.f1 * big.f1 - 0.06f * chip.f1 +
                        0.25f * lumps + 0.04f * grain - 0.12f * crack;
        }

    // Relief baked in as light from the upper left, so the rock reads as rock whatever colour
    // the lights give it; rows and columns wrap.
    vqtools::Image img(size, size);
    auto h = [&](int x, int y)
    {
        return height[static_cast<std::size_t>((y + size) % size) * static_cast<std::size_t>(size) +
                      static_cast<std::size_t>((x + size) % size)];
    };
    const float relief = 0.35f * n / 6.0f; // height units are slab widths
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            const float dx = (h(x + 1, y) - h(x - 1, y)) * 0.5f * relief;
            const float dy = (h(x, y + 1) - h(x, y - 1)) * 0.5f * relief;
            const float lambert = std::clamp(0.85f + (-dx - dy) * 0.8f, 0.4f, 1.35f);
            const Rgb a = albedo[static_cast<std::size_t>(y) * static_cast<std::size_t>(size) +
                                 static_cast<std::size_t>(x)];
            img.set(x, y, {a.r * lambert, a.g * lambert, a.b * lambert});
        }
    return img;
}
} // namespace dance
