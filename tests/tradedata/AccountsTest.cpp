// Tests of the account rows: lookup, the bit fields under the table lock, the current and main
// account across a logout that rebuilds the table, and the linked accounts of the data file.
#include "tradedata/Accounts.h"

#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

#include "record/RandomMassFile.h"
#include "tests/tradedata/TradeDataFixture.h"

namespace tradedata {
namespace {

using testing::AddRow;

class AccountsTest : public ::testing::Test {
protected:
    void SetUp() override { testing::ResetGlobalTables(); }
    void TearDown() override { testing::ResetGlobalTables(); }
    int AddActive(int32_t category, const std::string& khh) {
        const int row = AddAccount(category, khh, "0001", "name", "pw", nullptr);
        SetAccountFlag(kFlagActive, row);
        return row;
    }
};

TEST_F(AccountsTest, AddFindsOrAppendsAndWritesGivenFields) {
    const int a = AddAccount(1, "1001", "01", "张三", "pw1", "fw1");
    EXPECT_EQ(AccountTable.GetFCount(), 21);
    EXPECT_EQ(AddAccount(1, "1001", nullptr, "李四", nullptr, nullptr), a);
    EXPECT_EQ(AccountTable.Get(613, a), "李四");
    EXPECT_EQ(AccountTable.Get(598, a), "pw1");  // a null argument leaves the field
    const int b = AddAccount(3, "1001", nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(FindAccount("1001", 0), a);
    EXPECT_EQ(FindAccount("1001", 3), b);
    EXPECT_EQ(FindAccount("1002", 0), -1);
    EXPECT_EQ(FindLoggedInAccount("1001", 0), -1);
    SetAccountFlag(kFlagActive, b);
    EXPECT_EQ(FindLoggedInAccount("1001", 0), b);
}

TEST_F(AccountsTest, FirstCurrentAccountAlsoBecomesMain) {
    const int a = AddAccount(1, "A", nullptr, nullptr, nullptr, nullptr);
    const int b = AddAccount(2, "B", nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(GetCurrentAccountIndex(), -1);
    SetCurrentAccount(5);  // out of range: ignored
    EXPECT_EQ(GetMainAccountIndex(), -1);
    SetCurrentAccount(a);
    SetCurrentAccount(b);
    EXPECT_EQ(GetCurrentAccountIndex(), b);
    EXPECT_EQ(GetMainAccountIndex(), a);
    EXPECT_EQ(GetCurrentKhh(), "B");
    EXPECT_EQ(GetMainKhh(), "A");
    SetLoginAccount(b);
    EXPECT_EQ(GetMainAccountIndex(), b);
}

TEST_F(AccountsTest, SelectByKhhPrefersActiveLinkedRows) {
    const int main = AddActive(1, "M");
    AddAccount(1, "C", nullptr, nullptr, nullptr, nullptr);
    const int linked = AddActive(3, "C");
    EXPECT_EQ(SelectAccountByKhh("C"), linked);
    ClearAccountFlag(kFlagActive, linked);
    EXPECT_EQ(SelectAccountByKhh("C"), main);  // the first active category-1 row
    ClearAccountFlag(kFlagActive, main);
    EXPECT_EQ(SelectAccountByKhh("C"), 0);
}

// The most serious fault this guards: logout rebuilds AccountTable, and a current account kept
// as a row number would then name another customer, so orders would go to the wrong account.
TEST_F(AccountsTest, LogoutOfAnotherAccountKeepsTheCurrentOne) {
    const int first = AddActive(1, "A");
    AddActive(2, "B");
    const int third = AddActive(2, "C");
    SetLoginAccount(first);
    SetCurrentAccount(third);
    ASSERT_EQ(GetCurrentKhh(), "C");

    RemoveLoggedOutAccount(FindAccount("B", 0));
    EXPECT_EQ(AccountTable.GetCount(), 2);
    EXPECT_EQ(GetCurrentKhh(), "C");
    EXPECT_EQ(GetCurrentAccountIndex(), FindAccount("C", 2));
    EXPECT_EQ(GetMainKhh(), "A");

    RemoveLoggedOutAccount(-1);  // the current account itself
    EXPECT_EQ(GetCurrentAccountIndex(), -1);
    EXPECT_EQ(GetCurrentKhh(), "");
    EXPECT_EQ(GetMainKhh(), "A");
    // With no current account, a negative row names nothing: nothing else goes.
    RemoveLoggedOutAccount(-1);
    EXPECT_EQ(AccountTable.GetCount(), 1);
}

TEST_F(AccountsTest, LogoutRemovesCodesAndFundsOnlyWithTheLastActiveRow) {
    const int one = AddActive(1, "A");
    AddActive(3, "A");
    AddActive(1, "B");
    TradingCodeTable.Create(kTradingCodeLayout);
    FundsTable.Create(kFundsLayout);
    for (const char* khh : {"A", "B"}) {
        AddRow(TradingCodeTable, {{605, khh}});
        AddRow(FundsTable, {{605, khh}});
    }
    RemoveLoggedOutAccount(one);  // A still has its category-3 row
    EXPECT_EQ(TradingCodeTable.GetCount(), 2);
    EXPECT_EQ(FundsTable.GetCount(), 2);
    RemoveLoggedOutAccount(FindAccount("A", 3));
    ASSERT_EQ(TradingCodeTable.GetCount(), 1);
    EXPECT_EQ(TradingCodeTable.Get(605, 0), "B");
    ASSERT_EQ(FundsTable.GetCount(), 1);
    EXPECT_EQ(FundsTable.Get(605, 0), "B");
    EXPECT_EQ(AccountTable.GetCount(), 1);
}

TEST_F(AccountsTest, BitFieldsAndTheirCurrentAccountFallback) {
    const int a = AddActive(1, "A");
    const int b = AddActive(2, "B");
    SetCurrentAccount(b);
    SetAccountFlag(kFlagPositionsLoaded, b);
    SetAccountNotify(kNotifyFunds | kNotifyPositions, 99);  // past the end: the current one
    EXPECT_TRUE(TestAccountNotify(kNotifyPositions, b));
    EXPECT_FALSE(TestAccountFlag(kFlagPositionsLoaded, b));  // value 32 clears bit 25
    EXPECT_FALSE(TestAccountNotify(kNotifyFunds, a));
    ClearAccountNotify(kNotifyFunds, -1);
    EXPECT_FALSE(TestAccountNotify(kNotifyFunds, b));
    SetAccountNotifyByKhh("A", kNotifyFunds);
    EXPECT_TRUE(TestAccountNotify(kNotifyFunds, a));
    SetAccountNotifyByKhh("nobody", kNotifyFunds);
    SetAccountUpdateByKhh("A", 4);
    EXPECT_TRUE(TestAccountUpdate(4, a));
    ClearAccountUpdate(4, a);
    EXPECT_FALSE(TestAccountUpdate(4, a));
    AddAccountService(8 | 64, a);
    RemoveAccountService(8, a);
    EXPECT_EQ(GetAccountServices(a), 64);
    EXPECT_TRUE(HasAccountService(64 | 1, a));
    EXPECT_EQ(GetAccountCategory(-5), 2);
}

// Push and worker threads set NOTIFY and FLAG bits on the same row at once; every bit must land.
TEST_F(AccountsTest, ConcurrentBitUpdatesLoseNoBit) {
    const int row = AddActive(1, "A");
    constexpr int kThreads = 8;
    std::latch start(kThreads);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                start.arrive_and_wait();
                for (int round = 0; round < 300; ++round) {
                    SetAccountNotify(1 << t, row);
                    SetAccountFlag(1 << (t + 2), row);
                    AddAccountService(1 << t, row);
                    SetAccountUpdate(1 << t, row);
                    if (round + 1 < 300) {
                        ClearAccountNotify(1 << t, row);
                        ClearAccountUpdate(1 << t, row);
                    }
                }
            });
        }
    }
    EXPECT_EQ(AccountTable.GetLong(9083, row), 0xFF);
    EXPECT_EQ(AccountTable.GetLong(9084, row), 0xFF);
    EXPECT_EQ(AccountTable.GetLong(570, row), 0xFF);
    EXPECT_EQ(AccountTable.GetLong(739, row), kFlagActive | (0xFF << 2));
}

