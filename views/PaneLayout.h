// Layout steps the view pages share: the grid area below a row of controls, the size of a
// stored pane, and two grids split by a bar.
#pragma once

#include "flexui/SplitterWndXp.h"
#include "platform/ui/Wnd.h"

namespace views {

// Smallest size of a grid beside the bar.
inline constexpr int kMinPane = 50;

// The client area of the dialog from 4 pixels below the control down.
RECT AreaBelow(CWnd& dialog, int controlId);
// The stored size when it is at least kMinPane and at most extent - reserve, else fallback.
int PaneSize(int stored, int extent, int reserve, int fallback);
// (Re)binds the bar control to the splitter and attaches both grids to it.
void SplitPanes(CSplitterWndXp& splitter, bool& bound, CWnd& dialog, int barId, CWnd& first,
                CWnd& second, COLORREF color);

}  // namespace views
