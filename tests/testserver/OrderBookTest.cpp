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
