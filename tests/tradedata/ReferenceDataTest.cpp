// The reference data loaders against the test server's trading day: contracts with their first
// quote and product defaults, the daily cache files and their date and version gates, the
// combination and option tables, quote refreshes, and lists that fail without losing tables.
#include "tradedata/ReferenceData.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/core/Clock.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "shell/services/LocalFiles.h"
#include "shell/services/SettingsWriters.h"
#include "tests/tradedata/ServerFixture.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/TestServer.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramClock.h"

namespace tradedata {
namespace {

using testserver::Row;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The first two lines of a cache file: version and date.
std::pair<std::string, std::string> CacheHead(const std::string& name) {
    const std::string bytes = ReadFile(shell::GetUserDirectory() + "/" + name);
    const std::size_t first = bytes.find("\r\n");
    if (first == std::string::npos) return {};
    const std::size_t second = bytes.find("\r\n", first + 2);
    return {bytes.substr(0, first), bytes.substr(first + 2, second - first - 2)};
}

class ReferenceDataTest : public testing::ServerTest {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        BuildCurrencyTable();
        // 22:00 on 10 December: the night session already trades for the 11th.
        SetSyncedTime(2026, 12, 10, 22);
        server.EnableTradingDay(day);
        StartAndConnect();
    }
    void TearDown() override {
        Disconnect();
        testing::ResetGlobalTables();
    }
    void SetSyncedTime(int y, unsigned m, unsigned d, int hour) {
        namespace c = std::chrono;
        const c::local_seconds wall =
            c::local_days(c::year{y} / c::month{m} / c::day{d}) + c::hours{hour};
        SetClockBase(LocalSecondsToFileTime(wall) - GetHighResTickCount() * 10000);
    }
    void LoadBasics() {
        ASSERT_TRUE(LoadExchanges(client.get()));
        ASSERT_TRUE(LoadProducts(client.get()));
        ASSERT_TRUE(GetJysHydm(client.get()));
    }
    // A field of the first request of a function (the list request, before any single rows).
    std::string FirstSent(int32_t function, int32_t tag) {
        for (const auto& r : server.Requests())
            if (r.function == function) return r.Get(tag);
        return "<absent>";
    }
    std::string UserFile(const std::string& name) { return shell::GetUserDirectory() + "/" + name; }
    void WriteRaw(const std::string& name, const std::string& bytes) {
        std::ofstream(UserFile(name), std::ios::binary | std::ios::trunc) << bytes;
    }
    // Combination cache files holding one extra spread the server does not list.
    void WriteCombinationCache(const std::string& date) {
        CFixRecord codes;
        codes.Create(kCombinationCodeLayout);
        testing::AddRow(codes, {{889, "9001"},
                                {599, "DL"},
                                {1060, "SP y2701&y2703"},
                                {3549, "2"},
                                {763, "y2701&y2703"}});
        CFixRecord legs;
        legs.Create(kCombinationLegLayout);
        testing::AddRow(legs, {{797, "9001"}, {889, "1"}, {719, "y2701"}, {683, "1"}});
        testing::AddRow(legs, {{797, "9001"}, {889, "2"}, {719, "y2703"}, {683, "2"}});
        ASSERT_TRUE(shell::SaveUserRecordFile(codes, kCombinationCodeCacheFile, date));
        ASSERT_TRUE(shell::SaveUserRecordFile(legs, kCombinationLegCacheFile, date));
    }

