#include "effect/Kalvo.h"
#include "dsp/KalvoAlgo.h"
#include "tests/support/FakeEditor.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>

namespace
{

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

VstIntPtr dispatch(AudioEffect& effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   void* ptr = nullptr, float opt = 0.0f)
{
    AEffect* e = effect.getAeffect();
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

std::string text(AudioEffect& effect, VstInt32 opcode, VstInt32 index = 0)
{
    char buffer[256];
    std::memset(buffer, 'x', sizeof(buffer));
    buffer[255] = 0;
    dispatch(effect, opcode, index, 0, buffer);
    return buffer;
}

std::string programName(AudioEffect& effect)
{
    return text(effect, effGetProgramName);
}

std::string indexedName(AudioEffect& effect, VstInt32 index, VstIntPtr* result = nullptr)
{
    char buffer[256] = "untouched";
    const VstIntPtr r = dispatch(effect, effGetProgramNameIndexed, index, 0, buffer);
    if (result)
        *result = r;
    return buffer;
}

/// Fills the three microphone inputs with reproducible noise.
template <typename Sample> void fillNoise(ChannelBuffers<Sample>& in, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-0.5, 0.5);
    for (auto& channel : in.data)
        for (Sample& s : channel)
            s = static_cast<Sample>(dist(rng));
}

bool allFinite(const ChannelBuffers<float>& out)
{
    for (const auto& channel : out.data)
        for (float s : channel)
            if (!std::isfinite(s))
                return false;
    return true;
}

struct Fixture : ::testing::Test
{
    TestHost host;
};

using KalvoIdentity = Fixture;
using KalvoParameters = Fixture;
using KalvoPrograms = Fixture;
using KalvoArrangements = Fixture;
using KalvoAudio = Fixture;
using KalvoEditorLink = Fixture;

} // namespace

// ---- identity ----

TEST_F(KalvoIdentity, FreshEffectReportsItsRecord)
{
    Kalvo effect(TestHost::callback, linuxRules());
    const AEffect* e = effect.getAeffect();
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->uniqueID, vstFourCC('Z', 'K', 'V', 'T'));
    EXPECT_EQ(e->uniqueID, 0x5A4B5654);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->numPrograms, 4);
    EXPECT_EQ(e->numParams, 13);
    EXPECT_EQ(e->numInputs, 6);
    EXPECT_EQ(e->numOutputs, 6);
    EXPECT_EQ(e->flags, effFlagsCanReplacing | effFlagsCanDoubleReplacing); // no editor in this build
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(dispatch(effect, effGetPlugCategory), kPlugSurroundFx);
    EXPECT_EQ(dispatch(effect, effGetVstVersion), 2400);
    EXPECT_EQ(dispatch(effect, effGetTailSize), 0);
    EXPECT_EQ(dispatch(effect, effIdentify), vstFourCC('N', 'v', 'E', 'f'));
    char canDo[] = "receiveVstMidiEvent";
    char bypass[] = "bypass";
    EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, canDo), 0);
    EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, bypass), 0);
    EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, nullptr), 0);
}

TEST_F(KalvoIdentity, NamesAndVendorVersionFollowTheRuleSet)
{
    std::unique_ptr<AudioEffect> linuxFx(createEffectInstance(TestHost::callback, linuxRules()));
    EXPECT_EQ(text(*linuxFx, effGetEffectName), "Zentri Surround Tool");
    EXPECT_EQ(text(*linuxFx, effGetProductString), "Zentri Surround Matrix");
    EXPECT_EQ(text(*linuxFx, effGetVendorString), "Velmora");
    EXPECT_EQ(dispatch(*linuxFx, effGetVendorVersion), 1100);
    char name[64];
    EXPECT_EQ(dispatch(*linuxFx, effGetEffectName, 0, 0, name), 1);
    EXPECT_EQ(dispatch(*linuxFx, effGetEffectName, 0, 0, nullptr), 0);

    std::unique_ptr<AudioEffect> windowsFx(createEffectInstance(TestHost::callback, windowsRules()));
    EXPECT_EQ(text(*windowsFx, effGetEffectName), "Zentri Surround Tool");
    EXPECT_EQ(dispatch(*windowsFx, effGetVendorVersion), 1100);

    std::unique_ptr<AudioEffect> macFx(createEffectInstance(TestHost::callback, macRules()));
    EXPECT_NE(dynamic_cast<KalvoEdit*>(macFx.get()), nullptr);
    EXPECT_EQ(text(*macFx, effGetEffectName), "KalvoEditGUI");
    EXPECT_EQ(text(*macFx, effGetProductString), "KalvoEditGUI");
    EXPECT_EQ(text(*macFx, effGetVendorString), "Velmora");
    EXPECT_EQ(dispatch(*macFx, effGetVendorVersion), 1000);
    EXPECT_EQ(macFx->getAeffect()->uniqueID, vstFourCC('Z', 'K', 'V', 'T'));
}

TEST_F(KalvoIdentity, EntryRefusesAHostThatDoesNotAnswerTheVersionQuery)
{
    host.version = 0;
    EXPECT_EQ(kalvoPluginMain(TestHost::callback), nullptr);
    EXPECT_EQ(kalvoPluginMain(nullptr), nullptr);
    host.version = 2400;
    AEffect* e = kalvoPluginMain(TestHost::callback);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
}

