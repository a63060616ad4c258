// CYecxDlg: the funds and positions page, its timer step, its position worker and its grids.
#include "views/YecxDlg.h"

#include <fmt/format.h>

#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "record/MemRecord.h"
#include "shell/WorkerThread.h"
#include "shell/services/SettingsWriters.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/Funds.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Positions.h"
#include "tradedata/Registries.h"
#include "tradedata/TradingHelpers.h"
#include "tradedata/TradingTime.h"
#include "views/PaneLayout.h"
#include "views/PositionRows.h"

namespace views {
namespace {

constexpr UINT kWmRefresh = 0x8001;
constexpr UINT kWmOrderEvent = 0x8002;
constexpr UINT kWmCommand = 0x8003;
constexpr UINT kWorkerDone = 0x8000 + 0x61;
constexpr UINT_PTR kTimerId = 1;

bool IsOptionKind(int32_t kind) { return kind == 1 || kind == 7; }

// Removes every row of the customer.
void RemoveRowsOf(CFixRecord& table, const std::string& khh) {
    if (table.GetFCount() > 0) table.DeleteWhile(605, khh.c_str());
}

// Appends the rows of `from` of the customer whose kind is (or is not) an option kind.
void AppendByKind(CFixRecord& to, CFixRecord& from, const std::string& khh, bool options) {
    from.acquireLockShared();
    for (int row = 0; row < from.GetCount(); ++row)
        if ((khh.empty() || from.Get(605, row) == khh) &&
            IsOptionKind(from.GetLong(1873, row)) == options)
            to.Append(&from, row);
    from.releaseLockShared();
}

std::string TodayText() {
    const tradedata::SystemTime date = tradedata::GetTradingDate("");
    return fmt::format("{:04d}.{:02d}.{:02d}", date.year, date.month, date.day);
}

}  // namespace

// What the worker works on: copies made on the window's thread, handed back whole.
struct CYecxDlg::Snapshot {
    std::vector<std::string> accounts;
    std::string current;
    std::string focused;
    CFixRecord positions, details, options;
    uint32_t gridFlags = 0;
};

// The position worker of one refresh.
class CYecxDlg::Worker : public shell::CWorkerThread {
public:
    Worker(CYecxDlg& owner, std::unique_ptr<Snapshot> work, HWND window)
        : owner_(owner), work_(std::move(work)), window_(window) {}
    ~Worker() override { Stop(); }

protected:
    uint32_t Run() override {
        Snapshot& s = *work_;
        NoltComm::CFixApiClient* connection = tradedata::GetTradingConnection();
        for (const std::string& khh : s.accounts) {
            if (IsStopping()) break;
            if (khh == s.current) {
                RemoveRowsOf(s.positions, khh);
                RemoveRowsOf(s.details, khh);
                RemoveRowsOf(s.options, khh);
                AppendByKind(s.details, tradedata::PositionDetailTable, khh, false);
                AppendByKind(s.positions, tradedata::PositionSummaryTable, khh, false);
                AppendByKind(s.options, tradedata::PositionSummaryTable, khh, true);
                continue;
            }
            const int account = tradedata::FindLoggedInAccount(khh, 0);
            if (account >= 0 && !tradedata::TestAccountNotify(tradedata::kNotifyPositions, account))
                continue;
            CFixRecord detail, summary;
            detail.Create(tradedata::kPositionDetailLayout);
            summary.Create(tradedata::kPositionSummaryLayout);
            int32_t value739 = 0, value1740 = 0;
            tradedata::GetPositionQueryValues(&value739, &value1740);
            if (tradedata::QueryPositions(connection, khh, detail, 1, 1, 0) < 0) continue;
            if (account >= 0) tradedata::ClearAccountNotify(tradedata::kNotifyPositions, account);
            tradedata::BuildPositionSummary(summary, detail, false);
            RemoveRowsOf(s.positions, khh);
            RemoveRowsOf(s.details, khh);
            RemoveRowsOf(s.options, khh);
            AppendByKind(s.details, detail, khh, false);
            AppendByKind(s.positions, summary, khh, false);
            AppendByKind(s.options, summary, khh, true);
            for (int row = 0; row < summary.GetCount(); ++row)
                tradedata::SubscribeQuote(summary.Get(719, row).c_str(), window_);
        }
        for (CFixRecord* table : {&s.positions, &s.details, &s.options})
            for (int row = 0; row < table->GetCount(); ++row)
                table->Set(9063, table->Get(605, row), row);
        for (int row = 0; row < s.details.GetCount(); ++row) {
            s.details.Set(601, tradedata::GetExchangeName(s.details.Get(599, row)), row);
            s.details.Set(752, tradedata::GetDirectionShortText(s.details.GetLong(683, row)), row);
            s.details.Set(3053, tradedata::GetHedgeText(s.details.GetLong(1717, row), 0), row);
            s.details.Set(662, s.details.GetLong(1137, row) == 1 ? "今" : "昨", row);
        }
        if (s.focused == s.current) MarkExpiringOptions(s.options, TodayText());
        // The grids follow the rows: options when there are any, futures when there are any,
        // the futures grid alone when there are none.
        s.gridFlags = 0;
        if (s.options.GetCount() > 0) s.gridFlags |= kOptionGridShown;
        if (s.positions.GetCount() > 0 || s.details.GetCount() > 0)
            s.gridFlags |= kFuturesGridShown;
        if (s.gridFlags == 0) s.gridFlags = kFuturesGridShown;
        {
            std::lock_guard lock(owner_.lock_);
            owner_.result_ = std::move(work_);
        }
        ::PostMessage(window_, kWorkerDone, 0, 0);
        return 9;
    }

private:
    CYecxDlg& owner_;
    std::unique_ptr<Snapshot> work_;
    HWND window_;
};

CYecxDlg::CYecxDlg() : CFlexDialog(IDD, nullptr) {}

CYecxDlg::~CYecxDlg() { worker_.reset(); }

BOOL CYecxDlg::Create(CWnd* parent) { return CDialog::Create(IDD, parent); }

BOOL CYecxDlg::DestroyWindow() {
    worker_.reset();  // the panel waits for a running worker, which never outlives it
    if (m_hWnd != 0) tradedata::RemoveNotifyWindow(m_hWnd);
    return CFlexDialog::DestroyWindow();
}

BOOL CYecxDlg::OnInitDialog() {
    CFlexDialog::OnInitDialog();
    viewFlags_ = kOptionGridShown | kFuturesGridShown;
    showCost_ = pavlet::ReadConfigure("SYSTEM", "SHOWCOST", 1) != 0;
    positions_.Create(tradedata::kPositionSummaryLayout);
    details_.Create(tradedata::kPositionDetailLayout);
    options_.Create(tradedata::kPositionSummaryLayout);
    futuresGrid_.SubclassDlgItem(kFuturesGridId, this);
    optionGrid_.SubclassDlgItem(kOptionGridId, this);
    for (CGridCtrl* grid : {&futuresGrid_, &optionGrid_}) {
        grid->SetExStyle(0x400, 0x400);
        grid->SetFieldTextColor(&CellColor, this);
        grid->SetRecordTextFunctor(&CellText, this);
    }
    optionGrid_.SetRecord(&options_, "qqcc");
    ReadSettings(true);
    BindGrids();
    LayOut();
    tradedata::SetAccountNotify(tradedata::kNotifyFunds | tradedata::kNotifyPositions, -1);
    tradedata::AddNotifyWindow(m_hWnd);
    PostSelf(kAccountsFirst);
    SetTimer(kTimerId, 100);
    return TRUE;
}

LRESULT CYecxDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kWmRefresh:
            OnFrameRefresh(wParam, lParam);
            return 0;
        case kWmOrderEvent:
            if (LOWORD(wParam) == 2 || LOWORD(wParam) == 3) refreshMask_.fetch_or(kPositions);
            return 0;
        case kWmCommand:
            OnFrameCommand(wParam);
            return 0;
        case kWorkerDone:
            OnWorkerDone();
            return 0;
        case kSplitterMoved:
            OnSplitterMoved();
            return 0;
        case WM_SHOWWINDOW:
            OnShowWindow(static_cast<BOOL>(wParam));
            break;
        default:
            break;
    }
    return CFlexDialog::WindowProc(message, wParam, lParam);
}

