// The two image readers behind CTexture and the cube maps. No GL here: the generators' checks and
// the tests use them without a window.
#include "resource/CTexture.h"

#include "app/platform/FileAccess.h"
#include "app/platform/LittleEndian.h"

#include <jpeglib.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace
{
constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kMinHeaders = 54; // file header and the smallest information header read

struct FileCloser
{
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::uint32_t le32u(const std::uint8_t* p) { return le::Load32(p); }
std::int32_t le32(const std::uint8_t* p) { return static_cast<std::int32_t>(le::Load32(p)); }
std::int16_t le16(const std::uint8_t* p) { return static_cast<std::int16_t>(le::Load16(p)); }

int refuse(const std::string& file, const std::string& why, std::string& error)
{
    error = "\"" + file + "\": " + why;
    return 4;
}

const char* compressionName(std::uint32_t c)
{
    switch (c)
    {
    case 1:
        return "RLE8";
    case 2:
        return "RLE4";
    case 3:
        return "bit fields";
    case 4:
        return "JPEG";
    case 5:
        return "PNG";
    case 6:
        return "alpha bit fields";
    default:
        return "unknown";
    }
}

// Where a bitmap's pixels are and how many bytes they take, from its headers.
struct BitmapLayout
{
    std::int32_t width = 0, height = 0;
    std::int16_t bpp = 0;
    std::uint64_t offset = 0, dataSize = 0, rowBytes = 0;
};

// Checks the headers at the start of a file of fileSize bytes, of which `have` are at `p` (at
// least the headers, when the file is long enough). 0, or 4 with the reason.
int readLayout(const std::string& file, const std::uint8_t* p, std::size_t have, std::uint64_t fileSize,
               BitmapLayout& out, std::string& error)
{
    if (fileSize < kMinHeaders || have < kMinHeaders)
        return refuse(file,
                      "is " + std::to_string(fileSize) + " bytes, too short for a bitmap header of 54 bytes",
                      error);
    if (p[0] != 'B' || p[1] != 'M')
        return refuse(file, "does not start with \"BM\": it is not a Windows bitmap", error);
    const std::uint32_t offset = le32u(p + 10);
    const std::uint32_t infoSize = le32u(p + 14);
    // BITMAPINFOHEADER and its successors share their first 40 bytes; the later ones only add
    // colour masks and colour-space fields that an uncompressed 24-bit picture does not use.
    if (infoSize == 12)
        return refuse(file, "has the 12-byte OS/2 information header, which is not read", error);
    if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124)
        return refuse(file,
                      "has an information header of " + std::to_string(infoSize) +
                          " bytes; only the Windows headers of 40, 52, 56, 108 and 124 bytes are read",
                      error);
    if (fileSize < kFileHeader + infoSize)
        return refuse(file,
                      "is truncated: its " + std::to_string(infoSize) +
                          "-byte information header ends past the " + std::to_string(fileSize) +
                          " bytes of the file",
                      error);
    const std::int32_t width = le32(p + 18);
    const std::int32_t height = le32(p + 22);
    const std::int16_t bpp = le16(p + 28);
    const std::uint32_t compression = le32u(p + 30);
    if (bpp != 24)
        return refuse(file, "has " + std::to_string(bpp) + " bits per pixel; only 24-bit bitmaps are read",
                      error);
    if (compression != 0)
        return refuse(file,
                      "is compressed (" + std::string(compressionName(compression)) + ", compression field " +
                          std::to_string(compression) + "); only uncompressed bitmaps are read",
                      error);
    if (width <= 0 || height <= 0)
        return refuse(file,
                      "has the size " + std::to_string(width) + " x " + std::to_string(height) +
                          (height < 0 && width > 0 ? " (top-down rows are not read)" : "") +
                          "; both sides must be positive",
                      error);
    if (width > kMaxImageSide || height > kMaxImageSide)
        return refuse(file,
                      "claims " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels, more than a texture can hold (" + std::to_string(kMaxImageSide) +
                          " per side)",
                      error);
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(width) * 3;
    if (rowBytes % 4 != 0)
        return refuse(file,
                      "is " + std::to_string(width) +
                          " pixels wide, so its rows carry padding; only widths whose rows fill whole 4-byte "
                          "words (width x 3 a multiple of 4) are read",
                      error);
    if (offset < kFileHeader + infoSize)
        return refuse(file,
                      "says its pixels start at byte " + std::to_string(offset) + ", inside its " +
                          std::to_string(kFileHeader + infoSize) + " bytes of headers",
                      error);
    const std::uint64_t dataSize = rowBytes * static_cast<std::uint64_t>(height);
    if (fileSize < offset || fileSize - offset < dataSize)
        return refuse(file,
                      "is truncated: " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels need " + std::to_string(dataSize) + " bytes from byte " +
                          std::to_string(offset) + ", the file has " +
                          std::to_string(fileSize > offset ? fileSize - offset : 0),
                      error);
    out.width = width;
    out.height = height;
    out.bpp = bpp;
    out.offset = offset;
    out.dataSize = dataSize;
    out.rowBytes = rowBytes;
    return 0;
}

// Blue-green-red rows in file order (bottom row first) into packed red-green-blue.
void convertPixels(const BitmapLayout& l, const std::uint8_t* bgr, BitmapImage& out, bool flipRows)
{
    out.width = l.width;
    out.height = l.height;
    out.bpp = l.bpp;
    out.rgb.resize(static_cast<std::size_t>(l.dataSize));
    const std::size_t row = static_cast<std::size_t>(l.rowBytes);
    for (int y = 0; y < l.height; ++y)
    {
        // The file stores the bottom row first; that is also GL's order for t = 0.
        const std::uint8_t* s = bgr + static_cast<std::size_t>(y) * row;
        std::uint8_t* d = out.rgb.data() + static_cast<std::size_t>(flipRows ? l.height - 1 - y : y) * row;
        for (std::size_t i = 0; i < row; i += 3)
        {
            d[i] = s[i + 2];
            d[i + 1] = s[i + 1];
            d[i + 2] = s[i];
        }
    }
}
} // namespace

int DecodeBitmap(const std::string& file, const std::uint8_t* data, std::size_t size, BitmapImage& out,
                 std::string& error, bool flipRows)
{
    BitmapLayout l;
    if (const int r = readLayout(file, data, data ? size : 0, data ? size : 0, l, error))
        return r;
    convertPixels(l, data + l.offset, out, flipRows);
    return 0;
}

int ReadBitmap(const std::string& file, BitmapImage& out, std::string& error, bool flipRows)
{
    std::uint64_t fileSize = 0;
    // The size is taken, not trusted: only the headers and the pixels they announce are read.
    File f(OpenDataFile(file, std::numeric_limits<std::uint64_t>::max(), fileSize, error));
    if (!f)
        return 3;
    std::uint8_t headers[kFileHeader + 124] = {};
    const std::size_t have = std::fread(headers, 1, sizeof headers, f.get());
    BitmapLayout l;
    if (const int r = readLayout(file, headers, have, fileSize, l, error))
        return r;
    std::vector<std::uint8_t> bgr(static_cast<std::size_t>(l.dataSize));
    if (std::fseek(f.get(), static_cast<long>(l.offset), SEEK_SET) != 0 ||
        std::fread(bgr.data(), 1, bgr.size(), f.get()) != bgr.size())
        return refuse(file, "could not be read to the end of its pixels", error);
    convertPixels(l, bgr.data(), out, flipRows);
    return 0;
}

int CubeMapSide(const std::vector<const BitmapImage*>& faces)
{
    int best = 0, bestCount = 0;
    for (const BitmapImage* a : faces)
    {
        if (!a || a->width <= 0 || a->width != a->height || a->bpp != 24)
            continue;
        int count = 0;
        for (const BitmapImage* b : faces)
            count += b && b->width == a->width && b->height == a->height && b->bpp == 24 ? 1 : 0;
        // Most faces decide; on a tie the first face in the list's order.
        if (count > bestCount)
        {
            best = a->width;
            bestCount = count;
        }
    }
    return best;
}

int CubeMapSideOfFiles(const std::vector<std::string>& files)
{
    std::vector<BitmapImage> images(files.size());
    std::vector<const BitmapImage*> faces;
    for (std::size_t i = 0; i < files.size(); ++i)
    {
        std::string error;
        faces.push_back(ReadBitmap(files[i], images[i], error) == 0 ? &images[i] : nullptr);
    }
    return CubeMapSide(faces);
}

std::string CubeFaceFault(const BitmapImage& face, int side)
{
    if (face.bpp != 24)
        return "has " + std::to_string(face.bpp) + " bits per pixel; a cube map face must have 24";
    if (face.width != face.height)
        return "is " + std::to_string(face.width) + " x " + std::to_string(face.height) +
               " pixels; a cube map face must be square";
    if (face.width != side)
        return "is " + std::to_string(face.width) + " x " + std::to_string(face.height) +
               " pixels, but the other faces of its cube map are " + std::to_string(side) + " x " +
               std::to_string(side);
    return "";
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

constexpr JDIMENSION kMaxJpegSide = kMaxImageSide;

// Everything touched after setjmp lives here, outside the frame that longjmp leaves.
struct JpegJob
{
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    std::vector<std::uint8_t> rgb;
};

bool decode(const std::uint8_t* data, std::size_t size, JpegJob& job)
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
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
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
    // A warning refuses the picture anyway: a few bytes claiming thousands of rows are neither
    // given the memory of the whole picture nor decoded to its end as grey.
    if (job.errors.warned)
    {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    const std::size_t row = static_cast<std::size_t>(cinfo.output_width) * 3;
    job.rgb.resize(row * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height)
    {
        if (job.errors.warned)
        {
            jpeg_destroy_decompress(&cinfo);
            return false;
        }
        JSAMPROW p = job.rgb.data() + row * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return !job.errors.warned;
}
} // namespace

bool DecodeJpeg(const std::string& file, const std::uint8_t* data, std::size_t size, int& width, int& height,
                std::vector<std::uint8_t>& rgb, std::string& error)
{
    if (!data || size == 0)
    {
        error = "\"" + file + "\": is empty, not a JPEG picture";
        return false;
    }
    auto job = std::make_unique<JpegJob>();
    if (!decode(data, size, *job))
    {
        error = "\"" + file + "\": not a JPEG picture that can be decoded (" + job->errors.text + ")";
        return false;
    }
    width = static_cast<int>(job->cinfo.output_width);
    height = static_cast<int>(job->cinfo.output_height);
    rgb = std::move(job->rgb);
    return true;
}

bool ReadJpeg(const std::string& file, int& width, int& height, std::vector<std::uint8_t>& rgb,
              std::string& error)
{
    std::vector<std::uint8_t> bytes;
    if (!ReadDataFile(file, kMaxJpegFileBytes, bytes, error))
        return false;
    return DecodeJpeg(file, bytes.data(), bytes.size(), width, height, rgb, error);
}
