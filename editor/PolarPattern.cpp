#include "PolarPattern.h"

#include "effect/KalvoProgram.h"

#include <cmath>

namespace kalvo
{

const double dBRange = 20.0;
const double dBHelp = 20.0 / dBRange;
const double dummy = static_cast<float>(std::pow(10.0, -dBRange / 20.0));

namespace
{

// 2 pi as the single-precision constant, widened: 6.2831854820251465.
constexpr double kTwoPi = static_cast<double>(6.28318548f);
constexpr float kLevelFloorDb = -20.0f;

struct AngleTable
{
    double sine[kPolarPoints];
    double cosine[kPolarPoints];

    AngleTable() noexcept
    {
        for (int i = 0; i < kPolarPoints; ++i)
        {
            const float turn = static_cast<float>(i) / 120.0f;
            const float theta = static_cast<float>(turn * kTwoPi);
            sine[i] = std::sin(theta);
            cosine[i] = std::cos(theta);
        }
    }
};

// Built once, when the library loads: constant afterwards, so sharing it
// between instances is safe.
const AngleTable kAngles;

double radiusFor(double response) noexcept
{
    if (!(response >= dummy))
        return 0.0; // below -20 dB, a figure-eight null, or not a number
    return std::log10(response) * dBHelp + 1.0;
}

} // namespace

float polarLevelFactor(float level) noexcept
{
    const float dB = 20.0f * std::log10(std::fabs(level) + 1e-10f);
    if (dB > 0.0f)
        return 1.0f;
    if (dB >= kLevelFloorDb)
        return (dB + 20.0f) * 0.05f;
    return 0.0f; // below the floor, and also NaN
}

void computePolarCurves(const PolarInputs& inputs, PolarCurves& curves) noexcept
{
    const float* p = inputs.values;

    struct Microphone
    {
        float pattern;
        float phase; // fraction of a turn
        float scale; // level factor times mute factor
    };
    const float frontScale = polarLevelFactor(p[kFrontLevel]) * (1.0f - p[kFrontMute]);
    const float rearScale = polarLevelFactor(p[kRearLevel]) * (1.0f - p[kRearMute]);
    const float centreScale = polarLevelFactor(p[kCenterLevel]) * (1.0f - p[kCenterMute]);
    const Microphone mics[kPolarPlotCount] = {
        {p[kLRPolarPattern], -p[kLROffset] / 4.0f, frontScale},
        {p[kLRPolarPattern], p[kLROffset] / 4.0f, frontScale},
        {p[kLSRSPolarPattern], -(1.0f - p[kLSRSOffset]) / 4.0f + 0.5f, rearScale},
        {p[kLSRSPolarPattern], (1.0f - p[kLSRSOffset]) / 4.0f + 0.5f, rearScale},
        {p[kCenterPolarPattern], 0.0f, centreScale},
    };

    for (int plot = 0; plot < kPolarPlotCount; ++plot)
    {
        const Microphone& mic = mics[plot];
        for (int i = 0; i < kPolarPoints; ++i)
        {
            const float turn = static_cast<float>(i) / 120.0f;
            const double response =
                std::fabs(mic.pattern + (1.0 - mic.pattern) * std::cos(kTwoPi * (turn + mic.phase)));
            const double rho = radiusFor(response);
            curves.x[plot][i] = static_cast<float>(rho * kAngles.sine[i] * mic.scale);
            curves.y[plot][i] = static_cast<float>(rho * kAngles.cosine[i] * mic.scale);
        }
    }
}

} // namespace kalvo
