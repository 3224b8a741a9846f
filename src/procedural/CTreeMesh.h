#pragma once
// CTreeMesh records what a tree's renderers emit (CTree::Sink) as plain arrays: one vertex list
// and the runs of vertices that make each primitive. The island grows its forest into two of
// these (bark, leaves) without a GL context, then sends each into its display list in one go.
#include "procedural/CTree.h"

#include <vector>

class CTreeMesh : public CTree::Sink
{
public:
    using vertex_t = CTree::vertex_t;
    struct run_t
    {
        Primitive primitive;
        int first; // index into vertices
        int count;
    };

    void Emit(Primitive p, const vertex_t* v, int count) override;
    void Clear();

    // Quads the recorded primitives make: (n - 2) / 2 per strip of n vertices, n / 4 per quad run.
    long QuadCount() const;

    std::vector<vertex_t> vertices;
    std::vector<run_t> runs;
};
