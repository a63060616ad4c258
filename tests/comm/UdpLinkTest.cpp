// The UDP quote link: the datagram walk and relay header, registration, subscription, data and
// keep-alives against the test server's UDP side, the watchdog's repair of a silent link,
// strays and bad datagrams, and the SOCKS5 UDP relay played by the test.
#include "comm/UdpLink.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/Clock.h"
#include "tests/comm/LinkTestSupport.h"
#include "tests/comm/ProxyTestSupport.h"
#include "tests/comm/UdpTestSupport.h"
#include "testserver/UdpQuoteServer.h"

using namespace NoltComm;
using linktest::RecordingLink;
using linktest::WaitUntil;

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

// A message as the server would send it: u16 length, version 1, type, payload.
std::string Msg(int type, const std::string& payload) {
    const std::size_t length = payload.size() + 4;
    return Bytes({static_cast<int>(length & 0xFF), static_cast<int>(length >> 8), 1, type}) +
           payload;
}

struct Seen {
    int type;
    std::string payload;
};

std::vector<Seen> Walk(const std::string& datagram) {
    std::vector<Seen> seen;
    WalkUdpMessages(
        reinterpret_cast<const uint8_t*>(datagram.data()), datagram.size(),
        [&](uint8_t type, const uint8_t* payload, std::size_t length) {
            seen.push_back({type, std::string(reinterpret_cast<const char*>(payload), length)});
        });
    return seen;
}

TEST(UdpMessageWalk, TakesWholeMessagesAndStopsAtBadLengths) {
    const std::string keepAlive = Msg(2, std::string(8, '\0'));
    const std::string data = Msg(4, "quote");
    const struct {
        const char* name;
        std::string datagram;
        std::vector<int> types;
    } cases[] = {
        {"keep-alive answer then data", keepAlive + data, {2, 4}},
        {"first message claims more than the datagram", Bytes({50, 0, 1, 4}) + "quote", {}},
        {"claims one byte too many", Bytes({10, 0, 1, 4}) + "quote", {}},
        {"length 0 ends the walk", data + Bytes({0, 0, 1, 4}) + data, {4}},
        {"length 1", Bytes({1, 0, 1, 4}) + data, {}},
        {"length 3", data + Bytes({3, 0, 1, 4}) + data, {4}},
        {"length 4: an empty message", Bytes({4, 0, 1, 2}) + data, {2, 4}},
        {"tail shorter than 7 bytes", data + Msg(0, "ab"), {4}},
        {"unknown type is walked past", Msg(9, "xyz") + data, {9, 4}},
        {"empty datagram", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int> types;
        for (const Seen& s : Walk(c.datagram)) types.push_back(s.type);
        EXPECT_EQ(types, c.types);
    }
    const auto seen = Walk(keepAlive + data);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].payload, "quote");
}

