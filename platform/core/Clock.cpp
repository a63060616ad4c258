// Steady-clock source and the process-wide switch to a test source.
#include "platform/core/Clock.h"

#include <atomic>
#include <chrono>

namespace platform {
namespace {

class SteadySource : public ClockSource {
public:
    int64_t NowMicros() const override {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

const SteadySource kSteady;
std::atomic<const ClockSource*> g_source{&kSteady};

}  // namespace

int64_t TickUs() { return g_source.load(std::memory_order_acquire)->NowMicros(); }
int64_t TickMs() { return TickUs() / 1000; }

void SetClockSource(const ClockSource* source) {
    g_source.store(source ? source : &kSteady, std::memory_order_release);
}

int64_t ManualClock::NowMicros() const { return now_.load(std::memory_order_acquire); }
void ManualClock::AdvanceMs(int64_t ms) { AdvanceUs(ms * 1000); }
void ManualClock::AdvanceUs(int64_t us) { now_.fetch_add(us, std::memory_order_acq_rel); }

}  // namespace platform
