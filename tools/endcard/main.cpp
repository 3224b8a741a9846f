// The closing picture "slutt.jpg": a night sky with a nebula over two mountain ridges, the
// piece's title with a warm glow, and the credits. 1024 x 768, deterministic.
//
// The piece draws it one pixel short of the window's right and bottom edges, which stay black;
// the picture darkens towards its edges so that black border reads as part of the frame.
#include "Canvas.h"
#include "Image.h"
#include "Noise.h"
#include "Shaping.h"
#include "Text.h"
#include "app/platform/DataNames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace vqtools;

namespace
{
constexpr int kW = 1024, kH = 768;
constexpr std::uint32_t kSeed = 0x4B524F;

using vqtools::smoothstep;

void sky(Canvas& c)
{
    VerticalGradient(c, {{0.00f, hex(0x020309)},
                         {0.30f, hex(0x080b22)},
                         {0.58f, hex(0x1d1238)},
                         {0.72f, hex(0x4a2440)},
                         {0.80f, hex(0x2a1526)},
                         {1.00f, hex(0x050307)}});
}

// Clouds of gas in two colours, strongest across the upper middle, thinning towards the horizon.
void nebula(Canvas& c)
{
    const Rgb teal = hex(0x1f7c96), violet = hex(0x7a2c8c), rose = hex(0xb0486a);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
        {
            const float fx = static_cast<float>(x) / kW, fy = static_cast<float>(y) / kH;
            // Domain warp gives the gas its swirls.
            const float wx = fbm2(fx * 3.0f, fy * 3.0f, 4, kSeed + 1) - 0.5f;
            const float wy = fbm2(fx * 3.0f + 5.2f, fy * 3.0f + 1.3f, 4, kSeed + 2) - 0.5f;
            const float n = fbm2(fx * 4.0f + wx * 1.6f, fy * 4.0f + wy * 1.6f, 6, kSeed + 3);
            const float hue = fbm2(fx * 2.0f + 9.0f, fy * 2.0f, 3, kSeed + 4);
            // A diagonal band across the sky where the gas is densest.
            const float band = std::exp(-std::pow((fy - 0.33f + (fx - 0.5f) * 0.28f) / 0.22f, 2.0f));
            const float density = smoothstep(0.42f, 0.85f, n) * band * (1.0f - smoothstep(0.55f, 0.74f, fy));
            Rgb col = mix(teal, violet, smoothstep(0.35f, 0.65f, hue));
            col = mix(col, rose, smoothstep(0.6f, 0.8f, n) * 0.5f);
            Rgb& p = c.at(x, y);
            p.r += col.r * density * 0.75f;
            p.g += col.g * density * 0.75f;
            p.b += col.b * density * 0.75f;
        }
}

void stars(Canvas& c)
{
    Rng rng(kSeed);
    Mask fine(kW, kH), bright(kW, kH);
    for (int i = 0; i < 900; ++i)
    {
        const int x = rng.below(kW), y = rng.below(kH * 3 / 4);
        const float m = static_cast<float>(std::pow(rng.uniform(), 6.0));
        const float fade = 1.0f - smoothstep(0.55f, 0.75f, static_cast<float>(y) / kH);
        fine.at(x, y) += (0.25f + 0.75f * m) * fade;
        if (m > 0.45f)
            bright.at(x, y) += 6.0f * m * fade;
    }
    AddLight(c, fine, hex(0xdfe6ff), 0.9f);
    Mask halo = bright;
    Blur(halo, 2.0f);
    AddLight(c, halo, hex(0xaec4ff), 1.6f);
}

// Height in pixels of a ridge line at column x: rough peaks from layered noise.
float ridge(int x, float base, float amplitude, float scale, std::uint32_t seed)
{
    const float fx = static_cast<float>(x) * scale;
    const float n = fbm2(fx, 0.37f, 5, seed);
    const float peaks = 1.0f - std::fabs(2.0f * fbm2(fx * 0.5f, 3.1f, 3, seed + 7) - 1.0f);
    return base - amplitude * (0.65f * n + 0.55f * peaks * peaks);
}

void horizonGlow(Canvas& c)
{
    Mask glow(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
        {
            const float dx = (static_cast<float>(x) - 560.0f) / 430.0f,
                        dy = (static_cast<float>(y) - 560.0f) / 110.0f;
            glow.at(x, y) = std::exp(-(dx * dx + dy * dy));
        }
    AddLight(c, glow, hex(0xd06a4a), 0.42f);
}

void landscape(Canvas& c)
{
    // Far ridge: hazy, lit from behind along its crest.
    const Rgb farTop = hex(0x3a2240), farBottom = hex(0x120b1c);
    for (int x = 0; x < kW; ++x)
    {
        const float h = ridge(x, 655.0f, 190.0f, 0.0042f, kSeed + 11);
        for (int y = std::max(0, static_cast<int>(h) - 1); y < kH; ++y)
        {
            const float cover = std::clamp(static_cast<float>(y) + 0.5f - h, 0.0f, 1.0f);
            const float depth = std::clamp((static_cast<float>(y) - h) / 120.0f, 0.0f, 1.0f);
            Rgb col = mix(farTop, farBottom, depth);
            col = mix(col, hex(0x8a4a58), 0.35f * std::exp(-(static_cast<float>(y) - h) / 4.0f)); // rim light
            c.at(x, y) = mix(c.at(x, y), col, cover);
        }
    }
    // Near ridge with a forest of spruce silhouettes along its crest.
    std::vector<float> crest(kW);
    for (int x = 0; x < kW; ++x)
        crest[x] = ridge(x, 730.0f, 80.0f, 0.0032f, kSeed + 21);
    Mask land(kW, kH);
    for (int x = 0; x < kW; ++x)
        for (int y = std::max(0, static_cast<int>(crest[x]) - 1); y < kH; ++y)
            land.at(x, y) = std::clamp(static_cast<float>(y) + 0.5f - crest[x], 0.0f, 1.0f);
    Rng rng(kSeed + 31);
    for (float tx = 4.0f; tx < kW; tx += static_cast<float>(rng.range(5.0, 17.0)))
    {
        const int ix = std::clamp(static_cast<int>(tx), 0, kW - 1);
        const float height = static_cast<float>(rng.range(16.0, 46.0));
        const float halfWidth = height * static_cast<float>(rng.range(0.22, 0.3));
        const float foot = crest[ix] + 3.0f;
        for (int y = static_cast<int>(foot - height); y <= static_cast<int>(foot) && y < kH; ++y)
        {
            if (y < 0)
                continue;
            const float t = (static_cast<float>(y) - (foot - height)) / height; // 0 tip .. 1 foot
            // Tiers of branches: the outline widens and steps back three times.
            const float tier = std::fmod(t * 3.0f, 1.0f);
            const float w = halfWidth * (0.25f + 0.75f * t) * (0.7f + 0.3f * tier) + 0.6f;
            for (int x = static_cast<int>(tx - w) - 1; x <= static_cast<int>(tx + w) + 1; ++x)
            {
                if (x < 0 || x >= kW)
                    continue;
                const float cover =
                    std::clamp(w + 0.5f - std::fabs(static_cast<float>(x) + 0.5f - tx), 0.0f, 1.0f);
                land.at(x, y) = std::max(land.at(x, y), cover);
            }
        }
    }
    PaintOver(c, land, hex(0x040306));
}

void title(Canvas& c)
{
    const std::string text = "Kromelvastind \u2013 Brastelmoorvinge"; // an en dash between the names
    auto face = OpenFaceOrDie("Liberation Serif:bold");
    const float tracking = 1.5f;
    int size = 64;
    face->SetPixelSize(size);
    while (size > 24 && face->Measure(text, tracking) > 860.0f)
        face->SetPixelSize(--size);
    const float baseline = 250.0f;
    Mask m(kW, kH);
    face->DrawCentred(m, text, kW / 2.0f, baseline, tracking);

    // Glow: a tight warm halo and a wide violet one, then the letters themselves.
    Mask tight = m, wide = m;
    Blur(tight, 5.0f);
    Blur(wide, 26.0f);
    AddLight(c, wide, hex(0x9a4cc0), 1.4f);
    AddLight(c, tight, hex(0xffa24a), 1.0f);
    Mask shade = m;
    Blur(shade, 1.5f);
    PaintOver(c, shade, hex(0x1a0c10), 0.35f);
    PaintOver(c, m, hex(0xfff1dc));

    // A rule under the title, fading out at both ends, with a small diamond in its middle.
    Mask rule(kW, kH);
    const float y0 = baseline + 34.0f;
    for (int x = 262; x < 762; ++x)
    {
        const float t = std::fabs((static_cast<float>(x) - 512.0f) / 250.0f);
        const float a = 1.0f - smoothstep(0.35f, 1.0f, t);
        rule.at(x, static_cast<int>(y0)) = a;
        rule.at(x, static_cast<int>(y0) + 1) = 0.35f * a;
    }
    for (int y = -6; y <= 6; ++y)
        for (int x = -6; x <= 6; ++x)
        {
            const float d = std::fabs(static_cast<float>(x)) + std::fabs(static_cast<float>(y));
            const float a = std::clamp(5.5f - d, 0.0f, 1.0f);
            float& v = rule.at(512 + x, static_cast<int>(y0) + y);
            v = std::max(v, a);
        }
    Mask ruleGlow = rule;
    Blur(ruleGlow, 4.0f);
    AddLight(c, ruleGlow, hex(0xff9a50), 1.4f);
    PaintOver(c, rule, hex(0xffd9a8), 0.9f);
}

void credits(Canvas& c)
{
    auto label = OpenFaceOrDie("Liberation Sans:regular");
    auto name = OpenFaceOrDie("Liberation Sans:bold");
    label->SetPixelSize(22);
    name->SetPixelSize(30);
    const struct
    {
        const char* role;
        const char* who;
    } lines[] = {{"code:", "Tarvek"}, {"graphics:", "Dranbuke"}, {"music:", "Kro"}};
    Mask roles(kW, kH), names(kW, kH);
    float y = 346.0f;
    for (const auto& l : lines)
    {
        // Roles end just left of the centre line, names start just right of it.
        label->Draw(roles, l.role, 500.0f - label->Measure(l.role, 1.0f), y, 1.0f);
        name->Draw(names, l.who, 516.0f, y, 0.5f);
        y += 44.0f;
    }
    Mask glow = names;
    Blur(glow, 6.0f);
    AddLight(c, glow, hex(0x5a7ad0), 0.6f);
    PaintOver(c, roles, hex(0x8d97b8));
    PaintOver(c, names, hex(0xe9eefc));
}

// Darkens the last pixels towards every edge, most at the bottom and right, so the picture meets
// the window's black border softly.
void edges(Canvas& c)
{
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
        {
            const float d = static_cast<float>(std::min({x + 1, y + 1, kW - x, kH - y}));
            const float k = smoothstep(0.0f, 28.0f, d);
            c.at(x, y) = scale(c.at(x, y), 0.15f + 0.85f * k);
        }
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: %s <data folder>\n", argv[0]);
        return 2;
    }
    Canvas c(kW, kH);
    sky(c);
    nebula(c);
    stars(c);
    horizonGlow(c);
    landscape(c);
    title(c);
    credits(c);
    Vignette(c, 0.5f, 0.55f);
    edges(c);
    WriteJpegOrDie(std::string(argv[1]) + "/" + datafile::kClosingPicture, ToImage(c), 95);
    return 0;
}
