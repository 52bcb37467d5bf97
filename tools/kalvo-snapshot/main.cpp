// kalvo-snapshot: renders the plug-in's editor panel to a PNG for given parameter values.
//
//   kalvo-snapshot OUT.png [--preset NAME|N] [NAME=VALUE ...] [INDEX=VALUE ...]
//
// NAME=VALUE takes the names and units of kalvo-render's --set; INDEX=VALUE sets
// parameter INDEX (0-14) to exactly the value a host would send, 14 loading a
// factory preset (1 to 5). Everything applies in order through the same
// setParameter call a host uses.
#include "KalvoVersion.h"
#include "editor/EditorSnapshot.h"
#include "effect/Kalvo.h"
#include "effect/RemoteEffect.h"
#include "tools/common/CommandLine.h"
#include "tools/common/RenderParameters.h"
#include "vst2/StandaloneHost.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{

constexpr int kPresetParameter = 14;

/// The mirror's listener: a snapshot has nobody to send edits to.
class NoGestures : public RemoteEffect::Listener
{
public:
    void beginGesture(int) override {}
    void changed(int, float) override {}
    void endGesture(int) override {}
};

void printHelp()
{
    std::string text =
        "Usage: kalvo-snapshot OUT.png [--preset NAME|N] [--scale F] [--headphones] [NAME=VALUE ...] "
        "[INDEX=VALUE ...]\n"
        "Draws the Kalvo plug-in's editor panel with the given settings into a PNG file.\n\n"
        "  --preset NAME|N  start from a factory preset: 1 \"5 Channel\", 2 \"4 Channel\",\n"
        "                   3 \"Stereo 45\", 4 \"Stereo 60\", 5 \"5 Channel musical\"\n"
        "  NAME=VALUE       a setting as kalvo-render's --set takes it (below)\n"
        "  --scale F        draw the panel zoomed by F, 1 to 3 (an image of 841F x 453F)\n"
        "  --headphones     draw the headphone plug-in's panel, with its head-tracking strip\n"
        "                   (841 x 497 panel pixels)\n"
        "  INDEX=VALUE      parameter number 0-14 set to exactly the value 0..1 a host\n"
        "                   sends (14=N loads preset N)\n"
        "  -h, --help       this text\n"
        "  --version        the program's version\n\n"
        "Settings apply in the order given. NAME is the control's name on the panel or\n"
        "its parameter name in hosts (in brackets), in any letter case. VALUE is a\n"
        "number in the unit the panel shows, or the slider's position in percent.\n";
    text += render::parameterHelp(80);
    text +=
        "\nExample:\n  kalvo-snapshot panel.png --preset \"4 Channel\" SurroundAngle=144 FrontVolume=-3\n";
    std::fputs(text.c_str(), stdout);
}

// "INDEX=VALUE" with a parameter number and a finite number.
bool parseIndexed(const std::string& text, int& index, float& value)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    const long i = std::strtol(begin, &end, 10);
    if (end == begin || *end != '=' || i < 0 || i > kPresetParameter)
        return false;
    const char* number = end + 1;
    errno = 0;
    const float v = std::strtof(number, &end);
    if (end == number || *end != '\0' || errno == ERANGE || !std::isfinite(v))
        return false;
    index = static_cast<int>(i);
    value = v;
    return true;
}

int usageError(const std::string& message)
{
    std::fprintf(stderr, "kalvo-snapshot: %s\n", message.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    render::CommandLine line;
    line.addFlag("-h,--help");
    line.addFlag("--version");
    line.addOption("--preset");
    line.addOption("--scale");
    line.addFlag("--headphones");
    bool headphones = false;
    double scale = 1.0;
    std::string error;
    if (!line.parse(std::vector<std::string>(argv + 1, argv + argc), error))
        return usageError(error);
    std::string output;
    std::vector<std::pair<int, float>> settings;
    for (const render::CommandLine::Word& word : line.words())
    {
        if (word.option == "--help")
        {
            printHelp();
            return 0;
        }
        if (word.option == "--version")
        {
            std::printf("kalvo-snapshot %s\n", KALVO_VERSION_STRING);
            return 0;
        }
        if (word.option == "--headphones")
        {
            headphones = true;
            continue;
        }
        if (word.option == "--scale")
        {
            char* end = nullptr;
            errno = 0;
            scale = std::strtod(word.value.c_str(), &end);
            if (end == word.value.c_str() || *end != '\0' || errno == ERANGE ||
                !(scale >= 1.0 && scale <= 3.0))
                return usageError("--scale takes a factor from 1 to 3, not '" + word.value + "'");
            continue;
        }
        if (word.option == "--preset")
        {
            // Loaded where it stands: settings before it are replaced by the preset's.
            const int preset = render::findPreset(word.value);
            if (preset == 0)
                return usageError("unknown preset '" + word.value + "'");
            settings.emplace_back(kPresetParameter, static_cast<float>(preset));
            continue;
        }
        const std::string& arg = word.value;
        if (output.empty() && arg.find('=') == std::string::npos)
        {
            output = arg;
            continue;
        }
        int index = 0;
        float value = 0.0f;
        if (!arg.empty() && std::isdigit(static_cast<unsigned char>(arg[0])))
        {
            if (!parseIndexed(arg, index, value))
                return usageError("'" + arg + "' is not INDEX=VALUE with INDEX 0-14 and a finite VALUE");
        }
        else if (!render::parseParameterSetting(arg, index, value, error))
            return usageError(error);
        settings.emplace_back(index, value);
    }
    if (output.empty())
        return usageError("no output file given (see --help)");

    std::unique_ptr<AudioEffect> effect(createEffectInstance(standaloneHostCallback));
    if (!effect)
    {
        std::fprintf(stderr, "kalvo-snapshot: cannot create the effect\n");
        return 1;
    }
    for (const auto& s : settings)
        effect->setParameter(s.first, s.second);
    // The headphone plug-in's panel runs on a mirror of the values, as in its hosts.
    NoGestures nobody;
    std::unique_ptr<RemoteEffect> mirror;
    if (headphones)
    {
        mirror = std::make_unique<RemoteEffect>(nobody, buildRules(), true);
        for (int i = 0; i < kNumParameters; ++i)
            mirror->reportParameter(i, effect->getParameter(i));
    }
    if (!renderEditorSnapshot(mirror ? static_cast<AudioEffect&>(*mirror) : *effect, output.c_str(), 2,
                              scale))
    {
        std::fprintf(stderr, "kalvo-snapshot: cannot write '%s'\n", output.c_str());
        return 1;
    }
    return 0;
}
