// The frame worker: its bit words under concurrent use, its reports, its periodic requests
// against the in-process test server, and how it stops.

#include "shell/FrameWorker.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "comm/TradeConnection.h"
#include "platform/core/Clock.h"
#include "shell/MainFrame.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/RunRegisters.h"
#include "tradedata/TradeRequest.h"

namespace {

using namespace shell;
using namespace std::chrono_literals;

struct Posted {
    PostTarget target;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

// The window each report belongs to: the workspace passes the loads and refreshes on to the
// panels; the frame handles only its own. A row refresh goes to the workspace, or to the quote
// board once the trade counters are in.
bool ReportGoesTo(PostTarget target, uint32_t message, uintptr_t wParam) {
    const bool frame = (message == WM_FRAME_REFRESH && wParam == kRefreshStation) ||
                       (message == WM_FRAME_COMMAND &&
                        (wParam == kCommandMarginWebLogin || wParam == kCommandShowNotice)) ||
                       (message == WM_COMMAND && wParam == ID_RECENT_BILL);
    if (frame) return target == PostTarget::Frame;
    if (message == WM_FRAME_REFRESH && wParam == kRefreshRow)
        return target == PostTarget::Workspace || target == PostTarget::QuoteBoard;
    return target == PostTarget::Workspace;
}

class FakeHost : public FrameWorkerHost {
public:
    std::atomic<uint32_t>& StateWord() override { return state; }
    std::atomic<uint32_t>& RequestWord() override { return requests; }
    // Every report of every test is checked against the window it belongs to.
    void Post(PostTarget target, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        EXPECT_TRUE(ReportGoesTo(target, message, wParam))
            << "message " << message << " wParam " << wParam << " to target "
            << static_cast<int>(target);
        {
            std::lock_guard lock(mutex);
            posts.push_back({target, message, wParam, lParam});
        }
        changed.notify_all();
    }
    void SetNoticeText(std::string text) override {
        std::lock_guard lock(mutex);
        notice = std::move(text);
    }
    NoltComm::CFixApiClient* TradingConnection() override { return trading; }
    NoltComm::CFixApiClient* PushConnection() override { return push; }

    bool Has(uint32_t message, uintptr_t wParam) {
        std::lock_guard lock(mutex);
        for (const Posted& p : posts)
            if (p.message == message && p.wParam == wParam) return true;
        return false;
    }
    bool WaitFor(uint32_t message, uintptr_t wParam, std::chrono::milliseconds bound) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, bound, [&] {
            for (const Posted& p : posts)
                if (p.message == message && p.wParam == wParam) return true;
            return false;
        });
    }

    std::atomic<uint32_t> state{0};
    std::atomic<uint32_t> requests{0};
    NoltComm::CFixApiClient* trading = nullptr;
    NoltComm::CFixApiClient* push = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Posted> posts;
    std::string notice;
};

// Records the loads other subsystems do; the option load can set a request bit while it runs
// (as the frame's message does when the user asks for a reload during the first load).
class TestWorker : public CFrameWorker {
public:
    explicit TestWorker(FakeHost& host) : CFrameWorker(host), host_(host) { MarkInputIdle(); }
    ~TestWorker() override { Stop(); }

    std::vector<bool> optionLoads, combinationLoads;
    uint32_t requestDuringOptionLoad = 0;
    int64_t clockSkewMs = 0;
    bool marginLogin = false;
    std::string bill;

protected:
    void LoadOptions(bool first) override {
        optionLoads.push_back(first);
        host_.requests.fetch_or(std::exchange(requestDuringOptionLoad, 0));
    }
    void LoadCombinations(bool first) override { combinationLoads.push_back(first); }
    bool MarginLoginWanted() override { return marginLogin; }
    void ReloadContracts() override {}
    std::string LoadSettlementBill() override { return bill; }
    void LoadBankReferences() override {}
    void QueryTradeCounters() override {}
    // The user works in the frame (whatever window an earlier test left active).
    bool FrameIsLastActive() override { return true; }
    int64_t NowMs() const override { return platform::TickMs() + clockSkewMs; }
    bool RefreshNextSnapshot() override {
        if (pendingSnapshots == 0) return false;
        PostRefresh(PostTarget::Workspace, kRefreshRow, pendingSnapshots--);
        return true;
    }
    bool InsideExchangeSession() override {
        ++sessionLooks;
        return inSession;
    }

public:
    int pendingSnapshots = 0;
    int sessionLooks = 0;
    bool inSession = true;

private:
    FakeHost& host_;
};

