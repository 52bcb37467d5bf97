#include "Kalvo.h"

#include "KalvoEditorFactory.h"
#include "KalvoParameters.h"
#include "dsp/KalvoAlgo.h"
#include "vst2/AEffEditor.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace
{

constexpr VstInt32 kWheelVendor = vstFourCC('s', 't', 'C', 'A');
constexpr VstInt32 kWheelMessage = vstFourCC('W', 'h', 'e', 'e');

/// Texts to the host of the parameter names and labels are copied whole; this
/// bound only guards against a missing terminator.
constexpr VstInt32 kNameTextMax = kVstMaxLabelLen - 1;
/// Length given to the number conversions of the parameter display.
constexpr VstInt32 kDisplayTextMax = 16;
/// Doubles added to each processing buffer (two and a half cache lines), so that the
/// buffers do not start a whole number of pages apart.
constexpr std::size_t kBufferPadding = 20;

/// Copies a program name: at most 23 characters, zero-filled to the end.
void copyProgramName(char (&dst)[kProgramNameSize], const char* src)
{
    std::size_t n = 0;
    while (n < kProgramNameSize - 1 && src[n] != 0)
    {
        dst[n] = src[n];
        ++n;
    }
    std::memset(dst + n, 0, kProgramNameSize - n);
}

bool isUserProgram(VstInt32 program)
{
    return program >= 0 && program < kNumUserPrograms;
}

bool validChannelCount(const VstSpeakerArrangement* arrangement)
{
    return arrangement->numChannels >= 0 &&
           arrangement->numChannels <= kVstSpeakerArrangementDeclaredSpeakers;
}

} // namespace

// ---- construction ----

Kalvo::Kalvo(audioMasterCallback audioMaster, const KalvoBuildRules& rules)
    : AudioEffectX(audioMaster, kNumUserPrograms, kNumParameters), rules(rules)
{
    currentSampleRate = updateSampleRate();
    algo = std::make_unique<KalvoAlgo>(currentSampleRate, rules.fadeStepPrecision);
    programs.reset(new KalvoProgram[kNumProgramEntries]);
    frontMSWidth = 0.0f;
    rearMSWidth = 0.0f;
    setNumInputs(kNumChannels);
    setNumOutputs(kNumChannels);

    allocateArrangement(&inputArrangement, kNumChannels);
    if (inputArrangement)
        inputArrangement->type = kSpeakerArr30Cine;
    allocateArrangement(&outputArrangement, kNumChannels);
    if (outputArrangement)
        outputArrangement->type = kSpeakerArr51;

    if (!rules.createsKalvoEdit)
        attachEditor();

    canProcessReplacing(true);
    canDoubleReplacing(true);
    setUniqueID(vstFourCC('Z', 'K', 'V', 'T'));
    bufferSize = 0;

    for (int i = 0; i < kNumFactoryPresets; ++i)
    {
        KalvoProgram& preset = programs[kNumUserPrograms + i];
        std::memcpy(preset.values, kalvo::factoryPresetValues(i), sizeof(preset.values));
        copyProgramName(preset.name, rules.presetNames[i]);
    }

    setProgram(0);
    resume();
}

Kalvo::~Kalvo()
{
    // The editor may still hold on to the effect while it closes; release it
    // before the engine and the programs go away.
    delete editor;
    editor = nullptr;
    deallocateArrangement(&inputArrangement);
    deallocateArrangement(&outputArrangement);
    releaseBuffers();
}

void Kalvo::attachEditor()
{
    if (AEffEditor* created = createKalvoEditor(this))
        setEditor(created);
}

KalvoEdit::KalvoEdit(audioMasterCallback audioMaster, const KalvoBuildRules& rules)
    : Kalvo(audioMaster, rules)
{
    setUniqueID(vstFourCC('Z', 'K', 'V', 'T'));
    attachEditor();
}

AudioEffect* createEffectInstance(audioMasterCallback audioMaster, const KalvoBuildRules& rules)
{
    if (rules.createsKalvoEdit)
        return new (std::nothrow) KalvoEdit(audioMaster, rules);
    return new (std::nothrow) Kalvo(audioMaster, rules);
}

AEffect* kalvoPluginMain(audioMasterCallback audioMaster, const KalvoBuildRules& rules)
{
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    // Nothing may escape into the host: running out of memory while building the
    // effect means no effect.
    try
    {
        AudioEffect* effect = createEffectInstance(audioMaster, rules);
        return effect ? effect->getAeffect() : nullptr;
    }
    catch (...)
    {
        return nullptr;
    }
}

// ---- audio ----

