// CTickTree: a tree of top-level lines ticked by their image (0 unticked, 1 ticked), whose
// selected line moves past its neighbours; dialogs subclass their tree control with it.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/ImageList.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/Wnd.h"

class CTickTree : public CWnd {
public:
    // The images of a line: the first two cells of the tree's image list.
    static constexpr int kUnticked = 0;
    static constexpr int kTicked = 1;

    struct Line {
        LPARAM data = 0;
        bool ticked = false;
        bool operator==(const Line&) const = default;
    };

    // The look both dialogs give the tree: the selection shown without the focus, the tick
    // images (none while `images` is null), the line height and the background colour.
    void SetLook(CImageList* images, int itemHeight, COLORREF background);

    // A new last top-level line.
    HTREEITEM AddLine(const std::string& text, LPARAM data, bool ticked);
    // TVM_GETNEXTITEM; 0 while the tree has no window.
    HTREEITEM Next(WPARAM code, HTREEITEM item) const;
    // Flips the tick of the line whose image is at `point` (client coordinates); false when
    // no image is there.
    bool ToggleAt(POINT point);
    // Whether the selected line has a sibling before (up) or after it.
    bool CanMoveSelected(bool up) const;
    // Moves the selected line past that sibling: the two lines exchange image, data and text
    // (whole, however long), and the selection stays with the moved line, scrolled into view.
    bool MoveSelected(bool up);
    // The top-level lines in tree order.
    std::vector<Line> Lines() const;

    // The answer to the tree's NM_CUSTOMDRAW: lines black on `background`, the selected one in
    // the given colours whether or not the tree has the focus. False for the stages it leaves
    // to the tree.
    bool CustomDraw(NMTVCUSTOMDRAW* draw, COLORREF background, COLORREF selectedText,
                    COLORREF selectedBackground, LRESULT* result) const;

protected:
    // A press or double click on a line's image flips its tick before the tree sees the click
    // (one on the text only selects).
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonDblClk(UINT flags, POINT point) override;

private:
    // The line's text, read with a buffer that grows until the text fits.
    std::string TextOf(HTREEITEM item) const;
};
