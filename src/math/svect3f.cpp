#include "math/svect3f.h"

#include <cmath>

float svect3f::length() const
{
    const double dx = x, dy = y, dz = z;
    return static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz));
}

float svect3f::angle(const svect3f& b) const { return std::acos((*this * b) / (length() * b.length())); }

void svect3f::unit() { *this /= length(); }

svect3f svect3f::getunit() const { return *this / length(); }
