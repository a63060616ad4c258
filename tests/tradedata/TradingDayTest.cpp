// The client's own queries against the test server's built-in trading day: logins of two
// accounts, their codes, funds, bank accounts, links and groups, the dictionaries, the logout,
// and reference tables loaded from the day that the contract lookup then finds.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <utility>

#include "comm/FixApiClient.h"
#include "platform/core/Clock.h"
#include "tests/tradedata/ServerFixture.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/TradeRequest.h"
#include "tradedata/TradingTime.h"

namespace tradedata {
namespace {

constexpr const char* kZhang = "000010086001";  // link 12, statement to confirm
constexpr const char* kLi = "000010086002";     // no link

class TradingDayTest : public testing::ServerTest {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        ResetQueryRetries();
        server.EnableTradingDay();
        StartAndConnect();
        SetAccountQueryTexts("V6.1", "machine", "terminal");
    }
    void TearDown() override {
        Disconnect();
        ResetQueryRetries();
        testing::ResetGlobalTables();
    }
    int Login(const char* khh, const char* password) {
        const int row = AddAccount(1, khh, nullptr, nullptr, password, nullptr);
        if (GetMainAccountIndex() < 0) SetLoginAccount(row);
        return row;
    }
    // Re-creates the table and appends every answer row of the function, as the reference
    // loaders do.
    int LoadReference(CFixRecord& table, const tagFIXHEADERINFO* layout, int32_t function,
                      std::initializer_list<std::pair<int32_t, const char*>> fields) {
        CFixRecord fresh;
        fresh.Create(layout);
        auto request = NoltComm::CTradeRequest::Create(client.get());
        request->SetFunction(static_cast<uint32_t>(function));
        for (const auto& [tag, value] : fields) request->SetString(tag, value);
        if (!request->Send()) return -1;
        while (request->NextRow())
            if (request->GetLong(507) >= 0) request->AppendRowTo(&fresh, true);
        ReplaceTableWhole(table, fresh);
        return table.GetCount();
    }

