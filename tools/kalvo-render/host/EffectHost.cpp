#include "EffectHost.h"

#include <cmath>

namespace render
{
namespace
{

// The host whose effect is being created: during its constructor the effect
// asks for the sample rate before its record can carry a pointer back to us.
thread_local EffectHost* tCreating = nullptr;

constexpr int kEffectChannels = 6;

} // namespace

EffectHost::EffectHost(EffectEntry entry, double sampleRate, int blockSize)
    : sampleRate_(sampleRate), blockSize_(blockSize)
{
    if (!(sampleRate > 0.0) || blockSize <= 0)
    {
        error_ = "invalid sample rate or block size";
        return;
    }
    tCreating = this;
    effect_ = entry ? entry(&EffectHost::hostCallback) : nullptr;
    tCreating = nullptr;
    if (!effect_ || effect_->magic != kEffectMagic)
    {
        effect_ = nullptr;
        error_ = "the effect could not be created";
        return;
    }
    effect_->user = this;
    if (effect_->numInputs < 3 || effect_->numOutputs != kEffectChannels)
    {
        error_ = "the effect does not have the 6 outputs of a 5.1 decoder";
        return;
    }
    floatSilence_.assign(static_cast<size_t>(blockSize), 0.0f);
    doubleSilence_.assign(static_cast<size_t>(blockSize), 0.0);
    // The order in which hosts bring an effect up.
    dispatch(effOpen, 0, 0, nullptr, 0.0f);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate_));
    dispatch(effSetBlockSize, 0, blockSize_, nullptr, 0.0f);
    dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);
}

EffectHost::~EffectHost()
{
    if (!effect_)
        return;
    dispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
    dispatch(effClose, 0, 0, nullptr, 0.0f); // deletes the effect
    effect_ = nullptr;
}

void EffectHost::restart()
{
    dispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
    dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);
}

VstIntPtr EffectHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void EffectHost::setParameter(int index, float value)
{
    effect_->setParameter(effect_, index, value);
}

float EffectHost::getParameter(int index)
{
    return effect_->getParameter(effect_, index);
}

void EffectHost::selectPreset(int number)
{
    // The editor's preset menu sends its entry number on parameter 14.
    effect_->setParameter(effect_, 14, static_cast<float>(number));
}

void EffectHost::process(float* const in[3], float* const out[6], int frames)
{
    float* inputs[kEffectChannels] = {
        in[0], in[1], in[2], floatSilence_.data(), floatSilence_.data(), floatSilence_.data()};
    float* outputs[kEffectChannels] = {out[0], out[1], out[2], out[3], out[4], out[5]};
    effect_->processReplacing(effect_, inputs, outputs, frames);
}

void EffectHost::process(double* const in[3], double* const out[6], int frames)
{
    double* inputs[kEffectChannels] = {
        in[0], in[1], in[2], doubleSilence_.data(), doubleSilence_.data(), doubleSilence_.data()};
    double* outputs[kEffectChannels] = {out[0], out[1], out[2], out[3], out[4], out[5]};
    effect_->processDoubleReplacing(effect_, inputs, outputs, frames);
}

VstIntPtr EffectHost::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    EffectHost* host = (effect && effect->user) ? static_cast<EffectHost*>(effect->user) : tCreating;
    switch (opcode)
    {
    case audioMasterVersion:
        return kVstVersion;
    case audioMasterGetSampleRate:
        return host ? static_cast<VstIntPtr>(std::lround(host->sampleRate_)) : 0;
    case audioMasterGetBlockSize:
        return host ? host->blockSize_ : 0;
    default:
        // Automation, idle and edit gestures need no answer from a renderer.
        return 0;
    }
}

} // namespace render
