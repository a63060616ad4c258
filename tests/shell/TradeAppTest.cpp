// The application object: the start-up sequence around the login (trace lines, switches read
// before and after the private profile is chosen, the option model handed to the pricing
// drivers, the frame), exit, the keypad translation and the key routing to accelerators and the
// main frame.
#include "shell/TradeApp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "comm/FixApiClient.h"
#include "flexui/MsgWnd.h"
#include "options/pricing/OptionDrivers.h"
#include "platform/core/Encoding.h"
#include "platform/core/Paths.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Wnd.h"
#include "record/Configure.h"
#include "record/MemRecord.h"
#include "shell/SharedFonts.h"
#include "shell/services/SettingsWriters.h"
#include "shell/services/StartupSettings.h"
#include "support/TempDir.h"
#include "support/ui/UiTestApp.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountFiles.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"

namespace shell {
namespace {

namespace fs = std::filesystem;
using kelmon::test::ui::UiTest;

constexpr const char* kKhh = "000000012345";

// Counts what reaches it: key pre-translation (as the main frame) and commands (as the
// workspace window).
class RecordingWnd : public CWnd {
public:
    BOOL PreTranslateMessage(MSG* msg) override {
        keys.push_back(static_cast<int>(msg->wParam));
        return FALSE;
    }
    std::vector<int> keys;
    std::vector<int> commands;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM) override {
        commands.push_back(LOWORD(wParam));
        return TRUE;
    }
};

class TradeAppTest : public UiTest {
protected:
    void SetUp() override { platform::SetProgramDirForTesting(dir_.path().string()); }
    void TearDown() override {
        pavlet::SetPrivateProfileName("");
        pavlet::SetProfileName("");
        platform::SetProgramDirForTesting("");
        ClearAppStateFlags(~0u);
        SetWorkspaceWindow(0);
        SetHotKeyAccelerators(0);
        SetNumpadTranslation(true);
        CMsgWnd::SetMsgTitle("");
        tradedata::AccountTable.GetMemRecord()->Empty();
        tradedata::ResetAccountSelection();
        UiTest::TearDown();
    }
    // Profiles hold GBK.
    void WriteText(const fs::path& path, const std::string& utf8) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << platform::Utf8ToGbk(utf8);
    }
    void WriteProfile(const std::string& system) {
        WriteText(dir_.path() / "KELMON.INI", "[SYSTEM]\n" + system);
    }
    CTradeApp::Environment Environment(INT_PTR loginResult, CWnd* frame) {
        CTradeApp::Environment env;
        env.runLogin = [this, loginResult](CTradeApp&) {
            ++logins_;
            if (loginResult == IDOK) {
                const int row = tradedata::AddAccount(1, kKhh, "0001", "客户", "pw", nullptr);
                tradedata::SetLoginAccount(row);
                tradedata::SetCurrentAccount(row);
            }
            return loginResult;
        };
        env.createMainFrame = [frame](CTradeApp&) { return frame; };
        env.today = [] { return std::string("20261211"); };
        env.trace = [this](std::string_view line) { trace_.emplace_back(line); };
        return env;
    }

    testsupport::TempDir dir_;
    std::vector<std::string> trace_;
    int logins_ = 0;
};

TEST_F(TradeAppTest, StartUpHandsTheOptionModelSettingsToThePricingDrivers) {
    const struct {
        const char* name;
        const char* profile;
        int model;
        int steps;
    } cases[] = {
        {"as set", "OptionPriceModel=2\nBinomialSteps=100\n", 2, 100},
        {"absent", "", 1, 250},
        // Clamped to 2 steps, which the drivers refuse: the count stays as it was.
        {"below the ranges", "OptionPriceModel=0\nBinomialSteps=1\n", 1, 250},
        {"above the ranges", "OptionPriceModel=3\nBinomialSteps=5000\n", 2, 4096},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteProfile(c.profile);
        CTradeApp app(Environment(IDCANCEL, nullptr));
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(options::pricing::OptionModelChoice(), c.model);
        EXPECT_EQ(options::pricing::OptionModelSteps(), c.steps);
        app.ExitInstance();
    }
    options::pricing::SetOptionModelDefaults(1, 260);
}

