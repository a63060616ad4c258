// CGridCtrl's data half: binding, the sorted view and the display-row map (filter, groups),
// checks, columns and their widths, refresh, mouse and keyboard, header notifications.
#include "flexui/GridCtrl.h"

#include <QAbstractScrollArea>
#include <QFontMetrics>
#include <QWidget>
#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <numeric>
#include <unordered_map>

#include "flexui/GridHeader.h"
#include "platform/core/Encoding.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dc.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/ToolTip.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"
#include "platform/ui/WindowLayer.h"
#include "record/MemRecord.h"
#include "record/StringHelpers.h"

namespace {

// Class settings shared by every grid.
uint32_t gDefaultStyle = 0x8143;
int gRowSpace = 5;
int gFieldMargin = 6;
int gNarrowMargin = 0;
GridTextMapFunctor gTextMap = nullptr;
GridTextMapFunctor gHeaderTextMap = nullptr;
std::string& ExtendProfileName() {
    static std::string name;
    return name;
}

constexpr int kBoxWidth = 17;  // expander and check-box areas of column 0
constexpr int kMinColumnWidth = 23;
constexpr UINT_PTR kAnimationTimer = 0x4752;
constexpr uint32_t kHiddenEntry = 0x10000;
constexpr uint32_t kUserSized = 0x10;

int XOf(LPARAM lParam) { return GET_X_LPARAM(lParam); }
int YOf(LPARAM lParam) { return GET_Y_LPARAM(lParam); }

// The row indicator: "focused/count" on a light yellow ground with a thin border.
class CGridIndicator : public CWnd {
protected:
    void OnPaint() override {
        CPaintDC dc(this);
        RECT r;
        GetClientRect(&r);
        dc.FillSolidRect(&r, RGB(0xFF, 0xF0, 0xC2));
        CBrush frame;
        frame.CreateSolidBrush(GetSysColor(COLOR_WINDOWFRAME));
        dc.FrameRect(&r, &frame);
        CFont* old = dc.SelectObject(static_cast<CFont*>(GetStockObject(DEFAULT_GUI_FONT)));
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
        dc.DrawText(GetWindowText(), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (old) dc.SelectObject(old);
    }
};

bool IsPseudoName(const std::string& name) {
    return name == "checkbox" || name == "image" || name == "group" || name == "color";
}

std::string FieldName(CMemRecord* table, int field) {
    std::string name;
    if (!table || !table->GetFieldInfo(field, &name, nullptr, nullptr, nullptr, nullptr)) return {};
    return name;
}

// Text widths in one font as the sum of cached character advances, which costs no layout per
// row; the widest text found is then measured exactly as well.
class WidthMeter {
public:
    explicit WidthMeter(const QFont& font) : metrics_(font) { ascii_.fill(-1); }
    int Approx(std::string_view text) {
        int width = 0;
        for (size_t i = 0; i < text.size();) {
            const auto lead = static_cast<unsigned char>(text[i]);
            if (lead < 0x80) {
                int& advance = ascii_[lead];
                if (advance < 0) advance = metrics_.horizontalAdvance(QChar(lead));
                width += advance;
                ++i;
                continue;
            }
            const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            const std::string_view one = text.substr(i, length);
            auto it = others_.find(std::string(one));
            if (it == others_.end())
                it = others_
                         .emplace(std::string(one),
                                  metrics_.horizontalAdvance(QString::fromUtf8(
                                      one.data(), static_cast<qsizetype>(one.size()))))
                         .first;
            width += it->second;
            i += length;
        }
        return width;
    }
    int Exact(const std::string& text) const {
        return metrics_.horizontalAdvance(QString::fromStdString(text));
    }

private:
    QFontMetrics metrics_;
    std::array<int, 128> ascii_;
    std::unordered_map<std::string, int> others_;
};

// The order key of one row's value of a field: numbers as numbers, texts in GBK byte order.
struct SortKey {
    int row = 0;
    double number = 0;
    std::string text;
};

}  // namespace

// ---------------------------------------------------------------- class settings

void CGridCtrl::SetGridStyle(uint32_t style) { gDefaultStyle = style & 0xFFFF; }
void CGridCtrl::SetRowSpace(int space) { gRowSpace = std::max(3, space); }
void CGridCtrl::SetFieldMargin(int margin) { gFieldMargin = std::max(1, margin); }
int CGridCtrl::GetFieldMargin() { return gFieldMargin; }
GridTextMapFunctor CGridCtrl::GetGridTextMapFunctor() { return gTextMap; }
void CGridCtrl::SetGridTextMapFunctor(GridTextMapFunctor map) { gTextMap = map; }
void CGridCtrl::SetHeaderTextMapFunctor(GridTextMapFunctor map) { gHeaderTextMap = map; }
GridTextMapFunctor CGridCtrl::GetHeaderTextMapFunctor() { return gHeaderTextMap; }
void CGridCtrl::SetExtendProfileName(const char* name) { ExtendProfileName() = name ? name : ""; }
std::string CGridCtrl::GetExtendProfileName() { return ExtendProfileName(); }

// ---------------------------------------------------------------- window

CGridCtrl::CGridCtrl() : style_(gDefaultStyle) {}

CGridCtrl::~CGridCtrl() {
    if (m_hWnd) DestroyWindow();
}

BOOL CGridCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    style = (style | LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_OWNERDATA | WS_BORDER) & ~0x0002u;
    if (!CWnd::CreateEx(0, "SysListView32", "", style, rect, parent, id)) return FALSE;
    SetUp();
    return TRUE;
}

BOOL CGridCtrl::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!CWnd::SubclassDlgItem(id, parent)) return FALSE;
    if (GetClassName() != "SysListView32") {
        UnsubclassWindow();
        return FALSE;
    }
    ModifyStyleEx(WS_EX_CLIENTEDGE, 0);
    ModifyStyle(0x0002, LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_OWNERDATA | WS_BORDER);
    SetUp();
    return TRUE;
}

HWND CGridCtrl::GetHeaderHwnd() const {
    return m_hWnd ? static_cast<HWND>(::SendMessage(m_hWnd, LVM_GETHEADER, 0, 0)) : 0;
}

void CGridCtrl::SetUp() {
    if (setUp_) return;
    setUp_ = true;
    ModifyStyleEx(WS_EX_CLIENTEDGE, 0);
    LOGFONT font{};
    if (auto* gui = static_cast<CFont*>(GetStockObject(DEFAULT_GUI_FONT))) gui->GetLogFont(&font);
    MakeFonts(font);
    header_ = std::make_unique<CGridHeader>(this);
    if (HWND header = GetHeaderHwnd()) {
        header_->SubclassWindow(header);
        // The hot item follows the mouse, buttons up or down.
        if (QWidget* widget = header_->GetWidget()) widget->setMouseTracking(true);
    }
    indicator_ = std::make_unique<CGridIndicator>();
    indicator_->Create(nullptr, "", WS_CHILD, RECT{0, 0, 10, 10}, this, 0xFFF0);
    DWORD ex = LVS_EX_FULLROWSELECT | ((style_ & GRID_HEADERDRAG) ? LVS_EX_HEADERDRAGDROP : 0);
    ::SendMessage(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(ex));
    MeasureLine();
    RemeasureRows();
}

void CGridCtrl::TearDown() {
    if (!setUp_) return;
    setUp_ = false;
    DropEdit();
    if (animationTimer_) KillTimer(kAnimationTimer);
    animationTimer_ = false;
    animations_.clear();
    if (header_ && header_->m_hWnd) header_->UnsubclassWindow();
    header_.reset();
    if (indicator_ && indicator_->m_hWnd) indicator_->DestroyWindow();
    indicator_.reset();
    if (toolTip_ && toolTip_->m_hWnd) toolTip_->DestroyWindow();
    toolTip_.reset();
    prompt_.clear();
    disabled_.clear();
    hasFilter_ = false;
    filterKeep_.clear();
    hasMap_ = false;
    map_.clear();
    memberToGroup_.clear();
    group_.reset();
}

void CGridCtrl::MakeFonts(const LOGFONT& font) {
    LOGFONT copy = font;
    copy.lfCharSet = DEFAULT_CHARSET;
    copy.lfUnderline = 0;
    listFont_.DeleteObject();
    listFont_.CreateFontIndirect(&copy);
    copy.lfWeight = 900;
    boldFont_.DeleteObject();
    boldFont_.CreateFontIndirect(&copy);
    style_ |= GRID_FONTCHANGED;
}

void CGridCtrl::MeasureLine() {
    const QFontMetrics metrics(listFont_.Font());
    lineHeight_ = std::max(metrics.height() + std::max(0, metrics.leading()), imageHeight_);
    if (customHeight_ && (customHeight_ < lineHeight_ + 3 || customHeight_ > 3 * lineHeight_))
        customHeight_ = 0;
    itemHeight_ = customHeight_ ? customHeight_ : lineHeight_ + gRowSpace;
}

void CGridCtrl::RemeasureRows() {
    if (!m_hWnd) return;
    // The list asks for the row height again (WM_MEASUREITEM) and lays out its header.
    CWnd::WindowProc(WM_WINDOWPOSCHANGED, 0, 0);
}

