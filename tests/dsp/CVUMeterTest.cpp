#include "dsp/CVUMeter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

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

TEST(CVUMeter, ReadingsStayWithin1e12OfTheExactLogarithm)
{
    // The meter avoids the library log10; compare it with the formula written
    // out plainly, over sweeps, noise and the edges of the window.
    struct ExactMeter
    {
        double value = 0.0;
        double process(double x, double att, double rel)
        {
            double level = 10.0 * std::log10(x * x + 1e-10);
            if (-40.0 > level)
                level = -40.0;
            else
                level = (level < 0.0) ? level : 0.0;
            const double target = (level + 40.0) * 0.025 + 1e-20;
            const double c = (target > value) ? att : rel;
            value = value * c + target * (1.0 - c);
            return value;
        }
    };
    std::vector<double> signal;
    for (int i = 0; i <= 20000; ++i) // -120 dB .. +20 dB and back
        signal.push_back(std::pow(10.0, -6.0 + 7.0 * i / 20000.0) * ((i % 2) ? 1.0 : -1.0));
    for (int i = 20000; i >= 0; --i)
        signal.push_back(std::pow(10.0, -6.0 + 7.0 * i / 20000.0));
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (double scale : {1.0, 0.3, 0.05, 0.012, 0.01, 0.008})
        for (int i = 0; i < 5000; ++i)
            signal.push_back(scale * u(rng));
    const double edges[] = {
        0.01, std::nextafter(0.01, 0.0), std::nextafter(0.01, 1.0), std::sqrt(1e-4 - 1e-10),
        1.0,  std::nextafter(1.0, 0.0),  0.70710678118654752,       5e-324,
        0.0};
    for (int rep = 0; rep < 50; ++rep)
        for (double e : edges)
            signal.push_back(e);
    CVUMeter fast;
    ExactMeter exact;
    double worst = 0.0;
    for (double x : signal)
    {
        const double a = fast.processSample(x);
        const double b = exact.process(x, fast.getAttCoef(), fast.getRelCoef());
        worst = std::fmax(worst, std::fabs(a - b));
    }
    EXPECT_LE(worst, 1e-12);
}
