// The order-entry panel's window-free rules: the price range check, the quantity check, the
// order price type and attribute, the split loop with its reports, the confirmation text, the
// order-fill record and the split size settings.
#include "orderentry/OrderEntryRules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "record/Configure.h"
#include "record/FixRecord.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/GlobalTables.h"

namespace orderentry {
namespace {

TEST(OrderEntryRulesTest, PriceRangeWithHalfATickAndItsExemptions) {
    // Limits 100 to 200, tick 0.5.
    struct Case {
        double price;
        bool market;
        int32_t openClose;
        bool refused;
    };
    const Case cases[] = {
        {150, false, 1, false},   {200.25, false, 1, false},  // half a tick above passes
        {200.26, false, 1, true}, {99.75, false, 1, false},
        {99.74, false, 1, true},  {0, true, 1, false},     // the market price
        {0, false, 1, true},      {500, false, 6, false},  // exercise kinds are exempt
        {500, false, 7, false},   {500, false, 2, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RefusesPrice(c.price, 0.5, 200, 100, c.market, c.openClose), c.refused)
            << c.price << " " << c.market << " " << c.openClose;
}

TEST(OrderEntryRulesTest, StopSpreadsWithinTheLimits) {
    // Limits 100 to 200, price 150.
    struct Case {
        bool downward;
        double spread, upper, lower;
        bool crosses;
    };
    const Case cases[] = {
        {true, 50, 200, 100, false},  {true, 50.01, 200, 100, true},
        {false, 50, 200, 100, false}, {false, 50.01, 200, 100, true},
        {true, 0, 200, 100, false},   {true, 500, 0, 0, false},  // limits unknown
    };
    for (const Case& c : cases)
        EXPECT_EQ(SpreadCrossesLimit(c.downward, 150, c.spread, c.upper, c.lower), c.crosses)
            << c.downward << " " << c.spread;
}

TEST(OrderEntryRulesTest, QuantityChecks) {
    struct Case {
        int32_t quantity;
        bool exerciseShown;
        int32_t side;
        const char* exchange;
        int32_t openClose;
        bool refused;
    };
    const Case cases[] = {
        {1, false, 1, "SQ", 1, false},
        {0, false, 1, "SQ", 1, true},
        {0, false, 1, "DL", 6, false},  // the zero-quantity exercise order of "DL"
        {0, false, 1, "DL", 7, true},
        {0, true, 2, "SQ", 6, false},
        // A negative quantity never passes, not even with the exercise boxes on side 2.
        {-3, true, 2, "SQ", 6, true},
        {-1, false, 1, "DL", 6, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RefusesQuantity(c.quantity, c.exerciseShown, c.side, c.exchange, c.openClose),
                  c.refused)
            << c.quantity << " " << c.exchange << " " << c.openClose;
}

TEST(OrderEntryRulesTest, PriceTypeAttributeAndHedge) {
    EXPECT_EQ(OrderPriceTypeOf(true, true, true), 1);
    EXPECT_EQ(OrderPriceTypeOf(false, true, true), 2);
    EXPECT_EQ(OrderPriceTypeOf(false, false, true), 4);
    EXPECT_EQ(OrderPriceTypeOf(false, false, false), 1);

    AttributeInputs fak;
    fak.enableZlsx = fak.fakAvailable = fak.fakTicked = true;
    AttributeInputs fok = fak;
    fok.fokAvailable = fok.fokTicked = true;
    AttributeInputs extended = fok;
    extended.extendedEnabled = extended.extendedShown = true;
    extended.extendedValue = 5;
    AttributeInputs switchedOff = extended;
    switchedOff.enableZlsx = false;
    AttributeInputs unavailable = fak;
    unavailable.fakAvailable = false;
    AttributeInputs exercise = extended;
    exercise.exerciseMode = true;
    const std::pair<AttributeInputs, int32_t> cases[] = {
        {fak, 1}, {fok, 2}, {extended, 5}, {switchedOff, 0}, {unavailable, 0}, {exercise, 0}};
    for (const auto& [in, attribute] : cases) EXPECT_EQ(OrderAttributeOf(in), attribute);

    EXPECT_EQ(HedgeFlagOf(true, true, true), 1);
    EXPECT_EQ(HedgeFlagOf(false, true, true), 2);
    EXPECT_EQ(HedgeFlagOf(false, true, false), 0);
    EXPECT_EQ(HedgeFlagOf(false, false, true), 0);
}

TEST(OrderEntryRulesTest, SplitChunk) {
    EXPECT_EQ(SplitChunk(false, 10, 20, 5, false), 0);
    EXPECT_EQ(SplitChunk(true, 10, 20, 5, false), 10);
    EXPECT_EQ(SplitChunk(true, 0, 20, 5, false), 20);
    EXPECT_EQ(SplitChunk(true, 0, 20, 5, true), 5);
    EXPECT_EQ(SplitChunk(true, 0, 0, 0, true), 0);
}

// A server stand-in: accepts until the order numbered `failAt` (1-based), which it refuses.
struct Server {
    int failAt = 0;
    std::vector<int32_t> quantities;
    SubmitResult operator()(int32_t quantity) {
        quantities.push_back(quantity);
        const int n = static_cast<int>(quantities.size());
        if (n == failAt) return {-1, 0, "资金不足"};
        return {1, 100 + n, "委托成功"};
    }
};

TEST(OrderEntryRulesTest, SplitLoopAndItsReports) {
    struct Case {
        int32_t quantity, chunk;
        int failAt;
        std::vector<int32_t> sent;
        std::string text;
        bool failed;
    };
    const Case cases[] = {
        {25,
         10,
         0,
         {10, 10, 5},
         "自动分笔委托成功,总委托数量:25,成功委托数量:25\n第一笔委托合同号:101",
         false},
        {25,
         10,
         2,
         {10, 10},
         "自动分笔委托成功,总委托数量:25,成功委托数量:10\n第一笔委托合同号:101"
         "\n最后一笔失败提示:资金不足",
         true},
        // One order accepted, the next refused: still a summary naming the accepted order.
        {15,
         10,
         2,
         {10, 5},
         "自动分笔委托成功,总委托数量:15,成功委托数量:10\n第一笔委托合同号:101"
         "\n最后一笔失败提示:资金不足",
         true},
        {5, 10, 0, {5}, "委托成功", false},
        {5, 0, 1, {5}, "资金不足", true},
        {30, 0, 0, {30}, "委托成功", false},
    };
    for (const Case& c : cases) {
        Server server{c.failAt, {}};
        const SendOutcome outcome =
            RunSendLoop(c.quantity, c.chunk, false, [&](int32_t q) { return server(q); });
        EXPECT_EQ(server.quantities, c.sent) << c.quantity << "/" << c.chunk;
        EXPECT_EQ(OutcomeText(outcome), c.text);
        EXPECT_EQ(OutcomeFailed(outcome), c.failed);
    }
}

TEST(OrderEntryRulesTest, ZeroOrdersAndEmptyFailures) {
    Server server;
    SendOutcome zero = RunSendLoop(0, 10, true, [&](int32_t q) { return server(q); });
    EXPECT_EQ(server.quantities, std::vector<int32_t>{0});
    EXPECT_EQ(zero.accepted, 1);

    // Nothing to send is said, never left silent.
    SendOutcome none = RunSendLoop(0, 10, false, [&](int32_t q) { return server(q); });
    EXPECT_EQ(none.attempts, 0);
    EXPECT_EQ(OutcomeText(none), kNothingSentText);
    EXPECT_TRUE(OutcomeFailed(none));

    SendOutcome silent = RunSendLoop(1, 0, false, [](int32_t) { return SubmitResult{0, 0, ""}; });
    EXPECT_EQ(OutcomeText(silent), kUnknownErrorText);
}

TEST(OrderEntryRulesTest, ConfirmationText) {
    ConfirmationFacts f;
    f.exchangeName = "上期所";
    f.code = "cu2701";
    f.hedgeText = "投机";
    f.directionText = "买入";
    f.openCloseText = "开仓";
    f.openClose = 1;
    f.priceText = "74000";
    f.quantity = 3;
    f.stopMode = true;
    f.stopLoss = 50;
    f.conditionalMode = true;
    f.triggerTypeText = "最新价";
    f.comparisonText = ">=";
    f.triggerPriceText = "74100";
    EXPECT_EQ(ConfirmationText(f),
              "\n   市场 ：上期所\n   合约 ：cu2701\n   操作 ：投机、买入、开仓\n   价格 ：74000"
              "\n   数量 ：3\n   止损 ：50\n   条件 ：最新价 >= 74100");

    ConfirmationFacts option;
    option.code = "IO2701-C-4000";
    option.openClose = 6;
    option.option = true;
    option.callPut = 1;
    option.strike = 4000;
    option.underlyingLast = 3950;
    option.decimals = 1;
    option.quantity = 1;
    const std::string text = ConfirmationText(option);
    EXPECT_EQ(text.find("\n   价格"), std::string::npos);  // no price line for exercise
    EXPECT_NE(text.find("\n   执行价格 ：4000.0\n   标的最新价 ：3950.0 (注意: 预计虚值行权)"),
              std::string::npos);
    option.underlyingLast = 4100;
    EXPECT_EQ(ConfirmationText(option).find("虚值"), std::string::npos);
}

tradedata::OrderFillRecord GoodRecord() {
    tradedata::OrderFill fill;
    fill.code = "cu2701";
    fill.openClose = 2;
    fill.direction = 1;
    fill.quantity = 4;
    fill.price = 74010;
    fill.priceField = 0;
    fill.requestKind = 3;
    return tradedata::BuildOrderFillRecord(fill);
}

TEST(OrderEntryRulesTest, OrderFillRecordIsCheckedBeforeUse) {
    tradedata::OrderFillRecord good = GoodRecord();
    const auto fill = ParseOrderFillRecord(104, 104, good.data());
    ASSERT_TRUE(fill.has_value());
    EXPECT_EQ(fill->code, "cu2701");
    EXPECT_EQ(fill->openClose, 2);
    EXPECT_EQ(fill->direction, 1);
    EXPECT_EQ(fill->quantity, 4);
    EXPECT_DOUBLE_EQ(fill->price, 74010);
    EXPECT_EQ(fill->requestKind, 3);

    tradedata::OrderFillRecord unterminated = good;
    std::memset(unterminated.data() + 4, 'a', 32);
    tradedata::OrderFillRecord badSize = good;
    badSize[0] = 100;
    tradedata::OrderFillRecord notGbk = good;
    std::memcpy(notGbk.data() + 4, "cu\xF0\x9F\x98\x80", 7);
    struct Case {
        uintptr_t id;
        uint32_t length;
        const void* data;
    };
    const Case refused[] = {
        {103, 104, good.data()},         {104, 103, good.data()},    {104, 104, nullptr},
        {104, 104, unterminated.data()}, {104, 104, badSize.data()}, {104, 104, notGbk.data()},
    };
    for (const Case& c : refused)
        EXPECT_FALSE(ParseOrderFillRecord(c.id, c.length, c.data).has_value()) << c.id << c.length;
}

TEST(OrderEntryRulesTest, CloseThenOpenPairKeyedByOrderNumber) {
    tradedata::testing::ResetGlobalTables();
    tradedata::OrderRequest close;
    close.khh = "000010086001";
    close.exchange = "SQ";
    close.contract = "cu2701";
    close.tradingCode = "81001234";
    close.direction = 2;
    close.openClose = 4;
    close.quantity = 3;
    close.price = 74000;
    EXPECT_EQ(RecordCloseThenOpen(close, 0, 1), -1);
    const int row = RecordCloseThenOpen(close, 5001, 1);
    ASSERT_GE(row, 0);
    EXPECT_EQ(RecordCloseThenOpen(close, 5001, 2), row);  // the same order keeps its row
    CFixRecord& t = tradedata::TwoLegOrderTable;
    EXPECT_EQ(t.GetCount(), 1);
    EXPECT_EQ(t.GetLong(681, row), 5001);
    EXPECT_EQ(t.Get(1393, row), "cu2701");
    EXPECT_EQ(t.GetLong(1849, row), 2);  // the same side value
    EXPECT_EQ(t.GetLong(1850, row), 1);  // opens
    EXPECT_EQ(t.GetLong(1439, row), 3);
    tradedata::testing::ResetGlobalTables();
}

TEST(OrderEntryRulesTest, SplitSizeFromCodeExchangeThenSection) {
    tradedata::testing::SettingsSandbox sandbox;
    EXPECT_EQ(SplitSizeSetting("SQ", "cu2701"), 0);
    pavlet::WritePrivateConfigure("QHWT", "DBWTSX", 50);
    EXPECT_EQ(SplitSizeSetting("SQ", "cu2701"), 50);
    pavlet::WritePrivateConfigure("DBWTSX", "SQ", 20);
    pavlet::WritePrivateConfigure("DBWTSX", "cu2701", 0);
    EXPECT_EQ(SplitSizeSetting("SQ", "cu2701"), 20);
    pavlet::WritePrivateConfigure("DBWTSX", "cu2701", 7);
    EXPECT_EQ(SplitSizeSetting("SQ", "cu2701"), 7);
    EXPECT_EQ(SplitSizeSetting("", "cu2701"), 0);
}

}  // namespace
}  // namespace orderentry
