// CFlexListCtrl's drawing half: the list area with its blank prompt and grid lines, and each
// row with its selection colours and frame, expanders, check boxes, images and hyperlinks.
#include <algorithm>

#include "flexui/DrawHelpers.h"
#include "flexui/FlexListCtrl.h"
#include "platform/core/Clock.h"
#include "platform/ui/Dc.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"

namespace {

constexpr int kBoxWidth = CFlexHeaderCtrl::kExpanderWidth;
constexpr int kBoxSize = CFlexHeaderCtrl::kImageSize;

// The row text colours the "color" field selects.
constexpr COLORREF kPalette[16] = {
    RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
    RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(128, 128, 128),
    RGB(192, 192, 192), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
    RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};

void Frame(CDC* dc, const RECT& r, COLORREF color) {
    DrawLine(dc, r.left, r.top, r.right - 1, r.top, color);
    DrawLine(dc, r.left, r.bottom - 1, r.right - 1, r.bottom - 1, color);
    DrawLine(dc, r.left, r.top, r.left, r.bottom - 1, color);
    DrawLine(dc, r.right - 1, r.top, r.right - 1, r.bottom, color);
}

// A 13-pixel check box (0 clear, 1 checked, 2 some) or expander (+ / -) centred in a row.
void DrawBox(CDC* dc, int x, const RECT& cell, int kind, int state) {
    const int top = cell.top + (cell.bottom - cell.top - kBoxSize) / 2;
    const RECT box{x, top, x + kBoxSize, top + kBoxSize};
    dc->FillSolidRect(&box, RGB(255, 255, 255));
    Frame(dc, box, kind == 0 ? RGB(0x1C, 0x51, 0x80) : RGB(0x90, 0x90, 0x90));
    const int cx = x + kBoxSize / 2, cy = top + kBoxSize / 2;
    if (kind == 0) {
        if (state == 1) {
            for (int i = 0; i < 3; ++i) {
                DrawLine(dc, x + 3, cy - 1 + i, x + 5, cy + 1 + i, RGB(0x21, 0xA1, 0x21));
                DrawLine(dc, x + 5, cy + 1 + i, x + 10, cy - 4 + i, RGB(0x21, 0xA1, 0x21));
            }
        } else if (state == 2) {
            const RECT some{x + 3, top + 3, x + kBoxSize - 3, top + kBoxSize - 3};
            dc->FillSolidRect(&some, RGB(0x21, 0xA1, 0x21));
        }
        return;
    }
    DrawLine(dc, x + 3, cy, x + kBoxSize - 3, cy, RGB(0, 0, 0));
    if (state == 0) DrawLine(dc, cx, top + 3, cx, top + kBoxSize - 3, RGB(0, 0, 0));
}

}  // namespace

