#pragma once

// The command line of kalvo-render.

#include "tools/kalvo-render/Render.h"
#include "tools/kalvo-render/files/SoundInput.h"
#include "tools/kalvo-render/files/SoundOutput.h"

#include <string>
#include <vector>

namespace render
{

struct RenderOptions
{
    bool help = false;
    bool version = false;
    bool demo = false;
    bool quiet = false;
    std::vector<std::string> inputs; ///< one 3-channel file or three mono files; a batch's files and folders
    std::string output;
    ChannelOrder order{kFrontMid, kSide, kRearMid};
    bool orderGiven = false;
    std::vector<std::string> tracks; ///< --tracks: front mid, side, rear mid of a polyphonic file
    std::string outDir;              ///< a batch's output folder; empty for one decode
    std::string namePattern;         ///< a batch's output names: {name}, {layout}, {scene}, ...
    bool skipExisting = false;       ///< a batch leaves outputs that exist
    bool overwrite = false;          ///< a batch replaces outputs that exist
    int jobs = 0;                    ///< files decoded at once in a batch; 0 for one per core
    /// The settings as given, for the output's coding history.
    std::vector<std::string> settingTexts;
    OutputSpec outputSpec; ///< format and layout (path, rate, length filled in later)
    RenderSettings render;
    std::string snapshot; ///< PNG of the editor, empty for none
    std::string hrtf;     ///< binaural: the SOFA file (the default set when empty)
    bool sideGainGiven = false;
    double gainDb = 0.0; ///< --gain, after the decode (outputSpec.gain holds it linear)
    bool gainGiven = false;
    double normalizeDbfs = 0.0; ///< --normalize: each output's peak, in dB of full scale
    bool normalize = false;
    bool headGiven = false; ///< --yaw, --pitch or --roll
};

/// Parses the arguments after the program name. False with a one-line reason
/// in `error` for anything it cannot accept.
bool parseOptions(const std::vector<std::string>& args, RenderOptions& options, std::string& error);

/// What the decoded files' coding history says about the decode: the
/// program and its version, layout, preset, settings and picked tracks.
std::string decodeHistoryText(const RenderOptions& options);

/// What to tell about an output's level after the decode, or empty: samples
/// clipped to fit a fixed-point format, or a floating-point file beyond full
/// scale, with the peak and the options that avoid it ("64 samples went
/// beyond full scale and were clipped (peak +2.7 dBFS): use --gain -3 or
/// --bits 32").
std::string levelWarning(const RenderOptions& options, int64_t clippedSamples, double peak);

/// A peak as the tools show it: "+2.7 dBFS", "-0.5 dBFS", "-inf dBFS".
std::string peakText(double peak);

/// The text of --help.
std::string helpText();

/// The demo's output file when none is given: kalvo-demo-5.1.wav,
/// kalvo-demo-binaural.wav, ...
std::string defaultDemoOutput(OutputLayout layout);

/// Output file name of the demo when none is given (in 5.1; the other
/// layouts put their name in place of "5.1").
constexpr const char* kDefaultDemoOutput = "kalvo-demo-5.1.wav";

} // namespace render