bool Kalvo::allocateBuffers(VstInt32 frames)
{
    releaseBuffers();
    // Each buffer is a little longer than it needs to be: buffers of a power of two frames
    // would start a whole number of pages apart, frame i of every one of them would fall into
    // the same first-level cache set, and the eleven would evict one another on every frame.
    const std::size_t n = static_cast<std::size_t>(frames) + kBufferPadding;
    bool ok = true;
    for (double*& buffer : inBuffers)
        ok = ok && (buffer = new (std::nothrow) double[n]) != nullptr;
    for (double*& buffer : outBuffers)
        ok = ok && (buffer = new (std::nothrow) double[n]) != nullptr;
    ok = ok && (silenceBuffer = new (std::nothrow) double[n]()) != nullptr;
    ok = ok && (discardBuffer = new (std::nothrow) double[n]) != nullptr;
    if (!ok)
    {
        releaseBuffers();
        return false;
    }
    bufferSize = frames;
    return true;
}

void Kalvo::releaseBuffers()
{
    for (double*& buffer : inBuffers)
    {
        delete[] buffer;
        buffer = nullptr;
    }
    for (double*& buffer : outBuffers)
    {
        delete[] buffer;
        buffer = nullptr;
    }
    delete[] silenceBuffer;
    silenceBuffer = nullptr;
    delete[] discardBuffer;
    discardBuffer = nullptr;
    bufferSize = 0;
}

void Kalvo::resume()
{
    currentSampleRate = updateSampleRate();
    algo->setSamplingRate(currentSampleRate);
    algo->reset();
    const VstInt32 frames = std::min(updateBlockSize(), kMaxBufferFrames);
    // Buffers of the right size are kept: some hosts switch the effect off and on
    // from their audio thread, where allocating is best avoided.
    if (frames != bufferSize || !silenceBuffer)
        allocateBuffers(frames);
    suspended = false;
}

void Kalvo::suspend()
{
    // The buffers stay allocated for the next resume; processing while suspended
    // writes silence and leaves the engine alone.
    suspended = true;
}

template <typename Sample> void Kalvo::writeSilence(Sample** outputs, VstInt32 sampleFrames)
{
    if (!outputs)
        return;
    for (VstInt32 c = 0; c < kNumChannels; ++c)
        if (outputs[c])
            std::fill(outputs[c], outputs[c] + sampleFrames, Sample(0));
}

void Kalvo::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    if (sampleFrames <= 0 || !outputs)
        return;
    if (suspended || bufferSize <= 0 || !inputs)
    {
        writeSilence(outputs, sampleFrames);
        return;
    }
    for (VstInt32 done = 0; done < sampleFrames;)
    {
        const VstInt32 n = std::min(bufferSize, sampleFrames - done);
        // Every input is read into the effect's own buffers before any output is
        // written, so the host's buffers may alias one another.
        for (VstInt32 c = 0; c < kNumEngineInputs; ++c)
        {
            if (const float* in = inputs[c])
                for (VstInt32 i = 0; i < n; ++i)
                    inBuffers[c][i] = static_cast<double>(in[done + i]);
            else
                std::fill(inBuffers[c], inBuffers[c] + n, 0.0);
        }
        algo->processSamples(inBuffers, outBuffers, n);
        for (VstInt32 c = 0; c < kNumChannels; ++c)
            if (float* out = outputs[c])
                for (VstInt32 i = 0; i < n; ++i)
                    out[done + i] = static_cast<float>(outBuffers[c][i]);
        done += n;
    }
}

void Kalvo::processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames)
{
    if (sampleFrames <= 0 || !outputs)
        return;
    if (suspended || bufferSize <= 0 || !inputs)
    {
        writeSilence(outputs, sampleFrames);
        return;
    }
    // The engine reads the host's buffers directly: it applies its side-channel
    // gain on the fly (the host's input buffers stay untouched) and reads every
    // input of a frame before writing that frame's outputs, so aliasing buffers
    // are fine. Null channels get the effect's own stand-ins, which hold one
    // buffer's worth of frames; hence the pieces.
    for (VstInt32 done = 0; done < sampleFrames;)
    {
        const VstInt32 n = std::min(bufferSize, sampleFrames - done);
        const double* in[kNumEngineInputs];
        double* out[kNumChannels];
        for (VstInt32 c = 0; c < kNumEngineInputs; ++c)
            in[c] = inputs[c] ? inputs[c] + done : silenceBuffer;
        for (VstInt32 c = 0; c < kNumChannels; ++c)
            out[c] = outputs[c] ? outputs[c] + done : discardBuffer;
        algo->processSamples(in, out, n);
        done += n;
    }
}

// ---- parameters ----

