// The built plug-in driven through its entry point, as hosts do: Kalvo.so through dlopen,
// Kalvo.dll through LoadLibrary under Wine.
#include "tests/support/PluginLibrary.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{

// The names and vendor version the build's rule set gives the created effect.
const bool kMacRules = std::string(KALVO_RULES_NAME) == "mac";
const char* const kEffectName = kMacRules ? "KalvoEditGUI" : "Zentri Surround Tool";
const char* const kProductName = kMacRules ? "KalvoEditGUI" : "Zentri Surround Matrix";
const VstIntPtr kVendorVersion = kMacRules ? 1000 : 1100;

struct KalvoSo : ::testing::Test
{
    void SetUp() override { ASSERT_TRUE(library.loaded()) << library.error; }
    TestHost host;
    PluginLibrary library;
};

/// Processes `blocks` blocks of a 1 kHz tone on the front microphone; returns the
/// largest absolute output of left, right and centre in the last block.
float playTone(AEffect* e, int frames, int blocks = 4)
{
    ChannelBuffers<float> in(frames), out(frames);
    float peak = 0.0f;
    for (int b = 0; b < blocks; ++b)
    {
        for (int i = 0; i < frames; ++i)
            in.data[0][i] =
                0.5f * static_cast<float>(std::sin(2.0 * M_PI * 1000.0 * (b * frames + i) / 44100.0));
        e->processReplacing(e, in.ptrs, out.ptrs, frames);
        peak = 0.0f;
        for (int c = 0; c < 6; ++c)
            for (float s : out.data[c])
            {
                if (!std::isfinite(s))
                    return NAN;
                if (c < 3)
                    peak = std::max(peak, std::fabs(s));
            }
    }
    return peak;
}

void closeEffect(AEffect* e)
{
    EXPECT_EQ(call(e, effClose), 1);
}

} // namespace

TEST_F(KalvoSo, ExportsOnlyItsTwoEntryPoints)
{
    EXPECT_NE(library.symbol("VSTPluginMain"), nullptr);
    EXPECT_NE(library.symbol("main"), nullptr);
    EXPECT_EQ(library.symbol("kalvoPluginMain"), nullptr);
    EXPECT_EQ(library.symbol("_Z17createKalvoEditorP12AudioEffectX"), nullptr);
    EXPECT_EQ(library.symbol("_ZN5KalvoD0Ev"), nullptr);
#if !KALVO_SANITIZED
    // The C++ runtime is linked in and hidden: none of its symbols show.
    EXPECT_EQ(library.symbol("_ZSt9terminatev"), nullptr);
    EXPECT_EQ(library.symbol("__cxa_throw"), nullptr);
#endif

    AEffect* viaMain = library.entry("main")(TestHost::callback);
    ASSERT_NE(viaMain, nullptr);
    EXPECT_EQ(viaMain->magic, kEffectMagic);
    closeEffect(viaMain);
}

TEST_F(KalvoSo, RefusesAHostThatAnswersZeroToTheVersionQuery)
{
    host.version = 0;
    EXPECT_EQ(library.create(TestHost::callback), nullptr);
    EXPECT_EQ(library.entry("main")(TestHost::callback), nullptr);
}

TEST_F(KalvoSo, ReportsItsIdentity)
{
    AEffect* e = library.create(TestHost::callback);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->uniqueID, vstFourCC('Z', 'K', 'V', 'T'));
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->numPrograms, 4);
    EXPECT_EQ(e->numParams, 13);
    EXPECT_EQ(e->numInputs, 6);
    EXPECT_EQ(e->numOutputs, 6);
    EXPECT_EQ(e->flags & ~effFlagsHasEditor, effFlagsCanReplacing | effFlagsCanDoubleReplacing);
    EXPECT_EQ((e->flags & effFlagsHasEditor) != 0, KALVO_HAS_EDITOR != 0);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);
    EXPECT_EQ(textOf(e, effGetEffectName), kEffectName);
    EXPECT_EQ(textOf(e, effGetProductString), kProductName);
    EXPECT_EQ(textOf(e, effGetVendorString), "Velmora");
    EXPECT_EQ(call(e, effGetVendorVersion), kVendorVersion);
    EXPECT_EQ(call(e, effGetPlugCategory), kPlugSurroundFx);
    EXPECT_EQ(call(e, effGetVstVersion), 2400);
    EXPECT_EQ(textOf(e, effGetParamName, 1), "LRPolarPattern");
    EXPECT_EQ(textOf(e, effGetParamDisplay, 4), "144.0000"); // the surround direction the panel shows
    EXPECT_EQ(textOf(e, effGetProgramName), "Edit 1");
    // The presets through the selector: index 14 is not a host parameter, but the
    // same call carries it.
    e->setParameter(e, 14, 4.0f);
    EXPECT_FLOAT_EQ(e->getParameter(e, 3), 0.67f);
    EXPECT_EQ(textOf(e, effGetParamDisplay, 3), "60.30000");
    closeEffect(e);
    // The plug-in never automates on its own.
    EXPECT_TRUE(host.automated.empty());
    EXPECT_TRUE(host.beganEdits.empty());
}

