#include "Lv2Effect.h"

#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace kalvo::lv2
{
namespace
{

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

} // namespace

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

Lv2Effect::Lv2Effect(double rate, VstInt32 blockFrames)
{
    construction = {static_cast<VstIntPtr>(rate), blockFrames};
    try
    {
        effect = std::make_unique<Kalvo>(hostCallback);
    }
    catch (...)
    {
        construction = {};
        throw;
    }
    construction = {};
    // A rate with a fraction (rare, but hosts may) reaches the engine unrounded.
    effect->setSampleRate(static_cast<float>(rate));
    effect->setBlockSize(blockFrames);
    // Buffers and the delay line for this rate now, not in the audio thread.
    effect->resume();
    effect->suspend();
    for (int i = 0; i < kNumParameters; ++i)
    {
        applied[i] = effect->getParameter(i);
        converted[i] = std::numeric_limits<float>::quiet_NaN();
    }
}

bool Lv2Effect::applyControls()
{
    bool delayMoved = false;
    for (int i = 0; i < kNumParameters; ++i)
    {
        const float* port = control[i];
        if (!port)
            continue;
        const float value = *port;
        // A value that is not a number leaves the last good one; anything else is clamped
        // into the range by the conversion.
        if (!std::isfinite(value) || value == converted[i])
            continue;
        converted[i] = value;
        const float knob = static_cast<float>(unitToKnob(i, static_cast<double>(value)));
        if (knob != applied[i])
        {
            effect->setParameter(i, knob);
            applied[i] = knob;
            delayMoved = delayMoved || i == kRearDelay;
        }
    }
    return delayMoved;
}

} // namespace kalvo::lv2