TEST(FrameWorkerTest, AReloadAskedDuringTheFirstOptionLoadCausesASecondFullLoad) {
    FakeHost host;
    TestWorker worker(host);
    worker.RunStart();
    EXPECT_EQ(host.state.load() & (0x10 | 0x200 | 0x400 | 0x1000 | 0x80000),
              0x10u | 0x200 | 0x400 | 0x1000 | 0x80000);
    worker.requestDuringOptionLoad = kRequestOptionContracts;
    EXPECT_TRUE(worker.RunPass());
    EXPECT_TRUE(worker.RunPass());
    ASSERT_EQ(worker.optionLoads, (std::vector<bool>{true, false}));
    EXPECT_EQ(host.requests.load() & kRequestOptionContracts, 0u);
    EXPECT_EQ(host.state.load() & kFrameOptionContractsPending, 0u);
    EXPECT_TRUE(host.Has(WM_FRAME_COMMAND, 1));
    // The loads asked for a revaluation; it waits for a pass without other work.
    EXPECT_NE(host.state.load() & kFrameRevaluationDue, 0u);
    EXPECT_FALSE(worker.RunPass());
    EXPECT_EQ(worker.optionLoads.size(), 2u);
    EXPECT_EQ(host.state.load() & kFrameRevaluationDue, 0u);
}

// Trade subscriptions asked for by the user-interface thread: served in the next pass; one that
// fails is tried again only after the subscription interval, so it cannot run every pass.
class SubscribingWorker : public TestWorker {
public:
    using TestWorker::TestWorker;
    bool pending = false;
    bool succeed = false;
    int runs = 0;

protected:
    bool PushSubscriptionsPending() override { return pending; }
    bool RunPendingSubscriptions() override {
        ++runs;
        if (succeed) pending = false;
        return succeed;
    }
};

TEST(FrameWorkerTest, AskedSubscriptionsRunInTheNextPassAndAFailureWaitsItsInterval) {
    FakeHost host;
    host.state.fetch_or(kFrameQuoteSourcesConnected | kFrameTradeCountersLoaded |
                        kFrameUpgradeCheckDone);
    SubscribingWorker worker(host);
    worker.RunPass();
    EXPECT_EQ(worker.runs, 0);  // nothing asked
    worker.pending = true;
    worker.RunPass();
    EXPECT_EQ(worker.runs, 1);
    worker.RunPass();
    EXPECT_EQ(worker.runs, 1);  // failed: not again at once
    worker.clockSkewMs = 1000;
    worker.succeed = true;
    worker.RunPass();
    EXPECT_EQ(worker.runs, 2);
    worker.RunPass();
    EXPECT_EQ(worker.runs, 2);  // served
}

TEST(FrameWorkerTest, SnapshotsAreRefreshedOneRowPerIdlePassUntilNoneIsLeft) {
    FakeHost host;
    TestWorker worker(host);
    host.state.fetch_or(kFrameQuoteSourcesConnected | kFrameTradeCountersLoaded |
                        kFrameUpgradeCheckDone | kFrameSnapshotsDue);
    worker.pendingSnapshots = 3;
    // Without an open trading connection nothing is refreshed and the bit stays.
    EXPECT_FALSE(worker.RunPass());
    EXPECT_EQ(worker.pendingSnapshots, 3);
    EXPECT_NE(host.state.load() & kFrameSnapshotsDue, 0u);
}

TEST(FrameWorkerTest, BitsSetByOtherThreadsWhileTheWorkerClearsItsOwnAreNeverLost) {
    // The user-interface thread keeps setting bits the worker does not serve while the
    // worker's passes clear the ones it does; a plain read-modify-write would drop some.
    FakeHost host;
    TestWorker worker(host);
    constexpr uint32_t kForeign = 0x40000000u;
    std::atomic<bool> done{false};
    std::thread setter([&] {
        for (int i = 0; i < 20000; ++i) {
            host.state.fetch_or(kForeign);
            host.requests.fetch_or(0x1);
            ASSERT_NE(host.state.load() & kForeign, 0u);
            host.state.fetch_and(~kForeign);
        }
        done = true;
    });
    while (!done) {
        host.state.fetch_or(kFrameOptionContractsPending);
        worker.RunPass();
    }
    setter.join();
    EXPECT_EQ(host.requests.load() & 0x1, 0x1u);
}

class FrameWorkerServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start()) << server.ErrorText();
        ASSERT_TRUE(connection.Connect("127.0.0.1@" + std::to_string(server.Port()) + "/TCP"));
        host.trading = &connection;
        NoltComm::SetRequestAbort(0);
    }
    void TearDown() override { NoltComm::SetRequestAbort(0); }

    // Waits until the server has seen `count` requests of the function.
    bool WaitForFunction(int32_t function, std::size_t count, std::chrono::milliseconds bound) {
        const auto end = std::chrono::steady_clock::now() + bound;
        while (Count(function) < count) {
            if (std::chrono::steady_clock::now() >= end) return false;
            server.WaitForRequests(server.Requests().size() + 1, 50ms);
        }
        return true;
    }

    std::size_t Count(int32_t function) {
        std::size_t n = 0;
        for (const auto& r : server.Requests()) n += r.function == function ? 1 : 0;
        return n;
    }

    testserver::TestServer server;
    NoltComm::CTradeConnection connection;
    FakeHost host;
};

TEST_F(FrameWorkerServerTest, TheTradingKeepAliveReachesTheServerOnceTheLinkWasQuiet) {
    TestWorker worker(host);
    host.state.fetch_or(kFrameQuoteSourcesConnected | kFrameTradeCountersLoaded |
                        kFrameUpgradeCheckDone);
    worker.RunPass();
    EXPECT_EQ(Count(testserver::kFunctionTradeHeartbeat), 0u);  // just connected: not quiet
    worker.clockSkewMs = CFrameWorker::kKeepAliveMs;
    worker.RunPass();
    ASSERT_TRUE(server.WaitForRequests(1, 5s));
    EXPECT_EQ(Count(testserver::kFunctionTradeHeartbeat), 1u);
    // The heartbeat counts as sending: the next pass is quiet again.
    worker.clockSkewMs = 0;
    worker.RunPass();
    EXPECT_EQ(Count(testserver::kFunctionTradeHeartbeat), 1u);
}

TEST_F(FrameWorkerServerTest, TheKeepAlivesCarryThePushFlagAndTheCustomer) {
    tradedata::AccountTable.Create(tradedata::kAccountLayout);
    tradedata::SetCurrentAccount(tradedata::AddAccount(1, "8001", "0101", "", "123456", nullptr));
    NoltComm::CFixApiClient push;
    ASSERT_TRUE(push.Connect("127.0.0.1@" + std::to_string(server.Port()) + "/TCP"));
    host.push = &push;
    struct KeepAliveWorker : TestWorker {
        using CFrameWorker::SendPushHeartbeat;
        using CFrameWorker::SendTradingHeartbeat;
        using TestWorker::TestWorker;
    } worker(host);
    EXPECT_TRUE(worker.SendPushHeartbeat());
    EXPECT_TRUE(worker.SendTradingHeartbeat());
    ASSERT_EQ(Count(10), 1u);
    ASSERT_EQ(Count(testserver::kFunctionTradeHeartbeat), 1u);
    for (const auto& r : server.Requests()) {
        if (r.function == 10) {
            EXPECT_NE(r.packetFlags & 0x02, 0u);
        }
        if (r.function == testserver::kFunctionTradeHeartbeat) {
            EXPECT_EQ(r.Get(605), "8001");
            EXPECT_EQ(r.Get(7153), "1");
        }
    }
    // No push link, or a closed one: nothing answered.
    host.push = nullptr;
    EXPECT_FALSE(worker.SendPushHeartbeat());
    host.trading = nullptr;
    EXPECT_FALSE(worker.SendTradingHeartbeat());
    tradedata::ResetAccountSelection();
    tradedata::AccountTable.Create(tradedata::kAccountLayout);
}

