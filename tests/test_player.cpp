// The program as a user runs it: options, data folder faults, a run that ends by itself, capture.
#include "app/PngFile.h"
#include "support/RunProgram.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace
{
std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

using Result = ProgramResult;

// Runs the program with arguments (shell words), capturing standard output and error together.
Result run(const std::string& args)
{
    const std::string log = "/tmp/vq_player_" + std::to_string(getpid()) + ".txt";
    Result r = RunProgram(args, log);
    std::remove(log.c_str());
    return r;
}

std::string tempDir(const char* tag)
{
    std::string d = "/tmp/vq_player_" + std::string(tag) + "_" + std::to_string(getpid());
    std::system(("rm -rf '" + d + "' && mkdir -p '" + d + "'").c_str());
    return d;
}

// A data folder that links every file of the real one except `without`.
std::string dataDirWithout(const std::string& without, const char* tag)
{
    const std::string d = tempDir(tag);
    EXPECT_EQ(std::system(("cp -as '" + env("VQ_DATA_DIR") + "/.' '" + d + "/'").c_str()), 0);
    std::remove((d + "/" + without).c_str());
    return d;
}

bool haveDisplay() { return !env("DISPLAY").empty(); }

} // namespace

TEST(Player, HelpAndUnknownOption)
{
    Result r = run("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("--capture"), std::string::npos);
    r = run("--frobnicate");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("unknown option \"--frobnicate\""), std::string::npos);
    // One line that says where to look, not the whole usage text.
    EXPECT_NE(r.output.find("try --help"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("usage:"), std::string::npos) << r.output;
    EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
}

TEST(Player, MissingFilesAreListedBeforeTheWindowOpens)
{
    const std::string d = dataDirWithout("slutt.jpg", "missing");
    const Result r = run("--data '" + d + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("slutt.jpg"), std::string::npos) << r.output;
    std::system(("rm -rf '" + d + "'").c_str());
}

TEST(Player, MissingPartOfTheCharacterIsListed)
{
    // The character's parts are named inside its part list, and are checked as well.
    const std::string d = dataDirWithout("MrKalv/head.khlf", "missingpart");
    const Result r = run("--data '" + d + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("MrKalv/head.khlf"), std::string::npos) << r.output;
    std::system(("rm -rf '" + d + "'").c_str());
}

TEST(Player, UndecodableMusicStopsWithItsName)
{
    const std::string d = dataDirWithout("vqmusikk_best4.mp3", "badmusic");
    {
        std::ofstream f(d + "/vqmusikk_best4.mp3", std::ios::binary);
        for (int i = 0; i < 4000; ++i)
            f.put(static_cast<char>((i * 31) & 0x7F));
    }
    const Result r = run("--data '" + d + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("vqmusikk_best4.mp3"), std::string::npos) << r.output;
    std::system(("rm -rf '" + d + "'").c_str());
}

TEST(Player, EndsByItselfAfterTheClosingPicture)
{
    if (!haveDisplay())
        GTEST_SKIP() << "no display";
    const Result r = run("--windowed --start 125.5");
    EXPECT_EQ(r.status, 0) << r.output;
}

TEST(Player, CaptureWritesFramesAndTheirAudio)
{
    const std::string d = tempDir("capture");
    const Result r = run("--capture '" + d + "' --fps 10 --start 123.5 --frames 3 --seed 5");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("ffmpeg"), std::string::npos);
    EXPECT_NE(r.output.find("closing picture"), std::string::npos) << r.output;
    for (int f = 0; f < 3; ++f)
    {
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%05d.png", f);
        int w = 0, h = 0;
        std::vector<std::uint8_t> rgb;
        std::string error;
        ASSERT_TRUE(ReadPng(d + name, w, h, rgb, error)) << error;
        EXPECT_EQ(w, 1024);
        EXPECT_EQ(h, 768);
    }
    struct stat st;
    EXPECT_NE(stat((d + "/frame_00003.png").c_str(), &st), 0);
    // Exactly the captured span: 3 frames at 10 fps = 0.3 s of 16-bit stereo after a 44-byte header.
    ASSERT_EQ(stat((d + "/audio.wav").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 44 + 13230 * 4);
    std::system(("rm -rf '" + d + "'").c_str());
}

TEST(Player, CapturesWithTheSameSeedAreIdentical)
{
    const std::string a = tempDir("seedA"), b = tempDir("seedB");
    ASSERT_EQ(run("--capture '" + a + "' --fps 5 --start 60 --frames 2 --seed 77").status, 0);
    ASSERT_EQ(run("--capture '" + b + "' --fps 5 --start 60 --frames 2 --seed 77").status, 0);
    for (const char* f : {"/frame_00000.png", "/frame_00001.png", "/audio.wav"})
    {
        const std::string x = ReadWholeFile(a + f), y = ReadWholeFile(b + f);
        EXPECT_FALSE(x.empty()) << f;
        EXPECT_TRUE(x == y) << f << " differs";
    }
    std::system(("rm -rf '" + a + "' '" + b + "'").c_str());
}

// Against a PulseAudio of the test's own that stops answering (SIGSTOP): the piece must neither
// hang before its first frame nor at the end, whatever the server does.
#if VQ_TEST_PULSE
#include "support/PulseMonitor.h"
#include "support/PulseServer.h"

#include <signal.h>

#include <chrono>

namespace
{
double since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A server, and a recorder on it so that its null sink keeps time at a short latency.
bool privateSound(PulseServer& server, PulseMonitor& monitor, std::string& why)
{
    return server.Start(why) && monitor.Start(server.Server(), PulseServer::Monitor(), why);
}

// Waits up to `seconds` for the program (killed if it does not end), lets the stalled server go
// on, and gives the program's exit status, how long it took since t0, and what it printed.
int endAgainstStalledServer(int pid, int seconds, std::chrono::steady_clock::time_point t0,
                            PulseServer& server, const std::string& log, double& took, std::string& out)
{
    const int status = WaitProgram(pid, seconds);
    took = since(t0);
    if (status == -2)
        kill(pid, SIGKILL);
    server.Resume();
    out = ReadWholeFile(log);
    std::remove(log.c_str());
    return status;
}
} // namespace

TEST(Player, SigtermEndsLivePlayPromptlyWhileTheSoundServerIsStalled)
{
    if (!haveDisplay())
        GTEST_SKIP() << "no display";
    PulseServer server;
    PulseMonitor monitor;
    std::string why;
    if (!privateSound(server, monitor, why))
        GTEST_SKIP() << "no private sound server: " << why;
    const std::string log = "/tmp/vq_player_stall_" + std::to_string(getpid()) + ".txt";
    const int pid = StartProgram(server.ShellEnv(), "--windowed --start 100", log);
    // Playing for a while (loading takes a few seconds), then the server stops answering.
    usleep(6000000);
    server.Pause();
    usleep(1000000);
    const auto t0 = std::chrono::steady_clock::now();
    kill(pid, SIGTERM);
    double took = 0;
    std::string out;
    const int status = endAgainstStalledServer(pid, 10, t0, server, log, took, out);
    EXPECT_EQ(status, 0) << out;
    EXPECT_LT(took, 2.0) << out;
    // Stalled while it played, or (on a slow machine) while it was still loading.
    EXPECT_TRUE(out.find("the sound stopped") != std::string::npos ||
                out.find("does not answer") != std::string::npos)
        << out;
}

TEST(Player, AServerStalledAtLaunchHoldsUpNeitherTheFirstFrameNorTheEnd)
{
    if (!haveDisplay())
        GTEST_SKIP() << "no display";
    PulseServer server;
    PulseMonitor monitor;
    std::string why;
    if (!privateSound(server, monitor, why))
        GTEST_SKIP() << "no private sound server: " << why;
    server.Pause();
    // Half a second before the end: it ends by itself, with the sound device never answering.
    const auto t0 = std::chrono::steady_clock::now();
    const std::string log = "/tmp/vq_player_launch_" + std::to_string(getpid()) + ".txt";
    const int pid = StartProgram(server.ShellEnv(), "--windowed --start 125.5", log);
    double took = 0;
    std::string out;
    const int status = endAgainstStalledServer(pid, 30, t0, server, log, took, out);
    EXPECT_EQ(status, 0) << out;
    EXPECT_LT(took, 20.0) << out;
    EXPECT_NE(out.find("does not answer"), std::string::npos) << out;
    std::printf("ended by itself %.1f s after launch\n", took);
}
#endif
