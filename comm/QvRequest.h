// The reference-counted request base: a request whose last reference goes returns to the
// pool that made it (or is left to its owner when it has none).
#pragma once

#include <atomic>
#include <cstdint>

#include "comm/QvList.h"

namespace NoltComm {

class CFixRequestPool;

class CQvRequest : public CQvList::Node {
public:
    explicit CQvRequest(CFixRequestPool* pool) : pool_(pool) {}
    ~CQvRequest() override = default;

    // Makes a used object as new (on return to its pool).
    virtual bool Prepare() = 0;

    void AddRef() { ref_.fetch_add(1, std::memory_order_relaxed); }
    void Release();
    int32_t RefCount() const { return ref_.load(); }
    CFixRequestPool* OwnerPool() const { return pool_; }
    // A program-wide sequence number, taken on first use.
    int32_t GetSequenceNumber();

private:
    friend class CFixRequestPool;
    CFixRequestPool* pool_;
    std::atomic<int32_t> ref_{1};
    std::atomic<int32_t> sequence_{-1};
};

}  // namespace NoltComm
