// The string table: its line format and escapes, the load errors, and LoadResString's answers
// for valid, missing and out-of-range numbers.
#include "shell/StringTable.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/TempDir.h"

namespace shell {
namespace {

TEST(StringTableTest, LinesEscapesAndComments) {
    std::map<unsigned, std::string> table;
    std::string error;
    ASSERT_TRUE(
        ParseStringTable("// the program's strings\r\n"
                         "129 \"Velmora交易终端\"\r\n"
                         "\r\n"
                         "  1002\t\"快捷键具体说明：\\r\\n1、设置\\t\\\"格式\\\"\\\\\"  \n"
                         "65535 \"\"",
                         &table, &error))
        << error;
    EXPECT_EQ(table.size(), 3u);
    EXPECT_EQ(table[129], "Velmora交易终端");
    EXPECT_EQ(table[1002], "快捷键具体说明：\r\n1、设置\t\"格式\"\\");
    EXPECT_EQ(table[65535], "");
}

TEST(StringTableTest, MalformedTablesAreRefusedWhole) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"1 \"a\"\nx \"b\"", "line 2: no string number"},
        {"0 \"zero\"", "line 1: string number out of range"},
        {"65536 \"big\"", "line 1: string number out of range"},
        {"12 text", "line 1: no quoted text"},
        {"12 \"open", "line 1: unterminated text"},
        {"12 \"a\\q\"", "line 1: unknown escape"},
        {"12 \"a\" b", "line 1: text after the closing quote"},
        {"7 \"a\"\n7 \"b\"", "line 2: string number given twice"},
    };
    for (const auto& c : cases) {
        std::map<unsigned, std::string> table;
        std::string error;
        EXPECT_FALSE(ParseStringTable(c.text, &table, &error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_TRUE(table.empty()) << c.text;
    }
}

TEST(StringTableTest, LoadResStringAnswers) {
    testsupport::TempDir dir;
    const std::string path = dir.file("strings.txt");
    std::ofstream(path, std::ios::binary) << "129 \"Velmora交易终端\"\n";
    SetStringTableSource(path);
    std::string out = "stale";
    EXPECT_TRUE(LoadResString(out, 129));
    EXPECT_EQ(out, "Velmora交易终端");
    out = "stale";
    EXPECT_TRUE(LoadResString(out, 130)) << "a missing string is no error";
    EXPECT_EQ(out, "");
    EXPECT_FALSE(LoadResString(out, 0));
    EXPECT_FALSE(LoadResString(out, 0x10000));

    // A damaged table gives no strings at all.
    std::ofstream(path, std::ios::binary) << "129 \"ok\"\n130 broken\n";
    SetStringTableSource(path);
    EXPECT_TRUE(LoadResString(out, 129));
    EXPECT_EQ(out, "");
    SetStringTableSource("");
}

}  // namespace
}  // namespace shell
