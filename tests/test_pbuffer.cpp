// Off-screen targets on the real GL: framebuffers of the one context, their projections, and a
// picture that reaches other targets and the window through BindObj.
#include "RenderTestWindow.h"
#include "render/CPBuffer.h"

#include <gtest/gtest.h>

using rendertest::At;
using rendertest::ReadTarget;

namespace
{
// A texture name of the current context, bound on unit 0, linear filters.
GLuint inputName()
{
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return id;
}

void fill(float r, float g, float b)
{
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// Draws the bound texture over the whole y-down target.
void drawTextured()
{
    glEnable(GL_TEXTURE_2D);
    glColor3f(1, 1, 1);
    glLoadIdentity();
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
}

struct Targets
{
    CPBuffer a, b;
    GLuint nameInB = 0;
    Targets()
    {
        glWindow.SetCurrent();
        a.Init(1024, 1024);
        b.Init(1024, 1024);
        b.SetOrtho();
        nameInB = inputName();
    }
    ~Targets()
    {
        a.Remove();
        b.Remove();
    }
};
} // namespace

TEST(CPBuffer, InitLeavesTheNewTargetCurrent)
{
    RENDER_NEED(rendertest::Level::Window);
    glWindow.SetCurrent();
    CPBuffer t;
    t.Init(1024, 1024);
    EXPECT_TRUE(t.Valid());
    EXPECT_TRUE(t.IsCurrent());
    EXPECT_FALSE(glWindow.IsCurrent());
    GLint fbo = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &fbo);
    EXPECT_NE(fbo, 0) << "drawing goes to the target's own framebuffer";
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1024);
    EXPECT_EQ(viewport[3], 1024);
    t.Remove();
    EXPECT_FALSE(t.Valid());
}

TEST(CPBuffer, SetOrthoPutsTheOriginTopLeft)
{
    RENDER_NEED(rendertest::Level::Window);
    Targets t;
    t.a.SetOrtho();
    rendertest::DrawSquare(0, 0, 16, 8);
    const auto pic = ReadTarget();
    EXPECT_EQ(At(pic, 1024, 0, 0).r, 255);
    EXPECT_EQ(At(pic, 1024, 15, 7).r, 255);
    EXPECT_EQ(At(pic, 1024, 16, 7).r, 0);
    EXPECT_EQ(At(pic, 1024, 15, 8).r, 0);
    EXPECT_EQ(At(pic, 1024, 1023, 1023).r, 0);
}

TEST(CPBuffer, SetProjectionClearsToWhiteWithDepth)
{
    RENDER_NEED(rendertest::Level::Window);
    Targets t;
    t.a.SetProjection();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    EXPECT_EQ(At(ReadTarget(), 1024, 512, 512).g, 255);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint depthBits = 0;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT,
                                          GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &depthBits);
    EXPECT_EQ(depthBits, 24);
}

TEST(CPBuffer, APictureReachesAnotherTargetThroughBindObj)
{
    RENDER_NEED(rendertest::Level::Window);
    Targets t;
    for (int round = 0; round < 3; ++round)
    {
        // Each round draws a new colour: the reader must never see the previous picture.
        const float r = round == 1 ? 1.0f : 0.0f, g = round == 0 ? 1.0f : 0.0f, b = round == 2 ? 1.0f : 0.0f;
        t.a.SetOrtho();
        fill(r, g, b);
        t.b.SetCurrent("test_b");
        fill(0.5f, 0.5f, 0.5f);
        glBindTexture(GL_TEXTURE_2D, t.nameInB);
        t.a.BindObj();
        drawTextured();
        t.a.ReleaseObj();
        const auto p = At(ReadTarget(), 1024, 300, 700);
        EXPECT_EQ(p.r, static_cast<int>(r * 255)) << "round " << round;
        EXPECT_EQ(p.g, static_cast<int>(g * 255)) << "round " << round;
        EXPECT_EQ(p.b, static_cast<int>(b * 255)) << "round " << round;
    }
}

