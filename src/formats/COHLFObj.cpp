#include "formats/COHLFObj.h"

#include "app/platform/Verbose.h"
#include "formats/HlfParse.h"

#include <GL/glew.h>

#include <cstdio>
#include <vector>

void COHLFObj::Load(const char* file)
{
    numparts = 0;
    fps = 25;
    std::vector<hlf::OhlfPart> parts;
    std::string fault;
    if (!hlf::LoadOHLF(file ? file : "", parts, fault))
        std::fprintf(stderr, "COHLFObj: %s\n", fault.c_str());
    for (const hlf::OhlfPart& p : parts)
    {
        if (numparts >= kMaxParts)
            break;
        const int i = numparts;
        model[i].Load(p.model.c_str());
        texture[i].Load_JPEG(p.texture.c_str());
        texture[i].Upload(GL_LINEAR, GL_LINEAR);
        if (p.anim != "?")
            anim[i].Load(p.anim.c_str(), 0);
        ++numparts;
    }
    if (g_verbose)
        std::printf("COHLFObj: \"%s\": %d parts\n", hlf::MapBackslashes(file ? file : "").c_str(), numparts);
}

void COHLFObj::Render()
{
    for (int i = 0; i < numparts; ++i)
    {
        glPushMatrix();
        anim[i].getMatrix(fps);
        texture[i].Bind();
        model[i].Render();
        glPopMatrix();
    }
}
