// The pushes end to end: a push connection subscribed to the test server's topics through the
// frame's push object, an order placed on the trading connection and filled by the server's
// order book, its confirmation and trade pushes arriving through the dispatcher into the
// tables; replays, the keep-alives and unsubscribed topics.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <chrono>
#include <memory>
#include <string>

#include "comm/FixApiClient.h"
#include "market/feed/FramePushes.h"
#include "market/feed/NoticePushes.h"
#include "market/feed/QuoteProcessor.h"
#include "market/feed/QuoteRowNotifier.h"
#include "platform/core/Numbers.h"
#include "tests/market/feed/TradePushFixture.h"
#include "tests/tradedata/ServerFixture.h"
#include "testserver/OrderBook.h"
#include "testserver/PushScript.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/OrderSubmit.h"
#include "tradedata/Rates.h"

namespace market::feed::testing {
namespace {

using namespace std::chrono_literals;
using tradedata::testing::AddRow;

int DropLine(std::string_view) { return 1; }

class PushEndToEndTest : public tradedata::testing::ServerTest {
protected:
    void SetUp() override {
        tradedata::testing::ResetGlobalTables();
        tradedata::CreateFrameTables();
        tradedata::SetOrderTraceWriter(&DropLine);
        book = server.EnableOrderBook();
        StartAndConnect();
        tradedata::AccountTable.Create(tradedata::kAccountLayout);
        const int account = tradedata::AddAccount(1, kDayKhh, "0101", "张三", "123456", nullptr);
        tradedata::SetLoginAccount(account);
        tradedata::SetAccountFlag(tradedata::kFlagActive, account);
        tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
        AddRow(tradedata::FuturesContractTable, {{599, "SQ"}, {719, "cu2701"}, {1752, "5"}});

        CFramePushes::Options options;
        options.trades.log = SilentLogHooks(0, 0);
        options.confirms = SilentLogHooks(0, 0);
        pushes = std::make_unique<CFramePushes>(frameState, quotes, sink, std::move(options));
        pushClient = std::make_unique<NoltComm::CFixApiClient>();
        ASSERT_TRUE(pushClient->Connect("127.0.0.1@" + std::to_string(server.Port()) + "/tcp"));
        pushes->Attach(pushClient.get());
        pushes->Subscriptions().RequestTradePushes();
        // What the UI asks for happens on the subscribing thread's next run.
        EXPECT_EQ(pushes->Handles().Get(PushTopic::kTradeReturn), 0u);
        EXPECT_TRUE(pushes->Subscriptions().RunPending({.push = pushClient.get()}));
        ASSERT_FALSE(pushes->Subscriptions().TradeHandlesMissing());
        EXPECT_EQ(pushes->Subscriptions().Pending(), 0u);
    }
    void TearDown() override {
        pushes.reset();
        pushClient.reset();
        Disconnect();
        tradedata::SetOrderTraceWriter(nullptr);
        tradedata::testing::ResetGlobalTables();
    }
    int32_t PlaceOrder(int32_t quantity) { return PlaceDayOrder(client.get(), quantity); }
    // The notice of the order's trade (3) or confirmation (2) with that high word.
    bool WaitNotice(int32_t number, uint32_t low, uint32_t high) {
        return sink.WaitFor([&](const Posted& p) {
            return p.message == tradedata::kWmFrameEvent && p.lParam == number &&
                   p.wParam == (low | (high << 16));
        });
    }
    static int32_t OrderField(int32_t number, uint32_t tag) {
        return LockedOrderField(number, tag);
    }

