// The level-2 quote server driven by plain sockets: the login answer in each form and mode,
// the channel, cancel and subscribe commands, records on the control connection and by UDP,
// each fault, and broadcast and multicast inside a network namespace of the test's own.
#include "testserver/Level2Server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/testserver/QuoteSockets.h"
#include "tests/testserver/RawClient.h"
#include "testserver/QuoteRecords.h"

namespace testserver {
namespace {

using namespace std::chrono_literals;
using testserver_test::DatagramSocket;
using testserver_test::RawClient;

uint32_t U32(const std::string& b, std::size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b.at(at + i));
    return v;
}

// Distinct records a test can tell apart: a 287-byte and a 152-byte one for each code.
std::vector<std::string> RecordsOf(const std::string& code) {
    MarketQuote q;
    q.code = code;
    q.tick = 1;
    q.last = 100;
    return {EncodeLevel2Snapshot(q, 93000000), EncodeOrderQueue(q)};
}

std::string ReadLine(RawClient& client) {
    std::string line;
    while (line.size() < 4096) {
        const auto byte = client.ReadExact(1);
        if (!byte) break;
        line += *byte;
        if (line.ends_with("\r\n")) break;
    }
    return line;
}

class Level2ServerTest : public ::testing::Test {
protected:
    void Begin(Level2Server::Options options) {
        server = std::make_unique<Level2Server>(std::move(options));
        ASSERT_TRUE(server->Start()) << server->ErrorText();
        ASSERT_NE(server->Port(), 0);
        client = std::make_unique<RawClient>(server->Port());
        ASSERT_TRUE(client->connected());
    }
    // Login with the record answer; returns the 68 bytes.
    std::string LoginRecord() {
        EXPECT_TRUE(client->Send("4001|000123|secret\r\n"));
        return client->ReadExact(kLevel2LoginAnswerSize).value_or("");
    }
    void Subscribe(const std::string& codes, int expected) {
        ASSERT_TRUE(client->Send("4012|all\r\n"));
        EXPECT_EQ(ReadLine(*client), "4012|0|all\r\n");
        ASSERT_TRUE(client->Send("4014|udp|" + codes + "\r\n"));
        const std::string answer = client->ReadExact(kLevel2SubscribeAnswerSize).value_or("");
        ASSERT_EQ(answer.size(), kLevel2SubscribeAnswerSize);
        EXPECT_EQ(U32(answer, 4), kLevel2SubscribeAnswerSize);
        EXPECT_EQ(static_cast<int32_t>(U32(answer, 108)), expected);
    }

