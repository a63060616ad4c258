// TrackMouseEvent: WM_MOUSEHOVER once the mouse rests on a window for the hover time, and
// WM_MOUSELEAVE when it leaves the window; each request is answered once and then ends.
#pragma once

#include "platform/ui/WinDefsMessages.h"

inline constexpr DWORD TME_HOVER = 0x00000001;
inline constexpr DWORD TME_LEAVE = 0x00000002;
inline constexpr DWORD TME_QUERY = 0x40000000;
inline constexpr DWORD TME_CANCEL = 0x80000000;
inline constexpr DWORD HOVER_DEFAULT = 0xFFFFFFFF;

struct TRACKMOUSEEVENT {
    DWORD cbSize = sizeof(TRACKMOUSEEVENT);
    DWORD dwFlags = 0;
    HWND hwndTrack = 0;
    DWORD dwHoverTime = HOVER_DEFAULT;  // milliseconds
};

// User-interface thread. TME_CANCEL ends the named requests; TME_QUERY fills the record with
// the requests in force for its window. The leave is seen when the widget gets Qt's leave
// event. FALSE for a dead window.
BOOL TrackMouseEvent(TRACKMOUSEEVENT* request);
