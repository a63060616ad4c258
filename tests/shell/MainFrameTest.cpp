// The main frame: the global tables' layouts after creation, the placement round trip through
// "localize.ini" with its show-state rule, the workspace choice, command and key routing, the
// screen lock, and creation and destruction with the threads stopped before the frame goes.
#include "shell/MainFrame.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/ui/ProfileCodecs.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "shell/TradeApp.h"
#include "shell/services/SettingsWriters.h"
#include "shell/services/StartupSettings.h"
#include "support/ScratchProfile.h"
#include "support/ui/UiTestApp.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/TradeRequest.h"

namespace shell {
namespace {

using kelmon::test::ui::UiTest;

// Waits on its stop token only, as the frame's worker does between its rounds.
class ParkedWorker : public CWorkerThread {
public:
    explicit ParkedWorker(std::atomic<int>* running) : running_(running) {}

protected:
    uint32_t Run() override {
        running_->fetch_add(1);
        std::mutex lock;
        std::condition_variable_any cv;
        std::unique_lock guard(lock);
        cv.wait(guard, StopToken(), [] { return false; });
        running_->fetch_sub(1);
        return 0;
    }

private:
    std::atomic<int>* running_;
};

// Records what the frame hands to the seams the other parts fill.
class TestFrame : public CMainFrame {
public:
    std::vector<std::string> workspaces;
    std::vector<UINT> ownCommands;
    std::atomic<int> workerRunning{0};
    std::atomic<int> quoteSteps{0};
    bool quoteReceiver = false;
    INT_PTR unlockAnswer = IDOK;
    uint32_t flagsInUnlock = 0;
    bool visibleInUnlock = true;
    std::vector<int> quits;
    std::atomic<bool> socketsClosed{false};
    std::atomic<bool> stepAfterClose{false};
    int workersAtClose = -1;
    int restarts = 0;
    int releases = 0;
    int64_t requestWaitLimitMs = 15000;

protected:
    int64_t RequestWaitLimitMs() const override { return requestWaitLimitMs; }
    void LoadWorkspace(const std::string& viewdll) override { workspaces.push_back(viewdll); }
    void ReleaseWorkspace() override { ++releases; }
    std::unique_ptr<CWorkerThread> CreateWorkerThread() override {
        return std::make_unique<ParkedWorker>(&workerRunning);
    }
    bool HasQuoteReceiver() const override { return quoteReceiver; }
    void QuoteReceiveStep() override {
        if (socketsClosed.load()) stepAfterClose.store(true);
        quoteSteps.fetch_add(1);
        std::this_thread::yield();
    }
    void CloseQuoteSockets() override {
        workersAtClose = workerRunning.load();
        socketsClosed.store(true);
    }
    void RunRecentBillDialog() override { ownCommands.push_back(ID_RECENT_BILL); }
    void StartOnlineUpgrade() override { ownCommands.push_back(ID_ONLINE_UPGRADE); }
    INT_PTR RunUnlockDialog() override {
        flagsInUnlock = GetAppStateFlags();
        visibleInUnlock = IsWindowVisible() != FALSE;
        return unlockAnswer;
    }
    void QuitProgram(int exitCode) override { quits.push_back(exitCode); }
    void RestartProgram() override { ++restarts; }
};

// Takes every command, as a workspace whose own map handles it.
class GreedyWorkspace : public CWnd {
public:
    std::vector<int> commands;
    std::vector<int> keys;
    BOOL PreTranslateMessage(MSG* msg) override {
        keys.push_back(static_cast<int>(msg->wParam));
        return TRUE;
    }

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM) override {
        commands.push_back(LOWORD(wParam));
        return TRUE;
    }
};

WINDOWPLACEMENT Placement(UINT showCmd, RECT normal) {
    WINDOWPLACEMENT p;
    p.showCmd = showCmd;
    p.rcNormalPosition = normal;
    return p;
}

class MainFrameTest : public UiTest {
protected:
    void SetUp() override { ASSERT_EQ(CreateDirectoryPath(GetUserDirectory()), 1); }
    void TearDown() override {
        NoltComm::SetRequestAbort(0);
        ClearAppStateFlags(~0u);
        SetWorkspaceWindow(0);
        UiTest::TearDown();
    }
    // The application records the last active window as messages pass it.
    static void MakeLastActive(HWND hwnd) {
        CTradeApp::Environment env;
        env.activeWindow = [hwnd] { return hwnd; };
        CTradeApp app(std::move(env));
        MSG move{hwnd, WM_MOUSEMOVE, 0, 0, 0, {}};
        app.PreTranslateMessage(&move);
    }
    void Create(TestFrame* frame) {
        ASSERT_TRUE(frame->LoadFrame("frame"));
        EXPECT_EQ(GetMainFrame(), frame);
        EXPECT_EQ(GetMainFrameWindow(), frame->m_hWnd);
    }