void CYecxDlg::PostSelf(uint32_t bits) {
    if (m_hWnd != 0) ::PostMessage(m_hWnd, kWmRefresh, bits, 0);
}

void CYecxDlg::OnFrameRefresh(uintptr_t bits, intptr_t argument) {
    if (bits == kExerciseHedgeState) {
        hedgeState_ = static_cast<int>(argument);
        CheckDlgButton(kExerciseHedgeId, argument == 1 ? BST_CHECKED : BST_UNCHECKED);
        return;
    }
    refreshMask_.fetch_or(static_cast<uint32_t>(bits));
}

void CYecxDlg::OnFrameCommand(uintptr_t code) {
    if (code != 62) return;
    if (hint_.empty()) hint_ = positionMode_ == 1 ? kDetailHint : kContractHint;
    tradedata::SendTextToMainWindow(hint_, false);
}

void CYecxDlg::OnShowWindow(BOOL shown) {
    if (shown && (viewFlags_ & kShowCombinations) != 0)
        for (const std::string& khh : SplitAccounts(accounts_))
            tradedata::SetAccountNotifyByKhh(khh,
                                             tradedata::kNotifyFunds | tradedata::kNotifyPositions);
}

void CYecxDlg::OnTimer(UINT_PTR id) {
    if (id == kTimerId && m_hWnd != 0) TimerStep();
    CFlexDialog::OnTimer(id);
}

