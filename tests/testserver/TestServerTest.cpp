// The running server seen from a raw socket: answers, recording, subscriptions and pushes,
// the built-in functions, fault injection and stopping with clients connected.
#include "testserver/TestServer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "RawClient.h"

namespace testserver {
namespace {

using namespace std::chrono_literals;
using testserver_test::Frame;
using testserver_test::Inflate;
using testserver_test::Items;
using testserver_test::RawClient;
using testserver_test::RawPacket;
using testserver_test::Request;
using Strings = std::vector<std::string>;

class TestServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()) << server.ErrorText(); }
    void TearDown() override { EXPECT_TRUE(server.Stop()); }

    std::unique_ptr<RawClient> Connect() {
        auto client = std::make_unique<RawClient>(server.Port());
        EXPECT_TRUE(client->connected());
        return client;
    }

    TestServer server;
};

TEST_F(TestServerTest, ScriptedPlainAnswerArrivesAsExactBytes) {
    server.Script(16151, {{{507, "0"}, {605, "K1"}}});
    auto client = Connect();
    ASSERT_TRUE(client->Send(Request(0x0102, 16151, "605=K1\x01")));
    const auto packet = client->ReadPacket();
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->raw, std::string("\x1B\x00\x02\x01\x00\x00\x00\x00\x05\x00\x00\x00\x00\x00"
                                       "507=0\x01"
                                       "605=K1\x01",
                                       27));
}

TEST_F(TestServerTest, RequestsAreRecordedInOrderAndOneWayIsNotAnswered) {
    auto client = Connect();
    ASSERT_TRUE(client->Send(Request(1, 16151,
                                     "605=\xD6\xD0\x01"
                                     "7153=1\x01")));
    ASSERT_TRUE(client->Send(Request(2, 16300, "1=a\x01", 3)));
    ASSERT_TRUE(client->Send(Request(3, 10, {}, 0, 0x02)));
    const auto first = client->ReadAnswer();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].id, 1u);
    const auto heartbeat = client->ReadAnswer();
    ASSERT_EQ(heartbeat.size(), 1u);
    EXPECT_EQ(heartbeat[0].id, 3u);  // nothing for the one-way request in between
    EXPECT_EQ(Items(heartbeat[0].body), (Strings{"507=0", "508="}));

    ASSERT_TRUE(server.WaitForRequests(3, 5s));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].function, 16151);
    EXPECT_EQ(requests[0].packetId, 1u);
    EXPECT_EQ(requests[0].connection, 0u);
    EXPECT_EQ(
        requests[0].fields,
        (Row{{8, "3|00009999|8|127.0.0.1|1|1|0|1|"}, {35, "16151"}, {605, "中"}, {7153, "1"}}));
    EXPECT_EQ(requests[1].kind, kKindOneWay);
    EXPECT_EQ(requests[1].Get(1), "a");
    EXPECT_EQ(requests[2].function, 10);
    EXPECT_EQ(requests[2].packetFlags, kPacketPush);
    EXPECT_EQ(server.RequestCount(16151), 1u);
    EXPECT_EQ(server.RequestCount(16300), 1u);  // one-way requests count too
    EXPECT_EQ(server.RequestCount(16152), 0u);
}

TEST_F(TestServerTest, EachAnswerFormEndsAsScripted) {
    const std::vector<Row> rows = {{{507, "0"}, {605, "K1"}}, {{507, "0"}, {605, "K2"}}};
    struct Case {
        AnswerForm form;
        Ending ending;
        Strings bodies;
        std::vector<int> packetFlags;
    };
    const Case cases[] = {
        {AnswerForm::Plain, Ending::LastRow, {"507=0|605=K1|", "507=0|605=K2|"}, {1, 5}},
        {AnswerForm::Plain,
         Ending::EmptyTerminator,
         {"507=0|605=K1|", "507=0|605=K2|", ""},
         {1, 1, 13}},
        {AnswerForm::Table,
         Ending::NotCountedTerminator,
         {"507=0|605=K1|", "0|K2|", ""},
         {1, 1, 21}},
    };
    auto client = Connect();
    uint32_t id = 100;
    for (const Case& c : cases) {
        server.Script(16151, rows, c.form, c.ending);
        ASSERT_TRUE(client->Send(Request(++id, 16151)));
        Strings bodies;
        std::vector<int> flags;
        for (const RawPacket& packet : client->ReadAnswer()) {
            EXPECT_EQ(packet.id, id);
            std::string body = packet.body;
            std::replace(body.begin(), body.end(), '\x01', '|');
            bodies.push_back(body);
            flags.push_back(packet.packetFlags);
        }
        EXPECT_EQ(bodies, c.bodies);
        EXPECT_EQ(flags, c.packetFlags);
    }
}

