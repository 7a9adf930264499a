// A user-space spin lock on one 32-bit word (0 free, 1 held): taking it
// repeats an atomic compare-and-exchange of 0 to 1 until it succeeds, with
// no pause, back-off or yield; releasing it is an atomic exchange to 0. The
// stand-in for InterlockedCompareExchange / InterlockedExchange. Not
// re-entrant. Meant for sections of at most one audio block.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

class SpinLock {
public:
    void Lock()
    {
        std::uint32_t expected = 0;
        while (!word.compare_exchange_weak(expected, 1, std::memory_order_acquire, std::memory_order_relaxed))
            expected = 0;
    }
    void Unlock() { word.exchange(0, std::memory_order_release); }
    // For debug checks: whether someone holds the lock right now.
    [[nodiscard]] bool IsHeld() const { return word.load(std::memory_order_relaxed) != 0; }

private:
    std::atomic<std::uint32_t> word{0};
};

// Holds a SpinLock for one scope, releasing it also when an exception
// passes.
class SpinLockGuard {
public:
    explicit SpinLockGuard(SpinLock& l) : lock(l) { lock.Lock(); }
    ~SpinLockGuard() { lock.Unlock(); }
    SpinLockGuard(const SpinLockGuard&) = delete;
    SpinLockGuard& operator=(const SpinLockGuard&) = delete;

private:
    SpinLock& lock;
};

} // namespace platform
