#pragma once
// The landscape's pictures, painted from noise: they tile seamlessly (the terrain repeats its
// detail textures every few units, the bark wraps around each branch), and every one has a
// power-of-two size.
#include "Image.h"

namespace landscape
{
// "FjellText.jpg": weathered grey rock with cracks and lichen.
vqtools::Image MakeRockTexture(int size);
// "kratt_01_r.bmp": low shrub and grass.
vqtools::Image MakeShrubTexture(int size);
// "grus_01_r.bmp": shingle, rounded pebbles in sand.
vqtools::Image MakeGravelTexture(int size);
// "tre_01_r.bmp": bark with vertical furrows. Each branch segment shows the texture's lower
// half (t from 0 to 0.5), so the pattern repeats every half picture and segments join.
vqtools::Image MakeBarkTexture(int size);
// "blader.bmp": a bunch of leaves on pure black; the leaf program drops the black texels, so no
// leaf texel is dark enough to be mistaken for background.
vqtools::Image MakeLeafTexture(int size);
// Darkest channel maximum a leaf texel has (the background is 0).
constexpr int kLeafMinBrightness = 48;

// "slott_tekstur.jpg": the castle's atlas. The JPEG's first row is t = 0.
//   t in [0, 0.5):    ashlar stone blocks, 8 x 4 world units, repeating across s
//   t in [0.5, 0.75): roof slates, repeating across s
//   t in [0.75, 1]:   s < 0.5 a window opening, s >= 0.5 the gate's wooden door
struct CastleAtlas
{
    static constexpr double kStoneT0 = 0.0, kStoneT1 = 0.5;
    static constexpr double kStoneWidth = 8.0, kStoneHeight = 4.0; // world units per repeat
    static constexpr double kRoofT0 = 0.5, kRoofT1 = 0.75;
    static constexpr double kOpeningT0 = 0.75, kOpeningT1 = 1.0;
    static constexpr double kWindowS0 = 0.0, kWindowS1 = 0.5, kDoorS0 = 0.5, kDoorS1 = 1.0;
};
vqtools::Image MakeCastleTexture(int size);

// The sky seen in the sea: bright, mostly white, with soft clouds, for the cube map faces in
// the order +x, -x, +y, -y, +z, -z ("pos_x.bmp" ... "neg_z.bmp"). Pictures are top row first,
// as the faces are read (the loader flips the bitmap's bottom-up rows).
vqtools::Rgb SkyColour(double dx, double dy, double dz);
// Direction through texel (i, j) (j = row from the top) of a cube face, by the cube map rules.
void CubeFaceDirection(int face, int i, int j, int size, double dir[3]);
vqtools::Image MakeSkyFace(int face, int size);
} // namespace landscape
