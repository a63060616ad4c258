// CDC: a device context over QPainter, drawing on a window inside its paint event (CPaintDC,
// BeginPaint) or on a bitmap (memory DC); GDI's drawing, text, blit and clipping operations.
#pragma once

#include <QRegion>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/GdiObjects.h"
#include "platform/ui/Region.h"

class CWnd;
class QPainter;
class QWidget;

// ---- raster operations (BitBlt, PatBlt) -------------------------------------------------------
inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr DWORD SRCPAINT = 0x00EE0086;
inline constexpr DWORD SRCAND = 0x008800C6;
inline constexpr DWORD SRCINVERT = 0x00660046;
inline constexpr DWORD SRCERASE = 0x00440328;
inline constexpr DWORD NOTSRCCOPY = 0x00330008;
inline constexpr DWORD NOTSRCERASE = 0x001100A6;
inline constexpr DWORD MERGEPAINT = 0x00BB0226;
inline constexpr DWORD PATCOPY = 0x00F00021;
inline constexpr DWORD PATINVERT = 0x005A0049;
inline constexpr DWORD DSTINVERT = 0x00550009;
inline constexpr DWORD BLACKNESS = 0x00000042;
inline constexpr DWORD WHITENESS = 0x00FF0062;

// ---- background modes, text alignment, stretch modes ----------------------------------------
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;
inline constexpr UINT TA_LEFT = 0;
inline constexpr UINT TA_RIGHT = 2;
inline constexpr UINT TA_CENTER = 6;
inline constexpr UINT TA_TOP = 0;
inline constexpr UINT TA_BOTTOM = 8;
inline constexpr UINT TA_BASELINE = 24;
inline constexpr int BLACKONWHITE = 1;
inline constexpr int WHITEONBLACK = 2;
inline constexpr int COLORONCOLOR = 3;
inline constexpr int HALFTONE = 4;

// ---- DrawText formats ---------------------------------------------------------------------------
inline constexpr UINT DT_TOP = 0x00000000;
inline constexpr UINT DT_LEFT = 0x00000000;
inline constexpr UINT DT_CENTER = 0x00000001;
inline constexpr UINT DT_RIGHT = 0x00000002;
inline constexpr UINT DT_VCENTER = 0x00000004;
inline constexpr UINT DT_BOTTOM = 0x00000008;
inline constexpr UINT DT_WORDBREAK = 0x00000010;
inline constexpr UINT DT_SINGLELINE = 0x00000020;
inline constexpr UINT DT_EXPANDTABS = 0x00000040;
inline constexpr UINT DT_TABSTOP = 0x00000080;
inline constexpr UINT DT_NOCLIP = 0x00000100;
inline constexpr UINT DT_EXTERNALLEADING = 0x00000200;
inline constexpr UINT DT_CALCRECT = 0x00000400;
inline constexpr UINT DT_NOPREFIX = 0x00000800;
inline constexpr UINT DT_INTERNAL = 0x00001000;
inline constexpr UINT DT_EDITCONTROL = 0x00002000;
inline constexpr UINT DT_PATH_ELLIPSIS = 0x00004000;
inline constexpr UINT DT_END_ELLIPSIS = 0x00008000;
inline constexpr UINT DT_MODIFYSTRING = 0x00010000;
inline constexpr UINT DT_WORD_ELLIPSIS = 0x00040000;
inline constexpr UINT DT_HIDEPREFIX = 0x00100000;

// ---- DrawEdge ---------------------------------------------------------------------------------
inline constexpr UINT BDR_RAISEDOUTER = 0x0001;
inline constexpr UINT BDR_SUNKENOUTER = 0x0002;
inline constexpr UINT BDR_RAISEDINNER = 0x0004;
inline constexpr UINT BDR_SUNKENINNER = 0x0008;
inline constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
inline constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
inline constexpr UINT EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
inline constexpr UINT EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
inline constexpr UINT BF_LEFT = 0x0001;
inline constexpr UINT BF_TOP = 0x0002;
inline constexpr UINT BF_RIGHT = 0x0004;
inline constexpr UINT BF_BOTTOM = 0x0008;
inline constexpr UINT BF_RECT = 0x000F;
inline constexpr UINT BF_ADJUST = 0x2000;

struct TEXTMETRIC {
    LONG tmHeight = 0;
    LONG tmAscent = 0;
    LONG tmDescent = 0;
    LONG tmInternalLeading = 0;
    LONG tmExternalLeading = 0;
    LONG tmAveCharWidth = 0;
    LONG tmMaxCharWidth = 0;
    LONG tmWeight = 0;
    LONG tmOverhang = 0;
    LONG tmDigitizedAspectX = 96;
    LONG tmDigitizedAspectY = 96;
    BYTE tmItalic = 0;
    BYTE tmUnderlined = 0;
    BYTE tmStruckOut = 0;
    BYTE tmPitchAndFamily = 0;
    BYTE tmCharSet = 0;
};

