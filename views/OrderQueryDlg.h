// COrderQueryDlg: the order list page of the standard panel ("委托"): the day's orders of one
// account or of its group, paged newest first, kept current from order and trade pushes, with
// hide boxes and an optional side grid of positions or trades beside or below it.
// Not yet: the order commands (cancel, lock, reprice, refill, menus and keys), the combination
// view of the positions panel, and paging of the trades panel.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "flexui/FlexDialog.h"
#include "flexui/GridCtrl.h"
#include "flexui/SplitterWndXp.h"
#include "record/FixRecord.h"
#include "views/OrderPaging.h"

namespace views {

class COrderQueryDlg : public CFlexDialog {
public:
    static constexpr UINT IDD = 160;
    static constexpr int kOrderGridId = 1071;
    static constexpr int kSideGridId = 1622;
    static constexpr int kSplitterId = 1109;
    static constexpr int kAccountId = 1235;
    static constexpr int kRefreshId = 1169;
    static constexpr int kCancelId = 1173;
    static constexpr int kRepriceId = 1453;
    static constexpr int kHideFilledId = 1157;
    static constexpr int kHideCancelledId = 1162;
    static constexpr int kHideRejectedId = 1310;
    static constexpr int kHideExtendedId = 1311;

    // Pending-work bits.
    static constexpr uint32_t kPendFullQuery = 0x0001;
    static constexpr uint32_t kPendAccounts = 0x0004;
    static constexpr uint32_t kPendFirstPass = 0x0008;
    static constexpr uint32_t kPendPositions = 0x0020;
    static constexpr uint32_t kPendDecimals = 0x08c0;
    static constexpr uint32_t kPendSettings = 0x0100;
    static constexpr uint32_t kPendOrders = 0x1000;
    static constexpr uint32_t kPendTrades = 0x2000;
    static constexpr uint32_t kPendRetryDecimals = 0x20000;
    static constexpr uint32_t kPendClearedByQuery = 0xfc0000;
    static constexpr uint32_t kRequestAll = 12320;  // F5, refresh, account change
    // Busy word bits.
    static constexpr uint32_t kBusy = 1u << 28;
    static constexpr uint32_t kBusyFullQuery = 1u << 30;
    // WM_APP+1 commands of the workspace: cancel the best buy / sell order of a contract.
    static constexpr uintptr_t kCancelBestBuy = 16777216;
    static constexpr uintptr_t kCancelBestSell = 33554432;
    // The splitter's message after a drag.
    static constexpr UINT kSplitterMoved = 0x5FE;
    // Private: a re-read order of a push is ready.
    static constexpr UINT kOrderReread = 0x8000 + 0x60;
    static constexpr const char* kHint = "左键双击记录撤单";
    static constexpr const char* kMoreHint = " 还有分页数据,在最后一行按PageDn继续查询";

    COrderQueryDlg();
    ~COrderQueryDlg() override;

    // The page as a hidden child of the panel.
    BOOL Create(CWnd* parent);
    BOOL DestroyWindow() override;

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Enter and Escape do nothing in a page.
    void OnOK() override {}
    void OnCancel() override {}

    // ---- state the tests read ----
    CFixRecord& ShownOrders() { return shown_; }
    CFixRecord& AllOrders() { return all_; }
    CFixRecord& SideRows() { return side_; }
    CGridCtrl& OrderGrid() { return orderGrid_; }
    CGridCtrl& SideGrid() { return sideGrid_; }
    uint32_t Pending() const { return pending_.load(); }
    bool IsBusy() const { return (busy_.load() & kBusy) != 0; }
    int32_t MoreOrdersSerial() const { return moreOrders_; }
    const std::string& StatusText() const { return status_; }
    std::string AccountList() const;
    uint32_t PanelWord() const { return panel_; }
    const HideFlags& Hide() const { return hide_; }
    // How many query passes and re-reads have been applied (tests wait on them).
    int AppliedPasses() const { return appliedPasses_; }
    int AppliedRereads() const { return appliedRereads_; }
    int AppliedSidePasses() const { return appliedSidePasses_; }
    // Nothing running and no query of the orders or of the shown side panel waiting.
    bool IsIdle() const;

    // Scroll-down or Page Down on the last row: the next page of every account that has one.
    void RequestNextPage();

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnTimer(UINT_PTR id) override;

private:
    class Worker;
    struct Reread;
    struct Inputs {
        std::vector<std::string> accounts;
        std::string current;
        int32_t pageSize = 20;
        uint32_t filterMask = 0;
        uint32_t panel = 0;
        int32_t bargainMerge = 0;
    };

    void OnFrameRefresh(uintptr_t bits, intptr_t argument);
    void OnQueryEnded(intptr_t gridId);
    void OnOrderConfirmed(int32_t orderNumber, int flag);
    void OnTradeReturned(int32_t orderNumber);
    void OnOrderReread();
    void OnSplitterMoved();
    void OnShowWindow(BOOL shown);
    void OnHideBox(int id);
    void OnAccountChosen();

    void ProcessPendingWork();
    void ApplySettings();
    void FillAccountSelector();
    void RebuildAccountList();
    void RecomputeDecimals();
    void LayOut();
    void CreateSideRecord(uint32_t kind, uint32_t options);
    void PostSelf(uintptr_t bits);
    void PublishInputs();
    // Asks the worker to re-read one order of a push; false when the push must fall back to a
    // full query.
    bool StartReread(int32_t orderNumber, int flag, bool trade);
    void RequestFullQuery();
    // Worker side: one round over the pending bits and the jobs the window handed over.
    void WorkerStep();
    void RunSidePanel(const Inputs& inputs, uint32_t kind);

    static const char* CellText(CFixRecord* table, int row, int field, void* user);
    static COLORREF CellColor(CFixRecord* table, int row, int field, void* user);

    CGridCtrl orderGrid_;
    CGridCtrl sideGrid_;
    CSplitterWndXp splitter_;
    CFixRecord shown_;
    CFixRecord all_;
    CFixRecord side_;
    std::string cellText_;

    HideFlags hide_;
    std::atomic<uint32_t> pending_{0};
    std::atomic<uint32_t> busy_{0};
    std::atomic<bool> delay_{false};
    std::atomic<HWND> window_{0};
    uint32_t state_ = 0;
    uint32_t panel_ = 255;
    bool splitterBound_ = false;
    int32_t moreOrders_ = 0;
    SerialMap serials_;
    std::vector<AccountChoice> choices_;
    bool offerAll_ = false;
    std::string accounts_;
    std::string status_;
    int32_t refillOrder_ = 0;
    std::string refillExchange_;
    int32_t bargainMerge_ = 0;
    int32_t cancelKey_ = 46;
    int32_t focusOnQuickCancel_ = 0;
    int32_t excludeLocked_ = 1;
    int appliedPasses_ = 0;
    int appliedRereads_ = 0;
    int appliedSidePasses_ = 0;

    // Between the window and the worker.
    std::mutex lock_;
    std::condition_variable_any wake_;
    Inputs inputs_;
    std::unique_ptr<OrderPageJob> pageJob_;        // an incremental pass handed over
    std::unique_ptr<OrderPageResult> pageResult_;  // a finished pass
    std::unique_ptr<Reread> reread_;               // a push's order to re-read, then its answer
    std::unique_ptr<CFixRecord> sideResult_;
    std::unique_ptr<Worker> worker_;  // last: stopped and joined first
};

}  // namespace views
