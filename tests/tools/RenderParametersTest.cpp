// Parameter values in every unit, preset names and the command line.

#include "RenderParameters.h"
#include "RenderOptions.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace render;

namespace
{

float parsed(const std::string& setting)
{
    int index = -1;
    float value = -1.0f;
    std::string error;
    EXPECT_TRUE(parseParameterSetting(setting, index, value, error)) << setting << ": " << error;
    return value;
}

std::string rejection(const std::string& setting)
{
    int index = -1;
    float value = -1.0f;
    std::string error;
    EXPECT_FALSE(parseParameterSetting(setting, index, value, error)) << setting << " was accepted";
    return error;
}

bool parse(const std::vector<std::string>& args, RenderOptions& options, std::string& error)
{
    options = RenderOptions();
    return parseOptions(args, options, error);
}

} // namespace

TEST(RenderParameters, AnglesInDegreesMapOntoTheDecodersScales)
{
    // Front pair: 90 * x degrees; surround pair: 90 + 90 * (1 - x) degrees.
    EXPECT_FLOAT_EQ(parsed("LROffset=60deg"), 60.0f / 90.0f);
    EXPECT_FLOAT_EQ(parsed("LROffset=72deg"), 0.8f);
    EXPECT_FLOAT_EQ(parsed("LROffset=0deg"), 0.0f);
    EXPECT_FLOAT_EQ(parsed("LSRSOffset=126deg"), 0.6f);
    EXPECT_FLOAT_EQ(parsed("LSRSOffset=180deg"), 0.0f);
    EXPECT_FLOAT_EQ(parsed("LSRSOffset=90deg"), 1.0f);
    EXPECT_FLOAT_EQ(parsed("LROffset=45\xc2\xb0"), 0.5f);
    rejection("LROffset=91deg");
    rejection("LSRSOffset=89deg");
    rejection("LSRSOffset=181deg");
}

TEST(RenderParameters, DelayCornerAndLevelsInPhysicalUnits)
{
    EXPECT_FLOAT_EQ(parsed("RearDelay=20ms"), 20.0f / 55.0f);
    EXPECT_FLOAT_EQ(parsed("RearDelay=55ms"), 1.0f);
    EXPECT_FLOAT_EQ(parsed("RearSlopeFilter=8kHz"), 7.0f / 19.0f);
    EXPECT_FLOAT_EQ(parsed("RearSlopeFilter=8000Hz"), 7.0f / 19.0f);
    EXPECT_FLOAT_EQ(parsed("RearSlopeFilter=1kHz"), 0.0f);
    EXPECT_FLOAT_EQ(parsed("RearSlopeFilter=off"), 1.0f);
    EXPECT_FLOAT_EQ(parsed("RearSlopeFilter=20khz"), 1.0f);
    // Levels are linear gains: -6.0206 dB is one half.
    EXPECT_FLOAT_EQ(parsed("FrontLevel=-3dB"), static_cast<float>(std::pow(10.0, -3.0 / 20.0)));
    EXPECT_FLOAT_EQ(parsed("RearLevel=-6.0206dB"), 0.5f);
    EXPECT_FLOAT_EQ(parsed("CenterLevel=0dB"), 1.0f);
    EXPECT_FLOAT_EQ(parsed("CenterLevel=-inf"), 0.0f);
    rejection("RearDelay=56ms");
    rejection("RearDelay=-1ms");
    rejection("RearSlopeFilter=900Hz");
    rejection("RearSlopeFilter=21kHz");
    EXPECT_NE(rejection("FrontLevel=+1dB").find("out of range"), std::string::npos);
}

TEST(RenderParameters, PatternsSwitchesAndPlainNormalisedValues)
{
    EXPECT_FLOAT_EQ(parsed("CenterPolarPattern=cardioid"), 0.5f);
    EXPECT_FLOAT_EQ(parsed("LRPolarPattern=omni"), 1.0f);
    EXPECT_FLOAT_EQ(parsed("LSRSPolarPattern=figure-8"), 0.0f);
    EXPECT_FLOAT_EQ(parsed("LSRSPolarPattern=Figure of Eight"), 0.0f);
    EXPECT_FLOAT_EQ(parsed("LRPolarPattern=36%"), 0.36f);
    EXPECT_FLOAT_EQ(parsed("LRPolarPattern=0.36"), 0.36f);
    EXPECT_FLOAT_EQ(parsed("FrontMute=on"), 1.0f);
    EXPECT_FLOAT_EQ(parsed("RearMute=off"), 0.0f);
    EXPECT_FLOAT_EQ(parsed("CenterMute=1"), 1.0f);
    // A mute silences only at exactly 1, so half values are refused.
    rejection("CenterMute=0.5");
    EXPECT_FLOAT_EQ(parsed("RearDelay=0.25"), 0.25f);
    EXPECT_FLOAT_EQ(parsed("frontlevel = 1"), 1.0f);
    rejection("LRPolarPattern=1.01");
    rejection("LRPolarPattern=-0.01");
    rejection("LRPolarPattern=101%");
}

