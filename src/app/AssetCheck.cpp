// Placeholder until the format loaders land: reports only missing files.
#include "app/AssetCheck.h"

#include "app/DataFiles.h"

#include <cstdio>

int RunAssetCheck()
{
    const auto missing = MissingDataFiles("");
    for (const auto& f : RequiredDataFiles())
        std::printf("%-28s %s\n", f.c_str(), "present");
    for (const auto& f : missing)
        std::printf("%-28s missing\n", f.c_str());
    return missing.empty() ? 0 : 1;
}
