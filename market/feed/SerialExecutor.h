// CSerialExecutor: one thread that runs queued jobs in their order, so a receive thread can
// hand off work that waits for a server (the second leg of a two-leg order) and go on.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

namespace market::feed {

// Where handlers hand work that may block: runs the job later on another thread.
using Executor = std::function<void(std::function<void()>)>;

class CSerialExecutor {
public:
    CSerialExecutor();
    // Stops taking jobs, lets the running one finish and drops those still queued.
    ~CSerialExecutor();
    CSerialExecutor(const CSerialExecutor&) = delete;
    CSerialExecutor& operator=(const CSerialExecutor&) = delete;

    // Queues the job; dropped once the executor is stopping. Any thread.
    void Post(std::function<void()> job);
    // Waits until no job is queued or running (tests and shut-down order).
    void WaitIdle();
    // An Executor that posts here.
    Executor AsExecutor() {
        return [this](std::function<void()> job) { Post(std::move(job)); };
    }

private:
    void Run(std::stop_token token);

    mutable std::mutex lock_;
    std::condition_variable_any wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> jobs_;
    bool running_ = false;
    bool stopping_ = false;
    std::jthread thread_;  // last: started after the members it uses, stopped first
};

}  // namespace market::feed
