// Start-up of kalvo-render: what a one-second recording costs from the
// command to the finished file, against SoX's remix of the same file into six
// channels, in the same run; and the in-process part alone (opening the
// input, bringing the effect up, the three-thread pipeline, committing the
// output), the part the program's own code decides.
#include "tools/kalvo-render/Render.h"
#include "tools/kalvo-render/files/SoundInput.h"
#include "tools/kalvo-render/files/SoundOutput.h"
#include "tools/kalvo-render/host/EffectHost.h"
#include "tools/kalvo-render/host/LinkedEffect.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

constexpr int kRate = 48000;

// A one-second 3-channel 24-bit recording in a scratch folder, made once.
const std::string& oneSecondTake()
{
    static const std::string path = []
    {
        char folder[] = "/tmp/kalvo-bench-XXXXXX";
        const std::string dir = ::mkdtemp(folder) ? folder : "/tmp";
        std::string file = dir + "/one-second.wav";
        SF_INFO info{};
        info.samplerate = kRate;
        info.channels = 3;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
        std::vector<double> x(static_cast<size_t>(kRate) * 3);
        for (size_t i = 0; i < x.size(); ++i)
            x[i] = 0.3 * std::sin(0.01 * static_cast<double>(i));
        if (SNDFILE* f = sf_open(file.c_str(), SFM_WRITE, &info))
        {
            sf_writef_double(f, x.data(), kRate);
            sf_close(f);
        }
        return file;
    }();
    return path;
}

// Runs a command to its end, its output thrown away; false when it failed.
bool runCommand(const std::vector<std::string>& args)
{
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_KalvoRenderCommandOneSecond(benchmark::State& state)
{
    const std::string out = oneSecondTake() + ".5.1.wav";
    for (auto _ : state)
        if (!runCommand({KALVO_RENDER_PATH, oneSecondTake(), out, "-q"}))
            state.SkipWithError("kalvo-render failed");
}
BENCHMARK(BM_KalvoRenderCommandOneSecond)->Unit(benchmark::kMillisecond)->UseRealTime();

// The yardstick: the same file into six channels by SoX (when installed).
void BM_SoxRemixOneSecond(benchmark::State& state)
{
    const std::string out = oneSecondTake() + ".sox.wav";
    for (auto _ : state)
        if (!runCommand({"sox", oneSecondTake(), out, "remix", "1", "2", "1", "2", "3", "3"}))
        {
            state.SkipWithError("sox is not installed (apt-get install sox to compare)");
            break;
        }
}
BENCHMARK(BM_SoxRemixOneSecond)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeOneSecondInProcess(benchmark::State& state)
{
    const std::string out = oneSecondTake() + ".in-process.wav";
    render::RenderSettings settings;
    settings.prepare = &render::switchOffMetering;
    for (auto _ : state)
    {
        std::string error;
        auto source = render::openSoundInput({oneSecondTake()},
                                             {render::kFrontMid, render::kSide, render::kRearMid}, error);
        render::EffectHost host(&render::linkedEffectEntry, kRate, settings.blockSize);
        render::applySettings(host, settings);
        render::OutputSpec spec;
        spec.path = out;
        spec.sampleRate = kRate;
        spec.frames = source ? source->frames() : 0;
        render::SoundOutput output;
        render::Progress silent(false, spec.frames, kRate);
        render::RenderResult result;
        if (!source || !output.open(spec, error) ||
            !render::render(*source, host, settings, output, silent, nullptr, render::BlockObserver(), result,
                            error))
            state.SkipWithError(error.c_str());
    }
}
BENCHMARK(BM_DecodeOneSecondInProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
