// "SysListView32" in report view with owner data: a scroll area that paints only the rows in
// sight, asks its parent for their texts (or has the parent draw them), and keeps selection
// and focus by display index. An owner-drawn list takes its row height from WM_MEASUREITEM and
// first offers its whole client area to its own window procedure as WM_PRINTCLIENT.
#pragma once

#include <QAbstractScrollArea>
#include <string>
#include <vector>

#include "platform/ui/HeaderCtrl.h"
#include "platform/ui/WindowClass.h"

class CImageList;

namespace platform::ui {

class ListViewWidget : public QAbstractScrollArea {
public:
    explicit ListViewWidget(QWidget* parent);

    DWORD style = 0;
    HeaderWidget* Header() const { return header_; }
    // The messages (LVM_*); *handled is false for others.
    LRESULT Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool* handled);
    // Header notifications reach the list first (it is the header's parent).
    LRESULT OnHeaderNotify(NMHDR* nm, bool* handled);
    void LayOut();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    HWND Self() const;
    int RowHeight() const;
    int HeaderHeight() const;
    int Top() const;  // index of the first row in sight
    int PerPage() const;
    int ColumnCount() const { return header_->Count(); }
    RECT ItemRect(int item, int code) const;
    RECT SubItemRect(int item, int column, int code) const;
    int HitTest(LVHITTESTINFO* info) const;
    UINT StateOf(int item) const;
    // Sets the state bits in `mask` of one item (-1: every item) with LVN_ITEMCHANGING /
    // LVN_ITEMCHANGED as Win32 sends them; false when refused or out of range.
    bool SetState(int item, UINT state, UINT mask);
    bool SetOne(int item, UINT state, UINT mask, POINT action);
    void SelectRange(int from, int to, POINT action);  // selects only [from, to]
    void ClearSelection(int except, POINT action);
    void SetCount(int count, LPARAM flags);
    void EnsureVisible(int item);
    void UpdateScroll();
    // A user's scroll-bar action becomes WM_VSCROLL / WM_HSCROLL through the window procedure
    // (so that a subclass sees it), which then scrolls.
    void ScrollBarAction(bool vertical, int action);
    void Scroll(bool vertical, WORD code, int position);
    void MoveFocusTo(int item, Qt::KeyboardModifiers modifiers);
    void Click(QMouseEvent* event, UINT code);
    void ToggleCheck(int item);
    std::string CellText(int item, int column, int* image);
    void RedrawItems(int from, int to);
    LRESULT NotifyItem(UINT code, int item, int subItem, UINT newState, UINT oldState, UINT changed,
                       POINT action) const;
    bool Selected(int item) const { return selected_[static_cast<size_t>(item)] != 0; }

    HeaderWidget* header_ = nullptr;
    DWORD exStyle_ = 0;
    int count_ = 0;
    std::vector<uint8_t> selected_;    // one byte per item, by display index
    std::vector<uint8_t> stateImage_;  // the state image index of each item (check boxes)
    int focused_ = -1;
    int anchor_ = -1;
    CImageList* small_ = nullptr;
    CImageList* state_ = nullptr;
    COLORREF bkColor_;
    COLORREF textColor_;
    COLORREF textBkColor_;
    // The owner-drawn row height that WM_MEASUREITEM gave (0: ask again; WM_SETFONT and
    // WM_WINDOWPOSCHANGED make the list ask again, as Win32 lists do).
    mutable int measuredHeight_ = 0;
    int thumbWanted_ = -1;  // where the user drags the thumb (the message's 16 bits may cut it)
    int pressItem_ = -1;
    QPoint pressPos_;
};

// Adds "SysHeader32" and "SysListView32" to the registry's list.
void AddListClasses(std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>>& classes);

}  // namespace platform::ui
