// Tests of the position grids' rules: the summary rows by product, direction and currency
// (none for one currency without grouping, totals for two, option kinds apart, the same rows
// when rebuilt), the cell texts with their "--.-" and trailing-zero rules, and expiry marks.
#include "views/PositionRows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "record/MemRecord.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/GlobalTables.h"

namespace views {
namespace {

using tradedata::testing::AddRow;

class PositionRowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        tradedata::testing::ResetGlobalTables();
        tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
        tradedata::OptionContractTable.Create(tradedata::kOptionContractLayout);
        tradedata::ProductTable.Create(tradedata::kProductLayout);
        tradedata::CurrencyTable.Create(tradedata::kCurrencyLayout);
        AddRow(tradedata::FuturesContractTable, {{599, "SQ"}, {719, "cu2701"}, {720, "cu"}});
        AddRow(tradedata::FuturesContractTable, {{599, "SQ"}, {719, "cu2702"}, {720, "cu"}});
        AddRow(tradedata::FuturesContractTable, {{599, "SQ"}, {719, "au2702"}, {720, "au"}});
        AddRow(tradedata::ProductTable, {{599, "SQ"}, {720, "cu"}, {763, "SQcu"}, {721, "铜"}});
        AddRow(tradedata::ProductTable, {{599, "SQ"}, {720, "au"}, {763, "SQau"}, {721, "黄金"}});
        AddRow(tradedata::CurrencyTable, {{511, "RMB"}, {514, "人民币"}});
        AddRow(tradedata::CurrencyTable, {{511, "USD"}, {514, "美元"}});
        rows.Create(tradedata::kPositionSummaryLayout);
    }
    void TearDown() override { tradedata::testing::ResetGlobalTables(); }
    void Add(const char* contract, int direction, int position, const char* currency = "RMB",
             int kind = 0) {
        AddRow(rows, {{605, "8001"},
                      {599, "SQ"},
                      {719, contract},
                      {683, std::to_string(direction)},
                      {757, std::to_string(position)},
                      {1720, std::to_string(position * 100)},
                      {511, currency},
                      {1873, std::to_string(kind)}});
    }
    // Label (601), code (719) and position (757) of each summary row, in order.
    std::vector<std::string> Summaries() {
        std::vector<std::string> out;
        for (int row = 0; row < rows.GetCount(); ++row)
            if (rows.GetLong(683, row) == 0)
                out.push_back(rows.Get(601, row) + "/" + rows.Get(719, row) + "/" +
                              rows.Get(757, row));
        return out;
    }

    CFixRecord rows;
};

TEST_F(PositionRowsTest, SummaryRowsByGroupingAndCurrency) {
    struct Case {
        const char* name;
        bool byProduct, byDirection, twoCurrencies;
        std::vector<std::string> summaries;
    } cases[] = {
        {"none", false, false, false, {}},
        {"currency totals", false, false, true, {"人民币合计/人民币合计/7", "美元合计/美元合计/4"}},
        {"by product", true, false, false, {"铜//8", "黄金//2"}},
        {"by direction", false, true, false, {"人民币买入//7", "人民币卖出//3"}},
        {"both", true, true, false, {"铜买入//5", "铜卖出//3", "黄金买入//2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rows.Create(tradedata::kPositionSummaryLayout);
        Add("cu2701", 1, 5);
        Add("cu2702", 2, 3, c.twoCurrencies ? "USD" : "RMB");
        Add("au2702", 1, 2);
        if (c.twoCurrencies) Add("cu2702", 1, 1, "USD");
        SummaryGrouping grouping;
        grouping.byProduct = c.byProduct;
        grouping.byDirection = c.byDirection;
        BuildSummaryRows(rows, grouping);
        EXPECT_EQ(Summaries(), c.summaries);
        // The product codes were written into the position rows.
        EXPECT_EQ(rows.Get(720, 0), "cu");
        // Rebuilding gives the same rows.
        const int count = rows.GetCount();
        BuildSummaryRows(rows, grouping);
        EXPECT_EQ(rows.GetCount(), count);
    }
}

TEST_F(PositionRowsTest, OptionKindsOneAndSevenStayApart) {
    Add("cu2701", 1, 2, "RMB", 1);
    Add("cu2702", 1, 3, "RMB", 7);
    Add("cu2702", 2, 4, "RMB", 1);
    SummaryGrouping grouping;
    grouping.byProduct = true;
    BuildSummaryRows(rows, grouping);
    std::vector<std::string> got = Summaries();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].substr(0, got[0].find('/')), "铜期权");
    EXPECT_EQ(got[1].substr(0, got[1].find('/')), "铜期权");
    EXPECT_EQ(rows.GetLong(757, rows.GetCount() - 2) + rows.GetLong(757, rows.GetCount() - 1), 9);
}

