// Counts heap allocations in a test program. Linking the object library
// kalvo_test_allocation_counter replaces the program's global allocation
// functions: operator new/delete always, and the C allocator too when no
// sanitizer owns it, so allocations made inside the runtimes count as well.
#pragma once

/// Counts the allocations made while it lives (by any thread), and the calls that can make a
/// thread wait: locks (mutexes, read-write locks, condition variables, semaphores) and the
/// system calls a processing call might sneak in (reads, writes, sleeps, yields).
class AllocationCounter
{
public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    long count() const;
    /// Locks taken and waiting system calls made; 0 where a sanitizer owns those functions.
    long waits() const;
};

/// True when the C allocator (malloc and friends) is counted too, not only operator new.
bool allocationCounterSeesMalloc();
/// True when locks and waiting system calls are counted (not where a sanitizer owns them).
bool allocationCounterSeesWaits();
