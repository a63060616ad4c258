// Types, records and numeric codes of the window layer, in the shape and with the values the
// window code and the stored profiles expect (messages, notifications, styles, keys, boxes).
#pragma once

#include <cstddef>
#include <cstdint>

// ---- basic types --------------------------------------------------------------------------
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

// A window handle is a 32-bit id from the window layer's handle table (0 = none); ids are never
// reused in a run, so a stale handle is simply not a window any more.
using HWND = uint32_t;
// An accelerator table handle (0 = none), also a never-reused id.
using HACCEL = uint32_t;

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

inline constexpr int LF_FACESIZE = 32;
// Font description; lfFaceName holds UTF-8, cut on a character boundary.
struct LOGFONT {
    LONG lfHeight = 0;
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = 0;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 0;
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    char lfFaceName[LF_FACESIZE] = {};
};

// ---- word helpers ---------------------------------------------------------------------------
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
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
           (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }

// ---- window messages --------------------------------------------------------------------------
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_ENABLE = 0x000A;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_GETTEXTLENGTH = 0x000E;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_CTLCOLOR = 0x0019;
inline constexpr UINT WM_SETCURSOR = 0x0020;
inline constexpr UINT WM_MOUSEACTIVATE = 0x0021;
inline constexpr UINT WM_GETMINMAXINFO = 0x0024;
inline constexpr UINT WM_NEXTDLGCTL = 0x0028;
inline constexpr UINT WM_DRAWITEM = 0x002B;
inline constexpr UINT WM_MEASUREITEM = 0x002C;
inline constexpr UINT WM_SETFONT = 0x0030;
inline constexpr UINT WM_GETFONT = 0x0031;
inline constexpr UINT WM_WINDOWPOSCHANGING = 0x0046;
inline constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
inline constexpr UINT WM_COPYDATA = 0x004A;
inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT WM_CONTEXTMENU = 0x007B;
inline constexpr UINT WM_NCCREATE = 0x0081;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_NCCALCSIZE = 0x0083;
inline constexpr UINT WM_NCHITTEST = 0x0084;
inline constexpr UINT WM_NCPAINT = 0x0085;
inline constexpr UINT WM_GETDLGCODE = 0x0087;
inline constexpr UINT WM_NCMOUSEMOVE = 0x00A0;
inline constexpr UINT WM_NCLBUTTONDOWN = 0x00A1;
inline constexpr UINT WM_KEYFIRST = 0x0100;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;
inline constexpr UINT WM_SYSKEYUP = 0x0105;
inline constexpr UINT WM_SYSCHAR = 0x0106;
inline constexpr UINT WM_KEYLAST = 0x0109;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_HSCROLL = 0x0114;
inline constexpr UINT WM_VSCROLL = 0x0115;
inline constexpr UINT WM_CTLCOLOREDIT = 0x0133;
inline constexpr UINT WM_CTLCOLORLISTBOX = 0x0134;
inline constexpr UINT WM_CTLCOLORBTN = 0x0135;
inline constexpr UINT WM_CTLCOLORDLG = 0x0136;
inline constexpr UINT WM_CTLCOLORSCROLLBAR = 0x0137;
inline constexpr UINT WM_CTLCOLORSTATIC = 0x0138;
inline constexpr UINT WM_MOUSEFIRST = 0x0200;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_MOUSELAST = 0x020A;
inline constexpr UINT WM_SIZEPARENT = 0x0361;
inline constexpr UINT WM_CAPTURECHANGED = 0x0215;
inline constexpr UINT WM_IME_CHAR = 0x0286;
inline constexpr UINT WM_MOUSEHOVER = 0x02A1;
inline constexpr UINT WM_MOUSELEAVE = 0x02A3;
inline constexpr UINT WM_PRINT = 0x0317;
inline constexpr UINT WM_PRINTCLIENT = 0x0318;
inline constexpr LPARAM PRF_CLIENT = 0x0004;  // WM_PRINTCLIENT: draw the client area
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

// Mouse-message key state bits (wParam).
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;
inline constexpr int WHEEL_DELTA = 120;

// WM_SIZE kinds.
inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr WPARAM SIZE_MINIMIZED = 1;
inline constexpr WPARAM SIZE_MAXIMIZED = 2;
inline constexpr WPARAM SIZE_MAXSHOW = 3;
inline constexpr WPARAM SIZE_MAXHIDE = 4;

// ---- notification codes -----------------------------------------------------------------------
inline constexpr WORD BN_CLICKED = 0;
inline constexpr WORD BN_DOUBLECLICKED = 5;
inline constexpr WORD BN_SETFOCUS = 6;
inline constexpr WORD BN_KILLFOCUS = 7;
inline constexpr WORD EN_SETFOCUS = 0x0100;
inline constexpr WORD EN_KILLFOCUS = 0x0200;
inline constexpr WORD EN_CHANGE = 0x0300;
inline constexpr WORD EN_UPDATE = 0x0400;
inline constexpr WORD EN_MAXTEXT = 0x0501;
inline constexpr WORD STN_CLICKED = 0;
inline constexpr WORD STN_DBLCLK = 1;

// ---- window styles ------------------------------------------------------------------------------
inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_MINIMIZE = 0x20000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD WS_MAXIMIZE = 0x01000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_DLGFRAME = 0x00400000;
inline constexpr DWORD WS_VSCROLL = 0x00200000;
inline constexpr DWORD WS_HSCROLL = 0x00100000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_THICKFRAME = 0x00040000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
inline constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

inline constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;
inline constexpr DWORD WS_EX_NOPARENTNOTIFY = 0x00000004;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008;
inline constexpr DWORD WS_EX_TRANSPARENT = 0x00000020;
inline constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
inline constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
inline constexpr DWORD WS_EX_STATICEDGE = 0x00020000;
inline constexpr DWORD WS_EX_LAYERED = 0x00080000;

// Edit styles.
inline constexpr DWORD ES_LEFT = 0x0000;
inline constexpr DWORD ES_CENTER = 0x0001;
inline constexpr DWORD ES_RIGHT = 0x0002;
inline constexpr DWORD ES_MULTILINE = 0x0004;
inline constexpr DWORD ES_UPPERCASE = 0x0008;
inline constexpr DWORD ES_LOWERCASE = 0x0010;
inline constexpr DWORD ES_PASSWORD = 0x0020;
inline constexpr DWORD ES_AUTOVSCROLL = 0x0040;
inline constexpr DWORD ES_AUTOHSCROLL = 0x0080;
inline constexpr DWORD ES_NOHIDESEL = 0x0100;
inline constexpr DWORD ES_READONLY = 0x0800;
inline constexpr DWORD ES_WANTRETURN = 0x1000;
inline constexpr DWORD ES_NUMBER = 0x2000;

// Button styles (the low four bits are the kind).
inline constexpr DWORD BS_PUSHBUTTON = 0x0;
inline constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
inline constexpr DWORD BS_CHECKBOX = 0x2;
inline constexpr DWORD BS_AUTOCHECKBOX = 0x3;
inline constexpr DWORD BS_RADIOBUTTON = 0x4;
inline constexpr DWORD BS_3STATE = 0x5;
inline constexpr DWORD BS_AUTO3STATE = 0x6;
inline constexpr DWORD BS_GROUPBOX = 0x7;
inline constexpr DWORD BS_AUTORADIOBUTTON = 0x9;
inline constexpr DWORD BS_OWNERDRAW = 0xB;
inline constexpr DWORD BS_TYPEMASK = 0xF;
inline constexpr DWORD BS_LEFTTEXT = 0x20;
inline constexpr DWORD BS_LEFT = 0x100;
inline constexpr DWORD BS_RIGHT = 0x200;
inline constexpr DWORD BS_CENTER = 0x300;
inline constexpr DWORD BS_TOP = 0x400;
inline constexpr DWORD BS_BOTTOM = 0x800;
inline constexpr DWORD BS_MULTILINE = 0x2000;
inline constexpr DWORD BS_NOTIFY = 0x4000;
inline constexpr DWORD BS_FLAT = 0x8000;

// Static styles.
inline constexpr DWORD SS_LEFT = 0x0;
inline constexpr DWORD SS_CENTER = 0x1;
inline constexpr DWORD SS_RIGHT = 0x2;
inline constexpr DWORD SS_BITMAP = 0xE;
inline constexpr DWORD SS_TYPEMASK = 0x1F;
inline constexpr DWORD SS_NOTIFY = 0x0100;
inline constexpr DWORD SS_CENTERIMAGE = 0x0200;

// Button messages and states.
inline constexpr UINT BM_GETCHECK = 0x00F0;
inline constexpr UINT BM_SETCHECK = 0x00F1;
inline constexpr UINT BM_CLICK = 0x00F5;
inline constexpr WPARAM BST_UNCHECKED = 0;
inline constexpr WPARAM BST_CHECKED = 1;
inline constexpr WPARAM BST_INDETERMINATE = 2;

