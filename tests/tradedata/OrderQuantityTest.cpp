// Tests of the largest orderable quantity: the local estimate from rates and funds, the cases
// that go to the server (no rates, nothing to divide by, options), the exchanges whose answer
// replaces the estimate, and closes limited by the available positions.
#include "tradedata/OrderQuantity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/Clock.h"
#include "tests/tradedata/ServerFixture.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/TestServer.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Rates.h"

namespace tradedata {
namespace {

using testing::AddRow;

class OrderQuantityTest : public testing::ServerTest {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        StartAndConnect();
        account = AddAccount(1, "8001", "01", "甲", "pw", nullptr);
        SetLoginAccount(account);
        SetAccountFlag(kFlagActive, account);
        ClearAccountNotify(0xFFFF, account);
        ExchangeTable.Create(kExchangeLayout);
        AddRow(ExchangeTable, {{599, "DL"}, {1710, "1"}});
        AddRow(ExchangeTable, {{599, "SQ"}, {1710, "2"}});
        FuturesContractTable.Create(kFuturesContractLayout);
        for (const char* exchange : {"DL", "SQ"}) {
            const std::string code = std::string(exchange) == "DL" ? "m2501" : "cu2501";
            AddRow(FuturesContractTable, {{599, exchange},
                                          {719, code},
                                          {1752, "10"},
                                          {511, "RMB"},
                                          {706, "5000"},
                                          {686, "20"},
                                          {1755, "5"}});
        }
        OptionContractTable.Create(kOptionContractLayout);
        AddRow(OptionContractTable, {{599, "DL"}, {9100, "m2501-C-3000"}, {719, "m2501"}});
        TradingCodeTable.Create(kTradingCodeLayout);
        AddRow(TradingCodeTable, {{605, "8001"}, {599, "DL"}, {1716, "J1"}, {795, "F1"}});
        AddRow(TradingCodeTable, {{605, "8001"}, {599, "SQ"}, {1716, "J2"}, {795, "F1"}});
        FundsTable.Create(kFundsLayout);
        AddRow(FundsTable, {{605, "8001"}, {511, "RMB"}, {716, "F1"}, {619, "100000"}});
        SetRates("m2501", "DL", 0.1, 0, 0.0001, 0);
        SetRates("cu2501", "SQ", 0.1, 0, 0.0001, 0);
        PositionSummaryTable.Create(kPositionSummaryLayout);
    }
    void TearDown() override {
        Disconnect();
        testing::ResetGlobalTables();
    }
    void SetRates(const char* code, const char* exchange, double marginRatio, double marginHand,
                  double feeRatio, double feeHand) {
        const int row = FindRateRow("8001", exchange, code, 0);
        ASSERT_GE(row, 0);
        RateTable.Set(644, kRateLoaded, row);
        RateTable.Set(1759, marginRatio, row);
        RateTable.Set(1760, marginHand, row);
        RateTable.Set(1821, feeRatio, row);
        RateTable.Set(1822, feeHand, row);
    }
    static QuantityRequest Open(const char* code = "m2501", double price = 4000) {
        QuantityRequest r;
        r.khh = "8001";
        r.exchange = "DL";
        r.contract = code;
        r.tradingCode = "J1";
        r.direction = 1;
        r.openClose = 1;
        r.price = price;
        return r;
    }
    std::vector<int32_t> SentTags(int32_t function) {
        std::vector<int32_t> tags;
        for (const auto& r : server.Requests())
            if (r.function == function) {
                tags.clear();
                for (const auto& f : r.fields)
                    if (f.tag != 8 && f.tag != 35) tags.push_back(f.tag);
            }
        return tags;
    }