struct PAINTSTRUCT {
    HDC hdc = nullptr;
    BOOL fErase = FALSE;
    RECT rcPaint;
};

// WM_DRAWITEM: an owner-drawn control asks its parent to draw it (the parent's window reflects
// it to the control's own object through OnChildNotify).
inline constexpr UINT ODT_MENU = 1;
inline constexpr UINT ODT_LISTBOX = 2;
inline constexpr UINT ODT_COMBOBOX = 3;
inline constexpr UINT ODT_BUTTON = 4;
inline constexpr UINT ODT_STATIC = 5;
inline constexpr UINT ODA_DRAWENTIRE = 0x0001;
inline constexpr UINT ODA_SELECT = 0x0002;
inline constexpr UINT ODA_FOCUS = 0x0004;
inline constexpr UINT ODS_SELECTED = 0x0001;
inline constexpr UINT ODS_GRAYED = 0x0002;
inline constexpr UINT ODS_DISABLED = 0x0004;
inline constexpr UINT ODS_CHECKED = 0x0008;
inline constexpr UINT ODS_FOCUS = 0x0010;
inline constexpr UINT ODS_DEFAULT = 0x0020;
inline constexpr UINT ODS_HOTLIGHT = 0x0040;
inline constexpr UINT ODS_NOACCEL = 0x0100;
inline constexpr UINT ODS_NOFOCUSRECT = 0x0200;

struct DRAWITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemAction = 0;
    UINT itemState = 0;
    HWND hwndItem = 0;
    HDC hDC = nullptr;
    RECT rcItem;
    ULONG_PTR itemData = 0;
};

class CDC {
public:
    CDC();
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // A memory context (the reference context is not needed: every bitmap is compatible).
    // It starts with a 1 x 1 monochrome bitmap, like GDI's, until a bitmap is selected.
    BOOL CreateCompatibleDC(CDC* reference);
    BOOL DeleteDC();
    HDC GetSafeHdc() { return IsValid() ? this : nullptr; }
    operator HDC() { return GetSafeHdc(); }
    bool IsValid() const;
    bool IsMemoryDC() const { return kind_ == Kind::kMemory; }
    // The window a paint context draws on (null for memory contexts).
    CWnd* GetWindow() const;

    // ---- objects and state ----
    CPen* SelectObject(CPen* pen);
    CBrush* SelectObject(CBrush* brush);
    CFont* SelectObject(CFont* font);
    // Only on memory contexts; the previous bitmap (null when the selection failed).
    CBitmap* SelectObject(CBitmap* bitmap);
    // The clipping region becomes a copy of the region (SelectClipRgn).
    int SelectObject(CRgn* region);
    CGdiObject* SelectStockObject(int index);
    CPen* GetCurrentPen() const { return pen_; }
    CBrush* GetCurrentBrush() const { return brush_; }
    CFont* GetCurrentFont() const { return font_; }
    CBitmap* GetCurrentBitmap() const { return bitmap_; }

    COLORREF SetTextColor(COLORREF color);
    COLORREF GetTextColor() const { return state_.textColor; }
    COLORREF SetBkColor(COLORREF color);
    COLORREF GetBkColor() const { return state_.bkColor; }
    int SetBkMode(int mode);
    int GetBkMode() const { return state_.bkMode; }
    UINT SetTextAlign(UINT flags);
    UINT GetTextAlign() const { return state_.textAlign; }
    int SetStretchBltMode(int mode);
    int SetPolyFillMode(int mode);

    POINT SetViewportOrg(int x, int y);
    POINT OffsetViewportOrg(int dx, int dy);
    POINT GetViewportOrg() const { return state_.viewportOrg; }
    POINT SetWindowOrg(int x, int y);
    POINT GetWindowOrg() const { return state_.windowOrg; }
    void LPtoDP(POINT* points, int count = 1) const;
    void LPtoDP(RECT* rect) const;
    void DPtoLP(POINT* points, int count = 1) const;
    void DPtoLP(RECT* rect) const;

    // Returns a positive level; RestoreDC(-1) restores the last one saved.
    int SaveDC();
    BOOL RestoreDC(int savedLevel);