void CYecxDlg::TimerStep() {
    auto take = [this](uint32_t bit) {
        if ((refreshMask_.load() & bit) == 0) return false;
        refreshMask_.fetch_and(~bit);
        return true;
    };
    auto takeWhenIdle = [&](uint32_t bit) { return !IsBusy() && take(bit); };
    if (take(kAccountsFirst) | take(kAccounts)) FillAccountSelector();
    if (take(kCombinationContracts) &&
        (viewFlags_ & (kShowCombinations | kShowExchangeCombinations)) != 0)
        PostSelf(kPositions);
    if (!accounts_.empty() && takeWhenIdle(kQuotes)) {
        state_.fetch_or(kBusy);
        RevalueOnQuotes();
        state_.fetch_and(~kBusy);
    }
    if (takeWhenIdle(kSettings)) {
        state_.fetch_or(kBusy);
        refreshMask_.fetch_or(kFunds);
        ReadSettings(false);
        Invalidate(FALSE);
        state_.fetch_and(~kBusy);
    }
    if (takeWhenIdle(kFunds)) ShowFunds();
    if (takeWhenIdle(kPositions)) StartPositionWorker();
    if (takeWhenIdle(kBindGrids)) {
        if ((viewFlags_ & kRelayout) != 0) {
            viewFlags_ &= ~kRelayout;
            LayOut();
        }
        BindGrids();
    }
}

void CYecxDlg::ReadSettings(bool first) {
    const int mode = pavlet::ReadPrivateConfigInt("QHYECX", "Hyccxsms", 0, 0, 1);
    uint32_t flags =
        viewFlags_ & ~(kByProduct | kByDirection | kShowCombinations | kShowExchangeCombinations);
    if (pavlet::ReadPrivateConfigure("QHYECX", "hyccbyzqlb", 0)) flags |= kByProduct;
    if (pavlet::ReadPrivateConfigure("QHYECX", "hyccbymmlb", 0)) flags |= kByDirection;
    if (pavlet::ReadPrivateConfigure("QHYECX", "hyzhcc", 0)) flags |= kShowCombinations;
    if (pavlet::ReadPrivateConfigure("QHYECX", "jyszhcc", 0)) flags |= kShowExchangeCombinations;
    CheckDlgButton(kShowCombinationId, (flags & kShowCombinations) ? BST_CHECKED : BST_UNCHECKED);
    if (!first) {
        if (mode != positionMode_ || ((flags ^ viewFlags_) & (kByProduct | kByDirection)) != 0)
            PostSelf(kBindGrids);
        if (((flags ^ viewFlags_) & (kShowCombinations | kShowExchangeCombinations)) != 0) {
            for (const std::string& khh : SplitAccounts(accounts_))
                tradedata::SetAccountNotifyByKhh(
                    khh, tradedata::kNotifyFunds | tradedata::kNotifyPositions);
            flags |= kRelayout;
        }
    }
    positionMode_ = mode;
    viewFlags_ = flags;
}

void CYecxDlg::FillAccountSelector() {
    choices_ = ListAccountChoices(&offerAll_);
    const HWND combo = ::GetDlgItem(m_hWnd, kAccountId);
    if (combo != 0) {
        ::SendMessage(combo, CB_RESETCONTENT, 0, 0);
        if (offerAll_) ::SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("查询全部"));
        for (const AccountChoice& choice : choices_)
            ::SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.caption.c_str()));
        ::SendMessage(combo, CB_SETCURSEL, 0, 0);
    }
    const bool all = offerAll_;
    accounts_ = JoinAccounts(choices_, all ? -1 : 0);
    account_ = choices_.empty() ? std::string() : choices_.front().khh;
    viewFlags_ = all ? (viewFlags_ | kAllAccounts) : (viewFlags_ & ~kAllAccounts);
    refreshMask_.fetch_or(kFunds | kPositions);
}

