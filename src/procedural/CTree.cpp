#include "procedural/CTree.h"

#include "math/random.h"

#include <cmath>
#include <cstdio>

namespace
{
int clampInt(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }
} // namespace

CTree::CBranch::CBranch(const levelinfo_t* info, const CBranch* parent, svect3f dir, svect3f position)
{
    const levelinfo_t& L = *info;
    pos = position;
    start = parent ? parent->end : svect3f();
    end = start + dir * L.length;

    // The capacities hold even for a table that was not checked.
    sides = kSides;
    numrings = clampInt(L.rings, 2, kMaxRings);
    numchildren = clampInt(L.children, 0, kMaxChildren);
    length = L.length;
    radius = L.radius;
    hasleaf = L.leaf;

    const float endRadius = numchildren >= 1 ? info[1].radius : 0.0f;

    // Not normalised: its length is the sine of the angle between dir and the x axis, which
    // thins the rings and shrinks the leaves of branches that lean towards x.
    const svect3f X(1, 0, 0);
    const svect3f u = ((dir % X) % dir) % dir;

    svect3f radial; // radial vector of the last ring built
    for (int i = 0; i < numrings; ++i)
    {
        if (i == 0 && parent)
        {
            // Welded onto the parent's tip: no gap at the joint, and no draws.
            for (int j = 0; j < sides; ++j)
                ring[0][j] = parent->ring[parent->numrings - 1][j];
            continue;
        }
        const float t = static_cast<float>(i) / static_cast<float>(numrings - 1);
        const float s = 1.0f - t;
        svect3f c = start * s + end * t;
        const float r = radius * s + endRadius * t;

        const float f = rnd(1.0f - L.radiusjitter, 1.0f + L.radiusjitter);
        radial = u * (r * f);

        c.z += rnd(-1.0f, 1.0f) * L.posjitter;
        c.y += rnd(-1.0f, 1.0f) * L.posjitter;
        c.x += rnd(-1.0f, 1.0f) * L.posjitter;

        for (int j = 0; j < sides; ++j)
        {
            const float theta = static_cast<float>((j + 1) * (6.28 / sides));
            ring[i][j] = c + Turn(dir, theta, radial);
        }
        if (hasleaf)
        {
            for (int k = 0; k < 4; ++k)
            {
                const float theta = static_cast<float>((k + 1) * 1.57);
                leafcorner[k] = c + Turn(dir, theta, u);
            }
            radial = u;
        }
    }

    for (int k = 0; k < numchildren; ++k)
    {
        const float theta = static_cast<float>((k + 1) * (6.28 / numchildren));
        svect3f v = Turn(dir, theta, radial);
        // A zero radial vector (a branch exactly along x, or a tip radius of 0) has no
        // direction to lean in: the child then continues along its parent.
        if (v.length() > 0.0f)
            v.unit();
        else
            v = svect3f();
        const svect3f d = (end - start + v * L.spread).getunit();
        child[k] = new CBranch(info + 1, this, d, pos);
    }
}

CTree::CBranch::~CBranch()
{
    for (int k = 0; k < numchildren; ++k)
        delete child[k];
}

int CTree::CBranch::Count() const
{
    int n = 1;
    for (int k = 0; k < numchildren; ++k)
        n += child[k]->Count();
    return n;
}

void CTree::CBranch::RenderTrunk(Sink& sink) const
{
    for (int k = 0; k < numchildren; ++k)
        child[k]->RenderTrunk(sink);
    vertex_t strip[2 * kSides + 2];
    for (int i = 0; i + 1 < numrings; ++i)
    {
        int n = 0;
        for (int j = 0; j < sides; ++j)
        {
            const float s = static_cast<float>(j) / static_cast<float>(sides);
            strip[n++] = {s, 0.0f, ring[i][j] + pos};
            strip[n++] = {s, 0.5f, ring[i + 1][j] + pos};
        }
        strip[n++] = {1.0f, 0.0f, ring[i][0] + pos};
        strip[n++] = {1.0f, 0.5f, ring[i + 1][0] + pos};
        sink.Emit(Sink::QuadStrip, strip, n);
    }
}

