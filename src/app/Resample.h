#pragma once
// Pictures averaged in linear light, for supersampled and motion-blurred captures: several
// pictures (each perhaps n times larger in both directions) are added up after undoing the sRGB
// curve, and their mean is coded back. Averaging the coded bytes instead would darken every edge
// and every blurred highlight.
#include <cstdint>
#include <vector>

class LinearAccumulator
{
public:
    // Starts a new mean of pictures of w x h (the output's size).
    void Reset(int w, int h);
    // Adds an RGB picture of (w x n) x (h x n) pixels, top row first; each n x n block is one
    // output pixel (n = 1: the picture itself).
    void Add(const std::vector<std::uint8_t>& rgb, int n);
    // The mean of all added, as RGB bytes.
    void Result(std::vector<std::uint8_t>& rgb) const;
    int Count() const { return count; }

private:
    int width = 0, height = 0, count = 0, samples = 0;
    std::vector<float> sum; // linear light, per channel
};
