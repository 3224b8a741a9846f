#include "app/AssetCheck.h"

#include "app/DataFiles.h"
#include "formats/HlfParse.h"
#include "resource/CTexture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
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
    std::string fault; // empty: sound
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
    if (ext == "khlf")
        return Kind::Khlf;
    if (ext == "ahlf")
        return Kind::Ahlf;
    if (ext == "ohlf")
        return Kind::Ohlf;
    if (ext == "chlf")
        return Kind::Chlf;
    if (ext == "ihlf")
        return Kind::Ihlf;
    if (ext == "bmp")
        return Kind::Bmp;
    if (ext == "jpg" || ext == "jpeg")
        return Kind::Jpeg;
    if (ext == "vert" || ext == "frag")
        return Kind::Shader;
    if (ext == "mp3")
        return Kind::Music;
    return Kind::Other;
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

// The parsers' fault lines start with the quoted file name, which the table already shows.
std::string withoutName(const std::string& fault, const std::string& file)
{
    const std::string prefix = "\"" + file + "\": ";
    return fault.compare(0, prefix.size(), prefix) == 0 ? fault.substr(prefix.size()) : fault;
}

std::string plural(long long n, const char* one, const char* many)
{
    return FormatText("%lld %s", n, n == 1 ? one : many);
}

class Checker
{
public:
    void check(const std::string& name, Kind kind, int depth)
    {
        const std::string file = hlf::MapBackslashes(name);
        if (!seen.insert(file).second)
            return;
        rows.push_back(Row{file, depth, kindName(kind), "", ""});
        const std::size_t at = rows.size() - 1;
        struct stat st;
        if (stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        {
            rows[at].fault = "missing";
            return;
        }
        const long long bytes = static_cast<long long>(st.st_size);
        std::string fault;
        std::string holds;
        switch (kind)
        {
        case Kind::Khlf:
        {
            hlf::KhlfModel m;
            hlf::LoadKHLF(file, m, fault);
            const auto quads = std::count_if(m.faces.begin(), m.faces.end(),
                                             [](const hlf::KhlfFace& f) { return f.type == 1; });
            holds = plural(static_cast<long long>(m.vertices.size()), "vertex", "vertices") + ", " +
                    plural(static_cast<long long>(m.faces.size()), "face", "faces") +
                    FormatText(" (%lld quads)", static_cast<long long>(quads));
            break;
        }
        case Kind::Ahlf:
        {
            std::vector<hlf::AhlfKey> keys;
            hlf::LoadAHLF(file, keys, fault);
            holds = plural(static_cast<long long>(keys.size()), "key", "keys");
            if (!keys.empty())
                holds += FormatText(", frames %g..%g", static_cast<double>(keys.front().time),
                                static_cast<double>(keys.back().time));
            break;
        }
        case Kind::Ohlf:
        {
            std::vector<hlf::OhlfPart> parts;
            hlf::LoadOHLF(file, parts, fault);
            rows[at].holds = plural(static_cast<long long>(parts.size()), "part", "parts");
            rows[at].fault = withoutName(fault, file);
            for (const hlf::OhlfPart& p : parts)
            {
                check(p.model, Kind::Khlf, depth + 1);
                // The character's textures are opened as JPEG whatever their names say.
                check(p.texture, Kind::Jpeg, depth + 1);
                if (p.anim != "?")
                    check(p.anim, Kind::Ahlf, depth + 1);
            }
            return;
        }
        case Kind::Chlf:
        {
            std::vector<hlf::ChlfNode> nodes;
            hlf::LoadCHLF(file, nodes, fault);
            holds = plural(static_cast<long long>(nodes.size()), "node", "nodes");
            if (!nodes.empty())
                holds += FormatText(", %d..%d ms", nodes.front().time, nodes.back().time);
            break;
        }
        case Kind::Ihlf:
            // The terrain is a bare run of 160-byte quads.
            holds = plural(bytes / 160, "quad", "quads");
            if (bytes == 0)
                fault = "empty file: no quads";
            else if (bytes % 160 != 0)
                fault = FormatText("size %lld bytes is not a multiple of the 160-byte quad", bytes);
            break;
        case Kind::Bmp:
        {
            BitmapImage img;
            if (ReadBitmap(file, img, fault) == 0)
            {
                holds = FormatText("%d x %d, %d bits", img.width, img.height, img.bpp);
                fault.clear();
            }
            else if (fault.empty())
                fault = "cannot be read";
            break;
        }
        case Kind::Jpeg:
        {
            int w = 0, h = 0;
            std::vector<std::uint8_t> rgb;
            if (ReadJpeg(file, w, h, rgb, fault))
            {
                holds = FormatText("%d x %d", w, h);
                fault.clear();
            }
            else if (fault.empty())
                fault = "cannot be decoded";
            break;
        }
        case Kind::Shader:
        case Kind::Music:
        case Kind::Other:
            holds = plural(bytes, "byte", "bytes");
            if (bytes == 0 && kind != Kind::Other)
                fault = "empty file";
            break;
        }
        rows[at].holds = holds;
        rows[at].fault = withoutName(fault, file);
    }

    std::vector<Row> rows;

private:
    std::set<std::string> seen;
};
} // namespace

int CheckAssets(const std::vector<std::string>& files, std::string& table)
{
    Checker c;
    for (const std::string& f : files)
        c.check(f, kindOf(f), 0);

    const Row head{"File", 0, "Kind", "Contents", ""};
    std::size_t wFile = head.file.size(), wKind = head.kind.size(), wHolds = head.holds.size();
    int faults = 0;
    for (const Row& r : c.rows)
    {
        wFile = std::max(wFile, r.file.size() + 2 * static_cast<std::size_t>(r.depth));
        wKind = std::max(wKind, r.kind.size());
        wHolds = std::max(wHolds, r.holds.size());
        faults += r.fault.empty() ? 0 : 1;
    }
    auto line = [&](const Row& r, const std::string& status)
    {
        const std::string name = std::string(2 * static_cast<std::size_t>(r.depth), ' ') + r.file;
        table +=
            FormatText("%-*s  %-*s  %-*s  %s\n", static_cast<int>(wFile), name.c_str(), static_cast<int>(wKind),
                   r.kind.c_str(), static_cast<int>(wHolds), r.holds.c_str(), status.c_str());
    };
    table.clear();
    line(head, "Status");
    table += std::string(wFile + wKind + wHolds + 6 + 6, '-') + "\n";
    for (const Row& r : c.rows)
        line(r, r.fault.empty() ? "ok" : "FAULT: " + r.fault);
    table += "\n";
    if (faults == 0)
        table += FormatText("%zu files checked, all sound.\n", c.rows.size());
    else
        table += FormatText("%zu files checked, %d with faults.\n", c.rows.size(), faults);
    return faults == 0 ? 0 : 1;
}

int RunAssetCheck()
{
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd))
        std::printf("Data folder: %s\n\n", cwd);
    std::string table;
    const int status = CheckAssets(RequiredDataFiles(), table);
    std::fputs(table.c_str(), stdout);
    return status;
}
