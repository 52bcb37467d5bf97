#include "Vst3Parameters.h"

#include "Vst3Support.h"
#include "effect/BuildRules.h"
#include "effect/HeadControls.h"
#include "effect/KalvoParameters.h"
#include "effect/ParameterText.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace kalvo::vst3adapter
{
namespace
{

constexpr int kProgramCount = kNumFactoryPresets;

double clamp01(double x)
{
    return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x);
}

static_assert(kHeadParamCount == kNumHeadControls, "one parameter per head control");
constexpr int kTrackerStates = 3; // off, listening, port in use

const HeadControlSpec& headSpecOf(vst3::ParamID id)
{
    return headControlSpec(static_cast<int>(id - kFirstHeadParamId));
}

} // namespace

static_assert(isKnobParam(kNumParameters - 1) && !isKnobParam(kNumParameters), "ids 0..12 are the knobs");

vst3::ParamID paramIdAt(int index)
{
    if (index >= 0 && index < kNumParameters)
        return static_cast<vst3::ParamID>(index);
    if (index == kNumParameters)
        return kProgramParamId;
    if (index > kNumParameters && index < kVst3ParameterCount)
        return kFirstMeterParamId + static_cast<vst3::ParamID>(index - kNumParameters - 1);
    if (index >= kVst3ParameterCount && index < kVst3HeadphoneParameterCount)
        return kFirstHeadParamId + static_cast<vst3::ParamID>(index - kVst3ParameterCount);
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
    else if (isHeadParam(id))
    {
        const HeadControlSpec& spec = headSpecOf(id);
        copyToUtf16(info.title, 128, spec.title);
        copyToUtf16(info.shortTitle, 128, spec.title);
        copyToUtf16(info.units, 128, spec.kind == HeadControlKind::Degrees ? "\xc2\xb0" : "");
        info.stepCount = spec.kind == HeadControlKind::Toggle ? 1
                         : spec.kind == HeadControlKind::Port
                             ? static_cast<vst3::int32>(spec.maximum - spec.minimum)
                             : 0;
        info.defaultNormalizedValue = plainToNormalized(id, spec.defaultValue);
        info.flags = vst3::kCanAutomate;
    }
    else if (id == kTrackerStatusParamId)
    {
        copyToUtf16(info.title, 128, "Head tracker status");
        copyToUtf16(info.shortTitle, 128, "Tracker");
        info.stepCount = kTrackerStates - 1;
        info.flags = vst3::kIsReadOnly | vst3::kIsList;
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
        const MeterSpec& meter = meterSpec(static_cast<int>(id - kFirstMeterParamId));
        copyToUtf16(info.title, 128, meter.title);
        copyToUtf16(info.shortTitle, 128, meter.title);
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
    if (isHeadParam(id))
    {
        const HeadControlSpec& spec = headSpecOf(id);
        const double plain = spec.minimum + clamp01(normalized) * (spec.maximum - spec.minimum);
        return spec.kind == HeadControlKind::Degrees ? plain : std::floor(plain + 0.5);
    }
    if (id == kTrackerStatusParamId)
        return std::floor(clamp01(normalized) * (kTrackerStates - 1) + 0.5);
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
    if (isHeadParam(id))
    {
        const HeadControlSpec& spec = headSpecOf(id);
        return std::isnan(plain) ? 0.0 : clamp01((plain - spec.minimum) / (spec.maximum - spec.minimum));
    }
    if (id == kTrackerStatusParamId)
        return std::isnan(plain) ? 0.0 : clamp01(std::floor(plain + 0.5) / (kTrackerStates - 1));
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
    else if (isHeadParam(id))
    {
        const double plain = normalizedToPlain(id, normalized);
        switch (headSpecOf(id).kind)
        {
        case HeadControlKind::Degrees:
            std::snprintf(text, 64, "%.1f", plain);
            break;
        case HeadControlKind::Toggle:
            copyText(text, 64, plain >= 0.5 ? "on" : "off");
            break;
        case HeadControlKind::Port:
            std::snprintf(text, 64, "%.0f", plain);
            break;
        }
    }
    else if (id == kTrackerStatusParamId)
        copyText(text, 64, trackerStatusText(static_cast<TrackerStatus>(normalizedToPlain(id, normalized))));
    else
        return false;
    return true;
}

bool parseParameter(vst3::ParamID id, const char* rawText, double& normalized, const KalvoBuildRules& rules)
{
    if (id == kProgramParamId)
    {
        const std::string word = nameKey(rawText ? rawText : "");
        for (int p = 0; p < kProgramCount; ++p)
            if (!word.empty() && word == nameKey(rules.presetNames[p]))
                return normalized = programToNormalized(p), true;
        return false;
    }
    if (isHeadParam(id) && rawText)
    {
        double plain = 0.0;
        if (!parseHeadControlText(static_cast<int>(id - kFirstHeadParamId), rawText, plain))
            return false;
        normalized = plainToNormalized(id, plain);
        return true;
    }
    if (!isKnobParam(id) || !rawText)
        return false;
    float knob = 0.0f;
    std::string error;
    if (!parseParameterText(static_cast<int>(id), rawText, knob, error))
        return false;
    normalized = static_cast<double>(knob);
    return true;
}

} // namespace kalvo::vst3adapter
