#include "KalvoProcessor.h"

#include "KalvoController.h"
#include "Vst3Parameters.h"
#include "Vst3State.h"
#include "effect/ChannelLayout.h"
#include "effect/Kalvo.h"
#include "effect/KalvoParameters.h"
#include "vst2/AEffEditor.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace kalvo::vst3adapter
{
namespace
{

/// What the effect under construction learns from its host: the rate and block size
/// the processor builds it for. Set around the construction on the constructing thread;
/// 0 at other times, which leaves the effect with the values the processor gave it.
thread_local float constructionRate = 0.0f;
thread_local VstInt32 constructionBlock = 0;

/// The inner effect's host: the version, and the rate and block size while the effect is
/// built. Afterwards the processor hands both to the effect directly.
VstIntPtr innerHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    switch (opcode)
    {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(constructionRate);
    case audioMasterGetBlockSize:
        return constructionBlock;
    default:
        return 0;
    }
}

/// The effect without an editor of its own: the panel belongs to the controller, which may
/// live apart from the processing.
class ProcessingKalvo : public Kalvo
{
public:
    ProcessingKalvo() : Kalvo(innerHost)
    {
        delete editor;
        setEditor(nullptr);
    }
};

/// A new effect built at `rate`, as a VST 2.4 host builds Kalvo.so when it answers the
/// rate at creation: the delay line's cross-fade length is fixed at construction, so an
/// effect built at another rate and switched would not give the VST 2.4 build's bits.
std::unique_ptr<Kalvo> buildEffect(double rate, vst3::int32 maxBlock)
{
    constructionRate = static_cast<float>(rate);
    constructionBlock = maxBlock;
    std::unique_ptr<Kalvo> effect;
    try
    {
        effect.reset(new ProcessingKalvo());
    }
    catch (...)
    {
    }
    constructionRate = 0.0f;
    constructionBlock = 0;
    if (effect)
    {
        effect->setSampleRate(static_cast<float>(rate));
        effect->setBlockSize(maxBlock);
    }
    return effect;
}

constexpr vst3::int32 kInputChannels = kNumAudioInputs;
constexpr vst3::int32 kOutputChannels = kNumAudioOutputs;
constexpr vst3::uint64 kLfeChannelBit = vst3::uint64{1} << kSilentLfeOutput;
/// Queues of one block the processor follows at once; a host sends one per parameter.
constexpr int kMaxQueues = 32;

struct QueueCursor
{
    vst3::IParamValueQueue* queue;
    vst3::ParamID id;
    vst3::int32 count;
    vst3::int32 next;   ///< index of the point at `offset`, count when done
    vst3::int32 offset; ///< clamped into the block
    double value;
};

/// Moves to the next readable point at or after `cursor.next`.
void loadPoint(QueueCursor& cursor, vst3::int32 frames)
{
    for (; cursor.next < cursor.count; ++cursor.next)
    {
        vst3::int32 offset = 0;
        double value = 0.0;
        if (cursor.queue->getPoint(cursor.next, offset, value) == vst3::kResultOk)
        {
            cursor.offset = std::clamp(offset, 0, frames);
            cursor.value = value;
            return;
        }
    }
}

std::vector<float>& scratchOf(std::vector<float>& scratch32, std::vector<double>&, float)
{
    return scratch32;
}
std::vector<double>& scratchOf(std::vector<float>&, std::vector<double>& scratch64, double)
{
    return scratch64;
}

float** channels(vst3::AudioBusBuffers& bus, float)
{
    return bus.channelBuffers32;
}
double** channels(vst3::AudioBusBuffers& bus, double)
{
    return bus.channelBuffers64;
}

void run(Kalvo& effect, float** in, float** out, vst3::int32 n)
{
    effect.processReplacing(in, out, n);
}
void run(Kalvo& effect, double** in, double** out, vst3::int32 n)
{
    effect.processDoubleReplacing(in, out, n);
}

} // namespace

