#pragma once
// CDemoHandler::CWaterNorm builds the landscape scene's sea once at start-up: four random height
// layers (513 x 513, each four octaves of smoothed block noise), a 512 x 512 normal map per layer
// uploaded with mipmaps into the caller's textures, and one display list: a flat 256 x 256-cell
// grid at y = 8 whose vertex colours carry the four layers' heights.
//
// The arrays are fixed members (about 185 MB): always create the object on the heap. Only the
// display list and the caller's textures are used after MakeNormalMap; the rest is scratch.
//
// MakeNormalMap reports its progress as its steps finish (the caller shows them on the loading
// bar): each octave's filter, the combination, the triangles, the normals, the upload. The steps before the
// upload are GL-free members that tests and benchmarks call directly.
#include "app/platform/CDemoHandler.h"
#include "math/svect3f.h"

#include <cstdint>
#include <functional>

class CPBuffer;

class CDemoHandler::CWaterNorm
{
public:
    static constexpr int kLayers = 4;
    static constexpr int kOctaves = 4;
    static constexpr int kSize = 513;  // height samples per axis
    static constexpr int kCells = 512; // normal-map texels / grid cells per axis

    struct tri
    {
        svect3f vert[3];
        svect3f norm[3]; // the triangle's normal, once per corner
    };

    CWaterNorm();
    CWaterNorm(const CWaterNorm&) = delete;
    CWaterNorm& operator=(const CWaterNorm&) = delete;

    // tex0..tex3: texture names generated with their filters set. progress(n) is called for
    // n = 0 .. kProgressSteps - 1 in order as the steps finish (may be empty). Seeds the generator from the
    // piece's calendar clock, so every run differs (and a seeded capture repeats). Leaves target
    // current and texture unit 0 active.
    void MakeNormalMap(unsigned tex0, unsigned tex1, unsigned tex2, unsigned tex3, CPBuffer* target,
                       const std::function<void(int)>& progress = nullptr);
    void Render();

    // (b - a) * (rand / 32767) + a in single precision, from the piece's generator.
    static float rndn(float a, float b);

    // --- GL-free steps of MakeNormalMap, in their order ---
    // Block noise of every octave of every layer, drawn layer by layer, octave by octave, blocks
    // row by row.
    void MakeNoise();
    static constexpr int kProgressSteps = kOctaves + 4;

    // Smooths every octave in place (radii 1, 2, 7, 10). progress(k) is called for octave k once
    // it has been filtered in all four layers.
    void FilterOctaves(const std::function<void(int)>& progress = nullptr, int threads = 2);
    // The plain filter of one octave of one layer, the reference of FilterOctaves.
    void FilterOctaveDirect(int layer, int octave);
    // heights[l][4] = 6 * (0.5 o2 + o3 + 0.125 o1 + 0.125 o0).
    void Combine();
    // Triangles of every cell and the per-point sums of their normals.
    void BuildTriangles(int threads = 2);
    // Normalises the sums and turns them into colours c = (n + 1) / 2.
    void EncodeNormals(int threads = 2);
    // The normal map of a layer: 512 x 512 RGB texels, row z outer, column x inner.
    void FillImage(int layer, std::uint8_t* rgb) const;
    // All of the above after the seed: noise, filters, combination, triangles, encoding.
    void Generate(const std::function<void(int)>& progress = nullptr, int threads = 2);

    static constexpr int kRadius[kOctaves] = {1, 2, 7, 10};
    static constexpr int kBlock[kOctaves] = {2, 4, 8, 16};

    float heights[kLayers][kOctaves + 1][kSize][kSize];
    svect3f normals[kLayers][kCells][kCells];
    unsigned displist = 0;
    alignas(16) tri tris[kLayers][kCells][kCells][2]; // 144 bytes a cell: written in 16-byte blocks

private:
    void CompileList();
};
