// The landscape's generated content: the terrain carries every tree, rises from the sea and is
// lean; the material map sums to one and matches the ground; the castle stands on its plateau
// clear of the forest; the camera flight brackets the scene, keeps clear of the ground and fades
// as the fade program reads it; the sky and textures are what their loaders and programs expect.
#include "CameraFlight.h"
#include "CastleModel.h"
#include "IslandTerrain.h"
#include "LandscapeTextures.h"
#include "TerrainMesh.h"

#include "formats/IHLF.h"
#include "resource/CTexture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

using namespace landscape;

namespace
{
const IslandTerrain& terrain()
{
    static const IslandTerrain t;
    return t;
}
const std::vector<hlf::IhlfQuad>& quads()
{
    static const std::vector<hlf::IhlfQuad> q = BuildTerrainQuads(terrain());
    return q;
}

// Height of the drawn mesh at (x, z) under one of the two ways a quad may be split into
// triangles (diagonal 0-2 or 1-3); NaN when no quad covers the point.
double meshHeight(double x, double z, bool diagonal02)
{
    for (const hlf::IhlfQuad& q : quads())
    {
        const double x0 = q.corner[0].pos.x, z0 = q.corner[0].pos.z;
        const double x1 = q.corner[2].pos.x, z1 = q.corner[2].pos.z;
        if (x < x0 || x > x1 || z < z0 || z > z1)
            continue;
        const double u = (x - x0) / (x1 - x0), v = (z - z0) / (z1 - z0);
        // Corners: 0 = (x0, z0), 1 = (x0, z1), 2 = (x1, z1), 3 = (x1, z0).
        const double h0 = q.corner[0].pos.y, h1 = q.corner[1].pos.y, h2 = q.corner[2].pos.y,
                     h3 = q.corner[3].pos.y;
        if (diagonal02)
            return u <= v ? h0 + (h2 - h1) * u + (h1 - h0) * v : h0 + (h3 - h0) * u + (h2 - h3) * v;
        return u + v <= 1 ? h0 + (h3 - h0) * u + (h1 - h0) * v
                          : h2 + (h1 - h2) * (1 - u) + (h3 - h2) * (1 - v);
    }
    return std::nan("");
}

std::string tempPath(const char* name)
{
    return "/tmp/vq_landscape_" + std::to_string(getpid()) + "_" + name;
}
} // namespace

// --- Terrain ---

TEST(LandscapeTerrain, DrawnGroundPassesWithinHalfAUnitOfEveryTreeRow)
{
    for (int n = 0; n < ihlf::kTrees; ++n)
    {
        const double x = ihlf::treeveclist[n][0], y = ihlf::treeveclist[n][1], z = ihlf::treeveclist[n][2];
        for (bool diagonal : {false, true})
        {
            const double h = meshHeight(x, z, diagonal);
            ASSERT_FALSE(std::isnan(h)) << "no terrain quad under tree row " << n;
            EXPECT_NEAR(h, y, 0.5) << "tree row " << n << (diagonal ? " (split 0-2)" : " (split 1-3)");
        }
        EXPECT_NEAR(terrain().Height(x, z), y, 1e-3) << "height field at tree row " << n;
        // The tree itself stands one unit below its row: rooted, not floating.
        EXPECT_LT(ihlf::TreePosition(n).y, meshHeight(x, z, true));
    }
}

TEST(LandscapeTerrain, RisesFromTheSeaAndIsSurroundedByIt)
{
    const double x1 = kTerrainX0 + kTerrainSize, z1 = kTerrainZ0 + kTerrainSize;
    double top = -1e9;
    for (double s = 0; s <= 1.0; s += 1.0 / 64)
    {
        for (auto [x, z] : {std::pair{kTerrainX0 + s * kTerrainSize, kTerrainZ0},
                            std::pair{kTerrainX0 + s * kTerrainSize, z1},
                            std::pair{kTerrainX0, kTerrainZ0 + s * kTerrainSize},
                            std::pair{x1, kTerrainZ0 + s * kTerrainSize}})
            EXPECT_LT(terrain().Height(x, z), kSeaLevel - 2)
                << "terrain edge above the water at " << x << ", " << z;
    }
    for (const hlf::IhlfQuad& q : quads())
        for (const hlf::IhlfCorner& c : q.corner)
            top = std::max(top, static_cast<double>(c.pos.y));
    EXPECT_GT(top, 50.0);
    EXPECT_LT(top, 70.0);
    EXPECT_GT(terrain().Castle().y, kSeaLevel + 20);
}

