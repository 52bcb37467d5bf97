// kalvo-render as a whole: the built program against the built Kalvo.so,
// its errors, its temporary files, and where the demo's sources land.

#include "KalvoVersion.h"
#include "TestFiles.h"
#include "dsp/KalvoAlgo.h"
#include "effect/Kalvo.h"
#include "tests/support/PluginLibrary.h"
#include "tools/kalvo-render/DemoScene.h"
#include "tools/kalvo-render/Render.h"
#include "tools/kalvo-render/files/WaveChunks.h"
#include "tools/kalvo-render/host/EffectHost.h"
#include "tools/kalvo-render/host/LinkedEffect.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

using namespace render;
using testfiles::ScratchDir;

namespace
{

// ---- a host of its own for the plug-in library, independent of the program's ----

constexpr int kRate = 44100;
constexpr int kBlock = 1024;

VstIntPtr referenceHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    switch (opcode)
    {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetSampleRate:
        return kRate;
    case audioMasterGetBlockSize:
        return kBlock;
    default:
        return 0;
    }
}

// Decodes a 3-channel file through Kalvo.so with the given parameter values
// (preset first), block by block as a host does; answers the six outputs.
template <typename Sample>
std::vector<std::vector<Sample>> decodeWithPlugin(const std::string& input, int preset,
                                                  const std::vector<std::pair<int, float>>& settings)
{
    std::vector<std::vector<Sample>> out(6);
    // Kept loaded after dlclose: unloading would take the drawing libraries
    // with it, whose static caches the leak checker then reports.
    const PluginLibrary library(RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    EXPECT_TRUE(library.loaded()) << library.error;
    AEffect* e = library.create(&referenceHost);
    EXPECT_NE(e, nullptr);
    if (!e)
        return out;
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    e->dispatcher(e, effSetBlockSize, 0, kBlock, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    if (preset)
        e->setParameter(e, 14, static_cast<float>(preset));
    for (auto& s : settings)
        e->setParameter(e, s.first, s.second);
    // Switched off and on, as a host does after restoring a session: the settings are in
    // place from the first frame.
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);

    testfiles::Sound sound;
    EXPECT_TRUE(testfiles::readSound(input, sound));
    std::vector<Sample> in[6], blockOut[6];
    for (auto& v : in)
        v.assign(kBlock, Sample(0));
    for (auto& v : blockOut)
        v.assign(kBlock, Sample(0));
    for (int64_t start = 0; start < sound.info.frames; start += kBlock)
    {
        const int n = static_cast<int>(std::min<int64_t>(kBlock, sound.info.frames - start));
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < n; ++i)
                in[c][static_cast<size_t>(i)] = static_cast<Sample>(sound.at(start + i, c));
        Sample* ip[6];
        Sample* op[6];
        for (int c = 0; c < 6; ++c)
        {
            ip[c] = in[c].data();
            op[c] = blockOut[c].data();
        }
        if constexpr (sizeof(Sample) == sizeof(float))
            e->processReplacing(e, ip, op, n);
        else
            e->processDoubleReplacing(e, ip, op, n);
        for (int c = 0; c < 6; ++c)
            out[static_cast<size_t>(c)].insert(out[static_cast<size_t>(c)].end(), op[c], op[c] + n);
    }
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    return out;
}

// 1.5 s of three different signals: noise, tones and a click, so that every
// path of the decoder (shelf, delay, low-pass) carries something.
std::string writeTestRecording(const ScratchDir& dir, int format)
{
    const int frames = kRate * 3 / 2;
    std::vector<double> x(static_cast<size_t>(frames) * 3);
    uint32_t state = 12345;
    for (int i = 0; i < frames; ++i)
    {
        state = state * 1664525u + 1013904223u;
        const double noise = static_cast<double>(state >> 8) / 8388608.0 - 1.0;
        x[static_cast<size_t>(i) * 3 + 0] = 0.3 * std::sin(2 * M_PI * 440.0 * i / kRate) + 0.1 * noise;
        x[static_cast<size_t>(i) * 3 + 1] = 0.4 * std::sin(2 * M_PI * 70.0 * i / kRate) * (i > kRate / 2);
        x[static_cast<size_t>(i) * 3 + 2] = (i % 4410 == 0 ? 0.9 : 0.0) + 0.05 * noise;
    }
    const std::string path = dir.file("take.wav");
    EXPECT_TRUE(testfiles::writeSound(path, format, kRate, 3, x));
    return path;
}

const std::vector<std::string> kSettingsArgs = {"--preset", "5 Channel musical", "--set",   "RearDelay=20ms",
                                                "--set",    "FrontLevel=-3dB",   "--set",   "LROffset=60deg",
                                                "--set",    "CenterMute=on",     "--block", "1024"};
const std::vector<std::pair<int, float>> kSettingsValues = {
    {5, 20.0f / 55.0f}, {7, static_cast<float>(std::pow(10.0, -3.0 / 20.0))}, {3, 60.0f / 90.0f}, {10, 1.0f}};

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

// ---- the sound: the same bits as the plug-in loaded by a host ----

TEST(KalvoRender, SinglePrecisionOutputIsBitIdenticalToThePlugin)
{
    ScratchDir dir;
    const std::string input = writeTestRecording(dir, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    auto run = testfiles::runTool(
        dir,
        concat({input, dir.file("out.wav"), "--precision", "single", "--bits", "32", "-q"}, kSettingsArgs));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto expected = decodeWithPlugin<float>(input, 5, kSettingsValues);
    testfiles::Sound out;
    ASSERT_TRUE(testfiles::readSound(dir.file("out.wav"), out));
    ASSERT_EQ(out.info.frames, static_cast<int64_t>(expected[0].size()));
    ASSERT_EQ(out.info.channels, 6);
    double loudest = 0.0;
    for (int64_t i = 0; i < out.info.frames; ++i)
        for (int c = 0; c < 6; ++c)
        {
            const float got = static_cast<float>(out.at(i, c));
            const float want = expected[static_cast<size_t>(c)][static_cast<size_t>(i)];
            ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0) << "frame " << i << " channel " << c;
            loudest = std::max(loudest, std::fabs(static_cast<double>(got)));
        }
    EXPECT_GT(loudest, 0.1); // the comparison was not between two silences
}