// ---- parameters ----

TEST_F(KalvoParameters, NamesLabelsAndDefaultDisplays)
{
    Kalvo effect(TestHost::callback);
    EXPECT_EQ(text(effect, effGetParamName, 0), "CenterPolarPattern");
    EXPECT_EQ(text(effect, effGetParamLabel, 0), "Pattern");
    EXPECT_EQ(text(effect, effGetParamName, 4), "LSRSOffset");
    EXPECT_EQ(text(effect, effGetParamLabel, 4), "Angle");
    EXPECT_EQ(text(effect, effGetParamName, 5), "RearDelay");
    EXPECT_EQ(text(effect, effGetParamLabel, 5), "mSec");
    EXPECT_EQ(text(effect, effGetParamLabel, 6), "kHz");
    EXPECT_EQ(text(effect, effGetParamLabel, 9), "dB");
    EXPECT_EQ(text(effect, effGetParamName, 10), "");
    EXPECT_EQ(text(effect, effGetParamName, 18), "FrontMSWidth");
    EXPECT_EQ(text(effect, effGetParamLabel, 19), "Panorama");
    for (VstInt32 index : {-1, 13, 14, 15, 20, 1000})
    {
        EXPECT_EQ(text(effect, effGetParamName, index), "") << index;
        EXPECT_EQ(text(effect, effGetParamLabel, index), "") << index;
        EXPECT_EQ(text(effect, effGetParamDisplay, index), "") << index;
    }

    EXPECT_EQ(text(effect, effGetParamDisplay, 0), "0.360000");
    EXPECT_EQ(text(effect, effGetParamDisplay, 7), "0.000000"); // gain 1.0 is 0 dB
    EXPECT_EQ(text(effect, effGetParamDisplay, 18), "0.000000");
    // Angles, delay and corner in the units of their labels: 72 and 144 degrees
    // (the surround direction the panel shows for 0.6), 0 ms, 20 kHz.
    EXPECT_EQ(text(effect, effGetParamDisplay, 3), "72.00000");
    EXPECT_EQ(text(effect, effGetParamDisplay, 4), "144.0000");
    EXPECT_EQ(text(effect, effGetParamDisplay, 5), "0.000000");
    EXPECT_EQ(text(effect, effGetParamDisplay, 6), "20.00000");
    // A null text pointer is ignored.
    EXPECT_EQ(dispatch(effect, effGetParamDisplay, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effect, effGetParamName, 0, 0, nullptr), 0);
}

TEST_F(KalvoParameters, SettingReachesTheEngineInItsUnits)
{
    Kalvo effect(TestHost::callback);
    AEffect* e = effect.getAeffect();
    KalvoAlgo& algo = effect.getAlgo();

    e->setParameter(e, 3, 0.5f);
    EXPECT_EQ(e->getParameter(e, 3), 0.5f);
    EXPECT_DOUBLE_EQ(algo.lrOffset, 45.0);
    EXPECT_EQ(text(effect, effGetParamDisplay, 3), "45.00000");

    e->setParameter(e, 4, 0.0f);
    EXPECT_DOUBLE_EQ(algo.lsrsOffset, 180.0);
    e->setParameter(e, 5, 1.0f);
    EXPECT_DOUBLE_EQ(algo.delay, 1.0);
    EXPECT_EQ(text(effect, effGetParamDisplay, 5), "55.00000");
    e->setParameter(e, 6, 0.0f);
    EXPECT_DOUBLE_EQ(algo.rearSlopeFilter, 1.0);
    e->setParameter(e, 1, 0.25f);
    EXPECT_DOUBLE_EQ(algo.lrPattern, 0.25);
    e->setParameter(e, 9, 0.5f);
    EXPECT_DOUBLE_EQ(algo.centerLevel, 0.5);
    EXPECT_EQ(text(effect, effGetParamDisplay, 9), "-6.02059");
    e->setParameter(e, 7, 0.0f);
    EXPECT_EQ(text(effect, effGetParamDisplay, 7), "-oo");
    e->setParameter(e, 12, 1.0f);
    EXPECT_EQ(algo.rearMute, 1.0);
    EXPECT_EQ(e->getParameter(e, 12), 1.0f);

    // Values outside 0..1 pass on unchanged.
    e->setParameter(e, 0, 1.5f);
    EXPECT_EQ(e->getParameter(e, 0), 1.5f);
    EXPECT_DOUBLE_EQ(algo.centerPattern, 1.5);
}

TEST_F(KalvoParameters, ExtraIndicesReadTheirFixedValuesAndMeters)
{
    Kalvo effect(TestHost::callback);
    AEffect* e = effect.getAeffect();
    EXPECT_EQ(e->getParameter(e, 15), 4.0f);
    EXPECT_EQ(e->getParameter(e, 18), 0.0f);
    EXPECT_EQ(e->getParameter(e, 19), 0.0f);
    for (VstInt32 index : {-7, 13, 14, 16, 17, 28, 1 << 30})
        EXPECT_EQ(e->getParameter(e, index), 0.0f) << index;
    e->setParameter(e, 15, 0.5f); // read-only: ignored
    e->setParameter(e, -3, 0.5f);
    EXPECT_EQ(e->getParameter(e, 15), 4.0f);

    ChannelBuffers<float> in(512, 0.5f), out(512);
    e->processReplacing(e, in.ptrs, out.ptrs, 512);
    for (VstInt32 meter = 20; meter <= 27; ++meter)
    {
        EXPECT_FLOAT_EQ(e->getParameter(e, meter),
                        static_cast<float>(effect.getAlgo().meterLevel[meter - 20]));
        EXPECT_GT(e->getParameter(e, meter), 0.0f) << meter;
    }
}

