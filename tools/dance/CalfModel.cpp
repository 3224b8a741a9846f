#include "CalfModel.h"

#include "Canvas.h"
#include "MeshBuilder.h"
#include "Noise.h"

#include <algorithm>
#include <cmath>

namespace dance
{
namespace
{
using vqtools::Rgb;

constexpr int kTexSize = 256;
// The pattern region's width in texels; the solid cells fill the rest.
constexpr int kPatternWidth = 192;

enum class Pattern
{
    Fur,
    Shirt,
    ShirtNeck, // the shirt with the fur showing through an open V at the front
    Trousers,
    Glove,
    Shoe
};

struct Look
{
    Pattern pattern;
    Rgb cells[4];
};

const Rgb kFur{0.72f, 0.46f, 0.25f};
const Rgb kFurDark{0.38f, 0.22f, 0.12f};
const Rgb kWhite{0.96f, 0.95f, 0.92f};
const Rgb kBlack{0.06f, 0.05f, 0.07f};
const Rgb kPink{0.95f, 0.68f, 0.64f};
const Rgb kNostril{0.30f, 0.12f, 0.12f};
const Rgb kIvory{0.93f, 0.88f, 0.72f};
const Rgb kTeal{0.12f, 0.68f, 0.74f};
const Rgb kGold{0.98f, 0.78f, 0.28f};
const Rgb kShoe{0.62f, 0.08f, 0.12f};

using vqtools::mix;
using vqtools::scale;

// Texture coordinates of the pattern region (kept off its edges, so filtering stays inside).
UvRect patternUv() { return {1.0 / kTexSize, 0.0, (kPatternWidth - 1.0) / kTexSize, 1.0}; }
UvRect cellUv(int c)
{
    const double u0 = static_cast<double>(kPatternWidth) / kTexSize;
    return UvRect::Cell(u0, 0.25 * c, 1.0, 0.25 * (c + 1));
}

// Calf fur: warm brown with white patches and fine hair streaks; tiles across the region.
Rgb furAt(float u, float v, std::uint32_t seed)
{
    const float patch = vqtools::fbm2(u * 4.0f, v * 3.0f, 4, seed, 4);
    const float hair = vqtools::valueNoise2(u * 96.0f, v * 12.0f, seed + 7, 96);
    const float shade = 0.85f + 0.3f * vqtools::fbm2(u * 12.0f, v * 10.0f, 3, seed + 3, 12);
    Rgb c = scale(kFur, shade * (0.88f + 0.24f * hair));
    const float white = std::clamp((patch - 0.56f) * 12.0f, 0.0f, 1.0f);
    return mix(c, scale(kWhite, 0.92f + 0.08f * hair), white);
}

Rgb patternAt(Pattern p, float u, float v, std::uint32_t seed)
{
    const float grain = vqtools::valueNoise2(u * 128.0f, v * 128.0f, seed + 11, 128);
    switch (p)
    {
    case Pattern::Fur:
        return furAt(u, v, seed);
    case Pattern::Shirt:
    case Pattern::ShirtNeck:
    {
        if (p == Pattern::ShirtNeck)
        {
            // The front of the lathe is at u = 0.25; the V narrows down the chest.
            const float open = 0.11f * (1.0f - v / 0.5f);
            if (v < 0.1f || (v < 0.5f && std::fabs(u - 0.25f) < open))
                return furAt(u, v, seed);
            if (v < 0.5f && std::fabs(u - 0.25f) < open + 0.025f)
                return kWhite; // the collar's edge
        }
        // Satin with a faint diagonal weave and a wide soft sheen.
        const float weave = 0.5f + 0.5f * std::sin((u * 40.0f + v * 40.0f) * 6.2831853f);
        const float sheen = 0.9f + 0.2f * vqtools::fbm2(u * 3.0f, v * 2.0f, 3, seed + 5, 3);
        return scale(kTeal, sheen * (0.92f + 0.08f * weave) * (0.96f + 0.08f * grain));
    }
    case Pattern::Trousers:
    {
        const float seam = std::fabs(std::fmod(u * 2.0f + 1.0f, 1.0f) - 0.5f) < 0.012f ? 0.85f : 1.0f;
        return scale(kWhite, seam * (0.93f + 0.07f * grain));
    }
    case Pattern::Glove:
        return scale(kWhite, 0.95f + 0.05f * grain);
    case Pattern::Shoe:
    {
        const float shine = std::exp(-std::pow((v - 0.35f) * 9.0f, 2.0f));
        return mix(scale(kShoe, 0.9f + 0.1f * grain), Rgb{1.0f, 0.8f, 0.8f}, 0.45f * shine);
    }
    }
    return kWhite;
}

vqtools::Image paintTexture(const Look& look, std::uint32_t seed)
{
    vqtools::Image img(kTexSize, kTexSize);
    for (int y = 0; y < kTexSize; ++y)
        for (int x = 0; x < kTexSize; ++x)
        {
            Rgb c;
            if (x < kPatternWidth)
                c = patternAt(look.pattern, static_cast<float>(x) / kPatternWidth,
                              static_cast<float>(y) / kTexSize, seed);
            else
            {
                const float n = vqtools::valueNoise2(x * 0.25f, y * 0.25f, seed + 13);
                c = scale(look.cells[y * 4 / kTexSize], 0.96f + 0.06f * n);
            }
            img.set(x, y, c);
        }
    return img;
}

// Cells used by the parts below.
enum Cell
{
    C0,
    C1,
    C2,
    C3
};

void buildHead(MeshBuilder& m)
{
    const Mat4 id;
    // Neck, skull and muzzle; the muzzle sits low and forward like a calf's.
    m.AddLathe({{0.7, 0.36}, {-0.35, 0.36}}, 1.0, 1.0, id, 10, 1, patternUv());
    m.AddEllipsoid({0.0, 1.0, 0.0}, {0.78, 0.82, 0.82}, id, 18, 11, patternUv());
    m.AddEllipsoid({0.0, 0.6, 0.7}, {0.6, 0.46, 0.56}, id, 12, 8, cellUv(C2));
    for (double s : {-1.0, 1.0})
    {
        m.AddEllipsoid({0.22 * s, 0.66, 1.22}, {0.1, 0.07, 0.05}, id, 6, 4, cellUv(C3));
        // Eyes: white balls with black pupils looking straight ahead.
        m.AddEllipsoid({0.33 * s, 1.22, 0.66}, {0.22, 0.22, 0.22}, id, 10, 6, cellUv(C0));
        m.AddEllipsoid({0.31 * s, 1.2, 0.86}, {0.12, 0.14, 0.07}, id, 6, 4, cellUv(C1));
        // Floppy ears, drooping outwards.
        const Mat4 ear = Mat4::Translate({1.0 * s, 1.12, -0.05}) * Mat4::RotZ(Radians(-22.0 * s));
        m.AddEllipsoid({0, 0, 0}, {0.5, 0.14, 0.27}, ear, 10, 5, patternUv());
        // Horn buds, tilted out.
        const Mat4 horn = Mat4::Translate({0.36 * s, 1.66, -0.08}) * Mat4::RotZ(Radians(-28.0 * s));
        m.AddCone(0.13, 0.4, horn, 6, cellUv(C0));
    }
    // A tuft of darker hair between the horns; the smile under the snout.
    m.AddEllipsoid({0.0, 1.8, 0.22}, {0.26, 0.13, 0.3}, Mat4::RotX(Radians(-15.0)), 8, 4, cellUv(C3));
    m.AddEllipsoid({0.0, 0.3, 1.08}, {0.28, 0.035, 0.08}, id, 8, 3, cellUv(C3));
}

void buildTorso(MeshBuilder& m)
{
    m.AddLathe({{2.5, 0.0},
                {2.45, 0.4},
                {2.28, 0.78},
                {2.05, 1.12},
                {1.6, 1.2},
                {0.9, 1.05},
                {0.3, 0.9},
                {-0.1, 0.86},
                {-0.25, 0.6},
                {-0.3, 0.0}},
               1.0, 0.72, Mat4(), 18, 1, patternUv());
    // A gold medallion on the open chest.
    m.AddEllipsoid({0.0, 1.38, 0.82}, {0.2, 0.2, 0.06}, Mat4::RotX(Radians(-12.0)), 8, 4, cellUv(C0));
    // A chain around the neck: small beads.
    for (int i = -3; i <= 3; ++i)
    {
        const double a = Radians(90.0 + 16.0 * i);
        m.AddEllipsoid(
            {0.62 * std::cos(a), 2.02 - 0.07 * std::abs(i) - 0.05 * (3 - std::abs(i)), 0.62 * std::sin(a)},
            {0.06, 0.06, 0.06}, Mat4(), 4, 2, cellUv(C0));
    }
}

void buildPelvis(MeshBuilder& m)
{
    m.AddEllipsoid({0.0, 0.0, 0.0}, {1.0, 0.6, 0.72}, Mat4(), 16, 8, patternUv());
    m.AddEllipsoid({0.0, 0.32, 0.0}, {0.98, 0.17, 0.71}, Mat4(), 16, 4, cellUv(C1));
    m.AddEllipsoid({0.0, 0.32, 0.7}, {0.22, 0.14, 0.06}, Mat4(), 6, 4, cellUv(C0));
}

void buildUpperArm(MeshBuilder& m)
{
    // A puffed satin sleeve from the shoulder ball down to the elbow.
    m.AddLathe({{0.38, 0.0}, {0.28, 0.3}, {0.0, 0.36}, {-0.8, 0.3}, {-1.4, 0.32}, {-1.58, 0.0}}, 1.0, 1.0,
               Mat4(), 12, 1, patternUv());
}

void buildLowerArm(MeshBuilder& m)
{
    // Furry forearm under a rolled-up cuff.
    m.AddLathe({{0.2, 0.0}, {0.08, 0.28}, {-0.6, 0.26}, {-1.2, 0.21}, {-1.32, 0.0}}, 1.0, 1.0, Mat4(), 10, 1,
               patternUv());
    m.AddEllipsoid({0.0, -0.05, 0.0}, {0.36, 0.14, 0.36}, Mat4(), 10, 4, cellUv(C0));
}

void buildHand(MeshBuilder& m)
{
    // A cartoon glove: flared cuff, rounded fist, thumb on the front.
    m.AddLathe({{0.1, 0.0}, {0.1, 0.3}, {-0.15, 0.24}, {-0.2, 0.0}}, 1.0, 1.0, Mat4(), 10, 1, patternUv());
    m.AddEllipsoid({0.0, -0.42, 0.0}, {0.27, 0.32, 0.22}, Mat4(), 10, 6, patternUv());
    m.AddEllipsoid({0.0, -0.66, 0.06}, {0.28, 0.16, 0.22}, Mat4(), 8, 5, patternUv());
    m.AddEllipsoid({0.0, -0.36, 0.2}, {0.09, 0.18, 0.09}, Mat4::RotX(Radians(-25.0)), 6, 4, patternUv());
}

void buildThigh(MeshBuilder& m)
{
    m.AddLathe({{0.35, 0.0}, {0.22, 0.44}, {-0.2, 0.52}, {-1.0, 0.46}, {-1.85, 0.38}, {-2.02, 0.0}}, 1.0, 1.0,
               Mat4(), 12, 1, patternUv());
}

void buildShin(MeshBuilder& m)
{
    // Bell-bottoms: narrow at the knee, flaring wide over the shoe.
    m.AddLathe(
        {{0.25, 0.0}, {0.15, 0.37}, {-0.3, 0.4}, {-1.0, 0.43}, {-1.55, 0.6}, {-1.92, 0.72}, {-1.93, 0.0}},
        1.0, 1.0, Mat4(), 12, 1, patternUv());
}

void buildFoot(MeshBuilder& m)
{
    // A platform shoe: glossy upper on a thick golden sole.
    m.AddEllipsoid({0.0, -0.28, 0.3}, {0.4, 0.27, 0.72}, Mat4(), 12, 6, patternUv());
    m.AddEllipsoid({0.0, -0.5, 0.3}, {0.44, 0.1, 0.78}, Mat4(), 12, 4, cellUv(C0));
}

Look lookOf(Part p)
{
    switch (p)
    {
    case Head:
        return {Pattern::Fur, {kWhite, kBlack, kPink, kFurDark}};
    case Torso:
        return {Pattern::ShirtNeck, {kGold, kBlack, kWhite, kFurDark}};
    case Pelvis:
        return {Pattern::Trousers, {kGold, kBlack, kWhite, kWhite}};
    case UpperArmL:
    case UpperArmR:
        return {Pattern::Shirt, {kWhite, kWhite, kWhite, kWhite}};
    case LowerArmL:
    case LowerArmR:
        return {Pattern::Fur, {kTeal, kTeal, kTeal, kTeal}};
    case HandL:
    case HandR:
        return {Pattern::Glove, {kWhite, kWhite, kWhite, kWhite}};
    case ThighL:
    case ThighR:
    case ShinL:
    case ShinR:
        return {Pattern::Trousers, {kWhite, kWhite, kWhite, kWhite}};
    case FootL:
    case FootR:
        return {Pattern::Shoe, {kGold, kGold, kGold, kGold}};
    default:
        return {Pattern::Fur, {kWhite, kWhite, kWhite, kWhite}};
    }
}
} // namespace

PartAsset BuildCalfPart(Part part)
{
    MeshBuilder m;
    switch (part)
    {
    case Head:
        buildHead(m);
        break;
    case Torso:
        buildTorso(m);
        break;
    case Pelvis:
        buildPelvis(m);
        break;
    case UpperArmL:
    case UpperArmR:
        buildUpperArm(m);
        break;
    case LowerArmL:
    case LowerArmR:
        buildLowerArm(m);
        break;
    case HandL:
    case HandR:
        buildHand(m);
        break;
    case ThighL:
    case ThighR:
        buildThigh(m);
        break;
    case ShinL:
    case ShinR:
        buildShin(m);
        break;
    case FootL:
    case FootR:
        buildFoot(m);
        break;
    default:
        break;
    }
    PartAsset out;
    out.model = m.Model();
    // Built in body units, written at his size in the world; a uniform scale keeps the normals.
    for (hlf::KhlfVertex& v : out.model.vertices)
        v.pos = v.pos * static_cast<float>(Rig::kScale);
    out.triangles = m.Triangles();
    // One seed per look, so both sides of the body wear the same cloth.
    out.texture = paintTexture(lookOf(part), 0x4b616c76u + static_cast<std::uint32_t>(lookOf(part).pattern));
    return out;
}
} // namespace dance
