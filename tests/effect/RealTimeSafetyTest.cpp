// The processing calls must not allocate.
#include "effect/Kalvo.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

TEST(KalvoRealTime, ProcessingAllocatesNothingEvenForOversizeOrOddBlocks)
{
    TestHost host;
    host.blockSize = 256;
    Kalvo effect(TestHost::callback);
    AEffect* e = effect.getAeffect();
    constexpr int kFrames = 5000; // far beyond the 256 frames obtained at resume
    ChannelBuffers<float> in(kFrames, 0.25f), out(kFrames);
    ChannelBuffers<double> din(kFrames, 0.25), dout(kFrames);
    ChannelBuffers<double> holes(kFrames, 0.25);
    holes.ptrs[1] = nullptr;
    holes.ptrs[4] = nullptr;
    in.data[0][17] = std::numeric_limits<float>::quiet_NaN();

    AllocationCounter counter;
    e->processReplacing(e, in.ptrs, out.ptrs, kFrames);
    e->processDoubleReplacing(e, din.ptrs, dout.ptrs, kFrames);
    e->processDoubleReplacing(e, holes.ptrs, holes.ptrs, kFrames);
    e->processReplacing(e, in.ptrs, out.ptrs, 0);
    e->setParameter(e, 5, 0.5f); // a delay change mid-stream starts a fade
    e->processReplacing(e, in.ptrs, out.ptrs, kFrames);
    effect.suspend();
    e->processReplacing(e, in.ptrs, out.ptrs, kFrames);
    EXPECT_EQ(counter.count(), 0);
    EXPECT_EQ(counter.waits(), 0); // no lock taken, no read, write or sleep
}

TEST(KalvoRealTime, SwitchingOffAndOnAtTheSameBlockSizeKeepsTheBuffers)
{
    TestHost host;
    Kalvo effect(TestHost::callback);
    AllocationCounter counter;
    effect.suspend();
    effect.suspend();
    EXPECT_EQ(counter.count(), 0);
    EXPECT_EQ(effect.getBufferSize(), 512);
}
