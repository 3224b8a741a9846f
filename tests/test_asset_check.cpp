// vqdemo --check: one line per file with what it holds or its fault, and the exit status.
#include "app/AssetCheck.h"
#include "app/DataFiles.h"
#include "formats/HlfParse.h"

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
    expectLine("music.mp3", "6 bytes", "ok");
    expectLine("gone.khlf", "KHLF", "FAULT: missing");
    // The part files sit indented under their object, and each file is listed once.
    EXPECT_EQ(lineOf(table, "Kar/arm.khlf").rfind("  Kar/arm.khlf", 0), 0u);
    EXPECT_EQ(table.find("Kar/arm.khlf"), table.rfind("Kar/arm.khlf"));
    EXPECT_NE(table.find("17 files checked, 6 with faults."), std::string::npos) << table;

    // Aligned: every row's status column starts where the header's does.
    const std::size_t column = lineOf(table, "File").find("Status");
    EXPECT_EQ(lineOf(table, "music.mp3").find("ok"), column) << table;
    EXPECT_EQ(lineOf(table, "gone.khlf").find("FAULT"), column) << table;

    std::string clean;
    EXPECT_EQ(CheckAssets({"good.khlf", "cam.chlf", "Kar/arm.ahlf", "pic.bmp"}, clean), 0) << clean;
    EXPECT_NE(clean.find("4 files checked, all sound."), std::string::npos) << clean;
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
