// The push dispatcher's routing by handle and the account range of the trade subscriptions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comm/FixRequest.h"
#include "market/feed/PushDispatcher.h"
#include "market/feed/PushSubscriptions.h"
#include "tests/market/feed/TradePushFixture.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"

namespace market::feed::testing {
namespace {

// Names the handler each push reached.
class RecordingHandlers : public PushHandlers {
public:
    void OnQuotePush(const PushFields&) override { calls.push_back("quote"); }
    void OnTradeReturn(const PushFields&) override { calls.push_back("trade"); }
    void OnOrderConfirm(const PushFields&) override { calls.push_back("confirm"); }
    void OnCombinationResult(const PushFields&) override { calls.push_back("combination"); }
    void OnSystemNotice(const PushFields&) override { calls.push_back("notice"); }
    void OnLoginElsewhere(const PushFields&) override { calls.push_back("elsewhere"); }
    void OnOptionResult(const PushFields&) override { calls.push_back("option"); }
    std::vector<std::string> calls;
};

TEST(PushDispatcherTest, RoutesEachPushByItsHandle) {
    PushHandles handles;
    handles.Set(PushTopic::kQuote, 7);
    handles.Set(PushTopic::kTradeReturn, 11);
    handles.Set(PushTopic::kOrderConfirm, 12);
    handles.Set(PushTopic::kSystemNotice, 13);
    handles.Set(PushTopic::kLoginElsewhere, 14);
    handles.Set(PushTopic::kOptionResult, 15);
    RecordingHandlers handlers;
    CPushDispatcher dispatcher(handles, handlers);
    struct Case {
        uint32_t handle;
        const char* kind;  // 1718 of the push, null for none
        const char* reached;
    };
    const Case cases[] = {
        {0, nullptr, "quote"},  // a packet without topic is a quote
        {7, nullptr, "quote"},      {11, nullptr, "trade"},  {12, nullptr, "confirm"},
        {12, "", "confirm"},        {12, "1", "confirm"},    {12, "10", "combination"},
        {12, "11", "combination"},  {12, "12", "confirm"},   {13, nullptr, "notice"},
        {14, nullptr, "elsewhere"}, {15, nullptr, "option"}, {99, nullptr, ""},
    };
    for (const Case& c : cases) {
        handlers.calls.clear();
        Items items = {{681, "1"}};
        if (c.kind != nullptr) items.push_back({1718, c.kind});
        const bool routed = dispatcher.Dispatch(c.handle, ParsedPushFields(Body(items)));
        EXPECT_EQ(routed, *c.reached != '\0') << c.handle;
        EXPECT_EQ(handlers.calls, *c.reached == '\0' ? std::vector<std::string>{}
                                                     : std::vector<std::string>{c.reached})
            << c.handle;
    }
}

TEST(PushDispatcherTest, WithoutAQuoteSubscriptionOnlyHandle0IsAQuote) {
    PushHandles handles;
    handles.Set(PushTopic::kTradeReturn, 11);
    RecordingHandlers handlers;
    CPushDispatcher dispatcher(handles, handlers);
    dispatcher.Dispatch(0, ParsedPushFields(""));
    dispatcher.Dispatch(11, ParsedPushFields(""));
    dispatcher.Dispatch(12, ParsedPushFields(""));
    EXPECT_EQ(handlers.calls, (std::vector<std::string>{"quote", "trade"}));
}

TEST(PushDispatcherTest, ACallbackForAConnectionNobodyAttachedIsDropped) {
    // No registry entry: nothing is read from the (never dereferenced) connection.
    CPushDispatcher::OnPushCallback(nullptr, 0, 0);
    auto* stranger = reinterpret_cast<NoltComm::CFixApiClient*>(0x10);
    CPushDispatcher::OnPushCallback(stranger, 5, 0);
    CPushDispatcher::OnPushCallback(stranger, 5, NoltComm::kPushCancelled);
    SUCCEED();
}

class AccountRangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        tradedata::testing::ResetGlobalTables();
        tradedata::AccountTable.Create(tradedata::kAccountLayout);
    }
    void TearDown() override { tradedata::testing::ResetGlobalTables(); }
    static int Add(int32_t category, const char* khh, const char* manager, bool active,
                   const char* link = "0") {
        const int row = tradedata::AddAccount(category, khh, "0101", "", "", nullptr);
        tradedata::AccountTable.Set(607, manager, row);
        tradedata::AccountTable.Set(1837, link, row);
        if (active) tradedata::SetAccountFlag(tradedata::kFlagActive, row);
        return row;
    }
};

TEST_F(AccountRangeTest, TheMainAccountItsClientsAndItsLinkOnceEachInTableOrder) {
    const int main = Add(1, "8001", "", true, "7001");
    Add(3, "9001", "8001", true);
    Add(3, "9002", "8001", true);
    Add(3, "9003", "8001", false);  // inactive
    Add(3, "9004", "8009", true);   // another manager's client
    Add(2, "7001", "", true);       // the linked account
    Add(2, "7002", "", true);       // another link
    Add(2, "9001", "", true);       // listed already
    tradedata::SetLoginAccount(main);
    EXPECT_EQ(BuildAccountRange(), "range(605:8001;9001;9002;7001)");
}

TEST_F(AccountRangeTest, WithoutALinkNoCategory2AccountIsListed) {
    const int main = Add(1, "8001", "", true);
    Add(2, "0", "", true);
    Add(2, "7001", "", true);
    tradedata::SetLoginAccount(main);
    EXPECT_EQ(BuildAccountRange(), "range(605:8001)");
}

TEST_F(AccountRangeTest, NoMainAccountNoRange) { EXPECT_EQ(BuildAccountRange(), ""); }

}  // namespace
}  // namespace market::feed::testing
