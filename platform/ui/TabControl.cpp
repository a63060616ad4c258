// The "SysTabControl32" window class: an owner-painted widget with the tabs' layout (one or
// more rows, fixed width, buttons, at the bottom), the page rectangle and the notifications.
#include "platform/ui/TabControl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPolygon>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "platform/ui/Dc.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/HeaderCtrl.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowLayer.h"
#include "platform/ui/WindowTable.h"

namespace platform::ui {
namespace {

constexpr int kTextBudget = 256;     // a tab keeps at most 255 bytes of text
constexpr int kPadding = 6;          // left and right of a tab's content (TCM_SETPADDING)
constexpr int kVerticalPadding = 3;  // above and below a tab's text (TCM_SETPADDING)
constexpr int kImageGap = 3;         // between a tab's image and its text
constexpr int kFrame = 2;            // the page frame, and the lift of the selected tab
constexpr int kButtonGap = 3;        // between buttons, and between the buttons and the page
constexpr int kArrowWidth = 16;      // each of the two scroll arrows of a row too long to show

struct Tab {
    std::string text;
    int image = -1;
    DWORD state = 0;
    LPARAM lParam = 0;
};

class TabWidget : public QWidget {
public:
    explicit TabWidget(QWidget* parent) : QWidget(parent) {}

    DWORD style = 0;

    int Insert(int index, const TCITEM* item) {
        if (!item || index < 0) return -1;
        index = std::min(index, static_cast<int>(tabs_.size()));
        Tab tab;
        Apply(&tab, *item);
        tabs_.insert(tabs_.begin() + index, std::move(tab));
        if (tabs_.size() == 1)
            current_ = 0;
        else if (current_ >= index)
            ++current_;
        update();
        return index;
    }
    BOOL Delete(int index) {
        if (!Valid(index)) return FALSE;
        tabs_.erase(tabs_.begin() + index);
        if (index == current_)
            current_ = -1;
        else if (index < current_)
            --current_;
        update();
        return TRUE;
    }
    BOOL DeleteAll() {
        tabs_.clear();
        current_ = -1;
        update();
        return TRUE;
    }
    BOOL Get(int index, TCITEM* item) const {
        if (!item || !Valid(index)) return FALSE;
        const Tab& tab = tabs_[static_cast<size_t>(index)];
        if (item->mask & TCIF_TEXT) CopyTextToBuffer(tab.text, item->pszText, item->cchTextMax);
        if (item->mask & TCIF_IMAGE) item->iImage = tab.image;
        if (item->mask & TCIF_PARAM) item->lParam = tab.lParam;
        if (item->mask & TCIF_STATE) item->dwState = tab.state & item->dwStateMask;
        return TRUE;
    }
    BOOL Set(int index, const TCITEM* item) {
        if (!item || !Valid(index)) return FALSE;
        Apply(&tabs_[static_cast<size_t>(index)], *item);
        update();
        return TRUE;
    }
    int Count() const { return static_cast<int>(tabs_.size()); }
    int Current() const { return current_; }
    // A program change: no notification.
    int SetCurrent(int index) {
        if (!Valid(index)) return -1;
        const int old = current_;
        current_ = index;
        ScrollIntoView(index);
        update();
        return old;
    }
    CImageList* SetImageList(CImageList* list) {
        CImageList* old = images_;
        images_ = list;
        update();
        return old;
    }
    CImageList* ImageList() const { return images_; }

    BOOL ItemRect(int index, RECT* rect) const {
        if (!rect || !Valid(index)) return FALSE;
        const QRect r = Layout().items[static_cast<size_t>(index)];
        *rect = RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
        return TRUE;
    }

    int HitTest(TCHITTESTINFO* info) const {
        if (!info) return -1;
        const QPoint at(info->pt.x, info->pt.y);
        const TabLayout layout = Layout();
        const auto& items = layout.items;
        for (size_t i = 0; i < items.size() && !layout.arrows.contains(at); ++i) {
            if (!items[i].contains(at)) continue;
            const QRect icon = IconRect(static_cast<int>(i), items[i]);
            info->flags = icon.contains(at) ? TCHT_ONITEMICON : TCHT_ONITEMLABEL;
            return static_cast<int>(i);
        }
        info->flags = TCHT_NOWHERE;
        return -1;
    }

