// The window as people meet it, with the program as built: a capture with no display at all,
// live play with none, full screen on a bare X server (no window manager), and a window that
// another X client destroys while the piece opens or plays.
#include "resource/CTexture.h"
#include "support/RunProgram.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>
// After GoogleTest: Xlib's macros (None, Bool, Status) would rename its identifiers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace
{
std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

struct ProgramRun
{
    int status = -1;      // exit status; -1 when killed by a signal
    bool crashed = false; // ended by a signal other than the time-out's
    bool timedOut = false;
    std::string output;
};

// Runs the program with an environment prefix ("NAME=value", "-u NAME") and shell-word arguments,
// killing it after `seconds`.
ProgramRun run(const std::string& environment, const std::string& args, int seconds = 120)
{
    const std::string log = "/tmp/vq_glwindow_" + std::to_string(getpid()) + ".txt";
    const std::string cmd = "timeout -k 5 " + std::to_string(seconds) + " env " + environment + " '" +
                            env("VQ_BINARY") + "' " + args + " > '" + log + "' 2>&1";
    const int raw = std::system(cmd.c_str());
    ProgramRun r;
    r.output = ReadWholeFile(log);
    std::remove(log.c_str());
    const int code = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.timedOut = code == 124 || code == 137;
    r.crashed = code > 128 && !r.timedOut; // timeout(1) reports a signal as 128 + its number
    r.status = r.crashed || r.timedOut ? -1 : code;
    return r;
}

int lines(const std::string& text)
{
    int n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

// The lines that are not the audio fallback's notice (the test machines have no sound card).
std::string withoutAudioNotice(const std::string& text)
{
    std::string out;
    std::size_t start = 0;
    while (start < text.size())
    {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(start, end - start);
        if (line.rfind("music: no audio device", 0) != 0)
            out += line;
        start = end;
    }
    return out;
}

std::string tempDir(const char* tag)
{
    const std::string d = "/tmp/vq_glwindow_" + std::string(tag) + "_" + std::to_string(getpid());
    std::system(("rm -rf '" + d + "' && mkdir -p '" + d + "'").c_str());
    return d;
}

#define NEED_PROGRAM()                                                                                       \
    do                                                                                                       \
    {                                                                                                        \
        if (env("VQ_BINARY").empty() || env("VQ_DATA_DIR").empty())                                          \
            GTEST_SKIP() << "VQ_BINARY or VQ_DATA_DIR not set (run through ctest)";                          \
    } while (0)

// The root window's picture, RGB, top row first.
std::vector<std::uint8_t> grabRoot(Display* d, int w, int h)
{
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
    XImage* img = XGetImage(d, DefaultRootWindow(d), 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h),
                            AllPlanes, ZPixmap);
    if (!img)
        return {};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const unsigned long p = XGetPixel(img, x, y);
            std::uint8_t* o = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
            o[0] = static_cast<std::uint8_t>((p >> 16) & 0xFF);
            o[1] = static_cast<std::uint8_t>((p >> 8) & 0xFF);
            o[2] = static_cast<std::uint8_t>(p & 0xFF);
        }
    XDestroyImage(img);
    return rgb;
}

struct Rect
{
    int x0, y0, x1, y1; // x1, y1 exclusive
};

// Mean absolute difference of green between the screen inside r and the closing picture scaled to
// r, over blocks of the picture (the scaling's filter blurs single pixels).
double differenceToPicture(const std::vector<std::uint8_t>& screen, int sw, const Rect& r,
                           const std::vector<std::uint8_t>& picture)
{
    double sum = 0;
    int n = 0;
    for (int by = 1; by < 23; ++by)
        for (int bx = 1; bx < 31; ++bx)
        {
            // Block centre in picture pixels (the closing picture spans 1023 x 767 of 1024 x 768).
            const int px = bx * 32 + 16, py = by * 32 + 16;
            const int sx = r.x0 + (px * (r.x1 - r.x0)) / 1024, sy = r.y0 + (py * (r.y1 - r.y0)) / 768;
            sum += std::abs(int(screen[(static_cast<std::size_t>(sy) * sw + sx) * 3 + 1]) -
                            int(picture[(static_cast<std::size_t>(py) * 1024 + px) * 3 + 1]));
            ++n;
        }
    return sum / n;
}

