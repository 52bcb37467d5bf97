#pragma once

// The polar plot of the five virtual microphones, computed from the effect's
// parameters alone (not from the audio). Radius 1 is 0 dB, the centre -20 dB
// and below; angle 0 is the front, growing clockwise, so x = rho sin(theta)
// and y = rho cos(theta) in a plot whose y axis grows upward.
//
// Worked values: a cardioid (pattern 0.5) at full level has radius 1 at the
// front, 1 + log10(0.5) = 0.699 at 90 degrees and 0 at the back; a level of
// 0.5 (-6 dB) shrinks a curve by (20 log10 0.5 + 20) * 0.05 = 0.699.

#include "effect/KalvoProgram.h"

namespace kalvo
{

/// Decibels shown between the centre of the plot and its edge.
extern const double dBRange;
/// Radius per decade of linear response: 20 / dBRange.
extern const double dBHelp;
/// Linear response below which the radius is 0: 10^(-dBRange / 20) in single precision.
extern const double dummy;

enum PolarPlot
{
    kPolarFrontRight = 0,
    kPolarFrontLeft,
    kPolarRearLeft,
    kPolarRearRight,
    kPolarCentre,
    kPolarPlotCount
};

constexpr int kPolarPoints = 121; ///< 0 to 2 pi inclusive, in 120 steps

/// Effect parameters 0 to 12 as getParameter reports them (normalised).
struct PolarInputs
{
    float values[kNumParameters];
};

/// Five closed curves of 121 points each, in plot value units (-1..1).
struct PolarCurves
{
    float x[kPolarPlotCount][kPolarPoints];
    float y[kPolarPlotCount][kPolarPoints];
};

/// Recomputes all five curves; keeps no state and allocates nothing.
void computePolarCurves(const PolarInputs& inputs, PolarCurves& curves) noexcept;

/// Level factor of a curve: 1 above 0 dB, linear in dB down to 0 at -20 dB.
float polarLevelFactor(float level) noexcept;

} // namespace kalvo
