#include "app/DataDir.h"

#include <sys/stat.h>

namespace
{
bool isDir(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

std::string FindDataDir(const std::string& option, const char* environment, const std::string& exeDir,
                        std::string& error)
{
    if (!option.empty())
        return option;
    if (environment && *environment)
        return environment;
    const std::string beside = exeDir + "/data";
    const std::string shared = exeDir + "/../share/vqdemo";
    if (isDir(beside))
        return beside;
    if (isDir(shared))
        return shared;
    error =
        "no data folder: neither " + beside + " nor " + shared + " exists (give --data DIR or $VQDEMO_DATA)";
    return "";
}
