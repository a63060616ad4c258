// The frame's pushes against the in-process test server and its order book: the trade topics
// asked for on the user-interface thread and subscribed on the worker's turn, a filled order's
// trade reaching the tables and the workspace, replaced connections, and the close that
// detaches the pushes before the connections go.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <memory>
#include <string>
#include <vector>

#include "comm/FixApiClient.h"
#include "market/feed/PushSink.h"
#include "shell/FrameMessages.h"
#include "shell/MainFrame.h"
#include "shell/TradeApp.h"
#include "shell/services/StartupSettings.h"
#include "support/ui/ProbeWnd.h"
#include "support/ui/UiTestApp.h"
#include "tests/market/feed/TradePushFixture.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/OrderBook.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Registries.h"
#include "tradedata/TradeRequest.h"

namespace shell {
namespace {

using kelmon::test::ui::LoggedMessage;
using kelmon::test::ui::ProbeWnd;
using kelmon::test::ui::ProcessEventsUntil;
using market::feed::PushTopic;
using market::feed::testing::kDayKhh;
using tradedata::testing::AddRow;

int DropLine(std::string_view) { return 1; }

// No worker and no quote thread: the test does the worker's part itself.
class PushFrame : public CMainFrame {
public:
    using CMainFrame::RenewQuoteSubscription;
    using CMainFrame::SubscribeTradePushes;

    // The quote sources: no quote server chosen, the trading server at this address.
    std::string tradeAddress;
    std::vector<std::string> reverified;

protected:
    std::unique_ptr<CWorkerThread> CreateWorkerThread() override { return nullptr; }
    bool HasQuoteReceiver() const override { return false; }
    void LoadWorkspace(const std::string&) override {}
    void ReleaseWorkspace() override {}
    INT_PTR RunReverifyDialog(const std::string& khh) override {
        reverified.push_back(khh);
        return IDOK;
    }
    market::feed::QuoteSourceSettings QuoteSourceSettings() override {
        market::feed::QuoteSourceSettings s = CMainFrame::QuoteSourceSettings();
        s.quoteServers = [](std::vector<std::string>*, std::string*) {};
        s.proxy = [](std::string_view, NoltComm::ProxyConfig*) { return false; };
        s.tradeAddresses = [this] { return tradeAddress; };
        s.tradeAddress = [this] { return tradeAddress; };
        s.connect = [](const std::string& address, const NoltComm::ProxyConfig&) {
            auto connection = std::make_unique<NoltComm::CFixApiClient>();
            if (!connection->Connect(address)) connection.reset();
            return connection;
        };
        return s;
    }
};

class MainFramePushesTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        NoltComm::SetRequestAbort(0);
        tradedata::testing::ResetGlobalTables();
        tradedata::SetOrderTraceWriter(&DropLine);
        book = server.EnableOrderBook();
        ASSERT_TRUE(server.Start()) << server.ErrorText();
        trading = Connect();
        ASSERT_NE(trading, nullptr);
        tradedata::SetTradingConnection(trading.get());

        frame = std::make_unique<PushFrame>();
        ASSERT_TRUE(frame->LoadFrame("frame"));  // makes the frame's tables
        tradedata::AccountTable.Create(tradedata::kAccountLayout);
        const int account = tradedata::AddAccount(1, kDayKhh, "0101", "张三", "123456", nullptr);
        tradedata::SetLoginAccount(account);
        tradedata::SetCurrentAccount(account);
        tradedata::SetAccountFlag(tradedata::kFlagActive, account);
        tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
        AddRow(tradedata::FuturesContractTable, {{599, "SQ"}, {719, "cu2701"}, {1752, "5"}});

