#include "scenes/CVortex.h"

#include "app/platform/CInput.h"
#include "app/platform/Clock.h"
#include "app/platform/DataNames.h"
#include "app/platform/GLWindow.h"
#include "app/platform/Verbose.h"
#include "audio/CBass.h"
#include "math/random.h"
#include "render/CBloom.h"
#include "resource/CResource.h"
#include "resource/CTexture.h"

#include <GL/glew.h>

#include <cmath>
#include <cstdio>

namespace
{
const GLenum kCubeFaces[6] = {GL_TEXTURE_CUBE_MAP_POSITIVE_X, GL_TEXTURE_CUBE_MAP_NEGATIVE_X,
                              GL_TEXTURE_CUBE_MAP_POSITIVE_Y, GL_TEXTURE_CUBE_MAP_NEGATIVE_Y,
                              GL_TEXTURE_CUBE_MAP_POSITIVE_Z, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z};

void setUniform3f(int location, float x, float y, float z)
{
    if (location >= 0 && CResource::ShadersAvailable())
        glUniform3f(location, x, y, z);
}

// Light 0 of the blob's shaders, in eye space (set under the identity modelview matrix).
const GLfloat kLightPosition[4] = {0.33f, 0.33f, 0.33f, 1.0f};
const GLfloat kLightAmbient[4] = {0.2f, 0.2f, 0.2f, 0.0f};
const GLfloat kLightDiffuse[4] = {0.6f, 0.2f, 0.6f, 0.0f};
const GLfloat kLightSpecular[4] = {1.0f, 1.0f, 1.0f, 0.0f};

// The rings: black outlines on white, depth-tested, unlit and untextured. The blob's shaders read
// light 0 from the built-in state, which is why it is set though lighting stays off.
PassState ringPass()
{
    PassState s;
    s.texture2D = false;
    s.depthTest = true;
    s.outlines = true;
    // One pixel of the piece's layout wide, as the rings are drawn, where the picture is
    // anti-aliased; two where it is not, because the square buffer is shown squeezed to 3/4 of its
    // height, which breaks aliased one-pixel lines into grey dashes.
    s.lineWidth = (glWindow.Antialiased() ? 1.0f : 2.0f) * glWindow.Scale();
    s.clearColour[0] = s.clearColour[1] = s.clearColour[2] = 1.0f;
    return s;
}

// How far the glow may lift a pixel towards white: the scene is mostly white, and a plain addition
// would erase its lines, the blob and the logo on every kick.
constexpr float kGlowCeiling = 0.45f;

void loadTexture(CTexture& tex, const char* file)
{
    // Load reports its own faults; the texture then has a name without an image.
    tex.Load(file);
    tex.Upload(GL_NEAREST, GL_NEAREST);
    tex.Bind();
}
} // namespace

void CDemoHandler::CVortex::cubetex(int face, const char* file) { cubeFaces.Load(face, file); }

void CDemoHandler::CVortex::Setup()
{
    sposX = 0.0f;
    sposY = 0.5f;
    yaw = pitch = 0.0f;
    sposXDir = sposYDir = false;
    interp = 0.0f;
    phase = 0.0f;
    interpDir = false;

    sceneBuf.Init(1024, 1024, glWindow.SceneSamples());
    logoModel.Load(datafile::kLogoModel);
    LoadBlob();
    ReportLoading();
    for (int i = 0; i < vortex::kRingsUsed; ++i)
    {
        rings[i].pos = svect3f(0.0f, 0.0f, -20.0f * (i + 1));
        rings[i].angle = 0.0f;
        rings[i].speed = 0.0f;
    }
    CompileRingList();
    LoadLogoGrid();
    ReportLoading();
    loadTexture(res.codeTex, datafile::kCodeCard);
    loadTexture(res.gfxTex, datafile::kGraphicsCard);

    CResource::UseProgram(0);
    glWindow.SetCurrent();
    glWindow.InitOrtho();
    lastTime = 0;
}

