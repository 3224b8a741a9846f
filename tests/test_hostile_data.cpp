// The piece against damaged data, as a hostile user would hand it: copies of the generated data
// folder, each with files broken the ways files break (noise, truncation, NaN, wrong headers,
// wrong sizes, the wrong kind of file under the right name). The asset check must name every
// damaged file and fault, and only those; the loaders must refuse or repair what they are given
// and say so, and the picture drawn from repaired data must still be the piece's.
#include "app/AssetCheck.h"
#include "app/DataFiles.h"
#include "app/PngFile.h"
#include "app/platform/Clock.h"
#include "app/platform/GLWindow.h"
#include "audio/PcmTrack.h"
#include "formats/HlfFormats.h"
#include "support/RunProgram.h"
#include "support/ShaderContext.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<std::uint8_t>;

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

Bytes readBytes(const std::string& path)
{
    Bytes b;
    std::string error;
    hlf::ReadFileBytes(path, b, error);
    return b;
}

void putF32(Bytes& b, std::size_t at, float v)
{
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(u >> (8 * i));
}

void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t get32(const Bytes& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

Bytes noise(std::size_t n, std::uint32_t seed)
{
    Bytes b(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::uint8_t& v : b)
    {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        v = static_cast<std::uint8_t>(x);
    }
    return b;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A bitmap as ImageMagick writes it by default: a 124-byte information header, pixels at 138.
Bytes withV5Header(const Bytes& bmp)
{
    const std::uint32_t offset = get32(bmp, 10);
    Bytes out(14 + 124 + (bmp.size() - offset), 0);
    std::copy(bmp.begin(), bmp.begin() + 54, out.begin());
    std::copy(bmp.begin() + offset, bmp.end(), out.begin() + 14 + 124);
    put32(out, 2, static_cast<std::uint32_t>(out.size()));
    put32(out, 10, 14 + 124);
    put32(out, 14, 124);
    return out;
}

// A 24-bit bitmap of w x h grey pixels.
Bytes greyBitmap(int w, int h)
{
    Bytes b(54 + static_cast<std::size_t>(w) * h * 3, 128);
    std::fill(b.begin(), b.begin() + 54, 0);
    b[0] = 'B', b[1] = 'M';
    put32(b, 2, static_cast<std::uint32_t>(b.size()));
    put32(b, 10, 54);
    put32(b, 14, 40);
    put32(b, 18, static_cast<std::uint32_t>(w));
    put32(b, 22, static_cast<std::uint32_t>(h));
    b[26] = 1;
    b[28] = 24;
    return b;
}

// One damaged file: how it is broken and what its row must say.
struct Damage
{
    std::string file;
    std::string how;
    std::function<void(const std::string& path, const Bytes& original)> apply;
    std::string says;        // part of the file's fault
    std::string group = "";  // damages of one group (a shader pair, a cube map) go to separate runs
    bool stillSound = false; // the file is only written differently: its row must stay "ok"
};

void write(const std::string& path, const Bytes& b)
{
    std::string error;
    std::remove(path.c_str());
    ASSERT_TRUE(hlf::WriteFileBytes(path, b, error)) << error;
}

// Rewrites floats of a file: every record of `stride` bytes from `first` (at most `count`), the
// float at `offset` in it.
std::function<void(const std::string&, const Bytes&)>
floats(std::size_t first, std::size_t stride, std::size_t count, std::size_t offset, float value)
{
    return [=](const std::string& path, const Bytes& original)
    {
        Bytes b = original;
        for (std::size_t i = 0; i < count && first + i * stride + offset + 4 <= b.size(); ++i)
            putF32(b, first + i * stride + offset, value);
        write(path, b);
    };
}

std::function<void(const std::string&, const Bytes&)> replaceWith(Bytes content)
{
    return [content](const std::string& path, const Bytes&) { write(path, content); };
}

// The catalogue of damage. The record layouts: KHLF vertices of 32 bytes from byte 8; CHLF nodes
// of 44 bytes from byte 8 (eye @4, centre @16, up @28, fade @40); IHLF quads of 160 bytes.
std::vector<Damage> catalogue()
{
    const float nan = std::nanf(""), inf = INFINITY;
    std::vector<Damage> d;
    const std::string music = kMusicFile;
    d.push_back({music, "noise of the track's size",
                 [](const std::string& p, const Bytes& o) { write(p, noise(o.size(), 1)); }, "MP3"});
    d.push_back({music, "three bytes",
                 [](const std::string& p, const Bytes& o) { write(p, Bytes(o.begin(), o.begin() + 3)); },
                 "no decodable MP3 audio"});
    d.push_back({music, "cut to a third",
                 [](const std::string& p, const Bytes& o)
                 { write(p, Bytes(o.begin(), o.begin() + static_cast<long>(o.size() / 3))); },
                 "lasts 4"});
    d.push_back({music, "a WAV file renamed",
                 [](const std::string& p, const Bytes& o)
                 {
                     PcmTrack t;
                     std::string error;
                     write(p + ".orig.mp3", o);
                     ASSERT_TRUE(DecodeMp3(p + ".orig.mp3", t, error)) << error;
                     std::remove((p + ".orig.mp3").c_str());
                     std::remove(p.c_str());
                     ASSERT_TRUE(WriteWav(p, t, 0, 44100 * 5, error)) << error;
                 },
                 "MP3"});
    d.push_back({music, "a FIFO",
                 [](const std::string& p, const Bytes&)
                 {
                     std::remove(p.c_str());
                     ASSERT_EQ(mkfifo(p.c_str(), 0644), 0);
                 },
                 "is not a regular file"});

    d.push_back({"oy_notfinal2.ihlf", "random bytes of the right size",
                 [](const std::string& p, const Bytes& o) { write(p, noise(o.size(), 2)); },
                 "not an island"});
    d.push_back({"oy_notfinal2.ihlf", "64 MB",
                 [](const std::string& p, const Bytes&)
                 {
                     write(p, {});
                     ASSERT_EQ(truncate(p.c_str(), 160 * 420000), 0);
                 },
                 "more than the 32768 quads"});
    d.push_back({"oy_notfinal2.ihlf", "NaN positions in a few quads", floats(160 * 100, 160, 5, 4, nan),
                 "5 of 5631 quads"});
    d.push_back(
        {"oy_notfinal2.ihlf", "every position infinite", floats(0, 40, 100000, 0, inf), "not an island"});

    d.push_back({"slott_final4.khlf", "every vertex NaN",
                 [](const std::string& p, const Bytes& o)
                 {
                     Bytes b = o;
                     const std::uint32_t v = get32(b, 0);
                     for (std::size_t i = 0; i < v * 8; ++i)
                         putF32(b, 8 + 4 * i, std::nanf(""));
                     write(p, b);
                 },
                 "are not finite numbers"});
    d.push_back(
        {"dansehule_final.khlf", "NaN normals", floats(8, 32, 100000, 12, nan), "rebuilt from the faces"});
    d.push_back({"kro_logo2.khlf", "3 GB",
                 [](const std::string& p, const Bytes& o)
                 {
                     write(p, o);
                     ASSERT_EQ(truncate(p.c_str(), off_t(3) << 30), 0);
                 },
                 "it is not read"});
    d.push_back({"MrKalv/head.ahlf", "a NaN in a key's matrix", floats(68 * 10, 68, 1, 4 + 4 * 5, nan),
                 "matrix[5] = nan"});
    d.push_back({"MrKalv/MrKalv.ohlf", "a NUL in a name",
                 [](const std::string& p, const Bytes& o)
                 {
                     Bytes b = o;
                     b[3] = 0;
                     write(p, b);
                 },
                 "control byte 0x00"});

    const std::string cam = "vq_accumcam.chlf";
    d.push_back({cam, "NaN eye in every node", floats(8, 44, 100000, 4, nan), "eye.x = nan"});
    d.push_back({cam, "an infinite centre", floats(8 + 44 * 100, 44, 3, 20, -inf), "centre.y = -inf"});
    d.push_back({cam, "eye on the centre",
                 [](const std::string& p, const Bytes& o)
                 {
                     Bytes b = o;
                     std::copy(b.begin() + 8 + 44 * 50 + 4, b.begin() + 8 + 44 * 50 + 16,
                               b.begin() + 8 + 44 * 50 + 16);
                     write(p, b);
                 },
                 "the eye sits on the centre"});
    d.push_back({cam, "zero up vectors",
                 [](const std::string& p, const Bytes& o)
                 {
                     Bytes b = o;
                     for (std::size_t i = 0; i < 3; ++i)
                         putF32(b, 8 + 44 * 60 + 28 + 4 * i, 0.0f);
                     write(p, b);
                 },
                 "the up vector is zero"});
    d.push_back({cam, "up along the line of sight",
                 [](const std::string& p, const Bytes& o)
                 {
                     Bytes b = o;
                     const std::size_t n = 8 + 44 * 70;
                     for (std::size_t i = 0; i < 3; ++i)
                     {
                         float e, c;
                         std::memcpy(&e, &b[n + 4 + 4 * i], 4);
                         std::memcpy(&c, &b[n + 16 + 4 * i], 4);
                         putF32(b, n + 28 + 4 * i, c - e);
                     }
                     write(p, b);
                 },
                 "points along the line of sight"});
    d.push_back({cam, "NaN fades", floats(8, 44, 100000, 40, nan), "fade = nan"});
    d.push_back({cam, "negative fades", floats(8, 44, 100000, 40, -1.0f), "fade = -1): each is held"});

    d.push_back({"VQ_SHADER_Terrain.frag", "a syntax error",
                 replaceWith(text("#version 120\nvoid main() { gl_FragColor = ; }\n")), "does not compile"});
    d.push_back(
        {"VQ_SHADER_Fade.frag", "a varying of another type than its vertex shader's",
         [](const std::string& p, const Bytes&)
         {
             write(p, text("#version 120\nvarying vec4 shade;\nvoid main() { gl_FragColor = shade; }\n"));
             const std::string vert = p.substr(0, p.size() - 5) + ".vert";
             write(vert, text("#version 120\nvarying vec3 shade;\nvoid main() { shade = vec3(1.0); "
                              "gl_Position = ftransform(); }\n"));
         },
         "does not link with VQ_SHADER_Fade.vert", "Fade"});
    d.push_back({"VQ_SHADER_Blur.frag", "a byte-order mark",
                 [](const std::string& p, const Bytes& o)
                 {
                     Bytes b(o.size() + 3, 0xEF);
                     b[1] = 0xBB;
                     b[2] = 0xBF;
                     std::copy(o.begin(), o.end(), b.begin() + 3);
                     write(p, b);
                 },
                 "byte-order mark"});
    d.push_back({"VQ_SHADER_Logo.vert", "a NUL",
                 [](const std::string& p, const Bytes& o)
                 {
                     Bytes b = o;
                     b[b.size() / 2] = 0;
                     write(p, b);
                 },
                 "holds a NUL byte"});
    d.push_back({"VQ_SHADER_Additiv.frag", "nothing in it", replaceWith({}), "empty file"});

    d.push_back({"fjell3.bmp", "a 124-byte header, as ImageMagick writes",
                 [](const std::string& p, const Bytes& o) { write(p, withV5Header(o)); }, "", "", true});
    d.push_back({"grus_01_r.bmp", "a compression flag",
                 [](const std::string& p, const Bytes& o)
                 {
                     Bytes b = o;
                     put32(b, 30, 1);
                     write(p, b);
                 },
                 "compressed (RLE8"});
    d.push_back({"tre_01_r.bmp", "cut short",
                 [](const std::string& p, const Bytes& o)
                 { write(p, Bytes(o.begin(), o.begin() + static_cast<long>(o.size() / 2))); },
                 "truncated"});
    d.push_back({"pos_x.bmp", "not square", replaceWith(greyBitmap(256, 128)), "must be square", "sky"});
    d.push_back({"neg_y.bmp", "smaller than the other faces", replaceWith(greyBitmap(128, 128)),
                 "the other faces of its cube map are 256 x 256", "sky"});
    d.push_back({"water_d2.bmp", "not square", replaceWith(greyBitmap(512, 256)), "must be square"});
    d.push_back({"slott_tekstur.jpg", "cut short",
                 [](const std::string& p, const Bytes& o)
                 { write(p, Bytes(o.begin(), o.begin() + static_cast<long>(o.size() / 3))); },
                 "JPEG"});
    if (geteuid() != 0) // root reads whatever the permissions say
        d.push_back({"VQ_SHADER_Vann.vert", "no read permission",
                     [](const std::string& p, const Bytes&) { ASSERT_EQ(chmod(p.c_str(), 0), 0); },
                     "Permission denied"});
    return d;
}

class HostileData : public testing::Test
{
protected:
    void SetUp() override
    {
        data = env("VQ_DATA_DIR");
        if (data.empty())
            GTEST_SKIP() << "VQ_DATA_DIR not set (run through ctest)";
        if (!MissingDataFiles(data).empty())
            GTEST_SKIP() << "the data folder is incomplete (build the asset targets first)";
        char tmpl[] = "/tmp/vq_hostile_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        ASSERT_EQ(std::system(("cp -r '" + data + "/.' '" + dir + "'").c_str()), 0);
        ASSERT_NE(getcwd(oldDir, sizeof oldDir), nullptr);
    }
    void TearDown() override
    {
        if (dir.empty())
            return;
        EXPECT_EQ(chdir(oldDir), 0);
        std::system(("chmod -R u+rw '" + dir + "'; rm -rf '" + dir + "'").c_str());
    }

    // The table of the asset check run in the damaged folder, in process.
    std::string check(const AssetCheckOptions& options, int& status)
    {
        EXPECT_EQ(chdir(dir.c_str()), 0);
        std::string table;
        status = CheckAssets(RequiredDataFiles(), table, options);
        EXPECT_EQ(chdir(oldDir), 0);
        return table;
    }

    static std::string rowOf(const std::string& table, const std::string& file)
    {
        std::istringstream in(table);
        std::string line;
        while (std::getline(in, line))
        {
            const auto start = line.find_first_not_of(' ');
            if (start != std::string::npos && line.compare(start, file.size() + 1, file + " ") == 0)
                return line;
        }
        return "";
    }

    void restore(const std::string& file)
    {
        const std::string path = dir + "/" + file;
        chmod(path.c_str(), 0644);
        std::remove(path.c_str());
        write(path, readBytes(data + "/" + file));
    }

    std::string data, dir;
    char oldDir[4096] = {};
};
} // namespace

TEST_F(HostileData, TheCheckNamesEveryDamagedFileAndFaultAndNothingElse)
{
    std::string why;
    if (!ShaderContext(why))
        GTEST_SKIP() << "no GL context for the shaders: " << why;
    AssetCheckOptions options;
    options.buildShaders = [](const std::string& v, const std::string& f)
    { return BuildShaderProgram(v.c_str(), f.c_str()); };

    // Damages of different files (and groups) share a run; the rest of the folder must stay sound.
    std::vector<Damage> pending = catalogue();
    int runs = 0;
    std::size_t checked = 0;
    while (!pending.empty())
    {
        std::vector<Damage> round, later;
        std::set<std::string> taken;
        for (Damage& d : pending)
        {
            const std::string key = d.group.empty() ? d.file : d.group;
            const bool pairTaken =
                d.file.find("VQ_SHADER_") == 0 && taken.count(d.file.substr(0, d.file.size() - 5)) > 0;
            if (taken.count(d.file) || taken.count(key) || pairTaken)
                later.push_back(d);
            else
            {
                taken.insert(d.file);
                taken.insert(key);
                if (d.file.find("VQ_SHADER_") == 0)
                    taken.insert(d.file.substr(0, d.file.size() - 5));
                round.push_back(d);
            }
        }
        for (const Damage& d : round)
            d.apply(dir + "/" + d.file, readBytes(data + "/" + d.file));
        int status = 0;
        const std::string table = check(options, status);
        ++runs;
        int faults = 0;
        for (const Damage& d : round)
        {
            const std::string row = rowOf(table, d.file);
            SCOPED_TRACE(d.file + ", " + d.how + "\n" + table);
            if (d.stillSound)
            {
                EXPECT_EQ(row.substr(row.size() - 3), " ok") << row;
                continue;
            }
            ++faults;
            EXPECT_NE(row.find("FAULT: "), std::string::npos) << row;
            EXPECT_NE(row.find(d.says), std::string::npos) << row;
        }
        std::istringstream in(table);
        std::string line;
        int faultRows = 0;
        while (std::getline(in, line))
            faultRows += line.find("FAULT: ") != std::string::npos ? 1 : 0;
        EXPECT_EQ(faultRows, faults) << "only the damaged files are faulted\n" << table;
        EXPECT_EQ(status, faults > 0 ? 1 : 0);
        for (const Damage& d : round)
        {
            restore(d.file);
            if (d.group == "Fade")
                restore("VQ_SHADER_Fade.vert");
        }
        checked += round.size();
        pending = later;
    }
    EXPECT_EQ(checked, catalogue().size());
    EXPECT_LE(runs, 12);
}

TEST_F(HostileData, TheProgramsCheckExitsOneAndEveryRowEndsItsLine)
{
    const std::string binary = env("VQ_BINARY");
    if (binary.empty() || env("DISPLAY").empty())
        GTEST_SKIP() << "VQ_BINARY or DISPLAY not set (run through ctest under Xvfb)";
    write(dir + "/VQ_SHADER_Terrain.frag", text("#version 120\nvoid main() { gl_FragColor = ; }\n"));
    write(dir + "/oy_notfinal2.ihlf", noise(160 * 5631, 9));
    const ProgramResult r = RunProgram("--check --data '" + dir + "'", dir + "/check.log");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("2 with faults."), std::string::npos) << r.output;
    ASSERT_FALSE(r.output.empty());
    EXPECT_EQ(r.output.back(), '\n');
    // Each fault is one line that names its file.
    int faults = 0;
    std::istringstream in(r.output);
    for (std::string line; std::getline(in, line);)
        if (line.find("FAULT") != std::string::npos)
        {
            ++faults;
            EXPECT_TRUE(line.rfind("VQ_SHADER_Terrain.frag ", 0) == 0 ||
                        line.rfind("oy_notfinal2.ihlf ", 0) == 0)
                << line;
        }
    EXPECT_EQ(faults, 2) << r.output;
}

