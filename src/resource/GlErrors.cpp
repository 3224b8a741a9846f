#include "resource/GlErrors.h"

#include "app/platform/Verbose.h"

#include <GL/glew.h>

#include <cstdio>

namespace
{
// Without a current context some drivers answer every call with an error; never loop on them.
constexpr int kMaxErrors = 16;
} // namespace

std::string GlErrorName(unsigned error)
{
    const char* name = "an unknown error";
    switch (error)
    {
    case GL_INVALID_ENUM:
        name = "GL_INVALID_ENUM";
        break;
    case GL_INVALID_VALUE:
        name = "GL_INVALID_VALUE";
        break;
    case GL_INVALID_OPERATION:
        name = "GL_INVALID_OPERATION";
        break;
    case GL_STACK_OVERFLOW:
        name = "GL_STACK_OVERFLOW";
        break;
    case GL_STACK_UNDERFLOW:
        name = "GL_STACK_UNDERFLOW";
        break;
    case GL_OUT_OF_MEMORY:
        name = "GL_OUT_OF_MEMORY";
        break;
    case GL_INVALID_FRAMEBUFFER_OPERATION:
        name = "GL_INVALID_FRAMEBUFFER_OPERATION";
        break;
    default:
        break;
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", error);
    return std::string(name) + " (" + code + ")";
}

int ReportGlErrors(const char* who, const std::string& file)
{
    int count = 0;
    for (GLenum e = glGetError(); e != GL_NO_ERROR && count < kMaxErrors; e = glGetError())
    {
        std::fprintf(stderr, "%s: \"%s\": OpenGL error %s while loading it\n", who, file.c_str(),
                     GlErrorName(e).c_str());
        ++count;
    }
    return count;
}

void ClearGlErrors()
{
    int count = 0;
    for (GLenum e = glGetError(); e != GL_NO_ERROR && count < kMaxErrors; e = glGetError(), ++count)
        if (g_verbose)
            std::printf("OpenGL error %s was raised before a load\n", GlErrorName(e).c_str());
}
