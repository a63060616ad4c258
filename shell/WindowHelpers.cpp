// The main window record, its transparency through the user-interface services, the edit child
// search and the key-forwarding message.
#include "shell/WindowHelpers.h"

#include "platform/ui/Messages.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"

namespace shell {
namespace {

HWND gMainWindow = 0;
bool gLayeredBound = false;

}  // namespace

void SetMainWindow(HWND hwnd) { gMainWindow = hwnd; }
HWND GetMainWindow() { return IsWindow(gMainWindow) ? gMainWindow : 0; }

bool InitLayeredWindows() {
    // Every desktop this program runs on sets window opacity through the services.
    gLayeredBound = true;
    return gLayeredBound;
}

bool LayeredWindowsBound() { return gLayeredBound; }

void SetMainWindowTransparency(int level) {
    const HWND main = GetMainWindow();
    if (!gLayeredBound || !main) return;
    const LONG exStyle = GetWindowLong(main, GWL_EXSTYLE);
    if (level >= 1 && level <= 255) {
        SetWindowLong(main, GWL_EXSTYLE, exStyle | static_cast<LONG>(WS_EX_LAYERED));
        platform::ui::GetUiServices().SetWindowOpacity(main, static_cast<BYTE>(255 - level));
    } else {
        SetWindowLong(main, GWL_EXSTYLE, exStyle & ~static_cast<LONG>(WS_EX_LAYERED));
        platform::ui::GetUiServices().SetWindowOpacity(main, 255);
    }
}

CWnd* GetEditChild(HWND parent) {
    if (!IsWindow(parent)) return nullptr;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetClassName(child) == "Edit") return CWnd::FromHandle(child);
    return nullptr;
}

CWnd* GetComboEdit(CWnd* combo) { return combo ? GetEditChild(combo->m_hWnd) : nullptr; }

void EnableKeyForwarding(int on) {
    if (const HWND main = GetMainWindow())
        SendMessage(main, WM_FRAME_SERVICE, kFrameServiceKeyForwarding, on);
}

}  // namespace shell
