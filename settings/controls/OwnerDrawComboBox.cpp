// COwnerDrawComboBox: the items with their values and colours, and their drawing.
#include "settings/controls/OwnerDrawComboBox.h"

#include "platform/ui/GdiObjects.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"

namespace settings::controls {

namespace {

DWORD OwnerDrawStyle(DWORD style) {
    return (style & ~(CBS_SORT | CBS_OWNERDRAWVARIABLE | CBS_DROPDOWNLIST)) | CBS_DROPDOWNLIST |
           CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
}

}  // namespace

COwnerDrawComboBox::COwnerDrawComboBox() = default;
COwnerDrawComboBox::~COwnerDrawComboBox() = default;

BOOL COwnerDrawComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    colors_.clear();
    if (!CFlexComboBox::Create(OwnerDrawStyle(style), rect, parent, id)) return FALSE;
    PreSubclassWindow();
    return TRUE;
}

BOOL COwnerDrawComboBox::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!CWnd::SubclassDlgItem(id, parent)) return FALSE;
    PreSubclassWindow();
    return TRUE;
}

void COwnerDrawComboBox::PreSubclassWindow() {
    // The rows are measured when the window is made, which may be before this object
    // answers for it; the field and the rows get the height here as well.
    MEASUREITEMSTRUCT rows;
    MeasureItem(&rows);
    const int height = TextHeight();
    if (height <= 0) return;
    ::SendMessage(m_hWnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height);
    ::SendMessage(m_hWnd, CB_SETITEMHEIGHT, 0, static_cast<LPARAM>(rows.itemHeight));
}

int COwnerDrawComboBox::TextHeight() const {
    CDC measure;
    measure.CreateCompatibleDC(nullptr);
    CFont* font = reinterpret_cast<CFont*>(::SendMessage(m_hWnd, WM_GETFONT, 0, 0));
    if (font) measure.SelectObject(font);
    return measure.GetTextExtent(kMeasureText).cy;
}

int COwnerDrawComboBox::AddItem(std::string_view value) { return AddItem(value, {}, kNoColor); }

int COwnerDrawComboBox::AddItem(std::string_view value, std::string_view text) {
    return AddItem(value, text, kNoColor);
}

int COwnerDrawComboBox::AddItem(std::string_view value, std::string_view text, COLORREF color) {
    const int index = AddString(value, text);
    // A colour is kept only for an item that was added, so the colours never drift from the
    // items they belong to.
    if (index >= 0 && static_cast<size_t>(index) <= colors_.size())
        colors_.insert(colors_.begin() + index, color);
    return index;
}

void COwnerDrawComboBox::ResetContent() {
    CFlexComboBox::ResetContent();
    colors_.clear();
}

std::string COwnerDrawComboBox::GetItemValue(int index) const {
    return GetString(index < 0 ? -1 : index);
}

std::string COwnerDrawComboBox::GetItemText(int index) const {
    return GetNote(index < 0 ? -1 : index);
}

COLORREF COwnerDrawComboBox::GetItemColor(int index) const {
    if (index < 0) index = GetCurSel();
    if (index < 0 || static_cast<size_t>(index) >= colors_.size() || index >= GetCount())
        return kNoColor;
    return colors_[static_cast<size_t>(index)];
}

int COwnerDrawComboBox::SelectValue(std::string_view value) { return SetSel(value); }

BOOL COwnerDrawComboBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam,
                                       LRESULT* result) {
    switch (message) {
        case WM_DRAWITEM:
            DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            if (result) *result = TRUE;
            return TRUE;
        case WM_MEASUREITEM:
            MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            if (result) *result = TRUE;
            return TRUE;
        default:
            return CFlexComboBox::OnChildNotify(message, wParam, lParam, result);
    }
}

void COwnerDrawComboBox::MeasureItem(MEASUREITEMSTRUCT* item) {
    if (!item) return;
    const int height = TextHeight();
    if (height > 0) item->itemHeight = static_cast<UINT>(height);
}

void COwnerDrawComboBox::DrawItem(const DRAWITEMSTRUCT* item) {
    if (!item || !item->hDC) return;
    CDC* dc = item->hDC;
    const COLORREF oldBack = dc->GetBkColor();
    const COLORREF oldText = dc->GetTextColor();
    COLORREF back = oldBack;
    COLORREF text = oldText;
    if (item->itemState & ODS_SELECTED) {
        back = GetSysColor(COLOR_HIGHLIGHT);
        text = GetSysColor(COLOR_HIGHLIGHTTEXT);
    }
    const int index = static_cast<int>(item->itemID);
    if ((item->itemState & ODS_COMBOBOXEDIT) && index >= 0) {
        const COLORREF own = GetItemColor(index);
        if (own != kNoColor) {
            back = own;
            text = GetSysColor(COLOR_HIGHLIGHTTEXT);
        }
    }
    RECT rect = item->rcItem;
    dc->FillSolidRect(&rect, back);
    if (index >= 0) {
        dc->SetBkColor(back);
        dc->SetTextColor(text);
        dc->DrawText(GetItemText(index), &rect, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
    }
    dc->SetBkColor(oldBack);
    dc->SetTextColor(oldText);
}

}  // namespace settings::controls