    std::unique_ptr<Level2Server> server;
    std::unique_ptr<RawClient> client;
};

// Record mode 1: quotes on the control connection, only for subscribed codes.
TEST_F(Level2ServerTest, RecordModeOneSendsRecordsOnTheControlConnection) {
    Begin({.mode = 1});
    const std::string login = LoginRecord();
    ASSERT_EQ(login.size(), 68u);
    EXPECT_EQ(U32(login, 4), 68u);
    EXPECT_EQ(login.substr(8, 7), std::string("000123") + '\0');
    EXPECT_EQ(U32(login, 40), 1u);
    EXPECT_EQ(server->ChannelCount(), 0u);
    ASSERT_TRUE(client->Send("4011|tcp\r\n"));
    EXPECT_EQ(ReadLine(*client), "4011|0|tcp\r\n");
    EXPECT_EQ(server->ChannelCount(), 1u);
    Subscribe("cu2701|al2701", 2);
    EXPECT_EQ(server->Subscribed(), (std::set<std::string>{"al2701", "cu2701"}));
    EXPECT_TRUE(server->WaitForChannels(1, 5s));
    EXPECT_FALSE(server->WaitForChannels(2, 0ms));
    EXPECT_TRUE(server->WaitForSubscribed("al2701", 5s));
    EXPECT_FALSE(server->WaitForSubscribed("rb2701", 0ms));

    EXPECT_EQ(server->Publish("rb2701", RecordsOf("rb2701")), 0u);  // not subscribed
    EXPECT_EQ(server->Publish("cu2701", RecordsOf("cu2701")), 1u);
    const auto records = RecordsOf("cu2701");
    EXPECT_EQ(client->ReadExact(287), records[0]);
    EXPECT_EQ(client->ReadExact(152), records[1]);

    // Cancelling all stops the records.
    ASSERT_TRUE(client->Send("4012|all\r\n"));
    EXPECT_EQ(ReadLine(*client), "4012|0|all\r\n");
    EXPECT_EQ(server->Publish("cu2701", RecordsOf("cu2701")), 0u);
    const std::vector<std::string> commands{"4001|000123|secret", "4011|tcp", "4012|all",
                                            "4014|udp|cu2701|al2701", "4012|all"};
    EXPECT_EQ(server->Commands(), commands);
}

// The UDP modes: 4 sends to the port of "4011|udp|port", 5 and text 2 to the named port
// without a command; every one to the control connection's peer.
TEST_F(Level2ServerTest, UdpModesSendEachRecordAsOneDatagram) {
    struct Case {
        Level2LoginForm form;
        int mode;
        bool command;  // the client names its port with 4011
    };
    for (const Case c :
         {Case{Level2LoginForm::Record, 4, true}, Case{Level2LoginForm::Record, 5, false},
          Case{Level2LoginForm::Text, 1, true}, Case{Level2LoginForm::Text, 2, false}}) {
        SCOPED_TRACE(c.mode);
        DatagramSocket quotes;
        ASSERT_TRUE(quotes.bound());
        Begin(
            {.form = c.form, .mode = c.mode, .quotePort = c.command ? uint16_t(0) : quotes.port()});
        ASSERT_TRUE(client->Send("4001|000123|secret\r\n"));
        if (c.form == Level2LoginForm::Record) {
            const std::string login = client->ReadExact(68).value_or("");
            ASSERT_EQ(login.size(), 68u);
            EXPECT_EQ(U32(login, 40), static_cast<uint32_t>(c.mode));
            EXPECT_EQ(U32(login, 64), c.command ? 0u : quotes.port());
        } else {
            EXPECT_EQ(ReadLine(*client), "4001|000123|" + std::to_string(c.mode) + "|239.255.0.1|" +
                                             std::to_string(c.command ? 0 : quotes.port()) +
                                             "\r\n");
        }
        if (c.command) {
            const std::string port = std::to_string(quotes.port());
            ASSERT_TRUE(client->Send("4011|udp|" + port + "\r\n"));
            EXPECT_EQ(ReadLine(*client), "4011|0|udp|" + port + "\r\n");
        }
        EXPECT_EQ(server->ChannelCount(), 1u);
        Subscribe("cu2701", 1);
        EXPECT_EQ(server->Publish("cu2701", RecordsOf("cu2701")), 1u);
        EXPECT_EQ(quotes.Receive(), RecordsOf("cu2701")[0]);
        EXPECT_EQ(quotes.Receive(), RecordsOf("cu2701")[1]);
    }
}

// Modes that open no channel (record 2, an unknown mode) answer and send nothing.
TEST_F(Level2ServerTest, ModesWithoutAChannelSendNothing) {
    Begin({.mode = 2});
    EXPECT_EQ(U32(LoginRecord(), 40), 2u);
    Subscribe("cu2701", 1);
    EXPECT_EQ(server->ChannelCount(), 0u);
    EXPECT_EQ(server->Publish("cu2701", RecordsOf("cu2701")), 0u);
}

TEST_F(Level2ServerTest, RefusesCommandsBeforeLoginAndUnknownOnes) {
    Begin({});
    const std::pair<const char*, const char*> cases[] = {
        {"4014|tcp|cu2701\r\n", "-1|not logged in\r\n"},
        {"4011|tcp\r\n", "-1|not logged in\r\n"},
        {"4001\r\n", "-1|bad login\r\n"},
        {"4001||x\r\n", "-1|bad login\r\n"},
    };
    for (const auto& [line, answer] : cases) {
        ASSERT_TRUE(client->Send(line));
        EXPECT_EQ(ReadLine(*client), answer) << line;
    }
    EXPECT_EQ(LoginRecord().size(), 68u);
    for (const auto& [line, answer] : {std::pair{"9999|x\r\n", "-1|unknown command\r\n"},
                                       std::pair{"4011|udp|0\r\n", "-1|bad port\r\n"},
                                       std::pair{"4011|udp|70000\r\n", "-1|bad port\r\n"}}) {
        ASSERT_TRUE(client->Send(line));
        EXPECT_EQ(ReadLine(*client), answer) << line;
    }
    // Lines may end with LF alone and arrive in pieces.
    ASSERT_TRUE(client->Send("40"));
    ASSERT_TRUE(client->Send("12|all\n"));
    EXPECT_EQ(ReadLine(*client), "4012|0|all\r\n");
}

TEST_F(Level2ServerTest, AnOverlongLineEndsTheConnection) {
    Begin({});
    ASSERT_TRUE(client->Send(std::string(10000, 'x')));
    EXPECT_TRUE(client->SeesClosed());
}

// Each fault shows in the datagrams: their number and sizes.
TEST_F(Level2ServerTest, FaultsChangeTheDatagramsOnce) {
    struct Case {
        Level2Fault fault;
        std::vector<std::size_t> sizes;
    };
    const Case cases[] = {{Level2Fault::SplitRecord, {143, 144, 152}},
                          {Level2Fault::MergeRecords, {287 + 152}},
                          {Level2Fault::WrongSize, {286, 152}},
                          {Level2Fault::Garbage, {100, 287, 152}}};
    DatagramSocket quotes;
    Begin({.mode = 5, .quotePort = quotes.port()});
    LoginRecord();
    Subscribe("cu2701", 1);
    const auto records = RecordsOf("cu2701");
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        server->InjectFault(c.fault);
        EXPECT_EQ(server->Publish("cu2701", records), 1u);
        std::string joined;
        for (std::size_t size : c.sizes) {
            const auto datagram = quotes.Receive();
            ASSERT_TRUE(datagram);
            EXPECT_EQ(datagram->size(), size);
            joined += *datagram;
        }
        if (c.fault == Level2Fault::SplitRecord || c.fault == Level2Fault::MergeRecords) {
            EXPECT_EQ(joined, records[0] + records[1]);
        }
        // Used once: the next publication is whole again.
        server->Publish("cu2701", records);
        EXPECT_EQ(quotes.Receive(), records[0]);
        EXPECT_EQ(quotes.Receive(), records[1]);
    }
}

