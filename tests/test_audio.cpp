#include "audio/CBass.h"
#include "audio/Fft1024.h"
#include "audio/PcmTrack.h"
#include "audio/PlaybackClock.h"
#include "support/TestAudio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
std::string tempPath(const char* name)
{
    return std::string("/tmp/vq_test_audio_") + std::to_string(getpid()) + "_" + name;
}

PcmTrack trackOf(const std::vector<std::int16_t>& s)
{
    PcmTrack t;
    t.samples = s;
    return t;
}
} // namespace

TEST(Fft1024, FullScaleSineAtBinCentreReadsTwo)
{
    Fft1024 sp;
    float fft[Fft1024::kBins];
    for (int bin : {2, 3, 10, 100})
    {
        std::vector<float> mono(Fft1024::kSize);
        for (int i = 0; i < Fft1024::kSize; ++i)
            mono[i] = static_cast<float>(std::sin(2 * M_PI * bin * i / Fft1024::kSize));
        sp.ComputeMono(mono.data(), fft);
        EXPECT_NEAR(fft[bin], 2.0f, 1e-3) << bin;
        int peak = 0;
        for (int k = 0; k < Fft1024::kBins; ++k)
        {
            EXPECT_GE(fft[k], 0.0f);
            if (fft[k] > fft[peak])
                peak = k;
        }
        EXPECT_EQ(peak, bin);
    }
}

TEST(Fft1024, ReadsTheFramesEndingAtThePosition)
{
    // Silence, then a sine from frame 44100 on: the window ending before the sine sees nothing,
    // one ending a full window later sees the sine at full level.
    std::vector<std::int16_t> s(2 * 44100, 0);
    const auto sine = SineStereo(3 * 44100.0 / 1024, 1.0, 0.5);
    s.insert(s.end(), sine.begin(), sine.end());
    const PcmTrack t = trackOf(s);
    Fft1024 sp;
    float fft[Fft1024::kBins];
    sp.Compute(t, 44100, fft);
    EXPECT_LT(SpectrumRange(fft, 2, 3), 1e-4f);
    sp.Compute(t, 44100 + 4096, fft);
    EXPECT_NEAR(fft[3], 2.0f, 0.01f);
    // Before the track's start counts as silence, not as a read before the buffer.
    sp.Compute(t, 10, fft);
    EXPECT_LT(fft[3], 1e-4f);
}

TEST(Fft1024, RangeIsSumOverDifference)
{
    float fft[1024] = {};
    fft[2] = 0.25f;
    fft[3] = 0.5f;
    fft[4] = 1.0f;
    EXPECT_FLOAT_EQ(SpectrumRange(fft, 2, 3), 0.75f); // divisor b - a = 1
    EXPECT_FLOAT_EQ(SpectrumRange(fft, 2, 4), 0.875f);
    EXPECT_FLOAT_EQ(SpectrumRange(fft, 4, 2), 0.0f); // nothing summed
}

TEST(Mp3, DecodesAnEncodedTrackToItsLength)
{
    const std::string path = tempPath("sine.mp3");
    ASSERT_TRUE(EncodeMp3ForTest(path, SineStereo(440, 0.5, 2.0)));
    PcmTrack t;
    std::string error;
    ASSERT_TRUE(DecodeMp3(path, t, error)) << error;
    // The encoder adds at most a frame or two of padding.
    EXPECT_NEAR(t.seconds(), 2.0, 0.1);
    float peak = 0;
    for (std::int16_t v : t.samples)
        peak = std::max(peak, std::fabs(v / 32768.0f));
    EXPECT_NEAR(peak, 0.5f, 0.08f);
    std::remove(path.c_str());
}

TEST(Mp3, MissingAndGarbageFilesAreRefusedByName)
{
    PcmTrack t;
    std::string error;
    EXPECT_FALSE(DecodeMp3("/nonexistent/track.mp3", t, error));
    EXPECT_NE(error.find("/nonexistent/track.mp3"), std::string::npos);
    const std::string path = tempPath("garbage.mp3");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    for (int i = 0; i < 5000; ++i)
        std::fputc((i * 7919) & 0x7F, f); // never a frame sync
    std::fclose(f);
    error.clear();
    EXPECT_FALSE(DecodeMp3(path, t, error));
    EXPECT_NE(error.find(path), std::string::npos);
    std::remove(path.c_str());
}

