// Rounding, number texts, trimming and padding, in-place edits, delimited lists and flex items.
#include "record/StringHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/core/Numbers.h"

using namespace pavlet;

namespace {

TEST(Round, HalvesGoAwayFromZero) {
    struct Case {
        double x, expected;
    };
    for (const Case& c : std::vector<Case>{
             {2.5, 3}, {-2.5, -3}, {2.49, 2}, {-2.49, -2}, {0.5, 1}, {-0.5, -1}, {0, 0}}) {
        EXPECT_EQ(pavlet::round(c.x), c.expected) << c.x;
    }
}

TEST(Round, ToStepAndDecimals) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double x, step, expected;
    };
    for (const Case& c : std::vector<Case>{{7, 5.0, 5},
                                           {8, 5.0, 10},
                                           {-8, 5.0, -10},
                                           {1.26, 0.25, 1.25},
                                           {7, -5.0, 5},
                                           // A step that would give NaN or overflow gives x.
                                           {7.3, 0.0, 7.3},
                                           {7.3, nan, 7.3},
                                           {7.3, inf, 7.3},
                                           {1e300, 1e-300, 1e300}}) {
        EXPECT_EQ(pavlet::round(c.x, c.step), c.expected) << c.x << " step " << c.step;
    }
    EXPECT_EQ(pavlet::round(3.14159, 2), 3.14);
    EXPECT_EQ(pavlet::round(3.14159, 0), 3);
    EXPECT_EQ(pavlet::round(1250.0, -2), 1300);
    EXPECT_EQ(pavlet::round(3.5, std::numeric_limits<int>::min()), 3.5);
    EXPECT_EQ(pavlet::round(3.5, std::numeric_limits<int>::max()), 3.5);
    for (int decimals = -1000; decimals <= 1000; decimals += 7) {
        const double r = pavlet::round(3.14159, decimals);
        EXPECT_TRUE(std::isfinite(r)) << decimals;
        if (decimals >= 5) {
            EXPECT_NEAR(r, 3.14159, 1e-12) << decimals;
        }
    }
}

class FlexNumber : public ::testing::Test {
protected:
    void TearDown() override { SetFlexNumericGrouping(0); }
};

TEST_F(FlexNumber, FormatsWithAndWithoutGrouping) {
    struct Case {
        int grouping;
        double value;
        int decimals;
        const char* expected;
    };
    for (const Case& c : std::vector<Case>{
             {3, -1234567.891, 2, "-1,234,567.89"},
             {0, -1234567.891, 2, "-1234567.89"},
             // Ungrouped follows "%.2f" on the binary value (0.125 is exact: ties to even);
             // grouped rounds the "%lf" text "0.125000" half up.
             {0, 0.125, 2, "0.12"},
             {3, 0.125, 2, "0.13"},
             {3, 0.5, 0, "1"},
             // The grouped path rounds twice: 0.0000049 prints as "0.000005" first.
             {3, 0.0000049, 5, "0.00001"},
             {0, 0.0000049, 5, "0.00000"},
             {3, 999.999, 2, "1,000.00"},
             {3, -999999.996, 2, "-1,000,000.00"},
             {3, 0.4, 2, "0.40"},
             {3, 123, 0, "123"},
             {3, 1234, 0, "1,234"},
             {3, 1.5, 8, "1.50000000"},
             {3, -0.001, 2, "-0.00"},
             {3, 12.3456, -1, "12"},
             {2, 1234567, 0, "1,23,45,67"},
             {32, 123456789, 0, "12,34,56,789"},
             {32, 123, 1, "123.0"},
             // Settings the system formatter refuses leave the digits ungrouped.
             {12, 1234567, 1, "1234567.0"},
         }) {
        SetFlexNumericGrouping(c.grouping);
        EXPECT_EQ(FlexNumericFormat(c.value, c.decimals), c.expected)
            << c.value << " grouping " << c.grouping;
    }
}

TEST_F(FlexNumber, LongAndNonFiniteValues) {
    SetFlexNumericGrouping(3);
    const std::string big = FlexNumericFormat(1e300, 2);
    std::string digits = big;
    std::erase(digits, ',');
    EXPECT_EQ(digits, platform::FormatFixed(1e300, 2));
    EXPECT_GT(big.size(), 32u);
    EXPECT_EQ(big.substr(0, 8), "1,000,00");
    EXPECT_EQ(FlexNumericFormat(std::numeric_limits<double>::infinity(), 2), "inf");
    EXPECT_EQ(FlexNumericFormat(-std::numeric_limits<double>::infinity(), 2), "-inf");
    EXPECT_EQ(FlexNumericFormat(std::numeric_limits<double>::quiet_NaN(), 2), "nan");
}

