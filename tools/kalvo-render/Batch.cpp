#include "Batch.h"

#include "Render.h"
#include "tools/kalvo-render/cli/DisplayWidth.h"
#include "tools/kalvo-render/cli/Progress.h"
#include "tools/kalvo-render/files/OutputFolders.h"
#include "tools/kalvo-render/files/SoundInput.h"
#include "tools/kalvo-render/files/SoundOutput.h"
#include "tools/kalvo-render/host/EffectHost.h"
#include "tools/kalvo-render/host/LinkedEffect.h"
#include "tools/kalvo-render/layouts/Binaural.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
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

// A value placed into a file name: no folder separators, no control characters.
std::string fileNameSafe(std::string value)
{
    for (char& c : value)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '_';
    return value;
}

// The input's name without folder and extension.
std::string stemOf(const std::string& path)
{
    std::string name = baseName(path);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

// The name of the folder that holds `path` ("DAY04" for "card/DAY04/T001.WAV").
std::string folderName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    char* real = ::realpath(folder.c_str(), nullptr);
    std::string name = real ? baseName(real) : baseName(folder);
    std::free(real);
    return name;
}

// The value of one --name field for a take; false with what it lacks.
bool fieldValue(const std::string& path, const TakeMetadata& take, OutputLayout layout,
                const std::string& field, std::string& value, std::string& lacks)
{
    const std::string noIxml = take.hasIxml ? (take.ixml.parsed ? "its iXML chunk names no "
                                                                : "its iXML chunk is not "
                                                                  "well-formed XML")
                                            : "it has no iXML chunk";
    auto fromIxml = [&](const std::string& v, const char* element)
    {
        value = v;
        lacks = take.hasIxml && take.ixml.parsed ? noIxml + element : noIxml;
        return !value.empty();
    };
    if (field == "name")
        value = stemOf(path);
    else if (field == "layout")
        value = layoutInfo(layout).name;
    else if (field == "folder")
        value = folderName(path);
    else if (field == "scene")
        return fromIxml(take.ixml.scene, "SCENE");
    else if (field == "take")
        return fromIxml(take.ixml.take, "TAKE");
    else if (field == "tape")
        return fromIxml(take.ixml.tape, "TAPE");
    else if (field == "project")
        return fromIxml(take.ixml.project, "PROJECT");
    else if (field == "date")
    {
        value = take.originationDate;
        std::replace(value.begin(), value.end(), ':', '-');
        lacks = take.hasBext ? "its bext chunk has no origination date" : "it has no bext chunk";
        return value.find_first_not_of(' ') != std::string::npos;
    }
    else if (field == "timecode")
    {
        lacks = "it has no bext chunk, which holds the time of day";
        if (!take.hasBext || take.sampleRate <= 0)
            return false;
        value =
            timecodeText(take.timeReference, take.sampleRate, take.ixml.timecodeRate, take.ixml.timecodeFlag);
        return !value.empty();
    }
    else
    {
        lacks = "--name has no such field";
        return false;
    }
    return true;
}

// Whether a take's coding history ends with a decode of ours.
bool writtenByUs(const TakeMetadata& take)
{
    return take.codingHistory.find("T=kalvo-render ") != std::string::npos;
}

