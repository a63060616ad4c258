// The main frame: the global tables' layouts after creation, the placement round trip through
// "localize.ini" with its show-state rule, the workspace choice, command and key routing, the
// screen lock, and creation and destruction with the threads stopped before the frame goes.
#include "shell/MainFrame.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/ProfileCodecs.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "record/MemRecord.h"
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

// Whether a column can hold what its listed type ("N12", "R9.4", "C16") stands for: an integer
// in an integer or a whole-number real (the 64-bit ticks), a real with at least the listed
// decimals, a text at least as wide.
std::string Unworkable(CFixRecord& table, uint32_t id, std::string_view listed) {
    const int field = table.FindIndex(id);
    if (field < 0) return "missing";
    std::string name;
    uint8_t type = 0;
    int width = 0, viewWidth = 0, decimals = 0;
    table.GetMemRecord()->GetFieldInfo(field, &name, &type, &width, &viewWidth, &decimals);
    const char kind = listed.front();
    const std::size_t dot = listed.find('.');
    const int size = std::atoi(std::string(listed.substr(1, dot - 1)).c_str());
    const int places = dot == std::string_view::npos ? 0 : std::atoi(listed.data() + dot + 1);
    // The order state is a number the views compare as one.
    const bool orderState = id == 753 && type == 'I';
    const bool fits = (kind == 'N' && (type == 'I' || (type == 'R' && decimals == 0))) ||
                      (kind == 'R' && type == 'R' && decimals >= places) ||
                      (kind == 'C' && ((type == 'C' && width >= size) || orderState));
    return fits ? std::string()
                : name + " " + char(type) + std::to_string(width) + "." + std::to_string(decimals);
}

