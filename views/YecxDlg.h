// CYecxDlg: the funds and positions page of the standard panel ("资金持仓"): a strip of the
// focused account's funds figures above a futures position grid and an option position grid,
// each with its summary rows, refreshed from the frame's notices by a 100 ms timer step and a
// short-lived position worker.
// Not yet: the position commands and menus, the option exercise settings, the combination
// view, the currency button and the full funds strip with its colours.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "flexui/FlexDialog.h"
#include "flexui/GridCtrl.h"
#include "flexui/SplitterWndXp.h"
#include "record/FixRecord.h"
#include "views/OrderPaging.h"

namespace views {

class CYecxDlg : public CFlexDialog {
public:
    static constexpr UINT IDD = 277;
    static constexpr int kRefreshId = 1169;
    static constexpr int kAccountId = 1235;
    static constexpr int kFuturesGridId = 1085;
    static constexpr int kOptionGridId = 1788;
    static constexpr int kSplitterId = 1787;
    static constexpr int kRuleId = 1109;
    static constexpr int kShowCombinationId = 1791;
    static constexpr int kExerciseHedgeId = 1792;
    // The funds figures of the strip.
    static constexpr int kEquityId = 1701;
    static constexpr int kAvailableId = 1702;
    static constexpr int kMarginId = 1703;
    static constexpr int kRiskId = 1704;
    static constexpr int kCloseProfitId = 1705;
    static constexpr int kFloatProfitId = 1706;

    // Refresh bits of the timer step.
    static constexpr uint32_t kBindGrids = 2;
    static constexpr uint32_t kAccounts = 4;
    static constexpr uint32_t kAccountsFirst = 8;
    static constexpr uint32_t kFunds = 16;
    static constexpr uint32_t kPositions = 32;
    static constexpr uint32_t kCombinationContracts = 128;
    static constexpr uint32_t kSettings = 0x100;
    static constexpr uint32_t kQuotes = 0x20000;
    static constexpr uint32_t kExerciseHedgeState = 67108864;
    static constexpr uint32_t kBusy = 1u << 28;
    // View flags.
    static constexpr uint32_t kAllAccounts = 2;
    static constexpr uint32_t kByProduct = 4;
    static constexpr uint32_t kByDirection = 8;
    static constexpr uint32_t kShowCombinations = 16;
    static constexpr uint32_t kShowExchangeCombinations = 32;
    static constexpr uint32_t kOptionGridShown = 0x200;
    static constexpr uint32_t kFuturesGridShown = 0x400;
    static constexpr uint32_t kRelayout = 0x1000;
    static constexpr UINT kSplitterMoved = 0x5FE;
    static constexpr const char* kDetailHint = "双击'可用数量'平仓，F5刷新";
    static constexpr const char* kContractHint = "双击'总可用'、'今可用'、'昨可用'平仓，F5刷新";

    CYecxDlg();
    ~CYecxDlg() override;

    BOOL Create(CWnd* parent);
    BOOL DestroyWindow() override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnOK() override {}
    void OnCancel() override {}

    // ---- state the tests read ----
    CFixRecord& Positions() { return positions_; }
    CFixRecord& Details() { return details_; }
    CFixRecord& Options() { return options_; }
    CGridCtrl& FuturesGrid() { return futuresGrid_; }
    CGridCtrl& OptionGrid() { return optionGrid_; }
    uint32_t ViewFlags() const { return viewFlags_; }
    uint32_t RefreshMask() const { return refreshMask_.load(); }
    bool IsBusy() const { return (state_.load() & kBusy) != 0; }
    int PositionMode() const { return positionMode_; }
    const std::string& Accounts() const { return accounts_; }
    int BoundPasses() const { return boundPasses_; }
    int HedgeState() const { return hedgeState_; }
    // The timer step, run by the 100 ms timer.
    void TimerStep();

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnTimer(UINT_PTR id) override;
    void OnSize(UINT type, int cx, int cy) override;

private:
    class Worker;
    struct Snapshot;

    void OnFrameRefresh(uintptr_t bits, intptr_t argument);
    void OnFrameCommand(uintptr_t code);
    void OnSplitterMoved();
    void OnShowWindow(BOOL shown);
    void PostSelf(uint32_t bits);

    void FillAccountSelector();
    void ReadSettings(bool first);
    void ShowFunds();
    void StartPositionWorker();
    void OnWorkerDone();
    void BindGrids();
    void RevalueOnQuotes();
    void LayOut();

    static const char* CellText(CFixRecord* table, int row, int field, void* user);
    static COLORREF CellColor(CFixRecord* table, int row, int field, void* user);

    CGridCtrl futuresGrid_;
    CGridCtrl optionGrid_;
    CSplitterWndXp splitter_;
    bool splitterBound_ = false;
    CFixRecord positions_;
    CFixRecord details_;
    CFixRecord options_;
    std::string cellText_;

    std::atomic<uint32_t> refreshMask_{0};
    std::atomic<uint32_t> state_{0};
    uint32_t viewFlags_ = kOptionGridShown | kFuturesGridShown;
    int positionMode_ = 0;
    int hedgeState_ = -1;
    bool showCost_ = true;
    std::string accounts_;
    std::string account_;
    std::string hint_;
    std::vector<AccountChoice> choices_;
    bool offerAll_ = false;
    int boundPasses_ = 0;
    bool boundDetails_ = false;

    std::mutex lock_;
    std::unique_ptr<Snapshot> result_;
    std::unique_ptr<Worker> worker_;  // last: joined first
};

}  // namespace views
