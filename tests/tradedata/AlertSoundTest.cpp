// Tests of the alert sounds: which file plays for which event, and nothing without a device.
#include "tradedata/AlertSound.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/core/Encoding.h"
#include "platform/core/Paths.h"
#include "record/Configure.h"
#include "shell/services/LogLine.h"
#include "tests/support/RecordingSoundPlayer.h"
#include "tests/support/TempDir.h"

namespace tradedata {
namespace {

using Play = testsupport::RecordingSoundPlayer::Play;

class AlertSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramDirForTesting(dir.path().string());
        pavlet::SetPrivateProfileName(dir.file("user.ini"));
    }
    void TearDown() override {
        pavlet::SetPrivateProfileName("");
        platform::SetProgramDirForTesting("");
    }
    // The lines of the process's trace file, found among the open files wherever an earlier
    // test opened it.
    static std::vector<std::string> TraceLines() {
        shell::FlushLogFile();
        const std::regex daily(R"(/\d{8}\.log( \(deleted\))?$)");
        for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code ec;
            const std::string target = std::filesystem::read_symlink(fd.path(), ec).string();
            if (ec || !std::regex_search(target, daily)) continue;
            std::ifstream in(fd.path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            std::istringstream text(platform::GbkToUtf8(bytes.str()));
            std::vector<std::string> lines;
            for (std::string line; std::getline(text, line);) lines.push_back(line);
            return lines;
        }
        return {};
    }
    testsupport::TempDir dir;
    testsupport::RecordingSoundPlayer player;
    platform::ScopedSoundPlayer scoped{player};
};

TEST_F(AlertSoundTest, FileOfTheEventOrOfItsFallback) {
    const std::string home = dir.path().string();
    struct Case {
        const char* name;
        std::map<std::string, std::string> settings;  // "ALERT" section
        int event;
        int fallback;
        const char* played;  // null: nothing; relative: in the program directory
    };
    const Case cases[] = {
        {"relative file", {{"撤单成功", "cancel.wav"}}, 2, -1, "cancel.wav"},
        {"file in a folder",
         {{"委托失败", "sounds/order failed.wav"}},
         1,
         -1,
         "sounds/order failed.wav"},
        {"absolute file",
         {{"委托成功", "/usr/share/sounds/ok.wav"}},
         0,
         -1,
         "/usr/share/sounds/ok.wav"},
        {"own file first", {{"全部成交", "all.wav"}, {"成交回报", "trade.wav"}}, 8, 4, "all.wav"},
        {"fallback when empty", {{"全部成交", ""}, {"成交回报", "trade.wav"}}, 8, 4, "trade.wav"},
        {"fallback when missing", {{"成交回报", "trade.wav"}}, 8, 4, "trade.wav"},
        {"no fallback", {{"成交回报", "trade.wav"}}, 8, -1, nullptr},
        {"fallback is the event", {}, 3, 3, nullptr},
        {"event without a name", {{"成交回报", "trade.wav"}}, 9, 4, nullptr},
        {"negative event", {{"委托成功", "ok.wav"}}, -1, 0, nullptr},
        {"fallback without a name", {}, 5, 12, nullptr},
        {"nothing set", {}, 6, 7, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir.file("user.ini"));
        for (const auto& [key, value] : c.settings) {
            ASSERT_NE(pavlet::WritePrivateConfigure("ALERT", key, value), 0);
        }
        player.played.clear();
        PlayAlertSound(c.event, c.fallback);
        if (c.played == nullptr) {
            EXPECT_TRUE(player.played.empty());
        } else {
            const std::string expected =
                c.played[0] == '/' ? std::string(c.played) : home + "/" + c.played;
            EXPECT_EQ(player.played, (std::vector<Play>{{expected, false}}));
        }
    }
}

TEST_F(AlertSoundTest, NoOutputDevicePlaysNothingAndSaysSoOnce) {
    ASSERT_NE(pavlet::WritePrivateConfigure("ALERT", "撤单成功", "cancel.wav"), 0);
    PlayAlertSound(2, -1);
    ASSERT_EQ(player.played.size(), 1u);

    player.hasDevice = false;
    const std::size_t before = TraceLines().size();
    PlayAlertSound(2, -1);
    PlayAlertSound(4, 2);
    EXPECT_EQ(player.played.size(), 1u);
    const std::vector<std::string> lines = TraceLines();
    ASSERT_EQ(lines.size(), before + 1);
    EXPECT_NE(lines.back().find("没有声音输出设备"), std::string::npos) << lines.back();

    // With a device again the sounds play, and a later loss of it is written once more.
    player.hasDevice = true;
    PlayAlertSound(2, -1);
    EXPECT_EQ(player.played.size(), 2u);
    player.hasDevice = false;
    PlayAlertSound(2, -1);
    EXPECT_EQ(TraceLines().size(), before + 2);
}

}  // namespace
}  // namespace tradedata
