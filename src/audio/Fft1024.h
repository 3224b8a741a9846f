#pragma once
// The 512-bin magnitude spectrum the scenes react to, computed the same way for live playback,
// capture and the track analysis.
//
// Input: the 1024 stereo frames that end at the heard position, mixed to mono (L + R) / 2,
// scaled to [-1, 1] and weighted with a Hann window. Output bin k (0..511) covers k * 44100 / 1024
// Hz (about 43 Hz per bin), lowest first, all non-negative.
//
// Scaling: a full-scale sine centred on a bin reads 2.0 in that bin, its peak-to-peak amplitude.
// (The Hann window's coherent gain is 1/2, so |X_k| = N/4 for a unit sine; we multiply by 8/N.)
// At that scale a loud kick centred on bins 2 and 3 (86..130 Hz) lifts range(2, 3) above 2.0,
// the level the vortex camera jumps at, while the dance floor flashes above 0.6.
#include <cstddef>
#include <cstdint>
#include <memory>

struct PcmTrack;

class Fft1024
{
public:
    static constexpr int kSize = 1024;
    static constexpr int kBins = 512;

    Fft1024();
    ~Fft1024();
    Fft1024(const Fft1024&) = delete;
    Fft1024& operator=(const Fft1024&) = delete;

    // Fills out[0..511] from the kSize frames of track that end just before frame `end`
    // (frames before the start of the track count as silence; the track does not wrap).
    void Compute(const PcmTrack& track, std::size_t end, float* out);
    // Same from kSize mono samples already in [-1, 1].
    void ComputeMono(const float* mono, float* out);

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// The band level the scenes use: sum of bins a..b divided by (b - a). range(2, 3) is the plain
// sum of bins 2 and 3; a == b divides by zero, as the piece never asks for it.
float SpectrumRange(const float* fft, int a, int b);
