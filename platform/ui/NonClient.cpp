// Non-client frames (WM_NCCALCSIZE, WM_NCHITTEST, the default WM_NCPAINT), SetWindowPos and
// window regions.
#include "platform/ui/NonClient.h"

#include <QAbstractScrollArea>
#include <QWidget>
#include <algorithm>

#include "platform/ui/Dc.h"
#include "platform/ui/Region.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowLayer.h"
#include "platform/ui/WindowTable.h"

namespace platform::ui {
namespace {

constexpr int kThickFrame = 4;
constexpr int kDialogFrame = 3;
constexpr int kClientEdge = 2;
// A property of a scroll area whose QFrame frame plays the window's frame.
constexpr const char* kFramedArea = "platformUiFramedArea";

WindowRecord* Find(HWND hwnd) {
    return IsUiThread() ? WindowTable::Instance().Find(hwnd) : nullptr;
}

// Qt's window manager draws the outer frame of a captioned top-level window.
bool DecoratedByQt(const QWidget* widget) {
    return widget->isWindow() && !(widget->windowFlags() & Qt::FramelessWindowHint);
}

// Fills a ring `width` pixels wide just inside the rectangle and steps the rectangle in.
void FillRing(CDC* dc, RECT* r, int width, COLORREF color) {
    for (int i = 0; i < width && r->right > r->left && r->bottom > r->top; ++i) {
        const int w = r->right - r->left, h = r->bottom - r->top;
        dc->FillSolidRect(r->left, r->top, w, 1, color);
        dc->FillSolidRect(r->left, r->bottom - 1, w, 1, color);
        dc->FillSolidRect(r->left, r->top, 1, h, color);
        dc->FillSolidRect(r->right - 1, r->top, 1, h, color);
        InflateRect(r, -1, -1);
    }
}

}  // namespace

RECT StyleFrame(const WindowRecord& record) {
    int width = 0;
    if (!DecoratedByQt(record.widget)) {
        if (record.style & WS_THICKFRAME)
            width = kThickFrame;
        else if (record.style & WS_DLGFRAME)
            width = kDialogFrame;
        else if (record.style & WS_BORDER)
            width = 1;
    }
    if (record.exStyle & WS_EX_CLIENTEDGE) width += kClientEdge;
    if (record.exStyle & WS_EX_STATICEDGE) width += 1;
    return RECT{width, width, width, width};
}

bool RecalcFrame(HWND hwnd) {
    WindowRecord* record = Find(hwnd);
    if (!record) return false;
    QWidget* widget = record->widget;
    const QPoint at = widget->mapToGlobal(QPoint(0, 0));
    RECT window{at.x(), at.y(), at.x() + widget->width(), at.y() + widget->height()};
    if (!widget->isWindow())
        if (HWND parent = ::GetParent(hwnd)) ::MapWindowPoints(0, parent, &window);
    RECT client = window;
    CallWindowProc(hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&client));
    record = Find(hwnd);
    if (!record) return false;
    // A client rectangle outside the window (or turned inside out) leaves an empty client area
    // on the window's edge rather than a frame wider than the window.
    const int width = window.right - window.left, height = window.bottom - window.top;
    RECT frame;
    frame.left = std::clamp<LONG>(client.left - window.left, 0, width);
    frame.top = std::clamp<LONG>(client.top - window.top, 0, height);
    frame.right = std::clamp<LONG>(window.right - client.right, 0, width - frame.left);
    frame.bottom = std::clamp<LONG>(window.bottom - client.bottom, 0, height - frame.top);
    auto* area = qobject_cast<QAbstractScrollArea*>(widget);
    if (area && (area->frameShape() == QFrame::NoFrame || area->property(kFramedArea).toBool())) {
        // A scroll area lays its viewport and bars out inside its QFrame frame and resets its
        // contents margins to it, so the frame becomes a plain box of the frame's width; it is
        // as wide on every side (the widest), and the client area follows it.
        const int side = std::max({frame.left, frame.top, frame.right, frame.bottom});
        frame = RECT{side, side, side, side};
        area->setProperty(kFramedArea, side > 0);
        if (area->lineWidth() != side || (side > 0) != (area->frameShape() != QFrame::NoFrame)) {
            area->setFrameStyle(side > 0 ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
            area->setLineWidth(side);
        }
    } else {
        // Qt's own parts of the widget (a label's text, an edit's text) keep inside the client
        // area.
        const QMargins margins(frame.left, frame.top, frame.right, frame.bottom);
        if (widget->contentsMargins() != margins) widget->setContentsMargins(margins);
    }
    const bool changed = frame.left != record->frame.left || frame.top != record->frame.top ||
                         frame.right != record->frame.right || frame.bottom != record->frame.bottom;
    record->frame = frame;
    if (changed) widget->update();
    return changed;
}

QRect ClientArea(const WindowRecord& record) {
    const RECT& f = record.frame;
    const QWidget* widget = record.widget;
    return QRect(f.left, f.top, std::max<int>(0, widget->width() - f.left - f.right),
                 std::max<int>(0, widget->height() - f.top - f.bottom));
}

QPoint ClientOrigin(HWND hwnd) {
    const WindowRecord* record = Find(hwnd);
    return record ? QPoint(record->frame.left, record->frame.top) : QPoint();
}

QPoint ParentClientOrigin(const QWidget* widget) {
    const QWidget* parent = widget && !widget->isWindow() ? widget->parentWidget() : nullptr;
    const HWND hwnd = parent ? WindowTable::Instance().HandleOf(parent) : 0;
    return hwnd ? ClientOrigin(hwnd) : QPoint();
}

void DrawDefaultFrame(const WindowRecord& record, CDC* dc) {
    const QWidget* widget = record.widget;
    RECT r{0, 0, widget->width(), widget->height()};
    if (!DecoratedByQt(widget)) {
        if (record.style & (WS_THICKFRAME | WS_DLGFRAME)) {
            dc->DrawEdge(&r, EDGE_RAISED, BF_RECT | BF_ADJUST);
            if (record.style & WS_THICKFRAME)
                FillRing(dc, &r, kThickFrame - 2, GetSysColor(COLOR_ACTIVEBORDER));
            else
                FillRing(dc, &r, kDialogFrame - 2, GetSysColor(COLOR_BTNFACE));
        } else if (record.style & WS_BORDER) {
            FillRing(dc, &r, 1, GetSysColor(COLOR_WINDOWFRAME));
        }
    }
    if (record.exStyle & WS_EX_CLIENTEDGE) dc->DrawEdge(&r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    if (record.exStyle & WS_EX_STATICEDGE) dc->DrawEdge(&r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
}

LRESULT DefaultNonClient(WindowRecord& record, UINT message, WPARAM, LPARAM lParam, bool* handled) {
    *handled = true;
    switch (message) {
        case WM_NCCALCSIZE: {
            auto* rect = reinterpret_cast<RECT*>(lParam);
            if (!rect) return 0;
            const RECT frame = StyleFrame(record);
            rect->left += frame.left;
            rect->top += frame.top;
            rect->right -= frame.right;
            rect->bottom -= frame.bottom;
            return 0;
        }
        case WM_NCHITTEST: {
            const QPoint screen(static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam))),
                                static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam))));
            const QPoint p = record.widget->mapFromGlobal(screen);
            if (!record.widget->rect().contains(p)) return HTNOWHERE;
            if (record.hasRegion && (record.emptyRegion || !record.widget->mask().contains(p)))
                return HTNOWHERE;
            return ClientArea(record).contains(p) ? HTCLIENT : HTBORDER;
        }
        case WM_NCPAINT: {
            if (HDC dc = ::GetWindowDC(record.hwnd)) {
                DrawDefaultFrame(record, dc);
                ::ReleaseDC(record.hwnd, dc);
            }
            return 0;
        }
        default:
            *handled = false;
            return 0;
    }
}

}  // namespace platform::ui

