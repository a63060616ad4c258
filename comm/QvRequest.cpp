// Reference counting of request objects.
#include "comm/QvRequest.h"

#include "comm/FixRequestPool.h"
#include "comm/ToolkitRuntime.h"

namespace NoltComm {

void CQvRequest::Release() {
    // Never below zero: an extra release must not hand the object back twice.
    int32_t count = ref_.load(std::memory_order_relaxed);
    do {
        if (count <= 0) return;
    } while (!ref_.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel));
    if (count == 1 && pool_ != nullptr) pool_->Return(this);
}

int32_t CQvRequest::GetSequenceNumber() {
    int32_t current = sequence_.load();
    if (current >= 0) return current;
    const int32_t next = NextSequenceNumber();
    return sequence_.compare_exchange_strong(current, next) ? next : current;
}

}  // namespace NoltComm
