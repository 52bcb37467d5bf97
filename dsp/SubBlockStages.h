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
    /// mask ? a : b, lane by lane, for a mask from a comparison: a blend, no branch.
    template <typename Mask> static SUBBLOCK_INLINE V select(Mask mask, V a, V b) { return mask ? a : b; }
    template <typename To, typename From> static SUBBLOCK_INLINE To bitCast(From from)
    {
        static_assert(sizeof(To) == sizeof(From), "same size");
        To to;
        std::memcpy(&to, &from, sizeof to);
        return to;
    }
};

/// The meter's logarithm table as pairs, one 16-byte load per lookup.
struct LogPairs
{
    struct alignas(16) Entry
    {
        double invC, lnC;
    };
    Entry entry[128];
};

constexpr LogPairs makeLogPairs()
{
    LogPairs t{};
    for (int i = 0; i < 128; ++i)
        t.entry[i] = {cvumeter_detail::kLogTable.invC[i], cvumeter_detail::kLogTable.lnC[i]};
    return t;
}

inline constexpr LogPairs kLogPairs = makeLogPairs();

/// The lanes of a and b picked by mask (0..kLanes-1 from a, kLanes..2 kLanes-1 from b): GCC's
/// two-vector shuffle, and lane by lane for a compiler without it (the static analyser's).
template <typename V, typename U> SUBBLOCK_INLINE V shuffle(V a, V b, U mask)
{
#if defined(__GNUC__) && !defined(__clang__)
    return __builtin_shuffle(a, b, mask);
#else
    constexpr int kLanes = sizeof(V) / sizeof(a[0]);
    V out{};
    for (int j = 0; j < kLanes; ++j)
        out[j] = mask[j] < kLanes ? a[mask[j]] : b[mask[j] - kLanes];
    return out;
#endif
}

/// In-place transposition of kLanes vectors of kLanes lanes, by butterflies over
/// ever larger blocks of lanes (the shuffle masks are constants).
template <int kLanes> struct Transpose;

template <int kLanes, int kBlock> struct Butterfly
{
    using V = typename Lanes<kLanes>::V;
    using U = typename Lanes<kLanes>::U;
    static SUBBLOCK_INLINE void run(V* rows, U lowMask, U highMask)
    {
        for (int i = 0; i < kLanes; ++i)
            if ((i & kBlock) == 0)
            {
                const V low = shuffle(rows[i], rows[i + kBlock], lowMask);
                const V high = shuffle(rows[i], rows[i + kBlock], highMask);
                rows[i] = low;
                rows[i + kBlock] = high;
            }
    }
};

template <> struct Transpose<2>
{
    using U = Lanes<2>::U;
    static SUBBLOCK_INLINE void run(Lanes<2>::V* rows) { Butterfly<2, 1>::run(rows, U{0, 2}, U{1, 3}); }
};

template <> struct Transpose<4>
{
    using U = Lanes<4>::U;
    static SUBBLOCK_INLINE void run(Lanes<4>::V* rows)
    {
        Butterfly<4, 1>::run(rows, U{0, 4, 2, 6}, U{1, 5, 3, 7});
        Butterfly<4, 2>::run(rows, U{0, 1, 4, 5}, U{2, 3, 6, 7});
    }
};