TEST_F(HostileData, APieceWithATrackShorterThanItselfDoesNotStart)
{
    if (env("VQ_BINARY").empty())
        GTEST_SKIP() << "VQ_BINARY not set (run through ctest)";
    const Bytes track = readBytes(data + "/" + kMusicFile);
    write(dir + "/" + kMusicFile, Bytes(track.begin(), track.begin() + static_cast<long>(track.size() / 3)));
    const ProgramResult r =
        RunProgram("--capture '" + dir + "/out' --fps 30 --frames 1 --data '" + dir + "'", dir + "/run.log");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("\"vqmusikk_best4.mp3\": lasts 4"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("needs 127 s of music"), std::string::npos) << r.output;
}

// As a user sees it: the piece captured from damaged folders.
class HostileCapture : public HostileData
{
protected:
    void SetUp() override
    {
        HostileData::SetUp();
        if (IsSkipped())
            return;
        if (env("VQ_BINARY").empty() || env("DISPLAY").empty())
            GTEST_SKIP() << "VQ_BINARY or DISPLAY not set (run through ctest under Xvfb)";
    }

    // One frame at `start` s from the folder; its output and picture.
    bool capture(const std::string& folder, double start, std::string& output, std::vector<std::uint8_t>& rgb)
    {
        const std::string out = dir + "/shot";
        std::system(("rm -rf '" + out + "'").c_str());
        const ProgramResult r = RunProgram("--capture '" + out + "' --fps 30 --frames 1 --seed 3 --start " +
                                               std::to_string(start) + " --data '" + folder + "'",
                                           dir + "/capture.log");
        output = r.output;
        EXPECT_EQ(r.status, 0) << r.output;
        int w = 0, h = 0;
        std::string error;
        const bool ok = ReadPng(out + "/frame_00000.png", w, h, rgb, error);
        EXPECT_TRUE(ok) << error;
        return ok && r.status == 0;
    }

