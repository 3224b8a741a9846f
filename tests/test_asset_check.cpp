// vqdemo --check: one line per file with what it holds or its fault, and the exit status.
#include "app/AssetCheck.h"
#include "app/DataFiles.h"
#include "app/platform/Clock.h"
#include "app/platform/GLWindow.h"
#include "formats/HlfParse.h"
#include "support/ShaderContext.h"
#include "support/TestAudio.h"

#include "Image.h" // tools/common: the generators' image writers

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

using namespace hlf;

namespace
{
class AssetCheck : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(getcwd(oldDir, sizeof oldDir), nullptr);
        ASSERT_NE(mkdtemp(dir), nullptr);
        ASSERT_EQ(chdir(dir), 0);
        ASSERT_EQ(mkdir("Kar", 0755), 0);
    }
    void TearDown() override
    {
        for (const std::string& f : written)
            std::remove(f.c_str());
        rmdir("Kar");
        EXPECT_EQ(chdir(oldDir), 0);
        rmdir(dir);
    }
    void bytes(const std::string& name, const std::vector<std::uint8_t>& b)
    {
        std::string error;
        ASSERT_TRUE(WriteFileBytes(name, b, error)) << error;
        written.push_back(name);
    }
    void text(const std::string& name, const std::string& t)
    {
        bytes(name, std::vector<std::uint8_t>(t.begin(), t.end()));
    }
    void image(const std::string& name, bool jpeg)
    {
        vqtools::Image img(8, 4);
        std::string error;
        ASSERT_TRUE(jpeg ? vqtools::WriteJpeg(name, img, 90, error) : vqtools::WriteBmp(name, img, error))
            << error;
        written.push_back(name);
    }
    // The table line of a file (its name in the first column), or "" when there is none.
    static std::string lineOf(const std::string& table, const std::string& name)
    {
        std::istringstream in(table);
        std::string line;
        while (std::getline(in, line))
        {
            const auto start = line.find_first_not_of(' ');
            if (start != std::string::npos && line.compare(start, name.size() + 1, name + " ") == 0)
                return line;
        }
        return "";
    }

    std::vector<std::string> written;
    char oldDir[4096] = {};
    char dir[32] = "/tmp/vq_check_XXXXXX";
};

AssetCheckOptions compiling()
{
    AssetCheckOptions o;
    o.buildShaders = [](const std::string& v, const std::string& f)
    { return BuildShaderProgram(v.c_str(), f.c_str()); };
    return o;
}

KhlfModel triangle(std::int16_t last)
{
    KhlfModel m;
    m.vertices.resize(3);
    KhlfFace f;
    f.index[0] = 0, f.index[1] = 1, f.index[2] = last;
    m.faces = {f};
    return m;
}
} // namespace

