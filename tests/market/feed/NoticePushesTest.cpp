// The notice, login-elsewhere and option-result handlers over the frame's tables: every notice
// kind, our own node's pushes ignored, the pop-up row, the re-verification mode, and the
// option-instruction results as a table of cases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "market/feed/NoticePushes.h"
#include "market/feed/QuoteRecords.h"
#include "tests/market/feed/TradePushFixture.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Notices.h"
#include "tradedata/Registries.h"

namespace market::feed::testing {
namespace {

constexpr const char* kNode = "MAC:00-11-22-33-44-55;IP:10.0.0.7";

class NoticePushesTest : public TradePushTest {
protected:
    void SetUp() override {
        TradePushTest::SetUp();
        tradedata::NoticeTable.Create(tradedata::kNoticeLayout);
        tradedata::MessageTable.Create(tradedata::kMessageLayout);
    }
    CNoticePushHandler::Hooks Hooks() {
        CNoticePushHandler::Hooks hooks;
        hooks.nodeAddress = [] { return std::string(kNode); };
        hooks.serviceItemsChanged = [this] { ++serviceChanges; };
        hooks.log = LogHooks();
        return hooks;
    }
    // The notices as "khh|kind|serial|time|text".
    static std::vector<std::string> Notices() {
        std::vector<std::string> out;
        CFixRecord& n = tradedata::NoticeTable;
        for (int r = 0; r < n.GetCount(); ++r)
            out.push_back(n.Get(605, r) + "|" + n.Get(1332, r) + "|" + n.Get(797, r) + "|" +
                          n.Get(1219, r) + "|" + n.Get(1777, r));
        return out;
    }
    void Customer(const Items& items) { handler.OnLoginElsewhere(ParsedPushFields(Body(items))); }
    int32_t AccountFlags() const { return tradedata::AccountTable.GetLong(739, account); }

