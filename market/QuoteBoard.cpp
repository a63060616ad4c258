// CQuoteBoard: page builds, the coalesced and rate-limited quote refresh, visible-only
// flashing and the cell texts and colours of the contract lists.
#include "market/QuoteBoard.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "market/CombinationRows.h"
#include "market/feed/QuoteRowNotifier.h"
#include "platform/core/Clock.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "record/MemRecord.h"
#include "shell/FrameMessages.h"
#include "shell/MainFrame.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/Accounts.h"
#include "tradedata/ColorSettings.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Registries.h"
#include "tradedata/TradingHelpers.h"

namespace market {

using shell::WM_FRAME_COMMAND;
using shell::WM_FRAME_REFRESH;
using tradedata::RowRef;

namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr uint32_t kRebuildClears = 0x208E0;
constexpr int32_t kAccountPositionsChanged = 1 << 24;
constexpr double kTiny = 0.000001;

// WM_FRAME_REFRESH bits the board acts on.
constexpr uint32_t kKeysBit = 0x8;
constexpr uint32_t kPositionsBit = 0x20;
constexpr uint32_t kContractsBit = 0x40;
constexpr uint32_t kCombinationsBit = 0x80;
constexpr uint32_t kSettingsBit = 0x100;
constexpr uint32_t kListsBit = 0x800;
constexpr uint32_t kRowsBit = 0x20000;

bool IsContractListPage(int32_t page) { return page >= 0 && page <= kForeignCurrencyPage; }

bool IsPriceTag(uint32_t tag) {
    switch (tag) {
        case 587:
        case 679:
        case 703:
        case 704:
        case 706:
        case 707:
        case 726:
        case 729:
        case 813:
        case 837:
        case 842:
        case 850:
        case 1734:
            return true;
        default:
            return false;
    }
}

// The prices the foreign-currency page shows in yuan.
bool IsConvertedTag(uint32_t tag) {
    switch (tag) {
        case 813:
        case 726:
        case 587:
        case 729:
        case 679:
        case 842:
        case 850:
        case 706:
        case 703:
        case 707:
        case 704:
        case 1734:
            return true;
        default:
            return false;
    }
}

COLORREF SignColour(double value, const BoardColours& colours) {
    if (value > 0) return colours.positive;
    if (value < 0) return colours.negative;
    return CLR_INVALID;
}

COLORREF ColourSetting(const char* key) {
    return static_cast<COLORREF>(tradedata::GetColorSetting(key));
}

int32_t Decimals(CMemRecord* mem, uint32_t tag, int row) {
    return std::clamp(mem->GetLong(mem->FindIndex(tag), row), 0, 8);
}

// The cell texts of the combination-quote list: each leg's prices with its own decimals, the
// spreads with the smaller of the two, the leg spreads with their volumes.
const char* CombinationText(CFixRecord* table, int row, uint32_t tag, std::string& text) {
    CMemRecord* mem = table->GetMemRecord();
    auto value = [&](uint32_t t) { return mem->GetDouble(mem->FindIndex(t), row); };
    const int32_t first = Decimals(mem, 9036, row), second = Decimals(mem, 9038, row);
    const int32_t both = std::min(first, second);
    switch (tag) {
        case 1909:
        case 1910:
        case 1911:
        case 1912:
        case 706:
        case 703:
            if (mem->GetLong(mem->FindIndex(3062u), row) < 0) return "--";
            if (tag == 1910 || tag == 1912) return nullptr;
            text = fmt::format("{:.{}f}", value(tag), both);
            return text.c_str();
        case 842:
        case 850:
            text = fmt::format("{:.{}f}", value(tag), first);
            return text.c_str();
        case 844:
        case 852:
            text = fmt::format("{:.{}f}", value(tag), second);
            return text.c_str();
        case 1799:
        case 1797:
            text = fmt::format("{:.{}f} {:4d}", std::fabs(value(tag)), both,
                               mem->GetLong(mem->FindIndex(tag == 1799 ? 1916u : 1914u), row));
            return text.c_str();
        case 729:
        case 813:
        case 1905:
        case 1907:
        case 587:
        case 726:
            text = fmt::format("{:.{}f}", value(tag), both);
            return text.c_str();
        default:
            return nullptr;
    }
}

}  // namespace