    // ---- clipping (regions in device coordinates, rectangles in logical ones) ----
    int SelectClipRgn(CRgn* region, int mode = RGN_COPY);
    int IntersectClipRect(int left, int top, int right, int bottom);
    int IntersectClipRect(const RECT* rect);
    int ExcludeClipRect(int left, int top, int right, int bottom);
    int ExcludeClipRect(const RECT* rect);
    int GetClipBox(RECT* rect) const;
    BOOL PtVisible(int x, int y) const;
    BOOL RectVisible(const RECT* rect) const;

    // ---- filling and shapes (right and bottom edges excluded, as GDI) ----
    void FillRect(const RECT* rect, CBrush* brush);
    // Sets the background colour to the colour, as the class library's form does.
    void FillSolidRect(const RECT* rect, COLORREF color);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF color);
    void FrameRect(const RECT* rect, CBrush* brush);
    void InvertRect(const RECT* rect);
    void Draw3dRect(const RECT* rect, COLORREF topLeft, COLORREF bottomRight);
    void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);
    BOOL DrawEdge(RECT* rect, UINT edge, UINT flags);
    // Dotted rectangle drawn by inverting, so that a second call removes it.
    void DrawFocusRect(const RECT* rect);
    BOOL Rectangle(int left, int top, int right, int bottom);
    BOOL Rectangle(const RECT* rect);
    BOOL RoundRect(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
    BOOL RoundRect(const RECT* rect, POINT ellipse);
    BOOL Ellipse(int left, int top, int right, int bottom);
    BOOL Ellipse(const RECT* rect);
    BOOL Polygon(const POINT* points, int count);
    BOOL Polyline(const POINT* points, int count);
    // 3n + 1 points: a start point, then two control points and an end point per curve.
    BOOL PolyBezier(const POINT* points, int count);
    POINT MoveTo(int x, int y);
    POINT MoveTo(POINT point) { return MoveTo(point.x, point.y); }
    POINT GetCurrentPosition() const { return state_.position; }
    // A line to the point, the point itself left out; the point becomes current.
    BOOL LineTo(int x, int y);
    BOOL LineTo(POINT point) { return LineTo(point.x, point.y); }
    COLORREF SetPixel(int x, int y, COLORREF color);
    BOOL SetPixelV(int x, int y, COLORREF color);
    // CLR_INVALID outside the bitmap and on window contexts (their pixels are not readable).
    COLORREF GetPixel(int x, int y) const;
    BOOL FillRgn(CRgn* region, CBrush* brush);
    BOOL PaintRgn(CRgn* region);

    // ---- blits ----
    // The source must be a memory context (window pixels are not readable). A monochrome
    // source takes the text colour for black and the background colour for white; a colour
    // source copied into a monochrome bitmap gives white where it has the source context's
    // background colour and black elsewhere.
    BOOL BitBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc, DWORD rop);
    BOOL StretchBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc,
                    int srcWidth, int srcHeight, DWORD rop);
    // PATCOPY, PATINVERT, DSTINVERT, BLACKNESS, WHITENESS with the selected brush.
    BOOL PatBlt(int x, int y, int width, int height, DWORD rop);
    // Draws an image (at its own size) at the point; for helpers that hold QImages.
    void DrawImage(int x, int y, const QImage& image);

    // ---- text (UTF-8) ----
    BOOL TextOut(int x, int y, std::string_view text);
    // The height of the text; with DT_VCENTER or DT_BOTTOM the offset from rect->top to the
    // bottom of the drawn text. DT_CALCRECT measures only: it sets rect's right and bottom.
    int DrawText(std::string_view text, RECT* rect, UINT format);
    // The buffer form: count bytes of text, or up to its NUL when count is -1.
    int DrawText(const char* text, int count, RECT* rect, UINT format);
    SIZE GetTextExtent(std::string_view text) const;
    SIZE GetOutputTextExtent(std::string_view text) const { return GetTextExtent(text); }
    BOOL GetTextMetrics(TEXTMETRIC* metrics) const;
    // The text as DrawText with DT_END_ELLIPSIS shows it in the width.
    std::string EllipsizeText(std::string_view text, int width) const;

    // Ends a painter; on a monochrome bitmap it then brings every pixel back to black or
    // white (smoothed text and images would leave greys).
    struct PainterDone {
        QImage* monochrome = nullptr;
        void operator()(QPainter* painter) const;
    };
    using PainterPtr = std::unique_ptr<QPainter, PainterDone>;
    // The painter of the current target, set up with the current state (for the drawing
    // helpers built on this class). Null when the context is not valid.
    PainterPtr BeginPainter(bool usePen, bool useBrush) const;

    // Window layer only: makes this a context on a window inside its paint event
    // (`updateRect` in client coordinates), and ends that.
    void AttachWindow(HWND hwnd, QWidget* widget, const RECT& updateRect);
    // The same on a part of the widget: `area` (widget coordinates) becomes the context's
    // whole surface, its top-left corner the context's origin (a client area inside a frame).
    void AttachWindowArea(HWND hwnd, QWidget* widget, const QRect& area, const RECT& updateRect);
    void DetachWindow();