// Edit messages.
inline constexpr UINT EM_GETSEL = 0x00B0;
inline constexpr UINT EM_SETSEL = 0x00B1;
inline constexpr UINT EM_GETMODIFY = 0x00B8;
inline constexpr UINT EM_SETMODIFY = 0x00B9;
inline constexpr UINT EM_LIMITTEXT = 0x00C5;
inline constexpr UINT EM_SETREADONLY = 0x00CF;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWMINNOACTIVE = 7;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;

// GetWindow relations.
inline constexpr UINT GW_HWNDFIRST = 0;
inline constexpr UINT GW_HWNDLAST = 1;
inline constexpr UINT GW_HWNDNEXT = 2;
inline constexpr UINT GW_HWNDPREV = 3;
inline constexpr UINT GW_OWNER = 4;
inline constexpr UINT GW_CHILD = 5;

// ---- accelerators -----------------------------------------------------------------------------
inline constexpr BYTE FVIRTKEY = 0x01;
inline constexpr BYTE FSHIFT = 0x04;
inline constexpr BYTE FCONTROL = 0x08;
inline constexpr BYTE FALT = 0x10;

// ---- virtual keys -------------------------------------------------------------------------------
inline constexpr int VK_LBUTTON = 0x01;
inline constexpr int VK_RBUTTON = 0x02;
inline constexpr int VK_MBUTTON = 0x04;
inline constexpr int VK_BACK = 0x08;
inline constexpr int VK_TAB = 0x09;
inline constexpr int VK_CLEAR = 0x0C;
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;
inline constexpr int VK_PAUSE = 0x13;
inline constexpr int VK_CAPITAL = 0x14;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_PRIOR = 0x21;
inline constexpr int VK_NEXT = 0x22;
inline constexpr int VK_END = 0x23;
inline constexpr int VK_HOME = 0x24;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_SNAPSHOT = 0x2C;
inline constexpr int VK_INSERT = 0x2D;
inline constexpr int VK_DELETE = 0x2E;
inline constexpr int VK_HELP = 0x2F;
// '0'..'9' are 0x30..0x39 and 'A'..'Z' are 0x41..0x5A.
inline constexpr int VK_LWIN = 0x5B;
inline constexpr int VK_RWIN = 0x5C;
inline constexpr int VK_APPS = 0x5D;
inline constexpr int VK_NUMPAD0 = 0x60;
inline constexpr int VK_NUMPAD9 = 0x69;
inline constexpr int VK_MULTIPLY = 0x6A;
inline constexpr int VK_ADD = 0x6B;
inline constexpr int VK_SEPARATOR = 0x6C;
inline constexpr int VK_SUBTRACT = 0x6D;
inline constexpr int VK_DECIMAL = 0x6E;
inline constexpr int VK_DIVIDE = 0x6F;
inline constexpr int VK_F1 = 0x70;
inline constexpr int VK_F2 = 0x71;
inline constexpr int VK_F3 = 0x72;
inline constexpr int VK_F4 = 0x73;
inline constexpr int VK_F5 = 0x74;
inline constexpr int VK_F6 = 0x75;
inline constexpr int VK_F7 = 0x76;
inline constexpr int VK_F8 = 0x77;
inline constexpr int VK_F9 = 0x78;
inline constexpr int VK_F10 = 0x79;
inline constexpr int VK_F11 = 0x7A;
inline constexpr int VK_F12 = 0x7B;
inline constexpr int VK_F24 = 0x87;
inline constexpr int VK_NUMLOCK = 0x90;
inline constexpr int VK_SCROLL = 0x91;
inline constexpr int VK_LSHIFT = 0xA0;
inline constexpr int VK_RSHIFT = 0xA1;
inline constexpr int VK_LCONTROL = 0xA2;
inline constexpr int VK_RCONTROL = 0xA3;
inline constexpr int VK_LMENU = 0xA4;
inline constexpr int VK_RMENU = 0xA5;
inline constexpr int VK_OEM_1 = 0xBA;  // ;:
inline constexpr int VK_OEM_PLUS = 0xBB;
inline constexpr int VK_OEM_COMMA = 0xBC;
inline constexpr int VK_OEM_MINUS = 0xBD;
inline constexpr int VK_OEM_PERIOD = 0xBE;
inline constexpr int VK_OEM_2 = 0xBF;  // /?
inline constexpr int VK_OEM_3 = 0xC0;  // `~
inline constexpr int VK_OEM_4 = 0xDB;  // [{
inline constexpr int VK_OEM_5 = 0xDC;  // \|
inline constexpr int VK_OEM_6 = 0xDD;  // ]}
inline constexpr int VK_OEM_7 = 0xDE;  // '"
inline constexpr int VK_PROCESSKEY = 0xE5;

// ---- message boxes
// --------------------------------------------------------------------------------
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
inline constexpr UINT MB_YESNOCANCEL = 0x3;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_RETRYCANCEL = 0x5;
inline constexpr UINT MB_TYPEMASK = 0xF;
inline constexpr UINT MB_ICONHAND = 0x10;
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONSTOP = 0x10;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_ICONWARNING = 0x30;
inline constexpr UINT MB_ICONASTERISK = 0x40;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_ICONMASK = 0xF0;
inline constexpr UINT MB_DEFBUTTON1 = 0x000;
inline constexpr UINT MB_DEFBUTTON2 = 0x100;
inline constexpr UINT MB_DEFBUTTON3 = 0x200;
inline constexpr UINT MB_DEFMASK = 0xF00;
inline constexpr UINT MB_APPLMODAL = 0x0000;
inline constexpr UINT MB_SYSTEMMODAL = 0x1000;
inline constexpr UINT MB_TASKMODAL = 0x2000;
inline constexpr UINT MB_SETFOREGROUND = 0x10000;
inline constexpr UINT MB_TOPMOST = 0x40000;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// ---- file dialogs (OFN_ flags the callers pass)
// --------------------------------------------------
inline constexpr DWORD OFN_READONLY = 0x00000001;
inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
inline constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
inline constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
inline constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;

// ---- sounds -------------------------------------------------------------------------------------
inline constexpr DWORD SND_SYNC = 0x0000;
inline constexpr DWORD SND_ASYNC = 0x0001;
inline constexpr DWORD SND_NODEFAULT = 0x0002;
inline constexpr DWORD SND_MEMORY = 0x0004;
inline constexpr DWORD SND_LOOP = 0x0008;
inline constexpr DWORD SND_PURGE = 0x0040;
inline constexpr DWORD SND_FILENAME = 0x00020000;
inline constexpr DWORD SND_RESOURCE = 0x00040004;

// ---- timers -------------------------------------------------------------------------------------
inline constexpr UINT USER_TIMER_MINIMUM = 10;

// ---- dialogs ------------------------------------------------------------------------------------
inline constexpr DWORD DS_3DLOOK = 0x0004;
inline constexpr DWORD DS_MODALFRAME = 0x0080;
inline constexpr DWORD DS_SETFOREGROUND = 0x0200;
inline constexpr DWORD DS_CONTROL = 0x0400;
inline constexpr DWORD DS_CENTER = 0x0800;
inline constexpr UINT DM_GETDEFID = WM_USER + 0;
inline constexpr UINT DM_SETDEFID = WM_USER + 1;
inline constexpr WORD DC_HASDEFID = 0x534B;  // high word of DM_GETDEFID's answer
inline constexpr int IDC_STATIC = -1;
using INT_PTR = intptr_t;  // DoModal's result
// WM_GETDLGCODE answers: what a control keeps of the keys the dialog manager would take.
inline constexpr LRESULT DLGC_WANTARROWS = 0x0001;
inline constexpr LRESULT DLGC_WANTTAB = 0x0002;
inline constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
inline constexpr LRESULT DLGC_WANTMESSAGE = 0x0004;
inline constexpr LRESULT DLGC_HASSETSEL = 0x0008;
inline constexpr LRESULT DLGC_DEFPUSHBUTTON = 0x0010;
inline constexpr LRESULT DLGC_UNDEFPUSHBUTTON = 0x0020;
inline constexpr LRESULT DLGC_RADIOBUTTON = 0x0040;
inline constexpr LRESULT DLGC_WANTCHARS = 0x0080;
inline constexpr LRESULT DLGC_STATIC = 0x0100;
inline constexpr LRESULT DLGC_BUTTON = 0x2000;

