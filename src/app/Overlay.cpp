#include "app/Overlay.h"

#include "app/Font.h"
#include "app/platform/GLWindow.h"
#include "app/platform/PassState.h"

#include <GL/glew.h>

void Overlay::CountFrame(std::int64_t nowMicros)
{
    if (lastMicros >= 0 && nowMicros > lastMicros)
    {
        frameMillis = static_cast<double>(nowMicros - lastMicros) / 1000.0;
        // About the last half second at 60 fps: steady enough to read, quick to follow a change.
        averageMillis = averageMillis > 0 ? 0.97 * averageMillis + 0.03 * frameMillis : frameMillis;
    }
    lastMicros = nowMicros;
}

void Overlay::Draw(float musicSeconds, const char* scene, float bassLevel, double avOffsetMs,
                   double leadMs) const
{
    PassState state;
    state.texture2D = false;
    glWindow.BeginOrtho(state);
    glLoadIdentity();
    // Pixels: the font is 24 px high and 14 px wide a character; the longest line has 26.
    constexpr int kLeft = 16, kTop = 32, kLine = 26, kLines = 5, kWidth = 26 * 14;
    // A half-dark panel and a black copy of the text one pixel down and right keep it readable on
    // the white vortex as on the dark cave.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, 0.5f);
    glBegin(GL_QUADS);
    glVertex2i(kLeft - 8, kTop - 24);
    glVertex2i(kLeft + kWidth + 8, kTop - 24);
    glVertex2i(kLeft + kWidth + 8, kTop + (kLines - 1) * kLine + 10);
    glVertex2i(kLeft - 8, kTop + (kLines - 1) * kLine + 10);
    glEnd();
    glDisable(GL_BLEND);
    for (int pass = 0; pass < 2; ++pass)
    {
        const int d = pass == 0 ? 1 : 0;
        if (pass == 0)
            glColor3f(0, 0, 0);
        else
            glColor3f(1, 1, 1);
        glRasterPos2i(kLeft + d, kTop + d);
        glPrint("music %8.3f s", static_cast<double>(musicSeconds));
        glRasterPos2i(kLeft + d, kTop + kLine + d);
        glPrint("frame %6.1f ms %6.1f fps", frameMillis, FramesPerSecond());
        glRasterPos2i(kLeft + d, kTop + 2 * kLine + d);
        glPrint("scene %s", scene);
        glRasterPos2i(kLeft + d, kTop + 3 * kLine + d);
        glPrint("bass  %6.3f", static_cast<double>(bassLevel));
        glRasterPos2i(kLeft + d, kTop + 4 * kLine + d);
        glPrint("a/v   %+6.0f ms lead %5.1f", avOffsetMs, leadMs);
    }
    glColor3f(1, 1, 1);
}
