#pragma once

#include <atomic>

/// A number that one thread writes and another reads without a lock.
///
/// Every read and write is a whole value (a relaxed atomic access, on x86-64 an
/// ordinary move), so a reader sees either the old or the new value, never a
/// torn one, and the thread sanitizer knows the sharing is intended. It reads
/// and assigns like the plain number it replaces: `engine.frontLevel = 0.5;`
/// and `double level = engine.frontLevel;`. It orders nothing else: a reader
/// that needs several values to agree reads each once and works with its copies.
template <typename T> class SharedValue
{
public:
    SharedValue(T initial = T()) noexcept : value(initial) {}
    SharedValue(const SharedValue&) = delete;

    T load() const noexcept { return value.load(std::memory_order_relaxed); }
    void store(T v) noexcept { value.store(v, std::memory_order_relaxed); }

    operator T() const noexcept { return load(); }
    // Assignment answers the value stored, as std::atomic's does, not the object: reading it back
    // would be a second load that another thread may already have changed.
    // NOLINTNEXTLINE(misc-unconventional-assign-operator)
    T operator=(T v) noexcept
    {
        store(v);
        return v;
    }
    // A self-assignment stores the value it loaded: harmless.
    // NOLINTNEXTLINE(misc-unconventional-assign-operator,cert-oop54-cpp)
    T operator=(const SharedValue& other) noexcept { return *this = other.load(); }

private:
    std::atomic<T> value;
    static_assert(std::atomic<T>::is_always_lock_free, "the audio thread must never wait for a lock");
};
