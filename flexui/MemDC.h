// CMemDC: a memory context over a rectangle of a target context, copied back when detached, so
// that a window draws without flicker.
#pragma once

#include "platform/ui/Dc.h"
#include "platform/ui/GdiObjects.h"

class CMemDC : public CDC {
public:
    CMemDC() = default;
    CMemDC(CDC* target, const RECT& rect);
    // Copies the drawing back to the target (DetachDC).
    ~CMemDC() override;
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    // A memory bitmap of the rectangle's size, starting with the target's pixels there (a
    // window's pixels cannot be read: it then starts with the dialog face colour). Detaches
    // first when attached.
    BOOL AttachDC(CDC* target, const RECT& rect);
    // Copies the memory bitmap to the rectangle of the target and frees it.
    void DetachDC();
    bool IsAttached() const { return target_ != nullptr; }
    // Target coordinates to memory coordinates.
    RECT MapMemRect(const RECT& rect) const;
    // The gradients of the drawing helpers, in target coordinates.
    void GradientFill(const RECT& rect, COLORREF start, COLORREF end, int direction);
    void GradientFillEx(const RECT& rect, COLORREF color1, COLORREF color2, COLORREF color3,
                        int split, int direction);

private:
    CDC* target_ = nullptr;
    CBitmap bitmap_;
    CBitmap* oldBitmap_ = nullptr;
    RECT rect_;
};
