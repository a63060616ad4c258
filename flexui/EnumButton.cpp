// CEnumButton: stepping, the entries' menu from the arrow area and the face with its arrow.
#include "flexui/EnumButton.h"

#include "flexui/EnumDictionary.h"
#include "platform/core/Numbers.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"

namespace {

inline constexpr COLORREF kNoColor = 0xFFFFFFFF;

}  // namespace

CEnumButton::CEnumButton() { SetFrameTemplateIndex(1); }

void CEnumButton::SetEnumDict(std::string_view dictionary) {
    const std::string remembered =
        current_ >= 0 ? EnumDictField(dict_, current_, 0, kEnumFieldShort) : std::string();
    dict_ = std::string(dictionary);
    count_ = EnumDictCount(dict_);
    int index = EnumDictFind(dict_, remembered);
    if (index >= count_) index = -1;
    current_ = -1;
    if (!SetEnumIndex(index >= 0 ? index : 0) && m_hWnd) SetWindowText("");
}

BOOL CEnumButton::SetEnumIndex(int index) {
    if (index < 0 || index >= count_ || index == current_) return FALSE;
    current_ = index;
    std::string caption = GetEnumText(index);
    if (caption.empty()) caption = GetEnumValue(index);
    if (m_hWnd) {
        SetWindowText(caption);
        Invalidate(FALSE);
    }
    return TRUE;
}

BOOL CEnumButton::SetEnumValue(std::string_view value) {
    const int index = EnumDictFind(dict_, value);
    return index >= 0 ? SetEnumIndex(index) : FALSE;
}

std::string CEnumButton::GetEnumValue(int index) const {
    if (index == -1) index = current_;
    return index < 0 ? std::string() : EnumDictField(dict_, index, 0, kEnumFieldLong);
}

std::string CEnumButton::GetEnumText(int index) const {
    if (index == -1) index = current_;
    return index < 0 ? std::string() : EnumDictField(dict_, index, 1, kEnumFieldLong);
}

int32_t CEnumButton::GetEnumValueAsInt(int index) const {
    return platform::AtolSat(GetEnumValue(index));
}

RECT CEnumButton::ArrowRect() const {
    RECT client;
    GetClientRect(&client);
    if (GetStyle() & BS_LEFTTEXT)
        return RECT{client.right - kEnumArrowWidth, 0, client.right, client.bottom};
    return RECT{0, 0, kEnumArrowWidth, client.bottom};
}

void CEnumButton::ChooseByUser(int index) {
    if (!SetEnumIndex(index)) return;
    platform::ui::NotifyParent(m_hWnd, ENUMBN_SELCHANGE);
}

BOOL CEnumButton::OnClicked() {
    if (count_ >= 2) ChooseByUser(current_ + 1 >= count_ ? 0 : current_ + 1);
    return TRUE;  // the parent hears of the new value, not of the click
}

void CEnumButton::ShowMenu() {
    CMenu menu;
    if (!menu.CreatePopupMenu()) return;
    for (int i = 0; i < count_; ++i) {
        std::string caption = GetEnumText(i);
        if (caption.empty()) caption = GetEnumValue(i);
        menu.AppendMenu(MF_STRING, static_cast<UINT_PTR>(i + 1), caption.c_str());
    }
    RECT window;
    GetWindowRect(&window);
    const bool arrowRight = GetStyle() & BS_LEFTTEXT;
    state_ |= FLEXBTN_CHECKED;  // the arrow is drawn pressed while the menu is open
    Invalidate(FALSE);
    const HWND self = m_hWnd;
    const BOOL chosen = menu.TrackPopupMenu(
        (arrowRight ? TPM_RIGHTALIGN : TPM_LEFTALIGN) | TPM_RIGHTBUTTON | TPM_RETURNCMD,
        arrowRight ? window.right : window.left, window.bottom, this);
    if (!::IsWindow(self)) return;
    state_ &= ~FLEXBTN_CHECKED;
    Invalidate(FALSE);
    if (chosen > 0 && chosen <= count_) ChooseByUser(chosen - 1);
}

LRESULT CEnumButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) {
        const POINT at{static_cast<SHORT>(LOWORD(static_cast<uintptr_t>(lParam))),
                       static_cast<SHORT>(HIWORD(static_cast<uintptr_t>(lParam)))};
        const RECT arrow = ArrowRect();
        if (count_ >= 2 && PtInRect(&arrow, at)) {
            ShowMenu();
            return 0;
        }
    }
    // BM_GETCHECK of an enum button tells nothing of the menu.
    if (message == BM_GETCHECK) return BST_UNCHECKED;
    return CFlexButton::WindowProc(message, wParam, lParam);
}

void CEnumButton::DrawItem(const DRAWITEMSTRUCT* item) {
    CFaceBuffer buffer(this, item);
    if (!buffer.IsValid()) return;
    CDC& mem = *buffer.Dc();
    const RECT& client = buffer.Client();

    const DWORD style = GetStyle();
    COLORREF text = textColor_ != kNoColor ? textColor_ : item->hDC->GetTextColor();
    if (item->itemState & ODS_DISABLED) text = GetSysColor(COLOR_GRAYTEXT);

    HBRUSH brush = nullptr;
    if (CWnd* parent = GetParent())
        brush = reinterpret_cast<HBRUSH>(parent->SendMessage(
            WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(&mem), static_cast<LPARAM>(m_hWnd)));
    mem.FillRect(&client, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));

    const RECT arrow = ArrowRect();
    const bool arrowRight = style & BS_LEFTTEXT;
    RECT face = client;
    if (arrowRight)
        face.right = arrow.left;
    else
        face.left = arrow.right;
    const bool pressed = item->itemState & ODS_SELECTED;
    const bool hot = state_ & FLEXBTN_HOT;
    const bool menuOpen = IsMenuOpen();
    if (pressed || hot || menuOpen || !(style & BS_FLAT)) {
        CImageList* frames = frames_ ? frames_ : GetFlexFrameTemplate(1);
        const int faceCell = pressed             ? FRAME_CELL_PRESSED
                             : (hot || menuOpen) ? FRAME_CELL_HOT
                                                 : FRAME_CELL_NORMAL;
        const int arrowCell = (menuOpen || pressed) ? FRAME_CELL_PRESSED
                              : hot                 ? FRAME_CELL_HOT
                                                    : FRAME_CELL_NORMAL;
        DrawFlexFrame(&mem, face, frames, faceCell,
                      arrowRight ? FLEXBTN_MERGE_RIGHT : FLEXBTN_MERGE_LEFT);
        DrawFlexFrame(&mem, arrow, frames, arrowCell,
                      arrowRight ? FLEXBTN_MERGE_LEFT : FLEXBTN_MERGE_RIGHT);
    }

    RECT textRect = face;
    InflateRect(&textRect, -2, -2);
    mem.SetBkMode(TRANSPARENT);
    mem.SetTextColor(text);
    mem.DrawText(GetWindowText(), &textRect, TextFormatOf(style));

    // A black triangle of 5, 3 and 1 pixels whose point is the arrow area's centre.
    const int cx = (arrow.left + arrow.right) / 2;
    const int cy = (arrow.top + arrow.bottom) / 2;
    for (int row = 0; row < 3; ++row)
        for (int x = cx - 2 + row; x <= cx + 2 - row; ++x)
            mem.SetPixel(x, cy - 2 + row, RGB(0, 0, 0));
}
