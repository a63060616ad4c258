// CFixRecord: table binding and ownership, layouts from column arrays, typed access by field
// identity, multi-field searches, filters, dictionary look-ups and grouping.
#include "record/FixRecord.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/core/Numbers.h"
#include "record/MemRecord.h"
#include "record/MemRecordBody.h"

using memrecord_detail::ExclusiveHold;
using memrecord_detail::SharedHold;

namespace {

// A column array's texts are fixed-size and may fill their arrays without a NUL.
std::string_view FixedText(const char (&text)[32]) {
    return std::string_view(text, strnlen(text, sizeof text));
}

// One definition item per column, so that column j always becomes field j: characters that
// would split or end the item are replaced, and an empty name gets a placeholder.
void AppendItem(std::string& definition, const tagFIXHEADERINFO& column) {
    if (!definition.empty()) definition += ',';
    std::string name(FixedText(column.name));
    for (char& c : name)
        if (c == ',' || c == '[') c = '_';
    if (name.empty()) name = "_";
    std::string_view type = FixedText(column.type);
    type = type.substr(0, type.find(','));
    definition += name;
    definition += '[';
    definition += type;
    definition += ']';
}

}  // namespace

CFixRecord::CFixRecord() = default;

CFixRecord::CFixRecord(CMemRecord* table) : m_table(table) {}

CFixRecord::CFixRecord(const CFixRecord& other) : m_table(other.m_table) {}

CFixRecord::~CFixRecord() { Detach(); }

bool CFixRecord::ownsTable() const { return m_owned != nullptr && m_table == m_owned.get(); }

CMemRecord* CFixRecord::GetMemRecord() {
    if (m_table == nullptr) {
        m_owned = std::make_unique<CMemRecord>();
        m_owned->SetOwnerView(this);
        m_table = m_owned.get();
    }
    return m_table;
}

void CFixRecord::Detach() {
    if (ownsTable()) m_owned.reset();
    m_table = nullptr;
}

void CFixRecord::Attach(CMemRecord* table) {
    if (table == m_table) return;  // re-attaching its own table must not destroy it
    Detach();
    m_table = table;
}

CFixRecord& CFixRecord::operator=(CFixRecord* other) {
    if (other != this) Attach(other == nullptr ? nullptr : other->m_table);
    return *this;
}

CFixRecord& CFixRecord::operator=(const CFixRecord& other) {
    if (&other == this || other.m_table == nullptr) return *this;
    if (m_table != nullptr && !ownsTable()) m_table = nullptr;  // let go, not destroyed
    GetMemRecord()->SetOwnerView(this);
    *m_table = *other.m_table;
    return *this;
}

void CFixRecord::acquireLockShared() { GetMemRecord()->acquireLockShared(); }
void CFixRecord::releaseLockShared() { GetMemRecord()->releaseLockShared(); }
void CFixRecord::acquireLockExclusive() { GetMemRecord()->acquireLockExclusive(); }
void CFixRecord::releaseLockExclusive() { GetMemRecord()->releaseLockExclusive(); }

// ---------------------------------------------------------------- layout

void CFixRecord::Create(const tagFIXHEADERINFO* layout) {
    if (layout == nullptr) return;
    std::string definition;
    int columns = 0;
    for (const tagFIXHEADERINFO* c = layout; c->id > 0; ++c, ++columns) AppendItem(definition, *c);
    if (definition.empty()) return;
    CMemRecord* table = GetMemRecord();
    ExclusiveHold hold(table->m_body->lock);
    table->Create(definition.c_str());
    for (int j = 0; j < columns; ++j) {
        table->SetFieldIDentity(j, static_cast<unsigned>(layout[j].id));
        table->SetFieldExtendStyle(0xFFFFFFFFu, layout[j].style, j);
    }
}

int CFixRecord::GetCount() { return GetMemRecord()->GetCount(); }
int CFixRecord::GetFCount() { return GetMemRecord()->GetFCount(); }
int CFixRecord::FindIndex(unsigned id) { return GetMemRecord()->FindIndex(id); }
uint32_t CFixRecord::GetIndexID(int field) { return GetMemRecord()->GetIndexID(field); }

// ---------------------------------------------------------------- typed access

template <typename T, typename Read>
T CFixRecord::readById(unsigned id, int row, T empty, Read read) {
    CMemRecord* table = GetMemRecord();
    SharedHold hold(table->m_body->lock);
    const MEMFIELDINFO* info = table->fieldAt(table->findIndexNoLock(id));
    const char* image = table->rowAt(row);
    return info == nullptr || image == nullptr ? empty : read(*table, *info, image);
}