TEST_F(AssetCheck, EveryFormatIsReadAndEveryFaultNamed)
{
    bytes("good.khlf", WriteKHLF(triangle(2)));
    bytes("bad.khlf", WriteKHLF(triangle(3)));
    AhlfKey k0, k1;
    k0.time = 0, k1.time = 48;
    bytes("Kar/arm.ahlf", WriteAHLF({k0, k1}));
    bytes("Kar/arm.khlf", WriteKHLF(triangle(1)));
    image("Kar/arm.jpg", true);
    text("Kar/Kar.ohlf",
         "Kar\\arm.khlf\r\nKar\\arm.jpg\r\nKar\\arm.ahlf\r\nKar\\arm.khlf\r\nKar\\leg.jpg\r\n?\r\n");
    ChlfNode n0{}, n1{};
    n0.time = 250, n1.time = 9000;
    n0.center = n1.center = svect3f(0, 0, -1);
    n0.up = n1.up = svect3f(0, 1, 0);
    bytes("cam.chlf", WriteCHLF({n0, n1}));
    bytes("land.ihlf", std::vector<std::uint8_t>(320));
    bytes("odd.ihlf", std::vector<std::uint8_t>(100));
    image("pic.bmp", false);
    image("pic.jpg", true);
    text("broken.jpg", "not a picture");
    text("VQ_SHADER_X.vert", "void main() {}\n");
    text("VQ_SHADER_X.frag", "");
    text("music.mp3", "ID3...");

    std::string table;
    const int status = CheckAssets({"good.khlf", "bad.khlf", ".\\Kar\\Kar.ohlf", "cam.chlf", "land.ihlf",
                                    "odd.ihlf", "pic.bmp", "pic.jpg", "broken.jpg", "VQ_SHADER_X.vert",
                                    "VQ_SHADER_X.frag", "music.mp3", "gone.khlf"},
                                   table);
    EXPECT_EQ(status, 1);
    auto expectLine = [&](const std::string& name, const std::string& holds, const std::string& status_)
    {
        const std::string line = lineOf(table, name);
        EXPECT_NE(line.find(holds), std::string::npos) << name << ": " << line << "\n" << table;
        EXPECT_NE(line.find(status_), std::string::npos) << name << ": " << line << "\n" << table;
    };
    expectLine("good.khlf", "3 vertices, 1 face (0 quads)", "ok");
    expectLine("bad.khlf", "0 faces", "FAULT: 1 face(s) with a vertex index outside 0..2 dropped");
    expectLine("./Kar/Kar.ohlf", "2 parts", "ok");
    expectLine("Kar/arm.khlf", "3 vertices", "ok");
    expectLine("Kar/arm.jpg", "8 x 4", "ok");
    expectLine("Kar/arm.ahlf", "2 keys, frames 0..48", "ok");
    expectLine("Kar/leg.jpg", "JPEG", "FAULT: missing");
    expectLine("cam.chlf", "2 nodes, 250..9000 ms", "ok");
    expectLine("land.ihlf", "2 quads", "ok");
    expectLine("odd.ihlf", "0 quads", "FAULT: size 100 bytes is not a multiple of the 160-byte quad");
    expectLine("pic.bmp", "8 x 4, 24 bits", "ok");
    expectLine("pic.jpg", "8 x 4", "ok");
    expectLine("broken.jpg", "JPEG", "FAULT");
    expectLine("VQ_SHADER_X.vert", "15 bytes", "ok");
    expectLine("VQ_SHADER_X.frag", "0 bytes", "FAULT: empty file");
    expectLine("music.mp3", "music", "FAULT: ");
    expectLine("gone.khlf", "KHLF", "FAULT: missing");
    // The part files sit indented under their object, and each file is listed once.
    EXPECT_EQ(lineOf(table, "Kar/arm.khlf").rfind("  Kar/arm.khlf", 0), 0u);
    EXPECT_EQ(table.find("Kar/arm.khlf"), table.rfind("Kar/arm.khlf"));
    EXPECT_NE(table.find("17 files checked, 7 with faults."), std::string::npos) << table;

    // Aligned: every row's status column starts where the header's does.
    const std::size_t column = lineOf(table, "File").find("Status");
    EXPECT_EQ(lineOf(table, "good.khlf").find("ok"), column) << table;
    EXPECT_EQ(lineOf(table, "music.mp3").find("FAULT"), column) << table;
    EXPECT_EQ(lineOf(table, "gone.khlf").find("FAULT"), column) << table;

    std::string clean;
    EXPECT_EQ(CheckAssets({"good.khlf", "cam.chlf", "Kar/arm.ahlf", "pic.bmp"}, clean), 0) << clean;
    EXPECT_NE(clean.find("4 files checked, all sound."), std::string::npos) << clean;
}

