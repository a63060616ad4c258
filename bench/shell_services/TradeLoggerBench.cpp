// Trade log throughput and the cost of one log call to the caller (format and queue only).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "shell/services/LogFile.h"
#include "shell/services/TradeLogger.h"
#include "tests/support/TempDir.h"

namespace {

// One logger for all threads of a run, its file in a scratch folder.
struct Shared {
    std::unique_ptr<testsupport::TempDir> dir;
    std::unique_ptr<shell::CTradeLogger> logger;
};

Shared& SharedLogger() {
    static Shared shared;
    return shared;
}

void SetUp(const benchmark::State&) {
    Shared& s = SharedLogger();
    s.dir = std::make_unique<testsupport::TempDir>();
    s.logger = std::make_unique<shell::CTradeLogger>(s.dir->file("Bench_"), 200);
    s.logger->Start();
}

void TearDown(const benchmark::State&) {
    Shared& s = SharedLogger();
    s.logger.reset();  // drains the queue
    s.dir.reset();
}

// Time a caller spends in one Info line like the order trace. Callers log in bursts of 2000
// lines with a pause after each (not timed) in which the writer empties the queue, as on a
// trading day; a caller that floods the log for seconds is measured by the next benchmark.
void BM_InfoCall(benchmark::State& state) {
    shell::CTradeLogger& logger = *SharedLogger().logger;
    int n = 0;
    for (auto _ : state) {
        logger.Info("委托申请:%02d:%02d:%02d.%03d\twth:%d\tcost:%.3lf(ms)", 9, 30, 15, 123, ++n,
                    1.234);
        if (n % 2000 == 0) {
            state.PauseTiming();
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_InfoCall)->Setup(SetUp)->Teardown(TearDown)->Threads(1)->Threads(4);

// Lines per second that 4 threads queue when they log without pause.
void BM_InfoFlood(benchmark::State& state) {
    shell::CTradeLogger& logger = *SharedLogger().logger;
    int n = 0;
    for (auto _ : state) logger.Info("thread line %d price %.2lf", ++n, 3500.5);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_InfoFlood)->Setup(SetUp)->Teardown(TearDown)->Threads(4)->UseRealTime();

// A line below the threshold: dropped before formatting.
void BM_DroppedDebugCall(benchmark::State& state) {
    shell::CTradeLogger& logger = *SharedLogger().logger;
    for (auto _ : state) logger.Debug("never %d", 1);
}
BENCHMARK(BM_DroppedDebugCall)->Setup(SetUp)->Teardown(TearDown);

// Lines per second that reach the file: 4 threads log, the clock stops when the logger is
// destroyed, i.e. when every line is written.
void BM_LinesToFileFrom4Threads(benchmark::State& state) {
    constexpr int kLinesPerThread = 50000;
    for (auto _ : state) {
        testsupport::TempDir dir;
        {
            shell::CTradeLogger logger(dir.file("Bench_"), 200);
            logger.Start();
            std::vector<std::jthread> threads;
            for (int t = 0; t < 4; ++t) {
                threads.emplace_back([&logger, t] {
                    for (int n = 0; n < kLinesPerThread; ++n) {
                        logger.Info("thread %d line %d price %.2lf", t, n, 3500.5);
                    }
                });
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * 4 * kLinesPerThread);
}
BENCHMARK(BM_LinesToFileFrom4Threads)->Unit(benchmark::kMillisecond)->UseRealTime();

// One trace-file line: head, GBK conversion, region lock and one write.
void BM_TraceFileWriteLine(benchmark::State& state) {
    testsupport::TempDir dir;
    shell::CLogFile log({"2.0.0.0", {}});
    log.Open("bench.log", dir.path().string());
    for (auto _ : state) log.WriteLine("try connnect to 127.0.0.1@17990/tcp");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TraceFileWriteLine);

}  // namespace
