// Regions over QRegion.
#include "platform/ui/Region.h"

#include <QPainterPath>
#include <QPolygon>

namespace {

QRect Box(int left, int top, int right, int bottom) {
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)).normalized();
}

}  // namespace

void CRgn::SetRegion(const QRegion& region) {
    region_ = region;
    created_ = true;
}

BOOL CRgn::CreateRectRgn(int left, int top, int right, int bottom) {
    if (created_) return FALSE;
    SetRegion(right > left && bottom > top ? QRegion(Box(left, top, right, bottom)) : QRegion());
    return TRUE;
}

BOOL CRgn::CreateRectRgnIndirect(const RECT* rect) {
    return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : FALSE;
}

BOOL CRgn::CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth,
                              int ellipseHeight) {
    if (created_) return FALSE;
    if (right <= left || bottom <= top) {
        SetRegion(QRegion());
        return TRUE;
    }
    QPainterPath path;
    path.addRoundedRect(QRectF(left, top, right - left, bottom - top), ellipseWidth / 2.0,
                        ellipseHeight / 2.0);
    SetRegion(QRegion(path.toFillPolygon().toPolygon()));
    return TRUE;
}

BOOL CRgn::CreateEllipticRgn(int left, int top, int right, int bottom) {
    if (created_) return FALSE;
    SetRegion(right > left && bottom > top
                  ? QRegion(QRect(left, top, right - left, bottom - top), QRegion::Ellipse)
                  : QRegion());
    return TRUE;
}

BOOL CRgn::CreateEllipticRgnIndirect(const RECT* rect) {
    return rect ? CreateEllipticRgn(rect->left, rect->top, rect->right, rect->bottom) : FALSE;
}

BOOL CRgn::CreatePolygonRgn(const POINT* points, int count, int fillMode) {
    if (created_ || !points || count < 2) return FALSE;
    QPolygon polygon;
    for (int i = 0; i < count; ++i) polygon << QPoint(points[i].x, points[i].y);
    SetRegion(QRegion(polygon, fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill));
    return TRUE;
}

int CRgn::Kind() const {
    if (!created_) return RGN_ERROR;
    if (region_.isEmpty()) return NULLREGION;
    return region_.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

int CRgn::CombineRgn(const CRgn* a, const CRgn* b, int mode) {
    if (!created_ || !a || !a->created_) return RGN_ERROR;
    if (mode == RGN_COPY) {
        region_ = a->region_;
        return Kind();
    }
    if (!b || !b->created_) return RGN_ERROR;
    switch (mode) {
        case RGN_AND:
            region_ = a->region_.intersected(b->region_);
            break;
        case RGN_OR:
            region_ = a->region_.united(b->region_);
            break;
        case RGN_XOR:
            region_ = a->region_.xored(b->region_);
            break;
        case RGN_DIFF:
            region_ = a->region_.subtracted(b->region_);
            break;
        default:
            return RGN_ERROR;
    }
    return Kind();
}

int CRgn::CopyRgn(const CRgn* source) { return CombineRgn(source, nullptr, RGN_COPY); }

void CRgn::SetRectRgn(int left, int top, int right, int bottom) {
    SetRegion(right > left && bottom > top ? QRegion(Box(left, top, right, bottom)) : QRegion());
}

int CRgn::OffsetRgn(int dx, int dy) {
    if (!created_) return RGN_ERROR;
    region_.translate(dx, dy);
    return Kind();
}

BOOL CRgn::PtInRegion(int x, int y) const { return created_ && region_.contains(QPoint(x, y)); }

BOOL CRgn::RectInRegion(const RECT* rect) const {
    if (!created_ || !rect || rect->right <= rect->left || rect->bottom <= rect->top) return FALSE;
    return region_.intersects(Box(rect->left, rect->top, rect->right, rect->bottom));
}

BOOL CRgn::EqualRgn(const CRgn* other) const {
    return created_ && other && other->created_ && region_ == other->region_;
}

int CRgn::GetRgnBox(RECT* rect) const {
    if (!created_ || !rect) return RGN_ERROR;
    QRect box = region_.boundingRect();
    *rect =
        region_.isEmpty() ? RECT{} : RECT{box.left(), box.top(), box.right() + 1, box.bottom() + 1};
    return Kind();
}

BOOL CRgn::DeleteObject() {
    if (!created_) return FALSE;
    created_ = false;
    region_ = QRegion();
    return TRUE;
}
