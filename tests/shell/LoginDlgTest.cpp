// The login dialog against the test server: typed fields reach request 16551 and a login
// hands its connection to the application, one click or Enter logs in once, refusals bring
// the picture code, an unreachable server is reported, and the rows stack by the settings.
#include "shell/LoginDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <functional>

#include "comm/TradeConnection.h"
#include "platform/ui/WindowTable.h"
#include "record/Configure.h"
#include "shell/TradeApp.h"
#include "shell/services/SettingsWriters.h"
#include "shell/services/StartupSettings.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/UiTestApp.h"
#include "tests/comm/LinkTestSupport.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/LoginAnswer.h"
#include "testserver/TestServer.h"
#include "testserver/VaultCipher.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"

namespace shell {
namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::ModalDriver;
using kelmon::test::ui::ProcessEventsUntil;
using kelmon::test::ui::UiTest;

constexpr const char* kKhh = "000000012345";
constexpr int32_t kExchangesFunction = 16201;  // the first of the post-login loads
constexpr const char* kPasswordText = "secret";

testserver::LoginAccount Account() {
    testserver::LoginAccount account;
    account.khh = kKhh;
    account.password = kPasswordText;
    return account;
}

class LoginDlgTest : public UiTest {
protected:
    void SetUp() override {
        tradedata::testing::ResetGlobalTables();
        server_.EnableTradingDay();
        server_.SetHook(testserver::kFunctionLogin, testserver::LoginAnswerHook({Account()}));
        ASSERT_TRUE(server_.Start()) << server_.ErrorText();
        UseServerAt(server_.Port(), true);
    }
    void TearDown() override {
        server_.Stop();
        tradedata::testing::ResetGlobalTables();
        UiTest::TearDown();
    }
    // The profile's one trade server; remembered, so no speed test is asked for at open.
    void UseServerAt(uint16_t port, bool remembered) {
        const std::string address = "127.0.0.1@" + std::to_string(port) + "/tcp";
        pavlet::WriteConfigure("TradeServer", "SERVER1", "本地," + address);
        WriteLocalizeString("TradeCommInfo", "ServerName", remembered ? address : "");
    }
    std::vector<testserver::ReceivedRequest> Logins() const {
        std::vector<testserver::ReceivedRequest> out;
        for (const auto& r : server_.Requests())
            if (r.function == testserver::kFunctionLogin) out.push_back(r);
        return out;
    }
    static void Type(CWnd& dialog, int id, const char* text) {
        auto* edit = qobject_cast<QLineEdit*>(dialog.GetDlgItem(id)->GetWidget());
        ASSERT_NE(edit, nullptr) << id;
        edit->clear();
        QTest::keyClicks(edit, QString::fromUtf8(text));
    }
    std::vector<platform::ui::ScriptedUiServices::Call> Boxes() const {
        return services_.CallsOf("MessageBox");
    }
    size_t Count(int32_t function) const { return server_.RequestCount(function); }
    static CWnd* DialogOf(QWidget* window) {
        return CWnd::FromHandle(platform::ui::WindowTable::Instance().HandleOf(window));
    }
    static HWND ItemOf(CWnd& dialog, int id) { return dialog.GetDlgItem(id)->m_hWnd; }
    // The dialog as the window the keyboard and the mouse go to.
    static void Activate(CWnd& dialog) {
        QWidget* window = dialog.GetWidget();
        window->activateWindow();
        ASSERT_TRUE(ProcessEventsUntil([&] { return QApplication::activeWindow() == window; }));
    }
    // A key as a person presses it: the events it leads to run before the next one.
    static void PressKey(Qt::Key key) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, key);
        DrainEvents();
    }
    // A person's click on "登录" from the password edit: the press takes the focus to the
    // button (leaving the password posts an OK), the release clicks. `eventsBetween`: the
    // posted OK arrives while the button is held down, as when the hand is slower than the
    // event loop; else it comes after the click.
    static void ClickLogin(CWnd& dialog, bool eventsBetween) {
        dialog.GetDlgItem(CLoginDlg::kPassword)->SetFocus();
        ASSERT_EQ(::GetFocus(), ItemOf(dialog, CLoginDlg::kPassword));
        QWidget* button = dialog.GetDlgItem(IDOK)->GetWidget();
        QTest::mousePress(button, Qt::LeftButton);
        EXPECT_EQ(::GetFocus(), ItemOf(dialog, IDOK));
        if (eventsBetween) DrainEvents();
        QTest::mouseRelease(button, Qt::LeftButton);
    }
    // Runs the login dialog as start-up does, `act` doing what the person does in it, and
    // expects it to end with one login.
    void ExpectOneLoginThrough(const std::function<void(CWnd&)>& act) {
        tradedata::testing::ResetGlobalTables();
        server_.ClearRequests();
        const size_t connections = server_.ConnectionCount();
        const size_t handshakes = server_.Authentication().Records().size();
        ModalDriver driver;
        driver.OnNextModal([&](QWidget* window) {
            CWnd* dialog = DialogOf(window);
            ASSERT_NE(dialog, nullptr);
            Activate(*dialog);
            act(*dialog);
            // A login that never started or was refused leaves the dialog open: it is a
            // failure, and no dialog is left waiting for ever.
            if (!HasFailure()) {
                EXPECT_TRUE(ProcessEventsUntil(
                    [&] { return Count(testserver::kFunctionLogin) > 0; }))
                    << "no login started";
                EXPECT_TRUE(Boxes().empty()) << Boxes()[0].text;
            }
            if (HasFailure()) dialog->PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED));
        });
        CTradeApp app(CTradeApp::Environment{});
        EXPECT_EQ(RunLoginDialog(app), IDOK);
        DrainEvents();
        ExpectOneLogin(connections, handshakes);
        ASSERT_NE(app.TradingConnection(), nullptr);
        EXPECT_FALSE(app.TradingConnection()->IsClosed());
        EXPECT_TRUE(Boxes().empty());
        tradedata::SetTradingConnection(nullptr);
    }
    // One whole login and no more: one connection with one handshake, one 16551, one load of
    // the day's reference data, and no session dropped (no logout).
    void ExpectOneLogin(size_t connectionsBefore, size_t handshakesBefore) {
        EXPECT_EQ(Count(testserver::kFunctionLogin), 1u);
        EXPECT_EQ(server_.ConnectionCount(), connectionsBefore + 1);
        EXPECT_EQ(server_.Authentication().Records().size(), handshakesBefore + 1);
        EXPECT_EQ(Count(kExchangesFunction), 1u);
        EXPECT_EQ(Count(testserver::kFunctionLogout), 0u);
    }

    tradedata::testing::SettingsSandbox sandbox_;
    testserver::TestServer server_;
};

