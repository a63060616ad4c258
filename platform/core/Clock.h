// The one monotonic clock of the program (in place of the 32-bit tick counters), with a
// replaceable source so that tests can freeze and step time.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

class ClockSource {
public:
    virtual ~ClockSource() = default;
    virtual int64_t NowMicros() const = 0;  // monotonic, never wraps
};

// Milliseconds and microseconds since an arbitrary start, from the installed source.
int64_t TickMs();
int64_t TickUs();

// Installs a source for the whole process (tests); null restores the steady clock.
// The source must outlive its installation.
void SetClockSource(const ClockSource* source);

// A clock that moves only when told to; for tests.
class ManualClock : public ClockSource {
public:
    explicit ManualClock(int64_t startMicros = 1'000'000) : now_(startMicros) {}
    int64_t NowMicros() const override;
    void AdvanceMs(int64_t ms);
    void AdvanceUs(int64_t us);

private:
    std::atomic<int64_t> now_;
};

// Installs a source for the lifetime of the guard.
class ScopedClockSource {
public:
    explicit ScopedClockSource(const ClockSource& source) { SetClockSource(&source); }
    ~ScopedClockSource() { SetClockSource(nullptr); }
    ScopedClockSource(const ScopedClockSource&) = delete;
    ScopedClockSource& operator=(const ScopedClockSource&) = delete;
};

}  // namespace platform
