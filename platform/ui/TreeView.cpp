// The "SysTreeView32" window class: an owner-painted widget holding the items by handle, with
// the selection, expansion, hit testing and the notifications of the system tree control.
#include "platform/ui/TreeView.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>
#include <unordered_map>

#include "platform/core/Encoding.h"
#include "platform/ui/DateTimePicker.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/TabControl.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"
#include "platform/ui/WindowLayer.h"
#include "platform/ui/WindowTable.h"

namespace platform::ui {
namespace {

constexpr int kIndent = 19;
constexpr int kCheckSize = 13;  // the drawn check box when no state image list is set
constexpr int kButtonSize = 9;
constexpr HTREEITEM kRootNode = 0;  // the invisible parent of the top-level items

// Texts sort as the system's case-blind comparison does: ASCII letters folded, the rest in
// GBK order.
int CompareItemTexts(const std::string& a, const std::string& b) {
    std::string la(a), lb(b);
    std::transform(la.begin(), la.end(), la.begin(), AsciiToLower);
    std::transform(lb.begin(), lb.end(), lb.begin(), AsciiToLower);
    return CompareGbkOrder(la, lb);
}

UINT StateImageOf(UINT state) { return (state & TVIS_STATEIMAGEMASK) >> 12; }

struct TreeNode {
    HTREEITEM parent = kRootNode;
    std::vector<HTREEITEM> children;
    std::string text;
    int image = 0;
    int selectedImage = 0;
    UINT state = 0;  // every state bit except TVIS_SELECTED, which follows the caret
    LPARAM lParam = 0;
    int cChildren = -2;  // -2: never set, the children are counted
    bool deleting = false;
};

// Where the parts of one visible row lie (client coordinates).
struct RowLayout {
    int row = -1;  // index among the visible rows
    int level = 0;
    QRect bounds;  // the whole row
    QRect button;  // the slot left of the item holding its button and lines
    QRect stateIcon, icon, label;
};

class TreeWidget : public QWidget {
public:
    explicit TreeWidget(QWidget* parent) : QWidget(parent), scroll_(new QScrollBar(this)) {
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_OpaquePaintEvent);
        nodes_[kRootNode];
        scroll_->hide();
        QObject::connect(scroll_, &QScrollBar::valueChanged, this, [this](int value) {
            top_ = value;
            update();
        });
    }

    DWORD style = 0;

    // ---- class messages ---------------------------------------------------------------------
    HTREEITEM Insert(const TVINSERTSTRUCT& insert) {
        HTREEITEM parent = insert.hParent == TVI_ROOT ? kRootNode : insert.hParent;
        auto parentIt = nodes_.find(parent);
        if (parentIt == nodes_.end() || parentIt->second.deleting || next_ >= TVI_ROOT) return 0;
        TreeNode node;
        node.parent = parent;
        const TVITEM& item = insert.item;
        if ((item.mask & TVIF_TEXT) && item.pszText && item.pszText != LPSTR_TEXTCALLBACK)
            node.text = item.pszText;
        if (item.mask & TVIF_IMAGE) node.image = item.iImage;
        if (item.mask & TVIF_SELECTEDIMAGE) node.selectedImage = item.iSelectedImage;
        if (item.mask & TVIF_STATE)
            node.state = item.state & item.stateMask & ~static_cast<UINT>(TVIS_SELECTED);
        if (item.mask & TVIF_PARAM) node.lParam = item.lParam;
        if (item.mask & TVIF_CHILDREN) node.cChildren = item.cChildren;
        if ((style & TVS_CHECKBOXES) && StateImageOf(node.state) == 0)
            node.state |= INDEXTOSTATEIMAGEMASK(1);

        std::vector<HTREEITEM>& siblings = nodes_[parent].children;
        size_t at = siblings.size();
        if (insert.hInsertAfter == TVI_FIRST) {
            at = 0;
        } else if (insert.hInsertAfter == TVI_SORT) {
            at = 0;
            while (at < siblings.size() &&
                   CompareItemTexts(nodes_[siblings[at]].text, node.text) <= 0)
                ++at;
        } else if (insert.hInsertAfter != TVI_LAST && insert.hInsertAfter != 0) {
            auto after = std::find(siblings.begin(), siblings.end(), insert.hInsertAfter);
            if (after != siblings.end()) at = static_cast<size_t>(after - siblings.begin()) + 1;
        }
        const HTREEITEM handle = next_++;
        siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(at), handle);
        nodes_[handle] = std::move(node);
        Changed();
        return handle;
    }

