// COptionUnderlyingBar: the item list from the settings, the underlying list, the choice, and
// the values redrawn only when the quote row has changed since the last drawing.
#include "options/OptionUnderlyingBar.h"

#include <algorithm>
#include <cmath>

#include "options/FavoriteContractDlg.h"
#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "platform/ui/DialogManager.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "record/StringHelpers.h"
#include "shell/FrameMessages.h"
#include "shell/PartOpeners.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/ProgramHelpers.h"
#include "tradedata/Rates.h"
#include "tradedata/Registries.h"
#include "tradedata/TableLockOrder.h"
#include "tradedata/TradingHelpers.h"

namespace options {
namespace {

// Fields of the contract rows the strip reads.
constexpr uint32_t kCodeField = 719;           // ZQDM
constexpr uint32_t kExpiryField = 590;         // JSRQ
constexpr uint32_t kVolatilityField = 1212;    // NBDL
constexpr uint32_t kKindField = 1873;          // HYLX of an option underlying
constexpr uint32_t kFuturesRowField = 3062;    // RECNO
constexpr uint32_t kFlagsField = 644;          // FLAGS
constexpr uint32_t kStampField = 3203;         // SJ, the quote's update stamp
constexpr uint32_t kTickField = 594;           // JYJW
constexpr uint32_t kLastField = 729;           // ZXJ
constexpr uint32_t kSettlementField = 813;     // ZJSJ
constexpr uint32_t kLimitUpField = 706;        // ZGBJ
constexpr uint32_t kLimitDownField = 703;      // ZDBJ
constexpr uint32_t kHighField = 707;           // ZGJ
constexpr uint32_t kLowField = 704;            // ZDJ
constexpr uint32_t kVolumeField = 528;         // CJSL
constexpr uint32_t kOpenInterestField = 1807;  // CCL

// Underlying kinds listed when the user has no favourites: futures and indexes.
constexpr int32_t kFuturesUnderlying = 0;
constexpr int32_t kIndexUnderlying = 3;

constexpr double kEpsilon = 0.000001;
// A missing quote row: older than any drawing, so only a fresh choice draws it.
constexpr double kMissingStamp = 0.1;

// Placement in dialog units: where the first item starts after the list, the gap between
// items and the width of a value; a caption is as wide as its text.
constexpr int kItemGap = 4;
constexpr int kValueWidth = 44;
constexpr int kLabelTop = 3;
constexpr int kLabelHeight = 8;

constexpr const char* kFavoritesTitle = "设置自选期权标的合约";
constexpr const char* kFavoritesMenuText = "自选期权标的设置";
constexpr const char* kItemsMenuText = "期权标的信息显示设置";

}  // namespace

const std::array<COptionUnderlyingBar::ItemChoice, COptionUnderlyingBar::kItemCount>
    COptionUnderlyingBar::kItems = {{
        {kExpiry, "JSRQ", "结束日期", "到期"},
        {kLastPrice, "ZXJ", "最新价", "最新"},
        {kChange, "HQZD", "涨跌", "涨跌"},
        {kHigh, "ZGJ", "最高价", "最高"},
        {kLow, "ZDJ", "最低价", "最低"},
        {kLimitUp, "ZGBJ", "涨停", "涨停"},
        {kLimitDown, "ZDBJ", "跌停", "跌停"},
        {kVolume, "CJSL", "成交量", "成交"},
        {kOpenInterest, "CCSL", "持仓量", "持仓"},
        {kOptionExpiry, "QQJSRQ", "期权结束日期", "期权到期"},
        {kHistoricalVolatility, "LSBDL", "历史波动率", "历史波动率"},
    }};

static_assert(COptionUnderlyingBar::kCaptionBaseId + COptionUnderlyingBar::kItemCount <=
                  COptionUnderlyingBar::kValueBaseId,
              "caption and value ids overlap");

std::string COptionUnderlyingBar::ItemDictionary() {
    std::string dictionary;
    for (const ItemChoice& choice : kItems) {
        if (!dictionary.empty()) dictionary += ',';
        dictionary += choice.code;
        dictionary += ':';
        dictionary += choice.name;
    }
    return dictionary;
}

std::vector<COptionUnderlyingBar::Item> COptionUnderlyingBar::ParseItems(std::string_view codes) {
    std::vector<Item> items;
    std::size_t start = 0;
    while (start <= codes.size()) {
        const std::size_t end = std::min(codes.find(',', start), codes.size());
        const std::string_view code = codes.substr(start, end - start);
        auto found = std::find_if(kItems.begin(), kItems.end(),
                                  [code](const ItemChoice& choice) { return code == choice.code; });
        // Each item has one pair of labels, so a code named twice shows once.
        if (found != kItems.end() &&
            std::find(items.begin(), items.end(), found->item) == items.end())
            items.push_back(found->item);
        start = end + 1;
    }
    if (items.empty() && codes != kDefaultItems) return ParseItems(kDefaultItems);
    return items;
}

COptionUnderlyingBar::COptionUnderlyingBar() : CFlexDialog(IDD) {}
COptionUnderlyingBar::~COptionUnderlyingBar() = default;

BOOL COptionUnderlyingBar::Create(CWnd* parent) { return CDialog::Create(IDD, parent); }

LRESULT COptionUnderlyingBar::SendItem(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendDlgItemMessage(m_hWnd, id, message, wParam, lParam);
}

BOOL COptionUnderlyingBar::OnInitDialog() {
    CFlexDialog::OnInitDialog();
    for (const ItemChoice& choice : kItems)
        SetDlgItemText(kCaptionBaseId + choice.item, choice.caption);
    tradedata::AddNotifyWindow(m_hWnd);
    PostMessage(shell::WM_FRAME_REFRESH, kBarLayout | kBarList, 0);
    return FALSE;
}

void COptionUnderlyingBar::OnDestroy() {
    tradedata::RemoveNotifyWindow(m_hWnd);
    CFlexDialog::OnDestroy();
}

void COptionUnderlyingBar::OnOK() {}
void COptionUnderlyingBar::OnCancel() {}

LRESULT COptionUnderlyingBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case shell::WM_FRAME_REFRESH:
            OnRefresh(wParam);
            return 0;
        case shell::WM_FRAME_COMMAND:
            if (wParam != kCommandChooseUnderlying) break;
            OnChooseCommand(reinterpret_cast<const char*>(lParam));
            return 1;
        case WM_CONTEXTMENU:
            ShowContextMenu(POINT{static_cast<short>(LOWORD(static_cast<uintptr_t>(lParam))),
                                  static_cast<short>(HIWORD(static_cast<uintptr_t>(lParam)))});
            return 0;
        default:
            break;
    }
    return CFlexDialog::WindowProc(message, wParam, lParam);
}

