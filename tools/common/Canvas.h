#pragma once
// Pictures being composed: float RGB (no clamping while layers add up), coverage masks for text
// and shapes, and the few operations the generators share to build designed images from them.
#include "Image.h"

#include <cstdint>
#include <vector>

namespace vqtools
{
// Float RGB, top row first; values may leave [0, 1] until the picture is written out.
struct Canvas
{
    int width = 0, height = 0;
    std::vector<Rgb> px;

    Canvas() = default;
    Canvas(int w, int h) : width(w), height(h), px(static_cast<std::size_t>(w) * h) {}
    Rgb& at(int x, int y) { return px[static_cast<std::size_t>(y) * width + x]; }
    const Rgb& at(int x, int y) const { return px[static_cast<std::size_t>(y) * width + x]; }
};

// Coverage in [0, 1] (values above 1 are allowed while building, e.g. for glows).
struct Mask
{
    int width = 0, height = 0;
    std::vector<float> a;

    Mask() = default;
    Mask(int w, int h) : width(w), height(h), a(static_cast<std::size_t>(w) * h, 0.0f) {}
    float& at(int x, int y) { return a[static_cast<std::size_t>(y) * width + x]; }
    float at(int x, int y) const { return a[static_cast<std::size_t>(y) * width + x]; }
};

Rgb mix(Rgb a, Rgb b, float t);
Rgb scale(Rgb c, float k);
// A colour from 0xRRGGBB.
Rgb hex(std::uint32_t rgb);

struct GradientStop
{
    float at; // 0 = top, 1 = bottom
    Rgb colour;
};
// Fills the canvas top to bottom through the stops (sorted by `at`), smoothly interpolated.
void VerticalGradient(Canvas& c, const std::vector<GradientStop>& stops);

// Gaussian-like blur (three box passes per axis); radius is about the Gaussian's sigma in pixels.
// Edges clamp.
void Blur(Mask& m, float radius);

// Paints `colour` over the canvas where the mask covers it, with the given opacity.
void PaintOver(Canvas& c, const Mask& m, Rgb colour, float opacity = 1.0f);
// Adds `colour` x mask x strength (light: glows, stars).
void AddLight(Canvas& c, const Mask& m, Rgb colour, float strength = 1.0f);

// Darkens towards the corners: factor 1 inside `inner` (fraction of the half diagonal), falling
// smoothly to 1 - strength at the corners.
void Vignette(Canvas& c, float inner, float strength);

// Quantises to 8 bits with a small dither, so dark gradients do not band.
Image ToImage(const Canvas& c);
} // namespace vqtools
