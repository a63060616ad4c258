// CFlexListCtrl's data half: binding, the sorted and filtered view with detail groups, columns
// and their widths, layout persistence, export, mouse, keys and commands.
#include "flexui/FlexListCtrl.h"

#include <QAbstractScrollArea>
#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>
#include <charconv>
#include <unordered_map>

#include "flexui/ColumnOrderDlg.h"
#include "flexui/GridExport.h"
#include "flexui/RowSpaceDlg.h"
#include "platform/core/Clock.h"
#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dc.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Messages.h"
#include "platform/ui/ProfileCodecs.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/ToolTip.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"
#include "platform/ui/WindowLayer.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/StringHelpers.h"

namespace {

constexpr const char* kOrderSection = "LISTORDER";
constexpr const char* kAttributeSection = "LISTCTRL";
constexpr const char* kFontSection = "LISTFONT";
constexpr int kBoxWidth = CFlexHeaderCtrl::kExpanderWidth;
constexpr int kMaxColumns = 256;
constexpr int kMaxWidth = 32767;
constexpr UINT_PTR kAnimationTimer = 0x464C;
constexpr uint32_t kGroupExpanded = GRID_GROUP_EXPANDED;
constexpr uint32_t kGroupFixed = GRID_GROUP_FIXED;

int gRowSpace = 4;

int XOf(LPARAM lParam) { return GET_X_LPARAM(lParam); }
int YOf(LPARAM lParam) { return GET_Y_LPARAM(lParam); }

bool IsPseudoName(const std::string& name) {
    return name == "checkbox" || name == "image" || name == "group" || name == "color";
}

std::string FieldName(CMemRecord* table, int field) {
    std::string name;
    if (field == FLEXLIST_ROWNUMBER) return "序号";
    if (!table || !table->GetFieldInfo(field, &name, nullptr, nullptr, nullptr, nullptr)) return {};
    return name;
}

// The row indicator: "focused/count" on a light yellow ground.
class CFlexIndicator : public CWnd {
protected:
    void OnPaint() override {
        CPaintDC dc(this);
        RECT r;
        GetClientRect(&r);
        dc.FillSolidRect(&r, RGB(0xFF, 0xF0, 0xC2));
        CFont* old = dc.SelectObject(static_cast<CFont*>(GetStockObject(DEFAULT_GUI_FONT)));
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
        dc.DrawText(GetWindowText(), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (old) dc.SelectObject(old);
    }
};

}  // namespace

// ---------------------------------------------------------------- window

CFlexListCtrl::CFlexListCtrl() = default;

CFlexListCtrl::~CFlexListCtrl() {
    if (m_hWnd) DestroyWindow();
}

int CFlexListCtrl::SetRowSpace(int space) {
    const int previous = gRowSpace;
    gRowSpace = std::clamp(space, 0, 255);
    return previous;
}

BOOL CFlexListCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    style = (style | LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_OWNERDATA | WS_BORDER) & ~0x0002u;
    if (!CWnd::CreateEx(0, "SysListView32", "", style, rect, parent, id)) return FALSE;
    SetUp();
    return TRUE;
}

BOOL CFlexListCtrl::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!CWnd::SubclassDlgItem(id, parent)) return FALSE;
    if (GetClassName() != "SysListView32") {
        UnsubclassWindow();
        return FALSE;
    }
    ModifyStyle(0x0002, LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_OWNERDATA);
    SetUp();
    return TRUE;
}

HWND CFlexListCtrl::GetHeaderHwnd() const {
    return m_hWnd ? static_cast<HWND>(::SendMessage(m_hWnd, LVM_GETHEADER, 0, 0)) : 0;
}

bool CFlexListCtrl::HasHeader() const {
    return m_hWnd && !(GetStyle() & LVS_NOCOLUMNHEADER) && GetHeaderHwnd();
}

void CFlexListCtrl::SetUp() {
    if (setUp_) return;
    setUp_ = true;
    LOGFONT font{};
    CWnd* parent = GetParent();
    auto* parentFont =
        parent ? reinterpret_cast<CFont*>(parent->SendMessage(WM_GETFONT, 0, 0)) : nullptr;
    if (!parentFont || !parentFont->IsCreated())
        parentFont = static_cast<CFont*>(GetStockObject(DEFAULT_GUI_FONT));
    if (parentFont) parentFont->GetLogFont(&font);
    MakeFonts(font);
    header_ = std::make_unique<CFlexHeaderCtrl>(this);
    if (HWND header = GetHeaderHwnd()) {
        header_->SubclassWindow(header);
    }
    indicator_ = std::make_unique<CFlexIndicator>();
    indicator_->Create(nullptr, "", WS_CHILD, RECT{0, 0, 10, 10}, this, 0xFFF0);
    const DWORD ex = LVS_EX_FULLROWSELECT | ((style_ & FLS_HEADERDRAG) ? LVS_EX_HEADERDRAGDROP : 0);
    ::SendMessage(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(ex));
    MeasureLine();
}

void CFlexListCtrl::TearDown() {
    if (!setUp_) return;
    setUp_ = false;
    if (animationTimer_) KillTimer(kAnimationTimer);
    animationTimer_ = false;
    animations_.clear();
    if (header_ && header_->m_hWnd) header_->UnsubclassWindow();
    header_.reset();
    if (indicator_ && indicator_->m_hWnd) indicator_->DestroyWindow();
    indicator_.reset();
    if (toolTip_ && toolTip_->m_hWnd) toolTip_->DestroyWindow();
    toolTip_.reset();
    group_.reset();
    map_.clear();
    hasMap_ = false;
}

void CFlexListCtrl::MakeFonts(const LOGFONT& font) {
    LOGFONT copy = font;
    copy.lfUnderline = 0;
    viewFont_.DeleteObject();
    viewFont_.CreateFontIndirect(&copy);
    copy.lfUnderline = 1;
    linkFont_.DeleteObject();
    linkFont_.CreateFontIndirect(&copy);
    copy.lfUnderline = 0;
    copy.lfWeight = 900;
    boldFont_.DeleteObject();
    boldFont_.CreateFontIndirect(&copy);
    const QFont qfont = viewFont_.Font();
    if (QFontInfo(qfont).fixedPitch())
        style_ |= FLS_FIXEDPITCH;
    else
        style_ &= ~FLS_FIXEDPITCH;
    const QFontMetrics metrics(qfont);
    avgCharWidth_ = std::max(1, metrics.averageCharWidth());
}

void CFlexListCtrl::MeasureLine() {
    const QFontMetrics metrics(viewFont_.Font());
    lineHeight_ = std::max(metrics.height() + std::max(0, metrics.leading()), imageHeight_);
    itemHeight_ =
        customHeight_ > 0 ? std::max(customHeight_, lineHeight_) : lineHeight_ + rowSpace_;
    // The list asks for the row height again (WM_MEASUREITEM) and lays out its header.
    if (m_hWnd) CWnd::WindowProc(WM_WINDOWPOSCHANGED, 0, 0);
}

COLORREF CFlexListCtrl::GetListBkColor() const { return pavlet::ReportListBkColor(m_hWnd); }
COLORREF CFlexListCtrl::ListTextColor() const { return pavlet::ReportListTextColor(m_hWnd); }
int CFlexListCtrl::HeaderHeight() const { return pavlet::ReportHeaderHeight(GetHeaderHwnd()); }

int CFlexListCtrl::ClientWidth() const {
    auto* area = m_hWnd ? qobject_cast<QAbstractScrollArea*>(GetWidget()) : nullptr;
    return area ? area->viewport()->width() : 0;
}

int CFlexListCtrl::ClientHeight() const {
    auto* area = m_hWnd ? qobject_cast<QAbstractScrollArea*>(GetWidget()) : nullptr;
    return area ? area->viewport()->height() + HeaderHeight() : 0;
}

// ---------------------------------------------------------------- binding

void CFlexListCtrl::SetRecord(CFixRecord* table, const char* layoutName, unsigned sortId,
                              BOOL descending) {
    CMemRecord* mem = table ? table->GetMemRecord() : nullptr;
    Bind(mem ? table : nullptr, mem, layoutName, (mem && sortId) ? mem->FindIndex(sortId) : -1,
         descending);
}

void CFlexListCtrl::SetRecord(CMemRecord* table, const char* layoutName, int sortField,
                              BOOL descending) {
    Bind(nullptr, table, layoutName, table ? sortField : -1, descending);
}

