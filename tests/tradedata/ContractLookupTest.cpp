// Tests of contract lookup, row references and their accessors, typed-code expansion, the
// contract lists, and the implied quote of combinations (with the shared-lock deadlock case).
#include "tradedata/ContractLookup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <latch>
#include <thread>

#include "platform/core/Clock.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/CombinationQuote.h"
#include "tradedata/Registries.h"
#include "tradedata/TableLockOrder.h"

namespace tradedata {
namespace {

using testing::AddRow;

class ContractLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        FuturesContractTable.Create(kFuturesContractLayout);
        for (const char* code : {"cu2501", "cu2502", "SR2501", "IF2501", "IO2501", "m2505"}) {
            AddRow(FuturesContractTable, {{719, code},
                                          {599, code[0] == 'I' ? "ZJ" : "SQ"},
                                          {720, code[0] == 'S' ? "SR" : "cu"},
                                          {722, std::string(code) + " name"}});
        }
        FuturesContractTable.GetMemRecord()->Sort(FuturesContractTable.FindIndex(719), true);
        CombinationContractTable.Create(kCombinationContractLayout);
        AddRow(CombinationContractTable,
               {{1060, "SP cu2501&cu2502"}, {3549, "2"}, {1392, "cu2501"}, {1393, "cu2502"}});
        OptionContractTable.Create(kOptionContractLayout);
        AddRow(OptionContractTable, {{9100, "cu2501C70000"}, {719, "cu2501"}, {1854, "1"}});
        CFixRecord underlying;  // its layout comes from the answers that fill it
        const tagFIXHEADERINFO layout[] = {
            {719, "ZQDM", "C32", 0}, {1566, "XQDM", "C32", 0}, {0, "", "", 0}};
        UnderlyingTable.Create(layout);
        AddRow(UnderlyingTable, {{719, "cu2501"}});  // also a future
        AddRow(UnderlyingTable, {{719, "IDX300"}, {1566, "IF2501"}});
        AddRow(UnderlyingTable, {{719, "IDX50"}});
        const tagFIXHEADERINFO legs[] = {
            {763, "BROWINDEX", "C64", 0}, {1060, "ZHDM", "C64", 0}, {0, "", "", 0}};
        CombinationByLegsTable.Create(legs);
        AddRow(CombinationByLegsTable, {{763, "cu2502&cu2501"}, {1060, "SP cu2501&cu2502"}});
    }
    void TearDown() override { testing::ResetGlobalTables(); }
};

