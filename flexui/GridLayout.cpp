// CGridCtrl's persisted layout (column order and widths, display attributes, fonts, disabled
// fields, all under the layout name in the private store) and its dBASE and CSV exports.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <unordered_map>

#include "flexui/GridCtrl.h"
#include "flexui/GridExport.h"
#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "platform/core/ProfileFile.h"
#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/ProfileCodecs.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "record/MemRecord.h"
#include "record/StringHelpers.h"

namespace {

constexpr const char* kOrderSection = "LISTORDER";
constexpr const char* kAttributeSection = "LISTCTRL";
constexpr const char* kListFontSection = "LISTFONT";
constexpr const char* kHeaderFontSection = "HEADERFONT";
constexpr const char* kDisabledSection = "DisabledListFieldIdentity";
constexpr std::size_t kMaxOrderText = 4095;
constexpr std::size_t kMaxDisabledText = 1023;
constexpr uint32_t kHiddenEntry = 0x10000;
constexpr uint32_t kUserSized = 0x10;

using OrderItem = pavlet::ListOrderItem;

}  // namespace

bool pavlet::ParseListOrderItem(std::string_view item, ListOrderItem* out) {
    int parts[3] = {0, 0, 0};
    int count = 0;
    while (count < 3) {
        const std::size_t colon = item.find(':');
        const std::string_view piece = item.substr(0, colon);
        const char* end = piece.data() + piece.size();
        auto [p, ec] = std::from_chars(piece.data(), end, parts[count]);
        if (ec != std::errc() || p != end) return false;
        ++count;
        if (colon == std::string_view::npos) break;
        item.remove_prefix(colon + 1);
    }
    if (parts[0] <= 0) return false;
    out->identity = static_cast<unsigned>(parts[0]);
    out->width = parts[1];
    out->flags = parts[2];
    return true;
}

namespace {

std::string FieldCaption(CMemRecord* table, int field) {
    std::string name;
    if (!table || !table->GetFieldInfo(field, &name, nullptr, nullptr, nullptr, nullptr)) return {};
    if (GridTextMapFunctor map = CGridCtrl::GetHeaderTextMapFunctor())
        if (const char* mapped = map(name.c_str())) name = mapped;
    return name;
}

bool SameFont(const LOGFONT& a, const LOGFONT& b) {
    return platform::ui::PackLogFont(a) == platform::ui::PackLogFont(b);
}

// A stored font as the grid applies it: default character set, never underlined.
LOGFONT Normalised(LOGFONT font) {
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfUnderline = 0;
    return font;
}

}  // namespace

bool pavlet::ReadStoredListFont(const std::string& section, const std::string& key, LOGFONT* font) {
    std::array<uint8_t, platform::ui::kLogFontRecordSize> record{};
    if (!pavlet::ReadPrivateConfigureStruct(section, key, record.data(),
                                            static_cast<unsigned>(record.size())))
        return false;
    *font = Normalised(platform::ui::UnpackLogFont(record));
    return true;
}

// ---------------------------------------------------------------- column order

void CGridCtrl::ApplyColumnLayout() {
    std::string text;
    if (!layoutName_.empty() && mem_)
        text = pavlet::ReadPrivateConfigure(kOrderSection, layoutName_, nullptr);
    SetColumnOrder(text.c_str());
}

void CGridCtrl::SaveColumnLayout() { WriteHeaderOrderWidths(); }

std::string CGridCtrl::GetHeaderOrderWidths() {
    std::string text;
    if (!mem_) return text;
    bool full = false;
    auto add = [&](const std::string& item) {
        // Whole items only, within what the store keeps; the order ends at the first that
        // does not fit.
        if (full || text.size() + item.size() > kMaxOrderText)
            full = true;
        else
            text += item;
    };
    const bool twoLevel = (style_ & GRID_TWOLEVEL) && headerPart_ && leafPart_;
    if (twoLevel || (style_ & GRID_FITCLIENT)) {
        CMemRecord* table = twoLevel ? headerPart_->GetMemRecord() : mem_;
        for (uint32_t entry : twoLevel ? leafOrder_ : mainOrder_)
            if (!(entry & kHiddenEntry))
                add(platform::FormatInt(table->GetFieldIDentity(static_cast<int>(entry & 0xFFFF))) +
                    ",");
        return text;
    }
    for (size_t c = 0; c < columns_.size(); ++c) {
        const int field = columns_[c].field;
        const int width =
            m_hWnd ? static_cast<int>(::SendMessage(m_hWnd, LVM_GETCOLUMNWIDTH, c, 0)) : 0;
        std::string item =
            platform::FormatInt(mem_->GetFieldIDentity(field)) + ":" + platform::FormatInt(width);
        if (mem_->GetFieldExtendStyle(field) & kUserSized) item += ":1";
        add(item + ",");
    }
    return text;
}