void CDemoHandler::CVortex::LoadBlob()
{
    // The blob's two environments and the program that blends them.
    glActiveTexture(GL_TEXTURE0);
    glGenTextures(1, &waterCube);
    glBindTexture(GL_TEXTURE_CUBE_MAP, waterCube);
    cubeFaces.side = CubeMapSideOfFiles({datafile::kWaterCube});
    for (GLenum face : kCubeFaces)
        cubetex(static_cast<int>(face), datafile::kWaterCube);
    glGenTextures(1, &slimeCube);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_CUBE_MAP, slimeCube);
    cubeFaces.side = CubeMapSideOfFiles({datafile::kSlimeCube});
    for (GLenum face : kCubeFaces)
        cubetex(static_cast<int>(face), datafile::kSlimeCube);
    glActiveTexture(GL_TEXTURE0);

    res.envMapProg = res.CreateShader("VQ_SHADER_EnvMap.vert", "VQ_SHADER_EnvMap.frag");
    CResource::SetUniform1i(CResource::UniformLocation(res.envMapProg, "EnvMap"), 0);
    CResource::SetUniform1i(CResource::UniformLocation(res.envMapProg, "EnvMap2"), 1);
    interpLoc = CResource::UniformLocation(res.envMapProg, "interp");
}

void CDemoHandler::CVortex::CompileRingList()
{
    vortex::RingProfile(inner, outer);
    const std::vector<vortex::Quad> quads = vortex::RingQuads(inner, outer);
    ringList = glGenLists(1);
    glNewList(ringList, GL_COMPILE);
    glBegin(GL_QUADS);
    for (std::size_t q = 0; q < quads.size(); ++q)
    {
        // Each segment starts black (three quads each); the end caps follow in that colour.
        if (q % 3 == 0 && q < 3 * vortex::kRingSegments)
            glColor3f(0.0f, 0.0f, 0.0f);
        for (const svect3f& c : quads[q].corner)
            glVertex3f(c.x, c.y, c.z);
    }
    glEnd();
    glEndList();
}

void CDemoHandler::CVortex::LoadLogoGrid()
{
    res.logoProg = res.CreateShader("VQ_SHADER_Logo.vert", "VQ_SHADER_Logo.frag");
    CResource::SetUniform1i(CResource::UniformLocation(res.logoProg, "logo"), 0);
    sposLoc = CResource::UniformLocation(res.logoProg, "spos");
    setUniform3f(sposLoc, 0.5f, 0.5f, 0.0f);
    strLoc = CResource::UniformLocation(res.logoProg, "str");
    CResource::SetUniform1f(strLoc, 0.0f);
    loadTexture(res.logoTex, datafile::kLogoPicture);

    const std::vector<vortex::Cell> cells = vortex::LogoGridCells();
    logoList = glGenLists(1);
    glNewList(logoList, GL_COMPILE);
    glBegin(GL_QUADS);
    for (const vortex::Cell& c : cells)
    {
        const float u1 = c.u + vortex::kLogoStep, v1 = c.v + vortex::kLogoStep;
        glTexCoord2f(c.u, c.v);
        glVertex3f(c.u, c.v, 0.0f);
        glTexCoord2f(u1, c.v);
        glVertex3f(u1, c.v, 0.0f);
        glTexCoord2f(u1, v1);
        glVertex3f(u1, v1, 0.0f);
        glTexCoord2f(c.u, v1);
        glVertex3f(c.u, v1, 0.0f);
    }
    glEnd();
    glEndList();
}

