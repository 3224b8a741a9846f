#pragma once
// A hidden window's context and a small colour target for the HLF loaders' GL tests: the loaders
// compile display lists, and the tests draw them here and look at the pixels.
#include "app/platform/GLWindow.h"
#include "app/platform/Offscreen.h"
#include "support/WindowAtExit.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace hlftest
{
// Opens the hidden window once per process. Without a display the GL tests are skipped.
inline bool HaveContext(std::string& why)
{
    static int state = 0; // 0 untried, 1 open, 2 failed
    static std::string reason;
    if (state == 0)
    {
        WindowOptions o;
        o.hidden = true;
        state = glWindow.Init(1024, 768, 32, o, reason) ? 1 : 2;
        if (state == 1)
            CloseWindowAtExit();
    }
    why = reason;
    return state == 1;
}

// An RGBA8 target of size x size with depth, bound for drawing; projection and modelview identity.
class Target
{
public:
    explicit Target(int side) : size(side)
    {
        CreateColorDepthFramebuffer(size, size, fbo, color, depth);
        glViewport(0, 0, size, size);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    ~Target()
    {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &fbo);
        glDeleteRenderbuffers(1, &depth);
        glDeleteTextures(1, &color);
    }
    // RGB at normalised device coordinates (x, y) in [-1, 1].
    std::vector<int> At(float x, float y) const
    {
        const int px = static_cast<int>((x + 1) * 0.5f * size), py = static_cast<int>((y + 1) * 0.5f * size);
        unsigned char rgba[4] = {0, 0, 0, 0};
        glReadPixels(px, py, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return {rgba[0], rgba[1], rgba[2]};
    }

    int size;

private:
    unsigned color = 0, depth = 0, fbo = 0;
};
} // namespace hlftest

#define HLF_NEED_GL()                                                                                        \
    do                                                                                                       \
    {                                                                                                        \
        std::string why_;                                                                                    \
        if (!hlftest::HaveContext(why_))                                                                     \
            FAIL() << "no GL context: " << why_;                                                             \
    } while (0)
