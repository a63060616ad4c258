// The client's order submit, cancel and order queries against the test server's order book,
// end to end: the book's confirmation and trade pushes on a push connection, partial fills,
// cancels, refusals and held confirmations, and paging through a page of cancel entries.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "comm/FixApiClient.h"
#include "platform/core/Clock.h"
#include "tests/tradedata/ServerFixture.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/OrderBook.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/OrderQuery.h"
#include "tradedata/OrderSubmit.h"
#include "tradedata/Positions.h"
#include "tradedata/Registries.h"

namespace tradedata {
namespace {

using namespace std::chrono_literals;
using testing::AddRow;

constexpr const char* kKhh = "000010086001";  // the sample day's first account

int DropLine(std::string_view) { return 1; }

// Pushes as the push connection receives them: topic and the fields a test looks at.
struct PushLog {
    using Fields = std::map<int32_t, std::string>;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<std::string, Fields>> pushes;

    static void Callback(NoltComm::CFixApiClient* client, uint32_t handle, int32_t reason) {
        if (reason != NoltComm::kPushDelivered) return;
        auto* log = reinterpret_cast<PushLog*>(client->GetSubscriptionUserValue(handle));
        if (log == nullptr) return;
        Fields fields;
        for (int32_t tag : {681, 755, 753, 886, 528, 525, 524, 862, 1030, 605})
            if (client->HasPushField(tag)) fields[tag] = client->GetPushString(tag);
        std::lock_guard lock(log->mutex);
        log->pushes.emplace_back(client->GetPushString(NoltComm::kTagTopic), std::move(fields));
        log->changed.notify_all();
    }
    // The first push of the topic for the order whose fields pass the test, once it came.
    std::optional<Fields> WaitFor(const std::string& topic, int32_t order,
                                  const std::function<bool(const Fields&)>& test = nullptr) {
        std::unique_lock lock(mutex);
        std::optional<Fields> found;
        changed.wait_for(lock, 5s, [&] {
            for (const auto& [t, fields] : pushes) {
                auto it = fields.find(681);
                if (t == topic && it != fields.end() && it->second == std::to_string(order) &&
                    (!test || test(fields))) {
                    found = fields;
                    return true;
                }
            }
            return false;
        });
        return found;
    }
    std::vector<std::string> Kinds(int32_t order) {
        std::lock_guard lock(mutex);
        std::vector<std::string> kinds;
        for (const auto& [topic, fields] : pushes)
            if (fields.count(681) && fields.at(681) == std::to_string(order))
                kinds.push_back(topic == "16403" ? "T" : fields.count(755) ? fields.at(755) : "?");
        return kinds;
    }
};

class OrderBookFlowTest : public testing::ServerTest {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        OrderFillTable.GetMemRecord()->Empty();
        CreateFrameTables();
        SetOrderTraceWriter(&DropLine);
        SetPostFunction([this](WindowId, uint32_t message, uintptr_t wParam, intptr_t) {
            std::lock_guard lock(postedMutex);
            if (message == kWmFrameEvent) events.push_back(wParam);
        });
        SetWorkplaceWindow(77);
        book = server.EnableOrderBook();
        StartAndConnect();
        account = AddAccount(1, kKhh, "0101", "张三", "123456", nullptr);
        SetLoginAccount(account);
        SetAccountFlag(kFlagActive, account);
        FuturesContractTable.Create(kFuturesContractLayout);
        AddRow(FuturesContractTable, {{599, "SQ"}, {719, "cu2701"}, {1752, "5"}, {1045, "0"}});
        OptionContractTable.Create(kOptionContractLayout);

        pushClient = std::make_unique<NoltComm::CFixApiClient>();
        ASSERT_TRUE(pushClient->Connect("127.0.0.1@" + std::to_string(server.Port()) + "/tcp"));
        for (int32_t topic : {testserver::kTopicTradeReturn, testserver::kTopicOrderConfirm}) {
            pushClient->BeginRequest(topic);
            pushClient->AddStringField(220, std::string("range(605:") + kKhh + ")");
            ASSERT_NE(pushClient->Subscribe(&PushLog::Callback, reinterpret_cast<uintptr_t>(&log)),
                      0u);
        }
    }
    void TearDown() override {
        pushClient.reset();
        Disconnect();
        SetOrderTraceWriter(nullptr);
        SetPostFunction(nullptr);
        SetWorkplaceWindow(0);
        OrderFillTable.GetMemRecord()->Empty();
        testing::ResetGlobalTables();
    }
    static OrderRequest Order(const char* contract, int32_t quantity, double price) {
        OrderRequest o;
        o.khh = kKhh;
        o.exchange = "SQ";
        o.contract = contract;
        o.tradingCode = "81001234";
        o.direction = 1;
        o.openClose = 1;
        o.quantity = quantity;
        o.price = price;
        return o;
    }
    static CancelRequest CancelOf(const OrderRequest& o, int32_t number) {
        CancelRequest c;
        c.khh = o.khh;
        c.exchange = o.exchange;
        c.contract = o.contract;
        c.tradingCode = o.tradingCode;
        c.orderNumber = number;
        c.openClose = o.openClose;
        c.orderType = o.orderType;
        return c;
    }
    // The tags of a request after the head and the function.
    static std::vector<int32_t> Tags(const testserver::ReceivedRequest& request) {
        std::vector<int32_t> tags;
        for (const auto& f : request.fields)
            if (f.tag != 8 && f.tag != 35) tags.push_back(f.tag);
        return tags;
    }
    int OrderRow(int32_t number) {
        return OrderTable.GetFCount() > 0 ? OrderTable.Find(681, number) : -1;
    }

