// textFileRead, and CreateShader's build and diagnostics on a real context.
#include "RenderTestWindow.h"
#include "resource/CResource.h"
#include "resource/ShaderText.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
std::string tempPath(const std::string& name)
{
    return "/tmp/vq_shadertext_" + std::to_string(getpid()) + "_" + name;
}

std::string writeRaw(const std::string& name, const std::string& bytes)
{
    const std::string path = tempPath(name);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f)
    {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

std::string readRaw(const std::string& path)
{
    std::string s;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return s;
    int c;
    while ((c = std::fgetc(f)) != EOF)
        s.push_back(static_cast<char>(c));
    std::fclose(f);
    return s;
}

GLhandleARB currentProgram() { return glGetHandleARB(GL_PROGRAM_OBJECT_ARB); }

GLint linked(unsigned program)
{
    GLint ok = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &ok);
    return ok;
}
} // namespace

TEST(TextFileRead, CrLfLineEndsReadAsLf)
{
    const std::string path = writeRaw("crlf.txt", "abc\r\nde\r\nf"); // 11 bytes
    char* text = textFileRead(path.c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "abc\nde\nf");
    std::free(text);

    const std::string ten = writeRaw("ten.txt", "abcd\r\nef\r\n"); // 10 bytes, two CR LF
    text = textFileRead(ten.c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::strlen(text), 8u);
    EXPECT_STREQ(text, "abcd\nef\n");
    std::free(text);
    std::remove(path.c_str());
    std::remove(ten.c_str());
}

TEST(TextFileRead, KeepsLoneCarriageReturnsAndBinaryBytes)
{
    const std::string path = writeRaw("lone.txt", std::string("a\rb\r\r\nc\r", 8));
    char* text = textFileRead(path.c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "a\rb\r\nc\r");
    std::free(text);
    std::remove(path.c_str());
}

TEST(TextFileRead, NullForNullNameMissingFileAndEmptyFile)
{
    EXPECT_EQ(textFileRead(nullptr), nullptr);
    EXPECT_EQ(textFileRead("/nonexistent/vq_none.vert"), nullptr);
    EXPECT_EQ(textFileRead("/tmp"), nullptr) << "a folder is no text";
    const std::string empty = writeRaw("empty.txt", "");
    EXPECT_EQ(textFileRead(empty.c_str()), nullptr);
    std::remove(empty.c_str());
}

TEST(ShaderText, WhatGlIsGivenAndWhatIsRefused)
{
    auto check = [](const std::string& bytes, std::string& text, std::string& fault)
    {
        return CheckShaderText("s.frag", reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                               text, fault);
    };
    std::string text, fault;
    EXPECT_TRUE(check("void main()\r\n{\r\n}\n", text, fault));
    EXPECT_EQ(text, "void main()\n{\n}\n");
    EXPECT_EQ(fault, "");

    // A byte-order mark is left out, and said so: GL would take it for a stray token.
    EXPECT_TRUE(check("\xEF\xBB\xBFvoid main() {}\n", text, fault));
    EXPECT_EQ(text, "void main() {}\n");
    EXPECT_EQ(fault, "\"s.frag\": starts with a UTF-8 byte-order mark, which is left out");

    // A NUL would end the source early for GL: refused, with where it is.
    EXPECT_FALSE(check(std::string("void main()\n{\0}\n", 15), text, fault));
    EXPECT_EQ(fault,
              "\"s.frag\": holds a NUL byte at byte 13 (line 2): GL would read the source only up to it");
    EXPECT_EQ(text, "");

    EXPECT_FALSE(check("", text, fault));
    EXPECT_EQ(fault, "\"s.frag\": empty file: no shader source");
    EXPECT_FALSE(check("\xEF\xBB\xBF", text, fault));
    EXPECT_NE(fault.find("nothing but a UTF-8 byte-order mark"), std::string::npos) << fault;

    EXPECT_FALSE(ReadShaderText("/nonexistent/vq.frag", text, fault));
    EXPECT_NE(fault.find("\"/nonexistent/vq.frag\": cannot open the file"), std::string::npos) << fault;
}

TEST(TextFileRead, AnEmptyFileGivesNoText)
{
    const std::string path = tempPath("empty.txt");
    std::fclose(std::fopen(path.c_str(), "w"));
    EXPECT_EQ(readRaw(path), "");
    EXPECT_EQ(textFileRead(path.c_str()), nullptr);
    std::remove(path.c_str());
}

