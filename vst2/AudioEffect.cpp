#include "AudioEffect.h"

#include "AEffEditor.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace
{

// Trampolines stored in the AEffect record: each finds the effect object behind
// the record and calls its virtual operation.
AudioEffect* effectOf(AEffect* e)
{
    return e ? static_cast<AudioEffect*>(e->object) : nullptr;
}

VstIntPtr dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                              float opt)
{
    AudioEffect* effect = effectOf(e);
    if (!effect)
        return 0;
    if (opcode == effClose)
    {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

float getParameterClass(AEffect* e, VstInt32 index)
{
    AudioEffect* effect = effectOf(e);
    return effect ? effect->getParameter(index) : 0.0f;
}

void setParameterClass(AEffect* e, VstInt32 index, float value)
{
    if (AudioEffect* effect = effectOf(e))
        effect->setParameter(index, value);
}

void processClassDeprecated(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames)
{
    if (AudioEffect* effect = effectOf(e))
        effect->process(inputs, outputs, sampleFrames);
}

void processClassReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames)
{
    if (AudioEffect* effect = effectOf(e))
        effect->processReplacing(inputs, outputs, sampleFrames);
}

void processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs, VstInt32 sampleFrames)
{
    if (AudioEffect* effect = effectOf(e))
        effect->processDoubleReplacing(inputs, outputs, sampleFrames);
}

} // namespace

