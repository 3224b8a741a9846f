// vqsheet OUT.png COLUMNS CELL_W CELL_H IN.png[@X,Y,W,H] ...: a contact sheet. Each input (or the
// given crop of it) is scaled to CELL_W x CELL_H (area average when shrinking, nearest pixel when
// enlarging, so crops show their pixels as they are) and laid out row by row.
#include "app/PngFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{
struct Crop
{
    std::string file;
    int x = 0, y = 0, w = 0, h = 0; // w = 0: the whole picture
};

Crop parse(const std::string& arg)
{
    Crop c;
    const auto at = arg.rfind('@');
    c.file = arg.substr(0, at);
    if (at != std::string::npos)
        std::sscanf(arg.c_str() + at + 1, "%d,%d,%d,%d", &c.x, &c.y, &c.w, &c.h);
    return c;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 6)
    {
        std::fprintf(stderr, "usage: vqsheet OUT.png COLUMNS CELL_W CELL_H IN.png[@X,Y,W,H] ...\n");
        return 2;
    }
    const int cols = std::atoi(argv[2]), cw = std::atoi(argv[3]), ch = std::atoi(argv[4]);
    const int n = argc - 5, rows = (n + cols - 1) / cols, gap = 4;
    const int sw = cols * cw + (cols + 1) * gap, sh = rows * ch + (rows + 1) * gap;
    std::vector<std::uint8_t> sheet(static_cast<std::size_t>(sw) * sh * 3, 40);
    for (int i = 0; i < n; ++i)
    {
        Crop c = parse(argv[5 + i]);
        int w = 0, h = 0;
        std::vector<std::uint8_t> rgb;
        std::string error;
        if (!ReadPng(c.file, w, h, rgb, error))
        {
            std::fprintf(stderr, "vqsheet: %s\n", error.c_str());
            return 1;
        }
        if (c.w <= 0 || c.h <= 0)
            c = Crop{c.file, 0, 0, w, h};
        const int ox = gap + (i % cols) * (cw + gap), oy = gap + (i / cols) * (ch + gap);
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x)
            {
                // The source pixels this cell pixel covers.
                const int x0 = c.x + x * c.w / cw, x1 = std::max(x0 + 1, c.x + (x + 1) * c.w / cw);
                const int y0 = c.y + y * c.h / ch, y1 = std::max(y0 + 1, c.y + (y + 1) * c.h / ch);
                long sum[3] = {0, 0, 0}, count = 0;
                for (int sy = y0; sy < y1 && sy < h; ++sy)
                    for (int sx = x0; sx < x1 && sx < w; ++sx)
                    {
                        for (int k = 0; k < 3; ++k)
                            sum[k] += rgb[(static_cast<std::size_t>(sy) * w + sx) * 3 + k];
                        ++count;
                    }
                for (int k = 0; k < 3 && count; ++k)
                    sheet[(static_cast<std::size_t>(oy + y) * sw + ox + x) * 3 + k] =
                        static_cast<std::uint8_t>(sum[k] / count);
            }
    }
    std::string error;
    if (!WritePng(argv[1], sw, sh, sheet, error))
    {
        std::fprintf(stderr, "vqsheet: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
