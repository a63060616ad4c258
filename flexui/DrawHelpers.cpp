// The drawing helpers over the window layer's device contexts.
#include "flexui/DrawHelpers.h"

#include <QImage>
#include <algorithm>
#include <cstdint>
#include <utility>

#include "flexui/DibDecoder.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"

BOOL CPalette::CreatePalette(std::vector<COLORREF> entries) {
    entries_ = std::move(entries);
    created_ = true;
    return TRUE;
}

BOOL CPalette::DeleteObject() {
    const BOOL was = created_;
    entries_.clear();
    created_ = false;
    return was;
}

namespace {

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

// start + (end - start) * i / n in each channel, truncated.
COLORREF Blend(COLORREF start, COLORREF end, int64_t i, int64_t n) {
    auto channel = [&](int shift) -> COLORREF {
        const int64_t s = (start >> shift) & 0xFF;
        const int64_t e = (end >> shift) & 0xFF;
        return static_cast<COLORREF>(s + (e - s) * i / n) << shift;
    };
    return channel(0) | channel(8) | channel(16);
}

QRgb ToRgb(COLORREF c) { return qRgb(GetRValue(c), GetGValue(c), GetBValue(c)); }

// The rectangle of the context's bitmap (device coordinates) that the logical rectangle
// covers; empty for a window context.
QRect BitmapArea(CDC* dc, const RECT& rect) {
    if (!dc || !dc->IsMemoryDC() || !dc->GetCurrentBitmap()) return QRect();
    RECT device = rect;
    dc->LPtoDP(&device);
    return QRect(device.left, device.top, device.right - device.left, device.bottom - device.top)
        .intersected(dc->GetCurrentBitmap()->Image().rect());
}

// Runs `change` on every pixel of the area that is neither the transparent colour nor the
// colour of pixel (0, 0).
template <typename Change>
void ChangeBitmapPixels(CDC* dc, const RECT& rect, COLORREF transparent, Change change) {
    const QRect area = BitmapArea(dc, rect);
    if (area.isEmpty()) return;
    const COLORREF corner = dc->GetPixel(0, 0);
    QImage& image = dc->GetCurrentBitmap()->Image();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = line[x];
            const COLORREF c = RGB(qRed(p), qGreen(p), qBlue(p));
            if (c == transparent || c == corner) continue;
            line[x] = change(qRed(p), qGreen(p), qBlue(p));
        }
    }
}

struct NinePart {
    int left, top, right, bottom;
};

void BlitNineParts(CDC* dc, const RECT& rect, CDC* source, int srcWidth, int srcHeight,
                   const NinePart& d, const NinePart& s, bool inside) {
    if (!dc || !source) return;
    const int w = Width(rect);
    const int h = Height(rect);
    const int x0 = rect.left, y0 = rect.top;
    const int midW = w - d.left - d.right, midH = h - d.top - d.bottom;
    const int srcMidW = srcWidth - s.left - s.right, srcMidH = srcHeight - s.top - s.bottom;
    auto part = [&](int x, int y, int cx, int cy, int sx, int sy, int scx, int scy) {
        if (cx > 0 && cy > 0 && scx > 0 && scy > 0)
            dc->StretchBlt(x, y, cx, cy, source, sx, sy, scx, scy, SRCCOPY);
    };
    // Corners.
    part(x0, y0, d.left, d.top, 0, 0, s.left, s.top);
    part(rect.right - d.right, y0, d.right, d.top, srcWidth - s.right, 0, s.right, s.top);
    part(x0, rect.bottom - d.bottom, d.left, d.bottom, 0, srcHeight - s.bottom, s.left, s.bottom);
    part(rect.right - d.right, rect.bottom - d.bottom, d.right, d.bottom, srcWidth - s.right,
         srcHeight - s.bottom, s.right, s.bottom);
    // Edges.
    part(x0 + d.left, y0, midW, d.top, s.left, 0, srcMidW, s.top);
    part(x0 + d.left, rect.bottom - d.bottom, midW, d.bottom, s.left, srcHeight - s.bottom, srcMidW,
         s.bottom);
    part(x0, y0 + d.top, d.left, midH, 0, s.top, s.left, srcMidH);
    part(rect.right - d.right, y0 + d.top, d.right, midH, srcWidth - s.right, s.top, s.right,
         srcMidH);
    if (inside) part(x0 + d.left, y0 + d.top, midW, midH, s.left, s.top, srcMidW, srcMidH);
}

