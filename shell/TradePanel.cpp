// The standard trading panel: start, tabs and pages, bars, order panels, the workspace
// messages, key routing, hot keys, the auto lock and teardown.
#include "shell/TradePanel.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include "flexui/DrawHelpers.h"
#include "flexui/GridCtrl.h"
#include "orderentry/controls/HotkeyTable.h"
#include "platform/core/Clock.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/HotKey.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "shell/FrameMessages.h"
#include "shell/MainFrame.h"
#include "shell/TradeApp.h"
#include "shell/ViewPlugin.h"
#include "shell/WindowHelpers.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/AccountFiles.h"
#include "tradedata/Accounts.h"
#include "tradedata/AlertSound.h"
#include "tradedata/ColorSettings.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/LocalLists.h"
#include "tradedata/Notices.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/ReferenceData.h"
#include "tradedata/Registries.h"
#include "tradedata/RunRegisters.h"
#include "tradedata/TradingHelpers.h"

namespace shell {
namespace {

constexpr size_t Index(PanelBar bar) { return static_cast<size_t>(bar); }
constexpr size_t Index(BarPanelKind kind) { return static_cast<size_t>(kind); }
constexpr size_t Index(PageKind kind) { return static_cast<size_t>(kind); }
constexpr size_t Index(OrderPanelKind kind) { return static_cast<size_t>(kind); }

// The bars: style, and the panel each one holds (none for the order bars, whose panel
// changes with the page in front).
struct BarSpec {
    DWORD style;
    bool hasPanel;
    BarPanelKind panel;
};
// Bars show tool tips for their controls.
constexpr DWORD kBarToolTips = 0x0010;
constexpr DWORD kTopBar = CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM | kBarToolTips;
constexpr DWORD kBottomBar = CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP | kBarToolTips;
constexpr DWORD kRightBar = CBRS_ALIGN_RIGHT | CBRS_BORDER_LEFT | kBarToolTips;
constexpr DWORD kVerticalAlignBits =
    CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM | CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP;
constexpr BarSpec kBars[] = {
    {kTopBar, true, BarPanelKind::QuoteTabs},
    {kTopBar | CBRS_SIZE_DYNAMIC, true, BarPanelKind::QuoteBoard},
    {kBottomBar, true, BarPanelKind::StatusStrip},
    {kBottomBar, true, BarPanelKind::InfoList},
    {kTopBar, true, BarPanelKind::AccountSummary},
    {kTopBar, false, BarPanelKind::Count},
    {kRightBar, false, BarPanelKind::Count},
};
static_assert(std::size(kBars) == static_cast<size_t>(PanelBar::Count));

// The pages: id, caption, the HOTKEY key of its hot key, the order-panel mode it asks for
// and its page window (the transfer tab picks one of two at every selection).
struct PageSpec {
    int32_t id;
    const char* caption;
    const char* hotkey;
    int mode;
    PageKind kind;
};
constexpr PageSpec kPages[] = {
    {kPageOrders, "委托", "WTCX", 1, PageKind::OrderQuery},
    {kPageFundsPositions, "资金持仓", "CCCX", 1, PageKind::FundsPositions},
    {kPageTrades, "成交", "CJCX", 1, PageKind::TradeSummary},
    {kPagePreplacedOrders, "预埋单", "YYWT", 2, PageKind::PreplacedOrders},
    {kPageCodeTable, "代码表", "HYDM", 1, PageKind::ContractTable},
    {kPageHistory, "查历史", "CJLS", 0, PageKind::HistoryQuery},
    {kPageBill, "结算单", "JSZD", 0, PageKind::BillConfirm},
    {kPageExtendedFunctions, "扩展功能", "KZWT", 0, PageKind::ExtendedOrderTree},
    {kPageTransfer, "转帐", "YQZZ", 0, PageKind::TransferMain},
    {kPageExtendedInstructions, "扩展指令", "JYSYW", 0, PageKind::ArbitrageTree},
    {kPageOtherServices, "其他服务", nullptr, 0, PageKind::FundsTree},
};

const PageSpec* FindPageSpec(int32_t id) {
    for (const PageSpec& p : kPages)
        if (p.id == id) return &p;
    return nullptr;
}

// The fixed tabs, in their order.
constexpr int32_t kFixedTabs[] = {kPageOrders,          kPageFundsPositions, kPageTrades,
                                  kPagePreplacedOrders, kPageHistory,        kPageBill,
                                  kPageCodeTable};

// The command hot keys of section HOTKEY.
struct CommandHotkey {
    const char* key;
    UINT command;
};
constexpr CommandHotkey kCommandHotkeys[] = {
    {"QBCD", ID_PANEL_CANCEL_ALL},       {"QBKCCD", ID_PANEL_CANCEL_OPENING},
    {"QBPCCD", ID_PANEL_CANCEL_CLOSING}, {"KSWTCD", ID_PANEL_ORDER_QUERY_QUICK},
    {"QBPC", ID_PANEL_CLOSE_ALL},        {"JYWT", ID_PANEL_FOCUS_ORDER},
    {"ZYCDB", ID_PANEL_ORDER_QUERY_BUY}, {"ZYCDS", ID_PANEL_ORDER_QUERY_SELL},
};
constexpr int kLayerRestoreDefault = 123;  // F12

// Account services of the conditional tabs.
constexpr int32_t kExtendedFunctionServices = 1175;
constexpr int32_t kGroupService = 0x8;
constexpr int32_t kTransferService = 0x40;
constexpr int32_t kQuoteService = 0x20;
constexpr int32_t kExtendedInstructionServices = 0x4000 | 0x200 | 0x800000 | 0x800;
constexpr uint32_t kAccountGroupField = 1837;  // XZBH

// Hot-key flags (high byte of a hot-key word) as system modifiers.
UINT SystemModifiers(int32_t word) {
    const auto flags = static_cast<BYTE>((word >> 8) & 0xFF);
    UINT modifiers = 0;
    if (flags & HOTKEYF_SHIFT) modifiers |= MOD_SHIFT;
    if (flags & HOTKEYF_CONTROL) modifiers |= MOD_CONTROL;
    if (flags & HOTKEYF_ALT) modifiers |= MOD_ALT;
    return modifiers;
}

int32_t HotkeyWord(const char* key, int32_t def) {
    return pavlet::ReadPrivateConfigInt("HOTKEY", key, def, 0, 0);
}

int32_t TodayNumber() {
    const tradedata::SystemTime now = tradedata::GetCurrentSystemTime();
    return now.year * 10000 + now.month * 100 + now.day;
}

bool IsLiveWindow(HWND hwnd) { return hwnd != 0 && ::IsWindow(hwnd); }

void DestroyOwned(std::unique_ptr<CWnd>& wnd) {
    if (!wnd) return;
    if (IsLiveWindow(wnd->m_hWnd)) wnd->DestroyWindow();
    wnd.reset();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Built-in view entries

CWnd* CreateStandardWorkspace(const ViewCreateParams* params, intptr_t) {
    if (params == nullptr) return nullptr;
    auto panel = std::make_unique<CTradePanelDlg>();
    panel->SetFrame(dynamic_cast<CFrameWnd*>(CWnd::FromHandlePermanent(params->frame)));
    CWnd* parent = CWnd::FromHandle(params->parent);
    if (!panel->Create(CTradePanelDlg::IDD, parent)) return nullptr;
    return panel.release();
}

void ReleaseStandardWorkspace(CWnd* workspace) {
    std::unique_ptr<CWnd> owned(workspace);
    if (owned && IsLiveWindow(owned->m_hWnd)) owned->DestroyWindow();
}

// ---------------------------------------------------------------------------------------------

CTradePanelDlg::CTradePanelDlg() : CFlexDialog(IDD) {}

CTradePanelDlg::~CTradePanelDlg() {
    if (IsLiveWindow(m_hWnd)) DestroyWindow();
}

void CTradePanelDlg::DoDataExchange(CDataExchange* dx) {
    CFlexDialog::DoDataExchange(dx);
    if (tabs_.m_hWnd == 0) tabs_.SubclassDlgItem(kTabId, this);
}

BOOL CTradePanelDlg::OnInitDialog() {
    CFlexDialog::OnInitDialog();
    SetWorkspaceWindow(m_hWnd);

    pavlet::SetPrivateProfileName(tradedata::GetAccountFilePath(tradedata::GetCurrentKhh(), "ini"));
    CGridCtrl::SetGridStyle(7);

    tabs_.SetItemSize(SIZE{-1, 22});
    tabs_.SetPadding(SIZE{8, 8});
    SetItemAlign(kTabId, FLEX_ALIGN_WIDTH | FLEX_ALIGN_HEIGHT);

    InitLayeredWindows();
    tradedata::LoadColorSettings();
    ReadSettings();
    appliedDisplay_ = GetDisplaySettings();
    tradedata::LoadCombinationQuotes();
    tradedata::LoadPreplacedOrders();
    tradedata::LoadContractParams();
    tradedata::NoticeTable.acquireLockExclusive();
    tradedata::NoticeTable.Create(tradedata::kNoticeLayout);
    tradedata::NoticeTable.releaseLockExclusive();
    tradedata::LoadTodayNotices(-1);
    tradedata::SetAccountNotify(tradedata::kNotifyFunds | tradedata::kNotifyPositions, -1);

    CreateBars();
    if (frame_) frame_->RecalcLayout(TRUE);

    if (GetDisplaySettings() & kDisplayTabsAtBottom) tabs_.ModifyStyle(0, TCS_BOTTOM);
    for (int32_t id : kFixedTabs) InsertTab(TabCount(), FindPageSpec(id)->caption, id);

    SetTitle();
    const uint32_t display = GetDisplaySettings();
    const int boardHeight = pavlet::ReadPrivateConfigInt("SYSTEM", "HYHQHEIGHT", 0, 0, 0);
    if ((display & kDisplayQuoteBoard) && boardHeight > 0 && Bar(PanelBar::QuoteBoard))
        Bar(PanelBar::QuoteBoard)->SetBarSize(0, boardHeight);
    ShowBar(PanelBar::QuoteBoard, (display & kDisplayQuoteBoard) != 0);
    UpdateExtendedFunctionsTab();
    UpdateTransferTab();
    UpdateExtendedInstructionsTab();
    UpdateOtherServicesTab();
    SelectPage(0);

    LoadHotkeys();

    worker_ = std::make_unique<CTradePanelWorker>(state_, WorkerJobs());
    if (worker_->Start()) {
        // A zero timer fires once the queued messages are handled: the input-idle point.
        CTradePanelWorker* started = worker_.get();
        HWND self = m_hWnd;
        QTimer::singleShot(0, GetWidget(), [this, self, started] {
            if (::IsWindow(self) && worker_.get() == started) started->MarkInputIdle();
        });
    }
    SetTimer(kAutoLockTimer, kAutoLockPeriodMs);
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Settings

void CTradePanelDlg::ReadSettings() {
    settings_ = ReadPanelSettings(LayeredWindowsBound());
    if (frame_ && IsLiveWindow(frame_->m_hWnd)) {
        frame_->SendMessage(WM_FRAME_SERVICE, kServiceLoginElsewhereCheck, settings_.loginCheck);
        frame_->SendMessage(WM_FRAME_SERVICE, kServiceMessageBoxes, settings_.loginNotify);
    }
    ApplyTopMost();
}

void CTradePanelDlg::ApplyTopMost() {
    CWnd* main = CWnd::FromHandle(GetMainWindow());
    if (main == nullptr || !IsLiveWindow(main->m_hWnd)) return;
    const bool want = settings_.keepTopMost != 0;
    const bool now = (main->GetExStyle() & WS_EX_TOPMOST) != 0;
    if (want == now) return;
    main->ModifyStyleEx(want ? 0 : WS_EX_TOPMOST, want ? WS_EX_TOPMOST : 0);
    // The stay-on-top hint takes a window out of its place on screen; put it back as it was.
    QWidget* widget = main->GetWidget();
    if (widget && widget->isWindow()) {
        const bool visible = widget->isVisible();
        const QRect geometry = widget->geometry();
        widget->setWindowFlag(Qt::WindowStaysOnTopHint, want);
        widget->setGeometry(geometry);
        if (visible) widget->show();
    }
}

void CTradePanelDlg::LoadHotkeys() {
    orderentry::controls::ClearHotkeyTable();
    for (const CommandHotkey& h : kCommandHotkeys) {
        const int32_t word = HotkeyWord(h.key, 0);
        if (word != 0) orderentry::controls::SetHotkeyCommand(word, h.command);
    }
    if ((GetDisplaySettings() & kDisplayLayered) &&
        pavlet::ReadPrivateConfigure("SYSTEM", "EnableLayer", 1) != 0) {
        const int32_t word = HotkeyWord("LAYERRESTORE", kLayerRestoreDefault);
        if (word != 0) orderentry::controls::SetHotkeyCommand(word, ID_PANEL_LAYER_RESTORE);
    }
    if (frame_ && IsLiveWindow(frame_->m_hWnd)) {
        ::UnregisterHotKey(frame_->m_hWnd, kBossHotKeyId);
        const int32_t boss = HotkeyWord("MINIMIZE", 0);
        if (boss != 0)
            ::RegisterHotKey(frame_->m_hWnd, kBossHotKeyId, SystemModifiers(boss), boss & 0xFF);
    }
    const int32_t alt = HOTKEYF_ALT << 8;
    for (int i = 0; i < 9; ++i)
        orderentry::controls::SetHotkeyCommand(alt | ('1' + i), ID_PANEL_TAB_FIRST + i);
    orderentry::controls::SetHotkeyCommand(alt | '0', ID_PANEL_TAB_FIRST + 9);

    for (const PageSpec& page : kPages) {
        if (page.hotkey == nullptr) continue;
        const int32_t word = HotkeyWord(page.hotkey, 0);
        const std::string label =
            word != 0 ? std::string(page.caption) + orderentry::controls::GetHotkeyText(word)
                      : page.caption;
        for (int i = 0; i < TabCount(); ++i)
            if (TabPage(i) == page.id && TabText(i) != label) SetTabText(i, label);
        if (word != 0) orderentry::controls::SetHotkeyCommand(word, ID_PANEL_PAGE_FIRST + page.id);
    }
    if (HACCEL old = GetHotKeyAccelerators()) DestroyAcceleratorTable(old);
    SetHotKeyAccelerators(orderentry::controls::BuildAcceleratorTable());
}

// ---------------------------------------------------------------------------------------------
// Tabs and pages

int CTradePanelDlg::TabCount() const { return tabs_.GetItemCount(); }

int32_t CTradePanelDlg::TabPage(int index) const {
    return static_cast<int32_t>(tabs_.GetItemData(index));
}

std::string CTradePanelDlg::TabText(int index) const { return tabs_.GetItemText(index); }

int CTradePanelDlg::CurrentTab() const { return tabs_.GetCurSel(); }

int CTradePanelDlg::InsertTab(int index, const std::string& text, int32_t pageId) {
    return tabs_.InsertItem(index, text, -1, pageId);
}

void CTradePanelDlg::SetTabText(int index, const std::string& text) {
    std::string copy = text;
    TCITEM item;
    item.mask = TCIF_TEXT;
    item.pszText = copy.data();
    tabs_.SetItem(index, &item);
}

int CTradePanelDlg::FindTabByPage(int32_t pageId) const {
    const int count = TabCount();
    for (int i = 0; i < count; ++i)
        if (TabPage(i) == pageId) return i;
    return -1;
}

CWnd* CTradePanelDlg::PageFor(int32_t pageId) {
    const PageSpec* entry = FindPageSpec(pageId);
    if (entry == nullptr) return nullptr;
    PageKind kind = entry->kind;
    if (pageId == kPageTransfer && (GetAppStateFlags() & kAppStateFundsPasswordFirst) != 0 &&
        !tradedata::TestAccountFlag(32, -1))
        kind = PageKind::FundsPassword;
    auto& page = pages_[Index(kind)];
    if (!page) page = CreatePage(kind, &tabs_);
    return page.get();
}

int32_t CTradePanelDlg::SelectPage(int tabIndex) {
    const int32_t pageId = TabPage(tabIndex);
    if (pageId == currentPageId_) return pageId;
    if (CurrentTab() != tabIndex) tabs_.SetCurSel(tabIndex);
    if (currentPage_ && IsLiveWindow(currentPage_->m_hWnd)) currentPage_->ShowWindow(SW_HIDE);
    currentPage_ = nullptr;
    currentPageId_ = pageId;

    const PageSpec* entry = FindPageSpec(pageId);
    ShowOrderPanel(entry ? entry->mode : 0);
    currentPage_ = PageFor(pageId);
    if (currentPage_ && IsLiveWindow(currentPage_->m_hWnd)) {
        PlaceCurrentPage();
        currentPage_->ShowWindow(SW_SHOW);
        currentPage_->PostMessage(WM_FRAME_COMMAND, kCommandShowPage, 0);
    }
    return pageId;
}

void CTradePanelDlg::PlaceCurrentPage() {
    if (!currentPage_ || !IsLiveWindow(currentPage_->m_hWnd) || tabs_.m_hWnd == 0) return;
    RECT area{};
    if (!GetTabClientRect(&tabs_, &area)) return;
    InflateRect(&area, -2, -2);
    // The page is the tab control's child; the rectangle is in its client coordinates.
    currentPage_->MoveWindow(area);
}

void CTradePanelDlg::OnSize(UINT type, int cx, int cy) {
    CFlexDialog::OnSize(type, cx, cy);
    PlaceCurrentPage();
}

BOOL CTradePanelDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && header->idFrom == static_cast<UINT_PTR>(kTabId) &&
        header->code == TCN_SELCHANGE) {
        SelectPage(CurrentTab());
        if (result) *result = 0;
        return TRUE;
    }
    return CFlexDialog::OnNotify(wParam, lParam, result);
}

void CTradePanelDlg::DestroyPage(PageKind kind) {
    auto& page = pages_[Index(kind)];
    if (!page) return;
    if (currentPage_ == page.get()) currentPage_ = nullptr;
    DestroyOwned(page);
}

void CTradePanelDlg::DestroyOrderPanel(OrderPanelKind kind) {
    auto& panel = orderPanels_[Index(kind)];
    if (!panel) return;
    if (currentOrderPanel_ == panel.get()) {
        for (PanelBar bar : {PanelBar::OrderTop, PanelBar::OrderRight})
            if (Bar(bar) && Bar(bar)->GetInPlaceWnd() == panel.get())
                Bar(bar)->SetInPlaceWnd(nullptr, TRUE);
        currentOrderPanel_ = nullptr;
        tradedata::SetOrderEntryWindow(0);
    }
    DestroyOwned(panel);
}

void CTradePanelDlg::UpdateConditionalTab(int32_t pageId, bool wanted, int insertBefore,
                                          bool destroyPagesFirst) {
    const int index = FindTabByPage(pageId);
    const bool wasFront = currentPageId_ == pageId;
    if (destroyPagesFirst) {
        if (wasFront) {
            currentPageId_ = 0;
            currentPage_ = nullptr;
        }
        DestroyPage(PageKind::FundsPassword);
        DestroyPage(PageKind::TransferMain);
        DestroyOrderPanel(OrderPanelKind::BankTransfer);
    }
    if (wanted && index < 0) {
        const int at = insertBefore >= 0 ? insertBefore : TabCount();
        const int before = CurrentTab();
        const int inserted = InsertTab(at, FindPageSpec(pageId)->caption, pageId);
        // The selection stays on the tab that was current; a tab inserted in front of it moved
        // it one place on.
        if (before >= 0) tabs_.SetCurSel(before >= inserted ? before + 1 : before);
        LoadHotkeys();
        if (wasFront) {
            currentPageId_ = 0;
            SelectPage(inserted);
        }
    } else if (!wanted && index >= 0) {
        tabs_.DeleteItem(index);
        LoadHotkeys();
        if (wasFront) {
            if (currentPage_ && IsLiveWindow(currentPage_->m_hWnd))
                currentPage_->ShowWindow(SW_HIDE);
            currentPage_ = nullptr;
            currentPageId_ = 0;
            if (TabCount() > 0) SelectPage(0);
        }
    } else if (wanted && wasFront && destroyPagesFirst) {
        // Its page objects were destroyed: the tab in front gets a fresh one.
        SelectPage(index);
    }
}

void CTradePanelDlg::UpdateExtendedFunctionsTab() {
    const int row = tradedata::GetCurrentAccountIndex();
    bool wanted = tradedata::HasAccountService(kExtendedFunctionServices, -1);
    if (!wanted && row >= 0 && tradedata::HasAccountService(kGroupService, -1))
        wanted = tradedata::AccountTable.GetLong(kAccountGroupField, row) != 0;
    UpdateConditionalTab(kPageExtendedFunctions, wanted, -1, false);
}

void CTradePanelDlg::UpdateTransferTab() {
    UpdateConditionalTab(kPageTransfer, tradedata::HasAccountService(kTransferService, -1), -1,
                         true);
}

void CTradePanelDlg::UpdateExtendedInstructionsTab() {
    int before = -1;
    for (int32_t page : {13, 14, 15}) {
        before = FindTabByPage(page);
        if (before >= 0) break;
    }
    UpdateConditionalTab(kPageExtendedInstructions,
                         tradedata::HasAccountService(kExtendedInstructionServices, -1), before,
                         false);
}

void CTradePanelDlg::UpdateOtherServicesTab() {
    const bool wanted = tradedata::GetCurrentAccountIndex() >= 0 &&
                        tradedata::GetAccountExtraValue("2", -1) >= TodayNumber();
    UpdateConditionalTab(kPageOtherServices, wanted, -1, false);
}

// ---------------------------------------------------------------------------------------------
// Bars and order panels

void CTradePanelDlg::CreateBars() {
    if (frame_ == nullptr || !IsLiveWindow(frame_->m_hWnd)) return;
    for (size_t i = 0; i < std::size(kBars); ++i) {
        DWORD style = kBars[i].style;
        if (static_cast<PanelBar>(i) == PanelBar::AccountSummary &&
            (GetDisplaySettings() & kDisplaySummaryAtBottom))
            style = kBottomBar;
        auto bar = std::make_unique<CTradePanelBar>();
        if (!bar->Create(frame_, CTradePanelBar::IDD, style, kPanelBarIds[i])) continue;
        if (kBars[i].hasPanel) {
            auto& panel = barPanels_[Index(kBars[i].panel)];
            panel = CreateBarPanel(kBars[i].panel, bar.get());
            if (panel) bar->SetInPlaceWnd(panel.get(), TRUE);
        }
        bars_[i] = std::move(bar);
    }
    const uint32_t display = GetDisplaySettings();
    ShowBar(PanelBar::QuoteTabs, true);
    ShowBar(PanelBar::StatusStrip, true);
    ShowBar(PanelBar::InfoList, (display & kDisplayInfoList) != 0);
    ShowBar(PanelBar::AccountSummary, (display & kDisplayAccountSummary) != 0);
    ShowBar(PanelBar::OrderTop, false);
    ShowBar(PanelBar::OrderRight, false);
}

void CTradePanelDlg::ShowBar(PanelBar which, bool show) {
    CTradePanelBar* bar = Bar(which);
    if (bar == nullptr || frame_ == nullptr) return;
    frame_->ShowControlBar(bar, show ? TRUE : FALSE, FALSE);
}

void CTradePanelDlg::ShowOrderPanel(int mode) {
    const uint32_t display = GetDisplaySettings();
    OrderPanelKind kind = OrderPanelKind::Count;
    uint32_t barBits = 0;
    switch (mode) {
        case 1:
        case 2:
            if (mode == 1 && (display & kDisplayOptionSpreadLayout)) {
                kind = OrderPanelKind::OptionCombination;
                barBits = kPanelOrderBarRight;
            } else if ((display & kDisplayHorzLayout) && !(display & kDisplayOptionSpreadLayout)) {
                kind = OrderPanelKind::OrderEntryHorizontal;
                barBits = kPanelOrderBarTop;
            } else {
                kind = OrderPanelKind::OrderEntry;
                barBits = kPanelOrderBarRight;
            }
            break;
        case 3:
            kind = OrderPanelKind::BankTransfer;
            barBits = kPanelOrderBarRight;
            break;
        case 4:
            kind = OrderPanelKind::LinkedOrder;
            barBits = kPanelOrderBarRight;
            break;
        case 5:
            kind = OrderPanelKind::Arbitrage;
            barBits = kPanelOrderBarRight;
            break;
        case 6:
            kind = OrderPanelKind::BatchOrder;
            barBits = kPanelOrderBarRight;
            break;
        default:
            break;
    }
    CWnd* panel = nullptr;
    if (kind != OrderPanelKind::Count) {
        auto& slot = orderPanels_[Index(kind)];
        if (!slot) slot = CreateOrderPanel(kind, this);
        panel = slot.get();
        if (panel) ApplyOrderPanelMode(kind, panel, mode);
    }
    // Without a panel to show no bar is wanted: an empty bar is no order panel.
    if (panel == nullptr) barBits = 0;

    orderPanelMode_ = mode;
    const uint32_t barMask = kPanelOrderBarRight | kPanelOrderBarTop;
    if ((State() & barMask) == barBits && panel == currentOrderPanel_) return;

    state_.fetch_and(~barMask);
    state_.fetch_or(barBits);
    CTradePanelBar* target = barBits == kPanelOrderBarTop     ? Bar(PanelBar::OrderTop)
                             : barBits == kPanelOrderBarRight ? Bar(PanelBar::OrderRight)
                                                              : nullptr;
    if (target && target->GetInPlaceWnd() != panel) target->SetInPlaceWnd(panel, TRUE);
    ShowBar(PanelBar::OrderRight, (barBits & kPanelOrderBarRight) != 0);
    ShowBar(PanelBar::OrderTop, (barBits & kPanelOrderBarTop) != 0);
    if (frame_) frame_->RecalcLayout(TRUE);

    currentOrderPanel_ = panel;
    tradedata::SetOrderEntryWindow(panel ? panel->m_hWnd : 0);
}

HWND CTradePanelDlg::ShowOptionCalculator(bool show) {
    auto& calculator = barPanels_[Index(BarPanelKind::OptionCalculator)];
    if (!calculator && show) calculator = CreateBarPanel(BarPanelKind::OptionCalculator, this);
    if (!calculator || !IsLiveWindow(calculator->m_hWnd)) return 0;
    calculator->ShowWindow(show ? SW_SHOW : SW_HIDE);
    return calculator->m_hWnd;
}

void CTradePanelDlg::SetTitle() {
    if (CWnd* main = CWnd::FromHandle(GetMainWindow()); main && IsLiveWindow(main->m_hWnd))
        main->SetWindowText(tradedata::GetWindowTitle());
}

// ---------------------------------------------------------------------------------------------
// Notification dispatch

void CTradePanelDlg::SendToNotifyWindows(UINT message, WPARAM wParam, LPARAM lParam) {
    for (tradedata::WindowId window : tradedata::GetNotifyWindows())
        if (::IsWindow(window)) ::SendMessage(window, message, wParam, lParam);
}

void CTradePanelDlg::PostToNotifyWindows(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND board = tradedata::GetQuoteBoardWindow();
    const HWND orderPanel = tradedata::GetOrderEntryWindow();
    if (message == WM_FRAME_REFRESH && wParam == kRefreshRow) {
        if (board != 0) ::SendMessage(board, message, wParam, lParam);
        if (orderPanel != 0) ::SendMessage(orderPanel, message, wParam, lParam);
        for (tradedata::WindowId window : tradedata::GetNotifyWindows())
            if (window != board && window != orderPanel)
                ::PostMessage(window, message, wParam, lParam);
        return;
    }
    if (message == WM_FRAME_COMMAND && wParam == kCommandContractChanged) {
        // The code travels as an owned text: every receiver gets a copy of its own.
        const auto code = TakeFrameText(lParam);
        const std::string text = code ? *code : std::string();
        if (board != 0 && ::IsWindow(board)) {
            auto copy = std::make_unique<std::string>(text);
            ::SendMessage(board, message, wParam, reinterpret_cast<LPARAM>(copy.release()));
        }
        for (tradedata::WindowId window : tradedata::GetNotifyWindows())
            if (window != board) PostFrameText(window, message, wParam, text);
        return;
    }
    for (tradedata::WindowId window : tradedata::GetNotifyWindows())
        ::PostMessage(window, message, wParam, lParam);
}

LRESULT CTradePanelDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_FRAME_REFRESH:
            return OnFrameRefresh(wParam, lParam);
        case WM_FRAME_NOTICE:
            OnFrameNotice(wParam, lParam);
            return 1;
        case WM_FRAME_COMMAND:
            return OnFrameCommand(wParam, lParam);
        case WM_APP + 4: {
            CWnd* board = BarPanel(BarPanelKind::QuoteBoard);
            if (board && IsLiveWindow(board->m_hWnd) && board->IsWindowVisible())
                board->SendMessage(message, wParam, lParam);
            return 1;
        }
        default:
            return CFlexDialog::WindowProc(message, wParam, lParam);
    }
}

