// GBK conversion, byte budgets and GBK collation.
#include "platform/core/Encoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace platform;

namespace {

const std::string kZhong = "\xe4\xb8\xad";  // 中 = D6 D0
const std::string kGbkZhong = "\xd6\xd0";
const std::string kA = "\xe5\x95\x8a";  // 啊 = B0 A1, first level-1 hanzi

TEST(Encoding, RoundTripsTextAndKeepsAscii) {
    const std::string utf8 = "KHH=" + kZhong + "|" + kA + "x";
    const std::string gbk = Utf8ToGbk(utf8);
    EXPECT_EQ(gbk, "KHH=" + kGbkZhong + "|\xb0\xa1x");
    EXPECT_EQ(GbkToUtf8(gbk), utf8);
    EXPECT_EQ(GbkToUtf8("\x80"), "\xe2\x82\xac");  // the euro sign of code page 936
}

TEST(Encoding, InvalidBytesFollowTheDeclaredPolicy) {
    struct Case {
        std::string in;
        std::string out;
    };
    // GBK -> UTF-8: bad lead bytes and truncated pairs become U+FFFD; an ASCII trail of an
    // undefined pair survives.
    const std::string rep = "\xef\xbf\xbd";
    for (const Case& c :
         std::vector<Case>{{"\xff", rep}, {"a\xd6", "a" + rep}, {"\x81\x7f|", rep + "\x7f|"}}) {
        EXPECT_EQ(GbkToUtf8(c.in), c.out) << c.in;
    }
    // UTF-8 -> GBK: malformed bytes and characters GBK lacks become '?'.
    for (const Case& c : std::vector<Case>{{"\xc0\xaf", "??"},          // overlong
                                           {"\xe4\xb8", "??"},          // truncated
                                           {"\xf0\x9f\x98\x80", "?"},   // emoji
                                           {"\xed\xa0\x80", "???"}}) {  // surrogate
        EXPECT_EQ(Utf8ToGbk(c.in), c.out);
    }
}

TEST(Encoding, BudgetCutsOnCharacterBoundaries) {
    const std::string text = "ab" + kZhong + kA + "c";  // GBK: 2 + 2 + 2 + 1 = 7 bytes
    EXPECT_EQ(GbkLength(text), 7u);
    struct Case {
        std::size_t budget;
        std::size_t utf8Bytes;
    };
    for (const Case& c :
         std::vector<Case>{{0, 0}, {2, 2}, {3, 2}, {4, 5}, {5, 5}, {6, 8}, {7, 9}, {100, 9}}) {
        EXPECT_EQ(CutToGbkBudget(text, c.budget), c.utf8Bytes) << "budget " << c.budget;
    }
    EXPECT_LE(text.size(), Utf8CapacityForGbk(GbkLength(text)));
}

TEST(Encoding, RepertoireKeepsOnlyWhatGbkHolds) {
    EXPECT_EQ(ToGbkRepertoire("a" + kZhong + "\xf0\x9f\x98\x80?"), "a" + kZhong + "??");
}

TEST(Encoding, CollatesAsGbkBytes) {
    // 啊 (B0A1) sorts before 中 (D6D0), though it comes after it in Unicode; ASCII sorts
    // before both, and a prefix first.
    EXPECT_LT(CompareGbkOrder(kA, kZhong), 0);
    EXPECT_GT(CompareGbkOrder(kZhong, kA), 0);
    EXPECT_LT(CompareGbkOrder("z", kA), 0);
    EXPECT_LT(CompareGbkOrder(kZhong, kZhong + "a"), 0);
    EXPECT_EQ(CompareGbkOrder(kZhong + "a", kZhong + "a"), 0);
    // A malformed lead byte whose fate depends on the byte after the first difference.
    EXPECT_EQ(CompareGbkOrder("#\xdc?", "#\xdc\xad"), 1);
    EXPECT_EQ(CompareGbkOrder("#\xdc\xad", "#\xdc?"), -1);
    // A truncated lead byte against the whole character: both are '?' in GBK.
    EXPECT_EQ(CompareGbkOrder("\xd4", "\xd4\xae"), 0);
}

TEST(Encoding, CollationAgreesWithGbkBytesOnRandomTexts) {
    std::mt19937 rng(7);
    const std::vector<std::string> alphabet = {"a",
                                               "Z",
                                               "0",
                                               "|",
                                               kZhong,
                                               kA,
                                               "\xe3\x80\x80",
                                               "\xc2\xb7",
                                               "\xe2\x82\xac",
                                               "\xf0\x9f\x98\x80"};
    std::vector<std::string> texts;
    for (int i = 0; i < 400; ++i) {
        std::string s;
        const int n = static_cast<int>(rng() % 5);
        for (int k = 0; k < n; ++k) s += alphabet[rng() % alphabet.size()];
        texts.push_back(s);
    }
    for (std::size_t i = 0; i + 1 < texts.size(); ++i) {
        const std::string ga = Utf8ToGbk(texts[i]), gb = Utf8ToGbk(texts[i + 1]);
        const int expected =
            ga < gb ? -1 : (ga == gb ? 0 : 1);  // std::string compares bytes unsigned
        EXPECT_EQ(CompareGbkOrder(texts[i], texts[i + 1]), expected);
    }
}

TEST(Encoding, AsciiOnlyCaseFolding) {
    EXPECT_TRUE(EqualsNoCaseAscii("System", "SYSTEM"));
    EXPECT_FALSE(EqualsNoCaseAscii("SYSTEM", "SYSTE"));
    EXPECT_EQ(AsciiToLower('\xc4'), '\xc4');
    EXPECT_FALSE(AsciiIsSpace('\xa0'));
}

}  // namespace