TEST_F(KalvoParameters, MuteSilencesOnlyForExactlyOne)
{
    Kalvo effect(TestHost::callback);
    AEffect* e = effect.getAeffect();
    ChannelBuffers<float> in(64, 0.25f), out(64);
    e->setParameter(e, 10, 0.999f);
    e->processReplacing(e, in.ptrs, out.ptrs, 64);
    EXPECT_NE(out.data[2][63], 0.0f);
    e->setParameter(e, 10, 1.0f);
    e->processReplacing(e, in.ptrs, out.ptrs, 64);
    for (float s : out.data[2])
        EXPECT_EQ(s, 0.0f);
    EXPECT_NE(out.data[0][63], 0.0f); // the front pair keeps sounding
}

TEST_F(KalvoParameters, NonFiniteValuesAreIgnored)
{
    WithFakeEditor withEditor;
    Kalvo effect(TestHost::callback, linuxRules());
    AEffect* e = effect.getAeffect();
    e->setParameter(e, 0, 0.7f);
    e->setParameter(e, 4, 0.2f);
    e->setParameter(e, 8, 0.5f);
    const double lsrs = effect.getAlgo().lsrsOffset;
    const std::size_t notified = FakeEditor::last()->changes.size();
    for (float bad : {kNaN, kInf, -kInf})
    {
        e->setParameter(e, 0, bad);
        e->setParameter(e, 4, bad);
        e->setParameter(e, 8, bad);
        e->setParameter(e, 14, bad);
    }
    EXPECT_EQ(e->getParameter(e, 0), 0.7f);
    EXPECT_EQ(e->getParameter(e, 4), 0.2f);
    EXPECT_EQ(e->getParameter(e, 8), 0.5f);
    EXPECT_EQ(effect.getAlgo().lsrsOffset, lsrs);
    EXPECT_EQ(effect.getAlgo().centerPattern, static_cast<double>(0.7f));
    EXPECT_EQ(text(effect, effGetParamDisplay, 8), "-6.02059");
    EXPECT_EQ(FakeEditor::last()->changes.size(), notified);
}

TEST_F(KalvoParameters, OutOfRangeValuesKeepTheAudioFinite)
{
    // Patterns above 1 and angles beyond their quarter circle once made the
    // engine's loudness compensation NaN for as long as the value stood.
    Kalvo effect(TestHost::callback);
    AEffect* e = effect.getAeffect();
    ChannelBuffers<float> in(512), out(512);
    fillNoise(in, 7);
    const float wild[] = {-1e30f, -3.0f, -0.5f, 1.5f, 7.0f, 1e30f};
    for (VstInt32 index = 0; index < 13; ++index)
    {
        for (float value : wild)
        {
            e->setParameter(e, index, value);
            for (int block = 0; block < 3; ++block)
                e->processReplacing(e, in.ptrs, out.ptrs, 512);
            ASSERT_TRUE(allFinite(out)) << "index " << index << " value " << value;
        }
        e->setParameter(e, index, KalvoProgram().values[index]);
    }
}

// ---- programs ----

TEST_F(KalvoPrograms, UntouchedSlotsAreNumberedOnlyForTheCurrentProgram)
{
    Kalvo effect(TestHost::callback);
    EXPECT_EQ(programName(effect), "Edit 1");
    dispatch(effect, effSetProgram, 0, 2);
    EXPECT_EQ(dispatch(effect, effGetProgram), 2);
    EXPECT_EQ(programName(effect), "Edit 3");
    VstIntPtr result = 0;
    EXPECT_EQ(indexedName(effect, 2, &result), "Edit");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(indexedName(effect, 4, &result), "untouched");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(indexedName(effect, -1, &result), "untouched");
    EXPECT_EQ(result, 0);

    dispatch(effect, effSetProgram, 0, 4); // factory entries are not host programs
    dispatch(effect, effSetProgram, 0, 1000);
    EXPECT_EQ(dispatch(effect, effGetProgram), 2);
}

TEST_F(KalvoPrograms, RenamingKeepsAtMost23Characters)
{
    Kalvo effect(TestHost::callback);
    char live[] = "Live";
    dispatch(effect, effSetProgramName, 0, 0, live);
    EXPECT_EQ(programName(effect), "Live");
    EXPECT_EQ(indexedName(effect, 0), "Live");
    char longName[] = "A very long program name that goes on";
    dispatch(effect, effSetProgramName, 0, 0, longName);
    EXPECT_EQ(programName(effect), std::string(longName, 23));
    dispatch(effect, effSetProgramName, 0, 0, nullptr); // ignored
    EXPECT_EQ(programName(effect), std::string(longName, 23));
    dispatch(effect, effSetProgram, 0, 1);
    EXPECT_EQ(programName(effect), "Edit 2");
}

