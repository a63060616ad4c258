// Tests of the funds recomputation: the risk ratio's cases, equity and the sums from the
// positions, the currency-rule sum, and the recomputation while a funds answer inserts rows.
#include "tradedata/Funds.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/GlobalTables.h"

namespace tradedata {
namespace {

using testing::AddRow;

TEST(FundsTest, RiskRatioCases) {
    struct Case {
        double margin, equity, ratio;
    };
    const Case cases[] = {
        {50, 0, 999.99},       {0, 0, 0},       {50, 100, 0.5}, {2000, 1, 999.99},
        {50, -5, 999.99},      {0, 100, 0},     {0.0005, 0, 0}, {50, 0.0009, 999.99},
        {50, -0.0009, 999.99}, {0, -5, 999.99},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(CalcRiskRatio(c.margin, c.equity), c.ratio)
            << c.margin << " / " << c.equity;
}

class RecalcFundsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        FundsTable.Create(kFundsLayout);
        ProductTable.Create(kProductLayout);
        positions.Create(kPositionSummaryLayout);
    }
    void TearDown() override { testing::ResetGlobalTables(); }
    int AddFunds(const std::string& khh, const std::string& currency) {
        const std::string key = "F" + khh + "|" + currency;
        const int r =
            FundsTable.GetMemRecord()->InsertKey(FundsTable.FindIndex(763), key.c_str(), true);
        FundsTable.Set(605, khh, r);
        FundsTable.Set(511, currency, r);
        return r;
    }
    void AddPosition(const std::string& khh, const std::string& currency, int32_t kind,
                     int32_t side, double mtm, double floating, double value,
                     const std::string& product = "cu") {
        const int r = AddRow(positions, {{605, khh}, {511, currency}, {720, product}});
        positions.Set(1873, kind, r);
        positions.Set(683, side, r);
        positions.Set(1774, mtm, r);
        positions.Set(1773, floating, r);
        positions.Set(9137, value, r);
    }
    CFixRecord positions;
};

TEST_F(RecalcFundsTest, EquityAndSumsOfTheCustomersRowsInItsCurrency) {
    AddRow(ProductTable, {{763, "SQau"}, {720, "au"}, {9020, "1"}});
    const int rmb = AddFunds("8001", "RMB");
    const int usd = AddFunds("8001", "USD");
    const int other = AddFunds("9009", "RMB");
    for (unsigned id : {709u, 652u, 1776u, 9125u, 9126u, 1746u, 2570u, 2569u})
        FundsTable.Set(id, 10.0 * id, rmb);
    FundsTable.Set(1720, 5000.0, rmb);
    FundsTable.Set(619, 123.0, other);
    AddPosition("8001", "RMB", 0, 1, 100, 40, 0);
    AddPosition("8001", "", 0, 2, -30, -10, 0, "au");  // no currency counts as RMB
    AddPosition("8001", "RMB", 1, 1, 0, 7, 900);
    AddPosition("8001", "RMB", 7, 2, 0, 3, -200);
    AddPosition("8001", "RMB", 0, 0, 1000, 1000, 0);  // not a side: left out
    AddPosition("8001", "USD", 0, 1, 55, 5, 0);
    AddPosition("9009", "RMB", 0, 1, 77, 7, 0);
    ASSERT_TRUE(RecalcFunds("8001", positions));

    const double equity = 7090 + 6520 + 70 + 17760 + 91250 - 91260 - 17460 + 25700 - 25690;
    EXPECT_DOUBLE_EQ(FundsTable.GetDouble(1779, rmb), equity);
    EXPECT_DOUBLE_EQ(FundsTable.GetDouble(1774, rmb), 70);
    EXPECT_DOUBLE_EQ(FundsTable.GetDouble(1773, rmb), 30);
    EXPECT_DOUBLE_EQ(FundsTable.GetDouble(761, rmb), 10);
    EXPECT_DOUBLE_EQ(FundsTable.GetDouble(9137, rmb), 700);
    EXPECT_DOUBLE_EQ(FundsTable.GetDouble(1792, rmb), -30);
    EXPECT_NEAR(FundsTable.GetDouble(1724, rmb), 5000 / equity, 1e-12);
    const AvailableFunds a = CalcAvailableFunds(FundsTable, rmb);
    EXPECT_DOUBLE_EQ(FundsTable.GetDouble(619, rmb), a.available);
    EXPECT_DOUBLE_EQ(FundsTable.GetDouble(1774, usd), 55);
    EXPECT_DOUBLE_EQ(FundsTable.GetDouble(619, other), 123.0);  // another customer's row
    EXPECT_EQ(FindFundsRow("8001", ""), rmb);
    EXPECT_DOUBLE_EQ(GetAvailableFunds("8001", "RMB"), a.available);
    EXPECT_EQ(FindFundsRow("8002", "RMB"), -1);
    EXPECT_DOUBLE_EQ(GetAvailableFunds("8002", "RMB"), 0.0);
    EXPECT_FALSE(RecalcFunds("8002", positions));
}

TEST_F(RecalcFundsTest, PledgeFiguresAreClampedAndRounded) {
    const int r = AddFunds("8001", "RMB");
    FundsTable.Set(709, 100.0, r);
    FundsTable.Set(2570, 50.0, r);
    FundsTable.Set(1720, 400.0, r);
    CalculationParameters rules;
    const AvailableFunds a = CalcAvailableFunds(FundsTable, r, rules);
    EXPECT_DOUBLE_EQ(a.available, -300.0);  // available may stay negative
    EXPECT_DOUBLE_EQ(a.withdrawable, 0.0);  // withdrawable never does
    EXPECT_DOUBLE_EQ(a.pledgeBalance, 50.0);
    EXPECT_DOUBLE_EQ(a.pledgeTradable, 50.0);
    FundsTable.Set(2570, 0.0, r);
    const AvailableFunds none = CalcAvailableFunds(FundsTable, r, rules);
    EXPECT_DOUBLE_EQ(none.pledgeBalance, 0.0);
    EXPECT_DOUBLE_EQ(none.pledgeTradable, 0.0);
}

// A funds answer inserts rows by key on the query thread while the worker recomputes: every
// row the worker writes must still be the customer's row when it writes it.
TEST_F(RecalcFundsTest, RecomputeWhileAnotherThreadInsertsRows) {
    for (const char* currency : {"RMB", "USD", "HKD"}) AddFunds("8001", currency);
    for (const char* currency : {"RMB", "USD", "HKD"})
        AddPosition("8001", currency, 0, 1, 100, 40, 0);
    std::atomic<bool> done{false};
    std::thread inserter([&] {
        for (int i = 0; i < 400; ++i) {
            // Keys that sort before the customer's rows shift them on every insert.
            const std::string key = "A" + std::to_string(100000 + i) + "|RMB";
            FundsTable.acquireLockExclusive();
            const int r =
                FundsTable.GetMemRecord()->InsertKey(FundsTable.FindIndex(763), key.c_str(), true);
            FundsTable.Set(605, "9009", r);
            FundsTable.Set(511, "RMB", r);
            FundsTable.releaseLockExclusive();
        }
        done.store(true);
    });
    int passes = 0;
    while (!done.load() || passes < 10) {
        EXPECT_TRUE(RecalcFunds("8001", positions));
        ++passes;
    }
    inserter.join();
    EXPECT_EQ(FundsTable.GetCount(), 403);
    for (int r = 0; r < FundsTable.GetCount(); ++r) {
        if (FundsTable.Get(605, r) == "9009") {
            EXPECT_DOUBLE_EQ(FundsTable.GetDouble(1774, r), 0.0) << r;
            EXPECT_DOUBLE_EQ(FundsTable.GetDouble(1779, r), 0.0) << r;
        } else {
            EXPECT_DOUBLE_EQ(FundsTable.GetDouble(1774, r), 100.0) << r;
        }
    }
}

}  // namespace
}  // namespace tradedata
