// The standard panel's background thread.
#include "shell/TradePanelWorker.h"

#include <algorithm>

#include "comm/ClockWait.h"
#include "platform/core/Clock.h"

namespace shell {
namespace {

// A stop waits in slices this long, running the caller's message work in between.
constexpr int64_t kStopSliceMs = 10;

}  // namespace

CTradePanelWorker::CTradePanelWorker(std::atomic<uint32_t>& state, Jobs jobs)
    : state_(state), jobs_(std::move(jobs)) {}

CTradePanelWorker::~CTradePanelWorker() {
    // The body waits on the event, which the base's stop cannot reach.
    state_.fetch_or(kPanelWorkerStop);
    Stop();
}

bool CTradePanelWorker::Stopping() const {
    return IsStopping() || (state_.load(std::memory_order_acquire) & kPanelWorkerStop) != 0;
}

void CTradePanelWorker::Signal() {
    {
        std::lock_guard guard(lock_);
        event_ = true;
    }
    cv_.notify_all();
}

void CTradePanelWorker::MarkInputIdle() {
    {
        std::lock_guard guard(lock_);
        inputIdle_ = true;
    }
    cv_.notify_all();
}

bool CTradePanelWorker::StopAndWait(int64_t timeoutMs, const std::function<void()>& whileWaiting) {
    state_.fetch_or(kPanelWorkerStop);
    Signal();
    if (!whileWaiting) return Stop(timeoutMs);
    const int64_t deadline = platform::TickMs() + timeoutMs;
    for (;;) {
        const int64_t left = deadline - platform::TickMs();
        if (Wait(std::min(left, kStopSliceMs))) return true;
        if (left <= kStopSliceMs) return Stop(0);
        whileWaiting();
    }
}

uint32_t CTradePanelWorker::Run() {
    {
        std::unique_lock guard(lock_);
        cv_.wait(guard, [this] { return inputIdle_ || Stopping(); });
    }
    while (!Stopping()) {
        bool signalled = false;
        {
            std::unique_lock guard(lock_);
            signalled = NoltComm::WaitOnClock(guard, cv_, kPeriodMs,
                                              [this] { return event_ || Stopping(); });
            if (Stopping()) break;
            if (signalled) event_ = false;
        }
        if (!signalled) {
            if (jobs_.everySecond) jobs_.everySecond();
            continue;
        }
        const uint32_t state = state_.load(std::memory_order_acquire);
        if ((state & kPanelCancelAll) && jobs_.cancelAll) jobs_.cancelAll();
        if ((state & kPanelCloseAll) && jobs_.closeAll) jobs_.closeAll();
    }
    state_.fetch_and(~kPanelWorkerStop);
    return 0;
}

}  // namespace shell
