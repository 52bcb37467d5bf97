#include "dsp/KalvoAlgo.h"
#include "KalvoAlgoTestUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

/// The settings of the signal path's check values: patterns 0.36, front angle
/// 72 degrees, surround angle 126 degrees, every level 1.0, 20 kHz corner.
void applyCheckSettings(KalvoAlgo& k)
{
    k.lrPattern = k.lsrsPattern = k.centerPattern = 0.36;
    k.frontLevel = k.rearLevel = k.centerLevel = 1.0;
    k.setLROffset(0.8);
    k.setLSRSOffset(0.6);
    k.setRearSlopeFilter(1.0);
}

/// Pole of the first-order low-pass for a corner in kHz: cos(w) / (sin(w) + 1).
double lowPassPole(double cornerKHz, double samplingRate)
{
    const double w = 1000.0 * cornerKHz * KalvoAlgo::twoPi / samplingRate;
    return std::cos(w) / (std::sin(w) + 1.0);
}

bool allFinite(const EngineBuffers& b)
{
    for (const auto& ch : b.out)
        for (double v : ch)
            if (!std::isfinite(v))
                return false;
    return true;
}
} // namespace

TEST(KalvoAlgo, CoefficientsAtPattern05And45Degrees)
{
    KalvoAlgo k(44100.0);
    k.lrPattern = 0.5;
    k.setLROffset(0.5);
    EXPECT_EQ(k.lrOffset, 45.0);
    EXPECT_NEAR(k.frontOmniWeight, 0.585786, 1e-6);
    EXPECT_NEAR(k.frontSideBalance, 0.707107, 1e-6);
    EXPECT_NEAR(k.frontAngleComp, 0.707107, 1e-6);
    EXPECT_NEAR(k.frontPatternComp, 1.171938, 1e-6);
    EXPECT_NEAR(k.frontNorm, 1.171938, 1e-6);

    // The surround pair at 135 degrees mirrors the front pair at 45.
    k.lsrsPattern = 0.5;
    k.setLSRSOffset(0.5);
    EXPECT_EQ(k.lsrsOffset, 135.0);
    EXPECT_NEAR(k.rearOmniWeight, k.frontOmniWeight, 1e-6);
    EXPECT_NEAR(k.rearSideBalance, k.frontSideBalance, 1e-6);
    EXPECT_NEAR(k.rearAngleComp, k.frontAngleComp, 1e-6);
    EXPECT_NEAR(k.rearPatternComp, k.frontPatternComp, 1e-6);
    EXPECT_NEAR(k.rearNorm, k.frontNorm, 1e-6);
}

TEST(KalvoAlgo, CoefficientsAtPattern073And18Degrees)
{
    KalvoAlgo k(44100.0);
    k.lrPattern = 0.73;
    k.setLROffset(0.2);
    EXPECT_NEAR(k.frontOmniWeight, 0.739776, 1e-6);
    EXPECT_NEAR(k.frontSideBalance, 0.922040, 1e-6);
    EXPECT_NEAR(k.frontAngleComp, 0.798095, 1e-6);
    EXPECT_NEAR(k.frontPatternComp, 1.123850, 1e-6);
    EXPECT_NEAR(k.frontNorm, 1.085376, 1e-6);
}

TEST(KalvoAlgo, OmniPatternMakesLeftAndRightTheSameAtAnyAngle)
{
    KalvoAlgo k(44100.0);
    k.lrPattern = 1.0;
    for (double x : {0.0, 0.3, 1.0})
    {
        k.setLROffset(x);
        EXPECT_EQ(k.frontOmniWeight, 1.0);  // no figure-eight share
        EXPECT_EQ(k.frontSideBalance, 1.0); // no side share
    }
}