LRESULT CTradePanelDlg::OnFrameRefresh(WPARAM bits, LPARAM argument) {
    if (frame_ && IsLiveWindow(frame_->m_hWnd))
        frame_->PostMessage(WM_FRAME_REFRESH, bits, argument);
    bits &= ~static_cast<WPARAM>(kRefreshFunds | kRefreshPositions);
    switch (bits) {
        case 0:
            break;
        case kRefreshSettings: {
            const uint32_t before = appliedDisplay_;
            ReadSettings();
            ApplySettingsChange(before);
            PostToNotifyWindows(WM_FRAME_REFRESH, kRefreshSettings, argument);
            break;
        }
        case kRefreshTradePushes:
            SendToNotifyWindows(WM_FRAME_REFRESH, kRefreshTradePushes, argument);
            break;
        case kRefreshMainAccount:
            ReadSettings();
            appliedDisplay_ = GetDisplaySettings();
            ShowBar(PanelBar::QuoteBoard, (appliedDisplay_ & kDisplayQuoteBoard) != 0);
            SetTitle();
            tradedata::SetAccountNotify(tradedata::kNotifyFunds | tradedata::kNotifyPositions, -1);
            SendToNotifyWindows(WM_FRAME_REFRESH, kRefreshMainAccount, argument);
            break;
        case kRefreshAccountStatus:
            appliedDisplay_ = GetDisplaySettings();
            if (!tradedata::HasAccountService(kQuoteService, -1))
                ClearDisplaySettingsBits(kDisplayQuoteBoard);
            UpdateExtendedFunctionsTab();
            appliedDisplay_ = GetDisplaySettings();
            SendToNotifyWindows(WM_FRAME_REFRESH, kRefreshAccountStatus, argument);
            break;
        case kRefreshRow:
            // The frame wakes the workspace once until it takes the batch of changed rows; the
            // windows keep their own lists, so taking it is what lets the next batch wake us.
            if (argument == CMainFrame::kChangedRowsPending)
                if (CMainFrame* frame = GetMainFrame()) (void)frame->TakeChangedRows();
            PostToNotifyWindows(WM_FRAME_REFRESH, kRefreshRow, argument);
            break;
        default:
            SendToNotifyWindows(WM_FRAME_REFRESH, bits, argument);
            break;
    }
    return 1;
}

