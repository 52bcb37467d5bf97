// Reading the three microphone signals and writing the six decoded channels.

#include "TestFiles.h"
#include "tools/kalvo-render/files/SoundInput.h"
#include "tools/kalvo-render/files/SoundOutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace render;
using testfiles::ScratchDir;

namespace
{

// Six channels of `frames` frames whose channel c holds value(c, i).
template <typename F> std::vector<std::vector<double>> channels(int frames, F value)
{
    std::vector<std::vector<double>> ch(6, std::vector<double>(static_cast<size_t>(frames)));
    for (int c = 0; c < 6; ++c)
        for (int i = 0; i < frames; ++i)
            ch[static_cast<size_t>(c)][static_cast<size_t>(i)] = value(c, i);
    return ch;
}

bool writeOutput(const OutputSpec& spec, const std::vector<std::vector<double>>& ch, SoundOutput& out)
{
    std::string error;
    if (!out.open(spec, error))
        return false;
    const double* ptr[6];
    for (int c = 0; c < 6; ++c)
        ptr[c] = ch[static_cast<size_t>(c)].data();
    if (!out.write(ptr, static_cast<int>(ch[0].size()), error))
        return false;
    return out.commit(error);
}

uint32_t le32(const std::vector<unsigned char>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

std::vector<int> readCodes(const std::string& path, int shift)
{
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<int> codes(static_cast<size_t>(info.frames * info.channels));
    sf_readf_int(f, codes.data(), info.frames);
    sf_close(f);
    for (int& c : codes)
        c >>= shift; // libsndfile delivers codes in the top bits of an int
    return codes;
}

} // namespace

TEST(SoundOutput, SixChannelFileCarriesThe51MaskAndExactFloats)
{
    ScratchDir dir;
    OutputSpec spec;
    spec.path = dir.file("out.wav");
    spec.format = SampleFormat::Float64;
    spec.sampleRate = 44100;
    spec.frames = 100;
    auto ch = channels(100, [](int c, int i) { return std::sin(0.1 * i + c) * (1.0 + 1e-12 * c); });
    SoundOutput out;
    ASSERT_TRUE(writeOutput(spec, ch, out));

    // WAVE_FORMAT_EXTENSIBLE, 6 channels, mask L R C LFE BL BR = 0x3F.
    auto header = testfiles::readBytes(spec.path, 64);
    ASSERT_GE(header.size(), 44u);
    EXPECT_EQ(std::memcmp(header.data(), "RIFF", 4), 0);
    EXPECT_EQ(std::memcmp(header.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(header[20] | (header[21] << 8), 0xFFFE);
    EXPECT_EQ(header[22], 6);
    EXPECT_EQ(le32(header, 40), 0x3Fu);

    testfiles::Sound back;
    ASSERT_TRUE(testfiles::readSound(spec.path, back));
    EXPECT_EQ(back.info.channels, 6);
    EXPECT_EQ(back.info.samplerate, 44100);
    ASSERT_EQ(back.info.frames, 100);
    for (int i = 0; i < 100; ++i)
        for (int c = 0; c < 6; ++c)
            ASSERT_EQ(back.at(i, c), ch[static_cast<size_t>(c)][static_cast<size_t>(i)]);
    EXPECT_EQ(dir.list(), std::vector<std::string>{"out.wav"});
}

TEST(SoundOutput, FixedPointRoundsClipsAndSilencesNotANumber)
{
    ScratchDir dir;
    // The last four lie halfway between two 24-bit codes: they round to the even one.
    const double step = 1.0 / (1 << 23);
    const double values[] = {0.5,          -0.5,       1.0,         -1.0,       1.5,        -2.0,
                             std::nan(""), 2.5 * step, -2.5 * step, 3.5 * step, -3.5 * step};
    auto ch = channels(11, [&](int, int i) { return values[i]; });
    for (SampleFormat format : {SampleFormat::Pcm24, SampleFormat::Pcm16})
    {
        const bool is24 = format == SampleFormat::Pcm24;
        OutputSpec spec;
        spec.path = dir.file(is24 ? "o24.wav" : "o16.wav");
        spec.format = format;
        spec.frames = 11;
        SoundOutput out;
        ASSERT_TRUE(writeOutput(spec, ch, out));
        // Two samples per channel lie beyond full scale; full scale itself does not count.
        EXPECT_EQ(out.clippedSamples(), 12);
        const int full = is24 ? (1 << 23) : (1 << 15);
        auto codes = readCodes(spec.path, is24 ? 8 : 16);
        const int expected[] = {full / 2, -full / 2,    full - 1,      -full,        full - 1,     -full,
                                0,        is24 ? 2 : 0, is24 ? -2 : 0, is24 ? 4 : 0, is24 ? -4 : 0};
        for (int i = 0; i < 11; ++i)
            for (int c = 0; c < 6; ++c)
                EXPECT_EQ(codes[static_cast<size_t>(i * 6 + c)], expected[i]) << "frame " << i;
    }
}

TEST(SoundOutput, DitherMakesRoundingUnbiasedAndLeavesSilenceSilent)
{
    ScratchDir dir;
    // A level of a quarter step: plain rounding gives 0 everywhere; with
    // triangular dither the codes average a quarter step and stay within
    // one step of it. Channel 3 is exact silence.
    const int frames = 40000;
    const double quarterStep = 0.25 / 32768.0;
    auto ch = channels(frames, [&](int c, int) { return c == 3 ? 0.0 : quarterStep; });
    for (bool dither : {false, true})
    {
        OutputSpec spec;
        spec.path = dir.file(dither ? "d.wav" : "p.wav");
        spec.format = SampleFormat::Pcm16;
        spec.frames = frames;
        spec.dither = dither;
        SoundOutput out;
        ASSERT_TRUE(writeOutput(spec, ch, out));
        auto codes = readCodes(spec.path, 16);
        double sum = 0.0;
        int lo = 0, hi = 0, silentCodes = 0;
        for (int i = 0; i < frames; ++i)
        {
            const int code = codes[static_cast<size_t>(i * 6)];
            sum += code;
            lo = std::min(lo, code);
            hi = std::max(hi, code);
            silentCodes += codes[static_cast<size_t>(i * 6 + 3)] == 0;
        }
        EXPECT_EQ(silentCodes, frames);
        if (dither)
        {
            EXPECT_NEAR(sum / frames, 0.25, 0.02); // standard error about 0.003
            EXPECT_GE(lo, -1);
            EXPECT_LE(hi, 1);
        }
        else
        {
            EXPECT_EQ(sum, 0.0);
        }
    }
}

TEST(SoundOutput, Rf64AndMonoFiles)
{
    ScratchDir dir;
    auto ch = channels(50, [](int c, int i) { return (c + 1) * 0.01 * ((i % 7) - 3); });
    OutputSpec rf;
    rf.path = dir.file("big.wav");
    rf.format = SampleFormat::Float32;
    rf.forceRf64 = true;
    rf.frames = 50;
    SoundOutput out;
    ASSERT_TRUE(writeOutput(rf, ch, out));
    EXPECT_TRUE(out.isRf64());
    auto header = testfiles::readBytes(rf.path, 4);
    EXPECT_EQ(std::string(header.begin(), header.end()), "RF64");
    testfiles::Sound back;
    ASSERT_TRUE(testfiles::readSound(rf.path, back));
    EXPECT_EQ(back.info.channels, 6);
    EXPECT_EQ(back.info.frames, 50);
    EXPECT_FLOAT_EQ(static_cast<float>(back.at(6, 5)), 0.18f);

    OutputSpec mono;
    mono.path = dir.file("mix.wav");
    mono.monoFiles = true;
    mono.format = SampleFormat::Float32;
    mono.frames = 50;
    SoundOutput monoOut;
    ASSERT_TRUE(writeOutput(mono, ch, monoOut));
    const char* names[] = {"L", "R", "C", "LFE", "Ls", "Rs"};
    for (int c = 0; c < 6; ++c)
    {
        testfiles::Sound m;
        ASSERT_TRUE(testfiles::readSound(dir.file(std::string("mix.") + names[c] + ".wav"), m));
        EXPECT_EQ(m.info.channels, 1);
        EXPECT_FLOAT_EQ(static_cast<float>(m.at(0, 0)), static_cast<float>(ch[static_cast<size_t>(c)][0]));
    }
    EXPECT_EQ(dir.list().size(), 7u);
}

TEST(SoundOutput, SwitchesToRf64OnlyWhenTheDataPasses4GiB)
{
    ScratchDir dir;
    // 6 channels of 24 bits are 18 bytes a frame: 238 609 294 frames fit in
    // 4 GiB less the header, 238 609 295 and more do not.
    const struct
    {
        int64_t frames;
        SampleFormat format;
        bool mono;
        bool rf64;
    } cases[] = {{238000000, SampleFormat::Pcm24, false, false},
                 {239000000, SampleFormat::Pcm24, false, true},
                 {239000000, SampleFormat::Pcm24, true, false}, // each mono file is a sixth of that
                 {180000000, SampleFormat::Float32, false, true},
                 {89000000, SampleFormat::Float64, false, false}};
    for (const auto& c : cases)
    {
        OutputSpec spec;
        spec.path = dir.file("out.wav");
        spec.frames = c.frames;
        spec.format = c.format;
        spec.monoFiles = c.mono;
        SoundOutput out;
        std::string error;
        ASSERT_TRUE(out.open(spec, error)) << error;
        EXPECT_EQ(out.isRf64(), c.rf64) << c.frames;
        out.abandon();
    }
    EXPECT_TRUE(dir.list().empty());
}

TEST(SoundOutput, AbandonedOrFailedOutputLeavesNothingAndKeepsAnOldFile)
{
    ScratchDir dir;
    const std::string path = dir.file("keep.wav");
    {
        std::ofstream(path) << "an older take";
    }
    {
        OutputSpec spec;
        spec.path = path;
        spec.monoFiles = false;
        SoundOutput out;
        std::string error;
        ASSERT_TRUE(out.open(spec, error));
        EXPECT_EQ(dir.list().size(), 2u); // the temporary file beside it
        // Destroyed without commit: as after an error or an interruption.
    }
    EXPECT_EQ(dir.list(), std::vector<std::string>{"keep.wav"});
    EXPECT_EQ(testfiles::readText(path), "an older take");

    OutputSpec missing;
    missing.path = dir.file("no/such/folder/out.wav");
    SoundOutput out;
    std::string error;
    EXPECT_FALSE(out.open(missing, error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);
}

TEST(SoundInput, ChannelOrderAndThreeMonoFiles)
{
    ScratchDir dir;
    // A file holding side, front mid, rear mid as constants 2, 1, 3.
    std::vector<double> sfr;
    for (int i = 0; i < 10; ++i)
        sfr.insert(sfr.end(), {0.2, 0.1, 0.3});
    ASSERT_TRUE(testfiles::writeSound(dir.file("sfr.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 32000, 3, sfr));
    ChannelOrder order{};
    std::string error;
    ASSERT_TRUE(parseChannelOrder("S,F,R", order, error));
    auto source = openSoundInput({dir.file("sfr.wav")}, order, error);
    ASSERT_TRUE(source) << error;
    EXPECT_EQ(source->sampleRate(), 32000);
    EXPECT_EQ(source->frames(), 10);
    float a[16], b[16], c[16];
    float* out[3] = {a, b, c};
    ASSERT_EQ(source->read(out, 16), 10);
    EXPECT_FLOAT_EQ(a[9], 0.1f); // front mid
    EXPECT_FLOAT_EQ(b[9], 0.2f); // side
    EXPECT_FLOAT_EQ(c[9], 0.3f); // rear mid
    EXPECT_EQ(source->read(out, 16), 0);

    // Three mono files, the rear one shorter: padded with silence, with a warning.
    ASSERT_TRUE(testfiles::writeSound(dir.file("f.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1,
                                      std::vector<double>(6, 0.5)));
    ASSERT_TRUE(testfiles::writeSound(dir.file("s.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1,
                                      std::vector<double>(6, -0.25)));
    ASSERT_TRUE(testfiles::writeSound(dir.file("r.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1,
                                      std::vector<double>(4, 0.125)));
    ASSERT_TRUE(parseChannelOrder("FSR", order, error));
    auto mono = openSoundInput({dir.file("f.wav"), dir.file("s.wav"), dir.file("r.wav")}, order, error);
    ASSERT_TRUE(mono) << error;
    EXPECT_EQ(mono->frames(), 6);
    EXPECT_NE(mono->warning().find("differ in length"), std::string::npos);
    double x[8], y[8], z[8];
    double* dout[3] = {x, y, z};
    ASSERT_EQ(mono->read(dout, 8), 6);
    EXPECT_EQ(x[5], 0.5);
    EXPECT_EQ(y[5], -0.25);
    EXPECT_EQ(z[3], 0.125);
    EXPECT_EQ(z[4], 0.0);
    EXPECT_EQ(z[5], 0.0);
}

TEST(SoundInput, RefusesMissingUnreadableAndMismatchedFiles)
{
    ScratchDir dir;
    ChannelOrder order{kFrontMid, kSide, kRearMid};
    std::string error;
    EXPECT_FALSE(openSoundInput({dir.file("absent.wav")}, order, error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;

    {
        std::ofstream(dir.file("notes.wav")) << "not a sound file at all";
    }
    EXPECT_FALSE(openSoundInput({dir.file("notes.wav")}, order, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos) << error;

    EXPECT_FALSE(openSoundInput({dir.path()}, order, error));
    EXPECT_NE(error.find("directory"), std::string::npos) << error;

    ASSERT_TRUE(testfiles::writeSound(dir.file("stereo.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2,
                                      std::vector<double>(8, 0.0)));
    EXPECT_FALSE(openSoundInput({dir.file("stereo.wav")}, order, error));
    EXPECT_NE(
        error.find("has 2 channels; a decode needs three: front mid, side and rear mid. Its tracks are not "
                   "a surround M/S recording on their own; with the third in a file of its own, give three "
                   "mono files: kalvo-render FRONT.wav SIDE.wav REAR.wav OUT.wav"),
        std::string::npos)
        << error;

    ASSERT_TRUE(testfiles::writeSound(dir.file("m44.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1,
                                      std::vector<double>(8, 0.0)));
    ASSERT_TRUE(testfiles::writeSound(dir.file("m48.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1,
                                      std::vector<double>(8, 0.0)));
    EXPECT_FALSE(
        openSoundInput({dir.file("m44.wav"), dir.file("m48.wav"), dir.file("m48.wav")}, order, error));
    EXPECT_NE(error.find("Hz"), std::string::npos) << error;
    EXPECT_FALSE(
        openSoundInput({dir.file("stereo.wav"), dir.file("m48.wav"), dir.file("m48.wav")}, order, error));
    EXPECT_NE(error.find("has 2 channels, expected 1"), std::string::npos) << error;
    ASSERT_TRUE(testfiles::writeSound(dir.file("three.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 3,
                                      std::vector<double>(9, 0.0)));
    EXPECT_FALSE(
        openSoundInput({dir.file("three.wav"), dir.file("m48.wav"), dir.file("m48.wav")}, order, error));
    EXPECT_NE(error.find("a 3-channel recording is decoded alone: kalvo-render '" + dir.file("three.wav") +
                         "' OUT.wav"),
              std::string::npos)
        << error;
}

TEST(SoundInput, ReadsTheSameValuesAsLibsndfileInEveryFormat)
{
    ScratchDir dir;
    std::vector<double> x(3 * 500);
    uint32_t state = 99;
    for (double& v : x)
    {
        state = state * 1664525u + 1013904223u;
        v = static_cast<double>(static_cast<int32_t>(state)) / 2147483648.0; // full-scale noise
    }
    x[0] = -1.0; // the most negative code
    const int formats[] = {SF_FORMAT_WAV | SF_FORMAT_PCM_16,  SF_FORMAT_WAV | SF_FORMAT_PCM_24,
                           SF_FORMAT_WAV | SF_FORMAT_FLOAT,   SF_FORMAT_WAVEX | SF_FORMAT_PCM_24,
                           SF_FORMAT_RF64 | SF_FORMAT_PCM_24, SF_FORMAT_FLAC | SF_FORMAT_PCM_24,
                           SF_FORMAT_AIFF | SF_FORMAT_PCM_24, SF_FORMAT_WAV | SF_FORMAT_PCM_U8};
    ChannelOrder order{kRearMid, kFrontMid, kSide};
    for (int format : formats)
    {
        const std::string path = dir.file("f" + std::to_string(format) + ".snd");
        ASSERT_TRUE(testfiles::writeSound(path, format, 48000, 3, x)) << std::hex << format;
        testfiles::Sound expected;
        ASSERT_TRUE(testfiles::readSound(path, expected));
        std::string error;
        auto d = openSoundInput({path}, order, error);
        auto f = openSoundInput({path}, order, error);
        ASSERT_TRUE(d && f) << error;
        std::vector<double> dd[3];
        std::vector<float> ff[3];
        double* dp[3];
        float* fp[3];
        for (int r = 0; r < 3; ++r)
        {
            dd[r].resize(500);
            ff[r].resize(500);
            dp[r] = dd[r].data();
            fp[r] = ff[r].data();
        }
        ASSERT_EQ(d->read(dp, 500), 500);
        ASSERT_EQ(f->read(fp, 500), 500);
        for (int i = 0; i < 500; ++i)
            for (int c = 0; c < 3; ++c)
            {
                // File channel c carries role order[c].
                ASSERT_EQ(dd[order[c]][i], expected.at(i, c))
                    << std::hex << format << std::dec << " frame " << i;
                ASSERT_EQ(ff[order[c]][i], static_cast<float>(expected.at(i, c)));
            }
    }
}
