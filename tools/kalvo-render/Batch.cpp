#include "Batch.h"

#include "Render.h"
#include "tools/kalvo-render/cli/Progress.h"
#include "tools/kalvo-render/files/OutputFolders.h"
#include "tools/kalvo-render/files/SoundInput.h"
#include "tools/kalvo-render/files/SoundOutput.h"
#include "tools/kalvo-render/host/EffectHost.h"
#include "tools/kalvo-render/host/LinkedEffect.h"
#include "tools/kalvo-render/layouts/Binaural.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <thread>

namespace render
{
namespace
{

constexpr int kExitFailure = 1;
constexpr int kExitInterrupted = 130;

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool hasSoundExtension(const std::string& name)
{
    const std::string l = lower(name);
    auto endsWith = [&](const char* ext)
    {
        const size_t n = std::strlen(ext);
        return l.size() > n && l.compare(l.size() - n, n, ext) == 0;
    };
    return endsWith(".wav") || endsWith(".flac");
}

std::string baseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void replaceAll(std::string& s, const std::string& from, const std::string& to)
{
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

// The .wav and .flac files of a folder, in name order.
bool folderRecordings(const std::string& folder, std::vector<std::string>& files, std::string& error)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
    {
        error = "cannot read the folder '" + folder + "': " + std::strerror(errno);
        return false;
    }
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir))
        if (e->d_name[0] != '.' && hasSoundExtension(e->d_name))
            names.push_back(e->d_name);
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    const std::string prefix = folder.back() == '/' ? folder : folder + "/";
    for (const std::string& n : names)
    {
        struct stat st;
        if (::stat((prefix + n).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            files.push_back(prefix + n);
    }
    return true;
}

// The length a recording's header promises, for the progress of the batch;
// 0 when it cannot be read (the decode then says why).
int64_t recordingFrames(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f)
        return 0;
    sf_close(f);
    return std::max<int64_t>(info.frames, declaredWaveFrames(path));
}

struct Outcome
{
    enum State
    {
        NotStarted,
        Decoded,
        Failed
    } state = NotStarted;
    int64_t frames = 0;
    int sampleRate = 0;
    double peak = 0.0;   ///< of the output written
    std::string message; ///< the error of a failed file
    std::vector<std::string> warnings;
};

// A file's progress through one of its passes: a normalised file is decoded
// twice and counts twice its length, the second pass after the first.
class PassProgress : public ProgressReport
{
public:
    PassProgress(ProgressReport& file, int64_t offset) : file_(file), offset_(offset) {}
    void update(int64_t framesDone) override { file_.update(offset_ + framesDone); }
    void finish() override {} // the file is done when its last pass is

private:
    ProgressReport& file_;
    int64_t offset_;
};

// One recording of the batch, decoded as a single run decodes it.
void decodeItem(const RenderOptions& options, const BatchItem& item, ProgressReport& progress,
                const volatile std::sig_atomic_t* stop, Outcome& outcome)
{
    std::string error;
    auto fail = [&](const std::string& message)
    {
        outcome.state = Outcome::Failed;
        outcome.message = message;
        progress.finish();
    };
    std::unique_ptr<FrameSource> source = openSoundInput({item.input}, options.order, options.tracks, error);
    if (!source)
        return fail(error);
    outcome.frames = source->frames();
    outcome.sampleRate = source->sampleRate();
    if (!source->warning().empty())
        outcome.warnings.push_back(source->warning());

    RenderSettings settings = options.render;
    HeadResponses headResponses;
    if (settings.layout == OutputLayout::Binaural)
    {
        const std::string sofa = options.hrtf.empty() ? kDefaultHrtfPath : options.hrtf;
        if (!loadHeadResponses(sofa, source->sampleRate(), headResponses, error))
            return fail(error);
        settings.headResponses = &headResponses;
    }
    OutputSpec spec = options.outputSpec;
    spec.path = item.output;
    spec.sampleRate = source->sampleRate();
    spec.frames = source->frames();
    spec.hasBroadcastInfo = source->broadcastInfo(spec.broadcastInfo);
    spec.historyText = decodeHistoryText(options);
    spec.ixml = source->ixml();

    settings.prepare = &switchOffMetering;
    if (options.normalize)
    {
        // Two passes, as a single run makes them: the peak first, then the
        // decode with the gain that brings it to the level asked for.
        EffectHost measuring(&linkedEffectEntry, source->sampleRate(), settings.blockSize);
        if (!measuring.ok())
            return fail(measuring.error());
        applySettings(measuring, settings);
        SoundOutput nowhere;
        nowhere.openForMeasuring(spec);
        PassProgress firstPass(progress, 0);
        RenderResult measured;
        if (!render(*source, measuring, settings, nowhere, firstPass, stop, BlockObserver(), measured, error))
            return fail(error);
        spec.gain = normalizingGain(measured.peak, options.normalizeDbfs);
        if (!(measured.peak > 0.0))
            outcome.warnings.push_back("the output is silent; there is no peak to normalise");
        source = openSoundInput({item.input}, options.order, options.tracks, error);
        if (!source)
            return fail(error);
    }
    PassProgress secondPass(progress, options.normalize ? source->frames() : 0);
    EffectHost host(&linkedEffectEntry, source->sampleRate(), settings.blockSize);
    if (!host.ok())
        return fail(host.error());
    applySettings(host, settings);
    SoundOutput output;
    if (!output.open(spec, error))
        return fail(error);
    RenderResult result;
    if (!render(*source, host, settings, output, secondPass, stop, BlockObserver(), result, error))
        return fail(error);
    outcome.state = Outcome::Decoded;
    outcome.frames = result.frames;
    outcome.peak = result.peak;
    const std::string shortfall = source->shortfallWarning();
    if (!shortfall.empty())
        outcome.warnings.push_back(shortfall);
    if (result.nonFiniteInputs > 0)
        outcome.warnings.push_back(std::to_string(result.nonFiniteInputs) +
                                   " input samples were not finite numbers and became silence");
    const std::string level = levelWarning(options, result.clippedSamples, result.peak);
    if (!level.empty())
        outcome.warnings.push_back(level);
}

std::string elapsedText(double seconds)
{
    char text[32];
    const long s = static_cast<long>(seconds);
    if (s >= 60)
        std::snprintf(text, sizeof text, "%ld:%04.1f", s / 60, seconds - 60.0 * static_cast<double>(s / 60));
    else
        std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

} // namespace

std::string batchOutputName(const std::string& inputPath, const std::string& pattern, OutputLayout layout)
{
    std::string name = baseName(inputPath);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    std::string out = pattern.empty() ? "{name}.{layout}" : pattern;
    replaceAll(out, "{name}", name);
    replaceAll(out, "{layout}", layoutInfo(layout).name);
    if (lower(out).size() < 4 || lower(out).compare(out.size() - 4, 4, ".wav") != 0)
        out += ".wav";
    return out;
}

bool planBatch(const RenderOptions& options, std::vector<BatchItem>& items, std::string& error)
{
    std::vector<std::string> inputs;
    for (const std::string& in : options.inputs)
    {
        struct stat st;
        if (::stat(in.c_str(), &st) != 0)
        {
            error = "cannot open '" + in + "': " + std::strerror(errno);
            return false;
        }
        if (S_ISDIR(st.st_mode))
        {
            const size_t before = inputs.size();
            if (!folderRecordings(in, inputs, error))
                return false;
            if (inputs.size() == before)
            {
                error = "the folder '" + in + "' holds no .wav or .flac files";
                return false;
            }
        }
        else
            inputs.push_back(in);
    }

    const std::string dir = options.outDir.back() == '/' ? options.outDir : options.outDir + "/";
    std::map<std::string, size_t> writtenBy; // output path -> input
    std::map<std::pair<dev_t, ino_t>, size_t> inputFiles;
    items.clear();
    for (const std::string& in : inputs)
    {
        BatchItem item;
        item.input = in;
        OutputSpec spec = options.outputSpec;
        spec.path = dir + batchOutputName(in, options.namePattern, options.render.layout);
        item.output = spec.path;
        item.outputs = outputPaths(spec);
        struct stat st;
        if (::stat(in.c_str(), &st) == 0)
        {
            const auto known = inputFiles.find({st.st_dev, st.st_ino});
            if (known != inputFiles.end())
            {
                error = "'" + in + "' and '" + items[known->second].input +
                        "' are the same recording; give it once";
                return false;
            }
            inputFiles[{st.st_dev, st.st_ino}] = items.size();
        }
        for (const std::string& out : item.outputs)
        {
            const auto taken = writtenBy.find(out);
            if (taken != writtenBy.end())
            {
                error = "'" + items[taken->second].input + "' and '" + in + "' would both be written to '" +
                        out + "'; decode them into different folders or name the outputs with --name";
                return false;
            }
            writtenBy[out] = items.size();
        }
        items.push_back(item);
    }
    // No output may replace a recording of the batch.
    for (const auto& w : writtenBy)
    {
        struct stat st;
        if (::stat(w.first.c_str(), &st) == 0 && inputFiles.count({st.st_dev, st.st_ino}))
        {
            error = "output '" + w.first + "' is the input '" +
                    items[inputFiles[{st.st_dev, st.st_ino}]].input + "'; choose another --out-dir or --name";
            return false;
        }
    }
    return true;
}

int runBatch(const RenderOptions& options, const std::vector<BatchItem>& items,
             const volatile std::sig_atomic_t* stop, std::FILE* out)
{
    const auto start = std::chrono::steady_clock::now();
    OutputFolders folders;
    std::string error;
    if (!folders.makeFor(items[0].outputs[0], error))
    {
        std::fprintf(stderr, "kalvo-render: %s\n", error.c_str());
        return kExitFailure;
    }

    std::vector<int64_t> frames;
    int64_t total = 0;
    for (const BatchItem& item : items)
    {
        frames.push_back(recordingFrames(item.input) * (options.normalize ? 2 : 1));
        total += frames.back();
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int jobs = std::min<int>(static_cast<int>(items.size()),
                                   options.jobs > 0 ? options.jobs : static_cast<int>(cores));
    BatchProgress progress(!options.quiet && Progress::stderrIsTerminal(), static_cast<int>(items.size()),
                           total);
    std::vector<Outcome> outcomes(items.size());
    std::atomic<size_t> next{0};
    auto work = [&]
    {
        for (size_t i; (i = next++) < items.size();)
        {
            if (stop && *stop)
                break;
            BatchProgress::File fileProgress(progress, frames[i]);
            decodeItem(options, items[i], fileProgress, stop, outcomes[i]);
            fileProgress.finish();
        }
    };
    std::vector<std::thread> workers;
    for (int j = 1; j < jobs; ++j)
        workers.emplace_back(work);
    work();
    for (std::thread& w : workers)
        w.join();
    progress.finish();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const bool interrupted = stop && *stop;
    int decoded = 0, failed = 0;
    double decodedSeconds = 0.0; // of sound
    for (size_t i = 0; i < items.size(); ++i)
    {
        const Outcome& o = outcomes[i];
        if (o.state == Outcome::Failed && !(interrupted && o.message == "interrupted"))
        {
            ++failed;
            std::fprintf(stderr, "kalvo-render: %s\n", o.message.c_str());
        }
        for (const std::string& w : o.warnings)
            if (w.find("'" + items[i].input + "'") != std::string::npos)
                std::fprintf(stderr, "kalvo-render: warning: %s\n", w.c_str());
            else
                std::fprintf(stderr, "kalvo-render: warning: '%s': %s\n", items[i].input.c_str(), w.c_str());
        if (o.state == Outcome::Decoded)
        {
            ++decoded;
            decodedSeconds += o.sampleRate > 0 ? static_cast<double>(o.frames) / o.sampleRate : 0.0;
        }
    }
    if (decoded > 0)
        folders.keep();
    if (interrupted)
        std::fprintf(stderr, "kalvo-render: interrupted\n");

    if (!options.quiet)
    {
        // file | length | peak | result, the columns as wide as their longest entry.
        std::vector<std::array<std::string, 4>> rows;
        rows.push_back({"file", "length", "peak", "result"});
        for (size_t i = 0; i < items.size(); ++i)
        {
            const Outcome& o = outcomes[i];
            std::string result;
            if (o.state == Outcome::Decoded)
                result = baseName(items[i].outputs[0]) +
                         (items[i].outputs.size() > 1 ? " ... " + baseName(items[i].outputs.back()) : "") +
                         (o.warnings.empty() ? "" : " (with a warning)");
            else if (o.state == Outcome::Failed)
                result = interrupted && o.message == "interrupted" ? "interrupted" : "FAILED (see above)";
            else
                result = "not started";
            const bool decoded = o.state == Outcome::Decoded;
            rows.push_back({items[i].input, o.sampleRate > 0 ? durationText(o.frames, o.sampleRate) : "-",
                            decoded ? peakText(o.peak) : "-", result});
        }
        size_t width[3] = {0, 0, 0};
        for (const auto& r : rows)
            for (size_t c = 0; c < 3; ++c)
                width[c] = std::max(width[c], r[c].size());
        for (const auto& r : rows)
            std::fprintf(out, "%-*s  %*s  %*s  %s\n", static_cast<int>(width[0]), r[0].c_str(),
                         static_cast<int>(width[1]), r[1].c_str(), static_cast<int>(width[2]), r[2].c_str(),
                         r[3].c_str());
        std::string failures;
        if (failed > 0)
            failures = std::to_string(failed) + " failed";
        if (interrupted)
            failures += failures.empty() ? "interrupted" : ", interrupted";
        if (!failures.empty())
            failures = " (" + failures + ")";
        std::fprintf(out, "%d of %zu files decoded into %s%s: %s of sound in %s\n", decoded, items.size(),
                     options.outDir.c_str(), failures.c_str(),
                     durationText(std::llround(decodedSeconds * 1000.0), 1000).c_str(),
                     elapsedText(seconds).c_str());
        std::fflush(out);
    }
    if (interrupted)
        return kExitInterrupted;
    return failed > 0 ? kExitFailure : 0;
}

} // namespace render
