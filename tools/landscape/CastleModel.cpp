#include "CastleModel.h"

#include "LandscapeTextures.h"
#include "Shaping.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace landscape
{
namespace
{
constexpr double kPi = 3.14159265358979323846;
using L = CastleLayout;
using A = CastleAtlas;

using V3 = vqtools::Vec3;
using vqtools::Cross;
using vqtools::Normalize;

// Collects faces in the castle's local frame and places them in the world.
class Builder
{
public:
    explicit Builder(const CastleSite& s) : site(s), c(std::cos(L::kAngle)), sn(std::sin(L::kAngle)) {}

    // Corners in drawing order (counter-clockwise seen from outside), with their (s, t).
    void Face(const V3* p, const double (*uv)[2], int n)
    {
        const V3 normal = Normalize(Cross(p[1] - p[0], p[n - 1] - p[0]));
        hlf::KhlfFace f;
        f.type = n == 4 ? 1 : 0;
        for (int k = 0; k < n; ++k)
        {
            hlf::KhlfVertex v;
            const V3 w = Place(p[k]);
            const V3 nw = Turn(normal) * -1.0; // stored facing into the stone (see the header)
            v.pos = svect3f(static_cast<float>(w.x), static_cast<float>(w.y), static_cast<float>(w.z));
            v.normal = svect3f(static_cast<float>(nw.x), static_cast<float>(nw.y), static_cast<float>(nw.z));
            v.s = static_cast<float>(uv[k][0]);
            v.t = static_cast<float>(uv[k][1]);
            f.index[k] = static_cast<std::int16_t>(model.vertices.size());
            model.vertices.push_back(v);
        }
        model.faces.push_back(f);
    }

    // A vertical stone face over the bottom edge a -> b (outside to the right of a -> b seen from
    // above), from y0 to y1. Split at every multiple of the atlas's stone height so the courses of
    // neighbouring faces line up; s continues from s0 along the face.
    void StoneWall(V3 a, V3 b, double y0, double y1, double s0)
    {
        const double len = std::hypot(b.x - a.x, b.z - a.z);
        const double sa = s0, sb = s0 + len / A::kStoneWidth;
        double lo = y0;
        while (lo < y1 - 1e-6)
        {
            const double band = std::floor(lo / A::kStoneHeight + 1e-9);
            const double top = (band + 1) * A::kStoneHeight;
            const double hi = std::min(y1, top);
            auto t = [&](double y)
            { return A::kStoneT0 + (top - y) / A::kStoneHeight * (A::kStoneT1 - A::kStoneT0); };
            const V3 p[4] = {{a.x, lo, a.z}, {b.x, lo, b.z}, {b.x, hi, b.z}, {a.x, hi, a.z}};
            const double uv[4][2] = {{sa, t(lo)}, {sb, t(lo)}, {sb, t(hi)}, {sa, t(hi)}};
            Face(p, uv, 4);
            lo = hi;
        }
    }

    // A flat stone top (counter-clockwise seen from above), flagstones from the stone region.
    void StoneTop(const V3* p, int n)
    {
        double uv[4][2];
        for (int k = 0; k < n; ++k)
        {
            uv[k][0] = p[k].x / A::kStoneWidth;
            uv[k][1] = A::kStoneT0 + 0.02 + std::fmod(std::fabs(p[k].z) / A::kStoneWidth, 1.0) * 0.44;
        }
        Face(p, uv, n);
    }

    // An axis-aligned box between (x0, z0) and (x1, z1), from y0 to y1, with the top closed.
    void Box(double x0, double z0, double x1, double z1, double y0, double y1)
    {
        const V3 q[4] = {{x0, 0, z0}, {x0, 0, z1}, {x1, 0, z1}, {x1, 0, z0}};
        double s = 0;
        for (int k = 0; k < 4; ++k)
        {
            const V3 a = q[k], b = q[(k + 1) % 4];
            StoneWall(a, b, y0, y1, s);
            s += std::hypot(b.x - a.x, b.z - a.z) / A::kStoneWidth;
        }
        const V3 top[4] = {{x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}};
        StoneTop(top, 4);
    }

    // Merlons along the outer edge a -> b of a wall top at height y (outside to the right).
    void Battlement(V3 a, V3 b, double y)
    {
        const double len = std::hypot(b.x - a.x, b.z - a.z);
        const V3 dir = Normalize({b.x - a.x, 0, b.z - a.z});
        const V3 in = {dir.z, 0, -dir.x}; // towards the inside
        const double width = 1.0, gap = 0.9, depth = 0.6, height = 1.3;
        const int count = std::max(1, static_cast<int>((len + gap) / (width + gap)));
        const double used = count * width + (count - 1) * gap, start = (len - used) / 2;
        for (int m = 0; m < count; ++m)
        {
            const V3 p0 = a + dir * (start + m * (width + gap)), p1 = p0 + dir * width;
            const V3 p2 = p1 + in * depth, p3 = p0 + in * depth;
            StoneWall(p0, p1, y, y + height, 0.13 * m);
            StoneWall(p1, p2, y, y + height, 0);
            StoneWall(p2, p3, y, y + height, 0.13 * m);
            StoneWall(p3, p0, y, y + height, 0);
            const V3 top[4] = {{p0.x, y + height, p0.z},
                               {p1.x, y + height, p1.z},
                               {p2.x, y + height, p2.z},
                               {p3.x, y + height, p3.z}};
            StoneTop(top, 4);
        }
    }

    // A round tower of `sides` faces around (cx, cz) with a tiled cone roof, and a window from
    // windowY0 to windowY1 on the face that looks most nearly along `look` (none when look is 0).
    void Tower(double cx, double cz, double radius, double height, double roof, int sides,
               V3 look = {0, 0, 0}, double windowY0 = 0, double windowY1 = 0)
    {
        auto at = [&](int k, double r, double y)
        {
            const double ang = -2 * kPi * k / sides; // decreasing angle keeps the outside on the right
            return V3{cx + std::cos(ang) * r, y, cz + std::sin(ang) * r};
        };
        const double arc = 2 * kPi * radius / sides / A::kStoneWidth;
        int windowFace = -1;
        double best = 0;
        for (int k = 0; k < sides; ++k)
        {
            StoneWall(at(k, radius, 0), at(k + 1, radius, 0), L::kFoundation, height, arc * k);
            const V3 mid = (at(k, radius, 0) + at(k + 1, radius, 0)) * 0.5 - V3{cx, 0, cz};
            const double facing = mid.x * look.x + mid.z * look.z;
            if (facing > best)
            {
                best = facing;
                windowFace = k;
            }
        }
        if (windowFace >= 0)
        {
            const V3 a = at(windowFace, radius, 0), b = at(windowFace + 1, radius, 0);
            const V3 mid = (a + b) * 0.5, dir = Normalize(b - a);
            Opening(mid - dir * 0.45, mid + dir * 0.45, windowY0, windowY1, false);
        }
        const double eave = radius + 0.5;
        const V3 apex = {cx, height + roof, cz};
        for (int k = 0; k < sides; ++k)
        {
            const V3 p[3] = {at(k, eave, height - 0.4), at(k + 1, eave, height - 0.4), apex};
            const double s0 = 3.0 * k / sides, s1 = 3.0 * (k + 1) / sides;
            const double uv[3][2] = {{s0, A::kRoofT1}, {s1, A::kRoofT1}, {(s0 + s1) / 2, A::kRoofT0 + 0.01}};
            Face(p, uv, 3);
        }
        // The eaves' underside, so the roof does not look hollow from below.
        for (int k = 0; k < sides; ++k)
        {
            const V3 p[4] = {at(k + 1, radius, height - 0.4), at(k + 1, eave, height - 0.4),
                             at(k, eave, height - 0.4), at(k, radius, height - 0.4)};
            const double uv[4][2] = {{0.1, A::kRoofT1 - 0.02},
                                     {0.2, A::kRoofT1 - 0.02},
                                     {0.2, A::kRoofT1 - 0.01},
                                     {0.1, A::kRoofT1 - 0.01}};
            Face(p, uv, 4);
        }
    }

    // An opening (window or door picture) standing just proud of a wall over a -> b.
    void Opening(V3 a, V3 b, double y0, double y1, bool door)
    {
        const V3 dir = Normalize({b.x - a.x, 0, b.z - a.z});
        const V3 out = {-dir.z, 0, dir.x};
        const V3 pa = a + out * 0.05, pb = b + out * 0.05;
        const V3 p[4] = {{pa.x, y0, pa.z}, {pb.x, y0, pb.z}, {pb.x, y1, pb.z}, {pa.x, y1, pa.z}};
        const double s0 = door ? A::kDoorS0 : A::kWindowS0, s1 = door ? A::kDoorS1 : A::kWindowS1;
        const double uv[4][2] = {
            {s0, A::kOpeningT1}, {s1, A::kOpeningT1}, {s1, A::kOpeningT0}, {s0, A::kOpeningT0}};
        Face(p, uv, 4);
    }

    hlf::KhlfModel model;

private:
    V3 Turn(V3 p) const { return {p.x * c + p.z * sn, p.y, -p.x * sn + p.z * c}; }
    V3 Place(V3 p) const
    {
        const V3 r = Turn(p);
        return {site.x + r.x, site.y + r.y, site.z + r.z};
    }

    CastleSite site;
    double c, sn;
};
} // namespace

hlf::KhlfModel BuildCastle(const CastleSite& site)
{
    Builder b(site);
    const double h = L::kWallHalf, t = L::kWallThick / 2, r = L::kTowerRadius;

    // Curtain walls between the corner towers; the west wall carries the gate.
    struct Side
    {
        V3 outA, outB; // outer face, outside to the right
    };
    const Side sides[4] = {
        {{-h - t, 0, -h + r}, {-h - t, 0, h - r}}, // west (x = -h)
        {{-h + r, 0, h + t}, {h - r, 0, h + t}},   // north (z = +h)
        {{h + t, 0, h - r}, {h + t, 0, -h + r}},   // east (x = +h)
        {{h - r, 0, -h - t}, {-h + r, 0, -h - t}}, // south (z = -h)
    };
    for (const Side& s : sides)
    {
        const V3 dir = Normalize(s.outB - s.outA);
        const V3 in = {dir.z, 0, -dir.x};
        const V3 innerA = s.outA + in * L::kWallThick, innerB = s.outB + in * L::kWallThick;
        b.StoneWall(s.outA, s.outB, L::kFoundation, L::kWallHeight, 0);
        b.StoneWall(innerB, innerA, L::kFoundation, L::kWallHeight, 0.3);
        const V3 top[4] = {{s.outA.x, L::kWallHeight, s.outA.z},
                           {s.outB.x, L::kWallHeight, s.outB.z},
                           {innerB.x, L::kWallHeight, innerB.z},
                           {innerA.x, L::kWallHeight, innerA.z}};
        b.StoneTop(top, 4);
        b.Battlement(s.outA, s.outB, L::kWallHeight);
    }
    b.Opening({-h - t, 0, -1.7}, {-h - t, 0, 1.7}, 0.0, 4.4, true);

    // Corner towers, each with a window looking out.
    for (int k = 0; k < 4; ++k)
    {
        const double sx = (k & 1) ? h : -h, sz = (k & 2) ? h : -h;
        b.Tower(sx, sz, r, L::kTowerHeight, 6.0, 14, {sx, 0, sz}, 7.6, 9.4);
    }

    // The keep, off centre towards the cliff, with battlements and windows on every side.
    const double kx = 2.5, kz = 1.5, k = L::kKeepHalf;
    b.Box(kx - k, kz - k, kx + k, kz + k, L::kFoundation, L::kKeepHeight);
    const V3 keepCorners[4] = {
        {kx - k, 0, kz - k}, {kx - k, 0, kz + k}, {kx + k, 0, kz + k}, {kx + k, 0, kz - k}};
    for (int s = 0; s < 4; ++s)
    {
        const V3 a = keepCorners[s], c = keepCorners[(s + 1) % 4];
        b.Battlement(a, c, L::kKeepHeight);
        const V3 dir = Normalize(c - a);
        for (int w = 0; w < 2; ++w)
        {
            const V3 mid = a + dir * (k * (w == 0 ? 0.65 : 1.35));
            b.Opening(mid - dir * 0.45, mid + dir * 0.45, 9.5, 11.2, false);
            b.Opening(mid - dir * 0.45, mid + dir * 0.45, 13.0, 14.7, false);
        }
    }
    b.Opening({kx - k, 0, kz - 1.1}, {kx - k, 0, kz + 1.1}, 0.0, 3.2, true);
    // The stair turret rises above the keep's north-east corner.
    b.Tower(kx + k, kz + k, 1.8, L::kTurretHeight, 5.0, 10, {1, 0, 1}, 19.0, 20.4);

    if (b.model.vertices.size() > 32767)
    {
        std::fprintf(stderr, "landscape: castle: %zu vertices exceed the 16-bit index range\n",
                     b.model.vertices.size());
        std::exit(1);
    }
    return b.model;
}
} // namespace landscape