    BOOL Delete(HTREEITEM item) {
        if (item == TVI_ROOT || item == kRootNode) {
            // Emptying the tree drops the selection without asking.
            caret_ = 0;
            dropHilite_ = 0;
            for (HTREEITEM child : std::vector<HTREEITEM>(nodes_[kRootNode].children))
                if (!DeleteSubtree(child)) return FALSE;
            top_ = 0;
            Changed();
            return TRUE;
        }
        if (!Exists(item)) return FALSE;
        if (caret_ && IsWithin(caret_, item)) {
            // The selection moves off the doomed items first, as a program change.
            const TreeNode& node = nodes_[item];
            const auto& siblings = nodes_[node.parent].children;
            auto at = std::find(siblings.begin(), siblings.end(), item);
            HTREEITEM successor = at + 1 != siblings.end() ? *(at + 1)
                                  : at != siblings.begin() ? *(at - 1)
                                                           : node.parent;
            QPointer<TreeWidget> alive(this);
            Select(successor, TVC_UNKNOWN);
            if (!alive) return FALSE;
            if (caret_ && IsWithin(caret_, item)) caret_ = 0;
            if (!Exists(item)) return TRUE;
        }
        if (dropHilite_ && IsWithin(dropHilite_, item)) dropHilite_ = 0;
        BOOL done = DeleteSubtree(item) ? TRUE : FALSE;
        Changed();
        return done;
    }

    BOOL Expand(HTREEITEM item, WPARAM code, bool byUser) {
        if (!Exists(item)) return FALSE;
        TreeNode& node = nodes_[item];
        const bool expanded = node.state & TVIS_EXPANDED;
        WPARAM action = code & TVE_TOGGLE;
        if (action == TVE_TOGGLE) action = expanded ? TVE_COLLAPSE : TVE_EXPAND;
        if (action == TVE_EXPAND && !HasChildren(node)) return FALSE;
        if (action == 0 || (action == TVE_EXPAND) == expanded) return action != 0 ? TRUE : FALSE;
        QPointer<TreeWidget> alive(this);
        if (byUser) {
            NMTREEVIEW nm;
            nm.action = static_cast<UINT>(action);
            nm.itemNew = ItemInfo(item);
            if (SendNotify(Handle(), TVN_ITEMEXPANDING, &nm.hdr) != 0) return FALSE;
            if (!alive || !Exists(item)) return FALSE;
        }
        TreeNode& changed = nodes_[item];
        if (action == TVE_EXPAND) {
            changed.state |= TVIS_EXPANDED | TVIS_EXPANDEDONCE;
        } else {
            changed.state &= ~static_cast<UINT>(TVIS_EXPANDED);
            if (caret_ && caret_ != item && IsWithin(caret_, item)) {
                Select(item, TVC_UNKNOWN);
                if (!alive) return FALSE;
            }
            if (code & TVE_COLLAPSERESET) {
                for (HTREEITEM child : std::vector<HTREEITEM>(nodes_[item].children))
                    DeleteSubtree(child);
                if (Exists(item)) nodes_[item].state &= ~static_cast<UINT>(TVIS_EXPANDEDONCE);
            }
        }
        Changed();
        if (byUser && Exists(item)) {
            NMTREEVIEW nm;
            nm.action = static_cast<UINT>(action);
            nm.itemNew = ItemInfo(item);
            SendNotify(Handle(), TVN_ITEMEXPANDED, &nm.hdr);
        }
        return TRUE;
    }

    // Moves the caret; the parent may refuse with TVN_SELCHANGING. Collapsed parents of the
    // new item open as if the user had opened them.
    bool Select(HTREEITEM item, UINT action) {
        if (item != 0 && !Exists(item)) return false;
        if (item == caret_) return true;
        QPointer<TreeWidget> alive(this);
        NMTREEVIEW nm;
        nm.action = action;
        nm.itemOld = ItemInfo(caret_);
        nm.itemNew = ItemInfo(item);
        if (SendNotify(Handle(), TVN_SELCHANGING, &nm.hdr) != 0) return false;
        if (!alive || (item != 0 && !Exists(item))) return false;
        const HTREEITEM old = Exists(caret_) ? caret_ : 0;
        caret_ = item;
        if (item) EnsureVisible(item);
        if (!alive) return false;
        update();
        NMTREEVIEW done;
        done.action = action;
        done.itemOld = ItemInfo(old);
        done.itemNew = ItemInfo(caret_);
        SendNotify(Handle(), TVN_SELCHANGED, &done.hdr);
        return true;
    }

    BOOL SelectByCode(WPARAM code, HTREEITEM item) {
        switch (code) {
            case TVGN_CARET:
                return Select(item, TVC_UNKNOWN) ? TRUE : FALSE;
            case TVGN_DROPHILITE:
                if (item && !Exists(item)) return FALSE;
                dropHilite_ = item;
                update();
                return TRUE;
            case TVGN_FIRSTVISIBLE: {
                if (!Exists(item)) return FALSE;
                EnsureVisible(item);
                const std::vector<HTREEITEM> rows = VisibleRows();
                auto at = std::find(rows.begin(), rows.end(), item);
                if (at == rows.end()) return FALSE;
                top_ = static_cast<int>(at - rows.begin());
                Changed();
                return TRUE;
            }
            default:
                return FALSE;
        }
    }