// Tells the board that rows changed: one message until the board takes them.
class CQuoteBoard::Receiver final : public feed::QuoteRowReceiver {
public:
    explicit Receiver(HWND board) : board_(board) {}
    void Wake() override {
        ::PostMessage(board_, WM_FRAME_REFRESH, kRowsBit, static_cast<LPARAM>(kOwnRowsPending));
    }

private:
    const HWND board_;
};

CQuoteBoard::CQuoteBoard() = default;

CQuoteBoard::~CQuoteBoard() {
    if (m_hWnd != 0 && ::IsWindow(m_hWnd)) DestroyWindow();
}

BOOL CQuoteBoard::Create(CWnd* parent) { return CDialog::Create(IDD, parent); }

BOOL CQuoteBoard::OnInitDialog() {
    CFlexDialog::OnInitDialog();
    mainList_.SubclassDlgItem(kMainList, this);
    mainList_.SetExStyle(0x213, 0xFFFF);
    mainList_.SetHeaderColor(0xFFFFFF, 0);
    ::SendMessage(mainList_.m_hWnd, LVM_SETBKCOLOR, 0, 0);
    ::SendMessage(mainList_.m_hWnd, LVM_SETTEXTBKCOLOR, 0, 0);
    ::SendMessage(mainList_.m_hWnd, LVM_SETTEXTCOLOR, 0, 0xFFFFFF);
    mainList_.SetGridlinesColor(0x000080);
    mainList_.SetHeaderGridlinesColor(0x000080);
    mainList_.SetRecordTextFunctor(&CQuoteBoard::CellText, this);
    mainList_.SetFieldTextColor(&CQuoteBoard::CellTextColor, this);
    SetItemAlign(kMainList, FLEX_ALIGN_WIDTH | FLEX_ALIGN_HEIGHT);
    for (int id : {kLowerList, kListSplitter, kPanelSplitter})
        if (CWnd* item = GetDlgItem(id)) item->ShowWindow(SW_HIDE);

    if (notifier_ == nullptr)
        if (shell::CMainFrame* frame = shell::GetMainFrame())
            notifier_ = &frame->QuoteFeeds().Notifier();
    if (notifier_ != nullptr) {
        receiver_ = std::make_unique<Receiver>(m_hWnd);
        notifier_->AddReceiver(receiver_.get(), feed::kRowQuoteChannel);
    }
    ReadDisplayKeys();
    tradedata::AddNotifyWindow(m_hWnd);
    SelectPage(kFavouritesPage);
    tradedata::SetQuoteBoardWindow(m_hWnd);
    return TRUE;
}

void CQuoteBoard::OnOK() {}
void CQuoteBoard::OnCancel() {}

void CQuoteBoard::OnDestroy() {
    if (tradedata::GetQuoteBoardWindow() == m_hWnd) tradedata::SetQuoteBoardWindow(0);
    tradedata::RemoveNotifyWindow(m_hWnd);
    if (notifier_ != nullptr && receiver_) notifier_->RemoveReceiver(receiver_.get());
    receiver_.reset();
    if (timerArmed_) KillTimer(kRefreshTimer);
    timerArmed_ = false;
    CFlexDialog::OnDestroy();
}

LRESULT CQuoteBoard::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_FRAME_REFRESH:
            return OnFrameRefresh(wParam, lParam);
        case WM_FRAME_COMMAND:
            return OnFrameCommand(wParam, lParam);
        case shell::WM_FRAME_NOTICE:
            return 1;
        case WM_VSCROLL:
        case WM_MOUSEWHEEL: {
            const LRESULT result = CFlexDialog::WindowProc(message, wParam, lParam);
            MarkVisibleRows();
            return result;
        }
        default:
            return CFlexDialog::WindowProc(message, wParam, lParam);
    }
}

void CQuoteBoard::OnSize(UINT type, int cx, int cy) {
    CFlexDialog::OnSize(type, cx, cy);
    if (mainList_.m_hWnd != 0) MarkVisibleRows();
}

void CQuoteBoard::OnTimer(UINT_PTR id) {
    if (id != kRefreshTimer) return CFlexDialog::OnTimer(id);
    KillTimer(kRefreshTimer);
    timerArmed_ = false;
    // The interval is over: what waited is shown now.
    refreshedOnce_ = false;
    ProcessPending();
}