void CTradePanelDlg::ApplySettingsChange(uint32_t before) {
    const uint32_t now = GetDisplaySettings();
    const uint32_t changed = before ^ now;
    if (changed & kDisplayQuoteBoard)
        ShowBar(PanelBar::QuoteBoard, (now & kDisplayQuoteBoard) != 0);
    if (changed & kDisplayInfoList) ShowBar(PanelBar::InfoList, (now & kDisplayInfoList) != 0);
    if (changed & (kDisplayAccountSummary | kDisplaySummaryAtBottom)) {
        if (changed & kDisplayAccountSummary)
            ShowBar(PanelBar::AccountSummary, (now & kDisplayAccountSummary) != 0);
        CTradePanelBar* summary = Bar(PanelBar::AccountSummary);
        if ((changed & kDisplaySummaryAtBottom) && (now & kDisplayAccountSummary) && summary) {
            const DWORD side = (now & kDisplaySummaryAtBottom)
                                   ? (CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP)
                                   : (CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM);
            summary->SetBarStyle((summary->GetBarStyle() & ~kVerticalAlignBits) | side);
        }
        if (frame_) frame_->RecalcLayout(TRUE);
    }
    if (changed & (kDisplayNameInTitle | kDisplayNumberInTitle)) SetTitle();
    if (changed & (kDisplayHorzLayout | kDisplayOptionSpreadLayout)) {
        // The same mode again, with the panel or bar the new layout gives it.
        ShowOrderPanel(orderPanelMode_);
    }
    LoadHotkeys();
    appliedDisplay_ = now;
}

