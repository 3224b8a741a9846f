// The vortex scene's rules (ring, logo grid, beat jump, motions, respawn, credit flashes) and the
// content its generator writes (logo model, environment maps, logo and credit pictures).
#include "formats/HlfFormats.h"
#include "formats/HlfParse.h"
#include "math/random.h"
#include "resource/CTexture.h"
#include "scenes/VortexLogic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <tuple>

namespace
{
bool samePoint(const svect3f& a, const svect3f& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// A scripted generator for the respawn draws.
int g_script[8];
int g_scriptPos = 0;
int scripted() { return g_script[g_scriptPos++]; }

std::string dataFile(const char* name)
{
    const char* dir = std::getenv("VQ_DATA_DIR");
    return std::string(dir ? dir : ".") + "/" + name;
}
} // namespace

// --- ring ---------------------------------------------------------------------------------------

TEST(VortexRing, ProfileUsesTheRingsOwnAngleStepAndBothRadii)
{
    svect3f inner[12][2], outer[12][2];
    vortex::RingProfile(inner, outer);
    for (int s = 0; s < 12; ++s)
    {
        const float theta = (static_cast<float>(s) / 12) * 6.28f;
        EXPECT_EQ(inner[s][0].x, static_cast<float>(12 * std::cos(static_cast<double>(theta))));
        EXPECT_EQ(outer[s][1].y, static_cast<float>(14 * std::sin(static_cast<double>(theta))));
        EXPECT_EQ(inner[s][0].z, 0.0f);
        EXPECT_EQ(inner[s][1].z, -6.0f);
        EXPECT_EQ(outer[s][1].z, -6.0f);
        EXPECT_EQ(inner[s][0].x, inner[s][1].x);
        EXPECT_NEAR(std::hypot(outer[s][0].x, outer[s][0].y), 14.0, 1e-4);
    }
    // 6.28 rather than 2 pi: the last step stops short of 330 degrees (where sin would be -0.5).
    EXPECT_LT(inner[11][0].y, -6.02f);
    EXPECT_GT(inner[11][0].y, -6.04f);
}

TEST(VortexRing, ListHasElevenSegmentsOfThreeQuadsAndTwoEndCaps)
{
    svect3f inner[12][2], outer[12][2];
    vortex::RingProfile(inner, outer);
    const std::vector<vortex::Quad> q = vortex::RingQuads(inner, outer);
    ASSERT_EQ(q.size(), 35u);
    for (int s = 0; s < 11; ++s)
    {
        const vortex::Quad& in = q[3 * s];
        const vortex::Quad& out = q[3 * s + 1];
        const vortex::Quad& front = q[3 * s + 2];
        EXPECT_TRUE(samePoint(in.corner[0], inner[s][0]) && samePoint(in.corner[1], inner[s][1]) &&
                    samePoint(in.corner[2], inner[s + 1][1]) && samePoint(in.corner[3], inner[s + 1][0]))
            << "inner wall " << s;
        EXPECT_TRUE(samePoint(out.corner[0], outer[s][0]) && samePoint(out.corner[2], outer[s + 1][1]))
            << "outer wall " << s;
        EXPECT_TRUE(samePoint(front.corner[0], inner[s][0]) && samePoint(front.corner[1], outer[s][0]) &&
                    samePoint(front.corner[2], outer[s + 1][0]) &&
                    samePoint(front.corner[3], inner[s + 1][0]))
            << "front face " << s;
        // Only the front is closed: no quad lies entirely at the back depth.
        for (const vortex::Quad* face : {&in, &out, &front})
        {
            int back = 0;
            for (const svect3f& c : face->corner)
                back += c.z == -6.0f;
            EXPECT_LT(back, 4);
        }
    }
    EXPECT_TRUE(samePoint(q[33].corner[0], inner[11][0]) && samePoint(q[33].corner[1], inner[11][1]) &&
                samePoint(q[33].corner[2], outer[11][1]) && samePoint(q[33].corner[3], outer[11][0]));
    EXPECT_TRUE(samePoint(q[34].corner[0], inner[0][0]) && samePoint(q[34].corner[3], outer[0][0]));
    // The ring is open: nothing joins step 11 to step 0.
    for (const vortex::Quad& f : q)
    {
        bool has0 = false, has11 = false;
        for (const svect3f& c : f.corner)
        {
            has0 = has0 || samePoint(c, inner[0][0]) || samePoint(c, outer[0][0]);
            has11 = has11 || samePoint(c, inner[11][0]) || samePoint(c, outer[11][0]);
        }
        EXPECT_FALSE(has0 && has11);
    }
}

// --- logo grid ----------------------------------------------------------------------------------

TEST(VortexLogoGrid, SinglePrecisionLoopsGiveOneHundredAndOneCellsEachWay)
{
    const std::vector<vortex::Cell> cells = vortex::LogoGridCells();
    ASSERT_EQ(cells.size(), 101u * 101u); // 20,402 triangles
    std::set<float> us, vs;
    for (const vortex::Cell& c : cells)
    {
        us.insert(c.u);
        vs.insert(c.v);
    }
    EXPECT_EQ(us.size(), 101u);
    EXPECT_EQ(vs.size(), 101u);
    // u is the outer loop: the first 101 cells share u = 0.
    EXPECT_EQ(cells[100].u, 0.0f);
    EXPECT_GT(cells[101].u, 0.0f);
    EXPECT_EQ(cells[0].v, 0.0f);
    // The last cell starts just below 1 and the grid reaches about 1.01.
    const float last = *us.rbegin();
    EXPECT_LT(last, 1.0f);
    EXPECT_NEAR(last, 0.99999934f, 1e-7f);
    EXPECT_NEAR(last + vortex::kLogoStep, 1.01f, 1e-6f);
}

// --- beat jump ----------------------------------------------------------------------------------

TEST(VortexBeatJump, NeedsALevelStrictlyAboveTwoAndMoreThan400ms)
{
    EXPECT_FALSE(vortex::BeatJumpDue(2.0f, 5000, 1000));
    EXPECT_TRUE(vortex::BeatJumpDue(2.0001f, 5000, 1000));
    EXPECT_FALSE(vortex::BeatJumpDue(3.0f, 1400, 1000)); // exactly 400 ms: too soon
    EXPECT_TRUE(vortex::BeatJumpDue(3.0f, 1401, 1000));
    // lastJump starts at 0 and the clock at 1000: the first strong beat always jumps.
    EXPECT_TRUE(vortex::BeatJumpDue(2.5f, 1000, 0));
}

TEST(VortexBeatJump, TwoStrongBeats400msApartJumpOnce)
{
    std::uint32_t lastJump = 0;
    int jumps = 0;
    for (std::uint32_t t : {2000u, 2400u, 2401u + 400u})
        if (vortex::BeatJumpDue(2.5f, t, lastJump))
        {
            lastJump = t;
            ++jumps;
        }
    EXPECT_EQ(jumps, 2); // 2000 and 2801, not 2400
}

TEST(VortexBeatJump, PhaseCoversZeroTo62Point7InTenths)
{
    EXPECT_FLOAT_EQ(vortex::JumpPhase(627), 62.7f);
    EXPECT_EQ(vortex::JumpPhase(628), 0.0f);
    EXPECT_FLOAT_EQ(vortex::JumpPhase(32767), static_cast<float>(32767 % 628) / 10.0f);
}

// --- per-frame motions --------------------------------------------------------------------------

TEST(VortexMotion, SposXClampsOnThe34thFrameAndSposYOnThe51st)
{
    float x = 0.0f, y = 0.5f;
    bool xFalling = false, yFalling = false;
    int xClamp = 0, yClamp = 0;
    for (int frame = 1; frame <= 60; ++frame)
    {
        vortex::StepClamped(x, xFalling, 0.03f);
        vortex::StepClamped(y, yFalling, 0.01f);
        if (!xClamp && xFalling)
        {
            xClamp = frame;
            EXPECT_EQ(x, 1.0f);
        }
        if (!yClamp && yFalling)
        {
            yClamp = frame;
            EXPECT_EQ(y, 1.0f);
        }
        if (frame == 35)
        {
            EXPECT_FLOAT_EQ(x, 0.97f); // falls from the next frame on
        }
        if (frame == 50)
        {
            EXPECT_LT(y, 1.0f); // 0.9999995 after 50 single-precision steps
        }
    }
    EXPECT_EQ(xClamp, 34);
    EXPECT_EQ(yClamp, 51);
}

TEST(VortexMotion, SposClampsAtZeroOnTheWayDownToo)
{
    float x = 0.02f;
    bool falling = true;
    vortex::StepClamped(x, falling, 0.03f);
    EXPECT_EQ(x, 0.0f);
    EXPECT_FALSE(falling);
}

TEST(VortexMotion, InterpOvershootsByAStepAndTurnsWithoutClamping)
{
    float v = 0.0f;
    bool falling = false;
    float lo = 0.0f, hi = 0.0f;
    int turnsDown = 0, firstTurn = 0;
    for (int frame = 1; frame <= 400; ++frame)
    {
        const bool was = falling;
        vortex::StepBouncing(v, falling, 0.02f);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        if (!was && falling)
        {
            ++turnsDown;
            EXPECT_GT(v, 1.0f); // not clamped
            if (!firstTurn)
                firstTurn = frame;
        }
    }
    EXPECT_GE(firstTurn, 50);
    EXPECT_LE(firstTurn, 51);
    EXPECT_GE(turnsDown, 3);
    EXPECT_GT(hi, 1.0f);
    EXPECT_LE(hi, 1.0201f);
    EXPECT_LT(lo, 0.0f);
    EXPECT_GE(lo, -0.0201f);
}

// --- rings in flight ----------------------------------------------------------------------------

TEST(VortexRings, ARingPassingDepthZeroStartsAgainFarAwayWithinTheSameStep)
{
    vortex::Ring r;
    r.pos = svect3f(0.3f, -0.2f, -1.0f);
    r.angle = 10.0f;
    r.speed = 40.0f;
    const int draws[4] = {725, 13, 7, 36};
    std::copy(draws, draws + 4, g_script);
    g_scriptPos = 0;
    EXPECT_TRUE(vortex::RespawnRing(r, 0.05, scripted)); // z: -1 + 3 = 2 > 0
    EXPECT_EQ(r.since, 0.05);
    EXPECT_EQ(g_scriptPos, 4);
    EXPECT_EQ(r.pos.z, -120.0f);
    EXPECT_EQ(r.angle, 725 % 360);
    EXPECT_FLOAT_EQ(r.pos.x, 0.3f - 0.5f); // 13 % 10 = 3
    EXPECT_FLOAT_EQ(r.pos.y, 0.7f - 0.5f); // 7
    EXPECT_EQ(r.speed, 120.0f);            // 36 % 10 = 6, times 20
}

TEST(VortexRings, FlightIsAFunctionOfTimeAndDepthZeroItselfIsNotPast)
{
    vortex::Ring r;
    r.pos = svect3f(0, 0, -60.0f);
    r.speed = 100.0f;
    r.since = 10.0;
    g_scriptPos = 0;
    EXPECT_FALSE(vortex::RespawnRing(r, 10.0, scripted)); // where the flight begins nothing moved
    EXPECT_EQ(vortex::RingPosition(r, 10.0).z, -60.0f);
    EXPECT_EQ(vortex::RingAngle(r, 10.0), 0.0f);
    EXPECT_EQ(vortex::RingPosition(r, 10.5).z, -30.0f);
    EXPECT_EQ(vortex::RingAngle(r, 10.5), 50.0f);
    EXPECT_FALSE(vortex::RespawnRing(r, 11.0, scripted)); // exactly 0: still in flight
    EXPECT_EQ(vortex::RingPosition(r, 11.0).z, 0.0f);
    EXPECT_EQ(g_scriptPos, 0);
    // The same moment is the same place however it is reached: no sum of frame steps.
    EXPECT_EQ(vortex::RingPosition(r, 10.25).z, -45.0f);
}

TEST(VortexRings, RespawnTakesFourDrawsOfThePiecesGenerator)
{
    vq_srand(7);
    const int a = vq_rand(), b = vq_rand(), c = vq_rand(), d = vq_rand(), after = vq_rand();
    vq_srand(7);
    vortex::Ring r;
    r.pos.z = -0.5f;
    ASSERT_TRUE(vortex::RespawnRing(r, 0.1, vq_rand));
    EXPECT_EQ(r.angle, static_cast<float>(a % 360));
    EXPECT_EQ(r.pos.x, static_cast<float>(b % 10) / 10.0f - 0.5f);
    EXPECT_EQ(r.pos.y, static_cast<float>(c % 10) / 10.0f - 0.5f);
    EXPECT_EQ(r.speed, static_cast<float>((d % 10) * 20));
    EXPECT_EQ(vq_rand(), after);
}

// --- credit flashes -----------------------------------------------------------------------------

TEST(VortexCredits, CardsComeInBetweenKicksTakeTurnsAndNeverCutEachOtherShort)
{
    vortex::CreditFlash f;
    EXPECT_EQ(vortex::CreditAlpha(f, 5000), 0.0f);
    EXPECT_TRUE(vortex::CreditOnJump(f, 5000));
    EXPECT_EQ(f.card, 0);
    // Half a beat after the jump's kick: on the off-beat, not under the kick's flash.
    EXPECT_EQ(vortex::kCreditDelayMs, 234u);
    EXPECT_EQ(vortex::CreditAlpha(f, 5000), 0.0f);
    EXPECT_EQ(vortex::CreditAlpha(f, 5000 + vortex::kCreditDelayMs - 1), 0.0f);
    const std::uint32_t in = 5000 + vortex::kCreditDelayMs;
    EXPECT_EQ(vortex::CreditAlpha(f, in), 1.0f); // full as it comes in
    EXPECT_FALSE(vortex::CreditOnJump(f, 5000 + vortex::kCreditGapMs - 1));
    EXPECT_EQ(f.card, 0);
    const float mid = vortex::CreditAlpha(f, in + vortex::kCreditMs * 3 / 4);
    EXPECT_GT(mid, 0.0f);
    EXPECT_LT(mid, 1.0f);
    EXPECT_EQ(vortex::CreditAlpha(f, in + vortex::kCreditMs), 0.0f);
    EXPECT_TRUE(vortex::CreditOnJump(f, 5000 + vortex::kCreditGapMs));
    EXPECT_EQ(f.card, 1);
    EXPECT_TRUE(vortex::CreditOnJump(f, 5000 + 2 * vortex::kCreditGapMs));
    EXPECT_EQ(f.card, 0);
    EXPECT_EQ(f.shown, 3);
}

// --- generated content --------------------------------------------------------------------------

class VortexContent : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!std::getenv("VQ_DATA_DIR"))
            GTEST_SKIP() << "VQ_DATA_DIR is not set";
    }
};

