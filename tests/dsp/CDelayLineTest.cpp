#include "dsp/CDelayLine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{
/// A test signal whose every frame is distinct: channel c at frame n.
double signal(int n, int c = 0)
{
    return 1.0 + n + 0.25 * c;
}

/// Runs frames of signal() through a two-channel line from frame `first` on,
/// returns channel 0 of the output.
std::vector<double> run(CDelayLine& line, int first, int count)
{
    std::vector<double> out(count);
    for (int i = 0; i < count; ++i)
    {
        const double in[2] = {signal(first + i, 0), signal(first + i, 1)};
        double o[2];
        line.processFrame(in, o);
        out[i] = o[0];
    }
    return out;
}

/// Delayed test signal, 0 before the signal began.
double delayed(int n, int d)
{
    return n - d >= 0 ? signal(n - d) : 0.0;
}
} // namespace

TEST(CDelayLine, ConvertsMillisecondsToSampleCountsAt44100And48000Hz)
{
    CDelayLine a(1.0, 44100.0, 2, 200.0);
    EXPECT_EQ(a.getBufferLength(), 8821);
    EXPECT_EQ(a.getDelaySamples(), 45);
    EXPECT_EQ(a.getChangeSamples(), 11025);
    a.setDelay(55.0);
    EXPECT_EQ(a.getDelaySamples(), 2426);

    CDelayLine b(1.0, 48000.0, 2, 200.0);
    EXPECT_EQ(b.getBufferLength(), 9601);
    EXPECT_EQ(b.getDelaySamples(), 49);
    EXPECT_EQ(b.getChangeSamples(), 12000);
    b.setDelay(55.0);
    EXPECT_EQ(b.getDelaySamples(), 2641);

    // A delay of 0 ms still delays by one sample.
    CDelayLine z(0.0, 44100.0, 1, 200.0);
    EXPECT_EQ(z.getDelaySamples(), 1);
}

TEST(CDelayLine, DelaysAnImpulseBy45FramesAt1msAnd44100Hz)
{
    CDelayLine line(1.0, 44100.0, 2, 200.0);
    for (int n = 0; n < 100; ++n)
    {
        const double in[2] = {n == 0 ? 1.0 : 0.0, n == 0 ? -2.0 : 0.0};
        double out[2];
        line.processFrame(in, out);
        EXPECT_EQ(out[0], n == 45 ? 1.0 : 0.0) << n;
        EXPECT_EQ(out[1], n == 45 ? -2.0 : 0.0) << n;
    }
}

TEST(CDelayLine, CrossFadesOver250msFrom1To55ms)
{
    CDelayLine line(1.0, 44100.0, 2, 200.0);
    const int warm = 3000;
    run(line, 0, warm);
    line.setDelay(55.0);
    EXPECT_EQ(line.getFadeState(), 1);
    const std::vector<double> out = run(line, warm, 11025 + 200);
    const double step = 1.0 / 11025.0;
    double gain = 1.0;
    for (int k = 0; k < 11025; ++k)
    {
        gain -= step; // the first faded frame already uses 1 - step
        const int n = warm + k;
        const double expected = gain * delayed(n, 45) + (1.0 - gain) * delayed(n, 2426);
        ASSERT_NEAR(out[k], expected, 1e-9 * std::fabs(expected)) << k;
    }
    EXPECT_EQ(line.getFadeState(), 0);
    for (int k = 11025; k < 11025 + 200; ++k)
        ASSERT_EQ(out[k], delayed(warm + k, 2426)) << k;
}

