// CHLF: the parser's limits and the camera's playback (strict brackets, frozen state, the one
// file it always reads).
#include "formats/CScene.h"
#include "formats/HlfParse.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

using namespace hlf;
using CCamera = CDemoHandler::CScene::CCamera;

namespace
{
ChlfNode node(std::int32_t ms, float v, float fade = 0)
{
    ChlfNode n;
    n.time = ms;
    n.eye = svect3f(v, 2 * v, 3 * v);
    n.center = svect3f(-v, 0, 1);
    n.up = svect3f(0, 1, v);
    n.fade = fade;
    return n;
}

void putI32(std::vector<std::uint8_t>& b, std::size_t at, std::int32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
}

std::unique_ptr<CCamera> cameraWith(const std::vector<ChlfNode>& nodes)
{
    auto cam = std::make_unique<CCamera>();
    for (std::size_t i = 0; i < nodes.size(); ++i)
        cam->nodes[0][i] = nodes[i];
    cam->numnodes[0] = static_cast<std::int32_t>(nodes.size());
    return cam;
}

// Runs a test body inside a fresh folder, as the piece runs inside its data folder.
class InTempDir : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(getcwd(oldDir, sizeof oldDir), nullptr);
        ASSERT_NE(mkdtemp(dir), nullptr);
        ASSERT_EQ(chdir(dir), 0);
    }
    void TearDown() override
    {
        std::remove("vq_accumcam.chlf");
        std::remove("vqpath001.chlf");
        EXPECT_EQ(chdir(oldDir), 0);
        rmdir(dir);
    }
    char oldDir[4096] = {};
    char dir[32] = "/tmp/vq_chlf_XXXXXX";
};
} // namespace

TEST(ChlfParse, CountsAgainstCapacityAndLength)
{
    std::vector<ChlfNode> out;
    std::string fault;
    EXPECT_TRUE(ParseCHLF("zero.chlf", WriteCHLF({}), out, fault)) << fault;
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(ParseCHLF("one.chlf", WriteCHLF({node(5, 1)}), out, fault)) << fault;
    EXPECT_EQ(out.size(), 1u);

    auto b = WriteCHLF({node(0, 1), node(10, 2)});
    putI32(b, 0, -1);
    EXPECT_FALSE(ParseCHLF("neg.chlf", b, out, fault));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(fault, "\"neg.chlf\": node count N = -1 is negative");

    putI32(b, 0, 3); // one more than stored
    EXPECT_FALSE(ParseCHLF("short.chlf", b, out, fault));
    EXPECT_EQ(out.size(), 2u);
    EXPECT_NE(fault.find("N = 3 needs 132 bytes, but only 88 follow"), std::string::npos) << fault;

    putI32(b, 0, INT_MAX);
    EXPECT_FALSE(ParseCHLF("huge.chlf", b, out, fault));
    EXPECT_EQ(out.size(), 2u);

    std::vector<ChlfNode> full;
    for (int i = 0; i < kChlfMaxNodes + 1; ++i)
        full.push_back(node(i, float(i)));
    EXPECT_FALSE(ParseCHLF("over.chlf", WriteCHLF(full), out, fault));
    EXPECT_EQ(out.size(), static_cast<std::size_t>(kChlfMaxNodes));
    EXPECT_EQ(out.back().time, kChlfMaxNodes - 1);
    EXPECT_NE(fault.find("N = 10001 exceeds the capacity of 10000"), std::string::npos) << fault;
    full.pop_back();
    EXPECT_TRUE(ParseCHLF("full.chlf", WriteCHLF(full), out, fault)) << fault;

    EXPECT_FALSE(ParseCHLF("order.chlf", WriteCHLF({node(0, 0), node(10, 0), node(10, 0)}), out, fault));
    EXPECT_EQ(out.size(), 3u);
    EXPECT_NE(fault.find("node 2 time 10 ms does not come after node 1 time 10 ms"), std::string::npos);
}

