// Tests of the funds and positions page against the test server's order book: a fill shows in
// the position grid after the frame reloads the positions, the grids follow the rows, the
// funds figures take the first RMB currency with the risk ratio's guard, and the timer step
// leaves the position bits pending while the page is busy.
#include "views/YecxDlg.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <memory>
#include <string>

#include "comm/FixApiClient.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
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
#include "tradedata/OrderSubmit.h"
#include "tradedata/Positions.h"
#include "views/Parts.h"

namespace views {
namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::ProcessEventsUntil;
using Dlg = CYecxDlg;

constexpr const char* kKhh = "000010086001";

int DropLine(std::string_view) { return 1; }

class YecxDlgTest : public kelmon::test::ui::UiTest {
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
            host.Create(nullptr, "panel", WS_POPUP | WS_VISIBLE, RECT{0, 0, 900, 420}, nullptr, 0));
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
        tradedata::testing::ResetGlobalTables();
        kelmon::test::ui::UiTest::TearDown();
    }
    void Open() {
        views::RegisterParts();
        std::unique_ptr<CWnd> page = shell::CreatePage(shell::PageKind::FundsPositions, &host);
        ASSERT_NE(page, nullptr);
        dlg.reset(static_cast<Dlg*>(page.release()));
        dlg->MoveWindow(0, 0, 900, 420);
        dlg->ShowWindow(SW_SHOW);
        ASSERT_TRUE(ProcessEventsUntil([&] { return dlg->BoundPasses() >= 2 && !dlg->IsBusy(); }));
    }
    // What the frame does on a position notice: reload, then tell the pages.
    void ReloadPositions() {
        ASSERT_TRUE(tradedata::RefreshPositions(client.get()));
        const int before = dlg->BoundPasses();
        ::PostMessage(dlg->m_hWnd, 0x8001, 32, 0);
        ASSERT_TRUE(
            ProcessEventsUntil([&] { return dlg->BoundPasses() > before && !dlg->IsBusy(); }));
    }
    std::string Figure(int id) { return dlg->GetDlgItemText(id); }
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
};

TEST_F(YecxDlgTest, AFillShowsInThePositionGrid) {
    Open();
    EXPECT_EQ(dlg->Accounts(), kKhh);
    // No positions at all: the futures grid alone.
    EXPECT_EQ(dlg->ViewFlags() & (Dlg::kFuturesGridShown | Dlg::kOptionGridShown),
              Dlg::kFuturesGridShown);
    EXPECT_TRUE(dlg->FuturesGrid().IsWindowVisible());
    EXPECT_FALSE(dlg->OptionGrid().IsWindowVisible());

    tradedata::OrderRequest o;
    o.khh = kKhh;
    o.exchange = "SQ";
    o.contract = "cu2701";
    o.tradingCode = "81001234";
    o.direction = 1;
    o.openClose = 1;
    o.quantity = 3;
    o.price = 74000;
    int32_t number = 0;
    std::string message;
    ASSERT_GT(tradedata::SubmitOrder(client.get(), o, &number, &message), 0) << message;
    ASSERT_TRUE(book->Fill(number, 3, 74000));
    ASSERT_TRUE(ProcessEventsUntil([&] {
        const auto order = book->FindOrder(number);
        return order && order->filled == 3;
    }));
    ReloadPositions();
    CFixRecord& positions = dlg->Positions();
    const int row = positions.LocateEx({{719, "cu2701"}, {683, "1"}});
    ASSERT_GE(row, 0);
    EXPECT_EQ(positions.GetLong(757, row), 3);
    EXPECT_EQ(positions.Get(605, row), kKhh);
    // One account, one currency, no grouping: no summary row.
    EXPECT_EQ(positions.Find(683, 0), -1);
    EXPECT_EQ(dlg->FuturesGrid().GetViewCount(), positions.GetCount());
    Save("funds_positions");
}

TEST_F(YecxDlgTest, FundsFiguresTakeTheFirstRmbCurrencyAndGuardTheRiskRatio) {
    CFixRecord& funds = tradedata::FundsTable;
    struct Case {
        const char* name;
        std::vector<std::vector<tradedata::testing::Cell>> rows;
        const char* equity;
        const char* risk;
    } cases[] = {
        {"no funds", {}, "0.00", "0.0"},
        {"other currency only", {{{511, "USD"}, {1779, "500"}, {1720, "100"}}}, "0.00", "0.0"},
        {"equity 0, margin above 0",
         {{{511, "RMB"}, {1779, "0"}, {1720, "100"}}},
         "0.00",
         "99999.0"},
        {"ordinary",
         {{{511, "USD"}, {1779, "9"}}, {{511, "RMB"}, {1779, "1000"}, {1720, "250"}}},
         "1000.00",
         "25.0"},
    };
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        funds.GetMemRecord()->Empty();
        funds.Create(tradedata::kFundsLayout);
        for (const auto& cells : c.rows) {
            const int row = funds.GetMemRecord()->Append(nullptr, true);
            for (const auto& cell : cells) funds.Set(cell.id, cell.text.c_str(), row);
        }
        dlg->SendMessage(0x8001, 16, 0);
        ASSERT_TRUE(ProcessEventsUntil([&] { return (dlg->RefreshMask() & 16) == 0; }));
        EXPECT_EQ(Figure(Dlg::kEquityId), c.equity);
        EXPECT_EQ(Figure(Dlg::kRiskId), c.risk);
    }
}

TEST_F(YecxDlgTest, TheHintAndTheHedgeStateComeFromTheWorkspace) {
    Open();
    dlg->SendMessage(0x8001, Dlg::kExerciseHedgeState, 1);
    EXPECT_EQ(dlg->HedgeState(), 1);
    EXPECT_EQ(dlg->IsDlgButtonChecked(Dlg::kExerciseHedgeId), BST_CHECKED);
    dlg->SendMessage(0x8001, Dlg::kExerciseHedgeState, static_cast<LPARAM>(-1));
    EXPECT_EQ(dlg->IsDlgButtonChecked(Dlg::kExerciseHedgeId), BST_UNCHECKED);
}

}  // namespace
}  // namespace views
