// CMemRecord: layout from definition strings, the row store (32-row blocks, FIFO free pool),
// typed get/set with UTF-8 text held within GBK byte budgets, cursor and linear search.
#include "record/MemRecord.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "record/MemRecordBody.h"

using memrecord_detail::CompareInts;
using memrecord_detail::CompareReals;
using memrecord_detail::CompareStoredTexts;
using memrecord_detail::CutUtf8;
using memrecord_detail::ExclusiveHold;
using memrecord_detail::LoadFlags;
using memrecord_detail::LoadInt;
using memrecord_detail::LoadReal;
using memrecord_detail::SharedHold;
using memrecord_detail::StoreFlags;
using memrecord_detail::StoreInt;
using memrecord_detail::StoreReal;
using memrecord_detail::TextKey;

namespace memrecord_detail {

std::size_t CutUtf8(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text.size();
    std::size_t n = limit;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return n;
}

}  // namespace memrecord_detail

int CompareMemValues(const MEMFIELDINFO& info, const char* imageA, const char* imageB) {
    const char* a = imageA + info.offset;
    const char* b = imageB + info.offset;
    switch (info.type) {
        case 'I':
            return CompareInts(LoadInt(a), LoadInt(b));
        case 'R':
            return CompareReals(LoadReal(a), LoadReal(b));
        default:
            return CompareStoredTexts(a, b);
    }
}

int CompareMemValueToText(const MEMFIELDINFO& info, const char* image, std::string_view text) {
    return TextKey(info, text).CompareRow(image);
}

namespace {

constexpr std::size_t kMaxItem = 255;
constexpr std::size_t kMaxName = 31;
constexpr int kBlockRows = 32;

int32_t RoundUp4(std::size_t n) { return static_cast<int32_t>((n + 3) & ~std::size_t{3}); }

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// One descriptor from one item of a definition string; false for an item without a name.
bool ParseItem(std::string_view item, MEMFIELDINFO& info) {
    item = item.substr(0, kMaxItem);
    const std::size_t bracket = item.find('[');
    std::string_view name = item.substr(0, bracket);
    if (name.empty()) return false;
    name = name.substr(0, CutUtf8(name, kMaxName));
    if (name.empty()) return false;  // a name made only of a cut character's tail

    info = MEMFIELDINFO{};
    std::memcpy(info.name, name.data(), name.size());
    info.type = 'C';
    info.width = 32;
    if (bracket != std::string_view::npos && bracket + 1 < item.size()) {
        const std::string_view typeText = item.substr(bracket + 1);
        switch (typeText[0]) {
            case 'D':
            case 'd':
            case 'I':
            case 'i':
            case 'N':
            case 'n':
                info.type = 'I';
                info.width = 4;
                break;
            case 'F':
            case 'f':
            case 'R':
            case 'r': {
                info.type = 'R';
                info.width = 8;
                const std::size_t dot = typeText.find('.');
                const int32_t decimals =
                    dot == std::string_view::npos ? 2 : platform::AtolSat(typeText.substr(dot + 1));
                info.decimals = static_cast<uint8_t>(std::clamp(decimals, 0, 16));
                break;
            }
            default: {
                const int32_t width = platform::AtolSat(typeText.substr(1));
                info.width = static_cast<int16_t>(
                    width <= 0 ? 32 : std::min(width, CMemRecord::kMaxTextWidth));
                break;
            }
        }
    }
    if (info.type == 'I')
        info.storage = 4;
    else if (info.type == 'R')
        info.storage = 8;
    else  // room for the UTF-8 form of `width` GBK bytes and the NUL
        info.storage = RoundUp4(platform::Utf8CapacityForGbk(info.width) + 1);
    return true;
}

}  // namespace

// ---------------------------------------------------------------- lifetime and layout

CMemRecord::CMemRecord() : m_body(std::make_unique<Body>()) {}

CMemRecord::~CMemRecord() { Empty(); }

void CMemRecord::acquireLockShared() { m_body->lock.acquireLockShared(); }
void CMemRecord::releaseLockShared() { m_body->lock.releaseLockShared(); }
void CMemRecord::acquireLockExclusive() { m_body->lock.acquireLockExclusive(); }
void CMemRecord::releaseLockExclusive() { m_body->lock.releaseLockExclusive(); }

