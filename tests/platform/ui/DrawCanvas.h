// A memory device context over a fresh bitmap, for drawing tests.
#pragma once

#include "platform/ui/Dc.h"

namespace kelmon::test::ui {

struct Canvas {
    CDC dc;
    CBitmap bitmap;
    CBitmap* old = nullptr;

    Canvas(int width, int height, COLORREF background = RGB(255, 255, 255), bool mono = false) {
        dc.CreateCompatibleDC(nullptr);
        if (mono)
            bitmap.CreateBitmap(width, height, 1, 1, nullptr);
        else
            bitmap.CreateCompatibleBitmap(&dc, width, height);
        old = dc.SelectObject(&bitmap);
        RECT all{0, 0, width, height};
        COLORREF bk = dc.GetBkColor();
        dc.FillSolidRect(&all, background);
        dc.SetBkColor(bk);
    }
    ~Canvas() { dc.SelectObject(old); }
    COLORREF At(int x, int y) const { return dc.GetPixel(x, y); }
    // How many pixels of the rectangle have the colour.
    int Count(COLORREF color, const RECT& rect) const {
        int n = 0;
        for (int y = rect.top; y < rect.bottom; ++y)
            for (int x = rect.left; x < rect.right; ++x) n += At(x, y) == color;
        return n;
    }
    // Bounding box of the pixels that differ from the colour (empty when none).
    RECT InkBox(COLORREF background) const {
        RECT box{1 << 30, 1 << 30, -1, -1};
        const QImage& image = bitmap.Image();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (At(x, y) != background) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        if (box.right < 0) return RECT{};
        return box;
    }
};

}  // namespace kelmon::test::ui
