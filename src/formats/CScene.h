#pragma once
// The abstract scene, and the camera-flight player every scene carries. It lives with the
// formats because the player is the camera-flight format's; the sequencer and the scenes above
// include it from here.
#include "app/platform/CDemoHandler.h"
#include "formats/HlfFormats.h"
#include "math/svect3f.h"

#include <cstdint>
#include <functional>

class CDemoHandler::CScene
{
public:
    // Plays back a recorded camera flight (a CHLF file): key nodes stamped in music milliseconds,
    // interpolated linearly between the two nodes that strictly bracket the music time. Holds
    // ten path slots of 10000 nodes inside the object (about 4.4 MB), so scenes live on the heap.
    class CCamera
    {
    public:
        static constexpr int kSlots = 10;
        static constexpr int kNodes = 10000;

        // One key node, laid out as its 44-byte file record.
        using node_t = hlf::ChlfNode;

        CCamera();
        // Always reads "vq_accumcam.chlf" into slot 0, whatever name is given: the flight of the
        // piece is that file. A damaged file loads what is valid and fits, and says so once.
        void LoadPath(const char* name);
        void Rewind(int time);
        void Update();
        void SetMatrix();
        float GetFade() const { return fade; }

        node_t nodes[kSlots][kNodes];
        std::int32_t numnodes[kSlots];
        std::int32_t curpath = 0;
        std::int32_t starttime = 0;
        svect3f eye, center, up;
        float fade = 0.0f;

        // The interpolation of Update for a given music time in ms (no clock, no GL).
        void UpdateAt(int ms);
    };

    CScene() = default;
    virtual ~CScene() = default;
    // Loads and builds everything the scene draws; called once, before the music starts.
    virtual void Setup() = 0;
    // Draws one whole frame for the music clock; the sequencer presents it.
    virtual void Render() = 0;
    // The sequencer never calls it; every scene keeps one that does nothing.
    virtual void Close() = 0;
    // One 60 Hz step of the rules that change the scene's state from one moment to the next; the
    // sequencer calls it for every tick inside the scene's time window, in order, before drawing.
    virtual void Tick(const CDemoHandler::Tick& tick) = 0;

    CCamera camera;
    // Set by the sequencer before Setup: the scene reports each finished step of its loading
    // through it, and the sequencer advances the loading bar. Empty when nobody watches (tests).
    std::function<void(int step)> loadingStep;
    void ReportLoading(int step = 0)
    {
        if (loadingStep)
            loadingStep(step);
    }
};

static_assert(sizeof(CDemoHandler::CScene::CCamera::node_t) == 44,
              "node_t is read straight from 44-byte records");