int CGridCtrl::ItemState(int row, UINT mask) const {
    return m_hWnd ? static_cast<int>(
                        ::SendMessage(m_hWnd, LVM_GETITEMSTATE, static_cast<WPARAM>(row), mask))
                  : 0;
}

COLORREF pavlet::ReportListBkColor(HWND list) {
    return list ? static_cast<COLORREF>(::SendMessage(list, LVM_GETBKCOLOR, 0, 0))
                : RGB(255, 255, 255);
}

COLORREF pavlet::ReportListTextColor(HWND list) {
    return list ? static_cast<COLORREF>(::SendMessage(list, LVM_GETTEXTCOLOR, 0, 0)) : 0;
}

int pavlet::ReportHeaderHeight(HWND header) {
    if (!header || !::IsWindowVisible(header)) return 0;
    RECT r{};
    ::GetWindowRect(header, &r);
    return r.bottom - r.top;
}

bool pavlet::ListAttributes::Has(const char* key) const {
    int length = 0;
    return GetFlexItemEntry(text_, key, length) != std::string::npos;
}

int32_t pavlet::ListAttributes::Long(const char* key) const {
    return GetFlexItemLong(text_, key);
}

bool pavlet::ListAttributes::Colour(const char* key, COLORREF* target) const {
    if (!Has(key) || Long(key) < 0) return false;
    *target = static_cast<COLORREF>(Long(key));
    return true;
}

void pavlet::ApplyReportListColours(HWND list, const ListAttributes& attributes) {
    COLORREF colour = 0;
    if (attributes.Colour("bkcolor", &colour)) {
        ::SendMessage(list, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(colour));
        ::SendMessage(list, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(colour));
    }
    if (attributes.Colour("textcolor", &colour))
        ::SendMessage(list, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(colour));
}

int pavlet::DisplayRowCount(const CMemRecord* source, bool mapped, const std::vector<int>& map) {
    if (!source) return 0;
    return mapped ? static_cast<int>(map.size()) : source->GetCount();
}

int pavlet::DisplayRowEntry(const CMemRecord* source, bool mapped, const std::vector<int>& map,
                            int displayRow) {
    if (displayRow < 0 || displayRow >= DisplayRowCount(source, mapped, map)) return -1;
    return mapped ? map[static_cast<size_t>(displayRow)] : displayRow;
}

COLORREF CGridCtrl::ListBkColor() const { return pavlet::ReportListBkColor(m_hWnd); }
COLORREF CGridCtrl::ListTextColor() const { return pavlet::ReportListTextColor(m_hWnd); }
int CGridCtrl::HeaderHeight() const { return pavlet::ReportHeaderHeight(GetHeaderHwnd()); }

// The client area less the scroll bars: the rows' area and the header above it.
QRect CGridCtrl::RowsArea() const {
    auto* area = m_hWnd ? qobject_cast<QAbstractScrollArea*>(GetWidget()) : nullptr;
    if (!area) return QRect();
    // In client coordinates, which start inside the grid's border.
    const QRect rows = area->viewport()->geometry().translated(-area->contentsRect().topLeft());
    return QRect(0, 0, rows.right() + 1, rows.bottom() + 1);
}

int CGridCtrl::ClientWidth() const { return RowsArea().width(); }

int CGridCtrl::ClientHeight() const { return RowsArea().height(); }

// ---------------------------------------------------------------- binding

void CGridCtrl::FindPseudoFields() {
    colorField_ = checkField_ = imageField_ = groupField_ = -1;
    style_ &= ~0xFF0000u;
    if (!mem_) return;
    // A pseudo-field counts only after the first field.
    auto find = [&](const char* name) {
        const int index = mem_->FindIndex(name);
        return index >= 1 ? index : -1;
    };
    colorField_ = find("color");
    checkField_ = find("checkbox");
    imageField_ = find("image");
    groupField_ = find("group");
    if (colorField_ >= 0) style_ |= GRID_HASCOLOR;
    if (checkField_ >= 0) style_ |= GRID_HASCHECKBOX;
    if (imageField_ >= 0) style_ |= GRID_HASIMAGE;
    if (groupField_ >= 0) style_ |= GRID_HASGROUP;
    if (group_) style_ |= GRID_GROUPACTIVE;
    if (headerPart_ && leafPart_) style_ |= GRID_TWOLEVEL;
}

void CGridCtrl::SetRecord(CFixRecord* table, const char* layoutName, unsigned sortId,
                          BOOL descending) {
    table_ = table;
    mem_ = table ? table->GetMemRecord() : nullptr;
    if (!mem_) table_ = nullptr;
    layoutName_ = layoutName ? layoutName : "";
    sortField_ = (mem_ && sortId) ? mem_->FindIndex(sortId) : -1;
    sortDescending_ = descending != FALSE;
    hasFilter_ = false;
    filterKeep_.clear();
    group_.reset();
    memberToGroup_.clear();
    order_.clear();
    headerPart_ = leafPart_ = nullptr;
    FindPseudoFields();
    Refresh(1);
}

CFixRecord* CGridCtrl::GetFixRecord(int part) {
    switch (part) {
        case 1:
            return headerPart_;
        case 2:
            return leafPart_;
        default:
            return table_;
    }
}

void CGridCtrl::SetLeafRecord(CFixRecord* header, CFixRecord* leaf) {
    const bool on = header && leaf && header->GetMemRecord() && leaf->GetMemRecord();
    headerPart_ = on ? header : nullptr;
    leafPart_ = on ? leaf : nullptr;
    FindPseudoFields();
    Refresh(1);
}

void CGridCtrl::SetFilter(std::initializer_list<FixTextItem> items) {
    hasFilter_ = false;
    filterKeep_.clear();
    if (!mem_) return;
    struct Pair {
        int field;
        std::string_view text;
    };
    std::vector<Pair> pairs;
    for (const FixTextItem& item : items) {
        const int field = mem_->FindIndex(static_cast<unsigned>(item.id));
        if (field >= 0) pairs.push_back({field, item.text});
    }
    const int count = mem_->GetCount();
    if (count <= 0) return;
    filterKeep_.assign(static_cast<size_t>(count), 1);
    std::string scratch;
    for (int row = 0; row < count; ++row)
        for (const Pair& pair : pairs)
            if (mem_->GetItemText(pair.field, row) != pair.text) {
                filterKeep_[static_cast<size_t>(row)] = 0;
                break;
            }
    hasFilter_ = true;
}

void CGridCtrl::SetFilterFunctor(GridFilterFunctor keep, void* user) {
    hasFilter_ = false;
    filterKeep_.clear();
    if (!mem_ || !keep) return;
    const int count = mem_->GetCount();
    if (count <= 0) return;
    // The predicate runs once per row; the marks belong to table rows, which the grid never
    // moves, so sorting cannot make a mark name another record.
    filterKeep_.assign(static_cast<size_t>(count), 0);
    for (int row = 0; row < count; ++row)
        filterKeep_[static_cast<size_t>(row)] = keep(table_, row, user) ? 1 : 0;
    hasFilter_ = true;
}

void CGridCtrl::SetGroup(std::initializer_list<unsigned> ids) {
    if (!mem_ || groupField_ < 0) {
        SetMapRecord(nullptr);
        return;
    }
    std::vector<int> fields;
    for (unsigned id : ids)
        if (int field = mem_->FindIndex(id); field >= 0) fields.push_back(field);
    const int count = mem_->GetCount();
    for (int row = 0; row < count; ++row) {
        std::string key;
        for (int field : fields) {
            key += mem_->GetItemText(field, row);
            key += '&';
        }
        if (key.size() > 255) key.resize(platform::CutToGbkBudget(key, 255));
        mem_->Set(groupField_, std::string_view(key), row);
    }
    auto table = std::make_unique<CMemRecord>();
    table->GroupFrom(mem_, groupField_);
    SetMapRecord(table.get());
}

void CGridCtrl::SetMapRecord(CMemRecord* source) {
    std::unique_ptr<CMemRecord> previous = std::move(group_);
    memberToGroup_.clear();
    const int field = source ? source->FindIndex("group") : -1;
    if (!source || field < 1 || !mem_ || groupField_ < 0) {
        style_ &= ~GRID_GROUPACTIVE;
        Refresh(0);
        return;
    }
    auto table = std::make_unique<CMemRecord>();
    table->CreateFrom(source);
    table->Append(source);
    const int colorField = table->FindIndex("color");
    const int count = table->GetCount();
    const int oldField = previous ? previous->FindIndex("group") : -1;
    for (int row = 0; row < count; ++row) {
        if (colorField >= 1) table->Set(colorField, int32_t{0}, row);
        bool expanded = !(style_ & GRID_GROUPCOLLAPSED);
        if (previous && oldField >= 0) {
            const std::string key = table->GetItemText(field, row);
            const int old = previous->Locate(oldField, key.c_str());
            if (old >= 0) expanded = (previous->GetItemExtendStyle(old) & GRID_GROUP_EXPANDED) != 0;
        }
        table->SetItemExtendStyle(0xFFFFFFFFu, expanded ? GRID_GROUP_EXPANDED : 0, row);
    }
    group_ = std::move(table);
    style_ |= GRID_GROUPACTIVE;
    Refresh(0);
}

// ---------------------------------------------------------------- the view