TEST_F(KalvoPrograms, ProgramsKeepTheirOwnValues)
{
    Kalvo effect(TestHost::callback);
    AEffect* e = effect.getAeffect();
    e->setParameter(e, 3, 0.1f);
    dispatch(effect, effSetProgram, 0, 1);
    EXPECT_EQ(e->getParameter(e, 3), 0.8f);
    e->setParameter(e, 3, 0.3f);
    dispatch(effect, effSetProgram, 0, 0);
    EXPECT_EQ(e->getParameter(e, 3), 0.1f);
    EXPECT_DOUBLE_EQ(effect.getAlgo().lrOffset, 90.0 * static_cast<double>(0.1f));
    dispatch(effect, effSetProgram, 0, 1);
    EXPECT_EQ(e->getParameter(e, 3), 0.3f);
}

TEST_F(KalvoPrograms, PresetSelectorLoadsAFactoryPresetIntoTheCurrentSlot)
{
    Kalvo effect(TestHost::callback);
    AEffect* e = effect.getAeffect();
    dispatch(effect, effSetProgram, 0, 1);
    char name[] = "Mine";
    dispatch(effect, effSetProgramName, 0, 0, name);

    e->setParameter(e, 14, 5.0f); // "5-Channel Musical"
    EXPECT_EQ(dispatch(effect, effGetProgram), 1);
    EXPECT_EQ(programName(effect), "Mine");
    EXPECT_EQ(e->getParameter(e, 3), 1.0f);
    EXPECT_EQ(e->getParameter(e, 9), 0.7f);
    // Read through the engine: front pair at 90 degrees, surrounds at 122.4
    // degrees, 19.855 ms delay, 6.035 kHz low-pass, centre gain 0.7.
    const KalvoAlgo& algo = effect.getAlgo();
    EXPECT_NEAR(algo.lrOffset, 90.0, 1e-9);
    EXPECT_NEAR(algo.lsrsOffset, 122.4, 1e-5);
    EXPECT_NEAR(algo.delay * 55.0, 19.855, 1e-5);
    EXPECT_NEAR(algo.rearSlopeFilter, 6.035, 1e-5);
    EXPECT_NEAR(algo.centerLevel, 0.7, 1e-7);
    EXPECT_EQ(e->getParameter(e, 14), 0.0f);

    // The slot's values change; the factory entry does not.
    e->setParameter(e, 14, 1.0f);
    e->setParameter(e, 0, 0.2f);
    EXPECT_EQ(effect.getProgramEntry(1).values[0], 0.2f);
    EXPECT_EQ(effect.getProgramEntry(4).values[0], 0.36f);
    e->setParameter(e, 14, 1.0f);
    EXPECT_EQ(e->getParameter(e, 0), 0.36f);

    // Values that name no preset change nothing.
    e->setParameter(e, 0, 0.2f);
    for (float v : {0.0f, -2.0f, 6.0f, 1e9f})
        e->setParameter(e, 14, v);
    EXPECT_EQ(e->getParameter(e, 0), 0.2f);
    EXPECT_EQ(dispatch(effect, effGetProgram), 1);
}

TEST_F(KalvoPrograms, PresetValuesAndNamesPerRuleSet)
{
    const float stereo90[13] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    Kalvo macFx(TestHost::callback, macRules());
    Kalvo windowsFx(TestHost::callback, windowsRules());
    Kalvo linuxFx(TestHost::callback, linuxRules());
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(linuxFx.getProgramEntry(6).values[i], stereo90[i]) << i;
    EXPECT_EQ(linuxFx.getProgramEntry(5).values[3], 0.6033f);
    EXPECT_STREQ(macFx.getProgramEntry(6).name, "XY Stereo 90");
    EXPECT_STREQ(windowsFx.getProgramEntry(6).name, "XY Stereo 90\xB0");
    EXPECT_STREQ(linuxFx.getProgramEntry(6).name, "XY Stereo 90\xC2\xB0");
    EXPECT_STREQ(linuxFx.getProgramEntry(7).name, "XY Stereo 60\xC2\xB0");
    EXPECT_STREQ(linuxFx.getProgramEntry(4).name, "5-Channel");
    EXPECT_STREQ(linuxFx.getProgramEntry(5).name, "4-Channel optimized");
    EXPECT_STREQ(linuxFx.getProgramEntry(8).name, "5-Channel Musical");

    AEffect* e = macFx.getAeffect();
    e->setParameter(e, 14, 3.0f);
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(e->getParameter(e, i), stereo90[i]) << i;
}

// ---- arrangements ----

namespace
{

VstSpeakerArrangement arrangement(VstInt32 type, VstInt32 channels)
{
    VstSpeakerArrangement a{};
    a.type = type;
    a.numChannels = channels;
    for (VstInt32 i = 0; i < channels && i < 8; ++i)
        a.speakers[i].type = kSpeakerL + i;
    return a;
}

struct Offered
{
    VstIntPtr result;
    VstSpeakerArrangement* in;
    VstSpeakerArrangement* out;
};

Offered offer(AudioEffect& effect, VstSpeakerArrangement* in, VstSpeakerArrangement* out)
{
    Offered o{};
    o.result = dispatch(effect, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(in), out);
    dispatch(effect, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&o.in), &o.out);
    return o;
}

} // namespace

