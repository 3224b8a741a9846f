#include "scenes/CCamRecord.h"

#include "app/platform/Clock.h"
#include "app/platform/DataNames.h"
#include "app/platform/GLWindow.h"
#include "audio/CBass.h"
#include "render/CBloom.h"
#include "resource/CResource.h"
#include "resource/CTexture.h"

#include <GL/glew.h>

#include <cstdio>

namespace
{
// Light 0 as a direction (w = 0). The terrain and sea shaders read it as the way the sunlight
// travels; the castle's normals are made for the fixed-function reading of the same vector.
const GLfloat kLightPosition[4] = {0.33f, -0.33f, 0.33f, 0.0f};
const GLfloat kWhite[4] = {1.0f, 1.0f, 1.0f, 0.0f};

// The island in its target: lit by light 0, textured, depth-tested, on white.
PassState scenePass()
{
    PassState s;
    s.depthTest = true;
    s.lighting = true;
    s.lights = 1;
    s.clearColour[0] = s.clearColour[1] = s.clearColour[2] = s.clearColour[3] = 1.0f;
    return s;
}

// White sunlight, placed under the current modelview matrix.
void placeLight()
{
    glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kWhite);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kWhite);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kWhite);
}

void loadTexture(CTexture& tex, const char* file, bool jpeg, GLenum minFilter, GLenum magFilter)
{
    // Both loaders report their own faults; the texture then exists without an image.
    if (jpeg)
        tex.Load_JPEG(file);
    else
        tex.Load(file);
    tex.Upload(minFilter, magFilter);
    tex.Bind();
}
} // namespace

CDemoHandler::CCamRecord::CCamRecord()
    : lastTime(static_cast<int>(timeGetTime())), interp(0.0f), bloomStrength(1.0f)
{
}

void CDemoHandler::CCamRecord::AdvanceSea(int& layer, float& interp, float dt)
{
    interp += dt / 200.0f;
    if (interp > 1.0f)
    {
        interp = 0.0f;
        layer = NextLayer(layer);
    }
}

void CDemoHandler::CCamRecord::cubetex(int target, const char* file) { cubeFaces.Load(target, file); }

