// Alert sounds: the event's file from the settings, played without waiting.
#include "tradedata/AlertSound.h"

#include <atomic>
#include <string>

#include "platform/core/SoundPlayer.h"
#include "record/Configure.h"
#include "shell/services/LogLine.h"
#include "tradedata/ProgramHelpers.h"

namespace tradedata {
namespace {

// Set once the missing device was written to the trace file, cleared when a device is there
// again, so a machine without sound does not fill the trace file with one line per event.
std::atomic<bool> noDeviceTold{false};

std::string SoundFileOf(int event) {
    const std::string name = GetAlertEventName(event);
    return name.empty() ? std::string() : pavlet::ReadPrivateConfigure("ALERT", name, "");
}

}  // namespace

void PlayAlertSound(int event, int fallbackEvent) {
    platform::SoundPlayer& player = platform::GetSoundPlayer();
    if (!player.HasOutputDevice()) {
        if (!noDeviceTold.exchange(true)) shell::WriteLogLine("没有声音输出设备，提示音不播放");
        return;
    }
    noDeviceTold = false;
    if (GetAlertEventName(event).empty()) return;
    std::string file = SoundFileOf(event);
    if (file.empty() && fallbackEvent >= 0 && fallbackEvent != event) {
        file = SoundFileOf(fallbackEvent);
    }
    if (file.empty()) return;
    if (file.front() != '/') file = GetAppDirectory() + "/" + file;
    player.PlayFile(file, false);
}

}  // namespace tradedata