TEST_F(PositionRowsTest, AnEmptyTargetGetsNothing) {
    BuildSummaryRows(rows, {true, true, false});
    EXPECT_EQ(rows.GetCount(), 0);
    CFixRecord unbound;
    BuildSummaryRows(unbound, {true, true, false});  // no layout: nothing, no fault
}

TEST_F(PositionRowsTest, CellTexts) {
    struct Case {
        std::vector<tradedata::testing::Cell> cells;
        int field;
        const char* text;  // null: the grid's own text
    } cases[] = {
        {{{683, "1"}, {1045, "1"}, {729, "0"}}, 729, "--.-"},
        {{{683, "1"}, {1045, "1"}, {729, "70120"}}, 729, "70120.0"},
        {{{683, "1"}, {1045, "-1"}, {729, "70120"}}, 729, nullptr},
        {{{683, "1"}, {1045, "1"}, {1209, "70120.5"}}, 1209, "70120.5"},
        {{{683, "1"}, {1045, "0"}, {1209, "70120"}}, 1209, "70120"},
        {{{683, "1"}, {1045, "1"}, {853, "0"}, {854, "7"}}, 854, "--.-"},
        {{{683, "1"}, {1045, "1"}, {853, "2"}, {854, "7.25"}}, 854, "7.25"},
        {{{683, "1"}, {1045, "1"}, {845, "0"}, {846, "7"}}, 846, "--.-"},
        {{{683, "0"}, {757, "9"}}, 757, nullptr},  // a summed column of a summary row
        {{{683, "0"}, {729, "70120"}}, 729, ""},   // any other column is blank
    };
    for (const Case& c : cases) {
        rows.Create(tradedata::kPositionSummaryLayout);
        const int row = rows.GetMemRecord()->Append(nullptr, true);
        for (const auto& cell : c.cells) rows.Set(cell.id, cell.text.c_str(), row);
        std::string text;
        SCOPED_TRACE(c.field);
        EXPECT_EQ(FormatPositionCell(rows, row, c.field, false, text), c.text != nullptr);
        if (c.text != nullptr) {
            EXPECT_EQ(text, c.text);
        }
    }
}

TEST_F(PositionRowsTest, ExpiryMarks) {
    AddRow(tradedata::OptionContractTable, {{9100, "cu2701C70000"}, {590, "2027.01.15"}});
    AddRow(tradedata::OptionContractTable, {{9100, "cu2701P70000"}, {590, "2027.01.28"}});
    AddRow(rows, {{719, "cu2701C70000"}, {683, "1"}, {722, "铜看涨"}});
    AddRow(rows, {{719, "cu2701P70000"}, {683, "2"}, {722, "铜看跌"}});
    AddRow(rows, {{719, "cu2701P70000"}, {683, "0"}, {722, "合计"}});
    MarkExpiringOptions(rows, "2027.01.15");
    MarkExpiringOptions(rows, "2027.01.15");  // marked once
    EXPECT_EQ(rows.Get(722, 0), "[到期]铜看涨");
    EXPECT_EQ(rows.Get(722, 1), "[本月到期]铜看跌");
    EXPECT_EQ(rows.Get(722, 2), "合计");
}

}  // namespace
}  // namespace views