TEST(Mp3, TheFilesOwnFormatIsToldBesideThePlaybackFormat)
{
    struct Case
    {
        const char* name;
        int rate, channels;
    };
    for (const Case& c :
         {Case{"stereo.mp3", 44100, 2}, Case{"mono.mp3", 44100, 1}, Case{"fast.mp3", 48000, 2}})
    {
        const std::string path = tempPath(c.name);
        const std::vector<std::int16_t> samples(static_cast<std::size_t>(c.rate * c.channels), 500);
        ASSERT_TRUE(EncodeMp3ForTest(path, samples, 96, c.rate, c.channels)) << c.name;
        PcmTrack t;
        Mp3Source source;
        std::string error;
        ASSERT_TRUE(DecodeMp3(path, t, error, &source)) << error;
        EXPECT_EQ(source.rate, c.rate) << c.name;
        EXPECT_EQ(source.channels, c.channels) << c.name;
        EXPECT_FALSE(source.mixed) << c.name;
        // Whatever the file, the track plays as 44.1 kHz stereo of the file's length.
        EXPECT_NEAR(t.seconds(), 1.0, 0.1) << c.name;
        std::remove(path.c_str());
    }
}

TEST(Mp3, NoRegularFileNeverReachesTheDecoder)
{
    const std::string fifo = tempPath("fifo.mp3");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    PcmTrack t;
    std::string error;
    EXPECT_FALSE(DecodeMp3(fifo, t, error)); // a blocking open would wait here for ever
    EXPECT_EQ(error, "\"" + fifo + "\": is not a regular file");
    std::remove(fifo.c_str());
}

TEST(Wav, WritesTheRequestedSpan)
{
    PcmTrack t = trackOf(SineStereo(100, 0.3, 1.0));
    const std::string path = tempPath("span.wav");
    std::string error;
    ASSERT_TRUE(WriteWav(path, t, 1000, 22050, error)) << error;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_TRUE(f);
    std::fseek(f, 0, SEEK_END);
    EXPECT_EQ(std::ftell(f), 44 + 22050 * 4);
    std::fseek(f, 44, SEEK_SET);
    std::int16_t first[2];
    ASSERT_EQ(std::fread(first, 2, 2, f), 2u);
    EXPECT_EQ(first[0], t.samples[2000]);
    std::fclose(f);
    // A span past the end is cut to what exists.
    ASSERT_TRUE(WriteWav(path, t, 44000, 1000, error));
    f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    EXPECT_EQ(std::ftell(f), 44 + 100 * 4);
    std::fclose(f);
    std::remove(path.c_str());
}

TEST(HeardPosition, SubtractsDeviceLatencyAndNeverGoesBack)
{
    const std::uint64_t period = 1024, latency = 2048;
    // At the callback itself, the sound heard is two periods behind what was handed over.
    EXPECT_EQ(CBass::HeardFrame(100000, 5000, 5000, latency, period, 0), 100000u - latency);
    // 10 ms later the wall clock has carried it 441 frames on.
    EXPECT_EQ(CBass::HeardFrame(100000, 5000, 15000, latency, period, 0), 100000u - latency + 441);
    // A late next callback does not let the clock run past the block that was handed over.
    EXPECT_EQ(CBass::HeardFrame(100000, 5000, 1005000, latency, period, 0), 100000u - latency + period);
    // Never backwards, and never below zero at the start.
    EXPECT_EQ(CBass::HeardFrame(100000, 5000, 5000, latency, period, 99000), 99000u);
    EXPECT_EQ(CBass::HeardFrame(1000, 0, 0, latency, period, 0), 0u);
}

TEST(CBassState, ZeroBeforeStart)
{
    CBass b;
    b.doThis(); // not started: nothing moves
    EXPECT_EQ(b.seconds, 0.0f);
    EXPECT_EQ(b.ms(), 0);
    for (float v : b.fft)
        EXPECT_EQ(v, 0.0f);
    EXPECT_EQ(b.range(2, 3), 0.0f);
}

