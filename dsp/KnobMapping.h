// How a knob position 0..1 becomes a value in a unit and back, as one record per
// quantity: the kind of scale and its range. The engine's setters, the parameter table,
// the panel and the host texts all convert through these records, so a range is written
// once.
//
// Each kind keeps the exact arithmetic its callers have always used, in double and in
// single precision, so that values and texts stay bit for bit what they were: a scale
// from zero multiplies only (adding 0 would turn a knob at -0 into +0 and its text from
// "-0" into "0"); a reversed scale forms 1 - x first. Worked values: the front angle at
// 0.8 is 72 degrees, the surround direction at 0.6 is 144 degrees, the engine's own
// surround angle at 0.6 is 126 degrees, the delay at 0.2 is 11 ms, the low-pass at 1 is
// 20 kHz.
#pragma once

#include <cmath>

namespace knobmap
{

enum class Scale
{
    Same,     ///< the knob position is the value (omni shares)
    FromZero, ///< 0..maximum: maximum * x
    Linear,   ///< minimum..maximum: span * x + minimum
    Reversed, ///< maximum at 0 down to minimum at 1: (1 - x) * span + minimum
    Decibels, ///< the knob is a gain shown in dB: 20 log10 x, never below minimum
    Switch    ///< off 0, on exactly 1
};

/// Gain added before the logarithm where levels are drawn in single precision, so that
/// silence reads -74 dB, below every level the panel prints as a number.
constexpr float kDrawnSilenceGain = 0.0002f;

struct KnobMapping
{
    Scale scale;
    double minimum; ///< the unit's range (decibels: the minimum stands for silence)
    double maximum;

    constexpr double span() const { return maximum - minimum; }

    /// The same range run the other way (knob 0 at the maximum).
    constexpr KnobMapping reversed() const { return {Scale::Reversed, minimum, maximum}; }

    /// The value in the unit for knob position x, in double precision.
    double toUnit(double x) const
    {
        switch (scale)
        {
        case Scale::FromZero:
            return maximum * x;
        case Scale::Linear:
            return span() * x + minimum;
        case Scale::Reversed:
            return (1.0 - x) * span() + minimum;
        case Scale::Decibels:
        {
            if (!(x > 0.0))
                return minimum;
            const double dB = 20.0 * std::log10(x);
            return dB < minimum ? minimum : dB;
        }
        case Scale::Same:
        case Scale::Switch:
            break;
        }
        return x;
    }

    /// The value in the unit for knob position x, in single precision as it is drawn
    /// (decibels: silence at kDrawnSilenceGain, no floor).
    float toUnit(float x) const
    {
        switch (scale)
        {
        case Scale::FromZero:
            return static_cast<float>(maximum) * x;
        case Scale::Linear:
            return static_cast<float>(span()) * x + static_cast<float>(minimum);
        case Scale::Reversed:
            return (1.0f - x) * static_cast<float>(span()) + static_cast<float>(minimum);
        case Scale::Decibels:
            return 20.0f * std::log10(x + kDrawnSilenceGain);
        case Scale::Same:
        case Scale::Switch:
            break;
        }
        return x;
    }

    /// The knob position for value v in the unit, unclamped (decibels: 0 at the minimum
    /// and below; switches: on from 0.5 up).
    double toKnob(double v) const
    {
        switch (scale)
        {
        case Scale::FromZero:
            return v / maximum;
        case Scale::Linear:
            return (v - minimum) / span();
        case Scale::Reversed:
            return maximum / span() - v / span();
        case Scale::Decibels:
            return v <= minimum ? 0.0 : std::pow(10.0, v / 20.0);
        case Scale::Switch:
            // A switch acts only at exactly 1: nothing lies between on and off.
            return v >= 0.5 ? 1.0 : 0.0;
        case Scale::Same:
            break;
        }
        return v;
    }
};

/// Front pair angle, degrees from the front.
constexpr KnobMapping kFrontAngleDeg{Scale::FromZero, 0.0, 90.0};
/// Surround pair direction, degrees from the front: 90 sideways at 0, 180 straight back at 1.
constexpr KnobMapping kSurroundDirectionDeg{Scale::Linear, 90.0, 180.0};
/// The decoder's own surround angle runs the other way: 270 degrees minus the direction.
constexpr KnobMapping kSurroundEngineAngleDeg = kSurroundDirectionDeg.reversed();
/// Surround delay, milliseconds.
constexpr KnobMapping kRearDelayMs{Scale::FromZero, 0.0, 55.0};
/// Surround low-pass corner, kHz; 20 is off.
constexpr KnobMapping kRearLowPassKHz{Scale::Linear, 1.0, 20.0};

} // namespace knobmap
