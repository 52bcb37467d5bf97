#include "RenderOptions.h"

#include "KalvoVersion.h"
#include "tools/common/CommandLine.h"
#include "tools/common/RenderParameters.h"
#include "tools/kalvo-render/Render.h"

#include <sys/stat.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace render
{
namespace
{

bool endsWithWav(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".wav";
}

// The file name's extension, when it has one ("take.flac" gives ".flac").
std::string extensionOf(const std::string& name)
{
    const size_t slash = name.rfind('/');
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot + 1 == name.size() ||
        dot == (slash == std::string::npos ? 0 : slash + 1))
        return {};
    return name.substr(dot);
}

bool parseInt(const std::string& text, long lo, long hi, long& out)
{
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

// A number of decibels, "-6", "-6dB", "+3 dB" or "-1 dBFS", within lo..hi.
bool parseDecibels(const std::string& text, double lo, double hi, double& db)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end == text.c_str())
        return false;
    std::string unit(end);
    unit.erase(0, unit.find_first_not_of(' '));
    for (char& c : unit)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!(unit.empty() || unit == "db" || unit == "dbfs") || !(v >= lo && v <= hi))
        return false;
    db = v;
    return true;
}

// A batch's --name: its fields and text, one file name without a folder.
bool validNamePattern(const std::string& pattern, std::string& error)
{
    if (pattern.empty())
        return true;
    if (pattern.find('/') != std::string::npos)
    {
        error = "--name gives a file name without a folder (the folder is --out-dir), not '" + pattern + "'";
        return false;
    }
    for (size_t open = pattern.find('{'); open != std::string::npos; open = pattern.find('{', open + 1))
    {
        const size_t close = pattern.find('}', open);
        const std::string field =
            close == std::string::npos ? pattern.substr(open) : pattern.substr(open, close - open + 1);
        static const char* const kFields[] = {"{name}", "{layout}",  "{folder}", "{scene}",   "{take}",
                                              "{tape}", "{project}", "{date}",   "{timecode}"};
        bool known = false;
        for (const char* f : kFields)
            known = known || field == f;
        if (!known)
        {
            error = "--name knows {name} (the input's name without its extension), {layout}, {folder}, "
                    "{scene}, {take}, {tape}, {project}, {date} and {timecode}, not '" +
                    field + "'";
            return false;
        }
    }
    return true;
}

} // namespace