    // Between the window rectangle and the page (display) rectangle, the same band and frame
    // as the painting uses.
    void AdjustRect(bool larger, RECT* rect) const {
        if (!rect) return;
        const int band = Layout().band;
        const bool buttons = style & TCS_BUTTONS;
        const int side = buttons ? 0 : kFrame;
        const int near = band + (buttons ? kButtonGap : kFrame);
        const int sign = larger ? -1 : 1;
        rect->left += sign * side;
        rect->right -= sign * side;
        if (style & TCS_BOTTOM) {
            rect->top += sign * side;
            rect->bottom -= sign * near;
        } else {
            rect->top += sign * near;
            rect->bottom -= sign * side;
        }
    }
    int Rows() const { return Layout().rows; }

    // TCM_SETITEMSIZE: the height of every tab (when positive) and the width of fixed-width
    // tabs (when positive); returns the size before, as the system control does.
    LRESULT SetItemSize(int cx, int cy) {
        const TabLayout before = Layout();
        const QRect old = before.items.empty() ? QRect() : before.items.front();
        const int oldWidth = itemWidth_ > 0 ? itemWidth_ : old.width();
        const int oldHeight = itemHeight_ > 0 ? itemHeight_ : old.height();
        if (cx > 0) itemWidth_ = cx;
        if (cy > 0) itemHeight_ = cy;
        update();
        return static_cast<LRESULT>(
            MAKELPARAM(static_cast<WORD>(oldWidth), static_cast<WORD>(oldHeight)));
    }
    // TCM_SETPADDING: the room left and right of a tab's content, and above and below it.
    void SetPadding(int cx, int cy) {
        padding_ = QSize(std::max(cx, 0), std::max(cy, 0));
        update();
    }

    // A user's choice of tab: the parent may refuse it, and hears of it when done.
    void Choose(int index) {
        if (!Valid(index) || index == current_) return;
        QPointer<TabWidget> alive(this);
        NMHDR nm;
        if (SendNotify(Handle(), TCN_SELCHANGING, &nm) != 0 || !alive) return;
        current_ = index;
        ScrollIntoView(index);
        update();
        SendNotify(Handle(), TCN_SELCHANGE, &nm);
    }
    // The first tab shown in a row too long for the control (0 when everything fits).
    int FirstShown() const { return Layout().first; }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        TCHITTESTINFO hit;
        hit.pt = POINT{event->position().toPoint().x(), event->position().toPoint().y()};
        const TabLayout layout = Layout();
        if (event->button() == Qt::LeftButton && layout.arrows.contains(hit.pt.x, hit.pt.y)) {
            // The left arrow shows one tab more at the left, the right one at the right.
            const bool left = hit.pt.x < layout.arrows.center().x();
            const int first = std::clamp(layout.first + (left ? -1 : 1), 0, layout.lastFirst);
            if (first != first_) {
                first_ = first;
                update();
            }
            return;
        }
        const int index = HitTest(&hit);
        pressed_ = event->button();
        if (event->button() != Qt::LeftButton) return;
        if ((style & TCS_FOCUSONBUTTONDOWN) && !(style & TCS_FOCUSNEVER))
            setFocus(Qt::MouseFocusReason);
        Choose(index);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != pressed_) return;
        pressed_ = Qt::NoButton;
        NMHDR nm;
        if (event->button() == Qt::LeftButton) SendNotify(Handle(), NM_CLICK, &nm);
        if (event->button() == Qt::RightButton) SendNotify(Handle(), NM_RCLICK, &nm);
    }

