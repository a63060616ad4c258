// CSplitterBar: binding, cursor, background and the mouse while a drag runs.
#include "flexui/SplitterBar.h"

#include "platform/ui/Cursor.h"
#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"

CSplitterBar::CSplitterBar() = default;
CSplitterBar::~CSplitterBar() = default;

BOOL CSplitterBar::BindWithControl(CWnd* parent, UINT id, int orientation) {
    if (!parent || !::IsWindow(parent->m_hWnd) || m_hWnd) return FALSE;
    HWND control = ::GetDlgItem(parent->m_hWnd, static_cast<int>(id));
    if (!control || !SubclassWindow(control)) return FALSE;
    ModifyStyle(0, SS_NOTIFY);  // a static hears mouse presses only with it
    parent_ = parent->m_hWnd;
    orientation_ = orientation == kSplitterHorizontal || orientation == kSplitterVertical
                       ? orientation
                       : SplitterDrag::OrientationOf(control);
    return TRUE;
}

void CSplitterBar::SetBkColor(COLORREF color) {
    brush_ = std::make_unique<CBrush>(color);
    if (m_hWnd) Invalidate();
}

void CSplitterBar::OnMouseMove(UINT flags, POINT point) {
    if (drag_.Active())
        drag_.Follow(point);
    else
        CWnd::OnMouseMove(flags, point);
}

void CSplitterBar::OnLButtonUp(UINT flags, POINT point) {
    if (!drag_.Active()) {
        CWnd::OnLButtonUp(flags, point);
        return;
    }
    drag_.Follow(point);
    Finish(drag_.End(true));
}

void CSplitterBar::OnCaptureChanged(CWnd* wnd) {
    if (drag_.Active()) Finish(drag_.EndOnCaptureLoss());
    CWnd::OnCaptureChanged(wnd);
}

void CSplitterBar::OnPaint() {
    if (!brush_) {
        CWnd::OnPaint();
        return;
    }
    CPaintDC dc(this);
    RECT client{};
    GetClientRect(&client);
    dc.FillRect(&client, brush_.get());
}

LRESULT CSplitterBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETCURSOR) {
        ::SetCursor(
            ::LoadCursor(nullptr, orientation_ == kSplitterHorizontal ? IDC_SIZENS : IDC_SIZEWE));
        return TRUE;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}
