// The market's publishing through each quote source, read with plain sockets: FixApi quote
// pushes (tag=value and compact) to the subscribers of the codes, compact records on the UDP
// link, and the level-2 records of every update.
#include "testserver/MarketPublisher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>

#include "tests/testserver/QuoteSockets.h"
#include "tests/testserver/RawClient.h"
#include "testserver/Level2Server.h"
#include "testserver/QuoteRecords.h"
#include "testserver/TestServer.h"
#include "testserver/UdpQuoteServer.h"

namespace testserver {
namespace {

using namespace std::chrono_literals;
using testserver_test::DatagramSocket;
using testserver_test::Items;
using testserver_test::RawClient;
using testserver_test::Request;
using Strings = std::vector<std::string>;

class MarketPublisherTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fix.Start()) << fix.ErrorText(); }

    // A FixApi connection subscribed to the quote function for the codes.
    std::unique_ptr<RawClient> Subscriber(const std::string& codes) {
        auto client = std::make_unique<RawClient>(fix.Port());
        EXPECT_TRUE(client->Send(Request(1, 16404, "220=range(719:" + codes + ")\x01", 2)));
        EXPECT_EQ(client->ReadAnswer().size(), 1u);
        return client;
    }

    // Starts the UDP link's server and registers `link` as its client.
    void StartUdpLink() {
        ASSERT_TRUE(udp.Start()) << udp.ErrorText();
        ASSERT_TRUE(
            link.SendTo(udp.Port(), std::string("\x28\x00\x01\x00", 4) + std::string(36, '\0')));
        ASSERT_TRUE(link.Receive());  // the registration's answer
        ASSERT_EQ(udp.Clients().size(), 1u);
    }

    TestServer fix;
    UdpQuoteServer udp;
    DatagramSocket link;
};

TEST_F(MarketPublisherTest, PushesQuotesToTheSubscribersOfTheirCodes) {
    MarketPublisher publisher(SampleTradingDay(), {.seed = 9});
    publisher.SetFixServer(&fix);
    auto client = Subscriber("cu2701;al2701");
    ASSERT_TRUE(publisher.PublishNow("rb2701"));  // nobody holds it
    ASSERT_TRUE(publisher.PublishNow("cu2701"));
    EXPECT_FALSE(publisher.PublishNow("nosuch"));
    auto push = client->ReadPacket();
    ASSERT_TRUE(push);
    EXPECT_EQ(push->kind, 3);
    const Strings items = Items(push->body);
    ASSERT_GE(items.size(), 4u);
    EXPECT_EQ(Strings(items.begin(), items.begin() + 4),
              (Strings{"35=16404", "384=16404", "719=cu2701", "860=0"}));
    EXPECT_EQ(items.size(), 3u + 35u - 1u);  // head, topic, code and 34 quote tags
    EXPECT_EQ(items[7], "729=" + FieldOf(QuotePushRow(*publisher.Quote("cu2701")), 729));
}

// The compact pushes and the UDP link carry the same record of the update.
TEST_F(MarketPublisherTest, CompactPushesCarryTheRecordAsRawData) {
    ASSERT_NO_FATAL_FAILURE(StartUdpLink());
    MarketPublisher publisher(SampleTradingDay(), {.seed = 9}, {.compactPushes = true});
    publisher.SetFixServer(&fix);
    publisher.SetUdpServer(&udp);
    auto client = Subscriber("cu2701");
    ASSERT_TRUE(publisher.PublishNow("cu2701"));
    auto push = client->ReadPacket();
    ASSERT_TRUE(push);
    const std::string record = EncodeCompactRecord(*publisher.Quote("cu2701"));
    EXPECT_EQ(push->body,
              "35=16404\x01"
              "384=16404\x01"
              "95=" +
                  std::to_string(record.size()) +
                  "\x01"
                  "96=" +
                  record + "\x01");
    EXPECT_EQ(link.Receive(), UdpQuoteServer::DataMessage(record));
}

// The codes of a buffer of compact records, walked by their lengths.
Strings CompactCodes(const std::string& buffer) {
    Strings codes;
    std::size_t at = 0;
    while (at < buffer.size()) {
        std::size_t end = at;
        while (end < buffer.size() && static_cast<signed char>(buffer[end]) >= 20) ++end;
        if (end + 3 > buffer.size() || buffer[end] != 5) return codes;  // always control byte 5
        codes.push_back(buffer.substr(at, end - at));
        const std::size_t length =
            static_cast<uint8_t>(buffer[end + 1]) | static_cast<uint8_t>(buffer[end + 2]) << 8;
        if (length == 0) return codes;
        at += length;
    }
    return codes;
}

