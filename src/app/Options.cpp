#include "app/Options.h"

#include "app/platform/Timeline.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
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
struct OptionEntry
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

// A whole number from lo to hi into field.
template <class T>
bool setWhole(T& field, const char* name, const char* v, std::string& error, double lo = 0,
              double hi = 4294967295.0)
{
    double d = 0;
    if (!wholeNumber(v, d) || d < lo || d > hi)
    {
        error = std::string(name) + ": \"" + v + "\" is not a whole number" +
                (lo > 0 || hi < 4294967295.0 ? " from " + std::to_string(static_cast<long>(lo)) + " to " +
                                                   std::to_string(static_cast<long>(hi))
                                             : std::string());
        return false;
    }
    field = static_cast<T>(d);
    return true;
}

const OptionEntry kOptions[] = {
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
    {"--start", true,
     [](Options& o, const char* v, std::string& e) { return setNumber(o.start, "--start", v, e); }},
    {"--av-offset", true,
     [](Options& o, const char* v, std::string& e)
     {
         if (!setNumber(o.avOffsetMs, "--av-offset", v, e))
             return false;
         if (std::fabs(o.avOffsetMs) <= 1000)
             return true;
         e = "--av-offset must lie within -1000..1000 ms";
         return false;
     }},
    {"--fps", true,
     [](Options& o, const char* v, std::string& e)
     {
         if (vqclock::ParseFrameRate(v, o.fps))
             return true;
         e = std::string("--fps: \"") + v + "\" is no frame rate (N, N.NN or N/D, at most 1000)";
         return false;
     }},
    {"--until", true,
     [](Options& o, const char* v, std::string& e) { return setNumber(o.until, "--until", v, e); }},
    {"--frames", true,
     [](Options& o, const char* v, std::string& e) { return setWhole(o.frames, "--frames", v, e); }},
    {"--from-frame", true,
     [](Options& o, const char* v, std::string& e) { return setWhole(o.fromFrame, "--from-frame", v, e); }},
    {"--lossless", false, [](Options& o, const char*, std::string&) { return o.lossless = true; }},
    {"--resume", false, [](Options& o, const char*, std::string&) { return o.resume = true; }},
    {"--overwrite", false, [](Options& o, const char*, std::string&) { return o.overwrite = true; }},
    {"--render-only", false, [](Options& o, const char*, std::string&) { return o.renderOnly = true; }},
    {"--size", true,
     [](Options& o, const char* v, std::string& e)
     {
         int w = 0, h = 0;
         char x = 0, rest = 0;
         if (std::sscanf(v, "%d%c%d%c", &w, &x, &h, &rest) != 3 || (x != 'x' && x != 'X') || w < 64 ||
             h < 48 || w > 16384 || h > 16384)
         {
             e = std::string("--size: \"") + v + "\" is no size (W x H, such as 1920x1080)";
             return false;
         }
         o.sizeW = w;
         o.sizeH = h;
         return true;
     }},
    {"--msaa", true,
     [](Options& o, const char* v, std::string& e)
     {
         double d = 0;
         if (!wholeNumber(v, d) || (d != 0 && d != 1 && d != 2 && d != 4 && d != 8 && d != 16))
         {
             e = std::string("--msaa: \"") + v + "\" is not 0, 2, 4, 8 or 16";
             return false;
         }
         o.msaa = d < 1 ? 1 : static_cast<int>(d);
         return true;
     }},
    {"--supersample", true,
     [](Options& o, const char* v, std::string& e)
     { return setWhole(o.supersample, "--supersample", v, e, 1, 4); }},
    {"--shutter", true,
     [](Options& o, const char* v, std::string& e) { return setWhole(o.shutter, "--shutter", v, e, 1, 64); }},
    {"--shutter-angle", true,
     [](Options& o, const char* v, std::string& e)
     {
         vqclock::FrameRate a;
         if (!vqclock::ParseFrameRate(v, a) || a.num > 360 * a.den)
         {
             e = std::string("--shutter-angle: \"") + v + "\" is not above 0 and at most 360 degrees";
             return false;
         }
         o.shutterAngle = a;
         return true;
     }},
    {"--count-frames", false, [](Options& o, const char*, std::string&) { return o.countFrames = true; }},
    {"--seed", true,
     [](Options& o, const char* v, std::string& e) { return o.haveSeed = setWhole(o.seed, "--seed", v, e); }},
};

