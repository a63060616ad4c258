// Tests of the order-row upkeep against the test server: paging (also through pages of cancel
// entries), merged answers with fill amounts and account marks, fill totals, combination fill
// prices and folded trades, and the display texts of order and trade rows.
#include "tradedata/OrderQuery.h"

#include <gtest/gtest.h>

#include <latch>
#include <memory>
#include <thread>
#include <vector>

#include "comm/FixApiClient.h"
#include "platform/core/Clock.h"
#include "shell/services/StartupSettings.h"
#include "tests/tradedata/ServerFixture.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"

namespace tradedata {
namespace {

using testing::AddRow;
using testserver::Answer;
using testserver::ReceivedRequest;
using testserver::Row;

class OrderQueryTest : public testing::ServerTest {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        OrderFillTable.GetMemRecord()->Empty();
        CreateFrameTables();
        StartAndConnect();
        account = AddAccount(1, "8001", "01", "甲", "pw", nullptr);
        SetLoginAccount(account);
        SetAccountFlag(kFlagActive, account);
        FuturesContractTable.Create(kFuturesContractLayout);
        CombinationContractTable.Create(kCombinationContractLayout);
    }
    void TearDown() override {
        Disconnect();
        OrderFillTable.GetMemRecord()->Empty();
        testing::ResetGlobalTables();
    }
    // A spread IF-SP of legs L1 and L2 with the hand sizes given.
    void AddSpread(const char* size1, const char* size2) {
        AddRow(FuturesContractTable, {{599, "ZJ"}, {719, "L1"}, {1752, size1}, {1045, "1"}});
        AddRow(FuturesContractTable, {{599, "ZJ"}, {719, "L2"}, {1752, size2}, {1045, "2"}});
        AddRow(CombinationContractTable, {{599, "ZJ"}, {1060, "SP"}, {1392, "L1"}, {1393, "L2"}});
    }

