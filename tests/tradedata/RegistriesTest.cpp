// Tests of the notification-window list, the quote subscriptions and their frame command, the
// contract interest marks and the locked-order list.
#include "tradedata/Registries.h"

#include <gtest/gtest.h>

#include <latch>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/ContractLookup.h"

namespace tradedata {
namespace {

using testing::AddRow;

class RegistriesTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        SetWorkplaceWindow(0x77);
        SetPostFunction([this](WindowId w, uint32_t m, uintptr_t wp, intptr_t lp) {
            std::lock_guard lock(mutex);
            posts.emplace_back(w, m, wp, lp);
        });
    }
    void TearDown() override {
        SetPostFunction(nullptr);
        SetWorkplaceWindow(0);
        for (WindowId w : GetNotifyWindows()) RemoveNotifyWindow(w);
        testing::ResetGlobalTables();
    }
    std::size_t PostCount() {
        std::lock_guard lock(mutex);
        return posts.size();
    }
    std::mutex mutex;
    std::vector<std::tuple<WindowId, uint32_t, uintptr_t, intptr_t>> posts;
};

TEST_F(RegistriesTest, NotifyWindowsKeepOrderWithoutDuplicates) {
    EXPECT_EQ(AddNotifyWindow(10), 0);
    EXPECT_EQ(AddNotifyWindow(20), 1);
    EXPECT_EQ(AddNotifyWindow(10), 0);
    EXPECT_EQ(FindNotifyWindow(20), 1);
    RemoveNotifyWindow(10);
    RemoveNotifyWindow(99);
    EXPECT_EQ(FindNotifyWindow(10), -1);
    EXPECT_EQ(FindNotifyWindow(20), 0);
    EXPECT_EQ(GetNotifyWindows(), std::vector<WindowId>{20});
}

TEST_F(RegistriesTest, SubscriptionsPerWindowPostOncePerNewPair) {
    QuoteSubscriptionTable.Create(kQuoteSubscriptionLayout);
    EXPECT_EQ(FormatWindowNode(0x1A2B), "00001A2B");
    SubscribeQuote("cu2501", 0x1A2B);
    ASSERT_EQ(PostCount(), 1u);
    EXPECT_EQ(posts[0],
              std::make_tuple(WindowId{0x77}, kWmFrameCommand, uintptr_t{3}, intptr_t{0}));
    SubscribeQuote("cu2501", 0x1A2B);  // present: nothing posted
    EXPECT_EQ(PostCount(), 1u);
    SubscribeQuote("cu2501", 0x2000);
    EXPECT_EQ(PostCount(), 2u);
    SubscribeQuote("", 0x2000);
    SubscribeQuote(nullptr, 0x2000);
    EXPECT_EQ(QuoteSubscriptionTable.GetCount(), 2);
    EXPECT_EQ(QuoteSubscriptionTable.Get(641, 0), "00001A2B");

    UnsubscribeQuote("cu2501", 0x1A2B);
    ASSERT_EQ(QuoteSubscriptionTable.GetCount(), 1);
    EXPECT_EQ(QuoteSubscriptionTable.Get(641, 0), "00002000");
    UnsubscribeQuote("cu2501", 0x1A2B);
    EXPECT_EQ(QuoteSubscriptionTable.GetCount(), 1);
    EXPECT_EQ(PostCount(), 2u);
}

TEST_F(RegistriesTest, ContractFlagsUpdateUnderTheMask) {
    FuturesContractTable.Create(kFuturesContractLayout);
    AddRow(FuturesContractTable, {{719, "cu2501"}, {644, "768"}});  // 0x300
    struct Case {
        uint32_t mask, value;
        bool changed;
        int32_t after;
    };
    const Case cases[] = {
        {0x200, 0x200, false, 0x300},
        {0x100, 0x000, true, 0x200},
        {0x400, 0x401, true, 0x601},  // value bits outside the mask are set too
        {0xFF00, 0, true, 0x1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UpdateContractFlags(c.mask, c.value, 0), c.changed);
        EXPECT_EQ(FuturesContractTable.GetLong(644, 0), c.after);
    }
    EXPECT_TRUE(UpdateContractFlags(0x100, 0x100, -1));
    EXPECT_FALSE(UpdateContractFlags(0x100, 0, -1));
}

TEST_F(RegistriesTest, MarksFromManyThreadsAllLand) {
    FuturesContractTable.Create(kFuturesContractLayout);
    AddRow(FuturesContractTable, {{719, "cu2501"}});
    constexpr int kThreads = 8;
    std::latch start(kThreads);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                start.arrive_and_wait();
                const uint32_t bit = 0x100u << t;
                for (int i = 0; i < 300; ++i) {
                    UpdateContractFlags(bit, bit, 0);
                    if (i + 1 < 300) UpdateContractFlags(bit, 0, 0);
                }
            });
    }
    EXPECT_EQ(FuturesContractTable.GetLong(644, 0), 0xFF00);
}

TEST_F(RegistriesTest, ClearAndFlagWholeTables) {
    FuturesContractTable.Create(kFuturesContractLayout);
    AddRow(FuturesContractTable, {{719, "a"}, {644, "257"}});
    AddRow(FuturesContractTable, {{719, "b"}, {644, "256"}});
    FuturesContractTable.GetMemRecord()->Sort(FuturesContractTable.FindIndex(719), true);
    EXPECT_EQ(ClearFlagsInAllRows(FuturesContractTable, 0x100), 2);
    EXPECT_EQ(FuturesContractTable.GetLong(644, 0), 1);
    EXPECT_EQ(FuturesContractTable.GetLong(644, 1), 0);

    CFixRecord positions;
    positions.Create(kQuoteSubscriptionLayout);
    AddRow(positions, {{719, "b"}});
    AddRow(positions, {{719, "unknown"}});
    EXPECT_EQ(FlagTableContracts(positions, 0x200), 2);
    EXPECT_EQ(FuturesContractTable.GetLong(644, 1), 0x200);
    EXPECT_EQ(FuturesContractTable.GetLong(644, 0), 1);
}

TEST_F(RegistriesTest, LockedOrdersByExchangeAndNumber) {
    SetLockedOrders({"SQ12", "DL7"});
    EXPECT_EQ(FindLockedOrder("DL7"), 1);
    EXPECT_EQ(FindLockedOrder("SQ1"), -1);
    RemoveLockedOrder("SQ12");
    EXPECT_EQ(FindLockedOrder("DL7"), 0);
    SetLockedOrders({});
}

TEST_F(RegistriesTest, PostsWithoutAPostFunctionAreDropped) {
    SetPostFunction(nullptr);
    QuoteSubscriptionTable.Create(kQuoteSubscriptionLayout);
    SubscribeQuote("x", 1);
    EXPECT_EQ(PostCount(), 0u);
    EXPECT_EQ(QuoteSubscriptionTable.GetCount(), 1);
}

}  // namespace
}  // namespace tradedata