// The live clock, driven by made-up device reports: what the picture shows when the sound runs,
// stalls, goes away and comes back.
namespace
{
using playback::DeviceReport;
using playback::PlaybackClock;
constexpr double kTrack = 130.0 * 44100;

// A device that plays what it is asked, heard `latency` frames after it was handed over; its
// reports can be frozen (a stalled server) or it can go away.
struct FakeDevice
{
    DeviceReport report;
    double latency = 2048;
    double origin = 0; // frame heard at originMicros
    std::int64_t originMicros = 0;
    bool frozen = false;

    void Carry(const playback::PlayRequest& q, std::int64_t now)
    {
        if (q.serial == report.serial || report.device == DeviceReport::Device::Lost ||
            report.device == DeviceReport::Device::Opening)
            return;
        const double handed = q.fromStart ? q.frame : playback::JoinTarget(q, now, latency, kTrack);
        origin = handed - latency; // what plays now is still the old sound; the new one follows
        originMicros = now;
        report.serial = q.serial;
        report.device = DeviceReport::Device::Playing;
    }
    const DeviceReport& At(std::int64_t now)
    {
        if (report.device == DeviceReport::Device::Playing && !frozen)
        {
            report.haveSample = true;
            report.heard = std::fmod(origin + (now - originMicros) * 44100.0 / 1e6 + kTrack, kTrack);
            report.sampleMicros = now;
        }
        return report;
    }
    void Freeze(std::int64_t now)
    {
        At(now);
        frozen = true;
    }
    // The server goes on where it stopped, behind the wall clock by the time it stood still.
    void Thaw(std::int64_t now)
    {
        origin = report.heard;
        originMicros = now;
        frozen = false;
    }
};

// Runs the clock with the device for `micros` at frames of `step` micros; returns the positions.
std::vector<double> runFor(PlaybackClock& c, FakeDevice& d, std::int64_t& now, std::int64_t micros,
                           std::int64_t step = 10000, std::vector<PlaybackClock::Event>* events = nullptr)
{
    std::vector<double> out;
    for (std::int64_t end = now + micros; now < end; now += step)
    {
        d.Carry(c.Request(), now);
        out.push_back(c.Update(d.At(now), now));
        const auto e = c.TakeEvent();
        if (events && e != PlaybackClock::Event::None)
            events->push_back(e);
    }
    return out;
}

// A clock that has followed a ready device from `frame` for a second, as at any moment of play.
void runningForASecond(PlaybackClock& c, FakeDevice& d, std::int64_t& now, double frame)
{
    d.report.device = DeviceReport::Device::Ready;
    now = 0;
    c.Start(frame, now);
    runFor(c, d, now, 1000000);
}

bool neverBack(const std::vector<double>& v)
{
    for (std::size_t i = 1; i < v.size(); ++i)
        if (v[i] < v[i - 1])
            return false;
    return true;
}

// The clock's position against what the fake device has heard at `now`.
double heardNow(FakeDevice& d, std::int64_t now)
{
    return playback::Unwrap(d.At(now).heard, d.origin, kTrack);
}
} // namespace

TEST(PlaybackClock, WaitsForTheSoundThenFollowsIt)
{
    PlaybackClock c(kTrack);
    FakeDevice d;
    d.report.device = DeviceReport::Device::Ready;
    std::int64_t now = 1000000;
    const double start = 79.0 * 44100;
    c.Start(start, now);
    ASSERT_TRUE(c.Request().fromStart);
    EXPECT_EQ(c.Request().frame, start);
    // The first 2048 frames (46 ms) are still on their way: the picture holds the first frame.
    auto first = runFor(c, d, now, 40000);
    for (double p : first)
        EXPECT_EQ(p, start);
    EXPECT_EQ(c.CurrentMode(), PlaybackClock::Mode::Waiting);
    auto v = runFor(c, d, now, 2000000);
    EXPECT_EQ(c.CurrentMode(), PlaybackClock::Mode::Locked);
    EXPECT_TRUE(neverBack(v));
    EXPECT_NEAR(v.back(), heardNow(d, now - 10000), 1.0);
}

