#include "app/LoadingBar.h"

#include "app/platform/GLWindow.h"
#include "app/platform/PassState.h"

#include <GL/glew.h>

void LoadingBar::Show(int n)
{
    if (n < 0 || n >= kSteps)
        return;
    PassState state;
    state.texture2D = false;
    glWindow.BeginOrtho(state);
    if (!started)
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        started = true;
    }
    glLoadIdentity();
    const float w = static_cast<float>(BarEnd(n));
    glBegin(GL_QUADS);
    glVertex2f(40, 374);
    glVertex2f(w, 374);
    glVertex2f(w, 394);
    glVertex2f(40, 394);
    glEnd();
    glBegin(GL_LINE_LOOP);
    glVertex2f(38, 373);
    glVertex2f(982, 373);
    glVertex2f(982, 396);
    glVertex2f(38, 396);
    glEnd();
    glWindow.FrameDone();
}
