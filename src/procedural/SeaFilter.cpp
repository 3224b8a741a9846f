#include "procedural/SeaFilter.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>
#include <new>
#include <thread>

namespace seafilter
{
namespace
{
typedef float v4sf __attribute__((vector_size(16)));

constexpr int kPad = kMaxRadius;  // zero border around the interleaved grid
constexpr int kW = kN + 2 * kPad; // row stride of the interleaved grid, in points
constexpr int kPeriod = kN;       // steps between two rows sharing a chain slot
constexpr int kChains = 8;        // rows in flight per thread: enough to hide the add latency

// Points of the grid a window of radius R around x covers along one axis.
int span(int x, int R) { return std::min(x + R, kN - 1) - std::max(x - R, 0) + 1; }

struct alignas(64) Progress
{
    std::atomic<int> steps{0}; // steps this thread has completed
};

// The schedule. Each thread runs kChains rows at once, one step at a time; at every step each
// of its rows filters its next point (column). Row r starts at step start(r):
//   row q * 2C + t * C + g (thread t, slot g, generation q; C = kChains)
//   starts at q * 513 + t * (C (R + 1) + delay) + g (R + 1).
// Point (x, z) needs row x - 1 filtered through z + R (and earlier rows further), and rows below
// x not yet filtered at z - R and beyond. Both hold when every row starts at least R + 1 steps
// after the row before it and all steps run in order: row x then reaches column z one step after
// row x - 1 reached z + R. Within a thread the slots keep that gap. Between the threads the gaps
// are R + 1 + delay (thread 0's last row to thread 1's first) and 513 - (2C - 1)(R + 1) - delay
// (thread 1's last row to thread 0's next generation), so a thread may run step s once the other
// has completed s - slack steps, slack being its gap less R + 1. A slot takes its next row right
// when its row ends (the period is exactly 513 steps), so rows stay in flight back to back.
struct Plan
{
    int R = 1;
    int threads = 1;
    int delay = 0;               // extra start offset of the second thread's rows
    v4sf* grid = nullptr;        // interleaved, padded; point (x, z) at grid[(x + kPad) * kW + z + kPad]
    const v4sf* zeros = nullptr; // read by idle chains: a window's worth of zero points
    Progress progress[2];

