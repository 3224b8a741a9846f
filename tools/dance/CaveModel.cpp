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

// The cave is a hall around the floor that runs on, away from the camera, into a gallery: lower,
// narrower and stepping up in rock ledges as it goes, until it bends away to the left and out of
// sight. From the fixed camera the picture above the floor looks down that gallery, so the rock
// recedes from the hall's walls to a hundred units away instead of standing as one wall behind the
// dancer.
//
// Floor rectangle (x0, z0, x1, z1) and the margin every wall and boulder keeps from it: nothing of
// the cave may stand where it could hide a tile.
constexpr double kFloorX0 = -23.0, kFloorX1 = 10.2, kFloorZ0 = -42.6, kFloorZ1 = -9.3;
// The wall's profile is measured from this height, a little under the ground.
constexpr double kProfileBase = -9.0;

double outsideFloor(double x, double z)
{
    const double dx = std::max({kFloorX0 - x, 0.0, x - kFloorX1});
    const double dz = std::max({kFloorZ0 - z, 0.0, z - kFloorZ1});
    return std::sqrt(dx * dx + dz * dz);
}

// The gallery's cross-section at z: centre line, half width, and height of the roof above
// kProfileBase. Keys from the hall (camera side) to the dead end, joined by smooth steps.
struct Section
{
    double xc, halfWidth, height;
};

Section sectionAt(double z)
{
    struct Key
    {
        double z;
        Section s;
    };
    static const Key keys[] = {{14.0, {-6.4, 24.0, 31.0}},    {-40.0, {-6.4, 24.0, 31.0}},
                               {-62.0, {-7.5, 18.0, 21.5}},   {-86.0, {-9.5, 14.0, 17.5}},
                               {-110.0, {-13.0, 11.5, 14.5}}, {-128.0, {-22.0, 9.0, 11.0}},
                               {-140.0, {-32.0, 6.0, 8.0}},   {-147.0, {-36.0, 0.4, 0.6}}};
    const int n = static_cast<int>(sizeof keys / sizeof keys[0]);
    if (z >= keys[0].z)
        return keys[0].s;
    for (int i = 0; i + 1 < n; ++i)
        if (z >= keys[i + 1].z)
        {
            const double t = Smoothstep(keys[i].z, keys[i + 1].z, z);
            const Section& a = keys[i].s;
            const Section& b = keys[i + 1].s;
            return {a.xc + (b.xc - a.xc) * t, a.halfWidth + (b.halfWidth - a.halfWidth) * t,
                    a.height + (b.height - a.height) * t};
        }
    return keys[n - 1].s;
}

// Where the gallery runs: z of the rows, dense where the camera sees the rock close, sparse in the
// hall (mostly out of view or under the floor) and far away.
double rowZ(double v)
{
    static const double knots[][2] = {{0.0, 14.0}, {0.1, -8.0}, {0.27, -42.0}, {0.72, -104.0}, {1.0, -147.0}};
    for (int i = 0; i < 4; ++i)
        if (v <= knots[i + 1][0])
        {
            const double t = (v - knots[i][0]) / (knots[i + 1][0] - knots[i][0]);
            return knots[i][1] + (knots[i + 1][1] - knots[i][1]) * t;
        }
    return knots[4][1];
}

// The ground: flat just under the floor, then rising in ledges towards the back, each ledge's
// edge wandering across the gallery; bumps everywhere off the floor.
double groundAt(double x, double z)
{
    const double away = Smoothstep(1.5, 6.0, outsideFloor(x, z));
    const double bumps =
        vqtools::fbm2(static_cast<float>(x * 0.15), static_cast<float>(z * 0.15), 3, 901) - 0.5;
    double ledges = 0.0;
    const double edges[][2] = {{-52.0, 1.4}, {-66.0, 1.8}, {-83.0, 1.6}, {-101.0, 1.5}, {-118.0, 1.2}};
    for (int k = 0; k < 5; ++k)
    {
        const double wander =
            5.0 * (vqtools::fbm2(static_cast<float>(x * 0.08), static_cast<float>(k), 2, 910) - 0.5);
        ledges += edges[k][1] * Smoothstep(edges[k][0] + 1.2 + wander, edges[k][0] - 1.2 + wander, z);
    }
    return kCaveGroundY + away * (1.6 * bumps) + ledges;
}