TEST(UdpRelayHeader, AcceptsOnlyWholeIPv4Datagrams) {
    const std::string ipv4 = Bytes({0, 0, 0, 1, 127, 0, 0, 1, 0x1B, 0x59});
    const struct {
        const char* name;
        std::string datagram;
        bool ok;
    } cases[] = {
        {"header and one byte", ipv4 + "x", true},
        {"header alone", ipv4, false},
        {"short", ipv4.substr(0, 7), false},
        {"fragment", Bytes({0, 0, 1, 1, 127, 0, 0, 1, 0x1B, 0x59}) + "x", false},
        {"name", Bytes({0, 0, 0, 3, 4, 'h', 'o', 's', 't', 0x1B, 0x59}) + "x", false},
        {"ipv6", Bytes({0, 0, 0, 4}) + std::string(18, '\1'), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UdpRelayHeader header;
        EXPECT_EQ(ParseUdpRelayHeader(reinterpret_cast<const uint8_t*>(c.datagram.data()),
                                      c.datagram.size(), &header),
                  c.ok);
        if (c.ok) {
            EXPECT_EQ(header.address, htonl(INADDR_LOOPBACK));
            EXPECT_EQ(header.port, htons(7001));
        }
    }
}

TEST(Socks5UdpAssociate, RequestCarriesTheLocalAddressAndTheReplyIsReadExactly) {
    const struct {
        const char* name;
        std::string reply;
        bool ok;
        int type;
        std::string address;
    } cases[] = {
        {"ipv4", Bytes({5, 0, 0, 1, 10, 0, 0, 9, 0x1F, 0x90}), true, 1, Bytes({10, 0, 0, 9})},
        {"name", Bytes({5, 0, 0, 3, 5}) + "relay" + Bytes({0x1F, 0x90}), true, 3, "relay"},
        {"refused", Bytes({5, 1, 0, 1, 0, 0, 0, 0, 0, 0}), false, 0, ""},
        {"cut in the address", Bytes({5, 0, 0, 1, 10, 0}), false, 0, ""},
        {"cut in the name", Bytes({5, 0, 0, 3, 9}) + "rel", false, 0, ""},
        {"unknown type", Bytes({5, 0, 0, 7, 1, 2, 3, 4, 5, 6}), false, 0, ""},
    };
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{4096}}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " chunk " + std::to_string(chunk));
            linktest::MemoryChannel channel(c.reply + (c.ok ? "after" : ""), chunk);
            Socks5Address bound;
            EXPECT_EQ(Socks5Request(channel, kSocks5UdpAssociate, htonl(INADDR_LOOPBACK), 5123, 5,
                                    &bound),
                      c.ok);
            EXPECT_EQ(channel.Sent(), Bytes({5, 3, 0, 1, 127, 0, 0, 1, 0x14, 0x03}));
            if (!c.ok) continue;
            EXPECT_EQ(bound.type, c.type);
            EXPECT_EQ(bound.bytes, c.address);
            EXPECT_EQ(bound.port, 8080);
            EXPECT_EQ(channel.Left(), "after");
        }
    }
}

// A UDP socket bound to the loopback port (0: any free one), or -1 when the port is taken.
int BindLoopbackUdp(int port) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    close(fd);
    return -1;
}

class UdpLinkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()) << server.ErrorText(); }
    bool RegisterLink(int waitSeconds = 5) {
        return link.Register("127.0.0.1", server.Port(), waitSeconds);
    }
    testserver::UdpQuoteServer server;
    RecordingLink link;
};

TEST_F(UdpLinkTest, RegistersSubscribesReceivesAndUnregisters) {
    ASSERT_TRUE(RegisterLink()) << link.GetLastErrorText();
    EXPECT_TRUE(link.IsRegistered());
    const int port = link.GetLocalPort();
    EXPECT_GE(port, CUdpLink::kFirstLocalPort);
    EXPECT_LT(port, CUdpLink::kFirstLocalPort + CUdpLink::kLocalPortTries);

    auto messages = server.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].type, kUdpRegister);
    EXPECT_EQ(messages[0].length, 40);
    EXPECT_EQ(messages[0].version, 1);
    EXPECT_EQ(messages[0].payload, std::string(36, '\0'));
    EXPECT_EQ(ntohs(messages[0].from.sin_port), port);

    EXPECT_TRUE(link.SendSubscription("SHFE|cu2501,DCE|m2505"));
    ASSERT_TRUE(server.WaitForMessages(kUdpSubscription, 1, std::chrono::seconds(5)));
    messages = server.Messages();
    EXPECT_EQ(messages.back().length, 21 + 4);
    EXPECT_EQ(messages.back().payload, "SHFE|cu2501,DCE|m2505");

    // One data message, then a keep-alive answer and two data messages in one datagram.
    EXPECT_EQ(server.SendData("quote-1"), 1u);
    EXPECT_EQ(server.SendRaw(Msg(2, std::string(8, '\0')) + Msg(4, "quote-2") +
                             Msg(4, std::string(3000, 'q'))),
              1u);
    ASSERT_TRUE(link.WaitForPayloads(3));
    const auto payloads = link.Payloads();
    EXPECT_EQ(payloads[0], "quote-1");
    EXPECT_EQ(payloads[1], "quote-2");
    EXPECT_EQ(payloads[2], std::string(3000, 'q'));
    EXPECT_EQ(link.GetKeepAliveAnswers(), 1u);

    link.Close();
    EXPECT_FALSE(link.IsRegistered());
    EXPECT_EQ(link.GetLocalPort(), 0);
    EXPECT_EQ(link.GetKeepAliveAnswers(), 0u);
    ASSERT_TRUE(server.WaitForMessages(kUdpUnregister, 1, std::chrono::seconds(5)));
    messages = server.Messages();
    EXPECT_EQ(messages.back().length, 36);
    EXPECT_EQ(messages.back().payload, std::string(32, '\0'));
    EXPECT_TRUE(server.Clients().empty());
    EXPECT_FALSE(linktest::ThisProcessHoldsUdpPort(port));

    // The link can register again after a close.
    ASSERT_TRUE(RegisterLink()) << link.GetLastErrorText();
    EXPECT_EQ(server.SendData("quote-3"), 1u);
    ASSERT_TRUE(link.WaitForPayloads(4));
    EXPECT_EQ(link.Payloads()[3], "quote-3");
}