std::vector<int> pavlet::SortedTableRows(CMemRecord* table, int field, bool descending) {
    std::vector<int> order;
    if (!table || field < 0) return order;
    const int count = table->GetCount();
    if (count < 2) return order;
    const char type = table->GetFieldType(field);
    std::vector<SortKey> keys(static_cast<size_t>(count));
    // Each read takes the table's lock by itself: rows that vanish meanwhile read empty, and
    // every use of a mapped row is range-checked again.
    for (int row = 0; row < count; ++row) {
        SortKey& key = keys[static_cast<size_t>(row)];
        key.row = row;
        if (type == 'I')
            key.number = table->GetLong(field, row);
        else if (type == 'R')
            key.number = table->GetDouble(field, row);
        else
            key.text = platform::Utf8ToGbk(table->GetItemText(field, row));
    }
    const bool text = type != 'I' && type != 'R';
    // A stable order: equal values keep their table order in both directions.
    std::stable_sort(keys.begin(), keys.end(), [&](const SortKey& a, const SortKey& b) {
        if (text) return descending ? b.text < a.text : a.text < b.text;
        return descending ? b.number < a.number : a.number < b.number;
    });
    order.resize(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) order[i] = keys[i].row;
    return order;
}

void CGridCtrl::SortView() {
    order_.clear();
    if (!mem_ || sortField_ < 0) return;
    order_ = pavlet::SortedTableRows(mem_, sortField_, sortDescending_);
}

void CGridCtrl::SortGroupTable() {
    if (!group_ || sortField_ < 0 || (style_ & GRID_GROUPBAND)) return;
    if (group_->GetCount() < 2) return;
    group_->Sort(sortField_, !sortDescending_);
}

void CGridCtrl::UpdateMapData() {
    memberToGroup_.clear();
    if (!group_ || !mem_) return;
    const int groups = group_->GetCount();
    const int keyField = group_->FindIndex("group");
    const int groupCheck = group_->FindIndex("checkbox");
    std::unordered_map<std::string, int> byKey;
    std::vector<int> counted(static_cast<size_t>(std::max(groups, 0)), 0);
    std::vector<int> checked(counted.size(), 0);
    for (int g = 0; g < groups; ++g) byKey.emplace(group_->GetItemText(keyField, g), g);
    const int count = mem_->GetCount();
    memberToGroup_.assign(static_cast<size_t>(std::max(count, 0)), -1);
    for (int row = 0; row < count; ++row) {
        auto it = byKey.find(mem_->GetItemText(groupField_, row));
        if (it == byKey.end()) continue;
        memberToGroup_[static_cast<size_t>(row)] = it->second;
        const bool kept = !hasFilter_ || (static_cast<size_t>(row) < filterKeep_.size() &&
                                          filterKeep_[static_cast<size_t>(row)]);
        if (!kept) continue;
        ++counted[static_cast<size_t>(it->second)];
        if (checkField_ >= 0 && (mem_->GetLong(checkField_, row) & 1))
            ++checked[static_cast<size_t>(it->second)];
    }
    for (int g = 0; g < groups; ++g) {
        const int n = counted[static_cast<size_t>(g)];
        group_->SetItemExtendStyle(0xFFFFFFu, static_cast<uint32_t>(std::min(n, 0xFFFFFF)), g);
        if (groupCheck >= 1 && (style_ & GRID_HASCHECKBOX)) {
            const int c = checked[static_cast<size_t>(g)];
            group_->Set(groupCheck, int32_t{c == 0 ? 0 : (c == n ? 1 : 2)}, g);
        }
    }
}

void CGridCtrl::UpdateViewMap() {
    map_.clear();
    hasMap_ = false;
    if (!mem_) return;
    const int count = mem_->GetCount();
    auto kept = [&](int row) {
        return !hasFilter_ || (static_cast<size_t>(row) < filterKeep_.size() &&
                               filterKeep_[static_cast<size_t>(row)]);
    };
    // Table rows in display order: the sorted view, else table order.
    auto forEachRow = [&](auto&& visit) {
        if (!order_.empty()) {
            for (int row : order_)
                if (row < count) visit(row);
        } else {
            for (int row = 0; row < count; ++row) visit(row);
        }
    };
    if (!group_) {
        if (!hasFilter_ && order_.empty()) return;
        hasMap_ = true;
        map_.reserve(static_cast<size_t>(count));
        forEachRow([&](int row) {
            if (kept(row)) map_.push_back(row);
        });
        return;
    }
    UpdateMapData();
    hasMap_ = true;
    const int groups = group_->GetCount();
    std::vector<std::vector<int>> members(static_cast<size_t>(std::max(groups, 0)));
    forEachRow([&](int row) {
        if (static_cast<size_t>(row) >= memberToGroup_.size() || !kept(row)) return;
        const int g = memberToGroup_[static_cast<size_t>(row)];
        if (g >= 0 && g < groups) members[static_cast<size_t>(g)].push_back(row);
    });
    for (int g = 0; g < groups; ++g) {
        map_.push_back(g | GRID_GROUPROW);
        const uint32_t itemStyle = group_->GetItemExtendStyle(g);
        const int n = static_cast<int>(itemStyle & 0xFFFFFF);
        const bool fixed = n == 0 || (n == 1 && !(style_ & GRID_GROUPBAND));
        group_->SetItemExtendStyle(GRID_GROUP_FIXED, fixed ? GRID_GROUP_FIXED : 0, g);
        if (fixed || !(itemStyle & GRID_GROUP_EXPANDED)) continue;
        const auto& rows = members[static_cast<size_t>(g)];
        map_.insert(map_.end(), rows.begin(), rows.end());
    }
}

int CGridCtrl::GetViewCount() const { return pavlet::DisplayRowCount(mem_, hasMap_, map_); }

int CGridCtrl::GetMapRecno(int displayRow) const {
    return pavlet::DisplayRowEntry(mem_, hasMap_, map_, displayRow);
}

bool CGridCtrl::IsGroupRow(int displayRow) const {
    const int entry = GetMapRecno(displayRow);
    return entry >= 0 && (entry & GRID_GROUPROW) && group_;
}

CMemRecord* CGridCtrl::GetMapRecord(int displayRow, int* row) {
    return CellSource(displayRow, 0, row);
}

CMemRecord* CGridCtrl::CellSource(int displayRow, int part, int* row) const {
    const int entry = GetMapRecno(displayRow);
    if (row) *row = -1;
    if (entry < 0) return nullptr;
    CMemRecord* table = mem_;
    if (entry & GRID_GROUPROW) {
        table = group_.get();
    } else if (part == 1 && headerPart_) {
        table = headerPart_->GetMemRecord();
    } else if (part == 2 && leafPart_) {
        table = leafPart_->GetMemRecord();
    }
    const int r = entry & GRID_ROWMASK;
    // Other threads change the row count between calls: checked at every use.
    if (!table || r >= table->GetCount()) return nullptr;
    if (row) *row = r;
    return table;
}

// ---------------------------------------------------------------- texts and checks

std::string CGridCtrl::CellText(int displayRow, int field, int part) {
    int row = -1;
    CMemRecord* table = CellSource(displayRow, part, &row);
    if (!table || field < 0) return {};
    if (table != group_.get() && textFn_) {
        CFixRecord view(table);
        if (const char* text = textFn_(&view, row, field, textUser_)) return text;
    }
    return table->GetItemText(field, row);
}

std::string CGridCtrl::GetRecordText(int column, int row) {
    if (column < 0 || column >= static_cast<int>(columns_.size())) return {};
    const Column& c = columns_[static_cast<size_t>(column)];
    return CellText(row, c.field, c.part);
}

int CGridCtrl::GetRecordImage(int row) {
    int r = -1;
    CMemRecord* table = CellSource(row, 0, &r);
    if (!table || imageField_ < 0 || table == group_.get()) return 0;
    return table->GetLong(imageField_, r);
}

int CGridCtrl::GetRecordCheckImage(int row) {
    int r = -1;
    CMemRecord* table = CellSource(row, 0, &r);
    if (!table || checkField_ < 0) return 0;
    const int field = table == group_.get() ? table->FindIndex("checkbox") : checkField_;
    return field >= 0 ? table->GetLong(field, r) : 0;
}

void CGridCtrl::SetRecordText(int column, const char* text, int row) {
    if (column < 0 || column >= static_cast<int>(columns_.size()) || !text) return;
    int r = -1;
    const Column& c = columns_[static_cast<size_t>(column)];
    CMemRecord* table = CellSource(row, c.part, &r);
    if (!table || table == group_.get()) return;
    table->Set(c.field, text, r);
}

void CGridCtrl::SetRecordImage(int image, int row) {
    int r = -1;
    CMemRecord* table = CellSource(row, 0, &r);
    if (!table || imageField_ < 0 || table == group_.get()) return;
    table->Set(imageField_, int32_t{image}, r);
}

void CGridCtrl::SetRecordCheckImage(int check, int row) {
    int r = -1;
    CMemRecord* table = CellSource(row, 0, &r);
    if (!table || checkField_ < 0) return;
    const int32_t value = check & 1;
    if (table == group_.get()) {
        // Every member, hidden by the filter or not, and the group row itself.
        const int count = mem_->GetCount();
        for (int m = 0; m < count && static_cast<size_t>(m) < memberToGroup_.size(); ++m)
            if (memberToGroup_[static_cast<size_t>(m)] == r) mem_->Set(checkField_, value, m);
        if (int field = group_->FindIndex("checkbox"); field >= 1) group_->Set(field, value, r);
    } else {
        mem_->Set(checkField_, value, r);
    }
    if (group_) UpdateMapData();
}

