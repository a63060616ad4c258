// CFlexListCtrl: the library's second record list. Like the grid it shows a bound record table
// through a sorted, filtered and grouped display-row map on an owner-data report list and draws
// every row itself; it adds a row-number column, hyperlink columns and grouping by detail
// fields, and keeps a smaller layout under the layout name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flexui/FlexHeaderCtrl.h"
#include "flexui/GridCtrl.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Wnd.h"

class CDC;
class CImageList;
class CMemRecord;
class CFixRecord;
namespace pavlet {
struct ExportTable;
}

// Posted to the parent: wParam FLEXLIST_CHECKED or FLEXLIST_HYPERLINK, lParam the list object.
inline constexpr UINT WM_FLEXLIST_NOTIFY = 0x0710;
inline constexpr WPARAM FLEXLIST_CHECKED = 1;
inline constexpr WPARAM FLEXLIST_HYPERLINK = 2;

// Style word bits (those the header reads are in FlexHeaderCtrl.h).
inline constexpr DWORD FLS_HEADERDRAG = 0x1;
inline constexpr DWORD FLS_GRIDLINES = 0x2;  // grid lines may be switched on
inline constexpr DWORD FLS_INDICATOR = 0x4;  // the indicator may be switched on
inline constexpr DWORD FLS_SORTCOLOR = 0x8;
inline constexpr DWORD FLS_SCROLLNOTIFY = 0x10;
inline constexpr DWORD FLS_MINWIDTH = 0x80;
inline constexpr DWORD FLS_NOSELCOLOR = 0x200;
inline constexpr DWORD FLS_NOSELFRAME = 0x1000;
inline constexpr DWORD FLS_NOFONT = 0x4000;
inline constexpr DWORD FLS_NOMENU = 0x8000;
inline constexpr DWORD FLS_HASCOLOR = 0x100000;
inline constexpr DWORD FLS_HASIMAGE = 0x400000;
inline constexpr DWORD FLS_GRIDLINESON = 1u << 24;
inline constexpr DWORD FLS_INDICATORON = 1u << 25;
inline constexpr DWORD FLS_FIXEDPITCH = 1u << 26;

// The field index that stands for the row-number column.
inline constexpr int FLEXLIST_ROWNUMBER = 256;
// Header item data of a hyperlink column.
inline constexpr LPARAM FLEXHDR_HYPERLINK = 0x4000;

class CFlexListCtrl : public CWnd, public CFlexHeaderList {
public:
    static constexpr DWORD kInitialStyle = 0x3000087;
    static constexpr COLORREF kFocusFrame = 0xCEA27D;
    static constexpr COLORREF kShowFrame = 0xD8D8D8;

