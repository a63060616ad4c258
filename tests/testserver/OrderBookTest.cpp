// Tests of the test server's order book: acceptance checks, confirmations (at once, delayed,
// held, rejected), fills, cancels, position freezes, funds, the paged order and trade queries
// and the pushes to the subscribers of an account, also through the server's socket.
#include "testserver/OrderBook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "platform/core/Numbers.h"
#include "tests/testserver/RawClient.h"
#include "testserver/MarketPublisher.h"
#include "testserver/TestServer.h"

namespace testserver {
namespace {

using namespace std::chrono_literals;
using testserver_test::Items;
using testserver_test::RawClient;
using testserver_test::Request;

constexpr const char* kKhh = "000010086001";

struct Pushed {
    int32_t topic;
    std::string khh;
    Row row;
    std::chrono::steady_clock::time_point at;
};

std::string Get(const Row& row, int32_t tag) { return FieldOf(row, tag); }

// An order of the sample day's first account: cu2701 on SQ (tick 10, 5 a hand, limits
// 68820-79180, bid 74010, ask 74030).
Row OrderFields(int32_t direction, int32_t openClose, int32_t quantity, const char* price,
                const char* contract = "cu2701", const char* exchange = "SQ",
                const char* tradingCode = "81001234") {
    return {{605, kKhh},
            {598, ScrambledPassword("123456")},
            {781, "2"},
            {599, exchange},
            {719, contract},
            {684, platform::FormatInt(quantity)},
            {682, price},
            {1718, platform::FormatInt(openClose)},
            {1716, tradingCode},
            {1717, "0"},
            {683, platform::FormatInt(direction)},
            {1681, "0"},
            {1842, "0"},
            {797, "0"},
            {7113, "0"},
            {665, "0"},
            {1858, "0"},
            {897, "0"},
            {1575, "0"},
            {933, "1"}};
}

class OrderBookTest : public ::testing::Test {
protected:
    OrderBookTest() : OrderBookTest(OrderBook::Options{}) {}
    explicit OrderBookTest(OrderBook::Options options) : book(SampleTradingDay(), options) {
        // Set after construction: the lambda must not run before the members it fills exist.
        book.SetPusher([this](int32_t topic, const std::string& khh, const Row& row) {
            std::lock_guard lock(mutex);
            pushes.push_back({topic, khh, row, std::chrono::steady_clock::now()});
        });
    }

    // Asks the book as the server does: the answer, then the note that it went out.
    Answer Ask(int32_t function, Row fields) {
        ReceivedRequest request;
        request.function = function;
        request.packetId = ++packetId;
        request.fields = std::move(fields);
        std::optional<Answer> answer = book.AnswerFor(request);
        book.AnswerSent(0, request.packetId);
        return answer ? *answer : Answer{};
    }
    // The order number of an accepted order (0 with a failure when refused).
    int32_t Submit(Row fields) {
        const Answer a = Ask(kFunctionOrderInsert, std::move(fields));
        EXPECT_EQ(a.rows.size(), 1u);
        if (a.rows.empty() || Get(a.rows[0], 507) != "1") {
            ADD_FAILURE() << "refused: " << (a.rows.empty() ? "" : Get(a.rows[0], 508));
            return 0;
        }
        return platform::AtolSat(Get(a.rows[0], 681));
    }
    Answer CancelOrder(int32_t number, const char* khh = kKhh) {
        return Ask(kFunctionOrderCancel, {{605, khh},
                                          {599, "SQ"},
                                          {1716, "81001234"},
                                          {681, platform::FormatInt(number)},
                                          {933, "1"}});
    }
    std::vector<Pushed> Pushes() {
        EXPECT_TRUE(book.WaitIdle(5s));
        std::lock_guard lock(mutex);
        return pushes;
    }
    Row FundsRow() {
        for (const Row& row : book.Funds(kKhh))
            if (Get(row, 511) == "RMB") return row;
        return {};
    }
    // The order query's rows as "serial:CXBZ".
    std::vector<std::string> OrderPage(int32_t after, int32_t size, int32_t mask = 0) {
        const Answer a = Ask(kFunctionOrderQuery, {{762, platform::FormatInt(size)},
                                                   {797, platform::FormatInt(after)},
                                                   {9020, platform::FormatInt(mask)},
                                                   {605, kKhh}});
        std::vector<std::string> rows;
        for (const Row& row : a.rows) rows.push_back(Get(row, 797) + ":" + Get(row, 755));
        return rows;
    }

