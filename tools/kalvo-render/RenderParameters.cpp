#include "RenderParameters.h"

#include "BuildRules.h"

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
    {"CenterPolarPattern", ParameterUnit::Pattern},
    {"LRPolarPattern", ParameterUnit::Pattern},
    {"LSRSPolarPattern", ParameterUnit::Pattern},
    {"LROffset", ParameterUnit::FrontAngle},
    {"LSRSOffset", ParameterUnit::RearAngle},
    {"RearDelay", ParameterUnit::DelayMs},
    {"RearSlopeFilter", ParameterUnit::CornerKHz},
    {"FrontLevel", ParameterUnit::LevelDb},
    {"RearLevel", ParameterUnit::LevelDb},
    {"CenterLevel", ParameterUnit::LevelDb},
    {"CenterMute", ParameterUnit::Switch},
    {"FrontMute", ParameterUnit::Switch},
    {"RearMute", ParameterUnit::Switch},
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
    error = "value '" + text + "' out of range for " + p.name + " (" + range + ")";
    return false;
}

} // namespace

const ParameterInfo& parameterInfo(int index)
{
    return kParameters[index];
}

int findParameter(const std::string& name)
{
    const std::string wanted = lower(trim(name));
    for (int i = 0; i < kParameterCount; ++i)
        if (lower(kParameters[i].name) == wanted)
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
        if (word == "on" || word == "1" || word == "true" || word == "yes")
            normalised = 1.0f;
        else if (word == "off" || word == "0" || word == "false" || word == "no")
            normalised = 0.0f;
        else
        {
            error = "value '" + text + "' for " + p.name + " must be on or off";
            return false;
        }
        return true;
    }
    if (p.unit == ParameterUnit::Pattern)
        for (const NamedPattern& named : kPatterns)
            if (word == named.name || presetKey(word) == named.name)
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
        (word == "-infdb" || word == "-inf" || word == "-oo" || word == "-oodb"))
    {
        normalised = 0.0f;
        return true;
    }
    if (!splitNumber(text, value, unit))
    {
        error = "value '" + text + "' for " + p.name + " is not a number";
        return false;
    }

    double x = 0.0;
    if (unit.empty())
    {
        if (!inRange(value, 0.0, 1.0))
            return rangeError(p, text, "normalised 0..1", error);
        x = value;
    }
    else if (p.unit == ParameterUnit::Pattern && unit == "%")
    {
        if (!inRange(value, 0.0, 100.0))
            return rangeError(p, text, "0..100%", error);
        x = value / 100.0;
    }
    else if (p.unit == ParameterUnit::FrontAngle && (unit == "deg" || unit == "\xc2\xb0"))
    {
        if (!inRange(value, 0.0, 90.0))
            return rangeError(p, text, "0..90deg", error);
        x = value / 90.0;
    }
    else if (p.unit == ParameterUnit::RearAngle && (unit == "deg" || unit == "\xc2\xb0"))
    {
        // The surround pair's angle runs from 180 degrees (value 0) to 90 (value 1).
        if (!inRange(value, 90.0, 180.0))
            return rangeError(p, text, "90..180deg", error);
        x = 2.0 - value / 90.0;
    }
    else if (p.unit == ParameterUnit::DelayMs && unit == "ms")
    {
        if (!inRange(value, 0.0, 55.0))
            return rangeError(p, text, "0..55ms", error);
        x = value / 55.0;
    }
    else if (p.unit == ParameterUnit::CornerKHz && (unit == "khz" || unit == "hz"))
    {
        const double kHz = unit == "hz" ? value / 1000.0 : value;
        if (!inRange(kHz, 1.0, 20.0))
            return rangeError(p, text, "1..20kHz", error);
        x = (kHz - 1.0) / 19.0;
    }
    else if (p.unit == ParameterUnit::LevelDb && unit == "db")
    {
        // Levels are linear gains up to 1: 0 dB is the loudest setting.
        if (value > 1e-9)
            return rangeError(p, text, "-inf..0dB", error);
        x = std::pow(10.0, value / 20.0);
    }
    else
    {
        error = "unit '" + unit + "' does not fit " + p.name + " (use " + parameterUnitsHelp(index) + ")";
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
        error = "--set expects NAME=VALUE, not '" + setting + "'";
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

std::string parameterUnitsHelp(int index)
{
    switch (kParameters[index].unit)
    {
    case ParameterUnit::Pattern:
        return "0..1, 0..100%, omni, subcardioid, cardioid, supercardioid, hypercardioid, figure8";
    case ParameterUnit::FrontAngle:
        return "0..1 or 0..90deg";
    case ParameterUnit::RearAngle:
        return "0..1 or 180..90deg";
    case ParameterUnit::DelayMs:
        return "0..1 or 0..55ms";
    case ParameterUnit::CornerKHz:
        return "0..1, 1..20kHz, 1000..20000Hz or off";
    case ParameterUnit::LevelDb:
        return "0..1 or -inf..0dB";
    case ParameterUnit::Switch:
        return "on or off";
    }
    return "";
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
