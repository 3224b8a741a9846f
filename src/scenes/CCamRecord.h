#pragma once
// The landscape: an island with a forest, a castle and a sea, seen from the recorded camera
// flight under a white sky. Each frame is drawn into sceneBuf, run through the bloom into
// bloomBuf, and drawn on the window through the fade program, whose "fade" comes from the flight.
#include "formats/CIHLF_Object.h"
#include "formats/CKHLFModel.h"
#include "formats/CScene.h"
#include "procedural/CWaterNorm.h"
#include "render/CPBuffer.h"
#include "resource/CTexture.h"

#include <string>

class CDemoHandler::CCamRecord : public CDemoHandler::CScene
{
public:
    CCamRecord();
    void Setup() override;
    void Render() override;
    void Close() override {} // the sequencer never calls it; every scene has one
    // The sea's cross-fade, one tick on.
    void Tick(const CDemoHandler::Tick& tick) override;

    // One cube-map face from a bitmap, top row first; the cube map must be bound. A face that
    // cannot be read, or is not a square of the cube's side, is reported (once per fault) and
    // left out; so is a face GL refuses.
    void cubetex(int target, const char* file);

    // The sea's cross-fade after dt milliseconds (a tick's): interp grows by dt / 200; past 1 it
    // restarts at exactly 0 and the layer moves on (0, 1, 2, 3, 0, ...).
    static void AdvanceSea(int& layer, float& interp, float dt);
    static int NextLayer(int layer) { return layer == 3 ? 0 : layer + 1; }

    int lastTime;
    CIHLF_Object island;
    CWaterNorm water;
    CPBuffer sceneBuf;
    CPBuffer bloomBuf;
    int layer = 0;
    unsigned waterTex[4] = {0, 0, 0, 0};
    int hmapLoc = -1;
    int interpcLoc = -1;
    unsigned bloomTex = 0;
    float interp;
    CKHLFModel castle;
    float bloomStrength;
    unsigned envTex = 0;
    bool firstFrame = false;

private:
    void LoadTextures();
    void CreatePrograms();
    void MakeSea();
    void LoadSky();
    void DrawIsland();
    void DrawSea();
    void Composite();

    CubeFaceLoader cubeFaces{"landscape: sky cube face", true}; // top row first, as the faces are laid out
};
