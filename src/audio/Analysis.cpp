// Placeholder until the track analysis lands.
#include "audio/Analysis.h"

#include <cstdio>

int RunAnalyze()
{
    std::printf("analysis not available yet\n");
    return 0;
}
