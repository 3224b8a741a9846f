// vqmusicstats <mp3 file> [FROM TO]
// Figures for judging a section of the decoded track without listening to it (a tuning aid, not
// part of the build's assets). Default span: the vortex, 50.8 .. 80.8 s.
//   - loudness (LUFS) and sample peak of the whole track, and its loudest sample from 125.8 s on
//     (the piece quits at 126 s: what plays there must already be silence);
//   - the span's octave band levels and its share of energy above 3 kHz;
//   - the left/right correlation of the span;
//   - the share of pitched energy (55 Hz .. 2 kHz) on each pitch class;
//   - timbre similarity between beats at lags of 1 .. 32 beats: cosine of the per-beat MFCCs
//     (c1 .. c12, c0 left out so loudness does not count), averaged over all beat pairs;
//   - range(2, 3) at every kick (its peak within 100 ms of the beat) and its low between kicks.
#include "music/CLoudnessMeter.h"
#include "music/Tempo.h"

#include "audio/Analysis.h"
#include "audio/PcmTrack.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{
constexpr int kFft = 4096;
constexpr double kSilentFrom = 125.8;

// Power spectrum (per bin, summed over both channels) of the span, averaged over Hann frames.
std::vector<double> powerSpectrum(const PcmTrack& t, std::size_t from, std::size_t to)
{
    std::vector<double> sum(kFft / 2 + 1, 0.0);
    float* in = fftwf_alloc_real(kFft);
    fftwf_complex* out = fftwf_alloc_complex(kFft / 2 + 1);
    const fftwf_plan plan = fftwf_plan_dft_r2c_1d(kFft, in, out, FFTW_ESTIMATE);
    for (int ch = 0; ch < 2; ++ch)
        for (std::size_t f = from; f + kFft <= to; f += kFft / 2)
        {
            for (int i = 0; i < kFft; ++i)
            {
                const double w = 0.5 - 0.5 * std::cos(2.0 * M_PI * i / kFft);
                in[i] = static_cast<float>(t.samples[2 * (f + i) + ch] / 32768.0 * w);
            }
            fftwf_execute(plan);
            for (int k = 0; k <= kFft / 2; ++k)
                sum[k] +=
                    static_cast<double>(out[k][0]) * out[k][0] + static_cast<double>(out[k][1]) * out[k][1];
        }
    fftwf_destroy_plan(plan);
    fftwf_free(in);
    fftwf_free(out);
    return sum;
}

double bandPower(const std::vector<double>& p, double lo, double hi)
{
    double s = 0.0;
    for (std::size_t k = 1; k < p.size(); ++k)
    {
        const double f = static_cast<double>(k) * kTrackRate / kFft;
        if (f >= lo && f < hi)
            s += p[k];
    }
    return s;
}