void CGridCtrl::WriteHeaderOrderWidths() {
    if (layoutName_.empty() || !mem_) return;
    pavlet::WritePrivateConfigure(kOrderSection, layoutName_, GetHeaderOrderWidths());
}

void CGridCtrl::SetColumnOrder(const char* text) {
    if (!mem_) return;
    const bool twoLevel = (style_ & GRID_TWOLEVEL) && headerPart_ && leafPart_;
    const bool fitted = twoLevel || (style_ & GRID_FITCLIENT);
    CMemRecord* table = twoLevel ? leafPart_->GetMemRecord() : mem_;
    std::vector<uint32_t>& order = twoLevel ? leafOrder_ : mainOrder_;

    // Candidates: the fields offered as columns; the disabled ones among them are known but
    // never shown.
    const std::vector<int> candidates = OfferedFields(table);
    std::vector<int> shown;  // offered and not disabled
    for (int field : candidates)
        if (!IsDisabledField(table, field)) shown.push_back(field);

    struct Listed {
        int field;
        int width;
        bool userSized;
    };
    std::vector<Listed> listed;
    bool valid = true;
    std::string_view rest = text ? std::string_view(text) : std::string_view();
    while (valid && !rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        if (item.empty()) continue;
        OrderItem parsed;
        const int field =
            pavlet::ParseListOrderItem(item, &parsed) ? table->FindIndex(parsed.identity) : -1;
        if (field < 0 ||
            std::find(candidates.begin(), candidates.end(), field) == candidates.end()) {
            // A field the table no longer offers: the stored order no longer describes it.
            valid = false;
            break;
        }
        if (IsDisabledField(table, field)) continue;
        if (std::any_of(listed.begin(), listed.end(),
                        [&](const Listed& l) { return l.field == field; }))
            continue;
        listed.push_back(Listed{field, parsed.width, (parsed.flags & 1) != 0});
    }
    if (!valid) listed.clear();
    const bool useDefault = listed.empty();
    if (useDefault)
        for (int field : shown) listed.push_back(Listed{field, 0, false});

    // Widths of the fields shown now, before the columns change.
    std::unordered_map<int, int> current;
    if (m_hWnd && !fitted)
        for (size_t c = 0; c < columns_.size(); ++c)
            if (columns_[c].part == 0)
                current[columns_[c].field] =
                    static_cast<int>(::SendMessage(m_hWnd, LVM_GETCOLUMNWIDTH, c, 0));

    order.clear();
    for (const Listed& l : listed) order.push_back(static_cast<uint32_t>(l.field));
    // The rest stays known as hidden entries, for the column-order dialog and fitted modes.
    for (int field : shown)
        if (std::none_of(listed.begin(), listed.end(),
                         [&](const Listed& l) { return l.field == field; }))
            order.push_back(static_cast<uint32_t>(field) | kHiddenEntry);

    if (fitted) {
        if (m_hWnd) AdjustItemToFit();
        return;
    }
    for (const Listed& l : listed)
        if (l.userSized) mem_->SetFieldExtendStyle(kUserSized, kUserSized, l.field);
    LayOutColumns();
    SetHeaderItems();
    if (!m_hWnd) return;
    for (size_t c = 0; c < columns_.size(); ++c) {
        const int field = columns_[c].field;
        const int min = GetRecordMinWidth(field, static_cast<int>(c));
        int width = min;
        if (!useDefault) {
            const auto it = std::find_if(listed.begin(), listed.end(),
                                         [&](const Listed& l) { return l.field == field; });
            if (it != listed.end() && it->width > 0)
                width = it->width;
            else if (auto now = current.find(field); now != current.end())
                width = now->second;
            if (!(mem_->GetFieldExtendStyle(field) & kUserSized)) width = std::max(width, min);
        }
        ::SendMessage(m_hWnd, LVM_SETCOLUMNWIDTH, c, MAKELPARAM(static_cast<WORD>(width), 0));
    }
}

// ---------------------------------------------------------------- display attributes

bool CGridCtrl::AttributesStored() const {
    return !layoutName_.empty() && !(style_ & (GRID_COMPACT | GRID_NOFONTMENU));
}

std::string CGridCtrl::GetAttribute() {
    std::string text;
    pavlet::SetFlexItem(text, "indicator", int32_t{(style_ & GRID_INDICATOR) ? 1 : 0});
    pavlet::SetFlexItem(text, "gridline", int32_t{(style_ & GRID_GRIDLINES) ? 1 : 0});
    if (customHeight_ > 0) pavlet::SetFlexItem(text, "rowheight", int32_t{customHeight_});
    auto colour = [&](const char* key, COLORREF value) {
        if (value != CLR_INVALID) pavlet::SetFlexItem(text, key, static_cast<int32_t>(value));
    };
    colour("gridcolor", gridColor_);
    colour("headerbkcolor", headerBk_);
    colour("headertextcolor", headerText_);
    colour("headergridcolor", headerGridColor_);
    colour("selectedbkcolor", selBk_);
    colour("selectedtextcolor", selText_);
    if (m_hWnd) {
        const auto bk = static_cast<int32_t>(ListBkColor());
        const auto fore = static_cast<int32_t>(ListTextColor());
        if (bk >= 0) pavlet::SetFlexItem(text, "bkcolor", bk);
        if (fore >= 0) pavlet::SetFlexItem(text, "textcolor", fore);
    }
    return text;
}

