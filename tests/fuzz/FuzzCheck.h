#pragma once
// What every fuzz target asserts beyond "no crash": a broken promise of the reader is reported
// with what was promised and ends the run, so libFuzzer keeps the input that broke it.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

namespace fuzzcheck
{
inline void Require(bool promise, const char* what)
{
    if (!promise)
    {
        std::fprintf(stderr, "fuzz: broken promise: %s\n", what);
        std::abort();
    }
}

inline bool Finite(std::initializer_list<float> values)
{
    for (float v : values)
        if (!std::isfinite(v))
            return false;
    return true;
}

// One line naming the file, as every fault of the readers must be.
inline void RequireFaultLine(bool sound, const std::string& fault, const std::string& name)
{
    Require(sound == fault.empty(), "a fault exactly when the file is not sound");
    if (!fault.empty())
    {
        Require(fault.rfind("\"" + name + "\": ", 0) == 0, "the fault names the file first");
        Require(fault.find('\n') == std::string::npos, "the fault is one line");
    }
}
} // namespace fuzzcheck