TEST_F(LoginDlgTest, TypedLoginSendsTheRequestAndHandsTheConnectionToTheApplication) {
    WriteLocalizeInt("SYSTEM", "RememberLatestaccount", 1);
    ModalDriver driver;
    driver.OnNextModal([](QWidget* window) {
        CWnd* dialog = DialogOf(window);
        ASSERT_NE(dialog, nullptr);
        Type(*dialog, CLoginDlg::kCustomer, "12345");
        Type(*dialog, CLoginDlg::kPassword, kPasswordText);
        ModalDriver::ClickButton(window, "登录");
    });
    CTradeApp app(CTradeApp::Environment{});
    EXPECT_EQ(RunLoginDialog(app), IDOK);
    ASSERT_NE(app.TradingConnection(), nullptr);

    const auto logins = Logins();
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].Get(605), kKhh);
    std::string plain;
    ASSERT_TRUE(testserver::DecryptVaultText("0000000000012345", logins[0].Get(598), &plain));
    EXPECT_EQ(plain, std::string(kPasswordText) + '\0');
    EXPECT_EQ(logins[0].Get(11001005), kLoginApplicationId);

    const int row = tradedata::GetMainAccountIndex();
    ASSERT_GE(row, 0);
    EXPECT_EQ(tradedata::AccountTable.Get(605, row), kKhh);
    EXPECT_EQ(tradedata::GetCurrentAccountIndex(), row);
    EXPECT_EQ(GetLocalizeString("SYSTEM", "LatestAccount"), "12345");
    EXPECT_EQ(GetTradeServerInUse().name, "本地");
    EXPECT_EQ(GetTradeServerInUse().address,
              "127.0.0.1@" + std::to_string(server_.Port()) + "/tcp");
    EXPECT_TRUE(Boxes().empty());
    // The reference data of the day was loaded before the dialog closed.
    bool exchangesAsked = false;
    for (const auto& r : server_.Requests()) exchangesAsked |= r.function == 16201;
    EXPECT_TRUE(exchangesAsked);
    // Not ExitInstance: it ends the crypto library for the rest of the process.
    EXPECT_EQ(tradedata::GetTradingConnection(), app.TradingConnection());
    tradedata::SetTradingConnection(nullptr);
}