    platform::ManualClock clock;
    platform::ScopedClockSource source{clock};
    int account = -1;
};

Row OrderRow(int number, int serial, const char* cxbz = "O") {
    return {{507, "1"},
            {681, std::to_string(number)},
            {797, std::to_string(serial)},
            {755, cxbz},
            {605, "8001"},
            {599, "SQ"},
            {719, "cu2501"},
            {684, "3"}};
}

TEST(OrderFillKeyTest, OrderNumberIsZeroPaddedToEightDigits) {
    EXPECT_EQ(FormatFillKey(123, "IF2509"), "00000123|IF2509");
}

// 40 orders in pages of 20 after the serial: two full pages and a third, empty one.
TEST_F(OrderQueryTest, FullQueryPagesUntilAPageIsNotFull) {
    std::vector<int> serialsAsked;
    server.SetHook(16151, [&](const ReceivedRequest& r) {
        const int after = std::stoi(r.Get(797));
        serialsAsked.push_back(after);
        EXPECT_EQ(r.Get(762), "20");
        Answer a;
        for (int s = after + 1; s <= 40 && s <= after + 20; ++s) a.rows.push_back(OrderRow(s, s));
        return a;
    });
    CFixRecord target;
    target.Create(kOrderQueryLayout);
    EXPECT_EQ(QueryAllOrders(client.get(), target, 0, 0), 40);
    EXPECT_EQ(serialsAsked, (std::vector<int>{0, 20, 40}));
    EXPECT_EQ(OrderTable.GetCount(), 40);
    // The request fields in the order the server reads them.
    const auto requests = server.Requests();
    ASSERT_FALSE(requests.empty());
    std::vector<int32_t> tags;
    for (const auto& f : requests.back().fields)
        if (f.tag != 8 && f.tag != 35) tags.push_back(f.tag);
    ASSERT_GE(tags.size(), 3u);
    EXPECT_EQ(tags[0], 762);
    EXPECT_EQ(tags[1], 797);
    EXPECT_EQ(tags[2], 9020);
}

// A page of cancel entries is skipped but still moves the continuation point; a page whose
// rows carry no serial ends the query instead of asking for the same page for ever.
TEST_F(OrderQueryTest, PagesOfCancelEntriesOrErrorsDoNotLoop) {
    server.SetHook(16151, [&](const ReceivedRequest& r) {
        const int after = std::stoi(r.Get(797));
        Answer a;
        if (after == 0)
            for (int s = 1; s <= 20; ++s) a.rows.push_back(OrderRow(s, s, "W"));
        else if (after == 20)
            for (int s = 21; s <= 40; ++s) a.rows.push_back(OrderRow(s, s));
        else
            for (int s = 0; s < 20; ++s) a.rows.push_back({{507, "-1"}, {508, "忙"}});
        return a;
    });
    CFixRecord target;
    target.Create(kOrderQueryLayout);
    EXPECT_EQ(QueryAllOrders(client.get(), target, 0, 0), 20);
    EXPECT_EQ(RequestsOf(16151), 3);
    EXPECT_EQ(OrderTable.Find(681, 5), -1);  // a cancel entry is not merged
    EXPECT_GE(OrderTable.Find(681, 25), 0);
}

TEST_F(OrderQueryTest, FailedPageGivesTheErrorText) {
    server.Script(16151, {{{507, "-5"}, {508, "无权限"}}});
    CFixRecord target;
    target.Create(kOrderQueryLayout);
    std::string message;
    int32_t serial = 0;
    OrderFilter filter;
    filter.khh = "8001";
    EXPECT_EQ(QueryOrders(client.get(), target, message, 0, 20, serial, filter), 1);
    EXPECT_EQ(target.GetCount(), 0);
    EXPECT_TRUE(message.empty());
    server.Script(16151, Answer{});
    EXPECT_EQ(QueryOrders(client.get(), target, message, 0, 20, serial, filter), 0);
}

TEST_F(OrderQueryTest, MergeDerivesFillAmountAndMarksTheAccountOnce) {
    AddRow(FuturesContractTable, {{599, "SQ"}, {719, "cu2501"}, {1752, "5"}, {1045, "0"}});
    // Foreign-quoted product: price x hand size x UNIT rounded to cents, times the fills.
    AddRow(FuturesContractTable,
           {{599, "SQ"}, {719, "fx"}, {1752, "10"}, {9020, "16"}, {1787, "0.123456"}});
    server.Script(16151,
                  {{{507, "1"},
                    {681, "7"},
                    {605, "8001"},
                    {599, "SQ"},
                    {719, "cu2501"},
                    {528, "2"},
                    {525, "100.5"},
                    {755, "O"}},
                   {{507, "1"}, {681, "8"}, {605, "8001"}, {719, "fx"}, {528, "3"}, {525, "7.77"}},
                   {{507, "1"},
                    {681, "9"},
                    {605, "8001"},
                    {719, "cu2501"},
                    {528, "1"},
                    {525, "9"},
                    {524, "123.25"}}});
    ClearAccountNotify(0xFFFF, account);
    EXPECT_TRUE(RequeryOrder(client.get(), "8001", "SQ", 7));
    const int row = OrderTable.Find(681, 7);
    ASSERT_GE(row, 0);
    EXPECT_DOUBLE_EQ(OrderTable.GetDouble(524, row), 100.5 * 2 * 5);
    EXPECT_TRUE(TestAccountNotify(kNotifyFunds, account));
    EXPECT_TRUE(TestAccountNotify(kNotifyPositions, account));
    EXPECT_EQ(OrderTable.Find(681, 8), -1);  // other orders of the answer are not taken

    // The same fills again: nothing changed, no new mark.
    ClearAccountNotify(0xFFFF, account);
    EXPECT_TRUE(RequeryOrder(client.get(), "8001", "SQ", 7));
    EXPECT_FALSE(TestAccountNotify(kNotifyFunds, account));

    EXPECT_TRUE(RequeryOrder(client.get(), "8001", "SQ", 8));
    EXPECT_NEAR(OrderTable.GetDouble(524, OrderTable.Find(681, 8)), 9.59 * 3, 1e-9);
    EXPECT_TRUE(RequeryOrder(client.get(), "8001", "SQ", 9));
    EXPECT_DOUBLE_EQ(OrderTable.GetDouble(524, OrderTable.Find(681, 9)), 123.25);
}

TEST_F(OrderQueryTest, SubmittedRowAndFlagUpdate) {
    shell::SetStationAddress("10.0.0.9");
    SubmittedOrder o;
    o.flags = 0x8001;
    o.orderNumber = 42;
    o.khh = "8001";
    o.exchange = "SQ";
    o.contract = "cu2501";
    o.quantity = 2;
    o.price = 70000;
    const int row = InsertSubmittedOrder(o);
    ASSERT_GE(row, 0);
    EXPECT_EQ(InsertSubmittedOrder(o), row);  // the same order number reuses its row
    EXPECT_EQ(OrderTable.GetCount(), 1);
    EXPECT_EQ(OrderTable.Get(641, row), "10.0.0.9");
    EXPECT_EQ(OrderTable.GetLong(753, row), 0);
    EXPECT_EQ(OrderTable.Get(750, row).size(), 8u);
    UpdateOrderFlags(42, 0x8000 | 0x10, 0x10);
    EXPECT_EQ(OrderTable.GetLong(897, row), 0x11);
    EXPECT_EQ(InsertSubmittedOrder(SubmittedOrder{}), -1);
    shell::SetStationAddress("");
}

// Flag updates from many threads while answers are merged: no update is lost.
TEST_F(OrderQueryTest, ConcurrentFlagUpdatesAreNotLost) {
    SubmittedOrder o;
    o.orderNumber = 1;
    InsertSubmittedOrder(o);
    constexpr int kThreads = 4;
    std::latch start(kThreads);
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int i = 0; i < 200; ++i) {
                UpdateOrderFlags(1, 1 << (t + 4), 1 << (t + 4));
                SubmittedOrder other;
                other.orderNumber = 100 + t * 1000 + i;
                InsertSubmittedOrder(other);
            }
        });
    threads.clear();
    EXPECT_EQ(OrderTable.GetLong(897, OrderTable.Find(681, 1)), 0xF0);
    EXPECT_EQ(OrderTable.GetCount(), 1 + kThreads * 200);
}

