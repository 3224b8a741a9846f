#include "scenes/CCamRecord.h"

#include "app/GLWindow.h"
#include "audio/CBass.h"

#include <GL/glew.h>

void CDemoHandler::CCamRecord::Setup() {}

void CDemoHandler::CCamRecord::Render()
{
    bass.doThis();
    glWindow.SetCurrent();
    glClearColor(0.2f, 0.5f, 0.8f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glWindow.FrameDone();
}
