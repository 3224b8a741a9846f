// vqwashout DIR [START FPS]: how often the glow washes a captured span out. A frame is washed out
// when fewer than 8 % of its pixels have a luma (BT.601) below 200: nothing drawn is left standing
// against the white. Prints the share of washed-out frames and the runs of consecutive ones; given
// the capture's start and frame rate, also how the picture's mean luma rises on the beats (the
// glow should swell on every kick).
#include "app/PngFile.h"
#include "app/platform/Timeline.h"

#include <cmath>
#include <cstdlib>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: vqwashout <capture folder>\n");
        return 2;
    }
    const std::string dir = argv[1];
    long frames = 0, washed = 0, run = 0, longest = 0, longRuns = 0;
    double darkSum = 0, lumaSum = 0;
    std::vector<double> meanLuma;
    for (;; ++frames)
    {
        char name[40];
        std::snprintf(name, sizeof name, "/frame_%05ld.png", frames);
        int w = 0, h = 0;
        std::vector<std::uint8_t> rgb;
        std::string error;
        if (!ReadPng(dir + name, w, h, rgb, error))
            break;
        long dark = 0;
        double luma = 0;
        for (std::size_t p = 0; p + 2 < rgb.size(); p += 3)
        {
            const double y = 0.299 * rgb[p] + 0.587 * rgb[p + 1] + 0.114 * rgb[p + 2];
            dark += y < 200.0;
            luma += y;
        }
        const double share = static_cast<double>(dark) / (static_cast<double>(w) * h);
        darkSum += share;
        lumaSum += luma / (static_cast<double>(w) * h);
        meanLuma.push_back(luma / (static_cast<double>(w) * h));
        if (share < 0.08)
        {
            ++washed;
            ++run;
            longest = std::max(longest, run);
        }
        else
        {
            longRuns += run > 2;
            run = 0;
        }
    }
    longRuns += run > 2;
    if (frames == 0)
    {
        std::fprintf(stderr, "vqwashout: no frame_00000.png in %s\n", dir.c_str());
        return 1;
    }
    double lo = 1e9, hi = 0;
    for (double m : meanLuma)
    {
        lo = std::min(lo, m);
        hi = std::max(hi, m);
    }
    std::printf("frames %ld, washed out %ld (%.1f %%), longest run %ld, runs over 2 frames %ld\n", frames,
                washed, 100.0 * washed / frames, longest, longRuns);
    std::printf("pixels below luma 200: %.1f %% on average; mean luma %.1f (from %.1f to %.1f)\n",
                100.0 * darkSum / frames, lumaSum / frames, lo, hi);
    if (argc >= 4)
    {
        // Each beat's swell: the brightest frame in the 120 ms after it against the frame 60 ms
        // before it.
        const double start = std::atof(argv[2]), fps = std::atof(argv[3]);
        const double beat = 60.0 / timeline::kBpm;
        const auto frameAt = [&](double t) { return static_cast<long>(std::floor((t - start) * fps + 0.5)); };
        int beats = 0, swelling = 0;
        double rises = 0;
        for (double b =
                 timeline::kBeatZeroSeconds + std::ceil((start - timeline::kBeatZeroSeconds) / beat) * beat;
             frameAt(b + 0.12) < frames; b += beat)
        {
            const long before = frameAt(b - 0.06);
            if (before < 1)
                continue;
            double peak = 0;
            for (long f = frameAt(b); f <= frameAt(b + 0.12); ++f)
                peak = std::max(peak, meanLuma[static_cast<std::size_t>(f)]);
            const double rise = peak - meanLuma[static_cast<std::size_t>(before)];
            ++beats;
            swelling += rise > 1.0;
            rises += rise;
        }
        if (beats)
            std::printf("beats %d, the picture brightens on %d (mean luma up %.1f on average)\n", beats,
                        swelling, rises / beats);
    }
    return 0;
}
