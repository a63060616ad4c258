// Exceptions, error texts, the sequence counter and the number trimmer of the toolkit.
#include "comm/ToolkitRuntime.h"

#include <gtest/gtest.h>
#include <openssl/rand.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "comm/QvException.h"
#include "comm/RequestErrors.h"

namespace NoltComm {
namespace {

// The program's exit calls the clean-up while other threads may still be ending; the crypto
// library must stay usable for them (and for anything else the process still runs).
TEST(ToolkitRuntimeTest, TheCleanupAtExitLeavesTheCryptoLibraryUsable) {
    CleanupCryptoLibrary();
    unsigned char bytes[16] = {};
    std::thread other([&] { EXPECT_EQ(RAND_bytes(bytes, sizeof bytes), 1); });
    other.join();
    EXPECT_EQ(RAND_bytes(bytes, sizeof bytes), 1);
}

TEST(QvExceptionTest, CarriesPlaceAndMessage) {
    try {
        throw CQvException("CQvThread::Wait()", "Unexpected timeout on infinite wait");
    } catch (const CQvException& e) {
        EXPECT_EQ(e.Where(), "CQvThread::Wait()");
        EXPECT_EQ(e.Message(), "Unexpected timeout on infinite wait");
    }
}

TEST(QvExceptionTest, Win32ExceptionTakesTheSystemText) {
    try {
        throw CWin32Exception("CQvThread::Start() - _beginthreadex", EAGAIN);
    } catch (const CQvException& e) {
        EXPECT_EQ(e.Where(), "CQvThread::Start() - _beginthreadex");
        EXPECT_EQ(e.Message(), std::string(strerror(EAGAIN)));
        EXPECT_EQ(dynamic_cast<const CWin32Exception&>(e).GetError(), uint32_t{EAGAIN});
    }
    EXPECT_FALSE(GetSystemErrorText(123456).empty());
}

TEST(ToolkitRuntimeTest, TrimTrailingZeros) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {{"100", "100"},       {"100.0", "100"},       {"0.10", "0.1"},
                 {"12.500", "12.5"},   {"3.000", "3"},         {"-3.100000", "-3.1"},
                 {"0.250000", "0.25"}, {"1.5\x01", "1.5\x01"}, {"", ""}};
    for (const auto& c : cases) {
        std::string text = c.in;
        TrimTrailingZeros(text);
        EXPECT_EQ(text, c.out) << c.in;
    }
}

TEST(ToolkitRuntimeTest, SequenceNumbersNeverRepeatAcrossThreads) {
    const int32_t first = NextSequenceNumber();
    EXPECT_GE(first, 1);
    std::vector<std::vector<int32_t>> seen(4);
    {
        std::vector<std::jthread> threads;
        for (auto& out : seen) {
            threads.emplace_back([&out] {
                for (int i = 0; i < 1000; ++i) out.push_back(NextSequenceNumber());
            });
        }
    }
    std::set<int32_t> all;
    for (const auto& out : seen) all.insert(out.begin(), out.end());
    EXPECT_EQ(all.size(), 4000u);
    EXPECT_EQ(*all.begin(), first + 1);
    EXPECT_EQ(*all.rbegin(), first + 4000);
}

TEST(RequestErrorsTest, TextsWithNumbers) {
    EXPECT_EQ(AnswerTimeoutText(10), "等待应答数据超时(10秒)!");
    EXPECT_EQ(UserAbortText(1234), "用户手工中断连接,取消应答数据(1234)!");
    EXPECT_STREQ(kTextLinkLost, "连接已经中断!");
}

}  // namespace
}  // namespace NoltComm
