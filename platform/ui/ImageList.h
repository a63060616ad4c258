// CImageList: a row of equal-sized images with an optional mask (from a transparent colour
// or a mask bitmap), drawn normally, transparently or as the mask.
#pragma once

#include <QImage>
#include <vector>

#include "platform/ui/GdiObjects.h"

class CDC;

inline constexpr UINT ILC_MASK = 0x0001;
inline constexpr UINT ILC_COLOR = 0x0000;
inline constexpr UINT ILC_COLOR4 = 0x0004;
inline constexpr UINT ILC_COLOR8 = 0x0008;
inline constexpr UINT ILC_COLOR16 = 0x0010;
inline constexpr UINT ILC_COLOR24 = 0x0018;
inline constexpr UINT ILC_COLOR32 = 0x0020;

inline constexpr UINT ILD_NORMAL = 0x0000;
inline constexpr UINT ILD_TRANSPARENT = 0x0001;
inline constexpr UINT ILD_MASK = 0x0010;

inline constexpr COLORREF CLR_NONE = 0xFFFFFFFF;
inline constexpr COLORREF CLR_DEFAULT = 0xFF000000;

class CImageList {
public:
    CImageList() = default;
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    BOOL DeleteImageList();
    CImageList* GetSafeHandle() { return created_ ? this : nullptr; }

    // Cuts the bitmap into images of the list's width (a last partial cell is dropped) and
    // appends them; with ILC_MASK the pixels of the mask colour become transparent. Returns
    // the index of the first image added, -1 on failure.
    int Add(const CBitmap* bitmap, COLORREF maskColor);
    // The same with a monochrome mask bitmap: its white pixels are transparent.
    int Add(const CBitmap* bitmap, const CBitmap* mask);
    // One image from a picture with its own transparency (icons).
    int Add(const QImage& image);
    BOOL Replace(int index, const CBitmap* bitmap, const CBitmap* mask);
    // -1 removes every image.
    BOOL Remove(int index);
    int GetImageCount() const { return static_cast<int>(images_.size()); }
    BOOL GetIconSize(int* cx, int* cy) const;
    // CLR_NONE (the default) draws ILD_NORMAL transparently; a colour fills the masked pixels.
    COLORREF SetBkColor(COLORREF color);
    COLORREF GetBkColor() const { return bkColor_; }

    // ILD_NORMAL, ILD_TRANSPARENT, or ILD_MASK (the mask through the context's colours: the
    // text colour where the image is, the background colour where it is transparent).
    BOOL Draw(CDC* dc, int index, POINT point, UINT style);
    // The image with its transparency (alpha 0 where masked); null for a bad index.
    QImage GetImage(int index) const;

private:
    int AddCells(const QImage& colors, const QImage* mask, COLORREF maskColor);

    bool created_ = false;
    int cx_ = 0;
    int cy_ = 0;
    UINT flags_ = 0;
    COLORREF bkColor_ = CLR_NONE;
    std::vector<QImage> images_;  // Format_ARGB32, alpha 0 or 255
};