// ---- hot keys and window placement (stored in profiles) -----------------------------------------
// Hot-key modifier flags; a stored hot key is modifiers * 256 + virtual key.
inline constexpr BYTE HOTKEYF_SHIFT = 0x01;
inline constexpr BYTE HOTKEYF_CONTROL = 0x02;
inline constexpr BYTE HOTKEYF_ALT = 0x04;
inline constexpr BYTE HOTKEYF_EXT = 0x08;
struct WINDOWPLACEMENT {
    UINT length = 44;
    UINT flags = 0;
    UINT showCmd = 0;
    POINT ptMinPosition;
    POINT ptMaxPosition;
    RECT rcNormalPosition;
};

// ---- "ComboBox", "ListBox", multi-line "Edit", "msctls_updown32", "msctls_hotkey32" ----------
inline constexpr DWORD CBS_SIMPLE = 0x0001;
inline constexpr DWORD CBS_DROPDOWN = 0x0002;
inline constexpr DWORD CBS_DROPDOWNLIST = 0x0003;
inline constexpr DWORD CBS_OWNERDRAWFIXED = 0x0010;
inline constexpr DWORD CBS_OWNERDRAWVARIABLE = 0x0020;
inline constexpr DWORD CBS_AUTOHSCROLL = 0x0040;
inline constexpr DWORD CBS_SORT = 0x0100;
inline constexpr DWORD CBS_HASSTRINGS = 0x0200;
inline constexpr UINT CB_GETEDITSEL = 0x0140;
inline constexpr UINT CB_LIMITTEXT = 0x0141;
inline constexpr UINT CB_SETEDITSEL = 0x0142;
inline constexpr UINT CB_ADDSTRING = 0x0143;
inline constexpr UINT CB_DELETESTRING = 0x0144;
inline constexpr UINT CB_GETCOUNT = 0x0146;
inline constexpr UINT CB_GETCURSEL = 0x0147;
inline constexpr UINT CB_GETLBTEXT = 0x0148;
inline constexpr UINT CB_GETLBTEXTLEN = 0x0149;
inline constexpr UINT CB_INSERTSTRING = 0x014A;
inline constexpr UINT CB_RESETCONTENT = 0x014B;
inline constexpr UINT CB_FINDSTRING = 0x014C;
inline constexpr UINT CB_SELECTSTRING = 0x014D;
inline constexpr UINT CB_SETCURSEL = 0x014E;
inline constexpr UINT CB_SHOWDROPDOWN = 0x014F;
inline constexpr UINT CB_GETITEMDATA = 0x0150;
inline constexpr UINT CB_SETITEMDATA = 0x0151;
inline constexpr UINT CB_SETITEMHEIGHT = 0x0153;
inline constexpr UINT CB_GETITEMHEIGHT = 0x0154;
inline constexpr UINT CB_GETDROPPEDSTATE = 0x0157;
inline constexpr UINT CB_FINDSTRINGEXACT = 0x0158;
inline constexpr UINT CB_GETDROPPEDWIDTH = 0x015F;
inline constexpr UINT CB_SETDROPPEDWIDTH = 0x0160;
inline constexpr LRESULT CB_ERR = -1;
inline constexpr WORD CBN_SELCHANGE = 1;
inline constexpr WORD CBN_DBLCLK = 2;
inline constexpr WORD CBN_SETFOCUS = 3;
inline constexpr WORD CBN_KILLFOCUS = 4;
inline constexpr WORD CBN_EDITCHANGE = 5;
inline constexpr WORD CBN_EDITUPDATE = 6;
inline constexpr WORD CBN_DROPDOWN = 7;
inline constexpr WORD CBN_CLOSEUP = 8;
inline constexpr WORD CBN_SELENDOK = 9;
inline constexpr WORD CBN_SELENDCANCEL = 10;
inline constexpr int kComboEditId = 1001;  // the control id of a combo box's edit field

inline constexpr DWORD LBS_NOTIFY = 0x0001;
inline constexpr DWORD LBS_SORT = 0x0002;
inline constexpr DWORD LBS_MULTIPLESEL = 0x0008;
inline constexpr DWORD LBS_OWNERDRAWFIXED = 0x0010;
inline constexpr DWORD LBS_OWNERDRAWVARIABLE = 0x0020;
inline constexpr DWORD LBS_HASSTRINGS = 0x0040;
inline constexpr DWORD LBS_NOINTEGRALHEIGHT = 0x0100;
inline constexpr DWORD LBS_EXTENDEDSEL = 0x0800;
inline constexpr DWORD LBS_NODATA = 0x2000;
inline constexpr UINT LB_ADDSTRING = 0x0180;
inline constexpr UINT LB_INSERTSTRING = 0x0181;
inline constexpr UINT LB_DELETESTRING = 0x0182;
inline constexpr UINT LB_RESETCONTENT = 0x0184;
inline constexpr UINT LB_SETSEL = 0x0185;
inline constexpr UINT LB_SETCURSEL = 0x0186;
inline constexpr UINT LB_GETSEL = 0x0187;
inline constexpr UINT LB_GETCURSEL = 0x0188;
inline constexpr UINT LB_GETTEXT = 0x0189;
inline constexpr UINT LB_GETTEXTLEN = 0x018A;
inline constexpr UINT LB_GETCOUNT = 0x018B;
inline constexpr UINT LB_GETTOPINDEX = 0x018E;
inline constexpr UINT LB_FINDSTRING = 0x018F;
inline constexpr UINT LB_SETTOPINDEX = 0x0197;
inline constexpr UINT LB_GETITEMRECT = 0x0198;
inline constexpr UINT LB_GETITEMDATA = 0x0199;
inline constexpr UINT LB_SETITEMDATA = 0x019A;
inline constexpr UINT LB_GETCARETINDEX = 0x019F;
inline constexpr UINT LB_SETITEMHEIGHT = 0x01A0;
inline constexpr UINT LB_GETITEMHEIGHT = 0x01A1;
inline constexpr UINT LB_FINDSTRINGEXACT = 0x01A2;
inline constexpr UINT LB_SETCOUNT = 0x01A7;
inline constexpr UINT LB_ITEMFROMPOINT = 0x01A9;
inline constexpr LRESULT LB_ERR = -1;
inline constexpr WORD LBN_SELCHANGE = 1;
inline constexpr WORD LBN_DBLCLK = 2;
inline constexpr WORD LBN_SETFOCUS = 4;
inline constexpr WORD LBN_KILLFOCUS = 5;
struct MEASUREITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemWidth = 0;
    UINT itemHeight = 0;
    ULONG_PTR itemData = 0;
};

inline constexpr UINT EM_LINESCROLL = 0x00B6;
inline constexpr UINT EM_SCROLLCARET = 0x00B7;
inline constexpr UINT EM_GETLINECOUNT = 0x00BA;
inline constexpr UINT EM_REPLACESEL = 0x00C2;

inline constexpr WORD SB_THUMBPOSITION = 4;
inline constexpr WORD SB_ENDSCROLL = 8;
inline constexpr DWORD UDS_WRAP = 0x0001;
inline constexpr DWORD UDS_SETBUDDYINT = 0x0002;
inline constexpr DWORD UDS_ALIGNRIGHT = 0x0004;
inline constexpr DWORD UDS_ALIGNLEFT = 0x0008;
inline constexpr DWORD UDS_AUTOBUDDY = 0x0010;
inline constexpr DWORD UDS_ARROWKEYS = 0x0020;
inline constexpr DWORD UDS_HORZ = 0x0040;
inline constexpr DWORD UDS_NOTHOUSANDS = 0x0080;
inline constexpr UINT UDM_SETBUDDY = WM_USER + 105;
inline constexpr UINT UDM_GETBUDDY = WM_USER + 106;
inline constexpr UINT UDM_SETACCEL = WM_USER + 107;
inline constexpr UINT UDM_SETRANGE32 = WM_USER + 111;
inline constexpr UINT UDM_GETRANGE32 = WM_USER + 112;
inline constexpr UINT UDM_SETPOS32 = WM_USER + 113;
inline constexpr UINT UDM_GETPOS32 = WM_USER + 114;
inline constexpr UINT UDN_DELTAPOS = static_cast<UINT>(-722);
struct NMUPDOWN {
    NMHDR hdr;
    int iPos = 0;
    int iDelta = 0;
};
struct UDACCEL {
    UINT nSec = 0;
    UINT nInc = 0;
};

inline constexpr UINT HKM_SETHOTKEY = WM_USER + 1;
inline constexpr UINT HKM_GETHOTKEY = WM_USER + 2;
inline constexpr UINT HKM_SETRULES = WM_USER + 3;
inline constexpr WORD HKCOMB_NONE = 0x0001;
inline constexpr WORD HKCOMB_S = 0x0002;
inline constexpr WORD HKCOMB_C = 0x0004;
inline constexpr WORD HKCOMB_A = 0x0008;
inline constexpr WORD HKCOMB_SC = 0x0010;
inline constexpr WORD HKCOMB_SA = 0x0020;
inline constexpr WORD HKCOMB_CA = 0x0040;
inline constexpr WORD HKCOMB_SCA = 0x0080;

