#include "render/CPBuffer.h"

#include "app/platform/GLWindow.h"

#include <GL/glew.h>
#include <GL/glu.h>

namespace
{
// Every target of the piece is 1024 x 1024; the viewport is that whatever size was asked for.
constexpr int kViewport = 1024;
} // namespace

void CPBuffer::Init(int w, int h)
{
    width = w;
    height = h;
    if (!glWindow.IsOpen())
    {
        PBufferFault("HDC ikke funnet.");
        return;
    }
    if (!InitPixelFormat())
        return;
    if (!CreateColorDepthFramebuffer(w, h, fbo, colorTex, depthRb))
    {
        PBufferFault("pbuffer kunne ikke allokeres.");
        return;
    }
    GLint tw = 0, th = 0;
    glBindTexture(GL_TEXTURE_2D, colorTex);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &tw);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &th);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (tw != w || th != h)
        PBufferFault("Størrelsen på pbuffer er korrupt.");
    SetCurrent("init");
}

void CPBuffer::SetCurrent(const char* label)
{
    if (!Valid())
    {
        PBufferFault(label ? label : "");
        return;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glViewport(0, 0, kViewport, kViewport);
}

void CPBuffer::SetCurrent() { SetCurrent("Kontekst til pbuffer er ugyldig."); }

bool CPBuffer::IsCurrent() const { return Valid() && BoundDrawFramebuffer() == fbo; }

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
    }
    fbo = colorTex = depthRb = 0;
}
