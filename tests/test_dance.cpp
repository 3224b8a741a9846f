// The dance scene without a window: the disco floor's tiles, beat, decay, quads and lights, the
// dance the generator wrote (its tracks' capacities, timing and the beat it keeps), and how the
// dance and the cave are staged for the scene's fixed camera, seen through it on the CPU.
#include "formats/CAHLFObj.h"
#include "formats/HlfParse.h"
#include "math/random.h"
#include "scenes/DanceFloor.h"

#include "../tools/music/Tempo.h"
#include "CalfRig.h"
#include "DanceCamera.h"
#include "StageRaster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace dancefloor;
using namespace hlf;

namespace
{
// Seed that makes the next vq_rand() return `value`: the generator's state update is invertible.
unsigned seedGiving(int value)
{
    std::uint32_t inv = 1; // 214013^-1 mod 2^32 by Newton's iteration
    for (int i = 0; i < 5; ++i)
        inv *= 2u - 214013u * inv;
    const std::uint32_t state = static_cast<std::uint32_t>(value) << 16;
    return (state - 2531011u) * inv;
}

float levelSum(const Tiles& t)
{
    float s = 0;
    for (int p = 0; p < kTiles; ++p)
        for (int q = 0; q < kTiles; ++q)
            s += t[p][q][3];
    return s;
}
} // namespace

TEST(DanceFloor, QuadsCoverTheFloorEdgeToEdge)
{
    Tiles t;
    InitTiles(t);
    const float s = 4.7428575f;
    const FloorQuad first = FloorQuadAt(t, -3, -3), last = FloorQuadAt(t, 3, 3);
    EXPECT_FLOAT_EQ(first.corner[0][0], -8.76f - 3 * s);
    EXPECT_FLOAT_EQ(first.corner[0][2], -28.33f - 3 * s);
    EXPECT_FLOAT_EQ(last.corner[2][0], -8.76f + 4 * s);
    EXPECT_FLOAT_EQ(last.corner[2][2], -28.33f + 4 * s);
    // x from -22.989 to 10.211, z from -42.559 to -9.359.
    EXPECT_NEAR(first.corner[0][0], -22.989f, 1e-3f);
    EXPECT_NEAR(last.corner[2][0], 10.211f, 1e-3f);
    EXPECT_NEAR(first.corner[0][2], -42.559f, 1e-3f);
    EXPECT_NEAR(last.corner[2][2], -9.359f, 1e-3f);

    for (int i = -3; i <= 3; ++i)
        for (int j = -3; j <= 3; ++j)
        {
            const FloorQuad q = FloorQuadAt(t, i, j);
            // Corner order (x0, z0), (x0 + s, z0), (x0 + s, z0 + s), (x0, z0 + s), all at y = -8.
            for (const auto& c : q.corner)
                EXPECT_EQ(c[1], -8.0f);
            EXPECT_FLOAT_EQ(q.corner[1][0] - q.corner[0][0], s);
            EXPECT_EQ(q.corner[2][0], q.corner[1][0]);
            EXPECT_FLOAT_EQ(q.corner[2][2] - q.corner[1][2], s);
            EXPECT_EQ(q.corner[3][0], q.corner[0][0]);
            // Neighbours meet without a gap.
            if (i < 3)
            {
                EXPECT_NEAR(FloorQuadAt(t, i + 1, j).corner[0][0], q.corner[1][0], 1e-5f);
            }
            if (j < 3)
            {
                EXPECT_NEAR(FloorQuadAt(t, i, j + 1).corner[0][2], q.corner[3][2], 1e-5f);
            }
        }
}

