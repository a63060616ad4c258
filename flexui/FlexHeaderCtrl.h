// CFlexHeaderCtrl: the header of the flex list, which paints itself (gradient, sort marks, the
// check-all box of the first data column) and takes its height from the list's view font.
#pragma once

#include "platform/ui/GdiObjects.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/Wnd.h"

// The bits of the flex list's style word that its header reads.
inline constexpr DWORD FLS_FITCLIENT = 0x20;        // fit-to-client layout: no width tracking
inline constexpr DWORD FLS_COMPACT = 0x40;          // the header keeps the system look
inline constexpr DWORD FLS_ROWNUMBER = 0x100;       // column 0 is the row-number column
inline constexpr DWORD FLS_HEADERLISTBK = 0x2000;   // the header takes the list background
inline constexpr DWORD FLS_HASCHECKBOX = 0x200000;  // rows have check boxes
inline constexpr DWORD FLS_GROUPACTIVE = 0x800000;  // a detail-group table is active

// Header item data: the sorted column and its direction.
inline constexpr LPARAM FLEXHDR_SORTASC = 0x400;
inline constexpr LPARAM FLEXHDR_SORTDESC = 0x800;

// What the header asks of the list that owns it (the flex list answers).
class CFlexHeaderList {
public:
    virtual ~CFlexHeaderList() = default;
    virtual DWORD GetCtrlExStyle() const = 0;
    // Non-zero when the list has a view font of its own.
    virtual BOOL GetViewFont(LOGFONT* font) const = 0;
    // 0 no row checked, 1 all, 2 some.
    virtual int GetCtrlCheckImage() const = 0;
    virtual void SetCheckAll(BOOL check) = 0;
    virtual COLORREF GetListBkColor() const = 0;
};

class CFlexHeaderCtrl : public CWnd {
public:
    static constexpr int kImageSize = 13;
    static constexpr int kExpanderWidth = 17;
    static constexpr int kMargin = 2;  // between the item's left edge and what it shows
    static constexpr COLORREF kFrameColor = 0x908782;
    static constexpr COLORREF kGradientEnd = 0xDCC4B0;
    static constexpr COLORREF kSortedBkColor = 0xFAF0E1;
    // Images of bitmap 102: the check-all states, then the sort marks.
    static constexpr int kImageAscending = 3;
    static constexpr int kImageDescending = 4;

    explicit CFlexHeaderCtrl(CFlexHeaderList* list);
    ~CFlexHeaderCtrl() override;

    // -1 leaves a colour unchanged; a background of -1 (the initial one) is the gradient.
    void SetColors(COLORREF text, COLORREF background);
    COLORREF GetTextColor() const { return textColor_; }
    COLORREF GetBkColor() const { return bkColor_; }
    // -1 until the first paint of a list with check boxes.
    int GetCheckState() const { return checkState_; }
    // The check-all box of the first data column in header coordinates (empty without one).
    RECT GetCheckBoxRect() const;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // HDN_BEGINTRACK reaches the list, which offers it back here.
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    DWORD ListStyle() const { return list_ ? list_->GetCtrlExStyle() : 0; }
    HWND ListHwnd() const;
    int FirstDataColumn() const { return (ListStyle() & FLS_ROWNUMBER) ? 1 : 0; }
    void MakeFont();
    LRESULT Layout(HDLAYOUT* layout);
    void Paint();
    bool PressCheckBox(POINT point);

    CFlexHeaderList* list_;
    int checkState_ = -1;
    CImageList images_;
    CFont font_;
    COLORREF textColor_ = 0;
    COLORREF bkColor_ = CLR_NONE;
};
