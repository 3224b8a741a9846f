// What a captured frame costs besides drawing it: writing it as a PNG (on a worker thread in a
// capture) and reducing a supersampled picture in linear light. Measured on a real frame of the
// vortex when VQ_BENCH_FRAME names one (bench/capture-throughput.sh leaves one behind), else on
// a synthetic picture of lines and gradients.
#include "app/PngFile.h"
#include "app/Resample.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace
{
std::vector<std::uint8_t> picture(int& w, int& h)
{
    std::vector<std::uint8_t> rgb;
    std::string error;
    const char* file = std::getenv("VQ_BENCH_FRAME");
    if (file && ReadPng(file, w, h, rgb, error))
        return rgb;
    w = 1024;
    h = 768;
    rgb.assign(static_cast<std::size_t>(w) * h * 3, 255);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
            if ((x + 3 * y) % 97 < 2 || (5 * x - y) % 131 < 2)
                p[0] = p[1] = p[2] = 20;
            else if ((x - 600) * (x - 600) + (y - 500) * (y - 500) < 150 * 150)
            {
                p[0] = static_cast<std::uint8_t>(x / 5);
                p[1] = static_cast<std::uint8_t>(y / 4);
                p[2] = 200;
            }
        }
    return rgb;
}

void BM_WritePng(benchmark::State& state)
{
    int w = 0, h = 0;
    const std::vector<std::uint8_t> rgb = picture(w, h);
    const std::string path = "/tmp/vq_bench_" + std::to_string(getpid()) + ".png";
    std::string error;
    for (auto _ : state)
        if (!WritePng(path, w, h, rgb, error))
            state.SkipWithError(error.c_str());
    std::remove(path.c_str());
}
BENCHMARK(BM_WritePng)->Unit(benchmark::kMillisecond);

void BM_ReduceSupersampled(benchmark::State& state)
{
    int w = 0, h = 0;
    const std::vector<std::uint8_t> small = picture(w, h);
    // The same picture twice as large each way.
    std::vector<std::uint8_t> big(small.size() * 4);
    for (int y = 0; y < 2 * h; ++y)
        for (int x = 0; x < 2 * w; ++x)
            for (int c = 0; c < 3; ++c)
                big[(static_cast<std::size_t>(y) * 2 * w + x) * 3 + c] =
                    small[(static_cast<std::size_t>(y / 2) * w + x / 2) * 3 + c];
    LinearAccumulator mean;
    std::vector<std::uint8_t> out;
    for (auto _ : state)
    {
        mean.Reset(w, h);
        mean.Add(big, 2);
        mean.Result(out);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ReduceSupersampled)->Unit(benchmark::kMillisecond);
} // namespace
