// CRWLockInheritable: the re-entrant reader/writer lock inside every record table; the thread
// holding it exclusively may take it again, shared or exclusive, without blocking.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class CRWLockInheritable {
public:
    CRWLockInheritable();
    virtual ~CRWLockInheritable();
    CRWLockInheritable(const CRWLockInheritable&) = delete;
    CRWLockInheritable& operator=(const CRWLockInheritable&) = delete;

    void acquireLockShared();
    void releaseLockShared();
    void acquireLockExclusive();
    void releaseLockExclusive();

    // Diagnostics for tests and assertions: threads blocked in the acquire calls right now.
    int GetWaitingWriters() const;
    int GetWaitingReaders() const;
    // True while no hold of any kind is in place.
    bool IsFree() const;

private:
    // The state word: shared holds in the low 32 bits, exclusive depth in bits 32-62, and
    // bit 63 set while any thread waits. The halves are wider than holds can ever reach, so a
    // long run of shared holds can never spill into the exclusive depth. Uncontended acquires
    // and releases change the word with one compare-exchange while no thread waits; everything
    // else goes through the guard.
    static constexpr uint64_t kSharedMask = 0xFFFFFFFFull;
    static constexpr uint64_t kExclusiveOne = 1ull << 32;
    static constexpr uint64_t kExclusiveMask = 0x7FFFFFFFull << 32;
    static constexpr uint64_t kWaitersFlag = 1ull << 63;
    static constexpr uint64_t kHoldMask = kSharedMask | kExclusiveMask;

    void acquireSharedSlow();
    void releaseSharedSlow();
    void acquireExclusiveSlow();
    void releaseExclusiveSlow();
    // Under the guard:
    void updateWaitersFlag();
    void setReaderEvent();
    void wakeNext();  // one waiting writer, or else every waiting reader

    std::atomic<uint64_t> m_state{0};
    std::atomic<uintptr_t> m_ownerThread{0};

    mutable std::mutex m_guard;
    int32_t m_waitingWriters = 0;  // under m_guard
    int32_t m_waitingReaders = 0;  // under m_guard
    // The readers' event: every set starts a new generation, which releases every reader
    // waiting at that moment (a later reset cannot strand one of them).
    uint64_t m_readerGeneration = 0;  // under m_guard
    std::condition_variable m_readerEvent;
    // The writers' semaphore (at most one token).
    int32_t m_writerTokens = 0;  // under m_guard
    std::condition_variable m_writerSemaphore;
};