    CFlexListCtrl();
    ~CFlexListCtrl() override;

    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);

    // ---- binding and the view ----
    void SetRecord(CFixRecord* table, const char* layoutName = nullptr, unsigned sortId = 0,
                   BOOL descending = FALSE);
    void SetRecord(CMemRecord* table, const char* layoutName, int sortField, BOOL descending);
    void Refresh(int flag = 0);
    void FreshItem(int row, int column = -1);
    void SetFilterFunctor(GridFilterFunctor keep, void* user);
    void SetMapDetail(const char* identities);
    CMemRecord* GetMapRecord() const { return group_.get(); }
    int GetMapRecno(int displayRow) const;
    int GetViewCount() const;
    int GetActiveItem() const;
    void SetActiveItem(int row);
    int GetCheckCount() const;
    void SetCheckAll(BOOL check) override;
    int GetCtrlCheckImage() const override;
    int GetColumnCount() const { return static_cast<int>(columns_.size()); }
    int GetFieldIndex(int column) const;
    int GetColumnIndex(int field) const;
    std::string GetRecordText(int column, int displayRow) const;
    int GetRecordCheckImage(int displayRow) const;
    void SetRecordCheckImage(int check, int displayRow);
    void SortColumn(int column, int mode = 0);
    int GetSortField() const { return sortField_; }
    int GetSortDirection() const { return sortDescending_ ? 1 : 0; }

    // ---- columns ----
    void SetColumnOrder(const char* text, BOOL keepWidths = FALSE);
    // "%d:%d" items (identity, width) joined by ",".
    std::string GetColumnOrder() const;
    void MoveField(int from, int to);
    void AdjustField(int column);
    void SetFieldHyperlink(int field, BOOL on);
    void SetFixedCols(int count) { fixedCols_ = count; }
    int GetColumnMinWidth(int column) const;
    int GetDataWidth(int field) const;
    // The width of a text as the list measures it in its view font.
    int MeasureText(const std::string& text) const;
    void ResizeToFit(BOOL fitHeight, BOOL fitWidth);

    // ---- appearance ----
    void SetCtrlExStyle(DWORD bits);
    DWORD GetCtrlExStyle() const override { return style_; }
    void EnableScrollbarParentNotify(BOOL on);
    int SetItemHeight(int height);
    int GetItemHeight() const { return itemHeight_; }
    void SetViewFont(const LOGFONT* font);
    BOOL GetViewFont(LOGFONT* font) const override;
    COLORREF GetListBkColor() const override;
    void SetHeaderColor(COLORREF text, COLORREF background);
    void SetBlankPrompt(const char* text, COLORREF color = CLR_INVALID);
    void SetItemAnimate(int row, int column, COLORREF text, int durationMs);
    void SetRecordTextFunctor(GridTextFunctor text, void* user);
    void SetFieldTextColor(GridColorFunctor color, void* user);
    void SetFieldBkColor(GridColorFunctor color, void* user);
    void SetToolTipCtrl(GridToolTipFunctor text, void* user);
    std::string GetToolTipText(int row, int column) const;
    COLORREF GetGridColor() const { return gridColor_; }
    int GetRowSpaceValue() const { return rowSpace_; }
    const std::string& GetLayoutName() const { return layoutName_; }
    CFlexHeaderCtrl* GetHeaderCtrl() const { return header_.get(); }

    static int SetRowSpace(int space);
    static void SetTipWndOffset(int, int) {}

    // ---- layout and export ----
    std::string GetAttribute() const;
    void SetAttribute(const char* text);
    void WriteListProfile();
    BOOL SaveToFile(const char* path);
    void CollectExport(pavlet::ExportTable* out) const;

    // ---- drawing ----
    void PaintClient(CDC* dc);
    HWND GetHeaderHwnd() const;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    virtual LRESULT OnGridCommand(WPARAM command, LPARAM value);
    // Modal dialogs, virtual so that an owner (or a test) can answer them another way.
    virtual BOOL RunColumnOrderDialog(const std::string& order, const std::string& fields,
                                      std::string* result);
    // *space in and out; *asDefault: also the class row space.
    virtual BOOL RunRowSpaceDialog(int* space, BOOL* asDefault);
    virtual BOOL RunColorDialog(COLORREF* color);
    virtual std::string AskExportPath();

