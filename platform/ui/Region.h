// CRgn: an area of pixels (rectangles, rounded rectangles, ellipses, polygons and their
// combinations), for clipping and filling.
#pragma once

#include <QRegion>

#include "platform/ui/GdiObjects.h"

inline constexpr int RGN_AND = 1;
inline constexpr int RGN_OR = 2;
inline constexpr int RGN_XOR = 3;
inline constexpr int RGN_DIFF = 4;
inline constexpr int RGN_COPY = 5;

inline constexpr int RGN_ERROR = 0;  // GDI's ERROR
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;
inline constexpr int COMPLEXREGION = 3;

inline constexpr int ALTERNATE = 1;
inline constexpr int WINDING = 2;

class CRgn : public CGdiObject {
public:
    CRgn() = default;
    BOOL CreateRectRgn(int left, int top, int right, int bottom);
    BOOL CreateRectRgnIndirect(const RECT* rect);
    BOOL CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth,
                            int ellipseHeight);
    BOOL CreateEllipticRgn(int left, int top, int right, int bottom);
    BOOL CreateEllipticRgnIndirect(const RECT* rect);
    BOOL CreatePolygonRgn(const POINT* points, int count, int fillMode);
    // this = a (mode) b; the region must be created first. Returns the kind of the result,
    // RGN_ERROR when an operand is missing.
    int CombineRgn(const CRgn* a, const CRgn* b, int mode);
    int CopyRgn(const CRgn* source);
    void SetRectRgn(int left, int top, int right, int bottom);
    int OffsetRgn(int dx, int dy);
    BOOL PtInRegion(int x, int y) const;
    BOOL RectInRegion(const RECT* rect) const;
    BOOL EqualRgn(const CRgn* other) const;
    int GetRgnBox(RECT* rect) const;
    BOOL DeleteObject() override;
    bool IsCreated() const override { return created_; }
    operator HRGN() { return created_ ? this : nullptr; }

    const QRegion& Region() const { return region_; }
    void SetRegion(const QRegion& region);

private:
    int Kind() const;

    bool created_ = false;
    QRegion region_;
};
