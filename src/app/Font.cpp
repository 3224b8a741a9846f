// Placeholder until the font and closing picture land.
#include "app/Font.h"

#include "app/GLWindow.h"

#include <GL/glew.h>

unsigned int base = 0;

void BuildFont() {}
void KillFont() {}
void glPrint(const char*, ...) {}

void outro()
{
    glWindow.SetCurrent();
    glWindow.InitOrtho();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glWindow.FrameDone();
}