TEST(LandscapeTerrain, MeshIsLeanWithUpwardUnitNormalsAndBothTextureSets)
{
    ASSERT_GT(quads().size(), 1000u);
    EXPECT_LT(quads().size(), 8000u);
    for (const hlf::IhlfQuad& q : quads())
    {
        const hlf::IhlfCorner* c = q.corner;
        // Axis-aligned cells, corners in the order the mesh promises.
        ASSERT_EQ(c[0].pos.x, c[1].pos.x);
        ASSERT_EQ(c[2].pos.x, c[3].pos.x);
        ASSERT_EQ(c[0].pos.z, c[3].pos.z);
        ASSERT_EQ(c[1].pos.z, c[2].pos.z);
        ASSERT_LT(c[0].pos.x, c[2].pos.x);
        ASSERT_LT(c[0].pos.z, c[2].pos.z);
        for (int k = 0; k < 4; ++k)
        {
            const svect3f n = c[k].normal;
            ASSERT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0, 1e-4);
            ASSERT_GT(n.y, 0.1f);
            ASSERT_NEAR(c[k].s0, c[k].pos.x / kDetailTile, 1e-4);
            ASSERT_NEAR(c[k].t0, c[k].pos.z / kDetailTile, 1e-4);
            ASSERT_GE(c[k].s1, 0.0f);
            ASSERT_LE(c[k].s1, 1.0f);
            ASSERT_NEAR(c[k].s1, MaterialS(c[k].pos.x), 1e-5);
            ASSERT_NEAR(c[k].t1, MaterialT(c[k].pos.z), 1e-5);
        }
    }
}

TEST(LandscapeTerrain, IslandFileStoresTheSecondPairTFirst)
{
    const std::vector<std::uint8_t> bytes = hlf::WriteIHLF(quads());
    ASSERT_EQ(bytes.size(), quads().size() * 160);
    const hlf::IhlfCorner& c = quads()[quads().size() / 2].corner[1];
    float at32, at36;
    std::memcpy(&at32, &bytes[quads().size() / 2 * 160 + 40 + 32], 4);
    std::memcpy(&at36, &bytes[quads().size() / 2 * 160 + 40 + 36], 4);
    EXPECT_EQ(at32, c.t1);
    EXPECT_EQ(at36, c.s1);
    EXPECT_NE(c.s1, c.t1);
}

TEST(LandscapeTerrain, GridLinesRunThroughKnotsAndStayNearTheSpacing)
{
    const std::vector<double> lines = GridLines(-10, 10, {-3.3, 0.05, 0.1, 7.77, 9.95}, 2.5, 0.3);
    EXPECT_EQ(lines.front(), -10);
    EXPECT_EQ(lines.back(), 10);
    for (double knot : {-3.3, 0.05, 7.77})
        EXPECT_NE(std::find(lines.begin(), lines.end(), knot), lines.end()) << knot;
    // 0.1 is within the merge gap of 0.05, and 9.95 of the end: they share those lines.
    EXPECT_EQ(std::find(lines.begin(), lines.end(), 0.1), lines.end());
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
    {
        EXPECT_GT(lines[i + 1] - lines[i], 0.29);
        EXPECT_LE(lines[i + 1] - lines[i], 2.5 * 1.34);
    }
}

// --- Material map ---