using platform::ui::WindowRecord;

BOOL SetWindowPos(HWND hwnd, HWND, int x, int y, int width, int height, UINT flags) {
    WindowRecord* record = platform::ui::Find(hwnd);
    if (!record) return FALSE;
    QWidget* widget = record->widget;
    if (!(flags & SWP_NOMOVE) || !(flags & SWP_NOSIZE)) {
        const RECT now = GetWindowRectIn(hwnd, widget->isWindow() ? 0 : ::GetParent(hwnd));
        if (flags & SWP_NOMOVE) {
            x = now.left;
            y = now.top;
        }
        if (flags & SWP_NOSIZE) {
            width = now.right - now.left;
            height = now.bottom - now.top;
        }
        ::MoveWindow(hwnd, x, y, width, height, !(flags & SWP_NOREDRAW));
    }
    if (flags & SWP_FRAMECHANGED) {
        platform::ui::RecalcFrame(hwnd);
        // The frame is redrawn even when its widths stayed (a style changed only its colours).
        if (WindowRecord* alive = platform::ui::Find(hwnd); alive && !(flags & SWP_NOREDRAW))
            alive->widget->update();
    }
    if (flags & SWP_SHOWWINDOW) ::ShowWindow(hwnd, SW_SHOWNA);
    if (flags & SWP_HIDEWINDOW) ::ShowWindow(hwnd, SW_HIDE);
    return platform::ui::Find(hwnd) ? TRUE : FALSE;
}

int SetWindowRgn(HWND hwnd, CRgn* region, BOOL redraw) {
    WindowRecord* record = platform::ui::Find(hwnd);
    if (!record || (region && !region->IsCreated())) return 0;
    QWidget* widget = record->widget;
    record->hasRegion = region != nullptr;
    record->emptyRegion = region && region->Region().isEmpty();
    if (!region)
        widget->clearMask();
    else if (record->emptyRegion)
        // Qt takes an empty mask for none; one pixel outside the widget hides all of it.
        widget->setMask(QRegion(-1, -1, 1, 1));
    else
        widget->setMask(region->Region());
    if (region) region->DeleteObject();
    if (redraw) widget->update();
    return 1;
}

int GetWindowRgn(HWND hwnd, CRgn* region) {
    const WindowRecord* record = platform::ui::Find(hwnd);
    if (!record || !record->hasRegion || !region || !region->IsCreated()) return RGN_ERROR;
    region->SetRegion(record->emptyRegion ? QRegion() : record->widget->mask());
    RECT box;
    return region->GetRgnBox(&box);
}
