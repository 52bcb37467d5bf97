#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace
{
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void noteAllocation()
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

AllocationCounter::AllocationCounter()
{
    allocations = 0;
    counting = true;
}

AllocationCounter::~AllocationCounter()
{
    counting = false;
}

long AllocationCounter::count() const
{
    return allocations.load();
}

bool allocationCounterSeesMalloc()
{
#if !defined(__SANITIZE_ADDRESS__) && defined(__GLIBC__)
    return true;
#else
    return false;
#endif
}

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
