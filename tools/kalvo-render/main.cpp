// kalvo-render: decodes surround M/S recordings with the plug-in's own
// effect, driven exactly as a host drives it, into 5.1, stereo, first-order
// Ambisonics or binaural files. See --help.

#include "Batch.h"
#include "DemoScene.h"
#include "KalvoVersion.h"
#include "Render.h"
#include "tools/kalvo-render/cli/Progress.h"
#include "tools/kalvo-render/cli/RenderOptions.h"
#include "tools/kalvo-render/files/OutputFolders.h"
#include "tools/kalvo-render/files/SoundInput.h"
#include "tools/kalvo-render/files/SoundOutput.h"
#include "tools/kalvo-render/host/EditorPicture.h"
#include "tools/kalvo-render/host/EffectHost.h"
#include "tools/kalvo-render/host/LinkedEffect.h"
#include "tools/kalvo-render/layouts/OutputLayout.h"

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace
{

volatile std::sig_atomic_t gStop = 0;

extern "C" void onStopSignal(int)
{
    gStop = 1;
}

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;
constexpr int kDemoSampleRate = 48000;

int fail(const std::string& message, int code = kExitFailure)
{
    std::fprintf(stderr, "kalvo-render: %s\n", message.c_str());
    return code;
}

// The outputs must not overwrite an input (the same file under any name).
bool outputsAvoidInputs(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                        std::string& error)
{
    for (const std::string& out : outputs)
    {
        struct stat so;
        if (::stat(out.c_str(), &so) != 0)
            continue;
        for (const std::string& in : inputs)
        {
            struct stat si;
            if (::stat(in.c_str(), &si) == 0 && si.st_dev == so.st_dev && si.st_ino == so.st_ino)
            {
                error = "output '" + out + "' is the input '" + in + "'; choose another output name";
                return false;
            }
        }
    }
    return true;
}

const char* formatName(render::SampleFormat f)
{
    switch (f)
    {
    case render::SampleFormat::Pcm16:
        return "16-bit";
    case render::SampleFormat::Pcm24:
        return "24-bit";
    case render::SampleFormat::Float32:
        return "32-bit float";
    case render::SampleFormat::Float64:
        return "64-bit float";
    }
    return "";
}

// What the demo's table shows, by layout.
const char* demoTableIntro(render::OutputLayout layout)
{
    switch (layout)
    {
    case render::OutputLayout::AmbiX:
    case render::OutputLayout::FuMa:
        return "encoded to first-order Ambisonics. Direction each source decodes to (from its\n"
               "intensity, degrees clockwise from the front) and its level in W, in dB relative\n"
               "to the source at the microphones:\n\n";
    case render::OutputLayout::Binaural:
        return "decoded to 5.1 with the current settings and heard through the virtual speakers.\n"
               "Level of each source at each ear, in dB relative to the source at the\n"
               "microphones (* marks the louder ear):\n\n";
    default:
        return "decoded with the current settings. Level of each source in each speaker, in dB\n"
               "relative to the source at the microphones (* marks the loudest speaker):\n\n";
    }
}

} // namespace

