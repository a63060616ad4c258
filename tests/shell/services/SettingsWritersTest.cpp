// Tests of the localisation readers, the change-logging setting writers, the start-up move
// into the user directory and the alias texts.
#include "shell/services/SettingsWriters.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "platform/core/Encoding.h"
#include "platform/core/Paths.h"
#include "platform/core/ProfileFile.h"
#include "record/Configure.h"
#include "shell/services/LogLine.h"
#include "tests/shell/services/LogTestSupport.h"
#include "tests/support/TempDir.h"

namespace shell {
namespace {

class SettingsWritersTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramDirForTesting(dir.path().string());
        pavlet::SetProfileName("KELMON.INI");
        installation = pavlet::GetProfileName();
    }
    void TearDown() override {
        pavlet::SetProfileName("");
        pavlet::SetPrivateProfileName("");
        platform::SetProgramDirForTesting("");
    }
    void WriteText(const std::string& path, const std::string& text) {
        std::ofstream out(path, std::ios::binary);
        out << text;
    }
    // Lines of the trace files in the program directory.
    std::vector<std::string> TraceLines() {
        FlushLogFile();
        std::vector<std::string> lines;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            if (entry.path().extension() != ".log") continue;
            for (const std::string& line :
                 testing::SplitLines(platform::GbkToUtf8(testing::ReadFile(entry.path())))) {
                lines.push_back(line);
            }
        }
        return lines;
    }
    testsupport::TempDir dir;
    std::string installation;
};

TEST_F(SettingsWritersTest, UserDirectoryAndPaths) {
    EXPECT_EQ(GetUserDirectory(), dir.path().string() + "/User");
    EXPECT_EQ(GetLocalizeIniPath(), dir.path().string() + "/User/localize.ini");
    EXPECT_EQ(CreateDirectoryPath(dir.file("a/b/c")), 1);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("a/b/c")));
    WriteText(dir.file("a/file"), "x");
    EXPECT_EQ(CreateDirectoryPath(dir.file("a/file/d")), 0);  // a file stands in the way
    EXPECT_EQ(FileExists(dir.file("a/file")), 1);
    EXPECT_EQ(FileExists(dir.file("a/fi*")), 1);
    EXPECT_EQ(FileExists(dir.file("a/b")), 0);  // a directory does not count
    EXPECT_EQ(FileExists(dir.file("a/none")), 0);
}

// Each row: what localize.ini and the installation profile hold -> what the reader returns.
TEST_F(SettingsWritersTest, LocalizePrecedence) {
    struct Case {
        const char* name;
        const char* localize;      // body of [SYSTEM] in localize.ini, null: no file
        const char* installation;  // body of [SYSTEM] in KELMON.INI
        const char* expected;
    };
    const Case cases[] = {
        {"localize value wins", "LatestAccount=8001\r\n", "LatestAccount=9001\r\n", "8001"},
        {"empty localize value hides", "LatestAccount=\r\n", "LatestAccount=9001\r\n", ""},
        {"key name case ignored", "latestaccount=\r\n", "LatestAccount=9001\r\n", ""},
        {"absent key falls through", "Other=1\r\n", "LatestAccount=9001\r\n", "9001"},
        {"no localize file", nullptr, "LatestAccount=9001\r\n", "9001"},
        {"absent everywhere", "Other=1\r\n", "Other=2\r\n", ""},
    };
    ASSERT_EQ(CreateDirectoryPath(GetUserDirectory()), 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(GetLocalizeIniPath());
        if (c.localize != nullptr) {
            WriteText(GetLocalizeIniPath(), std::string("[SYSTEM]\r\n") + c.localize);
        }
        WriteText(installation, std::string("[SYSTEM]\r\n") + c.installation);
        platform::FlushProfileCache();
        EXPECT_EQ(GetLocalizeString("SYSTEM", "LatestAccount"), c.expected);
    }
    EXPECT_EQ(GetLocalizeInt("SYSTEM", "LatestAccount", 7), 7);  // empty: the default
}

TEST_F(SettingsWritersTest, LocalizeKeyNeedsItsMarker) {
    ASSERT_EQ(CreateDirectoryPath(GetUserDirectory()), 1);
    WriteText(installation, "[SYSTEM]\r\nAuthStyle=3\r\n");
    WriteText(GetLocalizeIniPath(), "[SYSTEM]\r\nAuthStyle=2\r\n");
    platform::FlushProfileCache();
    EXPECT_EQ(GetLocalizeKeyInt("SYSTEM", "AuthStyle", 0), 3);
    WriteText(GetLocalizeIniPath(), "[SYSTEM]\r\nAuthStyle=2\r\nlocalize_AuthStyle=1\r\n");
    platform::FlushProfileCache();
    EXPECT_EQ(GetLocalizeKeyInt("SYSTEM", "AuthStyle", 0), 2);

    EXPECT_TRUE(WriteLocalizeKeyInt("SYSTEM", "Mode", 5));
    EXPECT_EQ(platform::ReadProfileString(GetLocalizeIniPath(), "SYSTEM", "localize_Mode"), "5");
    EXPECT_EQ(GetLocalizeKeyString("SYSTEM", "Mode"), "5");
}

