// Test support for the view pages: the test server's order book as the trading connection,
// the sample day's first account logged in, a host window for the pages, orders placed and
// filled, and screenshots.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <memory>
#include <string>

#include "comm/FixApiClient.h"
#include "platform/ui/DialogResources.h"
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
#include "tradedata/OrderQuery.h"
#include "tradedata/OrderSubmit.h"
#include "views/Parts.h"

namespace views::testing {

inline constexpr const char* kKhh = "000010086001";  // the sample day's first account

inline int DropLine(std::string_view) { return 1; }

template <class Page>
class ViewServerTest : public kelmon::test::ui::UiTest {
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
        tradedata::OrderFillTable.GetMemRecord()->Empty();
        tradedata::testing::ResetGlobalTables();
        kelmon::test::ui::UiTest::TearDown();
    }
    // The page made through the shell's slot, as the standard panel makes it.
    void MakePage(shell::PageKind kind) {
        views::RegisterParts();
        std::unique_ptr<CWnd> page = shell::CreatePage(kind, &host);
        ASSERT_NE(page, nullptr);
        dlg.reset(static_cast<Page*>(page.release()));
        dlg->MoveWindow(0, 0, 900, 420);
        dlg->ShowWindow(SW_SHOW);
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
    // The book applies a fill after its answer: its pushes and queries show it once it has.
    bool FillAndWait(int32_t order, int32_t quantity, double price) {
        if (!book->Fill(order, quantity, price)) return false;
        return kelmon::test::ui::ProcessEventsUntil([&] {
            const auto o = book->FindOrder(order);
            return o && o->filled >= quantity;
        });
    }
    void Save(const char* name) {
        kelmon::test::ui::DrainEvents();
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
    std::unique_ptr<Page> dlg;
};

}  // namespace views::testing
