// Scoped holds of global table locks with their documented order, checked per thread in debug
// builds so a path that could deadlock fails at once instead of one day in the field.
#pragma once

class CFixRecord;

namespace tradedata {

// A thread that holds several table locks takes them in increasing rank and releases them in
// reverse:
//   PositionDetailTable (10) -> PositionSummaryTable (20) -> CombinationContractTable (30)
//   -> FuturesContractTable (40) -> OptionContractTable (50) -> UnderlyingTable (60)
// AccountTable (70) and the other account tables (80) are never held with a contract table
// lock. A thread never asks for the exclusive side of a table whose shared side it holds:
// the lock cannot be upgraded, and the request would wait for the thread itself.
enum class TableLockRank : int {
    PositionDetail = 10,
    PositionSummary = 20,
    CombinationContract = 30,
    FuturesContract = 40,
    OptionContract = 50,
    Underlying = 60,
    Account = 70,
    AccountData = 80,
};

class ScopedTableLock {
public:
    ScopedTableLock(CFixRecord& table, TableLockRank rank, bool exclusive);
    ~ScopedTableLock();
    ScopedTableLock(const ScopedTableLock&) = delete;
    ScopedTableLock& operator=(const ScopedTableLock&) = delete;

private:
    CFixRecord& m_table;
    bool m_exclusive;
};

// True when the order checks run (builds without NDEBUG).
bool LockOrderChecksEnabled();
// Called with a description when a check fails; the default aborts. Tests install their own.
using LockOrderViolationHandler = void (*)(const char* what);
void SetLockOrderViolationHandler(LockOrderViolationHandler handler);

}  // namespace tradedata
