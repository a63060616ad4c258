// Tests of the stored-text scramblers: golden values, an independent reader in Python, round
// trips, key edge cases and scrambling from several threads at once.
#include "tradedata/Scrambler.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <latch>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

namespace tradedata {
namespace {

std::string Hex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        out.push_back(digits[static_cast<uint8_t>(c) >> 4]);
        out.push_back(digits[static_cast<uint8_t>(c) & 15]);
    }
    return out;
}

struct GoldenCase {
    std::string key;
    std::string data;
    const char* letters;
};

// Values computed by the independent reader (scramble_reference.py). The last three pass
// through the one substitution entry in which the stored format differs from the published
// cipher; their letters under the published table are given beside them.
TEST(ScramblerTest, GoldenValues) {
    using namespace std::string_literals;
    const GoldenCase cases[] = {
        {"00000000", "00001234", "yrqfywudtjurslrb"},
        {"key", "ABCDEFGH", "reqkrkutsbyptktw"},
        {"", "\0\0\0\0\0\0\0\0"s, "uptpxarasoteyqto"},
        {"\xff\xff\xff\xff\xff\xff\xff\xff", "\xff\xff\xff\xff\xff\xff\xff\xff",
         "vowotdzdxpwzrnwp"},
        {"12345678", "\xd6\xd0\xce\xc4\xb2\xe2\xca\xd4", "tvrjqwssxuzorgrh"},  // GBK 中文测试
        {"ab\0c"s, "12", "yhsaroymuetbxdxw"},  // the key ends at its NUL; data NUL-padded
        {"abcdefghij", "ZYXWVUTSRQ", "qxtbrzxztmxaqqwh"},  // only 8 bytes of each count
        {"00000000", "00047514", "sxtyzdwfyrtvuxwq"},      // published table: ...spwq
        {"00000000", "00055433", "yrruzwxywwzbvsvb"},      // published table: shrnupyeyfvgzvxk
        {"00000000", "00087109", "thszxnurvfycxbtz"},      // published table: vuqjzmyqtkvgvzqq
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Hex(c.key) + " / " + Hex(c.data));
        EXPECT_EQ(ScrambleString(c.key, c.data), c.letters);
        std::string expected = c.data.substr(0, 8);
        expected.resize(8, '\0');
        EXPECT_EQ(UnscrambleString(c.key, c.letters), expected);
    }
}

TEST(ScramblerTest, KeyIsReadAsReversedTextPaddedWithNul) {
    using namespace std::string_literals;
    // A short key and the same key followed by NULs or by bytes after a NUL are one key.
    const std::string data = "ACCOUNT1";
    const std::string expected = ScrambleString("abc", data);
    EXPECT_EQ(ScrambleString("abc\0\0\0\0\0"s, data), expected);
    EXPECT_EQ(ScrambleString("abc\0zzzz"s, data), expected);
    EXPECT_NE(ScrambleString("cba", data), expected);
    // Bytes beyond the eighth are not part of the key.
    EXPECT_EQ(ScrambleString("abcdefghXYZ", data), ScrambleString("abcdefgh", data));
}

TEST(ScramblerTest, LettersStayInTheirRanges) {
    std::mt19937 rng(7);
    for (int n = 0; n < 200; ++n) {
        std::string key(8, '\0'), data(8, '\0');
        for (auto& c : key) c = static_cast<char>(rng());
        for (auto& c : data) c = static_cast<char>(rng());
        const std::string letters = ScrambleString(key, data);
        ASSERT_EQ(letters.size(), 16u);
        for (int i = 0; i < 16; i += 2) {
            EXPECT_TRUE(letters[i] >= 'q' && letters[i] <= 'z') << letters;
            EXPECT_TRUE(letters[i + 1] >= 'a' && letters[i + 1] <= 'z') << letters;
        }
        EXPECT_EQ(UnscrambleString(key, letters), data);
    }
    EXPECT_EQ(UnscrambleString("key", "abc"), "");  // too short to hold a block
}

