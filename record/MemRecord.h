// CMemRecord: the typed in-memory record table (fixed-size row images, a definition-string
// layout, a cursor, sorting, keyed search and grouping) and its field descriptor MEMFIELDINFO.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CFixRecord;

// One field descriptor.
struct MEMFIELDINFO {
    char name[32];         // NUL-terminated, at most 31 bytes (cut on a character boundary)
    char type;             // 'I' integer, 'R' real, 'C' text
    uint8_t decimals;      // decimals of an 'R' field (0 to 16)
    int16_t width;         // 4 for 'I', 8 for 'R', the declared GBK byte width for 'C'
    int32_t offset;        // byte offset of the value inside the row image
    int16_t viewWidth;     // display width for list and grid controls
    uint32_t identity;     // field identity (protocol field tag), 0 when none
    uint32_t extendStyle;  // per-field style bits; bit 31 is the field's change mark
    int32_t storage;       // bytes the value takes in the row image (a multiple of 4)
};

class CMemRecord {
public:
    // The change mark in the row flags and in a field's extend style.
    static constexpr uint32_t kChangeMark = 0x80000000u;
    // Declared text widths above this are cut to it; a layout stops growing at kMaxRowSize.
    static constexpr int kMaxTextWidth = 32767;
    static constexpr uint32_t kMaxRowSize = 1u << 20;

    CMemRecord();
    virtual ~CMemRecord();
    CMemRecord(const CMemRecord&) = delete;
    CMemRecord& operator=(CMemRecord& source);

    // ---- layout ----
    void Create(const char* definition);
    void CreateFrom(CMemRecord* source);
    std::string GetDetail();
    void Empty();
    void InitStorage(int rows);
    // True when both tables store rows the same way (row size, field types, widths, offsets).
    bool SameLayout(CMemRecord* other);

    // ---- rows ----
    int Append(const char* image, bool go);
    int Append(CMemRecord* source);
    int Insert(const char* image, int before);
    void Delete(int row);
    void Zap();
    char* GetData(int row);
    void SetData(const char* image, int row);
    int FindData(const char* image);
    void Swap(int a, int b);
    uint32_t GetItemExtendStyle(int row);
    void SetItemExtendStyle(uint32_t mask, uint32_t bits, int row);
    uint32_t GetFieldExtendStyle(int field);
    void SetFieldExtendStyle(uint32_t mask, uint32_t bits, int field);

    // ---- cursor (no lock) ----
    int GetNo() const { return m_cursor.load(std::memory_order_relaxed); }
    void Go(int n) { m_cursor.store(n, std::memory_order_relaxed); }
    void GoTop() { Go(0); }
    void GoBottom() { Go(GetCount() - 1); }
    void Skip(int n) { Go(GetNo() + n); }
    bool Bof() const { return GetNo() < 0; }
    bool Eof() const { return GetNo() >= GetCount(); }
    bool IsEmpty() const { return GetCount() == 0; }
    int GetCount() const { return m_count.load(std::memory_order_relaxed); }
    int GetFCount() const { return m_fieldCount.load(std::memory_order_relaxed); }
    uint32_t GetDataSize() const { return m_rowSize.load(std::memory_order_relaxed); }

    // ---- fields ----
    int FindIndex(const char* name);
    int FindIndex(unsigned identity);
    uint32_t GetFieldIDentity(int field);
    uint32_t GetIndexID(int field) { return GetFieldIDentity(field); }
    void SetFieldIDentity(int field, unsigned identity);
    char GetFieldType(int field);
    int GetFieldViewWidth(int field);
    void SetFieldViewWidth(int field, int width);
    bool GetFieldInfo(int field, std::string* name, uint8_t* type, int* width, int* viewWidth,
                      int* decimals);
    void SetFieldName(int field, const char* name);

    // ---- typed access ----
    // A negative row means the cursor row; a bad row or field makes reads empty and writes
    // do nothing. The image forms work on a row image obtained from GetData.
    void Set(int field, const char* text, int row = -1);
    void Set(int field, std::string_view text, int row = -1);
    void Set(int field, int32_t value, int row = -1);
    void Set(int field, double value, int row = -1);
    void Set(const char* name, const char* text, int row = -1);
    void Set(const char* name, int32_t value, int row = -1);
    void Set(const char* name, double value, int row = -1);
    void Set(int field, const char* text, char* image);
    void Set(int field, int32_t value, char* image);
    void Set(int field, double value, char* image);

    // Text of a value: 'I' "%d", 'R' fixed-point with the field's decimals, 'C' the text.
    std::string GetItemText(int field, int row = -1);
    std::string GetItemText(const char* name, int row = -1);
    std::string GetItemText(int field, const char* image);
    // The same text cut to size - 1 bytes (on a character boundary) and written to buf;
    // nothing is written when size < 1. Returns buf.
    char* GetItemText(int field, char* buf, int size, int row = -1);
    std::string GetText(int field, int row = -1) { return GetItemText(field, row); }
    std::string GetString(int field, int row = -1) { return GetItemText(field, row); }
    // 'C': a pointer to the text inside the row image; 'I' and 'R': the text, kept in
    // scratch, whose c_str() is returned. Null for a bad row or field.
    const char* GetDirectText(int field, std::string& scratch, int row = -1);
    const char* GetDirectText(int field, std::string& scratch, const char* image);
    int32_t GetLong(int field, int row = -1);
    int32_t GetLong(const char* name, int row = -1);
    int32_t GetLong(int field, const char* image);
    double GetDouble(int field, int row = -1);
    double GetDouble(const char* name, int row = -1);
    double GetDouble(int field, const char* image);