void RoundFrame(CDC* dc, const RECT& rect, COLORREF color) {
    CPen pen(PS_SOLID, 1, color);
    CPen* oldPen = dc->SelectObject(&pen);
    CGdiObject* oldBrush = dc->SelectStockObject(NULL_BRUSH);
    dc->RoundRect(rect.left, rect.top, rect.right, rect.bottom, 2, 2);
    dc->SelectObject(oldPen);
    dc->SelectObject(static_cast<CBrush*>(oldBrush));
}

}  // namespace

void GradientFill(CDC* dc, const RECT& rect, COLORREF start, COLORREF end, int direction) {
    if (!dc) return;
    const int w = Width(rect), h = Height(rect);
    const int n = direction == GRADIENT_TOP_TO_BOTTOM ? h : w;
    if (n < 1 || w < 1 || h < 1) return;
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = ToRgb(Blend(start, end, direction == GRADIENT_TOP_TO_BOTTOM ? y : x, n));
    }
    dc->DrawImage(rect.left, rect.top, image);
}

void GradientFillEx(CDC* dc, const RECT& rect, COLORREF color1, COLORREF color2, COLORREF color3,
                    int split, int direction) {
    split = std::clamp(split, 0, std::max(0, Height(rect)));
    RECT upper = rect;
    upper.bottom -= split;
    RECT lower = rect;
    lower.top = upper.bottom;
    GradientFill(dc, upper, color1, color2, direction);
    GradientFill(dc, lower, color2, color3, direction);
}

void GradientFillRect(CDC* dc, const RECT& rect, COLORREF topLeft, COLORREF bottomLeft,
                      COLORREF topRight, COLORREF bottomRight) {
    if (!dc) return;
    const int w = Width(rect), h = Height(rect);
    if (w < 0 || h < 0) return;
    QImage image(w + 1, h + 1, QImage::Format_RGB32);
    for (int y = 0; y <= h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x <= w; ++x) {
            const COLORREF top = w ? Blend(topLeft, topRight, x, w) : topLeft;
            const COLORREF bottom = w ? Blend(bottomLeft, bottomRight, x, w) : bottomLeft;
            line[x] = ToRgb(h ? Blend(top, bottom, y, h) : top);
        }
    }
    dc->DrawImage(rect.left, rect.top, image);
}

BOOL GetTabClientRect(HWND tab, RECT* rect) {
    if (!rect || !IsWindow(tab)) return FALSE;
    GetClientRect(tab, rect);
    const DWORD style = static_cast<DWORD>(GetWindowLong(tab, GWL_STYLE));
    const auto count = static_cast<int>(SendMessage(tab, TCM_GETITEMCOUNT));
    for (int i = 0; i < count; ++i) {
        RECT item;
        if (!SendMessage(tab, TCM_GETITEMRECT, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(&item)))
            continue;
        if (style & TCS_VERTICAL) {
            if (style & TCS_RIGHT)
                rect->right = std::min(rect->right, item.left);
            else
                rect->left = std::max(rect->left, item.right);
        } else if (style & TCS_BOTTOM) {
            rect->bottom = std::min(rect->bottom, item.top);
        } else {
            rect->top = std::max(rect->top, item.bottom);
        }
    }
    return TRUE;
}

BOOL GetTabClientRect(CWnd* tab, RECT* rect) {
    return tab ? GetTabClientRect(tab->m_hWnd, rect) : FALSE;
}

void DrawLine(CDC* dc, int fromX, int fromY, int toX, int toY, COLORREF color) {
    if (!dc) return;
    CPen pen;
    CPen* oldPen = nullptr;
    if (color != CLR_INVALID) {
        pen.CreatePen(PS_SOLID, 1, color);
        oldPen = dc->SelectObject(&pen);
    }
    dc->MoveTo(fromX, fromY);
    dc->LineTo(toX, toY);
    if (oldPen) dc->SelectObject(oldPen);
}

void DrawBitmap(CDC* dc, const RECT& rect, CBitmap* bitmap, COLORREF transparent, BOOL enabled,
                BOOL stretch) {
    DrawTransparentBitmap(dc, rect, bitmap, stretch ? 2 : 0, enabled, transparent);
}

