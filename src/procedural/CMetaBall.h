#pragma once
// CDemoHandler::CMetaBall: the vortex scene's blob of eight balls that melt into each other.
// Every Render samples a scalar field on a 42 x 42 x 42 grid, extracts the surface where it
// equals 1.5 by marching cubes and draws the triangles with unit normals in immediate mode, in
// the caller's context, under the caller's transform, shader and textures (no colour or texture
// coordinate is issued).
//
// Building the field and polygonising are GL-free (BuildField, Polygonise); only Draw talks to
// GL. The triangle cache (about 27 MB) is allocated once; a frame touches only the records of
// cells the surface passes through.
#include "app/platform/CDemoHandler.h"

#include <cstdint>
#include <memory>
#include <vector>

class CDemoHandler::CMetaBall
{
public:
    static constexpr int kGrid = 42;      // grid points per axis
    static constexpr int kCellsAxis = 41; // cells with all eight corners on the grid
    static constexpr int kMaxTris = 5;    // the most marching cubes yields in one cell

    struct gridpoint
    {
        float dx, dy, dz; // sum of offsets from the ball centres: the surface normal
        float value;      // sum of (reach - distance)
    };

    struct triangle_t
    {
        float p[3][3]; // corner positions, grid units
        float n[3][3]; // corner normals
    };

    struct cell_t
    {
        triangle_t tri[kMaxTris];
        float count; // triangles stored
    };

    CMetaBall();
    CMetaBall(const CMetaBall&) = delete;
    CMetaBall& operator=(const CMetaBall&) = delete;

    // Where the field crosses isolevel between (x1, y1, z1) with val1 and (x2, y2, z2) with val2.
    void VertexInterp(float x1, float y1, float z1, float x2, float y2, float z2, float val1, float val2,
                      float& x, float& y, float& z) const;
    // Adds a ball centred at (x, y, z) (grid units) whose reach is end - 1; the grid points from
    // offset start to end - 1 around the centre are examined.
    void AddMetaToMesh(float x, float y, float z, int start, int end);
    // Phase update, field, polygonise, draw.
    void Render();

    // --- GL-free steps of Render ---
    // Clears the field and adds the eight balls at phase a.
    void BuildField(float a);
    // Sets angle for the music time `seconds`: one radian a second since `origin`, plus what Page
    // Up has added. A function of time, so the blob is the same at a moment however it was reached.
    void AdvancePhase();
    // One 60 Hz tick: while Page Up is held the blob turns a fifth faster.
    void TickBoost(bool pageUp);
    // Fills the cell cache from the field at isolevel; returns the triangle count.
    int Polygonise();
    // Cube index of cell (i, j, k), 0..40 each: bit n set when corner n's value is below isolevel.
    int CubeIndex(int i, int j, int k) const;
    const cell_t& Cell(int i, int j, int k) const { return cells[Index(i, j, k)]; }
    // Cells holding triangles after Polygonise, in drawing order (i, then j, then k).
    const std::vector<int>& FilledCells() const { return filled; }
    static int Index(int i, int j, int k) { return (i * kGrid + j) * kGrid + k; }
    // Divides n by its length; a zero-length normal becomes (0, 1, 0) rather than NaN.
    static void NormalForDrawing(float n[3]);

    void Draw();

    float angle = 0.0f;
    float isolevel = 1.5f;
    gridpoint mesh[kGrid][kGrid][kGrid];
    double seconds = 0.0; // the music time Render draws for, set by the caller
    double origin = 0.0;  // the music time the blob's turning starts from
    float boost = 0.0f;   // radians Page Up has added
    std::unique_ptr<cell_t[]> cells;

private:
    // Fills the record of cell (i, j, k), whose cube index is `index`; returns its triangle count.
    int PolygoniseCell(int i, int j, int k, int index);
    void InterpEdge(float x1, float y1, float z1, float x2, float y2, float z2, const gridpoint& a,
                    const gridpoint& b, float pos[3], float nrm[3]) const;

    std::vector<int> filled;
};