void Kalvo::setParameter(VstInt32 index, float value)
{
    // A non-finite value would poison the engine's coefficients and every text
    // derived from it: the previous value stays.
    if (!std::isfinite(value))
        return;
    if (index >= 0 && index < kNumParameters)
    {
        programs[curProgram].values[index] = value;
        const double v = static_cast<double>(value);
        switch (index)
        {
        case kCenterPolarPattern:
            parameterValues[index] = value;
            algo->centerPattern = v;
            algo->setInternalVariables();
            break;
        case kLRPolarPattern:
            parameterValues[index] = value;
            algo->lrPattern = v;
            algo->setInternalVariables();
            break;
        case kLSRSPolarPattern:
            parameterValues[index] = value;
            algo->lsrsPattern = v;
            algo->setInternalVariables();
            break;
        case kLROffset:
            algo->setLROffset(v);
            break;
        case kLSRSOffset:
            algo->setLSRSOffset(v);
            break;
        case kRearDelay:
            algo->setDelay(v);
            break;
        case kRearSlopeFilter:
            algo->setRearSlopeFilter(v);
            break;
        case kFrontLevel:
            parameterValues[index] = value;
            algo->frontLevel = v;
            algo->setInternalVariables();
            break;
        case kRearLevel:
            parameterValues[index] = value;
            algo->rearLevel = v;
            algo->setInternalVariables();
            break;
        case kCenterLevel:
            parameterValues[index] = value;
            algo->centerLevel = v;
            algo->setInternalVariables();
            break;
        case kCenterMute:
            parameterValues[index] = value;
            algo->centerMute = v;
            break;
        case kFrontMute:
            parameterValues[index] = value;
            algo->frontMute = v;
            break;
        case kRearMute:
            parameterValues[index] = value;
            algo->rearMute = v;
            break;
        default:
            break;
        }
    }
    else if (index == kPresetSelect && value > 0.0f && value < 1000.0f)
    {
        // The preset menu sends 1..5 for the factory presets in entries 4..8.
        setProgram(static_cast<VstInt32>(value) + 3);
    }
    if (editor)
        editor->setParameter(index, value);
}

float Kalvo::getParameter(VstInt32 index)
{
    switch (index)
    {
    case kLROffset:
    case kLSRSOffset:
    case kRearDelay:
    case kRearSlopeFilter:
        return programs[curProgram].values[index];
    case kProgramCount:
        return static_cast<float>(numPrograms);
    case kFrontMSWidth:
        return frontMSWidth;
    case kRearMSWidth:
        return rearMSWidth;
    default:
        break;
    }
    if (index >= 0 && index < kNumParameters)
        return parameterValues[index];
    if (index >= kFirstMeter && index <= kLastMeter)
        return static_cast<float>(algo->meterLevel[index - kFirstMeter]);
    return 0.0f;
}

void Kalvo::getParameterName(VstInt32 index, char* text)
{
    if (index >= 0 && index < kNumParameters)
        vstCopyText(text, kalvo::parameterSpec(index).hostName, kNameTextMax);
    else if (index == kFrontMSWidth)
        vstCopyText(text, "FrontMSWidth", kNameTextMax);
    else if (index == kRearMSWidth)
        vstCopyText(text, "RearMSWidth", kNameTextMax);
    else
        vstCopyText(text, "", kNameTextMax);
}

void Kalvo::getParameterLabel(VstInt32 index, char* label)
{
    if (index >= 0 && index < kNumParameters)
        vstCopyText(label, kalvo::parameterSpec(index).hostLabel, kNameTextMax);
    else if (index == kFrontMSWidth || index == kRearMSWidth)
        vstCopyText(label, "Panorama", kNameTextMax);
    else
        vstCopyText(label, "", kNameTextMax);
}

void Kalvo::getParameterDisplay(VstInt32 index, char* text)
{
    if (index == kFrontMSWidth || index == kRearMSWidth)
    {
        float2string(Kalvo::getParameter(index), text, kDisplayTextMax);
        return;
    }
    if (index < 0 || index >= kNumParameters)
    {
        vstCopyText(text, "", kDisplayTextMax);
        return;
    }
    // The knob position the host reads back, in the unit of the parameter's label.
    const float knob = Kalvo::getParameter(index);
    switch (kalvo::parameterSpec(index).hostText)
    {
    case kalvo::HostText::Unit:
        float2string(static_cast<float>(kalvo::knobToUnit(index, static_cast<double>(knob))), text,
                     kDisplayTextMax);
        break;
    case kalvo::HostText::PanelUnit:
        float2string(kalvo::panelValue(index, knob), text, kDisplayTextMax);
        break;
    case kalvo::HostText::Decibels:
        dB2string(knob, text, kDisplayTextMax);
        break;
    case kalvo::HostText::None:
        vstCopyText(text, "", kDisplayTextMax);
        break;
    }
}