void CTradePanelDlg::OnFrameNotice(WPARAM wParam, LPARAM lParam) {
    const int kind = LOWORD(wParam);
    const int argument = HIWORD(wParam);
    const bool alertsDue = argument != 0 && (GetDisplaySettings() & kDisplaySoundAlerts) &&
                           tradedata::GetBatchOperationCount() == 0;
    switch (kind) {
        case kNoticeOrderConfirmation:
            if (alertsDue && tradedata::GetElapsedTicks(3) > 1000) {
                tradedata::PlayAlertSound(argument - 1, -1);
                tradedata::SetTickMark(3);
            }
            SendToNotifyWindows(WM_FRAME_NOTICE, wParam, lParam);
            break;
        case kNoticeTradeReturn:
            if (alertsDue && tradedata::GetElapsedTicks(4) > 1000) {
                tradedata::PlayAlertSound(argument == 6 ? 8 : 4, 4);
                tradedata::SetTickMark(4);
            }
            SendToNotifyWindows(WM_FRAME_NOTICE, wParam, lParam);
            break;
        default:
            PostToNotifyWindows(WM_FRAME_NOTICE, wParam, lParam);
            break;
    }
}

LRESULT CTradePanelDlg::OnFrameCommand(WPARAM code, LPARAM argument) {
    auto sendToVisibleBoard = [&](WPARAM c, LPARAM a) {
        CWnd* board = BarPanel(BarPanelKind::QuoteBoard);
        if (board && IsLiveWindow(board->m_hWnd) && board->IsWindowVisible())
            board->SendMessage(WM_FRAME_COMMAND, c, a);
    };
    switch (code) {
        case kCommandLoaded:
            if (argument & 0xC0) tradedata::FlagCombinationQuoteContracts();
            if (argument & 0x80) UpdateExtendedInstructionsTab();
            if (argument & 0x400) UpdateExtendedFunctionsTab();
            PostToNotifyWindows(WM_FRAME_REFRESH, static_cast<WPARAM>(argument), 0);
            break;
        case kCommandSubscribeQuotes:
        case kCommandMarginWebLogin:
        case kCommandReloadContracts:
        case kCommandReloadCombinationContracts:
        case kCommandQueryAccountStatus:
        case kCommandReloadOptionContracts:
            if (frame_ && IsLiveWindow(frame_->m_hWnd))
                frame_->PostMessage(WM_FRAME_COMMAND, code, argument);
            break;
        case 6:
            SetMainWindowTransparency(static_cast<int>(argument));
            break;
        case 30:
            UpdateTransferTab();
            break;
        case 61:
            if (CWnd* board = BarPanel(BarPanelKind::QuoteBoard);
                board && IsLiveWindow(board->m_hWnd))
                board->SendMessage(WM_FRAME_COMMAND, code, argument);
            break;
        case kCommandShowPage: {
            const int index = FindTabByPage(static_cast<int32_t>(argument & 0xFFFF));
            if (index < 0) break;
            SelectPage(index);
            if (currentPage_ && IsLiveWindow(currentPage_->m_hWnd))
                currentPage_->SendMessage(WM_FRAME_COMMAND, code, argument);
            break;
        }
        case 65:
            ShowOrderPanel(static_cast<int>(argument));
            break;
        case 66:
            if (CWnd* page = Page(PageKind::ExtendedOrderTree); page && IsLiveWindow(page->m_hWnd))
                page->SendMessage(WM_FRAME_COMMAND, code, argument);
            break;
        case 76:
        case 77:
            sendToVisibleBoard(code, argument);
            break;
        case kCommandStatusText:
        case kCommandStatusTextFlagged:
            OnStatusText(argument, code == kCommandStatusTextFlagged);
            break;
        case 87:
            return static_cast<LRESULT>(ShowOptionCalculator(argument != 0));
        case kCommandContractChanged:
            PostToNotifyWindows(WM_FRAME_COMMAND, code, argument);
            break;
        default:
            SendToNotifyWindows(WM_FRAME_COMMAND, code, argument);
            break;
    }
    return 1;
}