// Random keys and blocks, scrambled here and by the independent reader.
TEST(ScramblerTest, MatchesIndependentReader) {
    if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "/usr/bin/python3 is missing";
    testsupport::TempDir dir;
    std::mt19937 rng(2024);
    std::vector<std::string> expected;
    {
        std::ofstream commands(dir.file("commands.txt"));
        for (int n = 0; n < 300; ++n) {
            std::string key(1 + rng() % 8, '\0'), data(8, '\0');
            for (auto& c : key) c = static_cast<char>(rng() % 255 + 1);
            for (auto& c : data) c = static_cast<char>(rng());
            const std::string letters = ScrambleString(key, data);
            commands << "scramble " << Hex(key) << ' ' << Hex(data) << '\n';
            expected.push_back(letters);
            commands << "unscramble " << Hex(key) << ' ' << letters << '\n';
            expected.push_back(Hex(UnscrambleString(key, letters)));
            std::string text(rng() % 20, '\0');
            for (auto& c : text) c = static_cast<char>(rng() % 255 + 1);
            commands << "xor " << Hex(text) << '\n';
            expected.push_back(Hex(XorScrambleText(text)));
        }
    }
    const std::string command = "/usr/bin/python3 " KELMON_SOURCE_DIR
                                "/tests/tradedata/scramble_reference.py batch < " +
                                dir.file("commands.txt");
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) output.append(buf, n);
    ASSERT_EQ(pclose(pipe), 0);
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = output.find('\n', start)) != std::string::npos;
         start = end + 1) {
        lines.push_back(output.substr(start, end - start));
    }
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i;
}

TEST(ScramblerTest, XorRunsAKeyOfPeriodNine) {
    // Key bytes 255, 254, ..., 247 and again from 255.
    std::string text(20, 'A');
    const std::string scrambled = XorScrambleText(text);
    ASSERT_EQ(scrambled.size(), text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        EXPECT_EQ(static_cast<uint8_t>(scrambled[i]), 'A' ^ (255 - i % 9)) << i;
    }
    EXPECT_EQ(XorScrambleText(scrambled), text);
}

TEST(ScramblerTest, XorEndsAtNulAndAtAByteEqualToItsKey) {
    using namespace std::string_literals;
    EXPECT_EQ(XorScrambleText("ab\0cd"s), "\x9e\x9c"s);
    // 0xFF at the first place meets key byte 255; 0xFD at the third meets 253.
    EXPECT_EQ(XorScrambleText("\xff"
                              "abc"),
              "");
    EXPECT_EQ(XorScrambleText("ab\xfd"
                              "c"),
              "\x9e\x9c"s);
    EXPECT_EQ(XorScrambleText(""), "");
}

TEST(ScramblerTest, XorOfUtf8TextScramblesItsGbkBytes) {
    const std::string text = "密码Abc123";
    const std::string scrambled = XorScrambleUtf8(text);
    EXPECT_EQ(scrambled, XorScrambleText("\xc3\xdc\xc2\xeb"
                                         "Abc123"));
    EXPECT_EQ(XorUnscrambleToUtf8(scrambled), text);
}

TEST(ScramblerTest, BitHelpersAreMostSignificantFirst) {
    uint8_t bytes[2] = {0, 0};
    SetBit(bytes, 0);
    SetBit(bytes, 9);
    SetBit(bytes, 16);  // outside: ignored
    SetBit(bytes, -1);
    EXPECT_EQ(bytes[0], 0x80);
    EXPECT_EQ(bytes[1], 0x40);
    EXPECT_EQ(GetBit(bytes, 0), 1);
    EXPECT_EQ(GetBit(bytes, 1), 0);
    EXPECT_EQ(GetBit(bytes, 9), 1);
    EXPECT_EQ(GetBit(bytes, 16), 0);
}

// Each thread keeps its key schedule to itself: results match the ones computed alone.
TEST(ScramblerTest, ThreadsWithDifferentKeysDoNotDisturbEachOther) {
    constexpr int kThreads = 8;
    constexpr int kBlocks = 400;
    std::vector<std::string> keys;
    std::vector<std::vector<std::string>> data(kThreads), expected(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        keys.push_back("key" + std::to_string(t * 37));
        for (int n = 0; n < kBlocks; ++n) {
            data[t].push_back(std::to_string(10000000 + t * 1000 + n));
            expected[t].push_back(ScrambleString(keys[t], data[t].back()));
        }
    }
    std::vector<int> mismatches(kThreads, 0);
    std::latch start(kThreads);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                start.arrive_and_wait();
                for (int round = 0; round < 3; ++round) {
                    for (int n = 0; n < kBlocks; ++n) {
                        const std::string letters = ScrambleString(keys[t], data[t][n]);
                        if (letters != expected[t][n]) ++mismatches[t];
                        if (UnscrambleString(keys[t], letters) != data[t][n]) ++mismatches[t];
                    }
                }
            });
        }
    }
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace tradedata
