// Any bytes as a bitmap: refused with a reason, or a picture of at most 8192 pixels a side whose
// pixels are exactly width x height x 3 bytes, read from where the file said.
#include "FuzzCheck.h"
#include "resource/CTexture.h"

using fuzzcheck::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    BitmapImage img;
    std::string error;
    const int result = DecodeBitmap("fuzz.bmp", data, size, img, error);
    Require(result == 0 || result == 4, "loaded or refused");
    if (result != 0)
    {
        Require(error.rfind("\"fuzz.bmp\": ", 0) == 0, "the refusal names the file");
        Require(img.rgb.empty() && img.width == 0, "a refused file leaves the picture untouched");
        return 0;
    }
    Require(img.width > 0 && img.height > 0 && img.width <= kMaxImageSide && img.height <= kMaxImageSide,
            "a positive size within the limit");
    Require(img.bpp == 24, "24 bits per pixel");
    Require(img.rgb.size() == static_cast<std::size_t>(img.width) * img.height * 3, "three bytes a pixel");
    // The bottom-left pixel is the first three bytes at the data offset, blue-green-red.
    const std::uint32_t offset =
        data[10] | data[11] << 8 | data[12] << 16 | static_cast<std::uint32_t>(data[13]) << 24;
    Require(offset + img.rgb.size() <= size, "the pixels lie inside the file");
    Require(img.rgb[0] == data[offset + 2] && img.rgb[2] == data[offset], "pixels read from the data offset");
    return 0;
}