TEST(CDelayLine, FadeStepPrecisionIsChosenByTheOwner)
{
    CDelayLine d(1.0, 44100.0, 2, 200.0, FadeStepPrecision::kDouble);
    CDelayLine s(1.0, 44100.0, 2, 200.0, FadeStepPrecision::kSingle);
    EXPECT_EQ(d.getFadeStep(), 1.0 / 11025.0);
    EXPECT_EQ(s.getFadeStep(), static_cast<double>(1.0f / 11025.0f));
    ASSERT_NE(d.getFadeStep(), s.getFadeStep());

    // The precision shows in the faded output: the single-precision step leaves
    // its own rounding in the gain after many frames.
    run(d, 0, 3000);
    run(s, 0, 3000);
    d.setDelay(55.0);
    s.setDelay(55.0);
    const std::vector<double> od = run(d, 3000, 5000);
    const std::vector<double> os = run(s, 3000, 5000);
    const double gd = 1.0 - 5000 * (1.0 / 11025.0);
    const double gs = 1.0 - 5000 * static_cast<double>(1.0f / 11025.0f);
    const int n = 3000 + 4999;
    EXPECT_NEAR(od.back(), gd * delayed(n, 45) + (1 - gd) * delayed(n, 2426), 1e-8);
    EXPECT_NEAR(os.back(), gs * delayed(n, 45) + (1 - gs) * delayed(n, 2426), 1e-8);
    EXPECT_NE(od.back(), os.back());
    // The setting survives a rate change and a new fade time.
    s.setSamplingRate(48000.0);
    s.setChangeTime(100.0);
    EXPECT_EQ(s.getFadeStep(), static_cast<double>(1.0f / 4800.0f));
}

TEST(CDelayLine, OnlyTheLastOfThreeRequestsDuringAFadeIsApplied)
{
    CDelayLine line(1.0, 44100.0, 2, 200.0);
    run(line, 0, 3000);
    line.setDelay(55.0);
    run(line, 3000, 100);
    line.setDelay(10.0);
    line.setDelay(30.0);
    line.setDelay(20.0); // 20 ms = 883 samples
    EXPECT_EQ(line.getFadeState(), 2);
    EXPECT_EQ(line.getDelaySamples(), 2426); // the running fade is not disturbed
    const std::vector<double> rest = run(line, 3100, 11025 - 100);
    EXPECT_NEAR(rest.back(), delayed(3100 + 11025 - 101, 2426), 1e-9); // the first fade ended at 55 ms
    EXPECT_EQ(line.getFadeState(), 1);                                 // and the second began at once
    EXPECT_EQ(line.getDelaySamples(), 883);
    const int start = 3000 + 11025;
    const std::vector<double> second = run(line, start, 11025 + 10);
    const double g = 1.0 - 1.0 / 11025.0;
    EXPECT_NEAR(second[0], g * delayed(start, 2426) + (1 - g) * delayed(start, 883), 1e-9);
    EXPECT_EQ(second[11025 + 5], delayed(start + 11025 + 5, 883));
    EXPECT_EQ(line.getFadeState(), 0);
}

TEST(CDelayLine, SamplingRateChangeDuringAFadeAppliesTheLastDelayAtOnce)
{
    CDelayLine line(1.0, 44100.0, 2, 200.0);
    run(line, 0, 500);
    line.setDelay(55.0);
    run(line, 500, 50);
    line.setDelay(10.0); // pending
    line.setSamplingRate(48000.0);
    EXPECT_EQ(line.getFadeState(), 0);
    EXPECT_EQ(line.getBufferLength(), 9601);
    EXPECT_EQ(line.getDelaySamples(), 481); // int(10 * 48000 * 0.001f) + 1
    // The fade length is not re-derived by a rate change.
    EXPECT_EQ(line.getChangeSamples(), 11025);
    const std::vector<double> out = run(line, 0, 600);
    for (int n = 0; n < 600; ++n)
        ASSERT_EQ(out[n], delayed(n, 481)) << n; // cleared, then a plain 481-sample delay
}

TEST(CDelayLine, ResetKeepsTheDelayButEmptiesTheLine)
{
    CDelayLine line(1.0, 44100.0, 2, 200.0);
    run(line, 0, 200);
    line.setDelay(2.0); // 89 samples
    run(line, 200, 50);
    line.reset(); // drops the running fade, keeps the last applied delay
    EXPECT_EQ(line.getFadeState(), 0);
    const std::vector<double> out = run(line, 0, 200);
    for (int n = 0; n < 200; ++n)
        ASSERT_EQ(out[n], delayed(n, 89)) << n;
}