void CMemRecord::emptyNoLock() {
    Body& b = *m_body;
    b.fields.clear();
    b.identities.Clear();
    b.rows.clear();
    b.freeRows.clear();
    b.blocks.clear();
    m_rowSize = 0;
    m_fieldCount = 0;
    m_count = 0;
    m_cursor = -1;
    m_keyField = -1;
    m_sortDirection = 0;
}

void CMemRecord::Empty() {
    ExclusiveHold hold(m_body->lock);
    emptyNoLock();
}

void CMemRecord::Create(const char* definition) {
    ExclusiveHold hold(m_body->lock);
    emptyNoLock();
    if (definition == nullptr) return;
    std::string_view rest(definition);
    uint32_t rowSize = 4;
    std::vector<MEMFIELDINFO>& fields = m_body->fields;
    for (;;) {
        const std::size_t comma = rest.find(',');
        MEMFIELDINFO info;
        if (ParseItem(rest.substr(0, comma), info)) {
            // A layout never grows past kMaxRowSize: the fields beyond it are dropped.
            if (rowSize + static_cast<uint32_t>(info.storage) > kMaxRowSize) break;
            info.offset = static_cast<int32_t>(rowSize);
            rowSize += static_cast<uint32_t>(info.storage);
            fields.push_back(info);
        }
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    m_fieldCount = static_cast<int32_t>(fields.size());
    m_rowSize = fields.empty() ? 0 : rowSize;
}

void CMemRecord::copyLayoutNoLock(const CMemRecord& source) {
    m_body->fields = source.m_body->fields;
    m_body->identities = source.m_body->identities;
    m_rowSize = source.GetDataSize();
    m_fieldCount = source.GetFCount();
}

void CMemRecord::CreateFrom(CMemRecord* source) {
    if (source == nullptr || source == this) return;  // a table is already its own layout
    SharedHold sourceHold(source->m_body->lock);
    ExclusiveHold hold(m_body->lock);
    emptyNoLock();
    if (source->GetFCount() > 0) copyLayoutNoLock(*source);
}

CMemRecord& CMemRecord::operator=(CMemRecord& source) {
    if (&source == this) return *this;
    SharedHold sourceHold(source.m_body->lock);
    if (source.GetFCount() == 0) return *this;
    ExclusiveHold hold(m_body->lock);
    emptyNoLock();
    copyLayoutNoLock(source);
    m_sortDirection = source.GetSortDirection();
    m_keyField = source.GetKeyIndex();
    m_cursor = source.GetNo();
    const int count = source.GetCount();
    m_body->rows.reserve(static_cast<std::size_t>(count));
    allocatestorage(count);
    for (int i = 0; i < count; ++i) appendNoLock(source.m_body->rows[i], true);
    return *this;
}

std::string CMemRecord::GetDetail() {
    SharedHold hold(m_body->lock);
    std::string out;
    for (const MEMFIELDINFO& f : m_body->fields) {
        if (!out.empty()) out += ',';
        out += f.name;
        out += '[';
        out += f.type;
        out += platform::FormatInt(f.width);
        if (f.type == 'R') {
            out += '.';
            out += platform::FormatInt(f.decimals);
        }
        out += ']';
    }
    return out;
}

bool CMemRecord::sameLayoutNoLock(const CMemRecord& other) const {
    if (GetDataSize() != other.GetDataSize()) return false;
    const auto& a = m_body->fields;
    const auto& b = other.m_body->fields;
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].type != b[i].type || a[i].width != b[i].width || a[i].offset != b[i].offset)
            return false;
    return true;
}

bool CMemRecord::SameLayout(CMemRecord* other) {
    if (other == nullptr) return false;
    if (other == this) return true;
    SharedHold otherHold(other->m_body->lock);
    SharedHold hold(m_body->lock);
    return sameLayoutNoLock(*other);
}

// ---------------------------------------------------------------- row store

