// Any bytes as a JPEG: refused with a reason, never a crash, a hang or libjpeg's exit(); or a
// picture of at most 8192 pixels a side in packed RGB.
#include "FuzzCheck.h"
#include "resource/CTexture.h"

using fuzzcheck::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    int w = -1, h = -1;
    std::vector<std::uint8_t> rgb;
    std::string error;
    if (!DecodeJpeg("fuzz.jpg", data, size, w, h, rgb, error))
    {
        Require(error.rfind("\"fuzz.jpg\": ", 0) == 0, "the refusal names the file");
        Require(w == -1 && h == -1 && rgb.empty(), "a refused file leaves the picture untouched");
        return 0;
    }
    Require(w > 0 && h > 0 && w <= kMaxImageSide && h <= kMaxImageSide, "a positive size within the limit");
    Require(rgb.size() == static_cast<std::size_t>(w) * h * 3, "three bytes a pixel");
    return 0;
}
