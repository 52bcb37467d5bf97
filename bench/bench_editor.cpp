// The editor's cost on the host's GUI thread, on the headless backend: one idle call with the
// panel open while audio moves the meters and the polar curves change (meters polled and
// redrawn, curves recomputed, dirty views painted), the same call with nothing to do, and one
// repaint of the whole panel.
#include "editor/KalvoEditor.h"
#include "effect/Kalvo.h"
#include "gui/platform/headless/HeadlessWindow.h"
#include "vst2/StandaloneHost.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

namespace
{

constexpr int kChannels = 6;
constexpr int kFrames = 512;

// An effect with its editor open in a headless host window, and audio to feed it.
struct OpenPanel
{
    explicit OpenPanel(double zoom = 1.0)
        : effect(createEffectInstance(standaloneHostCallback)), data(kChannels, std::vector<float>(kFrames))
    {
        aeffect = effect->getAeffect();
        if (auto* editor = dynamic_cast<AEffGUIEditor*>(effect->getEditor()))
            editor->setUserScale(zoom);
        aeffect->dispatcher(aeffect, effEditOpen, 0, 0, window.handle(), 0.0f);
        std::mt19937 rng(1);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        for (int c = 0; c < kChannels; ++c)
        {
            for (float& v : data[c])
                v = u(rng);
        }
        idle();
    }
    ~OpenPanel() { aeffect->dispatcher(aeffect, effEditClose, 0, 0, nullptr, 0.0f); }

    void idle() { aeffect->dispatcher(aeffect, effEditIdle, 0, 0, nullptr, 0.0f); }
    // One block at `gain`: louder and quieter blocks in turn keep the meters moving.
    void process(float gain)
    {
        for (int c = 0; c < kChannels; ++c)
            for (int i = 0; i < kFrames; ++i)
                out[c][i] = data[c][i] * gain;
        float* in[kChannels];
        float* o[kChannels];
        for (int c = 0; c < kChannels; ++c)
        {
            in[c] = out[c];
            o[c] = out[c];
        }
        aeffect->processReplacing(aeffect, in, o, kFrames);
    }

    kalvo::headless::HostWindow window;
    std::unique_ptr<AudioEffect> effect;
    AEffect* aeffect = nullptr;
    std::vector<std::vector<float>> data;
    float out[kChannels][kFrames] = {};
};

// Idle calls per second while the meters move and a pattern changes between calls, so every
// idle recomputes and redraws the curves and the meters. The audio and the parameter change
// happen outside the timed region.
void BM_EditorIdleMoving(benchmark::State& state)
{
    OpenPanel panel;
    long n = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        ++n;
        panel.effect->setParameter(0, (n & 1) ? 0.3f : 0.7f);
        panel.process((n & 2) ? 1.0f : 0.05f);
        kalvo::headless::advanceTicks(30);
        state.ResumeTiming();
        panel.idle();
    }
    state.counters["idle/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EditorIdleMoving)->Unit(benchmark::kMicrosecond);

// Idle calls per second with nothing changed between calls. The idle still draws every meter and
// marks the plot dirty, so this is close to the moving case.
void BM_EditorIdleStill(benchmark::State& state)
{
    OpenPanel panel;
    for (int i = 0; i < 50; ++i)
        panel.idle(); // let the meters decay to rest
    for (auto _ : state)
        panel.idle();
    state.counters["idle/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EditorIdleStill)->Unit(benchmark::kMicrosecond);

// Repaints of the whole panel per second, as after an expose of the window, at 100 % (841 x 453)
// and at 200 % (1682 x 906 window pixels).
void BM_EditorFullRepaint(benchmark::State& state)
{
    const long zoom = state.range(0);
    OpenPanel panel(static_cast<double>(zoom));
    kalvo::headless::Window* window = panel.window.child();
    for (auto _ : state)
        window->paintNow(CRect(0, 0, zoom * KalvoEditor::kWidth, zoom * KalvoEditor::kHeight));
    state.counters["repaints/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EditorFullRepaint)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
