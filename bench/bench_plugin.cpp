// Frames per second of the effect's two processing calls at 48 kHz, as a host
// drives them: single precision (widen, decode, narrow) and double precision
// (decoded straight from and into the host's buffers). The effect linked in,
// with the meters on and off; the built Kalvo.so loaded as a host loads it; and
// the single-precision call's steps around the engine's per-sample reference
// variant, the yardstick of the block-staged engine; the LV2 build's run() and the
// VST 3 build's process() in the same run.
#include "dsp/KalvoAlgo.h"
#include "effect/Kalvo.h"
#include "vst2/StandaloneHost.h"
#if defined(KALVO_BINAURAL_BENCH)
#include "dsp/BinauralRenderer.h"
#include "effect/HeadResponses.h"

#include <string>
#endif

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#if defined(KALVO_LV2_DSP_PATH)
#include "effect/KalvoParameters.h"
#include "formats/lv2/Lv2Ports.h"

#include <lv2/core/lv2.h>
#endif

#if defined(KALVO_VST3_MODULE_PATH)
#include "tests/formats/vst3/Vst3TestHost.h"
#endif

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

void report(benchmark::State& state, int frames)
{
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * frames, benchmark::Counter::kIsRate);
}

template <typename Sample> void run(benchmark::State& state, AEffect* e, int frames)
{
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
    report(state, frames);
}

/// The effect linked in. Arguments: frames per call, meters on (1) or off (0),
/// the engine's instruction set (0 baseline x86-64, 1 AVX2, 2 AVX-512).
template <typename Sample> void linkedEffect(benchmark::State& state)
{
    Kalvo effect(standaloneHostCallback);
    effect.getAlgo().meteringEnabled = state.range(1) != 0;
    if (!effect.getAlgo().setKernel(static_cast<subblock::Kernel>(state.range(2))))
    {
        state.SkipWithError("instruction set not supported here");
        return;
    }
    run<Sample>(state, effect.getAeffect(), static_cast<int>(state.range(0)));
}

#if defined(KALVO_BINAURAL_BENCH)
/// The headphone build: the linked effect's single-precision 5.1 decode, then the binaural
/// renderer with the measured set at 48 kHz, as the plug-in runs them per host block.
void linkedBinaural(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    HrirGrid grid;
    std::string error;
    if (!kalvo::loadHrirGrid(kalvo::kDefaultHrtfPath, 48000.0, grid, error))
    {
        state.SkipWithError(error.c_str());
        return;
    }
    BinauralRenderer renderer;
    renderer.setResponses(grid);
    Kalvo effect(standaloneHostCallback);
    AEffect* e = effect.getAeffect();
    e->setParameter(e, 5, 0.3f);
    Buffers<float> in(frames), decoded(frames), ears(frames);
    for (auto _ : state)
    {
        e->processReplacing(e, in.ptrs, decoded.ptrs, frames);
        renderer.process(decoded.ptrs, ears.ptrs[0], ears.ptrs[1], frames);
        benchmark::DoNotOptimize(ears.data[0][0]);
    }
    report(state, frames);
}
BENCHMARK(linkedBinaural)->ArgName("frames")->Arg(64)->Arg(512);
#endif