TEST(PlaybackClock, AStallGoesOnByTheWallClockAndTheSoundIsMovedToThePicture)
{
    PlaybackClock c(kTrack);
    FakeDevice d;
    std::int64_t now = 0;
    runningForASecond(c, d, now, 0);
    ASSERT_EQ(c.CurrentMode(), PlaybackClock::Mode::Locked);
    const double before = c.Update(d.At(now), now);

    // The server stops: the picture goes on at the wall clock's pace, without a step.
    d.Freeze(now);
    std::vector<PlaybackClock::Event> events;
    auto stalled = runFor(c, d, now, 2000000, 10000, &events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], PlaybackClock::Event::Stalled);
    EXPECT_EQ(c.CurrentMode(), PlaybackClock::Mode::Free);
    EXPECT_TRUE(neverBack(stalled));
    EXPECT_NEAR(stalled.back() - before, 2.0 * 44100 - 441, 2.0);
    for (std::size_t i = 1; i < stalled.size(); ++i)
        EXPECT_NEAR(stalled[i] - stalled[i - 1], 441.0, 1.0) << i;

    // It goes on, two seconds behind: the clock asks it to join the picture and follows it there.
    const std::uint64_t serial = c.Request().serial;
    d.Thaw(now);
    events.clear();
    auto resumed = runFor(c, d, now, 1000000, 10000, &events);
    EXPECT_GT(c.Request().serial, serial);
    EXPECT_FALSE(c.Request().fromStart);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), PlaybackClock::Event::Resumed);
    EXPECT_EQ(c.CurrentMode(), PlaybackClock::Mode::Locked);
    EXPECT_TRUE(neverBack(resumed));
    for (std::size_t i = 1; i < resumed.size(); ++i)
        EXPECT_NEAR(resumed[i] - resumed[i - 1], 441.0, 1.0) << i;
    // And the sound heard is where the picture is.
    EXPECT_NEAR(resumed.back(), heardNow(d, now - 10000), 2.0);
}

TEST(PlaybackClock, AShortHiccupInStepIsFollowedWithoutMovingTheSound)
{
    PlaybackClock c(kTrack);
    FakeDevice d;
    std::int64_t now = 0;
    runningForASecond(c, d, now, 0);
    // The device thread is late with its reports, but the sound itself ran on.
    const DeviceReport late = d.At(now);
    for (int i = 0; i < 20; ++i, now += 10000)
        c.Update(late, now);
    EXPECT_EQ(c.CurrentMode(), PlaybackClock::Mode::Free);
    const std::uint64_t serial = c.Request().serial;
    runFor(c, d, now, 500000);
    EXPECT_EQ(c.CurrentMode(), PlaybackClock::Mode::Locked);
    EXPECT_EQ(c.Request().serial, serial);
}

TEST(PlaybackClock, ADeviceThatWentAwayAndCameBackJoinsInPlace)
{
    PlaybackClock c(kTrack);
    FakeDevice d;
    std::int64_t now = 0;
    runningForASecond(c, d, now, 44100);
    const double before = c.Update(d.At(now), now);
    d.report.device = DeviceReport::Device::Lost;
    d.report.haveSample = false;
    std::vector<PlaybackClock::Event> events;
    auto gone = runFor(c, d, now, 3000000, 10000, &events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], PlaybackClock::Event::Lost);
    EXPECT_TRUE(neverBack(gone));
    EXPECT_GE(gone.front(), before);
    EXPECT_NEAR(gone.back() - before, 3.0 * 44100, 442.0);
    // Opened again: it is asked to play where the picture is, and followed from there.
    d.report = DeviceReport();
    d.report.device = DeviceReport::Device::Ready;
    events.clear();
    auto back = runFor(c, d, now, 1000000, 10000, &events);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), PlaybackClock::Event::Resumed);
    EXPECT_TRUE(neverBack(back));
    EXPECT_NEAR(back.back(), heardNow(d, now - 10000), 2.0);
}

