#pragma once
// MrKalv's body parts: each part's model in its own frame (see CalfRig.h) and its texture, an
// atlas whose left three quarters hold the part's pattern (fur, shirt, trousers, ...) and whose
// right quarter holds four solid colour cells for small features (eyes, snout, buckle, soles).
#include "CalfRig.h"

#include "Image.h"
#include "formats/HlfFormats.h"

namespace dance
{
struct PartAsset
{
    hlf::KhlfModel model;
    vqtools::Image texture; // 256 x 256; first row at t = 0, as the JPEG reader delivers it
    int triangles = 0;
};

PartAsset BuildCalfPart(Part part);
} // namespace dance
