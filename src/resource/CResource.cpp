#include "resource/CResource.h"

#include "app/platform/DataNames.h"
#include "app/platform/Offscreen.h"
#include "resource/GlErrors.h"
#include "resource/ShaderText.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
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

// The line of a GL log that says most: its first error, else its first line.
std::string firstLine(const std::string& log)
{
    std::size_t at = 0, pick = std::string::npos;
    while (at < log.size())
    {
        const std::size_t end = std::min(log.find('\n', at), log.size());
        const std::string line = log.substr(at, end - at);
        if (pick == std::string::npos && !line.empty())
            pick = at;
        if (line.find("error") != std::string::npos)
        {
            pick = at;
            break;
        }
        at = end + 1;
    }
    if (pick == std::string::npos)
        return "(the driver gave no log)";
    return log.substr(pick, std::min(log.find('\n', pick), log.size()) - pick);
}

bool compile(GLhandleARB shader, const std::string& text, const char* file, std::string& fault,
             std::string& log)
{
    const GLcharARB* src = text.data();
    const GLint length = static_cast<GLint>(text.size());
    glShaderSourceARB(shader, 1, &src, &length);
    glCompileShaderARB(shader);
    GLint ok = 0;
    glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &ok);
    if (!ok)
    {
        log = infoLog(shader);
        fault = std::string("\"") + file + "\": does not compile: " + firstLine(log);
    }
    return ok != 0;
}

void report(const std::string& line, const std::string& log)
{
    // The piece builds some pairs in several places; a fault is worth one report.
    static std::set<std::string> told;
    if (line.empty() || !told.insert(line).second)
        return;
    std::fprintf(stderr, "shader %s\n", line.c_str());
    if (log.empty() || log == firstLine(log))
        return;
    std::size_t at = 0;
    while (at < log.size())
    {
        const std::size_t end = std::min(log.find('\n', at), log.size());
        std::fprintf(stderr, "    %s\n", log.substr(at, end - at).c_str());
        at = end + 1;
    }
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

ShaderBuild BuildShaderProgram(const char* vertFile, const char* fragFile)
{
    ShaderBuild b;
    const char* files[2] = {vertFile ? vertFile : "(no name)", fragFile ? fragFile : "(no name)"};
    std::string text[2];
    bool readable[2];
    for (int i = 0; i < 2; ++i)
        readable[i] = ReadShaderText(files[i], text[i], b.sourceFault[i]);
    if (!readable[0] || !readable[1])
    {
        // GL cannot build anything from a missing source; the effect is left out and the piece
        // goes on with program 0 (fixed function) in its place.
        glUseProgramObjectARB(0);
        return b;
    }
    const GLenum kinds[2] = {GL_VERTEX_SHADER_ARB, GL_FRAGMENT_SHADER_ARB};
    GLhandleARB shaders[2];
    bool compiled[2];
    for (int i = 0; i < 2; ++i)
    {
        shaders[i] = glCreateShaderObjectARB(kinds[i]);
        compiled[i] = compile(shaders[i], text[i], files[i], b.compileFault[i], b.compileLog[i]);
    }
    const GLhandleARB program = glCreateProgramObjectARB();
    glAttachObjectARB(program, shaders[1]);
    glAttachObjectARB(program, shaders[0]);
    glLinkProgramARB(program);
    GLint linked = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    b.linked = linked != 0;
    if (!b.linked && compiled[0] && compiled[1])
    {
        b.linkLog = infoLog(program);
        b.linkFault = std::string("\"") + files[0] + "\" and \"" + files[1] +
                      "\": do not link: " + firstLine(b.linkLog);
    }
    glUseProgramObjectARB(program);
    b.program = program;
    return b;
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
    ClearGlErrors();
    const ShaderBuild b = BuildShaderProgram(vertFile, fragFile);
    for (int i = 0; i < 2; ++i)
    {
        report(b.sourceFault[i], "");
        report(b.compileFault[i], b.compileLog[i]);
    }
    report(b.linkFault, b.linkLog);
    ReportGlErrors("shader",
                   std::string(vertFile ? vertFile : "") + "\" and \"" + (fragFile ? fragFile : ""));
    return b.program;
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
