#pragma once
// The vortex scene's pictures: two environment maps for the liquid blob, the group's logo for the
// logo grid. Every picture is a pure function of its size (fixed seeds).
#include "Image.h"
#include "LogoShapes.h"

#include <vector>

namespace vortexgen
{
// Deep blue water with a bright caustic web, lighter towards the middle.
vqtools::Image WaterPicture(int size);
// A green-violet plasma with slimy highlights.
vqtools::Image SlimePicture(int size);
// "KRO" in hot chrome with a dark rim on black, letters stretched upwards by 4/3 so they read at
// their own proportions after the scene's square buffer is shown on the 4:3 window.
vqtools::Image LogoPicture(int size, const std::vector<Shape>& letters);

// The scene puts the same picture on all six faces of a cube map, so every edge meets every other
// edge, either way round. Blends a band along the borders (band = fraction of the size) of a
// square field (size x size, row by row) towards the average of its eight square symmetries, with
// the average's lost contrast restored: at the border itself every edge then has the same profile,
// read the same from both ends.
void SymmetriseBorders(std::vector<float>& field, int size, float band);
} // namespace vortexgen
