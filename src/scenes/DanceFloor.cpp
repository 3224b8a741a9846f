#include "scenes/DanceFloor.h"

#include "math/random.h"

namespace dancefloor
{
namespace
{
struct LightBlock
{
    int row0, col0; // first tile row p and column q of the 3 x 3 block
    float x, z;     // position on the floor's plane
};
// GL_LIGHT0..3 in the order they are set.
constexpr LightBlock kBlocks[kLights] = {
    {0, 0, 1.0f, 1.0f}, {3, 3, 4.0f, 4.0f}, {3, 0, 4.0f, 1.0f}, {0, 3, 1.0f, 4.0f}};
} // namespace

void InitTiles(Tiles& tiles)
{
    for (int p = 0; p < kTiles; ++p)
        for (int q = 0; q < kTiles; ++q)
        {
            tiles[p][q][0] = p / 7.0f;
            tiles[p][q][1] = q / 7.0f;
            tiles[p][q][2] = 2.0f * p / 7.0f;
            tiles[p][q][3] = 0.0f;
        }
}

bool IsBeat(float level) { return level > kBeatLevel; }

int DrawTileIndex()
{
    const int k = static_cast<int>(rnd(0.0f, 7.0f));
    return k < kTiles ? (k < 0 ? 0 : k) : kTiles - 1;
}

bool BeatTiles(Tiles& tiles, float level)
{
    if (!IsBeat(level))
        return false;
    for (int n = 0; n < kFlashesPerBeat; ++n)
    {
        const int p = DrawTileIndex();
        const int q = DrawTileIndex();
        float& l = tiles[p][q][3];
        l += 1.0f;
        if (l > 1.0f)
            l = 1.0f;
    }
    return true;
}

void DecayTiles(Tiles& tiles)
{
    for (int p = 0; p < kTiles; ++p)
        for (int q = 0; q < kTiles; ++q)
        {
            float& l = tiles[p][q][3];
            l -= kDecay;
            if (l < 0.0f)
                l = 0.0f;
        }
}

FloorQuad FloorQuadAt(const Tiles& tiles, int i, int j)
{
    const float* t = tiles[i + 3][j + 3];
    const float r = t[0], g = t[1], b = t[2], level = t[3];
    const float s = kTileSize;
    const float x0 = kOriginX + i * s, z0 = kOriginZ + j * s;
    FloorQuad quad = {
        {r * 0.2f + r * level, g * 0.2f + g * level, b * 0.2f + b * level, 0.0f},
        {{x0, kFloorY, z0}, {x0 + s, kFloorY, z0}, {x0 + s, kFloorY, z0 + s}, {x0, kFloorY, z0 + s}}};
    return quad;
}

TileLight TileLightAt(const Tiles& tiles, int light)
{
    const LightBlock& block = kBlocks[light < 0 ? 0 : (light >= kLights ? kLights - 1 : light)];
    TileLight out = {{block.x, kFloorY, block.z, 1.0f},
                     {0.4f, 0.1f, 0.4f, 0.0f},
                     {0.0f, 0.0f, 0.0f, 0.0f},
                     {1.0f, 1.0f, 1.0f, 0.0f}};
    for (int p = block.row0; p < block.row0 + 3; ++p)
        for (int q = block.col0; q < block.col0 + 3; ++q)
            for (int c = 0; c < 3; ++c)
                out.diffuse[c] += tiles[p][q][c] * tiles[p][q][3];
    return out;
}
TileLight DefaultLight(int light)
{
    // Light 0 shines white by default, the others not at all; every one points down -z.
    const float on = light == 0 ? 1.0f : 0.0f;
    return TileLight{
        {0.0f, 0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f}, {on, on, on, 1.0f}, {on, on, on, 1.0f}};
}
} // namespace dancefloor
