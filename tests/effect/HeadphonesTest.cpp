// Headphone monitoring with the measured set Debian ships: where the turned
// head hears each speaker, the glide of a turning head, and the head tracker
// over OSC on the loopback interface.
#include "effect/HeadResponses.h"
#include "effect/HeadphoneMonitor.h"

#include <gtest/gtest.h>
#include <lo/lo.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

using namespace kalvo;

namespace
{

enum Channel
{
    kL = 0,
    kR = 1,
    kC = 2,
    kLs = 4,
    kRs = 5
};

const HrirGrid& measuredSet()
{
    static const HrirGrid grid = []
    {
        HrirGrid g;
        std::string error;
        EXPECT_TRUE(loadHrirGrid(kDefaultHrtfPath, 48000.0, g, error)) << error;
        return g;
    }();
    return grid;
}

/// The ears' signals for an impulse on one decoded channel, the head still at `head`.
struct Ears
{
    std::vector<float> left, right;

    double levelDifferenceDb() const // left over right
    {
        double l = 0.0, r = 0.0;
        for (size_t t = 0; t < left.size(); ++t)
        {
            l += left[t] * left[t];
            r += right[t] * right[t];
        }
        return 10.0 * std::log10(l / r);
    }
    static int onset(const std::vector<float>& ear)
    {
        float peak = 0.0f;
        for (float v : ear)
            peak = std::max(peak, std::fabs(v));
        for (size_t t = 0; t < ear.size(); ++t)
            if (std::fabs(ear[t]) > 0.2f * peak)
                return static_cast<int>(t);
        return -1;
    }
    int leftLeadsBy() const { return onset(right) - onset(left); }
};

Ears impulse(int channel, const HeadOrientation& head, int frames = 2048)
{
    BinauralRenderer renderer;
    renderer.setOrientation(head);
    renderer.setResponses(measuredSet());
    std::vector<float> silence(static_cast<size_t>(frames)), pulse(silence);
    pulse[0] = 1.0f;
    const float* decoded[6];
    for (int c = 0; c < 6; ++c)
        decoded[c] = c == channel ? pulse.data() : silence.data();
    Ears ears{std::vector<float>(silence.size()), std::vector<float>(silence.size())};
    renderer.process(decoded, ears.left.data(), ears.right.data(), frames);
    return ears;
}

/// The measured set's response at a grid direction, as the renderer scales it.
std::vector<float> response(bool leftEar, double azimuthDeg, double elevationDeg)
{
    const HrirGrid& g = measuredSet();
    const int d = nearestGridDirection(g.azimuths, g.elevations, azimuthDeg, elevationDeg);
    const std::vector<float>& all = leftEar ? g.left : g.right;
    std::vector<float> r(all.begin() + d * g.length, all.begin() + (d + 1) * g.length);
    for (float& v : r)
        v *= kBinauralHeadroom;
    return r;
}

void expectHeard(const Ears& ears, double azimuthDeg, double elevationDeg)
{
    const std::vector<float> l = response(true, azimuthDeg, elevationDeg),
                             r = response(false, azimuthDeg, elevationDeg);
    for (size_t t = 0; t < l.size(); ++t)
    {
        ASSERT_NEAR(ears.left[t], l[t], 1e-6) << t;
        ASSERT_NEAR(ears.right[t], r[t], 1e-6) << t;
    }
}

/// A UDP port nobody holds right now.
int freePort()
{
    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    ::close(s);
    return ntohs(a.sin_port);
}

template <typename Condition> bool waitFor(Condition done)
{
    for (int i = 0; i < 300 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

} // namespace

TEST(Headphones, TheSetHasTheMeasuredLengthAndBadFilesAreReported)
{
    // 512 taps at 44.1 kHz resampled to 48 kHz are 558.
    EXPECT_NEAR(measuredSet().length, 558, 2);
    HrirGrid grid;
    std::string error;
    EXPECT_FALSE(loadHrirGrid("/nonexistent/set.sofa", 48000.0, grid, error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(loadHrirGrid("/etc/hostname", 48000.0, grid, error));
    EXPECT_NE(error.find("not a SOFA file"), std::string::npos) << error;
}

TEST(Headphones, ATurnedHeadHearsTheSpeakersWhereTheyStand)
{
    // Straight ahead: both ears alike; turned left, the centre speaker is on
    // the right (louder and earlier there); turned right, on the left.
    const Ears ahead = impulse(kC, {});
    EXPECT_NEAR(ahead.levelDifferenceDb(), 0.0, 1.0);
    EXPECT_EQ(ahead.leftLeadsBy(), 0);
    const Ears turnedLeft = impulse(kC, {90.0, 0.0, 0.0});
    EXPECT_LT(turnedLeft.levelDifferenceDb(), -10.0);
    EXPECT_LT(turnedLeft.leftLeadsBy(), -20); // some 0.6 ms at 48 kHz
    const Ears turnedRight = impulse(kC, {-90.0, 0.0, 0.0});
    EXPECT_GT(turnedRight.levelDifferenceDb(), 10.0);
    EXPECT_GT(turnedRight.leftLeadsBy(), 20);
    // The left surround, 110 degrees left: on the left ear; with the head
    // turned 110 degrees left it is straight ahead, turned 70 right behind.
    const Ears surround = impulse(kLs, {});
    EXPECT_GT(surround.levelDifferenceDb(), 10.0);
    EXPECT_GT(surround.leftLeadsBy(), 20);
    expectHeard(impulse(kLs, {110.0, 0.0, 0.0}), 0.0, 0.0);
    expectHeard(impulse(kLs, {-70.0, 0.0, 0.0}), 180.0, 0.0);
    expectHeard(impulse(kC, {180.0, 0.0, 0.0}), 180.0, 0.0);
    // Each axis: nose up 90, the centre is below; right ear down 90, the
    // left front speaker (30 left) is ahead, 30 below; pitch and roll apply
    // about the turned head's axes.
    expectHeard(impulse(kC, {0.0, 90.0, 0.0}), 0.0, -90.0);
    expectHeard(impulse(kL, {0.0, 0.0, 90.0}), 0.0, -30.0);
    expectHeard(impulse(kR, {-30.0, 0.0, -90.0}), 0.0, 0.0); // turned to it, then rolled about it
}

TEST(Headphones, ATurningHeadGlidesWithoutSteps)
{
    // A low tone (small steps from sample to sample, so that a jump shows) on
    // all five speakers; one turn a second against the head held still at
    // every 15 degrees.
    const int rate = 48000, frames = rate, block = 64;
    std::vector<float> tone(static_cast<size_t>(frames));
    for (int t = 0; t < frames; ++t)
        tone[t] = 0.5f * static_cast<float>(std::sin(2.0 * M_PI * 150.0 * t / rate));
    const float* decoded[6] = {tone.data(), tone.data(), tone.data(), tone.data(), tone.data(), tone.data()};
    const auto largestStep = [&](double yawStart, double yawPerSecond)
    {
        BinauralRenderer renderer;
        renderer.setOrientation({yawStart, 0.0, 0.0});
        renderer.setResponses(measuredSet());
        std::vector<float> left(tone.size()), right(tone.size());
        for (int at = 0; at < frames; at += block)
        {
            const float* in[6];
            for (int c = 0; c < 6; ++c)
                in[c] = decoded[c] + at;
            renderer.setOrientation({yawStart + yawPerSecond * at / rate, 0.0, 0.0});
            renderer.process(in, left.data() + at, right.data() + at, block);
        }
        float step = 0.0f;
        for (int t = rate / 10; t < frames; ++t) // past the onset
            step = std::max({step, std::fabs(left[t] - left[t - 1]), std::fabs(right[t] - right[t - 1])});
        return step;
    };
    float still = 0.0f;
    for (double yaw = 0.0; yaw < 360.0; yaw += 15.0)
        still = std::max(still, largestStep(yaw, 0.0));
    const float turning = largestStep(0.0, 360.0);
    // The turn changes the level at each ear smoothly; a hard switch between
    // responses would jump by several times the tone's own step.
    EXPECT_LT(turning, 1.1f * still) << "still " << still;
}

TEST(HeadTracker, TakesOscMessagesAndIgnoresMalformedOnes)
{
    HeadTracker tracker;
    EXPECT_EQ(tracker.status(), HeadTracker::Status::Off);
    const int port = freePort();
    tracker.listen(port);
    ASSERT_TRUE(waitFor([&] { return tracker.status() == HeadTracker::Status::Listening; }));
    EXPECT_EQ(tracker.port(), port);
    lo_address to = lo_address_new("127.0.0.1", std::to_string(port).c_str());
    const auto sendAndWait = [&](unsigned count)
    { ASSERT_TRUE(waitFor([&] { return tracker.messages() >= count; })) << count; };

    lo_send(to, "/ypr", "fff", 10.0f, -20.0f, 370.0f);
    sendAndWait(1);
    EXPECT_FLOAT_EQ(tracker.orientation().yawDeg, 10.0f);
    EXPECT_FLOAT_EQ(tracker.orientation().pitchDeg, -20.0f);
    EXPECT_NEAR(tracker.orientation().rollDeg, 10.0, 1e-4); // whole turns dropped
    lo_send(to, "/yaw", "i", 45);                           // an integer is a number too
    sendAndWait(2);
    EXPECT_FLOAT_EQ(tracker.orientation().yawDeg, 45.0f);
    EXPECT_FLOAT_EQ(tracker.orientation().pitchDeg, -20.0f);
    const float h = std::sqrt(0.5f);
    lo_send(to, "/quaternion", "ffff", h, 0.0f, 0.0f, -h); // a quarter turn right
    sendAndWait(3);
    EXPECT_NEAR(tracker.orientation().yawDeg, -90.0, 1e-3);
    EXPECT_NEAR(tracker.orientation().pitchDeg, 0.0, 1e-3);

    // Wrong types, too few values, not numbers, an unknown address, a packet
    // that is no OSC at all: none of them count or move the head.
    lo_send(to, "/ypr", "sss", "a", "b", "c");
    lo_send(to, "/ypr", "ff", 1.0f, 2.0f);
    lo_send(to, "/ypr", "fff", NAN, 0.0f, 0.0f);
    lo_send(to, "/pitch", "f", INFINITY);
    lo_send(to, "/quaternion", "ffff", 0.0f, 0.0f, 0.0f, 0.0f);
    lo_send(to, "/yaw", "");
    lo_send(to, "/elsewhere", "f", 1.0f);
    const int raw = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const char junk[] = "/ypr\0\0\0\0,fff\0\0\0\0\1";
    ::sendto(raw, junk, sizeof junk - 1, 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::close(raw);
    lo_send(to, "/roll", "f", 5.0f); // sent last: once it counts, the others have been read
    sendAndWait(4);
    EXPECT_EQ(tracker.messages(), 4u);
    EXPECT_NEAR(tracker.orientation().yawDeg, -90.0, 1e-3);
    EXPECT_FLOAT_EQ(tracker.orientation().rollDeg, 5.0f);
    lo_address_free(to);

    tracker.listen(0);
    EXPECT_TRUE(waitFor([&] { return tracker.status() == HeadTracker::Status::Off; }));
}

TEST(HeadTracker, TwoOnOnePortTheSecondSaysSoUntilThePortIsFree)
{
    const int port = freePort();
    auto first = std::make_unique<HeadTracker>();
    HeadTracker second;
    first->listen(port);
    ASSERT_TRUE(waitFor([&] { return first->status() == HeadTracker::Status::Listening; }));
    second.listen(port);
    ASSERT_TRUE(waitFor([&] { return second.status() == HeadTracker::Status::PortInUse; }));
    EXPECT_EQ(first->status(), HeadTracker::Status::Listening);
    EXPECT_STREQ(HeadTracker::statusText(second.status()), "port in use");
    first.reset();
    EXPECT_TRUE(waitFor([&] { return second.status() == HeadTracker::Status::Listening; }));
}

TEST(HeadphoneMonitor, TheTrackerTurnsTheHeadFromWhereTheControlsSetIt)
{
    HeadphoneMonitor monitor;
    monitor.setControl(kHeadYaw, 30.0);
    monitor.setControl(kHeadPitch, 500.0); // clamped
    monitor.setControl(kHeadRoll, NAN);    // ignored
    EXPECT_EQ(monitor.control(kHeadPitch), 180.0);
    EXPECT_EQ(monitor.control(kHeadRoll), 0.0);
    monitor.setControl(kHeadPitch, 0.0);
    const int port = freePort();
    monitor.setControl(kTrackerPort, port);
    monitor.setControl(kTrackerOn, 1.0);
    monitor.setControl(kFlipYaw, 1.0);
    const float* none[6] = {};
    float* nowhere = nullptr;
    monitor.process(none, nowhere, nowhere, 0); // asks for the port
    ASSERT_TRUE(waitFor([&] { return monitor.trackerStatus() == HeadTracker::Status::Listening; }));
    lo_address to = lo_address_new("127.0.0.1", std::to_string(port).c_str());
    lo_send(to, "/ypr", "fff", 20.0f, 5.0f, -5.0f);
    lo_address_free(to);
    ASSERT_TRUE(waitFor([&] { return monitor.tracker().messages() == 1; }));
    EXPECT_NEAR(monitor.requestedOrientation().yawDeg, 30.0 - 20.0, 1e-5);
    EXPECT_NEAR(monitor.requestedOrientation().pitchDeg, 5.0, 1e-5);
    EXPECT_NEAR(monitor.requestedOrientation().rollDeg, -5.0, 1e-5);
    monitor.setControl(kTrackerOn, 0.0);
    EXPECT_NEAR(monitor.requestedOrientation().yawDeg, 30.0, 1e-5);
}

TEST(HeadphoneMonitor, MonitorsOfOneSetAndRateShareItsPreparedResponses)
{
    std::string error;
    HeadphoneMonitor first, second, otherRate;
    ASSERT_TRUE(first.prepare(48000.0, kDefaultHrtfPath, error)) << error;
    ASSERT_TRUE(second.prepare(48000.0, kDefaultHrtfPath, error)) << error;
    ASSERT_TRUE(otherRate.prepare(44100.0, kDefaultHrtfPath, error)) << error;
    EXPECT_EQ(first.responses(), second.responses());
    EXPECT_NE(first.responses(), otherRate.responses());
    HeadphoneMonitor broken;
    EXPECT_FALSE(broken.prepare(48000.0, "/nonexistent/set.sofa", error));
    EXPECT_EQ(broken.responses(), nullptr);
    EXPECT_FALSE(error.empty());
}