    testsupport::ScratchProfile profile_;
};

TEST(MainFrameRules, OnlyMaximisedSurvivesTheRestore) {
    const struct {
        UINT stored;
        UINT restored;
    } cases[] = {{0, 1}, {1, 1}, {2, 1}, {3, 3}, {6, 1}, {9, 1}};
    for (const auto& c : cases) EXPECT_EQ(RestoredShowCommand(c.stored), c.restored) << c.stored;
}

TEST_F(MainFrameTest, CreationGivesTheTenTablesTheirLayouts) {
    tradedata::OrderTable.Create(tradedata::kTradeLayout);  // a stale layout is replaced
    TestFrame frame;
    Create(&frame);
    const struct {
        CFixRecord* table;
        int columns;
        uint32_t first;
        uint32_t last;
    } cases[] = {
        {&tradedata::CombinationContractTable, 53, 889, 2003},
        {&tradedata::CombinationLegTable, 7, 797, 763},
        {&tradedata::MessageTable, 6, 1219, 1080},
        {&tradedata::OptionContractTable, 64, 599, 1813},
        {&tradedata::QuoteSubscriptionTable, 4, 599, 644},
        {&tradedata::OrderTable, 42, 897, 3062},
        {&tradedata::TradeDetailTable, 27, 681, 605},
        {&tradedata::TradeTable, 29, 681, 605},
        {&tradedata::OrderCountTable, 11, 605, 763},
        // The data model keeps every order column in the two-leg rows too.
        {&tradedata::TwoLegOrderTable, 51, 897, 1852},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        ASSERT_EQ(c.table->GetFCount(), c.columns);
        EXPECT_EQ(c.table->GetIndexID(0), c.first);
        EXPECT_EQ(c.table->GetIndexID(c.columns - 1), c.last);
        EXPECT_EQ(c.table->GetCount(), 0);
    }
    frame.DestroyWindow();
}

TEST_F(MainFrameTest, PlacementRoundTripsThroughLocalizeIni) {
    const RECT stored{40, 30, 640, 430};
    for (UINT show : {0u, 2u, 3u}) {
        SCOPED_TRACE(show);
        ASSERT_TRUE(WriteFramePlacement(Placement(show, stored)));
        TestFrame frame;
        Create(&frame);
        EXPECT_EQ(frame.PlacementShowCommand(), static_cast<int>(RestoredShowCommand(show)));
        RECT r{};
        frame.GetWindowRect(&r);
        EXPECT_EQ(r, stored);

        // Closing stores where the frame is now.
        const RECT moved{100, 80, 500, 380};
        frame.MoveWindow(moved);
        frame.SendMessage(WM_CLOSE);
        EXPECT_FALSE(::IsWindow(frame.m_hWnd));
        EXPECT_EQ(frame.releases, 1);
        WINDOWPLACEMENT back;
        ASSERT_TRUE(ReadFramePlacement(&back));
        EXPECT_EQ(back.rcNormalPosition, moved);
        EXPECT_EQ(back.showCmd, static_cast<UINT>(SW_SHOWNORMAL));
    }
}

TEST_F(MainFrameTest, PlacementFallsBackToThePrivateStoreAndIgnoresBrokenRecords) {
    WINDOWPLACEMENT p;
    EXPECT_FALSE(ReadFramePlacement(&p));
    ASSERT_TRUE(WriteLocalizeString("SYSTEM", "MAINWND", "not a record"));
    EXPECT_FALSE(ReadFramePlacement(&p));

    const auto record = platform::ui::PackWindowPlacement(Placement(3, RECT{1, 2, 301, 202}));
    pavlet::WritePrivateConfigureStruct("SYSTEM", "MAINWND", record.data(), record.size());
    ASSERT_TRUE(ReadFramePlacement(&p));
    EXPECT_EQ(p.showCmd, 3u);
    EXPECT_EQ(p.rcNormalPosition, (RECT{1, 2, 301, 202}));
}

TEST_F(MainFrameTest, WorkspaceIsTheViewNamedInLocalizeIniOrTheStandardOne) {
    {
        TestFrame frame;
        Create(&frame);
        EXPECT_EQ(frame.workspaces, std::vector<std::string>{""});
    }
    ASSERT_TRUE(WriteLocalizeString("SYSTEM", "viewdll", "trader.so"));
    TestFrame frame;
    Create(&frame);
    EXPECT_EQ(frame.workspaces, std::vector<std::string>{"trader.so"});
    // The child host is the frame's view pane and fills the client area.
    EXPECT_EQ(frame.ChildHost().GetDlgCtrlID(), static_cast<int>(AFX_IDW_PANE_FIRST));
    EXPECT_EQ(frame.ChildHost().GetParent(), &frame);
}

TEST_F(MainFrameTest, DestructionStopsTheThreadsBeforeClosingAndClearsThePointer) {
    NoltComm::SetRequestAbort(0);
    auto frame = std::make_unique<TestFrame>();
    frame->quoteReceiver = true;
    Create(frame.get());
    frame->SetSubscriptionHandle(2, 77);
    // The quote thread waits for the program's input to go idle first.
    EXPECT_EQ(frame->quoteSteps.load(), 0);
    while (frame->workerRunning.load() == 0 || frame->quoteSteps.load() == 0)
        kelmon::test::ui::DrainEvents();

    frame->DestroyWindow();
    EXPECT_EQ(GetMainFrame(), nullptr);
    EXPECT_EQ(GetMainFrameWindow(), HWND{0});
    EXPECT_TRUE(frame->IsClosing());
    // Both threads had ended before the sockets they read were closed.
    EXPECT_TRUE(frame->socketsClosed.load());
    EXPECT_EQ(frame->workersAtClose, 0);
    EXPECT_FALSE(frame->stepAfterClose.load());
    EXPECT_EQ(frame->SubscriptionHandle(2), 0);
    EXPECT_NE(NoltComm::GetRequestAbort(), 0u);
    EXPECT_EQ(frame->restarts, 0);
    frame.reset();
}

TEST_F(MainFrameTest, DestructionWaitsForTheRequestsTheAbortFlagEnds) {
    NoltComm::SetRequestAbort(0);
    TestFrame frame;
    Create(&frame);
    std::atomic<bool> holding{false};
    std::atomic<bool> released{false};
    // Stands for a request waiting for its answer: it gives up once the abort flag is set.
    std::thread waiter([&] {
        auto request = NoltComm::CTradeRequest::Create(nullptr);
        holding.store(true);
        while (NoltComm::GetRequestAbort() == 0) std::this_thread::yield();
        released.store(true);
        NoltComm::CTradeRequest::Release(std::move(request));
    });
    while (!holding.load()) std::this_thread::yield();
    frame.DestroyWindow();
    EXPECT_TRUE(released.load());
    EXPECT_EQ(NoltComm::GetLiveRequestCount(), 0);
    EXPECT_TRUE(frame.socketsClosed.load());
    waiter.join();
}

TEST_F(MainFrameTest, ARequestNeverGivenBackDoesNotKeepTheFrameFromClosing) {
    NoltComm::SetRequestAbort(0);
    TestFrame frame;
    frame.requestWaitLimitMs = 300;
    Create(&frame);
    auto held = NoltComm::CTradeRequest::Create(nullptr);
    frame.DestroyWindow();
    EXPECT_EQ(NoltComm::GetLiveRequestCount(), 1);
    EXPECT_TRUE(frame.socketsClosed.load());
    EXPECT_EQ(frame.workerRunning.load(), 0);
    NoltComm::CTradeRequest::Release(std::move(held));
}

TEST_F(MainFrameTest, ProgramStartsAgainOnlyAfterAnUpgradeReplacedFiles) {
    TestFrame frame;
    Create(&frame);
    SetAppStateFlags(kAppStateUpgradeReplacedFiles);
    frame.DestroyWindow();
    EXPECT_EQ(frame.restarts, 1);
}

TEST_F(MainFrameTest, TheApplicationsHookShowsAFrameThatGoesWithItsWindow) {
    CTradeApp app(CTradeApp::Environment{});
    CWnd* frame = CreateMainFrame(app);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(GetMainFrame(), frame);
    EXPECT_TRUE(frame->IsWindowVisible());
    EXPECT_EQ(frame->GetExStyle() & WS_EX_CLIENTEDGE, 0u);
    EXPECT_EQ(frame->GetWindowText(), GetBannerText());
    frame->DestroyWindow();  // deletes the frame
    EXPECT_EQ(GetMainFrame(), nullptr);
}

TEST_F(MainFrameTest, FrameStateBitsChangeAloneUnderConcurrentWriters) {
    TestFrame frame;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&frame, t] {
            const uint32_t bit = 1u << t;
            for (int i = 0; i < 10000; ++i) {
                frame.SetFrameState(bit);
                frame.ClearFrameState(bit);
            }
            frame.SetFrameState(bit);
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(frame.FrameState(), 0xFu);
}

TEST_F(MainFrameTest, WorkspaceTakesCommandsAndKeysFirst) {
    TestFrame frame;
    Create(&frame);
    // Without a workspace the frame's own map answers.
    frame.SendMessage(WM_COMMAND, ID_RECENT_BILL);
    EXPECT_EQ(frame.ownCommands, std::vector<UINT>{ID_RECENT_BILL});

    GreedyWorkspace workspace;
    ASSERT_TRUE(workspace.Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10},
                                 &frame.ChildHost(), 1));
    SetWorkspaceWindow(workspace.m_hWnd);
    frame.SendMessage(WM_COMMAND, ID_ONLINE_UPGRADE);
    EXPECT_EQ(workspace.commands, std::vector<int>{ID_ONLINE_UPGRADE});
    EXPECT_EQ(frame.ownCommands.size(), 1u);

    // Keys reach the workspace only while the frame is the last active window and the hot
    // keys are not suspended; otherwise the frame lets them go on unasked.
    MSG key{frame.m_hWnd, WM_KEYDOWN, 'A', 0, 0, {}};
    EXPECT_FALSE(frame.PreTranslateMessage(&key));
    EXPECT_TRUE(workspace.keys.empty());

    MakeLastActive(frame.m_hWnd);
    EXPECT_TRUE(frame.PreTranslateMessage(&key));
    EXPECT_EQ(workspace.keys, std::vector<int>{'A'});
    SetAppStateFlags(kAppStateAcceleratorsSuspended);
    EXPECT_FALSE(frame.PreTranslateMessage(&key));
    EXPECT_EQ(workspace.keys.size(), 1u);
    ClearAppStateFlags(kAppStateAcceleratorsSuspended);
    MSG up{frame.m_hWnd, WM_KEYUP, 'A', 0, 0, {}};
    EXPECT_FALSE(frame.PreTranslateMessage(&up));
    EXPECT_EQ(workspace.keys.size(), 1u);
    MakeLastActive(0);
}

