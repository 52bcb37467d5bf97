// The processing calls must not allocate: counted by replacing the global
// allocation functions in this test executable.
#include "Kalvo.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

// The replacement operator new below is built on malloc, so its operator delete
// must call free; the compiler cannot see that they belong together.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace
{
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    ++allocations;
    return std::malloc(size ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return operator new(size, std::nothrow);
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete[](void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

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

    const long before = allocations.load();
    e->processReplacing(e, in.ptrs, out.ptrs, kFrames);
    e->processDoubleReplacing(e, din.ptrs, dout.ptrs, kFrames);
    e->processDoubleReplacing(e, holes.ptrs, holes.ptrs, kFrames);
    e->processReplacing(e, in.ptrs, out.ptrs, 0);
    e->setParameter(e, 5, 0.5f); // a delay change mid-stream starts a fade
    e->processReplacing(e, in.ptrs, out.ptrs, kFrames);
    effect.suspend();
    e->processReplacing(e, in.ptrs, out.ptrs, kFrames);
    EXPECT_EQ(allocations.load() - before, 0);
}

TEST(KalvoRealTime, SwitchingOffAndOnAtTheSameBlockSizeKeepsTheBuffers)
{
    TestHost host;
    Kalvo effect(TestHost::callback);
    const long before = allocations.load();
    effect.suspend();
    effect.suspend();
    EXPECT_EQ(allocations.load() - before, 0);
    EXPECT_EQ(effect.getBufferSize(), 512);
}
