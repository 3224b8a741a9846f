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

bool wholeNumber(const char* s, double& v)
{
    return number(s, v) && v >= 0 && v == std::floor(v) && v <= 4294967295.0;
}

// One option of the command line: a flag, or an option with a value ("--opt value" or
// "--opt=value"), which `set` checks and stores.
struct OptionSpec
{
    const char* name;
    bool takesValue;
    bool (*set)(Options& o, const char* value, std::string& error);
};

bool setNumber(double& field, const char* name, const char* v, std::string& error)
{
    double d = 0;
    if (!number(v, d))
    {
        error = std::string(name) + ": \"" + v + "\" is not a number";
        return false;
    }
    field = d;
    return true;
}

const OptionSpec kOptions[] = {
    {"--help", false, [](Options& o, const char*, std::string&) { return o.help = true; }},
    {"-h", false, [](Options& o, const char*, std::string&) { return o.help = true; }},
    {"--version", false, [](Options& o, const char*, std::string&) { return o.version = true; }},
    {"--windowed", false, [](Options& o, const char*, std::string&) { return o.windowed = true; }},
    {"--fullscreen", true,
     [](Options& o, const char* v, std::string& e)
     {
         o.fullscreenGiven = true;
         if (std::strcmp(v, "desktop") == 0)
             o.fullscreen = Fullscreen::Desktop;
         else if (std::strcmp(v, "mode") == 0)
             o.fullscreen = Fullscreen::Mode;
         else
         {
             e = std::string("--fullscreen: \"") + v + "\" is neither desktop nor mode";
             return false;
         }
         return true;
     }},
    {"--display", true,
     [](Options& o, const char* v, std::string& e)
     {
         double d = 0;
         if (!wholeNumber(v, d) || d > 255)
         {
             e = std::string("--display: \"") + v + "\" is not a display number (0, 1, ...)";
             return false;
         }
         o.display = static_cast<int>(d);
         return true;
     }},
    {"--no-vsync", false,
     [](Options& o, const char*, std::string&)
     {
         o.vsync = false;
         return true;
     }},
    {"--overlay", false, [](Options& o, const char*, std::string&) { return o.overlay = true; }},
    {"--verbose", false, [](Options& o, const char*, std::string&) { return o.verbose = true; }},
    {"--check", false, [](Options& o, const char*, std::string&) { return o.check = true; }},
    {"--analyze", false, [](Options& o, const char*, std::string&) { return o.analyze = true; }},
    {"--data", true,
     [](Options& o, const char* v, std::string&)
     {
         o.dataDir = v;
         return true;
     }},
    {"--capture", true,
     [](Options& o, const char* v, std::string&)
     {
         o.captureDir = v;
         return true;
     }},
    {"--start", true, [](Options& o, const char* v, std::string& e) { return setNumber(o.start, "--start", v, e); }},
    {"--fps", true, [](Options& o, const char* v, std::string& e) { return setNumber(o.fps, "--fps", v, e); }},
    {"--until", true, [](Options& o, const char* v, std::string& e) { return setNumber(o.until, "--until", v, e); }},
    {"--frames", true,
     [](Options& o, const char* v, std::string& e)
     {
         double d = 0;
         if (!wholeNumber(v, d))
         {
             e = std::string("--frames: \"") + v + "\" is not a whole number";
             return false;
         }
         o.frames = static_cast<long>(d);
         return true;
     }},
    {"--seed", true,
     [](Options& o, const char* v, std::string& e)
     {
         double d = 0;
         if (!wholeNumber(v, d))
         {
             e = std::string("--seed: \"") + v + "\" is not a whole number";
             return false;
         }
         o.haveSeed = true;
         o.seed = static_cast<unsigned>(d);
         return true;
     }},
};

const OptionSpec* findOption(const std::string& name)
{
    for (const OptionSpec& spec : kOptions)
        if (name == spec.name)
            return &spec;
    return nullptr;
}

// What no single option can check: values against each other.
bool checkTogether(const Options& o, std::string& error)
{
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
    if (o.windowed && o.fullscreenGiven)
    {
        error = "give --windowed or --fullscreen, not both";
        return false;
    }
    return true;
}
} // namespace

const char* UsageText()
{
    return "usage: vqdemo [--windowed | --fullscreen desktop|mode] [--display N] [--no-vsync] [--overlay]\n"
           "              [--start S] [--data DIR] [--verbose]\n"
           "       vqdemo --capture DIR --fps N [--start S] [--until S | --frames K] [--seed N] [--overlay]\n"
           "              [--data DIR]\n"
           "       vqdemo --check [--data DIR]\n"
           "       vqdemo --analyze [--data DIR]\n"
           "       vqdemo --version | --help\n"
           "\n"
           "  --windowed       a 1024 x 768 window instead of full-screen\n"
           "  --fullscreen desktop\n"
           "                   cover the display at its own resolution, the picture scaled to fit (default)\n"
           "  --fullscreen mode\n"
           "                   switch the display to 1024 x 768 while the piece runs\n"
           "  --display N      play on monitor N (0 is the first)\n"
           "  --no-vsync       present frames without waiting for the display's refresh\n"
           "  --overlay        show the overlay (music time, frame rate, scene, bass level) from the start;\n"
           "                   F1 toggles it while playing\n"
           "  --start S        begin the music at S seconds\n"
           "  --data DIR       the data folder (default: $VQDEMO_DATA, else data/ or ../share/vqdemo beside\n"
           "                   the program)\n"
           "  --verbose        write the loaders' diagnostic lines\n"
           "  --capture DIR    render without real-time audio, writing DIR/frame_NNNNN.png and DIR/audio.wav\n"
           "  --fps N          capture frame rate\n"
           "  --until S        stop the capture before music time S\n"
           "  --frames K       capture K frames\n"
           "  --seed N         seed the random generator with N (captures repeat exactly)\n"
           "  --check          verify every data file and exit (0 when all are sound)\n"
           "  --analyze        print the bass level statistics of the track per timeline section\n"
           "  --version        the program's name and version\n"
           "  --help           this text\n"
           "\n"
           "An option's value may follow it or be joined to it: --start 80 or --start=80.\n";
}

bool ParseOptions(int argc, char** argv, Options& o, std::string& error)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const std::size_t eq = arg.compare(0, 2, "--") == 0 ? arg.find('=') : std::string::npos;
        const std::string name = arg.substr(0, eq);
        const OptionSpec* spec = findOption(name);
        if (!spec)
        {
            error = "unknown option \"" + name + "\"";
            return false;
        }
        std::string value;
        if (eq != std::string::npos)
        {
            if (!spec->takesValue)
            {
                error = name + " takes no value";
                return false;
            }
            value = arg.substr(eq + 1);
        }
        else if (spec->takesValue)
        {
            if (i + 1 >= argc)
            {
                error = name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (!spec->set(o, value.c_str(), error))
            return false;
    }
    return checkTogether(o, error);
}
