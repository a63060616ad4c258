// CChildHostWnd: sizing and focus forwarding to the hosted workspace window.
#include "shell/ChildHostWnd.h"

#include "platform/ui/Dc.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"

namespace shell {

BOOL CChildHostWnd::Create(CWnd* parent, UINT id, const RECT& rect, DWORD style, DWORD exStyle) {
    PreCreateWindow(&style, &exStyle);
    return CreateEx(exStyle, nullptr, "", style, rect, parent, id);
}

void CChildHostWnd::PreCreateWindow(DWORD* style, DWORD* exStyle) {
    if (style) *style &= ~WS_BORDER;
    if (exStyle) *exStyle &= ~WS_EX_CLIENTEDGE;
}

void CChildHostWnd::SetChildWnd(CWnd* child) { SetChildWnd(child ? child->m_hWnd : HWND{0}); }

void CChildHostWnd::SetChildWnd(HWND child) {
    child_ = child;
    FillWithChild(TRUE);
}

CWnd* CChildHostWnd::GetChildWnd() const {
    return child_ != 0 && ::IsWindow(child_) ? CWnd::FromHandle(child_) : nullptr;
}

void CChildHostWnd::FillWithChild(BOOL repaint) {
    CWnd* child = GetChildWnd();
    if (child == nullptr || m_hWnd == 0) return;
    RECT client{};
    GetClientRect(&client);
    child->MoveWindow(client, repaint);
}

void CChildHostWnd::OnSize(UINT type, int cx, int cy) {
    CWnd::OnSize(type, cx, cy);
    FillWithChild(TRUE);
}

void CChildHostWnd::OnSetFocus(CWnd* oldWnd) {
    CWnd::OnSetFocus(oldWnd);
    if (CWnd* child = GetChildWnd()) child->SetFocus();
}

BOOL CChildHostWnd::OnEraseBkgnd(CDC* dc) {
    if (dc == nullptr) return FALSE;
    RECT client{};
    GetClientRect(&client);
    dc->FillRect(&client, GetSysColorBrush(COLOR_WINDOW));
    return TRUE;
}

void CChildHostWnd::OnPaint() { CPaintDC dc(this); }

}  // namespace shell
