#include "audio/Fft1024.h"

#include "audio/PcmTrack.h"

#include <fftw3.h>

#include <cmath>
#include <vector>

struct Fft1024::Impl
{
    float* in = nullptr;
    fftwf_complex* out = nullptr;
    fftwf_plan plan = nullptr;
    std::vector<float> window;
    std::vector<float> mono;
};

Fft1024::Fft1024() : impl(new Impl)
{
    impl->in = fftwf_alloc_real(kSize);
    impl->out = fftwf_alloc_complex(kSize / 2 + 1);
    // Planning is not thread-safe in FFTW; the piece builds its spectra on one thread.
    impl->plan = fftwf_plan_dft_r2c_1d(kSize, impl->in, impl->out, FFTW_ESTIMATE);
    impl->window.resize(kSize);
    for (int i = 0; i < kSize; ++i)
        impl->window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * M_PI * i / kSize));
    impl->mono.resize(kSize);
}

Fft1024::~Fft1024()
{
    fftwf_destroy_plan(impl->plan);
    fftwf_free(impl->in);
    fftwf_free(impl->out);
}

void Fft1024::ComputeMono(const float* mono, float* out)
{
    for (int i = 0; i < kSize; ++i)
        impl->in[i] = mono[i] * impl->window[i];
    fftwf_execute(impl->plan);
    const float scale = 8.0f / kSize;
    for (int k = 0; k < kBins; ++k)
    {
        const float re = impl->out[k][0], im = impl->out[k][1];
        out[k] = std::sqrt(re * re + im * im) * scale;
    }
}

void Fft1024::Compute(const PcmTrack& track, std::size_t end, float* out)
{
    const std::size_t frames = track.frames();
    if (end > frames)
        end = frames;
    const std::int16_t* s = track.samples.data();
    for (int i = 0; i < kSize; ++i)
    {
        const long long f = static_cast<long long>(end) - kSize + i;
        if (f < 0)
            impl->mono[i] = 0.0f;
        else
        {
            const std::size_t k = static_cast<std::size_t>(f) * 2;
            impl->mono[i] = (static_cast<float>(s[k]) + static_cast<float>(s[k + 1])) * (0.5f / 32768.0f);
        }
    }
    ComputeMono(impl->mono.data(), out);
}

float SpectrumRange(const float* fft, int a, int b)
{
    float sum = 0;
    for (int i = a; i <= b; ++i)
        sum += fft[i];
    return sum / static_cast<float>(b - a);
}