// On the control connection the faults change the stream's bytes.
TEST_F(Level2ServerTest, FaultsOnTheControlConnection) {
    Begin({.mode = 1});
    LoginRecord();
    ASSERT_TRUE(client->Send("4011|tcp\r\n"));
    ReadLine(*client);
    Subscribe("cu2701", 1);
    const auto records = RecordsOf("cu2701");
    const std::string whole = records[0] + records[1];

    server->InjectFault(Level2Fault::SplitRecord);
    server->Publish("cu2701", records);
    EXPECT_EQ(client->ReadExact(whole.size()), whole);
    server->InjectFault(Level2Fault::MergeRecords);
    server->Publish("cu2701", records);
    EXPECT_EQ(client->ReadExact(whole.size()), whole);
    server->InjectFault(Level2Fault::WrongSize);
    server->Publish("cu2701", records);
    EXPECT_EQ(client->ReadExact(whole.size() - 1), records[0].substr(0, 286) + records[1]);
    server->InjectFault(Level2Fault::Garbage);
    server->Publish("cu2701", records);
    const auto garbage = client->ReadExact(100);
    ASSERT_TRUE(garbage);
    EXPECT_NE(U32(*garbage, 0), 287u);
    EXPECT_EQ(client->ReadExact(whole.size()), whole);
}

TEST_F(Level2ServerTest, DroppingTheControlConnectionEndsItsChannel) {
    Begin({.mode = 1});
    LoginRecord();
    ASSERT_TRUE(client->Send("4011|tcp\r\n"));
    ReadLine(*client);
    Subscribe("cu2701", 1);
    EXPECT_EQ(server->DropControlConnections(), 1u);
    EXPECT_TRUE(client->SeesClosed());
    EXPECT_EQ(server->Publish("cu2701", RecordsOf("cu2701")), 0u);
    EXPECT_EQ(server->ConnectionCount(), 0u);
    // A new connection is served as before.
    client = std::make_unique<RawClient>(server->Port());
    EXPECT_EQ(LoginRecord().size(), 68u);
}

