// Pens, brushes, fonts and bitmaps, and the stock objects.
#include "platform/ui/GdiObjects.h"

#include <QFont>
#include <array>
#include <cstring>

#include "platform/ui/FontMapping.h"

namespace platform::ui {

QColor ToQColor(COLORREF color) {
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

COLORREF FromQColor(const QColor& color) {
    return RGB(static_cast<BYTE>(color.red()), static_cast<BYTE>(color.green()),
               static_cast<BYTE>(color.blue()));
}

}  // namespace platform::ui

// ---- CPen -------------------------------------------------------------------------------------

BOOL CPen::CreatePen(int style, int width, COLORREF color) {
    if (created_) return FALSE;
    style_ = style & PS_STYLE_MASK;
    if (style_ > PS_INSIDEFRAME) return FALSE;
    width_ = std::max(0, width);
    color_ = color & 0x00FFFFFF;
    created_ = true;
    return TRUE;
}

BOOL CPen::CreatePenIndirect(const LOGPEN* pen) {
    return pen ? CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor)
               : FALSE;
}

BOOL CPen::DeleteObject() {
    if (!created_) return FALSE;
    created_ = false;
    return TRUE;
}

int CPen::GetLogPen(LOGPEN* pen) const {
    if (!created_ || !pen) return 0;
    pen->lopnStyle = static_cast<UINT>(style_);
    pen->lopnWidth = POINT{width_, 0};
    pen->lopnColor = color_;
    return sizeof(LOGPEN);
}

// ---- CBrush -----------------------------------------------------------------------------------

BOOL CBrush::CreateSolidBrush(COLORREF color) {
    if (created_) return FALSE;
    style_ = BS_SOLID;
    color_ = color & 0x00FFFFFF;
    created_ = true;
    return TRUE;
}

BOOL CBrush::CreateHatchBrush(int hatch, COLORREF color) {
    if (created_ || hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) return FALSE;
    style_ = BS_HATCHED;
    hatch_ = hatch;
    color_ = color & 0x00FFFFFF;
    created_ = true;
    return TRUE;
}

BOOL CBrush::CreatePatternBrush(const CBitmap* bitmap) {
    if (created_ || !bitmap || !bitmap->IsCreated() || bitmap->Image().isNull()) return FALSE;
    style_ = BS_PATTERN;
    pattern_ = bitmap->Image().copy();
    monoPattern_ = bitmap->IsMonochrome();
    created_ = true;
    return TRUE;
}

BOOL CBrush::CreateBrushIndirect(const LOGBRUSH* brush) {
    if (!brush) return FALSE;
    switch (brush->lbStyle) {
        case BS_SOLID:
            return CreateSolidBrush(brush->lbColor);
        case BS_NULL:
            return CreateHollowBrush();
        case BS_HATCHED:
            return CreateHatchBrush(static_cast<int>(brush->lbHatch), brush->lbColor);
        default:
            return FALSE;
    }
}

BOOL CBrush::CreateHollowBrush() {
    if (created_) return FALSE;
    style_ = BS_NULL;
    created_ = true;
    return TRUE;
}

BOOL CBrush::DeleteObject() {
    if (!created_) return FALSE;
    created_ = false;
    pattern_ = QImage();
    return TRUE;
}

int CBrush::GetLogBrush(LOGBRUSH* brush) const {
    if (!created_ || !brush) return 0;
    brush->lbStyle = style_;
    brush->lbColor = color_;
    brush->lbHatch = static_cast<ULONG_PTR>(hatch_);
    return sizeof(LOGBRUSH);
}

CBrush* CBrush::GetHalftoneBrush() {
    static CBrush* brush = [] {
        static CBrush halftone;
        CBitmap checker;
        const WORD rows[8] = {0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA};
        checker.CreateBitmap(8, 8, 1, 1, rows);
        halftone.CreatePatternBrush(&checker);
        return &halftone;
    }();
    return brush;
}

// ---- CFont ------------------------------------------------------------------------------------

BOOL CFont::CreateFontIndirect(const LOGFONT* font) {
    if (created_ || !font) return FALSE;
    logFont_ = *font;
    logFont_.lfFaceName[LF_FACESIZE - 1] = '\0';
    font_.reset();
    created_ = true;
    return TRUE;
}

BOOL CFont::CreateFont(int height, int width, int escapement, int orientation, int weight,
                       BYTE italic, BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision,
                       BYTE clipPrecision, BYTE quality, BYTE pitchAndFamily,
                       const char* faceName) {
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = italic;
    lf.lfUnderline = underline;
    lf.lfStrikeOut = strikeOut;
    lf.lfCharSet = charSet;
    lf.lfOutPrecision = outPrecision;
    lf.lfClipPrecision = clipPrecision;
    lf.lfQuality = quality;
    lf.lfPitchAndFamily = pitchAndFamily;
    platform::ui::SetLogFontFace(&lf, faceName ? faceName : "");
    return CreateFontIndirect(&lf);
}

BOOL CFont::CreatePointFont(int pointSizeTenths, const char* faceName, CDC*) {
    LOGFONT lf;
    // Points to pixels at the fixed 96 dpi, rounded as MulDiv does.
    lf.lfHeight = -((pointSizeTenths * 96 + 360) / 720);
    lf.lfCharSet = DEFAULT_CHARSET;
    platform::ui::SetLogFontFace(&lf, faceName ? faceName : "");
    return CreateFontIndirect(&lf);
}

