#include "app/platform/CDemoHandler.h"

#include "app/Font.h"
#include "app/LoadingBar.h"
#include "app/Overlay.h"
#include "app/platform/CInput.h"
#include "app/platform/Clock.h"
#include "app/platform/GLWindow.h"
#include "app/platform/Timeline.h"
#include "audio/CBass.h"
#include "scenes/CCamRecord.h"
#include "scenes/CDance.h"
#include "scenes/CVortex.h"

CDemoHandler::Slot CDemoHandler::TimelineSlot(float t)
{
    // Every boundary is strict on both sides: a clock exactly on one draws nothing.
    constexpr float vortex = static_cast<float>(timeline::kVortexStart);
    constexpr float dance = static_cast<float>(timeline::kDanceStart);
    constexpr float ending = static_cast<float>(timeline::kEndingStart);
    constexpr float end = static_cast<float>(timeline::kEnd);
    if (t > end)
        return Slot::Quit;
    if (t < vortex)
        return Slot::Landscape;
    if (t > vortex && t < dance)
        return Slot::Vortex;
    if (t > dance && t < ending)
        return Slot::Dance;
    if (t > ending && t < end)
        return Slot::Outro;
    return Slot::Nothing;
}

const char* CDemoHandler::SlotName(Slot s)
{
    switch (s)
    {
    case Slot::Landscape:
        return "landscape";
    case Slot::Vortex:
        return "vortex";
    case Slot::Dance:
        return "dance";
    case Slot::Outro:
        return "closing picture";
    default:
        return "none";
    }
}

CDemoHandler::CDemoHandler()
{
    overlay = new Overlay;
    // Each scene is set up before the next is created; all loading ends before the music starts.
    // The sea's generation is the long step, and the only one shown on the bar.
    LoadingBar bar;
    camRecord = new CCamRecord;
    camRecord->loadingStep = [&bar](int step) { bar.Show(step); };
    camRecord->Setup();
    camRecord->loadingStep = nullptr;
    vortex = new CVortex;
    vortex->Setup();
    dance = new CDance;
    dance->Setup();
}

CDemoHandler::~CDemoHandler()
{
    delete camRecord;
    delete vortex;
    delete dance;
    delete overlay;
}

void CDemoHandler::toggleOverlayOnF1()
{
    // Each press once, also a tap between two frames; a held key's auto-repeat toggles nothing.
    if (input.TakePress(VK_F1) && !vqclock::captureMode())
        overlayShown = !overlayShown;
}

bool CDemoHandler::Run()
{
    toggleOverlayOnF1();
    bass.doThis();
    lastSlot = TimelineSlot(bass.seconds);
    switch (lastSlot)
    {
    case Slot::Quit: return true;
    case Slot::Landscape: camRecord->Render(); break;
    case Slot::Vortex: vortex->Render(); break;
    case Slot::Dance: dance->Render(); break;
    case Slot::Outro: outro(); break;
    case Slot::Nothing: return false; // exactly on a boundary: nothing to present
    }
    overlay->CountFrame(vqclock::monotonicMicros());
    if (overlayShown)
        overlay->Draw(bass.seconds, SlotName(lastSlot), bass.range(2, 3));
    glWindow.FrameDone();
    return false;
}