TEST_F(LoginDlgTest, RefusedTwiceBringsThePictureCodeAndALaterRefusalANewPicture) {
    WriteLocalizeString("SYSTEM", "LatestAccount", "12345");
    CLoginDlg dialog;
    ASSERT_TRUE(dialog.Create(CLoginDlg::IDD));
    dialog.ShowWindow(SW_SHOW);
    EXPECT_EQ(dialog.GetDlgItemText(CLoginDlg::kCustomer), "12345");
    EXPECT_FALSE(dialog.LayoutWord() & CLoginDlg::kShownPictureCode);
    EXPECT_FALSE(dialog.GetDlgItem(CLoginDlg::kCodePicture)->IsWindowVisible());

    auto refuse = [&](const char* code) {
        Type(dialog, CLoginDlg::kPassword, "wrong");
        if (code) Type(dialog, CLoginDlg::kCodeEdit, code);
        dialog.OnOK();
    };
    refuse(nullptr);
    EXPECT_EQ(dialog.FailureCount(), 1);
    EXPECT_FALSE(dialog.LayoutWord() & CLoginDlg::kShownPictureCode);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].caption, "客户登录");
    EXPECT_EQ(Boxes()[0].text, testserver::kLoginWrongPassword);
    EXPECT_EQ(Boxes()[0].type & 0xF0, MB_ICONWARNING);
    EXPECT_TRUE(dialog.GetDlgItemText(CLoginDlg::kPassword).empty());
    EXPECT_EQ(dialog.Connection(), nullptr);

    refuse(nullptr);
    EXPECT_EQ(dialog.FailureCount(), 2);
    EXPECT_TRUE(dialog.LayoutWord() & CLoginDlg::kShownPictureCode);
    EXPECT_TRUE(dialog.GetDlgItem(CLoginDlg::kCodePicture)->IsWindowVisible());
    EXPECT_EQ(GetLocalizeString("SYSTEM", "LatestAccount"), "");
    const std::string first = dialog.PictureCode().GetSecurityText();
    EXPECT_EQ(first.size(), 5u);

    // A wrong picture code goes nowhere; the right one (in any case) lets the login out.
    refuse("#####");
    EXPECT_EQ(Logins().size(), 2u);
    EXPECT_TRUE(dialog.GetDlgItemText(CLoginDlg::kCodeEdit).empty());
    std::string lower = first;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    refuse(lower.c_str());
    EXPECT_EQ(Logins().size(), 3u);
    EXPECT_EQ(dialog.FailureCount(), 3);
    EXPECT_NE(dialog.PictureCode().GetSecurityText(), first);
    dialog.DestroyWindow();
}

TEST_F(LoginDlgTest, LeavingThePasswordForTheLoginButtonLogsIn) {
    CLoginDlg dialog;
    ASSERT_TRUE(dialog.Create(CLoginDlg::IDD));
    dialog.ShowWindow(SW_SHOW);
    dialog.GetWidget()->activateWindow();
    Type(dialog, CLoginDlg::kCustomer, "12345");
    Type(dialog, CLoginDlg::kPassword, "wrong");
    dialog.GetDlgItem(CLoginDlg::kPassword)->SetFocus();
    kelmon::test::ui::DrainEvents();
    dialog.GetDlgItem(IDOK)->SetFocus();
    EXPECT_TRUE(kelmon::test::ui::ProcessEventsUntil([&] { return Logins().size() == 1; }));
    // Leaving it for any other control does not.
    Type(dialog, CLoginDlg::kPassword, "wrong");
    dialog.GetDlgItem(CLoginDlg::kPassword)->SetFocus();
    dialog.GetDlgItem(CLoginDlg::kCustomer)->SetFocus();
    kelmon::test::ui::DrainEvents();
    EXPECT_EQ(Logins().size(), 1u);
    dialog.DestroyWindow();
}

TEST_F(LoginDlgTest, OneMouseClickOnTheLoginButtonLogsInOnce) {
    for (const bool eventsBetween : {false, true}) {
        SCOPED_TRACE(eventsBetween ? "posted OK while pressed" : "posted OK after the click");
        ExpectOneLoginThrough([&](CWnd& dialog) {
            Type(dialog, CLoginDlg::kCustomer, "12345");
            Type(dialog, CLoginDlg::kPassword, kPasswordText);
            ClickLogin(dialog, eventsBetween);
        });
    }
}

