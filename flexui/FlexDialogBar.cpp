// CFlexDialogBar: sizing border, resize drag with a tracker over the frame, the hosted
// in-place window and its shown / hidden notifications.
#include "flexui/FlexDialogBar.h"

#include <QEvent>
#include <QObject>
#include <QWidget>
#include <algorithm>

#include "platform/ui/Cursor.h"
#include "platform/ui/Dc.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"

namespace {

constexpr UINT kCursorTopBottom = 117;
constexpr UINT kCursorLeftRight = 118;

bool Contains(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

}  // namespace

// Turns the widget's own show and hide into the bar's position-change handling (the window
// layer sends no WM_WINDOWPOSCHANGED).
class CFlexDialogBar::VisibilityWatch : public QObject {
public:
    explicit VisibilityWatch(CFlexDialogBar* bar) : bar_(bar) {}

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::ShowToParent)
            bar_->PositionChanged(SWP_SHOWWINDOW);
        else if (event->type() == QEvent::HideToParent)
            bar_->PositionChanged(SWP_HIDEWINDOW);
        return QObject::eventFilter(object, event);
    }

private:
    CFlexDialogBar* bar_;
};

CFlexDialogBar::CFlexDialogBar() = default;

CFlexDialogBar::~CFlexDialogBar() {
    if (QWidget* widget = GetWidget(); widget && watch_) widget->removeEventFilter(watch_.get());
}

BOOL CFlexDialogBar::Create(CFrameWnd* parent, UINT templateId, DWORD style, UINT id) {
    // The docked sizes must be known before the frame first asks for the layout.
    if (!CDialogBar::Create(parent, templateId, style, id)) return FALSE;
    dockedWidth_ = m_sizeDefault.cx;
    dockedHeight_ = m_sizeDefault.cy;
    if (QWidget* widget = GetWidget()) {
        watch_ = std::make_unique<VisibilityWatch>(this);
        widget->installEventFilter(watch_.get());
    }
    if (m_pDockSite) m_pDockSite->RecalcLayout();
    return TRUE;
}

SIZE CFlexDialogBar::CalcFixedLayout(BOOL stretch, BOOL horz) {
    SIZE size = stretch ? SIZE{kStretchLength, kStretchLength} : m_sizeDefault;
    if (horz)
        size.cy = dockedHeight_;
    else
        size.cx = dockedWidth_;
    return size;
}

SIZE CFlexDialogBar::CalcDynamicLayout(int length, DWORD mode) {
    // A docked layout request (length -1) comes from the frame's own layout pass, which uses
    // the answer at once; asking that frame for another pass here would never end.
    return CDialogBar::CalcDynamicLayout(length, mode);
}

void CFlexDialogBar::OnUpdateCmdUI(CWnd* target, BOOL disableIfNoHandler) {
    // The window layer routes no update-command requests: without a target to handle the
    // commands the controls are disabled when asked, with one they are enabled.
    if (!m_hWnd) return;
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        const int id = ::GetDlgCtrlID(child);
        if (id == 0 || id == 0xFFFF || ::GetClassName(child) != "Button") continue;
        if (target)
            ::EnableWindow(child, TRUE);
        else if (disableIfNoHandler)
            ::EnableWindow(child, FALSE);
    }
}

RECT CFlexDialogBar::GetBorderRect() const {
    RECT client{};
    if (!m_hWnd) return client;
    GetClientRect(&client);
    if (!(m_dwStyle & CBRS_SIZE_DYNAMIC) || (m_dwStyle & CBRS_FLOATING)) return RECT{};
    RECT border = client;
    if (m_dwStyle & CBRS_ALIGN_LEFT)
        border.left = client.right - kBorder;
    else if (m_dwStyle & CBRS_ALIGN_TOP)
        border.top = client.bottom - kBorder;
    else if (m_dwStyle & CBRS_ALIGN_RIGHT)
        border.right = client.left + kBorder;
    else if (m_dwStyle & CBRS_ALIGN_BOTTOM)
        border.bottom = client.top + kBorder;
    else
        return RECT{};
    return border;
}

RECT CFlexDialogBar::GetAttachClientRect() const {
    RECT r{};
    if (!m_hWnd) return r;
    GetClientRect(&r);
    const RECT border = GetBorderRect();
    if (border.right > border.left) {
        if (m_dwStyle & CBRS_ALIGN_LEFT) r.right -= kBorder;
        if (m_dwStyle & CBRS_ALIGN_TOP) r.bottom -= kBorder;
        if (m_dwStyle & CBRS_ALIGN_RIGHT) r.left += kBorder;
        if (m_dwStyle & CBRS_ALIGN_BOTTOM) r.top += kBorder;
    }
    r.top += 1;
    return r;
}

UINT CFlexDialogBar::HitTest(POINT point) const {
    return Contains(GetBorderRect(), point) ? HTSIZE : HTCLIENT;
}

