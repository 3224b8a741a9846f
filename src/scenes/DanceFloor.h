#pragma once
// The dance scene's disco floor without GL: 7 x 7 tiles of (r, g, b, level), the beat that
// flashes five random tiles, the decay of 0.1 per frame, the 49 floor quads and the four lights
// the tiles colour. The scene only turns these numbers into GL calls.
//
// Tile [p][q]: p is the row along world x, q the column along z. Base colour (p/7, q/7, 2p/7):
// blue exceeds 1 from p = 4 on and is clamped when drawn.
#include "app/platform/Timeline.h"

namespace dancefloor
{
constexpr int kTiles = 7;
constexpr float kTileSize = 4.7428575f; // single precision, as the floor has always been laid
constexpr float kOriginX = -8.76f;      // corner of the middle tile (i = j = 0)
constexpr float kOriginZ = -28.33f;
constexpr float kFloorY = -8.0f;
constexpr float kBeatLevel = timeline::kFlashLevel; // range(2, 3) strictly above this is a beat
constexpr int kFlashesPerBeat = 5;
constexpr float kDecay = 0.1f;
constexpr int kLights = 4;

using Tiles = float[kTiles][kTiles][4];

// Base colours, every level 0.
void InitTiles(Tiles& tiles);
bool IsBeat(float level);
// One tile index from rnd(0, 7), truncated; the draw of exactly 7 (the generator's maximum)
// would address a tile beyond the floor and is taken as 6.
int DrawTileIndex();
// The beat step: if level is a beat, five tiles (p drawn before q each time) go up by 1, capped
// at 1. Returns whether it was a beat.
bool BeatTiles(Tiles& tiles, float level);
// Every level down by 0.1, not below 0.
void DecayTiles(Tiles& tiles);

struct FloorQuad
{
    float colour[4];    // (r, g, b) x (0.2 + level), alpha 0
    float corner[4][3]; // (x0, z0), (x0 + s, z0), (x0 + s, z0 + s), (x0, z0 + s), all at y = -8
};
// The quad of tile [i + 3][j + 3], for i, j in -3..3.
FloorQuad FloorQuadAt(const Tiles& tiles, int i, int j);

struct TileLight
{
    float position[4]; // world position, w = 1
    float ambient[4];
    float diffuse[4]; // summed (r, g, b) x level over the light's 3 x 3 tiles
    float specular[4];
};
// GL_LIGHT0 + light, for light in 0..3 (rows and columns 6 feed none).
TileLight TileLightAt(const Tiles& tiles, int light);
// OpenGL's own defaults for light `light` (position in eye space): what the floor's first frame
// is lit with, before any tile has coloured a light.
TileLight DefaultLight(int light);
} // namespace dancefloor
