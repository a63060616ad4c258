// The quote-source connection after login against the test server and its UDP quote link:
// the UDP link registered or, silent, the fall-back notice; an independent quote server
// connected, refused with its notice, or left alone when it is the trading server; and the
// push connection with its missing subscriptions every time.
#include "market/feed/QuoteSources.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "comm/FixApiClient.h"
#include "comm/ProxyHandshake.h"
#include "comm/ServerEntry.h"
#include "market/feed/UdpCallbackReceiver.h"
#include "tests/comm/ProxyPeerSupport.h"
#include "testserver/TestServer.h"
#include "testserver/UdpQuoteServer.h"

namespace market::feed::testing {
namespace {

class FakeHost final : public QuoteSourceHost {
public:
    FakeHost() : subscriptions(handles, Hooks()) {}
    ~FakeHost() override { udp.Close(); }

    std::atomic<uint32_t>& FrameState() override { return state; }
    NoltComm::CUdpLink& UdpLink() override { return udp; }
    void UdpRegistered() override { ++udpRegistered; }
    NoltComm::CFixApiClient* PushConnection() override { return push.get(); }
    NoltComm::CFixApiClient* QuoteServerConnection() override { return quote.get(); }
    void AdoptPushConnection(std::unique_ptr<NoltComm::CFixApiClient> c) override {
        push = std::move(c);
        subscriptions.PushConnectionReplaced(quote == nullptr);
    }
    void AdoptQuoteServerConnection(std::unique_ptr<NoltComm::CFixApiClient> c) override {
        subscriptions.QuoteConnectionReplaced(push.get(), quote != nullptr);
        quote = std::move(c);
    }
    CPushSubscriptions& Subscriptions() override { return subscriptions; }
    PushConnections CurrentConnections() override {
        return {.push = push.get(), .quote = quote.get()};
    }

    static CPushSubscriptions::Hooks Hooks() {
        CPushSubscriptions::Hooks hooks;
        hooks.accountRange = [] { return std::string("range(605:8001)"); };
        hooks.log = [](std::string_view) {};
        hooks.quoteSubscribed = [] {};
        return hooks;
    }

    std::atomic<uint32_t> state{0};
    CUdpCallbackReceiver udp;
    int udpRegistered = 0;
    PushHandles handles;
    CPushSubscriptions subscriptions;
    std::unique_ptr<NoltComm::CFixApiClient> push;
    std::unique_ptr<NoltComm::CFixApiClient> quote;
};

// The settings with the chosen quote server entry (empty: none chosen) and the quote proxy;
// notices and connection attempts are recorded, connections made straight to the address.
QuoteSourceSettings TestSettings(const std::string& entry, const std::string& tradeAddress,
                                 const NoltComm::ProxyConfig& quoteProxy,
                                 std::vector<std::string>& notices,
                                 std::vector<std::string>& connects) {
    QuoteSourceSettings s;
    s.quoteServers = [entry](std::vector<std::string>* list, std::string* current) {
        if (entry.empty()) return;
        list->push_back(entry);
        *current = entry.substr(0, entry.find(','));
    };
    s.proxy = [quoteProxy](std::string_view section, NoltComm::ProxyConfig* out) {
        *out = section == "QuoteCommInfo" ? quoteProxy : NoltComm::ProxyConfig{};
        return out->type != 0;
    };
    s.tradeAddresses = [tradeAddress] { return tradeAddress; };
    s.tradeAddress = [tradeAddress] { return tradeAddress; };
    s.notice = [&notices](const std::string& text) { notices.push_back(text); };
    s.connect = [&connects](const std::string& addresses, const NoltComm::ProxyConfig&) {
        connects.push_back(addresses);
        std::string host, protocol;
        int32_t port = 0;
        auto client = std::make_unique<NoltComm::CFixApiClient>();
        if (!NoltComm::ParseServerAddress(addresses, &host, &port, &protocol) ||
            !client->Connect(host + "@" + std::to_string(port) + "/tcp"))
            return std::unique_ptr<NoltComm::CFixApiClient>();
        return client;
    };
    return s;
}

class QuoteSourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(trading.Start()) << trading.ErrorText();
        tradeAddress = "127.0.0.1@" + std::to_string(trading.Port()) + "/tcp";
    }

    QuoteSourceSettings Settings(const std::string& entry) {
        return TestSettings(entry, tradeAddress, {}, notices, connects);
    }
    // The push connection made on the trading server with its five topics subscribed.
    void ExpectPushSubscribed() {
        ASSERT_NE(host.push, nullptr);
        for (const char* topic : {"16405", "16403", "16402", "16406", "17001100"})
            EXPECT_EQ(trading.SubscriptionCount(topic), 1u) << topic;
        EXPECT_EQ(host.subscriptions.Pending(), 0u);
    }
    // A port nothing listens on (a server started and stopped).
    static uint16_t RefusedPort() {
        testserver::TestServer gone;
        EXPECT_TRUE(gone.Start());
        const uint16_t port = gone.Port();
        gone.Stop();
        return port;
    }

    testserver::TestServer trading;
    std::string tradeAddress;
    FakeHost host;
    std::vector<std::string> notices;
    std::vector<std::string> connects;
};

TEST_F(QuoteSourcesTest, WithoutAChosenServerQuotesComeFromTheTradingServer) {
    EXPECT_EQ(ConnectQuoteSources(host, Settings("")), QuoteSourceResult::kTradingServer);
    EXPECT_EQ(connects, std::vector<std::string>{tradeAddress});
    EXPECT_TRUE(notices.empty());
    ExpectPushSubscribed();

    // A second run keeps the push connection and subscribes nothing twice.
    EXPECT_EQ(ConnectQuoteSources(host, Settings("")), QuoteSourceResult::kTradingServer);
    EXPECT_EQ(connects.size(), 1u);
    ExpectPushSubscribed();
}

