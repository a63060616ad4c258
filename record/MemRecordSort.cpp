// CMemRecord's ordered half: stable sorting by one or more fields, binary search over the sort
// key, keyed insertion, row location across tables and grouping with sums.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "record/MemRecord.h"
#include "record/MemRecordBody.h"

using memrecord_detail::CompareInts;
using memrecord_detail::CompareReals;
using memrecord_detail::CompareStoredTexts;
using memrecord_detail::ExclusiveHold;
using memrecord_detail::LoadInt;
using memrecord_detail::LoadReal;
using memrecord_detail::SharedHold;
using memrecord_detail::TextKey;

namespace {

struct SortKey {
    int32_t offset;
    char type;
};

// Orders row pointers by their key values; `direction` is +1 or -1.
class RowOrder {
public:
    RowOrder(std::vector<SortKey> keys, int direction)
        : m_keys(std::move(keys)), m_direction(direction) {}
    bool operator()(const char* a, const char* b) const { return Before(a, b, 0); }
    // Compares from the key at `first` on.
    bool Before(const char* a, const char* b, std::size_t first) const {
        for (std::size_t k = first; k < m_keys.size(); ++k) {
            const SortKey& key = m_keys[k];
            const char* pa = a + key.offset;
            const char* pb = b + key.offset;
            int c;
            switch (key.type) {
                case 'I':
                    c = CompareInts(LoadInt(pa), LoadInt(pb));
                    break;
                case 'R':
                    c = CompareReals(LoadReal(pa), LoadReal(pb));
                    break;
                default:
                    c = CompareStoredTexts(pa, pb);
                    break;
            }
            if (c != 0) return c * m_direction < 0;
        }
        return false;
    }

private:
    std::vector<SortKey> m_keys;
    int m_direction;
};

// The first 16 bytes of a value in an order that compares like the value itself, as two
// big-endian numbers: a sort compares these (held next to the row pointers) and reads the rows
// only when two are equal and not complete. Integers are exact; texts use the first 16 bytes
// of their GBK form, complete when the whole text fits.
struct OrderPrefix {
    uint64_t high = 0;
    uint64_t low = 0;
    bool complete = false;
};

OrderPrefix MakeOrderPrefix(const SortKey& key, const char* image) {
    const char* p = image + key.offset;
    OrderPrefix prefix;
    if (key.type == 'I') {
        prefix.high = static_cast<uint64_t>(static_cast<uint32_t>(LoadInt(p)) ^ 0x80000000u);
        prefix.complete = true;
        return prefix;
    }
    constexpr std::size_t kBytes = 16;
    unsigned char bytes[kBytes] = {};
    std::size_t i = 0;
    while (i < kBytes && p[i] != 0 && static_cast<unsigned char>(p[i]) < 0x80) {
        bytes[i] = static_cast<unsigned char>(p[i]);
        ++i;
    }
    if (p[i] == 0) {
        prefix.complete = true;
    } else if (i < kBytes) {
        // One byte more than the room keeps a double-byte character at the edge from being
        // dropped whole, which would misorder the prefix.
        const std::string_view rest(p + i);
        const std::size_t cut = platform::CutToGbkBudget(rest, kBytes + 1 - i);
        const std::string gbk = platform::Utf8ToGbk(rest.substr(0, cut));
        prefix.complete = cut == rest.size() && i + gbk.size() <= kBytes;
        for (std::size_t k = 0; i < kBytes && k < gbk.size(); ++k, ++i)
            bytes[i] = static_cast<unsigned char>(gbk[k]);
    }
    for (std::size_t k = 0; k < 8; ++k) prefix.high = prefix.high << 8 | bytes[k];
    for (std::size_t k = 8; k < kBytes; ++k) prefix.low = prefix.low << 8 | bytes[k];
    return prefix;
}

int32_t AddSaturated(int32_t a, int32_t b) {
    const int64_t sum = int64_t{a} + b;
    return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

}  // namespace

void CMemRecord::sortNoLock(const int* fields, int n, bool ascending, int from, int to) {
    std::vector<SortKey> keys;
    int first = -1;
    for (int i = 0; i < n; ++i) {
        const MEMFIELDINFO* info = fieldAt(fields[i]);
        if (info == nullptr) continue;
        if (first < 0) first = fields[i];
        keys.push_back(SortKey{info->offset, info->type});
    }
    if (keys.empty()) return;
    const int direction = ascending ? 1 : -1;
    m_keyField = first;
    m_sortDirection = direction;
    const int count = GetCount();
    if (count < 2) return;
    if (from < 0 || from >= count) from = 0;
    if (to < 0 || to >= count) to = count - 1;
    if (from >= to) return;
    auto& rows = m_body->rows;
    const auto begin = rows.begin() + from;
    const auto end = rows.begin() + to + 1;
    if (keys.front().type == 'R') {  // reals equal within a tolerance have no exact prefix
        std::stable_sort(begin, end, RowOrder(std::move(keys), direction));
        return;
    }
    struct Entry {
        OrderPrefix prefix;
        char* row;
    };
    std::vector<Entry> entries;
    entries.reserve(static_cast<std::size_t>(end - begin));
    for (auto it = begin; it != end; ++it)
        entries.push_back(Entry{MakeOrderPrefix(keys.front(), *it), *it});
    const RowOrder order(std::move(keys), direction);
    std::stable_sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        if (a.prefix.high != b.prefix.high)
            return direction > 0 ? a.prefix.high < b.prefix.high : a.prefix.high > b.prefix.high;
        if (a.prefix.low != b.prefix.low)
            return direction > 0 ? a.prefix.low < b.prefix.low : a.prefix.low > b.prefix.low;
        // Equal complete prefixes are equal first keys: the other keys decide.
        return order.Before(a.row, b.row, a.prefix.complete && b.prefix.complete ? 1 : 0);
    });
    auto it = begin;
    for (const Entry& e : entries) *it++ = e.row;
}

