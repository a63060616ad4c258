// CGridCtrl: the record grid, a report list whose rows are never copied into the control: it
// shows a bound record table through a sorted, filtered and grouped display-row map and draws
// every row itself.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/GdiObjects.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/Wnd.h"
#include "record/FixRecord.h"

class CDC;
class QRect;
class CImageList;
class CMemRecord;
class CGridHeader;
namespace pavlet {
struct ExportTable;
}

// The grid's command message and the notification that follows it.
inline constexpr UINT WM_GRID_COMMAND = 0x0700;
inline constexpr UINT GRIDN_COMMAND = static_cast<UINT>(-241);

// GRIDN_COMMAND: the usual header, then the command code and its value.
struct NMGRIDCOMMAND {
    NMHDR hdr;
    WPARAM command = 0;
    LPARAM value = 0;
};

// Context-menu entries from this id on go to the parent as WM_COMMAND, below it to the grid
// as WM_GRID_COMMAND.
inline constexpr UINT GRID_PARENT_COMMAND_FIRST = 200;

// Style word bits.
inline constexpr uint32_t GRID_HEADERDRAG = 0x1;
inline constexpr uint32_t GRID_GRIDLINES = 0x2;
inline constexpr uint32_t GRID_INDICATOR = 0x4;
inline constexpr uint32_t GRID_SORTCOLOR = 0x8;
inline constexpr uint32_t GRID_SCROLLNOTIFY = 0x10;
inline constexpr uint32_t GRID_FITCLIENT = 0x20;
inline constexpr uint32_t GRID_COMPACT = 0x40;
inline constexpr uint32_t GRID_GROUPCOLLAPSED = 0x80;
inline constexpr uint32_t GRID_NOFONTMENU = 0x100;
inline constexpr uint32_t GRID_OUTLINESELECT = 0x200;
inline constexpr uint32_t GRID_GROUPBAND = 0x400;
inline constexpr uint32_t GRID_MIRROR = 0x800;
inline constexpr uint32_t GRID_ENDATLAST = 0x1000;
inline constexpr uint32_t GRID_HEADERLISTBK = 0x2000;
inline constexpr uint32_t GRID_NOMENU = 0x8000;
inline constexpr uint32_t GRID_HASCOLOR = 0x10000;
inline constexpr uint32_t GRID_HASCHECKBOX = 0x20000;
inline constexpr uint32_t GRID_HASIMAGE = 0x40000;
inline constexpr uint32_t GRID_HASGROUP = 0x80000;
inline constexpr uint32_t GRID_GROUPACTIVE = 0x100000;
inline constexpr uint32_t GRID_TWOLEVEL = 0x200000;
inline constexpr uint32_t GRID_FONTCHANGED = 1u << 24;
inline constexpr uint32_t GRID_HASFOCUS = 1u << 25;

// Display-row map entries: bit 28 names a row of the group table.
inline constexpr int GRID_GROUPROW = 1 << 28;
inline constexpr int GRID_ROWMASK = GRID_GROUPROW - 1;

// Group-row item style bits (the count of filtered members is in bits 0-23).
inline constexpr uint32_t GRID_GROUP_EXPANDED = 1u << 28;
inline constexpr uint32_t GRID_GROUP_FIXED = 1u << 29;

using GridTextFunctor = const char* (*)(CFixRecord* table, int row, int field, void* user);
using GridColorFunctor = COLORREF (*)(CFixRecord* table, int row, int field, void* user);
using GridToolTipFunctor = const char* (*)(CFixRecord* table, int row, int column, void* user);
using GridFilterFunctor = int (*)(CFixRecord* table, int row, void* user);
using GridTextMapFunctor = const char* (*)(const char* text);

class CGridCtrl : public CWnd {
public:
    CGridCtrl();
    ~CGridCtrl() override;

    // A grid window (report view, owner-drawn rows, owner data, thin border).
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    // A list placed by a dialog template becomes a grid.
    BOOL SubclassDlgItem(UINT id, CWnd* parent);