TEST_F(KalvoArrangements, StartsAsThreeChannelCinemaInAndFivePointOneOut)
{
    Kalvo effect(TestHost::callback);
    VstSpeakerArrangement* in = nullptr;
    VstSpeakerArrangement* out = nullptr;
    EXPECT_EQ(dispatch(effect, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 1);
    ASSERT_TRUE(in && out);
    EXPECT_EQ(in->type, kSpeakerArr30Cine);
    EXPECT_EQ(in->numChannels, 6);
    EXPECT_EQ(out->type, kSpeakerArr51);
    EXPECT_EQ(out->numChannels, 6);
    EXPECT_EQ(dispatch(effect, effGetSpeakerArrangement, 0, 0, &out), 0);
}

TEST_F(KalvoArrangements, SixInSixOutIsAcceptedAndEchoedUnderEveryRuleSet)
{
    for (const KalvoBuildRules* rules : {&linuxRules(), &windowsRules(), &macRules()})
    {
        Kalvo effect(TestHost::callback, *rules);
        VstSpeakerArrangement in = arrangement(kSpeakerArr60Music, 6), out = arrangement(kSpeakerArr51, 6);
        in.speakers[5].azimuth = 1.25f;
        const Offered o = offer(effect, &in, &out);
        EXPECT_EQ(o.result, 1) << rules->name;
        EXPECT_EQ(o.in->type, kSpeakerArr60Music);
        EXPECT_EQ(o.in->speakers[5].azimuth, 1.25f);
        EXPECT_EQ(o.out->type, kSpeakerArr51);
        EXPECT_EQ(effect.getAeffect()->numInputs, 6);
    }
}

TEST_F(KalvoArrangements, ThreeChannelsAreAcceptedOnlyUnderTheAtMostSixRule)
{
    VstSpeakerArrangement in = arrangement(kSpeakerArr30Cine, 3), out = arrangement(kSpeakerArr30Music, 3);
    Kalvo linuxFx(TestHost::callback, linuxRules());
    Offered o = offer(linuxFx, &in, &out);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.in->numChannels, 3);
    EXPECT_EQ(o.out->type, kSpeakerArr30Music);

    Kalvo macFx(TestHost::callback, macRules());
    o = offer(macFx, &in, &out);
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.in->type, kSpeakerArr51);
    EXPECT_EQ(o.in->numChannels, 6);
    EXPECT_EQ(o.out->type, kSpeakerArr51);
    EXPECT_EQ(o.out->numChannels, 6);

    // Channel counts of the effect do not follow the negotiation.
    EXPECT_EQ(linuxFx.getAeffect()->numInputs, 6);
    EXPECT_EQ(linuxFx.getAeffect()->numOutputs, 6);
}

TEST_F(KalvoArrangements, MismatchedOutputBecomesACopyOfTheInput)
{
    Kalvo effect(TestHost::callback, windowsRules());
    VstSpeakerArrangement in = arrangement(kSpeakerArrStereo, 2), out = arrangement(kSpeakerArr51, 6);
    const Offered o = offer(effect, &in, &out);
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.in->type, kSpeakerArrStereo);
    EXPECT_EQ(o.out->type, kSpeakerArrStereo);
    EXPECT_EQ(o.out->numChannels, 2);
}

TEST_F(KalvoArrangements, ImpossibleOrMissingArrangementsAreRefused)
{
    for (const KalvoBuildRules* rules : {&linuxRules(), &macRules()})
    {
        Kalvo effect(TestHost::callback, *rules);
        VstSpeakerArrangement eight = arrangement(kSpeakerArr80Music, 8), six = arrangement(kSpeakerArr51, 6);
        EXPECT_EQ(offer(effect, &eight, &eight).result, 0) << rules->name;

        VstSpeakerArrangement negative = arrangement(kSpeakerArr51, -1);
        VstSpeakerArrangement tooMany = arrangement(kSpeakerArr51, 1 << 30);
        EXPECT_EQ(offer(effect, &negative, &six).result, 0);
        EXPECT_EQ(offer(effect, &tooMany, &six).result, 0);
        EXPECT_EQ(offer(effect, &six, &tooMany).result, 0);
        Offered o = offer(effect, &six, &negative);
        EXPECT_EQ(o.result, 0);
        EXPECT_EQ(o.out->numChannels, 6);

        // Null records change nothing.
        offer(effect, &six, &six);
        EXPECT_EQ(offer(effect, nullptr, &six).result, 0);
        EXPECT_EQ(offer(effect, &six, nullptr).result, 0);
        EXPECT_EQ(dispatch(effect, effGetSpeakerArrangement, 0, 0, nullptr), 0);
    }
}

