// CGradientTabCtrl: one tab's painting and the size messages.
#include "settings/controls/GradientTabCtrl.h"

#include <string>

#include "flexui/DrawHelpers.h"
#include "platform/ui/Dc.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"

namespace settings::controls {

namespace {

// The sizes of the tab control's messages are 16-bit fields; a width of -1 asks for no width.
LPARAM PackSize(SIZE size) {
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(size.cx)),
                      static_cast<WORD>(static_cast<short>(size.cy)));
}

}  // namespace

CGradientTabCtrl::CGradientTabCtrl() = default;
CGradientTabCtrl::~CGradientTabCtrl() = default;

SIZE CGradientTabCtrl::SetItemSize(SIZE size) {
    const auto old =
        static_cast<uintptr_t>(::SendMessage(m_hWnd, TCM_SETITEMSIZE, 0, PackSize(size)));
    return SIZE{static_cast<LONG>(LOWORD(old)), static_cast<LONG>(HIWORD(old))};
}

void CGradientTabCtrl::SetPadding(SIZE padding) {
    ::SendMessage(m_hWnd, TCM_SETPADDING, 0, PackSize(padding));
}

void CGradientTabCtrl::DrawTab(CDC* dc, int index, const RECT& rect, bool pressed, bool bottom) {
    TCITEM item;
    item.mask = TCIF_IMAGE;
    if (!GetItem(index, &item)) return;
    if (pressed) {
        dc->FillSolidRect(&rect, GetSysColor(COLOR_BTNFACE));
    } else {
        // The row next to the page stays open, so the tab runs into the page's frame line.
        RECT fill = rect;
        if (bottom)
            fill.top += 1;
        else
            fill.bottom -= 1;
        GradientFill(dc, fill, kGradientTop, kGradientBottom, 1);
    }
    // The outline's edge toward the page falls just outside the tab and is clipped away.
    RECT outline = rect;
    if (bottom)
        outline.top -= 1;
    else
        outline.bottom += 1;
    CPen pen(PS_SOLID, 1, kOutlineColor);
    CPen* oldPen = dc->SelectObject(&pen);
    CGdiObject* oldBrush = dc->SelectStockObject(NULL_BRUSH);
    dc->IntersectClipRect(&rect);
    dc->Rectangle(&outline);
    dc->SelectClipRgn(nullptr);
    dc->SelectObject(oldPen);
    if (auto* brush = dynamic_cast<CBrush*>(oldBrush)) dc->SelectObject(brush);

    RECT text = rect;
    if (CImageList* images = GetImageList(); images && item.iImage >= 0) {
        int cx = 0, cy = 0;
        images->GetIconSize(&cx, &cy);
        images->Draw(dc, item.iImage, POINT{rect.left + 4, rect.bottom - cy + 1}, ILD_TRANSPARENT);
        text.left += 4 + cx;
    }

    // The semi-bold caption font lives only for this tab: the control's own font is selected
    // again before it goes.
    CFont* font = reinterpret_cast<CFont*>(::SendMessage(m_hWnd, WM_GETFONT, 0, 0));
    if (!font) font = dynamic_cast<CFont*>(GetStockObject(DEFAULT_GUI_FONT));
    CFont* oldFont = font ? dc->SelectObject(font) : nullptr;
    CFont semiBold;
    if (pressed && font) {
        LOGFONT description{};
        font->GetLogFont(&description);
        description.lfWeight = kSelectedWeight;
        if (semiBold.CreateFontIndirect(&description)) dc->SelectObject(&semiBold);
    }
    const int oldMode = dc->SetBkMode(TRANSPARENT);
    const COLORREF oldColor =
        dc->SetTextColor(pressed ? kSelectedTextColor : GetSysColor(COLOR_BTNTEXT));
    dc->DrawText(GetItemText(index), &text, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    dc->SetTextColor(oldColor);
    dc->SetBkMode(oldMode);
    if (font) dc->SelectObject(font);
    if (oldFont) dc->SelectObject(oldFont);
}

}  // namespace settings::controls