    testing::SettingsSandbox sandbox;
    int account = -1;
};

TEST_F(OrderQuantityTest, LocalEstimateFromRatesAndFunds) {
    // Fee 4 and margin 4,000 per hand: 100,000 / 4,004 = 24.
    EXPECT_EQ(GetMaxOrderQuantity(client.get(), Open()), 24);
    EXPECT_EQ(RequestsOf(16112), 0);
    // The order cap of a limit-price order (20), of a market order (5).
    QuantityRequest capped = Open("m2501", 400);
    capped.applyOrderCap = true;
    EXPECT_EQ(GetMaxOrderQuantity(client.get(), capped), 20);
    capped.limitPrice = false;
    EXPECT_EQ(GetMaxOrderQuantity(client.get(), capped), 5);
    // No price: the limit-up price (5,000: fee 5, margin 5,000 -> 19).
    EXPECT_EQ(GetMaxOrderQuantity(client.get(), Open("m2501", 0)), 19);
    // Negative funds give 0, never a negative quantity.
    FundsTable.Set(619, -5000.0, 0);
    EXPECT_EQ(GetMaxOrderQuantity(client.get(), Open()), 0);
}

TEST_F(OrderQuantityTest, WhatCannotBeComputedGoesToTheServer) {
    server.Script(16112, {{{507, "1"}, {684, "7"}}});
    server.Script(16135, {{{507, "1"}, {684, "3"}}});
    // All four rates 0.
    SetRates("m2501", "DL", 0, 0, 0, 0);
    EXPECT_EQ(GetMaxOrderQuantity(client.get(), Open()), 7);
    EXPECT_EQ(SentTags(16112), (std::vector<int32_t>{605, 598, 781, 599, 719, 1716, 1717, 683, 1681,
                                                     9020, 1718, 682}));
    EXPECT_EQ(Sent(16112, 9020), "1");
    // Rates present but a price of 0 with no limit-up price: nothing to divide by.
    SetRates("m2501", "DL", 0.1, 0, 0.0001, 0);
    FuturesContractTable.Set(706, 0.0, 0);
    server.ClearRequests();
    EXPECT_EQ(GetMaxOrderQuantity(client.get(), Open("m2501", 0)), 7);
    EXPECT_EQ(RequestsOf(16112), 1);
    // Funds being refreshed (NOTIFY 0x10): the local figures are stale.
    FuturesContractTable.Set(706, 5000.0, 0);
    SetAccountNotify(0x10, account);
    EXPECT_EQ(GetMaxOrderQuantity(client.get(), Open()), 7);
    ClearAccountNotify(0x10, account);
    // Options always ask, with their own function and code tag.
    EXPECT_EQ(GetMaxOrderQuantity(client.get(), Open("m2501-C-3000")), 3);
    EXPECT_EQ(Sent(16135, 9100), "m2501-C-3000");
    EXPECT_EQ(Sent(16135, 595), "1");
    // Missing pieces of the request: 0 without asking.
    QuantityRequest none = Open();
    none.direction = 0;
    server.ClearRequests();
    EXPECT_EQ(GetMaxOrderQuantity(client.get(), none), 0);
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(OrderQuantityTest, ServerAnswerReplacesTheEstimateOnSomeExchanges) {
    QuantityRequest r = Open("cu2501");
    r.exchange = "SQ";
    r.tradingCode = "J2";
    server.Script(16112, {{{507, "1"}, {684, "11"}}});
    EXPECT_EQ(GetMaxOrderQuantity(client.get(), r), 11);
    // An answer below 1 keeps the local estimate.
    server.Script(16112, {{{507, "1"}, {684, "0"}}});
    EXPECT_EQ(GetMaxOrderQuantity(client.get(), r), 24);
}

TEST_F(OrderQuantityTest, ClosesAreLimitedByTheAvailablePosition) {
    // A sell that closes the buy position.
    AddRow(PositionSummaryTable, {{599, "DL"},
                                  {719, "m2501"},
                                  {1716, "J1"},
                                  {683, "1"},
                                  {1717, "0"},
                                  {1860, "3"},
                                  {1861, "5"}});
    AddRow(PositionSummaryTable, {{599, "SQ"},
                                  {719, "cu2501"},
                                  {1716, "J2"},
                                  {683, "1"},
                                  {1717, "0"},
                                  {1860, "3"},
                                  {1861, "5"}});
    struct Case {
        const char* exchange;
        const char* code;
        const char* tradingCode;
        int32_t openClose;
        int32_t expected;
    } cases[] = {
        {"SQ", "cu2501", "J2", 4, 5},  // close today, today and yesterday separate
        {"SQ", "cu2501", "J2", 2, 3},  // close (yesterday)
        {"DL", "m2501", "J1", 4, 8},   // one pool
        {"DL", "m2501", "J1", 2, 8},
    };
    for (const Case& c : cases) {
        QuantityRequest r = Open(c.code);
        r.exchange = c.exchange;
        r.tradingCode = c.tradingCode;
        r.direction = 2;
        r.openClose = c.openClose;
        EXPECT_EQ(GetMaxOrderQuantity(client.get(), r), c.expected)
            << c.exchange << " " << c.openClose;
    }
    // Kinds 6 and 7 close the position on the order's own side: none held on the sell side.
    QuantityRequest own = Open();
    own.direction = 2;
    own.openClose = 6;
    EXPECT_EQ(GetMaxOrderQuantity(client.get(), own), 0);
}

}  // namespace
}  // namespace tradedata
