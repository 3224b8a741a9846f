#include "app/DataFiles.h"

#include "app/platform/DataNames.h"
#include "audio/PcmTrack.h"
#include "formats/HlfParse.h"

#include <sys/stat.h>

#include <cstdio>

const std::vector<std::string>& RequiredDataFiles()
{
    using namespace datafile;
    static const std::vector<std::string> files = []
    {
        std::vector<std::string> f = {kMusic, kClosingPicture};
        for (const char* effect : kShaderEffects)
            for (const char* ending : {".vert", ".frag"})
                f.push_back(std::string("VQ_SHADER_") + effect + ending);
        for (const char* name : {kIsland, kCastle, kCameraFlight, kMountainTexture, kBarkTexture,
                                 kLeafTexture, kCastleTexture, kShrubTexture, kGravelTexture, kMaterialMap})
            f.push_back(name);
        for (const char* face : kSkyFaces)
            f.push_back(face);
        for (const char* name : {kLogoModel, kWaterCube, kSlimeCube, kLogoPicture, kCodeCard, kGraphicsCard,
                                 kCave, kCaveTexture})
            f.push_back(name);
        std::string list = hlf::MapBackslashes(kCharacterList);
        f.push_back(list.compare(0, 2, "./") == 0 ? list.substr(2) : list);
        return f;
    }();
    return files;
}

const std::vector<std::vector<std::string>>& CubeMapFiles()
{
    static const std::vector<std::vector<std::string>> cubes = {
        std::vector<std::string>(datafile::kSkyFaces, datafile::kSkyFaces + 6),
        {datafile::kWaterCube},
        {datafile::kSlimeCube},
    };
    return cubes;
}

std::string MusicFault(const PcmTrack& track, const Mp3Source& source)
{
    char buf[256];
    std::string fault;
    auto add = [&](const char* text)
    {
        if (!fault.empty())
            fault += "; ";
        fault += text;
    };
    if (source.rate != kMusicRate)
    {
        std::snprintf(buf, sizeof buf, "is sampled at %ld Hz, not the %ld Hz of the piece", source.rate,
                      kMusicRate);
        add(buf);
    }
    if (source.channels != 2)
    {
        std::snprintf(buf, sizeof buf, "has %d channel%s, not stereo", source.channels,
                      source.channels == 1 ? "" : "s");
        add(buf);
    }
    if (source.mixed)
        add("changes its sample rate or channels part way");
    if (track.seconds() < kMusicMinSeconds)
    {
        std::snprintf(buf, sizeof buf,
                      "lasts %.1f s, but the piece runs to 126 s and needs %.0f s of music (a shorter track "
                      "loops and the piece never ends)",
                      track.seconds(), kMusicMinSeconds);
        add(buf);
    }
    return fault;
}

namespace
{
bool isFile(const std::string& dir, const std::string& name)
{
    struct stat st;
    const std::string path = dir.empty() ? name : dir + "/" + name;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
} // namespace

std::vector<std::string> MissingDataFiles(const std::string& dir)
{
    std::vector<std::string> missing;
    for (const std::string& f : RequiredDataFiles())
    {
        if (!isFile(dir, f))
        {
            missing.push_back(f);
            continue;
        }
        // An animated object names its parts' files inside itself; they are read too.
        if (f.size() > 5 && f.compare(f.size() - 5, 5, ".ohlf") == 0)
        {
            std::vector<hlf::OhlfPart> parts;
            std::string fault;
            hlf::LoadOHLF(dir.empty() ? f : dir + "/" + f, parts, fault);
            for (const hlf::OhlfPart& p : parts)
                for (const std::string& name : {p.model, p.texture, p.anim})
                    if (name != "?" && !isFile(dir, name))
                        missing.push_back(name);
        }
    }
    return missing;
}
