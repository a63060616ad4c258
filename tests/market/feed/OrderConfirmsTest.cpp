// The confirmation handler: order states by kind and outcome, the open and cancel counters
// with the large-cancel thresholds, the notices; and the combination results.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "market/feed/OrderConfirms.h"
#include "tests/market/feed/TradePushFixture.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Registries.h"

namespace market::feed::testing {
namespace {

struct ConfirmSpec {
    int32_t order = 301;
    const char* kind = "O";
    int32_t outcome = 1;
    int32_t cancelled = 0;
    const char* contract = "cu2501";
    const char* exchange = "SQ";
    const char* zcdh = "000000000301";
    int32_t openClose = 1;
    int32_t attribute = 0;
    int32_t orderType = 0;
    const char* khh = kKhh;
    const char* error = "";
};

Items ConfirmItems(const ConfirmSpec& s) {
    return {{605, s.khh},
            {599, s.exchange},
            {719, s.contract},
            {681, std::to_string(s.order)},
            {1842, "3"},
            {1718, std::to_string(s.openClose)},
            {665, std::to_string(s.attribute)},
            {1681, std::to_string(s.orderType)},
            {755, s.kind},
            {1261, s.zcdh},
            {753, std::to_string(s.outcome)},
            {886, std::to_string(s.cancelled)},
            {751, "09:30:00"},
            {1030, s.error},
            {683, "1"},
            {684, "4"}};
}

class OrderConfirmsTest : public TradePushTest {
protected:
    void Confirm(const ConfirmSpec& s) {
        handler.OnOrderConfirm(ParsedPushFields(Body(ConfirmItems(s))));
    }
    COrderConfirmHandler handler{sink, LogHooks()};
};

TEST_F(OrderConfirmsTest, OrderStateByKindAndOutcome) {
    struct Case {
        const char* kind;
        int32_t outcome, stateBefore, filled, cancelled;
        int32_t state, changes;
        const char* notice;  // "" for none
        uint32_t high;
    };
    const Case cases[] = {
        {"O", 2, 1, 0, 0, 3, 0x8004, "委托确认|委托(合同号:301)确认失败,错误说明:资金不足", 2},
        {"O", 1, 1, 0, 0, 2, 0x8002, "委托确认|委托(合同号:301)已成功确认", 1},
        {"O", 1, 0, 0, 0, 2, 0x8002, "委托确认|委托(合同号:301)已成功确认", 1},
        // A fill that overtook its confirmation keeps its state.
        {"O", 1, 5, 1, 0, 5, 0x8002, "委托确认|委托(合同号:301)已成功确认", 1},
        {"W", 1, 2, 0, 3, 8, 0x8020, "撤单确认|委托(合同号:301)撤单确认成功,撤单确认数量:3", 3},
        {"W", 1, 5, 1, 3, 7, 0x8020, "撤单确认|委托(合同号:301)撤单确认成功,撤单确认数量:3", 3},
        {"W", 1, 2, 0, 0, 2, 0x8020, "撤单确认|委托(合同号:301)撤单确认成功", 3},
        {"W", 2, 2, 0, 0, 2, 0x8000, "撤单确认|委托(合同号:301)确认失败,错误说明:资金不足", 4},
        {"X", 1, 2, 0, 0, 2, 0x8000, "", 0},
        {"", 1, 2, 0, 0, 2, 0x8000, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + std::to_string(c.outcome) + "/" +
                     std::to_string(c.stateBefore));
        tradedata::OrderTable.GetMemRecord()->Zap();
        tradedata::MessageTable.GetMemRecord()->Zap();
        sink.posts.clear();
        AddOrder(301, "cu2501", "SQ", 4,
                 {{753, std::to_string(c.stateBefore)}, {528, std::to_string(c.filled)}});
        Confirm(
            {.kind = c.kind, .outcome = c.outcome, .cancelled = c.cancelled, .error = "资金不足"});
        EXPECT_EQ(Order(301, 753), c.state);
        EXPECT_EQ(Order(301, 897), c.changes);
        EXPECT_EQ(tradedata::OrderTable.Get(1261, 0), "000000000301");
        const std::vector<std::string> lines = InfoLines();
        if (*c.notice == '\0')
            EXPECT_TRUE(lines.empty());
        else
            EXPECT_EQ(lines, std::vector<std::string>{c.notice});
        const auto notices = sink.Of(tradedata::kWmFrameEvent);
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].wParam, 2u | (c.high << 16));
        EXPECT_EQ(notices[0].lParam, 301);
    }
}

