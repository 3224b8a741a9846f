#include "MeshBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <tuple>
#include <vector>

namespace dance
{
namespace
{
// KHLF indices are signed 16-bit.
constexpr std::size_t kMaxVertices = 32767;

using PosKey = std::tuple<long long, long long, long long>;

PosKey keyOf(Vec3 p)
{
    // 1e-5 units: far below any feature, far above rounding noise of the grid evaluation.
    return {std::llround(p.x * 1e5), std::llround(p.y * 1e5), std::llround(p.z * 1e5)};
}

bool same(Vec3 a, Vec3 b) { return Length(a - b) < 1e-7; }
} // namespace

UvRect UvRect::Cell(double u0, double v0, double u1, double v1)
{
    const double cu = 0.5 * (u0 + u1), cv = 0.5 * (v0 + v1);
    const double hu = 0.2 * (u1 - u0), hv = 0.2 * (v1 - v0);
    return {cu - hu, cv - hv, cu + hu, cv + hv};
}

void MeshBuilder::AddGrid(const SurfaceFn& f, int nu, int nv, const Mat4& xf, UvRect uv, bool inward)
{
    const int cols = nu + 1, rows = nv + 1;
    std::vector<Vec3> pos(static_cast<std::size_t>(cols * rows));
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < cols; ++i)
            pos[static_cast<std::size_t>(j * cols + i)] =
                xf.Point(f(static_cast<double>(i) / nu, static_cast<double>(j) / nv));
    auto at = [&](int i, int j) { return pos[static_cast<std::size_t>(j * cols + i)]; };

    // Face normals summed per shared position: corners on the seam or a pole get one normal.
    std::map<PosKey, Vec3> sums;
    for (int j = 0; j < nv; ++j)
        for (int i = 0; i < nu; ++i)
        {
            const Vec3 a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            Vec3 n = Cross(c - a, d - b);
            if (inward)
                n = n * -1.0;
            for (const Vec3& p : {a, b, c, d})
            {
                Vec3& s = sums[keyOf(p)];
                s = s + n;
            }
        }

    const std::size_t base = model.vertices.size();
    if (base + pos.size() > kMaxVertices)
    {
        std::fprintf(stderr, "dance generator: a model would exceed %zu vertices\n", kMaxVertices);
        std::exit(1);
    }
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < cols; ++i)
        {
            const Vec3 p = at(i, j);
            const Vec3 n = Normalize(sums[keyOf(p)]);
            hlf::KhlfVertex v;
            v.pos = svect3f(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z));
            v.normal = svect3f(static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z));
            v.s = static_cast<float>(uv.u0 + (uv.u1 - uv.u0) * i / nu);
            v.t = static_cast<float>(uv.v0 + (uv.v1 - uv.v0) * j / nv);
            model.vertices.push_back(v);
        }

    auto index = [&](int i, int j)
    { return static_cast<std::int16_t>(base + static_cast<std::size_t>(j * cols + i)); };
    for (int j = 0; j < nv; ++j)
        for (int i = 0; i < nu; ++i)
        {
            // Corners in the order that faces the normal's side.
            int ci[4][2] = {{i, j}, {i + 1, j}, {i + 1, j + 1}, {i, j + 1}};
            if (inward)
            {
                std::swap(ci[1][0], ci[3][0]);
                std::swap(ci[1][1], ci[3][1]);
            }
            // Drop a corner that repeats its predecessor (a pole): the face becomes a triangle.
            std::vector<int> keep;
            for (int k = 0; k < 4; ++k)
            {
                const int prev = (k + 3) % 4;
                if (!same(at(ci[k][0], ci[k][1]), at(ci[prev][0], ci[prev][1])))
                    keep.push_back(k);
            }
            if (keep.size() < 3)
                continue;
            hlf::KhlfFace face;
            face.type = keep.size() == 4 ? 1 : 0;
            for (std::size_t k = 0; k < keep.size() && k < 4; ++k)
                face.index[k] = index(ci[keep[k]][0], ci[keep[k]][1]);
            model.faces.push_back(face);
        }
}

void MeshBuilder::AddEllipsoid(Vec3 c, Vec3 r, const Mat4& xf, int nu, int nv, UvRect uv)
{
    AddGrid(
        [c, r](double u, double v)
        {
            const double phi = 2.0 * kPi * u, theta = kPi * v;
            return Vec3{c.x + r.x * std::sin(theta) * std::cos(phi), c.y + r.y * std::cos(theta),
                        c.z + r.z * std::sin(theta) * std::sin(phi)};
        },
        nu, nv, xf, uv);
}

void MeshBuilder::AddLathe(const std::vector<LathePoint>& profile, double sx, double sz, const Mat4& xf,
                           int nu, int stepsPerSpan, UvRect uv)
{
    const int spans = static_cast<int>(profile.size()) - 1;
    if (spans < 1)
        return;
    // Profile sampled with a Catmull-Rom spline, so a few points give a smooth outline.
    auto sample = [&profile, spans](double v)
    {
        const double x = v * spans;
        const int k = std::min(static_cast<int>(x), spans - 1);
        const double t = x - k;
        auto p = [&](int i) { return profile[static_cast<std::size_t>(std::clamp(i, 0, spans))]; };
        const LathePoint p0 = p(k - 1), p1 = p(k), p2 = p(k + 1), p3 = p(k + 2);
        auto cr = [t](double a, double b, double c, double d)
        {
            return 0.5 * ((2 * b) + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t * t +
                          (-a + 3 * b - 3 * c + d) * t * t * t);
        };
        LathePoint out{cr(p0.y, p1.y, p2.y, p3.y), cr(p0.r, p1.r, p2.r, p3.r)};
        // The ends keep their exact radius, so a closed end stays a point.
        if (v <= 0.0)
            out = profile.front();
        if (v >= 1.0)
            out = profile.back();
        out.r = std::max(out.r, 0.0);
        return out;
    };
    AddGrid(
        [&sample, sx, sz](double u, double v)
        {
            const LathePoint q = sample(v);
            const double phi = 2.0 * kPi * u;
            return Vec3{q.r * sx * std::cos(phi), q.y, q.r * sz * std::sin(phi)};
        },
        nu, spans * stepsPerSpan, xf, uv);
}

