// Tests of the order view's paging pass against a scripted order query (newest first, the
// continuation exclusive): one account's page ends or goes on, two accounts' pages are merged
// and trimmed so that no order is lost or shown twice, a continuation that does not move ends
// the paging; and the hide rules and the cell texts.
#include "views/OrderPaging.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "record/MemRecord.h"
#include "tests/tradedata/ServerFixture.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/TestServer.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/OrderQuery.h"
#include "views/PaneLayout.h"

namespace views {
namespace {

using testserver::Answer;
using testserver::ReceivedRequest;
using tradedata::testing::AddRow;

// A scripted book: per account the serials of its orders; answers newest first below the
// continuation (0 = from the newest).
class OrderPagingTest : public tradedata::testing::ServerTest {
protected:
    void SetUp() override {
        tradedata::testing::ResetGlobalTables();
        tradedata::CreateFrameTables();
        StartAndConnect();
        for (const char* khh : {"8001", "8002"})
            tradedata::AddAccount(1, khh, "01", "甲", "pw", nullptr);
        tradedata::SetLoginAccount(0);
        server.SetHook(16151, [this](const ReceivedRequest& r) {
            const std::string khh = r.Get(605);
            const int after = std::stoi(r.Get(797));
            const int size = std::stoi(r.Get(762));
            Answer a;
            std::vector<int> serials = book[khh];
            std::sort(serials.rbegin(), serials.rend());
            for (int s : serials) {
                if (static_cast<int>(a.rows.size()) == size) break;
                if (!stuck && after != 0 && s >= after) continue;
                a.rows.push_back({{507, "1"},
                                  {681, std::to_string(s * 10)},
                                  {797, std::to_string(stuck ? 7 : s)},
                                  {755, "O"},
                                  {605, khh},
                                  {599, "SQ"},
                                  {719, "cu2701"},
                                  {684, "1"}});
            }
            return a;
        });
    }
    void TearDown() override {
        Disconnect();
        tradedata::OrderFillTable.GetMemRecord()->Empty();
        tradedata::testing::ResetGlobalTables();
    }
    void Run(OrderPageJob& job, OrderPageResult& out) { RunOrderPage(client.get(), job, out); }
    // The incremental pass after `done`, as the window hands it to its worker.
    static std::unique_ptr<OrderPageJob> NextJob(const OrderPageJob& first, OrderPageResult& done) {
        auto next = std::make_unique<OrderPageJob>();
        next->full = false;
        next->accounts = first.accounts;
        next->pageSize = first.pageSize;
        next->serials = done.serials;
        next->allRows = done.allRows;
        next->baseCount = done.shownRows.GetCount();
        return next;
    }
    static std::vector<int> Serials(CFixRecord& rows) {
        std::vector<int> serials;
        for (int row = 0; row < rows.GetCount(); ++row) serials.push_back(rows.GetLong(797, row));
        return serials;
    }
    static std::vector<int> Descending(int from, int to) {
        std::vector<int> v;
        for (int s = from; s >= to; --s) v.push_back(s);
        return v;
    }

