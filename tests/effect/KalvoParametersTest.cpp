// The one table of parameter facts against the effect that hosts see: whatever a newer
// plug-in format or the command line derives from the table must agree with the VST 2.4
// build's own names, texts and programs.
#include "effect/BuildRules.h"
#include "effect/Kalvo.h"
#include "effect/KalvoConverters.h"
#include "effect/ParameterText.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace
{

std::string hostText(AudioEffect& effect, VstInt32 opcode, VstInt32 index)
{
    char buffer[256] = {};
    AEffect* e = effect.getAeffect();
    e->dispatcher(e, opcode, index, 0, buffer, 0.0f);
    return buffer;
}

} // namespace

TEST(ParameterTable, AgreesWithTheEffectsNamesTextsAndPrograms)
{
    TestHost host;
    Kalvo effect(TestHost::callback);
    for (int i = 0; i < kNumParameters; ++i)
    {
        const kalvo::ParameterSpec& spec = kalvo::parameterSpec(i);
        SCOPED_TRACE(spec.panelName);
        EXPECT_EQ(spec.index, i);
        EXPECT_EQ(hostText(effect, effGetParamName, i), spec.hostName);
        EXPECT_EQ(hostText(effect, effGetParamLabel, i), spec.hostLabel);
        EXPECT_EQ(effect.getParameter(i), spec.defaultKnob);
        EXPECT_EQ(kalvo::findParameterByName(spec.symbol), i);
        EXPECT_EQ(kalvo::findParameterByName(spec.panelName), i);

        // The host's display text, typed back in, lands on the knob it came from.
        for (float knob : {0.0f, 0.25f, 0.6f, 1.0f})
        {
            effect.setParameter(i, knob);
            const std::string shown = hostText(effect, effGetParamDisplay, i);
            if (spec.unit == kalvo::ParameterUnit::Switch)
                continue; // the mutes have no host text
            float parsed = -1.0f;
            std::string error;
            ASSERT_TRUE(kalvo::parseParameterText(i, shown, parsed, error)) << shown << ": " << error;
            EXPECT_NEAR(parsed, knob, spec.unit == kalvo::ParameterUnit::LevelDb ? 1e-5 : 1e-6) << shown;
            // Plain values round-trip too, down to the levels' floor.
            const double unit = kalvo::knobToUnit(i, knob);
            EXPECT_GE(unit, spec.minimum);
            EXPECT_LE(unit, spec.maximum);
            if (!(spec.unit == kalvo::ParameterUnit::LevelDb && knob < 0.01f))
            {
                EXPECT_NEAR(kalvo::unitToKnob(i, unit), knob, 1e-6);
            }
        }
        effect.setParameter(i, spec.defaultKnob);
    }
    for (int preset = 0; preset < kNumFactoryPresets; ++preset)
        EXPECT_EQ(std::memcmp(effect.getProgramEntry(kNumUserPrograms + preset).values,
                              kalvo::factoryPresetValues(preset), sizeof(float) * kNumParameters),
                  0);
}

TEST(ParameterTable, SymbolsAndRangesThatSessionsStoreNeverChange)
{
    // Hosts of the newer formats store sessions by these symbols and in these units.
    const char* const symbols[kNumParameters] = {
        "center_pattern", "front_pattern", "surround_pattern", "front_angle",     "surround_angle",
        "rear_delay",     "rear_lowpass",  "front_volume",     "surround_volume", "center_volume",
        "center_mute",    "front_mute",    "surround_mute"};
    const double ranges[kNumParameters][3] = {
        {0, 1, 0.36}, {0, 1, 0.36}, {0, 1, 0.36}, {0, 90, 72}, {90, 180, 144}, {0, 55, 0}, {1, 20, 20},
        {-60, 0, 0},  {-60, 0, 0},  {-60, 0, 0},  {0, 1, 0},   {0, 1, 0},      {0, 1, 0}};
    for (int i = 0; i < kNumParameters; ++i)
    {
        const kalvo::ParameterSpec& spec = kalvo::parameterSpec(i);
        EXPECT_STREQ(spec.symbol, symbols[i]);
        EXPECT_EQ(spec.minimum, ranges[i][0]) << spec.symbol;
        EXPECT_EQ(spec.maximum, ranges[i][1]) << spec.symbol;
        EXPECT_NEAR(kalvo::knobToUnit(i, spec.defaultKnob), ranges[i][2], 1e-5) << spec.symbol;
    }
    // The bottom of a level's range is silence; a value that is not a number is refused.
    EXPECT_EQ(kalvo::unitToKnob(kFrontLevel, -60.0), 0.0);
    EXPECT_EQ(kalvo::unitToKnob(kFrontLevel, -500.0), 0.0);
    EXPECT_EQ(kalvo::unitToKnob(kLROffset, std::nan("")), -1.0);
    EXPECT_EQ(kalvo::unitToKnob(kCenterMute, 0.4), 0.0);
    EXPECT_EQ(kalvo::unitToKnob(kCenterMute, 1.0), 1.0);
}

TEST(ParameterTable, PanelTextsAreThePanelConvertersOwn)
{
    char text[kConverterTextSize];
    kalvo::formatPanelText(kLSRSOffset, 0.6f, text, linuxRules());
    EXPECT_STREQ(text, "144\xc2\xb0");
    kalvo::formatPanelText(kRearSlopeFilter, 1.0f, text, linuxRules());
    EXPECT_STREQ(text, "off");
    kalvo::formatPanelText(kFrontLevel, 0.0f, text, linuxRules());
    EXPECT_STREQ(text, "-oo");
    kalvo::formatPanelText(kCenterPolarPattern, 0.36f, text, linuxRules());
    EXPECT_STREQ(text, "0.36");
    kalvo::formatPanelText(kRearMute, 1.0f, text, linuxRules());
    EXPECT_STREQ(text, "on");
}

TEST(ParameterText, TypedValuesTakeCommasTypographicMinusAndOnRequestClampToTheRange)
{
    float knob = -1.0f;
    std::string error;
    // Front level: -6 dB is a gain of 10^(-6/20); comma and U+2212 read as point and minus.
    ASSERT_TRUE(kalvo::parseParameterText(7,
                                          "\xe2\x88\x92"
                                          "6,0 dB",
                                          knob, error))
        << error;
    EXPECT_FLOAT_EQ(knob, static_cast<float>(std::pow(10.0, -6.0 / 20.0)));
    ASSERT_TRUE(kalvo::parseParameterText(5, "27,5ms", knob, error)) << error;
    EXPECT_FLOAT_EQ(knob, 0.5f); // half of 55 ms

    // Out of range: an error for the command line, the nearest end for the panel.
    EXPECT_FALSE(kalvo::parseParameterText(3, "120", knob, error));
    ASSERT_TRUE(kalvo::parseParameterText(3, "120", knob, error, kalvo::OutOfRange::clamp));
    EXPECT_EQ(knob, 1.0f);
    ASSERT_TRUE(kalvo::parseParameterText(6, "0.2 kHz", knob, error, kalvo::OutOfRange::clamp));
    EXPECT_EQ(knob, 0.0f);
    ASSERT_TRUE(kalvo::parseParameterText(7, "+6 dB", knob, error, kalvo::OutOfRange::clamp));
    EXPECT_EQ(knob, 1.0f);
    // No number stays an error either way.
    EXPECT_FALSE(kalvo::parseParameterText(7, "loud", knob, error, kalvo::OutOfRange::clamp));
}
