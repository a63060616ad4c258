// CColorPickCtrl: the fixed colour list, its owner drawing and the custom colour dialog.
#include "flexui/ColorPickCtrl.h"

#include <algorithm>

#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/WinDefsControls.h"

namespace {

struct NamedColor {
    const char* caption;
    COLORREF color;
};

constexpr NamedColor kColors[kColorPickItems] = {
    {"默认", kColorPickDefault},  {"黑色", RGB(0, 0, 0)},       {"褐紫红色", RGB(128, 0, 0)},
    {"绿色", RGB(0, 128, 0)},     {"橄榄色", RGB(128, 128, 0)}, {"海军蓝", RGB(0, 0, 128)},
    {"紫色", RGB(128, 0, 128)},   {"青色", RGB(0, 128, 128)},   {"灰色", RGB(128, 128, 128)},
    {"银白", RGB(192, 192, 192)}, {"红色", RGB(255, 0, 0)},     {"酸橙色", RGB(0, 255, 0)},
    {"黄色", RGB(255, 255, 0)},   {"蓝色", RGB(0, 0, 255)},     {"紫红色", RGB(255, 0, 255)},
    {"水绿色", RGB(0, 255, 255)}, {"白色", RGB(255, 255, 255)}, {"其他", kColorPickDefault},
};

inline constexpr int kSwatchWidth = 40;
inline constexpr int kCaptionOffset = 42;

DWORD PickStyle(DWORD style) {
    return (style & ~(CBS_SORT | CBS_OWNERDRAWVARIABLE | CBS_DROPDOWNLIST)) | CBS_DROPDOWNLIST |
           CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
}

}  // namespace

CColorPickCtrl::~CColorPickCtrl() = default;

const char* CColorPickCtrl::ItemCaption(int item) {
    return item >= 0 && item < kColorPickItems ? kColors[item].caption : "";
}

COLORREF CColorPickCtrl::ItemColor(int item) {
    return item >= 0 && item < kColorPickItems ? kColors[item].color : kColorPickDefault;
}

BOOL CColorPickCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    if (!CWnd::Create("ComboBox", "", PickStyle(style), rect, parent, id)) return FALSE;
    PreSubclassWindow();
    return TRUE;
}

BOOL CColorPickCtrl::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!CWnd::SubclassDlgItem(id, parent)) return FALSE;
    PreSubclassWindow();
    return TRUE;
}

void CColorPickCtrl::PreSubclassWindow() {
    const DWORD style = GetStyle();
    if (PickStyle(style) != style)
        ModifyStyle(CBS_SORT | CBS_OWNERDRAWVARIABLE | CBS_DROPDOWNLIST,
                    CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS);
    ::SendMessage(m_hWnd, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < kColorPickItems; ++i) {
        const LRESULT index =
            ::SendMessage(m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kColors[i].caption));
        if (index >= 0)
            ::SendMessage(m_hWnd, CB_SETITEMDATA, static_cast<WPARAM>(index),
                          static_cast<LPARAM>(static_cast<int32_t>(kColors[i].color)));
    }
    // The selection field is as high as the caption text in the control's font.
    CDC measure;
    measure.CreateCompatibleDC(nullptr);
    CFont* font = reinterpret_cast<CFont*>(::SendMessage(m_hWnd, WM_GETFONT, 0, 0));
    if (font) measure.SelectObject(font);
    const SIZE extent = measure.GetTextExtent(kColors[kColorPickOther].caption);
    if (extent.cy > 0) ::SendMessage(m_hWnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), extent.cy);
}

COLORREF CColorPickCtrl::GetActiveColor() const {
    return static_cast<COLORREF>(::SendMessage(m_hWnd, CB_GETITEMDATA, 0, 0));
}

void CColorPickCtrl::SetActiveColor(COLORREF color) {
    int item = 0;
    if (color != kColorPickDefault) {
        item = kColorPickOther;
        for (int i = 1; i < kColorPickOther; ++i)
            if (kColors[i].color == color) item = i;
        if (item == kColorPickOther)
            ::SendMessage(m_hWnd, CB_SETITEMDATA, kColorPickOther,
                          static_cast<LPARAM>(static_cast<int32_t>(color)));
    }
    ::SendMessage(m_hWnd, CB_SETITEMDATA, 0, static_cast<LPARAM>(static_cast<int32_t>(color)));
    ::SendMessage(m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
}

void CColorPickCtrl::OnSelendok() {
    const int item = static_cast<int>(::SendMessage(m_hWnd, CB_GETCURSEL, 0, 0));
    if (item < 0) return;
    const COLORREF previous = GetActiveColor();
    if (item != kColorPickOther) {
        SetActiveColor(item == 0 ? kColorPickDefault
                                 : static_cast<COLORREF>(::SendMessage(
                                       m_hWnd, CB_GETITEMDATA, static_cast<WPARAM>(item), 0)));
        return;
    }
    COLORREF chosen =
        static_cast<COLORREF>(::SendMessage(m_hWnd, CB_GETITEMDATA, kColorPickOther, 0));
    if (chosen == kColorPickDefault)
        chosen = previous == kColorPickDefault ? RGB(0, 0, 0) : previous;
    if (platform::ui::GetUiServices().ChooseColor(m_hWnd, &chosen))
        SetActiveColor(chosen & 0x00FFFFFF);
    else
        SetActiveColor(previous);
}

BOOL CColorPickCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_DRAWITEM) {
        DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == CBN_SELENDOK) {
        OnSelendok();
        return TRUE;
    }
    return CWnd::OnChildNotify(message, wParam, lParam, result);
}

void CColorPickCtrl::DrawItem(const DRAWITEMSTRUCT* item) {
    if (!item || !item->hDC || static_cast<int>(item->itemID) < 0 ||
        item->itemID >= static_cast<UINT>(kColorPickItems))
        return;
    CDC* dc = item->hDC;
    const int index = static_cast<int>(item->itemID);
    COLORREF back = dc->GetBkColor();
    COLORREF text = dc->GetTextColor();
    if (item->itemState & (ODS_SELECTED | ODS_FOCUS)) {
        back = GetSysColor(COLOR_HIGHLIGHT);
        text = GetSysColor(COLOR_HIGHLIGHTTEXT);
    } else if (item->itemState & ODS_COMBOBOXEDIT) {
        back = GetSysColor(COLOR_WINDOW);
        text = GetSysColor(COLOR_WINDOWTEXT);
    }
    RECT rect = item->rcItem;
    dc->FillSolidRect(&rect, back);
    const COLORREF color =
        index == 0 ? kColorPickDefault
                   : static_cast<COLORREF>(::SendMessage(m_hWnd, CB_GETITEMDATA, item->itemID, 0));
    if (index != 0 && color != kColorPickDefault) {
        RECT swatch{rect.left + 1, rect.top + 1, rect.left + 1 + kSwatchWidth, rect.bottom - 1};
        dc->FillSolidRect(&swatch, color);
        CBrush black(RGB(0, 0, 0));
        dc->FrameRect(&swatch, &black);
    }
    RECT caption = rect;
    caption.left += kCaptionOffset;
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(text);
    dc->DrawText(kColors[index].caption, &caption, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}
