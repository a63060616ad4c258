// The settings store: paths, the installation profile with its number rules, the private
// store's fall-back to the installation profile, and the private registry file.
#include "record/Configure.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "platform/core/Paths.h"
#include "platform/core/ProfileFile.h"
#include "support/TempDir.h"

namespace pavlet {
namespace {

class ConfigureTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramDirForTesting(dir.path().string());
        SetProfileName("KELMON.INI");
        SetPrivateProfileName("");
        SetPrivateRegistryKey("");
        SetApplicationName("Kelmon");
        SetRegistryFileForTesting(dir.file("reg/registry.ini"));
        install = dir.file("KELMON.INI");
        user = dir.file("user.ini");
    }
    void TearDown() override {
        SetProfileName("");
        SetPrivateProfileName("");
        SetPrivateRegistryKey("");
        SetRegistryFileForTesting("");
        platform::SetProgramDirForTesting("");
    }
    static void putFile(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        platform::FlushProfileCache();
    }
    static struct stat statOf(const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st;
    }

    testsupport::TempDir dir;
    std::string install;
    std::string user;
};

TEST_F(ConfigureTest, Paths) {
    const std::string programDir = dir.path().string() + "/";
    EXPECT_EQ(GetFilePath("KELMON.INI"), programDir + "KELMON.INI");
    EXPECT_EQ(GetFilePath("/etc/kelmon/a.ini"), "/etc/kelmon/a.ini");
    EXPECT_EQ(GetFilePath("sub/a.ini"), "sub/a.ini");
    EXPECT_EQ(GetDefaultOpenPath("/data/user/bill.txt", "out.csv"), "/data/user/out.csv");
    EXPECT_EQ(GetDefaultOpenPath("bill.txt", "out.csv"), programDir + "out.csv");
    EXPECT_EQ(GetDefaultOpenPath(nullptr, "out.csv"), programDir + "out.csv");
    EXPECT_EQ(GetProfileName(), programDir + "KELMON.INI");
    SetProfileName("/opt/kelmon/KELMON.INI");
    EXPECT_EQ(GetProfileName(), "/opt/kelmon/KELMON.INI");
    // A name far longer than any fixed buffer is kept whole.
    const std::string longName(5000, 'n');
    EXPECT_EQ(GetFilePath(longName), programDir + longName);
}

TEST_F(ConfigureTest, InstallationReadsAndNumberRules) {
    putFile(install, "[S]\nText=abc\nEmpty=\nN75=75\nNeg=-5\nZero=0\nWord=yes\nHuge=99999999999\n");

    EXPECT_EQ(ReadConfigure("S", "Text", "d"), "abc");
    EXPECT_EQ(ReadConfigure("S", "Empty", "d"), "d");
    EXPECT_EQ(ReadConfigure("S", "Missing", "d"), "d");
    EXPECT_EQ(ReadConfigure("S", "Missing", nullptr), "");

    struct IntCase {
        const char* key;
        int def, min, max, expected;
    };
    const IntCase ints[] = {
        {"N75", 1, 0, 50, 50},      {"N75", 1, 0, 0, 75}, {"N75", 1, 80, 90, 80},
        {"N75", 1, 50, 10, 75},     {"Neg", 1, 0, 50, 0}, {"Empty", 99, 0, 50, 99},
        {"Missing", -7, 0, 50, -7}, {"Word", 3, 0, 0, 0}, {"Huge", 0, 0, 0, 2147483647},
    };
    for (const IntCase& c : ints)
        EXPECT_EQ(ReadConfigInt("S", c.key, c.def, c.min, c.max), c.expected) << c.key;

    const std::pair<const char*, int> flags[] = {
        {"N75", 1}, {"Zero", 0}, {"Word", 0}, {"Empty", 5}, {"Missing", 5}};
    for (const auto& [key, expected] : flags)
        EXPECT_EQ(ReadConfigure("S", key, 5), expected) << key;

    SetProfileName("");
    EXPECT_EQ(ReadConfigure("S", "Text", "d"), "d");
    EXPECT_EQ(WriteConfigure("S", "Text", "x"), 0);
}

TEST_F(ConfigureTest, WriteConfigureOnlyWhenChanged) {
    EXPECT_EQ(WriteConfigure("S", "K", "v1"), 1);
    const struct stat before = statOf(install);
    EXPECT_EQ(WriteConfigure("S", "K", "v1"), 0);
    const struct stat after = statOf(install);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

    EXPECT_EQ(WriteConfigure("S", "K", 42), 1);
    EXPECT_EQ(ReadConfigInt("S", "K", 0, 0, 0), 42);
    EXPECT_EQ(WriteConfigure("S", "K", 42), 0);
    EXPECT_EQ(WriteConfigure("S", "Missing", ""), 0) << "an empty value equals a missing one";
    // A failed write is not reported as a change.
    SetProfileName(dir.file("no/such/dir/KELMON.INI"));
    EXPECT_EQ(WriteConfigure("S", "K", "v2"), 0);
}