TEST_F(LoginDlgTest, EnterThroughTheFieldsLogsInOnce) {
    // Enter on the customer number finds no password and moves there; then Enter on the
    // password, or Tab onto "登录" (leaving the password posts an OK) and Enter on it.
    for (const bool tabOntoButton : {false, true}) {
        SCOPED_TRACE(tabOntoButton ? "Tab, then Enter on the button" : "Enter on the password");
        ExpectOneLoginThrough([&](CWnd& dialog) {
            dialog.GetDlgItem(CLoginDlg::kCustomer)->SetFocus();
            Type(dialog, CLoginDlg::kCustomer, "12345");
            PressKey(Qt::Key_Return);
            ASSERT_EQ(::GetFocus(), ItemOf(dialog, CLoginDlg::kPassword));
            EXPECT_EQ(Count(testserver::kFunctionLogin), 0u);
            Type(dialog, CLoginDlg::kPassword, kPasswordText);
            if (tabOntoButton) {
                PressKey(Qt::Key_Tab);
                ASSERT_EQ(::GetFocus(), ItemOf(dialog, IDOK));
            }
            PressKey(Qt::Key_Return);
        });
    }
}

// Clicks "登录" again from inside the login (the first-login password change runs there).
class ClickingWhileLoggingInDlg : public CLoginDlg {
public:
    int changes = 0;
    std::function<void(CWnd&)> click;

protected:
    INT_PTR RunFirstLoginPasswordChange(const std::string&) override {
        ++changes;
        click(*this);
        DrainEvents();
        return IDOK;
    }
};

TEST_F(LoginDlgTest, AClickWhileALoginRunsStartsNoOther) {
    testserver::LoginAccount account = Account();
    account.extra = {{1787, "1"}};  // the password must be changed first
    server_.SetHook(testserver::kFunctionLogin, testserver::LoginAnswerHook({account}));
    const size_t connections = server_.ConnectionCount();
    const size_t handshakes = server_.Authentication().Records().size();
    ClickingWhileLoggingInDlg dialog;
    dialog.click = [](CWnd& self) { ClickLogin(self, false); };
    ModalDriver driver;
    driver.OnNextModal([&](QWidget* window) {
        CWnd* shown = DialogOf(window);
        ASSERT_NE(shown, nullptr);
        Type(*shown, CLoginDlg::kCustomer, "12345");
        Type(*shown, CLoginDlg::kPassword, kPasswordText);
        Activate(*shown);
        ClickLogin(*shown, true);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    DrainEvents();
    EXPECT_EQ(dialog.changes, 1);
    EXPECT_TRUE(dialog.LoggedIn());
    ExpectOneLogin(connections, handshakes);
    auto connection = dialog.TakeConnection();
    ASSERT_NE(connection, nullptr);
    tradedata::SetTradingConnection(nullptr);
}

TEST_F(LoginDlgTest, TestEnvironmentNoticeAndAnotherServerThanTheRemembered) {
    testserver::LoginAccount account = Account();
    account.extra = {{727, "2"}, {1777, "欢迎"}};
    server_.SetHook(testserver::kFunctionLogin, testserver::LoginAnswerHook({account}));
    UseServerAt(server_.Port(), false);
    CLoginDlg dialog;
    ASSERT_TRUE(dialog.Create(CLoginDlg::IDD));
    Type(dialog, CLoginDlg::kCustomer, "12345");
    Type(dialog, CLoginDlg::kPassword, kPasswordText);
    ASSERT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_GT(dialog.Login(), 0);
    EXPECT_TRUE(dialog.LoginState() & CLoginDlg::kLoginServerChanged);
    EXPECT_FALSE(dialog.LoginState() & CLoginDlg::kLoginLoading);
    EXPECT_EQ(GetAppStateFlags() & 0xF, 2u);
    EXPECT_EQ(GetLocalizeString("TradeCommInfo", "ServerName"), dialog.AddressInUse());
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].caption, "系统提示");
    EXPECT_EQ(Boxes()[0].text, "测试环境，所有数据仅供测试。");
    EXPECT_EQ(Boxes()[0].type & 0xF0, MB_ICONINFORMATION);
    ClearAppStateFlags(0xF);
    dialog.DestroyWindow();
}