int CGridCtrl::GetCheckCount() {
    const int count = GetViewCount();
    int checked = 0;
    for (int row = 0; row < count; ++row)
        if (!IsGroupRow(row) && (GetRecordCheckImage(row) & 1)) ++checked;
    return checked;
}

void CGridCtrl::SetCheckAll(BOOL checked) {
    const int count = GetViewCount();
    for (int row = 0; row < count; ++row)
        if (!IsGroupRow(row)) {
            int r = -1;
            if (CellSource(row, 0, &r) == mem_ && checkField_ >= 0)
                mem_->Set(checkField_, int32_t{checked ? 1 : 0}, r);
        }
    for (int row = 0; row < count; ++row)
        if (IsGroupRow(row)) SetRecordCheckImage(checked ? 1 : 0, row);
    if (group_) UpdateMapData();
    Invalidate(FALSE);
    if (HWND header = GetHeaderHwnd()) ::InvalidateRect(header, nullptr, FALSE);
}

int CGridCtrl::HeaderCheckState() {
    const int count = GetViewCount();
    int members = 0, checked = 0;
    for (int row = 0; row < count; ++row) {
        if (IsGroupRow(row)) continue;
        ++members;
        if (GetRecordCheckImage(row) & 1) ++checked;
    }
    return checked == 0 ? 0 : (checked == members ? 1 : 2);
}

// ---------------------------------------------------------------- columns

std::vector<int> CGridCtrl::OfferedFields(CMemRecord* table) {
    std::vector<int> fields;
    if (!table) return fields;
    const int count = table->GetFCount();
    const int color = table->FindIndex("color");
    // Fields from "color" on are never columns (unless "color" is the first field).
    const int end = color >= 1 ? color : count;
    for (int f = 0; f < end && fields.size() < 256; ++f)
        if (f == 0 || !IsPseudoName(FieldName(table, f))) fields.push_back(f);
    return fields;
}

bool CGridCtrl::IsDisabledField(CMemRecord* table, int field) {
    if (disabled_.empty() || !table) return false;
    char id[16];
    auto [p, ec] = std::to_chars(id, id + sizeof id, table->GetFieldIDentity(field));
    const std::string item = "," + std::string(id, p) + ",";
    return ("," + disabled_ + ",").find(item) != std::string::npos;
}

void CGridCtrl::BuildDefaultOrder() {
    auto build = [&](CMemRecord* table, std::vector<uint32_t>& order) {
        order.clear();
        for (int f : OfferedFields(table))
            if (!IsDisabledField(table, f)) order.push_back(static_cast<uint32_t>(f));
    };
    build(mem_, mainOrder_);
    build(leafPart_ ? leafPart_->GetMemRecord() : nullptr, leafOrder_);
}

int CGridCtrl::GetColumnCount() const { return static_cast<int>(columns_.size()); }

int CGridCtrl::GetFieldIndex(int column) const { return GetFieldIndex(column, nullptr); }

int CGridCtrl::GetFieldIndex(int column, int* part) const {
    if (part) *part = 0;
    if (column < 0 || column >= static_cast<int>(columns_.size())) return -1;
    if (part) *part = columns_[static_cast<size_t>(column)].part;
    return columns_[static_cast<size_t>(column)].field;
}

int CGridCtrl::GetColumnIndex(int field, int part) const {
    for (size_t c = 0; c < columns_.size(); ++c)
        if (columns_[c].field == field && columns_[c].part == part) return static_cast<int>(c);
    return -1;
}

int CGridCtrl::GetRecordMinWidth(int field, int column) {
    CMemRecord* table = mem_;
    if (column >= 0 && column < static_cast<int>(columns_.size())) {
        const int part = columns_[static_cast<size_t>(column)].part;
        if (part == 1 && headerPart_) table = headerPart_->GetMemRecord();
        if (part == 2 && leafPart_) table = leafPart_->GetMemRecord();
    }
    return MinWidthIn(table, field, column == 0);
}

int CGridCtrl::MinWidthIn(CMemRecord* table, int field, bool first) {
    if (!table || field < 0 || field >= table->GetFCount()) return 0;
    int caption = 0;
    if (!(GetStyle() & LVS_NOCOLUMNHEADER)) {
        std::string text = FieldName(table, field);
        if (gHeaderTextMap)
            if (const char* mapped = gHeaderTextMap(text.c_str())) text = mapped;
        const QFontMetrics metrics(headerFont_ ? headerFont_->Font() : listFont_.Font());
        caption = metrics.horizontalAdvance(QString::fromStdString(text));
    }
    int data = table->GetFieldViewWidth(field);
    if (first) {
        int extra = 0;
        if (style_ & GRID_HASCHECKBOX) extra += kBoxWidth;
        if (style_ & GRID_GROUPACTIVE) extra += kBoxWidth;
        const int image = (style_ & GRID_HASIMAGE) ? imageWidth_ + 4 : 0;
        data += extra + image;
        caption += extra + ((style_ & GRID_COMPACT) ? 0 : image);
    }
    const int margin = (style_ & GRID_COMPACT) && gNarrowMargin > 0 ? gNarrowMargin : gFieldMargin;
    return std::max(caption, data) + 2 * margin;
}

void CGridCtrl::MeasureWidths(bool all) {
    auto measure = [&](CMemRecord* table, int part) {
        if (!table) return;
        const int fields = table->GetFCount();
        WidthMeter meter(listFont_.Font());
        const int rows = GetViewCount();
        for (int f = 0; f < fields; ++f) {
            if (!all && !(table->GetFieldExtendStyle(f) & CMemRecord::kChangeMark)) continue;
            // The mark is cleared before measuring: a write that lands meanwhile marks the
            // field again instead of being lost.
            table->SetFieldExtendStyle(CMemRecord::kChangeMark, 0, f);
            int widest = 0;
            std::string widestText;
            for (int row = 0; row < rows; ++row) {
                if ((style_ & GRID_GROUPBAND) && IsGroupRow(row)) continue;
                int r = -1;
                CMemRecord* source = CellSource(row, part, &r);
                if (source != table) continue;
                std::string text;
                if (textFn_) {
                    CFixRecord view(table);
                    if (const char* t = textFn_(&view, r, f, textUser_))
                        text = t;
                    else
                        text = table->GetItemText(f, r);
                } else {
                    text = table->GetItemText(f, r);
                }
                if (const int w = meter.Approx(text); w > widest) {
                    widest = w;
                    widestText = std::move(text);
                }
            }
            if (!widestText.empty()) widest = std::max(widest, meter.Exact(widestText));
            table->SetFieldViewWidth(f, std::min(widest, 0x7FFF));
        }
    };
    measure(mem_, 0);
    if (headerPart_) measure(headerPart_->GetMemRecord(), 1);
    if (leafPart_) measure(leafPart_->GetMemRecord(), 2);
}

