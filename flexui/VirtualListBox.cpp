// CVirtualListBox: the item count, the text look-ups and the drawing of the rows.
#include "flexui/VirtualListBox.h"

#include <algorithm>

#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"

CVirtualListBox::CVirtualListBox() = default;
CVirtualListBox::~CVirtualListBox() = default;

BOOL CVirtualListBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(
        "ListBox", "", style | WS_CHILD | WS_VISIBLE | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_NODATA,
        rect, parent, id);
}

void CVirtualListBox::AppendData(std::vector<std::string>& texts) {
    texts_.clear();
    texts_.swap(texts);
    if (m_hWnd) SendMessage(LB_SETCOUNT, texts_.size());
}

void CVirtualListBox::AppendData(std::vector<std::string>& texts, std::vector<int>& values) {
    values_.swap(values);
    AppendData(texts);
}

void CVirtualListBox::GetText(int index, std::string& text) const {
    text = index >= 0 && static_cast<size_t>(index) < texts_.size() ? texts_[index] : std::string();
}

void CVirtualListBox::GetCurSelText(std::string& text) const { GetText(GetCurSel(), text); }

int CVirtualListBox::SelectString(int start, const std::string& text) {
    const auto from =
        texts_.begin() + std::clamp<ptrdiff_t>(start, 0, static_cast<ptrdiff_t>(texts_.size()));
    const auto found = std::find(from, texts_.end(), text);
    if (found == texts_.end()) return static_cast<int>(LB_ERR);
    const int index = static_cast<int>(found - texts_.begin());
    SetCurSel(index);
    return index;
}

void CVirtualListBox::ResetContent() {
    texts_.clear();
    values_.clear();
    if (m_hWnd) SendMessage(LB_SETCOUNT, 0);
}

int CVirtualListBox::GetCount() const {
    return static_cast<int>(::SendMessage(m_hWnd, LB_GETCOUNT));
}
int CVirtualListBox::GetCurSel() const {
    return static_cast<int>(::SendMessage(m_hWnd, LB_GETCURSEL));
}
int CVirtualListBox::SetCurSel(int index) {
    return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index)));
}

BOOL CVirtualListBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_MEASUREITEM || message == WM_COMPAREITEM) {
        if (result) *result = 0;  // fixed rows, no sorting
        return TRUE;
    }
    if (message != WM_DRAWITEM) return CWnd::OnChildNotify(message, wParam, lParam, result);
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (!item || !item->hDC) return FALSE;
    CDC* dc = item->hDC;
    const bool selected = (item->itemState & ODS_SELECTED) != 0;
    RECT r = item->rcItem;
    dc->FillSolidRect(&r, selected ? GetSysColor(COLOR_HIGHLIGHT) : RGB(255, 255, 255));
    std::string text;
    GetText(static_cast<int>(item->itemID), text);
    CFont* font = nullptr;
    if (CWnd* parent = GetParent())
        font = reinterpret_cast<CFont*>(parent->SendMessage(WM_GETFONT));
    CFont* old = font ? dc->SelectObject(font) : nullptr;
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_WINDOWTEXT));
    r.left += 2;
    dc->DrawText(text, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (old) dc->SelectObject(old);
    if (result) *result = TRUE;
    return TRUE;
}