TEST_F(UdpLinkTest, UnansweredRegistrationTimesOutAndLeavesNoSocket) {
    server.SetSilent(true);
    EXPECT_FALSE(RegisterLink(1));
    EXPECT_EQ(link.GetLastErrorText(), "注册UDP服务时等待应答超时!");
    EXPECT_FALSE(link.IsRegistered());
    EXPECT_EQ(link.GetLocalPort(), 0);
    const auto messages = server.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_FALSE(linktest::ThisProcessHoldsUdpPort(ntohs(messages[0].from.sin_port)));

    // A later registration that succeeds starts the watchdog (its keep-alives show it).
    server.SetSilent(false);
    ASSERT_TRUE(RegisterLink()) << link.GetLastErrorText();
    EXPECT_TRUE(server.WaitForMessages(kUdpKeepAlive, 1, std::chrono::seconds(10)));
}

TEST_F(UdpLinkTest, TakenLocalPortsAreSkipped) {
    // Ports taken by anyone (these sockets or other programs) are passed over. Other programs
    // come and go in the range, so the test holds the first two ports free to it and checks
    // that the link took neither but one of the range's, which it holds.
    std::vector<std::pair<int, int>> held;  // port, socket
    for (int port = CUdpLink::kFirstLocalPort;
         held.size() < 2 && port < CUdpLink::kFirstLocalPort + CUdpLink::kLocalPortTries; ++port)
        if (const int fd = BindLoopbackUdp(port); fd >= 0) held.emplace_back(port, fd);
    ASSERT_EQ(held.size(), 2u);
    ASSERT_TRUE(RegisterLink()) << link.GetLastErrorText();
    const int port = link.GetLocalPort();
    EXPECT_GE(port, CUdpLink::kFirstLocalPort);
    EXPECT_LT(port, CUdpLink::kFirstLocalPort + CUdpLink::kLocalPortTries);
    for (const auto& [taken, fd] : held) EXPECT_NE(port, taken);
    EXPECT_TRUE(linktest::ThisProcessHoldsUdpPort(port));
    link.Close();
    for (const auto& [taken, fd] : held) close(fd);
}

TEST_F(UdpLinkTest, StraysAndBadDatagramsAreIgnoredWithoutClosingTheLink) {
    ASSERT_TRUE(RegisterLink()) << link.GetLastErrorText();
    const int port = link.GetLocalPort();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<uint16_t>(port));

    // Another sender's data and acknowledgement count for nothing.
    testserver::UdpQuoteServer stranger;
    ASSERT_TRUE(stranger.Start());
    ASSERT_TRUE(stranger.SendRawTo(to, Msg(4, "forged")));
    ASSERT_TRUE(stranger.SendRawTo(to, std::string()));
    // The server's own bad datagrams are skipped.
    for (const std::string& bad :
         {std::string(), Bytes({2, 0, 1, 4, 0, 0, 0, 0}), Bytes({1, 0, 1, 4}) + Msg(4, "after-1"),
          Bytes({200, 0, 1, 4}) + "short", Bytes({0, 0, 1, 4, 1, 2, 3})})
        ASSERT_EQ(server.SendRaw(bad), 1u);
    ASSERT_EQ(server.SendData("good"), 1u);
    ASSERT_TRUE(link.WaitForPayloads(1));
    EXPECT_EQ(link.Payloads(), std::vector<std::string>{"good"});
    EXPECT_TRUE(link.IsRegistered());
    EXPECT_EQ(link.GetLocalPort(), port);
    EXPECT_EQ(server.CountMessages(kUdpRegister), 1u);
}

