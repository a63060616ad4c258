// Tests of the global tables: layouts, the table service, whole replacement into the same
// object, rebuilds seen whole by readers on other threads, and row removal by value.
#include "tradedata/GlobalTables.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <set>
#include <thread>

#include "tests/tradedata/TradeDataFixture.h"

namespace tradedata {
namespace {

using testing::AddRow;

class GlobalTablesTest : public ::testing::Test {
protected:
    void SetUp() override { testing::ResetGlobalTables(); }
    void TearDown() override { testing::ResetGlobalTables(); }
};

TEST_F(GlobalTablesTest, LayoutsHaveTheirColumnCounts) {
    struct Case {
        const char* name;
        const tagFIXHEADERINFO* layout;
        int columns;
    };
    const Case cases[] = {
        {"AccountTable", kAccountLayout, 21},
        {"TradingCodeTable", kTradingCodeLayout, 7},
        {"FundsTable", kFundsLayout, 42},
        {"PositionDetailTable", kPositionDetailLayout, 76},
        {"PositionSummaryTable", kPositionSummaryLayout, 73},
        {"BankAccountTable", kBankAccountLayout, 8},
        {"NoticeTable", kNoticeLayout, 11},
        {"MessageTable", kMessageLayout, 6},
        {"LinkedClientTable", kLinkedClientLayout, 5},
        {"TradingGroupTable", kTradingGroupLayout, 6},
        {"GroupMemberTable", kGroupMemberLayout, 7},
        {"PreplacedOrderTable", kPreplacedOrderLayout, 23},
        {"CombinationQuoteListTable", kCombinationQuoteListLayout, 43},
        {"ContractParamTable", kContractParamLayout, 13},
        {"OptionCombinationTable", kOptionCombinationLayout, 30},
        {"ExchangeTable", kExchangeLayout, 11},
        {"ProductTable", kProductLayout, 19},
        {"CurrencyTable", kCurrencyLayout, 2},
        {"DictionaryTable", kDictionaryLayout, 4},
        {"PriceSourceTable", kPriceSourceLayout, 2},
        {"BankTable", kBankLayout, 5},
        {"CombinationLegTable", kCombinationLegLayout, 7},
        {"QuoteSubscriptionTable", kQuoteSubscriptionLayout, 4},
        {"RateTable", kRateLayout, 16},
        {"ClientMarginTable", kClientMarginLayout, 10},
        {"ExchangeRateTable", kExchangeRateLayout, 6},
        {"TradeCardParamTable", kTradeCardParamLayout, 9},
        {"OrderCountTable", kOrderCountLayout, 11},
        {"FuturesContractTable", kFuturesContractLayout, 97},
        {"CombinationContractTable", kCombinationContractLayout, 53},
        {"OptionContractTable", kOptionContractLayout, 71},
        {"OrderTable", kOrderLayout, 42},
        {"TwoLegOrderTable", kTwoLegOrderLayout, 52},
        {"TradeTable", kTradeLayout, 29},
        {"TradeDetailTable", kTradeDetailLayout, 27},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LayoutColumnCount(c.layout), c.columns);
        CFixRecord table;
        table.Create(c.layout);
        ASSERT_EQ(table.GetFCount(), c.columns);
        for (int i = 0; i < c.columns; ++i)
            EXPECT_EQ(table.GetIndexID(i), uint32_t(c.layout[i].id));
    }
}

TEST_F(GlobalTablesTest, TagsThatMatterStandWhereReadersExpectThem) {
    // RECNO stands twice in the combination quote list, as its 26th and 32nd column.
    int recno = 0;
    for (int i = 0; kCombinationQuoteListLayout[i].id > 0; ++i) {
        if (kCombinationQuoteListLayout[i].id == 3062) {
            EXPECT_TRUE(i == 25 || i == 31) << i;
            ++recno;
        }
    }
    EXPECT_EQ(recno, 2);
    // Exactly one column per tag everywhere else.
    for (const tagFIXHEADERINFO* layout :
         {kFuturesContractLayout, kCombinationContractLayout, kOptionContractLayout, kFundsLayout,
          kPositionDetailLayout, kPositionSummaryLayout, kOrderLayout, kTwoLegOrderLayout,
          kTradeLayout, kTradeDetailLayout, kAccountLayout}) {
        std::set<int> seen;
        for (int i = 0; layout[i].id > 0; ++i) EXPECT_TRUE(seen.insert(layout[i].id).second);
    }
    EXPECT_EQ(kFundsLayout[0].id, 763);
    EXPECT_STREQ(kFundsLayout[23].type, "R9.5");  // FXL
    EXPECT_EQ(kAccountLayout[0].id, 608);
}

TEST_F(GlobalTablesTest, ServiceNumbersHandOutTheSameTablesForTheWholeRun) {
    EXPECT_EQ(GetServiceTable(10), ExchangeTable.GetMemRecord());
    EXPECT_EQ(GetServiceTable(14), FuturesContractTable.GetMemRecord());
    EXPECT_EQ(GetServiceTable(19), QuoteSubscriptionTable.GetMemRecord());
    EXPECT_EQ(GetServiceTable(30), AccountTable.GetMemRecord());
    EXPECT_EQ(GetServiceTable(41), PreplacedOrderTable.GetMemRecord());
    for (int n : {0, 9, 20, 29, 42, -1}) EXPECT_EQ(GetServiceTable(n), nullptr) << n;
    std::set<CMemRecord*> distinct;
    for (int n = 10; n <= 19; ++n) distinct.insert(GetServiceTable(n));
    for (int n = 30; n <= 41; ++n) distinct.insert(GetServiceTable(n));
    EXPECT_EQ(distinct.size(), 22u);

    // Before any layout the table answers as empty; re-creating keeps the pointer.
    CMemRecord* accounts = GetServiceTable(30);
    EXPECT_EQ(accounts->GetCount(), 0);
    EXPECT_EQ(accounts->GetFCount(), 0);
    AccountTable.Create(kAccountLayout);
    AddRow(AccountTable, {{605, "1001"}});
    AccountTable.Create(kAccountLayout);
    EXPECT_EQ(GetServiceTable(30), accounts);
    EXPECT_EQ(accounts->GetFCount(), 21);
}

TEST_F(GlobalTablesTest, FrameCreatesItsTenTables) {
    CreateFrameTables();
    EXPECT_EQ(CombinationContractTable.GetFCount(), 53);
    EXPECT_EQ(OrderTable.GetFCount(), 42);
    EXPECT_EQ(TwoLegOrderTable.GetFCount(), 52);
    EXPECT_EQ(QuoteSubscriptionTable.GetFCount(), 4);
    EXPECT_EQ(AccountTable.GetFCount(), 0);
}

TEST_F(GlobalTablesTest, ReplaceWholeAssignsIntoTheSameObject) {
    CMemRecord* handedOut = GetServiceTable(17);
    CFixRecord fresh;
    fresh.Create(kCombinationContractLayout);
    AddRow(fresh, {{1060, "SP a&b"}, {3549, "2"}});
    ReplaceTableWhole(CombinationContractTable, fresh);
    EXPECT_EQ(CombinationContractTable.GetMemRecord(), handedOut);
    EXPECT_EQ(handedOut->GetCount(), 1);
    EXPECT_EQ(CombinationContractTable.Get(1060, 0), "SP a&b");
    // A source without columns changes nothing.
    CFixRecord nothing;
    ReplaceTableWhole(CombinationContractTable, nothing);
    EXPECT_EQ(handedOut->GetCount(), 1);
}

TEST_F(GlobalTablesTest, RemoveRowsByValueKeepsOthersAndGivesLayout) {
    RemoveRowsByValue(TradingCodeTable, kTradingCodeLayout, 605, "A");
    EXPECT_EQ(TradingCodeTable.GetFCount(), 7);  // an empty table gets its layout

    AddRow(TradingCodeTable, {{605, "A"}, {1716, "a1"}});
    AddRow(TradingCodeTable, {{605, "B"}, {1716, "b1"}});
    AddRow(TradingCodeTable, {{605, "A"}, {1716, "a2"}});
    EXPECT_EQ(ClassifyRowsByValue(TradingCodeTable, 605, "C"), 0);
    EXPECT_EQ(ClassifyRowsByValue(TradingCodeTable, 605, "A"), 2);
    RemoveRowsByValue(TradingCodeTable, kTradingCodeLayout, 605, "A");
    ASSERT_EQ(TradingCodeTable.GetCount(), 1);
    EXPECT_EQ(TradingCodeTable.Get(1716, 0), "b1");
    EXPECT_EQ(ClassifyRowsByValue(TradingCodeTable, 605, "B"), 1);
    RemoveRowsByValue(TradingCodeTable, kTradingCodeLayout, 605, "B");
    EXPECT_EQ(TradingCodeTable.GetCount(), 0);
    EXPECT_EQ(TradingCodeTable.GetFCount(), 7);
}

// A reader on another thread sees the rows before the rebuild or after it, never a table
// emptied half-way: every row it sees is whole, and the count is one of the two.
TEST_F(GlobalTablesTest, ReadersNeverSeeAHalfBuiltRebuild) {
    TradingCodeTable.Create(kTradingCodeLayout);
    for (int i = 0; i < 40; ++i)
        AddRow(TradingCodeTable, {{605, i % 2 ? "A" : "B"}, {1716, "code"}, {599, "SQ"}});
    std::atomic<bool> stop{false};
    std::atomic<int> badViews{0};
    std::latch started(1);
    std::jthread reader([&] {
        started.count_down();
        while (!stop.load()) {
            TradingCodeTable.acquireLockShared();
            const int n = TradingCodeTable.GetCount();
            if (n != 40 && n != 20) badViews.fetch_add(1);
            for (int r = 0; r < n; ++r)
                if (TradingCodeTable.Get(1716, r) != "code") badViews.fetch_add(1);
            TradingCodeTable.releaseLockShared();
        }
    });
    started.wait();
    for (int round = 0; round < 50; ++round) {
        CFixRecord additions;
        additions.Create(kTradingCodeLayout);
        for (int i = 0; i < 20; ++i) AddRow(additions, {{605, "A"}, {1716, "code"}});
        RebuildTable(
            TradingCodeTable, kTradingCodeLayout,
            [](CFixRecord& t, int r) { return t.Get(605, r) != "A"; }, &additions);
    }
    stop = true;
    reader.join();
    EXPECT_EQ(badViews.load(), 0);
    EXPECT_EQ(TradingCodeTable.GetCount(), 40);
}

}  // namespace
}  // namespace tradedata
