#include "resource/CTexture.h"

#include "resource/GlErrors.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <cstdio>

namespace
{
void report(const std::string& error) { std::fprintf(stderr, "texture: %s\n", error.c_str()); }
} // namespace

int CTexture::Load(const char* file)
{
    std::string error;
    if (!file)
    {
        report("no bitmap file named");
        return 3;
    }
    name = file;
    BitmapImage img;
    const int result = ReadBitmap(file, img, error);
    if (result != 0)
    {
        report(error);
        return result;
    }
    width = img.width;
    height = img.height;
    bpp = img.bpp;
    pixels = std::move(img.rgb);
    return 0;
}

void CTexture::Load_JPEG(const char* file)
{
    std::string error;
    int w = 0, h = 0;
    std::vector<std::uint8_t> rgb;
    name = file ? file : "";
    if (!file || !ReadJpeg(file, w, h, rgb, error))
    {
        report(file ? error : "no JPEG file named");
        return;
    }
    width = w;
    height = h;
    pixels = std::move(rgb);
}

void CTexture::Upload(unsigned minFilter, unsigned magFilter)
{
    ClearGlErrors();
    GLuint id = 0;
    glGenTextures(1, &id);
    texId = id;
    glBindTexture(GL_TEXTURE_2D, id);
    const std::size_t expected =
        static_cast<std::size_t>(width > 0 ? width : 0) * (height > 0 ? height : 0) * 3;
    if (expected > 0 && pixels.size() == expected)
    {
        // A decoded JPEG's rows need not fill whole 4-byte words.
        GLint alignment = 4;
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        gluBuild2DMipmaps(GL_TEXTURE_2D, 4, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(magFilter));
    std::vector<std::uint8_t>().swap(pixels); // only GL's copy stays in memory
    ReportGlErrors("texture", name);
}

void CTexture::Bind() { glBindTexture(GL_TEXTURE_2D, texId); }

void CubeFaceLoader::Load(int target, const char* file)
{
    BitmapImage img;
    std::string error;
    // The shared bitmap reader checks the header against the file, so nothing past the loaded
    // pixels is ever read.
    if (ReadBitmap(file, img, error, topFirst) == 0)
    {
        // GL refuses a face that is not square or not the size of the others. Without a side
        // settled beforehand the first square face settles it.
        if (side == 0 && img.width == img.height)
            side = img.width;
        const std::string shape = CubeFaceFault(img, side);
        if (!shape.empty())
            error = "\"" + std::string(file) + "\": " + shape + "; the face is left out";
    }
    if (!error.empty())
    {
        if (error != lastFault)
            std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
        lastFault = error;
        return;
    }
    ClearGlErrors();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(static_cast<GLenum>(target), 0, GL_RGB, img.width, img.height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 img.rgb.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    ReportGlErrors(name.c_str(), file);
}
