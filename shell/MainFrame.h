// CMainFrame: the program's main window. It lays out the frame's global tables, hosts the
// workspace in its child host window, keeps its placement, runs its worker and quote threads
// and, when destroyed, stops them before the connections and sockets they use go away.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "market/feed/FramePushes.h"
#include "market/feed/QuoteFeeds.h"
#include "market/feed/QuoteSources.h"
#include "platform/ui/FrameWnd.h"
#include "shell/ChildHostWnd.h"
#include "shell/FrameMessages.h"
#include "shell/ViewPluginHost.h"
#include "shell/WorkerThread.h"

namespace NoltComm {
class CFixApiClient;
}

namespace shell {

class CTradeApp;

// Frame state word bits.
inline constexpr uint32_t kFrameUdpReceiverOpen = market::feed::kFrameUdpQuotes;
inline constexpr uint32_t kFrameMulticastOpen = 0x100;
// Both threads end their loops once this is set.
inline constexpr uint32_t kFrameClosing = 1u << 29;
// Second flag word bits.
inline constexpr uint32_t kFrameFlagServiceItemsChanged = 0x200;

// `AppStateFlags` bits the frame reads or sets.
inline constexpr uint32_t kAppStateUpgradeReplacedFiles = 0x20;
inline constexpr uint32_t kAppStateScreenLocked = 0x80;

// The frame's commands.
inline constexpr UINT ID_APP_ABOUT = 57664;
inline constexpr UINT ID_RECENT_BILL = 32772;
inline constexpr UINT ID_ONLINE_UPGRADE = 32773;
inline constexpr UINT ID_CHANGE_PASSWORD = 32789;
inline constexpr UINT ID_UPGRADE_NOTICE = 32793;
inline constexpr UINT ID_SCREEN_LOCK = 32794;
// The command a click on the upgrade notice sends back to the frame.
inline constexpr UINT ID_UPGRADE_NOTICE_CLICKED = 32771;
// The About item of the frame's menu (moved into the system menu at creation).
inline constexpr const char* kAboutMenuText = "关于Velmora交易终端(&A)...";
inline constexpr const char* kUpgradeNoticeText = "服务端有升级程序,\n请点击这里升级...";

// The function number of the quote subscription until the subscriptions replace it.
inline constexpr int32_t kDefaultQuoteSubscriptionFunction = 16408;
inline constexpr int kSubscriptionHandleCount = static_cast<int>(market::feed::kPushTopicCount);

class CMainFrame;
// The frame while it lives (null before its creation and again from the start of its
// destruction); push handlers do nothing while it is null. Any thread.
CMainFrame* GetMainFrame();
HWND GetMainFrameWindow();

// A stored placement's show state as it is restored: maximised stays, anything else is normal.
UINT RestoredShowCommand(UINT storedShowCommand);
// "SYSTEM"/"MAINWND": from "localize.ini", else from the private store. False (and *placement
// untouched) when neither holds a whole 44-byte record.
bool ReadFramePlacement(WINDOWPLACEMENT* placement);
// Into "localize.ini".
bool WriteFramePlacement(const WINDOWPLACEMENT& placement);

class CMainFrame : public CFrameWnd {
public:
    CMainFrame();
    // Stops whatever threads are still running (a frame destroyed without its window).
    ~CMainFrame() override;

    // Creates the frame as a top-level window (not shown: the caller shows it with the
    // restored show state, PlacementShowCommand).
    BOOL LoadFrame(const std::string& title, DWORD style = WS_OVERLAPPEDWINDOW);
    // The frame's styles: no client edge.
    static void PreCreateWindow(DWORD* style, DWORD* exStyle);

    // A frame made on the heap for the whole run deletes itself once its window is gone.
    void SetAutoDelete(bool on) { autoDelete_ = on; }
    void PostNcDestroy() override;

    CChildHostWnd& ChildHost() { return childHost_; }
    // The show state OnCreate restored (SW_SHOWNORMAL when nothing was stored).
    int PlacementShowCommand() const { return placementShowCommand_; }
    WINDOWPLACEMENT GetPlacement() const;
    void ApplyPlacement(const WINDOWPLACEMENT& placement);

