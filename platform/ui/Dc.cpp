// CDC over QPainter: state, objects, clipping, shapes, blits and text.
#include "platform/ui/Dc.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "platform/ui/SysColors.h"
#include "platform/ui/Wnd.h"

using platform::ui::ToQColor;

namespace {

QRect RectOf(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

QPainter::CompositionMode CompositionOf(DWORD rop, bool* known) {
    *known = true;
    switch (rop) {
        case SRCCOPY:
            return QPainter::CompositionMode_Source;
        case SRCPAINT:
            return QPainter::RasterOp_SourceOrDestination;
        case SRCAND:
            return QPainter::RasterOp_SourceAndDestination;
        case SRCINVERT:
            return QPainter::RasterOp_SourceXorDestination;
        case SRCERASE:
            return QPainter::RasterOp_SourceAndNotDestination;
        case NOTSRCCOPY:
            return QPainter::RasterOp_NotSource;
        case NOTSRCERASE:
            return QPainter::RasterOp_NotSourceAndNotDestination;
        case MERGEPAINT:
            return QPainter::RasterOp_NotSourceOrDestination;
        default:
            *known = false;
            return QPainter::CompositionMode_Source;
    }
}

// The dash lengths GDI uses for thin styled pens.
QList<qreal> DashesOf(int style) {
    switch (style) {
        case PS_DASH:
            return {18, 6};
        case PS_DOT:
            return {3, 3};
        case PS_DASHDOT:
            return {9, 6, 3, 6};
        case PS_DASHDOTDOT:
            return {9, 3, 3, 3, 3, 3};
        default:
            return {};
    }
}

// Where a GDI line stops: one pixel step before its end point along the major axis.
QPoint LineStop(QPoint from, QPoint to) {
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    if (std::abs(dx) >= std::abs(dy)) {
        const int sx = dx > 0 ? 1 : -1;
        const int x = to.x() - sx;
        const int y =
            from.y() + static_cast<int>(std::lround(static_cast<double>(x - from.x()) * dy / dx));
        return QPoint(x, y);
    }
    const int sy = dy > 0 ? 1 : -1;
    const int y = to.y() - sy;
    const int x =
        from.x() + static_cast<int>(std::lround(static_cast<double>(y - from.y()) * dx / dy));
    return QPoint(x, y);
}

bool IsCjk(char32_t c) { return c >= 0x2E80; }

}  // namespace

// ---- life and state -------------------------------------------------------------------------

CDC::CDC() {
    pen_ = GetStockPen(BLACK_PEN);
    brush_ = GetStockBrush(WHITE_BRUSH);
    font_ = GetStockFont(SYSTEM_FONT);
}

CDC::~CDC() = default;

BOOL CDC::CreateCompatibleDC(CDC*) {
    if (kind_ != Kind::kNone) return FALSE;
    if (!defaultBitmap_.IsCreated()) defaultBitmap_.CreateBitmap(1, 1, 1, 1, nullptr);
    kind_ = Kind::kMemory;
    bitmap_ = &defaultBitmap_;
    return TRUE;
}

BOOL CDC::DeleteDC() {
    if (kind_ != Kind::kMemory) return FALSE;
    kind_ = Kind::kNone;
    bitmap_ = nullptr;
    saved_.clear();
    state_ = State{};
    return TRUE;
}

bool CDC::IsValid() const {
    switch (kind_) {
        case Kind::kMemory:
            return bitmap_ && bitmap_->IsCreated();
        case Kind::kWindow:
            return widget_ != nullptr;
        default:
            return false;
    }
}

CWnd* CDC::GetWindow() const { return hwnd_ ? CWnd::FromHandle(hwnd_) : nullptr; }

void CDC::AttachWindow(HWND hwnd, QWidget* widget, const RECT& updateRect) {
    AttachWindowArea(hwnd, widget, widget ? widget->rect() : QRect(), updateRect);
}

void CDC::AttachWindowArea(HWND hwnd, QWidget* widget, const QRect& area, const RECT& updateRect) {
    kind_ = Kind::kWindow;
    hwnd_ = hwnd;
    widget_ = widget;
    areaOrigin_ = area.topLeft();
    areaSize_ = area.size();
    updateRect_ = updateRect;
}

void CDC::DetachWindow() {
    if (kind_ != Kind::kWindow) return;
    kind_ = Kind::kNone;
    hwnd_ = 0;
    widget_ = nullptr;
}

CPen* CDC::SelectObject(CPen* pen) {
    if (!pen || !pen->IsCreated()) return nullptr;
    return std::exchange(pen_, pen);
}

CBrush* CDC::SelectObject(CBrush* brush) {
    if (!brush || !brush->IsCreated()) return nullptr;
    return std::exchange(brush_, brush);
}

CFont* CDC::SelectObject(CFont* font) {
    if (!font || !font->IsCreated()) return nullptr;
    return std::exchange(font_, font);
}

CBitmap* CDC::SelectObject(CBitmap* bitmap) {
    if (kind_ != Kind::kMemory || !bitmap || !bitmap->IsCreated()) return nullptr;
    return std::exchange(bitmap_, bitmap);
}

int CDC::SelectObject(CRgn* region) { return SelectClipRgn(region); }

CGdiObject* CDC::SelectStockObject(int index) {
    if (CPen* pen = GetStockPen(index)) return SelectObject(pen);
    if (CBrush* brush = GetStockBrush(index)) return SelectObject(brush);
    if (CFont* font = GetStockFont(index)) return SelectObject(font);
    return nullptr;
}

COLORREF CDC::SetTextColor(COLORREF color) {
    return std::exchange(state_.textColor, color & 0x00FFFFFF);
}
COLORREF CDC::SetBkColor(COLORREF color) {
    return std::exchange(state_.bkColor, color & 0x00FFFFFF);
}
int CDC::SetBkMode(int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    return std::exchange(state_.bkMode, mode);
}
UINT CDC::SetTextAlign(UINT flags) { return std::exchange(state_.textAlign, flags); }
int CDC::SetStretchBltMode(int mode) { return std::exchange(state_.stretchMode, mode); }
int CDC::SetPolyFillMode(int mode) {
    if (mode != ALTERNATE && mode != WINDING) return 0;
    return std::exchange(state_.polyFillMode, mode);
}

POINT CDC::SetViewportOrg(int x, int y) { return std::exchange(state_.viewportOrg, POINT{x, y}); }
POINT CDC::OffsetViewportOrg(int dx, int dy) {
    POINT old = state_.viewportOrg;
    state_.viewportOrg = POINT{old.x + dx, old.y + dy};
    return old;
}
POINT CDC::SetWindowOrg(int x, int y) { return std::exchange(state_.windowOrg, POINT{x, y}); }

void CDC::LPtoDP(POINT* points, int count) const {
    for (int i = 0; points && i < count; ++i) {
        points[i].x += state_.viewportOrg.x - state_.windowOrg.x;
        points[i].y += state_.viewportOrg.y - state_.windowOrg.y;
    }
}
void CDC::DPtoLP(POINT* points, int count) const {
    for (int i = 0; points && i < count; ++i) {
        points[i].x -= state_.viewportOrg.x - state_.windowOrg.x;
        points[i].y -= state_.viewportOrg.y - state_.windowOrg.y;
    }
}
void CDC::LPtoDP(RECT* rect) const { LPtoDP(reinterpret_cast<POINT*>(rect), 2); }
void CDC::DPtoLP(RECT* rect) const { DPtoLP(reinterpret_cast<POINT*>(rect), 2); }

int CDC::SaveDC() {
    if (!IsValid()) return 0;
    saved_.push_back(Saved{state_, pen_, brush_, font_, bitmap_});
    return static_cast<int>(saved_.size());
}

BOOL CDC::RestoreDC(int savedLevel) {
    const int count = static_cast<int>(saved_.size());
    const int level = savedLevel < 0 ? count + savedLevel + 1 : savedLevel;
    if (level < 1 || level > count) return FALSE;
    const Saved& saved = saved_[static_cast<size_t>(level - 1)];
    state_ = saved.state;
    pen_ = saved.pen;
    brush_ = saved.brush;
    font_ = saved.font;
    if (kind_ == Kind::kMemory && saved.bitmap) bitmap_ = saved.bitmap;
    saved_.resize(static_cast<size_t>(level - 1));
    return TRUE;
}

// ---- painter set-up ---------------------------------------------------------------------------

QPaintDevice* CDC::Device() const {
    if (!IsValid()) return nullptr;
    if (kind_ == Kind::kMemory) return &bitmap_->Image();
    return widget_;
}

QPoint CDC::DevicePoint(int x, int y) const {
    return QPoint(x + state_.viewportOrg.x - state_.windowOrg.x,
                  y + state_.viewportOrg.y - state_.windowOrg.y);
}

QRect CDC::DeviceRect(const RECT& logical) const {
    QPoint a = DevicePoint(logical.left, logical.top);
    QPoint b = DevicePoint(logical.right, logical.bottom);
    return QRect(a, QSize(b.x() - a.x(), b.y() - a.y()));
}

COLORREF CDC::MapColor(COLORREF color) const {
    if (kind_ != Kind::kMemory || !bitmap_ || !bitmap_->IsMonochrome()) return color;
    // A monochrome bitmap holds the nearer of black and white.
    const int sum = GetRValue(color) + GetGValue(color) + GetBValue(color);
    return sum >= 3 * 128 ? RGB(255, 255, 255) : RGB(0, 0, 0);
}

QRect CDC::Bounds() const {
    if (kind_ == Kind::kMemory) return bitmap_->Image().rect();
    return QRect(QPoint(0, 0), areaSize_);
}

void CDC::ApplyClip(QPainter& painter) const {
    if (kind_ != Kind::kWindow) {
        if (state_.clipped) painter.setClipRegion(state_.clip);
        return;
    }
    // A window context never draws outside its area (a client area leaves the frame alone).
    const QRegion visible = state_.clipped ? state_.clip.intersected(Bounds()) : QRegion(Bounds());
    painter.setClipRegion(visible.translated(areaOrigin_));
    painter.translate(areaOrigin_);
}

void CDC::UseDeviceCoordinates(QPainter& painter) const {
    painter.setTransform(QTransform::fromTranslate(kind_ == Kind::kWindow ? areaOrigin_.x() : 0,
                                                   kind_ == Kind::kWindow ? areaOrigin_.y() : 0));
}

void CDC::PainterDone::operator()(QPainter* painter) const {
    painter->end();
    delete painter;
    if (!monochrome) return;
    for (int y = 0; y < monochrome->height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(monochrome->scanLine(y));
        for (int x = 0; x < monochrome->width(); ++x)
            line[x] = qRed(line[x]) + qGreen(line[x]) + qBlue(line[x]) >= 3 * 128 ? 0xFFFFFFFF
                                                                                  : 0xFF000000;
    }
}

CDC::PainterPtr CDC::BeginPainter(bool usePen, bool useBrush) const {
    QPaintDevice* device = Device();
    if (!device) return nullptr;
    const bool mono = kind_ == Kind::kMemory && bitmap_->IsMonochrome();
    auto raw = std::make_unique<QPainter>();
    if (!raw->begin(device)) return nullptr;
    PainterPtr painter(raw.release(), PainterDone{mono ? &bitmap_->Image() : nullptr});
    ApplyClip(*painter);
    painter->translate(state_.viewportOrg.x - state_.windowOrg.x,
                       state_.viewportOrg.y - state_.windowOrg.y);
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setRenderHint(QPainter::TextAntialiasing, true);
    painter->setPen(Qt::NoPen);
    painter->setBrush(Qt::NoBrush);
    if (usePen && pen_ && pen_->IsCreated() && pen_->Style() != PS_NULL) {
        const bool thin = pen_->Width() <= 1;
        QPen pen(ToQColor(MapColor(pen_->Color())), thin ? 0 : pen_->Width());
        if (thin && !DashesOf(pen_->Style()).isEmpty()) pen.setDashPattern(DashesOf(pen_->Style()));
        pen.setCapStyle(thin ? Qt::SquareCap : Qt::RoundCap);
        pen.setJoinStyle(thin ? Qt::MiterJoin : Qt::RoundJoin);
        painter->setPen(pen);
    }
    if (useBrush && brush_ && brush_->IsCreated()) {
        switch (brush_->Style()) {
            case BS_SOLID:
                painter->setBrush(ToQColor(MapColor(brush_->Color())));
                break;
            case BS_HATCHED: {
                static constexpr Qt::BrushStyle kHatches[] = {
                    Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                    Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
                painter->setBrush(
                    QBrush(ToQColor(MapColor(brush_->Color())), kHatches[brush_->Hatch()]));
                painter->setBackground(ToQColor(MapColor(state_.bkColor)));
                painter->setBackgroundMode(state_.bkMode == OPAQUE ? Qt::OpaqueMode
                                                                   : Qt::TransparentMode);
                break;
            }
            case BS_PATTERN: {
                QImage pattern = brush_->Pattern();
                if (brush_->MonochromePattern()) {
                    // Black takes the text colour and white the background colour.
                    const QRgb fore = ToQColor(MapColor(state_.textColor)).rgb();
                    const QRgb back = ToQColor(MapColor(state_.bkColor)).rgb();
                    for (int y = 0; y < pattern.height(); ++y) {
                        auto* line = reinterpret_cast<QRgb*>(pattern.scanLine(y));
                        for (int x = 0; x < pattern.width(); ++x)
                            line[x] = qRed(line[x]) ? back : fore;
                    }
                }
                QBrush brush(pattern);
                // Patterns are aligned to the device, not to the logical origin.
                brush.setTransform(
                    QTransform::fromTranslate(-(state_.viewportOrg.x - state_.windowOrg.x),
                                              -(state_.viewportOrg.y - state_.windowOrg.y)));
                painter->setBrush(brush);
                break;
            }
            default:
                break;
        }
    }
    const CFont* font = font_ && font_->IsCreated() ? font_ : GetStockFont(SYSTEM_FONT);
    if (mono) {
        QFont sharp(font->Font());
        sharp.setStyleStrategy(QFont::NoAntialias);
        painter->setFont(sharp);
    } else {
        painter->setFont(font->Font());
    }
    return painter;
}

// ---- clipping ---------------------------------------------------------------------------------

namespace {

int RegionKind(const QRegion& region) {
    if (region.isEmpty()) return NULLREGION;
    return region.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

}  // namespace

int CDC::SelectClipRgn(CRgn* region, int mode) {
    if (!IsValid()) return RGN_ERROR;
    QRect bounds = Bounds();
    if (!region) {
        if (mode != RGN_COPY) return RGN_ERROR;
        state_.clipped = false;
        state_.clip = QRegion();
        return SIMPLEREGION;
    }
    if (!region->IsCreated()) return RGN_ERROR;
    QRegion current = state_.clipped ? state_.clip : QRegion(bounds);
    switch (mode) {
        case RGN_COPY:
            current = region->Region();
            break;
        case RGN_AND:
            current = current.intersected(region->Region());
            break;
        case RGN_OR:
            current = current.united(region->Region());
            break;
        case RGN_XOR:
            current = current.xored(region->Region());
            break;
        case RGN_DIFF:
            current = current.subtracted(region->Region());
            break;
        default:
            return RGN_ERROR;
    }
    state_.clip = current;
    state_.clipped = true;
    return RegionKind(current);
}

int CDC::IntersectClipRect(int left, int top, int right, int bottom) {
    if (!IsValid()) return RGN_ERROR;
    QRect bounds = Bounds();
    QRegion current = state_.clipped ? state_.clip : QRegion(bounds);
    QRect rect = DeviceRect(RECT{left, top, right, bottom});
    state_.clip = rect.isValid() ? current.intersected(rect) : QRegion();
    state_.clipped = true;
    return RegionKind(state_.clip);
}

int CDC::IntersectClipRect(const RECT* rect) {
    return rect ? IntersectClipRect(rect->left, rect->top, rect->right, rect->bottom) : RGN_ERROR;
}

int CDC::ExcludeClipRect(int left, int top, int right, int bottom) {
    if (!IsValid()) return RGN_ERROR;
    QRect bounds = Bounds();
    QRegion current = state_.clipped ? state_.clip : QRegion(bounds);
    QRect rect = DeviceRect(RECT{left, top, right, bottom});
    if (rect.isValid()) current = current.subtracted(rect);
    state_.clip = current;
    state_.clipped = true;
    return RegionKind(current);
}

int CDC::ExcludeClipRect(const RECT* rect) {
    return rect ? ExcludeClipRect(rect->left, rect->top, rect->right, rect->bottom) : RGN_ERROR;
}

int CDC::GetClipBox(RECT* rect) const {
    if (!IsValid() || !rect) return RGN_ERROR;
    QRegion visible;
    if (kind_ == Kind::kMemory) {
        visible = QRegion(bitmap_->Image().rect());
    } else {
        visible = QRegion(Bounds()).intersected(
            RectOf(updateRect_.left, updateRect_.top, updateRect_.right, updateRect_.bottom));
    }
    if (state_.clipped) visible = visible.intersected(state_.clip);
    QRect box = visible.boundingRect();
    *rect =
        visible.isEmpty() ? RECT{} : RECT{box.left(), box.top(), box.right() + 1, box.bottom() + 1};
    if (!visible.isEmpty()) DPtoLP(rect);
    return RegionKind(visible);
}

BOOL CDC::PtVisible(int x, int y) const {
    RECT box;
    if (GetClipBox(&box) == NULLREGION) return FALSE;
    QPoint p = DevicePoint(x, y);
    if (state_.clipped) return state_.clip.contains(p);
    return PtInRect(&box, POINT{x, y});
}

BOOL CDC::RectVisible(const RECT* rect) const {
    RECT box, common;
    if (!rect || GetClipBox(&box) == NULLREGION) return FALSE;
    return IntersectRect(&common, &box, rect);
}

// ---- fills and shapes -------------------------------------------------------------------------

void CDC::FillDeviceRect(const QRect& rect, CBrush* brush) {
    if (!brush || !brush->IsCreated() || brush->Style() == BS_NULL || rect.isEmpty()) return;
    CBrush* old = brush_;
    brush_ = brush;
    if (auto painter = BeginPainter(false, true)) {
        UseDeviceCoordinates(*painter);
        painter->fillRect(rect, painter->brush());
    }
    brush_ = old;
}

void CDC::FillRect(const RECT* rect, CBrush* brush) {
    if (rect) FillDeviceRect(DeviceRect(*rect), brush);
}

void CDC::FillSolidRect(const RECT* rect, COLORREF color) {
    if (!rect) return;
    SetBkColor(color);
    QRect area = DeviceRect(*rect);
    if (area.isEmpty()) return;
    if (auto painter = BeginPainter(false, false)) {
        UseDeviceCoordinates(*painter);
        painter->fillRect(area, ToQColor(MapColor(color)));
    }
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF color) {
    RECT rect{x, y, x + cx, y + cy};
    FillSolidRect(&rect, color);
}

void CDC::FrameRect(const RECT* rect, CBrush* brush) {
    if (!rect || rect->right <= rect->left || rect->bottom <= rect->top) return;
    const RECT& r = *rect;
    FillRect(std::data({RECT{r.left, r.top, r.right, r.top + 1}}), brush);
    FillRect(std::data({RECT{r.left, r.bottom - 1, r.right, r.bottom}}), brush);
    FillRect(std::data({RECT{r.left, r.top, r.left + 1, r.bottom}}), brush);
    FillRect(std::data({RECT{r.right - 1, r.top, r.right, r.bottom}}), brush);
}

void CDC::InvertRect(const RECT* rect) {
    if (!rect) return;
    QRect area = DeviceRect(*rect);
    if (area.isEmpty()) return;
    if (auto painter = BeginPainter(false, false)) {
        UseDeviceCoordinates(*painter);
        painter->setCompositionMode(QPainter::RasterOp_NotDestination);
        painter->fillRect(area, Qt::black);
    }
}

void CDC::Draw3dRect(const RECT* rect, COLORREF topLeft, COLORREF bottomRight) {
    if (rect)
        Draw3dRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
                   topLeft, bottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight) {
    FillSolidRect(x, y, cx - 1, 1, topLeft);
    FillSolidRect(x, y, 1, cy - 1, topLeft);
    FillSolidRect(x + cx - 1, y, 1, cy, bottomRight);
    FillSolidRect(x, y + cy - 1, cx, 1, bottomRight);
}

BOOL CDC::DrawEdge(RECT* rect, UINT edge, UINT flags) {
    if (!rect) return FALSE;
    // Outer pair first, then the inner one, each one pixel further in.
    struct Pair {
        UINT raised, sunken;
        COLORREF raisedTl, raisedBr, sunkenTl, sunkenBr;
    };
    const Pair pairs[2] = {
        {BDR_RAISEDOUTER, BDR_SUNKENOUTER, GetSysColor(COLOR_3DLIGHT),
         GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DSHADOW),
         GetSysColor(COLOR_3DHIGHLIGHT)},
        {BDR_RAISEDINNER, BDR_SUNKENINNER, GetSysColor(COLOR_3DHIGHLIGHT),
         GetSysColor(COLOR_3DSHADOW), GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT)},
    };
    RECT r = *rect;
    const COLORREF bk = state_.bkColor;
    for (const Pair& pair : pairs) {
        if (!(edge & (pair.raised | pair.sunken))) continue;
        const bool raised = edge & pair.raised;
        const COLORREF tl = raised ? pair.raisedTl : pair.sunkenTl;
        const COLORREF br = raised ? pair.raisedBr : pair.sunkenBr;
        if (flags & BF_TOP) FillSolidRect(r.left, r.top, r.right - r.left, 1, tl);
        if (flags & BF_LEFT) FillSolidRect(r.left, r.top, 1, r.bottom - r.top, tl);
        if (flags & BF_BOTTOM) FillSolidRect(r.left, r.bottom - 1, r.right - r.left, 1, br);
        if (flags & BF_RIGHT) FillSolidRect(r.right - 1, r.top, 1, r.bottom - r.top, br);
        if (flags & BF_LEFT) ++r.left;
        if (flags & BF_TOP) ++r.top;
        if (flags & BF_RIGHT) --r.right;
        if (flags & BF_BOTTOM) --r.bottom;
    }
    state_.bkColor = bk;
    if (flags & BF_ADJUST) *rect = r;
    return TRUE;
}

void CDC::DrawFocusRect(const RECT* rect) {
    if (!rect || rect->right <= rect->left || rect->bottom <= rect->top) return;
    QPolygon dots;
    const QRect area = DeviceRect(*rect);
    for (int x = area.left(); x <= area.right(); ++x) {
        if ((x + area.top()) % 2 == 0) dots << QPoint(x, area.top());
        if ((x + area.bottom()) % 2 == 0 && area.bottom() != area.top())
            dots << QPoint(x, area.bottom());
    }
    for (int y = area.top() + 1; y < area.bottom(); ++y) {
        if ((y + area.left()) % 2 == 0) dots << QPoint(area.left(), y);
        if ((y + area.right()) % 2 == 0 && area.right() != area.left())
            dots << QPoint(area.right(), y);
    }
    if (auto painter = BeginPainter(false, false)) {
        UseDeviceCoordinates(*painter);
        painter->setCompositionMode(QPainter::RasterOp_NotDestination);
        painter->setPen(QPen(Qt::black, 0));
        painter->drawPoints(dots);
    }
}

BOOL CDC::Rectangle(int left, int top, int right, int bottom) {
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    if (right - left < 1 || bottom - top < 1) return TRUE;
    const bool nullPen = !pen_ || pen_->Style() == PS_NULL;
    auto painter = BeginPainter(false, true);
    if (!painter) return FALSE;
    // Without a pen GDI fills one pixel less on the right and at the bottom.
    const int trim = nullPen ? 1 : 0;
    if (painter->brush().style() != Qt::NoBrush)
        painter->fillRect(QRect(left, top, right - left - trim, bottom - top - trim),
                          painter->brush());
    painter.reset();
    if (nullPen) return TRUE;
    const int width = std::max(1, pen_->Width());
    if (width == 1) {
        if (auto p = BeginPainter(true, false))
            p->drawRect(left, top, right - left - 1, bottom - top - 1);
        return TRUE;
    }
    // Wide pens keep inside the frame.
    CBrush band;
    band.CreateSolidBrush(pen_->Color());
    RECT bands[4] = {{left, top, right, top + width},
                     {left, bottom - width, right, bottom},
                     {left, top, left + width, bottom},
                     {right - width, top, right, bottom}};
    for (const RECT& b : bands) FillRect(&b, &band);
    return TRUE;
}

BOOL CDC::Rectangle(const RECT* rect) {
    return rect ? Rectangle(rect->left, rect->top, rect->right, rect->bottom) : FALSE;
}

BOOL CDC::RoundRect(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
    if (right - left < 2 || bottom - top < 2) return TRUE;
    auto painter = BeginPainter(true, true);
    if (!painter) return FALSE;
    painter->drawRoundedRect(QRect(left, top, right - left - 1, bottom - top - 1),
                             ellipseWidth / 2.0, ellipseHeight / 2.0);
    return TRUE;
}

BOOL CDC::RoundRect(const RECT* rect, POINT ellipse) {
    return rect ? RoundRect(rect->left, rect->top, rect->right, rect->bottom, ellipse.x, ellipse.y)
                : FALSE;
}

BOOL CDC::Ellipse(int left, int top, int right, int bottom) {
    if (right - left < 2 || bottom - top < 2) return TRUE;
    auto painter = BeginPainter(true, true);
    if (!painter) return FALSE;
    painter->drawEllipse(QRect(left, top, right - left - 1, bottom - top - 1));
    return TRUE;
}

BOOL CDC::Ellipse(const RECT* rect) {
    return rect ? Ellipse(rect->left, rect->top, rect->right, rect->bottom) : FALSE;
}

BOOL CDC::Polygon(const POINT* points, int count) {
    if (!points || count < 2) return FALSE;
    auto painter = BeginPainter(true, true);
    if (!painter) return FALSE;
    QPolygon polygon;
    for (int i = 0; i < count; ++i) polygon << QPoint(points[i].x, points[i].y);
    painter->drawPolygon(polygon,
                         state_.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    return TRUE;
}

BOOL CDC::Polyline(const POINT* points, int count) {
    if (!points || count < 2) return FALSE;
    auto painter = BeginPainter(true, false);
    if (!painter) return FALSE;
    QPolygon line;
    for (int i = 0; i < count; ++i) line << QPoint(points[i].x, points[i].y);
    painter->drawPolyline(line);
    return TRUE;
}

BOOL CDC::PolyBezier(const POINT* points, int count) {
    if (!points || count < 4 || (count - 1) % 3 != 0) return FALSE;
    auto painter = BeginPainter(true, false);
    if (!painter) return FALSE;
    QPainterPath path(QPointF(points[0].x, points[0].y));
    for (int i = 1; i + 2 < count; i += 3)
        path.cubicTo(points[i].x, points[i].y, points[i + 1].x, points[i + 1].y, points[i + 2].x,
                     points[i + 2].y);
    painter->drawPath(path);
    return TRUE;
}

POINT CDC::MoveTo(int x, int y) { return std::exchange(state_.position, POINT{x, y}); }

BOOL CDC::LineTo(int x, int y) {
    const QPoint from(state_.position.x, state_.position.y);
    const QPoint to(x, y);
    state_.position = POINT{x, y};
    if (from == to || !pen_ || pen_->Style() == PS_NULL) return TRUE;
    auto painter = BeginPainter(true, false);
    if (!painter) return FALSE;
    const QPoint stop = pen_->Width() <= 1 ? LineStop(from, to) : to;
    if (pen_->Width() <= 1 && !DashesOf(pen_->Style()).isEmpty() && state_.bkMode == OPAQUE) {
        // The gaps of a styled line take the background colour.
        QPen gaps = painter->pen();
        QPen back(ToQColor(MapColor(state_.bkColor)), 0);
        painter->setPen(back);
        painter->drawLine(from, stop);
        painter->setPen(gaps);
    }
    painter->drawLine(from, stop);
    return TRUE;
}

COLORREF CDC::SetPixel(int x, int y, COLORREF color) {
    if (!SetPixelV(x, y, color)) return CLR_INVALID;
    return MapColor(color & 0x00FFFFFF);
}

BOOL CDC::SetPixelV(int x, int y, COLORREF color) {
    if (!IsValid()) return FALSE;
    const QPoint p = DevicePoint(x, y);
    if (state_.clipped && !state_.clip.contains(p)) return FALSE;
    if (kind_ == Kind::kMemory) {
        QImage& image = bitmap_->Image();
        if (!image.rect().contains(p)) return FALSE;
        image.setPixel(p, ToQColor(MapColor(color)).rgb());
        return TRUE;
    }
    auto painter = BeginPainter(false, false);
    if (!painter) return FALSE;
    UseDeviceCoordinates(*painter);
    painter->setPen(QPen(ToQColor(color), 0));
    painter->drawPoint(p);
    return TRUE;
}

COLORREF CDC::GetPixel(int x, int y) const {
    if (kind_ != Kind::kMemory || !IsValid()) return CLR_INVALID;
    const QPoint p = DevicePoint(x, y);
    const QImage& image = bitmap_->Image();
    if (!image.rect().contains(p) || (state_.clipped && !state_.clip.contains(p)))
        return CLR_INVALID;
    const QRgb rgb = image.pixel(p);
    return RGB(static_cast<BYTE>(qRed(rgb)), static_cast<BYTE>(qGreen(rgb)),
               static_cast<BYTE>(qBlue(rgb)));
}

BOOL CDC::FillRgn(CRgn* region, CBrush* brush) {
    if (!region || !region->IsCreated() || !brush || !brush->IsCreated()) return FALSE;
    CBrush* old = brush_;
    brush_ = brush;
    auto painter = BeginPainter(false, true);
    brush_ = old;
    if (!painter) return FALSE;
    UseDeviceCoordinates(*painter);
    // The region is in logical coordinates of the painter's origin.
    QPainterPath path;
    path.addRegion(region->Region().translated(state_.viewportOrg.x - state_.windowOrg.x,
                                               state_.viewportOrg.y - state_.windowOrg.y));
    painter->fillPath(path, painter->brush());
    return TRUE;
}

BOOL CDC::PaintRgn(CRgn* region) { return FillRgn(region, brush_); }

// ---- blits ------------------------------------------------------------------------------------

QImage CDC::SourcePixels(CDC* source, const QRect& srcRect) const {
    QImage pixels = source->bitmap_->Image().copy(srcRect);
    const bool sourceMono = source->bitmap_->IsMonochrome();
    const bool targetMono = kind_ == Kind::kMemory && bitmap_->IsMonochrome();
    if (sourceMono && !targetMono) {
        const QRgb fore = ToQColor(state_.textColor).rgb();
        const QRgb back = ToQColor(state_.bkColor).rgb();
        for (int y = 0; y < pixels.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(pixels.scanLine(y));
            for (int x = 0; x < pixels.width(); ++x) line[x] = qRed(line[x]) ? back : fore;
        }
    } else if (!sourceMono && targetMono) {
        const QRgb key = ToQColor(source->state_.bkColor).rgb() & 0x00FFFFFF;
        for (int y = 0; y < pixels.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(pixels.scanLine(y));
            for (int x = 0; x < pixels.width(); ++x)
                line[x] = (line[x] & 0x00FFFFFF) == key ? 0xFFFFFFFF : 0xFF000000;
        }
    }
    return pixels;
}

BOOL CDC::Blit(const QRect& target, CDC* source, const QRect& srcRect, DWORD rop) {
    if (!IsValid() || !source || source->kind_ != Kind::kMemory || !source->IsValid()) return FALSE;
    bool known = false;
    const QPainter::CompositionMode mode = CompositionOf(rop, &known);
    if (!known) return FALSE;
    if (target.isEmpty() || srcRect.isEmpty()) return TRUE;
    const QImage pixels = SourcePixels(source, srcRect);
    auto painter = BeginPainter(false, false);
    if (!painter) return FALSE;
    UseDeviceCoordinates(*painter);
    painter->setCompositionMode(mode);
    painter->setRenderHint(QPainter::SmoothPixmapTransform, state_.stretchMode == HALFTONE);
    // Parts of the source outside its bitmap come out black (QImage::copy pads with 0).
    painter->drawImage(target, pixels);
    return TRUE;
}

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc, DWORD rop) {
    switch (rop) {
        case PATCOPY:
        case PATINVERT:
        case DSTINVERT:
        case BLACKNESS:
        case WHITENESS:
            return PatBlt(x, y, width, height, rop);
        default:
            break;
    }
    if (!source || width <= 0 || height <= 0) return source != nullptr;
    const QRect target = DeviceRect(RECT{x, y, x + width, y + height});
    const QRect from(source->DevicePoint(xSrc, ySrc), QSize(width, height));
    return Blit(target, source, from, rop);
}

BOOL CDC::StretchBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc,
                     int srcWidth, int srcHeight, DWORD rop) {
    if (!source) return FALSE;
    if (width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) return TRUE;
    const QRect target = DeviceRect(RECT{x, y, x + width, y + height});
    const QRect from(source->DevicePoint(xSrc, ySrc), QSize(srcWidth, srcHeight));
    return Blit(target, source, from, rop);
}

