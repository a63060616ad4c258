// CQuoteTabDlg: the tab build, page choice, the display and quote-source switches and the
// states of their menu items.
#include "market/QuoteTabDlg.h"

#include <fmt/format.h>

#include <array>
#include <sstream>

#include "market/CombinationAlert.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "shell/FrameMessages.h"
#include "shell/services/SettingsWriters.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/Accounts.h"
#include "tradedata/AlertSound.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Notices.h"
#include "tradedata/Registries.h"

namespace market {

namespace {

constexpr uint32_t kShowBoard = 0x1000;
constexpr uint32_t kShowTradeCard = 0x2000;
constexpr uint32_t kShowCombinations = 0x4000;
constexpr uint32_t kShowOptions = 0x8000;
constexpr uint32_t kShowOptionSpread = 0x10000;
constexpr uint32_t kShowExtQuotes = 0x20000;
constexpr uint32_t kDollarQuotesBit = 0x200000;
constexpr uint32_t kOptionCalculatorBit = 1u << 25;
constexpr int32_t kQuoteService = 32;
constexpr uint32_t kSettingsBit = 0x100;
constexpr uint32_t kRowsBit = 0x20000;

struct DisplaySwitch {
    uint32_t bit;
    const char* key;  // null: not stored here
    UINT command;
    const char* text;
};

// Menu 130 in its order.
constexpr std::array<DisplaySwitch, 12> kDisplaySwitches = {{
    {kShowBoard, "SHOWHYHQ", 32907, "显示行情"},
    {kShowExtQuotes, "ShowExtHq", 32910, "显示扩展行情"},
    {0x40000, "LeftExtHq", 32965, "扩展行情显示在左边"},
    {kShowOptions, "ShowOption", 32911, "显示期权行情"},
    {0x100000, "QQHQSLXS", 32924, "使用T型列表显示期权行情"},
    {kShowOptionSpread, "ViewOptionSpread", 32954, "显示期权组合"},
    {kOptionCalculatorBit, nullptr, CQuoteTabDlg::kShowOptionCalculator, "显示期权计算器"},
    {kShowCombinations, "SHOWZHHQ", 32908, "显示组合行情"},
    {0x80000, "ZHHQTPXS", 32923, "组合和自选合约同页显示"},
    {kShowTradeCard, "VIEWCARD", 32909, "显示交易卡"},
    {1u << 24, "ShowPushMsg", 32915, "显示成交、信息推送窗口"},
    {kDollarQuotesBit, nullptr, CQuoteTabDlg::kDollarQuotes, "显示原油美元报价参考行情"},
}};

const DisplaySwitch* FindSwitch(UINT command) {
    for (const DisplaySwitch& s : kDisplaySwitches)
        if (s.command == command) return &s;
    return nullptr;
}

struct SourceChoice {
    UINT command;
    uint32_t choice;     // QuoteSourceState choice bit (0: automatic)
    uint32_t available;  // the bit that says the source can be used
    int stored;          // "AssignQuote"
    const char* text;
};
constexpr std::array<SourceChoice, 4> kSources = {{
    {CQuoteTabDlg::kSourceAutomatic, 0, 0, 0, "自动选择"},
    {CQuoteTabDlg::kSourceSubscription, shell::kQuoteSourceSubscription, 0x1, 1, "高速订阅行情"},
    {CQuoteTabDlg::kSourceBroadcast, shell::kQuoteSourceBroadcast, 0x2, 2, "本地广播行情"},
    {CQuoteTabDlg::kSourceLevel2, shell::kQuoteSourceLevel2, 0x4, 3, "Level2行情"},
}};

// Commands that the workspace window carries out.
constexpr std::array<UINT, 7> kWorkspaceCommands = {32789, 32790, 32791, 32794,
                                                    32914, 32979, 32980};

struct ToolButton {
    UINT command;
    const char* text;
};
constexpr std::array<ToolButton, 7> kToolButtons = {{{32809, "行情"},
                                                     {32803, "显示"},
                                                     {32914, "快捷键"},
                                                     {32789, "修改密码"},
                                                     {32794, "锁定"},
                                                     {32978, "配置"},
                                                     {32791, "关于"}}};

// Exchanges whose tabs come first, in this order.
constexpr std::array<const char*, 4> kLeadingExchanges = {"DL", "SQ", "ZZ", "ZJ"};

bool HasDollarQuotedProduct() {
    CFixRecord& products = tradedata::ProductTable;
    if (products.GetFCount() == 0) return false;
    products.acquireLockShared();
    bool found = false;
    for (int r = 0; r < products.GetCount() && !found; ++r) found = products.GetLong(9020, r) == 1;
    products.releaseLockShared();
    return found;
}

}  // namespace

int32_t PageOfCommand(UINT command) {
    if (command >= kFirstPageCommand && command < kFirstPageCommand + kExchangeTabRows)
        return static_cast<int32_t>(command - kFirstPageCommand);
    return static_cast<int32_t>(command) - 32800;
}

CQuoteTabDlg::CQuoteTabDlg() = default;

CQuoteTabDlg::~CQuoteTabDlg() {
    if (m_hWnd != 0 && ::IsWindow(m_hWnd)) DestroyWindow();
}

BOOL CQuoteTabDlg::Create(CWnd* parent) { return CDialog::Create(IDD, parent); }

BOOL CQuoteTabDlg::OnInitDialog() {
    CFlexDialog::OnInitDialog();
    tabs_.SubclassDlgItem(kTabsId, this);
    toolBar_.CreateEx(this, TBSTYLE_FLAT | TBSTYLE_LIST, WS_CHILD | WS_VISIBLE, kToolBarId);
    std::array<UINT, kToolButtons.size()> ids{};
    for (size_t i = 0; i < ids.size(); ++i) ids[i] = kToolButtons[i].command;
    toolBar_.SetButtons(ids.data(), static_cast<int>(ids.size()));
    for (size_t i = 0; i < ids.size(); ++i) {
        toolBar_.SetButtonText(static_cast<int>(i), kToolButtons[i].text);
        toolBar_.SetButtonStyle(static_cast<int>(i), 0x10);
    }
    // The strip starts as if every switch changed, so that the first pass builds the tabs.
    builtDisplay_ = ~shell::GetDisplaySettings();
    pending_ |= kSettingsBit;
    ProcessPending();
    tradedata::AddNotifyWindow(m_hWnd);
    keepTopMost_ = pavlet::ReadPrivateConfigInt("SYSTEM", "KeepTopMost", 0, INT32_MIN, INT32_MAX);
    PlaceControls();
    return TRUE;
}

void CQuoteTabDlg::OnOK() {}
void CQuoteTabDlg::OnCancel() {}

void CQuoteTabDlg::OnDestroy() {
    tradedata::RemoveNotifyWindow(m_hWnd);
    CFlexDialog::OnDestroy();
}

void CQuoteTabDlg::OnSize(UINT type, int cx, int cy) {
    CFlexDialog::OnSize(type, cx, cy);
    PlaceControls();
}

void CQuoteTabDlg::PlaceControls() {
    if (tabs_.m_hWnd == 0 || toolBar_.m_hWnd == 0) return;
    RECT client{};
    GetClientRect(&client);
    int width = 0, height = 0;
    for (int i = 0; i < toolBar_.GetCount(); ++i) {
        RECT r{};
        toolBar_.GetItemRect(i, &r);
        width = std::max<int>(width, r.right);
        height = std::max<int>(height, r.bottom);
    }
    width += 2 * CToolBar::kBorder;
    const int barHeight = std::min<int>(height, client.bottom);
    toolBar_.MoveWindow(client.right - width, (client.bottom - barHeight) / 2, width, barHeight);
    tabs_.MoveWindow(0, 0, std::max<int>(0, client.right - width), client.bottom);
}

LRESULT CQuoteTabDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case shell::WM_FRAME_REFRESH:
            pending_ |= static_cast<uint32_t>(wParam);
            ProcessPending();
            return 1;
        case shell::WM_FRAME_COMMAND:
            if (wParam == 86) ShowPage(static_cast<UINT>(lParam));
            return 1;
        default:
            return CFlexDialog::WindowProc(message, wParam, lParam);
    }
}

