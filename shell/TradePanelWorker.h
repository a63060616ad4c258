// CTradePanelWorker: the standard panel's background thread. Once a second it runs the panel's
// periodic checks; on its event it runs the batch jobs the panel requested through the shared
// state word. It reports only by posting and never waits for the user-interface thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "shell/WorkerThread.h"

namespace shell {

// Bits of the panel's state word.
inline constexpr uint32_t kPanelCancelAll = 1u << 20;
inline constexpr uint32_t kPanelCloseAll = 1u << 21;
inline constexpr uint32_t kPanelCancelOpeningOnly = 1u << 22;
inline constexpr uint32_t kPanelCancelClosingOnly = 1u << 23;
inline constexpr uint32_t kPanelOrderBarRight = 1u << 24;
inline constexpr uint32_t kPanelOrderBarTop = 1u << 25;
inline constexpr uint32_t kPanelWorkerStop = 1u << 29;

class CTradePanelWorker : public CWorkerThread {
public:
    // How long a stop waits for the thread before it is joined without limit.
    static constexpr int64_t kStopWaitMs = 1000;
    static constexpr int64_t kPeriodMs = 1000;

    // The jobs. An empty one does nothing.
    struct Jobs {
        std::function<void()> everySecond;  // trading-card cancels, timed orders, reminders
        std::function<void()> cancelAll;    // state bit 20
        std::function<void()> closeAll;     // state bit 21
    };

    // `state` is the panel's state word; it outlives the thread.
    CTradePanelWorker(std::atomic<uint32_t>& state, Jobs jobs);
    ~CTradePanelWorker() override;

    // Sets the event (manual reset: it stays set until the worker takes it). Any thread.
    void Signal();
    // The program's input has become idle: the thread begins its loop only then. Any thread.
    void MarkInputIdle();
    // Sets the stop bit, signals and waits up to timeoutMs, running `whileWaiting` between
    // short waits (the user-interface thread keeps its messages moving). True once the
    // thread has ended and is joined; on false it still runs and the destructor joins it.
    bool StopAndWait(int64_t timeoutMs = kStopWaitMs,
                     const std::function<void()>& whileWaiting = {});

protected:
    uint32_t Run() override;
    void Wake() override { Signal(); }

private:
    bool Stopping() const;

    std::atomic<uint32_t>& state_;
    Jobs jobs_;
    std::mutex lock_;
    std::condition_variable cv_;
    bool event_ = false;
    bool inputIdle_ = false;
};

}  // namespace shell