private:
    enum class Kind { kNone, kMemory, kWindow };
    struct State {
        COLORREF textColor = 0;
        COLORREF bkColor = RGB(255, 255, 255);
        int bkMode = OPAQUE;
        UINT textAlign = TA_LEFT | TA_TOP;
        int stretchMode = BLACKONWHITE;
        int polyFillMode = ALTERNATE;
        POINT viewportOrg;
        POINT windowOrg;
        POINT position;
        bool clipped = false;
        QRegion clip;  // device coordinates, when clipped
    };
    struct Saved {
        State state;
        CPen* pen;
        CBrush* brush;
        CFont* font;
        CBitmap* bitmap;
    };

    QPaintDevice* Device() const;
    QRect DeviceRect(const RECT& logical) const;
    QPoint DevicePoint(int x, int y) const;
    COLORREF MapColor(COLORREF color) const;
    // Clips to the current clip region and the surface, and moves to the window area.
    void ApplyClip(QPainter& painter) const;
    // Drawing in device coordinates: no logical mapping, only the window area's offset.
    void UseDeviceCoordinates(QPainter& painter) const;
    // The surface in device coordinates.
    QRect Bounds() const;
    void FillDeviceRect(const QRect& rect, CBrush* brush);
    // The source's pixels as this context's raster operation expects them.
    QImage SourcePixels(CDC* source, const QRect& srcRect) const;
    BOOL Blit(const QRect& target, CDC* source, const QRect& srcRect, DWORD rop);
    std::vector<std::string> LayoutLines(std::string_view text, UINT format, int width) const;

    Kind kind_ = Kind::kNone;
    HWND hwnd_ = 0;
    QWidget* widget_ = nullptr;
    QPoint areaOrigin_;  // where device (0, 0) lies on the widget
    QSize areaSize_;
    RECT updateRect_;
    CBitmap defaultBitmap_;
    CPen* pen_ = nullptr;
    CBrush* brush_ = nullptr;
    CFont* font_ = nullptr;
    CBitmap* bitmap_ = nullptr;
    State state_;
    std::vector<Saved> saved_;
};

// The context of a window's paint event, made by BeginPaint (or CPaintDC) while the window
// handles WM_PAINT; WM_ERASEBKGND is sent from BeginPaint when the update asks for erasing.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps;

private:
    HWND hwnd_;
};

// The context of the whole window, frame included (window coordinates), for painting the frame
// in WM_NCPAINT (or drawing over the window while it handles WM_PAINT). Outside the window's
// paint event the context is not valid and draws nothing.
class CWindowDC : public CDC {
public:
    explicit CWindowDC(CWnd* wnd);
    ~CWindowDC() override;
};
// The same by handle; null outside the window's paint event. ReleaseDC ends it.
HDC GetWindowDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);

// Outside a WM_PAINT of the window, BeginPaint returns null (drawing happens in paint events
// only); the context lives until EndPaint.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint);

// Request a repaint (WM_PAINT comes later from the event loop); erase asks BeginPaint to send
// WM_ERASEBKGND. A null rectangle means the whole client area.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase = TRUE);
BOOL InvalidateRgn(HWND hwnd, CRgn* region, BOOL erase = TRUE);
// Paints the pending update of the window now (WM_PAINT before returning).
BOOL UpdateWindow(HWND hwnd);
BOOL RedrawWindow(HWND hwnd, const RECT* rect, CRgn* region, UINT flags);
inline constexpr UINT RDW_INVALIDATE = 0x0001;
inline constexpr UINT RDW_ERASE = 0x0004;
inline constexpr UINT RDW_UPDATENOW = 0x0100;
inline constexpr UINT RDW_ERASENOW = 0x0200;
inline constexpr UINT RDW_FRAME = 0x0400;
inline constexpr UINT RDW_ALLCHILDREN = 0x0080;

// Rectangle helpers in the GDI shape.
BOOL SetRect(RECT* rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* rect);
BOOL IsRectEmpty(const RECT* rect);
BOOL InflateRect(RECT* rect, int dx, int dy);
BOOL OffsetRect(RECT* rect, int dx, int dy);
BOOL PtInRect(const RECT* rect, POINT point);
BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b);
BOOL UnionRect(RECT* out, const RECT* a, const RECT* b);