template <> struct Transpose<8>
{
    using U = Lanes<8>::U;
    static SUBBLOCK_INLINE void run(Lanes<8>::V* rows)
    {
        Butterfly<8, 1>::run(rows, U{0, 8, 2, 10, 4, 12, 6, 14}, U{1, 9, 3, 11, 5, 13, 7, 15});
        Butterfly<8, 2>::run(rows, U{0, 1, 8, 9, 4, 5, 12, 13}, U{2, 3, 10, 11, 6, 7, 14, 15});
        Butterfly<8, 4>::run(rows, U{0, 1, 2, 3, 8, 9, 10, 11}, U{4, 5, 6, 7, 12, 13, 14, 15});
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
///
/// alongside(i) runs in the same loop once for every kLanes frames from frame i:
/// work without recursions that the processor overlaps with this one.
template <int kLanes, typename Alongside>
SUBBLOCK_INLINE void shelfStage(const Job& job, Alongside&& alongside)
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
    for (int i = 0; i < n; i += kLanes)
    {
        alongside(i);
        const int end = i + kLanes < n ? i + kLanes : n;
        for (int j = i; j < end; ++j)
        {
            const double xg = w.s[j] + kDenormalGuard;
            const double yn = g * (xg + x) + p * y;
            x = xg;
            y = yn;
            w.shelved[j] = yn * kShelfBoost + xg;
            // A non-finite input makes the output non-finite too (the input
            // weight is positive), so the output alone tells.
            check = check + (yn - yn);
        }
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

/// Eight meters side by side. The level computation runs across samples: kLanes
/// consecutive frames of one meter at a time. A transposition then turns those
/// into vectors of kLanes meters per frame, and the eight smoothing recursions
/// advance together, frame by frame.
template <int kLanes> struct MeterBank
{
    using L = Lanes<kLanes>;
    using V = typename L::V;
    using U = typename L::U;
    static constexpr int kMeters = 8;
    static constexpr int kGroups = kMeters / kLanes;

    /// invC and lnC of the table entries at the given byte offsets, kLanes of them.
    static SUBBLOCK_INLINE void lookUp(U offset, V& invC, V& lnC)
    {
        const char* table = reinterpret_cast<const char*>(kLogPairs.entry);
        typedef double Pair __attribute__((vector_size(16)));
        Pair p[kLanes];
        for (int l = 0; l < kLanes; ++l)
            std::memcpy(&p[l], table + offset[l], sizeof(Pair));
        // Concatenate the pairs, then split the even and the odd lanes.
        if constexpr (kLanes == 2)
        {
            invC = __builtin_shufflevector(p[0], p[1], 0, 2);
            lnC = __builtin_shufflevector(p[0], p[1], 1, 3);
        }
        else
        {
            typedef double Quad __attribute__((vector_size(32)));
            const Quad q01 = __builtin_shufflevector(p[0], p[1], 0, 1, 2, 3);
            const Quad q23 = __builtin_shufflevector(p[2], p[3], 0, 1, 2, 3);
            if constexpr (kLanes == 4)
            {
                invC = __builtin_shufflevector(q01, q23, 0, 2, 4, 6);
                lnC = __builtin_shufflevector(q01, q23, 1, 3, 5, 7);
            }
            else
            {
                const Quad q45 = __builtin_shufflevector(p[4], p[5], 0, 1, 2, 3);
                const Quad q67 = __builtin_shufflevector(p[6], p[7], 0, 1, 2, 3);
                typedef double Octet __attribute__((vector_size(64)));
                const Octet low = __builtin_shufflevector(q01, q23, 0, 1, 2, 3, 4, 5, 6, 7);
                const Octet high = __builtin_shufflevector(q45, q67, 0, 1, 2, 3, 4, 5, 6, 7);
                invC = __builtin_shufflevector(low, high, 0, 2, 4, 6, 8, 10, 12, 14);
                lnC = __builtin_shufflevector(low, high, 1, 3, 5, 7, 9, 11, 13, 15);
            }
        }
    }

    // CVUMeter::processSample's target reading in two halves, the same bits:
    // y = x * x + 1e-10 = 2^e * m, m in [1, 2); ln y = e ln 2 + ln c + ln(1 + r),
    // with c the centre of m's 1/128 interval and r = m / c - 1.
    //
    // CVUMeter clamps the level to the -40..0 dB window and also sets y at or
    // above 1 (and NaN) to 0 dB and y at or below 1e-4 to -40 dB outright. Here
    // the clamp alone does both: the logarithm reads 0 dB or more for every y
    // from 1 up, for infinity and for NaN (their exponent field reads 1024 or
    // more), and -40 dB or less for every y up to 1e-4 (its error is below
    // 2e-14 dB, and the last few million values below 1e-4 and above 1 were
    // checked one by one).

    /// First half, for kLanes samples x: r, and e ln 2 + ln c (the base).
    static SUBBLOCK_INLINE void split(V x, V& r, V& base)
    {
        const V y = x * x + 1e-10;
        const U bits = L::template bitCast<U>(y);
        // Byte offset of the mantissa's 1/128 interval in the table of pairs.
        const U offset = (bits >> (45 - 4)) & (127 << 4);
        V invC, lnC;
        lookUp(offset, invC, lnC);
        // e as a double: the exponent field placed in the mantissa of 2^52
        // (exactly), less 2^52 + 1023 (exactly). y has no sign bit to clear but
        // for NaN, whose reading is clamped away anyway.
        const V e = L::template bitCast<V>((bits >> 52) | 0x4330000000000000ULL) - 4503599627371519.0;
        const V m = L::template bitCast<V>((bits & 0x000fffffffffffffULL) | 0x3ff0000000000000ULL);
        r = m * invC - 1.0;
        base = e * cvumeter_detail::kLn2 + lnC;
    }

    /// Second half: the target reading from r and the base.
    static SUBBLOCK_INLINE V finish(V r, V base, V lo, V hi, double minDb, double scale)
    {
        const V r2 = r * r;
        const V lnOnePlusR = r + r2 * (-0.5 + r * (1.0 / 3) + r2 * (-0.25 + r * 0.2));
        V level = (base + lnOnePlusR) * cvumeter_detail::kTenOverLn10;
        level = L::select(level < lo, lo, level);
        level = L::select(level < hi, level, hi);
        return (level - minDb) * scale + 1e-20;
    }

    /// Transposes kLanes vectors of kLanes in place: rows[j][l] becomes rows[l][j].
    static SUBBLOCK_INLINE void transpose(V* rows) { Transpose<kLanes>::run(rows); }

    /// One frame through one group of kLanes meters.
    static SUBBLOCK_INLINE void smooth(V& value, V t, V att, V rel, V attRest, V relRest)
    {
        if constexpr (kLanes == 2)
        {
            // Four groups: the instruction count limits, so choose the
            // coefficient first, as CVUMeter does.
            const auto rising = t > value;
            value = value * L::select(rising, att, rel) + t * L::select(rising, attRest, relRest);
        }
        else
        {
            // One or two groups: the recursion's latency limits, so compute both
            // candidates and choose after; the same bits with a shorter chain.
            const V rising = value * att + t * attRest;
            const V falling = value * rel + t * relRest;
            value = L::select(t > value, rising, falling);
        }
    }

    /// Feeds meter k with in[k][0..n-1]. The arrays have room for whole vectors
    /// past n; those lanes are computed and ignored.
    /// The halves of meter c's readings at frames i to i + kLanes - 1.
    static SUBBLOCK_INLINE void halves(const double* in, int c, int i, MeterWork& work)
    {
        V r, base;
        split(L::load(in + i), r, base);
        L::store(work.r[c] + i, r);
        L::store(work.base[c] + i, base);
    }

    /// The readings of all meters, the halves of meters `from` and up still to
    /// be computed (those below were done alongside the shelf).
    static SUBBLOCK_INLINE void readings(CVUMeter* meters, const double* const* in, int from, int n,
                                         MeterWork& work)
    {
        // The window is the same for every meter: fixed at construction.
        const double minDb = meters[0].minDb;
        const double maxDb = meters[0].maxDb;
        const double scale = meters[0].scale;
        // The reading is one long chain of dependent operations per sample; in
        // three short passes without any recursion the processor overlaps many
        // samples' chains. First the halves, meter by meter across the samples.
        for (int c = from; c < kMeters; ++c)
            for (int i = 0; i < n; i += kLanes)
                halves(in[c], c, i, work);
        // Then the readings, turned into groups of meters frame by frame.
        const V lo = L::splat(minDb);
        const V hi = L::splat(maxDb);
        for (int i = 0; i < n; i += kLanes)
        {
            // t[c] holds kLanes frames of meter c; after the transposition,
            // t[g * kLanes + f] holds group g's meters at frame i + f.
            V t[kMeters];
#pragma GCC unroll 8
            for (int c = 0; c < kMeters; ++c)
                t[c] = finish(L::load(work.r[c] + i), L::load(work.base[c] + i), lo, hi, minDb, scale);
#pragma GCC unroll 8
            for (int g = 0; g < kGroups; ++g)
                transpose(t + g * kLanes);
#pragma GCC unroll 8
            for (int f = 0; f < kLanes; ++f)
#pragma GCC unroll 8
                for (int g = 0; g < kGroups; ++g)
                    L::store(work.byFrame + (i + f) * kMeters + g * kLanes, t[g * kLanes + f]);
        }
    }

    /// The eight recursions side by side, frame by frame over the readings.
    class Smoother
    {
    public:
        SUBBLOCK_INLINE Smoother(CVUMeter* meters, const MeterWork& work) : meters(meters), work(work)
        {
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
        }
        SUBBLOCK_INLINE void step(int i)
        {
#pragma GCC unroll 8
            for (int g = 0; g < kGroups; ++g)
                smooth(value[g], L::load(work.byFrame + i * kMeters + g * kLanes), att[g], rel[g], attRest[g],
                       relRest[g]);
        }
        SUBBLOCK_INLINE void finish()
        {
            for (int g = 0; g < kGroups; ++g)
                for (int l = 0; l < kLanes; ++l)
                    meters[g * kLanes + l].value = value[g][l];
        }

    private:
        CVUMeter* meters;
        const MeterWork& work;
        V value[kGroups], att[kGroups], rel[kGroups], attRest[kGroups], relRest[kGroups];
    };
};

/// The surround low-passes, both channels in one loop, written to the host's
/// outputs in frame order (Ls before Rs). Non-finite states as in the shelf.
/// alongside(i) runs in the same loop for every frame i, once: another
/// recursion that the processor overlaps with these.
template <typename Alongside> SUBBLOCK_INLINE void lowPassStage(const Job& job, Alongside&& alongside)
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
        alongside(i);
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
        check = check + ((ol - ol) + (orr - orr));
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
}

/// One sub-block through every stage.
template <int kLanes> SUBBLOCK_INLINE void processSubBlock(const Job& job)
{
    using Meters = MeterBank<kLanes>;
    Workspace& w = *job.work;
    // The meters in the order of CVUMeter's (M, Mr, S, C, L, R, Ls, Rs); the
    // first three read only the inputs.
    const double* metered[8] = {w.m, w.mr, w.s, w.centre, w.left, w.right, w.rearOut[0], w.rearOut[1]};
    loadInputs<kLanes>(job);
    if (job.meters)
        shelfStage<kLanes>(job,
                           [&](int i)
                           {
                               for (int c = 0; c < 3; ++c)
                                   Meters::halves(metered[c], c, i, w.meters);
                           });
    else
        shelfStage<kLanes>(job, [](int) {});
    matrixStage<kLanes>(job);
    delayStage(job);
    if (job.meters)
    {
        Meters::readings(job.meters, metered, 3, job.frames, w.meters);
        outputStage(job);
        typename MeterBank<kLanes>::Smoother smoother(job.meters, job.work->meters);
        lowPassStage(job, [&](int i) { smoother.step(i); });
        smoother.finish();
    }
    else
    {
        outputStage(job);
        lowPassStage(job, [](int) {});
    }
}

} // namespace subblock
