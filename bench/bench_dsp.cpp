// Frames per second of the decoder engine at 48 kHz: the shipped block-staged
// path with the meters on and off on each instruction set, and the per-sample
// reference variant (fields and filter coefficients read afresh for every
// sample) that it matches bit for bit.
#include "dsp/BinauralRenderer.h"
#include "dsp/KalvoAlgo.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace
{
struct Fixture
{
    explicit Fixture(int frames)
        : algo(48000.0), in(3, std::vector<double>(frames)), out(6, std::vector<double>(frames))
    {
        // A typical five-channel set-up with every output in use.
        algo.lrPattern = 0.36;
        algo.lsrsPattern = 0.36;
        algo.centerPattern = 0.36;
        algo.frontLevel = algo.rearLevel = algo.centerLevel = 0.8;
        algo.setLROffset(0.8);
        algo.setLSRSOffset(0.6);
        algo.setDelay(0.3);
        algo.setRearSlopeFilter(0.5);
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> u(-0.5, 0.5);
        for (auto& ch : in)
            for (double& v : ch)
                v = u(rng);
        for (int c = 0; c < 3; ++c)
            inPtr[c] = in[c].data();
        for (int c = 0; c < 6; ++c)
            outPtr[c] = out[c].data();
    }
    KalvoAlgo algo;
    std::vector<std::vector<double>> in, out;
    const double* inPtr[3];
    double* outPtr[6];
};

void report(benchmark::State& state, int frames)
{
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * frames, benchmark::Counter::kIsRate);
}

/// Arguments: frames per call, meters on (1) or off (0), instruction set
/// (0 baseline x86-64, 1 AVX2, 2 AVX-512).
void ProcessSamples(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    Fixture f(frames);
    f.algo.meteringEnabled = state.range(1) != 0;
    if (!f.algo.setKernel(static_cast<subblock::Kernel>(state.range(2))))
    {
        state.SkipWithError("instruction set not supported here");
        return;
    }
    for (auto _ : state)
    {
        f.algo.processSamples(f.inPtr, f.outPtr, frames);
        benchmark::DoNotOptimize(f.out[5].data());
        benchmark::ClobberMemory();
    }
    report(state, frames);
}

void ProcessSamplesReference(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    Fixture f(frames);
    for (auto _ : state)
    {
        f.algo.processSamplesReference(f.inPtr, f.outPtr, frames);
        benchmark::DoNotOptimize(f.out[5].data());
        benchmark::ClobberMemory();
    }
    report(state, frames);
}
} // namespace

BENCHMARK(ProcessSamples)
    ->ArgNames({"frames", "meters", "isa"})
    ->ArgsProduct({{64, 512, 4096}, {1, 0}, {0, 1, 2}});
BENCHMARK(ProcessSamplesReference)->ArgName("frames")->Arg(64)->Arg(512)->Arg(4096);

/// The binaural renderer alone at 48 kHz on a grid the size of the measured set's
/// (558 taps, every 5 degrees around, every 10 up), the head still and turning.
static void BinauralRender(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    HrirGrid grid;
    grid.sampleRate = 48000.0;
    grid.length = 558;
    grid.azimuths = 72;
    grid.elevations = 19;
    grid.left.assign(static_cast<size_t>(grid.directions() * grid.length), 0.01f);
    grid.right = grid.left;
    BinauralRenderer renderer;
    renderer.setResponses(grid);
    std::vector<float> in(static_cast<size_t>(frames), 0.25f), left(in.size()), right(in.size());
    const float* decoded[6] = {in.data(), in.data(), in.data(), in.data(), in.data(), in.data()};
    double yaw = 0.0;
    for (auto _ : state)
    {
        if (state.range(1) != 0)
            renderer.setOrientation({yaw += 360.0 * frames / 48000.0, 0.0, 0.0}); // a turn a second
        renderer.process(decoded, left.data(), right.data(), frames);
        benchmark::DoNotOptimize(left[0]);
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * frames, benchmark::Counter::kIsRate);
}
BENCHMARK(BinauralRender)->ArgNames({"frames", "turning"})->Args({64, 0})->Args({64, 1});

BENCHMARK_MAIN();
