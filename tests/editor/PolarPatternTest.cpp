#include "editor/PolarPattern.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace kalvo;

namespace
{

// The factory defaults are not needed here: each test states the parameters it relies on.
PolarInputs allPlaying()
{
    PolarInputs in{};
    for (float& v : in.values)
        v = 0.0f;
    in.values[7] = in.values[8] = in.values[9] = 1.0f; // levels at 0 dB
    in.values[0] = in.values[1] = in.values[2] = 1.0f; // omni everywhere
    return in;
}

double radius(const PolarCurves& c, int plot, int i)
{
    return std::hypot(c.x[plot][i], c.y[plot][i]);
}

// Direction of a point in degrees clockwise from the front, 0..360.
double bearing(const PolarCurves& c, int plot, int i)
{
    double deg = std::atan2(c.x[plot][i], c.y[plot][i]) * 180.0 / M_PI;
    return deg < 0 ? deg + 360.0 : deg;
}

int loudestPoint(const PolarCurves& c, int plot)
{
    int best = 0;
    for (int i = 1; i < kPolarPoints; ++i)
        if (radius(c, plot, i) > radius(c, plot, best) + 1e-9)
            best = i;
    return best;
}

} // namespace

TEST(PolarPattern, ConstantsFollowTheTwentyDecibelRange)
{
    EXPECT_DOUBLE_EQ(dBHelp, 1.0);
    EXPECT_DOUBLE_EQ(dummy, 0.10000000149011612);
}

TEST(PolarPattern, OmniCentreIsAClosedUnitCircleStartingAtTheTop)
{
    PolarCurves c;
    computePolarCurves(allPlaying(), c);
    for (int i = 0; i < kPolarPoints; ++i)
        EXPECT_NEAR(radius(c, kPolarCentre, i), 1.0, 1e-6) << i;
    EXPECT_FLOAT_EQ(c.x[kPolarCentre][0], 0.0f);
    EXPECT_FLOAT_EQ(c.y[kPolarCentre][0], 1.0f);
    EXPECT_NEAR(c.x[kPolarCentre][120], c.x[kPolarCentre][0], 1e-6);
    EXPECT_NEAR(c.y[kPolarCentre][120], c.y[kPolarCentre][0], 1e-6);
}

TEST(PolarPattern, CardioidRadiiAtFrontSideAndBack)
{
    PolarInputs in = allPlaying();
    in.values[0] = 0.5f;
    PolarCurves c;
    computePolarCurves(in, c);
    EXPECT_NEAR(radius(c, kPolarCentre, 0), 1.0, 1e-6);
    EXPECT_NEAR(radius(c, kPolarCentre, 30), 1.0 + std::log10(0.5), 1e-6); // 90 degrees
    EXPECT_NEAR(radius(c, kPolarCentre, 90), 1.0 + std::log10(0.5), 1e-6); // 270 degrees
    EXPECT_NEAR(radius(c, kPolarCentre, 60), 0.0, 1e-6);                   // the back
}

TEST(PolarPattern, FigureEightAimedSidewaysHasNullsAtFrontAndBack)
{
    PolarInputs in = allPlaying();
    in.values[1] = 0.0f; // front pair figure-eight
    in.values[3] = 1.0f; // aimed at +-90 degrees
    PolarCurves c;
    computePolarCurves(in, c);
    EXPECT_NEAR(radius(c, kPolarFrontRight, 0), 0.0, 1e-6);
    EXPECT_NEAR(radius(c, kPolarFrontRight, 60), 0.0, 1e-6);
    EXPECT_NEAR(radius(c, kPolarFrontRight, 30), 1.0, 1e-6);
    EXPECT_NEAR(radius(c, kPolarFrontRight, 90), 1.0, 1e-6);
}

TEST(PolarPattern, MuteCollapsesItsPairOnly)
{
    PolarInputs in = allPlaying();
    in.values[11] = 1.0f; // front mute
    PolarCurves c;
    computePolarCurves(in, c);
    for (int i = 0; i < kPolarPoints; ++i)
    {
        EXPECT_EQ(radius(c, kPolarFrontRight, i), 0.0);
        EXPECT_EQ(radius(c, kPolarFrontLeft, i), 0.0);
        EXPECT_NEAR(radius(c, kPolarRearLeft, i), 1.0, 1e-6);
        EXPECT_NEAR(radius(c, kPolarCentre, i), 1.0, 1e-6);
    }
}

TEST(PolarPattern, RearLevelShrinksThenCollapsesBelowMinus20dB)
{
    PolarInputs in = allPlaying();
    in.values[8] = 0.5f;
    PolarCurves c;
    computePolarCurves(in, c);
    const double shrink = (20.0 * std::log10(0.5) + 20.0) * 0.05; // 0.699
    EXPECT_NEAR(radius(c, kPolarRearLeft, 17), shrink, 1e-6);
    EXPECT_NEAR(radius(c, kPolarRearRight, 77), shrink, 1e-6);
    EXPECT_NEAR(radius(c, kPolarFrontLeft, 17), 1.0, 1e-6);

    in.values[8] = 0.05f; // -26 dB
    computePolarCurves(in, c);
    EXPECT_EQ(radius(c, kPolarRearLeft, 17), 0.0);
    EXPECT_EQ(radius(c, kPolarRearRight, 77), 0.0);
}

TEST(PolarPattern, LevelFactorOfSilenceAndNonsenseIsZero)
{
    EXPECT_EQ(polarLevelFactor(0.0f), 0.0f);
    EXPECT_EQ(polarLevelFactor(std::nanf("")), 0.0f);
    EXPECT_EQ(polarLevelFactor(2.0f), 1.0f);
    EXPECT_NEAR(polarLevelFactor(0.1f), 0.0f, 1e-6f); // exactly -20 dB
}

TEST(PolarPattern, SurroundAngleAimsTheRearPair)
{
    PolarInputs in = allPlaying();
    in.values[2] = 0.5f; // rear cardioids, so each has one main axis
    in.values[4] = 0.6f; // 90 + 90 * 0.6 = 144 degrees from the front
    PolarCurves c;
    computePolarCurves(in, c);
    EXPECT_NEAR(bearing(c, kPolarRearLeft, loudestPoint(c, kPolarRearLeft)), 216.0, 1e-3);
    EXPECT_NEAR(bearing(c, kPolarRearRight, loudestPoint(c, kPolarRearRight)), 144.0, 1e-3);
}

TEST(PolarPattern, FrontAngleAimsTheFrontPair)
{
    PolarInputs in = allPlaying();
    in.values[1] = 0.5f;
    in.values[3] = 1.0f / 3.0f; // 30 degrees
    PolarCurves c;
    computePolarCurves(in, c);
    EXPECT_NEAR(bearing(c, kPolarFrontRight, loudestPoint(c, kPolarFrontRight)), 30.0, 1e-3);
    EXPECT_NEAR(bearing(c, kPolarFrontLeft, loudestPoint(c, kPolarFrontLeft)), 330.0, 1e-3);
}
