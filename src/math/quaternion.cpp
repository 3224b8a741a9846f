#include "math/quaternion.h"

#include <cmath>

float length(quaternion q)
{
    return static_cast<float>(std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w));
}

quaternion conjugate(quaternion q) { return {q.x, q.y, q.z, -q.w}; }

quaternion normalize(quaternion q)
{
    const double len = length(q);
    return {q.x / len, q.y / len, q.z / len, q.w / len};
}

quaternion make(svect3f axis, float angle)
{
    const double s = std::sin(angle / 2), c = std::cos(angle / 2);
    return {axis.x * s, axis.y * s, axis.z * s, c};
}

quaternion mult(quaternion a, quaternion b)
{
    quaternion r;
    r.x = a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y;
    r.y = a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x;
    r.z = a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w;
    r.w = a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z;
    return r;
}