TEST(PlaybackClock, NoAnswerAtStartStillShowsFramesThenGoesOnByTheClock)
{
    PlaybackClock c(kTrack);
    DeviceReport opening; // the device thread is stuck opening it
    std::int64_t now = 0;
    c.Start(1000, now);
    double p = 0;
    std::vector<PlaybackClock::Event> events;
    for (; now <= playback::kStartWaitMicros + 500000; now += 10000)
    {
        p = c.Update(opening, now);
        if (now <= playback::kStartWaitMicros)
        {
            EXPECT_EQ(p, 1000.0);
        }
        if (c.TakeEvent() == PlaybackClock::Event::NoAnswer)
            events.push_back(PlaybackClock::Event::NoAnswer);
    }
    EXPECT_EQ(events.size(), 1u);
    EXPECT_EQ(c.CurrentMode(), PlaybackClock::Mode::Free);
    EXPECT_NEAR(p, 1000 + 0.5 * 44100, 500.0);
    // When the device opens at last, the sound joins the picture.
    FakeDevice d;
    d.report.device = DeviceReport::Device::Ready;
    runFor(c, d, now, 1000000);
    EXPECT_EQ(c.CurrentMode(), PlaybackClock::Mode::Locked);
    EXPECT_NEAR(c.Update(d.At(now), now), heardNow(d, now), 2.0);
}

TEST(PlaybackClock, NoDeviceAtAllIsTheWallClockFromStart)
{
    PlaybackClock c(kTrack);
    DeviceReport failed;
    failed.device = DeviceReport::Device::Failed;
    c.Start(500, 100000);
    EXPECT_EQ(c.Update(failed, 100000), 500.0);
    EXPECT_EQ(c.TakeEvent(), PlaybackClock::Event::NoDevice);
    EXPECT_EQ(c.CurrentMode(), PlaybackClock::Mode::Silent);
    EXPECT_DOUBLE_EQ(c.Update(failed, 1100000), 500.0 + 44100);
}

TEST(PlaybackClock, FollowsTheTrackAcrossItsLoop)
{
    PlaybackClock c(kTrack);
    FakeDevice d;
    d.report.device = DeviceReport::Device::Ready;
    std::int64_t now = 0;
    c.Start(kTrack - 22050, now); // half a second before the end
    auto v = runFor(c, d, now, 2000000);
    EXPECT_EQ(c.CurrentMode(), PlaybackClock::Mode::Locked);
    EXPECT_TRUE(neverBack(v));
    EXPECT_GT(v.back(), kTrack + 44100); // counts on; the player wraps it when drawing
}

TEST(PlaybackClock, JoinTargetAddsTheTimeSinceTheRequestAndTheLatency)
{
    playback::PlayRequest q;
    q.frame = 1000;
    q.atMicros = 5000;
    EXPECT_DOUBLE_EQ(playback::JoinTarget(q, 15000, 2048, kTrack), 1000 + 441 + 2048);
    q.frame = kTrack - 100;
    EXPECT_DOUBLE_EQ(playback::JoinTarget(q, 5000, 300, kTrack), 200);
    EXPECT_DOUBLE_EQ(playback::Unwrap(10, kTrack - 5, kTrack), kTrack + 10);
    EXPECT_DOUBLE_EQ(playback::Unwrap(kTrack - 10, 5, kTrack), -10);
    EXPECT_DOUBLE_EQ(playback::Unwrap(3000, 2000, kTrack), 3000);
}

TEST(ClockFollower, SmoothsJitterJumpsAheadAndNeverGoesBack)
{
    playback::ClockFollower f;
    f.Reset(10000, 0);
    // Readings jittering by +-2 ms around a steady clock: the output moves far less than they do.
    double worst = 0;
    for (int i = 1; i <= 200; ++i)
    {
        const std::int64_t t = i * 5000;
        const double truth = 10000 + t * 44100.0 / 1e6;
        const double p = f.Follow(truth + ((i % 2) ? 88 : -88), t);
        if (i > 50)
            worst = std::max(worst, std::fabs(p - truth));
    }
    EXPECT_LT(worst, 60.0);
    // A lead of 100 ms is taken at once; a lag of 100 ms holds the clock instead of turning it back.
    const double p0 = f.Position();
    EXPECT_DOUBLE_EQ(f.Follow(p0 + 4410 + 220, 1005000), p0 + 4410 + 220);
    const double p1 = f.Position();
    EXPECT_DOUBLE_EQ(f.Follow(p1 - 4410, 1010000), p1);
}

