// Server list entries: address parsing, normalising, lookup, and the choice of the start server.
#include "comm/ServerEntry.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "comm/ConnectProcedure.h"

namespace {

using namespace NoltComm;

TEST(ServerEntryTest, ParseServerAddress) {
    struct Case {
        const char* text;
        bool ok;
        const char* address;
        int32_t port;
        const char* protocol;
    } cases[] = {
        {"10.0.0.1@8000/tcp", true, "10.0.0.1", 8000, "tcp"},
        {"10.0.0.2,8001/TCP", true, "10.0.0.2", 8001, "tcp"},
        {"trade.example@17993/UDP", true, "TRADE.EXAMPLE", 17993, "udp"},
        // The last '@' separates; the protocol is everything after the first '/'.
        {"a@b@80/tcp/x", true, "A@B", 80, "tcp/x"},
        // '@' wins over a later ','.
        {"h@1,2/tcp", true, "H", 1, "tcp"},
        {"h@99999999999/tcp", true, "H", 2147483647, "tcp"},  // saturates
        {"10.0.0.1@8000", false, "", 0, ""},                  // no protocol
        {"10.0.0.1/tcp", false, "", 0, ""},                   // no port separator
        {"", false, "", 0, ""},
    };
    for (const Case& c : cases) {
        std::string address = "", protocol = "";
        int32_t port = 0;
        EXPECT_EQ(ParseServerAddress(c.text, &address, &port, &protocol), c.ok) << c.text;
        EXPECT_EQ(address, c.address) << c.text;
        EXPECT_EQ(port, c.port) << c.text;
        EXPECT_EQ(protocol, c.protocol) << c.text;
    }
    // Only the first 255 bytes are read: a '/' beyond them does not count.
    std::string address, protocol;
    int32_t port = 0;
    EXPECT_FALSE(
        ParseServerAddress("h@1" + std::string(260, ' ') + "/tcp", &address, &port, &protocol));
    EXPECT_TRUE(
        ParseServerAddress("h@1" + std::string(240, ' ') + "/tcp", &address, &port, &protocol));
}

TEST(ServerEntryTest, NormalizeServerEntry) {
    const struct {
        const char* entry;
        const char* normalized;
    } cases[] = {
        {"name,10.0.0.1@8000/tcp;10.0.0.2,8001/TCP", "name,10.0.0.1@8000/tcp;10.0.0.2@8001/tcp"},
        {"主站,10.0.0.1@8000/tcp;10.0.0.3@8002;h:1/tcp", "主站,10.0.0.1@8000/tcp"},
        {"name,bad;10.0.0.9@9/udp", "name,10.0.0.9@9/udp"},
        {"name,10.0.0.1@8000", ""},  // the only address has no '/'
        {",10.0.0.1@8000/tcp", ""},  // no name
        {"name", ""},                // no addresses
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(NormalizeServerEntry(c.entry), c.normalized) << c.entry;
}

TEST(ServerEntryTest, FindAndGetServerEntry) {
    const std::vector<std::string> list = {"主站,1.1.1.1@1/tcp;2.2.2.2@2/tcp", "备站,3.3.3.3@3/tcp",
                                           "无地址"};
    EXPECT_EQ(FindServerEntry(list, "主站"), 0);
    EXPECT_EQ(FindServerEntry(list, "2.2.2.2@2/tcp"), 0);
    EXPECT_EQ(FindServerEntry(list, "3.3.3.3@3/tcp"), 1);
    EXPECT_EQ(FindServerEntry(list, "无地址"), 2);
    EXPECT_EQ(FindServerEntry(list, "1.1.1.1@1/tcp;2.2.2.2@2/tcp"), -1);  // parts, not the whole
    EXPECT_EQ(FindServerEntry(list, "3.3.3.3@3/TCP"), -1);                // case counts
    EXPECT_EQ(FindServerEntry({}, "x"), -1);

    std::string name = "keep", addresses = "keep";
    EXPECT_FALSE(GetServerEntry(list, 3, &name, &addresses));
    EXPECT_FALSE(GetServerEntry(list, -1, &name, &addresses));
    EXPECT_EQ(name, "keep");
    EXPECT_TRUE(GetServerEntry(list, 0, &name, &addresses));
    EXPECT_EQ(name, "主站");
    EXPECT_EQ(addresses, "1.1.1.1@1/tcp;2.2.2.2@2/tcp");
    EXPECT_TRUE(GetServerEntry(list, 2, &name, &addresses));
    EXPECT_EQ(name, "无地址");
    EXPECT_EQ(addresses, "");
}

TEST(ServerEntryTest, StartIndex) {
    const struct {
        const char* list;
        const char* current;
        uint32_t draw;
        int start;
    } cases[] = {
        {"a,1/tcp", "b,2/tcp", 7, 0},                  // one item never draws
        {"a,1/tcp;b,2/tcp;c,3/tcp", "c,3/tcp", 7, 2},  // the current one first
        {"a;b;c;d;e", "x", 13, 3},                     // not listed: the draw over five
        {"a;b;c;d;e", "", 4, 4},
        {"", "", 5, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseStartIndex(c.list, c.current, c.draw), c.start) << c.list;

    // Drawn starts spread over the servers.
    std::set<int> starts;
    for (int i = 0; i < 64; ++i) starts.insert(ChooseStartIndex("a;b;c;d;e", "x", DrawRandom()));
    EXPECT_GT(starts.size(), 1u);
    for (int start : starts) EXPECT_TRUE(start >= 0 && start < 5);
}

}  // namespace
