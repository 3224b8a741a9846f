#include "render/CPBuffer.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>
#include <map>

namespace
{
CPBuffer* g_current = nullptr; // the target whose context is current, if any

struct FaultCounts
{
    std::map<std::string, long> seen;
    ~FaultCounts()
    {
        for (const auto& f : seen)
            if (f.second > 1)
                std::fprintf(stderr, "ERROR: \"%s\" occurred %ld times in all\n", f.first.c_str(), f.second);
    }
};
FaultCounts g_faults;

bool haveSync() { return GLEW_VERSION_3_2 || GLEW_ARB_sync; }

// Set when the process starts to exit. The driver (and the LLVM inside Mesa's software renderer)
// registers its own exit-time destructors after our globals were built, so they run before the
// bloom filter's destructor: GL calls from there would reach a driver that is already torn down
// and corrupt the process's exit. This handler is registered after the driver loaded, so it runs
// before the driver's destructors.
bool g_processEnding = false;
void markProcessEnding() { g_processEnding = true; }
} // namespace

void PBufferFault(const std::string& text)
{
    if (++g_faults.seen[text] == 1)
        ShowMessage("ERROR", text);
}

bool InitPixelFormat()
{
    // Every target is an RGBA8 colour texture with a 24-bit depth buffer in a framebuffer object.
    if (GLEW_VERSION_3_0 || GLEW_ARB_framebuffer_object)
        return true;
    PBufferFault("Feil i pikselformat for pbuffer.");
    return false;
}

bool InitPBuffer()
{
    if (!haveSync())
        std::fprintf(stderr, "warning: no sync objects; off-screen pictures are only flushed\n");
    return true;
}

bool InitRenderTexture()
{
    // Binding a target's image is binding its colour texture: nothing more to fetch here.
    return true;
}

bool CreateColorDepthFramebuffer(int w, int h, unsigned& fbo, unsigned& color, unsigned& depth)
{
    glGenTextures(1, &color);
    glBindTexture(GL_TEXTURE_2D, color);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE)
        return true;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &fbo);
    glDeleteRenderbuffers(1, &depth);
    glDeleteTextures(1, &color);
    fbo = color = depth = 0;
    return false;
}

void CPBuffer::LeaveCurrent()
{
    CPBuffer* cur = g_current;
    g_current = nullptr;
    if (!cur || !cur->context)
        return;
    if (haveSync())
    {
        // The newest fence covers all earlier drawing of this target.
        if (cur->fence)
            glDeleteSync(static_cast<GLsync>(cur->fence));
        cur->fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    }
    glFlush();
}

bool CPBuffer::MakeCurrent()
{
    if (g_current == this && glWindow.CurrentContext() == context)
        return true;
    LeaveCurrent();
    if (!glWindow.MakeCurrent(context))
        return false;
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    g_current = this;
    return true;
}

void CPBuffer::Init(int w, int h)
{
    width = w;
    height = h;
    if (!glWindow.CurrentContext())
    {
        PBufferFault("HDC ikke funnet.");
        return;
    }
    if (!InitPixelFormat())
        return;
    static const bool watchingExit = std::atexit(markProcessEnding) == 0;
    (void)watchingExit;
    LeaveCurrent();
    context = glWindow.CreateSharedContext();
    if (!context)
    {
        PBufferFault("pbuffer kunne ikke allokeres.");
        return;
    }
    glWindow.MakeCurrent(context);
    // The images are shared objects; the framebuffer object that holds them is not, so it is
    // made in the target's own context.
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
    glViewport(0, 0, w, h);
    g_current = this;
    SetCurrent("init");
}

void CPBuffer::SetCurrent(const char* label)
{
    if (!Valid() || !MakeCurrent())
        PBufferFault(label ? label : "");
}

void CPBuffer::SetCurrent() { SetCurrent("Kontekst til pbuffer er ugyldig."); }

void CPBuffer::SetProjection()
{
    SetCurrent("setprojection");
    glViewport(0, 0, 1024, 1024);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / height, 1.0, 3000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glClearColor(1, 1, 1, 1);
}

void CPBuffer::SetOrtho()
{
    SetCurrent("setortho");
    glViewport(0, 0, 1024, 1024);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, width, height, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
}

void CPBuffer::BindObj() { Bind(false); }

void CPBuffer::BindObjNearest() { Bind(true); }

void CPBuffer::Bind(bool nearestWanted)
{
    if (!Valid() || g_current == this)
    {
        // A target cannot sample its own picture while drawing into it.
        PBufferFault("Kunne ikke binde pbuffer til teksturobjekt.");
        return;
    }
    if (fence)
        glWaitSync(static_cast<GLsync>(fence), 0, GL_TIMEOUT_IGNORED);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &savedBinding);
    glBindTexture(GL_TEXTURE_2D, colorTex);
    if (nearest != nearestWanted)
    {
        // The filter belongs to the image, which every context shares: set only on a change.
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
    if (!context)
        return;
    if (!glWindow.IsOpen() || g_processEnding)
    {
        // The window and every context went with it at shutdown, or the process is ending and
        // takes them along: nothing may call the GL any more.
        if (g_current == this)
            g_current = nullptr;
        context = nullptr;
        return;
    }
    // Whatever target is current is fenced as at any switch, before we take our own context.
    LeaveCurrent();
    // Deleting the shared images needs a context that shares them: ours.
    if (glWindow.MakeCurrent(context))
    {
        if (fence)
            glDeleteSync(static_cast<GLsync>(fence));
        if (fbo)
            glDeleteFramebuffers(1, &fbo);
        glDeleteRenderbuffers(1, &depthRb);
        glDeleteTextures(1, &colorTex);
    }
    glWindow.DeleteContext(context);
    context = nullptr;
    fence = nullptr;
    fbo = colorTex = depthRb = 0;
    glWindow.SetCurrent();
}