    testing::SettingsSandbox sandbox;
    platform::ManualClock clock;
    platform::ScopedClockSource source{clock};
    std::shared_ptr<testserver::OrderBook> book;
    std::unique_ptr<NoltComm::CFixApiClient> pushClient;
    PushLog log;
    std::mutex postedMutex;
    std::vector<uintptr_t> events;
    int account = -1;
};

TEST_F(OrderBookFlowTest, SubmitConfirmPartialFillAndCancel) {
    const OrderRequest order = Order("cu2701", 3, 74000);
    int32_t number = 0;
    std::string message;
    ASSERT_GT(SubmitOrder(client.get(), order, &number, &message), 0) << message;
    ASSERT_GT(number, 0);
    int row = OrderRow(number);
    ASSERT_GE(row, 0);
    EXPECT_EQ(OrderTable.GetDouble(1720, row), 111000.0);  // 74000 × 3 × 5 × 10% frozen
    EXPECT_EQ(OrderTable.GetDouble(1234, row), 6.0);
    EXPECT_EQ(OrderTable.Get(755, row), "O");  // the order's kind, a text
    const auto confirmed = log.WaitFor("16402", number);
    ASSERT_TRUE(confirmed);
    EXPECT_EQ(confirmed->at(755), "O");
    EXPECT_EQ(confirmed->at(753), "1");

    ASSERT_TRUE(book->Fill(number, 1, 74010));
    const auto trade = log.WaitFor("16403", number);
    ASSERT_TRUE(trade);
    EXPECT_EQ(trade->at(528), "1");
    EXPECT_EQ(trade->at(524), "370050.00");

    ASSERT_GT(SubmitCancel(client.get(), CancelOf(order, number), &message), 0) << message;
    const auto cancelled = log.WaitFor(
        "16402", number, [](const PushLog::Fields& f) { return f.count(755) && f.at(755) == "W"; });
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(cancelled->at(753), "1");
    EXPECT_EQ(cancelled->at(886), "2");
    EXPECT_EQ(log.Kinds(number), (std::vector<std::string>{"O", "T", "W"}));
    {
        // No push handler updates the row here, so it still shows 0: one cancel event.
        std::lock_guard lock(postedMutex);
        EXPECT_EQ(events, (std::vector<uintptr_t>{0x30002}));
    }

    // The order's row taken from the book.
    ASSERT_TRUE(RequeryOrder(client.get(), kKhh, "SQ", number));
    row = OrderRow(number);
    ASSERT_GE(row, 0);
    EXPECT_EQ(OrderTable.GetLong(753, row), 7);
    EXPECT_EQ(OrderTable.GetLong(528, row), 1);
    EXPECT_EQ(OrderTable.GetLong(886, row), 2);
    EXPECT_EQ(OrderTable.GetDouble(525, row), 74010.0);
    EXPECT_EQ(OrderTable.GetDouble(524, row), 370050.0);
    ASSERT_TRUE(QueryOrderFills(client.get(), kKhh, "SQ", number));
    const int fill = OrderFillTable.Find(763, FormatFillKey(number, "cu2701").c_str());
    ASSERT_GE(fill, 0);
    EXPECT_EQ(OrderFillTable.GetLong(528, fill), 1);
    EXPECT_EQ(OrderFillTable.GetDouble(524, fill), 370050.0);

    // The fields in the order the book received them.
    const auto submits = book->Submits();
    ASSERT_EQ(submits.size(), 1u);
    EXPECT_EQ(Tags(submits[0]),
              (std::vector<int32_t>{605, 598,  781,  599, 719,  684, 682,  1718, 1716, 1717,
                                    683, 1681, 1842, 797, 7113, 665, 1858, 897,  1575, 933}));
    const auto cancels = book->Cancels();
    ASSERT_EQ(cancels.size(), 1u);
    EXPECT_EQ(Tags(cancels[0]), (std::vector<int32_t>{605, 598, 781, 599, 1716, 681, 933}));
}

TEST_F(OrderBookFlowTest, RefusedOrdersAndHeldConfirmations) {
    const OrderRequest order = Order("cu2701", 1, 74000);
    int32_t number = 0;
    std::string message;
    book->RefuseNextOrder(-9, "风控拒绝");
    EXPECT_EQ(SubmitOrder(client.get(), order, &number, &message), -9);
    EXPECT_EQ(message, "风控拒绝");
    EXPECT_EQ(OrderRow(number), -1);
    OrderRequest offTick = order;
    offTick.price = 74005;
    EXPECT_LT(SubmitOrder(client.get(), offTick, &number, &message), 0);
    EXPECT_NE(message.find("最小变动价位"), std::string::npos) << message;

    // Never confirmed: the order stays pending at the exchange, its cancel waits as well.
    book->SetConfirmMode(testserver::OrderBook::ConfirmMode::Never);
    ASSERT_GT(SubmitOrder(client.get(), order, &number, &message), 0) << message;
    OrderDetails details;
    ASSERT_EQ(QueryOrderDetails(client.get(), kKhh, "SQ", number, &details), 1);
    EXPECT_EQ(details.quantity, 1);
    EXPECT_EQ(OrderTable.GetLong(753, OrderRow(number)), testserver::kStatePending);
    ASSERT_GT(SubmitCancel(client.get(), CancelOf(order, number), &message), 0) << message;
    EXPECT_TRUE(log.Kinds(number).empty());
    EXPECT_EQ(book->ReleaseHeld(), 2u);
    ASSERT_TRUE(log.WaitFor("16402", number, [](const PushLog::Fields& f) {
        return f.count(755) && f.at(755) == "W";
    }));
    EXPECT_EQ(log.Kinds(number), (std::vector<std::string>{"O", "W"}));
    ASSERT_EQ(QueryOrderDetails(client.get(), kKhh, "SQ", number, &details), 1);
    EXPECT_EQ(details.cancelled, 1);
}

// 25 orders, the 20 newest cancelled: the first page (newest first) holds only the 20 cancel
// entries; the query goes on past it to the orders and ends on the short page.
TEST_F(OrderBookFlowTest, OrderPagingPassesAPageOfCancelEntries) {
    const OrderRequest order = Order("al2701", 1, 19500);
    std::vector<int32_t> numbers;
    std::string message;
    for (int i = 0; i < 25; ++i) {
        int32_t number = 0;
        ASSERT_GT(SubmitOrder(client.get(), order, &number, &message), 0) << message;
        numbers.push_back(number);
    }
    for (int i = 24; i >= 5; --i)
        ASSERT_GT(SubmitCancel(client.get(), CancelOf(order, numbers[i]), &message), 0) << message;
    ASSERT_TRUE(book->WaitIdle(5s));
    OrderTable.GetMemRecord()->Empty();
    server.ClearRequests();

    CFixRecord target;
    target.Create(kOrderQueryLayout);
    EXPECT_EQ(QueryAllOrders(client.get(), target, 0, 0), 25);
    EXPECT_EQ(RequestsOf(16151), 3);
    ASSERT_EQ(target.GetCount(), 25);
    // Newest first, cancel entries left out.
    EXPECT_EQ(target.GetLong(681, 0), numbers[24]);
    EXPECT_EQ(target.GetLong(681, 24), numbers[0]);
    for (int r = 0; r < target.GetCount(); ++r) EXPECT_EQ(target.Get(755, r), "O");
    EXPECT_EQ(OrderTable.GetCount(), 25);
    EXPECT_EQ(OrderTable.GetLong(753, OrderRow(numbers[24])), testserver::kStateCancelled);
    EXPECT_EQ(OrderTable.GetLong(753, OrderRow(numbers[0])), testserver::kStateConfirmed);
}

// A pending close order freezes the available quantity the position query shows; its cancel
// gives it back.
TEST_F(OrderBookFlowTest, CloseOrderFreezesThePositionUntilCancelled) {
    testserver::BookPosition held;
    held.khh = kKhh;
    held.exchange = "SQ";
    held.contract = "cu2701";
    held.tradingCode = "81001234";
    held.side = 1;
    held.quantity = 3;
    held.amount = 73800.0 * 3 * 5;
    book->AddPosition(held);
    auto available = [&] {
        CFixRecord details;
        EXPECT_EQ(QueryPositions(client.get(), kKhh, details, 1, 1, kPositionKindFutures), 1);
        return details.GetCount() == 1 ? details.GetLong(1460, 0) : -1;
    };
    EXPECT_EQ(available(), 3);
    OrderRequest close = Order("cu2701", 2, 74100);
    close.direction = 2;
    close.openClose = 2;
    int32_t number = 0;
    std::string message;
    ASSERT_GT(SubmitOrder(client.get(), close, &number, &message), 0) << message;
    EXPECT_EQ(available(), 1);
    int32_t refused = 0;
    EXPECT_LT(SubmitOrder(client.get(), close, &refused, &message), 0);
    EXPECT_NE(message.find("可平1手"), std::string::npos) << message;
    ASSERT_GT(SubmitCancel(client.get(), CancelOf(close, number), &message), 0) << message;
    ASSERT_TRUE(book->WaitIdle(5s));
    EXPECT_EQ(available(), 3);
}

}  // namespace
}  // namespace tradedata
