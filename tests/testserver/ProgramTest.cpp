// The testserver program: prints its port, serves on it, and stops cleanly on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "RawClient.h"

extern char** environ;

namespace {

using testserver_test::Items;
using testserver_test::RawClient;
using testserver_test::Request;

struct Program {
    pid_t pid = -1;
    std::FILE* out = nullptr;

    explicit Program(std::vector<std::string> args) {
        int fds[2];
        if (pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        args.insert(args.begin(), TESTSERVER_PROGRAM);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid, TESTSERVER_PROGRAM, &actions, nullptr, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        out = fdopen(fds[0], "r");
    }
    ~Program() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (out) std::fclose(out);
    }
    std::string Line() {
        char line[256];
        return std::fgets(line, sizeof line, out) ? std::string(line) : std::string();
    }
    int Wait() {
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST(ProgramTest, PrintsItsPortServesAndStopsOnSigterm) {
    Program program({"--port", "0"});
    ASSERT_GT(program.pid, 0);
    const std::string line = program.Line();
    const std::string prefix = "testserver listening on 127.0.0.1:";
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    const int port = std::stoi(line.substr(prefix.size()));
    ASSERT_GT(port, 0);
    // The day's first account, as a person types it (the client pads the zeros).
    EXPECT_EQ(program.Line(), "demo account 10086001, password 123456\n");

    RawClient client(static_cast<uint16_t>(port));
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(client.Send(Request(1, 10, {}, 0, 0x02)));
    const auto answer = client.ReadAnswer();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(Items(answer[0].body)[0], "507=0");

    ASSERT_EQ(kill(program.pid, SIGTERM), 0);
    EXPECT_EQ(program.Line(), "testserver stopped\n");
    EXPECT_EQ(program.Wait(), 0);
    EXPECT_TRUE(client.SeesClosed());
}

TEST(ProgramTest, TradingDaySwitchServesTheBuiltInDay) {
    Program program({"--trading-day"});
    ASSERT_GT(program.pid, 0);
    const std::string line = program.Line();
    const std::string prefix = "testserver listening on 127.0.0.1:";
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    RawClient client(static_cast<uint16_t>(std::stoi(line.substr(prefix.size()))));
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(client.Send(Request(1, 16106, "605=000010086002\x01")));
    const auto answer = client.ReadAnswer();
    ASSERT_EQ(answer.size(), 2u);
    EXPECT_EQ(Items(answer[1].body)[2], "1716=01005678");
    ASSERT_TRUE(client.Send(Request(2, 16106, "605=123\x01")));
    EXPECT_EQ(Items(client.ReadAnswer().at(0).body)[0], "507=-1");
    ASSERT_EQ(kill(program.pid, SIGTERM), 0);
    EXPECT_EQ(program.Wait(), 0);
}

// With the market on, its sources print their ports; the level-2 server streams the records
// of a subscribed contract on its control connection.
TEST(ProgramTest, MarketOptionsStartTheMarketAndItsSources) {
    Program program({"--market-rate", "50", "--market-seed", "7", "--level2-port", "0"});
    ASSERT_GT(program.pid, 0);
    ASSERT_EQ(program.Line().rfind("testserver listening on 127.0.0.1:", 0), 0u);
    const std::string level2 = program.Line();
    const std::string prefix = "level-2 server listening on 127.0.0.1:";
    ASSERT_EQ(level2.rfind(prefix, 0), 0u) << level2;
    EXPECT_EQ(program.Line().rfind("UDP quote link on 127.0.0.1:", 0), 0u);
    EXPECT_EQ(program.Line(), "market of 31 contracts, 50 updates per second each, seed 7\n");
    EXPECT_EQ(program.Line(), "demo account 10086001, password 123456\n");

    RawClient client(static_cast<uint16_t>(std::stoi(level2.substr(prefix.size()))));
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(client.Send("4001|10086001|x\r\n4011|tcp\r\n4014|tcp|cu2701\r\n"));
    ASSERT_TRUE(client.ReadExact(68));
    EXPECT_EQ(client.ReadExact(12), "4011|0|tcp\r\n");
    ASSERT_TRUE(client.ReadExact(112));
    const auto record = client.ReadExact(287);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->substr(0, 4), std::string("\x1f\x01\0\0", 4));
    EXPECT_EQ(record->substr(12, 7), std::string("cu2701\0", 7));

    ASSERT_EQ(kill(program.pid, SIGTERM), 0);
    EXPECT_EQ(program.Line(), "testserver stopped\n");
    EXPECT_EQ(program.Wait(), 0);
}

TEST(ProgramTest, PushOptionsGoOutOnceTheirTopicIsSubscribed) {
    Program program({"--port", "0", "--bare", "--push", "16405:1777=hello", "--push",
                     "16406@K1:1332=14;605=K1;1777=10.0.0.9"});
    ASSERT_GT(program.pid, 0);
    const std::string line = program.Line();
    const std::string prefix = "testserver listening on 127.0.0.1:";
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    RawClient client(static_cast<uint16_t>(std::stoi(line.substr(prefix.size()))));
    ASSERT_TRUE(client.connected());
    // The push may overtake the subscription's answer: the two packets in either order.
    const auto subscribe = [&](uint32_t id, int32_t topic, const char* fields) {
        std::vector<std::string> pushed;
        EXPECT_TRUE(client.Send(Request(id, topic, fields, 2)));
        for (int i = 0; i < 2; ++i) {
            const auto packet = client.ReadPacket();
            if (!packet) break;
            if (packet->kind == 3) pushed = Items(packet->body);
        }
        return pushed;
    };
    EXPECT_EQ(subscribe(1, 16405, ""),
              (std::vector<std::string>{"35=16405", "384=16405", "1777=hello"}));
    EXPECT_EQ(program.Line(), "pushed 16405 to 1 connection(s)\n");
    EXPECT_EQ(
        subscribe(2, 16406, "220=range(605:K1)\x01"),
        (std::vector<std::string>{"35=16406", "384=16406", "1332=14", "605=K1", "1777=10.0.0.9"}));
    ASSERT_EQ(kill(program.pid, SIGTERM), 0);
    EXPECT_EQ(program.Line(), "pushed 16406 to 1 connection(s)\n");
    EXPECT_EQ(program.Line(), "testserver stopped\n");
    EXPECT_EQ(program.Wait(), 0);

    Program bad({"--push", "16405"});
    ASSERT_GT(bad.pid, 0);
    EXPECT_EQ(bad.Wait(), 2);
}

TEST(ProgramTest, HelpAndBadArguments) {
    struct Case {
        std::vector<std::string> args;
        int status;
    };
    for (const Case& c :
         {Case{{"--help"}, 0}, Case{{"--port", "70000"}, 2}, Case{{"--port", "12x"}, 2},
          Case{{"--what"}, 2}, Case{{"--bind", "nowhere"}, 1}, Case{{"--market-rate", "-1"}, 2},
          Case{{"--market-seed", "x"}, 2}, Case{{"--level2-port", "70000"}, 2},
          Case{{"--market-rate", "nan"}, 2}, Case{{"--market-rate", "1001"}, 2},
          Case{{"--level2-mode", "4x"}, 2}, Case{{"--udp-port", "-1"}, 2},
          Case{{"--level2-quote-port", ""}, 2}, Case{{"--market-seed"}, 2}}) {
        Program program(c.args);
        ASSERT_GT(program.pid, 0);
        const std::string first = program.Line();
        if (c.status == 0) {
            EXPECT_EQ(first.rfind("usage: testserver", 0), 0u);
        }
        EXPECT_EQ(program.Wait(), c.status) << c.args[0];
    }
}

}  // namespace
