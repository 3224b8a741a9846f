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
// Cellular (Worley) noise: distance to the nearest feature point, roughly [0, 1].
float worley2(float x, float y, std::uint32_t seed, int period = 0);
} // namespace vqtools