void DrawTransparentBitmap(CDC* dc, const RECT& rect, CBitmap* bitmap, int mode, BOOL color,
                           COLORREF transparent, double lighten) {
    if (!dc || !bitmap || !bitmap->IsCreated()) return;
    const int bw = bitmap->Image().width(), bh = bitmap->Image().height();
    // A copy, so that greying or lightening leaves the caller's bitmap as it is.
    CBitmap copy;
    copy.CreateFromImage(bitmap->Image());
    CDC memory;
    memory.CreateCompatibleDC(dc);
    CBitmap* old = memory.SelectObject(&copy);
    const RECT whole{0, 0, bw, bh};
    if (!color)
        SetDisabledBitmap(&memory, whole, transparent);
    else if (lighten != 0.0)
        SetLightenBitmap(&memory, whole, lighten, transparent);
    int x = rect.left, y = rect.top, w = bw, h = bh;
    if (mode == 1) {
        x = rect.left + (Width(rect) - bw) / 2;
        y = rect.top + (Height(rect) - bh) / 2;
    } else if (mode != 0) {
        w = Width(rect);
        h = Height(rect);
    }
    TransparentBlt2(dc, x, y, w, h, &memory, 0, 0, bw, bh, transparent);
    memory.SelectObject(old);
}

BOOL TransparentBlt2(CDC* dest, int x, int y, int width, int height, CDC* source, int srcX,
                     int srcY, int srcWidth, int srcHeight, COLORREF transparent) {
    if (!dest || !source || !source->IsMemoryDC() || !source->GetCurrentBitmap()) return FALSE;
    if (width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) return TRUE;
    POINT origin{srcX, srcY};
    source->LPtoDP(&origin);
    const QImage& pixels = source->GetCurrentBitmap()->Image();
    // Each destination pixel takes its nearest source pixel; transparent ones (and those
    // outside the source bitmap) stay out.
    QImage image(width, height, QImage::Format_ARGB32);
    for (int dy = 0; dy < height; ++dy) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(dy));
        const int sy = origin.y + static_cast<int>(int64_t{dy} * srcHeight / height);
        for (int dx = 0; dx < width; ++dx) {
            const int sx = origin.x + static_cast<int>(int64_t{dx} * srcWidth / width);
            line[dx] = 0;
            if (!pixels.valid(sx, sy)) continue;
            const QRgb p = pixels.pixel(sx, sy);
            // CLR_INVALID matches no pixel: the copy is opaque.
            if (RGB(qRed(p), qGreen(p), qBlue(p)) != transparent) line[dx] = p | 0xFF000000;
        }
    }
    dest->DrawImage(x, y, image);
    return TRUE;
}

void SetDisabledBitmap(CDC* dc, const RECT& rect, COLORREF transparent) {
    ChangeBitmapPixels(dc, rect, transparent, [](int r, int g, int b) {
        // Integer weights: white stays 255 (floating point would truncate it to 254).
        const int grey = (299 * r + 587 * g + 114 * b) / 1000;
        return qRgb(grey, grey, grey);
    });
}

void SetLightenBitmap(CDC* dc, const RECT& rect, double factor, COLORREF transparent) {
    ChangeBitmapPixels(dc, rect, transparent, [factor](int r, int g, int b) {
        auto lighten = [factor](int c) {
            return std::clamp(static_cast<int>(255.0 * factor + (1.0 - factor) * c), 0, 255);
        };
        return qRgb(lighten(r), lighten(g), lighten(b));
    });
}

void StretchRectBlt(CDC* dc, const RECT& rect, CDC* source, int srcWidth, int srcHeight, int left,
                    int top, int right, int bottom, int srcLeft, int srcTop, int srcRight,
                    int srcBottom) {
    BlitNineParts(dc, rect, source, srcWidth, srcHeight, {left, top, right, bottom},
                  {srcLeft, srcTop, srcRight, srcBottom}, false);
}

void StretchRectangleBlt(CDC* dc, const RECT& rect, CDC* source, int srcWidth, int srcHeight,
                         int left, int top, int right, int bottom, int srcLeft, int srcTop,
                         int srcRight, int srcBottom) {
    BlitNineParts(dc, rect, source, srcWidth, srcHeight, {left, top, right, bottom},
                  {srcLeft, srcTop, srcRight, srcBottom}, true);
}

void FrameRectFromBitmap(CDC* dc, const RECT& rect, CBitmap* bitmap, int left, int top, int right,
                         int bottom) {
    if (!dc || !bitmap || !bitmap->IsCreated()) return;
    CDC memory;
    memory.CreateCompatibleDC(dc);
    CBitmap* old = memory.SelectObject(bitmap);
    StretchRectBlt(dc, rect, &memory, bitmap->Image().width(), bitmap->Image().height(), left, top,
                   right, bottom, left, top, right, bottom);
    memory.SelectObject(old);
}

