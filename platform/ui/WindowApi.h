// Window functions by handle: life, class and styles, relations, geometry, text, focus,
// visibility and capture. All run on the user-interface thread, except IsWindow.
#pragma once

#include <string>

#include "platform/ui/WinDefsMessages.h"

class CRgn;
class QWidget;

// Any thread.
BOOL IsWindow(HWND hwnd);

BOOL DestroyWindow(HWND hwnd);

std::string GetClassName(HWND hwnd);
int GetClassName(HWND hwnd, char* buffer, int size);

inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWL_STYLE = -16;
inline constexpr int GWL_ID = -12;
LONG GetWindowLong(HWND hwnd, int index);
LONG SetWindowLong(HWND hwnd, int index, LONG value);  // returns the previous value

HWND GetParent(HWND hwnd);
HWND GetWindow(HWND hwnd, UINT relation);
// Makes `hwnd` a child of `parent` (keeping its place in client coordinates and its
// visibility) and returns its previous parent; 0 when either handle is not a window.
HWND SetParent(HWND hwnd, HWND parent);
HWND GetDlgItem(HWND parent, int id);
int GetDlgCtrlID(HWND hwnd);
BOOL IsChild(HWND parent, HWND hwnd);
using WNDENUMPROC = BOOL (*)(HWND, LPARAM);
// All descendants, each before its own children, in creation order; stops when the
// callback returns FALSE.
BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM lParam);

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint = TRUE);
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL GetWindowRect(HWND hwnd, RECT* rect);  // screen coordinates
BOOL ScreenToClient(HWND hwnd, POINT* point);
BOOL ClientToScreen(HWND hwnd, POINT* point);
// Points (or a rectangle's corners) from the client coordinates of `from` to those of `to`;
// 0 stands for the screen. Returns FALSE when a window named does not exist.
BOOL MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
BOOL MapWindowPoints(HWND from, HWND to, RECT* rect);
// Where a window lies in another's client area: GetWindowRect mapped from the screen to `to`.
RECT GetWindowRectIn(HWND hwnd, HWND to);
// Moves (x, y in the parent's client coordinates), sizes, shows or hides the window as the
// SWP_* flags say; SWP_FRAMECHANGED asks the window for its frame again (WM_NCCALCSIZE). The
// z-order is left alone.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags);
// The window region, in window coordinates (frame included): the window shows and takes the
// mouse only inside it. The window takes the region over, as Win32 does: the caller's region
// is spent (deleted) by a successful call. Null removes the region. Non-zero on success.
int SetWindowRgn(HWND hwnd, CRgn* region, BOOL redraw);
// Copies the window region into `region` (which must be created); the region's kind, or
// RGN_ERROR (0) when the window has none.
int GetWindowRgn(HWND hwnd, CRgn* region);

BOOL SetWindowText(HWND hwnd, const std::string& text);
std::string GetWindowText(HWND hwnd);
int GetWindowText(HWND hwnd, char* buffer, int size);  // bytes copied, cut on a character
int GetWindowTextLength(HWND hwnd);
BOOL SetDlgItemText(HWND parent, int id, const std::string& text);
std::string GetDlgItemText(HWND parent, int id);

HWND SetFocus(HWND hwnd);  // returns the window that had the focus
HWND GetFocus();
BOOL ShowWindow(HWND hwnd, int command);    // whether it was visible before
BOOL EnableWindow(HWND hwnd, BOOL enable);  // whether it was disabled before
BOOL IsWindowEnabled(HWND hwnd);
BOOL IsWindowVisible(HWND hwnd);
HWND SetCapture(HWND hwnd);
HWND GetCapture();
BOOL ReleaseCapture();

namespace platform::ui {

// The widget that plays the window (null for a dead handle).
QWidget* WidgetOf(HWND hwnd);
// The window a widget plays, or the nearest window above it (0 when none).
HWND WindowOf(const QWidget* widget);
// Makes an existing widget a window of the named class, so that handler objects can attach
// to it; returns its handle (its existing one when it is a window already).
HWND AdoptWidget(QWidget* widget, const std::string& className, DWORD style, int id);
// The accelerator table that the key walk checks when it reaches this window.
void SetWindowAccelerators(HWND hwnd, HACCEL table);
// Windows alive now (for leak checks in tests).
size_t LiveWindowCount();

}  // namespace platform::ui
