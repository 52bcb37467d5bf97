// Frames per second of the effect's two processing calls at 48 kHz, as a host
// drives them: single precision (widen, decode, narrow) and double precision
// (decoded straight from and into the host's buffers).
#include "Kalvo.h"
#include "KalvoEditorFactory.h"
#include "StandaloneHost.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace
{

template <typename Sample> struct Buffers
{
    explicit Buffers(int frames) : data(6, std::vector<Sample>(frames))
    {
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> u(-0.5, 0.5);
        for (int c = 0; c < 6; ++c)
        {
            for (Sample& v : data[c])
                v = static_cast<Sample>(u(rng));
            ptrs[c] = data[c].data();
        }
    }
    std::vector<std::vector<Sample>> data;
    Sample* ptrs[6];
};

template <typename Sample> void processBlocks(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    Kalvo effect(standaloneHostCallback);
    AEffect* e = effect.getAeffect();
    e->setParameter(e, 5, 0.3f); // every output in use, a surround delay of 16.5 ms
    Buffers<Sample> in(frames), out(frames);
    for (auto _ : state)
    {
        if constexpr (sizeof(Sample) == sizeof(float))
            e->processReplacing(e, in.ptrs, out.ptrs, frames);
        else
            e->processDoubleReplacing(e, in.ptrs, out.ptrs, frames);
        benchmark::DoNotOptimize(out.data[0][0]);
    }
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * frames, benchmark::Counter::kIsRate);
}

void BM_ProcessReplacing(benchmark::State& state)
{
    processBlocks<float>(state);
}

void BM_ProcessDoubleReplacing(benchmark::State& state)
{
    processBlocks<double>(state);
}

} // namespace

BENCHMARK(BM_ProcessReplacing)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(BM_ProcessDoubleReplacing)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK_MAIN();
