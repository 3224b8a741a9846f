// The two image readers behind CTexture and the cube maps. No GL here: the generators' checks and
// the tests use them without a window.
#include "resource/CTexture.h"

#include <jpeglib.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace
{
constexpr long kHeaderSize = 54;

struct FileCloser
{
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::int32_t le32(const unsigned char* p)
{
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}

std::int16_t le16(const unsigned char* p)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | p[1] << 8));
}

int refuse(const std::string& file, const std::string& why, std::string& error)
{
    error = "\"" + file + "\": " + why;
    return 4;
}
} // namespace

int ReadBitmap(const std::string& file, BitmapImage& out, std::string& error, bool flipRows)
{
    File f(std::fopen(file.c_str(), "rb"));
    if (!f)
    {
        error = "\"" + file + "\": cannot be opened (" + std::strerror(errno) + ")";
        return 3;
    }
    if (std::fseek(f.get(), 0, SEEK_END) != 0)
        return refuse(file, "cannot be read to its end", error);
    const long fileSize = std::ftell(f.get());
    std::rewind(f.get());
    unsigned char header[kHeaderSize];
    if (fileSize < kHeaderSize || std::fread(header, 1, sizeof header, f.get()) != sizeof header)
        return refuse(file,
                      "is " + std::to_string(fileSize < 0 ? 0 : fileSize) +
                          " bytes, too short for a bitmap header of 54 bytes",
                      error);

    const std::int32_t width = le32(header + 18);
    const std::int32_t height = le32(header + 22);
    const std::int16_t bpp = le16(header + 28);
    if (bpp != 24)
        return refuse(file, "has " + std::to_string(bpp) + " bits per pixel; only 24-bit bitmaps are read",
                      error);
    if (width <= 0 || height <= 0)
        return refuse(file,
                      "has the size " + std::to_string(width) + " x " + std::to_string(height) +
                          (height < 0 && width > 0 ? " (top-down rows are not read)" : "") +
                          "; both sides must be positive",
                      error);
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(width) * 3;
    const std::uint64_t dataSize = rowBytes * static_cast<std::uint64_t>(height);
    if (dataSize > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return refuse(file,
                      "claims " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels, more than a texture can hold",
                      error);
    if (rowBytes % 4 != 0)
        return refuse(file,
                      "is " + std::to_string(width) +
                          " pixels wide, so its rows carry padding; only widths whose rows fill whole 4-byte "
                          "words (width x 3 a multiple of 4) are read",
                      error);
    if (static_cast<std::uint64_t>(fileSize - kHeaderSize) < dataSize)
        return refuse(file,
                      "is truncated: " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels need " + std::to_string(dataSize) +
                          " bytes after the header, the file has " + std::to_string(fileSize - kHeaderSize),
                      error);

    std::vector<std::uint8_t> bgr(static_cast<std::size_t>(dataSize));
    if (std::fread(bgr.data(), 1, bgr.size(), f.get()) != bgr.size())
        return refuse(file, "could not be read to the end of its pixels", error);

    out.width = width;
    out.height = height;
    out.bpp = bpp;
    out.rgb.resize(bgr.size());
    const std::size_t row = static_cast<std::size_t>(rowBytes);
    for (int y = 0; y < height; ++y)
    {
        // The file stores the bottom row first; that is also GL's order for t = 0.
        const std::uint8_t* s = bgr.data() + static_cast<std::size_t>(y) * row;
        std::uint8_t* d = out.rgb.data() + static_cast<std::size_t>(flipRows ? height - 1 - y : y) * row;
        for (std::size_t i = 0; i < row; i += 3)
        {
            d[i] = s[i + 2];
            d[i + 1] = s[i + 1];
            d[i + 2] = s[i];
        }
    }
    return 0;
}

namespace
{
// libjpeg reports faults through exit(); this one jumps back to the reader instead and keeps the
// library's text for our message. Warnings (damaged data the library would paper over) are kept
// too: a picture decoded from damaged data is refused rather than shown half grey.
struct JpegErrors
{
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
    bool warned;
};

void jpegFail(j_common_ptr cinfo)
{
    JpegErrors* e = reinterpret_cast<JpegErrors*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, e->text);
    std::longjmp(e->jump, 1);
}

void jpegMessage(j_common_ptr cinfo, int level)
{
    JpegErrors* e = reinterpret_cast<JpegErrors*>(cinfo->err);
    if (level < 0 && !e->warned)
    {
        e->warned = true;
        (*cinfo->err->format_message)(cinfo, e->text);
    }
}

// Far beyond any picture of the piece, small enough that its pixels fit in memory.
constexpr JDIMENSION kMaxJpegSide = 8192;

// Everything touched after setjmp lives here, outside the frame that longjmp leaves.
struct JpegJob
{
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    std::vector<std::uint8_t> rgb;
};

bool decode(std::FILE* f, JpegJob& job)
{
    jpeg_decompress_struct& cinfo = job.cinfo;
    cinfo.err = jpeg_std_error(&job.errors.mgr);
    job.errors.mgr.error_exit = jpegFail;
    job.errors.mgr.emit_message = jpegMessage;
    job.errors.warned = false;
    job.errors.text[0] = '\0';
    if (setjmp(job.errors.jump))
    {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.image_width > kMaxJpegSide || cinfo.image_height > kMaxJpegSide)
    {
        // A damaged header may claim a picture far larger than the file could hold.
        std::snprintf(job.errors.text, sizeof job.errors.text, "claims %u x %u pixels, more than %u per side",
                      static_cast<unsigned>(cinfo.image_width), static_cast<unsigned>(cinfo.image_height),
                      static_cast<unsigned>(kMaxJpegSide));
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const std::size_t row = static_cast<std::size_t>(cinfo.output_width) * 3;
    job.rgb.resize(row * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height)
    {
        JSAMPROW p = job.rgb.data() + row * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return !job.errors.warned;
}
} // namespace

bool ReadJpeg(const std::string& file, int& width, int& height, std::vector<std::uint8_t>& rgb,
              std::string& error)
{
    File f(std::fopen(file.c_str(), "rb"));
    if (!f)
    {
        error = "\"" + file + "\": cannot be opened (" + std::strerror(errno) + ")";
        return false;
    }
    auto job = std::make_unique<JpegJob>();
    if (!decode(f.get(), *job))
    {
        error = "\"" + file + "\": not a JPEG picture that can be decoded (" + job->errors.text + ")";
        return false;
    }
    width = static_cast<int>(job->cinfo.output_width);
    height = static_cast<int>(job->cinfo.output_height);
    rgb = std::move(job->rgb);
    return true;
}