LRESULT CQuoteBoard::OnFrameRefresh(WPARAM bits, LPARAM argument) {
    pending_ |= static_cast<uint32_t>(bits);
    // Rows named by anyone but the notifier (the worker's counters and snapshot refreshes) are
    // not in the board's own list: the whole page is compared. The frame's wake-up for a batch,
    // passed on by the workspace, names the notifier's rows, which the board's list holds too.
    if ((bits & kRowsBit) && argument != kOwnRowsPending &&
        argument != shell::CMainFrame::kChangedRowsPending)
        refreshAll_ = true;
    ProcessPending();
    return 1;
}

void CQuoteBoard::ProcessPending() {
    if (pending_ & kKeysBit) {
        pending_ &= ~kKeysBit;
        ReadDisplayKeys();
    }
    if (pending_ & kSettingsBit) {
        pending_ &= ~kSettingsBit;
        ReadDisplayKeys();
        mainList_.Invalidate();
    }
    auto rebuild = [this] {
        pending_ &= ~kRebuildClears;
        BuildPage();
    };
    if (pending_ & kContractsBit) rebuild();
    if (pending_ & kCombinationsBit) {
        pending_ &= ~kCombinationsBit;
        if (page_ == kCombinationPage) rebuild();
    }
    if (pending_ & kListsBit) {
        pending_ &= ~kListsBit;
        if ((page_ >= kFavouritesPage && page_ < kFavouritesPage + kFavouriteListCount) ||
            page_ == kOptionPage || page_ == kOptionCombinationPage)
            rebuild();
    }
    if (pending_ & kPositionsBit) {
        pending_ &= ~kPositionsBit;
        if (page_ == kFavouritesPage && includePosition_ &&
            tradedata::TestAccountFlag(kAccountPositionsChanged, -1)) {
            tradedata::ClearAccountFlag(kAccountPositionsChanged, -1);
            BuildPage();
            pending_ &= ~kRowsBit;
        }
    }
    if (pending_ & kRowsBit) {
        const int64_t now = platform::TickMs();
        const int64_t since = now - lastRefresh_;
        if (refreshedOnce_ && since < kMinRefreshIntervalMs) {
            // Too soon for the screen: once the interval is over, whatever came meanwhile.
            if (!timerArmed_)
                timerArmed_ =
                    SetTimer(kRefreshTimer, static_cast<UINT>(kMinRefreshIntervalMs - since)) != 0;
            return;
        }
        pending_ &= ~kRowsBit;
        lastRefresh_ = now;
        refreshedOnce_ = true;
        RefreshQuotes();
    }
}

LRESULT CQuoteBoard::OnFrameCommand(WPARAM code, LPARAM argument) {
    switch (code) {
        case 61:
            SelectPage(static_cast<int32_t>(argument));
            break;
        case shell::kCommandContractChanged: {
            const auto text = shell::TakeFrameText(argument);
            if (text) LocateContract(*text);
            break;
        }
        case 88:
            if (page_ == kOptionCombinationPage) BuildPage();
            break;
        default:
            break;
    }
    return 1;
}

void CQuoteBoard::SelectPage(int32_t page) {
    if (page == page_) return;
    page_ = page;
    BuildPage();
}

void CQuoteBoard::ReadDisplayKeys() {
    includePosition_ =
        pavlet::ReadPrivateConfigInt("HYHQXS", "IncludePosition", 0, INT32_MIN, INT32_MAX);
    priceColourMode_ = pavlet::ReadPrivateConfigInt("SYSTEM", "Zxj Color Mode", 0, 0, 1);
    volumeSignColour_ =
        pavlet::ReadPrivateConfigInt("SYSTEM", "Mmpslzdbz", 0, INT32_MIN, INT32_MAX);
    colours_.positive = ColourSetting("hqjg_positive");
    colours_.negative = ColourSetting("hqjg_negative");
    colours_.held = ColourSetting("hyhq_hymc");
    colours_.volumes = ColourSetting("hyhq_mmpsl");
    colours_.flashPrice = ColourSetting("hyhq_bd_mmpjg");
    colours_.flashVolume = ColourSetting("hyhq_bd_mmpsl");
    colours_.flashOther = ColourSetting("hyhq_bd_other");
}

