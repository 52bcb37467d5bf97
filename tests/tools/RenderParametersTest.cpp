// Parameter values in every unit, preset names and the command line.

#include "tools/common/RenderParameters.h"
#include "dsp/KalvoAlgo.h"
#include "effect/Kalvo.h"
#include "effect/KalvoConverters.h"
#include "tools/kalvo-render/cli/RenderOptions.h"
#include "vst2/StandaloneHost.h"

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

TEST(RenderParameters, PlainNumbersAreInTheUnitsThePanelShows)
{
    // Angles in degrees from the front: 90 x for the front pair, 90 + 90 x for
    // the surround pair (the panel shows 144 for 0.6).
    EXPECT_FLOAT_EQ(parsed("FrontAngle=60"), 60.0f / 90.0f);
    EXPECT_FLOAT_EQ(parsed("LROffset=72deg"), 0.8f);
    EXPECT_FLOAT_EQ(parsed("LROffset=45\xc2\xb0"), 0.5f);
    EXPECT_FLOAT_EQ(parsed("SurroundAngle=144"), 0.6f);
    EXPECT_FLOAT_EQ(parsed("LSRSOffset=110deg"), 20.0f / 90.0f);
    EXPECT_FLOAT_EQ(parsed("SurroundAngle=90"), 0.0f);
    EXPECT_FLOAT_EQ(parsed("SurroundAngle=180"), 1.0f);
    EXPECT_FLOAT_EQ(parsed("RearDelay=20"), 20.0f / 55.0f);
    EXPECT_FLOAT_EQ(parsed("RearDelay=55ms"), 1.0f);
    EXPECT_FLOAT_EQ(parsed("RearLowPass=8"), 7.0f / 19.0f);
    EXPECT_FLOAT_EQ(parsed("RearSlopeFilter=8000Hz"), 7.0f / 19.0f);
    EXPECT_FLOAT_EQ(parsed("RearSlopeFilter=off"), 1.0f);
    // Levels in dB: 0 is the top of the slider (it used to be read as the
    // bottom, silence), -6.0206 dB a gain of one half.
    EXPECT_FLOAT_EQ(parsed("FrontLevel=0"), 1.0f);
    EXPECT_FLOAT_EQ(parsed("FrontLevel=-3dB"), static_cast<float>(std::pow(10.0, -3.0 / 20.0)));
    EXPECT_FLOAT_EQ(parsed("SurroundVolume=-6.0206"), 0.5f);
    EXPECT_FLOAT_EQ(parsed("CenterLevel=-inf"), 0.0f);
    EXPECT_FLOAT_EQ(parsed("CenterPattern=0.36"), 0.36f);
    EXPECT_FLOAT_EQ(parsed("LSRSPolarPattern=Figure of Eight"), 0.0f);
    EXPECT_FLOAT_EQ(parsed("FrontMute=on"), 1.0f);
    EXPECT_FLOAT_EQ(parsed("CenterMute=0"), 0.0f);
    for (const char* outside :
         {"FrontAngle=91", "SurroundAngle=89", "SurroundAngle=181deg", "RearDelay=56", "RearLowPass=0.5",
          "RearSlopeFilter=21kHz", "FrontLevel=1", "CenterPattern=1.01"})
        EXPECT_NE(rejection(outside).find("out of range"), std::string::npos) << outside;
}

TEST(RenderParameters, PercentIsTheSlidersPosition)
{
    EXPECT_FLOAT_EQ(parsed("FrontLevel=50%"), 0.5f);
    EXPECT_FLOAT_EQ(parsed("SurroundAngle=60%"), 0.6f);
    EXPECT_FLOAT_EQ(parsed("RearDelay=100%"), 1.0f);
    EXPECT_FLOAT_EQ(parsed("LRPolarPattern=36%"), 0.36f);
    rejection("FrontLevel=101%");
    // A mute silences only at exactly 1: nothing between on and off.
    rejection("CenterMute=50%");
    rejection("CenterMute=0.5");
}

