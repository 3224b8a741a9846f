#pragma once
// Constant-bit-rate MP3 encoding with libmp3lame. The file starts with an Info frame that carries
// the encoder delay and padding, so gapless decoders (libmpg123) give back exactly the frames
// that went in: frame 0 of the file is frame 0 of the mix, which keeps the beat grid in place.
#include "music/StereoBuffer.h"

#include <string>

// Samples must lie in [-1, 1]. Returns false with a reason naming the file on failure.
bool EncodeMp3(const StereoBuffer& pcm, int rate, int kbps, const std::string& path, std::string& error);
