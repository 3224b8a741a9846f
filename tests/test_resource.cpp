// Start-up resources (res.Init in the data folder) and what the window's shader pairs do.
#include "RenderTestWindow.h"
#include "resource/CResource.h"

#include <gtest/gtest.h>

using rendertest::At;
using rendertest::Pixel;

namespace
{
float uniform(unsigned program, int location)
{
    GLfloat v = -1;
    glGetUniformfvARB(program, location, &v);
    return v;
}

// A 4 x 4 texture of one colour on the given unit, linear filters.
GLuint solid(int unit, float r, float g, float b)
{
    std::vector<GLubyte> px(4 * 4 * 4);
    for (std::size_t i = 0; i < px.size(); i += 4)
    {
        px[i] = static_cast<GLubyte>(r * 255 + 0.5f);
        px[i + 1] = static_cast<GLubyte>(g * 255 + 0.5f);
        px[i + 2] = static_cast<GLubyte>(b * 255 + 0.5f);
        px[i + 3] = 255;
    }
    GLuint id = 0;
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glActiveTexture(GL_TEXTURE0);
    return id;
}

// Draws a 64 x 64 quad at the window's top-left with `program` over a red background and returns
// the colour at its middle.
Pixel drawWith(unsigned program)
{
    glWindow.SetCurrent();
    glWindow.InitOrtho();
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    CResource::UseProgram(program);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    const float c[4][2] = {{0, 0}, {64, 0}, {64, 64}, {0, 64}};
    for (const auto& v : c)
    {
        glMultiTexCoord2f(GL_TEXTURE0, v[0] / 64, v[1] / 64);
        glMultiTexCoord2f(GL_TEXTURE1, v[0] / 64, v[1] / 64);
        glVertex2f(v[0], v[1]);
    }
    glEnd();
    std::vector<std::uint8_t> pic;
    glWindow.ReadPicture(pic);
    return At(pic, 1024, 32, 32);
}

void expectColour(Pixel p, float r, float g, float b, const char* what)
{
    EXPECT_NEAR(p.r, r * 255, 2) << what;
    EXPECT_NEAR(p.g, g * 255, 2) << what;
    EXPECT_NEAR(p.b, b * 255, 2) << what;
}
} // namespace

// First: the state Init leaves behind, before any other test changes it.
TEST(CResourceInit, LeavesTheWindowResourcesAndState)
{
    RENDER_NEED(rendertest::Level::Resources);
    EXPECT_TRUE(glWindow.IsCurrent());
    EXPECT_EQ(glGetHandleARB(GL_PROGRAM_OBJECT_ARB), res.transparentProg);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<unsigned>(bound), res.screenTex2);
    EXPECT_FLOAT_EQ(uniform(res.additiveProg, res.additiveMultLoc), 1.5f);
    EXPECT_FLOAT_EQ(uniform(res.fadeProg, res.fadeLoc), 2.0f);
    for (unsigned p : {res.additiveProg, res.fadeProg, res.transparentProg})
    {
        GLint ok = 0;
        glGetObjectParameterivARB(p, GL_OBJECT_LINK_STATUS_ARB, &ok);
        EXPECT_EQ(ok, 1);
    }
    GLint sampler = -1;
    glGetUniformivARB(res.additiveProg, CResource::UniformLocation(res.additiveProg, "texture2"), &sampler);
    EXPECT_EQ(sampler, 1);
}

TEST(CResourceInit, ScreenTexturesAreLinearNamesWithoutAnImage)
{
    RENDER_NEED(rendertest::Level::Resources);
    glWindow.SetCurrent();
    EXPECT_NE(res.screenTex1, res.screenTex2);
    for (unsigned t : {res.screenTex1, res.screenTex2})
    {
        ASSERT_TRUE(glIsTexture(t));
        glBindTexture(GL_TEXTURE_2D, t);
        GLint minF = 0, magF = 0, w = -1;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minF);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magF);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        EXPECT_EQ(minF, GL_LINEAR);
        EXPECT_EQ(magF, GL_LINEAR);
        EXPECT_EQ(w, 0);
    }
}