void CQuoteTabDlg::ProcessPending() {
    const uint32_t display = shell::GetDisplaySettings();
    bool built = false;
    if ((display ^ builtDisplay_) & 0xF000) {
        const uint32_t changed = display ^ builtDisplay_;
        if (changed & kShowBoard) {
            tabs_.ShowWindow((display & kShowBoard) ? SW_SHOW : SW_HIDE);
            built = (display & kShowBoard) != 0;
        } else {
            built = (changed & 0xE000) && (display & kShowBoard);
        }
    }
    builtDisplay_ = display;
    // One build serves both the changed switches and the settings bit.
    if ((display & kShowBoard) && (pending_ & kSettingsBit)) built = true;
    pending_ &= ~kSettingsBit;
    if (built) BuildTabs();
    if ((builtDisplay_ & kShowCombinations) && (pending_ & kRowsBit)) {
        pending_ &= ~kRowsBit;
        for (const CombinationAlert& alert : CheckCombinationAlerts()) {
            if (alert.bits & kAlertAtOrBelow) tradedata::PlayAlertSound(6, -1);
            if (alert.bits & kAlertAtOrAbove) tradedata::PlayAlertSound(7, -1);
            tradedata::AppendInfoMessage("行情预警", alert.text, nullptr);
        }
    }
    pending_ &= ~kRowsBit;
}