BOOL CFont::DeleteObject() {
    if (!created_) return FALSE;
    created_ = false;
    font_.reset();
    return TRUE;
}

int CFont::GetLogFont(LOGFONT* font) const {
    if (!created_ || !font) return 0;
    *font = logFont_;
    return sizeof(LOGFONT);
}

const QFont& CFont::Font() const {
    if (!font_) font_ = std::make_shared<QFont>(platform::ui::FontFromLogFont(logFont_));
    return *font_;
}

// ---- CBitmap ----------------------------------------------------------------------------------

BOOL CBitmap::CreateCompatibleBitmap(CDC*, int width, int height) {
    return CreateBitmap(width, height, 1, 32, nullptr);
}

BOOL CBitmap::CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel,
                           const void* bits) {
    if (created_ || width <= 0 || height <= 0 || width > 32767 || height > 32767) return FALSE;
    const bool mono = planes == 1 && bitsPerPixel == 1;
    if (!mono && bitsPerPixel != 32 && bits) return FALSE;  // only 1 and 32 bits are read
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return FALSE;
    image.fill(Qt::black);
    if (bits) {
        const auto* bytes = static_cast<const uint8_t*>(bits);
        if (mono) {
            const int stride = ((width + 15) / 16) * 2;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const bool set = bytes[y * stride + x / 8] & (0x80 >> (x % 8));
                    image.setPixel(x, y, set ? 0xFFFFFFFF : 0xFF000000);
                }
        } else {
            for (int y = 0; y < height; ++y) {
                const auto* row = bytes + static_cast<size_t>(y) * width * 4;
                auto* out = reinterpret_cast<uint32_t*>(image.scanLine(y));
                for (int x = 0; x < width; ++x) {
                    uint32_t v;
                    std::memcpy(&v, row + x * 4, 4);
                    out[x] = v | 0xFF000000;  // BGRA in memory is what Format_RGB32 holds
                }
            }
        }
    }
    image_ = std::move(image);
    mono_ = mono;
    created_ = true;
    return TRUE;
}

BOOL CBitmap::CreateFromImage(const QImage& image) {
    if (created_ || image.isNull()) return FALSE;
    image_ = image.convertToFormat(QImage::Format_RGB32);
    mono_ = false;
    created_ = true;
    return TRUE;
}

BOOL CBitmap::DeleteObject() {
    if (!created_) return FALSE;
    created_ = false;
    image_ = QImage();
    return TRUE;
}

int CBitmap::GetBitmap(BITMAP* info) const {
    if (!created_ || !info) return 0;
    info->bmType = 0;
    info->bmWidth = image_.width();
    info->bmHeight = image_.height();
    info->bmPlanes = 1;
    info->bmBitsPixel = mono_ ? 1 : 32;
    info->bmWidthBytes = mono_ ? ((image_.width() + 15) / 16) * 2 : image_.width() * 4;
    info->bmBits = nullptr;
    return sizeof(BITMAP);
}

SIZE CBitmap::GetBitmapDimension() const {
    return created_ ? SIZE{image_.width(), image_.height()} : SIZE{};
}

// ---- stock objects ------------------------------------------------------------------------------

namespace {

struct StockObjects {
    std::array<CBrush, 6> brushes;
    std::array<CPen, 3> pens;
    CFont ansiVar, system, gui;

    StockObjects() {
        brushes[WHITE_BRUSH].CreateSolidBrush(RGB(255, 255, 255));
        brushes[LTGRAY_BRUSH].CreateSolidBrush(RGB(192, 192, 192));
        brushes[GRAY_BRUSH].CreateSolidBrush(RGB(128, 128, 128));
        brushes[DKGRAY_BRUSH].CreateSolidBrush(RGB(64, 64, 64));
        brushes[BLACK_BRUSH].CreateSolidBrush(RGB(0, 0, 0));
        brushes[NULL_BRUSH].CreateHollowBrush();
        pens[0].CreatePen(PS_SOLID, 0, RGB(255, 255, 255));
        pens[1].CreatePen(PS_SOLID, 0, RGB(0, 0, 0));
        pens[2].CreatePen(PS_NULL, 0, 0);
        // The fonts of a Chinese system: 9-point 宋体 for dialogs and controls, a 16-pixel
        // cell for the system font.
        ansiVar.CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "宋体");
        system.CreateFont(16, 0, 0, 0, FW_BOLD, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "System");
        gui.CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "宋体");
    }
};

StockObjects& Stock() {
    static StockObjects stock;
    return stock;
}

}  // namespace

CBrush* GetStockBrush(int index) {
    return index >= WHITE_BRUSH && index <= NULL_BRUSH ? &Stock().brushes[index] : nullptr;
}

CPen* GetStockPen(int index) {
    return index >= WHITE_PEN && index <= NULL_PEN ? &Stock().pens[index - WHITE_PEN] : nullptr;
}

CFont* GetStockFont(int index) {
    switch (index) {
        case ANSI_VAR_FONT:
            return &Stock().ansiVar;
        case SYSTEM_FONT:
            return &Stock().system;
        case DEFAULT_GUI_FONT:
            return &Stock().gui;
        default:
            return nullptr;
    }
}

CGdiObject* GetStockObject(int index) {
    if (CBrush* brush = GetStockBrush(index)) return brush;
    if (CPen* pen = GetStockPen(index)) return pen;
    return GetStockFont(index);
}
