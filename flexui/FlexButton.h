// CFlexButton: the skinned owner-drawn push, check and radio button of Pavlet, with state images,
// hot tracking, frame templates drawn in nine parts and an optional tool tip.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/Dc.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/ToolTip.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/Wnd.h"

// State word bits of CFlexButton (the low four bits hold the button's own BS_ type).
inline constexpr DWORD FLEXBTN_TYPEMASK = 0x000F;
inline constexpr DWORD FLEXBTN_TRACKING = 0x0010;
inline constexpr DWORD FLEXBTN_HOT = 0x0020;
inline constexpr DWORD FLEXBTN_CHECKED = 0x0040;  // the menu is open, for CEnumButton
// Frame merge bits: each removes the corners of one side so that two frames can join.
inline constexpr DWORD FLEXBTN_MERGE_LEFT = 0x0100;
inline constexpr DWORD FLEXBTN_MERGE_TOP = 0x0200;
inline constexpr DWORD FLEXBTN_MERGE_RIGHT = 0x0400;
inline constexpr DWORD FLEXBTN_MERGE_BOTTOM = 0x0800;
inline constexpr DWORD FLEXBTN_MERGEMASK = 0x0F00;

// Cells of a frame template.
inline constexpr int FRAME_CELL_NORMAL = 0;
inline constexpr int FRAME_CELL_HOT = 1;
inline constexpr int FRAME_CELL_PRESSED = 2;
inline constexpr int FRAME_CELL_DISABLED = 3;
inline constexpr int FRAME_CELL_DEFAULT = 4;

// The library-wide frame template 0 (bitmap 100) or 1 (bitmap 101), 22 x 22 cells with
// magenta transparent, made on first use and kept for the whole run; other indexes give 0.
CImageList* GetFlexFrameTemplate(int index);

// Draws cell `cell` of a frame template into `target` in nine parts: 3 x 3 corners copied, the
// edges stretched from the cell's border rows and columns, the inside from its inner area.
// `mergeBits` (FLEXBTN_MERGE_*) leave out the corners of a side; the adjoining edges then run
// to the target's border.
void DrawFlexFrame(CDC* dc, const RECT& target, CImageList* frames, int cell, DWORD mergeBits);

// A memory bitmap of a control's client size, with the item context's font, that the face is
// drawn into and that is copied to the item context when the buffer goes.
class CFaceBuffer {
public:
    CFaceBuffer(const CWnd* wnd, const DRAWITEMSTRUCT* item);
    ~CFaceBuffer();
    CFaceBuffer(const CFaceBuffer&) = delete;
    CFaceBuffer& operator=(const CFaceBuffer&) = delete;

    bool IsValid() const { return target_ != nullptr; }
    CDC* Dc() { return &mem_; }
    const RECT& Client() const { return client_; }

private:
    CDC* target_ = nullptr;
    RECT client_;
    CDC mem_;
    CBitmap bitmap_;
    CBitmap* oldBitmap_ = nullptr;
    CFont* oldFont_ = nullptr;
};

class CFlexButton : public CWnd {
public:
    CFlexButton();
    ~CFlexButton() override;

    // Makes an existing button (a dialog item) this object's window and takes over its drawing.
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    BOOL SubclassWindow(HWND hwnd);
    BOOL Create(const char* caption, DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // State images: the bitmap cut into `count` images (count <= 0: square images of the
    // bitmap's height), masked by the colour. Cells: 0 normal, 1 hot, 2 pressed, 3 disabled.
    BOOL SetBitmap(const CBitmap* bitmap, COLORREF mask, int count);
    // The resource form: the bitmap "bitmap_<id>.bmp" of a module's media (an empty module:
    // the current resource module, then Pavlet's).
    BOOL SetBitmap(UINT resourceId, const char* module, COLORREF mask, int count);
    // One size x size image of an icon (a picture with its own transparency).
    BOOL SetIcon(const QImage& icon, int size);
    BOOL SetIcon(UINT resourceId, int size, const char* module = nullptr);
    void SetTextColor(COLORREF color);
    COLORREF GetTextColor() const { return textColor_; }
    void SetFrameTemplate(CImageList* frames);
    void SetFrameTemplateIndex(int index);
    void SetFrameMerge(DWORD mergeBits);
    void SetToolTipText(const char* text, BOOL activate = TRUE);

    // The state word and what it says.
    DWORD GetFlexState() const { return state_; }
    DWORD GetButtonType() const { return state_ & FLEXBTN_TYPEMASK; }
    int GetCheck() const;
    void SetCheck(int check);
    CImageList* GetStateImages() const { return images_.get(); }
    CToolTipCtrl* GetToolTip() const { return toolTip_.get(); }

    // The DrawText format of the caption from the button's BS_ alignment styles.
    static UINT TextFormatOf(DWORD style);

    virtual void PreSubclassWindow();
    BOOL PreTranslateMessage(MSG* msg) override;
    virtual void DrawItem(const DRAWITEMSTRUCT* item);
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnMouseMove(UINT flags, POINT point) override;
    void OnDestroy() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    virtual void OnMouseHover();
    virtual void OnMouseLeave();
    // A reflected BN_CLICKED; TRUE keeps it from the parent.
    virtual BOOL OnClicked();

    // The background of the face into `dc` (snapshot, or the parent's control colour brush).
    void DrawBackground(CDC* dc, const RECT& rect);
    // The frame cell that the state asks for (pressed, hot, default, disabled).
    int FrameCell(const DRAWITEMSTRUCT* item) const;
    // The state image cell (0 when the list lacks it), -1 without images.
    int ImageCell(const DRAWITEMSTRUCT* item) const;
    void DropBackground();
    void SetStateBits(DWORD bits, bool on);
    bool IsCheckKind() const;

    COLORREF textColor_ = 0xFFFFFFFF;
    DWORD state_ = 0;
    std::unique_ptr<CImageList> images_;
    std::unique_ptr<CToolTipCtrl> toolTip_;
    CImageList* frames_ = nullptr;
    std::unique_ptr<CBitmap> background_;  // the parent's pixels under a transparent button
    bool pressing_ = false;                // a check box or radio button under a press
};
