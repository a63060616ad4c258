// Tests of the program-wide helpers: strings, capital amounts, colours, tick decimals, fits
// and time values.
#include "tradedata/ProgramHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "platform/core/Paths.h"

namespace tradedata {
namespace {

TEST(ProgramHelpersTest, AppDirectoryHasNoTrailingSlash) {
    platform::SetProgramDirForTesting("/opt/kelmon/");
    EXPECT_EQ(GetAppDirectory(), "/opt/kelmon");
    platform::SetProgramDirForTesting("");
}

TEST(ProgramHelpersTest, AssignStringSafeHandlesItsOwnText) {
    std::string s = "hello world";
    AssignStringSafe(s, s.c_str() + 6);
    EXPECT_EQ(s, "world");
    AssignStringSafe(s, s.c_str() + s.size());
    EXPECT_EQ(s, "");
    s = "abc";
    AssignStringSafe(s, nullptr);
    EXPECT_EQ(s, "");
    AssignStringSafe(s, "other");
    EXPECT_EQ(s, "other");

    CTrimString t;
    t = " \t 委托 ab \r\n";
    EXPECT_EQ(t.Trim(), "委托 ab");
    t = t.c_str() + 7;  // its own tail
    EXPECT_EQ(t, "ab");
}

TEST(ProgramHelpersTest, SmallStringHelpers) {
    std::string s = "7";
    EXPECT_EQ(PadLeft(s, '0', 3), "007");
    s = "12345";
    EXPECT_EQ(PadLeft(s, '0', 3), "123");
    EXPECT_EQ(CountChar("a|b|c|", '|'), 3);
    EXPECT_EQ(CountChar("", '|'), 0);
    std::vector<uint8_t> bytes = {1, 10, 2, 10};
    ReplaceChar(std::span<uint8_t>(bytes.data(), 3), 10, 5);  // only the first n bytes
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 5, 2, 10}));
    const uint8_t raw[] = {0x00, 0xAB, 0x7F};
    EXPECT_EQ(BytesToHex(raw), "00AB7F");
}

TEST(ProgramHelpersTest, FormatStringGrowsAndIgnoresTheLocale) {
    std::string out;
    FormatString(out, "%s=%d|%.2lf|%ld", "JG", 5, 1.25, 7L);
    EXPECT_EQ(out, "JG=5|1.25|7");
    FormatString(out, "[%s]", std::string(5000, 'x'));
    EXPECT_EQ(out.size(), 5002u);
    FormatString(out, "%d");  // missing argument: empty, never a crash
    EXPECT_EQ(out, "");
}

TEST(ProgramHelpersTest, AmountToChineseCapitals) {
    struct Case {
        double amount;
        const char* text;
    };
    const Case cases[] = {
        {0, "零元整"},
        {1, "壹元整"},
        {15, "壹拾伍元整"},
        {1010, "壹仟零壹拾元整"},
        {10000, "壹万元整"},
        {100000000, "壹亿元整"},
        {1e12, "壹兆元整"},
        {100010000, "壹亿零壹万元整"},
        {100000001, "壹亿零壹元整"},
        {12000300, "壹仟贰佰万零叁佰元整"},
        {12345000, "壹仟贰佰叁拾肆万伍仟元整"},
        {1234.56, "壹仟贰佰叁拾肆元伍角陆分"},
        {0.5, "零元伍角"},
        {0.05, "零元伍分"},
        {-3.2, "负叁元贰角"},
        {-0.001, "零元整"},
        {1234567890123456.0, "壹仟贰佰叁拾肆兆伍仟陆佰柒拾捌亿玖仟零壹拾贰万叁仟肆佰伍拾陆元整"},
        {1e16, ""},
        {std::numeric_limits<double>::infinity(), ""},
        {std::nan(""), ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AmountToChineseCapitals(c.amount), c.text) << c.amount;
    }
}

TEST(ProgramHelpersTest, AlertEventNames) {
    EXPECT_EQ(GetAlertEventName(0), "委托成功");
    EXPECT_EQ(GetAlertEventName(2), "撤单成功");
    EXPECT_EQ(GetAlertEventName(8), "全部成交");
    EXPECT_EQ(GetAlertEventName(9), "");
    EXPECT_EQ(GetAlertEventName(-1), "");
}