std::string CFixRecord::Get(unsigned id, int row) {
    return readById(
        id, row, std::string(),
        [](CMemRecord& t, const MEMFIELDINFO& f, const char* img) { return t.textNoLock(f, img); });
}

char* CFixRecord::GetItemText(unsigned id, char* buf, int size, int row) {
    CMemRecord* table = GetMemRecord();
    return table->GetItemText(table->FindIndex(id), buf, size, row);
}

int32_t CFixRecord::GetLong(unsigned id, int row) {
    return readById(id, row, int32_t{0}, [](CMemRecord& t, const MEMFIELDINFO& f, const char* img) {
        return t.longNoLock(f, img);
    });
}

double CFixRecord::GetDouble(unsigned id, int row) {
    return readById(id, row, 0.0, [](CMemRecord& t, const MEMFIELDINFO& f, const char* img) {
        return t.doubleNoLock(f, img);
    });
}

template <typename Value>
void CFixRecord::setById(unsigned id, Value value, int row) {
    CMemRecord* table = GetMemRecord();
    ExclusiveHold hold(table->m_body->lock);
    table->Set(table->findIndexNoLock(id), value, row);
}

void CFixRecord::Set(unsigned id, int32_t value, int row) { setById(id, value, row); }
void CFixRecord::Set(unsigned id, double value, int row) { setById(id, value, row); }
void CFixRecord::Set(unsigned id, std::string_view text, int row) { setById(id, text, row); }

void CFixRecord::Set(unsigned id, const char* text, int row) {
    if (text != nullptr) Set(id, std::string_view(text), row);
}

// ---------------------------------------------------------------- rows between views

void CFixRecord::Update(CFixRecord* source, int sourceRow, int row) {
    if (source == nullptr || m_table == nullptr) return;
    const int fields = m_table->GetFCount();
    for (int f = 0; f < fields; ++f) {
        const uint32_t id = m_table->GetIndexID(f);
        if (id == 0 || source->FindIndex(id) < 0) continue;
        Set(id, source->Get(id, sourceRow), row);
    }
}

void CFixRecord::Append(CFixRecord* source, int sourceRow) {
    if (source == nullptr) return;
    if (m_table == nullptr) GetMemRecord()->CreateFrom(source->GetMemRecord());
    m_table->Append(nullptr, true);
    Update(source, sourceRow, -1);
}

// ---------------------------------------------------------------- searches

int CFixRecord::Find(unsigned id, const char* text) {
    CMemRecord* table = GetMemRecord();
    return table->Find(table->FindIndex(id), text);
}

int CFixRecord::Find(unsigned id, int32_t value) {
    return Find(id, platform::FormatInt(value).c_str());
}

int CFixRecord::LocateEx(std::initializer_list<FixTextItem> items) {
    CMemRecord* table = GetMemRecord();
    SharedHold hold(table->m_body->lock);
    struct Condition {
        const MEMFIELDINFO* info;  // null for an unknown identity: the value reads empty
        std::string_view text;
    };
    std::vector<Condition> conditions;
    for (const FixTextItem& item : items)
        conditions.push_back(Condition{table->fieldAt(table->findIndexNoLock(item.id)), item.text});
    std::string scratch;
    const int count = table->GetCount();
    for (int r = 0; r < count; ++r) {
        const char* image = table->rowAt(r);
        bool match = true;
        for (const Condition& c : conditions) {
            const std::string_view value =
                c.info == nullptr
                    ? std::string_view()
                    : std::string_view(table->directTextNoLock(*c.info, image, scratch));
            if (value != c.text) {
                match = false;
                break;
            }
        }
        if (match) return r;
    }
    return -1;
}

int CFixRecord::LocateExact(std::initializer_list<FixValueItem> items) {
    if (m_table == nullptr) return -1;
    SharedHold hold(m_table->m_body->lock);
    struct Condition {
        const MEMFIELDINFO* info;
        std::string text;  // for 'C' fields and for texts given for 'I' fields
        int32_t value;
        bool byValue;
    };
    std::vector<Condition> conditions;
    for (const FixValueItem& item : items) {
        const MEMFIELDINFO* info = m_table->fieldAt(m_table->findIndexNoLock(item.id));
        if (info == nullptr || info->type == 'R') continue;
        Condition c{info, {}, 0, false};
        if (const auto* number = std::get_if<int32_t>(&item.value)) {
            if (info->type == 'I') {
                c.value = *number;
                c.byValue = true;
            } else {
                c.text = platform::FormatInt(*number);
            }
        } else {
            c.text = std::get<std::string_view>(item.value);
        }
        conditions.push_back(std::move(c));
    }
    std::string scratch;
    const int count = m_table->GetCount();
    for (int r = 0; r < count; ++r) {
        const char* image = m_table->rowAt(r);
        bool match = true;
        for (const Condition& c : conditions) {
            match = c.byValue ? m_table->longNoLock(*c.info, image) == c.value
                              : c.text == m_table->directTextNoLock(*c.info, image, scratch);
            if (!match) break;
        }
        if (match) return r;
    }
    return -1;
}

