#pragma once
// CBloom: the music-reactive glow every scene ends its frame with. Five off-screen targets carry
// a chain of bright-pass, shrink, blur, stretch and add passes; the glow's weight in the last
// addition is the bass level range(2, 3).
//
// Every pass runs in the window's one context with its own PassState (program, fixed-function
// texturing), binds the texture name it reads its input over, and keeps smaller images in the
// top-left corner of a full-size target whose rest is cleared to black.
#include "render/CPBuffer.h"

class CBloom
{
public:
    static constexpr int kTaps = 49;
    static constexpr float kStep = 0.000976f; // one blur step in texture coordinates

    ~CBloom();
    void Setup();
    // Picture plus glow (level x strength) into dst, which is current afterwards.
    void Bloom_pBuff(CPBuffer* src, CPBuffer* dst, unsigned dsttex, float strength);
    // Picture plus glow over the whole window; `level` is the bright-pass level. The unnamed
    // argument is kept because every caller passes one; it has never had an effect. A ceiling
    // above 0 lets the glow lift a pixel at most that share of the way to white (a mostly white
    // picture keeps its lines); 0 adds it plainly. Leaves the window current, unit 1 active,
    // additiveProg in use.
    void Bloom_screen(CPBuffer* src, float, float level, float ceiling = 0.0f);

    // The blur's 7 x 7 offsets: entry 7 i + j is ((i - 3) x kStep, (j - 3) x kStep), as x, y pairs.
    static void BlurOffsets(float out[2 * kTaps]);

    unsigned tex2 = 0, tex3 = 0, tex4 = 0, tex5a = 0, tex5b = 0, tex6a = 0, tex6b = 0;
    CPBuffer pbuff2, pbuff3, pbuff4, pbuff5, pbuff6;
    int scoordLoc = -1, multLoc = -1, brightpassLoc = -1, ceilingLoc = -1;

private:
    // Passes 1 to 10, shared by both ends; the labels differ between them.
    void Chain(CPBuffer* src, bool toScreen, float level);
};

extern CBloom bloom;
