// Procedural trees: counts, the order of random draws, welded joints, taper, the refusal of
// tables outside the capacities, and the island's forest.
#include "formats/IHLF.h"
#include "math/quaternion.h"
#include "math/random.h"
#include "procedural/CTree.h"
#include "procedural/CTreeMesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace
{
using Branch = CTree::CBranch;

void islandTable(CTree& tree)
{
    const float r[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    ihlf::SetTreeLevels(tree, 3.0f, 1.0f, r);
}

void forEachBranch(const Branch* b, const std::function<void(const Branch&)>& f)
{
    f(*b);
    for (int k = 0; k < b->numchildren; ++k)
        forEachBranch(b->child[k], f);
}

// A trunk only: no children, so its tip ring has radius 0.
void singleBranch(CTree& tree, float radiusjitter, float posjitter)
{
    ASSERT_TRUE(tree.SetLevel(0, 10.0f, 0.8f, 2, 0, 2.0f, radiusjitter, posjitter, false));
    ASSERT_TRUE(tree.Generate());
}
} // namespace

TEST(Tree, TurnIsTheQuaternionProductWithThePiecesConjugate)
{
    vq_srand(8);
    for (int i = 0; i < 2000; ++i)
    {
        svect3f axis(rnd(-1, 1), rnd(-1, 1), rnd(-1, 1));
        if (i % 2)
            axis.unit();
        const float angle = rnd(-7, 7);
        const svect3f v(rnd(-3, 3), rnd(-3, 3), rnd(-3, 3));
        const quaternion q = make(axis, angle);
        const quaternion r = mult(mult(q, quaternion{v.x, v.y, v.z, 0.0}), conjugate(q));
        const svect3f t = CTree::Turn(axis, angle, v);
        ASSERT_EQ(t, svect3f(static_cast<float>(r.x), static_cast<float>(r.y), static_cast<float>(r.z))) << i;
    }
    // About y by a quarter turn, (0, 0, 1) goes to the reflection of (1, 0, 0).
    const svect3f t = CTree::Turn(svect3f(0, 1, 0), 1.5707963f, svect3f(0, 0, 1));
    EXPECT_NEAR(t.x, -1.0f, 1e-6);
    EXPECT_NEAR(t.z, 0.0f, 1e-6);
}

TEST(Tree, IslandTableGivesTheStatedCounts)
{
    vq_srand(42);
    CTree tree;
    islandTable(tree);
    ASSERT_TRUE(tree.Generate());
    EXPECT_EQ(tree.root->Count(), 193);

    CTreeMesh bark, leaves;
    tree.RenderTrunk(bark);
    tree.RenderLeaf(leaves);
    EXPECT_EQ(bark.QuadCount(), 990);
    EXPECT_EQ(leaves.QuadCount(), 135);
    for (const CTreeMesh::run_t& r : bark.runs)
    {
        EXPECT_EQ(r.primitive, CTree::Sink::QuadStrip);
        EXPECT_EQ(r.count, 12);
    }
    for (const CTreeMesh::run_t& r : leaves.runs)
    {
        EXPECT_EQ(r.primitive, CTree::Sink::Quads);
        EXPECT_EQ(r.count, 4);
    }
    // Children are emitted before their parent: the trunk's three strips come last.
    const CTreeMesh::vertex_t& last = bark.vertices.back();
    EXPECT_EQ(last.v, tree.root->ring[3][0] + tree.pos);
    EXPECT_FLOAT_EQ(last.s, 1.0f);
    EXPECT_FLOAT_EQ(last.t, 0.5f);
}

TEST(Tree, StripTextureCoordinatesWrapAroundTheBranch)
{
    vq_srand(1);
    CTree tree;
    singleBranch(tree, 0.0f, 0.0f);
    CTreeMesh bark;
    tree.RenderTrunk(bark);
    ASSERT_EQ(bark.vertices.size(), 12u);
    for (int j = 0; j < 5; ++j)
    {
        EXPECT_FLOAT_EQ(bark.vertices[2 * j].s, j / 5.0f);
        EXPECT_FLOAT_EQ(bark.vertices[2 * j].t, 0.0f);
        EXPECT_FLOAT_EQ(bark.vertices[2 * j + 1].t, 0.5f);
    }
    EXPECT_EQ(bark.vertices[10].v, bark.vertices[0].v);
    EXPECT_FLOAT_EQ(bark.vertices[10].s, 1.0f);
}

TEST(Tree, RandomDrawsComeInTheStatedOrder)
{
    // Per ring: the radius factor, then the centre's z, y and x displacement.
    const float pj = 0.5f, rj = 0.25f;
    vq_srand(777);
    CTree tree;
    singleBranch(tree, rj, pj);
    // Rendering draws nothing: the next value is the ninth of the seed.
    CTreeMesh sink;
    tree.RenderTrunk(sink);
    tree.RenderLeaf(sink);
    const float afterGrowth = rnd(0, 1);

    vq_srand(777);
    const float f0 = rnd(1 - rj, 1 + rj);
    const float z0 = rnd(-1, 1) * pj, y0 = rnd(-1, 1) * pj, x0 = rnd(-1, 1) * pj;
    rnd(1 - rj, 1 + rj);
    const float z1 = rnd(-1, 1) * pj, y1 = rnd(-1, 1) * pj, x1 = rnd(-1, 1) * pj;
    const float nextDraw = rnd(0, 1);

    const Branch& b = *tree.root;
    // The tip ring has radius 0: all five vertices sit on the displaced tip.
    for (int j = 0; j < 5; ++j)
        EXPECT_EQ(b.ring[1][j], svect3f(0.0f + x1, 10.0f + y1, 0.0f + z1)) << j;
    // Around the trunk axis the offsets stay in the xz plane.
    for (int j = 0; j < 5; ++j)
    {
        EXPECT_EQ(b.ring[0][j].y, y0);
        const float theta = (j + 1) * 1.256f;
        EXPECT_NEAR(b.ring[0][j].x, x0 - std::sin(theta) * 0.8f * f0, 1e-5);
        EXPECT_NEAR(b.ring[0][j].z, z0 - std::cos(theta) * 0.8f * f0, 1e-5);
    }
    EXPECT_EQ(afterGrowth, nextDraw);
}

TEST(Tree, TrunkRingsSitAtTheStatedOffsets)
{
    vq_srand(5);
    CTree tree;
    ASSERT_TRUE(tree.SetLevel(0, 12.0f, 0.8f, 4, 2, 2.0f, 0.0f, 0.0f, false));
    ASSERT_TRUE(tree.SetLevel(1, 4.0f, 0.4f, 2, 0, 2.0f, 0.0f, 0.0f, true));
    ASSERT_TRUE(tree.Generate());
    const Branch& trunk = *tree.root;
    for (int i = 0; i < 4; ++i)
    {
        const float t = i / 3.0f;
        const float r = 0.8f * (1 - t) + 0.4f * t;
        for (int j = 0; j < 5; ++j)
        {
            // (-sin, 0, -cos): the piece's rotation is the textbook one reflected.
            const double theta = (j + 1) * 1.256;
            EXPECT_NEAR(trunk.ring[i][j].x, -std::sin(theta) * r, 1e-5) << i << "," << j;
            EXPECT_NEAR(trunk.ring[i][j].y, 12.0f * t, 1e-5);
            EXPECT_NEAR(trunk.ring[i][j].z, -std::cos(theta) * r, 1e-5);
        }
    }
    // Children lean outwards by atan(spread / length) from the trunk axis.
    for (int k = 0; k < 2; ++k)
    {
        const Branch& c = *trunk.child[k];
        const svect3f d = (c.end - c.start) / 4.0f;
        EXPECT_NEAR(std::atan2(std::sqrt(d.x * d.x + d.z * d.z), d.y), std::atan(2.0 / 12.0), 1e-5);
    }
}

TEST(Tree, ChildrenAreWeldedToTheirParentsTip)
{
    vq_srand(9);
    CTree tree;
    islandTable(tree);
    ASSERT_TRUE(tree.Generate());
    int checked = 0;
    forEachBranch(tree.root,
                  [&](const Branch& b)
                  {
                      for (int k = 0; k < b.numchildren; ++k)
                      {
                          const Branch& c = *b.child[k];
                          EXPECT_EQ(c.start, b.end);
                          for (int j = 0; j < 5; ++j)
                              EXPECT_EQ(c.ring[0][j], b.ring[b.numrings - 1][j]);
                          ++checked;
                      }
                      if (b.numchildren == 0)
                      {
                          // The tips taper to a point.
                          for (int j = 1; j < 5; ++j)
                              EXPECT_EQ(b.ring[b.numrings - 1][j], b.ring[b.numrings - 1][0]);
                      }
                  });
    EXPECT_EQ(checked, 192);
}

TEST(Tree, ZeroJittersGiveEqualTrees)
{
    auto grow = [](CTree& t, unsigned seed)
    {
        vq_srand(seed);
        t.SetPos(1, 2, 3);
        for (int l = 0; l < 4; ++l)
            t.SetLevel(l, 5.0f / (l + 1), 0.5f / (l + 1), 3, l < 3 ? 3 : 0, 2.0f, 0.0f, 0.0f, l == 3);
        ASSERT_TRUE(t.Generate());
    };
    CTree a, b;
    grow(a, 1);
    grow(b, 99999);
    CTreeMesh ma, mb, la, lb;
    a.RenderTrunk(ma);
    b.RenderTrunk(mb);
    a.RenderLeaf(la);
    b.RenderLeaf(lb);
    ASSERT_EQ(ma.vertices.size(), mb.vertices.size());
    ASSERT_EQ(la.vertices.size(), lb.vertices.size());
    ASSERT_GT(la.vertices.size(), 0u);
    for (std::size_t i = 0; i < ma.vertices.size(); ++i)
        EXPECT_EQ(ma.vertices[i].v, mb.vertices[i].v);
    for (std::size_t i = 0; i < la.vertices.size(); ++i)
        EXPECT_EQ(la.vertices[i].v, lb.vertices[i].v);
}

TEST(Tree, LeafIsASquareAcrossTheTip)
{
    vq_srand(3);
    CTree tree;
    ASSERT_TRUE(tree.SetLevel(0, 2.0f, 0.1f, 2, 0, 1.0f, 0.0f, 0.0f, true));
    ASSERT_TRUE(tree.Generate());
    const Branch& b = *tree.root;
    // Around the trunk axis |u| = 1: corners at distance 1 from the tip, a quarter turn apart.
    for (int k = 0; k < 4; ++k)
    {
        const svect3f off = b.leafcorner[k] - svect3f(0, 2, 0);
        EXPECT_NEAR(off.length(), 1.0f, 1e-5);
        EXPECT_NEAR(off.y, 0.0f, 1e-6);
        const double theta = (k + 1) * 1.57;
        EXPECT_NEAR(off.x, -std::sin(theta), 1e-5);
        EXPECT_NEAR(off.z, -std::cos(theta), 1e-5);
    }
}

TEST(Tree, BranchAlongXHasADegenerateLeafAndNoNaN)
{
    CTree::levelinfo_t table[2];
    table[0].length = 3;
    table[0].radius = 0.5f;
    table[0].rings = 2;
    table[0].children = 2;
    table[0].spread = 1;
    table[0].leaf = true;
    table[1].length = 1;
    table[1].radius = 0.2f;
    table[1].rings = 2;
    vq_srand(4);
    Branch b(&table[0], nullptr, svect3f(1, 0, 0), svect3f());
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(b.leafcorner[k], b.leafcorner[0]);
    for (int k = 0; k < 2; ++k)
    {
        const svect3f d = b.child[k]->end - b.child[k]->start;
        EXPECT_FALSE(std::isnan(d.x) || std::isnan(d.y) || std::isnan(d.z));
        EXPECT_EQ(d, svect3f(1, 0, 0));
    }
}

TEST(Tree, TablesOutsideTheCapacitiesAreRefused)
{
    CTree tree;
    EXPECT_FALSE(tree.SetLevel(7, 1, 1, 2, 0, 1, 0, 0, false));
    EXPECT_FALSE(tree.SetLevel(-1, 1, 1, 2, 0, 1, 0, 0, false));
    EXPECT_FALSE(tree.SetLevel(0, 1, 1, 1, 0, 1, 0, 0, false));
    EXPECT_FALSE(tree.SetLevel(0, 1, 1, 31, 0, 1, 0, 0, false));
    EXPECT_FALSE(tree.SetLevel(0, 1, 1, 2, 11, 1, 0, 0, false));
    EXPECT_FALSE(tree.SetLevel(0, 1, 1, 2, -1, 1, 0, 0, false));
    // Nothing was set: level 0 is missing.
    EXPECT_FALSE(tree.Generate());
    EXPECT_EQ(tree.root, nullptr);

    // A level with children whose next level was never set.
    ASSERT_TRUE(tree.SetLevel(0, 1, 1, 30, 10, 1, 0, 0, false));
    EXPECT_FALSE(tree.Generate());
    EXPECT_EQ(tree.root, nullptr);

    // Seven levels, the last with children: there is no eighth to read.
    for (int l = 0; l < 7; ++l)
        ASSERT_TRUE(tree.SetLevel(l, 1, 1, 2, 1, 1, 0, 0, false));
    EXPECT_NE(tree.CheckLevels().find("last"), std::string::npos);
    EXPECT_FALSE(tree.Generate());

    // The same seven levels ending in a leaf level grow, at the largest capacities.
    ASSERT_TRUE(tree.SetLevel(6, 1, 1, 30, 0, 1, 0, 0, true));
    ASSERT_TRUE(tree.Generate());
    EXPECT_EQ(tree.root->Count(), 7);
}

TEST(Forest, TreesStandAtTheirRowsOneUnitLower)
{
    const svect3f p = ihlf::TreePosition(0);
    EXPECT_FLOAT_EQ(p.x, 33.131638f);
    EXPECT_FLOAT_EQ(p.y, 54.66309f);
    EXPECT_FLOAT_EQ(p.z, 7.390941f);
    const svect3f last = ihlf::TreePosition(43);
    EXPECT_FLOAT_EQ(last.x, -23.6002693176f);
    EXPECT_FLOAT_EQ(last.y, 13.5246353149f);
    // Rows 4, 6 and 8 are one point.
    EXPECT_EQ(ihlf::TreePosition(4), ihlf::TreePosition(6));
    EXPECT_EQ(ihlf::TreePosition(4), ihlf::TreePosition(8));
}

TEST(Forest, GrowsFortyFourTreesWithTheirDrawsInPlantingOrder)
{
    vq_srand(2024);
    CTreeMesh bark, leaves;
    EXPECT_EQ(ihlf::GrowForest(bark, leaves), 44);
    EXPECT_EQ(bark.QuadCount(), 43560);
    EXPECT_EQ(leaves.QuadCount(), 5940);

    // Tree 0 draws a, b, r1..r4 and then its growth, before tree 1 draws anything.
    vq_srand(2024);
    CTree first;
    const svect3f p = ihlf::TreePosition(0);
    first.SetPos(p.x, p.y, p.z);
    const float a = rnd(0, 6), b = rnd(0, 2);
    float r[4];
    for (float& ri : r)
        ri = rnd(0, 1);
    ihlf::SetTreeLevels(first, a, b, r);
    ASSERT_TRUE(first.Generate());
    CTreeMesh one;
    first.RenderTrunk(one);
    ASSERT_EQ(one.vertices.size(), 198u * 12u);
    for (std::size_t i = 0; i < one.vertices.size(); ++i)
        ASSERT_EQ(one.vertices[i].v, bark.vertices[i].v) << i;

    // Trees 4 and 6 share a point but grow differently.
    const std::size_t perTree = 198u * 12u;
    bool differ = false;
    for (std::size_t i = 0; i < perTree && !differ; ++i)
        differ = !(bark.vertices[4 * perTree + i].v == bark.vertices[6 * perTree + i].v);
    EXPECT_TRUE(differ);
}