void MeshBuilder::AddCone(double r, double h, const Mat4& xf, int nu, UvRect uv)
{
    AddLathe({{h, 0.0}, {0.0, r}, {0.0, 0.0}}, 1.0, 1.0, xf, nu, 1, uv);
}

void MeshBuilder::CullOutside(const std::vector<Plane>& planes)
{
    keepFaces(
        [this, &planes](const hlf::KhlfFace& f)
        {
            for (const Plane& pl : planes)
            {
                bool allOut = true;
                for (int k = 0; k < f.corners() && allOut; ++k)
                {
                    const svect3f& p = model.vertices[static_cast<std::size_t>(f.index[k])].pos;
                    allOut = Dot(pl.n, Vec3{p.x, p.y, p.z}) + pl.d < 0.0;
                }
                if (allOut)
                    return false;
            }
            return true;
        });
}

void MeshBuilder::CullInside(double x0, double z0, double x1, double z1, double y)
{
    keepFaces(
        [=](const hlf::KhlfFace& f)
        {
            for (int k = 0; k < f.corners(); ++k)
            {
                const svect3f& p = model.vertices[static_cast<std::size_t>(f.index[k])].pos;
                if (p.x < x0 || p.x > x1 || p.z < z0 || p.z > z1 || p.y > y)
                    return true;
            }
            return false;
        });
}

void MeshBuilder::keepFaces(const std::function<bool(const hlf::KhlfFace&)>& keep)
{
    std::vector<hlf::KhlfFace> kept;
    for (const hlf::KhlfFace& f : model.faces)
        if (keep(f))
            kept.push_back(f);
    // Renumber the vertices that are still used, in their old order.
    std::vector<int> remap(model.vertices.size(), -1);
    for (const hlf::KhlfFace& f : kept)
        for (int k = 0; k < f.corners(); ++k)
            remap[static_cast<std::size_t>(f.index[k])] = 0;
    std::vector<hlf::KhlfVertex> vertices;
    for (std::size_t i = 0; i < remap.size(); ++i)
        if (remap[i] == 0)
        {
            remap[i] = static_cast<int>(vertices.size());
            vertices.push_back(model.vertices[i]);
        }
    for (hlf::KhlfFace& f : kept)
        for (int k = 0; k < f.corners(); ++k)
            f.index[k] = static_cast<std::int16_t>(remap[static_cast<std::size_t>(f.index[k])]);
    model.vertices = std::move(vertices);
    model.faces = std::move(kept);
}

void MeshBuilder::BakeAtlas(int tiles, const std::function<int(Vec3 centre, Vec3 normal)>& tileOf)
{
    // Half a texel of the tile's edge is left out, so the filter never reads the next tile.
    constexpr double kInset = 1.0 / 512.0;
    hlf::KhlfModel out;
    for (const hlf::KhlfFace& f : model.faces)
    {
        const int n = f.corners();
        Vec3 centre, normal;
        double s0 = 1e30, t0 = 1e30;
        for (int k = 0; k < n; ++k)
        {
            const hlf::KhlfVertex& v = model.vertices[static_cast<std::size_t>(f.index[k])];
            centre = centre + Vec3{v.pos.x, v.pos.y, v.pos.z} * (1.0 / n);
            normal = normal + Vec3{v.normal.x, v.normal.y, v.normal.z};
            s0 = std::min(s0, static_cast<double>(v.s));
            t0 = std::min(t0, static_cast<double>(v.t));
        }
        // The repeat the face lies in.
        const double cs = std::floor(s0 + 1e-4), ct = std::floor(t0 + 1e-4);
        const int tile = std::clamp(tileOf(centre, Normalize(normal)), 0, tiles * tiles - 1);
        const double col = tile % tiles, row = tile / tiles;
        if (out.vertices.size() + static_cast<std::size_t>(n) > kMaxVertices)
        {
            std::fprintf(stderr, "dance generator: a model would exceed %zu vertices\n", kMaxVertices);
            std::exit(1);
        }
        hlf::KhlfFace g = f;
        for (int k = 0; k < n; ++k)
        {
            hlf::KhlfVertex v = model.vertices[static_cast<std::size_t>(f.index[k])];
            const double ls = std::clamp(v.s - cs, 0.0, 1.0), lt = std::clamp(v.t - ct, 0.0, 1.0);
            v.s = static_cast<float>((col + kInset + ls * (1.0 - 2.0 * kInset)) / tiles);
            v.t = static_cast<float>((row + kInset + lt * (1.0 - 2.0 * kInset)) / tiles);
            g.index[k] = static_cast<std::int16_t>(out.vertices.size());
            out.vertices.push_back(v);
        }
        out.faces.push_back(g);
    }
    model = std::move(out);
}

int MeshBuilder::Triangles() const
{
    int n = 0;
    for (const hlf::KhlfFace& f : model.faces)
        n += f.type == 1 ? 2 : 1;
    return n;
}
} // namespace dance