void CTradePanelDlg::OnStatusText(LPARAM text, bool sticky) {
    // The text is an owned copy (PostFrameText): it is freed here whether shown or not.
    const auto owned = TakeFrameText(text);
    const int64_t now = platform::TickMs();
    if (sticky) {
        stickyStamp_ = now;
    } else if (stickyStamp_ != 0 && now - stickyStamp_ <= kStickyStatusMs &&
               GetLastActivityTick() <= stickyStamp_) {
        return;
    }
    ShowStatusText(owned ? *owned : std::string(), sticky ? TRUE : FALSE);
}

void CTradePanelDlg::ShowStatusText(const std::string& text, BOOL sticky) {
    ShowBarPanelText(BarPanelKind::StatusStrip, BarPanel(BarPanelKind::StatusStrip), text, sticky);
}

// ---------------------------------------------------------------------------------------------
// Commands, keys, timer

BOOL CTradePanelDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT id = LOWORD(static_cast<uintptr_t>(wParam));
    HWND main = GetMainWindow();
    switch (id) {
        case ID_PANEL_ABOUT:
            if (frame_ && IsLiveWindow(frame_->m_hWnd)) frame_->PostMessage(WM_COMMAND, 57664, 0);
            return TRUE;
        case ID_PANEL_EXIT:
            if (IsLiveWindow(main)) ::PostMessage(main, WM_CLOSE, 0, 0);
            return TRUE;
        case ID_PANEL_LOCK:
            if (frame_ && IsLiveWindow(frame_->m_hWnd))
                frame_->PostMessage(WM_FRAME_COMMAND, kCommandScreenLock, 0);
            return TRUE;
        case ID_PANEL_FOCUS_ORDER: {
            const HWND panel = tradedata::GetOrderEntryWindow();
            if (panel == 0 || !::IsWindow(panel)) return TRUE;
            if (!::IsWindowVisible(panel)) SendMessage(WM_FRAME_COMMAND, 61, 1);
            if (CWnd* wnd = CWnd::FromHandle(panel)) wnd->SetFocus();
            return TRUE;
        }
        case ID_PANEL_LAYER_RESTORE:
            SetMainWindowTransparency(0);
            PostToNotifyWindows(WM_FRAME_COMMAND, 6, 0);
            return TRUE;
        default:
            break;
    }
    if (id >= ID_PANEL_TAB_FIRST && id < ID_PANEL_TAB_FIRST + 20) {
        const int index = static_cast<int>(id - ID_PANEL_TAB_FIRST);
        if (index < TabCount()) SelectPage(index);
        return TRUE;
    }
    if (id >= ID_PANEL_PAGE_FIRST && id < ID_PANEL_PAGE_FIRST + 20) {
        const int index = FindTabByPage(static_cast<int32_t>(id - ID_PANEL_PAGE_FIRST));
        if (index >= 0) SelectPage(index);
        return TRUE;
    }
    return CFlexDialog::OnCommand(wParam, lParam);
}

