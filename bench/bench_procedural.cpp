// The procedural generators' CPU cost: the sea (all four layers, GL-free part), one metaball
// frame without GL (field + polygonise), and the island's 44 trees.
#include "formats/IHLF.h"
#include "math/random.h"
#include "procedural/CMetaBall.h"
#include "procedural/CTreeMesh.h"
#include "procedural/CWaterNorm.h"
#include "procedural/SeaFilter.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{
using CWaterNorm = CDemoHandler::CWaterNorm;
using CMetaBall = CDemoHandler::CMetaBall;

void BM_SeaGenerate(benchmark::State& state)
{
    auto sea = std::make_unique<CWaterNorm>();
    vq_srand(1234);
    for (auto _ : state)
    {
        sea->Generate(nullptr, static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(sea->normals[3][511][511]);
    }
}
BENCHMARK(BM_SeaGenerate)->Arg(2)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The parts of the sea, for seeing where its time goes.
void BM_SeaFilters(benchmark::State& state)
{
    auto sea = std::make_unique<CWaterNorm>();
    vq_srand(1234);
    for (auto _ : state)
    {
        state.PauseTiming();
        sea->MakeNoise();
        state.ResumeTiming();
        sea->FilterOctaves(nullptr, static_cast<int>(state.range(0)));
    }
}
BENCHMARK(BM_SeaFilters)->Arg(2)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SeaNoise(benchmark::State& state)
{
    auto sea = std::make_unique<CWaterNorm>();
    vq_srand(1234);
    for (auto _ : state)
        sea->MakeNoise();
}
BENCHMARK(BM_SeaNoise)->Unit(benchmark::kMillisecond);

void BM_SeaTriangles(benchmark::State& state)
{
    auto sea = std::make_unique<CWaterNorm>();
    vq_srand(1234);
    sea->MakeNoise();
    sea->FilterOctaves(nullptr, 2);
    sea->Combine();
    for (auto _ : state)
        sea->BuildTriangles(2);
}
BENCHMARK(BM_SeaTriangles)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SeaFilterDirectOneLayer(benchmark::State& state)
{
    auto sea = std::make_unique<CWaterNorm>();
    vq_srand(1234);
    for (auto _ : state)
    {
        state.PauseTiming();
        sea->MakeNoise();
        state.ResumeTiming();
        for (int k = 0; k < CWaterNorm::kOctaves; ++k)
            sea->FilterOctaveDirect(0, k);
    }
}
BENCHMARK(BM_SeaFilterDirectOneLayer)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_MetaBallFrame(benchmark::State& state)
{
    auto meta = std::make_unique<CMetaBall>();
    float a = 0.0f;
    int tris = 0;
    for (auto _ : state)
    {
        meta->BuildField(a);
        meta->isolevel = 1.5f;
        tris = meta->Polygonise();
        a += 0.016f; // one frame of motion at 60 Hz
        benchmark::DoNotOptimize(tris);
    }
    state.counters["triangles"] = tris;
}
BENCHMARK(BM_MetaBallFrame)->Unit(benchmark::kMicrosecond);

void BM_Forest(benchmark::State& state)
{
    CTreeMesh bark, leaves;
    vq_srand(99);
    for (auto _ : state)
    {
        bark.Clear();
        leaves.Clear();
        benchmark::DoNotOptimize(ihlf::GrowForest(bark, leaves));
    }
    state.counters["bark_quads"] = static_cast<double>(bark.QuadCount());
}
BENCHMARK(BM_Forest)->Unit(benchmark::kMillisecond);
} // namespace
