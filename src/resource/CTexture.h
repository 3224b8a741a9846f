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

// Far beyond any picture of the piece, small enough that its pixels fit in memory and in a
// texture.
constexpr int kMaxImageSide = 8192;
// A JPEG file larger than this is refused unread (an 8192 x 8192 picture at full quality is less).
constexpr std::uint64_t kMaxJpegFileBytes = std::uint64_t(256) << 20;

// The piece's one bitmap reader (textures and cube faces alike). Accepts what the piece's files
// are: a Windows bitmap ("BM") with an information header of 40 bytes or one of its longer
// successors (52, 56, 108, 124 bytes), 24 bits per pixel, uncompressed, bottom-up rows without
// padding (width x 3 a multiple of 4), at most kMaxImageSide per side, its pixels where the file
// header's data offset says. Checks the headers against the file's size and reads only the
// pixels they announce. The pixels come bottom row first as in the file, or top row first when
// flipRows is set.
// Result codes follow CTexture::Load: 0 loaded, 3 cannot be opened, 4 refused. On a fault `out`
// is untouched and `error` names the file and the fault; the caller reports it (nothing is
// printed here).
int ReadBitmap(const std::string& file, BitmapImage& out, std::string& error, bool flipRows = false);
// The same reader over a whole file held in memory; `file` names it in the messages. Never 3.
int DecodeBitmap(const std::string& file, const std::uint8_t* data, std::size_t size, BitmapImage& out,
                 std::string& error, bool flipRows = false);

// A cube map's faces must be square 24-bit pictures of one size. The side most of the given faces
// share (null entries and faces that are no square are not counted; a tie goes to the earlier
// face), or 0 when none is square.
int CubeMapSide(const std::vector<const BitmapImage*>& faces);
// The same from the files of the faces (a file may stand for several faces); faces that cannot be
// read are not counted.
int CubeMapSideOfFiles(const std::vector<std::string>& files);
// Why a face cannot be a face of a cube map of that side (without the file name), or "".
std::string CubeFaceFault(const BitmapImage& face, int side);

// Loads faces of the cube map bound on the active unit from 24-bit bitmaps, with linear filters.
// Each must be a square of `side` pixels (0: the first square face settles it). A face that cannot
// be read or has another shape is reported under `who`, a fault repeated face after face only
// once, and left out.
class CubeFaceLoader
{
public:
    CubeFaceLoader(const char* who, bool topRowFirst) : name(who), topFirst(topRowFirst) {}
    void Load(int target, const char* file);

    int side = 0;

private:
    std::string name, lastFault;
    bool topFirst;
};

// Decodes a JPEG file into packed RGB, first row of the file first. False with a reason naming the
// file when it cannot be opened or decoded; never crashes on a damaged file.
bool ReadJpeg(const std::string& file, int& width, int& height, std::vector<std::uint8_t>& rgb,
              std::string& error);
// The same decoder over a whole file held in memory.
bool DecodeJpeg(const std::string& file, const std::uint8_t* data, std::size_t size, int& width, int& height,
                std::vector<std::uint8_t>& rgb, std::string& error);

class CTexture
{
public:
    // 0 on success, 3 when the file cannot be opened, 4 when it is not a bitmap the piece reads.
    // Faults are reported once on standard error with the file name.
    int Load(const char* file);
    // Decodes a JPEG into packed RGB (first row of the file first). Faults are reported once.
    void Load_JPEG(const char* file);
    // Creates the texture in the current context with a full mipmap chain, then frees the pixels.
    // GL errors raised meanwhile are reported with the file's name.
    void Upload(unsigned minFilter, unsigned magFilter);
    void Bind();

    unsigned texId = 0;
    std::vector<std::uint8_t> pixels; // packed RGB between Load/Load_JPEG and Upload
    std::string name;                 // the file loaded last, for Upload's messages
    int width = 0, height = 0, bpp = 0;
};
