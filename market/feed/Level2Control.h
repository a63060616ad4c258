// CLevel2Control: the level-2 server's control connection: connection and login, the choice
// of the quote channel the login answer grants, the quote subscription list built from the
// contract tables and sent where it changed, and the cancellation at exit. It runs on the
// frame's worker thread; the sockets live in the quote receiver, which the quote thread reads.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "market/feed/Level2Framing.h"
#include "market/feed/QuoteReceiver.h"

namespace market::feed {

// Frame state bits of the quote feeds.
inline constexpr uint32_t kFrameSubscriptionPending = 0x8;
inline constexpr uint32_t kFrameCodeListChanged = 0x10;
inline constexpr uint32_t kFrameMulticastFeedOpen = 0x100;
inline constexpr uint32_t kFrameLevel2Active = 0x800;

// `QuoteSourceState` bits of the quote channels (only ever set here).
inline constexpr uint32_t kQuoteStatePushSubscribed = 0x1;
inline constexpr uint32_t kQuoteStateMulticast = 0x2;
inline constexpr uint32_t kQuoteStateLevel2 = 0x4;
inline constexpr uint32_t kQuoteStateLevel2Broadcast = 0x10;
inline constexpr uint32_t kQuoteStateLevel2Port = 0x20;
inline constexpr uint32_t kQuoteStateLevel2Group = 0x40;
inline constexpr uint32_t kQuoteStateLevel2Tcp = 0x80;

inline constexpr std::size_t kSubscriptionCapacity = 3072;
inline constexpr int64_t kLevel2TimeoutMs = 2000;
// A server that cannot be reached is tried again after 1 s, then twice as long up to 30 s.
inline constexpr int64_t kFirstBackoffMs = 1000;
inline constexpr int64_t kLastBackoffMs = 30000;

// The list builder: appends the code with ";" before it unless the list is empty. Nothing for
// an empty code or one the list already holds; a code that does not fit (length + code + 2
// above the capacity) is refused with "Subscibe code too many!\n" to `debug`. True when
// appended.
bool AppendSubscriptionCode(std::string& list, std::size_t capacity, std::string_view code,
                            const std::function<void(std::string_view)>& debug = {});

// The subscription list from the contract tables: futures, combinations and options watched
// for any reason (FLAGS bits 0xff00), each option followed by its underlying's traded code,
// then the windows' subscriptions. Each table is read under its own lock, one at a time.
std::string BuildSubscriptionList(std::size_t capacity,
                                  const std::function<void(std::string_view)>& debug = {});

struct Level2Settings {
    std::string address;        // "Level2ControlAddr"
    int32_t controlPort = 0;    // "Level2ControlPort"
    int32_t quotePort = 20000;  // "Level2QuotePort"
};
// From section "SYSTEM" of the installation profile.
Level2Settings ReadLevel2Settings();

class CLevel2Control {
public:
    struct Hooks {
        std::function<Level2Settings()> settings;  // default ReadLevel2Settings
        std::function<std::string()> customer;     // the current account's customer number
        // Its trade password (598) as it goes out: scrambled (XorScrambleUtf8).
        std::function<std::string()> scrambledPassword;
        std::function<void(std::string_view)> debug;  // default: the daily trace file
        // The FixApi side of a subscription (the text "range(...)" renewed); true when done.
        std::function<bool(const std::string& text)> renewPushSubscription;
        std::function<bool()> pushConnected;
        std::function<bool()> quoteServerConnected;
        std::function<int64_t()> nowMs;  // default: the monotonic clock
    };

    CLevel2Control(std::atomic<uint32_t>& frameState, CQuoteReceiver& receiver, Hooks hooks);

    // Connects, logs in and opens the quote channel the answer grants.
    void ConnectLevel2Server();
    // Whether a lost level-2 connection is to be made again now: level 2 is active, the control
    // socket is closed and the back-off after the last failure has passed.
    bool ReconnectDue() const;
    // Builds the list and sends it where it changed; true when the subscription went through
    // and the push connection exists (the caller then clears the pending bit).
    bool SubscribeQuotes();
    // "4012|all" on the open control socket (at exit).
    void CancelAll();

    const std::string& LastCodeList() const { return lastList_; }
    const std::string& LastSubscription() const { return lastText_; }
    int64_t BackoffMs() const { return backoffMs_; }

private:
    enum class Read { kFrame, kNothing, kClosed, kGarbage };
    Read readFrame(int fd, bool login, ControlFrame& frame, std::string& bytes);
    bool sendLine(int fd, const std::string& line);
    // Sends a command and, unless the quote thread reads the stream, reads and logs its answer.
    bool command(const QuoteSocketRef& socket, const std::string& line, bool readAnswer);
    // Opens the channel of the granted mode; true when the control connection was handed to
    // the receiver as the quote stream (mode 1), which then owns it.
    bool grant(int32_t mode, const std::string& group, int32_t port, int fd,
               const Level2Settings& settings);
    void failed();
    void debug(std::string_view line) const;
    int64_t now() const;

    std::atomic<uint32_t>& frameState_;
    CQuoteReceiver& receiver_;
    Hooks hooks_;
    ControlStreamBuffer answers_;  // the worker's reads of the control socket
    std::string lastList_;
    std::string lastText_;
    int64_t backoffMs_ = kFirstBackoffMs;
    int64_t nextAttemptMs_ = 0;
    int64_t subscribeBackoffMs_ = kFirstBackoffMs;
    int64_t nextSubscribeMs_ = 0;
};

}  // namespace market::feed