TEST(RenderParameters, PanelNamesBesideParameterNamesInHelpAndOnTheCommandLine)
{
    EXPECT_EQ(findParameter("SurroundAngle"), 4);
    EXPECT_EQ(findParameter("LSRSOffset"), 4);
    EXPECT_EQ(findParameter("surround-angle"), 4);
    EXPECT_EQ(findParameter("Rear Low-Pass"), 6);
    EXPECT_EQ(findParameter("SurroundMute"), 12);
    EXPECT_EQ(findParameter("RearMute"), 12);
    EXPECT_EQ(findParameter("Volume"), -1);
    const std::string help = helpText();
    for (int i = 0; i < kParameterCount; ++i)
    {
        EXPECT_NE(help.find(parameterInfo(i).name), std::string::npos) << i;
        EXPECT_NE(help.find(parameterInfo(i).panelName), std::string::npos) << i;
    }
    // Words of the host interface mean nothing to a user of the tool.
    for (const char* word : {"processReplacing", "processDoubleReplacing", "normalised"})
        EXPECT_EQ(help.find(word), std::string::npos) << word;
    size_t start = 0;
    for (size_t end; (end = help.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LE(end - start, 80u) << help.substr(start, end - start);
}

TEST(RenderParameters, SurroundAngleAgreesBetweenHostTextPanelAndTool)
{
    // One converter: the tool's 144 degrees is the value 0.6, whose host text
    // and panel display both read 144.
    const float value = parsed("SurroundAngle=144");
    EXPECT_FLOAT_EQ(surroundAngleDegrees(value), 144.0f);
    Kalvo effect(standaloneHostCallback);
    AEffect* e = effect.getAeffect();
    e->setParameter(e, 4, value);
    char text[kVstMaxParamStrLen + 8] = {};
    e->dispatcher(e, effGetParamDisplay, 4, 0, text, 0.0f);
    EXPECT_STREQ(text, "144.0000");
    // The decoder aims the left surround at 270 degrees minus its internal angle.
    EXPECT_NEAR(270.0 - effect.getAlgo().lsrsOffset, 144.0, 1e-4);
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
    EXPECT_NE(rejection("CenterPattern=30deg").find("unit 'deg'"), std::string::npos);
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
    EXPECT_FALSE(parse({"in.wav", "/tmp/"}, o, error));
    EXPECT_NE(error.find("is a folder"), std::string::npos) << error;
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--side-gain", "3"}, o, error)); // Ambisonics only
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--yaw", "30"}, o, error));      // binaural only
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--layout", "binaural", "--roll", "181"}, o, error));
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--layout", "binaural", "--pitch", "up"}, o, error));
    ASSERT_TRUE(
        parse({"in.wav", "out.wav", "--layout", "binaural", "--yaw", "-45.5", "--roll", "10"}, o, error));
    EXPECT_EQ(o.render.head.yawDeg, -45.5);
    EXPECT_EQ(o.render.head.rollDeg, 10.0);
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--layout", "7.1"}, o, error));
    // The batch's options belong to a batch, --tracks to a choice of tracks.
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--jobs", "2"}, o, error));
    EXPECT_NE(error.find("--out-dir"), std::string::npos) << error;
    EXPECT_FALSE(parse({"--demo", "--out-dir", "out"}, o, error));
    EXPECT_FALSE(parse({"day", "--out-dir", "out", "--name", "{name}/{layout}"}, o, error));
    EXPECT_FALSE(parse({"day", "--out-dir", "out", "--name", "{reel}"}, o, error));
    EXPECT_NE(error.find("{timecode}, not '{reel}'"), std::string::npos) << error;
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--gain", "-3", "--normalize", "-1"}, o, error));
    EXPECT_FALSE(parse({"in.wav", "out.wav", "--normalize", "+1"}, o, error));
    EXPECT_FALSE(parse({"day", "--out-dir", "out", "--overwrite", "--skip-existing"}, o, error));
    EXPECT_FALSE(parse({"day", "--out-dir", "out", "--jobs", "0"}, o, error));
    ASSERT_TRUE(parse({"day", "t.wav", "--out-dir=out", "--jobs", "3", "--tracks", "MID, 2,rear"}, o, error))
        << error;
    EXPECT_EQ(o.inputs, (std::vector<std::string>{"day", "t.wav"}));
    EXPECT_EQ(o.jobs, 3);
    EXPECT_EQ(o.tracks, (std::vector<std::string>{"MID", "2", "rear"}));
    // After "--" a name that starts with a dash is a file.
    ASSERT_TRUE(parse({"--", "-in.wav", "out.wav"}, o, error)) << error;
    EXPECT_EQ(o.inputs[0], "-in.wav");
}
