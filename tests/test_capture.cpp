// Capture mode end to end: exact seek, frame rates that agree, chunks that join into the whole,
// video files whose sound lasts as long as their pictures, and captures cut short that leave only
// whole files and can be resumed.
#include "app/PngFile.h"
#include "app/Resample.h"
#include "support/RunProgram.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace
{
std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

bool ready() { return !env("VQ_BINARY").empty() && !env("VQ_DATA_DIR").empty() && !env("DISPLAY").empty(); }

#define NEED_PROGRAM()                                                                                       \
    do                                                                                                       \
    {                                                                                                        \
        if (!ready())                                                                                        \
            GTEST_SKIP() << "VQ_BINARY, VQ_DATA_DIR or DISPLAY not set (run through ctest under Xvfb)";      \
    } while (0)

std::string tempDir(const std::string& tag)
{
    const std::string d = "/tmp/vq_capture_" + tag + "_" + std::to_string(getpid());
    std::system(("rm -rf '" + d + "'").c_str());
    return d;
}

// vqdemo --data <generated data> --capture <target> <args>; the exit status, output kept in `out`.
int capture(const std::string& target, const std::string& args, std::string* out = nullptr)
{
    const std::string log = "/tmp/vq_capture_log_" + std::to_string(getpid());
    const ProgramResult r =
        RunProgram("--data '" + env("VQ_DATA_DIR") + "' --capture '" + target + "' " + args, log);
    std::remove(log.c_str());
    if (out)
        *out = r.output;
    if (r.status != 0)
        std::printf("%s\n", r.output.c_str());
    return r.status;
}

std::string frame(const std::string& dir, int n)
{
    char name[40];
    std::snprintf(name, sizeof name, "/frame_%05d.png", n);
    return ReadWholeFile(dir + name);
}

bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The samples of a capture's WAV, without its header.
std::string wavData(const std::string& dir) { return ReadWholeFile(dir + "/audio.wav").substr(44); }

bool haveFfmpeg()
{
    return std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") == 0;
}

// Runs a shell command and returns what it printed.
std::string shell(const std::string& command)
{
    std::string out;
    if (FILE* p = popen(command.c_str(), "r"))
    {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

double probe(const std::string& file, const char* stream, const char* entry)
{
    const std::string v = shell("ffprobe -v error -select_streams " + std::string(stream) +
                                " -show_entries stream=" + entry + " -of default=nw=1:nk=1 '" + file + "'");
    return v.empty() ? -1.0 : std::atof(v.c_str());
}
} // namespace

TEST(CaptureSeek, FramesFromAStartEqualThoseOfTheWholeRun)
{
    NEED_PROGRAM();
    // The whole piece up to the dance at one frame a second; then single frames from --start.
    const std::string whole = tempDir("whole"), vortex = tempDir("seek_vortex"),
                      dance = tempDir("seek_dance");
    ASSERT_EQ(capture(whole, "--fps 1 --until 86 --seed 5"), 0);
    ASSERT_EQ(capture(vortex, "--fps 1 --start 67 --frames 1 --seed 5"), 0);
    ASSERT_EQ(capture(dance, "--fps 1 --start 85 --frames 1 --seed 5"), 0);
    ASSERT_FALSE(frame(whole, 67).empty());
    EXPECT_TRUE(frame(vortex, 0) == frame(whole, 67)) << "the vortex at 67 s reached by seeking";
    EXPECT_TRUE(frame(dance, 0) == frame(whole, 85)) << "the dance at 85 s reached by seeking";
    EXPECT_TRUE(frame(whole, 66) != frame(whole, 67)) << "the comparison can tell frames apart";
    std::system(("rm -rf '" + whole + "' '" + vortex + "' '" + dance + "'").c_str());
}

TEST(CaptureRates, ThirtyFramesASecondAreEverySecondFrameOfSixty)
{
    NEED_PROGRAM();
    const std::string a = tempDir("thirty"), b = tempDir("sixty");
    ASSERT_EQ(capture(a, "--fps 30 --start 62 --frames 4 --seed 2"), 0);
    ASSERT_EQ(capture(b, "--fps 60 --start 62 --frames 8 --seed 2"), 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(frame(a, i) == frame(b, 2 * i)) << "frame " << i << " at 30 fps, " << 2 * i << " at 60";
    EXPECT_EQ(wavData(a), wavData(b)) << "the same span of sound";
    std::system(("rm -rf '" + a + "' '" + b + "'").c_str());
}

TEST(CaptureChunks, TwoChunksJoinedEqualOneCapture)
{
    NEED_PROGRAM();
    const std::string one = tempDir("one"), c1 = tempDir("chunk1"), c2 = tempDir("chunk2"),
                      c3 = tempDir("chunk3");
    ASSERT_EQ(capture(one, "--fps 30 --start 61 --frames 6 --seed 4"), 0);
    // Split on time (--until, then --start) and on frame number (--from-frame).
    ASSERT_EQ(capture(c1, "--fps 30 --start 61 --until 61.1 --seed 4"), 0);
    ASSERT_EQ(capture(c2, "--fps 30 --start 61.1 --frames 3 --seed 4"), 0);
    ASSERT_EQ(capture(c3, "--fps 30 --start 61 --from-frame 3 --frames 3 --seed 4"), 0);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_TRUE(frame(c1, i) == frame(one, i)) << "first chunk, frame " << i;
        EXPECT_TRUE(frame(c2, i) == frame(one, 3 + i)) << "second chunk by time, frame " << i;
        EXPECT_TRUE(frame(c3, 3 + i) == frame(one, 3 + i)) << "second chunk by number, frame " << 3 + i;
    }
    EXPECT_FALSE(exists(c1 + "/frame_00003.png")) << "--until ends the chunk before 61.1 s";
    EXPECT_EQ(wavData(c1) + wavData(c2), wavData(one));
    EXPECT_EQ(wavData(c1) + wavData(c3), wavData(one));

    if (haveFfmpeg())
    {
        // Lossless video chunks joined by ffmpeg's concat demuxer decode to the single capture.
        const std::string dir = tempDir("mkv");
        std::system(("mkdir -p '" + dir + "'").c_str());
        ASSERT_EQ(capture(dir + "/one.mkv", "--lossless --fps 30 --start 61 --frames 6 --seed 4"), 0);
        ASSERT_EQ(capture(dir + "/a.mkv", "--lossless --fps 30 --start 61 --frames 3 --seed 4"), 0);
        ASSERT_EQ(
            capture(dir + "/b.mkv", "--lossless --fps 30 --start 61 --from-frame 3 --frames 3 --seed 4"), 0);
        shell("cd '" + dir +
              "' && printf \"file 'a.mkv'\\nfile 'b.mkv'\\n\" > list.txt && ffmpeg -v error -f concat "
              "-safe 0 -i list.txt -c copy joined.mkv");
        const auto md5 = [&](const std::string& f, const char* what)
        {
            return shell("ffmpeg -v error -i '" + dir + "/" + f + "' -map 0:" + what +
                         " -f streamhash -hash md5 - 2>&1");
        };
        const std::string video = md5("one.mkv", "v");
        EXPECT_FALSE(video.empty());
        EXPECT_EQ(md5("joined.mkv", "v"), video);
        EXPECT_EQ(md5("joined.mkv", "a"), md5("one.mkv", "a"));
        std::system(("rm -rf '" + dir + "'").c_str());
    }
    std::system(("rm -rf '" + one + "' '" + c1 + "' '" + c2 + "' '" + c3 + "'").c_str());
}

TEST(CaptureVideo, SoundLastsAsLongAsThePictures)
{
    NEED_PROGRAM();
    if (!haveFfmpeg())
        GTEST_SKIP() << "no ffprobe to measure with";
    const std::string dir = tempDir("video");
    std::system(("mkdir -p '" + dir + "'").c_str());
    // 45 frames of 30000/1001 are 1.5015 s: 66216.15 samples, rounded to 66216.
    ASSERT_EQ(capture(dir + "/a.mp4", "--fps 30000/1001 --start 70 --frames 45 --seed 1"), 0);
    ASSERT_EQ(capture(dir + "/b.mkv", "--lossless --fps 30000/1001 --start 70 --frames 45 --seed 1"), 0);
    for (const char* f : {"/a.mp4", "/b.mkv"})
    {
        const std::string file = dir + f;
        EXPECT_EQ(shell("ffprobe -v error -select_streams v -show_entries stream=r_frame_rate -of "
                        "default=nw=1:nk=1 '" +
                        file + "'"),
                  "30000/1001\n")
            << f;
        EXPECT_EQ(probe(file, "v", "nb_read_frames -count_frames"), 45) << f;
    }
    // Matroska keeps no per-stream duration; count the decoded samples instead.
    const std::string samples = shell("ffmpeg -v error -i '" + dir + "/b.mkv' -map 0:a -f s16le - | wc -c");
    EXPECT_EQ(std::atol(samples.c_str()), 66216L * 4) << "the lossless sound, sample for sample";
    // AAC codes blocks of 1024 samples; MP4's edit list trims its padding to within one block (this
    // ffmpeg's own encoder of a WAV of this length lands 22 samples short, as ours does).
    const double mp4Audio = probe(dir + "/a.mp4", "a", "duration");
    EXPECT_NEAR(mp4Audio, 66216.0 / 44100.0, 1024.0 / 44100.0);
    EXPECT_NEAR(probe(dir + "/a.mp4", "v", "duration"), 45 * 1001.0 / 30000.0, 1e-6);
    EXPECT_EQ(shell("ffprobe -v error -select_streams v -show_entries stream=color_space,color_primaries,"
                    "color_transfer -of default=nw=1:nk=1 '" +
                    dir + "/a.mp4'"),
              "bt709\nbt709\nbt709\n");
    std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(CaptureInterrupt, CtrlCLeavesWholeFilesAndResumeGoesOn)
{
    NEED_PROGRAM();
    const std::string cut = tempDir("cut"), whole = tempDir("uncut");
    const std::string args = "--fps 30 --start 63 --frames 40 --seed 6";
    const pid_t pid = fork();
    if (pid == 0)
    {
        const std::string cmd = "exec '" + env("VQ_BINARY") + "' --data '" + env("VQ_DATA_DIR") +
                                "' --capture '" + cut + "' " + args + " > /dev/null 2>&1";
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 600 && !exists(cut + "/frame_00004.png"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130) << "an interrupted capture does not look finished";
    int complete = 0;
    while (!frame(cut, complete).empty())
        ++complete;
    EXPECT_GE(complete, 5);
    EXPECT_LT(complete, 40);
    EXPECT_EQ(shell("ls '" + cut + "' | grep -c part"), "0\n") << "no half-written picture is left";
    // The sound is exactly that of the complete frames: 1470 samples each at 30 fps.
    EXPECT_EQ(wavData(cut).size(), static_cast<std::size_t>(complete) * 1470 * 4);

    std::string said;
    EXPECT_EQ(capture(cut, args, &said), 1) << "a folder holding a capture is not written over unasked";
    EXPECT_NE(said.find("--resume"), std::string::npos) << said;
    ASSERT_EQ(capture(cut, args + " --resume"), 0);
    ASSERT_EQ(capture(whole, args), 0);
    for (int i = 0; i < 40; ++i)
        EXPECT_TRUE(frame(cut, i) == frame(whole, i)) << "frame " << i;
    EXPECT_EQ(ReadWholeFile(cut + "/audio.wav"), ReadWholeFile(whole + "/audio.wav"));
    std::system(("rm -rf '" + cut + "' '" + whole + "'").c_str());
}

TEST(CaptureDiskFull, StopsWithWholeFilesAndSaysHowManyAreComplete)
{
    NEED_PROGRAM();
    // A small file system of its own fills after a few pictures (about 1 MB each).
    const std::string mnt = tempDir("full");
    std::system(("mkdir -p '" + mnt + "'").c_str());
    if (geteuid() != 0 ||
        std::system(("mount -t tmpfs -o size=3m tmpfs '" + mnt + "' 2>/dev/null").c_str()) != 0)
    {
        std::system(("rmdir '" + mnt + "'").c_str());
        GTEST_SKIP() << "cannot mount a small file system here (needs root)";
    }
    std::string said;
    EXPECT_EQ(capture(mnt + "/out", "--fps 30 --start 64 --frames 20 --seed 3", &said), 1);
    EXPECT_NE(said.find("frames are complete"), std::string::npos) << said;
    EXPECT_EQ(shell("ls '" + mnt + "/out' | grep -c part"), "0\n") << "the partial picture is removed";
    int complete = 0;
    while (!frame(mnt + "/out", complete).empty())
        ++complete;
    EXPECT_LT(complete, 20);
    const std::string wav = ReadWholeFile(mnt + "/out/audio.wav");
    ASSERT_GE(wav.size(), 44u);
    const auto le32 = [&](std::size_t at)
    {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(wav[at])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(wav[at + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(wav[at + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(wav[at + 3])) << 24;
    };
    EXPECT_EQ(le32(40), wav.size() - 44) << "the WAV's header matches what it holds";
    EXPECT_EQ(wav.size() - 44, static_cast<std::size_t>(complete) * 1470 * 4)
        << "the sound of the complete frames";
    std::system(("umount '" + mnt + "' && rmdir '" + mnt + "'").c_str());
}

namespace
{
std::vector<std::uint8_t> pixels(const std::string& dir, int n, int& w, int& h)
{
    char name[40];
    std::snprintf(name, sizeof name, "/frame_%05d.png", n);
    std::vector<std::uint8_t> rgb;
    std::string error;
    EXPECT_TRUE(ReadPng(dir + name, w, h, rgb, error)) << error;
    return rgb;
}

double psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    double se = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        se += (static_cast<double>(a[i]) - b[i]) * (static_cast<double>(a[i]) - b[i]);
    const double mse = se / static_cast<double>(a.size());
    return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99.0;
}
} // namespace

TEST(CaptureQuality, TwiceTheSizeReducedIsCloseToTheUsualPicture)
{
    NEED_PROGRAM();
    // A moment of each scene, at 1024 x 768 and at 2048 x 1536 (every target twice as large).
    for (const char* start : {"30", "64", "100"})
    {
        const std::string one = tempDir(std::string("k1_") + start),
                          two = tempDir(std::string("k2_") + start);
        ASSERT_EQ(capture(one, std::string("--fps 30 --frames 1 --seed 8 --start ") + start), 0);
        ASSERT_EQ(capture(two, std::string("--fps 30 --frames 1 --seed 8 --size 2048x1536 --start ") + start),
                  0);
        int w = 0, h = 0, w2 = 0, h2 = 0;
        const auto small = pixels(one, 0, w, h), large = pixels(two, 0, w2, h2);
        ASSERT_EQ(w2, 2 * w);
        ASSERT_EQ(h2, 2 * h);
        LinearAccumulator reduce;
        reduce.Reset(w, h);
        reduce.Add(large, 2);
        std::vector<std::uint8_t> reduced;
        reduce.Result(reduced);
        const double db = psnr(small, reduced);
        std::printf("at %s s: the 2048 x 1536 picture reduced to 1024 x 768 is %.1f dB from the usual one\n",
                    start, db);
        // The same picture, sharper: edges differ by a pixel's coverage, nothing moves or changes colour.
        EXPECT_GT(db, 27.0) << start << " s";
        std::system(("rm -rf '" + one + "' '" + two + "'").c_str());
    }
}

TEST(CaptureQuality, AShutterFrameIsTheMeanOfTheFramesOfAFasterCapture)
{
    NEED_PROGRAM();
    const std::string blurred = tempDir("shutter"), fast = tempDir("fast");
    ASSERT_EQ(capture(blurred, "--fps 30 --start 65 --frames 3 --seed 9 --shutter 2"), 0);
    ASSERT_EQ(capture(fast, "--fps 60 --start 65 --frames 6 --seed 9"), 0);
    for (int f = 0; f < 3; ++f)
    {
        int w = 0, h = 0;
        LinearAccumulator mean;
        mean.Reset(1024, 768);
        mean.Add(pixels(fast, 2 * f, w, h), 1);
        mean.Add(pixels(fast, 2 * f + 1, w, h), 1);
        std::vector<std::uint8_t> expected;
        mean.Result(expected);
        EXPECT_TRUE(pixels(blurred, f, w, h) == expected) << "frame " << f;
    }
    EXPECT_EQ(wavData(blurred), wavData(fast)) << "the sound does not care for the shutter";
    std::system(("rm -rf '" + blurred + "' '" + fast + "'").c_str());
}

TEST(CaptureGuards, RefusedStartsAndLengthsThatEnd)
{
    NEED_PROGRAM();
    const std::string dir = tempDir("guards");
    std::string said;
    EXPECT_EQ(capture(dir, "--fps 30 --start 126", &said), 2) << said;
    EXPECT_EQ(capture(dir, "--fps 30 --start 127.5", &said), 2) << said;
    // One frame every five seconds: the clock must still end the capture at the end of the piece.
    ASSERT_EQ(capture(dir, "--fps 0.2 --start 100 --seed 1", &said), 0);
    EXPECT_NE(said.find("captured 6 frames"), std::string::npos) << said; // 100, 105, ..., 125
    std::system(("rm -rf '" + dir + "'").c_str());
}
