#pragma once
// The window, resources and bloom filter for the render tests, opened once per process in a
// hidden window that keeps its picture, as a capture does. Faults go to standard error (capture
// mode), never to a modal box that would hold a test until its time-out. Without a display the
// hidden window's context comes from EGL, so the GL tests run headless too.
#include "app/platform/Clock.h"
#include "app/platform/GLWindow.h"
#include "render/CBloom.h"
#include "resource/CResource.h"
#include "support/WindowAtExit.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace rendertest
{
enum class Level
{
    Window,    // glWindow only
    Resources, // res.Init in the data folder (window, programs, closing picture)
    Bloom      // and bloom.Setup
};

inline std::string dataDir()
{
    const char* d = std::getenv("VQ_DATA_DIR");
    return d ? d : "";
}

// Opens up to `level`; false with a reason when it cannot.
inline bool Open(Level level, std::string& why)
{
    static int reached = -1; // highest level opened
    static std::string reason;
    static bool failed = false;
    if (failed)
    {
        why = reason;
        return false;
    }
    if (reached < 0)
    {
        vqclock::enterCapture(30.0, 0.0, true, 1);
        WindowOptions o;
        o.hidden = true;
        const std::string dir = dataDir();
        if (!dir.empty() && chdir(dir.c_str()) != 0)
        {
            reason = "cannot enter " + dir;
            failed = true;
        }
        else if (level == Level::Window)
            failed = !glWindow.Init(1024, 768, 32, o, reason);
        else
            failed = !res.Init(o, reason);
        if (failed)
        {
            why = reason;
            return false;
        }
        CloseWindowAtExit();
        reached = level == Level::Window ? 0 : 1;
    }
    if (static_cast<int>(level) > reached)
    {
        if (reached == 0)
        {
            why = "the window was opened without resources";
            return false;
        }
        bloom.Setup();
        glWindow.SetCurrent();
        reached = 2;
    }
    return true;
}

// One pixel of an RGB picture, top row first.
struct Pixel
{
    int r = 0, g = 0, b = 0;
    int max() const { return r > g ? (r > b ? r : b) : (g > b ? g : b); }
};

inline Pixel At(const std::vector<std::uint8_t>& rgb, int width, int x, int y)
{
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

// The current target's picture, top row first, as the y-down ortho drawing sees it.
inline std::vector<std::uint8_t> ReadTarget(int size = 1024)
{
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(size) * size * 3), rgb(raw.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, size, size, GL_RGB, GL_UNSIGNED_BYTE, raw.data());
    const std::size_t row = static_cast<std::size_t>(size) * 3;
    for (int y = 0; y < size; ++y)
        std::copy(raw.begin() + static_cast<long>(row * (size - 1 - y)),
                  raw.begin() + static_cast<long>(row * (size - y)),
                  rgb.begin() + static_cast<long>(row * y));
    return rgb;
}

// Fills the current (ortho, y-down) target with black and a white square at x0..x1, y0..y1.
inline void DrawSquare(int x0, int y0, int x1, int y1, float grey = 1.0f)
{
    CResource::UseProgram(0);
    glDisable(GL_TEXTURE_2D);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glColor3f(grey, grey, grey);
    glBegin(GL_QUADS);
    glVertex2i(x0, y0);
    glVertex2i(x1, y0);
    glVertex2i(x1, y1);
    glVertex2i(x0, y1);
    glEnd();
    glColor3f(1, 1, 1);
    glEnable(GL_TEXTURE_2D);
}
} // namespace rendertest

#define RENDER_NEED(level)                                                                                   \
    do                                                                                                       \
    {                                                                                                        \
        std::string why_;                                                                                    \
        if (!rendertest::Open(level, why_))                                                                  \
            FAIL() << "cannot open: " << why_;                                                               \
    } while (0)
