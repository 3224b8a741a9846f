#pragma once
// Closes the window when a test program ends. Call it right after the window opened: the closer is
// made then, after the GL driver registered its own exit-time clean-up, so it runs before that
// clean-up, and the targets' destructors afterwards find the window closed and call no GL.
#include "app/platform/GLWindow.h"

inline void CloseWindowAtExit()
{
    static struct Closer
    {
        ~Closer() { glWindow.Disable(); }
    } closer;
    (void)closer;
}
