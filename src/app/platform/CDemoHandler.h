#pragma once
// The scene sequencer. It owns the three scenes, creates and sets each up at construction (all
// loading happens before the music starts), and on every frame lets the music clock pick the
// scene that draws it, then presents what was drawn: the one owner of the frame.
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
    void toggleOverlayOnF1();

    Slot lastSlot = Slot::Nothing;
    Overlay* overlay = nullptr;
    bool overlayShown = false;
};
