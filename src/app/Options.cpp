#include "app/Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace
{
bool number(const char* s, double& v)
{
    if (!s || !*s)
        return false;
    char* end = nullptr;
    errno = 0;
    v = std::strtod(s, &end);
    return errno == 0 && end && *end == '\0' && std::isfinite(v);
}
} // namespace

const char* UsageText()
{
    return "usage: vqdemo [--windowed] [--start S] [--data DIR] [--verbose]\n"
           "       vqdemo --capture DIR --fps N [--start S] [--until S | --frames K] [--seed N] [--data DIR]\n"
           "       vqdemo --check [--data DIR]\n"
           "       vqdemo --analyze [--data DIR]\n"
           "\n"
           "  --windowed       a 1024 x 768 window instead of full-screen\n"
           "  --start S        begin the music at S seconds\n"
           "  --data DIR       the data folder (default: data beside the program)\n"
           "  --verbose        write the loaders' diagnostic lines\n"
           "  --capture DIR    render without real-time audio, writing DIR/frame_NNNNN.png and DIR/audio.wav\n"
           "  --fps N          capture frame rate\n"
           "  --until S        stop the capture before music time S\n"
           "  --frames K       capture K frames\n"
           "  --seed N         seed the random generator with N (captures repeat exactly)\n"
           "  --check          verify every data file and exit (0 when all are sound)\n"
           "  --analyze        print the bass level statistics of the track per timeline section\n"
           "  --help           this text\n";
}

bool ParseOptions(int argc, char** argv, Options& o, std::string& error)
{
    for (int i = 1; i < argc; ++i)
    {
        const char* a = argv[i];
        auto value = [&](const char*& v) -> bool {
            if (i + 1 >= argc)
            {
                error = std::string(a) + " needs a value";
                return false;
            }
            v = argv[++i];
            return true;
        };
        const char* v = nullptr;
        double d = 0;
        if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h"))
            o.help = true;
        else if (!std::strcmp(a, "--windowed"))
            o.windowed = true;
        else if (!std::strcmp(a, "--verbose"))
            o.verbose = true;
        else if (!std::strcmp(a, "--check"))
            o.check = true;
        else if (!std::strcmp(a, "--analyze"))
            o.analyze = true;
        else if (!std::strcmp(a, "--data"))
        {
            if (!value(v))
                return false;
            o.dataDir = v;
        }
        else if (!std::strcmp(a, "--capture"))
        {
            if (!value(v))
                return false;
            o.captureDir = v;
        }
        else if (!std::strcmp(a, "--start") || !std::strcmp(a, "--fps") || !std::strcmp(a, "--until"))
        {
            if (!value(v))
                return false;
            if (!number(v, d))
            {
                error = std::string(a) + ": \"" + v + "\" is not a number";
                return false;
            }
            if (!std::strcmp(a, "--start"))
                o.start = d;
            else if (!std::strcmp(a, "--fps"))
                o.fps = d;
            else
                o.until = d;
        }
        else if (!std::strcmp(a, "--frames") || !std::strcmp(a, "--seed"))
        {
            if (!value(v))
                return false;
            if (!number(v, d) || d < 0 || d != std::floor(d) || d > 4294967295.0)
            {
                error = std::string(a) + ": \"" + v + "\" is not a whole number";
                return false;
            }
            if (!std::strcmp(a, "--frames"))
                o.frames = static_cast<long>(d);
            else
            {
                o.haveSeed = true;
                o.seed = static_cast<unsigned>(d);
            }
        }
        else
        {
            error = std::string("unknown option \"") + a + "\"";
            return false;
        }
    }
    if (o.start < 0)
    {
        error = "--start must not be negative";
        return false;
    }
    if (!o.captureDir.empty())
    {
        if (!(o.fps > 0 && o.fps <= 1000))
        {
            error = "--capture needs --fps N with 0 < N <= 1000";
            return false;
        }
        if (o.until >= 0 && o.frames >= 0)
        {
            error = "give --until or --frames, not both";
            return false;
        }
    }
    else if (o.fps != 0 || o.until >= 0 || o.frames >= 0 || o.haveSeed)
    {
        error = "--fps, --until, --frames and --seed belong to --capture";
        return false;
    }
    return true;
}
