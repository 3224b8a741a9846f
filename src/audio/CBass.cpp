#include "audio/CBass.h"

#include "app/platform/Clock.h"
#include "app/platform/Verbose.h"
#include "audio/AudioOutput.h"

#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

CBass bass;

using playback::DeviceReport;
using playback::PlaybackClock;
using playback::PlayRequest;

namespace
{
bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Whether any sound server or sound card could be there. Asking the sound libraries on a machine
// without either makes the ALSA library print a page of errors before they give up.
bool mayHaveAudio()
{
    if (std::getenv("SDL_AUDIODRIVER") || std::getenv("ALSOFT_DRIVERS") || std::getenv("PULSE_SERVER") ||
        exists("/dev/snd"))
        return true;
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"))
        return exists(std::string(run) + "/pulse/native") || exists(std::string(run) + "/pipewire-0");
    return false;
}

// How often the device thread reads the heard position: often enough that the frame loop's
// reading is never more than a couple of milliseconds old.
constexpr std::chrono::milliseconds kPollInterval(2);
// How long a device that went away is left before it is looked for again.
constexpr std::int64_t kReopenMicros = 1000000;
} // namespace

// What the frame loop and the device thread share. Either side holds the lock only to copy these
// fields, never while calling into a sound library.
struct CBass::Shared
{
    std::mutex lock;
    std::condition_variable wake;     // the thread: a new request, or quit
    std::condition_variable finished; // the frame loop: the thread is done
    std::shared_ptr<const PcmTrack> track;
    PlayRequest request; // frame loop -> thread
    bool quit = false;
    DeviceReport report; // thread -> frame loop
    std::string notice;  // a line for standard error, taken by the frame loop
    bool done = false;
    std::thread thread;

    void Publish(const DeviceReport& r, const std::string& line = std::string())
    {
        std::lock_guard<std::mutex> g(lock);
        report = r;
        if (!line.empty())
            notice = line;
    }
    bool Quitting()
    {
        std::lock_guard<std::mutex> g(lock);
        return quit;
    }
};

namespace
{
std::unique_ptr<AudioOutput> openOutput(const std::shared_ptr<const PcmTrack>& track, bool first,
                                        std::string& line)
{
    std::string whyAl, whySdl;
    if (auto out = OpenOpenAlOutput(track, whyAl))
    {
        if (g_verbose)
            line = "music: playing through " + out->Describe();
        return out;
    }
    if (auto out = OpenSdlOutput(track, whySdl))
    {
        if (first)
            line = "music: " + whyAl + "; playing through " + out->Describe();
        return out;
    }
    if (first)
        line = "music: no audio device (" + whyAl + "; " + whySdl + "); playing silently";
    return nullptr;
}
} // namespace

