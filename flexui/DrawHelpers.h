// The library's drawing helpers: gradients, transparent, greyed and lightened bitmaps, nine-part
// frames, the gradient button face, the tab client area and bitmaps made from DIB images.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/ui/Dc.h"
#include "platform/ui/GdiObjects.h"

class CWnd;

// A logical palette: the colour table of a device-independent bitmap.
class CPalette : public CGdiObject {
public:
    CPalette() = default;
    BOOL CreatePalette(std::vector<COLORREF> entries);
    BOOL DeleteObject() override;
    bool IsCreated() const override { return created_; }
    int GetEntryCount() const { return static_cast<int>(entries_.size()); }
    const std::vector<COLORREF>& Entries() const { return entries_; }

private:
    bool created_ = false;
    std::vector<COLORREF> entries_;
};
using HPALETTE = CPalette*;

// Gradient directions.
inline constexpr int GRADIENT_LEFT_TO_RIGHT = 0;
inline constexpr int GRADIENT_TOP_TO_BOTTOM = 1;

// State bits of DrawButtonFrame.
inline constexpr UINT BUTTON_FRAME_FLAT = 0x0002;
inline constexpr UINT BUTTON_FRAME_DOWN = 0x0004;
inline constexpr UINT BUTTON_FRAME_HOT = 0x0008;
inline constexpr UINT BUTTON_FRAME_HOT_FOCUS = 0x0200;

// Linear gradient, one 1-pixel line per column (direction 0) or row (direction 1); line i of n
// has start + (end - start) * i / n in each channel, truncated. Nothing when n < 1.
void GradientFill(CDC* dc, const RECT& rect, COLORREF start, COLORREF end, int direction);
// The rectangle less its bottom `split` pixels from colour 1 to 2, the bottom `split` pixels
// from colour 2 to 3.
void GradientFillEx(CDC* dc, const RECT& rect, COLORREF color1, COLORREF color2, COLORREF color3,
                    int split, int direction);
// Bilinear gradient pixel by pixel between the four corner colours, right and bottom edges
// included.
void GradientFillRect(CDC* dc, const RECT& rect, COLORREF topLeft, COLORREF bottomLeft,
                      COLORREF topRight, COLORREF bottomRight);

// The tab control's client rectangle less the band of its tabs. FALSE when it is not a window.
BOOL GetTabClientRect(HWND tab, RECT* rect);
BOOL GetTabClientRect(CWnd* tab, RECT* rect);

// A 1-pixel solid line from the first point up to (not including) the second; CLR_INVALID
// draws with the selected pen.
void DrawLine(CDC* dc, int fromX, int fromY, int toX, int toY, COLORREF color = CLR_INVALID);

// DrawTransparentBitmap stretched (mode 2) when `stretch`, else at the top-left (mode 0); greyed
// when not enabled.
void DrawBitmap(CDC* dc, const RECT& rect, CBitmap* bitmap, COLORREF transparent,
                BOOL enabled = TRUE, BOOL stretch = FALSE);
// Mode 0: at the bitmap's size at the rectangle's top-left; 1: centred; other: stretched to
// the rectangle. `color` FALSE greys the copy; otherwise a non-zero `lighten` lightens it.
void DrawTransparentBitmap(CDC* dc, const RECT& rect, CBitmap* bitmap, int mode, BOOL color,
                           COLORREF transparent, double lighten = 0.0);
// Copies the source area (a memory context) to the destination area, stretching when the
// sizes differ, leaving out every pixel of the transparent colour.
BOOL TransparentBlt2(CDC* dest, int x, int y, int width, int height, CDC* source, int srcX,
                     int srcY, int srcWidth, int srcHeight, COLORREF transparent);
// On a memory context: every pixel of the rectangle that is neither the transparent colour nor
// the colour of pixel (0, 0) becomes grey (0.299 R + 0.587 G + 0.114 B, truncated).
void SetDisabledBitmap(CDC* dc, const RECT& rect, COLORREF transparent);
// The same pixels: each channel c becomes 255 f + (1 - f) c, clamped to 0-255.
void SetLightenBitmap(CDC* dc, const RECT& rect, double factor, COLORREF transparent);

// Nine-part frame without its inside: corners copied, edges stretched. Destination border
// widths left, top, right, bottom, then the source's.
void StretchRectBlt(CDC* dc, const RECT& rect, CDC* source, int srcWidth, int srcHeight, int left,
                    int top, int right, int bottom, int srcLeft, int srcTop, int srcRight,
                    int srcBottom);
// The frame and the inside stretched from the source's inner part.
void StretchRectangleBlt(CDC* dc, const RECT& rect, CDC* source, int srcWidth, int srcHeight,
                         int left, int top, int right, int bottom, int srcLeft, int srcTop,
                         int srcRight, int srcBottom);
// StretchRectBlt from the bitmap with the same border widths for source and destination.
void FrameRectFromBitmap(CDC* dc, const RECT& rect, CBitmap* bitmap, int left, int top, int right,
                         int bottom);

// The gradient button face with its frames; `state` of BUTTON_FRAME_* bits.
void DrawButtonFrame(CDC* dc, const RECT& rect, UINT state);

// A bitmap made from a bitmap file image ("BM" header, info header, colour table, pixels);
// null when the image is not a bitmap file this reader knows or is cut short.
std::unique_ptr<CBitmap> CreateInterBitmap(const void* fileImage, size_t size);
// The palette of a packed DIB's colour table (biClrUsed entries, or 2^bits for 8 bits or
// fewer); null without a table or when the bytes are cut short.
std::unique_ptr<CPalette> CreatePaletteFromDIBitmap(const void* packedDib, size_t size);
// A bitmap made from a packed DIB (info header, colour table, pixels); the palette, when
// given, replaces the DIB's colour table. Null when the bytes are not a DIB or cut short.
std::unique_ptr<CBitmap> CreateDDBFromPackedDIBitmap(const void* packedDib, size_t size,
                                                     CPalette* palette = nullptr);
