// The trade-return handler over the frame's tables: the rows it writes, the order's fill and
// state, the detail cap, duplicates, self-trades, the second leg and the notices.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <string>
#include <vector>

#include "market/feed/SerialExecutor.h"
#include "market/feed/TradeReturns.h"
#include "tests/market/feed/TradePushFixture.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Registries.h"

namespace market::feed::testing {
namespace {

using tradedata::OrderTable;
using tradedata::TradeDetailTable;
using tradedata::TradeTable;
using tradedata::TwoLegOrderTable;
using tradedata::testing::AddRow;

struct TradeSpec {
    int32_t order = 101;
    const char* contract = "cu2501";
    const char* exchange = "SQ";
    const char* number = "T1";
    int32_t side = 1;
    int32_t quantity = 1;
    const char* price = "70000.000";
    const char* khh = kKhh;
    const char* amount = "";
};

Items TradeItems(const TradeSpec& s) {
    return {{605, s.khh},
            {599, s.exchange},
            {719, s.contract},
            {1716, "81001234"},
            {681, std::to_string(s.order)},
            {1842, "2"},
            {683, std::to_string(s.side)},
            {1718, "1"},
            {522, s.number},
            {527, "09:30:01"},
            {525, s.price},
            {528, std::to_string(s.quantity)},
            {524, s.amount}};
}

class TradeReturnsTest : public TradePushTest {
protected:
    CTradeReturnHandler::Hooks Hooks() {
        CTradeReturnHandler::Hooks hooks;
        hooks.log = LogHooks();
        hooks.submit = [this](const tradedata::OrderRequest& o, std::string*) {
            std::lock_guard hold(linesLock);
            legs.push_back(o);
            return submitResult;
        };
        return hooks;
    }
    void Trade(const TradeSpec& s) { handler.OnTradeReturn(ParsedPushFields(Body(TradeItems(s)))); }
    void Trade(const Items& items) { handler.OnTradeReturn(ParsedPushFields(Body(items))); }