void CYecxDlg::ShowFunds() {
    state_.fetch_or(kBusy);
    double equity = 0, available = 0, margin = 0, closeProfit = 0, floatProfit = 0;
    CFixRecord& funds = tradedata::FundsTable;
    funds.acquireLockShared();
    // The figures show one currency: the first whose code begins with "RMB"; funds in any
    // other currency never enter them.
    for (int row = 0; row < funds.GetCount(); ++row) {
        if (funds.Get(511, row).rfind("RMB", 0) != 0) continue;
        equity = funds.GetDouble(1779, row);
        available = funds.GetDouble(619, row);
        margin = funds.GetDouble(1720, row);
        closeProfit = funds.GetDouble(1776, row);
        floatProfit = funds.GetDouble(1774, row);
        break;
    }
    funds.releaseLockShared();
    SetDlgItemText(kEquityId, fmt::format("{:.2f}", equity).c_str());
    SetDlgItemText(kAvailableId, fmt::format("{:.2f}", available).c_str());
    SetDlgItemText(kMarginId, fmt::format("{:.2f}", margin).c_str());
    SetDlgItemText(kRiskId,
                   fmt::format("{:.1f}", tradedata::CalcRiskRatio(margin, equity) * 100).c_str());
    SetDlgItemText(kCloseProfitId, fmt::format("{:.2f}", closeProfit).c_str());
    SetDlgItemText(kFloatProfitId, fmt::format("{:.2f}", floatProfit).c_str());
    state_.fetch_and(~kBusy);
}

void CYecxDlg::StartPositionWorker() {
    if (accounts_.empty()) return;
    state_.fetch_or(kBusy);
    auto snapshot = std::make_unique<Snapshot>();
    snapshot->accounts = SplitAccounts(accounts_);
    snapshot->current = tradedata::GetCurrentKhh();
    snapshot->focused = account_;
    // Only the position rows: summary rows are rebuilt when the grids are bound.
    for (auto [from, to] :
         {std::pair{&positions_, &snapshot->positions}, std::pair{&details_, &snapshot->details},
          std::pair{&options_, &snapshot->options}}) {
        *to = *from;
        if (to->GetFCount() > 0) to->DeleteWhile(683, 0);
    }
    worker_.reset();
    worker_ = std::make_unique<Worker>(*this, std::move(snapshot), m_hWnd);
    if (!worker_->Start()) state_.fetch_and(~kBusy);
}

void CYecxDlg::OnWorkerDone() {
    std::unique_ptr<Snapshot> done;
    {
        std::lock_guard lock(lock_);
        done = std::move(result_);
    }
    if (worker_) worker_->Wait(1000);
    if (done) {
        // The rows are replaced whole, only now that the pass has finished.
        positions_ = done->positions;
        details_ = done->details;
        options_ = done->options;
        const uint32_t grids = kOptionGridShown | kFuturesGridShown;
        if ((viewFlags_ & grids) != done->gridFlags)
            viewFlags_ = (viewFlags_ & ~grids) | done->gridFlags | kRelayout;
    }
    state_.fetch_and(~kBusy);
    refreshMask_.fetch_or(kBindGrids);
}

void CYecxDlg::BindGrids() {
    SummaryGrouping grouping;
    grouping.byProduct = (viewFlags_ & kByProduct) != 0;
    grouping.byDirection = (viewFlags_ & kByDirection) != 0;
    grouping.detailMode = positionMode_ == 1;
    CFixRecord& futures = positionMode_ == 1 ? details_ : positions_;
    BuildSummaryRows(futures, grouping);
    SummaryGrouping optionGrouping = grouping;
    optionGrouping.detailMode = false;
    BuildSummaryRows(options_, optionGrouping);
    const bool detail = positionMode_ == 1;
    if (futuresGrid_.GetFixRecord() == nullptr || detail != boundDetails_ ||
        futuresGrid_.GetMemRecord() != futures.GetMemRecord()) {
        futuresGrid_.SetRecord(&futures, detail ? "ccmxcx" : "cccx");
        boundDetails_ = detail;
    }
    if ((viewFlags_ & kAllAccounts) == 0 && !account_.empty()) {
        futuresGrid_.SetFilter({{605, account_.c_str()}});
        optionGrid_.SetFilter({{605, account_.c_str()}});
    }
    futuresGrid_.Refresh();
    optionGrid_.Refresh();
    ++boundPasses_;
}

