// Tests of the order list page against the test server's order book: an order placed shows as
// a row, a trade push re-reads only that row, a push for an order the page has not seen falls
// back to a full query, paging goes on from the last row, the hide rules drop a row a push
// changed, and the trades side panel follows the fills.
#include "views/OrderQueryDlg.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/ui/Messages.h"
#include "record/Configure.h"
#include "tests/views/ViewServerTest.h"

namespace views {
namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::ProcessEventsUntil;
using testing::kKhh;
using Dlg = COrderQueryDlg;

class OrderQueryDlgTest : public testing::ViewServerTest<Dlg> {
protected:
    // The page once its first passes have ended.
    void Open() {
        MakePage(shell::PageKind::OrderQuery);
        ASSERT_TRUE(ProcessEventsUntil([&] { return dlg->AppliedPasses() >= 1 && dlg->IsIdle(); }));
        base = dlg->AppliedPasses();
    }
    void Push(WORD kind, int32_t order) {
        ::PostMessage(dlg->m_hWnd, 0x8002, MAKEWPARAM(kind, 0), order);
    }
    // Waits for the n-th pass after the page opened.
    bool WaitPasses(int passes) {
        return ProcessEventsUntil([&] { return dlg->AppliedPasses() >= base + passes - 1; });
    }
    int RowOf(int32_t order) { return dlg->ShownOrders().Find(681, order); }

    int base = 0;  // passes applied when the page had settled after opening
};

TEST_F(OrderQueryDlgTest, AnOrderShowsAndATradePushUpdatesOnlyItsRow) {
    Open();
    EXPECT_EQ(dlg->AccountList(), kKhh);
    EXPECT_EQ(dlg->ShownOrders().GetCount(), 0);
    const int32_t number = Place();
    // The page has not seen the order: its confirmation asks for the whole list.
    Push(2, number);
    ASSERT_TRUE(WaitPasses(2));
    int row = RowOf(number);
    ASSERT_GE(row, 0);
    EXPECT_EQ(dlg->ShownOrders().GetLong(684, row), 2);
    EXPECT_EQ(dlg->ShownOrders().GetLong(528, row), 0);
    // Rows are read through the grid's sorted index.
    ASSERT_EQ(dlg->OrderGrid().GetViewCount(), 1);
    EXPECT_EQ(dlg->OrderGrid().GetMapRecno(0), row);

    ASSERT_TRUE(FillAndWait(number, 1, 74010));
    Push(3, number);
    ASSERT_TRUE(ProcessEventsUntil([&] { return dlg->AppliedRereads() >= 1; }));
    EXPECT_EQ(dlg->AppliedPasses(), base + 1);  // no full query
    row = RowOf(number);
    ASSERT_GE(row, 0);
    EXPECT_EQ(dlg->ShownOrders().GetLong(528, row), 1);
    EXPECT_EQ(dlg->ShownOrders().GetLong(753, row), testserver::kStatePartlyFilled);
    EXPECT_FALSE(dlg->IsBusy());
    Save("order_query");
}

TEST_F(OrderQueryDlgTest, PushesFallBackToAFullQuery) {
    const int32_t a = Place();
    Open();
    ASSERT_GE(RowOf(a), 0);
    // Unknown order number: a full query, never a crash.
    Push(2, 999999);
    ASSERT_TRUE(WaitPasses(2));
    EXPECT_EQ(dlg->AppliedRereads(), 0);
    // Three orders still waiting for their declaration: one full query after 300 ms instead
    // of reading them one by one.
    const int32_t b = Place();
    const int32_t c = Place();
    Push(2, b);
    ASSERT_TRUE(WaitPasses(3));
    ASSERT_EQ(dlg->ShownOrders().GetCount(), 3);
    for (int row = 0; row < 3; ++row) dlg->ShownOrders().Set(753, 0, row);
    Push(2, c);
    ASSERT_TRUE(WaitPasses(4));
    EXPECT_EQ(dlg->AppliedRereads(), 0);
    EXPECT_EQ(dlg->ShownOrders().GetCount(), 3);
}

TEST_F(OrderQueryDlgTest, PagingGoesOnFromTheLastRowUntilAPageIsShort) {
    for (int i = 0; i < 21; ++i) Place(1, 74000 + 10 * i);
    Open();
    EXPECT_EQ(dlg->ShownOrders().GetCount(), 20);
    EXPECT_NE(dlg->MoreOrdersSerial(), 0);
    // Newest first.
    EXPECT_GT(dlg->ShownOrders().GetLong(797, 0), dlg->ShownOrders().GetLong(797, 19));
    dlg->OrderGrid().SetActiveItem(19);
    dlg->RequestNextPage();
    ASSERT_TRUE(WaitPasses(2));
    EXPECT_EQ(dlg->ShownOrders().GetCount(), 21);
    EXPECT_EQ(dlg->MoreOrdersSerial(), 0);
    // Nothing more to fetch: no further pass starts.
    dlg->RequestNextPage();
    DrainEvents();
    EXPECT_FALSE(dlg->IsBusy());
}

TEST_F(OrderQueryDlgTest, HideBoxesFilterTheQueryAndDropARowAPushFilled) {
    Open();
    dlg->CheckDlgButton(Dlg::kHideFilledId, BST_CHECKED);
    dlg->SendMessage(WM_COMMAND, MAKEWPARAM(Dlg::kHideFilledId, BN_CLICKED), 0);
    EXPECT_EQ(pavlet::ReadPrivateConfigInt("WTCX", "HIDECJWT", 0, 0, 1), 1);
    ASSERT_TRUE(WaitPasses(2));
    const int32_t number = Place(1);
    Push(2, number);
    ASSERT_TRUE(WaitPasses(3));
    ASSERT_GE(RowOf(number), 0);
    ASSERT_TRUE(FillAndWait(number, 1, 74000));
    Push(3, number);
    ASSERT_TRUE(ProcessEventsUntil([&] { return dlg->AppliedRereads() >= 1; }));
    EXPECT_EQ(RowOf(number), -1);
}

TEST_F(OrderQueryDlgTest, TheTradesPanelFollowsTheFills) {
    pavlet::WritePrivateConfigure("SYSTEM", "WTZHCX", 1);
    pavlet::WritePrivateConfigure("SYSTEM", "WTCXZHCXFS", 1);
    pavlet::WritePrivateConfigure("SYSTEM", "WTZHCXXSMS", 1);
    Open();
    EXPECT_EQ(dlg->PanelWord() & 0xFF, 2u | 0x20u);
    EXPECT_TRUE(dlg->SideGrid().IsWindowVisible());
    ASSERT_TRUE(ProcessEventsUntil([&] { return dlg->AppliedSidePasses() >= 1; }));
    const int32_t number = Place(2);
    ASSERT_TRUE(FillAndWait(number, 2, 74000));
    const int before = dlg->AppliedSidePasses();
    Push(3, number);
    ASSERT_TRUE(ProcessEventsUntil([&] { return dlg->AppliedSidePasses() > before; }));
    ASSERT_GE(dlg->SideRows().GetCount(), 1);
    EXPECT_EQ(dlg->SideRows().GetLong(681, 0), number);
    Save("order_query_trades");
}

}  // namespace
}  // namespace views
