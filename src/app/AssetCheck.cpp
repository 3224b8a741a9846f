#include "app/AssetCheck.h"

#include "app/DataFiles.h"
#include "app/platform/FileAccess.h"
#include "app/platform/GLWindow.h"
#include "audio/PcmTrack.h"
#include "formats/HlfParse.h"
#include "formats/IHLF.h"
#include "resource/CTexture.h"
#include "resource/ShaderText.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <set>

namespace
{
using hlf::FormatText;

struct Row
{
    std::string file;
    int depth = 0; // part files are indented under their OHLF
    std::string kind;
    std::string holds;
    std::string fault; // empty: sound; several faults of one file are joined with "; "

    void addFault(const std::string& f)
    {
        if (f.empty())
            return;
        if (!fault.empty())
            fault += "; ";
        fault += f;
    }
};

enum class Kind
{
    Khlf,
    Ahlf,
    Ohlf,
    Chlf,
    Ihlf,
    Bmp,
    Jpeg,
    Shader,
    Music,
    Other
};

Kind kindOf(const std::string& file)
{
    const auto dot = file.rfind('.');
    std::string ext = dot == std::string::npos ? "" : file.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    static const std::map<std::string, Kind> kinds = {
        {"khlf", Kind::Khlf},   {"ahlf", Kind::Ahlf},   {"ohlf", Kind::Ohlf}, {"chlf", Kind::Chlf},
        {"ihlf", Kind::Ihlf},   {"bmp", Kind::Bmp},     {"jpg", Kind::Jpeg},  {"jpeg", Kind::Jpeg},
        {"vert", Kind::Shader}, {"frag", Kind::Shader}, {"mp3", Kind::Music}};
    const auto k = kinds.find(ext);
    return k == kinds.end() ? Kind::Other : k->second;
}

const char* kindName(Kind k)
{
    switch (k)
    {
    case Kind::Khlf:
        return "KHLF model";
    case Kind::Ahlf:
        return "AHLF track";
    case Kind::Ohlf:
        return "OHLF object";
    case Kind::Chlf:
        return "CHLF flight";
    case Kind::Ihlf:
        return "IHLF terrain";
    case Kind::Bmp:
        return "BMP image";
    case Kind::Jpeg:
        return "JPEG image";
    case Kind::Shader:
        return "shader";
    case Kind::Music:
        return "music";
    default:
        return "file";
    }
}

// The readers' fault lines start with the quoted file name, which the table already shows.
std::string withoutName(const std::string& fault, const std::string& file)
{
    const std::string prefix = "\"" + file + "\": ";
    return fault.compare(0, prefix.size(), prefix) == 0 ? fault.substr(prefix.size()) : fault;
}

std::string plural(long long n, const char* one, const char* many)
{
    return FormatText("%lld %s", n, n == 1 ? one : many);
}

bool endsWith(const std::string& s, const char* tail)
{
    const std::size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// GL's log, indented under the name of what it is about; "" when it says no more than the one
// line the table shows.
std::string indentedLog(const std::string& title, const std::string& log)
{
    if (std::count(log.begin(), log.end(), '\n') == 0)
        return "";
    std::string out = title + ":\n";
    std::size_t at = 0;
    while (at < log.size())
    {
        const std::size_t end = std::min(log.find('\n', at), log.size());
        out += "    " + log.substr(at, end - at) + "\n";
        at = end + 1;
    }
    return out;
}

// Checks each file by reading it as the piece does; the faults land in rows, GL's logs in logs.
class Checker
{
public:
    explicit Checker(const AssetCheckOptions& o) : options(o) {}

    void Check(const std::string& name, Kind kind, int depth)
    {
        const std::string file = hlf::MapBackslashes(name);
        if (!seen.insert(file).second)
            return;
        rows.push_back(Row{file, depth, kindName(kind), "", ""});
        const std::size_t at = rows.size() - 1;
        std::uint64_t bytes = 0;
        if (!isPresent(rows[at], bytes))
            return;
        switch (kind)
        {
        case Kind::Khlf:
            checkKhlf(rows[at]);
            break;
        case Kind::Ahlf:
            checkAhlf(rows[at]);
            break;
        case Kind::Ohlf:
            checkOhlf(at, depth);
            break;
        case Kind::Chlf:
            checkChlf(rows[at]);
            break;
        case Kind::Ihlf:
            checkIhlf(rows[at]);
            break;
        case Kind::Bmp:
            checkBitmap(rows[at]);
            break;
        case Kind::Jpeg:
            checkJpeg(rows[at]);
            break;
        case Kind::Shader:
            checkShaderText(rows[at], bytes);
            break;
        case Kind::Music:
            checkMusic(rows[at]);
            break;
        case Kind::Other:
            checkReadable(rows[at], bytes);
            break;
        }
    }

    // Every cube map whose face files were all checked: square faces of one size.
    void CheckCubeMaps(const std::vector<std::vector<std::string>>& cubes)
    {
        for (const std::vector<std::string>& cube : cubes)
        {
            std::vector<const BitmapImage*> faces;
            for (const std::string& f : cube)
            {
                const auto b = bitmaps.find(f);
                faces.push_back(b == bitmaps.end() ? nullptr : &b->second);
            }
            if (std::count(faces.begin(), faces.end(), nullptr) > 0)
                continue; // a face is missing or unreadable, which its own row says
            const int side = CubeMapSide(faces);
            for (std::size_t i = 0; i < cube.size(); ++i)
            {
                const std::string fault = CubeFaceFault(*faces[i], side);
                if (!fault.empty())
                    rowOf(cube[i])->addFault(fault + "; the face is left out");
            }
        }
    }

    // Every vertex shader checked with its fragment shader: compiled and linked as the piece does.
    void CheckShaderPairs()
    {
        for (const auto& [vert, usable] : shaderText)
        {
            if (!endsWith(vert, ".vert"))
                continue;
            const std::string frag = vert.substr(0, vert.size() - 5) + ".frag";
            const auto f = shaderText.find(frag);
            if (f == shaderText.end() || !usable || !f->second)
                continue; // a missing or refused source is its own row's fault, said once
            if (!options.noContext.empty())
            {
                rowOf(vert)->addFault("not compiled: " + options.noContext);
                continue;
            }
            if (options.buildShaders)
                reportBuild(vert, frag, options.buildShaders(vert, frag));
        }
    }

    std::vector<Row> rows;
    std::string logs;

private:
    Row* rowOf(const std::string& file)
    {
        for (Row& r : rows)
            if (r.file == file)
                return &r;
        return nullptr;
    }

    // Stat only tells whether there is something under the name; each reader then opens it.
    bool isPresent(Row& row, std::uint64_t& bytes)
    {
        struct stat st;
        if (stat(row.file.c_str(), &st) != 0)
        {
            row.fault =
                errno == ENOENT ? "missing" : std::string("cannot be reached (") + std::strerror(errno) + ")";
            return false;
        }
        if (S_ISDIR(st.st_mode))
        {
            row.fault = "missing: a folder has its name";
            return false;
        }
        if (!S_ISREG(st.st_mode))
        {
            row.fault = "is not a regular file (a device, FIFO or socket is never read)";
            return false;
        }
        bytes = static_cast<std::uint64_t>(st.st_size);
        return true;
    }

    void checkKhlf(Row& row)
    {
        hlf::KhlfModel m;
        std::string fault;
        hlf::LoadKHLF(row.file, m, fault);
        const auto quads =
            std::count_if(m.faces.begin(), m.faces.end(), [](const hlf::KhlfFace& f) { return f.type == 1; });
        row.holds = plural(static_cast<long long>(m.vertices.size()), "vertex", "vertices") + ", " +
                    plural(static_cast<long long>(m.faces.size()), "face", "faces") +
                    FormatText(" (%lld quads)", static_cast<long long>(quads));
        row.addFault(withoutName(fault, row.file));
    }

    void checkAhlf(Row& row)
    {
        std::vector<hlf::AhlfKey> keys;
        std::string fault;
        hlf::LoadAHLF(row.file, keys, fault);
        row.holds = plural(static_cast<long long>(keys.size()), "key", "keys");
        if (!keys.empty())
            row.holds += FormatText(", frames %g..%g", static_cast<double>(keys.front().time),
                                    static_cast<double>(keys.back().time));
        row.addFault(withoutName(fault, row.file));
    }

    // rows may grow while the parts are checked, so the object's row is held by its index.
    void checkOhlf(std::size_t at, int depth)
    {
        std::vector<hlf::OhlfPart> parts;
        std::string fault;
        hlf::LoadOHLF(rows[at].file, parts, fault);
        rows[at].holds = plural(static_cast<long long>(parts.size()), "part", "parts");
        rows[at].addFault(withoutName(fault, rows[at].file));
        for (const hlf::OhlfPart& p : parts)
        {
            Check(p.model, Kind::Khlf, depth + 1);
            // The character's textures are opened as JPEG whatever their names say.
            Check(p.texture, Kind::Jpeg, depth + 1);
            if (p.anim != "?")
                Check(p.anim, Kind::Ahlf, depth + 1);
        }
    }

    void checkChlf(Row& row)
    {
        std::vector<hlf::ChlfNode> nodes;
        std::string fault;
        hlf::LoadCHLF(row.file, nodes, fault);
        row.holds = plural(static_cast<long long>(nodes.size()), "node", "nodes");
        if (!nodes.empty())
            row.holds += FormatText(", %d..%d ms", nodes.front().time, nodes.back().time);
        row.addFault(withoutName(fault, row.file));
    }

    void checkIhlf(Row& row)
    {
        std::vector<ihlf::quad_t> quads;
        std::string fault;
        ihlf::ReadFile(row.file, quads, fault);
        row.holds = plural(static_cast<long long>(quads.size()), "quad", "quads");
        row.addFault(withoutName(fault, row.file));
    }

    void checkBitmap(Row& row)
    {
        BitmapImage img;
        std::string fault;
        if (ReadBitmap(row.file, img, fault) != 0)
        {
            row.addFault(fault.empty() ? "cannot be read" : withoutName(fault, row.file));
            return;
        }
        row.holds = FormatText("%d x %d, %d bits", img.width, img.height, img.bpp);
        img.rgb.clear(); // only the shape is kept, for the cube maps
        bitmaps[row.file] = img;
    }

    void checkJpeg(Row& row)
    {
        int w = 0, h = 0;
        std::vector<std::uint8_t> rgb;
        std::string fault;
        if (ReadJpeg(row.file, w, h, rgb, fault))
            row.holds = FormatText("%d x %d", w, h);
        else
            row.addFault(fault.empty() ? "cannot be decoded" : withoutName(fault, row.file));
    }

    void checkShaderText(Row& row, std::uint64_t bytes)
    {
        row.holds = plural(static_cast<long long>(bytes), "byte", "bytes");
        std::string text, fault;
        shaderText[row.file] = ReadShaderText(row.file, text, fault);
        row.addFault(withoutName(fault, row.file));
    }

    void reportBuild(const std::string& vert, const std::string& frag, const ShaderBuild& b)
    {
        const std::string files[2] = {vert, frag};
        for (int i = 0; i < 2; ++i)
        {
            if (b.compileFault[i].empty())
                continue;
            rowOf(files[i])->addFault(withoutName(b.compileFault[i], files[i]));
            logs += indentedLog(files[i] + " does not compile", b.compileLog[i]);
        }
        if (!b.linkFault.empty())
        {
            // A link fault is the pair's; it is told once, on the fragment shader's row.
            const std::string said = "do not link: ";
            const auto cut = b.linkFault.find(said);
            const std::string why =
                cut == std::string::npos ? b.linkFault : b.linkFault.substr(cut + said.size());
            rowOf(frag)->addFault("does not link with " + vert + ": " + why);
            logs += indentedLog(vert + " and " + frag + " do not link", b.linkLog);
        }
    }

    void checkMusic(Row& row)
    {
        PcmTrack track;
        Mp3Source source;
        std::string fault;
        if (!DecodeMp3(row.file, track, fault, &source))
        {
            row.addFault(withoutName(fault, row.file));
            return;
        }
        row.holds = FormatText("%.1f s, %ld Hz, %s", track.seconds(), source.rate,
                               source.channels == 1 ? "mono" : "stereo");
        row.addFault(MusicFault(track, source));
    }

    void checkReadable(Row& row, std::uint64_t bytes)
    {
        row.holds = plural(static_cast<long long>(bytes), "byte", "bytes");
        std::uint64_t size = 0;
        std::string fault;
        std::FILE* f = OpenDataFile(row.file, std::numeric_limits<std::uint64_t>::max(), size, fault);
        if (!f)
        {
            row.addFault(withoutName(fault, row.file));
            return;
        }
        char buf[65536];
        while (std::fread(buf, 1, sizeof buf, f) == sizeof buf)
        {
        }
        if (std::ferror(f))
            row.addFault(std::string("cannot be read (") + std::strerror(errno) + ")");
        std::fclose(f);
    }

    const AssetCheckOptions& options;
    std::set<std::string> seen;
    std::map<std::string, BitmapImage> bitmaps; // decoded bitmaps' shapes, by file
    std::map<std::string, bool> shaderText;     // shader sources, and whether GL can be given them
};

std::string formatTable(const std::vector<Row>& rows)
{
    const Row head{"File", 0, "Kind", "Contents", ""};
    std::size_t wFile = head.file.size(), wKind = head.kind.size(), wHolds = head.holds.size();
    for (const Row& r : rows)
    {
        wFile = std::max(wFile, r.file.size() + 2 * static_cast<std::size_t>(r.depth));
        wKind = std::max(wKind, r.kind.size());
        wHolds = std::max(wHolds, r.holds.size());
    }
    std::string table;
    auto line = [&](const Row& r, const std::string& status)
    {
        const std::string name = std::string(2 * static_cast<std::size_t>(r.depth), ' ') + r.file;
        table += FormatText("%-*s  %-*s  %-*s  %s\n", static_cast<int>(wFile), name.c_str(),
                            static_cast<int>(wKind), r.kind.c_str(), static_cast<int>(wHolds),
                            r.holds.c_str(), status.c_str());
    };
    line(head, "Status");
    table += std::string(wFile + wKind + wHolds + 6 + 6, '-') + "\n";
    for (const Row& r : rows)
        line(r, r.fault.empty() ? "ok" : "FAULT: " + r.fault);
    return table;
}
} // namespace

int CheckAssets(const std::vector<std::string>& files, std::string& table, const AssetCheckOptions& options)
{
    Checker c(options);
    for (const std::string& f : files)
        c.Check(f, kindOf(f), 0);
    c.CheckCubeMaps(CubeMapFiles());
    c.CheckShaderPairs();

    const auto faults =
        std::count_if(c.rows.begin(), c.rows.end(), [](const Row& r) { return !r.fault.empty(); });
    table = formatTable(c.rows);
    if (!c.logs.empty())
        table += "\nWhat GL said about the shaders that fail:\n" + c.logs;
    table += "\n";
    if (faults == 0)
        table += FormatText("%zu files checked, all sound.\n", c.rows.size());
    else
        table += FormatText("%zu files checked, %lld with faults.\n", c.rows.size(),
                            static_cast<long long>(faults));
    return faults == 0 ? 0 : 1;
}

int RunAssetCheck()
{
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd))
        std::printf("Data folder: %s\n\n", cwd);

    // The shaders are compiled and linked as the piece will, in a window nobody sees.
    AssetCheckOptions options;
    WindowOptions hidden;
    hidden.hidden = true;
    std::string why;
    if (!glWindow.Init(1024, 768, 32, hidden, why))
        options.noContext = "no OpenGL context to compile in (" + why + ")";
    else if (!CResource::ShadersAvailable())
        options.noContext = "this OpenGL has no ARB shader objects";
    else
        options.buildShaders = [](const std::string& v, const std::string& f)
        { return BuildShaderProgram(v.c_str(), f.c_str()); };

    std::string table;
    const int status = CheckAssets(RequiredDataFiles(), table, options);
    glWindow.Disable();
    std::fputs(table.c_str(), stdout);
    return status;
}
