// Command-update: CCmdUI on controls and menu items, the dialog-control pass and the pop-up
// menu pass.
#include "platform/ui/CmdUI.h"

#include <vector>

#include "platform/ui/Menu.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"

namespace {

constexpr UINT kStaticId = 0xFFFF;

bool IsButton(HWND hwnd) { return ::GetClassName(hwnd) == "Button"; }

// Buttons that carry out no command of their own: they keep their state without a handler.
bool NeedsNoHandler(HWND hwnd) {
    if (!IsButton(hwnd)) return false;
    switch (static_cast<DWORD>(::GetWindowLong(hwnd, GWL_STYLE)) & BS_TYPEMASK) {
        case BS_AUTOCHECKBOX:
        case BS_AUTO3STATE:
        case BS_AUTORADIOBUTTON:
        case BS_GROUPBOX:
            return true;
        default:
            return false;
    }
}

bool IsChildWindow(HWND hwnd) {
    return (static_cast<DWORD>(::GetWindowLong(hwnd, GWL_STYLE)) & WS_CHILD) != 0;
}

// The item's kind and state bits, to keep them through a change of another part of it.
UINT ItemState(const CMenu* menu, UINT index) {
    constexpr UINT kKept = MF_GRAYED | MF_DISABLED | MF_CHECKED | MFT_RADIOCHECK | MF_DEFAULT;
    const UINT state = menu->GetMenuState(index, MF_BYPOSITION);
    return state == static_cast<UINT>(-1) ? 0 : state & kKept;
}

}  // namespace

void CCmdUI::Enable(BOOL on) {
    if (m_pMenu) {
        m_pMenu->EnableMenuItem(m_nIndex, MF_BYPOSITION | (on ? MF_ENABLED : MF_GRAYED));
    } else if (m_pOther && ::IsWindow(m_pOther->m_hWnd)) {
        const HWND control = m_pOther->m_hWnd;
        if ((::IsWindowEnabled(control) != FALSE) == (on != FALSE)) return;
        // The keyboard is not left on a control that goes grey: the dialog moves it on.
        if (!on && ::GetFocus() == control)
            if (const HWND parent = ::GetParent(control))
                ::SendMessage(parent, WM_NEXTDLGCTL, 0, 0);
        ::EnableWindow(control, on);
    }
}

void CCmdUI::SetCheck(int check) {
    if (m_pMenu) {
        m_pMenu->CheckMenuItem(m_nIndex, MF_BYPOSITION | (check ? MF_CHECKED : MF_UNCHECKED));
    } else if (m_pOther && ::IsWindow(m_pOther->m_hWnd) && IsButton(m_pOther->m_hWnd)) {
        const WPARAM state = check == 2 ? BST_INDETERMINATE : check ? BST_CHECKED : BST_UNCHECKED;
        m_pOther->SendMessage(BM_SETCHECK, state, 0);
    }
}

void CCmdUI::SetText(const char* text) {
    const std::string wanted = text ? text : "";
    if (m_pMenu) {
        if (m_pMenu->GetMenuString(m_nIndex, MF_BYPOSITION) == wanted) return;
        m_pMenu->ModifyMenu(m_nIndex, MF_BYPOSITION | MF_STRING | ItemState(m_pMenu, m_nIndex),
                            m_nID, wanted.c_str());
    } else if (m_pOther && ::IsWindow(m_pOther->m_hWnd)) {
        if (m_pOther->GetWindowText() != wanted) m_pOther->SetWindowText(wanted);
    }
}

BOOL CCmdUI::DoUpdate(CWnd* target, BOOL disableIfNoHandler) {
    if (m_nID == 0 || (m_nID & 0xFFFF) == kStaticId) return FALSE;
    if (target && target->UpdateCommand(this)) return TRUE;
    if (disableIfNoHandler) Enable(FALSE);
    return FALSE;
}

void CWnd::UpdateDialogControls(CWnd* target, BOOL disableIfNoHandler) {
    if (!::IsWindow(m_hWnd)) return;
    // A handler may create or destroy controls: the list is taken first.
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    for (HWND child : children) {
        if (!::IsWindow(child)) continue;
        CCmdUI state;
        state.m_nID = static_cast<UINT>(::GetDlgCtrlID(child));
        state.m_pOther = CWnd::FromHandle(child);
        state.DoUpdate(target, disableIfNoHandler && !NeedsNoHandler(child));
    }
}

namespace platform::ui {

void UpdateMenuItems(HWND owner, HMENU menu) {
    CMenu* shown = CMenu::FromHandle(menu);
    if (!shown || !::IsWindow(owner)) return;
    // Handlers may change the menu: the count is read again after every item.
    for (UINT index = 0; ::IsMenu(menu) && index < shown->GetMenuItemCount(); ++index) {
        const UINT id = shown->GetMenuItemID(static_cast<int>(index));
        if (id == 0 || id == static_cast<UINT>(-1)) continue;  // separator or sub-menu
        CCmdUI state;
        state.m_nID = id;
        state.m_pMenu = shown;
        state.m_nIndex = index;
        // Up to the owner's top-level window, as its commands are passed up to its parents.
        for (HWND at = owner; at; at = IsChildWindow(at) ? ::GetParent(at) : 0) {
            CWnd* wnd = CWnd::FromHandlePermanent(at);
            if (wnd && wnd->UpdateCommand(&state)) break;
        }
        if (!::IsWindow(owner)) return;
    }
}

}  // namespace platform::ui