void CYecxDlg::RevalueOnQuotes() {
    bool changed = false;
    if ((viewFlags_ & kFuturesGridShown) != 0 && tradedata::RevaluePositions(details_, false) > 0)
        changed = true;
    if ((viewFlags_ & kOptionGridShown) != 0 && tradedata::RevaluePositions(options_, false) > 0)
        changed = true;
    if (changed) {
        if (positionMode_ == 0 && (viewFlags_ & kFuturesGridShown) != 0)
            tradedata::RevaluePositions(positions_, false);
        SummaryGrouping grouping;
        grouping.byProduct = (viewFlags_ & kByProduct) != 0;
        grouping.byDirection = (viewFlags_ & kByDirection) != 0;
        grouping.detailMode = positionMode_ == 1;
        BuildSummaryRows(positionMode_ == 1 ? details_ : positions_, grouping);
        futuresGrid_.Refresh();
        optionGrid_.Refresh();
    }
    bool focusedChanged = false;
    for (const std::string& khh : SplitAccounts(accounts_))
        if (tradedata::RecalcFunds(khh, positions_) && khh == account_) focusedChanged = true;
    if (focusedChanged) PostSelf(kFunds);
}

void CYecxDlg::LayOut() {
    if (m_hWnd == 0) return;
    const RECT area = AreaBelow(*this, kRuleId);
    const int top = area.top;
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    const bool futures = (viewFlags_ & kFuturesGridShown) != 0;
    const bool options = (viewFlags_ & kOptionGridShown) != 0;
    CWnd* bar = GetDlgItem(kSplitterId);
    futuresGrid_.ShowWindow(futures ? SW_SHOW : SW_HIDE);
    optionGrid_.ShowWindow(options ? SW_SHOW : SW_HIDE);
    if (bar) bar->ShowWindow(futures && options ? SW_SHOW : SW_HIDE);
    if (!(futures && options) || bar == nullptr) {
        (options && !futures ? optionGrid_ : futuresGrid_).MoveWindow(0, top, width, height);
        return;
    }
    const int optionHeight = PaneSize(
        pavlet::ReadPrivateConfigInt("POSITION", "CCCX_QQCC", 0, 0, 0), height, 54, height / 2);
    const int futuresHeight = height - optionHeight - 4;
    futuresGrid_.MoveWindow(0, top, width, futuresHeight);
    bar->MoveWindow(0, top + futuresHeight, width, 4);
    optionGrid_.MoveWindow(0, top + futuresHeight + 4, width, optionHeight);
    SplitPanes(splitter_, splitterBound_, *this, kSplitterId, futuresGrid_, optionGrid_, 0x804000);
}

void CYecxDlg::OnSplitterMoved() {
    RECT rect{};
    optionGrid_.GetWindowRect(&rect);
    shell::WriteConfigInt("POSITION", "CCCX_QQCC", rect.bottom - rect.top, "");
}

void CYecxDlg::OnSize(UINT type, int cx, int cy) {
    CFlexDialog::OnSize(type, cx, cy);
    if (futuresGrid_.m_hWnd != 0) LayOut();
}

BOOL CYecxDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == kRefreshId && HIWORD(wParam) == BN_CLICKED) {
        for (const std::string& khh : SplitAccounts(accounts_))
            tradedata::SetAccountNotifyByKhh(khh,
                                             tradedata::kNotifyFunds | tradedata::kNotifyPositions);
        tradedata::PostToWindow(tradedata::GetWorkplaceWindow(), kWmRefresh, 16, 0);
        return TRUE;
    }
    return CFlexDialog::OnCommand(wParam, lParam);
}

const char* CYecxDlg::CellText(CFixRecord* table, int row, int field, void* user) {
    auto* self = static_cast<CYecxDlg*>(user);
    if (table == nullptr || field < 0) return nullptr;
    const int id = static_cast<int>(table->GetIndexID(field));
    const bool detail = table->GetMemRecord() == self->details_.GetMemRecord();
    if (!FormatPositionCell(*table, row, id, detail, self->cellText_)) return nullptr;
    return self->cellText_.c_str();
}

COLORREF CYecxDlg::CellColor(CFixRecord* table, int row, int field, void*) {
    if (table == nullptr || field < 0) return CLR_INVALID;
    return OpenCloseDirectionTextColor(*table, row, static_cast<int>(table->GetIndexID(field)));
}

}  // namespace views
