// "SysHeader32": the header control of column lists, its items, order, tracking, dragging and
// the notifications it sends its parent.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowClass.h"

namespace platform::ui {

class HeaderWidget : public QWidget {
public:
    explicit HeaderWidget(QWidget* parent);

    struct Item {
        int width = 0;
        std::string text;
        int fmt = HDF_LEFT | HDF_STRING;
        LPARAM lParam = 0;
        int image = 0;
    };

    DWORD style = 0;  // the HDS_* bits
    int Count() const { return static_cast<int>(items_.size()); }
    const Item& At(int index) const { return items_[static_cast<size_t>(index)]; }
    // Item rectangle in the header's coordinates; empty for a bad index.
    RECT ItemRect(int index) const;
    const std::vector<int>& Order() const { return order_; }
    int PreferredHeight() const;

    // The messages (HDM_*); *handled is false for others.
    LRESULT Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool* handled);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int Insert(int position, const HDITEM& item);
    bool Delete(int index);
    bool Get(int index, HDITEM* item) const;
    // HDM_SETITEM and the user's widths: HDN_ITEMCHANGING (refusable), then HDN_ITEMCHANGED.
    bool Change(int index, const HDITEM& item);
    bool SetOrder(const std::vector<int>& order);
    LRESULT Notify(UINT code, int item, HDITEM* pitem, int button = 0) const;
    HWND Self() const;
    // Index of the item whose right divider is near x (-1 when none).
    int DividerAt(int x) const;
    int ItemAt(int x) const;      // index of the item under x, -1 when none
    int PositionAt(int x) const;  // display position a dragged item would land on

    std::vector<Item> items_;
    std::vector<int> order_;  // order_[display position] = item index

    enum class Mode { kNone, kPress, kTrack, kDrag };
    Mode mode_ = Mode::kNone;
    int pressed_ = -1;
    int pressX_ = 0;
    int trackStartWidth_ = 0;
    int dragX_ = 0;
};

// Adds the "SysHeader32" class to the registry's list.
void AddHeaderClass(std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>>& classes);

}  // namespace platform::ui