const vst3::Uid KalvoProcessor::cid{0x6B1C2E7A, 0x94D34F0B, 0x8E21A5C7, 0x3F60D9B2};
const vst3::Uid KalvoProcessor::headphoneCid{0x2D7E91C4, 0x5A0B4F86, 0xB3C81E6D, 0x94F2A057};

KalvoProcessor::KalvoProcessor(bool headphoneBuild)
    : headphones(headphoneBuild ? createHeadphoneStage() : nullptr)
{
    // A fresh program's values, which the effect starts with too: a host that asks for the
    // state before it initialises the processor gets the defaults.
    for (int i = 0; i < kNumParameters; ++i)
    {
        knobs[i].store(parameterSpec(i).defaultKnob);
        pendingKnobs[i].store(parameterSpec(i).defaultKnob);
    }
}

KalvoProcessor::~KalvoProcessor() = default;

vst3::tresult KalvoProcessor::queryInterface(const vst3::TUID requested, void** obj)
{
    if (!obj)
        return vst3::kInvalidArgument;
    if (offerInterface<vst3::IComponent>(requested, this, obj) ||
        offerInterface<vst3::IPluginBase>(requested, static_cast<vst3::IComponent*>(this), obj) ||
        offerInterface<vst3::FUnknown>(requested, static_cast<vst3::IComponent*>(this), obj) ||
        offerInterface<vst3::IAudioProcessor>(requested, this, obj) ||
        offerInterface<vst3::IConnectionPoint>(requested, this, obj) ||
        offerInterface<vst3::IProcessContextRequirements>(requested, this, obj))
        return vst3::kResultOk;
    *obj = nullptr;
    return vst3::kNoInterface;
}

vst3::uint32 KalvoProcessor::addRef()
{
    return refs.add();
}

vst3::uint32 KalvoProcessor::release()
{
    const vst3::uint32 left = refs.drop();
    if (left == 0)
        delete this;
    return left;
}

vst3::tresult KalvoProcessor::initialize(vst3::FUnknown*)
{
    if (effect)
        return vst3::kResultFalse;
    effect = buildEffect(sampleRate, maxBlock);
    if (!effect)
        return vst3::kOutOfMemory;
    builtRate = sampleRate;
    for (int i = 0; i < kNumParameters; ++i)
        knobs[i].store(effect->getParameter(i));
    return vst3::kResultOk;
}

vst3::int32 KalvoProcessor::outputChannels() const
{
    return headphones ? kNumEarOutputs : kOutputChannels;
}

void KalvoProcessor::prepareHeadphones()
{
    if (!headphones)
        return;
    if (preparedRate != sampleRate)
    {
        headphones->prepare(sampleRate);
        preparedRate = sampleRate;
    }
    scratchFrames = std::max<vst3::int32>(maxBlock, 1);
    scratch32.assign(static_cast<size_t>(kOutputChannels) * static_cast<size_t>(scratchFrames), 0.0f);
    scratch64.assign(static_cast<size_t>(kOutputChannels) * static_cast<size_t>(scratchFrames), 0.0);
}

vst3::tresult KalvoProcessor::terminate()
{
    effect.reset();
    active = false;
    return vst3::kResultOk;
}

vst3::tresult KalvoProcessor::getControllerClassId(vst3::TUID classId)
{
    if (!classId)
        return vst3::kInvalidArgument;
    const vst3::Uid& controller = headphones ? KalvoController::headphoneCid : KalvoController::cid;
    for (int i = 0; i < 16; ++i)
        classId[i] = controller.bytes[i];
    return vst3::kResultOk;
}

vst3::tresult KalvoProcessor::setIoMode(vst3::int32)
{
    return vst3::kNotImplemented;
}

vst3::int32 KalvoProcessor::getBusCount(vst3::MediaType type, vst3::BusDirection dir)
{
    return type == vst3::kAudio && (dir == vst3::kInput || dir == vst3::kOutput) ? 1 : 0;
}

