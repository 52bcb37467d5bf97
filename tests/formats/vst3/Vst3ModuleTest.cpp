// The built Kalvo.vst3 module through a small VST 3 host: identity, buses, parameters,
// audio against the VST 2.4 build Kalvo.so, state, programs.
#include "Vst3Module.h"
#include "KalvoVersion.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace vst3test;

namespace
{

const char* const kPresetNames[5] = {"5-Channel", "4-Channel optimized", "XY Stereo 90\xc2\xb0",
                                     "XY Stereo 60\xc2\xb0", "5-Channel Musical"};
const float kPresetMusical[13] = {0.36f, 0.36f, 0.36f, 1.0f, 0.64f, 0.361f, 0.265f,
                                  1.0f,  1.0f,  0.7f,  0.0f, 0.0f,  0.0f};

/// Deterministic test signals: three microphone channels of noise-like values in -0.5..0.5.
template <typename Sample> std::vector<std::vector<Sample>> microphoneSignals(int frames, unsigned seed = 1)
{
    std::vector<std::vector<Sample>> ch(3, std::vector<Sample>(static_cast<size_t>(frames)));
    std::uint32_t x = seed;
    for (auto& channel : ch)
        for (Sample& s : channel)
        {
            x = x * 1664525u + 1013904223u;
            s = static_cast<Sample>(static_cast<double>(x >> 8) / 16777216.0 - 0.5);
        }
    return ch;
}

/// Six output channels and the pointer tables of three inputs and six outputs.
template <typename Sample> struct Buffers
{
    Buffers(const std::vector<std::vector<Sample>>& input, int frames)
        : in(input), out(6, std::vector<Sample>(static_cast<size_t>(frames), Sample(-7)))
    {
        for (int c = 0; c < 3; ++c)
            inPtr[c] = in[static_cast<size_t>(c)].data();
        for (int c = 0; c < 6; ++c)
            outPtr[c] = out[static_cast<size_t>(c)].data();
    }
    std::vector<std::vector<Sample>> in, out;
    Sample* inPtr[6] = {};
    Sample* outPtr[6] = {};
};

/// A parameter change at a frame of the signal.
struct Change
{
    int frame;
    vst3::ParamID id;
    float knob;
};

/// The VST 2.4 build's decode of `input` at `rate` with `changes` applied at their frames.
template <typename Sample>
std::vector<std::vector<Sample>> vst2Decode(const std::vector<std::vector<Sample>>& input, double rate,
                                            int block, const std::vector<Change>& changes)
{
    TestHost host;
    host.sampleRate = static_cast<VstIntPtr>(rate);
    host.blockSize = block;
    PluginLibrary library;
    AEffect* e = library.create(TestHost::callback);
    EXPECT_NE(e, nullptr) << library.error;
    if (!e)
        return {};
    call(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    call(e, effSetBlockSize, 0, block);
    call(e, effMainsChanged, 0, 1);
    const int frames = static_cast<int>(input[0].size());
    Buffers<Sample> b(input, frames);
    int done = 0;
    size_t next = 0;
    while (done < frames)
    {
        while (next < changes.size() && changes[next].frame <= done)
        {
            e->setParameter(e, static_cast<VstInt32>(changes[next].id), changes[next].knob);
            ++next;
        }
        int end = std::min(frames, done + block);
        if (next < changes.size())
            end = std::min(end, changes[next].frame);
        Sample* in[6];
        Sample* out[6];
        for (int c = 0; c < 6; ++c)
        {
            in[c] = c < 3 ? b.inPtr[c] + done : nullptr;
            out[c] = b.outPtr[c] + done;
        }
        if constexpr (sizeof(Sample) == 8)
            e->processDoubleReplacing(e, in, out, end - done);
        else
            e->processReplacing(e, in, out, end - done);
        done = end;
    }
    call(e, effMainsChanged, 0, 0);
    call(e, effClose);
    return b.out;
}

/// The VST 3 module's decode: blocks of `block` frames, each change a point in its block.
template <typename Sample>
std::vector<std::vector<Sample>> vst3Decode(const std::vector<std::vector<Sample>>& input, double rate,
                                            int block, const std::vector<Change>& changes,
                                            bool inPlace = false)
{
    Instance plugin(rate, block, sizeof(Sample) == 8 ? vst3::kSample64 : vst3::kSample32);
    const int frames = static_cast<int>(input[0].size());
    Buffers<Sample> b(input, frames);
    if (inPlace) // outputs L, R, C in the input buffers
        for (int c = 0; c < 3; ++c)
            b.outPtr[c] = b.inPtr[c];
    ParamChanges params;
    for (int done = 0; done < frames; done += block)
    {
        const int n = std::min(block, frames - done);
        params.clear();
        for (const Change& change : changes)
            if (change.frame >= done && change.frame < done + n)
                params.add(change.id, change.frame - done, change.knob);
        Sample* in[3];
        Sample* out[6];
        for (int c = 0; c < 3; ++c)
            in[c] = b.inPtr[c] + done;
        for (int c = 0; c < 6; ++c)
            out[c] = b.outPtr[c] + done;
        EXPECT_EQ(plugin.process(in, out, n, &params), vst3::kResultOk);
    }
    if (inPlace)
        for (int c = 0; c < 3; ++c)
            b.out[static_cast<size_t>(c)] = b.in[static_cast<size_t>(c)];
    return b.out;
}

template <typename Sample>
void expectSameBits(const std::vector<std::vector<Sample>>& a, const std::vector<std::vector<Sample>>& b,
                    const std::string& what)
{
    ASSERT_EQ(a.size(), b.size()) << what;
    for (size_t c = 0; c < a.size(); ++c)
    {
        ASSERT_EQ(a[c].size(), b[c].size()) << what;
        for (size_t i = 0; i < a[c].size(); ++i)
            if (std::memcmp(&a[c][i], &b[c][i], sizeof(Sample)) != 0)
            {
                ADD_FAILURE() << what << ": channel " << c << " frame " << i << ": " << a[c][i] << " vs "
                              << b[c][i];
                return;
            }
    }
}

std::string paramText(vst3::IEditController* c, vst3::ParamID id, double value)
{
    vst3::String128 text{};
    if (c->getParamStringByValue(id, value, text) != vst3::kResultOk)
        return "<refused>";
    return utf8(text);
}

/// The value typed text gives, or -1 when the controller refuses it.
double typed(vst3::IEditController* c, vst3::ParamID id, const std::string& text)
{
    std::u16string t = utf16(text);
    vst3::TChar buffer[128] = {};
    std::copy(t.begin(), t.end(), buffer);
    double value = 0.0;
    return c->getParamValueByString(id, buffer, value) == vst3::kResultOk ? value : -1.0;
}

std::vector<unsigned char> stateOf(vst3::IComponent* component)
{
    MemoryStream stream;
    EXPECT_EQ(component->getState(&stream), vst3::kResultOk);
    return stream.bytes;
}

} // namespace

TEST(Vst3Module, LoadsAndDescribesItsClasses)
{
    Module& module = Module::shared();
    ASSERT_TRUE(module.library.loaded()) << module.library.error;
    EXPECT_TRUE(module.entered);
    ASSERT_NE(module.factory, nullptr);

    vst3::PFactoryInfo info{};
    ASSERT_EQ(module.factory->getFactoryInfo(&info), vst3::kResultOk);
    EXPECT_STREQ(info.vendor, "Velmora");
    EXPECT_EQ(info.flags & vst3::kFactoryFlagUnicode, vst3::kFactoryFlagUnicode);
    // The 5.1 build's processor and controller; where the build has headphone monitoring, the
    // headphone build's too.
    const int classes = KALVO_VST3_HEADPHONES ? 4 : 2;
    ASSERT_EQ(module.factory->countClasses(), classes);

    auto* factory3 = query<vst3::IPluginFactory3>(module.factory);
    ASSERT_NE(factory3, nullptr);
    const char* categories[2] = {"Audio Module Class", "Component Controller Class"};
    for (int i = 0; i < classes; ++i)
    {
        vst3::PClassInfo2 info2{};
        vst3::PClassInfoW infoW{};
        ASSERT_EQ(factory3->getClassInfo2(i, &info2), vst3::kResultOk);
        ASSERT_EQ(factory3->getClassInfoUnicode(i, &infoW), vst3::kResultOk);
        EXPECT_STREQ(info2.category, categories[i % 2]);
        EXPECT_EQ(std::memcmp(info2.cid, infoW.cid, 16), 0);
        EXPECT_EQ(std::memcmp(info2.cid, classId(i).data(), 16), 0);
        EXPECT_STREQ(info2.vendor, "Velmora");
        EXPECT_EQ(utf8(infoW.vendor), "Velmora");
        EXPECT_EQ(std::string(info2.version), std::string(KALVO_VERSION_STRING) + ".0");
        EXPECT_EQ(utf8(infoW.name), info2.name);
        EXPECT_STREQ(info2.sdkVersion, "VST 3.7.14");
    }
    vst3::PClassInfo2 processor{};
    factory3->getClassInfo2(0, &processor);
    EXPECT_STREQ(processor.name, "Zentri Surround Tool");
    EXPECT_STREQ(processor.subCategories, "Fx|Spatial|Surround");
    if (KALVO_VST3_HEADPHONES)
    {
        factory3->getClassInfo2(2, &processor);
        EXPECT_STREQ(processor.name, "Zentri Surround Tool Binaural");
    }
    factory3->release();

    // A class id the module does not know, or a known class asked for a foreign interface.
    void* obj = reinterpret_cast<void*>(1);
    const char unknown[16] = {1, 2, 3};
    EXPECT_NE(module.factory->createInstance(unknown, vst3::IComponent::iid.bytes, &obj), vst3::kResultOk);
    EXPECT_EQ(obj, nullptr);
    EXPECT_NE(module.factory->createInstance(classId(0).data(), vst3::IEditController::iid.bytes, &obj),
              vst3::kResultOk);
    EXPECT_EQ(obj, nullptr);

    // The processor names class 1 as its controller.
    Instance plugin;
    char controllerId[16] = {};
    ASSERT_EQ(plugin.component->getControllerClassId(controllerId), vst3::kResultOk);
    EXPECT_EQ(std::memcmp(controllerId, classId(1).data(), 16), 0);
    EXPECT_EQ(plugin.processor->getLatencySamples(), 0u);
    EXPECT_EQ(plugin.processor->getTailSamples(), 0u);
}

TEST(Vst3Module, OffersOneThreeChannelInputAndOneFivePointOneOutputOnly)
{
    Instance plugin(44100.0, 512, vst3::kSample32, false);
    vst3::IComponent* c = plugin.component;
    EXPECT_EQ(c->getBusCount(vst3::kAudio, vst3::kInput), 1);
    EXPECT_EQ(c->getBusCount(vst3::kAudio, vst3::kOutput), 1);
    EXPECT_EQ(c->getBusCount(vst3::kEvent, vst3::kInput), 0);
    vst3::BusInfo in{}, out{};
    ASSERT_EQ(c->getBusInfo(vst3::kAudio, vst3::kInput, 0, in), vst3::kResultOk);
    ASSERT_EQ(c->getBusInfo(vst3::kAudio, vst3::kOutput, 0, out), vst3::kResultOk);
    EXPECT_EQ(in.channelCount, 3);
    EXPECT_EQ(utf8(in.name), "Front Mid, Side, Rear Mid");
    EXPECT_EQ(out.channelCount, 6);
    EXPECT_EQ(in.busType, vst3::kMainBus);
    EXPECT_NE(c->getBusInfo(vst3::kAudio, vst3::kInput, 1, in), vst3::kResultOk);

    vst3::IAudioProcessor* p = plugin.processor;
    vst3::SpeakerArrangement threeZero = vst3::kArrangement30Cine, fiveOne = vst3::kArrangement51;
    vst3::SpeakerArrangement stereo = 0x3, music = vst3::kArrangement30Music;
    EXPECT_EQ(p->setBusArrangements(&threeZero, 1, &fiveOne, 1), vst3::kResultTrue);
    EXPECT_EQ(p->setBusArrangements(&stereo, 1, &stereo, 1), vst3::kResultFalse);
    EXPECT_EQ(p->setBusArrangements(&music, 1, &fiveOne, 1), vst3::kResultFalse);
    EXPECT_EQ(p->setBusArrangements(&threeZero, 1, &fiveOne, 0), vst3::kResultFalse);
    vst3::SpeakerArrangement arr = 0;
    ASSERT_EQ(p->getBusArrangement(vst3::kInput, 0, arr), vst3::kResultOk);
    EXPECT_EQ(arr, vst3::kArrangement30Cine); // still, after the refusals
    ASSERT_EQ(p->getBusArrangement(vst3::kOutput, 0, arr), vst3::kResultOk);
    EXPECT_EQ(arr, vst3::kArrangement51);
    EXPECT_EQ(p->canProcessSampleSize(vst3::kSample32), vst3::kResultTrue);
    EXPECT_EQ(p->canProcessSampleSize(vst3::kSample64), vst3::kResultTrue);
    EXPECT_EQ(p->canProcessSampleSize(7), vst3::kResultFalse);
}

TEST(Vst3Module, ListsTheThirteenParametersInThePanelsUnits)
{
    Instance plugin;
    vst3::IEditController* c = plugin.controller;
    ASSERT_EQ(c->getParameterCount(), 22);
    const char* titles[13] = {"Center Pattern",  "Front Pattern", "Surround Pattern", "Front Angle",
                              "Surround Angle",  "Rear Delay",    "Rear Low-Pass",    "Front Volume",
                              "Surround Volume", "Center Volume", "Center Mute",      "Front Mute",
                              "Surround Mute"};
    const char* units[13] = {"", "", "", "deg", "deg", "ms", "kHz", "dB", "dB", "dB", "", "", ""};
    const double defaults[13] = {0.36f, 0.36f, 0.36f, 0.8f, 0.6f, 0.0, 1.0, 1.0, 1.0, 1.0, 0.0, 0.0, 0.0};
    for (int i = 0; i < 13; ++i)
    {
        vst3::ParameterInfo info{};
        ASSERT_EQ(c->getParameterInfo(i, info), vst3::kResultOk);
        EXPECT_EQ(info.id, static_cast<vst3::ParamID>(i));
        EXPECT_EQ(utf8(info.title), titles[i]);
        EXPECT_EQ(utf8(info.units), units[i]);
        EXPECT_EQ(info.stepCount, i >= 10 ? 1 : 0);
        EXPECT_EQ(info.defaultNormalizedValue, defaults[i]) << i;
        EXPECT_EQ(info.flags, vst3::kCanAutomate);
        EXPECT_EQ(c->getParamNormalized(info.id), defaults[i]) << "a fresh controller holds the defaults";
    }
    vst3::ParameterInfo program{}, meter{};
    ASSERT_EQ(c->getParameterInfo(13, program), vst3::kResultOk);
    EXPECT_EQ(program.flags, vst3::kIsProgramChange | vst3::kIsList);
    EXPECT_EQ(program.stepCount, 4);
    ASSERT_EQ(c->getParameterInfo(14, meter), vst3::kResultOk);
    EXPECT_EQ(meter.id, 20u);
    EXPECT_EQ(meter.flags, vst3::kIsReadOnly);
    vst3::ParameterInfo none{};
    EXPECT_NE(c->getParameterInfo(22, none), vst3::kResultOk);
    EXPECT_NE(c->getParameterInfo(-1, none), vst3::kResultOk);

    // Plain values in the panel's units.
    EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(3, 0.5), 45.0);
    EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(4, 0.6), 144.0);
    EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(5, 1.0), 55.0);
    EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(6, 0.5), 10.5);
    EXPECT_NEAR(c->normalizedParamToPlain(7, 0.5), -6.0206, 1e-4);
    EXPECT_DOUBLE_EQ(c->plainParamToNormalized(4, 144.0), 0.6);
    EXPECT_DOUBLE_EQ(c->plainParamToNormalized(7, 0.0), 1.0);
    EXPECT_DOUBLE_EQ(c->plainParamToNormalized(3, 500.0), 1.0) << "clamped";
    for (vst3::ParamID id = 0; id < 10; ++id)
        for (double v : {0.1, 0.25, 0.75, 1.0})
            EXPECT_NEAR(c->plainParamToNormalized(id, c->normalizedParamToPlain(id, v)), v, 1e-12) << id;
}

