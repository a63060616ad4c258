// Private to the record table sources: the implementation block of CMemRecord, its identity
// index, scoped lock holds and the value comparisons shared by sorting and searching.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "record/MemRecord.h"
#include "record/RWLockInheritable.h"

// Hidden: these helpers are called on every cell and every comparison, and calls to functions
// a shared library exports go through its procedure linkage table and are never inlined.
namespace [[gnu::visibility("hidden")]] memrecord_detail {

// Field identity -> field index: open addressing with linear probing, since a tag look-up
// runs for every cell a grid draws. Identity 0 is never stored and marks a free slot.
class IdentityMap {
public:
    void Clear() {
        m_slots.clear();
        m_used = 0;
        m_shift = 32;
    }
    void Put(uint32_t identity, int32_t field) {
        if (identity == 0) return;
        if ((m_used + 1) * 2 > m_slots.size()) grow();
        insert(identity, field);
    }
    int32_t Get(uint32_t identity) const {
        if (identity == 0 || m_slots.empty()) return -1;
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = slotOf(identity);; i = (i + 1) & mask) {
            const Slot& slot = m_slots[i];
            if (slot.identity == identity) return slot.field;
            if (slot.identity == 0) return -1;
        }
    }

private:
    struct Slot {
        uint32_t identity = 0;
        int32_t field = -1;
    };
    std::size_t slotOf(uint32_t identity) const {
        return static_cast<std::size_t>((identity * 0x9E3779B1u) >> m_shift);
    }
    void insert(uint32_t identity, int32_t field) {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = slotOf(identity);; i = (i + 1) & mask) {
            Slot& slot = m_slots[i];
            if (slot.identity == identity) {
                slot.field = field;  // a later mapping replaces the earlier one
                return;
            }
            if (slot.identity == 0) {
                slot = Slot{identity, field};
                ++m_used;
                return;
            }
        }
    }
    void grow() {
        std::vector<Slot> old;
        old.swap(m_slots);
        const std::size_t size = old.empty() ? 16 : old.size() * 2;
        m_slots.assign(size, Slot{});
        m_shift = 32 - static_cast<unsigned>(__builtin_ctzll(size));
        m_used = 0;
        for (const Slot& slot : old)
            if (slot.identity != 0) insert(slot.identity, slot.field);
    }

    std::vector<Slot> m_slots;
    std::size_t m_used = 0;
    unsigned m_shift = 32;
};

class SharedHold {
public:
    explicit SharedHold(CRWLockInheritable& lock) : m_lock(lock) { m_lock.acquireLockShared(); }
    ~SharedHold() { m_lock.releaseLockShared(); }
    SharedHold(const SharedHold&) = delete;
    SharedHold& operator=(const SharedHold&) = delete;

private:
    CRWLockInheritable& m_lock;
};

class ExclusiveHold {
public:
    explicit ExclusiveHold(CRWLockInheritable& lock) : m_lock(lock) {
        m_lock.acquireLockExclusive();
    }
    ~ExclusiveHold() { m_lock.releaseLockExclusive(); }
    ExclusiveHold(const ExclusiveHold&) = delete;
    ExclusiveHold& operator=(const ExclusiveHold&) = delete;

private:
    CRWLockInheritable& m_lock;
};

inline int32_t LoadInt(const char* p) {
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void StoreInt(char* p, int32_t v) { std::memcpy(p, &v, sizeof v); }
inline double LoadReal(const char* p) {
    double v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void StoreReal(char* p, double v) { std::memcpy(p, &v, sizeof v); }
inline uint32_t LoadFlags(const char* image) { return static_cast<uint32_t>(LoadInt(image)); }
inline void StoreFlags(char* image, uint32_t flags) {
    StoreInt(image, static_cast<int32_t>(flags));
}

inline int CompareInts(int32_t a, int32_t b) { return (a > b) - (a < b); }
// Reals closer than 2^-23 count as equal.
inline int CompareReals(double a, double b) {
    constexpr double kEpsilon = 1.1920928955078125e-7;
    const double d = a - b;
    return d > kEpsilon ? 1 : (d < -kEpsilon ? -1 : 0);
}
// GBK byte order of two stored texts, byte by byte while they differ in ASCII only.
inline int CompareStoredTexts(const char* a, const char* b) {
    auto pa = reinterpret_cast<const unsigned char*>(a);
    auto pb = reinterpret_cast<const unsigned char*>(b);
    while (*pa == *pb && *pa != 0) ++pa, ++pb;
    if (*pa == *pb) return 0;
    if (*pa < 0x80 && *pb < 0x80) return *pa < *pb ? -1 : 1;  // the end (0) included
    return platform::CompareGbkOrder(a, b);
}

// The same for a stored text and a search text, without measuring the stored text first: a
// binary search touches each row once, and the first differing byte usually decides.
inline int CompareStoredText(const char* stored, std::string_view text) {
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto s = static_cast<unsigned char>(stored[i]);
        const auto t = static_cast<unsigned char>(text[i]);
        if (s == t) continue;
        if (s < 0x80 && t < 0x80) return s < t ? -1 : 1;  // the stored end (0) included
        return platform::CompareGbkOrder(stored, text);
    }
    return stored[n] == 0 ? 0 : 1;
}

// A search text converted once for one field's type, then compared with many rows.
class TextKey {
public:
    TextKey(const MEMFIELDINFO& info, std::string_view text)
        : m_type(info.type), m_offset(info.offset), m_text(text) {
        if (m_type == 'I')
            m_int = platform::AtolSat(text);
        else if (m_type == 'R')
            m_real = platform::Atof(text);
    }
    // The stored value against the text.
    int CompareRow(const char* image) const {
        const char* p = image + m_offset;
        switch (m_type) {
            case 'I':
                return CompareInts(LoadInt(p), m_int);
            case 'R':
                return CompareReals(LoadReal(p), m_real);
            default:
                return CompareStoredText(p, m_text);
        }
    }

private:
    char m_type;
    int32_t m_offset;
    int32_t m_int = 0;
    double m_real = 0;
    std::string_view m_text;
};

// UTF-8 length of at most `limit` bytes that does not end inside a character.
std::size_t CutUtf8(std::string_view text, std::size_t limit);

}  // namespace gnu::visibility("hidden")]]memrecord_detail

struct [[gnu::visibility("hidden")]] CMemRecord::Body {
    std::vector<MEMFIELDINFO> fields;
    memrecord_detail::IdentityMap identities;
    std::vector<char*> rows;
    std::deque<char*> freeRows;
    std::vector<std::unique_ptr<char[]>> blocks;
    CRWLockInheritable lock;
};

// The look-ups every typed access makes, inline for the same reason as above.
inline int CMemRecord::resolveRow(int row) const {
    if (row < 0) row = GetNo();
    return row >= 0 && row < GetCount() ? row : -1;
}

inline char* CMemRecord::rowAt(int row) const {
    row = resolveRow(row);
    return row < 0 ? nullptr : m_body->rows[static_cast<std::size_t>(row)];
}

inline const MEMFIELDINFO* CMemRecord::fieldAt(int field) const {
    return field >= 0 && field < GetFCount() ? &m_body->fields[static_cast<std::size_t>(field)]
                                             : nullptr;
}

inline int CMemRecord::findIndexNoLock(unsigned identity) const {
    return m_body->identities.Get(identity);
}