    int32_t submitResult = 1;
    std::vector<tradedata::OrderRequest> legs;
    CTradeReturnHandler handler{frameState, sink, nullptr, Hooks()};
};

TEST_F(TradeReturnsTest, AFillWritesTheDetailTradeAndOrderRowsAndTellsTheWindows) {
    AddOrder(101, "cu2501", "SQ", 4, {{1842, "2"}});
    Trade(TradeSpec{});

    ASSERT_EQ(TradeDetailTable.GetCount(), 1);
    EXPECT_EQ(TradeDetailTable.Get(522, 0), "T1");
    EXPECT_DOUBLE_EQ(TradeDetailTable.GetDouble(524, 0), 350000.0);  // price x quantity x 5
    const int t = TradeTable.Find(763, "00000101|cu2501");
    ASSERT_GE(t, 0);
    EXPECT_EQ(TradeTable.GetLong(528, t), 1);
    EXPECT_DOUBLE_EQ(TradeTable.GetDouble(525, t), 70000.0);

    EXPECT_EQ(Order(101, 528), 1);
    EXPECT_EQ(Order(101, 753), 5);
    EXPECT_EQ(Order(101, 897) & 0x8080, 0x8080);
    EXPECT_GT(OrderD(101, 527), 0.0);
    EXPECT_EQ(InfoLines(), std::vector<std::string>{
                               "成交通知|委托(合同号:101)已成交,成交编号:T1,数量:1,价格:70000."});
    EXPECT_EQ(sink.Of(tradedata::kWmFrameEvent),
              (std::vector<Posted>{
                  {PushWindow::kWorkspace, tradedata::kWmFrameEvent, (5u << 16) | 3u, 101}}));
    EXPECT_EQ(
        sink.Of(tradedata::kWmFrameRefresh),
        (std::vector<Posted>{{PushWindow::kWorkspace, tradedata::kWmFrameRefresh, 0x10000, 0}}));

    // The rest of the order fills it; the average is over both fills.
    Trade(TradeSpec{.number = "T2", .quantity = 3, .price = "70010"});
    EXPECT_EQ(Order(101, 528), 4);
    EXPECT_EQ(Order(101, 753), 6);
    EXPECT_DOUBLE_EQ(OrderD(101, 525), (70000.0 + 3 * 70010.0) / 4);
    EXPECT_EQ(TradeTable.GetLong(528, TradeTable.Find(763, "00000101|cu2501")), 4);
}

TEST_F(TradeReturnsTest, OrderStateAfterAFill) {
    struct Case {
        int32_t ordered, filledBefore, cancelled, quantity;
        int32_t filled, state;
    };
    const Case cases[] = {
        {4, 0, 0, 1, 1, 5},  // part of it
        {4, 3, 0, 1, 4, 6},  // the rest
        {4, 1, 2, 1, 2, 7},  // a fill reported after a partial cancel
        {2, 2, 0, 1, 2, 1},  // beyond the order: quantities and state stay
    };
    int32_t number = 500;
    for (const Case& c : cases) {
        ++number;
        AddOrder(number, "cu2501", "SQ", c.ordered,
                 {{528, std::to_string(c.filledBefore)}, {886, std::to_string(c.cancelled)}});
        Trade(TradeSpec{.order = number, .number = "N", .quantity = c.quantity});
        EXPECT_EQ(Order(number, 528), c.filled) << number;
        EXPECT_EQ(Order(number, 753), c.state) << number;
        EXPECT_EQ(Order(number, 897) & 0x8080, 0x8080) << number;  // stamped in every case
    }
}

TEST_F(TradeReturnsTest, PriceTextsKeepThePointAndLoseTrailingZeros) {
    const std::pair<const char*, const char*> cases[] = {
        {"3500.000", "3500."}, {"3500.500", "3500.5"}, {"  3500", "3500"},
        {"3500", "3500"},      {"100", "100"},         {"", ""}};
    int n = 0;
    for (const auto& [raw, shown] : cases) {
        Trade(TradeSpec{.order = 900 + n, .number = "P", .price = raw});
        ++n;
        const std::vector<std::string> lines = InfoLines();
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(n));
        EXPECT_TRUE(lines.back().ends_with(std::string("价格:") + shown)) << lines.back();
    }
}

TEST_F(TradeReturnsTest, TheDetailTableKeepsTheNewest256Trades) {
    for (int i = 1; i <= kMaxTradeDetailRows + 1; ++i) {
        const std::string number = "T" + std::to_string(i);
        Trade(TradeSpec{.number = number.c_str()});
    }
    EXPECT_EQ(TradeDetailTable.GetCount(), kMaxTradeDetailRows);
    EXPECT_EQ(TradeDetailTable.Get(522, 0), "T257");
    EXPECT_EQ(TradeDetailTable.Get(522, kMaxTradeDetailRows - 1), "T2");
    EXPECT_LT(TradeDetailTable.Find(522, "T1"), 0);
}

TEST_F(TradeReturnsTest, AReplayedTradeIsCountedOnce) {
    AddOrder(101, "cu2501", "SQ", 4);
    Trade(TradeSpec{});
    Trade(TradeSpec{});                  // the same push again (a re-subscription)
    Trade(TradeSpec{.side = 2});         // the other side of the same trade number
    Trade(TradeSpec{.exchange = "DL"});  // another exchange's trade of that number
    EXPECT_EQ(handler.Counters().duplicates.load(), 1u);
    EXPECT_EQ(TradeDetailTable.GetCount(), 3);
    EXPECT_EQ(Order(101, 528), 3);
    EXPECT_EQ(InfoLines().size(), 3u);
    handler.ResetSeenTrades();
    Trade(TradeSpec{});
    EXPECT_EQ(TradeDetailTable.GetCount(), 4);
}

TEST_F(TradeReturnsTest, AnUnknownOrderStillGetsItsTradeRowsAndANoticeWithState0) {
    Trade(TradeSpec{.order = 999});
    EXPECT_EQ(TradeDetailTable.GetCount(), 1);
    EXPECT_GE(TradeTable.Find(763, "00000999|cu2501"), 0);
    EXPECT_EQ(OrderTable.GetCount(), 0);
    EXPECT_EQ(handler.Counters().unknownOrders.load(), 1u);
    ASSERT_EQ(sink.Of(tradedata::kWmFrameEvent).size(), 1u);
    EXPECT_EQ(sink.Of(tradedata::kWmFrameEvent)[0].wParam, 3u);
}

TEST_F(TradeReturnsTest, AnotherCustomersTradeMakesNoNoticeButIsKept) {
    Trade(TradeSpec{.khh = kOtherKhh});
    EXPECT_EQ(TradeDetailTable.GetCount(), 1);
    EXPECT_TRUE(InfoLines().empty());
    EXPECT_TRUE(sink.posts.empty());
}

TEST_F(TradeReturnsTest, SelfTradesAreCountedOnlyAgainstTheSameCustomersOppositeSide) {
    frameState = kFrameCountersLoaded;
    Trade(TradeSpec{.order = 1, .number = "S1", .side = 1, .khh = kOtherKhh});
    Trade(TradeSpec{.order = 2, .number = "S1", .side = 2});  // against another account: no
    EXPECT_EQ(Counter("8001|T|SQ", 528), -1);
    Trade(TradeSpec{.order = 3, .number = "S1", .side = 1});  // same customer, opposite side
    EXPECT_EQ(Counter("8001|T|SQ", 528), 1);
    Trade(TradeSpec{.order = 4, .number = "S9", .side = 2});  // another trade number
    EXPECT_EQ(Counter("8001|T|SQ", 528), 1);
    EXPECT_EQ(frameState.load(), kFrameCountersLoaded);

    // One exchange numbers the two sides one apart at the same price: the counters are
    // queried again instead.
    Trade(TradeSpec{.order = 5,
                    .contract = "SR501",
                    .exchange = "ZZ",
                    .number = "2025012345678",
                    .side = 1,
                    .price = "5000"});
    Trade(TradeSpec{.order = 6,
                    .contract = "SR501",
                    .exchange = "ZZ",
                    .number = "2025012345679",
                    .side = 2,
                    .price = "5000"});
    EXPECT_EQ(frameState.load(), 0u);
}

TEST_F(TradeReturnsTest, WithoutTheCountersLoadedNoSelfTradeIsLookedFor) {
    Trade(TradeSpec{.order = 1, .number = "S1", .side = 1});
    Trade(TradeSpec{.order = 2, .number = "S1", .side = 2});
    EXPECT_EQ(Counter("8001|T|SQ", 528), -1);
}

// A two-leg order: leg 1 on cu2501 for 2 lots, then 2 lots of m2501 as leg 2.
int AddTwoLeg(int32_t number, int32_t pairing, const char* contract = "cu2501") {
    return AddRow(TwoLegOrderTable, {{681, std::to_string(number)},
                                     {605, kKhh},
                                     {719, contract},
                                     {684, "2"},
                                     {1783, std::to_string(pairing)},
                                     {1439, "2"},
                                     {1847, "DL"},
                                     {1393, "m2501"},
                                     {1848, "81009999"},
                                     {1849, "2"},
                                     {1850, "1"},
                                     {1418, "3100"},
                                     {1851, "1"},
                                     {1852, "0"}});
}

TEST_F(TradeReturnsTest, LegTwoIsSentOnceWhenLegOneIsFilledAlsoAfterADuplicate) {
    AddTwoLeg(201, 0);
    Trade(TradeSpec{.order = 201, .number = "L1"});
    EXPECT_TRUE(legs.empty());
    Trade(TradeSpec{.order = 201, .number = "L2"});
    ASSERT_EQ(legs.size(), 1u);
    EXPECT_EQ(legs[0].khh, kKhh);
    EXPECT_EQ(legs[0].exchange, "DL");
    EXPECT_EQ(legs[0].contract, "m2501");
    EXPECT_EQ(legs[0].tradingCode, "81009999");
    EXPECT_EQ(legs[0].direction, 2);
    EXPECT_EQ(legs[0].quantity, 2);
    EXPECT_DOUBLE_EQ(legs[0].price, 3100.0);
    EXPECT_EQ(TwoLegOrderTable.GetLong(1439, 0), 0);
    const auto refreshes = sink.Of(tradedata::kWmFrameRefresh);
    EXPECT_EQ(std::count_if(refreshes.begin(), refreshes.end(),
                            [](const Posted& p) { return p.wParam == kRefreshAfterTrade; }),
              1);

    Trade(TradeSpec{.order = 201, .number = "L2"});  // replayed
    Trade(TradeSpec{.order = 201, .number = "L3"});  // more than the order: nothing left to send
    EXPECT_EQ(legs.size(), 1u);
}

TEST_F(TradeReturnsTest, PairedLegTwoFollowsEachFill) {
    AddTwoLeg(202, 1);
    Trade(TradeSpec{.order = 202, .number = "Q1"});
    Trade(TradeSpec{.order = 202, .number = "Q2", .quantity = 5});
    ASSERT_EQ(legs.size(), 2u);
    EXPECT_EQ(legs[0].quantity, 1);
    EXPECT_EQ(legs[1].quantity, 1);  // only what is left of leg 2
}

TEST_F(TradeReturnsTest, ARefusedLegTwoIsTracedAndPostsNoRefresh) {
    submitResult = -1;
    AddTwoLeg(203, 1);
    Trade(TradeSpec{.order = 203, .number = "R1"});
    EXPECT_EQ(legs.size(), 1u);
    EXPECT_EQ(handler.Counters().legTwoFailed.load(), 1u);
    for (const auto& p : sink.Of(tradedata::kWmFrameRefresh))
        EXPECT_NE(p.wParam, kRefreshAfterTrade);
    ASSERT_FALSE(traces.empty());
    EXPECT_NE(traces.back().find("m2501"), std::string::npos);
}

TEST_F(TradeReturnsTest, LegTwoWaitsOnTheExecutorNotOnTheReceiveThread) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    CTradeReturnHandler::Hooks hooks = Hooks();
    hooks.submit = [released](const tradedata::OrderRequest&, std::string*) {
        released.wait();  // the server has not answered yet
        return 1;
    };
    CSerialExecutor executor;
    CTradeReturnHandler threaded(frameState, sink, executor.AsExecutor(), hooks);
    AddTwoLeg(204, 1);
    // Returns although the send cannot finish until released.
    threaded.OnTradeReturn(ParsedPushFields(Body(TradeItems({.order = 204, .number = "W1"}))));
    EXPECT_EQ(TradeDetailTable.GetCount(), 1);
    EXPECT_TRUE(sink.Of(tradedata::kWmFrameRefresh).size() <= 1);  // the kind's bit only
    release.set_value();
    executor.WaitIdle();
    EXPECT_EQ(sink.Of(tradedata::kWmFrameRefresh).back().wParam, kRefreshAfterTrade);
}