TEST(DanceFloor, TileColoursDarkAndFlashing)
{
    Tiles t;
    InitTiles(t);
    // Red grows along x (p), green along z (q), blue is twice the red.
    EXPECT_FLOAT_EQ(t[4][2][0], 4 / 7.0f);
    EXPECT_FLOAT_EQ(t[4][2][1], 2 / 7.0f);
    EXPECT_FLOAT_EQ(t[4][2][2], 8 / 7.0f);
    EXPECT_EQ(levelSum(t), 0.0f);

    // Dark: a fifth of the base colour; the quad of tile [p][q] is (i, j) = (p - 3, q - 3).
    FloorQuad q = FloorQuadAt(t, 1, -1);
    EXPECT_FLOAT_EQ(q.colour[0], 0.2f * 4 / 7.0f);
    EXPECT_FLOAT_EQ(q.colour[1], 0.2f * 2 / 7.0f);
    EXPECT_FLOAT_EQ(q.colour[2], 0.2f * 8 / 7.0f);
    EXPECT_EQ(q.colour[3], 0.0f);

    // A flash is decayed before drawing: it shows 0.9, i.e. 1.1 times the base colour.
    t[4][2][3] = 1.0f;
    DecayTiles(t);
    EXPECT_FLOAT_EQ(t[4][2][3], 0.9f);
    q = FloorQuadAt(t, 1, -1);
    EXPECT_NEAR(q.colour[0], 1.1f * 4 / 7.0f, 1e-6f);
    EXPECT_NEAR(q.colour[2], 1.1f * 8 / 7.0f, 1e-6f);

    // Then down by 0.1 a frame to nothing: ten frames in all, never below 0.
    for (int frame = 2; frame <= 10; ++frame)
    {
        DecayTiles(t);
        EXPECT_NEAR(t[4][2][3], 1.0f - 0.1f * frame, 1e-5f) << "frame " << frame;
    }
    DecayTiles(t);
    EXPECT_EQ(t[4][2][3], 0.0f);
    EXPECT_EQ(levelSum(t), 0.0f);
}

TEST(DanceFloor, TheBeatIsStrictlyAboveSixTenths)
{
    EXPECT_FALSE(IsBeat(0.6f));
    EXPECT_TRUE(IsBeat(std::nextafter(0.6f, 1.0f)));
    EXPECT_FALSE(IsBeat(0.0f));

    // No beat: no tile changes and no random number is used.
    Tiles t;
    InitTiles(t);
    vq_srand(99);
    EXPECT_FALSE(BeatTiles(t, 0.6f));
    EXPECT_EQ(levelSum(t), 0.0f);
    const int next = vq_rand();
    vq_srand(99);
    EXPECT_EQ(vq_rand(), next);
}

TEST(DanceFloor, FiveFlashesPerBeatRowDrawnFirst)
{
    for (unsigned seed : {1u, 7u, 12345u})
    {
        // The tiles the draws pick, p before q each time.
        vq_srand(seed);
        std::map<std::pair<int, int>, int> expected;
        for (int n = 0; n < 5; ++n)
        {
            const int p = static_cast<int>(rnd(0.0f, 7.0f));
            const int q = static_cast<int>(rnd(0.0f, 7.0f));
            ++expected[{std::min(p, 6), std::min(q, 6)}];
        }
        Tiles t;
        InitTiles(t);
        vq_srand(seed);
        EXPECT_TRUE(BeatTiles(t, 0.61f));
        for (int p = 0; p < kTiles; ++p)
            for (int q = 0; q < kTiles; ++q)
            {
                // A tile chosen twice still stops at 1.
                const float want = expected.count({p, q}) ? 1.0f : 0.0f;
                EXPECT_EQ(t[p][q][3], want) << "seed " << seed << " tile " << p << "," << q;
            }
        // Exactly ten draws were used.
        vq_srand(seed);
        for (int n = 0; n < 10; ++n)
            vq_rand();
        const int after = vq_rand();
        vq_srand(seed);
        BeatTiles(t, 0.61f);
        EXPECT_EQ(vq_rand(), after);
    }
}

TEST(DanceFloor, ADrawOfSevenStaysOnTheFloor)
{
    vq_srand(seedGiving(VQ_RAND_MAX));
    EXPECT_EQ(DrawTileIndex(), 6);
    vq_srand(seedGiving(0));
    EXPECT_EQ(DrawTileIndex(), 0);
    vq_srand(seedGiving(VQ_RAND_MAX - 1));
    EXPECT_EQ(DrawTileIndex(), 6);

    // A beat whose first row draw is the maximum lights a tile of the last row.
    Tiles t;
    InitTiles(t);
    vq_srand(seedGiving(VQ_RAND_MAX));
    BeatTiles(t, 1.0f);
    float lastRow = 0;
    for (int q = 0; q < kTiles; ++q)
        lastRow += t[6][q][3];
    EXPECT_GE(lastRow, 1.0f);
    EXPECT_LE(levelSum(t), 5.0f);
}

