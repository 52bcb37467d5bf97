#include "KalvoParameters.h"

#include "BuildRules.h"
#include "KalvoConverters.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

namespace kalvo
{
namespace
{

using U = ParameterUnit;

// Levels: the bottom of the range stands for the knob at 0, silence. Sixty decibels below
// full level is where a fader's travel usually ends; the panel shows "-oo" from -40 down.
constexpr double kLevelFloorDb = -60.0;

const ParameterSpec kSpecs[kNumParameters] = {
    {0, "CenterPolarPattern", "Pattern", "CenterPolarPattern", "CenterPattern", "Center Pattern",
     "POLAR PATTERN", "center_pattern", U::Pattern, "", 0.0, 1.0, 0.36f},
    {1, "LRPolarPattern", "Pattern", "LRPolarPattern", "FrontPattern", "Front Pattern", "POLAR PATTERN",
     "front_pattern", U::Pattern, "", 0.0, 1.0, 0.36f},
    {2, "LSRSPolarPattern", "Pattern", "LSRSPolarPattern", "SurroundPattern", "Surround Pattern",
     "POLAR PATTERN", "surround_pattern", U::Pattern, "", 0.0, 1.0, 0.36f},
    {3, "LROffset", "Angle", "LROffset", "FrontAngle", "Front Angle", "MICROPHONE ANGLE", "front_angle",
     U::FrontAngle, "deg", 0.0, 90.0, 0.8f},
    {4, "LSRSOffset", "Angle", "LSRSOffset", "SurroundAngle", "Surround Angle", "MICROPHONE ANGLE",
     "surround_angle", U::SurroundAngle, "deg", 90.0, 180.0, 0.6f},
    {5, "RearDelay", "mSec", "RearDelay", "RearDelay", "Rear Delay", "REAR DELAY", "rear_delay", U::DelayMs,
     "ms", 0.0, 55.0, 0.0f},
    {6, "RearSlopeFilter", "kHz", "RearSlopeFilter", "RearLowPass", "Rear Low-Pass", "REAR LOW-PASS",
     "rear_lowpass", U::CornerKHz, "kHz", 1.0, 20.0, 1.0f},
    {7, "FrontLevel", "dB", "FrontLevel", "FrontVolume", "Front Volume", "VOLUME", "front_volume", U::LevelDb,
     "dB", kLevelFloorDb, 0.0, 1.0f},
    {8, "RearLevel", "dB", "RearLevel", "SurroundVolume", "Surround Volume", "VOLUME", "surround_volume",
     U::LevelDb, "dB", kLevelFloorDb, 0.0, 1.0f},
    {9, "CenterLevel", "dB", "CenterLevel", "CenterVolume", "Center Volume", "VOLUME", "center_volume",
     U::LevelDb, "dB", kLevelFloorDb, 0.0, 1.0f},
    {10, "", "", "CenterMute", "CenterMute", "Center Mute", "MUTE", "center_mute", U::Switch, "", 0.0, 1.0,
     0.0f},
    {11, "", "", "FrontMute", "FrontMute", "Front Mute", "MUTE", "front_mute", U::Switch, "", 0.0, 1.0, 0.0f},
    {12, "", "", "RearMute", "SurroundMute", "Surround Mute", "MUTE", "surround_mute", U::Switch, "", 0.0,
     1.0, 0.0f},
};

const NamedPattern kPatterns[] = {
    {"omni", "omni", 1.0},
    {"subcardioid", "subcardioid", 0.7},
    {"cardioid", "cardioid", 0.5},
    {"supercardioid", "supercardioid", 0.37},
    {"hypercardioid", "hypercardioid", 0.25},
    {"figure8", "figure of eight", 0.0},
};

const MeterSpec kMeters[kNumMeters] = {
    {"meter_front_mid", "Front Mid Level"},
    {"meter_rear_mid", "Rear Mid Level"},
    {"meter_side", "Side Level"},
    {"meter_c", "Center Level"},
    {"meter_l", "Left Level"},
    {"meter_r", "Right Level"},
    {"meter_ls", "Left Surround Level"},
    {"meter_rs", "Right Surround Level"},
};

/// Factory preset values, parameters 0 to 12, program entries 4 to 8.
const float kFactoryValues[kNumFactoryPresets][kNumParameters] = {
    {0.36f, 0.36f, 0.36f, 0.8f, 0.6f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f},
    {0.36f, 0.36f, 0.36f, 0.6033f, 0.6f, 0.0f, 1.0f, 1.0f, 0.844f, 0.0f, 0.0f, 0.0f, 0.0f},
    {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
    {0.36f, 0.36f, 0.36f, 0.67f, 0.5f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
    {0.36f, 0.36f, 0.36f, 1.0f, 0.64f, 0.361f, 0.265f, 1.0f, 1.0f, 0.7f, 0.0f, 0.0f, 0.0f},
};

// Added to a level before its logarithm so that silence shows as -74 dB, which the gain
// converter prints as "-oo".
constexpr float kPanelLevelFloor = 0.0002f;

bool validIndex(int index)
{
    return index >= 0 && index < kNumParameters;
}

double clampKnob(double x)
{
    return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x);
}

// Letters and digits only, lower case: "Surround Volume", "surround_volume" and
// "SurroundVolume" give the same key.
std::string nameKey(const char* s)
{
    std::string out;
    for (; *s; ++s)
        if (std::isalnum(static_cast<unsigned char>(*s)))
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(*s)));
    return out;
}

} // namespace