    HTREEITEM Next(WPARAM code, HTREEITEM item) const {
        const std::vector<HTREEITEM> rows =
            code >= TVGN_FIRSTVISIBLE ? VisibleRows() : std::vector<HTREEITEM>();
        auto rowOf = [&rows](HTREEITEM h) { return std::find(rows.begin(), rows.end(), h); };
        switch (code) {
            case TVGN_ROOT:
                return FirstChild(kRootNode);
            case TVGN_CHILD:
                return FirstChild(item == TVI_ROOT ? kRootNode : item);
            case TVGN_NEXT:
            case TVGN_PREVIOUS: {
                if (!Exists(item)) return 0;
                const auto& siblings = nodes_.at(nodes_.at(item).parent).children;
                auto at = std::find(siblings.begin(), siblings.end(), item);
                if (code == TVGN_NEXT) return at + 1 != siblings.end() ? *(at + 1) : 0;
                return at != siblings.begin() ? *(at - 1) : 0;
            }
            case TVGN_PARENT:
                return Exists(item) ? nodes_.at(item).parent : 0;
            case TVGN_CARET:
                return caret_;
            case TVGN_DROPHILITE:
                return dropHilite_;
            case TVGN_FIRSTVISIBLE:
                return top_ < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(top_)] : 0;
            case TVGN_LASTVISIBLE:
                return rows.empty() ? 0 : rows.back();
            case TVGN_NEXTVISIBLE: {
                auto at = rowOf(item);
                return at != rows.end() && at + 1 != rows.end() ? *(at + 1) : 0;
            }
            case TVGN_PREVIOUSVISIBLE: {
                auto at = rowOf(item);
                return at != rows.end() && at != rows.begin() ? *(at - 1) : 0;
            }
            default:
                return 0;
        }
    }

    BOOL GetItem(TVITEM* item) const {
        if (!item || !Exists(item->hItem)) return FALSE;
        const TreeNode& node = nodes_.at(item->hItem);
        if (item->mask & TVIF_TEXT) CopyTextToBuffer(node.text, item->pszText, item->cchTextMax);
        if (item->mask & TVIF_IMAGE) item->iImage = node.image;
        if (item->mask & TVIF_SELECTEDIMAGE) item->iSelectedImage = node.selectedImage;
        if (item->mask & TVIF_STATE) item->state = StateOf(item->hItem) & item->stateMask;
        if (item->mask & TVIF_PARAM) item->lParam = node.lParam;
        if (item->mask & TVIF_CHILDREN) item->cChildren = HasChildren(node) ? 1 : 0;
        return TRUE;
    }

    BOOL SetItem(const TVITEM* item) {
        if (!item || !Exists(item->hItem)) return FALSE;
        TreeNode& node = nodes_[item->hItem];
        if ((item->mask & TVIF_TEXT) && item->pszText && item->pszText != LPSTR_TEXTCALLBACK)
            node.text = item->pszText;
        if (item->mask & TVIF_IMAGE) node.image = item->iImage;
        if (item->mask & TVIF_SELECTEDIMAGE) node.selectedImage = item->iSelectedImage;
        if (item->mask & TVIF_STATE) {
            const UINT mask = item->stateMask & ~static_cast<UINT>(TVIS_SELECTED);
            node.state = (node.state & ~mask) | (item->state & mask);
        }
        if (item->mask & TVIF_PARAM) node.lParam = item->lParam;
        if (item->mask & TVIF_CHILDREN) node.cChildren = item->cChildren;
        Changed();
        return TRUE;
    }

    UINT StateOf(HTREEITEM item) const {
        if (!Exists(item)) return 0;
        UINT state = nodes_.at(item).state;
        if (item == caret_) state |= TVIS_SELECTED;
        if (item == dropHilite_) state |= TVIS_DROPHILITED;
        return state;
    }

    size_t Count() const { return nodes_.size() - 1; }

    // The handle arrives in the rectangle's first field and the answer replaces it.
    BOOL ItemRect(bool labelOnly, RECT* rect) const {
        if (!rect) return FALSE;
        const auto item = static_cast<HTREEITEM>(rect->left);
        RowLayout layout;
        if (!LayoutOf(item, &layout)) return FALSE;
        const QRect r = labelOnly ? layout.label : layout.bounds;
        *rect = RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
        return TRUE;
    }

    HTREEITEM HitTest(TVHITTESTINFO* info) const {
        if (!info) return 0;
        info->hItem = 0;
        const int x = info->pt.x, y = info->pt.y;
        info->flags = 0;
        if (y < 0) info->flags |= TVHT_ABOVE;
        if (y >= height()) info->flags |= TVHT_BELOW;
        if (x < 0) info->flags |= TVHT_TOLEFT;
        if (x >= ClientWidth()) info->flags |= TVHT_TORIGHT;
        if (info->flags) return 0;
        const std::vector<HTREEITEM> rows = VisibleRows();
        const size_t row = static_cast<size_t>(top_ + y / RowHeight());
        if (row >= rows.size()) {
            info->flags = TVHT_NOWHERE;
            return 0;
        }
        RowLayout layout;
        LayoutOf(rows[row], &layout);
        info->hItem = rows[row];
        const QPoint at(x, y);
        if (layout.label.contains(at))
            info->flags = TVHT_ONITEMLABEL;
        else if (layout.icon.contains(at))
            info->flags = TVHT_ONITEMICON;
        else if (layout.stateIcon.contains(at))
            info->flags = TVHT_ONITEMSTATEICON;
        else if (layout.button.contains(at) && (style & TVS_HASBUTTONS) &&
                 HasChildren(nodes_.at(rows[row])))
            info->flags = TVHT_ONITEMBUTTON;
        else if (x >= layout.label.right())
            info->flags = TVHT_ONITEMRIGHT;
        else
            info->flags = TVHT_ONITEMINDENT;
        return info->hItem;
    }

    // Opens the collapsed parents (telling the parent window of each) and scrolls the item
    // into view; nonzero when it scrolled.
    BOOL EnsureVisible(HTREEITEM item) {
        if (!Exists(item)) return FALSE;
        std::vector<HTREEITEM> chain;
        for (HTREEITEM up = nodes_[item].parent; up != kRootNode; up = nodes_[up].parent)
            chain.push_back(up);
        QPointer<TreeWidget> alive(this);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            if (!Exists(*it) || (nodes_[*it].state & TVIS_EXPANDED)) continue;
            Expand(*it, TVE_EXPAND, true);
            if (!alive) return FALSE;
        }
        const std::vector<HTREEITEM> rows = VisibleRows();
        auto at = std::find(rows.begin(), rows.end(), item);
        if (at == rows.end()) return FALSE;
        const int row = static_cast<int>(at - rows.begin());
        const int oldTop = top_;
        if (row < top_) top_ = row;
        if (row >= top_ + PageRows()) top_ = row - PageRows() + 1;
        Changed();
        return top_ != oldTop ? TRUE : FALSE;
    }

    BOOL SortChildren(HTREEITEM parent, bool recurse) {
        if (parent == TVI_ROOT) parent = kRootNode;
        if (!nodes_.count(parent)) return FALSE;
        std::vector<HTREEITEM>& children = nodes_[parent].children;
        std::stable_sort(children.begin(), children.end(), [this](HTREEITEM a, HTREEITEM b) {
            return CompareItemTexts(nodes_[a].text, nodes_[b].text) < 0;
        });
        if (recurse)
            for (HTREEITEM child : children) SortChildren(child, true);
        Changed();
        return TRUE;
    }

    CImageList* SetImageList(WPARAM which, CImageList* list) {
        CImageList*& slot = which == TVSIL_STATE ? stateImages_ : images_;
        CImageList* old = slot;
        slot = list;
        Changed();
        return old;
    }
    CImageList* ImageList(WPARAM which) const {
        return which == TVSIL_STATE ? stateImages_ : images_;
    }

    int RowHeight() const {
        if (itemHeight_ > 0) return itemHeight_;
        int h = fontMetrics().height() + 3;
        int cx = 0, cy = 0;
        if (images_ && images_->GetIconSize(&cx, &cy)) h = std::max(h, cy);
        if (stateImages_ && stateImages_->GetIconSize(&cx, &cy)) h = std::max(h, cy);
        return std::max(h, kCheckSize + 2);
    }
    int PageRows() const { return std::max(1, height() / RowHeight()); }
    // TVM_SETITEMHEIGHT: the previous height; -1 (or less than 1) goes back to the measured one.
    int SetItemHeight(int height) {
        const int old = RowHeight();
        itemHeight_ = height > 0 ? height : -1;
        Changed();
        return old;
    }
    // TVM_SETBKCOLOR: the previous colour, CLR_NONE (-1) for the system window colour.
    COLORREF SetBkColor(COLORREF color) {
        const COLORREF old = bkColor_;
        bkColor_ = color;
        update();
        return old;
    }
    COLORREF BkColor() const { return bkColor_; }

    // The keys of the tree: arrows walk and open, space flips a check box.
    bool Key(int vk) {
        NMTVKEYDOWN nm;
        nm.wVKey = static_cast<WORD>(vk);
        QPointer<TreeWidget> alive(this);
        SendNotify(Handle(), TVN_KEYDOWN, &nm.hdr);
        if (!alive) return true;
        const std::vector<HTREEITEM> rows = VisibleRows();
        if (rows.empty()) return false;
        auto at = std::find(rows.begin(), rows.end(), caret_);
        const int row = at == rows.end() ? -1 : static_cast<int>(at - rows.begin());
        const int last = static_cast<int>(rows.size()) - 1;
        auto go = [&](int to) {
            Select(rows[static_cast<size_t>(std::clamp(to, 0, last))], TVC_BYKEYBOARD);
        };
        switch (vk) {
            case VK_UP:
                go(row < 0 ? 0 : row - 1);
                return true;
            case VK_DOWN:
                go(row + 1);
                return true;
            case VK_HOME:
                go(0);
                return true;
            case VK_END:
                go(last);
                return true;
            case VK_PRIOR:
                go(row - (PageRows() - 1));
                return true;
            case VK_NEXT:
                go(row + (PageRows() - 1));
                return true;
            case VK_LEFT:
                if (!caret_) return true;
                if ((nodes_[caret_].state & TVIS_EXPANDED) && HasChildren(nodes_[caret_]))
                    Expand(caret_, TVE_COLLAPSE, true);
                else if (nodes_[caret_].parent != kRootNode)
                    Select(nodes_[caret_].parent, TVC_BYKEYBOARD);
                return true;
            case VK_RIGHT:
                if (!caret_ || !HasChildren(nodes_[caret_])) return true;
                if (!(nodes_[caret_].state & TVIS_EXPANDED))
                    Expand(caret_, TVE_EXPAND, true);
                else if (HTREEITEM child = FirstChild(caret_))
                    Select(child, TVC_BYKEYBOARD);
                return true;
            case VK_ADD:
                if (caret_) Expand(caret_, TVE_EXPAND, true);
                return true;
            case VK_SUBTRACT:
                if (caret_) Expand(caret_, TVE_COLLAPSE, true);
                return true;
            case VK_SPACE:
                if (caret_ && (style & TVS_CHECKBOXES)) StepStateImage(caret_);
                return true;
            default:
                return false;
        }
    }

