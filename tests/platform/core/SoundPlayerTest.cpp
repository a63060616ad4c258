// Tests of the child-process sound player with a stand-in player script: the device check,
// the arguments, one sound at a time, and every child reaped (no zombie left behind).
#include "platform/core/SoundPlayer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/RecordingSoundPlayer.h"
#include "tests/support/TempDir.h"

namespace platform {
namespace {

class SoundPlayerTest : public ::testing::Test {
protected:
    // A stand-in player that records "<pid> <arguments>" and then runs body.
    std::string WriteScript(const std::string& name, const std::string& body) {
        const std::string path = dir.file(name);
        std::ofstream out(path);
        out << "#!/bin/sh\necho \"$$ $*\" >> '" << dir.file("played") << "'\n" << body << "\n";
        out.close();
        ::chmod(path.c_str(), 0755);
        return path;
    }
    std::string WriteWave(const std::string& name) {
        std::ofstream(dir.file(name)) << "RIFF";
        return dir.file(name);
    }
    // The recorded starts, waiting (with a deadline) until there are count of them.
    std::vector<std::string> Played(std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        std::vector<std::string> lines;
        while (true) {
            lines.clear();
            std::ifstream in(dir.file("played"));
            for (std::string line; std::getline(in, line);) lines.push_back(line);
            if (lines.size() >= count || std::chrono::steady_clock::now() > deadline) return lines;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    static pid_t PidOf(const std::string& line) {
        return std::stoi(line.substr(0, line.find(' ')));
    }
    // False once the process is gone and reaped; a zombie still counts as there.
    static bool Exists(pid_t pid) { return ::kill(pid, 0) == 0 || errno != ESRCH; }

    testsupport::TempDir dir;
};

TEST_F(SoundPlayerTest, OutputDeviceIsACardInTheList) {
    struct Case {
        const char* name;
        const char* cards;  // null: no list at all (no sound system)
        bool device;
    };
    const Case cases[] = {
        {"no list", nullptr, false},
        {"no cards", "--- no soundcards ---\n", false},
        {"one card",
         " 0 [PCH            ]: HDA-Intel - HDA Intel PCH\n"
         "                      HDA Intel PCH at 0xf7f10000 irq 31\n",
         true},
        {"two-digit number", "29 [Loopback       ]: Loopback - Loopback\n", true},
        {"empty", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string cards = dir.file(std::string(c.name) + ".cards");
        if (c.cards) std::ofstream(cards) << c.cards;
        AplaySoundPlayer player("aplay", cards);
        EXPECT_EQ(player.HasOutputDevice(), c.device);
    }
}

TEST_F(SoundPlayerTest, PlaysQuietlyAndReapsTheChild) {
    const std::string quick = WriteScript("quick", "exit 0");
    const std::string wave = WriteWave("order ok.wav");
    AplaySoundPlayer player(quick, dir.file("cards"));
    // Waiting: the child has ended and is reaped when the call returns.
    ASSERT_TRUE(player.PlayFile(wave, true));
    std::vector<std::string> played = Played(1);
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].substr(played[0].find(' ') + 1), "-q " + wave);
    EXPECT_FALSE(Exists(PidOf(played[0])));
    // Not waiting: the sound ends by itself and its child is reaped without another call.
    ASSERT_TRUE(player.PlayFile(wave, false));
    played = Played(2);
    ASSERT_EQ(played.size(), 2u);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Exists(PidOf(played[1])) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_FALSE(Exists(PidOf(played[1])));
}

TEST_F(SoundPlayerTest, OneSoundAtATime) {
    const std::string slow = WriteScript("slow", "exec sleep 30");
    const std::string wave = WriteWave("a.wav");
    AplaySoundPlayer player(slow, dir.file("cards"));
    ASSERT_TRUE(player.PlayFile(wave, false));  // returns while the sound plays
    std::vector<std::string> played = Played(1);
    ASSERT_EQ(played.size(), 1u);
    EXPECT_TRUE(Exists(PidOf(played[0])));
    // The next sound stops the first; Stop ends the second; both children are reaped.
    ASSERT_TRUE(player.PlayFile(wave, false));
    EXPECT_FALSE(Exists(PidOf(played[0])));
    played = Played(2);
    ASSERT_EQ(played.size(), 2u);
    EXPECT_TRUE(Exists(PidOf(played[1])));
    player.Stop();
    EXPECT_FALSE(Exists(PidOf(played[1])));
    player.Stop();  // nothing playing: nothing to do
}

TEST_F(SoundPlayerTest, APlayerIgnoringTheStopRequestIsKilled) {
    const std::string stubborn = WriteScript("stubborn", "trap '' TERM\nexec sleep 30");
    const std::string wave = WriteWave("a.wav");
    pid_t pid = -1;
    {
        AplaySoundPlayer player(stubborn, dir.file("cards"));
        ASSERT_TRUE(player.PlayFile(wave, false));
        const std::vector<std::string> played = Played(1);
        ASSERT_EQ(played.size(), 1u);
        pid = PidOf(played[0]);
    }  // the destructor stops the sound
    EXPECT_FALSE(Exists(pid));
}

TEST_F(SoundPlayerTest, MissingFileOrPlayerPlaysNothing) {
    const std::string quick = WriteScript("quick", "exit 0");
    const std::string wave = WriteWave("a.wav");
    AplaySoundPlayer player(quick, dir.file("cards"));
    EXPECT_FALSE(player.PlayFile(dir.file("missing.wav"), true));
    EXPECT_FALSE(player.PlayFile("", true));
    AplaySoundPlayer absent(dir.file("no-such-player"), dir.file("cards"));
    EXPECT_FALSE(absent.PlayFile(wave, true));
    AplaySoundPlayer notOnPath("kelmon-no-such-player", dir.file("cards"));
    EXPECT_FALSE(notOnPath.PlayFile(wave, true));
    EXPECT_TRUE(Played(0).empty());
}

TEST_F(SoundPlayerTest, InstalledPlayerIsTheOneInForce) {
    SoundPlayer& desktop = GetSoundPlayer();
    testsupport::RecordingSoundPlayer recording;
    {
        ScopedSoundPlayer scoped(recording);
        EXPECT_EQ(&GetSoundPlayer(), &recording);
        GetSoundPlayer().PlayFile("x.wav", false);
    }
    EXPECT_EQ(&GetSoundPlayer(), &desktop);
    ASSERT_EQ(recording.played.size(), 1u);
    EXPECT_EQ(recording.played[0].path, "x.wav");
}

}  // namespace
}  // namespace platform
