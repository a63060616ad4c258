// The owned text of posted frame messages, the quote value checks, and the main frame's
// answers to its messages.
#include "shell/FrameMessages.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QScrollBar>
#include <QWidget>
#include <vector>

#include "comm/FixApiClient.h"
#include "comm/FixRequest.h"
#include "flexui/MsgWnd.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "shell/LoginDlg.h"
#include "shell/MainFrame.h"
#include "shell/TradeApp.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/TradingHelpers.h"
#include "tradedata/Rates.h"
#include "tradedata/ServerLists.h"

namespace shell {

BOOL PostFrameText(HWND hwnd, UINT message, WPARAM code, std::string_view text) {
    auto copy = std::make_unique<std::string>(text);
    const BOOL posted = PostMessage(hwnd, message, code,
                                    static_cast<LPARAM>(reinterpret_cast<intptr_t>(copy.get())));
    // Only a queued message owns the copy; a refused post leaves it with us to free.
    if (posted) copy.release();
    return posted;
}

void InstallWindowSender() {
    tradedata::SetWindowSender(
        {[](tradedata::WindowId w, uint32_t m, uintptr_t wp, intptr_t lp) -> intptr_t {
             return ::SendMessage(w, m, wp, lp);
         },
         [](tradedata::WindowId w) { return ::IsWindowVisible(w) != FALSE; },
         [](tradedata::WindowId w, uint32_t m, uintptr_t wp, std::string_view text) {
             return PostFrameText(w, m, wp, text) != FALSE;
         }});
}

std::unique_ptr<std::string> TakeFrameText(LPARAM lParam) {
    return std::unique_ptr<std::string>(reinterpret_cast<std::string*>(lParam));
}

bool IsValidLong(int32_t value) { return value != kNoQuoteValue; }

bool IsInFloatRange(double value) { return value > -16777215.0 && value < 16777215.0; }

bool IsInDoubleRange(double value) {
    constexpr double kLimit = 9007199254740991.0;
    return value > -kLimit && value < kLimit;
}

// ---- the main frame's answers to its messages ----

namespace {

constexpr const char* kInfoCaption = "系统提示";
constexpr unsigned kFieldFlags = 644;
constexpr unsigned kFieldText = 508;
constexpr unsigned kFieldAccountFlags = 739;
constexpr unsigned kFieldKhh = 605;
constexpr unsigned kFieldCategory = 608;
// FLAGS of a message-list row the worker wants shown.
constexpr int32_t kMessageToShow = 12;
// Account flags of a row whose password must be entered again.
constexpr int32_t kAccountReverify = 0x4;
constexpr int32_t kCategoryOwn = 1;
constexpr int32_t kCategoryLinked = 3;

LRESULT PointerAnswer(const void* pointer) {
    return static_cast<LRESULT>(reinterpret_cast<intptr_t>(pointer));
}

}  // namespace

void CMainFrame::InstallMessageHandlers() {
    OnMessage(WM_FRAME_REFRESH, [this](WPARAM w, LPARAM) { return OnFrameRefresh(w); });
    OnMessage(WM_FRAME_COMMAND, [this](WPARAM w, LPARAM l) {
        OnFrameCommandMessage(w, l);
        return LRESULT{1};
    });
    OnMessage(WM_FRAME_SERVICE, [this](WPARAM w, LPARAM l) { return OnFrameService(w, l); });
    OnMessage(WM_MOUSEWHEEL, [this](WPARAM w, LPARAM l) { return OnWheel(w, l); });
    OnMessage(WM_HOTKEY, [this](WPARAM, LPARAM) {
        OnHotKey();
        return LRESULT{1};
    });
}

LRESULT CMainFrame::OnFrameRefresh(WPARAM bits) {
    if (bits & kRefreshFunds) tradedata::SetAccountNotify(tradedata::kNotifyFunds, -1);
    if (bits & kRefreshPositions) tradedata::SetAccountNotify(tradedata::kNotifyPositions, -1);
    if (bits & kRefreshContracts) SetWorkerRequests(kRequestContracts);
    if (bits & kRefreshCombinationContracts) SetWorkerRequests(kRequestCombinationContracts);
    if (bits & kRefreshTradePushes) SubscribeTradePushes();
    return 1;
}

void CMainFrame::OnFrameCommandMessage(WPARAM code, LPARAM argument) {
    switch (code) {
        case kCommandOnlineUpgrade:
            StartOnlineUpgrade();
            break;
        case kCommandSubscribeQuotes:
            SetFrameState(kFrameQuoteSubscriptionDue);
            break;
        case kCommandMarginWebLogin:
            RunMarginWebLogin();
            break;
        case kCommandChangePassword:
            RunPasswordDialog(tradedata::GetCurrentKhh());
            break;
        case kCommandReloadContracts:
            SetWorkerRequests(kRequestContracts);
            break;
        case kCommandReloadCombinationContracts:
            SetWorkerRequests(kRequestCombinationContracts);
            break;
        case kCommandQueryAccountStatus:
            SetWorkerRequests(kRequestAccountStatus);
            break;
        case kCommandShowNotice:
            MessageBox(NoticeText().c_str(), kInfoCaption, MB_ICONINFORMATION);
            break;
        case kCommandShowMessages:
            ShowFlaggedMessages();
            break;
        case kCommandScreenLock:
            ScreenLock();
            break;
        case kCommandReloadOptionContracts:
            SetWorkerRequests(kRequestOptionContracts);
            break;
        case kCommandReverifyPassword:
            ReverifyPassword();
            break;
        case kCommandContractChanged:
            // The frame has nothing to do with the new contract, but the posted copy of its
            // code is the receiver's to free.
            TakeFrameText(argument);
            break;
        default:
            break;
    }
}

void CMainFrame::ShowFlaggedMessages() {
    // Flags cleared and texts taken in one hold, so a second command (or the worker flagging
    // more rows meanwhile) shows each text once; the boxes run after the lock is given back.
    std::vector<std::string> texts;
    CFixRecord& table = tradedata::MessageTable;
    table.acquireLockExclusive();
    const int rows = table.GetFCount() > 0 ? table.GetCount() : 0;
    for (int row = 0; row < rows; ++row) {
        if (table.GetLong(kFieldFlags, row) != kMessageToShow) continue;
        table.Set(kFieldFlags, int32_t{0}, row);
        texts.push_back(table.Get(kFieldText, row));
    }
    table.releaseLockExclusive();
    const bool boxes = (FrameState() & kFrameMessageBoxes) != 0;
    for (const std::string& text : texts) {
        if (boxes)
            MessageBox(text.c_str(), kInfoCaption, MB_ICONINFORMATION);
        else
            PopMessage(text);
    }
}

void CMainFrame::PopMessage(const std::string& text) { CMsgWnd::PopMsgWnd(text, 2, 0, 0, 0, 0); }

void CMainFrame::ReverifyPassword() {
    CFixRecord& accounts = tradedata::AccountTable;
    int row = -1;
    std::string khh;
    int32_t category = 0;
    accounts.acquireLockShared();
    const int rows = accounts.GetFCount() > 0 ? accounts.GetCount() : 0;
    for (int r = 0; r < rows; ++r) {
        const int32_t wanted = tradedata::kFlagActive | kAccountReverify;
        if ((accounts.GetLong(kFieldAccountFlags, r) & wanted) == wanted) {
            row = r;
            khh = accounts.Get(kFieldKhh, r);
            category = accounts.GetLong(kFieldCategory, r);
            break;
        }
    }
    accounts.releaseLockShared();
    if (row < 0) return;

    INT_PTR result = IDCANCEL;
    {
        platform::ui::ScopedResourceModule module(resourceModule_);
        result = RunReverifyDialog(khh);
    }
    // The dialog ran the message loop: the row is found again by its customer, not trusted.
    const int now = tradedata::FindLoggedInAccount(khh, category);
    if (result == IDOK) {
        if (now >= 0) tradedata::ClearAccountFlag(kAccountReverify, now);
        return;
    }
    if (now >= 0) tradedata::ClearAccountFlag(tradedata::kFlagActive, now);
    const HWND workspace = GetWorkspaceWindow();
    ::PostMessage(workspace, WM_FRAME_REFRESH, kRefreshTradePushes, 0);
    if (category == kCategoryOwn) {
        PostMessage(WM_CLOSE);
    } else if (category == kCategoryLinked) {
        tradedata::SetCurrentAccount(tradedata::GetMainAccountIndex());
        ::PostMessage(workspace, WM_FRAME_REFRESH, kRefreshMainAccount, 0);
    }
}

LRESULT CMainFrame::OnFrameService(WPARAM service, LPARAM argument) {
    switch (service) {
        case kServiceQuery:
            break;
        case kServiceKeyForwarding:
            if (argument == 0)
                SetAppStateFlags(kAppStateAcceleratorsSuspended);
            else
                ClearAppStateFlags(kAppStateAcceleratorsSuspended);
            return DefWindowProc(WM_FRAME_SERVICE, service, argument);
        case kServiceAcceleratorTable:
            SetHotKeyAccelerators(static_cast<HACCEL>(argument));
            return DefWindowProc(WM_FRAME_SERVICE, service, argument);
        case kServiceNewRequest: {
            auto* connection = reinterpret_cast<NoltComm::CFixApiClient*>(argument);
            return connection != nullptr ? PointerAnswer(connection->CreateRequest()) : 0;
        }
        case kServiceReleaseRequest: {
            auto* request = reinterpret_cast<NoltComm::CFixRequest*>(argument);
            if (request != nullptr) request->Release();
            return 1;
        }
        case kServiceLoginElsewhereCheck:
        case kServiceMessageBoxes: {
            const uint32_t bit = service == kServiceLoginElsewhereCheck ? kFrameLoginElsewhereCheck
                                                                        : kFrameMessageBoxes;
            if (argument != 0)
                SetFrameState(bit);
            else
                ClearFrameState(bit);
            return DefWindowProc(WM_FRAME_SERVICE, service, argument);
        }
        default:
            return DefWindowProc(WM_FRAME_SERVICE, service, argument);
    }

    if ((argument >= kQueryFirstReferenceTable && argument <= kQueryLastReferenceTable) ||
        (argument >= kQueryFirstAccountTable && argument <= kQueryLastAccountTable))
        return PointerAnswer(tradedata::GetServiceTable(static_cast<int32_t>(argument)));
    switch (argument) {
        case kQueryConnection:
            return PointerAnswer(tradedata::GetTradingConnection());
        case kQueryOrderWay:
            return GetOrderWayCode();
        case kQueryTimeOffsetHigh:
        case kQueryTimeOffsetLow: {
            const auto offset = static_cast<uint64_t>(tradedata::GetClockBase());
            return static_cast<LRESULT>(static_cast<uint32_t>(
                argument == kQueryTimeOffsetHigh ? offset >> 32 : offset & 0xFFFFFFFFu));
        }
        case kQueryFundsParameter:
            return tradedata::GetCalculationParameters().value9020;
        case kQueryServerName:
            serverNameAnswer_ = TradeServerName();
            return PointerAnswer(serverNameAnswer_.c_str());
        case kQueryCurrentAccountRow:
            return tradedata::GetCurrentAccountIndex();
        case kQueryMainAccountRow:
            return tradedata::GetMainAccountIndex();
        case kQueryStation:
        case kQueryStationToo: {
            NoltComm::CFixApiClient* connection = tradedata::GetTradingConnection();
            stationAnswer_ = connection != nullptr ? connection->GetStationText() : std::string();
            return PointerAnswer(stationAnswer_.c_str());
        }
        case kQueryAppStateFlags:
            return static_cast<LRESULT>(GetAppStateFlags());
        default:
            return DefWindowProc(WM_FRAME_SERVICE, kServiceQuery, argument);
    }
}

std::string CMainFrame::TradeServerName() const {
    // The entry the login chose; the profile's last-used one when no login has run here.
    if (std::string name = GetTradeServerInUse().name; !name.empty()) return name;
    std::vector<std::string> servers;
    std::string current;
    tradedata::LoadTradeServers(&servers, &current);
    return current;
}

LRESULT CMainFrame::OnWheel(WPARAM wParam, LPARAM lParam) {
    if (wheelForwarding_) return DefWindowProc(WM_MOUSEWHEEL, wParam, lParam);
    const POINT point{static_cast<short>(LOWORD(static_cast<uintptr_t>(lParam))),
                      static_cast<short>(HIWORD(static_cast<uintptr_t>(lParam)))};
    const HWND target = WindowAtScreenPoint(point);
    if (target == 0 || !(HasScrollRange(target, true) || HasScrollRange(target, false)))
        return DefWindowProc(WM_MOUSEWHEEL, wParam, lParam);
    wheelForwarding_ = true;
    ::SendMessage(target, WM_MOUSEWHEEL, wParam, lParam);
    wheelForwarding_ = false;
    return 1;
}

HWND CMainFrame::WindowAtScreenPoint(POINT point) const {
    for (QWidget* w = QApplication::widgetAt(point.x, point.y); w != nullptr;
         w = w->parentWidget()) {
        if (const HWND hwnd = platform::ui::WindowOf(w)) return hwnd;
    }
    return 0;
}

bool CMainFrame::HasScrollRange(HWND hwnd, bool vertical) const {
    QWidget* widget = platform::ui::WidgetOf(hwnd);
    QScrollBar* bar = nullptr;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget))
        bar = vertical ? area->verticalScrollBar() : area->horizontalScrollBar();
    else if (auto* own = qobject_cast<QScrollBar*>(widget))
        bar = (own->orientation() == Qt::Vertical) == vertical ? own : nullptr;
    // The bar's maximum already leaves out the page: any range beyond it scrolls.
    return bar != nullptr && bar->maximum() > bar->minimum();
}

void CMainFrame::OnHotKey() {
    if (IsFrameMinimized()) {
        ShowWindow(SW_SHOWNORMAL);
        MakeFrameForeground();
    } else if (IsFrameForeground()) {
        ShowWindow(SW_MINIMIZE);
    } else {
        MakeFrameForeground();
    }
}

bool CMainFrame::IsFrameMinimized() const {
    QWidget* widget = GetWidget();
    return widget != nullptr && widget->isMinimized();
}

bool CMainFrame::IsFrameForeground() const {
    QWidget* widget = GetWidget();
    return widget != nullptr && widget->isActiveWindow();
}

void CMainFrame::MakeFrameForeground() {
    if (QWidget* widget = GetWidget()) {
        widget->raise();
        widget->activateWindow();
    }
}

}  // namespace shell
