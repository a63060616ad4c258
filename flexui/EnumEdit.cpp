// CEnumEdit: the caption of the current entry, changed only by typed values and spin keys.
#include "flexui/EnumEdit.h"

#include <algorithm>

#include "flexui/EnumDictionary.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowClass.h"

BOOL CEnumEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create("Edit", "", style, rect, parent, id);
}

BOOL CEnumEdit::SubclassDlgItem(UINT id, CWnd* parent) { return CWnd::SubclassDlgItem(id, parent); }

int CEnumEdit::GetEnumCount() const {
    return static_cast<int>(std::count(dict_.begin(), dict_.end(), '|')) + 1;
}

std::string CEnumEdit::GetEnumValue(int index) const {
    if (index == -1) index = current_;
    return index < 0 ? std::string() : EnumDictField(dict_, index, 0, kEnumFieldLong);
}

std::string CEnumEdit::GetEnumText(int index) const {
    if (index == -1) index = current_;
    return index < 0 ? std::string() : EnumDictField(dict_, index, 1, kEnumFieldLong);
}

void CEnumEdit::SetEnumDict(std::string_view dictionary) {
    const std::string remembered =
        current_ >= 0 ? EnumDictField(dict_, current_, 0, kEnumFieldShort) : std::string();
    dict_ = std::string(dictionary);
    const int index = EnumDictFind(dict_, remembered);
    current_ = -1;
    if (!SetEnumIndex(index >= 0 ? index : 0)) ShowCurrent();
}

void CEnumEdit::ShowCurrent() {
    if (!m_hWnd) return;
    flags_ |= kWriting;
    SetWindowText(GetEnumText(current_));
    flags_ &= ~kWriting;
}

BOOL CEnumEdit::SetEnumIndex(int index) {
    if (index < 0 || index >= GetEnumCount() || index == current_) return FALSE;
    current_ = index;
    ShowCurrent();
    if (m_hWnd && CWnd::GetFocus() == this) SendMessage(EM_SETSEL, 0, -1);
    return TRUE;
}

BOOL CEnumEdit::SetEnumValue(std::string_view value) {
    const int index = EnumDictFind(dict_, value);
    return index >= 0 ? SetEnumIndex(index) : FALSE;
}

void CEnumEdit::NotifyChange() { platform::ui::NotifyParent(m_hWnd, EN_CHANGE); }

void CEnumEdit::Rotate(BOOL previous) {
    const int count = GetEnumCount();
    int next = previous ? current_ - 1 : current_ + 1;
    if (next < 0) next = count - 1;
    if (next >= count) next = 0;
    if (SetEnumIndex(next)) NotifyChange();
}

void CEnumEdit::SetSpinKey(UINT previousKey, UINT nextKey) {
    previousKey_ = previousKey;
    nextKey_ = nextKey;
}

BOOL CEnumEdit::PreTranslateMessage(MSG* msg) {
    if (msg->hwnd == m_hWnd && msg->message == WM_KEYDOWN && msg->wParam != 0 &&
        (msg->wParam == previousKey_ || msg->wParam == nextKey_) && IsWindowEnabled()) {
        Rotate(msg->wParam == previousKey_);
        return TRUE;
    }
    return CWnd::PreTranslateMessage(msg);
}

LRESULT CEnumEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETTEXT:
            if (!(flags_ & kWriting)) return TRUE;  // only the control writes its text
            break;
        case WM_KEYDOWN:
            switch (static_cast<int>(wParam)) {
                case VK_END:
                case VK_HOME:
                case VK_LEFT:
                case VK_RIGHT:
                case VK_DELETE:
                    return 0;
                default:
                    break;
            }
            break;
        case WM_CHAR: {
            const auto ch = static_cast<char32_t>(wParam);
            if (ch < 0x20 && ch != U'\b') break;  // Enter, Tab, Escape go on
            if (ch != U'\b') {
                const int index = EnumDictFind(dict_, EnumCharText(ch));
                if (index >= 0 && SetEnumIndex(index)) NotifyChange();
            }
            return 0;
        }
        default:
            break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CEnumEdit::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_COMMAND) {
        const WORD code = HIWORD(wParam);
        // The control's own writes are not changes the parent hears of.
        if (code == EN_CHANGE && (flags_ & kWriting)) return TRUE;
        if (code == EN_SETFOCUS) {
            SendMessage(EM_SETSEL, 0, -1);
            return FALSE;
        }
    }
    return CWnd::OnChildNotify(message, wParam, lParam, result);
}