void CGridCtrl::SetHeaderItems() {
    HWND header = GetHeaderHwnd();
    if (!m_hWnd || !header) return;
    int existing = static_cast<int>(::SendMessage(header, HDM_GETITEMCOUNT, 0, 0));
    const int wanted = static_cast<int>(columns_.size());
    while (existing > wanted) ::SendMessage(m_hWnd, LVM_DELETECOLUMN, --existing, 0);
    for (int c = 0; c < wanted; ++c) {
        const Column& col = columns_[static_cast<size_t>(c)];
        CMemRecord* table = col.part == 1   ? headerPart_->GetMemRecord()
                            : col.part == 2 ? leafPart_->GetMemRecord()
                                            : mem_;
        std::string caption = FieldName(table, col.field);
        if (gHeaderTextMap)
            if (const char* mapped = gHeaderTextMap(caption.c_str())) caption = mapped;
        const uint32_t fieldStyle = table->GetFieldExtendStyle(col.field);
        int align = static_cast<int>(fieldStyle & 3);
        if (align == 0) {
            const char type = table->GetFieldType(col.field);
            align = (type == 'I' || type == 'R') ? 2 : 1;
        }
        const int fmt = (align == 2 ? HDF_RIGHT : align == 3 ? HDF_CENTER : HDF_LEFT) | HDF_STRING;
        if (c >= existing) {
            LVCOLUMN lv;
            lv.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
            lv.pszText = caption.data();
            lv.fmt = align == 2 ? LVCFMT_RIGHT : align == 3 ? LVCFMT_CENTER : LVCFMT_LEFT;
            lv.cx = GetRecordMinWidth(col.field, c);
            ::SendMessage(m_hWnd, LVM_INSERTCOLUMN, static_cast<WPARAM>(c),
                          reinterpret_cast<LPARAM>(&lv));
            ++existing;
        }
        HDITEM item;
        item.mask = HDI_TEXT | HDI_FORMAT | HDI_LPARAM;
        item.pszText = caption.data();
        item.fmt = fmt;
        item.lParam =
            (col.field & 0x3FF) |
            (col.field == sortField_ && col.part == 0 ? (sortDescending_ ? 0x800 : 0x400) : 0);
        ::SendMessage(header, HDM_SETITEM, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
    }
}

void CGridCtrl::UpdateSortMarks() {
    HWND header = GetHeaderHwnd();
    if (!header) return;
    for (size_t c = 0; c < columns_.size(); ++c) {
        HDITEM item;
        item.mask = HDI_LPARAM;
        item.lParam =
            (columns_[c].field & 0x3FF) | (columns_[c].field == sortField_ && columns_[c].part == 0
                                               ? (sortDescending_ ? 0x800 : 0x400)
                                               : 0);
        ::SendMessage(header, HDM_SETITEM, c, reinterpret_cast<LPARAM>(&item));
    }
    ::InvalidateRect(header, nullptr, FALSE);
}

void CGridCtrl::LayOutColumns() {
    columns_.clear();
    for (uint32_t entry : mainOrder_)
        if (!(entry & kHiddenEntry) && mem_ && static_cast<int>(entry & 0xFFFF) < mem_->GetFCount())
            columns_.push_back(Column{static_cast<int>(entry & 0xFFFF), 0});
    if (!(style_ & GRID_COMPACT) || gNarrowMargin > 0 || columns_.size() < 2 || !m_hWnd) return;
    // The narrow margin of compact grids, once per process: what the list itself adds to the
    // caption of column 0 when it sizes the column to it.
    SetHeaderItems();
    const int before = static_cast<int>(::SendMessage(m_hWnd, LVM_GETCOLUMNWIDTH, 0, 0));
    ::SendMessage(m_hWnd, LVM_SETCOLUMNWIDTH, 0,
                  MAKELPARAM(static_cast<WORD>(LVSCW_AUTOSIZE_USEHEADER), 0));
    const int sized = static_cast<int>(::SendMessage(m_hWnd, LVM_GETCOLUMNWIDTH, 0, 0));
    const QFontMetrics metrics(listFont_.Font());
    const int caption =
        metrics.horizontalAdvance(QString::fromStdString(FieldName(mem_, columns_.front().field)));
    gNarrowMargin = std::max(1, (sized - caption + 1) / 2);
    ::SendMessage(m_hWnd, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(static_cast<WORD>(before), 0));
}

void CGridCtrl::AdjustItemToFit() {
    if (!mem_) return;
    const int width = ClientWidth();
    std::vector<int> main;
    int used = 0;
    for (uint32_t entry : mainOrder_) {
        if (entry & kHiddenEntry) continue;
        const int field = static_cast<int>(entry & 0xFFFF);
        const int w = GetRecordMinWidth(field, main.empty() ? 0 : 1);
        if (!main.empty() && used + w > width) break;
        main.push_back(field);
        used += w;
    }
    std::vector<int> leaf;
    if ((style_ & GRID_TWOLEVEL) && headerPart_ && leafPart_) {
        CMemRecord* h = headerPart_->GetMemRecord();
        CMemRecord* l = leafPart_->GetMemRecord();
        for (uint32_t entry : leafOrder_) {
            if (entry & kHiddenEntry) continue;
            const int field = static_cast<int>(entry & 0xFFFF);
            const int w = 2 * std::max(MinWidthIn(h, field, false), MinWidthIn(l, field, false));
            if (used + w > width) break;
            leaf.push_back(field);
            used += w;
        }
    }
    if (style_ & GRID_MIRROR) std::reverse(main.begin(), main.end());
    columns_.clear();
    for (auto it = leaf.rbegin(); it != leaf.rend(); ++it) columns_.push_back(Column{*it, 1});
    for (int field : main) columns_.push_back(Column{field, 0});
    for (int field : leaf) columns_.push_back(Column{field, 2});
    SetHeaderItems();
    const int n = static_cast<int>(columns_.size());
    if (n == 0) return;
    std::vector<int> widths(static_cast<size_t>(n));
    int sum = 0;
    for (int c = 0; c < n; ++c) {
        const Column& col = columns_[static_cast<size_t>(c)];
        // A leaf field is as wide in both of its parts.
        widths[static_cast<size_t>(c)] =
            col.part == 0 ? MinWidthIn(mem_, col.field, c == 0)
                          : std::max(MinWidthIn(headerPart_->GetMemRecord(), col.field, c == 0),
                                     MinWidthIn(leafPart_->GetMemRecord(), col.field, c == 0));
        sum += widths[static_cast<size_t>(c)];
    }
    // The rest of the client width is shared, the remainder a pixel each to the first columns.
    const int rest = std::max(0, width - sum);
    for (int c = 0; c < n; ++c) {
        const int w = widths[static_cast<size_t>(c)] + rest / n + (c < rest % n ? 1 : 0);
        ::SendMessage(m_hWnd, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c),
                      MAKELPARAM(static_cast<WORD>(w), 0));
    }
}

void CGridCtrl::AdjustField(int column) {
    if (style_ & (GRID_FITCLIENT | GRID_TWOLEVEL) || !mem_) return;
    const int n = static_cast<int>(columns_.size());
    for (int c = (column < 0 ? 0 : column); c < (column < 0 ? n : std::min(column + 1, n)); ++c) {
        const int field = columns_[static_cast<size_t>(c)].field;
        mem_->SetFieldExtendStyle(CMemRecord::kChangeMark, CMemRecord::kChangeMark, field);
        MeasureWidths(false);
        mem_->SetFieldExtendStyle(kUserSized, 0, field);
        ::SendMessage(m_hWnd, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c),
                      MAKELPARAM(static_cast<WORD>(GetRecordMinWidth(field, c)), 0));
    }
}

void CGridCtrl::MoveColumn(int from, int to) {
    const int n = static_cast<int>(columns_.size());
    if (from < 0 || from >= n || to >= n || from == to) return;
    const Column moved = columns_[static_cast<size_t>(from)];
    // The order entry of the main part follows the display column.
    auto entry = std::find_if(mainOrder_.begin(), mainOrder_.end(), [&](uint32_t e) {
        return static_cast<int>(e & 0xFFFF) == moved.field;
    });
    if (moved.part == 0 && entry != mainOrder_.end()) {
        const uint32_t value = *entry;
        mainOrder_.erase(entry);
        if (to < 0) {
            mainOrder_.push_back(value | kHiddenEntry);
        } else {
            int visible = -1;
            auto at = mainOrder_.begin();
            for (; at != mainOrder_.end(); ++at)
                if (!(*at & kHiddenEntry) && ++visible == to) break;
            mainOrder_.insert(at, value);
        }
    }
    columns_.erase(columns_.begin() + from);
    if (to >= 0) columns_.insert(columns_.begin() + to, moved);
    std::vector<int> widths;
    for (int c = 0; c < n; ++c)
        widths.push_back(static_cast<int>(::SendMessage(m_hWnd, LVM_GETCOLUMNWIDTH, c, 0)));
    const int w = widths[static_cast<size_t>(from)];
    widths.erase(widths.begin() + from);
    if (to >= 0) widths.insert(widths.begin() + to, w);
    if (to < 0) ::SendMessage(m_hWnd, LVM_DELETECOLUMN, static_cast<WPARAM>(n - 1), 0);
    SetHeaderItems();
    for (size_t c = 0; c < widths.size() && c < columns_.size(); ++c)
        ::SendMessage(m_hWnd, LVM_SETCOLUMNWIDTH, c, MAKELPARAM(static_cast<WORD>(widths[c]), 0));
    Invalidate(FALSE);
}

// ---------------------------------------------------------------- refresh

void CGridCtrl::Refresh(int flag) {
    if (!m_hWnd) return;
    if (flag) {
        // The display attributes first: they rebuild the disabled fields and clear filter,
        // groups and map; then the stored column order over the default one.
        SetPrivateAttribute();
        BuildDefaultOrder();
        MeasureWidths(true);
        LayOutColumns();
        ApplyColumnLayout();
    }
    if (!mem_) {
        columns_.clear();
        order_.clear();
        hasMap_ = false;
        map_.clear();
        SetHeaderItems();
        ::SendMessage(m_hWnd, LVM_SETITEMCOUNT, 0, LVSICF_NOSCROLL);
        PlaceIndicator();
        Invalidate(FALSE);
        return;
    }
    const int focused = GetActiveItem();
    const int top = static_cast<int>(::SendMessage(m_hWnd, LVM_GETTOPINDEX, 0, 0));
    const int items = static_cast<int>(::SendMessage(m_hWnd, LVM_GETITEMCOUNT, 0, 0));
    const bool sorted = sortField_ >= 0 && mem_->GetCount() >= 2;
    if (sorted) {
        SortView();
        SortGroupTable();
    } else {
        order_.clear();
    }
    UpdateViewMap();
    const int rows = GetViewCount();
    const bool fontChanged = (style_ & GRID_FONTCHANGED) != 0;
    if (fontChanged || items != rows) {
        MeasureLine();
        RemeasureRows();
    }
    ::SendMessage(m_hWnd, LVM_SETITEMCOUNT, static_cast<WPARAM>(rows), LVSICF_NOSCROLL);
    MeasureWidths(fontChanged);
    if (style_ & (GRID_FITCLIENT | GRID_TWOLEVEL)) {
        AdjustItemToFit();
    } else {
        SetHeaderItems();
        for (size_t c = 0; c < columns_.size(); ++c) {
            const int field = columns_[c].field;
            const int min = GetRecordMinWidth(field, static_cast<int>(c));
            const int now = static_cast<int>(::SendMessage(m_hWnd, LVM_GETCOLUMNWIDTH, c, 0));
            // A width the user chose stays, also across a font change.
            if (!(mem_->GetFieldExtendStyle(field) & kUserSized) && (fontChanged || now < min))
                ::SendMessage(m_hWnd, LVM_SETCOLUMNWIDTH, c, MAKELPARAM(static_cast<WORD>(min), 0));
        }
    }
    // The focused display position stays where it was (row 0 when it fell out of range).
    if (rows > 0) {
        const int keep = (focused >= 0 && focused < rows) ? focused : 0;
        if (GetActiveItem() != keep || !(ItemState(keep, LVIS_SELECTED) & LVIS_SELECTED)) {
            LVITEM state;
            state.state = LVIS_FOCUSED | LVIS_SELECTED;
            state.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
            ::SendMessage(m_hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(keep),
                          reinterpret_cast<LPARAM>(&state));
        }
        MoveCursorTo(keep);
        if (items == rows && top > 0) {
            const int now = static_cast<int>(::SendMessage(m_hWnd, LVM_GETTOPINDEX, 0, 0));
            if (now != top)
                ::SendMessage(m_hWnd, LVM_SCROLL, 0,
                              static_cast<LPARAM>((top - now) * itemHeight_));
        }
    }
    style_ &= ~GRID_FONTCHANGED;
    if (sorted) NotifyItemChanged(GetColumnIndex(sortField_));
    PlaceIndicator();
    if (HWND header = GetHeaderHwnd()) ::InvalidateRect(header, nullptr, FALSE);
    Invalidate(FALSE);
}