TEST(WindowShaders, FadeGoesFromBlackThroughThePictureToWhite)
{
    RENDER_NEED(rendertest::Level::Resources);
    glWindow.SetCurrent();
    const GLuint tex = solid(0, 0.4f, 0.6f, 0.2f);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, tex);
    const struct
    {
        float fade, r, g, b;
    } cases[] = {{0.0f, 0, 0, 0},          {0.5f, 0.2f, 0.3f, 0.1f}, {1.0f, 0.4f, 0.6f, 0.2f},
                 {1.5f, 0.7f, 0.8f, 0.6f}, {2.0f, 1, 1, 1},          {3.0f, 1, 1, 1},
                 {-1.0f, 0, 0, 0}};
    for (const auto& c : cases)
    {
        CResource::UseProgram(res.fadeProg);
        CResource::SetUniform1f(res.fadeLoc, c.fade);
        expectColour(drawWith(res.fadeProg), c.r, c.g, c.b, ("fade " + std::to_string(c.fade)).c_str());
    }
    CResource::UseProgram(res.fadeProg);
    CResource::SetUniform1f(res.fadeLoc, 2.0f);
    glDeleteTextures(1, &tex);
}

TEST(WindowShaders, AdditiveAddsTheSecondPictureTimesMult)
{
    RENDER_NEED(rendertest::Level::Resources);
    glWindow.SetCurrent();
    const GLuint a = solid(0, 0.2f, 0.1f, 0.0f), b = solid(1, 0.2f, 0.3f, 0.4f);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, a);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, b);
    glActiveTexture(GL_TEXTURE0);
    expectColour(drawWith(res.additiveProg), 0.5f, 0.55f, 0.6f, "mult 1.5");
    CResource::UseProgram(res.additiveProg);
    CResource::SetUniform1f(res.additiveMultLoc, 0.0f);
    expectColour(drawWith(res.additiveProg), 0.2f, 0.1f, 0.0f, "mult 0");
    CResource::SetUniform1f(res.additiveMultLoc, 1.5f);
    glDeleteTextures(1, &a);
    glDeleteTextures(1, &b);
}

TEST(WindowShaders, TransparentDropsNearBlackAndKeepsTheRest)
{
    RENDER_NEED(rendertest::Level::Resources);
    glWindow.SetCurrent();
    GLuint t = solid(0, 0.02f, 0.03f, 0.01f);
    glBindTexture(GL_TEXTURE_2D, t);
    expectColour(drawWith(res.transparentProg), 1, 0, 0, "near black: the background shows");
    glDeleteTextures(1, &t);
    t = solid(0, 0.1f, 0.5f, 0.1f);
    glBindTexture(GL_TEXTURE_2D, t);
    expectColour(drawWith(res.transparentProg), 0.1f, 0.5f, 0.1f, "leaf green is kept");
    glDeleteTextures(1, &t);
}

TEST(WindowShaders, BrightpassKeepsWhatIsBrightForItsLevel)
{
    RENDER_NEED(rendertest::Level::Resources);
    glWindow.SetCurrent();
    const unsigned prog = res.CreateShader("VQ_SHADER_Brightpass.vert", "VQ_SHADER_Brightpass.frag");
    CResource::SetUniform1i(CResource::UniformLocation(prog, "fullscreen"), 0);
    const int level = CResource::UniformLocation(prog, "brightpass");
    const auto run = [&](float grey, float at)
    {
        const GLuint t = solid(0, grey, grey, grey);
        glBindTexture(GL_TEXTURE_2D, t);
        CResource::UseProgram(prog);
        CResource::SetUniform1f(level, at);
        const Pixel p = drawWith(prog);
        glDeleteTextures(1, &t);
        return p.g;
    };
    EXPECT_EQ(run(1.0f, 1.0f), 255);
    EXPECT_EQ(run(1.0f, 0.5f), 255);
    EXPECT_EQ(run(0.5f, 1.0f), 0);
    const int half = run(0.5f, 0.5f);
    EXPECT_GT(half, 10);
    EXPECT_LT(half, 128);
    EXPECT_EQ(run(0.0f, 0.5f), 0);
    EXPECT_GT(run(0.8f, 0.5f), run(0.8f, 1.0f)) << "a lower level keeps more";
}

TEST(WindowShaders, BlurWeightsSumToOne)
{
    RENDER_NEED(rendertest::Level::Resources);
    glWindow.SetCurrent();
    const unsigned prog = res.CreateShader("VQ_SHADER_Blur.vert", "VQ_SHADER_Blur.frag");
    CResource::SetUniform1i(CResource::UniformLocation(prog, "fullscreen"), 0);
    float offsets[2 * CBloom::kTaps];
    CBloom::BlurOffsets(offsets);
    CResource::SetUniform2fv(CResource::UniformLocation(prog, "scoord[0]"), CBloom::kTaps, offsets);
    const GLuint t = solid(0, 0.6f, 0.3f, 0.9f);
    glBindTexture(GL_TEXTURE_2D, t);
    expectColour(drawWith(prog), 0.6f, 0.3f, 0.9f, "a flat picture stays flat");
    glDeleteTextures(1, &t);
}
