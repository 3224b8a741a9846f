#pragma once
// Test-time audio: encodes generated PCM as MP3 with libmp3lame, so decoding tests need no file
// from anywhere else.
#include <cstdint>
#include <string>
#include <vector>

// Interleaved 16-bit stereo at 44.1 kHz -> MP3 file. False on failure.
bool EncodeMp3ForTest(const std::string& path, const std::vector<std::int16_t>& stereo, int kbps = 128);
// The same for any rate and channel count (1 or 2; samples interleaved when 2).
bool EncodeMp3ForTest(const std::string& path, const std::vector<std::int16_t>& samples, int kbps, int rate,
                      int channels);
// A stereo sine of the given frequency, amplitude (0..1) and length.
std::vector<std::int16_t> SineStereo(double hz, double amplitude, double seconds);
