// Tests of the positions view: legs paired into combination rows with quantities and amounts
// conserved, legs that must never pair, and the view without pairs.
#include "tradedata/CombinationPositions.h"

#include <gtest/gtest.h>

#include <string>

#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "tests/tradedata/PositionTestTables.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Positions.h"

namespace tradedata {
namespace {

using testing::AddFutures;
using testing::AddRow;

struct Leg {
    std::string code;
    int32_t side = 1;
    int32_t quantity = 2;
    int32_t pairable = 2;  // BDSL
    int32_t order = 7;
    std::string number = "55";
    std::string tradingCode = "T1";
    int32_t today = 1;
    double margin = 1000;
    double amount = 70000;
};

class CombinationPositionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        testing::CreateContractTables();
        AddFutures("cu2501", "SQ", {3500, 3450, 10});
        AddFutures("cu2502", "SQ", {3400, 3380, 10});
        testing::SortFutures();
        testing::AddCombination("SP cu2501&cu2502", "cu2501", "cu2502");
        details.Create(kPositionDetailLayout);
    }
    void TearDown() override { testing::ResetGlobalTables(); }

    int Add(const Leg& leg) {
        const int r = AddRow(details, {{605, "8001"},
                                       {599, "SQ"},
                                       {719, leg.code},
                                       {1716, leg.tradingCode},
                                       {603, "20250102"},
                                       {889, leg.number}});
        details.Set(683, leg.side, r);
        details.Set(757, leg.quantity, r);
        details.Set(1460, leg.quantity, r);
        details.Set(958, leg.pairable, r);
        details.Set(681, leg.order, r);
        details.Set(1137, leg.today, r);
        details.Set(1720, leg.margin, r);
        details.Set(524, leg.amount, r);
        details.Set(leg.today ? 2040 : 2039, leg.amount, r);
        details.Set(leg.today ? 845 : 853, leg.quantity, r);
        details.Set(1752, 10.0, r);
        return r;
    }

    // Sums over the view: single quantities count once, combination quantities once per leg.
    struct Totals {
        int32_t legQuantity = 0;
        double margin = 0, amount = 0;
    };
    static Totals Sum(CFixRecord& t) {
        Totals s;
        for (int r = 0; r < t.GetCount(); ++r) {
            const bool combination = t.GetLong(1873, r) == 2;
            s.legQuantity += t.GetLong(757, r) * (combination ? 2 : 1);
            s.margin += t.GetDouble(1720, r);
            s.amount +=
                combination ? t.GetDouble(2027, r) + t.GetDouble(2028, r) : t.GetDouble(524, r);
        }
        return s;
    }

    CFixRecord details;
    CFixRecord view;
};

TEST_F(CombinationPositionsTest, OpposedLegsOfOneOrderFormOneCombinationRow) {
    Add({"cu2502", 2, 2, 2, 7, "55", "T1", 1, 800, 68000});
    Add({"cu2501", 1, 2, 2, 7, "55", "T1", 1, 1000, 70000});
    for (bool detailMode : {false, true}) {
        ASSERT_EQ(BuildPositionView(view, details, detailMode, true), 1) << detailMode;
        ASSERT_EQ(view.GetCount(), 1) << detailMode;
        EXPECT_EQ(view.Get(719, 0), "SP cu2501&cu2502");
        EXPECT_EQ(view.GetLong(1873, 0), 2);
        EXPECT_EQ(view.GetLong(683, 0), 1);  // leg 1's side
        EXPECT_EQ(view.GetLong(757, 0), 2);
        EXPECT_EQ(view.GetLong(845, 0), 2);
        EXPECT_EQ(view.GetLong(684, 0), 0);
        EXPECT_DOUBLE_EQ(view.GetDouble(1720, 0), 1800.0);
        EXPECT_DOUBLE_EQ(view.GetDouble(2027, 0), 70000.0);
        EXPECT_DOUBLE_EQ(view.GetDouble(2028, 0), 68000.0);
        EXPECT_DOUBLE_EQ(view.GetDouble(1209, 0), (7000.0 - 6800.0) / 2);
        EXPECT_DOUBLE_EQ(view.GetDouble(729, 0), 100.0);  // 3500 - 3400, revalued
        EXPECT_EQ(view.Get(752, 0), "买入");
        if (detailMode) {
            EXPECT_EQ(view.Get(662, 0), "今");
        }
    }
}

