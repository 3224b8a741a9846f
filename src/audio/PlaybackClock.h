#pragma once
// The arithmetic of the live music clock, free of any device, so that tests can drive it with
// made-up readings.
//
// The sound device lives on a helper thread (see CBass). Every few milliseconds that thread
// publishes a DeviceReport: which frame of the track the listener hears at that moment, as the
// sound server reports it, latency included. Once per reading the frame loop hands the latest
// report to PlaybackClock, which decides what music position the picture shows:
//
// - Locked: the heard position, carried forward on the wall clock between reports and smoothed
//   (ClockFollower), never going back.
// - Free: when the heard position stops advancing (a stalled server, a helper thread stuck in the
//   library) or the device went away, the picture goes on by the wall clock from where it was.
//   When the sound comes back, the clock asks the device to jump to where the picture is now
//   (a join request; after a stall, on the device opened afresh) and locks again once the sound
//   runs steadily there. The picture never jumps back.
// - Waiting: right after start the picture holds the first frame until the sound is heard,
//   for at most kStartWaitMicros, so the piece opens with its music instead of ahead of it.
// - Silent: no device could be opened at all; the wall clock from start, as without sound.
//
// Positions are frames of the track at 44.1 kHz, as doubles. The clock's own position is not
// wrapped (it keeps counting past the end of the track); the device's are, since it loops.
#include <cstdint>

namespace playback
{
constexpr double kRate = 44100.0;

// How long the heard position may stand still while the wall clock runs before the picture goes
// on without it: a few of the device's periods (about 23 ms each), more than a scheduling hiccup.
constexpr std::int64_t kStallMicros = 120000;
// How long the sound must have run steadily after a stall or a join before the clock follows it.
constexpr std::int64_t kSettleMicros = 100000;
// A resumed sound this close to the picture's wall-clock position is followed without a jump.
constexpr double kAgreeFrames = 0.015 * kRate;
// A join that has not settled by then is asked for again.
constexpr std::int64_t kJoinRetryMicros = 1000000;
// The longest the first frame waits for the sound to begin.
constexpr std::int64_t kStartWaitMicros = 2000000;

// What the device thread last published.
struct DeviceReport
{
    enum class Device
    {
        Opening, // not open yet (or opening again after it went away)
        Ready,   // open, waiting for a request
        Playing, // open and carrying out request `serial`
        Lost,    // it went away; the thread tries to open it again
        Failed   // it could never be opened
    };
    Device device = Device::Opening;
    std::uint64_t serial = 0;      // the latest request the device carried out
    bool haveSample = false;       // heard and sampleMicros are valid
    double heard = 0.0;            // frame of the track heard at sampleMicros (wrapped, may be fractional)
    std::int64_t sampleMicros = 0; // monotonic
};

// What the clock asks of the device. serial grows with every new request.
struct PlayRequest
{
    std::uint64_t serial = 0;
    double frame = 0.0;        // wrapped into the track
    std::int64_t atMicros = 0; // `frame` is due to be heard at this moment
    bool fromStart = false;    // play from `frame` as it is (the picture waits); otherwise join:
                               // skip ahead by the time passed since atMicros and by the device's
                               // latency, so that the sound is heard in step with the picture
    bool reopen = false;       // open the device afresh first: after a server stalled, its stream
                               // reports a position hundreds of ms off that drifts and jumps
};

// The target frame for a join carried out at nowMicros by a device with `latencyFrames` still to
// play out (the frame handed to it now is heard that much later); wrapped into the track.
double JoinTarget(const PlayRequest& r, std::int64_t nowMicros, double latencyFrames, double trackFrames);

// The unwrapped position nearest to `near` that lies on `wrapped` in a looping track.
double Unwrap(double wrapped, double near, double trackFrames);

// SDL's callback is all SDL tells of its device: the block it asks for now is heard after what the
// device still holds. Measured with SDL 2.26, a block is heard one period after it was handed
// over under PulseAudio (and PipeWire's pulse server); elsewhere two periods are assumed. Only
// an estimate, used where OpenAL cannot be had.
int SdlLatencyPeriods(const char* driver);
// Heard frame for an SDL callback at callbackMicros that handed over the frames starting at
// handedFrame, read at nowMicros, with latencyFrames still held by the device; the wall clock
// carries it on between callbacks, but never past the block handed over. Never below notBefore.
std::uint64_t EstimatedHeardFrame(std::uint64_t handedFrame, std::int64_t callbackMicros,
                                  std::int64_t nowMicros, std::uint64_t latencyFrames,
                                  std::uint64_t periodFrames, std::uint64_t notBefore);

// The position a live frame is drawn for: the clock's position (what is heard now) plus the time
// until the frame will be on screen, minus the --av-offset (a positive offset shows the picture
// later). Never before notBefore, so that a shrinking lead cannot run the scenes backwards.
double DrawPosition(double clockFrame, std::int64_t leadMicros, double avOffsetMs, double notBefore);

// Follows a target position (the heard one) with a clock that never goes back: jitter smaller
// than kSnapFrames is smoothed over about kSmoothMicros; a larger lead of the target is jumped
// to at once; a larger lag holds the position until the target catches up.
class ClockFollower
{
public:
    static constexpr double kSnapFrames = 0.030 * kRate;
    static constexpr std::int64_t kSmoothMicros = 50000;

