// The quote-source connection after login and its fall-back to the trading server.
#include "market/feed/QuoteSources.h"

#include <fmt/format.h>

#include <utility>

#include "comm/FixApiClient.h"
#include "comm/ProxyHandshake.h"
#include "comm/ServerEntry.h"
#include "comm/TradeConnection.h"
#include "comm/UdpLink.h"
#include "record/StringHelpers.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/Notices.h"
#include "tradedata/ServerLists.h"

namespace market::feed {
namespace {

std::unique_ptr<NoltComm::CFixApiClient> ConnectDefault(const std::string& addresses,
                                                        const NoltComm::ProxyConfig& proxy) {
    std::unique_ptr<NoltComm::CTradeConnection> connection;
    std::string list = addresses;
    std::string current;
    std::string error;
    if (NoltComm::ConnectTradeServer(&connection, &list, &current, &error, false, &proxy,
                                     nullptr) != 1)
        return nullptr;
    return connection;
}

void FillDefaults(QuoteSourceSettings& s) {
    if (!s.quoteServers) s.quoteServers = &tradedata::LoadQuoteServers;
    if (!s.proxy) s.proxy = &NoltComm::LoadProxySettings;
    if (!s.tradeAddresses) s.tradeAddresses = [] { return std::string(); };
    if (!s.tradeAddress) s.tradeAddress = [] { return std::string(); };
    if (!s.notice)
        s.notice = [](const std::string& text) {
            tradedata::AppendInfoMessage(kFallbackNoticeKind, text, nullptr);
        };
    if (!s.connect) s.connect = &ConnectDefault;
}

// The chosen quote server's first address; false when none is chosen or it does not parse.
bool ChosenQuoteServer(const QuoteSourceSettings& s, std::string* host, int32_t* port,
                       std::string* protocol) {
    std::vector<std::string> servers;
    std::string current;
    s.quoteServers(&servers, &current);
    const int index = NoltComm::FindServerEntry(servers, current);
    std::string name;
    std::string addresses;
    if (index < 0 || !NoltComm::GetServerEntry(servers, index, &name, &addresses)) return false;
    const std::string first = pavlet::GetSubString(addresses, ';', 0);
    return NoltComm::ParseServerAddress(first, host, port, protocol);
}

}  // namespace

bool SameServerAddress(std::string_view a, std::string_view b) {
    std::string hostA, hostB, protocolA, protocolB;
    int32_t portA = 0, portB = 0;
    if (!NoltComm::ParseServerAddress(a, &hostA, &portA, &protocolA) ||
        !NoltComm::ParseServerAddress(b, &hostB, &portB, &protocolB))
        return a == b;
    return hostA == hostB && portA == portB;
}

QuoteSourceResult ConnectQuoteSources(QuoteSourceHost& host, QuoteSourceSettings settings) {
    FillDefaults(settings);
    std::atomic<uint32_t>& state = host.FrameState();
    state.fetch_and(~kFrameUdpQuotes, std::memory_order_acq_rel);

    std::string serverHost;
    std::string protocol;
    int32_t port = 0;
    std::string quoteAddress;
    NoltComm::ProxyConfig quoteProxy;
    bool udp = false;
    if (ChosenQuoteServer(settings, &serverHost, &port, &protocol)) {
        if (protocol == "udp") {
            udp = true;
            state.fetch_or(kFrameUdpQuotes, std::memory_order_acq_rel);
        } else {
            quoteAddress = fmt::format("{},{}/tcp", serverHost, port);
        }
        settings.proxy("QuoteCommInfo", &quoteProxy);
    }

    QuoteSourceResult result = QuoteSourceResult::kTradingServer;
    if (udp) {
        NoltComm::CUdpLink& link = host.UdpLink();
        link.Close();
        // Cleared when not SOCKS5, so a proxy of an earlier run is not used again.
        const bool socks5 = quoteProxy.type == NoltComm::kProxySocks5;
        link.SetSocks5Proxy(socks5 ? quoteProxy.host : std::string(), quoteProxy.port,
                            quoteProxy.user, quoteProxy.password);
        if (link.Register(serverHost, port, kUdpRegisterWaitSec)) {
            host.UdpRegistered();
            shell::SetQuoteSourceState(kQuoteSubscribed);
            result = QuoteSourceResult::kUdp;
        } else {
            settings.notice(
                fmt::format("连接UDP行情({}:{})失败,切换到交易服务器", serverHost, port));
            state.fetch_and(~kFrameUdpQuotes, std::memory_order_acq_rel);
        }
    } else if (!quoteAddress.empty() && !SameServerAddress(quoteAddress, settings.tradeAddress())) {
        // One quote-server connection at a time: a second run keeps the one it has.
        if (host.QuoteServerConnection() != nullptr) {
            result = QuoteSourceResult::kQuoteServer;
        } else if (auto connection = settings.connect(quoteAddress, quoteProxy)) {
            host.AdoptQuoteServerConnection(std::move(connection));
            result = QuoteSourceResult::kQuoteServer;
        } else {
            settings.notice(fmt::format("连接独立行情({})失败,切换到交易服务器", quoteAddress));
        }
    }

    if (host.PushConnection() == nullptr) {
        NoltComm::ProxyConfig tradeProxy;
        if (!settings.proxy("TradeCommInfo", &tradeProxy)) settings.proxy("ACISVR", &tradeProxy);
        const std::string addresses = settings.tradeAddresses();
        if (!addresses.empty()) {
            if (auto connection = settings.connect(addresses, tradeProxy))
                host.AdoptPushConnection(std::move(connection));
        }
    }
    if (host.PushConnection() != nullptr) {
        CPushSubscriptions& subscriptions = host.Subscriptions();
        subscriptions.RequestNotices();
        if (subscriptions.TradeHandlesMissing()) subscriptions.RequestTradePushes();
        subscriptions.RunPending(host.CurrentConnections());
    }
    return result;
}

}  // namespace market::feed