TEST_F(FrameWorkerServerTest, AnotherStationHoldingTheLoginGivesTheNoticeOnce) {
    const std::string station = CFrameWorker::StationText();
    server.Script(16409, {{{507, "1"}, {605, ""}, {1332, "2"}, {550, "PC-X"}},
                          {{507, "1"}, {605, ""}, {1332, "1"}, {550, station}},
                          {{507, "1"}, {605, ""}, {1332, "1"}, {550, "PC-B 10.0.0.9"}}});
    TestWorker worker(host);
    EXPECT_FALSE(worker.CheckLoginElsewhere());  // not asked for
    host.state.fetch_or(kFrameLoginElsewhereCheck);
    EXPECT_TRUE(worker.CheckLoginElsewhere());
    EXPECT_EQ(host.notice, "请注意：客户号已在PC-B 10.0.0.9登录！");
    EXPECT_TRUE(host.Has(WM_FRAME_COMMAND, 11));
    EXPECT_FALSE(worker.CheckLoginElsewhere());  // done once
    EXPECT_EQ(Count(16409), 1u);
}

TEST_F(FrameWorkerServerTest, TheStationTextIsBuiltOnceForAnOpenLinkAndEmptiedWhenItCloses) {
    CFrameWorker::SetStationText({});
    TestWorker worker(host);
    host.state.fetch_or(kFrameQuoteSourcesConnected | kFrameTradeCountersLoaded |
                        kFrameUpgradeCheckDone);
    worker.RunPass();
    const std::string station = CFrameWorker::StationText();
    // Station information, a blank and the adapter (the loopback's local address here).
    EXPECT_EQ(station, connection.GetStationInfo());
    EXPECT_NE(station.find(" 127.0.0.1"), std::string::npos) << station;
    EXPECT_TRUE(host.Has(WM_FRAME_REFRESH, 0x3030));
    connection.Close();
    worker.RunPass();
    EXPECT_EQ(CFrameWorker::StationText(), "");
}

TEST_F(FrameWorkerServerTest, NoticesOfOtherKindsCustomersOrWithoutTextAreSkipped) {
    server.Script(16340, {{{507, "1"}, {605, ""}, {1332, "11"}, {797, "1"}, {1777, "开盘"}},
                          {{507, "1"}, {605, ""}, {1332, "5"}, {797, "2"}, {1777, "别的"}},
                          {{507, "1"}, {605, "X9"}, {1332, "12"}, {797, "3"}, {1777, "他人"}},
                          {{507, "1"}, {605, ""}, {1332, "13"}, {797, "4"}, {1777, ""}},
                          {{507, "1"}, {605, ""}, {1332, "13"}, {797, "5"}, {1777, "成交"}}});
    tradedata::NoticeTable.Create(tradedata::kNoticeLayout);
    TestWorker worker(host);
    EXPECT_EQ(worker.LoadNotices(), 2);
    ASSERT_TRUE(server.WaitForRequests(1, 5s));
    EXPECT_EQ(server.Requests().front().function, 16340);
    ASSERT_EQ(tradedata::NoticeTable.GetCount(), 2);
    EXPECT_EQ(tradedata::NoticeTable.Get(1777, 0), "开盘");
    EXPECT_EQ(tradedata::NoticeTable.Get(1332, 0), "普通提示");
    EXPECT_EQ(tradedata::NoticeTable.Get(1777, 1), "成交");
    EXPECT_EQ(tradedata::NoticeTable.Get(1332, 1), "强平风险率提示");
    tradedata::NoticeTable.Create(tradedata::kNoticeLayout);
}

TEST_F(FrameWorkerServerTest, TheRunningThreadSendsItsKeepAlivesAndStopsWithinItsBound) {
    auto worker = std::make_unique<TestWorker>(host);
    worker->clockSkewMs = CFrameWorker::kKeepAliveMs;
    ASSERT_TRUE(worker->Start());
    ASSERT_TRUE(WaitForFunction(testserver::kFunctionTradeHeartbeat, 1, 10s));
    // The next heartbeat hangs: the server never answers it. The frame's close raises the
    // abort flag, then stops the thread; both ends come within the stop bound.
    server.InjectFault(testserver::kFunctionTradeHeartbeat, testserver::Fault{});
    server.ClearRequests();
    ASSERT_TRUE(WaitForFunction(testserver::kFunctionTradeHeartbeat, 1, 10s));
    const auto start = std::chrono::steady_clock::now();
    NoltComm::SetRequestAbort(1);
    EXPECT_TRUE(worker->Stop(CWorkerThread::kStopWaitMs));
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(CWorkerThread::kStopWaitMs));
    EXPECT_EQ(worker->ExitCode(), 0u);
}