TEST_F(UdpLinkTest, WatchdogKeepsAliveAndRegistersAgainAfterSilence) {
    platform::ManualClock clock;
    platform::ScopedClockSource source(clock);
    ASSERT_TRUE(RegisterLink()) << link.GetLastErrorText();

    // Nothing sent for 2 s: a keep-alive carrying the time and 1, and its answer counted.
    clock.AdvanceMs(2000);
    ASSERT_TRUE(server.WaitForMessages(kUdpKeepAlive, 1, std::chrono::seconds(5)));
    const auto messages = server.Messages();
    const auto& keepAlive = messages.back();
    EXPECT_EQ(keepAlive.length, 12);
    ASSERT_EQ(keepAlive.payload.size(), 8u);
    uint32_t sentAt = 0;
    for (int i = 3; i >= 0; --i) sentAt = sentAt << 8 | static_cast<uint8_t>(keepAlive.payload[i]);
    EXPECT_LE(std::abs(static_cast<int64_t>(sentAt) - std::time(nullptr)), 5);
    EXPECT_EQ(keepAlive.payload.substr(4), Bytes({1, 0, 0, 0}));
    EXPECT_TRUE(WaitUntil([&] { return link.GetKeepAliveAnswers() >= 1; }));
    EXPECT_TRUE(WaitUntil([&] { return link.GetKeepAlivesSent() >= 1; }));

    // 61 s without a word from the server: the registration is dropped...
    server.SetSilent(true);
    clock.AdvanceMs(61000);
    ASSERT_TRUE(WaitUntil([&] { return !link.IsRegistered(); }));
    EXPECT_EQ(link.GetLocalPort(), 0);
    // ...and made again once the server answers; the clock moves on so that an attempt sent
    // while the server was still silent times out.
    server.SetSilent(false);
    ASSERT_TRUE(
        WaitUntil([&] { return link.IsRegistered(); }, 20000, [&] { clock.AdvanceMs(100); }));
    EXPECT_GE(server.CountMessages(kUdpRegister), 2u);
    EXPECT_GE(link.GetLocalPort(), CUdpLink::kFirstLocalPort);
    // The server still lists the old port when the new registration came from another one.
    ASSERT_GE(server.SendData("back"), 1u);
    ASSERT_TRUE(link.WaitForPayloads(1));
}

TEST_F(UdpLinkTest, CloseEndsARegistrationWaitingForItsAnswer) {
    platform::ManualClock clock;
    platform::ScopedClockSource source(clock);
    ASSERT_TRUE(RegisterLink(30)) << link.GetLastErrorText();
    server.SetSilent(true);
    clock.AdvanceMs(61000);
    // The watchdog registers again and waits (the clock stands still) for an answer.
    ASSERT_TRUE(server.WaitForMessages(kUdpRegister, 2, std::chrono::seconds(10)));
    link.Close();
    EXPECT_FALSE(link.IsRegistered());
    EXPECT_EQ(link.GetLocalPort(), 0);
}

// The SOCKS5 proxy played by the test: the control connection answers the greeting and the
// UDP ASSOCIATE with a relay on "any address" and the port of the test's own UDP socket,
// which the test then reads and writes as the relay.
class ScriptedRelay {
public:
    explicit ScriptedRelay(bool grant) : grant_(grant) {
        relay_ = BindLoopbackUdp(0);
        sockaddr_in address{};
        socklen_t size = sizeof address;
        getsockname(relay_, reinterpret_cast<sockaddr*>(&address), &size);
        relayPort_ = ntohs(address.sin_port);
        thread_ = std::jthread([this](std::stop_token stop) { Serve(stop); });
    }
    ~ScriptedRelay() {
        thread_.request_stop();
        if (thread_.joinable()) thread_.join();
        if (control_ >= 0) close(control_);
        close(relay_);
    }
    int proxyPort() const { return listener_.port(); }
    std::string associateRequest() {
        if (thread_.joinable()) thread_.join();  // the control exchange is over
        return request_;
    }
    // One datagram that reached the relay within ms (empty when none).
    std::string Receive(sockaddr_in* from, int ms = 5000) {
        pollfd pfd{relay_, POLLIN, 0};
        if (poll(&pfd, 1, ms) <= 0) return {};
        char buffer[8192];
        socklen_t size = sizeof *from;
        const ssize_t got =
            recvfrom(relay_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(from), &size);
        return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
    }
    void SendTo(const sockaddr_in& to, const std::string& datagram) {
        sendto(relay_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to);
    }

private:
    void Serve(std::stop_token stop) {
        int fd = -1;
        while (fd < 0 && !stop.stop_requested()) fd = listener_.Accept(50);
        if (fd < 0) return;
        if (linktest::ReadUntil(fd, "", 4).size() == 4) {
            linktest::SendAll(fd, Bytes({5, 0}));
            request_ = linktest::ReadUntil(fd, "", 10);
            const std::string reply =
                grant_ ? Bytes({5, 0, 0, 1, 0, 0, 0, 0, relayPort_ >> 8, relayPort_ & 0xFF})
                       : Bytes({5, 1, 0, 1, 0, 0, 0, 0, 0, 0});
            linktest::SendAll(fd, reply);
        }
        control_ = fd;
    }