// Opens the device (again after it went away), carries out the clock's requests and publishes the
// heard position until told to quit. Any call here may block for as long as the sound server
// likes; the frame loop does not wait for it.
void CBass::DeviceThread(std::shared_ptr<Shared> s)
{
    using Device = DeviceReport::Device;
    std::unique_ptr<AudioOutput> out;
    bool everOpened = false, failed = false;
    std::int64_t nextOpen = 0;
    std::uint64_t applied = 0, reopenedFor = 0;
    DeviceReport r;
    const double trackFrames = static_cast<double>(s->track->frames());
    while (!s->Quitting())
    {
        if (!out && !failed && vqclock::monotonicMicros() >= nextOpen)
        {
            r.device = Device::Opening;
            r.haveSample = false;
            s->Publish(r);
            std::string line;
            out = openOutput(s->track, !everOpened, line);
            if (out)
            {
                everOpened = true;
                applied = 0;
                r.device = Device::Ready;
            }
            else if (!everOpened)
            {
                failed = true; // nothing to play on: the piece runs silently
                r.device = Device::Failed;
            }
            else
            {
                nextOpen = vqclock::monotonicMicros() + kReopenMicros;
                r.device = Device::Lost;
            }
            s->Publish(r, line);
        }
        if (out)
        {
            PlayRequest q;
            {
                std::lock_guard<std::mutex> g(s->lock);
                q = s->request;
            }
            if (q.reopen && q.serial != reopenedFor)
            {
                // Closed and opened again at once; the request is carried out on the new one.
                reopenedFor = q.serial;
                out.reset();
                nextOpen = 0;
                continue;
            }
            if (q.serial != 0 && q.serial != applied)
            {
                const double frame = q.fromStart ? q.frame
                                                 : playback::JoinTarget(q, vqclock::monotonicMicros(),
                                                                        out->LatencyFrames(), trackFrames);
                out->PlayFrom(frame);
                applied = q.serial;
            }
            if (!out->Connected())
            {
                out.reset();
                nextOpen = vqclock::monotonicMicros() + kReopenMicros;
                r.device = Device::Lost;
                r.haveSample = false;
                s->Publish(r);
                continue;
            }
            const std::int64_t before = vqclock::monotonicMicros();
            double heard = 0;
            const bool have = applied != 0 && out->Heard(heard);
            r.device = applied != 0 ? Device::Playing : Device::Ready;
            r.serial = applied;
            r.haveSample = have;
            r.heard = heard;
            r.sampleMicros = (before + vqclock::monotonicMicros()) / 2;
            s->Publish(r);
        }
        std::unique_lock<std::mutex> g(s->lock);
        s->wake.wait_for(g, kPollInterval, [&] { return s->quit || (out && s->request.serial != applied); });
    }
    out.reset();
    std::lock_guard<std::mutex> g(s->lock);
    s->done = true;
    s->finished.notify_all();
}

CBass::CBass() : track(std::make_shared<PcmTrack>()) {}

CBass::~CBass() { stop(); }

bool CBass::Open(const char* file, std::string& error)
{
    // OpenAL Soft writes its own complaints to standard error (a page of them while a server is
    // gone); the player says in one line what matters. A level the user set is kept. Set here,
    // at start-up, before other threads (the GL driver's, the device's) may read the environment.
    setenv("ALSOFT_LOGLEVEL", "0", 0);
    auto t = std::make_shared<PcmTrack>();
    if (!DecodeMp3(file, *t, error))
        return false;
    track = t;
    openedFile = file;
    return true;
}

void CBass::PrepareOutput()
{
    if (shared || noDevice || vqclock::captureMode() || track->frames() == 0)
        return;
    if (!mayHaveAudio())
    {
        noDevice = true;
        return;
    }
    shared = std::make_shared<Shared>();
    shared->track = track;
    shared->thread = std::thread(&CBass::DeviceThread, shared);
}

void CBass::start(const char* file)
{
    if (stream)
        return;
    if (openedFile != file)
    {
        std::string error;
        if (!Open(file, error))
        {
            std::fprintf(stderr, "music: %s\n", error.c_str());
            return;
        }
    }
    stream = 1;
    clock = PlaybackClock(static_cast<double>(track->frames()));
    const double startFrame =
        std::fmod(std::round(startSeconds * PcmTrack::kRate), static_cast<double>(track->frames()));
    clockFrame = startFrame;
    if (vqclock::captureMode())
        return;
    PrepareOutput();
    if (noDevice)
        std::fprintf(stderr, "music: no audio device on this machine; playing silently\n");
    clock.Start(startFrame, vqclock::monotonicMicros());
    if (noDevice)
    {
        DeviceReport failed;
        failed.device = DeviceReport::Device::Failed;
        clock.Update(failed, vqclock::monotonicMicros());
        clock.TakeEvent();
        return;
    }
    std::lock_guard<std::mutex> g(shared->lock);
    shared->request = clock.Request();
    sentSerial = clock.Request().serial;
    shared->wake.notify_one();
}

