#pragma once
// The small shared maths of the generators: the smooth step and a double-precision 3-vector.
#include <algorithm>
#include <cmath>

namespace vqtools
{
// 0 below e0, 1 above e1, and the cubic Hermite ramp 3t^2 - 2t^3 between, in the precision of
// the edge e0 (so integer or mixed arguments take the caller's precision, not a guess).
template <class T> struct SameAs
{
    using type = T;
};
template <class T> T smoothstep(T e0, typename SameAs<T>::type e1, typename SameAs<T>::type x)
{
    const T t = std::clamp((x - e0) / (e1 - e0), T(0), T(1));
    return t * t * (T(3) - T(2) * t);
}

struct Vec3
{
    double x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(double s, Vec3 a) { return a * s; }
inline double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
// The zero vector stays zero rather than becoming NaN.
inline Vec3 Normalize(Vec3 a)
{
    const double l = Length(a);
    return l > 1e-12 ? a * (1.0 / l) : Vec3{};
}
inline Vec3 Lerp(Vec3 a, Vec3 b, double t) { return a + (b - a) * t; }
} // namespace vqtools
