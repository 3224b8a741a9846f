#pragma once
// The dance cave: a rocky hall around the disco floor (x -23..10, z -42.6..-9.1 at y = -8) and
// the fixed camera at (3, 9, -6.6), running on away from the camera into a gallery of rock ledges,
// ribs, columns and dripstone that bends out of sight. The ground lies just below the floor where
// the floor covers it and nothing stands where it could hide a tile. Every surface faces inwards,
// towards the floor's lights.
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

// The cave's texture "fjell3.bmp" is an atlas of kAtlasTiles x kAtlasTiles tiles of the same
// seamless rock, tile k (column k % kAtlasTiles, row k / kAtlasTiles from t = 0) at
// AtlasBrightness(k) of the full tone: the faces take their shade from the tile they map to.
constexpr int kAtlasTiles = 4;
constexpr int kCaveTextureSize = 1024;
double AtlasBrightness(int tile);

CaveAsset BuildCave();
vqtools::Image BuildCaveTexture(int size);
} // namespace dance
