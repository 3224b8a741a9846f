#include "app/Player.h"

#include "app/AssetCheck.h"
#include "app/platform/CDemoHandler.h"
#include "app/Capture.h"
#include "app/DataDir.h"
#include "app/platform/Clock.h"
#include "app/platform/DataNames.h"
#include "app/DataFiles.h"
#include "app/Font.h"
#include "app/platform/GLWindow.h"
#include "app/Options.h"
#include "app/platform/Verbose.h"
#include "audio/Analysis.h"
#include "audio/CBass.h"
#include "math/random.h"
#include "render/CBloom.h"
#include "resource/CResource.h"

#include <unistd.h>

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

bool mkdirs(const std::string& dir)
{
    std::string partial;
    for (std::size_t i = 0; i <= dir.size(); ++i)
    {
        if (i == dir.size() || dir[i] == '/')
        {
            if (!partial.empty())
                mkdir(partial.c_str(), 0755);
        }
        if (i < dir.size())
            partial += dir[i];
    }
    struct stat st;
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Runs the capture loop. Frame f shows music time start + f / fps.
int captureLoop(CDemoHandler& demo, const Options& o, const std::string& outDir)
{
    struct SceneStats
    {
        long frames = 0;
        double micros = 0;
    };
    std::map<CDemoHandler::Slot, SceneStats> stats;
    std::vector<CDemoHandler::Slot> order;
    std::vector<std::uint8_t> last;

    long frame = 0;
    bool quit = false;
    std::string error;
    for (;; ++frame)
    {
        if (o.frames >= 0 && frame >= o.frames)
            break;
        vqclock::setCaptureFrame(static_cast<std::uint64_t>(frame));
        if (o.until >= 0 && vqclock::captureMusicSeconds() >= o.until)
            break;
        while (glWindow.HandleOneEvent(quit))
        {
        }
        if (quit)
            break;
        const std::int64_t t0 = vqclock::monotonicMicros();
        const bool over = demo.Run();
        const double micros = static_cast<double>(vqclock::monotonicMicros() - t0);
        if (over)
            break;
        if (demo.Presented())
        {
            // The window keeps a picture of its own while capturing, so it can be read after it
            // was presented.
            glWindow.ReadPicture(last);
            SceneStats& s = stats[demo.LastSlot()];
            if (s.frames == 0)
                order.push_back(demo.LastSlot());
            ++s.frames;
            s.micros += micros;
        }
        // A frame exactly on a boundary presents nothing; the video repeats the previous picture
        // so that frame numbers stay in step with music time.
        if (last.empty())
            last.assign(static_cast<std::size_t>(glWindow.width) * glWindow.height * 3, 0);
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%05ld.png", frame);
        if (!WritePng(outDir + name, glWindow.width, glWindow.height, last, error))
        {
            std::fprintf(stderr, "capture: %s\n", error.c_str());
            return 1;
        }
    }

    const std::size_t first = static_cast<std::size_t>(std::llround(o.start * PcmTrack::kRate));
    const std::size_t count = static_cast<std::size_t>(std::llround(frame * PcmTrack::kRate / o.fps));
    if (!WriteWav(outDir + "/audio.wav", bass.Track(), first, count, error))
    {
        std::fprintf(stderr, "capture: %s\n", error.c_str());
        return 1;
    }
    std::printf("captured %ld frames at %g fps from %.3f s into %s\n", frame, o.fps, o.start, outDir.c_str());
    for (CDemoHandler::Slot s : order)
        std::printf("  %-16s %6ld frames, %8.1f ms per frame\n", CDemoHandler::SlotName(s), stats[s].frames,
                    stats[s].micros / 1000.0 / static_cast<double>(stats[s].frames));
    std::printf("video: ffmpeg -framerate %g -i %s/frame_%%05d.png -i %s/audio.wav -c:v libx264 -pix_fmt yuv420p "
                "-c:a aac -shortest %s/capture.mp4\n",
                o.fps, outDir.c_str(), outDir.c_str(), outDir.c_str());
    return 0;
}

// The capture folder, made if needed and named absolutely: the program works in the data folder.
bool prepareCaptureDir(std::string& outDir)
{
    if (outDir.empty())
        return true;
    if (!mkdirs(outDir))
    {
        std::fprintf(stderr, "vqdemo: cannot create the capture folder \"%s\"\n", outDir.c_str());
        return false;
    }
    char cwd[PATH_MAX];
    if (outDir[0] != '/' && getcwd(cwd, sizeof cwd))
        outDir = std::string(cwd) + "/" + outDir;
    return true;
}

// Every data file present and the track decoded, before the window opens, so that a broken data
// folder stops the piece with a clear word.
bool checkDataAndMusic(const Options& o)
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
    if (o.start >= bass.Track().seconds())
    {
        std::fprintf(stderr, "vqdemo: --start %.3f lies beyond the track's %.3f s\n", o.start,
                     bass.Track().seconds());
        return false;
    }
    return true;
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
    if (!res.Init(wo, error))
    {
        std::fprintf(stderr, "vqdemo: %s\n", error.c_str());
        return false;
    }
    bloom.Setup();
    glWindow.SetCurrent();
    BuildFont();
    return true;
}

// Live play: one waiting event per pass, a frame when none waits, until the piece ends or the
// viewer quits.
void playLive(CDemoHandler& demo)
{
    bool done = false;
    while (!done)
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

    std::string outDir = o.captureDir;
    if (!prepareCaptureDir(outDir))
        return 1;
    if (!enterDataDir(o, error))
    {
        std::fprintf(stderr, "vqdemo: %s\n", error.c_str());
        return 1;
    }
    if (o.check)
        return RunAssetCheck();
    if (o.analyze)
        return RunAnalyze();
    if (!checkDataAndMusic(o))
        return 1;
    bass.SetStartSeconds(o.start);
    if (!outDir.empty())
        vqclock::enterCapture(o.fps, o.start, o.haveSeed, o.seed);

    WindowCloser closer;
    if (!startUp(o, !outDir.empty()))
        return 1;
    if (reportLostWindow())
        return 1;
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
            status = captureLoop(demo, o, outDir);
        else
            playLive(demo);
        glWindow.ShowCursor(true);
        bass.stop();
        if (reportLostWindow())
            status = 1;
        glWindow.Disable();
    }
    return status;
}
