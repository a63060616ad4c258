// CMainFrame: creation (tables, system menu, child host, placement, workspace, threads), the
// command and key routing, the screen lock, and the close and destroy sequences.
#include "shell/MainFrame.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <thread>

#include "comm/FixApiClient.h"
#include "flexui/MsgWnd.h"
#include "platform/core/Clock.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Messages.h"
#include "platform/ui/ProfileCodecs.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "shell/AboutDlg.h"
#include "shell/FrameWorker.h"
#include "shell/LoginDlg.h"
#include "shell/TradeApp.h"
#include "shell/ViewPlugin.h"
#include "shell/services/LogLine.h"
#include "shell/services/SettingsWriters.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/TradeRequest.h"

namespace shell {
namespace {

constexpr std::string_view kSection = "SYSTEM";
constexpr std::string_view kPlacementKey = "MAINWND";
constexpr std::string_view kViewKey = "viewdll";
// Kelmon's own dialogs (resources/kelmon), made current around the dialogs the frame runs.
constexpr const char* kProgramResourceModule = "kelmon";
constexpr int64_t kRequestPollMs = 100;
constexpr uint32_t kAllPushRequests =
    market::feed::kWantTradePushes | market::feed::kWantNotices | market::feed::kWantQuotes;

// The level-2 side's "range(codes)" as the push subscription's items: the codes under the
// contract-code tag ("719:codes"); empty when there are no codes.
std::string QuoteRangeItems(const std::string& text) {
    std::string_view codes = text;
    if (codes.starts_with("range(") && codes.ends_with(')'))
        codes = codes.substr(6, codes.size() - 7);
    return codes.empty() ? std::string() : "719:" + std::string(codes);
}

std::atomic<CMainFrame*> g_mainFrame{nullptr};
std::atomic<HWND> g_mainFrameWindow{0};

// The frame's quote thread: once the program's input is idle, the receive step again and
// again until the frame closes. The step blocks on its sockets until one has something or the
// thread is woken to stop, so an idle thread never runs.
class CQuoteThread : public CWorkerThread {
public:
    CQuoteThread(std::function<bool()> closing, std::function<void()> step,
                 std::function<void()> wake)
        : closing_(std::move(closing)), step_(std::move(step)), wake_(std::move(wake)) {}
    ~CQuoteThread() override { Stop(); }

    void MarkInputIdle() {
        {
            std::lock_guard lock(idleLock_);
            inputIdle_ = true;
        }
        idleCv_.notify_all();
    }

protected:
    uint32_t Run() override {
        {
            std::unique_lock lock(idleLock_);
            if (!idleCv_.wait(lock, StopToken(), [this] { return inputIdle_; })) return 0;
        }
        while (!IsStopping() && !closing_()) step_();
        return 0;
    }

