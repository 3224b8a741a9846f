// Writes every asset of the landscape scene into the data folder given as the first argument:
// the island terrain, its textures and material map, the castle, the sky's cube faces and the
// camera flight. Deterministic: the same files on every run.
#include "CameraFlight.h"
#include "CastleModel.h"
#include "IslandTerrain.h"
#include "LandscapeTextures.h"
#include "TerrainMesh.h"

#include "Image.h"
#include "app/platform/DataNames.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: %s <data folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    using namespace landscape;
    using namespace datafile;

    const IslandTerrain terrain;
    vqtools::WriteBytesOrDie(dir + kIsland, hlf::WriteIHLF(BuildTerrainQuads(terrain)));
    vqtools::WriteBmpOrDie(dir + kMaterialMap, BuildMaterialMap(terrain, 512));
    vqtools::WriteBytesOrDie(dir + kCastle, hlf::WriteKHLF(BuildCastle(terrain.Castle())));
    vqtools::WriteBytesOrDie(dir + kCameraFlight, hlf::WriteCHLF(BuildCameraFlight()));

    vqtools::WriteJpegOrDie(dir + kMountainTexture, MakeRockTexture(512));
    vqtools::WriteBmpOrDie(dir + kShrubTexture, MakeShrubTexture(512));
    vqtools::WriteBmpOrDie(dir + kGravelTexture, MakeGravelTexture(512));
    vqtools::WriteBmpOrDie(dir + kBarkTexture, MakeBarkTexture(256));
    vqtools::WriteBmpOrDie(dir + kLeafTexture, MakeLeafTexture(256));
    vqtools::WriteJpegOrDie(dir + kCastleTexture, MakeCastleTexture(512));

    for (int f = 0; f < 6; ++f)
        vqtools::WriteBmpOrDie(dir + kSkyFaces[f], MakeSkyFace(f, 256));
    return 0;
}