TEST_F(ContractLookupTest, FirstTableHoldingTheCodeWins) {
    struct Case {
        const char* code;
        RowRef bits;  // -1: not found
        ContractKind kind;
        CFixRecord* table;
    };
    const Case cases[] = {
        {"cu2501", 0, kFuturesKind, &FuturesContractTable},  // also an underlying
        {"SP cu2501&cu2502", kCombinationRef, kCombinationKind, &CombinationContractTable},
        {"cu2501C70000", kOptionRef, kOptionKind, &OptionContractTable},
        {"IDX50", kUnderlyingRef, kUnderlyingKind, &UnderlyingTable},
        {"CU2501", -1, kFuturesKind, nullptr},  // exact lookups keep case
        {"", -1, kFuturesKind, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        CFixRecord* table = &AccountTable;
        int32_t kind = 99;
        const RowRef ref = FindContractEx(c.code, &table, &kind);
        EXPECT_EQ(table, c.table);
        EXPECT_EQ(kind, c.kind);
        if (c.bits < 0) {
            EXPECT_EQ(ref, -1);
            continue;
        }
        ASSERT_GE(ref, 0);
        EXPECT_EQ(ref & ~kRowMask, c.bits);
        EXPECT_EQ(GetRowContractCode(ref), c.code);
    }
    EXPECT_EQ(FindContractEx(nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(FindContract("cu2502"), FindFuturesContract("cu2502"));
}

TEST_F(ContractLookupTest, NoCaseLookupsSkipUnderlyings) {
    EXPECT_EQ(FindFuturesContractNoCase("CU2502"), FindFuturesContract("cu2502"));
    EXPECT_EQ(FindContractNoCase("sp CU2501&CU2502"), kCombinationRef | 0);
    EXPECT_EQ(FindContractNoCase("CU2501c70000"), kOptionRef | 0);
    EXPECT_EQ(FindContractNoCase("idx50"), -1);
    EXPECT_EQ(MatchContractCase("CU25"), "cu25");
    EXPECT_EQ(MatchContractCase("zz9"), "zz9");
}

TEST_F(ContractLookupTest, TypedAccessorsRemapByTable) {
    const RowRef combination = FindContract("SP cu2501&cu2502");
    const RowRef option = FindContract("cu2501C70000");
    const RowRef underlying = FindContract("IDX50");
    EXPECT_EQ(GetRowString(719, combination), "SP cu2501&cu2502");
    EXPECT_EQ(GetRowString(722, combination), "SP cu2501&cu2502");
    EXPECT_EQ(GetRowString(722, option), "cu2501C70000");
    EXPECT_EQ(GetRowString(719, option), "cu2501C70000");
    EXPECT_EQ(GetRowString(722, underlying), "IDX50");
    EXPECT_EQ(GetRowString(722, FindContract("cu2501")), "cu2501 name");

    SetRowLong(843, 7, combination);
    SetRowLong(851, 9, combination);
    SetRowDouble(842, 1.5, combination);
    SetRowDouble(850, 2.5, combination);
    const int row = combination & kRowMask;
    EXPECT_EQ(CombinationContractTable.GetLong(638, row), 7);
    EXPECT_EQ(CombinationContractTable.GetLong(628, row), 9);
    EXPECT_DOUBLE_EQ(CombinationContractTable.GetDouble(1905, row), 1.5);
    EXPECT_DOUBLE_EQ(CombinationContractTable.GetDouble(1907, row), 2.5);
    EXPECT_EQ(CombinationContractTable.GetLong(843, row), 0);  // the book stays

    EXPECT_EQ(GetRowDouble(842, -1), 0.0);
    EXPECT_EQ(GetRowLong(843, -1), 0);
    EXPECT_EQ(GetRowString(719, -1), "");
    EXPECT_EQ(GetRowContractCode(-1), "");
    SetRowLong(644, 1, -1);  // writes nothing, and does not crash
}

TEST_F(ContractLookupTest, CombinationByLegsHonoursTheExactOrderFlag) {
    EXPECT_EQ(FindCombinationByLegs("cu2502", "cu2501", true), 0);
    EXPECT_EQ(FindCombinationByLegs("cu2501", "cu2502", false), 0);
    EXPECT_LT(FindCombinationByLegs("cu2501", "cu2502", true), 0);
    EXPECT_LT(FindCombinationByLegs("cu2501", "m2505", false), 0);
}

TEST_F(ContractLookupTest, TradableContractOfAnUnderlying) {
    EXPECT_EQ(FindTradableContract("IDX300"), FindFuturesContract("IF2501"));
    EXPECT_EQ(FindTradableContract("IDX50"), kUnderlyingRef | 2);
    EXPECT_EQ(FindTradableContract("cu2502"), FindFuturesContract("cu2502"));
}

TEST_F(ContractLookupTest, ExpandTypedCodesByTheLongestPrefix) {
    ProductPrefixTable.Create(kProductLayout);
    // Sorted descending on the upper-cased prefix, as the loader leaves it.
    AddRow(ProductPrefixTable, {{763, "SR"}, {566, "SR"}, {720, "SR"}});
    AddRow(ProductPrefixTable, {{763, "S"}, {566, "s"}, {720, "S1"}});
    AddRow(ProductPrefixTable, {{763, "M"}, {566, "m"}, {720, "m"}});
    struct Case {
        const char* typed;
        bool recognised;
        const char* text;
        const char* code;
        const char* product;
    };
    const Case cases[] = {
        {"sr", true, "SR", "", "SR"},
        {"sr2509", true, "SR2509", "SR2509", "SR"},
        {"s2509", true, "s2509", "s2509", "S1"},
        {"M2601", true, "m2601", "m2601", "m"},
        {"cu2501", true, "cu2501", "cu2501", ""},  // a contract wins over prefixes
        {"CU2501", true, "cu2501", "cu2501", ""},
        {"zz1", false, "zz1", "keep", "keep"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        std::string text = c.typed, code = "keep", product = "keep";
        EXPECT_EQ(ExpandContractCode(text, code, product), c.recognised);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(product, c.product);
    }
}

TEST_F(ContractLookupTest, ContractListsReadBothFormsAndWritePlain) {
    testing::SettingsSandbox settings;
    pavlet::WritePrivateConfigure("JYSTLDM", "HYDM", "jys=ZJ|");
    EXPECT_EQ(LoadContractList("JYSTLDM"), "IF2501,IO2501");
    pavlet::WritePrivateConfigure("JYSTLDM", "HYDM", "b,a");
    EXPECT_EQ(LoadContractList("JYSTLDM"), "b,a");

    const int cu = FindFuturesContract("cu2501");
    EXPECT_TRUE(AddToContractList(cu, "JYSTLDM", 0x800));
    EXPECT_FALSE(AddToContractList(cu, "JYSTLDM", 0x800));
    EXPECT_EQ(pavlet::ReadPrivateConfigure("JYSTLDM", "HYDM", ""), "b,a,cu2501");
    EXPECT_EQ(FuturesContractTable.GetLong(644, cu), 0x800);
    EXPECT_TRUE(RemoveFromContractList(cu, "JYSTLDM", 0x800));
    EXPECT_FALSE(RemoveFromContractList(cu, "JYSTLDM", 0x800));
    EXPECT_EQ(pavlet::ReadPrivateConfigure("JYSTLDM", "HYDM", ""), "b,a");
    EXPECT_EQ(FuturesContractTable.GetLong(644, cu), 0);
}

// ------------------------------------------------------------------ implied quotes

class CombinationQuoteTest : public ContractLookupTest {
protected:
    void SetUp() override {
        ContractLookupTest::SetUp();
        leg1 = FindFuturesContract("cu2501");
        leg2 = FindFuturesContract("cu2502");
        ref = FindContract("SP cu2501&cu2502");
        row = ref & kRowMask;
    }
    void SetLeg(int leg, double bid, int bidSize, double ask, int askSize, double time) {
        CFixRecord& f = FuturesContractTable;
        f.Set(842, bid, leg);
        f.Set(843, bidSize, leg);
        f.Set(850, ask, leg);
        f.Set(851, askSize, leg);
        f.Set(3203, time, leg);
    }
    int leg1 = -1, leg2 = -1, row = -1;
    RowRef ref = -1;
};

TEST_F(CombinationQuoteTest, ImpliedPricesMergeWithTheBook) {
    platform::ManualClock clock(5'000'000);
    platform::ScopedClockSource source(clock);
    SetLeg(leg1, 100, 5, 102, 6, 10);
    SetLeg(leg2, 90, 3, 91, 4, 10);
    FuturesContractTable.Set(729, 101.0, leg1);
    FuturesContractTable.Set(729, 90.5, leg2);
    FuturesContractTable.Set(706, 110.0, leg1);
    FuturesContractTable.Set(703, 80.0, leg2);
    // The book's own bid equals the implied bid (100 - 91 = 9): sizes add. Its ask (15) is
    // worse than the implied ask (102 - 90 = 12): the implied ask replaces it.
    CombinationContractTable.Set(842, 9.0, row);
    CombinationContractTable.Set(843, 2, row);
    CombinationContractTable.Set(850, 15.0, row);
    CombinationContractTable.Set(851, 1, row);

    EXPECT_DOUBLE_EQ(GetRowDouble(842, ref), 9.0);
    EXPECT_EQ(GetRowLong(843, ref), 2 + 4);  // min(av2, bv1) = 4 added
    EXPECT_DOUBLE_EQ(GetRowDouble(850, ref), 12.0);
    EXPECT_EQ(GetRowLong(851, ref), 3);  // min(av1, bv2)
    EXPECT_DOUBLE_EQ(GetRowDouble(729, ref), 10.5);
    EXPECT_DOUBLE_EQ(GetRowDouble(706, ref), 110.0 - 80.0);  // leg 1's up - leg 2's down
    UpdateCombinationQuote(row);
    EXPECT_DOUBLE_EQ(CombinationContractTable.GetDouble(1907, row), 12.0);
    EXPECT_DOUBLE_EQ(CombinationContractTable.GetDouble(2002, row), 0.0);  // the old ask
    EXPECT_GT(CombinationContractTable.GetDouble(899, row), 0.0);

    // Nothing newer: a later read changes nothing even though a leg's book moved.
    SetLeg(leg1, 100, 5, 101, 6, 10);
    EXPECT_DOUBLE_EQ(GetRowDouble(850, ref), 12.0);
    // A newer leg time recomputes.
    clock.AdvanceMs(1);
    SetLeg(leg1, 100, 5, 101, 6, 1e15);
    EXPECT_DOUBLE_EQ(GetRowDouble(850, ref), 11.0);
    UpdateCombinationQuote(row);
    EXPECT_DOUBLE_EQ(CombinationContractTable.GetDouble(2002, row), 12.0);
}

TEST_F(CombinationQuoteTest, MissingLegBidLeavesTheBookAsk) {
    SetLeg(leg1, 100, 5, 102, 6, 10);
    SetLeg(leg2, 0, 0, 91, 4, 10);
    CombinationContractTable.Set(850, 15.0, row);
    CombinationContractTable.Set(851, 1, row);
    EXPECT_DOUBLE_EQ(GetRowDouble(850, ref), 15.0);
    EXPECT_EQ(GetRowLong(851, ref), 1);
}

// The reader holds the combination table's shared lock (as a grid does while drawing) while a
// writer waits for the table: reading a price must not need the exclusive lock.
TEST_F(CombinationQuoteTest, ReadingAPriceUnderTheSharedLockDoesNotDeadlock) {
    SetLeg(leg1, 100, 5, 102, 6, 10);
    SetLeg(leg2, 90, 3, 91, 4, 10);
    auto result = std::async(std::launch::async, [&] {
        CombinationContractTable.acquireLockShared();
        std::latch writerWaiting(1);
        std::jthread writer([&] {
            writerWaiting.count_down();
            UpdateCombinationQuote(row);  // waits for the reader to let go
        });
        writerWaiting.wait();
        const double bid = GetRowDouble(842, ref);
        CombinationContractTable.releaseLockShared();
        return bid;
    });
    ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "deadlocked";
    EXPECT_DOUBLE_EQ(result.get(), 9.0);
}

void RecordViolation(const char*);
std::atomic<int> g_violations{0};
void RecordViolation(const char*) { g_violations.fetch_add(1); }

TEST_F(CombinationQuoteTest, LockOrderIsCheckedInDebugBuilds) {
    if (!LockOrderChecksEnabled()) GTEST_SKIP() << "checks run in debug builds only";
    SetLockOrderViolationHandler(&RecordViolation);
    g_violations = 0;
    {
        ScopedTableLock first(CombinationContractTable, TableLockRank::CombinationContract, true);
        ScopedTableLock second(FuturesContractTable, TableLockRank::FuturesContract, true);
    }
    EXPECT_EQ(g_violations.load(), 0);
    {
        ScopedTableLock first(FuturesContractTable, TableLockRank::FuturesContract, true);
        ScopedTableLock second(CombinationContractTable, TableLockRank::CombinationContract, true);
    }
    EXPECT_EQ(g_violations.load(), 1);
    SetLockOrderViolationHandler(nullptr);
}

}  // namespace
}  // namespace tradedata
