// CWorkerThread: a thread wrapper whose subclasses supply the body. Its owner stops it the
// one way threads stop here: stop flag, wake-up, bounded join. A thread is never killed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <thread>

namespace shell {

class CWorkerThread {
public:
    // How long Stop (and the destructor) waits by default for a woken body to return.
    static constexpr int64_t kStopWaitMs = 2000;
    // The exit code of a body that ended by an exception.
    static constexpr uint32_t kFailedExitCode = 0xFFFFFFFFu;

    CWorkerThread() = default;
    // Sets the stop flag, requests the stop token and waits kStopWaitMs for the body; a body
    // that is still running then is joined without limit (and reported), so that it never
    // runs on a freed object. The base cannot call a subclass's Wake: subclasses whose body
    // waits on anything else than its token call Stop in their own destructor.
    virtual ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Runs Run on a new thread. False while a thread is still running, or when none can be
    // made. A thread that has ended is joined first, so a stopped worker can start again.
    bool Start();
    // Waits at most timeoutMs for the body to return; true (and joined) once it has.
    bool Wait(int64_t timeoutMs);
    // Waits for the body to return without limit.
    void Wait();
    // Sets the stop flag, requests the body's stop token, calls Wake and waits at most
    // timeoutMs. True when the thread has ended (or never ran). On false the thread is still
    // running and still owned: the caller may wait again, and the destructor joins it.
    // Safe while another thread waits in Wait.
    bool Stop(int64_t timeoutMs = kStopWaitMs);
    bool IsRunning() const;
    // The last body's result (kFailedExitCode after an exception).
    uint32_t ExitCode() const { return exitCode_.load(std::memory_order_acquire); }

protected:
    // The thread body; its result is the thread's exit code. It returns soon after
    // IsStopping() turns true, and never touches a window: it posts to windows.
    virtual uint32_t Run() = 0;
    // Wakes a body that waits on something other than its stop token (a socket, an eventfd);
    // called by Stop on the stopping thread after the flag is set. A body that waits on a
    // condition_variable_any with StopToken() needs nothing here.
    virtual void Wake() {}
    bool IsStopping() const { return stopping_.load(std::memory_order_acquire); }
    // The running body's stop token; only the body itself reads it.
    std::stop_token StopToken() const { return token_; }

private:
    // Waits for the end without holding threadLock_, so that a long Wait on one thread never
    // keeps Stop on another from setting the flag; then joins under it.
    bool WaitEnd(int64_t timeoutMs);
    bool JoinEnded();

    mutable std::mutex threadLock_;  // thread_: Start, Stop and Wait may come from any thread
    std::jthread thread_;
    mutable std::mutex endLock_;  // ended_
    std::condition_variable endCv_;
    bool ended_ = true;
    std::atomic<bool> stopping_{false};
    std::atomic<uint32_t> exitCode_{0};
    std::stop_token token_;
};

}  // namespace shell