        workspace = std::make_unique<ProbeWnd>("workspace", &log);
        workspace->logOnly = [](UINT message) {
            return message == WM_FRAME_REFRESH || message == tradedata::kWmFrameEvent;
        };
        ASSERT_TRUE(
            workspace->Create(nullptr, "", WS_CHILD, RECT{0, 0, 10, 10}, &frame->ChildHost(), 1));
        SetWorkspaceWindow(workspace->m_hWnd);
    }
    void TearDown() override {
        SetWorkspaceWindow(0);
        if (frame && frame->m_hWnd != 0) frame->DestroyWindow();
        frame.reset();
        workspace.reset();
        tradedata::SetTradingConnection(nullptr);
        trading.reset();
        server.Stop();
        NoltComm::SetRequestAbort(0);
        tradedata::SetOrderTraceWriter(nullptr);
        tradedata::ResetAccountSelection();
        tradedata::testing::ResetGlobalTables();
        UiTest::TearDown();
    }
    std::unique_ptr<NoltComm::CFixApiClient> Connect() {
        auto connection = std::make_unique<NoltComm::CFixApiClient>();
        if (!connection->Connect("127.0.0.1@" + std::to_string(server.Port()) + "/tcp"))
            return nullptr;
        return connection;
    }
    int32_t PlaceOrder(int32_t quantity) {
        return market::feed::testing::PlaceDayOrder(trading.get(), quantity);
    }
    static int32_t OrderField(int32_t number, uint32_t tag) {
        return market::feed::testing::LockedOrderField(number, tag);
    }
    bool WorkspaceGot(uint32_t message, WPARAM wParam, LPARAM lParam) {
        for (const LoggedMessage& m : workspace->Got(message))
            if (m.wParam == wParam && m.lParam == lParam) return true;
        return false;
    }
    // The frame's push connection, subscribed as the user-interface thread asks and the
    // worker's next pass serves.
    void SubscribeThroughTheFrame() {
        frame->AdoptPushConnection(Connect());
        ASSERT_NE(frame->PushConnection(), nullptr);
        frame->SendMessage(WM_FRAME_REFRESH, kRefreshTradePushes, 0);
        // Nothing went to the server on this thread.
        EXPECT_EQ(server.SubscriptionCount("16403"), 0u);
        EXPECT_EQ(frame->SubscriptionHandle(1), 0);
        ASSERT_TRUE(frame->PushSubscriptionsPending());
        ASSERT_TRUE(frame->RunPendingSubscriptions());
        EXPECT_FALSE(frame->PushSubscriptionsPending());
        for (const char* topic : {"16403", "16402", "16406", "17001100"})
            EXPECT_EQ(server.SubscriptionCount(topic), 1u) << topic;
    }

    testserver::TestServer server;
    std::shared_ptr<testserver::OrderBook> book;
    std::unique_ptr<NoltComm::CFixApiClient> trading;
    std::unique_ptr<PushFrame> frame;
    std::vector<LoggedMessage> log;
    std::unique_ptr<ProbeWnd> workspace;
};

TEST_F(MainFramePushesTest, AFilledOrderReachesTheTablesAndTheWorkspace) {
    SubscribeThroughTheFrame();
    // One store of handles: the frame's are the push core's.
    for (int i = 1; i <= 2; ++i) EXPECT_NE(frame->SubscriptionHandle(i), 0) << i;
    EXPECT_EQ(static_cast<uint32_t>(frame->SubscriptionHandle(1)),
              frame->Pushes()->Handles().Get(PushTopic::kTradeReturn));
    EXPECT_EQ(static_cast<uint32_t>(frame->SubscriptionHandle(2)),
              frame->Pushes()->Handles().Get(PushTopic::kOrderConfirm));

    book->SetConfirmMode(testserver::OrderBook::ConfirmMode::Never);
    const int32_t number = PlaceOrder(3);
    ASSERT_GT(number, 0);
    EXPECT_EQ(book->ReleaseHeld(), 1u);
    ASSERT_TRUE(ProcessEventsUntil([&] { return OrderField(number, 753) == 2; }));
    ASSERT_TRUE(book->Fill(number, 3, 70010));
    ASSERT_TRUE(ProcessEventsUntil([&] { return OrderField(number, 528) == 3; }));

    tradedata::TradeTable.acquireLockShared();
    const int t = tradedata::TradeTable.Find(763, fmt::format("{:08}|cu2701", number).c_str());
    const int32_t traded = t < 0 ? -1 : tradedata::TradeTable.GetLong(528, t);
    tradedata::TradeTable.releaseLockShared();
    EXPECT_EQ(traded, 3);
    // The workspace hears of the confirmation and the trade (posted by the receive thread,
    // handled here).
    EXPECT_TRUE(ProcessEventsUntil([&] {
        return WorkspaceGot(tradedata::kWmFrameEvent, 2 | (1u << 16), number) &&
               WorkspaceGot(tradedata::kWmFrameEvent, 3 | (6u << 16), number);
    }));
}