void CFlexListCtrl::Bind(CFixRecord* fix, CMemRecord* mem, const char* layoutName, int sortField,
                         BOOL descending) {
    table_ = fix;
    mem_ = mem;
    layoutName_ = layoutName ? layoutName : "";
    sortField_ = (mem_ && sortField >= 0 && sortField < mem_->GetFCount()) ? sortField : -1;
    sortDescending_ = descending != FALSE;
    hasFilter_ = false;
    filterKeep_.clear();
    group_.reset();
    memberToGroup_.clear();
    hyperlinks_.clear();
    style_ &= ~FLS_GROUPACTIVE;
    rowSpace_ = gRowSpace;
    customHeight_ = 0;
    FindPseudoFields();
    ReadStoredLayout();
    Refresh(0);
}

void CFlexListCtrl::FindPseudoFields() {
    colorField_ = checkField_ = imageField_ = groupField_ = -1;
    style_ &= ~(FLS_HASCOLOR | FLS_HASCHECKBOX | FLS_HASIMAGE);
    if (!mem_) return;
    // Pseudo-fields count at any position.
    colorField_ = mem_->FindIndex("color");
    checkField_ = mem_->FindIndex("checkbox");
    imageField_ = mem_->FindIndex("image");
    groupField_ = mem_->FindIndex("group");
    if (colorField_ >= 0) style_ |= FLS_HASCOLOR;
    if (checkField_ >= 0) style_ |= FLS_HASCHECKBOX;
    if (imageField_ >= 0) style_ |= FLS_HASIMAGE;
}

std::vector<int> CFlexListCtrl::OfferedFields() const {
    std::vector<int> fields;
    if (!mem_) return fields;
    const int count = mem_->GetFCount();
    // The ordinary fields before the first pseudo-field.
    for (int field = 0; field < count && static_cast<int>(fields.size()) < kMaxColumns; ++field) {
        if (IsPseudoName(FieldName(mem_, field))) break;
        fields.push_back(field);
    }
    return fields;
}

void CFlexListCtrl::ReadStoredLayout() {
    columns_.clear();
    if (style_ & FLS_ROWNUMBER) columns_.push_back(FLEXLIST_ROWNUMBER);
    for (int field : OfferedFields()) columns_.push_back(field);
    dataWidth_.assign(mem_ ? static_cast<size_t>(mem_->GetFCount()) : 0, 0);
    if (!m_hWnd) return;
    if (!layoutName_.empty()) {
        const std::string text =
            pavlet::ReadPrivateConfigure(kAttributeSection, layoutName_, nullptr);
        if (!text.empty()) SetAttribute(text.c_str());
        LOGFONT font;
        if (!(style_ & FLS_NOFONT) && pavlet::ReadStoredListFont(kFontSection, layoutName_, &font))
            SetViewFont(&font);
    }
    MeasureWidths();
    SetHeaderItems();
    LayOutColumns(true);
    if (!layoutName_.empty() && mem_ && HasHeader()) {
        const std::string order = pavlet::ReadPrivateConfigure(kOrderSection, layoutName_, nullptr);
        if (!order.empty()) SetColumnOrder(order.c_str(), FALSE);
    }
}

void CFlexListCtrl::SetFilterFunctor(GridFilterFunctor keep, void* user) {
    hasFilter_ = false;
    filterKeep_.clear();
    if (mem_ && keep) {
        const int count = mem_->GetCount();
        filterKeep_.assign(static_cast<size_t>(std::max(count, 0)), 0);
        CFixRecord view(mem_);
        for (int row = 0; row < count; ++row)
            filterKeep_[static_cast<size_t>(row)] =
                keep(table_ ? table_ : &view, row, user) ? 1 : 0;
        // A filter that keeps no row shows no row (and the blank prompt), never every row.
        hasFilter_ = true;
    }
    Refresh(0);
}

void CFlexListCtrl::SetMapDetail(const char* identities) {
    std::unique_ptr<CMemRecord> previous = std::move(group_);
    memberToGroup_.clear();
    style_ &= ~FLS_GROUPACTIVE;
    std::vector<int> fields;
    if (mem_ && groupField_ >= 0 && identities) {
        std::string_view rest(identities);
        while (!rest.empty()) {
            const size_t comma = rest.find(',');
            const std::string_view item = rest.substr(0, comma);
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
            unsigned id = 0;
            auto [p, ec] = std::from_chars(item.data(), item.data() + item.size(), id);
            if (ec == std::errc() && p == item.data() + item.size())
                if (const int field = mem_->FindIndex(id); field >= 0) fields.push_back(field);
        }
    }
    if (fields.empty()) {
        Refresh(0);
        return;
    }
    const int count = mem_->GetCount();
    int width = 0;
    mem_->GetFieldInfo(groupField_, nullptr, nullptr, &width, nullptr, nullptr);
    for (int row = 0; row < count; ++row) {
        std::string key;
        for (int field : fields) {
            key += mem_->GetItemText(field, row);
            key += '&';
        }
        if (width > 0 && key.size() > static_cast<size_t>(width))
            key.resize(platform::CutToGbkBudget(key, static_cast<size_t>(width)));
        mem_->Set(groupField_, std::string_view(key), row);
    }
    auto table = std::make_unique<CMemRecord>();
    table->GroupFrom(mem_, groupField_);
    const int keyField = table->FindIndex("group");
    const int oldField = previous ? previous->FindIndex("group") : -1;
    const int groups = table->GetCount();
    for (int g = 0; g < groups; ++g) {
        bool expanded = true;
        if (oldField >= 0 && keyField >= 0) {
            const std::string key = table->GetItemText(keyField, g);
            const int old = previous->Locate(oldField, key.c_str());
            if (old >= 0) expanded = (previous->GetItemExtendStyle(old) & kGroupExpanded) != 0;
        }
        table->SetItemExtendStyle(0xFFFFFFFFu, expanded ? kGroupExpanded : 0, g);
    }
    group_ = std::move(table);
    style_ |= FLS_GROUPACTIVE;
    Refresh(0);
}

// ---------------------------------------------------------------- the view

void CFlexListCtrl::SortAndMap() {
    std::vector<int> order;
    if (mem_ && sortField_ >= 0) order = pavlet::SortedTableRows(mem_, sortField_, sortDescending_);
    if (group_ && sortField_ >= 0 && sortField_ < group_->GetFCount() && group_->GetCount() > 1)
        group_->Sort(sortField_, !sortDescending_);
    map_.clear();
    hasMap_ = false;
    if (!mem_) return;
    const int count = mem_->GetCount();
    auto kept = [&](int row) {
        return !hasFilter_ || (static_cast<size_t>(row) < filterKeep_.size() &&
                               filterKeep_[static_cast<size_t>(row)]);
    };
    std::vector<int> rows;
    rows.reserve(static_cast<size_t>(std::max(count, 0)));
    if (!order.empty()) {
        for (int row : order)
            if (row < count && kept(row)) rows.push_back(row);
    } else {
        for (int row = 0; row < count; ++row)
            if (kept(row)) rows.push_back(row);
    }
    if (!group_) {
        if (hasFilter_ || !order.empty()) {
            hasMap_ = true;
            map_ = std::move(rows);
        }
        return;
    }
    // Members by group, in display order.
    const int groups = group_->GetCount();
    const int keyField = group_->FindIndex("group");
    std::unordered_map<std::string, int> byKey;
    for (int g = 0; g < groups; ++g) byKey.emplace(group_->GetItemText(keyField, g), g);
    memberToGroup_.assign(static_cast<size_t>(std::max(count, 0)), -1);
    for (int row = 0; row < count; ++row) {
        auto it = byKey.find(mem_->GetItemText(groupField_, row));
        if (it != byKey.end()) memberToGroup_[static_cast<size_t>(row)] = it->second;
    }
    std::vector<std::vector<int>> members(static_cast<size_t>(std::max(groups, 0)));
    for (int row : rows) {
        const int g = memberToGroup_[static_cast<size_t>(row)];
        if (g >= 0) members[static_cast<size_t>(g)].push_back(row);
    }
    hasMap_ = true;
    for (int g = 0; g < groups; ++g) {
        const auto& list = members[static_cast<size_t>(g)];
        if (list.empty() && hasFilter_) continue;  // the filter took every member
        map_.push_back(g | GRID_GROUPROW);
        // A group of one member or none is never expandable.
        const bool fixed = list.size() <= 1;
        group_->SetItemExtendStyle(kGroupFixed, fixed ? kGroupFixed : 0, g);
        if (fixed || !(group_->GetItemExtendStyle(g) & kGroupExpanded)) continue;
        map_.insert(map_.end(), list.begin(), list.end());
    }
}