TEST(Vst3Module, ShowsThePanelsTextsAndReadsTypedValues)
{
    Instance plugin;
    vst3::IEditController* c = plugin.controller;
    EXPECT_EQ(paramText(c, 0, 0.36f), "0.36");
    EXPECT_EQ(paramText(c, 3, 0.8f), " 72\xc2\xb0");
    EXPECT_EQ(paramText(c, 4, 0.6f), "144\xc2\xb0");
    EXPECT_EQ(paramText(c, 5, 0.5), "27.5");
    EXPECT_EQ(paramText(c, 6, 1.0), "off");
    EXPECT_EQ(paramText(c, 7, 1.0), "0.0dB");
    EXPECT_EQ(paramText(c, 8, 0.0), "-oo");
    EXPECT_EQ(paramText(c, 10, 1.0), "on");
    EXPECT_EQ(paramText(c, 11, 0.0), "off");
    EXPECT_EQ(paramText(c, 14, 0.25), "4-Channel optimized");

    EXPECT_DOUBLE_EQ(typed(c, 3, "45"), 0.5);
    EXPECT_DOUBLE_EQ(typed(c, 3, " 45 deg"), 0.5);
    EXPECT_EQ(typed(c, 4, "144"), static_cast<float>(0.6));
    EXPECT_EQ(typed(c, 5, "11 ms"), 0.2f);
    EXPECT_DOUBLE_EQ(typed(c, 6, "off"), 1.0);
    EXPECT_EQ(typed(c, 6, "8000 Hz"), static_cast<float>(7.0 / 19.0));
    EXPECT_EQ(typed(c, 7, "-6 dB"), static_cast<float>(std::pow(10.0, -6.0 / 20.0)));
    EXPECT_DOUBLE_EQ(typed(c, 7, "-oo"), 0.0);
    EXPECT_DOUBLE_EQ(typed(c, 1, "cardioid"), 0.5);
    EXPECT_DOUBLE_EQ(typed(c, 1, "figure of eight"), 0.0);
    EXPECT_DOUBLE_EQ(typed(c, 12, "on"), 1.0);
    EXPECT_DOUBLE_EQ(typed(c, 2, "50%"), 0.5);
    EXPECT_DOUBLE_EQ(typed(c, 14, "XY Stereo 60\xc2\xb0"), 0.75);
    for (const char* bad : {"", "loud", "95", "12 dB", "45 ms", "maybe", "nan"})
        EXPECT_EQ(typed(c, 3, bad), -1.0) << bad;
    EXPECT_EQ(typed(c, 7, "+3 dB"), -1.0);
    EXPECT_EQ(typed(c, 99, "1"), -1.0);

    // Every text the controller shows reads back as (nearly) the same value.
    for (vst3::ParamID id : {3u, 4u, 5u, 6u})
        for (double v : {0.0, 0.3, 0.5, 1.0})
        {
            const double back = typed(c, id, paramText(c, id, v));
            EXPECT_NEAR(back, v, 0.006) << id << " " << paramText(c, id, v);
        }
}