    // ---- Quotes that are no FixApi replies (the feeds the frame owns) ----
    // Any thread; the worker calls the first five, the quote thread ReceiveQuotes.
    void OpenMulticastFeed() { quoteFeeds_->OpenMulticastFeed(); }
    bool JoinMulticast(uint16_t port, const std::string& group) {
        return quoteFeeds_->JoinMulticast(port, group);
    }
    void ConnectLevel2Server() { quoteFeeds_->ConnectLevel2Server(); }
    bool SubscribeQuotes() { return quoteFeeds_->SubscribeQuotes(); }
    bool RestoreQuoteFeeds() { return quoteFeeds_->RestoreQuoteFeeds(); }
    // One step of the quote thread: blocks until a quote socket has something or the thread
    // is stopped.
    void ReceiveQuotes() { quoteFeeds_->ReceiveQuotes(); }
    // The processors, on the thread that received the data.
    void ProcessLevel2Quote(const void* data, std::size_t size) {
        quoteFeeds_->Processor().ProcessLevel2Datagram(data, size);
    }
    void ProcessQuotePush(const market::feed::QuotePushFields& push) {
        quoteFeeds_->Processor().ProcessQuotePush(push);
    }
    void ProcessCompactQuotes(const void* data, std::size_t size) {
        quoteFeeds_->Processor().ProcessCompactQuotes(data, size);
    }
    market::feed::CQuoteFeeds& QuoteFeeds() { return *quoteFeeds_; }
    // The rows whose quotes changed since the last call. The workspace gets one
    // WM_FRAME_REFRESH kRefreshRow with lParam kChangedRowsPending however many rows change
    // before it calls this (user-interface thread).
    std::vector<int32_t> TakeChangedRows();
    static constexpr intptr_t kChangedRowsPending = -1;

    // The frame state word, shared with the worker and quote threads: one side sets a bit,
    // the side that serves it clears it. Set/Clear return the word as it stood before.
    uint32_t FrameState() const { return frameState_.load(std::memory_order_acquire); }
    uint32_t SetFrameState(uint32_t bits) { return frameState_.fetch_or(bits); }
    uint32_t ClearFrameState(uint32_t bits) { return frameState_.fetch_and(~bits); }
    bool IsClosing() const { return (FrameState() & kFrameClosing) != 0; }
    // The worker request word: the frame's messages set a bit, the worker clears it once it
    // has served the request. Set/Clear return the word as it stood before.
    uint32_t WorkerRequests() const { return workerRequests_.load(std::memory_order_acquire); }
    uint32_t SetWorkerRequests(uint32_t bits) { return workerRequests_.fetch_or(bits); }
    uint32_t ClearWorkerRequests(uint32_t bits) { return workerRequests_.fetch_and(~bits); }
    // Both words as the worker thread shares them.
    std::atomic<uint32_t>& FrameStateWord() { return frameState_; }
    std::atomic<uint32_t>& WorkerRequestWord() { return workerRequests_; }

    // The extra server connections; the frame owns them and closes them when destroyed. Each
    // new one is attached to the push core in place of the old; what the old one had
    // subscribed is asked for again.
    void AdoptPushConnection(std::unique_ptr<NoltComm::CFixApiClient> connection);
    void AdoptQuoteServerConnection(std::unique_ptr<NoltComm::CFixApiClient> connection);
    NoltComm::CFixApiClient* PushConnection() const { return pushConnection_.get(); }
    NoltComm::CFixApiClient* QuoteServerConnection() const { return quoteConnection_.get(); }

    int32_t QuoteSubscriptionFunction() const { return quoteSubscriptionFunction_.load(); }
    void SetQuoteSubscriptionFunction(int32_t function) { quoteSubscriptionFunction_ = function; }
    // Handles 0..5: quotes (on the quote-server connection), 16403, 16402, 16405, 16406,
    // 17001100; the push core's, so there is one store of them. 0 once the frame is destroyed.
    int32_t SubscriptionHandle(int index) const;
    void SetSubscriptionHandle(int index, int32_t handle);

    // ---- The push handlers of the notices (the push connection's receive thread) ----
    void OnSystemNotice(const market::feed::PushFields& push);
    void OnLoginElsewhere(const market::feed::PushFields& push);
    void OnOptionHedgeResult(const market::feed::PushFields& push);
    // The worker, once after login: the chosen quote source, else the trading server with a
    // notice; then the push connection and its missing subscriptions.
    void ConnectQuoteSources();
    // The second flag word: 0x200 the account's service items changed (set by the customer
    // notice, served by the worker).
    uint32_t FrameFlags() const { return frameFlags_.load(std::memory_order_acquire); }
    uint32_t SetFrameFlags(uint32_t bits) { return frameFlags_.fetch_or(bits); }
    uint32_t ClearFrameFlags(uint32_t bits) { return frameFlags_.fetch_and(~bits); }

    // ---- The push core (subscriptions, dispatcher, trade and confirmation handlers) ----
    // Null from the frame's destruction on (it is detached before the connections close).
    market::feed::CFramePushes* Pushes() { return pushes_.get(); }
    // The connections as the frame holds them now.
    market::feed::PushConnections CurrentPushConnections() const;
    // The worker only: whether subscriptions are asked for (trade pushes, notices, quotes),
    // and serving them (true when none is left wanted).
    bool PushSubscriptionsPending() const;
    bool RunPendingSubscriptions();

