#pragma once
// Pictures as the generators build them: 8-bit RGB, top row first, and the two file forms the
// piece reads (24-bit bottom-up BMP without row padding, and baseline JPEG).
#include <cstdint>
#include <string>
#include <vector>

namespace vqtools
{
struct Rgb
{
    float r = 0, g = 0, b = 0;
};

struct Image
{
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb; // top row first

    Image() = default;
    Image(int w, int h) : width(w), height(h), rgb(static_cast<std::size_t>(w) * h * 3, 0) {}
    std::uint8_t* at(int x, int y) { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
    const std::uint8_t* at(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
    // Colour components in [0, 1], clamped and rounded.
    void set(int x, int y, Rgb c);
    Rgb get(int x, int y) const;
    // Bilinear sample at (u, v) in [0, 1] (wrapping), for tiling textures.
    Rgb sampleWrap(float u, float v) const;
};

// The piece's bitmap reader takes 24-bit, bottom-up, unpadded rows: width x 3 must be a multiple
// of 4. Returns false with a reason when it is not or the file cannot be written.
bool WriteBmp(const std::string& path, const Image& img, std::string& error);
bool WriteJpeg(const std::string& path, const Image& img, int quality, std::string& error);

// Writes or reports: on failure prints the reason to standard error and exits with status 1, so
// a generator never leaves a half-made data folder looking complete.
void WriteBmpOrDie(const std::string& path, const Image& img);
void WriteJpegOrDie(const std::string& path, const Image& img, int quality = 92);
void WriteBytesOrDie(const std::string& path, const std::vector<std::uint8_t>& bytes);
void WriteTextOrDie(const std::string& path, const std::string& text);
} // namespace vqtools
