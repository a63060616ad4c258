// Tests of the per-account file names and the first-start set-up of an account's files.
#include "tradedata/AccountFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/core/Encoding.h"
#include "platform/core/Paths.h"
#include "record/RandomMassFile.h"
#include "shell/services/SettingsWriters.h"
#include "tests/support/TempDir.h"

namespace tradedata {
namespace {

class AccountFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramDirForTesting(dir.path().string());
        ASSERT_EQ(shell::CreateDirectoryPath(shell::GetUserDirectory()), 1);
    }
    void TearDown() override { platform::SetProgramDirForTesting(""); }
    void WriteText(const std::string& path, const std::string& text) {
        std::ofstream out(path, std::ios::binary);
        out << text;
    }
    std::string ReadText(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    testsupport::TempDir dir;
};

// Stems computed by the independent reader (scramble_reference.py) from the padded number's
// first 8 characters (key) and last 8 (data).
TEST_F(AccountFilesTest, GoldenAccountFileNames) {
    struct Case {
        const char* account;
        const char* extension;
        const char* stem;
    };
    const Case cases[] = {
        {"123", "ini", "ydqvxozcygqisrxg"},  // thirteen zeros; key "00000000", data "00000123"
        {"80012345", "rmf", "veyzvpqrykuwwhxa"},
        {"1234567890123456", "ini", "rewcsmrzyazvwiuy"},
        {"12345678901234567890", "ini", "rewcsmrzyazvwiuy"},  // cut to 16 characters
        {"", "ini", "qpvgtbwfvotewjta"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.account);
        EXPECT_EQ(GetAccountFilePath(c.account, c.extension),
                  shell::GetUserDirectory() + "/" + c.stem + "." + c.extension);
    }
}

TEST_F(AccountFilesTest, NewAccountStartsFromTheInstallationProfile) {
    WriteText(dir.file("KELMON.INI"), "[SYSTEM]\r\nA=1\r\n");
    SetUpUserDirectory("80012345");
    const std::string profile = GetAccountFilePath("80012345", "ini");
    EXPECT_EQ(ReadText(profile), "[SYSTEM]\r\nA=1\r\n");
    EXPECT_EQ(std::filesystem::status(profile).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    // An existing profile is left alone.
    WriteText(dir.file("KELMON.INI"), "[SYSTEM]\r\nA=2\r\n");
    SetUpUserDirectory("80012345");
    EXPECT_EQ(ReadText(profile), "[SYSTEM]\r\nA=1\r\n");
}

TEST_F(AccountFilesTest, OlderLayoutIsCarriedOver) {
    std::filesystem::create_directory(dir.file("8001"));
    WriteText(dir.file("8001/KELMON.INI"), "[OLD]\r\nB=1\r\n");
    WriteText(dir.file("0008001.txt"),
              platform::Utf8ToGbk("2011.05.06\t09:00:01\t09:00\t通知\t内容\r\n"));
    SetUpUserDirectory("0008001");
    EXPECT_EQ(ReadText(GetAccountFilePath("0008001", "ini")), "[OLD]\r\nB=1\r\n");
    CRandomMassFile store;
    const std::string storePath = GetAccountFilePath("0008001", "rmf");
    store.SetFilename(storePath.c_str());
    EXPECT_EQ(platform::GbkToUtf8(store.ReadRandomMass(30110506)),
              "651=2011.05.06|3203=09:00:01|1219=09:00|1332=通知|1777=内容|");
}

}  // namespace
}  // namespace tradedata