    // ---- binding and refresh ----
    void SetRecord(CFixRecord* table, const char* layoutName = nullptr, unsigned sortId = 0,
                   BOOL descending = FALSE);
    void Refresh(int flag = 0);
    void FreshItem(int row, int column = -1);
    void SetLeafRecord(CFixRecord* header, CFixRecord* leaf);
    void SetMapRecord(CMemRecord* groupTable);
    void SetGroup(std::initializer_list<unsigned> ids);
    void SetFilter(std::initializer_list<FixTextItem> items);
    void SetFilterFunctor(GridFilterFunctor keep, void* user);

    CFixRecord* GetFixRecord(int part = 0);
    CMemRecord* GetMemRecord() { return mem_; }
    CMemRecord* GetMapRecord() { return group_.get(); }
    // The table a display row shows and the row within it (null when out of range).
    CMemRecord* GetMapRecord(int displayRow, int* row);
    int GetMapRecno(int displayRow) const;
    int GetViewCount() const;
    int GetActiveItem() const;
    void SetActiveItem(int row);
    int GetCheckCount();
    void SetCheckAll(BOOL checked);
    int GetFieldIndex(int column) const;
    int GetFieldIndex(int column, int* part) const;
    int GetColumnIndex(int field, int part = 0) const;
    int GetColumnCount() const;
    int GetItemHeight() const { return itemHeight_; }
    int GetImageWidth() const { return imageWidth_; }
    int GetLineHeight() const { return lineHeight_; }
    int GetRecordMinWidth(int field, int column);
    void SetItemHeight(int height, BOOL refresh = TRUE);
    void SetItemSpace(int, int) {}
    void AdjustField(int column);
    void MoveColumn(int from, int to);
    void SortColumn(int column, int mode = 0);
    void SetBlankPrompt(const char* text, COLORREF color = CLR_INVALID);
    void HideIndicator(BOOL hide);
    void SetExStyle(uint32_t bits, uint32_t mask);
    void SetCtrlExStyle(uint32_t bits, uint32_t mask = 0xFFFF) { SetExStyle(bits, mask); }
    uint32_t GetExStyle() const { return style_; }
    uint32_t SetMiscellaneous(uint32_t bits, uint32_t mask);
    void EnableScrollbarParentNotify(BOOL on);
    void SetHeaderColor(COLORREF text, COLORREF background);
    void SetGridlinesColor(COLORREF color);
    void SetHeaderGridlinesColor(COLORREF color);
    void SetSelectedColor(COLORREF text, COLORREF background);
    void SetSortedColor(COLORREF background);
    void SetItemAnimate(int row, int column, COLORREF text, int durationMs);
    void SetItemAnimate(int row, int column, COLORREF text, COLORREF background, int durationMs);
    // In-place editing of a cell: 1 started, 0 refused.
    BOOL BeginEdit(int row, int column);
    // The in-place edit while one is open (null otherwise).
    CWnd* GetEditCtrl() const { return edit_; }
    const std::string& GetLayoutName() const { return layoutName_; }
    // The header font, null while the list font serves the header.
    CFont* GetHeaderFont() const { return headerFont_.get(); }
    int GetCustomRowHeight() const { return customHeight_; }

    // ---- layout persistence ----
    // Writes the column order text under "LISTORDER"; nothing without a layout name or table.
    void WriteHeaderOrderWidths();
    // The column order text as it would be written.
    std::string GetHeaderOrderWidths();
    // Applies a column order text (unknown identities discard it as a whole).
    void SetColumnOrder(const char* text);
    // Reads and applies the display attributes and fonts, then rebuilds the disabled field
    // list and clears filter, group table and map.
    void SetPrivateAttribute();
    void SavePrivateAttribute();
    // The attribute list as stored under "LISTCTRL".
    std::string GetAttribute();
    void SetAttribute(const char* text);
    void InitialRecordExtendData();

    // ---- export ----
    void ExportToDBF();
    void ExportToCSV();
    // Sort field index (-1 none) and direction (1 descending).
    int GetSortField() const { return sortField_; }
    int GetSortDirection() const { return sortDescending_ ? 1 : 0; }

