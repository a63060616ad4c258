// The dialog manager: the dialog window class ("#32770") and its default procedure (focus
// moves, default button), the keyboard interface of dialogs (Tab, arrows in groups, Enter,
// Escape) and the dialog item helpers by handle. User-interface thread.
#pragma once

#include <string>

#include "platform/ui/WinDefsTypes.h"

namespace platform::ui {

inline constexpr const char* kDialogClass = "#32770";
// Registers the dialog window class (idempotent).
void EnsureDialogClass();

}  // namespace platform::ui

// Handles the dialog keys of a message for a control of the dialog (or the dialog itself):
// Tab / Shift+Tab over the WS_TABSTOP controls in template order, arrows inside a WS_GROUP
// run, Enter to the focused push button or the default button (IDOK when none), Escape to
// IDCANCEL. A control keeps what its WM_GETDLGCODE answer claims. TRUE when the message was
// used up.
BOOL IsDialogMessage(HWND dialog, MSG* msg);
// The next (or previous) control that Tab reaches from `control` (0: from the start),
// wrapping; enabled, visible and WS_TABSTOP. 0 when there is none.
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
// The next (or previous) enabled, visible control of the WS_GROUP run that holds `control`,
// wrapping inside the run; `control` itself when it is alone.
HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);

LRESULT SendDlgItemMessage(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
// The control's text as a decimal number (blanks around it allowed); `translated` tells
// whether the whole text was one number in range.
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
// Checks `check` and unchecks the other buttons whose ids lie in [first, last].
BOOL CheckRadioButton(HWND dialog, int first, int last, int check);
