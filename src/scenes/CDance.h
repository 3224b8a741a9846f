#pragma once
// The dance scene (music time 80.8 to 123 s): MrKalv dancing in a cave in front of a 7 x 7 disco
// floor whose tiles flash on the bass and colour four lights. Drawn into its own 1024 x 1024
// target and put on the window through the bloom filter.
#include "formats/CScene.h"
#include "formats/CKHLFModel.h"
#include "formats/COHLFObj.h"
#include "render/CPBuffer.h"
#include "scenes/DanceFloor.h"

class CDemoHandler::CDance : public CDemoHandler::CScene
{
public:
    // Loads the cave, the character and the rock texture.
    void Setup() override;
    // One frame onto the window. The first call starts the character's clock.
    void Render() override;
    void Close() override {} // the sequencer never calls it; every scene has one

    dancefloor::Tiles tiles = {};
    // The lights as the latest frame's tiles left them; each frame is lit by the previous one's.
    dancefloor::TileLight lights[dancefloor::kLights] = {};
    bool tilesLit = false; // false until a frame has coloured the lights: OpenGL's defaults
    CKHLFModel cave;
    CPBuffer danceBuf;
    COHLFObj dancer;
    bool firstFrame = true;
};