TEST(ProgramHelpersTest, ColourConversion) {
    struct Case {
        uint32_t colour;
        double hue;
        double saturation;
        double value;
    };
    const Case cases[] = {
        {0x0000FF, 0, 1, 1},   {0x00FF00, 120, 1, 1},         {0xFF0000, 240, 1, 1},
        {0xFF00FF, 300, 1, 1}, {0x808080, 0, 0, 128 / 255.0}, {0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        double h = -1;
        double s = -1;
        double v = -1;
        RgbToHsv(c.colour, h, s, v);
        EXPECT_NEAR(h, c.hue, 1e-9) << std::hex << c.colour;
        EXPECT_NEAR(s, c.saturation, 1e-9);
        EXPECT_NEAR(v, c.value, 1e-9);
    }
    for (const uint32_t colour : {0x0000FFu, 0x123456u, 0xC0C0C0u, 0x00A5FFu, 0x7F007Fu}) {
        double h = 0;
        double s = 0;
        double v = 0;
        RgbToHsv(colour, h, s, v);
        EXPECT_EQ(HsvToRgb(h, s, v), colour) << std::hex << colour;
    }
    EXPECT_EQ(HsvToRgb(0, 0, 0.5), 0x7F7F7Fu);
    EXPECT_EQ(HsvToRgb(360, 1, 1), 0u);  // out of range
    EXPECT_EQ(HsvToRgb(10, 1.5, 1), 0u);
    EXPECT_EQ(XorInt(6, 3), 5);
}

TEST(ProgramHelpersTest, TickDecimals) {
    struct Case {
        double tick;
        int decimals;
    };
    const Case cases[] = {{1, 0},    {5, 0},     {0.5, 1},         {0.2, 1},
                          {0.05, 2}, {0.001, 3}, {0.0001, 4},      {0.00001, 0},
                          {0, 0},    {-0.5, 0},  {std::nan(""), 0}};
    for (const Case& c : cases) EXPECT_EQ(GetTickDecimals(c.tick), c.decimals) << c.tick;
}

TEST(ProgramHelpersTest, LinearFit) {
    FitStats stats{};
    const double line[] = {1, 3, 5, 7};
    EXPECT_DOUBLE_EQ(LinearFit(line, &stats), 2);
    EXPECT_DOUBLE_EQ(stats.residual, 0);
    EXPECT_DOUBLE_EQ(stats.mean, 4);
    EXPECT_DOUBLE_EQ(stats.lastFitted, 7);

    const double noisy[] = {1, 2, 2, 4};
    EXPECT_NEAR(LinearFit(noisy, &stats), 0.9, 1e-12);
    EXPECT_NEAR(stats.regression, 4.05, 1e-12);
    EXPECT_NEAR(stats.residual, 0.7, 1e-12);
    EXPECT_NEAR(stats.residualVariance, 0.35, 1e-12);
    EXPECT_NEAR(stats.lastFitted, 3.6, 1e-12);

    // Too few points: no division by zero, no NaN.
    const double two[] = {1, 2};
    EXPECT_DOUBLE_EQ(LinearFit(two, &stats), 1);
    EXPECT_EQ(stats.residualVariance, 0);
    const double one[] = {5};
    EXPECT_EQ(LinearFit(one, &stats), 0);
    EXPECT_EQ(stats.lastFitted, 5);
    EXPECT_EQ(LinearFit(std::span<const double>(), &stats), 0);
    EXPECT_FALSE(std::isnan(stats.mean));
}

TEST(ProgramHelpersTest, TrendFitStopsAtABreak) {
    double lastFitted = 0;
    int length = -1;
    const double rising[] = {5, 1, 2, 3, 4};
    EXPECT_NEAR(TrendFit(rising, 0.9, &lastFitted, &length), 1, 1e-12);
    EXPECT_EQ(length, 4);
    EXPECT_NEAR(lastFitted, 4, 1e-12);

    const double jump[] = {0, 10, 1, 2, 3};  // the fit over the last 4 correlates poorly
    EXPECT_NEAR(TrendFit(jump, 0.9, &lastFitted, &length), 1, 1e-12);
    EXPECT_EQ(length, 3);

    const double tooShort[] = {1, 2};
    EXPECT_EQ(TrendFit(tooShort, 0.9, &lastFitted, &length), 0);
    EXPECT_EQ(length, 0);
}

TEST(ProgramHelpersTest, ParseTimeValue) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"09:30:15", 93015},
        {"9:5", 90500},
        {"14-00-00", 140000},
        {"1.2.3.4", 10203},
        {"21/00", 210000},
        {"", 0},
        {"-5:00", 500},
        {"ab:cd", 0},
        {"99999999999:0", std::numeric_limits<int32_t>::max()},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseTimeValue(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace tradedata