TEST(CDelayLine, ClampsRequestsIntoTheLineAndIgnoresNonFiniteOnes)
{
    CDelayLine line(1.0, 44100.0, 2, 200.0);
    line.setDelay(-5.0);
    EXPECT_EQ(line.getDelayMs(), 0.0);
    EXPECT_EQ(line.getDelaySamples(), 1);
    run(line, 0, 11025); // end the fade

    line.setDelay(1e9);
    EXPECT_EQ(line.getDelayMs(), 200.0);
    // The longest delay the ring can hold: one slot is taken by the write.
    EXPECT_EQ(line.getDelaySamples(), line.getBufferLength() - 1);
    const std::vector<double> out = run(line, 11025, 11025 + 10);
    EXPECT_EQ(out.back(), delayed(11025 + 11025 + 9, 8820));

    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity()})
    {
        line.setDelay(bad);
        EXPECT_EQ(line.getDelayMs(), 200.0);
        EXPECT_EQ(line.getFadeState(), 0);
    }

    // A maximum below the current delay pulls the delay down with it.
    line.setMaxDelay(10.0);
    EXPECT_EQ(line.getDelayMs(), 10.0);
    EXPECT_EQ(line.getBufferLength(), 442);
    EXPECT_EQ(line.getDelaySamples(), 441);
    const std::vector<double> after = run(line, 0, 1000);
    EXPECT_EQ(after.back(), delayed(999, 441));
}

TEST(CDelayLine, SubSampleFadeTimeCompletesInOneFrame)
{
    CDelayLine line(1.0, 44100.0, 1, 200.0);
    line.setChangeTime(0.001); // 0.0441 samples
    EXPECT_EQ(line.getChangeSamples(), 1);
    EXPECT_EQ(line.getFadeStep(), 1.0);
    run(line, 0, 100);
    line.setDelay(2.0);
    const std::vector<double> out = run(line, 100, 3);
    EXPECT_EQ(line.getFadeState(), 0);
    EXPECT_EQ(out[0], delayed(100, 89));
    EXPECT_EQ(out[2], delayed(102, 89));
}

TEST(CDelayLine, FadeTimeChangeDuringAFadeNeverOvershoots)
{
    // The running fade finishes with the step it started with; the new time
    // applies to the next fade. A mixed step would drive the gain far below 0.
    CDelayLine line(1.0, 44100.0, 1, 200.0);
    for (int n = 0; n < 3000; ++n)
    {
        const double in = (n % 2) ? 1.0 : -1.0;
        double out;
        line.processFrame(&in, &out);
    }
    line.setDelay(30.0);
    line.setChangeTime(1.0);
    for (int n = 0; n < 11025; ++n)
    {
        const double in = (n % 2) ? 1.0 : -1.0;
        double out;
        line.processFrame(&in, &out);
        ASSERT_LE(std::fabs(out), 1.0 + 1e-12) << n;
    }
    EXPECT_EQ(line.getFadeState(), 0);
    line.setDelay(1.0);
    EXPECT_EQ(line.getFadeCounter(), 44);
}

TEST(CDelayLine, BlockProcessingKeepsAPendingFadeOnItsTarget)
{
    CDelayLine line(1.0, 44100.0, 1, 200.0);
    std::vector<double> in(3000), out(3000);
    for (int n = 0; n < 3000; ++n)
        in[n] = signal(n);
    const double* ip[1] = {in.data()};
    double* op[1] = {out.data()};
    EXPECT_EQ(line.processSamples(ip, op, 3000), 3000);
    EXPECT_EQ(out[2999], delayed(2999, 45));
    line.setDelay(10.0); // 442 samples
    for (int n = 0; n < 3000; ++n)
        in[n] = signal(3000 + n);
    line.processSamples(ip, op, 3000);
    EXPECT_EQ(out[0], delayed(3000, 45)); // plain delay at the old position
    EXPECT_EQ(line.getFadeCounter(), 11025);
    // Finish the fade frame by frame: it lands on 442 samples, not 442 + 3000.
    double o = 0;
    int n = 6000;
    for (; line.getFadeState() != 0; ++n)
    {
        const double x = signal(n);
        line.processFrame(&x, &o);
    }
    const double x = signal(n);
    line.processFrame(&x, &o);
    EXPECT_EQ(o, delayed(n, 442));
}

