#pragma once
// CBloom: the music-reactive glow every scene ends its frame with. Five off-screen targets carry
// a chain of bright-pass, shrink, blur, stretch and add passes; the glow's weight in the last
// addition is the bass level range(2, 3).
#include "render/CPBuffer.h"

class CBloom
{
public:
    ~CBloom();
    void Setup();
    void Bloom_pBuff(CPBuffer* src, CPBuffer* dst, unsigned dsttex, float strength);
    void Bloom_screen(CPBuffer* src, float unused, float level);

    unsigned tex2 = 0, tex3 = 0, tex4 = 0, tex5a = 0, tex5b = 0, tex6a = 0, tex6b = 0;
    CPBuffer pbuff2, pbuff3, pbuff4, pbuff5, pbuff6;
    int scoordLoc = -1, multLoc = -1, brightpassLoc = -1;
};

extern CBloom bloom;