TEST(KalvoAlgo, ExtremeAnglesWithPattern0StayFinite)
{
    KalvoAlgo k(44100.0);
    k.lrPattern = k.lsrsPattern = 0.0;
    k.setLROffset(0.0);
    k.setLSRSOffset(1.0); // 90 degrees: straight back
    EXPECT_EQ(k.frontOmniWeight, 0.0);
    EXPECT_NEAR(k.frontSideBalance, 0.9999999126, 1e-10);
    EXPECT_EQ(k.rearOmniWeight, 0.0);
    EXPECT_NEAR(k.rearSideBalance, 0.9999999126, 1e-10);
    k.setLROffset(1.0);
    k.setLSRSOffset(0.0);
    for (double v : {k.frontSideBalance.load(), k.frontNorm * k.frontAngleComp, k.rearSideBalance.load(),
                     k.rearNorm * k.rearAngleComp})
        EXPECT_TRUE(std::isfinite(v) && v > 0.0);
}

TEST(KalvoAlgo, SettersMapNormalisedValuesToUnitsAndBack)
{
    KalvoAlgo k(44100.0);
    k.setLSRSOffset(0.0);
    EXPECT_EQ(k.lsrsOffset, 180.0);
    EXPECT_EQ(k.getLSRSOffsetFader(180.0), 0.0);
    k.setLSRSOffset(1.0);
    EXPECT_EQ(k.lsrsOffset, 90.0);
    EXPECT_EQ(k.getLSRSOffsetFader(90.0), 1.0);
    k.setLROffset(0.25);
    EXPECT_EQ(k.lrOffset, 22.5);
    EXPECT_EQ(k.getLROffsetFader(22.5), 0.25);
    k.setRearSlopeFilter(0.0);
    EXPECT_EQ(k.rearSlopeFilter, 1.0);
    k.setRearSlopeFilter(1.0);
    EXPECT_EQ(k.rearSlopeFilter, 20.0);
    EXPECT_EQ(k.getRearSlopeFilterFader(20.0), 1.0);
    k.setDelay(1.0);
    EXPECT_EQ(k.delay, 1.0);
    // The line belongs to the audio thread: the change reaches it with the next
    // processing call, even an empty one.
    EngineBuffers none(0);
    none.process(k);
    EXPECT_EQ(k.getDelayLine().getDelayMs(), 55.0);
    EXPECT_EQ(k.getDelayLine().getDelaySamples(), 2426);
    // A non-finite delay parameter is recorded but leaves the line alone.
    k.setDelay(kNaN);
    none.process(k);
    EXPECT_EQ(k.getDelayLine().getDelayMs(), 55.0);
}

TEST(KalvoAlgo, DelayChangesBetweenBlocksReachTheLineAsIfMadeOneByOne)
{
    KalvoAlgo k(44100.0);
    CDelayLine direct(1.0, 44100.0, 2, 200.0);
    for (double x : {0.2, 0.5, 0.9}) // the first starts a fade, the last waits behind it
    {
        k.setDelay(x);
        direct.setDelay(x * 55.0);
    }
    EngineBuffers none(0);
    none.process(k);
    const CDelayLine& line = k.getDelayLine();
    EXPECT_EQ(line.getFadeState(), 2);
    EXPECT_EQ(line.getDelaySamples(), direct.getDelaySamples());
    EXPECT_EQ(line.getNewReadPos(), direct.getNewReadPos());
    EXPECT_EQ(line.getPendingDelayMs(), direct.getPendingDelayMs());
    EXPECT_EQ(line.getDelayMs(), 0.9 * 55.0);
}

TEST(KalvoAlgo, ConstructionAndTheFadeStepRule)
{
    KalvoAlgo k(48000.0);
    EXPECT_EQ(k.getDelayLine().getDelaySamples(), 49); // 1 ms at 48 kHz
    EXPECT_EQ(k.getDelayLine().getBufferLength(), 9601);
    EXPECT_NEAR(k.getMeter(0).getAttCoef(), 0.98781988445672, 1e-13);
    EXPECT_EQ(k.getDelayLine().getFadeStep(), 1.0 / 12000.0);
    KalvoAlgo s(48000.0, FadeStepPrecision::kSingle);
    EXPECT_EQ(s.getDelayLine().getFadeStep(), static_cast<double>(1.0f / 12000.0f));

    // Processing before any parameter is applied gives finite output.
    EngineBuffers b(16);
    b.in[kInM][0] = 1.0;
    b.process(k);
    EXPECT_TRUE(allFinite(b));
}