void CGridCtrl::FreshItem(int row, int column) {
    if (!mem_) return;
    if (sortField_ >= 0 && (mem_->GetFieldExtendStyle(sortField_) & CMemRecord::kChangeMark)) {
        Refresh(0);
        return;
    }
    if (style_ & (GRID_FITCLIENT | GRID_TWOLEVEL)) {
        const int field = GetFieldIndex(column);
        if (field >= 0 && (mem_->GetFieldExtendStyle(field) & CMemRecord::kChangeMark)) {
            MeasureWidths(false);
            AdjustItemToFit();
        }
    }
    RedrawItemDirect(row, column);
}

void CGridCtrl::MoveCursorTo(int displayRow) {
    int row = -1;
    CMemRecord* table = CellSource(displayRow, 0, &row);
    if (!table || table == group_.get()) return;
    mem_->Go(row);
    if ((style_ & GRID_TWOLEVEL) && headerPart_ && leafPart_) {
        headerPart_->GetMemRecord()->Go(row);
        leafPart_->GetMemRecord()->Go(row);
    }
}

void CGridCtrl::NotifyItemChanged(int column) {
    NMLISTVIEW nm;
    nm.iItem = GetActiveItem();
    nm.iSubItem = column;
    nm.uNewState = nm.iItem >= 0 ? static_cast<UINT>(ItemState(nm.iItem, 0xFFFF)) : 0;
    nm.uChanged = LVIF_STATE;
    POINT cursor{};
    ::GetCursorPos(&cursor);
    ScreenToClient(&cursor);
    nm.ptAction = cursor;
    platform::ui::SendNotify(m_hWnd, LVN_ITEMCHANGED, &nm.hdr);
}

