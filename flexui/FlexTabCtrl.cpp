// CFlexTabCtrl: the tab control's messages as calls, the page rectangle and the painting.
#include "flexui/FlexTabCtrl.h"

#include <algorithm>

#include "flexui/DrawHelpers.h"
#include "platform/ui/Dc.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

}  // namespace

CFlexTabCtrl::CFlexTabCtrl() = default;
CFlexTabCtrl::~CFlexTabCtrl() = default;

BOOL CFlexTabCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create("SysTabControl32", "", style | WS_CHILD, rect, parent, id);
}

int CFlexTabCtrl::GetItemCount() const {
    return static_cast<int>(::SendMessage(m_hWnd, TCM_GETITEMCOUNT));
}

int CFlexTabCtrl::InsertItem(int index, const std::string& text, int image, LPARAM data) {
    std::string copy = text;
    TCITEM item;
    item.mask = TCIF_TEXT | TCIF_IMAGE | TCIF_PARAM;
    item.pszText = copy.data();
    item.iImage = image;
    item.lParam = data;
    return static_cast<int>(::SendMessage(m_hWnd, TCM_INSERTITEM, static_cast<WPARAM>(index),
                                          reinterpret_cast<LPARAM>(&item)));
}

BOOL CFlexTabCtrl::DeleteItem(int index) {
    return static_cast<BOOL>(::SendMessage(m_hWnd, TCM_DELETEITEM, static_cast<WPARAM>(index)));
}

BOOL CFlexTabCtrl::DeleteAllItems() {
    return static_cast<BOOL>(::SendMessage(m_hWnd, TCM_DELETEALLITEMS));
}

BOOL CFlexTabCtrl::GetItem(int index, TCITEM* item) const {
    return static_cast<BOOL>(::SendMessage(m_hWnd, TCM_GETITEM, static_cast<WPARAM>(index),
                                           reinterpret_cast<LPARAM>(item)));
}

BOOL CFlexTabCtrl::SetItem(int index, TCITEM* item) {
    return static_cast<BOOL>(::SendMessage(m_hWnd, TCM_SETITEM, static_cast<WPARAM>(index),
                                           reinterpret_cast<LPARAM>(item)));
}

std::string CFlexTabCtrl::GetItemText(int index) const {
    char buffer[256] = {};
    TCITEM item;
    item.mask = TCIF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    return GetItem(index, &item) ? std::string(buffer) : std::string();
}

LPARAM CFlexTabCtrl::GetItemData(int index) const {
    TCITEM item;
    item.mask = TCIF_PARAM;
    return GetItem(index, &item) ? item.lParam : 0;
}

int CFlexTabCtrl::GetCurSel() const {
    return static_cast<int>(::SendMessage(m_hWnd, TCM_GETCURSEL));
}

int CFlexTabCtrl::SetCurSel(int index) {
    return static_cast<int>(::SendMessage(m_hWnd, TCM_SETCURSEL, static_cast<WPARAM>(index)));
}

BOOL CFlexTabCtrl::GetItemRect(int index, RECT* rect) const {
    return static_cast<BOOL>(::SendMessage(m_hWnd, TCM_GETITEMRECT, static_cast<WPARAM>(index),
                                           reinterpret_cast<LPARAM>(rect)));
}

CImageList* CFlexTabCtrl::SetImageList(CImageList* images) {
    return reinterpret_cast<CImageList*>(
        ::SendMessage(m_hWnd, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images)));
}

CImageList* CFlexTabCtrl::GetImageList() const {
    return reinterpret_cast<CImageList*>(::SendMessage(m_hWnd, TCM_GETIMAGELIST));
}

void CFlexTabCtrl::GetAttachRect(RECT* rect) const {
    if (!rect) return;
    *rect = RECT{};
    if (!GetTabClientRect(m_hWnd, rect)) return;
    rect->left += 1;
    rect->right -= 1;
    rect->top += 1;
    rect->bottom -= 1;
}

BOOL CFlexTabCtrl::OnEraseBkgnd(CDC*) { return TRUE; }

