#pragma once

// A minimal host for one effect: creates it through its entry point, tells it
// the sample rate and block size the way hosts do (effSetSampleRate,
// effSetBlockSize, then effMainsChanged on, answering the effect's own
// questions for rate and block size with the same values), sets parameters
// through AEffect::setParameter and processes through the effect's
// replacing calls, single or double precision.

#include "vst2/VstInterface.h"

#include <string>
#include <vector>

namespace render
{

/// An effect's exported entry point (VSTPluginMain or a linked equivalent).
using EffectEntry = AEffect* (*)(audioMasterCallback);

class EffectHost
{
public:
    /// Creates and starts the effect; check ok() afterwards.
    EffectHost(EffectEntry entry, double sampleRate, int blockSize);
    ~EffectHost();
    EffectHost(const EffectHost&) = delete;
    EffectHost& operator=(const EffectHost&) = delete;

    /// True when the effect exists and has the six inputs and outputs of a
    /// surround decoder; otherwise error() says why.
    bool ok() const { return effect_ != nullptr && error_.empty(); }
    const std::string& error() const { return error_; }
    AEffect* effect() const { return effect_; }
    int blockSize() const { return blockSize_; }
    double sampleRate() const { return sampleRate_; }

    void setParameter(int index, float value);
    float getParameter(int index);
    /// Loads preset menu entry 1..5 the way the editor's preset menu does.
    void selectPreset(int number);
    /// Switches the effect off and on again, as a host does between setting up a session
    /// and playing it: what was set so far is in place from the first frame on (a surround
    /// delay starts at its length instead of gliding to it).
    void restart();

    /// Processes `frames` (at most blockSize) frames of three input channels
    /// (front mid, side, rear mid) into six outputs (L, R, C, LFE, Ls, Rs).
    /// The effect may scale its input buffers in place, as hosts allow.
    void process(float* const in[3], float* const out[6], int frames);
    void process(double* const in[3], double* const out[6], int frames);

    /// Answers the effect's requests to its host.
    static VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                  void* ptr, float opt);

private:
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    double sampleRate_;
    int blockSize_;
    AEffect* effect_ = nullptr;
    std::string error_;
    // Zeros for the effect's unused inputs 4 to 6.
    std::vector<float> floatSilence_;
    std::vector<double> doubleSilence_;
};

} // namespace render