bool parseOptions(const std::vector<std::string>& args, RenderOptions& options, std::string& error)
{
    CommandLine line;
    for (const char* flag : {"-h,--help", "--version", "-q,--quiet", "--demo", "--mono", "--dither", "--rf64",
                             "--skip-existing", "--overwrite"})
        line.addFlag(flag);
    for (const char* option : {"--preset", "--layout", "--side-gain", "--hrtf", "--yaw", "--pitch", "--roll",
                               "--set", "--order", "--tracks", "--out-dir", "--name", "--jobs", "--bits",
                               "--precision", "--block", "--snapshot", "--gain", "--normalize"})
        line.addOption(option);
    if (!line.parse(args, error))
        return false;
    std::vector<std::string> positional;
    for (const CommandLine::Word& word : line.words())
    {
        const std::string& name = word.option;
        const std::string& value = word.value;
        if (name.empty())
        {
            positional.push_back(value);
            continue;
        }
        if (name == "-h" || name == "--help")
        {
            options.help = true;
        }
        else if (name == "--version")
        {
            options.version = true;
        }
        else if (name == "-q" || name == "--quiet")
        {
            options.quiet = true;
        }
        else if (name == "--demo")
        {
            options.demo = true;
        }
        else if (name == "--mono")
        {
            options.outputSpec.monoFiles = true;
        }
        else if (name == "--dither")
        {
            options.outputSpec.dither = true;
        }
        else if (name == "--rf64")
        {
            options.outputSpec.forceRf64 = true;
        }
        else if (name == "--skip-existing")
        {
            options.skipExisting = true;
        }
        else if (name == "--overwrite")
        {
            options.overwrite = true;
        }
        else if (name == "--gain")
        {
            if (!parseDecibels(value, -120.0, 60.0, options.gainDb))
            {
                error = "--gain must be a number of dB from -120 to 60, not '" + value + "'";
                return false;
            }
            options.gainGiven = true;
        }
        else if (name == "--normalize")
        {
            if (!parseDecibels(value, -120.0, 0.0, options.normalizeDbfs))
            {
                error = "--normalize must be a peak level in dBFS from -120 to 0, not '" + value + "'";
                return false;
            }
            options.normalize = true;
        }
        else if (name == "--preset")
        {
            const std::string& text = value;
            options.render.preset = findPreset(text);
            if (options.render.preset == 0)
            {
                error = "unknown preset '" + text + "' (use 1 to 5 or a name from --help)";
                return false;
            }
        }
        else if (name == "--layout")
        {
            const std::string& text = value;
            if (!parseLayout(text, options.render.layout, error))
                return false;
        }
        else if (name == "--side-gain")
        {
            const std::string& text = value;
            char* end = nullptr;
            const double db = std::strtod(text.c_str(), &end);
            const std::string unit = end ? std::string(end) : std::string();
            if (text.empty() || end == text.c_str() || !(unit.empty() || unit == "dB" || unit == "db") ||
                !(db >= -20.0 && db <= 20.0))
            {
                error = "--side-gain must be a number of dB from -20 to 20, not '" + text + "'";
                return false;
            }
            options.render.sideGainDb = db;
            options.sideGainGiven = true;
        }
        else if (name == "--hrtf")
        {
            options.hrtf = value;
            if (options.hrtf.empty())
            {
                error = "--hrtf needs a SOFA file";
                return false;
            }
        }
        else if (name == "--yaw" || name == "--pitch" || name == "--roll")
        {
            char* end = nullptr;
            const double deg = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(deg >= -180.0 && deg <= 180.0))
            {
                error = name + " must be a number of degrees from -180 to 180, not '" + value + "'";
                return false;
            }
            HeadOrientation& head = options.render.head;
            (name == "--yaw" ? head.yawDeg : name == "--pitch" ? head.pitchDeg : head.rollDeg) = deg;
            options.headGiven = true;
        }
        else if (name == "--set")
        {
            const std::string& text = value;
            int index = 0;
            float normalised = 0.0f;
            if (!parseParameterSetting(text, index, normalised, error))
                return false;
            options.render.settings.emplace_back(index, normalised);
            options.settingTexts.push_back(text);
        }
        else if (name == "--tracks")
        {
            const std::string& text = value;
            if (!parseTrackList(text, options.tracks, error))
                return false;
        }
        else if (name == "--out-dir")
        {
            options.outDir = value;
            if (options.outDir.empty())
            {
                error = "--out-dir needs a folder";
                return false;
            }
        }
        else if (name == "--name")
        {
            options.namePattern = value;
        }
        else if (name == "--jobs")
        {
            const std::string& text = value;
            long v = 0;
            if (!parseInt(text, 1, 256, v))
            {
                error = "--jobs must be a whole number of files at once from 1 to 256, not '" + text + "'";
                return false;
            }
            options.jobs = static_cast<int>(v);
        }
        else if (name == "--order")
        {
            const std::string& text = value;
            if (!parseChannelOrder(text, options.order, error))
                return false;
            options.orderGiven = true;
        }
        else if (name == "--bits")
        {
            const std::string& text = value;
            if (text == "16")
                options.outputSpec.format = SampleFormat::Pcm16;
            else if (text == "24")
                options.outputSpec.format = SampleFormat::Pcm24;
            else if (text == "32" || text == "32f" || text == "float")
                options.outputSpec.format = SampleFormat::Float32;
            else if (text == "64" || text == "64f" || text == "double")
                options.outputSpec.format = SampleFormat::Float64;
            else
            {
                error = "--bits must be 16, 24, 32 (float) or 64 (double), not '" + text + "'";
                return false;
            }
        }
        else if (name == "--precision")
        {
            const std::string& text = value;
            if (text == "single" || text == "32")
                options.render.singlePrecision = true;
            else if (text == "double" || text == "64")
                options.render.singlePrecision = false;
            else
            {
                error = "--precision must be single or double, not '" + text + "'";
                return false;
            }
        }
        else if (name == "--block")
        {
            const std::string& text = value;
            long v = 0;
            if (!parseInt(text, 1, 65536, v))
            {
                error = "--block must be a whole number of frames from 1 to 65536, not '" + text + "'";
                return false;
            }
            options.render.blockSize = static_cast<int>(v);
        }
        else if (name == "--snapshot")
        {
            options.snapshot = value;
            if (options.snapshot.empty())
            {
                error = "--snapshot needs a file name";
                return false;
            }
        }
        else
        {
            error = "unknown option '" + name + "' (see --help)";
            return false;
        }
    }
    if (options.help || options.version)
        return true;
    if (options.gainGiven && options.normalize)
    {
        error = "--gain and --normalize both set the output's level; give one of them";
        return false;
    }
    if (options.skipExisting && options.overwrite)
    {
        error = "--skip-existing keeps outputs that exist and --overwrite replaces them; give one of them";
        return false;
    }
    options.outputSpec.gain = gainOfDecibels(options.gainDb);
    const OutputLayout layout = options.render.layout;
    if (options.sideGainGiven && layout != OutputLayout::AmbiX && layout != OutputLayout::FuMa)
    {
        error = "--side-gain applies to the Ambisonic layouts (ambix, fuma) only";
        return false;
    }
    if (!options.hrtf.empty() && layout != OutputLayout::Binaural)
    {
        error = "--hrtf applies to the binaural layout only";
        return false;
    }
    if (options.headGiven && layout != OutputLayout::Binaural)
    {
        error = "--yaw, --pitch and --roll apply to the binaural layout only";
        return false;
    }

    if (options.orderGiven && !options.tracks.empty())
    {
        error = "--tracks gives the order of the tracks it picks; leave out --order";
        return false;
    }
    const bool batch = !options.outDir.empty();
    if (!batch && (!options.namePattern.empty() || options.jobs > 0))
    {
        error = std::string(options.jobs > 0 ? "--jobs" : "--name") +
                " belongs to a batch: kalvo-render IN... --out-dir DIR";
        return false;
    }
    if (batch)
    {
        if (options.demo)
        {
            error = "--demo writes one file; leave out --out-dir";
            return false;
        }
        if (positional.empty())
        {
            error = "--out-dir needs the files or folders to decode: kalvo-render IN... --out-dir DIR";
            return false;
        }
        if (!validNamePattern(options.namePattern, error))
            return false;
        options.inputs = positional;
        const LayoutInfo& info = layoutInfo(layout);
        options.outputSpec.channelNames = info.channelNames;
        options.outputSpec.channelMask = info.channelMask;
        return true;
    }
    if (options.demo)
    {
        if (positional.size() > 1)
        {
            error = "--demo takes at most one output file";
            return false;
        }
        options.output = positional.empty() ? defaultDemoOutput(layout) : positional[0];
    }
    else
    {
        if (positional.size() == 2 || positional.size() == 4)
        {
            options.inputs.assign(positional.begin(), positional.end() - 1);
            options.output = positional.back();
        }
        else if (positional.empty() && !options.snapshot.empty())
        {
            // Only the editor picture is wanted.
        }
        else if (positional.empty())
        {
            // No recording given: decode the synthesised demonstration scene.
            options.demo = true;
            options.output = defaultDemoOutput(layout);
        }
        else
        {
            error = "expected IN OUT or FRONT SIDE REAR OUT, got " + std::to_string(positional.size()) +
                    " file name" + (positional.size() == 1 ? "" : "s") +
                    " (several recordings go into a folder: kalvo-render IN... --out-dir DIR)";
            return false;
        }
    }
    // The output's name says what it holds: WAV data goes under a .wav name
    // (mono files take their names from it and may leave it out).
    struct stat folder;
    if (!options.output.empty() &&
        (options.output.back() == '/' ||
         (::stat(options.output.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode))))
    {
        error = "'" + options.output + "' is a folder: give the output a file name ending in .wav";
        return false;
    }
    if (!options.output.empty() && !endsWithWav(options.output) &&
        !(options.outputSpec.monoFiles && extensionOf(options.output).empty()))
    {
        const std::string ext = extensionOf(options.output);
        error = "the output is a WAV file: name it '" +
                options.output.substr(0, options.output.size() - ext.size()) + ".wav'" +
                (ext.empty() ? std::string() : ", not '" + options.output + "'");
        return false;
    }
    options.outputSpec.path = options.output;
    const LayoutInfo& info = layoutInfo(layout);
    options.outputSpec.channelNames = info.channelNames;
    options.outputSpec.channelMask = info.channelMask;
    return true;
}