    void paintEvent(QPaintEvent*) override {
        const TabLayout layout = Layout();
        {
            QPainter painter(this);
            painter.fillRect(rect(), ToQColor(GetSysColor(COLOR_BTNFACE)));
            const QColor light = ToQColor(GetSysColor(COLOR_WINDOW));
            const QColor shadow = ToQColor(GetSysColor(COLOR_BTNSHADOW));
            const bool buttons = style & TCS_BUTTONS;
            const bool bottom = style & TCS_BOTTOM;
            if (!buttons) {
                const QRect page = bottom ? QRect(0, 0, width(), height() - layout.band)
                                          : QRect(0, layout.band, width(), height() - layout.band);
                painter.setPen(shadow);
                painter.drawRect(page.adjusted(0, 0, -1, -1));
                painter.setPen(light);
                painter.drawRect(page.adjusted(1, 1, -2, -2));
            }
            for (size_t i = 0; i < tabs_.size(); ++i) {
                QRect r = layout.items[i];
                const bool chosen = static_cast<int>(i) == current_;
                const bool pressed = buttons && (chosen || (tabs_[i].state & TCIS_BUTTONPRESSED));
                if (chosen && !buttons)
                    r = bottom ? r.adjusted(-kFrame, -1, kFrame, kFrame)
                               : r.adjusted(-kFrame, -kFrame, kFrame, 1);
                painter.fillRect(r, ToQColor(GetSysColor(COLOR_BTNFACE)));
                if (!buttons || !(style & TCS_FLATBUTTONS) || pressed) {
                    painter.setPen(pressed ? shadow : light);
                    painter.drawLine(r.topLeft(),
                                     bottom && !buttons ? r.bottomLeft() : r.topRight());
                    painter.drawLine(r.topLeft(), r.bottomLeft());
                    painter.setPen(pressed ? light : shadow);
                    painter.drawLine(r.topRight(), r.bottomRight());
                    if (buttons || bottom) painter.drawLine(r.bottomLeft(), r.bottomRight());
                }
                if (style & TCS_OWNERDRAWFIXED) continue;
                const QRect icon = IconRect(static_cast<int>(i), layout.items[i]);
                if (!icon.isEmpty()) {
                    const QImage image = images_->GetImage(tabs_[i].image);
                    painter.drawImage(icon.left(), icon.center().y() - image.height() / 2, image);
                }
                QRect text = layout.items[i].adjusted(padding_.width(), 0, -padding_.width(), 0);
                if (!icon.isEmpty()) text.setLeft(icon.right() + 1 + kImageGap);
                painter.setPen(ToQColor(GetSysColor(COLOR_BTNTEXT)));
                painter.drawText(
                    text, Qt::AlignVCenter | (icon.isEmpty() ? Qt::AlignHCenter : Qt::AlignLeft),
                    QString::fromStdString(tabs_[i].text));
            }
        }
        if (style & TCS_OWNERDRAWFIXED) DrawOwnerItems(layout);
        if (!layout.arrows.isEmpty()) DrawArrows(layout);
    }

private:
    struct TabLayout {
        std::vector<QRect> items;
        int rows = 0;
        int band = 0;       // the height of the strip of tabs
        QRect arrows;       // the two scroll arrows; empty when the row fits
        int first = 0;      // the first tab shown
        int lastFirst = 0;  // the last tab that may be the first shown
    };

    HWND Handle() const { return WindowOf(this); }
    bool Valid(int index) const { return index >= 0 && index < static_cast<int>(tabs_.size()); }

    void Apply(Tab* tab, const TCITEM& item) {
        if ((item.mask & TCIF_TEXT) && item.pszText && item.pszText != LPSTR_TEXTCALLBACK) {
            char kept[kTextBudget];
            CopyTextToBuffer(item.pszText, kept, kTextBudget);
            tab->text = kept;
        }
        if (item.mask & TCIF_IMAGE) tab->image = item.iImage;
        if (item.mask & TCIF_PARAM) tab->lParam = item.lParam;
        if (item.mask & TCIF_STATE)
            tab->state = (tab->state & ~item.dwStateMask) | (item.dwState & item.dwStateMask);
    }

    QSize ImageSize() const {
        int cx = 0, cy = 0;
        if (images_ && images_->GetIconSize(&cx, &cy)) return QSize(cx, cy);
        return QSize();
    }
    bool HasImage(int index) const {
        return images_ && tabs_[static_cast<size_t>(index)].image >= 0 &&
               tabs_[static_cast<size_t>(index)].image < images_->GetImageCount();
    }
    QRect IconRect(int index, const QRect& item) const {
        if (!HasImage(index)) return QRect();
        const QSize size = ImageSize();
        return QRect(item.left() + padding_.width(), item.top(), size.width(), item.height());
    }