CWnd* CFlexDialogBar::GetInPlaceWnd() const {
    return ::IsWindow(inPlace_) ? CWnd::FromHandle(inPlace_) : nullptr;
}

void CFlexDialogBar::FitInPlaceWnd() {
    if (!::IsWindow(inPlace_)) return;
    const RECT r = GetAttachClientRect();
    ::MoveWindow(inPlace_, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

void CFlexDialogBar::SetInPlaceWnd(CWnd* wnd, BOOL fitBar) {
    if (::IsWindow(inPlace_)) ::ShowWindow(inPlace_, SW_HIDE);
    inPlace_ = 0;
    if (!wnd || !::IsWindow(wnd->m_hWnd) || !m_hWnd) return;
    inPlace_ = wnd->m_hWnd;
    if (::GetParent(inPlace_) != m_hWnd) ::SetParent(inPlace_, m_hWnd);
    if (fitBar) {
        RECT window{};
        ::GetWindowRect(inPlace_, &window);
        RECT client{};
        GetClientRect(&client);
        const RECT attach = GetAttachClientRect();
        // The borders: what the client rectangle has beyond the attach rectangle.
        const int width = (window.right - window.left) + (client.right - client.left) -
                          (attach.right - attach.left);
        const int height = (window.bottom - window.top) + (client.bottom - client.top) -
                           (attach.bottom - attach.top);
        dockedWidth_ = width;
        dockedHeight_ = height;
        RECT bar{};
        GetWindowRect(&bar);
        POINT at{bar.left, bar.top};
        if (HWND parent = ::GetParent(m_hWnd)) ::ScreenToClient(parent, &at);
        MoveWindow(at.x, at.y, width, height, TRUE);
        if (m_pDockSite) m_pDockSite->RecalcLayout();
    }
    FitInPlaceWnd();
    ::ShowWindow(inPlace_, SW_SHOW);
}

void CFlexDialogBar::SetBarSize(int width, int height) {
    if (width >= kMinSize) dockedWidth_ = width;
    if (height >= kMinSize) dockedHeight_ = height;
    if (!m_hWnd) return;
    if (m_pDockSite) {
        m_pDockSite->RecalcLayout();
    } else {
        const SIZE size = CalcFixedLayout(FALSE, IsHorzDocked());
        RECT bar{};
        GetWindowRect(&bar);
        POINT at{bar.left, bar.top};
        if (HWND parent = ::GetParent(m_hWnd)) ::ScreenToClient(parent, &at);
        MoveWindow(at.x, at.y, size.cx, size.cy, TRUE);
    }
    FitInPlaceWnd();
}

void CFlexDialogBar::PositionChanged(UINT swpFlags) {
    if (state_ & kInPositionChange) return;
    state_ |= kInPositionChange;
    if (m_hWnd) Invalidate();  // the sizing border is part of the bar's own painting
    if (::IsWindow(inPlace_) && (swpFlags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW))) {
        NMHDR header;
        header.hwndFrom = m_hWnd;
        header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
        header.code = (swpFlags & SWP_SHOWWINDOW) ? FLEXBAR_SHOWN : FLEXBAR_HIDDEN;
        ::SendMessage(inPlace_, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    }
    state_ &= ~kInPositionChange;
}

LRESULT CFlexDialogBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCHITTEST: {
            POINT p{static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam))),
                    static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam)))};
            ScreenToClient(&p);
            return HitTest(p);
        }
        case WM_SETCURSOR: {
            POINT p{};
            ::GetCursorPos(&p);
            ScreenToClient(&p);
            if ((state_ & kTracking) || HitTest(p) == HTSIZE) {
                ::SetCursor(::LoadCursor(IsHorzDocked() ? kCursorTopBottom : kCursorLeftRight));
                return TRUE;
            }
            break;
        }
        case WM_WINDOWPOSCHANGED: {
            const LRESULT result = CDialogBar::WindowProc(message, wParam, lParam);
            const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
            PositionChanged(pos ? pos->flags : 0);
            return result;
        }
        default:
            break;
    }
    return CDialogBar::WindowProc(message, wParam, lParam);
}

void CFlexDialogBar::OnSize(UINT type, int cx, int cy) {
    CDialogBar::OnSize(type, cx, cy);
    if (type == SIZE_MAXSHOW || type == SIZE_MAXHIDE) return;
    FitInPlaceWnd();
}

void CFlexDialogBar::OnLButtonDown(UINT flags, POINT point) {
    // The window layer has no non-client area: the sizing border is the client strip.
    if (HitTest(point) != HTSIZE || (m_dwStyle & CBRS_FLOATING) || (state_ & kTracking)) {
        CDialogBar::OnLButtonDown(flags, point);
        return;
    }
    state_ |= kTracking;
    SetCapture();
    tracker_ = GetBorderRect();
    trackStart_ = POINT{(tracker_.left + tracker_.right) / 2, (tracker_.top + tracker_.bottom) / 2};
    DrawTracker();
}