TEST_F(AssetCheck, ShaderPairsAreCompiledAndLinkedAndEachFaultToldOnce)
{
    std::string why;
    if (!ShaderContext(why))
        GTEST_SKIP() << "no GL context: " << why;
    const std::string vert =
        "#version 120\nvarying vec3 shade;\nvoid main() { shade = vec3(1.0); gl_Position = "
        "ftransform(); }\n";
    text("Good.vert", vert);
    text("Good.frag",
         "#version 120\nvarying vec3 shade;\nvoid main() { gl_FragColor = vec4(shade, 1.0); }\n");
    text("Broken.vert", vert);
    text("Broken.frag", "#version 120\nvoid main() { gl_FragColor = nonsense; }\n");
    text("Mismatch.vert", vert);
    text("Mismatch.frag", "#version 120\nvarying vec4 shade;\nvoid main() { gl_FragColor = shade; }\n");
    text("Empty.vert", vert);
    text("Empty.frag", "");
    text("Bom.vert", "\xEF\xBB\xBF" + vert);
    text("Bom.frag", "#version 120\nvarying vec3 shade;\nvoid main() { gl_FragColor = vec4(shade, 1.0); }\n");
    {
        std::vector<std::uint8_t> b(vert.begin(), vert.end());
        b[20] = 0;
        bytes("Nul.vert", b);
    }
    text("Nul.frag", "#version 120\nvoid main() { gl_FragColor = vec4(1.0); }\n");

    std::vector<std::string> files;
    for (const char* stem : {"Good", "Broken", "Mismatch", "Empty", "Bom", "Nul"})
        for (const char* ext : {".vert", ".frag"})
            files.push_back(std::string(stem) + ext);
    std::string table;
    EXPECT_EQ(CheckAssets(files, table, compiling()), 1);
    auto status = [&](const std::string& name)
    { return lineOf(table, name).substr(lineOf(table, "File").find("Status")); };
    EXPECT_EQ(status("Good.vert"), "ok") << table;
    EXPECT_EQ(status("Good.frag"), "ok") << table;
    EXPECT_EQ(status("Broken.vert"), "ok") << table;
    EXPECT_NE(status("Broken.frag").find("FAULT: does not compile: 0:2("), std::string::npos) << table;
    EXPECT_NE(status("Broken.frag").find("nonsense"), std::string::npos) << table;
    EXPECT_EQ(status("Mismatch.vert"), "ok") << table;
    EXPECT_NE(status("Mismatch.frag").find("FAULT: does not link with Mismatch.vert: "), std::string::npos)
        << table;
    EXPECT_EQ(status("Empty.frag"), "FAULT: empty file: no shader source") << table;
    EXPECT_EQ(status("Bom.vert"), "FAULT: starts with a UTF-8 byte-order mark, which is left out") << table;
    EXPECT_EQ(status("Bom.frag"), "ok") << "the pair builds once the mark is left out\n" << table;
    EXPECT_NE(status("Nul.vert").find("FAULT: holds a NUL byte at byte 20 (line 2)"), std::string::npos)
        << table;
    EXPECT_NE(table.find("12 files checked, 5 with faults."), std::string::npos) << table;
    // The empty source is told once: not again as a compile or link failure of its pair.
    std::size_t mentions = 0;
    for (std::size_t at = table.find("Empty.frag"); at != std::string::npos;
         at = table.find("Empty.frag", at + 1))
        ++mentions;
    EXPECT_EQ(mentions, 1u) << table;

    // Without a context the sources are still read; with a missing one the pairs carry the fault.
    std::string plain;
    EXPECT_EQ(CheckAssets({"Good.vert", "Good.frag"}, plain), 0) << plain;
    AssetCheckOptions none;
    none.noContext = "no OpenGL context to compile in (no display)";
    EXPECT_EQ(CheckAssets({"Good.vert", "Good.frag"}, plain, none), 1);
    EXPECT_NE(lineOf(plain, "Good.vert").find("FAULT: not compiled: no OpenGL context"), std::string::npos)
        << plain;
}

TEST_F(AssetCheck, TheMusicIsDecodedWholeAndMustBeThePiecesTrack)
{
    ASSERT_TRUE(EncodeMp3ForTest("short.mp3", SineStereo(440, 0.3, 3.0)));
    written.push_back("short.mp3");
    ASSERT_TRUE(EncodeMp3ForTest("mono.mp3", std::vector<std::int16_t>(44100, 1000), 64, 44100, 1));
    written.push_back("mono.mp3");
    ASSERT_TRUE(EncodeMp3ForTest("fast.mp3", std::vector<std::int16_t>(2 * 48000, 1000), 128, 48000, 2));
    written.push_back("fast.mp3");
    text("three.mp3", "ID3");
    std::vector<std::uint8_t> noise(200000);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 11);
    bytes("noise.mp3", noise);
    // A WAV file under the music's name.
    std::vector<std::uint8_t> wav = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    wav.resize(100000, 0x11);
    bytes("renamed.mp3", wav);

    std::string table;
    EXPECT_EQ(
        CheckAssets({"short.mp3", "mono.mp3", "fast.mp3", "three.mp3", "noise.mp3", "renamed.mp3"}, table),
        1);
    EXPECT_NE(
        lineOf(table, "short.mp3").find("44100 Hz, stereo  FAULT: lasts 3.1 s, but the piece runs to 126 s"),
        std::string::npos)
        << table;
    EXPECT_NE(lineOf(table, "mono.mp3").find("has 1 channel, not stereo"), std::string::npos) << table;
    EXPECT_NE(lineOf(table, "fast.mp3").find("is sampled at 48000 Hz, not the 44100 Hz of the piece"),
              std::string::npos)
        << table;
    for (const char* f : {"three.mp3", "noise.mp3", "renamed.mp3"})
        EXPECT_NE(lineOf(table, f).find("FAULT: "), std::string::npos) << f << "\n" << table;
    EXPECT_NE(table.find("6 files checked, 6 with faults."), std::string::npos) << table;
}

