// "SysListView32" in report view over our own scroll area: rows are painted from the item
// count alone, their texts asked of the parent only for the cells in sight.
#include "platform/ui/ListView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <array>
#include <cstring>

#include "platform/ui/Dc.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowLayer.h"
#include "platform/ui/WindowTable.h"
#include "platform/ui/Wnd.h"

namespace platform::ui {
namespace {

constexpr int kCheckBoxWidth = 16;  // the state image area of column 0
constexpr int kTextMargin = 4;
constexpr int kDispInfoBytes = 1024;

QRect ToQRect(const RECT& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

int HeaderFormat(int listFormat) {
    return (listFormat & LVCFMT_RIGHT)    ? HDF_RIGHT
           : (listFormat & LVCFMT_CENTER) ? HDF_CENTER
                                          : HDF_LEFT;
}

}  // namespace

ListViewWidget::ListViewWidget(QWidget* parent)
    : QAbstractScrollArea(parent),
      header_(new HeaderWidget(this)),
      bkColor_(GetSysColor(COLOR_WINDOW)),
      textColor_(GetSysColor(COLOR_WINDOWTEXT)),
      textBkColor_(GetSysColor(COLOR_WINDOW)) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(false);
    // Clicks on the rows are the list's own mouse messages, so that a subclass sees them.
    viewport()->setProperty(kMouseToParentProperty, true);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(16);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { ScrollBarAction(true, action); });
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { ScrollBarAction(false, action); });
    connect(verticalScrollBar(), &QAbstractSlider::sliderReleased, this, [this] {
        if (HWND self = Self())
            ::SendMessage(self, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(Top())),
                          0);
    });
    LayOut();
}

void ListViewWidget::ScrollBarAction(bool vertical, int action) {
    QScrollBar* bar = vertical ? verticalScrollBar() : horizontalScrollBar();
    const int wanted = bar->sliderPosition();
    const HWND self = Self();
    WORD code = SB_ENDSCROLL;
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            code = SB_LINEDOWN;
            break;
        case QAbstractSlider::SliderSingleStepSub:
            code = SB_LINEUP;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            code = SB_PAGEDOWN;
            break;
        case QAbstractSlider::SliderPageStepSub:
            code = SB_PAGEUP;
            break;
        case QAbstractSlider::SliderToMinimum:
            code = SB_TOP;
            break;
        case QAbstractSlider::SliderToMaximum:
            code = SB_BOTTOM;
            break;
        case QAbstractSlider::SliderMove:
            code = SB_THUMBTRACK;
            break;
        default:
            return;
    }
    if (!self) return;
    // The bar does not move by itself: the window procedure's answer moves it.
    bar->setSliderPosition(bar->value());
    thumbWanted_ = code == SB_THUMBTRACK ? wanted : -1;
    ::SendMessage(self, vertical ? WM_VSCROLL : WM_HSCROLL,
                  MAKEWPARAM(code, static_cast<WORD>(std::clamp(wanted, 0, 0xFFFF))), 0);
}

void ListViewWidget::Scroll(bool vertical, WORD code, int position) {
    QScrollBar* bar = vertical ? verticalScrollBar() : horizontalScrollBar();
    int value = bar->value();
    switch (code) {
        case SB_LINEUP:
            value -= bar->singleStep();
            break;
        case SB_LINEDOWN:
            value += bar->singleStep();
            break;
        case SB_PAGEUP:
            value -= bar->pageStep();
            break;
        case SB_PAGEDOWN:
            value += bar->pageStep();
            break;
        case SB_TOP:
            value = bar->minimum();
            break;
        case SB_BOTTOM:
            value = bar->maximum();
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            // The 16-bit position of the message is cut for long lists: the drag knows better.
            value = thumbWanted_ >= 0 ? thumbWanted_ : position;
            break;
        default:
            return;
    }
    bar->setValue(value);
}

HWND ListViewWidget::Self() const { return WindowTable::Instance().HandleOf(this); }

int ListViewWidget::RowHeight() const {
    if (style & LVS_OWNERDRAWFIXED) {
        if (measuredHeight_ <= 0) {
            // The parent's answer, or when the parent leaves it, the list's own object's (the
            // class library reflects the message).
            const HWND self = Self();
            MEASUREITEMSTRUCT measure;
            measure.CtlType = ODT_LISTVIEW;
            measure.CtlID = static_cast<UINT>(::GetDlgCtrlID(self));
            measure.itemHeight = static_cast<UINT>(fontMetrics().height() + 3);
            const auto lParam = reinterpret_cast<LPARAM>(&measure);
            HWND parent = ::GetParent(self);
            if (!parent || !::SendMessage(parent, WM_MEASUREITEM, measure.CtlID, lParam)) {
                LRESULT result = 0;
                if (CWnd* own = CWnd::FromHandlePermanent(self))
                    own->OnChildNotify(WM_MEASUREITEM, measure.CtlID, lParam, &result);
            }
            measuredHeight_ = std::max(1, static_cast<int>(measure.itemHeight));
        }
        return measuredHeight_;
    }
    int height = fontMetrics().height() + 3;
    int cx = 0, cy = 0;
    if (small_ && small_->GetIconSize(&cx, &cy)) height = std::max(height, cy + 1);
    if (state_ && state_->GetIconSize(&cx, &cy)) height = std::max(height, cy + 1);
    return height;
}

int ListViewWidget::HeaderHeight() const { return header_->isHidden() ? 0 : header_->height(); }

int ListViewWidget::Top() const { return verticalScrollBar()->value(); }

int ListViewWidget::PerPage() const { return std::max(1, viewport()->height() / RowHeight()); }