TEST(LandscapeMaterials, EveryTexelsWeightsSumToOne)
{
    const vqtools::Image map = BuildMaterialMap(terrain(), 128);
    for (int j = 0; j < map.height; ++j)
        for (int i = 0; i < map.width; ++i)
        {
            const std::uint8_t* p = map.at(i, j);
            ASSERT_EQ(p[0] + p[1] + p[2], 255) << "texel " << i << ", " << j;
        }
}

TEST(LandscapeMaterials, MapMatchesTheGroundWhereTheShaderReadsIt)
{
    // Written and read back as the piece reads it (bottom row first, t = 0 at the first row), then
    // sampled where the terrain's texture set 1 points.
    const int size = 256;
    const std::string path = tempPath("matmap.bmp");
    vqtools::WriteBmpOrDie(path, BuildMaterialMap(terrain(), size));
    BitmapImage img;
    std::string error;
    ASSERT_EQ(ReadBitmap(path, img, error), 0) << error;
    std::remove(path.c_str());
    auto texel = [&](double x, double z)
    {
        const int i = std::clamp(static_cast<int>(MaterialS(x) * size), 0, size - 1);
        const int j = std::clamp(static_cast<int>(MaterialT(z) * size), 0, size - 1);
        return &img.rgb[(static_cast<std::size_t>(j) * size + i) * 3];
    };

    // Gravel on the shore, just above the water line all round.
    int shore = 0;
    for (int a = 0; a < 72; ++a)
    {
        const double ang = a * 2 * 3.14159265 / 72;
        for (double r = 40; r < 120; r += 0.1)
        {
            const double x = -14 + std::cos(ang) * r, z = 6 + std::sin(ang) * r;
            const double h = terrain().Height(x, z);
            if (h > kSeaLevel + 0.2 && h < kSeaLevel + 1.0)
            {
                const std::uint8_t* p = texel(x, z);
                EXPECT_GT(p[2], 200) << "no gravel on the shore at " << x << ", " << z;
                ++shore;
                break;
            }
        }
    }
    EXPECT_GT(shore, 50);

    // Shrub under the trees on gentle ground, rock on the steepest faces.
    for (const IslandTerrain::Point& p : terrain().TreePoints())
    {
        double dx, dz;
        terrain().Gradient(p.x, p.z, dx, dz);
        if (std::hypot(dx, dz) < 0.5 && p.y > kSeaLevel + 6 && p.y < 45)
        {
            EXPECT_GT(texel(p.x, p.z)[1], 200) << "no shrub under the tree at " << p.x << ", " << p.z;
        }
    }
    double steepest = 0, sx = 0, sz = 0;
    for (double x = -100; x < 80; x += 1.5)
        for (double z = -90; z < 100; z += 1.5)
        {
            double dx, dz;
            terrain().Gradient(x, z, dx, dz);
            if (terrain().Height(x, z) > kSeaLevel + 8 && std::hypot(dx, dz) > steepest)
            {
                steepest = std::hypot(dx, dz);
                sx = x;
                sz = z;
            }
        }
    EXPECT_GT(texel(sx, sz)[0], 200) << "no rock on the steepest face at " << sx << ", " << sz;
}

// --- Castle ---

TEST(LandscapeCastle, StandsOnItsPlateauClearOfTheForestWithValidRecords)
{
    const CastleSite& site = terrain().Castle();
    const hlf::KhlfModel castle = BuildCastle(site);
    ASSERT_GT(castle.faces.size(), 200u);
    ASSERT_LT(castle.vertices.size(), 32768u);
    double reach = 0, lowest = 1e9, highest = -1e9;
    for (const hlf::KhlfVertex& v : castle.vertices)
    {
        ASSERT_NEAR(std::sqrt(v.normal * v.normal), 1.0, 1e-4);
        ASSERT_GE(v.t, 0.0f);
        ASSERT_LE(v.t, 1.0f);
        reach = std::max(reach, std::hypot(v.pos.x - site.x, v.pos.z - site.z));
        lowest = std::min(lowest, static_cast<double>(v.pos.y));
        highest = std::max(highest, static_cast<double>(v.pos.y));
    }
    for (const hlf::KhlfFace& f : castle.faces)
        for (int k = 0; k < f.corners(); ++k)
            ASSERT_LT(static_cast<std::size_t>(f.index[k]), castle.vertices.size());

    // Its foundations reach into the ground everywhere under it: no wall hangs in the air.
    for (const hlf::KhlfVertex& v : castle.vertices)
        if (v.pos.y < lowest + 1e-3)
        {
            EXPECT_GT(terrain().Height(v.pos.x, v.pos.z), v.pos.y + 1.0) << v.pos.x << ", " << v.pos.z;
        }
    EXPECT_GT(highest - site.y, 25.0);
    EXPECT_LT(reach, 22.0);
    // No tree grows through it.
    for (const IslandTerrain::Point& p : terrain().TreePoints())
        EXPECT_GT(std::hypot(p.x - site.x, p.z - site.z), reach + 4) << "tree at " << p.x << ", " << p.z;
}

