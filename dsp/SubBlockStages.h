#pragma once
// The stages of one sub-block, written once for a number of SIMD lanes (GCC
// vector extensions) and compiled per instruction set by SubBlockKernels.cpp.
// Every sample goes through the same operations in the same order as in
// KalvoAlgo::processSamplesReference and CVUMeter::processSample; only the
// order in which samples are visited differs. Include from SubBlockKernels.cpp only.

#include "CDelayLine.h"
#include "CVUMeter.h"
#include "SubBlock.h"

#include <cmath>
#include <cstdint>
#include <cstring>

// Inlined into the per-instruction-set kernel, which is what compiles it for
// that instruction set.
#define SUBBLOCK_INLINE inline __attribute__((always_inline))

namespace subblock
{

/// Vectors of kLanes doubles, and of as many 64-bit patterns.
template <int kLanes> struct VectorTypes;
template <> struct VectorTypes<2>
{
    typedef double V __attribute__((vector_size(16)));
    typedef std::uint64_t U __attribute__((vector_size(16)));
};
template <> struct VectorTypes<4>
{
    typedef double V __attribute__((vector_size(32)));
    typedef std::uint64_t U __attribute__((vector_size(32)));
};
template <> struct VectorTypes<8>
{
    typedef double V __attribute__((vector_size(64)));
    typedef std::uint64_t U __attribute__((vector_size(64)));
};

template <int kLanes> struct Lanes
{
    using V = typename VectorTypes<kLanes>::V;
    using U = typename VectorTypes<kLanes>::U;

    static SUBBLOCK_INLINE V load(const double* p)
    {
        V v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static SUBBLOCK_INLINE void store(double* p, V v) { std::memcpy(p, &v, sizeof v); }
    static SUBBLOCK_INLINE V splat(double x)
    {
        V v;
        for (int l = 0; l < kLanes; ++l)
            v[l] = x;
        return v;
    }
    template <typename To, typename From> static SUBBLOCK_INLINE To bitCast(From from)
    {
        static_assert(sizeof(To) == sizeof(From), "same size");
        To to;
        std::memcpy(&to, &from, sizeof to);
        return to;
    }
};

/// The three inputs into the engine's arrays; the side signal takes its 1.3 gain here.
template <int kLanes> SUBBLOCK_INLINE void loadInputs(const Job& job)
{
    using L = Lanes<kLanes>;
    Workspace& w = *job.work;
    const int n = job.frames;
    int i = 0;
    for (; i + kLanes <= n; i += kLanes)
    {
        L::store(w.m + i, L::load(job.in[0] + i));
        L::store(w.s + i, L::load(job.in[1] + i) * kSideGain);
        L::store(w.mr + i, L::load(job.in[2] + i));
    }
    for (; i < n; ++i)
    {
        w.m[i] = job.in[0][i];
        w.s[i] = job.in[1][i] * kSideGain;
        w.mr[i] = job.in[2][i];
    }
}

/// The side signal's low shelf, a first-order recursion. A state that stops
/// being finite (after non-finite input) is cleared so that the filter recovers
/// with its input. That check would sit on the recursion's critical path, so
/// the loop only gathers whether anything was non-finite, and a sub-block that
/// was is run again with the check on every sample.
SUBBLOCK_INLINE void shelfStage(const Job& job)
{
    const Settings& k = *job.settings;
    FilterState& f = *job.filters;
    Workspace& w = *job.work;
    const int n = job.frames;
    const double g = k.shelfInputWeight;
    const double p = k.shelfPole;
    double x = f.shelfX;
    double y = f.shelfY;
    double check = 0.0; // stays +0 while everything is finite, becomes NaN otherwise
    for (int i = 0; i < n; ++i)
    {
        const double xg = w.s[i] + kDenormalGuard;
        const double yn = g * (xg + x) + p * y;
        x = xg;
        y = yn;
        w.shelved[i] = yn * kShelfBoost + xg;
        check = check + ((yn - yn) + (xg - xg));
    }
    if (check == 0.0)
    {
        f.shelfX = x;
        f.shelfY = y;
        return;
    }
    x = f.shelfX;
    y = f.shelfY;
    for (int i = 0; i < n; ++i)
    {
        const double xg = w.s[i] + kDenormalGuard;
        const double yn = g * (xg + x) + p * y;
        x = xg;
        y = yn;
        if (!std::isfinite(yn) || !std::isfinite(xg))
            x = y = 0.0;
        w.shelved[i] = yn * kShelfBoost + xg;
    }
    f.shelfX = x;
    f.shelfY = y;
}

/// The matrix: front pair, centre and the surround feeds from M, Mr and the
/// shelved side signal, with the front and centre mutes. Runs over whole
/// vectors; lanes past the last frame compute values nobody reads.
template <int kLanes> SUBBLOCK_INLINE void matrixStage(const Job& job)
{
    using L = Lanes<kLanes>;
    using V = typename L::V;
    const Settings& k = *job.settings;
    Workspace& w = *job.work;
    const int n = job.frames;
    const V zero = L::splat(0.0);
    for (int i = 0; i < n; i += kLanes)
    {
        const V m = L::load(w.m + i);
        const V mr = L::load(w.mr + i);
        const V sp = L::load(w.shelved + i);
        const V o = m + mr;
        const V fig = m - mr;

        if (k.frontMuted)
        {
            L::store(w.left + i, zero);
            L::store(w.right + i, zero);
        }
        else
        {
            const V x = o * k.frontOmniWeight + k.frontOmniComplement * fig;
            const V a = x * k.frontSideBalance;
            const V b = k.frontSideComplement * sp;
            L::store(w.left + i, ((a + b) * k.frontLevel) / k.frontDivisor);
            L::store(w.right + i, (k.frontLevel * (a - b)) / k.frontDivisor);
        }

        if (k.centerMuted)
            L::store(w.centre + i, zero);
        else
            L::store(w.centre + i, (o * k.centerPattern + k.centerComplement * fig) * k.centerLevel);

        const V y = o * k.rearOmniWeight - k.rearOmniComplement * fig;
        const V a2 = y * k.rearSideBalance;
        const V b2 = k.rearSideComplement * sp;
        L::store(w.rearIn[0] + i, ((a2 + b2) * k.rearLevel) / k.rearDivisor);
        L::store(w.rearIn[1] + i, (k.rearLevel * (a2 - b2)) / k.rearDivisor);
    }
}

/// The surround feeds through the delay line, which keeps running while the
/// surround pair is muted.
SUBBLOCK_INLINE void delayStage(const Job& job)
{
    Workspace& w = *job.work;
    const int n = job.frames;
    const double* in[2] = {w.rearIn[0], w.rearIn[1]};
    double* out[2] = {w.rearOut[0], w.rearOut[1]};
    job.delayLine->processFrames(in, out, n);
    if (job.settings->rearMuted)
        for (double* channel : out)
            for (int i = 0; i < n; ++i)
                channel[i] = 0.0;
}

/// Eight meters side by side: each frame's eight levels are computed together,
/// kLanes at a time, and the eight smoothing recursions advance together.
template <int kLanes> struct MeterBank
{
    using L = Lanes<kLanes>;
    using V = typename L::V;
    using U = typename L::U;
    static constexpr int kMeters = 8;
    static constexpr int kGroups = kMeters / kLanes;

    /// CVUMeter::processSample's target reading for kLanes samples.
    static SUBBLOCK_INLINE V target(V x, double minDb, double maxDb, double scale)
    {
        const V y = x * x + 1e-10;
        const auto above = ~(y < 1.0); // also NaN
        const auto below = y <= 1e-4;
        // The logarithm of y = 2^e * m. Lanes outside the window compute a
        // meaningless but harmless value here and take the window's edge below.
        const U bits = L::template bitCast<U>(y);
        // e as a double: the exponent field placed in the mantissa of 2^52, exactly.
        const V field = L::template bitCast<V>(((bits >> 52) & 0x7ff) | 0x4330000000000000ULL);
        const V e = (field - 4503599627370496.0) - 1023.0;
        const U index = (bits >> 45) & 127;
        const V m = L::template bitCast<V>((bits & 0x000fffffffffffffULL) | 0x3ff0000000000000ULL);
        V invC, lnC;
        for (int l = 0; l < kLanes; ++l)
        {
            invC[l] = cvumeter_detail::kLogTable.invC[index[l]];
            lnC[l] = cvumeter_detail::kLogTable.lnC[index[l]];
        }
        const V r = m * invC - 1.0;
        const V r2 = r * r;
        const V lnOnePlusR = r + r2 * (-0.5 + r * (1.0 / 3) + r2 * (-0.25 + r * 0.2));
        V level = (e * cvumeter_detail::kLn2 + lnC + lnOnePlusR) * cvumeter_detail::kTenOverLn10;
        const V lo = L::splat(minDb);
        const V hi = L::splat(maxDb);
        level = level < lo ? lo : level;
        level = level < hi ? level : hi;
        level = above ? hi : level;
        level = below ? lo : level;
        return (level - minDb) * scale + 1e-20;
    }

    /// Feeds meter k with in[k][0..n-1].
    static SUBBLOCK_INLINE void run(CVUMeter* meters, const double* const* in, int n)
    {
        V value[kGroups], att[kGroups], rel[kGroups], attRest[kGroups], relRest[kGroups];
        for (int g = 0; g < kGroups; ++g)
            for (int l = 0; l < kLanes; ++l)
            {
                const CVUMeter& meter = meters[g * kLanes + l];
                value[g][l] = meter.value;
                att[g][l] = meter.attCoef;
                rel[g][l] = meter.relCoef;
                attRest[g][l] = 1.0 - meter.attCoef;
                relRest[g][l] = 1.0 - meter.relCoef;
            }
        // The window is the same for every meter: fixed at construction.
        const double minDb = meters[0].minDb;
        const double maxDb = meters[0].maxDb;
        const double scale = meters[0].scale;
        for (int i = 0; i < n; ++i)
            for (int g = 0; g < kGroups; ++g)
            {
                V x;
                for (int l = 0; l < kLanes; ++l)
                    x[l] = in[g * kLanes + l][i];
                const V t = target(x, minDb, maxDb, scale);
                // Both candidates, then the one the comparison picks: the same
                // bits as picking the coefficient first, with a shorter chain.
                const V rising = value[g] * att[g] + t * attRest[g];
                const V falling = value[g] * rel[g] + t * relRest[g];
                value[g] = t > value[g] ? rising : falling;
            }
        for (int g = 0; g < kGroups; ++g)
            for (int l = 0; l < kLanes; ++l)
                meters[g * kLanes + l].value = value[g][l];
    }
};

/// The surround low-passes, both channels in one loop, written to the host's
/// outputs in frame order (Ls before Rs). Non-finite states as in the shelf.
SUBBLOCK_INLINE void lowPassStage(const Job& job)
{
    const Settings& k = *job.settings;
    FilterState& f = *job.filters;
    const Workspace& w = *job.work;
    const int n = job.frames;
    const double a = k.lowPassPole;
    const double b = k.lowPassInputWeight;
    const double* inL = w.rearOut[0];
    const double* inR = w.rearOut[1];
    double* outL = job.out[4];
    double* outR = job.out[5];
    double xl = f.lowPassLeftX, yl = f.lowPassLeftY;
    double xr = f.lowPassRightX, yr = f.lowPassRightY;
    double check = 0.0;
    for (int i = 0; i < n; ++i)
    {
        const double gl = inL[i] + kDenormalGuard;
        const double gr = inR[i] + kDenormalGuard;
        const double ol = (gl + xl) * b + a * yl;
        const double orr = (gr + xr) * b + a * yr;
        xl = gl;
        yl = ol;
        xr = gr;
        yr = orr;
        outL[i] = ol;
        outR[i] = orr;
        check = check + (((ol - ol) + (gl - gl)) + ((orr - orr) + (gr - gr)));
    }
    if (check == 0.0)
    {
        f.lowPassLeftX = xl;
        f.lowPassLeftY = yl;
        f.lowPassRightX = xr;
        f.lowPassRightY = yr;
        return;
    }
    xl = f.lowPassLeftX, yl = f.lowPassLeftY;
    xr = f.lowPassRightX, yr = f.lowPassRightY;
    for (int i = 0; i < n; ++i)
    {
        const double gl = inL[i] + kDenormalGuard;
        const double ol = (gl + xl) * b + a * yl;
        xl = gl;
        yl = ol;
        if (!std::isfinite(ol) || !std::isfinite(gl))
            xl = yl = 0.0;
        outL[i] = ol;
        const double gr = inR[i] + kDenormalGuard;
        const double orr = (gr + xr) * b + a * yr;
        xr = gr;
        yr = orr;
        if (!std::isfinite(orr) || !std::isfinite(gr))
            xr = yr = 0.0;
        outR[i] = orr;
    }
    f.lowPassLeftX = xl;
    f.lowPassLeftY = yl;
    f.lowPassRightX = xr;
    f.lowPassRightY = yr;
}

/// The outputs to the host, in channel order: when a host hands one buffer for
/// several outputs, the last channel written wins, as with frame-by-frame writing.
SUBBLOCK_INLINE void outputStage(const Job& job)
{
    const Workspace& w = *job.work;
    const int n = job.frames;
    const std::size_t bytes = sizeof(double) * static_cast<std::size_t>(n);
    std::memcpy(job.out[0], w.left, bytes);
    std::memcpy(job.out[1], w.right, bytes);
    std::memcpy(job.out[2], w.centre, bytes);
    for (int i = 0; i < n; ++i)
        job.out[3][i] = 0.0;
    lowPassStage(job);
}

/// One sub-block through every stage.
template <int kLanes> SUBBLOCK_INLINE void processSubBlock(const Job& job)
{
    loadInputs<kLanes>(job);
    shelfStage(job);
    matrixStage<kLanes>(job);
    delayStage(job);
    if (job.meters)
    {
        const Workspace& w = *job.work;
        const double* metered[8] = {w.m, w.mr, w.s, w.centre, w.left, w.right, w.rearOut[0], w.rearOut[1]};
        MeterBank<kLanes>::run(job.meters, metered, job.frames);
    }
    outputStage(job);
}

} // namespace subblock