    int rowsPerGeneration() const { return threads * kChains; }
    int row(int t, int q, int g) const { return q * rowsPerGeneration() + t * kChains + g; }
    int start(int t, int q, int g) const
    {
        return q * kPeriod + t * (kChains * (R + 1) + delay) + g * (R + 1);
    }
};

// Zero padding lets every point use the full window: an added +0.0 leaves a sum of finite
// values unchanged bit for bit (a sum that starts at +0 never becomes -0), so the in-grid
// values are still added in the plain order; only the divisor is the clipped count.
template <int R> void runThread(Plan& plan, int t)
{
    constexpr int n = 2 * R + 1;
    const int other = 1 - t;
    // The least number of steps the other thread must have completed before this one may run
    // step s is s - slack: the gap (in steps) between this thread's rows and the nearest rows of
    // the other thread, less what those rows need of each other.
    int slack = 0;
    if (plan.threads == 2)
        slack = t == 1 ? plan.delay : kPeriod - 2 * kChains * (R + 1) - plan.delay;

    // The last step any of this thread's rows needs.
    int lastStep = -1;
    for (int q = 0; plan.row(t, q, 0) < kN; ++q)
        for (int g = 0; g < kChains && plan.row(t, q, g) < kN; ++g)
            lastStep = std::max(lastStep, plan.start(t, q, g) + kN - 1);

    int gen[kChains];
    for (int g = 0; g < kChains; ++g)
        gen[g] = 0;
    int seen = 0; // latest value read from the other thread's progress
    v4sf sink[kChains];

    for (int s = 0; s <= lastStep; ++s)
    {
        if (plan.threads == 2)
        {
            const int need = s - slack;
            if (seen < need)
            {
                int spins = 0;
                while ((seen = plan.progress[other].steps.load(std::memory_order_acquire)) < need)
                {
                    if (++spins > 64)
                        std::this_thread::yield();
                }
            }
        }

        const v4sf* in[kChains];
        v4sf* out[kChains];
        float count[kChains];
        for (int g = 0; g < kChains; ++g)
        {
            int z = s - plan.start(t, gen[g], g);
            if (z >= kN)
            {
                ++gen[g];
                z = s - plan.start(t, gen[g], g);
            }
            const int x = plan.row(t, gen[g], g);
            if (z >= 0 && z < kN && x < kN)
            {
                v4sf* p = plan.grid + (x + kPad) * kW + z + kPad;
                in[g] = p;
                out[g] = p;
                count[g] = static_cast<float>(span(x, R) * span(z, R));
            }
            else
            {
                in[g] = plan.zeros;
                out[g] = &sink[g];
                count[g] = 1.0f;
            }
        }

        v4sf acc[kChains];
        for (int g = 0; g < kChains; ++g)
            acc[g] = v4sf{0.0f, 0.0f, 0.0f, 0.0f};
        for (int dx = -R; dx <= R; ++dx)
        {
            const v4sf* rows[kChains];
            for (int g = 0; g < kChains; ++g)
                rows[g] = in[g] + dx * kW - R;
            for (int dz = 0; dz < n; ++dz)
                for (int g = 0; g < kChains; ++g)
                    acc[g] += rows[g][dz];
        }
        // Stores come after all sums of the step: no chain reads a point another chain
        // writes in the same step, and this keeps it so.
        for (int g = 0; g < kChains; ++g)
            *out[g] = acc[g] / count[g];

        if (plan.threads == 2)
            plan.progress[t].steps.store(s + 1, std::memory_order_release);
    }
    if (plan.threads == 2)
        plan.progress[t].steps.store(INT_MAX, std::memory_order_release);
}

template <int R> void filterRadius(Plan& plan)
{
    if (plan.threads == 1)
    {
        runThread<R>(plan, 0);
        return;
    }
    std::thread worker([&plan] { runThread<R>(plan, 1); });
    runThread<R>(plan, 0);
    worker.join();
}

constexpr std::size_t kGridPoints = static_cast<std::size_t>(kW) * kW;
constexpr std::size_t kZeroPoints = static_cast<std::size_t>(2 * kPad + 1) * kW;

float* allocPoints(std::size_t count)
{
    v4sf* p = static_cast<v4sf*>(::operator new[](count * sizeof(v4sf), std::align_val_t(64)));
    std::fill(p, p + count, v4sf{0.0f, 0.0f, 0.0f, 0.0f});
    return reinterpret_cast<float*>(p);
}

void freePoints(float* p) { ::operator delete[](p, std::align_val_t(64)); }
} // namespace

void BoxFilterDirect(float* grid, int radius)
{
    const int R = radius;
    for (int x = 0; x < kN; ++x)
    {
        for (int z = 0; z < kN; ++z)
        {
            float sum = 0.0f;
            int count = 0;
            for (int dx = -R; dx <= R; ++dx)
            {
                const int xx = x + dx;
                if (xx < 0 || xx >= kN)
                    continue;
                for (int dz = -R; dz <= R; ++dz)
                {
                    const int zz = z + dz;
                    if (zz < 0 || zz >= kN)
                        continue;
                    sum += grid[xx * kN + zz];
                    ++count;
                }
            }
            grid[x * kN + z] = sum / static_cast<float>(count);
        }
    }
}

Workspace::Workspace() : grid(allocPoints(kGridPoints)), zeros(allocPoints(kZeroPoints)) {}

Workspace::~Workspace()
{
    freePoints(grid);
    freePoints(zeros);
}

void BoxFilter4(float* const grids[4], int radius, int threads, Workspace* workspace)
{
    if (radius < 1 || radius > kMaxRadius)
        return;
    Plan plan;
    plan.R = radius;
    plan.threads = threads >= 2 ? 2 : 1;
    if (plan.threads == 2)
    {
        // Half of the spare steps between generations go to each side, so either thread may
        // run that far ahead before it waits.
        const int spare = kPeriod - 2 * kChains * (radius + 1);
        plan.delay = spare / 2;
    }

    std::unique_ptr<Workspace> own;
    if (!workspace)
    {
        own = std::make_unique<Workspace>();
        workspace = own.get();
    }
    // Only the grid's interior is ever written, so the border stays zero from call to call.
    plan.grid = reinterpret_cast<v4sf*>(workspace->grid);
    plan.zeros = reinterpret_cast<const v4sf*>(workspace->zeros) + kPad * kW + kPad;

    for (int x = 0; x < kN; ++x)
    {
        v4sf* row = plan.grid + (x + kPad) * kW + kPad;
        for (int z = 0; z < kN; ++z)
        {
            const int i = x * kN + z;
            row[z] = v4sf{grids[0][i], grids[1][i], grids[2][i], grids[3][i]};
        }
    }

    switch (radius)
    {
    case 1:
        filterRadius<1>(plan);
        break;
    case 2:
        filterRadius<2>(plan);
        break;
    case 3:
        filterRadius<3>(plan);
        break;
    case 4:
        filterRadius<4>(plan);
        break;
    case 5:
        filterRadius<5>(plan);
        break;
    case 6:
        filterRadius<6>(plan);
        break;
    case 7:
        filterRadius<7>(plan);
        break;
    case 8:
        filterRadius<8>(plan);
        break;
    case 9:
        filterRadius<9>(plan);
        break;
    default:
        filterRadius<10>(plan);
        break;
    }

    for (int x = 0; x < kN; ++x)
    {
        const v4sf* row = plan.grid + (x + kPad) * kW + kPad;
        for (int z = 0; z < kN; ++z)
        {
            const int i = x * kN + z;
            grids[0][i] = row[z][0];
            grids[1][i] = row[z][1];
            grids[2][i] = row[z][2];
            grids[3][i] = row[z][3];
        }
    }
}
} // namespace seafilter