// Ribs of rock across the gallery: each narrows it for a few units, some all the way round as an
// arch, some only from the roof (a curtain) or from one wall (a buttress). theta runs from the
// right foot (0) over the roof (pi / 2) to the left foot (pi).
double ribsAt(double z, double theta)
{
    struct Rib
    {
        double z, depth, width, from, to; // theta range it covers
    };
    static const Rib ribs[] = {{-55.0, 0.16, 2.6, -0.3, 1.3}, {-70.0, 0.2, 3.0, -0.3, 3.5},
                               {-80.0, 0.14, 2.2, 1.6, 3.5},  {-93.0, 0.22, 3.2, -0.3, 3.5},
                               {-106.0, 0.16, 2.4, 0.5, 2.8}, {-117.0, 0.24, 3.0, -0.3, 3.5}};
    double k = 0.0;
    for (const Rib& r : ribs)
    {
        const double across = Smoothstep(r.from - 0.25, r.from + 0.25, theta) *
                              (1.0 - Smoothstep(r.to - 0.25, r.to + 0.25, theta));
        const double along = std::exp(-std::pow((z - r.z) / r.width, 2.0));
        k += r.depth * across * along;
    }
    return k;
}

// The wall and roof: a rounded-box arch over each section, its feet below the ground, the rock
// bulging in and out around it.
Vec3 shellPoint(double u, double v)
{
    const double z = rowZ(v);
    const Section s = sectionAt(z);
    const double theta = Radians(-14.0) + u * Radians(208.0);
    const double c = std::cos(theta), sn = std::sin(theta);
    const double e = 2.0 / 2.6; // superellipse: boxier than a circle
    const double cx = (c < 0 ? -1.0 : 1.0) * std::pow(std::fabs(c), e);
    const double sy = (sn < 0 ? -1.0 : 1.0) * std::pow(std::fabs(sn), e);
    const Vec3 raw{s.xc + s.halfWidth * cx, kProfileBase + s.height * sy, z};
    const float fx = static_cast<float>(raw.x), fy = static_cast<float>(raw.y),
                fz = static_cast<float>(raw.z);
    const double broad = vqtools::fbm3(fx * 0.07f, fy * 0.07f, fz * 0.07f, 4, 311) - 0.5;
    const double ledges = std::fabs(vqtools::fbm3(fx * 0.16f, fy * 0.3f, fz * 0.16f, 3, 312) - 0.5);
    const double rough = vqtools::fbm3(fx * 0.5f, fy * 0.5f, fz * 0.5f, 2, 313) - 0.5;
    const double k = 1.0 + 0.2 * broad - 0.1 * ledges + 0.035 * rough - ribsAt(z, theta);
    return {s.xc + s.halfWidth * cx * k, kProfileBase + s.height * sy * k, z};
}

Vec3 groundPoint(double u, double v)
{
    const double z = rowZ(v);
    const Section s = sectionAt(z);
    const double x = s.xc + s.halfWidth * 1.04 * (1.0 - 2.0 * u);
    return {x, groundAt(x, z), z};
}

// The roof's height above (x, z), without the rock's bulges.
double roofAt(double x, double z)
{
    const Section s = sectionAt(z);
    const double a = std::min(1.0, std::fabs(x - s.xc) / s.halfWidth);
    return kProfileBase + s.height * std::pow(1.0 - std::pow(a, 2.6), 1.0 / 2.6);
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
        12, 6, xf, {0.0, 0.0, 3.0, 2.0});
}

