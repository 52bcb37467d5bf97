// The binaural renderer on made-up responses, where the exact answer is a
// direct convolution, and its head geometry against plane trigonometry.
#include "dsp/BinauralRenderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace
{

/// A small grid of random responses long enough for several partitions.
HrirGrid randomGrid(int length)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    HrirGrid grid;
    grid.sampleRate = 48000.0;
    grid.length = length;
    grid.azimuths = 12; // every 30 degrees: the speakers at 0, 30 and 110 fall on 0, 30 and 120
    grid.elevations = 3;
    for (int i = 0; i < grid.directions() * length; ++i)
    {
        grid.left.push_back(uniform(random));
        grid.right.push_back(uniform(random));
    }
    return grid;
}

} // namespace

TEST(BinauralRenderer, EqualsTheDirectConvolutionWithoutLatencyWhateverTheBlocks)
{
    const HrirGrid grid = randomGrid(200); // the first partition in time, three more transformed
    BinauralRenderer renderer;
    renderer.setResponses(grid);
    std::mt19937 random(3);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    const int frames = 3000;
    std::vector<double> decoded[6];
    for (auto& d : decoded)
        for (int i = 0; i < frames; ++i)
            d.push_back(uniform(random));
    std::vector<double> left(frames), right(frames);
    for (int at = 0, size = 1; at < frames; at += size, size = size * 3 + 1)
    {
        size = std::min(size, frames - at);
        const double* block[6];
        for (int c = 0; c < 6; ++c)
            block[c] = decoded[c].data() + at;
        renderer.process(block, left.data() + at, right.data() + at, size);
    }
    for (int t = 0; t < frames; t += 7)
    {
        double want[2] = {0.0, 0.0};
        for (const VirtualSpeaker& speaker : kVirtualSpeakerLayout)
        {
            // On the horizon, row 1; the grid's columns run counter-clockwise.
            const int column = static_cast<int>(std::lround(-speaker.azimuthDeg / 30.0 + 12)) % 12;
            const size_t d = static_cast<size_t>(grid.azimuths + column) * static_cast<size_t>(grid.length);
            for (int k = 0; k < grid.length && k <= t; ++k)
            {
                want[0] += grid.left[d + k] * decoded[speaker.channel][t - k];
                want[1] += grid.right[d + k] * decoded[speaker.channel][t - k];
            }
        }
        EXPECT_NEAR(left[t], kBinauralHeadroom * want[0], 2e-4) << t;
        EXPECT_NEAR(right[t], kBinauralHeadroom * want[1], 2e-4) << t;
    }
}

TEST(BinauralRenderer, HeadTurnsMoveTheSpeakersTheOtherWay)
{
    const auto near = [](HeadDirection got, double azimuth, double elevation)
    {
        EXPECT_NEAR(std::remainder(got.azimuthDeg - azimuth, 360.0), 0.0, 1e-9);
        EXPECT_NEAR(got.elevationDeg, elevation, 1e-9);
    };
    // The speaker straight ahead; then the one 30 degrees to the left (clockwise -30).
    near(headRelativeDirection(0.0, {}), 0.0, 0.0);
    near(headRelativeDirection(-30.0, {}), 30.0, 0.0);
    near(headRelativeDirection(0.0, {90.0, 0.0, 0.0}), -90.0, 0.0);    // head left: ahead is now right
    near(headRelativeDirection(-30.0, {-90.0, 0.0, 0.0}), 120.0, 0.0); // head right: left goes back
    near(headRelativeDirection(0.0, {0.0, 30.0, 0.0}), 0.0, -30.0);    // nose up: ahead is below
    // Right ear down: the top of the head leans right, so what is on the right
    // rises and what is on the left sinks.
    near(headRelativeDirection(90.0, {0.0, 0.0, 30.0}), -90.0, 30.0);
    EXPECT_NEAR(headRelativeDirection(-90.0, {0.0, 0.0, 90.0}).elevationDeg, -90.0, 1e-9);
    // Yaw first, then pitch about the turned head's axis: turned left, nose up,
    // the speaker on the left is ahead and below.
    near(headRelativeDirection(-90.0, {90.0, 45.0, 0.0}), 0.0, -45.0);

    // The same turns as quaternions: half the angle about the axis.
    const double h = std::sqrt(0.5);
    HeadOrientation head;
    ASSERT_TRUE(orientationFromQuaternion(h, 0.0, 0.0, h, head)); // about z: yaw 90
    EXPECT_NEAR(head.yawDeg, 90.0, 1e-9);
    ASSERT_TRUE(orientationFromQuaternion(2 * h, 0.0, -2 * h, 0.0, head)); // about -y: nose up, any length
    EXPECT_NEAR(head.pitchDeg, 90.0, 1e-6);
    ASSERT_TRUE(orientationFromQuaternion(std::cos(0.25), std::sin(0.25), 0.0, 0.0, head)); // about x
    EXPECT_NEAR(head.rollDeg, 0.5 * 180.0 / 3.14159265358979323846, 1e-9);
    EXPECT_NEAR(head.yawDeg, 0.0, 1e-9);
    EXPECT_FALSE(orientationFromQuaternion(0.0, 0.0, 0.0, 0.0, head));
    EXPECT_FALSE(orientationFromQuaternion(NAN, 0.0, 0.0, 1.0, head));
}

TEST(BinauralRenderer, AnUnusableSetRendersSilence)
{
    HrirGrid grid = randomGrid(10);
    grid.left.pop_back();
    BinauralRenderer renderer;
    renderer.setResponses(grid);
    EXPECT_FALSE(renderer.hasResponses());
    std::vector<float> in(100, 0.5f), left(100, 1.0f), right(100, 1.0f);
    const float* decoded[6] = {in.data(), in.data(), in.data(), in.data(), in.data(), in.data()};
    renderer.process(decoded, left.data(), right.data(), 100);
    for (int t = 0; t < 100; ++t)
        ASSERT_EQ(left[t] + right[t], 0.0f);
}