TEST(LandscapeCastle, NormalsAreStoredFacingIntoTheStone)
{
    // Stored normals face into the stone (see CastleModel.h), so fixed-function lighting lights
    // the faces the shaders' sun lights. The cone roofs (the model's only triangles) show it: their
    // stored normals point down and in, against the roofs' own winding.
    const hlf::KhlfModel castle = BuildCastle(terrain().Castle());
    int roofs = 0;
    for (const hlf::KhlfFace& f : castle.faces)
    {
        if (f.corners() != 3)
            continue;
        ++roofs;
        const svect3f a = castle.vertices[f.index[0]].pos, b = castle.vertices[f.index[1]].pos,
                      c = castle.vertices[f.index[2]].pos;
        const svect3f winding = (b - a) % (c - a);
        for (int k = 0; k < 3; ++k)
        {
            const svect3f n = castle.vertices[f.index[k]].normal;
            ASSERT_LT(n.y, -0.3f);
            ASSERT_LT(n * winding, 0.0f);
        }
    }
    EXPECT_EQ(roofs, 4 * 14 + 10);
}

// --- Camera flight ---

TEST(LandscapeFlight, NodeTimesIncreaseStrictlyAndBracketTheScene)
{
    const std::vector<hlf::ChlfNode> nodes = BuildCameraFlight();
    ASSERT_GE(nodes.size(), 2u);
    ASSERT_LE(nodes.size(), 10000u);
    EXPECT_LT(nodes.front().time, 0);
    EXPECT_GT(nodes.back().time, kSceneEndMs);
    for (std::size_t i = 0; i + 1 < nodes.size(); ++i)
    {
        ASSERT_LT(nodes[i].time, nodes[i + 1].time) << "node " << i;
        EXPECT_LE(nodes[i + 1].time - nodes[i].time, 250) << "playback is linear: nodes must be close";
    }
    // Captures at the usual rates never land exactly on a node (such a frame would keep the
    // previous frame's camera).
    std::set<int> times;
    for (const hlf::ChlfNode& n : nodes)
        times.insert(n.time);
    for (int fps : {10, 20, 24, 25, 30, 50, 60})
        for (int f = 0; f * 1000.0 / fps < kSceneEndMs; ++f)
        {
            const int ms = static_cast<int>(static_cast<float>(f) / fps * 1000.0f);
            ASSERT_EQ(times.count(ms), 0u) << fps << " fps frame at " << ms << " ms";
        }
}

