#include "app/Verbose.h"

bool g_verbose = false;
