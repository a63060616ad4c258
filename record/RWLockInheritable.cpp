// CRWLockInheritable: writer-preferring reader/writer lock with owner re-entry, a
// compare-exchange fast path while nobody waits and a guarded slow path otherwise.
#include "record/RWLockInheritable.h"

#include <cassert>

namespace {

// Per-thread state of the lock, reached with the initial-exec TLS model: every acquire and
// release reads it, and the general model costs a call to the TLS resolver inside a shared
// library.
struct ThreadState {
    // Shared holds this thread has taken as a plain reader, on any lock. A reader that already
    // holds one may join other readers while a writer waits (its nested calls must not wait
    // for a writer that waits for it); a reader holding none waits for the writer, so a
    // stream of overlapping readers cannot keep a writer out for ever.
    int32_t sharedHolds = 0;
};
[[gnu::tls_model("initial-exec")]] thread_local ThreadState t_thread;

// A per-thread token that is never 0 and differs between live threads.
inline uintptr_t CurrentThreadToken() { return reinterpret_cast<uintptr_t>(&t_thread); }

}  // namespace

CRWLockInheritable::CRWLockInheritable() = default;

CRWLockInheritable::~CRWLockInheritable() {
    assert((m_state.load() & kHoldMask) == 0 && "lock destroyed while held");
}

int CRWLockInheritable::GetWaitingWriters() const {
    std::lock_guard lock(m_guard);
    return m_waitingWriters;
}

int CRWLockInheritable::GetWaitingReaders() const {
    std::lock_guard lock(m_guard);
    return m_waitingReaders;
}

bool CRWLockInheritable::IsFree() const { return (m_state.load() & kHoldMask) == 0; }

void CRWLockInheritable::updateWaitersFlag() {
    if (m_waitingWriters + m_waitingReaders > 0)
        m_state.fetch_or(kWaitersFlag);
    else
        m_state.fetch_and(~kWaitersFlag);
}

void CRWLockInheritable::acquireLockShared() {
    if (m_ownerThread.load(std::memory_order_relaxed) == CurrentThreadToken()) {
        // Only the owner changes the holds while it holds the lock exclusively.
        [[maybe_unused]] const uint64_t before = m_state.fetch_add(1);
        assert((before & kSharedMask) != kSharedMask && "too many shared holds");
        return;
    }
    uint64_t state = m_state.load(std::memory_order_relaxed);
    if ((state & (kExclusiveMask | kWaitersFlag)) == 0 && (state & kSharedMask) != kSharedMask &&
        m_state.compare_exchange_strong(state, state + 1, std::memory_order_acquire)) {
        ++t_thread.sharedHolds;
        return;
    }
    acquireSharedSlow();
    ++t_thread.sharedHolds;
}

void CRWLockInheritable::acquireSharedSlow() {
    std::unique_lock lock(m_guard);
    for (;;) {
        uint64_t state = m_state.load();
        const bool admitted =
            (state & kExclusiveMask) == 0 &&
            (m_waitingWriters == 0 || ((state & kSharedMask) != 0 && t_thread.sharedHolds > 0));
        if (admitted) {
            if ((state & kSharedMask) == kSharedMask) {
                // The count is full: wait for a release like any blocked reader.
                assert(false && "too many shared holds");
            } else if (m_state.compare_exchange_strong(state, state + 1)) {
                // The first reader in lets every waiting reader in with it.
                if ((state & kSharedMask) == 0 && m_waitingReaders > 0) setReaderEvent();
                return;
            } else {
                continue;  // a fast-path reader changed the count; test again
            }
        }
        const uint64_t generation = m_readerGeneration;
        ++m_waitingReaders;
        updateWaitersFlag();
        // Releases that finished before the flag was up did not look for waiters: re-test.
        state = m_state.load();
        const bool nowAdmitted =
            (state & kExclusiveMask) == 0 &&
            (m_waitingWriters == 0 || ((state & kSharedMask) != 0 && t_thread.sharedHolds > 0)) &&
            (state & kSharedMask) != kSharedMask;
        if (!nowAdmitted)
            m_readerEvent.wait(lock, [&] { return m_readerGeneration != generation; });
        --m_waitingReaders;
        updateWaitersFlag();
    }
}

