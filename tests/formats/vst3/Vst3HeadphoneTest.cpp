// The module's headphone classes as a host drives them: the sound against the 5.1 class's
// decode through the renderer kalvo-render uses, the state with the head controls, and the
// tracker's status reported to the host.
#include "Vst3Module.h"
#include "dsp/BinauralRenderer.h"
#include "effect/HeadControls.h"
#include "effect/HeadResponses.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace vst3test;

namespace
{

constexpr int kHeadphoneClass = 2;
constexpr vst3::ParamID kYaw = 40, kRoll = 42, kTrackerOn = 43, kTrackerPort = 44, kStatus = 48;

/// A head control's normalised value: its place in its range.
double normalized(int control, double plain)
{
    const kalvo::HeadControlSpec& spec = kalvo::headControlSpec(control);
    return (plain - spec.minimum) / (spec.maximum - spec.minimum);
}

} // namespace

TEST(Vst3Headphones, RendersTheDecodeAsKalvoRenderDoes)
{
    const double rate = 48000.0;
    Instance phones(rate, 512, vst3::kSample32, true, kHeadphoneClass), surround(rate, 512);
    ASSERT_TRUE(phones.component && surround.component);
    vst3::BusInfo bus{};
    ASSERT_EQ(phones.component->getBusInfo(vst3::kAudio, vst3::kOutput, 0, bus), vst3::kResultOk);
    EXPECT_EQ(bus.channelCount, 2);

    const int frames = 3000;
    std::mt19937 random(5);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    std::vector<float> in[3], decoded[6], ears[2], want[2];
    for (auto& c : in)
        for (int t = 0; t < frames; ++t)
            c.push_back(uniform(random));
    for (auto& c : decoded)
        c.resize(frames);
    for (int e = 0; e < 2; ++e)
        ears[e].resize(frames), want[e].resize(frames);
    float* ins[3] = {in[0].data(), in[1].data(), in[2].data()};
    float* outs[6];
    for (int c = 0; c < 6; ++c)
        outs[c] = decoded[c].data();
    ParamChanges changes;
    changes.add(5, 0, 0.25); // the rear delay, in both
    ASSERT_EQ(surround.process(ins, outs, frames, &changes), vst3::kResultOk);

    // The head's angles arrive at the first frame, where the renderer starts with them too.
    changes.add(kYaw, 0, normalized(kalvo::kHeadYaw, 40.0));
    changes.add(kRoll, 0, normalized(kalvo::kHeadRoll, -10.0));
    float* earOut[2] = {ears[0].data(), ears[1].data()};
    ASSERT_EQ(phones.process(ins, earOut, 1, &changes), vst3::kResultOk);
    changes.clear();
    for (int at = 1, size = 7; at < frames; at += size, size = size * 2 + 3)
    {
        size = std::min(size, frames - at);
        float* inAt[3] = {in[0].data() + at, in[1].data() + at, in[2].data() + at};
        float* earAt[2] = {ears[0].data() + at, ears[1].data() + at};
        ASSERT_EQ(phones.process(inAt, earAt, size), vst3::kResultOk);
    }

    HrirGrid grid;
    std::string error;
    ASSERT_TRUE(kalvo::loadHrirGrid(kalvo::kDefaultHrtfPath, rate, grid, error)) << error;
    BinauralRenderer renderer;
    renderer.setOrientation({40.0, 0.0, -10.0});
    renderer.setResponses(grid);
    const float* feed[6];
    for (int c = 0; c < 6; ++c)
        feed[c] = decoded[c].data();
    renderer.process(feed, want[0].data(), want[1].data(), frames);
    for (int e = 0; e < 2; ++e)
        for (int t = 0; t < frames; ++t)
            ASSERT_EQ(ears[e][t], want[e][t]) << "ear " << e << " frame " << t;
}

TEST(Vst3Headphones, TheStateKeepsTheHeadAndAnOlderStateLoadsWithItsDefaults)
{
    Instance phones(48000.0, 512, vst3::kSample32, true, kHeadphoneClass);
    ASSERT_TRUE(phones.component);
    ParamChanges changes;
    changes.add(kYaw, 0, normalized(kalvo::kHeadYaw, -30.0));
    changes.add(kTrackerPort, 0, normalized(kalvo::kTrackerPort, 9123.0));
    std::vector<float> silence(64);
    float* ch[3] = {silence.data(), silence.data(), silence.data()};
    std::vector<float> left(64), right(64);
    float* ears[2] = {left.data(), right.data()};
    ASSERT_EQ(phones.process(ch, ears, 64, &changes), vst3::kResultOk);

    MemoryStream saved;
    ASSERT_EQ(phones.component->getState(&saved), vst3::kResultOk);
    Instance restored(48000.0, 512, vst3::kSample32, true, kHeadphoneClass);
    saved.rewind();
    ASSERT_EQ(restored.component->setState(&saved), vst3::kResultOk);
    saved.rewind();
    ASSERT_EQ(restored.controller->setComponentState(&saved), vst3::kResultOk);
    EXPECT_NEAR(
        restored.controller->normalizedParamToPlain(kYaw, restored.controller->getParamNormalized(kYaw)),
        -30.0, 1e-4);
    EXPECT_EQ(restored.controller->normalizedParamToPlain(
                  kTrackerPort, restored.controller->getParamNormalized(kTrackerPort)),
              9123.0);
    MemoryStream again;
    ASSERT_EQ(restored.component->getState(&again), vst3::kResultOk);
    EXPECT_EQ(again.bytes, saved.bytes);

    // The 5.1 class's record alone, as an older headphone state: the head at its defaults.
    MemoryStream older;
    ASSERT_EQ(Instance(48000.0, 512).component->getState(&older), vst3::kResultOk);
    older.rewind();
    ASSERT_EQ(restored.controller->setComponentState(&older), vst3::kResultOk);
    EXPECT_EQ(restored.controller->normalizedParamToPlain(
                  kTrackerPort, restored.controller->getParamNormalized(kTrackerPort)),
              9000.0);
    // The headphone record is no 5.1 state.
    saved.rewind();
    EXPECT_NE(Instance(48000.0, 512).component->setState(&saved), vst3::kResultOk);
}

TEST(Vst3Headphones, TheTrackersStatusReachesTheHostWhenItsPortIsTaken)
{
    // Another program holds the port.
    const int holder = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
    const int port = ntohs(address.sin_port);

    Instance phones(48000.0, 512, vst3::kSample32, true, kHeadphoneClass);
    ASSERT_TRUE(phones.component);
    ParamChanges changes, reported;
    changes.add(kTrackerPort, 0, normalized(kalvo::kTrackerPort, port));
    changes.add(kTrackerOn, 0, 1.0);
    std::vector<float> silence(64);
    float* ch[3] = {silence.data(), silence.data(), silence.data()};
    std::vector<float> left(64), right(64);
    float* ears[2] = {left.data(), right.data()};
    double status = -1.0;
    for (int i = 0; i < 300 && status != 1.0; ++i)
    {
        reported.clear();
        phones.process(ch, ears, 64, &changes, &reported);
        changes.clear();
        if (reported.last(kStatus) >= 0.0)
            status = reported.last(kStatus);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(holder);
    EXPECT_EQ(status, 1.0) << "normalised 1: port in use";
    EXPECT_EQ(phones.controller->setParamNormalized(kStatus, 1.0), vst3::kResultOk);
    vst3::String128 text{};
    ASSERT_EQ(phones.controller->getParamStringByValue(kStatus, 1.0, text), vst3::kResultOk);
    EXPECT_EQ(utf8(text), "port in use");
}
