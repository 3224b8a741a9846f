#include "StageRaster.h"

#include <algorithm>
#include <cmath>

namespace dance
{
TileRect TileAt(int p, int q)
{
    // The floor's own single-precision numbers, widened.
    const double s = static_cast<double>(4.7428575f);
    return {static_cast<double>(-8.76f) + (p - 3) * s, static_cast<double>(-28.33f) + (q - 3) * s, s};
}

StageRaster::StageRaster(int w, int h)
    : width(w), height(h), depths(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0.0f),
      labels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), kNothing)
{
}

void StageRaster::Clear()
{
    std::fill(depths.begin(), depths.end(), 0.0f);
    std::fill(labels.begin(), labels.end(), kNothing);
}

void StageRaster::DrawPolygon(const Vec3* corners, int count, int label)
{
    // View space: x right, y up, z the depth along the view axis.
    const Vec3 f = DanceCamera::Forward(), s = DanceCamera::Side(), u = DanceCamera::Up();
    std::vector<Vec3> in, out;
    for (int k = 0; k < count; ++k)
    {
        const Vec3 d = corners[k] - DanceCamera::kEye;
        in.push_back({Dot(d, s), Dot(d, u), Dot(d, f)});
    }
    // Cut at the near plane.
    const double nearZ = DanceCamera::kNear;
    for (std::size_t k = 0; k < in.size(); ++k)
    {
        const Vec3 a = in[k], b = in[(k + 1) % in.size()];
        const bool ina = a.z >= nearZ, inb = b.z >= nearZ;
        if (ina)
            out.push_back(a);
        if (ina != inb)
            out.push_back(Lerp(a, b, (nearZ - a.z) / (b.z - a.z)));
    }
    for (std::size_t k = 2; k < out.size(); ++k)
    {
        const Vec3 tri[3] = {out[0], out[k - 1], out[k]};
        triangle(tri, label);
    }
}

void StageRaster::triangle(const Vec3 view[3], int label)
{
    const double t = std::tan(Radians(DanceCamera::kFovY * 0.5));
    double x[3], y[3], w[3];
    for (int k = 0; k < 3; ++k)
    {
        w[k] = 1.0 / view[k].z;
        x[k] = (view[k].x * w[k] / t + 1.0) * 0.5 * width;
        y[k] = (1.0 - view[k].y * w[k] / t) * 0.5 * height;
    }
    const double area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    if (std::fabs(area) < 1e-12)
        return;
    const int x0 = std::max(0, static_cast<int>(std::floor(std::min({x[0], x[1], x[2]}))));
    const int x1 = std::min(width - 1, static_cast<int>(std::ceil(std::max({x[0], x[1], x[2]}))));
    const int y0 = std::max(0, static_cast<int>(std::floor(std::min({y[0], y[1], y[2]}))));
    const int y1 = std::min(height - 1, static_cast<int>(std::ceil(std::max({y[0], y[1], y[2]}))));
    for (int py = y0; py <= y1; ++py)
        for (int px = x0; px <= x1; ++px)
        {
            // Pixel centres, as the rasteriser samples them.
            const double cx = px + 0.5, cy = py + 0.5;
            double b[3];
            for (int k = 0; k < 3; ++k)
            {
                const int i = (k + 1) % 3, j = (k + 2) % 3;
                b[k] = ((x[j] - x[i]) * (cy - y[i]) - (cx - x[i]) * (y[j] - y[i])) / area;
            }
            if (b[0] < 0 || b[1] < 0 || b[2] < 0)
                continue;
            const double depth = 1.0 / (b[0] * w[0] + b[1] * w[1] + b[2] * w[2]);
            const std::size_t i = index(px, py);
            if (labels[i] == kNothing || depth < depths[i])
            {
                depths[i] = static_cast<float>(depth);
                labels[i] = label;
            }
        }
}

void StageRaster::DrawModel(const hlf::KhlfModel& model, const float* m, int label, int backLabel)
{
    static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    if (!m)
        m = identity;
    std::vector<Vec3> world(model.vertices.size()), normals(model.vertices.size());
    for (std::size_t i = 0; i < world.size(); ++i)
    {
        const svect3f& p = model.vertices[i].pos;
        const svect3f& n = model.vertices[i].normal;
        world[i] = {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12],
                    m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                    m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
        normals[i] = {m[0] * n.x + m[4] * n.y + m[8] * n.z, m[1] * n.x + m[5] * n.y + m[9] * n.z,
                      m[2] * n.x + m[6] * n.y + m[10] * n.z};
    }
    for (const hlf::KhlfFace& f : model.faces)
    {
        Vec3 c[4], centre, normal;
        bool valid = true;
        for (int k = 0; k < f.corners(); ++k)
        {
            const int j = f.index[k];
            valid = valid && j >= 0 && static_cast<std::size_t>(j) < world.size();
            if (!valid)
                break;
            c[k] = world[static_cast<std::size_t>(j)];
            centre = centre + c[k] * (1.0 / f.corners());
            normal = normal + normals[static_cast<std::size_t>(j)];
        }
        if (!valid)
            continue;
        const bool away = backLabel >= 0 && Dot(normal, DanceCamera::kEye - centre) < 0.0;
        DrawPolygon(c, f.corners(), away ? backLabel : label);
    }
}

void StageRaster::DrawFloor()
{
    for (int p = 0; p < 7; ++p)
        for (int q = 0; q < 7; ++q)
        {
            const TileRect r = TileAt(p, q);
            const double y = -8.0;
            const Vec3 c[4] = {{r.x0, y, r.z0},
                               {r.x0 + r.size, y, r.z0},
                               {r.x0 + r.size, y, r.z0 + r.size},
                               {r.x0, y, r.z0 + r.size}};
            DrawPolygon(c, 4, kFirstTile + 7 * p + q);
        }
}
} // namespace dance
