#include "render/CPBuffer.h"

#include "app/platform/GLWindow.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <cstdio>

namespace
{
// Every target of the piece is 1024 x 1024 units; the viewport is that whatever size was asked for.
constexpr int kViewport = 1024;

bool makeMultisampled(int w, int h, int samples, unsigned& fbo, unsigned& color, unsigned& depth)
{
    glGenRenderbuffers(1, &color);
    glBindRenderbuffer(GL_RENDERBUFFER, color);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, w, h);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH_COMPONENT24, w, h);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE)
        return true;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &fbo);
    glDeleteRenderbuffers(1, &depth);
    glDeleteRenderbuffers(1, &color);
    fbo = color = depth = 0;
    return false;
}
} // namespace

void CPBuffer::Init(int w, int h, int samples)
{
    width = w;
    height = h;
    pixelW = glWindow.Pixels(static_cast<float>(w));
    pixelH = glWindow.Pixels(static_cast<float>(h));
    if (!glWindow.IsOpen())
    {
        PBufferFault("HDC ikke funnet.");
        return;
    }
    if (!InitPixelFormat())
        return;
    if (!CreateColorDepthFramebuffer(pixelW, pixelH, fbo, colorTex, depthRb))
    {
        PBufferFault("pbuffer kunne ikke allokeres.");
        return;
    }
    GLint tw = 0, th = 0;
    glBindTexture(GL_TEXTURE_2D, colorTex);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &tw);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &th);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (tw != pixelW || th != pixelH)
        PBufferFault("Størrelsen på pbuffer er korrupt.");
    if (samples > 1 && !makeMultisampled(pixelW, pixelH, samples, msFbo, msColor, msDepth))
        std::fprintf(stderr, "warning: no %d-sample target here; drawing without multisampling\n", samples);
    SetCurrent("init");
}

void CPBuffer::SetCurrent(const char* label)
{
    if (!Valid())
    {
        PBufferFault(label ? label : "");
        return;
    }
    // The viewport covers the target's 1024 x 1024 units in its pixels.
    glBindFramebuffer(GL_FRAMEBUFFER, msFbo ? msFbo : fbo);
    glViewport(0, 0, glWindow.Pixels(kViewport), glWindow.Pixels(kViewport));
    drawn = true;
}

void CPBuffer::SetCurrent() { SetCurrent("Kontekst til pbuffer er ugyldig."); }

bool CPBuffer::IsCurrent() const
{
    const unsigned bound = BoundDrawFramebuffer();
    return Valid() && (bound == fbo || (msFbo && bound == msFbo));
}

void CPBuffer::Resolve()
{
    if (!msFbo || !drawn)
        return;
    // The drawing's samples become the image, keeping whatever framebuffer drawing goes to.
    GLint draw = 0, read = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, msFbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo);
    glBlitFramebuffer(0, 0, pixelW, pixelH, 0, 0, pixelW, pixelH, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(draw));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read));
    drawn = false;
}

void CPBuffer::LoadPerspective()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / height, 1.0, 3000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void CPBuffer::LoadOrtho()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, width, height, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void CPBuffer::SetProjection()
{
    SetCurrent("setprojection");
    LoadPerspective();
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glClearColor(1, 1, 1, 1);
}

void CPBuffer::SetOrtho()
{
    SetCurrent("setortho");
    LoadOrtho();
    glDisable(GL_DEPTH_TEST);
}

void CPBuffer::BeginOrtho(const char* label, const PassState& state)
{
    SetCurrent(label);
    ApplyPassState(state);
    LoadOrtho();
}

void CPBuffer::BeginPerspective(const char* label, const PassState& state)
{
    SetCurrent(label);
    ApplyPassState(state);
    LoadPerspective();
}

void CPBuffer::BindObj() { Bind(false); }

void CPBuffer::BindObjNearest() { Bind(true); }

void CPBuffer::Bind(bool nearestWanted)
{
    if (!Valid() || IsCurrent())
    {
        // A target cannot sample its own picture while drawing into it.
        PBufferFault("Kunne ikke binde pbuffer til teksturobjekt.");
        return;
    }
    Resolve();
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &savedBinding);
    glBindTexture(GL_TEXTURE_2D, colorTex);
    if (nearest != nearestWanted)
    {
        // The filter belongs to the image: set only on a change.
        const GLint filter = nearestWanted ? GL_NEAREST : GL_LINEAR;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
        nearest = nearestWanted;
    }
}

void CPBuffer::ReleaseObj()
{
    if (!Valid())
    {
        PBufferFault("Kunne ikke frakoble pbuffer fra teksturobjekt.");
        return;
    }
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(savedBinding));
}

void CPBuffer::Remove()
{
    // Once the window is closed its context took every target's objects with it.
    if (glWindow.IsOpen())
    {
        if (IsCurrent())
            glWindow.SetCurrent();
        DeleteColorDepthFramebuffer(fbo, colorTex, depthRb);
        if (msFbo)
        {
            glDeleteFramebuffers(1, &msFbo);
            glDeleteRenderbuffers(1, &msColor);
            glDeleteRenderbuffers(1, &msDepth);
        }
    }
    fbo = colorTex = depthRb = 0;
    msFbo = msColor = msDepth = 0;
}
