// The LV2 door to the effect: the same Kalvo object as the VST 2.4 build, fed from LV2
// ports. Control ports carry the panel's units; each run turns them into knob positions
// with the parameter table and hands the changed ones to the effect, so a value v here
// decodes exactly like the VST 2.4 build at the knob position v stands for.
#include "Lv2Ports.h"
#include "dsp/KalvoAlgo.h"
#include "effect/Kalvo.h"

#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace kalvo::lv2
{
namespace
{

/// Longest block the effect buffers at once; longer blocks run in pieces inside the effect.
constexpr VstInt32 kBlockFrames = Kalvo::kMaxBufferFrames;

/// The rate and block size of the instance being built on this thread. The effect asks
/// for them while it is constructed, and its delay line derives its glide length from the
/// rate it starts with, so they must be known then, exactly as a VST 2.4 host answers.
struct Construction
{
    VstIntPtr rate = 0;
    VstIntPtr blockFrames = 0;
};
thread_local Construction construction;

/// The host side of the effect: the version query, and the rate and block size while the
/// effect is built; later they are handed to the effect directly, so the rest answers 0.
VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    switch (opcode)
    {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetSampleRate:
        return construction.rate;
    case audioMasterGetBlockSize:
        return construction.blockFrames;
    default:
        return 0;
    }
}

struct Instance
{
    std::unique_ptr<Kalvo> effect;
    const float* audioIn[kNumAudioInputs] = {};
    float* audioOut[kNumAudioOutputs] = {};
    const float* control[kNumParameters] = {};
    float* meter[kNumMeters] = {};
    /// The knob position last handed to the effect, per parameter.
    float applied[kNumParameters] = {};
    /// The port value that knob position came from: a value that did not move since the
    /// last run costs one comparison, not a conversion (the levels' is a power of ten).
    float converted[kNumParameters] = {};
    bool active = false;
    /// No run since activate: the first run's controls are the session's starting point.
    bool firstRun = false;
};

/// The host's largest block, when it says so; our own buffer size otherwise.
VstInt32 maxBlockFrom(const LV2_Feature* const* features)
{
    const LV2_URID_Map* map = nullptr;
    const LV2_Options_Option* options = nullptr;
    for (int i = 0; features && features[i]; ++i)
    {
        if (std::strcmp(features[i]->URI, LV2_URID__map) == 0)
            map = static_cast<const LV2_URID_Map*>(features[i]->data);
        else if (std::strcmp(features[i]->URI, LV2_OPTIONS__options) == 0)
            options = static_cast<const LV2_Options_Option*>(features[i]->data);
    }
    if (!map || !options)
        return kBlockFrames;
    const LV2_URID maxBlock = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
    const LV2_URID intType = map->map(map->handle, "http://lv2plug.in/ns/ext/atom#Int");
    for (const LV2_Options_Option* o = options; o->key != 0; ++o)
        if (o->key == maxBlock && o->type == intType && o->size == sizeof(int32_t) && o->value)
        {
            const int32_t frames = *static_cast<const int32_t*>(o->value);
            if (frames > 0)
                return frames < kBlockFrames ? frames : kBlockFrames;
        }
    return kBlockFrames;
}

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features)
{
    if (!(rate >= AudioEffect::kMinSampleRate && rate <= AudioEffect::kMaxSampleRate))
        return nullptr;
    try
    {
        auto instance = std::make_unique<Instance>();
        const VstInt32 blockFrames = maxBlockFrom(features);
        construction = {static_cast<VstIntPtr>(rate), blockFrames};
        instance->effect = std::make_unique<Kalvo>(hostCallback);
        construction = {};
        Kalvo& effect = *instance->effect;
        // A rate with a fraction (rare, but hosts may) reaches the engine unrounded.
        effect.setSampleRate(static_cast<float>(rate));
        effect.setBlockSize(blockFrames);
        // Buffers and the delay line for this rate now, not in the audio thread.
        effect.resume();
        effect.suspend();
        for (int i = 0; i < kNumParameters; ++i)
        {
            instance->applied[i] = effect.getParameter(i);
            instance->converted[i] = std::numeric_limits<float>::quiet_NaN();
        }
        return instance.release();
    }
    catch (...)
    {
        construction = {};
        return nullptr;
    }
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

/// Hands the control ports' values that changed since the last run to the effect; true
/// when the surround delay moved.
bool applyControls(Instance& instance)
{
    bool delayMoved = false;
    for (int i = 0; i < kNumParameters; ++i)
    {
        const float* port = instance.control[i];
        if (!port)
            continue;
        const float value = *port;
        // A value that is not a number leaves the last good one; anything else is clamped
        // into the range by the conversion.
        if (!std::isfinite(value) || value == instance.converted[i])
            continue;
        instance.converted[i] = value;
        const float knob = static_cast<float>(unitToKnob(i, static_cast<double>(value)));
        if (knob != instance.applied[i])
        {
            instance.effect->setParameter(i, knob);
            instance.applied[i] = knob;
            delayMoved = delayMoved || i == kRearDelay;
        }
    }
    return delayMoved;
}

void activate(LV2_Handle handle)
{
    auto* instance = static_cast<Instance*>(handle);
    // The values the host set before switching on take effect at once, as they do when a
    // VST 2.4 host sets parameters before resuming: a session that opens with a surround
    // delay starts with it, instead of gliding to it from zero.
    applyControls(*instance);
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
    if (applyControls(*instance) && instance->firstRun)
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
