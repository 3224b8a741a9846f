#pragma once
// Planar stereo audio in floats, full scale = 1.0.
#include <algorithm>
#include <cstddef>
#include <vector>

struct StereoBuffer
{
    std::vector<float> l, r;

    StereoBuffer() = default;
    explicit StereoBuffer(std::size_t frames) : l(frames, 0.0f), r(frames, 0.0f) {}
    std::size_t frames() const { return l.size(); }
    void Clear()
    {
        std::fill(l.begin(), l.end(), 0.0f);
        std::fill(r.begin(), r.end(), 0.0f);
    }
};
