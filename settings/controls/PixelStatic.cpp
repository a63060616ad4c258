// CPixelStatic: the level and the meter's painting.
#include "settings/controls/PixelStatic.h"

#include <cmath>

#include "platform/ui/Dc.h"

namespace settings::controls {

CPixelStatic::CPixelStatic() = default;
CPixelStatic::~CPixelStatic() = default;

BOOL CPixelStatic::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create("Static", "", style, rect, parent, id);
}

void CPixelStatic::SetRatio(double level) {
    level_ = std::isnan(level) ? 0.0 : level;
    if (m_hWnd) Invalidate();
}

COLORREF CPixelStatic::BarColor(double level) {
    // Below 0 no bar is drawn; the cut only keeps the colour channels in range.
    const double a = level <= 1.0 ? (level < 0.0 ? 0.0 : level) : 1.0;
    return RGB(static_cast<BYTE>(255.0 * a), static_cast<BYTE>(255.0 * (1.0 - a)), 0);
}

void CPixelStatic::OnPaint() {
    CPaintDC dc(this);
    RECT inner{};
    GetClientRect(&inner);
    dc.Draw3dRect(&inner, kFrameShadow, kFrameLight);
    ::InflateRect(&inner, -1, -1);
    if (inner.right <= inner.left || inner.bottom <= inner.top) return;

    dc.FillSolidRect(&inner, kBackground);
    for (int y = inner.top; y < inner.bottom; y += 2)
        for (int x = inner.left + (inner.left & 1); x < inner.right; x += 2)
            dc.SetPixelV(x, y, kDot);

    // The bar's top lies (1 - level) of the height below the area's top; compared in doubles
    // so that a very low level cannot overflow the pixel count.
    const int height = inner.bottom - inner.top;
    const double gap = height * (level_ <= 1.0 ? 1.0 - level_ : 0.0);
    if (gap < height) {
        RECT bar = inner;
        bar.top += static_cast<int>(gap);
        dc.FillSolidRect(&bar, BarColor(level_));
    }
}

}  // namespace settings::controls
