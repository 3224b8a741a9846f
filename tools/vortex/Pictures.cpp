#include "Pictures.h"

#include "Canvas.h"
#include "Noise.h"
#include "Shaping.h"

#include <algorithm>
#include <cmath>

namespace vortexgen
{
using vqtools::Image;
using vqtools::Rgb;

namespace
{
constexpr float kTwoPi = 6.28318530718f;

using vqtools::mix;
using vqtools::scale;
using vqtools::smoothstep;

Rgb add(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }

float caustic(float u, float v, int cells, std::uint32_t seed, float sharpness)
{
    // The difference of the two distances is small along the cell borders, which is where light
    // focuses in a caustic; the points keep off the cell edges so no border is a straight line.
    const vqtools::CellularHit c = vqtools::cellular2(u * cells, v * cells, seed, cells, {0.1f, 0.8f, 2, 7u});
    return std::exp(-(c.f2 - c.f1) * sharpness);
}

// Tiling warp offsets, so the cell webs wobble like light through a moving surface.
void warp(float u, float v, std::uint32_t seed, float amount, int cells, float& wu, float& wv)
{
    const float f = static_cast<float>(cells);
    wu = u + amount * (vqtools::fbm2(u * f, v * f, 4, seed, cells) - 0.5f);
    wv = v + amount * (vqtools::fbm2(u * f, v * f, 4, seed + 17u, cells) - 0.5f);
}

} // namespace

void SymmetriseBorders(std::vector<float>& field, int size, float band)
{
    const int n = size;
    if (n < 2 || field.size() != static_cast<std::size_t>(n) * n)
        return;
    const std::vector<float> src = field;
    double sum = 0;
    for (float v : src)
        sum += v;
    const float mean = static_cast<float>(sum / src.size());
    // Averaging eight unrelated samples flattens the detail; this brings most of it back.
    const float restore = 2.0f;
    const int m = n - 1;
    auto at = [&src, n](int x, int y) { return src[static_cast<std::size_t>(y) * n + x]; };
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
        {
            const float d = static_cast<float>(std::min(std::min(x, y), std::min(m - x, m - y))) / m;
            const float w = smoothstep(0.0f, band, d);
            if (w >= 1.0f)
                continue;
            const float avg = (at(x, y) + at(m - x, y) + at(x, m - y) + at(m - x, m - y) + at(y, x) +
                               at(m - y, x) + at(y, m - x) + at(m - y, m - x)) /
                              8.0f;
            const float sym = mean + (avg - mean) * restore;
            float& v = field[static_cast<std::size_t>(y) * n + x];
            v = sym + (v - sym) * w;
        }
}

Image WaterPicture(int size)
{
    const std::size_t count = static_cast<std::size_t>(size) * size;
    std::vector<float> web(count), depth(count);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            const float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
            float wu, wv;
            warp(u, v, 11u, 0.12f, 3, wu, wv);
            const float c1 = caustic(wu, wv, 3, 21u, 5.0f);
            float wu2, wv2;
            warp(u + 0.31f, v + 0.17f, 41u, 0.14f, 3, wu2, wv2);
            const float c2 = caustic(wu2, wv2, 5, 22u, 8.0f);
            // Where both webs cross the light gathers into hot spots.
            web[static_cast<std::size_t>(y) * size + x] = 0.65f * c1 + 0.4f * c2 + 0.9f * c1 * c2;
            depth[static_cast<std::size_t>(y) * size + x] = vqtools::fbm2(u * 2, v * 2, 5, 31u, 2);
        }
    SymmetriseBorders(web, size, 0.10f);
    SymmetriseBorders(depth, size, 0.10f);

    Image img(size, size);
    const Rgb deep{0.01f, 0.10f, 0.24f}, shallow{0.04f, 0.42f, 0.60f}, light{0.62f, 0.95f, 1.0f};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            const float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
            const std::size_t i = static_cast<std::size_t>(y) * size + x;
            // Lighter towards the middle of the face: symmetric, so the borders still agree.
            const float r2 = (u - 0.5f) * (u - 0.5f) + (v - 0.5f) * (v - 0.5f);
            const float glow = 1.15f - 1.2f * r2;
            Rgb c = mix(deep, shallow, smoothstep(0.25f, 0.8f, depth[i]));
            c = add(scale(c, glow), scale(light, std::max(0.0f, web[i]) * glow * 0.85f));
            img.set(x, y, c);
        }
    return img;
}

