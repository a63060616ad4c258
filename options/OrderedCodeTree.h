// An ordered list of chosen contract codes shown as a flat tree: each item a code with the row
// of its contract (-1 when the code names none), moved, deleted and read in tree order.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/WinDefsCommonControls.h"

class CWnd;

namespace options {

class OrderedCodeTree {
public:
    // The tree control (a child of the dialog); may be attached after construction.
    void Attach(CWnd* tree) { tree_ = tree; }

    void Append(const std::string& code, int row);
    bool ContainsRow(int row) const;
    std::vector<std::string> Codes() const;
    // The codes joined by "," (no trailing separator), as the settings store them.
    std::string Joined() const;
    int Count() const;

    HTREEITEM Selected() const;
    bool HasPrevious() const;
    bool HasNext() const;
    void DeleteSelected();
    void Clear();
    // Trades the selected item's text and row with its neighbour, which becomes selected.
    void MoveSelected(bool up);
    void Select(HTREEITEM item);

private:
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    HTREEITEM Next(HTREEITEM item, WPARAM relation) const;

    CWnd* tree_ = nullptr;
};

}  // namespace options
