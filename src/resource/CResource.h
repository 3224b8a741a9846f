#pragma once
// The shared pool of textures, programs and uniform locations (the global `res`). Init opens the
// window and builds what belongs to the window's context; the bloom filter and the scenes fill
// the rest during their Setup, each in the context it draws in.
#include "app/platform/GLWindow.h"
#include "resource/CTexture.h"

#include <string>

// The whole file as a zero-terminated string the caller frees with free(); null for a null name,
// a file that cannot be opened, is no regular file or is over kMaxShaderFileBytes, or an empty
// file. CR LF line ends are read as LF.
char* textFileRead(const char* fn);

// One program built from two shader files, with what went wrong: each fault is one line naming
// its file or files; the logs are GL's own. Index 0 is the vertex shader, 1 the fragment shader.
struct ShaderBuild
{
    unsigned program = 0; // 0 when a source is missing or refused; unlinked when a step failed
    bool linked = false;
    std::string sourceFault[2];  // cannot be read, refused, or repaired (a byte-order mark)
    std::string compileFault[2]; // does not compile
    std::string linkFault;       // both compile but do not link
    std::string compileLog[2], linkLog;
};
// Builds a program in the current context and puts it in use (program 0 when none was made),
// reporting nothing: CreateShader and the asset check each say it their own way.
ShaderBuild BuildShaderProgram(const char* vertFile, const char* fragFile);

class CResource
{
public:
    // Opens the window (options from the command line), starts GLEW, checks the off-screen
    // support and builds the window's resources. False with a reason when no window can be had.
    bool Init(const WindowOptions& options, std::string& error);
    // Builds, links and puts in use a program from two shader files; missing, empty or refused
    // files (a NUL byte) and compile or link failures are reported with the file names and the
    // GL log, each once however often the pair is built. A byte-order mark is left out of the
    // source and said so. Returns the program.
    unsigned CreateShader(const char* vertFile, const char* fragFile);

    // The program calls the piece makes, safe on a context without shader objects (then they do
    // nothing and locations are -1) and with location -1 (ignored, as GL does).
    static bool ShadersAvailable();
    static void UseProgram(unsigned program);
    static int UniformLocation(unsigned program, const char* name);
    static void SetUniform1i(int location, int value);
    static void SetUniform1f(int location, float value);
    static void SetUniform2fv(int location, int count, const float* values);

    CTexture treeTex, shrubTex, gravelTex, matMapTex, mountainTex, leafTex, endTex, castleTex, caveTex,
        logoTex, codeTex, gfxTex;
    unsigned terrainProg = 0, brightpassProg = 0, blurProg = 0, additiveProg5 = 0, additiveProg = 0,
             additiveProg6 = 0, waterProg = 0, landTransparentProg = 0, envMapProg = 0, logoProg = 0,
             fadeProg = 0, transparentProg = 0;
    int additiveMultLoc = -1;
    unsigned screenTex1 = 0, screenTex2 = 0;
    int fadeLoc = -1;
};

extern CResource res;
