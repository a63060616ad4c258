// A sound player for tests: records what would play instead of playing it.
#pragma once

#include <string>
#include <vector>

#include "platform/core/SoundPlayer.h"

namespace testsupport {

class RecordingSoundPlayer : public platform::SoundPlayer {
public:
    struct Play {
        std::string path;
        bool wait;
        bool operator==(const Play&) const = default;
    };

    bool HasOutputDevice() override { return hasDevice; }
    bool PlayFile(const std::string& path, bool wait) override {
        played.push_back({path, wait});
        return playResult;
    }
    void Stop() override { ++stops; }

    bool hasDevice = true;
    bool playResult = true;
    std::vector<Play> played;
    int stops = 0;
};

}  // namespace testsupport