    // ---- linear search ----
    int Locate(int field, const char* text, int from = 0, int to = -1);
    int Locate(const char* name, const char* text, int from = 0, int to = -1);

    // ---- sorting, keyed search, keyed insertion, grouping ----
    void Sort(int field, bool ascending, int from = 0, int to = -1);
    void Sort(const char* name, bool ascending, int from = 0, int to = -1);
    void Sort(const int* fields, int n, bool ascending, int from = 0, int to = -1);
    int GetKeyIndex() const { return m_keyField.load(std::memory_order_relaxed); }
    int GetSortDirection() const { return m_sortDirection.load(std::memory_order_relaxed); }
    int Find(int field, const char* text);
    int Find(int field, int32_t value);
    int QuickFind(const char* text);
    int QuickFindLower(const char* text);
    int InsertKey(int field, const char* text, bool unique);
    int InsertKey(int field, int32_t value, bool unique);
    int RecordLocate(CMemRecord* other, int n, const int* fields, int row = -1);
    void GroupFrom(CMemRecord* source, int n, const int* keyFields);
    void GroupFrom(CMemRecord* source, int keyField);

    // ---- locks ----
    void acquireLockShared();
    void releaseLockShared();
    void acquireLockExclusive();
    void releaseLockExclusive();

    // The view that created this table and will destroy it, or null.
    CFixRecord* GetOwnerView() const { return m_ownerView; }
    void SetOwnerView(CFixRecord* view) { m_ownerView = view; }

protected:
    bool allocatestorage(int rows);
    char* GetEntryInfo(int field, const char* image, int* type, int* width, int* decimals);

private:
    friend class CFixRecord;
    struct Body;

    // Unlocked forms; the caller holds the lock.
    const MEMFIELDINFO* fieldAt(int field) const;
    char* rowAt(int row) const;
    int resolveRow(int row) const;
    void emptyNoLock();
    void copyLayoutNoLock(const CMemRecord& source);
    bool sameLayoutNoLock(const CMemRecord& other) const;
    int appendNoLock(const char* image, bool go);
    int insertNoLock(const char* image, int before);
    void deleteNoLock(int row);
    int findIndexNoLock(unsigned identity) const;
    void setTextNoLock(const MEMFIELDINFO& info, char* image, std::string_view text);
    void setIntNoLock(const MEMFIELDINFO& info, char* image, int32_t value);
    void setDoubleNoLock(const MEMFIELDINFO& info, char* image, double value);
    void storeNoLock(const MEMFIELDINFO& info, char* image, std::string_view text);
    void storeNoLock(const MEMFIELDINFO& info, char* image, int32_t value);
    void storeNoLock(const MEMFIELDINFO& info, char* image, double value);
    // A typed store with the change marks, into `image` or else into row `row`.
    template <typename Value>
    void setMarked(int field, int row, char* image, Value value);
    std::string textNoLock(const MEMFIELDINFO& info, const char* image) const;
    const char* directTextNoLock(const MEMFIELDINFO& info, const char* image,
                                 std::string& scratch) const;
    int32_t longNoLock(const MEMFIELDINFO& info, const char* image) const;
    double doubleNoLock(const MEMFIELDINFO& info, const char* image) const;
    int locateNoLock(int field, std::string_view text, int from, int to) const;
    void sortNoLock(const int* fields, int n, bool ascending, int from, int to);
    int lowerBoundNoLock(std::string_view text) const;
    int quickFindNoLock(std::string_view text) const;
    int quickFindLowerNoLock(std::string_view text) const;
    int findNoLock(int field, std::string_view text) const;
    // One member of a field's descriptor under the shared lock; 0 for a bad field.
    template <typename T>
    T descriptorValue(int field, T MEMFIELDINFO::*member);
    // Runs read(descriptor, image) under the shared lock; `empty` for a bad row or field.
    template <typename T, typename Read>
    T readAtRow(int field, int row, T empty, Read read);
    template <typename T, typename Read>
    T readAtImage(int field, const char* image, T empty, Read read);
    int recordLocateNoLock(const CMemRecord& other, int n, const int* fields,
                           const char* image) const;

    std::atomic<uint32_t> m_rowSize{0};
    std::atomic<int32_t> m_cursor{-1};
    std::atomic<int32_t> m_count{0};
    std::atomic<int32_t> m_fieldCount{0};
    std::atomic<int32_t> m_keyField{-1};
    std::atomic<int32_t> m_sortDirection{0};
    CFixRecord* m_ownerView = nullptr;
    std::unique_ptr<Body> m_body;
};

// Value comparisons of one field's stored values, and of a stored value with a text; used by
// sorting and searching, and exposed for the views and their tests. Negative, 0 or positive.
int CompareMemValues(const MEMFIELDINFO& info, const char* imageA, const char* imageB);
int CompareMemValueToText(const MEMFIELDINFO& info, const char* image, std::string_view text);
