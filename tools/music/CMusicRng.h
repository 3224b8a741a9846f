#pragma once
// The generator's own random source (PCG32): fixed seeds give the same track on every machine,
// independent of the C library's rand().
#include <cstdint>

class CMusicRng
{
public:
    explicit CMusicRng(std::uint64_t seed, std::uint64_t stream = 1);

    std::uint32_t Next();
    // Uniform in [0, 1).
    float Uniform() { return static_cast<float>(Next() >> 8) * (1.0f / 16777216.0f); }
    // Uniform in [-1, 1).
    float Bipolar() { return Uniform() * 2.0f - 1.0f; }
    // Uniform in [a, b).
    float Range(float a, float b) { return a + (b - a) * Uniform(); }

private:
    std::uint64_t state = 0;
    std::uint64_t inc = 1;
};

// Mixes a few integers into one seed, so each note gets its own noise whatever the render order.
std::uint64_t MixSeed(std::uint64_t a, std::uint64_t b, std::uint64_t c = 0);
