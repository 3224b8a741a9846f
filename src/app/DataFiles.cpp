#include "app/DataFiles.h"

#include <sys/stat.h>

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

std::vector<std::string> MissingDataFiles(const std::string& dir)
{
    std::vector<std::string> missing;
    for (const std::string& f : RequiredDataFiles())
    {
        struct stat st;
        const std::string path = dir.empty() ? f : dir + "/" + f;
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            missing.push_back(f);
    }
    return missing;
}
