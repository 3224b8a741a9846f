// GL errors raised while a file is loaded are reported with that file, one line each.
#include "RenderTestWindow.h"
#include "resource/GlErrors.h"

#include <gtest/gtest.h>

TEST(GlErrors, AnErrorRaisedDuringALoadNamesTheFile)
{
    RENDER_NEED(rendertest::Level::Window);
    glWindow.SetCurrent();
    ClearGlErrors();
    GLuint cube = 0;
    glGenTextures(1, &cube);
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
    // A cube face that is not square: GL refuses it and records GL_INVALID_VALUE.
    const std::vector<std::uint8_t> px(8 * 4 * 3, 0);
    glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X, 0, GL_RGB, 8, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    testing::internal::CaptureStderr();
    EXPECT_EQ(ReportGlErrors("landscape", "wide.bmp"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "landscape: \"wide.bmp\": OpenGL error GL_INVALID_VALUE (0x0501) while loading it\n");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "the errors were taken";
    testing::internal::CaptureStderr();
    EXPECT_EQ(ReportGlErrors("landscape", "fine.bmp"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    glDeleteTextures(1, &cube);
}

TEST(GlErrors, EarlierErrorsAreTakenBeforeALoad)
{
    RENDER_NEED(rendertest::Level::Window);
    glWindow.SetCurrent();
    glEnable(0x1234); // GL_INVALID_ENUM, raised by someone else before the load
    ClearGlErrors();
    testing::internal::CaptureStderr();
    EXPECT_EQ(ReportGlErrors("texture", "next.bmp"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(GlErrorName(0x0505), "GL_OUT_OF_MEMORY (0x0505)");
}
