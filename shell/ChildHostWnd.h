// CChildHostWnd: the main frame's container for the workspace window (the standard panel or
// a view plug-in's window), which it keeps filling its client area.
#pragma once

#include "platform/ui/Wnd.h"

namespace shell {

class CChildHostWnd : public CWnd {
public:
    CChildHostWnd() = default;

    // A borderless child of the frame (styles through PreCreateWindow).
    BOOL Create(CWnd* parent, UINT id, const RECT& rect,
                DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, DWORD exStyle = 0);

    // Stores the hosted window and, when it is one, fills the client area with it at once
    // (with repaint). Null hosts nothing. The container never owns the hosted window.
    void SetChildWnd(CWnd* child);
    void SetChildWnd(HWND child);
    // The hosted window; null when none or when it has been destroyed since.
    CWnd* GetChildWnd() const;

    // Removes the client edge and the border: the container shows no frame of its own.
    static void PreCreateWindow(DWORD* style, DWORD* exStyle);

protected:
    void OnSize(UINT type, int cx, int cy) override;
    void OnSetFocus(CWnd* oldWnd) override;
    // Erases with the window colour (the container's class background) ...
    BOOL OnEraseBkgnd(CDC* dc) override;
    // ... and paints nothing more: the hosted window covers the area.
    void OnPaint() override;

private:
    void FillWithChild(BOOL repaint);

    // A handle, not an object pointer: a plug-in may destroy its window behind our back, and
    // a dead handle is detected where a dangling pointer would not be.
    HWND child_ = 0;
};

}  // namespace shell