void CQuoteTabDlg::BuildTabs() {
    if (tabs_.m_hWnd == 0) return;
    tabs_.DeleteAllItems();
    const uint32_t display = shell::GetDisplaySettings();
    auto add = [this](const std::string& text, UINT command) {
        tabs_.InsertItem(tabs_.GetItemCount(), text, -1, static_cast<LPARAM>(command));
    };
    add("自选", kFavouritesCommand);
    // Favourite groups: those listed, each with its own page; groups past the last page of
    // their own are not offered.
    std::stringstream groups(pavlet::ReadPrivateConfigure("CUSTOM", "group_zxdm", ""));
    std::string item;
    while (std::getline(groups, item, ',')) {
        int n = 0;
        try {
            n = std::stoi(item);
        } catch (...) {
            continue;
        }
        if (n < 1 || n > kFavouriteGroups) continue;
        std::string caption = pavlet::ReadPrivateConfigure("CUSTOM", fmt::format("HYZ{}", n), "");
        if (caption.empty()) caption = fmt::format("自选{}", n);
        add(caption, kFavouritesCommand + static_cast<UINT>(n));
    }
    if (display & kShowOptions) add("期权", kOptionsCommand);
    if (display & kShowOptionSpread) add("期权组合", kOptionCombinationsCommand);
    if (display & kDollarQuotesBit) add("美元报价", kForeignCurrencyCommand);

    CFixRecord& exchanges = tradedata::ExchangeTable;
    if (exchanges.GetFCount() > 0) {
        exchanges.acquireLockShared();
        const int count = std::min(exchanges.GetCount(), kExchangeTabRows);
        std::vector<bool> added(static_cast<size_t>(count), false);
        for (const char* code : kLeadingExchanges)
            for (int r = 0; r < count; ++r)
                if (!added[static_cast<size_t>(r)] && exchanges.Get(599, r) == code) {
                    add(exchanges.Get(601, r), kFirstPageCommand + static_cast<UINT>(r));
                    added[static_cast<size_t>(r)] = true;
                }
        for (int r = 0; r < count; ++r)
            if (!added[static_cast<size_t>(r)])
                add(exchanges.Get(601, r), kFirstPageCommand + static_cast<UINT>(r));
        exchanges.releaseLockShared();
    }
    if (display & kShowCombinations) add("组合行情", kCombinationsCommand);
    if (display & kShowTradeCard) add("交易卡", kTradeCardCommand);
    PlaceControls();

    int selected = 0;
    for (int i = 0; i < tabs_.GetItemCount(); ++i)
        if (TabCommand(i) == current_) selected = i;
    tabs_.SetCurSel(selected);
    const UINT command = TabCommand(selected);
    // The first build shows its page whatever the board shows; later ones only a new page.
    if (!pageShown_) current_ = 0;
    pageShown_ = true;
    ShowPage(command);
}

