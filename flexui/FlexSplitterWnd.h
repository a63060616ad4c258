// CFlexSplitterWnd: a dialog control made into a splitter bar that moves and resizes the
// controls attached to it, within their smallest and largest sizes.
#pragma once

#include <memory>
#include <vector>

#include "flexui/SplitterBar.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Wnd.h"

// What the parent is sent after a drag moved the bar (lParam: the bar's control id).
inline constexpr UINT WM_FLEXSPLITTER_MOVED = WM_USER + 0x1FE;

class CFlexSplitterWnd : public CSplitterBar {
public:
    CFlexSplitterWnd();
    ~CFlexSplitterWnd() override;

    // The side comes from where the control lies; the sizes count only with `resize`
    // (a maximum of 0: none).
    BOOL SetAttachItem(CWnd* wnd, BOOL resize, int minSize = 0, int maxSize = 0);
    BOOL SetAttachItem(int controlId, BOOL resize, int minSize = 0, int maxSize = 0);
    void DetachAll();

    const std::vector<SplitterAttachment>& GetAttachments() const { return attached_; }

protected:
    void OnLButtonDown(UINT flags, POINT point) override;

private:
    void Finish(int delta) override;

    std::vector<SplitterAttachment> attached_;
};