TEST(CDelayLine, FramesInBlocksMatchFrameByFrameThroughFadesWrapsAndAFullLine)
{
    // A 2 ms line at 8 kHz has 17 slots: spans stop at its ends and, at the
    // longest delay, after a single frame before the write would overtake the read.
    for (double maxMs : {200.0, 2.0})
    {
        SCOPED_TRACE(maxMs);
        CDelayLine blocks(1.0, 8000.0, 2, maxMs), frames(1.0, 8000.0, 2, maxMs);
        std::mt19937 rng(4);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        std::vector<double> in0(300), in1(300), out0(300), out1(300);
        int n0 = 0;
        for (int block = 0; block < 300; ++block)
        {
            if (u(rng) < 0.2)
            {
                const double ms = u(rng) < 0.3 ? maxMs : maxMs * u(rng);
                const int burst = u(rng) < 0.3 ? 3 : 1;
                for (int b = 0; b < burst; ++b)
                {
                    blocks.setDelay(ms / (b + 1));
                    frames.setDelay(ms / (b + 1));
                }
            }
            if (block == 150) // fades of 8 frames from here on
            {
                blocks.setChangeTime(1.0);
                frames.setChangeTime(1.0);
            }
            const int n = std::uniform_int_distribution<int>(0, 300)(rng);
            for (int i = 0; i < n; ++i)
            {
                in0[i] = signal(n0 + i, 0);
                in1[i] = signal(n0 + i, 1);
            }
            n0 += n;
            // In place: the outputs overwrite the inputs.
            out0 = in0;
            out1 = in1;
            double* io[2] = {out0.data(), out1.data()};
            blocks.processFrames(io, io, n);
            for (int i = 0; i < n; ++i)
            {
                const double x[2] = {in0[i], in1[i]};
                double y[2];
                frames.processFrame(x, y);
                ASSERT_EQ(out0[i], y[0]) << block << " " << i;
                ASSERT_EQ(out1[i], y[1]) << block << " " << i;
            }
            ASSERT_EQ(blocks.getFadeState(), frames.getFadeState());
            ASSERT_EQ(blocks.getReadPos(), frames.getReadPos());
        }
    }
}

TEST(CDelayLine, InPlaceFramesAndDegenerateConstructionStayInBounds)
{
    CDelayLine line(1.0, 44100.0, 2, 200.0);
    for (int n = 0; n < 100; ++n)
    {
        double io[2] = {signal(n, 0), signal(n, 1)};
        line.processFrame(io, io);
        ASSERT_EQ(io[0], delayed(n, 45));
    }
    // Nonsense arguments give a small working line rather than a broken one.
    CDelayLine odd(std::numeric_limits<double>::quiet_NaN(), -1.0, -3, -10.0);
    EXPECT_EQ(odd.getNumChannels(), 0);
    EXPECT_GE(odd.getBufferLength(), 2);
    odd.processFrame(nullptr, nullptr);
    CDelayLine tiny(5.0, 44100.0, 1, 0.0); // no room beyond the minimum one-sample delay
    EXPECT_EQ(tiny.getDelaySamples(), 1);
    const std::vector<double> out = run(tiny, 0, 5);
    EXPECT_EQ(out[3], signal(2));
    tiny.setSamplingRate(std::numeric_limits<double>::quiet_NaN());
    tiny.setSamplingRate(0.0);
    EXPECT_EQ(tiny.getSamplingRate(), 44100.0);
}
