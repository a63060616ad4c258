// The server's UDP quote side against datagrams composed byte by byte here: answers to
// registration and keep-alive, subscriptions recorded, data only to registered clients,
// silence, and bad lengths that end the walk of a datagram.
#include "testserver/UdpQuoteServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <string>
#include <utility>

#include "tests/testserver/QuoteSockets.h"

namespace {

using testserver::UdpQuoteServer;
using namespace std::chrono_literals;

std::string Msg(int type, const std::string& payload) {
    const std::size_t length = payload.size() + 4;
    std::string out;
    out += static_cast<char>(length & 0xFF);
    out += static_cast<char>(length >> 8);
    out += '\x01';
    out += static_cast<char>(type);
    return out + payload;
}

// A client socket on loopback that talks to the server.
class Client {
public:
    explicit Client(uint16_t serverPort) : server_(serverPort) {}
    void Send(const std::string& datagram) { socket_.SendTo(server_, datagram); }
    // The next datagram within ms; false when none came.
    bool Receive(std::string* datagram, int ms = 2000) {
        auto got = socket_.Receive(ms);
        if (!got) return false;
        *datagram = std::move(*got);
        return true;
    }

private:
    testserver_test::DatagramSocket socket_;
    uint16_t server_;
};

class UdpQuoteServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()) << server.ErrorText(); }
    UdpQuoteServer server;
};

TEST_F(UdpQuoteServerTest, AnswersRegistrationAndKeepAliveAndRecordsSubscriptions) {
    Client client(server.Port());
    std::string answer;
    client.Send(Msg(0, std::string(36, '\0')));
    ASSERT_TRUE(client.Receive(&answer));
    EXPECT_EQ(answer, Msg(0, std::string(36, '\0')));
    EXPECT_EQ(server.Clients().size(), 1u);

    // Two messages in one datagram: a keep-alive (answered) and a subscription.
    client.Send(Msg(2, std::string(8, '\0')) + Msg(3, "SHFE|cu2501"));
    ASSERT_TRUE(client.Receive(&answer));
    ASSERT_EQ(answer.size(), 12u);
    EXPECT_EQ(answer.substr(0, 4), std::string("\x0C\x00\x01\x02", 4));
    EXPECT_EQ(answer.substr(8), std::string("\x01\x00\x00\x00", 4));
    ASSERT_TRUE(server.WaitForMessages(3, 1, 2s));
    const auto messages = server.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2].payload, "SHFE|cu2501");
    EXPECT_EQ(messages[2].length, 15);
    EXPECT_EQ(messages[2].version, 1);
}

TEST_F(UdpQuoteServerTest, DataGoesOnlyToRegisteredClients) {
    Client registered(server.Port());
    Client other(server.Port());
    std::string datagram;
    registered.Send(Msg(0, std::string(36, '\0')));
    ASSERT_TRUE(registered.Receive(&datagram));

    EXPECT_EQ(server.SendData("quote"), 1u);
    ASSERT_TRUE(registered.Receive(&datagram));
    EXPECT_EQ(datagram, Msg(4, "quote"));
    EXPECT_EQ(UdpQuoteServer::DataMessage("quote"), datagram);
    EXPECT_FALSE(other.Receive(&datagram, 100));

    registered.Send(Msg(1, std::string(32, '\0')));
    ASSERT_TRUE(server.WaitForMessages(1, 1, 2s));
    EXPECT_TRUE(server.Clients().empty());
    EXPECT_EQ(server.SendData("late"), 0u);
}

TEST_F(UdpQuoteServerTest, SilentServerRecordsButAnswersNothing) {
    server.SetSilent(true);
    Client client(server.Port());
    client.Send(Msg(0, std::string(36, '\0')));
    ASSERT_TRUE(server.WaitForMessages(0, 1, 2s));
    std::string datagram;
    EXPECT_FALSE(client.Receive(&datagram, 100));
}

TEST_F(UdpQuoteServerTest, BadLengthEndsTheWalkOfADatagram) {
    Client client(server.Port());
    const struct {
        const char* name;
        std::string datagram;
        std::size_t messages;
    } cases[] = {
        {"length below the header", std::string("\x02\x00\x01\x03", 4) + Msg(3, "a"), 0},
        {"length past the end", Msg(3, "a") + std::string("\x50\x00\x01\x03xx", 6), 1},
        {"exact", Msg(3, "a") + Msg(3, "b"), 2},
    };
    std::size_t expected = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        client.Send(c.datagram);
        // A message of another type after each case marks where its walk ended.
        client.Send(Msg(9, ""));
        expected += c.messages;
        ASSERT_TRUE(server.WaitForMessages(9, static_cast<std::size_t>(&c - cases) + 1, 2s));
        EXPECT_EQ(server.CountMessages(3), expected);
    }
}

}  // namespace
