// CMainFrame: creation (tables, system menu, child host, placement, workspace, threads), the
// command and key routing, the screen lock, and the close and destroy sequences.
#include "shell/MainFrame.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <thread>

#include "comm/FixApiClient.h"
#include "flexui/MsgWnd.h"
#include "platform/core/Clock.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/ProfileCodecs.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "shell/AboutDlg.h"
#include "shell/FrameWorker.h"
#include "shell/TradeApp.h"
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

std::atomic<CMainFrame*> g_mainFrame{nullptr};
std::atomic<HWND> g_mainFrameWindow{0};

// The frame's quote thread: once the program's input is idle, the receive step again and
// again until the frame closes. The step itself waits on its sockets' event for a few
// milliseconds, so the loop never spins.
class CQuoteThread : public CWorkerThread {
public:
    CQuoteThread(std::function<bool()> closing, std::function<void()> step)
        : closing_(std::move(closing)), step_(std::move(step)) {}
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

private:
    std::function<bool()> closing_;
    std::function<void()> step_;
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

CMainFrame::CMainFrame() { InstallMessageHandlers(); }

CMainFrame::~CMainFrame() {
    // Destroyed here, while OnDestroy is still this class's, and not by the base destructor.
    if (m_hWnd != 0 && ::IsWindow(m_hWnd)) {
        autoDelete_ = false;
        DestroyWindow();
    }
    // A frame whose window never got WM_DESTROY still must not leave threads on a freed object.
    SetFrameState(kFrameClosing);
    StopThreads();
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
    if (index < 0 || index >= kSubscriptionHandleCount) return 0;
    return subscriptionHandles_[static_cast<size_t>(index)].load();
}

void CMainFrame::SetSubscriptionHandle(int index, int32_t handle) {
    if (index < 0 || index >= kSubscriptionHandleCount) return;
    subscriptionHandles_[static_cast<size_t>(index)].store(handle);
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
    pushConnection_ = std::move(connection);
}

void CMainFrame::AdoptQuoteServerConnection(std::unique_ptr<NoltComm::CFixApiClient> connection) {
    quoteConnection_ = std::move(connection);
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
                                                          [this] { QuoteReceiveStep(); });
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
    CFrameWnd::OnDestroy();
    g_mainFrame.store(nullptr);

    if (quoteConnection_) CancelQuoteSubscription(SubscriptionHandle(0));
    for (auto& handle : subscriptionHandles_) handle.store(0);
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
