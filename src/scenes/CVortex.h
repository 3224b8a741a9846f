#pragma once
// The vortex scene: black wire-frame ring segments rushing at the viewer around a liquid-metal
// blob of metaballs, a logo grid above it, the camera swaying on a path that jumps to a new phase
// on strong bass beats; drawn into the scene's own buffer and glowed onto the window. The credit
// cards flash in on those jumps.
#include "formats/CKHLFModel.h"
#include "formats/CScene.h"
#include "procedural/CMetaBall.h"
#include "render/CPBuffer.h"
#include "resource/CTexture.h"
#include "scenes/VortexLogic.h"

#include <cstdint>
#include <string>

class CDemoHandler::CVortex : public CDemoHandler::CScene
{
public:
    using ring_t = vortex::Ring;

    void Setup() override;
    void Render() override;
    void Close() override {} // the sequencer never calls it; every scene has one
    // Beat jumps, ring respawns, the logo's and the blob's steps and the arrow keys, one tick on.
    void Tick(const CDemoHandler::Tick& tick) override;

    // Loads one face of the cube map bound on the active unit from a 24-bit bitmap, rows as the
    // file stores them. A file that cannot be read, or is not a square of the cube's side, is
    // reported and leaves the face without image; so does a face GL refuses.
    void cubetex(int face, const char* file);

    svect3f inner[vortex::kProfileSteps][2];
    svect3f outer[vortex::kProfileSteps][2];
    unsigned ringList = 0;
    unsigned waterCube = 0;
    unsigned slimeCube = 0;
    unsigned logoList = 0;
    std::int32_t strLoc = -1;
    std::int32_t sposLoc = -1;
    float sposX = 0.0f, sposY = 0.5f;
    bool sposXDir = false, sposYDir = false; // false = rising
    float interp = 0.0f;
    std::int32_t interpLoc = -1;
    bool interpDir = false;
    ring_t rings[vortex::kRingSlots];
    CDemoHandler::CMetaBall metaball;
    CPBuffer sceneBuf;
    std::uint32_t lastJump = 0; // music milliseconds of the latest beat jump
    CKHLFModel logoModel;
    float phase = 0.0f;      // the camera's sway phase at phaseSince; it grows 3 a second
    double phaseSince = 0.0; // music time of the latest jump (or of the first tick)
    bool flying = false;     // the first tick has come
    std::uint32_t lastTime = 0;
    float yaw = 0.0f, pitch = 0.0f;

    vortex::CreditFlash credit;
    int jumps = 0; // beat jumps so far (shown with --verbose)

private:
    void LoadBlob();
    void CompileRingList();
    void LoadLogoGrid();
    void DrawCredit(std::uint32_t now);
    CubeFaceLoader cubeFaces{"vortex: cube map face", false}; // rows as the files store them
};
