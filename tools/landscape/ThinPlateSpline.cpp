#include "ThinPlateSpline.h"

#include <algorithm>
#include <cmath>

namespace landscape
{
namespace
{
double kernel(double r2)
{
    return r2 > 0 ? 0.5 * r2 * std::log(r2) : 0.0; // r^2 log r, written with r^2
}

// Solves a x = b in place by Gaussian elimination with partial pivoting; false when singular.
bool solve(std::vector<double>& a, std::vector<double>& b, int n)
{
    for (int col = 0; col < n; ++col)
    {
        int pivot = col;
        for (int r = col + 1; r < n; ++r)
            if (std::fabs(a[r * n + col]) > std::fabs(a[pivot * n + col]))
                pivot = r;
        if (std::fabs(a[pivot * n + col]) < 1e-12)
            return false;
        if (pivot != col)
        {
            for (int c = 0; c < n; ++c)
                std::swap(a[col * n + c], a[pivot * n + c]);
            std::swap(b[col], b[pivot]);
        }
        for (int r = col + 1; r < n; ++r)
        {
            const double f = a[r * n + col] / a[col * n + col];
            if (f == 0)
                continue;
            for (int c = col; c < n; ++c)
                a[r * n + c] -= f * a[col * n + c];
            b[r] -= f * b[col];
        }
    }
    for (int r = n - 1; r >= 0; --r)
    {
        double s = b[r];
        for (int c = r + 1; c < n; ++c)
            s -= a[r * n + c] * b[c];
        b[r] = s / a[r * n + r];
    }
    return true;
}
} // namespace

bool ThinPlateSpline::Fit(const std::vector<Sample>& samples, std::string& error)
{
    centres.clear();
    const int n = static_cast<int>(samples.size());
    if (n < 3)
    {
        error = "a thin-plate spline needs at least three samples";
        return false;
    }
    double extent = 0;
    for (const Sample& s : samples)
        extent = std::max({extent, std::fabs(s.x), std::fabs(s.z)});
    scale = extent > 0 ? 1.0 / extent : 1.0;

    const int m = n + 3;
    std::vector<double> a(static_cast<std::size_t>(m) * m, 0.0), b(m, 0.0);
    for (int i = 0; i < n; ++i)
    {
        const double xi = samples[i].x * scale, zi = samples[i].z * scale;
        for (int j = 0; j < n; ++j)
        {
            const double dx = xi - samples[j].x * scale, dz = zi - samples[j].z * scale;
            a[i * m + j] = kernel(dx * dx + dz * dz);
        }
        a[i * m + n] = a[n * m + i] = 1;
        a[i * m + n + 1] = a[(n + 1) * m + i] = xi;
        a[i * m + n + 2] = a[(n + 2) * m + i] = zi;
        b[i] = samples[i].value;
    }
    if (!solve(a, b, m))
    {
        error = "the spline's samples are degenerate (a repeated point, or all on one line)";
        return false;
    }
    centres = samples;
    for (int i = 0; i < n; ++i)
        centres[i].value = b[i];
    a0 = b[n];
    ax = b[n + 1];
    az = b[n + 2];
    return true;
}

double ThinPlateSpline::Evaluate(double x, double z) const
{
    const double sx = x * scale, sz = z * scale;
    double v = a0 + ax * sx + az * sz;
    for (const Sample& c : centres)
    {
        const double dx = sx - c.x * scale, dz = sz - c.z * scale;
        v += c.value * kernel(dx * dx + dz * dz);
    }
    return v;
}
} // namespace landscape