TEST_F(KalvoArrangements, HostMayOfferBackTheRecordsItWasGiven)
{
    Kalvo effect(TestHost::callback);
    VstSpeakerArrangement* in = nullptr;
    VstSpeakerArrangement* out = nullptr;
    dispatch(effect, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
    EXPECT_EQ(dispatch(effect, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(in), out), 1);
    dispatch(effect, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
    EXPECT_EQ(in->type, kSpeakerArr30Cine);
    EXPECT_EQ(out->type, kSpeakerArr51);
    // Both slots given the same record.
    EXPECT_EQ(dispatch(effect, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(out), out), 1);
}

// ---- audio ----

TEST_F(KalvoAudio, ResumeTakesTheHostsRateAndBlockSize)
{
    host.sampleRate = 48000;
    host.blockSize = 512;
    Kalvo effect(TestHost::callback);
    EXPECT_EQ(effect.getBufferSize(), 512);
    EXPECT_EQ(effect.getAlgo().getSamplingRate(), 48000.0);

    // Announced values count only when the host does not answer at resume.
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 96000.0f);
    dispatch(effect, effSetBlockSize, 0, 256);
    dispatch(effect, effMainsChanged, 0, 0);
    dispatch(effect, effMainsChanged, 0, 1);
    EXPECT_EQ(effect.getBufferSize(), 512);
    EXPECT_EQ(effect.getAlgo().getSamplingRate(), 48000.0);
    host.sampleRate = 0;
    host.blockSize = 0;
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 96000.0f);
    dispatch(effect, effSetBlockSize, 0, 256);
    dispatch(effect, effMainsChanged, 0, 0);
    dispatch(effect, effMainsChanged, 0, 1);
    EXPECT_EQ(effect.getBufferSize(), 256);
    EXPECT_EQ(effect.getAlgo().getSamplingRate(), 96000.0);

    // A huge block size is served in pieces of the largest buffer.
    host.blockSize = 1 << 30;
    dispatch(effect, effMainsChanged, 0, 1);
    EXPECT_EQ(effect.getBufferSize(), Kalvo::kMaxBufferFrames);
}

TEST_F(KalvoAudio, LowFrequencyChannelIsSilentOnBothPaths)
{
    Kalvo effect(TestHost::callback);
    AEffect* e = effect.getAeffect();
    ChannelBuffers<float> in(300), out(300, 9.0f);
    fillNoise(in, 1);
    e->processReplacing(e, in.ptrs, out.ptrs, 300);
    ChannelBuffers<double> din(300), dout(300, 9.0);
    fillNoise(din, 2);
    e->processDoubleReplacing(e, din.ptrs, dout.ptrs, 300);
    for (int i = 0; i < 300; ++i)
    {
        EXPECT_EQ(out.data[3][i], 0.0f);
        EXPECT_EQ(dout.data[3][i], 0.0);
    }
}

TEST_F(KalvoAudio, ZeroOrNegativeFrameCountsChangeNothing)
{
    Kalvo effect(TestHost::callback), twin(TestHost::callback);
    ChannelBuffers<float> in(256), out(256, 7.0f), twinOut(256);
    ChannelBuffers<double> din(256), dout(256, 7.0);
    fillNoise(in, 3);
    for (Kalvo* k : {&effect, &twin})
    {
        AEffect* e = k->getAeffect();
        e->processReplacing(e, in.ptrs, twinOut.ptrs, 256);
    }
    const float meter = effect.getAeffect()->getParameter(effect.getAeffect(), 20);
    AEffect* e = effect.getAeffect();
    for (VstInt32 frames : {0, -1, -100000})
    {
        e->processReplacing(e, in.ptrs, out.ptrs, frames);
        e->processDoubleReplacing(e, din.ptrs, dout.ptrs, frames);
    }
    for (int c = 0; c < 6; ++c)
        for (int i = 0; i < 256; ++i)
            ASSERT_TRUE(out.data[c][i] == 7.0f && dout.data[c][i] == 7.0);
    EXPECT_EQ(e->getParameter(e, 20), meter);

    // The engine's state is what it would be without those calls.
    e->processReplacing(e, in.ptrs, out.ptrs, 256);
    twin.getAeffect()->processReplacing(twin.getAeffect(), in.ptrs, twinOut.ptrs, 256);
    EXPECT_EQ(out.data, twinOut.data);
}

TEST_F(KalvoAudio, ProcessingWhileSuspendedWritesSilenceAndKeepsState)
{
    Kalvo effect(TestHost::callback);
    AEffect* e = effect.getAeffect();
    ChannelBuffers<float> in(128), out(128);
    fillNoise(in, 4);
    e->processReplacing(e, in.ptrs, out.ptrs, 128);
    float meters[8];
    for (int m = 0; m < 8; ++m)
        meters[m] = e->getParameter(e, 20 + m);

    dispatch(effect, effMainsChanged, 0, 0);
    dispatch(effect, effMainsChanged, 0, 0); // twice is harmless
    ChannelBuffers<float> silent(128, 3.0f);
    ChannelBuffers<double> dsilent(128, 3.0), din(128, 0.5);
    e->processReplacing(e, in.ptrs, silent.ptrs, 128);
    e->processDoubleReplacing(e, din.ptrs, dsilent.ptrs, 128);
    for (int c = 0; c < 6; ++c)
        for (int i = 0; i < 128; ++i)
            ASSERT_TRUE(silent.data[c][i] == 0.0f && dsilent.data[c][i] == 0.0);
    for (int m = 0; m < 8; ++m)
        EXPECT_EQ(e->getParameter(e, 20 + m), meters[m]);

    // Resumed again, it processes normally.
    dispatch(effect, effMainsChanged, 0, 1);
    e->processReplacing(e, in.ptrs, out.ptrs, 128);
    EXPECT_NE(out.data[0][127], 0.0f);
}