// Unpacks a compressed answer the way the client does: collect segments until body flag
// bit 2, inflate at most 32768 bytes, split by the leading lengths.
struct Unpacked {
    std::vector<RawPacket> inner;
    std::vector<std::size_t> segmentsPerBatch;
    std::size_t largestCollection = 0;
    int lastFlagsOnOuter = 0;
    bool ok = true;
};

Unpacked Unpack(RawClient& client) {
    Unpacked result;
    std::string collected;
    std::size_t segments = 0;
    for (;;) {
        auto packet = client.ReadPacket();
        if (!packet || !(packet->bodyFlags & 0x02)) {
            result.ok = false;
            return result;
        }
        collected += packet->body;
        ++segments;
        if (packet->packetFlags & 0x04) ++result.lastFlagsOnOuter;
        if (packet->bodyFlags & 0x04) {
            result.largestCollection = std::max(result.largestCollection, collected.size());
            result.segmentsPerBatch.push_back(segments);
            auto inflated = Inflate(collected, 32768);
            if (!inflated) {
                result.ok = false;
                return result;
            }
            std::size_t pos = 0;
            while (pos < inflated->size()) {
                const std::size_t length = static_cast<unsigned char>((*inflated)[pos]) |
                                           (static_cast<unsigned char>((*inflated)[pos + 1]) << 8);
                if (length < 14 || pos + length > inflated->size()) {
                    result.ok = false;
                    return result;
                }
                result.inner.push_back(testserver_test::ParseRaw(inflated->substr(pos, length)));
                pos += length;
            }
            collected.clear();
            segments = 0;
            if (packet->packetFlags & 0x04) return result;
        }
    }
}

TEST_F(TestServerTest, LargeCompressedAnswerComesInBatchesOfSegments) {
    // Values that deflate poorly, so that one batch needs several segments.
    std::vector<Row> rows;
    uint32_t seed = 12345;
    for (int i = 0; i < 2000; ++i) {
        std::string value;
        for (int j = 0; j < 40; ++j) {
            seed = seed * 1103515245u + 12345u;
            value += static_cast<char>('A' + (seed >> 16) % 26);
        }
        rows.push_back({{507, "0"}, {1, std::to_string(i)}, {2, value}});
    }
    for (AnswerForm form : {AnswerForm::Compressed, AnswerForm::CompressedTable}) {
        server.Script(16151, rows, form, Ending::EmptyTerminator);
        auto client = Connect();
        ASSERT_TRUE(client->Send(Request(77, 16151)));
        const Unpacked unpacked = Unpack(*client);
        ASSERT_TRUE(unpacked.ok);
        EXPECT_GT(unpacked.segmentsPerBatch.size(), 1u);
        EXPECT_GT(unpacked.segmentsPerBatch.front(), 1u);
        EXPECT_LE(unpacked.largestCollection, 32814u);
        EXPECT_EQ(unpacked.lastFlagsOnOuter, 1);
        ASSERT_EQ(unpacked.inner.size(), rows.size() + 1);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const RawPacket& packet = unpacked.inner[i];
            EXPECT_EQ(packet.id, 77u);
            EXPECT_EQ(packet.packetFlags, 0x01);
            const std::string expected =
                form == AnswerForm::Compressed || i == 0
                    ? "507=0\x01"
                      "1=" +
                          std::to_string(i) +
                          "\x01"
                          "2=" +
                          rows[i][2].value + "\x01"
                    : "0\x01" + std::to_string(i) + "\x01" + rows[i][2].value + "\x01";
            ASSERT_EQ(packet.body, expected) << i;
            EXPECT_EQ(packet.bodyFlags, form == AnswerForm::CompressedTable && i == 0 ? 0x08 : 0);
        }
        EXPECT_EQ(unpacked.inner.back().packetFlags, 0x0D);
        EXPECT_EQ(unpacked.inner.back().length, 14);
    }
}

