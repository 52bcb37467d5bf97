// The effect on two threads, as hosts run it: the audio thread processes while
// another thread automates parameters and switches programs. The thread
// sanitizer build runs these too (./test.sh --thread).
#include "effect/Kalvo.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>

namespace
{
/// What the parameter side does before block k: every automatable parameter,
/// now and then a program switch, a factory preset and the meters read back.
void changeParameters(AEffect* e, int k, std::mt19937& rng)
{
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    for (VstInt32 i = 0; i < kNumParameters; ++i)
        e->setParameter(e, i, i >= 10 ? static_cast<float>(u(rng) < 0.3f) : u(rng));
    if (k % 7 == 3)
        e->dispatcher(e, effSetProgram, 0, k % 4, nullptr, 0.0f);
    if (k % 11 == 5)
        e->setParameter(e, 14, static_cast<float>(1 + k % 5));
    for (VstInt32 meter = 20; meter <= 27; ++meter)
        EXPECT_TRUE(std::isfinite(e->getParameter(e, meter)));
}

void fill(ChannelBuffers<float>& in, std::mt19937& rng)
{
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (auto& channel : in.data)
        for (float& v : channel)
            v = u(rng);
}

bool allFinite(const ChannelBuffers<float>& out, int frames)
{
    for (const auto& channel : out.data)
        for (int i = 0; i < frames; ++i)
            if (!std::isfinite(channel[i]))
                return false;
    return true;
}
} // namespace

TEST(KalvoThreads, AutomationAndProgramSwitchesDuringProcessingKeepTheAudioFinite)
{
    TestHost host;
    Kalvo effect(TestHost::callback);
    AEffect* e = effect.getAeffect();
    std::atomic<bool> done{false};
    std::thread automation(
        [&]
        {
            std::mt19937 rng(5);
            for (int k = 0; k < 3000; ++k)
                changeParameters(e, k, rng);
            done.store(true);
        });
    std::mt19937 rng(6);
    std::uniform_int_distribution<int> frames(1, 512);
    ChannelBuffers<float> in(512), out(512);
    int blocks = 0;
    bool finite = true;
    while (!done.load() || blocks < 100)
    {
        fill(in, rng);
        const int n = frames(rng);
        e->processReplacing(e, in.ptrs, out.ptrs, n);
        finite = finite && allFinite(out, n);
        ++blocks;
    }
    automation.join();
    EXPECT_TRUE(finite);
}

TEST(KalvoThreads, ChangesMadeOnAnotherThreadBetweenBlocksGiveTheOneThreadOutput)
{
    TestHost host;
    Kalvo shared(TestHost::callback), alone(TestHost::callback);
    AEffect* s = shared.getAeffect();
    AEffect* a = alone.getAeffect();
    constexpr int kBlocks = 400;
    // Turns: 2k for the parameter thread before block k, 2k + 1 for the audio thread.
    std::atomic<int> turn{0};
    std::thread parameters(
        [&]
        {
            std::mt19937 rng(8);
            for (int k = 0; k < kBlocks; ++k)
            {
                while (turn.load() != 2 * k)
                    std::this_thread::yield();
                changeParameters(s, k, rng);
                turn.store(2 * k + 1);
            }
        });
    std::mt19937 paramRng(8), signalRng(9), sizeRng(10);
    std::uniform_int_distribution<int> frames(0, 512);
    ChannelBuffers<float> in(512), outShared(512), outAlone(512);
    bool same = true;
    for (int k = 0; k < kBlocks; ++k)
    {
        fill(in, signalRng);
        const int n = frames(sizeRng);
        changeParameters(a, k, paramRng);
        a->processReplacing(a, in.ptrs, outAlone.ptrs, n);
        while (turn.load() != 2 * k + 1)
            std::this_thread::yield();
        s->processReplacing(s, in.ptrs, outShared.ptrs, n);
        turn.store(2 * k + 2);
        for (int c = 0; c < 6; ++c)
            same = same &&
                   std::memcmp(outShared.data[c].data(), outAlone.data[c].data(), sizeof(float) * n) == 0;
    }
    parameters.join();
    EXPECT_TRUE(same);
}
