#include "app/Font.h"

#include "app/platform/GLWindow.h"
#include "app/platform/PassState.h"
#include "resource/CResource.h"

#include <GL/glew.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

unsigned int base = 0;

namespace
{
constexpr int kFirst = 32;
constexpr int kCount = 96;
constexpr int kPixels = 24;

// The bold Courier-metric face through fontconfig; empty when fontconfig knows no font at all.
std::string findFontFile()
{
    std::string path;
    if (!FcInit())
        return path;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Liberation Mono:bold"));
    if (!pattern)
        return path;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcChar8* file = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
        path = reinterpret_cast<const char*>(file);
    if (match)
        FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return path;
}

// A glyph's 1-bit rows as glBitmap wants them: bottom row first, MSB first, byte-aligned.
void emitGlyph(const FT_GlyphSlot g)
{
    const FT_Bitmap& bm = g->bitmap;
    const int rows = static_cast<int>(bm.rows), width = static_cast<int>(bm.width);
    const int pitch = bm.pitch < 0 ? -bm.pitch : bm.pitch;
    const int rowBytes = (width + 7) / 8;
    std::vector<GLubyte> bits(static_cast<std::size_t>(rowBytes) * (rows > 0 ? rows : 0));
    if (bm.pixel_mode == FT_PIXEL_MODE_MONO && bm.buffer)
        for (int y = 0; y < rows; ++y)
        {
            // FreeType's rows run top-down for a positive pitch.
            const unsigned char* srow =
                bm.buffer + static_cast<std::ptrdiff_t>(bm.pitch > 0 ? y : rows - 1 - y) * pitch;
            std::copy(srow, srow + rowBytes,
                      bits.begin() + static_cast<std::ptrdiff_t>(rows - 1 - y) * rowBytes);
        }
    glBitmap(width, rows, static_cast<GLfloat>(-g->bitmap_left), static_cast<GLfloat>(rows - g->bitmap_top),
             static_cast<GLfloat>(g->advance.x >> 6), 0.0f, bits.empty() ? nullptr : bits.data());
}
} // namespace

void BuildFont()
{
    base = glGenLists(kCount);
    if (!base)
        return;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    const std::string file = findFontFile();
    bool ready = !file.empty() && FT_Init_FreeType(&library) == 0;
    ready = ready && FT_New_Face(library, file.c_str(), 0, &face) == 0;
    // 24 pixels of the piece's layout: as large on a larger picture as on a 1024 x 768 one.
    ready = ready && FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(glWindow.Pixels(kPixels))) == 0;
    if (!ready)
        std::fprintf(stderr,
                     "font: no usable \"Liberation Mono:bold\" face (package fonts-liberation)%s%s; text is "
                     "left out\n",
                     file.empty() ? "" : " in ", file.c_str());

    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int i = 0; i < kCount; ++i)
    {
        glNewList(base + static_cast<GLuint>(i), GL_COMPILE);
        if (ready &&
            FT_Load_Char(face, static_cast<FT_ULong>(kFirst + i), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0)
            emitGlyph(face->glyph);
        glEndList();
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    if (face)
        FT_Done_Face(face);
    if (library)
        FT_Done_FreeType(library);
}

void glPrint(const char* fmt, ...)
{
    if (!fmt || !base)
        return;
    char text[256];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    if (n <= 0)
        return;
    // Only characters 32..127 have lists of ours; any other code would call someone else's list.
    GLubyte codes[sizeof text];
    int count = 0;
    for (int i = 0; i < n && i < static_cast<int>(sizeof text) - 1; ++i)
    {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= kFirst && c < kFirst + kCount)
            codes[count++] = c;
    }
    glPushAttrib(GL_LIST_BIT);
    glListBase(base - kFirst);
    glCallLists(count, GL_UNSIGNED_BYTE, codes);
    glPopAttrib();
}

void outro()
{
    // The window's clear colour: the uncovered edge stays black.
    glWindow.BeginOrtho(PassState());
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    res.endTex.Bind();
    // The quad stops one pixel short of the window: the last column and row keep the clear colour.
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(0, 0);
    glTexCoord2f(1, 0);
    glVertex2f(1023, 0);
    glTexCoord2f(1, 1);
    glVertex2f(1023, 767);
    glTexCoord2f(0, 1);
    glVertex2f(0, 767);
    glEnd();
}