TEST(PresentLead, MedianTimeToTheScreenPlusHalfTheTimeOnItWithinBounds)
{
    playback::PresentLead lead;
    EXPECT_EQ(lead.Micros(), 0);
    lead.Add(70000, 0); // the first frame: nothing to count its time on screen from
    EXPECT_EQ(lead.Micros(), 70000);
    for (int i = 0; i < 13; ++i)
        lead.Add(70000, 80000);
    lead.Add(900000, 950000); // one frame that hung does not move it
    EXPECT_EQ(lead.Micros(), 70000 + 40000);
    for (int i = 0; i < 20; ++i)
        lead.Add(2000000, 2000000);
    EXPECT_EQ(lead.Micros(), playback::PresentLead::kMaxMicros);
    for (int i = 0; i < 20; ++i)
        lead.Add(-50000, 10000); // a clock that went wrong: never drawn behind the sound
    EXPECT_EQ(lead.Micros(), 0);
}

TEST(DrawPosition, AddsTheLeadTakesTheOffsetAndNeverGoesBack)
{
    EXPECT_DOUBLE_EQ(playback::DrawPosition(44100, 100000, 0, 0), 44100 + 4410);
    // A positive offset shows the picture later: it is drawn for an earlier time.
    EXPECT_DOUBLE_EQ(playback::DrawPosition(44100, 100000, 50, 0), 44100 + 4410 - 2205);
    EXPECT_DOUBLE_EQ(playback::DrawPosition(44100, 0, -20, 0), 44100 + 882);
    EXPECT_DOUBLE_EQ(playback::DrawPosition(44100, 0, 0, 50000), 50000);
}

TEST(HeardPosition, SdlEstimateIsOnePeriodUnderPulseAudio)
{
    EXPECT_EQ(playback::SdlLatencyPeriods("pulseaudio"), 1);
    EXPECT_EQ(playback::SdlLatencyPeriods("alsa"), 2);
    EXPECT_EQ(playback::SdlLatencyPeriods(nullptr), 2);
}

// The player against a PulseAudio of the test's own (a null sink, recorded through its monitor):
// what is heard agrees with the clock, and a server that stalls, dies or comes back late holds
// up no call of the frame loop.
#if VQ_TEST_PULSE
#include "app/platform/Clock.h"
#include "support/PulseMonitor.h"
#include "support/PulseServer.h"
#include "support/TrackMatch.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace
{
std::string musicFile()
{
    const char* d = std::getenv("VQ_DATA_DIR");
    return std::string(d ? d : ".") + "/vqmusikk_best4.mp3";
}

// Seconds on the recorder's clock (CLOCK_MONOTONIC) at the piece's monotonic reading `micros`.
double recorderSeconds(std::int64_t micros)
{
    static const double offset = MonotonicSeconds() - static_cast<double>(vqclock::monotonicMicros()) / 1e6;
    return offset + static_cast<double>(micros) / 1e6;
}

// A reading that waited for the server would take as long as the server stands still (seconds);
// on a busy machine one that did not can still take a few ms.
constexpr double kNoWait = 0.05;

struct LiveSound
{
    PulseServer server;
    std::unique_ptr<PulseMonitor> monitor;
    CBass player;
    std::int64_t readMicros = 0; // when the latest doThis ran
    double heardAtRead = 0;      // what the clock said was heard then (seconds)

    // Starts the server, its recorder and the player at `start` seconds; with `stalled` the
    // server is stopped before the player first reaches for it.
    bool Begin(std::string& why, double start, bool stalled = false)
    {
        if (!server.Start(why))
            return false;
        server.ApplyToThisProcess();
        if (!Record(why))
            return false;
        if (!player.Open(musicFile().c_str(), why))
            return false;
        if (stalled)
            server.Pause();
        player.SetStartSeconds(start);
        const auto t0 = std::chrono::steady_clock::now();
        player.PrepareOutput();
        player.start(musicFile().c_str());
        // Starting includes a thread and the first spectrum, but never the device.
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 4 * kNoWait);
        return true;
    }
    // A recorder first: a null sink with no client sleeps in long blocks and delays a new sound.
    // A fresh one after a stall, too: the server's timing of a stream that lived through a stall
    // is off by as long as the stall. The old one records until the new one runs.
    bool Record(std::string& why)
    {
        std::unique_ptr<PulseMonitor> fresh(new PulseMonitor);
        if (!fresh->Start(server.Server(), PulseServer::Monitor(), why))
            return false;
        monitor = std::move(fresh);
        return true;
    }
    // The frame loop's part for `seconds`: a reading every 10 ms. Returns the longest reading (s)
    // and the positions read.
    double Play(double seconds, std::vector<double>* positions = nullptr)
    {
        double longest = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end)
        {
            const std::int64_t before = vqclock::monotonicMicros();
            player.doThis();
            const std::int64_t after = vqclock::monotonicMicros();
            longest = std::max(longest, static_cast<double>(after - before) / 1e6);
            readMicros = after;
            heardAtRead = player.HeardSeconds();
            if (positions)
                positions->push_back(player.seconds);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return longest;
    }
    // How far the sound heard last (the latest recorded frames, found in the track, heard when
    // the server's timing of the recording says) is from what the clock says is heard, in ms;
    // false when the recording cannot be placed.
    bool SoundAgainstClock(double& errorMs)
    {
        std::size_t frames = 0;
        const double arrival = monitor->LastArrival(frames);
        const std::vector<std::int16_t> rec = monitor->Samples();
        if (frames < 8192 || rec.size() / 2 < frames)
            return false;
        const long last = static_cast<long>(frames) - 1;
        const double heardAt =
            monitor->RecentFrameZeroSeconds(0.5) + static_cast<double>(last) / PcmTrack::kRate;
        const double clock = heardAtRead + (heardAt - recorderSeconds(readMicros));
        const long expected = std::lround(clock * PcmTrack::kRate) - last;
        long lag = 0;
        if (!MatchInTrack(rec, last - 2048, player.Track(), expected, PcmTrack::kRate, lag))
            return false;
        errorMs = (static_cast<double>(last + lag) / PcmTrack::kRate - clock) * 1000.0;
        std::printf("(the recording's data came %.1f ms before it was heard)\n",
                    (heardAt - arrival) * 1000.0);
        return true;
    }
};