void CRWLockInheritable::releaseLockShared() {
    if (m_ownerThread.load(std::memory_order_relaxed) == CurrentThreadToken()) {
        m_state.fetch_sub(1);
        return;
    }
    --t_thread.sharedHolds;
    uint64_t state = m_state.load(std::memory_order_relaxed);
    assert((state & kSharedMask) != 0 && "shared release without a hold");
    if ((state & kWaitersFlag) == 0 &&
        m_state.compare_exchange_strong(state, state - 1, std::memory_order_release))
        return;
    releaseSharedSlow();
}

void CRWLockInheritable::setReaderEvent() {
    ++m_readerGeneration;
    m_readerEvent.notify_all();
}

void CRWLockInheritable::wakeNext() {
    if (m_waitingWriters > 0) {
        m_writerTokens = 1;
        m_writerSemaphore.notify_one();
    } else if (m_waitingReaders > 0) {
        setReaderEvent();
    }
}

void CRWLockInheritable::releaseSharedSlow() {
    std::lock_guard lock(m_guard);
    const uint64_t after = m_state.fetch_sub(1) - 1;
    if ((after & kHoldMask) == 0)
        wakeNext();  // readers that met a full count wait too
    else if ((after & kSharedMask) == kSharedMask - 1 && m_waitingReaders > 0)
        setReaderEvent();
}

void CRWLockInheritable::acquireLockExclusive() {
    const uintptr_t self = CurrentThreadToken();
    if (m_ownerThread.load(std::memory_order_relaxed) == self) {
        [[maybe_unused]] const uint64_t before = m_state.fetch_add(kExclusiveOne);
        assert((before & kExclusiveMask) != kExclusiveMask && "exclusive depth overflow");
        return;
    }
    uint64_t expected = 0;
    if (m_state.compare_exchange_strong(expected, kExclusiveOne, std::memory_order_acquire)) {
        m_ownerThread.store(self, std::memory_order_relaxed);
        return;
    }
    acquireExclusiveSlow();
}

void CRWLockInheritable::acquireExclusiveSlow() {
    std::unique_lock lock(m_guard);
    for (;;) {
        uint64_t state = m_state.load();
        if ((state & kHoldMask) == 0) {
            if (m_state.compare_exchange_strong(state, state | kExclusiveOne)) break;
            continue;  // a fast-path reader came in first
        }
        ++m_waitingWriters;
        updateWaitersFlag();
        if ((m_state.load() & kHoldMask) != 0) {
            m_writerSemaphore.wait(lock, [&] { return m_writerTokens > 0; });
            m_writerTokens = 0;
        }
        --m_waitingWriters;
        updateWaitersFlag();
    }
    m_ownerThread.store(CurrentThreadToken(), std::memory_order_relaxed);
}

void CRWLockInheritable::releaseLockExclusive() {
    assert(m_ownerThread.load(std::memory_order_relaxed) == CurrentThreadToken() &&
           "exclusive release by a thread that does not own the lock");
    uint64_t state = m_state.load(std::memory_order_relaxed);
    if ((state & kExclusiveMask) > kExclusiveOne) {
        m_state.fetch_sub(kExclusiveOne);
        return;
    }
    // Give up ownership before the state, or a new owner could be overwritten.
    m_ownerThread.store(0, std::memory_order_relaxed);
    if ((state & kWaitersFlag) == 0 &&
        m_state.compare_exchange_strong(state, 0, std::memory_order_release))
        return;
    releaseExclusiveSlow();
}

void CRWLockInheritable::releaseExclusiveSlow() {
    std::lock_guard lock(m_guard);
    // The last exclusive release clears every hold, the owner's shared ones included.
    m_state.fetch_and(kWaitersFlag);
    wakeNext();
}