void vstCopyText(char* dst, const char* text, VstInt32 maxLen)
{
    if (!dst || !text || maxLen < 0)
        return;
    VstInt32 n = 0;
    while (n < maxLen && text[n] != 0)
    {
        dst[n] = text[n];
        ++n;
    }
    dst[n] = 0;
}

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams)
{
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClassDeprecated;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = vstFourCC('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
    cEffect.processDoubleReplacing = processClassDoubleReplacing;
}

AudioEffect::~AudioEffect()
{
    delete editor;
    editor = nullptr;
}

void AudioEffect::setFlag(VstInt32 flag, bool state)
{
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

void AudioEffect::setEditor(AEffEditor* newEditor)
{
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    char* text = static_cast<char*>(ptr);
    switch (opcode)
    {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        if (value >= 0 && value < numPrograms)
            setProgram(static_cast<VstInt32>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (text)
            setProgramName(text);
        return 0;
    case effGetProgramName:
        if (text)
            getProgramName(text);
        return 0;
    case effGetParamLabel:
        if (text)
            getParameterLabel(index, text);
        return 0;
    case effGetParamDisplay:
        if (text)
            getParameterDisplay(index, text);
        return 0;
    case effGetParamName:
        if (text)
            getParameterName(index, text);
        return 0;
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        if (value > 0 && value <= INT32_MAX)
            setBlockSize(static_cast<VstInt32>(value));
        return 0;
    case effMainsChanged:
        if (value)
            resume();
        else
            suspend();
        return 0;
    case effEditGetRect:
        if (editor && ptr)
            return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
        return 0;
    case effEditOpen:
        if (editor && ptr)
            return editor->open(ptr) ? 1 : 0;
        return 0;
    case effEditClose:
        if (editor)
            editor->close();
        return 0;
    case effEditIdle:
        if (editor)
            editor->idle();
        return 0;
    case effIdentify:
        return vstFourCC('N', 'v', 'E', 'f');
    case effGetChunk:
        if (ptr)
            return getChunk(static_cast<void**>(ptr), index != 0);
        return 0;
    case effSetChunk:
        if (ptr && value > 0 && value <= INT32_MAX)
            return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
        return 0;
    default:
        return 0;
    }
}

void AudioEffect::getProgramName(char* name)
{
    vstCopyText(name, "", 0);
}

void AudioEffect::getParameterLabel(VstInt32, char* label)
{
    vstCopyText(label, "", 0);
}

void AudioEffect::getParameterDisplay(VstInt32, char* text)
{
    vstCopyText(text, "", 0);
}

void AudioEffect::getParameterName(VstInt32, char* text)
{
    vstCopyText(text, "", 0);
}

void AudioEffect::setSampleRate(float rate)
{
    // A host may send anything here; an unusable rate would later reach the
    // engine's filters and delay line, so it is ignored.
    if (isUsableSampleRate(rate))
        sampleRate = rate;
}

void AudioEffect::setBlockSize(VstInt32 size)
{
    blockSize = size;
}

void AudioEffect::process(float**, float**, VstInt32) {}

void AudioEffect::processReplacing(float**, float**, VstInt32) {}

void AudioEffect::processDoubleReplacing(double**, double**, VstInt32) {}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

VstInt32 AudioEffect::getMasterVersion()
{
    const VstIntPtr version = callHost(audioMasterVersion);
    return version > 0 && version <= INT32_MAX ? static_cast<VstInt32>(version) : 0;
}

VstInt32 AudioEffect::getCurrentUniqueId()
{
    return static_cast<VstInt32>(callHost(audioMasterCurrentId));
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value)
{
    setParameter(index, value);
    if (std::isfinite(value))
        callHost(audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::masterIdle()
{
    callHost(audioMasterIdle);
}

float AudioEffect::updateSampleRate()
{
    const VstIntPtr answer = callHost(audioMasterGetSampleRate);
    if (answer > 0 && isUsableSampleRate(static_cast<double>(answer)))
        sampleRate = static_cast<float>(answer);
    return sampleRate;
}

VstInt32 AudioEffect::updateBlockSize()
{
    const VstIntPtr answer = callHost(audioMasterGetBlockSize);
    if (answer > 0 && answer <= INT32_MAX)
        blockSize = static_cast<VstInt32>(answer);
    return blockSize;
}

bool AudioEffect::beginEdit(VstInt32 index)
{
    return callHost(audioMasterBeginEdit, index) != 0;
}

bool AudioEffect::endEdit(VstInt32 index)
{
    return callHost(audioMasterEndEdit, index) != 0;
}

// ---- text conversions ----

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen)
{
    if (!text || maxLen < 0)
        return;
    if (std::isnan(value))
    {
        vstCopyText(text, "NaN", maxLen);
        return;
    }
    constexpr int kPositions = 8; // sign, digits and point together
    const bool negative = value < 0.0f;
    const double magnitude = negative ? -static_cast<double>(value) : static_cast<double>(value);
    if ((!negative && magnitude > 99999999.0) || (negative && magnitude > 9999999.0))
    {
        vstCopyText(text, "Huge!", maxLen);
        return;
    }

    // Integer digits, least significant first. Up to the "Huge!" limits the sign
    // and the integer digits fit the 8 positions; when they fill all 8 the point
    // is left out (12345678 gives "12345678"), so no leading digit is lost and the
    // text never grows beyond the 8 positions hosts reserve for it.
    char integerDigits[16];
    int digitCount = 0;
    double integer = std::floor(magnitude);
    do
    {
        integerDigits[digitCount++] = static_cast<char>('0' + static_cast<int>(std::fmod(integer, 10.0)));
        integer = std::floor(integer / 10.0);
    } while (integer >= 1.0 && digitCount < 9);

    char result[32];
    int pos = 0;
    int taken = 1; // the point
    if (negative)
    {
        result[pos++] = '-';
        ++taken;
    }
    while (digitCount > 0)
    {
        result[pos++] = integerDigits[--digitCount];
        ++taken;
    }
    if (taken <= kPositions)
        result[pos++] = '.';

    // Fractional digits, truncated: scale the fraction to the remaining
    // positions and take the digits least significant first.
    const int fractionDigits = taken < kPositions ? kPositions - taken : 0;
    double fraction = std::fmod(magnitude, 1.0) * std::pow(10.0, fractionDigits);
    for (int i = fractionDigits - 1; i >= 0; --i)
    {
        if (fraction <= 0.0)
            result[pos + i] = '0';
        else
        {
            result[pos + i] = static_cast<char>('0' + static_cast<int>(std::fmod(fraction, 10.0)));
            fraction /= 10.0;
        }
    }
    pos += fractionDigits;
    result[pos] = 0;
    vstCopyText(text, result, maxLen);
}

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen)
{
    if (value <= 0.0f)
        vstCopyText(text, "-oo", maxLen);
    else
        float2string(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text, maxLen);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen)
{
    // Only large positive values read "Huge!"; every negative value keeps all its digits, down
    // to the most negative one (its magnitude is taken in 64 bits, where it fits).
    if (value >= 100000000)
    {
        vstCopyText(text, "Huge!", maxLen);
        return;
    }
    char result[16];
    int pos = 0;
    std::int64_t magnitude = value;
    if (value < 0)
    {
        result[pos++] = '-';
        magnitude = -magnitude;
    }
    bool leading = true;
    for (std::int64_t place = 1000000000; place >= 1; place /= 10)
    {
        const int digit = static_cast<int>(magnitude / place);
        magnitude -= digit * place;
        if (digit != 0 || !leading)
        {
            leading = false;
            result[pos++] = static_cast<char>('0' + digit);
        }
    }
    result[pos] = 0;
    vstCopyText(text, result, maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen)
{
    const float hz = samples != 0.0f ? sampleRate / samples : 0.0f;
    float2string(hz, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen)
{
    float2string(static_cast<float>(samples * 1000.0 / sampleRate), text, maxLen);
}