int main(int argc, char** argv)
{
    render::RenderOptions options;
    std::string error;
    if (!render::parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error))
        return fail(error, kExitUsage);
    if (options.help)
    {
        std::fputs(render::helpText().c_str(), stdout);
        return 0;
    }
    if (options.version)
    {
        std::printf("kalvo-render %s\n", KALVO_VERSION_STRING);
        return 0;
    }
    render::OutputFolders folders;
    if (!options.snapshot.empty() && !render::editorPictureAvailable())
        return fail("--snapshot needs the plug-in's editor, which this build does not include");
    if (options.inputs.empty() && !options.demo)
    {
        // Only the picture of the editor with these settings.
        render::EffectHost host(&render::linkedEffectEntry, kDemoSampleRate, options.render.blockSize);
        if (!host.ok())
            return fail(host.error());
        render::applySettings(host, options.render);
        if (!folders.makeFor(options.snapshot, error) ||
            !render::writeEditorPicture(host.effect(), options.snapshot, error))
            return fail(error);
        folders.keep();
        return 0;
    }

    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    std::signal(SIGHUP, onStopSignal);

    const render::OutputLayout layout = options.render.layout;
    const render::LayoutInfo& layoutInfo = render::layoutInfo(layout);
    if (!layoutInfo.usesEffect &&
        (options.render.preset > 0 || !options.render.settings.empty() || options.render.singlePrecision))
        std::fprintf(stderr,
                     "kalvo-render: warning: presets, settings and --precision belong to the 5.1 decode; "
                     "Ambisonics come straight from the capsules\n");
    if (!options.outDir.empty())
    {
        std::vector<render::BatchItem> items;
        std::vector<std::string> earlier;
        const bool planned = render::planBatch(options, items, error, &earlier);
        if (!earlier.empty() && !options.quiet)
            std::fprintf(stderr,
                         "kalvo-render: %zu file%s an earlier decode wrote %s not decoded again: '%s'%s\n",
                         earlier.size(), earlier.size() == 1 ? "" : "s", earlier.size() == 1 ? "is" : "are",
                         earlier[0].c_str(), earlier.size() > 1 ? " ..." : "");
        if (!planned)
            return fail(error);
        if (!options.snapshot.empty())
        {
            std::vector<std::string> inputs;
            inputs.reserve(items.size());
            for (const render::BatchItem& item : items)
                inputs.push_back(item.input);
            render::EffectHost host(&render::linkedEffectEntry, kDemoSampleRate, options.render.blockSize);
            if (!host.ok())
                return fail(host.error());
            render::applySettings(host, options.render);
            if (!outputsAvoidInputs(inputs, {options.snapshot}, error) ||
                !folders.makeFor(options.snapshot, error) ||
                !render::writeEditorPicture(host.effect(), options.snapshot, error))
                return fail(error);
            folders.keep();
        }
        return render::runBatch(options, items, &gStop);
    }

    auto openSource = [&options](std::string& why) -> std::unique_ptr<render::FrameSource>
    {
        if (options.demo)
            return render::memorySource(render::synthesiseDemo(kDemoSampleRate), kDemoSampleRate);
        return render::openSoundInput(options.inputs, options.order, options.tracks, why);
    };
    std::unique_ptr<render::FrameSource> source = openSource(error);
    if (!source)
        return fail(error);
    if (!source->warning().empty())
        std::fprintf(stderr, "kalvo-render: warning: %s\n", source->warning().c_str());

    render::HeadResponses headResponses;
    if (layout == render::OutputLayout::Binaural)
    {
        const std::string sofa = options.hrtf.empty() ? render::kDefaultHrtfPath : options.hrtf;
        if (!render::loadHeadResponses(sofa, source->sampleRate(), headResponses, error))
            return fail(error);
        options.render.headResponses = &headResponses;
    }

    render::OutputSpec spec = options.outputSpec;
    spec.sampleRate = source->sampleRate();
    spec.frames = source->frames();
    spec.hasBroadcastInfo = source->broadcastInfo(spec.broadcastInfo);
    spec.historyText = render::decodeHistoryText(options);
    spec.ixml = source->ixml();
    std::vector<std::string> outputs = render::outputPaths(spec);
    if (options.skipExisting)
    {
        bool allThere = true;
        for (const std::string& path : outputs)
            allThere = allThere && ::access(path.c_str(), F_OK) == 0;
        if (allThere)
        {
            if (!options.quiet)
                std::fprintf(stderr, "kalvo-render: '%s' exists; left as it is (--skip-existing)\n",
                             outputs[0].c_str());
            return 0;
        }
    }
    if (!options.snapshot.empty())
        outputs.push_back(options.snapshot);
    if (!outputsAvoidInputs(options.inputs, outputs, error))
        return fail(error);
    for (const std::string& path : outputs)
        if (!folders.makeFor(path, error))
            return fail(error);

    options.render.prepare = &render::switchOffMetering;
    const bool showProgress = !options.quiet && render::Progress::stderrIsTerminal();
    if (options.normalize)
    {
        // The first pass decodes into nothing and finds the peak; the second
        // decodes again, through a fresh effect, with the gain that brings it
        // to the level asked for. Nothing of the output is held in memory.
        render::EffectHost measuring(&render::linkedEffectEntry, source->sampleRate(),
                                     options.render.blockSize);
        if (!measuring.ok())
            return fail(measuring.error());
        render::applySettings(measuring, options.render);
        render::SoundOutput nowhere;
        nowhere.openForMeasuring(spec);
        render::Progress firstPass(showProgress, source->frames(), source->sampleRate());
        render::RenderResult measured;
        if (!render::render(*source, measuring, options.render, nowhere, firstPass, &gStop,
                            render::BlockObserver(), measured, error))
            return fail(error, gStop ? kExitInterrupted : kExitFailure);
        spec.gain = render::normalizingGain(measured.peak, options.normalizeDbfs);
        if (!(measured.peak > 0.0))
            std::fprintf(stderr,
                         "kalvo-render: warning: the output is silent; there is no peak to normalise\n");
        source = openSource(error);
        if (!source)
            return fail(error);
    }

    render::EffectHost host(&render::linkedEffectEntry, source->sampleRate(), options.render.blockSize);
    if (!host.ok())
        return fail(host.error());
    render::applySettings(host, options.render);
    if (!options.snapshot.empty() && !render::writeEditorPicture(host.effect(), options.snapshot, error))
        return fail(error);

    render::SoundOutput output;
    if (!output.open(spec, error))
        return fail(error);
    render::Progress progress(showProgress, source->frames(), source->sampleRate());
    render::DemoMeter meter(source->sampleRate(), layout);
    render::BlockObserver observer;
    if (options.demo)
        observer = [&meter](const double* const* out, int channels, int frames, int64_t first)
        { meter.add(out, channels, frames, first); };
    render::RenderResult result;
    if (!render::render(*source, host, options.render, output, progress, &gStop, observer, result, error))
        return fail(error, gStop ? kExitInterrupted : kExitFailure);
    folders.keep();

    const std::string shortfall = source->shortfallWarning();
    if (!shortfall.empty())
        std::fprintf(stderr, "kalvo-render: warning: %s\n", shortfall.c_str());
    if (result.nonFiniteInputs > 0)
        std::fprintf(stderr,
                     "kalvo-render: warning: %lld input samples were not finite numbers and became silence\n",
                     static_cast<long long>(result.nonFiniteInputs));
    const std::string level = render::levelWarning(options, result.clippedSamples, result.peak);
    if (!level.empty())
        std::fprintf(stderr, "kalvo-render: warning: %s\n", level.c_str());
    if (!options.quiet)
    {
        const std::vector<std::string> written = render::outputPaths(spec);
        std::string names = written[0];
        if (written.size() > 1)
            names = written[0] + " ... " + written.back();
        const std::string holds =
            spec.monoFiles ? std::to_string(written.size()) + " mono files, " + layoutInfo.contents
                           : std::to_string(spec.channelNames.size()) + " channels, " + layoutInfo.contents;
        std::fprintf(stderr, "kalvo-render: wrote %s (%s; %d Hz, %s%s, %s, peak %s) in %.2f s\n",
                     names.c_str(), holds.c_str(), spec.sampleRate, formatName(spec.format),
                     output.isRf64() ? ", RF64" : "",
                     render::durationText(result.frames, spec.sampleRate).c_str(),
                     render::peakText(result.peak).c_str(), result.seconds);
    }
    if (options.demo)
    {
        std::printf("Demo scene: %zu noise bursts from known directions (degrees clockwise from the front),\n"
                    "picked up by ideal front and rear cardioids and a sideways figure of eight, then\n%s",
                    render::demoSources().size(), demoTableIntro(layout));
        std::fputs(meter.table().c_str(), stdout);
    }
    return 0;
}