BOOL CDC::PatBlt(int x, int y, int width, int height, DWORD rop) {
    if (!IsValid()) return FALSE;
    QRect area = DeviceRect(RECT{x, y, x + width, y + height}).normalized();
    if (area.isEmpty()) return TRUE;
    auto painter = BeginPainter(false, rop == PATCOPY || rop == PATINVERT);
    if (!painter) return FALSE;
    UseDeviceCoordinates(*painter);
    switch (rop) {
        case PATCOPY:
            painter->fillRect(area, painter->brush());
            return TRUE;
        case PATINVERT:
            painter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            painter->fillRect(area, painter->brush());
            return TRUE;
        case DSTINVERT:
            painter->setCompositionMode(QPainter::RasterOp_NotDestination);
            painter->fillRect(area, Qt::black);
            return TRUE;
        case BLACKNESS:
            painter->fillRect(area, Qt::black);
            return TRUE;
        case WHITENESS:
            painter->fillRect(area, Qt::white);
            return TRUE;
        default:
            return FALSE;
    }
}

void CDC::DrawImage(int x, int y, const QImage& image) {
    if (auto painter = BeginPainter(false, false)) painter->drawImage(QPoint(x, y), image);
}

// ---- text ---------------------------------------------------------------------------------------

BOOL CDC::GetTextMetrics(TEXTMETRIC* metrics) const {
    if (!metrics) return FALSE;
    const CFont* font = font_ && font_->IsCreated() ? font_ : GetStockFont(SYSTEM_FONT);
    const QFont& qfont = font->Font();
    QFontMetrics fm(qfont);
    const LOGFONT& lf = font->LogFont();
    *metrics = TEXTMETRIC{};
    metrics->tmAscent = fm.ascent();
    metrics->tmDescent = fm.descent();
    metrics->tmHeight = fm.ascent() + fm.descent();
    metrics->tmInternalLeading = std::max(0, metrics->tmHeight - qfont.pixelSize());
    metrics->tmExternalLeading = std::max(0, fm.leading());
    metrics->tmAveCharWidth = fm.averageCharWidth();
    metrics->tmMaxCharWidth = fm.maxWidth();
    metrics->tmWeight = lf.lfWeight <= 0 ? FW_NORMAL : lf.lfWeight;
    metrics->tmItalic = lf.lfItalic;
    metrics->tmUnderlined = lf.lfUnderline;
    metrics->tmStruckOut = lf.lfStrikeOut;
    metrics->tmCharSet = lf.lfCharSet;
    // GDI's odd sense: the low bit is set for variable-pitch fonts.
    metrics->tmPitchAndFamily = QFontInfo(qfont).fixedPitch() ? 0 : 1;
    return TRUE;
}