// Whether a file is named as our default names decodes of another file of
// the inputs: STEM.LAYOUT.wav, or STEM.LAYOUT.CHANNEL.wav for --mono.
bool namedAsADecode(const std::string& path, const std::set<std::string>& stems)
{
    const std::string name = lower(baseName(path));
    for (const OutputLayout layout : {OutputLayout::Surround51, OutputLayout::Stereo, OutputLayout::AmbiX,
                                      OutputLayout::FuMa, OutputLayout::Binaural})
    {
        const std::string infix = "." + lower(layoutInfo(layout).name);
        for (size_t at = name.find(infix); at != std::string::npos; at = name.find(infix, at + 1))
            if (at > 0 && stems.count(name.substr(0, at)))
            {
                const std::string rest = name.substr(at + infix.size());
                if (rest == ".wav")
                    return true;
                for (const std::string& channel : layoutInfo(layout).channelNames)
                    if (rest == "." + lower(channel) + ".wav")
                        return true;
            }
    }
    return false;
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
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
        Kept, ///< its output existed and --skip-existing left it
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

bool batchOutputName(const std::string& inputPath, const TakeMetadata& take, const std::string& pattern,
                     OutputLayout layout, std::string& name, std::string& error)
{
    std::string out = pattern.empty() ? "{name}.{layout}" : pattern;
    for (size_t open = out.find('{'); open != std::string::npos; open = out.find('{', open))
    {
        const size_t close = out.find('}', open);
        if (close == std::string::npos)
            break;
        const std::string field = out.substr(open + 1, close - open - 1);
        std::string value, lacks;
        if (!fieldValue(inputPath, take, layout, field, value, lacks))
        {
            error = "'" + inputPath + "' has no {" + field + "} for --name: " + lacks;
            return false;
        }
        value = fileNameSafe(value);
        out.replace(open, close - open + 1, value);
        open += value.size();
    }
    if (lower(out).size() < 4 || lower(out).compare(out.size() - 4, 4, ".wav") != 0)
        out += ".wav";
    name = out;
    return true;
}

std::string batchOutputName(const std::string& inputPath, const std::string& pattern, OutputLayout layout)
{
    std::string name, error;
    batchOutputName(inputPath, TakeMetadata(), pattern, layout, name, error);
    return name;
}

bool planBatch(const RenderOptions& options, std::vector<BatchItem>& items, std::string& error,
               std::vector<std::string>* earlierOutputs)
{
    struct Candidate
    {
        std::string path;
        bool fromFolder = false;
        TakeMetadata take;
    };
    std::vector<Candidate> candidates;
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
            std::vector<std::string> files;
            if (!folderRecordings(in, files, error))
                return false;
            if (files.empty())
            {
                error = "the folder '" + in + "' holds no .wav or .flac files";
                return false;
            }
            for (const std::string& f : files)
                candidates.push_back({f, true, TakeMetadata()});
        }
        else
            candidates.push_back({in, false, TakeMetadata()});
    }
    for (Candidate& c : candidates)
        c.take = readTakeMetadata(c.path);

    // A folder's files that an earlier decode wrote are not recordings to
    // decode again: those whose coding history ends with a decode of ours, and
    // those named as a decode of another file of the folder is named.
    const std::string dir = options.outDir.back() == '/' ? options.outDir : options.outDir + "/";
    std::set<std::string> stems;
    for (const Candidate& c : candidates)
        stems.insert(lower(stemOf(c.path)));
    std::vector<std::string> planned(candidates.size());
    for (size_t i = 0; i < candidates.size(); ++i)
    {
        std::string name, ignored;
        if (batchOutputName(candidates[i].path, candidates[i].take, options.namePattern,
                            options.render.layout, name, ignored))
            planned[i] = dir + name;
    }
    std::vector<Candidate> kept;
    for (size_t i = 0; i < candidates.size(); ++i)
    {
        const Candidate& c = candidates[i];
        bool earlier = c.fromFolder && writtenByUs(c.take);
        for (size_t j = 0; c.fromFolder && !earlier && j < candidates.size(); ++j)
            earlier = j != i && !planned[j].empty() && sameFile(planned[j], c.path);
        earlier = earlier || (c.fromFolder && namedAsADecode(c.path, stems));
        if (earlier && earlierOutputs)
            earlierOutputs->push_back(c.path);
        if (!earlier)
            kept.push_back(c);
    }
    if (kept.empty())
    {
        error = "the inputs hold only files that an earlier decode wrote; nothing is left to decode";
        return false;
    }

    std::map<std::string, size_t> writtenBy; // output path -> input
    std::map<std::pair<dev_t, ino_t>, size_t> inputFiles;
    items.clear();
    for (const Candidate& c : kept)
    {
        const std::string& in = c.path;
        BatchItem item;
        item.input = in;
        OutputSpec spec = options.outputSpec;
        std::string name;
        if (!batchOutputName(in, c.take, options.namePattern, options.render.layout, name, error))
            return false;
        spec.path = dir + name;
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
                        out +
                        "'; decode them into different folders or name the outputs with --name, e.g. --name "
                        "\"{folder}_{name}.{layout}\"";
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
    // Outputs there already: kept, replaced, or all of them named before anything starts.
    std::vector<std::string> existing;
    for (BatchItem& item : items)
        for (const std::string& out : item.outputs)
            if (::access(out.c_str(), F_OK) == 0)
            {
                if (options.skipExisting)
                    item.keep = true;
                else if (!options.overwrite)
                    existing.push_back(out);
            }
    if (!existing.empty())
    {
        error = std::to_string(existing.size()) +
                (existing.size() == 1 ? " output exists" : " outputs exist") +
                " already; --overwrite replaces them, --skip-existing keeps them and decodes the rest:";
        for (const std::string& e : existing)
            error += "\n  " + e;
        return false;
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
        frames.push_back(item.keep ? 0 : recordingFrames(item.input) * (options.normalize ? 2 : 1));
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
            if (items[i].keep)
                outcomes[i].state = Outcome::Kept;
            else
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
    int decoded = 0, failed = 0, kept = 0;
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
        kept += o.state == Outcome::Kept;
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
            else if (o.state == Outcome::Kept)
                result = "kept: " + baseName(items[i].outputs[0]) + " exists";
            else if (o.state == Outcome::Failed)
                result = interrupted && o.message == "interrupted" ? "interrupted" : "FAILED (see above)";
            else
                result = "not started";
            const bool decoded = o.state == Outcome::Decoded;
            rows.push_back({items[i].input, o.sampleRate > 0 ? durationText(o.frames, o.sampleRate) : "-",
                            decoded ? peakText(o.peak) : "-", result});
        }
        // Columns as a terminal shows them: a folder named "Öhringen" or "録音"
        // takes 8 or 4 columns, whatever its bytes.
        int width[3] = {0, 0, 0};
        for (const auto& r : rows)
            for (size_t c = 0; c < 3; ++c)
                width[c] = std::max(width[c], displayWidth(r[c]));
        for (const auto& r : rows)
            std::fprintf(out, "%s  %s  %s  %s\n", padRight(r[0], width[0]).c_str(),
                         padLeft(r[1], width[1]).c_str(), padLeft(r[2], width[2]).c_str(), r[3].c_str());
        std::string failures;
        if (failed > 0)
            failures = std::to_string(failed) + " failed";
        if (kept > 0)
            failures += (failures.empty() ? "" : ", ") + std::to_string(kept) + " kept as " +
                        (kept == 1 ? "it was" : "they were");
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
