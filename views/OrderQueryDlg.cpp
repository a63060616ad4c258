// COrderQueryDlg: the order list page, its worker, the push merge and the side panels.
#include "views/OrderQueryDlg.h"

#include <chrono>
#include <stop_token>

#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "record/MemRecord.h"
#include "shell/WorkerThread.h"
#include "shell/services/SettingsWriters.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/OrderQuery.h"
#include "tradedata/Positions.h"
#include "tradedata/Registries.h"
#include "tradedata/RunRegisters.h"
#include "tradedata/TradeRequest.h"
#include "tradedata/TradingHelpers.h"
#include "views/PaneLayout.h"

namespace views {
namespace {

constexpr UINT kWmRefresh = 0x8001;
constexpr UINT kWmOrderEvent = 0x8002;
constexpr UINT kWmCommand = 0x8003;
constexpr UINT_PTR kTimerId = 1;
constexpr uint32_t kTickMarkDecimals = 6;

// The merged buy/sell position layout of the positions panel.
const tagFIXHEADERINFO kMergedPositionLayout[] = {
    {601, "交易所", "C16", 0},    {719, "合约代码", "C32", 0},  {3053, "投保", "C8", 0},
    {2044, "总买持", "N8", 0},    {2045, "今买持", "N8", 0},    {2046, "昨买持", "N8", 0},
    {2047, "买可用", "N8", 0},    {2048, "今买可用", "N8", 0},  {2049, "昨买可用", "N8", 0},
    {2050, "买均价", "R12.4", 0}, {2051, "总卖持", "N8", 0},    {2052, "今卖持", "N8", 0},
    {2053, "昨卖持", "N8", 0},    {2054, "卖可用", "N8", 0},    {2055, "今卖可用", "N8", 0},
    {2056, "昨卖可用", "N8", 0},  {2057, "卖均价", "R12.4", 0}, {1720, "保证金", "R16.2", 0},
    {1716, "交易编码", "C16", 0}, {605, "客户号", "C16", 0},    {599, "JYS", "C4", 0},
    {1717, "TZLB", "N1", 0},      {1045, "XSJD", "N1", 0},      {0, "", "", 0}};

// Source fields of the merged columns, buy side first (sell = +7).
constexpr unsigned kMergedSources[] = {757, 845, 853, 1460, 1861, 1860, 1209};

struct SidePanelKind {
    const tagFIXHEADERINFO* layout;
    const char* name;
};

// The side record of a panel kind and its options.
SidePanelKind SideLayout(uint32_t kind, uint32_t options, int32_t bargainMerge) {
    if (kind == 1)
        return (options & 0x400) != 0
                   ? SidePanelKind{kMergedPositionLayout, "wtcx_cccx_mmzh"}
                   : SidePanelKind{tradedata::kPositionSummaryLayout, "wtcx_cccx"};
    return bargainMerge != 0 ? SidePanelKind{tradedata::kTradeLayout, "wtcx_drcjcx"}
                             : SidePanelKind{tradedata::kTradeDetailLayout, "wtcx_drcjmx"};
}

// Rows of `from` whose customer is khh appended to `to` (by field).
void AppendRowsOf(CFixRecord& to, CFixRecord& from, const std::string& khh) {
    from.acquireLockShared();
    for (int row = 0; row < from.GetCount(); ++row)
        if (from.Get(605, row) == khh) to.Append(&from, row);
    from.releaseLockShared();
}

// One merged row per contract, the buy side in 2044-2050 and the sell side in 2051-2057.
void BuildMergedPositions(CFixRecord& merged, CFixRecord& rows) {
    merged.Create(kMergedPositionLayout);
    for (int row = 0; row < rows.GetCount(); ++row) {
        const std::string khh = rows.Get(605, row);
        const std::string exchange = rows.Get(599, row);
        const std::string contract = rows.Get(719, row);
        const std::string code = rows.Get(1716, row);
        const int32_t hedge = rows.GetLong(1717, row);
        int target = -1;
        for (int m = 0; m < merged.GetCount() && target < 0; ++m)
            if (merged.Get(605, m) == khh && merged.Get(599, m) == exchange &&
                merged.Get(719, m) == contract && merged.Get(1716, m) == code &&
                merged.GetLong(1717, m) == hedge)
                target = m;
        if (target < 0) {
            target = merged.GetMemRecord()->Append(nullptr, true);
            merged.Set(599, exchange, target);
            merged.Set(719, contract, target);
            merged.Set(1716, code, target);
            merged.Set(1717, hedge, target);
            merged.Set(3053, rows.Get(3053, row), target);
            merged.Set(601, rows.Get(601, row), target);
            merged.Set(605, khh, target);
            merged.Set(1045, rows.GetLong(1045, row), target);
        }
        const unsigned first = rows.GetLong(683, row) == 1 ? 2044 : 2051;
        for (unsigned i = 0; i < std::size(kMergedSources); ++i) {
            if (kMergedSources[i] == 1209)
                merged.Set(first + i, rows.GetDouble(1209, row), target);
            else
                merged.Set(first + i, rows.GetLong(kMergedSources[i], row), target);
        }
        merged.Set(1720, merged.GetDouble(1720, target) + rows.GetDouble(1720, row), target);
    }
}

}  // namespace

// A push's order to re-read on the worker, and its answer.
struct COrderQueryDlg::Reread {
    std::string khh, exchange;
    int32_t orderNumber = 0;
    int flag = 0;
    bool trade = false;
    bool done = false;
    bool found = false;
    CFixRecord row;  // the re-read order (query layout, row 0)
};

// The view's worker: waits for work (or 100 ms), then runs one step of the owner.
class COrderQueryDlg::Worker : public shell::CWorkerThread {
public:
    explicit Worker(COrderQueryDlg& owner) : owner_(owner) {}
    ~Worker() override { Stop(); }

protected:
    uint32_t Run() override {
        const std::stop_token token = StopToken();
        while (!IsStopping()) {
            owner_.WorkerStep();
            std::unique_lock lock(owner_.lock_);
            owner_.wake_.wait_for(lock, token, std::chrono::milliseconds(100), [this] {
                return owner_.pageJob_ != nullptr ||
                       (owner_.reread_ != nullptr && !owner_.reread_->done);
            });
        }
        return 0;
    }

private:
    COrderQueryDlg& owner_;
};

COrderQueryDlg::COrderQueryDlg() : CFlexDialog(IDD, nullptr) {}

COrderQueryDlg::~COrderQueryDlg() { worker_.reset(); }

BOOL COrderQueryDlg::Create(CWnd* parent) { return CDialog::Create(IDD, parent); }

BOOL COrderQueryDlg::DestroyWindow() {
    if (worker_) worker_->Stop(1000);
    worker_.reset();  // joined: it never runs against a window that is gone
    if (m_hWnd != 0) tradedata::RemoveNotifyWindow(m_hWnd);
    window_.store(0);
    return CFlexDialog::DestroyWindow();
}

void COrderQueryDlg::DoDataExchange(CDataExchange* dx) { CFlexDialog::DoDataExchange(dx); }

BOOL COrderQueryDlg::OnInitDialog() {
    CFlexDialog::OnInitDialog();
    shown_.Create(tradedata::kOrderQueryLayout);
    all_.Create(tradedata::kOrderQueryLayout);
    orderGrid_.SubclassDlgItem(kOrderGridId, this);
    orderGrid_.SetFieldTextColor(&CellColor, this);
    orderGrid_.SetRecordTextFunctor(&CellText, this);
    orderGrid_.SetRecord(&shown_, "wtcx");
    orderGrid_.EnableScrollbarParentNotify(TRUE);
    sideGrid_.SubclassDlgItem(kSideGridId, this);
    sideGrid_.SetFieldTextColor(&CellColor, this);
    sideGrid_.SetRecordTextFunctor(&CellText, this);
    sideGrid_.EnableScrollbarParentNotify(TRUE);
    hide_.cancelled = pavlet::ReadPrivateConfigInt("WTCX", "HIDECDWT", 0, 0, 1);
    hide_.filled = pavlet::ReadPrivateConfigInt("WTCX", "HIDECJWT", 0, 0, 1);
    hide_.rejected = pavlet::ReadPrivateConfigInt("WTCX", "HIDEFDWT", 0, 0, 1);
    hide_.extended = pavlet::ReadPrivateConfigInt("WTCX", "HIDEKZWT", 1, 0, 1);
    CheckDlgButton(kHideCancelledId, hide_.cancelled ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(kHideFilledId, hide_.filled ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(kHideRejectedId, hide_.rejected ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(kHideExtendedId, hide_.extended ? BST_CHECKED : BST_UNCHECKED);
    window_.store(m_hWnd);
    PublishInputs();
    worker_ = std::make_unique<Worker>(*this);
    worker_->Start();
    PostSelf(kPendFirstPass);
    tradedata::AddNotifyWindow(m_hWnd);
    SetTimer(kTimerId, 1000);
    return TRUE;
}

BOOL COrderQueryDlg::PreTranslateMessage(MSG* msg) { return CFlexDialog::PreTranslateMessage(msg); }

LRESULT COrderQueryDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kWmRefresh:
            OnFrameRefresh(wParam, lParam);
            return 0;
        case kWmOrderEvent:
            if (LOWORD(wParam) == 2) OnOrderConfirmed(static_cast<int32_t>(lParam), HIWORD(wParam));
            if (LOWORD(wParam) == 3) OnTradeReturned(static_cast<int32_t>(lParam));
            return 0;
        case kOrderReread:
            OnOrderReread();
            return 0;
        case kSplitterMoved:
            OnSplitterMoved();
            return 0;
        case WM_SHOWWINDOW:
            OnShowWindow(static_cast<BOOL>(wParam));
            break;
        case WM_VSCROLL: {
            const WORD code = LOWORD(wParam);
            if (code == SB_LINEDOWN || code == SB_PAGEDOWN || code == SB_BOTTOM) RequestNextPage();
            break;
        }
        default:
            break;
    }
    return CFlexDialog::WindowProc(message, wParam, lParam);
}

void COrderQueryDlg::PostSelf(uintptr_t bits) {
    if (const HWND window = window_.load()) ::PostMessage(window, kWmRefresh, bits, 0);
}

void COrderQueryDlg::OnFrameRefresh(uintptr_t bits, intptr_t argument) {
    if (bits == 2) {
        OnQueryEnded(argument);
        return;
    }
    if (bits == 4096) {
        pending_.fetch_or(kPendOrders);
        wake_.notify_all();
        return;
    }
    if (bits == kCancelBestBuy || bits == kCancelBestSell) return;  // the order commands
    pending_.fetch_or(static_cast<uint32_t>(bits));
    wake_.notify_all();
    if (m_hWnd != 0) ProcessPendingWork();
}

void COrderQueryDlg::OnQueryEnded(intptr_t gridId) {
    if (gridId == kOrderGridId) {
        std::unique_ptr<OrderPageResult> result;
        {
            std::lock_guard lock(lock_);
            result = std::move(pageResult_);
        }
        if (result) {
            // The old rows stay until the pass has finished; then all of them are replaced.
            all_ = result->allRows;
            shown_ = result->shownRows;
            serials_ = result->serials;
            moreOrders_ = result->moreSerial;
            status_ = result->status;
            if (result->missingDecimals) state_ |= 1;
            if (refillOrder_ != 0) {
                const int row =
                    shown_.LocateEx({{681, std::to_string(refillOrder_)}, {599, refillExchange_}});
                if (row >= 0 && shown_.GetLong(886, row) > 0) {
                    tradedata::OrderFill fill;
                    fill.code = shown_.Get(719, row);
                    fill.openClose = shown_.GetLong(1718, row);
                    fill.direction = shown_.GetLong(683, row);
                    fill.quantity = shown_.GetLong(886, row);
                    fill.price = shown_.GetDouble(682, row);
                    fill.requestKind = 2;
                    tradedata::SendOrderFillRequest(true, m_hWnd, fill);
                    refillOrder_ = 0;
                    refillExchange_.clear();
                }
            }
            ++appliedPasses_;
            busy_.fetch_and(~(kBusy | kBusyFullQuery));
        }
        orderGrid_.Refresh();
        std::string text = status_;
        if (text.empty()) {
            text = kHint;
            if (moreOrders_ != 0) text += kMoreHint;
        }
        tradedata::SendTextToMainWindow(text, false);
        return;
    }
    if (gridId == kSideGridId) {
        std::unique_ptr<CFixRecord> rows;
        {
            std::lock_guard lock(lock_);
            rows = std::move(sideResult_);
        }
        if (rows) {
            side_ = *rows;
            ++appliedSidePasses_;
            busy_.fetch_and(~kBusy);
        }
        sideGrid_.Refresh();
    }
}

std::string COrderQueryDlg::AccountList() const { return accounts_; }

bool COrderQueryDlg::IsIdle() const {
    const uint32_t kind = panel_ == 255 ? 0 : (panel_ & 0x0F);
    uint32_t waiting = kPendFullQuery | kPendOrders;
    if (kind == 1) waiting |= kPendPositions;
    if (kind == 2) waiting |= kPendTrades;
    return (busy_.load() & kBusy) == 0 && (pending_.load() & waiting) == 0;
}

void COrderQueryDlg::PublishInputs() {
    std::lock_guard lock(lock_);
    inputs_.accounts = SplitAccounts(accounts_);
    inputs_.current = tradedata::GetCurrentKhh();
    inputs_.pageSize = shell::GetRowsPerRequest();
    inputs_.filterMask = MakeFilterMask(hide_);
    inputs_.panel = panel_ == 255 ? 0 : panel_;
    inputs_.bargainMerge = bargainMerge_;
}

void COrderQueryDlg::RequestFullQuery() {
    pending_.fetch_or(kPendOrders);
    wake_.notify_all();
}

// ---- worker ----

void COrderQueryDlg::WorkerStep() {
    NoltComm::CFixApiClient* connection = tradedata::GetTradingConnection();
    // Jobs the window handed over (it set the busy bit for them).
    std::unique_ptr<OrderPageJob> job;
    Reread* reread = nullptr;
    {
        std::lock_guard lock(lock_);
        job = std::move(pageJob_);
        if (reread_ && !reread_->done) reread = reread_.get();
    }
    if (job) {
        auto result = std::make_unique<OrderPageResult>();
        RunOrderPage(connection, *job, *result);
        {
            std::lock_guard lock(lock_);
            pageResult_ = std::move(result);
        }
        ::PostMessage(window_.load(), kWmRefresh, 2, kOrderGridId);
    }
    if (reread != nullptr) {
        std::string khh, exchange;
        int32_t number = 0;
        {
            std::lock_guard lock(lock_);
            khh = reread->khh;
            exchange = reread->exchange;
            number = reread->orderNumber;
        }
        CFixRecord row;
        const bool found = tradedata::QuerySingleOrder(connection, row, khh, exchange, number);
        {
            std::lock_guard lock(lock_);
            if (reread_.get() == reread) {
                reread->row = row;
                reread->found = found;
                reread->done = true;
            }
        }
        ::PostMessage(window_.load(), kOrderReread, 0, 0);
    }

    Inputs inputs;
    {
        std::lock_guard lock(lock_);
        inputs = inputs_;
    }
    if (window_.load() == 0) return;
    if (inputs.accounts.empty() || tradedata::GetBatchOperationCount() > 0) return;

    if ((pending_.load() & (kPendFullQuery | kPendOrders)) != 0) {
        uint32_t expected = busy_.load() & ~(kBusy | kBusyFullQuery);
        if (busy_.compare_exchange_strong(expected, expected | kBusy | kBusyFullQuery)) {
            if (delay_.exchange(false)) {
                // The orders in state 0 are about to be confirmed: one query after them.
                std::unique_lock lock(lock_);
                wake_.wait_for(lock, std::chrono::milliseconds(300), [] { return false; });
            }
            pending_.fetch_and(~(kPendFullQuery | kPendOrders | kPendClearedByQuery));
            {
                std::lock_guard lock(lock_);
                inputs = inputs_;
            }
            OrderPageJob full;
            full.full = true;
            full.accounts = inputs.accounts;
            full.pageSize = inputs.pageSize;
            full.filterMask = inputs.filterMask;
            auto result = std::make_unique<OrderPageResult>();
            RunOrderPage(connection, full, *result);
            {
                std::lock_guard lock(lock_);
                pageResult_ = std::move(result);
            }
            ::PostMessage(window_.load(), kWmRefresh, 2, kOrderGridId);
        }
    }
    const uint32_t kind = inputs.panel & 0x0F;
    if ((pending_.load() & kPendPositions) != 0 && kind == 1) {
        uint32_t expected = busy_.load() & ~kBusy;
        if (busy_.compare_exchange_strong(expected, expected | kBusy)) {
            pending_.fetch_and(~kPendPositions);
            RunSidePanel(inputs, 1);
        }
    }
    if ((pending_.load() & kPendTrades) != 0 && kind == 2) {
        uint32_t expected = busy_.load() & ~kBusy;
        if (busy_.compare_exchange_strong(expected, expected | kBusy)) {
            pending_.fetch_and(~kPendTrades);
            RunSidePanel(inputs, 2);
        }
    }
}

void COrderQueryDlg::RunSidePanel(const Inputs& inputs, uint32_t kind) {
    NoltComm::CFixApiClient* connection = tradedata::GetTradingConnection();
    const uint32_t options = inputs.panel & 0x700;
    const SidePanelKind layout = SideLayout(kind, options, inputs.bargainMerge);
    auto rows = std::make_unique<CFixRecord>();
    if (kind == 1) {
        CFixRecord collected;
        collected.Create(tradedata::kPositionSummaryLayout);
        for (const std::string& khh : inputs.accounts) {
            if (khh == inputs.current) {
                AppendRowsOf(collected, tradedata::PositionSummaryTable, khh);
                continue;
            }
            CFixRecord detail, summary;
            detail.Create(tradedata::kPositionDetailLayout);
            summary.Create(tradedata::kPositionSummaryLayout);
            int32_t value739 = 0, value1740 = 0;
            tradedata::GetPositionQueryValues(&value739, &value1740);
            if (tradedata::QueryPositions(connection, khh, detail, value739, value1740, 0) < 0)
                continue;
            tradedata::BuildPositionSummary(summary, detail, false);
            for (int row = 0; row < summary.GetCount(); ++row) {
                tradedata::SubscribeQuote(summary.Get(719, row).c_str(), window_.load());
                collected.Append(&summary, row);
            }
        }
        if ((options & 0x400) != 0)
            BuildMergedPositions(*rows, collected);
        else
            *rows = collected;
    } else {
        rows->Create(layout.layout);
        for (const std::string& khh : inputs.accounts) {
            auto request = NoltComm::CTradeRequest::Create(connection);
            request->SetFunction(16161);
            tradedata::FillAccountFields(*request, khh);
            request->SetLong(959, inputs.bargainMerge != 0 ? 2 : 0);
            request->SetLong(763, 0);
            request->SetLong(762, inputs.pageSize);
            request->Send();
            while (request->NextRow()) {
                if (request->GetLong(507) < 0) continue;
                if (inputs.bargainMerge != 0) tradedata::StoreOrderFill(*request);
                request->AppendRowTo(rows.get(), false);
            }
        }
        CMemRecord* mem = rows->GetMemRecord();
        if (inputs.accounts.size() > 1) mem->Sort(mem->FindIndex(862u), false);
        if (inputs.bargainMerge != 0)
            tradedata::MergeCombinationTrades(*rows);
        else
            tradedata::FillTradeOrderFields(*rows);
    }
    for (int row = 0; row < rows->GetCount(); ++row) {
        if (kind == 2) tradedata::FillTradeRowTexts(*rows, row);
        tradedata::SetRowPriceDecimals(*rows, row);
    }
    {
        std::lock_guard lock(lock_);
        sideResult_ = std::move(rows);
    }
    ::PostMessage(window_.load(), kWmRefresh, 2, kSideGridId);
}

// ---- paging and pushes (window thread) ----

void COrderQueryDlg::RequestNextPage() {
    if (moreOrders_ == 0 || accounts_.empty()) return;
    const int active = orderGrid_.GetActiveItem();
    if (active >= 0 && active != orderGrid_.GetViewCount() - 1) return;
    uint32_t expected = busy_.load() & ~kBusy;
    if (!busy_.compare_exchange_strong(expected, expected | kBusy)) return;
    auto job = std::make_unique<OrderPageJob>();
    job->full = false;
    job->accounts = SplitAccounts(accounts_);
    job->pageSize = shell::GetRowsPerRequest();
    job->filterMask = MakeFilterMask(hide_);
    job->serials = serials_;
    job->allRows = all_;
    job->baseCount = shown_.GetCount();
    {
        std::lock_guard lock(lock_);
        pageJob_ = std::move(job);
    }
    wake_.notify_all();
}

bool COrderQueryDlg::StartReread(int32_t orderNumber, int flag, bool trade) {
    if (m_hWnd == 0 || orderNumber == 0 || IsBusy() || (pending_.load() & kPendOrders) != 0)
        return false;
    uint32_t expected = busy_.load() & ~kBusy;
    if (!busy_.compare_exchange_strong(expected, expected | kBusy)) return false;
    if (!trade) {
        int waiting = 0;
        for (int row = 0; row < shown_.GetCount(); ++row)
            if (shown_.GetLong(753, row) == 0) ++waiting;
        if (waiting >= 3) {
            delay_.store(true);
            busy_.fetch_and(~kBusy);
            return false;
        }
    }
    const int row = shown_.Find(681, orderNumber);
    if (row < 0) {
        busy_.fetch_and(~kBusy);
        return false;
    }
    auto reread = std::make_unique<Reread>();
    reread->khh = shown_.Get(605, row);
    reread->exchange = shown_.Get(599, row);
    reread->orderNumber = orderNumber;
    reread->flag = flag;
    reread->trade = trade;
    {
        std::lock_guard lock(lock_);
        reread_ = std::move(reread);
    }
    wake_.notify_all();
    return true;
}

void COrderQueryDlg::OnOrderConfirmed(int32_t orderNumber, int flag) {
    if (!StartReread(orderNumber, flag, false)) RequestFullQuery();
    if (flag == 3 && (panel_ & 0x0F) == 1 && m_hWnd != 0 && (pending_.load() & kPendPositions) == 0)
        PostSelf(kPendPositions);
}

void COrderQueryDlg::OnTradeReturned(int32_t orderNumber) {
    if (!StartReread(orderNumber, 0, true)) RequestFullQuery();
    if ((panel_ & 0x0F) == 2) {
        pending_.fetch_or(kPendTrades);
        wake_.notify_all();
    }
}

void COrderQueryDlg::OnOrderReread() {
    std::unique_ptr<Reread> reread;
    {
        std::lock_guard lock(lock_);
        if (!reread_ || !reread_->done) return;
        reread = std::move(reread_);
    }
    ++appliedRereads_;
    int row = -1;
    const OrderMerge merged = reread->found ? MergeOrderRow(shown_, all_, reread->row, hide_, &row)
                                            : OrderMerge::NotFound;
    if (merged == OrderMerge::NotFound) {
        // Not found, or gone meanwhile: the whole list is asked again.
        busy_.fetch_and(~kBusy);
        RequestFullQuery();
        return;
    }
    // The refill wait reads the re-read row: the shown one may have been hidden.
    CFixRecord& fresh = reread->row;
    const int32_t cancelled = fresh.GetLong(886, 0);
    if (!reread->trade && cancelled >= 1 && !refillExchange_.empty() &&
        refillOrder_ == reread->orderNumber && refillExchange_ == fresh.Get(599, 0)) {
        tradedata::OrderFill fill;
        fill.code = fresh.Get(719, 0);
        fill.openClose = fresh.GetLong(1718, 0);
        fill.direction = fresh.GetLong(683, 0);
        fill.quantity = cancelled;
        fill.price = fresh.GetDouble(682, 0);
        fill.requestKind = 2;
        tradedata::SendOrderFillRequest(true, m_hWnd, fill);
        refillOrder_ = 0;
        refillExchange_.clear();
    }
    if (merged == OrderMerge::Removed) {
        orderGrid_.Refresh();
        if (moreOrders_ != 0) pending_.fetch_or(kPendOrders);
    } else {
        // Only the changed row is redrawn: no full refresh of a long list.
        for (int display = 0; display < orderGrid_.GetViewCount(); ++display)
            if (orderGrid_.GetMapRecno(display) == row) {
                orderGrid_.FreshItem(display);
                break;
            }
    }
    busy_.fetch_and(~kBusy);
    wake_.notify_all();
}

// ---- pending work, settings, accounts (window thread) ----

void COrderQueryDlg::ProcessPendingWork() {
    if ((pending_.load() & kPendFirstPass) != 0) {
        pending_.fetch_and(~kPendFirstPass);
        pending_.fetch_or(kPendSettings | kPendOrders);
        FillAccountSelector();
    }
    if ((pending_.load() & kPendAccounts) != 0) {
        pending_.fetch_and(~kPendAccounts);
        FillAccountSelector();
    }
    if ((pending_.load() & kPendSettings) != 0) {
        pending_.fetch_and(~kPendSettings);
        ApplySettings();
    }
    if ((pending_.load() & kPendDecimals) != 0) {
        uint32_t expected = busy_.load() & ~kBusy;
        if (busy_.compare_exchange_strong(expected, expected | kBusy)) {
            pending_.fetch_and(~kPendDecimals);
            RecomputeDecimals();
            all_ = shown_;
            for (int row = 0; row < shown_.GetCount(); ++row)
                tradedata::ComputeCombinationFillPrice(shown_, row, false);
            orderGrid_.Refresh();
            busy_.fetch_and(~kBusy);
            if (bargainMerge_ != 0 && (panel_ & 0x0F) == 2 && (pending_.load() & kPendTrades) == 0)
                PostSelf(kPendTrades);
        }
    }
    if ((pending_.load() & kPendRetryDecimals) != 0 && (state_ & 1) != 0 &&
        tradedata::GetElapsedTicks(kTickMarkDecimals) > 1000) {
        uint32_t expected = busy_.load() & ~kBusy;
        if (busy_.compare_exchange_strong(expected, expected | kBusy)) {
            pending_.fetch_and(~kPendRetryDecimals);
            RecomputeDecimals();
            tradedata::SetTickMark(kTickMarkDecimals);
            busy_.fetch_and(~kBusy);
        }
    }
    PublishInputs();
    wake_.notify_all();
}

void COrderQueryDlg::RecomputeDecimals() {
    state_ &= ~1u;
    for (int row = 0; row < shown_.GetCount(); ++row) {
        tradedata::SetRowPriceDecimals(shown_, row);
        if (shown_.GetLong(1045, row) < 0) state_ |= 1;
    }
    orderGrid_.Refresh();
    if ((panel_ & 0x0F) != 0 && side_.GetFCount() > 0) {
        for (int row = 0; row < side_.GetCount(); ++row) {
            tradedata::SetRowPriceDecimals(side_, row);
            if (side_.GetLong(1045, row) < 0) state_ |= 1;
        }
        sideGrid_.Refresh();
    }
    if ((state_ & 1) != 0)
        tradedata::PostToWindow(tradedata::GetWorkplaceWindow(), kWmCommand, 3, 0);
}

void COrderQueryDlg::FillAccountSelector() {
    choices_ = ListAccountChoices(&offerAll_);
    const HWND combo = ::GetDlgItem(m_hWnd, kAccountId);
    if (combo == 0) return;
    ::SendMessage(combo, CB_RESETCONTENT, 0, 0);
    if (offerAll_) {
        const LRESULT item =
            ::SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("查询全部"));
        ::SendMessage(combo, CB_SETITEMDATA, item, static_cast<LPARAM>(-1));
    }
    int selected = 0;
    for (size_t i = 0; i < choices_.size(); ++i) {
        const LRESULT item = ::SendMessage(combo, CB_ADDSTRING, 0,
                                           reinterpret_cast<LPARAM>(choices_[i].caption.c_str()));
        ::SendMessage(combo, CB_SETITEMDATA, item, choices_[i].row);
        if (choices_[i].khh == accounts_) selected = static_cast<int>(item);
    }
    ::SendMessage(combo, CB_SETCURSEL, selected, 0);
    RebuildAccountList();
}

void COrderQueryDlg::RebuildAccountList() {
    const HWND combo = ::GetDlgItem(m_hWnd, kAccountId);
    const int selected =
        combo != 0 ? static_cast<int>(::SendMessage(combo, CB_GETCURSEL, 0, 0)) : -1;
    std::string list;
    if (offerAll_ && selected == 0)
        list = JoinAccounts(choices_, -1);
    else
        list = JoinAccounts(choices_, offerAll_ ? selected - 1 : (selected < 0 ? 0 : selected));
    const bool changed = list != accounts_;
    accounts_ = list;
    PublishInputs();
    if (changed && m_hWnd != 0) PostSelf(kRequestAll);
}

void COrderQueryDlg::OnAccountChosen() { RebuildAccountList(); }

void COrderQueryDlg::OnHideBox(int id) {
    const bool checked = IsDlgButtonChecked(id) == BST_CHECKED;
    struct Box {
        int id;
        int32_t* flag;
        const char* key;
    };
    const Box boxes[] = {{kHideCancelledId, &hide_.cancelled, "HIDECDWT"},
                         {kHideRejectedId, &hide_.rejected, "HIDEFDWT"},
                         {kHideFilledId, &hide_.filled, "HIDECJWT"},
                         {kHideExtendedId, &hide_.extended, "HIDEKZWT"}};
    for (const Box& box : boxes)
        if (box.id == id) {
            *box.flag = checked ? 1 : 0;
            shell::WriteConfigInt("WTCX", box.key, *box.flag, "");
        }
    PublishInputs();
    PostSelf(4096);
}

void COrderQueryDlg::CreateSideRecord(uint32_t kind, uint32_t options) {
    const SidePanelKind layout = SideLayout(kind, options, bargainMerge_);
    side_.Create(layout.layout);
    sideGrid_.SetRecord(&side_, layout.name);
    sideGrid_.Refresh();
}

void COrderQueryDlg::ApplySettings() {
    const int32_t oldMerge = bargainMerge_;
    bargainMerge_ = pavlet::ReadPrivateConfigure("SYSTEM", "BargainMerge", 0) ? 1 : 0;
    cancelKey_ = pavlet::ReadPrivateConfigInt("HOTKEY", "WTCD", 46, 0, 0);
    focusOnQuickCancel_ = pavlet::ReadPrivateConfigure("HOTKEY", "KSWTCD_WTCXJD", 0) ? 1 : 0;
    excludeLocked_ = pavlet::ReadPrivateConfigure("QHWT", "ManuallyExcludeWithdraw", 1) ? 1 : 0;
    uint32_t wanted = 0;
    if (pavlet::ReadPrivateConfigure("SYSTEM", "WTZHCX", 0)) {
        const uint32_t kind = pavlet::ReadPrivateConfigInt("SYSTEM", "WTCXZHCXFS", 0, 0, 1) + 1;
        const uint32_t place =
            (pavlet::ReadPrivateConfigInt("SYSTEM", "WTZHCXXSMS", 0, 0, 1) + 1) * 16;
        wanted = kind | place;
        if (kind == 1) {
            if (pavlet::ReadPrivateConfigure("QHYECX", "hyzhcc", 0)) wanted |= 0x100;
            if (pavlet::ReadPrivateConfigure("QHYECX", "jyszhcc", 0)) wanted |= 0x200;
            if (pavlet::ReadPrivateConfigure("QHYECX", "mmfxzhcc", 0)) wanted |= 0x400;
        }
    }
    const uint32_t oldKind = panel_ == 255 ? 0 : (panel_ & 0x0F);
    const uint32_t kind = wanted & 0x0F;
    if ((wanted & 0xFF) != (panel_ & 0xFF)) {
        const uint32_t old = panel_;
        panel_ = wanted;
        if (kind != 0 && (kind != oldKind || old == 255 || (wanted & 0x700) != (old & 0x700))) {
            CreateSideRecord(kind, wanted & 0x700);
            const uint32_t bit = kind == 2 ? kPendTrades : kPendPositions;
            if ((pending_.load() & bit) == 0) PostSelf(bit);
        }
        LayOut();
    } else if (kind == 1 && (wanted & 0x700) != (panel_ & 0x700)) {
        if ((wanted & 0x400) != (panel_ & 0x400)) CreateSideRecord(1, wanted & 0x700);
        panel_ = wanted;
        if ((pending_.load() & kPendPositions) == 0) PostSelf(kPendPositions);
    }
    if (bargainMerge_ != oldMerge && kind == 2) {
        CreateSideRecord(2, 0);
        if ((pending_.load() & kPendTrades) == 0) PostSelf(kPendTrades);
    }
    PublishInputs();
}

void COrderQueryDlg::LayOut() {
    if (m_hWnd == 0) return;
    const RECT area = AreaBelow(*this, kRefreshId);
    const int top = area.top;
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    CWnd* side = GetDlgItem(kSideGridId);
    CWnd* bar = GetDlgItem(kSplitterId);
    const uint32_t kind = panel_ == 255 ? 0 : (panel_ & 0x0F);
    if (kind == 0 || side == nullptr || bar == nullptr) {
        if (side) side->ShowWindow(SW_HIDE);
        if (bar) bar->ShowWindow(SW_HIDE);
        orderGrid_.MoveWindow(0, top, width, height);
        return;
    }
    const bool right = (panel_ & 0x20) != 0;
    const int extent = right ? width : height;
    const int size =
        PaneSize(pavlet::ReadPrivateConfigInt(
                     "POSITION", right ? "WTCXRIGHTPANEL" : "WTCXBOTTOMPANEL", 0, 0, 0),
                 extent, 104, extent / 3);
    const int first = extent - size - 4;
    if (right) {
        orderGrid_.MoveWindow(0, top, first, height);
        bar->MoveWindow(first, top, 4, height);
        side->MoveWindow(first + 4, top, size, height);
    } else {
        orderGrid_.MoveWindow(0, top, width, first);
        bar->MoveWindow(0, top + first, width, 4);
        side->MoveWindow(0, top + first + 4, width, size);
    }
    side->ShowWindow(SW_SHOW);
    bar->ShowWindow(SW_SHOW);
    SplitPanes(splitter_, splitterBound_, *this, kSplitterId, orderGrid_, sideGrid_,
               RGB(0, 64, 128));
}

void COrderQueryDlg::OnSplitterMoved() {
    RECT rect{};
    sideGrid_.GetWindowRect(&rect);
    if ((panel_ & 0x20) != 0)
        shell::WriteConfigInt("POSITION", "WTCXRIGHTPANEL", rect.right - rect.left, "");
    else if ((panel_ & 0x10) != 0)
        shell::WriteConfigInt("POSITION", "WTCXBOTTOMPANEL", rect.bottom - rect.top, "");
}

void COrderQueryDlg::OnSize(UINT type, int cx, int cy) {
    CFlexDialog::OnSize(type, cx, cy);
    if (orderGrid_.m_hWnd != 0) LayOut();
}

void COrderQueryDlg::OnShowWindow(BOOL shown) {
    if (shown) ProcessPendingWork();
}

void COrderQueryDlg::OnTimer(UINT_PTR id) {
    if (id == kTimerId && m_hWnd != 0) ProcessPendingWork();
    CFlexDialog::OnTimer(id);
}

BOOL COrderQueryDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    switch (id) {
        case kHideCancelledId:
        case kHideRejectedId:
        case kHideFilledId:
        case kHideExtendedId:
            if (code == BN_CLICKED) OnHideBox(id);
            return TRUE;
        case kRefreshId:
            if (code == BN_CLICKED) PostSelf(kRequestAll);
            return TRUE;
        case kAccountId:
            if (code == CBN_SELENDOK ||
                (code == CBN_SELCHANGE &&
                 ::SendMessage(static_cast<HWND>(lParam), CB_GETDROPPEDSTATE, 0, 0) == 0))
                OnAccountChosen();
            return TRUE;
        default:
            break;
    }
    return CFlexDialog::OnCommand(wParam, lParam);
}

