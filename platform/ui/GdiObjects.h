// Drawing objects in the GDI shape: pens, brushes, fonts and bitmaps, their handles, stock
// objects and style codes. A handle is the address of its object, which must outlive every
// device context it is selected into (as GDI requires of a selected object).
#pragma once

#include <QColor>
#include <QImage>
#include <memory>
#include <string>

#include "platform/ui/WinDefsDraw.h"

class CBrush;
class CBitmap;
class CFont;
class CPen;
class CRgn;
class CDC;
class QFont;

using HPEN = CPen*;
using HBRUSH = CBrush*;
using HFONT = CFont*;
using HBITMAP = CBitmap*;
using HRGN = CRgn*;
using HDC = CDC*;

inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// ---- pen styles -----------------------------------------------------------------------------
inline constexpr int PS_SOLID = 0;
inline constexpr int PS_DASH = 1;
inline constexpr int PS_DOT = 2;
inline constexpr int PS_DASHDOT = 3;
inline constexpr int PS_DASHDOTDOT = 4;
inline constexpr int PS_NULL = 5;
inline constexpr int PS_INSIDEFRAME = 6;
inline constexpr int PS_STYLE_MASK = 0xF;

// ---- brush styles and hatches ---------------------------------------------------------------
inline constexpr UINT BS_SOLID = 0;
inline constexpr UINT BS_NULL = 1;
inline constexpr UINT BS_HOLLOW = 1;
inline constexpr UINT BS_HATCHED = 2;
inline constexpr UINT BS_PATTERN = 3;
inline constexpr int HS_HORIZONTAL = 0;
inline constexpr int HS_VERTICAL = 1;
inline constexpr int HS_FDIAGONAL = 2;
inline constexpr int HS_BDIAGONAL = 3;
inline constexpr int HS_CROSS = 4;
inline constexpr int HS_DIAGCROSS = 5;

// ---- font codes -----------------------------------------------------------------------------
inline constexpr LONG FW_DONTCARE = 0;
inline constexpr LONG FW_THIN = 100;
inline constexpr LONG FW_LIGHT = 300;
inline constexpr LONG FW_NORMAL = 400;
inline constexpr LONG FW_MEDIUM = 500;
inline constexpr LONG FW_SEMIBOLD = 600;
inline constexpr LONG FW_BOLD = 700;
inline constexpr LONG FW_HEAVY = 900;
inline constexpr BYTE ANSI_CHARSET = 0;
inline constexpr BYTE DEFAULT_CHARSET = 1;
inline constexpr BYTE GB2312_CHARSET = 134;
inline constexpr BYTE DEFAULT_PITCH = 0;
inline constexpr BYTE FIXED_PITCH = 1;
inline constexpr BYTE VARIABLE_PITCH = 2;
inline constexpr BYTE FF_DONTCARE = 0x00;
inline constexpr BYTE FF_ROMAN = 0x10;
inline constexpr BYTE FF_SWISS = 0x20;
inline constexpr BYTE FF_MODERN = 0x30;

// ---- stock objects ----------------------------------------------------------------------------
inline constexpr int WHITE_BRUSH = 0;
inline constexpr int LTGRAY_BRUSH = 1;
inline constexpr int GRAY_BRUSH = 2;
inline constexpr int DKGRAY_BRUSH = 3;
inline constexpr int BLACK_BRUSH = 4;
inline constexpr int NULL_BRUSH = 5;
inline constexpr int HOLLOW_BRUSH = 5;
inline constexpr int WHITE_PEN = 6;
inline constexpr int BLACK_PEN = 7;
inline constexpr int NULL_PEN = 8;
inline constexpr int ANSI_VAR_FONT = 12;
inline constexpr int SYSTEM_FONT = 13;
inline constexpr int DEFAULT_GUI_FONT = 17;

struct BITMAP {
    LONG bmType = 0;
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    LONG bmWidthBytes = 0;
    WORD bmPlanes = 1;
    WORD bmBitsPixel = 0;
    void* bmBits = nullptr;
};

struct LOGPEN {
    UINT lopnStyle = PS_SOLID;
    POINT lopnWidth;
    COLORREF lopnColor = 0;
};

struct LOGBRUSH {
    UINT lbStyle = BS_SOLID;
    COLORREF lbColor = 0;
    ULONG_PTR lbHatch = 0;
};

