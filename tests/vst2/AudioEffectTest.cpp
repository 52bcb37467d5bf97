#include "tests/support/FakeEditor.h"
#include "tests/support/TestHost.h"
#include "vst2/AudioEffectX.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace
{

std::string f2s(float value, VstInt32 maxLen = 16)
{
    char text[64];
    std::memset(text, 'x', sizeof(text));
    AudioEffect::float2string(value, text, maxLen);
    return text;
}

std::string db2s(float value)
{
    char text[64];
    AudioEffect::dB2string(value, text, 16);
    return text;
}

std::string i2s(VstInt32 value)
{
    char text[64];
    std::memset(text, 'x', sizeof(text));
    AudioEffect::int2string(value, text, 16);
    return text;
}

/// A bare effect that records the lifecycle calls the dispatcher routes to it.
class ProbeEffect : public AudioEffectX
{
public:
    explicit ProbeEffect(audioMasterCallback host = nullptr, bool* destroyed = nullptr)
        : AudioEffectX(host, 3, 2), destroyed(destroyed)
    {
    }
    ~ProbeEffect() override
    {
        if (destroyed)
            *destroyed = true;
    }
    void resume() override { ++resumes; }
    void suspend() override { ++suspends; }
    void setProgram(VstInt32 program) override { programsSet.push_back(program); }
    void close() override { ++closes; }

    int resumes = 0;
    int suspends = 0;
    int closes = 0;
    std::vector<VstInt32> programsSet;
    bool* destroyed;
};

VstIntPtr dispatch(AudioEffect& effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   void* ptr = nullptr, float opt = 0.0f)
{
    AEffect* e = effect.getAeffect();
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

} // namespace

TEST(AudioEffect, Float2StringFillsEightPositionsTruncatingTheFraction)
{
    EXPECT_EQ(f2s(0.36f), "0.360000");
    EXPECT_EQ(f2s(1.0f), "1.000000");
    EXPECT_EQ(f2s(-0.5f), "-0.50000");
    EXPECT_EQ(f2s(12345.678f), "12345.67");
    EXPECT_EQ(f2s(0.0f), "0.000000");
    // 2/3 in single precision is 0.666666686...: truncation, not rounding.
    EXPECT_EQ(f2s(2.0f / 3.0f), "0.666666");
    EXPECT_EQ(f2s(1234567.0f), "1234567.");
    EXPECT_EQ(f2s(-123456.0f), "-123456.");
}

TEST(AudioEffect, Float2StringSaysHugeBeyondItsLimitsAndKeepsLeadingDigitsBelowThem)
{
    EXPECT_EQ(f2s(100000000.0f), "Huge!");
    EXPECT_EQ(f2s(-10000000.0f), "Huge!");
    EXPECT_EQ(f2s(std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(f2s(-std::numeric_limits<float>::infinity()), "Huge!");
    // Sign and integer digits filling all 8 positions: no leading digit is
    // dropped and the text stays within 8 characters.
    EXPECT_EQ(f2s(12345678.0f), "12345678");
    EXPECT_EQ(f2s(-1234567.0f), "-1234567");
    EXPECT_EQ(f2s(std::nanf("")), "NaN");
}

TEST(AudioEffect, TextConversionsWriteAtMostMaxLenCharactersAndATerminator)
{
    char text[16];
    std::memset(text, 'x', sizeof(text));
    AudioEffect::float2string(0.36f, text, 3);
    EXPECT_STREQ(text, "0.3");
    EXPECT_EQ(text[4], 'x');
    std::memset(text, 'x', sizeof(text));
    AudioEffect::int2string(-12345, text, 2);
    EXPECT_STREQ(text, "-1");
    EXPECT_EQ(text[3], 'x');
    AudioEffect::float2string(1.0f, nullptr, 8); // ignored, no crash
}

TEST(AudioEffect, DB2StringShowsMinusInfinityForZeroAndBelow)
{
    EXPECT_EQ(db2s(0.0f), "-oo");
    EXPECT_EQ(db2s(-1.0f), "-oo");
    EXPECT_EQ(db2s(1.0f), "0.000000");
    // 20 log10(0.5) = -6.0206 (single precision -6.02059984...)
    EXPECT_EQ(db2s(0.5f), "-6.02059");
    EXPECT_EQ(db2s(10.0f), "20.00000");
}

TEST(AudioEffect, Int2StringWritesDigitsWithoutLeadingZeros)
{
    EXPECT_EQ(i2s(0), "");
    EXPECT_EQ(i2s(-25), "-25");
    EXPECT_EQ(i2s(1000), "1000");
    EXPECT_EQ(i2s(99999999), "99999999");
    EXPECT_EQ(i2s(100000000), "Huge!");
    EXPECT_EQ(i2s(std::numeric_limits<VstInt32>::max()), "Huge!");
    // Only large positive values are "Huge!"; negative ones keep every digit.
    EXPECT_EQ(i2s(-100000000), "-100000000");
    EXPECT_EQ(i2s(-999999999), "-999999999");
    EXPECT_EQ(i2s(std::numeric_limits<VstInt32>::min()), "-2147483648");
}

TEST(AudioEffect, RecordStartsWithTheBaseIdentity)
{
    ProbeEffect effect;
    const AEffect* e = effect.getAeffect();
    EXPECT_EQ(e->magic, vstFourCC('V', 's', 't', 'P'));
    EXPECT_EQ(e->uniqueID, vstFourCC('N', 'o', 'E', 'f'));
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->numPrograms, 3);
    EXPECT_EQ(e->numParams, 2);
    EXPECT_EQ(e->numInputs, 1);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, effFlagsCanReplacing);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->object, &effect);
    EXPECT_EQ(e->initialDelay, 0);
}

