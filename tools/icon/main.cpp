// The program's desktop icon "vqdemo.png": the vortex seen down its axis, octagonal rings in
// outline closing in on a glowing blue blob, on a rounded night-blue tile. 256 x 256 RGBA,
// deterministic. The desktop scales it down; the lines are thick enough to survive 32 px.
#include "Canvas.h"
#include "Image.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace vqtools;

namespace
{
constexpr int kSize = 256;
constexpr float kPi = 3.14159265f;

// Coverage of a rounded square filling the icon, with a one-pixel soft edge.
float tileCoverage(float x, float y)
{
    constexpr float half = kSize / 2.0f - 4.0f, radius = 44.0f;
    const float dx = std::max(std::abs(x - kSize / 2.0f) - (half - radius), 0.0f);
    const float dy = std::max(std::abs(y - kSize / 2.0f) - (half - radius), 0.0f);
    return std::clamp(radius - std::sqrt(dx * dx + dy * dy) + 0.5f, 0.0f, 1.0f);
}

// Distance from (x, y) to the outline of a regular octagon around (cx, cy) with the given
// apothem (centre to the middle of a side), turned by `turn` radians.
float octagonDistance(float x, float y, float cx, float cy, float apothem, float turn)
{
    const float a = std::atan2(y - cy, x - cx) - turn;
    const float r = std::hypot(x - cx, y - cy);
    const float sector = 2 * kPi / 8;
    const float local = std::fmod(std::fmod(a, sector) + sector, sector) - sector / 2;
    return std::abs(r * std::cos(local) - apothem);
}

void rings(Mask& m)
{
    // Rings further down the tunnel are smaller and drift towards its vanishing point.
    const float vx = 150, vy = 118;
    for (int i = 0; i < 6; ++i)
    {
        const float depth = static_cast<float>(i) / 5.0f; // 0 near, 1 far
        const float apothem = 100.0f * std::pow(0.62f, static_cast<float>(i));
        const float cx = 128 + (vx - 128) * depth, cy = 128 + (vy - 128) * depth;
        const float width = 5.0f - 3.0f * depth;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
            {
                const float d = octagonDistance(x + 0.5f, y + 0.5f, cx, cy, apothem, 0.12f * i);
                m.at(x, y) = std::max(m.at(x, y), std::clamp(width / 2 - d + 0.5f, 0.0f, 1.0f));
            }
    }
}

void blob(Mask& m)
{
    // Two metaballs melting into one: the field of two charges above a threshold.
    const float ax = 112, ay = 150, bx = 150, by = 134;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
        {
            const float px = x + 0.5f, py = y + 0.5f;
            const float f = 900.0f / ((px - ax) * (px - ax) + (py - ay) * (py - ay) + 1) +
                            600.0f / ((px - bx) * (px - bx) + (py - by) * (py - by) + 1);
            m.at(x, y) = std::clamp((f - 1.0f) * 4.0f, 0.0f, 1.0f);
        }
}

void writePngOrDie(const std::string& path, const Image& img, const Mask& alpha)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!f || !info || setjmp(png_jmpbuf(png)))
    {
        std::fprintf(stderr, "icon: cannot write %s\n", path.c_str());
        std::exit(1);
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(img.width), static_cast<png_uint_32>(img.height), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<std::size_t>(img.width) * 4);
    for (int y = 0; y < img.height; ++y)
    {
        for (int x = 0; x < img.width; ++x)
        {
            std::copy(img.at(x, y), img.at(x, y) + 3, &row[static_cast<std::size_t>(x) * 4]);
            row[static_cast<std::size_t>(x) * 4 + 3] =
                static_cast<png_byte>(std::lround(std::clamp(alpha.at(x, y), 0.0f, 1.0f) * 255.0f));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(f) != 0)
    {
        std::fprintf(stderr, "icon: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}
} // namespace

int main(int argc, char** argv)
{
    const std::string dir = argc > 1 ? argv[1] : ".";
    Canvas c(kSize, kSize);
    VerticalGradient(c, {{0.0f, hex(0x0b0e2a)}, {0.6f, hex(0x24154a)}, {1.0f, hex(0x0a0614)}});

    Mask lines(kSize, kSize);
    rings(lines);
    Mask glow = lines;
    Blur(glow, 6.0f);
    AddLight(c, glow, hex(0xb070ff), 0.8f);
    PaintOver(c, lines, hex(0xf4f0ff));

    Mask ball(kSize, kSize);
    blob(ball);
    Mask halo = ball;
    Blur(halo, 10.0f);
    AddLight(c, halo, hex(0x40a0ff), 1.2f);
    PaintOver(c, ball, hex(0x3a7fe0));
    Mask shine(kSize, kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            shine.at(x, y) =
                ball.at(x, y) * std::clamp(1.0f - std::hypot(x - 104.0f, y - 138.0f) / 22.0f, 0.0f, 1.0f);
    AddLight(c, shine, hex(0xd8f0ff), 0.9f);

    Mask alpha(kSize, kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            alpha.at(x, y) = tileCoverage(x + 0.5f, y + 0.5f);
    writePngOrDie(dir + "/vqdemo.png", ToImage(c), alpha);
    return 0;
}
