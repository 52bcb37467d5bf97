// The VST 3 audio processor: the same Kalvo effect object the VST 2.4 build exports,
// driven through the processor interfaces. One main input bus of three channels (front
// mid, side, rear mid, declared as the L R C arrangement), one main 5.1 output bus whose
// LFE channel stays silent, 32- and 64-bit processing through processReplacing and
// processDoubleReplacing, so each precision gives the VST 2.4 build's bits.
//
// Parameter changes arrive inside process and are applied at their sample offsets: the
// block is cut at every point. The state a host loads while audio runs is handed to the
// audio thread through atomics and applied at the start of the next block, so that the
// effect object is only ever changed from one thread at a time.
//
// The headphone build (a class of its own, "Zentri Surround Tool Binaural") decodes into a
// scratch 5.1 feed and renders it to a stereo bus of two ears, with the head controls as
// parameters 40..47 and the head tracker's status as output parameter 48. A class of its own
// rather than a stereo arrangement of this one: hosts such as Ardour take a plug-in's channel
// counts from its default arrangement when they scan it, and users find it by its name.
#pragma once

#include "HeadphoneStage.h"
#include "Vst3Interface.h"
#include "Vst3Support.h"
#include "effect/KalvoProgram.h"

#include <atomic>
#include <memory>
#include <vector>

class Kalvo;

namespace kalvo::vst3adapter
{

class KalvoProcessor final : public vst3::IComponent,
                             public vst3::IAudioProcessor,
                             public vst3::IConnectionPoint,
                             public vst3::IProcessContextRequirements
{
public:
    /// Class ids, fixed for ever: hosts store sessions by them.
    static const vst3::Uid cid;
    static const vst3::Uid headphoneCid;

    /// With `headphones`, the headphone build (where the build has headphone monitoring).
    explicit KalvoProcessor(bool headphones = false);

    // FUnknown
    vst3::tresult KALVO_VST3_API queryInterface(const vst3::TUID requested, void** obj) override;
    vst3::uint32 KALVO_VST3_API addRef() override;
    vst3::uint32 KALVO_VST3_API release() override;

    // IPluginBase
    vst3::tresult KALVO_VST3_API initialize(vst3::FUnknown* context) override;
    vst3::tresult KALVO_VST3_API terminate() override;

    // IComponent
    vst3::tresult KALVO_VST3_API getControllerClassId(vst3::TUID classId) override;
    vst3::tresult KALVO_VST3_API setIoMode(vst3::int32 mode) override;
    vst3::int32 KALVO_VST3_API getBusCount(vst3::MediaType type, vst3::BusDirection dir) override;
    vst3::tresult KALVO_VST3_API getBusInfo(vst3::MediaType type, vst3::BusDirection dir, vst3::int32 index,
                                            vst3::BusInfo& bus) override;
    vst3::tresult KALVO_VST3_API getRoutingInfo(vst3::RoutingInfo& inInfo,
                                                vst3::RoutingInfo& outInfo) override;
    vst3::tresult KALVO_VST3_API activateBus(vst3::MediaType type, vst3::BusDirection dir, vst3::int32 index,
                                             vst3::TBool state) override;
    vst3::tresult KALVO_VST3_API setActive(vst3::TBool state) override;
    vst3::tresult KALVO_VST3_API setState(vst3::IBStream* state) override;
    vst3::tresult KALVO_VST3_API getState(vst3::IBStream* state) override;

    // IAudioProcessor
    vst3::tresult KALVO_VST3_API setBusArrangements(vst3::SpeakerArrangement* inputs, vst3::int32 numIns,
                                                    vst3::SpeakerArrangement* outputs,
                                                    vst3::int32 numOuts) override;
    vst3::tresult KALVO_VST3_API getBusArrangement(vst3::BusDirection dir, vst3::int32 index,
                                                   vst3::SpeakerArrangement& arr) override;
    vst3::tresult KALVO_VST3_API canProcessSampleSize(vst3::int32 symbolicSampleSize) override;
    vst3::uint32 KALVO_VST3_API getLatencySamples() override;
    vst3::tresult KALVO_VST3_API setupProcessing(vst3::ProcessSetup& setup) override;
    vst3::tresult KALVO_VST3_API setProcessing(vst3::TBool state) override;
    vst3::tresult KALVO_VST3_API process(vst3::ProcessData& data) override;
    vst3::uint32 KALVO_VST3_API getTailSamples() override;

    // IConnectionPoint: the parts exchange nothing but parameters and state, which the
    // host carries; the connection is accepted and otherwise unused.
    vst3::tresult KALVO_VST3_API connect(vst3::IConnectionPoint* other) override;
    vst3::tresult KALVO_VST3_API disconnect(vst3::IConnectionPoint* other) override;
    vst3::tresult KALVO_VST3_API notify(vst3::IMessage* message) override;

    // IProcessContextRequirements: the decoder needs nothing of the transport.
    vst3::uint32 KALVO_VST3_API getProcessContextRequirements() override;

private:
    ~KalvoProcessor();

    template <typename Sample> void processAudio(vst3::ProcessData& data);
    /// Applies one parameter point at frame `offset` of the block, on the audio thread.
    void applyChange(vst3::ParamID id, double value, vst3::int32 offset);
    /// Applies a state that setState left for the audio thread, if any.
    void applyPendingState();
    /// Reports a program's values, once loaded, as output parameter changes.
    void reportLoadedProgram(vst3::ProcessData& data);
    void reportMeters(vst3::ProcessData& data);
    /// Decodes `frames` frames and, in the headphone build, renders them to the ears.
    template <typename Sample> void render(Sample** in, Sample** out, vst3::int32 frames);
    vst3::int32 outputChannels() const;
    /// Sizes the headphone build's scratch feed for the announced block (allocates).
    void prepareHeadphones();

    RefCount refs;
    std::unique_ptr<Kalvo> effect;
    double sampleRate = 44100.0;
    double builtRate = 0.0; ///< the rate the effect was built at
    vst3::int32 maxBlock = 1024;
    vst3::int32 sampleSize = vst3::kSample32;
    bool active = false;

    /// The knob positions the effect holds, as the audio thread last set them (getState reads).
    std::atomic<float> knobs[kNumParameters];
    /// A loaded state waiting for the audio thread, valid while its serial differs from the applied one.
    std::atomic<float> pendingKnobs[kNumParameters];
    std::atomic<unsigned> pendingSerial{0};
    std::atomic<unsigned> appliedSerial{0};
    /// The meter readings last sent as output parameters (audio thread only).
    float sentMeters[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    /// The values since the program the host chose last, until reported (audio thread only).
    float loadedProgram[kNumParameters] = {};
    vst3::int32 loadedProgramOffset = 0;
    bool loadedProgramToReport = false;

    /// The headphone build's: the ears' renderer, and the decode it renders from.
    std::unique_ptr<HeadphoneStage> headphones;
    std::vector<float> scratch32;
    std::vector<double> scratch64;
    vst3::int32 scratchFrames = 0;
    double preparedRate = 0.0;
    float sentTrackerStatus = -1.0f; ///< audio thread only
    bool headStartsFresh = false;    ///< no block processed since activation
};

} // namespace kalvo::vst3adapter
