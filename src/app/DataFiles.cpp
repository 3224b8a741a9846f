#include "app/DataFiles.h"

#include "audio/PcmTrack.h"
#include "formats/HlfParse.h"

#include <sys/stat.h>

#include <cstdio>

const std::vector<std::string>& RequiredDataFiles()
{
    static const std::vector<std::string> files = {
        "vqmusikk_best4.mp3",
        "VQ_SHADER_Additiv.vert", "VQ_SHADER_Additiv.frag",
        "VQ_SHADER_Fade.vert", "VQ_SHADER_Fade.frag",
        "VQ_SHADER_Transparent.vert", "VQ_SHADER_Transparent.frag",
        "VQ_SHADER_Brightpass.vert", "VQ_SHADER_Brightpass.frag",
        "VQ_SHADER_Blur.vert", "VQ_SHADER_Blur.frag",
        "slutt.jpg",
        "dansehule_final.khlf", "fjell3.bmp", "MrKalv/MrKalv.ohlf",
        "VQ_SHADER_Terrain.vert", "VQ_SHADER_Terrain.frag", "VQ_SHADER_Vann.vert", "VQ_SHADER_Vann.frag",
        "oy_notfinal2.ihlf", "slott_final4.khlf", "vq_accumcam.chlf", "FjellText.jpg", "tre_01_r.bmp",
        "blader.bmp", "slott_tekstur.jpg", "kratt_01_r.bmp", "grus_01_r.bmp", "MatMap4.bmp",
        "pos_x.bmp", "neg_x.bmp", "pos_y.bmp", "neg_y.bmp", "pos_z.bmp", "neg_z.bmp",
        "kro_logo2.khlf", "water_d2.bmp", "PlasmaSlime.bmp", "Kro_logo.bmp", "code_tarvek.bmp", "gfx_Dranbuke.bmp",
        "VQ_SHADER_EnvMap.vert", "VQ_SHADER_EnvMap.frag", "VQ_SHADER_Logo.vert", "VQ_SHADER_Logo.frag",
    };
    return files;
}

const std::vector<std::vector<std::string>>& CubeMapFiles()
{
    static const std::vector<std::vector<std::string>> cubes = {
        {"pos_x.bmp", "neg_x.bmp", "pos_y.bmp", "neg_y.bmp", "pos_z.bmp", "neg_z.bmp"},
        {"water_d2.bmp"},
        {"PlasmaSlime.bmp"},
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
