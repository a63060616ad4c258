// Tests of CRWLockInheritable: owner re-entry, writer preference, reader admission and a
// many-thread stress run; threads are ordered by latches and the lock's waiter counts.
#include "record/RWLockInheritable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Waits until the given number of threads is blocked in the lock (no timing assumptions).
void WaitForWaiters(const CRWLockInheritable& lock, int writers, int readers) {
    while (lock.GetWaitingWriters() != writers || lock.GetWaitingReaders() != readers)
        std::this_thread::yield();
}

// Records the order in which threads got through.
class Journal {
public:
    void Add(const std::string& what) {
        std::lock_guard guard(m_mutex);
        m_entries.push_back(what);
    }
    std::vector<std::string> Entries() {
        std::lock_guard guard(m_mutex);
        return m_entries;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_entries;
};

TEST(RWLockInheritableTest, OwnerReentryLeavesLockFreeAndWakesWaitingWriter) {
    CRWLockInheritable lock;
    lock.acquireLockExclusive();
    std::atomic<bool> writerIn{false};
    std::jthread writer([&] {
        lock.acquireLockExclusive();
        writerIn = true;
        lock.releaseLockExclusive();
    });
    WaitForWaiters(lock, 1, 0);
    lock.acquireLockExclusive();
    lock.acquireLockShared();
    lock.releaseLockShared();
    lock.releaseLockExclusive();
    EXPECT_FALSE(lock.IsFree());
    EXPECT_FALSE(writerIn.load());
    lock.releaseLockExclusive();
    writer.join();
    EXPECT_TRUE(writerIn.load());
    EXPECT_TRUE(lock.IsFree());
}

TEST(RWLockInheritableTest, ReaderHoldingTheLockIsAdmittedAgainWhileWriterWaits) {
    CRWLockInheritable lock;
    Journal journal;
    lock.acquireLockShared();  // this thread is the reader inside
    std::jthread writer([&] {
        lock.acquireLockExclusive();
        journal.Add("writer");
        lock.releaseLockExclusive();
    });
    WaitForWaiters(lock, 1, 0);
    lock.acquireLockShared();  // a nested call: must not wait for the writer
    journal.Add("nested reader");
    lock.releaseLockShared();
    // A reader that holds nothing waits behind the writer even though a reader is inside,
    // so overlapping readers cannot keep the writer out.
    std::jthread fresh([&] {
        lock.acquireLockShared();
        journal.Add("fresh reader");
        lock.releaseLockShared();
    });
    WaitForWaiters(lock, 1, 1);
    lock.releaseLockShared();
    fresh.join();
    writer.join();
    EXPECT_EQ(journal.Entries(),
              (std::vector<std::string>{"nested reader", "writer", "fresh reader"}));
}

TEST(RWLockInheritableTest, ReaderHoldingAnotherLockJoinsReadersInside) {
    CRWLockInheritable lock, other;
    lock.acquireLockShared();
    std::jthread writer([&] {
        lock.acquireLockExclusive();
        lock.releaseLockExclusive();
    });
    WaitForWaiters(lock, 1, 0);
    std::jthread([&] {
        other.acquireLockShared();
        lock.acquireLockShared();  // admitted at once: readers are inside
        lock.releaseLockShared();
        other.releaseLockShared();
    }).join();
    lock.releaseLockShared();
}

TEST(RWLockInheritableTest, WriterGoesBeforeReaderArrivingAfterLastReaderLeft) {
    CRWLockInheritable lock;
    Journal journal;
    lock.acquireLockShared();
    std::jthread writer([&] {
        lock.acquireLockExclusive();
        journal.Add("writer");
        lock.releaseLockExclusive();
    });
    WaitForWaiters(lock, 1, 0);
    lock.releaseLockShared();
    // Whether the writer is already in or only woken, a new reader must let it go first.
    std::jthread reader([&] {
        lock.acquireLockShared();
        journal.Add("reader");
        lock.releaseLockShared();
    });
    reader.join();
    writer.join();
    EXPECT_EQ(journal.Entries(), (std::vector<std::string>{"writer", "reader"}));
}

TEST(RWLockInheritableTest, NewReaderWaitsWhileWriterWaitsAndNoReaderIsInside) {
    CRWLockInheritable lock;
    Journal journal;
    lock.acquireLockExclusive();
    std::jthread writer([&] {
        lock.acquireLockExclusive();
        journal.Add("writer");
        lock.releaseLockExclusive();
    });
    WaitForWaiters(lock, 1, 0);
    std::jthread reader([&] {
        lock.acquireLockShared();
        journal.Add("reader");
        lock.releaseLockShared();
    });
    WaitForWaiters(lock, 1, 1);
    // Last exclusive release with a writer and a reader waiting: the writer goes first.
    lock.releaseLockExclusive();
    reader.join();
    writer.join();
    EXPECT_EQ(journal.Entries(), (std::vector<std::string>{"writer", "reader"}));
    EXPECT_TRUE(lock.IsFree());
}

TEST(RWLockInheritableTest, ReadersWaitingForWriterAllComeInTogether) {
    CRWLockInheritable lock;
    lock.acquireLockExclusive();
    constexpr int kReaders = 4;
    std::latch allInside(kReaders);
    std::latch leave(1);
    std::vector<std::jthread> readers;
    for (int i = 0; i < kReaders; ++i)
        readers.emplace_back([&] {
            lock.acquireLockShared();
            allInside.count_down();
            leave.wait();
            lock.releaseLockShared();
        });
    WaitForWaiters(lock, 0, kReaders);
    lock.releaseLockExclusive();
    allInside.wait();  // every reader holds the lock at the same time
    leave.count_down();
    readers.clear();
    EXPECT_TRUE(lock.IsFree());
}

TEST(RWLockInheritableTest, ManySharedHoldsDoNotLookLikeAnExclusiveHold) {
    CRWLockInheritable lock;
    constexpr int kHolds = 70000;  // more than a 16-bit count can hold
    for (int i = 0; i < kHolds; ++i) lock.acquireLockShared();
    std::jthread([&] {
        lock.acquireLockShared();  // readers inside, no writer: admitted at once
        lock.releaseLockShared();
    }).join();
    for (int i = 0; i < kHolds; ++i) lock.releaseLockShared();
    EXPECT_TRUE(lock.IsFree());

    lock.acquireLockExclusive();
    for (int i = 0; i < kHolds; ++i) lock.acquireLockShared();
    for (int i = 0; i < kHolds; ++i) lock.releaseLockShared();
    lock.releaseLockExclusive();
    EXPECT_TRUE(lock.IsFree());
}

TEST(RWLockInheritableTest, StressReadersSeeConsistentPairsAndWritersCountExactly) {
    CRWLockInheritable lock;
    int64_t a = 0, b = 0;  // guarded by the lock only
    constexpr int kWriters = 3, kReaders = 5, kRounds = 20000;
    std::atomic<int> torn{0};
    {
        std::vector<std::jthread> threads;
        for (int w = 0; w < kWriters; ++w)
            threads.emplace_back([&] {
                for (int i = 0; i < kRounds; ++i) {
                    lock.acquireLockExclusive();
                    ++a;
                    lock.acquireLockExclusive();  // nested calls of the owner
                    lock.acquireLockShared();
                    ++b;
                    lock.releaseLockShared();
                    lock.releaseLockExclusive();
                    lock.releaseLockExclusive();
                }
            });
        for (int r = 0; r < kReaders; ++r)
            threads.emplace_back([&] {
                for (int i = 0; i < kRounds; ++i) {
                    lock.acquireLockShared();
                    lock.acquireLockShared();
                    if (a != b) ++torn;
                    lock.releaseLockShared();
                    lock.releaseLockShared();
                }
            });
    }
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(a, int64_t{kWriters} * kRounds);
    EXPECT_EQ(b, a);
    EXPECT_TRUE(lock.IsFree());
}

}  // namespace
