// OHLF: the text parser (line ends, groups cut short, capacity, backslashes) and COHLFObj drawing
// its parts, each under its own track.
#include "HlfGlTarget.h"
#include "audio/CBass.h"
#include "formats/COHLFObj.h"
#include "formats/HlfParse.h"

#include "Image.h" // tools/common: the generators' JPEG writer

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace hlf;

namespace
{
std::vector<OhlfPart> parse(const std::string& text, std::string& fault)
{
    std::vector<OhlfPart> parts;
    ParseOHLF("x.ohlf", text, parts, fault);
    return parts;
}
} // namespace

TEST(OhlfParse, LineEndsAndTheEndOfTheList)
{
    std::string fault;
    // Two complete groups and an empty line: exactly two parts, and that is a sound file.
    auto p = parse("a.khlf\r\na.jpg\r\na.ahlf\r\nb.khlf\r\nb.jpg\r\n?\r\n\r\n", fault);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(fault, "");
    EXPECT_EQ(p[1].anim, "?");
    EXPECT_EQ(p[0].texture, "a.jpg");

    // LF alone, and a last line without its line end, still count.
    p = parse("a.khlf\na.jpg\r\na.ahlf", fault);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].anim, "a.ahlf");
    EXPECT_EQ(fault, "");

    // Backslashes are folder separators.
    p = parse(".\\MrKalv\\head.khlf\nMrKalv\\head.jpg\nMrKalv\\head.ahlf\n", fault);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].model, "./MrKalv/head.khlf");
    EXPECT_EQ(p[0].anim, "MrKalv/head.ahlf");
}

TEST(OhlfParse, GroupsCutShortAreNotCounted)
{
    std::string fault;
    auto p = parse("a\nb\nc\nd\ne", fault); // the second group ends with the file
    EXPECT_EQ(p.size(), 1u);
    EXPECT_EQ(fault,
              "\"x.ohlf\": part 2 (from line 4) is cut short by the end of the file before its animation "
              "line: it is not loaded");

    p = parse("a\nb\nc\nd\n\ne\nf\n", fault); // cut by an empty line; what follows is never read
    EXPECT_EQ(p.size(), 1u);
    EXPECT_NE(fault.find("part 2 (from line 4) is cut short by an empty line before its texture line"),
              std::string::npos)
        << fault;
    EXPECT_NE(fault.find("line 5 is empty, so the lines after it are not read"), std::string::npos) << fault;

    p = parse("", fault);
    EXPECT_TRUE(p.empty());
    EXPECT_EQ(fault, "\"x.ohlf\": no parts");
    p = parse("\r\na\nb\nc\n", fault);
    EXPECT_TRUE(p.empty());
}

TEST(OhlfParse, AtMostFiftyParts)
{
    std::string text;
    for (int i = 0; i < 50; ++i)
        text += "m" + std::to_string(i) + "\nt\n?\n";
    std::string fault;
    EXPECT_EQ(parse(text, fault).size(), 50u);
    EXPECT_EQ(fault, "");
    text += "m50\nt\n?\n";
    auto p = parse(text, fault);
    ASSERT_EQ(p.size(), 50u);
    EXPECT_EQ(p.back().model, "m49");
    EXPECT_NE(fault.find("more than 50 parts: the lines from line 151 on are not read"), std::string::npos)
        << fault;
}

TEST(OhlfParse, TruncatedAtEveryByte)
{
    const std::string good = WriteOHLF({{"a.khlf", "a.jpg", "a.ahlf"}, {"b.khlf", "b.jpg", "?"}});
    for (std::size_t n = 0; n <= good.size(); ++n)
    {
        const std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        std::vector<OhlfPart> parts;
        std::string fault;
        ParseOHLF("cut.ohlf", cut.data(), cut.size(), parts, fault);
        ASSERT_LE(parts.size(), 2u);
        for (const OhlfPart& part : parts)
            EXPECT_FALSE(part.model.empty() || part.texture.empty() || part.anim.empty());
        // Parts complete once their third line has begun; the last line needs no line end.
        const std::size_t firstEnds = good.find("a.ahlf") + 1, secondEnds = good.find("?") + 1;
        EXPECT_EQ(parts.size(), n >= secondEnds ? 2u : n >= firstEnds ? 1u : 0u) << n;
    }
}

