// CTradeApp: the application object. Start-up prepares the process-wide values, reads the
// global switches, runs the login and shows the main frame; exit logs the user out and
// releases what start-up took; PreTranslateMessage stamps user activity and routes keys.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/WinDefsTypes.h"

class CWnd;
namespace NoltComm {
class CFixApiClient;
}

namespace shell {

// `AppStateFlags` bits start-up sets after the login.
inline constexpr uint32_t kAppStateAcceleratorsSuspended = 0x40;
inline constexpr uint32_t kAppStateMarginLoginDue = 0x400;
inline constexpr uint32_t kAppStateFundsPasswordFirst = 0x800;

// Program-wide values of the user-interface thread, readable from any thread.
// Tick (platform::TickMs) of the user's last mouse or key press.
int64_t GetLastActivityTick();
void StampLastActivityTick(int64_t tick);
// The active window the last message found.
HWND GetLastActiveWindow();
// Days the history and record queries span by default.
int32_t GetDefaultQuerySpanDays();

// The workspace window and the hot-key accelerator table the key routing uses; set by the
// frame and the standard panel (0 when none).
void SetWorkspaceWindow(HWND hwnd);
HWND GetWorkspaceWindow();
void SetHotKeyAccelerators(HACCEL table);
HACCEL GetHotKeyAccelerators();
// The private switch "SYSTEM"/"TranslateNumpad" as the standard panel read it (default on).
void SetNumpadTranslation(bool on);
bool GetNumpadTranslation();

// Rewrites a keypad key that arrived by its 9-bit scan code (bits 16-24 of lParam) as the
// main block's key: wParam the key, bits 16-23 its scan code. *markShift tells whether the
// Shift state must be marked down again (the key came as a navigation key, wParam < 48,
// while Num Lock is on). False (message untouched) for any other scan code, so keys with
// the extended bit never match.
bool TranslateNumpadKey(MSG* msg, bool numLockOn, bool* markShift);

class CTradeApp {
public:
    // What start-up hands over to the parts after it, and the desktop facts it asks for.
    struct Environment {
        // The login dialog, run modally (IDOK when logged in); CLoginDlg when empty.
        std::function<INT_PTR(CTradeApp&)> runLogin;
        // Creates the main frame, loads it with the overlapped style, sets its icon, shows
        // and updates it; null when it could not be made.
        std::function<CWnd*(CTradeApp&)> createMainFrame;
        // The desktop's active window (the application's when empty), Num Lock toggle and
        // Shift marking (none on this desktop when empty).
        std::function<HWND()> activeWindow;
        std::function<bool()> numLockOn;
        std::function<void()> markShiftDown;
        // Today's date as "%Y%m%d" (the program clock's when empty).
        std::function<std::string()> today;
        // Where the start, login and exit lines go (the daily trace file when empty).
        std::function<void(std::string_view)> trace;
    };

    explicit CTradeApp(Environment environment);
    ~CTradeApp();
    CTradeApp(const CTradeApp&) = delete;
    CTradeApp& operator=(const CTradeApp&) = delete;

    // TRUE when the main frame was created and shown; FALSE when the login was cancelled or
    // failed, or the frame could not be made (ExitInstance still runs then).
    BOOL InitInstance();
    int ExitInstance();
    // TRUE when the message was consumed.
    BOOL PreTranslateMessage(MSG* msg);

    // The trading connection a successful login opened; the application owns it until exit.
    void AdoptTradingConnection(std::unique_ptr<NoltComm::CFixApiClient> connection);
    NoltComm::CFixApiClient* TradingConnection() const { return connection_.get(); }
    // The main frame while its window lives (it deletes itself once the window is gone).
    CWnd* MainWnd() const;

private:
    void ReadAccountSwitches();
    void Trace(std::string_view text) const;

    Environment env_;
    std::unique_ptr<NoltComm::CFixApiClient> connection_;
    // By handle: a stale handle is no window, where a kept pointer would dangle.
    HWND mainHwnd_ = 0;
};

}  // namespace shell
