// "SysHeader32" over a QWidget that draws its items itself.
#include "platform/ui/HeaderCtrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <numeric>

#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowLayer.h"
#include "platform/ui/WindowTable.h"

namespace platform::ui {
namespace {

constexpr int kDividerSlop = 4;  // pixels either side of a divider that grab it
constexpr int kDragStart = 5;    // pixels the mouse moves before a press becomes a drag

}  // namespace

HeaderWidget::HeaderWidget(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

HWND HeaderWidget::Self() const { return WindowTable::Instance().HandleOf(this); }

int HeaderWidget::PreferredHeight() const { return fontMetrics().height() + 6; }

RECT HeaderWidget::ItemRect(int index) const {
    if (index < 0 || index >= Count()) return RECT{};
    int x = 0;
    for (int each : order_) {
        if (each == index) return RECT{x, 0, x + items_[static_cast<size_t>(each)].width, height()};
        x += items_[static_cast<size_t>(each)].width;
    }
    return RECT{};
}

int HeaderWidget::DividerAt(int x) const {
    // The rightmost divider within reach wins, so that zero-width items can be widened again.
    int edge = 0;
    int found = -1;
    for (int each : order_) {
        edge += items_[static_cast<size_t>(each)].width;
        if (std::abs(x - edge) <= kDividerSlop) found = each;
        if (edge > x + kDividerSlop) break;
    }
    return found;
}

int HeaderWidget::ItemAt(int x) const {
    int left = 0;
    for (int each : order_) {
        const int right = left + items_[static_cast<size_t>(each)].width;
        if (x >= left && x < right) return each;
        left = right;
    }
    return -1;
}

int HeaderWidget::PositionAt(int x) const {
    int left = 0;
    for (size_t pos = 0; pos < order_.size(); ++pos) {
        const int width = items_[static_cast<size_t>(order_[pos])].width;
        if (x < left + width / 2) return static_cast<int>(pos);
        left += width;
    }
    return std::max(0, Count() - 1);
}

LRESULT HeaderWidget::Notify(UINT code, int item, HDITEM* pitem, int button) const {
    NMHEADER nm;
    nm.iItem = item;
    nm.iButton = button;
    nm.pitem = pitem;
    return SendNotify(Self(), code, &nm.hdr);
}

int HeaderWidget::Insert(int position, const HDITEM& item) {
    if (position < 0) return -1;
    position = std::min(position, Count());
    Item added;
    if (item.mask & HDI_WIDTH) added.width = std::max(0, item.cxy);
    if ((item.mask & HDI_TEXT) && item.pszText) added.text = item.pszText;
    if (item.mask & HDI_FORMAT) added.fmt = item.fmt;
    if (item.mask & HDI_LPARAM) added.lParam = item.lParam;
    if (item.mask & HDI_IMAGE) added.image = item.iImage;
    items_.insert(items_.begin() + position, added);
    // Indexes at or after the new one move up; the new item goes at its order (or its index).
    for (int& each : order_)
        if (each >= position) ++each;
    int at = (item.mask & HDI_ORDER) ? item.iOrder : position;
    at = std::clamp(at, 0, static_cast<int>(order_.size()));
    order_.insert(order_.begin() + at, position);
    update();
    return position;
}

bool HeaderWidget::Delete(int index) {
    if (index < 0 || index >= Count()) return false;
    items_.erase(items_.begin() + index);
    std::erase(order_, index);
    for (int& each : order_)
        if (each > index) --each;
    update();
    return true;
}

bool HeaderWidget::Get(int index, HDITEM* item) const {
    if (!item || index < 0 || index >= Count()) return false;
    const Item& it = At(index);
    if (item->mask & HDI_WIDTH) item->cxy = it.width;
    if (item->mask & HDI_TEXT) {
        if (item->pszText && item->cchTextMax > 0)
            CopyTextToBuffer(it.text, item->pszText, item->cchTextMax);
    }
    if (item->mask & HDI_FORMAT) item->fmt = it.fmt;
    if (item->mask & HDI_LPARAM) item->lParam = it.lParam;
    if (item->mask & HDI_IMAGE) item->iImage = it.image;
    if (item->mask & HDI_ORDER)
        item->iOrder =
            static_cast<int>(std::find(order_.begin(), order_.end(), index) - order_.begin());
    return true;
}

bool HeaderWidget::Change(int index, const HDITEM& item) {
    if (index < 0 || index >= Count()) return false;
    HDITEM asked = item;
    if (Notify(HDN_ITEMCHANGING, index, &asked)) return false;
    if (index >= Count()) return false;  // the parent removed it meanwhile
    Item& it = items_[static_cast<size_t>(index)];
    if (item.mask & HDI_WIDTH) it.width = std::max(0, item.cxy);
    if (item.mask & HDI_TEXT) it.text = item.pszText ? item.pszText : "";
    if (item.mask & HDI_FORMAT) it.fmt = item.fmt;
    if (item.mask & HDI_LPARAM) it.lParam = item.lParam;
    if (item.mask & HDI_IMAGE) it.image = item.iImage;
    if (item.mask & HDI_ORDER) {
        std::vector<int> order = order_;
        std::erase(order, index);
        order.insert(order.begin() + std::clamp(item.iOrder, 0, static_cast<int>(order.size())),
                     index);
        order_ = std::move(order);
    }
    update();
    HDITEM changed = item;
    Notify(HDN_ITEMCHANGED, index, &changed);
    return true;
}

bool HeaderWidget::SetOrder(const std::vector<int>& order) {
    // Only a permutation of the item indexes is taken.
    if (static_cast<int>(order.size()) != Count()) return false;
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < Count(); ++i)
        if (sorted[static_cast<size_t>(i)] != i) return false;
    order_ = order;
    update();
    return true;
}

LRESULT HeaderWidget::Handle(HWND, UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
    *handled = true;
    const int index = static_cast<int>(wParam);
    switch (message) {
        case HDM_GETITEMCOUNT:
            return Count();
        case HDM_INSERTITEM:
            return lParam ? Insert(index, *reinterpret_cast<const HDITEM*>(lParam)) : -1;
        case HDM_DELETEITEM:
            return Delete(index) ? TRUE : FALSE;
        case HDM_GETITEM:
            return Get(index, reinterpret_cast<HDITEM*>(lParam)) ? TRUE : FALSE;
        case HDM_SETITEM:
            return lParam && Change(index, *reinterpret_cast<const HDITEM*>(lParam)) ? TRUE : FALSE;
        case HDM_GETITEMRECT: {
            if (!lParam || index < 0 || index >= Count()) return FALSE;
            *reinterpret_cast<RECT*>(lParam) = ItemRect(index);
            return TRUE;
        }
        case HDM_LAYOUT: {
            auto* layout = reinterpret_cast<HDLAYOUT*>(lParam);
            if (!layout || !layout->prc || !layout->pwpos) return FALSE;
            RECT& area = *layout->prc;
            const int h = isHidden() ? 0 : PreferredHeight();
            *layout->pwpos =
                WINDOWPOS{Self(), 0, area.left, area.top, area.right - area.left, h, 0};
            area.top += h;
            return TRUE;
        }
        case HDM_HITTEST: {
            auto* info = reinterpret_cast<HDHITTESTINFO*>(lParam);
            if (!info) return -1;
            const int x = info->pt.x;
            const int y = info->pt.y;
            const int total = std::accumulate(items_.begin(), items_.end(), 0,
                                              [](int s, const Item& i) { return s + i.width; });
            info->iItem = -1;
            if (x < 0) {
                info->flags = HHT_TOLEFT;
            } else if (y < 0 || y >= height()) {
                info->flags = HHT_NOWHERE;
            } else if (int divider = DividerAt(x); divider >= 0) {
                info->flags = HHT_ONDIVIDER;
                info->iItem = divider;
            } else if (x >= total) {
                info->flags = HHT_NOWHERE;
            } else {
                info->flags = HHT_ONHEADER;
                info->iItem = ItemAt(x);
            }
            return info->iItem;
        }
        case HDM_ORDERTOINDEX:
            return index >= 0 && index < Count() ? order_[static_cast<size_t>(index)] : index;
        case HDM_GETORDERARRAY: {
            if (!lParam || index != Count()) return FALSE;
            std::copy(order_.begin(), order_.end(), reinterpret_cast<int*>(lParam));
            return TRUE;
        }
        case HDM_SETORDERARRAY: {
            if (!lParam || index < 0) return FALSE;
            const int* order = reinterpret_cast<const int*>(lParam);
            return SetOrder(std::vector<int>(order, order + index)) ? TRUE : FALSE;
        }
        default:
            *handled = false;
            return 0;
    }
}

void HeaderWidget::paintEvent(QPaintEvent*) {
    std::vector<int> ownerDrawn;
    {
        QPainter painter(this);
        painter.fillRect(rect(), ToQColor(GetSysColor(COLOR_BTNFACE)));
        const QColor shadow = ToQColor(GetSysColor(COLOR_BTNSHADOW));
        const QColor text = ToQColor(GetSysColor(COLOR_BTNTEXT));
        for (int each : order_) {
            const RECT r = ItemRect(each);
            const Item& item = At(each);
            if (item.fmt & HDF_OWNERDRAW) {
                ownerDrawn.push_back(each);
                continue;
            }
            const QRect box(r.left, r.top, r.right - r.left, r.bottom - r.top);
            const bool down = mode_ == Mode::kPress && pressed_ == each;
            painter.setPen(down ? shadow : Qt::white);
            painter.drawLine(box.topLeft(), box.topRight());
            painter.drawLine(box.topLeft(), box.bottomLeft());
            painter.setPen(down ? Qt::white : shadow);
            painter.drawLine(box.bottomLeft(), box.bottomRight());
            painter.drawLine(box.topRight(), box.bottomRight());
            QRect textBox = box.adjusted(6, 0, -6, 0);
            if (item.fmt & (HDF_SORTUP | HDF_SORTDOWN)) {
                // The sort mark sits at the right and the text keeps clear of it.
                const int cx = textBox.right() - 4;
                const int cy = box.center().y();
                QPolygon mark;
                if (item.fmt & HDF_SORTUP)
                    mark << QPoint(cx - 4, cy + 2) << QPoint(cx + 4, cy + 2) << QPoint(cx, cy - 2);
                else
                    mark << QPoint(cx - 4, cy - 2) << QPoint(cx + 4, cy - 2) << QPoint(cx, cy + 2);
                painter.setBrush(shadow);
                painter.setPen(shadow);
                painter.drawPolygon(mark);
                textBox.setRight(textBox.right() - 12);
            }
            const int justify = item.fmt & HDF_JUSTIFYMASK;
            const Qt::Alignment align = justify == HDF_RIGHT    ? Qt::AlignRight
                                        : justify == HDF_CENTER ? Qt::AlignHCenter
                                                                : Qt::AlignLeft;
            painter.setPen(text);
            const QString label = fontMetrics().elidedText(QString::fromStdString(item.text),
                                                           Qt::ElideRight, textBox.width());
            painter.drawText(textBox, align | Qt::AlignVCenter, label);
        }
    }
    // Owner-drawn items are drawn by the parent, after our own painter has finished.
    HWND self = Self();
    HWND parent = ::GetParent(self);
    if (ownerDrawn.empty() || !parent) return;
    for (int each : ownerDrawn) {
        CDC dc;
        const RECT r = ItemRect(each);
        dc.AttachWindow(self, this, r);
        DRAWITEMSTRUCT item;
        item.CtlType = ODT_HEADER;
        item.CtlID = static_cast<UINT>(::GetDlgCtrlID(self));
        item.itemID = static_cast<UINT>(each);
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = (mode_ == Mode::kPress && pressed_ == each) ? ODS_SELECTED : 0;
        item.hwndItem = self;
        item.hDC = &dc;
        item.rcItem = r;
        item.itemData = static_cast<ULONG_PTR>(At(each).lParam);
        ::SendMessage(parent, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
        dc.DetachWindow();
        if (!IsWindow(self)) return;
    }
}

void HeaderWidget::mousePressEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x();
    if (event->button() == Qt::RightButton) {
        NMHDR nm;
        SendNotify(Self(), NM_RCLICK, &nm);
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    pressX_ = x;
    if (int divider = DividerAt(x); divider >= 0) {
        HDITEM item;
        item.mask = HDI_WIDTH;
        item.cxy = At(divider).width;
        if (Notify(HDN_BEGINTRACK, divider, &item)) return;  // the parent refused
        mode_ = Mode::kTrack;
        pressed_ = divider;
        trackStartWidth_ = item.cxy;
        return;
    }
    pressed_ = ItemAt(x);
    if (pressed_ < 0) return;
    mode_ = Mode::kPress;
    update();
}

void HeaderWidget::mouseMoveEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x();
    if (mode_ == Mode::kNone) {
        setCursor(DividerAt(x) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
        return;
    }
    if (mode_ == Mode::kTrack) {
        HDITEM item;
        item.mask = HDI_WIDTH;
        item.cxy = std::max(0, trackStartWidth_ + x - pressX_);
        if (style & HDS_FULLDRAG) {
            Change(pressed_, item);
        } else {
            Notify(HDN_TRACK, pressed_, &item);
        }
        return;
    }
    if (mode_ == Mode::kPress && (style & HDS_DRAGDROP) && std::abs(x - pressX_) >= kDragStart) {
        if (Notify(HDN_BEGINDRAG, pressed_, nullptr)) {
            // Refused: the press stays a press that never clicks.
            mode_ = Mode::kNone;
            pressed_ = -1;
            update();
            return;
        }
        mode_ = Mode::kDrag;
    }
    if (mode_ == Mode::kDrag) dragX_ = x;
}

void HeaderWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int x = event->position().toPoint().x();
    const Mode mode = mode_;
    const int item = pressed_;
    mode_ = Mode::kNone;
    pressed_ = -1;
    update();
    if (item < 0 || item >= Count()) return;
    if (mode == Mode::kTrack) {
        HDITEM changed;
        changed.mask = HDI_WIDTH;
        changed.cxy = std::max(0, trackStartWidth_ + x - pressX_);
        if (Notify(HDN_ENDTRACK, item, &changed)) return;
        if (!(style & HDS_FULLDRAG) || At(item).width != changed.cxy) Change(item, changed);
    } else if (mode == Mode::kDrag) {
        HDITEM moved;
        moved.mask = HDI_ORDER;
        moved.iOrder = PositionAt(x);
        // A TRUE answer keeps the order as it is (the parent moves the column itself).
        if (Notify(HDN_ENDDRAG, item, &moved)) return;
        if (item >= Count()) return;
        std::vector<int> order = order_;
        std::erase(order, item);
        order.insert(order.begin() + std::clamp(moved.iOrder, 0, static_cast<int>(order.size())),
                     item);
        SetOrder(order);
    } else if (mode == Mode::kPress && ItemAt(x) == item && (style & HDS_BUTTONS)) {
        Notify(HDN_ITEMCLICK, item, nullptr);
    }
}

void HeaderWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int x = event->position().toPoint().x();
    if (int divider = DividerAt(x); divider >= 0) {
        Notify(HDN_DIVIDERDBLCLICK, divider, nullptr);
        return;
    }
    if (int item = ItemAt(x); item >= 0 && (style & HDS_BUTTONS))
        Notify(HDN_ITEMDBLCLICK, item, nullptr);
}

namespace {

class HeaderClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD) const override {
        auto* header = new HeaderWidget(parent);
        if (flags) header->setWindowFlags(flags);
        return header;
    }
    void ApplyStyle(QWidget* widget, DWORD style) const override {
        static_cast<HeaderWidget*>(widget)->style = style;
    }
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                      bool* handled) const override {
        auto* header = static_cast<HeaderWidget*>(record.widget);
        header->style = record.style;
        return header->Handle(record.hwnd, message, wParam, lParam, handled);
    }
};

}  // namespace

void AddHeaderClass(std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>>& classes) {
    classes.emplace_back("SysHeader32", std::make_unique<HeaderClass>());
}

}  // namespace platform::ui
