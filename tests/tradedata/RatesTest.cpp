// Tests of the rates and parameters against the test server: the risk-free rate and volatility
// from the settings, the server clock offset with a delayed answer, rate rows (the server's
// "not set" values, unknown contracts that must not block) and the number texts.
#include "tradedata/Rates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "comm/FixApiClient.h"
#include "platform/core/Clock.h"
#include "record/Configure.h"
#include "tests/tradedata/ServerFixture.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/ProgramClock.h"

namespace tradedata {
namespace {

using testing::AddRow;
using testserver::Answer;
using testserver::ReceivedRequest;

class RatesTest : public testing::ServerTest {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        StartAndConnect();
    }
    void TearDown() override {
        Disconnect();
        ResetServerTimeOffset();
        testing::ResetGlobalTables();
    }

    testing::SettingsSandbox sandbox;
    platform::ManualClock clock;
    platform::ScopedClockSource source{clock};
};

TEST_F(RatesTest, RiskFreeRateAndVolatilityFromSettings) {
    struct Case {
        const char* gznll;
        const char* sigma;
        double rate, volatility;
    } cases[] = {
        {"0.05", "0.35", 0.04879, 0.35},
        {"3", "12", 0.04879, 0.2},
        {"0", "", 0.04879, 0.2},
        {"0.1", "0.0000001", 0.09531, 0.2},
    };
    server.Script(16344, {{{507, "0"}, {823, "3"}, {9020, "2"}, {873, "0.5"}, {531, "7=YES|"}}});
    server.Script(
        15029,
        {{{507, "0"}, {511, "USD"}, {2567, "7.1"}}, {{507, "-1"}}, {{507, "0"}, {511, "HKD"}}});
    server.Script(15687, Answer{});
    for (const Case& c : cases) {
        pavlet::WriteConfigure("OPTIONS", "GZNLL", c.gznll);
        pavlet::WriteConfigure("OPTIONS", "sigma", c.sigma);
        LoadCalculationParameters(client.get());
        EXPECT_NEAR(GetRiskFreeRate(), c.rate, 5e-6) << c.gznll;
        EXPECT_DOUBLE_EQ(GetRiskFreeRate(), std::round(GetRiskFreeRate() * 1e6) / 1e6);
        EXPECT_DOUBLE_EQ(GetVolatility(), c.volatility) << c.sigma;
    }
    EXPECT_EQ(GetCalculationParameters().value823, 3);
    EXPECT_DOUBLE_EQ(GetCalculationParameters().value873, 0.5);
    EXPECT_EQ(ExchangeRateTable.GetCount(), 1);  // rows stop at the first refusal
    server.Script(15687, {{{507, "0"}, {620, "0.0312345"}}});
    LoadCalculationParameters(client.get());
    EXPECT_DOUBLE_EQ(GetRiskFreeRate(), 0.031235);
}

// The server stamps its time when it gets the request; its answer takes another 100 ms to
// arrive. Right after the synchronisation the clock must read the stamp plus those 100 ms.
TEST_F(RatesTest, ServerTimeAllowsForTheWayBack) {
    server.SetHook(150013, [&](const ReceivedRequest&) {
        clock.AdvanceMs(100);  // on the way to the server
        Answer a;
        a.rows.push_back({{507, "1"}, {651, "20250102"}, {1219, "09:30:15.1234"}});
        clock.AdvanceMs(100);  // on the way back
        return a;
    });
    SyncServerTime(client.get());
    const SystemTime t = GetCurrentSystemTime();
    EXPECT_EQ(t.year, 2025);
    EXPECT_EQ(t.month, 1);
    EXPECT_EQ(t.day, 2);
    EXPECT_EQ(t.hour, 9);
    EXPECT_EQ(t.minute, 30);
    EXPECT_EQ(t.second, 15);
    EXPECT_EQ(t.milliseconds, 234 + 100);
    EXPECT_EQ(GetTimeSyncDuration(), 200u);
    EXPECT_EQ(GetSyncTimeText(), "09:30:15.334");

    // A refusal keeps the offset but records the round trip.
    const int64_t base = GetClockBase();
    server.SetHook(150013, [&](const ReceivedRequest&) {
        clock.AdvanceMs(30);
        Answer a;
        a.rows.push_back({{507, "-1"}});
        return a;
    });
    SyncServerTime(client.get());
    EXPECT_EQ(GetClockBase(), base);
    EXPECT_EQ(GetTimeSyncDuration(), 30u);
}

TEST_F(RatesTest, RateRowsLoadAndUnknownContractsDoNotBlock) {
    FuturesContractTable.Create(kFuturesContractLayout);
    AddRow(FuturesContractTable, {{599, "SQ"}, {719, "cu2501"}});
    server.Script(16390, {{{507, "0"},
                           {1759, "0.12"},
                           {1760, "999999"},
                           {1821, "99"},
                           {1822, "5"},
                           {719, "other"}}});
    EXPECT_DOUBLE_EQ(GetMarginRatio(client.get(), "8001", "SQ", "cu2501", 1), 0.12);
    const int row = LookupRateRow("8001", "SQ", "cu2501", 1);
    ASSERT_GE(row, 0);
    EXPECT_EQ(RateTable.Get(763, row), "8001|SQ|cu2501|1");
    EXPECT_EQ(RateTable.Get(719, row), "cu2501");
    EXPECT_DOUBLE_EQ(RateTable.GetDouble(1760, row), 0.0);
    EXPECT_DOUBLE_EQ(RateTable.GetDouble(1821, row), 0.0);
    EXPECT_DOUBLE_EQ(RateTable.GetDouble(1822, row), 5.0);
    EXPECT_EQ(server.Requests().back().Get(1717), "1");

    // A contract nobody knows is answered with zeros at once, without a request.
    const int before = RequestsOf(16390);
    EXPECT_DOUBLE_EQ(GetMarginRatio(client.get(), "8001", "SQ", "zz9999", 0), 0.0);
    EXPECT_EQ(RequestsOf(16390), before);
    EXPECT_TRUE(RateTable.GetLong(644, LookupRateRow("8001", "SQ", "zz9999", 0)) & kRateLoaded);
    EXPECT_FALSE(LoadPendingRates(client.get()));
}

TEST_F(RatesTest, ClientMarginsByProduct) {
    server.Script(16956, {{{507, "0"}, {720, "cu"}, {1720, "0.1"}},
                          {{507, "0"}, {720, ""}, {1720, "0.3"}},
                          {{507, "0"}, {720, "al"}, {1720, "0.2"}}});
    LoadClientMargins(client.get(), "8001", "SQ", "J1", nullptr);
    LoadClientMargins(client.get(), "8001", "SQ", "J1", "cu");
    EXPECT_EQ(ClientMarginTable.GetCount(), 2);
    const int row = ClientMarginTable.Find(763, "8001|SQ|J1|cu");
    ASSERT_GE(row, 0);
    EXPECT_DOUBLE_EQ(ClientMarginTable.GetDouble(1720, row), 0.1);
    EXPECT_EQ(ClientMarginTable.Get(1716, row), "J1");
    EXPECT_EQ(server.Requests().back().Get(720), "cu");
}

TEST(RateTextTest, NumberTexts) {
    EXPECT_EQ(FormatDouble(3.14159, 2), "3.14");
    EXPECT_EQ(FormatSignedNumber(1.5, 1, true), "+1.5");
    EXPECT_EQ(FormatSignedNumber(-1.5, 1, true), "-1.5");
    EXPECT_EQ(FormatSignedNumber(0, 1, true), "0.0");
    EXPECT_EQ(FormatSignedNumber(-1.5, 1, false), "1.5");
    EXPECT_DOUBLE_EQ(RoundToTickDecimals(3051.26, 0.5), 3051.5);
    EXPECT_DOUBLE_EQ(RoundToTickDecimals(10.123, 0.01), 10.12);
    EXPECT_DOUBLE_EQ(RoundToTickDecimals(7.3, 0), 7.3);  // no tick: unchanged
    EXPECT_EQ(FormatValueWithCount(12.5, 1, 3, 8), "12.5   3");
    EXPECT_EQ(FormatValueWithCount(12.5, 1, 3, 5), "12.5/3");
}

}  // namespace
}  // namespace tradedata