TEST(LandscapeFlight, FadesInFromBlackStaysPlainAndGoesToWhiteAtTheCut)
{
    const std::vector<hlf::ChlfNode> nodes = BuildCameraFlight();
    EXPECT_NEAR(nodes.front().fade, 0.0f, 1e-6);
    EXPECT_NEAR(nodes.back().fade, 2.0f, 1e-6);
    for (std::size_t i = 0; i < nodes.size(); ++i)
    {
        const hlf::ChlfNode& n = nodes[i];
        ASSERT_GE(n.fade, 0.0f);
        ASSERT_LE(n.fade, 2.0f);
        if (i > 0)
        {
            ASSERT_GE(n.fade, nodes[i - 1].fade) << "fade goes back at " << n.time << " ms";
        }
        if (n.time >= 3000 && n.time <= 46000)
        {
            ASSERT_EQ(n.fade, 1.0f) << n.time << " ms";
        }
        EXPECT_EQ(n.up.x, 0.0f);
        EXPECT_EQ(n.up.y, 1.0f);
        EXPECT_EQ(n.up.z, 0.0f);
    }
    EXPECT_GT(FlightFade(1000), 0.05f);
    EXPECT_LT(FlightFade(1000), 0.95f);
    EXPECT_GT(FlightFade(49500), 1.2f);
    EXPECT_GT(FlightFade(kSceneEndMs - 10), 1.95f);
}

TEST(LandscapeFlight, KeepsClearOfGroundWaterTreesAndCastle)
{
    const CastleSite& site = terrain().Castle();
    for (int ms = 0; ms <= kSceneEndMs; ms += 50)
    {
        double eye[3], center[3];
        FlightAt(ms, eye, center);
        const double ground = std::max(terrain().Height(eye[0], eye[2]), kSeaLevel);
        ASSERT_GT(eye[1], ground + 4.0) << "at " << ms << " ms";
        for (const IslandTerrain::Point& p : terrain().TreePoints())
        {
            if (std::hypot(eye[0] - p.x, eye[2] - p.z) < 8.0)
            {
                ASSERT_GT(eye[1], p.y + 24.0)
                    << "in the crown of the tree at " << p.x << ", " << p.z << " at " << ms << " ms";
            }
        }
        if (std::hypot(eye[0] - site.x, eye[2] - site.z) < 24.0)
        {
            ASSERT_GT(eye[1], site.y + 32.0) << "inside the castle at " << ms << " ms";
        }
        ASSERT_GT(std::hypot(center[0] - eye[0], center[1] - eye[1], center[2] - eye[2]), 20.0);
    }
}

TEST(LandscapeFlight, MovesSmoothly)
{
    // Speed between 100 ms samples never jumps: the key spline is continuous in velocity.
    double prev[3], c[3], prevSpeed = -1;
    FlightAt(0, prev, c);
    for (int ms = 100; ms <= kSceneEndMs; ms += 100)
    {
        double eye[3];
        FlightAt(ms, eye, c);
        const double speed = std::hypot(eye[0] - prev[0], eye[1] - prev[1], eye[2] - prev[2]);
        if (prevSpeed >= 0)
        {
            ASSERT_LT(std::fabs(speed - prevSpeed), 0.6) << "at " << ms << " ms";
        }
        EXPECT_LT(speed, 4.0) << "faster than 40 units a second at " << ms << " ms";
        prevSpeed = speed;
        std::copy(eye, eye + 3, prev);
    }
}

// --- Sky and textures ---

TEST(LandscapeSky, FaceTexelsFollowTheCubeMapSelectionRules)
{
    // The inverse of the GL rules: the direction through a texel must select that face and land
    // on that texel again.
    const int size = 16;
    for (int face = 0; face < 6; ++face)
        for (int j = 0; j < size; ++j)
            for (int i = 0; i < size; ++i)
            {
                double d[3];
                CubeFaceDirection(face, i, j, size, d);
                const double ax = std::fabs(d[0]), ay = std::fabs(d[1]), az = std::fabs(d[2]);
                int f;
                double sc, tc, ma;
                if (ax >= ay && ax >= az)
                {
                    f = d[0] > 0 ? 0 : 1;
                    ma = ax;
                    sc = d[0] > 0 ? -d[2] : d[2];
                    tc = -d[1];
                }
                else if (ay >= az)
                {
                    f = d[1] > 0 ? 2 : 3;
                    ma = ay;
                    sc = d[0];
                    tc = d[1] > 0 ? d[2] : -d[2];
                }
                else
                {
                    f = d[2] > 0 ? 4 : 5;
                    ma = az;
                    sc = d[2] > 0 ? d[0] : -d[0];
                    tc = -d[1];
                }
                ASSERT_EQ(f, face);
                EXPECT_EQ(static_cast<int>((sc / ma + 1) / 2 * size), i);
                EXPECT_EQ(static_cast<int>((tc / ma + 1) / 2 * size), j);
            }
}

