// The whole road against the test trading server: start-up with an installation profile
// naming the server, a login typed into the login dialog and clicked with the mouse, the main
// frame with its worker and the account queries, closing the frame and the application's
// exit, which logs the account out and leaves no thread of its own behind. The worker also
// logs in to the level-2 quote server and subscribes a contract that a window asks for, whose
// quotes then reach its row. The real clock runs: the worker's refreshes are timed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "comm/FixApiClient.h"
#include "comm/MachineInfo.h"
#include "platform/core/Encoding.h"
#include "platform/ui/ScriptedUiServices.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowTable.h"
#include "platform/ui/Wnd.h"
#include "shell/LoginDlg.h"
#include "shell/MainFrame.h"
#include "shell/TradeApp.h"
#include "shell/TradePanel.h"
#include "shell/services/StartupSettings.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/ProbeWnd.h"
#include "support/ui/UiTestApp.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/Level2Server.h"
#include "testserver/LoginAnswer.h"
#include "testserver/Market.h"
#include "testserver/QuoteRecords.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Registries.h"
#include "tradedata/TradingHelpers.h"

namespace shell {
namespace {

using kelmon::test::ui::ModalDriver;
using kelmon::test::ui::ProcessEventsUntil;

constexpr int32_t kPositions = 16154;  // the futures positions query
constexpr int32_t kExchanges = 16201;  // the first of the post-login loads
constexpr int32_t kAccountInfo = 16468;
constexpr int32_t kAccountNotice = 16406;

// The process's threads but Qt's own pool, which converts and scales large images for the
// painting and keeps its idle threads for half a minute.
int ThreadCount() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        std::getline(comm, name);
        count += name != "Thread (pooled)";
    }
    return count;
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        tradedata::testing::ResetGlobalTables();
        const testserver::TradingDay day = testserver::SampleTradingDay();
        server_.EnableTradingDay(day);
        server_.SetHook(testserver::kFunctionLogin,
                        testserver::LoginAnswerHook(testserver::LoginAccountsOf(day)));
        ASSERT_TRUE(server_.Start()) << server_.ErrorText();
        ASSERT_TRUE(level2_.Start());
        // The installation profile as an installer writes it: GBK text beside the program.
        std::ofstream(sandbox_.dir.file("KELMON.INI"), std::ios::binary) << platform::Utf8ToGbk(
            "[TradeServer]\r\nSERVER1=演示服务器,127.0.0.1@" + std::to_string(server_.Port()) +
            "/tcp\r\n[SYSTEM]\r\nLevel2ControlAddr=127.0.0.1\r\n"
            "Level2ControlPort=" +
            std::to_string(level2_.Port()) + "\r\n");
    }
    void TearDown() override {
        level2_.Stop();
        server_.Stop();
        tradedata::testing::ResetGlobalTables();
    }
    int Count(int32_t function) const { return static_cast<int>(server_.RequestCount(function)); }
    // The first request of the function the server received (an empty one when none came).
    testserver::ReceivedRequest First(int32_t function) const {
        const auto requests = server_.Requests();
        auto it = std::find_if(requests.begin(), requests.end(),
                               [&](const auto& r) { return r.function == function; });
        return it == requests.end() ? testserver::ReceivedRequest{} : *it;
    }
    static CWnd* DialogOf(QWidget* dialog) {
        return CWnd::FromHandle(platform::ui::WindowTable::Instance().HandleOf(dialog));
    }
    static void Type(QWidget* dialog, int id, const char* text) {
        CWnd* wnd = DialogOf(dialog);
        ASSERT_NE(wnd, nullptr);
        auto* edit = qobject_cast<QLineEdit*>(wnd->GetDlgItem(id)->GetWidget());
        ASSERT_NE(edit, nullptr) << id;
        edit->clear();
        QTest::keyClicks(edit, QString::fromUtf8(text));
    }

    tradedata::testing::SettingsSandbox sandbox_;
    testserver::TestServer server_;
    testserver::Level2Server level2_;  // record mode 1: quotes on the control connection
    platform::ui::ScriptedUiServices services_;
    platform::ui::ScopedUiServices servicesScope_{services_};
};