int CFlexListCtrl::GetViewCount() const { return pavlet::DisplayRowCount(mem_, hasMap_, map_); }

int CFlexListCtrl::GetMapRecno(int displayRow) const {
    return pavlet::DisplayRowEntry(mem_, hasMap_, map_, displayRow);
}

bool CFlexListCtrl::IsGroupRow(int displayRow) const {
    const int entry = GetMapRecno(displayRow);
    return entry >= 0 && (entry & GRID_GROUPROW) && group_;
}

CMemRecord* CFlexListCtrl::Source(int displayRow, int* row) const {
    const int entry = GetMapRecno(displayRow);
    if (row) *row = -1;
    if (entry < 0) return nullptr;
    CMemRecord* table = (entry & GRID_GROUPROW) ? group_.get() : mem_;
    const int r = entry & GRID_ROWMASK;
    // Other threads change the row count between calls: checked at every use.
    if (!table || r >= table->GetCount()) return nullptr;
    if (row) *row = r;
    return table;
}

std::string CFlexListCtrl::CellText(int displayRow, int field) const {
    int row = -1;
    CMemRecord* table = Source(displayRow, &row);
    if (!table || field < 0) return {};
    if (field == FLEXLIST_ROWNUMBER)
        return table == mem_ ? platform::FormatInt(row + 1) : std::string();
    if (field >= table->GetFCount()) return {};
    if (table == mem_ && textFn_) {
        CFixRecord view(mem_);
        if (const char* text = textFn_(table_ ? table_ : &view, row, field, textUser_)) return text;
    }
    return table->GetItemText(field, row);
}

std::string CFlexListCtrl::GetRecordText(int column, int displayRow) const {
    if (column < 0 || column >= GetColumnCount()) return {};
    return CellText(displayRow, columns_[static_cast<size_t>(column)]);
}

int CFlexListCtrl::GetRecordCheckImage(int displayRow) const {
    int row = -1;
    CMemRecord* table = Source(displayRow, &row);
    if (!table || checkField_ < 0) return 0;
    if (table == mem_) return mem_->GetLong(checkField_, row) & 1;
    // A group row: all, some or none of its members.
    int members = 0, checked = 0;
    for (size_t m = 0; m < memberToGroup_.size(); ++m)
        if (memberToGroup_[m] == row && static_cast<int>(m) < mem_->GetCount()) {
            ++members;
            if (mem_->GetLong(checkField_, static_cast<int>(m)) & 1) ++checked;
        }
    return checked == 0 ? 0 : (checked == members ? 1 : 2);
}

void CFlexListCtrl::SetRecordCheckImage(int check, int displayRow) {
    int row = -1;
    CMemRecord* table = Source(displayRow, &row);
    if (!table || checkField_ < 0) return;
    const int32_t value = check & 1;
    if (table == mem_) {
        mem_->Set(checkField_, value, row);
        return;
    }
    const int count = mem_->GetCount();
    for (int m = 0; m < count && static_cast<size_t>(m) < memberToGroup_.size(); ++m)
        if (memberToGroup_[static_cast<size_t>(m)] == row) mem_->Set(checkField_, value, m);
}

int CFlexListCtrl::GetCheckCount() const {
    const int count = GetViewCount();
    int checked = 0;
    for (int row = 0; row < count; ++row)
        if (!IsGroupRow(row) && (GetRecordCheckImage(row) & 1)) ++checked;
    return checked;
}

int CFlexListCtrl::GetCtrlCheckImage() const {
    const int count = GetViewCount();
    int members = 0, checked = 0;
    for (int row = 0; row < count; ++row) {
        const int image = GetRecordCheckImage(row);
        if (IsGroupRow(row)) {
            // Collapsed members count through their group row.
            if (image == 2) return 2;
            ++members;
            if (image == 1) ++checked;
            continue;
        }
        ++members;
        if (image & 1) ++checked;
    }
    return checked == 0 ? 0 : (checked == members ? 1 : 2);
}

void CFlexListCtrl::SetCheckAll(BOOL check) {
    const int count = GetViewCount();
    for (int row = 0; row < count; ++row) SetRecordCheckImage(check ? 1 : 0, row);
    if (m_hWnd) Invalidate(FALSE);
    if (HWND header = GetHeaderHwnd()) ::InvalidateRect(header, nullptr, FALSE);
}

// ---------------------------------------------------------------- columns and widths

int CFlexListCtrl::GetFieldIndex(int column) const {
    return (column >= 0 && column < GetColumnCount()) ? columns_[static_cast<size_t>(column)] : -1;
}

int CFlexListCtrl::GetColumnIndex(int field) const {
    const auto it = std::find(columns_.begin(), columns_.end(), field);
    return it == columns_.end() ? -1 : static_cast<int>(it - columns_.begin());
}

int CFlexListCtrl::FirstDataColumn() const { return (style_ & FLS_ROWNUMBER) ? 1 : 0; }

int CFlexListCtrl::Margin() const { return ((style_ & FLS_COMPACT) || !HasHeader()) ? 6 : 2; }

int CFlexListCtrl::MeasureText(const std::string& text) const {
    if (style_ & FLS_FIXEDPITCH)
        return static_cast<int>(platform::Utf8ToGbk(text).size()) * avgCharWidth_;
    return QFontMetrics(viewFont_.Font()).horizontalAdvance(QString::fromStdString(text));
}

int CFlexListCtrl::GetDataWidth(int field) const {
    return (field >= 0 && static_cast<size_t>(field) < dataWidth_.size())
               ? dataWidth_[static_cast<size_t>(field)]
               : 0;
}

void CFlexListCtrl::MeasureWidths() {
    if (!mem_) return;
    dataWidth_.assign(static_cast<size_t>(mem_->GetFCount()), 0);
    const int rows = GetViewCount();
    const QFontMetrics bold(boldFont_.Font());
    // Columns repeat their texts (kinds, directions, prices): each is measured once.
    std::unordered_map<std::string, int> plain, strong;
    auto measure = [&](const std::string& text, bool group) {
        auto& cache = group ? strong : plain;
        if (auto it = cache.find(text); it != cache.end()) return it->second;
        // Group rows are shown in the bold font.
        const int width = group && !(style_ & FLS_FIXEDPITCH)
                              ? bold.horizontalAdvance(QString::fromStdString(text))
                              : MeasureText(text);
        cache.emplace(text, width);
        return width;
    };
    for (int field : columns_) {
        if (field == FLEXLIST_ROWNUMBER || field < 0 || field >= mem_->GetFCount()) continue;
        int widest = 0;
        for (int row = 0; row < rows; ++row)
            widest = std::max(widest, measure(CellText(row, field), IsGroupRow(row)));
        dataWidth_[static_cast<size_t>(field)] = widest;
    }
}

int CFlexListCtrl::GetColumnMinWidth(int column) const {
    const int field = GetFieldIndex(column);
    if (field < 0) return 0;
    // The caption is measured in the header's font and also clears its divider pixel.
    int caption = MeasureText(FieldName(mem_, field));
    if (HWND header = GetHeaderHwnd())
        if (auto* font = reinterpret_cast<CFont*>(::SendMessage(header, WM_GETFONT, 0, 0));
            font && font->IsCreated())
            caption = std::max(
                caption, QFontMetrics(font->Font())
                             .horizontalAdvance(QString::fromStdString(FieldName(mem_, field))));
    int width = std::max(caption + 1, field == FLEXLIST_ROWNUMBER
                                          ? MeasureText(platform::FormatInt(GetViewCount()))
                                          : GetDataWidth(field));
    if (column == FirstDataColumn()) {
        if (style_ & FLS_GROUPACTIVE) width += kBoxWidth;
        if (style_ & FLS_HASCHECKBOX) width += kBoxWidth;
        if (smallImages_) width += imageWidth_;
    }
    return width + 2 * Margin();
}

