#include "scenes/CVortex.h"

#include "app/GLWindow.h"
#include "audio/CBass.h"

#include <GL/glew.h>

void CDemoHandler::CVortex::Setup() {}

void CDemoHandler::CVortex::Render()
{
    bass.doThis();
    glWindow.SetCurrent();
    glClearColor(0.9f, 0.9f, 0.9f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glWindow.FrameDone();
}
