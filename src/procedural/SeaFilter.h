#pragma once
// The sea's in-place box filter over a 513 x 513 grid indexed [x][z].
//
// Points are visited x outer, z inner; the new value at (x, z) is the mean of the current values
// at (x + dx, z + dz), dx outer and dz inner from -R to +R, counting only points inside the grid.
// Because the filter reads the array it writes, points visited earlier enter later means already
// filtered: the result depends on the visiting order and on the order of every float addition,
// and the sea's look is tuned to exactly this result.
//
// BoxFilterDirect is the plain statement of it. BoxFilter4 filters four grids at once with
// every sum formed in the same order (bit-identical), but fast: the four grids are interleaved so
// each point is one 4-wide vector chain, several rows run at once on a skewed wavefront (a row
// trails the one before it by R + 1 columns, so every value it reads is in the state the plain
// order gives), and the rows are shared between two threads that only wait for each other when
// one gets too far ahead.
namespace seafilter
{
constexpr int kN = 513;
constexpr int kMaxRadius = 10;

void BoxFilterDirect(float* grid, int radius);

// Scratch of BoxFilter4 (about 4.7 MB: the four grids interleaved with a zero border), kept
// between calls so a run of filters touches its pages once.
class Workspace
{
public:
    Workspace();
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    float* grid = nullptr;  // (kN + 2 kMaxRadius)^2 points of 4 floats, 64-byte aligned
    float* zeros = nullptr; // a window's worth of zero points, read by idle rows
};

// grids[i] each point to kN * kN floats; threads is 1 or 2. Radius 1..kMaxRadius. Without a
// workspace one is made for the call.
void BoxFilter4(float* const grids[4], int radius, int threads, Workspace* workspace = nullptr);
} // namespace seafilter
