// Tests of the locally kept lists: combination quote lines and their terminator, option
// combination codes from the legs' kinds and strikes, today's pre-placed orders with their
// contract marks, the price rules of a pre-placed order, and the record of a failed one.
#include "tradedata/LocalLists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/core/Clock.h"
#include "platform/core/Numbers.h"
#include "platform/core/ProfileFile.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/StringHelpers.h"
#include "tests/tradedata/ServerFixture.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/Registries.h"
#include "tradedata/TradingHelpers.h"

namespace tradedata {
namespace {

using namespace std::chrono;
using testing::AddRow;

class LocalListsTest : public testing::ServerTest {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        CreateFrameTables();
        SetClockBase(LocalSecondsToFileTime(local_days(2026y / 12 / 10) + 9h) -
                     10'000 * GetHighResTickCount());
        SetWorkplaceWindow(77);
        SetPostFunction([this](WindowId, uint32_t m, uintptr_t wp, intptr_t) {
            std::lock_guard lock(postedMutex);
            if (m == kWmFrameEvent) events.push_back(wp);
        });
        ExchangeTable.Create(kExchangeLayout);
        AddRow(ExchangeTable, {{599, "SQ"}, {601, "上期所"}, {1681, "1"}});
        AddRow(ExchangeTable, {{599, "ZJ"}, {601, "中金所"}, {1681, "3"}});
        FuturesContractTable.Create(kFuturesContractLayout);
        AddRow(FuturesContractTable, {{599, "SQ"},
                                      {719, "cu2501"},
                                      {729, "70000"},
                                      {842, "69990"},
                                      {850, "70010"},
                                      {703, "66000"},
                                      {706, "74000"}});
        AddRow(FuturesContractTable, {{599, "ZJ"}, {719, "IF2501"}, {729, "3800"}});
        AddRow(FuturesContractTable, {{599, "SQ"}, {719, "al2501"}});
        OptionContractTable.Create(kOptionContractLayout);
        for (const auto& [code, cp, strike, exchange] :
             {std::tuple{"C3000", "1", "3000", "DL"}, std::tuple{"C3100", "1", "3100", "DL"},
              std::tuple{"P3000", "2", "3000", "DL"}, std::tuple{"P3100", "2", "3100", "DL"},
              std::tuple{"X3100", "1", "3100", "ZZ"}})
            AddRow(OptionContractTable,
                   {{599, exchange}, {9100, code}, {1854, cp}, {1569, strike}});
    }
    void TearDown() override {
        if (client) Disconnect();
        SetPostFunction(nullptr);
        SetWorkplaceWindow(0);
        SetClockBase(LocalFileTimeNow());
        testing::ResetGlobalTables();
    }
    std::string Key(std::string_view section, std::string_view key) {
        return platform::ReadProfileString(PrivateProfileFile(), section, key);
    }
    void WriteKey(std::string_view section, std::string_view key, std::string_view value) {
        platform::WriteProfileString(PrivateProfileFile(), section, key, value);
    }
    int32_t Flags(CFixRecord& table, const char* code) {
        const int row =
            &table == &OptionContractTable ? table.Find(9100, code) : table.Find(719, code);
        return table.GetLong(644, row);
    }

