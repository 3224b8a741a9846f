#include "resource/CResource.h"

#include "app/platform/DataNames.h"
#include "app/platform/Offscreen.h"

#include <GL/glew.h>

#include <cstdio>
#include <cstdlib>
#include <string>

CResource res;

namespace
{
// Reads a shader object's or program's info log, trimmed of trailing line ends.
std::string infoLog(GLhandleARB object)
{
    GLint length = 0;
    glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    if (length <= 1)
        return "(the driver gave no log)";
    std::string log(static_cast<std::size_t>(length), '\0');
    GLsizei got = 0;
    glGetInfoLogARB(object, length, &got, &log[0]);
    log.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    while (!log.empty() && (log.back() == '\n' || log.back() == '\r'))
        log.pop_back();
    return log;
}

bool compile(GLhandleARB shader, const char* file)
{
    glCompileShaderARB(shader);
    GLint ok = 0;
    glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &ok);
    if (!ok)
        std::fprintf(stderr, "shader \"%s\" does not compile:\n%s\n", file, infoLog(shader).c_str());
    return ok != 0;
}
} // namespace

bool CResource::ShadersAvailable()
{
    return glCreateShaderObjectARB && glShaderSourceARB && glCompileShaderARB && glCreateProgramObjectARB &&
           glAttachObjectARB && glLinkProgramARB && glUseProgramObjectARB && glGetUniformLocationARB &&
           glGetObjectParameterivARB && glGetInfoLogARB && glUniform1iARB && glUniform1fARB &&
           glUniform2fvARB;
}

void CResource::UseProgram(unsigned program)
{
    if (glUseProgramObjectARB)
        glUseProgramObjectARB(program);
}

int CResource::UniformLocation(unsigned program, const char* name)
{
    if (!program || !glGetUniformLocationARB)
        return -1;
    return glGetUniformLocationARB(program, name);
}

void CResource::SetUniform1i(int location, int value)
{
    if (location >= 0 && glUniform1iARB)
        glUniform1iARB(location, value);
}

void CResource::SetUniform1f(int location, float value)
{
    if (location >= 0 && glUniform1fARB)
        glUniform1fARB(location, value);
}

void CResource::SetUniform2fv(int location, int count, const float* values)
{
    if (location >= 0 && glUniform2fvARB)
        glUniform2fvARB(location, count, values);
}

unsigned CResource::CreateShader(const char* vertFile, const char* fragFile)
{
    if (!ShadersAvailable())
    {
        static bool told = false;
        if (!told)
            std::fprintf(stderr, "shaders: this OpenGL has no ARB shader objects; the piece runs without its "
                                 "shader effects\n");
        told = true;
        return 0;
    }
    const GLhandleARB vertex = glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
    const GLhandleARB fragment = glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
    char* vs = textFileRead(vertFile);
    char* fs = textFileRead(fragFile);
    if (!vs || !fs)
    {
        // GL cannot build anything from a missing source; the effect is left out and the piece
        // goes on with program 0 (fixed function) in its place.
        if (!vs)
            std::fprintf(stderr, "shader file \"%s\" is missing or empty\n",
                         vertFile ? vertFile : "(no name)");
        if (!fs)
            std::fprintf(stderr, "shader file \"%s\" is missing or empty\n",
                         fragFile ? fragFile : "(no name)");
        std::free(vs);
        std::free(fs);
        glUseProgramObjectARB(0);
        return 0;
    }
    const GLcharARB* vsrc = vs;
    const GLcharARB* fsrc = fs;
    glShaderSourceARB(vertex, 1, &vsrc, nullptr);
    glShaderSourceARB(fragment, 1, &fsrc, nullptr);
    std::free(vs);
    std::free(fs);
    const bool vertexOk = compile(vertex, vertFile);
    const bool fragmentOk = compile(fragment, fragFile);
    const GLhandleARB program = glCreateProgramObjectARB();
    glAttachObjectARB(program, fragment);
    glAttachObjectARB(program, vertex);
    glLinkProgramARB(program);
    GLint linked = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    if (!linked && vertexOk && fragmentOk)
        std::fprintf(stderr, "shaders \"%s\" and \"%s\" do not link:\n%s\n", vertFile, fragFile,
                     infoLog(program).c_str());
    glUseProgramObjectARB(program);
    return program;
}

bool CResource::Init(const WindowOptions& options, std::string& error)
{
    // The window, its context and GLEW (which the window starts as soon as its context exists).
    if (!glWindow.Init(1024, 768, 32, options, error))
        return false;
    if (!ShadersAvailable())
        std::fprintf(stderr,
                     "shaders: this OpenGL has no ARB shader objects; the piece runs without its shader "
                     "effects\n");
    // Off-screen targets are framebuffer objects of this context: nothing to fetch, only to check.
    InitPixelFormat();
    glWindow.SetCurrent();
    glWindow.InitOrtho();
    glEnable(GL_TEXTURE_2D);

    endTex.Load_JPEG(datafile::kClosingPicture);
    endTex.Upload(GL_LINEAR, GL_LINEAR);

    additiveProg = CreateShader("VQ_SHADER_Additiv.vert", "VQ_SHADER_Additiv.frag");
    SetUniform1i(UniformLocation(additiveProg, "texture1"), 0);
    SetUniform1i(UniformLocation(additiveProg, "texture2"), 1);
    additiveMultLoc = UniformLocation(additiveProg, "mult");
    SetUniform1f(additiveMultLoc, 1.5f);

    fadeProg = CreateShader("VQ_SHADER_Fade.vert", "VQ_SHADER_Fade.frag");
    SetUniform1i(UniformLocation(fadeProg, "texture"), 0);
    fadeLoc = UniformLocation(fadeProg, "fade");
    SetUniform1f(fadeLoc, 2.0f);

    transparentProg = CreateShader("VQ_SHADER_Transparent.vert", "VQ_SHADER_Transparent.frag");
    SetUniform1i(UniformLocation(transparentProg, "texture"), 0);

    for (unsigned* name : {&screenTex1, &screenTex2})
    {
        glWindow.SetCurrent();
        GLuint id = 0;
        glGenTextures(1, &id);
        *name = id;
        glBindTexture(GL_TEXTURE_2D, id);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    }
    return true;
}