void ListViewWidget::LayOut() {
    const bool showHeader = !(style & LVS_NOCOLUMNHEADER);
    header_->setVisible(showHeader);
    int h = showHeader ? header_->PreferredHeight() : 0;
    // The header's height comes from HDM_LAYOUT, which a subclassed header may answer itself.
    if (const HWND headerHwnd = WindowTable::Instance().HandleOf(header_);
        showHeader && headerHwnd) {
        RECT area{0, 0, std::max(0, viewport()->width()), 0x7FFF};
        WINDOWPOS pos{};
        HDLAYOUT layout{&area, &pos};
        if (::SendMessage(headerHwnd, HDM_LAYOUT, 0, reinterpret_cast<LPARAM>(&layout)))
            h = std::max(0, pos.cy);
    }
    setViewportMargins(0, h, 0, 0);
    // The header sits at the top of the client area, inside the list's frame.
    const QPoint client = contentsRect().topLeft();
    const int scrolled = horizontalScrollBar()->value();
    header_->setGeometry(client.x(), client.y(), std::max(0, viewport()->width()), h);
    header_->move(client.x() - scrolled, client.y());
    int total = 0;
    for (int i = 0; i < header_->Count(); ++i) total += header_->At(i).width;
    header_->resize(std::max(total, viewport()->width()) + scrolled, h);
    // Scrolled left, the header would cover the frame's left side.
    if (client.x() > 0)
        header_->setMask(QRect(scrolled, 0, std::max(0, viewport()->width()), h));
    else
        header_->clearMask();
    UpdateScroll();
}

void ListViewWidget::UpdateScroll() {
    verticalScrollBar()->setPageStep(PerPage());
    verticalScrollBar()->setRange(0, std::max(0, count_ - PerPage()));
    int total = 0;
    for (int i = 0; i < header_->Count(); ++i) total += header_->At(i).width;
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, std::max(0, total - viewport()->width()));
}

void ListViewWidget::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    LayOut();
}

bool ListViewWidget::event(QEvent* event) {
    const bool result = QAbstractScrollArea::event(event);
    // A new frame (contents margins) moves the viewport, the bars and the header.
    if (event->type() == QEvent::ContentsRectChange) LayOut();
    return result;
}

void ListViewWidget::scrollContentsBy(int dx, int) {
    if (dx) LayOut();
    viewport()->update();
}

RECT ListViewWidget::ItemRect(int item, int code) const {
    const int top = HeaderHeight() + (item - Top()) * RowHeight();
    const int left = -horizontalScrollBar()->value();
    int total = 0;
    for (int i = 0; i < header_->Count(); ++i) total += header_->At(i).width;
    RECT bounds{left, top, left + total, top + RowHeight()};
    if (code == LVIR_BOUNDS || header_->Count() == 0) return bounds;
    RECT first = SubItemRect(item, 0, LVIR_BOUNDS);
    if (code == LVIR_ICON) {
        first.right = first.left + ((exStyle_ & LVS_EX_CHECKBOXES) ? kCheckBoxWidth : 0);
        return first;
    }
    if (exStyle_ & LVS_EX_CHECKBOXES) first.left += kCheckBoxWidth;
    return first;
}

RECT ListViewWidget::SubItemRect(int item, int column, int code) const {
    RECT r = header_->ItemRect(column);
    const int top = HeaderHeight() + (item - Top()) * RowHeight();
    const int left = -horizontalScrollBar()->value();
    RECT cell{left + r.left, top, left + r.right, top + RowHeight()};
    if (column == 0 && code == LVIR_LABEL && (exStyle_ & LVS_EX_CHECKBOXES))
        cell.left += kCheckBoxWidth;
    return cell;
}

int ListViewWidget::HitTest(LVHITTESTINFO* info) const {
    info->iItem = -1;
    info->iSubItem = 0;
    const int y = info->pt.y - HeaderHeight();
    if (y < 0 || info->pt.x < 0 || info->pt.x >= width()) {
        info->flags = LVHT_NOWHERE;
        return -1;
    }
    const int item = Top() + y / RowHeight();
    if (item >= count_) {
        info->flags = LVHT_NOWHERE | LVHT_BELOW;
        return -1;
    }
    const int x = info->pt.x + horizontalScrollBar()->value();
    int column = -1;
    for (int c = 0; c < header_->Count(); ++c) {
        RECT r = header_->ItemRect(c);
        if (x >= r.left && x < r.right) column = c;
    }
    if (column < 0) {
        info->flags = LVHT_NOWHERE;
        return -1;
    }
    info->iItem = item;
    info->iSubItem = column;
    const RECT first = header_->ItemRect(0);
    if (column == 0 && (exStyle_ & LVS_EX_CHECKBOXES) && x < first.left + kCheckBoxWidth)
        info->flags = LVHT_ONITEMSTATEICON;
    else
        info->flags = LVHT_ONITEMLABEL;
    return item;
}

UINT ListViewWidget::StateOf(int item) const {
    if (item < 0 || item >= count_) return 0;
    return (Selected(item) ? LVIS_SELECTED : 0) | (item == focused_ ? LVIS_FOCUSED : 0) |
           INDEXTOSTATEIMAGEMASK(stateImage_[static_cast<size_t>(item)]);
}

LRESULT ListViewWidget::NotifyItem(UINT code, int item, int subItem, UINT newState, UINT oldState,
                                   UINT changed, POINT action) const {
    NMLISTVIEW nm;
    nm.iItem = item;
    nm.iSubItem = subItem;
    nm.uNewState = newState;
    nm.uOldState = oldState;
    nm.uChanged = changed;
    nm.ptAction = action;
    return SendNotify(Self(), code, &nm.hdr);
}

