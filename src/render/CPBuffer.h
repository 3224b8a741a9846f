#pragma once
// CPBuffer: one 1024 x 1024 off-screen target with its own OpenGL context (sharing objects with
// the window's), drawing into its own framebuffer object: RGBA8 colour texture, 24-bit depth.
// "Binding its image" binds that colour texture on the active unit of the calling context.
//
// Each context keeps its own state (program in use, enabled textures, viewport, lights), which
// the bloom filter and the scenes rely on. A target's drawing is fenced when another context
// becomes current, and BindObj waits for that fence, so no context ever reads a stale picture.
//
// Faults are shown with the texts the piece has always shown, titled "ERROR"; a fault that would
// repeat every frame is shown once and then only counted.
#include "app/GLWindow.h"

#include <string>

// Checks that this platform offers what the targets need (framebuffer objects, sync objects).
// They return false and say so once when it does not.
bool InitPixelFormat();
bool InitPBuffer();
bool InitRenderTexture();

// Makes, in the current context, an RGBA8 colour texture (linear filters), a 24-bit depth
// renderbuffer and a framebuffer object holding both, left bound. False (with all three deleted)
// when the framebuffer is not complete.
bool CreateColorDepthFramebuffer(int w, int h, unsigned& fbo, unsigned& color, unsigned& depth);

class CPBuffer
{
public:
    void Init(int w, int h);
    void SetCurrent(const char* label);
    void SetCurrent();
    void SetProjection();
    void SetOrtho();
    // Binds the image on the active unit of the current context, sampled with linear filtering;
    // ReleaseObj binds back what was bound there before.
    void BindObj();
    // The same with nearest filtering, for a pass that reads the image texel for texel (a 1:1
    // copy): the same picture as linear filtering at texel centres, at less cost on a software
    // renderer.
    void BindObjNearest();
    void ReleaseObj();
    void Remove();

    bool Valid() const { return context != nullptr && fbo != 0; }
    unsigned ColorTexture() const { return colorTex; }

    // Called before any context switch: fences and flushes the target that is current, so its
    // picture is complete when another context reads it.
    static void LeaveCurrent();

    int width = 0, height = 0;

private:
    bool MakeCurrent();
    void Bind(bool nearestWanted);

    VQGLContext context = nullptr;
    unsigned fbo = 0, colorTex = 0, depthRb = 0;
    void* fence = nullptr; // GLsync of the latest drawing, set when we leave the context
    int savedBinding = 0;  // texture bound on the caller's unit before BindObj
    bool nearest = false;  // the image's filters are GL_NEAREST (else GL_LINEAR)
};

// Shows a pixel-buffer fault ("ERROR" box or standard error). Repeats of the same text are only
// counted; the count is printed at exit.
void PBufferFault(const std::string& text);