    std::map<std::string, std::vector<int>> book;
    bool stuck = false;  // every row carries serial 7: the continuation never moves
};

TEST_F(OrderPagingTest, OneAccountsPageEndsOrGoesOn) {
    struct Case {
        int orders;
        bool more;
    } cases[] = {{20, true}, {19, false}, {0, false}, {45, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orders);
        book["8001"].clear();
        for (int s = 1; s <= c.orders; ++s) book["8001"].push_back(s);
        OrderPageJob job;
        job.accounts = {"8001"};
        job.pageSize = 20;
        job.filterMask = 8;
        OrderPageResult out;
        Run(job, out);
        EXPECT_EQ(out.shownRows.GetCount(), std::min(c.orders, 20));
        EXPECT_EQ(out.moreSerial != 0, c.more);
        EXPECT_EQ(out.serials["8001"] != 0, c.more);
        EXPECT_EQ(Sent(16151, 9020), "8");
    }
}

// Two accounts of 30 orders each, their serials interleaved: every pass shows one page more
// in serial order, and the third pass ends with all 60 orders, each once.
TEST_F(OrderPagingTest, TwoAccountsAreTrimmedAndContinueFromTheCutRow) {
    for (int s = 1; s <= 60; ++s) book[s % 2 == 1 ? "8001" : "8002"].push_back(s);
    OrderPageJob job;
    job.accounts = {"8001", "8002"};
    job.pageSize = 20;
    OrderPageResult first;
    Run(job, first);
    EXPECT_EQ(Serials(first.shownRows), Descending(60, 41));
    EXPECT_EQ(first.serials["8001"], 40);  // the cut row 39 comes again: below 40
    EXPECT_EQ(first.serials["8002"], 41);
    EXPECT_NE(first.moreSerial, 0);
    EXPECT_EQ(first.allRows.GetCount(), 20);

    OrderPageResult second;
    Run(*NextJob(job, first), second);
    EXPECT_EQ(Serials(second.shownRows), Descending(60, 21));
    EXPECT_EQ(second.serials["8001"], 20);
    EXPECT_EQ(second.serials["8002"], 21);

    OrderPageResult third;
    Run(*NextJob(job, second), third);
    EXPECT_EQ(Serials(third.shownRows), Descending(60, 1));
    EXPECT_EQ(third.moreSerial, 0);
    EXPECT_EQ(third.serials["8001"], 0);
    EXPECT_EQ(third.serials["8002"], 0);

    // A full pass starts again from the newest, whatever the map held.
    OrderPageJob again;
    again.accounts = job.accounts;
    again.pageSize = 20;
    again.serials = third.serials;
    OrderPageResult fresh;
    Run(again, fresh);
    EXPECT_EQ(Serials(fresh.shownRows), Descending(60, 41));
}

TEST_F(OrderPagingTest, AContinuationThatDoesNotMoveEndsThePaging) {
    for (int s = 1; s <= 40; ++s) book["8001"].push_back(s);
    stuck = true;
    OrderPageJob job;
    job.accounts = {"8001"};
    job.pageSize = 20;
    OrderPageResult out;
    Run(job, out);
    ASSERT_EQ(out.shownRows.GetCount(), 20);
    // The first page moved the serial from 0 to 7; asking again from 7 gives 7 again.
    OrderPageResult second;
    Run(*NextJob(job, out), second);
    EXPECT_EQ(second.moreSerial, 0);
    EXPECT_EQ(second.serials["8001"], 0);
}

TEST(OrderHideRulesTest, TheFirstMatchingRuleDecides) {
    struct Case {
        HideFlags hide;
        int32_t state, quantity, filled, cancelled;
        bool hidden;
    } cases[] = {
        {{0, 0, 1, 0}, 3, 5, 0, 0, true},   // rejected, hide rejected
        {{0, 0, 0, 0}, 3, 5, 0, 0, false},  // rejected, shown
        {{0, 1, 0, 0}, 3, 5, 0, 5, true},   // rejected with a cancel count, hide cancelled
        {{0, 1, 0, 0}, 8, 5, 2, 3, true},   // cancelled
        {{1, 0, 0, 0}, 7, 5, 2, 3, false},  // part filled, part cancelled: not filled
        {{1, 0, 0, 0}, 6, 5, 5, 0, true},   // filled
        {{1, 0, 0, 0}, 5, 5, 4, 0, false},  // part filled
        {{1, 1, 1, 1}, 2, 5, 0, 0, false},  // working
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.state << "/" << c.filled << "/" << c.cancelled);
        EXPECT_EQ(IsHiddenOrder(c.hide, c.state, c.quantity, c.filled, c.cancelled), c.hidden);
    }
    EXPECT_EQ(MakeFilterMask({1, 1, 1, 1}), 15u);
    EXPECT_EQ(MakeFilterMask({0, 1, 0, 1}), 10u);
}

// A re-read order lands on its own row in both records, or leaves the view by a hide rule;
// an order the view has not seen changes nothing.
TEST(OrderMergeTest, ARereadOrderReplacesItsRowOrLeaves) {
    tradedata::testing::ResetGlobalTables();
    struct Case {
        int32_t order, filled;
        HideFlags hide;
        OrderMerge result;
        int shownAfter;
    } cases[] = {
        {20, 1, {0, 0, 0, 0}, OrderMerge::Updated, 3},
        {20, 2, {1, 0, 0, 0}, OrderMerge::Removed, 2},
        {20, 1, {1, 0, 0, 0}, OrderMerge::Updated, 3},
        {99, 2, {1, 0, 0, 0}, OrderMerge::NotFound, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.order * 10 + c.filled);
        CFixRecord shown, all, fresh;
        shown.Create(tradedata::kOrderQueryLayout);
        for (int number : {30, 20, 10})
            AddRow(shown, {{681, std::to_string(number)}, {684, "2"}, {528, "0"}});
        all = shown;
        fresh.Create(tradedata::kOrderQueryLayout);
        AddRow(fresh,
               {{681, std::to_string(c.order)}, {684, "2"}, {528, std::to_string(c.filled)}});
        int row = -2;
        EXPECT_EQ(MergeOrderRow(shown, all, fresh, c.hide, &row), c.result);
        EXPECT_EQ(shown.GetCount(), c.shownAfter);
        EXPECT_EQ(all.GetCount(), 3);  // the all-orders copy keeps every row
        if (c.result != OrderMerge::NotFound) {
            EXPECT_EQ(row, 1);
            EXPECT_EQ(all.GetLong(528, 1), c.filled);
        } else {
            EXPECT_EQ(row, -1);
        }
        if (c.result == OrderMerge::Updated) {
            EXPECT_EQ(shown.GetLong(528, 1), c.filled);
        }
    }
}

TEST(OrderCellTextTest, PricesQuantitiesAndTwoSidedOrders) {
    tradedata::testing::ResetGlobalTables();
    CFixRecord rows;
    struct Case {
        std::vector<tradedata::testing::Cell> cells;
        int field;
        const char* text;  // null: the grid's own text
    } cases[] = {
        {{{1045, "2"}, {682, "12.5"}}, 682, "12.50"},
        {{{1045, "2"}, {682, "0"}, {1681, "2"}}, 682, "市价"},
        {{{1045, "2"}, {682, "12.5"}, {1857, "2"}}, 682, "12.50(FOK)"},
        {{{1045, "0"}, {682, "12"}, {1857, "1"}, {1858, "3"}}, 682, "12(FAK:3)"},
        {{{1045, "1"}, {682, "12"}, {1857, "8"}}, 682, "12.0(最优转限)"},
        {{{1045, "2"}, {682, "12"}, {1857, "9"}}, 682, "12.00"},
        {{{1045, "-1"}, {682, "12.5"}}, 682, nullptr},
        {{{1045, "-1"}, {682, "12.5"}, {1682, "13"}, {1681, "256"}}, 682, "12.50[13.00]"},
        {{{1045, "2"}, {525, "12.5"}}, 525, "12.50"},
        {{{1045, "0"}, {525, "12"}}, 525, "12"},
        {{{1045, "1"}, {525, "7.25"}}, 525, "7.25"},
        {{{684, "3"}, {1859, "4"}, {1681, "256"}}, 684, "3[4]"},
        {{{684, "3"}}, 684, nullptr},
        {{{683, "1"}, {1681, "256"}}, 752, "单买"},
        {{{683, "2"}, {1681, "256"}}, 752, "单卖"},
        {{{683, "0"}, {1681, "256"}}, 752, "双向"},
        {{{719, "cu"}}, 719, nullptr},
    };
    for (const Case& c : cases) {
        rows.Create(tradedata::kOrderQueryLayout);
        const int row = rows.GetMemRecord()->Append(nullptr, true);
        for (const auto& cell : c.cells) rows.Set(cell.id, cell.text.c_str(), row);
        std::string text;
        const bool own = FormatOrderCell(rows, row, c.field, text);
        SCOPED_TRACE(c.text ? c.text : "(grid)");
        EXPECT_EQ(own, c.text != nullptr);
        if (c.text != nullptr) {
            EXPECT_EQ(text, c.text);
        }
    }
}

TEST(PaneLayoutTest, AStoredPaneSizeOutsideItsRangeGivesTheDefault) {
    struct Case {
        int stored, extent, reserve, fallback, size;
    } cases[] = {{0, 600, 104, 200, 200},   {49, 600, 104, 200, 200},  {50, 600, 104, 200, 50},
                 {496, 600, 104, 200, 496}, {497, 600, 104, 200, 200}, {30, 300, 54, 150, 150}};
    for (const Case& c : cases)
        EXPECT_EQ(PaneSize(c.stored, c.extent, c.reserve, c.fallback), c.size) << c.stored;
}

TEST(OrderAccountListTest, SplitsAndJoins) {
    EXPECT_EQ(SplitAccounts("a,,b,"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(SplitAccounts("").empty());
    std::vector<AccountChoice> choices(2);
    choices[0].khh = "1";
    choices[1].khh = "2";
    EXPECT_EQ(JoinAccounts(choices, -1), "1,2");
    EXPECT_EQ(JoinAccounts(choices, 1), "2");
    EXPECT_EQ(JoinAccounts(choices, 5), "");
}

}  // namespace
}  // namespace views
