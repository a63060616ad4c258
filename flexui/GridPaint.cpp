// CGridCtrl's drawing half: rows and cells with their selection styles, grid lines and the
// blank prompt, the grid's own header, and the timed highlights of cells.
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>

#include "flexui/DrawHelpers.h"
#include "flexui/FlexBitmaps.h"
#include "flexui/GridCtrl.h"
#include "flexui/GridHeader.h"
#include "platform/core/Clock.h"
#include "platform/ui/Dc.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Messages.h"
#include "platform/ui/MouseTracking.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "record/MemRecord.h"

namespace {

constexpr int kBoxWidth = 17;
constexpr int kImageSize = 13;
constexpr int kSkinSize = 23;
constexpr UINT_PTR kAnimationTimer = 0x4752;
constexpr COLORREF kMaskColor = RGB(0x80, 0x00, 0x80);

constexpr COLORREF kPalette[16] = {
    RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
    RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(128, 128, 128),
    RGB(192, 192, 192), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
    RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};

// The library's 13 x 13 grid images (0 unchecked, 1 checked, 2 partly checked, 3 expanded,
// 4 collapsed, 5 ascending, 6 descending), drawn when the bitmap is not built in.
QImage DrawGridStrip() {
    QImage strip(kImageSize * 7, kImageSize, QImage::Format_RGB32);
    strip.fill(QColor(0x80, 0x00, 0x80));
    QPainter p(&strip);
    for (int i = 0; i < 5; ++i) {
        const QRect box(i * kImageSize, 0, kImageSize - 1, kImageSize - 1);
        p.setPen(QColor(0x1C, 0x51, 0x80));
        p.setBrush(Qt::white);
        p.drawRect(i < 3 ? box : box.adjusted(2, 2, -2, -2));
        const QPoint c = box.center();
        p.setPen(QPen(QColor(0x21, 0x21, 0x21), i == 1 ? 2 : 1));
        if (i == 1)
            p.drawPolyline(QPolygon({c + QPoint(-3, 0), c + QPoint(-1, 2), c + QPoint(3, -2)}));
        if (i == 2) p.fillRect(QRect(c - QPoint(3, 3), QSize(7, 7)), QColor(0x21, 0xA1, 0x21));
        if (i >= 3) p.drawLine(c + QPoint(-2, 0), c + QPoint(2, 0));
        if (i == 4) p.drawLine(c + QPoint(0, -2), c + QPoint(0, 2));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x60, 0x60, 0x60));
    const int x5 = 5 * kImageSize, x6 = 6 * kImageSize;
    p.drawPolygon(QPolygon({QPoint(x5 + 2, 6), QPoint(x5 + 10, 6), QPoint(x5 + 6, 2)}));
    p.drawPolygon(QPolygon({QPoint(x6 + 2, 2), QPoint(x6 + 10, 2), QPoint(x6 + 6, 6)}));
    return strip;
}

// The 23 x 23 header skins: normal, hot, sorted, pressed.
QImage DrawSkinStrip() {
    QImage strip(kSkinSize * 4, kSkinSize, QImage::Format_RGB32);
    QPainter p(&strip);
    const QColor tops[4] = {QColor(255, 255, 255), QColor(227, 247, 255), QColor(242, 248, 252),
                            QColor(188, 228, 249)};
    const QColor bottoms[4] = {QColor(240, 240, 240), QColor(189, 237, 255), QColor(217, 234, 246),
                               QColor(141, 214, 247)};
    for (int i = 0; i < 4; ++i) {
        QLinearGradient g(0, 0, 0, kSkinSize);
        g.setColorAt(0, tops[i]);
        g.setColorAt(1, bottoms[i]);
        p.fillRect(QRect(i * kSkinSize, 0, kSkinSize, kSkinSize), g);
        p.setPen(i == 0 ? QColor(213, 213, 213) : QColor(105, 187, 227));
        p.drawLine(i * kSkinSize + kSkinSize - 1, 0, i * kSkinSize + kSkinSize - 1, kSkinSize);
        p.drawLine(i * kSkinSize, kSkinSize - 1, i * kSkinSize + kSkinSize, kSkinSize - 1);
    }
    return strip;
}