vst3::tresult KalvoProcessor::getBusInfo(vst3::MediaType type, vst3::BusDirection dir, vst3::int32 index,
                                         vst3::BusInfo& bus)
{
    if (type != vst3::kAudio || index != 0 || (dir != vst3::kInput && dir != vst3::kOutput))
        return vst3::kInvalidArgument;
    bus = {};
    bus.mediaType = type;
    bus.direction = dir;
    bus.channelCount = dir == vst3::kInput ? kInputChannels : outputChannels();
    copyToUtf16(bus.name, 128,
                dir == vst3::kInput ? kInputBusName
                : headphones        ? kEarBusName
                                    : kOutputBusName);
    bus.busType = vst3::kMainBus;
    bus.flags = vst3::kBusDefaultActive;
    return vst3::kResultOk;
}

vst3::tresult KalvoProcessor::getRoutingInfo(vst3::RoutingInfo&, vst3::RoutingInfo&)
{
    return vst3::kNotImplemented;
}

vst3::tresult KalvoProcessor::activateBus(vst3::MediaType type, vst3::BusDirection dir, vst3::int32 index,
                                          vst3::TBool)
{
    if (type != vst3::kAudio || index != 0 || (dir != vst3::kInput && dir != vst3::kOutput))
        return vst3::kInvalidArgument;
    return vst3::kResultOk;
}

vst3::tresult KalvoProcessor::setActive(vst3::TBool state)
{
    if (!effect)
        return vst3::kNotInitialized;
    if (state)
    {
        // resume allocates the effect's buffers for the announced block size and clears
        // the decoder's signal state; it runs here, on the host's control thread, as does the
        // headphone build's reading of its responses for the rate.
        prepareHeadphones();
        effect->resume();
        applyPendingState();
        if (headphones)
            headphones->reset(); // the head starts where the controls put it
        headStartsFresh = true;
    }
    else
        effect->suspend();
    active = state != 0;
    return vst3::kResultOk;
}

vst3::tresult KalvoProcessor::setState(vst3::IBStream* state)
{
    float loaded[kNumParameters];
    float head[kNumHeadControls];
    for (int c = 0; c < kNumHeadControls; ++c)
        head[c] = static_cast<float>(headControlSpec(c).defaultValue);
    if (!readState(state, loaded, headphones ? head : nullptr))
        return vst3::kResultFalse;
    // The head controls are the stage's atomics, which any thread may set.
    if (headphones)
        for (int c = 0; c < kNumHeadControls; ++c)
            headphones->setControl(c, static_cast<double>(head[c]));
    // A sequence lock: an odd serial marks the values as being written. Every access is
    // sequentially consistent, which orders the values between the serial's stores.
    const unsigned serial = pendingSerial.load();
    pendingSerial.store(serial + 1);
    for (int i = 0; i < kNumParameters; ++i)
        pendingKnobs[i].store(loaded[i]);
    pendingSerial.store(serial + 2);
    if (!active && effect)
        applyPendingState();
    return vst3::kResultOk;
}

vst3::tresult KalvoProcessor::getState(vst3::IBStream* state)
{
    float values[kNumParameters];
    const bool pending = pendingSerial.load() != appliedSerial.load();
    for (int i = 0; i < kNumParameters; ++i)
        values[i] = pending ? pendingKnobs[i].load() : knobs[i].load();
    float head[kNumHeadControls];
    if (headphones)
        for (int c = 0; c < kNumHeadControls; ++c)
            head[c] = static_cast<float>(headphones->control(c));
    return writeState(state, values, headphones ? head : nullptr) ? vst3::kResultOk : vst3::kResultFalse;
}

void KalvoProcessor::applyPendingState()
{
    const unsigned serial = pendingSerial.load();
    if ((serial & 1u) != 0 || serial == appliedSerial.load())
        return;
    float values[kNumParameters];
    for (int i = 0; i < kNumParameters; ++i)
        values[i] = pendingKnobs[i].load();
    if (pendingSerial.load() != serial)
        return; // written meanwhile: the next block takes the newer record
    for (int i = 0; i < kNumParameters; ++i)
    {
        effect->setParameter(i, values[i]);
        knobs[i].store(values[i]);
    }
    appliedSerial.store(serial);
}