void CBass::SetPosition(double frame)
{
    const double frames = static_cast<double>(track->frames());
    double looped = std::fmod(std::floor(frame), frames);
    if (looped < 0)
        looped += frames;
    const std::size_t f = static_cast<std::size_t>(looped);
    bytePos = static_cast<std::uint64_t>(f) * PcmTrack::kChannels * 2;
    seconds = static_cast<float>(static_cast<double>(f) / PcmTrack::kRate);
    msecs = static_cast<int>(seconds * 1000.0f);
    spectrum.Compute(*track, f, fft);
}

void CBass::LiveReading(std::int64_t now)
{
    DeviceReport report;
    std::string notice;
    if (shared)
    {
        std::lock_guard<std::mutex> g(shared->lock);
        report = shared->report;
        notice.swap(shared->notice);
    }
    else
        report.device = DeviceReport::Device::Failed;
    if (!notice.empty())
        std::fprintf(stderr, "%s\n", notice.c_str());

    clockFrame = clock.Update(report, now);
    if (shared && clock.Request().serial != sentSerial)
    {
        std::lock_guard<std::mutex> g(shared->lock);
        shared->request = clock.Request();
        sentSerial = clock.Request().serial;
        shared->wake.notify_one();
    }
    switch (clock.TakeEvent())
    {
    case PlaybackClock::Event::None:
        break;
    case PlaybackClock::Event::NoDevice:
        break; // the device thread said why
    case PlaybackClock::Event::NoAnswer:
        std::fprintf(stderr, "music: the sound device does not answer; the picture goes on by the clock\n");
        break;
    case PlaybackClock::Event::Stalled:
        std::fprintf(stderr, "music: the sound stopped at %.3f s; the picture goes on by the clock\n",
                     clockFrame / PcmTrack::kRate);
        break;
    case PlaybackClock::Event::Lost:
        std::fprintf(stderr,
                     "music: the sound device went away at %.3f s; the picture goes on by the clock\n",
                     clockFrame / PcmTrack::kRate);
        break;
    case PlaybackClock::Event::Resumed:
        std::fprintf(stderr, "music: the sound is back at %.3f s\n", clockFrame / PcmTrack::kRate);
        break;
    }
}

void CBass::doThis()
{
    if (!stream)
        return;
    if (vqclock::captureMode())
    {
        SetPosition(static_cast<double>(vqclock::captureSample()));
        return;
    }
    const std::int64_t now = vqclock::monotonicMicros();
    LiveReading(now);
    readMicros = now;
    if (Silent())
    {
        // Without a device nothing is heard, so nothing is drawn ahead: the wall clock from start.
        SetPosition(clockFrame);
        return;
    }
    drawnFrame = playback::DrawPosition(clockFrame, lead.Micros(), avOffsetMs, drawnFrame);
    SetPosition(drawnFrame);
}

void CBass::FramePresented()
{
    if (!stream || vqclock::captureMode() || readMicros < 0)
        return;
    const std::int64_t now = vqclock::monotonicMicros();
    // A gap of more than a second is no frame interval (the loop was held up elsewhere).
    const std::int64_t since = presentMicros >= 0 && now - presentMicros < 1000000 ? now - presentMicros : 0;
    lead.Add(now - readMicros, since);
    presentMicros = now;
}

bool CBass::stop()
{
    stream = 0;
    if (!shared || abandoned)
        return !abandoned;
    std::unique_lock<std::mutex> g(shared->lock);
    shared->quit = true;
    shared->wake.notify_one();
    if (shared->finished.wait_for(g, std::chrono::milliseconds(kCloseWaitMs), [&] { return shared->done; }))
    {
        g.unlock();
        shared->thread.join();
        shared.reset();
        return true;
    }
    g.unlock();
    // The sound server does not let the device close. Its thread is left to it; it owns what it
    // uses (the shared state and the track), so nothing it touches goes away under it.
    shared->thread.detach();
    abandoned = true;
    return false;
}

bool CBass::WaitStopped(int ms)
{
    if (!shared)
        return true;
    std::unique_lock<std::mutex> g(shared->lock);
    return shared->finished.wait_for(g, std::chrono::milliseconds(ms), [&] { return shared->done; });
}