void CFlexListCtrl::SetHeaderItems() {
    HWND header = GetHeaderHwnd();
    if (!m_hWnd || !header) return;
    int existing = static_cast<int>(::SendMessage(header, HDM_GETITEMCOUNT, 0, 0));
    const int wanted = GetColumnCount();
    while (existing > wanted) ::SendMessage(m_hWnd, LVM_DELETECOLUMN, --existing, 0);
    for (int c = 0; c < wanted; ++c) {
        const int field = columns_[static_cast<size_t>(c)];
        std::string caption = FieldName(mem_, field);
        char type = 'C';
        if (mem_ && field < mem_->GetFCount()) type = mem_->GetFieldType(field);
        const bool right = field == FLEXLIST_ROWNUMBER || type == 'I' || type == 'R';
        if (c >= existing) {
            LVCOLUMN lv;
            lv.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
            lv.pszText = caption.data();
            lv.fmt = right ? LVCFMT_RIGHT : LVCFMT_LEFT;
            lv.cx = GetColumnMinWidth(c);
            ::SendMessage(m_hWnd, LVM_INSERTCOLUMN, static_cast<WPARAM>(c),
                          reinterpret_cast<LPARAM>(&lv));
            ++existing;
        }
        HDITEM item;
        item.mask = HDI_TEXT | HDI_FORMAT | HDI_LPARAM;
        item.pszText = caption.data();
        item.fmt = (right ? HDF_RIGHT : HDF_LEFT) | HDF_STRING;
        item.lParam =
            (field & 0x3FF) |
            (field == sortField_ ? (sortDescending_ ? FLEXHDR_SORTDESC : FLEXHDR_SORTASC) : 0) |
            (std::find(hyperlinks_.begin(), hyperlinks_.end(), field) != hyperlinks_.end()
                 ? FLEXHDR_HYPERLINK
                 : 0);
        ::SendMessage(header, HDM_SETITEM, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
    }
}

void CFlexListCtrl::LayOutColumns(bool widen) {
    if (!m_hWnd) return;
    if (style_ & FLS_FITCLIENT) {
        FitToClient();
        return;
    }
    for (int c = 0; c < GetColumnCount(); ++c) {
        const int min = GetColumnMinWidth(c);
        const int now = static_cast<int>(::SendMessage(m_hWnd, LVM_GETCOLUMNWIDTH, c, 0));
        if (widen ? now != min : now < min)
            ::SendMessage(m_hWnd, LVM_SETCOLUMNWIDTH, c, MAKELPARAM(static_cast<WORD>(min), 0));
    }
}

void CFlexListCtrl::FitToClient() {
    const int n = GetColumnCount();
    if (!m_hWnd || n == 0) return;
    int client = ClientWidth();
    int first = 0;
    std::vector<int> widths(static_cast<size_t>(n), 0);
    // The row-number column keeps its minimum width.
    if (columns_[0] == FLEXLIST_ROWNUMBER) {
        widths[0] = GetColumnMinWidth(0);
        client -= widths[0];
        first = 1;
    }
    int taken = 0, sum = 0;
    for (int c = first; c < n; ++c) {
        const int min = GetColumnMinWidth(c);
        if (taken > 0 && sum + min > client) break;
        widths[static_cast<size_t>(c)] = min;
        sum += min;
        ++taken;
    }
    if (taken > 0 && client > sum) {
        const int extra = (client - sum) / taken;  // the remainder stays unused
        for (int c = first; c < first + taken; ++c) widths[static_cast<size_t>(c)] += extra;
    }
    for (int c = 0; c < n; ++c)
        ::SendMessage(m_hWnd, LVM_SETCOLUMNWIDTH, c,
                      MAKELPARAM(static_cast<WORD>(widths[static_cast<size_t>(c)]), 0));
}

void CFlexListCtrl::AdjustField(int column) {
    if (!m_hWnd || column < 0 || column >= GetColumnCount()) return;
    ::SendMessage(m_hWnd, LVM_SETCOLUMNWIDTH, column,
                  MAKELPARAM(static_cast<WORD>(GetColumnMinWidth(column)), 0));
}

std::string CFlexListCtrl::GetColumnOrder() const {
    std::string text;
    if (!mem_) return text;
    for (int c = 0; c < GetColumnCount(); ++c) {
        const int field = columns_[static_cast<size_t>(c)];
        if (field == FLEXLIST_ROWNUMBER) continue;
        const int width =
            m_hWnd ? static_cast<int>(::SendMessage(m_hWnd, LVM_GETCOLUMNWIDTH, c, 0)) : 0;
        if (!text.empty()) text += ',';
        text +=
            platform::FormatInt(mem_->GetFieldIDentity(field)) + ":" + platform::FormatInt(width);
    }
    return text;
}

void CFlexListCtrl::SaveColumnOrder() {
    if (layoutName_.empty() || !mem_ || (style_ & FLS_FITCLIENT)) return;
    pavlet::WritePrivateConfigure(kOrderSection, layoutName_, GetColumnOrder());
}

void CFlexListCtrl::SetColumnOrder(const char* text, BOOL keepWidths) {
    if (!mem_ || !text) return;
    const std::vector<int> offered = OfferedFields();
    struct Listed {
        int field;
        int width;
    };
    std::vector<Listed> listed;
    std::string_view rest(text);
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        if (item.empty()) continue;
        pavlet::ListOrderItem parsed;
        const int field =
            pavlet::ParseListOrderItem(item, &parsed) ? mem_->FindIndex(parsed.identity) : -1;
        // A field the table lacks, or one outside the columns: the text no longer describes
        // this table and is dropped as a whole.
        if (field < 0 || std::find(offered.begin(), offered.end(), field) == offered.end()) return;
        if (std::none_of(listed.begin(), listed.end(),
                         [&](const Listed& l) { return l.field == field; }))
            listed.push_back(Listed{field, parsed.width});
    }
    if (listed.empty()) return;
    std::unordered_map<int, int> current;
    if (m_hWnd)
        for (int c = 0; c < GetColumnCount(); ++c)
            current[columns_[static_cast<size_t>(c)]] =
                static_cast<int>(::SendMessage(m_hWnd, LVM_GETCOLUMNWIDTH, c, 0));
    columns_.clear();
    if (style_ & FLS_ROWNUMBER) columns_.push_back(FLEXLIST_ROWNUMBER);
    for (const Listed& l : listed) columns_.push_back(l.field);
    MeasureWidths();
    SetHeaderItems();
    if (!m_hWnd) return;
    if (style_ & FLS_FITCLIENT) {
        FitToClient();
        return;
    }
    for (int c = 0; c < GetColumnCount(); ++c) {
        const int field = columns_[static_cast<size_t>(c)];
        const auto it = std::find_if(listed.begin(), listed.end(),
                                     [&](const Listed& l) { return l.field == field; });
        const auto now = current.find(field);
        int width = it != listed.end() ? it->width : 0;
        if (keepWidths && now != current.end()) width = now->second;
        if (width <= 0 || width > kMaxWidth)
            width = now != current.end() ? now->second : GetColumnMinWidth(c);
        ::SendMessage(m_hWnd, LVM_SETCOLUMNWIDTH, c, MAKELPARAM(static_cast<WORD>(width), 0));
    }
    if (style_ & FLS_MINWIDTH) LayOutColumns(false);
    Invalidate(FALSE);
}

void CFlexListCtrl::MoveField(int from, int to) {
    const int n = GetColumnCount();
    if (!mem_ || from < 0 || from >= n || to < 0 || to >= n || from == to) return;
    std::vector<int> order = columns_;
    std::vector<int> widths;
    for (int c = 0; c < n; ++c)
        widths.push_back(m_hWnd ? static_cast<int>(::SendMessage(m_hWnd, LVM_GETCOLUMNWIDTH, c, 0))
                                : 0);
    const int field = order[static_cast<size_t>(from)];
    const int width = widths[static_cast<size_t>(from)];
    order.erase(order.begin() + from);
    widths.erase(widths.begin() + from);
    order.insert(order.begin() + to, field);
    widths.insert(widths.begin() + to, width);
    std::string text;
    for (size_t c = 0; c < order.size(); ++c) {
        if (order[c] == FLEXLIST_ROWNUMBER) continue;
        if (!text.empty()) text += ',';
        text += platform::FormatInt(mem_->GetFieldIDentity(order[c])) + ":" +
                platform::FormatInt(widths[c]);
    }
    SetColumnOrder(text.c_str(), FALSE);
    SaveColumnOrder();
}

void CFlexListCtrl::SetFieldHyperlink(int field, BOOL on) {
    auto it = std::find(hyperlinks_.begin(), hyperlinks_.end(), field);
    if (on && it == hyperlinks_.end()) hyperlinks_.push_back(field);
    if (!on && it != hyperlinks_.end()) hyperlinks_.erase(it);
    SetHeaderItems();
    if (m_hWnd) Invalidate(FALSE);
}