void CFlexListCtrl::PaintClient(CDC* dc) {
    if (!dc || !m_hWnd) return;
    const int w = ClientWidth();
    const int h = ClientHeight();
    const int hh = HeaderHeight();
    const RECT area{0, hh, w, h};
    dc->FillSolidRect(&area, GetListBkColor());
    const int items = static_cast<int>(::SendMessage(m_hWnd, LVM_GETITEMCOUNT, 0, 0));
    if (items == 0) {
        if (!prompt_.empty()) {
            CFont* old = dc->SelectObject(&viewFont_);
            dc->SetBkMode(TRANSPARENT);
            dc->SetTextColor(promptColor_);
            RECT box = area;
            dc->DrawText(prompt_, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            if (old) dc->SelectObject(old);
        }
        return;
    }
    const int top = static_cast<int>(::SendMessage(m_hWnd, LVM_GETTOPINDEX, 0, 0));
    const int page = static_cast<int>(::SendMessage(m_hWnd, LVM_GETCOUNTPERPAGE, 0, 0));
    for (int item = top; item < items && item <= top + page; ++item) {
        const UINT state = static_cast<UINT>(::SendMessage(
            m_hWnd, LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_SELECTED | LVIS_FOCUSED));
        DrawRow(dc, item,
                ((state & LVIS_SELECTED) ? ODS_SELECTED : 0) |
                    ((state & LVIS_FOCUSED) ? ODS_FOCUS : 0));
    }
}

void CFlexListCtrl::DrawRow(CDC* dc, int displayRow, UINT state) {
    RECT rowRect{};
    rowRect.left = LVIR_BOUNDS;
    if (!::SendMessage(m_hWnd, LVM_GETITEMRECT, static_cast<WPARAM>(displayRow),
                       reinterpret_cast<LPARAM>(&rowRect)))
        return;
    int tableRow = -1;
    CMemRecord* source = Source(displayRow, &tableRow);
    if (!source) return;  // the row went away meanwhile
    const bool groupRow = source != mem_;
    const bool focus = hasFocus_;
    const bool showAlways = (GetStyle() & LVS_SHOWSELALWAYS) != 0;
    const bool selected = (state & ODS_SELECTED) && (focus || showAlways);
    const bool lines =
        (style_ & (FLS_GRIDLINES | FLS_GRIDLINESON)) == (FLS_GRIDLINES | FLS_GRIDLINESON);
    const COLORREF listBk = GetListBkColor();
    COLORREF rowBk = listBk;
    COLORREF rowText = ListTextColor();
    if (!groupRow && colorField_ >= 0) {
        const int index = source->GetLong(colorField_, tableRow) & 0xF;
        if (index >= 1) rowText = kPalette[index];
    }
    if (selected && !(style_ & FLS_NOSELCOLOR)) {
        if (focus) {
            rowBk = selBkFocus_ != CLR_INVALID ? selBkFocus_ : GetSysColor(COLOR_HIGHLIGHT);
            rowText =
                selTextFocus_ != CLR_INVALID ? selTextFocus_ : GetSysColor(COLOR_HIGHLIGHTTEXT);
        } else {
            rowBk = selBk_ != CLR_INVALID ? selBk_ : GetSysColor(COLOR_BTNFACE);
            rowText = selText_ != CLR_INVALID ? selText_ : GetSysColor(COLOR_BTNTEXT);
        }
    }
    const int64_t now = platform::TickMs();
    const int margin = Margin();
    const int first = FirstDataColumn();
    dc->SetBkMode(TRANSPARENT);
    for (int c = 0; c < GetColumnCount(); ++c) {
        const int field = columns_[static_cast<size_t>(c)];
        RECT cell{};
        cell.top = c;
        cell.left = LVIR_BOUNDS;
        ::SendMessage(m_hWnd, LVM_GETSUBITEMRECT, static_cast<WPARAM>(displayRow),
                      reinterpret_cast<LPARAM>(&cell));
        cell.bottom = rowRect.bottom;
        // With grid lines each cell leaves its left and bottom pixel for them.
        RECT inner = cell;
        if (lines) {
            inner.left += 1;
            inner.bottom -= 1;
        }
        COLORREF cellBk = rowBk;
        COLORREF text = rowText;
        if (!selected || (style_ & FLS_NOSELCOLOR)) {
            if ((style_ & FLS_SORTCOLOR) && field == sortField_)
                cellBk = sortedBk_ != CLR_INVALID ? sortedBk_ : CFlexHeaderCtrl::kSortedBkColor;
            if (!groupRow && bkColorFn_ && field != FLEXLIST_ROWNUMBER) {
                CFixRecord view(mem_);
                const COLORREF mine =
                    bkColorFn_(table_ ? table_ : &view, tableRow, field, bkColorUser_);
                if (mine != CLR_INVALID) cellBk = mine;
            }
            if (!groupRow && textColorFn_ && field != FLEXLIST_ROWNUMBER) {
                CFixRecord view(mem_);
                const COLORREF mine =
                    textColorFn_(table_ ? table_ : &view, tableRow, field, textColorUser_);
                if (mine != CLR_INVALID) text = mine;
            }
        }
        for (const Animation& a : animations_)
            if (a.row == displayRow && (a.column < 0 || a.column == c) &&
                now - a.start < a.duration && a.text != CLR_INVALID)
                text = a.text;
        if (cellBk != listBk) dc->FillSolidRect(&inner, cellBk);
        if (lines) {
            DrawLine(dc, cell.left, cell.top, cell.left, cell.bottom, gridColor_);
            DrawLine(dc, cell.left, cell.bottom - 1, cell.right, cell.bottom - 1, gridColor_);
        }
        // The margins already keep the text clear of the grid line.
        RECT box = cell;
        box.bottom = inner.bottom;
        box.left += margin;
        box.right -= margin;
        if (c == first) {
            if (style_ & FLS_GROUPACTIVE) {
                if (groupRow) {
                    const uint32_t itemStyle = source->GetItemExtendStyle(tableRow);
                    if (!(itemStyle & GRID_GROUP_FIXED))
                        DrawBox(dc, box.left, inner, 1, (itemStyle & GRID_GROUP_EXPANDED) ? 1 : 0);
                }
                box.left += kBoxWidth;
            }
            if (style_ & FLS_HASCHECKBOX) {
                DrawBox(dc, box.left, inner, 0, GetRecordCheckImage(displayRow));
                box.left += kBoxWidth;
            }
            if (smallImages_ && imageField_ >= 0 && !groupRow) {
                smallImages_->Draw(
                    dc, source->GetLong(imageField_, tableRow),
                    POINT{box.left, inner.top + (inner.bottom - inner.top - imageHeight_) / 2},
                    ILD_TRANSPARENT);
                box.left += imageWidth_;
            }
        }
        const bool link = !groupRow && std::find(hyperlinks_.begin(), hyperlinks_.end(), field) !=
                                           hyperlinks_.end();
        const char type = (mem_ && field < mem_->GetFCount()) ? mem_->GetFieldType(field) : 'C';
        const bool right = field == FLEXLIST_ROWNUMBER || type == 'I' || type == 'R';
        CFont* old = dc->SelectObject(groupRow ? &boldFont_ : link ? &linkFont_ : &viewFont_);
        dc->SetTextColor(text);
        dc->DrawText(CellText(displayRow, field), &box,
                     (right ? DT_RIGHT : DT_LEFT) | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX |
                         DT_END_ELLIPSIS);
        if (old) dc->SelectObject(old);
    }
    // The frame of the selected or focused row.
    if (!(style_ & FLS_NOSELFRAME) && (state & (ODS_SELECTED | ODS_FOCUS)) &&
        (focus || showAlways)) {
        RECT frame = rowRect;
        if (lines) frame.bottom -= 1;
        Frame(dc, frame, focus ? kFocusFrame : kShowFrame);
    }
}
