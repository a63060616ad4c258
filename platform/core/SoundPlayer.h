// Sound output: the replaceable player of WAV files (tests install one that records what
// would play) and the desktop player, which runs the system's "aplay" in a child process.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // True when the machine has a sound output device.
    virtual bool HasOutputDevice() = 0;
    // Stops the sound playing now and starts the WAV file; with wait, returns when it ended.
    // False when the file or the player is missing or the player could not start.
    virtual bool PlayFile(const std::string& path, bool wait) = 0;
    // Stops the sound playing now, if any.
    virtual void Stop() = 0;
};

// Plays through "aplay -q <file>" in a child process, one sound at a time. The caller never
// waits for the sound unless it asks to; a thread per sound reaps the child when it ends, so
// no finished player is left behind.
class AplaySoundPlayer : public SoundPlayer {
public:
    // program: the player, looked up on PATH when it holds no '/'. cardsFile: the system's
    // list of sound cards; the machine has an output device when it lists one.
    explicit AplaySoundPlayer(std::string program = "aplay",
                              std::string cardsFile = "/proc/asound/cards");
    ~AplaySoundPlayer() override;
    AplaySoundPlayer(const AplaySoundPlayer&) = delete;
    AplaySoundPlayer& operator=(const AplaySoundPlayer&) = delete;

    bool HasOutputDevice() override;
    bool PlayFile(const std::string& path, bool wait) override;
    void Stop() override;

private:
    void StopLocked();

    const std::string program_;
    const std::string cardsFile_;
    std::mutex playLock_;            // one PlayFile or Stop at a time
    std::mutex childLock_;           // pid_ between the players and the reaper
    pid_t pid_ = -1;                 // the playing child, not yet reaped; -1 when none
    std::condition_variable ended_;  // signalled under childLock_ when pid_ is cleared
    std::jthread reaper_;            // under playLock_
};

// The player in force (an AplaySoundPlayer unless replaced). Any thread.
SoundPlayer& GetSoundPlayer();
// null restores the desktop player; the object must outlive its installation.
void SetSoundPlayer(SoundPlayer* player);

class ScopedSoundPlayer {
public:
    explicit ScopedSoundPlayer(SoundPlayer& player) { SetSoundPlayer(&player); }
    ~ScopedSoundPlayer() { SetSoundPlayer(nullptr); }
    ScopedSoundPlayer(const ScopedSoundPlayer&) = delete;
    ScopedSoundPlayer& operator=(const ScopedSoundPlayer&) = delete;
};

}  // namespace platform