BOOL COrderQueryDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header != nullptr && header->code == LVN_KEYDOWN &&
        static_cast<int>(wParam) == kOrderGridId) {
        const auto* key = reinterpret_cast<const NMLVKEYDOWN*>(lParam);
        if (key->wVKey == VK_NEXT || key->wVKey == VK_DOWN) RequestNextPage();
    }
    return CFlexDialog::OnNotify(wParam, lParam, result);
}

const char* COrderQueryDlg::CellText(CFixRecord* table, int row, int field, void* user) {
    auto* self = static_cast<COrderQueryDlg*>(user);
    // The grid names the column by its index in the table.
    if (table == nullptr || field < 0) return nullptr;
    const int id = static_cast<int>(table->GetIndexID(field));
    if (!FormatOrderCell(*table, row, id, self->cellText_)) return nullptr;
    return self->cellText_.c_str();
}

COLORREF COrderQueryDlg::CellColor(CFixRecord* table, int row, int field, void* user) {
    auto* self = static_cast<COrderQueryDlg*>(user);
    if (table == nullptr || field < 0) return CLR_INVALID;
    const int id = static_cast<int>(table->GetIndexID(field));
    if (table->GetMemRecord() == self->side_.GetMemRecord() && (self->panel_ & 0x400) != 0 &&
        (self->panel_ & 0x0F) == 1)
        return MergedPositionTextColor(*table, row, id);
    return OpenCloseDirectionTextColor(*table, row, id);
}

}  // namespace views