TEST(DanceFloor, LightsFromAKnownTileState)
{
    Tiles t;
    InitTiles(t);
    // All dark: every light's diffuse colour is black.
    for (int l = 0; l < kLights; ++l)
    {
        const TileLight light = TileLightAt(t, l);
        for (float c : light.diffuse)
            EXPECT_EQ(c, 0.0f) << "light " << l;
        EXPECT_EQ(light.ambient[0], 0.4f);
        EXPECT_EQ(light.ambient[1], 0.1f);
        EXPECT_EQ(light.ambient[2], 0.4f);
        EXPECT_EQ(light.ambient[3], 0.0f);
        EXPECT_EQ(light.specular[0], 1.0f);
        EXPECT_EQ(light.specular[3], 0.0f);
        EXPECT_EQ(light.position[1], -8.0f);
        EXPECT_EQ(light.position[3], 1.0f);
    }
    EXPECT_EQ(TileLightAt(t, 0).position[0], 1.0f);
    EXPECT_EQ(TileLightAt(t, 0).position[2], 1.0f);
    EXPECT_EQ(TileLightAt(t, 1).position[0], 4.0f);
    EXPECT_EQ(TileLightAt(t, 1).position[2], 4.0f);
    EXPECT_EQ(TileLightAt(t, 2).position[0], 4.0f);
    EXPECT_EQ(TileLightAt(t, 2).position[2], 1.0f);
    EXPECT_EQ(TileLightAt(t, 3).position[0], 1.0f);
    EXPECT_EQ(TileLightAt(t, 3).position[2], 4.0f);

    // Light 2 takes rows 3..5 and columns 0..2: tiles [3][0] and [5][2] lit.
    t[3][0][3] = 0.5f;
    t[5][2][3] = 0.9f;
    const TileLight l2 = TileLightAt(t, 2);
    EXPECT_NEAR(l2.diffuse[0], 3 / 7.0f * 0.5f + 5 / 7.0f * 0.9f, 1e-6f);
    EXPECT_NEAR(l2.diffuse[1], 0.0f * 0.5f + 2 / 7.0f * 0.9f, 1e-6f);
    EXPECT_NEAR(l2.diffuse[2], 6 / 7.0f * 0.5f + 10 / 7.0f * 0.9f, 1e-6f);
    EXPECT_EQ(l2.diffuse[3], 0.0f);
    for (int other : {0, 1, 3})
        EXPECT_EQ(TileLightAt(t, other).diffuse[0], 0.0f) << "light " << other;

    // Light 3 (rows 0..2, columns 3..5), every tile full: components may pass 1.
    for (int p = 0; p < 3; ++p)
        for (int q = 3; q < 6; ++q)
            t[p][q][3] = 1.0f;
    const TileLight l3 = TileLightAt(t, 3);
    EXPECT_NEAR(l3.diffuse[0], 3 * (0 + 1 + 2) / 7.0f, 1e-5f);
    EXPECT_NEAR(l3.diffuse[1], 3 * (3 + 4 + 5) / 7.0f, 1e-5f);
    EXPECT_GT(l3.diffuse[1], 1.0f);

    // Row 6 and column 6 feed no light.
    Tiles edge;
    InitTiles(edge);
    for (int k = 0; k < kTiles; ++k)
        edge[6][k][3] = edge[k][6][3] = 1.0f;
    for (int l = 0; l < kLights; ++l)
        EXPECT_EQ(TileLightAt(edge, l).diffuse[0] + TileLightAt(edge, l).diffuse[1], 0.0f) << "light " << l;
}

// ---------------------------------------------------------------------------------------------
// The generated character and dance (in the data folder the build filled).

