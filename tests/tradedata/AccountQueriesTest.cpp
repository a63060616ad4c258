// Tests of the account queries against the test server: tables written from answers, answers
// swapped in whole, failed queries that keep the old rows and are retried, and the logout.
#include "tradedata/AccountQueries.h"

#include <gtest/gtest.h>

#include <memory>

#include "comm/FixApiClient.h"
#include "platform/core/Clock.h"
#include "platform/core/Encoding.h"
#include "record/RandomMassFile.h"
#include "tests/tradedata/ServerFixture.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/TestServer.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Notices.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/Scrambler.h"
#include "testserver/TradingDay.h"

namespace tradedata {
namespace {

using testing::AddRow;
using testserver::Fault;
using testserver::FaultKind;
using testserver::Row;

class AccountQueriesTest : public testing::ServerTest {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        ResetQueryRetries();
        StartAndConnect();
        row = AddAccount(1, "8001", "01", "甲", "pw", nullptr);
        SetLoginAccount(row);
    }
    void TearDown() override {
        Disconnect();
        ResetQueryRetries();
        testing::ResetGlobalTables();
    }
    // The account's data file (statements, notices) lives in the sandbox's user directory.
    testing::SettingsSandbox sandbox;
    platform::ManualClock clock;
    platform::ScopedClockSource source{clock};
    int row = -1;
};

TEST_F(AccountQueriesTest, ThePasswordIsSentScrambledByteForByte) {
    // Its scrambled form is high bytes that are no UTF-8 (and an odd count of them no GBK
    // either): they must reach the server unchanged.
    for (const char* typed : {"123456", "12345", "密码ab"}) {
        SCOPED_TRACE(typed);
        AccountTable.Set(598, typed, row);
        server.Script(16106, {{{507, "0"}, {599, "SQ"}, {1716, "c1"}}});
        EXPECT_TRUE(QueryTradingCodes(client.get(), "8001"));
        EXPECT_EQ(Sent(16106, 598), XorScrambleUtf8(typed));
        EXPECT_EQ(testserver::ScrambledPassword(Sent(16106, 598)), platform::Utf8ToGbk(typed));
        server.ClearRequests();
    }
}

TEST_F(AccountQueriesTest, TradingCodesReplaceTheCustomersRowsOnly) {
    TradingCodeTable.Create(kTradingCodeLayout);
    AddRow(TradingCodeTable, {{605, "8001"}, {1716, "old"}});
    AddRow(TradingCodeTable, {{605, "9009"}, {1716, "other"}});
    server.Script(16106, {{{507, "0"}, {599, "SQ"}, {1716, "c1"}},
                          {{507, "-1"}, {508, "bad"}},
                          {{507, "1"}, {599, "DL"}, {1716, "c2"}}});
    EXPECT_TRUE(QueryTradingCodes(client.get(), "8001"));
    EXPECT_EQ(Sent(16106, 605), "8001");
    EXPECT_EQ(Sent(16106, 598), XorScrambleUtf8("pw"));
    EXPECT_EQ(Sent(16106, 781), "2");
    ASSERT_EQ(TradingCodeTable.GetCount(), 3);
    EXPECT_EQ(TradingCodeTable.Get(1716, 0), "other");
    EXPECT_EQ(TradingCodeTable.Get(1716, 1), "c1");
    EXPECT_EQ(TradingCodeTable.Get(605, 2), "8001");
}

// A query that got no answer must not cost the customer its trading codes, nor mark the query
// done: the account could not trade until the next login.
TEST_F(AccountQueriesTest, FailedTradingCodeQueryKeepsOldCodesAndIsRetried) {
    TradingCodeTable.Create(kTradingCodeLayout);
    AddRow(TradingCodeTable, {{605, "8001"}, {1716, "old"}});
    SetAccountFlag(kFlagInfoAsked | kFlagActive | kFlagLoginNotice | kFlagFunds, row);
    server.InjectFault(16106, Fault{FaultKind::Close});
    EXPECT_TRUE(QueryAccountInfo(client.get(), row));
    ASSERT_EQ(TradingCodeTable.GetCount(), 1);
    EXPECT_EQ(TradingCodeTable.Get(1716, 0), "old");
    EXPECT_FALSE(TestAccountFlag(kFlagTradingCodes, row));
    EXPECT_FALSE(IsQueryRetryDue("8001", 16106));
    EXPECT_FALSE(QueryAccountInfo(client.get(), row));  // not yet: backing off

    server.ClearFault(16106);
    server.Script(16106, {{{507, "0"}, {1716, "new"}}});
    Connect();
    clock.AdvanceMs(1000);
    EXPECT_TRUE(IsQueryRetryDue("8001", 16106));
    EXPECT_TRUE(QueryAccountInfo(client.get(), row));
    ASSERT_EQ(TradingCodeTable.GetCount(), 1);
    EXPECT_EQ(TradingCodeTable.Get(1716, 0), "new");
    EXPECT_TRUE(TestAccountFlag(kFlagTradingCodes, row));
}

TEST_F(AccountQueriesTest, RefusedTradingCodeQueryIsFinalButKeepsCodes) {
    TradingCodeTable.Create(kTradingCodeLayout);
    AddRow(TradingCodeTable, {{605, "8001"}, {1716, "old"}});
    server.Script(16106, {{{507, "-3"}, {508, "refused"}}});
    EXPECT_TRUE(QueryTradingCodes(client.get(), "8001"));
    EXPECT_EQ(TradingCodeTable.GetCount(), 1);
    EXPECT_TRUE(IsQueryRetryDue("8001", 16106));
}

TEST_F(AccountQueriesTest, FundsRowsAreKeyedByAccountAndCurrency) {
    server.Script(16108, {{{507, "0"}, {716, "F1"}, {511, "RMB"}, {619, "100.5"}}});
    EXPECT_TRUE(QueryFunds(client.get(), "8001"));
    EXPECT_EQ(Sent(16108, 739), "1");
    server.Script(16108, {{{507, "0"}, {716, "F1"}, {511, "RMB"}, {619, "200"}},
                          {{507, "0"}, {716, "F1"}, {511, "USD"}, {619, "7"}}});
    EXPECT_TRUE(QueryFunds(client.get(), "8001"));
    ASSERT_EQ(FundsTable.GetCount(), 2);
    const int rmb = FundsTable.Find(763, "F1|RMB");
    ASSERT_GE(rmb, 0);
    EXPECT_DOUBLE_EQ(FundsTable.GetDouble(619, rmb), 200.0);
    EXPECT_EQ(FundsTable.Get(605, rmb), "8001");
}

TEST_F(AccountQueriesTest, BankAccountsTakeNamesFromTheTables) {
    BuildCurrencyTable();
    server.Script(12549, {{{507, "0"}, {692, "B1"}, {511, "USD"}, {693, "6222"}}});
    EXPECT_EQ(QueryBankAccounts(client.get(), row), 1);
    EXPECT_EQ(Sent(12549, 598), "<absent>");  // the customer number only
    ASSERT_EQ(BankAccountTable.GetCount(), 1);
    EXPECT_EQ(BankAccountTable.Get(514, 0), "美元");
    EXPECT_TRUE(TestAccountFlag(kFlagBankAccounts, row));
}

TEST_F(AccountQueriesTest, LinkedClientsAndGroups) {
    server.Script(16425, {{{507, "0"}, {710, "0"}, {1837, "12"}}});
    server.Script(16429, {{{507, "0"}, {605, "8001"}, {613, "甲"}, {1837, "12"}},
                          {{507, "0"}, {605, "8002"}, {613, "乙"}, {1837, "12"}}});
    server.Script(16433, {{{507, "0"}, {1839, "1"}, {1840, "2"}},
                          {{507, "-1"}, {508, "error"}},
                          {{1839, "2"}, {1840, "1"}}});
    server.Script(16437, {{{507, "0"}, {605, "8002"}, {1839, "1"}}});
    LinkedClientTable.Create(kLinkedClientLayout);
    AddRow(LinkedClientTable, {{605, "7777"}, {1837, "5"}});
    EXPECT_TRUE(QueryLinkedClients(client.get(), row));
    EXPECT_EQ(AccountTable.GetLong(1837, row), 12);
    EXPECT_TRUE(TestAccountFlag(kFlagLinkNumber, row));
    ASSERT_EQ(LinkedClientTable.GetCount(), 2);  // the other link's client and 8002, not itself
    EXPECT_EQ(LinkedClientTable.Get(605, 0), "7777");
    EXPECT_EQ(LinkedClientTable.Get(605, 1), "8002");
    ASSERT_EQ(TradingGroupTable.GetCount(), 2);  // the error row is not a group
    EXPECT_EQ(TradingGroupTable.Get(613, 0), "按总数下单");
    EXPECT_EQ(TradingGroupTable.Get(613, 1), "按基数下单");
    EXPECT_EQ(GroupMemberTable.GetCount(), 1);

    server.Script(16425, {{{507, "0"}, {710, "1"}, {1837, "12"}}});
    AddAccountService(8 | 64, row);
    EXPECT_EQ(QueryAccountLinkNumber(client.get(), row), 0);
    EXPECT_EQ(GetAccountServices(row), 64);
}

TEST_F(AccountQueriesTest, AccountInfoActivatesAndRunsTheFollowUps) {
    SetAccountQueryTexts("V1.0", "machine", "terminal");
    server.Script(16468, {{{507, "1"},
                           {613, "甲乙"},
                           {570, "72"},
                           {964, "注意"},
                           {1831, "20261209"},
                           {9020, "1"},
                           {1832, "20261208"}}});
    server.Script(16106, {{{507, "0"}, {1716, "c1"}}});
    server.Script(16108, {{{507, "0"}, {716, "F"}, {511, "RMB"}}});
    EXPECT_TRUE(QueryAccountInfo(client.get(), row));
    EXPECT_EQ(Sent(16468, 3072), "V1.0");
    EXPECT_EQ(Sent(16468, 7153), "1");
    EXPECT_TRUE(TestAccountFlag(kFlagActive | 0, row));
    EXPECT_TRUE(TestAccountFlag(kFlagBillPending, row));
    EXPECT_TRUE(TestAccountFlag(1 << 14, row));
    EXPECT_TRUE(TestAccountFlag(kFlagLoginNotice, row));
    EXPECT_TRUE(TestAccountFlag(kFlagTradingCodes, row));
    EXPECT_TRUE(TestAccountFlag(kFlagFunds, row));
    EXPECT_EQ(AccountTable.Get(613, row), "甲乙");
    EXPECT_EQ(GetAccountServices(row), 72);
    ASSERT_TRUE(server.WaitForRequests(4, std::chrono::seconds(5)));
    EXPECT_EQ(Sent(16406, 1332), "14");
    EXPECT_EQ(Sent(16406, 1777), "terminal");
    EXPECT_EQ(TradingCodeTable.GetCount(), 1);
    EXPECT_FALSE(QueryAccountInfo(client.get(), row));  // everything done once
}

TEST_F(AccountQueriesTest, AccountInfoAppendsTodaysNoticesOnce) {
    const SystemTime now = GetCurrentSystemTime();
    const int32_t today = now.year * 10000 + now.month * 100 + now.day;
    {
        CRandomMassFile file;
        const std::string path = GetAccountRmfPath("8001");
        file.SetFilename(path.c_str());
        const std::string notice = platform::Utf8ToGbk("1219=09:00:00|1777=今日通知|");
        ASSERT_NE(file.WriteRandomMass(static_cast<uint32_t>(today + kNoticeDayOffset),
                                       notice.data(), static_cast<int32_t>(notice.size())),
                  0);
    }
    SetAccountFlag(kFlagInfoAsked | kFlagActive | kFlagLoginNotice | kFlagTradingCodes |
                       kFlagFunds,
                   row);
    QueryAccountInfo(client.get(), row);
    EXPECT_TRUE(TestAccountFlag(kFlagNotices, row));
    ASSERT_EQ(NoticeTable.GetCount(), 1);
    EXPECT_EQ(NoticeTable.Get(1777, 0), "今日通知");
    EXPECT_FALSE(QueryAccountInfo(client.get(), row));
    EXPECT_EQ(NoticeTable.GetCount(), 1);
}

// The statement comes from the worker's copy, then the data file, then the server; a copy on
// disk is not trusted while the day's statement still awaits confirmation.
TEST_F(AccountQueriesTest, SettlementBillFromTheWorkerTheFileOrTheServer) {
    AccountTable.Set(1831, "20261209", row);
    SetWorkerStatementText("worker");
    EXPECT_EQ(LoadSettlementBill(client.get(), ""), "worker");
    EXPECT_EQ(LoadSettlementBill(client.get(), "2026.12.09"), "worker");
    EXPECT_EQ(RequestsOf(16169), 0);
    SetWorkerStatementText("");

    server.Script(16169, {{{507, "1"}, {1777, "八日账单"}}});
    EXPECT_EQ(LoadSettlementBill(client.get(), "2026.12.08"), "八日账单\r\n");
    EXPECT_EQ(Sent(16169, 605), "8001");
    EXPECT_EQ(Sent(16169, 1831), "20261208");
    server.Script(16169, {{{507, "1"}, {1777, "changed"}}});
    EXPECT_EQ(LoadSettlementBill(client.get(), "20261208"), "八日账单\r\n");  // kept on disk
    EXPECT_EQ(RequestsOf(16169), 1);

    EXPECT_EQ(LoadSettlementBill(client.get(), ""), "changed\r\n");  // the day's: asked, kept
    SetAccountFlag(kFlagBillPending, row);
    server.Script(16169, {{{507, "1"}, {1777, "confirmed"}}});
    EXPECT_EQ(LoadSettlementBill(client.get(), ""), "confirmed\r\n");
    EXPECT_EQ(RequestsOf(16169), 3);

    // Neither a plausible date nor an answer: asked each time, nothing kept.
    server.Script(16169, {{{507, "-1"}, {508, "没有账单"}}});
    EXPECT_EQ(LoadSettlementBill(client.get(), "1999.01.01"), "");
    EXPECT_EQ(LoadSettlementBill(client.get(), "1999.01.01"), "");
    EXPECT_EQ(RequestsOf(16169), 5);
}

TEST_F(AccountQueriesTest, InactiveAnswerLeavesTheAccountInactive) {
    server.Script(16468, {{{507, "0"}, {508, "no"}}});
    EXPECT_TRUE(QueryAccountInfo(client.get(), row));
    EXPECT_FALSE(TestAccountFlag(kFlagActive, row));
    EXPECT_FALSE(QueryAccountInfo(client.get(), row));
}

TEST_F(AccountQueriesTest, NotifiedFundsAreRefreshedAndOwedWhenUnanswered) {
    SetAccountFlag(kFlagActive, row);
    SetAccountNotify(kNotifyFunds, row);
    server.InjectFault(16108, Fault{FaultKind::Close});
    EXPECT_FALSE(RefreshNotifiedFunds(client.get()));
    EXPECT_TRUE(TestAccountNotify(kNotifyFunds, row));
    server.ClearFault(16108);
    server.Script(16108, {{{507, "0"}, {716, "F"}, {511, "RMB"}}});
    Connect();
    EXPECT_TRUE(RefreshNotifiedFunds(client.get()));
    EXPECT_FALSE(TestAccountNotify(kNotifyFunds, row));
}

TEST_F(AccountQueriesTest, LogoutSendsTheRequestOnlyAfterTheLoginNotice) {
    const int other = AddAccount(2, "8002", nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(LogoutAccount(client.get(), other));
    EXPECT_EQ(Sent(16338, 605), "<absent>");
    server.Script(16338, {{{507, "0"}}});
    SetAccountFlag(kFlagLoginNotice | kFlagActive, row);
    EXPECT_TRUE(LogoutAccount(client.get(), -1));
    EXPECT_EQ(Sent(16338, 605), "8001");
    EXPECT_EQ(Sent(16338, 7153), "1");
    EXPECT_EQ(AccountTable.GetCount(), 0);
    EXPECT_EQ(GetCurrentAccountIndex(), -1);
}

}  // namespace
}  // namespace tradedata

