#pragma once
// The marching-cubes lookup tables, for the corner and edge numbering below.
//
// Corners of cell (i, j, k) as offsets: 0 (0,0,0), 1 (1,0,0), 2 (1,0,1), 3 (0,0,1),
// 4 (0,1,0), 5 (1,1,0), 6 (1,1,1), 7 (0,1,1). Edges, first corner to second:
// 0: 0-1, 1: 1-2, 2: 2-3, 3: 3-0, 4: 4-5, 5: 5-6, 6: 6-7, 7: 7-4, 8: 0-4, 9: 1-5, 10: 2-6, 11: 3-7.
// The cube index has bit n set when corner n lies below the surface level.
namespace marching
{
// Per cube index, the 12-bit mask of the edges the surface cuts.
extern const int edgeTable[256];
// Per cube index, triangles as triples of edge numbers, ended by -1.
extern const int triTable[256][16];

constexpr int kEdgeCorner[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                    {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
constexpr int kCornerOffset[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1},
                                     {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}};
} // namespace marching