TEST(KalvoAlgo, CheckValuesOfOneFrontMidSample)
{
    KalvoAlgo k(44100.0);
    applyCheckSettings(k);
    EXPECT_NEAR(k.frontOmniWeight, 0.6454263, 1e-7);
    EXPECT_NEAR(k.frontSideBalance, 0.4781794, 1e-7);
    EXPECT_NEAR(k.frontAngleComp, 0.7980811, 1e-7);
    EXPECT_NEAR(k.frontNorm, 0.9944497, 1e-7);
    EXPECT_NEAR(k.rearOmniWeight, 0.4101298, 1e-7);
    EXPECT_NEAR(k.rearSideBalance, 0.7000027, 1e-7);
    EXPECT_NEAR(k.rearAngleComp, 0.7172190, 1e-7);
    EXPECT_NEAR(k.rearNorm, 1.1002021, 1e-7);

    EngineBuffers b(100);
    b.in[kInM][0] = 1.0;
    b.process(k);
    EXPECT_NEAR(b.out[kOutL][0], 0.6025055, 1e-7);
    EXPECT_NEAR(b.out[kOutR][0], 0.6025055, 1e-7);
    EXPECT_NEAR(b.out[kOutC][0], 1.0, 1e-12);
    EXPECT_EQ(b.out[kOutLfe][0], 0.0);
    // The surround mix arrives 45 samples later (1 ms) through the low-pass,
    // whose first response sample is b = (1 - a) / 2 times its input.
    const double gain = (1.0 - lowPassPole(20.0, 44100.0)) * 0.5;
    for (int i = 0; i < 45; ++i)
        ASSERT_LT(std::fabs(b.out[kOutLs][i]), 1e-18) << i;
    EXPECT_NEAR(b.out[kOutLs][45] / gain, -0.1594487, 1e-7);
    EXPECT_NEAR(b.out[kOutRs][45] / gain, -0.1594487, 1e-7);
}

TEST(KalvoAlgo, CheckValuesOfOneSideSampleAndTheShelfAtDc)
{
    KalvoAlgo k(44100.0);
    applyCheckSettings(k);
    EngineBuffers b(1);
    b.in[kInS][0] = 1.0;
    b.process(k);
    EXPECT_NEAR(b.out[kOutL][0], 0.8651431, 1e-7);
    EXPECT_NEAR(b.out[kOutR][0], -0.8651431, 1e-7);
    EXPECT_EQ(b.out[kOutC][0], 0.0);
    // L = (1 - frontSideBalance) * S' / D, so S' follows from L.
    const double d = k.frontNorm * k.frontAngleComp;
    const double toShelved = d / (1.0 - k.frontSideBalance);
    EXPECT_NEAR(b.out[kOutL][0] * toShelved, 1.3158201, 1e-7);
    // The caller's side buffer is read, never rescaled in place.
    EXPECT_EQ(b.in[kInS][0], 1.0);

    // Settled DC on the side input: 1.3 input gain times 2.512 shelf gain.
    EngineBuffers dc(20000);
    for (double& v : dc.in[kInS])
        v = 1.0;
    k.reset();
    dc.process(k);
    EXPECT_NEAR(dc.out[kOutL].back() * toShelved, 1.2999999523162842 * 2.512, 1e-9);
}

TEST(KalvoAlgo, SideInputGainShowsOnItsMeterEvenWithLevelsAtZero)
{
    KalvoAlgo k(44100.0);
    k.frontLevel = k.rearLevel = 0.0;
    EngineBuffers b(44100);
    for (double& v : b.in[kInS])
        v = 0.1 / 1.2999999523162842; // -20 dB after the gain
    for (double& v : b.in[kInM])
        v = 0.001; // -60 dB, below the window
    b.process(k);
    EXPECT_NEAR(k.meterLevel[2], (10.0 * std::log10(0.01 + 1e-10) + 40.0) * 0.025, 1e-12);
    EXPECT_LT(k.meterLevel[0], 1e-12);
    EXPECT_EQ(b.out[kOutL].back(), 0.0);
    EXPECT_EQ(b.in[kInS][0], 0.1 / 1.2999999523162842);
}

