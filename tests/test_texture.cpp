// The bitmap reader on the layout it accepts and on hostile files, the JPEG reader on good and
// damaged files, and CTexture's load/upload contract.
#include "RenderTestWindow.h"
#include "resource/CTexture.h"

#include "Image.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{
std::string tempPath(const std::string& name)
{
    return "/tmp/vq_texture_" + std::to_string(getpid()) + "_" + name;
}

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A 54-byte header with the given fields, followed by `pixelBytes`.
std::vector<std::uint8_t> bitmap(std::int32_t w, std::int32_t h, std::int16_t bpp,
                                 const std::vector<std::uint8_t>& pixels)
{
    std::vector<std::uint8_t> b(54 + pixels.size(), 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<std::uint32_t>(54 + pixels.size()));
    put32(b, 10, 54);
    put32(b, 14, 40);
    put32(b, 18, static_cast<std::uint32_t>(w));
    put32(b, 22, static_cast<std::uint32_t>(h));
    b[26] = 1;
    b[28] = static_cast<std::uint8_t>(bpp & 0xFF);
    b[29] = static_cast<std::uint8_t>((bpp >> 8) & 0xFF);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        b[54 + i] = pixels[i];
    return b;
}

// The same picture with an information header of infoSize bytes (40, 108, 124, ...), its pixels
// `gap` bytes after the headers (a palette or padding some writers leave) and the given
// compression field. The data offset says where the pixels are.
std::vector<std::uint8_t> bitmapWith(std::uint32_t infoSize, std::uint32_t gap, std::uint32_t compression,
                                     std::int32_t w, std::int32_t h, const std::vector<std::uint8_t>& pixels)
{
    const std::vector<std::uint8_t> plain = bitmap(w, h, 24, pixels);
    const std::size_t offset = 14 + infoSize + gap;
    std::vector<std::uint8_t> b(offset + pixels.size(), 0xAB); // the gap holds nothing readable
    std::copy(plain.begin(), plain.begin() + 54, b.begin());
    if (14 + infoSize > 54)
        std::fill(b.begin() + 54, b.begin() + static_cast<long>(14 + infoSize), 0);
    put32(b, 2, static_cast<std::uint32_t>(b.size()));
    put32(b, 10, static_cast<std::uint32_t>(offset));
    put32(b, 14, infoSize);
    put32(b, 30, compression);
    std::copy(pixels.begin(), pixels.end(), b.begin() + static_cast<long>(offset));
    return b;
}

std::string writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes)
{
    const std::string path = tempPath(name);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f)
    {
        if (!bytes.empty())
            std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

struct Refusal
{
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* says; // a word the message must contain
};
} // namespace

TEST(ReadBitmap, SwapsBlueGreenRedIntoRgb)
{
    std::vector<std::uint8_t> px(12);
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = static_cast<std::uint8_t>(1 + i % 3);
    const std::string path = writeFile("4x1.bmp", bitmap(4, 1, 24, px));
    BitmapImage img;
    std::string error;
    ASSERT_EQ(ReadBitmap(path, img, error), 0) << error;
    EXPECT_EQ(img.width, 4);
    EXPECT_EQ(img.height, 1);
    EXPECT_EQ(img.bpp, 24);
    ASSERT_EQ(img.rgb.size(), 12u);
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(img.rgb[i * 3 + 0], 3);
        EXPECT_EQ(img.rgb[i * 3 + 1], 2);
        EXPECT_EQ(img.rgb[i * 3 + 2], 1);
    }
    std::remove(path.c_str());
}

TEST(ReadBitmap, FirstPixelAfterHeaderIsBottomLeftAndFlipPutsItLast)
{
    // 4 x 2: the file's first row is the picture's bottom row.
    std::vector<std::uint8_t> px(4 * 2 * 3, 0);
    px[0] = 10, px[1] = 20, px[2] = 30;    // bottom-left as stored (B, G, R)
    px[12] = 40, px[13] = 50, px[14] = 60; // top-left
    const std::string path = writeFile("4x2.bmp", bitmap(4, 2, 24, px));
    BitmapImage asStored, flipped;
    std::string error;
    ASSERT_EQ(ReadBitmap(path, asStored, error), 0) << error;
    ASSERT_EQ(ReadBitmap(path, flipped, error, true), 0) << error;
    // GL's row 0 (t = 0) is the bottom row.
    EXPECT_EQ(asStored.rgb[0], 30);
    EXPECT_EQ(asStored.rgb[2], 10);
    EXPECT_EQ(asStored.rgb[12], 60);
    // Flipped: top row first.
    EXPECT_EQ(flipped.rgb[0], 60);
    EXPECT_EQ(flipped.rgb[12], 30);
    std::remove(path.c_str());
}

