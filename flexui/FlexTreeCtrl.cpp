// CFlexTreeCtrl: the check images, clicks on them and the three-state propagation.
#include "flexui/FlexTreeCtrl.h"

#include <QPainter>

#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"

CFlexTreeCtrl::CFlexTreeCtrl() = default;
CFlexTreeCtrl::~CFlexTreeCtrl() = default;

QImage CFlexTreeCtrl::CheckImagesPicture() {
    constexpr int s = kImageSize;
    QImage image(4 * s, s, QImage::Format_RGB32);
    image.fill(QColor(0x80, 0x00, 0x80));  // the mask colour
    QPainter painter(&image);
    for (int cell = 1; cell <= 3; ++cell) {
        const int x = cell * s;
        const QRect box(x + 1, 1, s - 3, s - 3);
        painter.fillRect(box, Qt::white);
        painter.setPen(QColor(28, 81, 128));
        painter.drawRect(box);
        if (cell == 2) {
            QPen tick(QColor(33, 161, 33), 2);
            painter.setPen(tick);
            painter.drawLine(x + 4, 7, x + 6, 10);
            painter.drawLine(x + 6, 10, x + 11, 4);
        } else if (cell == 3) {
            painter.fillRect(QRect(x + 4, 4, s - 8, s - 8), QColor(33, 161, 33));
        }
    }
    return image;
}

void CFlexTreeCtrl::InitCheckImages() {
    images_ = std::make_unique<CImageList>();
    images_->Create(kImageSize, kImageSize, ILC_COLOR24 | ILC_MASK, 4, 0);
    CBitmap bitmap;
    bitmap.CreateFromImage(CheckImagesPicture());
    images_->Add(&bitmap, kMaskColor);
    SendMessage(TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(images_.get()));
}

BOOL CFlexTreeCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    if (!CWnd::Create("SysTreeView32", "", style | WS_CHILD, rect, parent, id)) return FALSE;
    InitCheckImages();
    return TRUE;
}

BOOL CFlexTreeCtrl::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!CWnd::SubclassDlgItem(id, parent)) return FALSE;
    InitCheckImages();
    return TRUE;
}

HTREEITEM CFlexTreeCtrl::InsertItem(const std::string& text, HTREEITEM parent, HTREEITEM after) {
    std::string copy = text;
    TVINSERTSTRUCT insert;
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_STATE;
    insert.item.pszText = copy.data();
    insert.item.state = INDEXTOSTATEIMAGEMASK(1);
    insert.item.stateMask = TVIS_STATEIMAGEMASK;
    return static_cast<HTREEITEM>(
        SendMessage(TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&insert)));
}

HTREEITEM CFlexTreeCtrl::Next(WPARAM code, HTREEITEM item) const {
    return static_cast<HTREEITEM>(
        ::SendMessage(m_hWnd, TVM_GETNEXTITEM, code, static_cast<LPARAM>(item)));
}

int CFlexTreeCtrl::GetCheckImage(HTREEITEM item) const {
    const UINT state = static_cast<UINT>(
        ::SendMessage(m_hWnd, TVM_GETITEMSTATE, item, static_cast<LPARAM>(TVIS_STATEIMAGEMASK)));
    const int image = static_cast<int>((state & TVIS_STATEIMAGEMASK) >> 12);
    return image >= 1 && image <= 3 ? image - 1 : kUnchecked;
}

void CFlexTreeCtrl::SetState(HTREEITEM item, int state) {
    TVITEM tv;
    tv.mask = TVIF_STATE | TVIF_HANDLE;
    tv.hItem = item;
    tv.state = INDEXTOSTATEIMAGEMASK(static_cast<UINT>(state + 1));
    tv.stateMask = TVIS_STATEIMAGEMASK;
    SendMessage(TVM_SETITEM, 0, reinterpret_cast<LPARAM>(&tv));
}

void CFlexTreeCtrl::SetDescendants(HTREEITEM item, int state) {
    for (HTREEITEM child = Next(TVGN_CHILD, item); child; child = Next(TVGN_NEXT, child)) {
        SetState(child, state);
        SetDescendants(child, state);
    }
}

void CFlexTreeCtrl::RecomputeAncestors(HTREEITEM item) {
    for (HTREEITEM parent = Next(TVGN_PARENT, item); parent; parent = Next(TVGN_PARENT, parent)) {
        bool allChecked = true;
        bool allUnchecked = true;
        for (HTREEITEM child = Next(TVGN_CHILD, parent); child; child = Next(TVGN_NEXT, child)) {
            const int state = GetCheckImage(child);
            allChecked = allChecked && state == kChecked;
            allUnchecked = allUnchecked && state == kUnchecked;
        }
        SetState(parent, allUnchecked ? kUnchecked : allChecked ? kChecked : kPartly);
    }
}

void CFlexTreeCtrl::SetCheckImage(HTREEITEM item, int state) {
    if (!m_hWnd || !item) return;
    if (state < kUnchecked || state > kPartly) state = kUnchecked;
    SetState(item, state);
    SetDescendants(item, state == kChecked ? kChecked : kUnchecked);
    RecomputeAncestors(item);
}

void CFlexTreeCtrl::OnLButtonDown(UINT flags, POINT point) {
    TVHITTESTINFO hit;
    hit.pt = point;
    SendMessage(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.hItem && (hit.flags & TVHT_ONITEMSTATEICON)) {
        // The click is handled here: the tree's own check stepping does not run.
        SetCheckImage(hit.hItem, GetCheckImage(hit.hItem) == kChecked ? kUnchecked : kChecked);
        return;
    }
    CWnd::OnLButtonDown(flags, point);
}