namespace
{
std::string dataDir()
{
    const char* d = std::getenv("VQ_DATA_DIR");
    return d ? d : "data";
}

constexpr double kFps = 25.0; // the piece's animation rate

std::string inData(const std::string& name) { return dataDir() + "/" + name; }

std::vector<OhlfPart> loadParts()
{
    std::vector<OhlfPart> parts;
    std::string fault;
    EXPECT_TRUE(LoadOHLF(inData("MrKalv/MrKalv.ohlf"), parts, fault)) << fault;
    return parts;
}

std::vector<AhlfKey> loadTrack(const OhlfPart& part)
{
    std::vector<AhlfKey> keys;
    std::string fault;
    EXPECT_TRUE(LoadAHLF(inData(part.anim), keys, fault)) << fault;
    return keys;
}

std::vector<AhlfKey> trackOf(const std::vector<OhlfPart>& parts, const std::string& stem)
{
    for (const OhlfPart& p : parts)
        if (p.anim == "MrKalv/" + stem + ".ahlf")
            return loadTrack(p);
    ADD_FAILURE() << "no part " << stem;
    return {};
}

// Translation of a key (row-major, in floats 3, 7, 11).
float tx(const AhlfKey& k) { return k.matrix[3]; }
float ty(const AhlfKey& k) { return k.matrix[7]; }
float tz(const AhlfKey& k) { return k.matrix[11]; }

// The pelvis height the piece draws at a music time, the dance having started at 80.8 s.
float pelvisHeightAt(CAHLFObj& track, double musicSeconds)
{
    float m[16];
    const float t = static_cast<float>(kFps * (musicSeconds - kDanceStartSeconds));
    // The loop rule of getMatrix: past the last key's time, wrap by it.
    float tt = t;
    if (tt > track.maxtime - track.mintime)
        tt = tt - (track.maxtime - track.mintime) *
                      static_cast<float>(std::floor(static_cast<double>(tt) / track.maxtime));
    EXPECT_EQ(track.Lookup(tt, m), 1) << "t " << t;
    return m[13];
}
} // namespace

TEST(GeneratedDance, EveryPartLoads)
{
    std::string text;
    {
        std::vector<std::uint8_t> bytes;
        std::string fault;
        ASSERT_TRUE(ReadFileBytes(inData("MrKalv/MrKalv.ohlf"), bytes, fault)) << fault;
        text.assign(bytes.begin(), bytes.end());
    }
    // The list names its files as the piece does: relative to the data folder, with backslashes.
    EXPECT_EQ(text.rfind("MrKalv\\pelvis.khlf\r\n", 0), 0u);

    const std::vector<OhlfPart> parts = loadParts();
    ASSERT_EQ(parts.size(), 15u);
    int triangles = 0;
    for (const OhlfPart& p : parts)
    {
        KhlfModel model;
        std::string fault;
        EXPECT_TRUE(LoadKHLF(inData(p.model), model, fault)) << fault;
        EXPECT_GT(model.faces.size(), 20u) << p.model;
        for (const KhlfFace& f : model.faces)
            triangles += f.type == 1 ? 2 : 1;
        EXPECT_NE(p.anim, "?") << p.model << " would not dance";
        EXPECT_EQ(loadTrack(p).size(), loadTrack(parts[0]).size()) << p.anim;
    }
    // A few thousand triangles: the software renderer pays for each one every frame.
    EXPECT_LT(triangles, 6000);
}

TEST(GeneratedDance, TracksFitAndLoopOnWholeBars)
{
    const std::vector<OhlfPart> parts = loadParts();
    ASSERT_FALSE(parts.empty());
    const double framesPerBeat = kFps * kSecondsPerBeat;
    const double startBeat = SecondsToBeat(kDanceStartSeconds);
    for (const OhlfPart& p : parts)
    {
        const std::vector<AhlfKey> keys = loadTrack(p);
        ASSERT_GE(keys.size(), 2u) << p.anim;
        EXPECT_LE(keys.size(), static_cast<std::size_t>(CAHLFObj::kMaxKeys)) << p.anim;
        EXPECT_EQ(keys.front().time, 0.0f) << p.anim;
        for (std::size_t i = 1; i < keys.size(); ++i)
            EXPECT_GT(keys[i].time, keys[i - 1].time) << p.anim << " key " << i;

        // The loop is its last key's time: whole bars at the track's tempo.
        const double loopBeats = keys.back().time / framesPerBeat;
        EXPECT_NEAR(loopBeats, std::round(loopBeats), 1e-4) << p.anim;
        EXPECT_EQ(static_cast<int>(std::round(loopBeats)) % kBeatsPerBar, 0) << p.anim;
        EXPECT_GE(loopBeats, kBeatsPerBar);
        // ... and it closes: the last key repeats the first.
        for (int e = 0; e < 16; ++e)
            EXPECT_EQ(keys.back().matrix[e], keys.front().matrix[e]) << p.anim << " element " << e;

        // Every beat and half-beat of the loop is a key, so the poses struck on the beat are
        // drawn as made, not blended.
        for (double half = std::ceil(startBeat * 2.0) / 2.0; half <= startBeat + loopBeats + 1e-9;
             half += 0.5)
        {
            const double t = (half - startBeat) * framesPerBeat;
            bool found = false;
            for (const AhlfKey& k : keys)
                found = found || std::fabs(k.time - t) < 1e-3;
            EXPECT_TRUE(found) << p.anim << ": no key at frame " << t;
        }

        // Rigid: the rotation part stays orthonormal at every key.
        for (const AhlfKey& k : keys)
            for (int a = 0; a < 3; ++a)
                for (int b = 0; b < 3; ++b)
                {
                    const float d = k.matrix[a] * k.matrix[b] + k.matrix[4 + a] * k.matrix[4 + b] +
                                    k.matrix[8 + a] * k.matrix[8 + b];
                    EXPECT_NEAR(d, a == b ? 1.0f : 0.0f, 1e-4f) << p.anim << " at " << k.time;
                }
    }
}