TEST_F(MainFramePushesTest, AReplacedPushConnectionIsSubscribedAgainAndCarriesThePushes) {
    SubscribeThroughTheFrame();
    frame->AdoptPushConnection(Connect());
    // The old handles meant the old connection: asked for again on the worker's turn.
    EXPECT_EQ(frame->SubscriptionHandle(1), 0);
    ASSERT_TRUE(frame->PushSubscriptionsPending());
    ASSERT_TRUE(frame->RunPendingSubscriptions());
    EXPECT_NE(frame->SubscriptionHandle(1), 0);

    server.PushToCustomer("16402", kDayKhh,
                          {{605, kDayKhh}, {681, "515151"}, {755, "O"}, {753, "2"}});
    EXPECT_TRUE(ProcessEventsUntil(
        [&] { return WorkspaceGot(tradedata::kWmFrameEvent, 2 | (2u << 16), 515151); }));
}

TEST_F(MainFramePushesTest, TheQuoteRenewalGoesOutOnTheWorkerAndStaysWantedWhenRefused) {
    // No FixApi connection yet: the level-2 side goes on alone, the codes stay wanted.
    EXPECT_TRUE(frame->RenewQuoteSubscription("range(cu2701)"));
    EXPECT_TRUE(frame->PushSubscriptionsPending());
    EXPECT_EQ(server.SubscriptionCount("16404"), 0u);

    frame->AdoptPushConnection(Connect());
    server.Script(16404, {{{507, "-1"}, {508, "无权订阅"}}});
    EXPECT_FALSE(frame->RunPendingSubscriptions());
    EXPECT_FALSE(frame->RenewQuoteSubscription("range(cu2701)"));
    EXPECT_EQ(frame->SubscriptionHandle(0), 0);

    server.ClearScript(16404);
    EXPECT_TRUE(frame->RenewQuoteSubscription("range(cu2701)"));
    EXPECT_FALSE(frame->PushSubscriptionsPending());
    EXPECT_NE(frame->SubscriptionHandle(0), 0);
    EXPECT_EQ(server.SubscriptionCount("16404"), 1u);
    std::string range;
    for (const auto& r : server.Requests())
        if (r.function == 16404) range = r.Get(220);
    EXPECT_EQ(range, "range(719:cu2701)");
    // The same codes again need no server call.
    EXPECT_TRUE(frame->RenewQuoteSubscription("range(cu2701)"));
    EXPECT_EQ(server.SubscriptionCount("16404"), 1u);
}

TEST_F(MainFramePushesTest, ClosingCancelsAndDetachesBeforeTheConnectionsClose) {
    SubscribeThroughTheFrame();
    ASSERT_TRUE(frame->RenewQuoteSubscription("range(cu2701)"));
    ASSERT_NE(frame->SubscriptionHandle(0), 0);
    frame->DestroyWindow();
    EXPECT_EQ(frame->Pushes(), nullptr);
    EXPECT_EQ(frame->PushConnection(), nullptr);
    for (int i = 0; i < kSubscriptionHandleCount; ++i) EXPECT_EQ(frame->SubscriptionHandle(i), 0);
    // A request after the close asks for nothing and reaches no server.
    frame->SubscribeTradePushes();
    EXPECT_FALSE(frame->PushSubscriptionsPending());
}

