// Control bars docked on a side of a frame: CControlBar, which says how much room it takes
// (CalcFixedLayout, CalcDynamicLayout), and CDialogBar, a bar built from a dialog template.
#pragma once

#include "platform/ui/Wnd.h"

// Bar styles: the side the bar docks on, its size behaviour.
inline constexpr DWORD CBRS_FLOATING = 0x0001;
inline constexpr DWORD CBRS_SIZE_FIXED = 0x0002;
inline constexpr DWORD CBRS_SIZE_DYNAMIC = 0x0004;
inline constexpr DWORD CBRS_BORDER_LEFT = 0x0100;
inline constexpr DWORD CBRS_BORDER_TOP = 0x0200;
inline constexpr DWORD CBRS_BORDER_RIGHT = 0x0400;
inline constexpr DWORD CBRS_BORDER_BOTTOM = 0x0800;
inline constexpr DWORD CBRS_ALIGN_LEFT = 0x1000;
inline constexpr DWORD CBRS_ALIGN_TOP = 0x2000;
inline constexpr DWORD CBRS_ALIGN_RIGHT = 0x4000;
inline constexpr DWORD CBRS_ALIGN_BOTTOM = 0x8000;
inline constexpr DWORD CBRS_ALIGN_ANY = 0xF000;
inline constexpr DWORD CBRS_LEFT = CBRS_ALIGN_LEFT | CBRS_BORDER_RIGHT;
inline constexpr DWORD CBRS_TOP = CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM;
inline constexpr DWORD CBRS_RIGHT = CBRS_ALIGN_RIGHT | CBRS_BORDER_LEFT;
inline constexpr DWORD CBRS_BOTTOM = CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP;

// Layout modes of CalcDynamicLayout.
inline constexpr DWORD LM_STRETCH = 0x01;
inline constexpr DWORD LM_HORZ = 0x02;
inline constexpr DWORD LM_MRUWIDTH = 0x04;
inline constexpr DWORD LM_HORZDOCK = 0x08;
inline constexpr DWORD LM_VERTDOCK = 0x10;
inline constexpr DWORD LM_LENGTHY = 0x20;
inline constexpr DWORD LM_COMMIT = 0x40;

// The stretched length of a bar docked along a whole side.
inline constexpr LONG kStretchLength = 32767;

class CFrameWnd;

class CControlBar : public CWnd {
public:
    ~CControlBar() override;
    // The size the bar takes docked: `stretch` across the whole side, `horz` at the top or
    // bottom. The base answers its default size, stretched as asked.
    virtual SIZE CalcFixedLayout(BOOL stretch, BOOL horz);
    // The size for a layout mode (LM_*); the base uses the fixed layout.
    virtual SIZE CalcDynamicLayout(int length, DWORD mode);

    DWORD GetBarStyle() const { return m_dwStyle; }
    void SetBarStyle(DWORD style) { m_dwStyle = style; }
    // Docked at the top or bottom / at the left or right.
    BOOL IsHorzDocked() const { return (m_dwStyle & (CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM)) != 0; }
    BOOL IsVertDocked() const { return (m_dwStyle & (CBRS_ALIGN_LEFT | CBRS_ALIGN_RIGHT)) != 0; }
    CFrameWnd* GetDockingFrame() const { return m_pDockSite; }

    DWORD m_dwStyle = 0;
    SIZE m_sizeDefault;
    CFrameWnd* m_pDockSite = nullptr;

protected:
    // Makes the bar's window (a child of the frame) and docks it by the style's side.
    BOOL CreateBar(CFrameWnd* parent, const char* className, DWORD style, const RECT& rect,
                   UINT id);
    void OnDestroy() override;
};

class CDialogBar : public CControlBar {
public:
    // The bar with the template's controls; its default size is the template's size. The
    // style's CBRS_ALIGN_ bits choose the side, WS_VISIBLE shows it.
    virtual BOOL Create(CFrameWnd* parent, UINT templateId, DWORD style, UINT id);
};