void CDemoHandler::CCamRecord::Setup()
{
    sceneBuf.Init(1024, 1024, glWindow.SceneSamples());
    LoadTextures();
    CreatePrograms();
    MakeSea();
    LoadSky();
    ReportLoading();
    island.Load(datafile::kIsland);
    ReportLoading();
    castle.Load(datafile::kCastle);
    ReportLoading();

    // The bloom's destination, with the texture name the bloom binds its picture over.
    bloomBuf.Init(1024, 1024);
    glGenTextures(1, &bloomTex);
    glBindTexture(GL_TEXTURE_2D, bloomTex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    lastTime = static_cast<int>(timeGetTime());
    camera.LoadPath("vqpath001.chlf"); // the player always reads "vq_accumcam.chlf"
    firstFrame = true;
}

void CDemoHandler::CCamRecord::LoadTextures()
{
    // Each frame binds them on the units the terrain program reads: mountain and shrub on 0 and 1,
    // gravel and the material map on 2 and 3.
    glActiveTexture(GL_TEXTURE0);
    loadTexture(res.mountainTex, datafile::kMountainTexture, true, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
    loadTexture(res.treeTex, datafile::kBarkTexture, false, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
    loadTexture(res.leafTex, datafile::kLeafTexture, false, GL_NEAREST, GL_NEAREST);
    loadTexture(res.castleTex, datafile::kCastleTexture, true, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
    loadTexture(res.shrubTex, datafile::kShrubTexture, false, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
    loadTexture(res.gravelTex, datafile::kGravelTexture, false, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
    loadTexture(res.matMapTex, datafile::kMaterialMap, false, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
}

void CDemoHandler::CCamRecord::CreatePrograms()
{
    res.terrainProg = res.CreateShader("VQ_SHADER_Terrain.vert", "VQ_SHADER_Terrain.frag");
    CResource::SetUniform1i(CResource::UniformLocation(res.terrainProg, "texture1"), 0);
    CResource::SetUniform1i(CResource::UniformLocation(res.terrainProg, "texture2"), 1);
    CResource::SetUniform1i(CResource::UniformLocation(res.terrainProg, "texture3"), 2);
    CResource::SetUniform1i(CResource::UniformLocation(res.terrainProg, "texture4"), 3);

    // The leaves' cut-out program.
    res.landTransparentProg = res.CreateShader("VQ_SHADER_Transparent.vert", "VQ_SHADER_Transparent.frag");
    CResource::SetUniform1i(CResource::UniformLocation(res.landTransparentProg, "texture"), 0);

    res.waterProg = res.CreateShader("VQ_SHADER_Vann.vert", "VQ_SHADER_Vann.frag");
    CResource::SetUniform1i(CResource::UniformLocation(res.waterProg, "texture1"), 0);
    CResource::SetUniform1i(CResource::UniformLocation(res.waterProg, "texture2"), 1);
    CResource::SetUniform1i(CResource::UniformLocation(res.waterProg, "envmap"), 2);
    interpcLoc = CResource::UniformLocation(res.waterProg, "interpc");
    CResource::SetUniform1f(interpcLoc, 0.0f);
    hmapLoc = CResource::UniformLocation(res.waterProg, "hmap");
    CResource::SetUniform1i(hmapLoc, 0);
    CResource::UseProgram(0);
}

void CDemoHandler::CCamRecord::MakeSea()
{
    glGenTextures(4, waterTex);
    for (unsigned tex : waterTex)
    {
        glBindTexture(GL_TEXTURE_2D, tex);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    }
    water.MakeNormalMap(waterTex[0], waterTex[1], waterTex[2], waterTex[3], &sceneBuf, loadingStep);
}

void CDemoHandler::CCamRecord::LoadSky()
{
    // The sky's cube map, reflected by the sea.
    glGenTextures(1, &envTex);
    glBindTexture(GL_TEXTURE_CUBE_MAP, envTex);
    // The size most faces share is the cube's; a face of another size is left out.
    cubeFaces.side =
        CubeMapSideOfFiles(std::vector<std::string>(datafile::kSkyFaces, datafile::kSkyFaces + 6));
    for (int face = 0; face < 6; ++face)
        cubetex(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, datafile::kSkyFaces[face]);
}

void CDemoHandler::CCamRecord::Render()
{
    if (firstFrame)
    {
        camera.Rewind(static_cast<int>(timeGetTime()));
        firstFrame = false;
    }
    bass.doThis();

    sceneBuf.BeginPerspective("landscape_scene", scenePass());
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    camera.Update();
    glLoadIdentity();
    camera.SetMatrix();
    // Placed under the camera, so its direction is fixed in the world.
    placeLight();

    DrawIsland();
    DrawSea();

    // Picture plus glow into bloomBuf.
    bloom.Bloom_pBuff(&sceneBuf, &bloomBuf, bloomTex, bloomStrength);
    Composite();
}

void CDemoHandler::CCamRecord::Tick(const CDemoHandler::Tick&)
{
    AdvanceSea(layer, interp, 1000.0f / CDemoHandler::kTickRate);
}

void CDemoHandler::CCamRecord::DrawIsland()
{
    // Terrain.
    CResource::UseProgram(res.terrainProg);
    glActiveTexture(GL_TEXTURE3);
    res.matMapTex.Bind();
    glActiveTexture(GL_TEXTURE2);
    res.gravelTex.Bind();
    glActiveTexture(GL_TEXTURE1);
    res.shrubTex.Bind();
    glActiveTexture(GL_TEXTURE0);
    res.mountainTex.Bind();
    island.Render();

    // Castle, fixed-function lit.
    CResource::UseProgram(0);
    res.castleTex.Bind();
    castle.Render();

    // Tree trunks, unlit.
    glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    res.treeTex.Bind();
    island.RenderTrees();

    // Leaves through the cut-out program.
    CResource::UseProgram(res.landTransparentProg);
    res.leafTex.Bind();
    island.RenderLeaf();
}

void CDemoHandler::CCamRecord::DrawSea()
{
    glEnable(GL_LIGHTING);
    CResource::UseProgram(res.waterProg);
    const int next = NextLayer(layer);
    CResource::SetUniform1f(interpcLoc, interp);
    CResource::SetUniform1i(hmapLoc, layer);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, waterTex[layer]);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, waterTex[next]);
    glActiveTexture(GL_TEXTURE2);
    glBindTexture(GL_TEXTURE_CUBE_MAP, envTex);
    glActiveTexture(GL_TEXTURE0);
    water.Render();
}

void CDemoHandler::CCamRecord::Composite()
{
    // Onto the window through the fade; the square picture's lowest 256 rows fall below the
    // window's edge.
    PassState state;
    state.program = res.fadeProg;
    glWindow.BeginOrtho(state);
    CResource::SetUniform1f(res.fadeLoc, camera.GetFade());
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glBindTexture(GL_TEXTURE_2D, res.screenTex1);
    bloomBuf.BindObj();
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1);
    glVertex2f(0, 0);
    glTexCoord2f(1, 1);
    glVertex2f(1024, 0);
    glTexCoord2f(1, 0);
    glVertex2f(1024, 1024);
    glTexCoord2f(0, 0);
    glVertex2f(0, 1024);
    glEnd();
    bloomBuf.ReleaseObj();
    CResource::UseProgram(0);
}