void CFlexTabCtrl::OnPaint() {
    const DWORD style = GetStyle();
    if (style & TCS_OWNERDRAWFIXED) {
        CWnd::OnPaint();  // the system paints; the items come as WM_DRAWITEM
        return;
    }
    CPaintDC dc(this);
    RECT client{};
    GetClientRect(&client);
    const bool bottom = (style & TCS_BOTTOM) && !(style & TCS_VERTICAL);
    dc.FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
    RECT page{};
    GetTabClientRect(m_hWnd, &page);
    if (!(GetExStyle() & WS_EX_CLIENTEDGE)) {
        CBrush line(kLineColor);
        dc.FrameRect(&page, &line);
    }
    // The line along the strip.
    if (style & TCS_VERTICAL)
        DrawLine(&dc, page.left, page.top, page.left, page.bottom, kLineColor);
    else if (bottom)
        DrawLine(&dc, page.left, page.bottom - 1, page.right, page.bottom - 1, kLineColor);
    else
        DrawLine(&dc, page.left, page.top, page.right, page.top, kLineColor);
    const int count = GetItemCount();
    const int selected = GetCurSel();
    for (int i = 0; i < count; ++i) {
        RECT r{};
        if (!GetItemRect(i, &r)) continue;
        TCITEM item;
        item.mask = TCIF_STATE;
        item.dwStateMask = TCIS_BUTTONPRESSED;
        GetItem(i, &item);
        const bool pressed = (item.dwState & TCIS_BUTTONPRESSED) || i == selected;
        DrawTab(&dc, i, r, pressed, bottom);
    }
}

void CFlexTabCtrl::DrawTab(CDC* dc, int index, const RECT& rect, bool pressed, bool bottom) {
    RECT inner{rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1};
    if (pressed)
        dc->FillSolidRect(&inner, GetSysColor(COLOR_BTNFACE));
    else if (bottom)
        GradientFill(dc, inner, kGradientEnd, kWhite, 1);
    else
        GradientFill(dc, inner, kWhite, kGradientEnd, 1);
    CPen pen(PS_SOLID, 1, kLineColor);
    CPen* oldPen = dc->SelectObject(&pen);
    CGdiObject* oldBrush = dc->SelectStockObject(NULL_BRUSH);
    // The side that touches the page is left open by extending the shape past it.
    RECT shape = rect;
    if (bottom)
        shape.top -= kCornerRadius;
    else
        shape.bottom += kCornerRadius;
    dc->IntersectClipRect(&rect);
    dc->RoundRect(&shape, POINT{kCornerRadius, kCornerRadius});
    dc->SelectClipRgn(nullptr);
    dc->SelectObject(oldPen);
    if (auto* brush = dynamic_cast<CBrush*>(oldBrush)) dc->SelectObject(brush);

    TCITEM item;
    item.mask = TCIF_IMAGE;
    GetItem(index, &item);
    RECT text = rect;
    text.left += 4;
    if (CImageList* images = GetImageList(); images && item.iImage >= 0) {
        int cx = 0, cy = 0;
        images->GetIconSize(&cx, &cy);
        images->Draw(dc, item.iImage,
                     POINT{rect.left + 4, rect.top + ((rect.bottom - rect.top) - cy) / 2},
                     ILD_TRANSPARENT);
        text.left += cx + 2;
    }
    dc->SelectStockObject(DEFAULT_GUI_FONT);
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(pressed ? kPressedText : GetSysColor(COLOR_BTNTEXT));
    dc->DrawText(GetItemText(index), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

BOOL CFlexTabCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message != WM_DRAWITEM) return CWnd::OnChildNotify(message, wParam, lParam, result);
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (!item || !item->hDC) return FALSE;
    CDC* dc = item->hDC;
    const bool pressed = (item->itemState & ODS_SELECTED) != 0;
    RECT r = item->rcItem;
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(pressed ? kPressedText : GetSysColor(COLOR_BTNTEXT));
    dc->DrawText(GetItemText(static_cast<int>(item->itemID)), &r,
                 DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (result) *result = TRUE;
    return TRUE;
}