SIZE CDC::GetTextExtent(std::string_view text) const {
    const CFont* font = font_ && font_->IsCreated() ? font_ : GetStockFont(SYSTEM_FONT);
    QFontMetrics fm(font->Font());
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return SIZE{fm.horizontalAdvance(s), fm.ascent() + fm.descent()};
}

std::string CDC::EllipsizeText(std::string_view text, int width) const {
    const CFont* font = font_ && font_->IsCreated() ? font_ : GetStockFont(SYSTEM_FONT);
    QFontMetrics fm(font->Font());
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (fm.horizontalAdvance(s) <= width) return std::string(text);
    // The longest head (whole characters) that leaves room for the three dots.
    const QList<uint> codes = s.toUcs4();
    int lo = 0, hi = static_cast<int>(codes.size());
    auto head = [&](int n) {
        return QString::fromUcs4(reinterpret_cast<const char32_t*>(codes.data()), n);
    };
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (fm.horizontalAdvance(head(mid) + QStringLiteral("...")) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    return (head(lo) + QStringLiteral("...")).toStdString();
}

BOOL CDC::TextOut(int x, int y, std::string_view text) {
    auto painter = BeginPainter(false, false);
    if (!painter) return FALSE;
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QFontMetrics fm(painter->font());
    const int width = fm.horizontalAdvance(s);
    const int height = fm.ascent() + fm.descent();
    int left = x;
    if ((state_.textAlign & TA_CENTER) == TA_CENTER)
        left = x - width / 2;
    else if (state_.textAlign & TA_RIGHT)
        left = x - width;
    int top = y;
    if ((state_.textAlign & TA_BASELINE) == TA_BASELINE)
        top = y - fm.ascent();
    else if (state_.textAlign & TA_BOTTOM)
        top = y - height;
    if (state_.bkMode == OPAQUE)
        painter->fillRect(QRect(left, top, width, height), ToQColor(MapColor(state_.bkColor)));
    painter->setPen(ToQColor(MapColor(state_.textColor)));
    painter->drawText(QPoint(left, top + fm.ascent()), s);
    return TRUE;
}

std::vector<std::string> CDC::LayoutLines(std::string_view text, UINT format, int width) const {
    std::vector<std::string> lines;
    if (format & DT_SINGLELINE) {
        std::string line;
        for (char c : text)
            if (c != '\r' && c != '\n') line += c;
        lines.push_back(std::move(line));
        return lines;
    }
    std::vector<std::string> paragraphs(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            paragraphs.emplace_back();
        } else {
            paragraphs.back() += text[i];
        }
    }
    if (!(format & DT_WORDBREAK)) return paragraphs;
    for (const std::string& paragraph : paragraphs) {
        // Breaks fall after blanks and on either side of a CJK character.
        const QList<uint> codes = QString::fromStdString(paragraph).toUcs4();
        std::vector<QString> tokens;
        QString word;
        for (uint code : codes) {
            const auto c = static_cast<char32_t>(code);
            const QString ch = QString::fromUcs4(&c, 1);
            if (c == U' ' || IsCjk(c)) {
                if (!word.isEmpty()) tokens.push_back(std::exchange(word, QString()));
                tokens.push_back(ch);
            } else {
                word += ch;
            }
        }
        if (!word.isEmpty()) tokens.push_back(word);
        QString line;
        bool any = false;
        for (const QString& token : tokens) {
            const QString candidate = line + token;
            if (!line.isEmpty() && GetTextExtent(candidate.toStdString()).cx > width) {
                lines.push_back(line.trimmed().toStdString());
                any = true;
                line = token == QStringLiteral(" ") ? QString() : token;
            } else {
                line = candidate;
            }
        }
        if (!line.isEmpty() || !any) lines.push_back(line.toStdString());
    }
    return lines;
}

