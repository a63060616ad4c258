// CFlexHeaderCtrl: the height, painting and check-all clicks of the flex list's header.
#include "flexui/FlexHeaderCtrl.h"

#include <algorithm>

#include "flexui/DrawHelpers.h"
#include "flexui/FlexBitmaps.h"
#include "flexui/MemDC.h"
#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"

namespace {

constexpr COLORREF kImageMask = 0x800080;
constexpr COLORREF kWhite = RGB(255, 255, 255);

UINT AlignOf(int fmt) {
    const int justify = fmt & HDF_JUSTIFYMASK;
    return justify == HDF_RIGHT ? DT_RIGHT : justify == HDF_CENTER ? DT_CENTER : DT_LEFT;
}

POINT PointOf(LPARAM lParam) {
    return POINT{static_cast<int16_t>(LOWORD(static_cast<DWORD>(lParam))),
                 static_cast<int16_t>(HIWORD(static_cast<DWORD>(lParam)))};
}

}  // namespace

CFlexHeaderCtrl::CFlexHeaderCtrl(CFlexHeaderList* list) : list_(list) {
    LoadFlexImageList(images_, 102, kImageSize, kImageSize, kImageMask);
}

CFlexHeaderCtrl::~CFlexHeaderCtrl() = default;

void CFlexHeaderCtrl::SetColors(COLORREF text, COLORREF background) {
    if (text != CLR_NONE) textColor_ = text;
    if (background != CLR_NONE) bkColor_ = background;
    if (m_hWnd) Invalidate(FALSE);
}

HWND CFlexHeaderCtrl::ListHwnd() const { return m_hWnd ? ::GetParent(m_hWnd) : 0; }

void CFlexHeaderCtrl::MakeFont() {
    font_.DeleteObject();
    LOGFONT logFont{};
    if (list_ && list_->GetViewFont(&logFont)) font_.CreateFontIndirect(&logFont);
}