/// The built plug-in through its entry point, meters on as in a host, on the
/// instruction set it chooses.
template <typename Sample> void loadedPlugin(benchmark::State& state)
{
    void* library = dlopen(KALVO_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    using Main = AEffect* (*)(audioMasterCallback);
    auto entry = library ? reinterpret_cast<Main>(dlsym(library, "VSTPluginMain")) : nullptr;
    AEffect* e = entry ? entry(standaloneHostCallback) : nullptr;
    if (!e)
    {
        state.SkipWithError("Kalvo.so not loadable");
        if (library)
            dlclose(library);
        return;
    }
    run<Sample>(state, e, static_cast<int>(state.range(0)));
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    dlclose(library);
}

#if defined(KALVO_LV2_DSP_PATH)
/// The LV2 bundle's DSP binary loaded as an LV2 host loads it, with the same setting as
/// the VST 2.4 runs (defaults, a surround delay of 16.5 ms), meters on.
void Lv2Run(benchmark::State& state)
{
    using namespace kalvo::lv2;
    const int frames = static_cast<int>(state.range(0));
    void* library = dlopen(KALVO_LV2_DSP_PATH, RTLD_NOW | RTLD_LOCAL);
    auto entry =
        library ? reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor")) : nullptr;
    const LV2_Descriptor* d = entry ? entry(0) : nullptr;
    const LV2_Feature* features[] = {nullptr};
    LV2_Handle h = d ? d->instantiate(d, 48000.0, "", features) : nullptr;
    if (!h)
    {
        state.SkipWithError("kalvo.lv2 not loadable");
        if (library)
            dlclose(library);
        return;
    }
    float controls[kNumParameters];
    float meters[kalvo::kNumMeters];
    for (int i = 0; i < kNumParameters; ++i)
    {
        controls[i] = static_cast<float>(kalvo::knobToUnit(i, kalvo::parameterSpec(i).defaultKnob));
        d->connect_port(h, static_cast<uint32_t>(kFirstControl + i), &controls[i]);
    }
    controls[kRearDelay] = 16.5f;
    for (int m = 0; m < kalvo::kNumMeters; ++m)
        d->connect_port(h, static_cast<uint32_t>(kFirstMeterPort + m), &meters[m]);
    Buffers<float> in(frames), out(frames);
    for (int c = 0; c < kNumAudioInputs; ++c)
        d->connect_port(h, static_cast<uint32_t>(kFirstAudioInput + c), in.ptrs[c]);
    for (int c = 0; c < kNumAudioOutputs; ++c)
        d->connect_port(h, static_cast<uint32_t>(kFirstAudioOutput + c), out.ptrs[c]);
    d->activate(h);
    for (auto _ : state)
    {
        d->run(h, static_cast<uint32_t>(frames));
        benchmark::DoNotOptimize(out.data[0][0]);
    }
    report(state, frames);
    d->deactivate(h);
    d->cleanup(h);
    dlclose(library);
}
BENCHMARK(Lv2Run)->ArgName("frames")->Arg(64)->Arg(512)->Arg(4096);
#endif

#if defined(KALVO_VST3_MODULE_PATH)
/// The VST 3 module loaded as a host loads it: the processor's process call at 48 kHz with
/// the same setting as the VST 2.4 runs, the meters going out as output parameters.
template <typename Sample> void vst3Process(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    void* library = dlopen(KALVO_VST3_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    using Entry = bool (*)(void*);
    using GetFactory = vst3::IPluginFactory* (*)();
    auto enter = library ? reinterpret_cast<Entry>(dlsym(library, "ModuleEntry")) : nullptr;
    auto get = library ? reinterpret_cast<GetFactory>(dlsym(library, "GetPluginFactory")) : nullptr;
    vst3::IPluginFactory* factory = enter && enter(library) && get ? get() : nullptr;
    vst3::PClassInfo info{};
    void* obj = nullptr;
    if (!factory || factory->getClassInfo(0, &info) != vst3::kResultOk ||
        factory->createInstance(info.cid, vst3::IComponent::iid.bytes, &obj) != vst3::kResultOk)
    {
        state.SkipWithError("Kalvo.vst3 not loadable");
        if (factory)
            factory->release();
        if (library)
            dlclose(library);
        return;
    }
    auto* component = static_cast<vst3::IComponent*>(obj);
    component->initialize(nullptr);
    auto* processor = vst3test::query<vst3::IAudioProcessor>(component);
    const bool wide = sizeof(Sample) == sizeof(double);
    vst3::ProcessSetup setup{vst3::kRealtime, wide ? vst3::kSample64 : vst3::kSample32, frames, 48000.0};
    processor->setupProcessing(setup);
    component->setActive(1);
    processor->setProcessing(1);

    Buffers<Sample> in(frames), out(frames);
    vst3::AudioBusBuffers inBus{}, outBus{};
    inBus.numChannels = 3;
    outBus.numChannels = 6;
    if constexpr (sizeof(Sample) == sizeof(double))
        inBus.channelBuffers64 = in.ptrs, outBus.channelBuffers64 = out.ptrs;
    else
        inBus.channelBuffers32 = in.ptrs, outBus.channelBuffers32 = out.ptrs;
    vst3test::ParamChanges changes, meters;
    changes.add(5, 0, 0.3); // a surround delay of 16.5 ms, as in the VST 2.4 runs
    vst3::ProcessData data{};
    data.symbolicSampleSize = setup.symbolicSampleSize;
    data.numSamples = frames;
    data.numInputs = data.numOutputs = 1;
    data.inputs = &inBus;
    data.outputs = &outBus;
    data.inputParameterChanges = &changes;
    data.outputParameterChanges = &meters;
    processor->process(data);
    changes.clear();
    for (auto _ : state)
    {
        meters.clear();
        processor->process(data);
        benchmark::DoNotOptimize(out.data[0][0]);
    }
    report(state, frames);
    processor->setProcessing(0);
    component->setActive(0);
    processor->release();
    component->terminate();
    component->release();
    factory->release();
    if (auto leave = reinterpret_cast<bool (*)()>(dlsym(library, "ModuleExit")))
        leave();
    dlclose(library);
}
void Vst3Process(benchmark::State& state)
{
    vst3Process<float>(state);
}
void Vst3ProcessDouble(benchmark::State& state)
{
    vst3Process<double>(state);
}
BENCHMARK(Vst3Process)->ArgName("frames")->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(Vst3ProcessDouble)->ArgName("frames")->Arg(64)->Arg(512)->Arg(4096);
#endif

/// What processReplacing does, around the per-sample reference variant.
void referenceReplacing(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    Kalvo effect(standaloneHostCallback);
    AEffect* e = effect.getAeffect();
    e->setParameter(e, 5, 0.3f);
    KalvoAlgo& algo = effect.getAlgo();
    Buffers<float> in(frames), out(frames);
    std::vector<std::vector<double>> din(3, std::vector<double>(frames)),
        dout(6, std::vector<double>(frames));
    const double* inPtr[3] = {din[0].data(), din[1].data(), din[2].data()};
    double* outPtr[6];
    for (int c = 0; c < 6; ++c)
        outPtr[c] = dout[c].data();
    for (auto _ : state)
    {
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < frames; ++i)
                din[c][i] = in.data[c][i];
        algo.processSamplesReference(inPtr, outPtr, frames);
        for (int c = 0; c < 6; ++c)
            for (int i = 0; i < frames; ++i)
                out.data[c][i] = static_cast<float>(dout[c][i]);
        benchmark::DoNotOptimize(out.data[0][0]);
    }
    report(state, frames);
}

void ProcessReplacing(benchmark::State& state)
{
    linkedEffect<float>(state);
}

void ProcessDoubleReplacing(benchmark::State& state)
{
    linkedEffect<double>(state);
}

void PluginProcessReplacing(benchmark::State& state)
{
    loadedPlugin<float>(state);
}

void PluginProcessDoubleReplacing(benchmark::State& state)
{
    loadedPlugin<double>(state);
}

void ProcessReplacingReference(benchmark::State& state)
{
    referenceReplacing(state);
}

} // namespace

BENCHMARK(ProcessReplacing)
    ->ArgNames({"frames", "meters", "isa"})
    ->ArgsProduct({{64, 512, 4096}, {1, 0}, {0, 1, 2}});
BENCHMARK(ProcessDoubleReplacing)
    ->ArgNames({"frames", "meters", "isa"})
    ->ArgsProduct({{64, 512, 4096}, {1, 0}, {0, 1, 2}});
BENCHMARK(PluginProcessReplacing)->ArgName("frames")->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(PluginProcessDoubleReplacing)->ArgName("frames")->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(ProcessReplacingReference)->ArgName("frames")->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK_MAIN();
