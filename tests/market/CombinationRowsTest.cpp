// The combination-quote rows of the board: spreads and their volumes from the legs, a leg
// price of 0 giving spread 0, the trend of the last spread against the settlement spread.
#include "market/CombinationRows.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/GlobalTables.h"

namespace market {
namespace {

using tradedata::testing::AddRow;

TEST(CombinationRowsTest, SpreadsComeFromTheLegsAndAMissingPriceGivesZero) {
    tradedata::testing::ResetGlobalTables();
    tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
    tradedata::CombinationQuoteListTable.Create(tradedata::kCombinationQuoteListLayout);
    const struct {
        const char* bid1;
        const char* ask1;
        const char* last1;
        double sell, buy, last;  // 1797 (leg 1 bid - leg 2 ask), 1799, 729
        int image;
    } cases[] = {
        {"100", "101", "100.5", -4, -2, -3, 1},  // last spread above the settlement's -5
        {"0", "101", "95", 0, -2, -8.5, 2},      // no bid on leg 1: that spread is 0
        {"100", "0", "0", -4, 0, 0, 1},          // no ask, no last
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bid1);
        tradedata::FuturesContractTable.GetMemRecord()->Zap();
        tradedata::CombinationQuoteListTable.GetMemRecord()->Zap();
        AddRow(tradedata::FuturesContractTable, {{719, "cu2601"},
                                                 {842, c.bid1},
                                                 {850, c.ask1},
                                                 {729, c.last1},
                                                 {813, "100"},
                                                 {843, "3"},
                                                 {851, "7"},
                                                 {528, "11"}});
        AddRow(tradedata::FuturesContractTable, {{719, "cu2602"},
                                                 {842, "103"},
                                                 {850, "104"},
                                                 {729, "103.5"},
                                                 {813, "105"},
                                                 {843, "4"},
                                                 {851, "2"},
                                                 {528, "12"}});
        AddRow(tradedata::CombinationQuoteListTable, {{1392, "cu2601"}, {1393, "cu2602"}});
        RefreshCombinationRows(tradedata::CombinationQuoteListTable);
        CFixRecord& list = tradedata::CombinationQuoteListTable;
        EXPECT_DOUBLE_EQ(list.GetDouble(1797, 0), c.sell);
        EXPECT_DOUBLE_EQ(list.GetDouble(1799, 0), c.buy);
        EXPECT_DOUBLE_EQ(list.GetDouble(729, 0), c.last);
        EXPECT_DOUBLE_EQ(list.GetDouble(813, 0), -5);
        EXPECT_EQ(list.GetLong(3216, 0), c.image);
        EXPECT_EQ(list.GetLong(1914, 0), 2);  // leg 2 ask volume against leg 1 bid volume
        EXPECT_EQ(list.GetLong(1916, 0), 4);  // leg 2 bid volume against leg 1 ask volume
        EXPECT_EQ(list.GetLong(528, 0), 11);
        EXPECT_EQ(list.GetLong(1874, 0), 12);
        // Without an exchange combination the row's bid and ask are the leg spreads.
        EXPECT_DOUBLE_EQ(list.GetDouble(1905, 0), c.sell);
        EXPECT_DOUBLE_EQ(list.GetDouble(1907, 0), c.buy);
    }
    tradedata::testing::ResetGlobalTables();
}

}  // namespace
}  // namespace market