    platform::ManualClock clock;
    platform::ScopedClockSource source{clock};
};

TEST_F(TradingDayTest, TwoLoginsFillTheAccountTables) {
    const int zhang = Login(kZhang, "123456");
    EXPECT_TRUE(QueryAccountInfo(client.get(), zhang));
    EXPECT_EQ(AccountTable.Get(613, zhang), "张三");
    EXPECT_EQ(AccountTable.Get(697, zhang), "0101");
    EXPECT_EQ(AccountTable.Get(1831, zhang), "20261209");
    EXPECT_EQ(AccountTable.Get(3001, zhang), "ZS0001");
    EXPECT_EQ(GetAccountServices(zhang), 104);  // linked clients, quotes, bank
    for (int32_t bit :
         {kFlagActive, kFlagBillPending, 1 << 14, kFlagLoginNotice, kFlagTradingCodes, kFlagFunds})
        EXPECT_TRUE(TestAccountFlag(bit, zhang)) << bit;
    ASSERT_EQ(TradingCodeTable.GetCount(), 4);
    for (int r = 0; r < 4; ++r) EXPECT_EQ(TradingCodeTable.Get(605, r), kZhang);
    EXPECT_EQ(TradingCodeTable.Get(1716, TradingCodeTable.Find(599, "ZZ")), "31001234");
    ASSERT_EQ(FundsTable.GetCount(), 2);
    const int rmb = FundsTable.Find(763, "000010086001|RMB");
    ASSERT_GE(rmb, 0);
    EXPECT_DOUBLE_EQ(FundsTable.GetDouble(619, rmb), 850000.0);
    EXPECT_DOUBLE_EQ(FundsTable.GetDouble(1779, rmb), 1012345.67);
    ASSERT_TRUE(server.WaitForRequests(4, std::chrono::seconds(5)));
    EXPECT_EQ(RequestsOf(testserver::kFunctionAccountNotice), 1);

    const int li = Login(kLi, "654321");
    EXPECT_TRUE(QueryAccountInfo(client.get(), li));
    EXPECT_TRUE(TestAccountFlag(kFlagActive, li));
    EXPECT_FALSE(TestAccountFlag(kFlagBillPending, li));
    EXPECT_FALSE(TestAccountFlag(1 << 14, li));
    EXPECT_EQ(TradingCodeTable.GetCount(), 6);
    EXPECT_EQ(FundsTable.GetCount(), 3);
    EXPECT_GE(FundsTable.Find(763, "000010086002|RMB"), 0);

    // Everything once: no further work, and the status answer names the customer.
    EXPECT_FALSE(QueryAccountInfo(client.get(), zhang));
    EXPECT_FALSE(QueryAccountInfo(client.get(), li));
    EXPECT_EQ(QueryAccountStatus(li), 0);
    EXPECT_EQ(AccountTable.Get(613, li), "李四");
}

TEST_F(TradingDayTest, WrongPasswordOrUnknownCustomerIsRefused) {
    const int row = Login(kZhang, "000000");
    EXPECT_TRUE(QueryAccountInfo(client.get(), row));
    EXPECT_FALSE(TestAccountFlag(kFlagActive, row));
    EXPECT_EQ(RequestsOf(testserver::kFunctionTradingCodes), 0);
    EXPECT_FALSE(QueryAccountInfo(client.get(), row));  // a refusal is final

    // A refusal is an answer: nothing to retry, nothing written.
    EXPECT_TRUE(QueryTradingCodes(client.get(), "99999999"));
    EXPECT_TRUE(IsQueryRetryDue("99999999", testserver::kFunctionTradingCodes));
    EXPECT_EQ(TradingCodeTable.GetCount(), 0);
    EXPECT_TRUE(QueryFunds(client.get(), "99999999"));
    EXPECT_EQ(FundsTable.GetCount(), 0);
}

TEST_F(TradingDayTest, BankAccountsOfEachCustomer) {
    BuildCurrencyTable();
    const int zhang = Login(kZhang, "123456");
    const int li = Login(kLi, "654321");
    EXPECT_EQ(QueryBankAccounts(client.get(), zhang), 2);
    EXPECT_EQ(QueryBankAccounts(client.get(), li), 1);
    ASSERT_EQ(BankAccountTable.GetCount(), 3);
    EXPECT_EQ(BankAccountTable.Get(514, 0), "人民币");
    EXPECT_EQ(BankAccountTable.Get(514, 1), "美元");
    EXPECT_EQ(BankAccountTable.Get(693, 1), "6013820000123456");
    EXPECT_EQ(BankAccountTable.Get(605, 2), kLi);
    EXPECT_TRUE(TestAccountFlag(kFlagBankAccounts, li));
    // Asked again: the customer's rows are replaced, not doubled.
    EXPECT_EQ(QueryBankAccounts(client.get(), zhang), 2);
    EXPECT_EQ(BankAccountTable.GetCount(), 3);
}

TEST_F(TradingDayTest, EmptyListsAndRefusalsAreFinalAnswers) {
    BuildCurrencyTable();
    testserver::TradingDay day = testserver::SampleTradingDay();
    const int li = Login(kLi, "654321");
    ASSERT_TRUE(QueryTradingCodes(client.get(), kLi));
    ASSERT_EQ(TradingCodeTable.GetCount(), 2);
    for (auto& account : day.accounts) {
        if (account.khh != kLi) continue;
        account.bankAccounts.clear();
        account.tradingCodes.clear();
    }
    server.EnableTradingDay(day);
    // The customer has no codes any more: an empty list takes the old ones away.
    EXPECT_TRUE(QueryTradingCodes(client.get(), kLi));
    EXPECT_EQ(TradingCodeTable.GetCount(), 0);
    // An empty list is a complete answer: the bit is set and nothing is retried.
    EXPECT_EQ(QueryBankAccounts(client.get(), li), 0);
    EXPECT_TRUE(TestAccountFlag(kFlagBankAccounts, li));
    EXPECT_EQ(BankAccountTable.GetCount(), 0);

    // A refused category is no category: its codes show as themselves and it is asked again.
    LoadDictCategory(client.get(), "NOPE");
    EXPECT_EQ(GetDictText("NOPE", 7), "7");
    LoadDictCategory(client.get(), "NOPE");
    EXPECT_EQ(RequestsOf(16200), 2);

    // A refused status query is a failure, not "normal".
    const int stranger = Login("99999999", "000000");
    EXPECT_EQ(QueryAccountStatus(stranger), -1);
}

TEST_F(TradingDayTest, LinkedClientAndTradingGroups) {
    const int zhang = Login(kZhang, "123456");
    const int li = Login(kLi, "654321");
    EXPECT_TRUE(QueryLinkedClients(client.get(), zhang));
    EXPECT_EQ(AccountTable.GetLong(1837, zhang), 12);
    ASSERT_EQ(LinkedClientTable.GetCount(), 1);  // the account itself is not listed
    EXPECT_EQ(LinkedClientTable.Get(605, 0), "000010086003");
    EXPECT_EQ(LinkedClientTable.Get(613, 0), "王五");
    EXPECT_EQ(LinkedClientTable.GetLong(1837, 0), 12);
    ASSERT_EQ(TradingGroupTable.GetCount(), 2);
    EXPECT_EQ(TradingGroupTable.Get(3031, 0), "铜组");
    EXPECT_EQ(TradingGroupTable.Get(613, 0), "按总数下单");
    EXPECT_EQ(TradingGroupTable.Get(613, 1), "按基数下单");
    ASSERT_EQ(GroupMemberTable.GetCount(), 3);
    EXPECT_EQ(GroupMemberTable.GetLong(591, 1), 2);
    EXPECT_EQ(GroupMemberTable.GetLong(684, 1), 10);

    AddAccountService(8 | 64, li);
    EXPECT_TRUE(QueryLinkedClients(client.get(), li));
    EXPECT_EQ(AccountTable.GetLong(1837, li), 0);
    EXPECT_EQ(GetAccountServices(li), 64);
    EXPECT_EQ(LinkedClientTable.GetCount(), 1);
}

TEST_F(TradingDayTest, DictionariesGiveChineseTexts) {
    LoadDictionaries(client.get());
    EXPECT_EQ(GetOrderStateText(6), "全部成交");
    EXPECT_EQ(GetOrderStateText(10), "等待人工申报");
    EXPECT_EQ(GetTransferKindText("2"), "期货转银行");
    EXPECT_EQ(GetOrderTypeText(1), "市价单");
    EXPECT_EQ(GetOpenCloseText(3), "平今");
    EXPECT_EQ(GetOrderKindText(1, 0, 0, 0), "套利委托");
    EXPECT_EQ(GetOpenCloseItems("1|2"), "1,开仓|2,平仓");
    LoadDictCategory(client.get(), "DTLPZT");
    EXPECT_EQ(GetDictText("DTLPZT", 1), "已绑定");
    EXPECT_EQ(GetDictText("DTLPZT|QHKPFX", 4), "强平");
}

TEST_F(TradingDayTest, LogoutTakesTheCustomersCodesAndKeepsTheOthers) {
    const int zhang = Login(kZhang, "123456");
    const int li = Login(kLi, "654321");
    ASSERT_TRUE(QueryAccountInfo(client.get(), zhang));
    ASSERT_TRUE(QueryAccountInfo(client.get(), li));
    ASSERT_EQ(TradingCodeTable.GetCount(), 6);
    SetCurrentAccount(li);
    EXPECT_TRUE(LogoutAccount(client.get(), zhang));
    EXPECT_EQ(RequestsOf(testserver::kFunctionLogout), 1);
    ASSERT_EQ(TradingCodeTable.GetCount(), 2);
    EXPECT_EQ(TradingCodeTable.Get(605, 0), kLi);
    EXPECT_EQ(FundsTable.GetCount(), 1);
    EXPECT_EQ(GetCurrentKhh(), kLi);
}

TEST_F(TradingDayTest, ReferenceTablesFromTheDayServeTheLookups) {
    ASSERT_EQ(LoadReference(ExchangeTable, kExchangeLayout, testserver::kFunctionExchanges,
                            {{9020, "0"}}),
              4);
    ASSERT_GT(LoadReference(ProductTable, kProductLayout, testserver::kFunctionProducts, {}), 10);
    ASSERT_GE(LoadReference(FuturesContractTable, kFuturesContractLayout,
                            testserver::kFunctionContracts, {{739, "1"}, {9020, "1"}}),
              25);
    ASSERT_GT(LoadReference(CombinationContractTable, kCombinationContractLayout,
                            testserver::kFunctionCombinations, {{9020, "2"}, {651, ""}}),
              0);
    ASSERT_GT(LoadReference(OptionContractTable, kOptionContractLayout,
                            testserver::kFunctionOptions, {{9020, "1"}}),
              0);

    EXPECT_EQ(GetExchangeName("ZZ"), "郑商所");
    EXPECT_EQ(GetExchangeFullName("ZJ"), "中国金融期货交易所");
    EXPECT_TRUE(ExchangeSupportsOrderType("DL", 4));
    EXPECT_FALSE(ExchangeSupportsOrderType("SQ", 4));
    EXPECT_EQ(GetNightSessionStart("SQ"), 210000);
    EXPECT_EQ(GetProductName("cu", "SQ"), "铜");
    double unit = 0;
    EXPECT_EQ(GetProductUnit("SQ", "cu", &unit), 1);
    EXPECT_DOUBLE_EQ(unit, 1.0);

    const int cu = FindFuturesContract("cu2701");
    ASSERT_GE(cu, 0);
    EXPECT_DOUBLE_EQ(FuturesContractTable.GetDouble(594, cu), 10.0);
    EXPECT_GT(FuturesContractTable.GetDouble(706, cu), FuturesContractTable.GetDouble(813, cu));
    EXPECT_LT(FuturesContractTable.GetDouble(703, cu), FuturesContractTable.GetDouble(813, cu));
    EXPECT_GT(FuturesContractTable.GetLong(843, cu), 0);
    EXPECT_EQ(FuturesContractTable.Get(722, cu), "铜2701");
    int32_t kind = -1;
    const RowRef spread = FindContractKind("SP m2701&m2705", &kind);
    ASSERT_GE(spread, 0);
    EXPECT_EQ(kind, kCombinationKind);
    EXPECT_EQ(GetRowString(1392, spread), "m2701");
    const RowRef option = FindContractKind("IO2701-C-3900", &kind);
    ASSERT_GE(option, 0);
    EXPECT_EQ(kind, kOptionKind);
    EXPECT_DOUBLE_EQ(GetRowDouble(1569, option), 3900.0);
    EXPECT_EQ(OptionContractTable.Get(719, option & kRowMask), "IO2701");

    // A quote request for the row answers the row's own quote.
    auto request = NoltComm::CTradeRequest::Create(client.get());
    request->SetFunction(testserver::kFunctionQuote);
    request->SetString(599, "SQ");
    request->SetString(719, "cu2701");
    ASSERT_TRUE(request->Send());
    ASSERT_TRUE(request->NextRow());
    EXPECT_GT(request->GetLong(507), 0);
    EXPECT_DOUBLE_EQ(request->GetDouble(729), FuturesContractTable.GetDouble(729, cu));
    EXPECT_DOUBLE_EQ(request->GetDouble(850), FuturesContractTable.GetDouble(850, cu));
}

}  // namespace
}  // namespace tradedata