TEST(ReadBitmap, MissingFileIsThreeAndNamesTheFile)
{
    BitmapImage img;
    std::string error;
    EXPECT_EQ(ReadBitmap("/nonexistent/vq_missing.bmp", img, error), 3);
    EXPECT_NE(error.find("vq_missing.bmp"), std::string::npos) << error;
    EXPECT_EQ(img.width, 0);
}

TEST(ReadBitmap, RefusesHostileFilesWithAReason)
{
    const std::vector<std::uint8_t> fourPixels(12, 7);
    const std::vector<Refusal> cases = {
        {"empty.bmp", {}, "short"},
        {"short_header.bmp", std::vector<std::uint8_t>(30, 0), "short"},
        {"truncated.bmp", bitmap(4, 4, 24, fourPixels), "truncated"},
        {"huge_width.bmp", bitmap(0x7FFFFFFC, 2, 24, fourPixels), "pixels"},
        {"huge_both.bmp", bitmap(0x10000, 0x10000, 24, fourPixels), "pixels"},
        {"eight_bit.bmp", bitmap(4, 1, 8, fourPixels), "8 bits"},
        {"thirty_two_bit.bmp", bitmap(4, 1, 32, std::vector<std::uint8_t>(16, 1)), "32 bits"},
        {"zero_width.bmp", bitmap(0, 1, 24, fourPixels), "positive"},
        {"zero_height.bmp", bitmap(4, 0, 24, fourPixels), "positive"},
        {"negative_height.bmp", bitmap(4, -1, 24, fourPixels), "top-down"},
        {"negative_width.bmp", bitmap(-4, 1, 24, fourPixels), "positive"},
        {"padded_rows.bmp", bitmap(3, 1, 24, std::vector<std::uint8_t>(12, 1)), "padding"},
    };
    for (const Refusal& c : cases)
    {
        const std::string path = writeFile(c.name, c.bytes);
        BitmapImage img;
        img.width = 99;
        std::string error;
        EXPECT_EQ(ReadBitmap(path, img, error), 4) << c.name;
        EXPECT_NE(error.find(c.name), std::string::npos) << c.name << ": " << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
        EXPECT_EQ(img.width, 99) << c.name << " changed the output";
        EXPECT_TRUE(img.rgb.empty()) << c.name;
        std::remove(path.c_str());
    }
}

TEST(ReadBitmap, PixelsStartWhereTheDataOffsetSaysWhateverTheHeader)
{
    // 4 x 2, every pixel different, so a shift of even one byte shows.
    std::vector<std::uint8_t> px(4 * 2 * 3);
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = static_cast<std::uint8_t>(i + 1);
    BitmapImage plain;
    std::string error;
    const std::string base = writeFile("plain.bmp", bitmap(4, 2, 24, px));
    ASSERT_EQ(ReadBitmap(base, plain, error), 0) << error;
    struct Layout
    {
        std::uint32_t info, gap;
    };
    // 124 is what ImageMagick writes by default; 108 the version-4 header; a gap as after a palette.
    for (const Layout l : {Layout{40, 0}, Layout{40, 12}, Layout{52, 0}, Layout{56, 0}, Layout{108, 0},
                           Layout{124, 0}, Layout{124, 20}})
    {
        const std::string path = writeFile("offset.bmp", bitmapWith(l.info, l.gap, 0, 4, 2, px));
        BitmapImage img;
        ASSERT_EQ(ReadBitmap(path, img, error), 0) << l.info << " + " << l.gap << ": " << error;
        EXPECT_EQ(img.rgb, plain.rgb) << l.info << " + " << l.gap;
        std::vector<std::uint8_t> bytes = bitmapWith(l.info, l.gap, 0, 4, 2, px);
        BitmapImage mem;
        ASSERT_EQ(DecodeBitmap("mem.bmp", bytes.data(), bytes.size(), mem, error), 0) << error;
        EXPECT_EQ(mem.rgb, plain.rgb);
        std::remove(path.c_str());
    }
    std::remove(base.c_str());
}

