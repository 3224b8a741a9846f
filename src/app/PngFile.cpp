#include "app/PngFile.h"

#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>

bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb,
              std::string& error)
{
    if (rgb.size() < static_cast<std::size_t>(width) * height * 3)
    {
        error = "\"" + path + "\": picture smaller than its size";
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
    {
        error = "\"" + path + "\": cannot be written (" + std::strerror(errno) + ")";
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        error = "\"" + path + "\": PNG encoding failed";
        return false;
    }
    png_init_io(png, f);
    // Fast compression: a capture writes thousands of frames; the pixels are the same either way.
    // One filter (the left neighbour's difference) coded by runs takes half the time of trying
    // every filter on every row, for files a few percent larger.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_strategy(png, Z_RLE);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(rgb.data() + static_cast<std::size_t>(y) * width * 3));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(f) != 0)
    {
        error = "\"" + path + "\": write failed";
        return false;
    }
    return true;
}

bool ReadPng(const std::string& path, int& width, int& height, std::vector<std::uint8_t>& rgb,
             std::string& error)
{
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str()))
    {
        error = "\"" + path + "\": " + img.message;
        return false;
    }
    img.format = PNG_FORMAT_RGB;
    width = static_cast<int>(img.width);
    height = static_cast<int>(img.height);
    rgb.resize(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr))
    {
        error = "\"" + path + "\": " + img.message;
        png_image_free(&img);
        return false;
    }
    return true;
}
