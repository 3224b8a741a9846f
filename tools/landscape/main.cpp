// Writes every asset of the landscape scene into the data folder given as the first argument:
// the island terrain, its textures and material map, the castle, the sky's cube faces and the
// camera flight. Deterministic: the same files on every run.
#include "CameraFlight.h"
#include "CastleModel.h"
#include "IslandTerrain.h"
#include "LandscapeTextures.h"
#include "TerrainMesh.h"

#include "Image.h"

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

    const IslandTerrain terrain;
    vqtools::WriteBytesOrDie(dir + "oy_notfinal2.ihlf", hlf::WriteIHLF(BuildTerrainQuads(terrain)));
    vqtools::WriteBmpOrDie(dir + "MatMap4.bmp", BuildMaterialMap(terrain, 512));
    vqtools::WriteBytesOrDie(dir + "slott_final4.khlf", hlf::WriteKHLF(BuildCastle(terrain.Castle())));
    vqtools::WriteBytesOrDie(dir + "vq_accumcam.chlf", hlf::WriteCHLF(BuildCameraFlight()));

    vqtools::WriteJpegOrDie(dir + "FjellText.jpg", MakeRockTexture(512));
    vqtools::WriteBmpOrDie(dir + "kratt_01_r.bmp", MakeShrubTexture(512));
    vqtools::WriteBmpOrDie(dir + "grus_01_r.bmp", MakeGravelTexture(512));
    vqtools::WriteBmpOrDie(dir + "tre_01_r.bmp", MakeBarkTexture(256));
    vqtools::WriteBmpOrDie(dir + "blader.bmp", MakeLeafTexture(256));
    vqtools::WriteJpegOrDie(dir + "slott_tekstur.jpg", MakeCastleTexture(512));

    const char* faces[6] = {"pos_x.bmp", "neg_x.bmp", "pos_y.bmp", "neg_y.bmp", "pos_z.bmp", "neg_z.bmp"};
    for (int f = 0; f < 6; ++f)
        vqtools::WriteBmpOrDie(dir + faces[f], MakeSkyFace(f, 256));
    return 0;
}