void CFlexDialogBar::OnMouseMove(UINT flags, POINT point) {
    if (!(state_ & kTracking)) {
        CDialogBar::OnMouseMove(flags, point);
        return;
    }
    const POINT centre{(tracker_.left + tracker_.right) / 2, (tracker_.top + tracker_.bottom) / 2};
    if (IsHorzDocked()) {
        const int dy = point.y - centre.y;
        tracker_.top += dy;
        tracker_.bottom += dy;
    } else {
        const int dx = point.x - centre.x;
        tracker_.left += dx;
        tracker_.right += dx;
    }
    DrawTracker();
}

void CFlexDialogBar::OnLButtonUp(UINT flags, POINT point) {
    if (state_ & kTracking)
        EndTracking(true, point);
    else
        CDialogBar::OnLButtonUp(flags, point);
}

void CFlexDialogBar::OnLButtonDblClk(UINT flags, POINT point) {
    // A double click on the border is no drag.
    if (HitTest(point) != HTSIZE) CDialogBar::OnLButtonDblClk(flags, point);
}

void CFlexDialogBar::OnCaptureChanged(CWnd* wnd) {
    if ((state_ & kTracking) && (!wnd || wnd->m_hWnd != m_hWnd)) EndTracking(false, POINT{});
    CDialogBar::OnCaptureChanged(wnd);
}

void CFlexDialogBar::DrawTracker() {
    HWND site = m_pDockSite ? m_pDockSite->m_hWnd : ::GetParent(m_hWnd);
    if (!site) return;
    RECT t = tracker_;
    ::MapWindowPoints(m_hWnd, site, &t);
    // The halftone inversion of the rectangle one pixel in from each side.
    const RECT mark{t.left + 1, t.top + 1, t.right - 1, t.bottom - 1};
    if (overlay_.IsShown())
        overlay_.Move(mark);
    else
        overlay_.Show(site, mark);
}

void CFlexDialogBar::EndTracking(bool accept, POINT) {
    const RECT tracker = tracker_;
    state_ &= ~kTracking;
    overlay_.Hide();
    if (::GetCapture() == m_hWnd) ::ReleaseCapture();
    if (!accept) return;
    const int dx = (tracker.left + tracker.right) / 2 - trackStart_.x;
    const int dy = (tracker.top + tracker.bottom) / 2 - trackStart_.y;
    RECT site{};
    if (m_pDockSite && m_pDockSite->m_hWnd)
        m_pDockSite->GetClientRect(&site);
    else if (HWND parent = ::GetParent(m_hWnd))
        ::GetClientRect(parent, &site);
    const bool horz = IsHorzDocked();
    const int old = horz ? dockedHeight_ : dockedWidth_;
    int delta = 0;
    if (m_dwStyle & CBRS_ALIGN_LEFT) delta = dx;
    if (m_dwStyle & CBRS_ALIGN_TOP) delta = dy;
    if (m_dwStyle & CBRS_ALIGN_RIGHT) delta = -dx;
    if (m_dwStyle & CBRS_ALIGN_BOTTOM) delta = -dy;
    const int extent = horz ? site.bottom - site.top : site.right - site.left;
    const int size = std::max(kMinSize, std::min(old + delta, old + extent));
    if (horz)
        dockedHeight_ = size;
    else
        dockedWidth_ = size;
    if (m_pDockSite) m_pDockSite->RecalcLayout();
}

void CFlexDialogBar::OnPaint() {
    CPaintDC dc(this);
    const RECT border = GetBorderRect();
    if (border.right > border.left && !(m_dwStyle & CBRS_FLOATING))
        dc.FillSolidRect(&border, kBorderColor);
}

BOOL CFlexDialogBar::OnEraseBkgnd(CDC* dc) {
    if (!dc) return CDialogBar::OnEraseBkgnd(dc);
    RECT client{};
    GetClientRect(&client);
    // The hosted window paints its own area; erasing under it would flicker.
    if (::IsWindow(inPlace_) && ::IsWindowVisible(inPlace_)) {
        const RECT r = ::GetWindowRectIn(inPlace_, m_hWnd);
        dc->SaveDC();
        dc->ExcludeClipRect(r.left, r.top, r.right, r.bottom);
        dc->FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
        dc->RestoreDC(-1);
    } else {
        dc->FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
    }
    return TRUE;
}

void CFlexDialogBar::OnDestroy() {
    if (state_ & kTracking) EndTracking(false, POINT{});
    if (QWidget* widget = GetWidget(); widget && watch_) widget->removeEventFilter(watch_.get());
    watch_.reset();
    CDialogBar::OnDestroy();
}
