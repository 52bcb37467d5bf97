#include "RemoteEffect.h"

#include "KalvoEditorFactory.h"
#include "KalvoParameters.h"
#include "vst2/AEffEditor.h"
#include "vst2/StandaloneHost.h"

#include <cmath>

RemoteEffect::RemoteEffect(Listener& listener, const KalvoBuildRules& rules, bool headphones)
    : AudioEffectX(standaloneHostCallback, kNumUserPrograms, kNumParameters), listener(listener),
      rules(rules), headphones(headphones)
{
    for (int i = 0; i < kNumParameters; ++i)
        values[i] = kalvo::parameterSpec(i).defaultKnob;
    for (int c = 0; c < kalvo::kNumHeadControls; ++c)
        headValues[c] = static_cast<float>(kalvo::headControlSpec(c).defaultValue);
    createKalvoEditor(this);
}

RemoteEffect::~RemoteEffect()
{
    // The editor reads the mirror while it closes.
    delete editor;
    editor = nullptr;
}

void RemoteEffect::show(int index)
{
    if (editor)
        editor->setParameter(index, getParameter(index));
}

void RemoteEffect::reportParameter(int index, float knob)
{
    if (index < 0 || index >= kNumParameters || !std::isfinite(knob))
        return;
    values[index] = knob;
    show(index);
}

void RemoteEffect::reportMeter(int meter, float level)
{
    if (meter < 0 || meter >= kNumMeters || !std::isfinite(level))
        return;
    meters[meter] = level;
}

bool RemoteEffect::isHeadIndex(int index) const
{
    return headphones && kalvo::isHeadParameter(index);
}

void RemoteEffect::reportHeadControl(int control, float value)
{
    if (!headphones || control < 0 || control >= kalvo::kNumHeadControls || !std::isfinite(value))
        return;
    headValues[control] = value;
    show(kalvo::kFirstHeadParameter + control);
}

void RemoteEffect::reportTrackerStatus(int status)
{
    if (!headphones)
        return;
    trackerStatus = static_cast<float>(status);
    show(kalvo::kTrackerStatusParameter);
}

float RemoteEffect::mirrored(int index) const
{
    return index >= 0 && index < kNumParameters ? values[index] : 0.0f;
}

float RemoteEffect::getParameter(VstInt32 index)
{
    if (index >= 0 && index < kNumParameters)
        return values[index];
    if (index == kProgramCount)
        return static_cast<float>(kNumUserPrograms);
    if (index >= kFirstMeter && index <= kLastMeter)
        return meters[index - kFirstMeter];
    if (isHeadIndex(index))
        return headValues[index - kalvo::kFirstHeadParameter];
    if (headphones && index == kalvo::kTrackerStatusParameter)
        return trackerStatus;
    return 0.0f;
}

void RemoteEffect::setParameter(VstInt32 index, float value)
{
    if (!std::isfinite(value))
        return;
    if (index >= 0 && index < kNumParameters)
    {
        values[index] = value;
        show(index);
    }
    else if (isHeadIndex(index))
        reportHeadControl(index - kalvo::kFirstHeadParameter, value);
}

void RemoteEffect::setParameterAutomated(VstInt32 index, float value)
{
    if (!std::isfinite(value))
        return;
    if ((index >= 0 && index < kNumParameters) || isHeadIndex(index))
    {
        setParameter(index, value);
        listener.changed(index, value);
    }
    else if (index == kPresetSelect && value >= 1.0f && value < 1.0f + kNumFactoryPresets)
        choosePreset(static_cast<int>(value) - 1);
}

void RemoteEffect::choosePreset(int preset)
{
    const float* preset_values = kalvo::factoryPresetValues(preset);
    if (!preset_values)
        return;
    // One gesture: a host records the preset as one change of all thirteen, not as
    // thirteen separate edits.
    for (int i = 0; i < kNumParameters; ++i)
        listener.beginGesture(i);
    for (int i = 0; i < kNumParameters; ++i)
    {
        setParameter(i, preset_values[i]);
        listener.changed(i, preset_values[i]);
    }
    for (int i = 0; i < kNumParameters; ++i)
        listener.endGesture(i);
}

bool RemoteEffect::beginEdit(VstInt32 index)
{
    // The preset menu brackets its choice too; choosePreset makes its own gesture.
    if ((index < 0 || index >= kNumParameters) && !isHeadIndex(index))
        return false;
    listener.beginGesture(index);
    return true;
}

bool RemoteEffect::endEdit(VstInt32 index)
{
    if ((index < 0 || index >= kNumParameters) && !isHeadIndex(index))
        return false;
    listener.endGesture(index);
    return true;
}

bool RemoteEffect::getEffectName(char* name)
{
    vstCopyText(name, "Zentri Surround Tool", kVstMaxEffectNameLen - 1);
    return true;
}

bool RemoteEffect::getVendorString(char* text)
{
    vstCopyText(text, "Velmora", kVstMaxVendorStrLen - 1);
    return true;
}