void CGridCtrl::SavePrivateAttribute() {
    if (!AttributesStored()) return;
    pavlet::WritePrivateConfigure(kAttributeSection, layoutName_, GetAttribute());
}

void CGridCtrl::SetAttribute(const char* text) {
    if (!text) return;
    const pavlet::ListAttributes attributes(text);
    auto bit = [&](const char* key, uint32_t flag) {
        if (!attributes.Has(key)) return;
        if (attributes.Long(key))
            style_ |= flag;
        else
            style_ &= ~flag;
    };
    bit("indicator", GRID_INDICATOR);
    bit("gridline", GRID_GRIDLINES);
    attributes.Colour("gridcolor", &gridColor_);
    attributes.Colour("headerbkcolor", &headerBk_);
    attributes.Colour("headertextcolor", &headerText_);
    attributes.Colour("headergridcolor", &headerGridColor_);
    attributes.Colour("selectedbkcolor", &selBk_);
    attributes.Colour("selectedtextcolor", &selText_);
    if (m_hWnd) pavlet::ApplyReportListColours(m_hWnd, attributes);
    if (attributes.Has("rowheight")) {
        const int height = attributes.Long("rowheight");
        if (height >= 0 && height <= 255 && height != customHeight_) {
            customHeight_ = height;
            MeasureLine();  // keeps only a height the rows can take
            style_ |= GRID_FONTCHANGED;
            RemeasureRows();
        }
    }
    if (!m_hWnd) return;
    PlaceIndicator();
    Invalidate(FALSE);
    if (HWND header = GetHeaderHwnd()) ::InvalidateRect(header, nullptr, FALSE);
}

void CGridCtrl::SetHeaderFontFrom(const LOGFONT& font) {
    const LOGFONT applied = Normalised(font);
    if (headerFont_ && SameFont(headerFont_->LogFont(), applied)) return;
    auto made = std::make_unique<CFont>();
    if (!made->CreateFontIndirect(&applied)) return;
    headerFont_ = std::move(made);
    RemeasureRows();  // the header takes its new height
}

void CGridCtrl::ApplyStoredFonts() {
    LOGFONT font;
    // Only a font that differs counts as a change: the widths are not measured anew for a
    // font the grid already shows.
    if (pavlet::ReadStoredListFont(kListFontSection, layoutName_, &font) &&
        !SameFont(Normalised(listFont_.LogFont()), font)) {
        CFont stored;
        if (stored.CreateFontIndirect(&font))
            SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(&stored), TRUE);
    }
    if (pavlet::ReadStoredListFont(kHeaderFontSection, layoutName_, &font)) SetHeaderFontFrom(font);
}

void CGridCtrl::SetPrivateAttribute() {
    if (!layoutName_.empty()) {
        if (AttributesStored()) {
            const std::string text =
                pavlet::ReadPrivateConfigure(kAttributeSection, layoutName_, nullptr);
            if (!text.empty()) SetAttribute(text.c_str());
        }
        ApplyStoredFonts();
    }
    InitialRecordExtendData();
}

void CGridCtrl::InitialRecordExtendData() {
    std::string extra, own;
    if (!layoutName_.empty()) {
        const std::string profile = GetExtendProfileName();
        if (!profile.empty()) {
            extra = platform::ReadProfileString(pavlet::GetFilePath(profile), kDisabledSection,
                                                layoutName_);
            if (extra.size() > kMaxDisabledText)
                extra.resize(platform::CutToGbkBudget(extra, kMaxDisabledText));
        }
        own = pavlet::ReadPrivateConfigure(kDisabledSection, layoutName_, nullptr);
    }
    disabled_ = extra;
    if (!extra.empty() && !own.empty()) disabled_ += ",";
    disabled_ += own;
    hasFilter_ = false;
    filterKeep_.clear();
    group_.reset();
    memberToGroup_.clear();
    style_ &= ~GRID_GROUPACTIVE;
    hasMap_ = false;
    map_.clear();
}

// ---------------------------------------------------------------- export

