// CFlexDialog: the dialog base of the program's windows. It adds the Enter and arrow-key walk
// between fields, children that follow the dialog's right and bottom edges, a solid
// background, and helpers that place controls and read or write numeric control texts.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Dialog.h"
#include "platform/ui/GdiObjects.h"

class CDC;

// Tab-style bits of CFlexDialog::ModifyTabStyle.
inline constexpr DWORD FLEX_TAB_ENTER = 0x1;      // Enter moves to the next control
inline constexpr DWORD FLEX_TAB_UPDOWN = 0x2;     // Up / Down move to the previous / next control
inline constexpr DWORD FLEX_TAB_LEFTRIGHT = 0x4;  // Left / Right likewise

// Alignment flags of SetItemAlign: what a child keeps when the dialog is resized.
inline constexpr DWORD FLEX_ALIGN_RIGHT = 0x1;   // moved: the right margin stays
inline constexpr DWORD FLEX_ALIGN_BOTTOM = 0x2;  // moved: the bottom margin stays
inline constexpr DWORD FLEX_ALIGN_WIDTH = 0x4;   // stretched: the right edge keeps its margin
inline constexpr DWORD FLEX_ALIGN_HEIGHT = 0x8;  // stretched: the bottom edge keeps its margin

// Flags of SetDlgItemPlace.
inline constexpr DWORD FLEX_PLACE_VERTICAL = 0x1;    // a column; otherwise a row
inline constexpr DWORD FLEX_PLACE_TABORDER = 0x2;    // tab-stop controls follow the layout order
inline constexpr DWORD FLEX_PLACE_DISABLED = 0x4;    // lay out disabled controls too
inline constexpr DWORD FLEX_PLACE_MEASURE = 0x8;     // gap and corner from the present placement
inline constexpr DWORD FLEX_PLACE_KEEPCROSS = 0x10;  // keep x in a column, y in a row

// Kinds of AlignItem.
inline constexpr int FLEX_ALIGN_TOPS = 1;
inline constexpr int FLEX_ALIGN_BOTTOMS = 2;
inline constexpr int FLEX_ALIGN_LEFTS = 3;
inline constexpr int FLEX_ALIGN_RIGHTS = 4;

// One registered child: its handle, the margins taken when it was registered (client edge
// minus child edge) and its alignment flags.
struct FlexAlignEntry {
    HWND hwnd = 0;
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    DWORD flags = 0;
};

// The new rectangle of a registered child for a client rectangle (flags 1/2/4/8); shared by
// the dialog and the form view.
RECT FlexAlignedRect(const FlexAlignEntry& entry, const RECT& child, const RECT& client);

class CFlexDialog : public CDialog {
public:
    // Called by OnInitDialog for every child window (all levels) of every flex dialog.
    using EnumChildFunctor = BOOL (*)(CWnd* child, CWnd* dialog);

    CFlexDialog();
    explicit CFlexDialog(UINT templateId, CWnd* parent = nullptr);
    explicit CFlexDialog(const char* templateName, CWnd* parent = nullptr);
    ~CFlexDialog() override;

    // Registers (or re-registers, keeping one entry) a child that follows the dialog's edges;
    // the margins come from the present client and child rectangles. FALSE for no window.
    BOOL SetItemAlign(CWnd* child, DWORD flags);
    BOOL SetItemAlign(HWND child, DWORD flags);
    BOOL SetItemAlign(int controlId, DWORD flags);
    // The registered entries, in registration order.
    const std::vector<std::unique_ptr<FlexAlignEntry>>& GetAlignItems() const { return align_; }

    // Background of the dialog and of its buttons and statics.
    void SetBkColor(COLORREF color);
    CBrush* GetBkBrush() const { return brush_.get(); }

    // Only the low four bits of each argument count.
    void ModifyTabStyle(DWORD remove, DWORD add);
    DWORD GetTabStyle() const { return tabStyle_; }
    void SetEnterToTab(BOOL enable);

    // Centres the group of existing controls in the client area: flags 4 across, 8 down.
    // The id lists stop at the first 0 (which may be left out).
    void CenterAlign(DWORD flags, std::initializer_list<int> ids);
    void CenterAlign(DWORD flags, const int* ids);
    void OffsetDlgItem(int id, int dx, int dy);
    // Flags 1 right edges, 2 bottom edges, 4 width, 8 height of the reference.
    void EquateDlgItem(int id, DWORD flags, int referenceId);
    // Width of the control's text in its font (low 16 bits), height (high 16 bits); 0 when
    // the control is missing.
    DWORD GetDlgItemTextExtent(int id) const;
    // Kind 1 tops, 2 bottoms, 3 left edges, 4 right edges.
    void AlignItem(int id, int referenceId, int kind);
    // Fits the control `id` of the row to its text plus `extraWidth`; the controls listed after
    // it shift by the change.
    void SetRelatedItemWidth(std::initializer_list<int> ids, int id, int extraWidth);
    void SetRelatedItemWidth(const int* ids, int id, int extraWidth);
    // Lays the controls out one after the other (FLEX_PLACE_* flags).
    void SetDlgItemPlace(std::initializer_list<int> ids, DWORD flags, int gap, int x, int y);
    void SetDlgItemPlace(const int* ids, DWORD flags, int gap, int x, int y);
    // SetDlgItemPlace(ids, flags | 8, 0, -1, -1); any number of ids.
    void SetItemPlace(DWORD flags, std::initializer_list<int> ids);
    void SetItemPlace(DWORD flags, const int* ids);
    // For each "Edit" control: non-zero flag removes ES_RIGHT, zero adds it.
    void SetEditAlignStyle(BOOL flag, std::initializer_list<int> ids);
    void SetEditAlignStyle(BOOL flag, const int* ids);

    // The setters change the control's text only when it differs from the present one.
    void SetDlgItemLong(int id, int32_t value);
    void SetDlgItemDouble(int id, double value, int decimals);
    void SetDlgItemNumeric(int id, double value, int decimals);
    // Up to 255 characters, every "," removed; 0 when not a number.
    int32_t GetDlgItemLong(int id) const;
    double GetDlgItemDouble(int id) const;

    static void SetEnumChildFunctor(EnumChildFunctor functor);
    static EnumChildFunctor GetEnumChildFunctor();

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The brush for a control colour request (CTLCOLOR_*); null leaves the default colours.
    virtual HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor);

protected:
    int OnCreate() override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnDestroy() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    // Frees all alignment entries and the brush.
    void DestroyAlignItem();

private:
    std::vector<std::unique_ptr<FlexAlignEntry>> align_;
    std::unique_ptr<CBrush> brush_;
    DWORD tabStyle_ = FLEX_TAB_ENTER | FLEX_TAB_UPDOWN;
};

// Sets a control's text only when it differs (no flicker, the caret stays); shared with the
// other flex windows.
void FlexSetDlgItemTextIfChanged(HWND parent, int id, const std::string& text);
// The keyboard walk of a flex window for one key-down message with the given tab style;
// TRUE when the key was taken. Shared by the flex dialog and the form view.
BOOL FlexKeyboardWalk(HWND dialog, DWORD tabStyle, const MSG* msg);
