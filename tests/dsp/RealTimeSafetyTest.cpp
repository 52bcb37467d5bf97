// Counts every heap allocation made while the engine processes audio. The
// global allocation functions of this test program are replaced: operator
// new/delete always, and the C allocator too when no sanitizer owns it.
#include "KalvoAlgo.h"
#include "KalvoAlgoTestUtil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

// The replacement operator new below is built on malloc, so its operator delete
// must call free; the compiler cannot see that they belong together.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace
{
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void noteAllocation()
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
}

/// Counts allocations made while it lives.
class AllocationCounter
{
public:
    AllocationCounter()
    {
        allocations = 0;
        counting = true;
    }
    ~AllocationCounter() { counting = false; }
    long count() const { return allocations.load(); }
};
} // namespace

void* operator new(std::size_t size)
{
    noteAllocation();
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
    noteAllocation();
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

#if !defined(__SANITIZE_ADDRESS__) && defined(__GLIBC__)
// The C allocator, forwarded to glibc's own entry points, so that allocations
// made inside the C or C++ runtime on the engine's behalf count as well.
extern "C"
{
    void* __libc_malloc(std::size_t);
    void* __libc_calloc(std::size_t, std::size_t);
    void* __libc_realloc(void*, std::size_t);
    void* __libc_memalign(std::size_t, std::size_t);

    void* malloc(std::size_t size)
    {
        noteAllocation();
        return __libc_malloc(size);
    }
    void* calloc(std::size_t n, std::size_t size)
    {
        noteAllocation();
        return __libc_calloc(n, size);
    }
    void* realloc(void* p, std::size_t size)
    {
        noteAllocation();
        return __libc_realloc(p, size);
    }
    void* memalign(std::size_t alignment, std::size_t size)
    {
        noteAllocation();
        return __libc_memalign(alignment, size);
    }
    void* aligned_alloc(std::size_t alignment, std::size_t size)
    {
        noteAllocation();
        return __libc_memalign(alignment, size);
    }
    int posix_memalign(void** out, std::size_t alignment, std::size_t size)
    {
        noteAllocation();
        void* p = __libc_memalign(alignment, size);
        if (!p)
            return 12; // ENOMEM
        *out = p;
        return 0;
    }
}
#endif

TEST(KalvoAlgoRealTime, CounterSeesAllocations)
{
    // The counter itself must work, or the zero below means nothing.
    {
        AllocationCounter counter;
        int* volatile boxed = new int(1);
        delete boxed;
        EXPECT_GE(counter.count(), 1);
    }
#if !defined(__SANITIZE_ADDRESS__) && defined(__GLIBC__)
    {
        AllocationCounter counter;
        void* volatile p = std::malloc(16);
        std::free(p);
        EXPECT_EQ(counter.count(), 1);
    }
#endif
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
    EXPECT_EQ(counter.count(), 0);
}