void CGridCtrl::CollectExport(pavlet::ExportTable* out) {
    out->columns.clear();
    out->rows.clear();
    for (size_t c = 0; c < columns_.size(); ++c) {
        const Column& column = columns_[c];
        CMemRecord* table = column.part == 1   ? headerPart_->GetMemRecord()
                            : column.part == 2 ? leafPart_->GetMemRecord()
                                               : mem_;
        pavlet::ExportColumn info;
        info.caption = FieldCaption(table, column.field);
        uint8_t type = 'C';
        table->GetFieldInfo(column.field, nullptr, &type, &info.width, nullptr, &info.decimals);
        info.type = static_cast<char>(type);
        out->columns.push_back(std::move(info));
    }
    // Each cell is read (and range-checked) on its own: rows that other threads remove
    // meanwhile export as empty texts, and no lock is held across the export.
    const int rows = GetViewCount();
    GridTextMapFunctor map = GetGridTextMapFunctor();
    out->rows.reserve(static_cast<size_t>(std::max(rows, 0)));
    for (int row = 0; row < rows; ++row) {
        std::vector<std::string> texts;
        texts.reserve(columns_.size());
        for (size_t c = 0; c < columns_.size(); ++c) {
            std::string text = GetRecordText(static_cast<int>(c), row);
            if (map)
                if (const char* mapped = map(text.c_str())) text = mapped;
            texts.push_back(std::move(text));
        }
        out->rows.push_back(std::move(texts));
    }
}

std::string pavlet::AskExportPath(HWND owner, bool dbf) {
    platform::ui::FileDialogRequest request;
    request.open = false;
    request.defaultExt = dbf ? "dbf" : "csv";
    request.filter = dbf ? "DBF文件 (*.dbf)|*.dbf|全部文件(*.*)|*.*||"
                         : "csv文件 (*.csv)|*.csv|全部文件(*.*)|*.*||";
    request.flags = OFN_OVERWRITEPROMPT;
    const std::vector<std::string> chosen =
        platform::ui::GetUiServices().FileDialog(owner, request);
    return chosen.empty() ? std::string() : chosen.front();
}

bool pavlet::SaveExportFile(HWND owner, const std::string& path, const ExportTable& table,
                            bool dbf) {
    std::string bytes;
    if (dbf) {
        if (!BuildDbf(table, TodayForExport(), &bytes)) {
            // A dBASE record is counted in 16 bits: a wider one cannot be written truthfully.
            ::MessageBox(owner, "记录长度超过65535字节, 不能保存为DBF文件!", "保存文件",
                         MB_OK | MB_ICONSTOP);
            return false;
        }
    } else {
        bytes = BuildCsv(table);
    }
    if (!WriteExportFile(path, bytes)) {
        const std::string text = "创建文件(" + path + ")失败!";
        ::MessageBox(owner, text.c_str(), "保存文件", MB_OK | MB_ICONSTOP);
        return false;
    }
    return true;
}

void CGridCtrl::Export(bool dbf) {
    if (!m_hWnd || columns_.empty()) return;
    const std::string path = pavlet::AskExportPath(m_hWnd, dbf);
    if (path.empty()) return;
    pavlet::ExportTable table;
    CollectExport(&table);
    pavlet::SaveExportFile(m_hWnd, path, table, dbf);
}

void CGridCtrl::ExportToDBF() { Export(true); }
void CGridCtrl::ExportToCSV() { Export(false); }

// ---------------------------------------------------------------- font dialogs

void CGridCtrl::RunFontDialog(bool header) {
    if (!m_hWnd) return;
    LOGFONT font = header && headerFont_ ? headerFont_->LogFont() : listFont_.LogFont();
    COLORREF colour = ListTextColor();
    const HWND self = m_hWnd;
    if (!platform::ui::GetUiServices().ChooseFont(self, &font, &colour) || !::IsWindow(self))
        return;
    const auto record = platform::ui::PackLogFont(font);
    if (header) {
        if (!layoutName_.empty())
            pavlet::WritePrivateConfigureStruct(kHeaderFontSection, layoutName_, record.data(),
                                                static_cast<unsigned>(record.size()));
        SetHeaderFontFrom(font);
    } else {
        ::SendMessage(m_hWnd, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(colour));
        if (!layoutName_.empty()) {
            pavlet::WritePrivateConfigureStruct(kListFontSection, layoutName_, record.data(),
                                                static_cast<unsigned>(record.size()));
            SavePrivateAttribute();
        }
        const LOGFONT applied = Normalised(font);
        CFont chosen;
        if (chosen.CreateFontIndirect(&applied))
            SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(&chosen), TRUE);
    }
    Refresh(0);
}

void CGridCtrl::RemoveHeaderFont() {
    headerFont_.reset();
    // The empty text makes the stored record unreadable, so the header font stays unset.
    if (!layoutName_.empty()) pavlet::WritePrivateConfigure(kHeaderFontSection, layoutName_, "");
    RemeasureRows();
    Refresh(0);
}