TEST_F(OrderQueryTest, CombinationFillPriceFromLegTotals) {
    AddSpread("10", "10");
    CFixRecord table;
    table.Create(kOrderQueryLayout);
    const int row = AddRow(table, {{681, "123"},
                                   {1681, "4"},
                                   {528, "2"},
                                   {719, "SP"},
                                   {605, "8001"},
                                   {599, "ZJ"},
                                   {525, "1"}});
    // Incomplete totals and no query allowed: the old price stays.
    ComputeCombinationFillPrice(table, row, false);
    EXPECT_DOUBLE_EQ(table.GetDouble(525, row), 1.0);
    EXPECT_EQ(RequestsOf(16161), 0);

    server.Script(16161,
                  {{{507, "1"}, {681, "123"}, {719, "L1"}, {528, "2"}, {524, "80000"}, {862, "17"}},
                   {{507, "1"}, {681, "123"}, {719, "L2"}, {528, "2"}, {524, "79000"}, {862, "9"}},
                   {{507, "1"}, {681, "124"}, {719, "L2"}, {528, "2"}, {862, "99"}}});
    ComputeCombinationFillPrice(table, row, true);
    EXPECT_EQ(RequestsOf(16161), 1);
    EXPECT_DOUBLE_EQ(table.GetDouble(525, row), 50.0);
    EXPECT_GE(OrderFillTable.Find(763, "00000123|L1"), 0);
    EXPECT_EQ(OrderFillTable.Find(763, "00000124|L2"), -1);
    EXPECT_EQ(GetHighestFillSerial(), 17);
}

TEST_F(OrderQueryTest, CombinationTradesFoldIntoOneRowPerFilledOrder) {
    AddSpread("10", "10");
    SubmittedOrder o;
    o.orderNumber = 5;
    o.khh = "8001";
    o.exchange = "ZJ";
    o.contract = "SP";
    o.tradingCode = "J1";
    o.orderType = 4;
    o.quantity = 2;
    o.price = 50;
    InsertSubmittedOrder(o);
    o.orderNumber = 6;  // only one leg filled: its trades stay as they are
    InsertSubmittedOrder(o);
    CFixRecord trades;
    trades.Create(kTradeLayout);
    AddRow(trades, {{681, "9"}, {719, "cu"}, {528, "1"}});
    AddRow(trades, {{681, "5"},
                    {719, "L1"},
                    {1716, "J1"},
                    {528, "1"},
                    {524, "40000"},
                    {862, "3"},
                    {1776, "5"}});
    AddRow(trades, {{681, "6"}, {719, "L1"}, {1716, "J1"}, {528, "2"}, {524, "1"}});
    AddRow(trades, {{681, "5"},
                    {719, "L2"},
                    {1716, "J1"},
                    {528, "2"},
                    {524, "79000"},
                    {862, "8"},
                    {1776, "-1"}});
    AddRow(trades, {{681, "5"}, {719, "L1"}, {1716, "J1"}, {528, "1"}, {524, "40000"}, {862, "4"}});
    server.Script(16151, Answer{});  // order 9 is unknown to the server too
    MergeCombinationTrades(trades);
    ASSERT_EQ(trades.GetCount(), 3);
    EXPECT_EQ(trades.GetLong(681, 0), 9);
    EXPECT_EQ(trades.GetLong(681, 1), 5);
    EXPECT_EQ(trades.Get(719, 1), "SP");
    EXPECT_EQ(trades.GetLong(528, 1), 2);
    EXPECT_DOUBLE_EQ(trades.GetDouble(525, 1), 50.0);
    EXPECT_DOUBLE_EQ(trades.GetDouble(524, 1), 159000.0);
    EXPECT_DOUBLE_EQ(trades.GetDouble(1776, 1), 4.0);
    EXPECT_EQ(trades.GetLong(862, 1), 8);
    EXPECT_EQ(trades.GetLong(681, 2), 6);
    EXPECT_EQ(trades.GetLong(684, 2), 2);
}