TEST_F(TradeAppTest, TraceLinesAndResultFollowTheLoginAndTheFrame) {
    RecordingWnd frame;
    ASSERT_TRUE(frame.Create(nullptr, "frame", WS_POPUP, RECT{0, 0, 300, 200}, nullptr, 0));
    struct Case {
        const char* name;
        INT_PTR login;
        CWnd* frame;
        BOOL result;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"cancelled", IDCANCEL, &frame, FALSE, {"程序启动", "程序退出"}},
        {"logged in", IDOK, &frame, TRUE, {"程序启动", "登录成功", "程序退出"}},
        {"no frame", IDOK, nullptr, FALSE, {"程序启动", "登录成功", "程序退出"}},
    };
    // "TradeLog" = 0: the start, login and exit lines are written all the same.
    WriteProfile("TradeLog=0\nBinomialSteps=1\nOptionPriceModel=3\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        trace_.clear();
        CTradeApp app(Environment(c.login, c.frame));
        EXPECT_EQ(app.InitInstance(), c.result);
        EXPECT_EQ(app.MainWnd(), c.result ? c.frame : nullptr);
        // The window layer's main window parents the shared controls' pop-ups.
        EXPECT_EQ(AfxGetMainWnd(), c.result ? c.frame : nullptr);
        app.ExitInstance();
        if (c.result) {
            // Once the frame's window is gone the application no longer hands it out.
            frame.DestroyWindow();
            EXPECT_EQ(app.MainWnd(), nullptr);
            EXPECT_EQ(AfxGetMainWnd(), nullptr);
            ASSERT_TRUE(frame.Create(nullptr, "frame", WS_POPUP, RECT{0, 0, 300, 200}, nullptr, 0));
        }
        EXPECT_EQ(trace_, c.lines);
        tradedata::AccountTable.GetMemRecord()->Empty();
        tradedata::ResetAccountSelection();
    }
    // Start-up read the installation profile beside the program and made the user directory.
    EXPECT_EQ(GetLogOptions(), 0x20u);
    EXPECT_EQ(GetBinomialSteps(), 2);
    EXPECT_EQ(GetOptionPriceModel(), 2);
    EXPECT_EQ(GetDefaultQuerySpanDays(), 1);
    EXPECT_TRUE(fs::is_directory(GetUserDirectory()));
    EXPECT_EQ(logins_, 3);
    frame.DestroyWindow();
}

