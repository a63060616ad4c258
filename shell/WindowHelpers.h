// The program's window helpers: the main window and its transparency, the edit field of a
// combo box or other parent, and the main frame's key forwarding switch.
#pragma once

#include "platform/ui/WinDefsTypes.h"
#include "shell/FrameMessages.h"

class CWnd;

namespace shell {

// The main frame's service that switches key forwarding (lParam 0 or 1).
inline constexpr WPARAM kFrameServiceKeyForwarding = kServiceKeyForwarding;

// The program's main window (its frame), set by the frame when it is created and cleared
// when it goes. User-interface thread.
void SetMainWindow(HWND hwnd);
HWND GetMainWindow();

// Binds the window transparency of the desktop; true when it is there. Until it is bound
// SetMainWindowTransparency does nothing.
bool InitLayeredWindows();
bool LayeredWindowsBound();
// Level 1..255: the main window becomes layered (WS_EX_LAYERED) with opacity 255 - level; any
// other level makes it opaque and removes the layered style.
void SetMainWindowTransparency(int level);

// The first direct child of class "Edit" (the edit field of a combo box); null when none.
CWnd* GetComboEdit(CWnd* combo);
CWnd* GetEditChild(HWND parent);

// Tells the main frame whether keystrokes go on to the registered receiver window (0 while a
// modal dialog or the lock holds the keyboard, 1 again after).
void EnableKeyForwarding(int on);

}  // namespace shell