    // The step blocks on its sockets: the stop must end that wait.
    void Wake() override {
        if (wake_) wake_();
    }

private:
    std::function<bool()> closing_;
    std::function<void()> step_;
    std::function<void()> wake_;
    std::mutex idleLock_;
    std::condition_variable_any idleCv_;
    bool inputIdle_ = false;
};

// Reaches a window's own command routing, which CWnd keeps protected.
struct CommandAccess : CWnd {
    static BOOL Route(CWnd* target, WPARAM wParam, LPARAM lParam) {
        return (target->*(&CommandAccess::OnCommand))(wParam, lParam);
    }
};

}  // namespace

CMainFrame* GetMainFrame() { return g_mainFrame.load(); }
HWND GetMainFrameWindow() { return g_mainFrameWindow.load(); }

UINT RestoredShowCommand(UINT storedShowCommand) {
    return storedShowCommand == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
}

bool ReadFramePlacement(WINDOWPLACEMENT* placement) {
    std::array<uint8_t, platform::ui::kWindowPlacementRecordSize> record{};
    if (ReadLocalizeStruct(kSection, kPlacementKey, record.data(), record.size()) ||
        pavlet::ReadPrivateConfigureStruct(kSection, kPlacementKey, record.data(), record.size()) !=
            0) {
        *placement = platform::ui::UnpackWindowPlacement(record);
        return true;
    }
    return false;
}

bool WriteFramePlacement(const WINDOWPLACEMENT& placement) {
    const auto record = platform::ui::PackWindowPlacement(placement);
    return WriteLocalizeStruct(kSection, kPlacementKey, record.data(), record.size());
}

// Tells the workspace that quote rows changed: one message until the workspace takes them.
class CMainFrame::WorkspaceQuoteReceiver final : public market::feed::QuoteRowReceiver {
public:
    void Wake() override {
        const HWND workspace = GetWorkspaceWindow();
        if (workspace != 0)
            ::PostMessage(workspace, WM_FRAME_REFRESH, kRefreshRow,
                        static_cast<LPARAM>(kChangedRowsPending));
    }
};

// The push handlers' reports, posted to the windows the worker reports to.
class CMainFrame::WindowPushSink final : public market::feed::PushSink {
public:
    void Post(market::feed::PushWindow window, uint32_t message, uintptr_t wParam,
              intptr_t lParam) override {
        switch (window) {
            case market::feed::PushWindow::kFrame:
                return PostToTarget(PostTarget::Frame, GetMainFrameWindow(), message, wParam,
                                    lParam);
            case market::feed::PushWindow::kQuoteBoard:
                return PostToTarget(PostTarget::QuoteBoard, 0, message, wParam, lParam);
            case market::feed::PushWindow::kWorkspace:
                break;
        }
        PostToTarget(PostTarget::Workspace, 0, message, wParam, lParam);
    }
};

std::vector<int32_t> CMainFrame::TakeChangedRows() {
    return quoteFeeds_->Notifier().TakeRows(workspaceReceiver_.get());
}

market::feed::CQuoteFeeds::Hooks CMainFrame::MakeQuoteFeedHooks() {
    market::feed::CQuoteFeeds::Hooks hooks;
    hooks.setSubscribeFunction = [this](int32_t function) {
        SetQuoteSubscriptionFunction(function);
    };
    auto& control = hooks.control;
    control.customer = [] { return tradedata::GetCurrentKhh(); };
    control.scrambledPassword = [] {
        const int row = tradedata::GetCurrentAccountIndex();
        return row >= 0 ? tradedata::ScrambledTradePassword(row) : std::string();
    };
    control.renewPushSubscription = [this](const std::string& text) {
        return RenewQuoteSubscription(text);
    };
    control.pushConnected = [this] { return PushConnection() != nullptr; };
    control.quoteServerConnected = [this] { return QuoteServerConnection() != nullptr; };
    return hooks;
}

market::feed::CFramePushes::Options CMainFrame::MakePushOptions() {
    market::feed::CFramePushes::Options options;
    options.notices.serviceItemsChanged = [this] {
        SetFrameFlags(kFrameFlagServiceItemsChanged);
    };
    return options;
}

CMainFrame::CMainFrame()
    : quoteFeeds_(std::make_unique<market::feed::CQuoteFeeds>(frameState_, MakeQuoteFeedHooks())),
      workspaceReceiver_(std::make_unique<WorkspaceQuoteReceiver>()),
      pushSink_(std::make_unique<WindowPushSink>()),
      pushes_(std::make_unique<market::feed::CFramePushes>(frameState_, quoteFeeds_->Processor(),
                                                          *pushSink_, MakePushOptions())) {
    pushes_->SetNoticeHandlers([this](const auto& push) { OnSystemNotice(push); },
                               [this](const auto& push) { OnLoginElsewhere(push); },
                               [this](const auto& push) { OnOptionHedgeResult(push); });
    quoteFeeds_->Notifier().AddReceiver(
        workspaceReceiver_.get(), market::feed::kRowQuoteChannel | market::feed::kRowDepthChannel);
    InstallMessageHandlers();
    OnMessage(WM_SYSCOMMAND, [this](WPARAM w, LPARAM l) {
        OnSysCommand(static_cast<UINT>(w), l);
        return LRESULT{0};
    });
    OnMessage(WM_INITMENUPOPUP, [this](WPARAM w, LPARAM l) {
        OnInitMenuPopup(static_cast<HMENU>(w), LOWORD(static_cast<uintptr_t>(l)),
                        HIWORD(static_cast<uintptr_t>(l)));
        return LRESULT{0};
    });
}

CMainFrame::~CMainFrame() {
    // Destroyed here, while OnDestroy is still this class's, and not by the base destructor.
    if (m_hWnd != 0 && ::IsWindow(m_hWnd)) {
        autoDelete_ = false;
        DestroyWindow();
    }
    // A frame whose window never got WM_DESTROY still must not leave threads on a freed object.
    SetFrameState(kFrameClosing);
    StopThreads();
    // The UDP link's thread may still mark rows until the feeds close it.
    quoteFeeds_->Notifier().RemoveReceiver(workspaceReceiver_.get());
    if (g_mainFrame.load() == this) {
        g_mainFrame.store(nullptr);
        g_mainFrameWindow.store(0);
    }
}

void CMainFrame::PreCreateWindow(DWORD* style, DWORD* exStyle) {
    (void)style;
    if (exStyle != nullptr) *exStyle &= ~WS_EX_CLIENTEDGE;
}

BOOL CMainFrame::LoadFrame(const std::string& title, DWORD style) {
    DWORD exStyle = WS_EX_CLIENTEDGE;
    PreCreateWindow(&style, &exStyle);
    return CreateEx(exStyle, nullptr, title.c_str(), style & ~WS_VISIBLE, RECT{0, 0, 800, 600},
                    nullptr, 0);
}

int32_t CMainFrame::SubscriptionHandle(int index) const {
    if (!pushes_ || index < 0 || index >= kSubscriptionHandleCount) return 0;
    return static_cast<int32_t>(
        pushes_->Handles().Get(static_cast<market::feed::PushTopic>(index)));
}

void CMainFrame::SetSubscriptionHandle(int index, int32_t handle) {
    if (!pushes_ || index < 0 || index >= kSubscriptionHandleCount) return;
    pushes_->Handles().Set(static_cast<market::feed::PushTopic>(index),
                           static_cast<uint32_t>(handle));
}

market::feed::PushConnections CMainFrame::CurrentPushConnections() const {
    market::feed::PushConnections connections{
        .push = pushConnection_.get(),
        .quote = quoteConnection_.get(),
        .multicastOpen = (FrameState() & kFrameMulticastOpen) != 0};
    // With the UDP quote link as the source, the quote codes go over the link.
    if ((FrameState() & kFrameUdpReceiverOpen) != 0) {
        market::feed::CUdpCallbackReceiver* udp = &quoteFeeds_->Udp();
        connections.udpSubscribe = [udp](const std::string& text) {
            return udp->SendSubscription(text);
        };
    }
    return connections;
}

bool CMainFrame::PushSubscriptionsPending() const {
    return pushes_ && (pushes_->Subscriptions().Pending() & kAllPushRequests) != 0;
}

bool CMainFrame::RunPendingSubscriptions() {
    if (!pushes_) return false;
    market::feed::CPushSubscriptions& subscriptions = pushes_->Subscriptions();
    subscriptions.RunPending(CurrentPushConnections());
    return (subscriptions.Pending() & kAllPushRequests) == 0;
}

bool CMainFrame::RenewQuoteSubscription(const std::string& text) {
    if (!pushes_) return false;
    market::feed::CPushSubscriptions& subscriptions = pushes_->Subscriptions();
    subscriptions.RequestQuotes(QuoteRangeItems(text));
    const market::feed::PushConnections connections = CurrentPushConnections();
    // Without a FixApi connection the level-2 side stands alone: the text stays wanted and
    // goes out once a connection is adopted (which asks for it again).
    if (connections.push == nullptr && connections.quote == nullptr) return true;
    subscriptions.RunPending(connections);
    return (subscriptions.Pending() & market::feed::kWantQuotes) == 0;
}

void CMainFrame::CancelQuoteSubscription() {
    if (pushes_) pushes_->Subscriptions().CancelAll(CurrentPushConnections());
}

void CMainFrame::SubscribeTradePushes() {
    if (!pushes_) return;
    pushes_->Subscriptions().RequestTradePushes();
    NudgeWorker();
}

void CMainFrame::NudgeWorker() {
    if (auto* frameWorker = dynamic_cast<CFrameWorker*>(worker_.get())) frameWorker->Nudge();
}

std::string CMainFrame::NoticeText() const {
    std::lock_guard lock(textLock_);
    return noticeText_;
}

void CMainFrame::SetNoticeText(std::string text) {
    std::lock_guard lock(textLock_);
    noticeText_ = std::move(text);
}

std::string CMainFrame::UpgradeSessions(int32_t* lastIndex) const {
    std::lock_guard lock(textLock_);
    if (lastIndex != nullptr) *lastIndex = lastUpgradeSession_;
    return upgradeSessions_;
}

void CMainFrame::SetUpgradeSessions(std::string sessions, int32_t lastIndex) {
    std::lock_guard lock(textLock_);
    upgradeSessions_ = std::move(sessions);
    lastUpgradeSession_ = lastIndex;
}

void CMainFrame::AdoptPushConnection(std::unique_ptr<NoltComm::CFixApiClient> connection) {
    ReplaceConnection(pushConnection_, std::move(connection), true);
}

void CMainFrame::AdoptQuoteServerConnection(std::unique_ptr<NoltComm::CFixApiClient> connection) {
    ReplaceConnection(quoteConnection_, std::move(connection), false);
}

void CMainFrame::ReplaceConnection(std::unique_ptr<NoltComm::CFixApiClient>& slot,
                                   std::unique_ptr<NoltComm::CFixApiClient> connection,
                                   bool push) {
    if (!pushes_) {  // destroyed frame: nothing listens any more
        slot = std::move(connection);
        return;
    }
    const bool hadQuoteConnection = quoteConnection_ != nullptr;
    // No handler of the old connection may still run once it is gone.
    if (slot) pushes_->Detach(slot.get());
    slot = std::move(connection);
    if (slot) pushes_->Attach(slot.get());
    market::feed::CPushSubscriptions& subscriptions = pushes_->Subscriptions();
    // Only what the replaced connection carried is subscribed again: a new quote server
    // leaves the trade topics of the live push connection alone.
    if (push)
        subscriptions.PushConnectionReplaced(quoteConnection_ == nullptr);
    else
        subscriptions.QuoteConnectionReplaced(pushConnection_.get(), hadQuoteConnection);
}

void CMainFrame::OnSystemNotice(const market::feed::PushFields& push) {
    if (pushes_) pushes_->Notices().OnSystemNotice(push);
}

void CMainFrame::OnLoginElsewhere(const market::feed::PushFields& push) {
    if (pushes_) pushes_->Notices().OnLoginElsewhere(push);
}

void CMainFrame::OnOptionHedgeResult(const market::feed::PushFields& push) {
    if (pushes_) pushes_->Notices().OnOptionResult(push);
}

// The frame as the quote-source routine sees it.
class CMainFrame::QuoteSourceHost final : public market::feed::QuoteSourceHost {
public:
    explicit QuoteSourceHost(CMainFrame& frame) : frame_(frame) {}
    std::atomic<uint32_t>& FrameState() override { return frame_.frameState_; }
    NoltComm::CUdpLink& UdpLink() override { return frame_.quoteFeeds_->Udp(); }
    void UdpRegistered() override { frame_.quoteFeeds_->ConnectUdpCallback(); }
    NoltComm::CFixApiClient* PushConnection() override { return frame_.PushConnection(); }
    NoltComm::CFixApiClient* QuoteServerConnection() override {
        return frame_.QuoteServerConnection();
    }
    void AdoptPushConnection(std::unique_ptr<NoltComm::CFixApiClient> connection) override {
        frame_.AdoptPushConnection(std::move(connection));
    }
    void AdoptQuoteServerConnection(std::unique_ptr<NoltComm::CFixApiClient> connection) override {
        frame_.AdoptQuoteServerConnection(std::move(connection));
    }
    market::feed::CPushSubscriptions& Subscriptions() override {
        return frame_.pushes_->Subscriptions();
    }
    market::feed::PushConnections CurrentConnections() override {
        return frame_.CurrentPushConnections();
    }

private:
    CMainFrame& frame_;
};

market::feed::QuoteSourceSettings CMainFrame::QuoteSourceSettings() {
    market::feed::QuoteSourceSettings settings;
    settings.tradeAddresses = [] { return GetTradeServerInUse().addressList; };
    settings.tradeAddress = [] { return GetTradeServerInUse().address; };
    return settings;
}

void CMainFrame::ConnectQuoteSources() {
    if (!pushes_ || IsClosing()) return;
    QuoteSourceHost host(*this);
    market::feed::ConnectQuoteSources(host, QuoteSourceSettings());
}

WINDOWPLACEMENT CMainFrame::GetPlacement() const {
    WINDOWPLACEMENT placement;
    QWidget* widget = GetWidget();
    if (widget == nullptr) return placement;
    placement.showCmd = widget->isMaximized()   ? SW_SHOWMAXIMIZED
                        : widget->isMinimized() ? SW_SHOWMINIMIZED
                                                : SW_SHOWNORMAL;
    RECT normal{};
    const QRect saved = widget->normalGeometry();
    if (placement.showCmd != SW_SHOWNORMAL && saved.isValid())
        normal = RECT{saved.left(), saved.top(), saved.left() + saved.width(),
                      saved.top() + saved.height()};
    else
        GetWindowRect(&normal);
    placement.rcNormalPosition = normal;
    return placement;
}

void CMainFrame::ApplyPlacement(const WINDOWPLACEMENT& placement) {
    placementShowCommand_ = static_cast<int>(RestoredShowCommand(placement.showCmd));
    const RECT& r = placement.rcNormalPosition;
    if (r.right > r.left && r.bottom > r.top) MoveWindow(r);
    if (IsWindowVisible()) ShowWindow(placementShowCommand_);
}

int CMainFrame::OnCreate() {
    if (CFrameWnd::OnCreate() == -1) return -1;
    g_mainFrame.store(this);
    g_mainFrameWindow.store(m_hWnd);
    resourceModule_ = kProgramResourceModule;

    tradedata::CreateFrameTables();
    // The menu a frame is created with; BuildSystemMenu turns it into system-menu items.
    if (::GetMenu(m_hWnd) == 0) ::SetMenu(m_hWnd, CreateFrameMenu());
    BuildSystemMenu();

    DWORD hostStyle = WS_CHILD | WS_VISIBLE | WS_BORDER;
    DWORD hostExStyle = 0;
    CChildHostWnd::PreCreateWindow(&hostStyle, &hostExStyle);
    if (!childHost_.Create(this, AFX_IDW_PANE_FIRST, RECT{0, 0, 0, 0}, hostStyle, hostExStyle))
        return -1;

    WINDOWPLACEMENT placement;
    if (ReadFramePlacement(&placement)) ApplyPlacement(placement);

    LoadWorkspace(GetLocalizeString(kSection, kViewKey));
    RecalcLayout();
    StartThreads();
    return 0;
}

std::unique_ptr<CWorkerThread> CMainFrame::CreateWorkerThread() { return MakeFrameWorker(*this); }

void CMainFrame::StartThreads() {
    worker_ = CreateWorkerThread();
    if (worker_ && worker_->Start()) {
        // The frame worker begins at the input-idle point, as the quote thread does.
        if (auto* frameWorker = dynamic_cast<CFrameWorker*>(worker_.get())) {
            QTimer::singleShot(0, GetWidget(), [this, frameWorker] {
                if (worker_.get() == frameWorker) frameWorker->MarkInputIdle();
            });
        }
    }
    if (HasQuoteReceiver()) {
        auto quoteThread = std::make_unique<CQuoteThread>([this] { return IsClosing(); },
                                                          [this] { QuoteReceiveStep(); },
                                                          [this] { WakeQuoteReceiver(); });
        CQuoteThread* started = quoteThread.get();
        quoteThread_ = std::move(quoteThread);
        if (started->Start()) {
            // A zero timer fires once the event loop has handled what was queued: the
            // input-idle point. Tied to the frame's widget, it is dropped with the window.
            QTimer::singleShot(0, GetWidget(), [this, started] {
                if (quoteThread_.get() == started) started->MarkInputIdle();
            });
        }
    }
}

void CMainFrame::StopThreads() {
    // Stop flag, wake-up and a bounded wait each; a body that overstays is joined by its
    // destructor, so neither thread ever outlives what it reads.
    if (worker_) worker_->Stop();
    if (quoteThread_) quoteThread_->Stop();
    worker_.reset();
    quoteThread_.reset();
}

void CMainFrame::OnClose() {
    WriteFramePlacement(GetPlacement());
    SetFrameState(kFrameClosing);
    ReleaseWorkspace();
    CFrameWnd::OnClose();
}

void CMainFrame::OnDestroy() {
    // A frame destroyed without being closed still gives its plug-in the window back (it is
    // still whole here: children hear of their destruction after the frame).
    UnloadViewPlugin();
    CFrameWnd::OnDestroy();
    g_mainFrame.store(nullptr);

    CancelQuoteSubscription();
    SetFrameState(kFrameClosing);

    NoltComm::SetRequestAbort(1);
    // The abort flag ends every waiting request at once; a request object that somebody holds
    // and never gives back must not keep the program from closing.
    const auto requestDeadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(RequestWaitLimitMs());
    while (NoltComm::GetLiveRequestCount() > 0) {
        if (std::chrono::steady_clock::now() >= requestDeadline) {
            WriteLogLine("关闭主窗口时仍有未释放的请求");
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kRequestPollMs));
    }

