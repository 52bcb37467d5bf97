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
using H = HostText;
using knobmap::KnobMapping;
using knobmap::Scale;

// Levels: the bottom of the range stands for the knob at 0, silence. Sixty decibels below
// full level is where a fader's travel usually ends; the panel shows "-oo" from -40 down.
constexpr KnobMapping kLevelDb{Scale::Decibels, -60.0, 0.0};
constexpr KnobMapping kOmniShare{Scale::Same, 0.0, 1.0};
constexpr KnobMapping kOnOff{Scale::Switch, 0.0, 1.0};

const ParameterSpec kSpecs[kNumParameters] = {
    {kOmniShare, 0, "CenterPolarPattern", "Pattern", "CenterPolarPattern", "CenterPattern", "Center Pattern",
     "POLAR PATTERN", "center_pattern", U::Pattern, "", H::Unit, 0.36f},
    {kOmniShare, 1, "LRPolarPattern", "Pattern", "LRPolarPattern", "FrontPattern", "Front Pattern",
     "POLAR PATTERN", "front_pattern", U::Pattern, "", H::Unit, 0.36f},
    {kOmniShare, 2, "LSRSPolarPattern", "Pattern", "LSRSPolarPattern", "SurroundPattern", "Surround Pattern",
     "POLAR PATTERN", "surround_pattern", U::Pattern, "", H::Unit, 0.36f},
    {knobmap::kFrontAngleDeg, 3, "LROffset", "Angle", "LROffset", "FrontAngle", "Front Angle",
     "MICROPHONE ANGLE", "front_angle", U::FrontAngle, "deg", H::Unit, 0.8f},
    // The host text shows the direction as the panel computes it (0.6 is 144 degrees), not
    // the decoder's internal angle.
    {knobmap::kSurroundDirectionDeg, 4, "LSRSOffset", "Angle", "LSRSOffset", "SurroundAngle",
     "Surround Angle", "MICROPHONE ANGLE", "surround_angle", U::SurroundAngle, "deg", H::PanelUnit, 0.6f},
    {knobmap::kRearDelayMs, 5, "RearDelay", "mSec", "RearDelay", "RearDelay", "Rear Delay", "REAR DELAY",
     "rear_delay", U::DelayMs, "ms", H::Unit, 0.0f},
    {knobmap::kRearLowPassKHz, 6, "RearSlopeFilter", "kHz", "RearSlopeFilter", "RearLowPass", "Rear Low-Pass",
     "REAR LOW-PASS", "rear_lowpass", U::CornerKHz, "kHz", H::Unit, 1.0f},
    {kLevelDb, 7, "FrontLevel", "dB", "FrontLevel", "FrontVolume", "Front Volume", "VOLUME", "front_volume",
     U::LevelDb, "dB", H::Decibels, 1.0f},
    {kLevelDb, 8, "RearLevel", "dB", "RearLevel", "SurroundVolume", "Surround Volume", "VOLUME",
     "surround_volume", U::LevelDb, "dB", H::Decibels, 1.0f},
    {kLevelDb, 9, "CenterLevel", "dB", "CenterLevel", "CenterVolume", "Center Volume", "VOLUME",
     "center_volume", U::LevelDb, "dB", H::Decibels, 1.0f},
    {kOnOff, 10, "", "", "CenterMute", "CenterMute", "Center Mute", "MUTE", "center_mute", U::Switch, "",
     H::None, 0.0f},
    {kOnOff, 11, "", "", "FrontMute", "FrontMute", "Front Mute", "MUTE", "front_mute", U::Switch, "", H::None,
     0.0f},
    {kOnOff, 12, "", "", "RearMute", "SurroundMute", "Surround Mute", "MUTE", "surround_mute", U::Switch, "",
     H::None, 0.0f},
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

bool validIndex(int index)
{
    return index >= 0 && index < kNumParameters;
}

double clampKnob(double x)
{
    return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x);
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
    return parameterSpec(index).toUnit(p);
}

double unitToKnob(int index, double v)
{
    if (std::isnan(v))
        return -1.0;
    return clampKnob(parameterSpec(index).toKnob(v));
}

float panelValue(int index, float p)
{
    return parameterSpec(index).toUnit(p);
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

std::string nameKey(const std::string& text)
{
    std::string out;
    for (unsigned char c : text)
        if (std::isalnum(c))
            out += static_cast<char>(std::tolower(c));
    return out;
}

} // namespace kalvo
