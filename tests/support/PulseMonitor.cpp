#include "support/PulseMonitor.h"

#include <pulse/pulseaudio.h>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

double MonotonicSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

namespace
{
constexpr int kRate = 44100;
constexpr int kFrameBytes = 4;

double median(std::vector<double> v)
{
    if (v.empty())
        return std::numeric_limits<double>::quiet_NaN();
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}
} // namespace

struct PulseMonitor::Impl
{
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    mutable std::mutex lock;
    std::vector<std::int16_t> samples;
    std::vector<double> zeroByTiming; // monotonic seconds of frame 0, one per timing reading
    std::vector<double> timingAt;     // when each of those was read
    double zeroByArrival = std::numeric_limits<double>::infinity();
    double lastArrival = 0;
    std::size_t lastFrames = 0;
    std::uint64_t overflows = 0;

    static void contextState(pa_context*, void* user)
    {
        pa_threaded_mainloop_signal(static_cast<Impl*>(user)->loop, 0);
    }
    static void streamState(pa_stream*, void* user)
    {
        pa_threaded_mainloop_signal(static_cast<Impl*>(user)->loop, 0);
    }
    static void overflow(pa_stream*, void* user)
    {
        Impl* m = static_cast<Impl*>(user);
        std::lock_guard<std::mutex> g(m->lock);
        ++m->overflows;
    }
    static void readable(pa_stream* s, std::size_t, void* user)
    {
        Impl* m = static_cast<Impl*>(user);
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (pa_stream_readable_size(s) > 0 && pa_stream_peek(s, &data, &bytes) == 0 && bytes > 0)
        {
            std::lock_guard<std::mutex> g(m->lock);
            const std::size_t count = bytes / 2;
            if (data)
            {
                const std::int16_t* p = static_cast<const std::int16_t*>(data);
                m->samples.insert(m->samples.end(), p, p + count);
            }
            else
                m->samples.insert(m->samples.end(), count, 0); // a hole in the stream
            pa_stream_drop(s);
        }
        const double now = MonotonicSeconds();
        std::lock_guard<std::mutex> g(m->lock);
        const double frames = static_cast<double>(m->samples.size() / 2);
        if (frames > 0)
            m->zeroByArrival = std::min(m->zeroByArrival, now - (frames - 1) / kRate);
        m->lastArrival = now;
        m->lastFrames = m->samples.size() / 2;
        // The stream's time is that of the frame being captured now; for a monitor that is the
        // frame the sink is playing now.
        pa_usec_t usec = 0;
        if (pa_stream_get_time(s, &usec) == 0)
        {
            m->zeroByTiming.push_back(now - static_cast<double>(usec) * 1e-6);
            m->timingAt.push_back(now);
        }
    }
};

PulseMonitor::PulseMonitor() : impl(new Impl) {}

PulseMonitor::~PulseMonitor() { Stop(); }