TEST(ReadBitmap, RefusesWhatItWouldReadWrong)
{
    const std::vector<std::uint8_t> px(4 * 2 * 3, 5);
    std::vector<std::uint8_t> inside = bitmap(4, 2, 24, px);
    put32(inside, 10, 40); // pixels "inside" the headers
    std::vector<std::uint8_t> beyond = bitmap(4, 2, 24, px);
    put32(beyond, 10, 0xFFFFFFF0u);
    std::vector<std::uint8_t> notBm = bitmap(4, 2, 24, px);
    notBm[0] = 'P', notBm[1] = 'K';
    std::vector<std::uint8_t> shortInfo = bitmapWith(124, 0, 0, 4, 2, px);
    shortInfo.resize(100); // ends inside its own header
    const std::vector<Refusal> cases = {
        {"rle8.bmp", bitmapWith(40, 0, 1, 4, 2, px), "compressed (RLE8"},
        {"rle4.bmp", bitmapWith(40, 0, 2, 4, 2, px), "compressed (RLE4"},
        {"bitfields.bmp", bitmapWith(124, 0, 3, 4, 2, px), "compressed (bit fields"},
        {"png_inside.bmp", bitmapWith(124, 0, 5, 4, 2, px), "only uncompressed bitmaps are read"},
        {"os2.bmp", bitmapWith(12, 42, 0, 4, 2, px), "12-byte OS/2"},
        {"odd_header.bmp", bitmapWith(64, 0, 0, 4, 2, px), "information header of 64 bytes"},
        {"short_info.bmp", shortInfo, "truncated"},
        {"inside.bmp", inside, "inside its 54 bytes of headers"},
        {"beyond.bmp", beyond, "truncated"},
        {"not_bm.bmp", notBm, "\"BM\""},
    };
    for (const Refusal& c : cases)
    {
        const std::string path = writeFile(c.name, c.bytes);
        BitmapImage img;
        std::string error;
        EXPECT_EQ(ReadBitmap(path, img, error), 4) << c.name;
        EXPECT_NE(error.find(c.name), std::string::npos) << c.name << ": " << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
        EXPECT_EQ(DecodeBitmap(c.name, c.bytes.data(), c.bytes.size(), img, error), 4) << c.name;
        EXPECT_TRUE(img.rgb.empty()) << c.name;
        std::remove(path.c_str());
    }
}

TEST(CubeMap, FacesAreSquareAndOneSizeWhichMostFacesDecide)
{
    auto face = [](int w, int h, int bpp = 24)
    {
        BitmapImage b;
        b.width = w;
        b.height = h;
        b.bpp = bpp;
        return b;
    };
    const BitmapImage a = face(256, 256), b = face(256, 256), odd = face(128, 128), wide = face(256, 128);
    EXPECT_EQ(CubeMapSide({&a, &b, &odd, &b, &wide, &a}), 256);
    EXPECT_EQ(CubeMapSide({&odd, &a, &b}), 256) << "most faces decide, not the first";
    EXPECT_EQ(CubeMapSide({&odd, &a}), 128) << "a tie goes to the earlier face";
    EXPECT_EQ(CubeMapSide({&wide, nullptr}), 0);
    EXPECT_EQ(CubeFaceFault(a, 256), "");
    EXPECT_EQ(CubeFaceFault(wide, 256), "is 256 x 128 pixels; a cube map face must be square");
    EXPECT_EQ(CubeFaceFault(odd, 256),
              "is 128 x 128 pixels, but the other faces of its cube map are 256 x 256");
}

