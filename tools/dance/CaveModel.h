#pragma once
// The dance cave: a rocky vault around the disco floor (x -23..10, z -42.6..-9.1 at y = -8) and
// the fixed camera at (3, 9, -6.6), with a flat ground just below the floor, boulders along the
// walls and stalactites under the roof. Every surface faces inwards, towards the floor's lights.
#include "Image.h"
#include "formats/HlfFormats.h"

namespace dance
{
struct CaveAsset
{
    hlf::KhlfModel model;
    int triangles = 0;
};

// Ground height under the floor; the floor itself is drawn at y = -8.
constexpr double kCaveGroundY = -8.35;

CaveAsset BuildCave();
// The rock texture "fjell3.bmp": tiles seamlessly in both directions.
vqtools::Image BuildCaveTexture(int size);
} // namespace dance
