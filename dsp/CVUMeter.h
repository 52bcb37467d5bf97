#pragma once

#include <cstdint>
#include <cstring>

namespace cvumeter_detail
{
/// Natural logarithm for the table below, evaluated at compile time:
/// ln x = 2 atanh(s), s = (x - 1) / (x + 1), for x in [1/2, 1].
constexpr double lnForTable(double x)
{
    const double s = (x - 1.0) / (x + 1.0);
    const double s2 = s * s;
    double term = s;
    double sum = 0.0;
    for (int k = 0; k < 40; ++k)
    {
        sum += term / (2 * k + 1);
        term *= s2;
    }
    return 2.0 * sum;
}

/// For each 1/128 interval of the mantissa [1, 2): the reciprocal of its
/// centre and the logarithm of that centre (as -ln of the reciprocal, so the
/// two entries agree exactly).
struct LogTable
{
    double invC[128];
    double lnC[128];
};

constexpr LogTable makeLogTable()
{
    LogTable t{};
    for (int i = 0; i < 128; ++i)
    {
        t.invC[i] = 1.0 / (1.0 + (i + 0.5) / 128.0);
        t.lnC[i] = -lnForTable(t.invC[i]);
    }
    return t;
}

inline constexpr LogTable kLogTable = makeLogTable();
constexpr double kLn2 = 0.69314718055994530942;
constexpr double kTenOverLn10 = 4.3429448190325182765;
} // namespace cvumeter_detail

namespace subblock
{
template <int kLanes> struct MeterBank;
}

/// Level meter ballistics: turns a signal into a reading between 0 and 1.
///
/// Each sample's level in decibels is limited to a 40 dB window (-40..0 dBFS),
/// mapped linearly onto 0..1 and smoothed with a 1.7 ms attack and a 650 ms
/// release acting on the reading itself. A constant input of amplitude 0.1
/// (-20 dB) settles at 0.5; after a full-scale burst the reading falls to 1/e of
/// its value 650 ms later. At 44100 Hz attCoef is 0.98674989801546.
class CVUMeter
{
public:
    /// The millisecond factor: 0.001 as a single-precision value, widened.
    static constexpr double kMsToSeconds = 0.0010000000474974513;
    /// Default attack time constant: 1.7 ms as a single-precision value, widened.
    static constexpr double kDefaultAttTimeMs = 1.7000000476837158;
    static constexpr double kDefaultRelTimeMs = 650.0;

    CVUMeter();
    explicit CVUMeter(double sampleRate);

    void setAttTime(double ms) noexcept;
    void setRelTime(double ms) noexcept;
    /// Re-derives both coefficients for a new rate in Hz.
    void setSampleRate(double sr) noexcept;
    void reset() noexcept { value = 0.0; }
    /// One sample through the meter; returns the new reading. Inline and free
    /// of data-dependent branches: the per-sample reference runs eight per frame.
    double processSample(double x) noexcept
    {
        // Level of x in dB, 10 log10(x * x + 1e-10) (the 1e-10 puts silence at
        // -100 dB instead of minus infinity), limited to the window.
        const double level = windowedLevelDb(x * x + 1e-10);
        const double target = (level - minDb) * scale + 1e-20;
        const double c = select(target > value, attCoef, relCoef);
        value = value * c + target * (1.0 - c);
        return value;
    }
    /// out[i] = processSample(in[i]) for n samples; returns n.
    int processSamples(const double* in, double* out, int n) noexcept;

    double getSampleRate() const { return sampleRate; }
    double getValue() const { return value; }
    double getAttCoef() const { return attCoef; }
    double getRelCoef() const { return relCoef; }
    double getAttTime() const { return attTime; }
    double getRelTime() const { return relTime; }
    double getMinDb() const { return minDb; }
    double getMaxDb() const { return maxDb; }
    double getScale() const { return scale; }

private:
    /// Runs eight meters side by side with this arithmetic, lane by lane.
    template <int kLanes> friend struct subblock::MeterBank;

    void init() noexcept;

    static std::uint64_t bitsOf(double v)
    {
        std::uint64_t b;
        std::memcpy(&b, &v, sizeof b);
        return b;
    }
    static double fromBits(std::uint64_t b)
    {
        double v;
        std::memcpy(&v, &b, sizeof v);
        return v;
    }
    /// condition ? a : b, chosen with a bit mask instead of a jump.
    static double select(bool condition, double a, double b)
    {
        const std::uint64_t mask = 0 - static_cast<std::uint64_t>(condition);
        return fromBits((bitsOf(a) & mask) | (bitsOf(b) & ~mask));
    }

    /// 10 log10(y) limited to minDb..maxDb (-40..0 dB), for y = x * x + 1e-10,
    /// without the library's log10, which would be most of the decoder's cost:
    ///   y = 2^e * m, m in [1, 2); c = the centre of m's 1/128 interval;
    ///   ln y = e ln 2 + ln c + ln(1 + r), r = m / c - 1, |r| < 1/256,
    ///   ln(1 + r) = r - r^2/2 + r^3/3 - r^4/4 + r^5/5   (truncation < 6e-16).
    /// Inside the window the result is within 2e-14 dB of the exact value;
    /// outside it is exactly the window's edge (y >= 1 or NaN reads 0 dB, y at
    /// or below 1e-4 reads -40 dB), so readings stay within 1e-15 of the exact
    /// formula.
    double windowedLevelDb(double y) const noexcept
    {
        const bool above = !(y < 1.0);
        const bool below = y <= 1e-4;
        // Keep the bit manipulation on a normal positive number; the edges are
        // restored below.
        y = select(above | below, 0.5, y);
        const std::uint64_t bits = bitsOf(y);
        const int e = static_cast<int>((bits >> 52) & 0x7ff) - 1023;
        const int i = static_cast<int>((bits >> 45) & 127);
        const double m = fromBits((bits & 0x000fffffffffffffULL) | 0x3ff0000000000000ULL);
        const double r = m * cvumeter_detail::kLogTable.invC[i] - 1.0;
        const double r2 = r * r;
        const double lnOnePlusR = r + r2 * (-0.5 + r * (1.0 / 3) + r2 * (-0.25 + r * 0.2));
        double level = (e * cvumeter_detail::kLn2 + cvumeter_detail::kLogTable.lnC[i] + lnOnePlusR) *
                       cvumeter_detail::kTenOverLn10;
        level = level < minDb ? minDb : level;
        level = level < maxDb ? level : maxDb;
        level = select(above, maxDb, level);
        return select(below, minDb, level);
    }

    double sampleRate;
    double value = 0.0;
    double attCoef = 0.0;
    double relCoef = 0.0;
    double attTime = kDefaultAttTimeMs;
    double relTime = kDefaultRelTimeMs;
    double minDb = -40.0;
    double maxDb = 0.0;
    double scale = 0.025;
};
