#pragma once
// Text set with FreeType for the generators' pictures (title cards, credits, logos). Faces are
// found through fontconfig and must be the named family: a silent fallback to another face would
// make the generated pictures differ between machines.
#include "Canvas.h"

#include <memory>
#include <string>
#include <vector>

namespace vqtools
{
// The code points of UTF-8 text. A byte that does not start a well-formed sequence stands for
// itself (Latin-1), so plain 8-bit text still reads as it did.
std::vector<char32_t> DecodeUtf8(const std::string& text);

// The file of the face fontconfig matches for `pattern` (e.g. "Liberation Sans:bold"). Empty, with
// a reason in error, when the match is not of the family named before the colon.
std::string FindFontFile(const std::string& pattern, std::string& error);

class TextFace
{
public:
    TextFace();
    ~TextFace();
    TextFace(const TextFace&) = delete;
    TextFace& operator=(const TextFace&) = delete;

    bool Open(const std::string& file, std::string& error);
    // Size of the em square in pixels.
    void SetPixelSize(int px);
    // Distance above and below the baseline of the face's design, in pixels at the current size.
    int Ascender() const;
    int Descender() const;
    // Width of the text's advance in pixels, with kerning and `tracking` extra pixels per gap.
    float Measure(const std::string& text, float tracking = 0.0f) const;
    // Anti-aliased coverage of the text, left end at x and baseline at y, added into the mask
    // (clamped to 1). Text is UTF-8 (see DecodeUtf8); parts outside the mask are clipped.
    void Draw(Mask& m, const std::string& text, float x, float y, float tracking = 0.0f) const;
    // Draws the text centred on x.
    void DrawCentred(Mask& m, const std::string& text, float x, float y, float tracking = 0.0f) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// Opens the face for `pattern` or exits with a message (generators stop on a missing font).
std::unique_ptr<TextFace> OpenFaceOrDie(const std::string& pattern);
} // namespace vqtools