    // The threads read the connections and sockets closed below.
    StopThreads();
    // Detached before the connections close: no push handler runs into a closing frame.
    pushes_.reset();

    if (pushConnection_) pushConnection_->Close();
    pushConnection_.reset();
    if (quoteConnection_) quoteConnection_->Close();
    quoteConnection_.reset();

    CloseQuoteSockets();
    ClearFrameState(kFrameUdpReceiverOpen | kFrameMulticastOpen);
    FreeLevel2Snapshots();

    if (GetAppStateFlags() & kAppStateUpgradeReplacedFiles) RestartProgram();
    g_mainFrameWindow.store(0);
}

void CMainFrame::OnSetFocus(CWnd* oldWnd) {
    (void)oldWnd;
    if (childHost_.m_hWnd != 0 && ::IsWindow(childHost_.m_hWnd)) childHost_.SetFocus();
}

BOOL CMainFrame::PreTranslateMessage(MSG* msg) {
    if (msg == nullptr) return FALSE;
    const HWND workspace = GetWorkspaceWindow();
    if (workspace != 0 && ::IsWindow(workspace) &&
        (GetAppStateFlags() & kAppStateAcceleratorsSuspended) == 0 &&
        (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN)) {
        if (GetLastActiveWindow() != m_hWnd) return FALSE;
        CWnd* target = CWnd::FromHandle(workspace);
        return target != nullptr ? target->PreTranslateMessage(msg) : FALSE;
    }
    return CFrameWnd::PreTranslateMessage(msg);
}