void CMemRecord::Sort(int field, bool ascending, int from, int to) {
    ExclusiveHold hold(m_body->lock);
    if (fieldAt(field) == nullptr || GetCount() == 0) return;
    sortNoLock(&field, 1, ascending, from, to);
}

void CMemRecord::Sort(const char* name, bool ascending, int from, int to) {
    Sort(FindIndex(name), ascending, from, to);
}

void CMemRecord::Sort(const int* fields, int n, bool ascending, int from, int to) {
    ExclusiveHold hold(m_body->lock);
    if (fields == nullptr || n < 1 || GetCount() == 0 || GetFCount() == 0) return;
    sortNoLock(fields, n, ascending, from, to);
}

int CMemRecord::lowerBoundNoLock(std::string_view text) const {
    const TextKey key(*fieldAt(GetKeyIndex()), text);
    const int direction = GetSortDirection();
    const auto& rows = m_body->rows;
    int first = 0;
    int len = GetCount();
    while (len > 0) {
        const int half = len / 2;
        if (direction * key.CompareRow(rows[static_cast<std::size_t>(first + half)]) < 0) {
            first += half + 1;
            len -= half + 1;
        } else {
            len = half;
        }
    }
    return first;
}

int CMemRecord::quickFindNoLock(std::string_view text) const {
    if (GetCount() == 0 || fieldAt(GetKeyIndex()) == nullptr) return -1;
    const int pos = lowerBoundNoLock(text);
    if (pos >= GetCount()) return -1;
    const TextKey key(*fieldAt(GetKeyIndex()), text);
    return key.CompareRow(m_body->rows[static_cast<std::size_t>(pos)]) == 0 ? pos : -1;
}

int CMemRecord::quickFindLowerNoLock(std::string_view text) const {
    if (GetCount() == 0 || fieldAt(GetKeyIndex()) == nullptr) return -1;
    const int pos = lowerBoundNoLock(text);
    return pos < GetCount() ? pos : -1;
}

int CMemRecord::QuickFind(const char* text) {
    if (text == nullptr) return -1;
    SharedHold hold(m_body->lock);
    return quickFindNoLock(text);
}

int CMemRecord::QuickFindLower(const char* text) {
    if (text == nullptr) return -1;
    SharedHold hold(m_body->lock);
    return quickFindLowerNoLock(text);
}

int CMemRecord::findNoLock(int field, std::string_view text) const {
    if (GetCount() == 0 || fieldAt(field) == nullptr) return -1;
    if (field == GetKeyIndex()) return quickFindNoLock(text);
    return locateNoLock(field, text, 0, -1);
}

int CMemRecord::Find(int field, const char* text) {
    if (text == nullptr) return -1;
    SharedHold hold(m_body->lock);
    return findNoLock(field, text);
}

int CMemRecord::Find(int field, int32_t value) {
    return Find(field, platform::FormatInt(value).c_str());
}

