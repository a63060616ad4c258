// Scoped table lock holds and the per-thread order check of debug builds.
#include "tradedata/TableLockOrder.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "record/FixRecord.h"

namespace tradedata {
namespace {

void AbortOnViolation(const char* what) {
    std::fprintf(stderr, "table lock order violated: %s\n", what);
    std::abort();
}

std::atomic<LockOrderViolationHandler> g_handler{&AbortOnViolation};

#ifndef NDEBUG
struct Held {
    const CFixRecord* table;
    TableLockRank rank;
    bool exclusive;
};
thread_local std::vector<Held> t_held;

void CheckAcquire(const CFixRecord& table, TableLockRank rank, bool exclusive) {
    for (const Held& h : t_held) {
        if (h.table == &table) {
            if (exclusive && !h.exclusive) g_handler.load()("exclusive asked while shared held");
            continue;  // re-entry of a held table keeps the order
        }
        if (static_cast<int>(h.rank) > static_cast<int>(rank))
            g_handler.load()("a lower-ranked table taken after a higher-ranked one");
    }
}
#endif

}  // namespace

bool LockOrderChecksEnabled() {
#ifndef NDEBUG
    return true;
#else
    return false;
#endif
}

void SetLockOrderViolationHandler(LockOrderViolationHandler handler) {
    g_handler.store(handler != nullptr ? handler : &AbortOnViolation);
}

ScopedTableLock::ScopedTableLock(CFixRecord& table, TableLockRank rank, bool exclusive)
    : m_table(table), m_exclusive(exclusive) {
#ifndef NDEBUG
    CheckAcquire(table, rank, exclusive);
    t_held.push_back({&table, rank, exclusive});
#else
    (void)rank;
#endif
    if (exclusive)
        m_table.acquireLockExclusive();
    else
        m_table.acquireLockShared();
}

ScopedTableLock::~ScopedTableLock() {
    if (m_exclusive)
        m_table.releaseLockExclusive();
    else
        m_table.releaseLockShared();
#ifndef NDEBUG
    auto it = std::find_if(t_held.rbegin(), t_held.rend(), [&](const Held& h) {
        return h.table == &m_table && h.exclusive == m_exclusive;
    });
    if (it != t_held.rend()) t_held.erase(std::next(it).base());
#endif
}

}  // namespace tradedata