TEST_F(FrameWorkerServerTest, SnapshotRowsAreRefreshedOnePerPassEachWithItsRefresh) {
    TestWorker worker(host);
    host.state.fetch_or(kFrameQuoteSourcesConnected | kFrameTradeCountersLoaded |
                        kFrameUpgradeCheckDone | kFrameSnapshotsDue);
    worker.pendingSnapshots = 500;
    for (int pass = 1; pass <= 500; ++pass) {
        ASSERT_TRUE(worker.RunPass());
        ASSERT_EQ(worker.pendingSnapshots, 500 - pass);
        std::lock_guard lock(host.mutex);
        ASSERT_EQ(host.posts.back().wParam, 0x20000u);
        ASSERT_EQ(host.posts.back().lParam, 500 - pass + 1);
    }
    EXPECT_NE(host.state.load() & kFrameSnapshotsDue, 0u);
    worker.RunPass();  // none left: the bit is cleared
    EXPECT_EQ(host.state.load() & kFrameSnapshotsDue, 0u);
}

TEST_F(FrameWorkerServerTest, TheSessionKeepAliveRunsOnlyWithoutTheMulticastFeed) {
    NoltComm::CTradeConnection push;
    ASSERT_TRUE(push.Connect("127.0.0.1@" + std::to_string(server.Port()) + "/TCP"));
    host.push = &push;
    host.state.fetch_or(kFrameQuoteSourcesConnected | kFrameTradeCountersLoaded |
                        kFrameUpgradeCheckDone | kFrameMulticastOpen);
    TestWorker worker(host);
    worker.clockSkewMs = 2500;  // both links quiet for the session keep-alive, not for 30 s
    worker.RunPass();
    EXPECT_EQ(worker.sessionLooks, 0);
    EXPECT_EQ(Count(testserver::kFunctionPushHeartbeat), 0u);
    worker.clockSkewMs = CFrameWorker::kKeepAliveMs;  // the 30-second keep-alive still runs
    worker.RunPass();
    ASSERT_TRUE(server.WaitForRequests(1, 5s));
    EXPECT_EQ(Count(testserver::kFunctionPushHeartbeat), 1u);
    EXPECT_EQ(worker.sessionLooks, 0);

    host.state.fetch_and(~kFrameMulticastOpen);
    server.ClearRequests();
    worker.clockSkewMs = 2500;
    worker.RunPass();
    EXPECT_EQ(worker.sessionLooks, 1);
    ASSERT_TRUE(server.WaitForRequests(1, 5s));
    EXPECT_EQ(Count(testserver::kFunctionPushHeartbeat), 1u);
    host.push = nullptr;
}

// Each step's report and the window it goes to, one step at a time from a quiet pass: an
// account of category 1 whose start-up work is done, the station text built.
class FrameWorkerReportTest : public FrameWorkerServerTest {
protected:
    void SetUp() override {
        FrameWorkerServerTest::SetUp();
        tradedata::NoticeTable.Create(tradedata::kNoticeLayout);
        savedStation = CFrameWorker::StationText();
    }
    // The account and the frame's words as a quiet pass leaves them: information asked,
    // positions, linked clients, banks and notices loaded; quote sources connected, trade
    // counters loaded, the upgrade and login-elsewhere checks done; the station text built.
    void Quiet() {
        tradedata::AccountTable.Create(tradedata::kAccountLayout);
        tradedata::ResetAccountSelection();
        account = tradedata::AddAccount(1, "8001", "01", "甲", "pw", nullptr);
        tradedata::SetLoginAccount(account);
        tradedata::SetCurrentAccount(account);
        tradedata::SetAccountFlag(tradedata::kFlagInfoAsked | tradedata::kFlagPositionsLoaded |
                                      0x80000 | 0x100000 | 0x800000,
                                  account);
        host.state = kFrameQuoteSourcesConnected | kFrameTradeCountersLoaded |
                     kFrameUpgradeCheckDone | kFrameLoginElsewhereDone;
        host.requests = 0;
        // The positions are due at once when asked for (not 300 ms after the last reload).
        tradedata::ClearTickMark(kMarkPositions);
        std::lock_guard lock(host.mutex);
        host.posts.clear();
        CFrameWorker::SetStationText("PC 127.0.0.1");
    }
    void TearDown() override {
        CFrameWorker::SetStationText(savedStation);
        tradedata::AccountTable.Create(tradedata::kAccountLayout);
        tradedata::ResetAccountSelection();
        FrameWorkerServerTest::TearDown();
    }
    int account = -1;
    std::string savedStation;
};

