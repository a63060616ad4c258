// CWorkerThread over a std::jthread, with an end flag of its own so that waits are bounded.
#include "shell/WorkerThread.h"

#include <cstdio>
#include <exception>
#include <system_error>

#include "comm/ClockWait.h"

namespace shell {

CWorkerThread::~CWorkerThread() {
    stopping_.store(true, std::memory_order_release);
    {
        std::lock_guard lock(threadLock_);
        if (thread_.joinable()) thread_.request_stop();
    }
    if (WaitEnd(kStopWaitMs)) {
        JoinEnded();
        return;
    }
    // Leaving the body running on a freed object would be worse than a slow close.
    std::fprintf(stderr, "CWorkerThread: the body did not stop within %lld ms; waiting for it\n",
                 static_cast<long long>(kStopWaitMs));
    std::lock_guard lock(threadLock_);
    if (thread_.joinable()) thread_.join();
}

bool CWorkerThread::Start() {
    std::lock_guard lock(threadLock_);
    if (thread_.joinable()) {
        if (!WaitEnd(0)) return false;
        thread_.join();
    }
    stopping_.store(false, std::memory_order_release);
    exitCode_.store(0, std::memory_order_release);
    {
        std::lock_guard end(endLock_);
        ended_ = false;
    }
    try {
        thread_ = std::jthread([this](std::stop_token token) {
            token_ = std::move(token);
            uint32_t code = kFailedExitCode;
            try {
                code = Run();
            } catch (const std::exception& e) {
                // An escaped exception would end the whole program; the thread ends instead.
                std::fprintf(stderr, "CWorkerThread::Run: %s\n", e.what());
            } catch (...) {
                std::fprintf(stderr, "CWorkerThread::Run: unknown exception\n");
            }
            exitCode_.store(code, std::memory_order_release);
            std::lock_guard end(endLock_);
            ended_ = true;
            endCv_.notify_all();
        });
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "CWorkerThread::Start: %s\n", e.what());
        std::lock_guard end(endLock_);
        ended_ = true;
        stopping_.store(true, std::memory_order_release);
        return false;
    }
    return true;
}

bool CWorkerThread::WaitEnd(int64_t timeoutMs) {
    std::unique_lock lock(endLock_);
    if (timeoutMs < 0) {
        endCv_.wait(lock, [this] { return ended_; });
        return true;
    }
    return NoltComm::WaitOnClock(lock, endCv_, timeoutMs, [this] { return ended_; });
}

bool CWorkerThread::JoinEnded() {
    std::lock_guard lock(threadLock_);
    // Another waiter may have joined it already; an ended body is joined at once.
    if (thread_.joinable()) thread_.join();
    return true;
}

bool CWorkerThread::Wait(int64_t timeoutMs) {
    return WaitEnd(timeoutMs < 0 ? 0 : timeoutMs) && JoinEnded();
}

void CWorkerThread::Wait() {
    WaitEnd(-1);
    JoinEnded();
}

bool CWorkerThread::Stop(int64_t timeoutMs) {
    {
        std::lock_guard lock(threadLock_);
        if (!thread_.joinable()) return true;
        stopping_.store(true, std::memory_order_release);
        thread_.request_stop();
    }
    // Outside the lock: a subclass's wake-up may take its own locks.
    Wake();
    return Wait(timeoutMs);
}

bool CWorkerThread::IsRunning() const {
    std::lock_guard end(endLock_);
    return !ended_;
}

}  // namespace shell