bool ListViewWidget::SetOne(int item, UINT state, UINT mask, POINT action) {
    if (item < 0 || item >= count_) return false;
    const UINT old = StateOf(item);
    const UINT wanted = (old & ~mask) | (state & mask);
    if (wanted == old) return true;
    if (NotifyItem(LVN_ITEMCHANGING, item, 0, wanted, old, LVIF_STATE, action)) return false;
    if (item >= count_) return false;  // the parent shrank the list meanwhile
    if ((wanted & LVIS_FOCUSED) && focused_ != item) {
        // Only one item has the focus: the old one loses it first.
        const int previous = focused_;
        if (previous >= 0 && previous != item && !SetOne(previous, 0, LVIS_FOCUSED, action))
            return false;
        focused_ = item;
    } else if (!(wanted & LVIS_FOCUSED) && focused_ == item) {
        focused_ = -1;
    }
    if ((wanted & LVIS_SELECTED) && (style & LVS_SINGLESEL)) {
        for (int i = 0; i < count_; ++i)
            if (i != item && Selected(i)) SetOne(i, 0, LVIS_SELECTED, action);
    }
    selected_[static_cast<size_t>(item)] = (wanted & LVIS_SELECTED) ? 1 : 0;
    stateImage_[static_cast<size_t>(item)] =
        static_cast<uint8_t>((wanted & LVIS_STATEIMAGEMASK) >> 12);
    RedrawItems(item, item);
    NotifyItem(LVN_ITEMCHANGED, item, 0, StateOf(item), old, LVIF_STATE, action);
    return true;
}

bool ListViewWidget::SetState(int item, UINT state, UINT mask) {
    const POINT none{};
    if (item >= 0) return SetOne(item, state, mask, none);
    // Every item: one notification for the whole list (iItem -1), as owner-data lists get.
    if (mask & LVIS_FOCUSED) {
        if ((state & LVIS_FOCUSED) == 0 && focused_ >= 0) SetOne(focused_, 0, LVIS_FOCUSED, none);
    }
    const UINT bits = mask & (LVIS_SELECTED | LVIS_STATEIMAGEMASK);
    if (!bits || count_ == 0) return true;
    if ((state & LVIS_SELECTED) && (style & LVS_SINGLESEL) && (mask & LVIS_SELECTED))
        return false;  // a single-selection list cannot select every item
    if (NotifyItem(LVN_ITEMCHANGING, -1, 0, state & bits, 0, LVIF_STATE, none)) return false;
    for (int i = 0; i < count_; ++i) {
        if (mask & LVIS_SELECTED)
            selected_[static_cast<size_t>(i)] = (state & LVIS_SELECTED) ? 1 : 0;
        if (mask & LVIS_STATEIMAGEMASK)
            stateImage_[static_cast<size_t>(i)] =
                static_cast<uint8_t>((state & LVIS_STATEIMAGEMASK) >> 12);
    }
    viewport()->update();
    NotifyItem(LVN_ITEMCHANGED, -1, 0, state & bits, (~state) & bits, LVIF_STATE, none);
    return true;
}

void ListViewWidget::ClearSelection(int except, POINT action) {
    int others = 0;
    for (int i = 0; i < count_ && others == 0; ++i)
        if (Selected(i) && i != except) ++others;
    if (others == 0) return;
    const bool keep = except >= 0 && except < count_ && Selected(except);
    if (NotifyItem(LVN_ITEMCHANGING, -1, 0, 0, LVIS_SELECTED, LVIF_STATE, action)) return;
    std::fill(selected_.begin(), selected_.end(), 0);
    if (keep) selected_[static_cast<size_t>(except)] = 1;
    viewport()->update();
    NotifyItem(LVN_ITEMCHANGED, -1, 0, 0, LVIS_SELECTED, LVIF_STATE, action);
}

void ListViewWidget::SelectRange(int from, int to, POINT action) {
    if (from > to) std::swap(from, to);
    from = std::max(from, 0);
    to = std::min(to, count_ - 1);
    if (from > to) return;
    ClearSelection(-1, action);
    if (from == to) {
        SetOne(from, LVIS_SELECTED, LVIS_SELECTED, action);
        return;
    }
    // A range is announced once, not item by item.
    for (int i = from; i <= to; ++i) selected_[static_cast<size_t>(i)] = 1;
    viewport()->update();
    NMLVODSTATECHANGE nm;
    nm.iFrom = from;
    nm.iTo = to;
    nm.uNewState = LVIS_SELECTED;
    nm.uOldState = 0;
    SendNotify(Self(), LVN_ODSTATECHANGED, &nm.hdr);
}

void ListViewWidget::SetCount(int count, LPARAM flags) {
    const int old = count_;
    count = std::max(0, count);
    count_ = count;
    selected_.resize(static_cast<size_t>(count), 0);
    stateImage_.resize(static_cast<size_t>(count), (exStyle_ & LVS_EX_CHECKBOXES) ? 1 : 0);
    // Focus and selection belong to display indexes and stay where they are when in range.
    if (focused_ >= count) focused_ = -1;
    if (anchor_ >= count) anchor_ = -1;
    const int top = Top();
    UpdateScroll();
    if (flags & LVSICF_NOSCROLL)
        verticalScrollBar()->setValue(std::min(top, verticalScrollBar()->maximum()));
    if (flags & LVSICF_NOINVALIDATEALL) {
        const int first = std::min(old, count);
        RECT r = ItemRect(first, LVIR_BOUNDS);
        viewport()->update(QRect(0, std::max(0, r.top - HeaderHeight()), viewport()->width(),
                                 viewport()->height()));
    } else {
        viewport()->update();
    }
}

void ListViewWidget::EnsureVisible(int item) {
    if (item < 0 || item >= count_) return;
    QScrollBar* bar = verticalScrollBar();
    if (item < bar->value())
        bar->setValue(item);
    else if (item >= bar->value() + PerPage())
        bar->setValue(item - PerPage() + 1);
}

void ListViewWidget::RedrawItems(int from, int to) {
    if (from > to) std::swap(from, to);
    from = std::max(from, Top());
    to = std::min(to, Top() + PerPage() + 1);
    if (from > to) return;
    const int hh = HeaderHeight();
    const RECT a = ItemRect(from, LVIR_BOUNDS);
    const RECT b = ItemRect(to, LVIR_BOUNDS);
    viewport()->update(QRect(0, a.top - hh, viewport()->width(), b.bottom - a.top));
}