bool PulseMonitor::Start(const std::string& server, const std::string& source, std::string& error)
{
    Impl& m = *impl;
    m.loop = pa_threaded_mainloop_new();
    m.context = pa_context_new(pa_threaded_mainloop_get_api(m.loop), "vq monitor recorder");
    pa_context_set_state_callback(m.context, &Impl::contextState, &m);
    if (pa_context_connect(m.context, server.c_str(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
    {
        error =
            std::string("cannot connect to the sound server: ") + pa_strerror(pa_context_errno(m.context));
        return false;
    }
    pa_threaded_mainloop_lock(m.loop);
    pa_threaded_mainloop_start(m.loop);
    const double deadline = MonotonicSeconds() + 5.0;
    auto waitFor = [&](auto ready, auto failed) -> bool
    {
        while (!ready())
        {
            if (failed() || MonotonicSeconds() > deadline)
                return false;
            pa_threaded_mainloop_unlock(m.loop);
            struct timespec ts = {0, 2000000};
            nanosleep(&ts, nullptr);
            pa_threaded_mainloop_lock(m.loop);
        }
        return true;
    };
    if (!waitFor([&] { return pa_context_get_state(m.context) == PA_CONTEXT_READY; },
                 [&] { return !PA_CONTEXT_IS_GOOD(pa_context_get_state(m.context)); }))
    {
        error = "the sound server did not accept the recorder";
        pa_threaded_mainloop_unlock(m.loop);
        return false;
    }
    const pa_sample_spec format = {PA_SAMPLE_S16LE, kRate, 2};
    m.stream = pa_stream_new(m.context, "monitor", &format, nullptr);
    pa_stream_set_state_callback(m.stream, &Impl::streamState, &m);
    pa_stream_set_read_callback(m.stream, &Impl::readable, &m);
    pa_stream_set_overflow_callback(m.stream, &Impl::overflow, &m);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<std::uint32_t>(2 * kRate * kFrameBytes);  // two seconds
    attr.fragsize = static_cast<std::uint32_t>(kRate / 200 * kFrameBytes); // 5 ms
    attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_record(m.stream, source.c_str(), &attr, flags) < 0 ||
        !waitFor([&] { return pa_stream_get_state(m.stream) == PA_STREAM_READY; },
                 [&] { return !PA_STREAM_IS_GOOD(pa_stream_get_state(m.stream)); }))
    {
        error = "cannot record " + source + ": " + pa_strerror(pa_context_errno(m.context));
        pa_threaded_mainloop_unlock(m.loop);
        return false;
    }
    pa_threaded_mainloop_unlock(m.loop);
    // A null sink with no client has rendered its silence in blocks of two seconds; a sound
    // started before the block it is in has run out would wait for it. The first data here
    // comes when the sink runs at this recorder's latency.
    for (int i = 0; i < 300; ++i)
    {
        {
            std::lock_guard<std::mutex> g(m.lock);
            if (!m.samples.empty())
                return true;
        }
        struct timespec ts = {0, 10000000};
        nanosleep(&ts, nullptr);
    }
    error = "the sink's monitor delivered nothing within 3 s";
    return false;
}

void PulseMonitor::Stop()
{
    Impl& m = *impl;
    if (!m.loop)
        return;
    pa_threaded_mainloop_stop(m.loop);
    if (m.stream)
    {
        pa_stream_disconnect(m.stream);
        pa_stream_unref(m.stream);
        m.stream = nullptr;
    }
    if (m.context)
    {
        pa_context_disconnect(m.context);
        pa_context_unref(m.context);
        m.context = nullptr;
    }
    pa_threaded_mainloop_free(m.loop);
    m.loop = nullptr;
}

std::vector<std::int16_t> PulseMonitor::Samples() const
{
    std::lock_guard<std::mutex> g(impl->lock);
    return impl->samples;
}

double PulseMonitor::FrameZeroSeconds() const
{
    std::lock_guard<std::mutex> g(impl->lock);
    // The stream's timing takes a second or so to settle after it connects (its first readings
    // put frame 0 over half a second early); the later half of a recording is past that.
    const auto& z = impl->zeroByTiming;
    return median(std::vector<double>(z.begin() + static_cast<long>(z.size() / 2), z.end()));
}

double PulseMonitor::RecentFrameZeroSeconds(double seconds) const
{
    std::lock_guard<std::mutex> g(impl->lock);
    std::vector<double> recent;
    if (!impl->timingAt.empty())
        for (std::size_t i = 0; i < impl->timingAt.size(); ++i)
            if (impl->timingAt[i] >= impl->timingAt.back() - seconds)
                recent.push_back(impl->zeroByTiming[i]);
    return median(recent);
}

double PulseMonitor::FrameZeroArrivalSeconds() const
{
    std::lock_guard<std::mutex> g(impl->lock);
    return impl->zeroByArrival;
}

double PulseMonitor::LastArrival(std::size_t& frames) const
{
    std::lock_guard<std::mutex> g(impl->lock);
    frames = impl->lastFrames;
    return impl->lastArrival;
}

std::uint64_t PulseMonitor::Overflows() const
{
    std::lock_guard<std::mutex> g(impl->lock);
    return impl->overflows;
}