namespace
{
// The character's parts as the piece draws them at a music time: each part's model under its
// track's matrix (OpenGL's column-major order), the dance having started with the scene.
struct Dancer
{
    std::vector<KhlfModel> models;
    std::vector<CAHLFObj> tracks;
    std::vector<std::string> names;

    bool Load()
    {
        const std::vector<OhlfPart> parts = loadParts();
        for (const OhlfPart& p : parts)
        {
            KhlfModel m;
            std::string fault;
            if (!LoadKHLF(inData(p.model), m, fault))
                return false;
            models.push_back(m);
            const std::vector<AhlfKey> keys = loadTrack(p);
            tracks.emplace_back();
            tracks.back().SetKeys(keys.data(), static_cast<int>(keys.size()));
            names.push_back(p.anim);
        }
        return !parts.empty();
    }
    // The matrix of part i at a music time; false when the track applies none.
    bool MatrixAt(std::size_t i, double musicSeconds, float m[16])
    {
        return tracks[i].Lookup(static_cast<float>(kFps * (musicSeconds - kDanceStartSeconds)), m) == 1;
    }
};

// Music times of the whole scene at 10 frames a second, as a capture of the piece shows it.
std::vector<double> sceneFrames()
{
    std::vector<double> t;
    for (int f = 0; kDanceStartSeconds + f / 10.0 < kEndingStartSeconds; ++f)
        t.push_back(kDanceStartSeconds + f / 10.0);
    return t;
}

// He stands Rig::kScale world units to each body unit; his ankles are this high over the soles.
const double kAnkle = dance::Rig::kAnkleHeight * dance::Rig::kScale;
} // namespace

TEST(GeneratedDance, HeStandsOnTheFloorFacingTheCamera)
{
    const std::vector<OhlfPart> parts = loadParts();
    const std::vector<AhlfKey> pelvis = trackOf(parts, "pelvis");
    ASSERT_FALSE(pelvis.empty());
    for (const AhlfKey& k : pelvis)
    {
        // On the floor (x -23..10, z -42.6..-9.1), well inside it.
        EXPECT_GT(tx(k), -20.0f);
        EXPECT_LT(tx(k), 7.0f);
        EXPECT_GT(tz(k), -39.0f);
        EXPECT_LT(tz(k), -13.0f);
    }
    // The shoes' soles (the ankle height below the ankle, at his size) never sink into the floor
    // at y = -8.
    for (const char* foot : {"foot_l", "foot_r"})
        for (const AhlfKey& k : trackOf(parts, foot))
            EXPECT_GE(ty(k) - kAnkle, -8.0 - 1e-3) << foot << " at " << k.time;

    // 12 to 14 units tall, big enough for the camera: the top of his head (horns included) above
    // the floor at the first key.
    const std::vector<AhlfKey> head = trackOf(parts, "head");
    ASSERT_FALSE(head.empty());
    KhlfModel model;
    std::string fault;
    ASSERT_TRUE(LoadKHLF(inData("MrKalv/head.khlf"), model, fault)) << fault;
    float top = -1e9f;
    const float* m = head.front().matrix;
    for (const KhlfVertex& v : model.vertices)
        top = std::max(top, m[4] * v.pos.x + m[5] * v.pos.y + m[6] * v.pos.z + m[7]);
    EXPECT_GT(top + 8.0f, 12.0f);
    EXPECT_LT(top + 8.0f, 14.0f);

    // His face (the head's +z axis) looks towards the camera at (3, 9, -6.6).
    const float fx = m[2], fz = m[10];
    const float cx = 3.0f - m[3], cz = -6.6f - m[11];
    EXPECT_GT((fx * cx + fz * cz) / std::sqrt((fx * fx + fz * fz) * (cx * cx + cz * cz)), 0.9f);
}

