// Tests of the trade log: line heads, levels, long and Chinese texts, many threads, and the
// queue drained at exit by the program's one logger.
#include "shell/services/TradeLogger.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <latch>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "LogTestSupport.h"
#include "platform/core/Clock.h"
#include "platform/core/Encoding.h"
#include "support/TempDir.h"

namespace shell {
namespace {

using testing::FixedTime;
using testing::kJan5;
using testing::ReadFile;
using testing::SplitLines;

TEST(TradeLoggerTest, LineHeadCarriesTheCounterInMilliseconds) {
    testsupport::TempDir dir;
    platform::ManualClock clock(123'456'789);  // 123456.789 ms
    platform::ScopedClockSource useClock(clock);
    std::string fileName;
    {
        CTradeLogger logger(dir.file("BriskoLog_"), 200, FixedTime(kJan5));
        fileName = logger.FileName();
        logger.Info("wth:%d\tcost:%.3lf(ms) %s", 42, 1.5, "委托");
        clock.AdvanceUs(5'000);
        logger.Error("code=%li", 7L);
    }
    EXPECT_EQ(fileName, dir.file("BriskoLog_20240105.log"));
    EXPECT_EQ(
        ReadFile(fileName),
        platform::Utf8ToGbk("[200] 2024-01-05 09:03:07.123456.79 wth:42\tcost:1.500(ms) 委托\r\n"
                            "[400] 2024-01-05 09:03:07.123461.79 code=7\r\n"));
}

TEST(TradeLoggerTest, LevelsBelowTheThresholdAreDropped) {
    struct Case {
        int32_t threshold;
        const char* expectedLevels;
    };
    const Case cases[] = {
        {100, "100 200 300 400 500 600 "},
        {200, "200 300 400 500 600 "},
        {400, "400 500 600 "},
        {700, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.threshold);
        testsupport::TempDir dir;
        std::string fileName;
        {
            CTradeLogger logger(dir.file("L_"), c.threshold);
            fileName = logger.FileName();
            logger.Debug("d");
            logger.Info("i");
            logger.Warning("w");
            logger.Error("e");
            logger.Critical("c");
            logger.Fatal("f");
        }
        std::string levels;
        for (const auto& line : SplitLines(ReadFile(fileName))) {
            levels += line.substr(1, line.find(']') - 1) + " ";
        }
        EXPECT_EQ(levels, c.expectedLevels);
    }
}

TEST(TradeLoggerTest, LongTextsAndBadFormats) {
    testsupport::TempDir dir;
    const std::string longText(5000, 'a');
    std::string fileName;
    {
        CTradeLogger logger(dir.file("T_"), 200);
        fileName = logger.FileName();
        logger.Info("%s|end", longText.c_str());
        // The writer formats later: the texts passed must be copied at the call.
        char buffer[16] = "order 1";
        std::string owned = "order 2";
        logger.Info("%s %s", buffer, owned);
        buffer[6] = '9';
        owned = "changed";
        logger.Info("%d %d", 1);            // missing argument: dropped, never thrown
        logger.Info("%d", "not a number");  // wrong type: dropped or written, never thrown
        logger.Info(nullptr);
        logger.Info("after");
    }
    const auto lines = SplitLines(ReadFile(fileName));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(lines[0].ends_with(" " + longText + "|end"));
    EXPECT_TRUE(lines[1].ends_with(" order 1 order 2"));
    EXPECT_TRUE(lines.back().ends_with(" after"));
}

// Each line that finds the writer asleep wakes it: line after line reaches the file while the
// logger runs, with the writer going back to sleep in between.
TEST(TradeLoggerTest, WriterAppendsWhileRunning) {
    testsupport::TempDir dir;
    CTradeLogger logger(dir.file("W_"), 200);
    logger.Start();
    std::string expected;
    for (int n = 1; n <= 20; ++n) {
        logger.Info("line %d", n);
        expected = " line " + std::to_string(n) + "\r\n";
        // Wait for the writer's write with a generous deadline; nothing is timed.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!ReadFile(logger.FileName()).ends_with(expected) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_TRUE(ReadFile(logger.FileName()).ends_with(expected)) << n;
    }
    EXPECT_EQ(SplitLines(ReadFile(logger.FileName())).size(), 20u);
}

std::set<std::string> ThreadIds() {
    std::set<std::string> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        ids.insert(entry.path().filename().string());
    }
    return ids;
}

// The value of one "Name:\tvalue" line of a thread's status file; empty when missing.
std::string ThreadStatus(const std::string& tid, const std::string& name) {
    std::istringstream status(ReadFile("/proc/self/task/" + tid + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(name + ":"))
            return line.substr(line.find_first_not_of(" \t", name.size() + 1));
    }
    return {};
}

// An idle program does not poll: the writer of a logger with nothing to write sleeps until a
// line arrives, and is not woken (no context switch) while the logger stays idle.
TEST(TradeLoggerTest, IdleWriterSleepsWithoutWakeUps) {
    testsupport::TempDir dir;
    CTradeLogger logger(dir.file("I_"), 200);
    // A runtime helper thread (the thread sanitizer's) starts with the first thread of the
    // process: let it start before the writer is told apart from the threads already there.
    std::jthread([] {}).join();
    const std::set<std::string> before = ThreadIds();
    logger.Start();
    std::vector<std::string> started;
    for (const auto& id : ThreadIds()) {
        if (!before.contains(id)) started.push_back(id);
    }
    ASSERT_EQ(started.size(), 1u);
    const std::string writer = started[0];
    // Wait until the writer sleeps, then watch it for a while (a timed writer woke every few
    // milliseconds).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!ThreadStatus(writer, "State").starts_with("S") &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(ThreadStatus(writer, "State").starts_with("S"));
    const std::string switches = ThreadStatus(writer, "voluntary_ctxt_switches");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(ThreadStatus(writer, "voluntary_ctxt_switches"), switches);
    EXPECT_TRUE(ThreadStatus(writer, "State").starts_with("S"));
}

// Many threads log at once while the writer runs; every line arrives once, in each thread's
// order.
TEST(TradeLoggerTest, ManyThreadsLogging) {
    testsupport::TempDir dir;
    constexpr int kThreads = 8;
    constexpr int kLines = 3000;
    std::string fileName;
    {
        CTradeLogger logger(dir.file("M_"), 200);
        fileName = logger.FileName();
        logger.Start();
        std::latch start(kThreads);
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                start.arrive_and_wait();
                for (int n = 0; n < kLines; ++n) logger.Info("t%d n%d", t, n);
            });
        }
    }
    const auto lines = SplitLines(ReadFile(fileName));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
    std::vector<int> next(kThreads, 0);
    const std::regex shape(R"(\[200\] \d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d+\.\d\d t(\d) n(\d+))");
    for (const auto& line : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
        EXPECT_EQ(std::stoi(m[2]), next[std::stoi(m[1])]++);
    }
}

// A child process logs through the program's logger and exits at once: the file holds every
// line, and the arguments of later accessor calls changed nothing.
TEST(TradeLoggerTest, ExitDrainsTheProgramLogger) {
    testsupport::TempDir dir;
    constexpr int kLines = 20000;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CTradeLogger& logger = GetTradeLogger(dir.file("Exit_"), 200);
        logger.Start();
        CTradeLogger& again = GetTradeLogger(dir.file("Other_"), 600);
        if (&again != &logger || again.Threshold() != 200) _exit(3);
        for (int n = 0; n < kLines; ++n) {
            again.Info("n%d", n);
            again.Debug("debug %d", n);
        }
        std::exit(0);  // runs the static destructors, as a normal program end does
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(names[0].starts_with("Exit_"));
    const auto lines = SplitLines(ReadFile(dir.file(names[0])));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kLines));
    EXPECT_TRUE(lines.front().ends_with(" n0"));
    EXPECT_TRUE(lines.back().ends_with(" n" + std::to_string(kLines - 1)));
}

}  // namespace
}  // namespace shell