TEST(KalvoAlgo, CentrePatternBlendsOmniAndFigureEight)
{
    KalvoAlgo k(44100.0); // centre level 0.25
    EngineBuffers b(1);
    b.in[kInM][0] = 0.8;
    b.in[kInMr][0] = 0.2;
    k.centerPattern = 1.0;
    b.process(k);
    EXPECT_DOUBLE_EQ(b.out[kOutC][0], 0.25 * (0.8 + 0.2));
    k.centerPattern = 0.0;
    b.process(k);
    EXPECT_DOUBLE_EQ(b.out[kOutC][0], 0.25 * (0.8 - 0.2));
}

TEST(KalvoAlgo, MutesSilenceTheirGroupWhileTheRestRuns)
{
    KalvoAlgo k(44100.0);
    applyCheckSettings(k);
    KalvoAlgo ref(44100.0);
    applyCheckSettings(ref);
    k.frontMute = 1.0;
    EngineBuffers b(200), r(200);
    b.in[kInM][0] = r.in[kInM][0] = 1.0;
    b.process(k);
    r.process(ref);
    for (int i = 0; i < 200; ++i)
    {
        ASSERT_EQ(b.out[kOutL][i], 0.0);
        ASSERT_EQ(b.out[kOutR][i], 0.0);
        ASSERT_EQ(b.out[kOutC][i], r.out[kOutC][i]);
        ASSERT_EQ(b.out[kOutLs][i], r.out[kOutLs][i]);
    }
    EXPECT_LE(k.meterLevel[4], 1e-20);
    EXPECT_LE(k.meterLevel[5], 1e-20);
    EXPECT_GT(k.meterLevel[3], 0.0);

    // Only exactly 1.0 mutes.
    for (double notMuted : {0.999, 2.0, kNaN})
    {
        k.frontMute = notMuted;
        b.process(k);
        EXPECT_NE(b.out[kOutL][0], 0.0);
    }
    // A muted surround pair keeps its delay line running: what went in while
    // muted comes out once unmuted, exactly as without the mute.
    k.frontMute = 0.0;
    k.rearMute = 1.0;
    k.reset();
    ref.reset();
    EngineBuffers mutedPart(20), refPart(20);
    mutedPart.in[kInM][0] = refPart.in[kInM][0] = 1.0;
    mutedPart.process(k);
    refPart.process(ref);
    k.rearMute = 0.0;
    b.in[kInM][0] = r.in[kInM][0] = 0.0;
    b.process(k);
    r.process(ref);
    EXPECT_GT(std::fabs(b.out[kOutLs][25]), 0.01); // the impulse, 45 frames after it went in
    EXPECT_EQ(b.out[kOutLs], r.out[kOutLs]);
    EXPECT_EQ(b.out[kOutRs], r.out[kOutRs]);
    k.centerMute = 1.0;
    b.in[kInM][0] = 1.0;
    b.process(k);
    EXPECT_EQ(b.out[kOutC][0], 0.0);
}

TEST(KalvoAlgo, SilenceGivesSilenceAndAnEmptyBlockChangesNothing)
{
    KalvoAlgo k(44100.0);
    applyCheckSettings(k);
    EngineBuffers b(1000);
    b.process(k);
    for (int c = 0; c < 6; ++c)
        for (double v : b.out[c])
            ASSERT_LE(std::fabs(v), 1e-18); // only the denormal guards show
    for (double v : b.out[kOutLfe])
        ASSERT_EQ(v, 0.0);
    for (double m : k.meterLevel)
        EXPECT_LE(m, 1e-20);

    // n = 0: buffers, meters and signal state stay as they were.
    EngineBuffers e(4);
    for (auto& ch : e.out)
        ch.assign(4, 42.0);
    const auto before = e.out;
    k.meterLevel[0] = 0.125;
    k.processSamples(e.inPtr, e.outPtr, 0);
    EXPECT_EQ(e.out, before);
    EXPECT_EQ(k.meterLevel[0], 0.125);
}

