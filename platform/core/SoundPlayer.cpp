// The sound players: the slot of the player in force and the "aplay" child-process player.
#include "platform/core/SoundPlayer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

extern char** environ;

namespace platform {
namespace {

// A player that does not end on the polite request within this time is killed.
constexpr auto kStopGrace = std::chrono::seconds(1);

std::string FindOnPath(const std::string& program) {
    if (program.find('/') != std::string::npos) {
        return ::access(program.c_str(), X_OK) == 0 ? program : std::string();
    }
    const char* path = std::getenv("PATH");
    std::string_view dirs = path != nullptr ? path : "/usr/bin:/bin";
    while (true) {
        const std::size_t colon = dirs.find(':');
        // An empty entry is the current directory.
        const std::string_view dir = colon == 0 || dirs.empty() ? "." : dirs.substr(0, colon);
        std::string candidate;
        candidate.reserve(dir.size() + 1 + program.size());
        candidate.append(dir).append("/").append(program);
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (colon == std::string_view::npos) return {};
        dirs.remove_prefix(colon + 1);
    }
}

// A card line of the list starts with its number: " 0 [PCH            ]: HDA-Intel - ...".
bool ListsACard(const std::string& cardsFile) {
    std::ifstream in(cardsFile);
    for (std::string line; std::getline(in, line);) {
        std::size_t i = line.find_first_not_of(' ');
        if (i == std::string::npos || !std::isdigit(static_cast<unsigned char>(line[i]))) continue;
        while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
        if (line.find('[', i) != std::string::npos) return true;
    }
    return false;
}

// The child gets /dev/null for its standard files, an empty signal mask and the default
// handling of the signals a parent may have changed.
pid_t SpawnQuiet(const std::string& program, const std::vector<std::string>& args) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGCHLD}) sigaddset(&defaults, sig);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ) != 0) pid = -1;
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::atomic<SoundPlayer*> installed{nullptr};

}  // namespace

AplaySoundPlayer::AplaySoundPlayer(std::string program, std::string cardsFile)
    : program_(std::move(program)), cardsFile_(std::move(cardsFile)) {}

AplaySoundPlayer::~AplaySoundPlayer() { Stop(); }

bool AplaySoundPlayer::HasOutputDevice() { return ListsACard(cardsFile_); }

bool AplaySoundPlayer::PlayFile(const std::string& path, bool wait) {
    std::lock_guard play(playLock_);
    StopLocked();
    if (path.empty() || ::access(path.c_str(), R_OK) != 0) return false;
    const std::string program = FindOnPath(program_);
    if (program.empty()) return false;
    const pid_t pid = SpawnQuiet(program, {"-q", path});
    if (pid <= 0) return false;
    try {
        std::lock_guard child(childLock_);
        pid_ = pid;
        reaper_ = std::jthread([this, pid] {
            // Wait for the end without reaping, so the pid cannot be reused while a Stop may
            // still signal it; the reap and the clearing of pid_ happen together under the lock.
            siginfo_t info{};
            while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 &&
                   errno == EINTR) {
            }
            std::lock_guard reap(childLock_);
            ::waitpid(pid, nullptr, 0);
            pid_ = -1;
            ended_.notify_all();
        });
    } catch (const std::system_error&) {
        // No thread to reap the sound: it is ended and reaped here instead.
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        std::lock_guard child(childLock_);
        pid_ = -1;
        return false;
    }
    if (wait) reaper_.join();
    return true;
}

void AplaySoundPlayer::Stop() {
    std::lock_guard play(playLock_);
    StopLocked();
}

void AplaySoundPlayer::StopLocked() {
    {
        std::unique_lock child(childLock_);
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            if (!ended_.wait_for(child, kStopGrace, [this] { return pid_ <= 0; })) {
                ::kill(pid_, SIGKILL);
                ended_.wait(child, [this] { return pid_ <= 0; });
            }
        }
    }
    if (reaper_.joinable()) reaper_.join();
}

SoundPlayer& GetSoundPlayer() {
    if (SoundPlayer* player = installed.load()) return *player;
    static AplaySoundPlayer desktop;
    return desktop;
}

void SetSoundPlayer(SoundPlayer* player) { installed.store(player); }

}  // namespace platform
