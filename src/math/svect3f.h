#pragma once
// svect3f: three single-precision floats x, y, z, laid out exactly as the file formats store a
// vector (12 bytes, x first), so records can be read straight into it.

struct svect3f
{
    float x, y, z;

    svect3f() : x(0), y(0), z(0) {}
    svect3f(float ax, float ay, float az) : x(ax), y(ay), z(az) {}

    svect3f operator+(const svect3f& b) const { return svect3f(x + b.x, y + b.y, z + b.z); }
    svect3f operator-(const svect3f& b) const { return svect3f(x - b.x, y - b.y, z - b.z); }
    svect3f operator*(float s) const { return svect3f(x * s, y * s, z * s); }
    svect3f operator/(float s) const { return svect3f(x / s, y / s, z / s); }
    // Dot product.
    float operator*(const svect3f& b) const { return x * b.x + y * b.y + z * b.z; }
    // Cross product: this x b.
    svect3f operator%(const svect3f& b) const
    {
        return svect3f(y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x);
    }

    svect3f& operator+=(const svect3f& b)
    {
        x += b.x;
        y += b.y;
        z += b.z;
        return *this;
    }
    svect3f& operator-=(const svect3f& b)
    {
        x -= b.x;
        y -= b.y;
        z -= b.z;
        return *this;
    }
    svect3f& operator*=(float s)
    {
        x *= s;
        y *= s;
        z *= s;
        return *this;
    }
    svect3f& operator/=(float s)
    {
        x /= s;
        y /= s;
        z /= s;
        return *this;
    }
    svect3f& operator%=(const svect3f& b)
    {
        *this = *this % b;
        return *this;
    }
    // Exact comparison; a NaN field never compares equal.
    bool operator==(const svect3f& b) const { return x == b.x && y == b.y && z == b.z; }

    // Computed in double precision, rounded to float.
    float length() const;
    // Angle to b in radians. Not clamped: parallel vectors may give NaN through rounding.
    float angle(const svect3f& b) const;
    // Divides by length() in place; the zero vector becomes NaN (no guard, callers rely on sizes).
    void unit();
    svect3f getunit() const;
};

static_assert(sizeof(svect3f) == 12, "svect3f is read straight from 12-byte file records");
