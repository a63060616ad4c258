// Inner workings shared by the window layer's sources: the call frames of the window
// procedures, queued delivery, and the hooks between windows, messages and input.
#pragma once

#include <string>

#include "platform/ui/WinDefsTypes.h"

class QEvent;
class QWidget;

namespace platform::ui {

struct WindowRecord;
class WindowClass;

// User-interface thread: installs the input filter and the message dispatcher (idempotent).
void EnsureWindowLayer();
// Any thread: whether the caller runs on the application's user-interface thread.
bool IsUiThread();

// A message stamped with the tick (and, on the user-interface thread, the cursor position).
MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Registers a widget as a window (user-interface thread); 0 when it cannot.
HWND RegisterWidget(QWidget* widget, const WindowClass* windowClass, const std::string& className,
                    DWORD style, DWORD exStyle, int32_t id);

// One message being handled by a window procedure. For a message made from a Qt event,
// `origin` is that event and `receiver` the widget Qt gave it to.
struct CallFrame {
    HWND hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    QEvent* origin = nullptr;
    QWidget* receiver = nullptr;
    bool passOn = false;  // default processing asked for: Qt may handle the origin event
    CallFrame* outer = nullptr;
};
CallFrame* CurrentFrame();
// Whether some window procedure or input routing is running (a window destroyed now is
// deleted later, when its widget can no longer be on the stack).
bool InDispatch();

// Runs the window's procedure: the routed handler object's WindowProc, or the default.
// `passOn` (when given) tells whether default processing was asked for.
LRESULT CallWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                       QEvent* origin = nullptr, QWidget* receiver = nullptr,
                       bool* passOn = nullptr);
// The class's own behaviour for a message.
LRESULT DefaultWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Delivers a queued or input message: the PreTranslateMessage walk, then the procedure.
// Returns whether the procedure asked for default processing of the origin event;
// `swallowed` (when given) tells whether a PreTranslateMessage took the message.
bool DeliverQueued(MSG& msg, QEvent* origin = nullptr, QWidget* receiver = nullptr,
                   bool* swallowed = nullptr);

// Sends a Qt event to a widget without the input filter turning it into messages again.
bool SendPastFilter(QWidget* widget, QEvent* event);
// Default handling of the key messages: the widget gets the key or the character.
void DefaultKeyProcessing(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam);
// Installs the application's input filter (called by EnsureWindowLayer).
void InstallInputFilter();

void KillWindowTimers(HWND hwnd);

// A widget property: mouse input of a child widget carrying it (true) goes to its parent's
// window as that window's own mouse messages (a scroll area's viewport).
inline constexpr const char* kMouseToParentProperty = "platformUiMouseToParent";

// Turns a window's paint event into WM_PAINT (and, through BeginPaint, WM_ERASEBKGND); false
// lets the widget paint itself (the window asked for default processing).
bool RoutePaint(QWidget* widget, QEvent* event);

// Copies the text into a caller buffer of `size` bytes, cut on a UTF-8 character boundary,
// always terminated when size > 0; returns the bytes copied.
int CopyTextToBuffer(const std::string& text, char* buffer, int size);

}  // namespace platform::ui