class CGdiObject {
public:
    virtual ~CGdiObject() = default;
    // Whether the object holds a drawing object (GDI's non-null handle).
    virtual bool IsCreated() const = 0;
    virtual BOOL DeleteObject() = 0;
};

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
    BOOL CreatePen(int style, int width, COLORREF color);
    BOOL CreatePenIndirect(const LOGPEN* pen);
    BOOL DeleteObject() override;
    bool IsCreated() const override { return created_; }
    int GetLogPen(LOGPEN* pen) const;
    operator HPEN() { return created_ ? this : nullptr; }

    int Style() const { return style_; }
    int Width() const { return width_; }
    COLORREF Color() const { return color_; }

private:
    bool created_ = false;
    int style_ = PS_SOLID;
    int width_ = 0;
    COLORREF color_ = 0;
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    BOOL CreateSolidBrush(COLORREF color);
    BOOL CreateHatchBrush(int hatch, COLORREF color);
    // The bitmap's pixels tile the area; a monochrome bitmap takes the text colour for its
    // black pixels and the background colour for its white ones, as GDI does.
    BOOL CreatePatternBrush(const CBitmap* bitmap);
    BOOL CreateBrushIndirect(const LOGBRUSH* brush);
    // A hollow brush (what NULL_BRUSH is).
    BOOL CreateHollowBrush();
    BOOL DeleteObject() override;
    bool IsCreated() const override { return created_; }
    int GetLogBrush(LOGBRUSH* brush) const;
    operator HBRUSH() { return created_ ? this : nullptr; }

    UINT Style() const { return style_; }
    COLORREF Color() const { return color_; }
    int Hatch() const { return hatch_; }
    const QImage& Pattern() const { return pattern_; }
    bool MonochromePattern() const { return monoPattern_; }

    // The 50 % checker brush (monochrome pattern) used for shaded drag feedback.
    static CBrush* GetHalftoneBrush();

private:
    bool created_ = false;
    UINT style_ = BS_SOLID;
    COLORREF color_ = 0;
    int hatch_ = 0;
    QImage pattern_;
    bool monoPattern_ = false;
};

class CFont : public CGdiObject {
public:
    CFont() = default;
    BOOL CreateFontIndirect(const LOGFONT* font);
    BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                    BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision,
                    BYTE clipPrecision, BYTE quality, BYTE pitchAndFamily, const char* faceName);
    // Size in tenths of a point at 96 dpi, as CreatePointFont.
    BOOL CreatePointFont(int pointSizeTenths, const char* faceName, CDC* dc = nullptr);
    BOOL DeleteObject() override;
    bool IsCreated() const override { return created_; }
    int GetLogFont(LOGFONT* font) const;
    operator HFONT() { return created_ ? this : nullptr; }

    const LOGFONT& LogFont() const { return logFont_; }
    // The Qt font this description maps to (made on first use).
    const QFont& Font() const;

private:
    bool created_ = false;
    LOGFONT logFont_{};
    mutable std::shared_ptr<QFont> font_;
};

class CBitmap : public CGdiObject {
public:
    CBitmap() = default;
    // A colour bitmap, black at first, of the given size (compatible with every colour DC).
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
    // planes and bits: 1 and 1 make a monochrome bitmap (white = 1, black = 0); anything else a
    // colour one. bits (may be null): rows of the given depth (1 or 32 bits per pixel),
    // each padded to 16 bits for monochrome rows, as GDI stores them.
    BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
    // Takes a copy of an image (for bitmaps read from files and resources).
    BOOL CreateFromImage(const QImage& image);
    BOOL DeleteObject() override;
    bool IsCreated() const override { return created_; }
    int GetBitmap(BITMAP* info) const;
    SIZE GetBitmapDimension() const;
    operator HBITMAP() { return created_ ? this : nullptr; }

    bool IsMonochrome() const { return mono_; }
    // The pixels (Format_RGB32). Drawing through a device context changes them in place.
    QImage& Image() { return image_; }
    const QImage& Image() const { return image_; }

private:
    bool created_ = false;
    bool mono_ = false;
    QImage image_;
};

// Stock objects (never deleted): pens, brushes and fonts by the *_PEN, *_BRUSH, *_FONT codes;
// null for other codes.
CGdiObject* GetStockObject(int index);
CPen* GetStockPen(int index);
CBrush* GetStockBrush(int index);
CFont* GetStockFont(int index);

namespace platform::ui {

// A COLORREF as an opaque Qt colour.
QColor ToQColor(COLORREF color);
COLORREF FromQColor(const QColor& color);

}  // namespace platform::ui
