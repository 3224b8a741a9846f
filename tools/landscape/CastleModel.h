#pragma once
// The castle on the island's north-eastern plateau: a square curtain wall with crenellations and
// a gate, four round corner towers with tiled cone roofs, a tall keep with battlements and a
// slender stair turret. Built in world coordinates (the scene draws it without a transform),
// textured from the castle atlas (see CastleAtlas).
//
// Lighting note: the scene's light 0 is the vector (0.33, -0.33, 0.33, 0), which fixed-function
// lighting takes as a light shining up from below the horizon, while the terrain and sea shaders
// read it as the direction the sunlight travels (a sun high in the -x, -z sky). The castle is lit
// by fixed-function lighting, so its normals are stored facing into the stone: that makes the
// fixed-function result the same as lighting the outward faces with the shaders' sun.
#include "IslandTerrain.h"
#include "formats/HlfFormats.h"

namespace landscape
{
// Local layout of the castle (before rotation and placement), in world units.
struct CastleLayout
{
    static constexpr double kWallHalf = 12.0; // curtain wall square half-size (wall centre line)
    static constexpr double kWallThick = 1.6;
    static constexpr double kWallHeight = 7.0;
    static constexpr double kTowerRadius = 3.0;
    static constexpr double kTowerHeight = 12.0;
    static constexpr double kKeepHalf = 4.5;
    static constexpr double kKeepHeight = 17.0;
    static constexpr double kTurretHeight = 24.0;
    static constexpr double kFoundation = -12.0; // walls reach this far below the plateau
    static constexpr double kAngle = 0.35;       // rotation about y, radians
};

hlf::KhlfModel BuildCastle(const CastleSite& site);
} // namespace landscape