    testserver::TradingDay day = testserver::SampleTradingDay();
    platform::ManualClock clock;
    platform::ScopedClockSource source{clock};
    testing::SettingsSandbox sandbox;
};

// ------------------------------------------------------------------ contracts

TEST_F(ReferenceDataTest, ContractsGetTheirQuoteAndTheProductsDefaults) {
    LoadBasics();
    ASSERT_EQ(FuturesContractTable.GetCount(), static_cast<int>(day.futures.size()));
    // One quote request per contract.
    EXPECT_EQ(RequestsOf(testserver::kFunctionQuote), static_cast<int>(day.futures.size()));
    EXPECT_EQ(Sent(testserver::kFunctionExchanges, 9020), "0");
    EXPECT_EQ(Sent(testserver::kFunctionContracts, 739), "1");

    const int au = FindFuturesContract("au2701");
    ASSERT_GE(au, 0);
    CFixRecord& f = FuturesContractTable;
    EXPECT_EQ(f.Get(601, au), "上期所");
    EXPECT_EQ(f.Get(721, au), "黄金");
    EXPECT_EQ(f.GetLong(1045, au), 2);
    EXPECT_EQ(f.Get(514, au), "人民币");
    EXPECT_EQ(f.Get(518, au), "人民币");
    EXPECT_EQ(f.GetLong(637, au), 1);
    EXPECT_EQ(f.GetLong(9020, au), 1);
    EXPECT_GT(f.GetDouble(3203, au), 0);
    EXPECT_NEAR(f.GetDouble(1734, au),
                f.GetDouble(524, au) / f.GetDouble(1752, au) / f.GetLong(528, au), 1e-4);
    EXPECT_GT(f.GetDouble(842, au), 0);
    // Zhengzhou never gets the average price.
    const int sr = FindFuturesContract("SR701");
    ASSERT_GE(sr, 0);
    EXPECT_GT(f.GetLong(528, sr), 0);
    EXPECT_EQ(f.GetDouble(1734, sr), 0.0);

    // Products keyed by exchange + product; the prefix copy by upper-case prefix, descending.
    EXPECT_GE(ProductTable.Find(763, "SQcu"), 0);
    ASSERT_GT(ProductPrefixTable.GetCount(), 1);
    EXPECT_GE(ProductPrefixTable.Find(763, "CU"), 0);
    for (int r = 1; r < ProductPrefixTable.GetCount(); ++r)
        EXPECT_GE(ProductPrefixTable.Get(763, r - 1), ProductPrefixTable.Get(763, r));
}

TEST_F(ReferenceDataTest, PackedContractRowsTakeTickAndMultiplierFromTheProduct) {
    day.packedRows = true;
    server.EnableTradingDay(day);
    LoadBasics();
    ASSERT_EQ(FuturesContractTable.GetCount(), static_cast<int>(day.futures.size()));
    const int t = FindFuturesContract("T2701");
    ASSERT_GE(t, 0);
    EXPECT_EQ(FuturesContractTable.Get(722, t), "十年国债2701");
    EXPECT_DOUBLE_EQ(FuturesContractTable.GetDouble(594, t), 0.005);
    EXPECT_DOUBLE_EQ(FuturesContractTable.GetDouble(1752, t), 10000.0);
    EXPECT_EQ(FuturesContractTable.GetLong(1045, t), 3);
}

TEST_F(ReferenceDataTest, ProductCurrencyKindIsNormalised) {
    struct Case {
        const char* product;
        const char* kind;
        const char* currency;
        const char* quoting;
        int32_t expected;
    };
    const Case cases[] = {{"p1", "5", "RMB", "USD", 1},
                          {"p2", "0", "RMB", "USD", 16},
                          {"p3", "0", "RMB", "RMB", 0},
                          {"p4", "0", "RMB", "", 0},
                          {"p5", "-2", "USD", "RMB", 16}};
    day.products.clear();
    for (const Case& c : cases)
        day.products.push_back({{599, "SQ"},
                                {720, c.product},
                                {566, c.product},
                                {511, c.currency},
                                {2561, c.quoting},
                                {9020, c.kind}});
    server.EnableTradingDay(day);
    ASSERT_TRUE(LoadProducts(client.get()));
    for (const Case& c : cases) {
        const int row = ProductTable.Find(763, (std::string("SQ") + c.product).c_str());
        ASSERT_GE(row, 0) << c.product;
        EXPECT_EQ(ProductTable.GetLong(9020, row), c.expected) << c.product;
    }
}

TEST_F(ReferenceDataTest, AFailedContractListKeepsTheTable) {
    LoadBasics();
    const int count = FuturesContractTable.GetCount();
    ASSERT_GT(count, 20);
    struct Case {
        const char* what;
        std::function<void()> arrange;
    };
    const std::vector<Case> cases = {
        {"refusal",
         [&] {
             server.Script(testserver::kFunctionContracts, {{{507, "-1"}, {508, "系统忙"}}});
         }},
        {"empty list", [&] { server.Script(testserver::kFunctionContracts, std::vector<Row>{}); }},
        {"link lost",
         [&] {
             server.InjectFault(testserver::kFunctionContracts,
                                testserver::Fault{testserver::FaultKind::Close});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        EXPECT_FALSE(GetJysHydm(client.get()));
        EXPECT_EQ(FuturesContractTable.GetCount(), count);
        EXPECT_GE(FindFuturesContract("cu2701"), 0);
        server.ClearScript(testserver::kFunctionContracts);
        server.ClearFault(testserver::kFunctionContracts);
        Connect();
    }
    // No connection at all: no request object, the table stays.
    EXPECT_FALSE(GetJysHydm(nullptr));
    EXPECT_EQ(FuturesContractTable.GetCount(), count);
    // And a good answer replaces it again.
    EXPECT_TRUE(GetJysHydm(client.get()));
    EXPECT_EQ(FuturesContractTable.GetCount(), count);
}

TEST_F(ReferenceDataTest, PriceSourcesAndBanksAreRetriedUntilAnswered) {
    server.InjectFault(testserver::kFunctionBanks, testserver::Fault{testserver::FaultKind::Close});
    EXPECT_FALSE(LoadBanks(client.get()));
    EXPECT_EQ(BankTable.GetFCount(), 0);  // no layout: the worker asks again
    server.ClearFault(testserver::kFunctionBanks);
    Connect();
    EXPECT_TRUE(LoadBanks(client.get()));
    ASSERT_EQ(BankTable.GetCount(), 3);
    EXPECT_EQ(BankTable.Get(692, 2), "0104");
    EXPECT_EQ(BankTable.GetLong(904, 2), 3);
    EXPECT_TRUE(LoadPriceSources(client.get()));
    EXPECT_EQ(GetPriceSourceName("CBOT"), "芝加哥");
}

// ------------------------------------------------------------------ combinations

TEST_F(ReferenceDataTest, CombinationsFromTheServerAreCachedUnderTheCalendarDate) {
    LoadBasics();
    ASSERT_TRUE(LoadExchangeCombinations(client.get(), true));
    EXPECT_EQ(Sent(testserver::kFunctionCombinations, 651), "");
    EXPECT_EQ(Sent(testserver::kFunctionCombinations, 9020), "2");
    ASSERT_EQ(CombinationContractTable.GetCount(), static_cast<int>(day.combinations.size()));
    EXPECT_EQ(CombinationLegTable.GetCount(), 2 * CombinationContractTable.GetCount());

    const int spread = FindCombinationContract("SP m2701&m2705");
    ASSERT_GE(spread, 0);
    CFixRecord& c = CombinationContractTable;
    EXPECT_EQ(c.Get(1392, spread), "m2701");
    EXPECT_EQ(c.Get(1393, spread), "m2705");
    const int m1 = FindFuturesContract("m2701");
    const int m5 = FindFuturesContract("m2705");
    CFixRecord& f = FuturesContractTable;
    EXPECT_DOUBLE_EQ(c.GetDouble(706, spread), f.GetDouble(706, m1) - f.GetDouble(703, m5));
    EXPECT_DOUBLE_EQ(c.GetDouble(703, spread), f.GetDouble(703, m1) - f.GetDouble(706, m5));
    EXPECT_DOUBLE_EQ(c.GetDouble(594, spread), 1.0);
    EXPECT_EQ(FindCombinationByLegs("m2705", "m2701", false), spread);
    EXPECT_EQ(FindCombinationByLegs("m2705", "m2701", true), -1);
    EXPECT_GE(CombinationByFirstLegTable.Find(763, "a2703"), 0);
    EXPECT_GE(CombinationBySecondLegTable.Find(763, "CF703"), 0);

    // Stamped with the synchronised calendar day, not the night session's trading day.
    EXPECT_EQ(CacheHead(kCombinationCodeCacheFile),
              std::make_pair(shell::GetProgramVersionText(), std::string("20261210")));
    EXPECT_EQ(CacheHead(kCombinationLegCacheFile).second, "20261210");

    // The same day again: the server has no changes, the tables come from the cache.
    server.ClearRequests();
    ASSERT_TRUE(LoadExchangeCombinations(client.get(), true));
    EXPECT_EQ(Sent(testserver::kFunctionCombinations, 651), "20261210");
    EXPECT_EQ(CombinationContractTable.GetCount(), static_cast<int>(day.combinations.size()));
    EXPECT_GE(FindCombinationByLegs("a2703", "m2703", true), 0);

    // A reload without the cache asks for everything.
    server.ClearRequests();
    ASSERT_TRUE(LoadExchangeCombinations(client.get(), false));
    EXPECT_EQ(Sent(testserver::kFunctionCombinations, 651), "");
}

TEST_F(ReferenceDataTest, CombinationCacheDateAndVersionGates) {
    LoadBasics();
    struct Case {
        const char* what;
        std::function<void()> write;
        const char* sentDate;
        bool cachedRowKept;  // the legs of a kept code file come from its code again
    };
    const std::vector<Case> cases = {
        {"yesterday's files are brought up to date", [&] { WriteCombinationCache("20261209"); },
         "20261209", true},
        {"tomorrow's files are dropped", [&] { WriteCombinationCache("20261211"); }, "", false},
        {"another version is not read",
         [&] {
             WriteCombinationCache("20261209");
             for (const char* file : {kCombinationCodeCacheFile, kCombinationLegCacheFile}) {
                 std::string bytes = ReadFile(UserFile(file));
                 bytes.replace(0, bytes.find("\r\n"), "0.0.0.1");
                 WriteRaw(file, bytes);
             }
         },
         "", false},
        {"an undated file is dropped",
         [&] {
             WriteCombinationCache("20261209");
             std::string bytes = ReadFile(UserFile(kCombinationLegCacheFile));
             const std::size_t line = bytes.find("\r\n") + 2;
             bytes.replace(line, 8, "");
             WriteRaw(kCombinationLegCacheFile, bytes);
         },
         "", true},
        {"one empty file means a full list",
         [&] {
             WriteCombinationCache("20261209");
             shell::ClearUserRecordFile(kCombinationLegCacheFile);
         },
         "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.write();
        server.ClearRequests();
        ASSERT_TRUE(LoadExchangeCombinations(client.get(), true));
        EXPECT_EQ(Sent(testserver::kFunctionCombinations, 651), c.sentDate);
        EXPECT_EQ(FindCombinationContract("SP y2701&y2703") >= 0, c.cachedRowKept);
        EXPECT_GE(FindCombinationContract("SP m2701&m2705"), 0);
        EXPECT_EQ(CacheHead(kCombinationCodeCacheFile).second, "20261210");
    }
}

TEST_F(ReferenceDataTest, CombinationLegsComeFromTheirCodes) {
    LoadBasics();
    server.Script(testserver::kFunctionCombinations,
                  {{{889, "7001"}, {599, "DL"}, {1060, "SP m2701&m2705"}, {3549, "2"}},
                   {{889, "7002"}, {599, "DL"}, {1060, "SP m2701&m2701"}, {3549, "2"}},
                   {{889, "7003"}, {599, "DL"}, {1060, "SP m2701&"}, {3549, "2"}},
                   {{889, "7004"}, {599, "DL"}, {1060, "SPm2701&m2705"}, {3549, "2"}},
                   {{889, "7005"}, {599, "DL"}, {1060, "SP a2701&a2703"}, {3549, "3"}},
                   {{1777, "7006,DL,SPC a2703&m2703,2,0,1,1"}}});
    ASSERT_TRUE(LoadExchangeCombinations(client.get(), false));
    ASSERT_EQ(CombinationContractTable.GetCount(), 2);
    EXPECT_GE(FindCombinationContract("SP m2701&m2705"), 0);
    const int packed = FindCombinationContract("SPC a2703&m2703");
    ASSERT_GE(packed, 0);
    EXPECT_EQ(CombinationContractTable.GetLong(889, packed), 7006);
    EXPECT_EQ(CombinationContractTable.GetLong(621, packed), 1);
    EXPECT_EQ(CombinationContractTable.Get(1393, packed), "m2703");

    ASSERT_EQ(CombinationLegTable.GetCount(), 4);
    struct Leg {
        int32_t number, leg;
        const char* code;
        int32_t side, sign;
    };
    const Leg expected[] = {{7001, 1, "m2701", 1, 1},
                            {7001, 2, "m2705", 2, -1},
                            {7006, 1, "a2703", 1, 1},
                            {7006, 2, "m2703", 2, -1}};
    for (int r = 0; r < 4; ++r) {
        const Leg& e = expected[r];
        SCOPED_TRACE(r);
        EXPECT_EQ(CombinationLegTable.GetLong(797, r), e.number);
        EXPECT_EQ(CombinationLegTable.GetLong(889, r), e.leg);
        EXPECT_EQ(CombinationLegTable.Get(719, r), e.code);
        EXPECT_EQ(CombinationLegTable.GetLong(683, r), e.side);
        EXPECT_EQ(CombinationLegTable.GetLong(1212, r), 1);
        EXPECT_EQ(CombinationLegTable.GetLong(1711, r), e.sign);
        EXPECT_EQ(CombinationLegTable.Get(763, r),
                  std::to_string(e.number) + "_" + std::to_string(e.leg));
    }
}

TEST_F(ReferenceDataTest, AFailedCombinationListKeepsTablesAndCache) {
    LoadBasics();
    ASSERT_TRUE(LoadExchangeCombinations(client.get(), true));
    const int count = CombinationContractTable.GetCount();
    WriteCombinationCache("20261209");
    server.Script(testserver::kFunctionCombinations, {{{507, "-3"}, {508, "查询失败"}}});
    EXPECT_FALSE(LoadExchangeCombinations(client.get(), true));
    EXPECT_EQ(CombinationContractTable.GetCount(), count);
    // The old file keeps its date, so the next start still asks for the changes.
    EXPECT_EQ(CacheHead(kCombinationCodeCacheFile).second, "20261209");
}

// ------------------------------------------------------------------ options

TEST_F(ReferenceDataTest, OptionsBuildTheirUnderlyingsAndTheCache) {
    pavlet::WritePrivateConfigure("OPTIONS", "Dividend Yield", "2.35");
    LoadBasics();
    ASSERT_TRUE(LoadOptionContracts(client.get(), true));
    EXPECT_EQ(FirstSent(testserver::kFunctionOptions, 9020), "1");
    ASSERT_EQ(OptionContractTable.GetCount(), static_cast<int>(day.options.size()));
    for (int r = 1; r < OptionContractTable.GetCount(); ++r)
        EXPECT_LT(OptionContractTable.Get(9100, r - 1), OptionContractTable.Get(9100, r));
    EXPECT_EQ(CacheHead(kOptionCacheFile).second, "20261210");

    // A futures underlying points at its contract; the index option's underlying names the
    // index the product quotes, and the index has a row of its own.
    ASSERT_EQ(UnderlyingTable.GetCount(), 3);
    const int m = FindUnderlyingContract("m2705");
    ASSERT_GE(m, 0);
    EXPECT_EQ(UnderlyingTable.GetLong(1873, m), 0);
    EXPECT_EQ(UnderlyingTable.GetLong(3062, m), FindFuturesContract("m2705"));
    EXPECT_EQ(UnderlyingTable.GetLong(644, m), kFlagUnderlyingList);
    const int io = FindUnderlyingContract("IO2701");
    ASSERT_GE(io, 0);
    EXPECT_EQ(UnderlyingTable.GetLong(1873, io), 3);
    EXPECT_EQ(UnderlyingTable.GetLong(3062, io), -1);
    EXPECT_EQ(UnderlyingTable.Get(1566, io), "000300");
    EXPECT_EQ(UnderlyingTable.Get(721, io), "沪深300期权");
    const int index = FindUnderlyingContract("000300");
    ASSERT_GE(index, 0);
    EXPECT_EQ(UnderlyingTable.Get(599, index), "SH");
    EXPECT_EQ(UnderlyingTable.GetLong(1873, index), 5);
    EXPECT_DOUBLE_EQ(UnderlyingTable.GetDouble(594, index), 0.2);
    EXPECT_DOUBLE_EQ(UnderlyingTable.GetDouble(941, index), 2.35);
    // The index option was read again on its own.
    bool reread = false;
    for (const auto& r : server.Requests())
        reread |= r.function == testserver::kFunctionOptions && r.Get(9020) == "4" &&
                  r.Get(9100).rfind("IO2701", 0) == 0;
    EXPECT_TRUE(reread);

    // Started again the same day: only the changes since today are asked for.
    server.ClearRequests();
    ASSERT_TRUE(LoadOptionContracts(client.get(), true));
    EXPECT_EQ(FirstSent(testserver::kFunctionOptions, 9020), "3");
    EXPECT_EQ(FirstSent(testserver::kFunctionOptions, 651), "20261210");
    EXPECT_EQ(OptionContractTable.GetCount(), static_cast<int>(day.options.size()));
}

TEST_F(ReferenceDataTest, OptionCacheDropsExpiredSeriesAndFilesOfOtherDays) {
    LoadBasics();
    CFixRecord cached;
    cached.Create(kOptionContractLayout);
    testing::AddRow(cached,
                    {{599, "DL"}, {9100, "m2612-C-2800"}, {719, "m2612"}, {590, "2026.12.09"}});
    testing::AddRow(cached,
                    {{599, "DL"}, {9100, "m2612-C-2900"}, {719, "m2612"}, {590, "2026.12.10"}});
    struct Case {
        const char* what;
        const char* date;
        const char* version;  // null: the program's
        const char* mode;
        bool todayKept;
    };
    const Case cases[] = {
        {"yesterday's file: expired series go, the rest is updated", "20261209", nullptr, "3",
         true},
        {"tomorrow's file is dropped", "20261211", nullptr, "1", false},
        {"another version is not read", "20261209", "0.0.0.1", "1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(shell::SaveUserRecordFile(cached, kOptionCacheFile, c.date));
        if (c.version != nullptr) {
            std::string bytes = ReadFile(UserFile(kOptionCacheFile));
            bytes.replace(0, bytes.find("\r\n"), c.version);
            WriteRaw(kOptionCacheFile, bytes);
        }
        server.ClearRequests();
        ASSERT_TRUE(LoadOptionContracts(client.get(), true));
        EXPECT_EQ(FirstSent(testserver::kFunctionOptions, 9020), c.mode);
        if (std::string(c.mode) == "3") {
            EXPECT_EQ(FirstSent(testserver::kFunctionOptions, 651), c.date);
        }
        EXPECT_EQ(FindOptionContract("m2612-C-2800"), -1);
        EXPECT_EQ(FindOptionContract("m2612-C-2900") >= 0, c.todayKept);
        EXPECT_GE(FindOptionContract("m2705-P-3000"), 0);
    }
}

TEST_F(ReferenceDataTest, OptionsWithoutExpiryAreReadAgainOneByOne) {
    LoadBasics();
    // The full list leaves out the expiry; the single-row answer has it.
    server.SetHook(testserver::kFunctionOptions, [this](const testserver::ReceivedRequest& r) {
        testserver::Answer answer = *day.AnswerFor(r);
        if (r.Get(9020) == "1")
            for (Row& row : answer.rows)
                std::erase_if(row, [](const testserver::Field& f) { return f.tag == 590; });
        return answer;
    });
    ASSERT_TRUE(LoadOptionContracts(client.get(), false));
    int singles = 0;
    for (const auto& r : server.Requests())
        singles += r.function == testserver::kFunctionOptions && r.Get(9020) == "4";
    EXPECT_GE(singles, static_cast<int>(day.options.size()));
    for (int r = 0; r < OptionContractTable.GetCount(); ++r)
        EXPECT_FALSE(OptionContractTable.Get(590, r).empty()) << r;
}

TEST_F(ReferenceDataTest, AFailedOptionListKeepsTablesAndCache) {
    LoadBasics();
    ASSERT_TRUE(LoadOptionContracts(client.get(), true));
    const int count = OptionContractTable.GetCount();
    server.InjectFault(testserver::kFunctionOptions,
                       testserver::Fault{testserver::FaultKind::Close});
    SetSyncedTime(2026, 12, 11, 9);
    EXPECT_FALSE(LoadOptionContracts(client.get(), true));
    EXPECT_EQ(OptionContractTable.GetCount(), count);
    EXPECT_EQ(UnderlyingTable.GetCount(), 3);
    EXPECT_EQ(CacheHead(kOptionCacheFile).second, "20261210");
}

TEST_F(ReferenceDataTest, UnderlyingOptionsAreLoadedWhileAnyLacksItsQuote) {
    LoadBasics();
    ASSERT_TRUE(LoadOptionContracts(client.get(), true));
    server.ClearRequests();
    EXPECT_TRUE(EnsureUnderlyingOptions(client.get(), "m2705"));
    EXPECT_EQ(Sent(testserver::kFunctionOptions, 9020), "2");
    EXPECT_EQ(Sent(testserver::kFunctionOptions, 719), "m2705");
    EXPECT_EQ(OptionContractTable.GetCount(), static_cast<int>(day.options.size()));
    const int row = FindOptionContract("m2705-C-2900");
    EXPECT_EQ(OptionContractTable.GetLong(1045, row), 1);

    // Every row quoted: nothing to do; an unknown underlying: nothing either.
    for (int r = 0; r < OptionContractTable.GetCount(); ++r)
        if (OptionContractTable.Get(719, r) == "m2705")
            OptionContractTable.Set(644, kFlagQuoteLoaded, r);
    server.ClearRequests();
    EXPECT_FALSE(EnsureUnderlyingOptions(client.get(), "m2705"));
    EXPECT_FALSE(EnsureUnderlyingOptions(client.get(), "zz9999"));
    EXPECT_EQ(RequestsOf(testserver::kFunctionOptions), 0);

    // A new series of the underlying is inserted in order.
    day.options.push_back({{599, "DL"}, {9100, "m2705-C-3100"}, {719, "m2705"}, {594, "0.5"}});
    server.EnableTradingDay(day);
    EXPECT_TRUE(LoadUnderlyingOptions(client.get(), "m2705"));
    EXPECT_GE(FindOptionContract("m2705-C-3100"), 0);
    EXPECT_EQ(OptionContractTable.GetCount(), static_cast<int>(day.options.size()));
}

// ------------------------------------------------------------------ quotes

TEST_F(ReferenceDataTest, PendingQuotesAreRefreshedOncePerRow) {
    LoadBasics();
    EXPECT_EQ(FindPendingQuoteRow(), -1);
    const int cu = FindFuturesContract("cu2701");
    FuturesContractTable.Set(644, 0x100, cu);
    ASSERT_EQ(FindPendingQuoteRow(), cu);

    // The server's price moved, and a zero limit price is not taken.
    for (Row& row : day.futures) {
        if (testserver::FieldOf(row, 719) != "cu2701") continue;
        for (testserver::Field& field : row) {
            if (field.tag == 729) field.value = "74990";
            if (field.tag == 706) field.value = "0";
        }
    }
    server.EnableTradingDay(day);
    const double upper = FuturesContractTable.GetDouble(706, cu);
    EXPECT_TRUE(RefreshFuturesQuote(client.get(), cu));
    EXPECT_DOUBLE_EQ(FuturesContractTable.GetDouble(729, cu), 74990.0);
    EXPECT_DOUBLE_EQ(FuturesContractTable.GetDouble(706, cu), upper);
    EXPECT_EQ(FuturesContractTable.GetLong(644, cu), 0x101);
    EXPECT_EQ(FindPendingQuoteRow(), -1);

    // A refused refresh still marks the row, so it is not asked for again and again.
    const int al = FindFuturesContract("al2701");
    FuturesContractTable.Set(644, 0x200, al);
    server.Script(testserver::kFunctionQuote, {{{507, "-100"}, {508, "合约不存在"}}});
    EXPECT_FALSE(RefreshContractQuote(client.get(), al));
    EXPECT_EQ(FuturesContractTable.GetLong(644, al), 0x201);
    EXPECT_EQ(FindPendingQuoteRow(), -1);
}

TEST_F(ReferenceDataTest, AnUnderlyingNamingItsIndexRefreshesTheIndex) {
    LoadBasics();
    ASSERT_TRUE(LoadOptionContracts(client.get(), true));
    const int io = FindUnderlyingContract("IO2701");
    const int index = FindUnderlyingContract("000300");
    UnderlyingTable.Set(644, kFlagUnderlyingList, io);
    ASSERT_EQ(FindPendingQuoteRow(), io | kUnderlyingRef);
    server.ClearRequests();
    EXPECT_TRUE(RefreshUnderlyingQuote(client.get(), io));
    EXPECT_EQ(Sent(testserver::kFunctionQuote, 719), "000300");
    EXPECT_EQ(Sent(testserver::kFunctionQuote, 599), "SH");
    EXPECT_DOUBLE_EQ(UnderlyingTable.GetDouble(729, index), 3901.4);
    EXPECT_TRUE(UnderlyingTable.GetLong(644, io) & kFlagQuoteLoaded);
    EXPECT_TRUE(UnderlyingTable.GetLong(644, index) & kFlagQuoteLoaded);
    // Underlyings that are futures (kind 0) are quoted through their contract row.
    EXPECT_EQ(FindPendingQuoteRow(), -1);
}

// ------------------------------------------------------------------ small helpers

TEST_F(ReferenceDataTest, CombinationQuoteListMarksItsContracts) {
    LoadBasics();
    ASSERT_TRUE(LoadExchangeCombinations(client.get(), false));
    const int cu = FindFuturesContract("cu2701");
    FuturesContractTable.Set(644, 0x400, cu);  // a mark of an older list
    CombinationQuoteListTable.Create(kCombinationQuoteListLayout);
    testing::AddRow(CombinationQuoteListTable, {{1060, "SP m2701&m2705"}});
    testing::AddRow(CombinationQuoteListTable, {{1392, "a2701"}, {1393, "y2703"}});
    testing::AddRow(CombinationQuoteListTable, {{1060, "SP none&none"}});
    FlagCombinationQuoteContracts();

    auto marked = [](const char* code) {
        return (FuturesContractTable.GetLong(644, FindFuturesContract(code)) & 0x400) != 0;
    };
    for (const char* code : {"m2701", "m2705", "a2701", "y2703"}) EXPECT_TRUE(marked(code)) << code;
    EXPECT_FALSE(marked("cu2701"));
    const int spread = FindCombinationContract("SP m2701&m2705");
    EXPECT_TRUE(CombinationContractTable.GetLong(644, spread) & 0x400);

    CFixRecord& list = CombinationQuoteListTable;
    EXPECT_EQ(list.GetLong(3062, 0), spread);
    EXPECT_EQ(list.Get(1392, 0), "m2701");
    EXPECT_EQ(list.Get(1393, 0), "m2705");
    EXPECT_DOUBLE_EQ(list.GetDouble(587, 0),
                     FuturesContractTable.GetDouble(813, FindFuturesContract("m2701")));
    EXPECT_DOUBLE_EQ(list.GetDouble(726, 0),
                     FuturesContractTable.GetDouble(813, FindFuturesContract("m2705")));
    EXPECT_EQ(list.GetLong(3062, 1), -1);
    EXPECT_EQ(list.GetLong(9036, 1), 0);
    EXPECT_DOUBLE_EQ(list.GetDouble(726, 1),
                     FuturesContractTable.GetDouble(813, FindFuturesContract("y2703")));
}

TEST(ReferenceDataHelpers, EfpCodes) {
    const std::pair<const char*, bool> cases[] = {{"efp", true},   {"cu2701efp", true},
                                                  {"ef", false},   {"cu2701EFP", false},
                                                  {"efpx", false}, {"", false}};
    for (const auto& [code, efp] : cases) EXPECT_EQ(IsEfpContract(code), efp) << code;
    EXPECT_FALSE(IsEfpContract(nullptr));
}

TEST(ReferenceDataHelpers, PackedTextFillsByPosition) {
    CFixRecord table;
    table.Create(kFuturesContractLayout);
    const int row = table.GetMemRecord()->Append(nullptr, true);
    table.Set(722, "old name", row);
    const std::string longName(300, 'x');
    const std::string key = ApplyPackedText(
        table, row, "SQ,cu2701,,cu,20270115,79000,69000,12,9.5,700," + longName + ",extra",
        PackedContractTags(), 1);
    EXPECT_EQ(key, "cu2701");
    EXPECT_EQ(table.Get(599, row), "SQ");
    EXPECT_EQ(table.Get(722, row), "old name");  // an empty item leaves the field
    EXPECT_DOUBLE_EQ(table.GetDouble(706, row), 79000.0);
    EXPECT_EQ(table.GetLong(1806, row), 700);
    EXPECT_EQ(PackedKey("a,b,c", 2), "c");
    EXPECT_EQ(PackedKey("a,b", 2), "");
    EXPECT_EQ(PackedKey(std::string(300, 'k') + ",b", 0), std::string(255, 'k'));
    EXPECT_EQ(PackedKey(std::string(5000, 'a') + ",b", 1), "");  // beyond 4095: cut off
}

TEST_F(ReferenceDataTest, FreshStartEmptiesTheCacheFiles) {
    LoadBasics();
    ASSERT_TRUE(LoadExchangeCombinations(client.get(), true));
    ASSERT_TRUE(LoadOptionContracts(client.get(), true));
    ClearReferenceCacheFiles();
    for (const char* file : {kCombinationCodeCacheFile, kCombinationLegCacheFile, kOptionCacheFile})
        EXPECT_TRUE(ReadFile(UserFile(file)).empty()) << file;
    server.ClearRequests();
    ASSERT_TRUE(LoadOptionContracts(client.get(), true));
    EXPECT_EQ(FirstSent(testserver::kFunctionOptions, 9020), "1");
}

}  // namespace
}  // namespace tradedata
