// The quote board against the test trading server's live market: after a login the board in
// the standard panel shows an exchange's contracts, asks for their quotes, and a row's price
// cell changes as the market moves.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <fstream>

#include "market/Parts.h"
#include "market/QuoteBoard.h"
#include "platform/core/Encoding.h"
#include "platform/ui/Messages.h"
#include "platform/ui/ScriptedUiServices.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowTable.h"
#include "platform/ui/Wnd.h"
#include "shell/FrameMessages.h"
#include "shell/LoginDlg.h"
#include "shell/MainFrame.h"
#include "shell/PartSlots.h"
#include "shell/TradeApp.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/UiTestApp.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/Level2Server.h"
#include "testserver/LoginAnswer.h"
#include "testserver/MarketPublisher.h"
#include "testserver/TestServer.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/TradingHelpers.h"

namespace market {
namespace {

using kelmon::test::ui::ModalDriver;
using kelmon::test::ui::ProcessEventsUntil;

class BoardEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        tradedata::testing::ResetGlobalTables();
        server_.EnableTradingDay(day_);
        server_.SetHook(testserver::kFunctionLogin,
                        testserver::LoginAnswerHook(testserver::LoginAccountsOf(day_)));
        ASSERT_TRUE(server_.Start()) << server_.ErrorText();
        ASSERT_TRUE(level2_.Start());
        publisher_.SetLevel2Server(&level2_);
        std::ofstream(sandbox_.dir.file("KELMON.INI"), std::ios::binary) << platform::Utf8ToGbk(
            "[TradeServer]\r\nSERVER1=演示服务器,127.0.0.1@" + std::to_string(server_.Port()) +
            "/tcp\r\n[SYSTEM]\r\nLevel2ControlAddr=127.0.0.1\r\n"
            "Level2ControlPort=" +
            std::to_string(level2_.Port()) + "\r\n");
        RegisterParts();
    }
    void TearDown() override {
        publisher_.SetLevel2Server(nullptr);
        level2_.Stop();
        server_.Stop();
        tradedata::testing::ResetGlobalTables();
    }
    static CWnd* DialogOf(QWidget* dialog) {
        return CWnd::FromHandle(platform::ui::WindowTable::Instance().HandleOf(dialog));
    }
    static void Type(QWidget* dialog, int id, const char* text) {
        auto* edit = qobject_cast<QLineEdit*>(DialogOf(dialog)->GetDlgItem(id)->GetWidget());
        ASSERT_NE(edit, nullptr) << id;
        edit->clear();
        QTest::keyClicks(edit, QString::fromUtf8(text));
    }

    // The demo day, its accounts with the quote service (32) besides their own services.
    static testserver::TradingDay DayWithQuotes() {
        testserver::TradingDay day = testserver::SampleTradingDay();
        for (auto& account : day.accounts)
            for (auto& field : account.info)
                if (field.tag == 570) field.value = std::to_string(std::stoi(field.value) | 32);
        return day;
    }

    const testserver::TradingDay day_ = DayWithQuotes();
    shell::SlotsResetGuard slots_;
    tradedata::testing::SettingsSandbox sandbox_;
    testserver::TestServer server_;
    testserver::Level2Server level2_;
    testserver::MarketPublisher publisher_{day_, {.seed = 7}};
    platform::ui::ScriptedUiServices services_;
    platform::ui::ScopedUiServices servicesScope_{services_};
};

TEST_F(BoardEndToEndTest, TheBoardFillsFromTheLiveMarketAndAPriceCellChanges) {
    ModalDriver driver;
    driver.OnNextModal([](QWidget* dialog) {
        Type(dialog, shell::CLoginDlg::kCustomer, "10086001");
        Type(dialog, shell::CLoginDlg::kPassword, "123456");
        DialogOf(dialog)->SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    shell::CTradeApp::Environment environment;
    environment.createMainFrame = shell::CreateMainFrame;
    shell::CTradeApp app(std::move(environment));
    ASSERT_TRUE(app.InitInstance());
    ASSERT_NE(app.MainWnd(), nullptr);

    // The standard panel made the board in its bar.
    ASSERT_TRUE(ProcessEventsUntil([] { return tradedata::GetQuoteBoardWindow() != 0; }));
    auto* board =
        dynamic_cast<CQuoteBoard*>(CWnd::FromHandlePermanent(tradedata::GetQuoteBoardWindow()));
    ASSERT_NE(board, nullptr);

    // The first exchange's page, chosen through the workspace as the quote tabs do.
    ::SendMessage(shell::GetWorkspaceWindow(), shell::WM_FRAME_COMMAND, 61, 0);
    ASSERT_EQ(board->Page(), 0);
    ASSERT_GT(board->Rows().Count(), 0);
    const std::vector<int> shown = board->VisibleRows();
    ASSERT_FALSE(shown.empty());
    const std::string code = board->Rows().Table().Get(719, shown.front());

    // The board marked its rows as shown; the frame subscribes them at the level-2 server.
    ASSERT_TRUE(ProcessEventsUntil([&] { return level2_.Subscribed().count(code) == 1; })) << code;
    const double before = board->Rows().Table().GetDouble(729, shown.front());
    // The market moves until the contract's last price differs from what the board showed.
    ASSERT_TRUE(ProcessEventsUntil([&] {
        publisher_.Step(std::chrono::milliseconds(500));
        return board->Rows().Table().GetDouble(729, shown.front()) != before;
    })) << code
        << " stayed at " << before;
    EXPECT_GT(board->RefreshCount(), 0);
    // The cell shows the row's new price.
    CFixRecord& rows = board->Rows().Table();
    const char* text =
        CQuoteBoard::CellText(&rows, shown.front(), rows.GetMemRecord()->FindIndex(729u), board);
    ASSERT_NE(text, nullptr);
    EXPECT_NE(std::string(text), "");

    app.MainWnd()->PostMessage(WM_CLOSE);
    ASSERT_TRUE(ProcessEventsUntil([&] { return app.MainWnd() == nullptr; }));
    app.ExitInstance();
    EXPECT_EQ(tradedata::GetQuoteBoardWindow(), HWND{0});
}

}  // namespace
}  // namespace market