TEST_F(SettingsWritersTest, ChangedWritesAreLoggedOnce) {
    pavlet::SetPrivateProfileName(dir.file("private.ini"));
    WriteText(installation, "[QHWT]\r\nMRSL=1\r\n");
    platform::FlushProfileCache();
    EXPECT_EQ(WriteConfigInt("QHWT", "MRSL", 1, "默认手数"), 0);  // as the profile has it
    EXPECT_EQ(WriteConfigInt("QHWT", "MRSL", 5, "默认手数"), 1);
    EXPECT_EQ(WriteConfigInt("QHWT", "MRSL", 5, "默认手数"), 0);
    EXPECT_EQ(WriteConfigDouble("QHWT", "JG", 1.5, 2, ""), 1);
    EXPECT_EQ(WriteConfigDouble("QHWT", "JG", 1.5, 2, ""), 0);
    EXPECT_EQ(pavlet::ReadPrivateConfigure("QHWT", "MRSL", ""), "5");

    std::vector<std::string> changes;
    for (const std::string& line : TraceLines()) {
        if (line.find("参数设置:") != std::string::npos) changes.push_back(line);
    }
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_TRUE(changes[0].ends_with("参数设置:\t默认手数\t1 => 5")) << changes[0];
    EXPECT_TRUE(changes[1].ends_with("参数设置:\t[QHWT].JG\t => 1.50")) << changes[1];
}

TEST_F(SettingsWritersTest, FirstStartMovesFilesAndSeedsLocalize) {
    WriteText(installation,
              platform::Utf8ToGbk("[TradeCommInfo]\r\nServerName=主站\r\n"
                                  "PROXYTYPE=2\r\n[SYSTEM]\r\nLatestAccount=8001\r\n"));
    for (const char* name :
         {"ydqvxozcygqisrxg.ini", "other.ini", "a.rmf", "JYSTLDM.dat", "OPTIONS.dat"}) {
        WriteText(dir.file(name), "x");
    }
    platform::FlushProfileCache();
    MigrateUserFiles();
    const std::string user = GetUserDirectory();
    for (const char* moved : {"ydqvxozcygqisrxg.ini", "a.rmf", "JYSTLDM.dat"}) {
        EXPECT_TRUE(std::filesystem::exists(user + "/" + moved)) << moved;
        EXPECT_FALSE(std::filesystem::exists(dir.file(moved))) << moved;
    }
    for (const char* stays : {"other.ini", "OPTIONS.dat", "KELMON.INI"}) {
        EXPECT_TRUE(std::filesystem::exists(dir.file(stays))) << stays;
    }
    const std::string localize = GetLocalizeIniPath();
    EXPECT_EQ(platform::ReadProfileString(localize, "TradeCommInfo", "ServerName"), "主站");
    EXPECT_EQ(platform::ReadProfileKeyNames(localize, "QuoteCommInfo").size(), 6u);  // empty too
    EXPECT_EQ(platform::ReadProfileString(localize, "SYSTEM", "LatestAccount"), "8001");

    // A second start moves nothing and leaves localize.ini alone.
    WriteText(dir.file("abcdefghijklmnop.ini"), "x");
    WriteLocalizeString("SYSTEM", "LatestAccount", "9999");
    MigrateUserFiles();
    EXPECT_TRUE(std::filesystem::exists(dir.file("abcdefghijklmnop.ini")));
    EXPECT_EQ(GetLocalizeString("SYSTEM", "LatestAccount"), "9999");
}

TEST_F(SettingsWritersTest, FirstStartKeepsAnOlderLocalizeFile) {
    WriteText(installation, "[SYSTEM]\r\nLatestAccount=8001\r\n");
    WriteText(dir.file("Localize.INI"), "[SYSTEM]\r\nLatestAccount=7\r\n");
    platform::FlushProfileCache();
    MigrateUserFiles();
    EXPECT_FALSE(std::filesystem::exists(dir.file("Localize.INI")));
    EXPECT_EQ(GetLocalizeString("SYSTEM", "LatestAccount"), "7");  // not seeded over
}

TEST_F(SettingsWritersTest, AliasRelabelsWholeTexts) {
    WriteText(installation,
              platform::Utf8ToGbk("[ALIAS]\r\n下单=报单\r\n撤单=\r\n合约=代码,名称\r\n"));
    platform::FlushProfileCache();
    ASSERT_TRUE(LoadAliasTable());
    EXPECT_EQ(GetAliasText(), "下单,报单|合约,代码,名称");
    struct Case {
        const char* text;
        const char* shown;
    };
    const Case cases[] = {
        {"下单", "报单"}, {"快速下单", "快速下单"},  // only whole texts
        {"撤单", "撤单"}, {"合约", "代码,名称"},    {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(MapAliasText(c.text), c.shown) << c.text;

    WriteText(installation, "[SYSTEM]\r\nA=1\r\n");
    platform::FlushProfileCache();
    EXPECT_FALSE(LoadAliasTable());
    EXPECT_EQ(MapAliasText("下单"), "下单");
}

}  // namespace
}  // namespace shell
