// Counts every heap allocation made while the engine processes audio.
#include "KalvoAlgoTestUtil.h"
#include "dsp/BinauralRenderer.h"
#include "dsp/KalvoAlgo.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <vector>

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

TEST(BinauralRendererRealTime, ProcessingAndTurningAllocateNothing)
{
    HrirGrid grid;
    grid.sampleRate = 48000.0;
    grid.length = 300;
    grid.azimuths = 72;
    grid.elevations = 19;
    grid.left.assign(static_cast<size_t>(grid.directions() * grid.length), 0.01f);
    grid.right = grid.left;
    BinauralRenderer renderer;
    renderer.setResponses(grid);
    std::vector<float> in(1000, 0.25f), left(1000), right(1000);
    const float* decoded[6] = {in.data(), in.data(), in.data(), in.data(), in.data(), in.data()};
    AllocationCounter counter;
    for (int block = 0; block < 50; ++block)
    {
        // Turns that cross grid directions in every partition, so that cross-fades run.
        renderer.setOrientation({block * 20.0, block * 3.0, -block * 2.0});
        renderer.process(decoded, left.data(), right.data(), 37 + block * 17);
    }
    renderer.reset();
    renderer.process(decoded, left.data(), right.data(), 1000);
    EXPECT_EQ(counter.count(), 0);
    EXPECT_EQ(counter.waits(), 0);
}