    std::shared_ptr<testserver::OrderBook> book;
    std::atomic<uint32_t> frameState{0};
    QuoteRowNotifier notifier;
    CQuoteProcessor quotes{frameState, notifier};
    RecordingSink sink;
    std::unique_ptr<CFramePushes> pushes;
    std::unique_ptr<NoltComm::CFixApiClient> pushClient;
};

TEST_F(PushEndToEndTest, SubscriptionsCarryTheAccountRange) {
    for (const char* topic : {"16403", "16402", "16406", "17001100"})
        EXPECT_EQ(server.SubscriptionCount(topic), 1u) << topic;
    int ranged = 0;
    for (const auto& r : server.Requests())
        if (r.function == 16403 || r.function == 16402)
            ranged += r.Get(220) == std::string("range(605:") + kDayKhh + ")" ? 1 : 0;
    EXPECT_EQ(ranged, 2);
}

TEST_F(PushEndToEndTest, AnOrderConfirmedAndFilledByTheBookReachesTheTables) {
    book->SetConfirmMode(testserver::OrderBook::ConfirmMode::Never);
    const int32_t number = PlaceOrder(3);
    ASSERT_GT(number, 0);
    EXPECT_EQ(book->ReleaseHeld(), 1u);
    ASSERT_TRUE(WaitNotice(number, 2, 1));
    EXPECT_EQ(OrderField(number, 753), 2);

    ASSERT_TRUE(book->Fill(number, 1, 70010));
    ASSERT_TRUE(WaitNotice(number, 3, 5));
    ASSERT_TRUE(book->Fill(number, 2, 70020));
    ASSERT_TRUE(WaitNotice(number, 3, 6));
    EXPECT_EQ(OrderField(number, 528), 3);
    tradedata::TradeDetailTable.acquireLockShared();
    EXPECT_EQ(tradedata::TradeDetailTable.GetCount(), 2);
    tradedata::TradeDetailTable.releaseLockShared();
    tradedata::TradeTable.acquireLockShared();
    const int t = tradedata::TradeTable.Find(763, fmt::format("{:08}|cu2701", number).c_str());
    ASSERT_GE(t, 0);
    EXPECT_EQ(tradedata::TradeTable.GetLong(528, t), 3);
    EXPECT_DOUBLE_EQ(tradedata::TradeTable.GetDouble(525, t), (70010.0 + 2 * 70020.0) / 3);
    tradedata::TradeTable.releaseLockShared();

    // The server replays the first trade (as after a re-subscription): nothing is counted
    // twice. A cancel confirmation behind it on the same connection marks its arrival.
    const testserver::BookTrade first = book->Trades().front();
    server.PushToCustomer("16403", kDayKhh,
                          {{605, kDayKhh},
                           {599, "SQ"},
                           {719, "cu2701"},
                           {681, platform::FormatInt(number)},
                           {683, "1"},
                           {522, first.number},
                           {525, "70010"},
                           {528, "1"}});
    server.PushToCustomer("16402", kDayKhh,
                          {{605, kDayKhh}, {681, "424242"}, {755, "W"}, {753, "2"}});
    ASSERT_TRUE(WaitNotice(424242, 2, 4));
    EXPECT_EQ(pushes->TradeReturns().Counters().duplicates.load(), 1u);
    EXPECT_EQ(OrderField(number, 528), 3);
}

TEST_F(PushEndToEndTest, ACombinationResultPushGoesToItsHandler) {
    server.PushToCustomer("16402", kDayKhh, {{605, kDayKhh}, {1718, "10"}, {1029, "0"}});
    ASSERT_TRUE(sink.WaitFor([](const Posted& p) {
        return p.message == tradedata::kWmFrameRefresh && p.wParam == kRefreshAfterTrade;
    }));
    EXPECT_EQ(tradedata::MessageTable.Get(508, tradedata::MessageTable.GetCount() - 1), "组合成功");
}

TEST_F(PushEndToEndTest, KeepAlivesCarryThePushFlagAndTheCustomer) {
    EXPECT_TRUE(CPushSubscriptions::SendPushHeartbeat(pushClient.get()));
    tradedata::SetTimeSyncDuration(123456);
    EXPECT_TRUE(CPushSubscriptions::SendTradeHeartbeat(client.get(), kDayKhh));
    EXPECT_LT(tradedata::GetTimeSyncDuration(), 123456u);  // a loopback round trip
    bool pushFlag = false;
    for (const auto& r : server.Requests())
        if (r.function == 10) pushFlag = (r.packetFlags & 0x02) != 0;
    EXPECT_TRUE(pushFlag);
    EXPECT_EQ(Sent(16339, 605), kDayKhh);
    EXPECT_EQ(Sent(16339, 7153), "1");
    EXPECT_FALSE(CPushSubscriptions::SendPushHeartbeat(nullptr));
    pushClient->Close();
    EXPECT_FALSE(CPushSubscriptions::SendPushHeartbeat(pushClient.get()));
}

TEST_F(PushEndToEndTest, AFailedQuoteSubscriptionStaysWantedAndIsLogged) {
    std::vector<std::string> lines;
    CPushSubscriptions::Hooks hooks;
    hooks.log = [&](std::string_view line) { lines.emplace_back(line); };
    hooks.quoteFunction = [] { return 16404; };
    bool marked = false;
    hooks.quoteSubscribed = [&] { marked = true; };
    PushHandles handles;
    CPushSubscriptions subscriptions(handles, hooks);
    // No connection yet: it stays wanted.
    subscriptions.RequestQuotes("719:cu2701");
    EXPECT_TRUE(subscriptions.RunPending({}));
    EXPECT_NE(subscriptions.Pending() & kWantQuotes, 0u);
    // A refusal: an answer without the topic.
    server.Script(16404, {{{507, "-1"}, {508, "无权订阅"}}});
    const PushConnections connections{.push = pushClient.get()};
    EXPECT_TRUE(subscriptions.RunPending(connections));
    EXPECT_EQ(handles.Get(PushTopic::kQuote), 0u);
    EXPECT_NE(subscriptions.Pending() & kWantQuotes, 0u);
    EXPECT_FALSE(marked);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with("行情订阅:"));
    EXPECT_NE(lines[0].find("\tmsg:"), std::string::npos);