    // ---- callbacks ----
    void SetRecordTextFunctor(GridTextFunctor text, void* user);
    void SetFieldTextColor(GridColorFunctor color, void* user);
    void SetFieldBkColor(GridColorFunctor color, void* user);
    void SetToolTipCtrl(GridToolTipFunctor text, void* user);
    // The tool-tip text of a cell (what the tip shows), empty for none.
    std::string GetToolTipText(int row, int column);
    // The cell under a client point: display row and column, -1 when none.
    BOOL CellFromPoint(POINT point, int* row, int* column) const;
    // Identifies a tool tip's cell; two cells never share one (any number of columns).
    static UINT_PTR MakeToolId(int row, int column);
    static void SplitToolId(UINT_PTR id, int* row, int* column);

    // ---- class settings ----
    static void SetGridStyle(uint32_t style);
    static void SetRowSpace(int space);
    static void SetFieldMargin(int margin);
    static void SetGridTextMapFunctor(GridTextMapFunctor map);
    static void SetHeaderTextMapFunctor(GridTextMapFunctor map);
    static void SetExtendProfileName(const char* name);
    static int GetFieldMargin();
    static GridTextMapFunctor GetGridTextMapFunctor();
    static GridTextMapFunctor GetHeaderTextMapFunctor();
    static std::string GetExtendProfileName();

    // ---- per-row and per-cell data (overridable) ----
    virtual std::string GetRecordText(int column, int row);
    virtual int GetRecordImage(int row);
    virtual int GetRecordCheckImage(int row);
    virtual void SetRecordText(int column, const char* text, int row);
    virtual void SetRecordImage(int image, int row);
    virtual void SetRecordCheckImage(int check, int row);
    virtual LRESULT FlexHeaderCtrlWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // ---- drawing ----
    void DrawEntireItem(CDC* dc, int row, int column, UINT state);
    void RedrawItemDirect(int row, int column);
    // Highlights whose time is not over.
    int LiveAnimationCount() const;
    // Paints the whole client area (background, prompt, grid lines, rows) in client
    // coordinates.
    void PaintClient(CDC* dc);
    HWND GetHeaderHwnd() const;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    // Seams for the column layout persistence: the order text of a part is applied here.
    virtual void ApplyColumnLayout();
    // Seam for the layout persistence: the user changed a width or the column order.
    virtual void SaveColumnLayout();
    // Answers a grid command and tells the parent (GRIDN_COMMAND), except for the queries 15
    // and 17, which return their value.
    virtual LRESULT OnGridCommand(WPARAM command, LPARAM value);
    // The library's column-order and list-style dialogs, run modally; FALSE when cancelled.
    // Virtual so that an owner (or a test) can answer them another way.
    // order: shown field identities joined by ","; fields: "%d:%s" items joined by ",";
    // *result: the checked identities in order, joined by ",".
    virtual BOOL RunColumnOrderDialog(const std::string& order, const std::string& fields,
                                      std::string* result);
    // colors: list background, list text, grid lines, header background, header text, header
    // grid lines, selected background, selected text (-1 = default); changed in place on OK.
    virtual BOOL RunListStyleDialog(COLORREF colors[8]);

    struct Column {
        int field = -1;
        int part = 0;  // 0 main, 1 header, 2 leaf
    };
    // Column order of the main and leaf parts: field index in the low 16 bits, bit 16 hidden.
    std::vector<uint32_t> mainOrder_, leafOrder_;
    std::vector<Column> columns_;

private:
    struct Animation {
        bool live = false;
        int row = 0;
        int column = -1;
        int64_t start = 0;
        COLORREF text = CLR_INVALID;
        COLORREF background = CLR_INVALID;
        int duration = 300;
    };