protected:
    void resizeEvent(QResizeEvent*) override { Changed(); }
    void focusInEvent(QFocusEvent*) override { update(); }
    void focusOutEvent(QFocusEvent*) override { update(); }
    void wheelEvent(QWheelEvent* event) override {
        top_ -= event->angleDelta().y() / 40;
        Changed();
    }

    void mousePressEvent(QMouseEvent* event) override {
        TVHITTESTINFO hit;
        hit.pt = POINT{event->position().toPoint().x(), event->position().toPoint().y()};
        HitTest(&hit);
        if (event->button() == Qt::RightButton) {
            pressButton_ = Qt::RightButton;
            return;
        }
        if (event->button() != Qt::LeftButton) return;
        setFocus(Qt::MouseFocusReason);
        if (hit.hItem && (hit.flags & TVHT_ONITEMBUTTON)) {
            // The button opens or closes at once; such a press is no click.
            Expand(hit.hItem, TVE_TOGGLE, true);
            return;
        }
        pressButton_ = Qt::LeftButton;
        pressHit_ = hit;
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != pressButton_) return;
        pressButton_ = Qt::NoButton;
        QPointer<TreeWidget> alive(this);
        NMHDR nm;
        if (event->button() == Qt::RightButton) {
            if (SendNotify(Handle(), NM_RCLICK, &nm) == 0 && alive) {
                const QPoint global = event->globalPosition().toPoint();
                ::SendMessage(
                    Handle(), WM_CONTEXTMENU, static_cast<WPARAM>(Handle()),
                    MAKELPARAM(static_cast<WORD>(global.x()), static_cast<WORD>(global.y())));
            }
            return;
        }
        // A parent that answers NM_CLICK with nonzero has handled the click itself.
        if (SendNotify(Handle(), NM_CLICK, &nm) != 0 || !alive) return;
        const HTREEITEM item = pressHit_.hItem;
        if (!Exists(item)) return;
        const UINT flags = pressHit_.flags;
        const bool fullRow =
            (style & TVS_FULLROWSELECT) && (flags & (TVHT_ONITEMRIGHT | TVHT_ONITEMINDENT));
        if ((flags & (TVHT_ONITEMLABEL | TVHT_ONITEMICON)) || fullRow)
            Select(item, TVC_BYMOUSE);
        else if ((flags & TVHT_ONITEMSTATEICON) && (style & TVS_CHECKBOXES))
            StepStateImage(item);
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        TVHITTESTINFO hit;
        hit.pt = POINT{event->position().toPoint().x(), event->position().toPoint().y()};
        HitTest(&hit);
        if (hit.flags & TVHT_ONITEMBUTTON) {
            Expand(hit.hItem, TVE_TOGGLE, true);
            return;
        }
        QPointer<TreeWidget> alive(this);
        NMHDR nm;
        if (SendNotify(Handle(), NM_DBLCLK, &nm) != 0 || !alive) return;
        if (hit.hItem && (hit.flags & (TVHT_ONITEMLABEL | TVHT_ONITEMICON)))
            Expand(hit.hItem, TVE_TOGGLE, true);
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), ToQColor(Background()));
        const std::vector<HTREEITEM> rows = VisibleRows();
        const int rowHeight = RowHeight();
        QPointer<TreeWidget> alive(this);
        NMTVCUSTOMDRAW draw;
        draw.nmcd.dwDrawStage = CDDS_PREPAINT;
        draw.nmcd.rc = RECT{0, 0, width(), height()};
        const bool perItem =
            (SendNotify(Handle(), NM_CUSTOMDRAW, &draw.nmcd.hdr) & CDRF_NOTIFYITEMDRAW) != 0;
        if (!alive) return;
        for (size_t row = static_cast<size_t>(std::max(top_, 0));
             row < rows.size() && (static_cast<int>(row) - top_) * rowHeight < height(); ++row)
            PaintRow(painter, rows[row], perItem);
    }