TEST_F(KalvoSo, LoadsWithDeepBinding)
{
#if defined(_WIN32)
    GTEST_SKIP() << "deep binding is a dlopen mode";
#elif KALVO_SANITIZED
    GTEST_SKIP() << "the sanitizer runtime refuses RTLD_DEEPBIND";
#else
    PluginLibrary deep(RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
    ASSERT_TRUE(deep.loaded()) << deep.error;
    AEffect* e = deep.create(TestHost::callback);
    ASSERT_NE(e, nullptr);
    EXPECT_GT(playTone(e, 256), 0.01f);
    closeEffect(e);
#endif
}

TEST_F(KalvoSo, SurvivesTheCallOrdersOfRealHosts)
{
    // Rate and block size before effOpen, mains switched off and on twice.
    AEffect* a = library.create(TestHost::callback);
    ASSERT_NE(a, nullptr);
    call(a, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    call(a, effSetBlockSize, 0, 256);
    call(a, effOpen);
    for (int i = 0; i < 2; ++i)
    {
        call(a, effMainsChanged, 0, 0);
        call(a, effMainsChanged, 0, 1);
    }
    EXPECT_GT(playTone(a, 256), 0.01f);

    // Rate and block size after effOpen; the host announces 8192 but sends 5461.
    AEffect* b = library.create(TestHost::callback);
    ASSERT_NE(b, nullptr);
    call(b, effOpen);
    host.blockSize = 8192;
    call(b, effSetBlockSize, 0, 8192);
    call(b, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    call(b, effMainsChanged, 0, 1);
    EXPECT_GT(playTone(b, 5461), 0.01f);

    // Block size raised while resumed, without a new resume: processed in pieces.
    host.blockSize = 64;
    call(b, effMainsChanged, 0, 0);
    call(b, effMainsChanged, 0, 1);
    call(b, effSetBlockSize, 0, 4096);
    EXPECT_GT(playTone(b, 4096), 0.01f);

    // Processing before any effOpen (some hosts skip it).
    AEffect* c = library.create(TestHost::callback);
    ASSERT_NE(c, nullptr);
    EXPECT_GT(playTone(c, 512), 0.01f);

    closeEffect(a);
    closeEffect(b);
    closeEffect(c);
}

TEST_F(KalvoSo, InstancesSideBySideKeepTheirOwnState)
{
    AEffect* a = library.create(TestHost::callback);
    AEffect* b = library.create(TestHost::callback);
    AEffect* twin = library.create(TestHost::callback);
    ASSERT_TRUE(a && b && twin);
    b->setParameter(b, 9, 0.0f); // b: centre silent
    a->setParameter(a, 0, 0.9f);
    twin->setParameter(twin, 0, 0.9f);
    EXPECT_EQ(a->getParameter(a, 0), 0.9f);
    EXPECT_EQ(b->getParameter(b, 0), 0.36f);

    ChannelBuffers<float> in(512, 0.25f), outA(512), outB(512), outTwin(512);
    a->processReplacing(a, in.ptrs, outA.ptrs, 512);
    b->processReplacing(b, in.ptrs, outB.ptrs, 512);
    twin->processReplacing(twin, in.ptrs, outTwin.ptrs, 512);
    EXPECT_EQ(outA.data, outTwin.data);
    EXPECT_NE(outA.data[2], outB.data[2]);
    for (float s : outB.data[2])
        ASSERT_EQ(s, 0.0f);
    closeEffect(a);
    // Closing one leaves the others working.
    b->processReplacing(b, in.ptrs, outB.ptrs, 512);
    closeEffect(b);
    closeEffect(twin);
}

TEST_F(KalvoSo, LoadsAgainAfterBeingUnloaded)
{
    for (int round = 0; round < 3; ++round)
    {
        PluginLibrary again;
        ASSERT_TRUE(again.loaded()) << again.error;
        AEffect* e = again.create(TestHost::callback);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(textOf(e, effGetProgramName), "Edit 1");
        EXPECT_GT(playTone(e, 128), 0.01f);
        closeEffect(e);
    }
}

TEST_F(KalvoSo, DoublePrecisionPathThroughTheRecord)
{
    AEffect* e = library.create(TestHost::callback);
    ASSERT_NE(e, nullptr);
    ChannelBuffers<double> in(1024, 0.0), out(1024, 3.0);
    for (int i = 0; i < 1024; ++i)
        in.data[1][i] = std::sin(0.05 * i);
    const std::vector<double> side = in.data[1];
    e->processDoubleReplacing(e, in.ptrs, out.ptrs, 1024);
    EXPECT_EQ(in.data[1], side); // the host's side channel stays as it was
    for (double s : out.data[3])
        ASSERT_EQ(s, 0.0);
    // A pure side signal gives opposite left and right.
    EXPECT_NE(out.data[0][500], 0.0);
    EXPECT_DOUBLE_EQ(out.data[0][500], -out.data[1][500]);
    closeEffect(e);
}