TEST(LandscapeSky, IsBrightAndMostlyWhiteAndBlueOverhead)
{
    double sum = 0;
    int n = 0;
    for (int face = 0; face < 6; ++face)
    {
        const vqtools::Image img = MakeSkyFace(face, 32);
        for (int j = 0; j < 32; ++j)
            for (int i = 0; i < 32; ++i)
            {
                const vqtools::Rgb c = img.get(i, j);
                ASSERT_GT(std::min({c.r, c.g, c.b}), 0.6f);
                sum += (c.r + c.g + c.b) / 3;
                ++n;
            }
    }
    EXPECT_GT(sum / n, 0.88);
    const vqtools::Rgb zenith = SkyColour(0.01, 1, 0.02), horizon = SkyColour(1, 0.001, 0);
    EXPECT_LT(zenith.r, zenith.b);
    EXPECT_GT(horizon.r, 0.97f);
}

TEST(LandscapeTextures, DetailTexturesTileWithoutSeams)
{
    // The step across the wrap (last column to first, last row to first) is no larger than the
    // steps inside the picture.
    for (const vqtools::Image& img : {MakeRockTexture(128), MakeShrubTexture(128), MakeGravelTexture(128)})
    {
        double inside = 0, across = 0, insideRows = 0, acrossRows = 0;
        for (int k = 0; k < 128; ++k)
        {
            for (int c = 0; c < 3; ++c)
            {
                inside += std::abs(img.at(63, k)[c] - img.at(64, k)[c]);
                across += std::abs(img.at(127, k)[c] - img.at(0, k)[c]);
                insideRows += std::abs(img.at(k, 63)[c] - img.at(k, 64)[c]);
                acrossRows += std::abs(img.at(k, 127)[c] - img.at(k, 0)[c]);
            }
        }
        EXPECT_LT(across, inside * 2.0 + 200);
        EXPECT_LT(acrossRows, insideRows * 2.0 + 200);
    }
}

TEST(LandscapeTextures, BarkRepeatsEveryHalfPictureForItsSegments)
{
    const vqtools::Image bark = MakeBarkTexture(64);
    for (int j = 0; j < 32; ++j)
        for (int i = 0; i < 64; ++i)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(bark.at(i, j)[c], bark.at(i, j + 32)[c]);
}

TEST(LandscapeTextures, LeavesAreBrightOnPureBlack)
{
    const vqtools::Image leaf = MakeLeafTexture(128);
    int covered = 0;
    for (int j = 0; j < leaf.height; ++j)
        for (int i = 0; i < leaf.width; ++i)
        {
            const std::uint8_t* p = leaf.at(i, j);
            const int top = std::max({p[0], p[1], p[2]});
            if (top == 0)
                continue;
            ++covered;
            // The leaf program drops texels whose brightest channel is below 0.08.
            ASSERT_GE(top, kLeafMinBrightness) << i << ", " << j;
            ASSERT_GT(p[1], p[2]) << "leaves are green";
        }
    for (auto [i, j] : {std::pair{0, 0}, {127, 0}, {0, 127}, {127, 127}})
        EXPECT_EQ(std::max({leaf.at(i, j)[0], leaf.at(i, j)[1], leaf.at(i, j)[2]}), 0);
    EXPECT_GT(covered, leaf.width * leaf.height / 3);
}

TEST(LandscapeTextures, GeneratorsAreDeterministic)
{
    EXPECT_EQ(MakeCastleTexture(64).rgb, MakeCastleTexture(64).rgb);
    EXPECT_EQ(MakeLeafTexture(64).rgb, MakeLeafTexture(64).rgb);
    const IslandTerrain again;
    EXPECT_EQ(hlf::WriteIHLF(BuildTerrainQuads(again)), hlf::WriteIHLF(quads()));
}
