// CFrameWnd: docking the control bars and laying out the frame's client area.
#include "platform/ui/FrameWnd.h"

#include <algorithm>

#include "platform/ui/ControlBar.h"

CFrameWnd::~CFrameWnd() {
    // The bars outlive this part of the frame while its window is destroyed.
    for (CControlBar* bar : bars_) bar->m_pDockSite = nullptr;
    bars_.clear();
}

void CFrameWnd::AddControlBar(CControlBar* bar) {
    if (std::find(bars_.begin(), bars_.end(), bar) == bars_.end()) bars_.push_back(bar);
    bar->m_pDockSite = this;
}

void CFrameWnd::RemoveControlBar(CControlBar* bar) {
    bars_.erase(std::remove(bars_.begin(), bars_.end(), bar), bars_.end());
    bar->m_pDockSite = nullptr;
}

void CFrameWnd::DockControlBar(CControlBar* bar, DWORD side) {
    if (!bar) return;
    RemoveControlBar(bar);
    bar->m_dwStyle = (bar->m_dwStyle & ~CBRS_ALIGN_ANY) | (side & CBRS_ALIGN_ANY);
    AddControlBar(bar);
    RecalcLayout();
}

void CFrameWnd::ShowControlBar(CControlBar* bar, BOOL show, BOOL) {
    if (!bar || !bar->m_hWnd) return;
    bar->ShowWindow(show ? SW_SHOW : SW_HIDE);
    RecalcLayout();
}

void CFrameWnd::RecalcLayout(BOOL) {
    if (!m_hWnd) return;
    RECT rect;
    GetClientRect(&rect);
    for (DWORD side : {CBRS_ALIGN_TOP, CBRS_ALIGN_BOTTOM, CBRS_ALIGN_LEFT, CBRS_ALIGN_RIGHT}) {
        for (CControlBar* bar : bars_) {
            if (!(bar->m_dwStyle & side) || !bar->m_hWnd) continue;
            if (!(bar->GetStyle() & WS_VISIBLE)) continue;
            const bool horz = side == CBRS_ALIGN_TOP || side == CBRS_ALIGN_BOTTOM;
            const SIZE size =
                (bar->m_dwStyle & CBRS_SIZE_DYNAMIC)
                    ? bar->CalcDynamicLayout(
                          -1, LM_STRETCH | (horz ? LM_HORZ | LM_HORZDOCK : LM_VERTDOCK))
                    : bar->CalcFixedLayout(TRUE, horz);
            // A bar never takes more than the room left.
            const LONG across = horz ? std::clamp<LONG>(size.cy, 0, rect.bottom - rect.top)
                                     : std::clamp<LONG>(size.cx, 0, rect.right - rect.left);
            RECT at = rect;
            if (side == CBRS_ALIGN_TOP) {
                at.bottom = rect.top + across;
                rect.top = at.bottom;
            } else if (side == CBRS_ALIGN_BOTTOM) {
                at.top = rect.bottom - across;
                rect.bottom = at.top;
            } else if (side == CBRS_ALIGN_LEFT) {
                at.right = rect.left + across;
                rect.left = at.right;
            } else {
                at.left = rect.right - across;
                rect.right = at.left;
            }
            bar->MoveWindow(at);
        }
    }
    viewRect_ = rect;
    if (CWnd* view = GetDlgItem(static_cast<int>(AFX_IDW_PANE_FIRST))) view->MoveWindow(rect);
}

void CFrameWnd::OnSize(UINT type, int cx, int cy) {
    CWnd::OnSize(type, cx, cy);
    if (type != SIZE_MINIMIZED) RecalcLayout();
}