TEST(TrimAndPad, TrimsSpacesOnly) {
    struct Case {
        const char* text;
        const char *left, *right, *both;
    };
    for (const Case& c : std::vector<Case>{{"  a b  ", "a b  ", "  a b", "a b"},
                                           {"   ", "", "", ""},
                                           {"", "", "", ""},
                                           {"\ta\t ", "\ta\t ", "\ta\t", "\ta\t"}}) {
        std::string l = c.text, r = c.text, b = c.text;
        EXPECT_EQ(ltrim(l), c.left);
        EXPECT_EQ(rtrim(r), c.right);
        EXPECT_EQ(alltrim(b), c.both);
    }
}

TEST(TrimAndPad, PadsAndCutsToWidth) {
    struct Case {
        bool left;
        const char* text;
        int width;
        char fill;
        const char* expected;
    };
    for (const Case& c : std::vector<Case>{
             {true, "12345", 3, ' ', "123"},
             {true, "7", 3, '0', "007"},
             {true, "abc", 3, '0', "abc"},
             {true, "abc", 0, '0', ""},
             {true, "abc", -4, '0', ""},
             {false, "7", 3, '0', "700"},
             {false, "12345", 3, ' ', "123"},
             {false, "ab", -1, ' ', ""},
             // Cuts never split a character; the fill makes up the width.
             {true, "中文", 3, ' ', "中"},
             {true, "中文", 4, ' ', " 中"},
             {true, "a中", 3, '_', "__a"},
             {false, "a中", 2, '.', "a."},
             {false, "中文", 5, '.', "中.."},
             {false, "\x80\x80\x80\x80", 2, '.', "\x80\x80"},
         }) {
        std::string s = c.text;
        EXPECT_EQ(c.left ? strpadl(s, c.width, c.fill) : strpadr(s, c.width, c.fill), c.expected)
            << c.text << " width " << c.width;
        EXPECT_EQ(s.size(), static_cast<std::size_t>(std::max(c.width, 0)));
    }
}

TEST(Editing, CountReplaceRemove) {
    EXPECT_EQ(strcnt("a,b,,c", ','), 3);
    EXPECT_EQ(strcnt("", ','), 0);
    std::string s = "a,b,,c";
    EXPECT_EQ(strcrep(s, ',', '|'), "a|b||c");
    strremove(s, '|');
    EXPECT_EQ(s, "abc");
}

TEST(Editing, StuffReplacesTheStart) {
    struct Case {
        const char* text;
        int n;
        const char* insert;
        int insertLength;
        const char* expected;
    };
    for (const Case& c : std::vector<Case>{{"abcdef", 2, "XYZ", -1, "XYZcdef"},
                                           {"ab", 5, "X", -1, "X"},
                                           {"abc", 1, "XYZ", 2, "XYbc"},
                                           {"abc", 1, "XY", 10, "XYbc"},
                                           {"abc", 2, "", -1, "c"},
                                           {"abc", -3, "X", -1, "Xabc"},
                                           {"abc", 0, "XY", 0, "abc"}}) {
        std::string s = c.text;
        EXPECT_EQ(stuff(s, c.n, c.insert, c.insertLength), c.expected) << c.text;
    }
}

TEST(DelimitedList, GetSubString) {
    struct Case {
        const char* list;
        int n;
        int length;
        const char* item;
    };
    for (const Case& c : std::vector<Case>{{"a,,c", 1, 0, ""},
                                           {"a,,c", 2, 1, "c"},
                                           {"a,,c", 3, -1, ""},
                                           {"a,,c", -1, -1, ""},
                                           {"abc", 0, 3, "abc"},
                                           {"", 0, 0, ""},
                                           {"a,", 1, 0, ""}}) {
        char out[16] = "garbage";
        EXPECT_EQ(GetSubString(c.list, ',', c.n, out, sizeof out), c.length) << c.list << c.n;
        EXPECT_STREQ(out, c.item);
        EXPECT_EQ(GetSubString(c.list, ',', c.n), c.item);
    }
    EXPECT_EQ(GetSubEntry("a,bb,c", ',', 2), 5u);
    EXPECT_EQ(GetSubEntry("a", ',', 1), std::string_view::npos);
}

