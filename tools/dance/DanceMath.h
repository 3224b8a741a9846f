#pragma once
// Double-precision vectors and rigid transforms for the dance generators. Matrices are stored the
// way AHLF keys store them: row by row, acting on column vectors (p' = M p), translation in
// elements 3, 7 and 11.
#include "Shaping.h"

#include <cmath>

namespace dance
{
constexpr double kPi = 3.14159265358979323846;

using vqtools::Cross;
using vqtools::Dot;
using vqtools::Length;
using vqtools::Lerp;
using vqtools::Normalize;
using vqtools::Vec3;

inline double Clamp(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }
inline double Smoothstep(double e0, double e1, double x) { return vqtools::smoothstep(e0, e1, x); }
inline double Radians(double deg) { return deg * kPi / 180.0; }

struct Mat4
{
    double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    static Mat4 Translate(Vec3 t)
    {
        Mat4 r;
        r.m[3] = t.x;
        r.m[7] = t.y;
        r.m[11] = t.z;
        return r;
    }
    static Mat4 RotX(double a)
    {
        Mat4 r;
        const double c = std::cos(a), s = std::sin(a);
        r.m[5] = c;
        r.m[6] = -s;
        r.m[9] = s;
        r.m[10] = c;
        return r;
    }
    static Mat4 RotY(double a)
    {
        Mat4 r;
        const double c = std::cos(a), s = std::sin(a);
        r.m[0] = c;
        r.m[2] = s;
        r.m[8] = -s;
        r.m[10] = c;
        return r;
    }
    static Mat4 RotZ(double a)
    {
        Mat4 r;
        const double c = std::cos(a), s = std::sin(a);
        r.m[0] = c;
        r.m[1] = -s;
        r.m[4] = s;
        r.m[5] = c;
        return r;
    }
    static Mat4 Scale(Vec3 s)
    {
        Mat4 r;
        r.m[0] = s.x;
        r.m[5] = s.y;
        r.m[10] = s.z;
        return r;
    }
    // The frame whose local axes are x, y, z (columns) placed at origin.
    static Mat4 Basis(Vec3 x, Vec3 y, Vec3 z, Vec3 origin)
    {
        Mat4 r;
        const Vec3 cols[4] = {x, y, z, origin};
        for (int c = 0; c < 4; ++c)
        {
            r.m[c] = cols[c].x;
            r.m[4 + c] = cols[c].y;
            r.m[8 + c] = cols[c].z;
        }
        return r;
    }

    Mat4 operator*(const Mat4& b) const
    {
        Mat4 r;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
            {
                double s = 0;
                for (int k = 0; k < 4; ++k)
                    s += m[4 * i + k] * b.m[4 * k + j];
                r.m[4 * i + j] = s;
            }
        return r;
    }
    Vec3 Point(Vec3 p) const
    {
        return {m[0] * p.x + m[1] * p.y + m[2] * p.z + m[3], m[4] * p.x + m[5] * p.y + m[6] * p.z + m[7],
                m[8] * p.x + m[9] * p.y + m[10] * p.z + m[11]};
    }
    Vec3 Dir(Vec3 d) const
    {
        return {m[0] * d.x + m[1] * d.y + m[2] * d.z, m[4] * d.x + m[5] * d.y + m[6] * d.z,
                m[8] * d.x + m[9] * d.y + m[10] * d.z};
    }
    Vec3 Origin() const { return {m[3], m[7], m[11]}; }
};
} // namespace dance