int CQuoteTabDlg::TabCount() const { return tabs_.GetItemCount(); }
std::string CQuoteTabDlg::TabText(int index) const { return tabs_.GetItemText(index); }
UINT CQuoteTabDlg::TabCommand(int index) const {
    return static_cast<UINT>(tabs_.GetItemData(index));
}

void CQuoteTabDlg::SelectTab(int index) {
    if (index < 0 || index >= TabCount() || TabCommand(index) == current_) return;
    ShowPage(TabCommand(index));
}

void CQuoteTabDlg::ShowPage(UINT command) {
    if (command == current_ || command == 0) return;
    current_ = command;
    for (int i = 0; i < TabCount(); ++i)
        if (TabCommand(i) == command && tabs_.GetCurSel() != i) tabs_.SetCurSel(i);
    const HWND workspace = tradedata::GetWorkplaceWindow();
    if (workspace != 0)
        ::SendMessage(workspace, shell::WM_FRAME_COMMAND, 61, PageOfCommand(command));
}

BOOL CQuoteTabDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header != nullptr && header->idFrom == static_cast<UINT_PTR>(kTabsId) &&
        header->code == TCN_SELCHANGE) {
        const int index = tabs_.GetCurSel();
        if (index >= 0) ShowPage(TabCommand(index));
        return TRUE;
    }
    return CFlexDialog::OnNotify(wParam, lParam, result);
}

BOOL CQuoteTabDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT command = LOWORD(wParam);
    if (command >= kFirstPageCommand && command <= kLastPageCommand) {
        ShowPage(command);
        return TRUE;
    }
    if (FindSwitch(command) != nullptr) {
        ToggleDisplayBit(command);
        return TRUE;
    }
    for (const SourceChoice& source : kSources)
        if (source.command == command) {
            ChooseQuoteSource(command);
            return TRUE;
        }
    for (UINT forwarded : kWorkspaceCommands)
        if (forwarded == command) {
            const HWND workspace = tradedata::GetWorkplaceWindow();
            if (workspace != 0) ::SendMessage(workspace, WM_COMMAND, command, 0);
            return TRUE;
        }
    switch (command) {
        case kKeepTopMost:
            keepTopMost_ = keepTopMost_ ? 0 : 1;
            shell::WriteConfigInt("SYSTEM", "KeepTopMost", keepTopMost_, "");
            if (const HWND workspace = tradedata::GetWorkplaceWindow())
                ::PostMessage(workspace, shell::WM_FRAME_REFRESH, kSettingsBit, 0);
            return TRUE;
        case kDisplayButton:
            ShowMenuUnder(command, BuildDisplayMenu());
            return TRUE;
        case kSourceButton:
            ShowMenuUnder(command, BuildSourceMenu());
            return TRUE;
        case kConfigButton:
            ShowMenuUnder(command, BuildConfigMenu());
            return TRUE;
        default:
            return CFlexDialog::OnCommand(wParam, lParam);
    }
}

void CQuoteTabDlg::ToggleDisplayBit(UINT command) {
    const DisplaySwitch* s = FindSwitch(command);
    const uint32_t display = shell::GetDisplaySettings() ^ s->bit;
    shell::SetDisplaySettings(display);
    const HWND workspace = tradedata::GetWorkplaceWindow();
    if (command == kShowOptionCalculator) {
        if (workspace != 0)
            ::PostMessage(workspace, shell::WM_FRAME_COMMAND, 87, (display & s->bit) ? 1 : 0);
        return;
    }
    if (s->key != nullptr) shell::WriteConfigInt("SYSTEM", s->key, (display & s->bit) ? 1 : 0, "");
    if (workspace != 0) ::PostMessage(workspace, shell::WM_FRAME_REFRESH, kSettingsBit, 0);
}

