#include "formats/CIHLF_Object.h"

#include "app/platform/Verbose.h"
#include "formats/IHLF.h"
#include "math/random.h"
#include "procedural/CTreeMesh.h"
#include "resource/GlErrors.h"

#include <GL/glew.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
void sendMesh(const CTreeMesh& mesh)
{
    for (const CTreeMesh::run_t& run : mesh.runs)
    {
        glBegin(run.primitive == CTree::Sink::QuadStrip ? GL_QUAD_STRIP : GL_QUADS);
        for (int i = run.first; i < run.first + run.count; ++i)
        {
            const CTreeMesh::vertex_t& v = mesh.vertices[static_cast<std::size_t>(i)];
            glTexCoord2f(v.s, v.t);
            glVertex3f(v.v.x, v.v.y, v.v.z);
        }
        glEnd();
    }
}

unsigned compileMesh(const CTreeMesh& mesh)
{
    const unsigned list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    sendMesh(mesh);
    glEndList();
    return list;
}

unsigned compileTerrain(const std::vector<ihlf::quad_t>& quads)
{
    const unsigned list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_QUADS);
    for (const ihlf::quad_t& q : quads)
    {
        for (const ihlf::corner_t& c : q.corner)
        {
            glMultiTexCoord2f(GL_TEXTURE0, c.s0, c.t0);
            // The file stores this pair t first; it reaches unit 1 as (s, t).
            glMultiTexCoord2f(GL_TEXTURE1, c.s1, c.t1);
            glNormal3f(c.normal.x, c.normal.y, c.normal.z);
            glVertex3f(c.pos.x, c.pos.y, c.pos.z);
        }
    }
    glEnd();
    glEndList();
    return list;
}
} // namespace

float CIHLF_Object::rnd(float a, float b) { return ::rnd(a, b); }

bool CIHLF_Object::Load(const char* name)
{
    ClearGlErrors();
    std::vector<ihlf::quad_t> quads;
    std::string error;
    const ihlf::Status st = ihlf::ReadFile(name ? name : "", quads, error);
    if (st == ihlf::Status::Empty)
        std::fprintf(stderr, "Feil 1\n");
    else if (st == ihlf::Status::NotWhole)
        std::fprintf(stderr, "Feil 2\n");
    if (!ihlf::Usable(st))
    {
        std::fprintf(stderr, "CIHLF_Object: %s; the island is not built\n", error.c_str());
        return false;
    }
    if (st == ihlf::Status::Repaired)
        std::fprintf(stderr, "CIHLF_Object: %s\n", error.c_str());
    if (g_verbose)
        std::printf("elements: %zu\n", quads.size());

    // The forest's size: 44 trees of 198 strips (12 vertices) and 135 leaves (4 vertices).
    CTreeMesh bark, leaves;
    bark.vertices.reserve(ihlf::kTrees * 198 * 12);
    bark.runs.reserve(ihlf::kTrees * 198);
    leaves.vertices.reserve(ihlf::kTrees * 135 * 4);
    leaves.runs.reserve(ihlf::kTrees * 135);
    ihlf::GrowForest(bark, leaves);
    treelist = compileMesh(bark);
    leaflist = compileMesh(leaves);
    terrainlist = compileTerrain(quads);
    ReportGlErrors("CIHLF_Object", name ? name : "");
    return true;
}

void CIHLF_Object::Render()
{
    if (terrainlist)
        glCallList(terrainlist);
}

void CIHLF_Object::RenderTrees()
{
    if (treelist)
        glCallList(treelist);
}

void CIHLF_Object::RenderLeaf()
{
    if (leaflist)
        glCallList(leaflist);
}