TEST_F(MainFrameTest, CreationGivesTheTenTablesEveryColumnTheFrameNames) {
    tradedata::OrderTable.Create(tradedata::kTradeLayout);  // a stale layout is replaced
    TestFrame frame;
    Create(&frame);
    const struct {
        CFixRecord* table;
        const char* columns;  // "tag type, tag type, ..."
    } cases[] = {
        {&tradedata::CombinationContractTable,
         "889 N1, 599 C4, 1060 C64, 3549 N4, 706 R10.4, 703 R10.4, 594 R10.4, 686 N1, 687 "
         "N1, 1008 N1, 621 N1, 707 R9.4, 704 R9.4, 842 R9.4, 850 R9.4, 843 N12, 851 N12, "
         "844 R9.4, 846 R9.4, 848 R9.4, 1357 R9.4, 852 R9.4, 854 R9.4, 856 R9.4, 1359 "
         "R9.4, 845 N12, 847 N12, 849 N12, 1358 N12, 853 N12, 855 N12, 857 N12, 1360 N12, "
         "1392 C32, 1393 C32, 813 R9.4, 729 R9.4, 1905 R9.4, 1907 R9.4, 638 N12, 628 N12, "
         "644 N1, 3203 R9.0, 1803 R9.0, 1739 R9.0, 1814 R9.0, 899 R9.0, 1812 R9.0, 1813 "
         "R9.0, 2000 R9.4, 2001 N1, 2002 R9.4, 2003 N1"},
        {&tradedata::CombinationLegTable,
         "797 N1, 889 N1, 719 C64, 683 N1, 1212 N1, 1711 N1, 763 C32"},
        {&tradedata::MessageTable, "1219 C8, 596 C8, 508 C256, 100 N1, 644 N1, 1080 N1"},
        {&tradedata::OptionContractTable,
         "599 C4, 9100 C32, 719 C32, 1854 N1, 590 C10, 1240 C10, 1569 R9.4, 1568 N1, 594 "
         "R8.4, 1752 R9.2, 720 C8, 637 N1, 627 N1, 686 N10, 1755 N10, 511 C4, 100 N1, 729 "
         "R9.4, 842 R9.4, 843 N12, 850 R9.4, 851 N12, 707 R9.4, 704 R9.4, 706 R9.4, 703 "
         "R9.4, 813 R9.4, 1212 R9.5, 1806 N10, 528 N10, 1807 N10, 587 R9.4, 726 R9.4, 514 "
         "C16, 721 C32, 601 C16, 1045 N1, 644 N1, 3203 R9.0, 1803 R9.0, 1739 R9.0, 1814 "
         "R9.0, 844 R9.4, 846 R9.4, 848 R9.4, 1357 R9.4, 852 R9.4, 854 R9.4, 856 R9.4, "
         "1359 R9.4, 845 N12, 847 N12, 849 N12, 1358 N12, 853 N12, 855 N12, 857 N12, 1360 "
         "N12, 1812 R9.0, 1813 R9.0, 2000 R9.4, 2001 N1, 2002 R9.4, 2003 N1"},
        {&tradedata::QuoteSubscriptionTable, "599 C8, 719 C64, 641 C16, 644 N1"},
        {&tradedata::OrderTable,
         "897 N1, 599 C4, 681 N8, 719 C32, 683 N4, 1718 N6, 682 R9.4, 684 N8, 525 R9.4, "
         "528 N8, 886 N8, 1717 N4, 1716 C16, 1855 N8, 797 N8, 1842 N8, 1681 N8, 1857 N8, "
         "1858 N8, 1682 R9.4, 1859 N8, 1856 N6, 753 C8, 641 C48, 1261 C32, 751 C8, 755 C4, "
         "830 C128, 605 C16, 7113 N4, 750 C8, 524 R9.2, 1720 R12.2, 1234 R12.2, 898 N1, "
         "1830 N1, 656 N1, 527 N1, 899 N1, 644 N1, 1783 N1, 3062 N1"},
        {&tradedata::TradeDetailTable,
         "681 N8, 719 C32, 752 C8, 596 C12, 684 N8, 528 N8, 682 R9.4, 525 R9.4, 524 R12.2, "
         "1776 R12.2, 527 C8, 522 C64, 601 C16, 1716 C12, 3053 C8, 100 N1, 722 C32, 1234 "
         "R6.2, 1720 R12.2, 599 C4, 683 N4, 1718 N6, 1717 N2, 1681 N2, 1045 N1, 862 N1, "
         "605 C16"},
        {&tradedata::TradeTable,
         "681 N8, 719 C32, 752 C8, 596 C12, 684 N8, 528 N8, 682 R9.4, 525 R9.4, 524 R12.2, "
         "1776 R12.2, 601 C16, 1716 C12, 3053 C8, 100 N1, 722 C32, 1234 R6.2, 1720 R12.2, "
         "1874 N1, 2028 R12.2, 1752 R9.2, 599 C4, 683 N4, 1718 N6, 1717 N2, 1681 N2, 1045 "
         "N1, 862 N1, 763 C32, 605 C16"},
        {&tradedata::OrderCountTable,
         "605 C16, 1332 C4, 599 C4, 1716 C16, 7125 C32, 886 N1, 1875 N1, 1715 N1, 528 N1, "
         "644 N1, 763 C64"},
        {&tradedata::TwoLegOrderTable,
         "599 C4, 681 N8, 719 C32, 683 N4, 1718 N6, 682 R9.4, 684 N8, 525 R9.4, 528 N8, "
         "1874 N8, 886 N8, 1717 N4, 1716 C16, 1681 N8, 753 C8, 605 C16, 1783 N1, 1847 C4, "
         "1393 C32, 1849 N4, 1850 N6, 1418 R9.4, 1439 N8, 1851 N4, 1848 C16, 1852 N8, 644 "
         "N1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.columns);
        EXPECT_EQ(c.table->GetCount(), 0);
        std::istringstream in(c.columns);
        std::string item;
        int listed = 0;
        while (std::getline(in, item, ',')) {
            std::istringstream pair(item);
            uint32_t id = 0;
            std::string type;
            ASSERT_TRUE(pair >> id >> type) << item;
            EXPECT_EQ(Unworkable(*c.table, id, type), "") << id << " " << type;
            ++listed;
        }
        EXPECT_LE(listed, c.table->GetFCount());
    }
    // The stale layout is gone: the orders table has no trade-only column.
    EXPECT_LT(tradedata::OrderTable.FindIndex(1874), 0);
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