// Mean log-mel spectrum of each beat in [firstBeat, endBeat), as 12 MFCCs (c1 .. c12).
std::vector<std::vector<double>> beatMfccs(const PcmTrack& t, double firstBeat, double endBeat)
{
    constexpr int kMel = 26, kCoeffs = 12, kFrame = 2048;
    auto mel = [](double f) { return 2595.0 * std::log10(1.0 + f / 700.0); };
    auto hz = [](double m) { return 700.0 * (std::pow(10.0, m / 2595.0) - 1.0); };
    std::vector<double> edges(kMel + 2);
    for (int i = 0; i < kMel + 2; ++i)
        edges[i] = hz(mel(40.0) + (mel(16000.0) - mel(40.0)) * i / (kMel + 1));
    float* in = fftwf_alloc_real(kFrame);
    fftwf_complex* out = fftwf_alloc_complex(kFrame / 2 + 1);
    const fftwf_plan plan = fftwf_plan_dft_r2c_1d(kFrame, in, out, FFTW_ESTIMATE);
    std::vector<std::vector<double>> result;
    for (double b = firstBeat; b < endBeat - 1e-9; b += 1.0)
    {
        const auto a = static_cast<std::size_t>(BeatToSeconds(b) * kTrackRate);
        const auto e = static_cast<std::size_t>(BeatToSeconds(b + 1.0) * kTrackRate);
        std::vector<double> bands(kMel, 1e-12);
        for (std::size_t f = a; f + kFrame <= e + kFrame / 2 && f + kFrame <= t.frames(); f += kFrame / 4)
        {
            for (int i = 0; i < kFrame; ++i)
            {
                const double w = 0.5 - 0.5 * std::cos(2.0 * M_PI * i / kFrame);
                in[i] =
                    static_cast<float>((t.samples[2 * (f + i)] + t.samples[2 * (f + i) + 1]) / 65536.0 * w);
            }
            fftwf_execute(plan);
            for (int k = 1; k <= kFrame / 2; ++k)
            {
                const double fr = static_cast<double>(k) * kTrackRate / kFrame;
                const double p =
                    static_cast<double>(out[k][0]) * out[k][0] + static_cast<double>(out[k][1]) * out[k][1];
                for (int m = 0; m < kMel; ++m)
                {
                    const double lo = edges[m], mid = edges[m + 1], hi = edges[m + 2];
                    if (fr > lo && fr < hi)
                        bands[m] += p * (fr < mid ? (fr - lo) / (mid - lo) : (hi - fr) / (hi - mid));
                }
            }
        }
        std::vector<double> c(kCoeffs);
        for (int n = 1; n <= kCoeffs; ++n)
        {
            double s = 0.0;
            for (int m = 0; m < kMel; ++m)
                s += std::log(bands[m]) * std::cos(M_PI * n * (m + 0.5) / kMel);
            c[n - 1] = s;
        }
        result.push_back(c);
    }
    fftwf_destroy_plan(plan);
    fftwf_free(in);
    fftwf_free(out);
    return result;
}

double cosine(const std::vector<double>& a, const std::vector<double>& b)
{
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        ab += a[i] * b[i];
        aa += a[i] * a[i];
        bb += b[i] * b[i];
    }
    return ab / std::sqrt(aa * bb + 1e-30);
}

