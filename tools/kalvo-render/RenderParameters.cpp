#include "RenderParameters.h"

#include "BuildRules.h"
#include "KalvoConverters.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace render
{
namespace
{

const ParameterInfo kParameters[kParameterCount] = {
    {"CenterPolarPattern", "CenterPattern", "POLAR PATTERN", ParameterUnit::Pattern},
    {"LRPolarPattern", "FrontPattern", "POLAR PATTERN", ParameterUnit::Pattern},
    {"LSRSPolarPattern", "SurroundPattern", "POLAR PATTERN", ParameterUnit::Pattern},
    {"LROffset", "FrontAngle", "MICROPHONE ANGLE", ParameterUnit::FrontAngle},
    {"LSRSOffset", "SurroundAngle", "MICROPHONE ANGLE", ParameterUnit::SurroundAngle},
    {"RearDelay", "RearDelay", "REAR DELAY", ParameterUnit::DelayMs},
    {"RearSlopeFilter", "RearLowPass", "REAR LOW-PASS", ParameterUnit::CornerKHz},
    {"FrontLevel", "FrontVolume", "VOLUME", ParameterUnit::LevelDb},
    {"RearLevel", "SurroundVolume", "VOLUME", ParameterUnit::LevelDb},
    {"CenterLevel", "CenterVolume", "VOLUME", ParameterUnit::LevelDb},
    {"CenterMute", "CenterMute", "MUTE", ParameterUnit::Switch},
    {"FrontMute", "FrontMute", "MUTE", ParameterUnit::Switch},
    {"RearMute", "SurroundMute", "MUTE", ParameterUnit::Switch},
};

// First-order patterns by name, as omni share.
struct NamedPattern
{
    const char* name;
    double omniShare;
};
const NamedPattern kPatterns[] = {
    {"omni", 1.0},           {"subcardioid", 0.7}, {"cardioid", 0.5},      {"supercardioid", 0.37},
    {"hypercardioid", 0.25}, {"figure8", 0.0},     {"figureofeight", 0.0}, {"fig8", 0.0}};

std::string lower(const std::string& s)
{
    std::string out;
    for (char c : s)
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t");
    size_t e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// Letters and digits only, lower case: "Stereo 45°" and "stereo-45" both give "stereo45".
std::string presetKey(const std::string& s)
{
    std::string out;
    for (unsigned char c : s)
        if (std::isalnum(c))
            out += static_cast<char>(std::tolower(c));
    // "Stereo 45 degree" and "Stereo 45deg" name the same entry as "Stereo 45°".
    for (const char* suffix : {"degree", "deg"})
    {
        const std::string sfx = suffix;
        if (out.size() > sfx.size() && out.compare(out.size() - sfx.size(), sfx.size(), sfx) == 0)
        {
            out.erase(out.size() - sfx.size());
            break;
        }
    }
    return out;
}

// A number followed by an optional unit word; false when the number is missing
// or not finite.
bool splitNumber(const std::string& text, double& number, std::string& unit)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    number = std::strtod(begin, &end);
    if (end == begin || errno == ERANGE || !std::isfinite(number))
        return false;
    unit = lower(trim(std::string(end)));
    return true;
}

bool inRange(double v, double lo, double hi)
{
    // A hair of slack for values that rounding put just outside.
    const double slack = 1e-9 * (hi - lo);
    return v >= lo - slack && v <= hi + slack;
}

bool rangeError(const ParameterInfo& p, const std::string& text, const char* range, std::string& error)
{
    error = "value '" + text + "' out of range for " + p.panelName + " (" + range + ")";
    return false;
}

bool isDegrees(const std::string& unit)
{
    return unit.empty() || unit == "deg" || unit == "\xc2\xb0";
}

// What each unit accepts, for messages and the help text.
const char* unitHelp(ParameterUnit unit)
{
    switch (unit)
    {
    case ParameterUnit::Pattern:
        return "omni share 0..1 (1 omni, 0.5 cardioid, 0 figure of eight) or omni, subcardioid, cardioid, "
               "supercardioid, hypercardioid, figure8";
    case ParameterUnit::FrontAngle:
        return "degrees 0..90 from the front";
    case ParameterUnit::SurroundAngle:
        return "degrees 90..180 from the front (90 sideways, 180 straight back)";
    case ParameterUnit::DelayMs:
        return "milliseconds 0..55";
    case ParameterUnit::CornerKHz:
        return "kHz 1..20, or Hz with the unit (8000Hz); 20 or off for none";
    case ParameterUnit::LevelDb:
        return "dB, -inf..0";
    case ParameterUnit::Switch:
        return "on or off";
    }
    return "";
}

// Appends `text` to `out` in lines of at most `width` characters; the first
// line continues the current one at column `column`, later lines start at
// column `indent`.
void wrapInto(std::string& out, const std::string& text, size_t column, size_t indent, size_t width)
{
    size_t pos = 0;
    while (pos < text.size())
    {
        size_t end = text.find(' ', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(pos, end - pos);
        if (column > indent && column + 1 + word.size() > width)
        {
            out += "\n" + std::string(indent, ' ');
            column = indent;
        }
        else if (column > indent)
        {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        pos = end + 1;
    }
    out += "\n";
}

} // namespace

const ParameterInfo& parameterInfo(int index)
{
    return kParameters[index];
}

int findParameter(const std::string& name)
{
    const std::string wanted = presetKey(name);
    for (int i = 0; i < kParameterCount; ++i)
        if (!wanted.empty() &&
            (presetKey(kParameters[i].name) == wanted || presetKey(kParameters[i].panelName) == wanted))
            return i;
    return -1;
}

bool parseParameterValue(int index, const std::string& rawText, float& normalised, std::string& error)
{
    const ParameterInfo& p = kParameters[index];
    const std::string text = trim(rawText);
    const std::string word = lower(text);
    double value = 0.0;
    std::string unit;

    if (p.unit == ParameterUnit::Switch)
    {
        // A mute acts only at exactly 1, so there is nothing between on and off.
        if (word == "on" || word == "1" || word == "true" || word == "yes")
            normalised = 1.0f;
        else if (word == "off" || word == "0" || word == "false" || word == "no")
            normalised = 0.0f;
        else
        {
            error = "value '" + text + "' for " + p.panelName + " must be on or off";
            return false;
        }
        return true;
    }
    if (p.unit == ParameterUnit::Pattern)
        for (const NamedPattern& named : kPatterns)
            if (presetKey(word) == named.name)
            {
                normalised = static_cast<float>(named.omniShare);
                return true;
            }
    if (p.unit == ParameterUnit::CornerKHz && word == "off")
    {
        normalised = 1.0f;
        return true;
    }
    if (p.unit == ParameterUnit::LevelDb &&
        (word == "-inf" || word == "-infdb" || word == "-oo" || word == "-oodb"))
    {
        normalised = 0.0f;
        return true;
    }
    if (!splitNumber(text, value, unit))
    {
        error = "value '" + text + "' for " + p.panelName + " is not a number";
        return false;
    }

    double x = 0.0;
    if (unit == "%")
    {
        // The slider's position, whatever the unit it shows.
        if (!inRange(value, 0.0, 100.0))
            return rangeError(p, text, "0..100%", error);
        x = value / 100.0;
    }
    else if (p.unit == ParameterUnit::Pattern && unit.empty())
    {
        if (!inRange(value, 0.0, 1.0))
            return rangeError(p, text, "0..1", error);
        x = value;
    }
    else if (p.unit == ParameterUnit::FrontAngle && isDegrees(unit))
    {
        if (!inRange(value, 0.0, 90.0))
            return rangeError(p, text, "0..90 degrees", error);
        x = value / 90.0;
    }
    else if (p.unit == ParameterUnit::SurroundAngle && isDegrees(unit))
    {
        if (!inRange(value, 90.0, 180.0))
            return rangeError(p, text, "90..180 degrees", error);
        x = surroundAngleValue(value);
    }
    else if (p.unit == ParameterUnit::DelayMs && (unit.empty() || unit == "ms"))
    {
        if (!inRange(value, 0.0, 55.0))
            return rangeError(p, text, "0..55 ms", error);
        x = value / 55.0;
    }
    else if (p.unit == ParameterUnit::CornerKHz && (unit.empty() || unit == "khz" || unit == "hz"))
    {
        const double kHz = unit == "hz" ? value / 1000.0 : value;
        if (!inRange(kHz, 1.0, 20.0))
            return rangeError(p, text, "1..20 kHz", error);
        x = (kHz - 1.0) / 19.0;
    }
    else if (p.unit == ParameterUnit::LevelDb && (unit.empty() || unit == "db"))
    {
        // Levels are gains up to 1: 0 dB is the loudest setting.
        if (value > 1e-9)
            return rangeError(p, text, "-inf..0 dB", error);
        x = std::pow(10.0, value / 20.0);
    }
    else
    {
        error = "unit '" + unit + "' does not fit " + p.panelName + " (" + unitHelp(p.unit) + ", or 0..100%)";
        return false;
    }
    x = x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x);
    normalised = static_cast<float>(x);
    return true;
}

bool parseParameterSetting(const std::string& setting, int& index, float& normalised, std::string& error)
{
    size_t eq = setting.find('=');
    if (eq == std::string::npos)
    {
        error = "expected NAME=VALUE, not '" + setting + "'";
        return false;
    }
    const std::string name = trim(setting.substr(0, eq));
    index = findParameter(name);
    if (index < 0)
    {
        error = "unknown parameter '" + name + "' (see --help for the names)";
        return false;
    }
    return parseParameterValue(index, setting.substr(eq + 1), normalised, error);
}

std::string parameterHelp(int width)
{
    // One paragraph per panel heading: "HEADING  Name (HostName), ...: values".
    const size_t w = static_cast<size_t>(width);
    const size_t indent = 20;
    std::string out;
    for (int i = 0; i < kParameterCount;)
    {
        const ParameterInfo& first = kParameters[i];
        std::string line = "  " + std::string(first.section);
        line.resize(indent, ' ');
        out += line;
        size_t column = line.size();
        bool firstGroup = true;
        while (i < kParameterCount && std::string(kParameters[i].section) == first.section)
        {
            std::string text;
            const ParameterUnit unit = kParameters[i].unit;
            for (; i < kParameterCount && kParameters[i].unit == unit &&
                   std::string(kParameters[i].section) == first.section;
                 ++i)
            {
                if (!text.empty())
                    text += ", ";
                text += kParameters[i].panelName;
                if (std::string(kParameters[i].name) != kParameters[i].panelName)
                    text += std::string(" (") + kParameters[i].name + ")";
            }
            text += std::string(": ") + unitHelp(unit);
            if (!firstGroup)
            {
                out += std::string(indent, ' ');
                column = indent;
            }
            wrapInto(out, text, column, indent, w);
            firstGroup = false;
        }
    }
    return out;
}

int findPreset(const std::string& text)
{
    const std::string key = presetKey(text);
    if (key.empty())
        return 0;
    char* end = nullptr;
    long number = std::strtol(text.c_str(), &end, 10);
    if (*end == '\0' && end != text.c_str())
        return number >= 1 && number <= 5 ? static_cast<int>(number) : 0;
    const KalvoBuildRules& rules = buildRules();
    for (int i = 1; i <= 5; ++i)
        if (key == presetKey(rules.presetMenuEntries[i]) || key == presetKey(rules.presetNames[i - 1]))
            return i;
    return 0;
}

const char* presetMenuName(int number)
{
    return buildRules().presetMenuEntries[number];
}

} // namespace render
