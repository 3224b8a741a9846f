#pragma once
// COHLFObj: an articulated character of rigid parts. Each part is a KHLF model with its own JPEG
// texture and, optionally, its own AHLF track holding the part's complete transform relative to
// the character (not to a parent part). An OHLF file lists the parts.
#include "formats/CAHLFObj.h"
#include "formats/CKHLFModel.h"
#include "resource/CTexture.h"

#include <cstdint>

class COHLFObj
{
public:
    static constexpr int kMaxParts = 50;

    // Loads every complete part (at most kMaxParts) with its model, texture (GL_LINEAR both ways)
    // and track. Needs a current context. Names may use backslashes; they are opened with '/'.
    // Faults are reported once on standard error; a missing file loads no parts.
    void Load(const char* file);
    // Draws every part under the caller's matrix times its own track's matrix for the present
    // music time. Leaves the matrix and the stack depth as it found them.
    void Render();

    CAHLFObj anim[kMaxParts];
    CTexture texture[kMaxParts];
    CKHLFModel model[kMaxParts];
    std::int16_t fps = 25;
    std::int32_t numparts = 0;
};
