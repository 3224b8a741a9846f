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
