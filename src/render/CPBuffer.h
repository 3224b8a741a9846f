#pragma once
// CPBuffer: one off-screen target of the piece, 1024 x 1024 units everywhere: a framebuffer object
// in the window's one OpenGL context, with an RGBA8 colour texture (linear filters, repeating) and a
// 24-bit depth buffer. Its pixels are its units times the window's scale, so a larger picture is
// the same picture, sharper. Making it current binds its framebuffer and viewport; binding its
// image binds its colour texture on the active unit.
//
// A multisampled target draws into multisampled buffers and resolves them into its texture the
// first time its image is bound after drawing.
//
// A target keeps no drawing state of its own: each pass applies its PassState after SetCurrent.
// Faults are shown through PBufferFault (once per text).
#include "app/platform/Offscreen.h"
#include "app/platform/PassState.h"

class CPBuffer
{
public:
    // Makes the target of w x h units, with `samples` samples a pixel (1: none); on success
    // drawing goes to it afterwards.
    void Init(int w, int h, int samples = 1);
    void SetCurrent(const char* label);
    void SetCurrent();
    // SetCurrent, then a 45-degree perspective (near 1, far 3000), identity modelview, smooth
    // shading, depth test on, white clear colour.
    void SetProjection();
    // SetCurrent, then one unit per pixel, origin top-left, y down; identity modelview; no depth test.
    void SetOrtho();
    // How every pass into a target begins: SetCurrent(label), the whole pass state, then the
    // matrices of SetOrtho or SetProjection (without their depth and clear colour, which the
    // state gives).
    void BeginOrtho(const char* label, const PassState& state);
    void BeginPerspective(const char* label, const PassState& state);
    // Binds the image on the active unit, sampled with linear filtering; ReleaseObj binds back
    // what was bound there before.
    void BindObj();
    // The same with nearest filtering, for a pass that reads the image texel for texel (a 1:1
    // copy): the same picture as linear filtering at texel centres, at less cost on a software
    // renderer.
    void BindObjNearest();
    void ReleaseObj();
    void Remove();

    bool Valid() const { return fbo != 0; }
    int PixelWidth() const { return pixelW; }
    int PixelHeight() const { return pixelH; }
    // True while drawing goes to this target.
    bool IsCurrent() const;

    int width = 0, height = 0;

private:
    void Bind(bool nearestWanted);
    void LoadPerspective();
    void LoadOrtho();

    void Resolve();

    unsigned fbo = 0, colorTex = 0, depthRb = 0;
    unsigned msFbo = 0, msColor = 0, msDepth = 0; // only when multisampled
    int pixelW = 0, pixelH = 0;
    bool drawn = false;   // drawn into since its samples were last resolved
    int savedBinding = 0; // texture bound on the caller's unit before BindObj
    bool nearest = false; // the image's filters are GL_NEAREST (else GL_LINEAR)
};