vst3::tresult KalvoProcessor::setBusArrangements(vst3::SpeakerArrangement* inputs, vst3::int32 numIns,
                                                 vst3::SpeakerArrangement* outputs, vst3::int32 numOuts)
{
    // The decoder has exactly one shape; whatever else a host proposes, the buses stay
    // as they are, which getBusArrangement keeps reporting.
    const vst3::SpeakerArrangement output = headphones ? vst3::kArrangementStereo : vst3::kArrangement51;
    const bool ours = inputs && outputs && numIns == 1 && numOuts == 1 &&
                      inputs[0] == vst3::kArrangement30Cine && outputs[0] == output;
    return ours ? vst3::kResultTrue : vst3::kResultFalse;
}

vst3::tresult KalvoProcessor::getBusArrangement(vst3::BusDirection dir, vst3::int32 index,
                                                vst3::SpeakerArrangement& arr)
{
    if (index != 0 || (dir != vst3::kInput && dir != vst3::kOutput))
        return vst3::kInvalidArgument;
    arr = dir == vst3::kInput ? vst3::kArrangement30Cine
          : headphones        ? vst3::kArrangementStereo
                              : vst3::kArrangement51;
    return vst3::kResultOk;
}

vst3::tresult KalvoProcessor::canProcessSampleSize(vst3::int32 symbolicSampleSize)
{
    return symbolicSampleSize == vst3::kSample32 || symbolicSampleSize == vst3::kSample64
               ? vst3::kResultTrue
               : vst3::kResultFalse;
}

vst3::uint32 KalvoProcessor::getLatencySamples()
{
    return 0;
}

vst3::uint32 KalvoProcessor::getTailSamples()
{
    return 0;
}

vst3::tresult KalvoProcessor::setupProcessing(vst3::ProcessSetup& setup)
{
    if (active)
        return vst3::kResultFalse;
    // A rate the effect cannot run at would be taken and silently ignored by it (it keeps
    // the last usable one), so the host would hear another rate than it set: refused.
    if (!AudioEffect::isUsableSampleRate(setup.sampleRate) || setup.maxSamplesPerBlock <= 0 ||
        (setup.symbolicSampleSize != vst3::kSample32 && setup.symbolicSampleSize != vst3::kSample64))
        return vst3::kInvalidArgument;
    sampleRate = setup.sampleRate;
    maxBlock = setup.maxSamplesPerBlock;
    sampleSize = setup.symbolicSampleSize;
    if (effect && sampleRate != builtRate)
    {
        // Rebuilt at the new rate with the current settings (see buildEffect).
        if (std::unique_ptr<Kalvo> rebuilt = buildEffect(sampleRate, maxBlock))
        {
            applyPendingState();
            for (int i = 0; i < kNumParameters; ++i)
                rebuilt->setParameter(i, knobs[i].load());
            effect = std::move(rebuilt);
            builtRate = sampleRate;
        }
    }
    if (effect)
    {
        effect->setSampleRate(static_cast<float>(sampleRate));
        effect->setBlockSize(maxBlock);
    }
    return vst3::kResultOk;
}

vst3::tresult KalvoProcessor::setProcessing(vst3::TBool)
{
    return vst3::kResultOk;
}

void KalvoProcessor::applyChange(vst3::ParamID id, double value, vst3::int32 offset)
{
    if (!std::isfinite(value))
        return;
    value = std::clamp(value, 0.0, 1.0);
    if (isHeadParam(id))
    {
        if (headphones)
            headphones->setControl(static_cast<int>(id - kFirstHeadParamId), normalizedToPlain(id, value));
        return;
    }
    if (isKnobParam(id))
    {
        const float knob = static_cast<float>(value);
        effect->setParameter(static_cast<VstInt32>(id), knob);
        knobs[id].store(knob, std::memory_order_relaxed);
        if (loadedProgramToReport)
            loadedProgram[id] = knob; // the host's own later value stands, not the program's
    }
    else if (id == kProgramParamId)
    {
        // The preset selector loads factory program p into the current program, as the
        // panel's menu does in the VST 2.4 build.
        effect->setParameter(kPresetSelect, static_cast<float>(normalizedToProgram(value) + 1));
        for (int i = 0; i < kNumParameters; ++i)
        {
            loadedProgram[i] = effect->getParameter(i);
            knobs[i].store(loadedProgram[i], std::memory_order_relaxed);
        }
        loadedProgramOffset = offset;
        loadedProgramToReport = true;
    }
}