    testing::SettingsSandbox sandbox;
    platform::ManualClock clock;
    platform::ScopedClockSource source{clock};
    std::mutex postedMutex;
    std::vector<uintptr_t> events;
};

TEST_F(LocalListsTest, CombinationQuoteLines) {
    WriteKey("ZHHQ", "ZHHQ1", "x,cu2501,al2501,-10.5,20,");
    WriteKey("ZHHQ", "ZHHQ2", "name,,,1,2,SP cu2501&cu2502");
    WriteKey("ZHHQ", "ZHHQ3", "name,cu2501,,1,2,");  // one leg and no code: skipped
    WriteKey("ZHHQ", "ZHHQ4", "y,al2501,cu2501,0,0,");
    WriteKey("ZHHQ", "ZHHQ6", "after,a,b,0,0,");  // after a gap: not read
    LoadCombinationQuotes();
    ASSERT_EQ(CombinationQuoteListTable.GetCount(), 3);
    EXPECT_EQ(CombinationQuoteListTable.Get(1375, 0), "cu2501 / al2501");
    EXPECT_EQ(CombinationQuoteListTable.Get(1392, 0), "cu2501");
    EXPECT_EQ(CombinationQuoteListTable.GetDouble(687, 0), -10.5);
    EXPECT_EQ(CombinationQuoteListTable.GetDouble(686, 0), 20);
    EXPECT_EQ(CombinationQuoteListTable.Get(1375, 1), "SP cu2501&cu2502");
    EXPECT_EQ(CombinationQuoteListTable.Get(1060, 1), "SP cu2501&cu2502");

    CFixRecord three;
    three.Create(kCombinationQuoteListLayout);
    for (int i = 0; i < 3; ++i)
        AddRow(three, {{1375, "n"},
                       {1392, "cu2501"},
                       {1393, "al250" + std::to_string(i)},
                       {687, "1.234"},
                       {686, "5"}});
    SaveCombinationQuotes(three);
    EXPECT_EQ(Key("ZHHQ", "ZHHQ3"), "n,cu2501,al2502,1.23,5.00,");
    EXPECT_EQ(Key("ZHHQ", "ZHHQ4"), "");
    EXPECT_EQ(platform::ReadProfileKeyNames(PrivateProfileFile(), "ZHHQ"),
              (std::vector<std::string>{"ZHHQ1", "ZHHQ2", "ZHHQ3", "ZHHQ4"}));
    LoadCombinationQuotes();
    EXPECT_EQ(CombinationQuoteListTable.GetCount(), 3);
}

TEST_F(LocalListsTest, OptionCombinationCodes) {
    struct Case {
        const char* line;
        const char* code;
        const char* typeText;
    } cases[] = {
        {"1,C3000,C3100", "BUL C3000&C3100", "价差组合"},
        {"1,C3100,C3000", "", ""},
        {"1,P3100,P3000", "BER P3100&P3000", "价差组合"},
        {"1,C3000,P3100", "", ""},
        {"2,C3000,P3000", "STD C3000&P3000", "跨式组合"},
        {"2,C3100,P3000", "STG C3100&P3000", "跨式组合"},
        {"2,C3000,P3100", "", ""},
        {"1,C3000,X3100", "", ""},   // another exchange
        {"1,C3000,cu2501", "", ""},  // not an option
    };
    int n = 0;
    for (const Case& c : cases) WriteKey("QQZH", "QQZH" + std::to_string(++n), c.line);
    WriteKey("QQZH", "QQZH" + std::to_string(++n), "1,C3000");  // one leg: no row
    LoadOptionCombinations(OptionCombinationTable);
    ASSERT_EQ(OptionCombinationTable.GetCount(), static_cast<int>(std::size(cases)));
    for (int i = 0; i < OptionCombinationTable.GetCount(); ++i) {
        EXPECT_EQ(OptionCombinationTable.Get(1060, i), cases[i].code) << cases[i].line;
        EXPECT_EQ(OptionCombinationTable.Get(3053, i), cases[i].typeText) << cases[i].line;
    }
    EXPECT_EQ(Flags(OptionContractTable, "C3000") & kMarkOptionCombinationLeg,
              static_cast<int32_t>(kMarkOptionCombinationLeg));
    EXPECT_EQ(Flags(OptionContractTable, "X3100") & kMarkOptionCombinationLeg, 0);

    SaveOptionCombinations(OptionCombinationTable);
    EXPECT_EQ(Key("QQZH", "QQZH1"), "1,C3000,C3100,BUL C3000&C3100");
    EXPECT_EQ(Key("QQZH", "QQZH10"), "");
}

TEST_F(LocalListsTest, PreplacedOrdersOfTheDayAndTheirMarks) {
    WriteKey("YYWT", "YYWT1", "7107=20261209|719=al2501|755=0|");
    WriteKey("YYWT", "YYWT2", "7107=20261210|719=cu2501|755=0|7125=C3000|");
    WriteKey("YYWT", "YYWT3", "7107=20261210|719=IF2501|755=2|");
    LoadPreplacedOrders();
    ASSERT_EQ(PreplacedOrderTable.GetCount(), 2);
    EXPECT_EQ(PreplacedOrderTable.Get(719, 0), "cu2501");
    // Yesterday's order is gone from the store as well.
    EXPECT_EQ(pavlet::GetFlexItem(Key("YYWT", "YYWT1"), 719u), "cu2501");
    EXPECT_EQ(pavlet::GetFlexItem(Key("YYWT", "YYWT2"), 719u), "IF2501");
    EXPECT_EQ(Key("YYWT", "YYWT3"), "");
    // Waiting orders mark their contract and trigger contract; sent ones do not.
    EXPECT_EQ(Flags(FuturesContractTable, "cu2501") & kMarkPreplacedOrder,
              static_cast<int32_t>(kMarkPreplacedOrder));
    EXPECT_EQ(Flags(OptionContractTable, "C3000") & kMarkPreplacedOrder,
              static_cast<int32_t>(kMarkPreplacedOrder));
    EXPECT_EQ(Flags(FuturesContractTable, "IF2501") & kMarkPreplacedOrder, 0);
    EXPECT_EQ(Flags(FuturesContractTable, "al2501") & kMarkPreplacedOrder, 0);

    WriteKey("HYDMCS", "HYDMCS1", "719=cu2501|684=3|1796=20.5|");
    LoadContractParams();
    ASSERT_EQ(ContractParamTable.GetCount(), 1);
    EXPECT_EQ(ContractParamTable.GetDouble(1796, 0), 20.5);
    ContractParamTable.Set(684, 4, 0);
    SaveContractParams();
    EXPECT_EQ(pavlet::GetFlexItem(Key("HYDMCS", "HYDMCS1"), 684u), "4");
}

class PreplacedSendTest : public LocalListsTest {
protected:
    void SetUp() override {
        LocalListsTest::SetUp();
        StartAndConnect();
        const int account = AddAccount(1, "8001", "01", "甲", "pw", nullptr);
        SetLoginAccount(account);
        SetAccountFlag(kFlagActive, account);
        PreplacedOrderTable.Create(kPreplacedOrderLayout);
    }
    int AddOrder(const char* code, const char* exchange, const char* type, const char* price,
                 const char* offset, const char* side = "1") {
        return AddRow(PreplacedOrderTable, {{7107, "20261210"},
                                            {599, exchange},
                                            {719, code},
                                            {1716, "J1"},
                                            {683, side},
                                            {1718, "1"},
                                            {684, "2"},
                                            {1681, type},
                                            {682, price},
                                            {834, offset},
                                            {755, "0"}});
    }
};

TEST_F(PreplacedSendTest, PriceRules) {
    struct Case {
        const char* code;
        const char* exchange;
        const char* type;
        const char* price;
        const char* offset;
        const char* side;
        const char* sentPrice;
        const char* sentType;
    } cases[] = {
        {"cu2501", "SQ", "1", "70100", "0", "1", "70100", "1"},
        {"cu2501", "SQ", "0", "70100", "50", "1", "70150", "1"},
        {"cu2501", "SQ", "1", "73990", "50", "1", "74000", "1"},  // clamped to the limit-up
        {"cu2501", "SQ", "2", "0", "0", "1", "70010", "1"},       // no market orders: the ask
        {"cu2501", "SQ", "2", "0", "0", "2", "69990", "1"},       // ... the bid for a sell
        {"IF2501", "ZJ", "2", "0", "0", "1", "0", "2"},           // market orders allowed
        {"cu2501", "SQ", "729", "0", "-10", "1", "69990", "1"},   // the last price, offset
        {"zz9999", "SQ", "729", "0", "0", "1", "0", "1"},         // unknown contract
    };
    server.Script(16150, {{{507, "1"}, {681, "901"}}});
    for (const Case& c : cases) {
        const int row = AddOrder(c.code, c.exchange, c.type, c.price, c.offset, c.side);
        int32_t number = 0;
        EXPECT_EQ(SendPreplacedOrder(row, &number), 1) << c.code << " " << c.type;
        EXPECT_EQ(number, 901);
        EXPECT_EQ(platform::Atof(Sent(16150, 682)), platform::Atof(c.sentPrice))
            << c.code << " " << c.type << " " << c.side;
        EXPECT_EQ(Sent(16150, 1681), c.sentType) << c.code << " " << c.type;
        EXPECT_EQ(Sent(16150, 605), "8001");  // the current account for an empty KHH
        EXPECT_EQ(PreplacedOrderTable.GetLong(755, row), kPreplacedSent);
        EXPECT_EQ(PreplacedOrderTable.GetLong(681, row), 901);
        EXPECT_EQ(PreplacedOrderTable.GetLong(644, row) & kPreplacedFailed, 0);
    }
    EXPECT_EQ(SendPreplacedOrder(99, nullptr), 0);
}

TEST_F(PreplacedSendTest, AnOrderIsSentOnceEvenFromSeveralThreads) {
    const int row = AddOrder("cu2501", "SQ", "1", "70100", "0");
    server.Script(16150, {{{507, "1"}, {681, "901"}}});
    std::atomic<int> sentOk{0};
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&] {
                if (SendPreplacedOrder(row, nullptr) > 0) ++sentOk;
            });
    }
    EXPECT_EQ(sentOk.load(), 1);
    EXPECT_EQ(RequestsOf(16150), 1);
    // Sent rows stay sent.
    EXPECT_EQ(SendPreplacedOrder(row, nullptr), 0);
    EXPECT_EQ(RequestsOf(16150), 1);
}