int CDC::DrawText(std::string_view text, RECT* rect, UINT format) {
    if (!rect) return 0;
    std::string shown;
    int underline = -1;  // byte offset of the prefixed character in `shown`
    if (format & DT_NOPREFIX) {
        shown.assign(text);
    } else {
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '&' && i + 1 < text.size()) {
                ++i;
                if (text[i] != '&' && underline < 0) underline = static_cast<int>(shown.size());
            }
            shown += text[i];
        }
    }
    if (format & DT_EXPANDTABS) {
        std::string expanded;
        for (char c : shown) expanded += c == '\t' ? std::string(8, ' ') : std::string(1, c);
        shown = std::move(expanded);
    }
    const int width = rect->right - rect->left;
    std::vector<std::string> lines = LayoutLines(shown, format, width);
    TEXTMETRIC tm;
    GetTextMetrics(&tm);
    const int lineHeight = tm.tmHeight + ((format & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0);
    const int total = lineHeight * static_cast<int>(lines.size());

    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const std::string& line : lines) widest = std::max(widest, GetTextExtent(line).cx);
        if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) widest = std::max(widest, width);
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }

    const bool ellipsis = format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS);
    if (ellipsis)
        for (std::string& line : lines) line = EllipsizeText(line, width);

    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = (rect->top + rect->bottom - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            y = rect->bottom - lineHeight;
    }
    auto painter = BeginPainter(false, false);
    if (!painter) return 0;
    if (!(format & DT_NOCLIP))
        painter->setClipRect(QRect(rect->left, rect->top, width, rect->bottom - rect->top),
                             Qt::IntersectClip);
    QFontMetrics fm(painter->font());
    const QColor textColor = ToQColor(MapColor(state_.textColor));
    for (size_t i = 0; i < lines.size(); ++i, y += lineHeight) {
        const QString s = QString::fromStdString(lines[i]);
        const int lineWidth = fm.horizontalAdvance(s);
        int x = rect->left;
        if (format & DT_CENTER)
            x = (rect->left + rect->right - lineWidth) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - lineWidth;
        if (state_.bkMode == OPAQUE)
            painter->fillRect(QRect(x, y, lineWidth, lineHeight),
                              ToQColor(MapColor(state_.bkColor)));
        painter->setPen(textColor);
        painter->drawText(QPoint(x, y + tm.tmAscent), s);
        if (i == 0 && underline >= 0 && !(format & DT_HIDEPREFIX) &&
            static_cast<size_t>(underline) < lines[0].size()) {
            const QString before = QString::fromUtf8(lines[0].data(), underline);
            const QString rest = QString::fromUtf8(
                lines[0].data() + underline, static_cast<qsizetype>(lines[0].size()) - underline);
            const int ux = x + fm.horizontalAdvance(before);
            const int uw = fm.horizontalAdvance(rest.left(rest.at(0).isHighSurrogate() ? 2 : 1));
            painter->fillRect(QRect(ux, y + tm.tmAscent + 1, uw, 1), textColor);
        }
    }
    if (format & (DT_VCENTER | DT_BOTTOM)) return y - rect->top;
    return total;
}