TEST(ReadBitmap, ReadsWhatTheGeneratorsWrite)
{
    vqtools::Image src(8, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            src.set(x, y, {x / 7.0f, y / 3.0f, 0.5f});
    const std::string path = tempPath("gen.bmp");
    std::string error;
    ASSERT_TRUE(vqtools::WriteBmp(path, src, error)) << error;
    BitmapImage img;
    ASSERT_EQ(ReadBitmap(path, img, error, true), 0) << error;
    EXPECT_EQ(img.rgb, src.rgb); // flipped: top row first, like the generator's picture
    std::remove(path.c_str());
}

TEST(ReadJpeg, DecodesWhatTheGeneratorsWrite)
{
    vqtools::Image src(20, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            src.set(x, y, y < 5 ? vqtools::Rgb{1, 0, 0} : vqtools::Rgb{0, 0, 1});
    const std::string path = tempPath("pic.jpg");
    std::string error;
    ASSERT_TRUE(vqtools::WriteJpeg(path, src, 95, error)) << error;
    int w = 0, h = 0;
    std::vector<std::uint8_t> rgb;
    ASSERT_TRUE(ReadJpeg(path, w, h, rgb, error)) << error;
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 10);
    ASSERT_EQ(rgb.size(), 20u * 10u * 3u);
    // First row of the file first: red on top, blue below.
    EXPECT_GT(rgb[(1 * 20 + 10) * 3 + 0], 200);
    EXPECT_LT(rgb[(1 * 20 + 10) * 3 + 2], 60);
    EXPECT_GT(rgb[(8 * 20 + 10) * 3 + 2], 200);
    EXPECT_LT(rgb[(8 * 20 + 10) * 3 + 0], 60);
    std::remove(path.c_str());
}

TEST(ReadJpeg, DamagedFilesAreReportedNotCrashed)
{
    vqtools::Image src(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            src.set(x, y, {x / 63.0f, y / 63.0f, 0.3f});
    const std::string good = tempPath("good.jpg");
    std::string error;
    ASSERT_TRUE(vqtools::WriteJpeg(good, src, 90, error)) << error;
    std::vector<std::uint8_t> bytes;
    {
        std::FILE* f = std::fopen(good.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        int c;
        while ((c = std::fgetc(f)) != EOF)
            bytes.push_back(static_cast<std::uint8_t>(c));
        std::fclose(f);
    }
    // The frame header (SOF0, marker FF C0) carries height then width at bytes 5..8.
    std::vector<std::uint8_t> huge = bytes;
    for (std::size_t i = 0; i + 8 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0)
        {
            huge[i + 5] = huge[i + 7] = 0xFD;
            huge[i + 6] = huge[i + 8] = 0xE8; // 65000 x 65000
            break;
        }
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> damaged = {
        {"huge_header.jpg", huge},
        {"truncated.jpg",
         std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() / 2))},
        {"header_only.jpg", std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 20)},
        {"not_a_jpeg.jpg", std::vector<std::uint8_t>(500, 0x42)},
        {"empty.jpg", {}},
    };
    for (const auto& d : damaged)
    {
        const std::string path = writeFile(d.first, d.second);
        int w = -1, h = -1;
        std::vector<std::uint8_t> rgb;
        EXPECT_FALSE(ReadJpeg(path, w, h, rgb, error)) << d.first;
        EXPECT_NE(error.find(d.first), std::string::npos) << error;
        if (d.first == "huge_header.jpg")
        {
            EXPECT_NE(error.find("65000 x 65000"), std::string::npos)
                << "refused before allocating: " << error;
        }
        EXPECT_EQ(w, -1) << d.first;
        std::remove(path.c_str());
    }
    int w = 0, h = 0;
    std::vector<std::uint8_t> rgb;
    EXPECT_FALSE(ReadJpeg("/nonexistent/vq_none.jpg", w, h, rgb, error));
    EXPECT_NE(error.find("vq_none.jpg"), std::string::npos);
    std::remove(good.c_str());
}

