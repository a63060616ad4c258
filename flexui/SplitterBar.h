// CSplitterBar: what the two splitter bars made from dialog controls share — binding to the
// control, the sizing cursor, the background colour and following the mouse while dragging.
#pragma once

#include <memory>

#include "flexui/SplitterDrag.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Wnd.h"

class CSplitterBar : public CWnd {
public:
    CSplitterBar();
    ~CSplitterBar() override;

    // Subclasses the parent's control as the bar (orientation 0: from its shape).
    BOOL BindWithControl(CWnd* parent, UINT id, int orientation = 0);
    void SetBkColor(COLORREF color);

    int GetOrientation() const { return orientation_; }
    BOOL IsDragging() const { return drag_.Active(); }
    RECT GetDragRect() const { return drag_.TrackerRect(); }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void OnMouseMove(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnCaptureChanged(CWnd* wnd) override;
    void OnPaint() override;
    // Moves the bar and its windows by the dragged distance and tells the parent.
    virtual void Finish(int delta) = 0;

    HWND parent_ = 0;
    int orientation_ = kSplitterHorizontal;
    std::unique_ptr<CBrush> brush_;
    SplitterDrag drag_;
};