TEST_F(ConfigureTest, PrivateFileFallsBackToInstallation) {
    putFile(install, "[S]\nOnlyInstall=inst\nEmptyPrivate=inst\nNullPrivate=inst\nBoth=inst\n");
    putFile(user, "[S]\nEmptyPrivate=\nNullPrivate=null\nBoth=user\n");

    struct Case {
        const char* key;
        const char* expectedWithFile;
        const char* expectedWithout;
    };
    const Case cases[] = {
        {"OnlyInstall", "inst", "inst"}, {"EmptyPrivate", "def", "inst"},
        {"NullPrivate", "inst", "inst"}, {"Both", "user", "inst"},
        {"Nowhere", "def", "def"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadPrivateConfigure("S", c.key, "def"), c.expectedWithout);
    SetPrivateProfileName(user);
    for (const Case& c : cases)
        EXPECT_EQ(ReadPrivateConfigure("S", c.key, "def"), c.expectedWithFile);
    EXPECT_EQ(ReadPrivateConfigure("S", "EmptyPrivate", nullptr), "");

    ASSERT_TRUE(platform::WriteProfileString(user, "N", "V", "75"));
    ASSERT_TRUE(platform::WriteProfileString(install, "N", "W", "7"));
    EXPECT_EQ(ReadPrivateConfigInt("N", "V", 1, 0, 50), 50);
    EXPECT_EQ(ReadPrivateConfigInt("N", "W", 1, 0, 0), 7);
    EXPECT_EQ(ReadPrivateConfigInt("S", "EmptyPrivate", 99, 0, 50), 99);
    EXPECT_EQ(ReadPrivateConfigure("N", "W", 0), 1);

    // A private file that does not exist answers nothing.
    SetPrivateProfileName(dir.file("nobody.ini"));
    EXPECT_EQ(ReadPrivateConfigure("S", "Both", "def"), "inst");
}

// What the private store holds, with no fallback and no default: an empty value is there, a
// "null" one and a missing one are not, in the file form and the registry form alike.
TEST_F(ConfigureTest, FindPrivateConfigureTellsEmptyFromMissing) {
    putFile(install, "[S]\nOnlyInstall=inst\n");
    putFile(user, "[S]\nEmpty=\nNull=null\nSet=v\n");
    EXPECT_EQ(FindPrivateConfigure("S", "Set"), std::nullopt) << "no private store";
    SetPrivateProfileName(user);
    struct Case {
        const char* key;
        std::optional<std::string> expected;
    };
    const Case cases[] = {{"Empty", ""},
                          {"Null", std::nullopt},
                          {"Set", "v"},
                          {"OnlyInstall", std::nullopt},
                          {"Nowhere", std::nullopt}};
    for (const Case& c : cases) EXPECT_EQ(FindPrivateConfigure("S", c.key), c.expected) << c.key;

    SetPrivateRegistryKey("Broker");
    EXPECT_EQ(FindPrivateConfigure("S", "Set"), std::nullopt) << "the key does not open";
    ASSERT_EQ(WritePrivateConfigure("S", "Empty", ""), 1);
    ASSERT_EQ(WritePrivateConfigure("S", "Set", "值"), 1);
    for (const Case& c : {Case{"Empty", ""}, Case{"Set", "值"}, Case{"Nowhere", std::nullopt}})
        EXPECT_EQ(FindPrivateConfigure("S", c.key), c.expected) << c.key;
    // The ordinary read keeps its rule: an opened key without the value answers the default.
    EXPECT_EQ(ReadPrivateConfigure("S", "Nowhere", "def"), "def");
}

TEST_F(ConfigureTest, PrivateWritesAndFormats) {
    EXPECT_EQ(WritePrivateConfigure("W", "Text", "one"), 1);
    EXPECT_EQ(platform::ReadProfileString(install, "W", "Text"), "one")
        << "no private file: the installation profile";

    SetPrivateProfileName(user);
    EXPECT_EQ(WritePrivateConfigure("W", "Text", "two"), 1);
    EXPECT_EQ(WritePrivateConfigure("W", "Int", -12), 1);
    EXPECT_EQ(WritePrivateConfigure("W", "Six", 1.5, 0), 1);
    EXPECT_EQ(WritePrivateConfigure("W", "Two", 1.23456, 2), 1);
    EXPECT_EQ(WritePrivateConfigure("W", "Neg", -0.5, -1), 1);
    EXPECT_EQ(platform::ReadProfileString(user, "W", "Text"), "two");
    EXPECT_EQ(platform::ReadProfileString(install, "W", "Text"), "one");
    EXPECT_EQ(platform::ReadProfileString(user, "W", "Int"), "-12");
    EXPECT_EQ(platform::ReadProfileString(user, "W", "Six"), "1.500000");
    EXPECT_EQ(platform::ReadProfileString(user, "W", "Two"), "1.23");
    EXPECT_EQ(platform::ReadProfileString(user, "W", "Neg"), "-0.500000");

    // Always written, even unchanged (the file is replaced).
    const auto before = statOf(user).st_ino;
    EXPECT_EQ(WritePrivateConfigure("W", "Text", "two"), 1);
    EXPECT_NE(statOf(user).st_ino, before);
}

TEST_F(ConfigureTest, PrivateStructs) {
    const unsigned char block[5] = {1, 2, 3, 250, 0};
    unsigned char out[5] = {};
    EXPECT_EQ(WritePrivateConfigureStruct("B", "Inst", block, sizeof block), 1);
    SetPrivateProfileName(user);
    EXPECT_EQ(WritePrivateConfigureStruct("B", "User", block, sizeof block), 1);
    EXPECT_EQ(ReadPrivateConfigureStruct("B", "User", out, sizeof out), 1);
    EXPECT_EQ(0, std::memcmp(out, block, sizeof block));
    std::memset(out, 0, sizeof out);
    EXPECT_EQ(ReadPrivateConfigureStruct("B", "Inst", out, sizeof out), 1) << "falls back";
    EXPECT_EQ(0, std::memcmp(out, block, sizeof block));
    EXPECT_EQ(ReadPrivateConfigureStruct("B", "User", out, 4), 0) << "wrong size refused";
    EXPECT_EQ(ReadPrivateConfigureStruct("B", "Missing", out, sizeof out), 0);
}

TEST_F(ConfigureTest, RegistryForm) {
    const std::string registry = dir.file("reg/registry.ini");
    ASSERT_TRUE(platform::WriteProfileString(install, "S", "K", "inst"));
    ASSERT_TRUE(platform::WriteProfileString(install, "S", "Gone", "inst"));
    ASSERT_TRUE(platform::WriteProfileString(user, "S", "K", "from file"));
    SetPrivateProfileName(user);
    SetPrivateRegistryKey("Broker");
    EXPECT_EQ(GetPrivateRegistryKey(), "Broker");

    // Nothing in the registry yet: the key does not open, the installation answers.
    EXPECT_EQ(ReadPrivateConfigure("S", "K", "def"), "inst");
    EXPECT_EQ(WritePrivateConfigure("S", "K", "值"), 1);
    EXPECT_EQ(platform::ReadProfileString(registry, "SoftWare\\Broker\\Kelmon\\S", "K"), "D6B5");
    EXPECT_EQ(statOf(registry).st_mode & 07777, 0600u);
    EXPECT_EQ(statOf(dir.file("reg")).st_mode & 07777, 0700u);
    EXPECT_EQ(ReadPrivateConfigure("S", "K", "def"), "值");
    EXPECT_EQ(platform::ReadProfileString(user, "S", "K"), "from file") << "file ignored";
    // The key opens but holds no such value: answered with nothing, so the default.
    EXPECT_EQ(ReadPrivateConfigure("S", "Gone", "def"), "def");
    EXPECT_EQ(WritePrivateConfigure("S", "Num", 75), 1);
    EXPECT_EQ(ReadPrivateConfigInt("S", "Num", 0, 0, 50), 50);

    const unsigned char block[3] = {9, 0, 7};
    unsigned char out[3] = {};
    EXPECT_EQ(WritePrivateConfigureStruct("S", "Block", block, sizeof block), 1);
    EXPECT_EQ(platform::ReadProfileString(registry, "SoftWare\\Broker\\Kelmon\\S", "Block"),
              "090007");
    EXPECT_EQ(ReadPrivateConfigureStruct("S", "Block", out, sizeof out), 1);
    EXPECT_EQ(0, std::memcmp(out, block, sizeof block));
    EXPECT_EQ(ReadPrivateConfigureStruct("S", "Block", out, 2), 0);

    // Another application name is another key.
    SetApplicationName("Other");
    EXPECT_EQ(ReadPrivateConfigure("S", "K", "def"), "inst");
}

TEST_F(ConfigureTest, NamesAreSafeAcrossThreads) {
    std::atomic<bool> stop{false};
    std::jthread reader([&] {
        while (!stop.load()) {
            const std::string name = GetPrivateProfileName();
            EXPECT_TRUE(name.empty() || name == "/a/first.ini" || name == "/b/second-longer.ini");
            ReadPrivateConfigure("S", "K", "d");
        }
    });
    for (int i = 0; i < 2000; ++i)
        SetPrivateProfileName(i % 2 ? "/a/first.ini" : "/b/second-longer.ini");
    stop = true;
}

}  // namespace
}  // namespace pavlet