CImageList& GridImages() {
    static CImageList images;
    if (!images.GetSafeHandle()) {
        QImage strip = LoadFlexBitmap(106);
        if (strip.isNull()) strip = DrawGridStrip();
        CBitmap bitmap;
        bitmap.CreateFromImage(strip);
        images.Create(kImageSize, kImageSize, ILC_COLOR24 | ILC_MASK, 7, 0);
        images.Add(&bitmap, kMaskColor);
    }
    return images;
}

CBitmap& SkinBitmap(int state) {
    static CBitmap skins[4];
    if (!skins[0].IsCreated()) {
        QImage strip = LoadFlexBitmap(112);
        if (strip.isNull()) strip = DrawSkinStrip();
        for (int i = 0; i < 4; ++i)
            skins[i].CreateFromImage(strip.copy(i * kSkinSize, 0, kSkinSize, kSkinSize));
    }
    return skins[std::clamp(state, 0, 3)];
}

void DrawGridImage(CDC* dc, int index, int x, int top, int height) {
    GridImages().Draw(dc, index, POINT{x, top + (height - kImageSize) / 2}, ILD_TRANSPARENT);
}

void Outline(CDC* dc, const RECT& r, COLORREF color, uint32_t misc) {
    // Miscellaneous bits 4-7 leave out the left, top, right and bottom side.
    if (!(misc & 0x10)) DrawLine(dc, r.left, r.top, r.left, r.bottom, color);
    if (!(misc & 0x20)) DrawLine(dc, r.left, r.top, r.right, r.top, color);
    if (!(misc & 0x40)) DrawLine(dc, r.right - 1, r.top, r.right - 1, r.bottom, color);
    if (!(misc & 0x80)) DrawLine(dc, r.left, r.bottom - 1, r.right, r.bottom - 1, color);
}

UINT AlignOf(int fmt) {
    const int justify = fmt & 3;
    return justify == HDF_RIGHT ? DT_RIGHT : justify == HDF_CENTER ? DT_CENTER : DT_LEFT;
}

}  // namespace

// ---------------------------------------------------------------- the list area

