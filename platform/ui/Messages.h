// Sending, posting and timer messages to windows by handle.
#pragma once

#include "platform/ui/WinDefsMessages.h"

// Calls the window's procedure and returns its result. On the user-interface thread this is
// a direct call. From another thread it blocks until the user-interface thread has handled
// the message (0 when the window is gone by then or the application is shutting down), so a
// worker must never send while the user-interface thread waits for that worker.
// WM_COPYDATA: the receiver gets its own copy of the bytes.
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// Any thread: queues the message for the user-interface thread; FALSE when the handle is not a
// window. A message whose window died before delivery is dropped. Messages posted by one
// thread arrive in the order they were posted. WM_COPYDATA cannot be posted (its bytes
// would outlive the sender's buffer): FALSE.
BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// User-interface thread: WM_TIMER with wParam = id to the window every elapseMs (at least
// USER_TIMER_MINIMUM); setting an existing id restarts it. Returns id, 0 on failure (also
// for id 0). The timers of a window stop when it is destroyed.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, void* unused = nullptr);
BOOL KillTimer(HWND hwnd, UINT_PTR id);
