#pragma once
// CTexture turns an image file into a mipmapped OpenGL 2-D texture. Loading and uploading are
// separate steps because the texture must be created in the context that samples it: load, make
// that context current, Upload, then only Bind.
#include <cstdint>
#include <string>
#include <vector>

// A 24-bit bitmap read into packed RGB (rows in file order: bottom row first).
struct BitmapImage
{
    int width = 0, height = 0, bpp = 0;
    std::vector<std::uint8_t> rgb;
};

// The piece's one bitmap reader (textures and cube faces alike). Accepts what the piece's files
// are: 24 bits per pixel, bottom-up rows without padding (width x 3 a multiple of 4), pixels right
// after the 54-byte header. Checks the header against the file's size. The pixels come bottom row
// first as in the file, or top row first when flipRows is set.
// Result codes follow CTexture::Load: 0 loaded, 3 cannot be opened, 4 refused. On a fault `out`
// is untouched and `error` names the file and the fault; the caller reports it (nothing is
// printed here).
int ReadBitmap(const std::string& file, BitmapImage& out, std::string& error, bool flipRows = false);

// Decodes a JPEG file into packed RGB, first row of the file first. False with a reason naming the
// file when it cannot be opened or decoded; never crashes on a damaged file.
bool ReadJpeg(const std::string& file, int& width, int& height, std::vector<std::uint8_t>& rgb,
              std::string& error);

class CTexture
{
public:
    // 0 on success, 3 when the file cannot be opened, 4 when it is not a bitmap the piece reads.
    // Faults are reported once on standard error with the file name.
    int Load(const char* file);
    // Decodes a JPEG into packed RGB (first row of the file first). Faults are reported once.
    void Load_JPEG(const char* file);
    // Creates the texture in the current context with a full mipmap chain, then frees the pixels.
    void Upload(unsigned minFilter, unsigned magFilter);
    void Bind();

    unsigned texId = 0;
    std::vector<std::uint8_t> pixels; // packed RGB between Load/Load_JPEG and Upload
    int width = 0, height = 0, bpp = 0;
};