TEST_F(FrameWorkerReportTest, EachStepReportsToItsWindow) {
    struct Report {
        PostTarget target;
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
        bool operator==(const Report&) const = default;
    };
    constexpr auto kFrame = PostTarget::Frame;
    constexpr auto kWorkspace = PostTarget::Workspace;
    struct Step {
        const char* name;
        std::function<void(TestWorker&)> arrange;
        std::vector<Report> reports;
        bool start = false;  // the start-up steps instead of a pass
    } steps[] = {
        {"start 2: margin web login",
         [](TestWorker& w) { w.marginLogin = true; },
         {{kFrame, WM_FRAME_COMMAND, kCommandMarginWebLogin, 0}},
         true},
        {"1: station text",
         [](TestWorker&) { CFrameWorker::SetStationText({}); },
         {{kFrame, WM_FRAME_REFRESH, kRefreshStation, 0}}},
        {"2: contracts reloaded",
         [&](TestWorker&) { host.requests.fetch_or(kRequestContracts); },
         // The reload also asks for the positions, which the same pass reloads.
         {{kWorkspace, WM_FRAME_COMMAND, kCommandLoaded, kRequestContracts},
          {kWorkspace, WM_FRAME_COMMAND, kCommandLoaded, 0x20}}},
        {"4: settlement bill",
         [&](TestWorker& w) {
             w.bill = "结算单";
             tradedata::SetAccountFlag(tradedata::kFlagBillPending, account);
         },
         {{kFrame, WM_COMMAND, ID_RECENT_BILL, 0}}},
        {"5: account status",
         [&](TestWorker&) { host.requests.fetch_or(kRequestAccountStatus); },
         {{kWorkspace, WM_FRAME_REFRESH, kRefreshAccountStatus, 0}}},
        {"6: account information",
         [&](TestWorker&) { tradedata::ClearAccountFlag(tradedata::kFlagInfoAsked, account); },
         {{kWorkspace, WM_FRAME_COMMAND, kCommandLoaded, 0x10}}},
        {"7: linked clients",
         [&](TestWorker&) {
             tradedata::AddAccountService(0x8, account);
             tradedata::ClearAccountFlag(0x100000, account);
         },
         {{kWorkspace, WM_FRAME_COMMAND, kCommandLoaded, 0x400}}},
        {"8: bank accounts",
         [&](TestWorker&) {
             tradedata::AddAccountService(0x40, account);
             tradedata::ClearAccountFlag(0x80000, account);
         },
         {{kWorkspace, WM_FRAME_COMMAND, kCommandBankAccountsLoaded, 0}}},
        {"11: combination contracts",
         [&](TestWorker&) {
             tradedata::AddAccountService(0x200, account);
             host.state.fetch_or(kFrameCombinationContractsPending);
         },
         {{kWorkspace, WM_FRAME_COMMAND, kCommandLoaded, kRequestCombinationContracts}}},
        {"12: option contracts",
         [&](TestWorker&) { host.state.fetch_or(kFrameOptionContractsPending); },
         {{kWorkspace, WM_FRAME_COMMAND, kCommandLoaded, kRequestOptionContracts}}},
        {"13: trade counters to the quote board",
         [&](TestWorker&) { host.state.fetch_and(~kFrameTradeCountersLoaded); },
         {{PostTarget::QuoteBoard, WM_FRAME_REFRESH, kRefreshRow, 0}}},
        {"15: positions",
         [&](TestWorker&) {
             tradedata::ClearAccountFlag(tradedata::kFlagPositionsLoaded, account);
         },
         {{kWorkspace, WM_FRAME_COMMAND, kCommandLoaded, 0x20}}},
        {"18: a snapshot row",
         [&](TestWorker& w) {
             w.pendingSnapshots = 7;
             host.state.fetch_or(kFrameSnapshotsDue);
         },
         {{kWorkspace, WM_FRAME_REFRESH, kRefreshRow, 7}}},
        {"19: combination codes",
         [&](TestWorker&) {
             tradedata::AddAccountService(0x800000, account);
             host.state.fetch_or(kFrameCombinationCodesPending);
         },
         {{kWorkspace, WM_FRAME_COMMAND, kCommandLoaded, kRequestCombinationCodes}}},
        {"16: login elsewhere",
         [&](TestWorker&) {
             server.Script(
                 16409,
                 {{{507, "1"}, {605, tradedata::GetCurrentKhh()}, {1332, "1"}, {550, "PC-B"}}});
             host.state.fetch_and(~kFrameLoginElsewhereDone);
             host.state.fetch_or(kFrameLoginElsewhereCheck);
         },
         {{kFrame, WM_FRAME_COMMAND, kCommandShowNotice, 0}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        Quiet();
        TestWorker worker(host);
        step.arrange(worker);
        if (step.start)
            worker.RunStart();
        else
            worker.RunPass();
        std::vector<Report> got;
        {
            std::lock_guard lock(host.mutex);
            for (const Posted& p : host.posts)
                got.push_back({p.target, p.message, p.wParam, p.lParam});
        }
        ASSERT_EQ(got.size(), step.reports.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_TRUE(got[i] == step.reports[i])
                << "target " << static_cast<int>(got[i].target) << " message " << got[i].message
                << " wParam " << got[i].wParam << " lParam " << got[i].lParam;
    }
}

double ThreadCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec * 1000.0 + usage.ru_utime.tv_usec / 1000.0 +
           usage.ru_stime.tv_sec * 1000.0 + usage.ru_stime.tv_usec / 1000.0;
}

// Measures the worker's own CPU time from inside it: an idle worker blocks between passes.
class IdleProbe : public TestWorker {
public:
    using TestWorker::TestWorker;
    std::atomic<int> passes{0};
    std::atomic<double> firstMs{-1}, lastMs{0};

protected:
    void FlushLog() override {
        const double now = ThreadCpuMs();
        if (firstMs.load() < 0) firstMs = now;
        lastMs = now;
        ++passes;
    }
};

TEST(FrameWorkerIdleTest, AnIdleWorkerWaitsBetweenPassesInsteadOfSpinning) {
    FakeHost host;
    host.state.fetch_or(kFrameQuoteSourcesConnected | kFrameTradeCountersLoaded);
    IdleProbe worker(host);
    ASSERT_TRUE(worker.Start());
    const auto start = std::chrono::steady_clock::now();
    while (worker.passes.load() < 20) std::this_thread::yield();
    const auto wall = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(worker.Stop());
    // Twenty passes take at least nineteen pass intervals of sleeping...
    EXPECT_GE(wall, std::chrono::milliseconds(19 * CFrameWorker::kPassSleepMs));
    // ...and the thread itself barely runs meanwhile (a polling loop would use the whole span).
    const double cpu = worker.lastMs.load() - worker.firstMs.load();
    const double wallMs = std::chrono::duration<double, std::milli>(wall).count();
    EXPECT_LT(cpu, wallMs / 4);
    (void)host;
}

TEST(FrameWorkerIdleTest, NothingRunsBeforeTheInputIsIdleAndAStopEndsThatWait) {
    FakeHost host;
    CFrameWorker waiting(host);
    ASSERT_TRUE(waiting.Start());
    EXPECT_FALSE(waiting.Wait(3 * CFrameWorker::kPassSleepMs));
    EXPECT_EQ(host.state.load(), 0u);  // no start-up bits: RunStart has not run
    EXPECT_TRUE(waiting.Stop());

    CFrameWorker idle(host);
    ASSERT_TRUE(idle.Start());
    idle.MarkInputIdle();
    const auto end = std::chrono::steady_clock::now() + 5s;
    while ((host.state.load() & kFrameSnapshotsDue) == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::yield();
    EXPECT_NE(host.state.load() & kFrameSnapshotsDue, 0u);
    EXPECT_TRUE(idle.Stop());
}

TEST(FrameWorkerIdleTest, ANudgeEndsTheSleepAndTheClosingBitEndsTheLoop) {
    FakeHost host;
    IdleProbe worker(host);
    ASSERT_TRUE(worker.Start());
    while (worker.passes.load() < 1) std::this_thread::yield();
    host.state.fetch_or(kFrameClosing);
    worker.Nudge();
    EXPECT_TRUE(worker.Wait(CWorkerThread::kStopWaitMs));
    EXPECT_EQ(worker.ExitCode(), 0u);
}

}  // namespace
