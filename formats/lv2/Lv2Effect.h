// The effect as both LV2 plug-ins of the bundle run it: built at the host's rate and block
// size, and fed the thirteen control ports' values as knob positions.
#pragma once

#include "effect/Kalvo.h"
#include "effect/KalvoParameters.h"

#include <lv2/core/lv2.h>

#include <memory>

namespace kalvo::lv2
{

/// Longest block the effect buffers at once; longer blocks run in pieces inside the effect.
constexpr VstInt32 kBlockFrames = Kalvo::kMaxBufferFrames;

/// The host's largest block, when it says so; our own buffer size otherwise.
VstInt32 maxBlockFrom(const LV2_Feature* const* features);

struct Lv2Effect
{
    /// Builds the effect at `rate` for blocks up to `blockFrames`, switched off, its buffers
    /// and delay line made for that rate. Throws when out of memory.
    Lv2Effect(double rate, VstInt32 blockFrames);

    /// Hands the control ports' values that changed since the last run to the effect; true
    /// when the surround delay moved.
    bool applyControls();

    std::unique_ptr<Kalvo> effect;
    const float* control[kNumParameters] = {};
    /// The knob position last handed to the effect, per parameter.
    float applied[kNumParameters] = {};
    /// The port value that knob position came from: a value that did not move since the
    /// last run costs one comparison, not a conversion (the levels' is a power of ten).
    float converted[kNumParameters] = {};
};

/// A new instance of one of the bundle's plug-ins, or null at a rate the effect cannot run at
/// or when it cannot be built: hosts get no exception across the C interface.
template <typename Instance> LV2_Handle instantiateEffect(double rate, const LV2_Feature* const* features)
{
    if (!(rate >= AudioEffect::kMinSampleRate && rate <= AudioEffect::kMaxSampleRate))
        return nullptr;
    try
    {
        return new Instance(rate, maxBlockFrom(features));
    }
    catch (...)
    {
        return nullptr;
    }
}

} // namespace kalvo::lv2