TEST(ChlfParse, NodesWithoutAViewOrANumberAreDroppedAndFadesHeld)
{
    std::vector<ChlfNode> nodes;
    for (int i = 0; i < 8; ++i)
        nodes.push_back(node(100 * i, float(i + 1), 1));
    nodes[1].eye.z = NAN;
    nodes[2].fade = INFINITY;
    nodes[3].center = nodes[3].eye;                     // looks at itself
    nodes[4].up = svect3f(0, 0, 0);                     // no up
    nodes[5].up = (nodes[5].center - nodes[5].eye) * 3; // up along the line of sight
    nodes[6].fade = -0.5f;
    nodes[7].fade = 7;
    std::vector<ChlfNode> out;
    std::string fault;
    EXPECT_FALSE(ParseCHLF("bad.chlf", WriteCHLF(nodes), out, fault));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].time, 0);
    EXPECT_EQ(out[1].time, 600);
    EXPECT_EQ(out[2].time, 700);
    EXPECT_EQ(out[1].fade, 0.0f);
    EXPECT_EQ(out[2].fade, 2.0f);
    EXPECT_NE(
        fault.find("2 node(s) hold a value that is not a finite number (first: node 1, eye.z = nan): they "
                   "are dropped"),
        std::string::npos)
        << fault;
    EXPECT_NE(fault.find("3 node(s) give no view (first: node 3, where the eye sits on the centre)"),
              std::string::npos)
        << fault;
    EXPECT_NE(fault.find("2 fade value(s) lie outside 0..2 (first: node 6, fade = -0.5)"), std::string::npos)
        << fault;
    EXPECT_EQ(fault.find('\n'), std::string::npos) << fault;

    // Fades up to 2 (white) are the flight's own, not faults.
    EXPECT_TRUE(ParseCHLF("white.chlf", WriteCHLF({node(0, 1, 0), node(10, 2, 2)}), out, fault)) << fault;
    EXPECT_EQ(DegenerateView(svect3f(0, 0, 0), svect3f(0, 0, -1), svect3f(0, 1, 0)), nullptr);
    EXPECT_STREQ(DegenerateView(svect3f(0, 0, 0), svect3f(0, 0, -1), svect3f(0, 0, 2)),
                 "the up vector points along the line of sight");
    EXPECT_STREQ(DegenerateView(svect3f(-3e38f, 0, 0), svect3f(3e38f, 0, 0), svect3f(0, 1, 0)), nullptr)
        << "far apart, but a view";
}

TEST(ChlfParse, TruncatedAtEveryByte)
{
    const auto good = WriteCHLF({node(0, 1, 0.5f), node(100, 2, 1)}, -77);
    for (std::size_t n = 0; n < good.size(); ++n)
    {
        const std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        std::vector<ChlfNode> out;
        std::string fault;
        EXPECT_FALSE(ParseCHLF("cut.chlf", cut, out, fault)) << n;
        EXPECT_EQ(out.size(), n < 8 ? 0u : (n - 8) / 44);
    }
}

TEST(Camera, StrictBracketsFrozenStateAndHalfway)
{
    auto cam = cameraWith({node(1000, 0, 0), node(2000, 10, 1), node(4000, 20, 0.5f)});
    EXPECT_EQ(cam->fade, 0.0f);

    cam->UpdateAt(500); // before the first node: still the initial state
    EXPECT_EQ(cam->eye, svect3f(0, 0, 0));
    EXPECT_EQ(cam->up, svect3f(0, 0, 0));
    cam->UpdateAt(1000); // exactly on a node: matches no pair
    EXPECT_EQ(cam->eye, svect3f(0, 0, 0));

    cam->UpdateAt(1500);
    EXPECT_EQ(cam->eye, svect3f(5, 10, 15));
    EXPECT_EQ(cam->center, svect3f(-5, 0, 1));
    EXPECT_EQ(cam->up, svect3f(0, 1, 5));
    EXPECT_EQ(cam->fade, 0.5f);

    cam->UpdateAt(2000); // on the middle node: the previous frame's camera stays
    EXPECT_EQ(cam->eye, svect3f(5, 10, 15));
    cam->UpdateAt(3999);
    const svect3f last = cam->eye;
    EXPECT_NEAR(last.x, 20.0f, 0.01f);
    EXPECT_NE(last.x, 20.0f);
    cam->UpdateAt(100000); // after the end: frozen where the last frame left it
    EXPECT_EQ(cam->eye, last);
}