// ---- menus, cursors and tool tips (Menu.h, Cursor.h, ToolTip.h) ---------------------------
// A menu handle and a cursor handle are never-reused ids of their own tables (0 = none).
using HMENU = uint32_t;
using HCURSOR = uint32_t;

inline constexpr UINT WM_INITMENUPOPUP = 0x0117;

inline constexpr UINT MF_INSERT = 0x0000;
inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_UNCHECKED = 0x0000;
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_POPUP = 0x0010;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_SEPARATOR = 0x0800;
inline constexpr UINT MFT_RADIOCHECK = 0x0200;
inline constexpr UINT MF_DEFAULT = 0x1000;

inline constexpr UINT TPM_LEFTBUTTON = 0x0000;
inline constexpr UINT TPM_RIGHTBUTTON = 0x0002;
inline constexpr UINT TPM_LEFTALIGN = 0x0000;
inline constexpr UINT TPM_CENTERALIGN = 0x0004;
inline constexpr UINT TPM_RIGHTALIGN = 0x0008;
inline constexpr UINT TPM_TOPALIGN = 0x0000;
inline constexpr UINT TPM_VCENTERALIGN = 0x0010;
inline constexpr UINT TPM_BOTTOMALIGN = 0x0020;
inline constexpr UINT TPM_NONOTIFY = 0x0080;
inline constexpr UINT TPM_RETURNCMD = 0x0100;

// Standard cursor ids (what MAKEINTRESOURCE makes of them).
inline constexpr UINT IDC_ARROW = 32512;
inline constexpr UINT IDC_IBEAM = 32513;
inline constexpr UINT IDC_WAIT = 32514;
inline constexpr UINT IDC_CROSS = 32515;
inline constexpr UINT IDC_UPARROW = 32516;
inline constexpr UINT IDC_SIZENWSE = 32642;
inline constexpr UINT IDC_SIZENESW = 32643;
inline constexpr UINT IDC_SIZEWE = 32644;
inline constexpr UINT IDC_SIZENS = 32645;
inline constexpr UINT IDC_SIZEALL = 32646;
inline constexpr UINT IDC_NO = 32648;
inline constexpr UINT IDC_HAND = 32649;
inline constexpr UINT IDC_APPSTARTING = 32650;
inline constexpr UINT IDC_HELP = 32651;

inline constexpr WORD HTERROR = static_cast<WORD>(-2);
inline constexpr WORD HTNOWHERE = 0;
inline constexpr WORD HTCLIENT = 1;
inline constexpr WORD HTBORDER = 18;

inline constexpr UINT TTM_ACTIVATE = WM_USER + 1;
inline constexpr UINT TTM_SETDELAYTIME = WM_USER + 3;
inline constexpr UINT TTM_ADDTOOL = WM_USER + 4;
inline constexpr UINT TTM_DELTOOL = WM_USER + 5;
inline constexpr UINT TTM_NEWTOOLRECT = WM_USER + 6;
inline constexpr UINT TTM_RELAYEVENT = WM_USER + 7;
inline constexpr UINT TTM_GETTOOLINFO = WM_USER + 8;
inline constexpr UINT TTM_UPDATETIPTEXT = WM_USER + 12;
inline constexpr UINT TTM_GETTOOLCOUNT = WM_USER + 13;
inline constexpr UINT TTM_TRACKACTIVATE = WM_USER + 17;
inline constexpr UINT TTM_TRACKPOSITION = WM_USER + 18;
inline constexpr UINT TTM_GETDELAYTIME = WM_USER + 21;
inline constexpr UINT TTM_SETMAXTIPWIDTH = WM_USER + 24;
inline constexpr UINT TTM_GETMAXTIPWIDTH = WM_USER + 25;
inline constexpr UINT TTM_POP = WM_USER + 28;
inline constexpr UINT TTM_SETTITLE = WM_USER + 32;

inline constexpr UINT TTF_IDISHWND = 0x0001;
inline constexpr UINT TTF_CENTERTIP = 0x0002;
inline constexpr UINT TTF_SUBCLASS = 0x0010;
inline constexpr UINT TTF_TRACK = 0x0020;
inline constexpr UINT TTF_ABSOLUTE = 0x0080;
inline constexpr UINT TTF_TRANSPARENT = 0x0100;

inline constexpr DWORD TTS_ALWAYSTIP = 0x01;
inline constexpr DWORD TTS_NOPREFIX = 0x02;
inline constexpr DWORD TTS_BALLOON = 0x40;

inline constexpr WPARAM TTDT_AUTOMATIC = 0;
inline constexpr WPARAM TTDT_RESHOW = 1;
inline constexpr WPARAM TTDT_AUTOPOP = 2;
inline constexpr WPARAM TTDT_INITIAL = 3;

inline constexpr WPARAM TTI_NONE = 0;
inline constexpr WPARAM TTI_INFO = 1;
inline constexpr WPARAM TTI_WARNING = 2;
inline constexpr WPARAM TTI_ERROR = 3;

inline constexpr UINT TTN_FIRST = static_cast<UINT>(-520);
inline constexpr UINT TTN_GETDISPINFO = TTN_FIRST - 0;
inline constexpr UINT TTN_NEEDTEXT = TTN_GETDISPINFO;
inline constexpr UINT TTN_SHOW = TTN_FIRST - 1;
inline constexpr UINT TTN_POP = TTN_FIRST - 2;

// lpszText of a tool whose text is asked for with TTN_GETDISPINFO each time it shows.
inline char* const LPSTR_TEXTCALLBACK = reinterpret_cast<char*>(static_cast<intptr_t>(-1));

// A tool of a tool tip; texts are UTF-8 and copied by the control.
struct TOOLINFO {
    UINT cbSize = sizeof(TOOLINFO);
    UINT uFlags = 0;
    HWND hwnd = 0;      // the window that holds the tool; it gets TTN_GETDISPINFO
    UINT_PTR uId = 0;   // the tool's id, or with TTF_IDISHWND the tool window's handle
    RECT rect;          // in hwnd's client coordinates
    const char* lpszText = nullptr;
    LPARAM lParam = 0;
};

// TTN_GETDISPINFO: the receiver sets lpszText or fills szText (UTF-8, cut to fit).
struct NMTTDISPINFO {
    NMHDR hdr;
    char* lpszText = nullptr;
    char szText[80] = {};
    UINT uFlags = 0;
    LPARAM lParam = 0;
};

