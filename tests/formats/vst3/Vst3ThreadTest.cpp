// The controller on one thread and the processor on another, as hosts run them: the user
// moves knobs on the controller and loads states while the audio thread processes. The two
// parts share nothing; the host carries the values. Built alone under the thread sanitizer.
#include "Vst3TestHost.h"
#include "formats/vst3/KalvoController.h"
#include "formats/vst3/KalvoProcessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

using kalvo::vst3adapter::KalvoController;
using kalvo::vst3adapter::KalvoProcessor;
using namespace vst3test;

namespace
{

/// The host's side of the edits: the latest value per parameter, for the audio thread.
class ForwardingHandler : public HostObject<vst3::IComponentHandler>
{
public:
    ForwardingHandler()
    {
        for (auto& v : latest)
            v.store(-1.0);
    }
    vst3::tresult KALVO_VST3_API beginEdit(vst3::ParamID) override { return vst3::kResultOk; }
    vst3::tresult KALVO_VST3_API performEdit(vst3::ParamID id, vst3::ParamValue value) override
    {
        if (id < 13)
            latest[id].store(value);
        return vst3::kResultOk;
    }
    vst3::tresult KALVO_VST3_API endEdit(vst3::ParamID) override { return vst3::kResultOk; }
    vst3::tresult KALVO_VST3_API restartComponent(vst3::int32) override { return vst3::kResultOk; }
    std::atomic<double> latest[13];
};

} // namespace

TEST(Vst3Threads, ControllerEditsAndStateLoadsWhileTheProcessorRuns)
{
    auto* processor = new KalvoProcessor();
    auto* controller = new KalvoController();
    ASSERT_EQ(processor->initialize(nullptr), vst3::kResultOk);
    ASSERT_EQ(controller->initialize(nullptr), vst3::kResultOk);
    ForwardingHandler handler;
    controller->setComponentHandler(&handler);
    vst3::ProcessSetup setup{vst3::kRealtime, vst3::kSample32, 256, 44100.0};
    processor->setupProcessing(setup);
    processor->setActive(1);
    processor->setProcessing(1);

    std::atomic<bool> done{false};
    std::atomic<int> blocks{0};
    std::thread audio(
        [&]
        {
            std::vector<std::vector<float>> buffers(6, std::vector<float>(256, 0.1f));
            float* ch[6];
            for (int c = 0; c < 6; ++c)
                ch[c] = buffers[static_cast<size_t>(c)].data();
            ParamChanges changes, meters;
            while (!done.load())
            {
                changes.clear();
                meters.clear();
                for (vst3::ParamID id = 0; id < 13; ++id)
                {
                    const double v = handler.latest[id].exchange(-1.0);
                    if (v >= 0.0)
                        changes.add(id, static_cast<vst3::int32>(id * 7), v);
                }
                vst3::AudioBusBuffers in{}, out{};
                in.numChannels = 3;
                in.channelBuffers32 = ch;
                out.numChannels = 6;
                out.channelBuffers32 = ch;
                vst3::ProcessData data{};
                data.numSamples = 256;
                data.numInputs = data.numOutputs = 1;
                data.inputs = &in;
                data.outputs = &out;
                data.inputParameterChanges = &changes;
                data.outputParameterChanges = &meters;
                processor->process(data);
                ++blocks;
                for (int c = 0; c < 3; ++c) // in place: the next block's input again
                    std::fill(buffers[static_cast<size_t>(c)].begin(), buffers[static_cast<size_t>(c)].end(),
                              0.1f);
            }
        });

    MemoryStream saved;
    // At least 2000 edits, and as long as it takes the audio thread to run 200 blocks meanwhile.
    for (int round = 0; round < 2000 || blocks.load() < 200; ++round)
    {
        const vst3::ParamID id = static_cast<vst3::ParamID>(round % 13);
        controller->beginEdit(id);
        controller->performEdit(id, (round % 100) / 99.0);
        controller->endEdit(id);
        controller->setParamNormalized(20 + static_cast<vst3::ParamID>(round % 8), 0.5);
        if (round % 50 == 0)
        {
            saved.bytes.clear();
            saved.rewind();
            ASSERT_EQ(processor->getState(&saved), vst3::kResultOk);
            saved.rewind();
            ASSERT_EQ(processor->setState(&saved), vst3::kResultOk);
        }
    }
    done.store(true);
    audio.join();

    processor->setProcessing(0);
    processor->setActive(0);
    controller->setComponentHandler(nullptr);
    controller->terminate();
    processor->terminate();
    controller->release();
    processor->release();
}