    server.ClearScript(16404);
    EXPECT_TRUE(subscriptions.RunPending(connections));
    EXPECT_NE(handles.Get(PushTopic::kQuote), 0u);
    EXPECT_EQ(subscriptions.Pending(), 0u);
    EXPECT_TRUE(marked);
    EXPECT_EQ(server.SubscriptionCount("16404"), 1u);
    bool ranged = false;
    for (const auto& r : server.Requests())
        ranged = ranged || (r.function == 16404 && r.Get(220) == "range(719:cu2701)");
    EXPECT_TRUE(ranged);

    // The same text again asks for nothing; multicast quotes need no FixApi subscription.
    subscriptions.RequestQuotes("719:cu2701");
    EXPECT_EQ(subscriptions.Pending(), 0u);
    subscriptions.RequestQuotes("719:al2701");
    EXPECT_TRUE(subscriptions.RunPending({.push = pushClient.get(), .multicastOpen = true}));
    EXPECT_EQ(handles.Get(PushTopic::kQuote), 0u);
    EXPECT_EQ(subscriptions.Pending(), 0u);
}

TEST_F(PushEndToEndTest, ReplacedConnectionsAreSubscribedAgain) {
    CPushSubscriptions& subscriptions = pushes->Subscriptions();
    subscriptions.ConnectionsReplaced();
    EXPECT_TRUE(subscriptions.TradeHandlesMissing());
    EXPECT_NE(subscriptions.Pending() & kWantTradePushes, 0u);
    auto fresh = std::make_unique<NoltComm::CFixApiClient>();
    ASSERT_TRUE(fresh->Connect("127.0.0.1@" + std::to_string(server.Port()) + "/tcp"));
    pushes->Detach(pushClient.get());
    pushes->Attach(fresh.get());
    EXPECT_TRUE(subscriptions.RunPending({.push = fresh.get()}));
    EXPECT_FALSE(subscriptions.TradeHandlesMissing());
    EXPECT_EQ(server.SubscriptionCount("16403"), 2u);  // the old connection still holds one

    // Pushes of the detached connection reach nothing; the new one's arrive.
    pushClient.reset();
    server.PushToCustomer("16402", kDayKhh,
                          {{605, kDayKhh}, {681, "515151"}, {755, "O"}, {753, "2"}});
    ASSERT_TRUE(WaitNotice(515151, 2, 2));
    pushes.reset();
    fresh.reset();
}

// The server replays a trade and sends a confirmation after the fill it confirms: the trade
// counts once and the filled order does not fall back to confirmed.
TEST_F(PushEndToEndTest, ReplayedAndLateConfirmationsLeaveTheTablesRight) {
    testserver::PushScript script(server);
    script.HoldNext(testserver::kTopicOrderConfirm, 1);
    script.DuplicateNext(testserver::kTopicTradeReturn, 2);
    const int32_t number = PlaceOrder(3);
    ASSERT_GT(number, 0);
    ASSERT_TRUE(book->Fill(number, 3, 70010));
    ASSERT_TRUE(WaitNotice(number, 3, 6));
    ASSERT_EQ(script.ReleaseHeld(true), 1u);
    ASSERT_TRUE(WaitNotice(number, 2, 1));
    EXPECT_EQ(OrderField(number, 528), 3);
    EXPECT_EQ(OrderField(number, 753), 6);
    tradedata::TradeTable.acquireLockShared();
    const int t = tradedata::TradeTable.Find(763, fmt::format("{:08}|cu2701", number).c_str());
    const int32_t traded = t < 0 ? -1 : tradedata::TradeTable.GetLong(528, t);
    tradedata::TradeTable.releaseLockShared();
    EXPECT_EQ(traded, 3);
    tradedata::TradeDetailTable.acquireLockShared();
    EXPECT_EQ(tradedata::TradeDetailTable.GetCount(), 1);
    tradedata::TradeDetailTable.releaseLockShared();
}

// A new quote-server connection renews the quote subscription only: the live push connection
// keeps its trade topics, and the quotes it carried until then are cancelled there.
TEST_F(PushEndToEndTest, AReplacedQuoteConnectionRenewsOnlyTheQuotes) {
    CPushSubscriptions& subscriptions = pushes->Subscriptions();
    const uint32_t tradeHandle = pushes->Handles().Get(PushTopic::kTradeReturn);
    subscriptions.RequestQuotes("719:cu2701");
    ASSERT_TRUE(subscriptions.RunPending({.push = pushClient.get()}));
    ASSERT_EQ(server.SubscriptionCount("16404"), 1u);

    auto quoteClient = std::make_unique<NoltComm::CFixApiClient>();
    ASSERT_TRUE(quoteClient->Connect("127.0.0.1@" + std::to_string(server.Port()) + "/tcp"));
    pushes->Attach(quoteClient.get());
    subscriptions.QuoteConnectionReplaced(pushClient.get(), false);
    EXPECT_EQ(subscriptions.Pending(), kWantQuotes);
    EXPECT_FALSE(subscriptions.TradeHandlesMissing());
    EXPECT_TRUE(subscriptions.RunPending({.push = pushClient.get(), .quote = quoteClient.get()}));
    EXPECT_EQ(pushes->Handles().Get(PushTopic::kTradeReturn), tradeHandle);
    for (const char* topic : {"16403", "16402", "16406", "17001100"})
        EXPECT_EQ(server.SubscriptionCount(topic), 1u) << topic;
    // The push connection's quote subscription went; the quote connection holds the new one.
    ASSERT_TRUE(server.WaitForSubscriptions("16404", 1, 5s));
    EXPECT_EQ(server.SubscriptionCount("16404"), 1u);
    std::size_t onQuote = 0;
    for (const auto& r : server.Requests())
        onQuote += r.function == 16404 && r.connection != 0 && r.connection != 1 ? 1 : 0;
    EXPECT_EQ(onQuote, 1u);

    // A second quote connection in its place: the old one's subscription is simply forgotten.
    subscriptions.QuoteConnectionReplaced(pushClient.get(), true);
    EXPECT_EQ(subscriptions.Pending(), kWantQuotes);
    EXPECT_FALSE(subscriptions.TradeHandlesMissing());
    pushes->Detach(quoteClient.get());
}

// The notices arrive through the dispatcher under their own handles: 16405 subscribed on its
// own, 16406 and 17001100 with the trade topics' account range.
TEST_F(PushEndToEndTest, NoticesAndOptionResultsArriveThroughTheirSubscriptions) {
    tradedata::NoticeTable.Create(tradedata::kNoticeLayout);
    tradedata::MessageTable.Create(tradedata::kMessageLayout);
    pushes->Subscriptions().RequestNotices();
    ASSERT_TRUE(pushes->Subscriptions().RunPending({.push = pushClient.get()}));
    ASSERT_NE(pushes->Handles().Get(PushTopic::kSystemNotice), 0u);

    // One connection's pushes are handled in order: once the last one's post is out, all are
    // written.
    EXPECT_EQ(server.Push("16405", {{1777, "收盘后系统维护"}}), 1u);
    EXPECT_EQ(server.PushToCustomer("17001100", kDayKhh,
                                    {{5001, "1"}, {5002, "1"}, {5003, "1"}, {1029, "0"}}),
              1u);
    EXPECT_EQ(
        server.PushToCustomer(
            "16406", kDayKhh,
            {{1332, "14"}, {605, kDayKhh}, {1777, "10.1.1.9"}, {1219, "2026.12.11 09:30:05"}}),
        1u);
    ASSERT_TRUE(sink.WaitFor([](const Posted& p) {
        return p.window == PushWindow::kFrame && p.wParam == kCommandShowMessageRows;
    }));
    EXPECT_EQ(sink.Of(tradedata::kWmFrameRefresh),
              (std::vector<Posted>{
                  {PushWindow::kWorkspace, tradedata::kWmFrameRefresh, kRefreshExerciseHedge, 1}}));
    EXPECT_EQ(pushes->Notices().Counters().handled.load(), 3u);
    tradedata::NoticeTable.acquireLockShared();
    ASSERT_EQ(tradedata::NoticeTable.GetCount(), 1);
    EXPECT_EQ(tradedata::NoticeTable.Get(1777, 0), "收盘后系统维护");
    tradedata::NoticeTable.releaseLockShared();
    tradedata::MessageTable.acquireLockShared();
    std::vector<std::string> lines;
    for (int r = 0; r < tradedata::MessageTable.GetCount(); ++r)
        lines.push_back(tradedata::MessageTable.Get(508, r));
    tradedata::MessageTable.releaseLockShared();
    EXPECT_EQ(lines, (std::vector<std::string>{"设置成功", "09:30:05 10086001在10.1.1.9登录!"}));
}

}  // namespace
}  // namespace market::feed::testing
