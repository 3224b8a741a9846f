// Placeholder until the bloom filter lands: shows the source picture unchanged.
#include "render/CBloom.h"

#include <GL/glew.h>

CBloom bloom;

CBloom::~CBloom() = default;
void CBloom::Setup() {}
void CBloom::Bloom_pBuff(CPBuffer*, CPBuffer*, unsigned, float) {}
void CBloom::Bloom_screen(CPBuffer*, float, float) {}
