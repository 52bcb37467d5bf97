// kalvo-render's output levels: --gain, --normalize, and what it says when a
// decode goes beyond full scale.

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

using testfiles::ScratchDir;

namespace
{

constexpr int64_t kFrames = 24000; // half a second at 48 kHz

// The gain a warning proposes: the number after "--gain ".
double proposedGain(const std::string& text)
{
    const size_t at = text.find("--gain ");
    return at == std::string::npos ? NAN : std::strtod(text.c_str() + at + 7, nullptr);
}

} // namespace

TEST(KalvoRenderLevels, GainScalesTheOutputOfEveryLayoutExactly)
{
    ScratchDir dir;
    const std::string take = dir.file("take.wav");
    ASSERT_TRUE(testfiles::writeFullScaleTake(take, kFrames, 0.25));
    for (const char* layout : {"5.1", "ambix", "binaural"})
    {
        const std::string plain = dir.file(std::string("plain-") + layout + ".wav");
        const std::string halved = dir.file(std::string("halved-") + layout + ".wav");
        auto a = testfiles::runTool(dir, {take, plain, "--layout", layout, "--bits", "32", "-q"});
        auto b =
            testfiles::runTool(dir, {take, halved, "--layout", layout, "--bits", "32", "--gain", "-6.0206"});
        ASSERT_EQ(a.exitCode, 0) << a.err;
        ASSERT_EQ(b.exitCode, 0) << b.err;
        testfiles::Sound x, y;
        ASSERT_TRUE(testfiles::readSound(plain, x));
        ASSERT_TRUE(testfiles::readSound(halved, y));
        ASSERT_EQ(x.samples.size(), y.samples.size());
        size_t differ = 0;
        for (size_t i = 0; i < x.samples.size(); ++i)
            differ += y.samples[i] != x.samples[i] * 0.5;
        EXPECT_EQ(differ, 0u) << layout;
    }
}

TEST(KalvoRenderLevels, AClipWarningNamesAGainThatAvoidsIt)
{
    ScratchDir dir;
    const std::string take = dir.file("take.wav");
    ASSERT_TRUE(testfiles::writeFullScaleTake(take, kFrames));
    // Ambisonics take no settings, so only an output gain can make room; the
    // ears of the binaural layout add five speakers up.
    for (const char* layout : {"ambix", "binaural", "5.1"})
    {
        const std::string out = dir.file(std::string("out-") + layout + ".wav");
        auto hot = testfiles::runTool(dir, {take, out, "--layout", layout});
        EXPECT_EQ(hot.exitCode, 0) << hot.err;
        EXPECT_NE(hot.err.find("samples went beyond full scale and were clipped (peak +"), std::string::npos)
            << hot.err;
        EXPECT_NE(hot.err.find(" dBFS): use --gain -"), std::string::npos) << hot.err;
        EXPECT_NE(hot.err.find(" or --bits 32"), std::string::npos) << hot.err;
        const double gain = proposedGain(hot.err);
        ASSERT_LT(gain, 0.0) << hot.err;

        auto fits = testfiles::runTool(dir, {take, out, "--layout", layout, "--gain", std::to_string(gain)});
        EXPECT_EQ(fits.exitCode, 0) << fits.err;
        EXPECT_EQ(fits.err.find("warning"), std::string::npos) << layout << ": " << fits.err;
        EXPECT_LE(testfiles::filePeak(out), std::pow(10.0, -0.1 / 20.0)) << layout;

        // A float file keeps what is beyond full scale, and is told so.
        auto floating = testfiles::runTool(dir, {take, out, "--layout", layout, "--bits", "32"});
        EXPECT_NE(floating.err.find("above full scale"), std::string::npos) << floating.err;
        EXPECT_EQ(proposedGain(floating.err), gain) << floating.err;
        EXPECT_GT(testfiles::filePeak(out), 1.0) << layout;
    }
}

TEST(KalvoRenderLevels, NormalizeBringsEachFilesPeakToTheLevelAskedFor)
{
    ScratchDir dir;
    ASSERT_EQ(::mkdir(dir.file("day").c_str(), 0755), 0);
    ASSERT_TRUE(testfiles::writeFullScaleTake(dir.file("day/loud.wav"), kFrames));
    ASSERT_TRUE(testfiles::writeFullScaleTake(dir.file("day/quiet.wav"), kFrames, 0.01));
    for (const char* bits : {"32", "24"})
    {
        const std::string out = dir.file(std::string("out") + bits);
        auto run = testfiles::runTool(dir, {dir.file("day"), "--out-dir", out, "--normalize", "-1", "--bits",
                                            bits, "--layout", "binaural", "--jobs", "2"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
        const double target = std::pow(10.0, -1.0 / 20.0);
        // Within the rounding of a float, or half a step of 24 bits.
        const double tolerance = std::string(bits) == "32" ? 1e-7 : 1.0 / 8388608.0;
        for (const char* name : {"/loud.binaural.wav", "/quiet.binaural.wav"})
            EXPECT_NEAR(testfiles::filePeak(out + name), target, tolerance) << bits << name;
        // The table's peak column.
        EXPECT_NE(run.out.find("peak"), std::string::npos) << run.out;
        size_t rows = 0;
        for (size_t at = run.out.find("-1.0 dBFS"); at != std::string::npos;
             at = run.out.find("-1.0 dBFS", at + 1))
            ++rows;
        EXPECT_EQ(rows, 2u) << run.out;
    }
}
