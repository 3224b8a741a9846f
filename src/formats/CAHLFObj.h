#pragma once
// CAHLFObj: the animation track of one rigid body part, key frames of (frame time, 4 x 4 matrix).
// getMatrix turns the music clock into a frame time, loops it over the track, blends the two
// keys around it element by element and multiplies the result onto the current GL matrix.
#include "formats/HlfFormats.h"

#include <cstdint>

class CAHLFObj
{
public:
    static constexpr int kMaxKeys = 150;
    using key_t = hlf::AhlfKey; // time, then the matrix row by row (translation in 3, 7, 11)

    // Reads the track; the integer has no effect. A missing or damaged file is reported once on
    // standard error and leaves the keys that are valid and fit (possibly none).
    void Load(const char* file, int unused);
    // Multiplies the track's matrix for the present music time (bass.seconds - bass.animStart,
    // at fps frames per second) onto the current matrix. 1 when a matrix was applied, 3 when not.
    int getMatrix(int fps);

    // Takes up to kMaxKeys keys and resets the lookup state as Load does.
    void SetKeys(const key_t* k, int n);
    // The lookup of getMatrix for frame time t, without GL: on 1, out holds the matrix in
    // OpenGL's column-major order; on 3 nothing applies. Updates lasttime and lastkey.
    int Lookup(float t, float out[16]);

    float lasttime = 1.0f;
    std::int32_t lastkey = 1;
    std::int32_t numkeys = 0;
    float maxtime = 0.0f;
    float mintime = 0.0f;
    key_t keys[kMaxKeys];
};
