#include "LandscapeTextures.h"

#include "Canvas.h"
#include "Noise.h"
#include "Shaping.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace landscape
{
namespace
{
using vqtools::fbm2;
using vqtools::hash2;
using vqtools::Image;
using vqtools::mix;
using vqtools::Rgb;
using vqtools::scale;

constexpr double kPi = 3.14159265358979323846;

using vqtools::smoothstep;
int wrap(int i, int n) { return ((i % n) + n) % n; }

// Cellular noise that also tells which cell won: the nearest and second-nearest feature point
// distances, the nearest point's cell (wrapping with `period` cells) and the offset from that
// point to the sample.
struct Cell
{
    float f1 = 10, f2 = 10;
    int cx = 0, cy = 0;
    float dx = 0, dy = 0;
};
Cell cellular(float x, float y, int period, std::uint32_t seed)
{
    const vqtools::CellularHit hit = vqtools::cellular2(x, y, seed, period, {0.1f, 0.8f, 2, 7u});
    return {hit.f1, hit.f2, hit.cx, hit.cy, x - hit.px, y - hit.py};
}
} // namespace

Image MakeRockTexture(int size)
{
    Image img(size, size);
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i)
        {
            const float u = static_cast<float>(i) / size, v = static_cast<float>(j) / size;
            const float base = fbm2(u * 4, v * 4, 7, 11u, 4);
            const float detail = fbm2(u * 32, v * 32, 3, 12u, 32);
            // Bedding planes, bent by the rock's folds.
            const float bed = std::fmod(v * 6 + (base - 0.5f) * 2.4f + 6.0f, 1.0f);
            const float strata =
                0.9f + 0.1f * std::sin(bed * 6.2831853f) - 0.18f * smoothstep(0.9f, 0.97f, bed);
            // Fissures along the edges of warped cells, only in parts of the rock.
            const float wx = (fbm2(u * 5, v * 5, 4, 16u, 5) - 0.5f) * 1.4f;
            const float wy = (fbm2(u * 5 + 17, v * 5 + 31, 4, 17u, 5) - 0.5f) * 1.4f;
            const Cell cell = cellular(u * 5 + wx, v * 5 + wy, 5, 13u);
            const float crack = (1.0f - smoothstep(0.0f, 0.045f, cell.f2 - cell.f1)) *
                                smoothstep(0.40f, 0.58f, fbm2(u * 3, v * 3, 3, 18u, 3));

            float light = 0.5f + (base - 0.5f) * 1.4f + (detail - 0.5f) * 0.45f;
            light = std::clamp(light, 0.0f, 1.0f);
            Rgb col = mix({0.36f, 0.35f, 0.33f}, {0.70f, 0.68f, 0.64f}, light);
            col = mix(col, {0.55f, 0.47f, 0.38f},
                      0.3f * smoothstep(0.55f, 0.75f, fbm2(u * 3, v * 3, 4, 14u, 3)));
            col = scale(col, strata * (1.0f - 0.45f * crack));
            const float lichen = smoothstep(0.64f, 0.72f, fbm2(u * 12, v * 12, 4, 15u, 12)) * (1 - crack);
            col = mix(col, {0.60f, 0.62f, 0.40f}, 0.35f * lichen);
            img.set(i, j, col);
        }
    return img;
}

Image MakeShrubTexture(int size)
{
    Image img(size, size);
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i)
        {
            const float u = static_cast<float>(i) / size, v = static_cast<float>(j) / size;
            const float base = fbm2(u * 5, v * 5, 5, 21u, 5);
            const Cell clump = cellular(u * 18, v * 18, 18, 22u);
            const float blade = fbm2(u * 96, v * 96, 2, 23u, 96);
            const float dry = smoothstep(0.58f, 0.72f, fbm2(u * 3, v * 3, 4, 24u, 3));

            Rgb col =
                mix({0.13f, 0.23f, 0.07f}, {0.32f, 0.45f, 0.14f}, std::clamp(base * 1.4f - 0.2f, 0.0f, 1.0f));
            col = mix(col, {0.50f, 0.50f, 0.22f}, 0.55f * dry);
            // Each clump is a small bush: bright on top, dark in the gaps between.
            const float bush = 1.0f - smoothstep(0.15f, 0.65f, clump.f1);
            col = scale(col, 0.62f + 0.55f * bush + (blade - 0.5f) * 0.5f);
            // A few flowers.
            const float fleck = hash2(i, j, 25u);
            if (fleck > 0.9975f && bush > 0.5f)
                col = (hash2(i, j, 26u) > 0.5f) ? Rgb{0.92f, 0.90f, 0.75f} : Rgb{0.85f, 0.75f, 0.30f};
            img.set(i, j, col);
        }
    return img;
}

