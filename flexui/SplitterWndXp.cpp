// CSplitterWndXp: binding, attachments, the drag and the painting of the bar.
#include "flexui/SplitterWndXp.h"

#include <algorithm>

#include "platform/ui/Cursor.h"
#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"

CSplitterWndXp::CSplitterWndXp() = default;
CSplitterWndXp::~CSplitterWndXp() = default;

BOOL CSplitterWndXp::SetAttachItem(int controlId, BOOL resize, int minSize) {
    return parent_
               ? SetAttachItem(CWnd::FromHandle(::GetDlgItem(parent_, controlId)), resize, minSize)
               : FALSE;
}

BOOL CSplitterWndXp::SetAttachItem(CWnd* wnd, BOOL resize, int minSize) {
    if (!wnd || !::IsWindow(wnd->m_hWnd) || !m_hWnd) return FALSE;
    DWORD word = SplitterDrag::SideOf(m_hWnd, wnd->m_hWnd, orientation_);
    if (resize)
        word |= SPLITTER_ATTACH_RESIZE | (static_cast<DWORD>(std::max(minSize, 0) & 0xFFFF) << 16);
    windows_.push_back(wnd->m_hWnd);
    words_.push_back(word);
    return TRUE;
}

void CSplitterWndXp::DetachAll() {
    windows_.clear();
    words_.clear();
    brush_.reset();
}

std::vector<SplitterAttachment> CSplitterWndXp::Attachments() const {
    std::vector<SplitterAttachment> out;
    for (size_t i = 0; i < windows_.size(); ++i) {
        SplitterAttachment a;
        a.hwnd = windows_[i];
        a.side = words_[i] & 0xF;
        a.resize = (words_[i] & SPLITTER_ATTACH_RESIZE) != 0;
        a.minSize = a.resize ? static_cast<int>(words_[i] >> 16) : 0;
        out.push_back(a);
    }
    return out;
}

void CSplitterWndXp::OnLButtonDown(UINT, POINT point) {
    if (::GetCapture() != 0 || drag_.Active() || !::IsWindow(parent_)) return;
    int least = 0, most = 0;
    if (!SplitterDrag::AllowedMoves(parent_, m_hWnd, orientation_, Attachments(),
                                    SplitterLimits::kFarEdge, &least, &most))
        return;
    dragStart_ = ::GetWindowRectIn(m_hWnd, parent_);
    drag_.Begin(parent_, m_hWnd, orientation_, point, least, most, false);
}

void CSplitterWndXp::OnRButtonDown(UINT flags, POINT point) {
    if (drag_.Active())
        Finish(drag_.End(true));
    else
        CWnd::OnRButtonDown(flags, point);
}

void CSplitterWndXp::Finish(int delta) {
    if (delta == 0 || !::IsWindow(parent_)) return;
    SplitterDrag::Apply(parent_, m_hWnd, orientation_, Attachments(), delta);
    ::SendMessage(parent_, WM_SPLITTER_MOVED, 0, GetDlgCtrlID());
}