bool steady(const std::vector<double>& v)
{
    for (std::size_t i = 1; i < v.size(); ++i)
        if (v[i] < v[i - 1] || v[i] - v[i - 1] > 0.1)
            return false;
    return true;
}

// After a fault has gone: the sound, recorded afresh, is heard where the clock says again.
void expectRejoined(LiveSound& live, const char* after)
{
    std::string why;
    ASSERT_TRUE(live.Record(why)) << why;
    EXPECT_LT(live.Play(1.0), kNoWait);
    EXPECT_EQ(live.player.ClockMode(), PlaybackClock::Mode::Locked);
    double error = 0;
    ASSERT_TRUE(live.SoundAgainstClock(error));
    std::printf("%s, heard - clock: %+.1f ms\n", after, error);
    EXPECT_LT(std::fabs(error), 10.0) << after;
}

#define BEGIN_OR_SKIP(live, ...)                                                                             \
    do                                                                                                       \
    {                                                                                                        \
        std::string why_;                                                                                    \
        if (!(live).Begin(why_, __VA_ARGS__))                                                                \
        {                                                                                                    \
            if (why_.find("PulseAudio") != std::string::npos)                                                \
                GTEST_SKIP() << "no private sound server: " << why_;                                         \
            FAIL() << why_;                                                                                  \
        }                                                                                                    \
    } while (0)
} // namespace

TEST(CBassLive, TheClockIsWhatTheServerPlays)
{
    LiveSound live;
    BEGIN_OR_SKIP(live, 10.0);
    EXPECT_LT(live.Play(2.0), kNoWait);
    EXPECT_EQ(live.player.ClockMode(), PlaybackClock::Mode::Locked);
    double error = 0;
    ASSERT_TRUE(live.SoundAgainstClock(error));
    std::printf("heard - clock: %+.1f ms\n", error);
    EXPECT_LT(std::fabs(error), 5.0);
}

