// Text for the generated pictures: UTF-8 decoding and what the named faces draw of it.
#include "Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using vqtools::DecodeUtf8;

TEST(DecodeUtf8, ReadsEveryLengthOfSequence)
{
    EXPECT_EQ(DecodeUtf8("Ab"), (std::vector<char32_t>{'A', 'b'}));
    EXPECT_EQ(DecodeUtf8("\xC3\xA5"), (std::vector<char32_t>{0xE5}));                   // å
    EXPECT_EQ(DecodeUtf8("a\xE2\x80\x93z"), (std::vector<char32_t>{'a', 0x2013, 'z'})); // en dash
    EXPECT_EQ(DecodeUtf8("\xF0\x9F\x8E\xB5"), (std::vector<char32_t>{0x1F3B5}));
    EXPECT_TRUE(DecodeUtf8("").empty());
}

TEST(DecodeUtf8, MalformedBytesStandForThemselves)
{
    // A Latin-1 "å" alone, a sequence cut short by the end or by a plain byte, a stray
    // continuation byte, an overlong "/", a surrogate, and bytes that never lead a sequence.
    EXPECT_EQ(DecodeUtf8("\xE5"), (std::vector<char32_t>{0xE5}));
    EXPECT_EQ(DecodeUtf8("\xE2\x80"), (std::vector<char32_t>{0xE2, 0x80}));
    EXPECT_EQ(DecodeUtf8("\xC3z"), (std::vector<char32_t>{0xC3, 'z'}));
    EXPECT_EQ(DecodeUtf8("\x93"), (std::vector<char32_t>{0x93}));
    EXPECT_EQ(DecodeUtf8("\xC0\xAF"), (std::vector<char32_t>{0xC0, 0xAF}));
    EXPECT_EQ(DecodeUtf8("\xE0\x80\xAF"), (std::vector<char32_t>{0xE0, 0x80, 0xAF}));
    EXPECT_EQ(DecodeUtf8("\xED\xA0\x80"), (std::vector<char32_t>{0xED, 0xA0, 0x80}));
    EXPECT_EQ(DecodeUtf8("\xF8\xFF"), (std::vector<char32_t>{0xF8, 0xFF}));
}

namespace
{
// Columns of the mask that hold any ink.
int inkedColumns(const vqtools::Mask& m)
{
    int n = 0;
    for (int x = 0; x < m.width; ++x)
    {
        bool ink = false;
        for (int y = 0; y < m.height && !ink; ++y)
            ink = m.at(x, y) > 0.25f;
        n += ink;
    }
    return n;
}
} // namespace

TEST(TextFace, DrawsAnEnDashWiderThanAHyphen)
{
    // The closing picture's title joins its two names with an en dash; a face that lacked the glyph,
    // or text read byte by byte, would draw a box, nothing, or three stray Latin-1 letters.
    std::unique_ptr<vqtools::TextFace> face = vqtools::OpenFaceOrDie("Liberation Serif:bold");
    face->SetPixelSize(64);
    vqtools::Mask hyphen(200, 100), dash(200, 100);
    face->Draw(hyphen, "-", 20.0f, 70.0f);
    face->Draw(dash, "\u2013", 20.0f, 70.0f);
    EXPECT_GT(inkedColumns(hyphen), 5);
    EXPECT_GT(inkedColumns(dash), inkedColumns(hyphen) + 5);
    // One glyph's advance, not three.
    EXPECT_LT(face->Measure("\u2013"), 1.5f * face->Measure("-") + 16.0f);
    EXPECT_GT(face->Measure("\u2013"), face->Measure("-"));
}