// Dripstone grown along the frame's +y from a buried base of radius r to a blunt tip `length`
// above it: a lumpy, slightly leaning cone, its outline rippled by its own noise.
void addDripstone(MeshBuilder& m, const Mat4& xf, double length, double radius, std::uint32_t seed)
{
    const double lean = 0.25 * length * (vqtools::hash2(static_cast<int>(seed), 1, 77) - 0.5);
    m.AddGrid(
        [length, radius, seed, lean](double u, double v)
        {
            const double phi = 2.0 * kPi * u;
            // v: 0 at the tip, 1 at the base; the tip is rounded off, the base spreads.
            const double taper = std::sqrt(std::max(0.0, v * (2.0 - v))) * (0.55 + 0.45 * v * v);
            const double lumps = 0.75 + 0.5 * vqtools::fbm2(static_cast<float>(u * 5.0),
                                                            static_cast<float>(v * 2.5), 3, seed, 5);
            const double r = radius * taper * lumps;
            const double h = length * (1.0 - v);
            return Vec3{r * std::cos(phi) + lean * (1.0 - v) * (1.0 - v), h, r * std::sin(phi)};
        },
        8, 5, xf, {0.0, 0.0, 2.0, 1.0});
}

// A column where a stalactite and a stalagmite have met: thick at both ends, waisted between.
void addColumn(MeshBuilder& m, double x, double z, double radius, std::uint32_t seed)
{
    const double y0 = groundAt(x, z) - 1.0, y1 = roofAt(x, z) + 1.5;
    m.AddGrid(
        [=](double u, double v)
        {
            const double phi = 2.0 * kPi * u;
            const double y = y0 + (y1 - y0) * v;
            const double waist = 1.0 - 0.55 * std::exp(-std::pow((v - 0.55) / 0.22, 2.0));
            const double flare = 1.0 + 1.2 * std::exp(-v / 0.08) + 0.9 * std::exp(-(1.0 - v) / 0.1);
            const double lumps = 0.8 + 0.4 * vqtools::fbm2(static_cast<float>(u * 7.0),
                                                           static_cast<float>(v * 5.0), 3, seed, 7);
            const double r = radius * waist * flare * lumps;
            return Vec3{x + r * std::cos(phi), y, z + r * std::sin(phi)};
        },
        12, 14, Mat4(), {0.0, 0.0, 3.0, 2.0}, true);
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
    // Arch and ground meet below the ground's surface, so no seam opens between them.
    m.AddGrid(shellPoint, 30, 72, Mat4(), {0.0, 0.0, 15.0, 36.0});
    m.AddGrid(groundPoint, 20, 72, Mat4(), {0.0, 0.0, 10.0, 36.0}, true);

    // Boulders along the floor's right edge, where the camera sees past it, and at the feet of the
    // gallery's walls.
    struct Rock
    {
        Vec3 at, size;
        double yaw;
    };
    const Rock rocks[] = {
        {{15.0, kCaveGroundY, -40.0}, {3.6, 3.0, 3.4}, 0.4},
        {{14.5, kCaveGroundY, -29.0}, {2.8, 2.0, 3.0}, 1.1},
        {{16.0, kCaveGroundY, -19.0}, {3.0, 2.4, 3.0}, 0.7},
        {{9.0, -7.0, -52.0}, {3.4, 2.6, 3.0}, 2.0},
        {{-21.0, -6.0, -62.0}, {3.8, 3.2, 3.2}, 0.2},
        {{0.5, -5.5, -76.0}, {2.4, 1.6, 2.2}, 0.9},
        {{-19.0, -3.8, -96.0}, {2.6, 2.0, 2.4}, 1.7},
        {{-4.0, -2.4, -112.0}, {2.0, 1.5, 1.8}, 2.6},
    };
    std::uint32_t seed = 700;
    for (const Rock& r : rocks)
        addBoulder(m, {r.at.x, groundAt(r.at.x, r.at.z) - 0.3, r.at.z}, r.size, r.yaw, seed++);

    // Columns standing at different depths down the gallery: each one farther and smaller than the
    // one before, they measure out its length.
    const double columns[][3] = {
        {-25.0, -50.0, 2.6}, {9.5, -60.0, 2.2}, {-18.0, -82.0, 1.9}, {0.5, -97.0, 1.5}};
    for (const auto& c : columns)
        addColumn(m, c[0], c[1], c[2], seed++);

    // Stalagmites on the ledges and stalactites under the roof, scattered over the gallery.
    vqtools::Rng rng(0x68756c65);
    for (int i = 0; i < 12; ++i)
    {
        // Mostly towards the walls, where the drips fall from the roof's slope.
        const double z = rng.range(-48.0, -122.0);
        const Section s = sectionAt(z);
        const double side = rng.uniform() < 0.5 ? -1.0 : 1.0;
        const double x = s.xc + side * s.halfWidth * rng.range(0.35, 0.85);
        const double length = rng.range(1.5, 4.5) * std::min(1.0, s.height / 18.0);
        const double radius = length * rng.range(0.35, 0.5);
        const double yaw = rng.range(0.0, 2.0 * kPi);
        addDripstone(m, Mat4::Translate({x, groundAt(x, z) - 0.3, z}) * Mat4::RotY(yaw), length, radius,
                     seed++);
    }
    for (int i = 0; i < 22; ++i)
    {
        const double z = rng.range(-44.0, -122.0);
        const Section s = sectionAt(z);
        const double x = s.xc + s.halfWidth * rng.range(-0.75, 0.75);
        const double top = roofAt(x, z) + 0.8;
        // Long enough to show under the top of the picture, never down to the dancer's head.
        const double length = std::min(top - 1.5, rng.range(2.5, 9.0));
        if (length < 1.5)
            continue;
        const double radius = length * rng.range(0.16, 0.24);
        addDripstone(m,
                     Mat4::Translate({x, top, z}) * Mat4::RotX(kPi) * Mat4::RotY(rng.range(0.0, 2.0 * kPi)),
                     length, radius, seed++);
    }

    m.CullOutside(viewPlanes());
    // Ground under the floor never shows: the floor covers it.
    m.CullInside(kFloorX0 + 0.5, kFloorZ0 + 0.5, kFloorX1 - 0.5, kFloorZ1 - 0.5, kCaveGroundY + 0.2);

    // The ambient light is the same everywhere, so between the tiles' flashes only the rock's own
    // shade tells near from far: the hall's rock wears the brightest tile of the atlas, the
    // gallery darker ones the further it runs from the floor.
    const Vec3 floorCentre{-6.4, -8.0, -26.0};
    m.BakeAtlas(kAtlasTiles,
                [&floorCentre](Vec3 centre, Vec3)
                {
                    const double shade = Clamp(1.0 - (Length(centre - floorCentre) - 30.0) / 90.0, 0.25, 1.0);
                    const int last = kAtlasTiles * kAtlasTiles - 1;
                    return static_cast<int>(std::lround((1.0 - shade) / 0.75 * last));
                });

    CaveAsset out;
    out.model = m.Model();
    out.triangles = m.Triangles();
    // The floor's light reaches the rock near it and fades down the gallery. The piece never
    // renormalises a model's normals, so their length is how much of the tiles' light a vertex
    // takes (the ambient light is the same everywhere): the far rock stays dark when the tiles
    // flash, and the flashes show how deep the cave goes.
    const Vec3 lights{2.5, -8.0, 2.5};
    for (hlf::KhlfVertex& v : out.model.vertices)
    {
        const double d = Length(Vec3{v.pos.x, v.pos.y, v.pos.z} - lights);
        v.normal = v.normal * static_cast<float>(Clamp(1.3 - d / 100.0, 0.25, 1.0));
    }
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

namespace
{
// The rock, tiling seamlessly in both directions.
vqtools::Image rockTile(int size)
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
} // namespace

vqtools::Image BuildCaveTexture(int size)
{
    // kAtlasTiles x kAtlasTiles copies of one rock tile, each darker than the one before: the
    // cave's faces pick theirs by how much light reaches them.
    const int tile = size / kAtlasTiles;
    const vqtools::Image rock = rockTile(tile);
    vqtools::Image atlas(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            // The bitmap is stored bottom row first, so texture row 0 is the picture's last row.
            const int row = (size - 1 - y) / tile, col = x / tile;
            const float k = static_cast<float>(AtlasBrightness(row * kAtlasTiles + col));
            const Rgb c = rock.get(x % tile, y % tile);
            atlas.set(x, y, {c.r * k, c.g * k, c.b * k});
        }
    return atlas;
}

double AtlasBrightness(int tile)
{
    const int last = kAtlasTiles * kAtlasTiles - 1;
    return 1.0 - 0.75 * std::clamp(tile, 0, last) / last;
}
} // namespace dance