void CDemoHandler::CVortex::Tick(const CDemoHandler::Tick& tick)
{
    if (!flying)
    {
        // The flight begins with the scene's first tick.
        flying = true;
        phaseSince = tick.seconds;
        for (int i = 0; i < vortex::kRingsUsed; ++i)
            rings[i].since = tick.seconds;
        metaball.origin = tick.seconds;
    }
    if (vortex::BeatJumpDue(tick.level, tick.ms, lastJump))
    {
        phase = vortex::JumpPhase(vq_rand());
        phaseSince = tick.seconds;
        lastJump = tick.ms;
        ++jumps;
        const bool card = vortex::CreditOnJump(credit, tick.ms);
        if (g_verbose)
            std::printf("vortex: jump %d at %.2f s (level %.2f)%s\n", jumps, tick.seconds, tick.level,
                        card ? (credit.card == 0 ? ", code card" : ", graphics card") : "");
    }
    if (input.Pressed(VK_RIGHT))
        yaw += 1.0f;
    if (input.Pressed(VK_LEFT))
        yaw -= 1.0f;
    if (input.Pressed(VK_UP))
        pitch -= 1.0f;
    if (input.Pressed(VK_DOWN))
        pitch += 1.0f;
    for (int i = 0; i < vortex::kRingsUsed; ++i)
        vortex::RespawnRing(rings[i], tick.seconds, vq_rand);
    vortex::StepBouncing(interp, interpDir, 0.02f);
    vortex::StepClamped(sposX, sposXDir, 0.03f);
    vortex::StepClamped(sposY, sposYDir, 0.01f);
    metaball.TickBoost(input.Pressed(VK_PRIOR) != 0);
}

void CDemoHandler::CVortex::Render()
{
    bass.doThis();
    // The frame's own music time: everything that moves with time is placed at it.
    const double t = bass.seconds;

    sceneBuf.BeginPerspective("vortex_pbuff", ringPass());
    glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kLightAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kLightSpecular);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    // The camera sways; the translation stays on the matrix for the rings and the blob.
    const float sway = phase + 3.0f * static_cast<float>(t - phaseSince);
    glTranslatef(static_cast<float>(3.0 * std::cos(static_cast<double>(sway))),
                 static_cast<float>(3.0 * std::sin(0.5 * static_cast<double>(sway))), 0.0f);

    for (int i = 0; i < vortex::kRingsUsed; ++i)
    {
        const svect3f p = vortex::RingPosition(rings[i], t);
        glPushMatrix();
        glTranslatef(p.x, p.y, p.z);
        glRotatef(vortex::RingAngle(rings[i], t), 0.0f, 0.0f, 1.0f);
        glCallList(ringList);
        glPopMatrix();
    }

    // The blob reflects the water on unit 0 and the slime on unit 1.
    CResource::UseProgram(res.envMapProg);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_CUBE_MAP, slimeCube);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, waterCube);
    CResource::SetUniform1f(interpLoc, interp);
    glTranslatef(0.0f, -4.0f, -20.0f);
    glRotatef(yaw, 0.0f, 1.0f, 0.0f);
    glRotatef(pitch, 1.0f, 0.0f, 0.0f);
    glScalef(0.25f, 0.25f, 0.25f);
    metaball.seconds = t;
    metaball.Render();

    glLoadIdentity();
    glTranslatef(-0.5f, 0.2f, -3.0f);
    CResource::UseProgram(res.logoProg);
    setUniform3f(sposLoc, sposX, sposY, 0.0f);
    CResource::SetUniform1f(strLoc, bass.range(2, 3));
    glActiveTexture(GL_TEXTURE0);
    res.logoTex.Bind();
    glCallList(logoList);

    bloom.Bloom_screen(&sceneBuf, bass.range(2, 3) * 0.2f, 0.5f, kGlowCeiling);
    DrawCredit(static_cast<std::uint32_t>(bass.ms()));
}

void CDemoHandler::CVortex::DrawCredit(std::uint32_t now)
{
    const float alpha = vortex::CreditAlpha(credit, now);
    if (alpha <= 0.0f)
        return;
    // On the window, after the glow, so a kick's flash never erases the name: lower third, code
    // on the left, graphics on the right, sliding a little as it fades.
    const float w = 512.0f, h = 128.0f;
    const float slide = (1.0f - alpha) * 40.0f;
    const float x0 = credit.card == 0 ? 48.0f - slide : 1024.0f - 48.0f - w + slide;
    const float y0 = 590.0f;

    glWindow.BeginOrtho(PassState());
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    (credit.card == 0 ? res.codeTex : res.gfxTex).Bind();
    glColor4f(1.0f, 1.0f, 1.0f, alpha);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(x0, y0);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(x0 + w, y0);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(x0 + w, y0 + h);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(x0, y0 + h);
    glEnd();
    glDisable(GL_BLEND);
}
