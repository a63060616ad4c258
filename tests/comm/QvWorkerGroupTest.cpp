// The push worker group: delivery, references, and a stop that joins every worker.
#include "comm/QvWorkerGroup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>

#include "comm/FixRequest.h"
#include "comm/IOBuffer.h"

namespace NoltComm {
namespace {

TEST(QvWorkerGroupTest, DeliversEveryPostAndDropsItsReferences) {
    CIOBuffer::Allocator allocator(64, 0);
    CFixRequest subscription;
    std::atomic<int> delivered{0};
    {
        CQvWorkerGroup group(3, [&](CQvRequest* object, CIOBuffer* context) {
            EXPECT_EQ(object, &subscription);
            EXPECT_GE(context->RefCount(), 1);
            ++delivered;
        });
        for (int i = 0; i < 100; ++i) {
            CIOBuffer* b = allocator.Allocate();
            group.Post(&subscription, b);
            b->Release();  // the group holds its own reference
        }
        group.Post(nullptr, nullptr);  // ignored
        group.StopAll();
        EXPECT_EQ(delivered.load(), 100);
    }
    EXPECT_EQ(subscription.RefCount(), 1);
    EXPECT_EQ(allocator.GetInUseCount(), 0u);
}

TEST(QvWorkerGroupTest, PostsLeftAfterStopAreReleasedByTheDestructor) {
    CIOBuffer::Allocator allocator(64, 0);
    CFixRequest subscription;
    {
        CQvWorkerGroup group(2, [](CQvRequest*, CIOBuffer*) {});
        group.StopAll();
        CIOBuffer* b = allocator.Allocate();
        group.Post(&subscription, b);
        b->Release();
        EXPECT_EQ(subscription.RefCount(), 2);
    }
    EXPECT_EQ(subscription.RefCount(), 1);
    EXPECT_EQ(allocator.GetInUseCount(), 0u);
}

TEST(QvWorkerGroupTest, StopAllWaitsForABusyWorker) {
    CFixRequest subscription;
    std::latch inside(1);
    std::atomic<bool> finished{false};
    CQvWorkerGroup group(1, [&](CQvRequest*, CIOBuffer*) {
        inside.count_down();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        finished = true;
    });
    group.Post(&subscription, nullptr);
    inside.wait();
    group.StopAll();
    EXPECT_TRUE(finished.load());
}

}  // namespace
}  // namespace NoltComm