TEST_F(PreplacedSendTest, FailedSubmissionIsRecordedNotResent) {
    const int row = AddOrder("cu2501", "SQ", "1", "70100", "0");
    SubscribePreplacedOrderQuotes();
    ASSERT_NE(Flags(FuturesContractTable, "cu2501") & kMarkPreplacedOrder, 0);
    server.Script(16150, {{{507, "-12"}, {508, "资金不足"}}});
    int32_t number = 0;
    std::string message;
    EXPECT_EQ(SendPreplacedOrder(row, &number, &message), -12);
    EXPECT_EQ(number, -1);
    EXPECT_EQ(message, "资金不足");
    // Sent (so it never goes twice), without an order number, marked failed, in the store too.
    EXPECT_EQ(PreplacedOrderTable.GetLong(755, row), kPreplacedSent);
    EXPECT_EQ(PreplacedOrderTable.GetLong(681, row), -1);
    EXPECT_NE(PreplacedOrderTable.GetLong(644, row) & kPreplacedFailed, 0);
    EXPECT_FALSE(PreplacedOrderTable.Get(865, row).empty());
    const std::string stored = Key("YYWT", "YYWT1");
    EXPECT_EQ(pavlet::GetFlexItem(stored, 755u), "2");
    EXPECT_EQ(pavlet::GetFlexItem(stored, 681u), "-1");
    EXPECT_EQ(pavlet::GetFlexItemLong(stored, 644u) & kPreplacedFailed, kPreplacedFailed);
    EXPECT_EQ(Flags(FuturesContractTable, "cu2501") & kMarkPreplacedOrder, 0);
    // The user is told.
    ASSERT_EQ(NoticeTable.GetCount(), 1);
    EXPECT_NE(NoticeTable.Get(1777, 0).find("资金不足"), std::string::npos);
    EXPECT_NE(NoticeTable.Get(1777, 0).find("cu2501"), std::string::npos);
    {
        std::lock_guard lock(postedMutex);
        EXPECT_EQ(std::count(events.begin(), events.end(), 4u), 1);
    }
    // Accepted without an order number counts as failed as well.
    const int second = AddOrder("cu2501", "SQ", "1", "70100", "0");
    server.Script(16150, {{{507, "1"}}});
    EXPECT_EQ(SendPreplacedOrder(second, &number, nullptr), 0);
    EXPECT_EQ(PreplacedOrderTable.GetLong(681, second), -1);
    EXPECT_NE(PreplacedOrderTable.GetLong(644, second) & kPreplacedFailed, 0);
    EXPECT_EQ(NoticeTable.GetCount(), 2);
}

}  // namespace
}  // namespace tradedata
