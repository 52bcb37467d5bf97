// Stand-in for the parameter table's implementation (plugin/KalvoParameters.cpp), built
// only while that file is not in the tree: it answers the part of KalvoParameters.h the
// VST 3 adapter uses, with the same conversions the effect, the panel and kalvo-render
// apply. The build drops this file as soon as the table's own implementation exists.
#include "BuildRules.h"
#include "KalvoConverters.h"
#include "KalvoParameters.h"

#include <cmath>
#include <cstdio>

namespace kalvo
{
namespace
{

const ParameterSpec kSpecs[kNumParameters] = {
    {0, "CenterPolarPattern", "Pattern", "CenterPolarPattern", "CenterPattern", "Center Pattern",
     "POLAR PATTERN", "center_pattern", ParameterUnit::Pattern, "", 0.0, 1.0, 0.36f},
    {1, "LRPolarPattern", "Pattern", "LRPolarPattern", "FrontPattern", "Front Pattern", "POLAR PATTERN",
     "front_pattern", ParameterUnit::Pattern, "", 0.0, 1.0, 0.36f},
    {2, "LSRSPolarPattern", "Pattern", "LSRSPolarPattern", "SurroundPattern", "Surround Pattern",
     "POLAR PATTERN", "surround_pattern", ParameterUnit::Pattern, "", 0.0, 1.0, 0.36f},
    {3, "LROffset", "Angle", "LROffset", "FrontAngle", "Front Angle", "MICROPHONE ANGLE", "front_angle",
     ParameterUnit::FrontAngle, "deg", 0.0, 90.0, 0.8f},
    {4, "LSRSOffset", "Angle", "LSRSOffset", "SurroundAngle", "Surround Angle", "MICROPHONE ANGLE",
     "surround_angle", ParameterUnit::SurroundAngle, "deg", 90.0, 180.0, 0.6f},
    {5, "RearDelay", "mSec", "RearDelay", "RearDelay", "Rear Delay", "REAR DELAY", "rear_delay",
     ParameterUnit::DelayMs, "ms", 0.0, 55.0, 0.0f},
    {6, "RearSlopeFilter", "kHz", "RearSlopeFilter", "RearLowPass", "Rear Low-Pass", "REAR LOW-PASS",
     "rear_lowpass", ParameterUnit::CornerKHz, "kHz", 1.0, 20.0, 1.0f},
    {7, "FrontLevel", "dB", "FrontLevel", "FrontVolume", "Front Volume", "VOLUME", "front_volume",
     ParameterUnit::LevelDb, "dB", -60.0, 0.0, 1.0f},
    {8, "RearLevel", "dB", "RearLevel", "SurroundVolume", "Surround Volume", "VOLUME", "surround_volume",
     ParameterUnit::LevelDb, "dB", -60.0, 0.0, 1.0f},
    {9, "CenterLevel", "dB", "CenterLevel", "CenterVolume", "Center Volume", "VOLUME", "center_volume",
     ParameterUnit::LevelDb, "dB", -60.0, 0.0, 1.0f},
    {10, "", "", "CenterMute", "CenterMute", "Center Mute", "MUTE", "center_mute", ParameterUnit::Switch, "",
     0.0, 1.0, 0.0f},
    {11, "", "", "FrontMute", "FrontMute", "Front Mute", "MUTE", "front_mute", ParameterUnit::Switch, "", 0.0,
     1.0, 0.0f},
    {12, "", "", "RearMute", "SurroundMute", "Surround Mute", "MUTE", "surround_mute", ParameterUnit::Switch,
     "", 0.0, 1.0, 0.0f},
};

const NamedPattern kPatterns[] = {
    {"omni", "omni", 1.0},
    {"subcardioid", "subcardioid", 0.7},
    {"cardioid", "cardioid", 0.5},
    {"supercardioid", "supercardioid", 0.37},
    {"hypercardioid", "hypercardioid", 0.25},
    {"figure8", "figure of eight", 0.0},
};

const float kFactory[kNumFactoryPresets][kNumParameters] = {
    {0.36f, 0.36f, 0.36f, 0.8f, 0.6f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f},
    {0.36f, 0.36f, 0.36f, 0.6033f, 0.6f, 0.0f, 1.0f, 1.0f, 0.844f, 0.0f, 0.0f, 0.0f, 0.0f},
    {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
    {0.36f, 0.36f, 0.36f, 0.67f, 0.5f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
    {0.36f, 0.36f, 0.36f, 1.0f, 0.64f, 0.361f, 0.265f, 1.0f, 1.0f, 0.7f, 0.0f, 0.0f, 0.0f},
};

constexpr float kLevelFloor = 0.0002f;

} // namespace

const ParameterSpec& parameterSpec(int index)
{
    return kSpecs[index];
}

const NamedPattern* namedPatterns(int& count)
{
    count = static_cast<int>(sizeof(kPatterns) / sizeof(kPatterns[0]));
    return kPatterns;
}

double knobToUnit(int index, double knob)
{
    const ParameterSpec& p = kSpecs[index];
    switch (p.unit)
    {
    case ParameterUnit::FrontAngle:
        return 90.0 * knob;
    case ParameterUnit::SurroundAngle:
        return 90.0 + 90.0 * knob;
    case ParameterUnit::DelayMs:
        return 55.0 * knob;
    case ParameterUnit::CornerKHz:
        return 1.0 + 19.0 * knob;
    case ParameterUnit::LevelDb:
    {
        const double dB = knob > 0.0 ? 20.0 * std::log10(knob) : p.minimum;
        return dB < p.minimum ? p.minimum : dB;
    }
    case ParameterUnit::Pattern:
    case ParameterUnit::Switch:
        break;
    }
    return knob;
}

double unitToKnob(int index, double value)
{
    if (std::isnan(value))
        return -1.0;
    const ParameterSpec& p = kSpecs[index];
    double x = value;
    switch (p.unit)
    {
    case ParameterUnit::FrontAngle:
        x = value / 90.0;
        break;
    case ParameterUnit::SurroundAngle:
        x = surroundAngleValue(value);
        break;
    case ParameterUnit::DelayMs:
        x = value / 55.0;
        break;
    case ParameterUnit::CornerKHz:
        x = (value - 1.0) / 19.0;
        break;
    case ParameterUnit::LevelDb:
        x = value <= p.minimum ? 0.0 : std::pow(10.0, value / 20.0);
        break;
    case ParameterUnit::Switch:
        x = value >= 0.5 ? 1.0 : 0.0;
        break;
    case ParameterUnit::Pattern:
        break;
    }
    return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x);
}

float panelValue(int index, float p)
{
    switch (kSpecs[index].unit)
    {
    case ParameterUnit::FrontAngle:
        return 90.0f * p;
    case ParameterUnit::SurroundAngle:
        return surroundAngleDegrees(p);
    case ParameterUnit::DelayMs:
        return 55.0f * p;
    case ParameterUnit::CornerKHz:
        return 19.0f * p + 1.0f;
    case ParameterUnit::LevelDb:
        return 20.0f * std::log10(p + kLevelFloor);
    case ParameterUnit::Pattern:
    case ParameterUnit::Switch:
        break;
    }
    return p;
}

DisplayConverter panelConverter(int index)
{
    switch (kSpecs[index].unit)
    {
    case ParameterUnit::FrontAngle:
    case ParameterUnit::SurroundAngle:
        return param2noneDeciString;
    case ParameterUnit::DelayMs:
        return param2DeciString;
    case ParameterUnit::CornerKHz:
        return freqStringConvert;
    case ParameterUnit::LevelDb:
        return gainStringConvert;
    case ParameterUnit::Pattern:
    case ParameterUnit::Switch:
        break;
    }
    return nullptr;
}

void formatPanelText(int index, float knob, char* text, const KalvoBuildRules& rules)
{
    text[0] = 0;
    const ParameterUnit unit = kSpecs[index].unit;
    const float value = panelValue(index, knob);
    if (unit == ParameterUnit::Switch)
        std::snprintf(text, kConverterTextSize, "%s", knob == 1.0f ? "on" : "off");
    else if (unit == ParameterUnit::FrontAngle || unit == ParameterUnit::SurroundAngle)
        formatWholeDegrees(value, text, rules);
    else if (DisplayConverter convert = panelConverter(index))
        convert(value, text);
    else
        std::snprintf(text, kConverterTextSize, "%2.2f", static_cast<double>(value));
}

const float* factoryPresetValues(int preset)
{
    return preset >= 0 && preset < kNumFactoryPresets ? kFactory[preset] : nullptr;
}

} // namespace kalvo
