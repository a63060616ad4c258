// "ComboBox" over QComboBox (its edit field is an "Edit" window of its own) and "ListBox" over a
// scroll area that draws its rows itself, so that owner-drawn and no-data lists paint only the
// rows in view.
#include "platform/ui/ComboListControls.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <algorithm>
#include <cstring>

#include "platform/core/Encoding.h"
#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowLayer.h"
#include "platform/ui/WindowTable.h"
#include "platform/ui/Wnd.h"

namespace platform::ui {
namespace {

std::string TextOf(LPARAM lParam) {
    return lParam ? std::string(reinterpret_cast<const char*>(lParam)) : std::string();
}

// Copies an item's text into a caller buffer sized from the matching ...GETTEXTLEN answer.
LRESULT CopyItemText(const std::string& text, LPARAM lParam) {
    if (!lParam) return -1;
    std::memcpy(reinterpret_cast<char*>(lParam), text.c_str(), text.size() + 1);
    return static_cast<LRESULT>(text.size());
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() &&
           EqualsNoCaseAscii(std::string_view(text).substr(0, prefix.size()), prefix);
}

int CompareNoCase(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(AsciiToLower(a[i]));
        const auto y = static_cast<unsigned char>(AsciiToLower(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The search of ..._FINDSTRING(EXACT): from the item after `start` (-1: from the first), round
// to the start again.
template <typename TextAt>
LRESULT FindItem(int count, WPARAM start, const std::string& wanted, bool exact, TextAt textAt) {
    if (count <= 0) return -1;
    int first = static_cast<int>(static_cast<intptr_t>(start));
    first = (first < 0 || first >= count) ? 0 : first + 1;
    for (int step = 0; step < count; ++step) {
        const int index = (first + step) % count;
        const std::string text = textAt(index);
        if (exact ? EqualsNoCaseAscii(text, wanted) : StartsWithNoCase(text, wanted)) return index;
    }
    return -1;
}

bool IsOwnerDrawList(DWORD style) {
    return (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0;
}

// ---- ListBox ------------------------------------------------------------------------------------

class ListBoxWidget : public QAbstractScrollArea {
public:
    ListBoxWidget(QWidget* parent, DWORD style) : QAbstractScrollArea(parent), style_(style) {
        setFrameShape(QFrame::NoFrame);  // the rows' coordinates are the client coordinates
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        itemHeight_ = std::max(1, fontMetrics().height());
        connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
            top_ = value;
            viewport()->update();
        });
    }

    HWND hwnd = 0;
    DWORD style_;

    bool NoData() const { return (style_ & LBS_NODATA) && IsOwnerDrawList(style_); }
    bool HasStrings() const { return !IsOwnerDrawList(style_) || (style_ & LBS_HASSTRINGS); }
    bool Multiple() const { return (style_ & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0; }
    int Count() const { return NoData() ? noDataCount_ : static_cast<int>(items_.size()); }
    bool Valid(int index) const { return index >= 0 && index < Count(); }

    int Insert(int index, LPARAM lParam) {
        if (NoData()) return -1;
        Item item;
        if (HasStrings())
            item.text = TextOf(lParam);
        else
            item.data = static_cast<ULONG_PTR>(lParam);
        if (index < 0 || index > Count()) index = Count();
        items_.insert(items_.begin() + index, std::move(item));
        selected_.insert(selected_.begin() + index, false);
        if (cur_ >= index) ++cur_;
        if (caret_ >= index) ++caret_;
        if (style_ & LBS_OWNERDRAWVARIABLE) items_[index].height = Measure(index);
        Changed();
        return index;
    }
    int Add(LPARAM lParam) {
        if (NoData()) return -1;
        int index = Count();
        if ((style_ & LBS_SORT) && HasStrings()) {
            const std::string text = TextOf(lParam);
            auto it = std::upper_bound(items_.begin(), items_.end(), text,
                                       [](const std::string& t, const Item& item) {
                                           return CompareNoCase(t, item.text) < 0;
                                       });
            index = static_cast<int>(it - items_.begin());
        }
        return Insert(index, lParam);
    }
    int Delete(int index) {
        if (NoData() || !Valid(index)) return -1;
        items_.erase(items_.begin() + index);
        selected_.erase(selected_.begin() + index);
        if (cur_ == index)
            cur_ = -1;
        else if (cur_ > index)
            --cur_;
        if (caret_ >= index && caret_ > 0) --caret_;
        Changed();
        return Count();
    }
    void Reset(int count) {
        items_.clear();
        noDataCount_ = count;
        selected_.assign(static_cast<size_t>(count), false);
        cur_ = -1;
        caret_ = 0;
        top_ = 0;
        Changed();
    }
    std::string Text(int index) const { return Valid(index) ? items_[index].text : ""; }
    ULONG_PTR Data(int index) const { return Valid(index) && !NoData() ? items_[index].data : 0; }
    void SetData(int index, ULONG_PTR data) { items_[index].data = data; }

    int Cur() const { return Multiple() ? caret_ : cur_; }
    bool IsSelected(int index) const { return Valid(index) && selected_[index]; }
    // Program and user changes share this; only the user's are told to the parent.
    void SetCur(int index) {
        if (cur_ >= 0 && Valid(cur_)) selected_[cur_] = false;
        cur_ = Valid(index) ? index : -1;
        if (cur_ >= 0) {
            selected_[cur_] = true;
            caret_ = cur_;
            EnsureVisible(cur_);
        }
        viewport()->update();
    }
    void SetSel(bool select, int index) {
        if (index < 0) {
            std::fill(selected_.begin(), selected_.end(), select);
        } else {
            selected_[index] = select;
            caret_ = index;
        }
        viewport()->update();
    }
    int Top() const { return top_; }
    void SetTop(int index) {
        verticalScrollBar()->setValue(index);
        top_ = verticalScrollBar()->value();
    }
    int Caret() const { return caret_; }
    int ItemHeight(int index) const {
        if ((style_ & LBS_OWNERDRAWVARIABLE) && Valid(index) && !NoData())
            return items_[index].height;
        return itemHeight_;
    }
    void SetItemHeight(int index, int height) {
        if ((style_ & LBS_OWNERDRAWVARIABLE) && Valid(index) && !NoData())
            items_[index].height = height;
        else
            itemHeight_ = height;
        Changed();
    }
    // The row's rectangle in client coordinates (rows above the top have negative tops).
    QRect ItemRect(int index) const {
        int y = 0;
        if (index >= top_)
            for (int i = top_; i < index; ++i) y += ItemHeight(i);
        else
            for (int i = index; i < top_; ++i) y -= ItemHeight(i);
        return QRect(0, y, viewport()->width(), ItemHeight(index));
    }
    // The row under a client point, or -1 below the last row.
    int RowAt(QPoint point) const {
        int y = 0;
        for (int i = top_; i < Count() && y <= viewport()->height(); ++i) {
            y += ItemHeight(i);
            if (point.y() < y) return i;
        }
        return -1;
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        const QRect area = event->rect();
        if (IsOwnerDrawList(style_)) {
            PaintOwnerRows(area);
            return;
        }
        QPainter painter(viewport());
        painter.fillRect(area, palette().base());
        const QPalette& colours = palette();
        for (int i = top_; i < Count(); ++i) {
            const QRect row = ItemRect(i);
            if (row.top() > area.bottom()) break;
            const bool selected = selected_[i];
            if (selected) painter.fillRect(row, colours.highlight());
            painter.setPen(selected ? colours.highlightedText().color() : colours.text().color());
            painter.drawText(row.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                             QString::fromStdString(items_[i].text));
            if (hasFocus() && i == caret_) painter.drawRect(row.adjusted(0, 0, -1, -1));
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        const int row = RowAt(event->position().toPoint());
        if (row < 0) return;
        if (style_ & LBS_MULTIPLESEL) {
            SetSel(!selected_[row], row);
        } else if (style_ & LBS_EXTENDEDSEL) {
            if (event->modifiers() & Qt::ControlModifier) {
                SetSel(!selected_[row], row);
            } else if ((event->modifiers() & Qt::ShiftModifier) && Valid(caret_)) {
                std::fill(selected_.begin(), selected_.end(), false);
                for (int i = std::min(caret_, row); i <= std::max(caret_, row); ++i)
                    selected_[i] = true;
                viewport()->update();
            } else {
                std::fill(selected_.begin(), selected_.end(), false);
                SetSel(true, row);
            }
        } else {
            if (row == cur_) return;
            SetCur(row);
        }
        UserSelChange();
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && RowAt(event->position().toPoint()) >= 0 &&
            (style_ & LBS_NOTIFY))
            NotifyParent(hwnd, LBN_DBLCLK);
    }
    void keyPressEvent(QKeyEvent* event) override {
        const int count = Count();
        if (count == 0) return;
        const int page = std::max(1, viewport()->height() / std::max(1, itemHeight_));
        int from = Multiple() ? caret_ : cur_;
        int to = from;
        switch (event->key()) {
            case Qt::Key_Up:
                to = from < 0 ? 0 : from - 1;
                break;
            case Qt::Key_Down:
                to = from + 1;
                break;
            case Qt::Key_Home:
                to = 0;
                break;
            case Qt::Key_End:
                to = count - 1;
                break;
            case Qt::Key_PageUp:
                to = from - page;
                break;
            case Qt::Key_PageDown:
                to = from + page;
                break;
            case Qt::Key_Space:
                if (Multiple() && Valid(caret_)) {
                    SetSel(!selected_[caret_], caret_);
                    UserSelChange();
                }
                return;
            default:
                QAbstractScrollArea::keyPressEvent(event);
                return;
        }
        to = std::clamp(to, 0, count - 1);
        if (to == from) return;
        if (style_ & LBS_MULTIPLESEL) {
            caret_ = to;  // the caret moves, the selection stays
            EnsureVisible(to);
            viewport()->update();
            return;
        }
        if (Multiple()) {
            std::fill(selected_.begin(), selected_.end(), false);
            SetSel(true, to);
            EnsureVisible(to);
        } else {
            SetCur(to);
        }
        UserSelChange();
    }
    void resizeEvent(QResizeEvent* event) override {
        QAbstractScrollArea::resizeEvent(event);
        UpdateScrollRange();
    }

private:
    struct Item {
        std::string text;
        ULONG_PTR data = 0;
        int height = 0;
    };

    void UserSelChange() {
        if (style_ & LBS_NOTIFY) NotifyParent(hwnd, LBN_SELCHANGE);
    }
    int Measure(int index) {
        MEASUREITEMSTRUCT measure;
        measure.CtlType = ODT_LISTBOX;
        measure.CtlID = static_cast<UINT>(::GetDlgCtrlID(hwnd));
        measure.itemID = static_cast<UINT>(index);
        measure.itemWidth = static_cast<UINT>(width());
        measure.itemHeight = static_cast<UINT>(itemHeight_);
        measure.itemData = items_[index].data;
        if (HWND parent = ::GetParent(hwnd))
            ::SendMessage(parent, WM_MEASUREITEM, measure.CtlID,
                          reinterpret_cast<LPARAM>(&measure));
        return std::max(1, static_cast<int>(measure.itemHeight));
    }
    void Changed() {
        UpdateScrollRange();
        viewport()->update();
    }
    int VisibleRows() const { return std::max(1, viewport()->height() / std::max(1, itemHeight_)); }
    void UpdateScrollRange() {
        const int last = (style_ & LBS_OWNERDRAWVARIABLE) ? Count() - 1 : Count() - VisibleRows();
        verticalScrollBar()->setRange(0, std::max(0, last));
        verticalScrollBar()->setPageStep(VisibleRows());
        top_ = verticalScrollBar()->value();
    }
    void EnsureVisible(int index) {
        if (index < top_) {
            SetTop(index);
        } else {
            const QRect row = ItemRect(index);
            if (row.bottom() >= viewport()->height()) SetTop(index - VisibleRows() + 1);
        }
    }
    // Each row in the update area is drawn by the parent's WM_DRAWITEM, and no other.
    void PaintOwnerRows(const QRect& area) {
        HWND parent = ::GetParent(hwnd);
        {
            QPainter painter(viewport());
            painter.fillRect(area, palette().base());
        }
        if (!parent) return;
        CDC dc;
        dc.AttachWindow(hwnd, viewport(),
                        RECT{area.left(), area.top(), area.right() + 1, area.bottom() + 1});
        for (int i = top_; i < Count(); ++i) {
            const QRect row = ItemRect(i);
            if (row.top() > area.bottom()) break;
            if (!row.intersects(area)) continue;
            DRAWITEMSTRUCT item;
            item.CtlType = ODT_LISTBOX;
            item.CtlID = static_cast<UINT>(::GetDlgCtrlID(hwnd));
            item.itemID = static_cast<UINT>(i);
            item.itemAction = ODA_DRAWENTIRE;
            item.itemState = (selected_[i] ? ODS_SELECTED : 0) |
                             (hasFocus() && i == caret_ ? ODS_FOCUS : 0) |
                             (isEnabled() ? 0 : ODS_DISABLED);
            item.hwndItem = hwnd;
            item.hDC = &dc;
            item.rcItem = RECT{row.left(), row.top(), row.right() + 1, row.bottom() + 1};
            item.itemData = Data(i);
            ::SendMessage(parent, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
        }
        dc.DetachWindow();
    }

    std::vector<Item> items_;
    std::vector<bool> selected_;
    int noDataCount_ = 0;
    int cur_ = -1;
    int caret_ = 0;
    int top_ = 0;
    int itemHeight_ = 16;
};

class ListBoxClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD style) const override {
        auto* list = new ListBoxWidget(parent, style);
        if (flags) list->setWindowFlags(flags);
        return list;
    }
    bool TakesFocus() const override { return true; }
    void ApplyStyle(QWidget* widget, DWORD style) const override {
        auto* list = static_cast<ListBoxWidget*>(widget);
        list->style_ = style;
        list->setVerticalScrollBarPolicy((style & WS_VSCROLL) ? Qt::ScrollBarAsNeeded
                                                              : Qt::ScrollBarAlwaysOff);
    }
    void Connect(HWND hwnd, QWidget* widget) const override {
        static_cast<ListBoxWidget*>(widget)->hwnd = hwnd;
    }
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                      bool* handled) const override {
        auto* list = static_cast<ListBoxWidget*>(record.widget);
        const int index = static_cast<int>(static_cast<intptr_t>(wParam));
        *handled = true;
        switch (message) {
            case WM_SETFOCUS:
            case WM_KILLFOCUS:
                *handled = false;
                NotifyParent(record.hwnd, message == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
                list->viewport()->update();
                return 0;
            case WM_GETDLGCODE:
                return DLGC_WANTARROWS | DLGC_WANTCHARS;
            case LB_ADDSTRING:
                return list->Add(lParam);
            case LB_INSERTSTRING:
                return list->Insert(index, lParam);
            case LB_DELETESTRING:
                return list->Delete(index);
            case LB_RESETCONTENT:
                list->Reset(0);
                return 0;
            case LB_SETCOUNT:
                if (!list->NoData() || index < 0) return LB_ERR;
                list->Reset(index);
                return 0;
            case LB_GETCOUNT:
                return list->Count();
            case LB_GETCURSEL:
                return list->Valid(list->Cur()) ? list->Cur() : LB_ERR;
            case LB_SETCURSEL:
                if (list->Multiple()) return LB_ERR;
                list->SetCur(index);
                return list->Valid(index) ? index : LB_ERR;
            case LB_GETSEL:
                return list->Valid(index) ? (list->IsSelected(index) ? 1 : 0) : LB_ERR;
            case LB_SETSEL: {
                const int item = static_cast<int>(lParam);
                if (!list->Multiple() || (item != -1 && !list->Valid(item))) return LB_ERR;
                list->SetSel(wParam != 0, item);
                return 0;
            }
            case LB_GETTEXT:
                return list->Valid(index) && list->HasStrings()
                           ? CopyItemText(list->Text(index), lParam)
                           : LB_ERR;
            case LB_GETTEXTLEN:
                return list->Valid(index) ? static_cast<LRESULT>(list->Text(index).size()) : LB_ERR;
            case LB_FINDSTRING:
            case LB_FINDSTRINGEXACT: {
                if (!list->HasStrings()) return LB_ERR;
                return FindItem(list->Count(), wParam, TextOf(lParam),
                                message == LB_FINDSTRINGEXACT,
                                [list](int i) { return list->Text(i); });
            }
            case LB_SETITEMDATA:
                if (!list->Valid(index) || list->NoData()) return LB_ERR;
                list->SetData(index, static_cast<ULONG_PTR>(lParam));
                return 0;
            case LB_GETITEMDATA:
                return list->Valid(index) ? static_cast<LRESULT>(list->Data(index)) : LB_ERR;
            case LB_GETTOPINDEX:
                return list->Top();
            case LB_SETTOPINDEX:
                if (!list->Valid(index)) return LB_ERR;
                list->SetTop(index);
                return 0;
            case LB_GETITEMRECT: {
                if (!list->Valid(index) || !lParam) return LB_ERR;
                const QRect row = list->ItemRect(index);
                *reinterpret_cast<RECT*>(lParam) =
                    RECT{row.left(), row.top(), row.right() + 1, row.bottom() + 1};
                return 1;
            }
            case LB_ITEMFROMPOINT: {
                const QPoint point(static_cast<short>(LOWORD(static_cast<uintptr_t>(lParam))),
                                   static_cast<short>(HIWORD(static_cast<uintptr_t>(lParam))));
                const int row = list->RowAt(point);
                const bool outside = row < 0 || !list->viewport()->rect().contains(point);
                const int nearest = row >= 0 ? row : std::max(0, list->Count() - 1);
                return MAKELPARAM(static_cast<WORD>(nearest), outside ? 1 : 0);
            }
            case LB_SETITEMHEIGHT:
                if (LOWORD(static_cast<uintptr_t>(lParam)) == 0) return LB_ERR;
                list->SetItemHeight(index, LOWORD(static_cast<uintptr_t>(lParam)));
                return 0;
            case LB_GETITEMHEIGHT:
                return list->ItemHeight(index);
            case LB_GETCARETINDEX:
                return list->Caret();
            default:
                *handled = false;
                return 0;
        }
    }
};

// ---- ComboBox -----------------------------------------------------------------------------------

DWORD ComboKind(DWORD style) { return style & 0x0003; }
bool IsOwnerDrawCombo(DWORD style) {
    return (style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) != 0;
}

constexpr int kDataRole = Qt::UserRole + 1;

// Sends WM_DRAWITEM for one item of an owner-drawn combo box to its parent; `widget` is being
// painted (no painter open on it) and `row` is in its client coordinates.
void DrawComboItem(HWND hwnd, QWidget* widget, int index, UINT state, const QRect& row,
                   ULONG_PTR data) {
    HWND parent = ::GetParent(hwnd);
    if (!parent) return;
    CDC dc;
    dc.AttachWindow(hwnd, widget, RECT{row.left(), row.top(), row.right() + 1, row.bottom() + 1});
    DRAWITEMSTRUCT item;
    item.CtlType = ODT_COMBOBOX;
    item.CtlID = static_cast<UINT>(::GetDlgCtrlID(hwnd));
    item.itemID = static_cast<UINT>(index);
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = hwnd;
    item.hDC = &dc;
    item.rcItem = RECT{row.left(), row.top(), row.right() + 1, row.bottom() + 1};
    item.itemData = data;
    ::SendMessage(parent, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    dc.DetachWindow();
}

// The rows of an owner-drawn combo box's list: each of the same height, each drawn by the
// parent's WM_DRAWITEM.
class OwnerDrawRows : public QStyledItemDelegate {
public:
    explicit OwnerDrawRows(QObject* parent) : QStyledItemDelegate(parent) {}
    int height = 16;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return QSize(option.rect.width(), height);
    }
};

class OwnerDrawList : public QListView {
public:
    explicit OwnerDrawList(QWidget* parent) : QListView(parent) {}
    HWND hwnd = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        {
            QPainter painter(viewport());
            painter.fillRect(event->rect(), palette().base());
        }
        const int rows = model() ? model()->rowCount() : 0;
        QPointer<OwnerDrawList> alive(this);
        for (int i = 0; i < rows && alive; ++i) {
            const QModelIndex index = model()->index(i, 0);
            const QRect row = visualRect(index);
            if (!row.intersects(event->rect())) continue;
            const UINT state = (currentIndex().row() == i ? ODS_SELECTED | ODS_FOCUS : 0) |
                               (isEnabled() ? 0 : ODS_DISABLED);
            DrawComboItem(hwnd, viewport(), i, state, row,
                          static_cast<ULONG_PTR>(index.data(kDataRole).toULongLong()));
        }
    }
};

class ComboWidget : public QComboBox {
public:
    ComboWidget(QWidget* parent, DWORD style) : QComboBox(parent), style_(style) {
        setEditable(ComboKind(style) != CBS_DROPDOWNLIST);
        setInsertPolicy(QComboBox::NoInsert);
        if (IsOwnerDrawCombo(style) && ComboKind(style) != CBS_SIMPLE) {
            auto* list = new OwnerDrawList(this);
            setView(list);  // the combo box owns it from here
            rows_ = new OwnerDrawRows(list);
            list->setItemDelegate(rows_);
            list->setUniformItemSizes(true);
            rows_->height = fontMetrics().height() + 2;
        }
        if (ComboKind(style) == CBS_SIMPLE) {
            // The list is always there, under the edit field.
            simple_ = new QListView(this);
            simple_->setModel(model());
            simple_->setEditTriggers(QAbstractItemView::NoEditTriggers);
            simple_->setFocusPolicy(Qt::NoFocus);
            connect(simple_, &QListView::clicked, this, [this](const QModelIndex& index) {
                setCurrentIndex(index.row());  // the user's pick: CBN_SELCHANGE
            });
            connect(simple_, &QListView::doubleClicked, this,
                    [this] { NotifyParent(hwnd, CBN_DBLCLK); });
            connect(this, &QComboBox::currentIndexChanged, simple_,
                    [this](int index) { simple_->setCurrentIndex(model()->index(index, 0)); });
            // The combo box places its edit field over its whole height; ours stays on top.
            if (lineEdit()) lineEdit()->installEventFilter(this);
        }
        if (QLineEdit* edit = lineEdit()) {
            setCompleter(nullptr);
            connect(edit, &QLineEdit::textEdited, this, [this] {
                NotifyParent(hwnd, CBN_EDITUPDATE);
                NotifyParent(hwnd, CBN_EDITCHANGE);
            });
        }
        connect(this, &QComboBox::currentIndexChanged, this, [this] {
            if (quiet_ > 0) return;
            if (closing_) {
                changedInClose_ = true;
                return;
            }
            NotifyParent(hwnd, CBN_SELCHANGE);
        });
        // A pick from the open list: the list hides first, then the pick becomes the
        // selection and `activated` follows at once.
        connect(this, &QComboBox::activated, this, [this] {
            if (closing_) FinishClose(true);
        });
        view()->window()->installEventFilter(this);
        KeepOneLine();
    }

    HWND hwnd = 0;
    int quiet_ = 0;  // above zero while the program changes the selection
    bool dropped_ = false;
    bool focused_ = false;
    int droppedWidth_ = 0;

    // A change by the program: the parent hears nothing of it.
    void SetCurQuietly(int index) {
        ++quiet_;
        setCurrentIndex(index);
        --quiet_;
    }

    // The height of the list's rows (owner-drawn lists: what WM_MEASUREITEM or
    // CB_SETITEMHEIGHT said).
    int ItemHeight() const { return rows_ ? rows_->height : fontMetrics().height(); }
    void SetItemHeight(int height) {
        if (!rows_) return;
        rows_->height = height;
        view()->doItemsLayout();
    }
    // The height of the selection field (CB_SETITEMHEIGHT with -1).
    int fieldHeight = -1;

    // A drop-down combo box is one line high, whatever height it was made with: that height is
    // its list's room when dropped, as the system control takes it.
    void KeepOneLine() {
        if (simple_) return;
        setMaximumHeight(fieldHeight > 0 ? fieldHeight + 6 : sizeHint().height());
    }

    // A simple combo box: the edit field on top, the list under it.
    void PlaceSimpleParts() {
        if (!simple_) return;
        const int field = fieldHeight > 0 ? fieldHeight + 6 : fontMetrics().height() + 8;
        if (lineEdit() && lineEdit()->geometry() != QRect(0, 0, width(), field))
            lineEdit()->setGeometry(0, 0, width(), field);
        simple_->setGeometry(0, field, width(), std::max(0, height() - field));
    }

    void showPopup() override {
        if (simple_) return;  // the list of a simple combo box never drops
        if (dropped_) return;
        dropped_ = true;  // set first: the focus leaving for the list is no kill-focus
        NotifyParent(hwnd, CBN_DROPDOWN);
        if (droppedWidth_ > 0) view()->setMinimumWidth(droppedWidth_);
        QComboBox::showPopup();
    }
    // The list closed: the parent hears CBN_SELENDOK (with the pick already the selection)
    // or CBN_SELENDCANCEL, then CBN_CLOSEUP, then CBN_SELCHANGE when the pick changed it.
    void FinishClose(bool ok) {
        if (!closing_) return;
        closing_ = false;
        NotifyParent(hwnd, ok ? CBN_SELENDOK : CBN_SELENDCANCEL);
        NotifyParent(hwnd, CBN_CLOSEUP);
        if (std::exchange(changedInClose_, false)) NotifyParent(hwnd, CBN_SELCHANGE);
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QComboBox::resizeEvent(event);
        PlaceSimpleParts();
    }
    void changeEvent(QEvent* event) override {
        QComboBox::changeEvent(event);
        if (event->type() == QEvent::FontChange && fieldHeight <= 0) KeepOneLine();
    }
    void paintEvent(QPaintEvent* event) override {
        if (simple_) return;  // the edit field and the list paint themselves
        if (!IsOwnerDrawCombo(style_) || isEditable()) {
            QComboBox::paintEvent(event);
            return;
        }
        // The frame and the arrow by the style; the selection field by the parent.
        QStyleOptionComboBox option;
        initStyleOption(&option);
        option.currentText.clear();
        option.currentIcon = QIcon();
        QRect field;
        {
            QStylePainter painter(this);
            painter.drawComplexControl(QStyle::CC_ComboBox, option);
            field = style()->subControlRect(QStyle::CC_ComboBox, &option,
                                            QStyle::SC_ComboBoxEditField, this);
        }
        const int index = currentIndex();
        const UINT state = ODS_COMBOBOXEDIT | (hasFocus() ? ODS_SELECTED | ODS_FOCUS : 0) |
                           (isEnabled() ? 0 : ODS_DISABLED);
        const ULONG_PTR data =
            index >= 0 ? static_cast<ULONG_PTR>(itemData(index, kDataRole).toULongLong()) : 0;
        DrawComboItem(hwnd, this, index, state, field, data);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (simple_ && watched == lineEdit() &&
            (event->type() == QEvent::Move || event->type() == QEvent::Resize))
            PlaceSimpleParts();
        if (watched == view()->window() && event->type() == QEvent::Hide && dropped_) {
            dropped_ = false;
            closing_ = true;
            // Nothing picked when no `activated` follows before the event loop runs again.
            QPointer<ComboWidget> self(this);
            QTimer::singleShot(0, this, [self] {
                if (self) self->FinishClose(false);
            });
        }
        return QComboBox::eventFilter(watched, event);
    }

private:
    DWORD style_;
    OwnerDrawRows* rows_ = nullptr;  // owner-drawn lists only
    QListView* simple_ = nullptr;    // CBS_SIMPLE only
    bool closing_ = false;
    bool changedInClose_ = false;
};

class ComboBoxClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD style) const override {
        auto* combo = new ComboWidget(parent, style);
        if (flags) combo->setWindowFlags(flags);
        return combo;
    }
    bool TakesFocus() const override { return true; }
    void Connect(HWND hwnd, QWidget* widget) const override {
        auto* combo = static_cast<ComboWidget*>(widget);
        combo->hwnd = hwnd;
        if (auto* list = dynamic_cast<OwnerDrawList*>(combo->view())) list->hwnd = hwnd;
        if (QLineEdit* edit = combo->lineEdit())
            AdoptWidget(edit, "Edit", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, kComboEditId);
        const WindowRecord* record = WindowTable::Instance().Find(hwnd);
        if (record && (record->style & CBS_OWNERDRAWFIXED)) {
            // The parent says how tall the selection field (-1) and the list's rows (0) are.
            const int field = Measure(hwnd, -1, combo->fontMetrics().height() + 2);
            combo->SetItemHeight(Measure(hwnd, 0, combo->ItemHeight()));
            combo->fieldHeight = field;
            combo->setFixedHeight(field + 6);
        }
    }
    std::string GetText(const QWidget* widget) const override {
        auto* combo = static_cast<const ComboWidget*>(widget);
        return combo->lineEdit() ? combo->lineEdit()->text().toStdString()
                                 : combo->currentText().toStdString();
    }
    void SetText(QWidget* widget, const std::string& text) const override {
        if (QLineEdit* edit = static_cast<ComboWidget*>(widget)->lineEdit())
            edit->setText(QString::fromStdString(text));
    }
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                      bool* handled) const override {
        auto* combo = static_cast<ComboWidget*>(record.widget);
        const int index = static_cast<int>(static_cast<intptr_t>(wParam));
        const bool hasStrings = !(record.style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) ||
                                (record.style & CBS_HASSTRINGS);
        auto valid = [combo](int i) { return i >= 0 && i < combo->count(); };
        auto text = [combo](int i) { return combo->itemText(i).toStdString(); };
        *handled = true;
        switch (message) {
            case WM_SETFOCUS:
            case WM_KILLFOCUS:
                *handled = false;
                Focus(combo, message == WM_SETFOCUS);
                return 0;
            case WM_COMMAND:
                // The edit field's focus is the combo box's focus.
                if (combo->lineEdit() && static_cast<HWND>(lParam) == WindowOf(combo->lineEdit()) &&
                    (HIWORD(wParam) == EN_SETFOCUS || HIWORD(wParam) == EN_KILLFOCUS))
                    Focus(combo, HIWORD(wParam) == EN_SETFOCUS);
                return 0;
            case WM_GETDLGCODE:
                // While the list is open every key is the list's.
                return DLGC_WANTARROWS | DLGC_WANTCHARS | (combo->dropped_ ? DLGC_WANTALLKEYS : 0);
            case CB_ADDSTRING:
            case CB_INSERTSTRING: {
                int at = message == CB_INSERTSTRING && index >= 0 && index <= combo->count()
                             ? index
                             : combo->count();
                const std::string item = hasStrings ? TextOf(lParam) : std::string();
                if (message == CB_ADDSTRING && (record.style & CBS_SORT) && hasStrings) {
                    at = 0;
                    while (at < combo->count() && CompareNoCase(text(at), item) <= 0) ++at;
                }
                ++combo->quiet_;
                const bool none = combo->currentIndex() < 0;
                combo->insertItem(at, QString::fromStdString(item));
                if (none) combo->setCurrentIndex(-1);  // an item added selects nothing
                combo->setItemData(at, hasStrings ? qulonglong(0) : qulonglong(lParam), kDataRole);
                --combo->quiet_;
                return at;
            }
            case CB_DELETESTRING: {
                if (!valid(index)) return CB_ERR;
                ++combo->quiet_;
                const bool wasSelected = index == combo->currentIndex();
                combo->removeItem(index);
                if (wasSelected) combo->setCurrentIndex(-1);
                --combo->quiet_;
                return combo->count();
            }
            case CB_RESETCONTENT:
                ++combo->quiet_;
                combo->clear();
                if (combo->lineEdit()) combo->lineEdit()->clear();
                --combo->quiet_;
                return 0;
            case CB_GETCOUNT:
                return combo->count();
            case CB_GETCURSEL:
                return valid(combo->currentIndex()) ? combo->currentIndex() : CB_ERR;
            case CB_SETCURSEL:
                combo->SetCurQuietly(valid(index) ? index : -1);
                return valid(index) ? index : CB_ERR;
            case CB_GETLBTEXT:
                return valid(index) ? CopyItemText(text(index), lParam) : CB_ERR;
            case CB_GETLBTEXTLEN:
                return valid(index) ? static_cast<LRESULT>(text(index).size()) : CB_ERR;
            case CB_FINDSTRING:
            case CB_FINDSTRINGEXACT:
            case CB_SELECTSTRING: {
                if (!hasStrings) return CB_ERR;
                const LRESULT found = FindItem(combo->count(), wParam, TextOf(lParam),
                                               message == CB_FINDSTRINGEXACT, text);
                if (message == CB_SELECTSTRING && found >= 0)
                    combo->SetCurQuietly(static_cast<int>(found));
                return found;
            }
            case CB_SETITEMDATA:
                if (!valid(index)) return CB_ERR;
                combo->setItemData(index, qulonglong(lParam), kDataRole);
                return 0;
            case CB_GETITEMDATA:
                return valid(index)
                           ? static_cast<LRESULT>(combo->itemData(index, kDataRole).toULongLong())
                           : CB_ERR;
            case CB_SHOWDROPDOWN:
                if (wParam && !combo->dropped_)
                    combo->showPopup();
                else if (!wParam && combo->dropped_) {
                    combo->hidePopup();
                    combo->FinishClose(false);
                }
                return TRUE;
            case CB_GETDROPPEDSTATE:
                return combo->dropped_ ? TRUE : FALSE;
            case CB_SETEDITSEL:
            case CB_GETEDITSEL:
                if (!combo->lineEdit()) return CB_ERR;
                if (message == CB_GETEDITSEL)
                    return ::SendMessage(WindowOf(combo->lineEdit()), EM_GETSEL, wParam, lParam);
                ::SendMessage(WindowOf(combo->lineEdit()), EM_SETSEL,
                              static_cast<WPARAM>(static_cast<short>(LOWORD(lParam))),
                              static_cast<LPARAM>(static_cast<short>(HIWORD(lParam))));
                return TRUE;
            case CB_LIMITTEXT:
                if (!combo->lineEdit()) return CB_ERR;
                ::SendMessage(WindowOf(combo->lineEdit()), EM_LIMITTEXT, wParam, 0);
                return TRUE;
            case CB_SETDROPPEDWIDTH:
                combo->droppedWidth_ = std::max(0, index);
                return std::max(combo->droppedWidth_, combo->width());
            case CB_GETDROPPEDWIDTH:
                return std::max(combo->droppedWidth_, combo->width());
            case CB_SETITEMHEIGHT: {
                const int height = LOWORD(static_cast<uintptr_t>(lParam));
                if (height == 0) return CB_ERR;
                if (index == -1) {
                    combo->fieldHeight = height;
                    if (ComboKind(record.style) == CBS_SIMPLE) {
                        combo->PlaceSimpleParts();
                    } else {
                        combo->setFixedHeight(height + 6);
                    }
                } else {
                    combo->SetItemHeight(height);
                }
                return 0;
            }
            case CB_GETITEMHEIGHT:
                if (index == -1)
                    return combo->fieldHeight > 0 ? combo->fieldHeight : combo->height() - 6;
                return combo->ItemHeight();
            default:
                *handled = false;
                return 0;
        }
    }

private:
    // WM_MEASUREITEM for the selection field (-1) or the list's rows; the parent's answer, or
    // when the parent leaves it, the control's own object's (the class library reflects it).
    static int Measure(HWND hwnd, int item, int height) {
        MEASUREITEMSTRUCT measure;
        measure.CtlType = ODT_COMBOBOX;
        measure.CtlID = static_cast<UINT>(::GetDlgCtrlID(hwnd));
        measure.itemID = static_cast<UINT>(item);
        measure.itemHeight = static_cast<UINT>(height);
        const auto lParam = reinterpret_cast<LPARAM>(&measure);
        HWND parent = ::GetParent(hwnd);
        if (!parent || !::SendMessage(parent, WM_MEASUREITEM, measure.CtlID, lParam)) {
            LRESULT result = 0;
            if (CWnd* own = CWnd::FromHandlePermanent(hwnd))
                own->OnChildNotify(WM_MEASUREITEM, measure.CtlID, lParam, &result);
        }
        return std::max(1, static_cast<int>(measure.itemHeight));
    }
    // CBN_SETFOCUS / CBN_KILLFOCUS once per move of the focus into or out of the combo box
    // (the list taking the keyboard while open is no move).
    static void Focus(ComboWidget* combo, bool in) {
        if (!in && combo->dropped_) return;
        if (!in) {
            HWND focus = ::GetFocus();
            if (focus == combo->hwnd || (combo->lineEdit() && focus == WindowOf(combo->lineEdit())))
                return;
        }
        if (combo->focused_ == in) return;
        combo->focused_ = in;
        NotifyParent(combo->hwnd, in ? CBN_SETFOCUS : CBN_KILLFOCUS);
    }
};

}  // namespace

void AddComboListClasses(
    std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>>& classes) {
    classes.emplace_back("ComboBox", std::make_unique<ComboBoxClass>());
    classes.emplace_back("ListBox", std::make_unique<ListBoxClass>());
}

}  // namespace platform::ui
