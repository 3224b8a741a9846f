#include "app/platform/PassState.h"

#include <GL/glew.h>

namespace
{
constexpr int kUnits = 4;  // the most units any pass of the piece samples
constexpr int kLights = 4; // the most lights any scene uses

void setEnabled(GLenum cap, bool on)
{
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}
} // namespace

void ApplyPassState(const PassState& s)
{
    if (glUseProgramObjectARB)
        glUseProgramObjectARB(s.program);
    for (int unit = kUnits - 1; unit >= 0; --unit)
    {
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        setEnabled(GL_TEXTURE_2D, unit == 0 && s.texture2D);
        glDisable(GL_TEXTURE_CUBE_MAP);
    }
    setEnabled(GL_LIGHTING, s.lighting);
    for (int l = 0; l < kLights; ++l)
        setEnabled(GL_LIGHT0 + static_cast<GLenum>(l), l < s.lights);
    setEnabled(GL_DEPTH_TEST, s.depthTest);
    glDisable(GL_BLEND);
    glDisable(GL_SCISSOR_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, s.outlines ? GL_LINE : GL_FILL);
    glLineWidth(s.lineWidth);
    glShadeModel(GL_SMOOTH);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glClearColor(s.clearColour[0], s.clearColour[1], s.clearColour[2], s.clearColour[3]);
    glMatrixMode(GL_MODELVIEW);
}
