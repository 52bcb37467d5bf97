#include "CVUMeter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
/// Where an input of amplitude 0.1 settles: (10 log10(0.01 + 1e-10) + 40) / 40.
const double kMinus20dBReading = (10.0 * std::log10(0.01 + 1e-10) + 40.0) * 0.025;

double feed(CVUMeter& m, double x, int n)
{
    double v = m.getValue();
    for (int i = 0; i < n; ++i)
        v = m.processSample(x);
    return v;
}
} // namespace

TEST(CVUMeter, CoefficientsAt44100And48000Hz)
{
    CVUMeter m;
    EXPECT_EQ(m.getSampleRate(), 44100.0);
    EXPECT_NEAR(m.getAttCoef(), 0.98674989801546, 1e-13);
    EXPECT_NEAR(m.getRelCoef(), 0.99996511486099, 1e-13);
    EXPECT_EQ(m.getMinDb(), -40.0);
    EXPECT_EQ(m.getMaxDb(), 0.0);
    EXPECT_EQ(m.getScale(), 0.025);
    m.setSampleRate(48000.0);
    EXPECT_NEAR(m.getAttCoef(), 0.98781988445672, 1e-13);
    EXPECT_NEAR(m.getRelCoef(), 0.99996794923311, 1e-13);
    CVUMeter n(48000.0);
    EXPECT_EQ(n.getAttCoef(), m.getAttCoef());
    EXPECT_EQ(n.getRelCoef(), m.getRelCoef());
    EXPECT_EQ(n.getValue(), 0.0);
}

TEST(CVUMeter, SettlesOnTheDecibelScaleOfTheInput)
{
    CVUMeter m;
    // Silence: target 1e-20, so a reset meter stays within 0..1e-20.
    const double silent = feed(m, 0.0, 1000);
    EXPECT_GE(silent, 0.0);
    EXPECT_LE(silent, 1e-20);
    // -20 dB is the middle of the -40..0 dB window; the 1e-10 offset inside the
    // logarithm lifts it by 1.1e-9.
    EXPECT_NEAR(feed(m, 0.1, 44100), kMinus20dBReading, 1e-12);
    EXPECT_NEAR(kMinus20dBReading, 0.5, 2e-9);
    // Full scale and above read 1.
    EXPECT_NEAR(feed(m, 1.0, 44100), 1.0, 1e-9);
    m.reset();
    EXPECT_EQ(m.getValue(), 0.0);
    EXPECT_NEAR(feed(m, -4.0, 44100), 1.0, 1e-9);
    // Below the window reads like the bottom of it and decays towards 0.
    EXPECT_LT(feed(m, 1e-3, 44100 * 20), 1e-8);
}

TEST(CVUMeter, RisesWithTheAttackAndFallsOneEFoldIn650ms)
{
    CVUMeter m;
    // First sample of full scale from 0: value = (1 + 1e-20) * (1 - attCoef).
    EXPECT_NEAR(m.processSample(1.0), 1.0 - 0.98674989801546, 1e-13);
    // After 1.7 ms (75 samples) the rise is about 1 - 1/e.
    m.reset();
    EXPECT_NEAR(feed(m, 1.0, 75), 1.0 - std::exp(-75.0 / 74.97), 1e-3);

    const double top = feed(m, 1.0, 44100);
    // 650 ms of silence is 28665 samples; the target is 1e-20, so the reading
    // follows top * relCoef^n.
    const double after = feed(m, 0.0, 28665);
    EXPECT_NEAR(after / top, std::exp(-1.0), 1e-4);
    EXPECT_NEAR(after, top * std::pow(m.getRelCoef(), 28665), 1e-12);
}

TEST(CVUMeter, NonFiniteInputNeverPoisonsTheReading)
{
    CVUMeter m;
    feed(m, 0.1, 1000);
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity()})
    {
        const double v = m.processSample(bad);
        ASSERT_TRUE(std::isfinite(v));
        EXPECT_LE(v, 1.0 + 1e-12); // read as an overload
    }
    EXPECT_NEAR(feed(m, 0.1, 44100 * 10), kMinus20dBReading, 1e-8);
}

TEST(CVUMeter, BlockFormMatchesSampleBySample)
{
    CVUMeter a, b;
    double in[64], out[64];
    for (int i = 0; i < 64; ++i)
        in[i] = std::sin(0.3 * i) * (i % 7) * 0.1;
    EXPECT_EQ(a.processSamples(in, out, 64), 64);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(out[i], b.processSample(in[i]));
    EXPECT_EQ(a.processSamples(in, out, 0), 0);
}
