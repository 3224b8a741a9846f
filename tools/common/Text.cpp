#include "Text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace vqtools
{
std::vector<char32_t> DecodeUtf8(const std::string& text)
{
    std::vector<char32_t> out;
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    for (std::size_t i = 0; i < text.size();)
    {
        const unsigned char b = byte(i);
        // Continuation bytes that follow a lead byte: C2..DF one, E0..EF two, F0..F4 three.
        const int more = b >= 0xF5 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 ? 1 : 0;
        char32_t c = more == 3 ? b & 0x07u : more == 2 ? b & 0x0Fu : b & 0x1Fu;
        bool good = more > 0;
        for (int k = 1; good && k <= more; ++k)
        {
            good = i + k < text.size() && (byte(i + k) & 0xC0) == 0x80;
            if (good)
                c = (c << 6) | (byte(i + k) & 0x3Fu);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not characters.
        good = good && !(more == 2 && c < 0x800) && !(more == 3 && (c < 0x10000 || c > 0x10FFFF)) &&
               !(c >= 0xD800 && c <= 0xDFFF);
        if (good)
        {
            out.push_back(c);
            i += static_cast<std::size_t>(more) + 1;
        }
        else
        {
            out.push_back(b);
            ++i;
        }
    }
    return out;
}

std::string FindFontFile(const std::string& pattern, std::string& error)
{
    const std::string family = pattern.substr(0, pattern.find(':'));
    if (!FcInit())
    {
        error = "fontconfig cannot start";
        return "";
    }
    FcPattern* p = FcNameParse(reinterpret_cast<const FcChar8*>(pattern.c_str()));
    if (!p)
    {
        error = "\"" + pattern + "\" is not a font name fontconfig understands";
        return "";
    }
    FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, p, &result);
    FcPatternDestroy(p);
    std::string file;
    FcChar8* got = nullptr;
    FcChar8* gotFamily = nullptr;
    if (match && FcPatternGetString(match, FC_FAMILY, 0, &gotFamily) == FcResultMatch &&
        strcasecmp(reinterpret_cast<const char*>(gotFamily), family.c_str()) == 0 &&
        FcPatternGetString(match, FC_FILE, 0, &got) == FcResultMatch && got)
        file = reinterpret_cast<const char*>(got);
    else
        error = "no font of the family \"" + family + "\" is installed (for \"" + pattern +
                "\"; Debian package fonts-liberation)";
    if (match)
        FcPatternDestroy(match);
    return file;
}

struct TextFace::Impl
{
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

TextFace::TextFace() : impl(new Impl) {}

TextFace::~TextFace()
{
    if (impl->face)
        FT_Done_Face(impl->face);
    if (impl->library)
        FT_Done_FreeType(impl->library);
}

bool TextFace::Open(const std::string& file, std::string& error)
{
    if (!impl->library && FT_Init_FreeType(&impl->library) != 0)
    {
        error = "FreeType cannot start";
        return false;
    }
    if (impl->face)
        FT_Done_Face(impl->face);
    impl->face = nullptr;
    if (FT_New_Face(impl->library, file.c_str(), 0, &impl->face) != 0)
    {
        error = "\"" + file + "\": not a font FreeType can open";
        impl->face = nullptr;
        return false;
    }
    SetPixelSize(32);
    return true;
}

void TextFace::SetPixelSize(int px)
{
    if (impl->face)
        FT_Set_Pixel_Sizes(impl->face, 0, static_cast<FT_UInt>(std::max(1, px)));
}

int TextFace::Ascender() const
{
    return impl->face ? static_cast<int>(impl->face->size->metrics.ascender >> 6) : 0;
}

int TextFace::Descender() const
{
    return impl->face ? static_cast<int>(-(impl->face->size->metrics.descender >> 6)) : 0;
}

namespace
{
// Walks the text's glyphs: f(glyph index, pen x before the glyph in 1/64 px).
template <typename F> float walk(FT_Face face, const std::string& text, float tracking, F f)
{
    if (!face)
        return 0;
    const bool kerning = FT_HAS_KERNING(face);
    long pen = 0;
    FT_UInt previous = 0;
    const std::vector<char32_t> chars = DecodeUtf8(text);
    for (std::size_t i = 0; i < chars.size(); ++i)
    {
        const FT_UInt index = FT_Get_Char_Index(face, chars[i]);
        if (kerning && previous && index)
        {
            FT_Vector k;
            if (FT_Get_Kerning(face, previous, index, FT_KERNING_UNFITTED, &k) == 0)
                pen += k.x;
        }
        if (i > 0)
            pen += std::lround(tracking * 64.0f);
        f(index, pen);
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING) == 0)
            pen += face->glyph->linearHoriAdvance >> 10; // 16.16 -> 26.6
        previous = index;
    }
    return static_cast<float>(pen) / 64.0f;
}
} // namespace

float TextFace::Measure(const std::string& text, float tracking) const
{
    return walk(impl->face, text, tracking, [](FT_UInt, long) {});
}

void TextFace::Draw(Mask& m, const std::string& text, float x, float y, float tracking) const
{
    FT_Face face = impl->face;
    const long originX = std::lround(x * 64.0f);
    const long originY = std::lround(y);
    walk(face, text, tracking,
         [&](FT_UInt index, long pen)
         {
             // Whole pixels go to the placement, the fraction to FreeType, so spacing stays even.
             const long at = originX + pen;
             const long whole = at >> 6;
             FT_Vector delta{at - (whole << 6), 0};
             FT_Set_Transform(face, nullptr, &delta);
             if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_NO_HINTING) != 0)
                 return;
             const FT_Bitmap& bm = face->glyph->bitmap;
             if (bm.pixel_mode != FT_PIXEL_MODE_GRAY)
                 return;
             const long left = whole + face->glyph->bitmap_left;
             const long top = originY - face->glyph->bitmap_top;
             for (unsigned r = 0; r < bm.rows; ++r)
                 for (unsigned c = 0; c < bm.width; ++c)
                 {
                     const long px = left + static_cast<long>(c), py = top + static_cast<long>(r);
                     if (px < 0 || py < 0 || px >= m.width || py >= m.height)
                         continue;
                     const float v =
                         bm.buffer[static_cast<long>(r) * bm.pitch + static_cast<long>(c)] / 255.0f;
                     float& dst = m.at(static_cast<int>(px), static_cast<int>(py));
                     dst = std::min(1.0f, dst + v);
                 }
         });
    FT_Set_Transform(face, nullptr, nullptr);
}

void TextFace::DrawCentred(Mask& m, const std::string& text, float x, float y, float tracking) const
{
    Draw(m, text, x - 0.5f * Measure(text, tracking), y, tracking);
}

std::unique_ptr<TextFace> OpenFaceOrDie(const std::string& pattern)
{
    std::string error;
    const std::string file = FindFontFile(pattern, error);
    auto face = std::make_unique<TextFace>();
    if (file.empty() || !face->Open(file, error))
    {
        std::fprintf(stderr, "generator: %s\n", error.c_str());
        std::exit(1);
    }
    return face;
}
} // namespace vqtools
