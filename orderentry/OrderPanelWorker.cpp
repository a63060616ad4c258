// COrderPanelWorker: the throttled quantity questions behind the order-entry panel.
#include "orderentry/OrderPanelWorker.h"

#include <algorithm>
#include <chrono>

#include "comm/ClockWait.h"
#include "platform/core/Clock.h"
#include "platform/ui/Messages.h"

namespace orderentry {

namespace {
constexpr int64_t kStopSliceMs = 10;
}  // namespace

COrderPanelWorker::COrderPanelWorker(HWND window, UINT message, QuantityFunction ask)
    : window_(window), message_(message), ask_(std::move(ask)) {}

COrderPanelWorker::~COrderPanelWorker() {
    // The body waits on its own event, which the base's stop cannot reach.
    stop_ = true;
    Wake();
    Stop(kStopWaitMs);
}

void COrderPanelWorker::Wake() {
    {
        std::lock_guard guard(lock_);
        event_ = true;
    }
    cv_.notify_all();
}

void COrderPanelWorker::Submit(const QuantitySnapshot& snapshot) {
    {
        std::lock_guard guard(lock_);
        const uint32_t flags = pending_.flags | snapshot.flags;
        pending_ = snapshot;
        pending_.flags = flags;
        event_ = true;
    }
    cv_.notify_all();
}

std::optional<QuantityResult> COrderPanelWorker::TakeResult() {
    std::lock_guard guard(lock_);
    std::optional<QuantityResult> result;
    result.swap(result_);
    return result;
}

bool COrderPanelWorker::StopAndWait(int64_t timeoutMs, const std::function<void()>& whileWaiting) {
    stop_ = true;
    Wake();
    if (!whileWaiting) return Stop(timeoutMs);
    const int64_t deadline = platform::TickMs() + timeoutMs;
    for (;;) {
        const int64_t left = deadline - platform::TickMs();
        if (Wait(std::clamp<int64_t>(left, 0, kStopSliceMs))) return true;
        if (left <= kStopSliceMs) return Stop(0);
        whileWaiting();
    }
}

uint32_t COrderPanelWorker::Run() {
    while (!Stopping()) {
        QuantitySnapshot job;
        {
            std::unique_lock guard(lock_);
            // Sleep until woken, or until the throttle lets pending work through. The end is
            // fixed before the wait: a clock that moves meanwhile must not push it back.
            const bool held = (pending_.flags & kRecalcAnyMask) && computedOnce_;
            const int64_t end =
                held ? lastComputeMs_ + kMinIntervalMs : platform::TickMs() + kWaitMs;
            while (!event_ && !Stopping() && platform::TickMs() < end)
                cv_.wait_for(guard, std::chrono::milliseconds(NoltComm::kClockSliceMs));
            event_ = false;
            if (Stopping()) break;
            const int64_t now = platform::TickMs();
            if (!(pending_.flags & kRecalcAnyMask)) continue;
            if (computedOnce_ && now - lastComputeMs_ < kMinIntervalMs) continue;
            job = pending_;
            pending_.flags = 0;
            lastComputeMs_ = now;
            computedOnce_ = true;
        }
        // The questions may reach the server: asked without the lock, so the panel never
        // waits for them.
        QuantityResult result;
        if (job.flags & kRecalcOpenMask) {
            result.hasOpen = true;
            result.open = job.priceOutsideLimits || !ask_ ? 0 : ask_(job.open);
        }
        if (Stopping()) break;
        if (job.flags & kRecalcCloseMask) {
            result.hasClose = true;
            result.close = ask_ ? ask_(job.close) : 0;
        }
        computations_.fetch_add(1);
        if (Stopping()) break;
        {
            // A result the panel has not taken yet keeps what the new one did not ask again: a
            // question for the open quantity alone must not wipe the closable quantity.
            std::lock_guard guard(lock_);
            if (result_) {
                if (!result.hasOpen) {
                    result.hasOpen = result_->hasOpen;
                    result.open = result_->open;
                }
                if (!result.hasClose) {
                    result.hasClose = result_->hasClose;
                    result.close = result_->close;
                }
            }
            result_ = result;
        }
        ::PostMessage(window_, message_, 0, 0);
    }
    return 0;
}

}  // namespace orderentry
