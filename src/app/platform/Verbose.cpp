#include "app/platform/Verbose.h"

bool g_verbose = false;