bool CFlexListCtrl::IsHyperlinkColumn(int column) const {
    HWND header = GetHeaderHwnd();
    if (!header || column < 0 || column >= GetColumnCount()) return false;
    HDITEM item;
    item.mask = HDI_LPARAM;
    item.lParam = 0;
    ::SendMessage(header, HDM_GETITEM, static_cast<WPARAM>(column),
                  reinterpret_cast<LPARAM>(&item));
    return (item.lParam & FLEXHDR_HYPERLINK) != 0;
}

void CFlexListCtrl::ResizeToFit(BOOL fitHeight, BOOL fitWidth) {
    if (!m_hWnd) return;
    RECT window{};
    GetWindowRect(&window);
    int width = window.right - window.left;
    int height = window.bottom - window.top;
    // The view: the columns side by side and the rows under the header; the frame around the
    // client area stays, the scroll bars go.
    if (fitWidth) {
        int columns = 0;
        for (int c = 0; c < GetColumnCount(); ++c)
            columns += static_cast<int>(::SendMessage(m_hWnd, LVM_GETCOLUMNWIDTH, c, 0));
        width += columns - ClientWidth();
    }
    if (fitHeight) height += HeaderHeight() + GetViewCount() * itemHeight_ - ClientHeight();
    SetWindowPos(nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------- refresh

void CFlexListCtrl::Refresh(int) {
    if (!m_hWnd) return;
    const int focused = GetActiveItem();
    SortAndMap();
    const int rows = GetViewCount();
    ::SendMessage(m_hWnd, LVM_SETITEMCOUNT, static_cast<WPARAM>(rows), LVSICF_NOSCROLL);
    MeasureWidths();
    SetHeaderItems();
    if (style_ & FLS_FITCLIENT)
        FitToClient();
    else if (style_ & FLS_MINWIDTH)
        LayOutColumns(false);
    if (rows > 0) {
        const int keep = (focused >= 0 && focused < rows) ? focused : 0;
        if (GetActiveItem() != keep) {
            LVITEM state;
            state.state = LVIS_FOCUSED | LVIS_SELECTED;
            state.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
            ::SendMessage(m_hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(keep),
                          reinterpret_cast<LPARAM>(&state));
        }
        focusRow_ = keep;
        MoveCursorTo(keep);
    } else {
        focusRow_ = -1;
    }
    PlaceIndicator();
    if (HWND header = GetHeaderHwnd()) ::InvalidateRect(header, nullptr, FALSE);
    Invalidate(FALSE);
}

void CFlexListCtrl::FreshItem(int row, int column) {
    if (!m_hWnd || row < 0 || row >= GetViewCount()) return;
    ::SendMessage(m_hWnd, LVM_REDRAWITEMS, static_cast<WPARAM>(row), row);
    (void)column;
}

void CFlexListCtrl::MoveCursorTo(int displayRow) {
    int row = -1;
    if (Source(displayRow, &row) == mem_ && mem_) mem_->Go(row);
}

int CFlexListCtrl::GetActiveItem() const { return pavlet::FocusedListItem(m_hWnd); }

void CFlexListCtrl::SetActiveItem(int row) {
    if (!m_hWnd || row < 0 || row >= GetViewCount()) return;
    pavlet::FocusListItem(m_hWnd, row);
    focusRow_ = row;
    MoveCursorTo(row);
    PlaceIndicator();
}

void CFlexListCtrl::NotifyItemChanged(int column) {
    NMLISTVIEW nm;
    nm.iItem = GetActiveItem();
    nm.iSubItem = column;
    nm.uNewState = nm.iItem >= 0
                       ? static_cast<UINT>(::SendMessage(m_hWnd, LVM_GETITEMSTATE,
                                                         static_cast<WPARAM>(nm.iItem), 0xFFFF))
                       : 0;
    nm.uChanged = LVIF_STATE;
    platform::ui::SendNotify(m_hWnd, LVN_ITEMCHANGED, &nm.hdr);
}

void CFlexListCtrl::SortColumn(int column, int mode) {
    const int field = GetFieldIndex(column);
    if (!mem_ || field < 0 || field == FLEXLIST_ROWNUMBER) return;
    if (mode == 1)
        sortDescending_ = false;
    else if (mode == 2)
        sortDescending_ = true;
    else
        // As the grid: a column not sorted descending already is sorted descending first.
        sortDescending_ = !(field == sortField_ && sortDescending_);
    sortField_ = field;
    Refresh(0);
    MoveCursorTo(GetActiveItem());
    NotifyItemChanged(column);
}

void CFlexListCtrl::PlaceIndicator() {
    if (!indicator_ || !indicator_->m_hWnd) return;
    const int focused = GetActiveItem();
    if ((style_ & (FLS_INDICATOR | FLS_INDICATORON)) != (FLS_INDICATOR | FLS_INDICATORON) ||
        !IsWindowEnabled() || focused < 0) {
        indicator_->ShowWindow(SW_HIDE);
        return;
    }
    const std::string text =
        platform::FormatInt(focused + 1) + "/" + platform::FormatInt(GetViewCount());
    indicator_->SetWindowText(text.c_str());
    const QFontMetrics metrics(static_cast<CFont*>(GetStockObject(DEFAULT_GUI_FONT))->Font());
    const int w = metrics.horizontalAdvance(QString::fromLatin1(text.c_str())) + 8;
    const int h = metrics.height() + 4;
    indicator_->MoveWindow(ClientWidth() - w - 2, ClientHeight() - h - 2, w, h);
    indicator_->ShowWindow(SW_SHOWNA);
}

// ---------------------------------------------------------------- appearance

void CFlexListCtrl::SetCtrlExStyle(DWORD bits) {
    // Bits 0-19 only: what the table has and the switched states stay the list's own.
    const DWORD low = bits & 0xFFFFF;
    DWORD next = (style_ & ~0xFFFFFu) | low;
    if (!(low & FLS_GRIDLINES)) next &= ~FLS_GRIDLINESON;
    if (!(low & FLS_INDICATOR)) next &= ~FLS_INDICATORON;
    const bool rowNumbers = ((style_ ^ next) & FLS_ROWNUMBER) != 0;
    style_ = next;
    if (!m_hWnd) return;
    ::SendMessage(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_HEADERDRAGDROP,
                  (style_ & FLS_HEADERDRAG) ? LVS_EX_HEADERDRAGDROP : 0);
    if (rowNumbers) {
        auto it = std::find(columns_.begin(), columns_.end(), FLEXLIST_ROWNUMBER);
        if (it != columns_.end()) columns_.erase(it);
        if (style_ & FLS_ROWNUMBER) columns_.insert(columns_.begin(), FLEXLIST_ROWNUMBER);
        // Header items follow the columns from the left: rebuild them all.
        while (::SendMessage(m_hWnd, LVM_DELETECOLUMN, 0, 0)) {
        }
        SetHeaderItems();
        LayOutColumns(true);
    }
    Refresh(0);
}

void CFlexListCtrl::EnableScrollbarParentNotify(BOOL on) {
    if (on)
        style_ |= FLS_SCROLLNOTIFY;
    else
        style_ &= ~FLS_SCROLLNOTIFY;
}

int CFlexListCtrl::SetItemHeight(int height) {
    const int previous = customHeight_;
    customHeight_ = std::max(0, height);
    MakeFonts(viewFont_.LogFont());
    MeasureLine();
    Refresh(0);
    return previous;
}

void CFlexListCtrl::SetViewFont(const LOGFONT* font) {
    LOGFONT chosen{};
    if (font) {
        chosen = *font;
        hasViewFont_ = true;
    } else {
        hasViewFont_ = false;
        CWnd* parent = GetParent();
        auto* parentFont =
            parent ? reinterpret_cast<CFont*>(parent->SendMessage(WM_GETFONT, 0, 0)) : nullptr;
        if (!parentFont || !parentFont->IsCreated())
            parentFont = static_cast<CFont*>(GetStockObject(DEFAULT_GUI_FONT));
        if (parentFont) parentFont->GetLogFont(&chosen);
    }
    chosen.lfCharSet = DEFAULT_CHARSET;
    chosen.lfUnderline = 0;
    viewLog_ = chosen;
    MakeFonts(chosen);
    MeasureLine();
    if (m_hWnd) {
        MeasureWidths();
        LayOutColumns(false);
        Invalidate(FALSE);
    }
}

BOOL CFlexListCtrl::GetViewFont(LOGFONT* font) const {
    // The view font exists from the start (the parent's until another is set): the header
    // writes its captions in it.
    if (!viewFont_.IsCreated()) return FALSE;
    if (font) *font = hasViewFont_ ? viewLog_ : viewFont_.LogFont();
    return TRUE;
}

void CFlexListCtrl::SetHeaderColor(COLORREF text, COLORREF background) {
    if (header_) header_->SetColors(text, background);
}

void CFlexListCtrl::SetBlankPrompt(const char* text, COLORREF color) {
    prompt_ = text ? text : "";
    if (color != CLR_INVALID) promptColor_ = color;
    if (m_hWnd) Invalidate(FALSE);
}

void CFlexListCtrl::SetItemAnimate(int row, int column, COLORREF text, int durationMs) {
    if (!m_hWnd || row < 0 || row >= GetViewCount()) return;
    animations_.push_back(
        Animation{row, column, platform::TickMs(), text, std::max(durationMs, 1)});
    if (!animationTimer_) animationTimer_ = SetTimer(kAnimationTimer, 50, nullptr) != 0;
    FreshItem(row, column);
}

void CFlexListCtrl::SetRecordTextFunctor(GridTextFunctor text, void* user) {
    textFn_ = text;
    textUser_ = user;
    if (m_hWnd) Invalidate(FALSE);
}

void CFlexListCtrl::SetFieldTextColor(GridColorFunctor color, void* user) {
    textColorFn_ = color;
    textColorUser_ = user;
    if (m_hWnd) Invalidate(FALSE);
}

void CFlexListCtrl::SetFieldBkColor(GridColorFunctor color, void* user) {
    bkColorFn_ = color;
    bkColorUser_ = user;
    if (m_hWnd) Invalidate(FALSE);
}

void CFlexListCtrl::SetToolTipCtrl(GridToolTipFunctor text, void* user) {
    tipFn_ = text;
    tipUser_ = user;
    if (!m_hWnd || !text || toolTip_) return;
    auto tip = std::make_unique<CToolTipCtrl>();
    if (tip->Create(this)) {
        tip->SetMaxTipWidth(512);
        toolTip_ = std::move(tip);
    }
}

void CFlexListCtrl::UpdateToolTip(POINT point) {
    if (!toolTip_ || !tipFn_) return;
    LVHITTESTINFO hit;
    hit.pt = point;
    ::SendMessage(m_hWnd, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    pavlet::MoveCellToolTip(this, toolTip_.get(), hit.iItem, hit.iSubItem, &tipRow_, &tipColumn_);
}

std::string CFlexListCtrl::GetToolTipText(int row, int column) const {
    int r = -1;
    if (!tipFn_ || Source(row, &r) != mem_ || !mem_) return {};
    CFixRecord view(mem_);
    const char* text = tipFn_(table_ ? table_ : &view, r, column, tipUser_);
    if (!text) return {};
    std::string tip(text);
    // The tip's buffer holds 1024 characters.
    if (tip.size() > 1023) tip.resize(platform::CutToGbkBudget(tip, 1023));
    return tip;
}

// ---------------------------------------------------------------- attributes

std::string CFlexListCtrl::GetAttribute() const {
    std::string text;
    if (style_ & FLS_INDICATOR)
        pavlet::SetFlexItem(text, "indicator", int32_t{(style_ & FLS_INDICATORON) ? 1 : 0});
    if (style_ & FLS_GRIDLINES)
        pavlet::SetFlexItem(text, "gridline", int32_t{(style_ & FLS_GRIDLINESON) ? 1 : 0});
    pavlet::SetFlexItem(text, "gridcolor", static_cast<int32_t>(gridColor_));
    pavlet::SetFlexItem(text, "rowspace", int32_t{rowSpace_});
    if (m_hWnd) {
        const auto bk = static_cast<int32_t>(GetListBkColor());
        const auto fore = static_cast<int32_t>(ListTextColor());
        if (bk >= 0) pavlet::SetFlexItem(text, "bkcolor", bk);
        if (fore >= 0) pavlet::SetFlexItem(text, "textcolor", fore);
    }
    return text;
}

void CFlexListCtrl::SetAttribute(const char* text) {
    if (!text) return;
    const pavlet::ListAttributes attributes(text);
    auto bit = [&](const char* key, DWORD allow, DWORD flag) {
        if (!attributes.Has(key) || !(style_ & allow)) return;
        if (attributes.Long(key))
            style_ |= flag;
        else
            style_ &= ~flag;
    };
    bit("indicator", FLS_INDICATOR, FLS_INDICATORON);
    bit("gridline", FLS_GRIDLINES, FLS_GRIDLINESON);
    attributes.Colour("gridcolor", &gridColor_);
    if (attributes.Has("rowspace") && attributes.Long("rowspace") >= 0 &&
        attributes.Long("rowspace") <= 255) {
        rowSpace_ = attributes.Long("rowspace");
        MeasureLine();
    }
    if (m_hWnd) {
        pavlet::ApplyReportListColours(m_hWnd, attributes);
        PlaceIndicator();
        Invalidate(FALSE);
    }
}

void CFlexListCtrl::WriteListProfile() {
    if (layoutName_.empty()) return;
    pavlet::WritePrivateConfigure(kAttributeSection, layoutName_, GetAttribute());
}

// ---------------------------------------------------------------- export

void CFlexListCtrl::CollectExport(pavlet::ExportTable* out) const {
    out->columns.clear();
    out->rows.clear();
    for (int field : columns_) {
        pavlet::ExportColumn info;
        info.caption = FieldName(mem_, field);
        if (field == FLEXLIST_ROWNUMBER) {
            info.type = 'N';
            info.width = 10;
        } else if (mem_) {
            uint8_t type = 'C';
            mem_->GetFieldInfo(field, nullptr, &type, &info.width, nullptr, &info.decimals);
            info.type = static_cast<char>(type);
        }
        out->columns.push_back(std::move(info));
    }
    // Each cell is read (and range-checked) on its own; no lock is held across the export.
    const int rows = GetViewCount();
    for (int row = 0; row < rows; ++row) {
        std::vector<std::string> texts;
        for (int c = 0; c < GetColumnCount(); ++c) texts.push_back(GetRecordText(c, row));
        out->rows.push_back(std::move(texts));
    }
}

BOOL CFlexListCtrl::SaveToFile(const char* path) {
    if (!path || !*path || columns_.empty()) return FALSE;
    pavlet::ExportTable table;
    CollectExport(&table);
    std::string bytes;
    if (!pavlet::BuildDbf(table, pavlet::TodayForExport(), &bytes)) return FALSE;
    return pavlet::WriteExportFile(path, bytes) ? TRUE : FALSE;
}

std::string CFlexListCtrl::AskExportPath() { return pavlet::AskExportPath(m_hWnd, true); }

// ---------------------------------------------------------------- commands and dialogs

BOOL CFlexListCtrl::RunColumnOrderDialog(const std::string& order, const std::string& fields,
                                         std::string* result) {
    return ::RunColumnOrderDialog(this, order, fields, result);
}

BOOL CFlexListCtrl::RunRowSpaceDialog(int* space, BOOL* asDefault) {
    CRowSpaceDlg dialog(this);
    dialog.SetRowSpace(*space);
    if (dialog.DoModal() != IDOK) return FALSE;
    *space = dialog.GetRowSpace();
    *asDefault = dialog.IsDefault();
    return TRUE;
}

BOOL CFlexListCtrl::RunColorDialog(COLORREF* color) {
    return platform::ui::GetUiServices().ChooseColor(m_hWnd, color) ? TRUE : FALSE;
}

void CFlexListCtrl::RunColumnOrder() {
    if (!mem_ || layoutName_.empty() || !HasHeader()) return;
    std::string previous, fields;
    for (int field : columns_) {
        if (field == FLEXLIST_ROWNUMBER) continue;
        if (!previous.empty()) previous += ',';
        previous += platform::FormatInt(mem_->GetFieldIDentity(field));
    }
    for (int field : OfferedFields()) {
        if (!fields.empty()) fields += ',';
        fields += platform::FormatInt(mem_->GetFieldIDentity(field)) + ":" + FieldName(mem_, field);
    }
    std::string result;
    const HWND self = m_hWnd;
    if (!RunColumnOrderDialog(previous, fields, &result) || !::IsWindow(self)) return;
    SetColumnOrder(result.c_str(), TRUE);
    pavlet::WritePrivateConfigure(kOrderSection, layoutName_, GetColumnOrder());
    Refresh(0);
}

void CFlexListCtrl::RunFontDialog() {
    LOGFONT font = viewFont_.LogFont();
    COLORREF colour = ListTextColor();
    const HWND self = m_hWnd;
    if (!platform::ui::GetUiServices().ChooseFont(self, &font, &colour) || !::IsWindow(self))
        return;
    ::SendMessage(m_hWnd, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(colour));
    if (!layoutName_.empty()) {
        const auto record = platform::ui::PackLogFont(font);
        pavlet::WritePrivateConfigureStruct(kFontSection, layoutName_, record.data(),
                                            static_cast<unsigned>(record.size()));
    }
    SetViewFont(&font);
    WriteListProfile();
    Refresh(0);
}

void CFlexListCtrl::RunRowSpace() {
    int space = rowSpace_;
    BOOL asDefault = FALSE;
    const HWND self = m_hWnd;
    if (!RunRowSpaceDialog(&space, &asDefault) || !::IsWindow(self)) return;
    rowSpace_ = std::clamp(space, 0, 255);
    if (asDefault) SetRowSpace(rowSpace_);
    MeasureLine();
    WriteListProfile();
    Refresh(0);
}

LRESULT CFlexListCtrl::OnGridCommand(WPARAM command, LPARAM value) {
    auto pickColour = [&](COLORREF start, COLORREF* target) {
        COLORREF colour = start;
        if (!RunColorDialog(&colour)) return false;
        *target = colour;
        return true;
    };
    switch (command) {
        case 1:
        case 2:
            SortColumn(static_cast<int>(value), static_cast<int>(command));
            break;
        case 3:
            if (pickColour(gridColor_, &gridColor_)) {
                WriteListProfile();
                Invalidate(FALSE);
            }
            break;
        case 4:
            selText_ = static_cast<COLORREF>(value);
            Invalidate(FALSE);
            break;
        case 5:
            selBk_ = static_cast<COLORREF>(value);
            Invalidate(FALSE);
            break;
        case 6:
            selTextFocus_ = static_cast<COLORREF>(value);
            Invalidate(FALSE);
            break;
        case 7:
            selBkFocus_ = static_cast<COLORREF>(value);
            Invalidate(FALSE);
            break;
        case 8:
            if (style_ & FLS_GRIDLINES) {
                style_ = value ? (style_ | FLS_GRIDLINESON) : (style_ & ~FLS_GRIDLINESON);
                WriteListProfile();
                Invalidate(FALSE);
            }
            break;
        case 10:
            if (style_ & FLS_INDICATOR) {
                style_ = value ? (style_ | FLS_INDICATORON) : (style_ & ~FLS_INDICATORON);
                WriteListProfile();
                PlaceIndicator();
            }
            break;
        case 12:
            RunColumnOrder();
            break;
        case 13:
            RunFontDialog();
            break;
        case 14: {
            COLORREF bk = GetListBkColor();
            if (pickColour(bk, &bk)) {
                ::SendMessage(m_hWnd, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(bk));
                ::SendMessage(m_hWnd, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(bk));
                WriteListProfile();
                Invalidate(FALSE);
            }
            break;
        }
        case 15:
            return static_cast<LRESULT>(style_);
        case 16:
            SetCtrlExStyle(static_cast<DWORD>(value));
            break;
        case 17:
            return static_cast<LRESULT>(gridColor_);
        case 18:
            RunRowSpace();
            break;
        case 19:
            for (int c = 0; c < GetColumnCount(); ++c) AdjustField(c);
            SaveColumnOrder();
            break;
        case 100: {
            if (columns_.empty()) break;
            const std::string path = AskExportPath();
            if (path.empty()) break;
            pavlet::ExportTable table;
            CollectExport(&table);
            pavlet::SaveExportFile(m_hWnd, path, table, true);
            break;
        }
        default:
            break;
    }
    return 0;
}

void CFlexListCtrl::ShowContextMenu(POINT screen) {
    if (!m_hWnd || (style_ & FLS_NOMENU)) return;
    POINT client = screen;
    ScreenToClient(&client);
    LVHITTESTINFO hit;
    hit.pt = client;
    ::SendMessage(m_hWnd, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    menuColumn_ = hit.iSubItem;
    const HWND self = m_hWnd;
    const UINT chosen = pavlet::TrackListMenu(this, screen, &trackedMenu_);
    if (!::IsWindow(self)) return;
    if (chosen == 8 || chosen == 10) {
        // The menu entries toggle.
        const DWORD bit = chosen == 8 ? FLS_GRIDLINESON : FLS_INDICATORON;
        OnGridCommand(chosen, (style_ & bit) ? 0 : 1);
    } else if (chosen == 3 || chosen == 14) {
        OnGridCommand(chosen, 0);  // the colour dialogs
    } else {
        pavlet::PostListMenuChoice(self, chosen, menuColumn_);
    }
}

void CFlexListCtrl::AppendMenuEntries(HMENU menu) {
    const bool header = HasHeader();
    if (!layoutName_.empty()) {
        if (header) ::AppendMenu(menu, MF_STRING, 12, "设置显示栏目和顺序");
        ::AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
        if (!(style_ & FLS_NOFONT)) ::AppendMenu(menu, MF_STRING, 13, "设置显示字体");
        ::AppendMenu(menu, MF_STRING, 18, "设置行间距");
        ::AppendMenu(menu, MF_STRING, 14, "设置背景颜色");
        if (style_ & FLS_GRIDLINES) ::AppendMenu(menu, MF_STRING, 3, "设置网格线颜色");
        ::AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
    }
    if (GetViewCount() > 0) {
        if (header && !(GetStyle() & LVS_NOSORTHEADER)) {
            ::AppendMenu(menu, MF_STRING, 1, "升序排序");
            ::AppendMenu(menu, MF_STRING, 2, "降序排序");
            ::AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
        }
        if (!(style_ & FLS_FITCLIENT) && header) {
            ::AppendMenu(menu, MF_STRING, 19, "调整全部列宽");
            ::AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
        }
    }
    if (style_ & FLS_INDICATOR)
        ::AppendMenu(menu, MF_STRING | ((style_ & FLS_INDICATORON) ? MF_CHECKED : 0), 10,
                     "显示记录指示器");
    if (style_ & FLS_GRIDLINES)
        ::AppendMenu(menu, MF_STRING | ((style_ & FLS_GRIDLINESON) ? MF_CHECKED : 0), 8,
                     "显示网格");
    ::AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenu(menu, MF_STRING, 100, "保存到DBF文件");
}

// ---------------------------------------------------------------- mouse and keys

int CFlexListCtrl::ColumnAt(int displayRow, POINT point, RECT* cell) const {
    LVHITTESTINFO hit;
    hit.pt = point;
    ::SendMessage(m_hWnd, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.iItem != displayRow || hit.iSubItem < 0) return -1;
    if (cell) {
        cell->top = hit.iSubItem;
        cell->left = LVIR_BOUNDS;
        ::SendMessage(m_hWnd, LVM_GETSUBITEMRECT, static_cast<WPARAM>(displayRow),
                      reinterpret_cast<LPARAM>(cell));
    }
    return hit.iSubItem;
}

void CFlexListCtrl::ToggleCheck(int displayRow) {
    SetRecordCheckImage((GetRecordCheckImage(displayRow) & 1) ? 0 : 1, displayRow);
    Invalidate(FALSE);
    if (HWND header = GetHeaderHwnd()) ::InvalidateRect(header, nullptr, FALSE);
    if (CWnd* parent = GetParent())
        parent->PostMessage(WM_FLEXLIST_NOTIFY, FLEXLIST_CHECKED, reinterpret_cast<LPARAM>(this));
}

void CFlexListCtrl::ToggleGroup(int displayRow) {
    int g = -1;
    if (Source(displayRow, &g) != group_.get() || !group_ || g < 0) return;
    const uint32_t itemStyle = group_->GetItemExtendStyle(g);
    if (itemStyle & kGroupFixed) return;
    group_->SetItemExtendStyle(kGroupExpanded, itemStyle ^ kGroupExpanded, g);
    Refresh(0);
}

bool CFlexListCtrl::OnMouseDown(POINT point) {
    pressRow_ = pressColumn_ = -1;
    LVHITTESTINFO hit;
    hit.pt = point;
    ::SendMessage(m_hWnd, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.iItem < 0 || hit.iItem >= GetViewCount()) return false;
    pressRow_ = hit.iItem;
    pressColumn_ = hit.iSubItem;
    if (hit.iSubItem != FirstDataColumn()) return false;
    RECT cell{};
    ColumnAt(hit.iItem, point, &cell);
    const int x = point.x - cell.left - Margin();
    int box = 0;
    if (style_ & FLS_GROUPACTIVE) {
        if (IsGroupRow(hit.iItem) && x >= 0 && x < kBoxWidth) {
            ToggleGroup(hit.iItem);
            return true;
        }
        box = kBoxWidth;
    }
    if ((style_ & FLS_HASCHECKBOX) && x >= box && x < box + kBoxWidth) {
        ToggleCheck(hit.iItem);
        return true;
    }
    return false;
}

void CFlexListCtrl::OnMouseUp(POINT point) {
    const int row = pressRow_, column = pressColumn_;
    pressRow_ = pressColumn_ = -1;
    if (row < 0 || column < 0 || ColumnAt(row, point, nullptr) != column) return;
    if (IsHyperlinkColumn(column) && !IsGroupRow(row))
        if (CWnd* parent = GetParent())
            parent->PostMessage(WM_FLEXLIST_NOTIFY, FLEXLIST_HYPERLINK,
                                reinterpret_cast<LPARAM>(this));
}

LRESULT CFlexListCtrl::OnHeaderNotify(NMHDR* nm, bool* handled) {
    *handled = true;
    auto* header = reinterpret_cast<NMHEADER*>(nm);
    const bool fitted = (style_ & FLS_FITCLIENT) != 0;
    switch (nm->code) {
        case HDN_ITEMCLICK:
            if (!(style_ & FLS_COMPACT) && GetViewCount() > 0) SortColumn(header->iItem, 0);
            return 0;
        case HDN_BEGINDRAG:
            // The fixed columns and the row numbers stay where they are.
            if (header->iItem < fixedCols_ || GetFieldIndex(header->iItem) == FLEXLIST_ROWNUMBER)
                return TRUE;
            dragColumn_ = header->iItem;
            break;
        case HDN_ENDDRAG: {
            const int to = header->pitem ? header->pitem->iOrder : -1;
            const int first = std::max(fixedCols_, FirstDataColumn());
            if (to >= 0) MoveField(header->iItem, std::max(to, first));
            dragColumn_ = -1;
            return TRUE;  // the header does not reorder by itself
        }
        case HDN_ENDTRACK:
            if (!fitted) SaveColumnOrder();
            break;
        case HDN_DIVIDERDBLCLICK:
            AdjustField(header->iItem);
            SaveColumnOrder();
            return 0;
        default:
            break;
    }
    *handled = false;
    return 0;
}

// ---------------------------------------------------------------- window procedure

BOOL CFlexListCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_MEASUREITEM) {
        if (auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))
            measure->itemHeight = static_cast<UINT>(itemHeight_);
        *result = TRUE;
        return TRUE;
    }
    if (message == WM_NOTIFY) {
        auto* nm = reinterpret_cast<NMHDR*>(lParam);
        if (!nm || nm->hwndFrom != m_hWnd) return FALSE;
        if (nm->code == LVN_GETDISPINFO) {
            auto* info = reinterpret_cast<NMLVDISPINFO*>(lParam);
            if ((info->item.mask & LVIF_TEXT) && info->item.pszText && info->item.cchTextMax > 0)
                platform::ui::CopyTextToBuffer(GetRecordText(info->item.iSubItem, info->item.iItem),
                                               info->item.pszText, info->item.cchTextMax);
            *result = 0;
            return TRUE;
        }
        if (nm->code == LVN_ITEMCHANGED) {
            auto* lv = reinterpret_cast<NMLISTVIEW*>(lParam);
            if (lv->iItem >= 0 && (lv->uNewState & LVIS_FOCUSED) &&
                !(lv->uOldState & LVIS_FOCUSED)) {
                focusRow_ = lv->iItem;
                MoveCursorTo(lv->iItem);
                PlaceIndicator();
            }
        }
        return FALSE;
    }
    return CWnd::OnChildNotify(message, wParam, lParam, result);
}

LRESULT CFlexListCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PRINTCLIENT:
            if (!setUp_) break;
            PaintClient(reinterpret_cast<CDC*>(wParam));
            return TRUE;
        case WM_SETFONT:
            if (auto* font = reinterpret_cast<CFont*>(wParam);
                font && font->IsCreated() && !hasViewFont_) {
                MakeFonts(font->LogFont());
                MeasureLine();
            }
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(&viewFont_);
        case LVM_SETIMAGELIST:
            if (wParam != LVSIL_STATE) {
                smallImages_ = reinterpret_cast<CImageList*>(lParam);
                int cx = 0, cy = 0;
                if (smallImages_ && smallImages_->GetIconSize(&cx, &cy)) {
                    imageWidth_ = cx;
                    imageHeight_ = cy;
                } else {
                    imageWidth_ = imageHeight_ = 0;
                }
                MeasureLine();
            }
            break;
        case WM_GRID_COMMAND:
            return OnGridCommand(wParam, lParam);
        case WM_CONTEXTMENU:
            ShowContextMenu(pavlet::ContextMenuPoint(this, lParam, HeaderHeight()));
            return 0;
        case WM_RBUTTONUP: {
            const HWND self = m_hWnd;
            const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
            pavlet::AskForContextMenu(self, lParam);
            return result;
        }
        case WM_INITMENUPOPUP:
            if (pavlet::IsTrackedListMenu(trackedMenu_, wParam, lParam))
                AppendMenuEntries(trackedMenu_);
            return 0;
        case WM_NOTIFY: {
            auto* nm = reinterpret_cast<NMHDR*>(lParam);
            if (nm && nm->code == TTN_GETDISPINFO && toolTip_ && nm->hwndFrom == toolTip_->m_hWnd) {
                // The tool's id names its cell.
                auto* info = reinterpret_cast<NMTTDISPINFO*>(lParam);
                int row = -1, column = -1;
                CGridCtrl::SplitToolId(nm->idFrom, &row, &column);
                tipText_ = GetToolTipText(row, column);
                info->lpszText = tipText_.empty() ? nullptr : tipText_.data();
                return 0;
            }
            if (nm && nm->hwndFrom && nm->hwndFrom == GetHeaderHwnd()) {
                bool handled = false;
                const LRESULT result = OnHeaderNotify(nm, &handled);
                if (handled) return result;
            }
            break;
        }
        case WM_SIZE: {
            const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
            if (style_ & FLS_FITCLIENT) FitToClient();
            PlaceIndicator();
            return result;
        }
        case WM_ENABLE:
            PlaceIndicator();
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            hasFocus_ = message == WM_SETFOCUS;
            Invalidate(FALSE);
            break;
        case WM_LBUTTONDOWN:
            if (OnMouseDown(POINT{XOf(lParam), YOf(lParam)})) return 0;
            break;
        case WM_LBUTTONUP:
            OnMouseUp(POINT{XOf(lParam), YOf(lParam)});
            break;
        case WM_MOUSEMOVE: {
            LVHITTESTINFO hit;
            hit.pt = POINT{XOf(lParam), YOf(lParam)};
            ::SendMessage(m_hWnd, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
            if (hit.iItem >= 0 && IsHyperlinkColumn(hit.iSubItem))
                ::SetCursor(::LoadCursor(nullptr, IDC_HAND));
            UpdateToolTip(hit.pt);
            break;
        }
        case WM_KEYDOWN:
            if (wParam == VK_SPACE && (style_ & FLS_HASCHECKBOX)) {
                const int focused = GetActiveItem();
                if (focused >= 0 && focused < GetViewCount()) ToggleCheck(focused);
                return 0;
            }
            break;
        case WM_MOUSEWHEEL:
        case WM_VSCROLL:
        case WM_HSCROLL:
            if (style_ & FLS_SCROLLNOTIFY)
                if (CWnd* parent = GetParent()) parent->SendMessage(message, wParam, lParam);
            break;
        case WM_TIMER:
            if (wParam == kAnimationTimer) {
                const int64_t now = platform::TickMs();
                std::erase_if(animations_,
                              [&](const Animation& a) { return now - a.start >= a.duration; });
                if (animations_.empty()) {
                    KillTimer(kAnimationTimer);
                    animationTimer_ = false;
                }
                Invalidate(FALSE);
                return 0;
            }
            break;
        case WM_DESTROY:
            TearDown();
            break;
        default:
            break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}