std::string decodeHistoryText(const RenderOptions& options)
{
    std::string text = std::string("kalvo-render ") + KALVO_VERSION_STRING + "; layout " +
                       layoutInfo(options.render.layout).name;
    // Only what shaped the sound: Ambisonics take no preset or settings.
    const bool effect = layoutInfo(options.render.layout).usesEffect;
    if (effect && options.render.preset > 0)
        text += std::string("; preset ") + presetMenuName(options.render.preset);
    if (effect && !options.settingTexts.empty())
    {
        text += "; set";
        for (const std::string& s : options.settingTexts)
            text += " " + s;
    }
    if (!effect)
    {
        char gain[32];
        std::snprintf(gain, sizeof gain, "; side gain %g dB", options.render.sideGainDb);
        text += gain;
    }
    if (!options.tracks.empty())
        text += "; tracks " + options.tracks[0] + " " + options.tracks[1] + " " + options.tracks[2];
    else if (options.orderGiven)
    {
        const char letters[3] = {'F', 'S', 'R'};
        text += std::string("; order ") + letters[options.order[0]] + letters[options.order[1]] +
                letters[options.order[2]];
    }
    if (effect && options.render.singlePrecision)
        text += "; single precision";
    char level[64] = "";
    if (options.gainGiven)
        std::snprintf(level, sizeof level, "; gain %g dB", options.gainDb);
    else if (options.normalize)
        std::snprintf(level, sizeof level, "; peak normalized to %g dBFS", options.normalizeDbfs);
    return text + level;
}