int CFixRecord::GetResult(unsigned keyId, unsigned resultId, std::string& text) {
    CMemRecord* table = GetMemRecord();
    SharedHold hold(table->m_body->lock);
    const int field = table->findIndexNoLock(keyId);
    if (field < 0) return -1;
    const int row = table->locateNoLock(field, text, 0, -1);
    if (row >= 0) text = Get(resultId, row);
    return row;
}

std::string CFixRecord::GetDictText(unsigned keyId, unsigned textId, const char* key) {
    if (key == nullptr) return {};
    CMemRecord* table = GetMemRecord();
    SharedHold hold(table->m_body->lock);
    const int keyField = table->findIndexNoLock(keyId);
    if (keyField >= 0 && table->findIndexNoLock(textId) >= 0) {
        const int row = table->findNoLock(keyField, key);
        if (row >= 0) return Get(textId, row);
    }
    return key;
}

std::string CFixRecord::GetDictText(unsigned keyId, unsigned textId, int32_t key) {
    return GetDictText(keyId, textId, platform::FormatInt(key).c_str());
}

// ---------------------------------------------------------------- filters and bulk operations

void CFixRecord::FilterFrom(CFixRecord* source, std::initializer_list<FixTextItem> items) {
    if (source == nullptr || source->GetFCount() == 0) return;
    if (GetFCount() == 0) GetMemRecord()->CreateFrom(source->GetMemRecord());
    CMemRecord* from = source->GetMemRecord();
    struct Condition {
        int field;
        std::string_view text;
    };
    std::vector<Condition> conditions;
    for (const FixTextItem& item : items) {
        const int field = from->FindIndex(item.id);
        if (field >= 0) conditions.push_back(Condition{field, item.text});
    }
    // The rows the source has now: filtering a view into itself does not see its own appends.
    const int count = from->GetCount();
    std::string scratch;
    for (int r = 0; r < count; ++r) {
        bool match = true;
        for (const Condition& c : conditions) {
            const char* value = from->GetDirectText(c.field, scratch, r);
            if (value == nullptr || c.text != value) {
                match = false;
                break;
            }
        }
        if (match) Append(source, r);
    }
}

void CFixRecord::FilterWhile(CFixRecord* source, unsigned id, const char* text) {
    if (text != nullptr) FilterFrom(source, {{id, text}});
}

void CFixRecord::FilterWhile(CFixRecord* source, unsigned id, int32_t value) {
    const std::string text = platform::FormatInt(value);
    FilterFrom(source, {{id, text}});
}

void CFixRecord::DeleteWhile(unsigned id, const char* text) {
    if (text == nullptr) return;
    CMemRecord* table = GetMemRecord();
    ExclusiveHold hold(table->m_body->lock);
    const MEMFIELDINFO* info = table->fieldAt(table->findIndexNoLock(id));
    if (info == nullptr) return;
    const std::string_view wanted(text);
    std::string scratch;
    for (int r = 0; r < table->GetCount();) {
        if (wanted == table->directTextNoLock(*info, table->rowAt(r), scratch))
            table->deleteNoLock(r);  // the next row moved up into r: test r again
        else
            ++r;
    }
}

void CFixRecord::DeleteWhile(unsigned id, int32_t value) {
    DeleteWhile(id, platform::FormatInt(value).c_str());
}

void CFixRecord::UpdateKeyValue(unsigned keyId, unsigned targetId, CFixRecord* other) {
    if (other == nullptr || m_table == nullptr || GetCount() == 0) return;
    if (FindIndex(keyId) < 0 || FindIndex(targetId) < 0 || other->FindIndex(keyId) < 0) return;
    const int count = GetCount();
    for (int r = 0; r < count; ++r) {
        const std::string key = Get(keyId, r);
        Set(targetId, int32_t{other->Find(keyId, key.c_str())}, r);
    }
}

void CFixRecord::GroupFrom(CFixRecord* source, int count, const unsigned* ids) {
    if (source == nullptr) return;
    CMemRecord* from = source->GetMemRecord();
    std::vector<int> fields;
    for (int i = 0; ids != nullptr && i < count; ++i) fields.push_back(from->FindIndex(ids[i]));
    GetMemRecord()->GroupFrom(from, static_cast<int>(fields.size()), fields.data());
}

void CFixRecord::GroupFrom(CFixRecord* source, unsigned id) { GroupFrom(source, 1, &id); }
