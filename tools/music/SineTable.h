#pragma once
// sin(2 pi x) from a 4096-point table with linear interpolation (error below 3e-7): the drums and
// FM voices call it several times per sample, so the lookup is inline.
#include <cmath>

namespace sine_table
{
constexpr int kSize = 4096;
// The table, built once on first use.
const float* Table();
} // namespace sine_table

inline double SineCycle(double x)
{
    static const float* const t = sine_table::Table();
    const double p = (x - std::floor(x)) * sine_table::kSize;
    int i = static_cast<int>(p);
    if (i >= sine_table::kSize) // x just below an integer can round up to the table's end
        i = sine_table::kSize - 1;
    const double f = p - i;
    return t[i] + (t[i + 1] - t[i]) * f;
}