std::string peakText(double peak)
{
    if (!(peak > 0.0))
        return "-inf dBFS";
    char text[32];
    // Shown to a tenth, rounded up: a peak a hair above full scale never reads +0.0.
    const double db = std::ceil(decibels(peak) * 10.0 - 1e-9) / 10.0;
    std::snprintf(text, sizeof text, "%+.1f dBFS", db == 0.0 ? 0.0 : db);
    return text;
}

std::string levelWarning(const RenderOptions& options, int64_t clippedSamples, double peak)
{
    const double peakDb = decibels(peak);
    if (!(peakDb > 0.0))
        return {};
    // A whole number of dB that leaves at least a tenth of a dB below full scale.
    const double suggested = options.gainDb - std::ceil(peakDb + 0.1);
    char gain[32];
    std::snprintf(gain, sizeof gain, "%g", suggested);
    const SampleFormat format = options.outputSpec.format;
    if (format == SampleFormat::Float32 || format == SampleFormat::Float64)
        return "the output peaks at " + peakText(peak) +
               ", above full scale: the float file keeps it, but players and conversions to fixed point "
               "clip it; use --gain " +
               gain + " or --normalize -1 for a file within full scale";
    if (clippedSamples <= 0)
        return {};
    return std::to_string(clippedSamples) + " samples went beyond full scale and were clipped (peak " +
           peakText(peak) + "): use --gain " + gain + " or --bits 32";
}

std::string defaultDemoOutput(OutputLayout layout)
{
    return std::string("kalvo-demo-") + layoutInfo(layout).name + ".wav";
}