TEST_F(LoginDlgTest, UnreachableServerIsReportedAndNotCountedAsARefusal) {
    // Held, not listening: no other test's server can take the port meanwhile.
    const linktest::RefusingPort refusing;
    UseServerAt(static_cast<uint16_t>(refusing.port()), true);
    CLoginDlg dialog;
    ASSERT_TRUE(dialog.Create(CLoginDlg::IDD));
    dialog.ShowWindow(SW_SHOW);
    Type(dialog, CLoginDlg::kCustomer, "12345");
    Type(dialog, CLoginDlg::kPassword, kPasswordText);
    dialog.OnOK();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].caption, "客户登录");
    EXPECT_EQ(Boxes()[0].type & 0xF0, MB_ICONERROR);
    EXPECT_EQ(Boxes()[0].text, "连接服务器失败!");
    EXPECT_EQ(dialog.FailureCount(), 0);
    EXPECT_EQ(dialog.Connection(), nullptr);
    EXPECT_TRUE(Logins().empty());
    dialog.DestroyWindow();
}

TEST_F(LoginDlgTest, ARefusalWithoutAReasonStillSaysTheLoginFailed) {
    const testserver::Answer answers[] = {
        testserver::Answer{{testserver::Row{{507, "-1"}}}},  // refused, no text
        testserver::Answer{{testserver::Row{{605, "x"}}}},   // no result at all
    };
    for (const auto& answer : answers) {
        server_.SetHook(testserver::kFunctionLogin,
                        [answer](const testserver::ReceivedRequest&) { return answer; });
        services_.Clear();
        CLoginDlg dialog;
        ASSERT_TRUE(dialog.Create(CLoginDlg::IDD));
        Type(dialog, CLoginDlg::kCustomer, "12345");
        Type(dialog, CLoginDlg::kPassword, kPasswordText);
        dialog.OnOK();
        ASSERT_EQ(Boxes().size(), 1u);
        EXPECT_EQ(Boxes()[0].text, "登录失败!");
        EXPECT_EQ(dialog.Connection(), nullptr);
        dialog.DestroyWindow();
    }
}

TEST_F(LoginDlgTest, RowsStackByAuthenticationStyleAndThreshold) {
    struct Case {
        int style;
        int threshold;
        bool extra;
        bool tokenSync;
        bool pictureCode;
        const char* label;
    };
    const Case cases[] = {
        {0, 2, false, false, false, nullptr},
        {1, 2, true, false, false, "通讯密码"},
        {2, 2, true, true, false, "动态口令"},
        {3, 2, false, false, false, nullptr},  // an unknown style is style 0
        {0, 0, false, false, true, nullptr},   // threshold 0: the picture code from the start
        {2, 0, true, true, true, "动态口令"},
    };
    int plainHeight = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.style << "/" << c.threshold);
        pavlet::WriteConfigure("SYSTEM", "AuthStyle", c.style);
        pavlet::WriteConfigure("SYSTEM", "SecurityThreshold", c.threshold);
        CLoginDlg dialog;
        ASSERT_TRUE(dialog.Create(CLoginDlg::IDD));
        dialog.ShowWindow(SW_SHOW);
        EXPECT_EQ(dialog.GetDlgItem(CLoginDlg::kExtra)->IsWindowVisible(), c.extra);
        EXPECT_EQ(dialog.GetDlgItem(CLoginDlg::kExtra)->IsWindowEnabled(), c.extra);
        EXPECT_EQ(dialog.GetDlgItem(CLoginDlg::kTokenSync)->IsWindowVisible(), c.tokenSync);
        EXPECT_EQ(dialog.GetDlgItem(CLoginDlg::kCodeEdit)->IsWindowVisible(), c.pictureCode);
        if (c.label) {
            EXPECT_EQ(dialog.GetDlgItemText(CLoginDlg::kExtraLabel), c.label);
        }
        if (c.pictureCode) {
            EXPECT_EQ(dialog.PictureCode().GetSecurityText().size(), 5u);
        }

        // The rows stack without gaps: the buttons sit right under the last shown row.
        RECT password{}, ok{}, client{};
        dialog.GetDlgItem(CLoginDlg::kPassword)->GetWindowRect(&password);
        dialog.GetDlgItem(IDOK)->GetWindowRect(&ok);
        dialog.GetClientRect(&client);
        const int gap = ok.top - password.top;
        if (!c.extra && !c.pictureCode) plainHeight = client.bottom;
        if (c.extra || c.pictureCode) {
            EXPECT_GT(client.bottom, plainHeight);
        } else {
            EXPECT_EQ(client.bottom, plainHeight);
        }
        EXPECT_GT(gap, 0);
        dialog.DestroyWindow();
    }
}

}  // namespace
}  // namespace shell
