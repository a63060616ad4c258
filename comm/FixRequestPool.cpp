// Request pool.
#include "comm/FixRequestPool.h"

#include <memory>

#include "comm/FixRequest.h"

namespace NoltComm {

CFixRequestPool::~CFixRequestPool() {
    CQvCriticalSection::Owner owner(lock_);
    while (CQvList::Node* node = inUse_.PopFront()) {
        std::unique_ptr<CQvRequest>(static_cast<CQvRequest*>(node)).reset();
    }
    while (CQvList::Node* node = free_.PopFront()) {
        std::unique_ptr<CQvRequest>(static_cast<CQvRequest*>(node)).reset();
    }
}

CFixRequest* CFixRequestPool::Take() {
    CQvCriticalSection::Owner owner(lock_);
    CFixRequest* request;
    if (CQvList::Node* node = free_.PopFront()) {
        request = static_cast<CFixRequest*>(static_cast<CQvRequest*>(node));
        request->AddRef();
    } else {
        request = std::make_unique<CFixRequest>(this).release();
    }
    inUse_.PushBack(request);
    return request;
}

void CFixRequestPool::Return(CQvRequest* request) {
    if (request == nullptr) return;
    CQvCriticalSection::Owner owner(lock_);
    inUse_.Remove(request);
    if (limit_ != 0 && free_.Count() >= limit_) {
        std::unique_ptr<CQvRequest>(request).reset();
        return;
    }
    request->Prepare();
    free_.PushBack(request);
}

void CFixRequestPool::SetLimit(uint32_t limit) {
    CQvCriticalSection::Owner owner(lock_);
    limit_ = limit;
}

uint32_t CFixRequestPool::GetFreeCount() {
    CQvCriticalSection::Owner owner(lock_);
    return free_.Count();
}

uint32_t CFixRequestPool::GetInUseCount() {
    CQvCriticalSection::Owner owner(lock_);
    return inUse_.Count();
}

}  // namespace NoltComm