int pavlet::FocusedListItem(HWND list) {
    if (!list) return -1;
    return static_cast<int>(
        ::SendMessage(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

void pavlet::FocusListItem(HWND list, int row) {
    LVITEM state;
    state.state = 0;
    state.stateMask = LVIS_SELECTED;
    ::SendMessage(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                  reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_FOCUSED | LVIS_SELECTED;
    state.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    ::SendMessage(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                  reinterpret_cast<LPARAM>(&state));
    ::SendMessage(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), 0);
}

int CGridCtrl::GetActiveItem() const { return pavlet::FocusedListItem(m_hWnd); }

void CGridCtrl::SetActiveItem(int row) {
    if (!m_hWnd || row < 0 || row >= GetViewCount()) return;
    pavlet::FocusListItem(m_hWnd, row);
}

// ---------------------------------------------------------------- sorting

void CGridCtrl::SortColumn(int column, int mode) {
    int part = 0;
    const int field = GetFieldIndex(column, &part);
    if (field < 0 || part != 0 || !mem_) return;
    bool descending;
    if (mode == 1)
        descending = false;
    else if (mode == 2)
        descending = true;
    else  // the first click on a column that is not sorted descending alone sorts descending
        descending = !(field == sortField_ && sortDescending_);
    sortField_ = field;
    sortDescending_ = descending;
    SortView();
    SortGroupTable();
    UpdateViewMap();
    ::SendMessage(m_hWnd, LVM_SETITEMCOUNT, static_cast<WPARAM>(GetViewCount()), LVSICF_NOSCROLL);
    UpdateSortMarks();
    MoveCursorTo(GetActiveItem());
    NotifyItemChanged(column);
    Invalidate(FALSE);
}

// ---------------------------------------------------------------- settings

void CGridCtrl::SetItemHeight(int height, BOOL refresh) {
    customHeight_ = height;
    MeasureLine();  // clears a height outside what is kept
    style_ |= GRID_FONTCHANGED;
    RemeasureRows();
    SavePrivateAttribute();
    if (refresh) Refresh(0);
}

void CGridCtrl::SetBlankPrompt(const char* text, COLORREF color) {
    prompt_ = text ? text : "";
    if (color != CLR_INVALID) promptColor_ = color;
    Invalidate(FALSE);
}

void CGridCtrl::HideIndicator(BOOL hide) {
    if (hide)
        style_ &= ~GRID_INDICATOR;
    else
        style_ |= GRID_INDICATOR;
    PlaceIndicator();
}

void CGridCtrl::SetExStyle(uint32_t bits, uint32_t mask) {
    mask &= 0xFFFF;
    uint32_t next = (style_ & ~mask) | (bits & mask);
    if (bits & (GRID_FITCLIENT | GRID_TWOLEVEL)) next &= ~GRID_HEADERDRAG;
    style_ = next;
    if (m_hWnd) {
        ::SendMessage(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_HEADERDRAGDROP,
                      (style_ & GRID_HEADERDRAG) ? LVS_EX_HEADERDRAGDROP : 0);
        PlaceIndicator();
        Invalidate(FALSE);
        if (HWND header = GetHeaderHwnd()) ::InvalidateRect(header, nullptr, FALSE);
    }
}

uint32_t CGridCtrl::SetMiscellaneous(uint32_t bits, uint32_t mask) {
    misc_ = (misc_ & ~mask) | (bits & mask);
    if (auto* area = m_hWnd ? qobject_cast<QAbstractScrollArea*>(GetWidget()) : nullptr) {
        // The fixed view: back to the origin (through the list's own procedure), no bars.
        if (misc_ & 1) {
            CWnd::WindowProc(WM_VSCROLL, SB_TOP, 0);
            CWnd::WindowProc(WM_HSCROLL, SB_TOP, 0);
        }
        const Qt::ScrollBarPolicy policy =
            (misc_ & 1) ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
        area->setVerticalScrollBarPolicy(policy);
        area->setHorizontalScrollBarPolicy(policy);
        Invalidate(FALSE);
    }
    return misc_;
}

void CGridCtrl::EnableScrollbarParentNotify(BOOL on) {
    if (on)
        style_ |= GRID_SCROLLNOTIFY;
    else
        style_ &= ~GRID_SCROLLNOTIFY;
}

void CGridCtrl::SetHeaderColor(COLORREF text, COLORREF background) {
    headerText_ = text;
    headerBk_ = background;
    if (HWND header = GetHeaderHwnd()) ::InvalidateRect(header, nullptr, FALSE);
}

void CGridCtrl::SetGridlinesColor(COLORREF color) {
    gridColor_ = color;
    if (m_hWnd) Invalidate(FALSE);
}

void CGridCtrl::SetHeaderGridlinesColor(COLORREF color) {
    headerGridColor_ = color;
    if (HWND header = GetHeaderHwnd()) ::InvalidateRect(header, nullptr, FALSE);
}

void CGridCtrl::SetSelectedColor(COLORREF text, COLORREF background) {
    selText_ = text;
    selBk_ = background;
    if (m_hWnd) Invalidate(FALSE);
}

void CGridCtrl::SetSortedColor(COLORREF background) {
    sortedBk_ = background;
    if (m_hWnd) Invalidate(FALSE);
}

void CGridCtrl::SetRecordTextFunctor(GridTextFunctor text, void* user) {
    textFn_ = text;
    textUser_ = user;
    if (m_hWnd) Invalidate(FALSE);
}

void CGridCtrl::SetFieldTextColor(GridColorFunctor color, void* user) {
    textColorFn_ = color;
    textColorUser_ = user;
    if (m_hWnd) Invalidate(FALSE);
}

void CGridCtrl::SetFieldBkColor(GridColorFunctor color, void* user) {
    bkColorFn_ = color;
    bkColorUser_ = user;
    if (m_hWnd) Invalidate(FALSE);
}

// ---------------------------------------------------------------- tool tips

UINT_PTR CGridCtrl::MakeToolId(int row, int column) {
    // Row and column each keep their own 32 bits: no column count makes two cells meet.
    return (static_cast<UINT_PTR>(static_cast<uint32_t>(row)) << 32) |
           static_cast<uint32_t>(column);
}

void CGridCtrl::SplitToolId(UINT_PTR id, int* row, int* column) {
    if (row) *row = static_cast<int>(static_cast<uint32_t>(id >> 32));
    if (column) *column = static_cast<int>(static_cast<uint32_t>(id & 0xFFFFFFFFu));
}

void CGridCtrl::SetToolTipCtrl(GridToolTipFunctor text, void* user) {
    tipFn_ = text;
    tipUser_ = user;
    if (!m_hWnd) return;
    if (text && !toolTip_) {
        auto tip = std::make_unique<CToolTipCtrl>();
        if (tip->Create(this)) {
            tip->SetMaxTipWidth(512);
            tip->SetTitle(TTI_INFO, "提示");
            toolTip_ = std::move(tip);
        }
    }
    Invalidate(FALSE);
}

std::string CGridCtrl::GetToolTipText(int row, int column) {
    if (!tipFn_ || column < 0 || column >= static_cast<int>(columns_.size())) return {};
    int r = -1;
    CMemRecord* table = CellSource(row, 0, &r);
    if (!table || table == group_.get()) return {};
    const char* text = tipFn_(table_, r, column, tipUser_);
    if (!text) return {};
    std::string tip(text);
    if (tip.size() > 1023) tip.resize(platform::CutToGbkBudget(tip, 1023));
    return tip;
}

BOOL CGridCtrl::CellFromPoint(POINT point, int* row, int* column) const {
    if (row) *row = -1;
    if (column) *column = -1;
    if (!m_hWnd) return FALSE;
    LVHITTESTINFO hit;
    hit.pt = point;
    ::SendMessage(m_hWnd, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.iItem < 0) return FALSE;
    if (row) *row = hit.iItem;
    if (column) *column = hit.iSubItem;
    return TRUE;
}

void pavlet::MoveCellToolTip(CWnd* list, CWnd* tipWnd, int row, int column, int* tipRow,
                             int* tipColumn) {
    if (row == *tipRow && column == *tipColumn) return;
    auto* tip = static_cast<CToolTipCtrl*>(tipWnd);
    if (*tipRow >= 0) tip->DelTool(list, CGridCtrl::MakeToolId(*tipRow, *tipColumn));
    *tipRow = row;
    *tipColumn = column;
    if (row < 0 || column < 0) return;
    RECT cell{};
    cell.top = column;
    cell.left = LVIR_BOUNDS;
    ::SendMessage(list->m_hWnd, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                  reinterpret_cast<LPARAM>(&cell));
    tip->AddTool(list, LPSTR_TEXTCALLBACK, &cell, CGridCtrl::MakeToolId(row, column));
}

void CGridCtrl::UpdateToolTip(POINT point) {
    if (!toolTip_ || !tipFn_) return;
    int row = -1, column = -1;
    CellFromPoint(point, &row, &column);
    pavlet::MoveCellToolTip(this, toolTip_.get(), row, column, &tipRow_, &tipColumn_);
}

// ---------------------------------------------------------------- mouse and keys

bool CGridCtrl::OnRowEdge(POINT point) const {
    const int hh = HeaderHeight();
    if (point.y < hh || GetViewCount() == 0 || itemHeight_ <= 0) return false;
    const int offset = (point.y - hh) % itemHeight_;
    const int top = static_cast<int>(::SendMessage(m_hWnd, LVM_GETTOPINDEX, 0, 0));
    const int row = top + (point.y - hh) / itemHeight_;
    if (row >= GetViewCount() && offset >= 2) return false;
    return offset < 2 || offset >= itemHeight_ - 2;
}

void CGridCtrl::TrackRowHeight(POINT point) {
    dragging_ = true;
    dragStartY_ = point.y;
    dragY_ = point.y;
    SetCapture();
}

bool CGridCtrl::OnMouseDown(UINT, POINT point) {
    pressRow_ = pressColumn_ = -1;
    int row = -1, column = -1;
    CellFromPoint(point, &row, &column);
    if (OnRowEdge(point)) {
        TrackRowHeight(point);
        return true;
    }
    if (row < 0) return false;
    pressPoint_ = point;
    pressRow_ = row;
    pressColumn_ = column;
    if (column != 0) return false;
    RECT cell{};
    cell.top = 0;
    cell.left = LVIR_BOUNDS;
    ::SendMessage(m_hWnd, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                  reinterpret_cast<LPARAM>(&cell));
    const int x = point.x - cell.left;
    int boxStart = 0;
    if (style_ & GRID_GROUPACTIVE) {
        boxStart = kBoxWidth;
        if (IsGroupRow(row) && x < kBoxWidth) {
            ToggleGroup(row);
            return false;  // the list still selects the row
        }
    }
    if ((style_ & GRID_HASCHECKBOX) && x >= boxStart && x < boxStart + kBoxWidth) {
        ToggleCheckAt(row);
        return true;
    }
    return false;
}

void CGridCtrl::ToggleGroup(int displayRow) {
    const int entry = GetMapRecno(displayRow);
    if (entry < 0 || !(entry & GRID_GROUPROW) || !group_) return;
    const int g = entry & GRID_ROWMASK;
    const uint32_t itemStyle = group_->GetItemExtendStyle(g);
    if (itemStyle & GRID_GROUP_FIXED) return;
    group_->SetItemExtendStyle(GRID_GROUP_EXPANDED, itemStyle ^ GRID_GROUP_EXPANDED, g);
    Refresh(0);
    NotifyItemChanged(0);
}

void CGridCtrl::ToggleCheckAt(int displayRow) {
    const int value = (GetRecordCheckImage(displayRow) & 1) ? 0 : 1;
    if (ItemState(displayRow, LVIS_SELECTED) & LVIS_SELECTED) {
        const int count = GetViewCount();
        for (int row = 0; row < count; ++row)
            if (ItemState(row, LVIS_SELECTED) & LVIS_SELECTED) SetRecordCheckImage(value, row);
    } else {
        SetRecordCheckImage(value, displayRow);
    }
    Invalidate(FALSE);
    if (HWND header = GetHeaderHwnd()) ::InvalidateRect(header, nullptr, FALSE);
}

void CGridCtrl::OnMouseUp(UINT flags, POINT point) {
    if (dragging_) {
        dragging_ = false;
        if (GetCapture() == this) ::ReleaseCapture();
        const int height = itemHeight_ + (dragY_ - dragStartY_);
        Invalidate(FALSE);
        if (dragY_ != dragStartY_) SendMessage(WM_GRID_COMMAND, 20, static_cast<LPARAM>(height));
        return;
    }
    int row = -1, column = -1;
    CellFromPoint(point, &row, &column);
    if (row < 0 || pressRow_ < 0) {
        pressRow_ = pressColumn_ = -1;
        return;
    }
    NMITEMACTIVATE nm;
    nm.iItem = pressRow_;
    nm.iSubItem = pressColumn_;
    nm.uNewState = static_cast<UINT>(ItemState(pressRow_, 0xFFFF));
    nm.uKeyFlags = ((flags & MK_CONTROL) ? 0x1u : 0u) | ((flags & MK_SHIFT) ? 0x4u : 0u);
    nm.ptAction = pressPoint_;
    pressRow_ = pressColumn_ = -1;
    sendingClick_ = true;
    platform::ui::SendNotify(m_hWnd, NM_CLICK, &nm.hdr);
    sendingClick_ = false;
}

bool CGridCtrl::OnKey(UINT vk) {
    if (vk == 'A' && (GetKeyState(VK_CONTROL) & 0x8000)) {
        LVITEM state;
        state.state = LVIS_SELECTED;
        state.stateMask = LVIS_SELECTED;
        ::SendMessage(m_hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                      reinterpret_cast<LPARAM>(&state));
        return true;
    }
    if (vk == VK_SPACE && (style_ & GRID_HASCHECKBOX)) {
        const int focused = GetActiveItem();
        if (focused < 0) return true;
        const int value = (GetRecordCheckImage(focused) & 1) ? 0 : 1;
        SetRecordCheckImage(value, focused);
        const int count = GetViewCount();
        for (int row = 0; row < count; ++row)
            if (row != focused && (ItemState(row, LVIS_SELECTED) & LVIS_SELECTED))
                SetRecordCheckImage(value, row);
        Invalidate(FALSE);
        if (HWND header = GetHeaderHwnd()) ::InvalidateRect(header, nullptr, FALSE);
        return true;
    }
    return false;
}

LRESULT CGridCtrl::OnHeaderNotify(NMHDR* nm, bool* handled) {
    *handled = true;
    auto* header = reinterpret_cast<NMHEADER*>(nm);
    const bool fitted = (style_ & (GRID_FITCLIENT | GRID_TWOLEVEL)) != 0;
    switch (nm->code) {
        case HDN_ITEMCLICK:
        case HDN_ITEMDBLCLICK:
            if (GetViewCount() > 0 && !(style_ & GRID_COMPACT)) SortColumn(header->iItem, 0);
            return 0;
        case HDN_BEGINTRACK:
            if (fitted) return TRUE;
            break;
        case HDN_ENDTRACK:
            if (fitted) return TRUE;
            if (mem_) {
                const int field = GetFieldIndex(header->iItem);
                if (field >= 0) mem_->SetFieldExtendStyle(kUserSized, kUserSized, field);
            }
            SaveColumnLayout();
            break;
        case HDN_DIVIDERDBLCLICK:
            AdjustField(header->iItem);
            SaveColumnLayout();
            return 0;
        case HDN_ITEMCHANGING:
            if (header->pitem && (header->pitem->mask & HDI_WIDTH) &&
                header->pitem->cxy < kMinColumnWidth)
                return TRUE;
            break;
        case HDN_ENDDRAG: {
            const int from = header->iItem;
            const int to = header->pitem ? header->pitem->iOrder : -1;
            if (to >= 0) {
                MoveColumn(from, to);
                SaveColumnLayout();
            }
            return TRUE;  // the header does not reorder by itself
        }
        default:
            break;
    }
    *handled = false;
    return 0;
}

// ---------------------------------------------------------------- window procedure

BOOL CGridCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_MEASUREITEM) {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (measure) measure->itemHeight = static_cast<UINT>(itemHeight_);
        *result = TRUE;
        return TRUE;
    }
    if (message == WM_NOTIFY) {
        auto* nm = reinterpret_cast<NMHDR*>(lParam);
        if (!nm || nm->hwndFrom != m_hWnd) return FALSE;
        // The list's own click (on the press) is dropped: the grid sends one on button up.
        if (nm->code == NM_CLICK && !sendingClick_) return TRUE;
        // A click on a cell's label starts editing it (lists with the edit-labels style).
        if (nm->code == NM_CLICK || nm->code == NM_DBLCLK) {
            OnCellClick(reinterpret_cast<NMITEMACTIVATE*>(lParam));
            return FALSE;
        }
        if (nm->code == LVN_GETDISPINFO) {
            // Texts the list asks for itself (auto-sizing): the grid's cell texts.
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
                MoveCursorTo(lv->iItem);
                PlaceIndicator();
            }
        }
        return FALSE;
    }
    return CWnd::OnChildNotify(message, wParam, lParam, result);
}