TEST(Vst3Module, DecodesLikeTheVst2BuildInBothPrecisionsAtEveryRateAndBlockSize)
{
    // Knob positions away from the defaults, and changes inside blocks, at block starts
    // and on the last frame of a block.
    const std::vector<Change> changes = {
        {0, 3, 0.55f},   {0, 1, 0.7f},    {0, 5, 0.2f},    {0, 6, 0.4f},    {137, 4, 0.3f},
        {138, 0, 0.1f},  {600, 7, 0.25f}, {1023, 9, 0.5f}, {1024, 10, 1.f}, {1500, 5, 0.6f},
        {2047, 2, 0.9f}, {2048, 12, 1.f}, {2500, 10, 0.f}, {3000, 8, 0.f},  {3001, 8, 0.8f},
    };
    const int frames = 4096;
    for (double rate : {44100.0, 48000.0, 96000.0, 192000.0})
        for (int block : {1, 64, 1000, 4096})
        {
            if (block == 1 && rate != 48000.0)
                continue; // one-frame blocks are slow; one rate shows it
            const std::string what = "rate " + std::to_string(rate) + " block " + std::to_string(block);
            const auto in32 = microphoneSignals<float>(frames);
            expectSameBits(vst3Decode(in32, rate, block, changes), vst2Decode(in32, rate, block, changes),
                           "float " + what);
            const auto in64 = microphoneSignals<double>(frames);
            expectSameBits(vst3Decode(in64, rate, block, changes), vst2Decode(in64, rate, block, changes),
                           "double " + what);
        }
}

