#include "procedural/CTreeMesh.h"

void CTreeMesh::Emit(Primitive p, const vertex_t* v, int count)
{
    runs.push_back({p, static_cast<int>(vertices.size()), count});
    vertices.insert(vertices.end(), v, v + count);
}

void CTreeMesh::Clear()
{
    vertices.clear();
    runs.clear();
}

long CTreeMesh::QuadCount() const
{
    long n = 0;
    for (const run_t& r : runs)
        n += r.primitive == QuadStrip ? (r.count >= 4 ? (r.count - 2) / 2 : 0) : r.count / 4;
    return n;
}
