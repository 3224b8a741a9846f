#pragma once
// The island's ground turned into the island file's quads, and the material map that tells the
// terrain shader where rock, shrub and gravel lie.
//
// The mesh is a rectilinear grid whose lines run through every tree point's x and z, so each
// tree point is a grid vertex and the drawn ground passes through it exactly, whichever way the
// renderer splits a quad. Quads that lie wholly under the sea bed's hidden depths are left out.
#include "Image.h"
#include "IslandTerrain.h"
#include "formats/HlfFormats.h"

#include <vector>

namespace landscape
{
// World units per repeat of the detail textures (texture set 0).
constexpr double kDetailTile = 12.0;
// Target spacing of the grid lines, and the lowest ground a quad may have and still be drawn: the
// sea's troughs never reach this far down, so quads below it are never seen.
constexpr double kGridSpacing = 2.5;
constexpr double kHiddenBelow = 3.0;

// Grid coordinates from lo to hi about `spacing` apart, with every knot inside (lo, hi) on a
// line; knots closer than minGap to one already placed share its line.
std::vector<double> GridLines(double lo, double hi, std::vector<double> knots, double spacing, double minGap);

std::vector<hlf::IhlfQuad> BuildTerrainQuads(const IslandTerrain& terrain);

// Texture set 1: the material map spans the terrain square once.
inline double MaterialS(double x) { return (x - kTerrainX0) / kTerrainSize; }
inline double MaterialT(double z) { return (z - kTerrainZ0) / kTerrainSize; }

// Share of each material on the ground at (x, z): steep slopes are rock, the shore is gravel,
// the rest shrub. The three sum to one.
struct MaterialWeights
{
    double rock, shrub, gravel;
};
MaterialWeights MaterialAt(const IslandTerrain& terrain, double x, double z);

// The material map: red = rock (texture1), green = shrub (texture2), blue = gravel (texture3);
// every texel's three channels sum to exactly 255. Texel row 0 is the top of the picture, which
// the bitmap stores last, so the texture's t runs with world z.
vqtools::Image BuildMaterialMap(const IslandTerrain& terrain, int size);
} // namespace landscape
