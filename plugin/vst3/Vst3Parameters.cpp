#include "Vst3Parameters.h"

#include "BuildRules.h"
#include "KalvoParameters.h"
#include "Vst3Support.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kalvo::vst3adapter
{
namespace
{

constexpr int kProgramCount = kNumFactoryPresets;

const char* const kMeterTitles[kMeterCount] = {
    "Meter Front Mid", "Meter Side",   "Meter Rear Mid",      "Meter Left",
    "Meter Right",     "Meter Center", "Meter Left Surround", "Meter Right Surround",
};

double clamp01(double x)
{
    return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x);
}

/// Letters, digits and the characters that carry meaning in a number, lower case;
/// spaces, hyphens between words and underscores go.
std::string lowerTrimmed(const char* text)
{
    std::string s(text ? text : "");
    const std::size_t b = s.find_first_not_of(" \t");
    const std::size_t e = s.find_last_not_of(" \t");
    s = b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

/// Letters and digits only: "Figure of Eight" and "figure-of-eight" both give "figureofeight".
std::string wordKey(const std::string& s)
{
    std::string out;
    for (unsigned char c : s)
        if (std::isalnum(c))
            out += static_cast<char>(std::tolower(c));
    return out;
}

bool inRange(double v, double lo, double hi)
{
    // A hair of slack for values that rounding put just outside.
    const double slack = 1e-9 * (hi - lo);
    return v >= lo - slack && v <= hi + slack;
}

bool isDegreeUnit(const std::string& unit)
{
    return unit.empty() || unit == "deg" || unit == "\xc2\xb0" || unit == "\xb0";
}

} // namespace

bool isKnobParam(vst3::ParamID id)
{
    return id < static_cast<vst3::ParamID>(kNumParameters);
}

bool isMeterParam(vst3::ParamID id)
{
    return id >= kFirstMeterParamId && id < kFirstMeterParamId + kMeterCount;
}

vst3::ParamID paramIdAt(int index)
{
    if (index >= 0 && index < kNumParameters)
        return static_cast<vst3::ParamID>(index);
    if (index == kNumParameters)
        return kProgramParamId;
    if (index > kNumParameters && index < kVst3ParameterCount)
        return kFirstMeterParamId + static_cast<vst3::ParamID>(index - kNumParameters - 1);
    return 0xFFFFFFFFu;
}

double programToNormalized(int program)
{
    return static_cast<double>(program) / (kProgramCount - 1);
}

int normalizedToProgram(double normalized)
{
    const double x = std::floor(clamp01(normalized) * (kProgramCount - 1) + 0.5);
    return static_cast<int>(x);
}

bool describeParameter(int index, vst3::ParameterInfo& info)
{
    const vst3::ParamID id = paramIdAt(index);
    if (id == 0xFFFFFFFFu)
        return false;
    std::memset(&info, 0, sizeof(info));
    info.id = id;
    info.unitId = vst3::kRootUnitId;
    if (isKnobParam(id))
    {
        const ParameterSpec& spec = parameterSpec(static_cast<int>(id));
        copyToUtf16(info.title, 128, spec.title);
        copyToUtf16(info.shortTitle, 128, spec.title);
        copyToUtf16(info.units, 128, spec.unitLabel);
        info.stepCount = spec.unit == ParameterUnit::Switch ? 1 : 0;
        info.defaultNormalizedValue = static_cast<double>(spec.defaultKnob);
        info.flags = vst3::kCanAutomate;
    }
    else if (id == kProgramParamId)
    {
        copyToUtf16(info.title, 128, "Factory Preset");
        copyToUtf16(info.shortTitle, 128, "Preset");
        info.stepCount = kProgramCount - 1;
        info.flags = vst3::kIsProgramChange | vst3::kIsList;
    }
    else
    {
        copyToUtf16(info.title, 128, kMeterTitles[id - kFirstMeterParamId]);
        copyToUtf16(info.shortTitle, 128, kMeterTitles[id - kFirstMeterParamId]);
        info.flags = vst3::kIsReadOnly;
    }
    return true;
}

double normalizedToPlain(vst3::ParamID id, double normalized)
{
    if (isKnobParam(id))
        return knobToUnit(static_cast<int>(id), clamp01(normalized));
    if (id == kProgramParamId)
        return normalizedToProgram(normalized);
    return clamp01(normalized);
}

double plainToNormalized(vst3::ParamID id, double plain)
{
    if (isKnobParam(id))
    {
        const double x = unitToKnob(static_cast<int>(id), plain);
        return x < 0.0 ? 0.0 : x; // not a number: the bottom of the range
    }
    if (id == kProgramParamId)
        return std::isnan(plain) ? 0.0 : clamp01(std::floor(plain + 0.5) / (kProgramCount - 1));
    return std::isnan(plain) ? 0.0 : clamp01(plain);
}

bool formatParameter(vst3::ParamID id, double normalized, char* text, const KalvoBuildRules& rules)
{
    text[0] = 0;
    if (isKnobParam(id))
        formatPanelText(static_cast<int>(id), static_cast<float>(clamp01(normalized)), text, rules);
    else if (id == kProgramParamId)
        copyText(text, 64, rules.presetNames[normalizedToProgram(normalized)]);
    else if (isMeterParam(id))
        std::snprintf(text, 64, "%.2f", clamp01(normalized));
    else
        return false;
    return true;
}

bool parseParameter(vst3::ParamID id, const char* rawText, double& normalized, const KalvoBuildRules& rules)
{
    const std::string word = lowerTrimmed(rawText);
    if (id == kProgramParamId)
    {
        for (int p = 0; p < kProgramCount; ++p)
            if (wordKey(word) == wordKey(lowerTrimmed(rules.presetNames[p])))
                return normalized = programToNormalized(p), true;
        return false;
    }
    if (!isKnobParam(id))
        return false;
    const int index = static_cast<int>(id);
    const ParameterSpec& spec = parameterSpec(index);

    if (spec.unit == ParameterUnit::Switch)
    {
        // A mute acts only at exactly 1, so there is nothing between on and off.
        if (word == "on" || word == "1" || word == "true" || word == "yes")
            return normalized = 1.0, true;
        if (word == "off" || word == "0" || word == "false" || word == "no")
            return normalized = 0.0, true;
        return false;
    }
    if (spec.unit == ParameterUnit::Pattern)
    {
        int count = 0;
        const NamedPattern* patterns = namedPatterns(count);
        for (int i = 0; i < count; ++i)
            if (wordKey(word) == wordKey(patterns[i].name) || wordKey(word) == wordKey(patterns[i].label))
                return normalized = patterns[i].omniShare, true;
    }
    if (spec.unit == ParameterUnit::CornerKHz && word == "off")
        return normalized = 1.0, true;
    if (spec.unit == ParameterUnit::LevelDb &&
        (word == "-inf" || word == "-infdb" || word == "-oo" || word == "-oodb"))
        return normalized = 0.0, true;

    const char* begin = word.c_str();
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(begin, &end);
    if (end == begin || errno == ERANGE || !std::isfinite(value))
        return false;
    std::string unit = lowerTrimmed(end);

    if (unit == "%")
    {
        // The slider's position, whatever the unit it shows.
        if (!inRange(value, 0.0, 100.0))
            return false;
        return normalized = clamp01(value / 100.0), true;
    }
    bool unitFits = false;
    switch (spec.unit)
    {
    case ParameterUnit::Pattern:
        unitFits = unit.empty();
        break;
    case ParameterUnit::FrontAngle:
    case ParameterUnit::SurroundAngle:
        unitFits = isDegreeUnit(unit);
        break;
    case ParameterUnit::DelayMs:
        unitFits = unit.empty() || unit == "ms";
        break;
    case ParameterUnit::CornerKHz:
        unitFits = unit.empty() || unit == "khz" || unit == "hz";
        if (unit == "hz")
            value /= 1000.0;
        break;
    case ParameterUnit::LevelDb:
        unitFits = unit.empty() || unit == "db";
        break;
    case ParameterUnit::Switch:
        break;
    }
    if (!unitFits)
        return false;
    if (spec.unit == ParameterUnit::LevelDb)
    {
        // Levels are gains up to 1: 0 dB is the loudest setting, and any number of dB
        // below is a quieter one (the range's minimum and below is silence).
        if (value > 1e-9)
            return false;
        normalized = value <= spec.minimum ? 0.0 : clamp01(std::pow(10.0, value / 20.0));
        return true;
    }
    if (!inRange(value, spec.minimum, spec.maximum))
        return false;
    normalized = unitToKnob(index, value);
    return normalized >= 0.0;
}

} // namespace kalvo::vst3adapter