std::string ListViewWidget::CellText(int item, int column, int* image) {
    std::array<char, kDispInfoBytes> buffer{};
    NMLVDISPINFO info;
    info.item.mask = LVIF_TEXT | (image ? LVIF_IMAGE : 0);
    info.item.iItem = item;
    info.item.iSubItem = column;
    info.item.pszText = buffer.data();
    info.item.cchTextMax = static_cast<int>(buffer.size());
    SendNotify(Self(), LVN_GETDISPINFO, &info.hdr);
    if (image) *image = info.item.iImage;
    if (!info.item.pszText) return {};
    if (info.item.pszText == buffer.data())
        return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
    return info.item.pszText;  // the parent answered with its own text
}

void ListViewWidget::paintEvent(QPaintEvent* event) {
    const HWND self = Self();
    const int rowHeight = RowHeight();
    const int hh = HeaderHeight();
    const QRect area = event->rect();
    const int first = Top() + std::max(0, area.top()) / rowHeight;
    const int last = std::min(count_ - 1, Top() + area.bottom() / rowHeight);
    if (first <= last && !(style & LVS_OWNERDRAWFIXED)) {
        NMLVCACHEHINT hint;
        hint.iFrom = first;
        hint.iTo = last;
        SendNotify(self, LVN_ODCACHEHINT, &hint.hdr);
        if (!IsWindow(self)) return;
    }
    if ((style & LVS_OWNERDRAWFIXED) && self) {
        // A window that paints its whole client area itself (rows, lines, empty space) says so
        // by answering WM_PRINTCLIENT; the device context is in client coordinates.
        CDC dc;
        dc.AttachWindow(self, viewport(),
                        RECT{area.left(), area.top(), area.right() + 1, area.bottom() + 1});
        dc.SetViewportOrg(0, -hh);
        const LRESULT painted =
            ::SendMessage(self, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(&dc), PRF_CLIENT);
        dc.DetachWindow();
        if (painted || !IsWindow(self)) return;
    }
    const bool focus = hasFocus();
    const bool showSelection = focus || (style & LVS_SHOWSELALWAYS);
    std::vector<int> ownerRows;
    {
        QPainter painter(viewport());
        painter.fillRect(area, ToQColor(bkColor_));
        painter.translate(0, -hh);  // rows are laid out in client coordinates
        const QColor gridColor = ToQColor(GetSysColor(COLOR_BTNFACE));
        for (int item = first; item <= last; ++item) {
            if (style & LVS_OWNERDRAWFIXED) {
                ownerRows.push_back(item);
                continue;
            }
            const bool selected = Selected(item) && showSelection;
            const COLORREF selBack =
                focus ? GetSysColor(COLOR_HIGHLIGHT) : GetSysColor(COLOR_BTNFACE);
            const COLORREF selText = focus ? GetSysColor(COLOR_HIGHLIGHTTEXT) : textColor_;
            if (selected && (exStyle_ & LVS_EX_FULLROWSELECT)) {
                RECT row = ItemRect(item, LVIR_BOUNDS);
                if (header_->Count() > 0) row.left = SubItemRect(item, 0, LVIR_LABEL).left;
                painter.fillRect(ToQRect(row), ToQColor(selBack));
            }
            for (int column : header_->Order()) {
                RECT cell = SubItemRect(item, column, LVIR_LABEL);
                if (cell.right < area.left() || cell.left > area.right()) continue;
                const bool highlight =
                    selected && (column == 0 || (exStyle_ & LVS_EX_FULLROWSELECT));
                if (highlight && !(exStyle_ & LVS_EX_FULLROWSELECT))
                    painter.fillRect(ToQRect(cell), ToQColor(selBack));
                else if (!highlight && textBkColor_ != CLR_NONE && textBkColor_ != bkColor_)
                    painter.fillRect(ToQRect(cell), ToQColor(textBkColor_));
                if (column == 0 && (exStyle_ & LVS_EX_CHECKBOXES)) {
                    const QRect box(cell.left - kCheckBoxWidth + 2, cell.top + (rowHeight - 12) / 2,
                                    12, 12);
                    painter.setPen(ToQColor(GetSysColor(COLOR_BTNSHADOW)));
                    painter.setBrush(Qt::white);
                    painter.drawRect(box.adjusted(0, 0, -1, -1));
                    if (stateImage_[static_cast<size_t>(item)] == 2) {
                        painter.setPen(QPen(Qt::black, 2));
                        painter.drawPolyline(
                            QPolygon({box.topLeft() + QPoint(2, 6), box.topLeft() + QPoint(5, 9),
                                      box.topLeft() + QPoint(10, 3)}));
                    }
                    painter.setBrush(Qt::NoBrush);
                }
                int image = -1;
                const std::string text =
                    CellText(item, column, column == 0 && small_ ? &image : nullptr);
                if (!IsWindow(self)) return;
                if (image >= 0 && small_) {
                    const QImage picture = small_->GetImage(image);
                    painter.drawImage(cell.left + 1, cell.top + (rowHeight - picture.height()) / 2,
                                      picture);
                    cell.left += picture.width() + 2;
                }
                const HeaderWidget::Item& info = header_->At(column);
                const int justify = info.fmt & HDF_JUSTIFYMASK;
                const Qt::Alignment align = justify == HDF_RIGHT    ? Qt::AlignRight
                                            : justify == HDF_CENTER ? Qt::AlignHCenter
                                                                    : Qt::AlignLeft;
                const QRect textBox = ToQRect(cell).adjusted(kTextMargin, 0, -kTextMargin, 0);
                painter.setPen(ToQColor(highlight ? selText : textColor_));
                painter.drawText(textBox, align | Qt::AlignVCenter,
                                 fontMetrics().elidedText(QString::fromStdString(text),
                                                          Qt::ElideRight, textBox.width()));
            }
            if (exStyle_ & LVS_EX_GRIDLINES) {
                const RECT row = ItemRect(item, LVIR_BOUNDS);
                painter.setPen(gridColor);
                painter.drawLine(row.left, row.bottom - 1,
                                 std::max<int>(row.right, viewport()->width()), row.bottom - 1);
            }
            if (focus && item == focused_) {
                RECT row = ItemRect(item, LVIR_BOUNDS);
                if (!(exStyle_ & LVS_EX_FULLROWSELECT) && header_->Count() > 0)
                    row = SubItemRect(item, 0, LVIR_LABEL);
                painter.setPen(QPen(ToQColor(textColor_), 1, Qt::DotLine));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(ToQRect(row).adjusted(0, 0, -1, -1));
            }
        }
        if ((exStyle_ & LVS_EX_GRIDLINES) && !(style & LVS_OWNERDRAWFIXED)) {
            // Column lines run the full height, as far as there are rows or not.
            painter.setPen(gridColor);
            for (int column : header_->Order()) {
                const RECT cell = SubItemRect(0, column, LVIR_BOUNDS);
                painter.drawLine(cell.right - 1, hh, cell.right - 1, hh + viewport()->height());
            }
        }
    }
    // Owner-drawn rows: the parent draws each row in sight, in client coordinates.
    HWND parent = ::GetParent(self);
    if (ownerRows.empty() || !parent) return;
    for (int item : ownerRows) {
        CDC dc;
        const RECT row = ItemRect(item, LVIR_BOUNDS);
        dc.AttachWindow(self, viewport(), row);
        dc.SetViewportOrg(0, -hh);
        DRAWITEMSTRUCT draw;
        draw.CtlType = ODT_LISTVIEW;
        draw.CtlID = static_cast<UINT>(::GetDlgCtrlID(self));
        draw.itemID = static_cast<UINT>(item);
        draw.itemAction = ODA_DRAWENTIRE;
        draw.itemState = (Selected(item) && showSelection ? ODS_SELECTED : 0) |
                         (focus && item == focused_ ? ODS_FOCUS : 0);
        draw.hwndItem = self;
        draw.hDC = &dc;
        draw.rcItem = row;
        ::SendMessage(parent, WM_DRAWITEM, draw.CtlID, reinterpret_cast<LPARAM>(&draw));
        dc.DetachWindow();
        if (!IsWindow(self)) return;
    }
}

