// Locale-free C-library number rules.
#include "platform/core/Numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <vector>

using namespace platform;

namespace {

TEST(Numbers, AtolFollowsTheCRulesAndSaturates) {
    struct Case {
        const char* text;
        int32_t value;
    };
    for (const Case& c : std::vector<Case>{{"42x", 42},
                                           {"  -17", -17},
                                           {"+5", 5},
                                           {"abc", 0},
                                           {"", 0},
                                           {"- 5", 0},
                                           {"2147483647", 2147483647},
                                           {"2147483648", 2147483647},
                                           {"-2147483648", -2147483647 - 1},
                                           {"-99999999999999999999999", -2147483647 - 1},
                                           {"99999999999999999999999", 2147483647}}) {
        EXPECT_EQ(AtolSat(c.text), c.value) << c.text;
    }
    EXPECT_EQ(Atol64Sat("9223372036854775807"), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(Atol64Sat("-9223372036854775808"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(Atol64Sat("4294967296"), 4294967296LL);
}

TEST(Numbers, AtofFollowsTheCRules) {
    struct Case {
        const char* text;
        double value;
    };
    for (const Case& c : std::vector<Case>{{"1.5", 1.5},
                                           {" -2.25e1z", -22.5},
                                           {"+.5", 0.5},
                                           {"x", 0},
                                           {"0x10", 16},
                                           {"1e999", HUGE_VAL},
                                           {"1e-999", 0}}) {
        EXPECT_EQ(Atof(c.text), c.value) << c.text;
    }
    EXPECT_TRUE(std::isnan(Atof("nan")));
}

TEST(Numbers, FormattingIgnoresTheProcessLocale) {
    // A locale with a decimal comma, when the machine has one, must not leak in.
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(FormatFixed(1234.5, 2), "1234.50");
    EXPECT_EQ(Atof("1.25"), 1.25);
    std::setlocale(LC_ALL, saved.c_str());

    EXPECT_EQ(FormatFixed(-0.125, 2), "-0.12");  // round-half-even on the binary value, as printf
    EXPECT_EQ(FormatFixed(2.5, 0), "2");
    EXPECT_EQ(FormatFixed(1e20, 1), "100000000000000000000.0");
    EXPECT_EQ(FormatG(0.0001), "0.0001");
    EXPECT_EQ(FormatG(1234567.0), "1.23457e+06");
    EXPECT_EQ(FormatG(12.0), "12");
    EXPECT_EQ(FormatInt(-2147483648LL), "-2147483648");
    EXPECT_EQ(FormatUnsigned(4294967295u), "4294967295");
    char small[4];
    EXPECT_EQ(FormatFixedTo(small, sizeof small, 123.456, 2), 3u);
    EXPECT_STREQ(small, "123");
}

TEST(Numbers, DoubleToInt32ClampsAndMapsNanToZero) {
    EXPECT_EQ(DoubleToInt32(3.9), 3);
    EXPECT_EQ(DoubleToInt32(-3.9), -3);
    EXPECT_EQ(DoubleToInt32(1e12), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(DoubleToInt32(-1e12), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(DoubleToInt32(NAN), 0);
    EXPECT_EQ(DoubleToInt32(INFINITY), std::numeric_limits<int32_t>::max());
}

}  // namespace
