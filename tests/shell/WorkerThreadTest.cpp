// The worker-thread wrapper: exit codes, stopping a body that waits on its stop token or on
// a descriptor its Wake signals, a bounded stop of a body that does not listen yet, restarts,
// a stop while another thread waits, destruction of a running worker, and a body that throws.
#include "shell/WorkerThread.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace shell {
namespace {

class FixedResult : public CWorkerThread {
public:
    ~FixedResult() override { Stop(); }
    std::atomic<int> runs{0};

protected:
    uint32_t Run() override {
        ++runs;
        return 42;
    }
};

// Waits on its stop token: nothing to wake by hand, so it leaves stopping to the base.
class TokenWaiter : public CWorkerThread {
public:
    std::promise<void> started;

protected:
    uint32_t Run() override {
        std::mutex m;
        std::condition_variable_any cv;
        std::unique_lock lock(m);
        started.set_value();
        cv.wait(lock, StopToken(), [] { return false; });
        return IsStopping() ? 7 : 0;
    }
};

// Blocks in poll on an eventfd, as a socket worker does; Wake signals it.
class DescriptorWaiter : public CWorkerThread {
public:
    DescriptorWaiter() : fd_(eventfd(0, EFD_CLOEXEC)) {}
    ~DescriptorWaiter() override {
        Stop();
        close(fd_);
    }
    std::atomic<int> wakes{0};

protected:
    uint32_t Run() override {
        while (!IsStopping()) {
            pollfd p{fd_, POLLIN, 0};
            poll(&p, 1, -1);
            uint64_t value = 0;
            if (read(fd_, &value, sizeof(value)) < 0) break;
        }
        return 9;
    }
    void Wake() override {
        ++wakes;
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(fd_, &one, sizeof(one));
    }

private:
    int fd_;
};

// Does not look at its flag until the test lets it go.
class Stubborn : public CWorkerThread {
public:
    ~Stubborn() override {
        Release();
        Stop();
    }
    void Release() {
        std::lock_guard lock(m_);
        released_ = true;
        cv_.notify_all();
    }

protected:
    uint32_t Run() override {
        std::unique_lock lock(m_);
        cv_.wait(lock, [this] { return released_; });
        return 3;
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool released_ = false;
};

class Thrower : public CWorkerThread {
public:
    ~Thrower() override { Stop(); }

protected:
    uint32_t Run() override { throw std::runtime_error("body failed"); }
};

TEST(WorkerThreadTest, RunsTheBodyAndKeepsItsExitCodeAndStartsAgainAfterItEnded) {
    FixedResult worker;
    EXPECT_TRUE(worker.Stop());  // never started: nothing to stop
    ASSERT_TRUE(worker.Start());
    worker.Wait();
    EXPECT_EQ(worker.ExitCode(), 42u);
    EXPECT_FALSE(worker.IsRunning());
    ASSERT_TRUE(worker.Start());
    EXPECT_TRUE(worker.Wait(10000));
    EXPECT_EQ(worker.runs.load(), 2);
}

TEST(WorkerThreadTest, StopWakesABodyWaitingOnItsTokenOrOnADescriptor) {
    TokenWaiter token;
    auto started = token.started.get_future();
    ASSERT_TRUE(token.Start());
    started.wait();
    EXPECT_FALSE(token.Start());  // still running: refused
    EXPECT_TRUE(token.Stop(10000));
    EXPECT_EQ(token.ExitCode(), 7u);

    DescriptorWaiter descriptor;
    ASSERT_TRUE(descriptor.Start());
    EXPECT_TRUE(descriptor.Stop(10000));
    EXPECT_EQ(descriptor.ExitCode(), 9u);
    EXPECT_EQ(descriptor.wakes.load(), 1);
}

TEST(WorkerThreadTest, BoundedStopReportsABodyThatHasNotEndedAndNeverKillsIt) {
    Stubborn worker;
    ASSERT_TRUE(worker.Start());
    EXPECT_FALSE(worker.Stop(30));  // the body has not returned within the bound
    EXPECT_TRUE(worker.IsRunning());
    worker.Release();
    EXPECT_TRUE(worker.Wait(10000));
    EXPECT_EQ(worker.ExitCode(), 3u);
}

TEST(WorkerThreadTest, StopFromAnotherThreadEndsAnUnboundedWait) {
    TokenWaiter worker;
    auto started = worker.started.get_future();
    ASSERT_TRUE(worker.Start());
    started.wait();
    std::atomic<bool> waited{false};
    std::thread waiter([&] {
        worker.Wait();  // no limit: only the stop below ends it
        waited = true;
    });
    EXPECT_TRUE(worker.Stop(10000));
    waiter.join();
    EXPECT_TRUE(waited.load());
    EXPECT_EQ(worker.ExitCode(), 7u);
}

TEST(WorkerThreadTest, DestroyingARunningWorkerStopsAndJoinsIt) {
    auto worker = std::make_unique<TokenWaiter>();
    auto started = worker->started.get_future();
    ASSERT_TRUE(worker->Start());
    started.wait();
    ASSERT_TRUE(worker->IsRunning());
    worker.reset();  // the body waits on its token: the destructor's stop request ends it
}

TEST(WorkerThreadTest, AnEscapedExceptionEndsOnlyTheThread) {
    Thrower worker;
    ASSERT_TRUE(worker.Start());
    worker.Wait();
    EXPECT_EQ(worker.ExitCode(), CWorkerThread::kFailedExitCode);
}

}  // namespace
}  // namespace shell