TEST_F(KalvoAudio, OversizeBlocksAreProcessedInPiecesWithTheSameResult)
{
    host.blockSize = 64;
    Kalvo small(TestHost::callback);
    host.blockSize = 4096;
    Kalvo large(TestHost::callback);
    ASSERT_EQ(small.getBufferSize(), 64);
    constexpr int kFrames = 1000;
    ChannelBuffers<float> in(kFrames), outSmall(kFrames), outLarge(kFrames);
    fillNoise(in, 5);
    small.getAeffect()->processReplacing(small.getAeffect(), in.ptrs, outSmall.ptrs, kFrames);
    large.getAeffect()->processReplacing(large.getAeffect(), in.ptrs, outLarge.ptrs, kFrames);
    EXPECT_EQ(outSmall.data, outLarge.data);

    ChannelBuffers<double> din(kFrames), doutSmall(kFrames), doutLarge(kFrames);
    fillNoise(din, 6);
    small.getAeffect()->processDoubleReplacing(small.getAeffect(), din.ptrs, doutSmall.ptrs, kFrames);
    large.getAeffect()->processDoubleReplacing(large.getAeffect(), din.ptrs, doutLarge.ptrs, kFrames);
    EXPECT_EQ(doutSmall.data, doutLarge.data);
}

TEST_F(KalvoAudio, DoublePathLeavesHostInputsUntouchedAndMatchesTheSinglePath)
{
    Kalvo single(TestHost::callback), twin(TestHost::callback);
    ChannelBuffers<double> din(400), dout(400);
    fillNoise(din, 8);
    const auto original = din.data;
    twin.getAeffect()->processDoubleReplacing(twin.getAeffect(), din.ptrs, dout.ptrs, 400);
    EXPECT_EQ(din.data, original);

    ChannelBuffers<float> in(400), out(400);
    for (int c = 0; c < 6; ++c)
        for (int i = 0; i < 400; ++i)
            in.data[c][i] = static_cast<float>(din.data[c][i]);
    single.getAeffect()->processReplacing(single.getAeffect(), in.ptrs, out.ptrs, 400);
    for (int c = 0; c < 6; ++c)
        for (int i = 0; i < 400; ++i)
            ASSERT_NEAR(out.data[c][i], dout.data[c][i], 1e-5) << c << " " << i;
}

TEST_F(KalvoAudio, AliasedBuffersGiveTheSameResultAsSeparateOnes)
{
    constexpr int kFrames = 300;
    ChannelBuffers<double> ref(kFrames), refOut(kFrames);
    fillNoise(ref, 9);

    // In place: input k is output k.
    {
        Kalvo separate(TestHost::callback), inPlace(TestHost::callback);
        separate.getAeffect()->processDoubleReplacing(separate.getAeffect(), ref.ptrs, refOut.ptrs, kFrames);
        ChannelBuffers<double> io = ref;
        inPlace.getAeffect()->processDoubleReplacing(inPlace.getAeffect(), io.ptrs, io.ptrs, kFrames);
        EXPECT_EQ(io.data, refOut.data);

        ChannelBuffers<float> fin(kFrames), fout(kFrames);
        for (int c = 0; c < 6; ++c)
            for (int i = 0; i < kFrames; ++i)
                fin.data[c][i] = static_cast<float>(ref.data[c][i]);
        Kalvo fSeparate(TestHost::callback), fInPlace(TestHost::callback);
        fSeparate.getAeffect()->processReplacing(fSeparate.getAeffect(), fin.ptrs, fout.ptrs, kFrames);
        fInPlace.getAeffect()->processReplacing(fInPlace.getAeffect(), fin.ptrs, fin.ptrs, kFrames);
        EXPECT_EQ(fin.data, fout.data);
    }

    // One buffer fed to every input, every output into one shared scratch buffer.
    {
        Kalvo separate(TestHost::callback), shared(TestHost::callback);
        ChannelBuffers<double> same(kFrames), sameOut(kFrames);
        for (int c = 0; c < 6; ++c)
            same.data[c] = ref.data[0];
        separate.getAeffect()->processDoubleReplacing(separate.getAeffect(), same.ptrs, sameOut.ptrs,
                                                      kFrames);

        std::vector<double> one = ref.data[0];
        std::vector<double> scratch(kFrames);
        double* ins[6];
        double* outs[6];
        for (int c = 0; c < 6; ++c)
        {
            ins[c] = one.data();
            outs[c] = scratch.data();
        }
        shared.getAeffect()->processDoubleReplacing(shared.getAeffect(), ins, outs, kFrames);
        EXPECT_EQ(one, ref.data[0]);         // the shared input is untouched
        EXPECT_EQ(scratch, sameOut.data[5]); // the last output written wins
    }
}

TEST_F(KalvoAudio, NullChannelsReadAsSilenceAndAreNotWritten)
{
    Kalvo effect(TestHost::callback), twin(TestHost::callback);
    ChannelBuffers<double> in(200), out(200, 5.0), twinOut(200);
    fillNoise(in, 10);
    ChannelBuffers<double> twinIn = in;
    std::fill(twinIn.data[1].begin(), twinIn.data[1].end(), 0.0);
    in.ptrs[1] = nullptr;
    out.ptrs[2] = nullptr;
    effect.getAeffect()->processDoubleReplacing(effect.getAeffect(), in.ptrs, out.ptrs, 200);
    twin.getAeffect()->processDoubleReplacing(twin.getAeffect(), twinIn.ptrs, twinOut.ptrs, 200);
    EXPECT_EQ(out.data[0], twinOut.data[0]);
    EXPECT_EQ(out.data[4], twinOut.data[4]);
    for (double s : out.data[2])
        ASSERT_EQ(s, 5.0);

    ChannelBuffers<float> fin(200), fout(200);
    fin.ptrs[0] = nullptr;
    fout.ptrs[5] = nullptr;
    AEffect* e = effect.getAeffect();
    e->processReplacing(e, fin.ptrs, fout.ptrs, 200);
    e->processReplacing(e, nullptr, fout.ptrs, 200); // no inputs at all: silence
    for (float s : fout.data[0])
        ASSERT_EQ(s, 0.0f);
    e->processReplacing(e, fin.ptrs, nullptr, 200);
    e->processDoubleReplacing(e, nullptr, nullptr, 200);
    e->process(e, fin.ptrs, fout.ptrs, 200); // the old accumulating call does nothing
}

