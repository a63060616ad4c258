// Manual-reset event over a condition variable.
#include "comm/QvEvent.h"

#include "comm/ClockWait.h"

namespace NoltComm {

void CQvEvent::Set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    cv_.notify_all();
}

void CQvEvent::Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool CQvEvent::Wait(int64_t timeoutMs) {
    std::unique_lock lock(mutex_);
    return WaitOnClock(lock, cv_, timeoutMs, [this] { return signalled_; });
}

bool CQvEvent::Wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return signalled_; });
    return true;
}

}  // namespace NoltComm