    TabLayout Layout() const {
        TabLayout layout;
        const QSize imageSize = ImageSize();
        const int tabHeight =
            itemHeight_ > 0
                ? itemHeight_
                : std::max(fontMetrics().height() + 2 * padding_.height(), imageSize.height() + 4);
        std::vector<int> widths;
        for (size_t i = 0; i < tabs_.size(); ++i) {
            int w = fontMetrics().horizontalAdvance(QString::fromStdString(tabs_[i].text)) +
                    2 * padding_.width();
            if (HasImage(static_cast<int>(i))) w += imageSize.width() + kImageGap;
            widths.push_back(w);
        }
        if ((style & TCS_FIXEDWIDTH) && !widths.empty())
            std::fill(
                widths.begin(), widths.end(),
                itemWidth_ > 0 ? itemWidth_ : *std::max_element(widths.begin(), widths.end()));
        const bool buttons = style & TCS_BUTTONS;
        const int start = buttons ? 0 : kFrame;
        const int gap = buttons ? kButtonGap : 0;
        const int limit = width() - kFrame;
        // Rows fill from the one next to the page outward.
        std::vector<int> rowOf(widths.size(), 0);
        std::vector<int> xOf(widths.size(), start);
        int row = 0, x = start;
        for (size_t i = 0; i < widths.size(); ++i) {
            if ((style & TCS_MULTILINE) && x > start && x + widths[i] > limit) {
                ++row;
                x = start;
            }
            rowOf[i] = row;
            xOf[i] = x;
            x += widths[i] + gap;
        }
        layout.rows = widths.empty() ? 0 : row + 1;
        // One row too long: it scrolls by whole tabs behind two arrows at its right end.
        const bool overflow = !(style & TCS_MULTILINE) && !widths.empty() && x - gap > limit;
        if (overflow) {
            const int room = width() - 2 * kArrowWidth - start;
            int lastFirst = static_cast<int>(widths.size()) - 1;
            for (int used = widths.back();
                 lastFirst > 0 && used + gap + widths[lastFirst - 1] <= room;)
                used += gap + widths[--lastFirst];
            layout.lastFirst = lastFirst;
            layout.first = std::clamp(first_, 0, lastFirst);
            const int shift = xOf[static_cast<size_t>(layout.first)] - start;
            for (int& at : xOf) at -= shift;
        }
        const int rowPitch = tabHeight + gap;
        layout.band = layout.rows == 0 ? 0 : layout.rows * rowPitch - gap + (buttons ? 0 : kFrame);
        for (size_t i = 0; i < widths.size(); ++i) {
            const int fromPage = rowOf[i];
            int y = (style & TCS_BOTTOM)
                        ? height() - layout.band + (buttons ? 0 : 0) + fromPage * rowPitch
                        : layout.band - (fromPage + 1) * rowPitch + gap;
            layout.items.emplace_back(xOf[i], y, widths[i], tabHeight);
        }
        if (overflow)
            layout.arrows = QRect(width() - 2 * kArrowWidth, layout.items.front().top(),
                                  2 * kArrowWidth, tabHeight);
        return layout;
    }

    // Makes the tab fully visible in a scrolling row.
    void ScrollIntoView(int index) {
        TabLayout layout = Layout();
        if (layout.arrows.isEmpty()) return;
        if (index < layout.first) {
            first_ = index;
            return;
        }
        while (first_ < layout.lastFirst &&
               layout.items[static_cast<size_t>(index)].right() >= layout.arrows.left()) {
            first_ = layout.first + 1;
            layout = Layout();
        }
    }

    void DrawArrows(const TabLayout& layout) {
        QPainter painter(this);
        const QColor face = ToQColor(GetSysColor(COLOR_BTNFACE));
        const QColor light = ToQColor(GetSysColor(COLOR_WINDOW));
        const QColor shadow = ToQColor(GetSysColor(COLOR_BTNSHADOW));
        for (int side = 0; side < 2; ++side) {
            const QRect box(layout.arrows.left() + side * kArrowWidth, layout.arrows.top(),
                            kArrowWidth, layout.arrows.height());
            painter.fillRect(box, face);
            painter.setPen(light);
            painter.drawLine(box.topLeft(), box.topRight());
            painter.drawLine(box.topLeft(), box.bottomLeft());
            painter.setPen(shadow);
            painter.drawLine(box.bottomLeft(), box.bottomRight());
            painter.drawLine(box.topRight(), box.bottomRight());
            // A greyed arrow cannot scroll further.
            const bool can = side == 0 ? layout.first > 0 : layout.first < layout.lastFirst;
            painter.setPen(Qt::NoPen);
            painter.setBrush(can ? ToQColor(GetSysColor(COLOR_BTNTEXT)) : shadow);
            const QPoint c = box.center();
            const QPolygon arrow =
                side == 0 ? QPolygon({QPoint(c.x() - 2, c.y()), QPoint(c.x() + 2, c.y() - 4),
                                      QPoint(c.x() + 2, c.y() + 4)})
                          : QPolygon({QPoint(c.x() + 2, c.y()), QPoint(c.x() - 2, c.y() - 4),
                                      QPoint(c.x() - 2, c.y() + 4)});
            painter.drawPolygon(arrow);
        }
    }