BOOL CMainFrame::RouteCommandToWorkspace(WPARAM wParam, LPARAM lParam) {
    const HWND workspace = GetWorkspaceWindow();
    if (workspace == 0 || workspace == m_hWnd) return FALSE;
    CWnd* target = CWnd::FromHandlePermanent(workspace);
    return target != nullptr ? CommandAccess::Route(target, wParam, lParam) : FALSE;
}

BOOL CMainFrame::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (RouteCommandToWorkspace(wParam, lParam)) return TRUE;
    // Only menu and accelerator commands (no control notification) are the frame's own.
    if (lParam == 0 && OnFrameCommand(LOWORD(static_cast<uintptr_t>(wParam)))) return TRUE;
    return CFrameWnd::OnCommand(wParam, lParam);
}

BOOL CMainFrame::OnFrameCommand(UINT id) {
    switch (id) {
        case ID_APP_ABOUT: {
            platform::ui::ScopedResourceModule module(resourceModule_);
            RunAboutDialog();
            return TRUE;
        }
        case ID_RECENT_BILL:
            RunRecentBillDialog();
            return TRUE;
        case ID_ONLINE_UPGRADE:
            StartOnlineUpgrade();
            return TRUE;
        case ID_CHANGE_PASSWORD:
            RunPasswordDialog(tradedata::GetCurrentKhh());
            return TRUE;
        case ID_UPGRADE_NOTICE:
            CMsgWnd::PopMsgWnd(kUpgradeNoticeText, 2, m_hWnd, ID_UPGRADE_NOTICE_CLICKED, 2, 0);
            return TRUE;
        case ID_SCREEN_LOCK:
            ScreenLock();
            return TRUE;
        default:
            return FALSE;
    }
}

