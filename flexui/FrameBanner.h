// CFrameBanner: the gradient strip drawn at the top of the main frame, with its orange line
// along the bottom.
#pragma once

#include "platform/ui/Wnd.h"

class CFrameBanner : public CWnd {
public:
    CFrameBanner() = default;

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
};
