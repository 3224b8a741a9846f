#include "scenes/CDance.h"

#include "app/platform/DataNames.h"
#include "app/platform/GLWindow.h"
#include "audio/CBass.h"
#include "render/CBloom.h"
#include "resource/CResource.h"

#include <GL/glew.h>

#include <GL/glu.h>

#include <algorithm>

namespace
{
// The cave and the character, lit by the four tile lights, textured, on white.
PassState cavePass()
{
    PassState s;
    s.depthTest = true;
    s.lighting = true;
    s.lights = dancefloor::kLights;
    s.clearColour[0] = s.clearColour[1] = s.clearColour[2] = s.clearColour[3] = 1.0f;
    return s;
}

void applyLight(int l, const dancefloor::TileLight& light)
{
    const GLenum id = static_cast<GLenum>(GL_LIGHT0 + l);
    glLightfv(id, GL_POSITION, light.position);
    glLightfv(id, GL_AMBIENT, light.ambient);
    glLightfv(id, GL_DIFFUSE, light.diffuse);
    glLightfv(id, GL_SPECULAR, light.specular);
}
} // namespace

void CDemoHandler::CDance::Setup()
{
    firstFrame = true;
    tilesLit = ticked = false;
    dancefloor::InitTiles(tiles);
    danceBuf.Init(1024, 1024, glWindow.SceneSamples());
    cave.Load(datafile::kCave);
    ReportLoading();
    dancer.Load(datafile::kCharacterList);
    ReportLoading();
    res.caveTex.Load(datafile::kCaveTexture);
    res.caveTex.Upload(GL_LINEAR, GL_LINEAR);
}

void CDemoHandler::CDance::Tick(const CDemoHandler::Tick& tick)
{
    if (firstFrame)
    {
        // The dance starts with the scene's first tick, wherever the run started.
        firstFrame = false;
        bass.animStart = static_cast<float>(tick.seconds);
    }
    if (ticked)
    {
        std::copy(nextLights, nextLights + dancefloor::kLights, lights);
        tilesLit = true;
    }
    dancefloor::BeatTiles(tiles, tick.level);
    // Decay right after the flash: a tile that flashed on this tick shows 0.9.
    dancefloor::DecayTiles(tiles);
    for (int l = 0; l < dancefloor::kLights; ++l)
        nextLights[l] = dancefloor::TileLightAt(tiles, l);
    ticked = true;
}

void CDemoHandler::CDance::Render()
{
    bass.doThis();
    glWindow.SetCursorPos(512, 384);

    danceBuf.BeginPerspective("dance_pbuff", cavePass());
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!tilesLit)
        for (int l = 0; l < dancefloor::kLights; ++l)
            applyLight(l, dancefloor::DefaultLight(l)); // eye space: before the camera
    gluLookAt(3.0, 9.0, -6.6, -0.05, 0.0, -29.6, 0.0, 1.0, 0.0);
    // Lit by the lights as the tiles of the tick before left them; their positions go through the
    // camera matrix, so the lights stay put in the world.
    if (tilesLit)
        for (int l = 0; l < dancefloor::kLights; ++l)
            applyLight(l, lights[l]);

    res.caveTex.Bind();
    cave.Render();
    dancer.Render();

    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
    for (int i = -3; i <= 3; ++i)
        for (int j = -3; j <= 3; ++j)
        {
            const dancefloor::FloorQuad q = dancefloor::FloorQuadAt(tiles, i, j);
            glColor4fv(q.colour);
            for (const float* c : q.corner)
                glVertex3fv(c);
        }
    glEnd();

    bloom.Bloom_screen(&danceBuf, 2.0f, 0.5f);
}