TEST_F(TradeReturnsTest, ACombinationOrderTakesItsFillFromTheLegsTradeRows) {
    AddOrder(301, "SP cu2501&cu2502", "SQ", 2, {{1681, "4"}});
    Trade(TradeSpec{
        .order = 301, .contract = "cu2501", .number = "C1", .price = "70100", .amount = "350500"});
    EXPECT_EQ(Order(301, 528), 0);  // one leg alone is no fill
    Trade(TradeSpec{.order = 301,
                    .contract = "cu2502",
                    .number = "C2",
                    .side = 2,
                    .price = "70000",
                    .amount = "350000"});
    EXPECT_EQ(Order(301, 528), 1);
    EXPECT_EQ(Order(301, 753), 5);
    EXPECT_DOUBLE_EQ(OrderD(301, 524), 700500.0);
    EXPECT_DOUBLE_EQ(OrderD(301, 525), 100.0);  // (350500 - 350000) / 1 / 5
    EXPECT_EQ(Order(301, 897) & 0x8080, 0x80);
}

TEST_F(TradeReturnsTest, ForeignCurrencyContractsRoundTheirAmountPerLot) {
    AddOrder(401, "GC2502", "WP", 3);
    Trade(TradeSpec{.order = 401,
                    .contract = "GC2502",
                    .exchange = "WP",
                    .number = "G1",
                    .quantity = 3,
                    .price = "2000.123"});
    // round(2000.123 x 100 x 7.1, 2) x 3
    EXPECT_DOUBLE_EQ(TradeDetailTable.GetDouble(524, 0), 1420087.33 * 3);
    EXPECT_NEAR(OrderD(401, 525), 2000.123, 1e-4);
}