BOOL COptionUnderlyingBar::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (id == kUnderlyingListId && code == CBN_SELENDOK) {
        const LRESULT item = SendItem(kUnderlyingListId, CB_GETCURSEL);
        if (item >= 0) {
            const auto texts = ListedCodes();
            Choose(texts[static_cast<std::size_t>(item)]);
        }
        return TRUE;
    }
    if (id == kUnderlyingListId && code == CBN_KILLFOCUS) {
        OnListLeft();
        return TRUE;
    }
    if (code == 0 && lParam == 0) {  // a menu choice
        switch (id) {
            case kFavoritesCommand:
                OnFavorites();
                return TRUE;
            case kItemsCommand:
                OnItems();
                return TRUE;
            default:
                break;
        }
    }
    return CFlexDialog::OnCommand(wParam, lParam);
}

void COptionUnderlyingBar::OnRefresh(WPARAM mask) {
    // Served at once: the strip stays shown above its board for the board's whole life.
    pending_ |= static_cast<uint32_t>(mask);
    const uint32_t work = pending_;
    pending_ = 0;
    if (work & kBarLayout) {
        ApplyItemList();
        PlaceItems();
    }
    if (work & kBarList) FillList();
    if (work & (kBarLayout | kBarList | kBarValues)) UpdateValues();
}

void COptionUnderlyingBar::OnChooseCommand(const char* text) {
    if (!text || !*text) return;
    const LRESULT item = SendItem(kUnderlyingListId, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(text));
    if (item < 0) return;
    SendItem(kUnderlyingListId, CB_SETCURSEL, static_cast<WPARAM>(item));
    Choose(ListedCodes()[static_cast<std::size_t>(item)]);
}

void COptionUnderlyingBar::OnListLeft() {
    const std::vector<std::string> codes = ListedCodes();
    if (codes.empty()) return;
    const std::string typed = GetDlgItemText(kUnderlyingListId);
    LRESULT item = -1;
    if (!typed.empty())
        item = SendItem(kUnderlyingListId, CB_FINDSTRING, static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(typed.c_str()));
    if (item < 0) {
        auto current = std::find(codes.begin(), codes.end(), code_);
        item = current != codes.end() ? current - codes.begin() : 0;
    }
    SendItem(kUnderlyingListId, CB_SETCURSEL, static_cast<WPARAM>(item));
    Choose(codes[static_cast<std::size_t>(item)]);
}