TEST_F(KalvoAudio, NonFiniteInputDoesNotLeaveTheOutputStuck)
{
    Kalvo effect(TestHost::callback);
    AEffect* e = effect.getAeffect();
    e->setParameter(e, 5, 1.0f); // longest delay: 55 ms
    ChannelBuffers<float> bad(512, kNaN), out(512);
    bad.data[1].assign(512, kInf);
    bad.data[2].assign(512, -kInf);
    e->processReplacing(e, bad.ptrs, out.ptrs, 512);
    ChannelBuffers<double> dbad(512, std::numeric_limits<double>::quiet_NaN()), dout(512);
    e->processDoubleReplacing(e, dbad.ptrs, dout.ptrs, 512);
    // 0.4 s of silence flushes the delay line and the filters.
    ChannelBuffers<float> zero(512);
    for (int block = 0; block < 35; ++block)
        e->processReplacing(e, zero.ptrs, out.ptrs, 512);
    EXPECT_TRUE(allFinite(out));
    for (int m = 20; m <= 27; ++m)
        EXPECT_TRUE(std::isfinite(e->getParameter(e, m))) << m;
}

// ---- the editor link ----

TEST_F(KalvoEditorLink, EditorHearsOfEveryChangeAndPresetsAnnounceEachParameter)
{
    WithFakeEditor withEditor;
    Kalvo effect(TestHost::callback, linuxRules());
    FakeEditor* editor = FakeEditor::last();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(effect.getAeffect()->flags & effFlagsHasEditor, effFlagsHasEditor);
    // Program 0 was applied while building: 13 notifications.
    EXPECT_EQ(editor->changes.size(), 13u);

    editor->changes.clear();
    effect.setParameterAutomated(14, 2.0f);
    ASSERT_EQ(editor->changes.size(), 14u);
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(editor->changes[i].index, i);
    EXPECT_EQ(editor->changes[5].value, 0.0f);
    EXPECT_EQ(editor->changes[13].index, 14);
    ASSERT_EQ(host.automated.size(), 1u);
    EXPECT_EQ(host.automated[0].index, 14);

    editor->changes.clear();
    effect.getAeffect()->setParameter(effect.getAeffect(), 14, 0.0f); // only notifies
    effect.getAeffect()->setParameter(effect.getAeffect(), 99, 0.5f);
    ASSERT_EQ(editor->changes.size(), 2u);
    EXPECT_EQ(editor->changes[0].index, 14);
    EXPECT_EQ(editor->changes[1].index, 99);
}

TEST_F(KalvoEditorLink, MacRulesAttachTheEditorLateAndNotifyTwice)
{
    WithFakeEditor withEditor;
    std::unique_ptr<AudioEffect> effect(createEffectInstance(TestHost::callback, macRules()));
    FakeEditor* editor = FakeEditor::last();
    ASSERT_NE(editor, nullptr);
    // Attached after program 0 was loaded: it heard nothing of the construction.
    EXPECT_TRUE(editor->changes.empty());
    AEffect* e = effect->getAeffect();
    e->setParameter(e, 2, 0.4f);
    ASSERT_EQ(editor->changes.size(), 2u);
    EXPECT_EQ(editor->changes[1].index, 2);
    EXPECT_EQ(editor->changes[1].value, 0.4f);
}

TEST_F(KalvoEditorLink, WheelReachesTheEditorOnlyWithItsCodes)
{
    const VstIntPtr whee = vstFourCC('W', 'h', 'e', 'e');
    const VstInt32 stca = vstFourCC('s', 't', 'C', 'A');
    {
        Kalvo bare(TestHost::callback);
        EXPECT_EQ(dispatch(bare, effVendorSpecific, stca, whee, nullptr, 1.0f), 0);
    }
    WithFakeEditor withEditor;
    Kalvo effect(TestHost::callback, linuxRules());
    FakeEditor* editor = FakeEditor::last();
    EXPECT_EQ(dispatch(effect, effVendorSpecific, stca, whee, nullptr, -2.0f), 1);
    EXPECT_EQ(dispatch(effect, effVendorSpecific, stca, whee + 1, nullptr, 1.0f), 0);
    EXPECT_EQ(dispatch(effect, effVendorSpecific, stca + 1, whee, nullptr, 1.0f), 0);
    EXPECT_EQ(dispatch(effect, effVendorSpecific, stca, whee, nullptr, kNaN), 0);
    ASSERT_EQ(editor->wheels.size(), 1u);
    EXPECT_EQ(editor->wheels[0], -2.0f);
}