// Lit pixels outside r (a margin of 2 pixels for the filter's edge).
long litOutside(const std::vector<std::uint8_t>& screen, int sw, int sh, const Rect& r)
{
    long lit = 0;
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x)
        {
            if (x >= r.x0 - 2 && x < r.x1 + 2 && y >= r.y0 - 2 && y < r.y1 + 2)
                continue;
            const std::uint8_t* p = &screen[(static_cast<std::size_t>(y) * sw + x) * 3];
            lit += p[0] > 8 || p[1] > 8 || p[2] > 8;
        }
    return lit;
}

pid_t startProgram(const std::string& display, const std::vector<std::string>& args)
{
    const pid_t pid = fork();
    if (pid == 0)
    {
        setenv("DISPLAY", display.c_str(), 1);
        freopen("/dev/null", "w", stdout);
        std::vector<char*> argv;
        const std::string binary = env("VQ_BINARY");
        argv.push_back(const_cast<char*>(binary.c_str()));
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}
} // namespace

TEST(GLWindow, ACaptureWithNoDisplayAtAllEqualsTheCaptureOnAnXServer)
{
    NEED_PROGRAM();
    XvfbServer x(1280, 1024);
    ASSERT_FALSE(x.Display().empty()) << x.Why();
    const std::string headless = tempDir("headless"), onX = tempDir("onx");
    const std::string args = "--fps 30 --start 60 --frames 3 --seed 3 --capture ";
    const ProgramRun a = run("-u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER", args + "'" + headless + "'");
    ASSERT_EQ(a.status, 0) << a.output;
    EXPECT_EQ(a.output.find("XDG_RUNTIME_DIR"), std::string::npos) << "no Wayland probe's complaint";
    const ProgramRun b = run("DISPLAY=" + x.Display(), args + "'" + onX + "'");
    ASSERT_EQ(b.status, 0) << b.output;
    for (const char* f : {"/frame_00000.png", "/frame_00001.png", "/frame_00002.png", "/audio.wav"})
    {
        const std::string p = ReadWholeFile(headless + f), q = ReadWholeFile(onX + f);
        EXPECT_GT(p.size(), 10000u) << f;
        EXPECT_TRUE(p == q) << f << " differs between the headless and the X server's capture";
    }
    std::system(("rm -rf '" + headless + "' '" + onX + "'").c_str());
}

TEST(GLWindow, LivePlayWithNoDisplaySaysSoInOneLine)
{
    NEED_PROGRAM();
    ProgramRun r = run("-u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=offscreen", "--start 125");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(lines(r.output), 1) << r.output;
    EXPECT_NE(r.output.find("no display to play on"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("--capture"), std::string::npos) << "and says what works instead: " << r.output;
    struct stat st;
    if (stat("/dev/dri", &st) == 0)
        GTEST_SKIP() << "this machine has a console to play on (/dev/dri)";
    r = run("-u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER", "--start 125");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(lines(r.output), 1) << r.output;
    EXPECT_NE(r.output.find("no display to play on"), std::string::npos) << r.output;
}

TEST(GLWindow, FullScreenOnABareXServerShowsTheWholePictureScaledAndCentred)
{
    NEED_PROGRAM();
    int w = 0, h = 0;
    std::vector<std::uint8_t> picture;
    std::string error;
    ASSERT_TRUE(ReadJpeg(env("VQ_DATA_DIR") + "/slutt.jpg", w, h, picture, error)) << error;
    ASSERT_EQ(w, 1024);
    struct Case
    {
        int width, height;
        const char* mode;
        Rect expected;
    };
    // 4:3 in 16:9 leaves bars left and right; in 5:4, above and below. Xvfb has no 1024 x 768
    // mode, so the mode switch falls back to the desktop's.
    for (const Case& c :
         {Case{1920, 1080, "desktop", {240, 0, 1680, 1080}}, Case{1280, 1024, "desktop", {0, 32, 1280, 992}},
          Case{1920, 1080, "mode", {240, 0, 1680, 1080}}})
    {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " --fullscreen " + c.mode);
        XvfbServer x(c.width, c.height);
        ASSERT_FALSE(x.Display().empty()) << x.Why();
        Display* d = XOpenDisplay(x.Display().c_str());
        ASSERT_NE(d, nullptr);
        const pid_t pid = startProgram(x.Display(), {"--start", "123.05", "--fullscreen", c.mode});
        // The closing picture shows from the first frame until 126 s; loading comes before.
        double best = 1e9;
        std::vector<std::uint8_t> screen;
        for (int i = 0; i < 300 && best > 8.0; ++i)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (waitpid(pid, nullptr, WNOHANG) == pid)
                break;
            screen = grabRoot(d, c.width, c.height);
            if (!screen.empty())
                best = std::min(best, differenceToPicture(screen, c.width, c.expected, picture));
        }
        EXPECT_LT(best, 8.0) << "the closing picture never filled the expected rectangle";
        if (best < 8.0)
        {
            EXPECT_LT(litOutside(screen, c.width, c.height, c.expected), 50) << "the bars are black";
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        XCloseDisplay(d);
    }
}

