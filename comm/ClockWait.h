// Timed waits on a condition variable measured on the program's monotonic clock, so that a
// test that replaces the clock can expire them.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/core/Clock.h"

namespace NoltComm {

// A waiter re-reads the program clock at least this often, so a replaced (manual) clock that
// is stepped past the deadline ends the wait promptly.
constexpr int64_t kClockSliceMs = 20;

// True when done() holds now or becomes true (under the lock) within timeoutMs.
template <typename Done>
bool WaitOnClock(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, int64_t timeoutMs,
                 Done done) {
    if (done()) return true;
    if (timeoutMs <= 0) return false;
    const int64_t deadline = platform::TickMs() + timeoutMs;
    for (;;) {
        const int64_t left = deadline - platform::TickMs();
        if (left <= 0) return done();
        cv.wait_for(lock, std::chrono::milliseconds(std::min(left, kClockSliceMs)));
        if (done()) return true;
    }
}

}  // namespace NoltComm
