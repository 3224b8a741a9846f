// Placeholder until the resource pool lands: opens the window only.
#include "resource/CResource.h"

#include "render/CPBuffer.h"

#include <GL/glew.h>

CResource res;

bool CResource::Init(const WindowOptions& options, std::string& error)
{
    if (!glWindow.Init(1024, 768, 32, options, error))
        return false;
    InitPixelFormat();
    InitPBuffer();
    InitRenderTexture();
    glWindow.SetCurrent();
    glWindow.InitOrtho();
    return true;
}

unsigned CResource::CreateShader(const char*, const char*)
{
    return 0;
}
