#include "music/CBiquad.h"

#include <cmath>
#include <complex>

namespace
{
CBiquad normalised(double b0, double b1, double b2, double a0, double a1, double a2)
{
    return CBiquad::Raw(b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0);
}
} // namespace

CBiquad CBiquad::Raw(double b0, double b1, double b2, double a1, double a2)
{
    CBiquad q;
    q.b0 = b0;
    q.b1 = b1;
    q.b2 = b2;
    q.a1 = a1;
    q.a2 = a2;
    return q;
}

CBiquad CBiquad::LowPass(double f, double q, double rate)
{
    const double w = 2.0 * M_PI * f / rate, c = std::cos(w), alpha = std::sin(w) / (2.0 * q);
    return normalised((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

CBiquad CBiquad::HighPass(double f, double q, double rate)
{
    const double w = 2.0 * M_PI * f / rate, c = std::cos(w), alpha = std::sin(w) / (2.0 * q);
    return normalised((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

CBiquad CBiquad::HighShelf(double f, double q, double gainDb, double rate)
{
    const double A = std::pow(10.0, gainDb / 40.0);
    const double w = 2.0 * M_PI * f / rate, c = std::cos(w), alpha = std::sin(w) / (2.0 * q);
    const double sa = 2.0 * std::sqrt(A) * alpha;
    return normalised(A * ((A + 1) + (A - 1) * c + sa), -2 * A * ((A - 1) + (A + 1) * c),
                      A * ((A + 1) + (A - 1) * c - sa), (A + 1) - (A - 1) * c + sa,
                      2 * ((A - 1) - (A + 1) * c), (A + 1) - (A - 1) * c - sa);
}

double CBiquad::Gain(double f, double rate) const
{
    const std::complex<double> z = std::polar(1.0, -2.0 * M_PI * f / rate); // z^-1
    const std::complex<double> num = b0 + b1 * z + b2 * z * z;
    const std::complex<double> den = 1.0 + a1 * z + a2 * z * z;
    return std::abs(num / den);
}
