// Tests of the order list page against the test server's order book: an order placed shows as
// a row, a trade push re-reads only that row, a push for an order the page has not seen falls
// back to a full query, paging goes on from the last row, the hide rules drop a row a push
// changed, and the trades side panel follows the fills.
#include "views/OrderQueryDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <memory>
#include <string>

#include "comm/FixApiClient.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "record/MemRecord.h"
#include "shell/PartSlots.h"
#include "shell/TradePanelParts.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/OrderBook.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/OrderQuery.h"
#include "tradedata/OrderSubmit.h"
#include "views/Parts.h"

namespace views {
namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::ProcessEventsUntil;
using Dlg = COrderQueryDlg;

constexpr const char* kKhh = "000010086001";  // the sample day's first account

int DropLine(std::string_view) { return 1; }

class OrderQueryDlgTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        tradedata::testing::ResetGlobalTables();
        tradedata::CreateFrameTables();
        tradedata::SetOrderTraceWriter(&DropLine);
        book = server.EnableOrderBook();
        ASSERT_TRUE(server.Start()) << server.ErrorText();
        client = std::make_unique<NoltComm::CFixApiClient>();
        ASSERT_TRUE(client->Connect("127.0.0.1@" + std::to_string(server.Port()) + "/tcp"));
        tradedata::SetTradingConnection(client.get());
        const int account = tradedata::AddAccount(1, kKhh, "0101", "张三", "123456", nullptr);
        tradedata::SetLoginAccount(account);
        tradedata::SetAccountFlag(tradedata::kFlagActive, account);
        tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
        tradedata::testing::AddRow(tradedata::FuturesContractTable,
                                   {{599, "SQ"}, {719, "cu2701"}, {1752, "5"}, {1045, "0"}});
        tradedata::OptionContractTable.Create(tradedata::kOptionContractLayout);
        ASSERT_TRUE(
            host.Create(nullptr, "panel", WS_POPUP | WS_VISIBLE, RECT{0, 0, 900, 400}, nullptr, 0));
    }
    void TearDown() override {
        if (dlg) {
            dlg->DestroyWindow();
            dlg.reset();
        }
        host.DestroyWindow();
        tradedata::SetTradingConnection(nullptr);
        client.reset();
        server.Stop();
        tradedata::SetOrderTraceWriter(nullptr);
        tradedata::OrderFillTable.GetMemRecord()->Empty();
        tradedata::testing::ResetGlobalTables();
        kelmon::test::ui::UiTest::TearDown();
    }
    // The page made through the shell's slot, as the panel makes it, once its first pass ended.
    void Open() {
        views::RegisterParts();
        std::unique_ptr<CWnd> page = shell::CreatePage(shell::PageKind::OrderQuery, &host);
        ASSERT_NE(page, nullptr);
        dlg.reset(static_cast<Dlg*>(page.release()));
        dlg->MoveWindow(0, 0, 900, 400);
        dlg->ShowWindow(SW_SHOW);
        ASSERT_TRUE(ProcessEventsUntil([&] { return dlg->AppliedPasses() >= 1 && dlg->IsIdle(); }));
        base = dlg->AppliedPasses();
    }
    int32_t Place(int32_t quantity = 2, double price = 74000) {
        tradedata::OrderRequest o;
        o.khh = kKhh;
        o.exchange = "SQ";
        o.contract = "cu2701";
        o.tradingCode = "81001234";
        o.direction = 1;
        o.openClose = 1;
        o.quantity = quantity;
        o.price = price;
        int32_t number = 0;
        std::string message;
        EXPECT_GT(tradedata::SubmitOrder(client.get(), o, &number, &message), 0) << message;
        return number;
    }
    void Push(WORD kind, int32_t order) {
        ::PostMessage(dlg->m_hWnd, 0x8002, MAKEWPARAM(kind, 0), order);
    }
    // Waits for the n-th pass after the page opened.
    // The book applies a fill after its answer: the pushes come once it has.
    bool FillAndWait(int32_t order, int32_t quantity, double price) {
        if (!book->Fill(order, quantity, price)) return false;
        return ProcessEventsUntil([&] {
            const auto o = book->FindOrder(order);
            return o && o->filled >= quantity;
        });
    }
    bool WaitPasses(int passes) {
        return ProcessEventsUntil([&] { return dlg->AppliedPasses() >= base + passes - 1; });
    }
    int RowOf(int32_t order) { return dlg->ShownOrders().Find(681, order); }
    void Save(const char* name) {
        DrainEvents();
        QImage shot = dlg->GetWidget()->grab().toImage();
        ASSERT_FALSE(shot.isNull());
        EXPECT_TRUE(shot.save(kelmon::test::ui::ScreenshotDir() + "/views_" + name + ".png"));
    }

    shell::SlotsResetGuard slotGuard;
    tradedata::testing::SettingsSandbox sandbox;
    testserver::TestServer server;
    std::shared_ptr<testserver::OrderBook> book;
    std::unique_ptr<NoltComm::CFixApiClient> client;
    CWnd host;
    std::unique_ptr<Dlg> dlg;
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
