// Pop-up menus: a table of menu handles holding items (strings, separators, sub-menus, check
// and gray states), CMenu over a handle, and TrackPopupMenu shown through a QMenu.
#pragma once

#include <string>

#include "platform/ui/WinDefsMessages.h"

class QMenu;

// User-interface thread for all of these. Items are addressed by command id (MF_BYCOMMAND,
// searched through sub-menus too) or by position (MF_BYPOSITION).
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu);  // destroys its sub-menus with it
BOOL IsMenu(HMENU menu);
// MF_POPUP: idNewItem is the sub-menu's handle (the menu then owns it).
BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR idNewItem, const char* text);
BOOL InsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, const char* text);
BOOL ModifyMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, const char* text);
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);  // destroys a sub-menu item's menu
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);  // leaves it to the caller
// Previous MF_CHECKED state, or -1 (as DWORD) when there is no such item.
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
// Previous MF_GRAYED|MF_DISABLED state, or -1 when there is no such item.
UINT EnableMenuItem(HMENU menu, UINT item, UINT flags);
// Checks `item` with a radio mark and unchecks the others of first..last.
BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT item, UINT flags);
int GetMenuItemCount(HMENU menu);  // -1 for a bad handle
// The item's command id; -1 (as UINT) for a sub-menu or a bad position; 0 for a separator.
UINT GetMenuItemID(HMENU menu, int position);
// The item's MF_* flags; -1 for no such item.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
std::string GetMenuString(HMENU menu, UINT item, UINT flags);
// Copies at most size-1 bytes (cut on a character) and returns the bytes copied.
int GetMenuString(HMENU menu, UINT item, char* buffer, int size, UINT flags);
HMENU GetSubMenu(HMENU menu, int position);

// Shows the menu at (x, y) in screen coordinates for `owner` and runs until it is closed.
// Unless TPM_NONOTIFY, the owner gets WM_INITMENUPOPUP (wParam = menu, lParam = position of
// the item in its parent menu, 0 for the top) before each menu shows, so that it can still
// add, check or gray items; then the update handlers of the owner (or of its parents) set
// the state of the items they know (command-update, CmdUI.h). With TPM_RETURNCMD the chosen id is
// returned (0 when cancelled); otherwise a choice is posted to the owner as WM_COMMAND (high word
// 0) and the result is TRUE. `reserved` and `rect` are ignored.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                    const RECT* rect = nullptr);

// A window's menu and its system menu. The layer keeps a top-level window's menu but draws no
// menu bar: the program's frame turns its menu into system-menu items. Both menus are destroyed
// with their window; SetMenu leaves the menu it replaces to the caller, as Win32 does.
HMENU GetMenu(HWND hwnd);
BOOL SetMenu(HWND hwnd, HMENU menu);
// Made on first request with the standard commands (SC_RESTORE, SC_MINIMIZE, SC_MAXIMIZE,
// SC_CLOSE), which the default window procedure carries out. `revert` puts the standard menu
// back and answers 0.
HMENU GetSystemMenu(HWND hwnd, BOOL revert);

class CWnd;

// A menu object over a handle; the object owns the handle it created or attached.
class CMenu {
public:
    CMenu() = default;
    ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    HMENU m_hMenu = 0;
    HMENU GetSafeHmenu() const { return m_hMenu; }
    // A temporary object, owned by the menu table, that lives as long as the menu; null for a
    // bad handle.
    static CMenu* FromHandle(HMENU menu);

    BOOL CreatePopupMenu();
    BOOL Attach(HMENU menu);
    HMENU Detach();
    BOOL DestroyMenu();

    BOOL AppendMenu(UINT flags, UINT_PTR idNewItem = 0, const char* text = nullptr);
    BOOL InsertMenu(UINT position, UINT flags, UINT_PTR idNewItem = 0, const char* text = nullptr);
    BOOL ModifyMenu(UINT position, UINT flags, UINT_PTR idNewItem = 0, const char* text = nullptr);
    BOOL DeleteMenu(UINT position, UINT flags);
    BOOL RemoveMenu(UINT position, UINT flags);
    UINT CheckMenuItem(UINT item, UINT flags);
    UINT EnableMenuItem(UINT item, UINT flags);
    BOOL CheckMenuRadioItem(UINT first, UINT last, UINT item, UINT flags);
    UINT GetMenuItemCount() const;
    UINT GetMenuItemID(int position) const;
    UINT GetMenuState(UINT item, UINT flags) const;
    std::string GetMenuString(UINT item, UINT flags) const;
    CMenu* GetSubMenu(int position) const;
    BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, const RECT* rect = nullptr);
};

namespace platform::ui {

// The QMenu showing `menu` while it is tracked (its sub-menus included), else null; lets a
// headless test act on the pop-up from inside its loop.
HMENU MenuOfQMenu(const QMenu* shown);

// Shows the window's system menu at (x, y) (screen) and sends the chosen command as
// WM_SYSCOMMAND. The menu and its sub-menus are announced with WM_INITMENUPOPUP whose high word
// of lParam is TRUE, as a system menu's are. Returns the command (0 when cancelled). The window
// procedure's default answer to SC_KEYMENU (Alt+Space) comes here.
UINT TrackSystemMenu(HWND hwnd, int x, int y);
// The window layer drops a window's menus when the window is gone.
void ForgetWindowMenus(HWND hwnd);

}  // namespace platform::ui