TEST(CBassLive, AStalledServerHoldsUpNothingAndTheSoundComesBackInPlace)
{
    LiveSound live;
    BEGIN_OR_SKIP(live, 20.0);
    live.Play(1.5);
    ASSERT_EQ(live.player.ClockMode(), PlaybackClock::Mode::Locked);
    live.server.Pause();
    std::vector<double> p;
    EXPECT_LT(live.Play(2.0, &p), kNoWait);
    EXPECT_EQ(live.player.ClockMode(), PlaybackClock::Mode::Free);
    EXPECT_TRUE(steady(p));
    EXPECT_NEAR(p.back() - p.front(), 2.0, 0.1); // on by the wall clock
    live.server.Resume();
    p.clear();
    EXPECT_LT(live.Play(1.0, &p), kNoWait);
    EXPECT_TRUE(steady(p));
    expectRejoined(live, "after the stall");
}

TEST(CBassLive, AServerKilledAndStartedAgainIsJoinedInPlace)
{
    LiveSound live;
    BEGIN_OR_SKIP(live, 30.0);
    live.Play(1.5);
    live.server.Kill();
    std::vector<double> p;
    EXPECT_LT(live.Play(1.5, &p), kNoWait);
    EXPECT_EQ(live.player.ClockMode(), PlaybackClock::Mode::Free);
    EXPECT_NEAR(p.back() - p.front(), 1.5, 0.1);
    std::string why;
    ASSERT_TRUE(live.server.Restart(why)) << why;
    ASSERT_TRUE(live.Record(why)) << why;
    p.clear();
    EXPECT_LT(live.Play(3.5, &p), kNoWait);
    EXPECT_TRUE(steady(p));
    EXPECT_EQ(live.player.ClockMode(), PlaybackClock::Mode::Locked);
    double error = 0;
    ASSERT_TRUE(live.SoundAgainstClock(error));
    std::printf("after the restart, heard - clock: %+.1f ms\n", error);
    EXPECT_LT(std::fabs(error), 10.0);
}

TEST(CBassLive, AServerStalledAtLaunchDoesNotHoldUpTheStart)
{
    LiveSound live;
    BEGIN_OR_SKIP(live, 40.0, true);
    std::vector<double> p;
    EXPECT_LT(live.Play(3.0, &p), kNoWait);
    // The first frame waits for the sound a while, then the picture goes on without it.
    EXPECT_FLOAT_EQ(p.front(), 40.0f);
    EXPECT_GT(p.back(), 40.7f);
    EXPECT_EQ(live.player.ClockMode(), PlaybackClock::Mode::Free);
    live.server.Resume();
    p.clear();
    EXPECT_LT(live.Play(1.5, &p), kNoWait);
    EXPECT_TRUE(steady(p));
    expectRejoined(live, "after a late start");
}

TEST(CBassLive, StopGivesUpOnAStalledServer)
{
    LiveSound live;
    BEGIN_OR_SKIP(live, 50.0);
    live.Play(1.0);
    live.server.Pause();
    live.Play(0.3);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(live.player.stop());
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(),
              CBass::kCloseWaitMs / 1000.0 + 0.2);
    // Let the abandoned close finish, so the test ends with nothing left inside the library.
    live.server.Resume();
    EXPECT_TRUE(live.player.WaitStopped(5000));
}

TEST(CBassLive, SdlWhereOpenAlCannotOpenIsAnEstimateWithinAPeriod)
{
    setenv("ALSOFT_DRIVERS", "none-here", 1);
    LiveSound live;
    std::string why;
    const bool began = live.server.Start(why);
    if (!began)
        GTEST_SKIP() << "no private sound server: " << why;
    live.server.ApplyToThisProcess();
    setenv("ALSOFT_DRIVERS", "none-here", 1); // OpenAL finds no backend; SDL plays on the server
    ASSERT_TRUE(live.Record(why)) << why;
    ASSERT_TRUE(live.player.Open(musicFile().c_str(), why)) << why;
    live.player.SetStartSeconds(60.0);
    live.player.start(musicFile().c_str());
    live.Play(3.0);
    EXPECT_EQ(live.player.ClockMode(), PlaybackClock::Mode::Locked);
    double error = 0;
    ASSERT_TRUE(live.SoundAgainstClock(error));
    std::printf("SDL: heard - clock: %+.1f ms\n", error);
    EXPECT_LT(std::fabs(error), 0.5 * 1024 * 1000.0 / 44100); // within half of SDL's period
}
#endif
