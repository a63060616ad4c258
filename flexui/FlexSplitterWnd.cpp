// CFlexSplitterWnd: binding, attachments with size limits, the drag (Escape cancels) and the
// painting of the bar.
#include "flexui/FlexSplitterWnd.h"

#include <algorithm>

#include "platform/ui/Cursor.h"
#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"

CFlexSplitterWnd::CFlexSplitterWnd() = default;
CFlexSplitterWnd::~CFlexSplitterWnd() = default;

BOOL CFlexSplitterWnd::SetAttachItem(int controlId, BOOL resize, int minSize, int maxSize) {
    return parent_ ? SetAttachItem(CWnd::FromHandle(::GetDlgItem(parent_, controlId)), resize,
                                   minSize, maxSize)
                   : 0;
}

BOOL CFlexSplitterWnd::SetAttachItem(CWnd* wnd, BOOL resize, int minSize, int maxSize) {
    if (!wnd || !::IsWindow(wnd->m_hWnd) || !m_hWnd) return 0;
    SplitterAttachment a;
    a.hwnd = wnd->m_hWnd;
    a.side = SplitterDrag::SideOf(m_hWnd, wnd->m_hWnd, orientation_);
    a.resize = resize != FALSE;
    if (a.resize) {
        a.minSize = std::max(minSize, 0);
        a.maxSize = std::max(maxSize, 0);
    }
    attached_.push_back(a);
    return 1;
}

void CFlexSplitterWnd::DetachAll() {
    attached_.clear();
    brush_.reset();
}

void CFlexSplitterWnd::OnLButtonDown(UINT, POINT point) {
    if (::GetCapture() != 0 || drag_.Active() || !::IsWindow(parent_)) return;
    int least = 0, most = 0;
    if (!SplitterDrag::AllowedMoves(parent_, m_hWnd, orientation_, attached_,
                                    SplitterLimits::kWholeWindow, &least, &most))
        return;
    drag_.Begin(parent_, m_hWnd, orientation_, point, least, most, true);
}

void CFlexSplitterWnd::Finish(int delta) {
    if (delta == 0 || !::IsWindow(parent_)) return;
    SplitterDrag::Apply(parent_, m_hWnd, orientation_, attached_, delta);
    ::SendMessage(parent_, WM_FLEXSPLITTER_MOVED, 0, GetDlgCtrlID());
}