TEST_F(TradeAppTest, AfterTheLoginThePrivateProfileAndItsSwitchesApply) {
    RecordingWnd frame;
    struct Case {
        const char* name;
        const char* installation;  // section "SYSTEM" of KELMON.INI
        const char* personal;      // section "SYSTEM" of the account's private profile
        uint32_t flags;            // 0x400 | 0x800 as expected
        const char* title;
    };
    const Case cases[] = {
        {"defaults", "", "", 0x400, "Velmora交易终端"},
        {"logged in to the centre today", "TITLE=行情交易\n", "BZJJGZXDLSJ=20261211\n", 0,
         "行情交易"},
        {"another day", "", "BZJJGZXDLSJ=20261210\n", 0x400, "Velmora交易终端"},
        {"centre login off", "DLBZJJGZX=0\n", "BZJJGZXDLSJ=\n", 0, "Velmora交易终端"},
        {"funds password first", "", "BZJJGZXDLSJ=20261211\nCHECKZJMMFIRST=1\n", 0x800,
         "Velmora交易终端"},
        // Read from the private profile alone once it is chosen: the installation's value
        // serves only as its fallback.
        {"private switch wins", "CHECKZJMMFIRST=1\n", "CHECKZJMMFIRST=0\n", 0x400,
         "Velmora交易终端"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteProfile(c.installation);
        const std::string privatePath = tradedata::GetAccountFilePath(kKhh, "ini");
        WriteText(privatePath, std::string("[SYSTEM]\n") + c.personal);
        ClearAppStateFlags(~0u);
        CTradeApp app(Environment(IDOK, &frame));
        ASSERT_TRUE(app.InitInstance());
        EXPECT_EQ(pavlet::GetPrivateProfileName(), privatePath);
        EXPECT_EQ(GetAppStateFlags() & 0xC00u, c.flags);
        EXPECT_EQ(CMsgWnd::GetMsgTitle(), c.title);
        app.ExitInstance();
        tradedata::AccountTable.GetMemRecord()->Empty();
        tradedata::ResetAccountSelection();
    }
}

TEST_F(TradeAppTest, StartUpMakesTheSharedFontsAndExitKeepsOnlyThreeOfThem) {
    RecordingWnd frame;
    CTradeApp app(Environment(IDOK, &frame));
    ASSERT_TRUE(app.InitInstance());
    for (SharedFont f : {SharedFont::kTitle, SharedFont::kListText, SharedFont::kLargeLabel,
                         SharedFont::kLargeFigure, SharedFont::kFigure}) {
        ASSERT_NE(GetSharedFont(f), nullptr);
        LOGFONT font{};
        GetSharedFont(f)->GetLogFont(&font);
        EXPECT_EQ(font.lfHeight, SharedFontDescription(f).lfHeight);
    }
    app.ExitInstance();
    EXPECT_EQ(GetSharedFont(SharedFont::kTitle), nullptr);
    EXPECT_EQ(GetSharedFont(SharedFont::kListText), nullptr);
    EXPECT_NE(GetSharedFont(SharedFont::kFigure), nullptr);
}

TEST_F(TradeAppTest, ExitLogsTheMainAccountOutAndClosesTheTradingConnection) {
    testserver::TestServer server;
    ASSERT_TRUE(server.Start()) << server.ErrorText();
    RecordingWnd frame;
    CTradeApp::Environment env = Environment(IDOK, &frame);
    env.runLogin = [&server](CTradeApp& app) {
        auto client = std::make_unique<NoltComm::CFixApiClient>();
        if (!client->Connect("127.0.0.1@" + std::to_string(server.Port()) + "/tcp"))
            return IDCANCEL;
        app.AdoptTradingConnection(std::move(client));
        // A linked account is current; the main account announced its login.
        const int main = tradedata::AddAccount(1, kKhh, "0001", "客户", "pw", nullptr);
        const int linked = tradedata::AddAccount(1, "000000054321", "0001", "联名", "pw", nullptr);
        tradedata::SetLoginAccount(main);
        tradedata::SetAccountFlag(tradedata::kFlagLoginNotice, main);
        tradedata::SetAccountFlag(tradedata::kFlagLoginNotice, linked);
        tradedata::SetCurrentAccount(linked);
        return IDOK;
    };
    CTradeApp app(std::move(env));
    ASSERT_TRUE(app.InitInstance());
    NoltComm::CFixApiClient* connection = app.TradingConnection();
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(tradedata::GetTradingConnection(), connection);

    app.ExitInstance();
    std::vector<std::string> loggedOut;
    for (const auto& r : server.Requests())
        if (r.function == 16338)
            if (const std::string* khh = r.Find(605)) loggedOut.push_back(*khh);
    EXPECT_EQ(loggedOut, std::vector<std::string>{kKhh});
    EXPECT_EQ(app.TradingConnection(), nullptr);
    EXPECT_EQ(tradedata::GetTradingConnection(), nullptr);
    server.Stop();
}

MSG Key(WPARAM vk, int scan, UINT message = WM_KEYDOWN) {
    MSG msg{};
    msg.message = message;
    msg.wParam = vk;
    msg.lParam = static_cast<LPARAM>(1 | (static_cast<uint32_t>(scan) << 16));
    return msg;
}

TEST(NumpadTranslationTest, KeypadKeysBecomeTheMainBlockKeys) {
    constexpr WPARAM kNumpad5 = 0x65;
    constexpr WPARAM kNumpad0 = 0x60;
    struct Case {
        const char* name;
        WPARAM vk;
        int scan;
        bool numLock;
        bool translated;
        WPARAM outVk;
        int outScan;
        bool markShift;
    };
    const Case cases[] = {
        {"5 with Num Lock off", VK_CLEAR, 0x4C, false, true, '5', 0x06, false},
        {"5 as navigation with Num Lock on", VK_CLEAR, 0x4C, true, true, '5', 0x06, true},
        {"5 as a digit", kNumpad5, 0x4C, true, true, '5', 0x06, false},
        {"0 as Insert", 0x2D, 0x52, false, true, '0', 0x0B, false},
        {"0 as a digit", kNumpad0, 0x52, true, true, '0', 0x0B, false},
        {"minus", 0x6D, 0x4A, true, true, 189, 0x0C, false},
        {"plus", 0x6B, 0x4E, true, true, 187, 0x0D, false},
        {"decimal point as Delete", 0x2E, 0x53, true, true, 190, 0x34, true},
        {"cursor-block Home (extended)", VK_HOME, 0x147, true, false, VK_HOME, 0x147, false},
        {"main-block 5", '5', 0x06, false, false, '5', 0x06, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MSG msg = Key(c.vk, c.scan);
        bool markShift = true;
        EXPECT_EQ(TranslateNumpadKey(&msg, c.numLock, &markShift), c.translated);
        EXPECT_EQ(msg.wParam, c.outVk);
        EXPECT_EQ((static_cast<uint32_t>(msg.lParam) >> 16) & 0x1FF,
                  static_cast<uint32_t>(c.outScan));
        EXPECT_EQ(static_cast<uint32_t>(msg.lParam) & 0xFFFF, 1u);  // repeat count kept
        EXPECT_EQ(markShift, c.markShift);
    }
}

TEST_F(TradeAppTest, KeysGoToTheAcceleratorsAndTheFrameButEnterAndArrowsDoNot) {
    RecordingWnd frame;
    RecordingWnd workspace;
    ASSERT_TRUE(frame.Create(nullptr, "frame", WS_POPUP, RECT{0, 0, 300, 200}, nullptr, 0));
    ASSERT_TRUE(workspace.Create(nullptr, "", WS_CHILD, RECT{0, 0, 100, 100}, &frame, 59648));
    HWND active = frame.m_hWnd;
    bool shiftMarked = false;
    CTradeApp::Environment env = Environment(IDOK, &frame);
    env.activeWindow = [&active] { return active; };
    env.numLockOn = [] { return true; };
    env.markShiftDown = [&shiftMarked] { shiftMarked = true; };
    CTradeApp app(std::move(env));
    ASSERT_TRUE(app.InitInstance());

    const ACCEL entries[] = {{FVIRTKEY, 'Q', 4001}};
    const HACCEL table = CreateAcceleratorTable(entries, 1);
    SetWorkspaceWindow(workspace.m_hWnd);
    SetHotKeyAccelerators(table);

    MSG q = Key('Q', 0x10);
    EXPECT_TRUE(app.PreTranslateMessage(&q));
    EXPECT_EQ(workspace.commands, std::vector<int>{4001});
    EXPECT_TRUE(frame.keys.empty());

    // Suspended table, or another window active: the frame is asked instead.
    SetAppStateFlags(kAppStateAcceleratorsSuspended);
    EXPECT_FALSE(app.PreTranslateMessage(&q));
    ClearAppStateFlags(kAppStateAcceleratorsSuspended);
    active = workspace.m_hWnd;
    EXPECT_FALSE(app.PreTranslateMessage(&q));
    EXPECT_EQ(workspace.commands.size(), 1u);
    EXPECT_EQ(frame.keys, (std::vector<int>{'Q', 'Q'}));
    EXPECT_EQ(GetLastActiveWindow(), workspace.m_hWnd);

    frame.keys.clear();
    for (WPARAM vk : {VK_RETURN, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN}) {
        MSG msg = Key(vk, 0x1C);
        EXPECT_FALSE(app.PreTranslateMessage(&msg));
    }
    EXPECT_TRUE(frame.keys.empty());

    // A keypad key reaches the frame translated; a key up is not a key press.
    MSG pad = Key(VK_CLEAR, 0x4C);
    app.PreTranslateMessage(&pad);
    EXPECT_EQ(frame.keys, std::vector<int>{'5'});
    EXPECT_TRUE(shiftMarked);
    SetNumpadTranslation(false);
    MSG raw = Key(VK_CLEAR, 0x4C);
    app.PreTranslateMessage(&raw);
    EXPECT_EQ(raw.wParam, static_cast<WPARAM>(VK_CLEAR));
    MSG up = Key('Q', 0x10, WM_KEYUP);
    app.PreTranslateMessage(&up);
    EXPECT_EQ(frame.keys.size(), 2u);

    // Presses stamp the activity tick; other messages leave it.
    clock_.AdvanceMs(500);
    MSG move{};
    move.message = WM_MOUSEMOVE;
    app.PreTranslateMessage(&move);
    EXPECT_LT(GetLastActivityTick(), platform::TickMs());
    MSG press{};
    press.message = WM_RBUTTONDOWN;
    app.PreTranslateMessage(&press);
    EXPECT_EQ(GetLastActivityTick(), platform::TickMs());

    app.ExitInstance();
    DestroyAcceleratorTable(table);
    frame.DestroyWindow();
}

}  // namespace
}  // namespace shell