bool CMemRecord::allocatestorage(int rows) {
    const uint32_t rowSize = GetDataSize();
    if (rowSize == 0) return false;
    Body& b = *m_body;
    const std::size_t free = b.freeRows.size();
    if (rows <= 0 || static_cast<std::size_t>(rows) <= free) return true;
    const std::size_t missing = static_cast<std::size_t>(rows) - free;
    const std::size_t blockRows = (missing + kBlockRows - 1) / kBlockRows * kBlockRows;
    try {
        auto block = std::make_unique<char[]>(blockRows * rowSize);
        char* base = block.get();
        b.blocks.push_back(std::move(block));
        for (std::size_t i = 0; i < blockRows; ++i) b.freeRows.push_back(base + i * rowSize);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

void CMemRecord::InitStorage(int rows) {
    ExclusiveHold hold(m_body->lock);
    allocatestorage(rows);
}

int CMemRecord::insertNoLock(const char* image, int before) {
    if (!allocatestorage(1)) return -1;
    Body& b = *m_body;
    char* row = b.freeRows.front();
    const int count = GetCount();
    if (before < 0 || before >= count) before = count;
    try {
        b.rows.insert(b.rows.begin() + before, row);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    b.freeRows.pop_front();
    if (image != nullptr)
        std::memcpy(row, image, GetDataSize());
    else
        std::memset(row, 0, GetDataSize());
    m_count = count + 1;
    return before;
}

int CMemRecord::appendNoLock(const char* image, bool go) {
    const int row = insertNoLock(image, -1);
    if (row >= 0 && (go || GetNo() < 0)) m_cursor = row;
    return GetNo();
}

int CMemRecord::Append(const char* image, bool go) {
    ExclusiveHold hold(m_body->lock);
    return appendNoLock(image, go);
}

int CMemRecord::Append(CMemRecord* source) {
    if (source == nullptr) return -1;
    if (source == this) {
        // Appending a table to itself copies the rows it had when the call began.
        ExclusiveHold hold(m_body->lock);
        const int count = GetCount();
        allocatestorage(count);
        for (int i = 0; i < count; ++i) appendNoLock(m_body->rows[i], true);
        return GetNo();
    }
    SharedHold sourceHold(source->m_body->lock);
    ExclusiveHold hold(m_body->lock);
    if (!sameLayoutNoLock(*source)) return -1;  // rows of another layout would be misread
    const int count = source->GetCount();
    allocatestorage(count);
    for (int i = 0; i < count; ++i) appendNoLock(source->m_body->rows[i], true);
    return GetNo();
}

int CMemRecord::Insert(const char* image, int before) {
    ExclusiveHold hold(m_body->lock);
    return insertNoLock(image, before);
}

void CMemRecord::deleteNoLock(int row) {
    row = resolveRow(row);
    if (row < 0) return;
    Body& b = *m_body;
    b.freeRows.push_back(b.rows[static_cast<std::size_t>(row)]);
    b.rows.erase(b.rows.begin() + row);
    const int count = GetCount() - 1;
    m_count = count;
    if (GetNo() >= count) m_cursor = GetNo() - 1;
}

void CMemRecord::Delete(int row) {
    ExclusiveHold hold(m_body->lock);
    deleteNoLock(row);
}

void CMemRecord::Zap() {
    ExclusiveHold hold(m_body->lock);
    Body& b = *m_body;
    for (char* row : b.rows) b.freeRows.push_back(row);
    b.rows.clear();
    m_count = 0;
    m_cursor = -1;
}

char* CMemRecord::GetData(int row) {
    SharedHold hold(m_body->lock);
    return rowAt(row);
}

void CMemRecord::SetData(const char* image, int row) {
    if (image == nullptr) return;
    ExclusiveHold hold(m_body->lock);
    if (char* target = rowAt(row); target != nullptr && target != image)
        std::memmove(target, image, GetDataSize());
}

int CMemRecord::FindData(const char* image) {
    SharedHold hold(m_body->lock);
    const auto& rows = m_body->rows;
    const auto it = std::find(rows.begin(), rows.end(), image);
    return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
}

void CMemRecord::Swap(int a, int b) {
    ExclusiveHold hold(m_body->lock);
    const int count = GetCount();
    if (a < 0 || b < 0 || a >= count || b >= count || a == b) return;
    std::swap(m_body->rows[static_cast<std::size_t>(a)], m_body->rows[static_cast<std::size_t>(b)]);
}

uint32_t CMemRecord::GetItemExtendStyle(int row) {
    SharedHold hold(m_body->lock);
    const char* image = rowAt(row);
    return image == nullptr ? 0 : LoadFlags(image);
}

void CMemRecord::SetItemExtendStyle(uint32_t mask, uint32_t bits, int row) {
    ExclusiveHold hold(m_body->lock);
    if (char* image = rowAt(row)) StoreFlags(image, (bits & mask) | (LoadFlags(image) & ~mask));
}

uint32_t CMemRecord::GetFieldExtendStyle(int field) {
    return descriptorValue(field, &MEMFIELDINFO::extendStyle);
}

void CMemRecord::SetFieldExtendStyle(uint32_t mask, uint32_t bits, int field) {
    ExclusiveHold hold(m_body->lock);
    if (fieldAt(field) == nullptr) return;
    uint32_t& style = m_body->fields[static_cast<std::size_t>(field)].extendStyle;
    style = (bits & mask) | (style & ~mask);
}

// ---------------------------------------------------------------- fields

int CMemRecord::FindIndex(const char* name) {
    if (name == nullptr) return -1;
    // Names are compared as they are stored: cut to 31 bytes on a character boundary.
    const std::string_view wanted(name);
    const std::string_view cut = wanted.substr(0, CutUtf8(wanted, kMaxName));
    SharedHold hold(m_body->lock);
    const auto& fields = m_body->fields;
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (cut == fields[i].name) return static_cast<int>(i);
    return -1;
}

int CMemRecord::FindIndex(unsigned identity) {
    SharedHold hold(m_body->lock);
    return findIndexNoLock(identity);
}

template <typename T>
T CMemRecord::descriptorValue(int field, T MEMFIELDINFO::*member) {
    SharedHold hold(m_body->lock);
    const MEMFIELDINFO* info = fieldAt(field);
    return info == nullptr ? T{} : info->*member;
}

uint32_t CMemRecord::GetFieldIDentity(int field) {
    return descriptorValue(field, &MEMFIELDINFO::identity);
}

void CMemRecord::SetFieldIDentity(int field, unsigned identity) {
    ExclusiveHold hold(m_body->lock);
    if (fieldAt(field) == nullptr) return;
    m_body->fields[static_cast<std::size_t>(field)].identity = identity;
    m_body->identities.Put(identity, field);
}

char CMemRecord::GetFieldType(int field) { return descriptorValue(field, &MEMFIELDINFO::type); }

int CMemRecord::GetFieldViewWidth(int field) {
    return descriptorValue(field, &MEMFIELDINFO::viewWidth);
}

void CMemRecord::SetFieldViewWidth(int field, int width) {
    ExclusiveHold hold(m_body->lock);
    if (fieldAt(field) == nullptr) return;
    m_body->fields[static_cast<std::size_t>(field)].viewWidth =
        static_cast<int16_t>(std::clamp(width, -32768, 32767));
}

bool CMemRecord::GetFieldInfo(int field, std::string* name, uint8_t* type, int* width,
                              int* viewWidth, int* decimals) {
    SharedHold hold(m_body->lock);
    const MEMFIELDINFO* info = fieldAt(field);
    if (info == nullptr) return false;
    if (name != nullptr) *name = info->name;
    if (type != nullptr) *type = static_cast<uint8_t>(info->type);
    if (width != nullptr) *width = info->width;
    if (viewWidth != nullptr) *viewWidth = info->viewWidth;
    if (decimals != nullptr) *decimals = info->decimals;
    return true;
}

void CMemRecord::SetFieldName(int field, const char* name) {
    if (name == nullptr || *name == 0) return;
    ExclusiveHold hold(m_body->lock);
    if (fieldAt(field) == nullptr) return;
    char(&target)[32] = m_body->fields[static_cast<std::size_t>(field)].name;
    const std::string_view text(name);
    const std::size_t n = CutUtf8(text, kMaxName);
    std::memset(target, 0, sizeof target);
    std::memcpy(target, text.data(), n);
}

char* CMemRecord::GetEntryInfo(int field, const char* image, int* type, int* width, int* decimals) {
    if (image == nullptr) return nullptr;
    SharedHold hold(m_body->lock);
    const MEMFIELDINFO* info = fieldAt(field);
    if (info == nullptr) return nullptr;
    if (type != nullptr) *type = info->type;
    if (width != nullptr) *width = info->width;
    if (decimals != nullptr) *decimals = info->decimals;
    return const_cast<char*>(image) + info->offset;
}

// ---------------------------------------------------------------- typed access

void CMemRecord::setTextNoLock(const MEMFIELDINFO& info, char* image, std::string_view text) {
    char* p = image + info.offset;
    if (info.type == 'I') {
        StoreInt(p, platform::AtolSat(text));
        return;
    }
    if (info.type == 'R') {
        StoreReal(p, platform::Atof(text));
        return;
    }
    // Text keeps within the declared GBK byte budget, in characters GBK can carry, and never
    // reaches the last byte of its room, which stays the terminating NUL.
    const std::size_t room = static_cast<std::size_t>(info.storage) - 1;
    const std::size_t budget = static_cast<std::size_t>(info.width);
    std::size_t n;
    std::string kept;
    if (IsAscii(text)) {
        n = std::min(text.size(), budget);
    } else {
        kept = platform::ToGbkRepertoire(text);
        n = platform::CutToGbkBudget(kept, budget);
        text = kept;
    }
    n = CutUtf8(text.substr(0, n), room);       // single-byte GBK characters longer in UTF-8
    if (n > 0) std::memcpy(p, text.data(), n);  // an empty view may have no data at all
    std::memset(p + n, 0, static_cast<std::size_t>(info.storage) - n);
}

void CMemRecord::setIntNoLock(const MEMFIELDINFO& info, char* image, int32_t value) {
    char* p = image + info.offset;
    if (info.type == 'I')
        StoreInt(p, value);
    else if (info.type == 'R')
        StoreReal(p, value);
    else
        setTextNoLock(info, image, platform::FormatInt(value));
}

void CMemRecord::setDoubleNoLock(const MEMFIELDINFO& info, char* image, double value) {
    char* p = image + info.offset;
    if (info.type == 'I')
        StoreInt(p, platform::DoubleToInt32(value));
    else if (info.type == 'R')
        StoreReal(p, value);
    else
        setTextNoLock(info, image, platform::FormatG(value));
}

void CMemRecord::storeNoLock(const MEMFIELDINFO& info, char* image, std::string_view text) {
    setTextNoLock(info, image, text);
}
void CMemRecord::storeNoLock(const MEMFIELDINFO& info, char* image, int32_t value) {
    setIntNoLock(info, image, value);
}
void CMemRecord::storeNoLock(const MEMFIELDINFO& info, char* image, double value) {
    setDoubleNoLock(info, image, value);
}

template <typename Value>
void CMemRecord::setMarked(int field, int row, char* image, Value value) {
    ExclusiveHold hold(m_body->lock);
    if (image == nullptr) image = rowAt(row);
    if (image == nullptr || fieldAt(field) == nullptr) return;
    // Every typed store marks the field and the row as changed.
    MEMFIELDINFO& info = m_body->fields[static_cast<std::size_t>(field)];
    info.extendStyle |= kChangeMark;
    StoreFlags(image, LoadFlags(image) | kChangeMark);
    storeNoLock(info, image, value);
}

void CMemRecord::Set(int field, std::string_view text, int row) {
    setMarked(field, row, nullptr, text);
}
void CMemRecord::Set(int field, const char* text, int row) {
    if (text != nullptr) setMarked(field, row, nullptr, std::string_view(text));
}
void CMemRecord::Set(int field, int32_t value, int row) { setMarked(field, row, nullptr, value); }
void CMemRecord::Set(int field, double value, int row) { setMarked(field, row, nullptr, value); }

void CMemRecord::Set(const char* name, const char* text, int row) {
    Set(FindIndex(name), text, row);
}
void CMemRecord::Set(const char* name, int32_t value, int row) { Set(FindIndex(name), value, row); }
void CMemRecord::Set(const char* name, double value, int row) { Set(FindIndex(name), value, row); }

void CMemRecord::Set(int field, const char* text, char* image) {
    if (text != nullptr && image != nullptr) setMarked(field, -1, image, std::string_view(text));
}
void CMemRecord::Set(int field, int32_t value, char* image) {
    if (image != nullptr) setMarked(field, -1, image, value);
}
void CMemRecord::Set(int field, double value, char* image) {
    if (image != nullptr) setMarked(field, -1, image, value);
}

std::string CMemRecord::textNoLock(const MEMFIELDINFO& info, const char* image) const {
    const char* p = image + info.offset;
    if (info.type == 'I') return platform::FormatInt(LoadInt(p));
    if (info.type == 'R') return platform::FormatFixed(LoadReal(p), info.decimals);
    return std::string(p);
}

const char* CMemRecord::directTextNoLock(const MEMFIELDINFO& info, const char* image,
                                         std::string& scratch) const {
    if (info.type == 'C') return image + info.offset;
    scratch = textNoLock(info, image);
    return scratch.c_str();
}

int32_t CMemRecord::longNoLock(const MEMFIELDINFO& info, const char* image) const {
    const char* p = image + info.offset;
    if (info.type == 'I') return LoadInt(p);
    if (info.type == 'R') return platform::DoubleToInt32(LoadReal(p));
    return platform::AtolSat(p);
}

double CMemRecord::doubleNoLock(const MEMFIELDINFO& info, const char* image) const {
    const char* p = image + info.offset;
    if (info.type == 'I') return LoadInt(p);
    if (info.type == 'R') return LoadReal(p);
    return platform::Atof(p);
}

template <typename T, typename Read>
T CMemRecord::readAtRow(int field, int row, T empty, Read read) {
    SharedHold hold(m_body->lock);
    const char* image = rowAt(row);
    const MEMFIELDINFO* info = fieldAt(field);
    return image == nullptr || info == nullptr ? empty : read(*info, image);
}

template <typename T, typename Read>
T CMemRecord::readAtImage(int field, const char* image, T empty, Read read) {
    if (image == nullptr) return empty;
    SharedHold hold(m_body->lock);
    const MEMFIELDINFO* info = fieldAt(field);
    return info == nullptr ? empty : read(*info, image);
}

std::string CMemRecord::GetItemText(int field, int row) {
    return readAtRow(field, row, std::string(),
                     [this](const MEMFIELDINFO& f, const char* img) { return textNoLock(f, img); });
}

std::string CMemRecord::GetItemText(const char* name, int row) {
    return GetItemText(FindIndex(name), row);
}

std::string CMemRecord::GetItemText(int field, const char* image) {
    return readAtImage(field, image, std::string(), [this](const MEMFIELDINFO& f, const char* img) {
        return textNoLock(f, img);
    });
}

char* CMemRecord::GetItemText(int field, char* buf, int size, int row) {
    if (buf == nullptr || size < 1) return buf;
    const std::string text = GetItemText(field, row);
    const std::size_t n = CutUtf8(text, static_cast<std::size_t>(size) - 1);
    std::memcpy(buf, text.data(), n);
    buf[n] = 0;
    return buf;
}

const char* CMemRecord::GetDirectText(int field, std::string& scratch, int row) {
    return readAtRow(
        field, row, static_cast<const char*>(nullptr),
        [&](const MEMFIELDINFO& f, const char* img) { return directTextNoLock(f, img, scratch); });
}

const char* CMemRecord::GetDirectText(int field, std::string& scratch, const char* image) {
    return readAtImage(
        field, image, static_cast<const char*>(nullptr),
        [&](const MEMFIELDINFO& f, const char* img) { return directTextNoLock(f, img, scratch); });
}

int32_t CMemRecord::GetLong(int field, int row) {
    return readAtRow(field, row, int32_t{0},
                     [this](const MEMFIELDINFO& f, const char* img) { return longNoLock(f, img); });
}

int32_t CMemRecord::GetLong(const char* name, int row) { return GetLong(FindIndex(name), row); }

int32_t CMemRecord::GetLong(int field, const char* image) {
    return readAtImage(field, image, int32_t{0}, [this](const MEMFIELDINFO& f, const char* img) {
        return longNoLock(f, img);
    });
}

double CMemRecord::GetDouble(int field, int row) {
    return readAtRow(field, row, 0.0, [this](const MEMFIELDINFO& f, const char* img) {
        return doubleNoLock(f, img);
    });
}

double CMemRecord::GetDouble(const char* name, int row) { return GetDouble(FindIndex(name), row); }

double CMemRecord::GetDouble(int field, const char* image) {
    return readAtImage(field, image, 0.0, [this](const MEMFIELDINFO& f, const char* img) {
        return doubleNoLock(f, img);
    });
}

// ---------------------------------------------------------------- linear search

int CMemRecord::locateNoLock(int field, std::string_view text, int from, int to) const {
    const int count = GetCount();
    const MEMFIELDINFO* info = fieldAt(field);
    if (count == 0 || info == nullptr) return -1;
    if (from < 0 || from >= count) from = 0;
    if (to < 0 || to >= count) to = count - 1;
    const TextKey key(*info, text);
    for (int r = from; r <= to; ++r)
        if (key.CompareRow(m_body->rows[static_cast<std::size_t>(r)]) == 0) return r;
    return -1;
}

int CMemRecord::Locate(int field, const char* text, int from, int to) {
    if (text == nullptr) return -1;
    SharedHold hold(m_body->lock);
    return locateNoLock(field, text, from, to);
}

int CMemRecord::Locate(const char* name, const char* text, int from, int to) {
    return Locate(FindIndex(name), text, from, to);
}
