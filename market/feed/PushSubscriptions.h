// CPushSubscriptions: the push topics subscribed on the push and quote connections (the
// account range of the trade topics, the quote range), the keep-alive requests, and the
// request bits by which any thread asks the one subscribing thread for that work.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "market/feed/PushDispatcher.h"

namespace NoltComm {
class CFixApiClient;
}

namespace market::feed {

// Request bits: set by any thread, served (and cleared) by the subscribing thread only.
inline constexpr uint32_t kWantTradePushes = 0x1;
inline constexpr uint32_t kWantQuotes = 0x2;
inline constexpr uint32_t kWantNotices = 0x4;

// `QuoteSourceState` bit set once a quote subscription went through.
inline constexpr uint32_t kQuoteSubscribed = 0x1;

// "range(605:A;B)": the customers whose trade pushes the login receives (active rows of the
// main account's customer, the clients it manages, and the accounts linked to it), each once,
// in table order. Empty without a main account.
std::string BuildAccountRange();

// The connections a subscription run uses, as the frame holds them now.
struct PushConnections {
    NoltComm::CFixApiClient* push = nullptr;
    NoltComm::CFixApiClient* quote = nullptr;  // the independent quote server's connection
    bool multicastOpen = false;                // quotes come over multicast: none on push
    // While the UDP quote source is in use: sends a subscription text over its link.
    std::function<bool(const std::string&)> udpSubscribe{};
};

class CPushSubscriptions {
public:
    struct Hooks {
        std::function<std::string()> accountRange;  // default BuildAccountRange
        std::function<int32_t()> quoteFunction;     // default kTopicQuoteDefault
        std::function<void(std::string_view)> log;  // default the daily trace file
        std::function<void()> quoteSubscribed;      // default sets kQuoteSubscribed
    };

    explicit CPushSubscriptions(PushHandles& handles, Hooks hooks = {});
    CPushSubscriptions(const CPushSubscriptions&) = delete;
    CPushSubscriptions& operator=(const CPushSubscriptions&) = delete;

    // ---- any thread: ask for work (never waits for the server) ----
    void RequestTradePushes() { Request(kWantTradePushes); }
    void RequestNotices() { Request(kWantNotices); }
    // The quote range text wanted now ("%li:%s" items); a text equal to the one subscribed
    // asks for nothing.
    void RequestQuotes(const std::string& text);
    uint32_t Pending() const { return pending_.load(std::memory_order_acquire); }

    // ---- the subscribing thread only (the frame's worker) ----
    // Serves the request bits; a bit is cleared only when its work succeeded, so a failed
    // subscription is tried again on a later run. Returns whether anything was attempted.
    bool RunPending(const PushConnections& connections);
    // Renews 16403, 16402, 16406 and 17001100 with the account range; true when all four hold
    // a handle.
    bool SubscribeTradePushes(NoltComm::CFixApiClient* push);
    // 16405, without a range, when its handle is 0.
    bool SubscribeNotices(NoltComm::CFixApiClient* push);
    // Cancels the old quote subscription and subscribes the text; true when done (an empty
    // text, the UDP link or multicast quotes need no FixApi subscription), false when it failed
    // or no connection can carry it yet.
    bool SubscribeQuotes(const PushConnections& connections, const std::string& text);
    // Whether a trade topic has no handle (the caller then asks for a renewal).
    bool TradeHandlesMissing() const;
    // The push connection was replaced: the trade topics and notices it held are asked for
    // again, and the quotes too when they came over it (no quote-server connection).
    void PushConnectionReplaced(bool quotesOnPush);
    // The quote-server connection was replaced: only the quote subscription is renewed. While
    // there was none the quotes were subscribed on the push connection (push, may be null):
    // that subscription is cancelled there, the trade topics stay as they are.
    void QuoteConnectionReplaced(NoltComm::CFixApiClient* push, bool hadQuoteConnection);
    // Both connections were replaced: every topic that was subscribed is asked for again.
    void ConnectionsReplaced();
    // Shut-down: cancels the quote subscription, forgets every handle.
    void CancelAll(const PushConnections& connections);

    // ---- keep-alives (the frame's worker) ----
    // Function 10 with the push flag, 5 s time-out; the answer is ignored. False when the
    // connection is missing or closed or no answer came.
    static bool SendPushHeartbeat(NoltComm::CFixApiClient* push);
    // Function 16339 with 605 and 7153 = 1, 5 s time-out; the round trip in milliseconds goes
    // to the time-synchronisation value. False when not open or unanswered (value kept).
    static bool SendTradeHeartbeat(NoltComm::CFixApiClient* trading, const std::string& khh);

private:
    void Request(uint32_t bits);
    uint32_t SubscribeTopic(NoltComm::CFixApiClient* client, int32_t function,
                            const std::string* range);
    void Cancel(NoltComm::CFixApiClient* client, PushTopic topic);
    NoltComm::CFixApiClient* QuoteConnection(const PushConnections& connections) const;
    uint32_t ForgetTradeTopics();
    uint32_t ForgetQuotes();

    PushHandles& handles_;
    Hooks hooks_;
    std::atomic<uint32_t> pending_{0};
    std::mutex textLock_;           // the two texts
    std::string wantedQuotes_;      // asked for
    std::string subscribedQuotes_;  // last made (or found to need nothing)
};

}  // namespace market::feed
