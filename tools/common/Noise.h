#pragma once
// Deterministic randomness and noise for the generators. The generators never use the piece's
// runtime generator (that one belongs to the piece's own draws) nor glibc's rand.
#include <cstdint>

namespace vqtools
{
// SplitMix64: small, fast, and the same on every machine.
class Rng
{
public:
    explicit Rng(std::uint64_t seed) : state(seed) {}
    std::uint64_t next();
    // Uniform in [0, 1).
    double uniform();
    double range(double a, double b) { return a + (b - a) * uniform(); }
    int below(int n) { return static_cast<int>(uniform() * n); }

private:
    std::uint64_t state;
};

// Hash of integer lattice coordinates to [0, 1).
float hash2(int x, int y, std::uint32_t seed);
float hash3(int x, int y, int z, std::uint32_t seed);

// Smooth value noise in [0, 1]. With period > 0 the noise tiles with that period (in lattice
// units), so textures built from it wrap seamlessly.
float valueNoise2(float x, float y, std::uint32_t seed, int period = 0);
float valueNoise3(float x, float y, float z, std::uint32_t seed);
// Fractal sum of octaves (each doubles frequency, halves amplitude), normalised to [0, 1].
float fbm2(float x, float y, int octaves, std::uint32_t seed, int period = 0);
float fbm3(float x, float y, float z, int octaves, std::uint32_t seed);
// Cellular (Worley) noise over a lattice that tiles every `period` cells (0: no tiling). Every cell
// holds one feature point, at jitterLo + jitterSpan x a hash along each axis of the cell (the y
// hash seeded with seed + ySeed); the cells up to `reach` away from the sample's are searched.
struct CellularShape
{
    float jitterLo = 0.0f, jitterSpan = 1.0f;
    int reach = 1;
    std::uint32_t ySeed = 7u;
};
// The distances to the nearest (f1) and second-nearest (f2) point, the nearest point's wrapped cell
// and the point itself, in lattice units.
struct CellularHit
{
    float f1 = 10.0f, f2 = 10.0f;
    int cx = 0, cy = 0;
    float px = 0.0f, py = 0.0f;
};
CellularHit cellular2(float x, float y, std::uint32_t seed, int period, const CellularShape& shape);
// Distance to the nearest feature point with the points anywhere in their cells, roughly [0, 1].
float worley2(float x, float y, std::uint32_t seed, int period = 0);
} // namespace vqtools
