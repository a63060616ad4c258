// CTickTree: ticking by the image, moving the selected line, reading the lines and the
// custom-draw colours.
#include "flexui/TickTree.h"

#include <cstring>
#include <utility>

#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"

void CTickTree::SetLook(CImageList* images, int itemHeight, COLORREF background) {
    ModifyStyle(0, TVS_SHOWSELALWAYS);
    if (images) SendMessage(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    SendMessage(TVM_SETITEMHEIGHT, static_cast<WPARAM>(itemHeight), 0);
    SendMessage(TVM_SETBKCOLOR, 0, static_cast<LPARAM>(background));
}

HTREEITEM CTickTree::AddLine(const std::string& text, LPARAM data, bool ticked) {
    std::string copy = text;
    TVINSERTSTRUCT line;
    line.hParent = TVI_ROOT;
    line.hInsertAfter = TVI_LAST;
    line.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    line.item.pszText = copy.data();
    line.item.lParam = data;
    line.item.iImage = line.item.iSelectedImage = ticked ? kTicked : kUnticked;
    return static_cast<HTREEITEM>(SendMessage(TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&line)));
}

HTREEITEM CTickTree::Next(WPARAM code, HTREEITEM item) const {
    if (!m_hWnd) return 0;
    return static_cast<HTREEITEM>(
        ::SendMessage(m_hWnd, TVM_GETNEXTITEM, code, static_cast<LPARAM>(item)));
}

bool CTickTree::ToggleAt(POINT point) {
    TVHITTESTINFO hit;
    hit.pt = point;
    SendMessage(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (!hit.hItem || !(hit.flags & TVHT_ONITEMICON)) return false;
    TVITEM line;
    line.mask = TVIF_IMAGE;
    line.hItem = hit.hItem;
    SendMessage(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&line));
    line.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    line.iImage = line.iSelectedImage = line.iImage == kTicked ? kUnticked : kTicked;
    SendMessage(TVM_SETITEM, 0, reinterpret_cast<LPARAM>(&line));
    Invalidate(FALSE);
    return true;
}

void CTickTree::OnLButtonDown(UINT flags, POINT point) {
    ToggleAt(point);
    CWnd::OnLButtonDown(flags, point);
}

void CTickTree::OnLButtonDblClk(UINT flags, POINT point) {
    ToggleAt(point);
    CWnd::OnLButtonDblClk(flags, point);
}

std::string CTickTree::TextOf(HTREEITEM item) const {
    // The tree cuts a text that does not fit, on a character boundary: a UTF-8 character is at
    // most 4 bytes, so a text shorter than the buffer by more than that came whole.
    constexpr std::size_t kMaxCharBytes = 4;
    std::string buffer(256, '\0');
    for (;;) {
        TVITEM line;
        line.mask = TVIF_TEXT;
        line.hItem = item;
        line.pszText = buffer.data();
        line.cchTextMax = static_cast<int>(buffer.size());
        buffer[0] = '\0';
        ::SendMessage(m_hWnd, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&line));
        const std::size_t length = std::strlen(buffer.c_str());
        if (length + kMaxCharBytes < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.assign(buffer.size() * 2, '\0');
    }
}

bool CTickTree::CanMoveSelected(bool up) const {
    const HTREEITEM selected = Next(TVGN_CARET, 0);
    return selected && Next(up ? TVGN_PREVIOUS : TVGN_NEXT, selected);
}

bool CTickTree::MoveSelected(bool up) {
    const HTREEITEM selected = Next(TVGN_CARET, 0);
    const HTREEITEM other = selected ? Next(up ? TVGN_PREVIOUS : TVGN_NEXT, selected) : 0;
    if (!other) return false;
    std::string texts[2] = {TextOf(selected), TextOf(other)};
    TVITEM lines[2];
    const HTREEITEM handles[2] = {selected, other};
    for (int i = 0; i < 2; ++i) {
        lines[i].mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
        lines[i].hItem = handles[i];
        SendMessage(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&lines[i]));
        lines[i].mask |= TVIF_TEXT;
        lines[i].pszText = texts[i].data();
    }
    std::swap(lines[0].hItem, lines[1].hItem);
    for (TVITEM& line : lines) SendMessage(TVM_SETITEM, 0, reinterpret_cast<LPARAM>(&line));
    SendMessage(TVM_SELECTITEM, TVGN_CARET, static_cast<LPARAM>(other));
    SendMessage(TVM_ENSUREVISIBLE, 0, static_cast<LPARAM>(other));
    return true;
}

std::vector<CTickTree::Line> CTickTree::Lines() const {
    std::vector<Line> lines;
    for (HTREEITEM item = Next(TVGN_ROOT, 0); item; item = Next(TVGN_NEXT, item)) {
        TVITEM info;
        info.mask = TVIF_IMAGE | TVIF_PARAM;
        info.hItem = item;
        ::SendMessage(m_hWnd, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&info));
        lines.push_back(Line{info.lParam, info.iImage == kTicked});
    }
    return lines;
}

bool CTickTree::CustomDraw(NMTVCUSTOMDRAW* draw, COLORREF background, COLORREF selectedText,
                           COLORREF selectedBackground, LRESULT* result) const {
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
        *result = CDRF_NOTIFYITEMDRAW;
        return true;
    }
    if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        const bool selected = static_cast<HTREEITEM>(draw->nmcd.dwItemSpec) == Next(TVGN_CARET, 0);
        draw->clrText = selected ? selectedText : RGB(0, 0, 0);
        draw->clrTextBk = selected ? selectedBackground : background;
        *result = CDRF_DODEFAULT;
        return true;
    }
    return false;
}
