// Pooled, reference-counted I/O buffers: every packet of the toolkit lives in one, and a
// buffer goes back to its allocator's free list when its last holder releases it.
#pragma once

#include <atomic>
#include <cstdint>

#include "comm/QvCriticalSection.h"
#include "comm/QvList.h"

namespace NoltComm {

class CIOBuffer : public CQvList::Node {
public:
    class Allocator;

    uint8_t* GetBuffer() { return data_; }
    const uint8_t* GetBuffer() const { return data_; }
    uint32_t GetUsed() const { return used_; }
    uint32_t GetCapacity() const { return capacity_; }

    // used += n; more than the free room throws and changes nothing.
    void Use(uint32_t n);
    // Sets the used length (a packet rewritten shorter in place); at most the capacity.
    void SetUsed(uint32_t n);
    // Copies n bytes behind the used part; more than the free room throws and copies nothing.
    void AddData(const void* bytes, uint32_t n);
    void Reset() { used_ = 0; }

    void AddRef() { ref_.fetch_add(1, std::memory_order_relaxed); }
    // At 0 the buffer goes back to its allocator; a release at 0 is reported and ignored.
    void Release();
    int32_t RefCount() const { return ref_.load(); }

    // A buffer with the discard mark is destroyed instead of pooled when released.
    void SetDiscard(bool discard) { discard_ = discard; }

    ~CIOBuffer() override = default;

private:
    CIOBuffer(Allocator* owner, uint32_t capacity);
    static CIOBuffer* Create(Allocator* owner, uint32_t capacity);
    static void Destroy(CIOBuffer* buffer);

    std::atomic<int32_t> ref_{1};
    bool discard_ = false;
    uint8_t* data_;
    Allocator* owner_;
    uint32_t capacity_;
    uint32_t used_ = 0;

    friend class Allocator;
};

class CIOBuffer::Allocator {
public:
    Allocator() = default;
    Allocator(uint32_t bufferSize, uint32_t maxFree) { Init(bufferSize, maxFree); }
    virtual ~Allocator();
    Allocator(const Allocator&) = delete;
    Allocator& operator=(const Allocator&) = delete;

    // Buffer size and the number of free buffers kept (0: no limit).
    void Init(uint32_t bufferSize, uint32_t maxFree);
    // A buffer with one reference and nothing used.
    CIOBuffer* Allocate();
    // Takes back a buffer whose last reference is gone; null throws.
    void Release(CIOBuffer* buffer);
    // Destroys every buffer, handed out or free.
    void Flush();

    uint32_t GetBufferSize() const { return bufferSize_; }
    uint32_t GetFreeCount();
    uint32_t GetInUseCount();

protected:
    virtual void OnBufferCreated(CIOBuffer*) {}
    virtual void OnBufferAllocated(CIOBuffer*) {}
    virtual void OnBufferReleased(CIOBuffer*) {}
    virtual void OnBufferDestroyed(CIOBuffer*) {}

private:
    void DestroyBuffer(CIOBuffer* buffer);

    uint32_t bufferSize_ = 0;
    uint32_t maxFree_ = 0;
    CQvList free_;
    CQvList inUse_;
    CQvCriticalSection lock_;
};

// Program-wide allocators: large buffers for compressed answers (32824 bytes, 1000 kept
// free) and buffers for the crypto modules (4118 bytes, 3000 kept free).
CIOBuffer::Allocator& LargeBufferAllocator();
CIOBuffer::Allocator& CryptoBufferAllocator();

}  // namespace NoltComm
