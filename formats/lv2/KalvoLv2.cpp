// The LV2 door to the effect: the same Kalvo object as the VST 2.4 build, fed from LV2
// ports. Control ports carry the panel's units; each run turns them into knob positions
// with the parameter table and hands the changed ones to the effect, so a value v here
// decodes exactly like the VST 2.4 build at the knob position v stands for.
#include "Lv2Effect.h"
#include "Lv2Ports.h"
#include "dsp/KalvoAlgo.h"

#include <lv2/core/lv2.h>

#include <memory>

namespace kalvo::lv2
{
namespace
{

struct Instance : Lv2Effect
{
    using Lv2Effect::Lv2Effect;
    const float* audioIn[kNumAudioInputs] = {};
    float* audioOut[kNumAudioOutputs] = {};
    float* meter[kNumMeters] = {};
    bool active = false;
    /// No run since activate: the first run's controls are the session's starting point.
    bool firstRun = false;
};

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features)
{
    return instantiateEffect<Instance>(rate, features);
}

void connectPort(LV2_Handle handle, uint32_t port, void* data)
{
    auto* instance = static_cast<Instance*>(handle);
    const int p = static_cast<int>(port);
    if (p < kFirstAudioOutput)
        instance->audioIn[p - kFirstAudioInput] = static_cast<const float*>(data);
    else if (p < kFirstControl)
        instance->audioOut[p - kFirstAudioOutput] = static_cast<float*>(data);
    else if (isControlPort(p))
        instance->control[p - kFirstControl] = static_cast<const float*>(data);
    else if (isMeterPort(p))
        instance->meter[p - kFirstMeterPort] = static_cast<float*>(data);
}

void deactivate(LV2_Handle handle)
{
    auto* instance = static_cast<Instance*>(handle);
    instance->effect->suspend();
    instance->active = false;
}

void activate(LV2_Handle handle)
{
    auto* instance = static_cast<Instance*>(handle);
    // The values the host set before switching on take effect at once, as they do when a
    // VST 2.4 host sets parameters before resuming: a session that opens with a surround
    // delay starts with it, instead of gliding to it from zero.
    instance->applyControls();
    instance->effect->resume(); // clears the delay line, the filters and the meters
    instance->active = true;
    instance->firstRun = true;
}

void run(LV2_Handle handle, uint32_t frames)
{
    auto* instance = static_cast<Instance*>(handle);
    Kalvo& effect = *instance->effect;
    // Some hosts hand over a session's control values only with the first run, not before
    // activating. The delay then starts at its length, as if the values had come first,
    // instead of gliding to it over the first quarter of a second. Nothing has been
    // processed yet, so switching the effect on again loses nothing; it allocates nothing.
    if (instance->applyControls() && instance->firstRun)
        effect.resume();
    instance->firstRun = false;
    if (frames > 0)
    {
        // The effect's six inputs: the capsules on the first three, nothing on the rest.
        float* inputs[Kalvo::kNumChannels] = {};
        for (int c = 0; c < kNumAudioInputs; ++c)
            inputs[c] = const_cast<float*>(instance->audioIn[c]); // read only
        effect.processReplacing(inputs, instance->audioOut, static_cast<VstInt32>(frames));
    }
    // The meters as getParameter(20 + m) reads them, straight from the engine, with silence as 0.
    const KalvoAlgo& algo = effect.getAlgo();
    for (int m = 0; m < kNumMeters; ++m)
        if (float* port = instance->meter[m])
            *port = hostMeterValue(static_cast<float>(algo.meterLevel[m].load()));
}

void cleanup(LV2_Handle handle)
{
    delete static_cast<Instance*>(handle);
}

const void* extensionData(const char*)
{
    return nullptr;
}

const LV2_Descriptor kDescriptor = {kPluginUri, instantiate, connectPort, activate,
                                    run,        deactivate,  cleanup,     extensionData};

} // namespace
} // namespace kalvo::lv2

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &kalvo::lv2::kDescriptor : nullptr;
}
