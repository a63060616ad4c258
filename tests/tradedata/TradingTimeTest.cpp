// Tests of trading sections, the night session, the trading date around the weekend and the
// market-order and price-limit rules.
#include "tradedata/TradingTime.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/core/Clock.h"
#include "tests/tradedata/TradeDataFixture.h"

namespace tradedata {
namespace {

using testing::AddRow;
using namespace std::chrono;

class TradingTimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        ExchangeTable.Create(kExchangeLayout);
        for (const char* x : {"SQ", "DL", "ZJ", "XX"}) AddRow(ExchangeTable, {{599, x}});
        base = GetClockBase();
    }
    void TearDown() override {
        SetClockBase(base);
        testing::ResetGlobalTables();
    }
    // Makes the synchronised clock read this local wall time.
    void SetNow(local_seconds wall) {
        SetClockBase(LocalSecondsToFileTime(wall) - 10'000 * GetHighResTickCount());
    }
    platform::ManualClock clock;
    platform::ScopedClockSource source{clock};
    testing::SettingsSandbox settings;
    int64_t base = 0;
};

TEST_F(TradingTimeTest, TradingDateAcrossTheWeekend) {
    // 2026-12-11 is a Friday.
    const local_days friday = local_days{year{2026} / December / 11};
    struct Case {
        local_seconds now;
        unsigned day;
        int hour;
    };
    const Case cases[] = {
        {friday + hours(10), 11, 10},            // day session: Friday
        {friday + hours(21), 14, 21},            // night session: Monday
        {friday - days(1) + hours(21), 11, 21},  // Thursday night: Friday
        {friday + days(1) + hours(1), 14, 1},    // Saturday small hours: Monday
        {friday + days(2) + hours(12), 14, 12},  // Sunday: Monday
        {friday + days(3) + hours(9), 14, 9},    // Monday morning
    };
    for (const Case& c : cases) {
        SetNow(c.now);
        const SystemTime t = GetTradingDate("SQ");
        EXPECT_EQ(t.day, int(c.day));
        EXPECT_EQ(t.hour, c.hour);
        EXPECT_EQ(t.month, 12);
    }
}

TEST_F(TradingTimeTest, ExchangeClockOffset) {
    const local_days day = local_days{year{2026} / December / 9};
    SetNow(day + hours(10));
    ExchangeTable.Set(983, 60, 0);
    EXPECT_EQ(GetExchangeTimeByCode("SQ").minute, 59);
    ExchangeTable.Set(983, 5000, 0);  // outside -3600..3600: no offset
    EXPECT_EQ(GetExchangeTimeByCode("SQ").minute, 0);
    EXPECT_EQ(GetExchangeTimeByCode("none").hour, 10);
    ExchangeTable.Set(983, 300, 0);
    EXPECT_EQ(GetExchangeTime(0).minute, 55);
    EXPECT_EQ(GetExchangeTime(0).hour, 9);
    EXPECT_EQ(GetExchangeTime(ExchangeTable.GetCount()).minute, 0);  // no such row
    EXPECT_EQ(GetExchangeTime(-1).minute, 0);
}

TEST_F(TradingTimeTest, NightSessionStartIsCachedInTheExchangeRow) {
    EXPECT_EQ(GetNightSessionStart("SQ"), 203000);
    EXPECT_EQ(ExchangeTable.GetLong(898, 0), 203000);
    EXPECT_EQ(GetNightSessionStart("DL"), -1);
    pavlet::WriteConfigure("YSJYSJ", "ZJ", "25:00");
    pavlet::WriteConfigure("SYSTEM", "YSJYSJ", "21:00");
    EXPECT_EQ(GetNightSessionStart("ZJ"), 210000);
    EXPECT_EQ(ExchangeTable.GetLong(898, 2), -1);
    EXPECT_EQ(GetNightSessionStart("unknown"), 210000);
}

TEST_F(TradingTimeTest, SectionsFromSettingsRowOrDefault) {
    EXPECT_EQ(GetTradingSections("DL", nullptr), "9:00-10:15;10:30-11:30;13:30-15:00;21:00-23:30");
    EXPECT_EQ(ExchangeTable.Get(3113, 1), "9:00-10:15;10:30-11:30;13:30-15:00;21:00-23:30");
    EXPECT_EQ(GetTradingSections("XX", nullptr), "9:00-11:30;13:30-15:00");
    EXPECT_EQ(GetTradingSections("nowhere", nullptr), "");

    FuturesContractTable.Create(kFuturesContractLayout);
    AddRow(FuturesContractTable, {{719, "ag2506"}, {599, "SQ"}, {720, "ag"}});
    ProductTable.Create(kProductLayout);
    AddRow(ProductTable, {{763, "SQag"}, {566, "AG"}});
    pavlet::WriteConfigure("JYSJ", "SQ.ag", "9:00-11:30");
    EXPECT_EQ(GetTradingSections("SQ", "ag2506"), "9:00-11:30");
    pavlet::WriteConfigure("JYSJ", "SQ.AG", "21:00-02:30");
    EXPECT_EQ(GetTradingSections("SQ", "ag2506"), "21:00-02:30");
    EXPECT_EQ(GetTradingSections("DL", "ag2506"), ExchangeTable.Get(3113, 1));
}

TEST_F(TradingTimeTest, MarketOrdersBarredByPosition) {
    FuturesContractTable.Create(kFuturesContractLayout);
    for (const char* code : {"IF2501", "IC2501", "IF2502", "IF2503", "IF2506"})
        AddRow(FuturesContractTable, {{719, code}});
    struct Case {
        const char* code;
        bool barred;
    };
    for (const Case& c :
         {Case{"IF2501", false}, Case{"IF2502", false}, Case{"IF2503", true}, Case{"IF2506", true},
          Case{"IC2501", false}, Case{"IF", false}, Case{"IF9999", false}})
        EXPECT_EQ(IsMarketOrderDisabled(c.code), c.barred) << c.code;
    EXPECT_FALSE(IsMarketOrderDisabled(nullptr));
    pavlet::WriteConfigure("DisableMarketOrder", "IC", "1");
    EXPECT_TRUE(IsMarketOrderDisabled("IC2501"));
}

TEST(TradingSectionsTest, ClockTimesAgainstSections) {
    struct Case {
        int32_t hhmmss;
        const char* sections;
        bool inside;
    } cases[] = {
        {93000, "09:00-10:15;10:30-11:30;13:30-15:00", true},
        {101600, "09:00-10:15;10:30-11:30;13:30-15:00", false},
        {150000, "09:00-10:15;10:30-11:30;13:30-15:00", true},
        {10000, "21:00-02:30", true},  // over midnight
        {160000, "21:00-02:30", false},
        {93000, "", false},
        {93000, "garbage;09:00-10:00", true},
        {100000, " 09:00 - 10:00 ", true},         // spaces around the times
        {85959, "9:00-10:15;21:00-02:30", false},  // hours of one digit
        {90000, "9:00-10:15;21:00-02:30", true},
        {101501, "9:00-10:15;21:00-02:30", false},
        {23001, "9:00-10:15;21:00-02:30", false},
        {90000, "junk;;9:00", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TimeInSections(c.hhmmss, c.sections), c.inside) << c.hhmmss << " " << c.sections;
}

TEST(PriceLimitsTest, UnknownLimitsAllowAnyPrice) {
    EXPECT_TRUE(IsPriceWithinLimits(5, 0, 0));
    EXPECT_TRUE(IsPriceWithinLimits(5, 10, 5));
    EXPECT_TRUE(IsPriceWithinLimits(10, 10, 5));
    EXPECT_FALSE(IsPriceWithinLimits(10.5, 10, 5));
    EXPECT_FALSE(IsPriceWithinLimits(4.9, 10, 5));
}

}  // namespace
}  // namespace tradedata