TEST(Camera, NoPairWithZeroOrOneNodeAndLastMatchingPairWins)
{
    for (std::size_t n : {0u, 1u})
    {
        auto cam = cameraWith(std::vector<ChlfNode>(n, node(100, 3, 1)));
        for (int ms : {0, 100, 101, 1000000})
            cam->UpdateAt(ms);
        EXPECT_EQ(cam->eye, svect3f(0, 0, 0));
        EXPECT_EQ(cam->fade, 0.0f);
    }
    // Out of order: pairs (0, 100) and (50, 150) both hold ms = 75; the later pair sets the state.
    auto cam = cameraWith({node(0, 0), node(100, 100), node(50, 50), node(150, 250)});
    cam->UpdateAt(75);
    EXPECT_EQ(cam->eye.x, 100.0f); // the first pair alone would give 75
    EXPECT_EQ(cam->center.x, -100.0f);

    // Times at the ends of int32 do not overflow the interpolation.
    auto wide = cameraWith({node(INT_MIN, 0), node(INT_MAX, 1)});
    wide->UpdateAt(0);
    EXPECT_NEAR(wide->eye.x, 0.5f, 1e-6f);
}

TEST(Camera, ABlendThatLosesItsViewKeepsThePreviousFrame)
{
    // The up vector turns over between two sound nodes: halfway it is zero.
    ChlfNode a = node(0, 0, 0), b = node(100, 0, 1);
    a.up = svect3f(0, 1, 0);
    b.up = svect3f(0, -1, 0);
    auto cam = cameraWith({a, b});
    cam->UpdateAt(25);
    EXPECT_EQ(cam->up, svect3f(0, 0.5f, 0));
    EXPECT_EQ(cam->fade, 0.25f);
    cam->UpdateAt(50);
    EXPECT_EQ(cam->up, svect3f(0, 0.5f, 0));
    EXPECT_EQ(cam->fade, 0.25f);
    cam->UpdateAt(75);
    EXPECT_EQ(cam->up, svect3f(0, -0.5f, 0));
}

TEST_F(InTempDir, LoadPathAlwaysReadsTheAccumulatedFlightIntoSlotZero)
{
    std::string error;
    ASSERT_TRUE(WriteFileBytes("vqpath001.chlf", WriteCHLF({node(0, 99), node(10, 99)}), error));
    ASSERT_TRUE(
        WriteFileBytes("vq_accumcam.chlf", WriteCHLF({node(0, 0), node(100, 10, 1)}, 0x7fffffff), error));
    auto cam = std::make_unique<CCamera>();
    cam->curpath = 0;
    cam->LoadPath("vqpath001.chlf");
    EXPECT_EQ(cam->numnodes[0], 2);
    for (int s = 1; s < CCamera::kSlots; ++s)
        EXPECT_EQ(cam->numnodes[s], 0);
    cam->UpdateAt(50);
    EXPECT_EQ(cam->eye.x, 5.0f);
    EXPECT_EQ(cam->fade, 0.5f);
}

TEST_F(InTempDir, LoadPathKeepsWhatFitsAndReportsOnce)
{
    std::string error;
    auto bytes = WriteCHLF({node(0, 0), node(100, 10)});
    putI32(bytes, 0, 5);
    ASSERT_TRUE(WriteFileBytes("vq_accumcam.chlf", bytes, error));
    auto cam = std::make_unique<CCamera>();
    testing::internal::CaptureStderr();
    cam->LoadPath(nullptr);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(cam->numnodes[0], 2);
    EXPECT_EQ(err.rfind("CCamera: \"vq_accumcam.chlf\": node count N = 5", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);

    // A node without numbers is left out: the flight runs straight from its neighbours.
    ChlfNode broken = node(50, 5);
    broken.center.y = NAN;
    ASSERT_TRUE(WriteFileBytes("vq_accumcam.chlf", WriteCHLF({node(0, 0), broken, node(100, 10)}), error));
    testing::internal::CaptureStderr();
    cam->LoadPath(nullptr);
    EXPECT_NE(
        testing::internal::GetCapturedStderr().find("(first: node 1, centre.y = nan): they are dropped"),
        std::string::npos);
    EXPECT_EQ(cam->numnodes[0], 2);
    cam->UpdateAt(50);
    EXPECT_EQ(cam->eye, svect3f(5, 10, 15));

    std::remove("vq_accumcam.chlf");
    testing::internal::CaptureStderr();
    cam->LoadPath("vq_accumcam.chlf");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot open"), std::string::npos);
    EXPECT_EQ(cam->numnodes[0], 0);
}
