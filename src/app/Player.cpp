#include "app/Player.h"

#include "app/AssetCheck.h"
#include "app/Capture.h"
#include "app/DataDir.h"
#include "app/DataFiles.h"
#include "app/Font.h"
#include "app/Options.h"
#include "app/platform/CDemoHandler.h"
#include "app/platform/Clock.h"
#include "app/platform/DataNames.h"
#include "app/platform/GLWindow.h"
#include "app/platform/Timeline.h"
#include "app/platform/Verbose.h"
#include "audio/Analysis.h"
#include "audio/CBass.h"
#include "math/random.h"
#include "render/CBloom.h"
#include "resource/CResource.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{

std::string executableDir()
{
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    buf[n] = '\0';
    std::string p(buf);
    const auto slash = p.rfind('/');
    return slash == std::string::npos ? "." : p.substr(0, slash);
}

// Makes the data folder the working directory, so every asset keeps its bare relative name.
bool enterDataDir(const Options& o, std::string& error)
{
    const std::string dir = FindDataDir(o.dataDir, std::getenv("VQDEMO_DATA"), executableDir(), error);
    if (dir.empty())
        return false;
    if (chdir(dir.c_str()) != 0)
    {
        error = "cannot enter the data folder \"" + dir + "\" (" + std::strerror(errno) + ")";
        return false;
    }
    return true;
}

// The capture target named absolutely: the program works in the data folder.
std::string absolute(const std::string& path)
{
    char cwd[PATH_MAX];
    if (path.empty() || path[0] == '/' || !getcwd(cwd, sizeof cwd))
        return path;
    return std::string(cwd) + "/" + path;
}

// Every data file present and the track decoded, before the window opens, so that a broken data
// folder stops the piece with a clear word.
bool checkDataAndMusic()
{
    const std::vector<std::string> missing = MissingDataFiles("");
    if (!missing.empty())
    {
        std::fprintf(stderr, "vqdemo: the data folder lacks %zu file(s):\n", missing.size());
        for (const auto& m : missing)
            std::fprintf(stderr, "  %s\n", m.c_str());
        return false;
    }
    std::string error;
    if (!bass.Open(datafile::kMusic, error))
    {
        std::fprintf(stderr, "vqdemo: %s\n", error.c_str());
        return false;
    }
    // A track that ends before the piece does loops back to the island, and the piece would
    // never reach its end.
    if (bass.Track().seconds() < kMusicMinSeconds)
    {
        std::fprintf(stderr,
                     "vqdemo: \"%s\": lasts %.1f s, but the piece runs to 126 s and needs %.0f s of music\n",
                     datafile::kMusic, bass.Track().seconds(), kMusicMinSeconds);
        return false;
    }
    return true;
}

// The largest 4:3 picture inside w x h, its width a multiple of 8 so that both sides stay even
// (video encoders want that) and the aspect exact.
void fit43(int w, int h, int& pw, int& ph)
{
    pw = std::min(w, h * 4 / 3) / 8 * 8;
    ph = pw * 3 / 4;
}

// The picture's size and anti-aliasing: --size, or live the display's own size on a graphics card
// and 1024 x 768 on a software renderer, which could not keep up with more; captures 1024 x 768.
// Supersampling draws it larger still. Multisampling by default only live on a graphics card.
bool choosePicture(const Options& o, bool capturing, std::string& error)
{
    const bool software = glWindow.SoftwareRenderer();
    int w = 1024, h = 768;
    if (o.sizeW > 0)
        fit43(o.sizeW, o.sizeH, w, h);
    else if (!capturing && !software)
        fit43(glWindow.DrawableWidth(), glWindow.DrawableHeight(), w, h);
    const int ss = capturing ? o.supersample : 1;
    const int samples = o.msaa >= 0 ? o.msaa : (capturing || software ? 1 : 4);
    glWindow.SetSceneSamples(samples);
    glWindow.SetAntialiased(samples > 1 || ss > 1);
    if (g_verbose)
        std::printf("picture: %d x %d%s, %d sample(s) a pixel, %s renderer\n", w * ss, h * ss,
                    ss > 1 ? (" (reduced to " + std::to_string(w) + " x " + std::to_string(h) + ")").c_str()
                           : "",
                    samples, software ? "software" : "graphics card");
    return (w * ss == glWindow.PictureWidth() && h * ss == glWindow.PictureHeight()) ||
           glWindow.SetPicture(w * ss, h * ss, error);
}

