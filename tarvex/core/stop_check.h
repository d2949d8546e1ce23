// A run's checks for a request to stop early.
//
// A signal handler records its signal in an atomic flag (lock-free, so that
// setting it from the handler is safe); the run reads the flag between its
// stages and before each block of the mix, and stops there, so a stop takes
// at most one block's time. For tests the run can be made to wait at one of
// its checks until a signal comes, so that it is stopped at a chosen point.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>

namespace tarvex {

using CaughtSignal = std::atomic<int>; // the signal that asked to stop, 0 while none has
static_assert(CaughtSignal::is_always_lock_free, "a signal handler sets the flag");

// Says on standard error that the run waits at `where`, then waits until a
// signal is caught. Test use only: a signal may reach any thread of the run,
// so the flag is looked at every millisecond instead of waiting for a wake-up.
inline void waitForStopSignal(const CaughtSignal& caught, const char* where) {
    std::fprintf(stderr, "Waiting for a signal at %s.\n", where);
    std::fflush(stderr);
    const timespec millisecond{0, 1000000};
    while (caught.load(std::memory_order_relaxed) == 0)
        nanosleep(&millisecond, nullptr);
}

struct StopCheck {
    const CaughtSignal* caught = nullptr; // the run's flag; none: the run is never stopped
    int64_t waitBeforeBlock = -1;         // test only: block whose start waits for a signal

    // True when the run is to stop before the block `block` (0 is the first).
    bool stopsBefore(int64_t block) const {
        if (caught == nullptr) return false;
        if (block == waitBeforeBlock) waitForStopSignal(*caught, "a block");
        return caught->load(std::memory_order_relaxed) != 0;
    }
};

} // namespace tarvex