void CQuoteBoard::BuildPage() {
    tradedata::ClearFlagsInAllRows(tradedata::FuturesContractTable, kContractOnCard);
    mainList_.ShowWindow(page_ == kTradeCardPage || page_ == kEmptyPage ? SW_HIDE : SW_SHOW);
    mainList_.SetExStyle(0x213, 0xFFFF);
    mainList_.SetMiscellaneous(0, 0xFFFFFFFF);
    // Rows marked before this build are part of it.
    if (notifier_ != nullptr && receiver_) notifier_->TakeRows(receiver_.get());
    refreshAll_ = false;

    if (page_ >= kFirstExchangePage && page_ <= kLastExchangePage)
        rows_.BuildExchange(page_);
    else if (page_ >= kFavouritesPage && page_ < kFavouritesPage + kFavouriteListCount)
        rows_.BuildFavourites(page_ - kFavouritesPage, includePosition_ != 0);
    else if (page_ == kForeignCurrencyPage)
        rows_.BuildForeignCurrency();
    else
        rows_.Clear();
    if (IsContractListPage(page_)) UpdateCounters({});

    if (page_ == kCombinationPage) {
        CFixRecord& list = tradedata::CombinationQuoteListTable;
        if (list.GetFCount() == 0) list.Create(tradedata::kCombinationQuoteListLayout);
        RefreshCombinationRows(list);
        mainList_.SetRecord(&list, "ZHDM");
        mainList_.SetBlankPrompt("通过右键菜单添加组合行情");
        mainList_.Refresh();
        PostToFrame(shell::kCommandSubscribeQuotes, 0);
        builtDisplay_ = shell::GetDisplaySettings();
        return;
    }
    mainList_.SetRecord(&rows_.Table(), "HYHQ");
    if (page_ >= kFavouritesPage && page_ < kFavouritesPage + kFavouriteListCount)
        mainList_.SetBlankPrompt(
            "右键菜单选择‘自选合约设置’或其他行情页选择‘添加到自选合约’，添加合约。");
    else
        mainList_.SetBlankPrompt("");
    mainList_.Refresh();
    MarkVisibleRows();
    builtDisplay_ = shell::GetDisplaySettings();
}

std::vector<int> CQuoteBoard::VisibleRows() {
    std::vector<int> rows;
    if (mainList_.m_hWnd == 0 || !mainList_.IsWindowVisible()) return rows;
    const int top = static_cast<int>(::SendMessage(mainList_.m_hWnd, LVM_GETTOPINDEX, 0, 0));
    const int page = static_cast<int>(::SendMessage(mainList_.m_hWnd, LVM_GETCOUNTPERPAGE, 0, 0));
    const int last = std::min(top + page, mainList_.GetViewCount() - 1);
    for (int display = std::max(top, 0); display <= last; ++display) {
        const int row = mainList_.GetMapRecno(display);
        if (row >= 0) rows.push_back(row);
    }
    return rows;
}

void CQuoteBoard::MarkVisibleRows() {
    if (!IsContractListPage(page_)) return;
    tradedata::ClearFlagsInAllRows(tradedata::FuturesContractTable, kContractVisible);
    tradedata::ClearFlagsInAllRows(tradedata::OptionContractTable, kContractVisible);
    CFixRecord& t = rows_.Table();
    for (int row : VisibleRows()) {
        const RowRef ref = t.GetLong(3062, row);
        if (ref >= 0) tradedata::UpdateContractFlags(0, kContractVisible, ref);
    }
    PostToFrame(shell::kCommandSubscribeQuotes, 0);
}

void CQuoteBoard::PostToFrame(WPARAM code, LPARAM argument) {
    const HWND frame = shell::GetMainFrameWindow();
    if (frame != 0) ::PostMessage(frame, WM_FRAME_COMMAND, code, argument);
}

void CQuoteBoard::RefreshQuotes() {
    if (page_ == kCombinationPage) {
        if (notifier_ != nullptr && receiver_) notifier_->TakeRows(receiver_.get());
        refreshAll_ = false;
        RefreshCombinationRows(tradedata::CombinationQuoteListTable);
        ++refreshCount_;
        mainList_.Invalidate(FALSE);
        return;
    }
    if (!IsContractListPage(page_)) {
        if (notifier_ != nullptr && receiver_) notifier_->TakeRows(receiver_.get());
        refreshAll_ = false;
        return;
    }
    std::vector<RowRef> changed;
    if (notifier_ != nullptr && receiver_) changed = notifier_->TakeRows(receiver_.get());
    std::vector<CellChange> changes;
    if (refreshAll_) {
        refreshAll_ = false;
        rows_.RefreshAll(changes);
        UpdateCounters({});
    } else {
        rows_.Refresh(changed, changes);
    }
    ++refreshCount_;
    ShowChanges(changes);
}