double db(double power) { return 10.0 * std::log10(power + 1e-30); }
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 4)
    {
        std::fprintf(stderr, "usage: vqmusicstats <mp3 file> [FROM TO]\n");
        return 2;
    }
    PcmTrack t;
    std::string error;
    if (!DecodeMp3(argv[1], t, error))
    {
        std::fprintf(stderr, "vqmusicstats: %s\n", error.c_str());
        return 1;
    }
    const double from = argc == 4 ? std::atof(argv[2]) : kVortexStartSeconds;
    const double to = argc == 4 ? std::atof(argv[3]) : kDanceStartSeconds;
    const auto a = static_cast<std::size_t>(from * kTrackRate);
    const auto b = std::min(t.frames(), static_cast<std::size_t>(to * kTrackRate));

    // Whole track.
    StereoBuffer whole(t.frames());
    int peak = 0, lastPeak = 0;
    std::size_t peakFrame = 0;
    for (std::size_t i = 0; i < t.frames(); ++i)
    {
        whole.l[i] = t.samples[2 * i] / 32768.0f;
        whole.r[i] = t.samples[2 * i + 1] / 32768.0f;
        const int p = std::max(std::abs(static_cast<int>(t.samples[2 * i])),
                               std::abs(static_cast<int>(t.samples[2 * i + 1])));
        if (p > peak)
        {
            peak = p;
            peakFrame = i;
        }
        if (static_cast<double>(i) / kTrackRate >= kSilentFrom)
            lastPeak = std::max(lastPeak, p);
    }
    std::printf(
        "track: %.2f LUFS, sample peak %.2f dBFS at %.3f s; loudest sample from %.1f s: %d (%.1f dBFS)\n",
        CLoudnessMeter::Integrated(whole, kTrackRate), 20.0 * std::log10(peak / 32768.0),
        static_cast<double>(peakFrame) / kTrackRate, kSilentFrom, lastPeak,
        lastPeak > 0 ? 20.0 * std::log10(lastPeak / 32768.0) : -200.0);
    for (double s = 122.5; s < 127.0; s += 0.25)
    {
        int m = 0;
        for (std::size_t i = static_cast<std::size_t>(s * kTrackRate);
             i < static_cast<std::size_t>((s + 0.25) * kTrackRate) && i < t.frames(); ++i)
            m = std::max({m, std::abs(static_cast<int>(t.samples[2 * i])),
                          std::abs(static_cast<int>(t.samples[2 * i + 1]))});
        std::printf("  %.2f s: peak %6.1f dBFS\n", s, m > 0 ? 20.0 * std::log10(m / 32768.0) : -200.0);
    }

    StereoBuffer span;
    span.l.assign(whole.l.begin() + static_cast<long>(a), whole.l.begin() + static_cast<long>(b));
    span.r.assign(whole.r.begin() + static_cast<long>(a), whole.r.begin() + static_cast<long>(b));
    std::printf("span %.2f .. %.2f s: %.2f LUFS\n", from, to, CLoudnessMeter::Integrated(span, kTrackRate));
    const std::vector<double> p = powerSpectrum(t, a, b);
    const double total = bandPower(p, 0.0, 1e9);
    std::printf("  octave bands (dB relative to the whole span):");
    for (double c = 31.25; c < 20000.0; c *= 2.0)
        std::printf(" %g:%.1f", c, db(bandPower(p, c / M_SQRT2, c * M_SQRT2) / total));
    std::printf("\n  energy above 3 kHz: %.2f %% (%.1f dB)\n", 100.0 * bandPower(p, 3000.0, 1e9) / total,
                db(bandPower(p, 3000.0, 1e9) / total));

    double lr = 0.0, ll = 0.0, rr = 0.0;
    for (std::size_t i = a; i < b; ++i)
    {
        const double l = t.samples[2 * i], r = t.samples[2 * i + 1];
        lr += l * r;
        ll += l * l;
        rr += r * r;
    }
    std::printf("  left/right correlation: %.3f\n", lr / std::sqrt(ll * rr));

    double chroma[12] = {};
    for (std::size_t k = 1; k < p.size(); ++k)
    {
        const double f = static_cast<double>(k) * kTrackRate / kFft;
        if (f < 55.0 || f > 2000.0)
            continue;
        const int pc = static_cast<int>(std::lround(69.0 + 12.0 * std::log2(f / 440.0))) % 12;
        chroma[pc] += p[k];
    }
    double chromaSum = 0.0;
    for (double c : chroma)
        chromaSum += c;
    static const char* kNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    std::printf("  pitch classes:");
    for (int i = 0; i < 12; ++i)
        std::printf(" %s:%.0f%%", kNames[i], 100.0 * chroma[i] / chromaSum);
    std::printf("\n");

    const double firstBeat = std::ceil(SecondsToBeat(from) - 1e-6),
                 endBeat = std::floor(SecondsToBeat(to) + 1e-6);
    const auto mf = beatMfccs(t, firstBeat, endBeat);
    std::printf("  timbre similarity by lag (beats):");
    for (int lag : {1, 2, 3, 4, 6, 8, 12, 16, 24, 32})
    {
        double s = 0.0;
        int n = 0;
        for (std::size_t i = 0; i + lag < mf.size(); ++i, ++n)
            s += cosine(mf[i], mf[i + lag]);
        if (n > 0)
            std::printf(" %d:%.3f", lag, s / n);
    }
    std::printf("\n");

    const std::vector<float> levels = BassLevels(t);
    auto at = [&levels](double s)
    {
        const auto i = static_cast<std::size_t>(std::llround(s * kAnalysisFps));
        return i < levels.size() ? levels[i] : 0.0f;
    };
    std::printf("  range(2, 3) per beat: peak within 100 ms of the beat / low from 200 ms on\n");
    for (double beat = firstBeat; beat < endBeat; beat += 4.0)
    {
        std::printf("  bar %3d:", static_cast<int>(beat) / 4);
        for (int k = 0; k < 4; ++k)
        {
            const double s = BeatToSeconds(beat + k);
            float hi = 0.0f, lo = 1e9f;
            for (double x = s; x < s + 0.1; x += 1.0 / kAnalysisFps)
                hi = std::max(hi, at(x));
            for (double x = s + 0.2; x < s + kSecondsPerBeat - 0.03; x += 1.0 / kAnalysisFps)
                lo = std::min(lo, at(x));
            std::printf("  %5.2f/%4.2f", hi, lo);
        }
        std::printf("\n");
    }
    return 0;
}