Image MakeGravelTexture(int size)
{
    Image img(size, size);
    const float lx = -0.6f, ly = -0.8f; // light from the upper left of the picture
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i)
        {
            const float u = static_cast<float>(i) / size, v = static_cast<float>(j) / size;
            const float sand = fbm2(u * 48, v * 48, 3, 31u, 48);
            const Cell c = cellular(u * 22, v * 22, 22, 32u);
            const float h1 = hash2(c.cx, c.cy, 33u), h2 = hash2(c.cx, c.cy, 34u);
            // Pebble size varies from cell to cell; the gaps between them are sand.
            const float radius = 0.34f + 0.16f * h2;
            const float r = c.f1 / radius;
            Rgb sandCol = scale({0.63f, 0.58f, 0.48f}, 0.80f + 0.35f * sand);
            if (r < 1.0f && c.f2 - c.f1 > 0.05f)
            {
                const float dome = std::sqrt(1.0f - r * r);
                const float facing = -(c.dx * lx + c.dy * ly) / radius; // -1..1, lit side positive
                Rgb stone = mix({0.42f, 0.41f, 0.40f}, {0.78f, 0.74f, 0.66f}, h1);
                if (h2 > 0.85f)
                    stone = {0.55f, 0.45f, 0.38f};
                const float shade = 0.55f + 0.35f * dome + 0.25f * facing;
                const float edge = smoothstep(0.85f, 1.0f, r);
                img.set(i, j, mix(scale(stone, shade), scale(sandCol, 0.7f), edge));
            }
            else
            {
                // Sand in the shadow of the nearest pebble.
                const float shadow = 1.0f - 0.3f * smoothstep(1.6f, 1.0f, r);
                img.set(i, j, scale(sandCol, shadow));
            }
        }
    return img;
}

Image MakeBarkTexture(int size)
{
    Image img(size, size);
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i)
        {
            const float u = static_cast<float>(i) / size;
            // The picture repeats every half height (one branch segment shows half of it).
            const float v = std::fmod(2.0f * j / size, 1.0f);
            const float warp = (fbm2(u * 3, v * 3, 3, 41u, 3) - 0.5f) * 0.10f;
            const float ridge = fbm2((u + warp) * 24, 0.5f, 3, 42u, 24);
            const float fine = fbm2(u * 48, v * 12, 3, 43u, 48);
            const float furrow = smoothstep(0.36f, 0.62f, ridge);
            // Short cross cracks on the ridges.
            const float cross = smoothstep(0.75f, 0.85f, fbm2(u * 16, v * 16, 2, 45u, 16)) * furrow;
            Rgb col = mix({0.17f, 0.13f, 0.10f}, {0.47f, 0.40f, 0.32f}, furrow);
            col = scale(col, (0.85f + 0.3f * fine) * (1.0f - 0.35f * cross));
            const float moss = smoothstep(0.62f, 0.75f, fbm2(u * 3, v * 3, 3, 44u, 3));
            col = mix(col, {0.33f, 0.38f, 0.20f}, 0.25f * moss * furrow);
            img.set(i, j, col);
        }
    return img;
}