void CQuoteBoard::ShowChanges(const std::vector<CellChange>& changes) {
    if (changes.empty() || mainList_.m_hWnd == 0) return;
    // Only the rows on screen are drawn; the others show their values when scrolled to.
    std::unordered_map<int, int> displayOf;
    const int top = static_cast<int>(::SendMessage(mainList_.m_hWnd, LVM_GETTOPINDEX, 0, 0));
    int display = std::max(top, 0);
    for (int row : VisibleRows()) displayOf.emplace(row, display++);
    if (displayOf.empty()) return;
    CMemRecord* mem = rows_.Table().GetMemRecord();
    // Cells drawn again without a highlight are gathered into one area per row, which the
    // next paint draws at once.
    std::unordered_map<int, RECT> redraw;
    auto addArea = [&](int displayRow, int column) {
        RECT r{};
        if (column >= 0) {
            r.top = column;
            r.left = LVIR_BOUNDS;
            ::SendMessage(mainList_.m_hWnd, LVM_GETSUBITEMRECT, static_cast<WPARAM>(displayRow),
                          reinterpret_cast<LPARAM>(&r));
        } else {
            r.left = LVIR_BOUNDS;
            ::SendMessage(mainList_.m_hWnd, LVM_GETITEMRECT, static_cast<WPARAM>(displayRow),
                          reinterpret_cast<LPARAM>(&r));
        }
        auto [it, added] = redraw.emplace(displayRow, r);
        if (!added) {
            it->second.left = std::min(it->second.left, r.left);
            it->second.right = std::max(it->second.right, r.right);
            it->second.top = std::min(it->second.top, r.top);
            it->second.bottom = std::max(it->second.bottom, r.bottom);
        }
    };
    for (const CellChange& change : changes) {
        auto it = displayOf.find(change.row);
        if (it == displayOf.end()) continue;
        if (change.kind == CellChangeKind::kRow) {
            addArea(it->second, -1);
            continue;
        }
        const int column = mainList_.GetColumnIndex(mem->FindIndex(change.field));
        if (column < 0) continue;
        COLORREF colour = CLR_INVALID;
        switch (change.kind) {
            case CellChangeKind::kPrice:
                colour = colours_.flashPrice;
                break;
            case CellChangeKind::kVolume:
                colour = colours_.flashVolume;
                break;
            case CellChangeKind::kOther:
                colour = colours_.flashOther;
                break;
            default:
                break;
        }
        if (change.kind != CellChangeKind::kRedraw) ++flashCount_;
        if (colour == CLR_INVALID)
            addArea(it->second, column);
        else
            mainList_.SetItemAnimate(it->second, column, colour, kFlashMs);
    }
    for (const auto& [displayRow, area] : redraw) mainList_.InvalidateRect(&area, FALSE);
}

// Cancel counts (886) and self-trade counts (2569) of the current client, kept per contract
// and per exchange in the order-count table.
void CQuoteBoard::UpdateCounters(const std::vector<int>& rows) {
    CFixRecord& counts = tradedata::OrderCountTable;
    if (counts.GetFCount() == 0) return;
    const std::string khh = tradedata::GetCurrentKhh();
    if (khh.empty()) return;
    CFixRecord& t = rows_.Table();
    std::vector<int> all = rows;
    if (all.empty())
        for (int r = 0; r < t.GetCount(); ++r) all.push_back(r);
    counts.acquireLockShared();
    for (int row : all) {
        const std::string exchange = t.Get(599, row), code = t.Get(719, row);
        const int cancels =
            counts.Find(763, fmt::format("{}|W|{}|{}", khh, exchange, code).c_str());
        const int trades = counts.Find(763, fmt::format("{}|T|{}", khh, exchange).c_str());
        t.Set(886, cancels >= 0 ? counts.GetLong(886, cancels) : 0, row);
        t.Set(2569, trades >= 0 ? counts.GetLong(528, trades) : 0, row);
    }
    counts.releaseLockShared();
}

