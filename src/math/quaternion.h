#pragma once
// Double-precision quaternion with the scalar part last, and the few operations the tree
// generator needs to rotate branch offsets.
#include "math/svect3f.h"

struct quaternion
{
    double x, y, z, w;
};

// sqrt(x^2 + y^2 + z^2 + w^2), rounded to float.
float length(quaternion q);
// Negates the scalar part only. Rotating with q * v * conjugate(q) therefore yields the rotated
// vector reflected through the origin; the tree generator's geometry is built on that result.
quaternion conjugate(quaternion q);
// Each field divided by the float-rounded length.
quaternion normalize(quaternion q);
// Rotation about axis (used as given, not normalised) by angle radians.
quaternion make(svect3f axis, float angle);
// Hamilton product a * b.
quaternion mult(quaternion a, quaternion b);
