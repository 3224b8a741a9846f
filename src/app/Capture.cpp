#include "app/Capture.h"

#include "app/CaptureSink.h"
#include "app/PngFile.h"
#include "app/Resample.h"
#include "app/platform/CDemoHandler.h"
#include "app/platform/Clock.h"
#include "app/platform/GLWindow.h"
#include "app/platform/PictureReader.h"
#include "app/platform/Timeline.h"
#include "audio/CBass.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace
{
volatile std::sig_atomic_t g_signal = 0;

void onSignal(int s) { g_signal = s; }

// Ctrl-C and SIGTERM end the capture after the frame being drawn, not in the middle of a file.
void catchSignals()
{
    struct sigaction a;
    std::memset(&a, 0, sizeof a);
    a.sa_handler = onSignal;
    sigemptyset(&a.sa_mask);
    sigaction(SIGINT, &a, nullptr);
    sigaction(SIGTERM, &a, nullptr);
}

const char* slotName(CDemoHandler::Slot s)
{
    switch (s)
    {
    case CDemoHandler::Slot::Landscape:
        return "landscape";
    case CDemoHandler::Slot::Vortex:
        return "vortex";
    case CDemoHandler::Slot::Dance:
        return "dance";
    case CDemoHandler::Slot::Outro:
        return "closing picture";
    default:
        return "none";
    }
}

bool isDir(const std::string& p)
{
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& p)
{
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool makeDirs(const std::string& dir)
{
    std::string partial;
    for (std::size_t i = 0; i <= dir.size(); ++i)
    {
        if ((i == dir.size() || dir[i] == '/') && !partial.empty())
            mkdir(partial.c_str(), 0755);
        if (i < dir.size())
            partial += dir[i];
    }
    return isDir(dir);
}

std::string frameFile(const std::string& dir, std::uint64_t frame)
{
    char name[40];
    std::snprintf(name, sizeof name, "/frame_%05" PRIu64 ".png", frame);
    return dir + name;
}

// What a capture folder records of the capture that made it, so --resume goes on with the same.
std::string manifestOf(const Options& o)
{
    std::ostringstream m;
    m << "fps=" << o.fps.num << "/" << o.fps.den << "\nstart=" << o.start
      << "\nseed=" << (o.haveSeed ? o.seed : 0) << (o.haveSeed ? "" : " (calendar)")
      << "\nsize=" << (o.sizeW ? o.sizeW : 1024) << "x" << (o.sizeH ? o.sizeH : 768)
      << "\nsupersample=" << o.supersample << "\nshutter=" << o.shutter << " over " << o.shutterAngle.num
      << "/" << o.shutterAngle.den << " degrees\n";
    return m.str();
}

std::string quoted(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The sound of frames [from, to) of the capture, from the decoded track; silence past its end.
std::vector<std::int16_t> soundOf(std::uint64_t from, std::uint64_t to)
{
    const PcmTrack& track = bass.Track();
    const std::uint64_t a = vqclock::captureSample(from), b = vqclock::captureSample(to);
    std::vector<std::int16_t> out(static_cast<std::size_t>(b - a) * 2, 0);
    for (std::uint64_t s = a; s < b && s < track.frames(); ++s)
    {
        out[static_cast<std::size_t>(s - a) * 2] = track.samples[static_cast<std::size_t>(s) * 2];
        out[static_cast<std::size_t>(s - a) * 2 + 1] = track.samples[static_cast<std::size_t>(s) * 2 + 1];
    }
    return out;
}

// The progress line, rewritten in place on a terminal: frame n of N, music time, scene, speed and
// the time left.
class Progress
{
public:
    Progress(std::uint64_t firstFrame, std::uint64_t endFrame)
        : tty(isatty(2) != 0), first(firstFrame), total(endFrame), started(vqclock::monotonicMicros())
    {
    }

    void Show(std::uint64_t done, const char* scene, bool force = false)
    {
        if (!tty)
            return;
        const std::int64_t now = vqclock::monotonicMicros();
        if (!force && now - shown < 250000)
            return;
        shown = now;
        const double seconds = static_cast<double>(now - started) / 1e6;
        const double rate = seconds > 0 ? static_cast<double>(done - first) / seconds : 0.0;
        const double left = rate > 0 ? static_cast<double>(total - std::min(total, done)) / rate : 0.0;
        std::fprintf(stderr,
                     "\rframe %" PRIu64 "/%" PRIu64 "  music %7.2f s  %-15s %6.1f frames/s  %3d:%02d left ",
                     done, total, vqclock::captureMusicSeconds(), scene, rate, static_cast<int>(left) / 60,
                     static_cast<int>(left) % 60);
    }

    void End()
    {
        if (tty && shown)
            std::fprintf(stderr, "\n");
    }

    double Seconds() const { return static_cast<double>(vqclock::monotonicMicros() - started) / 1e6; }

private:
    bool tty;
    std::uint64_t first, total;
    std::int64_t started, shown = 0;
};

struct SceneStats
{
    long frames = 0;
    double micros = 0;
};

// One drawn frame on its way to the sink: its picture is read back later, or, for a frame exactly
// on a boundary (which draws nothing), is the previous picture again, so frame numbers stay in step
// with music time.
struct Pending
{
    std::uint64_t frame;
    bool drawn;
};
} // namespace

std::uint64_t CaptureEnd(const Options& o)
{
    vqclock::enterCapture(o.fps, o.start, o.haveSeed, o.seed);
    const std::uint64_t endSample =
        static_cast<std::uint64_t>(std::llround(timeline::kEnd * timeline::kTrackRate));
    const double until = o.until >= 0 ? o.until : 1e18;
    const std::uint64_t first = static_cast<std::uint64_t>(o.fromFrame);
    std::uint64_t n = first;
    while (true)
    {
        if (o.frames >= 0 && n >= first + static_cast<std::uint64_t>(o.frames))
            break;
        const std::uint64_t s = vqclock::captureSample(n);
        // The piece is over at 126 s: a frame there would belong to no scene.
        if (s >= endSample || static_cast<double>(s) / timeline::kTrackRate >= until)
            break;
        ++n;
    }
    return n;
}

bool PrepareCapture(const Options& o, const std::string& target, std::uint64_t& firstFrame,
                    std::string& error)
{
    firstFrame = static_cast<std::uint64_t>(o.fromFrame);
    if (o.renderOnly || IsVideoName(target))
    {
        if (o.resume)
        {
            error = "--resume continues a capture into a folder of PNG files";
            return false;
        }
        return true;
    }
    if (!makeDirs(target))
    {
        error = "cannot create the capture folder \"" + target + "\"";
        return false;
    }
    const bool holdsFrames = isFile(frameFile(target, firstFrame)) || isFile(target + "/audio.wav");
    if (o.resume)
    {
        std::ifstream in(target + "/capture.txt");
        std::stringstream was;
        was << in.rdbuf();
        if (!in || was.str() != manifestOf(o))
        {
            error = "--resume: \"" + target + "/capture.txt\" " +
                    (in ? "records another capture:\n" + was.str() : std::string("is missing")) +
                    "(give the same --fps, --start and --seed)";
            return false;
        }
        while (isFile(frameFile(target, firstFrame)))
            ++firstFrame;
    }
    else if (holdsFrames && !o.overwrite)
    {
        error =
            "\"" + target + "\" already holds a capture (give --overwrite to replace it, --resume to go on)";
        return false;
    }
    else if (holdsFrames)
    {
        // The new capture may be shorter: no frame of the old one may stay behind to mix in.
        for (std::uint64_t f = 0; isFile(frameFile(target, f)) || f < firstFrame; ++f)
            std::remove(frameFile(target, f).c_str());
        std::remove((target + "/audio.wav").c_str());
    }
    std::ofstream(target + "/capture.txt") << manifestOf(o);
    return true;
}

int RunCapture(CDemoHandler& demo, const Options& o, const std::string& target, std::uint64_t firstFrame)
{
    const std::uint64_t total = CaptureEnd(o), from = static_cast<std::uint64_t>(o.fromFrame);
    vqclock::enterCapture(o.fps, o.start, o.haveSeed, o.seed);
    vqclock::setShutter(o.shutter, o.shutterAngle);
    // Supersampled pictures are drawn larger and reduced to the frame's size.
    const int ss = o.supersample;
    CaptureFormat format;
    format.width = glWindow.PictureWidth() / ss;
    format.height = glWindow.PictureHeight() / ss;
    format.fps = o.fps;
    format.lossless = o.lossless;
    std::string error;
    std::unique_ptr<CaptureSink> sink;
    if (o.renderOnly)
        sink = MakeNullSink();
    else if (IsVideoName(target))
        sink = MakeVideoSink(target, format, error);
    else
    {
        // A resumed capture's WAV starts again with the sound of the frames already there.
        const std::vector<std::int16_t> prefix = soundOf(from, firstFrame);
        sink = MakeFolderSink(target, format, firstFrame, prefix.data(), prefix.size() / 2, error);
    }
    if (!sink)
    {
        std::fprintf(stderr, "capture: %s\n", error.c_str());
        return 1;
    }
    catchSignals();

    // A plain frame is one picture, read back while the next is drawn; a supersampled or blurred
    // one is the mean of its pictures in linear light.
    const bool plain = ss == 1 && o.shutter == 1;
    PictureReader reader;
    const bool async = plain && !o.renderOnly && reader.Init(format.width, format.height);
    LinearAccumulator mean;
    std::vector<std::uint8_t> big;
    std::deque<Pending> pending;
    std::vector<std::uint8_t> last(static_cast<std::size_t>(format.width) * format.height * 3, 0), picture;
    std::map<CDemoHandler::Slot, SceneStats> stats;
    std::vector<CDemoHandler::Slot> order;
    Progress progress(firstFrame, total);
    bool ok = true, windowClosed = false;

    // Hands the oldest frames to the sink, keeping `keep` read-backs in flight.
    const auto deliver = [&](int keep)
    {
        while (ok && !pending.empty() && (!pending.front().drawn || reader.Pending() > keep || !async))
        {
            const Pending p = pending.front();
            pending.pop_front();
            if (p.drawn && async)
            {
                std::uint64_t tag = 0;
                if (reader.Collect(tag, picture))
                    last = picture;
            }
            const std::vector<std::int16_t> sound = soundOf(p.frame, p.frame + 1);
            std::vector<std::uint8_t> copy = last;
            ok = sink->Put(p.frame, std::move(copy), sound.data(), sound.size() / 2);
        }
    };

    std::uint64_t frame = firstFrame;
    for (; ok && frame < total && !g_signal; ++frame)
    {
        vqclock::setCaptureFrame(frame);
        bool quit = false;
        while (glWindow.HandleOneEvent(quit))
        {
        }
        if (quit)
        {
            windowClosed = true;
            break;
        }
        const std::int64_t t0 = vqclock::monotonicMicros();
        bool over = false, drawn = false;
        mean.Reset(format.width, format.height);
        for (int sub = 0; sub < o.shutter && !over; ++sub)
        {
            vqclock::setCaptureFrame(frame, sub);
            over = demo.Run();
            if (over || !demo.Presented())
                continue; // a picture on a boundary draws nothing and counts for nothing
            drawn = true;
            if (async)
                reader.Request(frame);
            else if (!o.renderOnly && plain)
                glWindow.ReadPicture(last);
            else if (!o.renderOnly)
            {
                glWindow.ReadPicture(big);
                mean.Add(big, ss);
            }
        }
        if (over)
            break;
        if (drawn)
        {
            SceneStats& s = stats[demo.LastSlot()];
            if (s.frames++ == 0)
                order.push_back(demo.LastSlot());
            s.micros += static_cast<double>(vqclock::monotonicMicros() - t0);
            if (!plain && !o.renderOnly)
                mean.Result(last);
        }
        // Only a read-back in flight is collected later; otherwise `last` holds the picture.
        pending.push_back({frame, drawn && async});
        deliver(PictureReader::kSlots - 1);
        progress.Show(frame + 1, slotName(demo.LastSlot()));
    }
    deliver(-1);
    const bool finished = sink->Finish() && ok;
    progress.Show(frame, slotName(demo.LastSlot()), true);
    progress.End();
    const std::uint64_t complete = sink->Complete();

    const double seconds = progress.Seconds();
    std::printf("captured %" PRIu64 " frames at %" PRId64 "/%" PRId64 " fps from %.3f s: %s\n", complete,
                o.fps.num, o.fps.den,
                static_cast<double>(vqclock::captureSample(firstFrame)) / timeline::kTrackRate,
                sink->Describe().c_str());
    if (firstFrame > from)
        std::printf("  (went on from frame %" PRIu64 "; frames %" PRIu64 " to %" PRIu64 " were there)\n",
                    firstFrame, from, firstFrame - 1);
    for (CDemoHandler::Slot s : order)
        std::printf("  %-16s %6ld frames, %8.1f ms per frame\n", slotName(s), stats[s].frames,
                    stats[s].micros / 1000.0 / static_cast<double>(stats[s].frames));
    std::printf("  in all %.1f s, %.1f frames per second\n", seconds,
                seconds > 0 ? static_cast<double>(complete) / seconds : 0.0);
    if (!o.renderOnly && !IsVideoName(target))
        std::printf("video: ffmpeg -framerate %" PRId64 "/%" PRId64 " -start_number %" PRIu64
                    " -i %s -i %s -c:v libx264 -preset slow -crf 18 -pix_fmt yuv420p -colorspace bt709 "
                    "-color_primaries bt709 -color_trc bt709 -color_range tv -c:a aac -b:a 256k %s\n",
                    o.fps.num, o.fps.den, from, quoted(target + "/frame_%05d.png").c_str(),
                    quoted(target + "/audio.wav").c_str(), quoted(target + "/capture.mp4").c_str());

    if (!finished)
    {
        std::fprintf(stderr, "capture: %s; %" PRIu64 " frames are complete\n", sink->Error().c_str(),
                     complete);
        return 1;
    }
    if (g_signal || windowClosed)
    {
        std::fprintf(stderr, "capture: %s; %" PRIu64 " frames are complete%s\n",
                     g_signal == SIGTERM ? "terminated"
                     : g_signal          ? "interrupted"
                                         : "the window was closed",
                     complete, IsVideoName(target) || o.renderOnly ? "" : " (go on with --resume)");
        return g_signal == SIGTERM ? 143 : g_signal == SIGINT ? 130 : 1;
    }
    return 0;
}
