#include "Image.h"

#include "app/platform/LittleEndian.h"

#include <jpeglib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vqtools
{
namespace
{
std::uint8_t toByte(float v)
{
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}
} // namespace

void Image::set(int x, int y, Rgb c)
{
    std::uint8_t* p = at(x, y);
    p[0] = toByte(c.r);
    p[1] = toByte(c.g);
    p[2] = toByte(c.b);
}

Rgb Image::get(int x, int y) const
{
    const std::uint8_t* p = at(x, y);
    return {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f};
}

Rgb Image::sampleWrap(float u, float v) const
{
    const float fx = u * width - 0.5f, fy = v * height - 0.5f;
    const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
    const float ax = fx - x0, ay = fy - y0;
    auto wrap = [](int i, int n) { return ((i % n) + n) % n; };
    Rgb out;
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i)
        {
            const float w = (i ? ax : 1 - ax) * (j ? ay : 1 - ay);
            const Rgb c = get(wrap(x0 + i, width), wrap(y0 + j, height));
            out.r += c.r * w;
            out.g += c.g * w;
            out.b += c.b * w;
        }
    return out;
}

bool WriteBmp(const std::string& path, const Image& img, std::string& error)
{
    if (img.width <= 0 || img.height <= 0 || (img.width * 3) % 4 != 0)
    {
        error = "\"" + path + "\": a width of " + std::to_string(img.width) +
                " would need row padding, which the piece's bitmap reader does not take";
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
    {
        error = "\"" + path + "\": cannot be written (" + std::strerror(errno) + ")";
        return false;
    }
    const unsigned dataSize = static_cast<unsigned>(img.width * img.height * 3);
    le::ByteWriter h;
    h.text("BM", 2);
    h.u32(54 + dataSize);
    h.u32(0);
    h.u32(54);
    h.u32(40);
    h.u32(static_cast<unsigned>(img.width));
    h.u32(static_cast<unsigned>(img.height));
    h.u16(1);
    h.u16(24);
    h.u32(0); // no compression
    h.u32(dataSize);
    h.u32(2835); // 72 dpi
    h.u32(2835);
    h.u32(0);
    h.u32(0);
    std::fwrite(h.bytes.data(), 1, h.bytes.size(), f);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(img.width) * 3);
    for (int y = img.height - 1; y >= 0; --y) // bottom row first
    {
        for (int x = 0; x < img.width; ++x)
        {
            const std::uint8_t* p = img.at(x, y);
            row[x * 3 + 0] = p[2];
            row[x * 3 + 1] = p[1];
            row[x * 3 + 2] = p[0];
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    if (std::fclose(f) != 0)
    {
        error = "\"" + path + "\": write failed";
        return false;
    }
    return true;
}

bool WriteJpeg(const std::string& path, const Image& img, int quality, std::string& error)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
    {
        error = "\"" + path + "\": cannot be written (" + std::strerror(errno) + ")";
        return false;
    }
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = static_cast<JDIMENSION>(img.width);
    cinfo.image_height = static_cast<JDIMENSION>(img.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height)
    {
        JSAMPROW row = const_cast<JSAMPROW>(img.at(0, static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    if (std::fclose(f) != 0)
    {
        error = "\"" + path + "\": write failed";
        return false;
    }
    return true;
}

namespace
{
[[noreturn]] void die(const std::string& error)
{
    std::fprintf(stderr, "generator: %s\n", error.c_str());
    std::exit(1);
}
} // namespace

void WriteBmpOrDie(const std::string& path, const Image& img)
{
    std::string e;
    if (!WriteBmp(path, img, e))
        die(e);
}

void WriteJpegOrDie(const std::string& path, const Image& img, int quality)
{
    std::string e;
    if (!WriteJpeg(path, img, quality, e))
        die(e);
}

void WriteBytesOrDie(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        die("\"" + path + "\": cannot be written (" + std::strerror(errno) + ")");
    const std::size_t n = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
    if (std::fclose(f) != 0 || n != bytes.size())
        die("\"" + path + "\": write failed");
}

void WriteTextOrDie(const std::string& path, const std::string& text)
{
    WriteBytesOrDie(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}
} // namespace vqtools