int CDC::DrawText(const char* text, int count, RECT* rect, UINT format) {
    if (!text) return 0;
    const std::string_view view =
        count < 0 ? std::string_view(text) : std::string_view(text, static_cast<size_t>(count));
    return DrawText(view, rect, format);
}

// ---- rectangle helpers --------------------------------------------------------------------------

BOOL SetRect(RECT* rect, int left, int top, int right, int bottom) {
    if (!rect) return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(RECT* rect) { return SetRect(rect, 0, 0, 0, 0); }

BOOL IsRectEmpty(const RECT* rect) {
    return !rect || rect->right <= rect->left || rect->bottom <= rect->top;
}

BOOL InflateRect(RECT* rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL OffsetRect(RECT* rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL PtInRect(const RECT* rect, POINT point) {
    return rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top &&
           point.y < rect->bottom;
}

BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        *out = RECT{};
        return FALSE;
    }
    *out = r;
    return TRUE;
}

BOOL UnionRect(RECT* out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return FALSE;
    if (IsRectEmpty(a)) {
        *out = IsRectEmpty(b) ? RECT{} : *b;
    } else if (IsRectEmpty(b)) {
        *out = *a;
    } else {
        *out = RECT{std::min(a->left, b->left), std::min(a->top, b->top),
                    std::max(a->right, b->right), std::max(a->bottom, b->bottom)};
    }
    return !IsRectEmpty(out);
}
