#pragma once
// A hidden window to compile shaders in, opened once per process, for the tests that check data
// files as the piece uses them. The working directory stays the test's.
#include "app/platform/Clock.h"
#include "app/platform/GLWindow.h"
#include "resource/CResource.h"
#include "support/WindowAtExit.h"

#include <string>

inline bool ShaderContext(std::string& why)
{
    static int state = 0; // 0 untried, 1 open, 2 failed
    static std::string reason;
    if (state == 0)
    {
        vqclock::enterCapture(30.0, 0.0, true, 1); // faults to standard error, never a box
        WindowOptions o;
        o.hidden = true;
        state = glWindow.Init(1024, 768, 32, o, reason) && CResource::ShadersAvailable() ? 1 : 2;
        if (state == 1)
            CloseWindowAtExit();
    }
    why = reason;
    return state == 1;
}
