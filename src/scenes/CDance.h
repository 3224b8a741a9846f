#pragma once
// The dance scene (music time 80.8 to 123 s): MrKalv dancing in a cave in front of a 7 x 7 disco
// floor whose tiles flash on the bass and colour four lights. Drawn into its own 1024 x 1024
// target and put on the window through the bloom filter.
#include "formats/CKHLFModel.h"
#include "formats/COHLFObj.h"
#include "formats/CScene.h"
#include "render/CPBuffer.h"
#include "scenes/DanceFloor.h"

class CDemoHandler::CDance : public CDemoHandler::CScene
{
public:
    // Loads the cave, the character and the rock texture.
    void Setup() override;
    // One frame onto the window.
    void Render() override;
    void Close() override {} // the sequencer never calls it; every scene has one
    // The floor's flashes on the beat and their decay, one tick on. The first tick starts the
    // character's clock.
    void Tick(const CDemoHandler::Tick& tick) override;

    dancefloor::Tiles tiles = {};
    // The floor lights a frame is lit by: those of the tiles one tick before the ones it shows.
    dancefloor::TileLight lights[dancefloor::kLights] = {};
    dancefloor::TileLight nextLights[dancefloor::kLights] = {}; // of the tiles shown now
    bool tilesLit = false; // false until the tiles have coloured the lights: OpenGL's defaults
    bool ticked = false;
    CKHLFModel cave;
    CPBuffer danceBuf;
    COHLFObj dancer;
    bool firstFrame = true; // kept false by the first tick, which sets the animation's origin
};