TEST(DelimitedList, GetSubStringBufferLimits) {
    char out[8] = "xxxxxxx";
    EXPECT_EQ(GetSubString("x,hello,y", ',', 1, out, 3), 5);
    EXPECT_STREQ(out, "he");
    // Without room nothing is written; the length still comes back.
    char untouched[4] = "abc";
    EXPECT_EQ(GetSubString("x,hello", ',', 1, untouched, 0), 5);
    EXPECT_EQ(GetSubString("x,hello", ',', 1, untouched, -5), 5);
    EXPECT_STREQ(untouched, "abc");
    EXPECT_EQ(GetSubString("x,hello", ',', 1, nullptr, 10), 5);
    // A cut inside a character falls before it.
    char utf8[8];
    EXPECT_EQ(GetSubString("中文", ',', 0, utf8, 6), 6);
    EXPECT_STREQ(utf8, "中");
}

TEST(DelimitedList, GetSubSubString) {
    const char* list = "a;1;x,b;2;y,c;;z";
    struct Case {
        int n, m;
        int length;
        const char* item;
    };
    for (const Case& c : std::vector<Case>{{1, 2, 1, "y"},
                                           {0, 1, 1, "1"},
                                           {2, 1, -1, ""},  // empty sub-item
                                           {0, 5, -1, ""},
                                           {3, 0, -1, ""}}) {
        char out[8] = "garbage";
        EXPECT_EQ(GetSubSubString(list, ',', c.n, ';', c.m, out, sizeof out), c.length)
            << c.n << "/" << c.m;
        EXPECT_STREQ(out, c.item);
        EXPECT_EQ(GetSubSubString(list, ',', c.n, ';', c.m), c.item);
    }
}

TEST(DelimitedList, FindSubString) {
    struct TextCase {
        const char* list;
        const char* item;
        int index;
    };
    for (const TextCase& c : std::vector<TextCase>{{"10,1,100", "1", 1},
                                                   {"10,1,100", "100", 2},
                                                   {"10,1,100", "10", 0},
                                                   {"10,1,100", "0", -1},
                                                   {"a,,b", "b", 2},
                                                   {"", "x", -1},
                                                   {"a", "", -1},
                                                   // The item's text followed by sep or end.
                                                   {"a,b,c", "a,b", 0}}) {
        EXPECT_EQ(FindSubString(c.list, ',', std::string_view(c.item)), c.index)
            << c.list << " / " << c.item;
    }
    struct LongCase {
        const char* list;
        int32_t value;
        int index;
    };
    for (const LongCase& c : std::vector<LongCase>{{"10,1,100", 1, 1},
                                                   {"5,,7", 0, 1},
                                                   {"x12,12", 12, 1},
                                                   {"  3,4", 3, 0},
                                                   {"99999999999,2147483647", 2147483647, 0},
                                                   {"1,2", 3, -1},
                                                   {"", 0, -1}}) {
        EXPECT_EQ(FindSubString(c.list, ',', c.value), c.index) << c.list << " / " << c.value;
    }
}

TEST(DelimitedList, FindSubSubString) {
    const char* list = "IF;1|IC;2|IH;3";
    EXPECT_EQ(FindSubSubString(list, '|', ';', 0, "IC"), 1);
    EXPECT_EQ(FindSubSubString(list, '|', ';', 0, "I"), -1);
    EXPECT_EQ(FindSubSubString(list, '|', ';', 1, "3"), 2);
    EXPECT_EQ(FindSubSubString(list, '|', ';', 2, "3"), -1);
    EXPECT_EQ(FindSubSubString(list, '|', ';', 0, ""), -1);
    EXPECT_EQ(FindSubSubString(list, '|', ';', 1, 2), 1);
    EXPECT_EQ(FindSubSubString(list, '|', ';', 1, 4), -1);
    // A missing sub-item is not an empty one: only the entry that has it counts as 0.
    EXPECT_EQ(FindSubSubString("a|b;0", '|', ';', 1, 0), 1);
    EXPECT_EQ(FindSubSubString("a;|b;0", '|', ';', 1, 0), 0);
    EXPECT_EQ(FindSubSubString("", '|', ';', 0, 0), -1);
}

TEST(DelimitedList, SetAndRemove) {
    struct SetCase {
        const char* list;
        int n;
        const char* value;
        const char* expected;
    };
    for (const SetCase& c : std::vector<SetCase>{{"a", 3, "x", "a,,,x"},
                                                 {"a,b,c", 1, "XY", "a,XY,c"},
                                                 {"a,b,c", 2, "", "a,b,"},
                                                 {"", 0, "x", "x"},
                                                 {"a,b", 2, "", "a,b,"},
                                                 {"a,b", -1, "x", "a,b"}}) {
        std::string s = c.list;
        SetSubString(s, ',', c.n, c.value);
        EXPECT_EQ(s, c.expected) << c.list << " " << c.n;
    }
    struct RemoveCase {
        const char* list;
        int n;
        const char* expected;
    };
    for (const RemoveCase& c : std::vector<RemoveCase>{{"a,b,c", 2, "a,b,"},
                                                       {"a,b,c", 0, "b,c"},
                                                       {"a,b,c", 1, "a,c"},
                                                       {"a", 0, ""},
                                                       {"a,b", 5, "a,b"},
                                                       {"a,b", -1, "a,b"},
                                                       {"a,b,", 2, "a,b,"}}) {
        std::string s = c.list;
        RemoveSubString(s, ',', c.n);
        EXPECT_EQ(s, c.expected) << c.list << " " << c.n;
    }
}