TEST_F(AssetCheck, CubeMapFacesAreSquareAndOfOneSize)
{
    const char* faces[6] = {"pos_x.bmp", "neg_x.bmp", "pos_y.bmp", "neg_y.bmp", "pos_z.bmp", "neg_z.bmp"};
    std::string error;
    for (int i = 0; i < 6; ++i)
    {
        ASSERT_TRUE(
            vqtools::WriteBmp(faces[i], vqtools::Image(i == 2 ? 8 : 16, i == 2 || i == 4 ? 8 : 16), error))
            << error;
        written.push_back(faces[i]);
    }
    ASSERT_TRUE(vqtools::WriteBmp("water_d2.bmp", vqtools::Image(16, 8), error)) << error;
    written.push_back("water_d2.bmp");
    std::vector<std::string> files(faces, faces + 6);
    files.push_back("water_d2.bmp");
    std::string table;
    EXPECT_EQ(CheckAssets(files, table), 1);
    EXPECT_NE(lineOf(table, "pos_y.bmp")
                  .find("FAULT: is 8 x 8 pixels, but the other faces of its cube map are 16 x 16"),
              std::string::npos)
        << table;
    EXPECT_NE(lineOf(table, "pos_z.bmp").find("FAULT: is 16 x 8 pixels; a cube map face must be square"),
              std::string::npos)
        << table;
    EXPECT_NE(lineOf(table, "water_d2.bmp").find("must be square"), std::string::npos) << table;
    EXPECT_NE(table.find("7 files checked, 3 with faults."), std::string::npos) << table;
}

TEST_F(AssetCheck, EveryRowKeepsItsLineEndAndNamesWhatIsNoFile)
{
    // A name far longer than any buffer a row was once formatted in.
    const std::string deep =
        std::string(200, 'a') + "/" + std::string(200, 'b') + "/" + std::string(200, 'c') + ".khlf";
    ASSERT_EQ(mkfifo("pipe.khlf", 0644), 0);
    written.push_back("pipe.khlf");
    std::string table;
    EXPECT_EQ(CheckAssets({deep, "pipe.khlf", "Kar"}, table), 1);
    const std::string row = lineOf(table, deep);
    EXPECT_NE(row.find("FAULT: missing"), std::string::npos) << table;
    EXPECT_NE(table.find(row + "\n"), std::string::npos);
    EXPECT_NE(lineOf(table, "pipe.khlf").find("FAULT: is not a regular file"), std::string::npos) << table;
    EXPECT_NE(lineOf(table, "Kar").find("FAULT: missing: a folder has its name"), std::string::npos) << table;
    // Every row, however long, ends its line: one row per line.
    std::istringstream in(table);
    std::string line;
    int rows = 0;
    while (std::getline(in, line))
        rows += line.find("FAULT") != std::string::npos ? 1 : 0;
    EXPECT_EQ(rows, 3) << table;
}

TEST(AssetCheckBinary, TheGeneratedDataFolderIsSound)
{
    const char* binary = std::getenv("VQ_BINARY");
    const char* data = std::getenv("VQ_DATA_DIR");
    if (!binary || !data || access(binary, X_OK) != 0)
        GTEST_SKIP() << "VQ_BINARY or VQ_DATA_DIR not set (run through ctest)";
    const auto missing = MissingDataFiles(data);
    if (!missing.empty())
        GTEST_SKIP() << "the data folder lacks " << missing.size() << " file(s), e.g. " << missing[0]
                     << " (build the asset targets first)";
    const std::string command = std::string("\"") + binary + "\" --check --data \"" + data + "\" 2>&1";
    FILE* p = popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int status = pclose(p);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << out;
    for (const std::string& f : RequiredDataFiles())
        EXPECT_NE(out.find(MapBackslashes(f) + " "), std::string::npos) << f << "\n" << out;
    EXPECT_NE(out.find("all sound."), std::string::npos) << out;
}