namespace
{
// A folder with a two-part character: a red square moved by its track, a green one without.
class Character : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(getcwd(oldDir, sizeof oldDir), nullptr);
        ASSERT_NE(mkdtemp(dir), nullptr);
        ASSERT_EQ(chdir(dir), 0);
        ASSERT_EQ(mkdir("MrKalv", 0755), 0);
    }
    void TearDown() override
    {
        for (const char* f : {"MrKalv/MrKalv.ohlf", "MrKalv/sq.khlf", "MrKalv/red.jpg", "MrKalv/green.jpg",
                              "MrKalv/move.ahlf"})
            std::remove(f);
        rmdir("MrKalv");
        EXPECT_EQ(chdir(oldDir), 0);
        rmdir(dir);
    }

    static void writeParts(const std::string& ohlf)
    {
        KhlfModel sq;
        for (auto [x, y] : {std::pair{-0.2f, -0.2f}, {0.2f, -0.2f}, {0.2f, 0.2f}, {-0.2f, 0.2f}})
        {
            KhlfVertex v;
            v.pos = svect3f(x, y, 0);
            v.normal = svect3f(0, 0, 1);
            v.s = x + 0.5f;
            v.t = y + 0.5f;
            sq.vertices.push_back(v);
        }
        KhlfFace f;
        f.type = 1;
        f.index[0] = 0, f.index[1] = 1, f.index[2] = 2, f.index[3] = 3;
        sq.faces = {f};
        AhlfKey k0, k1;
        k0.time = 0, k1.time = 100;
        k0.matrix[3] = k1.matrix[3] = 0.5f; // x + 0.5, row-major
        vqtools::Image red(8, 8), green(8, 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
            {
                red.set(x, y, {1, 0, 0});
                green.set(x, y, {0, 1, 0});
            }
        std::string error;
        ASSERT_TRUE(WriteFileBytes("MrKalv/sq.khlf", WriteKHLF(sq), error)) << error;
        ASSERT_TRUE(WriteFileBytes("MrKalv/move.ahlf", WriteAHLF({k0, k1}), error)) << error;
        ASSERT_TRUE(vqtools::WriteJpeg("MrKalv/red.jpg", red, 95, error)) << error;
        ASSERT_TRUE(vqtools::WriteJpeg("MrKalv/green.jpg", green, 95, error)) << error;
        ASSERT_TRUE(WriteFileText("MrKalv/MrKalv.ohlf", ohlf, error)) << error;
    }

    char oldDir[4096] = {};
    char dir[32] = "/tmp/vq_ohlf_XXXXXX";
};

bool near(const std::vector<int>& got, int r, int g, int b)
{
    return std::abs(got[0] - r) <= 8 && std::abs(got[1] - g) <= 8 && std::abs(got[2] - b) <= 8;
}
} // namespace

TEST_F(Character, EachPartDrawsUnderItsOwnTrackAndTheMatrixIsRestored)
{
    HLF_NEED_GL();
    writeParts("MrKalv\\sq.khlf\r\nMrKalv\\red.jpg\r\nMrKalv\\move.ahlf\r\n"
               "MrKalv\\sq.khlf\r\nMrKalv\\green.jpg\r\n?"); // no line end after the last group
    auto obj = std::make_unique<COHLFObj>();
    testing::internal::CaptureStderr();
    obj->Load(".\\MrKalv\\MrKalv.ohlf");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(obj->numparts, 2);
    EXPECT_EQ(obj->fps, 25);
    EXPECT_EQ(obj->anim[0].numkeys, 2);
    EXPECT_EQ(obj->anim[1].numkeys, 0);

    hlftest::Target target(64);
    glEnable(GL_TEXTURE_2D);
    glTranslatef(0, -0.4f, 0);
    float before[16], after[16];
    GLint depthBefore = 0, depthAfter = 0;
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    bass.animStart = 81.0f;
    bass.seconds = 81.4f; // frame 10
    obj->Render();
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    glDisable(GL_TEXTURE_2D);

    for (int e = 0; e < 16; ++e)
        EXPECT_EQ(after[e], before[e]) << e;
    EXPECT_EQ(depthAfter, depthBefore);
    EXPECT_TRUE(near(target.At(0.5f, -0.4f), 255, 0, 0)); // the animated part, moved right
    EXPECT_TRUE(near(target.At(0.0f, -0.4f), 0, 255, 0)); // the part without a track
    EXPECT_TRUE(near(target.At(0.0f, 0.4f), 0, 0, 0));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Character, CutShortGroupsAndMissingFiles)
{
    HLF_NEED_GL();
    writeParts(
        "MrKalv\\sq.khlf\nMrKalv\\red.jpg\nMrKalv\\nothere.ahlf\nMrKalv\\sq.khlf\nMrKalv\\green.jpg\n");
    auto obj = std::make_unique<COHLFObj>();
    testing::internal::CaptureStderr();
    obj->Load("MrKalv/MrKalv.ohlf");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(obj->numparts, 1);
    EXPECT_NE(err.find("COHLFObj: \"MrKalv/MrKalv.ohlf\": part 2 (from line 4) is cut short"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("CAHLFObj: \"MrKalv/nothere.ahlf\": cannot open"), std::string::npos) << err;
    EXPECT_EQ(obj->anim[0].numkeys, 0);

    auto none = std::make_unique<COHLFObj>();
    testing::internal::CaptureStderr();
    none->Load("MrKalv\\none.ohlf");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("MrKalv/none.ohlf"), std::string::npos);
    EXPECT_EQ(none->numparts, 0);
    none->Render(); // draws nothing, and must not touch a part
}
