// CFlexHotKeyCtrl: the stored hot key and the uniqueness walk over the dialog group.
#include "flexui/FlexHotKeyCtrl.h"

#include <climits>

#include "platform/ui/DialogManager.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"

BOOL CFlexHotKeyCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create("msctls_hotkey32", "", style, rect, parent, id);
}

BOOL CFlexHotKeyCtrl::SubclassDlgItem(UINT id, CWnd* parent) {
    return CWnd::SubclassDlgItem(id, parent);
}

void CFlexHotKeyCtrl::SetHotKey(WORD virtualKey, WORD modifiers) {
    ::SendMessage(m_hWnd, HKM_SETHOTKEY,
                  static_cast<WPARAM>(((modifiers & 0xFF) << 8) | (virtualKey & 0xFF)), 0);
}

WORD CFlexHotKeyCtrl::GetHotKey() const {
    return static_cast<WORD>(::SendMessage(m_hWnd, HKM_GETHOTKEY, 0, 0));
}

void CFlexHotKeyCtrl::GetHotKey(WORD& virtualKey, WORD& modifiers) const {
    const WORD hotKey = GetHotKey();
    virtualKey = hotKey & 0xFF;
    modifiers = hotKey >> 8;
}

void CFlexHotKeyCtrl::ReadProfileHotKey(std::string_view section, std::string_view key, int def) {
    const int stored = pavlet::ReadPrivateConfigInt(section, key, def, INT_MIN, INT_MAX);
    SetHotKey(static_cast<WORD>(stored & 0xFF), static_cast<WORD>((stored >> 8) & 0xFF));
}

int CFlexHotKeyCtrl::WriteProfileHotKey(std::string_view section, std::string_view key) {
    WORD virtualKey = 0;
    WORD modifiers = 0;
    GetHotKey(virtualKey, modifiers);
    return pavlet::WritePrivateConfigure(section, key,
                                         static_cast<int>(modifiers) * 256 + virtualKey);
}

LRESULT CFlexHotKeyCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
    if ((message == WM_KEYDOWN || message == WM_SYSKEYDOWN) && ::IsWindow(m_hWnd) &&
        (GetHotKey() & 0xFF) != 0)
        ClearSameKeyInGroup();
    return result;
}

void CFlexHotKeyCtrl::ClearSameKeyInGroup() {
    const HWND parent = ::GetParent(m_hWnd);
    if (!parent) return;
    const WORD mine = GetHotKey();
    // Backward through the group until the walk comes round to this field again.
    for (HWND other = GetNextDlgGroupItem(parent, m_hWnd, TRUE); other && other != m_hWnd;
         other = GetNextDlgGroupItem(parent, other, TRUE)) {
        if (::GetClassName(other) != "msctls_hotkey32") continue;
        if (static_cast<WORD>(::SendMessage(other, HKM_GETHOTKEY, 0, 0)) == mine) {
            ::SendMessage(other, HKM_SETHOTKEY, 0, 0);
            break;
        }
    }
}
