#include "music/CSvf.h"

#include <algorithm>
#include <cmath>

void CSvf::Set(double cutoff, double q, double rate)
{
    const double fc = std::clamp(cutoff, 10.0, rate * 0.45);
    const double g = std::tan(M_PI * fc / rate);
    k = 1.0 / std::max(q, 0.05);
    a1 = 1.0 / (1.0 + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}