void DrawButtonFrame(CDC* dc, const RECT& rect, UINT state) {
    if (!dc) return;
    const bool flat = state & BUTTON_FRAME_FLAT;
    const bool down = state & BUTTON_FRAME_DOWN;
    const bool hotFocus = state & BUTTON_FRAME_HOT_FOCUS;
    const bool hot = state & BUTTON_FRAME_HOT;
    RECT inner = rect;
    InflateRect(&inner, -1, -1);
    if (flat) {
        dc->FillSolidRect(&inner, RGB(244, 244, 244));
    } else {
        RECT upper = inner;
        upper.bottom = inner.top + Height(inner) / 2;
        RECT lower = inner;
        lower.top = upper.bottom;
        if (down) {
            GradientFill(dc, upper, RGB(222, 237, 246), RGB(196, 229, 246), 1);
            GradientFill(dc, lower, RGB(152, 209, 239), RGB(102, 175, 215), 1);
        } else {
            const COLORREF from = hotFocus || hot ? RGB(234, 246, 253) : RGB(242, 242, 242);
            const COLORREF to = hotFocus ? RGB(217, 240, 252)
                                : hot    ? RGB(228, 244, 253)
                                         : RGB(235, 235, 235);
            GradientFill(dc, upper, from, to, 1);
            if (hotFocus)
                GradientFill(dc, lower, RGB(190, 230, 253), RGB(167, 217, 245), 1);
            else if (hot)
                GradientFill(dc, lower, RGB(201, 234, 252), RGB(180, 223, 247), 1);
            else
                GradientFill(dc, lower, RGB(221, 221, 221), RGB(207, 207, 207), 1);
        }
    }
    const COLORREF outer = down       ? RGB(58, 104, 138)
                           : flat     ? RGB(192, 195, 198)
                           : hotFocus ? RGB(100, 155, 195)
                           : hot      ? RGB(56, 147, 194)
                                      : RGB(143, 143, 143);
    RoundFrame(dc, rect, outer);
    // The straight runs of the outer frame, 2 pixels short of each corner, in a deeper colour.
    const COLORREF edge = down                ? RGB(44, 98, 139)
                          : flat              ? RGB(173, 178, 181)
                          : (hotFocus || hot) ? RGB(60, 127, 177)
                                              : RGB(112, 112, 112);
    DrawLine(dc, rect.left + 2, rect.top, rect.right - 2, rect.top, edge);
    DrawLine(dc, rect.left + 2, rect.bottom - 1, rect.right - 2, rect.bottom - 1, edge);
    DrawLine(dc, rect.left, rect.top + 2, rect.left, rect.bottom - 2, edge);
    DrawLine(dc, rect.right - 1, rect.top + 2, rect.right - 1, rect.bottom - 2, edge);
    const COLORREF innerColor = down       ? RGB(162, 189, 205)
                                : flat     ? RGB(252, 252, 252)
                                : hotFocus ? RGB(232, 245, 252)
                                : hot      ? RGB(72, 215, 251)
                                           : RGB(240, 240, 240);
    RoundFrame(dc, inner, innerColor);
}

namespace {

std::unique_ptr<CBitmap> BitmapOf(const DibPixels& dib) {
    QImage image(dib.width, dib.height, QImage::Format_RGB32);
    for (int y = 0; y < dib.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < dib.width; ++x)
            line[x] = 0xFF000000 | dib.pixels[static_cast<size_t>(y) * dib.width + x];
    }
    auto bitmap = std::make_unique<CBitmap>();
    if (!bitmap->CreateFromImage(image)) return nullptr;
    return bitmap;
}

}  // namespace

std::unique_ptr<CBitmap> CreateInterBitmap(const void* fileImage, size_t size) {
    auto dib = ReadBitmapFile(static_cast<const uint8_t*>(fileImage), size);
    return dib ? BitmapOf(*dib) : nullptr;
}

std::unique_ptr<CPalette> CreatePaletteFromDIBitmap(const void* packedDib, size_t size) {
    auto table = ReadDibColorTable(static_cast<const uint8_t*>(packedDib), size);
    if (!table || table->empty()) return nullptr;
    auto palette = std::make_unique<CPalette>();
    palette->CreatePalette(std::move(*table));
    return palette;
}

std::unique_ptr<CBitmap> CreateDDBFromPackedDIBitmap(const void* packedDib, size_t size,
                                                     CPalette* palette) {
    const std::vector<COLORREF>* table =
        palette && palette->IsCreated() ? &palette->Entries() : nullptr;
    auto dib = ReadPackedDib(static_cast<const uint8_t*>(packedDib), size, table);
    return dib ? BitmapOf(*dib) : nullptr;
}
