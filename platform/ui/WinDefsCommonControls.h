// Styles, messages, notifications and records of the common controls (up-down, hot key, tool tip,
// header, list view, tree, tab, date-time). A new control's constants go at the end of this file.
#pragma once

#include "platform/ui/WinDefsMessages.h"
#include "platform/ui/WinDefsTypes.h"

// ---- shared notifications and owner-drawn kinds ------------------------------------------------
inline constexpr UINT ODT_HEADER = 100;
inline constexpr UINT ODT_LISTVIEW = 102;
inline constexpr UINT NM_CLICK = static_cast<UINT>(-2);
inline constexpr UINT NM_DBLCLK = static_cast<UINT>(-3);
inline constexpr UINT NM_RETURN = static_cast<UINT>(-4);
inline constexpr UINT NM_RCLICK = static_cast<UINT>(-5);
inline constexpr UINT NM_SETFOCUS = static_cast<UINT>(-7);
inline constexpr UINT NM_KILLFOCUS = static_cast<UINT>(-8);
inline constexpr UINT ODT_TAB = 101;

// ---- custom drawing (NM_CUSTOMDRAW) ------------------------------------------------------------
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
struct NMCUSTOMDRAW {
    NMHDR hdr;
    DWORD dwDrawStage = 0;
    void* hdc = nullptr;  // not given: the layer paints with its own painter
    RECT rc;
    ULONG_PTR dwItemSpec = 0;
    UINT uItemState = 0;
    LPARAM lItemlParam = 0;
};

// ---- "msctls_updown32" -------------------------------------------------------------------------
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

// ---- "msctls_hotkey32" -------------------------------------------------------------------------
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

// ---- "tooltips_class32" ------------------------------------------------------------------------
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

// ---- "SysHeader32" -----------------------------------------------------------------------------
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
struct HDLAYOUT {
    RECT* prc = nullptr;
    WINDOWPOS* pwpos = nullptr;
};

// ---- "SysListView32" ---------------------------------------------------------------------------
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

// ---- "SysTreeView32" ---------------------------------------------------------------------------
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
inline constexpr UINT TVM_SETITEMHEIGHT = 0x111B;
inline constexpr UINT TVM_SETBKCOLOR = 0x111D;
inline constexpr UINT TVM_GETBKCOLOR = 0x111F;
struct NMTVCUSTOMDRAW {
    NMCUSTOMDRAW nmcd;
    COLORREF clrText = 0;
    COLORREF clrTextBk = 0;
    int iLevel = 0;
};

// ---- "SysTabControl32" -------------------------------------------------------------------------
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
inline constexpr UINT TCM_SETITEMSIZE = 0x1329;
inline constexpr UINT TCM_SETPADDING = 0x132B;
// Tabs on the right of a vertical tab control (the same bit as TCS_BOTTOM).
inline constexpr DWORD TCS_RIGHT = 0x0002;

// ---- "SysDateTimePick32" -----------------------------------------------------------------------
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

// ---- trackbar and progress bar ----------------------------------------------------------------
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
