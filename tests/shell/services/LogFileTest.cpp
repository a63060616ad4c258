// Tests of the daily trace file: line heads, file naming, flushing, the program-wide entries
// from many threads, and two processes appending to one file.
#include "shell/services/LogFile.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <latch>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "LogTestSupport.h"
#include "platform/core/Encoding.h"
#include "platform/core/Paths.h"
#include "shell/services/LogLine.h"
#include "support/TempDir.h"

namespace shell {
namespace {

using testing::FixedTime;
using testing::kJan5;
using testing::ReadFile;
using testing::SplitLines;

CLogFile::Options Jan5Options() { return {"2.0.0.0", FixedTime(kJan5)}; }

TEST(LogFileTest, LineHeadAndGbkText) {
    testsupport::TempDir dir;
    CLogFile log(Jan5Options());
    ASSERT_TRUE(log.Open("", dir.path().string()));
    EXPECT_EQ(log.Path(), dir.file("20240105.log"));
    EXPECT_EQ(log.WriteLine("委托申请:09:03:07.045\twth:12"), 1);
    EXPECT_EQ(log.WriteLine(""), 1);

    const std::string pid = std::to_string(getpid());
    const std::string pidField = std::string(pid.size() < 4 ? 4 - pid.size() : 0, ' ') + pid;
    const std::string head = "2024.01.05 [" + pidField + "] 2.0.0.0 09:03:07.045 ";
    EXPECT_EQ(ReadFile(log.Path()),
              platform::Utf8ToGbk(head + "委托申请:09:03:07.045\twth:12\r\n" + head + "\r\n"));
}

TEST(LogFileTest, FileNames) {
    struct Case {
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {"", "20240105.log"},
        {"log_yyyymmdd.txt", "log_20240105.txt"},
        {"trace.txt", "trace.txt"},
        {"yy-mm-dd.log", "24-01-05.log"},
        {"dd_mm_yyyy_dd.log", "05_01_2024_dd.log"},  // only the first of each is replaced
    };
    testsupport::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CLogFile log(Jan5Options());
        ASSERT_TRUE(log.Open(c.name, dir.path().string()));
        EXPECT_EQ(log.Path(), dir.file(c.expected));
        EXPECT_TRUE(std::filesystem::exists(dir.file(c.expected)));
    }
    EXPECT_EQ(CLogFile::ExpandDatePattern("yyyy", kJan5), "2024");

    // Without a directory the program directory; a name with a '/' is a path of its own.
    platform::SetProgramDirForTesting(dir.path().string() + "/prog");
    std::filesystem::create_directory(dir.path() / "prog");
    CLogFile log(Jan5Options());
    EXPECT_TRUE(log.Open());
    EXPECT_EQ(log.Path(), dir.file("prog/20240105.log"));
    platform::SetProgramDirForTesting("");
    EXPECT_TRUE(log.Open(dir.file("elsewhere_yyyymmdd.log"), "/nonexistent"));
    EXPECT_EQ(log.Path(), dir.file("elsewhere_20240105.log"));
    // The folders of such a path keep their names, patterns or not.
    std::filesystem::create_directory(dir.path() / "daddy_yymm");
    EXPECT_TRUE(log.Open(dir.file("daddy_yymm/yyyymmdd.log"), "/nonexistent"));
    EXPECT_EQ(log.Path(), dir.file("daddy_yymm/20240105.log"));
    EXPECT_FALSE(log.Open("x.log", "/nonexistent/dir"));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(log.WriteLine("lost"), 0);
}

TEST(LogFileTest, OpenKeepsWhatIsThereAndFlushFollowsWrites) {
    testsupport::TempDir dir;
    {
        CLogFile log(Jan5Options());
        ASSERT_TRUE(log.Open("t.log", dir.path().string()));
        EXPECT_EQ(log.GetLastWriteTick(), 0);
        log.WriteLine("first");
        EXPECT_NE(log.GetLastWriteTick(), 0);
        log.Flush();
        EXPECT_EQ(log.GetLastWriteTick(), 0);
    }
    CLogFile log(Jan5Options());
    ASSERT_TRUE(log.Open("t.log", dir.path().string()));
    log.WriteLine("second");
    const auto lines = SplitLines(ReadFile(dir.file("t.log")));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].ends_with(" first"));
    EXPECT_TRUE(lines[1].ends_with(" second"));
}

// Two processes append long lines to one file at once: every line comes out whole.
TEST(LogFileTest, TwoProcessesNeverInterleaveWithinALine) {
    testsupport::TempDir dir;
    constexpr int kLines = 1500;
    const std::string payload(700, 'x');
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CLogFile log({"2.0.0.0", {}});  // each process opens the file itself
            if (!log.Open("shared.log", dir.path().string())) _exit(2);
            for (int n = 0; n < kLines; ++n) {
                const std::string text =
                    "P" + std::to_string(p) + " n=" + std::to_string(n) + " " + payload + " end";
                if (log.WriteLine(text) != 1) _exit(3);
            }
            _exit(0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), 0);
    }
    const std::regex shape(
        R"(\d{4}\.\d\d\.\d\d \[ *\d+\] 2\.0\.0\.0 \d\d:\d\d:\d\d\.\d{3} P([01]) n=(\d+) x{700} end)");
    std::map<int, int> next{{0, 0}, {1, 0}};
    const auto lines = SplitLines(ReadFile(dir.file("shared.log")));
    ASSERT_EQ(lines.size(), 2u * kLines);
    for (const auto& line : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, shape)) << line.substr(0, 120);
        const int p = std::stoi(m[1]);
        EXPECT_EQ(std::stoi(m[2]), next[p]++);  // each process's lines in its own order
    }
}

// The program-wide entries open the default file in the program directory and take the log
// lock, so lines of many threads come out whole.
TEST(LogFileTest, WriteLogLineFromManyThreads) {
    testsupport::TempDir dir;
    platform::SetProgramDirForTesting(dir.path().string());
    constexpr int kThreads = 8;
    constexpr int kLines = 300;
    std::latch start(kThreads);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                start.arrive_and_wait();
                for (int n = 0; n < kLines; ++n) {
                    WriteLogLine("线程" + std::to_string(t) + " " + std::to_string(n));
                }
            });
        }
    }
    platform::SetProgramDirForTesting("");
    EXPECT_NE(GetLogFileLastWriteTick(), 0);
    FlushLogFile();
    EXPECT_EQ(GetLogFileLastWriteTick(), 0);

    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        files.push_back(entry.path());
    }
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(files[0].filename().string(), std::regex(R"(\d{8}\.log)")));
    const auto lines = SplitLines(platform::GbkToUtf8(ReadFile(files[0].string())));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
    std::vector<int> next(kThreads, 0);
    const std::regex shape(R"(.* \d\d:\d\d:\d\d\.\d{3} 线程(\d) (\d+))");
    for (const auto& line : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
        EXPECT_EQ(std::stoi(m[2]), next[std::stoi(m[1])]++);
    }
}

}  // namespace
}  // namespace shell
