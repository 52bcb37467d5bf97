// Kalvo: the surround decoder as a VST 2.4 effect with 6 inputs and 6 outputs.
// Inputs 1 to 3 carry the front cardioid, the sideways figure-eight and the rear
// cardioid; outputs are L, R, C, a silent low-frequency channel, Ls and Rs.
// 13 automatable parameters, 4 user programs and 5 factory presets that the
// editor loads into the current program through parameter index 14.
#pragma once

#include "BuildRules.h"
#include "KalvoProgram.h"
#include "vst2/AudioEffectX.h"

#include <memory>

class KalvoAlgo;

class Kalvo : public AudioEffectX
{
public:
    static constexpr VstInt32 kNumChannels = 6;
    /// Longest block the processing buffers hold; longer host blocks are processed
    /// in pieces of this size (8192 frames are 186 ms at 44.1 kHz).
    static constexpr VstInt32 kMaxBufferFrames = 8192;
    /// The engine's input channels: front mid, side, rear mid.
    static constexpr VstInt32 kNumEngineInputs = 3;

    /// Builds the effect under `rules` (the build's own by default), loads program 0 and
    /// resumes. With rules that create a Kalvo (not a KalvoEdit) the editor is attached here.
    explicit Kalvo(audioMasterCallback audioMaster, const KalvoBuildRules& rules = buildRules());
    ~Kalvo() override;

    // ---- audio ----
    void suspend() override;
    void resume() override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) override;

    // ---- parameters ----
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;

    // ---- programs ----
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;

    // ---- arrangements ----
    bool setSpeakerArrangement(VstSpeakerArrangement* pluginInput,
                               VstSpeakerArrangement* pluginOutput) override;
    bool getSpeakerArrangement(VstSpeakerArrangement** pluginInput,
                               VstSpeakerArrangement** pluginOutput) override;

    // ---- identity ----
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override;
    VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptr, float opt) override;
    VstPlugCategory getPlugCategory() override { return kPlugSurroundFx; }
    VstInt32 canDo(char* text) override;

    // ---- for the editor, tools and tests ----
    const KalvoBuildRules& getRules() const { return rules; }
    KalvoAlgo& getAlgo() { return *algo; }
    const KalvoProgram& getProgramEntry(int entry) const { return programs[entry]; }
    /// Frames per processing piece, from the block size obtained at the last resume.
    VstInt32 getBufferSize() const { return bufferSize; }
    bool isSuspended() const { return suspended; }

protected:
    /// Creates the editor through the factory and attaches it.
    void attachEditor();
    /// Writes silence to every output channel the host passed.
    template <typename Sample> void writeSilence(Sample** outputs, VstInt32 sampleFrames);
    /// (Re)allocates the processing buffers for `frames` frames; false if memory ran out.
    bool allocateBuffers(VstInt32 frames);
    void releaseBuffers();

    const KalvoBuildRules& rules;
    VstSpeakerArrangement* inputArrangement = nullptr;
    VstSpeakerArrangement* outputArrangement = nullptr;
    std::unique_ptr<KalvoProgram[]> programs;
    float currentSampleRate = 44100.0f; ///< Hz, the rate last handed to the engine
    float frontMSWidth = 0.0f;          ///< reserved, index 18
    float rearMSWidth = 0.0f;           ///< reserved, index 19
    float parameterValues[kNumParameters] = {};
    std::unique_ptr<KalvoAlgo> algo;
    VstInt32 bufferSize = 0; ///< frames per buffer; 0 while no buffers are held
    bool suspended = true;
    /// Widened inputs of the single-precision path (the engine reads three channels).
    double* inBuffers[kNumEngineInputs] = {};
    /// Outputs of the single-precision path before narrowing.
    double* outBuffers[kNumChannels] = {};
    /// Stand-in for a null input channel: bufferSize zeros, never written.
    double* silenceBuffer = nullptr;
    /// Stand-in for a null output channel of the double-precision path.
    double* discardBuffer = nullptr;
};

/// The effect as the Mac build creates it: the same effect under the name
/// "KalvoEditGUI", with the editor attached after the effect is built and told of
/// every parameter change a second time.
class KalvoEdit : public Kalvo
{
public:
    explicit KalvoEdit(audioMasterCallback audioMaster, const KalvoBuildRules& rules = buildRules());
    ~KalvoEdit() override = default;

    void setParameter(VstInt32 index, float value) override;
    bool getEffectName(char* name) override;
    bool getProductString(char* text) override;
};

/// Creates the effect object the rules ask for (Kalvo or KalvoEdit); null if memory runs out.
AudioEffect* createEffectInstance(audioMasterCallback audioMaster,
                                  const KalvoBuildRules& rules = buildRules());

/// What the entry point does: refuses a host that answers 0 to the version query,
/// otherwise creates the effect and returns its record (null on failure).
AEffect* kalvoPluginMain(audioMasterCallback audioMaster, const KalvoBuildRules& rules = buildRules());