private:
    HWND Handle() const { return WindowOf(this); }
    bool Exists(HTREEITEM item) const {
        auto it = nodes_.find(item);
        return item != kRootNode && it != nodes_.end() && !it->second.deleting;
    }
    bool HasChildren(const TreeNode& node) const {
        return node.cChildren == -2 ? !node.children.empty()
                                    : node.cChildren != 0 || !node.children.empty();
    }
    HTREEITEM FirstChild(HTREEITEM item) const {
        auto it = nodes_.find(item);
        return it == nodes_.end() || it->second.children.empty() ? 0 : it->second.children.front();
    }
    bool IsWithin(HTREEITEM item, HTREEITEM ancestor) const {
        for (HTREEITEM up = item; up != kRootNode && nodes_.count(up); up = nodes_.at(up).parent)
            if (up == ancestor) return true;
        return false;
    }

    TVITEM ItemInfo(HTREEITEM item) const {
        TVITEM info;
        if (!Exists(item)) return info;
        info.mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM;
        info.hItem = item;
        info.state = StateOf(item);
        info.stateMask = 0xFFFF;
        info.lParam = nodes_.at(item).lParam;
        return info;
    }

    // The parent hears of each item going, parents before their children, while the item and
    // its data are still there.
    bool DeleteSubtree(HTREEITEM item) {
        if (!Exists(item)) return false;
        QPointer<TreeWidget> alive(this);
        NMTREEVIEW nm;
        nm.itemOld.mask = TVIF_HANDLE | TVIF_PARAM;
        nm.itemOld.hItem = item;
        nm.itemOld.lParam = nodes_[item].lParam;
        nodes_[item].deleting = true;
        SendNotify(Handle(), TVN_DELETEITEM, &nm.hdr);
        if (!alive) return false;
        for (HTREEITEM child : std::vector<HTREEITEM>(nodes_[item].children)) {
            DeleteSubtree(child);
            if (!alive) return false;
        }
        auto it = nodes_.find(item);
        if (it == nodes_.end()) return true;
        auto& siblings = nodes_[it->second.parent].children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), item), siblings.end());
        nodes_.erase(item);
        if (caret_ == item) caret_ = 0;
        if (dropHilite_ == item) dropHilite_ = 0;
        return true;
    }

    void StepStateImage(HTREEITEM item) {
        const int images = stateImages_ ? stateImages_->GetImageCount() - 1 : 2;
        if (images < 1) return;
        TreeNode& node = nodes_[item];
        const UINT next = StateImageOf(node.state) % static_cast<UINT>(images) + 1;
        node.state = (node.state & ~TVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(next);
        update();
    }

    std::vector<HTREEITEM> VisibleRows() const {
        std::vector<HTREEITEM> rows;
        AppendVisible(kRootNode, &rows);
        return rows;
    }
    void AppendVisible(HTREEITEM parent, std::vector<HTREEITEM>* rows) const {
        for (HTREEITEM child : nodes_.at(parent).children) {
            rows->push_back(child);
            if (nodes_.at(child).state & TVIS_EXPANDED) AppendVisible(child, rows);
        }
    }
    int Depth(HTREEITEM item) const {
        int depth = 0;
        for (HTREEITEM up = nodes_.at(item).parent; up != kRootNode; up = nodes_.at(up).parent)
            ++depth;
        return depth;
    }
    int ClientWidth() const { return width() - (scroll_->isVisible() ? scroll_->width() : 0); }

    bool LayoutOf(HTREEITEM item, RowLayout* layout) const {
        if (!Exists(item)) return false;
        const std::vector<HTREEITEM> rows = VisibleRows();
        auto at = std::find(rows.begin(), rows.end(), item);
        if (at == rows.end()) return false;
        const TreeNode& node = nodes_.at(item);
        const int h = RowHeight();
        layout->row = static_cast<int>(at - rows.begin());
        layout->level = Depth(item) + ((style & TVS_LINESATROOT) ? 1 : 0);
        const int y = (layout->row - top_) * h;
        int x = layout->level * kIndent;
        layout->bounds = QRect(0, y, ClientWidth(), h);
        layout->button = layout->level > 0 ? QRect(x - kIndent, y, kIndent, h) : QRect();
        int cx = 0, cy = 0;
        if (StateImageOf(node.state) != 0 && (stateImages_ || (style & TVS_CHECKBOXES))) {
            const int w = stateImages_ && stateImages_->GetIconSize(&cx, &cy) ? cx : kCheckSize;
            layout->stateIcon = QRect(x, y, w, h);
            x += w;
        }
        if (images_ && images_->GetIconSize(&cx, &cy)) {
            layout->icon = QRect(x, y, cx, h);
            x += cx + 1;
        }
        QFont font = this->font();
        font.setBold(node.state & TVIS_BOLD);
        const int textWidth =
            QFontMetrics(font).horizontalAdvance(QString::fromStdString(node.text));
        layout->label = QRect(x, y, textWidth + 6, h);
        return true;
    }

    COLORREF Background() const {
        return bkColor_ == CLR_NONE ? GetSysColor(COLOR_WINDOW) : bkColor_;
    }

    // The label colours of an item; the parent may change them when it asked to draw items.
    void LabelColors(HTREEITEM item, const RowLayout& layout, bool selected, bool askParent,
                     COLORREF* text, COLORREF* back) {
        if (!askParent) return;
        NMTVCUSTOMDRAW draw;
        draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
        const QRect& b = layout.bounds;
        draw.nmcd.rc = RECT{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
        draw.nmcd.dwItemSpec = item;
        draw.nmcd.uItemState =
            (selected ? CDIS_SELECTED : 0u) | (item == caret_ && hasFocus() ? CDIS_FOCUS : 0u);
        draw.nmcd.lItemlParam = nodes_.at(item).lParam;
        draw.clrText = *text;
        draw.clrTextBk = *back;
        draw.iLevel = layout.level;
        SendNotify(Handle(), NM_CUSTOMDRAW, &draw.nmcd.hdr);
        *text = draw.clrText;
        *back = draw.clrTextBk;
    }

    void PaintRow(QPainter& painter, HTREEITEM item, bool askParent) {
        RowLayout layout;
        if (!LayoutOf(item, &layout)) return;
        const TreeNode& node = nodes_.at(item);
        const QRect& b = layout.bounds;
        const int mid = b.top() + b.height() / 2;
        const bool selected = item == caret_ || item == dropHilite_;
        const bool showSelection =
            selected && (hasFocus() || item == dropHilite_ || (style & TVS_SHOWSELALWAYS));
        const QColor selectionFill = ToQColor(
            GetSysColor(hasFocus() || item == dropHilite_ ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
        if (showSelection && (style & TVS_FULLROWSELECT)) painter.fillRect(b, selectionFill);

        if ((style & TVS_HASLINES) && !(style & TVS_FULLROWSELECT) && layout.level > 0) {
            QPen pen(ToQColor(GetSysColor(COLOR_BTNSHADOW)), 1, Qt::DotLine);
            painter.setPen(pen);
            const int cx = layout.button.center().x();
            const bool hasNext = Next(TVGN_NEXT, item) != 0;
            const bool hasPrevious = node.parent != kRootNode || Next(TVGN_PREVIOUS, item) != 0;
            painter.drawLine(cx, hasPrevious ? b.top() : mid, cx, hasNext ? b.bottom() : mid);
            painter.drawLine(cx, mid, layout.button.right(), mid);
            int slot = layout.level - 1;
            for (HTREEITEM up = node.parent; up != kRootNode; up = nodes_.at(up).parent) {
                --slot;
                if (slot < 0) break;
                if (Next(TVGN_NEXT, up)) {
                    const int ux = slot * kIndent + kIndent / 2;
                    painter.drawLine(ux, b.top(), ux, b.bottom());
                }
            }
        }
        if ((style & TVS_HASBUTTONS) && layout.level > 0 && HasChildren(node)) {
            const QRect box(layout.button.center().x() - kButtonSize / 2, mid - kButtonSize / 2,
                            kButtonSize - 1, kButtonSize - 1);
            painter.setPen(ToQColor(GetSysColor(COLOR_BTNSHADOW)));
            painter.fillRect(box, ToQColor(GetSysColor(COLOR_WINDOW)));
            painter.drawRect(box);
            painter.setPen(ToQColor(GetSysColor(COLOR_WINDOWTEXT)));
            painter.drawLine(box.left() + 2, mid, box.right() - 2, mid);
            if (!(node.state & TVIS_EXPANDED))
                painter.drawLine(box.center().x(), box.top() + 2, box.center().x(),
                                 box.bottom() - 2);
        }
        if (!layout.stateIcon.isEmpty()) {
            const UINT index = StateImageOf(node.state);
            if (stateImages_) {
                const QImage image = stateImages_->GetImage(static_cast<int>(index));
                painter.drawImage(layout.stateIcon.left(), mid - image.height() / 2, image);
            } else {
                const QRect box(layout.stateIcon.left(), mid - kCheckSize / 2, kCheckSize - 1,
                                kCheckSize - 1);
                painter.setPen(ToQColor(GetSysColor(COLOR_WINDOWTEXT)));
                painter.fillRect(box,
                                 ToQColor(GetSysColor(index >= 3 ? COLOR_BTNFACE : COLOR_WINDOW)));
                painter.drawRect(box);
                if (index >= 2) {
                    painter.drawLine(box.left() + 3, box.center().y(), box.center().x() - 1,
                                     box.bottom() - 3);
                    painter.drawLine(box.center().x() - 1, box.bottom() - 3, box.right() - 3,
                                     box.top() + 3);
                }
            }
        }
        if (!layout.icon.isEmpty()) {
            const QImage image =
                images_->GetImage(item == caret_ ? node.selectedImage : node.image);
            if (!image.isNull())
                painter.drawImage(layout.icon.left(), mid - image.height() / 2, image);
        }
        QFont font = this->font();
        font.setBold(node.state & TVIS_BOLD);
        painter.setFont(font);
        COLORREF text = GetSysColor(
            showSelection && selectionFill.rgb() == ToQColor(GetSysColor(COLOR_HIGHLIGHT)).rgb()
                ? COLOR_HIGHLIGHTTEXT
                : COLOR_WINDOWTEXT);
        const COLORREF plain = showSelection ? FromQColor(selectionFill) : Background();
        COLORREF back = plain;
        LabelColors(item, layout, showSelection, askParent, &text, &back);
        if ((showSelection && !(style & TVS_FULLROWSELECT)) || back != plain)
            painter.fillRect(layout.label, ToQColor(back));
        painter.setPen(ToQColor(text));
        painter.drawText(layout.label.adjusted(3, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                         QString::fromStdString(node.text));
        if (item == caret_ && hasFocus()) {
            painter.setPen(QPen(ToQColor(GetSysColor(COLOR_WINDOWTEXT)), 1, Qt::DotLine));
            painter.drawRect((style & TVS_FULLROWSELECT ? b : layout.label).adjusted(0, 0, -1, -1));
        }
    }

    // After any change of the rows: the first row stays in range and the scroll bar follows.
    void Changed() {
        const int rows = static_cast<int>(VisibleRows().size());
        const int page = PageRows();
        const int maxTop = std::max(0, rows - page);
        top_ = std::clamp(top_, 0, maxTop);
        const bool needBar = rows > page;
        if (needBar) {
            const int w = scroll_->sizeHint().width();
            scroll_->setGeometry(width() - w, 0, w, height());
            const QSignalBlocker quiet(scroll_);
            scroll_->setRange(0, maxTop);
            scroll_->setPageStep(page);
            scroll_->setValue(top_);
        }
        if (scroll_->isVisibleTo(this) != needBar) scroll_->setVisible(needBar);
        update();
    }

    QScrollBar* scroll_;
    std::unordered_map<HTREEITEM, TreeNode> nodes_;
    HTREEITEM next_ = 1;
    HTREEITEM caret_ = 0;
    HTREEITEM dropHilite_ = 0;
    int top_ = 0;  // the first visible row
    CImageList* images_ = nullptr;
    CImageList* stateImages_ = nullptr;
    int itemHeight_ = -1;          // TVM_SETITEMHEIGHT; -1: measured from the font and images
    COLORREF bkColor_ = CLR_NONE;  // TVM_SETBKCOLOR; CLR_NONE: the system window colour
    Qt::MouseButton pressButton_ = Qt::NoButton;
    TVHITTESTINFO pressHit_;
};

class TreeViewClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD) const override {
        auto* tree = new TreeWidget(parent);
        if (flags) tree->setWindowFlags(flags);
        return tree;
    }
    bool TakesFocus() const override { return true; }
    void ApplyStyle(QWidget* widget, DWORD style) const override {
        auto* tree = static_cast<TreeWidget*>(widget);
        tree->style = style;
        tree->update();
    }
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                      bool* handled) const override {
        auto* tree = static_cast<TreeWidget*>(record.widget);
        tree->style = record.style;
        *handled = true;
        const auto item = static_cast<HTREEITEM>(lParam);
        switch (message) {
            case TVM_INSERTITEM:
                return lParam ? tree->Insert(*reinterpret_cast<const TVINSERTSTRUCT*>(lParam)) : 0;
            case TVM_DELETEITEM:
                return tree->Delete(item);
            case TVM_EXPAND:
                return tree->Expand(item, wParam, false);
            case TVM_GETNEXTITEM:
                return tree->Next(wParam, item);
            case TVM_SELECTITEM:
                return tree->SelectByCode(wParam, item);
            case TVM_GETITEM:
                return tree->GetItem(reinterpret_cast<TVITEM*>(lParam));
            case TVM_SETITEM:
                return tree->SetItem(reinterpret_cast<const TVITEM*>(lParam));
            case TVM_GETITEMSTATE:
                return tree->StateOf(static_cast<HTREEITEM>(wParam)) & static_cast<UINT>(lParam);
            case TVM_GETCOUNT:
                return static_cast<LRESULT>(tree->Count());
            case TVM_GETINDENT:
                return kIndent;
            case TVM_GETITEMHEIGHT:
                return tree->RowHeight();
            case TVM_SETITEMHEIGHT:
                return tree->SetItemHeight(static_cast<int>(static_cast<intptr_t>(wParam)));
            case TVM_SETBKCOLOR:
                return static_cast<LRESULT>(
                    static_cast<int32_t>(tree->SetBkColor(static_cast<COLORREF>(lParam))));
            case TVM_GETBKCOLOR:
                return static_cast<LRESULT>(static_cast<int32_t>(tree->BkColor()));
            case TVM_GETVISIBLECOUNT:
                return tree->PageRows();
            case TVM_HITTEST:
                return tree->HitTest(reinterpret_cast<TVHITTESTINFO*>(lParam));
            case TVM_GETITEMRECT:
                return tree->ItemRect(wParam != 0, reinterpret_cast<RECT*>(lParam));
            case TVM_ENSUREVISIBLE:
                return tree->EnsureVisible(item);
            case TVM_SETIMAGELIST:
                return reinterpret_cast<LRESULT>(
                    tree->SetImageList(wParam, reinterpret_cast<CImageList*>(lParam)));
            case TVM_GETIMAGELIST:
                return reinterpret_cast<LRESULT>(tree->ImageList(wParam));
            case TVM_SORTCHILDREN:
                return tree->SortChildren(item, wParam != 0);
            case WM_KEYDOWN:
                *handled = tree->Key(static_cast<int>(wParam));
                return 0;
            case WM_GETDLGCODE:
                return DLGC_WANTARROWS | DLGC_WANTCHARS;
            default:
                *handled = false;
                return 0;
        }
    }
};

}  // namespace

void AddTreeTabAndDateClasses(
    std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>>& classes) {
    classes.emplace_back("SysTreeView32", std::make_unique<TreeViewClass>());
    classes.emplace_back("SysTabControl32", MakeTabControlClass());
    classes.emplace_back("SysDateTimePick32", MakeDateTimePickerClass());
}

}  // namespace platform::ui