int CMemRecord::InsertKey(int field, const char* text, bool unique) {
    if (text == nullptr) return -1;
    ExclusiveHold hold(m_body->lock);
    const MEMFIELDINFO* info = fieldAt(field);
    if (info == nullptr || GetDataSize() == 0) return -1;
    if (field != GetKeyIndex()) sortNoLock(&field, 1, true, 0, -1);
    // A text key is searched and compared as the field would store it, so a key longer than
    // the field's width still finds the row that holds its cut form.
    std::string key = text;
    if (info->type == 'C') {
        std::vector<char> probe(static_cast<std::size_t>(info->offset + info->storage));
        setTextNoLock(*info, probe.data(), key);
        key = probe.data() + info->offset;
    }
    const int pos = quickFindLowerNoLock(key);
    int row = -1;
    if (pos >= 0 && unique) {
        std::string scratch;
        const char* image = m_body->rows[static_cast<std::size_t>(pos)];
        if (key == directTextNoLock(*info, image, scratch)) row = pos;
    }
    if (row < 0) row = insertNoLock(nullptr, pos);
    if (row < 0) return -1;
    Set(field, key.c_str(), row);
    return row;
}

int CMemRecord::InsertKey(int field, int32_t value, bool unique) {
    return InsertKey(field, platform::FormatInt(value).c_str(), unique);
}

int CMemRecord::recordLocateNoLock(const CMemRecord& other, int n, const int* fields,
                                   const char* image) const {
    std::vector<const MEMFIELDINFO*> keys;
    for (int i = 0; fields != nullptr && i < n; ++i)
        if (const MEMFIELDINFO* info = other.fieldAt(fields[i])) keys.push_back(info);
    const int count = other.GetCount();
    if (keys.empty()) return count > 0 ? 0 : -1;
    for (int r = 0; r < count; ++r) {
        const char* candidate = other.m_body->rows[static_cast<std::size_t>(r)];
        const bool match = std::all_of(keys.begin(), keys.end(), [&](const MEMFIELDINFO* info) {
            return CompareMemValues(*info, candidate, image) == 0;
        });
        if (match) return r;
    }
    return -1;
}

int CMemRecord::RecordLocate(CMemRecord* other, int n, const int* fields, int row) {
    if (other == nullptr) return -1;
    if (other == this) {
        SharedHold hold(m_body->lock);
        const char* image = rowAt(row);
        return image == nullptr ? -1 : recordLocateNoLock(*this, n, fields, image);
    }
    SharedHold otherHold(other->m_body->lock);
    SharedHold hold(m_body->lock);
    const char* image = rowAt(row);
    if (image == nullptr || other->GetFCount() == 0) return -1;
    if (!sameLayoutNoLock(*other)) return -1;  // this row read with the other's layout
    return recordLocateNoLock(*other, n, fields, image);
}

void CMemRecord::GroupFrom(CMemRecord* source, int n, const int* keyFields) {
    if (source == nullptr || source == this) return;  // grouping into the source would lose it
    SharedHold sourceHold(source->m_body->lock);
    ExclusiveHold hold(m_body->lock);
    emptyNoLock();
    if (source->GetFCount() == 0) return;
    copyLayoutNoLock(*source);

    std::vector<bool> isKey(static_cast<std::size_t>(GetFCount()), false);
    for (int i = 0; keyFields != nullptr && i < n; ++i)
        if (fieldAt(keyFields[i]) != nullptr) isKey[static_cast<std::size_t>(keyFields[i])] = true;

    const int count = source->GetCount();
    for (int s = 0; s < count; ++s) {
        const char* image = source->m_body->rows[static_cast<std::size_t>(s)];
        const int r = recordLocateNoLock(*this, n, keyFields, image);
        if (r < 0) {
            appendNoLock(image, true);
            continue;
        }
        char* target = m_body->rows[static_cast<std::size_t>(r)];
        for (int f = 0; f < GetFCount(); ++f) {
            MEMFIELDINFO& info = m_body->fields[static_cast<std::size_t>(f)];
            if (isKey[static_cast<std::size_t>(f)] || info.type == 'C') continue;
            if (info.type == 'I')
                Set(f, AddSaturated(longNoLock(info, target), longNoLock(info, image)), r);
            else
                Set(f, doubleNoLock(info, target) + doubleNoLock(info, image), r);
        }
    }
}

void CMemRecord::GroupFrom(CMemRecord* source, int keyField) { GroupFrom(source, 1, &keyField); }
