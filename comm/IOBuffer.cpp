// I/O buffers and their pooling allocator. A buffer's data area follows its header in the
// same heap block, so making a packet costs one allocation and reusing one costs none.
#include "comm/IOBuffer.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "comm/FixPacket.h"
#include "comm/QvException.h"

namespace NoltComm {

CIOBuffer::CIOBuffer(Allocator* owner, uint32_t capacity)
    : data_(reinterpret_cast<uint8_t*>(this) + sizeof(CIOBuffer)),
      owner_(owner),
      capacity_(capacity) {}

CIOBuffer* CIOBuffer::Create(Allocator* owner, uint32_t capacity) {
    void* block = ::operator new(sizeof(CIOBuffer) + capacity, std::nothrow);
    if (block == nullptr) {
        throw CQvException("CIOBuffer::Allocator::Allocate()", "Out of memory");
    }
    return ::new (block) CIOBuffer(owner, capacity);
}

void CIOBuffer::Destroy(CIOBuffer* buffer) {
    buffer->~CIOBuffer();
    ::operator delete(static_cast<void*>(buffer));
}

void CIOBuffer::Use(uint32_t n) {
    if (n > capacity_ - used_) throw CQvException("CIOBuffer::Use", "Not enough space in buffer");
    used_ += n;
}

void CIOBuffer::SetUsed(uint32_t n) {
    if (n > capacity_) throw CQvException("CIOBuffer::SetUsed", "Not enough space in buffer");
    used_ = n;
}

void CIOBuffer::AddData(const void* bytes, uint32_t n) {
    if (n > capacity_ - used_) {
        throw CQvException("CIOBuffer::AddData", "Not enough space in buffer");
    }
    if (n != 0) std::memcpy(data_ + used_, bytes, n);
    used_ += n;
}

void CIOBuffer::Release() {
    // A compare-exchange, so that two racing extra releases cannot both pass the zero test.
    int32_t count = ref_.load(std::memory_order_relaxed);
    do {
        if (count <= 0) {
            std::puts("CIOBuffer::Release() m_ref is already 0");
            return;
        }
    } while (!ref_.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel));
    if (count == 1) {
        used_ = 0;
        owner_->Release(this);
    }
}

CIOBuffer::Allocator::~Allocator() {
    try {
        Flush();
    } catch (...) {
    }
}

void CIOBuffer::Allocator::Init(uint32_t bufferSize, uint32_t maxFree) {
    CQvCriticalSection::Owner owner(lock_);
    if (bufferSize != bufferSize_) {
        // Free buffers of the old size must not be handed out as the new size.
        while (CQvList::Node* node = free_.PopFront()) DestroyBuffer(static_cast<CIOBuffer*>(node));
    }
    bufferSize_ = bufferSize;
    maxFree_ = maxFree;
}

CIOBuffer* CIOBuffer::Allocator::Allocate() {
    CQvCriticalSection::Owner owner(lock_);
    CIOBuffer* buffer;
    if (free_.IsEmpty()) {
        buffer = CIOBuffer::Create(this, bufferSize_);
        OnBufferCreated(buffer);
    } else {
        buffer = static_cast<CIOBuffer*>(free_.PopFront());
        buffer->AddRef();
    }
    inUse_.PushBack(buffer);
    OnBufferAllocated(buffer);
    return buffer;
}

void CIOBuffer::Allocator::Release(CIOBuffer* buffer) {
    if (buffer == nullptr) {
        throw CQvException("CIOBuffer::Allocator::Release()", "pBuffer is null");
    }
    CQvCriticalSection::Owner owner(lock_);
    OnBufferReleased(buffer);
    inUse_.Remove(buffer);
    if (buffer->discard_ || (maxFree_ != 0 && free_.Count() >= maxFree_)) {
        DestroyBuffer(buffer);
        return;
    }
    buffer->Reset();
    free_.PushBack(buffer);
}

void CIOBuffer::Allocator::Flush() {
    CQvCriticalSection::Owner owner(lock_);
    while (CQvList::Node* node = inUse_.PopFront()) {
        OnBufferReleased(static_cast<CIOBuffer*>(node));
        DestroyBuffer(static_cast<CIOBuffer*>(node));
    }
    while (CQvList::Node* node = free_.PopFront()) DestroyBuffer(static_cast<CIOBuffer*>(node));
}

uint32_t CIOBuffer::Allocator::GetFreeCount() {
    CQvCriticalSection::Owner owner(lock_);
    return free_.Count();
}

uint32_t CIOBuffer::Allocator::GetInUseCount() {
    CQvCriticalSection::Owner owner(lock_);
    return inUse_.Count();
}

void CIOBuffer::Allocator::DestroyBuffer(CIOBuffer* buffer) {
    if (CQvList* list = buffer->OwningList()) list->Remove(buffer);
    OnBufferDestroyed(buffer);
    CIOBuffer::Destroy(buffer);
}

CIOBuffer::Allocator& LargeBufferAllocator() {
    static CIOBuffer::Allocator allocator(kLargeBufferSize, 1000);
    return allocator;
}

CIOBuffer::Allocator& CryptoBufferAllocator() {
    static CIOBuffer::Allocator allocator(kCryptoBufferSize, 3000);
    return allocator;
}

}  // namespace NoltComm
