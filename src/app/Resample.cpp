#include "app/Resample.h"

#include <cmath>

namespace
{
// The sRGB curve both ways: 256 exact decodes, and encodes from 1/16384 steps of linear light
// (fine enough that no code is missed at the dark end, where the curve is steepest).
constexpr int kEncodeSteps = 16384;

struct Curves
{
    float decode[256];
    std::uint8_t encode[kEncodeSteps + 1];
    Curves()
    {
        for (int i = 0; i < 256; ++i)
        {
            const double c = i / 255.0;
            decode[i] = static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        for (int i = 0; i <= kEncodeSteps; ++i)
        {
            const double l = static_cast<double>(i) / kEncodeSteps;
            const double c = l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1.0 / 2.4) - 0.055;
            encode[i] = static_cast<std::uint8_t>(std::lround(std::fmin(std::fmax(c, 0.0), 1.0) * 255.0));
        }
    }
};

const Curves& curves()
{
    static const Curves c;
    return c;
}
} // namespace

void LinearAccumulator::Reset(int w, int h)
{
    width = w;
    height = h;
    count = samples = 0;
    sum.assign(static_cast<std::size_t>(w) * h * 3, 0.0f);
}

void LinearAccumulator::Add(const std::vector<std::uint8_t>& rgb, int n)
{
    const Curves& c = curves();
    const std::size_t rowIn = static_cast<std::size_t>(width) * n * 3;
    if (n < 1 || rgb.size() < rowIn * static_cast<std::size_t>(height) * n)
        return;
    for (int y = 0; y < height; ++y)
        for (int sy = 0; sy < n; ++sy)
        {
            const std::uint8_t* in = rgb.data() + rowIn * (static_cast<std::size_t>(y) * n + sy);
            float* out = sum.data() + static_cast<std::size_t>(y) * width * 3;
            for (int x = 0; x < width; ++x)
                for (int sx = 0; sx < n; ++sx)
                    for (int ch = 0; ch < 3; ++ch)
                        out[3 * x + ch] += c.decode[in[3 * (x * n + sx) + ch]];
        }
    ++count;
    samples += n * n;
}

void LinearAccumulator::Result(std::vector<std::uint8_t>& rgb) const
{
    const Curves& c = curves();
    rgb.resize(sum.size());
    const float scale = samples > 0 ? static_cast<float>(kEncodeSteps) / static_cast<float>(samples) : 0.0f;
    for (std::size_t i = 0; i < sum.size(); ++i)
    {
        const long step = std::lround(sum[i] * scale);
        rgb[i] = c.encode[step < 0 ? 0 : step > kEncodeSteps ? kEncodeSteps : step];
    }
}
