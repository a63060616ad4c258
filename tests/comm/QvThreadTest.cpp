// Thread classes: start rules, waits, cooperative stop of a blocked body, and the exception
// handling of the extended thread.
#include "comm/QvThread.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <latch>
#include <mutex>
#include <stdexcept>

#include "comm/QvException.h"

namespace NoltComm {
namespace {

// A body that blocks until released, or until it is asked to stop (through its token).
class GatedThread : public CQvThread {
public:
    ~GatedThread() override { Stop(true); }
    void Open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        cv_.notify_all();
    }
    std::latch started{1};

protected:
    uint32_t Run() override {
        started.count_down();
        std::unique_lock lock(mutex_);
        cv_.wait(lock, StopToken(), [this] { return open_; });
        return open_ ? 7 : 3;
    }

private:
    std::mutex mutex_;
    std::condition_variable_any cv_;
    bool open_ = false;
};

TEST(QvThreadTest, SecondStartWhileRunningThrowsAndRestartWorksAfterTheEnd) {
    GatedThread t;
    EXPECT_TRUE(t.Wait(0)) << "never started";
    t.Start();
    t.started.wait();
    EXPECT_TRUE(t.IsRunning());
    EXPECT_FALSE(t.Wait(0));
    try {
        t.Start();
        FAIL() << "no exception";
    } catch (const CQvException& e) {
        EXPECT_EQ(e.Where(), "CQvThread::Start()");
        EXPECT_EQ(e.Message(), "Thread already running - you can only call Start() once!");
    }
    t.Open();
    EXPECT_TRUE(t.Wait());
    EXPECT_EQ(t.ExitCode(), 7u);
    EXPECT_FALSE(t.IsRunning());
    t.Start();  // the handle is invalid again
    EXPECT_TRUE(t.Wait());
}

TEST(QvThreadTest, StopWakesABlockedBodyAndJoinsIt) {
    GatedThread t;
    t.Start();
    t.started.wait();
    t.Stop(true);  // returns only when the body has left its wait
    EXPECT_FALSE(t.IsRunning());
    EXPECT_EQ(t.ExitCode(), 3u);
}

TEST(QvThreadTest, TerminateStopsCooperatively) {
    GatedThread t;
    t.Start();
    t.started.wait();
    EXPECT_NE(t.Terminate(5), 0);
    EXPECT_FALSE(t.IsRunning());
}

TEST(QvThreadTest, DestroyingARunningThreadJoinsIt) {
    auto t = std::make_unique<GatedThread>();
    t->Start();
    t->started.wait();
    t.reset();  // must neither hang nor leave the body running on a freed object
}

class ExThread : public CQvThreadEx {
public:
    int32_t startResult = 1;
    bool throwInRun = false;
    bool throwInStop = false;
    std::atomic<int> stops{0};

protected:
    int32_t OnStart() override { return startResult; }
    int32_t OnStop() override {
        ++stops;
        if (throwInStop) throw std::runtime_error("stop");
        return 1;
    }
    uint32_t Run() override {
        if (throwInRun) throw std::runtime_error("run");
        while (!IsStopping()) std::this_thread::yield();
        return 9;
    }
};

TEST(QvThreadExTest, StartIsRefusedByOnStartOrARunningThread) {
    for (int32_t result : {0, -1}) {
        ExThread t;
        t.startResult = result;
        EXPECT_FALSE(t.Start());
    }
    ExThread t;
    EXPECT_TRUE(t.Start());
    EXPECT_FALSE(t.Start());
    t.Stop(true);
    EXPECT_EQ(t.ExitCode(), 9u);
    EXPECT_EQ(t.stops.load(), 1);
    EXPECT_TRUE(t.IsFinished());
}

TEST(QvThreadExTest, ThrowingBodyIsReportedAndStillStopsNormally) {
    ExThread t;
    t.throwInRun = true;
    t.throwInStop = true;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(t.Start());
    EXPECT_TRUE(t.Wait());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "QvThreadEx Run Error !\nQvThreadEx Shutdown Error !\n");
    EXPECT_EQ(t.ExitCode(), 0u);
    EXPECT_EQ(t.stops.load(), 1);
    EXPECT_TRUE(t.IsFinished());
    t.Stop(true);  // finished: only forgets the handle
}

}  // namespace
}  // namespace NoltComm
