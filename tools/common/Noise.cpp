#include "Noise.h"

#include <algorithm>
#include <cmath>

namespace vqtools
{
std::uint64_t Rng::next()
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Rng::uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }

namespace
{
std::uint32_t mix(std::uint32_t h)
{
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}
float smooth(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }
int wrapi(int i, int period) { return period > 0 ? ((i % period) + period) % period : i; }
} // namespace

float hash2(int x, int y, std::uint32_t seed)
{
    const std::uint32_t h = mix(static_cast<std::uint32_t>(x) * 0x8DA6B343u ^
                                static_cast<std::uint32_t>(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu);
    return static_cast<float>(h >> 8) * (1.0f / 16777216.0f);
}

float hash3(int x, int y, int z, std::uint32_t seed)
{
    const std::uint32_t h =
        mix(static_cast<std::uint32_t>(x) * 0x8DA6B343u ^ static_cast<std::uint32_t>(y) * 0xD8163841u ^
            static_cast<std::uint32_t>(z) * 0x61C88647u ^ seed * 0xCB1AB31Fu);
    return static_cast<float>(h >> 8) * (1.0f / 16777216.0f);
}

float valueNoise2(float x, float y, std::uint32_t seed, int period)
{
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const float fx = smooth(x - x0), fy = smooth(y - y0);
    const int xa = wrapi(x0, period), xb = wrapi(x0 + 1, period);
    const int ya = wrapi(y0, period), yb = wrapi(y0 + 1, period);
    const float a = hash2(xa, ya, seed), b = hash2(xb, ya, seed);
    const float c = hash2(xa, yb, seed), d = hash2(xb, yb, seed);
    return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

float valueNoise3(float x, float y, float z, std::uint32_t seed)
{
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y)),
              z0 = static_cast<int>(std::floor(z));
    const float fx = smooth(x - x0), fy = smooth(y - y0), fz = smooth(z - z0);
    float v[2];
    for (int k = 0; k < 2; ++k)
    {
        const float a = hash3(x0, y0, z0 + k, seed), b = hash3(x0 + 1, y0, z0 + k, seed);
        const float c = hash3(x0, y0 + 1, z0 + k, seed), d = hash3(x0 + 1, y0 + 1, z0 + k, seed);
        const float ab = a + (b - a) * fx, cd = c + (d - c) * fx;
        v[k] = ab + (cd - ab) * fy;
    }
    return v[0] + (v[1] - v[0]) * fz;
}

float fbm2(float x, float y, int octaves, std::uint32_t seed, int period)
{
    float sum = 0, amp = 1, norm = 0, freq = 1;
    for (int o = 0; o < octaves; ++o)
    {
        sum += amp * valueNoise2(x * freq, y * freq, seed + static_cast<std::uint32_t>(o) * 101u,
                                 period > 0 ? period * static_cast<int>(freq) : 0);
        norm += amp;
        amp *= 0.5f;
        freq *= 2;
    }
    return sum / norm;
}

float fbm3(float x, float y, float z, int octaves, std::uint32_t seed)
{
    float sum = 0, amp = 1, norm = 0, freq = 1;
    for (int o = 0; o < octaves; ++o)
    {
        sum += amp * valueNoise3(x * freq, y * freq, z * freq, seed + static_cast<std::uint32_t>(o) * 101u);
        norm += amp;
        amp *= 0.5f;
        freq *= 2;
    }
    return sum / norm;
}

CellularHit cellular2(float x, float y, std::uint32_t seed, int period, const CellularShape& shape)
{
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    CellularHit hit;
    for (int j = -shape.reach; j <= shape.reach; ++j)
        for (int i = -shape.reach; i <= shape.reach; ++i)
        {
            const int gx = ix + i, gy = iy + j;
            const int hx = wrapi(gx, period), hy = wrapi(gy, period);
            const float px = gx + shape.jitterLo + shape.jitterSpan * hash2(hx, hy, seed);
            const float py = gy + shape.jitterLo + shape.jitterSpan * hash2(hx, hy, seed + shape.ySeed);
            const float d = std::hypot(px - x, py - y);
            if (d < hit.f1)
            {
                hit.f2 = hit.f1;
                hit.f1 = d;
                hit.cx = hx;
                hit.cy = hy;
                hit.px = px;
                hit.py = py;
            }
            else if (d < hit.f2)
                hit.f2 = d;
        }
    return hit;
}

float worley2(float x, float y, std::uint32_t seed, int period)
{
    return cellular2(x, y, seed, period, CellularShape()).f1;
}
} // namespace vqtools
