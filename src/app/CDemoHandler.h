#pragma once
// The scene sequencer. It owns the three scenes, creates and sets each up at construction (all
// loading happens before the music starts), and on every frame lets the music clock pick the
// scene that draws it. The scenes and their private helpers are nested here, as the piece names
// them (CDemoHandler::CCamRecord, CDemoHandler::CWaterNorm, ...); each is defined in its own file.

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

    CDemoHandler();
    ~CDemoHandler();
    CDemoHandler(const CDemoHandler&) = delete;
    CDemoHandler& operator=(const CDemoHandler&) = delete;

    // One frame; true when the piece is over.
    bool Run();
    // The slot the latest Run drew (for the capture summary).
    Slot LastSlot() const { return lastSlot; }

    CCamRecord* camRecord = nullptr;
    CVortex* vortex = nullptr;
    CDance* dance = nullptr;

private:
    Slot lastSlot = Slot::Nothing;
};
