// Quote row access: cached column positions per table layout and direct typed reads and
// writes of the row image under the table's exclusive lock.
#include "market/feed/QuoteRowAccess.h"

#include <cstring>

#include "platform/core/Numbers.h"
#include "record/MemRecord.h"

namespace market::feed {
namespace {

// The table hands field positions in a row image to its subclasses; this one only lends that
// reader, as a member pointer callable on any table.
struct EntryInfoReader : CMemRecord {
    using CMemRecord::GetEntryInfo;
};
constexpr auto kGetEntryInfo = &EntryInfoReader::GetEntryInfo;

}  // namespace

const uint32_t kQuoteFieldTags[kQuoteFieldCount] = {
    729,  813,  726,  587,  707,  704,  706,  703,  1734, 524,  528,  1807, 1806, 860,  842,
    844,  846,  848,  1357, 843,  845,  847,  849,  1358, 850,  852,  854,  856,  1359, 851,
    853,  855,  857,  1360, 2000, 2001, 2002, 2003, 2004, 2005, 2006, 2007, 2008, 2009, 2010,
    2011, 2012, 2013, 2014, 2015, 2058, 2059, 636,  626,  638,  628,  1027, 1901, 1803, 1739,
    1814, 3203, 1812, 1813, 594,  1752, 9020, 1787, 644,  599,  719,  1060, 9100};

QuoteField QuoteFieldOfTag(uint32_t tag) {
    for (int i = 0; i < kQuoteFieldCount; ++i)
        if (kQuoteFieldTags[i] == tag) return static_cast<QuoteField>(i);
    return QuoteField::kCount;
}

void QuoteColumns::Refresh(CMemRecord& table) {
    const int32_t count = table.GetFCount();
    const uint32_t size = table.GetDataSize();
    const uint32_t first = count > 0 ? table.GetFieldIDentity(0) : 0;
    const uint32_t last = count > 0 ? table.GetFieldIDentity(count - 1) : 0;
    if (count == fieldCount && size == rowSize && first == firstIdentity && last == lastIdentity)
        return;
    fieldCount = count;
    rowSize = size;
    firstIdentity = first;
    lastIdentity = last;
    // Offsets are read off a row image base; any non-null pointer serves, since only the
    // difference is kept.
    static const char base[1] = {};
    for (int i = 0; i < kQuoteFieldCount; ++i) {
        const int col = count > 0 ? table.FindIndex(kQuoteFieldTags[i]) : -1;
        int type = 0;
        char* at = col >= 0 ? (table.*kGetEntryInfo)(col, base, &type, nullptr, nullptr) : nullptr;
        if (at == nullptr || (type != 'I' && type != 'R' && type != 'C')) {
            type = 0;
            column[i] = -1;
            offset[i] = 0;
        } else {
            column[i] = col;
            offset[i] = static_cast<int32_t>(at - base);
        }
        this->type[i] = static_cast<char>(type);
    }
}

bool QuoteRowAccess::Bind(CMemRecord& table, QuoteColumns& columns, int row) {
    table_ = &table;
    columns_ = &columns;
    row_ = row;
    changed_ = 0;
    image_ = row >= 0 && row < table.GetCount() ? table.GetData(row) : nullptr;
    return image_ != nullptr;
}

double QuoteRowAccess::Double(QuoteField f) const {
    const int i = Index(f);
    const char* p = image_ + columns_->offset[i];
    switch (columns_->type[i]) {
        case 'R': {
            double v;
            std::memcpy(&v, p, sizeof v);
            return v;
        }
        case 'I': {
            int32_t v;
            std::memcpy(&v, p, sizeof v);
            return v;
        }
        case 'C':
            return platform::Atof(Text(f));
        default:
            return 0;
    }
}

int32_t QuoteRowAccess::Long(QuoteField f) const {
    const int i = Index(f);
    const char* p = image_ + columns_->offset[i];
    switch (columns_->type[i]) {
        case 'I': {
            int32_t v;
            std::memcpy(&v, p, sizeof v);
            return v;
        }
        case 'R':
            return platform::DoubleToInt32(Double(f));
        case 'C':
            return platform::AtolSat(Text(f));
        default:
            return 0;
    }
}

std::string_view QuoteRowAccess::Text(QuoteField f) const {
    const int i = Index(f);
    if (columns_->type[i] != 'C') return {};
    const char* p = image_ + columns_->offset[i];
    const std::size_t room = columns_->rowSize - static_cast<uint32_t>(columns_->offset[i]);
    return std::string_view(p, strnlen(p, room));
}

void QuoteRowAccess::SetDouble(QuoteField f, double value) {
    const int i = Index(f);
    char* p = image_ + columns_->offset[i];
    switch (columns_->type[i]) {
        case 'R': {
            double old;
            std::memcpy(&old, p, sizeof old);
            // Compared bit for bit, so a NaN that somehow got in is replaced and marked.
            if (std::memcmp(&old, &value, sizeof value) != 0) {
                std::memcpy(p, &value, sizeof value);
                MarkChanged(f);
            }
            return;
        }
        case 'I':
            SetLong(f, platform::DoubleToInt32(value));
            return;
        case 'C':
            SetText(f, platform::FormatG(value));
            return;
        default:
            return;
    }
}

void QuoteRowAccess::SetLong(QuoteField f, int32_t value) {
    const int i = Index(f);
    char* p = image_ + columns_->offset[i];
    switch (columns_->type[i]) {
        case 'I': {
            int32_t old;
            std::memcpy(&old, p, sizeof old);
            if (old != value) {
                std::memcpy(p, &value, sizeof value);
                MarkChanged(f);
            }
            return;
        }
        case 'R':
            SetDouble(f, static_cast<double>(value));
            return;
        case 'C':
            SetText(f, platform::FormatInt(value));
            return;
        default:
            return;
    }
}

void QuoteRowAccess::SetText(QuoteField f, std::string_view value) {
    const int i = Index(f);
    switch (columns_->type[i]) {
        case 'R':
            SetDouble(f, platform::Atof(value));
            return;
        case 'I':
            SetLong(f, platform::AtolSat(value));
            return;
        case 'C':
            // Text columns keep the table's own budget and repertoire rules.
            if (Text(f) != value) {
                table_->Set(columns_->column[i], value, row_);
                MarkChanged(f);
            }
            return;
        default:
            return;
    }
}

bool QuoteRowAccess::Commit() {
    if (changed_ == 0) return false;
    for (int i = 0; i < kQuoteFieldCount; ++i)
        if ((changed_ >> i) & 1)
            table_->SetFieldExtendStyle(CMemRecord::kChangeMark, CMemRecord::kChangeMark,
                                        columns_->column[i]);
    table_->SetItemExtendStyle(CMemRecord::kChangeMark, CMemRecord::kChangeMark, row_);
    changed_ = 0;
    return true;
}

}  // namespace market::feed