// ---- programs ----

void Kalvo::setProgram(VstInt32 program)
{
    if (program >= kNumUserPrograms && program < kNumProgramEntries)
        std::memcpy(programs[curProgram].values, programs[program].values, sizeof(programs[program].values));
    else if (isUserProgram(program))
        curProgram = program;
    else
        return;
    // Copy first: setParameter writes into the current slot, which may be the source.
    float values[kNumParameters];
    std::memcpy(values, programs[program].values, sizeof(values));
    for (VstInt32 i = 0; i < kNumParameters; ++i)
        setParameter(i, values[i]);
}

void Kalvo::setProgramName(char* name)
{
    if (name)
        copyProgramName(programs[curProgram].name, name);
}

void Kalvo::getProgramName(char* name)
{
    if (!name)
        return;
    const KalvoProgram& program = programs[curProgram];
    if (std::strcmp(program.name, "Edit") == 0)
    {
        // An untouched slot reads "Edit 1" to "Edit 4" (the name and the number counted from 1).
        char numbered[] = "Edit 0";
        numbered[5] = static_cast<char>('1' + curProgram);
        vstCopyText(name, numbered, kVstMaxProgNameLen - 1);
    }
    else
        vstCopyText(name, program.name, kVstMaxProgNameLen - 1);
}

bool Kalvo::getProgramNameIndexed(VstInt32, VstInt32 index, char* text)
{
    if (!text || !isUserProgram(index))
        return false;
    vstCopyText(text, programs[index].name, kVstMaxProgNameLen - 1);
    return true;
}

// ---- arrangements ----

bool Kalvo::setSpeakerArrangement(VstSpeakerArrangement* pluginInput, VstSpeakerArrangement* pluginOutput)
{
    if (!pluginInput || !pluginOutput)
        return false;

    bool inputAccepted = validChannelCount(pluginInput);
    if (inputAccepted)
        inputAccepted = rules.inputArrangement == InputArrangementRule::kExactlySix
                            ? pluginInput->numChannels == kNumChannels
                            : pluginInput->numChannels <= kNumChannels;
    if (inputAccepted)
        inputAccepted = matchArrangement(&inputArrangement, pluginInput);
    if (!inputAccepted && allocateArrangement(&inputArrangement, kNumChannels))
        inputArrangement->type = kSpeakerArr51;
    if (!inputArrangement)
        return false;

    bool outputAccepted =
        validChannelCount(pluginOutput) && pluginOutput->numChannels == inputArrangement->numChannels;
    if (outputAccepted)
        outputAccepted = matchArrangement(&outputArrangement, pluginOutput);
    if (!outputAccepted)
        matchArrangement(&outputArrangement, inputArrangement);

    // The effect keeps processing 6 channels in and out, whatever was negotiated.
    return inputAccepted && outputAccepted;
}

bool Kalvo::getSpeakerArrangement(VstSpeakerArrangement** pluginInput, VstSpeakerArrangement** pluginOutput)
{
    if (!pluginInput || !pluginOutput)
        return false;
    *pluginInput = inputArrangement;
    *pluginOutput = outputArrangement;
    return true;
}

// ---- identity ----

bool Kalvo::getEffectName(char* name)
{
    vstCopyText(name, "Zentri Surround Tool", kVstMaxEffectNameLen - 1);
    return true;
}

bool Kalvo::getVendorString(char* text)
{
    vstCopyText(text, "Velmora", kVstMaxVendorStrLen - 1);
    return true;
}

bool Kalvo::getProductString(char* text)
{
    vstCopyText(text, "Zentri Surround Matrix", kVstMaxProductStrLen - 1);
    return true;
}

VstInt32 Kalvo::getVendorVersion()
{
    return rules.vendorVersion;
}

VstInt32 Kalvo::canDo(char*)
{
    return 0;
}

VstIntPtr Kalvo::vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void*, float opt)
{
    if (editor && lArg == kWheelVendor && lArg2 == kWheelMessage && std::isfinite(opt))
        return editor->onWheel(opt) ? 1 : 0;
    return 0;
}

void KalvoEdit::setParameter(VstInt32 index, float value)
{
    Kalvo::setParameter(index, value);
    if (editor && std::isfinite(value))
        editor->setParameter(index, value);
}

bool KalvoEdit::getEffectName(char* name)
{
    vstCopyText(name, "KalvoEditGUI", kVstMaxEffectNameLen - 1);
    return true;
}

bool KalvoEdit::getProductString(char* text)
{
    vstCopyText(text, "KalvoEditGUI", kVstMaxProductStrLen - 1);
    return true;
}
