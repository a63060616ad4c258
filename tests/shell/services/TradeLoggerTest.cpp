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

TEST(TradeLoggerTest, WriterAppendsWhileRunning) {
    testsupport::TempDir dir;
    CTradeLogger logger(dir.file("W_"), 200);
    logger.Start();
    logger.Info("line %d", 1);
    // The writer wakes by itself within milliseconds; wait for its write with a deadline.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ReadFile(logger.FileName()).empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(ReadFile(logger.FileName()).ends_with(" line 1\r\n"));
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
