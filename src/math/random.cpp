#include "math/random.h"

#include <cstdint>

namespace
{
// Start value of the classic generator before any seeding.
std::uint32_t g_state = 1;
} // namespace

void vq_srand(unsigned int seed) { g_state = seed; }

int vq_rand()
{
    g_state = g_state * 214013u + 2531011u;
    return static_cast<int>((g_state >> 16) & 0x7FFF);
}

float rnd(float a, float b)
{
    const float r = static_cast<float>(vq_rand()) / static_cast<float>(VQ_RAND_MAX);
    return a + (b - a) * r;
}
