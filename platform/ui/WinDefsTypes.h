// Basic types, handles and records of the window layer, with the sizes and values the window code
// and the stored profiles expect.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- basic types -------------------------------------------------------------------------------
using BOOL = int;
inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using SHORT = int16_t;
using COLORREF = uint32_t;  // 0x00BBGGRR
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using UINT_PTR = uintptr_t;
using ULONG_PTR = uintptr_t;
using INT_PTR = intptr_t;  // DoModal's result

// ---- handles -----------------------------------------------------------------------------------
// A window handle is a 32-bit id from the window layer's handle table (0 = none); ids are never
// reused in a run, so a stale handle is simply not a window any more.
using HWND = uint32_t;
// An accelerator table handle (0 = none), also a never-reused id.
using HACCEL = uint32_t;
// A menu handle and a cursor handle are never-reused ids of their own tables (0 = none).
using HMENU = uint32_t;
using HCURSOR = uint32_t;

// ---- records -----------------------------------------------------------------------------------
struct POINT {
    LONG x = 0;
    LONG y = 0;
};
struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};
struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};
inline bool operator==(const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; }
inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
struct MSG {
    HWND hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    int64_t time = 0;  // platform::TickMs() when the message was made
    POINT pt;
};
// WM_COPYDATA record; the receiver gets its own copy of the bytes, valid during the call.
struct COPYDATASTRUCT {
    ULONG_PTR dwData = 0;
    DWORD cbData = 0;
    const void* lpData = nullptr;
};
struct NMHDR {
    HWND hwndFrom = 0;
    UINT_PTR idFrom = 0;
    UINT code = 0;
};
struct ACCEL {
    BYTE fVirt = 0;
    WORD key = 0;
    WORD cmd = 0;
};
struct WINDOWPOS {
    HWND hwnd = 0;
    HWND hwndInsertAfter = 0;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    UINT flags = 0;
};

// ---- word helpers ------------------------------------------------------------------------------
constexpr WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
// Signed coordinates of a mouse message's point (negative left of or above a window).
constexpr int GET_X_LPARAM(LPARAM v) {
    return static_cast<int16_t>(LOWORD(static_cast<DWORD>(v)));
}
constexpr int GET_Y_LPARAM(LPARAM v) {
    return static_cast<int16_t>(HIWORD(static_cast<DWORD>(v)));
}
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) {
    return static_cast<WPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) {
    return static_cast<LPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}
