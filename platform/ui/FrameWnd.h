// CFrameWnd: a frame window whose client area is shared by control bars docked on its four
// sides and one view (the child with id AFX_IDW_PANE_FIRST) filling what is left.
#pragma once

#include <vector>

#include "platform/ui/Wnd.h"

class CControlBar;

inline constexpr UINT AFX_IDW_PANE_FIRST = 0xE900;

class CFrameWnd : public CWnd {
public:
    ~CFrameWnd() override;
    // Lays the bars out, side by side in the order top, bottom, left, right (a side's first
    // bar outermost; top and bottom bars span the whole width), then the view.
    virtual void RecalcLayout(BOOL notify = TRUE);
    // Moves a bar to a side (CBRS_ALIGN_TOP, ...), as its innermost bar, and lays out again.
    void DockControlBar(CControlBar* bar, DWORD side);
    void ShowControlBar(CControlBar* bar, BOOL show, BOOL delay = FALSE);
    // The client area the view gets after the bars took theirs.
    RECT GetViewRect() const { return viewRect_; }

    // Used by the bars as they are made and destroyed.
    void AddControlBar(CControlBar* bar);
    void RemoveControlBar(CControlBar* bar);

protected:
    void OnSize(UINT type, int cx, int cy) override;

private:
    std::vector<CControlBar*> bars_;  // not owned; in docking order
    RECT viewRect_;
};
