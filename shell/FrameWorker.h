// CFrameWorker: the frame's background thread. It does the periodic and requested server work
// (funds, positions, notices, reference data, keep-alives) and reports only by posting; it
// never touches a window and never waits for the user-interface thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "shell/FrameMessages.h"
#include "shell/WorkerThread.h"

namespace NoltComm {
class CFixApiClient;
}

namespace shell {

// Frame state bit the start-up sets beside the frame protocol's ones.
inline constexpr uint32_t kFrameStartBit1000 = 0x1000;

// Tick mark numbers.
inline constexpr uint32_t kMarkUpgradeCheck = 1;
inline constexpr uint32_t kMarkQuoteSubscription = 2;
inline constexpr uint32_t kMarkFunds = 16108;
inline constexpr uint32_t kMarkPositions = 16154;

// Where a report goes.
enum class PostTarget { Frame, Workspace, QuoteBoard };

// Posts to the target's window as it is now (frameWindow for PostTarget::Frame); nothing when
// the window is gone. Any thread; never sends.
void PostToTarget(PostTarget target, HWND frameWindow, uint32_t message, uintptr_t wParam,
                  intptr_t lParam);

// What the worker shares with its frame. Both words are set by one side and cleared by the
// side that serves them, so every change is an atomic fetch_or/fetch_and.
class FrameWorkerHost {
public:
    virtual ~FrameWorkerHost() = default;
    virtual std::atomic<uint32_t>& StateWord() = 0;
    virtual std::atomic<uint32_t>& RequestWord() = 0;
    // Posts; never sends (the worker must not wait for the user-interface thread).
    virtual void Post(PostTarget target, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual void SetNoticeText(std::string text) = 0;
    virtual NoltComm::CFixApiClient* TradingConnection() = 0;
    virtual NoltComm::CFixApiClient* PushConnection() = 0;
};

class CFrameWorker : public CWorkerThread {
public:
    static constexpr int64_t kPassSleepMs = 30;
    static constexpr int64_t kKeepAliveMs = 30000;

    explicit CFrameWorker(FrameWorkerHost& host) : host_(host) {}
    ~CFrameWorker() override;

    // The station description (program-wide; handed out by the frame's service message).
    static std::string StationText();
    static void SetStationText(std::string text);

    // One pass of the loop (what Run repeats every kPassSleepMs); public for tests that drive
    // passes by hand. Returns whether it did server work.
    bool RunPass();
    // The start-up steps Run performs before its first pass.
    void RunStart();
    // Wakes a sleeping pass early (a request bit was just set).
    void Nudge();
    // The program's input has become idle (the user-interface thread's first idle point): the
    // thread starts its work only then. Any thread.
    void MarkInputIdle();

    // Loads the notices of the current customer (request 16340); the count added.
    int LoadNotices();
    // Request 16409; true when another station holds the customer's login (notice posted).
    bool CheckLoginElsewhere();

protected:
    uint32_t Run() override;
    void Wake() override { Nudge(); }

    uint32_t State() const { return host_.StateWord().load(std::memory_order_acquire); }
    void SetState(uint32_t bits) { host_.StateWord().fetch_or(bits, std::memory_order_acq_rel); }
    void ClearState(uint32_t bits) { host_.StateWord().fetch_and(~bits, std::memory_order_acq_rel); }
    // Clears the bits and tells whether any of them was set (atomically: a bit set between a
    // test and a clear is never lost).
    bool TakeRequest(uint32_t bits) {
        return (host_.RequestWord().fetch_and(~bits, std::memory_order_acq_rel) & bits) != 0;
    }
    bool TakeState(uint32_t bits) {
        return (host_.StateWord().fetch_and(~bits, std::memory_order_acq_rel) & bits) != 0;
    }
    // Reports go to the workspace window, which passes them on to the panels; only the
    // station text, the bill, the margin login and the login-elsewhere notice are the frame's.
    // The target is always named, so a report never lands on a window that ignores it.
    void PostCommand(PostTarget target, uint32_t code, intptr_t arg) {
        host_.Post(target, WM_FRAME_COMMAND, code, arg);
    }
    void PostRefresh(PostTarget target, uint32_t bits, intptr_t row = 0) {
        host_.Post(target, WM_FRAME_REFRESH, bits, row);
    }

    // ---- Work of other subsystems; each does nothing (or reports "nothing done") here. ----
    // Waits for MarkInputIdle (no time-out; a stop ends the wait). False when stopping.
    virtual bool WaitInputIdle();
    virtual bool MarginLoginWanted();
    virtual void OpenMulticastFeed() {}
    virtual void ConnectLevel2() {}
    virtual void ReloadContracts();
    virtual void ConnectQuoteSources() {}
    virtual std::string LoadSettlementBill();
    virtual bool LoadNextRate();
    virtual void LoadCombinations(bool first);
    virtual void LoadOptions(bool first);
    virtual void QueryTradeCounters();
    // Loads the price sources and banks when their tables have no columns yet.
    virtual void LoadBankReferences();
    virtual bool ReopenLostFeeds() { return false; }
    virtual bool SubscribeQuotes() { return false; }
    // Push subscriptions asked for by another thread, and serving them: true when none is
    // left wanted.
    virtual bool PushSubscriptionsPending() { return false; }
    virtual bool RunPendingSubscriptions() { return true; }
    // Refreshes the next flagged snapshot row; false when no row of any table is left.
    virtual bool RefreshNextSnapshot();
    virtual void LoadCombinationCodes(bool first) { (void)first; }
    // Whether any exchange's clock lies inside one of its trading sections.
    virtual bool InsideExchangeSession();
    // The keep-alives; false when the connection is missing, closed or did not answer.
    virtual bool SendPushHeartbeat();
    virtual bool SendTradingHeartbeat();
    virtual void RunUpgradeCheck(bool first) { (void)first; }
    // Whether the user last worked in the frame (or in no window yet): the login-elsewhere
    // check waits until then.
    virtual bool FrameIsLastActive();
    // Flushes the trace file once nothing was written to it for more than 2000 ms.
    virtual void FlushLog();
    virtual int64_t NowMs() const;

private:
    void StepStation();
    void StepKeepAlives(bool& busy);

    FrameWorkerHost& host_;
    std::mutex sleepLock_;
    std::condition_variable sleepCv_;
    bool nudged_ = false;
    bool inputIdle_ = false;
    int64_t subscriptionRetryAt_ = 0;  // after a failed subscription, not before this
};

class CMainFrame;
// The frame's worker: reports go to the frame, the workspace window and the quote board (the
// data model's registry names it); the trading connection is the program's, the push
// connection the frame's.
std::unique_ptr<CWorkerThread> MakeFrameWorker(CMainFrame& frame);

}  // namespace shell