TEST_F(MainFramePushesTest, NoticesReachTheUserThroughTheFrame) {
    constexpr const char* kOwnNode = "MAC:00-11-22-33-44-55;IP:127.0.0.1";
    SetStationAddress(kOwnNode);
    frame->tradeAddress = "127.0.0.1@" + std::to_string(server.Port()) + "/tcp";
    // The worker's run after login: the push connection and every topic on it.
    frame->ConnectQuoteSources();
    ASSERT_NE(frame->PushConnection(), nullptr);
    for (const char* topic : {"16405", "16403", "16402", "16406", "17001100"})
        EXPECT_EQ(server.SubscriptionCount(topic), 1u) << topic;
    EXPECT_FALSE(frame->PushSubscriptionsPending());
    frame->SetFrameState(kFrameMessageBoxes);

    // Our own login is no news; another station's pops up as a box.
    server.PushToCustomer("16406", kDayKhh, {{1332, "14"}, {605, kDayKhh}, {1777, kOwnNode}});
    server.PushToCustomer("16406", kDayKhh,
                          {{1332, "14"},
                           {605, kDayKhh},
                           {1777, "192.168.9.9"},
                           {1219, "2026.12.11 09:30:05"}});
    ASSERT_TRUE(ProcessEventsUntil([&] { return !services_.CallsOf("MessageBox").empty(); }));
    const auto boxes = services_.CallsOf("MessageBox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "09:30:05 10086001在192.168.9.9登录!");
    EXPECT_EQ(boxes[0].caption, "系统提示");

    // A re-verification asks for the password; a service change marks the frame's flag word.
    server.PushToCustomer("16406", kDayKhh, {{1332, "15"}, {605, kDayKhh}, {1777, "10.0.0.2"}});
    server.PushToCustomer("16406", kDayKhh, {{1332, "21"}, {605, kDayKhh}, {1777, "10.0.0.2"}});
    ASSERT_TRUE(ProcessEventsUntil([&] { return !frame->reverified.empty(); }));
    EXPECT_EQ(frame->reverified, std::vector<std::string>{kDayKhh});
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return (frame->FrameFlags() & kFrameFlagServiceItemsChanged) != 0; }));

    // An option hedge set: the workspace refreshes its option pages.
    server.PushToCustomer("17001100", kDayKhh,
                          {{5001, "0"}, {5002, "1"}, {5003, "1"}, {1029, "0"}});
    EXPECT_TRUE(ProcessEventsUntil([&] { return WorkspaceGot(WM_FRAME_REFRESH, 0x20, 0); }));
    // A system notice lands in the notice list.
    server.Push("16405", {{1777, "今晚系统维护"}});
    EXPECT_TRUE(ProcessEventsUntil([&] {
        tradedata::NoticeTable.acquireLockShared();
        const bool there = tradedata::NoticeTable.GetCount() == 1;
        tradedata::NoticeTable.releaseLockShared();
        return there;
    }));
    SetStationAddress("");
}

TEST_F(MainFramePushesTest, ANewQuoteServerLeavesTheTradeTopicsOfThePushConnectionAlone) {
    SubscribeThroughTheFrame();
    const int32_t tradeHandle = frame->SubscriptionHandle(1);
    ASSERT_TRUE(frame->RenewQuoteSubscription("range(cu2701)"));
    ASSERT_EQ(server.SubscriptionCount("16404"), 1u);

    frame->AdoptQuoteServerConnection(Connect());
    ASSERT_NE(frame->QuoteServerConnection(), nullptr);
    // Only the quotes are wanted again; the trade handles are those of before.
    EXPECT_EQ(frame->SubscriptionHandle(1), tradeHandle);
    EXPECT_EQ(frame->SubscriptionHandle(0), 0);
    ASSERT_TRUE(frame->PushSubscriptionsPending());
    ASSERT_TRUE(frame->RunPendingSubscriptions());
    EXPECT_NE(frame->SubscriptionHandle(0), 0);
    EXPECT_EQ(frame->SubscriptionHandle(1), tradeHandle);
    for (const char* topic : {"16403", "16402", "16406", "17001100", "16404"})
        EXPECT_EQ(server.SubscriptionCount(topic), 1u) << topic;
}

}  // namespace
}  // namespace shell
