// CTradeApp: the start-up and exit sequences and the application's key routing.
#include "shell/TradeApp.h"

#include <QApplication>
#include <QLocale>
#include <array>
#include <atomic>

#include "comm/FixApiClient.h"
#include "comm/ToolkitRuntime.h"
#include "flexui/MsgWnd.h"
#include "options/pricing/OptionDrivers.h"
#include "platform/core/Clock.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"
#include "record/Configure.h"
#include "shell/AliasRelabel.h"
#include "shell/FrameMessages.h"
#include "shell/LoginDlg.h"
#include "shell/SharedFonts.h"
#include "shell/services/LogLine.h"
#include "shell/services/SettingsWriters.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/AccountFiles.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/Rates.h"
#include "tradedata/TradingHelpers.h"

namespace shell {
namespace {

constexpr std::string_view kSection = "SYSTEM";

std::atomic<int64_t> g_lastActivityTick{0};
std::atomic<HWND> g_lastActiveWindow{0};
std::atomic<int32_t> g_querySpanDays{1};
std::atomic<HACCEL> g_hotKeyAccelerators{0};
std::atomic<bool> g_translateNumpad{true};

// Keypad scan codes 0x47-0x53 and the main-block keys they stand for, with the scan codes
// of those keys (what MapVirtualKey gives for them on the standard keyboard).
struct NumpadKey {
    int vk;
    int scanCode;
};
constexpr int kFirstKeypadScan = 0x47;
constexpr std::array<NumpadKey, 13> kNumpadKeys{{
    {'7', 0x08},
    {'8', 0x09},
    {'9', 0x0A},
    {189, 0x0C},  // VK_OEM_MINUS
    {'4', 0x05},
    {'5', 0x06},
    {'6', 0x07},
    {187, 0x0D},  // VK_OEM_PLUS
    {'1', 0x02},
    {'2', 0x03},
    {'3', 0x04},
    {'0', 0x0B},
    {190, 0x34},  // VK_OEM_PERIOD
}};

bool IsKeyDown(UINT message) { return message == WM_KEYDOWN || message == WM_SYSKEYDOWN; }

}  // namespace

int64_t GetLastActivityTick() { return g_lastActivityTick.load(); }
void StampLastActivityTick(int64_t tick) { g_lastActivityTick.store(tick); }
HWND GetLastActiveWindow() { return g_lastActiveWindow.load(); }
int32_t GetDefaultQuerySpanDays() { return g_querySpanDays.load(); }
// One registry for the shell and the data model's helpers.
void SetWorkspaceWindow(HWND hwnd) { tradedata::SetWorkplaceWindow(hwnd); }
HWND GetWorkspaceWindow() { return tradedata::GetWorkplaceWindow(); }
void SetHotKeyAccelerators(HACCEL table) { g_hotKeyAccelerators.store(table); }
HACCEL GetHotKeyAccelerators() { return g_hotKeyAccelerators.load(); }
void SetNumpadTranslation(bool on) { g_translateNumpad.store(on); }
bool GetNumpadTranslation() { return g_translateNumpad.load(); }

bool TranslateNumpadKey(MSG* msg, bool numLockOn, bool* markShift) {
    if (markShift != nullptr) *markShift = false;
    if (msg == nullptr) return false;
    const int scan = static_cast<int>((static_cast<uint32_t>(msg->lParam) >> 16) & 0x1FF);
    const int index = scan - kFirstKeypadScan;
    if (index < 0 || index >= static_cast<int>(kNumpadKeys.size())) return false;
    const NumpadKey& key = kNumpadKeys[static_cast<size_t>(index)];
    const bool cameAsNavigation = msg->wParam < 48;
    msg->wParam = static_cast<WPARAM>(key.vk);
    msg->lParam = static_cast<LPARAM>((static_cast<uint32_t>(msg->lParam) & 0xFF00FFFFu) |
                                      (static_cast<uint32_t>(key.scanCode) << 16));
    if (markShift != nullptr) *markShift = cameAsNavigation && numLockOn;
    return true;
}

CTradeApp::CTradeApp(Environment environment) : env_(std::move(environment)) {
    if (!env_.activeWindow)
        env_.activeWindow = [] { return platform::ui::WindowOf(QApplication::activeWindow()); };
    if (!env_.trace) env_.trace = [](std::string_view text) { WriteLogLine(text); };
}

void CTradeApp::Trace(std::string_view text) const {
    if (GetLogOptions() & kLogConnectionLines) env_.trace(text);
}

CTradeApp::~CTradeApp() = default;

void CTradeApp::AdoptTradingConnection(std::unique_ptr<NoltComm::CFixApiClient> connection) {
    connection_ = std::move(connection);
    tradedata::SetTradingConnection(connection_.get());
}

BOOL CTradeApp::InitInstance() {
    // Chinese (PRC) formats; numbers never go through the locale.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    tradedata::ResetServerTimeOffset();
    CreateSharedFonts();
    pavlet::SetProfileName("KELMON.INI");

    InstallWindowSender();
    MigrateUserFiles();
    InstallAliasRelabelling();
    tradedata::ApplyServiceOrder();

    // Log switches, banner, communication switches, "CheckStamp" and the option pricing
    // defaults, all from the installation profile; the pricing drivers take their model here.
    LoadStartupSettings();
    options::pricing::SetOptionModelDefaults(GetOptionPriceModel(), GetBinomialSteps());
    Trace("程序启动");
    g_querySpanDays.store(1);

    const INT_PTR login = env_.runLogin ? env_.runLogin(*this) : RunLoginDialog(*this);
    if (login != IDOK) return FALSE;
    Trace("登录成功");

    std::string title = pavlet::ReadConfigure(kSection, "TITLE", "");
    if (title.empty()) title = kProgramName;
    CMsgWnd::SetMsgTitle(title);

    // From here on the account's private profile answers first.
    const std::string khh = tradedata::GetMainKhh();
    tradedata::SetUpUserDirectory(khh);
    pavlet::SetPrivateProfileName(tradedata::GetAccountFilePath(khh, "ini"));
    ReadAccountSwitches();

    CWnd* const mainWnd = env_.createMainFrame ? env_.createMainFrame(*this) : nullptr;
    mainHwnd_ = mainWnd != nullptr ? mainWnd->m_hWnd : HWND{0};
    // The window layer's own notion of the main window parents pop-ups of the shared controls.
    AfxSetMainWnd(mainWnd);
    return mainWnd != nullptr ? TRUE : FALSE;
}

CWnd* CTradeApp::MainWnd() const {
    return mainHwnd_ != 0 && ::IsWindow(mainHwnd_) ? CWnd::FromHandlePermanent(mainHwnd_) : nullptr;
}

void CTradeApp::ReadAccountSwitches() {
    if (pavlet::ReadConfigure(kSection, "DLBZJJGZX", 1) != 0) {
        const std::string last = pavlet::ReadPrivateConfigure(kSection, "BZJJGZXDLSJ", "");
        const std::string today =
            env_.today ? env_.today() : tradedata::FormatDate(tradedata::GetCurrentSystemTime(), 0);
        if (last != today) SetAppStateFlags(kAppStateMarginLoginDue);
    }
    if (pavlet::ReadPrivateConfigure(kSection, "CHECKZJMMFIRST", 0) != 0)
        SetAppStateFlags(kAppStateFundsPasswordFirst);
}

int CTradeApp::ExitInstance() {
    if (connection_) {
        const int mainRow = tradedata::GetMainAccountIndex();
        // A negative row would name the current account: only the main account logs out.
        if (mainRow >= 0) tradedata::LogoutAccount(connection_.get(), mainRow);
        connection_->Close();
        tradedata::SetTradingConnection(nullptr);
        connection_.reset();
    }
    ReleaseExitFonts();
    CMsgWnd::RemoveAll();
    tradedata::SetWindowSender({});
    NoltComm::CleanupCryptoLibrary();
    Trace("程序退出");
    return 0;
}

BOOL CTradeApp::PreTranslateMessage(MSG* msg) {
    if (msg == nullptr) return FALSE;
    if (env_.activeWindow) g_lastActiveWindow.store(env_.activeWindow());
    switch (msg->message) {
        case WM_NCLBUTTONDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            g_lastActivityTick.store(platform::TickMs());
            break;
        default:
            break;
    }
    if (!IsKeyDown(msg->message)) return FALSE;

    if (GetNumpadTranslation()) {
        bool markShift = false;
        const bool numLock = env_.numLockOn && env_.numLockOn();
        if (TranslateNumpadKey(msg, numLock, &markShift) && markShift && env_.markShiftDown)
            env_.markShiftDown();
    }

    const HWND workspace = GetWorkspaceWindow();
    const HACCEL accelerators = GetHotKeyAccelerators();
    CWnd* const mainWnd = MainWnd();
    const HWND mainHwnd = mainWnd != nullptr ? mainWnd->m_hWnd : HWND{0};
    if (workspace != 0 && accelerators != 0 && mainHwnd != 0 &&
        (GetAppStateFlags() & kAppStateAcceleratorsSuspended) == 0 &&
        GetLastActiveWindow() == mainHwnd && TranslateAccelerator(workspace, accelerators, msg))
        return TRUE;

    switch (msg->wParam) {
        case VK_RETURN:
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
            return FALSE;
        default:
            break;
    }
    if (mainWnd != nullptr && mainWnd->PreTranslateMessage(msg)) return TRUE;
    // The window layer's own walk from the focus window up is the class library's part.
    return FALSE;
}

}  // namespace shell
