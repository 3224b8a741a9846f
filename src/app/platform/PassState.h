#pragma once
// The piece draws every off-screen target and the window in one OpenGL context, so no pass can
// count on what the pass before it left behind (the vortex leaves polygons as outlines, the dance
// a tile's colour, the landscape its lighting). Every pass begins by applying one whole PassState
// and then sets only what is particular to it: its textures, uniforms and lights.
//
// Projection, viewport and framebuffer are not part of it: the target's SetCurrent, SetOrtho and
// SetProjection (or the window's) set those.
struct PassState
{
    unsigned program = 0;  // 0: fixed function
    bool texture2D = true; // fixed-function 2-D texturing on unit 0 (the other units never texture)
    bool depthTest = false;
    bool lighting = false;
    int lights = 0;         // lights 0 .. lights - 1 switched on, the rest of the first four off
    bool outlines = false;  // polygons drawn as their outlines
    float lineWidth = 1.0f; // pixels
    float clearColour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

// Applies the whole block; afterwards texture unit 0 is active, the colour is opaque white,
// blending and scissoring are off and the modelview matrix is the current one.
void ApplyPassState(const PassState& state);
