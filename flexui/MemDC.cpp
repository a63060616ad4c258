// CMemDC: attach, copy back on detach, and target-to-memory coordinates.
#include "flexui/MemDC.h"

#include "flexui/DrawHelpers.h"
#include "platform/ui/SysColors.h"

CMemDC::CMemDC(CDC* target, const RECT& rect) { AttachDC(target, rect); }

CMemDC::~CMemDC() { DetachDC(); }

BOOL CMemDC::AttachDC(CDC* target, const RECT& rect) {
    DetachDC();
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (!target || !target->IsValid() || width <= 0 || height <= 0) return FALSE;
    if (!IsValid() && !CreateCompatibleDC(target)) return FALSE;
    if (!bitmap_.CreateCompatibleBitmap(target, width, height)) return FALSE;
    oldBitmap_ = SelectObject(&bitmap_);
    target_ = target;
    rect_ = rect;
    if (target->IsMemoryDC()) {
        BitBlt(0, 0, width, height, target, rect.left, rect.top, SRCCOPY);
    } else {
        const RECT whole{0, 0, width, height};
        FillSolidRect(&whole, GetSysColor(COLOR_BTNFACE));
    }
    return TRUE;
}

void CMemDC::DetachDC() {
    if (!target_) return;
    target_->BitBlt(rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, this,
                    0, 0, SRCCOPY);
    SelectObject(oldBitmap_);
    oldBitmap_ = nullptr;
    bitmap_.DeleteObject();
    target_ = nullptr;
}

RECT CMemDC::MapMemRect(const RECT& rect) const {
    return RECT{rect.left - rect_.left, rect.top - rect_.top, rect.right - rect_.left,
                rect.bottom - rect_.top};
}

void CMemDC::GradientFill(const RECT& rect, COLORREF start, COLORREF end, int direction) {
    ::GradientFill(this, MapMemRect(rect), start, end, direction);
}

void CMemDC::GradientFillEx(const RECT& rect, COLORREF color1, COLORREF color2, COLORREF color3,
                            int split, int direction) {
    ::GradientFillEx(this, MapMemRect(rect), color1, color2, color3, split, direction);
}
