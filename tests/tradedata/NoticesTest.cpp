// Tests of the notice and message lists: the time text forms of a notice, the message list
// emptied at 1024 rows (also with appends from several threads), the workplace events, today's
// stored notices read once per login, and the login-binding bits from the server's answer.
#include "tradedata/Notices.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/Clock.h"
#include "platform/core/Encoding.h"
#include "record/FixRecord.h"
#include "record/RandomMassFile.h"
#include "shell/services/StartupSettings.h"
#include "tests/tradedata/ServerFixture.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/Registries.h"

namespace tradedata {
namespace {

using namespace std::chrono;

struct Posted {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

class NoticesTest : public testing::ServerTest {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        // 2026-12-10 10:20:30 on the synchronised clock.
        SetClockBase(LocalSecondsToFileTime(local_days(2026y / 12 / 10) + 10h + 20min + 30s) -
                     10'000 * GetHighResTickCount());
        SetWorkplaceWindow(77);
        SetPostFunction([this](WindowId, uint32_t m, uintptr_t wp, intptr_t lp) {
            std::lock_guard lock(postedMutex);
            posted.push_back({m, wp, lp});
        });
    }
    void TearDown() override {
        if (client) Disconnect();
        SetPostFunction(nullptr);
        SetWorkplaceWindow(0);
        shell::SetClientSettings(0);
        SetClockBase(LocalFileTimeNow());
        testing::ResetGlobalTables();
    }
    std::vector<Posted> Events(uintptr_t wParam) {
        std::lock_guard lock(postedMutex);
        std::vector<Posted> out;
        for (const Posted& p : posted)
            if (p.message == kWmFrameEvent && p.wParam == wParam) out.push_back(p);
        return out;
    }

