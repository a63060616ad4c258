// Inside the window layer: the non-client frame of a window (the part of the widget around its
// client area) and the default answers to WM_NCCALCSIZE, WM_NCHITTEST and WM_NCPAINT.
#pragma once

#include <QPoint>
#include <QRect>

#include "platform/ui/WinDefsTypes.h"

class CDC;
class QWidget;

namespace platform::ui {

struct WindowRecord;

// The frame widths the window's styles ask for: WS_THICKFRAME 4, WS_DLGFRAME 3, WS_BORDER 1,
// plus WS_EX_CLIENTEDGE 2 and WS_EX_STATICEDGE 1. A top-level window that Qt decorates (it has
// a caption) gets its outer frame from the window manager, so only the edges count there.
RECT StyleFrame(const WindowRecord& record);

// Asks the window for its client area (WM_NCCALCSIZE with the window rectangle in its parent's
// client coordinates) and keeps the frame that leaves. True when the frame changed (the whole
// window is then repainted).
bool RecalcFrame(HWND hwnd);

// The client area of the window in widget coordinates.
QRect ClientArea(const WindowRecord& record);
// Where client (0, 0) lies on the window's widget; (0, 0) for a dead handle.
QPoint ClientOrigin(HWND hwnd);
// The offset from a widget's parent widget coordinates to its parent window's client
// coordinates, when that parent is a window (child windows are placed in client coordinates).
QPoint ParentClientOrigin(const QWidget* widget);

// Default processing of the non-client messages; *handled tells whether it was one.
LRESULT DefaultNonClient(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                         bool* handled);
// The default frame in the classic colours, drawn on a context of the whole window.
void DrawDefaultFrame(const WindowRecord& record, CDC* dc);

}  // namespace platform::ui