TEST_F(MainFrameTest, CancelInTheUnlockDialogClosesTheActiveFrame) {
    TestFrame frame;
    Create(&frame);
    frame.ShowWindow(SW_SHOW);
    frame.unlockAnswer = IDCANCEL;
    MakeLastActive(frame.m_hWnd);
    frame.SendMessage(WM_COMMAND, ID_SCREEN_LOCK);
    EXPECT_TRUE(frame.quits.empty());
    kelmon::test::ui::DrainEvents();
    EXPECT_FALSE(::IsWindow(frame.m_hWnd));
    EXPECT_EQ(frame.releases, 1);
    MakeLastActive(0);
}

TEST_F(MainFrameTest, ScreenLockHidesTheFrameAndCancelEndsTheProgram) {
    TestFrame frame;
    Create(&frame);
    frame.ShowWindow(SW_SHOW);
    for (INT_PTR answer : {IDOK, IDCANCEL}) {
        SCOPED_TRACE(answer);
        frame.unlockAnswer = answer;
        frame.quits.clear();
        StampLastActivityTick(0);
        // As the automatic lock does: key forwarding is suspended before the lock.
        frame.SendMessage(WM_FRAME_SERVICE, kServiceKeyForwarding, 0);
        ASSERT_TRUE(GetAppStateFlags() & kAppStateAcceleratorsSuspended);
        frame.SendMessage(WM_COMMAND, ID_SCREEN_LOCK);
        EXPECT_TRUE(frame.flagsInUnlock & kAppStateScreenLocked);
        EXPECT_EQ(GetAppStateFlags() & kAppStateAcceleratorsSuspended, 0u);
        EXPECT_FALSE(frame.visibleInUnlock);
        EXPECT_TRUE(frame.IsWindowVisible());
        EXPECT_EQ(GetAppStateFlags() & kAppStateScreenLocked, 0u);
        EXPECT_GT(GetLastActivityTick(), 0);
        // The frame is not the last active window here: the quit is posted instead of a close.
        EXPECT_EQ(frame.quits, answer == IDCANCEL ? std::vector<int>{1} : std::vector<int>{});
    }
}

}  // namespace
}  // namespace shell