TEST_F(OrderConfirmsTest, ConfirmAndCancelStampsAndReportTime) {
    AddOrder(301, "cu2501", "SQ", 4);
    Confirm({});
    EXPECT_EQ(tradedata::OrderTable.Get(751, 0), "09:30:00");
    EXPECT_GT(OrderD(301, 1830), 0.0);
    EXPECT_EQ(OrderD(301, 656), 0.0);
    Confirm({.kind = "W", .cancelled = 4});
    EXPECT_GT(OrderD(301, 656), 0.0);
    EXPECT_EQ(Order(301, 886), 4);
}

TEST_F(OrderConfirmsTest, LargeCancelThresholds) {
    struct Case {
        const char* exchange;
        int32_t cancelled;
        double limit;
        bool large;
    };
    const Case cases[] = {
        {"SQ", 300, 0, true},     {"SQ", 299, 0, false},  {"SN", 300, 0, true},
        {"ZZ", 500, 0, true},     {"ZZ", 499, 0, false},  {"DL", 800, 1000, true},
        {"DL", 799, 1000, false}, {"DL", 5000, 0, false}, {"DL", 1, 1.3, true},
        {"ZJ", 100000, 0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsLargeCancel(c.exchange, c.cancelled, c.limit), c.large)
            << c.exchange << " " << c.cancelled;
}

TEST_F(OrderConfirmsTest, CountedCancelsByExchangeAndTheirMessages) {
    AddOrder(301, "cu2501", "SQ", 400);
    Confirm({.kind = "W", .cancelled = 300});
    EXPECT_EQ(Counter("8001|W|SQ|cu2501", 886), 1);
    EXPECT_EQ(Counter("8001|W|SQ|cu2501", 1875), 1);
    EXPECT_EQ(Counter("8001|W|SQ|cu2501", 644) & 1, 1);
    const int counterRow = tradedata::OrderCountTable.Find(763, "8001|W|SQ|cu2501");
    EXPECT_EQ(sink.Of(tradedata::kWmFrameCommand),
              (std::vector<Posted>{{PushWindow::kWorkspace, tradedata::kWmFrameCommand,
                                    kCommandCounterRow, counterRow}}));
    const tradedata::RowRef ref = tradedata::FindContract("cu2501");
    bool boardTold = false;
    for (const auto& p : sink.Of(tradedata::kWmFrameRefresh))
        boardTold = boardTold || (p.window == PushWindow::kQuoteBoard &&
                                  p.wParam == kRefreshQuoteRow && p.lParam == ref);
    EXPECT_TRUE(boardTold);

    Confirm({.kind = "W", .cancelled = 299});
    EXPECT_EQ(Counter("8001|W|SQ|cu2501", 886), 2);
    EXPECT_EQ(Counter("8001|W|SQ|cu2501", 1875), 1);

    // On DL the threshold is 0.8 of the contract's largest order (1000).
    AddOrder(302, "m2501", "DL", 900);
    Confirm({.order = 302, .kind = "W", .cancelled = 800, .contract = "m2501", .exchange = "DL"});
    Confirm({.order = 302, .kind = "W", .cancelled = 799, .contract = "m2501", .exchange = "DL"});
    EXPECT_EQ(Counter("8001|W|DL|m2501", 886), 2);
    EXPECT_EQ(Counter("8001|W|DL|m2501", 1875), 1);
}

TEST_F(OrderConfirmsTest, CancelsThatAreNotCounted) {
    AddOrder(301, "cu2501", "SQ", 400);
    const ConfirmSpec cases[] = {
        {.kind = "W", .cancelled = 300, .zcdh = ""},      // never reached the exchange
        {.kind = "W", .cancelled = 300, .attribute = 1},  // not a plain order
        {.kind = "W", .cancelled = 300, .orderType = 2},
        {.kind = "W", .outcome = 2, .cancelled = 300},  // refused
        {.kind = "W", .cancelled = 0},
        {.kind = "W", .cancelled = 300, .contract = "xx9999"},  // unknown contract
    };
    for (const ConfirmSpec& c : cases) Confirm(c);
    EXPECT_EQ(Counter("8001|W|SQ|cu2501", 886), -1);
    EXPECT_TRUE(sink.Of(tradedata::kWmFrameCommand).empty());
}

TEST_F(OrderConfirmsTest, OpenCountsOnZJGrowWithConfirmsAndShrinkWithCancels) {
    AddOrder(311, "IF2501", "ZJ", 3);
    Confirm({.order = 311, .contract = "IF2501", .exchange = "ZJ"});
    EXPECT_EQ(Counter("8001|O|ZJ|IF", 1715), 3);
    Confirm({.order = 311, .kind = "W", .cancelled = 2, .contract = "IF2501", .exchange = "ZJ"});
    EXPECT_EQ(Counter("8001|O|ZJ|IF", 1715), 1);
    Confirm({.order = 311, .kind = "W", .cancelled = 5, .contract = "IF2501", .exchange = "ZJ"});
    EXPECT_EQ(Counter("8001|O|ZJ|IF", 1715), 0);  // never below 0
    // A close (KPBZ 2) opens nothing.
    AddOrder(312, "IF2501", "ZJ", 3);
    Confirm({.order = 312, .contract = "IF2501", .exchange = "ZJ", .openClose = 2});
    EXPECT_EQ(Counter("8001|O|ZJ|IF", 1715), 0);
}

TEST_F(OrderConfirmsTest, AnotherCustomerUpdatesTheTablesWithoutNoticesAndLogsNoKind) {
    logLevel = 1;
    AddOrder(301, "cu2501", "SQ", 4);
    Confirm({.khh = kOtherKhh});
    EXPECT_EQ(Order(301, 753), 2);
    EXPECT_TRUE(InfoLines().empty());
    EXPECT_TRUE(sink.posts.empty());
    ASSERT_EQ(tradeLines.size(), 1u);
    EXPECT_TRUE(
        tradeLines[0].starts_with("委托回报  ORDER INFO:客户号:8002,委托号:301,交易所:SQ,"));
    EXPECT_TRUE(tradeLines[0].ends_with("申报结果:1(1表示成功、2表示失败),错误说明:"));
}

TEST_F(OrderConfirmsTest, AnUnknownOrderChangesNoOrderAndIsTraced) {
    AddOrder(301, "cu2501", "SQ", 4);
    Confirm({.order = 999});
    EXPECT_EQ(Order(301, 753), 1);
    EXPECT_EQ(Order(301, 897), 0);
    EXPECT_EQ(handler.Counters().unknownOrders.load(), 1u);
    ASSERT_FALSE(traces.empty());
    EXPECT_NE(traces.back().find("wth:999"), std::string::npos);
}

TEST_F(OrderConfirmsTest, TradeLogLineOfARejection) {
    logLevel = 1;
    logOptions = kTraceConfirms;
    AddOrder(301, "cu2501", "SQ", 4);
    Confirm({.outcome = 2, .error = "资金不足"});
    ASSERT_EQ(tradeLines.size(), 1u);
    EXPECT_EQ(tradeLines[0],
              "委托回报 委托确认 ORDER INFO:客户号:8001,委托号:301,交易所:SQ,合约代码:cu2501,"
              "主场单号:000000000301,买卖标志:1,开平标志:1,委托数量:4,撤单数量:0,订单类型:0,"
              "订单属性:0,申报结果:2(1表示成功、2表示失败),错误说明:资金不足");
    ASSERT_EQ(traces.size(), 1u);
    EXPECT_TRUE(traces[0].starts_with("委托确认:"));
    EXPECT_TRUE(traces[0].ends_with("\twth:301\t"));
}

TEST_F(OrderConfirmsTest, CombinationResults) {
    struct Case {
        const char* kind;
        const char* result;
        const char* line;
        bool refresh;
    };
    const Case cases[] = {
        {"10", "0", "组合解锁|组合成功", true},
        {"11", "0", "组合解锁|解锁成功", true},
        {"11", "-1", "组合解锁|解锁失败,错误说明:持仓不足", false},
        {"10", "", "组合解锁|组合成功", true},  // no result field reads as 0
    };
    for (const Case& c : cases) {
        tradedata::MessageTable.GetMemRecord()->Zap();
        sink.posts.clear();
        handler.OnCombinationResult(
            ParsedPushFields(Body({{1718, c.kind}, {1029, c.result}, {1030, "持仓不足"}})));
        EXPECT_EQ(InfoLines(), std::vector<std::string>{c.line});
        EXPECT_EQ(sink.Of(tradedata::kWmFrameRefresh).size(), c.refresh ? 1u : 0u);
    }
}

}  // namespace
}  // namespace market::feed::testing