// Start-up in its fixed order, up to the point where the scenes are made: the generator's seed,
// the window with its resources, the glow filter, the font.
bool startUp(const Options& o, bool capturing)
{
    vq_srand(static_cast<unsigned>(vqclock::calendarTime()));
    WindowOptions wo;
    wo.windowed = o.windowed || capturing;
    wo.headless = capturing;
    wo.fullscreen = o.fullscreen;
    wo.display = o.display;
    wo.vsync = o.vsync;
    std::string error;
    if (!res.Init(wo, error) || !choosePicture(o, capturing, error))
    {
        std::fprintf(stderr, "vqdemo: %s\n", error.c_str());
        return false;
    }
    bloom.Setup();
    glWindow.SetCurrent();
    BuildFont();
    return true;
}

volatile sig_atomic_t g_terminate = 0;

void onTerminate(int) { g_terminate = 1; }

// Live play: one waiting event per pass, a frame when none waits, until the piece ends, the
// viewer quits, or SIGTERM / SIGINT asks it to end (then it shuts down as on Escape).
void playLive(CDemoHandler& demo)
{
    struct sigaction sa = {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    bool done = false;
    while (!done && !g_terminate)
    {
        bool quit = false;
        if (glWindow.HandleOneEvent(quit))
            done = quit;
        else
            done = demo.Run();
    }
}

// One line when the window was taken away from outside: the piece cannot be seen any more.
bool reportLostWindow()
{
    if (!glWindow.Lost())
        return false;
    std::fprintf(stderr, "vqdemo: the window was destroyed by another program; stopping\n");
    return true;
}

// The window is closed on every way out once it was opened: after that no GL call may happen,
// not even from the glow filter's destructor at exit.
struct WindowCloser
{
    ~WindowCloser() { glWindow.Disable(); }
};
} // namespace

int VQ_Main(int argc, char** argv)
{
    Options o;
    std::string error;
    if (!ParseOptions(argc, argv, o, error))
    {
        std::fprintf(stderr, "vqdemo: %s (try --help)\n", error.c_str());
        return 2;
    }
    if (o.help)
    {
        std::printf("%s", UsageText());
        return 0;
    }
    if (o.version)
    {
        std::printf("vqdemo %s\n", VQDEMO_VERSION);
        return 0;
    }
    g_verbose = o.verbose;

    if (o.countFrames)
    {
        std::printf("%llu\n",
                    static_cast<unsigned long long>(CaptureEnd(o) - static_cast<std::uint64_t>(o.fromFrame)));
        return 0;
    }
    const std::string outDir = absolute(o.captureDir);
    std::uint64_t firstFrame = 0;
    if (!outDir.empty() && !PrepareCapture(o, outDir, firstFrame, error))
    {
        std::fprintf(stderr, "vqdemo: %s\n", error.c_str());
        return 1;
    }
    if (!enterDataDir(o, error))
    {
        std::fprintf(stderr, "vqdemo: %s\n", error.c_str());
        return 1;
    }
    if (o.check)
        return RunAssetCheck();
    if (o.analyze)
        return RunAnalyze();
    if (!checkDataAndMusic())
        return 1;
    bass.SetStartSeconds(o.start);
    bass.SetAvOffsetMs(o.avOffsetMs);
    if (!outDir.empty())
        vqclock::enterCapture(o.fps, o.start, o.haveSeed, o.seed);

    WindowCloser closer;
    if (!startUp(o, !outDir.empty()))
        return 1;
    if (reportLostWindow())
        return 1;
    // The sound device opens while everything loads. Not before the window: where SDL's audio
    // stands in for OpenAL it must not start up beside SDL's video.
    if (outDir.empty())
        bass.PrepareOutput();
    int status = 0;
    {
        // Every scene is created and set up; all loading happens here. Then the music, and the loop.
        CDemoHandler demo;
        if (reportLostWindow())
            return 1;
        demo.ShowOverlay(o.overlay);
        bass.start(datafile::kMusic);
        glWindow.ShowCursor(false);
        if (!outDir.empty())
            status = RunCapture(demo, o, outDir, firstFrame);
        else
            playLive(demo);
        glWindow.ShowCursor(true);
        const bool closed = bass.stop();
        if (reportLostWindow())
            status = 1;
        glWindow.Disable();
        if (!closed)
        {
            // The sound server holds the device's close; its thread is still inside the sound
            // library, whose exit-time clean-up would wait for the server too. End here.
            std::fflush(nullptr);
            _exit(status);
        }
    }
    return status;
}