    void DrawOwnerItems(const TabLayout& layout) {
        const HWND hwnd = Handle();
        const WindowRecord* record = WindowTable::Instance().Find(hwnd);
        const HWND parent = ::GetParent(hwnd);
        if (!record || !parent) return;
        QPointer<TabWidget> alive(this);
        for (size_t i = 0; i < tabs_.size() && alive; ++i) {
            CDC dc;
            dc.AttachWindow(hwnd, this, RECT{0, 0, width(), height()});
            DRAWITEMSTRUCT item;
            item.CtlType = ODT_TAB;
            item.CtlID = static_cast<UINT>(record->id);
            item.itemID = static_cast<UINT>(i);
            item.itemAction = ODA_DRAWENTIRE;
            item.itemState = static_cast<int>(i) == current_ ? ODS_SELECTED : 0;
            item.hwndItem = hwnd;
            item.hDC = &dc;
            const QRect& r = layout.items[i];
            item.rcItem = RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
            item.itemData = static_cast<ULONG_PTR>(tabs_[i].lParam);
            ::SendMessage(parent, WM_DRAWITEM, static_cast<WPARAM>(record->id),
                          reinterpret_cast<LPARAM>(&item));
            if (alive) dc.DetachWindow();
        }
    }

    std::vector<Tab> tabs_;
    int current_ = -1;
    int first_ = 0;  // the first tab shown, as the arrows left it
    CImageList* images_ = nullptr;
    Qt::MouseButton pressed_ = Qt::NoButton;
    int itemWidth_ = 0;   // fixed-width tabs; 0: the widest tab's width
    int itemHeight_ = 0;  // 0: from the font and the images
    QSize padding_{kPadding, kVerticalPadding};
};

class TabControlClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD) const override {
        auto* tabs = new TabWidget(parent);
        if (flags) tabs->setWindowFlags(flags);
        return tabs;
    }
    bool TakesFocus() const override { return true; }
    void ApplyStyle(QWidget* widget, DWORD style) const override {
        auto* tabs = static_cast<TabWidget*>(widget);
        tabs->style = style;
        tabs->setFocusPolicy((style & TCS_FOCUSNEVER) ? Qt::NoFocus : Qt::TabFocus);
        tabs->update();
    }
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                      bool* handled) const override {
        auto* tabs = static_cast<TabWidget*>(record.widget);
        tabs->style = record.style;
        *handled = true;
        const int index = static_cast<int>(static_cast<intptr_t>(wParam));
        switch (message) {
            case TCM_INSERTITEM:
                return tabs->Insert(index, reinterpret_cast<const TCITEM*>(lParam));
            case TCM_DELETEITEM:
                return tabs->Delete(index);
            case TCM_DELETEALLITEMS:
                return tabs->DeleteAll();
            case TCM_GETITEM:
                return tabs->Get(index, reinterpret_cast<TCITEM*>(lParam));
            case TCM_SETITEM:
                return tabs->Set(index, reinterpret_cast<const TCITEM*>(lParam));
            case TCM_GETITEMCOUNT:
                return tabs->Count();
            case TCM_GETCURSEL:
                return tabs->Current();
            case TCM_SETCURSEL:
                return tabs->SetCurrent(index);
            case TCM_GETITEMRECT:
                return tabs->ItemRect(index, reinterpret_cast<RECT*>(lParam));
            case TCM_ADJUSTRECT:
                tabs->AdjustRect(wParam != 0, reinterpret_cast<RECT*>(lParam));
                return 0;
            case TCM_HITTEST:
                return tabs->HitTest(reinterpret_cast<TCHITTESTINFO*>(lParam));
            case TCM_SETIMAGELIST:
                return reinterpret_cast<LRESULT>(
                    tabs->SetImageList(reinterpret_cast<CImageList*>(lParam)));
            case TCM_GETIMAGELIST:
                return reinterpret_cast<LRESULT>(tabs->ImageList());
            case TCM_GETROWCOUNT:
                return tabs->Rows();
            case TCM_SETITEMSIZE:
                return tabs->SetItemSize(
                    static_cast<short>(LOWORD(static_cast<uintptr_t>(lParam))),
                    static_cast<short>(HIWORD(static_cast<uintptr_t>(lParam))));
            case TCM_SETPADDING:
                tabs->SetPadding(static_cast<short>(LOWORD(static_cast<uintptr_t>(lParam))),
                                 static_cast<short>(HIWORD(static_cast<uintptr_t>(lParam))));
                return 0;
            case WM_KEYDOWN:
                if (wParam == VK_LEFT || wParam == VK_RIGHT) {
                    const int step = wParam == VK_LEFT ? -1 : 1;
                    tabs->Choose(std::clamp(tabs->Current() + step, 0, tabs->Count() - 1));
                    return 0;
                }
                *handled = false;
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

std::unique_ptr<WindowClass> MakeTabControlClass() { return std::make_unique<TabControlClass>(); }

}  // namespace platform::ui