    static double shareOfWhite(const std::vector<std::uint8_t>& rgb)
    {
        std::size_t white = 0;
        for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
            white += rgb[i] >= 250 && rgb[i + 1] >= 250 && rgb[i + 2] >= 250 ? 1 : 0;
        return static_cast<double>(white) / static_cast<double>(rgb.size() / 3);
    }
};

TEST_F(HostileCapture, RepairedOrDifferentlyWrittenFilesDrawThePiecesPicture)
{
    std::string soundOut, damagedOut;
    std::vector<std::uint8_t> sound, damaged;
    // The cave's texture, at 100 s in the dance scene.
    ASSERT_TRUE(capture(data, 100, soundOut, sound));
    write(dir + "/fjell3.bmp", withV5Header(readBytes(data + "/fjell3.bmp")));
    ASSERT_TRUE(capture(dir, 100, damagedOut, damaged));
    EXPECT_TRUE(sound == damaged) << "the 124-byte header moved the picture";
    EXPECT_EQ(damagedOut.find("fjell3.bmp"), std::string::npos) << damagedOut;

    // The cave with every normal NaN: rebuilt from its faces, it is lit as before (it was black).
    restore("fjell3.bmp");
    Bytes cave = readBytes(data + "/dansehule_final.khlf");
    for (std::uint32_t i = 0; i < get32(cave, 0); ++i)
        for (std::size_t c = 0; c < 3; ++c)
            putF32(cave, 8 + 32 * i + 12 + 4 * c, std::nanf(""));
    write(dir + "/dansehule_final.khlf", cave);
    ASSERT_TRUE(capture(dir, 100, damagedOut, damaged));
    EXPECT_NE(damagedOut.find("normal(s) are not finite numbers"), std::string::npos) << damagedOut;
    ASSERT_EQ(damaged.size(), sound.size());
    double difference = 0;
    for (std::size_t i = 0; i < sound.size(); ++i)
        difference += std::abs(static_cast<int>(sound[i]) - static_cast<int>(damaged[i]));
    EXPECT_LT(difference / static_cast<double>(sound.size()), 2.0) << "the cave looks as it did";
}

