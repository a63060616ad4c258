// Command-update: CCmdUI, the state of one command source (a dialog control or a pop-up menu
// item) that a window's update handler sets, and the passes that run those handlers.
#pragma once

#include "platform/ui/WinDefsTypes.h"

class CMenu;
class CWnd;

class CCmdUI {
public:
    UINT m_nID = 0;
    // A dialog control: the control's window object.
    CWnd* m_pOther = nullptr;
    // A menu item: its menu and its position there.
    CMenu* m_pMenu = nullptr;
    UINT m_nIndex = 0;

    // A control is enabled or disabled (a focused one first passes the focus to the next
    // control of its dialog); a menu item is enabled or grayed.
    void Enable(BOOL on = TRUE);
    // 0 unchecked, 1 checked, 2 indeterminate (a menu item shows it checked). Only buttons
    // among the controls take a check.
    void SetCheck(int check = 1);
    // The control's or the item's text; an unchanged text is left alone, so that an update
    // before every message does not reset an edit's caret.
    void SetText(const char* text);

    // Runs the target's update handler for m_nID. Without one, the source is disabled when
    // `disableIfNoHandler`; returns whether a handler ran. Ids 0 and 0xFFFF (static text)
    // are never updated.
    BOOL DoUpdate(CWnd* target, BOOL disableIfNoHandler);
};

namespace platform::ui {

// Runs the update handlers for each command item of a pop-up menu that `owner` is being
// offered: the owner's handler, else the nearest handler among its parents. Items without a
// handler keep their state (the layer cannot see which commands a window carries out). The
// menu code calls this right after it sent WM_INITMENUPOPUP for the menu.
void UpdateMenuItems(HWND owner, HMENU menu);

}  // namespace platform::ui
