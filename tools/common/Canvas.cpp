#include "Canvas.h"

#include "Noise.h"

#include <algorithm>
#include <cmath>

namespace vqtools
{
Rgb mix(Rgb a, Rgb b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb scale(Rgb c, float k) { return {c.r * k, c.g * k, c.b * k}; }

Rgb hex(std::uint32_t rgb)
{
    return {static_cast<float>((rgb >> 16) & 0xFF) / 255.0f, static_cast<float>((rgb >> 8) & 0xFF) / 255.0f,
            static_cast<float>(rgb & 0xFF) / 255.0f};
}

void VerticalGradient(Canvas& c, const std::vector<GradientStop>& stops)
{
    if (stops.empty())
        return;
    for (int y = 0; y < c.height; ++y)
    {
        const float t = c.height > 1 ? static_cast<float>(y) / static_cast<float>(c.height - 1) : 0.0f;
        Rgb col = stops.front().colour;
        if (t >= stops.back().at)
            col = stops.back().colour;
        else
            for (std::size_t i = 1; i < stops.size(); ++i)
                if (t < stops[i].at)
                {
                    const float span = stops[i].at - stops[i - 1].at;
                    float k = span > 0 ? (t - stops[i - 1].at) / span : 1.0f;
                    k = std::clamp(k, 0.0f, 1.0f);
                    k = k * k * (3 - 2 * k);
                    col = t <= stops[i - 1].at ? stops[i - 1].colour
                                               : mix(stops[i - 1].colour, stops[i].colour, k);
                    break;
                }
        for (int x = 0; x < c.width; ++x)
            c.at(x, y) = col;
    }
}

namespace
{
// One box pass of radius r along a line of n values spaced `stride` apart, edges clamped.
void boxLine(float* p, int n, int stride, int r, std::vector<float>& tmp)
{
    tmp.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        tmp[static_cast<std::size_t>(i)] = p[static_cast<std::ptrdiff_t>(i) * stride];
    auto get = [&](int i) { return tmp[static_cast<std::size_t>(std::clamp(i, 0, n - 1))]; };
    float sum = 0;
    for (int i = -r; i <= r; ++i)
        sum += get(i);
    const float inv = 1.0f / static_cast<float>(2 * r + 1);
    for (int i = 0; i < n; ++i)
    {
        p[static_cast<std::ptrdiff_t>(i) * stride] = sum * inv;
        sum += get(i + r + 1) - get(i - r);
    }
}
} // namespace

void Blur(Mask& m, float radius)
{
    if (radius <= 0 || m.width <= 0 || m.height <= 0)
        return;
    // Three box passes of radius r approximate a Gaussian of sigma^2 = r (r + 1).
    const int r = std::max(1, static_cast<int>(std::lround(radius)));
    std::vector<float> tmp;
    for (int pass = 0; pass < 3; ++pass)
    {
        for (int y = 0; y < m.height; ++y)
            boxLine(&m.at(0, y), m.width, 1, r, tmp);
        for (int x = 0; x < m.width; ++x)
            boxLine(&m.at(x, 0), m.height, m.width, r, tmp);
    }
}

void PaintOver(Canvas& c, const Mask& m, Rgb colour, float opacity)
{
    const int w = std::min(c.width, m.width), h = std::min(c.height, m.height);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const float a = std::clamp(m.at(x, y) * opacity, 0.0f, 1.0f);
            if (a > 0)
                c.at(x, y) = mix(c.at(x, y), colour, a);
        }
}

void AddLight(Canvas& c, const Mask& m, Rgb colour, float strength)
{
    const int w = std::min(c.width, m.width), h = std::min(c.height, m.height);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const float a = m.at(x, y) * strength;
            Rgb& p = c.at(x, y);
            p.r += colour.r * a;
            p.g += colour.g * a;
            p.b += colour.b * a;
        }
}

void Vignette(Canvas& c, float inner, float strength)
{
    const float cx = 0.5f * static_cast<float>(c.width), cy = 0.5f * static_cast<float>(c.height);
    const float half = std::sqrt(cx * cx + cy * cy);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
        {
            const float dx = static_cast<float>(x) + 0.5f - cx, dy = static_cast<float>(y) + 0.5f - cy;
            float t = (std::sqrt(dx * dx + dy * dy) / half - inner) / std::max(1e-3f, 1.0f - inner);
            t = std::clamp(t, 0.0f, 1.0f);
            t = t * t * (3 - 2 * t);
            c.at(x, y) = scale(c.at(x, y), 1.0f - strength * t);
        }
}

Image ToImage(const Canvas& c)
{
    Image img(c.width, c.height);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
        {
            // Unstructured noise: an ordered pattern would show as a grid in dark skies.
            const float d = hash2(x, y, 0x5EED) - 0.5f;
            const Rgb& p = c.at(x, y);
            std::uint8_t* o = img.at(x, y);
            const float v[3] = {p.r, p.g, p.b};
            for (int k = 0; k < 3; ++k)
                o[k] =
                    static_cast<std::uint8_t>(std::clamp(std::floor(v[k] * 255.0f + 0.5f + d), 0.0f, 255.0f));
        }
    return img;
}
} // namespace vqtools