    void SetUp();
    void TearDown();
    void MakeFonts(const LOGFONT& font);
    void MeasureLine();
    void RemeasureRows();
    void FindPseudoFields();
    void BuildDefaultOrder();
    // Fields a table offers as columns (before "color", no pseudo-fields, at most 256).
    std::vector<int> OfferedFields(CMemRecord* table);
    bool IsDisabledField(CMemRecord* table, int field);
    // The sorted view: table rows in display order (no lock held across it).
    void SortView();
    void SortGroupTable();
    void UpdateMapData();
    void UpdateViewMap();
    void MeasureWidths(bool all);
    void LayOutColumns();
    void AdjustItemToFit();
    int MinWidthIn(CMemRecord* table, int field, bool firstColumn);
    void SetHeaderItems();
    void UpdateSortMarks();
    void PlaceIndicator();
    void NotifyItemChanged(int column);
    void MoveCursorTo(int displayRow);
    bool IsGroupRow(int displayRow) const;
    // The table and row of a display row for a column's part; null when out of range.
    CMemRecord* CellSource(int displayRow, int part, int* row) const;
    std::string CellText(int displayRow, int field, int part);
    void ToggleGroup(int displayRow);
    void ToggleCheckAt(int displayRow);
    bool OnMouseDown(UINT flags, POINT point);
    void OnMouseUp(UINT flags, POINT point);
    bool OnKey(UINT vk);
    LRESULT OnHeaderNotify(NMHDR* nm, bool* handled);
    void OnAnimationTimer();
    void UpdateToolTip(POINT point);
    // Row-height drag: whether the point is on a row's top or bottom edge.
    bool OnRowEdge(POINT point) const;
    void TrackRowHeight(POINT point);
    int ItemState(int row, UINT mask) const;
    COLORREF ListBkColor() const;
    COLORREF ListTextColor() const;
    int HeaderHeight() const;
    QRect RowsArea() const;
    int ClientWidth() const;
    int ClientHeight() const;
    void DrawHeader(CDC* dc, HWND header);
    int HeaderCheckState();
    // Layout persistence and export helpers (GridLayout.cpp, GridCommands.cpp).
    bool AttributesStored() const;
    void ApplyStoredFonts();
    void SetHeaderFontFrom(const LOGFONT& font);
    void Export(bool dbf);
    void CollectExport(pavlet::ExportTable* out);
    void ShowContextMenu(POINT screen);
    void AppendMenuEntries(HMENU menu);
    int ColumnAtX(int x) const;
    void RunColumnOrder();
    void RunListStyle();
    void RunFontDialog(bool header);
    void RemoveHeaderFont();
    void EndEdit(bool keep);
    void DropEdit();
    void OnCellClick(const NMITEMACTIVATE* click);

    // The drag limits of a row height: what SetItemHeight keeps.
    int MinRowHeight() const { return lineHeight_ + 3; }
    int MaxRowHeight() const { return lineHeight_ * 3; }

    CFixRecord* table_ = nullptr;
    CMemRecord* mem_ = nullptr;
    std::string layoutName_;
    uint32_t style_;
    int sortField_ = -1;
    bool sortDescending_ = false;

    // Extension block.
    bool setUp_ = false;
    int itemHeight_ = 20;
    int lineHeight_ = 15;
    int customHeight_ = 0;
    int headerHeight_ = 0;
    int imageWidth_ = 0;
    int imageHeight_ = 0;
    CFont listFont_;
    CFont boldFont_;
    std::unique_ptr<CFont> headerFont_;
    uint32_t misc_ = 0;
    POINT pressPoint_{};
    int pressRow_ = -1;
    int pressColumn_ = -1;
    COLORREF selBk_ = CLR_INVALID, selText_ = CLR_INVALID, sortedBk_ = CLR_INVALID;
    COLORREF headerBk_ = CLR_INVALID, headerText_ = CLR_INVALID;
    COLORREF gridColor_ = RGB(0xEB, 0xEB, 0xEB), headerGridColor_ = RGB(0xA0, 0xA0, 0xA0);
    int hotItem_ = -1;
    int pressedItem_ = -1;
    std::unique_ptr<CGridHeader> header_;
    std::unique_ptr<CWnd> indicator_;
    std::string prompt_;
    COLORREF promptColor_ = RGB(0xFF, 0x50, 0x50);
    std::string disabled_;

    // Filter: keep mark per table row as the rows were when it was set (empty: none).
    bool hasFilter_ = false;
    std::vector<uint8_t> filterKeep_;
    std::unique_ptr<CMemRecord> group_;
    std::vector<int> memberToGroup_;
    bool hasMap_ = false;
    std::vector<int> map_;
    std::vector<int> order_;  // the sorted view; empty: table order
    CFixRecord* headerPart_ = nullptr;
    CFixRecord* leafPart_ = nullptr;

