// CFixRecord: the view through which record tables are used by field identity (protocol field
// tag), built from tagFIXHEADERINFO column arrays, with multi-field searches and filters.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

class CMemRecord;

// One column definition; an entry with id <= 0 ends an array.
struct tagFIXHEADERINFO {
    int32_t id;      // field identity, > 0
    char name[32];   // column caption (UTF-8) or short code of a hidden column
    char type[32];   // type text without brackets: C64, N10, R12.2
    uint32_t style;  // the field's extend style
};

// (identity, text) condition of LocateEx and FilterFrom.
struct FixTextItem {
    uint32_t id;
    std::string_view text;
};

// (identity, value) condition of LocateExact: a text for a 'C' field, an integer for 'I'.
struct FixValueItem {
    uint32_t id;
    std::variant<int32_t, std::string_view> value;
};

class CFixRecord {
public:
    CFixRecord();
    explicit CFixRecord(CMemRecord* table);
    // A second view of the same table, which it does not own.
    CFixRecord(const CFixRecord& other);
    virtual ~CFixRecord();

    CMemRecord* GetMemRecord();
    bool IsCreate() const { return m_table != nullptr; }
    void Attach(CMemRecord* table);
    void Detach();
    // Shares the other view's table.
    CFixRecord& operator=(CFixRecord* other);
    // Copies the other view's layout and rows into a table this view owns.
    CFixRecord& operator=(const CFixRecord& other);

    void acquireLockShared();
    void releaseLockShared();
    void acquireLockExclusive();
    void releaseLockExclusive();

    // ---- layout ----
    void Create(const tagFIXHEADERINFO* layout);
    int GetCount();
    int GetFCount();
    int FindIndex(unsigned id);
    uint32_t GetIndexID(int field);

    // ---- typed access by identity (a negative row means the cursor row) ----
    std::string Get(unsigned id, int row = -1);
    char* GetItemText(unsigned id, char* buf, int size, int row = -1);
    int32_t GetLong(unsigned id, int row = -1);
    double GetDouble(unsigned id, int row = -1);
    void Set(unsigned id, int32_t value, int row = -1);
    void Set(unsigned id, double value, int row = -1);
    void Set(unsigned id, const char* text, int row = -1);
    void Set(unsigned id, std::string_view text, int row = -1);

    // ---- rows between views, matched by identity through text ----
    void Update(CFixRecord* source, int sourceRow, int row = -1);
    void Append(CFixRecord* source, int sourceRow);

    // ---- searches (row index or -1) ----
    int Find(unsigned id, const char* text);
    int Find(unsigned id, int32_t value);
    int LocateEx(std::initializer_list<FixTextItem> items);
    int LocateExact(std::initializer_list<FixValueItem> items);
    // Row of the first keyId value equal to text; text then holds that row's resultId text.
    int GetResult(unsigned keyId, unsigned resultId, std::string& text);
    std::string GetDictText(unsigned keyId, unsigned textId, const char* key);
    std::string GetDictText(unsigned keyId, unsigned textId, int32_t key);

    // ---- filters and bulk operations ----
    void FilterFrom(CFixRecord* source, std::initializer_list<FixTextItem> items);
    void FilterWhile(CFixRecord* source, unsigned id, const char* text);
    void FilterWhile(CFixRecord* source, unsigned id, int32_t value);
    void DeleteWhile(unsigned id, const char* text);
    void DeleteWhile(unsigned id, int32_t value);
    void UpdateKeyValue(unsigned keyId, unsigned targetId, CFixRecord* other);
    void GroupFrom(CFixRecord* source, int count, const unsigned* ids);
    void GroupFrom(CFixRecord* source, unsigned id);

private:
    bool ownsTable() const;
    template <typename Value>
    void setById(unsigned id, Value value, int row);
    // Runs read(table, descriptor, image) under the shared lock; `empty` when the identity
    // or the row is missing.
    template <typename T, typename Read>
    T readById(unsigned id, int row, T empty, Read read);

    CMemRecord* m_table = nullptr;
    std::unique_ptr<CMemRecord> m_owned;  // set exactly when this view owns m_table
};
