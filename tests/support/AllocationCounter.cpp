#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) && defined(__GLIBC__)
#include <dlfcn.h>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <time.h>
#include <unistd.h>
#endif

namespace
{
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
std::atomic<long> waitingCalls{0};

void noteAllocation()
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
}

[[maybe_unused]] void noteWait()
{
    if (counting.load(std::memory_order_relaxed))
        waitingCalls.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

AllocationCounter::AllocationCounter()
{
    allocations = 0;
    waitingCalls = 0;
    counting = true;
}

long AllocationCounter::waits() const
{
    return waitingCalls.load();
}

AllocationCounter::~AllocationCounter()
{
    counting = false;
}

long AllocationCounter::count() const
{
    return allocations.load();
}

bool allocationCounterSeesWaits()
{
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) && defined(__GLIBC__)
    return true;
#else
    return false;
#endif
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

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) && defined(__GLIBC__)
// Calls that can make a thread wait, forwarded to the C library's own definitions (looked up
// once, when the program starts, so that the lookup never happens inside a counted call).
// The plug-in binaries resolve these names in the test program first: it exports them.
namespace
{
template <typename F> F next(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
struct CLibrary
{
    int (*mutexLock)(pthread_mutex_t*) = next<int (*)(pthread_mutex_t*)>("pthread_mutex_lock");
    int (*mutexTryLock)(pthread_mutex_t*) = next<int (*)(pthread_mutex_t*)>("pthread_mutex_trylock");
    int (*rdLock)(pthread_rwlock_t*) = next<int (*)(pthread_rwlock_t*)>("pthread_rwlock_rdlock");
    int (*wrLock)(pthread_rwlock_t*) = next<int (*)(pthread_rwlock_t*)>("pthread_rwlock_wrlock");
    int (*condWait)(pthread_cond_t*,
                    pthread_mutex_t*) = next<int (*)(pthread_cond_t*, pthread_mutex_t*)>("pthread_cond_wait");
    int (*semWait)(sem_t*) = next<int (*)(sem_t*)>("sem_wait");
    ssize_t (*read)(int, void*, size_t) = next<ssize_t (*)(int, void*, size_t)>("read");
    ssize_t (*write)(int, const void*, size_t) = next<ssize_t (*)(int, const void*, size_t)>("write");
    int (*nanosleep)(const timespec*, timespec*) = next<int (*)(const timespec*, timespec*)>("nanosleep");
    int (*usleep)(useconds_t) = next<int (*)(useconds_t)>("usleep");
    int (*yield)() = next<int (*)()>("sched_yield");
};
const CLibrary& cLibrary()
{
    static const CLibrary table;
    return table;
}
const CLibrary& resolvedAtStart = cLibrary();
} // namespace

extern "C"
{
    int pthread_mutex_lock(pthread_mutex_t* m)
    {
        noteWait();
        return cLibrary().mutexLock(m);
    }
    int pthread_mutex_trylock(pthread_mutex_t* m)
    {
        noteWait();
        return cLibrary().mutexTryLock(m);
    }
    int pthread_rwlock_rdlock(pthread_rwlock_t* l)
    {
        noteWait();
        return cLibrary().rdLock(l);
    }
    int pthread_rwlock_wrlock(pthread_rwlock_t* l)
    {
        noteWait();
        return cLibrary().wrLock(l);
    }
    int pthread_cond_wait(pthread_cond_t* c, pthread_mutex_t* m)
    {
        noteWait();
        return cLibrary().condWait(c, m);
    }
    int sem_wait(sem_t* s)
    {
        noteWait();
        return cLibrary().semWait(s);
    }
    ssize_t read(int fd, void* buffer, size_t size)
    {
        noteWait();
        return cLibrary().read(fd, buffer, size);
    }
    ssize_t write(int fd, const void* buffer, size_t size)
    {
        noteWait();
        return cLibrary().write(fd, buffer, size);
    }
    int nanosleep(const timespec* duration, timespec* rest)
    {
        noteWait();
        return cLibrary().nanosleep(duration, rest);
    }
    int usleep(useconds_t us)
    {
        noteWait();
        return cLibrary().usleep(us);
    }
    int sched_yield()
    {
        noteWait();
        return cLibrary().yield();
    }
}
#endif
