#include "LogoShapes.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vortexgen
{
namespace
{
constexpr double kPi = 3.14159265358979323846;
// Wall segments meeting at less than this turn share a normal (arcs read round, corners stay sharp).
constexpr double kCreaseDegrees = 30.0;

double cross(Vec2 o, Vec2 a, Vec2 b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

void appendArc(std::vector<Vec2>& pts, Vec2 c, double r, double fromDeg, double toDeg, int steps)
{
    for (int i = 0; i <= steps; ++i)
    {
        const double a = (fromDeg + (toDeg - fromDeg) * i / steps) * kPi / 180.0;
        pts.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
}

// A superellipse: squarer than an ellipse, the shape of a modern display face's O.
std::vector<Vec2> superellipse(Vec2 c, double a, double b, double n, int steps)
{
    std::vector<Vec2> pts;
    for (int i = 0; i < steps; ++i)
    {
        const double t = 2.0 * kPi * i / steps;
        const double ct = std::cos(t), st = std::sin(t);
        const double x = std::copysign(std::pow(std::fabs(ct), 2.0 / n), ct);
        const double y = std::copysign(std::pow(std::fabs(st), 2.0 / n), st);
        pts.push_back({c.x + a * x, c.y + b * y});
    }
    return pts;
}

void orient(std::vector<Vec2>& pts, bool counterClockwise)
{
    if ((SignedArea(pts) > 0) != counterClockwise)
        std::reverse(pts.begin(), pts.end());
}

void place(Shape& s, double dx)
{
    auto move = [dx](std::vector<Vec2>& pts)
    {
        for (Vec2& p : pts)
        {
            p.x += dx + kLetterSlant * p.y;
        }
    };
    move(s.outer.pts);
    for (Contour& h : s.holes)
        move(h.pts);
}

bool pointInTriangle(Vec2 p, Vec2 a, Vec2 b, Vec2 c)
{
    // Inclusive of the edges: a vertex lying on a candidate ear's edge blocks it.
    const double d1 = cross(a, b, p), d2 = cross(b, c, p), d3 = cross(c, a, p);
    const bool hasNeg = d1 < -1e-12 || d2 < -1e-12 || d3 < -1e-12;
    const bool hasPos = d1 > 1e-12 || d2 > 1e-12 || d3 > 1e-12;
    return !(hasNeg && hasPos);
}

double segmentDistance(Vec2 p, Vec2 a, Vec2 b)
{
    const double vx = b.x - a.x, vy = b.y - a.y;
    const double len2 = vx * vx + vy * vy;
    double t = len2 > 0 ? ((p.x - a.x) * vx + (p.y - a.y) * vy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double dx = a.x + t * vx - p.x, dy = a.y + t * vy - p.y;
    return std::sqrt(dx * dx + dy * dy);
}

// Joins a hole to the polygon through a bridge from the hole's rightmost vertex to a polygon
// vertex it can see (the classic construction for ear clipping with holes).
bool bridgeHole(const std::vector<Vec2>& pts, std::vector<int>& poly, const std::vector<int>& hole,
                std::string& error)
{
    int hm = 0;
    for (int i = 1; i < static_cast<int>(hole.size()); ++i)
        if (pts[hole[i]].x > pts[hole[hm]].x)
            hm = i;
    const Vec2 m = pts[hole[hm]];

    // Nearest polygon edge hit by the ray from m towards +x.
    double bestX = std::numeric_limits<double>::max();
    int bestEdge = -1;
    const int n = static_cast<int>(poly.size());
    for (int i = 0; i < n; ++i)
    {
        const Vec2 a = pts[poly[i]], b = pts[poly[(i + 1) % n]];
        if ((a.y > m.y) == (b.y > m.y))
            continue;
        const double x = a.x + (m.y - a.y) * (b.x - a.x) / (b.y - a.y);
        if (x >= m.x && x < bestX)
        {
            bestX = x;
            bestEdge = i;
        }
    }
    if (bestEdge < 0)
    {
        error = "a hole lies outside its outline";
        return false;
    }
    const Vec2 hit{bestX, m.y};
    int pi = pts[poly[bestEdge]].x > pts[poly[(bestEdge + 1) % n]].x ? bestEdge : (bestEdge + 1) % n;

    // A reflex vertex inside (m, hit, p) would hide p; take the one closest in angle instead.
    double bestCos = -2.0;
    int blocker = -1;
    for (int i = 0; i < n; ++i)
    {
        if (i == pi)
            continue;
        const Vec2 prev = pts[poly[(i + n - 1) % n]], cur = pts[poly[i]], next = pts[poly[(i + 1) % n]];
        if (cross(prev, cur, next) >= 0)
            continue; // convex
        if (!pointInTriangle(cur, m, hit, pts[poly[pi]]))
            continue;
        const double dx = cur.x - m.x, dy = cur.y - m.y;
        const double c = dx / std::max(1e-12, std::sqrt(dx * dx + dy * dy));
        if (c > bestCos)
        {
            bestCos = c;
            blocker = i;
        }
    }
    if (blocker >= 0)
        pi = blocker;

    std::vector<int> merged(poly.begin(), poly.begin() + pi + 1);
    const int hn = static_cast<int>(hole.size());
    for (int k = 0; k <= hn; ++k)
        merged.push_back(hole[(hm + k) % hn]);
    merged.push_back(poly[pi]);
    merged.insert(merged.end(), poly.begin() + pi + 1, poly.end());
    poly.swap(merged);
    return true;
}
} // namespace

double SignedArea(const std::vector<Vec2>& pts)
{
    double a = 0;
    for (std::size_t i = 0; i < pts.size(); ++i)
    {
        const Vec2 p = pts[i], q = pts[(i + 1) % pts.size()];
        a += p.x * q.y - q.x * p.y;
    }
    return 0.5 * a;
}

std::vector<Shape> KroShapes()
{
    std::vector<Shape> shapes;

    Shape k;
    k.outer.pts = {{0, 0},       {0.23, 0}, {0.23, 0.34}, {0.33, 0.45}, {0.60, 0}, {0.88, 0},
                   {0.49, 0.62}, {0.84, 1}, {0.56, 1},    {0.23, 0.65}, {0.23, 1}, {0, 1}};
    shapes.push_back(k);

    // R: stem, a round bowl of radius 0.31 and a straight leg meeting the bowl at -60 degrees.
    Shape r;
    r.outer.pts = {{0, 0}, {0.23, 0}, {0.23, 0.38}, {0.36, 0.38}, {0.58, 0}, {0.86, 0}};
    appendArc(r.outer.pts, {0.52, 0.69}, 0.31, -60.0, 90.0, 24);
    r.outer.pts.push_back({0, 1});
    Contour counter;
    counter.pts = {{0.23, 0.56}};
    appendArc(counter.pts, {0.50, 0.69}, 0.13, -90.0, 90.0, 16);
    counter.pts.push_back({0.23, 0.82});
    r.holes.push_back(counter);
    shapes.push_back(r);

    Shape o;
    o.outer.pts = superellipse({0.46, 0.5}, 0.46, 0.5, 2.8, 64);
    Contour inner;
    inner.pts = superellipse({0.46, 0.5}, 0.24, 0.31, 2.8, 64);
    o.holes.push_back(inner);
    shapes.push_back(o);

    place(shapes[0], 0.0);
    place(shapes[1], 1.00);
    place(shapes[2], 1.98);
    for (Shape& s : shapes)
    {
        orient(s.outer.pts, true);
        for (Contour& h : s.holes)
            orient(h.pts, false);
    }
    return shapes;
}

void ShapesBounds(const std::vector<Shape>& shapes, Vec2& lo, Vec2& hi)
{
    lo = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    hi = {-lo.x, -lo.y};
    for (const Shape& s : shapes)
        for (const Vec2& p : s.outer.pts)
        {
            lo.x = std::min(lo.x, p.x);
            lo.y = std::min(lo.y, p.y);
            hi.x = std::max(hi.x, p.x);
            hi.y = std::max(hi.y, p.y);
        }
}

bool Triangulate(const Shape& shape, std::vector<Vec2>& points, std::vector<int>& triangles,
                 std::string& error)
{
    points = shape.outer.pts;
    std::vector<int> poly;
    for (int i = 0; i < static_cast<int>(points.size()); ++i)
        poly.push_back(i);

    std::vector<std::vector<int>> holes;
    for (const Contour& h : shape.holes)
    {
        std::vector<int> idx;
        for (const Vec2& p : h.pts)
        {
            idx.push_back(static_cast<int>(points.size()));
            points.push_back(p);
        }
        holes.push_back(idx);
    }
    // Rightmost holes first, so each bridge only crosses the outline built so far.
    auto maxX = [&points](const std::vector<int>& h)
    {
        double m = -std::numeric_limits<double>::max();
        for (int i : h)
            m = std::max(m, points[i].x);
        return m;
    };
    std::sort(holes.begin(), holes.end(),
              [&maxX](const std::vector<int>& a, const std::vector<int>& b) { return maxX(a) > maxX(b); });
    for (const std::vector<int>& h : holes)
        if (!bridgeHole(points, poly, h, error))
            return false;

    triangles.clear();
    while (poly.size() > 3)
    {
        const int n = static_cast<int>(poly.size());
        int ear = -1, flat = -1;
        for (int i = 0; i < n && ear < 0; ++i)
        {
            const int ia = poly[(i + n - 1) % n], ib = poly[i], ic = poly[(i + 1) % n];
            const Vec2 a = points[ia], b = points[ib], c = points[ic];
            const double turn = cross(a, b, c);
            if (std::fabs(turn) < 1e-12)
            {
                if (flat < 0)
                    flat = i;
                continue;
            }
            if (turn < 0)
                continue;
            bool blocked = false;
            for (int j = 0; j < n && !blocked; ++j)
            {
                const int ij = poly[j];
                if (ij == ia || ij == ib || ij == ic)
                    continue;
                const Vec2 p = points[ij];
                if ((p.x == a.x && p.y == a.y) || (p.x == b.x && p.y == b.y) || (p.x == c.x && p.y == c.y))
                    continue;
                blocked = pointInTriangle(p, a, b, c);
            }
            if (!blocked)
                ear = i;
        }
        // With no proper ear left, a vertex lying straight between its neighbours goes as a
        // zero-area triangle: dropping it silently would leave a crack where it meets the walls.
        if (ear < 0)
            ear = flat;
        if (ear < 0)
        {
            error = "the outline crosses itself; no ear left to cut with " + std::to_string(n) + " corners";
            return false;
        }
        triangles.insert(triangles.end(), {poly[(ear + n - 1) % n], poly[ear], poly[(ear + 1) % n]});
        poly.erase(poly.begin() + ear);
    }
    if (poly.size() == 3)
        triangles.insert(triangles.end(), {poly[0], poly[1], poly[2]});

    // The triangles must cover exactly the shape's area: a missed or doubled ear shows here.
    double want = SignedArea(shape.outer.pts);
    for (const Contour& h : shape.holes)
        want += SignedArea(h.pts);
    double got = 0;
    for (std::size_t t = 0; t < triangles.size(); t += 3)
        got += 0.5 * cross(points[triangles[t]], points[triangles[t + 1]], points[triangles[t + 2]]);
    if (std::fabs(got - want) > 1e-9 * std::max(1.0, std::fabs(want)))
    {
        error = "triangles cover " + std::to_string(got) + " of an area of " + std::to_string(want);
        return false;
    }
    return true;
}

double SignedDistance(const std::vector<Shape>& shapes, Vec2 p)
{
    double best = std::numeric_limits<double>::max();
    bool inside = false;
    auto visit = [&](const std::vector<Vec2>& pts)
    {
        const std::size_t n = pts.size();
        for (std::size_t i = 0, j = n - 1; i < n; j = i++)
        {
            const Vec2 a = pts[j], b = pts[i];
            best = std::min(best, segmentDistance(p, a, b));
            if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y))
                inside = !inside;
        }
    };
    for (const Shape& s : shapes)
    {
        visit(s.outer.pts);
        for (const Contour& h : s.holes)
            visit(h.pts);
    }
    return inside ? -best : best;
}

bool ExtrudeShapes(const std::vector<Shape>& shapes, double height, double depth, hlf::KhlfModel& model,
                   std::string& error)
{
    Vec2 lo, hi;
    ShapesBounds(shapes, lo, hi);
    const double scale = height / (hi.y - lo.y);
    const double cx = 0.5 * (lo.x + hi.x), cy = 0.5 * (lo.y + hi.y);
    const float zf = static_cast<float>(0.5 * depth), zb = -zf;
    auto world = [&](Vec2 p, float z)
    { return svect3f(static_cast<float>((p.x - cx) * scale), static_cast<float>((p.y - cy) * scale), z); };
    auto capTex = [&](Vec2 p, hlf::KhlfVertex& v)
    {
        v.s = static_cast<float>((p.x - lo.x) / (hi.x - lo.x));
        v.t = static_cast<float>((p.y - lo.y) / (hi.y - lo.y));
    };
    auto addVertex = [&model](const hlf::KhlfVertex& v)
    {
        model.vertices.push_back(v);
        return static_cast<int>(model.vertices.size()) - 1;
    };

    model.vertices.clear();
    model.faces.clear();
    for (const Shape& shape : shapes)
    {
        std::vector<Vec2> pts;
        std::vector<int> tris;
        if (!Triangulate(shape, pts, tris, error))
            return false;
        // Front cap keeps the outline's counter-clockwise turn; the back cap is its mirror.
        for (int side = 0; side < 2; ++side)
        {
            const int base = static_cast<int>(model.vertices.size());
            for (const Vec2& p : pts)
            {
                hlf::KhlfVertex v;
                v.pos = world(p, side == 0 ? zf : zb);
                v.normal = svect3f(0, 0, side == 0 ? 1.0f : -1.0f);
                capTex(p, v);
                addVertex(v);
            }
            for (std::size_t t = 0; t < tris.size(); t += 3)
            {
                hlf::KhlfFace f;
                f.type = 0;
                const int a = tris[t], b = side == 0 ? tris[t + 1] : tris[t + 2],
                          c = side == 0 ? tris[t + 2] : tris[t + 1];
                f.index[0] = static_cast<std::int16_t>(base + a);
                f.index[1] = static_cast<std::int16_t>(base + b);
                f.index[2] = static_cast<std::int16_t>(base + c);
                model.faces.push_back(f);
            }
        }

        std::vector<const Contour*> contours{&shape.outer};
        for (const Contour& h : shape.holes)
            contours.push_back(&h);
        for (const Contour* c : contours)
        {
            const std::vector<Vec2>& p = c->pts;
            const int n = static_cast<int>(p.size());
            // Outward normal of each wall segment (outer contours turn counter-clockwise, holes
            // clockwise, so (dy, -dx) points away from the material in both).
            std::vector<Vec2> segN(n);
            std::vector<double> along(n + 1, 0.0);
            for (int i = 0; i < n; ++i)
            {
                const Vec2 a = p[i], b = p[(i + 1) % n];
                const double dx = (b.x - a.x), dy = (b.y - a.y);
                const double len = std::sqrt(dx * dx + dy * dy);
                segN[i] = {dy / len, -dx / len};
                along[i + 1] = along[i] + len;
            }
            const double cosCrease = std::cos(kCreaseDegrees * kPi / 180.0);
            auto cornerNormal = [&](int seg, int neighbour)
            {
                const Vec2 a = segN[seg], b = segN[(neighbour + n) % n];
                if (a.x * b.x + a.y * b.y < cosCrease)
                    return a;
                const double sx = a.x + b.x, sy = a.y + b.y, l = std::sqrt(sx * sx + sy * sy);
                return Vec2{sx / l, sy / l};
            };
            for (int i = 0; i < n; ++i)
            {
                const Vec2 a = p[i], b = p[(i + 1) % n];
                const Vec2 na = cornerNormal(i, i - 1), nb = cornerNormal(i, i + 1);
                const float sa = static_cast<float>(along[i] / along[n]);
                const float sb = static_cast<float>(along[i + 1] / along[n]);
                auto wallVertex = [&](Vec2 q, Vec2 nq, float z, float s)
                {
                    hlf::KhlfVertex v;
                    v.pos = world(q, z);
                    v.normal = svect3f(static_cast<float>(nq.x), static_cast<float>(nq.y), 0.0f);
                    v.s = s;
                    v.t = z == zf ? 0.0f : 1.0f;
                    return addVertex(v);
                };
                hlf::KhlfFace f;
                f.type = 1;
                f.index[0] = static_cast<std::int16_t>(wallVertex(a, na, zf, sa));
                f.index[1] = static_cast<std::int16_t>(wallVertex(a, na, zb, sa));
                f.index[2] = static_cast<std::int16_t>(wallVertex(b, nb, zb, sb));
                f.index[3] = static_cast<std::int16_t>(wallVertex(b, nb, zf, sb));
                model.faces.push_back(f);
            }
        }
        if (model.vertices.size() > 32767)
        {
            error = "the model needs " + std::to_string(model.vertices.size()) +
                    " vertices; the format's 16-bit indices reach 32767";
            return false;
        }
    }
    return true;
}
} // namespace vortexgen