TEST(Vst3Module, InPlaceBuffersGiveTheSameSoundAndTheLfeStaysSilent)
{
    const std::vector<Change> changes = {{0, 5, 0.3f}, {700, 3, 0.2f}};
    const auto in32 = microphoneSignals<float>(2000, 7);
    const auto in64 = microphoneSignals<double>(2000, 7);
    const auto apart32 = vst3Decode(in32, 48000.0, 512, changes);
    const auto apart64 = vst3Decode(in64, 48000.0, 512, changes);
    expectSameBits(vst3Decode(in32, 48000.0, 512, changes, true), apart32, "float in place");
    expectSameBits(vst3Decode(in64, 48000.0, 512, changes, true), apart64, "double in place");
    for (float s : apart32[3])
        ASSERT_EQ(s, 0.0f);
    double energy = 0.0;
    for (double s : apart64[0])
        energy += s * s;
    EXPECT_GT(energy, 1.0) << "the left channel carries the decode";
}

TEST(Vst3Module, SurvivesProcessCallsWithoutBuffersOrWithAFlushOnly)
{
    Instance plugin;
    ParamChanges params;
    params.add(3, 0, 0.25);
    vst3::ProcessData data{};
    data.numSamples = 256;
    data.inputParameterChanges = &params; // no buses at all: only the changes count
    EXPECT_EQ(plugin.processor->process(data), vst3::kResultOk);
    EXPECT_EQ(stateOf(plugin.component)[8 + 4 * 3 + 3], 0x3e) << "0.25f arrived (0x3e800000)";

    // Null channel pointers of an inactive bus and a negative length.
    float* in[3] = {nullptr, nullptr, nullptr};
    std::vector<float> left(256);
    float* out[6] = {left.data(), nullptr, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(plugin.process(in, out, 256), vst3::kResultOk);
    EXPECT_EQ(plugin.process(in, out, -5), vst3::kResultOk);
    for (float s : left)
        ASSERT_LT(std::fabs(s), 1e-15f) << "silence in, silence out";
}

TEST(Vst3Module, StateIsTheThirteenValuesAndRestoresTheSoundBitForBit)
{
    const auto input = microphoneSignals<float>(3000, 3);
    std::vector<unsigned char> saved;
    std::vector<std::vector<float>> before;
    {
        Instance plugin(48000.0, 1000);
        ParamChanges params;
        for (int i = 0; i < 13; ++i)
            params.add(static_cast<vst3::ParamID>(i), 0, kPresetMusical[i]);
        Buffers<float> warmup(input, 1000);
        plugin.process(warmup.inPtr, warmup.outPtr, 1000, &params);
        saved = stateOf(plugin.component);
        ASSERT_EQ(saved.size(), 60u);
        EXPECT_EQ(std::string(saved.begin(), saved.begin() + 4), "KLV3");
        EXPECT_EQ(saved[4], 1);
        float delay = 0;
        std::memcpy(&delay, &saved[8 + 4 * 5], 4);
        EXPECT_EQ(delay, 0.361f);
        plugin.stop();
        plugin.start();
        Buffers<float> b(input, 3000);
        for (int done = 0; done < 3000; done += 1000)
        {
            float* in[3] = {b.inPtr[0] + done, b.inPtr[1] + done, b.inPtr[2] + done};
            float* out[6];
            for (int c = 0; c < 6; ++c)
                out[c] = b.outPtr[c] + done;
            plugin.process(in, out, 1000);
        }
        before = b.out;
    }
    Instance restored(48000.0, 1000, vst3::kSample32, false);
    MemoryStream stream(saved);
    stream.readLimit = 7; // short reads are no reason to refuse
    ASSERT_EQ(restored.component->setState(&stream), vst3::kResultOk);
    stream.rewind();
    ASSERT_EQ(restored.controller->setComponentState(&stream), vst3::kResultOk);
    EXPECT_DOUBLE_EQ(restored.controller->getParamNormalized(5), 0.361f);
    restored.start();
    Buffers<float> b(input, 3000);
    for (int done = 0; done < 3000; done += 1000)
    {
        float* in[3] = {b.inPtr[0] + done, b.inPtr[1] + done, b.inPtr[2] + done};
        float* out[6];
        for (int c = 0; c < 6; ++c)
            out[c] = b.outPtr[c] + done;
        restored.process(in, out, 1000);
    }
    expectSameBits(b.out, before, "restored");

    // The controller's own state is the same record, then the panel's zoom (following the host).
    MemoryStream controllerState;
    ASSERT_EQ(restored.controller->getState(&controllerState), vst3::kResultOk);
    std::vector<unsigned char> expected = saved;
    const unsigned char followHost[12] = {'K', 'L', 'V', 'Z', 1, 0, 0, 0, 0, 0, 0, 0};
    expected.insert(expected.end(), followHost, followHost + 12);
    EXPECT_EQ(controllerState.bytes, expected);
}

TEST(Vst3Module, TheControllersStateKeepsThePanelsZoom)
{
    Instance plugin;
    MemoryStream followingHost;
    ASSERT_EQ(plugin.controller->getState(&followingHost), vst3::kResultOk);
    const std::vector<unsigned char> component = stateOf(plugin.component);
    ASSERT_EQ(followingHost.bytes.size(), component.size() + 12);
    const auto sizeShown = [&]
    {
        vst3::IPlugView* view = plugin.controller->createView("editor");
        vst3::ViewRect size{};
        if (view)
        {
            view->getSize(&size);
            view->release();
        }
        return std::make_pair(size.right - size.left, size.bottom - size.top);
    };

    // A session saved at 200 % opens the panel at twice the size and keeps that zoom.
    std::vector<unsigned char> zoomed = followingHost.bytes;
    const float two = 2.0f;
    std::memcpy(&zoomed[component.size() + 8], &two, 4);
    MemoryStream in(zoomed);
    in.readLimit = 5;
    ASSERT_EQ(plugin.controller->setState(&in), vst3::kResultOk);
    EXPECT_EQ(sizeShown(), std::make_pair(1682, 906));
    MemoryStream out;
    ASSERT_EQ(plugin.controller->getState(&out), vst3::kResultOk);
    EXPECT_EQ(out.bytes, zoomed);

    // A zoom beyond 300 % is refused and changes nothing; an older build's controller state (no
    // zoom) follows the host again.
    std::vector<unsigned char> tooLarge = zoomed;
    const float four = 4.0f;
    std::memcpy(&tooLarge[component.size() + 8], &four, 4);
    MemoryStream refused(tooLarge);
    EXPECT_NE(plugin.controller->setState(&refused), vst3::kResultOk);
    EXPECT_EQ(sizeShown(), std::make_pair(1682, 906));
    MemoryStream older(component);
    ASSERT_EQ(plugin.controller->setState(&older), vst3::kResultOk);
    EXPECT_EQ(sizeShown(), std::make_pair(841, 453));
}

TEST(Vst3Module, RefusesDamagedStatesAndKeepsItsSettings)
{
    Instance plugin;
    ParamChanges params;
    params.add(3, 0, 0.125);
    float* none[6] = {};
    plugin.process(none, none, 0, &params);
    const std::vector<unsigned char> good = stateOf(plugin.component);
    ASSERT_EQ(good.size(), 60u);
    const double controllerBefore = plugin.controller->getParamNormalized(3);

    std::vector<std::vector<unsigned char>> bad;
    bad.emplace_back();                             // empty
    bad.emplace_back(good.begin(), good.end() - 1); // truncated
    bad.push_back(good), bad.back().push_back(0);   // oversized
    bad.push_back(good), bad.back()[4] = 2;         // a future version
    bad.push_back(good), bad.back()[0] = 'X';       // not our record
    bad.push_back(good), bad.back()[8 + 4 * 2 + 3] = 0x7f, bad.back()[8 + 4 * 2 + 2] = 0xc0; // NaN
    bad.push_back(good), bad.back()[8 + 4 * 7 + 3] = 0x40;                                   // 2.0, no knob
    bad.emplace_back(60, 0xA5);                                                              // garbage
    for (size_t i = 0; i < bad.size(); ++i)
    {
        MemoryStream stream(bad[i]);
        EXPECT_NE(plugin.component->setState(&stream), vst3::kResultOk) << i;
        stream.rewind();
        EXPECT_NE(plugin.controller->setComponentState(&stream), vst3::kResultOk) << i;
        stream.rewind();
        EXPECT_NE(plugin.controller->setState(&stream), vst3::kResultOk) << i;
        plugin.process(none, none, 0);
        EXPECT_EQ(stateOf(plugin.component), good) << i;
        EXPECT_EQ(plugin.controller->getParamNormalized(3), controllerBefore) << i;
    }
    EXPECT_NE(plugin.component->setState(nullptr), vst3::kResultOk);
}

TEST(Vst3Module, OffersTheFiveFactoryProgramsAsTheHostsProgramList)
{
    Instance plugin;
    auto* units = query<vst3::IUnitInfo>(plugin.controller);
    ASSERT_NE(units, nullptr);
    ASSERT_EQ(units->getUnitCount(), 1);
    vst3::UnitInfo root{};
    ASSERT_EQ(units->getUnitInfo(0, root), vst3::kResultOk);
    EXPECT_EQ(root.id, vst3::kRootUnitId);
    EXPECT_EQ(root.parentUnitId, vst3::kNoParentUnitId);
    ASSERT_EQ(units->getProgramListCount(), 1);
    vst3::ProgramListInfo list{};
    ASSERT_EQ(units->getProgramListInfo(0, list), vst3::kResultOk);
    EXPECT_EQ(list.id, root.programListId);
    ASSERT_EQ(list.programCount, 5);
    for (int p = 0; p < 5; ++p)
    {
        vst3::String128 name{};
        ASSERT_EQ(units->getProgramName(list.id, p, name), vst3::kResultOk);
        EXPECT_EQ(utf8(name), kPresetNames[p]);
    }
    vst3::String128 name{};
    EXPECT_NE(units->getProgramName(list.id, 5, name), vst3::kResultOk);
    units->release();

    // The host chooses "5-Channel Musical": the controller shows its values without calling
    // back into the host, which chooses programs holding its own locks (a restart request
    // from in here hangs Ardour); the processor loads it from the same parameter.
    RecordingHandler handler;
    plugin.controller->setComponentHandler(&handler);
    ASSERT_EQ(plugin.controller->setParamNormalized(14, 1.0), vst3::kResultOk);
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(plugin.controller->getParamNormalized(static_cast<vst3::ParamID>(i)), kPresetMusical[i])
            << i;
    EXPECT_TRUE(handler.events.empty()) << handler.events.front();

    // The processor tells the host the loaded values once, at the program's frame: a host
    // without the panel open learns them from there. A later point of the host's own stands.
    ParamChanges params, reported;
    params.add(14, 7, 1.0);
    params.add(3, 9, 0.25);
    const auto input = microphoneSignals<float>(16);
    Buffers<float> b(input, 16);
    plugin.process(b.inPtr, b.outPtr, 16, &params, &reported);
    const auto state = stateOf(plugin.component);
    for (int i = 0; i < 13; ++i)
    {
        const float expected = i == 3 ? 0.25f : kPresetMusical[i];
        float v = 0;
        std::memcpy(&v, &state[static_cast<size_t>(8 + 4 * i)], 4);
        EXPECT_EQ(v, expected) << i;
        ASSERT_EQ(reported.storage[static_cast<size_t>(i)].points.size(), 1u) << i;
        EXPECT_EQ(reported.storage[static_cast<size_t>(i)].points[0],
                  std::make_pair(7, static_cast<double>(expected)))
            << i;
    }
    params.clear();
    reported.clear();
    plugin.process(b.inPtr, b.outPtr, 16, &params, &reported);
    EXPECT_EQ(reported.last(3), -1.0) << "reported once";
    plugin.controller->setComponentHandler(nullptr);
}

TEST(Vst3Module, SendsTheMeterReadingsAsOutputParameters)
{
    Instance plugin(48000.0, 1024);
    const auto input = microphoneSignals<float>(1024, 5);
    Buffers<float> b(input, 1024);
    ParamChanges meters;
    plugin.process(b.inPtr, b.outPtr, 1024, nullptr, &meters);
    ASSERT_EQ(meters.getParameterCount(), 8);
    for (vst3::ParamID id = 20; id < 28; ++id)
    {
        const double level = meters.last(id);
        EXPECT_GT(level, 0.0) << id;
        EXPECT_LE(level, 1.0) << id;
        EXPECT_EQ(plugin.controller->setParamNormalized(id, level), vst3::kResultOk);
        EXPECT_EQ(plugin.controller->getParamNormalized(id), level);
    }
    // Silence reads exact 0 in the host's generic controls, not the meters' anti-subnormal offset.
    const std::vector<std::vector<float>> silence(3, std::vector<float>(1024, 0.0f));
    Buffers<float> quiet(silence, 1024);
    double shown[28] = {};
    for (int block = 0; block < 30 * 48; ++block)
    {
        meters.clear();
        plugin.process(quiet.inPtr, quiet.outPtr, 1024, nullptr, &meters);
        for (vst3::ParamID id = 20; id < 28; ++id)
            if (meters.last(id) >= 0.0)
                shown[id] = meters.last(id);
    }
    for (vst3::ParamID id = 20; id < 28; ++id)
        EXPECT_EQ(shown[id], 0.0) << id;
}

TEST(Vst3Interface, IdsHaveThePlatformsByteLayout)
{
    // A host compares the 16 bytes; our own host here uses the same declarations, so the
    // layout is pinned against the interface's published bytes of IComponent and IPlugView.
#if defined(_WIN32)
    const unsigned char component[16] = {0x31, 0xFF, 0x31, 0xE8, 0xD5, 0xF2, 0x01, 0x43,
                                         0x92, 0x8E, 0xBB, 0xEE, 0x25, 0x69, 0x78, 0x02};
    const unsigned char view[16] = {0x07, 0x25, 0xC3, 0x5B, 0x60, 0xD0, 0xEA, 0x49,
                                    0xA6, 0x15, 0x1B, 0x52, 0x2B, 0x75, 0x5B, 0x29};
#else
    const unsigned char component[16] = {0xE8, 0x31, 0xFF, 0x31, 0xF2, 0xD5, 0x43, 0x01,
                                         0x92, 0x8E, 0xBB, 0xEE, 0x25, 0x69, 0x78, 0x02};
    const unsigned char view[16] = {0x5B, 0xC3, 0x25, 0x07, 0xD0, 0x60, 0x49, 0xEA,
                                    0xA6, 0x15, 0x1B, 0x52, 0x2B, 0x75, 0x5B, 0x29};
#endif
    EXPECT_EQ(std::memcmp(vst3::IComponent::iid.bytes, component, 16), 0);
    EXPECT_EQ(std::memcmp(vst3::IPlugView::iid.bytes, view, 16), 0);
    EXPECT_EQ(vst3::kNoInterface, static_cast<vst3::tresult>(
#if defined(_WIN32)
                                      0x80004002u
#else
                                      0xFFFFFFFFu
#endif
                                      ));
}