TEST_F(OrderQueryTest, TwoSidedSellTradeTakesTheSellSide) {
    OrderTable.Create(kOrderLayout);
    AddRow(OrderTable, {{681, "3"},
                        {683, "3"},
                        {684, "4"},
                        {682, "10.5"},
                        {1859, "6"},
                        {1682, "10.75"},
                        {1681, "1"}});
    CFixRecord trades;
    trades.Create(kTradeLayout);
    AddRow(trades, {{681, "3"}, {683, "2"}, {528, "1"}});
    AddRow(trades, {{681, "3"}, {683, "1"}, {528, "1"}});
    AddRow(trades, {{681, "3"}, {683, "2"}, {1681, "4"}});  // combination: left alone
    FillTradeOrderFields(trades);
    EXPECT_EQ(trades.GetLong(684, 0), 6);
    EXPECT_DOUBLE_EQ(trades.GetDouble(682, 0), 10.75);
    EXPECT_EQ(trades.GetLong(684, 1), 4);
    EXPECT_DOUBLE_EQ(trades.GetDouble(682, 1), 10.5);
    EXPECT_EQ(trades.GetLong(684, 2), 0);
    EXPECT_EQ(RequestsOf(16151), 0);
}

TEST_F(OrderQueryTest, OrderRowTextsAndDecimals) {
    AddSpread("10", "10");
    CFixRecord table;
    table.Create(kOrderQueryLayout);
    const int plain =
        AddRow(table, {{599, "ZJ"}, {681, "1"}, {719, "L2"}, {1718, "1"}, {683, "1"}, {7113, "2"}});
    const int combo = AddRow(table, {{599, "ZJ"}, {681, "2"}, {719, "SP"}, {1718, "10"}});
    const int typed =
        AddRow(table, {{599, "ZJ"}, {681, "3"}, {719, "SPD L1&L2"}, {1681, "128"}, {830, "已报"}});
    for (int r : {plain, combo, typed}) FillOrderRowTexts(table, r);
    EXPECT_EQ(table.GetLong(1045, plain), 2);
    EXPECT_EQ(table.GetLong(3216, plain), 2);
    EXPECT_EQ(table.Get(754, combo), "组合");
    EXPECT_EQ(table.Get(817, combo), "组合单");
    EXPECT_EQ(table.Get(830, combo), "组合");
    EXPECT_EQ(table.Get(752, combo), "-");
    EXPECT_EQ(table.Get(830, typed), "已报");
    // Legs without a quote: no decimals yet, and the legs are marked for a quote refresh.
    EXPECT_EQ(table.GetLong(1045, combo), -1);
    EXPECT_EQ(table.GetLong(1045, typed), -1);
    EXPECT_TRUE(FuturesContractTable.GetLong(644, 0) & 0x8000);
    FuturesContractTable.Set(644, 1, 0);
    FuturesContractTable.Set(644, 1, 1);
    SetRowPriceDecimals(table, combo);
    SetRowPriceDecimals(table, typed);
    EXPECT_EQ(table.GetLong(1045, combo), 1);
    EXPECT_EQ(table.GetLong(1045, typed), 1);
}

TEST_F(OrderQueryTest, SingleOrderDetails) {
    server.Script(16151, {{{507, "1"}, {681, "77"}, {755, "W"}, {684, "9"}},
                          {{507, "1"},
                           {681, "77"},
                           {755, "O"},
                           {684, "5"},
                           {528, "2"},
                           {886, "1"},
                           {683, "2"},
                           {1718, "1"},
                           {1716, "J"},
                           {719, "cu"}}});
    OrderDetails d;
    ASSERT_EQ(QueryOrderDetails(client.get(), "8001", "SQ", 77, &d), 1);
    EXPECT_EQ(d.quantity, 5);
    EXPECT_EQ(d.filled, 2);
    EXPECT_EQ(d.cancelled, 1);
    EXPECT_EQ(d.direction, 2);
    EXPECT_EQ(d.tradingCode, "J");
    EXPECT_EQ(d.contract, "cu");
    server.Script(16151, Answer{});
    EXPECT_EQ(QueryOrderDetails(client.get(), "8001", "SQ", 78, &d), 0);
}

}  // namespace
}  // namespace tradedata
