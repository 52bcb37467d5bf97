#include "effect/KalvoConverters.h"
#include "effect/BuildRules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace
{

using Converter = void (*)(float, char*);

std::string convert(Converter f, float value)
{
    char text[kConverterTextSize] = "untouched";
    f(value, text);
    return text;
}

std::string degrees(float value, const KalvoBuildRules& rules)
{
    char text[kConverterTextSize] = "untouched";
    formatWholeDegrees(value, text, rules);
    return text;
}

} // namespace

TEST(KalvoConverters, GainShowsMinusInfinityBelowMinus40dB)
{
    for (Converter f : {gainStringConvert, volumeStringConvert})
    {
        EXPECT_EQ(convert(f, -40.0f), "-40.0dB");
        EXPECT_EQ(convert(f, -40.1f), "-oo");
        EXPECT_EQ(convert(f, 0.0f), "0.0dB");
        EXPECT_EQ(convert(f, 6.04f), "6.0dB");
        // NaN is not below -40, so it reaches the format instead of reading "-oo".
        EXPECT_NE(convert(f, std::nanf("")), "-oo");
    }
}

TEST(KalvoConverters, FrequencyShowsOffOnlyForExactly20)
{
    for (Converter f : {freqStringConvert, slopeStringConvert})
    {
        EXPECT_EQ(convert(f, 20.0f), "off");
        EXPECT_EQ(convert(f, 19.9f), "19.9");
        EXPECT_EQ(convert(f, 20.001f), "20.0");
        EXPECT_EQ(convert(f, 1.0f), "1.0");
    }
}

TEST(KalvoConverters, DecimalsLeaveTheTextAloneForNegativeValues)
{
    for (Converter f : {param2disp, param2DeciString})
    {
        EXPECT_EQ(convert(f, 19.86f), "19.9");
        EXPECT_EQ(convert(f, 0.0f), "0.0");
        EXPECT_EQ(convert(f, -0.1f), "untouched");
    }
    // The largest float has 39 integer digits: still within the converter's text size.
    EXPECT_EQ(convert(param2disp, 3e38f).size(), 41u);
}

TEST(KalvoConverters, WholeDegreesCarryTheDegreeSignOfTheRuleSet)
{
    EXPECT_EQ(degrees(90.0f, linuxRules()), " 90\xC2\xB0");
    EXPECT_EQ(degrees(122.4f, linuxRules()), "122\xC2\xB0");
    EXPECT_EQ(degrees(90.0f, windowsRules()), " 90\xB0");
    EXPECT_EQ(degrees(90.0f, macRules()), " 90deg");
    EXPECT_EQ(degrees(-1.0f, macRules()), "untouched");
    EXPECT_EQ(convert(param2disp1, 45.0f), degrees(45.0f, buildRules()));
    EXPECT_EQ(convert(param2noneDeciString, 45.0f), degrees(45.0f, buildRules()));
}

TEST(KalvoConverters, PercentRoundsHalfUp)
{
    EXPECT_EQ(convert(percentStringConvert, 0.5f), "50%");
    EXPECT_EQ(convert(percentStringConvert, 0.996f), "100%");
    EXPECT_EQ(convert(percentStringConvert, 0.0f), "0%");
    EXPECT_EQ(convert(percentStringConvert, 0.364f), "36%");
    // Values without an integer percentage must not crash.
    convert(percentStringConvert, std::nanf(""));
    convert(percentStringConvert, 1e30f);
    convert(percentStringConvert, -INFINITY);
}
