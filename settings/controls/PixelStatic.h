// CPixelStatic: a small vertical level meter: a sunken frame over a dark green dot grid with a
// bar that rises from the bottom to the level and turns from green to red as it grows.
#pragma once

#include "platform/ui/Wnd.h"

namespace settings::controls {

class CPixelStatic : public CWnd {
public:
    static constexpr COLORREF kFrameShadow = 0x808080;
    static constexpr COLORREF kFrameLight = 0xFFFFFF;
    static constexpr COLORREF kBackground = 0x008000;
    static constexpr COLORREF kDot = 0x000000;

    CPixelStatic();
    ~CPixelStatic() override;

    // A "Static" window painted by this object.
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // 1 and above fill the meter, 0 and below show no bar; a level that is not a number counts
    // as 0. Repaints on the next paint.
    void SetRatio(double level);
    double GetRatio() const { return level_; }

    // The bar's colour for a level: RGB(255 a, 255 (1 - a), 0) with a the level cut to 0..1.
    static COLORREF BarColor(double level);

protected:
    void OnPaint() override;

private:
    double level_ = 0.0;
};

}  // namespace settings::controls
