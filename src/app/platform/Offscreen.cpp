#include "app/platform/Offscreen.h"

#include "app/platform/GLWindow.h"

#include <GL/glew.h>

#include <cstdio>
#include <map>

namespace
{
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
} // namespace

void PBufferFault(const std::string& text)
{
    if (++g_faults.seen[text] == 1)
        ShowMessage("ERROR", text);
}

bool InitPixelFormat()
{
    if (GLEW_VERSION_3_0 || GLEW_ARB_framebuffer_object)
        return true;
    PBufferFault("Feil i pikselformat for pbuffer.");
    return false;
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
    DeleteColorDepthFramebuffer(fbo, color, depth);
    return false;
}

void DeleteColorDepthFramebuffer(unsigned& fbo, unsigned& color, unsigned& depth)
{
    if (fbo)
        glDeleteFramebuffers(1, &fbo);
    if (depth)
        glDeleteRenderbuffers(1, &depth);
    if (color)
        glDeleteTextures(1, &color);
    fbo = color = depth = 0;
}

unsigned BoundDrawFramebuffer()
{
    GLint bound = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &bound);
    return static_cast<unsigned>(bound);
}