TEST(KalvoAlgo, SurroundFollowsTheDelayLineAfterAFade)
{
    KalvoAlgo k(48000.0);
    applyCheckSettings(k);
    k.setDelay(20.0 / 55.0); // 20 ms = 961 samples at 48 kHz
    EngineBuffers warm(12000);
    warm.process(k); // the fade runs out on silence
    EXPECT_EQ(k.getDelayLine().getFadeState(), 0);
    EngineBuffers b(2000);
    b.in[kInM][0] = 1.0;
    b.process(k);
    const int d = k.getDelayLine().getDelaySamples();
    EXPECT_EQ(d, 961);
    for (int i = 0; i < d; ++i)
        ASSERT_LT(std::fabs(b.out[kOutLs][i]), 1e-18) << i;
    EXPECT_GT(std::fabs(b.out[kOutLs][d]), 0.01);
}

TEST(KalvoAlgo, SamplingRateAndResetKeepParametersAndMeterLevels)
{
    KalvoAlgo k(44100.0);
    applyCheckSettings(k);
    const double norm = k.frontNorm;
    EngineBuffers b(500);
    for (double& v : b.in[kInM])
        v = 0.5;
    b.process(k);
    const double level = k.meterLevel[0];
    EXPECT_GT(level, 0.0);
    k.setSamplingRate(48000.0);
    k.reset();
    EXPECT_NEAR(k.getMeter(7).getRelCoef(), 0.99996794923311, 1e-13);
    EXPECT_EQ(k.meterLevel[0], level);
    EXPECT_EQ(k.frontNorm, norm);
    EXPECT_EQ(k.rearSlopeFilter, 20.0);
    // After reset the engine behaves like a fresh one at the new rate.
    KalvoAlgo fresh(48000.0);
    applyCheckSettings(fresh);
    EngineBuffers x(300), y(300);
    x.in[kInM][0] = y.in[kInM][0] = 1.0;
    x.in[kInS][3] = y.in[kInS][3] = -0.5;
    x.process(k);
    y.process(fresh);
    EXPECT_EQ(x.out, y.out);
    // Unusable rates are ignored.
    for (double bad : {0.0, -48000.0, kNaN, kInf})
    {
        k.setSamplingRate(bad);
        EXPECT_EQ(k.getSamplingRate(), 48000.0);
    }
}

TEST(KalvoAlgo, BuffersMayAliasAndAreReadBeforeWritten)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    KalvoAlgo a(44100.0), b(44100.0);
    applyCheckSettings(a);
    applyCheckSettings(b);
    EngineBuffers sep(256);
    for (auto& ch : sep.in)
        for (double& v : ch)
            v = u(rng);
    // In place: output k is input k for the three microphones.
    std::vector<std::vector<double>> io = sep.in;
    std::vector<double> ls(256), rs(256), lfe(256);
    const double* inPtr[3] = {io[0].data(), io[1].data(), io[2].data()};
    double* outPtr[6] = {io[0].data(), io[1].data(), io[2].data(), lfe.data(), ls.data(), rs.data()};
    sep.process(a);
    b.processSamples(inPtr, outPtr, 256);
    EXPECT_EQ(io[0], sep.out[kOutL]);
    EXPECT_EQ(io[1], sep.out[kOutR]);
    EXPECT_EQ(io[2], sep.out[kOutC]);
    EXPECT_EQ(rs, sep.out[kOutRs]);

    // One buffer fed to all three inputs: scaling the side signal must not
    // change the front mid read from the same memory.
    KalvoAlgo c(44100.0), d(44100.0);
    applyCheckSettings(c);
    applyCheckSettings(d);
    EngineBuffers shared(256), copies(256);
    for (int i = 0; i < 256; ++i)
        shared.in[0][i] = copies.in[0][i] = copies.in[1][i] = copies.in[2][i] = u(rng);
    shared.inPtr[1] = shared.inPtr[2] = shared.in[0].data();
    shared.process(c);
    copies.process(d);
    EXPECT_EQ(shared.out, copies.out);
}