TEST_F(TestServerTest, SubscribePushCancelAndUnsubscribe) {
    auto client = Connect();
    auto other = Connect();
    ASSERT_TRUE(server.WaitForConnections(2, 5s));  // connect() can return before accept()
    ASSERT_TRUE(client->Send(Request(5, 16403, "220=range(605:K1)\x01", 2)));
    auto answer = client->ReadAnswer();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0].kind, 2);
    EXPECT_EQ(Items(answer[0].body), (Strings{"507=0", "508=", "384=16403", "246=1"}));
    EXPECT_EQ(server.SubscriptionCount("16403"), 1u);

    EXPECT_EQ(server.Push("16403", {{605, "K1"}, {528, "3"}}), 1u);
    auto push = client->ReadPacket();
    ASSERT_TRUE(push);
    EXPECT_EQ(push->kind, 3);
    EXPECT_EQ(push->packetFlags, 0);
    EXPECT_EQ(push->bodyFlags, 0);
    EXPECT_EQ(Items(push->body), (Strings{"35=16403", "384=16403", "605=K1", "528=3"}));

    EXPECT_EQ(server.Push("16403", {{605, "K1"}}, true), 1u);
    push = client->ReadPacket();
    ASSERT_TRUE(push);
    EXPECT_EQ(push->bodyFlags, 0x02);
    EXPECT_EQ(Inflate(push->body, 4082),
              "35=16403\x01"
              "384=16403\x01"
              "605=K1\x01");

    // A quote push without topic, and a topic nobody holds, go to one connection.
    ASSERT_TRUE(server.PushTo(1, "", {{719, "cu2501"}}));
    push = other->ReadPacket();
    ASSERT_TRUE(push);
    EXPECT_EQ(Items(push->body), (Strings{"719=cu2501"}));

    EXPECT_EQ(server.CancelSubscription("16403"), 1u);
    auto notice = client->ReadPacket();
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->kind, 3);
    EXPECT_EQ(notice->packetFlags, 0x02);
    EXPECT_EQ(Items(notice->body), (Strings{"35=14", "384=16403"}));
    EXPECT_EQ(server.SubscriptionCount("16403"), 0u);
    EXPECT_EQ(server.Push("16403", {{605, "K1"}}), 0u);

    ASSERT_TRUE(client->Send(Request(6, 16403, "220=range(605:K1)\x01", 2)));
    answer = client->ReadAnswer();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(Items(answer[0].body)[3], "246=2");
    EXPECT_EQ(server.SubscriptionCount("16403"), 1u);
    ASSERT_TRUE(client->Send(Request(7, 16403,
                                     "246=2\x01"
                                     "384=16403\x01",
                                     9)));
    answer = client->ReadAnswer();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0].kind, 9);
    EXPECT_EQ(answer[0].id, 7u);
    EXPECT_EQ(server.SubscriptionCount("16403"), 0u);
}

TEST_F(TestServerTest, ScriptedSubscriptionWithoutTopicIsNotKept) {
    server.Script(16402, {{{507, "-1"}, {508, "拒绝"}}});
    auto client = Connect();
    ASSERT_TRUE(client->Send(Request(5, 16402, {}, 2)));
    ASSERT_EQ(client->ReadAnswer().size(), 1u);
    EXPECT_EQ(server.SubscriptionCount(""), 0u);
    EXPECT_EQ(server.SubscriptionCount("16402"), 0u);
}