void ListViewWidget::ToggleCheck(int item) {
    if (item < 0 || item >= count_) return;
    const UINT image = stateImage_[static_cast<size_t>(item)] == 2 ? 1 : 2;
    SetOne(item, INDEXTOSTATEIMAGEMASK(image), LVIS_STATEIMAGEMASK, POINT{});
}

void ListViewWidget::MoveFocusTo(int item, Qt::KeyboardModifiers modifiers) {
    if (count_ == 0) return;
    item = std::clamp(item, 0, count_ - 1);
    const POINT none{};
    if ((modifiers & Qt::ShiftModifier) && !(style & LVS_SINGLESEL)) {
        if (anchor_ < 0) anchor_ = focused_ >= 0 ? focused_ : item;
        SelectRange(anchor_, item, none);
        SetOne(item, LVIS_FOCUSED, LVIS_FOCUSED, none);
    } else if ((modifiers & Qt::ControlModifier) && !(style & LVS_SINGLESEL)) {
        SetOne(item, LVIS_FOCUSED, LVIS_FOCUSED, none);
    } else {
        ClearSelection(item, none);
        SetOne(item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED, none);
        anchor_ = item;
    }
    EnsureVisible(item);
}

void ListViewWidget::keyPressEvent(QKeyEvent* event) {
    const HWND self = Self();
    const int vk = VirtualKeyOf(event->key(), event->modifiers() & Qt::KeypadModifier);
    if (vk == 0) {  // a character, not a key: lists hear keys only
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    NMLVKEYDOWN key;
    key.wVKey = static_cast<WORD>(vk);
    SendNotify(self, LVN_KEYDOWN, &key.hdr);
    if (!IsWindow(self)) return;
    const int current = focused_ < 0 ? -1 : focused_;
    const Qt::KeyboardModifiers mods = event->modifiers();
    switch (event->key()) {
        case Qt::Key_Up:
            MoveFocusTo(current < 0 ? 0 : current - 1, mods);
            break;
        case Qt::Key_Down:
            MoveFocusTo(current + 1, mods);
            break;
        case Qt::Key_PageUp: {
            const int step = std::max(1, PerPage() - 1);
            MoveFocusTo(current == Top() ? current - step : std::max(Top(), 0), mods);
            if (current == Top()) break;
            break;
        }
        case Qt::Key_PageDown: {
            const int step = std::max(1, PerPage() - 1);
            const int bottom = Top() + PerPage() - 1;
            MoveFocusTo(current == bottom ? current + step : bottom, mods);
            break;
        }
        case Qt::Key_Home:
            MoveFocusTo(0, mods);
            break;
        case Qt::Key_End:
            MoveFocusTo(count_ - 1, mods);
            break;
        case Qt::Key_Space:
            if (current < 0) break;
            if (exStyle_ & LVS_EX_CHECKBOXES)
                ToggleCheck(current);
            else if (mods & Qt::ControlModifier)
                SetOne(current, Selected(current) ? 0 : LVIS_SELECTED, LVIS_SELECTED, POINT{});
            else
                SetOne(current, LVIS_SELECTED, LVIS_SELECTED, POINT{});
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            NMHDR nm;
            SendNotify(self, NM_RETURN, &nm);
            if (!IsWindow(self) || focused_ < 0) break;
            NMITEMACTIVATE activate;
            activate.iItem = focused_;
            SendNotify(self, LVN_ITEMACTIVATE, &activate.hdr);
            break;
        }
        case Qt::Key_Left:
        case Qt::Key_Right:
            horizontalScrollBar()->triggerAction(event->key() == Qt::Key_Left
                                                     ? QAbstractSlider::SliderSingleStepSub
                                                     : QAbstractSlider::SliderSingleStepAdd);
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    event->accept();
}

void ListViewWidget::Click(QMouseEvent* event, UINT code) {
    const QPoint at = event->position().toPoint();
    NMITEMACTIVATE nm;
    LVHITTESTINFO hit;
    hit.pt = POINT{at.x(), at.y() + HeaderHeight()};
    HitTest(&hit);
    nm.iItem = hit.iItem;
    nm.iSubItem = hit.iSubItem;
    nm.ptAction = hit.pt;
    nm.uKeyFlags = ((event->modifiers() & Qt::ShiftModifier) ? 0x4u : 0u) |
                   ((event->modifiers() & Qt::ControlModifier) ? 0x1u : 0u);
    const HWND self = Self();
    SendNotify(self, code, &nm.hdr);
    if (code == NM_DBLCLK && hit.iItem >= 0 && IsWindow(self)) {
        NMITEMACTIVATE activate = nm;
        SendNotify(self, LVN_ITEMACTIVATE, &activate.hdr);
    }
}

void ListViewWidget::mousePressEvent(QMouseEvent* event) {
    const HWND self = Self();
    setFocus(Qt::MouseFocusReason);
    if (!IsWindow(self)) return;
    const QPoint at = event->position().toPoint();
    LVHITTESTINFO hit;
    hit.pt = POINT{at.x(), at.y() + HeaderHeight()};
    const int item = HitTest(&hit);
    const Qt::KeyboardModifiers mods = event->modifiers();
    const POINT action = hit.pt;
    pressItem_ = -1;
    if (event->button() == Qt::LeftButton) {
        if (item >= 0 && (hit.flags & LVHT_ONITEMSTATEICON)) {
            ToggleCheck(item);
        } else if (item < 0) {
            if (!(mods & (Qt::ControlModifier | Qt::ShiftModifier))) ClearSelection(-1, action);
        } else if ((mods & Qt::ShiftModifier) && !(style & LVS_SINGLESEL)) {
            if (anchor_ < 0) anchor_ = item;
            SelectRange(anchor_, item, action);
            SetOne(item, LVIS_FOCUSED, LVIS_FOCUSED, action);
        } else if ((mods & Qt::ControlModifier) && !(style & LVS_SINGLESEL)) {
            SetOne(item, (Selected(item) ? 0 : LVIS_SELECTED) | LVIS_FOCUSED,
                   LVIS_SELECTED | LVIS_FOCUSED, action);
            anchor_ = item;
        } else {
            ClearSelection(item, action);
            SetOne(item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED, action);
            anchor_ = item;
        }
        if (!IsWindow(self)) return;
        pressItem_ = item;
        pressPos_ = at;
        Click(event, NM_CLICK);
    } else if (event->button() == Qt::RightButton) {
        if (item >= 0 && !Selected(item)) {
            ClearSelection(item, action);
            SetOne(item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED, action);
        }
        if (IsWindow(self)) Click(event, NM_RCLICK);
    }
}

void ListViewWidget::mouseMoveEvent(QMouseEvent* event) {
    if (pressItem_ < 0 || !(event->buttons() & Qt::LeftButton)) return;
    const QPoint at = event->position().toPoint();
    if ((at - pressPos_).manhattanLength() < QApplication::startDragDistance()) return;
    const int item = pressItem_;
    pressItem_ = -1;  // one drag per press
    NMLISTVIEW nm;
    nm.iItem = item;
    nm.ptAction = POINT{pressPos_.x(), pressPos_.y() + HeaderHeight()};
    SendNotify(Self(), LVN_BEGINDRAG, &nm.hdr);
}

void ListViewWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) Click(event, NM_DBLCLK);
}