void CQuoteBoard::LocateContract(const std::string& code) {
    if (!IsContractListPage(page_) || code.empty()) return;
    for (int pass = 0; pass < 2; ++pass) {
        const int row = rows_.Table().Find(719, code.c_str());
        if (row >= 0) {
            for (int display = 0; display < mainList_.GetViewCount(); ++display)
                if (mainList_.GetMapRecno(display) == row) {
                    mainList_.SetActiveItem(display);
                    break;
                }
            MarkVisibleRows();
            return;
        }
        if (pass == 1) return;
        // Not on this page: the exchange page of a futures contract.
        const int futures = tradedata::FindFuturesContract(code.c_str());
        if (futures < 0) return;
        const std::string exchange = tradedata::FuturesContractTable.Get(599, futures);
        const int exchangeRow = tradedata::ExchangeTable.Find(599, exchange.c_str());
        if (exchangeRow < 0) return;
        const HWND workspace = tradedata::GetWorkplaceWindow();
        if (workspace != 0)
            ::SendMessage(workspace, WM_FRAME_COMMAND, 86, 32810 + exchangeRow);
        else
            SelectPage(exchangeRow);
    }
}

const char* CQuoteBoard::CellText(CFixRecord* table, int row, int field, void* user) {
    auto* board = static_cast<CQuoteBoard*>(user);
    CMemRecord* mem = table->GetMemRecord();
    const uint32_t tag = mem->GetFieldIDentity(field);
    std::string& text = board->text_;
    if (board->page_ == kCombinationPage) return CombinationText(table, row, tag, text);
    if (board->page_ == kForeignCurrencyPage && IsConvertedTag(tag)) {
        text = fmt::format("{:.2f}",
                           mem->GetDouble(field, row) * mem->GetDouble(mem->FindIndex(1787u), row));
        return text.c_str();
    }
    if (IsPriceTag(tag)) {
        const int decimals = std::clamp(mem->GetLong(mem->FindIndex(1045u), row), 0, 8);
        text = fmt::format("{:.{}f}", mem->GetDouble(field, row), decimals);
        return text.c_str();
    }
    if (tag == 776) {
        const int32_t value = mem->GetLong(field, row);
        text = value != 0 ? fmt::format("{}", value) : std::string();
        return text.c_str();
    }
    if (tag == 1787) {
        if (mem->GetLong(mem->FindIndex(9020u), row) != 16) return "--.-";
        return nullptr;
    }
    return nullptr;
}

COLORREF CQuoteBoard::CellTextColor(CFixRecord* table, int row, int field, void* user) {
    auto* board = static_cast<CQuoteBoard*>(user);
    const BoardColours& colours = board->colours_;
    CMemRecord* mem = table->GetMemRecord();
    const uint32_t tag = mem->GetFieldIDentity(field);
    auto value = [&](uint32_t t) { return mem->GetDouble(mem->FindIndex(t), row); };
    if (board->page_ == kCombinationPage) {
        if (tag == 729 || tag == 1905 || tag == 1907)
            return SignColour(value(tag) - value(813), colours);
        return CLR_INVALID;
    }
    auto reference = [&] { return ReferencePrice(value(813), value(706), value(703)); };
    const bool byChange = board->priceColourMode_ == 1;
    switch (tag) {
        case 843:
        case 851:
            if (board->volumeSignColour_)
                return SignColour(value(tag == 843 ? 1337 : 1338), colours);
            return colours.volumes;
        case 729:
            if (byChange && value(1858) != 0) return SignColour(value(1858), colours);
            [[fallthrough]];
        case 679:
        case 1757: {
            const double last = value(729);
            return last > kTiny ? SignColour(last - reference(), colours) : CLR_INVALID;
        }
        case 842:
        case 850: {
            const double change = value(tag == 842 ? 1335 : 1336);
            if (byChange && change != 0) return SignColour(change, colours);
            const double price = value(tag);
            return price > kTiny ? SignColour(price - reference(), colours) : CLR_INVALID;
        }
        case 3550:
            return SignColour(value(1856), colours);
        case 719:
        case 722:
            return (mem->GetLong(mem->FindIndex(644u), row) & kContractHeld) ? colours.held
                                                                             : CLR_INVALID;
        default:
            return CLR_INVALID;
    }
}

}  // namespace market