BOOL CTradePanelDlg::PreTranslateMessage(MSG* msg) {
    if (msg && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN)) {
        const HWND panel = tradedata::GetOrderEntryWindow();
        if (panel != 0 && ::IsWindow(panel) && ::IsWindowVisible(panel)) {
            CWnd* wnd = CWnd::FromHandle(panel);
            return wnd ? wnd->PreTranslateMessage(msg) : FALSE;
        }
        return FALSE;
    }
    return CFlexDialog::PreTranslateMessage(msg);
}

void CTradePanelDlg::OnTimer(UINT_PTR id) {
    if (id == kAutoLockTimer && (GetAppStateFlags() & kAppStateScreenLocked) == 0 &&
        settings_.autoLockSeconds > 0 &&
        (platform::TickMs() - GetLastActivityTick()) / 1000 >= settings_.autoLockSeconds) {
        // Only one of two racing timers may lock: the flag is taken in one step.
        if ((SetAppStateFlags(kAppStateScreenLocked) & kAppStateScreenLocked) == 0) {
            EnableKeyForwarding(0);
            PostMessage(WM_COMMAND, ID_PANEL_LOCK, 0);
        }
    }
    CFlexDialog::OnTimer(id);
}

// ---------------------------------------------------------------------------------------------
// Teardown