TEST_F(VortexContent, LogoModelIsAClosedSolidWithUnitNormals)
{
    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(hlf::ReadFileBytes(dataFile("kro_logo2.khlf"), bytes, error)) << error;
    hlf::KhlfModel m;
    ASSERT_TRUE(hlf::ParseKHLF("kro_logo2.khlf", bytes, m, error)) << error;
    ASSERT_GT(m.faces.size(), 100u);
    ASSERT_LE(m.vertices.size(), 32767u);

    // Every edge, by position, must be used exactly once in each direction: no hole in a cap, no
    // wall missing, no T-junction between a cap and its walls.
    using Key = std::tuple<long, long, long>;
    auto key = [](const svect3f& p)
    { return Key(std::lround(p.x * 1e5), std::lround(p.y * 1e5), std::lround(p.z * 1e5)); };
    std::map<std::pair<Key, Key>, int> edges;
    double volume = 0;
    int quads = 0, triangles = 0;
    for (const hlf::KhlfFace& f : m.faces)
    {
        const int n = f.corners();
        (n == 4 ? quads : triangles)++;
        for (int k = 0; k < n; ++k)
        {
            ASSERT_GE(f.index[k], 0);
            ASSERT_LT(f.index[k], static_cast<int>(m.vertices.size()));
            const svect3f& a = m.vertices[f.index[k]].pos;
            const svect3f& b = m.vertices[f.index[(k + 1) % n]].pos;
            edges[{key(a), key(b)}]++;
        }
        for (int k = 1; k + 1 < n; ++k)
        {
            const svect3f& a = m.vertices[f.index[0]].pos;
            const svect3f& b = m.vertices[f.index[k]].pos;
            const svect3f& c = m.vertices[f.index[k + 1]].pos;
            volume += (a * (b % c)) / 6.0;
        }
    }
    EXPECT_GT(quads, 0);
    EXPECT_GT(triangles, 0);
    for (const auto& [e, count] : edges)
    {
        ASSERT_EQ(count, 1) << "edge used " << count << " times in one direction";
        const auto back = edges.find({e.second, e.first});
        ASSERT_TRUE(back != edges.end()) << "open edge";
    }
    EXPECT_GT(volume, 0.0) << "faces wound inwards";
    for (const hlf::KhlfVertex& v : m.vertices)
        ASSERT_NEAR(std::sqrt(v.normal * v.normal), 1.0, 1e-4);
}

