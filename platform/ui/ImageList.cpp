// Image lists with masks.
#include "platform/ui/ImageList.h"

#include <QPainter>

#include "platform/ui/Dc.h"

BOOL CImageList::Create(int cx, int cy, UINT flags, int, int) {
    if (created_ || cx <= 0 || cy <= 0) return FALSE;
    cx_ = cx;
    cy_ = cy;
    flags_ = flags;
    bkColor_ = CLR_NONE;
    created_ = true;
    return TRUE;
}

BOOL CImageList::DeleteImageList() {
    if (!created_) return FALSE;
    created_ = false;
    images_.clear();
    return TRUE;
}

int CImageList::AddCells(const QImage& colors, const QImage* mask, COLORREF maskColor) {
    if (!created_ || colors.isNull() || colors.height() < cy_) return -1;
    const int cells = colors.width() / cx_;
    if (cells <= 0) return -1;
    const int first = GetImageCount();
    const QRgb key = platform::ui::ToQColor(maskColor & 0x00FFFFFF).rgb() & 0x00FFFFFF;
    const bool masked = (flags_ & ILC_MASK) != 0;
    for (int cell = 0; cell < cells; ++cell) {
        QImage image = colors.copy(cell * cx_, 0, cx_, cy_).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < cy_; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < cx_; ++x) {
                bool transparent = false;
                if (masked && mask)
                    transparent = (mask->pixel(cell * cx_ + x, y) & 0x00FFFFFF) == 0x00FFFFFF;
                else if (masked && maskColor != CLR_NONE)
                    transparent = (line[x] & 0x00FFFFFF) == key;
                line[x] = transparent ? 0u : (line[x] | 0xFF000000);
            }
        }
        images_.push_back(std::move(image));
    }
    return first;
}

int CImageList::Add(const CBitmap* bitmap, COLORREF maskColor) {
    if (!bitmap || !bitmap->IsCreated()) return -1;
    return AddCells(bitmap->Image(), nullptr, maskColor);
}

int CImageList::Add(const CBitmap* bitmap, const CBitmap* mask) {
    if (!bitmap || !bitmap->IsCreated()) return -1;
    if (mask && mask->IsCreated() &&
        (mask->Image().width() < bitmap->Image().width() || mask->Image().height() < cy_))
        return -1;
    return AddCells(bitmap->Image(), mask && mask->IsCreated() ? &mask->Image() : nullptr,
                    CLR_NONE);
}

int CImageList::Add(const QImage& image) {
    if (!created_ || image.isNull()) return -1;
    QImage cell = image.convertToFormat(QImage::Format_ARGB32)
                      .scaled(cx_, cy_, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    // Only fully opaque or fully transparent pixels, as a mask holds.
    for (int y = 0; y < cy_; ++y) {
        auto* line = reinterpret_cast<QRgb*>(cell.scanLine(y));
        for (int x = 0; x < cx_; ++x)
            line[x] = qAlpha(line[x]) >= 128 ? (line[x] | 0xFF000000) : 0u;
    }
    images_.push_back(std::move(cell));
    return GetImageCount() - 1;
}

BOOL CImageList::Replace(int index, const CBitmap* bitmap, const CBitmap* mask) {
    if (index < 0 || index >= GetImageCount() || !bitmap || !bitmap->IsCreated()) return FALSE;
    CImageList single;
    single.Create(cx_, cy_, flags_, 1, 0);
    if (single.Add(bitmap, mask) < 0) return FALSE;
    images_[static_cast<size_t>(index)] = single.images_.front();
    return TRUE;
}

BOOL CImageList::Remove(int index) {
    if (!created_) return FALSE;
    if (index == -1) {
        images_.clear();
        return TRUE;
    }
    if (index < 0 || index >= GetImageCount()) return FALSE;
    images_.erase(images_.begin() + index);
    return TRUE;
}

BOOL CImageList::GetIconSize(int* cx, int* cy) const {
    if (!created_ || !cx || !cy) return FALSE;
    *cx = cx_;
    *cy = cy_;
    return TRUE;
}

COLORREF CImageList::SetBkColor(COLORREF color) { return std::exchange(bkColor_, color); }

QImage CImageList::GetImage(int index) const {
    if (index < 0 || index >= GetImageCount()) return QImage();
    return images_[static_cast<size_t>(index)];
}

BOOL CImageList::Draw(CDC* dc, int index, POINT point, UINT style) {
    if (!dc || !dc->IsValid() || index < 0 || index >= GetImageCount()) return FALSE;
    QImage image = images_[static_cast<size_t>(index)];
    if (style & ILD_MASK) {
        const QRgb fore = platform::ui::ToQColor(dc->GetTextColor()).rgb();
        const QRgb back = platform::ui::ToQColor(dc->GetBkColor()).rgb();
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) line[x] = qAlpha(line[x]) ? fore : back;
        }
    } else if (!(style & ILD_TRANSPARENT) &&
               (!(flags_ & ILC_MASK) || (bkColor_ != CLR_NONE && bkColor_ != CLR_DEFAULT))) {
        // Drawn opaque: the masked pixels take the list's background colour.
        const QRgb back =
            platform::ui::ToQColor(bkColor_ == CLR_NONE || bkColor_ == CLR_DEFAULT ? 0 : bkColor_)
                .rgb();
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if (!qAlpha(line[x])) line[x] = back;
        }
    }
    dc->DrawImage(point.x, point.y, image);
    return TRUE;
}