LRESULT ListViewWidget::OnHeaderNotify(NMHDR* nm, bool* handled) {
    *handled = true;
    const HWND self = Self();
    auto* header = reinterpret_cast<NMHEADER*>(nm);
    const UINT code = nm->code;
    if (code == HDN_BEGINDRAG && !(exStyle_ & LVS_EX_HEADERDRAGDROP)) return TRUE;
    // The parent hears the header's notifications as they are (hwndFrom is the header).
    HWND parent = ::GetParent(self);
    LRESULT result =
        parent ? ::SendMessage(parent, WM_NOTIFY, nm->idFrom, reinterpret_cast<LPARAM>(nm)) : 0;
    if (!IsWindow(self)) return result;
    if (code == HDN_ITEMCLICK && !(style & LVS_NOSORTHEADER)) {
        NMLISTVIEW click;
        click.iItem = -1;
        click.iSubItem = header->iItem;
        SendNotify(self, LVN_COLUMNCLICK, &click.hdr);
    }
    if (code == HDN_ITEMCHANGED || code == HDN_ENDDRAG || code == HDN_TRACK) {
        UpdateScroll();
        viewport()->update();
    }
    return result;
}

LRESULT ListViewWidget::Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                               bool* handled) {
    *handled = true;
    const int index = static_cast<int>(static_cast<intptr_t>(wParam));
    const HWND headerHwnd = WindowTable::Instance().HandleOf(header_);
    auto toHeader = [&](UINT m, WPARAM w, LPARAM l) { return ::SendMessage(headerHwnd, m, w, l); };
    switch (message) {
        case WM_NOTIFY: {
            auto* nm = reinterpret_cast<NMHDR*>(lParam);
            if (nm && nm->hwndFrom == headerHwnd && headerHwnd) return OnHeaderNotify(nm, handled);
            *handled = false;
            return 0;
        }
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_SETFONT:
        case WM_WINDOWPOSCHANGED:
            // Owner-drawn rows and the header are measured again (the class's default goes on).
            measuredHeight_ = 0;
            *handled = false;
            LayOut();
            viewport()->update();
            return 0;
        case WM_VSCROLL:
        case WM_HSCROLL:
            Scroll(message == WM_VSCROLL, LOWORD(wParam), HIWORD(wParam));
            thumbWanted_ = -1;
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            *handled = false;
            viewport()->update();
            NMHDR nm;
            SendNotify(hwnd, message == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS, &nm);
            return 0;
        }
        case LVM_GETITEMCOUNT:
            return count_;
        case LVM_SETITEMCOUNT:
            SetCount(index, lParam);
            return TRUE;
        case LVM_GETHEADER:
            return static_cast<LRESULT>(headerHwnd);
        case LVM_INSERTCOLUMN: {
            const auto* column = reinterpret_cast<const LVCOLUMN*>(lParam);
            if (!column) return -1;
            HDITEM item;
            item.mask = HDI_FORMAT | HDI_LPARAM;
            item.fmt = HeaderFormat((column->mask & LVCF_FMT) ? column->fmt : 0) | HDF_STRING;
            if (column->mask & LVCF_WIDTH) item.mask |= HDI_WIDTH, item.cxy = column->cx;
            if (column->mask & LVCF_TEXT) item.mask |= HDI_TEXT, item.pszText = column->pszText;
            if (column->mask & LVCF_ORDER) item.mask |= HDI_ORDER, item.iOrder = column->iOrder;
            const LRESULT at = toHeader(HDM_INSERTITEM, wParam, reinterpret_cast<LPARAM>(&item));
            LayOut();
            viewport()->update();
            return at;
        }
        case LVM_DELETECOLUMN: {
            const LRESULT done = toHeader(HDM_DELETEITEM, wParam, 0);
            LayOut();
            viewport()->update();
            return done;
        }
        case LVM_SETCOLUMN:
        case LVM_GETCOLUMN: {
            auto* column = reinterpret_cast<LVCOLUMN*>(lParam);
            if (!column || index < 0 || index >= header_->Count()) return FALSE;
            HDITEM item;
            if (column->mask & LVCF_FMT) item.mask |= HDI_FORMAT;
            if (column->mask & LVCF_WIDTH) item.mask |= HDI_WIDTH;
            if (column->mask & LVCF_TEXT) item.mask |= HDI_TEXT;
            if (column->mask & LVCF_ORDER) item.mask |= HDI_ORDER;
            item.pszText = column->pszText;
            item.cchTextMax = column->cchTextMax;
            if (message == LVM_GETCOLUMN) {
                if (!toHeader(HDM_GETITEM, wParam, reinterpret_cast<LPARAM>(&item))) return FALSE;
                const int justify = item.fmt & HDF_JUSTIFYMASK;
                if (column->mask & LVCF_FMT)
                    column->fmt = justify == HDF_RIGHT    ? LVCFMT_RIGHT
                                  : justify == HDF_CENTER ? LVCFMT_CENTER
                                                          : LVCFMT_LEFT;
                if (column->mask & LVCF_WIDTH) column->cx = item.cxy;
                if (column->mask & LVCF_ORDER) column->iOrder = item.iOrder;
                if (column->mask & LVCF_SUBITEM) column->iSubItem = index;
                return TRUE;
            }
            // Keep the header's own format bits (sort marks, owner draw) apart from the alignment.
            item.fmt = (header_->At(index).fmt & ~HDF_JUSTIFYMASK) | HeaderFormat(column->fmt);
            item.cxy = column->cx;
            item.iOrder = column->iOrder;
            const LRESULT done = toHeader(HDM_SETITEM, wParam, reinterpret_cast<LPARAM>(&item));
            LayOut();
            viewport()->update();
            return done;
        }
        case LVM_GETCOLUMNWIDTH:
            return index >= 0 && index < header_->Count() ? header_->At(index).width : 0;
        case LVM_SETCOLUMNWIDTH: {
            if (index < 0 || index >= header_->Count()) return FALSE;
            int width = static_cast<int>(static_cast<int16_t>(LOWORD(static_cast<DWORD>(lParam))));
            if (width == LVSCW_AUTOSIZE || width == LVSCW_AUTOSIZE_USEHEADER) {
                // The widest text in sight (and the caption when asked).
                int widest = width == LVSCW_AUTOSIZE_USEHEADER
                                 ? fontMetrics().horizontalAdvance(
                                       QString::fromStdString(header_->At(index).text)) +
                                       12
                                 : 0;
                for (int item = Top(); item < std::min(count_, Top() + PerPage() + 1); ++item)
                    widest = std::max(widest,
                                      fontMetrics().horizontalAdvance(
                                          QString::fromStdString(CellText(item, index, nullptr))) +
                                          2 * kTextMargin);
                width =
                    widest + ((index == 0 && (exStyle_ & LVS_EX_CHECKBOXES)) ? kCheckBoxWidth : 0);
            }
            HDITEM item;
            item.mask = HDI_WIDTH;
            item.cxy = std::max(0, width);
            const LRESULT done = toHeader(HDM_SETITEM, wParam, reinterpret_cast<LPARAM>(&item));
            LayOut();
            viewport()->update();
            return done;
        }
        case LVM_GETITEMSTATE:
            return static_cast<LRESULT>(StateOf(index) & static_cast<UINT>(lParam));
        case LVM_SETITEMSTATE: {
            const auto* item = reinterpret_cast<const LVITEM*>(lParam);
            if (!item) return FALSE;
            if (index >= count_ || index < -1) return FALSE;
            return SetState(index, item->state, item->stateMask) ? TRUE : FALSE;
        }
        case LVM_GETSELECTEDCOUNT:
            return std::count(selected_.begin(), selected_.end(), 1);
        case LVM_GETNEXTITEM: {
            const int flags = static_cast<int>(lParam);
            for (int item = std::max(index + 1, 0); item < count_; ++item) {
                if ((flags & LVNI_SELECTED) && !Selected(item)) continue;
                if ((flags & LVNI_FOCUSED) && item != focused_) continue;
                return item;
            }
            return -1;
        }
        case LVM_ENSUREVISIBLE:
            EnsureVisible(index);
            return index >= 0 && index < count_ ? TRUE : FALSE;
        case LVM_GETTOPINDEX:
            return Top();
        case LVM_GETCOUNTPERPAGE:
            return PerPage();
        case LVM_GETITEMRECT: {
            auto* rect = reinterpret_cast<RECT*>(lParam);
            if (!rect || index < 0 || index >= count_) return FALSE;
            *rect = ItemRect(index, rect->left);
            return TRUE;
        }
        case LVM_GETSUBITEMRECT: {
            auto* rect = reinterpret_cast<RECT*>(lParam);
            if (!rect || index < 0 || index >= count_ || rect->top < 0 ||
                rect->top >= header_->Count())
                return FALSE;
            *rect = SubItemRect(index, rect->top, rect->left);
            return TRUE;
        }
        case LVM_HITTEST:
        case LVM_SUBITEMHITTEST: {
            auto* info = reinterpret_cast<LVHITTESTINFO*>(lParam);
            if (!info) return -1;
            return HitTest(info);
        }
        case LVM_REDRAWITEMS:
            RedrawItems(index, static_cast<int>(lParam));
            return TRUE;
        case LVM_UPDATE:
            RedrawItems(index, index);
            return TRUE;
        case LVM_SCROLL: {
            const int dx = static_cast<int>(static_cast<intptr_t>(wParam));
            const int dy = static_cast<int>(lParam);
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() + dx);
            // Vertical scrolling goes by whole rows, rounded away from zero.
            const int rows = dy == 0 ? 0
                                     : (dy > 0 ? (dy + RowHeight() - 1) / RowHeight()
                                               : -((-dy + RowHeight() - 1) / RowHeight()));
            verticalScrollBar()->setValue(Top() + rows);
            return TRUE;
        }
        case LVM_GETEXTENDEDLISTVIEWSTYLE:
            return exStyle_;
        case LVM_SETEXTENDEDLISTVIEWSTYLE: {
            const DWORD old = exStyle_;
            const DWORD mask = wParam ? static_cast<DWORD>(wParam) : 0xFFFFFFFFu;
            exStyle_ = (exStyle_ & ~mask) | (static_cast<DWORD>(lParam) & mask);
            if ((exStyle_ & LVS_EX_CHECKBOXES) && !(old & LVS_EX_CHECKBOXES))
                for (uint8_t& image : stateImage_)
                    if (image == 0) image = 1;
            if (headerHwnd) {
                const LONG headerStyle = ::GetWindowLong(headerHwnd, GWL_STYLE);
                ::SetWindowLong(headerHwnd, GWL_STYLE,
                                (exStyle_ & LVS_EX_HEADERDRAGDROP)
                                    ? (headerStyle | static_cast<LONG>(HDS_DRAGDROP))
                                    : (headerStyle & ~static_cast<LONG>(HDS_DRAGDROP)));
            }
            viewport()->update();
            return old;
        }
        case LVM_GETIMAGELIST:
            return reinterpret_cast<LRESULT>(wParam == LVSIL_STATE ? state_ : small_);
        case LVM_SETIMAGELIST: {
            CImageList*& slot = wParam == LVSIL_STATE ? state_ : small_;
            CImageList* old = slot;
            slot = reinterpret_cast<CImageList*>(lParam);
            UpdateScroll();
            viewport()->update();
            return reinterpret_cast<LRESULT>(old);
        }
        case LVM_GETBKCOLOR:
            return bkColor_;
        case LVM_SETBKCOLOR:
            bkColor_ = static_cast<COLORREF>(lParam);
            viewport()->update();
            return TRUE;
        case LVM_GETTEXTCOLOR:
            return textColor_;
        case LVM_SETTEXTCOLOR:
            textColor_ = static_cast<COLORREF>(lParam);
            viewport()->update();
            return TRUE;
        case LVM_GETTEXTBKCOLOR:
            return textBkColor_;
        case LVM_SETTEXTBKCOLOR:
            textBkColor_ = static_cast<COLORREF>(lParam);
            viewport()->update();
            return TRUE;
        default:
            *handled = false;
            return 0;
    }
}

namespace {

class ListViewClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD) const override {
        auto* list = new ListViewWidget(parent);
        if (flags) list->setWindowFlags(flags);
        return list;
    }
    bool TakesFocus() const override { return true; }
    void ApplyStyle(QWidget* widget, DWORD style) const override {
        auto* list = static_cast<ListViewWidget*>(widget);
        list->style = style;
        list->LayOut();
    }
    void Connect(HWND, QWidget* widget) const override {
        // The header is a window of its own, a child of the list.
        auto* list = static_cast<ListViewWidget*>(widget);
        AdoptWidget(list->Header(), "SysHeader32",
                    WS_CHILD | WS_VISIBLE | HDS_BUTTONS | HDS_FULLDRAG, 0);
    }
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                      bool* handled) const override {
        auto* list = static_cast<ListViewWidget*>(record.widget);
        if (list->style != record.style) {
            list->style = record.style;
            list->LayOut();
        }
        return list->Handle(record.hwnd, message, wParam, lParam, handled);
    }
};

}  // namespace

void AddListClasses(std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>>& classes) {
    AddHeaderClass(classes);
    classes.emplace_back("SysListView32", std::make_unique<ListViewClass>());
}

}  // namespace platform::ui