TEST(CPBuffer, BindObjKeepsTheImageUprightAndReleaseRestoresTheBinding)
{
    RENDER_NEED(rendertest::Level::Window);
    Targets t;
    t.a.SetOrtho();
    rendertest::DrawSquare(0, 0, 100, 50); // top-left in a's picture
    t.b.SetCurrent("test_b");
    glBindTexture(GL_TEXTURE_2D, t.nameInB);
    fill(0, 0, 0);
    t.a.BindObj();
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_NE(static_cast<GLuint>(bound), t.nameInB);
    drawTextured();
    t.a.ReleaseObj();
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), t.nameInB);
    const auto pic = ReadTarget();
    EXPECT_EQ(At(pic, 1024, 50, 25).r, 255);
    EXPECT_EQ(At(pic, 1024, 50, 1000).r, 0);
}

TEST(CPBuffer, TheWindowReadsATarget)
{
    RENDER_NEED(rendertest::Level::Window);
    Targets t;
    t.a.SetOrtho();
    fill(1, 0, 1);
    glWindow.SetCurrent();
    glWindow.InitOrtho();
    glActiveTexture(GL_TEXTURE0);
    const GLuint name = inputName();
    t.a.BindObj();
    drawTextured();
    t.a.ReleaseObj();
    std::vector<std::uint8_t> pic;
    glWindow.ReadPicture(pic);
    const auto p = At(pic, 1024, 512, 384);
    EXPECT_EQ(p.r, 255);
    EXPECT_EQ(p.g, 0);
    EXPECT_EQ(p.b, 255);
    glDeleteTextures(1, &name);
}

TEST(CPBuffer, FaultsAreShownOnceThenCounted)
{
    RENDER_NEED(rendertest::Level::Window);
    CPBuffer never; // not initialised: cannot become current
    testing::internal::CaptureStderr();
    for (int i = 0; i < 5; ++i)
        never.SetCurrent("test_unmade_label");
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("ERROR: test_unmade_label"), std::string::npos) << said;
    EXPECT_EQ(said.find("test_unmade_label"), said.rfind("test_unmade_label")) << "shown once: " << said;

    testing::internal::CaptureStderr();
    never.SetCurrent();
    never.BindObj();
    never.ReleaseObj();
    said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("Kontekst til pbuffer er ugyldig."), std::string::npos) << said;
    EXPECT_NE(said.find("Kunne ikke binde pbuffer til teksturobjekt."), std::string::npos) << said;
    EXPECT_NE(said.find("Kunne ikke frakoble pbuffer fra teksturobjekt."), std::string::npos) << said;
}

TEST(CPBuffer, NearestBindingReadsTexelsAndLinearBindingStillBlends)
{
    RENDER_NEED(rendertest::Level::Window);
    Targets t;
    // Left half black, right half white.
    t.a.SetOrtho();
    rendertest::DrawSquare(512, 0, 1024, 1024);
    t.b.SetCurrent("test_b");
    glBindTexture(GL_TEXTURE_2D, t.nameInB);
    const auto stretchMiddle = [&](bool nearest)
    {
        // Stretch the 2 texels around the edge over the whole target.
        fill(0, 0, 0);
        if (nearest)
            t.a.BindObjNearest();
        else
            t.a.BindObj();
        glEnable(GL_TEXTURE_2D);
        glLoadIdentity();
        glBegin(GL_QUADS);
        const float u0 = 511.0f / 1024, u1 = 513.0f / 1024;
        glTexCoord2f(u0, 1);
        glVertex2f(0, 0);
        glTexCoord2f(u1, 1);
        glVertex2f(1024, 0);
        glTexCoord2f(u1, 0);
        glVertex2f(1024, 1024);
        glTexCoord2f(u0, 0);
        glVertex2f(0, 1024);
        glEnd();
        t.a.ReleaseObj();
        return At(ReadTarget(), 1024, 384, 512).r;
    };
    EXPECT_EQ(stretchMiddle(true), 0) << "nearest: a quarter of the way is still the black texel";
    const int blended = stretchMiddle(false);
    EXPECT_GT(blended, 40) << "linear again after a nearest binding";
    EXPECT_LT(blended, 215);
}