Image MakeLeafTexture(int size)
{
    Image img(size, size); // black: the background the leaf program drops
    vqtools::Rng rng(5150);
    const int leaves = 140;
    for (int k = 0; k < leaves; ++k)
    {
        // A dense spray filling the quad: the tree's leaf quads are small, so each carries a
        // whole bunch. Leaves point away from the middle, a few back across it.
        const double ang = rng.range(0, 2 * kPi);
        const double dist = 0.36 * std::sqrt(rng.uniform());
        const double bx = 0.5 + std::cos(ang) * dist, by = 0.5 + std::sin(ang) * dist;
        const double turn = rng.range(-0.7, 0.7);
        const double dir = (k % 5 == 0) ? ang + kPi + turn : ang + turn;
        const double len = rng.range(0.12, 0.2), wid = len * rng.range(0.38, 0.5);
        const double ca = std::cos(dir), sa = std::sin(dir);
        const Rgb tint = {static_cast<float>(rng.range(0.16, 0.36)),
                          static_cast<float>(rng.range(0.40, 0.62)),
                          static_cast<float>(rng.range(0.08, 0.18))};
        const int x0 = std::max(0, static_cast<int>((std::min(bx, bx + ca * len) - wid) * size));
        const int x1 = std::min(size - 1, static_cast<int>((std::max(bx, bx + ca * len) + wid) * size) + 1);
        const int y0 = std::max(0, static_cast<int>((std::min(by, by + sa * len) - wid) * size));
        const int y1 = std::min(size - 1, static_cast<int>((std::max(by, by + sa * len) + wid) * size) + 1);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
            {
                const double px = (x + 0.5) / size - bx, py = (y + 0.5) / size - by;
                const double a = px * ca + py * sa, b = -px * sa + py * ca;
                if (a < 0 || a > len)
                    continue;
                const double half = 0.5 * wid * std::pow(std::sin(kPi * a / len), 0.8);
                if (std::fabs(b) >= half)
                    continue;
                float shade = static_cast<float>(0.75 + 0.35 * a / len);
                if (b > 0)
                    shade *= 1.12f;
                if (std::fabs(b) < 0.07 * wid)
                    shade *= 0.78f; // midrib
                shade *= 0.9f + 0.2f * hash2(x, y, 51u);
                Rgb col = scale(tint, shade);
                const float top = std::max({col.r, col.g, col.b});
                const float floor = kLeafMinBrightness / 255.0f + 0.02f;
                if (top < floor)
                    col = scale(col, floor / top);
                img.set(x, y, col);
            }
    }
    return img;
}