TEST_F(VortexContent, EnvironmentMapsHaveTheSameProfileOnEveryEdgeEitherWayRound)
{
    for (const char* name : {"water_d2.bmp", "PlasmaSlime.bmp"})
    {
        BitmapImage img;
        std::string error;
        ASSERT_EQ(ReadBitmap(dataFile(name), img, error), 0) << error;
        ASSERT_EQ(img.bpp, 24);
        ASSERT_EQ(img.width, img.height) << name;
        const int n = img.width, m = n - 1;
        auto px = [&](int x, int y, int c)
        { return static_cast<int>(img.rgb[(static_cast<std::size_t>(y) * n + x) * 3 + c]); };
        int worst = 0;
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c)
            {
                const int ref = px(i, 0, c);
                for (int other : {px(m - i, 0, c), px(i, m, c), px(0, i, c), px(m, m - i, c)})
                    worst = std::max(worst, std::abs(other - ref));
            }
        EXPECT_LE(worst, 1) << name << ": a cube edge would show a seam";
        // Not a flat picture: some detail must be there for the blob to reflect.
        int lo = 255, hi = 0;
        for (std::uint8_t b : img.rgb)
        {
            lo = std::min(lo, static_cast<int>(b));
            hi = std::max(hi, static_cast<int>(b));
        }
        EXPECT_GT(hi - lo, 150) << name;
    }
}