template <typename Sample> void KalvoProcessor::processAudio(vst3::ProcessData& data)
{
    const vst3::int32 frames = std::max(data.numSamples, 0);
    Sample* in[kInputChannels] = {};
    Sample* out[kOutputChannels] = {};
    if (data.numInputs > 0 && data.inputs)
        if (Sample** ch = channels(data.inputs[0], Sample()))
            for (vst3::int32 c = 0; c < std::min(data.inputs[0].numChannels, kInputChannels); ++c)
                in[c] = ch[c];
    if (data.numOutputs > 0 && data.outputs)
    {
        vst3::AudioBusBuffers& bus = data.outputs[0];
        if (Sample** ch = channels(bus, Sample()))
            for (vst3::int32 c = 0; c < std::min(bus.numChannels, kOutputChannels); ++c)
                out[c] = ch[c];
        bus.silenceFlags = !headphones && bus.numChannels > kSilentLfeOutput ? kLfeChannelBit : 0;
    }

    QueueCursor cursors[kMaxQueues];
    int queues = 0;
    if (vst3::IParameterChanges* changes = data.inputParameterChanges)
    {
        const vst3::int32 count = changes->getParameterCount();
        for (vst3::int32 i = 0; i < count && queues < kMaxQueues; ++i)
        {
            vst3::IParamValueQueue* queue = changes->getParameterData(i);
            if (!queue)
                continue;
            const vst3::ParamID id = queue->getParameterId();
            if (!isKnobParam(id) && id != kProgramParamId && !(headphones && isHeadParam(id)))
                continue;
            QueueCursor& cursor = cursors[queues];
            cursor = {queue, id, queue->getPointCount(), 0, 0, 0.0};
            loadPoint(cursor, frames);
            if (cursor.next < cursor.count)
                ++queues;
        }
    }

    // Cut the block at every change point: the frames before a point run with the old
    // value, the point's own frame with the new one.
    vst3::int32 done = 0;
    const auto runTo = [&](vst3::int32 end)
    {
        if (end <= done)
            return;
        Sample* inAt[kInputChannels];
        Sample* outAt[kOutputChannels];
        for (int c = 0; c < kInputChannels; ++c)
            inAt[c] = in[c] ? in[c] + done : nullptr;
        for (int c = 0; c < kOutputChannels; ++c)
            outAt[c] = out[c] ? out[c] + done : nullptr;
        render(inAt, outAt, end - done);
        done = end;
    };
    for (;;)
    {
        vst3::int32 at = frames + 1;
        for (int q = 0; q < queues; ++q)
            if (cursors[q].next < cursors[q].count)
                at = std::min(at, cursors[q].offset);
        if (at > frames)
            break;
        runTo(at);
        for (int q = 0; q < queues; ++q)
        {
            QueueCursor& cursor = cursors[q];
            while (cursor.next < cursor.count && cursor.offset == at)
            {
                applyChange(cursor.id, cursor.value, at);
                ++cursor.next;
                loadPoint(cursor, frames);
            }
        }
        // The head's angles that come with the first block after activation are where it
        // starts, not where it glides to from straight ahead.
        if (at == 0 && headphones && headStartsFresh)
            headphones->reset();
    }
    headStartsFresh = false;
    runTo(frames);
}