    // Texts the worker writes and the user-interface thread reads.
    std::string NoticeText() const;
    void SetNoticeText(std::string text);
    std::string UpgradeSessions(int32_t* lastIndex = nullptr) const;
    void SetUpgradeSessions(std::string sessions, int32_t lastIndex);

    // ---- The workspace view ----
    // Fills the plug-in table from the plug-in folder; returns the count.
    int EnumViewPlugins();
    const std::vector<ViewPluginEntry>& ViewPlugins() const { return plugins_; }
    // The plug-in of that file name (as the table keeps it, compared upper case), or the
    // standard view for an empty name or whenever the plug-in cannot be loaded or makes no
    // window. Only a plug-in of the table is loaded, so its checks and its size hold here too.
    void LoadViewPlugin(const std::string& fileName);
    // Releases the workspace window (and the plug-in library); nothing when there is none.
    void UnloadViewPlugin();
    // The table index of the current plug-in; -1 for the standard view.
    int CurrentViewPlugin() const { return currentPlugin_; }
    // The workspace window object (the standard panel's or a plug-in's); null when none.
    CWnd* Workspace() const { return workspace_; }
    // The menu the frame is created with: its About item is what BuildSystemMenu looks for.
    static HMENU CreateFrameMenu();

    // Key-down messages go to the workspace while it exists, hot keys are not suspended and
    // the frame is the last active window; the workspace's answer is the frame's.
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    int OnCreate() override;
    void OnClose() override;
    void OnDestroy() override;
    void OnSetFocus(CWnd* oldWnd) override;
    // The workspace's routing first; the frame's own commands only when it did not take it.
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    // The frame's own command map; FALSE for a command it does not know.
    virtual BOOL OnFrameCommand(UINT id);
    // Offers a command to the workspace window's own routing; TRUE when it took it.
    virtual BOOL RouteCommandToWorkspace(WPARAM wParam, LPARAM lParam);

    // Moves About and the view choices (when there is a plug-in) into the system menu and
    // removes the menu; called once by OnCreate.
    virtual void BuildSystemMenu();
    // System-menu commands: About, the view choices; the rest to the default procedure.
    virtual void OnSysCommand(UINT id, LPARAM lParam);
    // The system menu's view choices carry a check mark on the current view.
    virtual void OnInitMenuPopup(HMENU popup, UINT index, BOOL systemMenu);

    // ---- Seams filled by the parts that own them ----
    // Loads the workspace at creation: the view plug-in named `viewdll`, or the standard panel
    // when it is empty, into ChildHost().
    virtual void LoadWorkspace(const std::string& viewdll) { LoadViewPlugin(viewdll); }
    // Releases the workspace at close: the view plug-in and its library.
    virtual void ReleaseWorkspace() { UnloadViewPlugin(); }
    // The frame's worker (started at normal priority); null: none.
    virtual std::unique_ptr<CWorkerThread> CreateWorkerThread();
    // The quote thread runs QuoteReceiveStep until the frame closes; it is started only when
    // there is a receiver. A step returns within a few milliseconds.
    virtual bool HasQuoteReceiver() const { return true; }
    virtual void QuoteReceiveStep() { ReceiveQuotes(); }
    // Ends a blocked QuoteReceiveStep (the quote thread's stop).
    virtual void WakeQuoteReceiver() { quoteFeeds_->WakeQuoteThread(); }
    // The FixApi side of a quote subscription (the worker, the text "range(codes)"); true when
    // it went out or no FixApi connection is there yet, else it stays wanted for a next try.
    virtual bool RenewQuoteSubscription(const std::string& text);
    // At destruction: cancels the quote subscription and forgets every handle.
    virtual void CancelQuoteSubscription();
    // Closes the UDP receiver (frame state 0x2), the multicast socket (0x100) and the
    // level-2 sockets ("4012|all" first), then frees the level-2 snapshots under their lock.
    virtual void CloseQuoteSockets() { quoteFeeds_->Close(); }
    virtual void FreeLevel2Snapshots() {}
    // Dialogs and actions of other parts, run with the frame's resource module current.
    virtual void RunAboutDialog();
    virtual void RunRecentBillDialog() {}
    virtual void StartOnlineUpgrade() {}
    virtual void RunPasswordDialog(const std::string& khh) { (void)khh; }
    // IDOK when unlocked, IDCANCEL to end the program.
    virtual INT_PTR RunUnlockDialog() { return IDOK; }
    // Ends the program's message loop with that exit code (a posted quit).
    virtual void QuitProgram(int exitCode);
    // Starts the program's own executable again (after an online upgrade replaced files).
    virtual void RestartProgram();
    // How long closing waits for request objects to be given back after the abort flag.
    virtual int64_t RequestWaitLimitMs() const { return 15000; }