TEST_F(TradeReturnsTest, TraceAndTradeLogLines) {
    logOptions = kTraceTrades;
    logLevel = 1;
    AddOrder(101, "cu2501", "SQ", 4);
    Trade(TradeSpec{});
    Items withMargin = TradeItems({.number = "T2", .price = "70000.500"});
    withMargin.push_back({1489, "1"});
    withMargin.push_back({1720, "12.5"});
    Trade(withMargin);
    ASSERT_EQ(traces.size(), 2u);
    EXPECT_NE(traces[0].find("\twth:101 cjsl:1 cjbh:T1\t"), std::string::npos);
    EXPECT_TRUE(traces[0].starts_with("成交回报:"));
    ASSERT_EQ(tradeLines.size(), 2u);
    EXPECT_EQ(tradeLines[0],
              "成交回报 MATCH INFO:客户号:8001,委托号:101,交易所:SQ,合约代码:cu2501,"
              "成交编号:T1,成交数量:1,成交价格:70000.,开平标志:1,保证金:0.000000,申报结果:5");
    EXPECT_NE(tradeLines[1].find("成交价格:70000.5,开平标志:1,保证金:12.500000,申报结果:5"),
              std::string::npos);
}

TEST_F(TradeReturnsTest, BadFieldsReadAsZeroAndNeverBreakTheTables) {
    frameState = kFrameCountersLoaded;  // the self-trade search reads the older rows too
    AddOrder(101, "cu2501", "SQ", 4);
    const Items cases[] = {
        {},
        {{681, "101"}, {683, "2147483647"}, {522, "X"}},
        {{681, "101"}, {683, "2147483647"}, {522, "X"}, {599, "ZZ"}},
        {{681, "abc"}, {528, "1x"}, {525, "--"}},
        {{681, "101"}, {528, "99999999999999"}},
        {{681, "101"}, {528, "-5"}, {524, "nan"}},
        {{681, "101"}, {719, std::string(300, 'c')}, {522, std::string(500, '9')}},
    };
    for (const Items& items : cases) Trade(items);
    EXPECT_EQ(Order(101, 528), 0);  // nothing fit the order
    EXPECT_LE(TradeDetailTable.GetCount(), 7);
    for (int r = 0; r < TradeTable.GetCount(); ++r) EXPECT_FALSE(TradeTable.Get(763, r).empty());
}

}  // namespace
}  // namespace market::feed::testing
