#pragma once
// CTree grows one tree from a small per-level table and emits its bark and leaves.
//
// Every branch is a five-sided tapered tube that splits at its end into the next level's
// children, spread evenly around its axis. All randomness comes from the piece's generator
// (rnd), drawn in a fixed order, depth first, so a tree is reproducible from the generator's
// state. The tree owns its branches and no GL objects: the renderers hand their geometry to a
// Sink, so the island can record it and send it into display lists, and tests can count it.
//
// Capacities are fixed: 7 levels, 2..30 rings per branch, 0..10 children, 5 vertices per ring
// (room for 20). A table outside them is refused by SetLevel or Generate, never written past.
#include "math/svect3f.h"

#include <string>

class CTree
{
public:
    static constexpr int kLevels = 7;
    static constexpr int kMaxRings = 30;
    static constexpr int kMaxSides = 20;
    static constexpr int kMaxChildren = 10;
    static constexpr int kSides = 5;

    struct levelinfo_t
    {
        float length = 0;       // of every branch of the level
        float radius = 0;       // tube radius at the branch start
        float spread = 0;       // sideways push given to this level's children
        float radiusjitter = 0; // each ring's radius times rnd(1 - j, 1 + j)
        float posjitter = 0;    // each ring centre moves by rnd(-1, 1) * j per axis
        int rings = 0;          // cross-section rings, ends included
        int children = 0;       // children at the branch end; 0 ends the recursion
        bool leaf = false;      // one leaf quad at the tip
    };

    struct vertex_t
    {
        float s, t; // texture coordinate
        svect3f v;  // position, the tree's base included
    };

    // What the renderers emit: one call per primitive a GL renderer would draw with glBegin,
    // glTexCoord2f + glVertex3f pairs in the given order, and glEnd.
    class Sink
    {
    public:
        enum Primitive
        {
            QuadStrip,
            Quads
        };
        virtual ~Sink() = default;
        virtual void Emit(Primitive p, const vertex_t* vertices, int count) = 0;
    };

    class CBranch
    {
    public:
        // Builds the branch and its whole subtree from info (the child levels follow it in the
        // table). The table must have been validated (CTree::Generate does so).
        CBranch(const levelinfo_t* info, const CBranch* parent, svect3f dir, svect3f pos);
        ~CBranch();
        CBranch(const CBranch&) = delete;
        CBranch& operator=(const CBranch&) = delete;

        // Children first, then this branch.
        void RenderTrunk(Sink& sink) const;
        void RenderLeaf(Sink& sink) const;
        // Branches in this subtree, this one included.
        int Count() const;

        int sides = kSides;
        int numrings = 0;
        svect3f ring[kMaxRings][kMaxSides];
        svect3f leafcorner[4];
        svect3f start;
        svect3f end;
        int numchildren = 0;
        float length = 0;
        float radius = 0;
        CBranch* child[kMaxChildren] = {};
        svect3f pos;
        bool hasleaf = false;
    };

    // The branch rotation: mult(mult(q, p), conjugate(q)) with q = make(axis, angle) and p the
    // pure quaternion of v (math/quaternion), whose vector part is the textbook rotation of v
    // about axis, negated.
    static svect3f Turn(const svect3f& axis, float angle, const svect3f& v);

    CTree();
    ~CTree();
    CTree(const CTree&) = delete;
    CTree& operator=(const CTree&) = delete;

    // Must precede Generate: branches copy the position when they are built.
    void SetPos(float x, float y, float z);
    // Fills entry lvl. Refused (false, nothing stored) when lvl is outside 0..6, rings outside
    // 2..30 or children outside 0..10.
    bool SetLevel(int lvl, float length, float radius, int rings, int children, float spread,
                  float radiusjitter, float posjitter, bool leaf);
    // Grows the trunk and its subtree (replacing any earlier growth). Refuses a table in which a
    // level with children is not followed by a set level, and says why on standard error.
    bool Generate();
    // Empty string when the table can be grown from level 0, else the reason.
    std::string CheckLevels() const;

    void RenderTrunk(Sink& sink) const;
    void RenderLeaf(Sink& sink) const;

    levelinfo_t level[kLevels];
    svect3f pos;
    CBranch* root = nullptr;

private:
    bool levelSet[kLevels] = {};
};