template <typename Sample> void KalvoProcessor::render(Sample** in, Sample** out, vst3::int32 frames)
{
    if (!headphones)
    {
        run(*effect, in, out, frames);
        return;
    }
    // The decode goes to the scratch feed, a block of the announced size at a time, and from
    // there to the ears.
    std::vector<Sample>& scratch = scratchOf(scratch32, scratch64, Sample());
    if (scratchFrames <= 0)
    {
        // Never activated: nothing to render with.
        for (int e = 0; e < kNumEarOutputs; ++e)
            if (out[e])
                std::fill(out[e], out[e] + frames, Sample(0));
        return;
    }
    for (vst3::int32 done = 0; done < frames;)
    {
        const vst3::int32 n = std::min(frames - done, scratchFrames);
        Sample* inAt[kInputChannels] = {};
        for (int c = 0; c < kInputChannels; ++c)
            inAt[c] = in[c] ? in[c] + done : nullptr;
        Sample* decoded[kOutputChannels];
        for (int c = 0; c < kOutputChannels; ++c)
            decoded[c] = scratch.data() + static_cast<size_t>(c) * static_cast<size_t>(scratchFrames);
        run(*effect, inAt, decoded, n);
        if (out[0] && out[1])
            headphones->render(decoded, out[0] + done, out[1] + done, n);
        done += n;
    }
}

void KalvoProcessor::reportMeters(vst3::ProcessData& data)
{
    vst3::IParameterChanges* changes = data.outputParameterChanges;
    if (!changes)
        return;
    for (int m = 0; m < kMeterCount; ++m)
    {
        const float level = hostMeterValue(effect->getParameter(kFirstMeter + m));
        if (level == sentMeters[m])
            continue;
        const vst3::ParamID id = kFirstMeterParamId + static_cast<vst3::ParamID>(m);
        vst3::int32 index = 0;
        if (vst3::IParamValueQueue* queue = changes->addParameterData(id, index))
        {
            vst3::int32 point = 0;
            if (queue->addPoint(0, static_cast<double>(level), point) == vst3::kResultOk)
                sentMeters[m] = level;
        }
    }
    if (!headphones)
        return;
    const auto status = static_cast<float>(headphones->trackerStatus());
    vst3::int32 index = 0;
    vst3::int32 point = 0;
    if (status != sentTrackerStatus)
        if (vst3::IParamValueQueue* queue = changes->addParameterData(kTrackerStatusParamId, index))
            if (queue->addPoint(0, plainToNormalized(kTrackerStatusParamId, static_cast<double>(status)),
                                point) == vst3::kResultOk)
                sentTrackerStatus = status;
}

void KalvoProcessor::reportLoadedProgram(vst3::ProcessData& data)
{
    vst3::IParameterChanges* changes = data.outputParameterChanges;
    if (!loadedProgramToReport || !changes)
        return;
    // The host learns a program's values from here, at the frame the program was loaded:
    // the controller cannot ask it to read them again from inside the host's own call.
    // A point the host could not take goes with the next block.
    const vst3::int32 offset = std::clamp(loadedProgramOffset, 0, std::max(data.numSamples - 1, 0));
    bool all = true;
    for (int i = 0; i < kNumParameters; ++i)
    {
        const vst3::ParamID id = static_cast<vst3::ParamID>(i);
        vst3::int32 index = 0;
        vst3::int32 point = 0;
        vst3::IParamValueQueue* queue = changes->addParameterData(id, index);
        all = queue &&
              queue->addPoint(offset, static_cast<double>(loadedProgram[i]), point) == vst3::kResultOk && all;
    }
    loadedProgramToReport = !all;
    loadedProgramOffset = 0;
}

vst3::tresult KalvoProcessor::process(vst3::ProcessData& data)
{
    if (!effect)
        return vst3::kNotInitialized;
    applyPendingState();
    if (headphones)
        headphones->keepListening();
    if (data.symbolicSampleSize == vst3::kSample64)
        processAudio<double>(data);
    else
        processAudio<float>(data);
    reportLoadedProgram(data);
    reportMeters(data);
    return vst3::kResultOk;
}

vst3::tresult KalvoProcessor::connect(vst3::IConnectionPoint* other)
{
    return other ? vst3::kResultOk : vst3::kInvalidArgument;
}

vst3::tresult KalvoProcessor::disconnect(vst3::IConnectionPoint*)
{
    return vst3::kResultOk;
}

vst3::tresult KalvoProcessor::notify(vst3::IMessage*)
{
    return vst3::kResultFalse;
}

vst3::uint32 KalvoProcessor::getProcessContextRequirements()
{
    return 0;
}

} // namespace kalvo::vst3adapter
