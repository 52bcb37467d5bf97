#pragma once

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
    /// One sample through the meter; returns the new reading.
    double processSample(double x) noexcept;
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
    void init() noexcept;

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