void CTree::CBranch::RenderLeaf(Sink& sink) const
{
    for (int k = 0; k < numchildren; ++k)
        child[k]->RenderLeaf(sink);
    if (!hasleaf)
        return;
    const vertex_t quad[4] = {{0.0f, 0.0f, leafcorner[0] + pos},
                              {1.0f, 0.0f, leafcorner[1] + pos},
                              {1.0f, 1.0f, leafcorner[2] + pos},
                              {0.0f, 1.0f, leafcorner[3] + pos}};
    sink.Emit(Sink::Quads, quad, 4);
}

svect3f CTree::Turn(const svect3f& axis, float angle, const svect3f& v)
{
    // make, mult, conjugate and mult of math/quaternion written out, operation for operation,
    // so the compiler can keep them in registers: the same double arithmetic in the same order,
    // hence the same bits (the tree test holds it to the library functions).
    const double s = std::sin(angle / 2), c = std::cos(angle / 2);
    const double qx = axis.x * s, qy = axis.y * s, qz = axis.z * s, qw = c;
    const double px = v.x, py = v.y, pz = v.z, pw = 0.0;
    // a = q * p
    const double ax = qw * px + qx * pw + qy * pz - qz * py;
    const double ay = qw * py - qx * pz + qy * pw + qz * px;
    const double az = qw * pz + qx * py - qy * px + qz * pw;
    const double aw = qw * pw - qx * px - qy * py - qz * pz;
    // r = a * (qx, qy, qz, -qw)
    const double bx = qx, by = qy, bz = qz, bw = -qw;
    const double rx = aw * bx + ax * bw + ay * bz - az * by;
    const double ry = aw * by - ax * bz + ay * bw + az * bx;
    const double rz = aw * bz + ax * by - ay * bx + az * bw;
    return svect3f(static_cast<float>(rx), static_cast<float>(ry), static_cast<float>(rz));
}

CTree::CTree() = default;

CTree::~CTree() { delete root; }

void CTree::SetPos(float x, float y, float z) { pos = svect3f(x, y, z); }

bool CTree::SetLevel(int lvl, float length, float radius, int rings, int children, float spread,
                     float radiusjitter, float posjitter, bool leaf)
{
    if (lvl < 0 || lvl >= kLevels || rings < 2 || rings > kMaxRings || children < 0 ||
        children > kMaxChildren)
    {
        std::fprintf(stderr,
                     "CTree: level %d refused (rings %d, children %d; limits: levels 0..%d, rings 2..%d, "
                     "children 0..%d)\n",
                     lvl, rings, children, kLevels - 1, kMaxRings, kMaxChildren);
        return false;
    }
    levelinfo_t& L = level[lvl];
    L.length = length;
    L.radius = radius;
    L.rings = rings;
    L.children = children;
    L.spread = spread;
    L.radiusjitter = radiusjitter;
    L.posjitter = posjitter;
    L.leaf = leaf;
    levelSet[lvl] = true;
    return true;
}

std::string CTree::CheckLevels() const
{
    char why[160];
    for (int lvl = 0; lvl < kLevels; ++lvl)
    {
        if (!levelSet[lvl])
        {
            std::snprintf(why, sizeof why, "level %d is used but was never set", lvl);
            return why;
        }
        if (level[lvl].children == 0)
            return std::string();
        if (lvl + 1 == kLevels)
        {
            std::snprintf(why, sizeof why, "level %d has %d children but is the last of %d levels", lvl,
                          level[lvl].children, kLevels);
            return why;
        }
    }
    return std::string();
}

bool CTree::Generate()
{
    delete root;
    root = nullptr;
    const std::string why = CheckLevels();
    if (!why.empty())
    {
        std::fprintf(stderr, "CTree: cannot grow the tree: %s\n", why.c_str());
        return false;
    }
    root = new CBranch(&level[0], nullptr, svect3f(0, 1, 0), pos);
    return true;
}

void CTree::RenderTrunk(Sink& sink) const
{
    if (root)
        root->RenderTrunk(sink);
}

void CTree::RenderLeaf(Sink& sink) const
{
    if (root)
        root->RenderLeaf(sink);
}
