// Pooled I/O buffers: bounds of the data area, pooling limits, reference counting across
// threads.
#include "comm/IOBuffer.h"

#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

#include "comm/QvException.h"

namespace NoltComm {
namespace {

TEST(IOBufferTest, AddDataFillsExactlyAndRefusesOneByteMore) {
    CIOBuffer::Allocator allocator(16, 0);
    CIOBuffer* b = allocator.Allocate();
    const char data[17] = "0123456789abcdef";
    b->AddData(data, 10);
    b->AddData(data + 10, 6);
    EXPECT_EQ(b->GetUsed(), 16u);
    try {
        b->AddData(data, 1);
        FAIL();
    } catch (const CQvException& e) {
        EXPECT_EQ(e.Where(), "CIOBuffer::AddData");
        EXPECT_EQ(e.Message(), "Not enough space in buffer");
    }
    EXPECT_EQ(b->GetUsed(), 16u);
    EXPECT_THROW(b->Use(1), CQvException);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b->GetBuffer()), 16), "0123456789abcdef");
    b->Release();
}

TEST(IOBufferTest, FreeListKeepsAtMostItsLimitAndReusesBuffers) {
    CIOBuffer::Allocator allocator(64, 2);
    CIOBuffer* a = allocator.Allocate();
    CIOBuffer* b = allocator.Allocate();
    CIOBuffer* c = allocator.Allocate();
    EXPECT_EQ(allocator.GetInUseCount(), 3u);
    a->AddData("x", 1);
    a->Release();
    b->Release();
    c->Release();
    EXPECT_EQ(allocator.GetFreeCount(), 2u);
    EXPECT_EQ(allocator.GetInUseCount(), 0u);
    CIOBuffer* again = allocator.Allocate();
    EXPECT_EQ(again, a) << "free list in release order";
    EXPECT_EQ(again->GetUsed(), 0u);
    EXPECT_EQ(again->RefCount(), 1);
    again->Release();
}

TEST(IOBufferTest, DiscardedBufferIsDestroyedAndDoubleReleaseIsCaught) {
    CIOBuffer::Allocator allocator(64, 10);
    CIOBuffer* a = allocator.Allocate();
    a->SetDiscard(true);
    a->Release();
    EXPECT_EQ(allocator.GetFreeCount(), 0u);

    CIOBuffer* b = allocator.Allocate();
    b->Release();
    testing::internal::CaptureStdout();
    b->Release();  // its count is 0: reported, nothing freed twice
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "CIOBuffer::Release() m_ref is already 0\n");
    EXPECT_EQ(allocator.GetFreeCount(), 1u);
    try {
        allocator.Release(nullptr);
        FAIL();
    } catch (const CQvException& e) {
        EXPECT_EQ(e.Where(), "CIOBuffer::Allocator::Release()");
        EXPECT_EQ(e.Message(), "pBuffer is null");
    }
}

TEST(IOBufferTest, ReferencesAcrossThreadsReturnEachBufferOnce) {
    CIOBuffer::Allocator allocator(256, 0);
    constexpr int kThreads = 4;
    constexpr int kBuffers = 200;
    std::vector<CIOBuffer*> buffers;
    for (int i = 0; i < kBuffers; ++i) {
        buffers.push_back(allocator.Allocate());
        for (int t = 0; t < kThreads; ++t) buffers.back()->AddRef();
    }
    std::latch go(kThreads + 1);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&] {
                go.arrive_and_wait();
                for (CIOBuffer* b : buffers) {
                    CIOBuffer* fresh = allocator.Allocate();
                    fresh->Release();
                    b->Release();
                }
            });
        }
        go.arrive_and_wait();
        for (CIOBuffer* b : buffers) b->Release();
    }
    EXPECT_EQ(allocator.GetInUseCount(), 0u);
    EXPECT_LE(allocator.GetFreeCount(), static_cast<uint32_t>(kBuffers + kThreads));
    EXPECT_GE(allocator.GetFreeCount(), static_cast<uint32_t>(kBuffers));
}

TEST(IOBufferTest, ProgramWideAllocatorsHaveTheirSizes) {
    EXPECT_EQ(LargeBufferAllocator().GetBufferSize(), 32824u);
    EXPECT_EQ(CryptoBufferAllocator().GetBufferSize(), 4118u);
}

}  // namespace
}  // namespace NoltComm
