// The toolkit's two thread classes. Bodies poll their stop flag (or wait on their stop
// token); owners stop them cooperatively and join them; no thread is ever killed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

#include "comm/QvCriticalSection.h"

namespace NoltComm {

// One std::jthread with a timed wait for its end. "Invalid" (no thread) once the end has
// been seen and the thread joined.
class CQvThreadHandle {
public:
    CQvThreadHandle() = default;
    ~CQvThreadHandle();
    CQvThreadHandle(const CQvThreadHandle&) = delete;
    CQvThreadHandle& operator=(const CQvThreadHandle&) = delete;

    // Runs body(token) on a new thread; throws std::system_error when none can be made.
    void Create(std::function<uint32_t(std::stop_token)> body);
    bool IsValid() const { return thread_.joinable(); }
    // True once the thread has returned (or there is none); false after timeoutMs.
    bool WaitEnd(int64_t timeoutMs);
    // WaitEnd, then joins and forgets the thread when it has ended.
    bool Join(int64_t timeoutMs);
    // Joins the thread (waiting for it to end without limit) and forgets it.
    void MarkInvalid();
    void RequestStop();
    uint32_t ExitCode() const { return exitCode_.load(); }

private:
    std::jthread thread_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool ended_ = true;
    std::atomic<uint32_t> exitCode_{0};
};

class CQvThread {
public:
    CQvThread() = default;
    // Stops and joins a thread its owner left running: the body must never run on a freed
    // object. Owners stop the thread themselves first (the body calls a subclass's Run).
    virtual ~CQvThread();
    CQvThread(const CQvThread&) = delete;
    CQvThread& operator=(const CQvThread&) = delete;

    void Start();
    bool Wait(int64_t timeoutMs);
    bool Wait();
    void Stop(bool wait);
    bool IsRunning();
    // Asks the body to stop, wakes it through its stop token and joins it within a bounded
    // wait. Non-zero when the thread has ended.
    int32_t Terminate(uint32_t exitCode);
    uint32_t ExitCode() const { return handle_.ExitCode(); }

protected:
    virtual uint32_t Run() = 0;
    bool IsStopping() const { return stop_.load(); }
    // The running body's stop token (Stop requests it), for waits that must wake on stop.
    std::stop_token StopToken() const { return token_; }

private:
    CQvCriticalSection startLock_;
    CQvThreadHandle handle_;
    std::atomic<bool> stop_{true};
    std::stop_token token_;
};

class CQvThreadEx {
public:
    CQvThreadEx() = default;
    virtual ~CQvThreadEx();
    CQvThreadEx(const CQvThreadEx&) = delete;
    CQvThreadEx& operator=(const CQvThreadEx&) = delete;

    bool Start();
    bool Wait(int64_t timeoutMs);
    bool Wait();
    void Stop(bool wait);
    bool IsFinished() const { return finished_.load(); }
    uint32_t ExitCode() const { return handle_.ExitCode(); }

protected:
    // The thread is started only when this returns more than 0.
    virtual int32_t OnStart() = 0;
    // Runs on the thread after Run.
    virtual int32_t OnStop() { return 1; }
    virtual uint32_t Run() = 0;
    bool IsStopping() const { return stop_.load(); }
    std::stop_token StopToken() const { return token_; }

private:
    uint32_t Entry(std::stop_token token);

    CQvCriticalSection startLock_;
    CQvThreadHandle handle_;
    std::atomic<bool> stop_{true};
    std::atomic<bool> finished_{true};
    std::stop_token token_;
};

}  // namespace NoltComm
