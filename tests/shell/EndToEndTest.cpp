// The whole road against the test trading server: start-up with an installation profile
// naming the server, a login typed into the login dialog, the main frame with its worker,
// closing the frame and the application's exit, which logs the account out and leaves no
// thread of its own behind. The real clock runs: the worker's refreshes are timed.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "platform/core/Encoding.h"
#include "platform/ui/ScriptedUiServices.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowTable.h"
#include "platform/ui/Wnd.h"
#include "shell/LoginDlg.h"
#include "shell/MainFrame.h"
#include "shell/TradeApp.h"
#include "shell/TradePanel.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/UiTestApp.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/LoginAnswer.h"
#include "testserver/TestServer.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"

namespace shell {
namespace {

using kelmon::test::ui::ModalDriver;
using kelmon::test::ui::ProcessEventsUntil;

constexpr int32_t kPositions = 16154;  // the futures positions query

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
        // The installation profile as an installer writes it: GBK text beside the program.
        std::ofstream(sandbox_.dir.file("KELMON.INI"), std::ios::binary)
            << platform::Utf8ToGbk("[TradeServer]\r\nSERVER1=演示服务器,127.0.0.1@" +
                                   std::to_string(server_.Port()) + "/tcp\r\n");
    }
    void TearDown() override {
        server_.Stop();
        tradedata::testing::ResetGlobalTables();
    }
    int Count(int32_t function) const {
        int n = 0;
        for (const auto& request : server_.Requests()) n += request.function == function;
        return n;
    }
    static void Type(QWidget* dialog, int id, const char* text) {
        CWnd* wnd = CWnd::FromHandle(platform::ui::WindowTable::Instance().HandleOf(dialog));
        ASSERT_NE(wnd, nullptr);
        auto* edit = qobject_cast<QLineEdit*>(wnd->GetDlgItem(id)->GetWidget());
        ASSERT_NE(edit, nullptr) << id;
        edit->clear();
        QTest::keyClicks(edit, QString::fromUtf8(text));
    }

    tradedata::testing::SettingsSandbox sandbox_;
    testserver::TestServer server_;
    platform::ui::ScriptedUiServices services_;
    platform::ui::ScopedUiServices servicesScope_{services_};
};

TEST_F(EndToEndTest, TypedLoginShowsTheFrameAndClosingLogsOutAndStopsEveryThread) {
    const int threadsBefore = ThreadCount();
    ModalDriver driver;
    driver.OnNextModal([](QWidget* dialog) {
        Type(dialog, CLoginDlg::kCustomer, "10086001");
        Type(dialog, CLoginDlg::kPassword, "123456");
        ModalDriver::ClickButton(dialog, "登录");
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
    EXPECT_EQ(Count(testserver::kFunctionLogin), 1);

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
        })) << Count(testserver::kFunctionFunds) << " funds queries";
    }
    EXPECT_GT(tradedata::FundsTable.GetCount(), 0);

    frame->PostMessage(WM_CLOSE);
    ASSERT_TRUE(ProcessEventsUntil([&] { return app.MainWnd() == nullptr; }));
    EXPECT_EQ(GetMainFrame(), nullptr);
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