TEST(KalvoAlgo, LowPassCornerStaysBelowNyquistFrom8To384kHz)
{
    for (double rate : {8000.0, 11025.0, 16000.0, 22050.0, 32000.0, 44100.0, 48000.0, 88200.0, 96000.0,
                        176400.0, 192000.0, 384000.0})
    {
        SCOPED_TRACE(rate);
        KalvoAlgo k(rate);
        applyCheckSettings(k); // 20 kHz
        // The pole shows in the impulse response: y[d + 1] / y[d] = 1 + a.
        EngineBuffers imp(1000);
        imp.in[kInM][0] = 1.0;
        imp.process(k);
        const int d = k.getDelayLine().getDelaySamples();
        const double pole = imp.out[kOutLs][d + 1] / imp.out[kOutLs][d] - 1.0;
        const double corner = rate >= 44100.0 ? 20.0 : 0.46 * rate / 1000.0;
        EXPECT_NEAR(pole, lowPassPole(corner, rate), 1e-9);
        EXPECT_LT(std::fabs(pole), 1.0);

        // Full-scale noise stays bounded for a long while.
        std::mt19937 rng(11);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        EngineBuffers noise(4096);
        double peak = 0.0;
        for (int block = 0; block < 8; ++block)
        {
            for (auto& ch : noise.in)
                for (double& v : ch)
                    v = u(rng);
            noise.process(k);
            for (int c : {kOutLs, kOutRs})
                for (double v : noise.out[c])
                    peak = std::fmax(peak, std::fabs(v));
        }
        EXPECT_LT(peak, 100.0);
    }
}

TEST(KalvoAlgo, OutOfRangeParametersKeepTheOutputFinite)
{
    KalvoAlgo k(44100.0);
    applyCheckSettings(k);
    EngineBuffers b(4096);
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    auto runNoise = [&]
    {
        for (auto& ch : b.in)
            for (double& v : ch)
                v = u(rng);
        b.process(k);
        return allFinite(b);
    };
    // Corners at or below zero or beyond Nyquist would make the low-pass unstable.
    for (double corner : {0.0, -5.0, kNaN, kInf, -kInf, 1e300})
    {
        k.rearSlopeFilter = corner;
        EXPECT_TRUE(runNoise()) << corner;
        for (double v : b.out[kOutLs])
            ASSERT_LT(std::fabs(v), 100.0) << corner;
    }
    k.setRearSlopeFilter(1.0);
    // Patterns above 1 and angles past their quarter circle.
    for (double x : {1.5, 7.0})
    {
        k.lrPattern = k.lsrsPattern = x;
        k.setLROffset(x);
        k.setLSRSOffset(-x);
        EXPECT_TRUE(runNoise()) << x;
    }
}

TEST(KalvoAlgo, RecoversFromNonFiniteInputWithinTheDelayLineLength)
{
    for (double bad : {kNaN, kInf, -kInf})
    {
        SCOPED_TRACE(bad);
        KalvoAlgo k(44100.0);
        applyCheckSettings(k);
        k.setDelay(1.0); // a fade in progress makes both read positions see the burst
        EngineBuffers b(512);
        std::mt19937 rng(9);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        for (int c = 0; c < 3; ++c)
        {
            for (double& v : b.in[c])
                v = u(rng);
            b.in[c][100] = bad;
        }
        b.process(k);
        EXPECT_FALSE(std::isfinite(b.out[kOutL][100]));
        const int length = k.getDelayLine().getBufferLength();
        int frames = 512;
        for (; frames < length + 512; frames += 512)
        {
            for (auto& ch : b.in)
                for (double& v : ch)
                    v = u(rng);
            b.process(k);
        }
        // Now more than the delay line's length after the burst: all finite.
        for (int block = 0; block < 30; ++block)
        {
            for (auto& ch : b.in)
                for (double& v : ch)
                    v = u(rng);
            b.process(k);
            ASSERT_TRUE(allFinite(b)) << block;
        }
        for (double m : k.meterLevel)
            EXPECT_TRUE(std::isfinite(m));
    }
}

