#pragma once
// CIHLF_Object: the island of the landscape scene. Load reads the terrain (an IHLF file, see
// formats/IHLF.h), grows the 44 trees of the forest and compiles three display lists in the
// current context: the bark of all trees, their leaves, and the terrain quads with two texture
// coordinate sets (units 0 and 1). Nothing else is kept. The lists set no texture, colour or
// shader state; the scene binds its own before each Render call.
//
// Load needs a current context, outside any list being compiled, with GLEW initialised. After a
// failed load no list exists and the Render calls draw nothing.

class CIHLF_Object
{
public:
    // "Feil 1" (empty file) and "Feil 2" (not whole records), a missing, oversized or garbage
    // file and dropped quads are reported on standard error; "elements: N" is printed only with
    // --verbose. Returns true when the lists were built.
    bool Load(const char* name);
    void Render();
    void RenderTrees();
    void RenderLeaf();

    // The island's spelling of the piece's rnd (same generator, same formula).
    static float rnd(float a, float b);

    unsigned terrainlist = 0;
    unsigned treelist = 0;
    unsigned leaflist = 0;
};