    int colorField_ = -1, checkField_ = -1, imageField_ = -1, groupField_ = -1;
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
    CWnd* edit_ = nullptr;  // the in-place edit, which deletes itself
    int editRow_ = -1, editColumn_ = -1;
    HMENU trackedMenu_ = 0;
    bool dragging_ = false;
    bool sendingClick_ = false;
    int dragStartY_ = 0;
    int dragY_ = 0;

    friend class CGridHeader;
    friend class CGridEdit;
};

namespace pavlet {
// The rows of a table ordered by one field (numbers as numbers, texts in GBK byte order),
// stable in both directions; empty when there is nothing to order.
std::vector<int> SortedTableRows(CMemRecord* table, int field, bool descending);
// One item of a stored column order text: identity, optional width and flags. False when an
// item is not a number where one belongs.
struct ListOrderItem {
    unsigned identity = 0;
    int width = 0;
    int flags = 0;
};
bool ParseListOrderItem(std::string_view item, ListOrderItem* out);
// A list font stored under section/key, as applied: default character set, never underlined.
bool ReadStoredListFont(const std::string& section, const std::string& key, LOGFONT* font);
// The save dialog of the list exports; empty when cancelled.
std::string AskExportPath(HWND owner, bool dbf);
// The focused item of a report list (-1 none), and making one row the only selected and
// focused one, scrolled into view.
int FocusedListItem(HWND list);
// The report list's background and text colours (white and black before it exists), and the
// height of its header (0 while none is shown).
COLORREF ReportListBkColor(HWND list);
COLORREF ReportListTextColor(HWND list);
int ReportHeaderHeight(HWND header);
void FocusListItem(HWND list, int row);
// A stored list attribute text ("key=value" items): whether a key is there, its number, and a
// colour taken only when it is there and not negative.
class ListAttributes {
public:
    explicit ListAttributes(std::string_view text) : text_(text) {}
    bool Has(const char* key) const;
    int32_t Long(const char* key) const;
    bool Colour(const char* key, COLORREF* target) const;

private:
    std::string_view text_;
};
// The report list's background (also behind its texts) and text colours from "bkcolor" and
// "textcolor" of the attributes, each when it is there and not negative.
void ApplyReportListColours(HWND list, const ListAttributes& attributes);
// The rows a list shows: its source's rows, or the display map (group rows and expanded
// members) while one is in use.
int DisplayRowCount(const CMemRecord* source, bool mapped, const std::vector<int>& map);
// A shown row's map entry (a source row, or a group with GRID_GROUPROW); -1 past the end.
int DisplayRowEntry(const CMemRecord* source, bool mapped, const std::vector<int>& map,
                    int displayRow);
// The context menu of a library list: the parent is offered the pop-up first
// (WM_INITMENUPOPUP with the control id), *tracked names it while it shows (the list adds its
// own entries then); the chosen command, 0 when none or when the list went away.
UINT TrackListMenu(CWnd* list, POINT screen, HMENU* tracked);
// Where a WM_CONTEXTMENU's menu opens: at the point it carries, or for the keyboard's (-1, -1)
// at the list's top-left corner below its header.
POINT ContextMenuPoint(CWnd* list, LPARAM lParam, int headerHeight);
// After a right-button release (client point in lParam): the list has no context menu of its
// own, so the release asks for the library's (WM_CONTEXTMENU), unless the list went away.
void AskForContextMenu(HWND list, LPARAM lParam);
// Whether a WM_INITMENUPOPUP is the one of the pop-up the list tracks (not a sub-menu).
bool IsTrackedListMenu(HMENU tracked, WPARAM wParam, LPARAM lParam);
// A menu choice that the list does not answer itself: from GRID_PARENT_COMMAND_FIRST on the
// parent's WM_COMMAND, below it the list's own WM_GRID_COMMAND with the column.
void PostListMenuChoice(HWND list, UINT chosen, int column);
// Moves a cell tool tip to the cell under a point (display row and column, -1 none).
void MoveCellToolTip(CWnd* list, CWnd* tip, int row, int column, int* tipRow, int* tipColumn);
// Builds and writes an export file, telling the user in a message box when it fails.
bool SaveExportFile(HWND owner, const std::string& path, const ExportTable& table, bool dbf);
}  // namespace pavlet
