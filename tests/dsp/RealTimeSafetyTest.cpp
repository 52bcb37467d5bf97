// Counts every heap allocation made while the engine processes audio.
#include "KalvoAlgoTestUtil.h"
#include "dsp/KalvoAlgo.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>

TEST(KalvoAlgoRealTime, CounterSeesAllocations)
{
    // The counter itself must work, or the zero below means nothing.
    {
        AllocationCounter counter;
        int* volatile boxed = new int(1);
        delete boxed;
        EXPECT_GE(counter.count(), 1);
    }
    if (allocationCounterSeesMalloc())
    {
        AllocationCounter counter;
        void* volatile p = std::malloc(16);
        std::free(p);
        EXPECT_EQ(counter.count(), 1);
    }
    if (allocationCounterSeesWaits())
    {
        AllocationCounter counter;
        std::mutex lock;
        lock.lock();
        lock.unlock();
        EXPECT_EQ(counter.waits(), 1);
    }
}

TEST(KalvoAlgoRealTime, ProcessingAllocatesNothing)
{
    KalvoAlgo k(48000.0);
    k.lrPattern = k.lsrsPattern = k.centerPattern = 0.5;
    k.frontLevel = k.rearLevel = k.centerLevel = 1.0;
    k.setLROffset(0.5);
    k.setLSRSOffset(0.5);
    k.setRearSlopeFilter(0.7);
    EngineBuffers b(4096);
    for (int i = 0; i < b.n; ++i)
    {
        b.in[kInM][i] = (i % 97) / 97.0 - 0.5;
        b.in[kInS][i] = (i % 31) / 31.0 - 0.5;
        b.in[kInMr][i] = (i % 13) / 13.0 - 0.5;
    }
    AllocationCounter counter;
    b.process(k);
    k.setDelay(0.5); // a fade, with further requests pending
    k.setDelay(0.2);
    b.process(k);
    k.rearSlopeFilter = 3.0; // new coefficients mid-stream
    k.processSamplesReference(b.inPtr, b.outPtr, b.n);
    k.processSamples(b.inPtr, b.outPtr, 0);
    k.reset();
    b.process(k);
    // A rate change back to a rate the line already had room for reuses it.
    k.setSamplingRate(44100.0);
    k.setSamplingRate(48000.0);
    b.process(k);
    for (subblock::Kernel kernel :
         {subblock::Kernel::kBaseline, subblock::Kernel::kAvx2, subblock::Kernel::kAvx512})
        if (k.setKernel(kernel))
            b.process(k);
    EXPECT_EQ(counter.count(), 0);
    EXPECT_EQ(counter.waits(), 0);
}