TEST(ReadJpeg, MemoryAndFileReadTheSame)
{
    vqtools::Image src(16, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            src.set(x, y, {x / 15.0f, 0.5f, y / 7.0f});
    const std::string path = tempPath("same.jpg");
    std::string error;
    ASSERT_TRUE(vqtools::WriteJpeg(path, src, 90, error)) << error;
    int w = 0, h = 0, mw = 0, mh = 0;
    std::vector<std::uint8_t> fromFile, fromMemory, bytes;
    ASSERT_TRUE(ReadJpeg(path, w, h, fromFile, error)) << error;
    {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        for (int c; (c = std::fgetc(f)) != EOF;)
            bytes.push_back(static_cast<std::uint8_t>(c));
        std::fclose(f);
    }
    ASSERT_TRUE(DecodeJpeg("same.jpg", bytes.data(), bytes.size(), mw, mh, fromMemory, error)) << error;
    EXPECT_EQ(fromMemory, fromFile);
    EXPECT_EQ(mw, 16);
    EXPECT_EQ(mh, 8);
    EXPECT_FALSE(DecodeJpeg("none.jpg", nullptr, 0, mw, mh, fromMemory, error));
    EXPECT_NE(error.find("none.jpg"), std::string::npos);
    std::remove(path.c_str());
}

TEST(CTexture, LoadKeepsItsReturnContractAndReportsOnce)
{
    CTexture t;
    testing::internal::CaptureStderr();
    EXPECT_EQ(t.Load("/nonexistent/vq_gone.bmp"), 3);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("vq_gone.bmp"), std::string::npos);
    EXPECT_EQ(said.find('\n'), said.size() - 1) << "one line: " << said;

    const std::string bad = writeFile("eight.bmp", bitmap(4, 1, 8, std::vector<std::uint8_t>(12, 0)));
    testing::internal::CaptureStderr();
    EXPECT_EQ(t.Load(bad.c_str()), 4);
    said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("eight.bmp"), std::string::npos);
    EXPECT_EQ(t.width, 0);
    EXPECT_TRUE(t.pixels.empty());
    std::remove(bad.c_str());

    const std::string good = writeFile("good.bmp", bitmap(4, 1, 24, std::vector<std::uint8_t>(12, 9)));
    EXPECT_EQ(t.Load(good.c_str()), 0);
    EXPECT_EQ(t.width, 4);
    EXPECT_EQ(t.height, 1);
    EXPECT_EQ(t.bpp, 24);
    EXPECT_EQ(t.pixels.size(), 12u);
    std::remove(good.c_str());
}

TEST(CTexture, UploadBuildsAMipmappedTextureAndFreesThePixels)
{
    RENDER_NEED(rendertest::Level::Window);
    glWindow.SetCurrent();
    // 12 x 4: not a power of two; GLU scales it.
    std::vector<std::uint8_t> px(12 * 4 * 3, 0);
    for (std::size_t i = 0; i < px.size(); i += 3)
        px[i + 2] = 255; // blue-green-red: pure red
    const std::string path = writeFile("red.bmp", bitmap(12, 4, 24, px));
    CTexture t;
    ASSERT_EQ(t.Load(path.c_str()), 0);
    t.Upload(GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
    EXPECT_NE(t.texId, 0u);
    EXPECT_TRUE(t.pixels.empty());
    t.Bind();
    GLint w0 = 0, minF = 0, magF = 0, levels = 0, format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w0);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minF);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magF);
    // The chain reaches 1 x 1.
    for (GLint w = 1; w > 0; ++levels)
        glGetTexLevelParameteriv(GL_TEXTURE_2D, levels, GL_TEXTURE_WIDTH, &w);
    EXPECT_GT(w0, 0);
    EXPECT_EQ(format, 4) << "four components, as the piece asks";
    EXPECT_EQ(minF, GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(magF, GL_LINEAR);
    EXPECT_GE(levels - 1, 4);
    std::vector<std::uint8_t> texel(static_cast<std::size_t>(w0) * 4 * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel.data());
    EXPECT_EQ(texel[0], 255);
    EXPECT_EQ(texel[1], 0);
    EXPECT_EQ(texel[3], 255) << "alpha is 1 everywhere";
    std::remove(path.c_str());

    // A texture whose load failed still gets a name, without an image.
    CTexture empty;
    testing::internal::CaptureStderr();
    empty.Load("/nonexistent/none.bmp");
    testing::internal::GetCapturedStderr();
    empty.Upload(GL_NEAREST, GL_NEAREST);
    EXPECT_NE(empty.texId, 0u);
}

TEST(CTexture, UploadReportsWhatGlRefusesWithTheFile)
{
    RENDER_NEED(rendertest::Level::Window);
    glWindow.SetCurrent();
    glEnable(0x1234); // an error of someone else's: not this texture's
    CTexture t;
    t.width = t.height = 4;
    t.pixels.assign(4 * 4 * 3, 200);
    t.name = "clean.bmp";
    testing::internal::CaptureStderr();
    t.Upload(GL_LINEAR, GL_LINEAR);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    CTexture bad;
    bad.name = "bad.bmp";
    testing::internal::CaptureStderr();
    bad.Upload(GL_LINEAR, 0x1234); // no such filter
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "texture: \"bad.bmp\": OpenGL error GL_INVALID_ENUM (0x0500) while loading it\n");
}
