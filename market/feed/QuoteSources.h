// ConnectQuoteSources: after login, the quote source the user chose (the UDP quote link, or an
// independent quote server) connected, falling back to the trading server with a notice; then
// the push connection made and its missing subscriptions asked for.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "comm/ConnectProcedure.h"
#include "market/feed/PushSubscriptions.h"

namespace NoltComm {
class CFixApiClient;
class CUdpLink;
}  // namespace NoltComm

namespace market::feed {

// The frame state bit: the UDP quote link is the quote source.
inline constexpr uint32_t kFrameUdpQuotes = 0x2;
// Registration wait of the UDP quote link, in seconds.
inline constexpr int32_t kUdpRegisterWaitSec = 3;

// The kind of the information-list lines this routine writes.
inline constexpr const char* kFallbackNoticeKind = "提示信息";

// What the routine works on: the frame's side.
class QuoteSourceHost {
public:
    virtual ~QuoteSourceHost() = default;
    virtual std::atomic<uint32_t>& FrameState() = 0;
    virtual NoltComm::CUdpLink& UdpLink() = 0;
    // The link registered: its quote payloads go to the quote processing from now on.
    virtual void UdpRegistered() = 0;
    virtual NoltComm::CFixApiClient* PushConnection() = 0;
    virtual NoltComm::CFixApiClient* QuoteServerConnection() = 0;
    virtual void AdoptPushConnection(std::unique_ptr<NoltComm::CFixApiClient> connection) = 0;
    virtual void AdoptQuoteServerConnection(
        std::unique_ptr<NoltComm::CFixApiClient> connection) = 0;
    virtual CPushSubscriptions& Subscriptions() = 0;
    virtual PushConnections CurrentConnections() = 0;
};

struct QuoteSourceSettings {
    // The quote server list and the chosen entry; default the profile's.
    std::function<void(std::vector<std::string>*, std::string*)> quoteServers;
    // The proxy of a settings section; default the profile's.
    std::function<bool(std::string_view, NoltComm::ProxyConfig*)> proxy;
    // The trading server: its address list and the address the login reached.
    std::function<std::string()> tradeAddresses;
    std::function<std::string()> tradeAddress;
    // An information-list line of kind kFallbackNoticeKind; default appends it.
    std::function<void(const std::string&)> notice;
    // A connection to the first of the addresses that answers; null when none. Default the
    // trading connection procedure.
    std::function<std::unique_ptr<NoltComm::CFixApiClient>(const std::string& addresses,
                                                           const NoltComm::ProxyConfig& proxy)>
        connect;
};

enum class QuoteSourceResult : uint8_t { kUdp, kQuoteServer, kTradingServer };

// Runs on the worker (the subscriptions are served here). Unset settings get their defaults.
QuoteSourceResult ConnectQuoteSources(QuoteSourceHost& host, QuoteSourceSettings settings);

// Whether two "address@port/protocol" (or "address,port/protocol") texts name the same host
// and port; texts that do not parse compare as they stand.
bool SameServerAddress(std::string_view a, std::string_view b);

}  // namespace market::feed