TEST(GLWindow, AWindowDestroyedByAnotherClientEndsThePieceWithOneLine)
{
    NEED_PROGRAM();
    XvfbServer x(1280, 1024);
    ASSERT_FALSE(x.Display().empty()) << x.Why();
    // Right at its creation (while SDL makes it, before and while the context is made), around the
    // moment it is mapped and shown (SDL waited forever for a window destroyed just before it
    // looked), and during play; windowed and full-screen, whose creation takes other steps.
    struct Case
    {
        int delayMs;
        const char* args;
    };
    for (const Case& k :
         {Case{0, "--windowed"}, Case{1, "--windowed"}, Case{2, "--windowed"}, Case{3, "--windowed"},
          Case{10, "--windowed"}, Case{2500, "--windowed"}, Case{0, "--fullscreen desktop"},
          Case{2, "--fullscreen desktop"}, Case{10, "--fullscreen desktop"}})
    {
        const int delayMs = k.delayMs;
        SCOPED_TRACE(std::string(k.args) + ", destroyed " + std::to_string(delayMs) +
                     " ms after it appeared");
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t killer = fork();
        if (killer == 0)
        {
            close(ready[0]);
            Display* d = XOpenDisplay(x.Display().c_str());
            if (!d)
                _exit(2);
            XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
            XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
            XSync(d, False);
            (void)!write(ready[1], "r", 1);
            for (;;)
            {
                XEvent e;
                XNextEvent(d, &e);
                // SDL makes a small probe window first; the piece's own is 1024 x 768.
                if (e.type == CreateNotify && e.xcreatewindow.width >= 640)
                {
                    usleep(static_cast<useconds_t>(delayMs) * 1000);
                    XDestroyWindow(d, e.xcreatewindow.window);
                    XSync(d, False);
                    _exit(0);
                }
            }
        }
        close(ready[1]); // a killer that could not start ends the read
        char c = 0;
        const bool started = read(ready[0], &c, 1) == 1;
        close(ready[0]);
        ASSERT_TRUE(started) << "the destroying client could not connect to " << x.Display();
        const ProgramRun r = run("DISPLAY=" + x.Display(), std::string(k.args) + " --start 121", 60);
        kill(killer, SIGKILL);
        waitpid(killer, nullptr, 0);
        EXPECT_FALSE(r.crashed) << r.output;
        EXPECT_FALSE(r.timedOut) << r.output;
        EXPECT_EQ(r.status, 1) << r.output;
        const std::string said = withoutAudioNotice(r.output);
        EXPECT_EQ(lines(said), 1) << said;
        EXPECT_NE(said.find("destroyed by another program"), std::string::npos) << said;
    }
}