std::vector<std::string> COptionUnderlyingBar::ListedCodes() const {
    std::vector<std::string> codes;
    const LRESULT count = SendItem(kUnderlyingListId, CB_GETCOUNT);
    for (LRESULT item = 0; item < count; ++item) {
        const LRESULT length = SendItem(kUnderlyingListId, CB_GETLBTEXTLEN, item);
        std::string text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, '\0');
        SendItem(kUnderlyingListId, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text.data()));
        text.resize(std::char_traits<char>::length(text.c_str()));
        codes.push_back(std::move(text));
    }
    return codes;
}

void COptionUnderlyingBar::ShowContextMenu(POINT screen) {
    CMenu menu;
    if (!menu.CreatePopupMenu()) return;
    menu.AppendMenu(MF_STRING, kFavoritesCommand, kFavoritesMenuText);
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, kItemsCommand, kItemsMenuText);
    // The choice comes back as WM_COMMAND.
    ::TrackPopupMenu(menu.m_hMenu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, m_hWnd);
}

void COptionUnderlyingBar::OnRButtonUp(UINT flags, POINT point) {
    ClientToScreen(&point);
    ShowContextMenu(point);
    CFlexDialog::OnRButtonUp(flags, point);
}

void COptionUnderlyingBar::OnFavorites() {
    CFavoriteContractDlg dialog(this);
    dialog.section = kFavoriteUnderlyingSection;
    dialog.kind = kUnderlyingContracts;
    dialog.title = kFavoritesTitle;
    if (dialog.DoModal() == IDOK) OnRefresh(kBarList);
}

void COptionUnderlyingBar::OnItems() {
    const shell::DisplaySettingsRequest request{ItemDictionary(), kDefaultItems,
                                                kUnderlyingItemsKey};
    if (shell::RunOpener(shell::PartOpeners().displaySettings, this, request) == IDOK)
        OnRefresh(kBarLayout);
}

void COptionUnderlyingBar::ApplyItemList() {
    shown_ = ParseItems(pavlet::ReadPrivateConfigure("CUSTOM", kUnderlyingItemsKey, kDefaultItems));
}

void COptionUnderlyingBar::PlaceItems() {
    RECT list{};
    if (CWnd* combo = GetDlgItem(kUnderlyingListId)) {
        combo->GetWindowRect(&list);
        ScreenToClient(&list);
    }
    // Dialog units to pixels, for one caption or value at a time.
    auto toPixels = [this](int width) {
        RECT box{0, kLabelTop, width, kLabelTop + kLabelHeight};
        MapDialogRect(&box);
        return box;
    };
    RECT gap = toPixels(kItemGap);
    int x = list.right + (gap.right - gap.left);
    auto place = [&](int id, int widthUnits, bool shown) {
        CWnd* label = GetDlgItem(id);
        if (!label) return;
        const RECT box = toPixels(widthUnits);
        label->MoveWindow(x, box.top, box.right - box.left, box.bottom - box.top);
        label->EnableWindow(shown);
        label->ShowWindow(shown ? SW_SHOW : SW_HIDE);
        x += box.right - box.left;
    };
    auto captionUnits = [](Item item) {
        return static_cast<int>(platform::GbkLength(kItems[item].caption)) * 4 + 2;
    };
    std::vector<Item> order = shown_;
    for (const ItemChoice& choice : kItems)
        if (std::find(shown_.begin(), shown_.end(), choice.item) == shown_.end())
            order.push_back(choice.item);
    for (std::size_t i = 0; i < order.size(); ++i) {
        const bool shown = i < shown_.size();
        place(kCaptionBaseId + order[i], captionUnits(order[i]), shown);
        place(kValueBaseId + order[i], kValueWidth, shown);
        x += gap.right - gap.left;
    }
}

