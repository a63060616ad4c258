// CToolBar: a control bar of buttons with command ids, images from image lists (normal, hot,
// disabled) and optional texts; a click sends WM_COMMAND to the bar's parent. Tool bar
// resources are "*.tbr" texts beside the dialog templates of a resource module.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/ControlBar.h"

class CDC;
class CImageList;

// Window styles of a tool bar (the low word of its window style).
inline constexpr DWORD TBSTYLE_TOOLTIPS = 0x0100;
inline constexpr DWORD TBSTYLE_FLAT = 0x0800;
inline constexpr DWORD TBSTYLE_LIST = 0x1000;
// Button styles.
inline constexpr BYTE TBSTYLE_BUTTON = 0x00;
inline constexpr BYTE TBSTYLE_SEP = 0x01;
inline constexpr BYTE TBSTYLE_CHECK = 0x02;
inline constexpr BYTE TBSTYLE_AUTOSIZE = 0x10;
// Button states.
inline constexpr BYTE TBSTATE_CHECKED = 0x01;
inline constexpr BYTE TBSTATE_PRESSED = 0x02;
inline constexpr BYTE TBSTATE_ENABLED = 0x04;

inline constexpr UINT ID_SEPARATOR = 0;
inline constexpr UINT AFX_IDW_TOOLBAR = 0xE800;

namespace platform::ui {

// A parsed tool bar resource: the image size and the command ids of the buttons in order
// (ID_SEPARATOR for a separator).
struct ToolBarResource {
    int32_t id = 0;
    int imageWidth = 0;
    int imageHeight = 0;
    std::vector<UINT> commands;
};

// Parses a tool bar text (grammar at the top of ToolBar.cpp). On failure returns false with
// `error` "line N: what is wrong".
bool ParseToolBarResource(std::string_view text, ToolBarResource* out, std::string* error);

// The program's string table, from which tool bars take their button texts. Pavlet has no
// string table of its own: the program sets the lookup at start-up. User-interface thread.
using StringResourceLookup = std::function<std::string(UINT id)>;
void SetStringResourceLookup(StringResourceLookup lookup);
// The string of that id; empty when no lookup is set or the table has none.
std::string LoadStringResource(UINT id);

}  // namespace platform::ui

class CToolBar : public CControlBar {
public:
    // Margins of a button around its image and text, and the gap a separator takes.
    static constexpr int kButtonPadX = 7;
    static constexpr int kButtonPadY = 6;
    static constexpr int kSeparatorWidth = 8;
    static constexpr int kBorder = 2;
    // The colour of a resource bitmap that is transparent (the classic button face).
    static constexpr COLORREF kResourceMaskColor = 0xC0C0C0;

    CToolBar();
    ~CToolBar() override;

    // The bar as a child of `parent`: docked when the parent is a frame, else placed by the
    // caller. `ctrlStyle` holds the TBSTYLE_ window styles, `style` WS_VISIBLE and CBRS_.
    BOOL Create(CWnd* parent, DWORD style = WS_CHILD | WS_VISIBLE | CBRS_TOP,
                UINT id = AFX_IDW_TOOLBAR);
    BOOL CreateEx(CWnd* parent, DWORD ctrlStyle = TBSTYLE_FLAT,
                  DWORD style = WS_CHILD | WS_VISIBLE | CBRS_TOP, UINT id = AFX_IDW_TOOLBAR);

    // The buttons of the tool bar resource of that id (current resource module first), with
    // the images of "bitmap_<id>.bmp" beside it when there is one (its 0xC0C0C0 pixels are
    // transparent). FALSE when no module has a valid tool bar of that id.
    BOOL LoadToolBar(UINT resourceId);
    // Replaces the buttons: one per id, ID_SEPARATOR making a separator; button n (not
    // counting separators) gets image n. A null array makes `count` blank buttons.
    BOOL SetButtons(const UINT* ids, int count);
    // Every button's size and the image size.
    void SetSizes(SIZE button, SIZE image);
    SIZE GetButtonSize() const { return m_sizeButton; }
    SIZE GetImageSize() const { return m_sizeImage; }

    int GetCount() const { return static_cast<int>(buttons_.size()); }
    // The index of the first button with that command, -1 when none.
    int CommandToIndex(UINT id) const;
    UINT GetItemID(int index) const;
    // The button's rectangle in the bar's client area; empty for a bad index.
    void GetItemRect(int index, RECT* rect) const;
    // The button at a client point, -1 when none (separators count as none).
    int HitTest(POINT point) const;

    void SetButtonInfo(int index, UINT id, UINT style, int image);
    void GetButtonInfo(int index, UINT& id, UINT& style, int& image) const;
    UINT GetButtonStyle(int index) const;
    void SetButtonStyle(int index, UINT style);
    BOOL SetButtonText(int index, const std::string& text);
    std::string GetButtonText(int index) const;
    // A fixed width for one button (0: the width follows the sizes and the content).
    void SetButtonCx(int index, int cx);
    // TBSTATE_ bits by command id.
    BYTE GetButtonState(UINT id) const;
    void SetButtonState(UINT id, BYTE state);
    void EnableButton(UINT id, BOOL enable = TRUE);
    BOOL IsButtonEnabled(UINT id) const;
    void CheckButton(UINT id, BOOL check = TRUE);
    BOOL IsButtonChecked(UINT id) const;

    // Image lists are not owned; null falls back to the normal list (and for disabled buttons
    // to its images drawn grey). The normal list defaults to the resource bitmap's.
    CImageList* SetImageList(CImageList* images);
    CImageList* GetImageList() const;
    CImageList* SetHotImageList(CImageList* images);
    CImageList* GetHotImageList() const { return hot_; }
    CImageList* SetDisabledImageList(CImageList* images);
    CImageList* GetDisabledImageList() const { return disabled_; }

    // The size a button needs for its image and text at the current sizes and style.
    SIZE NeededButtonSize(int index) const;
    // The button under the mouse (flat bars only), -1 when none.
    int GetHotItem() const { return hotItem_; }

    SIZE CalcFixedLayout(BOOL stretch, BOOL horz) override;

    SIZE m_sizeButton;
    SIZE m_sizeImage;

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnMouseMove(UINT flags, POINT point) override;
    void OnCaptureChanged(CWnd* wnd) override;
    // Draws one button in its rectangle.
    virtual void DrawButton(CDC* dc, int index, const RECT& rect);

private:
    struct Button {
        UINT id = 0;
        BYTE style = TBSTYLE_BUTTON;
        BYTE state = TBSTATE_ENABLED;
        int image = -1;
        int cx = 0;
        std::string text;
    };
    bool Valid(int index) const { return index >= 0 && index < GetCount(); }
    int ButtonLength(int index, bool horz) const;
    SIZE ButtonExtent() const;
    // Button rectangles for the side the bar is docked on (laid out again when it changed).
    const std::vector<RECT>& Rects() const;
    void LayOut() const;
    void SetHot(int index);
    void Changed();

    std::vector<Button> buttons_;
    mutable std::vector<RECT> rects_;
    mutable bool laidOutVert_ = false;
    std::unique_ptr<CImageList> resourceImages_;
    CImageList* normal_ = nullptr;
    CImageList* hot_ = nullptr;
    CImageList* disabled_ = nullptr;
    int pressed_ = -1;
    bool pressedInside_ = false;
    int hotItem_ = -1;
};