TEST_F(AccountsTest, ExtraValueByKey) {
    const int row = AddActive(1, "A");
    EXPECT_EQ(GetAccountExtraValue("B", row), -1);
    AccountTable.Set(922, "A,1|B,22|BB,3", row);
    struct Case {
        const char* key;
        int32_t value;
    };
    for (const Case& c : {Case{"A", 1}, Case{"B", 22}, Case{"BB", 3}, Case{"C", -1}, Case{"", -1}})
        EXPECT_EQ(GetAccountExtraValue(c.key, row), c.value) << c.key;
}

TEST_F(AccountsTest, PadAccountNumberTo12) {
    std::string s = "123";
    PadAccountNumber(s);
    EXPECT_EQ(s, "000000000123");
    s = "1234567890123";
    PadAccountNumber(s);
    EXPECT_EQ(s, "1234567890123");
}

class LinkedAccountsTest : public AccountsTest {
protected:
    testing::SettingsSandbox settings;
};

// A list that shrank by two must not bring the removed accounts (and passwords) back.
TEST_F(LinkedAccountsTest, ShrunkListStaysShrunk) {
    const int main = AddActive(1, "880001");
    SetLoginAccount(main);
    for (const char* khh : {"L1", "L2", "L3", "L4"}) {
        const int row =
            AddAccount(3, khh, "0002", "客户", "secret-of-a-long-password-123", nullptr);
        AccountTable.Set(607, "880001", row);
    }
    EXPECT_EQ(SaveLinkedAccounts(), 4);
    RemoveLoggedOutAccount(FindAccount("L3", 3));
    RemoveLoggedOutAccount(FindAccount("L4", 3));
    EXPECT_EQ(SaveLinkedAccounts(), 2);

    RemoveLoggedOutAccount(FindAccount("L1", 3));
    RemoveLoggedOutAccount(FindAccount("L2", 3));
    ASSERT_EQ(AccountTable.GetCount(), 1);
    EXPECT_EQ(LoadLinkedAccounts(), 2);
    EXPECT_EQ(FindAccount("L3", 3), -1);
    EXPECT_EQ(FindAccount("L4", 3), -1);
    const int l2 = FindAccount("L2", 3);
    ASSERT_GE(l2, 0);
    EXPECT_EQ(AccountTable.Get(598, l2), "secret-of-a-long-password-123");
    EXPECT_EQ(AccountTable.Get(613, l2), "客户");
    EXPECT_EQ(AccountTable.Get(607, l2), "880001");

    // The password is not stored in clear.
    CRandomMassFile file;
    const std::string path = GetAccountRmfPath("880001");
    file.SetFilename(path.c_str());
    const std::string record = file.ReadRandomMass(19000200);
    EXPECT_EQ(record.find("secret"), std::string::npos);
    EXPECT_NE(record.find("605=L1|"), std::string::npos);
}

}  // namespace
}  // namespace tradedata