TEST_F(EndToEndTest, TypedLoginShowsTheFrameAndClosingLogsOutAndStopsEveryThread) {
    const int threadsBefore = ThreadCount();
    ModalDriver driver;
    driver.OnNextModal([](QWidget* dialog) {
        Type(dialog, CLoginDlg::kCustomer, "10086001");
        Type(dialog, CLoginDlg::kPassword, "123456");
        // A person's click from the password edit: the press takes the focus to the button,
        // which posts an OK of its own that arrives before the release clicks.
        dialog->activateWindow();
        ASSERT_TRUE(ProcessEventsUntil([&] { return QApplication::activeWindow() == dialog; }));
        CWnd* wnd = DialogOf(dialog);
        wnd->GetDlgItem(CLoginDlg::kPassword)->SetFocus();
        ASSERT_EQ(::GetFocus(), wnd->GetDlgItem(CLoginDlg::kPassword)->m_hWnd);
        QWidget* button = wnd->GetDlgItem(IDOK)->GetWidget();
        QTest::mousePress(button, Qt::LeftButton);
        ASSERT_EQ(::GetFocus(), wnd->GetDlgItem(IDOK)->m_hWnd);
        kelmon::test::ui::DrainEvents();
        QTest::mouseRelease(button, Qt::LeftButton);
    });
    CTradeApp::Environment environment;
    environment.createMainFrame = CreateMainFrame;
    CTradeApp app(std::move(environment));
    SetApplicationMessageFilter([&app](MSG* msg) { return app.PreTranslateMessage(msg); });

    ASSERT_TRUE(app.InitInstance());
    CWnd* frame = app.MainWnd();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->IsWindowVisible());
    EXPECT_EQ(GetMainFrame(), frame);

    // The login answered and the day's tables were loaded before the frame came.
    const int row = tradedata::GetMainAccountIndex();
    ASSERT_GE(row, 0);
    EXPECT_EQ(tradedata::AccountTable.Get(605, row), "000010086001");
    EXPECT_GT(tradedata::ExchangeTable.GetCount(), 0);
    EXPECT_GT(tradedata::FuturesContractTable.GetCount(), 0);
    EXPECT_GT(tradedata::TradingCodeTable.GetCount(), 0);
    // One click, one login: one handshake, one 16551, one load of the day's data.
    EXPECT_EQ(server_.Authentication().Records().size(), 1u);
    EXPECT_EQ(Count(testserver::kFunctionLogin), 1);
    EXPECT_EQ(Count(kExchanges), 1);
    EXPECT_EQ(Count(testserver::kFunctionLogout), 0);

    // The workspace is the standard panel, its fixed tabs first and the first one in front.
    auto* panel = dynamic_cast<CTradePanelDlg*>(CWnd::FromHandlePermanent(GetWorkspaceWindow()));
    ASSERT_NE(panel, nullptr);
    ASSERT_GE(panel->TabCount(), 7);
    EXPECT_EQ(panel->TabText(0), "委托");
    EXPECT_EQ(panel->TabText(6), "代码表");
    EXPECT_EQ(panel->CurrentTab(), 0);
    // The account's services came with the login: its bank service brings the transfer tab.
    EXPECT_GE(panel->FindTabByPage(9), 7);

    // The worker refreshes funds and positions whenever the account is marked for it (a trade
    // push marks it), at most once a second: twice in a row here.
    EXPECT_TRUE(ProcessEventsUntil([&] { return Count(kPositions) > 0; }));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const int funds = Count(testserver::kFunctionFunds);
        const int positions = Count(kPositions);
        tradedata::SetAccountNotify(0x30, row);
        EXPECT_TRUE(ProcessEventsUntil([&] {
            return Count(testserver::kFunctionFunds) > funds && Count(kPositions) > positions;
        })) << Count(testserver::kFunctionFunds)
            << " funds queries";
    }
    EXPECT_GT(tradedata::FundsTable.GetCount(), 0);

    // The login notice carries the terminal description the login sent.
    ASSERT_TRUE(ProcessEventsUntil([&] { return Count(kAccountNotice) > 0; }));
    const std::string terminal = First(testserver::kFunctionLogin).Get(11001003);
    EXPECT_EQ(std::count(terminal.begin(), terminal.end(), '@'), 3) << terminal;
    // The login notice, not the subscription of the same function (which carries a range).
    testserver::ReceivedRequest notice;
    for (const auto& r : server_.Requests())
        if (r.function == kAccountNotice && r.Find(220) == nullptr) notice = r;
    EXPECT_EQ(notice.Get(605), "000010086001");
    EXPECT_EQ(notice.Get(1332), "14");
    EXPECT_EQ(notice.Get(1777), terminal);
    EXPECT_EQ(notice.Get(7153), "1");

    // After login the worker made the push connection to the trading server and subscribed
    // the notices and the trade topics on it.
    for (const char* topic : {"16405", "16403", "16402", "16406", "17001100"})
        EXPECT_TRUE(ProcessEventsUntil([&] { return server_.SubscriptionCount(topic) == 1; }))
            << topic;

    // Quotes: the worker logged in to the level-2 server when it started. A window asks for
    // a contract; the next round subscribes it, and its quotes reach the row.
    ASSERT_TRUE(ProcessEventsUntil([&] { return level2_.ChannelCount() == 1; }));
    const testserver::Market market(testserver::SampleTradingDay());
    const testserver::MarketQuote& quote = market.Quotes().front();
    const tradedata::RowRef contract = tradedata::FindContract(quote.code.c_str());
    ASSERT_GE(contract, 0) << quote.code;
    // A window on the notify list hears of every batch of changed rows, not just the first.
    std::vector<kelmon::test::ui::LoggedMessage> log;
    kelmon::test::ui::ProbeWnd listener("listener", &log);
    listener.logOnly = [](UINT message) { return message == WM_FRAME_REFRESH; };
    ASSERT_TRUE(
        listener.CreateEx(0, nullptr, "listener", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0));
    tradedata::AddNotifyWindow(listener.m_hWnd);
    auto rowBatches = [&] {
        size_t n = 0;
        for (const auto& m : listener.Got(WM_FRAME_REFRESH))
            if (m.wParam == kRefreshRow && m.lParam == CMainFrame::kChangedRowsPending) ++n;
        return n;
    };
    tradedata::SubscribeQuote(quote.code.c_str(), GetWorkspaceWindow());
    frame->PostMessage(WM_FRAME_COMMAND, kCommandSubscribeQuotes, 0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return level2_.Subscribed().count(quote.code) == 1; }));
    ASSERT_EQ(level2_.Publish(quote.code, {testserver::EncodeLevel2Snapshot(quote, 93000000)}), 1u);
    EXPECT_TRUE(ProcessEventsUntil([&] {
        return tradedata::GetRowDouble(729, contract) == quote.Price(quote.last);
    })) << tradedata::GetRowDouble(729, contract);
    ASSERT_TRUE(ProcessEventsUntil([&] { return rowBatches() == 1; }));
    testserver::MarketQuote later = quote;
    later.last += 1;
    ASSERT_EQ(level2_.Publish(quote.code, {testserver::EncodeLevel2Snapshot(later, 93000500)}), 1u);
    EXPECT_TRUE(ProcessEventsUntil([&] { return rowBatches() == 2; })) << rowBatches();
    tradedata::RemoveNotifyWindow(listener.m_hWnd);
    listener.DestroyWindow();

    frame->PostMessage(WM_CLOSE);
    ASSERT_TRUE(ProcessEventsUntil([&] { return app.MainWnd() == nullptr; }));
    EXPECT_EQ(GetMainFrame(), nullptr);
    // Closing cancelled the subscriptions before it closed the control connection.
    EXPECT_TRUE(ProcessEventsUntil([&] { return level2_.ConnectionCount() == 0; }));
    EXPECT_EQ(level2_.Commands().back(), "4012|all");

    // The information query of an account that joins later (a linked client) carries the
    // program's version and, while the settings ask for it, the machine description.
    const uint32_t clientSettings = GetClientSettings();
    SetClientSettings(clientSettings | kClientSendMachineInfo);
    const int linked = tradedata::AddAccount(2, "000010086009", "0001", "关联客户", "", nullptr);
    ASSERT_GE(linked, 0);
    tradedata::QueryAccountInfo(app.TradingConnection(), linked);
    SetClientSettings(clientSettings);
    const testserver::ReceivedRequest info = First(kAccountInfo);
    EXPECT_EQ(info.Get(605), "000010086009");
    EXPECT_EQ(info.Get(3072), tradedata::GetProgramVersion());
    EXPECT_FALSE(info.Get(3072).empty());
    EXPECT_EQ(info.Get(1062), NoltComm::GetMachineInfo());
    SetApplicationMessageFilter({});
    app.ExitInstance();

    EXPECT_EQ(Count(testserver::kFunctionLogout), 1);
    EXPECT_TRUE(ProcessEventsUntil([&] { return ThreadCount() == threadsBefore; }))
        << ThreadCount() << " threads, " << threadsBefore << " before the start";
    EXPECT_TRUE(services_.CallsOf("MessageBox").empty());
    kelmon::test::ui::DrainEvents();
    EXPECT_EQ(platform::ui::LiveWindowCount(), 0);
}

}  // namespace
}  // namespace shell