TEST(KalvoRender, DoublePrecisionOutputIsBitIdenticalToThePlugin)
{
    ScratchDir dir;
    const std::string input = writeTestRecording(dir, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    auto run =
        testfiles::runTool(dir, concat({input, dir.file("out.wav"), "--bits", "64", "-q"}, kSettingsArgs));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto expected = decodeWithPlugin<double>(input, 5, kSettingsValues);
    testfiles::Sound out;
    ASSERT_TRUE(testfiles::readSound(dir.file("out.wav"), out));
    ASSERT_EQ(out.info.frames, static_cast<int64_t>(expected[0].size()));
    bool centreSilent = true;
    for (int64_t i = 0; i < out.info.frames; ++i)
    {
        for (int c = 0; c < 6; ++c)
        {
            const double got = out.at(i, c);
            const double want = expected[static_cast<size_t>(c)][static_cast<size_t>(i)];
            ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0) << "frame " << i << " channel " << c;
        }
        centreSilent = centreSilent && out.at(i, 2) == 0.0;
    }
    EXPECT_TRUE(centreSilent); // CenterMute=on reached the effect
}

TEST(KalvoRender, ASurroundDelayIsInPlaceFromTheFirstFrame)
{
    // A click on every capsule at frame 0: with 10 ms of delay, nothing of it may reach the
    // surrounds before 10 ms. A delay that glided to its length from zero would let the click
    // through at once and smear it over the first quarter of a second.
    ScratchDir dir;
    const int frames = kRate / 2;
    std::vector<double> x(static_cast<size_t>(frames) * 3, 0.0);
    x[0] = x[1] = x[2] = 0.5;
    const std::string input = dir.file("click.wav");
    ASSERT_TRUE(testfiles::writeSound(input, SF_FORMAT_WAV | SF_FORMAT_FLOAT, kRate, 3, x));
    auto run =
        testfiles::runTool(dir, {input, dir.file("out.wav"), "--bits", "64", "-q", "--set", "RearDelay=10"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    testfiles::Sound out;
    ASSERT_TRUE(testfiles::readSound(dir.file("out.wav"), out));
    const int64_t delayFrames = kRate / 100;
    double early = 0.0, late = 0.0;
    for (int64_t i = 0; i < out.info.frames; ++i)
        for (int c : {4, 5})
            (i < delayFrames ? early : late) += std::fabs(out.at(i, c));
    EXPECT_LT(early, 1e-12)
        << "the click reached the surrounds early"; // the filters' anti-denormal offset only
    EXPECT_GT(late, 0.1);
}

TEST(KalvoRender, StereoIsTheDecodesLeftAndRightAndEachLayoutCarriesItsMask)
{
    ScratchDir dir;
    const std::string input = writeTestRecording(dir, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    auto run = testfiles::runTool(
        dir, concat({input, dir.file("stereo.wav"), "--layout", "stereo", "--bits", "64"}, kSettingsArgs));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("2 channels, stereo"), std::string::npos) << run.err;
    auto expected = decodeWithPlugin<double>(input, 5, kSettingsValues);
    testfiles::Sound out;
    ASSERT_TRUE(testfiles::readSound(dir.file("stereo.wav"), out));
    ASSERT_EQ(out.info.channels, 2);
    ASSERT_EQ(out.info.frames, static_cast<int64_t>(expected[0].size()));
    for (int64_t i = 0; i < out.info.frames; ++i)
        for (int c = 0; c < 2; ++c)
            ASSERT_EQ(out.at(i, c), expected[static_cast<size_t>(c)][static_cast<size_t>(i)])
                << "frame " << i << " channel " << c;

    // The speaker mask of WAVE_FORMAT_EXTENSIBLE: front left and right for
    // stereo and binaural, none for Ambisonics (not quadraphonic speakers).
    const struct
    {
        const char* layout;
        int channels;
        uint32_t mask;
        const char* summary;
    } layouts[] = {{"5.1", 6, 0x3F, "L R C LFE Ls Rs"},
                   {"stereo", 2, 0x3, "stereo"},
                   {"ambix", 4, 0x0, "AmbiX (ACN order, SN3D): W Y Z X"},
                   {"fuma", 4, 0x0, "FuMa"},
                   {"binaural", 2, 0x3, "binaural for headphones: left ear, right ear"}};
    for (const auto& l : layouts)
    {
        const std::string path = dir.file(std::string(l.layout) + ".wav");
        run = testfiles::runTool(dir, {input, path, "--layout", l.layout});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find(l.summary), std::string::npos) << run.err;
        auto header = testfiles::readBytes(path, 80);
        const size_t fmt = std::string(header.begin(), header.end()).find("fmt ");
        ASSERT_NE(fmt, std::string::npos);
        EXPECT_EQ(header[fmt + 10] | header[fmt + 11] << 8, l.channels) << l.layout;
        EXPECT_EQ(header[fmt + 8] | header[fmt + 9] << 8, 0xFFFE) << l.layout;
        const uint32_t mask = header[fmt + 28] | header[fmt + 29] << 8 | header[fmt + 30] << 16 |
                              static_cast<uint32_t>(header[fmt + 31]) << 24;
        EXPECT_EQ(mask, l.mask) << l.layout;
    }
}

TEST(KalvoRender, TellsTheEffectTheFilesRateAndTheBlockSize)
{
    EffectHost host(&linkedEffectEntry, 96000, 333);
    ASSERT_TRUE(host.ok()) << host.error();
    auto* kalvo = static_cast<Kalvo*>(static_cast<AudioEffect*>(host.effect()->object));
    EXPECT_EQ(kalvo->getAlgo().getSamplingRate(), 96000.0);
    EXPECT_EQ(kalvo->getBufferSize(), 333);
    EXPECT_FALSE(kalvo->isSuspended());
}

TEST(KalvoRender, MetersSwitchedOffStayStillWhileTheAudioRuns)
{
    for (bool metering : {true, false})
    {
        EffectHost host(&linkedEffectEntry, 48000, 256);
        ASSERT_TRUE(host.ok());
        if (!metering)
            switchOffMetering(host.effect());
        std::vector<double> front(256, 0.5), side(256, 0.0), rear(256, 0.0), out[6];
        double* in[3] = {front.data(), side.data(), rear.data()};
        double* outPtr[6];
        for (int c = 0; c < 6; ++c)
        {
            out[c].assign(256, 0.0);
            outPtr[c] = out[c].data();
        }
        host.process(in, outPtr, 256);
        EXPECT_GT(std::fabs(out[2][255]), 0.1); // the centre sounds either way
        // Parameter 20 reads the front microphone's meter.
        if (metering)
            EXPECT_GT(host.getParameter(20), 0.5f);
        else
            EXPECT_EQ(host.getParameter(20), 0.0f);
    }
}

TEST(KalvoRender, KeepsTheRecordingsBroadcastTimeStamp)
{
    ScratchDir dir;
    // A take whose broadcast-wave chunk places it at 01:00:00 at 48 kHz.
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 3;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* f = sf_open(dir.file("take.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    SF_BROADCAST_INFO bi{};
    std::strcpy(bi.description, "Scene 4 take 2");
    std::strcpy(bi.originator, "field recorder");
    bi.time_reference_low = 3600u * 48000u;
    ASSERT_EQ(sf_command(f, SFC_SET_BROADCAST_INFO, &bi, sizeof bi), SF_TRUE);
    std::vector<double> x(300, 0.1);
    sf_writef_double(f, x.data(), 100);
    sf_close(f);

    for (const char* extra : {"--bits=24", "--rf64", "--mono"})
    {
        auto run = testfiles::runTool(dir, {dir.file("take.wav"), dir.file("out.wav"), extra, "-q"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string written =
            std::string(extra) == "--mono" ? dir.file("out.Ls.wav") : dir.file("out.wav");
        SF_INFO outInfo{};
        SNDFILE* out = sf_open(written.c_str(), SFM_READ, &outInfo);
        ASSERT_NE(out, nullptr) << extra;
        SF_BROADCAST_INFO got{};
        ASSERT_EQ(sf_command(out, SFC_GET_BROADCAST_INFO, &got, sizeof got), SF_TRUE) << extra;
        EXPECT_STREQ(got.description, "Scene 4 take 2");
        EXPECT_EQ(got.time_reference_low, 3600u * 48000u);
        EXPECT_EQ(got.time_reference_high, 0u);
        if (outInfo.channels == 6)
        {
            int map[6] = {};
            ASSERT_EQ(sf_command(out, SFC_GET_CHANNEL_MAP_INFO, map, sizeof map), SF_TRUE);
            EXPECT_EQ(map[4], SF_CHANNEL_MAP_REAR_LEFT);
            EXPECT_EQ(map[5], SF_CHANNEL_MAP_REAR_RIGHT);
        }
        sf_close(out);
    }
}

// ---- field recordings: polyphonic takes and their metadata ----

TEST(KalvoRenderTakes, TracksArePickedByNumberOrByTheirIxmlNameInAnyCase)
{
    ScratchDir dir;
    testfiles::Take take;
    take.trackNames = {"BOOM", "Side", "LAV 1", "MID", "REAR", "LAV 2"};
    ASSERT_TRUE(testfiles::writeTake(dir.file("take.wav"), take));
    testfiles::Sound in;
    ASSERT_TRUE(testfiles::readSound(dir.file("take.wav"), in));
    // Ambisonics come from the capsules as they are (W = front + rear,
    // X = front - rear, Y = side), so each output sample shows which tracks
    // were taken.
    for (const char* tracks : {"mid,SIDE,Rear", "4,2,5", "MID, 2 ,rear"})
    {
        auto run = testfiles::runTool(dir, {dir.file("take.wav"), dir.file("out.wav"), "--tracks", tracks,
                                            "--layout", "ambix", "--bits", "64", "-q"});
        ASSERT_EQ(run.exitCode, 0) << tracks << ": " << run.err;
        testfiles::Sound out;
        ASSERT_TRUE(testfiles::readSound(dir.file("out.wav"), out));
        ASSERT_EQ(out.info.frames, take.frames);
        for (int64_t i = 0; i < out.info.frames; ++i)
        {
            ASSERT_EQ(out.at(i, 0), in.at(i, 3) + in.at(i, 4)) << tracks << " frame " << i;
            ASSERT_EQ(out.at(i, 1), in.at(i, 1)) << tracks << " frame " << i;
            ASSERT_EQ(out.at(i, 3), in.at(i, 3) - in.at(i, 4)) << tracks << " frame " << i;
        }
    }
}

TEST(KalvoRenderTakes, AThreeTrackTakeWhoseNamesDisagreeWithTheOrderIsDecodedWithAWarning)
{
    ScratchDir dir;
    testfiles::Take take;
    take.trackNames = {"S", "M", "R"};
    ASSERT_TRUE(testfiles::writeTake(dir.file("take.wav"), take));
    auto run = testfiles::runTool(dir, {dir.file("take.wav"), dir.file("out.wav"), "-q"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(
        run.err.find("warning: '" + dir.file("take.wav") +
                     "' names its tracks 1 S, 2 M, 3 R but they are taken as FSR (F front mid, S side, R "
                     "rear mid); if the names are right, use --tracks M,S,R"),
        std::string::npos)
        << run.err;
    run = testfiles::runTool(dir, {dir.file("take.wav"), dir.file("out.wav"), "--order", "SFR", "-q"});
    EXPECT_EQ(run.err, "");
}

TEST(KalvoRenderTakes, TrackErrorsListTheTracksAndTheLineToUse)
{
    ScratchDir dir;
    testfiles::Take take;
    ASSERT_TRUE(testfiles::writeTake(dir.file("take.wav"), take));
    testfiles::Take twins;
    twins.trackNames = {"M", "S", "R", "LAV", "LAV"};
    ASSERT_TRUE(testfiles::writeTake(dir.file("twins.wav"), twins));
    testfiles::Take unnamed;
    unnamed.ixml = false;
    unnamed.trackNames.resize(4);
    ASSERT_TRUE(testfiles::writeTake(dir.file("unnamed.wav"), unnamed));
    testfiles::Take two;
    two.trackNames = {"MIX L", "MIX R"};
    ASSERT_TRUE(testfiles::writeTake(dir.file("two.wav"), two));
    const std::vector<std::string> before = dir.list();
    const std::string out = dir.file("out.wav");
    const std::string list = "1 MID, 2 SIDE, 3 REAR, 4 BOOM, 5 LAV 1, 6 LAV 2, 7 MIX L, 8 MIX R";
    const struct
    {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    } cases[] = {
        {{dir.file("take.wav"), out},
         1,
         "has 8 tracks (" + list + "); pick the front mid, side and rear mid with --tracks MID,SIDE,REAR"},
        {{dir.file("unnamed.wav"), out},
         1,
         "has 4 tracks (1, 2, 3, 4); pick the front mid, side and rear mid with --tracks 1,2,3"},
        {{dir.file("take.wav"), out, "--tracks", "MID,SIDE,BACK"},
         1,
         "no track of '" + dir.file("take.wav") + "' is named 'BACK'; its tracks are " + list},
        {{dir.file("take.wav"), out, "--tracks", "1,2,9"}, 1, "has no track 9; its tracks are " + list},
        {{dir.file("take.wav"), out, "--tracks", "1,2,mid"}, 1, "picks track 1 of"},
        {{dir.file("twins.wav"), out, "--tracks", "M,S,lav"}, 1, "'lav' names tracks 4 and 5 of"},
        {{dir.file("unnamed.wav"), out, "--tracks", "MID,2,3"},
         1,
         "has 4 tracks and names none (it has no iXML track list); pick three by number, e.g. --tracks "
         "1,2,3"},
        // Advice that fits: a file of two tracks cannot give three, whatever --tracks says.
        {{dir.file("two.wav"), out, "--tracks", "MID,SIDE,REAR"},
         1,
         "'" + dir.file("two.wav") +
             "' has 2 channels (1 MIX L, 2 MIX R); a decode needs three: front mid, side "
             "and rear mid. Its tracks are not a surround M/S recording on their own"},
        {{dir.file("take.wav"), out, "--tracks", "MID,SIDE,BOOM 2"}, 1, "; e.g. --tracks MID,SIDE,REAR"},
        {{dir.file("take.wav"), out, "--tracks", "1,2"}, 2, "--tracks expects three tracks"},
        {{dir.file("take.wav"), out, "--tracks", "1,2,3", "--order", "SFR"}, 2, "leave out --order"},
    };
    for (const auto& c : cases)
    {
        auto run = testfiles::runTool(dir, c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(dir.list(), before) << c.message;
    }
}

TEST(KalvoRenderTakes, BextAndIxmlSurviveWithTheTimeOfDayAndATrackListOfTheOutput)
{
    ScratchDir dir;
    const struct
    {
        int rate;
        uint64_t timeReference;
        const char* extra;
    } variants[] = {
        {48000, 3600ull * 48000, "--bits=24"},   // 01:00:00
        {48000, 3600ull * 48000, "--mono"},      // each file its own track list
        {96000, 13ull * 3600 * 96000, "--rf64"}, // 13:00:00, past 2^32 samples: both halves count
    };
    for (const auto& v : variants)
    {
        testfiles::Take take;
        take.rate = v.rate;
        take.timeReference = v.timeReference;
        ASSERT_TRUE(testfiles::writeTake(dir.file("take.wav"), take));
        auto run = testfiles::runTool(dir, {dir.file("take.wav"), dir.file("out.wav"), "--tracks",
                                            "MID,SIDE,REAR", "--set", "RearDelay=20ms", v.extra, "-q"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const bool mono = std::string(v.extra) == "--mono";
        const std::vector<std::string> names = {"L", "R", "C", "LFE", "Ls", "Rs"};
        for (size_t file = 0; file < (mono ? names.size() : 1); ++file)
        {
            const std::string path = mono ? dir.file("out." + names[file] + ".wav") : dir.file("out.wav");
            SF_INFO info{};
            SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
            ASSERT_NE(f, nullptr) << path;
            BroadcastInfo bext{};
            ASSERT_EQ(sf_command(f, SFC_GET_BROADCAST_INFO, &bext, sizeof bext), SF_TRUE) << path;
            sf_close(f);
            EXPECT_EQ(bext.time_reference_low | static_cast<uint64_t>(bext.time_reference_high) << 32,
                      v.timeReference)
                << path;
            EXPECT_STREQ(bext.description, "Scene 12 take 3");
            EXPECT_STREQ(bext.originator, "field recorder");
            EXPECT_STREQ(bext.origination_time, "14:03:00");
            // The recorder's history, then one line for the decode, last.
            const std::string history = bext.coding_history;
            EXPECT_EQ(history.find("A=PCM,F=48000,W=24,M=8chn,T=field recorder\r\n"), 0u) << history;
            const std::string line = "A=PCM,F=" + std::to_string(v.rate) +
                                     ",W=24,M=" + (mono ? "mono" : "6chn") + ",T=kalvo-render " +
                                     KALVO_VERSION_STRING +
                                     "; layout 5.1; set RearDelay=20ms; tracks MID SIDE REAR\r\n";
            ASSERT_GE(history.size(), line.size());
            EXPECT_EQ(history.substr(history.size() - line.size()), line) << history;

            // libsndfile and the chunk reader find the same document.
            const std::string xml = testfiles::readIxmlWithLibsndfile(path);
            std::string own;
            ASSERT_TRUE(readWaveChunk(path, "iXML", own)) << path;
            EXPECT_EQ(own.substr(0, own.find('\0')), xml);
            const std::string original = take.ixmlDocument();
            const std::string head = original.substr(0, original.find("<TRACK_LIST>"));
            EXPECT_EQ(xml.substr(0, head.size()), head)
                << "scene, take, tape, note and timecode as they were";
            EXPECT_EQ(xml.substr(xml.size() - 10), "</BWFXML>\n");
            const auto trackNames = testfiles::xmlValues(xml, "NAME");
            if (mono)
            {
                EXPECT_EQ(trackNames, std::vector<std::string>{names[file]});
                EXPECT_EQ(testfiles::xmlValues(xml, "CHANNEL_INDEX"),
                          std::vector<std::string>{std::to_string(file + 1)});
                EXPECT_EQ(testfiles::xmlValues(xml, "INTERLEAVE_INDEX"), std::vector<std::string>{"1"});
            }
            else
            {
                EXPECT_EQ(trackNames, names);
                EXPECT_EQ(testfiles::xmlValues(xml, "TRACK_COUNT"), std::vector<std::string>{"6"});
            }
        }
    }
}

// ---- batches: whole folders in one run ----

TEST(KalvoRenderBatch, DecodesFoldersInNameOrderSkipsFailuresAndGivesTheSameFilesWithAnyNumberOfJobs)
{
    ScratchDir dir;
    ASSERT_EQ(::mkdir(dir.file("day").c_str(), 0755), 0);
    testfiles::Take take;
    for (const std::string& path : {dir.file("day/c.wav"), dir.file("day/a.wav"), dir.file("g.wav")})
        ASSERT_TRUE(testfiles::writeTake(path, take));
    std::ofstream(dir.file("day/d-notes.wav")) << "text, not sound";
    std::ofstream(dir.file("day/f.txt")) << "not taken: neither .wav nor .flac";
    // The take as FLAC, which carries no iXML: its tracks have no names.
    testfiles::Sound a;
    ASSERT_TRUE(testfiles::readSound(dir.file("day/a.wav"), a));
    ASSERT_TRUE(testfiles::writeSound(dir.file("day/e.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_24,
                                      a.info.samplerate, a.info.channels, a.samples));
    take.trackNames = {"MID", "SIDE", "BOOM"};
    ASSERT_TRUE(testfiles::writeTake(dir.file("day/b-no-rear.wav"), take));
    // A write-protected output is kept, as in a single run, even with --overwrite.
    ASSERT_EQ(::mkdir(dir.file("out1").c_str(), 0755), 0);
    std::ofstream(dir.file("out1/c.5.1.wav")) << "the approved mix";
    ::chmod(dir.file("out1/c.5.1.wav").c_str(), 0444);

    const std::vector<std::string> common = {dir.file("day"), dir.file("g.wav"), "--tracks",
                                             "mid,side,rear", "--set",           "RearDelay=20ms"};
    auto one = testfiles::runTool(
        dir, concat(common, {"--out-dir", dir.file("out1"), "--jobs", "1", "--overwrite"}));
    auto two = testfiles::runTool(dir, concat(common, {"--out-dir", dir.file("out2"), "--jobs=2"}));
    for (const auto* run : {&one, &two})
    {
        EXPECT_EQ(run->exitCode, 1) << run->err;
        EXPECT_NE(run->err.find("no track of '" + dir.file("day/b-no-rear.wav") + "' is named 'rear'"),
                  std::string::npos)
            << run->err;
        EXPECT_NE(run->err.find("cannot read '" + dir.file("day/d-notes.wav") + "'"), std::string::npos)
            << run->err;
        // The table: every input in order, its length and what became of it.
        const std::vector<std::pair<std::string, std::string>> rows = {{"day/a.wav", " dBFS  a.5.1.wav"},
                                                                       {"day/b-no-rear.wav", "-  FAILED"},
                                                                       {"day/c.wav", ""},
                                                                       {"day/d-notes.wav", "-  FAILED"},
                                                                       {"day/e.flac", "-  FAILED"},
                                                                       {"g.wav", " dBFS  g.5.1.wav"}};
        size_t at = 0;
        for (const auto& row : rows)
        {
            at = run->out.find("\n" + dir.file(row.first) + " ", at);
            ASSERT_NE(at, std::string::npos) << row.first << " in\n" << run->out;
            const std::string line = run->out.substr(at + 1, run->out.find('\n', at + 1) - at - 1);
            EXPECT_NE(line.find(row.second), std::string::npos) << line;
        }
        EXPECT_NE(run->out.find("of 6 files decoded"), std::string::npos) << run->out;
    }
    EXPECT_NE(one.err.find("write-protected"), std::string::npos) << one.err;
    EXPECT_NE(one.out.find("2 of 6 files decoded into " + dir.file("out1") + " (4 failed): 0:00.2 of sound"),
              std::string::npos)
        << one.out;
    EXPECT_NE(two.out.find("3 of 6 files decoded into " + dir.file("out2") + " (3 failed): 0:00.3 of sound"),
              std::string::npos)
        << two.out;
    EXPECT_EQ(testfiles::readText(dir.file("out1/c.5.1.wav")), "the approved mix");
    EXPECT_EQ(testfiles::readText(dir.file("out2/a.5.1.wav")),
              testfiles::readText(dir.file("out1/a.5.1.wav")));
    EXPECT_EQ(testfiles::readText(dir.file("out2/f.5.1.wav")),
              testfiles::readText(dir.file("out1/f.5.1.wav")));
    std::string list;
    for (const std::string& name : ScratchDir::listOf(dir.file("out2")))
        list += name + " ";
    EXPECT_EQ(list, "a.5.1.wav c.5.1.wav g.5.1.wav ") << "no temporary file left";
    testfiles::Sound decoded;
    ASSERT_TRUE(testfiles::readSound(dir.file("out2/c.5.1.wav"), decoded));
    EXPECT_EQ(decoded.info.channels, 6);
    EXPECT_EQ(decoded.info.frames, take.frames);

    // --name places {name} and {layout}.
    auto named =
        testfiles::runTool(dir, {dir.file("day/a.wav"), "--tracks", "1,2,3", "--layout", "stereo", "--name",
                                 "{name}_{layout}_mix", "--out-dir", dir.file("out3"), "-q"});
    EXPECT_EQ(named.exitCode, 0) << named.err;
    EXPECT_EQ(ScratchDir::listOf(dir.file("out3")), std::vector<std::string>{"a_stereo_mix.wav"});
}

TEST(KalvoRenderBatch, OutputNamesThatCollideAreRefusedBeforeAnythingStarts)
{
    ScratchDir dir;
    testfiles::Take take;
    take.trackNames.resize(3);
    for (const char* path : {"day1", "day2"})
    {
        ASSERT_EQ(::mkdir(dir.file(path).c_str(), 0755), 0);
        ASSERT_TRUE(testfiles::writeTake(dir.file(path) + "/take1.wav", take));
    }
    ASSERT_TRUE(testfiles::writeTake(dir.file("day1/take2.wav"), take));
    const std::vector<std::string> before = dir.list();
    const struct
    {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{dir.file("day1"), dir.file("day2")},
         "'" + dir.file("day1/take1.wav") + "' and '" + dir.file("day2/take1.wav") +
             "' would both be written to '" + dir.file("out/take1.5.1.wav") + "'"},
        {{dir.file("day1"), "--name", "mix"}, "would both be written to '" + dir.file("out/mix.wav") + "'"},
        {{dir.file("day1"), dir.file("day1/take2.wav")}, "are the same recording"},
        {{dir.file("day1"), "--out-dir", dir.file("day1"), "--name", "{name}"}, "is the input"},
    };
    for (const auto& c : cases)
    {
        auto run = testfiles::runTool(dir, concat(concat({"--out-dir", dir.file("out")}, c.args), {"-q"}));
        EXPECT_EQ(run.exitCode, 1) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(dir.list(), before) << "nothing was started: " << c.message;
    }
}

TEST(KalvoRenderBatch, OneProgressLineCountsTheFilesAndTheSoundOfAll)
{
    std::FILE* sink = std::tmpfile();
    ASSERT_NE(sink, nullptr);
    {
        BatchProgress progress(true, 2, 48000 * 90, sink, 60);
        BatchProgress::File first(progress, 48000 * 60), second(progress, 48000 * 30);
        first.update(48000 * 60);
        first.finish();
        second.update(48000 * 10);
        second.finish(); // a file that failed part way is done all the same
        progress.finish();
    }
    std::rewind(sink);
    std::string text;
    for (int c; (c = std::fgetc(sink)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(sink);
    EXPECT_NE(text.find("] 1 of 2 files   66%"), std::string::npos) << text;
    EXPECT_NE(text.find("] 2 of 2 files  100%"), std::string::npos) << text;
    size_t start = 0;
    for (size_t end; (end = text.find('\r', start + 1)) != std::string::npos; start = end)
        EXPECT_LT(end - start - 1, 60u) << text.substr(start, end - start);
}

// ---- bad input: one line, a non-zero exit, nothing left behind ----

TEST(KalvoRender, BadInputsFailWithOneLineAndLeaveNoFiles)
{
    ScratchDir dir;
    const std::string input = writeTestRecording(dir, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_TRUE(testfiles::writeSound(dir.file("stereo.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2,
                                      std::vector<double>(100, 0.1)));
    {
        std::ofstream(dir.file("readme.wav")) << "text, not sound";
    }
    const std::vector<std::string> before = dir.list();
    const std::string out = dir.file("out.wav");

    struct Case
    {
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {{dir.file("missing.wav"), out}, 1, "cannot open"},
        {{dir.file("readme.wav"), out}, 1, "cannot read"},
        {{dir.file("stereo.wav"), out}, 1, "has 2 channels"},
        {{input, out, "--set", "Loudness=1"}, 2, "unknown parameter 'Loudness'"},
        {{input, out, "--set", "RearDelay=80ms"}, 2, "out of range"},
        {{input, out, "--set", "FrontLevel=2"}, 2, "out of range"},
        {{input, input}, 1, "is the input"},
        {{input, dir.path() + "/./../" + dir.path().substr(dir.path().rfind('/') + 1) + "/take.wav"},
         1,
         "is the input"},
        {{input, dir.file("readme.wav/out.wav")}, 1, "cannot create"},
        {{input, dir.file("new/../readme.wav/x/out.wav")}, 1, "cannot create"},
        {{input}, 2, "expected IN OUT"},
    };
    for (const Case& c : cases)
    {
        auto run = testfiles::runTool(dir, c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("kalvo-render: "), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(dir.list(), before) << c.message;
    }
    testfiles::Sound still;
    ASSERT_TRUE(testfiles::readSound(input, still));
    EXPECT_EQ(still.info.channels, 3); // the input survived the attempts to overwrite it
}

TEST(KalvoRender, OutputsAreReplacedOnlyWhereThatIsSafe)
{
    ScratchDir dir;
    const std::string input = writeTestRecording(dir, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    auto isWav = [](const std::string& path)
    {
        testfiles::Sound s;
        return testfiles::readSound(path, s) && s.info.channels == 6;
    };

    // A write-protected output stays as it is, also for root.
    std::ofstream(dir.file("final.wav")) << "the approved mix";
    ::chmod(dir.file("final.wav").c_str(), 0444);
    auto run = testfiles::runTool(dir, {input, dir.file("final.wav"), "-q"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("write-protected"), std::string::npos) << run.err;
    EXPECT_EQ(testfiles::readText(dir.file("final.wav")), "the approved mix");

    // A link is written through: the link stays, its file gets the sound.
    std::ofstream(dir.file("target.wav")) << "old";
    ::chmod(dir.file("target.wav").c_str(), 0640);
    ASSERT_EQ(::symlink("target.wav", dir.file("link.wav").c_str()), 0);
    run = testfiles::runTool(dir, {input, dir.file("link.wav"), "-q"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    struct stat st;
    ASSERT_EQ(::lstat(dir.file("link.wav").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_TRUE(isWav(dir.file("target.wav")));
    ASSERT_EQ(::stat(dir.file("target.wav").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // the replaced file keeps its permissions

    // WAV data never goes under another format's name, nor over a device.
    run = testfiles::runTool(dir, {input, dir.file("take.flac"), "-q"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("name it '" + dir.file("take.wav") + "'"), std::string::npos) << run.err;
    ::mkfifo(dir.file("pipe.wav").c_str(), 0644);
    run = testfiles::runTool(dir, {input, dir.file("pipe.wav"), "-q"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;

    // A killed run's temporary file goes with the next run into the same
    // output; one of a run still going (this test's own process) stays.
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string stale = "out.wav.kalvo-render-" + std::to_string(gone) + ".tmp";
    const std::string live = "out.wav.kalvo-render-" + std::to_string(::getpid()) + ".tmp";
    std::ofstream(dir.file(stale)) << "half";
    std::ofstream(dir.file(live)) << "busy";
    run = testfiles::runTool(dir, {input, dir.file("out.wav"), "-q"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(isWav(dir.file("out.wav")));
    const auto names = dir.list();
    EXPECT_EQ(std::count(names.begin(), names.end(), stale), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), live), 1);
}

TEST(KalvoRender, ARecordingCutOffEarlyIsDecodedAsFarAsItGoes)
{
    ScratchDir dir;
    // Ten seconds announced, 2.5 s there: a recorder that lost power.
    std::vector<double> x(static_cast<size_t>(48000) * 10 * 3, 0.1);
    ASSERT_TRUE(testfiles::writeSound(dir.file("cut.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 3, x));
    const off_t headerBytes = 44;
    ASSERT_EQ(::truncate(dir.file("cut.wav").c_str(), headerBytes + 48000 * 5 / 2 * 9), 0);
    EXPECT_EQ(declaredWaveFrames(dir.file("cut.wav")), 480000);
    auto run = testfiles::runTool(dir, {dir.file("cut.wav"), dir.file("out.wav"), "-q"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("warning: '" + dir.file("cut.wav") + "' ended 0:07.5 before the header said"),
              std::string::npos)
        << run.err;
    testfiles::Sound out;
    ASSERT_TRUE(testfiles::readSound(dir.file("out.wav"), out));
    EXPECT_EQ(out.info.frames, 120000);
    EXPECT_GT(std::fabs(out.at(119999, 2)), 0.01); // sound to the last frame that was there
}

TEST(KalvoRender, ProgressBarFitsTheTerminal)
{
    for (int columns : {80, 40, 12})
    {
        std::FILE* sink = std::tmpfile();
        ASSERT_NE(sink, nullptr);
        Progress progress(true, 48000 * 600, 48000, sink, columns);
        for (int64_t done : {0, 48000 * 59, 48000 * 600})
            progress.update(done); // the last one draws even within the redraw interval
        progress.finish();
        std::rewind(sink);
        std::string text;
        for (int c; (c = std::fgetc(sink)) != EOF;)
            text += static_cast<char>(c);
        std::fclose(sink);
        size_t start = 0;
        for (size_t end; (end = text.find('\r', start + 1)) != std::string::npos; start = end)
            EXPECT_LT(end - start - 1, static_cast<size_t>(columns))
                << columns << ": " << text.substr(start, end - start);
        EXPECT_EQ(text.find('\n'), std::string::npos);
        if (columns == 80)
        {
            EXPECT_NE(text.find("100%  10:00 of 10:00"), std::string::npos) << text;
        }
    }
}

TEST(KalvoRender, AnInterruptedRunLeavesNoHalfWrittenFile)
{
    ScratchDir dir;
    // Two minutes of sound in tiny blocks keeps the program busy for a while.
    std::vector<double> x(static_cast<size_t>(48000) * 120 * 3, 0.01);
    ASSERT_TRUE(testfiles::writeSound(dir.file("long.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 3, x));
    const std::string out = dir.file("out.wav");
    const std::string outLog = dir.path() + ".stdout", errLog = dir.path() + ".stderr";
    pid_t pid = testfiles::startTool({dir.file("long.wav"), out, "--block", "8"}, outLog, errLog);
    // Wait until the temporary output exists, then interrupt.
    bool started = false;
    for (int i = 0; i < 500 && !started; ++i)
    {
        for (const std::string& name : dir.list())
            started = started || name.find("out.wav.kalvo-render-") == 0;
        if (!started)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(started);
    ::kill(pid, SIGINT);
    EXPECT_EQ(testfiles::waitTool(pid), 130);
    EXPECT_NE(testfiles::readText(errLog).find("interrupted"), std::string::npos);
    std::remove(outLog.c_str());
    std::remove(errLog.c_str());
    EXPECT_EQ(dir.list(), std::vector<std::string>{"long.wav"});
}

// ---- the editor picture ----

TEST(KalvoRender, SnapshotDrawsTheEditorPanelWithTheSettings)
{
    ScratchDir dir;
    auto run = testfiles::runTool(dir, {"--snapshot", dir.file("panel.png"), "--preset", "4 Channel"});
    if (!KALVO_RENDER_HAS_EDITOR)
    {
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("does not include"), std::string::npos) << run.err;
        return;
    }
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // A PNG of the panel's size: width and height stand big-endian in the header.
    auto png = testfiles::readBytes(dir.file("panel.png"), 24);
    ASSERT_EQ(png.size(), 24u);
    EXPECT_EQ(std::memcmp(png.data() + 1, "PNG", 3), 0);
    auto be32 = [&](size_t at)
    { return (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3]; };
    EXPECT_EQ(be32(16), 841);
    EXPECT_EQ(be32(20), 453);
    EXPECT_EQ(dir.list(), std::vector<std::string>{"panel.png"});

    // The picture is an output like the others: it may not replace an input.
    const std::string input = writeTestRecording(dir, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    run = testfiles::runTool(dir, {input, dir.file("out.wav"), "--snapshot", input});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("is the input"), std::string::npos) << run.err;
}

// ---- kalvo-snapshot ----

#ifdef KALVO_SNAPSHOT_PATH
TEST(KalvoSnapshot, TakesKalvoRendersSettingsAndExplainsItself)
{
    ScratchDir dir;
    auto run = testfiles::runTool(dir, {"-h"}, KALVO_SNAPSHOT_PATH);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("SurroundAngle (LSRSOffset)"), std::string::npos) << run.out;
    run = testfiles::runTool(dir, {dir.file("p.png"), "Loudness=3"}, KALVO_SNAPSHOT_PATH);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("unknown parameter 'Loudness'"), std::string::npos) << run.err;
    run = testfiles::runTool(dir, {dir.file("p.png"), "SurroundAngle=200"}, KALVO_SNAPSHOT_PATH);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("out of range"), std::string::npos) << run.err;
    EXPECT_TRUE(dir.list().empty()); // no file named "-h", no picture after an error
    run = testfiles::runTool(dir, {dir.file("p.png"), "--preset", "2", "SurroundAngle=144", "7=0.5"},
                             KALVO_SNAPSHOT_PATH);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(dir.list(), std::vector<std::string>{"p.png"});

    // Settings and presets apply in the order written: a preset after a
    // setting replaces it.
    for (const auto& args :
         std::vector<std::vector<std::string>>{{dir.file("preset.png"), "--preset", "2"},
                                               {dir.file("before.png"), "SurroundAngle=100", "--preset", "2"},
                                               {dir.file("after.png"), "--preset", "2", "SurroundAngle=100"}})
        ASSERT_EQ(testfiles::runTool(dir, args, KALVO_SNAPSHOT_PATH).exitCode, 0);
    EXPECT_EQ(testfiles::readText(dir.file("before.png")), testfiles::readText(dir.file("preset.png")));
    EXPECT_NE(testfiles::readText(dir.file("after.png")), testfiles::readText(dir.file("preset.png")));
}
#endif

// ---- the demo ----

TEST(KalvoRenderDemo, SourcesLandInTheirSpeakers)
{
    ScratchDir dir;
    const int rate = 48000;
    auto source = memorySource(synthesiseDemo(rate), rate);
    EffectHost host(&linkedEffectEntry, rate, 4096);
    ASSERT_TRUE(host.ok());
    OutputSpec spec;
    spec.path = dir.file("demo.wav");
    spec.sampleRate = rate;
    spec.frames = source->frames();
    SoundOutput output;
    std::string error;
    ASSERT_TRUE(output.open(spec, error)) << error;
    DemoMeter meter(rate, OutputLayout::Surround51);
    Progress quiet(false, 0, rate);
    RenderResult result;
    ASSERT_TRUE(render::render(
        *source, host, RenderSettings(), output, quiet, nullptr,
        [&](const double* const* out, int channels, int n, int64_t first)
        { meter.add(out, channels, n, first); },
        result, error))
        << error;

    enum
    {
        L,
        R,
        C,
        LFE,
        Ls,
        Rs
    };
    auto sourceAt = [](double azimuth)
    {
        for (size_t s = 0; s < demoSources().size(); ++s)
            if (demoSources()[s].azimuthDeg == azimuth)
                return static_cast<int>(s);
        return -1;
    };
    EXPECT_EQ(meter.loudest(sourceAt(-30)), L);
    EXPECT_EQ(meter.loudest(sourceAt(30)), R);
    EXPECT_EQ(meter.loudest(sourceAt(0)), C);
    const int behind = sourceAt(180);
    // Straight behind: both surrounds equally, clearly above every front speaker.
    EXPECT_NEAR(meter.levelDb(behind, Ls), meter.levelDb(behind, Rs), 0.1);
    for (int c : {L, R, C})
        EXPECT_GT(meter.levelDb(behind, Ls), meter.levelDb(behind, c) + 3.0);
    // A centre source is symmetric; the LFE channel stays silent for all.
    EXPECT_NEAR(meter.levelDb(sourceAt(0), L), meter.levelDb(sourceAt(0), R), 0.1);
    for (size_t s = 0; s < demoSources().size(); ++s)
        EXPECT_LT(meter.levelDb(static_cast<int>(s), LFE), -90.0);
}

TEST(KalvoRenderDemo, TheCommandPrintsTheTableAndWritesA51FileIntoNewFolders)
{
    ScratchDir dir;
    auto run = testfiles::runTool(dir, {"--demo", dir.file("out/demo/demo-5.1.wav")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* word : {"L", "Ls", "centre", "front left", "behind", "*"})
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
    EXPECT_NE(run.err.find("wrote"), std::string::npos);
    testfiles::Sound demo;
    ASSERT_TRUE(testfiles::readSound(dir.file("out/demo/demo-5.1.wav"), demo));
    EXPECT_EQ(demo.info.channels, 6);
    EXPECT_EQ(demo.info.samplerate, 48000);
    EXPECT_EQ(dir.list(), std::vector<std::string>{"out"});
}
