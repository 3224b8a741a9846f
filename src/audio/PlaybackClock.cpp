#include "audio/PlaybackClock.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace playback
{
namespace
{
double framesIn(std::int64_t micros) { return static_cast<double>(micros) * kRate / 1e6; }

double wrap(double frame, double trackFrames)
{
    double w = std::fmod(frame, trackFrames);
    return w < 0 ? w + trackFrames : w;
}
} // namespace

double JoinTarget(const PlayRequest& r, std::int64_t nowMicros, double latencyFrames, double trackFrames)
{
    const double target =
        r.frame + framesIn(std::max<std::int64_t>(0, nowMicros - r.atMicros)) + latencyFrames;
    return wrap(target, trackFrames);
}

double Unwrap(double wrapped, double near, double trackFrames)
{
    double d = std::fmod(wrapped - near, trackFrames);
    if (d < -trackFrames / 2)
        d += trackFrames;
    else if (d >= trackFrames / 2)
        d -= trackFrames;
    return near + d;
}

int SdlLatencyPeriods(const char* driver) { return driver && std::strcmp(driver, "pulseaudio") == 0 ? 1 : 2; }

std::uint64_t EstimatedHeardFrame(std::uint64_t handedFrame, std::int64_t callbackMicros,
                                  std::int64_t nowMicros, std::uint64_t latencyFrames,
                                  std::uint64_t periodFrames, std::uint64_t notBefore)
{
    std::int64_t elapsed = nowMicros - callbackMicros;
    if (elapsed < 0)
        elapsed = 0;
    std::uint64_t advance = static_cast<std::uint64_t>(elapsed) * static_cast<std::uint64_t>(kRate) / 1000000;
    // If the next callback is late, the sound is late too.
    if (advance > periodFrames)
        advance = periodFrames;
    const std::uint64_t base = handedFrame > latencyFrames ? handedFrame - latencyFrames : 0;
    const std::uint64_t heard = base + advance;
    return heard < notBefore ? notBefore : heard;
}

double DrawPosition(double clockFrame, std::int64_t leadMicros, double avOffsetMs, double notBefore)
{
    const double p = clockFrame + framesIn(leadMicros) - avOffsetMs * kRate / 1000.0;
    return std::max(p, notBefore);
}

void ClockFollower::Reset(double p, std::int64_t nowMicros)
{
    position = p;
    at = nowMicros;
}

double ClockFollower::Predict(std::int64_t nowMicros) const
{
    return position + framesIn(std::max<std::int64_t>(0, nowMicros - at));
}

double ClockFollower::Follow(double target, std::int64_t nowMicros)
{
    const double predicted = Predict(nowMicros);
    const double error = target - predicted;
    double next;
    if (std::fabs(error) > kSnapFrames)
        next = target; // a lag is held below, by never going back
    else
    {
        const double gain =
            std::min(1.0, static_cast<double>(std::max<std::int64_t>(0, nowMicros - at)) / kSmoothMicros);
        next = predicted + error * gain;
    }
    position = std::max(next, position);
    at = nowMicros;
    return position;
}

void PresentLead::Recent::Add(std::int64_t v)
{
    values[next] = v;
    next = (next + 1) % kFrames;
    count = std::min(count + 1, kFrames);
}

std::int64_t PresentLead::Recent::Median() const
{
    if (count == 0)
        return 0;
    std::int64_t sorted[kFrames];
    std::copy(values, values + count, sorted);
    std::nth_element(sorted, sorted + count / 2, sorted + count);
    return sorted[count / 2];
}

void PresentLead::Add(std::int64_t readToPresentMicros, std::int64_t sincePreviousMicros)
{
    toPresent.Add(readToPresentMicros);
    if (sincePreviousMicros > 0)
        onScreen.Add(sincePreviousMicros);
    lead = std::clamp<std::int64_t>(toPresent.Median() + onScreen.Median() / 2, 0, kMaxMicros);
}

void PlaybackClock::Start(double frame, std::int64_t nowMicros)
{
    mode = Mode::Waiting;
    startFrame = frame;
    startMicros = nowMicros;
    request = PlayRequest{request.serial + 1, wrap(frame, trackFrames), nowMicros, true};
    follower.Reset(frame, nowMicros);
    joinPending = false;
    haveAdvance = false;
    runSerial = 0;
    lastSampleMicros = 0;
}

PlaybackClock::Event PlaybackClock::TakeEvent()
{
    const Event e = event;
    event = Event::None;
    return e;
}

void PlaybackClock::Observe(const DeviceReport& r)
{
    if (!r.haveSample || r.device != DeviceReport::Device::Playing)
        return;
    const bool sameRun = runSerial == r.serial && lastSampleMicros != 0;
    if (sameRun && r.sampleMicros == lastSampleMicros)
        return; // the same sample read again
    const double h = Unwrap(r.heard, sameRun ? lastHeard : follower.Position(), trackFrames);
    const std::int64_t t = r.sampleMicros;
    if (!sameRun)
    {
        // A new request starts a new history: its first sample is only a reference.
        runSerial = r.serial;
        haveAdvance = false;
    }
    else if (h > lastHeard + 0.5)
    {
        bool newRun = !haveAdvance || t - advanceMicros > kStallMicros;
        if (!newRun && t - runMicros > 20000)
        {
            // A burst (a server catching up after a stall) is not steady playing.
            const double rate = (h - runHeard) / framesIn(t - runMicros);
            newRun = rate < 0.8 || rate > 1.25;
        }
        if (newRun)
        {
            runHeard = h;
            runMicros = t;
        }
        advanceHeard = h;
        advanceMicros = t;
        haveAdvance = true;
    }
    lastHeard = h;
    lastSampleMicros = t;
}

bool PlaybackClock::Advancing(std::int64_t nowMicros) const
{
    return haveAdvance && nowMicros - advanceMicros <= kStallMicros;
}

bool PlaybackClock::Settled(std::int64_t nowMicros) const
{
    return Advancing(nowMicros) && advanceMicros - runMicros >= kSettleMicros;
}

double PlaybackClock::HeardNow(std::int64_t nowMicros) const
{
    // Carried on from the latest advance, so that a position that has just stopped moving keeps
    // the picture going until the stall is recognised, without a step either way.
    return advanceHeard + framesIn(std::max<std::int64_t>(0, nowMicros - advanceMicros));
}

void PlaybackClock::GoFree(std::int64_t nowMicros, Event why)
{
    follower.Reset(follower.Predict(nowMicros), nowMicros);
    mode = Mode::Free;
    event = why;
    joinPending = false;
    stalled = why == Event::Stalled;
}

void PlaybackClock::Join(std::int64_t nowMicros, bool reopen)
{
    request =
        PlayRequest{request.serial + 1, wrap(follower.Position(), trackFrames), nowMicros, false, reopen};
    joinPending = true;
    joinMicros = nowMicros;
}

double PlaybackClock::Update(const DeviceReport& r, std::int64_t nowMicros)
{
    using Device = DeviceReport::Device;
    Observe(r);
    const bool current = runSerial == request.serial && r.serial == request.serial;
    switch (mode)
    {
    case Mode::Idle:
        return follower.Position();
    case Mode::Silent:
        return startFrame + framesIn(nowMicros - startMicros);
    case Mode::Waiting:
        if (r.device == Device::Failed)
        {
            mode = Mode::Silent;
            event = Event::NoDevice;
            return startFrame + framesIn(nowMicros - startMicros);
        }
        if (r.device == Device::Lost)
        {
            follower.Reset(startFrame, nowMicros);
            GoFree(nowMicros, Event::Lost);
            return follower.Position();
        }
        // The sound has begun once the frame it started from is heard (as reported, not as
        // carried on from the latest report).
        if (current && Advancing(nowMicros) && advanceHeard >= startFrame)
        {
            mode = Mode::Locked;
            follower.Reset(startFrame, nowMicros);
            return follower.Follow(HeardNow(nowMicros), nowMicros);
        }
        follower.Reset(startFrame, nowMicros);
        if (nowMicros - startMicros > kStartWaitMicros)
            GoFree(nowMicros, Event::NoAnswer);
        return follower.Position();
    case Mode::Locked:
        if (r.device != Device::Playing)
        {
            GoFree(nowMicros, Event::Lost);
            return follower.Position();
        }
        if (!Advancing(nowMicros))
        {
            GoFree(nowMicros, Event::Stalled);
            return follower.Position();
        }
        return follower.Follow(HeardNow(nowMicros), nowMicros);
    case Mode::Free:
        break;
    }

    const double position = follower.Predict(nowMicros);
    follower.Reset(position, nowMicros);
    if (r.device != Device::Ready && r.device != Device::Playing)
    {
        joinPending = false; // whatever was asked went with the device
        return position;
    }
    if (joinPending)
    {
        if (current && Settled(nowMicros))
        {
            mode = Mode::Locked;
            event = Event::Resumed;
            return follower.Follow(HeardNow(nowMicros), nowMicros);
        }
        if (nowMicros - joinMicros > kJoinRetryMicros)
            Join(nowMicros);
        return position;
    }
    if (r.device == Device::Ready)
    {
        Join(nowMicros); // a device opened again: the sound joins where the picture is
        return position;
    }
    if (Settled(nowMicros))
    {
        // The sound runs again. Where it kept time with the picture (only its reports were
        // late) it is simply followed; otherwise it is moved to where the picture is, on a
        // device opened afresh if the server had stalled.
        if (std::fabs(HeardNow(nowMicros) - position) <= kAgreeFrames)
        {
            mode = Mode::Locked;
            event = Event::Resumed;
            return follower.Follow(HeardNow(nowMicros), nowMicros);
        }
        Join(nowMicros, stalled);
    }
    return position;
}
} // namespace playback