    testing::SettingsSandbox sandbox;
    platform::ManualClock clock;
    platform::ScopedClockSource source{clock};
    std::mutex postedMutex;
    std::vector<Posted> posted;
};

TEST_F(NoticesTest, NoticeTimeTextForms) {
    struct Case {
        const char* given;
        const char* date;  // 1410
        const char* time;  // 1219
    } cases[] = {
        {nullptr, "2026.12.10", "10:20:30"},
        {"", "2026.12.10", "10:20:30"},
        {" 2026.12.09  08:01:02 ", "2026.12.09", "08:01:02"},
        {"08:01:02", "2026.12.10", "08:01:02"},
        {"8:01", "2026.12.10", "10:20:30"},  // a colon before position 2 is no time
        {"noon", "2026.12.10", "10:20:30"},
    };
    int count = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(AddNotice("8001", "交易所闭市", 12, c.given, nullptr), ++count);
        const int row = count - 1;
        EXPECT_EQ(NoticeTable.Get(1410, row), c.date) << (c.given ? c.given : "null");
        EXPECT_EQ(NoticeTable.Get(1219, row), c.time) << (c.given ? c.given : "null");
        EXPECT_EQ(NoticeTable.Get(651, row), "2026.12.10");
        EXPECT_EQ(NoticeTable.Get(3203, row), "10:20:30");
        EXPECT_EQ(NoticeTable.Get(1332, row), "系统通知");
        EXPECT_EQ(NoticeTable.GetLong(797, row), 12);
        EXPECT_EQ(NoticeTable.Get(605, row), "8001");
    }
    AddNotice("8001", "x", 0, nullptr, "公告");
    EXPECT_EQ(NoticeTable.Get(1332, count), "公告");
    const auto events = Events(4);
    ASSERT_EQ(events.size(), 7u);
    EXPECT_EQ(events.back().lParam, count);
}

TEST_F(NoticesTest, MessageListEmptiedAt1024) {
    for (int i = 0; i < kMaxMessageRows; ++i)
        ASSERT_EQ(AppendInfoMessage("成交", "m" + std::to_string(i), nullptr), i);
    EXPECT_EQ(MessageTable.Get(1219, 0), "10:20:30");
    EXPECT_EQ(AppendInfoMessage("委托", "the 1025th", "09:00:00"), 0);
    EXPECT_EQ(MessageTable.GetCount(), 1);
    EXPECT_EQ(MessageTable.Get(508, 0), "the 1025th");
    EXPECT_EQ(MessageTable.Get(596, 0), "委托");
    EXPECT_EQ(MessageTable.Get(1219, 0), "09:00:00");
    const auto events = Events(1);
    ASSERT_EQ(events.size(), 1025u);
    EXPECT_EQ(events.back().lParam, 0);
}

TEST_F(NoticesTest, MessagesFromSeveralThreadsAreNotLost) {
    constexpr int kThreads = 4, kEach = 300;
    std::vector<std::vector<int32_t>> rows(kThreads);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([t, &rows] {
                for (int i = 0; i < kEach; ++i)
                    rows[t].push_back(AppendInfoMessage("x", std::to_string(t), nullptr));
            });
    }
    // Every append was its own row: the list ends with total mod 1024 rows.
    EXPECT_EQ(MessageTable.GetCount(), kThreads * kEach % kMaxMessageRows);
    for (const auto& list : rows)
        for (const int32_t row : list) EXPECT_TRUE(row >= 0 && row < kMaxMessageRows);
    EXPECT_EQ(Events(1).size(), static_cast<std::size_t>(kThreads * kEach));
}

TEST_F(NoticesTest, TodaysNoticesLoadOncePerLogin) {
    const int account = AddAccount(1, "8001", "01", "甲", "pw", nullptr);
    SetLoginAccount(account);
    {
        CRandomMassFile file;
        const std::string path = GetAccountRmfPath("8001");
        file.SetFilename(path.c_str());
        const std::string today = platform::Utf8ToGbk(
            "1219=09:00:00|1332=公告|1777=今日通知一|\x05\x05"
            "1219=09:30:00|1777=今日通知二|");
        const std::string yesterday = platform::Utf8ToGbk("1777=昨日|");
        ASSERT_NE(file.WriteRandomMass(20261210 + kNoticeDayOffset, today.data(),
                                       static_cast<int32_t>(today.size())),
                  0);
        ASSERT_NE(file.WriteRandomMass(20261209 + kNoticeDayOffset, yesterday.data(),
                                       static_cast<int32_t>(yesterday.size())),
                  0);
    }
    // Not yet active: nothing read, and the once-mark is not spent.
    EXPECT_EQ(LoadTodayNotices(-1), 0);
    SetAccountFlag(kFlagActive, account);
    AddNotice("8001", "earlier", 0, nullptr, nullptr);
    EXPECT_EQ(LoadTodayNotices(-1), 2);
    ASSERT_EQ(NoticeTable.GetCount(), 3);
    EXPECT_EQ(NoticeTable.Get(1777, 1), "今日通知一");
    EXPECT_EQ(NoticeTable.Get(1332, 1), "公告");
    EXPECT_EQ(NoticeTable.Get(1777, 2), "今日通知二");
    EXPECT_EQ(NoticeTable.GetLong(644, 1), 3);
    EXPECT_EQ(NoticeTable.GetLong(644, 2), 3);
    EXPECT_EQ(NoticeTable.GetLong(644, 0), 0);
    EXPECT_EQ(LoadTodayNotices(account), 0);
    EXPECT_EQ(NoticeTable.GetCount(), 3);
}

TEST_F(NoticesTest, LoginBindingBits) {
    StartAndConnect();
    const int account = AddAccount(1, "8001", "01", "甲", "pw", nullptr);
    SetLoginAccount(account);
    struct Case {
        const char* value741;
        const char* machine;
        uint32_t settings;
        int32_t expected;
    } cases[] = {
        {"2", "", shell::kClientEmptyLoginBinding, kFlagLoginBound | kFlagBindingEmpty},
        {"2", "ABC", shell::kClientEmptyLoginBinding, kFlagLoginBound},
        {"3", "", 0, kFlagLoginBound},
        {"1", "", shell::kClientEmptyLoginBinding, 0},
    };
    for (const Case& c : cases) {
        SetAccountFlag(kFlagLoginBound | kFlagBindingEmpty | kFlagActive, account);
        shell::SetClientSettings(c.settings);
        server.Script(16665, {{{507, "1"}, {741, c.value741}, {1062, c.machine}}});
        EXPECT_TRUE(QueryLoginBinding(client.get(), -1));
        EXPECT_EQ(AccountTable.GetLong(739, account) & (kFlagLoginBound | kFlagBindingEmpty),
                  c.expected)
            << c.value741 << " " << c.machine;
        EXPECT_TRUE(TestAccountFlag(kFlagActive, account));
    }
    EXPECT_EQ(Sent(16665, 605), "8001");
    EXPECT_EQ(Sent(16665, 3011), "0");
    EXPECT_EQ(Sent(16665, 741), "2");
    // An error answer changes nothing.
    SetAccountFlag(kFlagLoginBound, account);
    server.Script(16665, {{{507, "-1"}, {741, "0"}}});
    EXPECT_FALSE(QueryLoginBinding(client.get(), -1));
    EXPECT_TRUE(TestAccountFlag(kFlagLoginBound, account));
}

}  // namespace
}  // namespace tradedata