TEST_F(CombinationPositionsTest, LegsThatMustNotPair) {
    struct Case {
        const char* what;
        Leg second;
    };
    const Case cases[] = {
        {"other trading code", {"cu2502", 2, 2, 2, 7, "55", "T2"}},
        {"same side", {"cu2502", 1, 2, 2, 7, "55"}},
        {"other order", {"cu2502", 2, 2, 2, 8, "55"}},
        {"other combination number", {"cu2502", 2, 2, 2, 7, "56"}},
        {"no combination number", {"cu2502", 2, 2, 2, 7, ""}},
        {"nothing pairable", {"cu2502", 2, 2, 0, 7, "55"}},
        {"other day", {"cu2502", 2, 2, 2, 7, "55", "T1", 0}},
        {"no combination of the legs", {"cu2503", 2, 2, 2, 7, "55"}},
    };
    for (const Case& c : cases) {
        details.GetMemRecord()->Zap();
        Add({"cu2501", 1, 2, 2, 7, "55"});
        Add(c.second);
        EXPECT_EQ(BuildPositionView(view, details, true, true), 0) << c.what;
        EXPECT_EQ(view.GetCount(), 2) << c.what;
    }
}

TEST_F(CombinationPositionsTest, WithoutPairsTheViewIsTheSummary) {
    Add({"cu2501", 1, 2, 2, 7, "55", "T1", 1});
    Add({"cu2501", 1, 3, 0, 8, "", "T1", 0, 500, 100000});
    Add({"cu2502", 1, 1, 0, 9, ""});
    ASSERT_EQ(BuildPositionView(view, details, false, true), 0);
    CFixRecord summary;
    summary.Create(kPositionSummaryLayout);
    BuildPositionSummary(summary, details, true);
    ASSERT_EQ(view.GetCount(), summary.GetCount());
    for (int r = 0; r < view.GetCount(); ++r)
        for (unsigned id : {719u, 683u, 757u, 845u, 853u, 524u, 1209u, 1773u, 1774u})
            EXPECT_EQ(view.Get(id, r), summary.Get(id, r)) << r << " " << id;
}

// Partly paired legs and a second pass over legs of other orders: every hand and every amount
// of the legs is either in a single row or in a combination row.
TEST_F(CombinationPositionsTest, PartialPairsConserveTotals) {
    Add({"cu2501", 1, 5, 2, 7, "55", "T1", 1, 1000, 175000});
    Add({"cu2502", 2, 3, 2, 7, "55", "T1", 1, 600, 102000});
    Add({"cu2502", 2, 2, 0, 9, "", "T1", 0, 333.33, 67777.77});  // yesterday, another order
    CFixRecord summary;
    summary.Create(kPositionSummaryLayout);
    BuildPositionSummary(summary, details, true);
    const Totals before = Sum(summary);
    for (bool detailMode : {false, true}) {
        ASSERT_EQ(BuildPositionView(view, details, detailMode, false), 1) << detailMode;
        const Totals after = Sum(view);
        EXPECT_EQ(after.legQuantity, before.legQuantity) << detailMode;
        EXPECT_NEAR(after.margin, before.margin, 1e-6) << detailMode;
        EXPECT_NEAR(after.amount, before.amount, 1e-6) << detailMode;
        int32_t combined = 0;
        for (int r = 0; r < view.GetCount(); ++r)
            if (view.GetLong(1873, r) == 2) combined += view.GetLong(757, r);
        // Two of the same order; summary mode then pairs the rest across orders and days,
        // detail mode only what the server marked pairable (BDSL), within the day.
        EXPECT_EQ(combined, detailMode ? 2 : 5) << detailMode;
    }
    // Only legs with an order number: no second pass.
    ASSERT_EQ(BuildPositionView(view, details, false, true), 1);
    int32_t combined = 0;
    for (int r = 0; r < view.GetCount(); ++r)
        if (view.GetLong(1873, r) == 2) combined += view.GetLong(757, r);
    EXPECT_EQ(combined, 2);
    EXPECT_EQ(Sum(view).legQuantity, before.legQuantity);
}

}  // namespace
}  // namespace tradedata