TEST(GeneratedDance, HisKneesBendOnTheBeatThroughoutTheScene)
{
    const std::vector<OhlfPart> parts = loadParts();
    const std::vector<AhlfKey> keys = trackOf(parts, "pelvis");
    ASSERT_GE(keys.size(), 2u);
    CAHLFObj track;
    track.SetKeys(keys.data(), static_cast<int>(keys.size()));
    const int firstBeat = static_cast<int>(std::lround(SecondsToBeat(kDanceStartSeconds)));

    // Every beat of the scene (the animation clock starting at 80.8 s), the spin's hops included:
    // they land on the beat.
    int checked = 0;
    for (int beat = firstBeat; BeatToSeconds(beat + 1) < kEndingStartSeconds; ++beat)
    {
        const float down = pelvisHeightAt(track, BeatToSeconds(beat));
        const float up = pelvisHeightAt(track, BeatToSeconds(beat + 0.5));
        EXPECT_LT(down, up - 0.2f) << "beat " << beat << " (" << BeatToSeconds(beat) << " s)";
        ++checked;
    }
    EXPECT_GT(checked, 80);
}

TEST(GeneratedDance, StepsLandOnTheBeatAndPlantedFeetHold)
{
    const std::vector<OhlfPart> parts = loadParts();
    const double framesPerBeat = kFps * kSecondsPerBeat;
    int landings = 0;
    for (const char* name : {"foot_l", "foot_r"})
    {
        const std::vector<AhlfKey> keys = trackOf(parts, name);
        ASSERT_GE(keys.size(), 2u);
        auto onFloor = [](const AhlfKey& k) { return std::fabs(ty(k) - (-8.0 + kAnkle)) < 1e-3; };
        for (std::size_t i = 1; i < keys.size(); ++i)
        {
            const AhlfKey &a = keys[i - 1], &b = keys[i];
            // A foot comes down only on a beat.
            if (!onFloor(a) && onFloor(b))
            {
                const double beat = b.time / framesPerBeat;
                EXPECT_NEAR(beat, std::round(beat), 1e-3) << name << " lands at frame " << b.time;
                ++landings;
            }
            // On the floor it holds its place until it lifts: no skating.
            if (onFloor(a) && onFloor(b))
            {
                EXPECT_NEAR(tx(a), tx(b), 1e-3) << name << " slides at frame " << b.time;
                EXPECT_NEAR(tz(a), tz(b), 1e-3) << name << " slides at frame " << b.time;
            }
        }
    }
    // Both feet step, about once a beat between them (with the spin's hops).
    EXPECT_GE(landings, 28);
}

TEST(GeneratedDance, HeTravelsAboutTheFloor)
{
    const std::vector<OhlfPart> parts = loadParts();
    const std::vector<AhlfKey> pelvis = trackOf(parts, "pelvis");
    ASSERT_FALSE(pelvis.empty());
    float x0 = 1e9f, x1 = -1e9f, z0 = 1e9f, z1 = -1e9f;
    std::set<std::pair<int, int>> tiles;
    for (const AhlfKey& k : pelvis)
    {
        x0 = std::min(x0, tx(k)), x1 = std::max(x1, tx(k)), z0 = std::min(z0, tz(k)),
        z1 = std::max(z1, tz(k));
        for (int p = 0; p < 7; ++p)
            for (int q = 0; q < 7; ++q)
            {
                const dance::TileRect r = dance::TileAt(p, q);
                if (tx(k) >= r.x0 && tx(k) < r.x0 + r.size && tz(k) >= r.z0 && tz(k) < r.z0 + r.size)
                    tiles.insert({p, q});
            }
    }
    // Across the picture and up and down the floor, not on one spot.
    EXPECT_GT(x1 - x0, 6.0f);
    EXPECT_GT(z1 - z0, 3.5f);
    EXPECT_GE(tiles.size(), 4u);
}

