// Mouse cursors: the standard shapes and the library's own cursor resources as handles,
// SetCursor, and WM_SETCURSOR to the window under the mouse before the cursor is chosen.
#pragma once

#include <cstddef>
#include <string>

#include "platform/ui/WinDefsMessages.h"

class QCursor;
class QEvent;
class QWidget;

// User-interface thread for all of these.
// A standard cursor (IDC_*); 0 for an unknown id. The same id always gives the same handle.
HCURSOR LoadCursor(std::nullptr_t, UINT standardId);
// A cursor resource of the library (117, 118) or, for an IDC_* id, the standard cursor; 0 when
// there is no such resource.
HCURSOR LoadCursor(UINT resourceId);
// An image file (XPM, PNG, ...) as a cursor. The hot spot is the XPM header's, else a PNG text
// entry "HotSpot" = "x,y", else the top-left corner. 0 when the file is not an image.
HCURSOR LoadCursorFromFile(const std::string& path);
// Makes `cursor` the shape over the capture window, else over the window answering
// WM_SETCURSOR, else over the window under the mouse; 0 hides it. Returns the previous one.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);

namespace platform::ui {

// The Qt cursor behind a handle; null for a bad handle.
const QCursor* QCursorOf(HCURSOR cursor);
// The hot spot of a cursor, in its image's pixels.
BOOL GetCursorHotSpot(HCURSOR cursor, POINT* hotSpot);

// Asks the window (then, when it leaves the choice to the default, its parents from the
// top-most down) for the cursor with WM_SETCURSOR (wParam = hwnd, lParam = HTCLIENT and the
// mouse message); when nobody sets one the window gets its class's own cursor back. Returns
// whether a window set the cursor. Runs for every mouse move once cursor routing is installed.
BOOL RouteSetCursor(HWND hwnd, UINT mouseMessage);
// Makes sure the application's input filter runs, which sends WM_SETCURSOR on every mouse
// move and press before the mouse message itself; callable again without harm.
void InstallCursorRouting();
// The input filter's step for a mouse move or press given to `widget`: WM_SETCURSOR to the
// nearest window (once per event, however far Qt passes it up), unless a window holds the
// capture.
void RouteCursorForMouse(QWidget* widget, QEvent* event);

}  // namespace platform::ui