LRESULT CGridCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PRINTCLIENT:
            if (!setUp_) break;
            PaintClient(reinterpret_cast<CDC*>(wParam));
            return TRUE;
        case WM_NCPAINT:
            if (GetStyle() & WS_BORDER) {
                // The thin border that replaced the client edge, in the grid's own colour.
                CWindowDC dc(this);
                RECT r;
                GetWindowRect(&r);
                ::OffsetRect(&r, -r.left, -r.top);
                dc.Draw3dRect(&r, COLORREF{0x908782}, COLORREF{0x908782});
                return 0;
            }
            break;
        case WM_SETFONT:
            if (auto* font = reinterpret_cast<CFont*>(wParam); font && font->IsCreated()) {
                MakeFonts(font->LogFont());
                MeasureLine();
                RemeasureRows();
            }
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(&listFont_);
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
                RemeasureRows();
            }
            break;
        case LVM_SETEXTENDEDLISTVIEWSTYLE: {
            // Grid lines become the grid's own; full-row select always; no list check boxes
            // (the grid draws and toggles its own).
            DWORD bits = static_cast<DWORD>(lParam);
            const DWORD mask = wParam ? static_cast<DWORD>(wParam) : 0xFFFFFFFFu;
            if ((mask & LVS_EX_GRIDLINES) && (bits & LVS_EX_GRIDLINES)) style_ |= GRID_GRIDLINES;
            bits = (bits & ~(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES)) | LVS_EX_FULLROWSELECT;
            return CWnd::WindowProc(message, wParam, static_cast<LPARAM>(bits));
        }
        case WM_GRID_COMMAND:
            return OnGridCommand(wParam, lParam);
        case LVM_SETITEMTEXT: {
            // A real text set on an item is stored in the cell's field; the list keeps asking
            // for its texts.
            const auto* item = reinterpret_cast<const LVITEM*>(lParam);
            const int row = static_cast<int>(static_cast<intptr_t>(wParam));
            if (!item || !item->pszText || item->pszText == LPSTR_TEXTCALLBACK) return TRUE;
            SetRecordText(item->iSubItem, item->pszText, row);
            FreshItem(row, item->iSubItem);
            return TRUE;
        }
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
            // Only the menu the grid tracks, never a sub-menu the parent added to it.
            if (pavlet::IsTrackedListMenu(trackedMenu_, wParam, lParam))
                AppendMenuEntries(trackedMenu_);
            return 0;
        case LVM_SETITEMSTATE: {
            // A state image set on an item is the row's check (state image minus one).
            const auto* item = reinterpret_cast<const LVITEM*>(lParam);
            if (item && (item->stateMask & LVIS_STATEIMAGEMASK)) {
                const int image = static_cast<int>((item->state & LVIS_STATEIMAGEMASK) >> 12);
                const int row = static_cast<int>(static_cast<intptr_t>(wParam));
                if (image > 0 && row >= 0) SetRecordCheckImage(image - 1, row);
                LVITEM rest = *item;
                rest.stateMask &= ~LVIS_STATEIMAGEMASK;
                if (!rest.stateMask) return TRUE;
                return CWnd::WindowProc(message, wParam, reinterpret_cast<LPARAM>(&rest));
            }
            break;
        }
        case WM_NOTIFY: {
            auto* nm = reinterpret_cast<NMHDR*>(lParam);
            if (nm && nm->code == TTN_GETDISPINFO && toolTip_ && nm->hwndFrom == toolTip_->m_hWnd) {
                // The tool's id names its cell.
                auto* info = reinterpret_cast<NMTTDISPINFO*>(lParam);
                int row = -1, column = -1;
                SplitToolId(nm->idFrom, &row, &column);
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
            if (style_ & (GRID_FITCLIENT | GRID_TWOLEVEL)) AdjustItemToFit();
            if (HWND header = GetHeaderHwnd()) ::InvalidateRect(header, nullptr, FALSE);
            PlaceIndicator();
            return result;
        }
        case WM_SETFOCUS:
            style_ |= GRID_HASFOCUS;
            break;
        case WM_KILLFOCUS:
            style_ &= ~GRID_HASFOCUS;
            break;
        case WM_LBUTTONDOWN:
            if (OnMouseDown(static_cast<UINT>(wParam), POINT{XOf(lParam), YOf(lParam)})) return 0;
            break;
        case WM_LBUTTONUP:
            OnMouseUp(static_cast<UINT>(wParam), POINT{XOf(lParam), YOf(lParam)});
            break;
        case WM_MOUSEMOVE: {
            const POINT point{XOf(lParam), YOf(lParam)};
            if (dragging_) {
                // Confined to the heights that SetItemHeight keeps.
                const int low = dragStartY_ + (MinRowHeight() - itemHeight_);
                const int high = dragStartY_ + (MaxRowHeight() - itemHeight_);
                dragY_ = std::clamp(point.y, std::min(low, high), std::max(low, high));
                Invalidate(FALSE);
                return 0;
            }
            if (OnRowEdge(point)) ::SetCursor(::LoadCursor(nullptr, IDC_SIZENS));
            UpdateToolTip(point);
            break;
        }
        case WM_CAPTURECHANGED:
            if (dragging_ && static_cast<HWND>(lParam) != m_hWnd) {
                dragging_ = false;
                Invalidate(FALSE);
            }
            break;
        case WM_KEYDOWN:
            if (dragging_ && wParam == VK_ESCAPE) {
                dragging_ = false;
                ::ReleaseCapture();
                Invalidate(FALSE);
                return 0;
            }
            if (OnKey(static_cast<UINT>(wParam))) return 0;
            break;
        case WM_MOUSEWHEEL:
        case WM_VSCROLL:
        case WM_HSCROLL:
            if (misc_ & 1) return 0;  // the fixed view stays at the origin
            if (style_ & GRID_SCROLLNOTIFY)
                if (CWnd* parent = GetParent()) parent->SendMessage(message, wParam, lParam);
            break;
        case WM_TIMER:
            if (wParam == kAnimationTimer) {
                OnAnimationTimer();
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

void CGridCtrl::PlaceIndicator() {
    if (!indicator_ || !indicator_->m_hWnd) return;
    const int focused = GetActiveItem();
    if (!(style_ & GRID_INDICATOR) || focused < 0) {
        indicator_->ShowWindow(SW_HIDE);
        return;
    }
    char text[32];
    auto [p, ec] = std::to_chars(text, text + 12, focused + 1);
    *p++ = '/';
    auto [q, ec2] = std::to_chars(p, text + sizeof text - 1, GetViewCount());
    *q = '\0';
    indicator_->SetWindowText(text);
    const QFontMetrics metrics(static_cast<CFont*>(GetStockObject(DEFAULT_GUI_FONT))->Font());
    const int w = metrics.horizontalAdvance(QString::fromLatin1(text)) + 8;
    const int h = metrics.height() + 4;
    indicator_->MoveWindow(ClientWidth() - w - 2, ClientHeight() - h - 2, w, h);
    indicator_->ShowWindow(SW_SHOWNA);
}
