// CQuoteFeeds: everything the frame owns for the quotes that are not FixApi replies: the quote
// processor and its row notifier, the receiver of the multicast and level-2 sockets, the
// level-2 control connection and the UDP quote link, with the frame's operations over them.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "market/feed/Level2Control.h"
#include "market/feed/QuoteProcessor.h"
#include "market/feed/QuoteReceiver.h"
#include "market/feed/QuoteRowNotifier.h"
#include "market/feed/UdpCallbackReceiver.h"

namespace market::feed {

struct MulticastSettings {
    int32_t subscribeFunction = 16404;  // "QuoteSubscibeCode"
    int32_t port = 0;                   // "BroadcastPort"
    std::string group;                  // "MulticastAddr"
};
// From section "SYSTEM" of the installation profile.
MulticastSettings ReadMulticastSettings();

class CQuoteFeeds {
public:
    struct Hooks {
        CQuoteProcessor::Hooks processor;
        CQuoteReceiver::Hooks receiver;
        CLevel2Control::Hooks control;
        std::function<MulticastSettings()> multicastSettings;  // default ReadMulticastSettings
        // Where "QuoteSubscibeCode" goes (the frame keeps it).
        std::function<void(int32_t function)> setSubscribeFunction;
    };

    // The state word must outlive the feeds.
    CQuoteFeeds(std::atomic<uint32_t>& frameState, Hooks hooks);
    ~CQuoteFeeds();

    CQuoteProcessor& Processor() { return processor_; }
    QuoteRowNotifier& Notifier() { return notifier_; }
    CQuoteReceiver& Receiver() { return receiver_; }
    CLevel2Control& Control() { return control_; }
    CUdpCallbackReceiver& Udp() { return udp_; }

    // The multicast feed: settings read, socket (re)opened; frame bit 0x100 and
    // `QuoteSourceState` 0x2 when it is open.
    void OpenMulticastFeed();
    bool JoinMulticast(uint16_t port, const std::string& group);
    // The worker's round: the multicast feed reopened when it was open and has been closed,
    // level 2 reconnected when it is active and its connection is gone (after its back-off).
    // True when it did either.
    bool RestoreQuoteFeeds();
    void ConnectLevel2Server() { control_.ConnectLevel2Server(); }
    bool SubscribeQuotes() { return control_.SubscribeQuotes(); }
    // One step of the quote thread (blocks until something arrives or WakeQuoteThread).
    void ReceiveQuotes() { receiver_.Step(); }
    void WakeQuoteThread() { receiver_.Wake(); }
    // The UDP quote link's payloads go to the compact-record processing from now on.
    void ConnectUdpCallback();
    // At exit, after the quote thread has stopped: "4012|all" on the control connection, then
    // every socket closed and the UDP link's callback removed.
    void Close();

private:
    std::atomic<uint32_t>& frameState_;
    Hooks hooks_;
    QuoteRowNotifier notifier_;
    CQuoteProcessor processor_;
    CQuoteReceiver receiver_;
    CLevel2Control control_;
    CUdpCallbackReceiver udp_;
};

}  // namespace market::feed