TEST_F(HostileCapture, ADamagedFlightStillShowsTheIsland)
{
    // Every node around 20 s loses its eye, and the others their fade: before, the camera looked
    // at nothing (all white) and the fade turned the picture black.
    Bytes cam = readBytes(data + "/vq_accumcam.chlf");
    const std::uint32_t n = get32(cam, 0);
    for (std::uint32_t i = 0; i < n; ++i)
    {
        std::int32_t ms;
        std::memcpy(&ms, &cam[8 + 44 * i], 4);
        if (ms > 15000 && ms < 25000 && i % 2 == 0)
            putF32(cam, 8 + 44 * i + 4, std::nanf(""));
        else if (ms > 15000 && ms < 25000)
            putF32(cam, 8 + 44 * i + 40, std::nanf(""));
    }
    write(dir + "/vq_accumcam.chlf", cam);
    std::string output;
    std::vector<std::uint8_t> rgb;
    ASSERT_TRUE(capture(dir, 20, output, rgb));
    EXPECT_NE(output.find("CCamera: \"vq_accumcam.chlf\": "), std::string::npos) << output;
    EXPECT_NE(output.find("they are dropped"), std::string::npos) << output;
    EXPECT_LT(shareOfWhite(rgb), 0.5) << "the island is in view";
    double sum = 0;
    for (std::uint8_t v : rgb)
        sum += v;
    EXPECT_GT(sum / static_cast<double>(rgb.size()), 40.0) << "not faded to black";
}

