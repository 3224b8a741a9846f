#pragma once
#include <cstdint>
// The scene sequencer. It owns the three scenes, creates and sets each up at construction (all
// loading happens before the music starts), and on every frame lets the music clock pick the
// scene that draws it, then presents what was drawn: the one owner of the frame.
//
// Rules that step once per frame (the dance floor's flashes and decay, the vortex's beat jumps,
// logo motion and ring respawns, the sea's cross-fade) step on a fixed 60 Hz tick of music time
// instead, counted from the start of the timeline: before drawing a frame at music time t the
// sequencer runs every tick up to t, each in the scene whose time window holds it. So the piece
// looks the same at any frame rate, and any moment can be reached exactly by running the ticks up
// to it without drawing (a capture or a live run from --start). Motion that is a function of time
// (camera flight, ring flight, the blob's phase) is computed at the frame's own time.
//
// The scenes and their private helpers are nested here, as the piece names them
// (CDemoHandler::CCamRecord, CDemoHandler::CWaterNorm, ...), and each is defined in its own file
// in the layer it belongs to. This header includes nothing, so any layer may include it for
// those names; the sequencer's operations are defined in src/app.

class Overlay;

class CDemoHandler
{
public:
    class CScene;
    class CCamRecord;
    class CVortex;
    class CDance;
    class CWaterNorm;
    class CMetaBall;

    static constexpr int kTickRate = 60; // ticks per second of music time

    // One tick: its number, its music time, and the bass level range(2, 3) heard then.
    struct Tick
    {
        std::uint64_t index;
        double seconds;
        std::uint32_t ms; // music milliseconds, truncated
        float level;
    };

    // What the timeline shows at a music time (seconds, compared in single precision).
    enum class Slot
    {
        Quit,      // t > 126
        Landscape, // t < 50.8
        Vortex,    // 50.8 < t < 80.8
        Dance,     // 80.8 < t < 123
        Outro,     // 123 < t < 126
        Nothing    // exactly on a boundary: nothing is drawn or presented
    };
    static Slot TimelineSlot(float t);
    // What a slot shows, in words ("landscape", "closing picture", ...).
    static const char* SlotName(Slot s);

    CDemoHandler();
    ~CDemoHandler();
    CDemoHandler(const CDemoHandler&) = delete;
    CDemoHandler& operator=(const CDemoHandler&) = delete;

    // One frame: refreshes the clock, lets the chosen scene draw, adds the overlay when it is
    // shown, presents the picture. True when the piece is over.
    bool Run();
    // The overlay (F1): off unless asked for. While capturing, F1 changes nothing: a capture shows
    // the overlay only when it was asked for on the command line.
    void ShowOverlay(bool show) { overlayShown = show; }
    bool OverlayShown() const { return overlayShown; }
    // The slot the latest Run chose (for the capture summary), and whether it presented a picture.
    Slot LastSlot() const { return lastSlot; }
    bool Presented() const { return lastSlot != Slot::Nothing && lastSlot != Slot::Quit; }

    CCamRecord* camRecord = nullptr;
    CVortex* vortex = nullptr;
    CDance* dance = nullptr;

private:
    // Runs every tick whose music sample is at or before `sample`.
    void RunTicks(std::uint64_t sample);
    void toggleOverlayOnF1();

    Slot lastSlot = Slot::Nothing;
    std::uint64_t nextTick = 0;
    Overlay* overlay = nullptr;
    bool overlayShown = false;
};
