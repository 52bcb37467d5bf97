// AudioEffect: turns the AEffect record the host sees into virtual operations of
// an effect object, and wraps the host callback into named requests. Every
// operation has a default that answers 0 or does nothing; an effect overrides
// what it needs.
#pragma once

#include "VstInterface.h"

class AEffEditor;

class AudioEffect
{
public:
    /// Fills the AEffect record: magic "VstP", the trampolines, the counts, 1 input and
    /// 2 outputs, can-replacing, ioRatio 1, identifier "NoEf", version 1.
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    /// Deletes the attached editor.
    virtual ~AudioEffect();

    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    /// Routes one host opcode to the operations below; unknown opcodes answer 0.
    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    // ---- lifecycle ----
    virtual void open() {}
    virtual void close() {}
    /// Audio switched off (effMainsChanged 0).
    virtual void suspend() {}
    /// Audio switched on (effMainsChanged non-zero).
    virtual void resume() {}

    // ---- programs ----
    virtual void setProgram(VstInt32 program) { curProgram = program; }
    virtual VstInt32 getProgram() { return curProgram; }
    virtual void setProgramName(char* name) { (void)name; }
    /// Writes the current program's name; the default writes the empty text.
    virtual void getProgramName(char* name);

    // ---- parameters ----
    virtual void setParameter(VstInt32 index, float value)
    {
        (void)index;
        (void)value;
    }
    virtual float getParameter(VstInt32 index)
    {
        (void)index;
        return 0.0f;
    }
    /// Sets the parameter as if the user changed it, then tells the host (audioMasterAutomate).
    virtual void setParameterAutomated(VstInt32 index, float value);
    /// Unit label, value text and name of a parameter; the defaults write the empty text.
    virtual void getParameterLabel(VstInt32 index, char* label);
    virtual void getParameterDisplay(VstInt32 index, char* text);
    virtual void getParameterName(VstInt32 index, char* text);

    // ---- sample rate and block size, as announced by the host ----
    virtual void setSampleRate(float rate);
    virtual void setBlockSize(VstInt32 size);

    // ---- chunks (programs and banks as opaque data) ----
    virtual VstInt32 getChunk(void** data, bool isPreset)
    {
        (void)data;
        (void)isPreset;
        return 0;
    }
    virtual VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset)
    {
        (void)data;
        (void)byteSize;
        (void)isPreset;
        return 0;
    }

    // ---- processing ----
    /// The old accumulating process call; produces nothing by default.
    virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames);
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames);
    virtual void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames);

    // ---- host requests; each answers 0 (or keeps the stored value) without a host ----
    /// The host's interface version (audioMasterVersion); 0 if it does not answer.
    virtual VstInt32 getMasterVersion();
    /// The identifier of the plug-in the host is loading (audioMasterCurrentId).
    virtual VstInt32 getCurrentUniqueId();
    /// Gives the host a chance to run its idle processing (audioMasterIdle).
    virtual void masterIdle();
    /// Asks the host for the sample rate; keeps the stored one unless the answer is a usable rate.
    virtual float updateSampleRate();
    /// Asks the host for the block size; keeps the stored one unless the answer is positive.
    virtual VstInt32 updateBlockSize();
    /// Brackets a user's edit of a parameter for the host's automation recording.
    virtual bool beginEdit(VstInt32 index);
    virtual bool endEdit(VstInt32 index);

    // ---- set-up of the AEffect record ----
    void setUniqueID(VstInt32 id) { cEffect.uniqueID = id; }
    void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    void canProcessReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
    void canDoubleReplacing(bool state) { setFlag(effFlagsCanDoubleReplacing, state); }
    void programsAreChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
    void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }
    /// Attaches an editor (owned from now on) and sets or clears the has-editor flag.
    void setEditor(AEffEditor* newEditor);

    AEffect* getAeffect() { return &cEffect; }
    AEffEditor* getEditor() { return editor; }
    float getSampleRate() const { return sampleRate; }
    VstInt32 getBlockSize() const { return blockSize; }

    // ---- text conversions for the host's parameter display ----
    /// Decimal text filling 8 positions (sign, digits and point), fraction truncated:
    /// 0.36 gives "0.360000", -0.5 gives "-0.50000", 12345.678 gives "12345.67".
    static void float2string(float value, char* text, VstInt32 maxLen);
    /// 20·log10(value) through float2string; "-oo" for 0 and below: 1 gives "0.000000".
    static void dB2string(float value, char* text, VstInt32 maxLen);
    /// Decimal integer without leading zeros: -25 gives "-25", 0 gives the empty text; from
    /// 100000000 upward "Huge!", while negative values of any size keep all their digits.
    static void int2string(VstInt32 value, char* text, VstInt32 maxLen);
    /// A number of samples as a frequency in Hz at the current sample rate.
    void Hz2string(float samples, char* text, VstInt32 maxLen);
    /// A number of samples as a duration in milliseconds at the current sample rate.
    void ms2string(float samples, char* text, VstInt32 maxLen);

    /// Sample rates a host may set; anything else (0, negative, NaN, absurdly high) is ignored.
    static constexpr float kMinSampleRate = 1000.0f;
    static constexpr float kMaxSampleRate = 1536000.0f;
    static bool isUsableSampleRate(double rate) { return rate >= kMinSampleRate && rate <= kMaxSampleRate; }

protected:
    /// Calls the host; 0 without a host callback.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    void setFlag(VstInt32 flag, bool state);

    audioMasterCallback audioMaster = nullptr; ///< host callback, may be null
    AEffEditor* editor = nullptr;              ///< attached editor, owned
    float sampleRate = 44100.0f;               ///< Hz
    VstInt32 blockSize = 1024;                 ///< frames
    VstInt32 numPrograms = 0;
    VstInt32 numParams = 0;
    VstInt32 curProgram = 0;
    AEffect cEffect; ///< the record handed to the host
};

/// Copies `text` into `dst`: at most maxLen characters, then a terminator. Null or
/// negative arguments write nothing. Used for every text handed to the host.
void vstCopyText(char* dst, const char* text, VstInt32 maxLen);
