#pragma once
// A depth-buffered picture of the dance scene as the fixed camera sees it, drawn on the CPU: every
// pixel holds the label of the nearest surface (cave, character, one floor tile) and its depth.
// The generator's checks and the staging measurements count pixels in it; colour and light play no
// part, only what hides what.
#include "DanceCamera.h"

#include "formats/HlfFormats.h"

#include <vector>

namespace dance
{
class StageRaster
{
public:
    static constexpr int kNothing = 0; // the target's clear colour shows
    static constexpr int kCave = 1;
    static constexpr int kCharacter = 2;
    static constexpr int kCaveBack = 3;    // cave seen from behind its normals (it would light wrongly)
    static constexpr int kFirstTile = 100; // tile [p][q] is kFirstTile + 7 p + q

    StageRaster(int width = DanceCamera::kWidth, int height = DanceCamera::kHeight);
    void Clear();

    // A convex polygon in world space (cut at the near plane like the real target).
    void DrawPolygon(const Vec3* corners, int count, int label);
    // Every face of a model; with glMatrix (column-major, as OpenGL holds it) applied first. With
    // backLabel, faces whose normals point away from the eye are labelled so instead.
    void DrawModel(const hlf::KhlfModel& model, const float* glMatrix, int label, int backLabel = -1);
    // The 49 floor tiles at their places.
    void DrawFloor();

    int Width() const { return width; }
    int Height() const { return height; }
    int Label(int x, int y) const { return labels[index(x, y)]; }
    // Depth along the view axis; 0 where nothing was drawn.
    double Depth(int x, int y) const { return depths[index(x, y)]; }

private:
    std::size_t index(int x, int y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
    }
    void triangle(const Vec3 view[3], int label);

    int width, height;
    std::vector<float> depths;
    std::vector<int> labels;
};

// Tile [p][q] (p along x, q along z) as the scene lays it: corner (x0, z0) and size.
struct TileRect
{
    double x0, z0, size;
};
TileRect TileAt(int p, int q);
} // namespace dance