// A standing feed gets every record without a control connection; a feed without a port or
// with no address is not added.
TEST_F(Level2ServerTest, AFeedGetsEveryRecordWithoutSubscribing) {
    Begin({});
    DatagramSocket feed;
    ASSERT_TRUE(feed.bound());
    server->AddFeed("127.0.0.1", 0);
    server->AddFeed("nowhere", feed.port());
    EXPECT_EQ(server->Publish("cu2701", RecordsOf("cu2701")), 0u);
    server->AddFeed("127.0.0.1", feed.port());
    EXPECT_EQ(server->Publish("cu2701", RecordsOf("cu2701")), 1u);
    EXPECT_EQ(feed.Receive(), RecordsOf("cu2701")[0]);
    EXPECT_EQ(feed.Receive(), RecordsOf("cu2701")[1]);
}

TEST_F(Level2ServerTest, ABadAddressFailsToStart) {
    Level2Server bad({.address = "not an address"});
    EXPECT_FALSE(bad.Start());
    EXPECT_NE(bad.ErrorText().find("address"), std::string::npos);
}

// Broadcast and multicast, each in a namespace of its own: record mode 6 and text mode 3 join
// the named group; broadcast delivery sends "4011|udp" quotes to the broadcast address; the
// standing feeds get every record without a control connection.
TEST(Level2ServerNamespaceTest, MulticastAndBroadcastReachTheirReceivers) {
    struct Case {
        const char* name;
        Level2LoginForm form;
        int mode;
        bool broadcast;
    };
    const Case cases[] = {{"record mode 6", Level2LoginForm::Record, 6, false},
                          {"text mode 3", Level2LoginForm::Text, 3, false},
                          {"record mode 4 broadcast", Level2LoginForm::Record, 4, true},
                          {"text mode 2 broadcast", Level2LoginForm::Text, 2, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string result = testserver_test::RunInNetworkNamespace([&]() -> std::string {
            DatagramSocket quotes("0.0.0.0");
            if (!quotes.bound()) return "no receiver";
            const bool multicast = !c.broadcast;
            if (multicast && !quotes.Join("239.255.0.1")) return "cannot join the group";
            Level2Server server({.form = c.form,
                                 .mode = c.mode,
                                 .group = "239.255.0.1",
                                 .quotePort = quotes.port(),
                                 .broadcast = c.broadcast});
            if (!server.Start()) return "server: " + server.ErrorText();
            RawClient client(server.Port());
            client.Send("4001|000123|secret\r\n");
            if (c.form == Level2LoginForm::Record) {
                if (!client.ReadExact(68)) return "no login answer";
            } else if (ReadLine(client).empty()) {
                return "no login line";
            }
            if (c.mode == 4) {
                client.Send("4011|udp|" + std::to_string(quotes.port()) + "\r\n");
                ReadLine(client);
            }
            client.Send("4014|udp|cu2701\r\n");
            if (!client.ReadExact(kLevel2SubscribeAnswerSize)) return "no subscribe answer";
            if (server.Publish("cu2701", RecordsOf("cu2701")) != 1) return "not published";
            if (quotes.Receive() != RecordsOf("cu2701")[0]) return "first record missing";
            if (quotes.Receive() != RecordsOf("cu2701")[1]) return "second record missing";

            // A standing feed on another port gets records without any subscription.
            DatagramSocket feed("0.0.0.0");
            if (multicast && !feed.Join("239.255.0.2")) return "cannot join the feed group";
            server.AddFeed(multicast ? "239.255.0.2" : "127.255.255.255", feed.port());
            if (server.Publish("rb2701", RecordsOf("rb2701")) != 1) return "feed not published";
            if (feed.Receive() != RecordsOf("rb2701")[0]) return "feed record missing";
            return "";
        });
        if (result.starts_with("SKIP: ")) GTEST_SKIP() << result.substr(6);
        EXPECT_EQ(result, "");
    }
}

}  // namespace
}  // namespace testserver