TEST_F(QuoteSourcesTest, TheTradingServerIsNeverConnectedTwiceAsTheQuoteServer) {
    // Written the other way ("," and lower-case protocol): the same host and port.
    const std::string entry = "行情,127.0.0.1," + std::to_string(trading.Port()) + "/TCP";
    EXPECT_EQ(ConnectQuoteSources(host, Settings(entry)), QuoteSourceResult::kTradingServer);
    EXPECT_EQ(connects, std::vector<std::string>{tradeAddress});
    EXPECT_EQ(host.quote, nullptr);
    EXPECT_TRUE(notices.empty());
    ExpectPushSubscribed();
}

TEST_F(QuoteSourcesTest, AnIndependentQuoteServerIsConnectedOrFallsBackWithANotice) {
    const uint16_t refused = RefusedPort();
    const std::string address = "127.0.0.1," + std::to_string(refused) + "/tcp";
    EXPECT_EQ(ConnectQuoteSources(host, Settings("行情,127.0.0.1@" + std::to_string(refused) +
                                                 "/tcp;127.0.0.2@1/tcp")),
              QuoteSourceResult::kTradingServer);
    EXPECT_EQ(connects, (std::vector<std::string>{address, tradeAddress}));
    EXPECT_EQ(notices,
              std::vector<std::string>{"连接独立行情(" + address + ")失败,切换到交易服务器"});
    EXPECT_EQ(host.quote, nullptr);
    ExpectPushSubscribed();

    testserver::TestServer quotes;
    ASSERT_TRUE(quotes.Start());
    notices.clear();
    EXPECT_EQ(ConnectQuoteSources(
                  host, Settings("行情,127.0.0.1@" + std::to_string(quotes.Port()) + "/tcp")),
              QuoteSourceResult::kQuoteServer);
    EXPECT_NE(host.quote, nullptr);
    EXPECT_TRUE(notices.empty());
    // The new quote connection left the trade topics of the push connection alone.
    ExpectPushSubscribed();
    host.quote.reset();
    host.push.reset();
}

TEST_F(QuoteSourcesTest, TheUdpLinkRegistersOrFallsBackWhenTheServerIsSilent) {
    testserver::UdpQuoteServer udp;
    ASSERT_TRUE(udp.Start()) << udp.ErrorText();
    const std::string entry = "UDP行情,127.0.0.1@" + std::to_string(udp.Port()) + "/udp";

    udp.SetSilent(true);
    EXPECT_EQ(ConnectQuoteSources(host, Settings(entry)), QuoteSourceResult::kTradingServer);
    EXPECT_EQ(notices,
              std::vector<std::string>{"连接UDP行情(127.0.0.1:" + std::to_string(udp.Port()) +
                                       ")失败,切换到交易服务器"});
    EXPECT_EQ(host.state.load() & kFrameUdpQuotes, 0u);
    EXPECT_EQ(host.udpRegistered, 0);
    EXPECT_EQ(connects, std::vector<std::string>{tradeAddress});  // no quote server tried
    ExpectPushSubscribed();

    udp.SetSilent(false);
    notices.clear();
    EXPECT_EQ(ConnectQuoteSources(host, Settings(entry)), QuoteSourceResult::kUdp);
    EXPECT_TRUE(notices.empty());
    EXPECT_NE(host.state.load() & kFrameUdpQuotes, 0u);
    EXPECT_EQ(host.udpRegistered, 1);
    EXPECT_TRUE(host.udp.IsRegistered());
    EXPECT_EQ(udp.Clients().size(), 1u);
}

// The UDP quote server reached through a SOCKS5 relay (dante) named by the quote proxy.
class QuoteSourcesThroughDante : public linktest::DantePeer {};

TEST_F(QuoteSourcesThroughDante, TheUdpLinkRegistersThroughTheQuoteProxy) {
    Start();
    testserver::TestServer trading;
    ASSERT_TRUE(trading.Start()) << trading.ErrorText();
    testserver::UdpQuoteServer udp;
    ASSERT_TRUE(udp.Start()) << udp.ErrorText();
    FakeHost host;
    std::vector<std::string> notices, connects;
    NoltComm::ProxyConfig proxy;
    proxy.host = "127.0.0.1";
    proxy.type = NoltComm::kProxySocks5;
    proxy.port = port;
    const std::string entry = "UDP行情,127.0.0.1@" + std::to_string(udp.Port()) + "/udp";
    EXPECT_EQ(ConnectQuoteSources(
                  host, TestSettings(entry, "127.0.0.1@" + std::to_string(trading.Port()) + "/tcp",
                                     proxy, notices, connects)),
              QuoteSourceResult::kUdp);
    EXPECT_TRUE(notices.empty());
    // The server sees the relay, not the link's own port.
    const auto clients = udp.Clients();
    ASSERT_EQ(clients.size(), 1u);
    EXPECT_NE(ntohs(clients[0].sin_port), host.udp.GetLocalPort());
    host.udp.Close();
    host.push.reset();
}

TEST_F(QuoteSourcesTest, SameServerAddressComparesHostAndPort) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"10.0.0.1@80/tcp", "10.0.0.1,80/tcp", true},
        {"host@80/tcp", "HOST@80/udp", true},
        {"10.0.0.1@80/tcp", "10.0.0.1@81/tcp", false},
        {"10.0.0.1@80/tcp", "10.0.0.2@80/tcp", false},
        {"", "", true},
        {"10.0.0.1@80/tcp", "", false},
        {"garbage", "garbage", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SameServerAddress(c.a, c.b), c.same) << c.a << " vs " << c.b;
}

}  // namespace
}  // namespace market::feed::testing