TEST_F(TestServerTest, SubscriptionsEndWithTheirConnection) {
    {
        auto client = Connect();
        ASSERT_TRUE(client->Send(Request(1, 16405, {}, 2)));
        ASSERT_EQ(client->ReadAnswer().size(), 1u);
        EXPECT_EQ(server.SubscriptionCount("16405"), 1u);
    }
    EXPECT_TRUE(server.WaitForSubscriptions("16405", 0, 5s));
}

TEST_F(TestServerTest, ServerListAndKeepAlivesAreBuiltIn) {
    auto client = Connect();
    ASSERT_TRUE(client->Send(Request(1, 20, {}, 0, 0x02)));
    auto answer = client->ReadAnswer();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0].packetFlags, 0x0D);

    server.SetServerList({{"主站", 1}, {"backup", 2}});
    ASSERT_TRUE(client->Send(Request(2, 20, {}, 0, 0x02)));
    answer = client->ReadAnswer();
    ASSERT_EQ(answer.size(), 2u);
    EXPECT_EQ(Items(answer[0].body), (Strings{"204=\xD6\xF7\xD5\xBE", "391=1"}));
    EXPECT_EQ(Items(answer[1].body), (Strings{"204=backup", "391=2"}));

    ASSERT_TRUE(client->Send(Request(3, 16339,
                                     "605=K1\x01"
                                     "7153=1\x01")));
    answer = client->ReadAnswer();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(Items(answer[0].body), (Strings{"507=0", "508="}));

    ASSERT_TRUE(client->Send(Request(4, 55555)));
    answer = client->ReadAnswer();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(Items(answer[0].body)[0], "507=-1");
}

TEST_F(TestServerTest, HookComputesTheAnswerFromTheRequest) {
    server.SetHook(16151, [](const ReceivedRequest& request) {
        return Answer{{{{507, "0"}, {605, request.Get(605) + "!"}}}};
    });
    auto client = Connect();
    ASSERT_TRUE(client->Send(Request(1, 16151, "605=\xD6\xD0\x01")));
    const auto answer = client->ReadAnswer();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(Items(answer[0].body), (Strings{"507=0", "605=\xD6\xD0!"}));

    server.SetHook(16152, [](const ReceivedRequest&) -> Answer { throw std::runtime_error("no"); });
    ASSERT_TRUE(client->Send(Request(2, 16152)));
    const auto failed = client->ReadAnswer();
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(Items(failed[0].body).at(0), "507=-1");
}

TEST_F(TestServerTest, AuthenticationSwitchRefusesAllButTheServerList) {
    EXPECT_FALSE(server.AuthenticationRequired());
    server.Script(16151, {{{507, "0"}}});
    server.SetAuthenticationRequired(true);
    auto client = Connect();
    ASSERT_TRUE(client->Send(Request(1, 16151)));
    auto answer = client->ReadAnswer();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(Items(answer[0].body)[0], "507=-1");
    ASSERT_TRUE(client->Send(Request(2, 20)));
    answer = client->ReadAnswer();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0].packetFlags, 0x0D);
}

TEST_F(TestServerTest, BrokenRequestLengthDropsTheConnection) {
    for (uint16_t length : {0, 13, 4097}) {
        auto client = Connect();
        std::string bytes = Frame(1, 0, 0, "");
        bytes[0] = static_cast<char>(length & 0xFF);
        bytes[1] = static_cast<char>(length >> 8);
        ASSERT_TRUE(client->Send(bytes));
        EXPECT_TRUE(client->SeesClosed()) << length;
    }
    // An empty body is a packet: recorded and answered.
    auto client = Connect();
    ASSERT_TRUE(client->Send(Frame(9, 0, 0, "")));
    const auto answer = client->ReadAnswer();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0].id, 9u);
}