    // Before the book: its worker may still push while the book goes.
    std::mutex mutex;
    std::vector<Pushed> pushes;
    OrderBook book;
    uint32_t packetId = 0;
};

TEST_F(OrderBookTest, RefusesBadOrdersWithAClearTextAndKeepsNothing) {
    struct Case {
        const char* what;
        Row fields;
        int32_t function;
        const char* code;
        const char* text;
    };
    auto with = [](Row row, int32_t tag, const char* value) {
        for (Field& f : row)
            if (f.tag == tag) f.value = value;
        return row;
    };
    const Row good = OrderFields(1, 1, 2, "74000");
    const Case cases[] = {
        {"no such account", with(good, 605, "999"), kFunctionOrderInsert, "-1", "客户号[999]"},
        {"wrong password", with(good, 598, "x"), kFunctionOrderInsert, "-2", "交易密码错误"},
        {"unknown contract", with(good, 719, "cu9999"), kFunctionOrderInsert, "-100", "cu9999"},
        {"future as option", good, kFunctionOptionInsert, "-100", "不存在"},
        {"other exchange", with(good, 599, "DL"), kFunctionOrderInsert, "-101", "不属于"},
        {"trading code", with(good, 1716, "1"), kFunctionOrderInsert, "-101", "交易编码"},
        {"direction", with(good, 683, "3"), kFunctionOrderInsert, "-101", "买卖方向"},
        {"open/close", with(good, 1718, "5"), kFunctionOrderInsert, "-101", "开平标志"},
        {"quantity 0", with(good, 684, "0"), kFunctionOrderInsert, "-101", "数量"},
        {"above the largest", with(good, 684, "501"), kFunctionOrderInsert, "-101", "500"},
        {"above the limit", with(good, 682, "79190"), kFunctionOrderInsert, "-101", "涨跌停"},
        {"below the limit", with(good, 682, "68810"), kFunctionOrderInsert, "-101", "涨跌停"},
        {"off the tick", with(good, 682, "74005"), kFunctionOrderInsert, "-101", "最小变动"},
        {"no price", with(good, 682, "nan"), kFunctionOrderInsert, "-101", "价格无效"},
        {"funds", with(good, 684, "450"), kFunctionOrderInsert, "-150", "可用资金不足"},
        {"nothing to close", with(good, 1718, "2"), kFunctionOrderInsert, "-151", "可平0手"},
        {"combination", good, kFunctionCombinationInsert, "-3", "组合"},
    };
    for (const Case& c : cases) {
        const Answer a = Ask(c.function, c.fields);
        ASSERT_EQ(a.rows.size(), 1u) << c.what;
        EXPECT_EQ(Get(a.rows[0], 507), c.code) << c.what;
        EXPECT_NE(Get(a.rows[0], 508).find(c.text), std::string::npos)
            << c.what << ": " << Get(a.rows[0], 508);
    }
    EXPECT_TRUE(OrderPage(0, 20).empty());
    EXPECT_EQ(Get(FundsRow(), 619), "850000.00");
    EXPECT_TRUE(Pushes().empty());
    // Every insert is recorded, refused or not.
    EXPECT_EQ(book.Submits().size(), std::size(cases));
}

TEST_F(OrderBookTest, ConfirmationFollowsTheAnswerWithTheOrderFields) {
    ReceivedRequest request;
    request.function = kFunctionOrderInsert;
    request.connection = 3;
    request.packetId = 77;
    request.fields = OrderFields(1, 1, 2, "74000");
    const std::optional<Answer> answer = book.AnswerFor(request);
    ASSERT_TRUE(answer);
    const Row& row = answer->rows.at(0);
    EXPECT_EQ(Get(row, 507), "1");
    const int32_t number = platform::AtolSat(Get(row, 681));
    EXPECT_GT(number, 0);
    EXPECT_EQ(Get(row, 1720), "74000.00");  // 74000 × 2 × 5 × 10%
    EXPECT_EQ(Get(row, 1234), "4.00");
    // Another request's answer does not release it.
    book.AnswerSent(3, 78);
    book.AnswerSent(4, 77);
    EXPECT_FALSE(book.WaitIdle(0ms));
    EXPECT_EQ(book.FindOrder(number)->state, kStatePending);
    book.AnswerSent(3, 77);
    const std::vector<Pushed> pushed = Pushes();
    ASSERT_EQ(pushed.size(), 1u);
    EXPECT_EQ(pushed[0].topic, kTopicOrderConfirm);
    EXPECT_EQ(pushed[0].khh, kKhh);
    const Row& push = pushed[0].row;
    for (const auto& [tag, value] :
         std::vector<std::pair<int32_t, std::string>>{{605, kKhh},
                                                      {599, "SQ"},
                                                      {719, "cu2701"},
                                                      {681, std::to_string(number)},
                                                      {1718, "1"},
                                                      {755, "O"},
                                                      {753, "1"},
                                                      {886, "0"},
                                                      {683, "1"},
                                                      {684, "2"}})
        EXPECT_EQ(Get(push, tag), value) << tag;
    EXPECT_FALSE(Get(push, 1261).empty());
    EXPECT_EQ(book.FindOrder(number)->state, kStateConfirmed);
}

TEST_F(OrderBookTest, PartialFillThenCancelKeepsFundsAndPositions) {
    const int32_t number = Submit(OrderFields(1, 1, 2, "74000"));
    EXPECT_EQ(Get(FundsRow(), 619), "775996.00");  // 74000 margin and 4 fee frozen
    EXPECT_EQ(Get(FundsRow(), 764), "74004.00");
    ASSERT_TRUE(book.Fill(number, 1, 74010));
    ASSERT_EQ(Get(CancelOrder(number).rows.at(0), 507), "1");
    const std::vector<Pushed> pushed = Pushes();
    ASSERT_EQ(pushed.size(), 3u);
    EXPECT_EQ(pushed[1].topic, kTopicTradeReturn);
    const Row& trade = pushed[1].row;
    EXPECT_EQ(Get(trade, 681), std::to_string(number));
    EXPECT_EQ(Get(trade, 528), "1");
    EXPECT_EQ(Get(trade, 525), "74010.0000");
    EXPECT_EQ(Get(trade, 524), "370050.00");
    EXPECT_EQ(Get(trade, 862), "1");
    EXPECT_EQ(pushed[2].topic, kTopicOrderConfirm);
    EXPECT_EQ(Get(pushed[2].row, 755), "W");
    EXPECT_EQ(Get(pushed[2].row, 753), "1");
    EXPECT_EQ(Get(pushed[2].row, 886), "1");

    const BookOrder order = *book.FindOrder(number);
    EXPECT_EQ(order.state, kStatePartlyCancelled);
    EXPECT_EQ(order.filled, 1);
    EXPECT_EQ(order.cancelled, 1);
    // Frozen funds gone; the filled hand's margin (37005) and fee (2) stay.
    const Row funds = FundsRow();
    EXPECT_EQ(Get(funds, 764), "0.00");
    EXPECT_EQ(Get(funds, 619), "812993.00");
    EXPECT_EQ(Get(funds, 1720), "199350.67");
    EXPECT_EQ(Get(funds, 1746), "125.45");
    EXPECT_EQ(Get(funds, 1779), "1012343.67");
    const std::vector<BookPosition> positions = book.Positions(kKhh);
    ASSERT_EQ(positions.size(), 1u);
    EXPECT_TRUE(positions[0].today);
    EXPECT_EQ(positions[0].quantity, 1);
    // A second cancel, or one of a finished order, is refused.
    EXPECT_EQ(Get(CancelOrder(number).rows.at(0), 507), "-160");
}

TEST_F(OrderBookTest, CancelRefusals) {
    const int32_t number = Submit(OrderFields(1, 1, 1, "74000"));
    EXPECT_EQ(Get(CancelOrder(number + 100).rows.at(0), 507), "-100");
    EXPECT_EQ(Get(CancelOrder(number, "000010086002").rows.at(0), 507), "-100");
    book.RefuseNextCancel(-7, "柜台忙");
    const Row refused = CancelOrder(number).rows.at(0);
    EXPECT_EQ(Get(refused, 507), "-7");
    EXPECT_EQ(Get(refused, 508), "柜台忙");
    ASSERT_EQ(Get(CancelOrder(number).rows.at(0), 507), "1");
    EXPECT_EQ(Get(CancelOrder(number).rows.at(0), 507), "-160");  // one cancel at a time
    EXPECT_EQ(Pushes().size(), 2u);
    EXPECT_EQ(book.FindOrder(number)->state, kStateCancelled);
    EXPECT_EQ(book.Cancels().size(), 5u);
}

TEST_F(OrderBookTest, CancelAfterTheLastFillFails) {
    const int32_t number = Submit(OrderFields(1, 1, 2, "74000"));
    book.SetConfirmMode(OrderBook::ConfirmMode::Never);
    ASSERT_EQ(Get(CancelOrder(number).rows.at(0), 507), "1");
    // The fill waits behind the held cancel of its order and comes after it.
    book.SetConfirmMode(OrderBook::ConfirmMode::Immediate);
    book.Fill(number, 5);
    EXPECT_EQ(Pushes().size(), 1u);
    EXPECT_EQ(book.ReleaseHeld(), 1u);
    std::vector<Pushed> pushed = Pushes();
    ASSERT_EQ(pushed.size(), 2u);
    EXPECT_EQ(Get(pushed[1].row, 755), "W");
    EXPECT_EQ(book.FindOrder(number)->state, kStateCancelled);
    EXPECT_EQ(Pushes().size(), 2u);  // the fill of a cancelled order is dropped

    // A cancel accepted while the order was open fails at the exchange when a fill queued
    // before it took what remained.
    book.SetConfirmMode(OrderBook::ConfirmMode::Never);
    const int32_t other = Submit(OrderFields(1, 1, 2, "74000"));
    book.Fill(other, 2);
    ASSERT_EQ(Get(CancelOrder(other).rows.at(0), 507), "1");
    EXPECT_EQ(book.ReleaseHeld(), 2u);
    pushed = Pushes();
    ASSERT_EQ(pushed.size(), 5u);
    EXPECT_EQ(pushed[3].topic, kTopicTradeReturn);
    EXPECT_EQ(Get(pushed[4].row, 755), "W");
    EXPECT_EQ(Get(pushed[4].row, 753), "2");
    EXPECT_NE(Get(pushed[4].row, 1030).find("全部成交"), std::string::npos);
    EXPECT_EQ(book.FindOrder(other)->state, kStateFilled);
    EXPECT_EQ(OrderPage(0, 1), (std::vector<std::string>{"4:W"}));
}

TEST_F(OrderBookTest, RejectedOrderReleasesItsFreeze) {
    book.RejectNextOrder("交易所拒绝:合约不在交易时段");
    const int32_t number = Submit(OrderFields(1, 1, 2, "74000"));
    const std::vector<Pushed> pushed = Pushes();
    ASSERT_EQ(pushed.size(), 1u);
    EXPECT_EQ(Get(pushed[0].row, 753), "2");
    EXPECT_EQ(Get(pushed[0].row, 1030), "交易所拒绝:合约不在交易时段");
    EXPECT_EQ(book.FindOrder(number)->state, kStateRejected);
    EXPECT_EQ(Get(FundsRow(), 619), "850000.00");
    EXPECT_EQ(Get(CancelOrder(number).rows.at(0), 507), "-160");
    // Only the next order: the one after is confirmed.
    Submit(OrderFields(1, 1, 1, "74000"));
    EXPECT_EQ(Get(Pushes().back().row, 753), "1");

    book.RefuseNextOrder(-9, "风控拒绝");
    const Row refused = Ask(kFunctionOrderInsert, OrderFields(1, 1, 1, "74000")).rows.at(0);
    EXPECT_EQ(Get(refused, 507), "-9");
    EXPECT_EQ(Get(refused, 508), "风控拒绝");
}

TEST_F(OrderBookTest, HeldAndDelayedConfirmations) {
    book.SetConfirmMode(OrderBook::ConfirmMode::Never);
    const int32_t held = Submit(OrderFields(1, 1, 1, "74000"));
    book.Fill(held, 1);  // waits behind the held confirmation
    EXPECT_TRUE(Pushes().empty());
    EXPECT_EQ(book.FindOrder(held)->state, kStatePending);
    EXPECT_EQ(book.ReleaseHeld(), 1u);
    std::vector<Pushed> pushed = Pushes();
    ASSERT_EQ(pushed.size(), 2u);
    EXPECT_EQ(pushed[0].topic, kTopicOrderConfirm);
    EXPECT_EQ(pushed[1].topic, kTopicTradeReturn);

    book.SetConfirmMode(OrderBook::ConfirmMode::Delayed, 150ms);
    const auto sent = std::chrono::steady_clock::now();
    Submit(OrderFields(1, 1, 1, "74000"));
    pushed = Pushes();
    ASSERT_EQ(pushed.size(), 3u);
    EXPECT_GE(pushed[2].at - sent, 150ms);
}

TEST_F(OrderBookTest, CloseOrdersFreezeThePositionUntilFillOrCancel) {
    BookPosition yesterday;
    yesterday.khh = kKhh;
    yesterday.exchange = "SQ";
    yesterday.contract = "cu2701";
    yesterday.tradingCode = "81001234";
    yesterday.side = 1;
    yesterday.quantity = 3;
    yesterday.amount = 73800.0 * 3 * 5;
    yesterday.margin = 110700;
    book.AddPosition(yesterday);
    auto position = [&](const char* field) {
        const Answer a = Ask(kFunctionPositionQuery, {{605, kKhh}, {719, "cu2701"}});
        EXPECT_EQ(a.rows.size(), 1u);
        return a.rows.empty() ? std::string() : Get(a.rows[0], std::stoi(field));
    };

    const int32_t close = Submit(OrderFields(2, 2, 2, "74100"));
    EXPECT_EQ(position("757"), "3");
    EXPECT_EQ(position("1460"), "1");
    EXPECT_EQ(position("684"), "2");
    const Row refused = Ask(kFunctionOrderInsert, OrderFields(2, 2, 2, "74100")).rows.at(0);
    EXPECT_EQ(Get(refused, 507), "-151");
    ASSERT_EQ(Get(CancelOrder(close).rows.at(0), 507), "1");
    ASSERT_TRUE(book.WaitIdle(5s));
    EXPECT_EQ(position("1460"), "3");

    const int32_t again = Submit(OrderFields(2, 2, 2, "74100"));
    book.Fill(again, 2);
    ASSERT_TRUE(book.WaitIdle(5s));
    EXPECT_EQ(position("757"), "1");
    EXPECT_EQ(position("1460"), "1");
    EXPECT_EQ(position("1209"), "73800.0000");
    // (74100 - 73800) × 2 × 5 closing profit, 4 fee, 73800 margin released.
    EXPECT_EQ(Get(Pushes().back().row, 1776), "3000.00");
    const Row funds = FundsRow();
    EXPECT_EQ(Get(funds, 1776), "3000.00");
    EXPECT_EQ(Get(funds, 1720), "88545.67");
    EXPECT_EQ(Get(funds, 619), "926796.00");
}

// SQ closes yesterday's positions with "2" and today's with "4"; elsewhere "2" closes both.
TEST_F(OrderBookTest, CloseFlagsPickYesterdayOrToday) {
    const int32_t open = Submit(OrderFields(1, 1, 2, "74000"));
    book.Fill(open, 2);
    ASSERT_TRUE(book.WaitIdle(5s));
    EXPECT_EQ(Get(Ask(kFunctionOrderInsert, OrderFields(2, 2, 1, "74000")).rows.at(0), 507),
              "-151");
    Submit(OrderFields(2, 4, 2, "74000"));

    const int32_t m = Submit(OrderFields(2, 1, 1, "2900", "m2701", "DL", "01001234"));
    book.Fill(m, 1);
    ASSERT_TRUE(book.WaitIdle(5s));
    Submit(OrderFields(1, 2, 1, "2900", "m2701", "DL", "01001234"));
    const Answer positions = Ask(kFunctionPositionQuery, {{605, kKhh}, {599, "DL"}, {683, "2"}});
    ASSERT_EQ(positions.rows.size(), 1u);
    EXPECT_EQ(Get(positions.rows[0], 1460), "0");
    EXPECT_EQ(Get(positions.rows[0], 1137), "1");
    EXPECT_EQ(Get(positions.rows[0], 1873), "0");
}

TEST_F(OrderBookTest, OptionOrdersAndPositions) {
    Row fields = OrderFields(1, 1, 2, "95", "", "DL", "01001234");
    fields.push_back({9100, "m2705-C-2900"});
    const Answer a = Ask(kFunctionOptionInsert, fields);
    ASSERT_EQ(Get(a.rows.at(0), 507), "1");
    book.Fill(platform::AtolSat(Get(a.rows[0], 681)), 2);
    ASSERT_TRUE(book.WaitIdle(5s));
    EXPECT_TRUE(Ask(kFunctionPositionQuery, {{605, kKhh}}).rows.empty());
    const Answer options = Ask(kFunctionOptionPositionQuery, {{605, kKhh}});
    ASSERT_EQ(options.rows.size(), 1u);
    EXPECT_EQ(Get(options.rows[0], 9100), "m2705-C-2900");
    EXPECT_EQ(Get(options.rows[0], 757), "2");
    EXPECT_EQ(Get(options.rows[0], 1873), "1");
    EXPECT_EQ(Get(options.rows[0], 524), "1900.00");
}

TEST_F(OrderBookTest, OrderQueryPagesNewestFirstWithCancelEntries) {
    std::vector<int32_t> numbers;
    for (int i = 0; i < 3; ++i) numbers.push_back(Submit(OrderFields(1, 1, 1, "74000")));
    ASSERT_EQ(Get(CancelOrder(numbers[1]).rows.at(0), 507), "1");
    ASSERT_TRUE(book.WaitIdle(5s));
    EXPECT_EQ(OrderPage(0, 2), (std::vector<std::string>{"4:W", "3:O"}));
    EXPECT_EQ(OrderPage(3, 2), (std::vector<std::string>{"2:O", "1:O"}));
    EXPECT_TRUE(OrderPage(1, 2).empty());
    EXPECT_EQ(OrderPage(0, 0).size(), 4u);
    // Hiding cancelled orders hides their cancel entries too.
    EXPECT_EQ(OrderPage(0, 20, 2), (std::vector<std::string>{"3:O", "1:O"}));

    // A page made only of cancel entries.
    ASSERT_EQ(Get(CancelOrder(numbers[2]).rows.at(0), 507), "1");
    ASSERT_EQ(Get(CancelOrder(numbers[0]).rows.at(0), 507), "1");
    ASSERT_TRUE(book.WaitIdle(5s));
    EXPECT_EQ(OrderPage(0, 2), (std::vector<std::string>{"6:W", "5:W"}));

    // Filters: one order by number; rows of another customer; no customer = every account.
    const Answer one =
        Ask(kFunctionOrderQuery, {{605, kKhh}, {599, "SQ"}, {681, std::to_string(numbers[1])}});
    ASSERT_EQ(one.rows.size(), 2u);
    EXPECT_EQ(Get(one.rows[0], 755), "W");
    EXPECT_EQ(Get(one.rows[1], 753), std::to_string(kStateCancelled));
    EXPECT_TRUE(Ask(kFunctionOrderQuery, {{605, "000010086002"}}).rows.empty());
    EXPECT_EQ(Ask(kFunctionOrderQuery, {{762, "20"}, {797, "0"}}).rows.size(), 6u);
}

TEST_F(OrderBookTest, TradeQueryPagesDetailsMergedAndSummary) {
    const int32_t a = Submit(OrderFields(1, 1, 3, "74000"));
    const int32_t b = Submit(OrderFields(1, 1, 1, "74000"));
    book.Fill(a, 1, 74000);
    book.Fill(b, 1, 74010);
    book.Fill(a, 2, 74020);
    ASSERT_TRUE(book.WaitIdle(5s));
    auto trades = [&](Row extra) {
        extra.insert(extra.begin(), Field{605, kKhh});
        return Ask(kFunctionTradeQuery, extra).rows;
    };
    std::vector<Row> page = trades({{959, "0"}, {763, "0"}, {762, "2"}});
    ASSERT_EQ(page.size(), 2u);
    EXPECT_EQ(Get(page[0], 862), "3");
    EXPECT_EQ(Get(page[1], 862), "2");
    page = trades({{959, "0"}, {763, "2"}, {762, "2"}});
    ASSERT_EQ(page.size(), 1u);
    EXPECT_EQ(Get(page[0], 862), "1");
    EXPECT_EQ(Get(page[0], 525), "74000.0000");

    page = trades({{959, "2"}, {599, "SQ"}, {681, std::to_string(a)}});
    ASSERT_EQ(page.size(), 1u);
    EXPECT_EQ(Get(page[0], 528), "3");
    EXPECT_EQ(Get(page[0], 524), "1110200.00");  // (74000 + 2 × 74020) × 5
    EXPECT_EQ(Get(page[0], 862), "3");
    EXPECT_EQ(platform::Atof(Get(page[0], 525)), platform::Atof("74013.3333"));

    page = trades({{959, "4"}});
    ASSERT_EQ(page.size(), 1u);
    EXPECT_EQ(Get(page[0], 528), "4");
    EXPECT_EQ(Get(page[0], 525), "1480250.00");  // the amount, as the summary carries it
    EXPECT_TRUE(Ask(kFunctionTradeQuery, {{605, "000010086002"}}).rows.empty());
}

TEST_F(OrderBookTest, RecordsSubmitAndCancelFieldsInArrivalOrder) {
    Row fields = OrderFields(1, 1, 1, "74000");
    const int32_t number = Submit(fields);
    CancelOrder(number);
    ASSERT_EQ(book.Submits().size(), 1u);
    EXPECT_EQ(book.Submits()[0].fields, fields);
    const std::vector<ReceivedRequest> cancels = book.Cancels();
    ASSERT_EQ(cancels.size(), 1u);
    std::vector<int32_t> tags;
    for (const Field& f : cancels[0].fields) tags.push_back(f.tag);
    EXPECT_EQ(tags, (std::vector<int32_t>{605, 599, 1716, 681, 933}));
}

class AutoFillBookTest : public OrderBookTest {
protected:
    AutoFillBookTest() : OrderBookTest(OrderBook::Options{0.1, 2.0, true}) {}
};

TEST_F(AutoFillBookTest, CrossingOrdersFillAtTheBestOppositePrice) {
    const int32_t crossing = Submit(OrderFields(1, 1, 2, "74050"));
    const int32_t resting = Submit(OrderFields(1, 1, 2, "74000"));
    const std::vector<Pushed> pushed = Pushes();
    ASSERT_EQ(pushed.size(), 3u);
    EXPECT_EQ(Get(pushed[1].row, 525), "74030.0000");
    EXPECT_EQ(book.FindOrder(crossing)->state, kStateFilled);
    EXPECT_EQ(book.FindOrder(resting)->state, kStateConfirmed);
}

// ---- the book as an exchange: the live market's quotes meet resting orders ----

Row With(Row row, std::initializer_list<Field> changes) {
    for (const Field& change : changes) {
        bool found = false;
        for (Field& f : row)
            if (f.tag == change.tag) f.value = change.value, found = true;
        if (!found) row.push_back(change);
    }
    return row;
}

TEST_F(OrderBookTest, RestingOrdersFillWhenTheMarketCrossesThem) {
    struct Case {
        const char* what;
        int32_t direction;
        const char* price;
        BookQuote quote;
        int32_t filled;
        const char* fillPrice;
        int32_t state;
    };
    const Case cases[] = {
        {"buy below the ask", 1, "74020", {74010, 74030, 10, 10}, 0, "", kStateConfirmed},
        {"buy at the ask", 1, "74030", {74010, 74030, 10, 10}, 3, "74030.0000", kStateFilled},
        {"buy above the ask: at the ask",
         1,
         "74050",
         {74010, 74030, 10, 10},
         3,
         "74030.0000",
         kStateFilled},
        {"ask too thin: partly",
         1,
         "74050",
         {74010, 74030, 10, 2},
         2,
         "74030.0000",
         kStatePartlyFilled},
        {"sell at or under the bid",
         2,
         "74000",
         {74010, 74030, 5, 5},
         3,
         "74010.0000",
         kStateFilled},
        {"sell above the bid", 2, "74020", {74010, 74030, 5, 5}, 0, "", kStateConfirmed},
        {"no ask at all", 1, "74050", {74010, 0, 5, 0}, 0, "", kStateConfirmed},
    };
    for (const Case& c : cases) {
        // A fresh book each time: no quote yet, so the order rests at its confirmation.
        OrderBook fresh(SampleTradingDay());
        std::vector<Row> trades;
        std::mutex tradesMutex;
        fresh.SetPusher([&](int32_t topic, const std::string&, const Row& row) {
            std::lock_guard lock(tradesMutex);
            if (topic == kTopicTradeReturn) trades.push_back(row);
        });
        ReceivedRequest request;
        request.function = kFunctionOrderInsert;
        request.packetId = 1;
        request.fields = OrderFields(c.direction, 1, 3, c.price);
        const std::optional<Answer> answer = fresh.AnswerFor(request);
        fresh.AnswerSent(0, 1);
        ASSERT_TRUE(answer && Get(answer->rows.at(0), 507) == "1") << c.what;
        const int32_t number = platform::AtolSat(Get(answer->rows[0], 681));
        ASSERT_TRUE(fresh.WaitIdle(5s));
        ASSERT_EQ(fresh.FindOrder(number)->state, kStateConfirmed) << c.what;

        fresh.OnQuote("cu2701", c.quote);
        fresh.OnQuote("cu2702", {1, 1, 100, 100});  // another contract's quote touches nothing
        ASSERT_TRUE(fresh.WaitIdle(5s));
        const BookOrder order = *fresh.FindOrder(number);
        EXPECT_EQ(order.filled, c.filled) << c.what;
        EXPECT_EQ(order.state, c.state) << c.what;
        std::lock_guard lock(tradesMutex);
        ASSERT_EQ(trades.size(), c.filled > 0 ? 1u : 0u) << c.what;
        if (c.filled > 0) {
            EXPECT_EQ(Get(trades[0], 681), platform::FormatInt(number));
            EXPECT_EQ(Get(trades[0], 525), c.fillPrice) << c.what;
            EXPECT_EQ(Get(trades[0], 528), platform::FormatInt(c.filled));
            EXPECT_EQ(Get(trades[0], 719), "cu2701");
        }
    }
}

TEST_F(OrderBookTest, OlderOrdersTakeTheStandingVolumeFirst) {
    const int32_t first = Submit(OrderFields(1, 1, 3, "74050"));
    const int32_t second = Submit(OrderFields(1, 1, 3, "74040"));
    ASSERT_TRUE(book.WaitIdle(5s));
    book.OnQuote("cu2701", {74010, 74030, 5, 4});
    EXPECT_EQ(book.FindOrder(first)->filled, 3);
    EXPECT_EQ(book.FindOrder(second)->filled, 1);
    // The next quote brings new volume; the price moved above the second order's.
    book.OnQuote("cu2701", {74030, 74050, 5, 10});
    EXPECT_EQ(book.FindOrder(second)->filled, 1);
    book.OnQuote("cu2701", {74020, 74040, 5, 10});
    EXPECT_EQ(book.FindOrder(second)->filled, 3);
    EXPECT_EQ(book.FindOrder(second)->state, kStateFilled);
    // Two fills of the second order, one of the first: trade pushes in that order.
    std::vector<std::string> fills;
    for (const Pushed& p : Pushes())
        if (p.topic == kTopicTradeReturn) fills.push_back(Get(p.row, 681) + "x" + Get(p.row, 528));
    const std::string a = platform::FormatInt(first), b = platform::FormatInt(second);
    EXPECT_EQ(fills, (std::vector<std::string>{a + "x3", b + "x1", b + "x2"}));
}

// An order the book has ended, filled or cancelled, takes nothing from a later quote, however
// often the market crosses it; the one still open behind it gets the volume.
TEST_F(OrderBookTest, FinishedOrdersMeetNoLaterQuote) {
    const int32_t filled = Submit(OrderFields(1, 1, 2, "74050"));
    const int32_t cancelled = Submit(OrderFields(1, 1, 2, "74050"));
    const int32_t open = Submit(OrderFields(1, 1, 6, "74050"));
    ASSERT_TRUE(book.WaitIdle(5s));
    ASSERT_EQ(Get(CancelOrder(cancelled).rows.at(0), 507), "1");
    ASSERT_TRUE(book.WaitIdle(5s));
    ASSERT_EQ(book.FindOrder(cancelled)->state, kStateCancelled);
    book.OnQuote("cu2701", {74010, 74030, 5, 2});
    ASSERT_EQ(book.FindOrder(filled)->state, kStateFilled);
    for (int round = 0; round < 3; ++round) book.OnQuote("cu2701", {74010, 74030, 5, 1});
    ASSERT_TRUE(book.WaitIdle(5s));
    EXPECT_EQ(book.FindOrder(filled)->filled, 2);
    EXPECT_EQ(book.FindOrder(cancelled)->filled, 0);
    EXPECT_EQ(book.FindOrder(open)->filled, 3);
    EXPECT_EQ(book.Trades().size(), 4u);
}

TEST_F(OrderBookTest, OrdersThatMayNotRestMeetTheQuoteAtConfirmation) {
    struct Case {
        const char* what;
        Row fields;
        int32_t filled;
        int32_t cancelled;
        int32_t state;
    };
    const Row limit = OrderFields(1, 1, 3, "74030");
    const Case cases[] = {
        {"FAK: the rest cancelled", With(limit, {{665, "1"}}), 2, 1, kStatePartlyCancelled},
        {"FAK that does not cross", With(limit, {{665, "1"}, {682, "74020"}}), 0, 3,
         kStateCancelled},
        {"FAK below its minimum", With(limit, {{665, "1"}, {1858, "3"}}), 0, 3, kStateCancelled},
        {"FAK at its minimum", With(limit, {{665, "1"}, {1858, "2"}}), 2, 1, kStatePartlyCancelled},
        {"FOK that cannot fill whole", With(limit, {{665, "2"}}), 0, 3, kStateCancelled},
        {"FOK that can", With(limit, {{665, "2"}, {684, "2"}}), 2, 0, kStateFilled},
        {"market order", With(limit, {{1681, "2"}, {682, "0"}}), 2, 1, kStatePartlyCancelled},
        {"plain limit rests", limit, 2, 0, kStatePartlyFilled},
    };
    for (const Case& c : cases) {
        book.OnQuote("cu2701", {74010, 74030, 10, 2});  // two lots at the ask each time
        const double before = platform::Atof(Get(FundsRow(), 619));
        const int32_t number = Submit(c.fields);
        ASSERT_TRUE(book.WaitIdle(5s));
        const BookOrder order = *book.FindOrder(number);
        EXPECT_EQ(order.filled, c.filled) << c.what;
        EXPECT_EQ(order.cancelled, c.cancelled) << c.what;
        EXPECT_EQ(order.state, c.state) << c.what;
        if (order.Finished()) {
            EXPECT_NEAR(order.frozenFunds, 0, 1e-9) << c.what;
        }
        if (c.filled == 0) {  // nothing is kept frozen for an order the exchange ended
            EXPECT_NEAR(platform::Atof(Get(FundsRow(), 619)), before, 1e-6) << c.what;
        }
        if (c.cancelled > 0) {
            const std::vector<Pushed> pushed = Pushes();
            const Row& last = pushed.back().row;
            EXPECT_EQ(pushed.back().topic, kTopicOrderConfirm) << c.what;
            EXPECT_EQ(Get(last, 755), "W") << c.what;
            EXPECT_EQ(Get(last, 886), platform::FormatInt(c.cancelled)) << c.what;
            EXPECT_EQ(Get(last, 681), platform::FormatInt(number));
        }
    }
}

TEST_F(OrderBookTest, MarketOrdersNeedTheExchangesLeaveAndAZeroPrice) {
    TradingDay day = SampleTradingDay();
    for (Row& row : day.exchanges)
        if (FieldOf(row, 599) == "SQ") row = With(row, {{1681, "1"}});
    OrderBook strict(day);
    struct Case {
        OrderBook* book;
        const char* price;
        const char* text;
    };
    const Case cases[] = {{&strict, "0", "不支持市价委托"}, {&book, "74030", "价格必须为0"}};
    for (const Case& c : cases) {
        ReceivedRequest request;
        request.function = kFunctionOrderInsert;
        request.fields = With(OrderFields(1, 1, 1, c.price), {{1681, "2"}});
        const std::optional<Answer> answer = c.book->AnswerFor(request);
        ASSERT_TRUE(answer);
        EXPECT_EQ(Get(answer->rows.at(0), 507), "-101");
        EXPECT_NE(Get(answer->rows[0], 508).find(c.text), std::string::npos)
            << Get(answer->rows[0], 508);
    }
}

TEST_F(OrderBookTest, StopAndConditionalOrdersAreRecordedFieldForField) {
    const Row stop = {{605, kKhh},        {598, ScrambledPassword("123456")},
                      {599, "SQ"},        {719, "cu2701"},
                      {1716, "81001234"}, {684, "2"},
                      {1681, "1"},        {682, "74000"},
                      {1717, "0"},        {1718, "1"},
                      {683, "1"},         {1798, "30"},
                      {745, "3"},         {1799, "40"},
                      {1795, "0"},        {1796, "50"},
                      {742, "5"},         {1797, "30"},
                      {1826, "0"},        {1827, "1"},
                      {1828, "1"}};
    const Row conditional = {{605, kKhh},
                             {598, ScrambledPassword("123456")},
                             {599, "SQ"},
                             {719, "cu2701"},
                             {1716, "81001234"},
                             {684, "1"},
                             {1681, "1"},
                             {682, "74000"},
                             {1717, "0"},
                             {1718, "1"},
                             {683, "2"},
                             {1795, "0"},
                             {1846, "1"},
                             {1800, "74100"},
                             {1783, "1"},
                             {1240, "2026.12.10"},
                             {1836, "2026.12.10"},
                             {742, "1"},
                             {533, "1"}};
    const Answer a = Ask(kFunctionStopOrder, stop);
    const Answer b = Ask(kFunctionConditionalOrder, conditional);
    ASSERT_EQ(Get(a.rows.at(0), 507), "1");
    ASSERT_EQ(Get(b.rows.at(0), 507), "1");
    EXPECT_NE(Get(a.rows[0], 681), Get(b.rows[0], 681));
    const Answer refused = Ask(kFunctionStopOrder, With(stop, {{719, "cu9999"}}));
    EXPECT_EQ(Get(refused.rows.at(0), 507), "-100");

    const std::vector<ReceivedRequest> recorded = book.StopAndConditionalOrders();
    ASSERT_EQ(recorded.size(), 3u);
    EXPECT_EQ(recorded[0].function, kFunctionStopOrder);
    EXPECT_EQ(recorded[0].fields, stop);
    EXPECT_EQ(recorded[1].function, kFunctionConditionalOrder);
    EXPECT_EQ(recorded[1].fields, conditional);
    // They never enter the book of ordinary orders.
    EXPECT_TRUE(book.Submits().empty());
    EXPECT_TRUE(OrderPage(0, 20).empty());
}

TEST_F(OrderBookTest, MaximumQuantityFromFundsAndPositions) {
    // Funds 850,000; cu2701 is 5 a hand, margin 10 %, fee 2 a hand; limit-up 79180.
    const Row base = {{605, kKhh}, {599, "SQ"},   {719, "cu2701"}, {1716, "81001234"},
                      {1717, "0"}, {683, "1"},    {1681, "1"},     {9020, "0"},
                      {1718, "1"}, {682, "74030"}};
    struct Case {
        const char* what;
        int32_t function;
        Row fields;
        const char* quantity;
    };
    const Case cases[] = {
        // 74030 × 5 × 0.1 + 2 = 37017 a hand: 22 hands.
        {"open at a price", 16112, base, "22"},
        // Market or no price: the limit-up price, 39592 a hand: 21.
        {"open at market", 16112, With(base, {{1681, "2"}, {682, "0"}}), "21"},
        {"open without a price", 16112, With(base, {{682, "0"}}), "21"},
        // The sample's 3 long hands of yesterday; a sell closes them.
        {"close long", 16112, With(base, {{683, "2"}, {1718, "2"}}), "3"},
        {"close today: none", 16112, With(base, {{683, "2"}, {1718, "4"}}), "0"},
        {"no direction", 16112, With(base, {{683, "0"}}), "0"},
        {"unknown contract", 16112, With(base, {{719, "cu9999"}}), "0"},
        {"combination", 16125, base, "0"},
    };
    AddSamplePositions(book);
    for (const Case& c : cases) {
        const Answer a = Ask(c.function, c.fields);
        ASSERT_EQ(a.rows.size(), 1u) << c.what;
        EXPECT_EQ(Get(a.rows[0], 507), "1") << c.what;
        EXPECT_EQ(Get(a.rows[0], 684), c.quantity) << c.what;
    }
    // A pending close freezes what it closes, and a cancel gives it back.
    book.SetConfirmMode(OrderBook::ConfirmMode::Never);
    const int32_t close = Submit(OrderFields(2, 2, 2, "74000"));
    const Row closeLong = With(base, {{683, "2"}, {1718, "2"}});
    EXPECT_EQ(Get(Ask(16112, closeLong).rows.at(0), 684), "1");
    book.SetConfirmMode(OrderBook::ConfirmMode::Immediate);
    book.ReleaseHeld();
    CancelOrder(close);
    ASSERT_TRUE(book.WaitIdle(5s));
    EXPECT_EQ(Get(Ask(16112, closeLong).rows.at(0), 684), "3");
    const Answer stranger = Ask(16112, With(base, {{605, "999"}}));
    EXPECT_EQ(Get(stranger.rows.at(0), 507), "-1");
}

// The publisher's quotes reach the book: what the demo relies on.
TEST_F(OrderBookTest, PublishedMarketFillsRestingOrders) {
    MarketPublisher publisher(SampleTradingDay(), Market::Options{});
    publisher.SetOrderBook(&book);
    const int32_t number = Submit(OrderFields(1, 1, 1, "79180"));  // at limit-up: crosses any ask
    ASSERT_TRUE(book.WaitIdle(5s));
    EXPECT_EQ(book.FindOrder(number)->filled, 0);
    ASSERT_TRUE(publisher.PublishNow("cu2701"));
    const std::optional<MarketQuote> quote = publisher.Quote("cu2701");
    ASSERT_TRUE(quote);
    ASSERT_GT(quote->askVolumes[0], 0);
    EXPECT_EQ(book.FindOrder(number)->state, kStateFilled);
    const std::vector<BookTrade> trades = book.Trades();
    ASSERT_EQ(trades.size(), 1u);
    EXPECT_DOUBLE_EQ(trades[0].price, quote->Price(quote->asks[0]));
    publisher.SetOrderBook(nullptr);
}

// Through the socket: the confirmation reaches the subscriber of the account's range after
// the answer; a subscriber of another account hears nothing.
TEST(OrderBookServerTest, PushesGoToTheAccountRangeAfterTheAnswer) {
    TestServer server;
    server.EnableOrderBook();
    ASSERT_TRUE(server.Start()) << server.ErrorText();
    RawClient mine(server.Port());
    RawClient other(server.Port());
    ASSERT_TRUE(server.WaitForConnections(2, 5s));
    ASSERT_TRUE(mine.Send(Request(1, 16402, "220=range(605:000010086003;000010086001)\x01", 2)));
    ASSERT_EQ(mine.ReadAnswer().size(), 1u);
    ASSERT_TRUE(other.Send(Request(1, 16402, "220=range(605:000010086002)\x01", 2)));
    ASSERT_EQ(other.ReadAnswer().size(), 1u);
    EXPECT_EQ(server.PushToCustomer("16402", "000010086002", {{605, "000010086002"}}), 1u);
    ASSERT_TRUE(other.ReadPacket());

    std::string fields;
    for (const Field& f : OrderFields(1, 1, 1, "74000"))
        fields += std::to_string(f.tag) + "=" + f.value + "\x01";
    ASSERT_TRUE(mine.Send(Request(2, kFunctionOrderInsert, fields)));
    const auto answer = mine.ReadAnswer();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(Items(answer[0].body)[0], "507=1");
    const auto push = mine.ReadPacket();
    ASSERT_TRUE(push);
    const std::vector<std::string> items = Items(push->body);
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ(items[0], "35=16402");
    EXPECT_EQ(items[1], "384=16402");
    EXPECT_EQ(items[2], "605=000010086001");
    ASSERT_TRUE(server.Book()->WaitIdle(5s));
    // Funds come from the book: the order's freeze shows.
    ASSERT_TRUE(mine.Send(Request(3, kFunctionFunds, "605=000010086001\x01")));
    const auto funds = mine.ReadAnswer();
    ASSERT_FALSE(funds.empty());
    EXPECT_NE(funds[0].body.find("764=37002.00"), std::string::npos);
    server.Stop();
    EXPECT_TRUE(other.SeesClosed());  // nothing else came to the other account
}

}  // namespace
}  // namespace testserver