std::string helpText()
{
    std::string t;
    t += "kalvo-render: decodes surround M/S recordings (front cardioid, sideways figure\n"
         "of eight, rear cardioid) with the Kalvo plug-in's own processing into 5.1,\n"
         "stereo, first-order Ambisonics or binaural sound for headphones.\n\n"
         "Usage:\n"
         "  kalvo-render IN.wav OUT.wav [options]            one 3-channel recording\n"
         "  kalvo-render FRONT.wav SIDE.wav REAR.wav OUT.wav [options]\n"
         "                                                   three mono recordings\n"
         "  kalvo-render IN... --out-dir DIR [options]       many recordings, or folders\n"
         "                                                   of them, into DIR\n"
         "  kalvo-render --demo [OUT.wav] [options]          a synthesised test scene\n"
         "  kalvo-render [options]                           the same, into\n"
         "                                                   " +
         std::string(kDefaultDemoOutput) +
         "\n\n"
         "Input: any format libsndfile reads, at its own sample rate. The channels (or\n"
         "the three files) are front mid, side, rear mid unless --order says otherwise.\n"
         "A polyphonic file from a field recorder (more than three tracks) needs the\n"
         "option --tracks to say which three to decode; the others are ignored. A\n"
         "recording that ends before its header says is decoded as far as it goes.\n\n"
         "Layouts (--layout):\n"
         "  5.1       L R C LFE Ls Rs, the plug-in's sound (the default)\n"
         "  stereo    L and R of the same decode; the Stereo presets are made for it\n"
         "  ambix     first-order Ambisonics W Y Z X (ACN order, SN3D), for 360-degree\n"
         "            video and any speaker layout through an Ambisonic decoder\n"
         "  fuma      the same field as W X Y Z, W at -3 dB (older tools)\n"
         "  binaural  the 5.1 decode played over virtual speakers at 0, 30 and 110\n"
         "            degrees left and right, heard through head-related impulse\n"
         "            responses: for headphones, left ear first, 6 dB down (five\n"
         "            speakers add up at each ear: a recording near full scale can\n"
         "            still go beyond it there, as its 5.1 decode can; --gain or\n"
         "            --normalize makes room)\n"
         "Ambisonics come straight from the capsules (W = front + rear, X = front - rear,\n"
         "Y = side, Z = 0): presets, settings and the plug-in's side gain and bass shelf\n"
         "belong to its 5.1 decode and do not apply.\n\n"
         "Output: one WAV file whose channel mask says what it holds (5.1 speakers, front\n"
         "left and right for stereo and binaural, none for Ambisonics; RF64 above 4 GiB),\n"
         "or one mono file per channel with --mono. It is written under a temporary name\n"
         "and renamed when complete, so a failed run leaves nothing behind. A link is\n"
         "written through to its file; a write-protected file is not replaced; missing\n"
         "folders are made. The recording's broadcast-wave chunk (time of day,\n"
         "description; its coding history gains a line for this decode) and iXML chunk\n"
         "(scene, take, tape, notes; its track list then names the output's channels)\n"
         "go into every file written.\n\n"
         "Batches (--out-dir): each file given, and each .wav and .flac file of each\n"
         "folder given (in name order), is decoded into DIR as NAME.LAYOUT.wav\n"
         "(take3.wav becomes take3.5.1.wav), several at once. A file that fails is\n"
         "reported and skipped, the others are decoded, the exit status is 1, and a\n"
         "table at the end lists every file. Two inputs that would write the same\n"
         "output are refused before anything starts.\n\n"
         "Options:\n"
         "  --layout NAME       5.1, stereo, ambix, fuma or binaural (above)\n"
         "  --preset NAME|N     start from a factory preset: 1 \"5 Channel\", 2 \"4 Channel\",\n"
         "                      3 \"Stereo 45\", 4 \"Stereo 60\", 5 \"5 Channel musical\"\n"
         "  --set NAME=VALUE    change a setting (below); repeat as needed\n"
         "  --side-gain DB      ambix, fuma: gain of the figure of eight against the\n"
         "                      cardioids, for a capsule of other sensitivity (default 0)\n"
         "  --hrtf FILE.sofa    binaural: the head-related impulse responses to use\n"
         "                      (default " +
         std::string(kDefaultHrtfPath) +
         ")\n"
         "  --yaw DEG, --pitch DEG, --roll DEG\n"
         "                      binaural: the listener's head turned, in degrees from\n"
         "                      -180 to 180: yaw to the left, pitch nose up, roll right\n"
         "                      ear down (default 0: facing the centre speaker)\n"
         "  --order ORDER       channel order of the input: the letters F (front mid),\n"
         "                      S (side) and R (rear mid); default FSR\n"
         "  --tracks A,B,C      the front mid, side and rear mid tracks of a polyphonic\n"
         "                      file, by number (from 1) or by the name the recorder\n"
         "                      gave them (iXML, any letter case): --tracks MID,SIDE,REAR\n"
         "  --out-dir DIR       a batch: decode every input into the folder DIR\n"
         "  --name PATTERN      a batch's output names (default {name}.{layout}; .wav is\n"
         "                      added): {name} the input's name less its extension,\n"
         "                      {layout} the layout, {folder} the input's folder's name,\n"
         "                      {scene} {take} {tape} {project} from the take's iXML,\n"
         "                      {date} its bext origination date, {timecode} its bext\n"
         "                      time of day as HH-MM-SS-FF at its iXML timecode rate\n"
         "                      (HH-MM-SS without one). A take that lacks a field is\n"
         "                      an error before anything is written\n"
         "  --skip-existing     a batch leaves outputs that exist as they are\n"
         "  --overwrite         a batch replaces outputs that exist (without either,\n"
         "                      outputs that exist are refused before anything starts)\n"
         "  --jobs N            a batch: files decoded at once (default one per core)\n"
         "  --bits 16|24|32|64  output samples: 16 or 24-bit integer (default 24),\n"
         "                      32 or 64-bit float\n"
         "  --gain DB           gain of every layout's output, after the decode, in\n"
         "                      double precision, before the samples take the file's\n"
         "                      format (-6.0206 halves them exactly)\n"
         "  --normalize DBFS    bring each output file's peak to DBFS (-1 for 1 dB below\n"
         "                      full scale); decodes each input twice, first to find the\n"
         "                      peak, so that the output is never held in memory\n"
         "  --dither            triangular dither before rounding to 16 or 24 bits (exact\n"
         "                      zeros stay silent); without it samples are rounded plainly\n"
         "  --mono              one mono file per channel: OUT.L.wav, OUT.R.wav, ...\n"
         "  --rf64              write RF64 even below 4 GiB\n"
         "  --precision single|double\n"
         "                      arithmetic of the effect: 32-bit or 64-bit (default)\n"
         "                      floating point, as a host in that precision runs it\n"
         "  --block N           frames per processing call (default 4096)\n"
         "  --snapshot FILE.png picture of the plug-in's editor with these settings\n"
         "  -q, --quiet         no progress bar, no summary\n"
         "  -h, --help          this text\n"
         "  --version           the program's version\n\n"
         "Settings (--set NAME=VALUE, applied after --preset, in order). NAME is the\n"
         "control's name on the panel or its parameter name in hosts (in brackets), in\n"
         "any letter case. VALUE is a number in the unit the panel shows (the unit may\n"
         "be written: 144deg, 20ms, 8kHz, -3dB), or the slider's position in percent:\n"
         "FrontVolume=50% is half the slider, a gain of 0.5 or -6 dB.\n";
    t += parameterHelp(80);
    t += "\nExamples:\n"
         "  kalvo-render --demo out/demo-5.1.wav\n"
         "  kalvo-render session.wav session-5.1.wav\n"
         "  kalvo-render session.wav session-5.1.wav --preset \"5 Channel musical\"\n"
         "  kalvo-render session.wav session-stereo.wav --layout stereo --preset 3\n"
         "  kalvo-render session.wav session-ambix.wav --layout ambix\n"
         "  kalvo-render session.wav session-phones.wav --layout binaural\n"
         "  kalvo-render front.wav side.wav rear.wav mix.wav --mono\n"
         "  kalvo-render take3.flac take3-51.wav --set RearDelay=20 --set FrontAngle=60 \\\n"
         "      --set FrontVolume=-3 --set RearLowPass=8 --set CenterMute=on\n"
         "  kalvo-render take3.wav take3-51.wav --order SFR --set FrontPattern=cardioid\n"
         "  kalvo-render T012.WAV t12-51.wav --tracks MID,SIDE,REAR\n"
         "  kalvo-render day04/ --tracks 1,2,3 --out-dir day04-5.1\n"
         "  kalvo-render day04/*.WAV --tracks MID,SIDE,REAR --layout binaural \\\n"
         "      --out-dir phones --name \"{name}-phones\"\n";
    return t;
}

} // namespace render