Image MakeCastleTexture(int size)
{
    Image img(size, size);
    const int stoneRows = size / 2, roofRows = size / 4;

    // Ashlar: 8 courses of half a unit; block lengths differ per course and wrap across s.
    const int courses = 8;
    std::vector<std::vector<float>> joints(courses); // block boundaries in u, per course
    vqtools::Rng rng(3030);
    for (int c = 0; c < courses; ++c)
    {
        std::vector<float> lengths;
        float total = 0;
        while (total < 8.0f)
        {
            lengths.push_back(static_cast<float>(rng.range(0.8, 1.7)));
            total += lengths.back();
        }
        const float offset = static_cast<float>(rng.uniform());
        float at = 0;
        for (float l : lengths)
        {
            joints[c].push_back(std::fmod(offset + at / total, 1.0f));
            at += l;
        }
        std::sort(joints[c].begin(), joints[c].end());
    }
    for (int j = 0; j < stoneRows; ++j)
        for (int i = 0; i < size; ++i)
        {
            const float u = static_cast<float>(i) / size, v = static_cast<float>(j) / stoneRows;
            const int c = std::min(courses - 1, static_cast<int>(v * courses));
            const float inCourse = v * courses - c;                   // 0..1 across the course
            const float dv = std::min(inCourse, 1 - inCourse) * 0.5f; // world units to a bed joint
            const std::vector<float>& js = joints[c];
            float du = 1.0f;
            int block = 0;
            for (std::size_t k = 0; k < js.size(); ++k)
            {
                float d = std::fabs(u - js[k]);
                d = std::min(d, 1.0f - d);
                du = std::min(du, d * 8.0f); // world units to a head joint
                if (u >= js[k])
                    block = static_cast<int>(k) + 1;
            }
            if (u < js.front())
                block = static_cast<int>(js.size()); // wraps into the last block
            const float edge = std::min(du, dv);
            const float hb = hash2(block, c, 61u), hb2 = hash2(block, c, 62u);
            const float grain = fbm2(u * 64, v * 32, 4, 63u, 64);
            const float weather = fbm2(u * 8, v * 4, 4, 64u, 8);
            Rgb stone = mix({0.55f, 0.52f, 0.47f}, {0.74f, 0.70f, 0.62f}, hb);
            stone = mix(stone, {0.66f, 0.58f, 0.46f}, 0.35f * hb2);
            stone = scale(stone, 0.80f + 0.30f * grain + 0.15f * (weather - 0.5f));
            // Chiselled edges fall off into the mortar joints.
            const float bevel = smoothstep(0.03f, 0.10f, edge);
            Rgb mortar = {0.40f, 0.38f, 0.35f};
            img.set(i, j, mix(mortar, scale(stone, 0.85f + 0.15f * bevel), smoothstep(0.025f, 0.04f, edge)));
        }

    // Roof tiles: rounded red-brown tiles in overlapping rows.
    for (int j = 0; j < roofRows; ++j)
        for (int i = 0; i < size; ++i)
        {
            const float u = static_cast<float>(i) / size, v = static_cast<float>(j) / roofRows;
            const int rows = 8, cols = 24;
            const float rv = v * rows;
            const int row = static_cast<int>(rv);
            const float fv = rv - row;
            const float shift = (row % 2) * 0.5f;
            const float cu = u * cols + shift;
            const int col = static_cast<int>(std::floor(cu));
            const float fu = cu - col - 0.5f; // -0.5..0.5 across the tile
            // Each tile's lower edge is rounded; below it the next row's tile shows.
            const float bottom = 1.0f - 0.25f * (1.0f - std::sqrt(std::max(0.0f, 1.0f - 4 * fu * fu)));
            const float h = hash2(wrap(col, cols), row, 71u);
            Rgb tile = mix({0.42f, 0.17f, 0.12f}, {0.62f, 0.30f, 0.20f}, h);
            const float grain = fbm2(u * 96, v * 24, 3, 72u, 96);
            tile = scale(tile, 0.85f + 0.3f * grain);
            float shade = 0.75f + 0.35f * fv;                              // lighter towards the tile's foot
            shade *= 1.0f - 0.25f * smoothstep(0.3f, 0.5f, std::fabs(fu)); // curved sides
            if (fv > bottom)
                shade *= 0.45f; // the shadow under the tile's edge
            img.set(i, stoneRows + j, scale(tile, shade));
        }

    // Openings: a window (left half) and the gate's door (right half), each framed in stone.
    const int openRows = size - stoneRows - roofRows;
    for (int j = 0; j < openRows; ++j)
        for (int i = 0; i < size; ++i)
        {
            const bool door = i >= size / 2;
            const float u = static_cast<float>(i % (size / 2)) / (size / 2),
                        v = static_cast<float>(j) / openRows;
            // Round-arched opening inside a frame.
            const float fx = (u - 0.5f) / 0.4f, fy = (v - 0.1f) / 0.85f; // fy 0 at arch top
            const float archY = 0.4f;                                    // arch height within the opening
            bool inside = std::fabs(fx) < 1.0f && fy > 0 && fy < 1.0f;
            if (inside && fy < archY)
            {
                const float ay = (archY - fy) / archY;
                inside = fx * fx + ay * ay < 1.0f;
            }
            const float grain = fbm2(u * 32, v * 32, 3, 81u, 32);
            Rgb col = scale({0.64f, 0.60f, 0.53f}, 0.8f + 0.3f * grain); // frame stone
            if (inside)
            {
                if (!door)
                {
                    col = scale({0.07f, 0.07f, 0.09f}, 0.8f + 0.6f * fy);
                    if (std::fabs(fx) < 0.06f || std::fabs(fy - 0.55f) < 0.03f)
                        col = {0.18f, 0.16f, 0.14f}; // mullion and transom
                }
                else
                {
                    const int plank = static_cast<int>((fx + 1) * 3.5f);
                    const float ph = hash2(plank, 0, 82u);
                    const float wood = fbm2(u * 8, v * 64, 3, 83u, 8);
                    col = scale(mix({0.28f, 0.17f, 0.09f}, {0.42f, 0.27f, 0.14f}, ph), 0.8f + 0.35f * wood);
                    const float pf = (fx + 1) * 3.5f - plank;
                    if (pf < 0.06f)
                        col = scale(col, 0.5f);
                    if (std::fabs(fy - 0.45f) < 0.035f || std::fabs(fy - 0.85f) < 0.035f)
                        col = {0.13f, 0.13f, 0.14f}; // iron bands
                }
            }
            img.set(i, stoneRows + roofRows + j, col);
        }
    return img;
}

