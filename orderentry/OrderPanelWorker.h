// COrderPanelWorker: the order-entry panel's thread that asks the quantities that can be
// opened and closed, at most once per 1001 ms, from a snapshot the panel copies on its own
// thread; it posts its results to the panel and never touches a widget.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "platform/ui/WinDefsTypes.h"
#include "shell/WorkerThread.h"
#include "tradedata/OrderQuantity.h"

namespace orderentry {

// Recalculation flags: bit 0 contract set, 1 open/close changed, 2 direction changed, 3 price
// changed, 5 account, hedge or positions changed.
inline constexpr uint32_t kRecalcContract = 0x1;
inline constexpr uint32_t kRecalcOpenClose = 0x2;
inline constexpr uint32_t kRecalcDirection = 0x4;
inline constexpr uint32_t kRecalcPrice = 0x8;
inline constexpr uint32_t kRecalcPositions = 0x20;
inline constexpr uint32_t kRecalcOpenMask = 45;
inline constexpr uint32_t kRecalcCloseMask = 39;
inline constexpr uint32_t kRecalcAnyMask = 47;

// What the panel hands over: the two questions and why they are asked.
struct QuantitySnapshot {
    uint32_t flags = 0;
    tradedata::QuantityRequest open;   // open/close 1
    tradedata::QuantityRequest close;  // 2, or the panel's 4, 6, 7
    // A limit price outside the limits: 可开 is 0 without asking.
    bool priceOutsideLimits = false;
};

struct QuantityResult {
    bool hasOpen = false;
    int32_t open = 0;
    bool hasClose = false;
    int32_t close = 0;
};

class COrderPanelWorker : public shell::CWorkerThread {
public:
    static constexpr int64_t kMinIntervalMs = 1001;
    static constexpr int64_t kWaitMs = 1000;
    static constexpr int64_t kStopWaitMs = 1000;

    using QuantityFunction = std::function<int32_t(const tradedata::QuantityRequest&)>;

    // Results are announced to `window` with `message` (dropped once the window is gone).
    COrderPanelWorker(HWND window, UINT message, QuantityFunction ask);
    ~COrderPanelWorker() override;

    // User-interface thread: merges the flags with those still pending, takes the newest
    // questions, and wakes the thread.
    void Submit(const QuantitySnapshot& snapshot);
    // User-interface thread: the newest result, once.
    std::optional<QuantityResult> TakeResult();
    // Asks the stop, wakes the thread and waits up to timeoutMs, running `whileWaiting`
    // between short waits. True once the thread has ended.
    bool StopAndWait(int64_t timeoutMs = kStopWaitMs,
                     const std::function<void()>& whileWaiting = {});
    // Computations made so far.
    int Computations() const { return computations_.load(); }

protected:
    uint32_t Run() override;
    void Wake() override;

private:
    bool Stopping() const { return IsStopping() || stop_.load(); }

    HWND window_;
    UINT message_;
    QuantityFunction ask_;
    std::mutex lock_;
    std::condition_variable cv_;
    bool event_ = false;
    QuantitySnapshot pending_;
    std::optional<QuantityResult> result_;
    std::atomic<bool> stop_{false};
    std::atomic<int> computations_{0};
    int64_t lastComputeMs_ = 0;
    bool computedOnce_ = false;
};

}  // namespace orderentry
