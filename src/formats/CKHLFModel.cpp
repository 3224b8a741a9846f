#include "formats/CKHLFModel.h"

#include "app/platform/Verbose.h"
#include "formats/HlfParse.h"
#include "resource/GlErrors.h"

#include <GL/glew.h>

#include <cstdio>

void CKHLFModel::Load(const char* file)
{
    ClearGlErrors();
    hlf::KhlfModel model;
    std::string fault;
    if (!hlf::LoadKHLF(file ? file : "", model, fault))
        std::fprintf(stderr, "CKHLFModel: %s\n", fault.c_str());
    if (g_verbose)
    {
        // The loader's historical trace: one line per corner, its normal in default float format.
        for (const hlf::KhlfFace& f : model.faces)
            for (int k = 0; k < f.corners(); ++k)
            {
                const svect3f& n = model.vertices[static_cast<std::size_t>(f.index[k])].normal;
                std::printf("%g %g %g\n", static_cast<double>(n.x), static_cast<double>(n.y),
                            static_cast<double>(n.z));
            }
    }
    Compile(model);
    ReportGlErrors("CKHLFModel", hlf::MapBackslashes(file ? file : ""));
}

void CKHLFModel::Compile(const hlf::KhlfModel& model)
{
    // The parser guarantees every index lies in 0..V-1; checked again here because Compile is
    // public and a stray index would read outside the vertex array.
    const std::size_t v = model.vertices.size();
    auto valid = [v](const hlf::KhlfFace& f)
    {
        for (int k = 0; k < f.corners(); ++k)
            if (f.index[k] < 0 || static_cast<std::size_t>(f.index[k]) >= v)
                return false;
        return true;
    };

    displist = glGenLists(1);
    glNewList(displist, GL_COMPILE);
    glColor3f(1, 1, 1);
    for (const hlf::KhlfFace& f : model.faces)
    {
        if (!valid(f))
            continue;
        glBegin(f.type == 1 ? GL_QUADS : GL_TRIANGLES);
        for (int k = 0; k < f.corners(); ++k)
        {
            const hlf::KhlfVertex& c = model.vertices[static_cast<std::size_t>(f.index[k])];
            glNormal3f(c.normal.x, c.normal.y, c.normal.z);
            glTexCoord2f(c.s, c.t);
            glVertex3f(c.pos.x, c.pos.y, c.pos.z);
        }
        glEnd();
    }
    glEndList();

    // Drawn in the model's own axes, so the lines sit on the model they describe.
    normlist = glGenLists(1);
    glNewList(normlist, GL_COMPILE);
    glBegin(GL_LINES);
    for (const hlf::KhlfFace& f : model.faces)
    {
        if (!valid(f))
            continue;
        for (int k = 0; k < f.corners(); ++k)
        {
            const hlf::KhlfVertex& c = model.vertices[static_cast<std::size_t>(f.index[k])];
            const svect3f tip = c.pos + c.normal * 0.1f;
            glVertex3f(c.pos.x, c.pos.y, c.pos.z);
            glVertex3f(tip.x, tip.y, tip.z);
        }
    }
    glEnd();
    glEndList();
}

void CKHLFModel::Render() { glCallList(displist); }

void CKHLFModel::RenderNormals() { glCallList(normlist); }
