// CSplitButtonXp: stepping through its texts on a click, the drop menu and the owner drawing.
#include "flexui/SplitButtonXp.h"

#include <QImage>
#include <string_view>

#include "flexui/DrawHelpers.h"
#include "flexui/FlexBitmaps.h"
#include "flexui/FlexButton.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Messages.h"
#include "platform/ui/MouseTracking.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"

namespace {

inline constexpr COLORREF kBorder = RGB(151, 151, 151);
inline constexpr COLORREF kHotFill = RGB(182, 189, 210);
inline constexpr COLORREF kOpenFill = RGB(219, 216, 210);
inline constexpr COLORREF kArrowMask = RGB(128, 0, 128);

void FramedBox(CDC* dc, const RECT& rect, COLORREF fill, COLORREF border) {
    CPen pen(PS_SOLID, 1, border);
    CBrush brush(fill);
    CPen* oldPen = dc->SelectObject(&pen);
    CBrush* oldBrush = dc->SelectObject(&brush);
    dc->Rectangle(&rect);
    dc->SelectObject(oldPen);
    dc->SelectObject(oldBrush);
}

CBitmap* DropArrow() {
    static CBitmap arrow;
    if (!arrow.IsCreated()) arrow.CreateFromImage(LoadFlexBitmap(105));
    return arrow.IsCreated() ? &arrow : nullptr;
}

}  // namespace

CSplitButtonXp::~CSplitButtonXp() = default;

BOOL CSplitButtonXp::Create(const char* caption, DWORD style, const RECT& rect, CWnd* parent,
                            UINT id) {
    if (!CWnd::Create("Button", caption, style, rect, parent, id)) return FALSE;
    PreSubclassWindow();
    return TRUE;
}

BOOL CSplitButtonXp::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!CWnd::SubclassDlgItem(id, parent)) return FALSE;
    PreSubclassWindow();
    return TRUE;
}

void CSplitButtonXp::PreSubclassWindow() {
    if ((GetStyle() & BS_TYPEMASK) != BS_OWNERDRAW) ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
}

int CSplitButtonXp::AddString(const std::string& text, int32_t value) {
    texts_.push_back(text);
    values_.push_back(value);
    if (current_ < 0) {
        current_ = 0;
        SetWindowText(texts_[0]);
    }
    return static_cast<int>(texts_.size()) - 1;
}

void CSplitButtonXp::ResetContext() {
    texts_.clear();
    values_.clear();
    current_ = -1;
}

int CSplitButtonXp::SetIndex(int index) {
    if (index >= 0 && index < GetCount()) {
        current_ = index;
        SetWindowText(texts_[static_cast<size_t>(index)]);
    }
    return 1;
}

int32_t CSplitButtonXp::GetCurSel() const {
    return current_ >= 0 && current_ < GetCount() ? values_[static_cast<size_t>(current_)] : 0;
}

void CSplitButtonXp::SetCurSel(int32_t value) {
    for (int i = GetCount() - 1; i >= 0; --i) {
        if (values_[static_cast<size_t>(i)] == value) {
            SetIndex(i);
            return;
        }
    }
}

void CSplitButtonXp::Choose(int index) {
    SetIndex(index);
    platform::ui::NotifyParent(m_hWnd, SPLITBN_SELCHANGE);
}

void CSplitButtonXp::DropMenu() {
    CMenu menu;
    if (!menu.CreatePopupMenu()) return;
    for (size_t i = 0; i < texts_.size(); ++i) menu.AppendMenu(MF_STRING, i + 1, texts_[i].c_str());
    RECT window;
    GetWindowRect(&window);
    flags_ |= kMenuOpen;
    Invalidate(FALSE);
    const HWND self = m_hWnd;
    const BOOL chosen = menu.TrackPopupMenu(TPM_RIGHTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD,
                                            window.right, window.bottom, this);
    if (!::IsWindow(self)) return;
    flags_ &= ~kMenuOpen;
    Invalidate(FALSE);
    if (chosen > 0 && chosen <= GetCount()) Choose(chosen - 1);
}

LRESULT CSplitButtonXp::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN: {
            RECT client;
            GetClientRect(&client);
            const int x = static_cast<SHORT>(LOWORD(static_cast<uintptr_t>(lParam)));
            if (x >= client.right - kSplitDropWidth && GetCount() >= 2) {
                DropMenu();
                return 0;
            }
            return CWnd::WindowProc(message, wParam, lParam);
        }
        case WM_MOUSEMOVE:
            if (!::GetCapture() && !(flags_ & kTracking)) {
                TRACKMOUSEEVENT track;
                track.dwFlags = TME_HOVER | TME_LEAVE;
                track.hwndTrack = m_hWnd;
                track.dwHoverTime = 1;
                if (TrackMouseEvent(&track)) flags_ |= kTracking;
            }
            return CWnd::WindowProc(message, wParam, lParam);
        case WM_MOUSEHOVER:
            flags_ |= kHot;
            Invalidate(FALSE);
            return 0;
        case WM_MOUSELEAVE:
            flags_ &= ~(kHot | kTracking);
            Invalidate(FALSE);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        default:
            return CWnd::WindowProc(message, wParam, lParam);
    }
}

BOOL CSplitButtonXp::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_DRAWITEM) {
        DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && GetCount() >= 2) {
        // The click steps to the next text; the parent hears of the new choice instead.
        Choose(current_ + 1 >= GetCount() ? 0 : current_ + 1);
        return TRUE;
    }
    return CWnd::OnChildNotify(message, wParam, lParam, result);
}

void CSplitButtonXp::DrawItem(const DRAWITEMSTRUCT* item) {
    if (!item || !item->hDC) return;
    CDC* dc = item->hDC;
    RECT client;
    GetClientRect(&client);
    RECT drop{client.right - kSplitDropWidth, client.top, client.right, client.bottom};
    const bool menuOpen = flags_ & kMenuOpen;
    if (!(flags_ & kHot) || menuOpen) {
        dc->FillSolidRect(&client, dc->GetBkColor());
        if (menuOpen) {
            FramedBox(dc, drop, kOpenFill, kBorder);
            DrawLine(dc, drop.left + 1, drop.bottom - 1, drop.right - 1, drop.bottom - 1,
                     kOpenFill);
        }
    } else {
        FramedBox(dc, client, kHotFill, kBorder);
        FramedBox(dc, drop, kHotFill, kBorder);
    }

    const std::string caption = GetWindowText();
    RECT textRect = client;
    textRect.right = drop.left;
    UINT format = CFlexButton::TextFormatOf(GetStyle());
    if (caption.find('\n') != std::string::npos) format &= ~DT_SINGLELINE;
    dc->SetBkMode(TRANSPARENT);
    if (item->itemState & ODS_DISABLED) {
        RECT shifted = textRect;
        OffsetRect(&shifted, 1, 1);
        dc->SetTextColor(GetSysColor(COLOR_BTNHIGHLIGHT));
        dc->DrawText(caption, &shifted, format);
        dc->SetTextColor(GetSysColor(COLOR_BTNSHADOW));
        dc->DrawText(caption, &textRect, format);
    } else {
        dc->DrawText(caption, &textRect, format);
    }
    if (CBitmap* arrow = DropArrow()) DrawTransparentBitmap(dc, drop, arrow, 1, TRUE, kArrowMask);
}