// Each fault as the raw client sees it; the request answered afterwards (function 16152)
// shows the connection is still served where it should be.
TEST_F(TestServerTest, EachFaultIsSeenOnTheWire) {
    server.Script(16151, {{{507, "0"}, {605, "K1"}}});
    server.Script(16152, {{{507, "0"}}});
    struct Case {
        const char* name;
        Fault fault;
        std::function<void(RawClient&)> check;
        bool servedAfter;
    };
    auto exactHeader = [](uint16_t length) {
        return [length](RawClient& client) {
            auto bytes = client.ReadExact(14);
            ASSERT_TRUE(bytes);
            std::string expected("\x00\x00\x01\x00\x00\x00\x00\x00\x05\x00\x00\x00\x00\x00", 14);
            expected[0] = static_cast<char>(length & 0xFF);
            expected[1] = static_cast<char>(length >> 8);
            EXPECT_EQ(*bytes, expected);
        };
    };
    auto lastSegment = [](RawClient& client) {
        auto packet = client.ReadPacket();
        EXPECT_TRUE(packet && packet->bodyFlags == 0x06 && packet->packetFlags == 0x05);
        return packet ? packet->body : std::string();
    };
    const Case cases[] = {
        {"close",
         {FaultKind::Close},
         [](RawClient& c) {
             EXPECT_TRUE(c.SeesClosed());
             EXPECT_EQ(c.lastError(), 0);
         },
         false},
        {"reset",
         {FaultKind::Reset},
         [](RawClient& c) {
             EXPECT_TRUE(c.SeesClosed());
             EXPECT_EQ(c.lastError(), ECONNRESET);
         },
         false},
        {"silence", {FaultKind::Silence}, [](RawClient&) {}, true},
        {"length 0", {FaultKind::BadHeaderLength, 0}, exactHeader(0), true},
        {"length 13", {FaultKind::BadHeaderLength, 13}, exactHeader(13), true},
        {"length 4097", {FaultKind::BadHeaderLength, 4097}, exactHeader(4097), true},
        {"bad zlib",
         {FaultKind::BadZlib},
         [&](RawClient& c) { EXPECT_FALSE(Inflate(lastSegment(c), 32768)); },
         true},
        {"oversized inflate",
         {FaultKind::OversizedInflate},
         [&](RawClient& c) {
             const std::string body = lastSegment(c);
             EXPECT_FALSE(Inflate(body, 32768));
             EXPECT_EQ(Inflate(body, 65536).value_or("").size(), 32769u);
         },
         true},
        {"inner length below 14",
         {FaultKind::ShortInnerLength},
         [&](RawClient& c) {
             const auto inflated = Inflate(lastSegment(c), 32768);
             ASSERT_TRUE(inflated);
             ASSERT_EQ(inflated->size(), 27u + 14u);
             const auto good = testserver_test::ParseRaw(inflated->substr(0, 27));
             EXPECT_EQ(good.body,
                       "507=0\x01"
                       "605=K1\x01");
             EXPECT_EQ(good.packetFlags, 0x01);
             EXPECT_EQ((*inflated)[27], 10);
             EXPECT_EQ((*inflated)[28], 0);
         },
         true},
        {"stray packet id",
         {FaultKind::StrayPacketId},
         [](RawClient& c) {
             auto stray = c.ReadPacket();
             ASSERT_TRUE(stray);
             EXPECT_EQ(stray->id, 0x80000001u);
             auto real = c.ReadAnswer();
             ASSERT_EQ(real.size(), 1u);
             EXPECT_EQ(real[0].id, 1u);
         },
         true},
        {"stray topic",
         {FaultKind::StrayTopic, 0, "nobody"},
         [](RawClient& c) {
             auto push = c.ReadPacket();
             ASSERT_TRUE(push);
             EXPECT_EQ(push->kind, 3);
             EXPECT_EQ(Items(push->body), (Strings{"35=16151", "384=nobody"}));
             EXPECT_EQ(c.ReadAnswer().size(), 1u);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool perFunction : {true, false}) {
            if (perFunction)
                server.InjectFault(16151, c.fault);
            else
                server.InjectNextAnswer(c.fault);
            auto client = Connect();
            ASSERT_TRUE(client->Send(Request(1, 16151)));
            if (c.fault.kind == FaultKind::Silence) {
                ASSERT_TRUE(client->Send(Request(2, 16152)));
                EXPECT_EQ(client->ReadAnswer().at(0).id, 2u);
            }
            c.check(*client);
            server.ClearFault(16151);
            if (c.servedAfter) {
                ASSERT_TRUE(client->Send(Request(3, 16152)));
                EXPECT_EQ(client->ReadAnswer().at(0).id, 3u);
            }
        }
    }
}

TEST_F(TestServerTest, NextAnswerFaultIsUsedOnce) {
    server.Script(16151, {{{507, "0"}}});
    server.InjectNextAnswer({FaultKind::Silence});
    auto client = Connect();
    ASSERT_TRUE(client->Send(Request(1, 16151)));
    ASSERT_TRUE(client->Send(Request(2, 16151)));
    EXPECT_EQ(client->ReadAnswer().at(0).id, 2u);
}

TEST_F(TestServerTest, ServerThatStopsReadingFillsTheClientsSendBuffer) {
    server.InjectFault(16151, {FaultKind::StopReading});
    auto client = Connect();
    ASSERT_TRUE(client->Send(Request(1, 16151)));
    ASSERT_EQ(client->ReadAnswer().size(), 1u);
    // Without a reader on the other side, a non-blocking writer soon finds no room.
    fcntl(client->fd(), F_SETFL, fcntl(client->fd(), F_GETFL) | O_NONBLOCK);
    const std::string chunk = Request(2, 16151, std::string(4000, 'x'));
    bool full = false;
    for (int i = 0; i < 100000 && !full; ++i) {
        const ssize_t sent = send(client->fd(), chunk.data(), chunk.size(), MSG_NOSIGNAL);
        full = sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    EXPECT_TRUE(full);
    ASSERT_TRUE(server.WaitForRequests(1, 5s));
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(TestServerStopTest, StopWithConnectedClientsEndsEveryConnection) {
    TestServer server;
    ASSERT_TRUE(server.Start());
    server.InjectFault(16151, {FaultKind::StopReading});
    RawClient idle(server.Port());
    RawClient halfway(server.Port());
    RawClient stalled(server.Port());
    ASSERT_TRUE(server.WaitForConnections(3, 5s));
    ASSERT_TRUE(halfway.Send(Frame(1, 0, 0, "35=1\x01").substr(0, 7)));
    ASSERT_TRUE(stalled.Send(Request(1, 16151)));
    ASSERT_EQ(stalled.ReadAnswer().size(), 1u);
    ASSERT_TRUE(server.Stop(5s));
    for (RawClient* client : {&idle, &halfway, &stalled}) EXPECT_TRUE(client->SeesClosed());
    EXPECT_EQ(server.ConnectionCount(), 0u);
    // Stopped for good: a new connection is refused.
    RawClient late(server.Port());
    EXPECT_FALSE(late.connected());
}

TEST(TestServerStopTest, StopEndsAPushBlockedOnAClientThatDoesNotRead) {
    TestServer server;
    ASSERT_TRUE(server.Start());
    RawClient client(server.Port());
    ASSERT_TRUE(client.Send(Request(1, 16403, {}, 2)));
    ASSERT_EQ(client.ReadAnswer().size(), 1u);
    // The client reads nothing more; the pusher fills the socket buffers and then blocks
    // until Stop shuts the connection down.
    int pushed = 0;
    std::mutex mutex;
    std::condition_variable enough;
    std::thread pusher([&] {
        const Row row{{1, std::string(4000, 'p')}};
        while (server.Push("16403", row) == 1) {
            std::lock_guard lock(mutex);
            ++pushed;
            enough.notify_all();
        }
    });
    {
        std::unique_lock lock(mutex);
        // Whether the pusher is already blocked or not, Stop must end it.
        enough.wait_for(lock, 5s, [&] { return pushed >= 5; });
    }
    EXPECT_TRUE(server.Stop(5s));
    pusher.join();
}

TEST(TestServerStopTest, StartFailsOnABadAddress) {
    TestServer::Options options;
    options.address = "not-an-address";
    TestServer server(options);
    EXPECT_FALSE(server.Start());
    EXPECT_FALSE(server.ErrorText().empty());
}

}  // namespace
}  // namespace testserver