const ParameterSpec& parameterSpec(int index)
{
    return kSpecs[validIndex(index) ? index : 0];
}

const NamedPattern* namedPatterns(int& count)
{
    count = static_cast<int>(sizeof(kPatterns) / sizeof(kPatterns[0]));
    return kPatterns;
}

const MeterSpec& meterSpec(int meter)
{
    return kMeters[meter >= 0 && meter < kNumMeters ? meter : 0];
}

const float* factoryPresetValues(int preset)
{
    return preset >= 0 && preset < kNumFactoryPresets ? kFactoryValues[preset] : nullptr;
}

double knobToUnit(int index, double p)
{
    switch (parameterSpec(index).unit)
    {
    case U::FrontAngle:
        return 90.0 * p;
    case U::SurroundAngle:
        return 90.0 * p + 90.0;
    case U::DelayMs:
        return p * 55.0;
    case U::CornerKHz:
        return 19.0 * p + 1.0;
    case U::LevelDb:
    {
        if (!(p > 0.0))
            return kLevelFloorDb;
        const double dB = 20.0 * std::log10(p);
        return dB < kLevelFloorDb ? kLevelFloorDb : dB;
    }
    case U::Pattern:
    case U::Switch:
        break;
    }
    return p;
}

double unitToKnob(int index, double v)
{
    if (std::isnan(v))
        return -1.0;
    double x = v;
    switch (parameterSpec(index).unit)
    {
    case U::FrontAngle:
        x = v / 90.0;
        break;
    case U::SurroundAngle:
        x = surroundAngleValue(v);
        break;
    case U::DelayMs:
        x = v / 55.0;
        break;
    case U::CornerKHz:
        x = (v - 1.0) / 19.0;
        break;
    case U::LevelDb:
        // The bottom of the range is silence, as the panel's "-oo".
        x = v <= kLevelFloorDb ? 0.0 : std::pow(10.0, v / 20.0);
        break;
    case U::Switch:
        // A mute acts only at exactly 1: nothing lies between on and off.
        x = v >= 0.5 ? 1.0 : 0.0;
        break;
    case U::Pattern:
        break;
    }
    return clampKnob(x);
}

float panelValue(int index, float p)
{
    switch (parameterSpec(index).unit)
    {
    case U::FrontAngle:
        return 90.0f * p;
    case U::SurroundAngle:
        return surroundAngleDegrees(p);
    case U::DelayMs:
        return 55.0f * p;
    case U::CornerKHz:
        return 19.0f * p + 1.0f;
    case U::LevelDb:
        return 20.0f * std::log10(p + kPanelLevelFloor);
    case U::Pattern:
    case U::Switch:
        break;
    }
    return p; // the patterns show themselves
}

DisplayConverter panelConverter(int index)
{
    switch (parameterSpec(index).unit)
    {
    case U::FrontAngle:
    case U::SurroundAngle:
        return param2noneDeciString;
    case U::DelayMs:
        return param2DeciString;
    case U::CornerKHz:
        return freqStringConvert;
    case U::LevelDb:
        return gainStringConvert;
    case U::Pattern:
    case U::Switch:
        break;
    }
    return nullptr;
}

void formatPanelText(int index, float knob, char* text, const KalvoBuildRules& rules)
{
    text[0] = 0; // a negative angle or delay leaves the converters' text untouched
    const ParameterSpec& spec = parameterSpec(index);
    const float value = panelValue(index, knob);
    switch (spec.unit)
    {
    case U::Switch:
        std::snprintf(text, kConverterTextSize, "%s", knob == 1.0f ? "on" : "off");
        return;
    case U::Pattern:
        // The numeric display's own format, which the pattern displays use.
        std::snprintf(text, kConverterTextSize, "%2.2f", static_cast<double>(value));
        return;
    case U::FrontAngle:
    case U::SurroundAngle:
        formatWholeDegrees(value, text, rules);
        return;
    default:
        panelConverter(index)(value, text);
        return;
    }
}

int findParameterByName(const char* name)
{
    if (!name)
        return -1;
    const std::string wanted = nameKey(name);
    if (wanted.empty())
        return -1;
    for (const ParameterSpec& spec : kSpecs)
        for (const char* candidate : {spec.panelName, spec.hostName, spec.codeName, spec.symbol})
            if (nameKey(candidate) == wanted)
                return spec.index;
    return -1;
}

} // namespace kalvo