TEST(AudioEffect, FlagSettersSetAndClearTheirBits)
{
    ProbeEffect effect;
    effect.canDoubleReplacing(true);
    effect.programsAreChunks(true);
    EXPECT_EQ(effect.getAeffect()->flags, 16 | 32 | 4096);
    effect.canProcessReplacing(false);
    effect.programsAreChunks(false);
    EXPECT_EQ(effect.getAeffect()->flags, 4096);
    FakeEditor* editor = new FakeEditor(&effect);
    effect.setEditor(editor);
    EXPECT_EQ(effect.getAeffect()->flags & effFlagsHasEditor, effFlagsHasEditor);
    effect.setEditor(nullptr);
    EXPECT_EQ(effect.getAeffect()->flags & effFlagsHasEditor, 0);
    delete editor;
}

TEST(AudioEffect, DispatcherDefaultsAnswerAsPublished)
{
    ProbeEffect effect;
    EXPECT_EQ(dispatch(effect, effIdentify), vstFourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(dispatch(effect, effCanBeAutomated, 1), 1);
    EXPECT_EQ(dispatch(effect, effGetCurrentMidiProgram), -1);
    EXPECT_EQ(dispatch(effect, effSetTotalSampleToProcess, 0, 777), 777);
    EXPECT_EQ(dispatch(effect, effGetVstVersion), 2400);
    EXPECT_EQ(dispatch(effect, effGetTailSize), 0);
    EXPECT_EQ(dispatch(effect, effSetBypass, 0, 1), 0);
    EXPECT_EQ(dispatch(effect, effGetChunk), 0);
    char text[256] = "untouched";
    const VstInt32 quiet[] = {effGetVu,
                              effEditDraw,
                              effEditMouse,
                              effEditKey,
                              effEditTop,
                              effEditSleep,
                              effStartProcess,
                              effStopProcess,
                              effSetProcessPrecision,
                              effGetNumMidiInputChannels,
                              200,
                              -1};
    for (VstInt32 op : quiet)
        EXPECT_EQ(dispatch(effect, op, 0, 0, text), 0) << op;
    EXPECT_EQ(dispatch(effect, effGetEffectName, 0, 0, text), 0);
}

TEST(AudioEffect, DispatcherRoutesProgramsMainsAndClose)
{
    bool destroyed = false;
    ProbeEffect* effect = new ProbeEffect(nullptr, &destroyed);
    dispatch(*effect, effSetProgram, 0, 2);
    dispatch(*effect, effSetProgram, 0, 3);  // equal to numPrograms: ignored
    dispatch(*effect, effSetProgram, 0, -1); // negative: ignored
    EXPECT_EQ(effect->programsSet, std::vector<VstInt32>{2});

    dispatch(*effect, effMainsChanged, 0, 1);
    dispatch(*effect, effMainsChanged, 0, 0);
    dispatch(*effect, effMainsChanged, 0, 0);
    EXPECT_EQ(effect->resumes, 1);
    EXPECT_EQ(effect->suspends, 2);

    dispatch(*effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    dispatch(*effect, effSetBlockSize, 0, 256);
    EXPECT_EQ(effect->getSampleRate(), 48000.0f);
    EXPECT_EQ(effect->getBlockSize(), 256);

    AEffect* e = effect->getAeffect();
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_TRUE(destroyed);
}

TEST(AudioEffect, UnusableSampleRatesAndBlockSizesFromTheHostAreIgnored)
{
    ProbeEffect effect;
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, std::nanf(""));
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, -48000.0f);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 0.0f);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, std::numeric_limits<float>::infinity());
    EXPECT_EQ(effect.getSampleRate(), 44100.0f);
    dispatch(effect, effSetBlockSize, 0, 0);
    dispatch(effect, effSetBlockSize, 0, -5);
    EXPECT_EQ(effect.getBlockSize(), 1024);
}