private:
    struct Animation {
        int row = 0;
        int column = -1;
        int64_t start = 0;
        COLORREF text = CLR_INVALID;
        int duration = 0;
    };

    void SetUp();
    void TearDown();
    void Bind(CFixRecord* fix, CMemRecord* mem, const char* layoutName, int sortField,
              BOOL descending);
    void FindPseudoFields();
    std::vector<int> OfferedFields() const;
    void MakeFonts(const LOGFONT& font);
    void MeasureLine();
    void ReadStoredLayout();
    void SetHeaderItems();
    void SortAndMap();
    void BuildMap();
    void MeasureWidths();
    void LayOutColumns(bool widen);
    void FitToClient();
    void MoveCursorTo(int displayRow);
    void NotifyItemChanged(int column);
    void PlaceIndicator();
    bool IsGroupRow(int displayRow) const;
    // The table and row a display row shows; null when out of range.
    CMemRecord* Source(int displayRow, int* row) const;
    std::string CellText(int displayRow, int field) const;
    int FirstDataColumn() const;
    int Margin() const;
    int ColumnAt(int displayRow, POINT point, RECT* cell) const;
    bool IsHyperlinkColumn(int column) const;
    void UpdateToolTip(POINT point);
    void ToggleCheck(int displayRow);
    void ToggleGroup(int displayRow);
    bool OnMouseDown(POINT point);
    void OnMouseUp(POINT point);
    LRESULT OnHeaderNotify(NMHDR* nm, bool* handled);
    void DrawRow(CDC* dc, int displayRow, UINT state);
    void ShowContextMenu(POINT screen);
    void AppendMenuEntries(HMENU menu);
    void RunColumnOrder();
    void RunFontDialog();
    void RunRowSpace();
    void SaveColumnOrder();
    bool HasHeader() const;
    COLORREF ListTextColor() const;
    int HeaderHeight() const;
    int ClientWidth() const;
    int ClientHeight() const;

    std::unique_ptr<CWnd> indicator_;
    CFixRecord* table_ = nullptr;
    CMemRecord* mem_ = nullptr;
    std::string layoutName_;
    DWORD style_ = kInitialStyle;
    int sortField_ = -1;
    bool sortDescending_ = false;

    // Extension block.
    bool setUp_ = false;
    bool hasFocus_ = false;
    std::unique_ptr<CFlexHeaderCtrl> header_;
    std::vector<int> columns_;    // field indexes, FLEXLIST_ROWNUMBER for the row numbers
    std::vector<int> dataWidth_;  // per table field
    int colorField_ = -1, checkField_ = -1, imageField_ = -1, groupField_ = -1;
    COLORREF gridColor_ = RGB(0xEB, 0xEB, 0xEB);
    COLORREF selBkFocus_ = CLR_INVALID, selTextFocus_ = CLR_INVALID;
    COLORREF selBk_ = CLR_INVALID, selText_ = CLR_INVALID;
    COLORREF sortedBk_ = CLR_INVALID;
    COLORREF promptColor_ = RGB(0xFF, 0x50, 0x50);
    std::string prompt_;
    bool hasViewFont_ = false;
    LOGFONT viewLog_{};
    CFont viewFont_, linkFont_, boldFont_;
    int avgCharWidth_ = 6;
    int lineHeight_ = 15;
    int imageWidth_ = 0, imageHeight_ = 0;
    int rowSpace_ = 4;
    int customHeight_ = 0;
    int itemHeight_ = 19;
    int fixedCols_ = 0;
    std::vector<int> hyperlinks_;  // field indexes of hyperlink columns
    int focusRow_ = -1;
    int pressRow_ = -1, pressColumn_ = -1;
    int dragColumn_ = -1;
    std::unique_ptr<CMemRecord> group_;
    std::vector<int> memberToGroup_;
    bool hasMap_ = false;
    std::vector<int> map_;
    std::vector<uint8_t> filterKeep_;
    bool hasFilter_ = false;
    GridTextFunctor textFn_ = nullptr;
    void* textUser_ = nullptr;
    GridColorFunctor textColorFn_ = nullptr;
    void* textColorUser_ = nullptr;
    GridColorFunctor bkColorFn_ = nullptr;
    void* bkColorUser_ = nullptr;
    GridToolTipFunctor tipFn_ = nullptr;
    void* tipUser_ = nullptr;
    std::unique_ptr<CWnd> toolTip_;
    int tipRow_ = -1, tipColumn_ = -1;
    std::string tipText_;
    std::vector<Animation> animations_;
    bool animationTimer_ = false;
    CImageList* smallImages_ = nullptr;
    HMENU trackedMenu_ = 0;
    int menuColumn_ = -1;
};