    bool grant_;
    linktest::Listener listener_;
    int relay_ = -1;
    int relayPort_ = 0;
    int control_ = -1;
    std::string request_;
    std::jthread thread_;
};

const std::string kServerHeader = Bytes({0, 0, 0, 1, 127, 0, 0, 1, 0x1B, 0x59});  // :7001

TEST(UdpLinkRelay, TalksThroughTheRelayWithItsHeaderBothWays) {
    ScriptedRelay relay(true);
    RecordingLink link;
    link.SetSocks5Proxy("127.0.0.1", relay.proxyPort(), "", "");
    auto registered =
        std::async(std::launch::async, [&] { return link.Register("127.0.0.1", 7001, 10); });

    sockaddr_in from{};
    const std::string registration = relay.Receive(&from);
    EXPECT_EQ(relay.associateRequest(), Bytes({5, 3, 0, 1, 127, 0, 0, 1, ntohs(from.sin_port) >> 8,
                                               ntohs(from.sin_port) & 0xFF}));
    EXPECT_EQ(registration, kServerHeader + Msg(0, std::string(36, '\0')));
    relay.SendTo(from, kServerHeader + Msg(0, std::string(36, '\0')));
    ASSERT_TRUE(registered.get()) << link.GetLastErrorText();

    // From the relay but not from the server, fragments and short ones: ignored.
    relay.SendTo(from, Bytes({0, 0, 0, 1, 127, 0, 0, 2, 0x1B, 0x59}) + Msg(4, "other"));
    relay.SendTo(from, Bytes({0, 0, 1, 1, 127, 0, 0, 1, 0x1B, 0x59}) + Msg(4, "fragment"));
    relay.SendTo(from, kServerHeader);
    relay.SendTo(from, kServerHeader + Msg(4, "relayed"));
    ASSERT_TRUE(link.WaitForPayloads(1));
    EXPECT_EQ(link.Payloads(), std::vector<std::string>{"relayed"});
    EXPECT_TRUE(link.IsRegistered());

    // A message of 4,087 bytes does not fit behind the header; 4,086 does.
    link.SendSubscription(std::string(4083, 'x'));
    link.SendSubscription(std::string(4082, 'y'));
    const std::string big = relay.Receive(&from);
    EXPECT_EQ(big.size(), 4096u);
    EXPECT_EQ(big.substr(0, 10), kServerHeader);
    EXPECT_EQ(big[14], 'y');
}

TEST(UdpLinkRelay, RefusedAssociationFailsAndLeavesNoSocket) {
    ScriptedRelay relay(false);
    RecordingLink link;
    link.SetSocks5Proxy("127.0.0.1", relay.proxyPort(), "", "");
    EXPECT_FALSE(link.Register("127.0.0.1", 7001, 1));
    EXPECT_EQ(link.GetLastErrorText(), "连接Sock5代理失败!");
    EXPECT_EQ(link.GetLocalPort(), 0);

    RecordingLink noProxy;
    const linktest::RefusingPort refusing;
    noProxy.SetSocks5Proxy("127.0.0.1", refusing.port(), "", "");
    EXPECT_FALSE(noProxy.Register("127.0.0.1", 7001, 1));
    EXPECT_EQ(noProxy.GetLastErrorText(), "连接Sock5代理失败!");
}

}  // namespace