void CQuoteTabDlg::ChooseQuoteSource(UINT command) {
    for (const SourceChoice& source : kSources)
        if (source.command == command) {
            shell::ReplaceQuoteSourceState(shell::kQuoteSourceChoiceMask, source.choice);
            shell::WriteConfigInt("SYSTEM", "AssignQuote", source.stored, "");
        }
}

HMENU CQuoteTabDlg::BuildDisplayMenu() {
    HMENU menu = ::CreatePopupMenu();
    for (const DisplaySwitch& s : kDisplaySwitches)
        ::AppendMenu(menu, MF_STRING, s.command, s.text);
    ::AppendMenu(menu, MF_STRING, kKeepTopMost, "前端显示");
    return menu;
}

HMENU CQuoteTabDlg::BuildSourceMenu() {
    HMENU menu = ::CreatePopupMenu();
    for (const SourceChoice& source : kSources)
        ::AppendMenu(menu, MF_STRING, source.command, source.text);
    return menu;
}

HMENU CQuoteTabDlg::BuildConfigMenu() {
    HMENU menu = ::CreatePopupMenu();
    ::AppendMenu(menu, MF_STRING, 32790, "参数设置");
    ::AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenu(menu, MF_STRING, 32980, "配置文件另存为");
    ::AppendMenu(menu, MF_STRING, 32979, "导入配置");
    return menu;
}

void CQuoteTabDlg::UpdateMenuStates(HMENU menu) {
    const uint32_t display = shell::GetDisplaySettings();
    auto check = [menu](UINT id, bool on) {
        ::CheckMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
    };
    auto enable = [menu](UINT id, bool on) {
        ::EnableMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
    };
    for (const DisplaySwitch& s : kDisplaySwitches) check(s.command, (display & s.bit) != 0);
    check(kKeepTopMost, keepTopMost_ != 0);
    const bool board = (display & kShowBoard) != 0;
    enable(32907, tradedata::HasAccountService(kQuoteService, -1));
    for (UINT id : {32908u, 32909u, 32910u, 32911u, 32954u}) enable(id, board);
    enable(32923, (display & kShowCombinations) != 0);
    enable(32965, board && (display & kShowExtQuotes) != 0);
    enable(32924, (display & (kShowOptions | 0x80000000u)) != 0);
    ::RemoveMenu(menu, 32969, MF_BYCOMMAND);
    ::RemoveMenu(menu, 32970, MF_BYCOMMAND);
    if (::GetMenuState(menu, kDollarQuotes, MF_BYCOMMAND) != static_cast<UINT>(-1)) {
        if (HasDollarQuotedProduct())
            enable(kDollarQuotes, board);
        else
            ::RemoveMenu(menu, kDollarQuotes, MF_BYCOMMAND);
    }
    const uint32_t sources = shell::GetQuoteSourceState();
    for (const SourceChoice& source : kSources) {
        if (source.choice == 0) {
            check(source.command,
                  (sources & (shell::kQuoteSourceSubscription | shell::kQuoteSourceBroadcast |
                              shell::kQuoteSourceLevel2)) == 0);
            continue;
        }
        check(source.command, (sources & source.choice) != 0);
        enable(source.command, (sources & source.available) != 0);
    }
}

void CQuoteTabDlg::ShowMenuUnder(UINT button, HMENU menu) {
    UpdateMenuStates(menu);
    RECT r{};
    const int index = toolBar_.CommandToIndex(button);
    toolBar_.GetItemRect(index, &r);
    POINT at{r.left, r.bottom};
    ::ClientToScreen(toolBar_.m_hWnd, &at);
    toolBar_.SetButtonState(button, toolBar_.GetButtonState(button) | TBSTATE_PRESSED);
    const UINT chosen =
        ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RETURNCMD, at.x, at.y, 0, m_hWnd, nullptr);
    if (::IsWindow(toolBar_.m_hWnd))
        toolBar_.SetButtonState(button, toolBar_.GetButtonState(button) & ~TBSTATE_PRESSED);
    ::DestroyMenu(menu);
    if (chosen != 0 && ::IsWindow(m_hWnd)) PostMessage(WM_COMMAND, chosen, 0);
}

}  // namespace market
