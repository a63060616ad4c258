// The frame's quote feeds, wired together: one processor for every source, one receiver for
// the sockets, the control connection using the receiver's sockets.
#include "market/feed/QuoteFeeds.h"

#include "record/Configure.h"
#include "shell/services/StartupSettings.h"

namespace market::feed {

MulticastSettings ReadMulticastSettings() {
    MulticastSettings settings;
    settings.subscribeFunction = pavlet::ReadConfigInt("SYSTEM", "QuoteSubscibeCode", 16404, 0, 0);
    settings.port = pavlet::ReadConfigInt("SYSTEM", "BroadcastPort", 0, 0, 0);
    settings.group = pavlet::ReadConfigure("SYSTEM", "MulticastAddr", "");
    return settings;
}

CQuoteFeeds::CQuoteFeeds(std::atomic<uint32_t>& frameState, Hooks hooks)
    : frameState_(frameState),
      hooks_(std::move(hooks)),
      processor_(frameState, notifier_, hooks_.processor),
      receiver_(processor_, hooks_.receiver),
      control_(frameState, receiver_, hooks_.control) {}

CQuoteFeeds::~CQuoteFeeds() {
    udp_.SetCallback(nullptr);
    udp_.Close();
    receiver_.CloseAll();
}

bool CQuoteFeeds::JoinMulticast(uint16_t port, const std::string& group) {
    return receiver_.JoinMulticast(QuoteSocketSlot::kMulticast, port, group);
}

void CQuoteFeeds::OpenMulticastFeed() {
    const MulticastSettings settings =
        hooks_.multicastSettings ? hooks_.multicastSettings() : ReadMulticastSettings();
    if (hooks_.setSubscribeFunction) hooks_.setSubscribeFunction(settings.subscribeFunction);
    const bool open = settings.port > 0 && settings.port <= 65535 &&
                      JoinMulticast(static_cast<uint16_t>(settings.port), settings.group);
    if (open) {
        frameState_.fetch_or(kFrameMulticastFeedOpen);
        shell::SetQuoteSourceState(kQuoteStateMulticast);
    }
}

bool CQuoteFeeds::RestoreQuoteFeeds() {
    bool did = false;
    if ((frameState_.load() & kFrameMulticastFeedOpen) != 0 &&
        !receiver_.IsOpen(QuoteSocketSlot::kMulticast)) {
        OpenMulticastFeed();
        did = true;
    }
    if (control_.ReconnectDue()) {
        control_.ConnectLevel2Server();
        did = true;
    }
    return did;
}

void CQuoteFeeds::ConnectUdpCallback() {
    udp_.SetCallback([this](const uint8_t* payload, int32_t length) {
        if (length > 0) processor_.ProcessCompactQuotes(payload, static_cast<std::size_t>(length));
    });
}

void CQuoteFeeds::Close() {
    control_.CancelAll();
    receiver_.CloseAll();
    udp_.SetCallback(nullptr);
}

}  // namespace market::feed