// ---- "SysHeader32" and "SysListView32" (header control and report list view) ---------------
inline constexpr UINT ODT_HEADER = 100;
inline constexpr UINT ODT_LISTVIEW = 102;
inline constexpr UINT NM_CLICK = static_cast<UINT>(-2);
inline constexpr UINT NM_DBLCLK = static_cast<UINT>(-3);
inline constexpr UINT NM_RETURN = static_cast<UINT>(-4);
inline constexpr UINT NM_RCLICK = static_cast<UINT>(-5);
inline constexpr UINT NM_SETFOCUS = static_cast<UINT>(-7);
inline constexpr UINT NM_KILLFOCUS = static_cast<UINT>(-8);
// Header styles, item fields, formats and hit-test answers.
inline constexpr DWORD HDS_BUTTONS = 0x0002;
inline constexpr DWORD HDS_HOTTRACK = 0x0004;
inline constexpr DWORD HDS_DRAGDROP = 0x0040;
inline constexpr DWORD HDS_FULLDRAG = 0x0080;
inline constexpr UINT HDI_WIDTH = 0x0001;
inline constexpr UINT HDI_TEXT = 0x0002;
inline constexpr UINT HDI_FORMAT = 0x0004;
inline constexpr UINT HDI_LPARAM = 0x0008;
inline constexpr UINT HDI_IMAGE = 0x0020;
inline constexpr UINT HDI_ORDER = 0x0080;
inline constexpr int HDF_LEFT = 0x0000;
inline constexpr int HDF_RIGHT = 0x0001;
inline constexpr int HDF_CENTER = 0x0002;
inline constexpr int HDF_JUSTIFYMASK = 0x0003;
inline constexpr int HDF_SORTDOWN = 0x0200;
inline constexpr int HDF_SORTUP = 0x0400;
inline constexpr int HDF_IMAGE = 0x0800;
inline constexpr int HDF_STRING = 0x4000;
inline constexpr int HDF_OWNERDRAW = 0x8000;
inline constexpr UINT HHT_NOWHERE = 0x0001;
inline constexpr UINT HHT_ONHEADER = 0x0002;
inline constexpr UINT HHT_ONDIVIDER = 0x0004;
inline constexpr UINT HHT_TORIGHT = 0x0400;
inline constexpr UINT HHT_TOLEFT = 0x0800;
inline constexpr UINT HDM_GETITEMCOUNT = 0x1200;
inline constexpr UINT HDM_INSERTITEM = 0x1201;
inline constexpr UINT HDM_DELETEITEM = 0x1202;
inline constexpr UINT HDM_GETITEM = 0x1203;
inline constexpr UINT HDM_SETITEM = 0x1204;
inline constexpr UINT HDM_LAYOUT = 0x1205;
inline constexpr UINT HDM_HITTEST = 0x1206;
inline constexpr UINT HDM_GETITEMRECT = 0x1207;
inline constexpr UINT HDM_ORDERTOINDEX = 0x120F;
inline constexpr UINT HDM_GETORDERARRAY = 0x1211;
inline constexpr UINT HDM_SETORDERARRAY = 0x1212;
inline constexpr UINT HDN_ITEMCHANGING = static_cast<UINT>(-300);
inline constexpr UINT HDN_ITEMCHANGED = static_cast<UINT>(-301);
inline constexpr UINT HDN_ITEMCLICK = static_cast<UINT>(-302);
inline constexpr UINT HDN_ITEMDBLCLICK = static_cast<UINT>(-303);
inline constexpr UINT HDN_DIVIDERDBLCLICK = static_cast<UINT>(-305);
inline constexpr UINT HDN_BEGINTRACK = static_cast<UINT>(-306);
inline constexpr UINT HDN_ENDTRACK = static_cast<UINT>(-307);
inline constexpr UINT HDN_TRACK = static_cast<UINT>(-308);
inline constexpr UINT HDN_BEGINDRAG = static_cast<UINT>(-310);
inline constexpr UINT HDN_ENDDRAG = static_cast<UINT>(-311);
// Texts are UTF-8; GETITEM copies at most cchTextMax bytes, cut on a character.
struct HDITEM {
    UINT mask = 0;
    int cxy = 0;
    char* pszText = nullptr;
    void* hbm = nullptr;
    int cchTextMax = 0;
    int fmt = 0;
    LPARAM lParam = 0;
    int iImage = 0;
    int iOrder = 0;
};
struct NMHEADER {
    NMHDR hdr;
    int iItem = -1;
    int iButton = 0;
    HDITEM* pitem = nullptr;
};
struct HDHITTESTINFO {
    POINT pt;
    UINT flags = 0;
    int iItem = -1;
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
struct HDLAYOUT {
    RECT* prc = nullptr;
    WINDOWPOS* pwpos = nullptr;
};
// List view styles, messages, flags and records.
inline constexpr DWORD LVS_REPORT = 0x0001;
inline constexpr DWORD LVS_SINGLESEL = 0x0004;
inline constexpr DWORD LVS_SHOWSELALWAYS = 0x0008;
inline constexpr DWORD LVS_EDITLABELS = 0x0200;
inline constexpr DWORD LVS_OWNERDRAWFIXED = 0x0400;
inline constexpr DWORD LVS_OWNERDATA = 0x1000;
inline constexpr DWORD LVS_NOCOLUMNHEADER = 0x4000;
inline constexpr DWORD LVS_NOSORTHEADER = 0x8000;
inline constexpr DWORD LVS_EX_GRIDLINES = 0x0001;
inline constexpr DWORD LVS_EX_CHECKBOXES = 0x0004;
inline constexpr DWORD LVS_EX_HEADERDRAGDROP = 0x0010;
inline constexpr DWORD LVS_EX_FULLROWSELECT = 0x0020;
inline constexpr DWORD LVS_EX_INFOTIP = 0x0400;
inline constexpr UINT LVM_GETBKCOLOR = 0x1000;
inline constexpr UINT LVM_SETBKCOLOR = 0x1001;
inline constexpr UINT LVM_GETIMAGELIST = 0x1002;
inline constexpr UINT LVM_SETIMAGELIST = 0x1003;
inline constexpr UINT LVM_GETITEMCOUNT = 0x1004;
inline constexpr UINT LVM_GETNEXTITEM = 0x100C;
inline constexpr UINT LVM_GETITEMRECT = 0x100E;
inline constexpr UINT LVM_HITTEST = 0x1012;
inline constexpr UINT LVM_ENSUREVISIBLE = 0x1013;
inline constexpr UINT LVM_SCROLL = 0x1014;
inline constexpr UINT LVM_REDRAWITEMS = 0x1015;
inline constexpr UINT LVM_GETCOLUMN = 0x1019;
inline constexpr UINT LVM_SETCOLUMN = 0x101A;
inline constexpr UINT LVM_INSERTCOLUMN = 0x101B;
inline constexpr UINT LVM_DELETECOLUMN = 0x101C;
inline constexpr UINT LVM_GETCOLUMNWIDTH = 0x101D;
inline constexpr UINT LVM_SETCOLUMNWIDTH = 0x101E;
inline constexpr UINT LVM_GETHEADER = 0x101F;
inline constexpr UINT LVM_GETTEXTCOLOR = 0x1023;
inline constexpr UINT LVM_SETTEXTCOLOR = 0x1024;
inline constexpr UINT LVM_GETTEXTBKCOLOR = 0x1025;
inline constexpr UINT LVM_SETTEXTBKCOLOR = 0x1026;
inline constexpr UINT LVM_GETTOPINDEX = 0x1027;
inline constexpr UINT LVM_GETCOUNTPERPAGE = 0x1028;
inline constexpr UINT LVM_UPDATE = 0x102A;
inline constexpr UINT LVM_SETITEMSTATE = 0x102B;
inline constexpr UINT LVM_GETITEMSTATE = 0x102C;
inline constexpr UINT LVM_SETITEMCOUNT = 0x102F;
inline constexpr UINT LVM_GETSELECTEDCOUNT = 0x1032;
inline constexpr UINT LVM_SETEXTENDEDLISTVIEWSTYLE = 0x1036;
inline constexpr UINT LVM_GETEXTENDEDLISTVIEWSTYLE = 0x1037;
inline constexpr UINT LVM_GETSUBITEMRECT = 0x1038;
inline constexpr UINT LVM_SETITEMTEXT = 0x102E;
inline constexpr UINT LVM_SUBITEMHITTEST = 0x1039;
// Scroll-bar requests of WM_VSCROLL / WM_HSCROLL (low word of wParam).
inline constexpr WORD SB_LINEUP = 0;
inline constexpr WORD SB_LINEDOWN = 1;
inline constexpr WORD SB_PAGEUP = 2;
inline constexpr WORD SB_PAGEDOWN = 3;
inline constexpr WORD SB_THUMBTRACK = 5;
inline constexpr WORD SB_TOP = 6;
inline constexpr WORD SB_BOTTOM = 7;
inline constexpr UINT LVN_ITEMCHANGING = static_cast<UINT>(-100);
inline constexpr UINT LVN_ITEMCHANGED = static_cast<UINT>(-101);
inline constexpr UINT LVN_COLUMNCLICK = static_cast<UINT>(-108);
inline constexpr UINT LVN_BEGINDRAG = static_cast<UINT>(-109);
inline constexpr UINT LVN_ODCACHEHINT = static_cast<UINT>(-113);
inline constexpr UINT LVN_ITEMACTIVATE = static_cast<UINT>(-114);
inline constexpr UINT LVN_BEGINLABELEDIT = static_cast<UINT>(-105);
inline constexpr UINT LVN_ENDLABELEDIT = static_cast<UINT>(-106);
inline constexpr UINT LVN_ODSTATECHANGED = static_cast<UINT>(-115);
inline constexpr UINT LVN_GETDISPINFO = static_cast<UINT>(-150);
inline constexpr UINT LVN_KEYDOWN = static_cast<UINT>(-155);
inline constexpr UINT LVSIL_NORMAL = 0;
inline constexpr UINT LVSIL_SMALL = 1;
inline constexpr UINT LVSIL_STATE = 2;
inline constexpr UINT LVIF_TEXT = 0x0001;
inline constexpr UINT LVIF_IMAGE = 0x0002;
inline constexpr UINT LVIF_PARAM = 0x0004;
inline constexpr UINT LVIF_STATE = 0x0008;
inline constexpr UINT LVIS_FOCUSED = 0x0001;
inline constexpr UINT LVIS_SELECTED = 0x0002;
inline constexpr UINT LVIS_STATEIMAGEMASK = 0xF000;
inline constexpr int LVNI_ALL = 0x0000;
inline constexpr int LVNI_FOCUSED = 0x0001;
inline constexpr int LVNI_SELECTED = 0x0002;
inline constexpr int LVIR_BOUNDS = 0;
inline constexpr int LVIR_ICON = 1;
inline constexpr int LVIR_LABEL = 2;
inline constexpr UINT LVHT_NOWHERE = 0x0001;
inline constexpr UINT LVHT_ONITEMICON = 0x0002;
inline constexpr UINT LVHT_ONITEMLABEL = 0x0004;
inline constexpr UINT LVHT_ONITEMSTATEICON = 0x0008;
inline constexpr UINT LVHT_ONITEM = 0x000E;
inline constexpr UINT LVHT_BELOW = 0x0020;
inline constexpr LPARAM LVSICF_NOINVALIDATEALL = 0x0001;
inline constexpr LPARAM LVSICF_NOSCROLL = 0x0002;
inline constexpr UINT LVCF_FMT = 0x0001;
inline constexpr UINT LVCF_WIDTH = 0x0002;
inline constexpr UINT LVCF_TEXT = 0x0004;
inline constexpr UINT LVCF_SUBITEM = 0x0008;
inline constexpr UINT LVCF_ORDER = 0x0020;
inline constexpr int LVCFMT_LEFT = 0x0000;
inline constexpr int LVCFMT_RIGHT = 0x0001;
inline constexpr int LVCFMT_CENTER = 0x0002;
inline constexpr int LVSCW_AUTOSIZE = -1;
inline constexpr int LVSCW_AUTOSIZE_USEHEADER = -2;
struct LVITEM {
    UINT mask = 0;
    int iItem = 0;
    int iSubItem = 0;
    UINT state = 0;
    UINT stateMask = 0;
    char* pszText = nullptr;  // UTF-8; an LVN_GETDISPINFO answer fills at most cchTextMax bytes
    int cchTextMax = 0;
    int iImage = -1;
    LPARAM lParam = 0;
    int iIndent = 0;
};
struct LVCOLUMN {
    UINT mask = 0;
    int fmt = 0;
    int cx = 0;
    char* pszText = nullptr;
    int cchTextMax = 0;
    int iSubItem = 0;
    int iImage = 0;
    int iOrder = 0;
};
struct NMLISTVIEW {
    NMHDR hdr;
    int iItem = -1;
    int iSubItem = 0;
    UINT uNewState = 0;
    UINT uOldState = 0;
    UINT uChanged = 0;
    POINT ptAction;
    LPARAM lParam = 0;
};
struct NMITEMACTIVATE {
    NMHDR hdr;
    int iItem = -1;
    int iSubItem = 0;
    UINT uNewState = 0;
    UINT uOldState = 0;
    UINT uChanged = 0;
    POINT ptAction;
    LPARAM lParam = 0;
    UINT uKeyFlags = 0;
};
struct NMLVDISPINFO {
    NMHDR hdr;
    LVITEM item;
};
struct NMLVCACHEHINT {
    NMHDR hdr;
    int iFrom = 0;
    int iTo = 0;
};
struct NMLVODSTATECHANGE {
    NMHDR hdr;
    int iFrom = 0;
    int iTo = 0;
    UINT uNewState = 0;
    UINT uOldState = 0;
};
struct NMLVKEYDOWN {
    NMHDR hdr;
    WORD wVKey = 0;
    UINT flags = 0;
};
struct LVHITTESTINFO {
    POINT pt;
    UINT flags = 0;
    int iItem = -1;
    int iSubItem = 0;
};

// ---- "SysTreeView32", "SysTabControl32" and "SysDateTimePick32" -----------------------------
// A tree item handle is an id of its own tree (0 = none), never reused while the tree lives.
using HTREEITEM = uint32_t;
inline constexpr HTREEITEM TVI_ROOT = 0xFFFF0000u;
inline constexpr HTREEITEM TVI_FIRST = 0xFFFF0001u;
inline constexpr HTREEITEM TVI_LAST = 0xFFFF0002u;
inline constexpr HTREEITEM TVI_SORT = 0xFFFF0003u;
inline constexpr DWORD TVS_HASBUTTONS = 0x0001;
inline constexpr DWORD TVS_HASLINES = 0x0002;
inline constexpr DWORD TVS_LINESATROOT = 0x0004;
inline constexpr DWORD TVS_EDITLABELS = 0x0008;
inline constexpr DWORD TVS_DISABLEDRAGDROP = 0x0010;
inline constexpr DWORD TVS_SHOWSELALWAYS = 0x0020;
inline constexpr DWORD TVS_CHECKBOXES = 0x0100;
inline constexpr DWORD TVS_TRACKSELECT = 0x0200;
inline constexpr DWORD TVS_SINGLEEXPAND = 0x0400;
inline constexpr DWORD TVS_FULLROWSELECT = 0x1000;
inline constexpr UINT TVM_INSERTITEM = 0x1100;
inline constexpr UINT TVM_DELETEITEM = 0x1101;
inline constexpr UINT TVM_EXPAND = 0x1102;
inline constexpr UINT TVM_GETITEMRECT = 0x1104;
inline constexpr UINT TVM_GETCOUNT = 0x1105;
inline constexpr UINT TVM_GETINDENT = 0x1106;
inline constexpr UINT TVM_GETIMAGELIST = 0x1108;
inline constexpr UINT TVM_SETIMAGELIST = 0x1109;
inline constexpr UINT TVM_GETNEXTITEM = 0x110A;
inline constexpr UINT TVM_SELECTITEM = 0x110B;
inline constexpr UINT TVM_GETITEM = 0x110C;
inline constexpr UINT TVM_SETITEM = 0x110D;
inline constexpr UINT TVM_GETVISIBLECOUNT = 0x1110;
inline constexpr UINT TVM_HITTEST = 0x1111;
inline constexpr UINT TVM_SORTCHILDREN = 0x1113;
inline constexpr UINT TVM_ENSUREVISIBLE = 0x1114;
inline constexpr UINT TVM_GETITEMHEIGHT = 0x111C;
inline constexpr UINT TVM_GETITEMSTATE = 0x1127;
inline constexpr UINT TVIF_TEXT = 0x0001;
inline constexpr UINT TVIF_IMAGE = 0x0002;
inline constexpr UINT TVIF_PARAM = 0x0004;
inline constexpr UINT TVIF_STATE = 0x0008;
inline constexpr UINT TVIF_HANDLE = 0x0010;
inline constexpr UINT TVIF_SELECTEDIMAGE = 0x0020;
inline constexpr UINT TVIF_CHILDREN = 0x0040;
inline constexpr UINT TVIS_SELECTED = 0x0002;
inline constexpr UINT TVIS_CUT = 0x0004;
inline constexpr UINT TVIS_DROPHILITED = 0x0008;
inline constexpr UINT TVIS_BOLD = 0x0010;
inline constexpr UINT TVIS_EXPANDED = 0x0020;
inline constexpr UINT TVIS_EXPANDEDONCE = 0x0040;
inline constexpr UINT TVIS_OVERLAYMASK = 0x0F00;
inline constexpr UINT TVIS_STATEIMAGEMASK = 0xF000;
constexpr UINT INDEXTOSTATEIMAGEMASK(UINT index) { return index << 12; }
inline constexpr int I_CHILDRENCALLBACK = -1;
inline constexpr WPARAM TVE_COLLAPSE = 0x0001;
inline constexpr WPARAM TVE_EXPAND = 0x0002;
inline constexpr WPARAM TVE_TOGGLE = 0x0003;
inline constexpr WPARAM TVE_COLLAPSERESET = 0x8000;
inline constexpr WPARAM TVGN_ROOT = 0x0000;
inline constexpr WPARAM TVGN_NEXT = 0x0001;
inline constexpr WPARAM TVGN_PREVIOUS = 0x0002;
inline constexpr WPARAM TVGN_PARENT = 0x0003;
inline constexpr WPARAM TVGN_CHILD = 0x0004;
inline constexpr WPARAM TVGN_FIRSTVISIBLE = 0x0005;
inline constexpr WPARAM TVGN_NEXTVISIBLE = 0x0006;
inline constexpr WPARAM TVGN_PREVIOUSVISIBLE = 0x0007;
inline constexpr WPARAM TVGN_DROPHILITE = 0x0008;
inline constexpr WPARAM TVGN_CARET = 0x0009;
inline constexpr WPARAM TVGN_LASTVISIBLE = 0x000A;
inline constexpr WPARAM TVSIL_NORMAL = 0;
inline constexpr WPARAM TVSIL_STATE = 2;
inline constexpr UINT TVHT_NOWHERE = 0x0001;
inline constexpr UINT TVHT_ONITEMICON = 0x0002;
inline constexpr UINT TVHT_ONITEMLABEL = 0x0004;
inline constexpr UINT TVHT_ONITEMINDENT = 0x0008;
inline constexpr UINT TVHT_ONITEMBUTTON = 0x0010;
inline constexpr UINT TVHT_ONITEMRIGHT = 0x0020;
inline constexpr UINT TVHT_ONITEMSTATEICON = 0x0040;
inline constexpr UINT TVHT_ONITEM = TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON;
inline constexpr UINT TVHT_ABOVE = 0x0100;
inline constexpr UINT TVHT_BELOW = 0x0200;
inline constexpr UINT TVHT_TORIGHT = 0x0400;
inline constexpr UINT TVHT_TOLEFT = 0x0800;
inline constexpr UINT TVC_UNKNOWN = 0x0000;
inline constexpr UINT TVC_BYMOUSE = 0x0001;
inline constexpr UINT TVC_BYKEYBOARD = 0x0002;
inline constexpr UINT TVN_FIRST = static_cast<UINT>(-400);
inline constexpr UINT TVN_SELCHANGING = TVN_FIRST - 1;
inline constexpr UINT TVN_SELCHANGED = TVN_FIRST - 2;
inline constexpr UINT TVN_ITEMEXPANDING = TVN_FIRST - 5;
inline constexpr UINT TVN_ITEMEXPANDED = TVN_FIRST - 6;
inline constexpr UINT TVN_DELETEITEM = TVN_FIRST - 9;
inline constexpr UINT TVN_KEYDOWN = TVN_FIRST - 12;
// Texts are UTF-8; TVM_GETITEM copies at most cchTextMax bytes, cut on a character.
struct TVITEM {
    UINT mask = 0;
    HTREEITEM hItem = 0;
    UINT state = 0;
    UINT stateMask = 0;
    char* pszText = nullptr;
    int cchTextMax = 0;
    int iImage = 0;
    int iSelectedImage = 0;
    int cChildren = 0;
    LPARAM lParam = 0;
};
struct TVINSERTSTRUCT {
    HTREEITEM hParent = 0;
    HTREEITEM hInsertAfter = 0;
    TVITEM item;
};
struct TVHITTESTINFO {
    POINT pt;
    UINT flags = 0;
    HTREEITEM hItem = 0;
};
struct NMTREEVIEW {
    NMHDR hdr;
    UINT action = 0;
    TVITEM itemOld;
    TVITEM itemNew;
    POINT ptDrag;
};
struct NMTVKEYDOWN {
    NMHDR hdr;
    WORD wVKey = 0;
    UINT flags = 0;
};
// Custom drawing of tree items (NM_CUSTOMDRAW): the parent is asked before the paint and, when
// it answers CDRF_NOTIFYITEMDRAW, before each item; it may change the item's label colours.
inline constexpr UINT NM_CUSTOMDRAW = static_cast<UINT>(-12);
inline constexpr DWORD CDDS_PREPAINT = 0x00000001;
inline constexpr DWORD CDDS_ITEM = 0x00010000;
inline constexpr DWORD CDDS_ITEMPREPAINT = CDDS_ITEM | CDDS_PREPAINT;
inline constexpr LRESULT CDRF_DODEFAULT = 0x00000000;
inline constexpr LRESULT CDRF_NEWFONT = 0x00000002;
inline constexpr LRESULT CDRF_NOTIFYITEMDRAW = 0x00000020;
inline constexpr UINT CDIS_SELECTED = 0x0001;
inline constexpr UINT CDIS_FOCUS = 0x0010;
inline constexpr UINT TVM_SETITEMHEIGHT = 0x111B;
inline constexpr UINT TVM_SETBKCOLOR = 0x111D;
inline constexpr UINT TVM_GETBKCOLOR = 0x111F;
struct NMCUSTOMDRAW {
    NMHDR hdr;
    DWORD dwDrawStage = 0;
    void* hdc = nullptr;  // not given: the layer paints with its own painter
    RECT rc;
    ULONG_PTR dwItemSpec = 0;
    UINT uItemState = 0;
    LPARAM lItemlParam = 0;
};
struct NMTVCUSTOMDRAW {
    NMCUSTOMDRAW nmcd;
    COLORREF clrText = 0;
    COLORREF clrTextBk = 0;
    int iLevel = 0;
};

inline constexpr UINT ODT_TAB = 101;
inline constexpr DWORD TCS_BOTTOM = 0x0002;
inline constexpr DWORD TCS_FLATBUTTONS = 0x0008;
inline constexpr DWORD TCS_FORCEICONLEFT = 0x0010;
inline constexpr DWORD TCS_FORCELABELLEFT = 0x0020;
inline constexpr DWORD TCS_HOTTRACK = 0x0040;
inline constexpr DWORD TCS_VERTICAL = 0x0080;
inline constexpr DWORD TCS_TABS = 0x0000;
inline constexpr DWORD TCS_BUTTONS = 0x0100;
inline constexpr DWORD TCS_MULTILINE = 0x0200;
inline constexpr DWORD TCS_FIXEDWIDTH = 0x0400;
inline constexpr DWORD TCS_RAGGEDRIGHT = 0x0800;
inline constexpr DWORD TCS_FOCUSONBUTTONDOWN = 0x1000;
inline constexpr DWORD TCS_OWNERDRAWFIXED = 0x2000;
inline constexpr DWORD TCS_TOOLTIPS = 0x4000;
inline constexpr DWORD TCS_FOCUSNEVER = 0x8000;
inline constexpr UINT TCM_GETIMAGELIST = 0x1302;
inline constexpr UINT TCM_SETIMAGELIST = 0x1303;
inline constexpr UINT TCM_GETITEMCOUNT = 0x1304;
inline constexpr UINT TCM_GETITEM = 0x1305;
inline constexpr UINT TCM_SETITEM = 0x1306;
inline constexpr UINT TCM_INSERTITEM = 0x1307;
inline constexpr UINT TCM_DELETEITEM = 0x1308;
inline constexpr UINT TCM_DELETEALLITEMS = 0x1309;
inline constexpr UINT TCM_GETITEMRECT = 0x130A;
inline constexpr UINT TCM_GETCURSEL = 0x130B;
inline constexpr UINT TCM_SETCURSEL = 0x130C;
inline constexpr UINT TCM_HITTEST = 0x130D;
inline constexpr UINT TCM_ADJUSTRECT = 0x1328;
inline constexpr UINT TCM_GETROWCOUNT = 0x132C;
inline constexpr UINT TCIF_TEXT = 0x0001;
inline constexpr UINT TCIF_IMAGE = 0x0002;
inline constexpr UINT TCIF_PARAM = 0x0008;
inline constexpr UINT TCIF_STATE = 0x0010;
inline constexpr DWORD TCIS_BUTTONPRESSED = 0x0001;
inline constexpr DWORD TCIS_HIGHLIGHTED = 0x0002;
inline constexpr UINT TCHT_NOWHERE = 0x0001;
inline constexpr UINT TCHT_ONITEMICON = 0x0002;
inline constexpr UINT TCHT_ONITEMLABEL = 0x0004;
inline constexpr UINT TCHT_ONITEM = TCHT_ONITEMICON | TCHT_ONITEMLABEL;
inline constexpr UINT TCN_FIRST = static_cast<UINT>(-550);
inline constexpr UINT TCN_KEYDOWN = TCN_FIRST - 0;
inline constexpr UINT TCN_SELCHANGE = TCN_FIRST - 1;
inline constexpr UINT TCN_SELCHANGING = TCN_FIRST - 2;
// Texts are UTF-8 (at most 255 bytes kept); TCM_GETITEM copies at most cchTextMax bytes.
struct TCITEM {
    UINT mask = 0;
    DWORD dwState = 0;
    DWORD dwStateMask = 0;
    char* pszText = nullptr;
    int cchTextMax = 0;
    int iImage = -1;
    LPARAM lParam = 0;
};
struct TCHITTESTINFO {
    POINT pt;
    UINT flags = 0;
};

struct SYSTEMTIME {
    WORD wYear = 0;
    WORD wMonth = 0;
    WORD wDayOfWeek = 0;  // 0 Sunday .. 6 Saturday
    WORD wDay = 0;
    WORD wHour = 0;
    WORD wMinute = 0;
    WORD wSecond = 0;
    WORD wMilliseconds = 0;
};
inline constexpr DWORD DTS_SHORTDATEFORMAT = 0x0000;
inline constexpr DWORD DTS_UPDOWN = 0x0001;
inline constexpr DWORD DTS_SHOWNONE = 0x0002;
inline constexpr DWORD DTS_LONGDATEFORMAT = 0x0004;
inline constexpr DWORD DTS_TIMEFORMAT = 0x0009;
inline constexpr DWORD DTS_RIGHTALIGN = 0x0020;
inline constexpr UINT DTM_GETSYSTEMTIME = 0x1001;
inline constexpr UINT DTM_SETSYSTEMTIME = 0x1002;
inline constexpr UINT DTM_GETRANGE = 0x1003;
inline constexpr UINT DTM_SETRANGE = 0x1004;
inline constexpr UINT DTM_SETFORMAT = 0x1005;
inline constexpr LRESULT GDT_ERROR = -1;
inline constexpr LRESULT GDT_VALID = 0;
inline constexpr LRESULT GDT_NONE = 1;
inline constexpr WPARAM GDTR_MIN = 0x0001;
inline constexpr WPARAM GDTR_MAX = 0x0002;
inline constexpr UINT DTN_DATETIMECHANGE = static_cast<UINT>(-759);
struct NMDATETIMECHANGE {
    NMHDR hdr;
    DWORD dwFlags = 0;  // GDT_VALID or GDT_NONE
    SYSTEMTIME st;
};

// ---- flex dialogs, bars and containers ----------------------------------------------------------
// Control colour kinds (WM_CTLCOLOR).
inline constexpr UINT CTLCOLOR_MSGBOX = 0;
inline constexpr UINT CTLCOLOR_EDIT = 1;
inline constexpr UINT CTLCOLOR_LISTBOX = 2;
inline constexpr UINT CTLCOLOR_BTN = 3;
inline constexpr UINT CTLCOLOR_DLG = 4;
inline constexpr UINT CTLCOLOR_SCROLLBAR = 5;
inline constexpr UINT CTLCOLOR_STATIC = 6;
// Hit-test code of a sizing border.
inline constexpr WORD HTSIZE = 4;
// SetWindowPos / WINDOWPOS flags.
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOREDRAW = 0x0008;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr UINT SWP_FRAMECHANGED = 0x0020;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;
// MDI client messages, the close system command, tab sizes and the layout record of
// WM_SIZEPARENT.
inline constexpr UINT WM_COMPAREITEM = 0x0039;
inline constexpr UINT WM_MDIACTIVATE = 0x0222;
inline constexpr UINT WM_MDIGETACTIVE = 0x0229;
inline constexpr WPARAM SC_CLOSE = 0xF060;
// The other system commands of a window's system menu (Menu.h).
inline constexpr WPARAM SC_MINIMIZE = 0xF020;
inline constexpr WPARAM SC_MAXIMIZE = 0xF030;
inline constexpr WPARAM SC_KEYMENU = 0xF100;
inline constexpr WPARAM SC_RESTORE = 0xF120;
inline constexpr UINT TCM_SETITEMSIZE = 0x1329;
inline constexpr UINT TCM_SETPADDING = 0x132B;
struct AFX_SIZEPARENTPARAMS {
    RECT rect;  // what is left of the frame's client area; a bar takes its band from it
    SIZE sizeTotal;
    BOOL bStretch = TRUE;
};

// ---- System hot keys, owner-drawn combo boxes, tab scroll arrows --------------------------------
inline constexpr UINT WM_HOTKEY = 0x0312;
inline constexpr UINT MOD_ALT = 0x0001;
inline constexpr UINT MOD_CONTROL = 0x0002;
inline constexpr UINT MOD_SHIFT = 0x0004;
inline constexpr UINT MOD_WIN = 0x0008;
inline constexpr UINT MOD_NOREPEAT = 0x4000;
inline constexpr UINT ODS_COMBOBOXEDIT = 0x1000;
inline constexpr UINT EM_SETLIMITTEXT = EM_LIMITTEXT;
inline constexpr UINT EM_GETLIMITTEXT = 0x00D5;

// ---- balloon tips and flex edits ---------------------------------------------------------------
// System icon names (what MAKEINTRESOURCE makes of the ids).
inline const char* const IDI_APPLICATION = reinterpret_cast<const char*>(uintptr_t{32512});
inline const char* const IDI_HAND = reinterpret_cast<const char*>(uintptr_t{32513});
inline const char* const IDI_QUESTION = reinterpret_cast<const char*>(uintptr_t{32514});
inline const char* const IDI_EXCLAMATION = reinterpret_cast<const char*>(uintptr_t{32515});
inline const char* const IDI_ASTERISK = reinterpret_cast<const char*>(uintptr_t{32516});
inline const char* const IDI_WARNING = IDI_EXCLAMATION;
inline const char* const IDI_ERROR = IDI_HAND;
inline const char* const IDI_INFORMATION = IDI_ASTERISK;
inline constexpr UINT WM_NCRBUTTONDOWN = 0x00A4;
inline constexpr UINT WM_NCMBUTTONDOWN = 0x00A7;
inline constexpr UINT EM_GETRECT = 0x00B2;
inline constexpr UINT EM_CANUNDO = 0x00C6;
inline constexpr UINT EM_UNDO = 0x00C7;
inline constexpr UINT EM_SETMARGINS = 0x00D3;
inline constexpr UINT EM_GETMARGINS = 0x00D4;
inline constexpr WPARAM EC_LEFTMARGIN = 0x0001;
inline constexpr WPARAM EC_RIGHTMARGIN = 0x0002;

// ---- owner-drawn button messages and states -----------------------------------------------------
inline constexpr UINT BM_GETSTATE = 0x00F2;
inline constexpr UINT BM_SETSTATE = 0x00F3;
inline constexpr UINT BM_SETSTYLE = 0x00F4;
inline constexpr WPARAM BST_PUSHED = 0x0004;
inline constexpr WPARAM BST_FOCUS = 0x0008;

// ---- drawing helpers, display controls and pop-up messages -------------------------------------
// Tabs on the right of a vertical tab control (the same bit as TCS_BOTTOM).
inline constexpr DWORD TCS_RIGHT = 0x0002;

// ---- trackbar and progress bar (added with the range controls; one block to move at a split) ---
// "msctls_trackbar32" messages: positions in lParam, a redraw flag in wParam.
inline constexpr UINT TBM_GETPOS = WM_USER;
inline constexpr UINT TBM_GETRANGEMIN = WM_USER + 1;
inline constexpr UINT TBM_GETRANGEMAX = WM_USER + 2;
inline constexpr UINT TBM_SETPOS = WM_USER + 5;
inline constexpr UINT TBM_SETRANGE = WM_USER + 6;  // lParam MAKELONG(min, max)
inline constexpr UINT TBM_SETRANGEMIN = WM_USER + 7;
inline constexpr UINT TBM_SETRANGEMAX = WM_USER + 8;
inline constexpr UINT TBM_SETTICFREQ = WM_USER + 20;  // wParam: every how many positions
inline constexpr UINT TBM_SETPAGESIZE = WM_USER + 21;  // the previous size is returned
inline constexpr UINT TBM_GETPAGESIZE = WM_USER + 22;
inline constexpr UINT TBM_SETLINESIZE = WM_USER + 23;
inline constexpr UINT TBM_GETLINESIZE = WM_USER + 24;
// Trackbar styles.
inline constexpr DWORD TBS_AUTOTICKS = 0x0001;
inline constexpr DWORD TBS_HORZ = 0x0000;
inline constexpr DWORD TBS_VERT = 0x0002;
inline constexpr DWORD TBS_BOTTOM = 0x0000;
inline constexpr DWORD TBS_RIGHT = 0x0000;
inline constexpr DWORD TBS_TOP = 0x0004;
inline constexpr DWORD TBS_LEFT = 0x0004;
inline constexpr DWORD TBS_BOTH = 0x0008;
inline constexpr DWORD TBS_NOTICKS = 0x0010;
// What the user did, in the low word of the WM_HSCROLL / WM_VSCROLL wParam the parent gets (the
// high word carries the position for TB_THUMBTRACK and TB_THUMBPOSITION); lParam is the
// trackbar.
inline constexpr WORD TB_LINEUP = 0;
inline constexpr WORD TB_LINEDOWN = 1;
inline constexpr WORD TB_PAGEUP = 2;
inline constexpr WORD TB_PAGEDOWN = 3;
inline constexpr WORD TB_THUMBPOSITION = 4;
inline constexpr WORD TB_THUMBTRACK = 5;
inline constexpr WORD TB_TOP = 6;
inline constexpr WORD TB_BOTTOM = 7;
inline constexpr WORD TB_ENDTRACK = 8;
// "msctls_progress32" messages.
inline constexpr UINT PBM_SETRANGE = WM_USER + 1;  // lParam MAKELPARAM(min, max), 16 bits each
inline constexpr UINT PBM_SETPOS = WM_USER + 2;     // these four return the previous position
inline constexpr UINT PBM_DELTAPOS = WM_USER + 3;
inline constexpr UINT PBM_SETSTEP = WM_USER + 4;  // returns the previous step
inline constexpr UINT PBM_STEPIT = WM_USER + 5;
inline constexpr UINT PBM_SETRANGE32 = WM_USER + 6;  // wParam min, lParam max
inline constexpr UINT PBM_GETRANGE = WM_USER + 7;    // wParam TRUE: the minimum, else the maximum
inline constexpr UINT PBM_GETPOS = WM_USER + 8;
struct PBRANGE {
    int iLow = 0;
    int iHigh = 0;
};
// Progress bar styles.
inline constexpr DWORD PBS_SMOOTH = 0x0001;
inline constexpr DWORD PBS_VERTICAL = 0x0004;