// Every update of a step goes out as one compact record, in data messages of at most 4096
// bytes, to the registered clients of the UDP link.
TEST_F(MarketPublisherTest, SendsCompactRecordsOnTheUdpLink) {
    ASSERT_NO_FATAL_FAILURE(StartUdpLink());

    // Enough updates to fill more than one datagram, few enough for the receive buffer.
    MarketPublisher publisher(GeneratedTradingDay(40, 0), {.rate = 10, .seed = 4});
    publisher.SetUdpServer(&udp);
    const std::size_t updates = publisher.Step(1000ms);
    ASSERT_EQ(updates, 400u);
    std::size_t records = 0;
    std::size_t datagrams = 0;
    while (records < updates) {
        const auto datagram = link.Receive();
        ASSERT_TRUE(datagram) << records << " of " << updates;
        ++datagrams;
        ASSERT_LE(datagram->size(), 4096u);
        const std::size_t length =
            static_cast<uint8_t>((*datagram)[0]) | static_cast<uint8_t>((*datagram)[1]) << 8;
        EXPECT_EQ(length, datagram->size());
        EXPECT_EQ((*datagram)[2], 1);
        EXPECT_EQ((*datagram)[3], 4);
        const Strings codes = CompactCodes(datagram->substr(4));
        ASSERT_FALSE(codes.empty());
        for (const std::string& code : codes) EXPECT_TRUE(publisher.Quote(code)) << code;
        records += codes.size();
    }
    EXPECT_EQ(records, updates);
    EXPECT_GT(datagrams, 1u);
}

// Each update sends the snapshot, order queue, book totals, trade statistics and settlement
// price records, and the level-1 record when asked, in that order.
TEST_F(MarketPublisherTest, SendsTheLevel2RecordsOfEachUpdate) {
    for (const bool level1 : {false, true}) {
        SCOPED_TRACE(level1);
        DatagramSocket quotes;
        Level2Server level2({.mode = 5, .quotePort = quotes.port()});
        ASSERT_TRUE(level2.Start()) << level2.ErrorText();
        RawClient control(level2.Port());
        ASSERT_TRUE(control.Send("4001|000123|x\r\n4014|udp|cu2701\r\n"));
        ASSERT_TRUE(control.ReadExact(kLevel2LoginAnswerSize + kLevel2SubscribeAnswerSize));

        MarketPublisher publisher(SampleTradingDay(), {.seed = 2},
                                  {.level1 = level1, .level1Long = true});
        publisher.SetLevel2Server(&level2);
        ASSERT_TRUE(publisher.PublishNow("cu2701"));
        const MarketQuote quote = *publisher.Quote("cu2701");
        std::vector<std::size_t> sizes{287, 152, 112, 208, 96};
        if (level1) sizes.push_back(272);
        for (std::size_t size : sizes) {
            const auto datagram = quotes.Receive();
            ASSERT_TRUE(datagram);
            EXPECT_EQ(datagram->size(), size);
        }
        // The published snapshot is the market's quote.
        publisher.PublishNow("cu2701");
        const auto snapshot = quotes.Receive();
        ASSERT_TRUE(snapshot);
        EXPECT_EQ(snapshot->substr(0, 287),
                  EncodeLevel2Snapshot(quote, UpdateTimeOf(Market(SampleTradingDay()), quote)));
    }
}

// Started, the publisher steps on the clock until stopped; a subscriber sees the pushes.
TEST_F(MarketPublisherTest, RunsOnTheClockUntilStopped) {
    MarketPublisher publisher(SampleTradingDay(), {.rate = 20, .seed = 1}, {.interval = 10ms});
    publisher.SetFixServer(&fix);
    auto client = Subscriber("cu2701");
    publisher.Start();
    auto push = client->ReadPacket();  // bounded by the client's read limit
    publisher.Stop();
    ASSERT_TRUE(push);
    EXPECT_EQ(Items(push->body)[2], "719=cu2701");
    publisher.Stop();  // twice is harmless
}

}  // namespace
}  // namespace testserver
