#pragma once
// The name of every file the piece reads from its data folder, as it opens it (bare relative
// names; the character's list in the Windows spelling the piece has always used). The program and
// the generators that write the files both take the names from here.
namespace datafile
{
constexpr const char* kMusic = "vqmusikk_best4.mp3";
constexpr const char* kClosingPicture = "slutt.jpg";

// Landscape
constexpr const char* kIsland = "oy_notfinal2.ihlf";
constexpr const char* kCastle = "slott_final4.khlf";
constexpr const char* kCameraFlight = "vq_accumcam.chlf";
constexpr const char* kMountainTexture = "FjellText.jpg";
constexpr const char* kBarkTexture = "tre_01_r.bmp";
constexpr const char* kLeafTexture = "blader.bmp";
constexpr const char* kCastleTexture = "slott_tekstur.jpg";
constexpr const char* kShrubTexture = "kratt_01_r.bmp";
constexpr const char* kGravelTexture = "grus_01_r.bmp";
constexpr const char* kMaterialMap = "MatMap4.bmp";
// The sky's cube faces in the order +x, -x, +y, -y, +z, -z.
constexpr const char* kSkyFaces[6] = {"pos_x.bmp", "neg_x.bmp", "pos_y.bmp",
                                      "neg_y.bmp", "pos_z.bmp", "neg_z.bmp"};

// Vortex
constexpr const char* kLogoModel = "kro_logo2.khlf";
constexpr const char* kWaterCube = "water_d2.bmp";
constexpr const char* kSlimeCube = "PlasmaSlime.bmp";
constexpr const char* kLogoPicture = "Kro_logo.bmp";
constexpr const char* kCodeCard = "code_tarvek.bmp";
constexpr const char* kGraphicsCard = "gfx_Dranbuke.bmp";

// Dance
constexpr const char* kCave = "dansehule_final.khlf";
constexpr const char* kCaveTexture = "fjell3.bmp";
constexpr const char* kCharacterList = ".\\MrKalv\\MrKalv.ohlf";
constexpr const char* kCharacterFolder = "MrKalv"; // the list and its parts' files live here
constexpr const char* kCharacterListFile = "MrKalv.ohlf";

// Shader pairs: "VQ_SHADER_" + effect + ".vert" / ".frag".
constexpr const char* kShaderEffects[9] = {"Additiv", "Fade", "Transparent", "Brightpass", "Blur",
                                           "Terrain", "Vann", "EnvMap",      "Logo"};
} // namespace datafile
