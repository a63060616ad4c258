// The serial job thread.
#include "market/feed/SerialExecutor.h"

#include <utility>

namespace market::feed {

CSerialExecutor::CSerialExecutor() : thread_([this](std::stop_token t) { Run(std::move(t)); }) {}

CSerialExecutor::~CSerialExecutor() {
    {
        std::lock_guard hold(lock_);
        stopping_ = true;
    }
    thread_.request_stop();
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void CSerialExecutor::Post(std::function<void()> job) {
    if (!job) return;
    {
        std::lock_guard hold(lock_);
        if (stopping_) return;
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void CSerialExecutor::WaitIdle() {
    std::unique_lock hold(lock_);
    idle_.wait(hold, [this] { return (jobs_.empty() && !running_) || stopping_; });
}

void CSerialExecutor::Run(std::stop_token token) {
    std::unique_lock hold(lock_);
    while (true) {
        wake_.wait(hold, token, [this] { return !jobs_.empty(); });
        if (token.stop_requested()) break;
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        running_ = true;
        hold.unlock();
        // A failing job must not end the thread that serves the others.
        try {
            job();
        } catch (...) {
        }
        hold.lock();
        running_ = false;
        if (jobs_.empty()) idle_.notify_all();
    }
    jobs_.clear();
    running_ = false;
    idle_.notify_all();
}

}  // namespace market::feed
