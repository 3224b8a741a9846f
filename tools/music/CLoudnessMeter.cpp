#include "music/CLoudnessMeter.h"

#include "music/CBiquad.h"

#include <cmath>
#include <vector>

namespace
{
// The two K-weighting stages, designed from their analogue prototypes for any sample rate
// (at 48 kHz they give the coefficients tabled in BS.1770).
void kWeighting(double rate, CBiquad& shelf, CBiquad& lowCut)
{
    {
        const double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
        const double k = std::tan(M_PI * f0 / rate);
        const double vh = std::pow(10.0, gainDb / 20.0);
        const double vb = std::pow(vh, 0.4996667741545416);
        const double a0 = 1.0 + k / q + k * k;
        shelf = CBiquad::Raw((vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0,
                             (vh - vb * k / q + k * k) / a0, 2.0 * (k * k - 1.0) / a0,
                             (1.0 - k / q + k * k) / a0);
    }
    {
        const double f0 = 38.13547087602444, q = 0.5003270373238773;
        const double k = std::tan(M_PI * f0 / rate);
        const double a0 = 1.0 + k / q + k * k;
        lowCut = CBiquad::Raw(1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0);
    }
}
} // namespace

double CLoudnessMeter::WeightingGain(double f, double rate)
{
    CBiquad shelf, lowCut;
    kWeighting(rate, shelf, lowCut);
    return shelf.Gain(f, rate) * lowCut.Gain(f, rate);
}

double CLoudnessMeter::Integrated(const StereoBuffer& buf, double rate)
{
    CBiquad shelfL, cutL, shelfR, cutR;
    kWeighting(rate, shelfL, cutL);
    kWeighting(rate, shelfR, cutR);
    // Mean square per 100 ms quarter-block; a block is four consecutive quarters.
    const auto quarter = static_cast<std::size_t>(std::llround(0.1 * rate));
    std::vector<double> quarters;
    double acc = 0.0;
    std::size_t inQuarter = 0;
    for (std::size_t i = 0; i < buf.frames(); ++i)
    {
        const double l = cutL.Process(shelfL.Process(buf.l[i]));
        const double r = cutR.Process(shelfR.Process(buf.r[i]));
        acc += l * l + r * r;
        if (++inQuarter == quarter)
        {
            quarters.push_back(acc / static_cast<double>(quarter));
            acc = 0.0;
            inQuarter = 0;
        }
    }
    std::vector<double> blocks;
    for (std::size_t j = 3; j < quarters.size(); ++j)
        blocks.push_back(0.25 * (quarters[j - 3] + quarters[j - 2] + quarters[j - 1] + quarters[j]));
    auto loudness = [](double z) { return z > 0.0 ? -0.691 + 10.0 * std::log10(z) : -200.0; };
    double sum = 0.0;
    std::size_t n = 0;
    for (double z : blocks)
        if (loudness(z) > -70.0)
        {
            sum += z;
            ++n;
        }
    if (n == 0)
        return -200.0;
    const double relativeGate = loudness(sum / static_cast<double>(n)) - 10.0;
    sum = 0.0;
    n = 0;
    for (double z : blocks)
    {
        const double lz = loudness(z);
        if (lz > -70.0 && lz > relativeGate)
        {
            sum += z;
            ++n;
        }
    }
    return n == 0 ? -200.0 : loudness(sum / static_cast<double>(n));
}