Image SlimePicture(int size)
{
    const std::size_t count = static_cast<std::size_t>(size) * size;
    std::vector<float> h(count);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            const float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
            float wu, wv;
            warp(u, v, 51u, 0.25f, 2, wu, wv);
            const float n = vqtools::fbm2(u * 2, v * 2, 4, 61u, 2);
            // Integer wave numbers keep every term periodic on the unit square.
            const float p = std::sin(kTwoPi * 2 * wu) + std::sin(kTwoPi * 2 * wv) +
                            0.8f * std::sin(kTwoPi * (wu + 2 * wv)) +
                            0.7f * std::sin(kTwoPi * (2 * wu - wv) + 3.0f * n);
            h[static_cast<std::size_t>(y) * size + x] = 0.5f + p / 6.6f;
        }
    // Wet sheen on the crests of the bands. The curvature is taken on the tiling field, before the
    // borders are made symmetric, and then made symmetric itself, so the edges still agree.
    const std::vector<float> raw = h;
    auto at = [&raw, size](int x, int y)
    {
        x = ((x % size) + size) % size;
        y = ((y % size) + size) % size;
        return raw[static_cast<std::size_t>(y) * size + x];
    };
    std::vector<float> crest(count);
    const int r = std::max(1, static_cast<int>(6.0f * size / 512.0f + 0.5f));
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            const float p = at(x, y);
            const float lap = (at(x + r, y) + at(x - r, y) + at(x, y + r) + at(x, y - r) - 4 * p) * 120.0f;
            crest[static_cast<std::size_t>(y) * size + x] = smoothstep(0.1f, 1.0f, -lap);
        }
    SymmetriseBorders(h, size, 0.10f);
    SymmetriseBorders(crest, size, 0.10f);

    Image img(size, size);
    const Rgb violet{0.46f, 0.06f, 0.72f}, green{0.30f, 0.92f, 0.14f}, deepViolet{0.07f, 0.0f, 0.14f},
        deepGreen{0.01f, 0.20f, 0.04f}, sheen{0.85f, 1.0f, 0.8f};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            const std::size_t i = static_cast<std::size_t>(y) * size + x;
            const float p = h[i];
            const float hue = 0.5f + 0.5f * std::sin(kTwoPi * 2.0f * p);
            const float band = 0.5f + 0.5f * std::cos(kTwoPi * 4.0f * p);
            const Rgb bright = mix(violet, green, smoothstep(0.3f, 0.7f, hue));
            const Rgb dark = mix(deepViolet, deepGreen, smoothstep(0.3f, 0.7f, hue));
            Rgb c = mix(dark, bright, 0.25f + 0.75f * band);
            const float shine = std::clamp(crest[i], 0.0f, 1.0f) * band;
            c = add(c, scale(sheen, 0.55f * shine * shine));
            img.set(x, y, c);
        }
    return img;
}

Image LogoPicture(int size, const std::vector<Shape>& letters)
{
    Image img(size, size);
    Vec2 lo, hi;
    ShapesBounds(letters, lo, hi);
    const double stretch = 4.0 / 3.0;
    // Leave a black frame: the grid reaches a little past the picture and repeats its edge there.
    const double pxPerUnit = size * 0.90 / (hi.x - lo.x);
    const double letterH = (hi.y - lo.y) * pxPerUnit * stretch;
    const double barGap = 0.07 * letterH, barH = 0.06 * letterH;
    const double totalH = letterH + barGap + barH;
    const double left = 0.5 * (size - (hi.x - lo.x) * pxPerUnit);
    const double bottom = 0.5 * (size - totalH) + barGap + barH; // letters' baseline, pixels from the bottom

    // Underline bar as one more shape, slanted like the letters.
    std::vector<Shape> shapes = letters;
    {
        const double y0 = -(barGap + barH) / (pxPerUnit * stretch), y1 = -barGap / (pxPerUnit * stretch);
        const double slant = kLetterSlant;
        Shape bar;
        bar.outer.pts = {{lo.x + slant * y0, y0},
                         {hi.x - 0.1 + slant * y0, y0},
                         {hi.x - 0.1 + slant * y1, y1},
                         {lo.x + slant * y1, y1}};
        shapes.push_back(bar);
    }

    // Signed distance in pixels, sampled once; the rim, bevel and coverage all read it.
    std::vector<float> sd(static_cast<std::size_t>(size) * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            const double py = size - 1 - y + 0.5; // pixels from the bottom
            const Vec2 p{lo.x + (x + 0.5 - left) / pxPerUnit, lo.y + (py - bottom) / (pxPerUnit * stretch)};
            // Distances are measured in stretched space; a near-isotropic estimate is all the rim needs.
            sd[static_cast<std::size_t>(y) * size + x] =
                static_cast<float>(SignedDistance(shapes, p) * pxPerUnit);
        }
    auto at = [&](int x, int y)
    {
        x = std::clamp(x, 0, size - 1);
        y = std::clamp(y, 0, size - 1);
        return sd[static_cast<std::size_t>(y) * size + x];
    };

    const Rgb top{1.0f, 0.98f, 0.86f}, horizonHi{1.0f, 0.58f, 0.10f}, horizonLo{0.78f, 0.02f, 0.42f},
        base{1.0f, 0.38f, 0.62f}, rim{0.20f, 0.02f, 0.34f};
    const float rimWidth = 4.5f, bevelWidth = 6.0f;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            const float d = at(x, y);
            if (d > rimWidth + 1.0f)
                continue; // black
            const double py = size - 1 - y + 0.5;
            const float t = static_cast<float>((py - bottom) / letterH); // 0 at the baseline, 1 at the top
            Rgb fill;
            if (t >= 0.5f)
                fill = mix(horizonHi, top, smoothstep(0.5f, 1.0f, t));
            else
                fill = mix(base, horizonLo, smoothstep(-0.2f, 0.5f, t));
            // Bevel: the edge facing the upper left catches light, the opposite edge falls dark.
            const float gx = at(x + 1, y) - at(x - 1, y), gy = at(x, y - 1) - at(x, y + 1);
            const float gl = std::max(1e-4f, std::sqrt(gx * gx + gy * gy));
            const float facing = (-0.6f * gx + 0.8f * gy) / gl;
            const float edge = std::clamp(1.0f + d / bevelWidth, 0.0f, 1.0f);
            fill = scale(fill, 1.0f + 0.5f * facing * edge);
            const float inFill = std::clamp(0.5f - d, 0.0f, 1.0f);
            const float inRim = std::clamp(rimWidth + 0.5f - d, 0.0f, 1.0f);
            img.set(x, y, add(scale(fill, inFill), scale(rim, inRim - inFill)));
        }
    return img;
}
} // namespace vortexgen