TEST_F(VortexContent, LogoAndCreditPicturesAreBrightDesignsOnBlack)
{
    for (const char* name : {"Kro_logo.bmp", "code_tarvek.bmp", "gfx_Dranbuke.bmp"})
    {
        BitmapImage img;
        std::string error;
        ASSERT_EQ(ReadBitmap(dataFile(name), img, error), 0) << error;
        ASSERT_EQ(img.bpp, 24);
        EXPECT_EQ(img.width & (img.width - 1), 0) << name;
        EXPECT_EQ(img.height & (img.height - 1), 0) << name;
        std::size_t black = 0, bright = 0;
        const std::size_t pixels = img.rgb.size() / 3;
        for (std::size_t i = 0; i < pixels; ++i)
        {
            const int mx = std::max({img.rgb[3 * i], img.rgb[3 * i + 1], img.rgb[3 * i + 2]});
            black += mx < 8;
            bright += mx > 200;
        }
        EXPECT_GT(black, pixels / 3) << name;
        EXPECT_GT(bright, pixels / 50) << name;
    }
    // The logo's border is black all round: the grid reaches past the picture and repeats it there.
    BitmapImage logo;
    std::string error;
    ASSERT_EQ(ReadBitmap(dataFile("Kro_logo.bmp"), logo, error), 0) << error;
    for (int i = 0; i < logo.width; ++i)
        for (int edge : {0, logo.height - 1})
        {
            const std::size_t a = (static_cast<std::size_t>(edge) * logo.width + i) * 3;
            const std::size_t b =
                (static_cast<std::size_t>(i) * logo.width + (edge ? logo.width - 1 : 0)) * 3;
            ASSERT_LT(logo.rgb[a] + logo.rgb[a + 1] + logo.rgb[a + 2], 10);
            ASSERT_LT(logo.rgb[b] + logo.rgb[b + 1] + logo.rgb[b + 2], 10);
        }
}