namespace tradedata {
namespace {

TEST_F(AccountQueriesTest, DictionariesLoadByCategory) {
    server.Script(15006, {{{507, "0"}, {582, "0"}, {516, "0"}, {642, "未申报"}}});
    server.Script(16200, {{{507, "0"}, {582, "1"}, {516, "1"}, {642, "开仓"}}});
    LoadDictionaries(client.get());
    EXPECT_EQ(CurrencyTable.GetCount(), 3);
    EXPECT_EQ(GetOrderStateText(0), "未申报");
    EXPECT_EQ(GetDictTextByCharCode("YZWTLB", "0"), "未申报");
    EXPECT_EQ(GetOpenCloseText(1), "开仓");
    EXPECT_EQ(GetOrderTypeText(1), "开仓");
    EXPECT_EQ(DictionaryTable.GetCount(), 5);
    const std::size_t before = server.Requests().size();
    LoadDictCategory(client.get(), "DDLX");  // present: nothing asked
    EXPECT_EQ(server.Requests().size(), before);
    server.InjectFault(16200, Fault{FaultKind::Close});
    LoadDictCategory(client.get(), "DTLPZT");
    EXPECT_EQ(DictionaryTable.GetCount(), 5);
    EXPECT_EQ(GetDictText("DTLPZT", 1), "1");
}

}  // namespace
}  // namespace tradedata
