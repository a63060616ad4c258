// The pool of request objects of one connection: requests are reused, prepared as new, so a
// business request allocates nothing in the steady state.
#pragma once

#include <cstdint>

#include "comm/QvCriticalSection.h"
#include "comm/QvList.h"

namespace NoltComm {

class CFixRequest;
class CQvRequest;

class CFixRequestPool {
public:
    CFixRequestPool() = default;
    // Deletes every pooled object, free or in use.
    virtual ~CFixRequestPool();
    CFixRequestPool(const CFixRequestPool&) = delete;
    CFixRequestPool& operator=(const CFixRequestPool&) = delete;

    // A request holding one reference for the taker.
    CFixRequest* Take();
    // A request whose last reference went: kept prepared, or destroyed beyond the limit.
    void Return(CQvRequest* request);

    // The number of free objects kept (0: no limit).
    void SetLimit(uint32_t limit);
    uint32_t GetFreeCount();
    uint32_t GetInUseCount();

private:
    CQvList free_;
    CQvList inUse_;
    CQvCriticalSection lock_;
    uint32_t limit_ = 0;
};

}  // namespace NoltComm