TEST(DanceStaging, HeFillsHalfThePictureAndStaysInIt)
{
    Dancer dancer;
    ASSERT_TRUE(dancer.Load());
    std::vector<double> heights;
    for (double t : sceneFrames())
    {
        double x0 = 1e9, x1 = -1e9, y0 = 1e9, y1 = -1e9;
        for (std::size_t i = 0; i < dancer.models.size(); ++i)
        {
            float m[16];
            ASSERT_TRUE(dancer.MatrixAt(i, t, m)) << dancer.names[i] << " at " << t;
            for (const KhlfVertex& v : dancer.models[i].vertices)
            {
                const dance::Vec3 w{m[0] * v.pos.x + m[4] * v.pos.y + m[8] * v.pos.z + m[12],
                                    m[1] * v.pos.x + m[5] * v.pos.y + m[9] * v.pos.z + m[13],
                                    m[2] * v.pos.x + m[6] * v.pos.y + m[10] * v.pos.z + m[14]};
                const dance::ViewPoint p = dance::DanceCamera::Project(w);
                ASSERT_GT(p.depth, dance::DanceCamera::kNear);
                x0 = std::min(x0, p.px), x1 = std::max(x1, p.px), y0 = std::min(y0, p.py),
                y1 = std::max(y1, p.py);
            }
        }
        heights.push_back(y1 - y0);
        // At least half the picture's height, and all of him inside it.
        EXPECT_GT(y1 - y0, 768 / 2) << "at " << t << " s";
        EXPECT_GE(y0, 0.0) << "his head leaves the picture at " << t << " s";
        EXPECT_LE(y1, 768.0) << "his feet leave the picture at " << t << " s";
        EXPECT_GE(x0, 0.0) << "he leaves the picture on the left at " << t << " s";
        EXPECT_LE(x1, 1024.0) << "he leaves the picture on the right at " << t << " s";
    }
    std::sort(heights.begin(), heights.end());
    std::printf("his height in the picture: min %.0f, median %.0f, max %.0f of 768 px\n", heights.front(),
                heights[heights.size() / 2], heights.back());
}

namespace
{
KhlfModel loadCave()
{
    KhlfModel cave;
    std::string fault;
    EXPECT_TRUE(LoadKHLF(inData("dansehule_final.khlf"), cave, fault)) << fault;
    return cave;
}
} // namespace

TEST(DanceStaging, TheCaveHidesNoFloorAndLeavesNoHole)
{
    const KhlfModel cave = loadCave();
    dance::StageRaster floorOnly, both;
    floorOnly.DrawFloor();
    both.DrawModel(cave, nullptr, dance::StageRaster::kCave);
    both.DrawFloor();
    long floorPixels = 0, hidden = 0, holes = 0;
    std::set<int> inFrame;
    for (int y = 0; y < both.Height(); ++y)
        for (int x = 0; x < both.Width(); ++x)
        {
            const bool floor = floorOnly.Label(x, y) >= dance::StageRaster::kFirstTile;
            floorPixels += floor;
            if (floor)
                inFrame.insert(floorOnly.Label(x, y));
            hidden += floor && both.Label(x, y) != floorOnly.Label(x, y);
            holes += both.Label(x, y) == dance::StageRaster::kNothing;
        }
    // The camera sees 26 of the 49 tiles at least in part; the cave leaves every pixel of them.
    EXPECT_EQ(inFrame.size(), 26u);
    EXPECT_GT(floorPixels, 1024 * 768 / 3);
    EXPECT_EQ(hidden, 0) << "floor pixels behind the cave";
    // ... and closes the rest of the picture: nowhere does the target's white show through.
    EXPECT_EQ(holes, 0);
}