void COptionUnderlyingBar::FillList() {
    SendItem(kUnderlyingListId, CB_RESETCONTENT);
    std::vector<std::string> codes;
    tradedata::SplitByChars(tradedata::LoadContractList(kFavoriteUnderlyingSection), ",", codes);
    CFixRecord& underlyings = tradedata::UnderlyingTable;
    if (std::none_of(codes.begin(), codes.end(), [](const std::string& c) { return !c.empty(); })) {
        codes.clear();
        for (int row = 0; row < underlyings.GetCount(); ++row) {
            const int32_t kind = underlyings.GetLong(kKindField, row);
            std::string code = underlyings.Get(kCodeField, row);
            if ((kind == kFuturesUnderlying || kind == kIndexUnderlying) && !code.empty())
                codes.push_back(std::move(code));
        }
    }
    std::vector<std::string> listed;
    {
        tradedata::ScopedTableLock hold(tradedata::FuturesContractTable,
                                        tradedata::TableLockRank::FuturesContract, true);
        for (const std::string& code : codes) {
            const int row = tradedata::FindUnderlyingContract(code.c_str());
            if (row < 0 || std::find(listed.begin(), listed.end(), code) != listed.end()) continue;
            SendItem(kUnderlyingListId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(code.c_str()));
            listed.push_back(code);
            const int futures = tradedata::FindFuturesContract(code.c_str());
            underlyings.Set(kFuturesRowField, int32_t{futures}, row);
            if (futures >= 0) {
                CFixRecord& table = tradedata::FuturesContractTable;
                table.Set(kFlagsField, table.GetLong(kFlagsField, futures) | kMarkStripUnderlying,
                          futures);
            }
        }
    }
    auto current = std::find(listed.begin(), listed.end(), code_);
    if (current != listed.end()) {
        SendItem(kUnderlyingListId, CB_SETCURSEL, static_cast<WPARAM>(current - listed.begin()));
    } else if (!listed.empty()) {
        SendItem(kUnderlyingListId, CB_SETCURSEL, 0);
        Choose(listed.front());
    }
}

void COptionUnderlyingBar::Choose(const std::string& code) {
    if (code == code_) return;
    code_ = code;
    optionExpiry_.clear();
    stamp_ = 0;
    // The first table that holds the code: a futures underlying's own row, else the option
    // underlying's.
    const tradedata::RowRef row = tradedata::FindContract(code_.c_str());
    SetValue(kExpiry, tradedata::GetRowString(kExpiryField, row));
    const double volatility = tradedata::GetRowDouble(kVolatilityField, row);
    const double shown = volatility < kEpsilon ? tradedata::GetVolatility() : volatility;
    SetValue(kHistoricalVolatility, platform::FormatFixed(shown * 100, 2) + "%");
    PostMessage(shell::WM_FRAME_REFRESH, kBarValues, 0);
    if (CWnd* parent = GetParent())
        parent->SendMessage(shell::WM_FRAME_COMMAND, kCommandChooseUnderlying, 0);
}

void COptionUnderlyingBar::SetValue(Item item, const std::string& text) {
    SetDlgItemText(kValueBaseId + item, text);
}

void COptionUnderlyingBar::UpdateValues() {
    if (code_.empty()) return;
    // An index underlying shows the contract it is traded as.
    const tradedata::RowRef row = tradedata::FindTradableContract(code_.c_str());
    const double stamp = row >= 0 ? tradedata::GetRowDouble(kStampField, row) : kMissingStamp;
    if (stamp_ != 0 && !(stamp > stamp_)) return;
    stamp_ = tradedata::GetHighResMicroseconds();

    const int decimals = tradedata::GetTickDecimals(tradedata::GetRowDouble(kTickField, row));
    auto price = [&](uint32_t field) {
        return row >= 0 ? pavlet::FlexNumericFormat(tradedata::GetRowDouble(field, row), decimals)
                        : std::string();
    };
    SetValue(kLastPrice, price(kLastField));
    SetValue(kHigh, price(kHighField));
    SetValue(kLow, price(kLowField));
    SetValue(kLimitUp, price(kLimitUpField));
    SetValue(kLimitDown, price(kLimitDownField));
    auto count = [&](uint32_t field) {
        return row >= 0 ? pavlet::FlexNumericFormat(tradedata::GetRowDouble(field, row), 0)
                        : std::string();
    };
    SetValue(kVolume, count(kVolumeField));
    SetValue(kOpenInterest, count(kOpenInterestField));

    std::string change;
    if (row >= 0) {
        const double last = tradedata::GetRowDouble(kLastField, row);
        double base = tradedata::GetRowDouble(kSettlementField, row);
        if (base == 0)
            base = (tradedata::GetRowDouble(kLimitUpField, row) +
                    tradedata::GetRowDouble(kLimitDownField, row)) /
                   2;
        const double value = last == 0 || base == 0 ? 0 : last - base;
        change = pavlet::FlexNumericFormat(value, decimals);
        if (value > kEpsilon) change = "+" + change;
    }
    SetValue(kChange, change);

    if (optionExpiry_.empty()) {
        CFixRecord& optionsTable = tradedata::OptionContractTable;
        const int option = optionsTable.Find(kCodeField, code_.c_str());
        if (option >= 0) optionExpiry_ = optionsTable.Get(kExpiryField, option);
    }
    SetValue(kOptionExpiry, optionExpiry_);
}

}  // namespace options
