#include "app/platform/CDemoHandler.h"

#include "app/Font.h"
#include "app/LoadingBar.h"
#include "app/Overlay.h"
#include "app/platform/CInput.h"
#include "app/platform/Clock.h"
#include "app/platform/GLWindow.h"
#include "app/platform/Timeline.h"
#include "audio/CBass.h"
#include "audio/Fft1024.h"
#include "scenes/CCamRecord.h"
#include "scenes/CDance.h"
#include "scenes/CVortex.h"

#include <algorithm>

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
    // The bar moves on as each step of the work finishes (the sea's parts, the models, each
    // scene) and shows full only when all is loaded.
    LoadingBar bar;
    int done = 0;
    bar.Show(done);
    const auto advance = [&bar, &done](int) { bar.Show(std::min(++done, LoadingBar::kSteps - 2)); };
    camRecord = new CCamRecord;
    camRecord->loadingStep = advance;
    camRecord->Setup();
    vortex = new CVortex;
    vortex->loadingStep = advance;
    vortex->Setup();
    dance = new CDance;
    dance->loadingStep = advance;
    dance->Setup();
    for (CScene* scene :
         {static_cast<CScene*>(camRecord), static_cast<CScene*>(vortex), static_cast<CScene*>(dance)})
        scene->loadingStep = nullptr;
    bar.Show(LoadingBar::kSteps - 1);
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

void CDemoHandler::RunTicks(std::uint64_t sample)
{
    constexpr std::uint64_t kSamplesPerTick = timeline::kTrackRate / kTickRate;
    static_assert(timeline::kTrackRate % kTickRate == 0, "a tick is a whole number of samples");
    const PcmTrack& track = bass.Track();
    if (track.frames() == 0)
        return;
    // The level a tick reacts to is taken from the track at the tick's own time, the way the
    // player takes it at the frame's, so it does not depend on when frames happen to be drawn.
    static Fft1024 spectrum;
    static float fft[1024];
    for (; nextTick * kSamplesPerTick <= sample; ++nextTick)
    {
        const std::uint64_t at = nextTick * kSamplesPerTick;
        const Tick tick{nextTick, static_cast<double>(at) / timeline::kTrackRate,
                        static_cast<std::uint32_t>(at * 1000 / timeline::kTrackRate), 0.0f};
        CScene* scene = nullptr;
        switch (TimelineSlot(static_cast<float>(tick.seconds)))
        {
        case Slot::Landscape:
            scene = camRecord;
            break;
        case Slot::Vortex:
            scene = vortex;
            break;
        case Slot::Dance:
            scene = dance;
            break;
        default:
            continue;
        }
        spectrum.Compute(track, static_cast<std::size_t>(at % track.frames()), fft);
        Tick heard = tick;
        heard.level = SpectrumRange(fft, 2, 3);
        scene->Tick(heard);
    }
}

bool CDemoHandler::Run()
{
    toggleOverlayOnF1();
    bass.doThis();
    RunTicks(bass.bytePos / (2 * PcmTrack::kChannels));
    lastSlot = TimelineSlot(bass.seconds);
    switch (lastSlot)
    {
    case Slot::Quit:
        return true;
    case Slot::Landscape:
        camRecord->Render();
        break;
    case Slot::Vortex:
        vortex->Render();
        break;
    case Slot::Dance:
        dance->Render();
        break;
    case Slot::Outro:
        outro();
        break;
    case Slot::Nothing:
        return false; // exactly on a boundary: nothing to present
    }
    overlay->CountFrame(vqclock::monotonicMicros());
    if (overlayShown)
        overlay->Draw(bass.seconds, SlotName(lastSlot), bass.range(2, 3), bass.AvOffsetMs(), bass.LeadMs());
    glWindow.FrameDone();
    // How long this frame took from reading the clock to reaching the screen tells the clock how
    // far ahead to draw the next ones.
    bass.FramePresented();
    return false;
}
