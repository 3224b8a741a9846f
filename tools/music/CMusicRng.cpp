#include "music/CMusicRng.h"

CMusicRng::CMusicRng(std::uint64_t seed, std::uint64_t stream) : inc((stream << 1u) | 1u)
{
    Next();
    state += seed;
    Next();
}

std::uint32_t CMusicRng::Next()
{
    const std::uint64_t old = state;
    state = old * 6364136223846793005ULL + inc;
    const auto xorshifted = static_cast<std::uint32_t>(((old >> 18u) ^ old) >> 27u);
    const auto rot = static_cast<std::uint32_t>(old >> 59u);
    return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
}

std::uint64_t MixSeed(std::uint64_t a, std::uint64_t b, std::uint64_t c)
{
    // splitmix64 steps over the three inputs
    std::uint64_t z = a * 0x9E3779B97F4A7C15ULL ^ (b + 0x632BE59BD9B4E019ULL) * 0xBF58476D1CE4E5B9ULL ^
                      (c + 0x94D049BB133111EBULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}
