// The processor's process call allocates nothing: not with parameter changes, meters to
// report, a loaded state to apply, a program to load, or blocks beyond the announced size.
#include "Vst3TestHost.h"
#include "formats/vst3/HeadphoneStage.h"
#include "formats/vst3/KalvoProcessor.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <vector>

using kalvo::vst3adapter::KalvoProcessor;
using namespace vst3test;

namespace
{

template <typename Sample>
void processOnce(KalvoProcessor& p, vst3::int32 frames, ParamChanges& in, ParamChanges& out)
{
    static std::vector<std::vector<Sample>> buffers(6, std::vector<Sample>(8192, Sample(0.25)));
    Sample* ins[3] = {buffers[0].data(), buffers[1].data(), buffers[2].data()};
    Sample* outs[6] = {buffers[0].data(), buffers[1].data(), buffers[2].data(),
                       buffers[3].data(), buffers[4].data(), buffers[5].data()}; // in place
    vst3::AudioBusBuffers inBus{}, outBus{};
    inBus.numChannels = 3;
    outBus.numChannels = 6;
    if constexpr (sizeof(Sample) == 8)
        inBus.channelBuffers64 = ins, outBus.channelBuffers64 = outs;
    else
        inBus.channelBuffers32 = ins, outBus.channelBuffers32 = outs;
    vst3::ProcessData data{};
    data.symbolicSampleSize = sizeof(Sample) == 8 ? vst3::kSample64 : vst3::kSample32;
    data.numSamples = frames;
    data.numInputs = data.numOutputs = 1;
    data.inputs = &inBus;
    data.outputs = &outBus;
    data.inputParameterChanges = &in;
    data.outputParameterChanges = &out;
    p.process(data);
}

} // namespace

TEST(Vst3RealTime, ProcessAllocatesNothing)
{
    auto* p = new KalvoProcessor();
    ASSERT_EQ(p->initialize(nullptr), vst3::kResultOk);
    vst3::ProcessSetup setup{vst3::kRealtime, vst3::kSample32, 512, 48000.0};
    ASSERT_EQ(p->setupProcessing(setup), vst3::kResultOk);
    ASSERT_EQ(p->setActive(1), vst3::kResultOk);
    ParamChanges in, out;
    MemoryStream state;
    ASSERT_EQ(p->getState(&state), vst3::kResultOk);
    processOnce<float>(*p, 64, in, out); // the test's own buffers come to life here
    processOnce<double>(*p, 64, in, out);

    AllocationCounter counter;
    long waitsInProcess = 0; // locks and system calls inside process(); setState may take a lock
    for (int round = 0; round < 3; ++round)
    {
        in.clear();
        out.clear();
        in.add(5, 10, 0.5); // a delay change starts a fade
        in.add(3, 0, 0.25);
        in.add(3, 300, 0.75);
        in.add(14, 200, 0.5); // a program
        const long waitsBefore = counter.waits();
        processOnce<float>(*p, 5000, in, out);
        out.clear();
        processOnce<double>(*p, 512, in, out);
        waitsInProcess += counter.waits() - waitsBefore;
        state.rewind();
        EXPECT_EQ(p->setState(&state), vst3::kResultOk); // setState itself runs on the host's UI thread
        const long before = counter.count();
        processOnce<double>(*p, 0, in, out);
        EXPECT_EQ(counter.count(), before) << "applying a loaded state";
        state.rewind();
    }
    EXPECT_EQ(counter.count(), 0);
    EXPECT_EQ(waitsInProcess, 0);
    p->setActive(0);
    p->terminate();
    p->release();
}

TEST(Vst3RealTime, TheHeadphoneBuildsProcessAllocatesAndWaitsForNothing)
{
    if (!kalvo::vst3adapter::headphonesAvailable())
        GTEST_SKIP() << "this build has no headphone monitoring";
    auto* p = new KalvoProcessor(true);
    ASSERT_EQ(p->initialize(nullptr), vst3::kResultOk);
    vst3::ProcessSetup setup{vst3::kRealtime, vst3::kSample32, 512, 48000.0};
    ASSERT_EQ(p->setupProcessing(setup), vst3::kResultOk);
    ASSERT_EQ(p->setActive(1), vst3::kResultOk); // reads the responses
    ParamChanges in, out;
    processOnce<float>(*p, 64, in, out);
    processOnce<double>(*p, 64, in, out);

    AllocationCounter counter;
    in.add(40, 0, 0.75);                   // the head turns to 90 degrees
    in.add(43, 10, 1.0);                   // the tracker switched on: its thread opens the port, not process
    in.add(3, 100, 0.25);                  // a knob
    processOnce<float>(*p, 5000, in, out); // beyond the announced block
    out.clear();
    processOnce<double>(*p, 512, in, out);
    EXPECT_EQ(counter.count(), 0);
    EXPECT_EQ(counter.waits(), 0);
    p->setActive(0);
    p->terminate();
    p->release();
}