    void Reset(double position, std::int64_t nowMicros);
    double Follow(double target, std::int64_t nowMicros);
    // Where the clock would be now if it ran freely on from its last position.
    double Predict(std::int64_t nowMicros) const;
    double Position() const { return position; }

private:
    double position = 0.0;
    std::int64_t at = 0;
};

// How far ahead of the sound heard now a frame is drawn: the expected time from reading the clock
// to the frame being on screen, plus half the expected time it stays there (until the next frame
// replaces it), so that the picture is drawn for the middle of the span it is seen in. Each is the
// median of the last kFrames frames; the sum lies within [0, kMaxMicros]. Zero before the first
// frame.
//
// Drawn for the moment it appears, a frame would show the sound of that moment and then fall
// behind it until it is replaced: at a cut the picture would follow the sound by anything up to
// a whole frame interval (over 100 ms on a software renderer). For its middle, the picture is
// within half a frame interval of the sound either way.
class PresentLead
{
public:
    static constexpr int kFrames = 7;
    static constexpr std::int64_t kMaxMicros = 250000;

    // One presented frame: how long from reading the clock to presenting it, and how long since
    // the previous frame was presented (0 or less when there was none to count from).
    void Add(std::int64_t readToPresentMicros, std::int64_t sincePreviousMicros);
    std::int64_t Micros() const { return lead; }

private:
    struct Recent
    {
        std::int64_t values[kFrames] = {};
        int count = 0, next = 0;
        void Add(std::int64_t v);
        std::int64_t Median() const;
    };
    Recent toPresent, onScreen;
    std::int64_t lead = 0;
};

class PlaybackClock
{
public:
    enum class Mode
    {
        Idle,
        Waiting,
        Locked,
        Free,
        Silent
    };
    // Something worth one line to the person watching, reported once per change.
    enum class Event
    {
        None,
        NoDevice, // no device could be opened: silent
        NoAnswer, // the sound did not begin in time: the picture goes on by the clock
        Stalled,  // the heard position stopped advancing
        Lost,     // the device went away
        Resumed   // the sound is followed again
    };

    explicit PlaybackClock(double frames) : trackFrames(frames) {}

    // Begins at `frame` (wrapped). The first request asks the device to play from there.
    void Start(double frame, std::int64_t nowMicros);
    // One reading of the clock with the device's latest report; returns the position to show.
    double Update(const DeviceReport& report, std::int64_t nowMicros);

    // The request the device should carry out (its serial is 0 before Start).
    const PlayRequest& Request() const { return request; }
    Mode CurrentMode() const { return mode; }
    // The event of the latest Update, if any.
    Event TakeEvent();

private:
    void GoFree(std::int64_t nowMicros, Event why);
    void Join(std::int64_t nowMicros, bool reopen = false);
    // Keeps track of whether the heard position advances steadily.
    void Observe(const DeviceReport& r);
    bool Advancing(std::int64_t nowMicros) const;
    bool Settled(std::int64_t nowMicros) const;
    double HeardNow(std::int64_t nowMicros) const;

    double trackFrames;
    Mode mode = Mode::Idle;
    Event event = Event::None;
    PlayRequest request;
    ClockFollower follower;
    double startFrame = 0.0;
    std::int64_t startMicros = 0;
    bool joinPending = false;
    bool stalled = false; // the picture went on by the clock because the sound stood still
    std::int64_t joinMicros = 0;

    // The heard position's latest advance and the run of steady advances it belongs to.
    bool haveAdvance = false;
    std::uint64_t runSerial = 0;
    double lastHeard = 0.0; // unwrapped, latest sample
    std::int64_t lastSampleMicros = 0;
    double advanceHeard = 0.0; // unwrapped, at the latest advance
    std::int64_t advanceMicros = 0;
    double runHeard = 0.0; // unwrapped, at the start of the run
    std::int64_t runMicros = 0;
};
} // namespace playback