const OptionEntry* findOption(const std::string& name)
{
    for (const OptionEntry& entry : kOptions)
        if (name == entry.name)
            return &entry;
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
    if (o.start >= timeline::kEnd)
    {
        error = "--start must come before the end of the piece at 126 s";
        return false;
    }
    if (!o.captureDir.empty())
    {
        if (o.avOffsetMs != 0)
        {
            error = "--av-offset belongs to live play, not to --capture";
            return false;
        }
        if (o.fps.num <= 0)
        {
            error = "--capture needs --fps";
            return false;
        }
        if (o.until >= 0 && o.frames >= 0)
        {
            error = "give --until or --frames, not both";
            return false;
        }
        if (o.resume && o.overwrite)
        {
            error = "give --resume or --overwrite, not both";
            return false;
        }
    }
    else if (o.fps.num != 0 || o.until >= 0 || o.frames >= 0 || o.haveSeed || o.fromFrame || o.lossless ||
             o.resume || o.overwrite || o.renderOnly || o.countFrames || o.supersample != 1 || o.shutter != 1)
    {
        error = "--fps, --until, --frames, --from-frame, --seed, --lossless, --resume, --overwrite, "
                "--render-only, --count-frames, --supersample and --shutter belong to --capture";
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
           "              [--start S] [--av-offset MS] [--size WxH] [--msaa N] [--data DIR] [--verbose]\n"
           "       vqdemo --capture DIR|FILE.mp4|.mkv|.mov --fps R [--start S] [--until S | --frames K]\n"
           "              [--from-frame F] [--seed N] [--lossless] [--resume | --overwrite] [--render-only]\n"
           "              [--count-frames] [--size WxH] [--supersample N] [--shutter M [--shutter-angle D]]\n"
           "              [--overlay] [--data DIR]\n"
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
           "  --av-offset MS   show the picture MS ms later than the sound (negative: earlier, for a\n"
           "                   projector or TV that shows it late)\n"
           "  --data DIR       the data folder (default: $VQDEMO_DATA, else data/ or ../share/vqdemo beside\n"
           "                   the program)\n"
           "  --verbose        write the loaders' diagnostic lines\n"
           "  --capture DIR    render without real-time audio, writing DIR/frame_NNNNN.png and "
           "DIR/audio.wav;\n"
           "  --capture FILE   or a video: .mp4 or .mov (H.264 and AAC), .mkv (the same, or --lossless)\n"
           "  --fps R          capture frame rate: 30, 29.97 or 60000/1001 (kept exact)\n"
           "  --until S        stop the capture before music time S\n"
           "  --frames K       capture K frames\n"
           "  --from-frame F   begin at frame F of the capture (a chunk of it; see tools/render-farm.sh)\n"
           "  --seed N         seed the random generator with N (captures repeat exactly)\n"
           "  --lossless       video in FFV1 and FLAC (Matroska), bit-exact, for joining chunks\n"
           "  --resume         go on with a capture folder from its last complete frame\n"
           "  --overwrite      replace what the capture folder holds\n"
           "  --render-only    render the capture's frames without writing them (to measure)\n"
           "  --count-frames   print how many frames the capture would have, and exit\n"
           "  --size WxH       the picture fits in W x H pixels, 4:3 (live default: the display's own on a\n"
           "                   graphics card, 1024 x 768 on a software renderer; captures: 1024 x 768)\n"
           "  --msaa N         N samples a pixel in the scenes (live default: 4 on a graphics card, none on\n"
           "                   a software renderer)\n"
           "  --supersample N  captures: draw N times larger each way and reduce (anti-aliasing)\n"
           "  --shutter M      captures: motion blur, each frame the mean of M pictures in linear light\n"
           "  --shutter-angle D  the share of the frame interval they span, in degrees (default 360)\n"
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
        const OptionEntry* option = findOption(name);
        if (!option)
        {
            error = "unknown option \"" + name + "\"";
            return false;
        }
        std::string value;
        if (eq != std::string::npos)
        {
            if (!option->takesValue)
            {
                error = name + " takes no value";
                return false;
            }
            value = arg.substr(eq + 1);
        }
        else if (option->takesValue)
        {
            if (i + 1 >= argc)
            {
                error = name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (!option->set(o, value.c_str(), error))
            return false;
    }
    return checkTogether(o, error);
}
