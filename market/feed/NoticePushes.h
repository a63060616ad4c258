// CNoticePushHandler: system notices (16405), customer notices such as a login elsewhere or a
// password re-verification (16406), and the results of option hedge and exercise instructions
// (17001100), written into the notice and information lists with the windows told by posts.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "market/feed/PushDispatcher.h"
#include "market/feed/PushSink.h"

namespace market::feed {

// Customer notice kinds (1332).
inline constexpr int32_t kNoticePlain = 11;
inline constexpr int32_t kNoticeMarginCall = 12;
inline constexpr int32_t kNoticeForcedClose = 13;
inline constexpr int32_t kNoticeLoginElsewhere = 14;
inline constexpr int32_t kNoticeReverify = 15;
inline constexpr int32_t kNoticeServiceItems = 21;

// Account FLAG (739) bits the customer notices set.
inline constexpr int32_t kAccountFlagReverify = 0x4;
inline constexpr int32_t kAccountFlagServiceItems = 2048;
// FLAGS (644) of an information-list row the frame pops up, and the frame's commands.
inline constexpr int32_t kMessageRowToShow = 12;
inline constexpr uint32_t kCommandShowMessageRows = 12;
inline constexpr uint32_t kCommandReverifyPassword = 63;
// The workspace's refresh after an exercise hedge: this bit, lParam the 5003 value.
inline constexpr uint32_t kRefreshExerciseHedge = 1u << 26;
inline constexpr uint32_t kRefreshOptionHedge = 0x20;
inline constexpr uint32_t kRefreshAutoExercise = 0x30;

struct NoticeCounters {
    std::atomic<uint64_t> handled{0};
    std::atomic<uint64_t> ignored{0};  // unknown customer or kind, empty text, our own node
};

class CNoticePushHandler {
public:
    struct Hooks {
        std::function<std::string()> nodeAddress;  // default the station address of the login
        // The account's service items changed: the frame asks its worker to read them again.
        std::function<void()> serviceItemsChanged;
        PushLogHooks log;
    };

    explicit CNoticePushHandler(PushSink& sink, Hooks hooks = {});

    void OnSystemNotice(const PushFields& push);
    void OnLoginElsewhere(const PushFields& push);
    void OnOptionResult(const PushFields& push);

    const NoticeCounters& Counters() const { return counters_; }

private:
    void LoginElsewhere(const std::string& khh, const std::string& text, std::string time);
    void Ignore(const char* why, std::string_view khh);

    PushSink& sink_;
    Hooks hooks_;
    NoticeCounters counters_;
};

// A customer number as the login notices show it: without its leading zeros.
std::string WithoutLeadingZeros(std::string_view khh);

// "期权对冲", "履约对冲" or "自动行权" for instruction kinds 0-2; empty for another.
std::string OptionInstructionKindText(int32_t kind);

}  // namespace market::feed
