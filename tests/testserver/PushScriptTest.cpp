// The notice topics' rows pushed to their subscribers (texts travel as GBK: ASCII here), and
// pushes written on the command line.
#include "testserver/PushScript.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RawClient.h"
#include "testserver/TestServer.h"

namespace testserver {
namespace {

using namespace std::chrono_literals;
using testserver_test::Items;
using testserver_test::RawClient;
using testserver_test::Request;
using Strings = std::vector<std::string>;

TEST(ScriptedPushTest, ParsesTopicCustomerAndItems) {
    struct Case {
        const char* text;
        bool ok;
        int32_t topic;
        const char* khh;
        Row row;
    } cases[] = {
        {"16405:1777=今晚维护", true, 16405, "", {{1777, "今晚维护"}}},
        {"16406@0001:1332=14;605=0001;1777=a=b",
         true,
         16406,
         "0001",
         {{1332, "14"}, {605, "0001"}, {1777, "a=b"}}},
        {"17001100:;5001=1;", true, 17001100, "", {{5001, "1"}}},
        {"16405:", true, 16405, "", {}},
        {"16405", false, 0, "", {}},
        {"x:1=2", false, 0, "", {}},
        {"0:1=2", false, 0, "", {}},
        {"16405:1777", false, 0, "", {}},
        {"16405:-3=a", false, 0, "", {}},
        {"16405:abc=a", false, 0, "", {}},
    };
    for (const Case& c : cases) {
        ScriptedPush push;
        std::string error;
        ASSERT_EQ(ParseScriptedPush(c.text, &push, &error), c.ok) << c.text;
        if (!c.ok) {
            EXPECT_FALSE(error.empty()) << c.text;
            continue;
        }
        EXPECT_EQ(push.topic, c.topic) << c.text;
        EXPECT_EQ(push.khh, c.khh) << c.text;
        EXPECT_EQ(push.row, c.row) << c.text;
    }
}

TEST(PushScriptTest, NoticesReachTheirSubscribers) {
    TestServer server;
    ASSERT_TRUE(server.Start()) << server.ErrorText();
    RawClient client(server.Port());
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(client.Send(Request(1, 16405, "", 2)));
    ASSERT_EQ(client.ReadAnswer().size(), 1u);
    ASSERT_TRUE(client.Send(Request(2, 16406, "220=range(605:K1)\x01", 2)));
    ASSERT_EQ(client.ReadAnswer().size(), 1u);
    ASSERT_TRUE(client.Send(Request(3, 17001100, "220=range(605:K1)\x01", 2)));
    ASSERT_EQ(client.ReadAnswer().size(), 1u);

    EXPECT_EQ(PushSystemNotice(server, "maintenance"), 1u);
    auto push = client.ReadPacket();
    ASSERT_TRUE(push);
    EXPECT_EQ(Items(push->body), (Strings{"35=16405", "384=16405", "1777=maintenance"}));

    // Another customer's notice reaches nobody.
    EXPECT_EQ(
        PushCustomerNotice(
            server,
            {.khh = "K2", .kind = 14, .serial = 0, .text = "x", .time = {}, .reverifyMode = {}}),
        0u);
    EXPECT_EQ(PushCustomerNotice(server, {.khh = "K1",
                                          .kind = 15,
                                          .serial = 7,
                                          .text = "10.0.0.9",
                                          .time = "2026.12.11 09:30:05",
                                          .reverifyMode = "1"}),
              1u);
    push = client.ReadPacket();
    ASSERT_TRUE(push);
    EXPECT_EQ(Items(push->body), (Strings{"35=16406", "384=16406", "1332=15", "797=7", "605=K1",
                                          "1777=10.0.0.9", "1219=2026.12.11 09:30:05", "7153=1"}));

    EXPECT_EQ(PushOptionResult(server, {.khh = "K1",
                                        .instruction = 1,
                                        .action = 2,
                                        .setting = 3,
                                        .result = -1,
                                        .error = "no position"}),
              1u);
    push = client.ReadPacket();
    ASSERT_TRUE(push);
    EXPECT_EQ(Items(push->body), (Strings{"35=17001100", "384=17001100", "605=K1", "5001=1",
                                          "5002=2", "5003=3", "1029=-1", "1030=no position"}));
}

}  // namespace
}  // namespace testserver