    // The settings ConnectQuoteSources reads (profile defaults; the trading server the login
    // reached); tests replace the connections and notices.
    virtual market::feed::QuoteSourceSettings QuoteSourceSettings();

    // ---- Seams of the frame messages ----
    virtual void RunMarginWebLogin() {}
    // The password re-verification dialog for the customer; IDOK when the password was right.
    virtual INT_PTR RunReverifyDialog(const std::string& khh) {
        (void)khh;
        return IDOK;
    }
    // Asks the worker to subscribe the trade pushes again on the push connection (no server
    // call on this thread).
    virtual void SubscribeTradePushes();
    // A message-list text as a pop-up message window.
    virtual void PopMessage(const std::string& text);
    // The trade server's name: the selected entry of the trading servers.
    virtual std::string TradeServerName() const;
    // Desktop facts of the wheel and hot-key handling: the window under a screen point (0:
    // none), whether a window's scroll bar (vertical or horizontal) has more range than a
    // page, and the frame's minimised and foreground states.
    virtual HWND WindowAtScreenPoint(POINT point) const;
    virtual bool HasScrollRange(HWND hwnd, bool vertical) const;
    virtual bool IsFrameMinimized() const;
    virtual bool IsFrameForeground() const;
    virtual void MakeFrameForeground();

private:
    market::feed::CQuoteFeeds::Hooks MakeQuoteFeedHooks();
    void InstallMessageHandlers();
    LRESULT OnFrameRefresh(WPARAM bits);
    void OnFrameCommandMessage(WPARAM code, LPARAM argument);
    LRESULT OnFrameService(WPARAM service, LPARAM argument);
    LRESULT OnWheel(WPARAM wParam, LPARAM lParam);
    void OnHotKey();
    void ShowFlaggedMessages();
    void ReverifyPassword();
    void ScreenLock();
    void StartThreads();
    void StopThreads();
    void NudgeWorker();
    void ReplaceConnection(std::unique_ptr<NoltComm::CFixApiClient>& slot,
                           std::unique_ptr<NoltComm::CFixApiClient> connection, bool push);
    market::feed::CFramePushes::Options MakePushOptions();
    class QuoteSourceHost;

    CChildHostWnd childHost_;
    // The plug-in table, the current plug-in (index -1 and all empty for the standard view)
    // and the workspace window object.
    std::vector<ViewPluginEntry> plugins_;
    int currentPlugin_ = -1;
    struct CurrentPlugin {
        void* module = nullptr;  // as the plug-in reported it; the library below is freed
        int32_t value = 0;
        ViewCreateFn create = nullptr;
        ViewReleaseFn release = nullptr;
        CViewPluginLibrary library;
    } plugin_;
    CWnd* workspace_ = nullptr;
    std::unique_ptr<NoltComm::CFixApiClient> pushConnection_;
    std::unique_ptr<NoltComm::CFixApiClient> quoteConnection_;
    std::atomic<int32_t> quoteSubscriptionFunction_{kDefaultQuoteSubscriptionFunction};
    std::atomic<uint32_t> frameState_{0};
    std::atomic<uint32_t> workerRequests_{0};
    std::atomic<uint32_t> frameFlags_{0};
    std::string resourceModule_;
    mutable std::mutex textLock_;  // the texts below
    std::string upgradeSessions_;
    int32_t lastUpgradeSession_ = 0;
    std::string noticeText_;
    // Texts WM_FRAME_SERVICE hands out by pointer; each stays until the next such answer.
    std::string serverNameAnswer_;
    std::string stationAnswer_;
    bool wheelForwarding_ = false;
    int placementShowCommand_ = SW_SHOWNORMAL;
    bool autoDelete_ = false;
    class WorkspaceQuoteReceiver;
    // Made before and destroyed after the threads that use them.
    std::unique_ptr<market::feed::CQuoteFeeds> quoteFeeds_;
    std::unique_ptr<WorkspaceQuoteReceiver> workspaceReceiver_;
    class WindowPushSink;
    std::unique_ptr<WindowPushSink> pushSink_;
    // After the connections and the feeds: destroyed (detached) before them.
    std::unique_ptr<market::feed::CFramePushes> pushes_;
    std::unique_ptr<CWorkerThread> worker_;
    std::unique_ptr<CWorkerThread> quoteThread_;
};

// The hook CTradeApp creates its main frame through (Environment::createMainFrame): a
// CMainFrame titled with the banner, loaded with the overlapped style, shown with its restored
// show state and updated; it deletes itself when its window is gone. Null when it could not
// be created.
CWnd* CreateMainFrame(CTradeApp& app);

}  // namespace shell
