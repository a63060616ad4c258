// Tests of the start-up settings words: the switches read from the installation profile, and
// the words and texts other threads read while the shell sets them.
#include "shell/services/StartupSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/Encoding.h"
#include "platform/core/Paths.h"
#include "record/Configure.h"
#include "tests/support/TempDir.h"

namespace shell {
namespace {

class StartupSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramDirForTesting(dir.path().string());
        pavlet::SetProfileName("KELMON.INI");
    }
    void TearDown() override {
        pavlet::SetProfileName("");
        platform::SetProgramDirForTesting("");
        ClearAppStateFlags(~0u);
    }
    // Profiles hold GBK.
    void WriteText(const std::string& path, const std::string& utf8) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream out(path, std::ios::binary);
        out << platform::Utf8ToGbk(utf8);
    }
    testsupport::TempDir dir;
};

TEST_F(StartupSettingsTest, SwitchesOfTheInstallationProfile) {
    struct Case {
        const char* name;
        const char* profile;   // section "SYSTEM" of KELMON.INI; null: no file
        const char* localize;  // section "SYSTEM" of User/localize.ini; null: no file
        int32_t orderWay;
        uint32_t logOptions;
        int32_t logLevel;
        uint32_t commOptions;
        const char* banner;
        bool checkStamp;
        int32_t model;
        int32_t steps;
    };
    const Case cases[] = {
        {"no profile", nullptr, nullptr, 32, 0x20, 0, 0x1, "Velmora交易终端", false, 1, 250},
        {"empty values",
         "TradeLog=\nLogLevel=\nWTFS=\nBANNER=\nEncipherCommInfo=\nEnableEqualization=\n"
         "CheckStamp=\nOptionPriceModel=\nBinomialSteps=\n",
         nullptr, 32, 0x20, 0, 0x1, "Velmora交易终端", false, 1, 250},
        {"all set",
         "TradeLog=3\nLogLevel=2\nWTFS=7\nBANNER=期货交易\nEncipherCommInfo=0\n"
         "EnableEqualization=1\nCheckStamp=1\nOptionPriceModel=2\nBinomialSteps=100\n",
         nullptr, 7, 0x23, 2, 0x2, "期货交易", true, 2, 100},
        {"clamped and unclamped",
         "TradeLog=96\nWTFS=-5\nEncipherCommInfo=abc\nEnableEqualization=2\n"
         "OptionPriceModel=3\nBinomialSteps=1\n",
         nullptr, -5, 0x60, 0, 0x2, "Velmora交易终端", false, 2, 2},
        {"clamped above", "OptionPriceModel=0\nBinomialSteps=5000\n", nullptr, 32, 0x20, 0, 0x1,
         "Velmora交易终端", false, 1, 4096},
        {"check stamp from localize.ini", "CheckStamp=0\n", "CheckStamp=1\n", 32, 0x20, 0, 0x1,
         "Velmora交易终端", true, 1, 250},
        {"check stamp emptied in localize.ini", "CheckStamp=1\n", "CheckStamp=\n", 32, 0x20, 0, 0x1,
         "Velmora交易终端", false, 1, 250},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir.file("KELMON.INI"));
        std::filesystem::remove(dir.file("User/localize.ini"));
        if (c.profile) WriteText(dir.file("KELMON.INI"), std::string("[SYSTEM]\n") + c.profile);
        if (c.localize) {
            WriteText(dir.file("User/localize.ini"), std::string("[SYSTEM]\n") + c.localize);
        }
        // A bit of another owner survives the load; the check-stamp bit follows the profile.
        SetAppStateFlags(0x400 | kAppStateCheckStamp);
        LoadStartupSettings();
        EXPECT_EQ(GetOrderWayCode(), c.orderWay);
        EXPECT_EQ(GetLogOptions(), c.logOptions);
        EXPECT_EQ(GetLogLevel(), c.logLevel);
        EXPECT_EQ(GetCommOptions(), c.commOptions);
        EXPECT_EQ(GetBannerText(), c.banner);
        EXPECT_EQ(GetAppStateFlags(), 0x400u | (c.checkStamp ? kAppStateCheckStamp : 0u));
        EXPECT_EQ(GetOptionPriceModel(), c.model);
        EXPECT_EQ(GetBinomialSteps(), c.steps);
        ClearAppStateFlags(~0u);
    }
}

TEST_F(StartupSettingsTest, WordsSetLaterAndTheirPreviousValues) {
    SetClientSettings(kClientAlertSounds | kClientSendMachineInfo);
    EXPECT_EQ(GetClientSettings(), 0x110u);
    SetDisplaySettings(2048 | 4);
    EXPECT_EQ(GetDisplaySettings(), 2052u);
    EXPECT_EQ(SetAppStateFlags(0x40), 0u);
    EXPECT_EQ(SetAppStateFlags(0x800), 0x40u);
    EXPECT_EQ(ClearAppStateFlags(0x40), 0x840u);
    EXPECT_EQ(GetAppStateFlags(), 0x800u);
    SetStationAddress("MAC:00-11-22-33-44-55;IP:127.0.0.1");
    EXPECT_EQ(GetStationAddress(), "MAC:00-11-22-33-44-55;IP:127.0.0.1");
    SetStationAddress("");
    EXPECT_EQ(GetStationAddress(), "");
    SetClientSettings(0);
    SetDisplaySettings(0);
}

// Readers on other threads always see one whole station text and whole words while the shell
// replaces them (a torn text or a data race shows under the thread sanitizer).
TEST_F(StartupSettingsTest, ReadersOnOtherThreadsSeeWholeValues) {
    const std::string first(200, 'a');
    const std::string second = "IP:10.0.0.1";
    SetStationAddress(first);
    constexpr int kReaders = 4;
    std::latch started(kReaders + 1);
    {
        std::vector<std::jthread> readers;
        for (int r = 0; r < kReaders; ++r) {
            readers.emplace_back([&](std::stop_token stop) {
                started.arrive_and_wait();
                while (!stop.stop_requested()) {
                    const std::string text = GetStationAddress();
                    ASSERT_TRUE(text == first || text == second) << text;
                    const uint32_t word = GetClientSettings();
                    ASSERT_TRUE(word == 0 || word == kClientAlertSounds) << word;
                }
            });
        }
        started.arrive_and_wait();
        for (int n = 0; n < 2000; ++n) {
            SetStationAddress(n % 2 ? first : second);
            SetClientSettings(n % 2 ? 0 : kClientAlertSounds);
        }
    }
    SetStationAddress("");
    SetClientSettings(0);
}

}  // namespace
}  // namespace shell