    int serviceChanges = 0;
    CNoticePushHandler handler{sink, Hooks()};
};

TEST_F(NoticePushesTest, SystemNoticeGoesToTheMainCustomerUnlessEmpty) {
    handler.OnSystemNotice(ParsedPushFields(Body({{1777, "今晚系统维护"}})));
    handler.OnSystemNotice(ParsedPushFields(Body({{1777, ""}})));
    handler.OnSystemNotice(ParsedPushFields(Body({{605, kKhh}})));
    ASSERT_EQ(Notices().size(), 1u);
    const std::string n = Notices()[0];
    EXPECT_TRUE(n.starts_with(std::string(kKhh) + "|系统通知|0|")) << n;
    EXPECT_TRUE(n.ends_with("|今晚系统维护")) << n;
    EXPECT_EQ(handler.Counters().ignored.load(), 2u);
}

TEST_F(NoticePushesTest, ServerNoticeKindsAreStoredWithTheirKindText) {
    struct Case {
        const char* kind;
        const char* kindText;
    } cases[] = {{"11", "普通提示"}, {"12", "追保风险率"}, {"13", "强平风险率提示"}};
    for (const Case& c : cases)
        Customer({{1332, c.kind},
                  {797, "42"},
                  {605, kKhh},
                  {1777, "风险提示"},
                  {1219, "  2026.12.11 10:15:00 "}});
    // Another customer, an unknown kind, an empty text: nothing.
    Customer({{1332, "11"}, {605, kOtherKhh}, {1777, "x"}});
    Customer({{1332, "16"}, {605, kKhh}, {1777, "x"}});
    Customer({{1332, "11"}, {605, kKhh}, {1777, ""}});
    const std::vector<std::string> notices = Notices();
    ASSERT_EQ(notices.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(notices[i],
                  std::string(kKhh) + "|" + cases[i].kindText + "|42|10:15:00|风险提示");
    EXPECT_EQ(handler.Counters().ignored.load(), 3u);
}

TEST_F(NoticePushesTest, LoginElsewhereFromAnotherNodePopsUpItsRow) {
    tradedata::AccountTable.Set(605, "0008001", account);
    Customer(
        {{1332, "14"}, {605, "0008001"}, {1777, "192.168.1.20"}, {1219, " 2026.12.11 09:30:05 "}});
    ASSERT_EQ(InfoLines(), std::vector<std::string>{"登录提示|09:30:05 8001在192.168.1.20登录!"});
    EXPECT_EQ(tradedata::MessageTable.GetLong(644, 0), kMessageRowToShow);
    EXPECT_EQ(tradedata::MessageTable.Get(1219, 0), "09:30:05");
    EXPECT_EQ(sink.Of(tradedata::kWmFrameCommand),
              (std::vector<Posted>{
                  {PushWindow::kFrame, tradedata::kWmFrameCommand, kCommandShowMessageRows, 0}}));
}

TEST_F(NoticePushesTest, OwnNodeAndUnknownCustomersChangeNothing) {
    for (const char* kind : {"14", "15", "21"})
        Customer({{1332, kind}, {605, kKhh}, {1777, kNode}, {7153, "1"}});
    for (const char* kind : {"14", "15", "21"})
        Customer({{1332, kind}, {605, kOtherKhh}, {1777, "10.9.9.9"}});
    // The account row exists but is no longer logged in.
    tradedata::ClearAccountFlag(tradedata::kFlagActive, account);
    Customer({{1332, "14"}, {605, kKhh}, {1777, "10.9.9.9"}});
    EXPECT_TRUE(InfoLines().empty());
    EXPECT_TRUE(sink.posts.empty());
    EXPECT_EQ(serviceChanges, 0);
    EXPECT_EQ(AccountFlags() & (kAccountFlagReverify | kAccountFlagServiceItems), 0);
}

TEST_F(NoticePushesTest, ReverificationOnlyForModesZeroAndOne) {
    struct Case {
        const char* mode;  // null: field absent (reads as 0)
        bool asks;
    } cases[] = {{"0", true},  {"1", true}, {nullptr, true},
                 {"2", false}, {"x", true}, {"-1", false}};
    for (const Case& c : cases) {
        tradedata::ClearAccountFlag(kAccountFlagReverify, account);
        sink.posts.clear();
        Items items{{1332, "15"}, {605, kKhh}, {1777, "10.9.9.9"}};
        if (c.mode != nullptr) items.push_back({7153, c.mode});
        Customer(items);
        EXPECT_EQ((AccountFlags() & kAccountFlagReverify) != 0, c.asks) << c.mode;
        const std::vector<Posted> expected{
            {PushWindow::kFrame, tradedata::kWmFrameCommand, kCommandReverifyPassword, account}};
        EXPECT_EQ(sink.Of(tradedata::kWmFrameCommand), c.asks ? expected : std::vector<Posted>{})
            << (c.mode ? c.mode : "absent");
    }
}

TEST_F(NoticePushesTest, ServiceItemChangeMarksTheAccountAndTellsTheFrame) {
    Customer({{1332, "21"}, {605, kKhh}, {1777, "10.9.9.9"}});
    EXPECT_NE(AccountFlags() & kAccountFlagServiceItems, 0);
    EXPECT_EQ(serviceChanges, 1);
    EXPECT_TRUE(sink.posts.empty());
}

TEST_F(NoticePushesTest, OptionInstructionResults) {
    struct Case {
        const char* kind;
        const char* action;
        const char* setting;
        const char* result;
        uint32_t refresh;  // 0: none posted
        intptr_t lParam;
        const char* line;  // "kind|text"; null: none
        bool logged;       // the revocation's trade-log line (LogLevel on)
    } cases[] = {
        {"0", "1", "1", "0", kRefreshOptionHedge, 0, "期权对冲|设置成功", false},
        {"0", "1", "0", "0", kRefreshOptionHedge, 0, "期权对冲|取消成功", false},
        {"0", "1", "1", "-5", 0, 0, "期权对冲|设置失败,错误说明:无持仓", false},
        {"0", "2", "1", "0", kRefreshOptionHedge, 0, "期权对冲|撤销成功", false},
        {"0", "2", "1", "9", 0, 0, "期权对冲|撤销失败,错误说明:无持仓", true},
        {"1", "1", "1", "0", kRefreshExerciseHedge, 1, "履约对冲|设置成功", false},
        {"1", "1", "3", "0", kRefreshExerciseHedge, 3, "履约对冲|取消成功", false},
        {"1", "1", "3", "1", 0, 0, "履约对冲|取消失败,错误说明:无持仓", false},
        {"1", "2", "0", "0", kRefreshExerciseHedge, 0, "履约对冲|撤销成功", false},
        {"1", "2", "0", "1", 0, 0, "履约对冲|撤销失败,错误说明:无持仓", true},
        {"2", "1", "1", "0", kRefreshAutoExercise, 0, "自动行权|设置成功", false},
        {"2", "1", "0", "1", 0, 0, "自动行权|设置失败,错误说明:无持仓", false},
        {"2", "2", "1", "0", kRefreshAutoExercise, 0, "自动行权|撤销成功", false},
        {"2", "2", "1", "1", 0, 0, "自动行权|撤销失败,错误说明:无持仓", false},
        {"3", "1", "1", "0", 0, 0, nullptr, false},
        {"0", "3", "1", "0", 0, 0, nullptr, false},
        {"", "", "", "", 0, 0, nullptr, false},
    };
    logLevel = 1;
    for (const Case& c : cases) {
        const std::string name = std::string(c.kind) + "/" + c.action + "/" + c.result;
        tradedata::MessageTable.GetMemRecord()->Zap();
        sink.posts.clear();
        tradeLines.clear();
        handler.OnOptionResult(ParsedPushFields(Body({{5001, c.kind},
                                                      {5002, c.action},
                                                      {5003, c.setting},
                                                      {1029, c.result},
                                                      {1030, "无持仓"}})));
        const std::vector<Posted> refresh{
            {PushWindow::kWorkspace, tradedata::kWmFrameRefresh, c.refresh, c.lParam}};
        EXPECT_EQ(sink.Of(tradedata::kWmFrameRefresh),
                  c.refresh != 0 ? refresh : std::vector<Posted>{})
            << name;
        EXPECT_EQ(InfoLines(),
                  c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{})
            << name;
        EXPECT_EQ(tradeLines.size(), c.logged ? 1u : 0u) << name;
    }
    // Without "LogLevel" a failed revocation writes no trade-log line.
    logLevel = 0;
    tradeLines.clear();
    handler.OnOptionResult(
        ParsedPushFields(Body({{5001, "0"}, {5002, "2"}, {1029, "1"}, {1030, "e"}})));
    EXPECT_TRUE(tradeLines.empty());
}

TEST_F(NoticePushesTest, RevocationLogLinesNameTheInstruction) {
    logLevel = 1;
    handler.OnOptionResult(
        ParsedPushFields(Body({{5001, "0"}, {5002, "2"}, {1029, "1"}, {1030, "超时"}})));
    handler.OnOptionResult(
        ParsedPushFields(Body({{5001, "1"}, {5002, "2"}, {1029, "1"}, {1030, "超时"}})));
    EXPECT_EQ(tradeLines, (std::vector<std::string>{"撤销期权对冲失败,错误说明:超时",
                                                    "撤销履约对冲失败,错误说明:超时"}));
}

// A full list is emptied by the append itself: the mark follows the new row, not its old index.
TEST_F(NoticePushesTest, AFullInformationListStillGetsThePopUpOnTheNewRow) {
    for (int i = 0; i < tradedata::kMaxMessageRows; ++i)
        tradedata::AppendInfoMessage("提示信息", "line", nullptr);
    Customer({{1332, "14"}, {605, kKhh}, {1777, "10.9.9.9"}, {1219, "10:00:00"}});
    ASSERT_EQ(tradedata::MessageTable.GetCount(), 1);
    EXPECT_EQ(tradedata::MessageTable.GetLong(644, 0), kMessageRowToShow);
    EXPECT_EQ(sink.Of(tradedata::kWmFrameCommand).size(), 1u);
}

}  // namespace
}  // namespace market::feed::testing
