// dance_stage <data folder> [FROM UNTIL FPS] [--dump DIR] [--verbose]: how the dance scene is staged,
// measured on the CPU through the fixed camera over a span of music time (default the whole scene at 10
// frames a second, the dance starting with the scene at 80.8 s):
//   the character's height in the picture (min / median / max) and where he stands and travels,
//   how many floor tiles show and what hides the others, and how deep the cave behind them is.
// --dump writes each frame's labels as a picture (cave by depth, character white, rock seen from
// behind red, tiles coloured); --verbose prints a line per frame.
#include "StageRaster.h"

#include "app/PngFile.h"
#include "app/platform/DataNames.h"
#include "formats/CAHLFObj.h"
#include "formats/HlfParse.h"
#include "music/Tempo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace
{
using dance::StageRaster;

struct Part
{
    hlf::KhlfModel model;
    CAHLFObj track;
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Depth classes of the cave: the hall around the floor, the rock behind it, the far passage.
constexpr double kNearDepth = 45.0, kFarDepth = 70.0;
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: dance_stage <data folder> [FROM UNTIL FPS] [--dump DIR] [--verbose]\n");
        return 2;
    }
    const std::string data = argv[1];
    double from = kDanceStartSeconds, until = kEndingStartSeconds, fps = 10;
    std::string dump;
    bool verbose = false;
    std::vector<std::string> rest;
    for (int i = 2; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--dump") == 0 && i + 1 < argc)
            dump = argv[++i];
        else if (std::strcmp(argv[i], "--verbose") == 0)
            verbose = true;
        else
            rest.push_back(argv[i]);
    }
    if (rest.size() == 3)
    {
        from = std::atof(rest[0].c_str());
        until = std::atof(rest[1].c_str());
        fps = std::atof(rest[2].c_str());
    }

    std::string fault;
    hlf::KhlfModel cave;
    if (!hlf::LoadKHLF(data + "/" + datafile::kCave, cave, fault))
        std::fprintf(stderr, "%s\n", fault.c_str());
    std::vector<hlf::OhlfPart> list;
    if (!hlf::LoadOHLF(data + "/" + hlf::MapBackslashes(datafile::kCharacterList), list, fault))
        std::fprintf(stderr, "%s\n", fault.c_str());
    std::vector<Part> parts(list.size());
    for (std::size_t i = 0; i < list.size(); ++i)
    {
        if (!hlf::LoadKHLF(data + "/" + list[i].model, parts[i].model, fault))
            std::fprintf(stderr, "%s\n", fault.c_str());
        std::vector<hlf::AhlfKey> keys;
        if (list[i].anim != "?" && !hlf::LoadAHLF(data + "/" + list[i].anim, keys, fault))
            std::fprintf(stderr, "%s\n", fault.c_str());
        parts[i].track.SetKeys(keys.data(), static_cast<int>(keys.size()));
    }

    // The floor alone: the tiles the camera could show at all.
    StageRaster floorOnly, caveAndFloor, full;
    floorOnly.DrawFloor();
    std::vector<long> tilePixelsAlone(49, 0);
    for (int y = 0; y < floorOnly.Height(); ++y)
        for (int x = 0; x < floorOnly.Width(); ++x)
            if (floorOnly.Label(x, y) >= StageRaster::kFirstTile)
                ++tilePixelsAlone[static_cast<std::size_t>(floorOnly.Label(x, y) - StageRaster::kFirstTile)];
    // ... and what the cave leaves of them.
    caveAndFloor.DrawModel(cave, nullptr, StageRaster::kCave, StageRaster::kCaveBack);
    caveAndFloor.DrawFloor();
    std::vector<long> tilePixelsCave(49, 0);
    long cavePixels = 0, holes = 0, hiddenFloor = 0, backFacing = 0;
    long near = 0, mid = 0, far = 0, upperCave = 0, upperNear = 0;
    std::vector<double> upperDepths;
    const int upperRows = caveAndFloor.Height() * 45 / 100;
    for (int y = 0; y < caveAndFloor.Height(); ++y)
        for (int x = 0; x < caveAndFloor.Width(); ++x)
        {
            const int l = caveAndFloor.Label(x, y);
            if (l >= StageRaster::kFirstTile)
                ++tilePixelsCave[static_cast<std::size_t>(l - StageRaster::kFirstTile)];
            else if (l == StageRaster::kNothing)
                ++holes;
            else if (l == StageRaster::kCaveBack)
                ++backFacing;
            if (l == StageRaster::kCave)
            {
                ++cavePixels;
                const double d = caveAndFloor.Depth(x, y);
                near += d < kNearDepth;
                mid += d >= kNearDepth && d < kFarDepth;
                far += d >= kFarDepth;
                if (y < upperRows)
                {
                    ++upperCave;
                    upperNear += d < kNearDepth;
                    upperDepths.push_back(d);
                }
                hiddenFloor += floorOnly.Label(x, y) >= StageRaster::kFirstTile;
            }
        }
    const double frame = static_cast<double>(caveAndFloor.Width()) * caveAndFloor.Height();
    int inFrame = 0, showing = 0;
    for (int k = 0; k < 49; ++k)
    {
        inFrame += tilePixelsAlone[static_cast<std::size_t>(k)] > 0;
        showing += tilePixelsCave[static_cast<std::size_t>(k)] > 0;
    }
    std::sort(upperDepths.begin(), upperDepths.end());
    auto pct = [&](double q) {
        return upperDepths.empty() ? 0.0
                                   : upperDepths[static_cast<std::size_t>(q * (upperDepths.size() - 1))];
    };
    std::printf(
        "cave: %.1f %% of the picture (nearer than %.0f: %.1f %%, %.0f..%.0f: %.1f %%, farther: %.1f %%); "
        "holes %ld pixels, seen from behind %ld\n",
        100.0 * cavePixels / frame, kNearDepth, 100.0 * near / frame, kNearDepth, kFarDepth,
        100.0 * mid / frame, 100.0 * far / frame, holes, backFacing);
    std::printf("  top 45 %% of the picture: cave %.1f %%, of it nearer than %.0f %.1f %%; depth 10/50/90 %% "
                "%.1f / %.1f / %.1f\n",
                100.0 * upperCave / (frame * 0.45), kNearDepth,
                upperCave ? 100.0 * upperNear / upperCave : 0.0, pct(0.1), pct(0.5), pct(0.9));
    std::printf("floor: %d tiles in the frame, %d showing past the cave; the cave covers %ld floor pixels\n",
                inFrame, showing, hiddenFloor);

    // The dance over the span.
    std::vector<double> heights, centres;
    std::vector<int> tilesShowing, tilesHalf;
    std::set<int> tilesStoodOn, tilesEverHidden;
    double minX = 1e9, maxX = -1e9, minZ = 1e9, maxZ = -1e9, path = 0, lastX = 0, lastZ = 0;
    int frames = 0, cutOff = 0, cut[4] = {0, 0, 0, 0}; // top, bottom, left, right
    const int count = static_cast<int>(std::floor((until - from) * fps + 1e-9));
    for (int f = 0; f < count; ++f, ++frames)
    {
        const double t = from + f / fps;
        const float animT = static_cast<float>(25.0 * (t - kDanceStartSeconds));
        full.Clear();
        full.DrawModel(cave, nullptr, StageRaster::kCave, StageRaster::kCaveBack);
        double px = 0, pz = 0;
        for (std::size_t i = 0; i < parts.size(); ++i)
        {
            float m[16];
            if (parts[i].track.Lookup(animT, m) != 1)
            {
                static const float id[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
                std::copy(id, id + 16, m);
            }
            if (i == 0) // the pelvis leads the list
                px = m[12], pz = m[14];
            full.DrawModel(parts[i].model, m, StageRaster::kCharacter);
        }
        full.DrawFloor();
        int y0 = full.Height(), y1 = -1, x0 = full.Width(), x1 = -1;
        std::vector<long> tiles(49, 0);
        for (int y = 0; y < full.Height(); ++y)
            for (int x = 0; x < full.Width(); ++x)
            {
                const int l = full.Label(x, y);
                if (l == StageRaster::kCharacter)
                {
                    y0 = std::min(y0, y), y1 = std::max(y1, y), x0 = std::min(x0, x), x1 = std::max(x1, x);
                }
                else if (l >= StageRaster::kFirstTile)
                    ++tiles[static_cast<std::size_t>(l - StageRaster::kFirstTile)];
            }
        int shown = 0, half = 0;
        for (int k = 0; k < 49; ++k)
        {
            shown += tiles[static_cast<std::size_t>(k)] > 0;
            half += tilePixelsAlone[static_cast<std::size_t>(k)] > 0 &&
                    2 * tiles[static_cast<std::size_t>(k)] >= tilePixelsAlone[static_cast<std::size_t>(k)];
            if (tilePixelsAlone[static_cast<std::size_t>(k)] > 0 && tiles[static_cast<std::size_t>(k)] == 0)
                tilesEverHidden.insert(k);
        }
        tilesShowing.push_back(shown);
        tilesHalf.push_back(half);
        if (y1 >= 0)
        {
            heights.push_back(y1 - y0 + 1);
            centres.push_back(0.5 * (x0 + x1));
            cutOff += y0 == 0 || y1 == full.Height() - 1 || x0 == 0 || x1 == full.Width() - 1;
            cut[0] += y0 == 0, cut[1] += y1 == full.Height() - 1, cut[2] += x0 == 0,
                cut[3] += x1 == full.Width() - 1;
        }
        if (verbose)
            std::printf("%8.3f s  beat %7.2f  character x %4d..%4d y %4d..%4d (%3d px)  pelvis %6.2f %6.2f  "
                        "tiles %d\n",
                        t, SecondsToBeat(t), x0, x1, y0, y1, y1 - y0 + 1, px, pz, shown);
        minX = std::min(minX, px), maxX = std::max(maxX, px), minZ = std::min(minZ, pz),
        maxZ = std::max(maxZ, pz);
        if (f > 0)
            path += std::hypot(px - lastX, pz - lastZ);
        lastX = px, lastZ = pz;
        for (int p = 0; p < 7; ++p)
            for (int q = 0; q < 7; ++q)
            {
                const dance::TileRect r = dance::TileAt(p, q);
                if (px >= r.x0 && px < r.x0 + r.size && pz >= r.z0 && pz < r.z0 + r.size)
                    tilesStoodOn.insert(7 * p + q);
            }

        if (!dump.empty())
        {
            std::vector<std::uint8_t> rgb(static_cast<std::size_t>(full.Width()) * full.Height() * 3);
            for (int y = 0; y < full.Height(); ++y)
                for (int x = 0; x < full.Width(); ++x)
                {
                    std::uint8_t* o = &rgb[(static_cast<std::size_t>(y) * full.Width() + x) * 3];
                    const int l = full.Label(x, y);
                    if (l == StageRaster::kCave)
                    {
                        // Near rock light, far rock dark: 20 units white .. 120 units black.
                        const double d = full.Depth(x, y);
                        const int v = static_cast<int>(std::clamp(255.0 * (120.0 - d) / 100.0, 0.0, 255.0));
                        o[0] = static_cast<std::uint8_t>(v * 0.8), o[1] = static_cast<std::uint8_t>(v * 0.7),
                        o[2] = static_cast<std::uint8_t>(v);
                    }
                    else if (l == StageRaster::kCharacter)
                        o[0] = o[1] = o[2] = 255;
                    else if (l == StageRaster::kCaveBack)
                        o[0] = 255, o[1] = o[2] = 0;
                    else if (l >= StageRaster::kFirstTile)
                    {
                        const int k = l - StageRaster::kFirstTile, p = k / 7, q = k % 7;
                        o[0] = static_cast<std::uint8_t>(60 + 30 * p);
                        o[1] = static_cast<std::uint8_t>(60 + 30 * q);
                        o[2] = static_cast<std::uint8_t>((p + q) % 2 ? 40 : 120);
                    }
                    else
                        o[0] = 255, o[1] = 0, o[2] = 255;
                }
            char name[64];
            std::snprintf(name, sizeof name, "/stage_%05d.png", f);
            std::string error;
            if (!WritePng(dump + name, full.Width(), full.Height(), rgb, error))
                std::fprintf(stderr, "%s\n", error.c_str());
        }
    }
    if (heights.empty())
    {
        std::printf("character: not in the picture\n");
        return 0;
    }
    const auto mm = std::minmax_element(heights.begin(), heights.end());
    const auto cx = std::minmax_element(centres.begin(), centres.end());
    std::printf("character over %d frames (%.2f .. %.2f s at %.0f fps):\n", frames, from, until, fps);
    std::printf(
        "  height in the picture min / median / max %.0f / %.0f / %.0f px (%.0f / %.0f / %.0f %% of %d)\n",
        *mm.first, median(heights), *mm.second, 100.0 * *mm.first / full.Height(),
        100.0 * median(heights) / full.Height(), 100.0 * *mm.second / full.Height(), full.Height());
    std::printf(
        "  across the picture %.0f .. %.0f px; touches the picture's edge in %d frames (top %d, bottom %d, "
        "left %d, right %d)\n",
        *cx.first, *cx.second, cutOff, cut[0], cut[1], cut[2], cut[3]);
    std::printf(
        "  pelvis x %.2f .. %.2f, z %.2f .. %.2f (%.1f x %.1f units, %.1f x %.1f tiles), path %.1f units, "
        "stands on %zu tiles\n",
        minX, maxX, minZ, maxZ, maxX - minX, maxZ - minZ, (maxX - minX) / 4.7428575,
        (maxZ - minZ) / 4.7428575, path, tilesStoodOn.size());
    std::vector<double> shownD(tilesShowing.begin(), tilesShowing.end());
    const auto ts = std::minmax_element(shownD.begin(), shownD.end());
    std::printf(
        "  floor tiles showing min / median / max %.0f / %.0f / %.0f of %d in the frame; %zu of them hidden "
        "in some frame\n",
        *ts.first, median(shownD), *ts.second, inFrame, tilesEverHidden.size());
    std::vector<double> halfD(tilesHalf.begin(), tilesHalf.end());
    const auto th = std::minmax_element(halfD.begin(), halfD.end());
    std::printf("  floor tiles with at least half of what the frame holds of them showing min / median / max "
                "%.0f / %.0f / %.0f\n",
                *th.first, median(halfD), *th.second);
    return 0;
}
