#include "scenes/CDance.h"

#include "app/GLWindow.h"
#include "audio/CBass.h"

#include <GL/glew.h>

void CDemoHandler::CDance::Setup() {}

void CDemoHandler::CDance::Render()
{
    bass.doThis();
    glWindow.SetCurrent();
    glClearColor(0.5f, 0.1f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glWindow.FrameDone();
}