void CGridCtrl::PaintClient(CDC* dc) {
    if (!dc || !m_hWnd) return;
    const int w = ClientWidth();
    const int h = ClientHeight();
    const int hh = HeaderHeight();
    const COLORREF bk = ListBkColor();
    const RECT area{0, hh, w, h};
    dc->FillSolidRect(&area, bk);
    const int items = static_cast<int>(::SendMessage(m_hWnd, LVM_GETITEMCOUNT, 0, 0));
    if (items == 0 && !prompt_.empty()) {
        std::string text = prompt_;
        if (GetGridTextMapFunctor())
            if (const char* mapped = GetGridTextMapFunctor()(text.c_str())) text = mapped;
        CFont* old = dc->SelectObject(static_cast<CFont*>(GetStockObject(DEFAULT_GUI_FONT)));
        dc->SetBkMode(TRANSPARENT);
        dc->SetTextColor(promptColor_);
        RECT box = area;
        dc->DrawText(text, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (old) dc->SelectObject(old);
    }
    const int top = static_cast<int>(::SendMessage(m_hWnd, LVM_GETTOPINDEX, 0, 0));
    const int page = static_cast<int>(::SendMessage(m_hWnd, LVM_GETCOUNTPERPAGE, 0, 0));
    HWND header = GetHeaderHwnd();
    int left = 0;
    if (header) {
        RECT hr{};
        ::GetWindowRect(header, &hr);
        POINT origin{hr.left, hr.top};
        ScreenToClient(&origin);
        left = origin.x;
    }
    const int columns = GetColumnCount();
    if ((style_ & GRID_GRIDLINES) && items > 0) {
        const COLORREF line = gridColor_ == CLR_INVALID ? RGB(0xEB, 0xEB, 0xEB) : gridColor_;
        const bool stop = (style_ & GRID_ENDATLAST) != 0;
        const int shown = std::min(items - top, page + 1);
        const int lastBottom = hh + shown * itemHeight_;
        int right = left;
        for (int c = 0; c < columns && header; ++c) {
            RECT r{};
            ::SendMessage(header, HDM_GETITEMRECT, c, reinterpret_cast<LPARAM>(&r));
            right = left + r.right;
            DrawLine(dc, right - 1, hh, right - 1, stop ? lastBottom : h, line);
        }
        for (int i = 0; i <= page; ++i) {
            if (stop && i >= shown) break;
            const int y = hh + (i + 1) * itemHeight_ - 1;
            DrawLine(dc, left, y, stop ? right : w, y, line);
        }
    }
    // A flash or a changed cell invalidates a few cells: rows outside the update area are
    // clipped away anyway, so they are not drawn at all.
    RECT clip{};
    const bool partial = dc->GetClipBox(&clip) != RGN_ERROR;
    for (int item = top; item < items && item <= top + page; ++item) {
        if (partial) {
            RECT rowRect{};
            rowRect.left = LVIR_BOUNDS;
            if (::SendMessage(m_hWnd, LVM_GETITEMRECT, static_cast<WPARAM>(item),
                              reinterpret_cast<LPARAM>(&rowRect)) &&
                !dc->RectVisible(&rowRect))
                continue;
        }
        const UINT state = static_cast<UINT>(ItemState(item, LVIS_SELECTED | LVIS_FOCUSED));
        DrawEntireItem(dc, item, -1,
                       ((state & LVIS_SELECTED) ? ODS_SELECTED : 0) |
                           ((state & LVIS_FOCUSED) ? ODS_FOCUS : 0));
    }
    if (dragging_) {
        const RECT line{0, dragY_ - 1, w, dragY_ + 1};
        dc->FillSolidRect(&line, RGB(0, 0, 0));
    }
}

void CGridCtrl::DrawEntireItem(CDC* dc, int row, int column, UINT state) {
    if (!dc || !m_hWnd || row < 0 || row >= GetViewCount()) return;
    RECT rowRect{};
    rowRect.left = LVIR_BOUNDS;
    if (!::SendMessage(m_hWnd, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                       reinterpret_cast<LPARAM>(&rowRect)))
        return;
    const bool lines = (style_ & GRID_GRIDLINES) != 0;
    if (lines) rowRect.bottom -= 1;
    int tableRow = -1;
    CMemRecord* source = CellSource(row, 0, &tableRow);
    const bool groupRow = source && source == group_.get();
    const bool focus = (style_ & GRID_HASFOCUS) != 0 || ::GetFocus() == m_hWnd;
    const bool selected = (state & ODS_SELECTED) && (focus || (GetStyle() & LVS_SHOWSELALWAYS));
    COLORREF rowBk = ListBkColor();
    const COLORREF listBk = rowBk;
    COLORREF rowText = ListTextColor();
    if (source && !groupRow && colorField_ >= 0 && !(style_ & GRID_TWOLEVEL)) {
        const int index = source->GetLong(colorField_, tableRow) & 0xF;
        if (index >= 1) rowText = kPalette[index];
    }
    enum class Mode { kNone, kGradient, kOutline, kSolid } mode = Mode::kNone;
    if (selected) {
        if (selBk_ == CLR_INVALID && !(style_ & (GRID_OUTLINESELECT | GRID_COMPACT)))
            mode = Mode::kGradient;
        else if (((style_ & GRID_OUTLINESELECT) || !(style_ & GRID_COMPACT)) &&
                 (selBk_ == CLR_INVALID || selBk_ == listBk))
            mode = Mode::kOutline;
        else
            mode = Mode::kSolid;
    }
    if (mode == Mode::kSolid) {
        rowBk =
            selBk_ != CLR_INVALID ? selBk_ : GetSysColor(focus ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
        rowText = selText_ != CLR_INVALID
                      ? selText_
                      : GetSysColor(focus ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
    }
    RECT band = rowRect;
    band.right = std::max<LONG>(band.right, rowRect.left);
    if (column < 0) {
        if (mode == Mode::kGradient)
            GradientFill(dc, band, RGB(255, 255, 255), focus ? 0xFFF5ED : 0xE6E6E6,
                         GRADIENT_TOP_TO_BOTTOM);
        else if (rowBk != listBk)
            dc->FillSolidRect(&band, rowBk);
    }
    HWND header = GetHeaderHwnd();
    const int64_t now = platform::TickMs();
    auto liveAnimation = [&](int c) -> const Animation* {
        for (const Animation& a : animations_)
            if (a.live && a.row == row && (a.column == c || a.column == -1) &&
                now - a.start < a.duration)
                return &a;
        return nullptr;
    };
    const int margin = GetFieldMargin();
    const bool band400 = groupRow && (style_ & GRID_GROUPBAND);
    dc->SetBkMode(TRANSPARENT);
    const int columns = GetColumnCount();
    for (int c = 0; c < columns; ++c) {
        if (column >= 0 && c != column) continue;
        if (band400 && c > 0) break;
        RECT cell{};
        cell.top = c;
        cell.left = LVIR_BOUNDS;
        ::SendMessage(m_hWnd, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                      reinterpret_cast<LPARAM>(&cell));
        if (band400) cell.right = rowRect.right;
        cell.bottom = rowRect.bottom;
        const Column& col = columns_[static_cast<size_t>(c)];
        const Animation* live = liveAnimation(c);
        // Background precedence: gradient, highlight, sorted column, callback, row.
        COLORREF cellBk = rowBk;
        if (mode != Mode::kGradient) {
            if (live && live->background != CLR_INVALID) {
                cellBk = live->background;
            } else if ((style_ & GRID_SORTCOLOR) && sortedBk_ != CLR_INVALID &&
                       col.field == sortField_ && col.part == 0) {
                cellBk = sortedBk_;
            } else if (mode != Mode::kSolid && bkColorFn_ && !groupRow && source) {
                int r = -1;
                if (CMemRecord* t = CellSource(row, col.part, &r)) {
                    CFixRecord view(t);
                    const COLORREF c2 = bkColorFn_(&view, r, col.field, bkColorUser_);
                    if (c2 != CLR_INVALID) cellBk = c2;
                }
            }
            if (cellBk != rowBk || (column >= 0 && cellBk != listBk))
                dc->FillSolidRect(&cell, cellBk);
        } else if (column >= 0) {
            GradientFill(dc, cell, RGB(255, 255, 255), focus ? 0xFFF5ED : 0xE6E6E6,
                         GRADIENT_TOP_TO_BOTTOM);
        }
        COLORREF text = rowText;
        if (live && live->text != CLR_INVALID) {
            text = live->text;
        } else if (!groupRow && textColorFn_ && source && mode != Mode::kSolid) {
            int r = -1;
            if (CMemRecord* t = CellSource(row, col.part, &r)) {
                CFixRecord view(t);
                const COLORREF c2 = textColorFn_(&view, r, col.field, textColorUser_);
                if (c2 != CLR_INVALID) text = c2;
            }
        }
        if (lines && !band400)
            DrawLine(dc, cell.right - 1, cell.top, cell.right - 1, cell.bottom,
                     gridColor_ == CLR_INVALID ? RGB(0xEB, 0xEB, 0xEB) : gridColor_);
        RECT box = cell;
        box.left += margin;
        box.right -= margin;  // the grid line sits inside the margin
        if (c == 0) {
            if (style_ & GRID_GROUPACTIVE) {
                if (groupRow) {
                    const uint32_t itemStyle = group_->GetItemExtendStyle(tableRow);
                    const bool open =
                        (itemStyle & GRID_GROUP_EXPANDED) || (itemStyle & GRID_GROUP_FIXED);
                    DrawGridImage(dc, open ? 3 : 4, box.left, cell.top, cell.bottom - cell.top);
                }
                box.left += kBoxWidth;
            }
            if (style_ & GRID_HASCHECKBOX) {
                DrawGridImage(dc, std::clamp(GetRecordCheckImage(row), 0, 2), box.left, cell.top,
                              cell.bottom - cell.top);
                box.left += kBoxWidth;
            }
            if ((style_ & GRID_HASIMAGE) && smallImages_ && !groupRow) {
                smallImages_->Draw(
                    dc, GetRecordImage(row),
                    POINT{box.left, cell.top + (cell.bottom - cell.top - imageHeight_) / 2},
                    ILD_TRANSPARENT);
                box.left += imageWidth_ + 4;
            }
        }
        std::string value =
            band400 ? group_->GetItemText(0, tableRow) : CellText(row, col.field, col.part);
        if (GetGridTextMapFunctor())
            if (const char* mapped = GetGridTextMapFunctor()(value.c_str())) value = mapped;
        int fmt = HDF_LEFT;
        if (header) {
            HDITEM item;
            item.mask = HDI_FORMAT;
            ::SendMessage(header, HDM_GETITEM, c, reinterpret_cast<LPARAM>(&item));
            fmt = item.fmt;
        }
        CFont* old = dc->SelectObject(band400 ? &boldFont_ : &listFont_);
        dc->SetTextColor(text);
        dc->DrawText(value, &box,
                     (band400 ? DT_LEFT : AlignOf(fmt)) | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX |
                         DT_END_ELLIPSIS);
        if (old) dc->SelectObject(old);
    }
    if (column < 0 && (mode == Mode::kGradient || mode == Mode::kOutline)) {
        const COLORREF outline =
            mode == Mode::kGradient ? (focus ? 0xFCD7B9 : 0xDADADA) : (listBk ^ 0xFFFFFF);
        Outline(dc, band, outline, misc_);
    }
}

void CGridCtrl::RedrawItemDirect(int row, int column) {
    if (!m_hWnd || row < 0 || row >= GetViewCount() || column >= GetColumnCount()) return;
    const int top = static_cast<int>(::SendMessage(m_hWnd, LVM_GETTOPINDEX, 0, 0));
    const int page = static_cast<int>(::SendMessage(m_hWnd, LVM_GETCOUNTPERPAGE, 0, 0));
    if (row < top || row > top + page) return;
    // Qt paints only inside paint events: the cell is repainted at once through its region.
    RECT r{};
    if (column >= 0) {
        r.top = column;
        r.left = LVIR_BOUNDS;
        ::SendMessage(m_hWnd, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                      reinterpret_cast<LPARAM>(&r));
    } else {
        r.left = LVIR_BOUNDS;
        ::SendMessage(m_hWnd, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                      reinterpret_cast<LPARAM>(&r));
        r.right = std::max<LONG>(r.right, ClientWidth());
    }
    ::SendMessage(m_hWnd, LVM_REDRAWITEMS, static_cast<WPARAM>(row), row);
}

// ---------------------------------------------------------------- highlights

void CGridCtrl::SetItemAnimate(int row, int column, COLORREF text, int durationMs) {
    SetItemAnimate(row, column, text, CLR_INVALID, durationMs);
}

void CGridCtrl::SetItemAnimate(int row, int column, COLORREF text, COLORREF background,
                               int durationMs) {
    if (!m_hWnd || row < 0 || row >= GetViewCount()) return;
    if (text == CLR_INVALID && background == CLR_INVALID) {
        RedrawItemDirect(row, column);
        return;
    }
    const int64_t now = platform::TickMs();
    Animation* slot = nullptr;
    for (Animation& a : animations_)
        if (a.live && a.row == row && a.column == column) slot = &a;
    if (!slot)
        for (Animation& a : animations_)
            if (!a.live || now - a.start >= a.duration) {
                slot = &a;
                break;
            }
    if (!slot) slot = &animations_.emplace_back();
    slot->live = true;
    slot->row = row;
    slot->column = column;
    slot->start = now;
    slot->text = text;
    slot->background = background;
    slot->duration = durationMs > 0 ? durationMs : 300;
    if (!animationTimer_) animationTimer_ = SetTimer(kAnimationTimer, 100) != 0;
    RedrawItemDirect(row, column);
}

void CGridCtrl::OnAnimationTimer() {
    const int64_t now = platform::TickMs();
    for (Animation& a : animations_) {
        if (!a.live || now - a.start < a.duration) continue;
        a.live = false;
        RedrawItemDirect(a.row, a.column);
    }
}

int CGridCtrl::LiveAnimationCount() const {
    const int64_t now = platform::TickMs();
    return static_cast<int>(std::count_if(animations_.begin(), animations_.end(), [&](auto& a) {
        return a.live && now - a.start < a.duration;
    }));
}

// ---------------------------------------------------------------- the header

LRESULT CGridCtrl::FlexHeaderCtrlWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto callDefault = [&] { return header_->CallDefault(message, wParam, lParam); };
    if (!header_) return 0;
    if (style_ & GRID_COMPACT) return callDefault();
    switch (message) {
        case WM_PAINT: {
            CPaintDC dc(header_.get());
            DrawHeader(&dc, hwnd);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case HDM_LAYOUT: {
            auto* layout = reinterpret_cast<HDLAYOUT*>(lParam);
            if (!layout || !layout->prc || !layout->pwpos) return FALSE;
            int height = itemHeight_;
            if (headerFont_) {
                const QFontMetrics metrics(headerFont_->Font());
                height = std::max(static_cast<int>(1.618 * metrics.height()), kImageSize);
            }
            if (headerHeight_ > 0) height = headerHeight_;
            RECT& area = *layout->prc;
            *layout->pwpos =
                WINDOWPOS{hwnd, 0, area.left, area.top, area.right - area.left, height, 0};
            area.top += height;
            return TRUE;
        }
        case WM_MOUSEMOVE: {
            HDHITTESTINFO hit;
            hit.pt = POINT{static_cast<int16_t>(LOWORD(static_cast<DWORD>(lParam))),
                           static_cast<int16_t>(HIWORD(static_cast<DWORD>(lParam)))};
            callDefault();
            const int item = static_cast<int>(
                ::SendMessage(hwnd, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
            if (item != hotItem_) {
                hotItem_ = item;
                TRACKMOUSEEVENT track;
                track.dwFlags = TME_LEAVE;
                track.hwndTrack = hwnd;
                ::TrackMouseEvent(&track);
                ::InvalidateRect(hwnd, nullptr, FALSE);
            }
            return 0;
        }
        case WM_MOUSELEAVE:
            hotItem_ = -1;
            ::InvalidateRect(hwnd, nullptr, FALSE);
            return callDefault();
        case WM_LBUTTONDOWN: {
            const int x = static_cast<int16_t>(LOWORD(static_cast<DWORD>(lParam)));
            HDHITTESTINFO hit;
            hit.pt = POINT{x, static_cast<int16_t>(HIWORD(static_cast<DWORD>(lParam)))};
            const int item = static_cast<int>(
                ::SendMessage(hwnd, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
            if (item == 0 && (style_ & GRID_HASCHECKBOX) && (hit.flags & HHT_ONHEADER)) {
                RECT r{};
                ::SendMessage(hwnd, HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
                const int box =
                    r.left + GetFieldMargin() + ((style_ & GRID_GROUPACTIVE) ? kBoxWidth : 0);
                if (x >= box && x < box + kBoxWidth) {
                    SetCheckAll(HeaderCheckState() != 1);
                    return 0;
                }
            }
            pressedItem_ = (hit.flags & HHT_ONHEADER) ? item : -1;
            ::InvalidateRect(hwnd, nullptr, FALSE);
            return callDefault();
        }
        case WM_LBUTTONUP:
            pressedItem_ = -1;
            ::InvalidateRect(hwnd, nullptr, FALSE);
            return callDefault();
        default:
            return callDefault();
    }
}

void CGridCtrl::DrawHeader(CDC* dc, HWND header) {
    RECT all{};
    ::GetClientRect(header, &all);
    COLORREF bk = headerBk_;
    if (bk == CLR_INVALID && (style_ & GRID_HEADERLISTBK)) bk = ListBkColor();
    const int count = static_cast<int>(::SendMessage(header, HDM_GETITEMCOUNT, 0, 0));
    RECT last{};
    if (count > 0)
        ::SendMessage(header, HDM_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&last));
    const int end = (style_ & GRID_ENDATLAST) && count > 0 ? last.right : all.right;
    CDC skin;
    skin.CreateCompatibleDC(nullptr);
    auto drawSkin = [&](const RECT& r, int state) {
        CBitmap* old = skin.SelectObject(&SkinBitmap(state));
        StretchRectangleBlt(dc, r, &skin, kSkinSize, kSkinSize, 2, 2, 2, 2, 2, 2, 2, 2);
        skin.SelectObject(old);
    };
    if (bk != CLR_INVALID) {
        const RECT fill{all.left, all.top, end, all.bottom};
        dc->FillSolidRect(&all, ListBkColor());
        dc->FillSolidRect(&fill, bk);
    } else {
        dc->FillSolidRect(&all, ListBkColor());
        if (end > last.right || count == 0)
            drawSkin(RECT{count > 0 ? last.right : 0, all.top, end, all.bottom}, 0);
    }
    const COLORREF lines =
        headerGridColor_ == CLR_INVALID ? RGB(0xA0, 0xA0, 0xA0) : headerGridColor_;
    CFont* font = headerFont_ ? headerFont_.get() : &listFont_;
    CFont* oldFont = dc->SelectObject(font);
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(headerText_ != CLR_INVALID ? headerText_ : ListTextColor());
    const int margin = GetFieldMargin();
    for (int i = 0; i < count; ++i) {
        RECT r{};
        ::SendMessage(header, HDM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
        HDITEM item;
        char text[256] = {};
        item.mask = HDI_TEXT | HDI_FORMAT | HDI_LPARAM;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        ::SendMessage(header, HDM_GETITEM, i, reinterpret_cast<LPARAM>(&item));
        const bool sorted = (item.lParam & 0xC00) != 0;
        if (bk == CLR_INVALID)
            drawSkin(r, i == pressedItem_ ? 3 : i == hotItem_ ? 1 : sorted ? 2 : 0);
        else
            DrawLine(dc, r.right - 1, r.top, r.right - 1, r.bottom, lines);
        if (sorted)
            DrawGridImage(dc, (item.lParam & 0x400) ? 5 : 6, (r.left + r.right - kImageSize) / 2,
                          r.top - 3, kImageSize);
        RECT box{r.left + margin, r.top, r.right - margin, r.bottom};
        if (i == 0) {
            if (style_ & GRID_GROUPACTIVE) box.left += kBoxWidth;
            if (style_ & GRID_HASCHECKBOX) {
                DrawGridImage(dc, HeaderCheckState(), box.left, r.top, r.bottom - r.top);
                box.left += kBoxWidth;
            }
            if (style_ & GRID_HASIMAGE) box.left += imageWidth_ + 4;
        }
        dc->DrawText(
            text, &box,
            AlignOf(item.fmt) | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    if (oldFont) dc->SelectObject(oldFont);
    if (!(GetStyle() & WS_BORDER)) DrawLine(dc, all.left, 0, end, 0, lines);
    DrawLine(dc, all.left, all.bottom - 1, end, all.bottom - 1, lines);
}