TEST_F(HostileCapture, RefusedIslandAndCubeFacesAreToldAndNothingElseGoesWrong)
{
    write(dir + "/oy_notfinal2.ihlf", noise(160 * 5631, 4));
    write(dir + "/neg_y.bmp", greyBitmap(128, 128));
    write(dir + "/PlasmaSlime.bmp", greyBitmap(512, 256));
    std::string output;
    std::vector<std::uint8_t> rgb;
    ASSERT_TRUE(capture(dir, 20, output, rgb));
    EXPECT_NE(output.find("CIHLF_Object: \"oy_notfinal2.ihlf\": 5631 of 5631 quads"), std::string::npos)
        << output;
    EXPECT_NE(output.find("not an island"), std::string::npos) << output;
    EXPECT_NE(
        output.find("landscape: sky cube face: \"neg_y.bmp\": is 128 x 128 pixels, but the other faces of "
                    "its cube map are 256 x 256; the face is left out"),
        std::string::npos)
        << output;
    EXPECT_NE(output.find(
                  "vortex: cube map face: \"PlasmaSlime.bmp\": is 512 x 256 pixels; a cube map face must be "
                  "square; the face is left out"),
              std::string::npos)
        << output;
    EXPECT_EQ(output.find("OpenGL error"), std::string::npos) << "GL refused nothing: " << output;
}
