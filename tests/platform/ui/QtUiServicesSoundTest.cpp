// Tests of the desktop UI services' sounds: they go through the program's sound player.
#include <gtest/gtest.h>

#include "platform/ui/QtUiServices.h"
#include "tests/support/RecordingSoundPlayer.h"

namespace {

using Play = testsupport::RecordingSoundPlayer::Play;

TEST(QtUiServicesSound, FilesGoThroughTheSoundPlayer) {
    testsupport::RecordingSoundPlayer player;
    platform::ScopedSoundPlayer scoped(player);
    platform::ui::QtUiServices desktop;
    EXPECT_TRUE(desktop.PlaySoundFile("/sounds/a.wav", SND_FILENAME | SND_ASYNC));
    EXPECT_TRUE(desktop.PlaySoundFile("/sounds/b.wav", SND_FILENAME));  // waits for the end
    EXPECT_EQ(player.played,
              (std::vector<Play>{{"/sounds/a.wav", false}, {"/sounds/b.wav", true}}));
    // A purge or an empty name stops the sound and plays nothing.
    EXPECT_TRUE(desktop.PlaySoundFile("/sounds/a.wav", SND_PURGE));
    EXPECT_TRUE(desktop.PlaySoundFile("", SND_FILENAME));
    EXPECT_EQ(player.stops, 2);
    EXPECT_EQ(player.played.size(), 2u);
    // A sound that cannot play is reported (without a default sound when asked so).
    player.playResult = false;
    EXPECT_FALSE(
        desktop.PlaySoundFile("/sounds/missing.wav", SND_FILENAME | SND_ASYNC | SND_NODEFAULT));
}

}  // namespace
