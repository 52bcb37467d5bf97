// A host as the tests play it: answers the version, sample-rate and block-size
// requests with configurable values and records automation and edit brackets.
#pragma once

#include "vst2/VstInterface.h"

#include <vector>

struct TestHost
{
    VstIntPtr version = 2400;
    VstIntPtr sampleRate = 44100;
    VstIntPtr blockSize = 512;

    struct Automation
    {
        VstInt32 index;
        float value;
    };
    std::vector<Automation> automated;
    std::vector<VstInt32> beganEdits;
    std::vector<VstInt32> endedEdits;
    int idleCalls = 0;

    /// The host the callback answers for; one per test.
    static TestHost*& current()
    {
        static TestHost* host = nullptr;
        return host;
    }

    TestHost() { current() = this; }
    ~TestHost() { current() = nullptr; }
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    static VstIntPtr callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt)
    {
        TestHost* host = current();
        if (!host)
            return 0;
        switch (opcode)
        {
        case audioMasterVersion:
            return host->version;
        case audioMasterGetSampleRate:
            return host->sampleRate;
        case audioMasterGetBlockSize:
            return host->blockSize;
        case audioMasterAutomate:
            host->automated.push_back({index, opt});
            return 1;
        case audioMasterBeginEdit:
            host->beganEdits.push_back(index);
            return 1;
        case audioMasterEndEdit:
            host->endedEdits.push_back(index);
            return 1;
        case audioMasterIdle:
            ++host->idleCalls;
            return 1;
        default:
            return 0;
        }
    }
};

/// Six channels of `frames` samples each plus the pointer table a host hands over.
template <typename Sample> struct ChannelBuffers
{
    explicit ChannelBuffers(int frames, Sample fill = 0) : data(6, std::vector<Sample>(frames, fill))
    {
        point();
    }
    ChannelBuffers(const ChannelBuffers& other) : data(other.data) { point(); }
    ChannelBuffers& operator=(const ChannelBuffers&) = delete;
    void point()
    {
        for (int c = 0; c < 6; ++c)
            ptrs[c] = data[c].data();
    }
    std::vector<std::vector<Sample>> data;
    Sample* ptrs[6];
};