LRESULT CFlexHeaderCtrl::Layout(HDLAYOUT* layout) {
    const HWND list = ListHwnd();
    if (!layout || !layout->prc || !layout->pwpos || !list) return FALSE;
    if (::GetWindowLong(list, GWL_STYLE) & LVS_NOCOLUMNHEADER) return FALSE;
    MakeFont();
    CDC measure;
    measure.CreateCompatibleDC(nullptr);
    CFont* font = font_.IsCreated()
                      ? &font_
                      : reinterpret_cast<CFont*>(::SendMessage(m_hWnd, WM_GETFONT, 0, 0));
    if (font) measure.SelectObject(font);
    const int textHeight = measure.GetTextExtent("国国").cy;
    int height = textHeight + 2;
    if ((ListStyle() & (FLS_HASCHECKBOX | FLS_GROUPACTIVE)) && textHeight <= 10) height = 13;
    height += (::GetWindowLong(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) ? 4 : 5;
    RECT& area = *layout->prc;
    *layout->pwpos = WINDOWPOS{m_hWnd, 0, area.left, area.top, area.right - area.left, height, 0};
    area.top += height;
    return TRUE;
}

RECT CFlexHeaderCtrl::GetCheckBoxRect() const {
    if (!m_hWnd || !(ListStyle() & FLS_HASCHECKBOX)) return RECT{};
    RECT item{};
    if (!::SendMessage(m_hWnd, HDM_GETITEMRECT, static_cast<WPARAM>(FirstDataColumn()),
                       reinterpret_cast<LPARAM>(&item)))
        return RECT{};
    const int left = item.left + kMargin + ((ListStyle() & FLS_GROUPACTIVE) ? kExpanderWidth : 0);
    const int top = item.top + (item.bottom - item.top - kImageSize) / 2;
    return RECT{left, top, left + kImageSize, top + kImageSize};
}

void CFlexHeaderCtrl::Paint() {
    CPaintDC paint(this);
    RECT client{};
    GetClientRect(&client);
    CMemDC dc(&paint, client);
    const DWORD style = ListStyle();
    if (style & FLS_HASCHECKBOX) checkState_ = list_->GetCtrlCheckImage();

    dc.FillSolidRect(&client, kFrameColor);
    const RECT inner{client.left, client.top, client.right, client.bottom - 1};
    COLORREF background = bkColor_;
    if ((style & FLS_HEADERLISTBK) && list_) background = list_->GetListBkColor();
    const bool gradient = background == CLR_NONE;
    if (gradient)
        GradientFill(&dc, inner, kWhite, kGradientEnd, 1);
    else
        dc.FillSolidRect(&inner, background);

    CFont* font = font_.IsCreated()
                      ? &font_
                      : reinterpret_cast<CFont*>(::SendMessage(m_hWnd, WM_GETFONT, 0, 0));
    CFont* oldFont = font ? dc.SelectObject(font) : nullptr;
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(textColor_);
    const int count = static_cast<int>(::SendMessage(m_hWnd, HDM_GETITEMCOUNT, 0, 0));
    const int firstData = FirstDataColumn();
    for (int i = 0; i < count; ++i) {
        RECT r{};
        ::SendMessage(m_hWnd, HDM_GETITEMRECT, static_cast<WPARAM>(i),
                      reinterpret_cast<LPARAM>(&r));
        r.top = inner.top;
        r.bottom = inner.bottom;
        char text[256] = {};
        HDITEM item;
        item.mask = HDI_TEXT | HDI_FORMAT | HDI_LPARAM;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        ::SendMessage(m_hWnd, HDM_GETITEM, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));

        const LPARAM sort = item.lParam & (FLEXHDR_SORTASC | FLEXHDR_SORTDESC);
        if (sort) {
            if (gradient) {
                const RECT band{r.left, r.top, r.right - 1, r.bottom};
                dc.FillSolidRect(&band, kSortedBkColor);
            }
            images_.Draw(
                &dc, (sort & FLEXHDR_SORTASC) ? kImageAscending : kImageDescending,
                POINT{(r.left + r.right - kImageSize) / 2, (r.top + r.bottom - kImageSize) / 2},
                ILD_TRANSPARENT);
        }
        if (gradient)
            GradientFill(&dc, RECT{r.right - 1, r.top, r.right, r.bottom}, kWhite, kFrameColor, 1);
        else
            DrawLine(&dc, r.right - 1, r.top, r.right - 1, r.bottom, kFrameColor);

        RECT textRect{r.left + kMargin, r.top, r.right - kMargin - 1, r.bottom};
        if (i == firstData) {
            if (style & FLS_GROUPACTIVE) textRect.left += kExpanderWidth;
            if (style & FLS_HASCHECKBOX) {
                const RECT box = GetCheckBoxRect();
                images_.Draw(&dc, std::clamp(checkState_, 0, 2), POINT{box.left, box.top},
                             ILD_TRANSPARENT);
                textRect.left += kImageSize;
            }
        }
        dc.DrawText(text, &textRect,
                    AlignOf(item.fmt) | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    if (oldFont) dc.SelectObject(oldFont);
}

bool CFlexHeaderCtrl::PressCheckBox(POINT point) {
    if (!list_) return false;
    const RECT box = GetCheckBoxRect();
    if (point.x < box.left || point.x >= box.right || point.y < box.top || point.y >= box.bottom)
        return false;
    list_->SetCheckAll(list_->GetCtrlCheckImage() != 1);
    checkState_ = list_->GetCtrlCheckImage();
    Invalidate(FALSE);
    return true;
}

LRESULT CFlexHeaderCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (ListStyle() & FLS_COMPACT) return CWnd::WindowProc(message, wParam, lParam);
    switch (message) {
        case WM_PAINT:
            Paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case HDM_LAYOUT:
            if (LRESULT done = Layout(reinterpret_cast<HDLAYOUT*>(lParam))) return done;
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            // The box is no place to sort or drag from.
            if (PressCheckBox(PointOf(lParam))) return 0;
            break;
        default:
            break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CFlexHeaderCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const auto* nm = reinterpret_cast<const NMHDR*>(lParam);
    if (message == WM_NOTIFY && nm && nm->code == HDN_BEGINTRACK && (ListStyle() & FLS_FITCLIENT)) {
        *result = TRUE;
        return TRUE;
    }
    return CWnd::OnChildNotify(message, wParam, lParam, result);
}