void CMainFrame::ScreenLock() {
    SetAppStateFlags(kAppStateScreenLocked);
    INT_PTR result = IDOK;
    {
        platform::ui::ScopedResourceModule module(resourceModule_);
        ShowWindow(SW_HIDE);
        result = RunUnlockDialog();
        ShowWindow(SW_SHOW);
    }
    // The automatic lock suspends key forwarding before it asks for the lock; once unlocked
    // the keys must reach the workspace again, or the rest of the session has no hot keys.
    ClearAppStateFlags(kAppStateScreenLocked | kAppStateAcceleratorsSuspended);
    StampLastActivityTick(platform::TickMs());
    if (result == IDCANCEL) {
        if (GetLastActiveWindow() == m_hWnd)
            PostMessage(WM_CLOSE);
        else
            QuitProgram(1);
    }
}

HMENU CMainFrame::CreateFrameMenu() {
    HMENU bar = ::CreatePopupMenu();
    HMENU help = ::CreatePopupMenu();
    ::AppendMenu(help, MF_STRING, ID_APP_ABOUT, kAboutMenuText);
    ::AppendMenu(bar, MF_POPUP, help, "帮助(&H)");
    return bar;
}

void CMainFrame::BuildSystemMenu() {
    HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
    HMENU menu = ::GetMenu(m_hWnd);
    const int popups = ::GetMenuItemCount(menu);
    for (int i = 0; i < popups; ++i) {
        HMENU popup = ::GetSubMenu(menu, i);
        if (popup == 0 ||
            ::GetMenuState(popup, ID_APP_ABOUT, MF_BYCOMMAND) == static_cast<UINT>(-1))
            continue;
        char text[128];
        ::GetMenuString(popup, ID_APP_ABOUT, text, sizeof text, MF_BYCOMMAND);
        ::AppendMenu(systemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenu(systemMenu, MF_STRING, ID_APP_ABOUT, text);
        break;
    }

    if (EnumViewPlugins() > 0) {
        ::AppendMenu(systemMenu, MF_SEPARATOR, 0, nullptr);
        HMENU views = ::CreatePopupMenu();
        ::AppendMenu(views, MF_STRING, ID_VIEW_STANDARD, kStandardViewText);
        for (size_t i = 0; i < plugins_.size(); ++i)
            ::AppendMenu(views, MF_STRING, ID_VIEW_FIRST_PLUGIN + i, plugins_[i].displayName);
        ::InsertMenu(systemMenu, static_cast<UINT>(::GetMenuItemCount(systemMenu)),
                     MF_BYPOSITION | MF_POPUP, views, kViewMenuText);
    }

    ::SetMenu(m_hWnd, 0);
    if (menu != 0) ::DestroyMenu(menu);
}

int CMainFrame::EnumViewPlugins() {
    plugins_ = EnumerateViewPlugins();
    return static_cast<int>(plugins_.size());
}

void CMainFrame::LoadViewPlugin(const std::string& fileName) {
    // Clearing the record below frees the current library, which must not go before its window.
    if (workspace_ != nullptr) UnloadViewPlugin();
    currentPlugin_ = -1;
    plugin_ = CurrentPlugin{};
    CWnd* workspace = nullptr;

    const std::string upper = UpperFileName(fileName);
    const auto entry = std::find_if(plugins_.begin(), plugins_.end(),
                                    [&](const ViewPluginEntry& e) { return upper == e.fileName; });
    if (!fileName.empty() && entry != plugins_.end()) {
        // The stored name is upper case; the folder's file may be spelt otherwise.
        const std::string path = FindViewPluginFile(fileName);
        WorkPlaceInfo info;
        if (!path.empty() && ProbeViewPlugin(path, &plugin_.library, &info)) {
            plugin_.module = info.module;
            plugin_.value = info.value;
            plugin_.create = reinterpret_cast<ViewCreateFn>(plugin_.library.Find(info.createName));
            plugin_.release =
                reinterpret_cast<ViewReleaseFn>(plugin_.library.Find(info.releaseName));
            ViewCreateParams params;
            params.value = plugin_.value;
            params.frame = m_hWnd;
            params.parent = childHost_.m_hWnd;
            // Without its release entry the window could not be given back, and it would
            // outlive the code it runs on once the library is freed.
            if (plugin_.create != nullptr && plugin_.release != nullptr) {
                // The plug-in's templates are looked for first while it builds its window,
                // under its table name (a module it may register; unregistered, the search
                // simply goes on through the program's own modules).
                platform::ui::ScopedResourceModule module(entry->fileName);
                workspace = plugin_.create(&params, 0);
            }
            if (workspace != nullptr) currentPlugin_ = static_cast<int>(entry - plugins_.begin());
        }
        if (workspace == nullptr) {
            WriteLogLine("视图插件未能创建工作区, 改用标准界面: " + fileName);
            plugin_ = CurrentPlugin{};  // frees a library that made no window
        }
    }

    if (workspace == nullptr) {
        platform::ui::ScopedResourceModule module(resourceModule_);
        ViewCreateParams params;
        params.frame = m_hWnd;
        params.parent = childHost_.m_hWnd;
        workspace = CreateStandardWorkspace(&params, 0);
    }

    workspace_ = workspace;
    SetWorkspaceWindow(workspace != nullptr ? workspace->m_hWnd : 0);
    childHost_.SetChildWnd(workspace);
    if (workspace != nullptr && ::IsWindow(workspace->m_hWnd)) workspace->ShowWindow(SW_SHOW);
}

void CMainFrame::UnloadViewPlugin() {
    if (childHost_.m_hWnd != 0 && ::IsWindow(childHost_.m_hWnd))
        childHost_.SetChildWnd(static_cast<CWnd*>(nullptr));
    if (workspace_ != nullptr) {
        if (currentPlugin_ < 0) {
            ReleaseStandardWorkspace(workspace_);
        } else {
            plugin_.release(workspace_);  // a plug-in without it is never loaded
            // The window object is the plug-in's: it is gone before its code is.
            plugin_ = CurrentPlugin{};
            currentPlugin_ = -1;
            platform::ui::SetCurrentResourceModule(resourceModule_);
        }
    }
    workspace_ = nullptr;
    SetWorkspaceWindow(0);
}

void CMainFrame::OnSysCommand(UINT id, LPARAM lParam) {
    if (id == ID_APP_ABOUT) {
        PostMessage(WM_COMMAND, ID_APP_ABOUT);
        return;
    }
    if (id >= ID_VIEW_STANDARD && id <= ID_VIEW_LAST) {
        const int index = static_cast<int>(id) - static_cast<int>(ID_VIEW_FIRST_PLUGIN);
        // An id past the table names no plug-in: nothing to switch to.
        if (index == currentPlugin_ || index >= static_cast<int>(plugins_.size())) return;
        UnloadViewPlugin();
        NoltComm::SetRequestAbort(0);
        LoadViewPlugin(index >= 0 ? std::string(plugins_[static_cast<size_t>(index)].fileName)
                                  : std::string());
        WriteLocalizeString(
            kSection, kViewKey,
            currentPlugin_ >= 0 ? plugins_[static_cast<size_t>(currentPlugin_)].fileName : "");
        return;
    }
    DefWindowProc(WM_SYSCOMMAND, id, lParam);
}

void CMainFrame::OnInitMenuPopup(HMENU popup, UINT index, BOOL systemMenu) {
    (void)index;
    if (!systemMenu) return;
    const int count = ::GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        const UINT id = ::GetMenuItemID(popup, i);
        if (id < ID_VIEW_STANDARD || id > ID_VIEW_LAST) continue;
        const bool current =
            static_cast<int>(id) - static_cast<int>(ID_VIEW_FIRST_PLUGIN) == currentPlugin_;
        ::CheckMenuItem(popup, static_cast<UINT>(i),
                        MF_BYPOSITION | (current ? MF_CHECKED : MF_UNCHECKED));
    }
}

void CMainFrame::RunAboutDialog() {
    CAboutDlg dialog(this);
    dialog.DoModal();
}

void CMainFrame::QuitProgram(int exitCode) {
    // Queued, as a posted quit is: the unlock dialog's caller returns first.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [exitCode] { QCoreApplication::exit(exitCode); },
        Qt::QueuedConnection);
}

void CMainFrame::PostNcDestroy() {
    if (autoDelete_) delete this;
}

void CMainFrame::RestartProgram() {
    QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
}

CWnd* CreateMainFrame(CTradeApp& app) {
    (void)app;
    const std::string title = GetBannerText();
    // The window layer deletes a frame once its window is gone (PostNcDestroy).
    auto frame = std::make_unique<CMainFrame>();
    if (!frame->LoadFrame(title)) return nullptr;
    frame->SetAutoDelete(true);
    frame->ShowWindow(frame->PlacementShowCommand());
    frame->UpdateWindow();
    return frame.release();
}

}  // namespace shell
