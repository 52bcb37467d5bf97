// The LV2 headphone plug-in: the same effect as the 5.1 plug-in decodes into a scratch 5.1
// feed, and the binaural renderer plays it to two ears over virtual speakers, turned with the
// listener's head (the head controls, and a head tracker over OSC when switched on). Both run
// in run(); loading the head-related responses and the tracker's thread belong to
// instantiate and cleanup.
#include "Lv2BinauralPorts.h"
#include "Lv2Effect.h"
#include "dsp/KalvoAlgo.h"
#include "effect/HeadResponses.h"
#include "effect/HeadphoneMonitor.h"

#include <lv2/core/lv2.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace kalvo::lv2::binaural
{
namespace
{

struct Instance : Lv2Effect
{
    Instance(double rate, VstInt32 blockFrames)
        : Lv2Effect(rate, blockFrames), scratchFrames(blockFrames),
          scratch(static_cast<size_t>(Kalvo::kNumChannels) * static_cast<size_t>(blockFrames))
    {
        // KALVO_HRTF names another measured set, as --hrtf does for kalvo-render.
        const char* sofa = std::getenv("KALVO_HRTF");
        std::string error;
        monitor.prepare(rate, sofa && *sofa ? sofa : kDefaultHrtfPath, error);
    }

    HeadphoneMonitor monitor;
    const float* audioIn[kNumAudioInputs] = {};
    float* ear[kNumEarOutputs] = {};
    float* meter[kNumMeters] = {};
    const float* head[kNumHeadControls] = {};
    float headValue[kNumHeadControls] = {};
    float* status = nullptr;
    int scratchFrames;
    std::vector<float> scratch; ///< the 5.1 decode of one piece of a block, channel after channel
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
    if (p < kFirstEarOutput)
        instance->audioIn[p - kFirstAudioInput] = static_cast<const float*>(data);
    else if (p < kFirstHeadPort)
        instance->ear[p - kFirstEarOutput] = static_cast<float*>(data);
    else if (isControlPort(p))
        instance->control[p - kFirstControl] = static_cast<const float*>(data);
    else if (isMeterPort(p))
        instance->meter[p - kFirstMeterPort] = static_cast<float*>(data);
    else if (headControlAt(p) >= 0)
        instance->head[headControlAt(p)] = static_cast<const float*>(data);
    else if (p == kStatusPort)
        instance->status = static_cast<float*>(data);
}

/// Hands the head controls that moved to the monitor.
void applyHead(Instance& instance)
{
    for (int c = 0; c < kNumHeadControls; ++c)
        if (const float* port = instance.head[c])
        {
            const float value = *port;
            if (std::isfinite(value) && value != instance.headValue[c])
            {
                instance.headValue[c] = value;
                instance.monitor.setControl(c, static_cast<double>(value));
            }
        }
}

void activate(LV2_Handle handle)
{
    auto* instance = static_cast<Instance*>(handle);
    instance->applyControls();
    applyHead(*instance);
    instance->effect->resume();
    instance->monitor.reset(); // the head starts where the controls put it
    instance->firstRun = true;
}

void run(LV2_Handle handle, uint32_t frames)
{
    auto* instance = static_cast<Instance*>(handle);
    Kalvo& effect = *instance->effect;
    // As the 5.1 plug-in: values that arrive only with the first run are the starting point.
    const bool delayMoved = instance->applyControls();
    applyHead(*instance);
    if (instance->firstRun && delayMoved)
        effect.resume();
    if (instance->firstRun)
        instance->monitor.reset();
    instance->firstRun = false;
    instance->monitor.keepListening();
    for (uint32_t done = 0; done < frames;)
    {
        const int n = std::min(static_cast<int>(frames - done), instance->scratchFrames);
        float* inputs[Kalvo::kNumChannels] = {};
        for (int c = 0; c < kNumAudioInputs; ++c)
            inputs[c] = instance->audioIn[c] ? const_cast<float*>(instance->audioIn[c]) + done : nullptr;
        float* decoded[Kalvo::kNumChannels];
        for (int c = 0; c < Kalvo::kNumChannels; ++c)
            decoded[c] = instance->scratch.data() + static_cast<size_t>(c) * instance->scratchFrames;
        effect.processReplacing(inputs, decoded, n);
        float* left = instance->ear[0] ? instance->ear[0] + done : nullptr;
        float* right = instance->ear[1] ? instance->ear[1] + done : nullptr;
        if (left && right)
            instance->monitor.process(decoded, left, right, n);
        done += static_cast<uint32_t>(n);
    }
    const KalvoAlgo& algo = effect.getAlgo();
    for (int m = 0; m < kNumMeters; ++m)
        if (float* port = instance->meter[m])
            *port = hostMeterValue(static_cast<float>(algo.meterLevel[m].load()));
    if (instance->status)
        *instance->status = static_cast<float>(instance->monitor.trackerStatus());
}

void deactivate(LV2_Handle handle)
{
    static_cast<Instance*>(handle)->effect->suspend();
}

void cleanup(LV2_Handle handle)
{
    delete static_cast<Instance*>(handle); // closes the tracker's port and ends its thread
}

const void* extensionData(const char*)
{
    return nullptr;
}

const LV2_Descriptor kDescriptor = {kPluginUri, instantiate, connectPort, activate,
                                    run,        deactivate,  cleanup,     extensionData};

} // namespace
} // namespace kalvo::lv2::binaural

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &kalvo::lv2::binaural::kDescriptor : nullptr;
}