TEST(RenderParameters, MalformedSettingsAreRefusedWithAReason)
{
    EXPECT_NE(rejection("Volume=0.5").find("unknown parameter 'Volume'"), std::string::npos);
    EXPECT_NE(rejection("RearDelay").find("NAME=VALUE"), std::string::npos);
    EXPECT_NE(rejection("RearDelay=").find("not a number"), std::string::npos);
    EXPECT_NE(rejection("RearDelay=abc").find("not a number"), std::string::npos);
    EXPECT_NE(rejection("RearDelay=nan").find("not a number"), std::string::npos);
    EXPECT_NE(rejection("RearDelay=1e999ms").find("not a number"), std::string::npos);
    EXPECT_NE(rejection("LROffset=20ms").find("unit 'ms'"), std::string::npos);
    EXPECT_NE(rejection("FrontLevel=3kHz").find("unit 'khz'"), std::string::npos);
}

TEST(RenderParameters, PresetsByMenuNameProgramNameOrNumber)
{
    EXPECT_EQ(findPreset("5 Channel"), 1);
    EXPECT_EQ(findPreset("4 Channel"), 2);
    EXPECT_EQ(findPreset("4-Channel optimized"), 2);
    EXPECT_EQ(findPreset("Stereo 45\xc2\xb0"), 3);
    EXPECT_EQ(findPreset("stereo 45 degree"), 3);
    EXPECT_EQ(findPreset("XY Stereo 90"), 3);
    EXPECT_EQ(findPreset("stereo-60"), 4);
    EXPECT_EQ(findPreset("5 channel MUSICAL"), 5);
    EXPECT_EQ(findPreset("5"), 5);
    EXPECT_EQ(findPreset("1"), 1);
    // Entry 0 of the menu selects nothing, and there is no sixth preset.
    EXPECT_EQ(findPreset("0"), 0);
    EXPECT_EQ(findPreset("6"), 0);
    EXPECT_EQ(findPreset("< Select Preset >"), 0);
    EXPECT_EQ(findPreset("Stereo"), 0);
    EXPECT_EQ(findPreset(""), 0);
}

TEST(RenderOptions, InputsOutputsAndTheDemo)
{
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(parse({"in.wav", "out.wav"}, o, error)) << error;
    EXPECT_EQ(o.inputs, std::vector<std::string>{"in.wav"});
    EXPECT_EQ(o.output, "out.wav");
    EXPECT_EQ(o.outputSpec.format, SampleFormat::Pcm24);
    EXPECT_FALSE(o.render.singlePrecision);

    ASSERT_TRUE(parse({"f.wav", "s.wav", "r.wav", "o.wav", "--mono", "--order", "SFR", "--dither"}, o, error))
        << error;
    EXPECT_TRUE(o.outputSpec.dither);
    EXPECT_EQ(o.inputs.size(), 3u);
    EXPECT_TRUE(o.outputSpec.monoFiles);
    EXPECT_EQ(o.order[0], kSide);
    EXPECT_EQ(o.order[1], kFrontMid);

    ASSERT_TRUE(parse({"--demo"}, o, error)) << error;
    EXPECT_TRUE(o.demo);
    EXPECT_EQ(o.output, kDefaultDemoOutput);

    // Without any recording the demonstration scene is decoded, as with --demo.
    ASSERT_TRUE(parse({"-q"}, o, error)) << error;
    EXPECT_TRUE(o.demo);
    EXPECT_EQ(o.output, kDefaultDemoOutput);

    ASSERT_TRUE(parse({"in.wav", "out.wav", "--preset=Stereo 60\xc2\xb0", "--set", "RearDelay=11ms",
                       "--set=FrontMute=on", "--bits", "32", "--precision=single", "--block", "512", "-q"},
                      o, error))
        << error;
    EXPECT_EQ(o.render.preset, 4);
    ASSERT_EQ(o.render.settings.size(), 2u);
    EXPECT_EQ(o.render.settings[0].first, 5);
    EXPECT_FLOAT_EQ(o.render.settings[0].second, 0.2f);
    EXPECT_EQ(o.render.settings[1].first, 11);
    EXPECT_EQ(o.outputSpec.format, SampleFormat::Float32);
    EXPECT_TRUE(o.render.singlePrecision);
    EXPECT_EQ(o.render.blockSize, 512);
    EXPECT_TRUE(o.quiet);
}

TEST(RenderOptions, RefusesWhatItCannotDo)
{
    RenderOptions o;
    std::string error;
    EXPECT_FALSE(parse({"only-one.wav"}, o, error));
    EXPECT_FALSE(parse({"a.wav", "b.wav", "c.wav"}, o, error));
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--bits", "20"}, o, error));
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--block", "0"}, o, error));
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--block", "12x"}, o, error));
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--preset", "Jazz"}, o, error));
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--order", "FFR"}, o, error));
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--order", "FS"}, o, error));
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--set"}, o, error));
    EXPECT_NE(error.find("needs a value"), std::string::npos);
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--loud"}, o, error));
    EXPECT_NE(error.find("unknown option '--loud'"), std::string::npos);
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--quiet=yes"}, o, error));
    EXPECT_FALSE(parse({"--demo", "a.wav", "b.wav"}, o, error));
    // After "--" a name that starts with a dash is a file.
    ASSERT_TRUE(parse({"--", "-in.wav", "out.wav"}, o, error)) << error;
    EXPECT_EQ(o.inputs[0], "-in.wav");
}
