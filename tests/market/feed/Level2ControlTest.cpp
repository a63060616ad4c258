// The level-2 control connection against the test server's level-2 simulator: every login
// answer form and mode, quotes arriving by the channel granted, records split and merged on
// the TCP stream, garbage, a dropped connection, the back-off for a dead server, the
// subscription list and a failed subscription that is sent again.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "tests/comm/LinkTestSupport.h"
#include "tests/market/feed/Level2Fixture.h"

namespace market::feed::testing {
namespace {

using testserver::Level2LoginForm;

std::string Snapshot(int64_t last) { return TickSnapshot("cu2501", last); }

class Level2ControlTest : public Level2Test {
protected:
    // Publishes until the row shows the price (a UDP datagram is sent once; loopback keeps it).
    bool Delivered(testserver::Level2Server& server, int64_t last) {
        if (server.Publish("cu2501", {Snapshot(last)}) == 0) return false;
        return thread.WaitFor([&] { return D("cu2501", 729) == 10.0 * static_cast<double>(last); });
    }
    // A server granting record mode 5 (quotes by UDP on its port), started and logged in to;
    // null when it could not start.
    std::unique_ptr<testserver::Level2Server> ConnectToPortServer() {
        testserver::Level2Options options;
        options.mode = 5;
        options.quotePort = FreePort();
        auto server = std::make_unique<testserver::Level2Server>(options);
        if (!server->Start()) return nullptr;
        UseServer(*server);
        control.ConnectLevel2Server();
        return server;
    }
};

TEST_F(Level2ControlTest, EveryLoginAnswerGrantsItsChannel) {
    struct Case {
        const char* name;
        Level2LoginForm form;
        int32_t mode;
        uint32_t quoteState;  // QuoteSourceState bits set
        uint32_t frameBits;   // frame bits 0x8 and 0x800 afterwards
        bool quoteSocket;     // the level-2 quote socket is open
        bool tcp;
    };
    const Case cases[] = {
        {"record 1: on the control connection", Level2LoginForm::Record, 1, 0x84, 0x808, false,
         true},
        {"record 4: broadcast on our port", Level2LoginForm::Record, 4, 0x14, 0x808, true, false},
        {"record 5: the server's port", Level2LoginForm::Record, 5, 0x24, 0x800, true, false},
        {"text 1: as record 4", Level2LoginForm::Text, 1, 0x14, 0x808, true, false},
        {"text 2: as record 5", Level2LoginForm::Text, 2, 0x24, 0x800, true, false},
        {"record 2: no channel", Level2LoginForm::Record, 2, 0, 0, false, false},
        {"record 3: no channel", Level2LoginForm::Record, 3, 0, 0, false, false},
        {"text 4: no channel", Level2LoginForm::Text, 4, 0, 0, false, false},
    };
    // Two codes, so the 4014 line shows the list's separators turned into "|".
    Watch("SR501");
    int64_t last = 7001;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testserver::Level2Options options;
        options.form = c.form;
        options.mode = c.mode;
        options.quotePort = FreePort();
        testserver::Level2Server server(options);
        ASSERT_TRUE(server.Start()) << server.ErrorText();
        UseServer(server, FreePort());
        frameState = 0;
        shell::ClearQuoteSourceState(0x7fff);
        CLevel2Control fresh(frameState, receiver, ControlHooks());

        fresh.ConnectLevel2Server();
        EXPECT_EQ(shell::GetQuoteSourceState() & 0xff, c.quoteState);
        EXPECT_EQ(frameState.load() & 0x808, c.frameBits);
        EXPECT_EQ(receiver.IsOpen(QuoteSocketSlot::kLevel2Quote), c.quoteSocket);
        EXPECT_TRUE(receiver.IsOpen(QuoteSocketSlot::kControl));
        EXPECT_EQ(receiver.ControlCarriesQuotes(), c.tcp);
        EXPECT_TRUE(Logged(c.form == Level2LoginForm::Record ? "LOGIN Type=A,len=68,m_cKHH=10086001"
                                                             : "4001|10086001|"));
        // The password goes out scrambled.
        const auto commands = server.Commands();
        ASSERT_FALSE(commands.empty());
        EXPECT_EQ(commands[0].rfind("4001|10086001|", 0), 0u);
        EXPECT_EQ(commands[0].find("123456"), std::string::npos);

        ASSERT_TRUE(fresh.SubscribeQuotes());
        EXPECT_EQ(fresh.LastSubscription(), "719:SR501;cu2501");
        if (c.quoteState != 0) {
            ASSERT_TRUE(server.WaitForSubscribed("cu2501", std::chrono::seconds(10)));
            // The channel named is the one granted.
            const auto sent = server.Commands();
            EXPECT_NE(std::find(sent.begin(), sent.end(),
                                c.tcp ? "4014|tcp|SR501|cu2501" : "4014|udp|SR501|cu2501"),
                      sent.end());
            EXPECT_TRUE(Delivered(server, ++last));
        }
        receiver.CloseAll();
        server.Stop();
    }
}

TEST_F(Level2ControlTest, TcpStreamSurvivesSplitMergedAndEndsOnGarbage) {
    testserver::Level2Options options;  // record mode 1
    testserver::Level2Server server(options);
    ASSERT_TRUE(server.Start());
    UseServer(server);
    control.ConnectLevel2Server();
    ASSERT_TRUE(control.SubscribeQuotes());
    ASSERT_TRUE(server.WaitForSubscribed("cu2501", std::chrono::seconds(10)));
    // The answers came through the quote thread's reassembly, never the worker's reads.
    ASSERT_TRUE(thread.WaitFor([&] { return Logged("SUBSCRIBE Type=A,len=112"); }));
    EXPECT_TRUE(Logged("4011|0|tcp"));

    server.InjectFault(testserver::Level2Fault::SplitRecord);
    EXPECT_TRUE(Delivered(server, 7100));
    server.InjectFault(testserver::Level2Fault::MergeRecords);
    ASSERT_EQ(server.Publish("cu2501", {Snapshot(7200), Snapshot(7300)}), 1u);
    EXPECT_TRUE(thread.WaitFor([&] { return D("cu2501", 729) == 73000.0; }));
    EXPECT_EQ(processor.Counters().malformed.load(), 0u);

    server.InjectFault(testserver::Level2Fault::Garbage);
    server.Publish("cu2501", {Snapshot(7400)});
    EXPECT_TRUE(thread.WaitFor([&] { return !receiver.IsOpen(QuoteSocketSlot::kControl); }));
    EXPECT_TRUE(Logged("bytes of no known frame"));
    EXPECT_EQ(D("cu2501", 729), 73000.0);

    // Level 2 stays active: the connection is made again once the back-off has passed.
    EXPECT_FALSE(control.ReconnectDue());
    nowMs += kFirstBackoffMs;
    ASSERT_TRUE(control.ReconnectDue());
    control.ConnectLevel2Server();
    EXPECT_TRUE(receiver.ControlCarriesQuotes());
    EXPECT_TRUE(server.WaitForChannels(1, std::chrono::seconds(10)));
}

TEST_F(Level2ControlTest, DroppedConnectionIsNoticedAndMadeAgain) {
    const auto udp = ConnectToPortServer();
    ASSERT_TRUE(udp);
    testserver::Level2Server& server = *udp;
    ASSERT_TRUE(receiver.IsOpen(QuoteSocketSlot::kControl));
    EXPECT_EQ(server.DropControlConnections(), 1u);
    // Without the TCP mode only the close is watched, and the quote thread sees it.
    ASSERT_TRUE(thread.WaitFor([&] { return !receiver.IsOpen(QuoteSocketSlot::kControl); }));
    nowMs += kFirstBackoffMs;
    ASSERT_TRUE(control.ReconnectDue());
    control.ConnectLevel2Server();
    EXPECT_TRUE(receiver.IsOpen(QuoteSocketSlot::kControl));
    EXPECT_TRUE(server.WaitForChannels(1, std::chrono::seconds(10)));
}

TEST_F(Level2ControlTest, DeadServerIsTriedWithGrowingBackoff) {
    settings.address = "127.0.0.1";
    // Held by a socket that does not listen, so no other test can take it meanwhile.
    const linktest::RefusingPort refusing;
    settings.controlPort = refusing.port();
    frameState = kFrameLevel2Active;  // a connection that worked before
    const int64_t expected[] = {1000, 2000, 4000, 8000, 16000, 30000, 30000};
    for (const int64_t wait : expected) {
        ASSERT_TRUE(control.ReconnectDue());
        control.ConnectLevel2Server();
        EXPECT_TRUE(Logged("connectting to 127.0.0.1:"));
        nowMs += wait - 1;
        EXPECT_FALSE(control.ReconnectDue()) << wait;
        nowMs += 1;
    }
}

TEST_F(Level2ControlTest, NoConnectionWithoutAddressOrPort) {
    const Level2Settings cases[] = {
        {"", 9000, 20000}, {"127.0.0.1", 0, 20000}, {"not an address", 9000, 20000}};
    for (const Level2Settings& s : cases) {
        settings = s;
        frameState = kFrameLevel2Active;
        control.ConnectLevel2Server();
        EXPECT_EQ(frameState.load() & kFrameLevel2Active, 0u) << s.address << ":" << s.controlPort;
        EXPECT_FALSE(receiver.IsOpen(QuoteSocketSlot::kControl));
    }
    EXPECT_TRUE(Logged("Level2ControlAddr= Level2ControlPort=9000 Level2QuotePort=20000\r\n"));
}

TEST_F(Level2ControlTest, FailedSubscriptionIsKeptAndSentAgainAfterBackoff) {
    const auto udp = ConnectToPortServer();
    ASSERT_TRUE(udp);
    testserver::Level2Server& server = *udp;

    renewOk = false;
    EXPECT_FALSE(control.SubscribeQuotes());
    EXPECT_EQ(control.LastSubscription(), "");
    EXPECT_EQ(control.LastCodeList(), "cu2501");
    EXPECT_NE(frameState.load() & kFrameCodeListChanged, 0u);
    const auto sent = server.Commands().size();
    renewOk = true;
    EXPECT_FALSE(control.SubscribeQuotes());  // still backing off: nothing sent
    EXPECT_EQ(server.Commands().size(), sent);
    nowMs += kFirstBackoffMs;
    EXPECT_TRUE(control.SubscribeQuotes());
    EXPECT_EQ(control.LastSubscription(), "719:cu2501");
    EXPECT_EQ(renewals.back(), "range(cu2501)");

    // An unchanged text sends nothing; an emptied list cancels without subscribing.
    const auto before = server.Commands().size();
    EXPECT_TRUE(control.SubscribeQuotes());
    EXPECT_EQ(server.Commands().size(), before);
    tradedata::UpdateContractFlags(0xff00, 0, tradedata::FindContract("cu2501"));
    EXPECT_TRUE(control.SubscribeQuotes());
    const auto commands = server.Commands();
    ASSERT_EQ(commands.size(), before + 1);
    EXPECT_EQ(commands.back(), "4012|all");
    EXPECT_EQ(control.LastSubscription(), "");
}

TEST_F(Level2ControlTest, ListBuilderEdges) {
    struct Case {
        std::size_t listBytes;
        std::string code;
        bool appended;
        std::size_t after;
    };
    const Case cases[] = {
        {3060, "abcdefghijkl", false, 3060},
        {3058, "abcdefghijkl", true, 3071},
        {0, "", false, 0},
        {0, "cu2501", true, 6},
    };
    for (const Case& c : cases) {
        std::string list(c.listBytes, 'x');
        std::vector<std::string> lines;
        const bool appended =
            AppendSubscriptionCode(list, kSubscriptionCapacity, c.code,
                                   [&](std::string_view line) { lines.emplace_back(line); });
        EXPECT_EQ(appended, c.appended) << c.listBytes;
        EXPECT_EQ(list.size(), c.after) << c.listBytes;
        EXPECT_EQ(lines.size(), c.code.size() == 12 && !c.appended ? 1u : 0u);
        if (!lines.empty()) {
            EXPECT_EQ(lines[0], "Subscibe code too many!\n");
        }
    }
    std::string list = "cu2501;IF2501";
    for (const char* code : {"cu2501", "IF2501", "IF250"}) AppendSubscriptionCode(list, 64, code);
    EXPECT_EQ(list, "cu2501;IF2501;IF250");

    // Futures (in table order), combinations, options each with their underlying's traded
    // code, then windows.
    const tagFIXHEADERINFO layout[] = {
        {719, "ZQDM", "C32", 0}, {1566, "XQDM", "C32", 0}, {0, "", "", 0}};
    tradedata::UnderlyingTable.Create(layout);
    tradedata::testing::AddRow(tradedata::UnderlyingTable, {{719, "IDX300"}, {1566, "IF2501"}});
    tradedata::testing::AddRow(tradedata::OptionContractTable,
                               {{9100, "IO2501C4000"}, {719, "IDX300"}, {644, "256"}});
    tradedata::CombinationContractTable.Set(644, 0x200, 0);
    Watch("SR501");
    Watch("cu2501C70000");
    tradedata::SubscribeQuote("au2506", 7);
    tradedata::SubscribeQuote("cu2501", 8);
    EXPECT_EQ(BuildSubscriptionList(kSubscriptionCapacity),
              "SR501;cu2501;SP cu2501&cu2502;cu2501C70000;IO2501C4000;IF2501;au2506");
}

}  // namespace
}  // namespace market::feed::testing
