// The standard panel's worker thread: the jobs its event runs by the state bits, its tick on
// the program clock, and a stop that is bounded while a job blocks and still joins the thread.
#include "shell/TradePanelWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/core/Clock.h"

namespace shell {
namespace {

// The program clock stands still unless a test moves it.
class TradePanelWorkerTest : public ::testing::Test {
protected:
    platform::ManualClock clock_;
    platform::ScopedClockSource clockScope_{clock_};
};

TEST_F(TradePanelWorkerTest, WorkerRunsRequestedJobsAndStopsWithinItsBoundWhileBlocked) {
    std::mutex lock;
    std::condition_variable cv;
    bool entered = false, release = false;
    std::atomic<uint32_t> state{0};
    CTradePanelWorker::Jobs jobs;
    jobs.cancelAll = [&] {
        std::unique_lock guard(lock);
        entered = true;
        cv.notify_all();
        cv.wait(guard, [&] { return release; });
    };
    CTradePanelWorker worker(state, jobs);
    ASSERT_TRUE(worker.Start());
    worker.MarkInputIdle();
    state.fetch_or(kPanelCancelAll);
    worker.Signal();
    {
        std::unique_lock guard(lock);
        ASSERT_TRUE(cv.wait_for(guard, std::chrono::seconds(30), [&] { return entered; }));
    }
    // Blocked in its job: the stop returns after its bound (the program clock runs on
    // meanwhile), the messages kept moving, and the thread is not killed.
    std::atomic<bool> stopped{false};
    std::thread clockRunner([&] {
        while (!stopped.load()) {
            clock_.AdvanceMs(5);
            std::this_thread::yield();
        }
    });
    int moved = 0;
    EXPECT_FALSE(worker.StopAndWait(200, [&] { ++moved; }));
    stopped.store(true);
    clockRunner.join();
    EXPECT_GT(moved, 0);
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_TRUE(state.load() & kPanelWorkerStop);
    {
        std::lock_guard guard(lock);
        release = true;
    }
    cv.notify_all();
    worker.Wait();
    EXPECT_FALSE(state.load() & kPanelWorkerStop);  // the body cleared it as it left
}

TEST_F(TradePanelWorkerTest, WorkerTicksEverySecondOfTheProgramClock) {
    std::atomic<int> ticks{0};
    std::atomic<uint32_t> state{0};
    CTradePanelWorker worker(state, {[&] { ticks.fetch_add(1); }, {}, {}});
    ASSERT_TRUE(worker.Start());
    worker.MarkInputIdle();
    // Each step of the clock lets a waiting slice see the time; two ticks need two seconds.
    for (int step = 0; ticks.load() < 2 && step < 10'000'000; ++step) {
        clock_.AdvanceMs(100);
        std::this_thread::yield();
    }
    EXPECT_GE(ticks.load(), 2);
    EXPECT_TRUE(worker.StopAndWait());
}

}  // namespace
}  // namespace shell