TEST(AudioEffect, HostRequestsKeepStoredValuesWhenTheHostDoesNotAnswer)
{
    ProbeEffect alone; // no host callback at all
    EXPECT_EQ(alone.updateSampleRate(), 44100.0f);
    EXPECT_EQ(alone.updateBlockSize(), 1024);
    EXPECT_FALSE(alone.beginEdit(3));
    EXPECT_EQ(alone.getMasterVersion(), 0);
    alone.masterIdle();

    TestHost host;
    ProbeEffect effect(TestHost::callback);
    host.sampleRate = 0;
    host.blockSize = 0;
    EXPECT_EQ(effect.updateSampleRate(), 44100.0f);
    EXPECT_EQ(effect.updateBlockSize(), 1024);
    host.sampleRate = 96000;
    host.blockSize = 64;
    EXPECT_EQ(effect.updateSampleRate(), 96000.0f);
    EXPECT_EQ(effect.updateBlockSize(), 64);
    host.sampleRate = -1;
    host.blockSize = -1;
    EXPECT_EQ(effect.updateSampleRate(), 96000.0f);
    EXPECT_EQ(effect.updateBlockSize(), 64);
    host.sampleRate = 4000000000LL; // no sensible audio rate
    EXPECT_EQ(effect.updateSampleRate(), 96000.0f);
}

TEST(AudioEffect, EditRequestsReachTheHost)
{
    TestHost host;
    ProbeEffect effect(TestHost::callback);
    EXPECT_TRUE(effect.beginEdit(4));
    effect.setParameterAutomated(4, 0.25f);
    EXPECT_TRUE(effect.endEdit(4));
    effect.masterIdle();
    ASSERT_EQ(host.automated.size(), 1u);
    EXPECT_EQ(host.automated[0].index, 4);
    EXPECT_EQ(host.automated[0].value, 0.25f);
    EXPECT_EQ(host.beganEdits, std::vector<VstInt32>{4});
    EXPECT_EQ(host.endedEdits, std::vector<VstInt32>{4});
    EXPECT_EQ(host.idleCalls, 1);
}

TEST(AudioEffectX, EditorOpcodesReachTheEditorOnlyWhenOneIsAttached)
{
    ProbeEffect effect;
    VstKeyCode* none = nullptr;
    EXPECT_EQ(dispatch(effect, effEditKeyDown, 'k', 0, none), 0);
    EXPECT_EQ(dispatch(effect, effSetEditKnobMode, 0, 2), 0);
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, &rect), 0);

    FakeEditor* editor = new FakeEditor(&effect);
    effect.setEditor(editor); // owned by the effect from now on
    EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect, &editor->rect);
    EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, nullptr), 0); // null slot ignored
    EXPECT_EQ(dispatch(effect, effEditOpen, 0, 0, nullptr), 0);    // no window, no editor

    // character = index, virt = low byte of value, modifier = low byte of opt
    EXPECT_EQ(dispatch(effect, effEditKeyDown, 'k', 0x10B, nullptr, 261.0f), 1);
    EXPECT_EQ(dispatch(effect, effEditKeyDown, 'j', 0, nullptr, std::nanf("")), 0);
    ASSERT_EQ(editor->keysDown.size(), 2u);
    EXPECT_EQ(editor->keysDown[0].character, 'k');
    EXPECT_EQ(editor->keysDown[0].virt, 0x0B);
    EXPECT_EQ(editor->keysDown[0].modifier, 5);
    EXPECT_EQ(editor->keysDown[1].modifier, 0);
}

TEST(AudioEffectX, MatchArrangementCopiesEverySpeakerAndAcceptsItsOwnRecord)
{
    ProbeEffect effect;
    VstSpeakerArrangement source{};
    source.type = kSpeakerArr40Music;
    source.numChannels = 4;
    for (int i = 0; i < 4; ++i)
    {
        source.speakers[i].azimuth = 0.5f * static_cast<float>(i);
        source.speakers[i].type = kSpeakerL + i;
        std::memset(source.speakers[i].name, 'n', sizeof(source.speakers[i].name)); // no terminator
        source.speakers[i].future[27] = 9;
    }
    VstSpeakerArrangement* copy = nullptr;
    ASSERT_TRUE(effect.matchArrangement(&copy, &source));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->type, kSpeakerArr40Music);
    EXPECT_EQ(copy->numChannels, 4);
    EXPECT_EQ(copy->speakers[3].azimuth, 1.5f);
    EXPECT_EQ(copy->speakers[3].type, kSpeakerL + 3);
    EXPECT_EQ(std::strlen(copy->speakers[0].name), 63u);
    EXPECT_EQ(copy->speakers[2].future[27], 9);

    // A host may hand back the record it got from the effect.
    ASSERT_TRUE(effect.matchArrangement(&copy, copy));
    EXPECT_EQ(copy->speakers[3].azimuth, 1.5f);

    source.numChannels = -1;
    EXPECT_FALSE(effect.matchArrangement(&copy, &source));
    source.numChannels = 9;
    EXPECT_FALSE(effect.matchArrangement(&copy, &source));
    EXPECT_FALSE(effect.matchArrangement(&copy, nullptr));
    EXPECT_EQ(copy->numChannels, 4); // refusals leave the record alone
    EXPECT_FALSE(effect.copySpeaker(nullptr, &source.speakers[0]));
    EXPECT_TRUE(effect.deallocateArrangement(&copy));
    EXPECT_EQ(copy, nullptr);
}