Rgb SkyColour(double dx, double dy, double dz)
{
    const double len = std::sqrt(dx * dx + dy * dy + dz * dz);
    dx /= len;
    dy /= len;
    dz /= len;
    const Rgb horizon = {1.0f, 1.0f, 1.0f}, zenith = {0.76f, 0.85f, 0.96f}, below = {0.93f, 0.94f, 0.95f};
    Rgb col = dy >= 0 ? mix(horizon, zenith,
                            static_cast<float>(std::pow(smoothstep(0.0f, 1.0f, static_cast<float>(dy)), 0.6)))
                      : mix(horizon, below, smoothstep(0.0f, 0.2f, static_cast<float>(-dy)));
    if (dy > 0.0)
    {
        // Clouds on a flat layer overhead, thinning out towards the horizon.
        const double k = 1.6 / (dy + 0.12);
        const float px = static_cast<float>(dx * k), pz = static_cast<float>(dz * k);
        const float density = fbm2(px + 20.0f, pz + 20.0f, 6, 91u);
        const float cover =
            smoothstep(0.46f, 0.70f, density) * smoothstep(0.0f, 0.25f, static_cast<float>(dy));
        const float underside = smoothstep(0.58f, 0.85f, density);
        const Rgb cloud = mix({1.0f, 1.0f, 1.0f}, {0.80f, 0.83f, 0.88f}, underside);
        col = mix(col, cloud, cover);
    }
    // A soft glow around the sun (the sunlight travels along (0.33, -0.33, 0.33)).
    const double sun = std::max(0.0, (-dx + dy - dz) / std::sqrt(3.0));
    const float glow = static_cast<float>(0.25 * std::pow(sun, 24.0) + 0.6 * std::pow(sun, 400.0));
    col = {col.r + glow, col.g + glow * 0.97f, col.b + glow * 0.88f};
    return col;
}

void CubeFaceDirection(int face, int i, int j, int size, double dir[3])
{
    const double sc = 2.0 * (i + 0.5) / size - 1.0, tc = 2.0 * (j + 0.5) / size - 1.0;
    switch (face)
    {
    case 0:
        dir[0] = 1, dir[1] = -tc, dir[2] = -sc;
        break;
    case 1:
        dir[0] = -1, dir[1] = -tc, dir[2] = sc;
        break;
    case 2:
        dir[0] = sc, dir[1] = 1, dir[2] = tc;
        break;
    case 3:
        dir[0] = sc, dir[1] = -1, dir[2] = -tc;
        break;
    case 4:
        dir[0] = sc, dir[1] = -tc, dir[2] = 1;
        break;
    default:
        dir[0] = -sc, dir[1] = -tc, dir[2] = -1;
        break;
    }
}

Image MakeSkyFace(int face, int size)
{
    Image img(size, size);
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i)
        {
            double d[3];
            CubeFaceDirection(face, i, j, size, d);
            img.set(i, j, SkyColour(d[0], d[1], d[2]));
        }
    return img;
}
} // namespace landscape