TEST(CreateShader, EveryPairOfThePieceBuildsAndIsLeftInUse)
{
    RENDER_NEED(rendertest::Level::Window);
    glWindow.SetCurrent();
    for (const char* stem : {"VQ_SHADER_Additiv", "VQ_SHADER_Fade", "VQ_SHADER_Transparent",
                             "VQ_SHADER_Brightpass", "VQ_SHADER_Blur"})
    {
        const std::string v = std::string(stem) + ".vert", f = std::string(stem) + ".frag";
        testing::internal::CaptureStderr();
        const unsigned prog = res.CreateShader(v.c_str(), f.c_str());
        const std::string said = testing::internal::GetCapturedStderr();
        ASSERT_NE(prog, 0u) << stem;
        EXPECT_TRUE(said.empty()) << stem << ": " << said;
        EXPECT_EQ(linked(prog), 1) << stem;
        EXPECT_EQ(currentProgram(), prog) << stem;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(CreateShader, UniformsTheFilterLooksUpExist)
{
    RENDER_NEED(rendertest::Level::Window);
    glWindow.SetCurrent();
    const unsigned blur = res.CreateShader("VQ_SHADER_Blur.vert", "VQ_SHADER_Blur.frag");
    EXPECT_GE(CResource::UniformLocation(blur, "fullscreen"), 0);
    EXPECT_GE(CResource::UniformLocation(blur, "scoord[0]"), 0);
    const unsigned bright = res.CreateShader("VQ_SHADER_Brightpass.vert", "VQ_SHADER_Brightpass.frag");
    EXPECT_GE(CResource::UniformLocation(bright, "fullscreen"), 0);
    EXPECT_GE(CResource::UniformLocation(bright, "brightpass"), 0);
    const unsigned add = res.CreateShader("VQ_SHADER_Additiv.vert", "VQ_SHADER_Additiv.frag");
    for (const char* n : {"texture1", "texture2", "mult"})
        EXPECT_GE(CResource::UniformLocation(add, n), 0) << n;
    const unsigned fade = res.CreateShader("VQ_SHADER_Fade.vert", "VQ_SHADER_Fade.frag");
    EXPECT_GE(CResource::UniformLocation(fade, "texture"), 0);
    EXPECT_GE(CResource::UniformLocation(fade, "fade"), 0);
    const unsigned transparent = res.CreateShader("VQ_SHADER_Transparent.vert", "VQ_SHADER_Transparent.frag");
    EXPECT_GE(CResource::UniformLocation(transparent, "texture"), 0);
}

TEST(CreateShader, MissingFileIsNamedAndThePieceGoesOn)
{
    RENDER_NEED(rendertest::Level::Window);
    glWindow.SetCurrent();
    testing::internal::CaptureStderr();
    const unsigned prog = res.CreateShader("VQ_SHADER_Nowhere.vert", "VQ_SHADER_Fade.frag");
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(prog, 0u);
    EXPECT_NE(said.find("\"VQ_SHADER_Nowhere.vert\""), std::string::npos) << said;
    EXPECT_EQ(said.find("VQ_SHADER_Fade.frag"), std::string::npos)
        << "the present file is not blamed: " << said;
    EXPECT_EQ(currentProgram(), 0u);
    // Uniform calls on the missing program are harmless.
    CResource::SetUniform1f(CResource::UniformLocation(prog, "fade"), 1.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(CreateShader, CompileAndLinkFailuresPrintTheLogWithFileNames)
{
    RENDER_NEED(rendertest::Level::Window);
    glWindow.SetCurrent();
    const std::string badFrag =
        writeRaw("bad.frag", "#version 120\nvoid main() { gl_FragColor = nonsense; }\n");
    testing::internal::CaptureStderr();
    const unsigned prog = res.CreateShader("VQ_SHADER_Fade.vert", badFrag.c_str());
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(prog, 0u);
    EXPECT_EQ(linked(prog), 0);
    EXPECT_NE(said.find(badFrag), std::string::npos) << said;
    EXPECT_NE(said.find("nonsense"), std::string::npos) << "the GL log is shown: " << said;

    // Both compile, but the fragment shader reads a varying the vertex shader never writes
    // with a mismatched type: a link failure.
    const std::string vert =
        writeRaw("v.vert", "#version 120\nvarying vec3 shade;\nvoid main() { shade = vec3(1.0); "
                           "gl_Position = ftransform(); }\n");
    const std::string frag =
        writeRaw("f.frag", "#version 120\nvarying vec4 shade;\nvoid main() { gl_FragColor = "
                           "shade; }\n");
    testing::internal::CaptureStderr();
    const unsigned prog2 = res.CreateShader(vert.c_str(), frag.c_str());
    said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(linked(prog2), 0);
    EXPECT_NE(said.find("link"), std::string::npos) << said;
    EXPECT_NE(said.find(vert), std::string::npos) << said;
    EXPECT_NE(said.find(frag), std::string::npos) << said;
    for (const std::string& p : {badFrag, vert, frag})
        std::remove(p.c_str());
}

TEST(CreateShader, ASourceTheGlCannotTakeIsToldOnceHoweverOftenThePairIsBuilt)
{
    RENDER_NEED(rendertest::Level::Window);
    glWindow.SetCurrent();
    const std::string empty = writeRaw("once.frag", "");
    const std::string nul = writeRaw("nul.frag", std::string("#version 120\nvoid main() {}\0", 28));
    testing::internal::CaptureStderr();
    // The piece builds its additive pair three times; a fault is still one line.
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(res.CreateShader("VQ_SHADER_Fade.vert", empty.c_str()), 0u);
        EXPECT_EQ(res.CreateShader("VQ_SHADER_Fade.vert", nul.c_str()), 0u);
    }
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "shader \"" + empty + "\": empty file: no shader source\nshader \"" + nul +
                        "\": holds a NUL byte at byte 27 (line 2): GL would read the source only up to it\n");
    for (const std::string& p : {empty, nul})
        std::remove(p.c_str());
}

TEST(CreateShader, AByteOrderMarkIsLeftOutAndTheProgramBuilds)
{
    RENDER_NEED(rendertest::Level::Window);
    glWindow.SetCurrent();
    const std::string bom = writeRaw("bom.frag", "\xEF\xBB\xBF" + readRaw("VQ_SHADER_Fade.frag"));
    testing::internal::CaptureStderr();
    const unsigned prog = res.CreateShader("VQ_SHADER_Fade.vert", bom.c_str());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(linked(prog), 1);
    EXPECT_EQ(said, "shader \"" + bom + "\": starts with a UTF-8 byte-order mark, which is left out\n");
    std::remove(bom.c_str());
}