void CTradePanelDlg::KeepMessagesMoving() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void CTradePanelDlg::OnDestroy() {
    CFlexDialog::OnDestroy();
    KillTimer(kAutoLockTimer);
    if (HACCEL table = GetHotKeyAccelerators()) {
        SetHotKeyAccelerators(0);
        DestroyAcceleratorTable(table);
    }
    tradedata::SetOrderEntryWindow(0);
    if (worker_) {
        // Bounded: a worker still inside a request after the wait is joined when it returns
        // (its requests end with their own time-outs); it is never killed.
        worker_->StopAndWait(CTradePanelWorker::kStopWaitMs, [this] { KeepMessagesMoving(); });
        worker_.reset();
    }
    DestroyChildren();
    SetMainWindowTransparency(0);
    if (frame_ && IsLiveWindow(frame_->m_hWnd)) {
        frame_->RecalcLayout(FALSE);
        ::UnregisterHotKey(frame_->m_hWnd, kBossHotKeyId);
    }
    if (GetWorkspaceWindow() == m_hWnd) SetWorkspaceWindow(0);
}

void CTradePanelDlg::DestroyChildren() {
    if (CTradePanelBar* board = Bar(PanelBar::QuoteBoard)) {
        if (IsLiveWindow(board->m_hWnd)) {
            RECT r{};
            board->GetWindowRect(&r);
            pavlet::WritePrivateConfigure("SYSTEM", "HYHQHEIGHT",
                                          static_cast<int>(r.bottom - r.top));
            board->SetInPlaceWnd(nullptr, TRUE);
        }
    }
    currentPage_ = nullptr;
    currentOrderPanel_ = nullptr;
    for (size_t i = 0; i < bars_.size(); ++i) {
        auto& bar = bars_[i];
        if (!bar) continue;
        if (IsLiveWindow(bar->m_hWnd)) {
            bar->SetInPlaceWnd(nullptr, TRUE);
            bar->DestroyWindow();
        }
        bar.reset();
        if (kBars[i].hasPanel) DestroyOwned(barPanels_[Index(kBars[i].panel)]);
    }
    for (auto& panel : barPanels_) DestroyOwned(panel);
    for (auto& page : pages_) DestroyOwned(page);
    for (auto& panel : orderPanels_) DestroyOwned(panel);
}

}  // namespace shell