TEST(FlexItems, ScanRules) {
    struct Case {
        const char* text;
        const char* key;
        const char* value;  // null: absent
    };
    for (const Case& c : std::vector<Case>{
             {"605=A|606=BB|", "606", "BB"},
             {"605=BB|", "60", nullptr},
             {"605=BB|", "605", "BB"},
             {"605=X", "605", "X"},
             {"605=|", "605", ""},
             {"a=b=c|", "a", "b=c"},
             {"k=v|k=w|", "k", "v"},
             {"=v|", "", "v"},
             // An item whose '|' comes before its '=' does not count.
             {"abc|605=X|", "605", "X"},
             {"abc|605=X|", "abc", nullptr},
             {"a=1|b|c=3|", "c", "3"},
             {"a=1|b|c=3|", "b", nullptr},
             // The scan ends where no '=' follows.
             {"a=1|junk", "junk", nullptr},
             {"", "a", nullptr},
         }) {
        int length = -1;
        const std::size_t at = GetFlexItemEntry(c.text, c.key, length);
        if (c.value == nullptr) {
            EXPECT_EQ(at, std::string_view::npos) << c.text << " / " << c.key;
            EXPECT_EQ(GetFlexItem(c.text, c.key), "");
        } else {
            ASSERT_NE(at, std::string_view::npos) << c.text << " / " << c.key;
            EXPECT_EQ(std::string_view(c.text).substr(at, length), c.value);
            EXPECT_EQ(GetFlexItem(c.text, c.key), c.value);
        }
    }
    EXPECT_EQ(GetFlexItem("605=A|606=BB|", 606u), "BB");
}

TEST(FlexItems, NumbersReadTheFirst31Bytes) {
    const std::string row =
        "1=123|2=-7.25|3=0000000000000000000000000000000000042|"
        "4=0.00000000000000000000000000000123|5=99999999999|";
    EXPECT_EQ(GetFlexItemLong(row, 1u), 123);
    EXPECT_EQ(GetFlexItemLong(row, "2"), -7);
    EXPECT_EQ(GetFlexItemLong(row, 3u), 0);
    EXPECT_EQ(GetFlexItemLong(row, 5u), 2147483647);
    EXPECT_EQ(GetFlexItemLong(row, 9u), 0);
    EXPECT_EQ(GetFlexItemDouble(row, 2u), -7.25);
    EXPECT_EQ(GetFlexItemDouble(row, "4"), 0.0);
    EXPECT_EQ(GetFlexItemDouble(row, 9u), 0.0);
}

TEST(FlexItems, SetReplacesOrAppends) {
    std::string s = "605=A|";
    EXPECT_EQ(SetFlexItem(s, "605", "BB"), 1);
    EXPECT_EQ(s, "605=BB|");
    EXPECT_EQ(GetFlexItem(s, 60u), "");
    EXPECT_EQ(SetFlexItem(s, 605u, "B"), -1);
    EXPECT_EQ(s, "605=B|");
    EXPECT_EQ(SetFlexItem(s, "60", "Z"), 5);
    EXPECT_EQ(s, "605=B|60=Z|");
    EXPECT_EQ(SetFlexItem(s, 9u, -5), 5);
    EXPECT_EQ(SetFlexItem(s, "n", 42), 5);
    EXPECT_EQ(SetFlexItem(s, "p", 1.5), 11);
    EXPECT_EQ(SetFlexItem(s, 7u, -0.25), 12);
    EXPECT_EQ(s, "605=B|60=Z|9=-5|n=42|p=1.500000|7=-0.250000|");
    EXPECT_EQ(SetFlexItem(s, "605", ""), -1);
    EXPECT_EQ(s, "605=|60=Z|9=-5|n=42|p=1.500000|7=-0.250000|");

    std::string last = "a=1";
    EXPECT_EQ(SetFlexItem(last, "a", "22"), 1);
    EXPECT_EQ(last, "a=22");
}

}  // namespace