TEST(DanceStaging, TheCaveHasDepthInView)
{
    const KhlfModel cave = loadCave();
    dance::StageRaster r;
    r.DrawModel(cave, nullptr, dance::StageRaster::kCave);
    r.DrawFloor();
    // The upper part of the picture, above the floor's far edge: not one wall at one distance but
    // rock from the hall's walls down a gallery far beyond the floor.
    std::vector<double> depth;
    const int rows = r.Height() * 45 / 100;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < r.Width(); ++x)
            if (r.Label(x, y) == dance::StageRaster::kCave)
                depth.push_back(r.Depth(x, y));
    ASSERT_GT(depth.size(), static_cast<std::size_t>(r.Width() * rows * 9 / 10));
    std::sort(depth.begin(), depth.end());
    auto at = [&depth](double q) { return depth[static_cast<std::size_t>(q * (depth.size() - 1))]; };
    std::printf("cave depth in the top 45 %% of the picture: 10 %% %.1f, median %.1f, 90 %% %.1f\n", at(0.1),
                at(0.5), at(0.9));
    // The floor's far edge lies about 40 units away; a tenth of the rock above it lies more than
    // 75 away, and the nearest and farthest tenths are more than 30 units apart.
    EXPECT_GT(at(0.9), 75.0);
    EXPECT_GT(at(0.9) - at(0.1), 30.0);
    // Shape, not a slope: the depth does not simply grow up the picture. In many columns the rock
    // comes nearer again somewhere above a farther part (ribs, columns, the gallery's mouth).
    int folded = 0;
    for (int x = 0; x < r.Width(); x += 8)
    {
        double farthest = 0;
        bool nearer = false;
        for (int y = rows - 1; y >= 0; --y)
            if (r.Label(x, y) == dance::StageRaster::kCave)
            {
                farthest = std::max(farthest, r.Depth(x, y));
                nearer = nearer || r.Depth(x, y) < farthest - 10.0;
            }
        folded += nearer;
    }
    EXPECT_GT(folded, r.Width() / 8 / 3);
}

TEST(DanceStaging, TheCaveShowsTheCameraItsLitSide)
{
    // Every surface faces the floor's lights and the camera: rock seen from behind its normals
    // would take no light from the tiles. Only slivers along silhouettes may show.
    const KhlfModel cave = loadCave();
    dance::StageRaster r;
    r.DrawModel(cave, nullptr, dance::StageRaster::kCave, dance::StageRaster::kCaveBack);
    long rock = 0, back = 0;
    for (int y = 0; y < r.Height(); ++y)
        for (int x = 0; x < r.Width(); ++x)
        {
            rock += r.Label(x, y) == dance::StageRaster::kCave;
            back += r.Label(x, y) == dance::StageRaster::kCaveBack;
        }
    EXPECT_LT(back, (rock + back) / 200);
}

TEST(DanceStaging, EveryTileInViewShowsPastHim)
{
    // However he moves, he never hides a whole tile: each tile the camera sees shows at least a
    // corner in every frame of the scene.
    Dancer dancer;
    ASSERT_TRUE(dancer.Load());
    const KhlfModel cave = loadCave();
    dance::StageRaster floorOnly;
    floorOnly.DrawFloor();
    std::map<int, long> alone;
    for (int y = 0; y < floorOnly.Height(); ++y)
        for (int x = 0; x < floorOnly.Width(); ++x)
            if (floorOnly.Label(x, y) >= dance::StageRaster::kFirstTile)
                ++alone[floorOnly.Label(x, y)];
    dance::StageRaster r;
    const std::vector<double> frames = sceneFrames();
    for (std::size_t f = 0; f < frames.size(); f += 3)
    {
        r.Clear();
        r.DrawModel(cave, nullptr, dance::StageRaster::kCave);
        for (std::size_t i = 0; i < dancer.models.size(); ++i)
        {
            float m[16];
            ASSERT_TRUE(dancer.MatrixAt(i, frames[f], m));
            r.DrawModel(dancer.models[i], m, dance::StageRaster::kCharacter);
        }
        r.DrawFloor();
        std::map<int, long> shown;
        for (int y = 0; y < r.Height(); ++y)
            for (int x = 0; x < r.Width(); ++x)
                if (r.Label(x, y) >= dance::StageRaster::kFirstTile)
                    ++shown[r.Label(x, y)];
        for (const auto& [tile, pixels] : alone)
            EXPECT_GE(shown[tile], std::min(pixels, 20L))
                << "tile " << (tile - dance::StageRaster::kFirstTile) / 7 << ","
                << (tile - dance::StageRaster::kFirstTile) % 7 << " hidden at " << frames[f] << " s";
    }
}