TEST(KalvoAlgo, StagedEngineMatchesThePerSampleReferenceBitForBitOnEveryInstructionSet)
{
    const double rates[] = {44100.0, 48000.0, 32000.0, 96000.0, 22050.0};
    // What the parameter side does between blocks, the same on both engines.
    const auto change = [&](KalvoAlgo& k, int which, double x, double rate)
    {
        switch (which)
        {
        case 0:
            k.centerPattern = x;
            break;
        case 1:
            k.lrPattern = x;
            k.setInternalVariables();
            break;
        case 2:
            k.lsrsPattern = x;
            k.setInternalVariables();
            break;
        case 3:
            k.setLROffset(x);
            break;
        case 4:
            k.setLSRSOffset(x);
            break;
        case 5:
            k.setDelay(x);
            break;
        case 6:
            k.setRearSlopeFilter(x);
            break;
        case 7:
            k.frontLevel = x;
            break;
        case 8:
            k.rearLevel = x;
            break;
        case 9:
            k.centerLevel = x;
            break;
        case 10:
            k.centerMute = x < 0.5 ? 1.0 : x;
            break;
        case 11:
            k.frontMute = x < 0.5 ? 1.0 : x;
            break;
        case 12:
            k.rearMute = x < 0.5 ? 1.0 : x;
            break;
        case 13: // a burst of delay changes: the first starts a fade, the last waits
            k.setDelay(x);
            k.setDelay(1.0 - x);
            k.setDelay(x * 0.5);
            break;
        case 14:
            k.meteringEnabled = x < 0.7;
            break;
        default:
            k.setSamplingRate(rate);
            k.reset();
            break;
        }
    };

    int kernelsRun = 0;
    for (subblock::Kernel kernel :
         {subblock::Kernel::kBaseline, subblock::Kernel::kAvx2, subblock::Kernel::kAvx512})
    {
        KalvoAlgo staged(44100.0), reference(44100.0);
        if (!staged.setKernel(kernel))
            continue;
        ++kernelsRun;
        SCOPED_TRACE(static_cast<int>(kernel));
        std::mt19937 rng(17);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        EngineBuffers a(700), b(700);
        for (int block = 0; block < 400; ++block)
        {
            const int changes = std::uniform_int_distribution<int>(0, 3)(rng);
            for (int c = 0; c < changes; ++c)
            {
                const int which = std::uniform_int_distribution<int>(0, 15)(rng);
                const double x = u(rng) < 0.1 ? 3.0 * u(rng) - 1.0 : u(rng); // now and then out of range
                const double rate = rates[std::uniform_int_distribution<int>(0, 4)(rng)];
                if (which == 15 && u(rng) < 0.7)
                    continue; // rate changes are rarer
                change(staged, which, x, rate);
                change(reference, which, x, rate);
            }
            // Lengths from empty through several sub-blocks, odd ones included.
            const int n = u(rng) < 0.3 ? std::uniform_int_distribution<int>(0, 40)(rng)
                                       : std::uniform_int_distribution<int>(0, 700)(rng);
            const double amplitude = u(rng) < 0.1 ? 4.0 : (u(rng) < 0.1 ? 0.0 : 1.0);
            for (int ch = 0; ch < 3; ++ch)
                for (int i = 0; i < n; ++i)
                    a.in[ch][i] = b.in[ch][i] = amplitude * (2.0 * u(rng) - 1.0);
            if (n > 0 && u(rng) < 0.05)
            {
                const double bad = std::array<double, 3>{kNaN, kInf, -kInf}[block % 3];
                const int ch = block % 3, i = std::uniform_int_distribution<int>(0, n - 1)(rng);
                a.in[ch][i] = b.in[ch][i] = bad;
            }
            staged.processSamples(a.inPtr, a.outPtr, n);
            reference.processSamplesReference(b.inPtr, b.outPtr, n);
            for (int ch = 0; ch < 6; ++ch)
                ASSERT_EQ(std::memcmp(a.out[ch].data(), b.out[ch].data(), sizeof(double) * n), 0)
                    << "block " << block << " channel " << ch;
            for (int m = 0; m < KalvoAlgo::kNumMeters; ++m)
                ASSERT_EQ(staged.meterLevel[m].load(), reference.meterLevel[m].load())
                    << "block " << block << " meter " << m;
        }
    }
    EXPECT_GE(kernelsRun, 1);
}
